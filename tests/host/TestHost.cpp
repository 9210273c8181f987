#include "TestHost.h"

#include "DynamicLibrary.h"

#include <gtest/gtest.h>

namespace vsthost
{
RecordingHost& RecordingHost::instance()
{
    static RecordingHost host;
    return host;
}

void RecordingHost::setVersionAnswer (IntPtr v)
{
    const std::lock_guard<std::mutex> guard (lock);
    versionAnswer = v;
}

void RecordingHost::clear()
{
    const std::lock_guard<std::mutex> guard (lock);
    recorded.clear();
}

std::vector<HostCall> RecordingHost::calls() const
{
    const std::lock_guard<std::mutex> guard (lock);
    return recorded;
}

std::vector<HostCall> RecordingHost::callsWith (int32_t opcode) const
{
    std::vector<HostCall> result;
    for (auto& c : calls())
        if (c.opcode == opcode)
            result.push_back (c);
    return result;
}

IntPtr RecordingHost::onCall (AEffect* effect, int32_t opcode, int32_t index, IntPtr value, void* ptr, float opt)
{
    auto& host = instance();
    const std::lock_guard<std::mutex> guard (host.lock);

    HostCall call { effect, opcode, index, value, opt, {} };
    if (opcode == audioMasterCanDo && ptr != nullptr)
        call.text = static_cast<const char*> (ptr);
    host.recorded.push_back (call);

    switch (opcode)
    {
        case audioMasterVersion: return host.versionAnswer;
        case audioMasterGetSampleRate: return 44100;
        case audioMasterSizeWindow: return 1;
        default: return 0;
    }
}

EntryPoint pluginEntryPoint (const char* name)
{
    // Loaded once and kept for the whole process, as hosts keep plug-in libraries.
    static DynamicLibrary library (VRC_PLUGIN_PATH);
    if (! library.isLoaded())
    {
        ADD_FAILURE() << "cannot load " << VRC_PLUGIN_PATH << ": " << library.getError();
        return nullptr;
    }
    return reinterpret_cast<EntryPoint> (library.findSymbol (name));
}

PluginInstance::PluginInstance (const char* entryName)
{
    if (auto entry = pluginEntryPoint (entryName))
        plugin = entry (RecordingHost::instance().callback());
}

PluginInstance::~PluginInstance()
{
    close();
}

void PluginInstance::close()
{
    if (plugin != nullptr)
        plugin->dispatcher (plugin, effClose, 0, 0, nullptr, 0.0f);
    plugin = nullptr;
}

IntPtr PluginInstance::dispatch (int32_t opcode, int32_t index, IntPtr value, void* ptr, float opt) const
{
    return plugin->dispatcher (plugin, opcode, index, value, ptr, opt);
}

void PluginInstance::resume (float sampleRate, int32_t blockSize) const
{
    dispatch (effSetSampleRate, 0, 0, nullptr, sampleRate);
    dispatch (effSetBlockSize, 0, blockSize);
    dispatch (effMainsChanged, 0, 1);
}

std::vector<unsigned char> PluginInstance::chunk (int32_t index) const
{
    void* data = nullptr;
    const auto size = dispatch (effGetChunk, index, 0, &data);
    if (data == nullptr || size <= 0)
        return {};
    const auto* bytes = static_cast<const unsigned char*> (data);
    return { bytes, bytes + size };
}

std::vector<unsigned char> settingsChunk (const std::string& text)
{
    std::vector<unsigned char> chunk { 0x56, 0x43, 0x32, 0x21 };
    for (int shift = 0; shift < 32; shift += 8)
        chunk.push_back (static_cast<unsigned char> (text.size() >> shift));
    chunk.insert (chunk.end(), text.begin(), text.end());
    chunk.insert (chunk.end(), { 0, 0 });
    return chunk;
}

IntPtr PluginInstance::setChunk (const std::vector<unsigned char>& bytes, int32_t index) const
{
    // The plug-in reads the bytes during the call only; hand it a private copy
    // so an overread shows up under AddressSanitizer.
    std::vector<unsigned char> copy (bytes);
    return dispatch (effSetChunk, index, static_cast<IntPtr> (copy.size()), copy.data());
}

std::vector<float> PluginInstance::parameters() const
{
    std::vector<float> values;
    for (int32_t i = 0; i < plugin->numParams; ++i)
        values.push_back (getParameter (i));
    return values;
}
} // namespace vsthost
