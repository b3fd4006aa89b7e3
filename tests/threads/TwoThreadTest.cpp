// The shell with its editor driven from two threads at once, as hosts do: the audio thread delivers MIDI
// and renders while another thread automates parameters, changes programs and exchanges chunks. Built
// with ThreadSanitizer by `make test-tsan`, this is where a data race would show.
#include "dsp/RandomSource.h"
#include "params/ProgramBank.h"
#include "plugin/SynthEditorPlugin.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <cstring>
#include <memory>
#include <new>
#include <random>
#include <thread>
#include <vector>

namespace
{
intptr_t VSTCALLBACK quietHost(AEffect*, int32_t opcode, int32_t, intptr_t, void*, float)
{
    return opcode == audioMasterVersion ? 2400 : 0;
}

// MIDI for one block: a few notes, a bend and the mapped controllers.
class BlockEvents
{
public:
    explicit BlockEvents(std::mt19937& random)
    {
        const int count = 1 + static_cast<int>(random() % 6);
        for (int i = 0; i < count; i++)
        {
            VstMidiEvent e{};
            e.type = kVstMidiType;
            e.byteSize = sizeof e;
            e.deltaFrames = static_cast<int32_t>(random() % 256);
            static constexpr int kControllers[] = {1, 105, 106, 107};
            switch (random() % 4)
            {
            case 0:
                e.midiData[0] = static_cast<char>(0xB0);
                e.midiData[1] = static_cast<char>(kControllers[random() % 4]);
                break;
            case 1:
                e.midiData[0] = static_cast<char>(0xE0);
                e.midiData[1] = static_cast<char>(random() % 128);
                break;
            default:
                e.midiData[0] = static_cast<char>(random() % 2 != 0 ? 0x90 : 0x80);
                e.midiData[1] = static_cast<char>(36 + random() % 60);
                break;
            }
            e.midiData[2] = static_cast<char>(random() % 128);
            fEvents.push_back(e);
        }
        fStorage.resize(sizeof(VstEvents) + fEvents.size() * sizeof(VstEvent*));
        fList = new (fStorage.data()) VstEvents{};
        fList->numEvents = static_cast<int32_t>(fEvents.size());
        for (size_t i = 0; i < fEvents.size(); i++)
            fList->events[i] = reinterpret_cast<VstEvent*>(&fEvents[i]);
    }
    VstEvents* get() { return fList; }

private:
    std::vector<VstMidiEvent> fEvents;
    std::vector<unsigned char> fStorage;
    VstEvents* fList = nullptr;
};

// Two programs that differ in every value, so that a mix of them would show.
void writeDistinctPrograms(SynthPlugin& plugin, int first, int second)
{
    SynthProgram records[2]{};
    for (int r = 0; r < 2; r++)
    {
        initProgram(records[r]);
        for (int32_t i = 0; i < kNumParams; i++)
            records[r].fParams[i] = (r == 0 ? 0.1f : 0.6f) + 0.007f * static_cast<float>(i);
    }
    plugin.setProgram(first);
    plugin.setChunk(&records[0], kPresetChunkSize, true);
    plugin.setProgram(second);
    plugin.setChunk(&records[1], kPresetChunkSize, true);
    plugin.setProgram(first); // applies the record just written
}

constexpr int kFrames = 256;

// Parameters the audio thread's MIDI controllers move too: with two threads setting them at once, either
// value may be the last.
bool movedByControllers(int32_t index)
{
    return index == kFilterSustain || index == kLeakageCutoff || index == kResonance || index == kWarp;
}
#if defined(__SANITIZE_THREAD__) || defined(__SANITIZE_ADDRESS__)
constexpr int kBlocks = 1500;
#else
constexpr int kBlocks = 6000;
#endif
} // namespace

