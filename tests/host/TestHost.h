#pragma once
// The test host: loads the built plug-in once, answers and records every call the
// plug-in makes to it, and wraps one plug-in instance with canary-guarded buffers
// so a plug-in that writes past a host buffer fails the test.
#include "VstHostInterface.h"

#include <cstring>
#include <mutex>
#include <string>
#include <vector>

namespace vsthost
{
struct HostCall
{
    AEffect* effect;
    int32_t opcode;
    int32_t index;
    IntPtr value;
    float opt;
    std::string text; // the query of audioMasterCanDo
};

/** Answers the plug-in's calls like a minimal VST 2.4 host and records each one. */
class RecordingHost
{
public:
    static RecordingHost& instance();

    HostCallback callback() const noexcept { return &onCall; }
    void setVersionAnswer (IntPtr v);
    void clear();
    std::vector<HostCall> calls() const;
    std::vector<HostCall> callsWith (int32_t opcode) const;

private:
    static IntPtr onCall (AEffect*, int32_t opcode, int32_t index, IntPtr value, void* ptr, float opt);

    mutable std::mutex lock;
    std::vector<HostCall> recorded;
    IntPtr versionAnswer = 2400;
};

/** A settings chunk around the given text: magic, length, text, two zero bytes. */
std::vector<unsigned char> settingsChunk (const std::string& text);

/** The built VR-C library and its two exported entry points. */
EntryPoint pluginEntryPoint (const char* name = "VSTPluginMain");

/** A host-owned buffer of N bytes between two guard zones. */
template <size_t N>
struct alignas (16) Guarded
{
    static constexpr unsigned char guardByte = 0xA5;
    static constexpr unsigned char fillByte = 0x5A; // non-zero: an unwritten text has no terminator

    Guarded() { std::memset (this, fillByte, sizeof (*this)); std::memset (before, guardByte, sizeof (before)); std::memset (after, guardByte, sizeof (after)); }

    bool guardsIntact() const
    {
        for (size_t i = 0; i < sizeof (before); ++i)
            if (before[i] != guardByte || after[i] != guardByte)
                return false;
        return true;
    }
    /** The text up to its terminator, or "<unterminated>" when the plug-in left none. */
    std::string text() const
    {
        const void* end = std::memchr (data, 0, N);
        return end != nullptr ? std::string (reinterpret_cast<const char*> (data)) : std::string ("<unterminated>");
    }
    /** How many bytes, terminator included, the written text occupies. */
    size_t bytesUsed() const
    {
        const void* end = std::memchr (data, 0, N);
        return end != nullptr ? static_cast<size_t> (static_cast<const unsigned char*> (end) - data) + 1 : N;
    }

    unsigned char before[32];
    unsigned char data[N];
    unsigned char after[32];
};

/** One plug-in instance, closed when this goes out of scope. */
class PluginInstance
{
public:
    explicit PluginInstance (const char* entryName = "VSTPluginMain");
    ~PluginInstance();
    PluginInstance (const PluginInstance&) = delete;
    PluginInstance& operator= (const PluginInstance&) = delete;

    AEffect* effect() const noexcept { return plugin; }
    IntPtr dispatch (int32_t opcode, int32_t index = 0, IntPtr value = 0, void* ptr = nullptr, float opt = 0.0f) const;
    void setParameter (int32_t index, float value) const { plugin->setParameter (plugin, index, value); }
    float getParameter (int32_t index) const { return plugin->getParameter (plugin, index); }

    /** effSetSampleRate, effSetBlockSize and resume. */
    void resume (float sampleRate, int32_t blockSize) const;
    /** The text a request writes into a host buffer of N bytes, checking the guards. */
    template <size_t N>
    std::string text (int32_t opcode, int32_t index = 0, IntPtr* result = nullptr) const
    {
        Guarded<N> buffer;
        const auto r = dispatch (opcode, index, 0, buffer.data);
        if (result != nullptr)
            *result = r;
        lastTextGuardsIntact = buffer.guardsIntact();
        return buffer.text();
    }
    mutable bool lastTextGuardsIntact = true;

    /** A copy of the chunk effGetChunk hands over (bank when index is 0). */
    std::vector<unsigned char> chunk (int32_t index = 0) const;
    IntPtr setChunk (const std::vector<unsigned char>& bytes, int32_t index = 0) const;
    std::vector<float> parameters() const;

    void close();

private:
    AEffect* plugin = nullptr;
};
} // namespace vsthost
