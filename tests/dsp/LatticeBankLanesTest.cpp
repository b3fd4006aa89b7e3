// Tests of the lattice bank as the voices run it: filters taken into lanes and given back, samples prepared
// ahead for predicted warps and morphs; every path against WarpedLatticeFilters, bit for bit.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <ostream>
#include <string>
#include <vector>

#include "dsp/BodyTable.h"
#include "dsp/LatticeBank.h"
#include "dsp/WarpedLatticeFilter.h"

namespace
{
constexpr int kLanes = LatticeBank::kLanes;
constexpr int kCapacity = LatticeBank::kCapacity;
#if defined(NDEBUG)
constexpr int kSessionSamples = 400000; // per path
#else
constexpr int kSessionSamples = 60000; // the sanitizer build runs unoptimised
#endif

struct Random
{
    uint64_t state;

    uint32_t next()
    {
        state = state * 6364136223846793005ull + 1442695040888963407ull;
        return static_cast<uint32_t>(state >> 33);
    }
    double uniform() { return next() / 2147483648.0; }
    int below(int n) { return static_cast<int>(next() % static_cast<uint32_t>(n)); }
    bool oneIn(int n) { return below(n) == 0; }
};

bool sameBits(double a, double b)
{
    return std::memcmp(&a, &b, sizeof a) == 0;
}

// Two filters hold the same state when every getter agrees and both answer the same to the same samples.
::testing::AssertionResult sameFilter(const WarpedLatticeFilter& expected, const WarpedLatticeFilter& actual)
{
    if (expected.getOrder() != actual.getOrder() || expected.getUpdateInterval() != actual.getUpdateInterval()
        || expected.getSampleCount() != actual.getSampleCount() || !sameBits(expected.getGain(), actual.getGain())
        || !sameBits(expected.getLastOutput(), actual.getLastOutput()))
        return ::testing::AssertionFailure() << "settings, counter or last output differ";
    for (int i = 0; i < kCapacity; ++i)
        if (!sameBits(expected.getCoefficient(i), actual.getCoefficient(i)))
            return ::testing::AssertionFailure() << "coefficient " << i << " differs";
    WarpedLatticeFilter a = expected;
    WarpedLatticeFilter b = actual;
    for (int n = 0; n < 2 * kCapacity; ++n)
    {
        const double x = n == 0 ? 1.0 : 0.001 * static_cast<double>(n % 7);
        const double ya = a.process(x, 0.4, 0.3);
        const double yb = b.process(x, 0.4, 0.3);
        if (!sameBits(ya, yb) && !(std::isnan(ya) && std::isnan(yb)))
            return ::testing::AssertionFailure() << "states differ: sample " << n << " gives " << ya << " vs " << yb;
    }
    return ::testing::AssertionSuccess();
}

// What drives one lane: a note on a voice's filter, its warp and morph trajectories.
struct Voice
{
    WarpedLatticeFilter filter{kCapacity};    // the voice's own filter, given to and taken from the bank
    WarpedLatticeFilter reference{kCapacity}; // the same filter, processed on its own
    bool active = false;
    double lambda = 0.5;
    double lambdaStep = 0.0;
    double morph = 0.0;
    double morphStep = 0.0;
    double amplitude = 0.1;
};

// A note start as the voice makes it, on both filters: order, gain, clear, both sets, one update.
void startNote(Voice& v, Random& random, int order)
{
    const bool loud = random.oneIn(4);
    const double gain = loud ? 1.0 + random.uniform() : random.uniform();
    double a[kBodyCoefficients];
    double b[kBodyCoefficients];
    WarpedLatticeFilter::randomCoefficients(a, static_cast<int>(random.next() % 5000), kBodyCoefficients);
    std::memcpy(b, bodyTable(random.below(kNumBodyTables)), sizeof b);
    v.lambda = 0.0001 + 0.998 * random.uniform();
    v.lambdaStep = random.oneIn(3) ? 0.0 : (random.uniform() - 0.5) * 1e-3;
    v.morph = 0.0;
    v.morphStep = random.uniform() * 1e-3;
    v.amplitude = loud ? 10.0 : random.uniform();
    for (WarpedLatticeFilter* f : {&v.filter, &v.reference})
    {
        f->setOrder(order);
        f->setGain(gain);
        f->clear();
        f->setCoefficientSet(a, order, 1);
        f->setCoefficientSet(b, order, 0);
        f->updateCoefficients(v.lambda, gain, static_cast<double>(1e-7f));
    }
}

void advance(Voice& v, Random& random)
{
    v.lambda += v.lambdaStep;
    if (v.lambda > 0.999 || v.lambda < 0.0001)
    {
        v.lambda = v.lambda > 0.999 ? 0.999 : 0.0001;
        v.lambdaStep = -v.lambdaStep;
    }
    v.morph += v.morphStep;
    if (v.morph > 1.0 || random.oneIn(3000))
        v.morph = random.uniform();
}

class LatticeBankLanes : public ::testing::TestWithParam<LatticeBank::Path>
{
};

std::vector<LatticeBank::Path> availablePaths()
{
    std::vector<LatticeBank::Path> paths;
    for (int p = 0; p < LatticeBank::kNumPaths; ++p)
        if (LatticeBank::isAvailable(static_cast<LatticeBank::Path>(p)))
            paths.push_back(static_cast<LatticeBank::Path>(p));
    return paths;
}
} // namespace

static void PrintTo(LatticeBank::Path path, std::ostream* os)
{
    *os << LatticeBank::pathName(path);
}

