// The synthesizer as the standalone program holds it: engine, program bank and current values, the editor's
// controller, and MIDI and blocks from the audio thread. Knows nothing of JACK or X11.
#pragma once

#include "editor/EditorController.h"
#include "engine/Instrument.h"
#include "params/Parameters.h"
#include "params/ProgramBank.h"

#include <atomic>
#include <cstddef>
#include <cstdint>

class SynthEditor;

// Threads: the main thread (the editor, program changes, the bank file) stores at once and posts to the
// engine, which takes the changes at its next block; the audio thread (midiEvent, render) neither locks nor
// allocates. A MIDI program change is handed from the audio thread to the main thread, which makes it.
class StandaloneSynth : public EditorController, private InstrumentListener
{
public:
    // Program 0 applied and every voice silent, as the VST 2.x build starts.
    StandaloneSynth();
    ~StandaloneSynth() override = default;
    StandaloneSynth(const StandaloneSynth&) = delete;
    StandaloneSynth& operator=(const StandaloneSynth&) = delete;

    // Before the audio thread runs.
    void setSampleRate(float rate) { fInstrument.engine().setSampleRate(rate); }
    // The editor told of every change, or null; set while the audio thread does not run.
    void setEditor(SynthEditor* editor) { fEditor = editor; }

    // Main thread.
    void setParameter(int32_t index, float value) { fInstrument.setParameter(index, value); }
    float getParameter(int32_t index) const { return fInstrument.getParameter(index); }
    // Makes program 0..31 current and applies it; the engine takes its values together.
    void selectProgram(int32_t program) { fInstrument.selectProgram(program); }
    int32_t currentProgram() const { return fInstrument.currentProgram(); }
    // At most 23 characters and a terminator.
    void programName(int32_t program, char* name) const { fInstrument.getProgramName(program, name); }
    // The bank as records, and the whole bank replaced (nothing applied: select a program after).
    void copyBank(SynthProgram* records) const { fInstrument.readRecords(0, kNumPrograms, records); }
    void replaceBank(const SynthProgram* records) { fInstrument.writeRecords(0, kNumPrograms, records); }
    // A program number a MIDI program change asked for since the last call, or -1.
    int32_t takeRequestedProgram() { return fRequestedProgram.exchange(-1); }

    // Audio thread: one MIDI message at its frame in the next block, then the block.
    void midiEvent(int32_t frame, const uint8_t* bytes, size_t size);
    void render(const float* const* inputs, float* const* outputs, int32_t frames);

    // EditorController
    float parameterValue(int32_t index) override { return getParameter(index); }
    void parameterText(int32_t index, char* text) override;
    void changeParameter(int32_t index, float value) override;
    void beginGesture(int32_t) override {}
    void endGesture(int32_t) override {}
    void idleHost() override {}

private:
    // Every stored change, also a MIDI controller's on the audio thread, reaches the editor.
    void parameterChanged(int32_t index) override;

    Instrument fInstrument;
    std::atomic<int32_t> fRequestedProgram{-1};
    SynthEditor* fEditor = nullptr;
};
