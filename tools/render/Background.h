#pragma once
// One task at a time on a thread of its own, for the render's pipeline: the next
// chunk is decoded and the last one written while the processor works on this
// one. start() hands a task over, wait() returns once it has run; everything the
// task touched is then the caller's again.
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

namespace vrc::render
{

class Background
{
public:
    Background() : thread ([this] { run(); }) {}

    ~Background()
    {
        {
            const std::lock_guard<std::mutex> lock (mutex);
            stopping = true;
        }
        changed.notify_all();
        thread.join();
    }

    Background (const Background&) = delete;
    Background& operator= (const Background&) = delete;

    void start (std::function<void()> work)
    {
        wait();
        {
            const std::lock_guard<std::mutex> lock (mutex);
            task = std::move (work);
            busy = true;
        }
        changed.notify_all();
    }

    void wait()
    {
        std::unique_lock<std::mutex> lock (mutex);
        changed.wait (lock, [this] { return ! busy; });
    }

private:
    void run()
    {
        std::unique_lock<std::mutex> lock (mutex);
        for (;;)
        {
            changed.wait (lock, [this] { return busy || stopping; });
            if (! busy)
                return;
            lock.unlock();
            task();
            lock.lock();
            busy = false;
            changed.notify_all();
        }
    }

    std::mutex mutex;
    std::condition_variable changed;
    std::function<void()> task;
    bool busy = false, stopping = false;
    std::thread thread; // (last: it starts once everything above is ready)
};

} // namespace vrc::render
