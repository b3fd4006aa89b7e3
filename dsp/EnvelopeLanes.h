// Eight ADSR envelopes and eight envelope followers side by side: their per-sample state in lanes.
#pragma once

#include <cstdint>

#include "dsp/AdsrEnvelope.h"
#include "dsp/EnvelopeFollower.h"

// Each lane mirrors one AdsrEnvelope between load and store. tick does AdsrEnvelope::tick for the lanes of
// a mask, with the three moving stages worked out side by side and the lane's own stage chosen.
struct AdsrLanes
{
    static constexpr int kLanes = 8;

    alignas(32) int32_t stage[kLanes];
    alignas(32) float level[kLanes];
    alignas(32) float sustain[kLanes];
    alignas(32) float attackStep[kLanes];
    alignas(32) float decayStep[kLanes];
    alignas(32) float releaseStep[kLanes];

    void load(int lane, const AdsrEnvelope& envelope);
    // Stage and level, the only fields a tick changes.
    void store(int lane, AdsrEnvelope& envelope) const;

    // Returns the new levels (the old ones outside m).
    template <class V>
    typename V::F tick(typename V::M m);
    // The levels the next tick would return, without moving on.
    template <class V>
    typename V::F peek() const;

private:
    template <class V>
    void step(typename V::M m, typename V::F& next, typename V::I& nextStage) const;
};

// Each lane mirrors one EnvelopeFollower between load and store.
struct FollowerLanes
{
    static constexpr int kLanes = 8;

    alignas(32) float level[kLanes];
    alignas(32) float attack[kLanes];
    alignas(32) float release[kLanes];

    void load(int lane, const EnvelopeFollower& follower);
    void store(int lane, EnvelopeFollower& follower) const;

    // EnvelopeFollower::process for the lanes of m; returns the new levels (the old ones outside m).
    template <class V>
    typename V::F process(typename V::M m, typename V::F x);
};

template <class V>
typename V::F AdsrLanes::tick(typename V::M m)
{
    typename V::F next;
    typename V::I nextStage;
    step<V>(m, next, nextStage);
    V::store(level, next);
    V::store(stage, nextStage);
    return next;
}

template <class V>
typename V::F AdsrLanes::peek() const
{
    typename V::F next;
    typename V::I nextStage;
    step<V>(V::lanes((1u << kLanes) - 1u), next, nextStage);
    return next;
}

template <class V>
void AdsrLanes::step(typename V::M m, typename V::F& next, typename V::I& nextStage) const
{
    using F = typename V::F;
    using I = typename V::I;
    using M = typename V::M;

    const I s = V::load(stage);
    const F old = V::load(level);

    F attack = V::add(old, V::load(attackStep));
    const M peak = V::greaterEqual(attack, V::splat(1.0f));
    attack = V::select(peak, attack, V::splat(1.0f));
    const I afterAttack = V::select(peak, V::splat(int32_t{AdsrEnvelope::kAttack}), V::splat(int32_t{AdsrEnvelope::kDecay}));

    const F hold = V::load(sustain);
    F decay = V::sub(old, V::load(decayStep));
    const M held = V::lessEqual(decay, hold);
    decay = V::select(held, decay, hold);
    const I afterDecay = V::select(held, V::splat(int32_t{AdsrEnvelope::kDecay}), V::splat(int32_t{AdsrEnvelope::kSustain}));

    F fall = V::sub(old, V::load(releaseStep));
    const M ended = V::lessEqual(fall, V::splat(0.0f));
    fall = V::select(ended, fall, V::splat(0.0f));
    const I afterRelease = V::select(ended, V::splat(int32_t{AdsrEnvelope::kRelease}), V::splat(int32_t{AdsrEnvelope::kIdle}));

    // Sustain, idle (and any other stage) hold their level.
    const M inAttack = V::both(m, V::equal(s, V::splat(int32_t{AdsrEnvelope::kAttack})));
    const M inDecay = V::both(m, V::equal(s, V::splat(int32_t{AdsrEnvelope::kDecay})));
    const M inRelease = V::both(m, V::equal(s, V::splat(int32_t{AdsrEnvelope::kRelease})));
    next = V::select(inAttack, old, attack);
    next = V::select(inDecay, next, decay);
    next = V::select(inRelease, next, fall);
    nextStage = V::select(inAttack, s, afterAttack);
    nextStage = V::select(inDecay, nextStage, afterDecay);
    nextStage = V::select(inRelease, nextStage, afterRelease);
}

template <class V>
typename V::F FollowerLanes::process(typename V::M m, typename V::F x)
{
    using F = typename V::F;

    const F old = V::load(level);
    const F magnitude = V::abs(x);
    const F rise = V::add(magnitude, V::mul(V::sub(old, magnitude), V::load(attack)));
    const F fall = V::mul(old, V::load(release));
    F next = V::select(V::greater(magnitude, old), fall, rise);
    const F floor = V::splat(EnvelopeFollower::kFloor);
    next = V::select(V::less(next, floor), next, floor);
    next = V::select(m, old, next);
    V::store(level, next);
    return next;
}
