// The voices in lanes: path choice, taking voices into lanes and giving them back, and the sample loop.
#include "engine/VoiceLanes.h"

#include "engine/SynthEngine.h"
#include "engine/SynthVoice.h"

namespace
{
// The fewest busy voices for which a block pays in lanes, measured with the engine benchmarks: one voice
// alone runs faster on its own, and on SSE2 two voices break even.
int minimumVoicesFor(VoicePath path)
{
    return path == VoicePath::kSse2 ? 3 : 2;
}

bool cpuHas(VoicePath path)
{
    switch (path)
    {
    case VoicePath::kScalar:
        return true;
#if defined(__x86_64__)
    case VoicePath::kSse2:
        return LatticeBank::isAvailable(LatticeBank::Path::kSse2);
    case VoicePath::kAvx2:
        return LatticeBank::isAvailable(LatticeBank::Path::kAvx2);
    case VoicePath::kAvx512:
        return LatticeBank::isAvailable(LatticeBank::Path::kAvx512Vl)
               && LatticeBank::isAvailable(LatticeBank::Path::kAvx512);
#endif
    default:
        return false;
    }
}

VoicePath findBestPath()
{
    const VoicePath order[] = {VoicePath::kAvx512, VoicePath::kAvx2, VoicePath::kSse2};
    for (VoicePath path : order)
        if (cpuHas(path))
            return path;
    return VoicePath::kScalar;
}

// Asks the CPU when the library is loaded, so no audio thread ever waits for the answer.
[[maybe_unused]] const VoicePath kLoadTimePath = VoiceLanes::bestPath();

VoiceKernel kernelFor(VoicePath path)
{
    switch (path)
    {
#if defined(__x86_64__)
    case VoicePath::kSse2:
        return voiceKernelSse2;
    case VoicePath::kAvx2:
        return voiceKernelAvx2;
    case VoicePath::kAvx512:
        return voiceKernelAvx512;
#endif
    default:
        return nullptr;
    }
}

LatticeBank::Path bankPathFor(VoicePath path)
{
    switch (path)
    {
    case VoicePath::kSse2:
        return LatticeBank::Path::kSse2;
    case VoicePath::kAvx2:
        return LatticeBank::Path::kAvx2;
    case VoicePath::kAvx512:
        return LatticeBank::Path::kAvx512;
    default:
        return LatticeBank::Path::kScalar;
    }
}
} // namespace

VoiceLanes::VoiceLanes(SynthEngine& engine)
    : fEngine(engine)
    , fPath(VoicePath::kScalar)
    , fKernel(nullptr)
    , fMinimumVoices(0)
{
    setPath(bestPath());
}

bool VoiceLanes::isAvailable(VoicePath path)
{
    return cpuHas(path);
}

VoicePath VoiceLanes::bestPath()
{
    static const VoicePath best = findBestPath();
    return best;
}

const char* VoiceLanes::pathName(VoicePath path)
{
    switch (path)
    {
    case VoicePath::kScalar:
        return "scalar";
    case VoicePath::kSse2:
        return "sse2";
    case VoicePath::kAvx2:
        return "avx2";
    case VoicePath::kAvx512:
        return "avx512";
    }
    return "";
}

bool VoiceLanes::setPath(VoicePath path)
{
    if (!isAvailable(path) || fLive) // a block keeps its path to the end
        return false;
    flush();
    fPath = path;
    fKernel = kernelFor(path);
    fMinimumVoices = minimumVoicesFor(path);
    fBank.setPath(bankPathFor(path));
    return true;
}

bool VoiceLanes::beginBlock()
{
    if (fKernel == nullptr)
        return false;
    const int32_t count = fEngine.activeVoiceCount();
    int busy = 0;
    for (int32_t i = 0; i < count; i++)
    {
        const SynthVoice* voice = fEngine.fVoices[static_cast<size_t>(i)].get();
        if (voice != nullptr && (voice->fState != kVoiceIdle || voice->fPendingDelay >= 0))
            busy++;
    }
    if (busy < fMinimumVoices)
        return false;
    fLive = true;
    fLoaded = 0;
    fRescan = true;
    return true;
}

void VoiceLanes::endBlock()
{
    flush();
    fLive = false;
}

void VoiceLanes::flush()
{
    for (uint32_t rest = fLoaded; rest != 0; rest &= rest - 1)
        store(__builtin_ctz(rest));
    fLoaded = 0;
    fRescan = true;
}

void VoiceLanes::rescan()
{
    fCount = fEngine.activeVoiceCount();
    fInRange = 0;
    for (int32_t i = 0; i < fCount; i++)
        if (fEngine.fVoices[static_cast<size_t>(i)] != nullptr)
            fInRange |= 1u << i;
    refreshValues();
    takeVoices();
    fRescan = false;
}

