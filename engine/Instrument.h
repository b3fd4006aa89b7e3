// The instrument a front end holds, whatever its format: the engine, the 32 programs with the current one as
// edit buffer, and the values as last set. Parameters and programs may be set from any thread.
#pragma once

#include "engine/SynthEngine.h"
#include "params/Parameters.h"
#include "params/ProgramBank.h"

#include <atomic>
#include <cstdint>

// What a front end is told of.
class InstrumentListener
{
public:
    virtual ~InstrumentListener() = default;
    // A value was stored, whatever its source: a front end's own call, a program, a MIDI controller.
    virtual void parameterChanged(int32_t index) = 0;
    // After parameterChanged, when the change came from a MIDI controller (on the audio thread).
    virtual void controllerMoved(int32_t /*index*/) {}
};

// Threads: setParameter, selectProgram and the record operations may run on any thread, also while the
// audio thread renders: they store at once (getParameter and the current record answer the new value) and
// post the change to the engine, which takes it at the start of its next block, all of a program
// together. The engine's own calls (MIDI, blocks) belong to the audio thread. The records' values are
// written by the audio thread too (a MIDI controller), so every access to them here is atomic; their names
// belong to the threads that are not the audio thread.
class Instrument : private ControllerListener
{
public:
    // The factory programs in 0..7, program 0 applied, every voice silent.
    Instrument();
    Instrument(const Instrument&) = delete;
    Instrument& operator=(const Instrument&) = delete;

    // Set before the audio thread runs.
    void setListener(InstrumentListener* listener) { fListener = listener; }

    SynthEngine& engine() { return fEngine; }
    const ProgramBank& bank() const { return fBank; }

    // Stores the value (the body types quantised) in the current record and as the value getParameter
    // answers, and posts it to the engine. Indices outside 0..37 change nothing.
    void setParameter(int32_t index, float value);
    // 0 for an index outside 0..37.
    float getParameter(int32_t index) const;
    // The 38 values getParameter answers, for the texts that depend on them.
    void currentValues(float values[kNumParams]) const;

    // Makes program 0..31 current and applies its values, value by value in the fixed order (each one
    // stored and told), the engine taking all of them together. Other numbers are ignored.
    void selectProgram(int32_t program);
    int32_t currentProgram() const { return fProgram.load(); }

    // Names of the current program and of any program (cut to 23 characters).
    void setProgramName(const char* name) { fBank.setName(currentProgram(), name); }
    void getProgramName(int32_t program, char* name) const { fBank.getName(program, name); }
    // The current record copied over program destination (0..31); nothing is applied.
    bool copyProgram(int32_t destination);

    // Records first .. first + count - 1 copied out and in, value by value; nothing is applied.
    void readRecords(int32_t first, int32_t count, SynthProgram* records) const;
    void writeRecords(int32_t first, int32_t count, const SynthProgram* records);

private:
    void controllerMoved(int32_t index, float value) override;
    void store(int32_t index, float value);
    void told(int32_t index);

    ProgramBank fBank;
    SynthEngine fEngine;
    std::atomic<int32_t> fProgram{0};
    std::atomic<float> fValues[kNumParams]{};
    InstrumentListener* fListener = nullptr;
};
