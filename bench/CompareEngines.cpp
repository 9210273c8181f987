// Runs the current engine and the reference engine over the benchmark material
// with the same settings and block sizes and reports how far their outputs and
// meter readings differ: samples that differ, the largest difference in units of
// the last place of the output, and the largest meter difference in dB.
#include "BenchEngine.h"
#include "BenchMaterial.h"
#include "EngineHelpers.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>

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
    return 0;
}