void VoiceLanes::takeVoices()
{
    for (int l = 0; l < kLanes; l++)
    {
        fPan[l] = 0.5f;
        fPanRight[l] = 0.5f;
    }
    for (uint32_t rest = fInRange; rest != 0; rest &= rest - 1)
    {
        const int l = __builtin_ctz(rest);
        const SynthVoice& voice = *fEngine.fVoices[static_cast<size_t>(l)];
        fPan[l] = voice.fPan;
        fPanRight[l] = 1.0f - voice.fPan;
        if ((fLoaded >> l & 1u) == 0 && (voice.fState != kVoiceIdle || voice.fPendingDelay >= 0))
            load(l);
    }
}

void VoiceLanes::refreshValues()
{
    const SynthEngine& e = fEngine;
    const float* p = e.fCurrentParams;
    LaneValues& v = fValues;
    v.satDrive1 = e.fSatDrive1;
    v.satDrive2 = e.fSatDrive2;
    v.lossCoef1 = e.fLossCoef1;
    v.lossCoef2 = e.fLossCoef2;
    v.mixComplement = e.fMixComplement;
    v.leakGain1 = e.fLeakGain1;
    v.leakGain2 = e.fLeakGain2;
    v.noiseGain = e.fNoiseGain;
    v.couplingPole = 1.0f - p[kLeakageCutoff];
    v.warpDepth = 0.5f * p[kLFOWarpAmp];
    v.lfo1Amp = p[kLFO1Amp];
    v.lfo2Amp = p[kLFO2Amp];
    v.leakOn = e.fLeakOn1 || e.fLeakOn2;
    v.quantizeOn = e.fQuantizeOn;
    v.highQuality = e.fHighQuality;
    v.bodyOn = e.fBodyOn1 || e.fBodyOn2;
    v.positivePolarity = p[kPolarity2] > 0.5f;
    const float topo = p[kFilterTopology];
    v.position = topo >= SynthVoice::kOutputPosition ? BodyPosition::kOutput
                 : topo > SynthVoice::kBToAPosition  ? BodyPosition::kBToA
                                                     : BodyPosition::kAToB;
    const float q = p[kQuantization];
    v.quantizer = q > 0.0f && q < 0.5f ? QuantizerMode::kQuantize
                  : q <= 0.0f          ? QuantizerMode::kOneStep
                                       : QuantizerMode::kNoise;
}

void VoiceLanes::load(int lane)
{
    SynthVoice& voice = *fEngine.fVoices[static_cast<size_t>(lane)];
    VoiceLaneState& s = fState;
    s.lossA[lane] = voice.fLossA;
    s.lossB[lane] = voice.fLossB;
    s.dcBA[lane] = voice.fDcBA;
    s.dcAB[lane] = voice.fDcAB;
    s.gainA[lane] = voice.fGainA;
    s.gainB[lane] = voice.fGainB;
    s.couplingLowpass[lane] = voice.fCouplingLowpass;
    s.heldCoupling[lane] = voice.fHeldCoupling;
    s.level[lane] = voice.fLevel;
    s.levelA[lane] = voice.fLevelA;
    s.levelB[lane] = voice.fLevelB;
    s.delayA[lane] = voice.fDelayA;
    s.delayB[lane] = voice.fDelayB;
    s.noiseSmooth[lane] = voice.fNoiseSmooth;
    s.denormOffset[lane] = voice.fDenormOffset;
    s.quantSteps[lane] = voice.fQuantSteps;
    s.quantStepInv[lane] = voice.fQuantStepInv;
    s.velocityGain[lane] = voice.fVelocityGain;
    s.sampleCount[lane] = voice.fSampleCount;
    s.state[lane] = voice.fState;
    s.pendingDelay[lane] = voice.fPendingDelay;
    s.stringA.load(lane, voice.fStringA);
    s.stringB.load(lane, voice.fStringB);
    s.followA.load(lane, voice.fFollowA);
    s.followB.load(lane, voice.fFollowB);
    s.followAB.load(lane, voice.fFollowAB);
    s.followBA.load(lane, voice.fFollowBA);
    s.ampEnv.load(lane, voice.fAmpEnv);
    s.filterEnv.load(lane, voice.fFilterEnv);
    s.lfoA.load(lane, voice.fLfoA);
    s.lfoB.load(lane, voice.fLfoB);
    s.lfoWarp.load(lane, voice.fLfoWarp);
    s.noise.load(lane, voice.fNoise);
    fBank.loadLane(lane, voice.fBodyFilter); // every voice's filter has the bank's capacity
    fLoaded |= 1u << lane;
    if (voice.fPendingDelay >= 0)
        fPending |= 1u << lane;
}

