// Program records, selection, names, copies, chunk images and the factory presets.
#include "TestHost.h"
#include "plugin/SynthPlugin.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace
{
class ShellPrograms : public ::testing::Test
{
protected:
    std::string indexedName(int32_t index)
    {
        char text[kProgramNameSize + 8];
        std::memset(text, 0x7F, sizeof text);
        if (!plugin.getProgramNameIndexed(0, index, text))
            return "<none>";
        return std::string(text, strnlen(text, kProgramNameSize));
    }
    std::string currentName()
    {
        char text[kProgramNameSize + 8];
        std::memset(text, 0x7F, sizeof text);
        plugin.getProgramName(text);
        for (size_t i = kProgramNameSize; i < sizeof text; i++)
            EXPECT_EQ(text[i], 0x7F) << "byte " << i << " written";
        return std::string(text, strnlen(text, kProgramNameSize));
    }

    SynthPlugin plugin{quietHost};
};

// Records every setParameter call, in order.
class RecordingPlugin : public SynthPlugin
{
public:
    RecordingPlugin() : SynthPlugin(quietHost) {}
    std::vector<int32_t> calls;

protected:
    void parameterChanged(int32_t index) override { calls.push_back(index); }
};

const char* const kFactoryNames[] = {"pneumatic vorn", "chimar", "little dissonant vorn", "soft vorn",
                                     "inner vibration", "rattling vorn cc105", "hybrid 1", "rubbarb"};
} // namespace

TEST_F(ShellPrograms, StartsOnTheFirstFactoryPreset)
{
    EXPECT_EQ(plugin.getProgram(), 0);
    EXPECT_EQ(currentName(), "pneumatic vorn");
    for (int32_t i = 0; i < 8; i++)
        EXPECT_EQ(indexedName(i), kFactoryNames[i]);
    for (int32_t i = 8; i < kNumPrograms; i++)
        EXPECT_EQ(indexedName(i), "Init");
    EXPECT_EQ(indexedName(kNumPrograms), "<none>");
    EXPECT_EQ(indexedName(-1), "<none>");
}

TEST_F(ShellPrograms, ConstructionAppliesProgramZero)
{
    EXPECT_EQ(plugin.getParameter(kPolyphony), 1.0f);
    plugin.engine().applyPostedChanges(); // as the next block does
    EXPECT_EQ(plugin.engine().fVoiceCount, 8);
    EXPECT_EQ(plugin.getParameter(kBodyType1), 0.875f); // "t-Random"
    EXPECT_EQ(plugin.currentProgram().fParams[kBodyType1], 0.875f);
    EXPECT_EQ(plugin.currentProgram().fParams[kBodyType2], 0.375f); // "Varnesi"
    EXPECT_EQ(plugin.programBank().program(static_cast<int32_t>(1)).fParams[kBodyType1], 0.21475875f) << "not quantised until selected";
}

TEST_F(ShellPrograms, SelectingAnInitProgramQuantisesItsBodyTypes)
{
    plugin.setProgram(8);
    EXPECT_EQ(plugin.getProgram(), 8);
    EXPECT_EQ(plugin.getParameter(kBodyType1), 0.2083333283662796f);
    EXPECT_EQ(plugin.programBank().program(static_cast<int32_t>(8)).fParams[kBodyType1], 0.2083333283662796f);
    EXPECT_EQ(plugin.getParameter(kBodyType2), 0.625f);
    EXPECT_EQ(plugin.getParameter(kBrightness), 0.335581f);
    EXPECT_EQ(plugin.getParameter(kLeakageCutoff), 3e-05f);
    plugin.engine().applyPostedChanges();
    EXPECT_EQ(plugin.engine().fVoiceCount, 4);
}

TEST_F(ShellPrograms, InitRecordHoldsItsThirtyEightStoredFloats)
{
    const float init[kNumParams] = {
        0.335581f,  0.0f,       0.8f,       0.96f,      0.99f,      0.009155f,  0.09999f,   0.011719f,
        0.059207f,  0.98f,      3e-05f,     1.0f,       0.003f,     0.281f,     0.98f,      0.01144f,
        0.161f,     0.019196f,  0.01f,      0.0f,       1.0f,       0.91f,      0.8f,       0.001f,
        0.05f,      0.2f,       0.6f,       0.27f,      0.125f,     0.44f,      0.04f,      0.5f,
        0.5f,       0.5f,       0.0f,       0.3f,       0.5f,       0.0f,
    };
    for (int32_t program = 8; program < kNumPrograms; program++)
    {
        const SynthProgram& record = plugin.programBank().program(static_cast<int32_t>(static_cast<size_t>(program)));
        for (int32_t i = 0; i < kNumParams; i++)
            EXPECT_EQ(record.fParams[i], init[i]) << "program " << program << " parameter " << i;
        EXPECT_STREQ(record.name, "Init");
        for (size_t b = 5; b < sizeof record.name; b++)
            EXPECT_EQ(record.name[b], '\0');
    }
}

