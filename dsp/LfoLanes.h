// Eight triangle LFOs and eight noise tables side by side: their read positions in lanes.
#pragma once

#include <cstdint>

#include "dsp/NoiseTable.h"
#include "dsp/TableLfo.h"

// Each lane mirrors one TableLfo between load and store. The triangle (every LFO the voices make) is worked
// out from the phase: its entries are whole multiples of 1/64, so this gives the table's bits without
// reading it. A lane with another shape reads its own table, one lane at a time.
struct LfoLanes
{
    static constexpr int kLanes = 8;

    alignas(32) uint32_t phase[kLanes];
    alignas(32) uint32_t increment[kLanes];
    alignas(64) const float* table[kLanes];
    uint32_t otherShapes = 0; // bit l set: lane l is not a triangle

    void load(int lane, const TableLfo& lfo);
    void store(int lane, TableLfo& lfo) const;

    // TableLfo::next of the lanes of advance (advanceBits the same lanes as bits): their values at the
    // present phases, and their phases moved on. Other lanes' values are not defined.
    template <class V>
    typename V::F next(typename V::M advance, uint32_t advanceBits);
    // What next would return for the lanes of laneBits, without moving on.
    template <class V>
    typename V::F peek(uint32_t laneBits) const;

private:
    template <class V>
    typename V::F valueAt(typename V::I p, uint32_t laneBits) const;
};

// Each lane mirrors one NoiseTable between load and store; the values stay in the table.
struct NoiseLanes
{
    static constexpr int kLanes = 8;

    alignas(64) const float* values[kLanes];
    alignas(32) int32_t readIndex[kLanes];
    alignas(32) int32_t count[kLanes];

    void load(int lane, const NoiseTable& noise);
    void store(int lane, NoiseTable& noise) const;

    // NoiseTable::next of the lanes in laneBits, written to out; the other entries of out are 0.
    void next(uint32_t laneBits, float* out);
};

template <class V>
typename V::F LfoLanes::next(typename V::M advance, uint32_t advanceBits)
{
    const typename V::I p = V::load(phase);
    V::store(phase, V::select(advance, p, V::add(p, V::load(increment))));
    return valueAt<V>(p, advanceBits);
}

template <class V>
typename V::F LfoLanes::peek(uint32_t laneBits) const
{
    return valueAt<V>(V::load(phase), laneBits);
}

template <class V>
typename V::F LfoLanes::valueAt(typename V::I p, uint32_t laneBits) const
{
    using F = typename V::F;
    using I = typename V::I;

    const I index = V::template shiftRight<24>(p);
    const F fraction = V::mul(V::toFloat(V::bitAnd(p, V::splat(0xFFFFFF))), V::splat(TableLfo::kFractionScale));

    // Entry i of the triangle is t(i) / 64 with t(i) = i below 64, 128 - i below 192, i - 256 up to 256.
    const auto entry = [](I i) {
        I t = V::select(V::greater(V::splat(64), i), V::sub(V::splat(128), i), i);
        t = V::select(V::greater(V::splat(192), i), V::sub(i, V::splat(256)), t);
        return V::mul(V::toFloat(t), V::splat(1.0f / 64.0f));
    };
    const F e0 = entry(index);
    const F e1 = entry(V::add(index, V::splat(1)));
    F value = V::add(e0, V::mul(V::sub(e1, e0), fraction));

    const uint32_t others = laneBits & otherShapes;
    if (others != 0)
    {
        alignas(32) uint32_t at[kLanes];
        alignas(32) float read[kLanes] = {};
        V::store(at, p);
        for (uint32_t rest = others; rest != 0; rest &= rest - 1)
        {
            const int l = __builtin_ctz(rest);
            const uint32_t i = at[l] >> 24;
            const float f = static_cast<float>(at[l] & 0xFFFFFFu) * TableLfo::kFractionScale;
            read[l] = table[l][i] + (table[l][i + 1] - table[l][i]) * f;
        }
        value = V::select(V::lanes(others), value, V::load(read));
    }
    return value;
}
