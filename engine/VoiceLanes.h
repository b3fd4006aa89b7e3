// The engine's voices rendered side by side in SIMD lanes, bit for bit as each voice renders itself.
#pragma once

#include <cstdint>

#include "engine/VoiceLaneState.h"

class SynthEngine;

// Ways of rendering the voices; every path gives the same bits.
enum class VoicePath : int
{
    kScalar = 0, // each voice's own renderSample, one after the other: the reference, and for any CPU
    kSse2 = 1,   // x86-64 baseline
    kAvx2 = 2,
    kAvx512 = 3, // AVX-512F and VL
};

// Between the voices' blocks and their samples:
// - A block on a lane path begins by taking nothing; before each sample the voices that sound, wait or
//   hold a pending note are taken into their lanes (load), and at the end of the block every lane is given
//   back to its voice (store). Between blocks the voices hold their whole state, as on the scalar path.
// - Each sample runs one kernel call for all lanes: idle lanes and lanes outside the polyphony are masked.
// - Rare work stays with the voice's own code: a note start gives its lane back, lets the voice start the
//   note (its virtual startNote may call back into the engine), and takes the voice again; a loop that runs
//   away is silenced the same way. Engine calls that touch voices during a block flush every lane first, so
//   they see and change the voices themselves.
// - Voices render in index order: when a note starts, the lanes below it render before it starts.
class VoiceLanes
{
public:
    static constexpr int kLanes = VoiceLaneState::kLanes;
    static constexpr int kNumPaths = 4;

    // Starts on the fastest path this CPU has.
    explicit VoiceLanes(SynthEngine& engine);

    static bool isAvailable(VoicePath path);
    // The fastest available path, found once when the library is loaded.
    static VoicePath bestPath();
    static const char* pathName(VoicePath path);
    // False (and no change) when the CPU lacks the path, or while a block renders.
    bool setPath(VoicePath path);
    VoicePath getPath() const { return fPath; }

    // Blocks that begin with fewer voices sounding, waiting or pending than this render on the scalar
    // path, where one voice is cheaper alone than in a lane. setPath sets the path's own minimum.
    void setMinimumVoices(int count) { fMinimumVoices = count; }
    int getMinimumVoices() const { return fMinimumVoices; }

    // True when the block renders in lanes: mixSample then stands in for the engine's, until endBlock.
    bool beginBlock();
    // nextWarp: the warp ramp's value on the next sample of the block.
    void mixSample(float* out, float inL, float inR, float nextWarp);
    void endBlock();
    // Gives every lane back to its voice; the next sample takes the voices again.
    void flush();

private:
    // Polyphony, voices in range, engine values; takes the voices that will render.
    void rescan();
    // Takes every voice in range that sounds, waits or holds a pending note, and reads the pans.
    void takeVoices();
    void refreshValues();
    void load(int lane);
    void store(int lane);
    // Runs the kernel on the lanes of mask and silences the loops that ran away.
    void render(uint32_t mask, uint32_t countdown);
    void startNote(int lane);
    void silence(int lane);
    uint32_t startingLanes() const;

    SynthEngine& fEngine;
    VoicePath fPath;
    VoiceKernel fKernel;
    int fMinimumVoices;
    bool fLive = false; // a block renders in lanes
    bool fRescan = false;
    uint32_t fLoaded = 0;   // lanes holding their voice's state
    uint32_t fPending = 0;  // loaded lanes that held a pending note when taken; only they can start one
    uint32_t fInRange = 0;  // voices below the polyphony, this sample
    uint32_t fRendered = 0; // lanes whose output belongs to this sample
    int fCount = 1;         // the polyphony of this sample
    LaneValues fValues{};
    // Each voice's share of the left and right channel; 0.5 for lanes outside the polyphony, whose output
    // is 0 and adds nothing.
    alignas(32) float fPan[kLanes]{};
    alignas(32) float fPanRight[kLanes]{};
    VoiceLaneState fState{};
    LatticeBank fBank;
};