TEST_F(ShellPrograms, ProgramValuesAreAppliedInTheirFixedOrder)
{
    RecordingPlugin recorder;
    recorder.calls.clear();
    recorder.setProgram(3);
    const std::vector<int32_t> expected = {3,  4,  5,  15, 8,  13, 14, 12, 34, 9,  0,  25, 26,
                                           22, 21, 20, 1,  2,  19, 27, 28, 29, 30, 35, 6,  7,
                                           16, 17, 23, 24, 10, 18, 11, 31, 32, 33, 36, 37};
    EXPECT_EQ(recorder.calls, expected);
}

TEST_F(ShellPrograms, OutOfRangeProgramsAreIgnored)
{
    plugin.setProgram(2);
    plugin.setProgram(kNumPrograms);
    plugin.setProgram(-1);
    EXPECT_EQ(plugin.getProgram(), 2);
}

TEST_F(ShellPrograms, PresetFourIsTheLongestFilter)
{
    plugin.setProgram(4);
    plugin.engine().applyPostedChanges();
    EXPECT_EQ(plugin.engine().fFilterOrder, 30);
    char text[32];
    plugin.getParameterName(kQuantization, text);
    EXPECT_STREQ(text, "Quantize");
    plugin.getParameterDisplay(kQuantization, text);
    EXPECT_STREQ(text, "2 Q");
}

TEST_F(ShellPrograms, PresetFiveHasFourVoicesAndNoSecondBody)
{
    plugin.setProgram(5);
    plugin.engine().applyPostedChanges();
    EXPECT_EQ(plugin.engine().fVoiceCount, 4);
    EXPECT_FALSE(plugin.engine().fBodyOn2);
    char text[32];
    plugin.getParameterDisplay(kBodyType2, text);
    EXPECT_STREQ(text, "None");
}

TEST_F(ShellPrograms, FactoryValuesAreTheStoredFloats)
{
    const auto& bank = plugin.programBank();
    EXPECT_EQ(bank.program(static_cast<int32_t>(1)).fParams[kCutoff2], 0.28100002f);
    EXPECT_NE(bank.program(static_cast<int32_t>(1)).fParams[kCutoff2], bank.program(static_cast<int32_t>(8)).fParams[kCutoff2]) << "0.28100002 is not the 'Init' 0.281";
    EXPECT_EQ(bank.program(static_cast<int32_t>(7)).fParams[kVolume], 0.84450483f);
    EXPECT_EQ(bank.program(static_cast<int32_t>(2)).fParams[kQuantization], 0.5033418f);
    EXPECT_EQ(bank.program(static_cast<int32_t>(6)).fParams[kPolarity2], 0.25504318f);
    EXPECT_EQ(bank.program(static_cast<int32_t>(4)).fParams[kLFO2Amp], 0.7315287f);
    for (int p = 0; p < 8; p++)
        EXPECT_EQ(bank.program(static_cast<int32_t>(static_cast<size_t>(p))).fParams[kQuality], 0.0f);
}

TEST_F(ShellPrograms, PresetNamesKeepTheInitBytesAfterTheirTerminator)
{
    const SynthProgram& program = plugin.programBank().program(static_cast<int32_t>(2));
    EXPECT_STREQ(program.name, "little dissonant vorn");
    EXPECT_EQ(program.name[22], '\0');
    EXPECT_EQ(program.name[23], '\0');
}

TEST_F(ShellPrograms, NamesOfTwentyThreeCharactersSurvive)
{
    char name[] = "abcdefghijklmnopqrstuvw";
    plugin.setProgramName(name);
    EXPECT_EQ(currentName(), "abcdefghijklmnopqrstuvw");
}

