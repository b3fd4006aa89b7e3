// The built plug-in library as a host sees it: loaded with dlopen, created through its entry point and
// driven only through the effect record and its dispatcher.
#include "plugin/VstInterface.h"

#include <gtest/gtest.h>

#include <dlfcn.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

namespace
{
#ifdef ZENTHARODE_WITH_EDITOR
constexpr int32_t kExpectedFlags = effFlagsHasEditor | effFlagsCanReplacing | effFlagsIsSynth;
#else
constexpr int32_t kExpectedFlags = effFlagsCanReplacing | effFlagsIsSynth;
#endif

using EntryPoint = AEffect* (*)(audioMasterCallback);

struct HostCall
{
    AEffect* effect;
    int32_t opcode;
    int32_t index;
    intptr_t value;
};

std::vector<HostCall> hostCalls;
intptr_t versionReply = 2400;

intptr_t VSTCALLBACK recordingHost(AEffect* effect, int32_t opcode, int32_t index, intptr_t value, void*, float)
{
    hostCalls.push_back({effect, opcode, index, value});
    return opcode == audioMasterVersion ? versionReply : 0;
}

class Library
{
public:
    Library() : handle(dlopen(ZENTHARODE_MODULE_PATH, RTLD_NOW | RTLD_LOCAL)) {}
    ~Library()
    {
        if (handle != nullptr)
            dlclose(handle);
    }
    Library(const Library&) = delete;
    Library& operator=(const Library&) = delete;

    EntryPoint entry(const char* name) const
    {
        return handle != nullptr ? reinterpret_cast<EntryPoint>(dlsym(handle, name)) : nullptr;
    }
    void* handle;
};

class LoadedPlugin : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_NE(library.handle, nullptr) << dlerror();
        EntryPoint main = library.entry("VSTPluginMain");
        ASSERT_NE(main, nullptr);
        hostCalls.clear();
        versionReply = 2400;
        effect = main(recordingHost);
        ASSERT_NE(effect, nullptr);
    }
    void TearDown() override
    {
        if (effect != nullptr)
        {
            EXPECT_EQ(dispatch(effClose), 1);
        }
    }

    intptr_t dispatch(int32_t opcode, int32_t index = 0, intptr_t value = 0, void* ptr = nullptr, float opt = 0.0f)
    {
        return effect->dispatcher(effect, opcode, index, value, ptr, opt);
    }
    std::string text(int32_t opcode, int32_t index = 0, intptr_t value = 0, intptr_t* reply = nullptr)
    {
        char buffer[256];
        std::memset(buffer, 0, sizeof buffer);
        const intptr_t answer = dispatch(opcode, index, value, buffer);
        if (reply != nullptr)
            *reply = answer;
        return buffer;
    }

    Library library;
    AEffect* effect = nullptr;
};
} // namespace

TEST(EntryPoint, NullCallbackCreatesNothing)
{
    Library library;
    ASSERT_NE(library.handle, nullptr) << dlerror();
    EXPECT_EQ(library.entry("VSTPluginMain")(nullptr), nullptr);
    EXPECT_EQ(library.entry("main")(nullptr), nullptr);
}

TEST(EntryPoint, HostAnsweringVersionZeroGetsNothing)
{
    Library library;
    ASSERT_NE(library.handle, nullptr) << dlerror();
    hostCalls.clear();
    versionReply = 0;
    EXPECT_EQ(library.entry("VSTPluginMain")(recordingHost), nullptr);
    ASSERT_EQ(hostCalls.size(), 1u);
    EXPECT_EQ(hostCalls[0].opcode, audioMasterVersion);
    EXPECT_EQ(hostCalls[0].effect, nullptr);
    versionReply = 2400;
}

TEST(EntryPoint, MainIsTheSameEntry)
{
    Library library;
    ASSERT_NE(library.handle, nullptr) << dlerror();
    hostCalls.clear();
    AEffect* effect = library.entry("main")(recordingHost);
    ASSERT_NE(effect, nullptr);
    EXPECT_EQ(effect->uniqueID, vstFourCC('Z', 'N', 'T', 'H'));
    EXPECT_EQ(effect->dispatcher(effect, effClose, 0, 0, nullptr, 0.0f), 1);
}

TEST_F(LoadedPlugin, OnlyTheVersionIsAskedDuringCreation)
{
    ASSERT_EQ(hostCalls.size(), 1u);
    EXPECT_EQ(hostCalls[0].opcode, audioMasterVersion);
    EXPECT_EQ(hostCalls[0].effect, nullptr);
}

