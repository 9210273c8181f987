#include "Jobs.h"

#include "Progress.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace vrc::render
{

std::vector<RenderResult> runJobs (const std::vector<RenderJob>& jobs, const std::atomic<bool>& cancel, bool quiet)
{
    const size_t count = jobs.size();
    std::vector<RenderResult> results (count);
    std::vector<std::atomic<double>> fractions (count);
    std::atomic<size_t> next { 0 };
    size_t finished = 0;
    std::mutex mutex;
    std::condition_variable done;

    const auto worker = [&]
    {
        for (size_t i = next++; i < count; i = next++)
        {
            results[i] = render (jobs[i], { &fractions[i], &cancel });
            fractions[i].store (1.0);
            const std::lock_guard<std::mutex> lock (mutex);
            ++finished;
            done.notify_one();
        }
    };

    const size_t threadCount = std::min<size_t> (count, std::max (1u, std::thread::hardware_concurrency()));
    std::vector<std::thread> threads;
    for (size_t t = 0; t < threadCount; ++t)
        threads.emplace_back (worker);

    ProgressBar bar (! quiet);
    {
        std::unique_lock<std::mutex> lock (mutex);
        while (finished < count)
        {
            done.wait_for (lock, std::chrono::milliseconds (100));
            double total = 0.0;
            for (const auto& f : fractions)
                total += f.load();
            const std::string label = count == 1 ? jobs[0].input.getFileName().toStdString()
                                                 : std::to_string (finished) + " of " + std::to_string (count) + " files";
            bar.show (total / static_cast<double> (count), label);
        }
    }
    bar.clear();

    for (auto& t : threads)
        t.join();
    return results;
}

} // namespace vrc::render
