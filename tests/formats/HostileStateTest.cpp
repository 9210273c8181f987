// What a session file can hand the VST3 and LV2 builds as their state: the states
// earlier builds saved load and save again byte for byte, and damaged or hostile
// ones restore nothing they cannot read, in bounded time and memory, without
// crashing the host.
// Kept fuzzing finds (tests/data/state-findings) are replayed here too.
#include "StateHosts.h"

#include <gtest/gtest.h>

#include <sys/resource.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>

namespace vrc::statehost
{
namespace
{
/** The framework's state text: the byte count, '.', then six bits per character,
    least significant first, from its own alphabet. */
std::string frameworkText (const Bytes& bytes)
{
    static const char alphabet[] = ".ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+";
    std::string text = std::to_string (bytes.size()) + ".";
    for (std::size_t bit = 0; bit < bytes.size() * 8; bit += 6)
    {
        unsigned value = 0;
        for (unsigned b = 0; b < 6 && bit + b < bytes.size() * 8; ++b)
            value |= ((bytes[(bit + b) / 8] >> ((bit + b) % 8)) & 1u) << b;
        text += alphabet[value];
    }
    return text;
}

std::string asText (const Bytes& b) { return std::string (b.begin(), b.end()); }

#if defined(__SANITIZE_ADDRESS__)
 #define VRC_UNDER_ASAN 1
#elif defined(__has_feature)
 #if __has_feature(address_sanitizer)
  #define VRC_UNDER_ASAN 1
 #endif
#endif

/** While alive, the process may map at most 1 GiB more than it has: a plug-in
    that allocates what a hostile size field asks for fails here instead of
    quietly reserving gigabytes (AddressSanitizer reserves far more up front). */
class AddressSpaceLimit
{
public:
    AddressSpaceLimit()
    {
#ifndef VRC_UNDER_ASAN
        std::ifstream statm ("/proc/self/statm");
        unsigned long pages = 0;
        statm >> pages;
        ::getrlimit (RLIMIT_AS, &saved);
        rlimit limited = saved;
        limited.rlim_cur = pages * (rlim_t) ::sysconf (_SC_PAGESIZE) + (1ul << 30);
        active = ::setrlimit (RLIMIT_AS, &limited) == 0;
#endif
    }
    ~AddressSpaceLimit()
    {
        if (active)
            ::setrlimit (RLIMIT_AS, &saved);
    }

private:
    rlimit saved {};
    bool active = false;
};

const Bytes exampleChunk = readTestFile ("example.vstchunk");

struct Lv2Case
{
    const char* name;
    std::string value;
    bool typedAsString = true;
};

std::vector<std::string> findingFiles (const char* prefix)
{
    std::vector<std::string> files;
    const std::filesystem::path folder = std::string (VRC_TEST_DATA_DIR) + "/state-findings";
    if (! std::filesystem::is_directory (folder))
        return files;
    for (const auto& entry : std::filesystem::directory_iterator (folder))
        if (entry.path().filename().string().rfind (prefix, 0) == 0)
            files.push_back ("state-findings/" + entry.path().filename().string());
    return files;
}

TEST (Lv2State, SessionTextOfEarlierBuildsLoadsAndSavesUnchanged)
{
    const auto saved = asText (readTestFile ("formats/example.lv2state"));
    ASSERT_EQ (saved, frameworkText (exampleChunk));
    // Hosts keep the terminator the plug-in stored with the text; characters
    // outside the alphabet and surplus ones beyond the count are skipped, as the
    // framework always did.
    const auto dot = saved.find ('.') + 1;
    const auto withForeignBytes = saved.substr (0, dot) + "\xff\xfe\x80\xc3\xa9\n" + saved.substr (dot);
    for (const auto& value : { saved, saved + '\0', saved + "AAAA\n", withForeignBytes })
    {
        Lv2Plugin plugin;
        ASSERT_TRUE (plugin.isLoaded());
        EXPECT_EQ (plugin.restore (value), 0);
        EXPECT_EQ (plugin.store(), saved);
    }
}

TEST (Lv2State, HostileTextRestoresNothing)
{
    const auto body = frameworkText (exampleChunk).substr (frameworkText (exampleChunk).find ('.'));
    const Lv2Case cases[] = {
        { "two gigabyte count", "2000000000" + body },
        { "negative count", "-1" + body },
        { "count beyond 32 bits", "4294967433" + body },
        { "count beyond 64 bits", "184467440737095516160" + body },
        { "count just over a mebibyte", "1048577" + body },
        { "no count", body },
        { "no dot", "135" },
        { "empty", "" },
        { "not typed as text", frameworkText (exampleChunk), false },
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.name);
        Lv2Plugin plugin;
        ASSERT_TRUE (plugin.isLoaded());
        const auto defaults = plugin.store();
        {
            AddressSpaceLimit limit;
            EXPECT_NE (plugin.restore (c.value, c.typedAsString), 0) << "the host hears of the failure";
        }
        EXPECT_EQ (plugin.store(), defaults);
    }
}

//==============================================================================
/** The saved state's trailer: the 64-bit size of the private block sits before
    the 15-byte marker at the end. */
Bytes withPrivateSize (Bytes state, std::uint64_t size)
{
    if (state.size() < 23)
        return state;
    std::memcpy (state.data() + state.size() - 23, &size, 8);
    return state;
}

/** The saved state with its private block replaced. */
Bytes withPrivateBlock (const Bytes& state, const Bytes& block)
{
    std::uint64_t size = 0;
    if (state.size() < 23)
        return state;
    std::memcpy (&size, state.data() + state.size() - 23, 8);
    Bytes result (state.begin(), state.end() - 23 - (std::ptrdiff_t) size);
    result.insert (result.end(), block.begin(), block.end());
    result.resize (result.size() + 8);
    result.insert (result.end(), state.end() - 15, state.end());
    return withPrivateSize (result, block.size());
}

Bytes bytesOf (const char* text, std::size_t size) { return Bytes (text, text + size); }

/** The private block as the wrapper writes it with the bypass switch on. */
const Bytes bypassOnBlock = bytesOf ("JUCEPrivateData\0\1\1Bypass\0\1\1\2\0", 29);

/** The longest state the VST3 build takes from a host: one mebibyte. */
constexpr std::size_t vst3StateLimit = std::size_t (1) << 20;

/** The saved state grown to total bytes by zeros after its chunk (a reader stops
    at the chunk's declared length, so they restore nothing of their own). */
Bytes paddedTo (const Bytes& state, std::size_t total)
{
    const auto chunkEnd = state.begin() + (std::ptrdiff_t) exampleChunk.size();
    Bytes result (state.begin(), chunkEnd);
    result.resize (total - (state.size() - exampleChunk.size()));
    result.insert (result.end(), chunkEnd, state.end());
    return result;
}

TEST (Vst3State, SessionBytesOfEarlierBuildsLoadAndSaveUnchanged)
{
    const auto saved = readTestFile ("formats/example.vst3state");
    ASSERT_GT (saved.size(), exampleChunk.size());
    ASSERT_TRUE (std::equal (exampleChunk.begin(), exampleChunk.end(), saved.begin()));
    const Bytes bypassed = withPrivateBlock (saved, bypassOnBlock);
    // A host may deliver the bytes in pieces, or without telling their size.
    const StreamShape shapes[] = { {}, { 7, true }, { 4096, false }, { 1, false } };
    for (const auto& shape : shapes)
    {
        SCOPED_TRACE (shape.piece);
        Vst3Plugin plugin;
        ASSERT_TRUE (plugin.isLoaded());
        EXPECT_EQ (plugin.setState (saved, shape), 0);
        EXPECT_EQ (plugin.getState(), saved);
        EXPECT_EQ (plugin.setState (bypassed, shape), 0);
        EXPECT_EQ (plugin.getState(), bypassed);
    }
}

TEST (Vst3State, DamagedOrUnusualTrailersRestoreWhatTheyCan)
{
    const auto saved = readTestFile ("formats/example.vst3state");
    // A trailer that does not fit is damaged: nothing is restored. A private
    // block that cannot be read leaves the switch off and the chunk restored.
    // Encodings the framework also writes or reads (counts of up to four bytes,
    // a number for the switch) are read as the framework reads them.
    enum Restores { nothing, chunk, chunkBypassed };
    const struct
    {
        const char* name;
        Bytes state;
        Restores restores;
    } cases[] = {
        { "private size beyond the state", withPrivateSize (saved, saved.size()), nothing },
        { "private size of 2^63", withPrivateSize (saved, 1ull << 63), nothing },
        { "private size that grows the chunk past its end", withPrivateSize (saved, ~std::uint64_t (0) - 99), nothing },
        { "trailer with no room for its leading zeros", bytesOf ("\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0JUCEPrivateData", 30), nothing },
        { "private tree announcing 2^31 properties", withPrivateBlock (saved, bytesOf ("JUCEPrivateData\0\4\xff\xff\xff\x7f", 21)), chunk },
        { "private tree cut short", withPrivateBlock (saved, bytesOf ("JUCEPrivateData\0\1\1Bypass\0\1", 25)), chunk },
        { "negative property count", withPrivateBlock (saved, bytesOf ("JUCEPrivateData\0\x81\1Bypass\0\1\1\2\0", 29)), chunk },
        { "switch's size in four bytes", withPrivateBlock (saved, bytesOf ("JUCEPrivateData\0\1\1Bypass\0\4\1\0\0\0\2\0", 32)), chunkBypassed },
        { "switch as a double that ends the block",
          withPrivateBlock (saved, bytesOf ("JUCEPrivateData\0\1\1Bypass\0\1\x09\4\0\0\0\0\0\0\xf0\x3f", 36)), chunkBypassed },
        { "state of exactly the size limit", paddedTo (saved, vst3StateLimit), chunk },
        { "state one byte over the size limit", paddedTo (saved, vst3StateLimit + 1), nothing },
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.name);
        Vst3Plugin plugin;
        ASSERT_TRUE (plugin.isLoaded());
        const auto defaults = plugin.getState();
        plugin.setState (c.state);
        EXPECT_EQ (plugin.getState(), c.restores == nothing ? defaults : c.restores == chunk ? saved : withPrivateBlock (saved, bypassOnBlock));
    }
}

TEST (Vst3State, StreamIsReadNoFurtherThanAStateCanReach)
{
    Vst3Plugin plugin;
    ASSERT_TRUE (plugin.isLoaded());
    const auto defaults = plugin.getState();
    AddressSpaceLimit limit;
    plugin.setState ({}, { 0, false, std::size_t (64) << 20 });
    EXPECT_LE (plugin.bytesTaken(), std::size_t (2) << 20);
    EXPECT_EQ (plugin.getState(), defaults);
}

// Inputs the fuzz targets found, each a host's value for one format's state.
TEST (FormatStateFindings, ReplayWithoutFault)
{
    for (const auto& file : findingFiles ("lv2-"))
    {
        SCOPED_TRACE (file);
        Lv2Plugin plugin;
        AddressSpaceLimit limit;
        EXPECT_NO_THROW (plugin.restore (asText (readTestFile (file))));
    }
    for (const auto& file : findingFiles ("vst3-"))
    {
        SCOPED_TRACE (file);
        Vst3Plugin plugin;
        AddressSpaceLimit limit;
        plugin.setState (readTestFile (file));
    }
}
} // namespace
} // namespace vrc::statehost
