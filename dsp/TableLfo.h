// Wavetable LFO: one cycle in 256 entries plus a guard point, 8.24 fixed-point phase, linear interpolation.
#pragma once

#include <array>
#include <cstdint>

enum LfoShape : int
{
    kLfoTriangle = 0,
    kLfoSinus = 1,
    kLfoSawtooth = 2,
    kLfoSquare = 3,
    kLfoExponent = 4,
    kNumLfoShapes = 5,
};

// "triangle", "sinus", "sawtooth", "square", "exponent"; "" for any other index.
const char* lfoShapeName(int shape);

class TableLfo
{
public:
    static constexpr int kTableSize = 256; // entries per cycle; one more is stored as the guard point
    static constexpr float kFractionScale = 5.9604645e-8f; // 2^-24, the low 24 phase bits as a fraction

    explicit TableLfo(float sampleRate);

    // Never touches the phase, so a change of rate does not jump the output. Negative runs backwards.
    void setFrequency(float hz);

    // Shapes 0..4; any other index keeps the present table.
    void setShape(int shape);

    // The value at the phase before this call's advance: the first call returns entry 0.
    float next()
    {
        const uint32_t index = fPhase >> 24;
        const float fraction = static_cast<float>(fPhase & 0xFFFFFFu) * kFractionScale;
        fPhase += fIncrement; // wraps modulo 2^32
        return fTable[index] + (fTable[index + 1] - fTable[index]) * fraction;
    }

    // Only stored: the increment follows at the next setFrequency.
    void setSampleRate(float sampleRate) { fSampleRate = sampleRate; }

    uint32_t getIncrement() const { return fIncrement; }
    // The shape the table was last filled with.
    int getShape() const { return fShape; }
    uint32_t getPhase() const { return fPhase; }

private:
    friend struct LfoLanes; // runs eight triangle LFOs side by side

    float fSampleRate;
    int fShape = kLfoTriangle;
    uint32_t fPhase = 0;
    uint32_t fIncrement = 0;
    std::array<float, kTableSize + 1> fTable{};
};
