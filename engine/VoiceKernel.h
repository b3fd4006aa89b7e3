// One sample of eight voices side by side, written once over an eight-lane vector type V.
//
// Every lane does SynthVoice::renderSample's operations on its own voice, in the same order and never
// fused, so it gives the same bits. Where the voice branches per sample, the lanes work out every
// branch that some lane takes and each lane keeps its own (a select, never an arithmetic blend); branches
// on engine values are taken once for all lanes. Lanes outside the run mask keep their state exactly.
//
// Only the kernel files include this header, each with its own V (dsp/FloatLanes*.h), so every
// instantiation is local to a file compiled for its own instruction set.
#pragma once

#include <math.h>

#include <bit>
#include <cstdint>

#include "dsp/EnvelopeFollower.h"
#include "engine/SynthVoice.h"
#include "engine/VoiceLaneState.h"

template <class V>
struct VoiceKernelSteps
{
    using F = typename V::F;
    using I = typename V::I;
    using M = typename V::M;
    static constexpr int kLanes = VoiceLaneState::kLanes;

    // The follower floor 1e-13 as stored lies below 1e-13 with no float between: a level compared with
    // 1e-13 in double passes exactly when it exceeds the stored floor.
    static constexpr float kAboveFloor = 0x1.c25c28p-44f; // the float after EnvelopeFollower::kFloor
    static_assert(static_cast<double>(EnvelopeFollower::kFloor) < 1e-13 && static_cast<double>(kAboveFloor) > 1e-13
                  && std::bit_cast<uint32_t>(kAboveFloor) == std::bit_cast<uint32_t>(EnvelopeFollower::kFloor) + 1);

    static void commit(float* p, M m, F v) { V::store(p, V::select(m, V::load(p), v)); }
    static void commit(int32_t* p, M m, I v) { V::store(p, V::select(m, V::load(p), v)); }
    static void commit(uint32_t* p, M m, I v) { V::store(p, V::select(m, V::load(p), v)); }

    // The A->B coupling signal (SynthVoice::couplingAToB).
    static F couplingAToB(VoiceLaneState& s, const LaneValues& c, M run, F a, F b, F levelA, F levelB, F d)
    {
        const F k = V::splat(c.couplingPole);
        const F lowpass = V::load(s.couplingLowpass);
        const F plain = V::add(V::add(V::mul(k, V::sub(lowpass, a)), a), d);
        const F plainOut = V::mul(plain, V::splat(c.leakGain1));
        const M quantized = c.quantizeOn ? V::both(run, V::greater(levelB, V::splat(EnvelopeFollower::kFloor)))
                                         : V::lanes(0);
        if (V::bits(quantized) == 0)
        {
            commit(s.couplingLowpass, run, plain);
            return plainOut;
        }

        // Normal quality recomputes only every fourth sample of the note.
        const I count = V::load(s.sampleCount);
        const M fresh = c.highQuality ? quantized
                                      : V::both(quantized, V::equal(V::bitAnd(count, V::splat(3)), V::splat(0)));
        F v = V::load(s.heldCoupling);
        const uint32_t freshBits = V::bits(fresh);
        if (freshBits != 0)
        {
            F computed;
            switch (c.quantizer)
            {
            case QuantizerMode::kQuantize:
                computed = V::copySign(
                    V::mul(V::mul(V::ceil(V::abs(V::mul(V::div(b, levelA), V::load(s.quantSteps)))), levelA),
                           V::load(s.quantStepInv)),
                    a);
                break;
            case QuantizerMode::kOneStep:
                computed = V::copySign(levelA, a);
                break;
            default:
            {
                alignas(32) float drawn[kLanes];
                s.noise.next(freshBits, drawn);
                const F r = V::copySign(V::load(drawn), a);
                const F smooth = V::add(V::mul(k, V::sub(V::load(s.noiseSmooth), r)), r);
                commit(s.noiseSmooth, fresh, smooth);
                computed = V::add(V::mul(V::mul(levelB, smooth), V::splat(c.noiseGain)), a);
                break;
            }
            }
            computed = V::mul(computed, V::splat(c.leakGain1));
            commit(s.heldCoupling, fresh, computed);
            v = V::select(fresh, v, computed);
        }
        const F stepped = V::add(V::add(V::mul(k, V::sub(lowpass, v)), v), d);
        commit(s.couplingLowpass, run, V::select(quantized, plain, stepped));
        return V::select(quantized, plainOut, stepped);
    }