// Automation, program changes and chunks on one thread while the other renders: no race, the output stays
// finite, and once the engine has taken every change it holds exactly what the shell answers.
TEST(TwoThreads, AutomationProgramsAndChunksWhileTheAudioThreadRenders)
{
    RandomSource::seed(1);
    SynthEditorPlugin plugin(quietHost);
    AEffect* effect = plugin.getAeffect();
    std::atomic<bool> done{false};
    std::atomic<bool> finite{true};

    std::thread audio([&] {
        std::mt19937 random(7);
        std::vector<float> left(kFrames), right(kFrames);
        float* outputs[2] = {left.data(), right.data()};
        for (int block = 0; block < kBlocks; block++)
        {
            BlockEvents events(random);
            effect->dispatcher(effect, effProcessEvents, 0, 0, events.get(), 0.0f);
            if (block % 7 == 0)
                effect->process(effect, nullptr, outputs, kFrames);
            else
                effect->processReplacing(effect, nullptr, outputs, kFrames);
            for (int i = 0; i < kFrames; i++)
                if (!std::isfinite(left[static_cast<size_t>(i)]) || !std::isfinite(right[static_cast<size_t>(i)]))
                    finite = false;
        }
        done = true;
    });

    std::mt19937 random(11);
    char text[64];
    std::vector<unsigned char> saved;
    while (!done)
    {
        switch (random() % 8)
        {
        case 0:
            effect->dispatcher(effect, effSetProgram, 0, static_cast<intptr_t>(random() % kNumPrograms), nullptr, 0.0f);
            break;
        case 1:
        {
            void* data = nullptr;
            const intptr_t size = effect->dispatcher(effect, effGetChunk, random() % 2, 0, &data, 0.0f);
            saved.assign(static_cast<unsigned char*>(data), static_cast<unsigned char*>(data) + size);
            effect->dispatcher(effect, effSetChunk, size == kPresetChunkSize ? 1 : 0, size, saved.data(), 0.0f);
            break;
        }
        case 2:
            effect->dispatcher(effect, effCopyProgram, static_cast<int32_t>(random() % kNumPrograms), 0, nullptr, 0.0f);
            break;
        case 3:
            effect->dispatcher(effect, effGetParamDisplay, static_cast<int32_t>(random() % kNumParams), 0, text, 0.0f);
            break;
        default:
        {
            const auto index = static_cast<int32_t>(random() % kNumParams);
            const float value = static_cast<float>(random() % 1001) / 1000.0f;
            effect->setParameter(effect, index, value);
            if (!movedByControllers(index))
            {
                EXPECT_EQ(effect->getParameter(effect, index), storedParameterValue(index, value));
            }
            break;
        }
        }
    }
    audio.join();
    EXPECT_TRUE(finite);

    // The next block takes whatever is still posted; then engine and shell agree on every value.
    effect->processReplacing(effect, nullptr, nullptr, 0);
    for (int32_t i = 0; i < kNumParams; i++)
    {
        if (!movedByControllers(i))
        {
            EXPECT_EQ(plugin.engine().fCurrentParams[i], plugin.getParameter(i)) << "parameter " << i;
        }
    }
}

// Program changes on one thread while the other renders: after every block the engine holds all of one
// program or all of the other, never a mix.
TEST(TwoThreads, ProgramChangesReachTheEngineWhole)
{
    RandomSource::seed(1);
    SynthEditorPlugin plugin(quietHost);
    writeDistinctPrograms(plugin, 10, 11);
    float programs[2][kNumParams];
    for (int p = 0; p < 2; p++)
        for (int32_t i = 0; i < kNumParams; i++)
            programs[p][i] = storedParameterValue(i, plugin.programBank().program(10 + p).fParams[i]);
    AEffect* effect = plugin.getAeffect();
    std::atomic<bool> done{false};
    std::atomic<int> mixed{0};

    std::thread audio([&] {
        std::vector<float> left(kFrames), right(kFrames);
        float* outputs[2] = {left.data(), right.data()};
        for (int block = 0; block < kBlocks; block++)
        {
            effect->processReplacing(effect, nullptr, outputs, kFrames);
            const float* now = plugin.engine().fCurrentParams;
            const bool first = std::memcmp(now, programs[0], sizeof programs[0]) == 0;
            const bool second = std::memcmp(now, programs[1], sizeof programs[1]) == 0;
            if (!first && !second)
                mixed++;
        }
        done = true;
    });
    int p = 0;
    while (!done)
    {
        effect->dispatcher(effect, effSetProgram, 0, 10 + p, nullptr, 0.0f);
        p = 1 - p;
    }
    audio.join();
    EXPECT_EQ(mixed, 0) << "blocks that rendered with part of a program";
}
