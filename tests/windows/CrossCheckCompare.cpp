#include "CrossCheck.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <vector>

namespace crosscheck
{
namespace
{
bool readFile (const std::string& path, std::vector<char>& data)
{
    std::ifstream file (path, std::ios::binary | std::ios::ate);
    if (! file)
    {
        std::printf ("missing: %s\n", path.c_str());
        return false;
    }
    data.resize (static_cast<size_t> (file.tellg()));
    file.seekg (0);
    return static_cast<bool> (file.read (data.data(), static_cast<std::streamsize> (data.size())));
}

bool sameFile (const std::string& a, const std::string& b, const char* label)
{
    std::vector<char> x, y;
    if (! readFile (a, x) || ! readFile (b, y))
        return false;
    if (x == y)
    {
        std::printf ("%-22s identical, %zu bytes\n", label, x.size());
        return true;
    }
    size_t first = 0;
    while (first < x.size() && first < y.size() && x[first] == y[first])
        ++first;
    std::printf ("%-22s DIFFER: %zu vs %zu bytes, first difference at byte %zu\n", label, x.size(), y.size(), first);
    return false;
}

bool sameBytes (const std::string& a, const std::string& b, const char* name)
{
    return sameFile (a + "/" + name, b + "/" + name, name);
}

bool sameAudio (const std::string& a, const std::string& b, const char* name, float tolerance)
{
    std::vector<char> x, y;
    if (! readFile (a + "/" + name, x) || ! readFile (b + "/" + name, y))
        return false;
    if (x.size() != y.size() || x.empty() || x.size() % sizeof (float) != 0)
    {
        std::printf ("%-22s DIFFER in length: %zu vs %zu bytes\n", name, x.size(), y.size());
        return false;
    }

    const size_t count = x.size() / sizeof (float);
    size_t identical = 0, worstIndex = 0;
    double worst = 0.0;
    bool finite = true;
    for (size_t i = 0; i < count; ++i)
    {
        float p = 0.0f, q = 0.0f;
        std::memcpy (&p, x.data() + i * sizeof (float), sizeof (float));
        std::memcpy (&q, y.data() + i * sizeof (float), sizeof (float));
        if (std::memcmp (&p, &q, sizeof (float)) == 0)
            ++identical;
        finite = finite && std::isfinite (p) && std::isfinite (q);
        const double d = std::fabs (static_cast<double> (p) - static_cast<double> (q));
        if (d > worst)
        {
            worst = d;
            worstIndex = i;
        }
    }

    const bool ok = finite && worst <= static_cast<double> (tolerance);
    std::printf ("%-22s %s: %zu samples, %zu bit-identical (%.4f%%), max |difference| %.3g at sample %zu (tolerance %.3g)\n",
                 name, ok ? "within tolerance" : "OUT OF TOLERANCE", count, identical,
                 100.0 * static_cast<double> (identical) / static_cast<double> (count), worst, worstIndex,
                 static_cast<double> (tolerance));
    return ok;
}
} // namespace

bool compareDumps (const std::string& referenceDir, const std::string& candidateDir, float audioTolerance)
{
    bool ok = true;
    for (const char* name : { "texts.txt", "chunk-default.bin", "chunk.bin" })
        ok = sameBytes (referenceDir, candidateDir, name) && ok;
    for (const char* name : { "audio-decibel.f32", "audio-linear.f32" })
        ok = sameAudio (referenceDir, candidateDir, name, audioTolerance) && ok;
    return ok;
}

bool compareVst3Dumps (const std::string& referenceDir, const std::string& candidateDir, const std::string& vst2Dir)
{
    bool ok = true;
    for (const char* name : { "texts-vst3.txt", "state-default.bin", "state.bin", "state-restored.bin" })
        ok = sameBytes (referenceDir, candidateDir, name) && ok;
    for (const char* name : { "audio-decibel.f32", "audio-linear.f32" })
    {
        ok = sameAudio (referenceDir, candidateDir, name, 0.0f) && ok;
        std::printf ("  against the VST2 build: ");
        ok = sameAudio (vst2Dir, candidateDir, name, 0.0f) && ok;
    }
    ok = sameFile (candidateDir + "/state.bin", candidateDir + "/state-restored.bin", "state restored, saved") && ok;

    // The VST3 state carries the VST2 build's chunk for the same settings.
    std::vector<char> state, chunk;
    if (readFile (candidateDir + "/state.bin", state) && readFile (vst2Dir + "/chunk.bin", chunk))
    {
        const bool carried = ! chunk.empty() && std::search (state.begin(), state.end(), chunk.begin(), chunk.end()) != state.end();
        std::printf ("%-22s %s the VST2 chunk (%zu bytes)\n", "state.bin", carried ? "carries" : "DOES NOT CARRY", chunk.size());
        ok = carried && ok;
    }
    else
        ok = false;
    return ok;
}
} // namespace crosscheck
