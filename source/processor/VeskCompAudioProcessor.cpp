#include "VeskCompAudioProcessor.h"

#include "ParameterText.h"

namespace
{
using vrc::ParameterId;

vrc::ParameterMapper mapperFor (ParameterId id) noexcept
{
    const auto& info = vrc::parameterTable[static_cast<size_t> (id)];
    return { info.minimum, info.maximum };
}

constexpr int meterPeriodMs = 41;

bool isMonoOrStereo (const juce::AudioChannelSet& set)
{
    return set == juce::AudioChannelSet::mono() || set == juce::AudioChannelSet::stereo();
}
} // namespace

// The key bus is inactive by default: hosts show it as an optional input, and
// an instance nobody routes a key to behaves exactly as one without the bus.
juce::AudioProcessor::BusesProperties VeskCompAudioProcessor::busesFor (Buses buses)
{
    auto properties = BusesProperties()
                          .withInput ("Input", juce::AudioChannelSet::stereo(), true)
                          .withOutput ("Output", juce::AudioChannelSet::stereo(), true);
    if (buses == Buses::mainAndKey)
        properties = properties.withInput ("Sidechain", juce::AudioChannelSet::stereo(), false);
    return properties;
}

VeskCompAudioProcessor::VeskCompAudioProcessor (Buses buses)
    : AudioProcessor (busesFor (buses))
{
    // The core records the defaults; the engine receives them at the first
    // prepareToPlay or restore.
    startTimer (meterPeriodMs);
}

VeskCompAudioProcessor::~VeskCompAudioProcessor()
{
    stopTimer();
}

const juce::String VeskCompAudioProcessor::getName() const
{
    return "VR-C";
}

void VeskCompAudioProcessor::prepareToPlay (double sampleRate, int)
{
    core.prepare (sampleRate);
}

void VeskCompAudioProcessor::releaseResources()
{
}

void VeskCompAudioProcessor::setSampleRateWhileRunning (double sampleRate) noexcept
{
    core.setSampleRateWhileRunning (sampleRate);
}

void VeskCompAudioProcessor::processBlock (juce::AudioBuffer<float>& buffer, juce::MidiBuffer&)
{
    processWithGains (buffer, nullptr);
}

void VeskCompAudioProcessor::processWithGains (juce::AudioBuffer<float>& buffer, float* gainPerFrame) noexcept
{
    // An enabled key bus brings its channels after the main input's: the engine
    // processes the main channels and hears the key's. (A host that hands fewer
    // channels than the layout has gets the channels it gave, without a key.)
    const int mainChannels = getMainBusNumInputChannels();
    const int keyChannels = getBusCount (true) > 1 ? getChannelCountOfBus (true, 1) : 0;
    if (keyChannels > 0 && buffer.getNumChannels() >= mainChannels + keyChannels)
        processChannels (buffer, mainChannels, gainPerFrame, { buffer.getArrayOfReadPointers() + mainChannels, keyChannels });
    else
        processChannels (buffer, buffer.getNumChannels(), gainPerFrame, {});
}

void VeskCompAudioProcessor::processWithKey (juce::AudioBuffer<float>& buffer, const float* const* key, int keyChannels) noexcept
{
    processChannels (buffer, buffer.getNumChannels(), nullptr, { key, key != nullptr ? keyChannels : 0 });
}

void VeskCompAudioProcessor::processChannels (juce::AudioBuffer<float>& buffer, int numChannels, float* gainPerFrame,
                                              vrc::CompressorEngine::Key key) noexcept
{
    listeningToKey.store (key.numChannels > 0, std::memory_order_relaxed);
    core.process (buffer.getArrayOfWritePointers(), numChannels, buffer.getNumSamples(), gainPerFrame, key);

    // Outputs without a matching input would otherwise carry whatever the host left in them.
    for (int ch = getTotalNumInputChannels(); ch < getTotalNumOutputChannels() && ch < buffer.getNumChannels(); ++ch)
        buffer.clear (ch, 0, buffer.getNumSamples());
}

bool VeskCompAudioProcessor::isBusesLayoutSupported (const BusesLayout& layouts) const
{
    const auto in = layouts.getMainInputChannelSet();
    const auto out = layouts.getMainOutputChannelSet();
    if (in != out || ! isMonoOrStereo (out))
        return false;
    // The key, where there is one: off, mono or stereo.
    for (int bus = 1; bus < layouts.inputBuses.size(); ++bus)
        if (const auto key = layouts.inputBuses[bus]; ! key.isDisabled() && ! isMonoOrStereo (key))
            return false;
    return true;
}

