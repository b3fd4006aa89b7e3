// The instrument a front end holds: stored values and programs, posted to the engine.
#include "engine/Instrument.h"

#include "params/ParameterApplication.h"

#include <cstring>

namespace
{
float loadValue(const float& value)
{
    return std::atomic_ref<const float>(value).load(std::memory_order_relaxed);
}

void storeValue(float& value, float v)
{
    std::atomic_ref<float>(value).store(v, std::memory_order_relaxed);
}

void copyRecord(SynthProgram& destination, const SynthProgram& source)
{
    for (int32_t i = 0; i < kNumParams; i++)
        storeValue(destination.fParams[i], loadValue(source.fParams[i]));
    std::memmove(destination.name, source.name, sizeof destination.name);
}

bool validRange(int32_t first, int32_t count)
{
    return first >= 0 && count >= 0 && count <= kNumPrograms - first;
}
} // namespace

Instrument::Instrument()
{
    fEngine.setControllerListener(this);
    fBank.loadFactoryPresets();
    selectProgram(0);
    fEngine.suspend();
}

void Instrument::told(int32_t index)
{
    if (fListener != nullptr)
        fListener->parameterChanged(index);
}

void Instrument::store(int32_t index, float value)
{
    // The current program is the edit buffer: every change rewrites it.
    storeValue(fBank.program(currentProgram()).fParams[index], value);
    fValues[index].store(value, std::memory_order_relaxed);
}

void Instrument::setParameter(int32_t index, float value)
{
    if (index < 0 || index >= kNumParams)
        return;
    store(index, storedParameterValue(index, value));
    fEngine.postParameter(index, value);
    told(index);
}

float Instrument::getParameter(int32_t index) const
{
    if (index < 0 || index >= kNumParams)
        return 0.0f;
    return fValues[index].load(std::memory_order_relaxed);
}

void Instrument::currentValues(float values[kNumParams]) const
{
    for (int32_t i = 0; i < kNumParams; i++)
        values[i] = getParameter(i);
}

void Instrument::selectProgram(int32_t program)
{
    if (!ProgramBank::isProgram(program))
        return;
    fProgram.store(program);
    float values[kNumParams];
    const SynthProgram& record = fBank.program(program);
    for (int32_t index : kProgramApplyOrder)
    {
        values[index] = loadValue(record.fParams[index]);
        store(index, storedParameterValue(index, values[index]));
        told(index);
    }
    fEngine.postProgram(values);
}

bool Instrument::copyProgram(int32_t destination)
{
    if (!ProgramBank::isProgram(destination))
        return false;
    copyRecord(fBank.program(destination), fBank.program(currentProgram()));
    return true;
}

void Instrument::readRecords(int32_t first, int32_t count, SynthProgram* records) const
{
    if (records == nullptr || !validRange(first, count))
        return;
    for (int32_t p = 0; p < count; p++)
        copyRecord(records[p], fBank.program(first + p));
}

void Instrument::writeRecords(int32_t first, int32_t count, const SynthProgram* records)
{
    if (records == nullptr || !validRange(first, count))
        return;
    for (int32_t p = 0; p < count; p++)
        copyRecord(fBank.program(first + p), records[p]);
}

void Instrument::controllerMoved(int32_t index, float value)
{
    // On the audio thread, inside a MIDI event: the engine has applied the value already.
    store(index, value);
    told(index);
    if (fListener != nullptr)
        fListener->controllerMoved(index);
}
