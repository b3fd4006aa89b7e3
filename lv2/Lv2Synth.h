// The synthesizer as an LV2 plug-in instance: control ports into the engine, MIDI at its frame, the program
// bank in the plug-in's state, and controller moves told to the UI through the notify port.
#pragma once

#include "engine/SynthEngine.h"
#include "params/Parameters.h"
#include "params/ProgramBank.h"

#include <lv2/atom/atom.h>
#include <lv2/atom/forge.h>
#include <lv2/core/lv2.h>
#include <lv2/state/state.h>
#include <lv2/urid/urid.h>

#include <atomic>
#include <cstdint>

// Threads: instantiate, activate, restore and the destructor in the host's instantiation class; run on the
// audio thread (it neither locks nor allocates); save on any thread, also while run works: the records it
// reads are written only by run, bracketed by a sequence count so that save copies one instant.
class Lv2Synth : private ControllerListener
{
public:
    // Null when the host gives no URID map (the MIDI and state types need it).
    static Lv2Synth* create(double sampleRate, const LV2_Feature* const* features);

    Lv2Synth(double sampleRate, LV2_URID_Map* map);
    ~Lv2Synth() override = default;
    Lv2Synth(const Lv2Synth&) = delete;
    Lv2Synth& operator=(const Lv2Synth&) = delete;

    void connectPort(uint32_t port, void* data);
    // Every voice silent, as after the VST 2.x build's suspend.
    void activate();
    void run(uint32_t frames);

    LV2_State_Status save(LV2_State_Store_Function store, LV2_State_Handle handle);
    LV2_State_Status restore(LV2_State_Retrieve_Function retrieve, LV2_State_Handle handle);

private:
    struct Uris
    {
        LV2_URID midiEvent = 0;
        LV2_URID chunk = 0;
        LV2_URID integer = 0;
        LV2_URID real = 0;
        LV2_URID bank = 0;
        LV2_URID program = 0;
        LV2_URID controllerMove = 0;
        LV2_URID parameterIndex = 0;
        LV2_URID parameterValue = 0;
    };

    // Applies the control ports whose value changed since the last run, in the order programs apply.
    void applyControlPorts();
    void deliverMidi();
    void beginNotify();
    void endNotify();
    // A mapped MIDI controller moved a parameter (inside deliverMidi, on the audio thread).
    void controllerMoved(int32_t index, float value) override;
    void storeRecordValue(int32_t index, float value);
    SynthProgram& currentRecord() { return fBank.program(fProgram.load(std::memory_order_relaxed)); }

    Uris fUris;
    SynthEngine fEngine;
    ProgramBank fBank;
    std::atomic<int32_t> fProgram{0};
    // Odd while run may be writing the records.
    std::atomic<uint32_t> fRecordSequence{0};

    const float* fControls[kNumParams]{};
    // The port values as last applied, compared bit for bit.
    uint32_t fSeenBits[kNumParams]{};
    const LV2_Atom_Sequence* fMidiIn = nullptr;
    const float* fInputs[2]{};
    float* fOutputs[2]{};
    LV2_Atom_Sequence* fNotify = nullptr;

    LV2_Atom_Forge fForge{};
    LV2_Atom_Forge_Frame fNotifyFrame{};
    bool fNotifyOpen = false;
    int64_t fEventFrame = 0;

    // What save hands to the host, kept past the call.
    SynthProgram fSavedBank[kNumPrograms]{};
    int32_t fSavedProgram = 0;
};
