// The Standalone program with live audio: a private JACK server on its dummy
// backend (real-time paced, no sound card), VR-C started on it through the
// framework's own audio settings as its settings file restores them, and a JACK
// client of this test that plays a signal into VR-C and records what comes back.
// What comes back must be VR-C.so's output for that signal, bit for bit.
#include "FormatHost.h"
#include "UniqueTempFolder.h"

#include <gtest/gtest.h>
#include <jack/jack.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace vrc::formats
{
namespace
{
using namespace std::chrono_literals;

constexpr int sampleRate = 48000;
constexpr int signalFrames = sampleRate; // one second
const char* const feedName = "vrc-feed";

/** A child process, stopped and reaped when it goes out of scope. */
struct Child
{
    pid_t pid = -1;

    Child (std::vector<std::string> args, const std::vector<std::string>& extraEnvironment)
    {
        std::vector<char*> argv, envp;
        for (auto& a : args)
            argv.push_back (a.data());
        argv.push_back (nullptr);
        auto env = extraEnvironment;
        for (char** e = environ; *e != nullptr; ++e)
            env.emplace_back (*e);
        for (auto& e : env)
            envp.push_back (e.data());
        envp.push_back (nullptr);
        if (posix_spawnp (&pid, argv[0], nullptr, nullptr, argv.data(), envp.data()) != 0)
            pid = -1;
    }

    ~Child()
    {
        if (pid <= 0)
            return;
        ::kill (pid, SIGTERM);
        for (int i = 0; i < 50 && ::waitpid (pid, nullptr, WNOHANG) == 0; ++i)
            std::this_thread::sleep_for (100ms);
        ::kill (pid, SIGKILL);
        ::waitpid (pid, nullptr, 0);
    }
};

/** Plays the signal (after silence, once told to) and records its own inputs from then on. */
class JackFeed
{
public:
    JackFeed (const char* server, const Signal& signalToPlay)
        : signal (signalToPlay), recorded (2, std::vector<float> ((size_t) signalFrames * 2))
    {
        for (int attempt = 0; attempt < 100 && client == nullptr; ++attempt, std::this_thread::sleep_for (100ms))
            client = jack_client_open (feedName, (jack_options_t) (JackNoStartServer | JackServerName), nullptr, server);
        if (client == nullptr)
            return;
        for (int ch = 0; ch < 2; ++ch)
        {
            const auto n = std::to_string (ch + 1);
            outs[ch] = jack_port_register (client, ("out_" + n).c_str(), JACK_DEFAULT_AUDIO_TYPE, JackPortIsOutput, 0);
            ins[ch] = jack_port_register (client, ("in_" + n).c_str(), JACK_DEFAULT_AUDIO_TYPE, JackPortIsInput, 0);
        }
        jack_set_process_callback (client, &JackFeed::process, this);
        jack_activate (client);
    }

    ~JackFeed()
    {
        if (client != nullptr)
            jack_client_close (client);
    }

    bool isOpen() const { return client != nullptr; }
    bool isConnectedBothWays() const
    {
        return jack_port_connected (outs[0]) > 0 && jack_port_connected (outs[1]) > 0
               && jack_port_connected (ins[0]) > 0 && jack_port_connected (ins[1]) > 0;
    }
    void start() { playing.store (true); }
    bool isDone() const { return position.load() >= recorded[0].size(); }
    const Signal& recording() const { return recorded; }

private:
    static int process (jack_nframes_t frames, void* self)
    {
        auto& feed = *static_cast<JackFeed*> (self);
        const bool on = feed.playing.load();
        const auto start = feed.position.load();
        for (int ch = 0; ch < 2; ++ch)
        {
            auto* out = static_cast<float*> (jack_port_get_buffer (feed.outs[ch], frames));
            const auto* in = static_cast<const float*> (jack_port_get_buffer (feed.ins[ch], frames));
            auto& played = feed.signal[(size_t) ch];
            auto& kept = feed.recorded[(size_t) ch];
            for (jack_nframes_t i = 0; i < frames; ++i)
            {
                const auto at = start + i;
                out[i] = on && at < played.size() ? played[at] : 0.0f;
                if (on && at < kept.size())
                    kept[at] = in[i];
            }
        }
        if (on)
            feed.position.store (start + frames);
        return 0;
    }

    const Signal& signal;
    Signal recorded;
    jack_client_t* client = nullptr;
    jack_port_t* outs[2] {};
    jack_port_t* ins[2] {};
    std::atomic<bool> playing { false };
    std::atomic<size_t> position { 0 };
};

template <typename Condition>
bool waitFor (Condition condition, std::chrono::seconds limit)
{
    for (auto end = std::chrono::steady_clock::now() + limit; std::chrono::steady_clock::now() < end; std::this_thread::sleep_for (50ms))
        if (condition())
            return true;
    return condition();
}

TEST (Standalone, ProcessesLiveAudioThroughJackWithTheSettingsWindowsChoice)
{
    const auto home = vrc::test::makeUniqueTempFolder ("vrc-standalone-home");
    ASSERT_TRUE (home.getChildFile (".config").createDirectory());
    const auto server = "vrc-test-" + std::to_string (::getpid());

    // What the framework's audio settings window saves: JACK, connected to our
    // client both ways, and the input not muted.
    ASSERT_TRUE (home.getChildFile (".config/VR-C.settings").replaceWithText (
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<PROPERTIES>\n"
        "  <VALUE name=\"shouldMuteInput\" val=\"0\"/>\n"
        "  <VALUE name=\"audioSetup\">\n"
        "    <DEVICESETUP deviceType=\"JACK\" audioOutputDeviceName=\"vrc-feed\" audioInputDeviceName=\"vrc-feed\"/>\n"
        "  </VALUE>\n</PROPERTIES>\n"));

    Child jackd ({ "jackd", "--no-realtime", "-n", server, "-d", "dummy", "-r", std::to_string (sampleRate), "-p", "256" }, {});
    ASSERT_GT (jackd.pid, 0) << "jackd is not installed (scripts/setup.sh --test installs it)";

    // The signal starts on a sample that is not 0, so its first sound marks where it starts.
    auto signal = testSignal (2, signalFrames);
    signal[0][0] = signal[1][0] = 0.5f;
    JackFeed feed (server.c_str(), signal);
    ASSERT_TRUE (feed.isOpen()) << "no JACK server " << server;

    // The feed client exists before VR-C starts, so VR-C's device list names it.
    Child vrc ({ VRC_STANDALONE_PATH }, { "HOME=" + home.getFullPathName().toStdString(), "JACK_DEFAULT_SERVER=" + server });
    ASSERT_TRUE (waitFor ([&] { return feed.isConnectedBothWays(); }, 30s)) << "VR-C did not connect to the feed";
    std::this_thread::sleep_for (300ms);
    feed.start();
    ASSERT_TRUE (waitFor ([&] { return feed.isDone(); }, 30s));

    // VR-C's output arrives some whole JACK periods later; from its first sound
    // on it is the VST2 build's output for the same signal at default settings.
    const auto expected = processVst2 ({}, signal, (float) sampleRate, 512);
    const auto& got = feed.recording();
    size_t delay = 0;
    while (delay < got[0].size() && got[0][delay] == 0.0f && got[1][delay] == 0.0f)
        ++delay;
    ASSERT_LE (delay + signalFrames, got[0].size()) << "no sound came back";
    for (size_t ch = 0; ch < 2; ++ch)
    {
        const std::vector<float> part (got[ch].begin() + (long) delay, got[ch].begin() + (long) delay + signalFrames);
        EXPECT_TRUE (part == expected[ch]) << "channel " << ch << ", delay " << delay;
    }
    home.deleteRecursively();
}
} // namespace
} // namespace vrc::formats
