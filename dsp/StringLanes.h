// Eight string delay lines side by side: their tick and retune state in lanes, run by tick and setDelay below.
#pragma once

#include <cstdint>

#include "dsp/StringDelayLine.h"

// Each lane mirrors one StringDelayLine between load and store: the line's buffers stay where they are
// (the lane writes and reads them through its pointers), the indices, weights, burst counters and last
// output live here. tick and setDelay do exactly the line's operations, lane by lane, for the lanes of a
// mask; the others are left as they are.
struct StringLanes
{
    static constexpr int kLanes = 8;

    alignas(64) float* buffer[kLanes];
    alignas(64) const float* excitation[kLanes];
    alignas(32) int32_t size[kLanes];
    alignas(32) int32_t writeIndex[kLanes];
    alignas(32) int32_t readIndex[kLanes];
    alignas(32) int32_t delayCount[kLanes];
    alignas(32) float fraction[kLanes];
    alignas(32) float position[kLanes];
    alignas(32) float w0[kLanes]; // newest tap
    alignas(32) float w1[kLanes];
    alignas(32) float w2[kLanes];
    alignas(32) float w3[kLanes]; // oldest tap
    alignas(32) int32_t burstPosition[kLanes];
    alignas(32) int32_t burstRemaining[kLanes];
    alignas(32) float lastOutput[kLanes];

    // The lane keeps pointers into the line's buffers until the next load.
    void load(int lane, StringDelayLine& line);
    void store(int lane, StringDelayLine& line) const;

    // StringDelayLine::tick of every lane in run (runBits the same lanes as bits); returns the outputs.
    template <class V>
    typename V::F tick(typename V::M run, uint32_t runBits, typename V::F input);

    // StringDelayLine::setDelay of every lane in m.
    template <class V>
    void setDelay(typename V::M m, typename V::F delay);
};

template <class V>
typename V::F StringLanes::tick(typename V::M run, uint32_t runBits, typename V::F input)
{
    using F = typename V::F;
    using I = typename V::I;

    alignas(32) float in[kLanes];
    V::store(in, input);
    // Each lane's four taps, oldest first, are four consecutive samples unless they wrap around the end of
    // the buffer; those few are copied in order, and lanes outside run read zeros, which nobody keeps.
    static constexpr float kSilence[4] = {};
    alignas(16) float wrapped[kLanes][4];
    const float* rows[kLanes];
    for (int l = 0; l < kLanes; ++l)
        rows[l] = kSilence;
    for (uint32_t rest = runBits; rest != 0; rest &= rest - 1)
    {
        const int l = __builtin_ctz(rest);
        float* line = buffer[l];
        // written before the taps are read: with a delay count of 1 the newest but one is this sample
        line[writeIndex[l]] = in[l];
        const int r = readIndex[l];
        const int n = size[l];
        if (r <= n - 4)
        {
            rows[l] = line + r;
            continue;
        }
        int i = r;
        for (int t = 0; t < 4; ++t)
        {
            wrapped[l][t] = line[i];
            if (++i >= n)
                i -= n;
        }
        rows[l] = wrapped[l];
    }
    F oldest;
    F older;
    F newer;
    F newest;
    V::columns(rows, oldest, older, newer, newest);

    F out = V::add(V::add(V::add(V::mul(V::load(w0), newest), V::mul(V::load(w1), newer)), V::mul(V::load(w2), older)),
                   V::mul(V::load(w3), oldest));

    const I zero = V::splat(0);
    const I one = V::splat(1);
    I remaining = V::load(burstRemaining);
    const typename V::M burst = V::both(run, V::greater(remaining, zero));
    const uint32_t burstBits = V::bits(burst);
    if (burstBits != 0)
    {
        alignas(32) float drawn[kLanes] = {};
        for (uint32_t rest = burstBits; rest != 0; rest &= rest - 1)
        {
            const int l = __builtin_ctz(rest);
            drawn[l] = excitation[l][burstPosition[l]];
        }
        const F withBurst = V::add(out, V::mul(V::splat(StringDelayLine::kBurstWeight), V::load(drawn)));
        out = V::select(burst, out, withBurst);
        V::store(burstPosition, V::select(burst, V::load(burstPosition), V::add(V::load(burstPosition), one)));
        V::store(burstRemaining, V::select(burst, remaining, V::sub(remaining, one)));
    }
    V::store(lastOutput, V::select(run, V::load(lastOutput), out));

    // Both indices move on by one and wrap at the size.
    const I n = V::load(size);
    I w = V::add(V::load(writeIndex), one);
    w = V::select(V::greater(n, w), V::sub(w, n), w);
    I r = V::add(V::load(readIndex), one);
    r = V::select(V::greater(n, r), V::sub(r, n), r);
    V::store(writeIndex, V::select(run, V::load(writeIndex), w));
    V::store(readIndex, V::select(run, V::load(readIndex), r));
    return out;
}

template <class V>
void StringLanes::setDelay(typename V::M m, typename V::F delay)
{
    using F = typename V::F;
    using I = typename V::I;

    const F zero = V::splat(0.0f);
    const F most = V::splat(StringDelayLine::kMaxDelay);
    // NaN and negative delays count as 0; infinity and everything above 2^24 as 2^24.
    F x = V::select(V::greaterEqual(delay, zero), zero, delay);
    x = V::select(V::greater(x, most), x, most);

    const F c = V::ceil(x);
    I count = V::add(V::toInt(c), V::splat(1));
    F frac = V::sub(c, x);
    const F d = V::sub(V::splat(2.0f), frac);
    const F one = V::splat(1.0f);
    const F two = V::splat(2.0f);
    const F three = V::splat(3.0f);
    const F dm1 = V::sub(d, one);
    const F dm2 = V::sub(d, two);
    const F dm3 = V::sub(d, three);
    const F c0 = V::mul(V::mul(V::mul(dm1, dm2), dm3), V::splat(-0.16666667f));
    const F c1 = V::mul(V::mul(V::mul(d, dm2), dm3), V::splat(0.5f));
    const F c2 = V::mul(V::mul(V::mul(d, dm1), dm3), V::splat(-0.5f));
    const F c3 = V::mul(V::mul(V::mul(d, dm1), dm2), V::splat(0.16666667f));

    // Too long for the buffer: the weights stay those of the requested fraction.
    const I n = V::load(size);
    const typename V::M tooLong = V::notMask(V::greater(n, count));
    count = V::select(tooLong, count, V::sub(n, V::splat(1)));
    frac = V::select(tooLong, frac, zero);

    I r = V::sub(V::load(writeIndex), count);
    r = V::select(V::greater(V::splat(0), r), r, V::add(r, n));

    V::store(delayCount, V::select(m, V::load(delayCount), count));
    V::store(fraction, V::select(m, V::load(fraction), frac));
    V::store(position, V::select(m, V::load(position), d));
    V::store(w0, V::select(m, V::load(w0), c0));
    V::store(w1, V::select(m, V::load(w1), c1));
    V::store(w2, V::select(m, V::load(w2), c2));
    V::store(w3, V::select(m, V::load(w3), c3));
    V::store(readIndex, V::select(m, V::load(readIndex), r));
}
