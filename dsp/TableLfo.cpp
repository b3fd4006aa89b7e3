// Shape tables and frequency set-up of the wavetable LFO.
#include "dsp/TableLfo.h"

#include <cmath>

namespace
{
const char* const kLfoShapeNames[kNumLfoShapes] = {"triangle", "sinus", "sawtooth", "square", "exponent"};

// Extended-precision increments beyond this are no 64-bit integer; they (and NaN) give increment 0.
constexpr long double kInt64Limit = 9223372036854775808.0L; // 2^63
} // namespace

const char* lfoShapeName(int shape)
{
    if (shape < 0 || shape >= kNumLfoShapes)
        return "";
    return kLfoShapeNames[shape];
}

TableLfo::TableLfo(float sampleRate)
    : fSampleRate(sampleRate)
{
    setShape(kLfoTriangle);
    setFrequency(1.0f);
}

void TableLfo::setFrequency(float hz)
{
    // Phase steps of 2^-32 cycle: at 44100 Hz one step of the increment is about 1.03e-5 Hz.
    const long double steps = 256.0L * static_cast<long double>(hz) / static_cast<long double>(fSampleRate)
                              * 16777216.0L;
    int64_t whole = 0;
    if (steps > -kInt64Limit && steps < kInt64Limit) // false for NaN and infinities
        whole = static_cast<int64_t>(steps);         // truncates toward zero
    fIncrement = static_cast<uint32_t>(static_cast<uint64_t>(whole));
}

void TableLfo::setShape(int shape)
{
    if (shape >= 0 && shape < kNumLfoShapes)
        fShape = shape;
    switch (shape)
    {
    case kLfoTriangle:
        for (int i = 0; i < 64; ++i)
        {
            fTable[i] = static_cast<float>(i) / 64.0f;
            fTable[64 + i] = static_cast<float>(64 - i) / 64.0f;
            fTable[128 + i] = static_cast<float>(-i) / 64.0f;
            fTable[192 + i] = static_cast<float>(i - 64) / 64.0f;
        }
        fTable[256] = 0.0f;
        break;
    case kLfoSinus:
    {
        const double pi = 4.0 * std::atan(1.0);
        for (int i = 0; i <= kTableSize; ++i)
            fTable[i] = static_cast<float>(std::sin(2.0 * pi * i / 256.0));
        break;
    }
    case kLfoSawtooth:
        for (int i = 0; i < kTableSize; ++i)
            fTable[i] = static_cast<float>(i) / 255.0f * 2.0f - 1.0f;
        fTable[256] = -1.0f;
        break;
    case kLfoSquare:
        for (int i = 0; i < 128; ++i)
        {
            fTable[i] = 1.0f;
            fTable[128 + i] = -1.0f;
        }
        fTable[256] = 1.0f;
        break;
    case kLfoExponent:
    {
        const float e1 = std::exp(1.0f);
        for (int i = 0; i < 128; ++i)
        {
            fTable[i] = (std::exp(static_cast<float>(i) / 128.0f) - 1.0f) / (e1 - 1.0f) * 2.0f - 1.0f;
            fTable[128 + i] = (std::exp(static_cast<float>(128 - i) / 128.0f) - 1.0f) / (e1 - 1.0f) * 2.0f - 1.0f;
        }
        fTable[256] = -1.0f;
        break;
    }
    default:
        break;
    }
}
