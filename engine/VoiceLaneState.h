// The per-sample state of eight voices as arrays across voices, the engine values a lane sample reads, and
// the per-path kernels that render one sample of all voices side by side.
#pragma once

#include <cstdint>

#include "dsp/EnvelopeLanes.h"
#include "dsp/LatticeBank.h"
#include "dsp/LfoLanes.h"
#include "dsp/StringLanes.h"

// Lane l holds voice l's fields of the same names between VoiceLanes::load and store.
struct VoiceLaneState
{
    static constexpr int kLanes = 8;

    alignas(32) float lossA[kLanes];
    alignas(32) float lossB[kLanes];
    alignas(32) float dcBA[kLanes];
    alignas(32) float dcAB[kLanes];
    alignas(32) float gainA[kLanes];
    alignas(32) float gainB[kLanes];
    alignas(32) float couplingLowpass[kLanes];
    alignas(32) float heldCoupling[kLanes];
    alignas(32) float level[kLanes];
    alignas(32) float levelA[kLanes];
    alignas(32) float levelB[kLanes];
    alignas(32) float delayA[kLanes];
    alignas(32) float delayB[kLanes];
    alignas(32) float noiseSmooth[kLanes];
    alignas(32) float denormOffset[kLanes];
    alignas(32) float quantSteps[kLanes];
    alignas(32) float quantStepInv[kLanes];
    alignas(32) float velocityGain[kLanes];
    alignas(32) uint32_t sampleCount[kLanes];
    alignas(32) int32_t state[kLanes];
    alignas(32) int32_t pendingDelay[kLanes];
    StringLanes stringA;
    StringLanes stringB;
    FollowerLanes followA;
    FollowerLanes followB;
    FollowerLanes followAB;
    FollowerLanes followBA;
    AdsrLanes ampEnv;
    AdsrLanes filterEnv;
    LfoLanes lfoA;
    LfoLanes lfoB;
    LfoLanes lfoWarp;
    NoiseLanes noise;

    // What one sample hands on: each rendered lane's output, and the body filters' inputs and outputs.
    alignas(32) float output[kLanes];
    alignas(64) double filterIn[kLanes];
    alignas(64) double warp[kLanes];
    alignas(64) double morph[kLanes];
    alignas(64) double filterOut[kLanes];
    // The next sample's warp and morph, as far as this sample can tell, for the filters to prepare it.
    alignas(64) double nextWarp[kLanes];
    alignas(64) double nextMorph[kLanes];
};

// Where the body filter sits (kFilterTopology).
enum class BodyPosition : int
{
    kAToB = 0,
    kBToA = 1,
    kOutput = 2,
};

// What the quantizer does with the A->B signal (kQuantization).
enum class QuantizerMode : int
{
    kQuantize = 0, // B in steps of A's level
    kOneStep = 1,  // A's level
    kNoise = 2,    // noise scaled by B's level
};

// The engine values a voice reads every sample, as the voice works them out; they change only between
// blocks or when a note start runs the voice's own code.
struct LaneValues
{
    float satDrive1;
    float satDrive2;
    float lossCoef1;
    float lossCoef2;
    float mixComplement;
    float leakGain1;
    float leakGain2;
    float noiseGain;
    float couplingPole; // 1 - kLeakageCutoff
    float warpDepth;    // 0.5 x kLFOWarpAmp
    float lfo1Amp;
    float lfo2Amp;
    bool leakOn;
    bool quantizeOn;
    bool highQuality;
    bool bodyOn;
    bool positivePolarity;
    BodyPosition position;
    QuantizerMode quantizer;
    // Per sample: the input shares of the strings and the two ramps, and the warp ramp's next value.
    float inL;
    float inR;
    float warpSmoothed;
    float bendRatio;
    float nextWarpSmoothed;
};

// One sample of the voices in mask (whose lanes are loaded and have no note starting now): the pending
// count-down of the lanes in countdown, then the voice's rendering. Writes output for every lane of mask
// (0 for lanes idle or silenced) and answers the lanes whose loop ran away; their state is committed, the
// silencing is the caller's.
using VoiceKernel = uint32_t (*)(VoiceLaneState& lanes, LatticeBank& bank, const LaneValues& values,
                                 uint32_t mask, uint32_t countdown);

#if defined(__x86_64__)
uint32_t voiceKernelSse2(VoiceLaneState& lanes, LatticeBank& bank, const LaneValues& values, uint32_t mask,
                         uint32_t countdown);
uint32_t voiceKernelAvx2(VoiceLaneState& lanes, LatticeBank& bank, const LaneValues& values, uint32_t mask,
                         uint32_t countdown);
uint32_t voiceKernelAvx512(VoiceLaneState& lanes, LatticeBank& bank, const LaneValues& values, uint32_t mask,
                           uint32_t countdown);
#endif
