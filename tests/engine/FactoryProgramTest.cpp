// The eight factory programs sound and their notes end; scripted renders of them (and of two variations)
// come out the same at every block size and still match their stored regression fixtures exactly.
#include "EngineTestSupport.h"

#include <gtest/gtest.h>

#include <cinttypes>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

using namespace enginetest;

namespace
{
constexpr int kFactoryPrograms = 8;

struct TimedEvent
{
    int send;  // absolute sample of the block start the event arrives with
    int delta; // its deltaFrames
    int status;
    int data1;
    int data2;
    int detune;
};

// Events arrive at multiples of 3584, a multiple of every block size the tests use, so every split sees
// the same deltaFrames; note-ons then wait in their voices, also across blocks. A pitch bend glides over
// the block after it, so its sound depends on the block size by design.
const TimedEvent kScript[] = {
    {0, 0, 0x90, 48, 100, 0},       {0, 100, 0x90, 55, 90, 0},     {0, 1001, 0x90, 60, 120, 20},
    {0, 2500, 0x90, 64, 70, -30},   {0, 2500, 0x90, 67, 110, 0},   {3584, 0, 0x80, 48, 0, 0},
    {3584, 0, 0x80, 55, 0, 0},      {3584, 0, 0xE0, 0, 80, 0},     {3584, 0, 0xB0, 1, 30, 0},
    {3584, 416, 0x90, 72, 127, 0},  {7168, 0, 0x80, 60, 0, 0},     {7168, 0, 0x80, 64, 0, 0},
    {7168, 0, 0x80, 67, 0, 0},      {7168, 0, 0xE0, 0, 64, 0},     {7168, 1832, 0x90, 43, 64, 5},
    {7168, 4000, 0x90, 79, 100, 0},
};
constexpr int kScriptLength = 12288;
constexpr int kWarmUp = 64; // the warp glides from its starting value over the first block

// A regression render: a factory program, optionally with a few parameters moved and a square wave fed
// into the strings, so that paths no factory program takes are covered as well.
struct Variation
{
    const char* name;
    int program;
    std::vector<std::pair<int, float>> changes;
    float input; // amplitude of a square wave of 100-sample period on both inputs
};

const Variation kVariations[] = {
    {"program0", 0, {}, 0.0f},
    {"program1", 1, {}, 0.0f},
    {"program2", 2, {}, 0.0f},
    {"program3", 3, {}, 0.0f},
    {"program4", 4, {}, 0.0f},
    {"program5", 5, {}, 0.0f},
    {"program6", 6, {}, 0.0f},
    {"program7", 7, {}, 0.0f},
    // "B > A", the quantizer, high quality
    {"variation-a", 2, {{kFilterTopology, 0.5f}, {kQuantization, 0.3f}, {kQuality, 1.0f}}, 0.0f},
    // "B > A", "Random" and "t-Random" bodies, string pitch modulation, the input path
    {"variation-b", 7,
     {{kFilterTopology, 0.5f}, {kBodyType1, 0.79f}, {kBodyType2, 0.87f}, {kLFO1Amp, 0.2f}, {kLFO2Amp, 0.1f}},
     0.02f},
};
constexpr int kNumVariations = sizeof kVariations / sizeof kVariations[0];

Stereo perform(const Variation& variation, int blockSize, bool withBends = true)
{
    auto engine = makeEngine();
    selectProgram(*engine, variation.program);
    for (const auto& [index, value] : variation.changes)
        engine->setParameter(index, value);
    render(*engine, kWarmUp);
    Stereo out;
    std::vector<float> input(static_cast<size_t>(blockSize));
    for (int start = 0; start < kScriptLength; start += blockSize)
    {
        const int frames = std::min(blockSize, kScriptLength - start);
        EventList events;
        for (const TimedEvent& e : kScript)
            if (e.send == start && (withBends || e.status != 0xE0))
                events.midi(e.status, e.data1, e.data2, e.delta, e.detune);
        events.sendTo(*engine);
        for (int i = 0; i < frames; i++)
            input[static_cast<size_t>(i)] = (start + i) % 100 < 50 ? variation.input : -variation.input;
        float* inputs[2] = {input.data(), input.data()};
        Stereo block{std::vector<float>(static_cast<size_t>(frames)), std::vector<float>(static_cast<size_t>(frames))};
        float* outputs[2] = {block.left.data(), block.right.data()};
        engine->renderBlock(inputs, outputs, frames, true);
        out.append(block);
    }
    return out;
}

uint64_t fnv1a(const float* samples, size_t count)
{
    uint64_t hash = 14695981039346656037ull;
    for (size_t i = 0; i < count; i++)
    {
        uint32_t bits;
        std::memcpy(&bits, &samples[i], sizeof bits);
        for (int b = 0; b < 4; b++)
        {
            hash ^= (bits >> (8 * b)) & 0xFFu;
            hash *= 1099511628211ull;
        }
    }
    return hash;
}

constexpr int kFixtureBlock = 256;
constexpr int kFixtureStride = 64;

// Per-block checksums of both channels, and every 64th sample in a readable form.
std::string fixtureText(const Variation& variation, const Stereo& out)
{
    std::ostringstream text;
    text << "# Regression render " << variation.name << ": " << kScriptLength
         << " samples after a warm-up of " << kWarmUp << ", generator seeded with 1.\n"
         << "# Rewrite with ZENTHARODE_WRITE_FIXTURES=1 only after an intended change of the sound.\n";
    char line[128];
    for (int block = 0; block * kFixtureBlock < kScriptLength; block++)
    {
        const size_t first = static_cast<size_t>(block * kFixtureBlock);
        std::snprintf(line, sizeof line, "block %d %016" PRIx64 " %016" PRIx64 "\n", block,
                      fnv1a(&out.left[first], kFixtureBlock), fnv1a(&out.right[first], kFixtureBlock));
        text << line;
    }
    for (size_t i = 0; i < out.left.size(); i += kFixtureStride)
    {
        std::snprintf(line, sizeof line, "sample %zu %.9g %.9g\n", i, static_cast<double>(out.left[i]),
                      static_cast<double>(out.right[i]));
        text << line;
    }
    return text.str();
}

std::string fixturePath(const Variation& variation)
{
    return std::string(ZENTHARODE_ENGINE_FIXTURES) + "/" + variation.name + ".txt";
}

class FactoryProgram : public ::testing::TestWithParam<int>
{
};

class RegressionRender : public ::testing::TestWithParam<int>
{
};
} // namespace