TEST_F(ShellPrograms, LongerNamesAreCutAndTheNextRecordIsUntouched)
{
    const SynthProgram neighbour = plugin.programBank().program(static_cast<int32_t>(1));
    char name[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    plugin.setProgramName(name);
    EXPECT_EQ(currentName(), "abcdefghijklmnopqrstuvw");
    EXPECT_EQ(std::memcmp(&neighbour, &plugin.programBank().program(static_cast<int32_t>(1)), sizeof neighbour), 0);
    plugin.setProgramName(nullptr);
    plugin.getProgramName(nullptr);
    EXPECT_EQ(currentName(), "abcdefghijklmnopqrstuvw");
}

TEST_F(ShellPrograms, UnterminatedStoredNamesAreReadCut)
{
    SynthProgram program = plugin.programBank().program(static_cast<int32_t>(0));
    std::memset(program.name, 'x', sizeof program.name);
    ASSERT_EQ(plugin.setChunk(&program, kPresetChunkSize, true), 1);
    EXPECT_EQ(currentName(), std::string(23, 'x'));
    EXPECT_EQ(indexedName(0), std::string(23, 'x'));
}

TEST_F(ShellPrograms, CopyProgramCopiesTheCurrentRecord)
{
    EXPECT_TRUE(plugin.copyProgram(31));
    EXPECT_EQ(indexedName(31), "pneumatic vorn");
    EXPECT_EQ(std::memcmp(&plugin.programBank().program(static_cast<int32_t>(31)), &plugin.programBank().program(static_cast<int32_t>(0)), sizeof(SynthProgram)), 0);
    EXPECT_FALSE(plugin.copyProgram(kNumPrograms));
    EXPECT_FALSE(plugin.copyProgram(-1));
}

TEST_F(ShellPrograms, ChunksAreCopiesOfTheRecords)
{
    void* data = nullptr;
    EXPECT_EQ(plugin.getChunk(&data, false), 5632);
    EXPECT_EQ(std::memcmp(data, plugin.programBank().records(), 5632), 0);
    plugin.setProgram(3);
    EXPECT_EQ(plugin.getChunk(&data, true), 176);
    EXPECT_EQ(std::memcmp(data, &plugin.programBank().program(3), 176), 0);
    EXPECT_EQ(plugin.getChunk(nullptr, true), 0);
}

TEST_F(ShellPrograms, PresetChunkOfTheWrongSizeIsRefused)
{
    const ProgramBank before = plugin.programBank();
    SynthProgram program{};
    EXPECT_EQ(plugin.setChunk(&program, 175, true), 0);
    EXPECT_EQ(plugin.setChunk(&program, 177, true), 0);
    EXPECT_EQ(plugin.setChunk(&program, 5632, true), 0);
    EXPECT_EQ(plugin.setChunk(nullptr, 176, true), 0);
    EXPECT_EQ(std::memcmp(before.records(), plugin.programBank().records(), kBankChunkSize), 0);
}

TEST_F(ShellPrograms, BankChunkOfTheWrongSizeIsRefused)
{
    const ProgramBank before = plugin.programBank();
    std::vector<SynthProgram> bank(kNumPrograms + 1);
    EXPECT_EQ(plugin.setChunk(bank.data(), 5631, false), 0);
    EXPECT_EQ(plugin.setChunk(bank.data(), 176, false), 0);
    EXPECT_EQ(plugin.setChunk(bank.data(), -5632, false), 0);
    EXPECT_EQ(plugin.setChunk(nullptr, 5632, false), 0);
    EXPECT_EQ(std::memcmp(before.records(), plugin.programBank().records(), kBankChunkSize), 0);
}

TEST_F(ShellPrograms, RestoredPresetIsAppliedOnlyWhenSelected)
{
    SynthProgram program = plugin.programBank().program(static_cast<int32_t>(0));
    program.fParams[kBrightness] = 0.75f;
    const float applied = plugin.getParameter(kBrightness);
    EXPECT_EQ(plugin.setChunk(&program, 176, true), 1);
    EXPECT_EQ(plugin.getParameter(kBrightness), applied);
    EXPECT_EQ(plugin.currentProgram().fParams[kBrightness], 0.75f);
    plugin.setProgram(0);
    EXPECT_EQ(plugin.getParameter(kBrightness), 0.75f);
}

TEST_F(ShellPrograms, RestoredBankReplacesEveryRecord)
{
    std::vector<SynthProgram> bank(kNumPrograms);
    for (size_t i = 0; i < bank.size(); i++)
    {
        initProgram(bank[i]);
        bank[i].fParams[kMix] = static_cast<float>(i) / 32.0f;
        const std::string name = "bank " + std::to_string(i);
        std::memcpy(bank[i].name, name.c_str(), name.size() + 1);
    }
    EXPECT_EQ(plugin.setChunk(bank.data(), 5632, false), 1);
    EXPECT_EQ(indexedName(17), "bank 17");
    EXPECT_EQ(plugin.programBank().program(static_cast<int32_t>(31)).fParams[kMix], 31.0f / 32.0f);
}

TEST_F(ShellPrograms, ChunkHandedBackInPlaceIsTakenIntact)
{
    // Hosts may give back the very buffer getChunk lent them.
    void* data = nullptr;
    const int32_t size = plugin.getChunk(&data, false);
    const ProgramBank before = plugin.programBank();
    EXPECT_EQ(plugin.setChunk(data, size, false), 1);
    EXPECT_EQ(std::memcmp(before.records(), plugin.programBank().records(), kBankChunkSize), 0);
    EXPECT_EQ(plugin.setChunk(data, plugin.getChunk(&data, true), true), 1);
}