    // The limiter (SynthVoice::limitPair); the one-sided cases call the exponential itself, lane by lane:
    // expf is what std::exp(float) calls, named directly so that no inline wrapper built for this file's
    // instruction set is shared with other files.
    static void limit(VoiceLaneState& s, M run, F& cAB, F& cBA)
    {
        const F eAB = s.followAB.template process<V>(run, cAB);
        const F eBA = s.followBA.template process<V>(run, cBA);
        const F threshold = V::splat(SynthVoice::kLimitThreshold);
        const F slope = V::splat(SynthVoice::kLimitSlope);
        const M overAB = V::both(run, V::greater(eAB, threshold));
        const M overBA = V::both(run, V::greater(eBA, threshold));
        const M bothOver = V::both(overAB, overBA);
        if (V::bits(bothOver) != 0)
        {
            const F one = V::splat(1.0f);
            const F half = V::splat(0.5f);
            const F sixth = V::splat(0.16666667f);
            const F x = V::mul(V::sub(eAB, threshold), slope);
            const F y = V::mul(V::sub(eBA, threshold), slope);
            const F seriesX = V::add(V::add(V::add(one, x), V::mul(V::mul(x, x), half)),
                                     V::mul(V::mul(V::mul(x, x), x), sixth));
            const F seriesY = V::add(V::add(V::add(one, y), V::mul(V::mul(y, y), half)),
                                     V::mul(V::mul(V::mul(y, y), y), sixth));
            cAB = V::select(bothOver, cAB, V::div(cAB, seriesX));
            cBA = V::select(bothOver, cBA, V::div(cBA, seriesY));
        }
        const uint32_t onlyAB = V::bits(V::butNot(overAB, overBA));
        const uint32_t onlyBA = V::bits(V::butNot(overBA, overAB));
        if ((onlyAB | onlyBA) != 0)
        {
            alignas(32) float argAB[kLanes];
            alignas(32) float argBA[kLanes];
            alignas(32) float ab[kLanes];
            alignas(32) float ba[kLanes];
            const F zero = V::splat(0.0f);
            V::store(argAB, V::mul(V::sub(zero, V::sub(eAB, threshold)), slope));
            V::store(argBA, V::mul(V::sub(zero, V::sub(eBA, threshold)), slope));
            V::store(ab, cAB);
            V::store(ba, cBA);
            for (uint32_t rest = onlyAB; rest != 0; rest &= rest - 1)
            {
                const int l = __builtin_ctz(rest);
                ab[l] = ab[l] * expf(argAB[l]);
            }
            for (uint32_t rest = onlyBA; rest != 0; rest &= rest - 1)
            {
                const int l = __builtin_ctz(rest);
                ba[l] = ba[l] * expf(argBA[l]);
            }
            cAB = V::load(ab);
            cBA = V::load(ba);
        }
    }

    // Normal quality retunes only every eighth sample; the LFOs advance every sample in both qualities,
    // except that of a string whose delay is 0, which is neither retuned nor advanced when due.
    static void retune(VoiceLaneState& s, const LaneValues& c, M run, I count)
    {
        const M due = c.highQuality ? run : V::both(run, V::equal(V::bitAnd(count, V::splat(7)), V::splat(0)));
        const M resting = V::butNot(run, due);
        const F zero = V::splat(0.0f);
        const F one = V::splat(1.0f);
        const F bend = V::splat(c.bendRatio);

        const F delayA = V::load(s.delayA);
        const M tuneA = V::both(due, V::greater(delayA, zero));
        const M moveA = V::either(resting, tuneA);
        const F lfoA = s.lfoA.template next<V>(moveA, V::bits(moveA));
        if (V::bits(tuneA) != 0)
            s.stringA.template setDelay<V>(
                tuneA, V::mul(V::add(V::mul(lfoA, V::splat(c.lfo1Amp)), one), V::mul(delayA, bend)));

        const F delayB = V::load(s.delayB);
        const M tuneB = V::both(due, V::greater(delayB, zero));
        const M moveB = V::either(resting, tuneB);
        const F lfoB = s.lfoB.template next<V>(moveB, V::bits(moveB));
        if (V::bits(tuneB) != 0)
            s.stringB.template setDelay<V>(
                tuneB, V::mul(V::add(V::mul(lfoB, V::splat(c.lfo2Amp)), one), V::mul(delayB, bend)));
    }

