// The engine's initialisation, note-frequency table and block loop while every voice is idle.
#include "EngineTestSupport.h"
#include "engine/NoteFrequencyTable.h"

#include <gtest/gtest.h>

#include <vector>

namespace
{
class EngineBlocks : public ::testing::Test
{
protected:
    std::unique_ptr<SynthEngine> owner = enginetest::makeEngine();
    SynthEngine& engine = *owner;
};

struct Buffers
{
    explicit Buffers(int frames, float fill)
        : left(static_cast<size_t>(frames), fill), right(static_cast<size_t>(frames), fill)
    {
    }
    std::vector<float> left;
    std::vector<float> right;
    float* channels[2] = {left.data(), right.data()};
};
} // namespace

TEST_F(EngineBlocks, ControllerMapHasFourEntries)
{
    for (int32_t c = 0; c < kNumControllers; c++)
    {
        switch (c)
        {
        case 1:
            EXPECT_EQ(engine.fCcMap[c], kFilterSustain);
            break;
        case 105:
            EXPECT_EQ(engine.fCcMap[c], kLeakageCutoff);
            break;
        case 106:
            EXPECT_EQ(engine.fCcMap[c], kResonance);
            break;
        case 107:
            EXPECT_EQ(engine.fCcMap[c], kWarp);
            break;
        default:
            EXPECT_EQ(engine.fCcMap[c], -1) << "controller " << c;
        }
    }
}

TEST_F(EngineBlocks, StartingValuesAfterConstruction)
{
    EXPECT_EQ(engine.fSampleClock, 0u);
    EXPECT_EQ(engine.fNextVoice, 0);
    EXPECT_EQ(engine.fBendTarget, 1.0f);
    EXPECT_EQ(engine.fBendRatio, 1.0f);
    // the warp glides from the starting 0.5 to program 0's value over the first block
    EXPECT_EQ(engine.fWarpSmoothed, 0.5f);
    EXPECT_EQ(engine.fCurrentParams[kWarp], 0.7919553f);
}

TEST(NoteFrequencyTable, EqualTemperamentFromNoteZero)
{
    const NoteFrequencies& table = noteFrequencyTable();
    EXPECT_NEAR(table[69], 440.0f, 1e-3f);
    EXPECT_NEAR(table[57], 220.0f, 1e-3f);
    EXPECT_NEAR(table[0], 8.1757989f, 1e-5f);
    EXPECT_NEAR(table[127], 12543.854f, 0.01f);
    for (size_t i = 1; i < table.size(); i++)
        EXPECT_NEAR(table[i] / table[i - 1], 1.0594631f, 1e-6f) << "note " << i;
    EXPECT_EQ(&table, &noteFrequencyTable()) << "built once";
    EXPECT_EQ(table, buildNoteFrequencyTable());
}

TEST_F(EngineBlocks, ReplacingBlockWithoutVoicesIsSilent)
{
    Buffers out(64, 0.25f);
    engine.renderBlock(nullptr, out.channels, 64, true);
    for (size_t i = 0; i < 64; i++)
    {
        EXPECT_EQ(out.left[i], 0.0f);
        EXPECT_EQ(out.right[i], 0.0f);
    }
    EXPECT_EQ(engine.fSampleClock, 64u);
}

TEST_F(EngineBlocks, AccumulatingBlockWithoutVoicesLeavesTheOutputs)
{
    Buffers in(64, 1.0f);
    Buffers out(64, 0.25f);
    engine.renderBlock(in.channels, out.channels, 64, false);
    for (size_t i = 0; i < 64; i++)
    {
        EXPECT_EQ(out.left[i], 0.25f);
        EXPECT_EQ(out.right[i], 0.25f);
    }
    EXPECT_EQ(engine.fSampleClock, 64u);
}

TEST_F(EngineBlocks, RampedValuesLandOnTheirTargets)
{
    engine.setParameter(kWarp, 0.6f);
    engine.fBendTarget = 1.12f;
    Buffers out(100, 0.0f);
    engine.renderBlock(nullptr, out.channels, 100, true);
    EXPECT_EQ(engine.fWarpSmoothed, 0.6f);
    EXPECT_EQ(engine.fBendRatio, 1.12f);
}

TEST_F(EngineBlocks, EmptyBlockStillSetsTheRampedValues)
{
    engine.setParameter(kWarp, 0.2f);
    engine.fBendTarget = 0.9f;
    engine.renderBlock(nullptr, nullptr, 0, true);
    EXPECT_EQ(engine.fWarpSmoothed, 0.2f);
    EXPECT_EQ(engine.fBendRatio, 0.9f);
    EXPECT_EQ(engine.fSampleClock, 0u);
    engine.renderBlock(nullptr, nullptr, -16, true);
    EXPECT_EQ(engine.fSampleClock, 0u);
}

TEST_F(EngineBlocks, SampleClockWrapsInsteadOfOverflowing)
{
    engine.fSampleClock = 0xFFFFFFF0u;
    Buffers out(32, 0.0f);
    engine.renderBlock(nullptr, out.channels, 32, true);
    EXPECT_EQ(engine.fSampleClock, 16u);
}
