// Tests of the wavetable LFO.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>

#include "dsp/TableLfo.h"

namespace
{
// At a sample rate of 256 Hz, 0.5 Hz advances the phase by exactly half a table entry per sample.
TableLfo halfEntryLfo(int shape)
{
    TableLfo lfo(256.0f);
    lfo.setShape(shape);
    lfo.setFrequency(0.5f);
    EXPECT_EQ(lfo.getIncrement(), 1u << 23);
    return lfo;
}

// Value of call number `call` (0-based) of next().
float valueAt(TableLfo lfo, int call)
{
    float value = 0.0f;
    for (int i = 0; i <= call; ++i)
        value = lfo.next();
    return value;
}
} // namespace

TEST(TableLfo, IncrementsAt44100)
{
    TableLfo lfo(44100.0f);
    EXPECT_EQ(lfo.getIncrement(), 97391u); // constructed at 1 Hz
    lfo.setFrequency(200.0f);
    EXPECT_EQ(lfo.getIncrement(), 19478309u);
    lfo.setFrequency(1.0f);
    EXPECT_EQ(lfo.getIncrement(), 97391u);
}

TEST(TableLfo, OneHertzCycleTakesJustOver44100Samples)
{
    TableLfo lfo(44100.0f);
    for (int i = 0; i < 44100; ++i)
        lfo.next();
    EXPECT_EQ(lfo.getPhase(), 44100u * 97391u); // not yet wrapped
    lfo.next();
    EXPECT_LT(lfo.getPhase(), 97391u); // wrapped
}

TEST(TableLfo, FirstValueIsEntryZero)
{
    EXPECT_EQ(valueAt(halfEntryLfo(kLfoTriangle), 0), 0.0f);
    EXPECT_EQ(valueAt(halfEntryLfo(kLfoSinus), 0), 0.0f);
    EXPECT_EQ(valueAt(halfEntryLfo(kLfoSawtooth), 0), -1.0f);
    EXPECT_EQ(valueAt(halfEntryLfo(kLfoSquare), 0), 1.0f);
    EXPECT_EQ(valueAt(halfEntryLfo(kLfoExponent), 0), -1.0f);
}

TEST(TableLfo, TrianglePeaksAtTheQuarters)
{
    EXPECT_EQ(valueAt(halfEntryLfo(kLfoTriangle), 128), 1.0f);  // entry 64
    EXPECT_EQ(valueAt(halfEntryLfo(kLfoTriangle), 256), 0.0f);  // entry 128
    EXPECT_EQ(valueAt(halfEntryLfo(kLfoTriangle), 384), -1.0f); // entry 192
    EXPECT_EQ(valueAt(halfEntryLfo(kLfoTriangle), 1), 1.0f / 128.0f);
}

TEST(TableLfo, SquareEdgeIsOneTableStepWide)
{
    TableLfo lfo = halfEntryLfo(kLfoSquare);
    EXPECT_EQ(valueAt(lfo, 254), 1.0f);  // entry 127
    EXPECT_EQ(valueAt(lfo, 255), 0.0f);  // halfway from 127 to 128
    EXPECT_EQ(valueAt(lfo, 256), -1.0f); // entry 128
}

TEST(TableLfo, GuardPointClosesTheCycle)
{
    // past entry 255 the interpolation runs towards the guard point, then the phase wraps to entry 0
    EXPECT_EQ(valueAt(halfEntryLfo(kLfoSawtooth), 510), 1.0f);
    EXPECT_EQ(valueAt(halfEntryLfo(kLfoSawtooth), 511), 0.0f);
    EXPECT_EQ(valueAt(halfEntryLfo(kLfoSawtooth), 512), -1.0f);
    EXPECT_EQ(valueAt(halfEntryLfo(kLfoTriangle), 511), -1.0f / 128.0f);
    EXPECT_EQ(valueAt(halfEntryLfo(kLfoSquare), 511), 0.0f); // -1 towards the guard point +1
}

TEST(TableLfo, SinusAndExponentShapes)
{
    EXPECT_EQ(valueAt(halfEntryLfo(kLfoSinus), 128), 1.0f);
    EXPECT_EQ(valueAt(halfEntryLfo(kLfoSinus), 384), -1.0f);
    EXPECT_NEAR(valueAt(halfEntryLfo(kLfoSinus), 64), std::sqrt(0.5), 1e-7);

    TableLfo lfo = halfEntryLfo(kLfoExponent);
    float previous = lfo.next();
    for (int call = 1; call <= 256; ++call) // rises to +1 at entry 128
    {
        const float v = lfo.next();
        ASSERT_GT(v, previous) << call;
        previous = v;
    }
    EXPECT_EQ(previous, 1.0f);
    for (int call = 257; call <= 512; ++call) // falls back to -1
    {
        const float v = lfo.next();
        ASSERT_LT(v, previous) << call;
        previous = v;
    }
    EXPECT_EQ(previous, -1.0f);
}

TEST(TableLfo, UnknownShapeKeepsTheTable)
{
    TableLfo lfo = halfEntryLfo(kLfoSquare);
    lfo.setShape(7);
    lfo.setShape(-1);
    EXPECT_EQ(valueAt(lfo, 256), -1.0f);
}

TEST(TableLfo, FrequencyChangeKeepsThePhase)
{
    TableLfo lfo(44100.0f);
    lfo.setFrequency(37.0f);
    for (int i = 0; i < 1000; ++i)
        lfo.next();
    const uint32_t phase = lfo.getPhase();
    lfo.setFrequency(3.0f);
    lfo.setShape(kLfoSinus);
    EXPECT_EQ(lfo.getPhase(), phase);
}

TEST(TableLfo, NegativeFrequencyRunsBackwards)
{
    TableLfo lfo(44100.0f);
    lfo.setFrequency(-1.0f);
    EXPECT_EQ(lfo.getIncrement(), 0u - 97391u);
    EXPECT_EQ(lfo.next(), 0.0f);
    const float second = lfo.next(); // just before the end of the cycle
    EXPECT_LT(second, 0.0f);
    EXPECT_GT(second, -1.0f / 64.0f);
}

TEST(TableLfo, UnrepresentableFrequenciesStopThePhase)
{
    TableLfo lfo(44100.0f);
    const float bad[] = {std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::infinity(),
                         -std::numeric_limits<float>::infinity(), 1e30f, -1e30f};
    for (float hz : bad)
    {
        lfo.setFrequency(hz);
        EXPECT_EQ(lfo.getIncrement(), 0u) << hz;
    }
    TableLfo silent(0.0f);
    EXPECT_EQ(silent.getIncrement(), 0u);
    EXPECT_TRUE(std::isfinite(silent.next()));
}

TEST(TableLfo, NewSampleRateActsAtTheNextFrequency)
{
    TableLfo lfo(44100.0f);
    lfo.setSampleRate(88200.0f);
    EXPECT_EQ(lfo.getIncrement(), 97391u);
    lfo.setFrequency(2.0f);
    EXPECT_EQ(lfo.getIncrement(), 97391u);
}

TEST(TableLfo, ShapeNames)
{
    EXPECT_STREQ(lfoShapeName(kLfoTriangle), "triangle");
    EXPECT_STREQ(lfoShapeName(kLfoSinus), "sinus");
    EXPECT_STREQ(lfoShapeName(kLfoSawtooth), "sawtooth");
    EXPECT_STREQ(lfoShapeName(kLfoSquare), "square");
    EXPECT_STREQ(lfoShapeName(kLfoExponent), "exponent");
    EXPECT_STREQ(lfoShapeName(5), "");
    EXPECT_STREQ(lfoShapeName(-1), "");
}
