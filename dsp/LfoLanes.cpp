// Moving LFO phases and noise positions into their lanes and back.
#include "dsp/LfoLanes.h"

void LfoLanes::load(int lane, const TableLfo& lfo)
{
    phase[lane] = lfo.fPhase;
    increment[lane] = lfo.fIncrement;
    table[lane] = lfo.fTable.data();
    const uint32_t bit = 1u << lane;
    otherShapes = lfo.fShape == kLfoTriangle ? otherShapes & ~bit : otherShapes | bit;
}

void LfoLanes::store(int lane, TableLfo& lfo) const
{
    lfo.fPhase = phase[lane];
}

void NoiseLanes::load(int lane, const NoiseTable& noise)
{
    values[lane] = noise.fValues.data();
    readIndex[lane] = noise.fReadIndex;
    count[lane] = noise.fCount;
}

void NoiseLanes::store(int lane, NoiseTable& noise) const
{
    noise.fReadIndex = readIndex[lane];
}

void NoiseLanes::next(uint32_t laneBits, float* out)
{
    for (int l = 0; l < kLanes; ++l)
        out[l] = 0.0f;
    for (uint32_t rest = laneBits; rest != 0; rest &= rest - 1)
    {
        const int l = __builtin_ctz(rest);
        out[l] = values[l][readIndex[l]];
        if (++readIndex[l] >= count[l])
            readIndex[l] = 0;
    }
}