TEST_F(LoadedPlugin, EffectRecordDescribesAStereoSynth)
{
    EXPECT_EQ(effect->magic, kEffectMagic);
    EXPECT_EQ(effect->numInputs, 2);
    EXPECT_EQ(effect->numOutputs, 2);
    EXPECT_EQ(effect->numPrograms, 32);
    EXPECT_EQ(effect->numParams, 38);
    EXPECT_EQ(effect->flags, kExpectedFlags);
    EXPECT_EQ(effect->uniqueID, 0x5A4E5448); // 'ZNTH'
    EXPECT_EQ(effect->version, 1);
    EXPECT_EQ(effect->ioRatio, 1.0f);
    EXPECT_EQ(effect->resvd1, 0);
    EXPECT_EQ(effect->resvd2, 0);
    EXPECT_EQ(effect->initialDelay, 0);
    EXPECT_EQ(effect->realQualities, 0);
    EXPECT_EQ(effect->offQualities, 0);
    EXPECT_NE(effect->object, nullptr);
    EXPECT_EQ(effect->user, nullptr);
    EXPECT_NE(effect->process, nullptr);
    EXPECT_NE(effect->processReplacing, nullptr);
    EXPECT_NE(effect->setParameter, nullptr);
    EXPECT_NE(effect->getParameter, nullptr);
    for (char byte : effect->future)
        EXPECT_EQ(byte, 0);
}

TEST_F(LoadedPlugin, IdentityReplies)
{
    intptr_t reply = 0;
    EXPECT_EQ(text(effGetEffectName, 0, 0, &reply), "Zentharode");
    EXPECT_EQ(reply, 1);
    EXPECT_EQ(text(effGetProductString, 0, 0, &reply), "Zentharode Plucked String Synthesizer");
    EXPECT_EQ(reply, 1);
    const std::string vendor = text(effGetVendorString, 0, 0, &reply);
    EXPECT_EQ(reply, 1);
    EXPECT_FALSE(vendor.empty());
    EXPECT_LE(vendor.size(), 63u);
    EXPECT_EQ(dispatch(effGetVendorVersion), 1);
    EXPECT_EQ(dispatch(effGetVstVersion), 2300);
    EXPECT_EQ(dispatch(effIdentify), vstFourCC('N', 'v', 'E', 'f'));
    EXPECT_EQ(dispatch(effGetPlugCategory), kPlugCategSynth);
}

TEST_F(LoadedPlugin, CanDoAnswersOneOrMinusOne)
{
    char events[] = "receiveVstEvents";
    char midi[] = "receiveVstMidiEvent";
    char send[] = "sendVstEvents";
    char empty[] = "";
    EXPECT_EQ(dispatch(effCanDo, 0, 0, events), 1);
    EXPECT_EQ(dispatch(effCanDo, 0, 0, midi), 1);
    EXPECT_EQ(dispatch(effCanDo, 0, 0, send), -1);
    EXPECT_EQ(dispatch(effCanDo, 0, 0, empty), -1);
    EXPECT_EQ(dispatch(effCanDo, 0, 0, nullptr), -1);
}

TEST_F(LoadedPlugin, OutputPinsAreOneStereoPair)
{
    VstPinProperties pin{};
    pin.arrangementType = 77;
    EXPECT_EQ(dispatch(effGetOutputProperties, 0, 0, &pin), 1);
    EXPECT_STREQ(pin.label, "Zentharode 1");
    EXPECT_EQ(dispatch(effGetOutputProperties, 1, 0, &pin), 1);
    EXPECT_STREQ(pin.label, "Zentharode 2");
    EXPECT_EQ(pin.flags, 3);
    EXPECT_EQ(pin.arrangementType, 77) << "other fields are left as they were";

    VstPinProperties untouched{};
    EXPECT_EQ(dispatch(effGetOutputProperties, 2, 0, &untouched), 0);
    EXPECT_EQ(untouched.label[0], '\0');
    EXPECT_EQ(untouched.flags, 0);
    EXPECT_EQ(dispatch(effGetOutputProperties, 0, 0, nullptr), 0);
    EXPECT_EQ(dispatch(effGetInputProperties, 0, 0, &untouched), 0);
}