void VoiceLanes::store(int lane)
{
    SynthVoice& voice = *fEngine.fVoices[static_cast<size_t>(lane)];
    const VoiceLaneState& s = fState;
    voice.fLossA = s.lossA[lane];
    voice.fLossB = s.lossB[lane];
    voice.fDcBA = s.dcBA[lane];
    voice.fDcAB = s.dcAB[lane];
    voice.fGainA = s.gainA[lane];
    voice.fGainB = s.gainB[lane];
    voice.fCouplingLowpass = s.couplingLowpass[lane];
    voice.fHeldCoupling = s.heldCoupling[lane];
    voice.fLevel = s.level[lane];
    voice.fLevelA = s.levelA[lane];
    voice.fLevelB = s.levelB[lane];
    voice.fNoiseSmooth = s.noiseSmooth[lane];
    voice.fDenormOffset = s.denormOffset[lane];
    voice.fSampleCount = s.sampleCount[lane];
    voice.fState = s.state[lane];
    voice.fPendingDelay = s.pendingDelay[lane];
    s.stringA.store(lane, voice.fStringA);
    s.stringB.store(lane, voice.fStringB);
    s.followA.store(lane, voice.fFollowA);
    s.followB.store(lane, voice.fFollowB);
    s.followAB.store(lane, voice.fFollowAB);
    s.followBA.store(lane, voice.fFollowBA);
    s.ampEnv.store(lane, voice.fAmpEnv);
    s.filterEnv.store(lane, voice.fFilterEnv);
    s.lfoA.store(lane, voice.fLfoA);
    s.lfoB.store(lane, voice.fLfoB);
    s.lfoWarp.store(lane, voice.fLfoWarp);
    s.noise.store(lane, voice.fNoise);
    fBank.storeLane(lane, voice.fBodyFilter);
    fLoaded &= ~(1u << lane);
    fPending &= ~(1u << lane);
}

uint32_t VoiceLanes::startingLanes() const
{
    uint32_t starting = 0;
    for (uint32_t rest = fLoaded & fPending; rest != 0; rest &= rest - 1)
    {
        const int l = __builtin_ctz(rest);
        if (fState.pendingDelay[l] == 0)
            starting |= 1u << l;
    }
    return starting;
}

void VoiceLanes::render(uint32_t mask, uint32_t countdown)
{
    if (mask == 0)
        return;
    const uint32_t runaway = fKernel(fState, fBank, fValues, mask, countdown);
    fRendered |= mask;
    for (uint32_t rest = runaway; rest != 0; rest &= rest - 1)
        silence(__builtin_ctz(rest));
}

void VoiceLanes::silence(int lane)
{
    store(lane);
    fEngine.fVoices[static_cast<size_t>(lane)]->silenceBrokenLoop();
    load(lane);
}

// The voice starts its own note: the lane goes back first, since the voice's code may call back into the
// engine, which then flushes the other lanes too. Afterwards the values may have changed and any voice
// may need taking again.
void VoiceLanes::startNote(int lane)
{
    store(lane);
    fEngine.fVoices[static_cast<size_t>(lane)]->startPendingNote();
    refreshValues();
    takeVoices();
    fRescan = true; // the polyphony may have changed for the next sample
}

void VoiceLanes::mixSample(float* out, float inL, float inR, float nextWarp)
{
    if (fRescan)
        rescan();
    // The input excites every active voice at 1/count of its level.
    const float scale = 1.0f / static_cast<float>(fCount);
    fValues.inL = inL * scale;
    fValues.inR = inR * scale;
    fValues.warpSmoothed = fEngine.fWarpSmoothed;
    fValues.bendRatio = fEngine.fBendRatio;
    fValues.nextWarpSmoothed = nextWarp;
    const uint32_t inRange = fInRange;
    fRendered = 0;

    // Voices render in index order: the lanes below a starting note render before it starts, and a voice
    // that has started its note renders the rest of its sample without counting down again.
    uint32_t done = 0;
    uint32_t started = 0;
    for (;;)
    {
        const uint32_t todo = fLoaded & inRange & ~done;
        const uint32_t starting = fPending != 0 ? todo & ~started & startingLanes() : 0;
        if (starting == 0)
        {
            render(todo, todo & ~started);
            break;
        }
        const int lane = __builtin_ctz(starting);
        const uint32_t below = todo & ((1u << lane) - 1u);
        render(below, below & ~started);
        done |= below;
        startNote(lane);
        started |= 1u << lane;
    }

    // In voice order, as the voices render one after the other. A voice that rendered nothing adds its pan
    // times 0, which leaves the sums as they are (they start at +0 and are never -0).
    float left = 0.0f;
    float right = 0.0f;
    for (int l = 0; l < kLanes; l++)
    {
        const float s = (fRendered >> l & 1u) != 0 ? fState.output[l] : 0.0f;
        left += fPan[l] * s;
        right += fPanRight[l] * s;
    }
    out[0] = left;
    out[1] = right;
    fEngine.fSampleClock += 1;
}
