// Hosts write parameters from the audio thread (automation) and the UI thread
// at once. Whatever the interleaving, the instance must end up with the settings
// the same writes give when made one after the other.
#include "processor/VeskCompAudioProcessor.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <thread>

namespace
{
// Values that change every round, so that a stale read of the other thread's
// setting always shows. Thread A owns knee and threshold, thread B curve, ratio
// and release (ratio before release: the release deliberately reads the ratio).
struct RoundValues
{
    float knee, threshold, curve, ratio, release;
};

RoundValues valuesOf (int round)
{
    return { static_cast<float> (round * 37 % 101) / 100.0f, static_cast<float> (round % 7) / 7.0f,
             static_cast<float> (round & 1), static_cast<float> (round * 13 % 11) / 10.0f,
             static_cast<float> (round % 5) / 5.0f };
}

void writeA (VeskCompAudioProcessor& p, const RoundValues& v)
{
    p.setParameter (5, v.knee);
    p.setParameter (0, v.threshold);
}

void writeB (VeskCompAudioProcessor& p, const RoundValues& v)
{
    p.setParameter (7, v.curve);
    p.setParameter (1, v.ratio);
    p.setParameter (4, v.release);
}

/** One full-scale frame: with attack 0 the envelope jumps to exactly 1 whatever
    came before, so the output depends on the settings alone. */
std::uint64_t probe (VeskCompAudioProcessor& p)
{
    juce::AudioBuffer<float> frame (2, 1);
    frame.setSample (0, 0, 1.0f);
    frame.setSample (1, 0, 1.0f);
    juce::MidiBuffer midi;
    p.processBlock (frame, midi);
    std::uint64_t bits = 0;
    const float left = frame.getSample (0, 0), right = frame.getSample (1, 0);
    std::memcpy (&bits, &left, 4);
    std::memcpy (reinterpret_cast<char*> (&bits) + 4, &right, 4);
    return bits;
}

// Spins a while before giving the core away: the two writers should start a
// round at the same moment, which a sleeping thread never does.
void spinUntil (const std::atomic<int>& value, int target)
{
    for (int spins = 0; value.load() < target; ++spins)
        if (spins > 4000)
            std::this_thread::yield();
}
} // namespace

TEST (ConcurrentSetters, WritesFromTwoThreadsLeaveTheSettingsOfTheSameWritesInOrder)
{
    constexpr int rounds = 200000;
    VeskCompAudioProcessor raced, ordered;
    for (auto* p : { &raced, &ordered })
    {
        p->setParameter (3, 0.0f); // attack 0
        p->prepareToPlay (48000.0, 32);
    }

    std::atomic<int> go { -1 }, done { 0 };
    auto setter = [&] (void (*write) (VeskCompAudioProcessor&, const RoundValues&))
    {
        return std::thread ([&, write]
        {
            for (int r = 0; r < rounds; ++r)
            {
                spinUntil (go, r);
                write (raced, valuesOf (r));
                ++done;
            }
        });
    };
    std::thread a = setter (writeA), b = setter (writeB);

    // This thread is the audio thread: it keeps processing while the writes race.
    juce::AudioBuffer<float> busy (2, 32);
    juce::MidiBuffer midi;
    int differing = 0;
    for (int r = 0; r < rounds; ++r)
    {
        go.store (r);
        while (done.load() < 2 * (r + 1))
        {
            for (int ch = 0; ch < 2; ++ch)
                juce::FloatVectorOperations::fill (busy.getWritePointer (ch), 0.5f, 32);
            raced.processBlock (busy, midi);
            std::this_thread::yield();
        }
        writeA (ordered, valuesOf (r));
        writeB (ordered, valuesOf (r));
        differing += probe (raced) != probe (ordered) ? 1 : 0;
    }
    a.join();
    b.join();
    EXPECT_EQ (differing, 0) << "rounds whose settings differ from the same writes in order, of " << rounds;
}