TEST_P(FactoryProgram, SoundsAndItsNotesEndAfterTheirNoteOff)
{
    auto engine = makeEngine();
    selectProgram(*engine, GetParam());
    const float release = engine->fCurrentParams[kRelease];
    const int releaseSamples = static_cast<int>(16.0f * release * release * release * release * 44100.0f);

    EventList().noteOn(48, 100).noteOn(60, 100, 10).noteOn(67, 100, 20).sendTo(*engine);
    const Stereo held = render(*engine, 22050);
    float peak = 0.0f;
    for (size_t i = 0; i < held.left.size(); i++)
    {
        ASSERT_TRUE(std::isfinite(held.left[i]) && std::isfinite(held.right[i])) << "sample " << i;
        peak = std::max(peak, std::max(std::fabs(held.left[i]), std::fabs(held.right[i])));
    }
    EXPECT_GT(peak, 1e-3f);
    EXPECT_LT(peak, 16.0f);
    const int voices = engine->activeVoiceCount();
    for (int i = 0; i < std::min(voices, 3); i++)
        EXPECT_EQ(voice(*engine, i).getState(), kVoiceSounding) << "voice " << i << " before its note-off";

    EventList().noteOff(48).noteOff(60).noteOff(67).sendTo(*engine);
    const Stereo tail = render(*engine, releaseSamples + 64);
    for (size_t i = 0; i < tail.left.size(); i++)
        ASSERT_TRUE(std::isfinite(tail.left[i]) && std::isfinite(tail.right[i])) << "sample " << i;
    for (int i = 0; i < 8; i++)
        EXPECT_EQ(voice(*engine, i).getState(), kVoiceIdle) << "voice " << i << " after its release";
    const Stereo after = render(*engine, 256);
    for (size_t i = 0; i < after.left.size(); i++)
        ASSERT_EQ(after.left[i], 0.0f);
}

TEST_P(RegressionRender, RendersTheSameAtEveryBlockSize)
{
    const Variation& variation = kVariations[GetParam()];
    const Stereo whole = perform(variation, 3584, false);
    for (int blockSize : {1, 7, 64, 512})
    {
        const Stereo split = perform(variation, blockSize, false);
        ASSERT_EQ(split.left.size(), whole.left.size());
        for (size_t i = 0; i < whole.left.size(); i++)
        {
            ASSERT_EQ(split.left[i], whole.left[i]) << "block size " << blockSize << ", sample " << i;
            ASSERT_EQ(split.right[i], whole.right[i]) << "block size " << blockSize << ", sample " << i;
        }
    }
}

TEST_P(RegressionRender, MatchesItsFixture)
{
    const Variation& variation = kVariations[GetParam()];
    const std::string rendered = fixtureText(variation, perform(variation, 256));
    const std::string path = fixturePath(variation);
    const char* write = std::getenv("ZENTHARODE_WRITE_FIXTURES");
    if (write != nullptr && std::strcmp(write, "1") == 0)
    {
        std::ofstream(path, std::ios::binary) << rendered;
        GTEST_SKIP() << "wrote " << path;
    }

    std::ifstream file(path, std::ios::binary);
    ASSERT_TRUE(file.good()) << "missing fixture " << path;
    std::stringstream stored;
    stored << file.rdbuf();
    std::istringstream expectedLines(stored.str());
    std::istringstream actualLines(rendered);
    std::string expected;
    std::string actual;
    int lineNumber = 0;
    while (std::getline(expectedLines, expected))
    {
        lineNumber++;
        ASSERT_TRUE(std::getline(actualLines, actual)) << "render ends before line " << lineNumber;
        ASSERT_EQ(actual, expected) << path << ":" << lineNumber;
    }
    EXPECT_FALSE(std::getline(actualLines, actual)) << "render has more lines than " << path;
}

INSTANTIATE_TEST_SUITE_P(Programs, FactoryProgram, ::testing::Range(0, kFactoryPrograms));
INSTANTIATE_TEST_SUITE_P(Renders, RegressionRender, ::testing::Range(0, kNumVariations));
