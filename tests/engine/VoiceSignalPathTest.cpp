// The voice's per-sample path, sample by sample against its formulas: saturation, loss filters, levels,
// coupling, limiter, DC blocking, the three filter positions, polarity, mix and envelope.
#include "EngineTestSupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <utility>
#include <vector>

using namespace enginetest;

namespace
{
struct PathCase
{
    const char* name;
    std::vector<std::pair<int, float>> settings;
    float input = 1.0f; // scale of the host input fed to the strings
    bool bothLimited = false;
};

// The next sample's output and the two lines as that sample leaves them.
struct Expected
{
    float output;
    StringDelayLine stringA;
    StringDelayLine stringB;
};

float clampCoupling(float c)
{
    return c < -0.5f ? -0.5f : (c > 0.5f ? 0.5f : c);
}

float withSignOf(float magnitude, float sign)
{
    return std::copysign(magnitude, sign);
}

// One sample of a sounding voice, worked out from a copy of its state.
Expected nextSample(const SynthEngine& e, const SynthVoice& v, float inL, float inR)
{
    const float* p = e.fCurrentParams;
    const float d = v.fDenormOffset;
    StringDelayLine stringA = v.fStringA;
    StringDelayLine stringB = v.fStringB;
    EnvelopeFollower followA = v.fFollowA;
    EnvelopeFollower followB = v.fFollowB;
    EnvelopeFollower followAB = v.fFollowAB;
    EnvelopeFollower followBA = v.fFollowBA;
    WarpedLatticeFilter body = v.fBodyFilter;
    AdsrEnvelope ampEnv = v.fAmpEnv;
    AdsrEnvelope filterEnv = v.fFilterEnv;
    TableLfo lfoWarp = v.fLfoWarp;
    NoiseTable noise = v.fNoise;

    const float rA = stringA.lastOutput() + inL;
    const float rB = stringB.lastOutput() + inR;
    const float sA = (e.fSatDrive1 * rA - e.fSatDrive1 * rA * (rA * rA)) + rA;
    const float sB = (e.fSatDrive2 * rB - e.fSatDrive2 * rB * (rB * rB)) + rB;
    const float a = (v.fLossA - sA) * e.fLossCoef1 + sA;
    const float b = (v.fLossB - sB) * e.fLossCoef2 + sB;
    const float levelA = followA.process(a);
    const float levelB = followB.process(b);

    const float k = 1.0f - p[kLeakageCutoff];
    const float q = p[kQuantization];
    float cAB;
    if (e.fQuantizeOn && static_cast<double>(levelB) > 1e-13)
    {
        float c;
        if (!e.fHighQuality && v.fSampleCount % 4 != 0)
            c = v.fHeldCoupling;
        else
        {
            if (q > 0.0f && q < 0.5f)
                c = withSignOf(std::ceil(std::fabs(b / levelA * v.fQuantSteps)) * levelA * v.fQuantStepInv, a);
            else if (q == 0.0f)
                c = withSignOf(levelA, a);
            else
            {
                const float r = withSignOf(noise.next(), a);
                const float smooth = k * (v.fNoiseSmooth - r) + r;
                c = levelB * smooth * e.fNoiseGain + a;
            }
            c = c * e.fLeakGain1;
        }
        cAB = k * (v.fCouplingLowpass - c) + c + d;
    }
    else
    {
        cAB = (k * (v.fCouplingLowpass - a) + a + d) * e.fLeakGain1;
    }
    float cBA = b * e.fLeakGain2;

    const float eAB = followAB.process(cAB);
    const float eBA = followBA.process(cBA);
    if (eAB > 0.6f && eBA > 0.6f)
    {
        const float x = (eAB - 0.6f) * 20.0f;
        const float y = (eBA - 0.6f) * 20.0f;
        cAB = cAB / (1.0f + x + x * x * 0.5f + x * x * x * 0.16666667f);
        cBA = cBA / (1.0f + y + y * y * 0.5f + y * y * y * 0.16666667f);
    }
    else if (eAB > 0.6f)
        cAB = cAB * std::exp((0.0f - (eAB - 0.6f)) * 20.0f);
    else if (eBA > 0.6f)
        cBA = cBA * std::exp((0.0f - (eBA - 0.6f)) * 20.0f);

    const float m = (sB - sA) * e.fMixComplement + sA;
    const float topo = p[kFilterTopology];
    const bool bodyOn = e.fBodyOn1 || e.fBodyOn2;
    float w = 0.0f;
    float env = 0.0f;
    if (bodyOn)
    {
        w = lfoWarp.next() * (0.5f * p[kLFOWarpAmp]) + e.fWarpSmoothed;
        w = w > 0.999f ? 0.999f : w;
        w = w < 0.0001f ? 0.0001f : w;
        env = filterEnv.tick();
    }
    if (e.fLeakOn1 || e.fLeakOn2)
    {
        const float dcBA = (v.fDcBA - cBA) * 0.97f + cBA;
        const float dcAB = (v.fDcAB - cAB) * 0.97f + cAB;
        cBA -= dcBA;
        cAB -= dcAB;
    }
    const float gainB = p[kPolarity2] > 0.5f ? v.fGainB : 0.0f - v.fGainB;
    float out;
    if (topo >= 0.66666669f)
    {
        stringA.tick(v.fGainA * a + cBA + d);
        stringB.tick(gainB * b + cAB + d);
        out = bodyOn ? static_cast<float>(body.process(static_cast<double>(m + d), w, env)) * v.fVelocityGain
                     : m * v.fVelocityGain;
    }
    else
    {
        if (bodyOn && topo > 0.33333334f)
            cBA = static_cast<float>(body.process(static_cast<double>(cBA + d), w, env));
        else if (bodyOn)
            cAB = static_cast<float>(body.process(static_cast<double>(cAB + d), w, env));
        cBA = clampCoupling(cBA);
        cAB = clampCoupling(cAB);
        stringA.tick(v.fGainA * a - cBA + d);
        stringB.tick(gainB * b + d + cAB);
        out = m * v.fVelocityGain;
    }
    return {ampEnv.tick() * out, std::move(stringA), std::move(stringB)};
}

// Two lines that were fed the same samples give the same outputs when both are run on with silence.
void expectSameContents(StringDelayLine expected, StringDelayLine actual, int sample, const char* which)
{
    const int frames = expected.getDelayCount() + 4;
    for (int i = 0; i < frames; i++)
        ASSERT_EQ(expected.tick(0.0f), actual.tick(0.0f)) << which << " written on sample " << sample;
}

class SignalPath : public ::testing::TestWithParam<PathCase>
{
};

TEST_P(SignalPath, EverySampleFollowsTheLoopFormulas)
{
    auto engine = makeEngine();
    // No pitch modulation: the loop delays stay put, so the lines can be compared by running them on.
    const std::vector<std::pair<int, float>> common = {
        {kLFO1Amp, 0.0f},     {kLFO2Amp, 0.0f},     {kSaturation1, 0.7f}, {kSaturation2, 0.5f},
        {kCutoff1, 0.3f},     {kCutoff2, 0.6f},     {kGain1, 0.999f},     {kGain2, 0.98f},
        {kMix, 0.3f},         {kLeakage1, 0.6f},    {kLeakage2, 0.5f},    {kLeakageCutoff, 0.4f},
        {kPolarity2, 1.0f},   {kQuantization, 0.5f}, {kQuality, 1.0f},    {kBodyType1, bodyValue(1)},
        {kBodyType2, bodyValue(5)}, {kLFOWarpAmp, 0.3f}, {kFilterAttack, 0.1f}, {kAttack, 0.05f},
        {kPolyphony, polyphonyValue(1)}};
    for (const auto& [index, value] : common)
        engine->setParameter(index, value);
    for (const auto& [index, value] : GetParam().settings)
        engine->setParameter(index, value);
    render(*engine, 16);
    EventList().noteOn(57, 110).sendTo(*engine);
    SynthVoice& v = voice(*engine, 0);
    render(*engine, 1);
    ASSERT_EQ(v.getState(), kVoiceSounding);

    int bothOver = 0;
    for (int i = 0; i < 600; i++)
    {
        const float inL = (0.01f * static_cast<float>(i % 7) - 0.03f) * GetParam().input;
        const float inR = (0.02f - 0.005f * static_cast<float>(i % 5)) * GetParam().input;
        const Expected expected = nextSample(*engine, v, inL, inR);
        const float actual = v.renderSample(inL, inR);
        ASSERT_EQ(actual, expected.output) << "sample " << i;
        ASSERT_NO_FATAL_FAILURE(expectSameContents(expected.stringA, v.fStringA, i, "String A"));
        ASSERT_NO_FATAL_FAILURE(expectSameContents(expected.stringB, v.fStringB, i, "String B"));
        if (v.fFollowAB.getLevel() > 0.6f && v.fFollowBA.getLevel() > 0.6f)
            bothOver++;
    }
    if (GetParam().bothLimited)
    {
        EXPECT_GT(bothOver, 100) << "both coupling signals were damped together";
    }
    EXPECT_EQ(v.getState(), kVoiceSounding);
    EXPECT_GT(v.getLevel(), 1e-4f) << "the strings still ring";
}

INSTANTIATE_TEST_SUITE_P(
    Voice, SignalPath,
    ::testing::Values(
        PathCase{"BodyInAToB", {{kFilterTopology, 0.0f}}},
        PathCase{"BodyInBToANegativePolarity", {{kFilterTopology, 0.5f}, {kPolarity2, 0.0f}}},
        PathCase{"BodyOnOutput", {{kFilterTopology, 1.0f}}},
        PathCase{"NoBodyNoLeakage",
                 {{kFilterTopology, 1.0f}, {kBodyType1, bodyValue(0)}, {kBodyType2, bodyValue(0)},
                  {kLeakage1, 0.0f}, {kLeakage2, 0.0f}}},
        PathCase{"Quantizer", {{kQuantization, 0.3f}}},
        PathCase{"QuantizerOneStep", {{kQuantization, 0.0f}}},
        PathCase{"QuantizerNoise", {{kQuantization, 0.8f}, {kFilterTopology, 0.5f}}},
        PathCase{"QuantizerNormalQuality", {{kQuantization, 0.2f}, {kQuality, 0.0f}}},
        PathCase{"HotCouplingHitsTheLimiter",
                 {{kLeakage1, 1.0f}, {kLeakage2, 1.0f}, {kGain1, 1.0f}, {kGain2, 1.0f}, {kSaturation1, 0.0f},
                  {kSaturation2, 0.0f}, {kCutoff1, 1.0f}, {kCutoff2, 1.0f}, {kLeakageCutoff, 1.0f}},
                 60.0f, true},
        PathCase{"LoudInputIntoTheSaturation", {{kGain1, 0.9f}, {kGain2, 0.9f}}, 15.0f}),
    [](const ::testing::TestParamInfo<PathCase>& info) { return std::string(info.param.name); });
} // namespace
