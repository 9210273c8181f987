// Runs the current engine and the reference engine over the benchmark material
// with the same settings and block sizes and reports how far their outputs and
// meter readings differ: samples that differ, the largest difference in units of
// the last place of the output, and the largest meter difference in dB. Then the
// gain factors alone: both engines' curves on the envelope of the same material,
// and on a sweep of envelope values.
#include "BenchEngine.h"
#include "BenchMaterial.h"
#include "EnvelopePasses.h"
#include "EngineHelpers.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

namespace
{
using namespace vrcbench;
using vrc::test::ulpDistance;

double meterDifference (float a, float b)
{
    if (std::isinf (a) && std::isinf (b) && a == b)
        return 0.0;
    return std::fabs (static_cast<double> (a) - static_cast<double> (b));
}
/** The envelope the engine follows over the material (after its lead-in), frame by frame. */
std::vector<float> envelopeOf (const Programme& p, float attack, float release)
{
    std::vector<float> out;
    float envelope = 0.0f;
    for (const auto* audio : { &p.lead, &p.body })
    {
        if (audio->empty())
            continue;
        auto channels = *audio;
        std::vector<float*> ptrs (channels.size());
        for (size_t ch = 0; ch < channels.size(); ++ch)
            ptrs[ch] = channels[ch].data();
        const auto total = static_cast<int> (channels[0].size());
        constexpr int chunk = 256;
        float mono[chunk], env[chunk], meterIn[chunk], scratch[3 * chunk];
        for (int start = 0; start < total; start += chunk)
        {
            const int n = std::min (chunk, total - start);
            vrc::mixToMono<0> (ptrs.data(), static_cast<int> (ptrs.size()), start, n, mono);
            envelope = vrc::followEnvelope (mono, n, envelope, attack, release, env, meterIn, scratch);
            if (audio == &p.body)
                out.insert (out.end(), env, env + n);
        }
    }
    return out;
}

/** Largest distance in ulps between the two engines' gain factors, and how many differ. */
std::pair<std::int64_t, size_t> gainDifference (const BenchEngine& a, const BenchEngine& b, const std::vector<float>& envelope)
{
    std::vector<float> ga (envelope.size()), gb (envelope.size());
    const auto total = static_cast<int> (envelope.size());
    for (int start = 0; start < total; start += 512)
    {
        const int n = std::min (512, total - start);
        a.curveGains (envelope.data() + start, ga.data() + start, n);
        b.curveGains (envelope.data() + start, gb.data() + start, n);
    }
    std::int64_t worst = 0;
    size_t differ = 0;
    for (size_t i = 0; i < envelope.size(); ++i)
    {
        const auto d = ulpDistance (ga[i], gb[i]);
        worst = std::max (worst, d);
        differ += d != 0 ? 1 : 0;
    }
    return { worst, differ };
}

void compareGainFactors()
{
    std::printf ("\ngain factors: %-11s %-8s %10s %9s %10s\n", "curve", "input", "frames", "differ", "max ulps");
    // Every 61st float from 1e-9 to 16: all levels an envelope can take, not only the material's.
    std::vector<float> sweep;
    for (float v = 1.0e-9f; v < 16.0f; v = std::nextafter (v, 32.0f))
    {
        sweep.push_back (v);
        for (int skip = 0; skip < 60; ++skip)
            v = std::nextafter (v, 32.0f);
    }
    struct Case { const char* name; EngineSettings settings; };
    for (const auto& c : { Case { "curve0", { 0.0f, 0.94f } }, Case { "curve0hard", { 0.0f, 1.0f } },
                           Case { "curve1", { 1.0f, 0.94f } }, Case { "curve1hard", { 1.0f, 1.0f } },
                           Case { "curve1soft", { 1.0f, 0.0f } } })
    {
        auto current = makeCurrentEngine (c.settings);
        auto reference = makeReferenceEngine (c.settings);
        for (auto material : { Material::music, Material::musicInKnee, Material::silenceAfterLoud })
            for (int channels : { 2, 1 })
            {
                const auto envelope = envelopeOf (programme (material, channels), current->attackCoefficient(),
                                                  current->releaseCoefficient());
                const auto [worst, differ] = gainDifference (*current, *reference, envelope);
                std::printf ("              %-11s %-8s %10zu %9zu %10lld\n", c.name,
                             (std::string (materialName (material)) + (channels == 2 ? "/2" : "/1")).c_str(),
                             envelope.size(), differ, static_cast<long long> (worst));
            }
        const auto [worst, differ] = gainDifference (*current, *reference, sweep);
        std::printf ("              %-11s %-8s %10zu %9zu %10lld\n", c.name, "sweep", sweep.size(), differ,
                     static_cast<long long> (worst));
    }
}
} // namespace

