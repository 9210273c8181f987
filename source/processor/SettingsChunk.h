#pragma once
// The settings chunk the host stores in its project: a one-line element (named
// and with attributes named as the parameter table says) wrapped as magic
// "VC2!", a 32-bit length, the text and two zero bytes. Old projects depend on
// this layout to the byte.
#include "Parameters.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vrc
{

/** Attribute values found in a chunk, by host index; empty where absent. */
using RestoredSettings = std::array<std::optional<float>, numParameters>;

/** The order the attributes are written in (each under its table row's
    chunkAttribute): the first build's, which saved chunks hold to the byte. */
inline constexpr ParameterOrder settingsWriteOrder { {
    ParameterId::gain, ParameterId::ratio, ParameterId::threshold, ParameterId::attack,
    ParameterId::release, ParameterId::knee, ParameterId::dryWet, ParameterId::curve } };
static_assert (holdsEveryParameterOnce (settingsWriteOrder));

/** The order older builds applied restored attributes in. */
inline constexpr ParameterOrder settingsRestoreOrder { {
    ParameterId::curve, ParameterId::gain, ParameterId::ratio, ParameterId::threshold,
    ParameterId::attack, ParameterId::release, ParameterId::knee, ParameterId::dryWet } };
static_assert (holdsEveryParameterOnce (settingsRestoreOrder));

constexpr std::uint32_t settingsChunkMagic = 0x21324356; // "VC2!" little-endian

/** The element's text, e.g. <VeskCompSettings gain="6" ... curve="0"/>. */
std::string settingsXml (const SettingsValues& values);

/** The whole chunk: magic, length, text, two zero bytes. */
std::vector<std::uint8_t> writeSettingsChunk (const SettingsValues& values);

/** An attribute's value as the restore reads it: its leading number (0 when it has
    none) as a float, or nothing when that number does not fit a float. */
std::optional<float> readSettingsNumber (std::string_view text);

/** Parses a chunk. Returns nothing at all for a damaged or foreign chunk;
    otherwise the values of the attributes that are present. */
RestoredSettings readSettingsChunk (const void* data, int sizeInBytes);

} // namespace vrc