TEST_F(LoadedPlugin, FixedReplies)
{
    EXPECT_EQ(dispatch(effOpen), 0);
    EXPECT_EQ(dispatch(effGetVu), 0);
    EXPECT_EQ(dispatch(effSetSampleRate, 0, 0, nullptr, 48000.0f), 0);
    EXPECT_EQ(dispatch(effSetBlockSize, 0, 512), 0);
    EXPECT_EQ(dispatch(effCanBeAutomated, 0), 1);
    EXPECT_EQ(dispatch(effCanBeAutomated, 37), 1);
    EXPECT_EQ(dispatch(effString2Parameter, 0), 0);
    EXPECT_EQ(dispatch(effGetNumProgramCategories), 1);
    EXPECT_EQ(dispatch(effConnectInput, 0, 1), 1);
    EXPECT_EQ(dispatch(effConnectOutput, 1, 1), 1);
    EXPECT_EQ(dispatch(effSetBlockSizeAndSampleRate, 0, 256, nullptr, 96000.0f), 1);
    EXPECT_EQ(dispatch(effKeysRequired), 1);
    EXPECT_EQ(dispatch(effGetCurrentMidiProgram), -1);
    EXPECT_EQ(dispatch(effSetTotalSampleToProcess, 0, 4096), 4096);
    EXPECT_EQ(dispatch(effGetTailSize), 0);
    EXPECT_EQ(dispatch(effSetBypass, 0, 1), 0);
    EXPECT_EQ(dispatch(effVendorSpecific, 0, 0), 0);
    EXPECT_EQ(dispatch(effStartProcess), 0);
    EXPECT_EQ(dispatch(effBeginLoadProgram), 0);
    EXPECT_EQ(dispatch(1000), 0);
    EXPECT_EQ(dispatch(-1), 0);
}

#ifndef ZENTHARODE_WITH_EDITOR
TEST_F(LoadedPlugin, EditorRequestsAnswerZeroWithoutAnEditor)
{
    ERect* rect = reinterpret_cast<ERect*>(0x1);
    EXPECT_EQ(dispatch(effEditGetRect, 0, 0, &rect), 0);
    EXPECT_EQ(dispatch(effEditOpen), 0);
    EXPECT_EQ(dispatch(effEditClose), 0);
    EXPECT_EQ(dispatch(effEditIdle), 0);
    EXPECT_EQ(dispatch(effEditKeyDown, 'a', VKEY_LEFT), 0);
    EXPECT_EQ(dispatch(effEditKeyUp, 'a', VKEY_LEFT), 0);
    EXPECT_EQ(dispatch(effSetEditKnobMode, 0, 2), 0);
}
#endif

TEST_F(LoadedPlugin, SpeakerArrangementPointersAreCleared)
{
    int dummyIn = 0;
    int dummyOut = 0;
    void* input = &dummyIn;
    void* output = &dummyOut;
    EXPECT_EQ(dispatch(effGetSpeakerArrangement, 0, reinterpret_cast<intptr_t>(&input), &output), 0);
    EXPECT_EQ(input, nullptr);
    EXPECT_EQ(output, nullptr);
    EXPECT_EQ(dispatch(effGetSpeakerArrangement, 0, 0, nullptr), 0);
}

TEST_F(LoadedPlugin, ResumeAsksForMidiAndSuspendDoesNot)
{
    hostCalls.clear();
    EXPECT_EQ(dispatch(effMainsChanged, 0, 1), 0);
    ASSERT_EQ(hostCalls.size(), 1u);
    EXPECT_EQ(hostCalls[0].opcode, audioMasterWantMidi);
    EXPECT_EQ(hostCalls[0].value, 1);
    EXPECT_EQ(hostCalls[0].effect, effect);
    hostCalls.clear();
    EXPECT_EQ(dispatch(effMainsChanged, 0, 0), 0);
    EXPECT_TRUE(hostCalls.empty());
}

TEST_F(LoadedPlugin, ProgramsThroughTheDispatcher)
{
    EXPECT_EQ(dispatch(effGetProgram), 0);
    EXPECT_EQ(text(effGetProgramName), "pneumatic vorn");
    EXPECT_EQ(dispatch(effSetProgram, 0, 8), 0);
    EXPECT_EQ(dispatch(effGetProgram), 8);
    EXPECT_FLOAT_EQ(effect->getParameter(effect, 25), 2.5f / 12.0f);
    EXPECT_EQ(dispatch(effSetProgram, 0, 32), 0);
    EXPECT_EQ(dispatch(effSetProgram, 0, -1), 0);
    EXPECT_EQ(dispatch(effGetProgram), 8);

    char name[] = "my sound";
    EXPECT_EQ(dispatch(effSetProgramName, 0, 0, name), 0);
    EXPECT_EQ(text(effGetProgramName), "my sound");
    EXPECT_EQ(dispatch(effSetProgramName, 0, 0, nullptr), 0);
    EXPECT_EQ(dispatch(effGetProgramName, 0, 0, nullptr), 0);

    intptr_t reply = 0;
    EXPECT_EQ(text(effGetProgramNameIndexed, 7, 0, &reply), "rubbarb");
    EXPECT_EQ(reply, 1);
    EXPECT_EQ(text(effGetProgramNameIndexed, 9, -1, &reply), "Init");
    EXPECT_EQ(reply, 1);
    EXPECT_EQ(text(effGetProgramNameIndexed, 32, 0, &reply), "");
    EXPECT_EQ(reply, 0);

    EXPECT_EQ(dispatch(effCopyProgram, 31), 1);
    EXPECT_EQ(text(effGetProgramNameIndexed, 31), "my sound");
    EXPECT_EQ(dispatch(effCopyProgram, 32), 0);
}

