// Speed of the whole engine: eight voices at filter order 30 in both qualities, and one voice.
#include "dsp/RandomSource.h"
#include "engine/SynthVoice.h"
#include "plugin/SynthPlugin.h"

#include <benchmark/benchmark.h>

#include <vector>

namespace
{
constexpr int kBlock = 512;
constexpr int kBlocksPerChord = 64; // about 0.74 s: the chord is struck again before any voice dies away
constexpr float kSampleRate = 44100.0f;

// A VstEvents record with room for eight events, as a host lays it out.
struct ChordEvents
{
    int32_t numEvents;
    intptr_t reserved;
    VstEvent* events[kMaxVoices];
};

void renderEngine(benchmark::State& state, int voices, bool highQuality)
{
    RandomSource::seed(1);
    SynthPlugin plugin(nullptr);
    plugin.setProgram(4); // a body in both slots and eight voices
    plugin.setParameter(kFilterOrder, 1.0f);
    plugin.setParameter(kPolyphony, (static_cast<float>(voices) - 0.5f) / 7.0f);
    plugin.setParameter(kQuality, highQuality ? 1.0f : 0.0f);

    VstMidiEvent notes[kMaxVoices]{};
    ChordEvents chord{};
    chord.numEvents = voices;
    for (int i = 0; i < voices; i++)
    {
        notes[i].type = kVstMidiType;
        notes[i].byteSize = sizeof(VstMidiEvent);
        notes[i].midiData[0] = static_cast<char>(0x90);
        notes[i].midiData[1] = static_cast<char>(40 + 5 * i);
        notes[i].midiData[2] = 100;
        chord.events[i] = reinterpret_cast<VstEvent*>(&notes[i]);
    }

    std::vector<float> left(kBlock);
    std::vector<float> right(kBlock);
    float* outputs[2] = {left.data(), right.data()};
    int64_t blocks = 0;
    int64_t sounding = 0;
    for (auto _ : state)
    {
        if (blocks % kBlocksPerChord == 0)
            plugin.processEvents(reinterpret_cast<VstEvents*>(&chord));
        plugin.processReplacing(nullptr, outputs, kBlock);
        benchmark::DoNotOptimize(left.data());
        benchmark::DoNotOptimize(right.data());
        for (int i = 0; i < voices; i++)
            sounding += plugin.fVoices[static_cast<size_t>(i)]->getState() != kVoiceIdle;
        blocks++;
    }

    const double samples = static_cast<double>(blocks) * kBlock;
    state.counters["realtime"] = benchmark::Counter(samples / kSampleRate, benchmark::Counter::kIsRate);
    state.counters["per_voice_sample"] = benchmark::Counter(
        samples * voices, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    state.counters["sounding"] = static_cast<double>(sounding) / static_cast<double>(blocks);
}
} // namespace

BENCHMARK_CAPTURE(renderEngine, eight_voices_order30_normal, 8, false)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(renderEngine, eight_voices_order30_high, 8, true)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(renderEngine, one_voice_order30_normal, 1, false)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(renderEngine, one_voice_order30_high, 1, true)->Unit(benchmark::kMicrosecond);
