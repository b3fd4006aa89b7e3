// The VST 2.x shell over the engine: every change stored in the current program and applied, MIDI and
// blocks forwarded, controller moves reported to the host, sample-rate requests passed on.
#include "TestHost.h"
#include "dsp/RandomSource.h"
#include "engine/SynthVoice.h"
#include "plugin/SynthPlugin.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <new>
#include <vector>

namespace
{
std::vector<int32_t> gHostCalls;

intptr_t VSTCALLBACK recordingHost(AEffect*, int32_t opcode, int32_t, intptr_t, void*, float)
{
    gHostCalls.push_back(opcode);
    return opcode == audioMasterVersion ? 2400 : 0;
}

// A VstEvents record with room for the events, as hosts lay it out.
struct Events
{
    explicit Events(std::vector<VstMidiEvent> midi) : fMidi(std::move(midi))
    {
        fStorage.resize(sizeof(VstEvents) + fMidi.size() * sizeof(VstEvent*));
        fEvents = new (fStorage.data()) VstEvents{};
        fEvents->numEvents = static_cast<int32_t>(fMidi.size());
        for (size_t i = 0; i < fMidi.size(); i++)
            fEvents->events[i] = reinterpret_cast<VstEvent*>(&fMidi[i]);
    }
    VstEvents* get() { return fEvents; }

    std::vector<VstMidiEvent> fMidi;
    std::vector<unsigned char> fStorage;
    VstEvents* fEvents = nullptr;
};

VstMidiEvent midi(int status, int data1, int data2, int deltaFrames = 0)
{
    VstMidiEvent e{};
    e.type = kVstMidiType;
    e.byteSize = sizeof e;
    e.deltaFrames = deltaFrames;
    e.midiData[0] = static_cast<char>(status);
    e.midiData[1] = static_cast<char>(data1);
    e.midiData[2] = static_cast<char>(data2);
    return e;
}

std::unique_ptr<SynthPlugin> makeShell()
{
    RandomSource::seed(1);
    return std::make_unique<SynthPlugin>(recordingHost);
}
} // namespace

TEST(Shell, EveryChangeIsStoredInTheCurrentProgramAndApplied)
{
    auto shell = makeShell();
    shell->setParameter(kBrightness, 3.5f);
    EXPECT_EQ(shell->currentProgram().fParams[kBrightness], 3.5f);
    EXPECT_EQ(shell->getParameter(kBrightness), 3.5f);
    shell->setParameter(kBodyType1, 0.2f);
    EXPECT_EQ(shell->currentProgram().fParams[kBodyType1], 0.2083333283662796f); // 2.5 / 12
    EXPECT_EQ(shell->getParameter(kBodyType1), 0.2083333283662796f);

    // The engine takes the changes at the start of the next block.
    EXPECT_NE(shell->engine().fCurrentParams[kBrightness], 3.5f);
    shell->processReplacing(nullptr, nullptr, 0);
    EXPECT_EQ(shell->engine().fCurrentParams[kBrightness], 3.5f);
    EXPECT_TRUE(shell->engine().fBodyOn1);

    const SynthProgram before = shell->currentProgram();
    shell->setParameter(kNumParams, 0.5f);
    shell->setParameter(-1, 0.5f);
    EXPECT_EQ(std::memcmp(&before, &shell->currentProgram(), sizeof before), 0);
    EXPECT_EQ(shell->getParameter(kNumParams), 0.0f);

    // The edit buffer is the stored program itself.
    shell->setProgram(5);
    shell->setParameter(kCutoff1, 0.4f);
    void* data = nullptr;
    ASSERT_EQ(shell->getChunk(&data, false), kBankChunkSize);
    const auto* bank = static_cast<const SynthProgram*>(data);
    EXPECT_EQ(bank[5].fParams[kCutoff1], 0.4f);
    EXPECT_NE(bank[4].fParams[kCutoff1], 0.4f);
}

TEST(Shell, MidiReachesTheEngineAndControllerMovesReachTheHost)
{
    auto shell = makeShell();
    gHostCalls.clear();
    Events controller({midi(0xB3, 1, 127)});
    EXPECT_EQ(shell->processEvents(controller.get()), 1);
    EXPECT_EQ(shell->getParameter(kFilterSustain), 1.0f);
    EXPECT_EQ(shell->currentProgram().fParams[kFilterSustain], 1.0f);
    ASSERT_EQ(gHostCalls.size(), 1u);
    EXPECT_EQ(gHostCalls[0], audioMasterUpdateDisplay);

    Events notes({midi(0x90, 60, 100, 7), midi(0x90, 62, 100), midi(0x90, 64, 100)});
    notes.get()->events[0]->type = kVstSysExType; // not MIDI: skipped
    notes.get()->events[1] = nullptr;             // a hole in the list: skipped
    EXPECT_EQ(shell->processEvents(notes.get()), 1);
    EXPECT_EQ(shell->processEvents(nullptr), 1);
    EXPECT_FALSE(shell->engine().fVoices[1]->hasPendingNote());
    ASSERT_TRUE(shell->engine().fVoices[0]->hasPendingNote());
    EXPECT_EQ(shell->engine().fVoices[0]->fPendingNote, 64);
}

TEST(Shell, RendersExactlyWhatTheEngineRenders)
{
    auto shell = makeShell();
    RandomSource::seed(1);
    SynthEngine engine;
    engine.applyProgram(shell->programBank().program(0).fParams);
    engine.suspend();

    shell->setProgram(3);
    engine.applyProgram(shell->programBank().program(3).fParams);
    Events chord({midi(0x90, 48, 90, 3), midi(0x90, 55, 100, 40), midi(0xE0, 0, 70)});
    shell->processEvents(chord.get());
    engine.midiEvent(3, 0x90, 48, 90);
    engine.midiEvent(40, 0x90, 55, 100);
    engine.midiEvent(0, 0xE0, 0, 70);

    std::vector<float> input(256, 0.01f);
    for (bool replace : {true, false, true})
    {
        std::vector<float> a(512, 0.25f);
        std::vector<float> b(512, 0.25f);
        float* inputs[2] = {input.data(), input.data()};
        float* shellOut[2] = {a.data(), a.data() + 256};
        float* engineOut[2] = {b.data(), b.data() + 256};
        if (replace)
            shell->processReplacing(inputs, shellOut, 256);
        else
            shell->process(inputs, shellOut, 256);
        engine.renderBlock(inputs, engineOut, 256, replace);
        EXPECT_EQ(std::memcmp(a.data(), b.data(), a.size() * sizeof(float)), 0);
    }
}

TEST(Shell, SampleRateRequestsReachTheEngine)
{
    auto shell = makeShell();
    AEffect* effect = shell->getAeffect();
    effect->dispatcher(effect, effSetSampleRate, 0, 0, nullptr, 48000.0f);
    EXPECT_EQ(shell->engine().getSampleRate(), 48000.0f);
    EXPECT_EQ(shell->engine().fVoices[0]->fAmpEnv.getSampleRate(), 48000.0f);

    // The combined request only stores the rate: note starts take it, running time bases keep theirs.
    effect->dispatcher(effect, effSetBlockSizeAndSampleRate, 0, 256, nullptr, 96000.0f);
    EXPECT_EQ(shell->getSampleRate(), 96000.0f);
    EXPECT_EQ(shell->engine().getSampleRate(), 96000.0f);
    EXPECT_EQ(shell->engine().fVoices[0]->fAmpEnv.getSampleRate(), 48000.0f);
}