// Voices take their filters into the bank for a block and give them back at its end; notes start on the
// voice's own filter between a give-back and a take. Most of the time all voices share an order (the
// uniform form) and the next sample's warp and morph are predicted right; now and then they are not,
// orders differ, lanes stop or run away and are cleared. Every output, and every filter given back, must
// be the reference filter's.
TEST_P(LatticeBankLanes, FiltersTakenIntoLanesMatchTheirOwnProcessBitForBit)
{
    LatticeBank bank;
    ASSERT_TRUE(bank.setPath(GetParam()));
    Random random{0xB10C0000u + static_cast<uint64_t>(GetParam())};
    std::vector<Voice> voices(kLanes);
    int order = 30;
    int interval = 1;
    for (int l = 0; l < kLanes; ++l)
    {
        for (WarpedLatticeFilter* f : {&voices[l].filter, &voices[l].reference})
            f->setUpdateInterval(interval);
        startNote(voices[l], random, order);
        // staggered counters, as voices started at different times have
        for (int i = 0; i < l; ++i)
        {
            voices[l].filter.process(0.0, 0.5, 0.0);
            voices[l].reference.process(0.0, 0.5, 0.0);
        }
        voices[l].active = true;
        ASSERT_TRUE(bank.loadLane(l, voices[l].filter));
    }

    long prepared = 0;
    long mispredicted = 0;
    double x[kLanes];
    double lambda[kLanes];
    double morph[kLanes];
    double nextLambda[kLanes];
    double nextMorph[kLanes];
    double y[kLanes];
    for (int n = 0; n < kSessionSamples; ++n)
    {
        // block end: every filter goes back to its voice, then comes back into its lane
        if (random.oneIn(300))
        {
            for (int l = 0; l < kLanes; ++l)
            {
                bank.storeLane(l, voices[l].filter);
                ASSERT_TRUE(sameFilter(voices[l].reference, voices[l].filter)) << "voice " << l << " at " << n;
            }
            if (random.oneIn(20))
                order = 1 + random.below(kCapacity);
            if (random.oneIn(30))
            {
                interval = random.oneIn(2) ? 1 : (random.oneIn(4) ? 3 : 8);
                for (Voice& v : voices)
                    for (WarpedLatticeFilter* f : {&v.filter, &v.reference})
                        f->setUpdateInterval(interval);
            }
            for (int l = 0; l < kLanes; ++l)
            {
                Voice& v = voices[l];
                if (random.oneIn(6))
                    startNote(v, random, random.oneIn(10) ? 1 + random.below(kCapacity) : order);
                if (random.oneIn(10))
                    v.active = !v.active;
                ASSERT_TRUE(bank.loadLane(l, v.filter));
            }
        }
        // a note start inside a block gives one filter back and takes it again
        if (random.oneIn(500))
        {
            const int l = random.below(kLanes);
            bank.storeLane(l, voices[l].filter);
            startNote(voices[l], random, order);
            voices[l].active = true;
            ASSERT_TRUE(bank.loadLane(l, voices[l].filter));
        }

        // a voice falls idle, or sounds again, inside a block: its lane stops or runs on
        if (random.oneIn(200))
        {
            Voice& v = voices[random.below(kLanes)];
            v.active = !v.active;
        }
        uint32_t active = 0;
        for (int l = 0; l < kLanes; ++l)
        {
            Voice& v = voices[l];
            lambda[l] = v.lambda;
            morph[l] = v.morph;
            x[l] = v.amplitude * (2.0 * random.uniform() - 1.0);
            y[l] = 0.0;
            if (v.active)
                active |= 1u << l;
            advance(v, random);
            // the voice's guess of the next sample's warp and morph, now and then wrong
            nextLambda[l] = random.oneIn(200) ? v.lambda * 0.5 : v.lambda;
            nextMorph[l] = random.oneIn(200) ? 1.0 - v.morph : v.morph;
            mispredicted += nextLambda[l] != v.lambda || nextMorph[l] != v.morph;
        }
        bank.processAhead(x, lambda, morph, active, y, nextLambda, nextMorph);
        prepared += active != 0;

        for (int l = 0; l < kLanes; ++l)
        {
            if ((active >> l & 1u) == 0)
                continue;
            const double expected = voices[l].reference.process(x[l], lambda[l], morph[l]);
            ASSERT_TRUE(sameBits(y[l], expected) || (std::isnan(y[l]) && std::isnan(expected)))
                << "lane " << l << " sample " << n << ": " << y[l] << " vs " << expected;
            // the voice clears a lane whose output left the float range
            if (!std::isfinite(static_cast<float>(expected)))
            {
                bank.clear(l);
                voices[l].reference.clear();
            }
        }
    }
    for (int l = 0; l < kLanes; ++l)
    {
        bank.storeLane(l, voices[l].filter);
        EXPECT_TRUE(sameFilter(voices[l].reference, voices[l].filter)) << "voice " << l << " at the end";
    }
    EXPECT_GT(prepared, kSessionSamples / 2);
    EXPECT_GT(mispredicted, kSessionSamples / 100);
}

INSTANTIATE_TEST_SUITE_P(Paths, LatticeBankLanes, ::testing::ValuesIn(availablePaths()),
                         [](const ::testing::TestParamInfo<LatticeBank::Path>& info) {
                             return std::string(LatticeBank::pathName(info.param)) == "avx512vl-256"
                                        ? std::string("avx512vl256")
                                        : std::string(LatticeBank::pathName(info.param));
                         });
