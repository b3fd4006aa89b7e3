// The synthesizer's host-facing side: construction, identity, capabilities and processing entry points.
#include "SynthPlugin.h"

#include "engine/SynthVoice.h"

#include <cstdio>
#include <cstring>

namespace
{
constexpr const char* kEffectName = "Zentharode";
constexpr const char* kVendorName = "Zentharode Instruments";
constexpr const char* kProductName = "Zentharode Plucked String Synthesizer";
constexpr int32_t kNumOutputPins = 2;

// Effect and vendor names go into host buffers of at least 32 and 64 bytes.
constexpr size_t kEffectNameSize = 32;
constexpr size_t kVendorTextSize = 64;

void copyText(char* destination, const char* source, size_t size)
{
    std::snprintf(destination, size, "%s", source);
}
} // namespace

SynthPlugin::SynthPlugin(audioMasterCallback audioMaster)
    : AudioEffectX(audioMaster, kNumPrograms, kNumParams), programs(static_cast<size_t>(kNumPrograms))
{
    for (SynthProgram& program : programs)
        initProgram(program);

    if (audioMaster != nullptr)
    {
        setNumInputs(2);
        setNumOutputs(2);
        canProcessReplacing(true);
        hasVu(false);
        hasClip(false);
        isSynth(true);
        setUniqueID(kUniqueId);
    }

    initEngine();
    loadFactoryPresets();
    if (!programs.empty())
        setProgram(0);
    suspend();
}

SynthPlugin::~SynthPlugin() = default;

void SynthPlugin::process(float** inputs, float** outputs, int32_t sampleFrames)
{
    renderBlock(inputs, outputs, sampleFrames, false);
}

void SynthPlugin::processReplacing(float** inputs, float** outputs, int32_t sampleFrames)
{
    renderBlock(inputs, outputs, sampleFrames, true);
}

void SynthPlugin::setSampleRate(float newRate)
{
    // The voices' envelopes and LFOs follow the host's rate; their loop delays take it at every note start.
    AudioEffectX::setSampleRate(newRate);
    for (std::unique_ptr<SynthVoice>& voice : fVoices)
        if (voice != nullptr)
            voice->setSampleRate(newRate);
}

void SynthPlugin::setBlockSize(int32_t newSize)
{
    AudioEffectX::setBlockSize(newSize);
}

void SynthPlugin::resume()
{
    wantEvents(1);
}

bool SynthPlugin::getOutputProperties(int32_t index, VstPinProperties* properties)
{
    if (properties == nullptr || index < 0 || index >= kNumOutputPins)
        return false;
    std::snprintf(properties->label, sizeof properties->label, "Zentharode %1d", static_cast<int>(index + 1));
    properties->flags = kVstPinIsActive | kVstPinIsStereo;
    return true;
}

bool SynthPlugin::getEffectName(char* name)
{
    if (name == nullptr)
        return false;
    copyText(name, kEffectName, kEffectNameSize);
    return true;
}

bool SynthPlugin::getVendorString(char* text)
{
    if (text == nullptr)
        return false;
    copyText(text, kVendorName, kVendorTextSize);
    return true;
}

bool SynthPlugin::getProductString(char* text)
{
    if (text == nullptr)
        return false;
    copyText(text, kProductName, kVendorTextSize);
    return true;
}

int32_t SynthPlugin::getVendorVersion()
{
    return kVendorVersion;
}

int32_t SynthPlugin::canDo(char* text)
{
    if (text == nullptr)
        return -1;
    if (std::strcmp(text, "receiveVstEvents") == 0 || std::strcmp(text, "receiveVstMidiEvent") == 0)
        return 1;
    return -1;
}