TEST_F(LoadedPlugin, ChunksThroughTheDispatcher)
{
    void* data = nullptr;
    EXPECT_EQ(dispatch(effGetChunk, 0, 0, &data), 5632);
    ASSERT_NE(data, nullptr);
    std::vector<char> bank(static_cast<const char*>(data), static_cast<const char*>(data) + 5632);
    EXPECT_STREQ(bank.data() + 152, "pneumatic vorn");

    EXPECT_EQ(dispatch(effGetChunk, 1, 0, &data), 176);
    EXPECT_EQ(std::memcmp(data, bank.data(), 176), 0);
    EXPECT_EQ(dispatch(effGetChunk, 1, 0, nullptr), 0);

    std::memcpy(bank.data() + 176 + 152, "restored", 9);
    EXPECT_EQ(dispatch(effSetChunk, 0, 5631, bank.data()), 0);
    EXPECT_EQ(dispatch(effSetChunk, 0, 5632 + (intptr_t{1} << 32), bank.data()), 0);
    EXPECT_EQ(dispatch(effSetChunk, 0, 5632, nullptr), 0);
    EXPECT_EQ(text(effGetProgramNameIndexed, 1), "chimar");
    EXPECT_EQ(dispatch(effSetChunk, 0, 5632, bank.data()), 1);
    EXPECT_EQ(text(effGetProgramNameIndexed, 1), "restored");

    EXPECT_EQ(dispatch(effSetChunk, 1, 175, bank.data()), 0);
    EXPECT_EQ(dispatch(effSetChunk, 1, 176, bank.data() + 176), 1);
    EXPECT_EQ(text(effGetProgramName), "restored");
}

TEST_F(LoadedPlugin, ParametersThroughTheRecord)
{
    EXPECT_EQ(effect->getParameter(effect, 36), 1.0f);
    EXPECT_EQ(effect->getParameter(effect, 25), 0.875f);
    effect->setParameter(effect, 35, 0.5f);
    EXPECT_EQ(effect->getParameter(effect, 35), 0.5f);
    EXPECT_EQ(text(effGetParamDisplay, 35), "-24.0823");
    EXPECT_EQ(text(effGetParamLabel, 35), "   dB   ");
    EXPECT_EQ(text(effGetParamName, 35), " Volume ");
    EXPECT_EQ(text(effGetParamName, 36), "Polyphony");
    EXPECT_EQ(text(effGetParamDisplay, 36), "      8");
    EXPECT_EQ(text(effGetParamLabel, 6), "");
    effect->setParameter(effect, 38, 0.5f);
    EXPECT_EQ(effect->getParameter(effect, 38), 0.0f);
    EXPECT_EQ(dispatch(effGetParamName, 0, 0, nullptr), 0);
}

TEST_F(LoadedPlugin, ProcessingReplacesOrAdds)
{
    std::vector<float> left(64, 0.5f), right(64, 0.5f), inLeft(64, 0.0f), inRight(64, 0.0f);
    float* outputs[2] = {left.data(), right.data()};
    float* inputs[2] = {inLeft.data(), inRight.data()};
    EXPECT_EQ(dispatch(effProcessEvents, 0, 0, nullptr), 1);
    effect->process(effect, inputs, outputs, 64);
    EXPECT_EQ(left[10], 0.5f);
    EXPECT_EQ(right[63], 0.5f);
    effect->processReplacing(effect, inputs, outputs, 64);
    EXPECT_EQ(left[10], 0.0f);
    EXPECT_EQ(right[63], 0.0f);
}

TEST_F(LoadedPlugin, CloseDestroysTheObject)
{
    EXPECT_EQ(dispatch(effClose), 1);
    effect = nullptr; // the record went with the object
}

