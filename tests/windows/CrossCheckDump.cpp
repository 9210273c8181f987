#include "CrossCheck.h"

#include "Signals.h"
#include "TestHost.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <vector>

namespace crosscheck
{
namespace
{
using vsthost::PluginInstance;

std::string bits (float v)
{
    std::uint32_t u = 0;
    std::memcpy (&u, &v, sizeof (u));
    char text[16];
    std::snprintf (text, sizeof (text), "%08x", static_cast<unsigned> (u));
    return text;
}

void identity (const PluginInstance& plugin, std::ostream& out)
{
    const auto* e = plugin.effect();
    out << "descriptor " << e->magic << ' ' << e->numPrograms << ' ' << e->numParams << ' ' << e->numInputs << ' '
        << e->numOutputs << ' ' << e->flags << ' ' << e->initialDelay << ' ' << e->uniqueID << ' ' << e->version << '\n';
    out << "effect name '" << plugin.text<64> (vsthost::effGetEffectName) << "'\n";
    out << "vendor '" << plugin.text<64> (vsthost::effGetVendorString) << "'\n";
    out << "product '" << plugin.text<64> (vsthost::effGetProductString) << "'\n";
    out << "vendor version " << plugin.dispatch (vsthost::effGetVendorVersion) << '\n';
    out << "vst version " << plugin.dispatch (vsthost::effGetVstVersion) << '\n';
    out << "category " << plugin.dispatch (vsthost::effGetPlugCategory) << '\n';
    for (const char* query : { "receiveVstTimeInfo", "receiveVstMidiEvent", "openCloseAnyThread", "sizeWindow", "bypass" })
        out << "canDo " << query << ' ' << plugin.dispatch (vsthost::effCanDo, 0, 0, const_cast<char*> (query)) << '\n';
}

// Every parameter's name, label and display text over a grid of values, with
// the value the plug-in reports back; each parameter returns to its value after.
void parameterTexts (const PluginInstance& plugin, std::ostream& out)
{
    for (int32_t index = 0; index < plugin.effect()->numParams; ++index)
    {
        out << "param " << index << " name '" << plugin.text<64> (vsthost::effGetParamName, index) << "' label '"
            << plugin.text<64> (vsthost::effGetParamLabel, index) << "'\n";
        const float original = plugin.getParameter (index);
        for (int step = 0; step <= 40; ++step)
        {
            const float value = static_cast<float> (step) / 40.0f;
            plugin.setParameter (index, value);
            out << "  " << bits (value) << " -> " << bits (plugin.getParameter (index)) << " '"
                << plugin.text<64> (vsthost::effGetParamDisplay, index) << "'\n";
        }
        plugin.setParameter (index, original);
    }
}

void apply (const PluginInstance& plugin, const Setting& setting)
{
    for (int32_t i = 0; i < 8; ++i)
        plugin.setParameter (i, setting.values[i]);
}

std::vector<float> render (const PluginInstance& plugin, long long length)
{
    plugin.resume (44100.0f, 512);

    std::vector<float> in[2], out[2];
    std::vector<float> interleaved;
    interleaved.reserve (static_cast<size_t> (length) * 2);
    long long position = 0;
    for (int block = 0; position < length; ++block)
    {
        const int32_t frames = static_cast<int32_t> (std::min<long long> (sessionBlockSizes[block % 5], length - position));
        float* ins[2];
        float* outs[2];
        for (int c = 0; c < 2; ++c)
        {
            in[c].resize (static_cast<size_t> (frames));
            out[c].assign (static_cast<size_t> (frames), 0.0f);
            for (int32_t i = 0; i < frames; ++i)
                in[c][static_cast<size_t> (i)] = testSignal (c, position + i);
            ins[c] = in[c].data();
            outs[c] = out[c].data();
        }
        plugin.effect()->processReplacing (plugin.effect(), ins, outs, frames);
        for (int32_t i = 0; i < frames; ++i)
            for (int c = 0; c < 2; ++c)
                interleaved.push_back (out[c][static_cast<size_t> (i)]);
        position += frames;
    }
    plugin.dispatch (vsthost::effMainsChanged, 0, 0);
    return interleaved;
}

template <typename T>
bool writeFile (const std::string& path, const std::vector<T>& data)
{
    return writeBinary (path, data.data(), data.size() * sizeof (T));
}
} // namespace

// Two settings that keep the compressor working hard: the decibel curve, and
// the linear curve with part of the dry signal mixed back in.
const Setting sessionSettings[2] = {
    { "decibel", { 0.5f, 1.0f, 0.5f, 0.1f, 0.2f, 0.94f, 1.0f, 1.0f } },
    { "linear", { 0.7f, 0.9f, 0.45f, 0.02f, 0.5f, 0.3f, 0.75f, 0.0f } },
};

// Uneven block sizes, including a single sample, as hosts send them.
const int sessionBlockSizes[5] = { 512, 511, 64, 1, 300 };

bool writeBinary (const std::string& path, const void* data, size_t size)
{
    std::ofstream file (path, std::ios::binary);
    file.write (static_cast<const char*> (data), static_cast<std::streamsize> (size));
    return static_cast<bool> (file);
}

float testSignal (int channel, long long sampleIndex)
{
    // Bursts: 0.25 s loud, 0.25 s quiet, so attack and release both act.
    static constexpr float levels[] = { 0.875f, 0.0625f };
    return vrc::test::exactSample (channel, sampleIndex, levels, 2, 11025);
}

bool writeDump (const std::string& dir)
{
    std::ostringstream texts;
    {
        PluginInstance plugin;
        if (plugin.effect() == nullptr)
            return false;
        identity (plugin, texts);
        parameterTexts (plugin, texts);
        if (! writeFile (dir + "/chunk-default.bin", plugin.chunk()))
            return false;
        apply (plugin, sessionSettings[1]);
        if (! writeFile (dir + "/chunk.bin", plugin.chunk()))
            return false;

        PluginInstance restored;
        restored.setChunk (plugin.chunk());
        texts << "restored";
        for (float v : restored.parameters())
            texts << ' ' << bits (v);
        texts << '\n';
    }

    for (const auto& setting : sessionSettings)
    {
        PluginInstance plugin;
        apply (plugin, setting);
        if (! writeFile (dir + "/audio-" + setting.name + ".f32", render (plugin, 3 * 44100)))
            return false;
    }

    std::ofstream file (dir + "/texts.txt", std::ios::binary);
    file << texts.str();
    return static_cast<bool> (file);
}
} // namespace crosscheck