void VeskCompAudioProcessor::processorLayoutsChanged()
{
    // Tells the editor at once, before the next block confirms it.
    listeningToKey.store (getBusCount (true) > 1 && getChannelCountOfBus (true, 1) > 0, std::memory_order_relaxed);
}

const juce::String VeskCompAudioProcessor::getInputChannelName (int channelIndex) const
{
    return juce::String (channelIndex + 1);
}

const juce::String VeskCompAudioProcessor::getOutputChannelName (int channelIndex) const
{
    return getInputChannelName (channelIndex);
}

bool VeskCompAudioProcessor::isInputChannelStereoPair (int) const { return false; }
bool VeskCompAudioProcessor::isOutputChannelStereoPair (int) const { return false; }
bool VeskCompAudioProcessor::acceptsMidi() const { return false; }
bool VeskCompAudioProcessor::producesMidi() const { return false; }
double VeskCompAudioProcessor::getTailLengthSeconds() const { return 0.0; }

bool VeskCompAudioProcessor::hasEditor() const
{
    return true;
}

int VeskCompAudioProcessor::getNumParameters()
{
    return vrc::numParameters;
}

float VeskCompAudioProcessor::getParameter (int index)
{
    // A host that ignores the announced count gets 0 rather than a crash.
    const auto* p = parameterFor (index);
    return p != nullptr ? p->getNormalised() : 0.0f;
}

void VeskCompAudioProcessor::setParameter (int index, float value)
{
    core.setNormalised (index, value);
}

const juce::String VeskCompAudioProcessor::getParameterName (int index)
{
    return vrc::isValidParameterIndex (index) ? juce::String (vrc::parameterTable[(size_t) index].name) : juce::String();
}

namespace
{
juce::String textOf (ParameterId id, float physical)
{
    return juce::String (vrc::parameterText (id, physical));
}
} // namespace

const juce::String VeskCompAudioProcessor::getParameterText (int index)
{
    const auto* p = parameterFor (index);
    return p != nullptr ? textOf (static_cast<ParameterId> (index), p->getValue()) : juce::String();
}

juce::String VeskCompAudioProcessor::getParameterTextForValue (int index, float normalised) const
{
    if (! vrc::isValidParameterIndex (index))
        return {};
    // The same mapping a host write goes through, on a scratch copy.
    auto scratch = mapperFor (static_cast<ParameterId> (index));
    scratch.setNormalised (normalised);
    return textOf (static_cast<ParameterId> (index), scratch.getValue());
}

juce::String VeskCompAudioProcessor::getParameterID (int index)
{
    return vrc::isValidParameterIndex (index) ? juce::String (vrc::parameterTable[(size_t) index].symbol) : juce::String (index);
}

float VeskCompAudioProcessor::getParameterDefaultValue (int index)
{
    if (! vrc::isValidParameterIndex (index))
        return 0.0f;
    const auto& p = vrc::parameterTable[(size_t) index];
    // (+ 0: a default at the range's start is +0, never -0)
    return (p.defaultValue - p.minimum) / (p.maximum - p.minimum) + 0.0f;
}

int VeskCompAudioProcessor::getNumPrograms() { return 0; }
int VeskCompAudioProcessor::getCurrentProgram() { return 0; }
void VeskCompAudioProcessor::setCurrentProgram (int) {}
const juce::String VeskCompAudioProcessor::getProgramName (int) { return {}; }
void VeskCompAudioProcessor::changeProgramName (int, const juce::String&) {}

void VeskCompAudioProcessor::getStateInformation (juce::MemoryBlock& destData)
{
    const auto chunk = core.saveChunk();
    destData.replaceAll (chunk.data(), chunk.size());
}

void VeskCompAudioProcessor::setStateInformation (const void* data, int sizeInBytes)
{
    // No host is notified (each format's layer reads the values back itself):
    // the editor shows the restored values at its next tick.
    core.restoreChunk (data, sizeInBytes);
}

void VeskCompAudioProcessor::timerCallback()
{
    refreshMeterReadings();
}