int main()
{
    if (makeReferenceEngine ({}) == nullptr)
    {
        std::fprintf (stderr, "no reference engine: configure with -DVRC_BENCH_REFERENCE_DSP=<checkout>/source/dsp\n");
        return 2;
    }
    std::printf ("%-11s %-7s %-7s %5s %10s %9s %10s %12s\n", "curve", "chans", "input", "block", "samples", "differ",
                 "max ulps", "meters dB");
    bool identical = true;
    struct Case { const char* name; EngineSettings settings; };
    for (const auto& c : { Case { "curve0", { 0.0f, 0.94f } }, Case { "curve0hard", { 0.0f, 1.0f } },
                           Case { "curve1", { 1.0f, 0.94f } }, Case { "curve1hard", { 1.0f, 1.0f } } })
        for (int channels : { 2, 1 })
            for (auto material : { Material::music, Material::musicInKnee, Material::silenceAfterLoud })
                for (int block : { 512, 32, 1, 333, 4096 })
                {
                    auto current = makeCurrentEngine (c.settings);
                    auto reference = makeReferenceEngine (c.settings);
                    auto p = programme (material, channels);
                    auto a = p.body, b = p.body;
                    double meters = 0.0;
                    auto compareMeters = [&]
                    {
                        meters = std::max (meters, meterDifference (current->inputLevelDb(), reference->inputLevelDb()));
                        meters = std::max (meters, meterDifference (current->gainLevelDb(), reference->gainLevelDb()));
                    };
                    if (! p.lead.empty())
                    {
                        auto la = p.lead, lb = p.lead;
                        runInBlocks (la, block, [&] (float* const* x, int n, int f) { current->process (x, n, f); });
                        runInBlocks (lb, block, [&] (float* const* x, int n, int f) { reference->process (x, n, f); });
                    }
                    // Both run block by block in step, so the meters are compared after every block.
                    std::vector<float*> pa (a.size()), pb (b.size());
                    const auto total = static_cast<int> (a[0].size());
                    for (int start = 0; start < total; start += block)
                    {
                        for (size_t ch = 0; ch < a.size(); ++ch)
                        {
                            pa[ch] = a[ch].data() + start;
                            pb[ch] = b[ch].data() + start;
                        }
                        const int n = std::min (block, total - start);
                        current->process (pa.data(), channels, n);
                        reference->process (pb.data(), channels, n);
                        compareMeters();
                    }
                    size_t differ = 0, count = 0;
                    std::int64_t worst = 0;
                    for (size_t ch = 0; ch < a.size(); ++ch)
                        for (size_t i = 0; i < a[ch].size(); ++i, ++count)
                        {
                            const auto d = ulpDistance (a[ch][i], b[ch][i]);
                            differ += d != 0 ? 1 : 0;
                            worst = std::max (worst, d);
                        }
                    identical = identical && differ == 0;
                    std::printf ("%-11s %-7s %-7s %5d %10zu %9zu %10lld %12.2e\n", c.name, channels == 2 ? "stereo" : "mono",
                                 materialName (material), block, count, differ,
                                 static_cast<long long> (worst), meters);
                }
    std::printf (identical ? "audio: bit-identical in every case\n" : "audio: differences above\n");
    compareGainFactors();
    return 0;
}
