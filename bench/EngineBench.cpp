// Speed of the whole engine on every voice path this CPU has: eight voices at filter order 30 in both
// qualities, and one voice.
#include "dsp/RandomSource.h"
#include "engine/SynthEngine.h"
#include "engine/SynthVoice.h"
#include "engine/VoiceLanes.h"
#include "params/ProgramBank.h"

#include <benchmark/benchmark.h>

#include <string>
#include <vector>

namespace
{
constexpr int kBlock = 512;
constexpr int kBlocksPerChord = 64; // about 0.74 s: the chord is struck again before any voice dies away
constexpr float kSampleRate = 44100.0f;

// minimumLaneVoices 0 keeps even a single voice in its lane; otherwise the engine's own choice holds.
void renderEngine(benchmark::State& state, VoicePath path, int voices, bool highQuality, int minimumLaneVoices)
{
    RandomSource::seed(1);
    ProgramBank bank;
    bank.loadFactoryPresets();
    SynthEngine engine;
    if (!engine.setVoicePath(path))
    {
        state.SkipWithError("not on this CPU");
        return;
    }
    if (minimumLaneVoices >= 0)
        engine.setMinimumLaneVoices(minimumLaneVoices);
    engine.applyProgram(bank.program(0).fParams);
    engine.suspend();
    engine.applyProgram(bank.program(4).fParams); // a body in both slots and eight voices
    engine.setParameter(kFilterOrder, 1.0f);
    engine.setParameter(kPolyphony, (static_cast<float>(voices) - 0.5f) / 7.0f);
    engine.setParameter(kQuality, highQuality ? 1.0f : 0.0f);

    std::vector<float> left(kBlock);
    std::vector<float> right(kBlock);
    float* outputs[2] = {left.data(), right.data()};
    int64_t blocks = 0;
    int64_t sounding = 0;
    for (auto _ : state)
    {
        if (blocks % kBlocksPerChord == 0)
            for (int i = 0; i < voices; i++)
                engine.midiEvent(0, 0x90, static_cast<uint8_t>(40 + 5 * i), 100);
        engine.renderBlock(nullptr, outputs, kBlock, true);
        benchmark::DoNotOptimize(left.data());
        benchmark::DoNotOptimize(right.data());
        for (int i = 0; i < voices; i++)
            sounding += engine.fVoices[static_cast<size_t>(i)]->getState() != kVoiceIdle;
        blocks++;
    }

    const double samples = static_cast<double>(blocks) * kBlock;
    state.counters["realtime"] = benchmark::Counter(samples / kSampleRate, benchmark::Counter::kIsRate);
    state.counters["per_voice_sample"] = benchmark::Counter(
        samples * voices, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    state.counters["sounding"] = static_cast<double>(sounding) / static_cast<double>(blocks);
}

// renderEngine/<path>/<case> for the scalar path and every lane path the CPU has, in one run.
const bool kRegistered = [] {
    struct Case
    {
        const char* name;
        int voices;
        bool highQuality;
        int minimumLaneVoices;
    };
    const Case cases[] = {
        {"eight_voices_order30_normal", 8, false, -1},
        {"eight_voices_order30_high", 8, true, -1},
        {"one_voice_order30_normal", 1, false, -1},
        {"one_voice_order30_high", 1, true, -1},
        {"one_voice_in_a_lane_normal", 1, false, 0},
        {"one_voice_in_a_lane_high", 1, true, 0},
    };
    for (int p = 0; p < VoiceLanes::kNumPaths; p++)
    {
        const VoicePath path = static_cast<VoicePath>(p);
        if (!VoiceLanes::isAvailable(path))
            continue;
        for (const Case& c : cases)
        {
            if (path == VoicePath::kScalar && c.minimumLaneVoices == 0)
                continue;
            const std::string name = std::string("renderEngine/") + VoiceLanes::pathName(path) + "/" + c.name;
            benchmark::RegisterBenchmark(name.c_str(), renderEngine, path, c.voices, c.highQuality,
                                         c.minimumLaneVoices)
                ->Unit(benchmark::kMicrosecond);
        }
    }
    return true;
}();
} // namespace