namespace
{
// Renders one block of a held chord; its loudest sample, or NaN when any sample is not finite.
float chordPeak(AEffect* effect, int frames)
{
    struct
    {
        int32_t numEvents;
        intptr_t reserved;
        VstEvent* events[3];
    } list{};
    VstMidiEvent notes[3]{};
    const int keys[3] = {48, 60, 67};
    for (int i = 0; i < 3; i++)
    {
        notes[i].type = kVstMidiType;
        notes[i].byteSize = sizeof(VstMidiEvent);
        notes[i].deltaFrames = i;
        notes[i].midiData[0] = static_cast<char>(0x90);
        notes[i].midiData[1] = static_cast<char>(keys[i]);
        notes[i].midiData[2] = 100;
        list.events[i] = reinterpret_cast<VstEvent*>(&notes[i]);
    }
    list.numEvents = 3;
    effect->dispatcher(effect, effProcessEvents, 0, 0, &list, 0.0f);
    std::vector<float> left(static_cast<size_t>(frames)), right(static_cast<size_t>(frames));
    float* outputs[2] = {left.data(), right.data()};
    effect->processReplacing(effect, nullptr, outputs, frames);
    float peak = 0.0f;
    for (int i = 0; i < frames; i++)
    {
        const float l = left[static_cast<size_t>(i)];
        const float r = right[static_cast<size_t>(i)];
        if (!std::isfinite(l) || !std::isfinite(r))
            return std::numeric_limits<float>::quiet_NaN();
        peak = std::fmax(peak, std::fmax(std::fabs(l), std::fabs(r)));
    }
    return peak;
}
} // namespace

// Every request with indices, values and rates no sane host sends, with and without a buffer: no crash, and the
// plug-in still plays afterwards. (effClose ends the object; effEditOpen and effGetSpeakerArrangement take their
// pointers on trust, as the interface defines.)
TEST_F(LoadedPlugin, HostileRequestsLeaveAPlayablePlugin)
{
    const int32_t indices[] = {-1, 0, 37, 38, 31, 32, 1 << 30, INT32_MIN};
    const intptr_t values[] = {-1, 0, 1, 176, 5632, 1 << 30};
    const float opts[] = {0.0f, -1.0f, 1e30f, std::numeric_limits<float>::quiet_NaN(),
                          std::numeric_limits<float>::infinity()};
    void* bankData = nullptr;
    ASSERT_EQ(dispatch(effGetChunk, 0, 0, &bankData), 5632);
    std::vector<char> bank(static_cast<char*>(bankData), static_cast<char*>(bankData) + 5632);

    alignas(16) char buffer[8192];
    for (int32_t opcode = 0; opcode <= effBeginLoadProgram + 4; opcode++)
    {
        if (opcode == effClose || opcode == effEditOpen || opcode == effGetSpeakerArrangement)
            continue;
        for (const int32_t index : indices)
            for (const intptr_t value : values)
                for (const float opt : opts)
                {
                    dispatch(opcode, index, value, nullptr, opt);
                    std::memset(buffer, 0, sizeof buffer);
                    dispatch(opcode, index, value, buffer, opt);
                    ASSERT_LT(std::strlen(buffer), sizeof buffer) << "opcode " << opcode;
                }
    }
    for (const float value : {std::numeric_limits<float>::quiet_NaN(), -1e30f, 1e30f,
                              std::numeric_limits<float>::infinity(), -0.5f, 2.0f})
        for (int32_t index = -1; index <= 38; index++)
            effect->setParameter(effect, index, value);
    EXPECT_TRUE(std::isfinite(chordPeak(effect, 4096))) << "whatever the values, the output stays finite";

    // The bank is put back (the hostile chunks above replaced it) and the instrument plays again.
    ASSERT_EQ(dispatch(effSetChunk, 0, 5632, bank.data()), 1);
    dispatch(effSetSampleRate, 0, 0, nullptr, 44100.0f);
    dispatch(effSetBlockSizeAndSampleRate, 0, 512, nullptr, 44100.0f);
    dispatch(effSetProgram, 0, 1);
    dispatch(effMainsChanged, 0, 0);
    dispatch(effMainsChanged, 0, 1);
    float* noBuffers[2] = {nullptr, nullptr};
    effect->processReplacing(effect, nullptr, noBuffers, 0);
    effect->processReplacing(effect, nullptr, noBuffers, -5);
    effect->process(effect, nullptr, nullptr, 64);
    const float peak = chordPeak(effect, 8192);
    EXPECT_TRUE(std::isfinite(peak));
    EXPECT_GT(peak, 1e-4f);
}
