// The sound of the instrument, free of any plug-in format: eight voices, the current parameters and their
// derived values, note handling and the block loop.
#pragma once

#include "engine/EngineValues.h"
#include "engine/ParameterInbox.h"
#include "params/Parameters.h"

#include <array>
#include <cstdint>
#include <memory>

class SynthVoice;
class VoiceLanes;
enum class VoicePath : int;

// Told when a MIDI controller moved a parameter (on the thread that delivered the MIDI).
class ControllerListener
{
public:
    virtual ~ControllerListener() = default;
    virtual void controllerMoved(int32_t index, float value) = 0;
};

class SynthEngine : public EngineValues
{
public:
    // Builds the controller map, the starting values, the note table and the eight voices (initEngine);
    // no program is applied yet.
    SynthEngine();
    ~SynthEngine();
    SynthEngine(const SynthEngine&) = delete;
    SynthEngine& operator=(const SynthEngine&) = delete;

    // The rate note starts take; the voices' envelopes and LFOs follow it at once.
    void setSampleRate(float rate);
    // The rate note starts take, leaving the time bases of sounding voices alone until their next note.
    void setNoteSampleRate(float rate) { fSampleRate = rate; }
    float getSampleRate() const { return fSampleRate; }

    // Stores, derives and pushes one value at once (indices outside 0..37 change nothing). Only on the
    // thread that renders, or while nothing renders.
    void setParameter(int32_t index, float value);
    float getParameter(int32_t index) const;
    // All 38 values in the order stored programs have always been applied in.
    void applyProgram(const float values[kNumParams]);

    // From any thread, also while a block renders: the change takes hold at the start of the next block
    // (or MIDI event, suspend, sample-rate change); a posted program takes hold all together.
    void postParameter(int32_t index, float value) { fInbox.post(index, value); }
    void postProgram(const float values[kNumParams]) { fInbox.postProgram(values); }
    // Applies what was posted; renderBlock, midiEvent, suspend and setSampleRate do so first.
    void applyPostedChanges();

    // One MIDI message; note-ons start deltaFrames into the next block, the rest act at once.
    void midiEvent(int32_t deltaFrames, uint8_t status, uint8_t data1, uint8_t data2, int32_t detune = 0);
    void noteOn(int32_t stamp, int32_t velocity, int32_t note, int32_t detune, int32_t delay);
    void noteOff(int32_t stamp, int32_t velocity, int32_t note);

    // Renders one block: replace overwrites the outputs, otherwise the block is added to them. Null
    // inputs are silence; with null outputs the voices still run.
    void renderBlock(const float* const* inputs, float* const* outputs, int32_t sampleFrames, bool replace);
    // One stereo sample of all active voices into out[0] (left) and out[1] (right).
    void mixSample(float* out, float inL, float inR);
    // Every voice idle, its strings, filter and followers cleared, any pending note dropped.
    void suspend();

    void setControllerListener(ControllerListener* listener) { fControllerListener = listener; }

    // How the voices render: side by side in SIMD lanes on the fastest path the CPU has (chosen when the
    // library is loaded), or each on its own; every path gives the same bits. For tests and benchmarks:
    // setVoicePath answers false (and changes nothing) when the CPU lacks the path or a block is being
    // rendered, and blocks that begin
    // with fewer busy voices than minimumLaneVoices render each voice on its own.
    bool setVoicePath(VoicePath path);
    VoicePath getVoicePath() const;
    void setMinimumLaneVoices(int count);

    void applyQuality();
    void updateLfoFrequency(int32_t index);
    // Moves the filter-envelope sustain of every sounding voice to value.
    void updateFilterSustain(float value);
    double* randomBodyTable(int32_t which);

    float fBendTarget = 0.0f;
    int32_t fNextVoice = 0;
    int32_t fCcMap[kNumControllers]{};
    // Built once and kept for the engine's life.
    std::array<std::unique_ptr<SynthVoice>, kMaxVoices> fVoices;

private:
    // Gives the voices back their state from the lanes before anything else touches them in a block.
    void syncVoices();

    ControllerListener* fControllerListener = nullptr;
    ParameterInbox fInbox;
    std::unique_ptr<VoiceLanes> fLanes; // 64-byte aligned: made with new
};
