// The standalone program's synthesizer: start-up as the VST 2.x build starts, changes posted from the main
// thread, MIDI and blocks on the audio thread.
#include "jack/StandaloneSynth.h"

#include "editor/SynthEditor.h"
#include "params/ParameterApplication.h"
#include "params/ParameterText.h"

#include <cstring>

namespace
{
constexpr uint8_t kStatusProgramChange = 0xC0;

// The records' values are written by the audio thread (a MIDI controller) and the main thread: every access
// to them is atomic. Names are touched by the main thread only.
float loadValue(const float& value)
{
    return std::atomic_ref<const float>(value).load(std::memory_order_relaxed);
}

void storeValue(float& value, float v)
{
    std::atomic_ref<float>(value).store(v, std::memory_order_relaxed);
}
} // namespace

StandaloneSynth::StandaloneSynth()
{
    fEngine.setControllerListener(this);
    fBank.loadFactoryPresets();
    selectProgram(0);
    fEngine.suspend();
}

void StandaloneSynth::store(int32_t index, float value)
{
    // The current program is the edit buffer: every change rewrites it.
    storeValue(currentRecord().fParams[index], value);
    fValues[index].store(value, std::memory_order_relaxed);
}

void StandaloneSynth::tellEditor(int32_t index)
{
    if (fEditor != nullptr)
        fEditor->setParameter(index, getParameter(index));
}

void StandaloneSynth::setParameter(int32_t index, float value)
{
    if (index < 0 || index >= kNumParams)
        return;
    store(index, storedParameterValue(index, value));
    fEngine.postParameter(index, value);
    tellEditor(index);
}

float StandaloneSynth::getParameter(int32_t index) const
{
    if (index < 0 || index >= kNumParams)
        return 0.0f;
    return fValues[index].load(std::memory_order_relaxed);
}

void StandaloneSynth::selectProgram(int32_t program)
{
    if (!ProgramBank::isProgram(program))
        return;
    fProgram.store(program);
    // Value by value in the fixed order: each rewrites the record and reaches the editor; the engine takes
    // all of them together at its next block.
    float values[kNumParams];
    SynthProgram& record = currentRecord();
    for (int32_t index : kProgramApplyOrder)
    {
        values[index] = loadValue(record.fParams[index]);
        store(index, storedParameterValue(index, values[index]));
        tellEditor(index);
    }
    fEngine.postProgram(values);
}

void StandaloneSynth::programName(int32_t program, char* name) const
{
    fBank.getName(program, name);
}

void StandaloneSynth::copyBank(SynthProgram* records) const
{
    for (int32_t p = 0; p < kNumPrograms; p++)
    {
        const SynthProgram& record = fBank.program(p);
        for (int32_t i = 0; i < kNumParams; i++)
            records[p].fParams[i] = loadValue(record.fParams[i]);
        std::memcpy(records[p].name, record.name, sizeof record.name);
    }
}

void StandaloneSynth::replaceBank(const SynthProgram* records)
{
    for (int32_t p = 0; p < kNumPrograms; p++)
    {
        SynthProgram& record = fBank.program(p);
        for (int32_t i = 0; i < kNumParams; i++)
            storeValue(record.fParams[i], records[p].fParams[i]);
        std::memcpy(record.name, records[p].name, sizeof record.name);
    }
}

void StandaloneSynth::midiEvent(int32_t frame, const uint8_t* bytes, size_t size)
{
    if (bytes == nullptr || size == 0)
        return;
    const uint8_t status = bytes[0];
    const uint8_t data1 = size > 1 ? bytes[1] : 0;
    const uint8_t data2 = size > 2 ? bytes[2] : 0;
    // The engine has no programs; the program change is the main thread's to make.
    if ((status & 0xF0) == kStatusProgramChange && size > 1 && ProgramBank::isProgram(data1))
        fRequestedProgram.store(data1);
    fEngine.midiEvent(frame, status, data1, data2);
}

void StandaloneSynth::render(const float* const* inputs, float* const* outputs, int32_t frames)
{
    fEngine.renderBlock(inputs, outputs, frames, true);
}

void StandaloneSynth::controllerMoved(int32_t index, float value)
{
    // On the audio thread, inside midiEvent: the engine has applied the value already.
    store(index, value);
    tellEditor(index);
}

void StandaloneSynth::parameterText(int32_t index, char* text)
{
    float values[kNumParams];
    for (int32_t i = 0; i < kNumParams; i++)
        values[i] = getParameter(i);
    parameterDisplay(index, values, text);
}

void StandaloneSynth::changeParameter(int32_t index, float value)
{
    setParameter(index, value);
}

void StandaloneSynth::endGesture(int32_t /*index*/) {}
