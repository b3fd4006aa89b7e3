// The synthesizer's host-facing side: construction, identity, capabilities, programs, texts and the
// forwarding of parameters, MIDI and blocks to the engine.
#include "SynthPlugin.h"

#include "params/ParameterText.h"

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

SynthPlugin::SynthPlugin(audioMasterCallback audioMaster) : AudioEffectX(audioMaster, kNumPrograms, kNumParams)
{
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

    fInstrument.setListener(this);
}

SynthPlugin::~SynthPlugin() = default;

intptr_t SynthPlugin::dispatcher(int32_t opcode, int32_t index, intptr_t value, void* ptr, float opt)
{
    const intptr_t reply = AudioEffectX::dispatcher(opcode, index, value, ptr, opt);
    // This opcode stores the rate without setSampleRate: only note starts take it.
    if (opcode == effSetBlockSizeAndSampleRate)
        engine().setNoteSampleRate(sampleRate);
    return reply;
}

void SynthPlugin::setParameter(int32_t index, float value)
{
    fInstrument.setParameter(index, value);
}

float SynthPlugin::getParameter(int32_t index)
{
    return fInstrument.getParameter(index);
}

void SynthPlugin::controllerMoved(int32_t /*index*/)
{
    updateDisplay();
}

void SynthPlugin::process(float** inputs, float** outputs, int32_t sampleFrames)
{
    engine().renderBlock(inputs, outputs, sampleFrames, false);
}

void SynthPlugin::processReplacing(float** inputs, float** outputs, int32_t sampleFrames)
{
    engine().renderBlock(inputs, outputs, sampleFrames, true);
}

int32_t SynthPlugin::processEvents(VstEvents* events)
{
    if (events == nullptr)
        return 1;
    // The host allocates numEvents entries behind the two the record declares.
    VstEvent* const* list = events->events;
    for (int32_t i = 0; i < events->numEvents; i++)
    {
        const VstEvent* event = list[i];
        if (event == nullptr || event->type != kVstMidiType)
            continue;
        const auto& midi = *reinterpret_cast<const VstMidiEvent*>(event);
        engine().midiEvent(midi.deltaFrames, static_cast<uint8_t>(midi.midiData[0]), static_cast<uint8_t>(midi.midiData[1]),
                          static_cast<uint8_t>(midi.midiData[2]), static_cast<signed char>(midi.detune));
    }
    return 1;
}

void SynthPlugin::setSampleRate(float newRate)
{
    AudioEffectX::setSampleRate(newRate);
    engine().setSampleRate(newRate);
}

void SynthPlugin::setBlockSize(int32_t newSize)
{
    AudioEffectX::setBlockSize(newSize);
}

void SynthPlugin::suspend()
{
    engine().suspend();
}

void SynthPlugin::resume()
{
    wantEvents(1);
}

void SynthPlugin::setProgram(int32_t program)
{
    if (!ProgramBank::isProgram(program))
        return;
    curProgram = program;
    fInstrument.selectProgram(program);
}

void SynthPlugin::setProgramName(char* name)
{
    fInstrument.setProgramName(name);
}

void SynthPlugin::getProgramName(char* name)
{
    fInstrument.getProgramName(fInstrument.currentProgram(), name);
}

bool SynthPlugin::getProgramNameIndexed(int32_t /*category*/, int32_t index, char* text)
{
    if (text == nullptr || !ProgramBank::isProgram(index))
        return false;
    fInstrument.getProgramName(index, text);
    return true;
}

bool SynthPlugin::copyProgram(int32_t destination)
{
    return fInstrument.copyProgram(destination);
}

int32_t SynthPlugin::getChunk(void** data, bool isPreset)
{
    if (data == nullptr)
        return 0;
    // The host reads a copy made now: the records themselves may change under it (a MIDI controller on
    // the audio thread). The copy stays until the next request.
    if (isPreset)
        fInstrument.readRecords(fInstrument.currentProgram(), 1, fChunk);
    else
        fInstrument.readRecords(0, kNumPrograms, fChunk);
    *data = fChunk;
    return isPreset ? kPresetChunkSize : kBankChunkSize;
}

int32_t SynthPlugin::setChunk(void* data, int32_t byteSize, bool isPreset)
{
    if (data == nullptr)
        return 0;
    // Copied out first: a host may hand back the very bytes getChunk lent it. Nothing is applied until the
    // next program selection.
    if (byteSize != (isPreset ? kPresetChunkSize : kBankChunkSize))
        return 0;
    SynthProgram incoming[kNumPrograms];
    std::memcpy(incoming, data, static_cast<size_t>(byteSize));
    if (isPreset)
        fInstrument.writeRecords(fInstrument.currentProgram(), 1, incoming);
    else
        fInstrument.writeRecords(0, kNumPrograms, incoming);
    return 1;
}

void SynthPlugin::getParameterName(int32_t index, char* text)
{
    float values[kNumParams];
    fInstrument.currentValues(values);
    parameterName(index, values, text);
}

void SynthPlugin::getParameterLabel(int32_t index, char* label)
{
    parameterLabel(index, label);
}

void SynthPlugin::getParameterDisplay(int32_t index, char* text)
{
    float values[kNumParams];
    fInstrument.currentValues(values);
    parameterDisplay(index, values, text);
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