    // The body filter's warp from the warp LFO's value, limited as the voice limits it.
    static F warpFrom(F lfo, const LaneValues& c, float smoothed)
    {
        F w = V::add(V::mul(lfo, V::splat(c.warpDepth)), V::splat(smoothed));
        const F most = V::splat(SynthVoice::kMaxWarp);
        const F least = V::splat(SynthVoice::kMinWarp);
        w = V::select(V::greater(w, most), w, most);
        return V::select(V::greaterEqual(w, least), least, w); // also NaN
    }

    static F clampCoupling(F x)
    {
        const F low = V::splat(-SynthVoice::kCouplingClamp);
        const F high = V::splat(SynthVoice::kCouplingClamp);
        return V::select(V::less(x, low), V::select(V::greater(x, high), x, high), low);
    }

    static uint32_t render(VoiceLaneState& s, LatticeBank& bank, const LaneValues& c, uint32_t maskBits,
                           uint32_t countdownBits)
    {
        const M mask = V::lanes(maskBits);

        // A pending note counts down; the old sound keeps running while its loop gains die away.
        const I pending = V::load(s.pendingDelay);
        I state = V::load(s.state);
        const M counting = V::both(V::lanes(countdownBits), V::greater(pending, V::splat(0)));
        state = V::select(counting, state, V::splat(int32_t{kVoiceWaiting}));
        V::store(s.pendingDelay, V::select(counting, pending, V::sub(pending, V::splat(1))));
        const I idle = V::splat(int32_t{kVoiceIdle});
        const M run = V::butNot(mask, V::equal(state, idle));
        const uint32_t runBits = V::bits(run);
        V::store(s.output, V::select(mask, V::load(s.output), V::splat(0.0f)));
        if (runBits == 0)
        {
            V::store(s.state, state);
            return 0;
        }

        const F d = V::load(s.denormOffset);
        const F rA = V::add(V::load(s.stringA.lastOutput), V::splat(c.inL));
        const F rB = V::add(V::load(s.stringB.lastOutput), V::splat(c.inR));
        // x + s(x - x^3): a cubic with extra gain 1 + s near zero.
        const F drive1 = V::splat(c.satDrive1);
        const F drive2 = V::splat(c.satDrive2);
        const F sA = V::add(V::sub(V::mul(drive1, rA), V::mul(V::mul(drive1, rA), V::mul(rA, rA))), rA);
        const F sB = V::add(V::sub(V::mul(drive2, rB), V::mul(V::mul(drive2, rB), V::mul(rB, rB))), rB);
        const F a = V::add(V::mul(V::sub(V::load(s.lossA), sA), V::splat(c.lossCoef1)), sA);
        const F b = V::add(V::mul(V::sub(V::load(s.lossB), sB), V::splat(c.lossCoef2)), sB);
        commit(s.lossA, run, a);
        commit(s.lossB, run, b);

        const F mixComplement = V::splat(c.mixComplement);
        const F levelA = s.followA.template process<V>(run, a);
        const F levelB = s.followB.template process<V>(run, b);
        const F level = V::add(V::mul(V::sub(levelB, levelA), mixComplement), levelA);
        commit(s.levelA, run, levelA);
        commit(s.levelB, run, levelB);
        commit(s.level, run, level);

        F cAB = couplingAToB(s, c, run, a, b, levelA, levelB, d);
        F cBA = V::mul(b, V::splat(c.leakGain2));
        limit(s, run, cAB, cBA);

        F gainA = V::load(s.gainA);
        F gainB = V::load(s.gainB);
        const M waiting = V::both(run, V::equal(state, V::splat(int32_t{kVoiceWaiting})));
        if (V::bits(waiting) != 0)
        {
            const F damping = V::splat(SynthVoice::kWaitDamping);
            gainA = V::select(waiting, gainA, V::mul(gainA, damping));
            gainB = V::select(waiting, gainB, V::mul(gainB, damping));
            V::store(s.gainA, gainA);
            V::store(s.gainB, gainB);
            // the rest of this sample still runs
            state = V::select(V::both(waiting, V::less(level, V::splat(SynthVoice::kWaitSilence))), state, idle);
        }

        const F m = V::add(V::mul(V::sub(sB, sA), mixComplement), sA);
        F w = V::splat(0.0f);
        F env = V::splat(0.0f);
        if (c.bodyOn)
        {
            w = warpFrom(s.lfoWarp.template next<V>(run, runBits), c, c.warpSmoothed);
            env = s.filterEnv.template tick<V>(run);
            // What the next sample will most likely take, so the filters can prepare it; they check.
            V::toDouble(warpFrom(s.lfoWarp.template peek<V>(runBits), c, c.nextWarpSmoothed), s.nextWarp);
            V::toDouble(s.filterEnv.template peek<V>(), s.nextMorph);
        }
        const F gainBSigned = c.positivePolarity ? gainB : V::sub(V::splat(0.0f), gainB);

        if (c.leakOn)
        {
            const F pole = V::splat(SynthVoice::kDcPole);
            const F dcBA = V::add(V::mul(V::sub(V::load(s.dcBA), cBA), pole), cBA);
            const F dcAB = V::add(V::mul(V::sub(V::load(s.dcAB), cAB), pole), cAB);
            commit(s.dcBA, run, dcBA);
            commit(s.dcAB, run, dcAB);
            cBA = V::sub(cBA, dcBA);
            cAB = V::sub(cAB, dcAB);
        }

        // The body filters of all running lanes in one pass: their outputs now, their states (the longest
        // chain of the sample) once the rest of the voice is done with them. An output that left the float
        // range starts its filter again from silence.
        F filtered = V::splat(0.0f);
        uint32_t broken = 0;
        if (c.bodyOn)
        {
            const F x = c.position == BodyPosition::kOutput ? V::add(m, d)
                        : c.position == BodyPosition::kBToA ? V::add(cBA, d)
                                                            : V::add(cAB, d);
            V::toDouble(x, s.filterIn);
            V::toDouble(w, s.warp);
            V::toDouble(env, s.morph);
            bank.processOutput(s.filterIn, s.warp, s.morph, runBits, s.filterOut, s.nextWarp, s.nextMorph);
            filtered = V::fromDouble(s.filterOut);
            const M finite = V::finite(filtered);
            broken = runBits & ~V::bits(finite);
            filtered = V::select(finite, V::splat(0.0f), filtered);
        }

        const F velocityGain = V::load(s.velocityGain);
        F out;
        if (c.position == BodyPosition::kOutput)
        {
            s.stringA.template tick<V>(run, runBits, V::add(V::add(V::mul(gainA, a), cBA), d));
            s.stringB.template tick<V>(run, runBits, V::add(V::add(V::mul(gainBSigned, b), cAB), d));
            out = V::mul(c.bodyOn ? filtered : m, velocityGain);
        }
        else
        {
            if (c.bodyOn)
            {
                if (c.position == BodyPosition::kBToA)
                    cBA = filtered;
                else
                    cAB = filtered;
            }
            cBA = clampCoupling(cBA);
            cAB = clampCoupling(cAB);
            // In the coupling positions B feeds back into A inverted.
            s.stringA.template tick<V>(run, runBits, V::add(V::sub(V::mul(gainA, a), cBA), d));
            s.stringB.template tick<V>(run, runBits, V::add(V::add(V::mul(gainBSigned, b), d), cAB));
            out = V::mul(m, velocityGain);
        }

        const F g = s.ampEnv.template tick<V>(run);
        state = V::select(V::both(run, V::equal(V::load(s.ampEnv.stage), V::splat(int32_t{AdsrEnvelope::kIdle}))),
                          state, idle);
        const I count = V::add(V::load(s.sampleCount), V::splat(1));
        commit(s.sampleCount, run, count);
        retune(s, c, run, count);
        commit(s.denormOffset, run, V::sub(V::splat(0.0f), d));
        const M ended = V::both(V::less(level, V::splat(SynthVoice::kEndSilence)),
                                V::greaterUnsigned(count, V::splat(static_cast<int32_t>(SynthVoice::kMinNoteLength))));
        state = V::select(V::both(run, ended), state, idle);
        V::store(s.state, state);

        // A loop that runs away is silenced at the first sample past the ceiling, before it is heard.
        const F result = V::mul(g, out);
        const F ceiling = V::splat(SynthVoice::kRunawayCeiling);
        const M sane = V::both(V::both(V::both(V::lessEqual(V::abs(sA), ceiling), V::lessEqual(V::abs(sB), ceiling)),
                                       V::both(V::lessEqual(V::abs(m), ceiling), V::lessEqual(V::abs(out), ceiling))),
                               V::lessEqual(V::abs(result), ceiling));
        commit(s.output, V::both(run, sane), result);

        if (c.bodyOn)
        {
            bank.processStates();
            for (uint32_t rest = broken; rest != 0; rest &= rest - 1)
                bank.clear(__builtin_ctz(rest));
        }
        return runBits & ~V::bits(sane);
    }
};
