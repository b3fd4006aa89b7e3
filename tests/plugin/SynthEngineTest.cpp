// The engine's initialisation, note-frequency table and block loop while every voice is idle.
#include "TestHost.h"
#include "engine/NoteFrequencyTable.h"
#include "plugin/SynthPlugin.h"

#include <gtest/gtest.h>

#include <vector>

namespace
{
class SynthEngine : public ::testing::Test
{
protected:
    SynthPlugin plugin{quietHost};
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

TEST_F(SynthEngine, ControllerMapHasFourEntries)
{
    for (int32_t c = 0; c < kNumControllers; c++)
    {
        switch (c)
        {
        case 1:
            EXPECT_EQ(plugin.fCcMap[c], kFilterSustain);
            break;
        case 105:
            EXPECT_EQ(plugin.fCcMap[c], kLeakageCutoff);
            break;
        case 106:
            EXPECT_EQ(plugin.fCcMap[c], kResonance);
            break;
        case 107:
            EXPECT_EQ(plugin.fCcMap[c], kWarp);
            break;
        default:
            EXPECT_EQ(plugin.fCcMap[c], -1) << "controller " << c;
        }
    }
}

TEST_F(SynthEngine, StartingValuesAfterConstruction)
{
    EXPECT_EQ(plugin.fSampleClock, 0u);
    EXPECT_EQ(plugin.fNextVoice, 0);
    EXPECT_EQ(plugin.fBendTarget, 1.0f);
    EXPECT_EQ(plugin.fBendRatio, 1.0f);
    // the warp glides from the starting 0.5 to program 0's value over the first block
    EXPECT_EQ(plugin.fWarpSmoothed, 0.5f);
    EXPECT_EQ(plugin.fCurrentParams[kWarp], 0.7919553f);
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

TEST_F(SynthEngine, ReplacingBlockWithoutVoicesIsSilent)
{
    Buffers out(64, 0.25f);
    plugin.processReplacing(nullptr, out.channels, 64);
    for (size_t i = 0; i < 64; i++)
    {
        EXPECT_EQ(out.left[i], 0.0f);
        EXPECT_EQ(out.right[i], 0.0f);
    }
    EXPECT_EQ(plugin.fSampleClock, 64u);
}

TEST_F(SynthEngine, AccumulatingBlockWithoutVoicesLeavesTheOutputs)
{
    Buffers in(64, 1.0f);
    Buffers out(64, 0.25f);
    plugin.process(in.channels, out.channels, 64);
    for (size_t i = 0; i < 64; i++)
    {
        EXPECT_EQ(out.left[i], 0.25f);
        EXPECT_EQ(out.right[i], 0.25f);
    }
    EXPECT_EQ(plugin.fSampleClock, 64u);
}

TEST_F(SynthEngine, RampedValuesLandOnTheirTargets)
{
    plugin.setParameter(kWarp, 0.6f);
    plugin.fBendTarget = 1.12f;
    Buffers out(100, 0.0f);
    plugin.processReplacing(nullptr, out.channels, 100);
    EXPECT_EQ(plugin.fWarpSmoothed, 0.6f);
    EXPECT_EQ(plugin.fBendRatio, 1.12f);
}

TEST_F(SynthEngine, EmptyBlockStillSetsTheRampedValues)
{
    plugin.setParameter(kWarp, 0.2f);
    plugin.fBendTarget = 0.9f;
    plugin.processReplacing(nullptr, nullptr, 0);
    EXPECT_EQ(plugin.fWarpSmoothed, 0.2f);
    EXPECT_EQ(plugin.fBendRatio, 0.9f);
    EXPECT_EQ(plugin.fSampleClock, 0u);
    plugin.processReplacing(nullptr, nullptr, -16);
    EXPECT_EQ(plugin.fSampleClock, 0u);
}

TEST_F(SynthEngine, SampleClockWrapsInsteadOfOverflowing)
{
    plugin.fSampleClock = 0xFFFFFFF0u;
    Buffers out(32, 0.0f);
    plugin.processReplacing(nullptr, out.channels, 32);
    EXPECT_EQ(plugin.fSampleClock, 16u);
}

TEST_F(SynthEngine, EventsAreAcceptedWithReplyOne)
{
    VstEvents events{};
    EXPECT_EQ(plugin.processEvents(&events), 1);
    EXPECT_EQ(plugin.processEvents(nullptr), 1);
}
