// The cross-check session through the VST3 interface: what a host reads from
// the factory, the buses and the parameters, the saved states, and the audio
// of the VST2 session's two settings, rendered in the same blocks.
#include "CrossCheck.h"
#include "Vst3TestHost.h"

#include "pluginterfaces/vst/vstspeaker.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <sstream>

namespace crosscheck
{
using namespace vst3host;
namespace
{
using namespace Steinberg;

template <typename T>
std::string hexBits (T value)
{
    static_assert (sizeof (T) <= 8);
    std::uint64_t u = 0;
    std::memcpy (&u, &value, sizeof (T));
    char text[24];
    std::snprintf (text, sizeof (text), "%0*llx", static_cast<int> (2 * sizeof (T)), static_cast<unsigned long long> (u));
    return text;
}

// Class IDs in their logical byte order. Windows builds store the first three
// fields of a TUID little-endian (the layout of a COM GUID), other platforms
// as written; hosts save the logical ID in sessions, so it must not differ.
std::string classId (const TUID id)
{
#if COM_COMPATIBLE
    const int order[16] = { 3, 2, 1, 0, 5, 4, 7, 6, 8, 9, 10, 11, 12, 13, 14, 15 };
#else
    const int order[16] = { 0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15 };
#endif
    std::string text;
    for (int i : order)
        text += hexBits (static_cast<std::uint8_t> (id[i]));
    return text;
}

void factoryClasses (IPluginFactory& factory, std::ostream& out)
{
    for (int32 i = 0; i < factory.countClasses(); ++i)
    {
        PClassInfo info {};
        factory.getClassInfo (i, &info);
        out << "class " << i << " '" << info.category << "' '" << info.name << "' " << classId (info.cid) << '\n';
    }
}

void busesAndArrangements (const Vst3Instance& plugin, std::ostream& out)
{
    auto& component = *plugin.getComponent();
    auto& processor = *plugin.getProcessor();
    for (auto direction : { Vst::kInput, Vst::kOutput })
        for (int32 bus = 0; bus < component.getBusCount (Vst::kAudio, direction); ++bus)
        {
            Vst::BusInfo info {};
            component.getBusInfo (Vst::kAudio, direction, bus, info);
            out << "bus " << direction << ' ' << bus << " '" << asciiText (info.name, 128) << "' channels "
                << info.channelCount << " type " << info.busType << " flags " << info.flags << '\n';
        }
    out << "event buses " << component.getBusCount (Vst::kEvent, Vst::kInput) << ' '
        << component.getBusCount (Vst::kEvent, Vst::kOutput) << '\n';

    // What a host may offer; the plug-in takes mono and stereo only.
    const Vst::SpeakerArrangement offers[][2] = {
        { Vst::SpeakerArr::kMono, Vst::SpeakerArr::kMono },     { Vst::SpeakerArr::kStereo, Vst::SpeakerArr::kStereo },
        { Vst::SpeakerArr::kMono, Vst::SpeakerArr::kStereo },   { Vst::SpeakerArr::k51, Vst::SpeakerArr::k51 },
        { Vst::SpeakerArr::kStereo, Vst::SpeakerArr::kStereo },
    };
    for (const auto& offer : offers)
    {
        Vst::SpeakerArrangement offeredIn = offer[0], offeredOut = offer[1], nowIn = 0, nowOut = 0;
        const auto result = processor.setBusArrangements (&offeredIn, 1, &offeredOut, 1);
        processor.getBusArrangement (Vst::kInput, 0, nowIn);
        processor.getBusArrangement (Vst::kOutput, 0, nowOut);
        out << "arrangement " << hexBits (offeredIn) << '/' << hexBits (offeredOut) << " -> " << result << ", now "
            << hexBits (nowIn) << '/' << hexBits (nowOut) << '\n';
    }
    out << "latency " << processor.getLatencySamples() << " tail " << processor.getTailSamples() << " 32-bit "
        << processor.canProcessSampleSize (Vst::kSample32) << " 64-bit " << processor.canProcessSampleSize (Vst::kSample64)
        << '\n';
}

// Each parameter's description, then its value and display text over a grid
// of normalised values set through the controller; each returns to its value.
void parameters (const Vst3Instance& plugin, std::ostream& out)
{
    auto& controller = *plugin.getController();
    out << "parameters " << controller.getParameterCount() << '\n';
    for (int32 i = 0; i < controller.getParameterCount(); ++i)
    {
        Vst::ParameterInfo info {};
        controller.getParameterInfo (i, info);
        out << "param " << i << " id " << info.id << " title '" << asciiText (info.title, 128) << "' short '"
            << asciiText (info.shortTitle, 128) << "' units '" << asciiText (info.units, 128) << "' steps "
            << info.stepCount << " default " << hexBits (info.defaultNormalizedValue) << " unit " << info.unitId
            << " flags " << info.flags << '\n';
        const auto original = controller.getParamNormalized (info.id);
        for (int step = 0; step <= 40; ++step)
        {
            const double value = static_cast<double> (static_cast<float> (step) / 40.0f);
            controller.setParamNormalized (info.id, value);
            Vst::String128 text {};
            controller.getParamStringByValue (info.id, value, text);
            out << "  " << hexBits (value) << " -> " << hexBits (controller.getParamNormalized (info.id)) << " '"
                << asciiText (text, 128) << "'\n";
        }
        controller.setParamNormalized (info.id, original);
    }
}

void apply (const Vst3Instance& plugin, const Setting& setting)
{
    for (Vst::ParamID id = 0; id < 8; ++id)
        plugin.getController()->setParamNormalized (id, static_cast<double> (setting.values[id]));
}

/** The processed audio, interleaved; empty if a process call failed. */
std::vector<float> render (const Vst3Instance& plugin, long long length)
{
    auto& component = *plugin.getComponent();
    auto& processor = *plugin.getProcessor();
    Vst::SpeakerArrangement stereo = Vst::SpeakerArr::kStereo;
    processor.setBusArrangements (&stereo, 1, &stereo, 1);
    Vst::ProcessSetup setup { Vst::kRealtime, Vst::kSample32, 512, 44100.0 };
    processor.setupProcessing (setup);
    component.activateBus (Vst::kAudio, Vst::kInput, 0, true);
    component.activateBus (Vst::kAudio, Vst::kOutput, 0, true);
    component.setActive (true);
    processor.setProcessing (true);

    std::vector<float> in[2], outs[2], interleaved;
    interleaved.reserve (static_cast<size_t> (length) * 2);
    long long position = 0;
    int failures = 0;
    for (int block = 0; position < length; ++block)
    {
        const auto frames = static_cast<int32> (std::min<long long> (sessionBlockSizes[block % 5], length - position));
        Vst::Sample32* inPointers[2];
        Vst::Sample32* outPointers[2];
        for (int c = 0; c < 2; ++c)
        {
            in[c].resize (static_cast<size_t> (frames));
            outs[c].assign (static_cast<size_t> (frames), 0.0f);
            for (int32 i = 0; i < frames; ++i)
                in[c][static_cast<size_t> (i)] = testSignal (c, position + i);
            inPointers[c] = in[c].data();
            outPointers[c] = outs[c].data();
        }
        Vst::AudioBusBuffers inBus, outBus;
        inBus.numChannels = outBus.numChannels = 2;
        inBus.channelBuffers32 = inPointers;
        outBus.channelBuffers32 = outPointers;
        Vst::ProcessData data;
        data.processMode = Vst::kRealtime;
        data.symbolicSampleSize = Vst::kSample32;
        data.numSamples = frames;
        data.numInputs = data.numOutputs = 1;
        data.inputs = &inBus;
        data.outputs = &outBus;
        failures += processor.process (data) != kResultOk ? 1 : 0;
        for (int32 i = 0; i < frames; ++i)
            for (int c = 0; c < 2; ++c)
                interleaved.push_back (outs[c][static_cast<size_t> (i)]);
        position += frames;
    }
    processor.setProcessing (false);
    component.setActive (false);
    if (failures > 0)
        interleaved.clear();
    return interleaved;
}
} // namespace

bool writeVst3Dump (const std::string& binaryPath, const std::string& dir)
{
    const Vst3Module module (binaryPath);
    if (module.factory() == nullptr)
    {
        std::fprintf (stderr, "%s\n", module.error().c_str());
        return false;
    }
    std::ostringstream texts;
    factoryClasses (*module.factory(), texts);
    {
        const Vst3Instance plugin (module);
        if (! plugin.isValid())
            return false;
        busesAndArrangements (plugin, texts);
        parameters (plugin, texts);
        const auto defaults = plugin.getState();
        apply (plugin, sessionSettings[1]);
        const auto state = plugin.getState();
        if (! writeBinary (dir + "/state-default.bin", defaults.data(), defaults.size())
            || ! writeBinary (dir + "/state.bin", state.data(), state.size()))
            return false;

        const Vst3Instance restored (module);
        if (! restored.isValid() || ! restored.setState (state))
            return false;
        texts << "restored";
        for (Vst::ParamID id = 0; id < 8; ++id)
            texts << ' ' << hexBits (restored.getController()->getParamNormalized (id));
        texts << '\n';
        const auto again = restored.getState();
        if (! writeBinary (dir + "/state-restored.bin", again.data(), again.size()))
            return false;
    }

    for (const auto& setting : sessionSettings)
    {
        const Vst3Instance plugin (module);
        if (! plugin.isValid())
            return false;
        apply (plugin, setting);
        const auto audio = render (plugin, 3 * 44100);
        if (audio.empty() || ! writeBinary (dir + "/audio-" + setting.name + ".f32", audio.data(), audio.size() * sizeof (float)))
            return false;
    }
    const auto text = texts.str();
    return writeBinary (dir + "/texts-vst3.txt", text.data(), text.size());
}
} // namespace crosscheck
