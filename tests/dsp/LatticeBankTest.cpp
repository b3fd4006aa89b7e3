// Tests of the lattice bank: every path against eight WarpedLatticeFilters, bit for bit, over random sessions.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
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
constexpr int kSessionSamples = 600000; // per path; about 2.4 million active lane-samples
#else
constexpr int kSessionSamples = 150000; // the sanitizer build runs unoptimised
#endif
constexpr double kMinWarp = 0.0001; // the range the voice keeps the warp in
constexpr double kMaxWarp = 0.999;
const double kNoteMorph = static_cast<double>(1e-7f); // a note start's morph, stored as a float

// The session's own generator: RandomSource is reseeded by randomCoefficients.
struct SessionRandom
{
    uint64_t state;

    uint32_t next()
    {
        state = state * 6364136223846793005ull + 1442695040888963407ull;
        return static_cast<uint32_t>(state >> 33);
    }
    double uniform() { return next() / 2147483648.0; } // [0, 1)
    int below(int n) { return static_cast<int>(next() % static_cast<uint32_t>(n)); }
    bool oneIn(int n) { return below(n) == 0; }
};

bool sameBits(double a, double b)
{
    return std::memcmp(&a, &b, sizeof a) == 0;
}

std::string describe(double v)
{
    uint64_t b = 0;
    std::memcpy(&b, &v, sizeof b);
    char text[64];
    std::snprintf(text, sizeof text, "%.17g (0x%016llx)", v, static_cast<unsigned long long>(b));
    return text;
}

double fromBits(uint64_t b)
{
    double v = 0.0;
    std::memcpy(&v, &b, sizeof v);
    return v;
}

// What drives one lane: its input, warp and morph trajectories and whether it runs.
struct LaneDriver
{
    bool active = false;
    bool runaway = false;
    int input = 0; // 0 noise, 1 impulses, 2 signed zeros, 3 constant
    double amplitude = 0.1;
    double lambda = 0.5;
    double lambdaStep = 0.0;
    double morph = 0.0;
    double morphStep = 0.0;
};

std::vector<LatticeBank::Path> availablePaths()
{
    std::vector<LatticeBank::Path> paths;
    for (int p = 0; p < LatticeBank::kNumPaths; ++p)
        if (LatticeBank::isAvailable(static_cast<LatticeBank::Path>(p)))
            paths.push_back(static_cast<LatticeBank::Path>(p));
    return paths;
}

// Mirrors every set-up call on the bank's lane and on the lane's own filter.
class Session
{
public:
    explicit Session(LatticeBank& bank) : fBank(bank)
    {
        fFilters.reserve(kLanes);
        for (int l = 0; l < kLanes; ++l)
            fFilters.emplace_back(kCapacity);
    }

    void setOrder(int l, int n)
    {
        fBank.setOrder(l, n);
        fFilters[l].setOrder(n);
    }
    void setGain(int l, double g)
    {
        fBank.setGain(l, g);
        fFilters[l].setGain(g);
    }
    void setUpdateInterval(int l, int m)
    {
        fBank.setUpdateInterval(l, m);
        fFilters[l].setUpdateInterval(m);
    }
    void setCoefficientSet(int l, const double* values, int count, int which)
    {
        fBank.setCoefficientSet(l, values, count, which);
        fFilters[l].setCoefficientSet(values, count, which);
    }
    void clear(int l)
    {
        fBank.clear(l);
        fFilters[l].clear();
    }
    void updateCoefficients(int l, double lambda, double gain, double morph)
    {
        fBank.updateCoefficients(l, lambda, gain, morph);
        fFilters[l].updateCoefficients(lambda, gain, morph);
    }

    WarpedLatticeFilter& filter(int l) { return fFilters[l]; }

    // Everything a lane exposes, compared as bits.
    ::testing::AssertionResult sameLane(int l)
    {
        const WarpedLatticeFilter& f = fFilters[l];
        if (fBank.getOrder(l) != f.getOrder() || fBank.getUpdateInterval(l) != f.getUpdateInterval()
            || fBank.getSampleCount(l) != f.getSampleCount() || !sameBits(fBank.getGain(l), f.getGain())
            || !sameBits(fBank.getLastOutput(l), f.getLastOutput()))
            return ::testing::AssertionFailure()
                   << "lane " << l << ": order " << fBank.getOrder(l) << "/" << f.getOrder() << ", interval "
                   << fBank.getUpdateInterval(l) << "/" << f.getUpdateInterval() << ", count "
                   << fBank.getSampleCount(l) << "/" << f.getSampleCount() << ", gain "
                   << describe(fBank.getGain(l)) << "/" << describe(f.getGain()) << ", last output "
                   << describe(fBank.getLastOutput(l)) << "/" << describe(f.getLastOutput());
        for (int i = 0; i < kCapacity; ++i)
            if (!sameBits(fBank.getCoefficient(l, i), f.getCoefficient(i)))
                return ::testing::AssertionFailure() << "lane " << l << " coefficient " << i << ": "
                                                     << describe(fBank.getCoefficient(l, i)) << " vs "
                                                     << describe(f.getCoefficient(i));
        return ::testing::AssertionSuccess();
    }

private:
    LatticeBank& fBank;
    std::vector<WarpedLatticeFilter> fFilters;
};

// A coefficient set as a note start loads it: a fixed table or a random set, scaled up for a runaway.
void loadSet(Session& session, SessionRandom& random, int lane, int order, int which, bool runaway)
{
    double values[kBodyCoefficients];
    if (random.oneIn(2))
    {
        const double* table = bodyTable(random.below(kNumBodyTables));
        std::memcpy(values, table, sizeof values);
    }
    else
        WarpedLatticeFilter::randomCoefficients(values, static_cast<int>(random.next() % 100000), kBodyCoefficients);
    if (runaway)
    {
        const double scale = 1.0 + 2.0 * random.uniform();
        for (double& v : values)
            v *= scale;
    }
    // the voice passes its order as count; now and then a longer or shorter set leaves the rest as it was
    const int count = random.oneIn(8) ? random.below(kCapacity + 1) : order;
    session.setCoefficientSet(lane, values, count, which);
}

void startNote(Session& session, SessionRandom& random, LaneDriver& driver, int lane)
{
    driver.runaway = random.oneIn(3);
    const int order = 1 + random.below(kCapacity);
    double gain = random.uniform();
    if (driver.runaway || random.oneIn(4))
        gain = 1.0; // full resonance
    if (driver.runaway && random.oneIn(2))
        gain = 1.0 + 3.0 * random.uniform();
    session.setOrder(lane, order);
    session.setGain(lane, gain);
    session.clear(lane);
    loadSet(session, random, lane, order, 1, driver.runaway);
    loadSet(session, random, lane, order, 0, driver.runaway && random.oneIn(2));
    driver.lambda = driver.runaway ? 0.99 + 0.009 * random.uniform()
                                   : kMinWarp + (kMaxWarp - kMinWarp) * random.uniform();
    driver.lambdaStep = random.oneIn(3) ? 0.0 : (random.uniform() - 0.5) * 1e-3;
    session.updateCoefficients(lane, driver.lambda, gain, kNoteMorph);
    driver.morph = kNoteMorph;
    driver.morphStep = random.oneIn(4) ? 0.0 : random.uniform() * 1e-3;
    driver.input = random.below(4);
    driver.amplitude = random.oneIn(5) ? 100.0 * random.uniform() : random.uniform();
}

double nextInput(SessionRandom& random, const LaneDriver& driver)
{
    switch (driver.input)
    {
    case 0:
        return driver.amplitude * (2.0 * random.uniform() - 1.0);
    case 1:
        return random.oneIn(200) ? driver.amplitude : 0.0;
    case 2:
        return random.oneIn(2) ? -0.0 : 0.0;
    default:
        return driver.amplitude;
    }
}

void advance(SessionRandom& random, LaneDriver& driver)
{
    if (random.oneIn(500))
        driver.lambda = kMinWarp + (kMaxWarp - kMinWarp) * random.uniform();
    driver.lambda += driver.lambdaStep;
    if (driver.lambda > kMaxWarp || driver.lambda < kMinWarp)
    {
        driver.lambda = driver.lambda > kMaxWarp ? kMaxWarp : kMinWarp;
        driver.lambdaStep = -driver.lambdaStep;
    }
    if (random.oneIn(700))
        driver.morph = random.oneIn(2) ? random.uniform() : 1.0;
    driver.morph += driver.morphStep;
    if (driver.morph > 1.0 || driver.morph < 0.0)
    {
        driver.morph = driver.morph > 1.0 ? 1.0 : 0.0;
        driver.morphStep = -driver.morphStep;
    }
}

class LatticeBankPaths : public ::testing::TestWithParam<LatticeBank::Path>
{
};
} // namespace

// Names the path in failure messages.
static void PrintTo(LatticeBank::Path path, std::ostream* os)
{
    *os << LatticeBank::pathName(path);
}

// Lanes start, stop, change notes, orders, sets, gains and intervals at random; some run away to infinity
// and NaN and are cleared a few samples later, as the voice does. Every active lane's output must have
// the bits of its own WarpedLatticeFilter at every sample; inactive lanes must not move at all.
TEST_P(LatticeBankPaths, EveryLaneMatchesItsOwnFilterBitForBit)
{
    LatticeBank bank;
    ASSERT_TRUE(bank.setPath(GetParam()));
    Session session(bank);
    SessionRandom random{0x5EED0000u + static_cast<uint64_t>(GetParam())};
    LaneDriver drivers[kLanes];
    const int intervals[] = {1, 8, 1, 8, 3, 0};
    const double sentinel = fromBits(0x7FF0DEADBEEF0001ull); // a signalling NaN no lane ever produces

    // Some lanes run before they are set up, as a fresh filter would; most start with a note.
    for (int l = 0; l < kLanes; ++l)
    {
        session.setUpdateInterval(l, intervals[random.below(2)]);
        if (l >= 2)
            startNote(session, random, drivers[l], l);
        drivers[l].active = l < 2 || random.oneIn(2);
    }

    long activeLaneSamples = 0;
    long dueLaneSamples = 0;
    long infinities = 0;
    long nans = 0;
    long signedZeros = 0;
    long runaways = 0;
    for (int n = 0; n < kSessionSamples; ++n)
    {
        double x[kLanes];
        double lambda[kLanes];
        double morph[kLanes];
        double y[kLanes];
        uint32_t active = 0;
        for (int l = 0; l < kLanes; ++l)
        {
            LaneDriver& d = drivers[l];
            if (random.oneIn(2000))
                startNote(session, random, d, l);
            if (random.oneIn(700))
                d.active = !d.active;
            if (random.oneIn(6000))
                session.clear(l);
            if (random.oneIn(9000)) // a new order without a clear reads states left from longer runs
                session.setOrder(l, 1 + random.below(kCapacity));
            if (random.oneIn(9000))
                session.setGain(l, random.uniform());
            if (random.oneIn(5000))
                session.setUpdateInterval(l, intervals[random.below(6)]);
            // the voice clears a lane whose output is no longer finite; here it may first run on a little
            if (!std::isfinite(session.filter(l).getLastOutput()) && random.oneIn(8))
            {
                session.clear(l);
                ++runaways;
            }
            advance(random, d);
            x[l] = nextInput(random, d);
            lambda[l] = d.lambda;
            morph[l] = d.morph;
            y[l] = sentinel;
            if (d.active)
                active |= 1u << l;
        }
        // the bank reads the mask's low eight bits only; half the time it filters in place
        const uint32_t mask = active | (random.oneIn(2) ? 0xFFFFFF00u : 0u);
        const bool inPlace = random.oneIn(2);
        if (inPlace)
        {
            std::memcpy(y, x, sizeof y);
            bank.process(y, lambda, morph, mask, y);
        }
        else
            bank.process(x, lambda, morph, mask, y);

        for (int l = 0; l < kLanes; ++l)
        {
            WarpedLatticeFilter& f = session.filter(l);
            if ((active >> l & 1u) == 0)
            {
                ASSERT_TRUE(sameBits(y[l], inPlace ? x[l] : sentinel))
                    << "inactive lane " << l << " written at sample " << n;
                continue;
            }
            const uint32_t interval = static_cast<uint32_t>(f.getUpdateInterval());
            dueLaneSamples += f.getSampleCount() % interval == 0 ? 1 : 0;
            const double expected = f.process(x[l], lambda[l], morph[l]);
            ASSERT_TRUE(sameBits(y[l], expected))
                << LatticeBank::pathName(GetParam()) << " lane " << l << " sample " << n << ": "
                << describe(y[l]) << " instead of " << describe(expected) << " (order " << f.getOrder()
                << ", x " << describe(x[l]) << ", lambda " << lambda[l] << ", morph " << morph[l] << ")";
            ++activeLaneSamples;
            infinities += std::isinf(expected) ? 1 : 0;
            nans += std::isnan(expected) ? 1 : 0;
            signedZeros += expected == 0.0 && std::signbit(expected) ? 1 : 0;
        }
        if (n % 997 == 0)
        {
            for (int l = 0; l < kLanes; ++l)
                ASSERT_TRUE(session.sameLane(l)) << "sample " << n;
        }
    }
    for (int l = 0; l < kLanes; ++l)
        EXPECT_TRUE(session.sameLane(l));

    // the session reached what it is meant to cover
    EXPECT_GT(activeLaneSamples, kSessionSamples * 3L);
    EXPECT_GT(dueLaneSamples, activeLaneSamples / 4);
    EXPECT_LT(dueLaneSamples, activeLaneSamples);
    EXPECT_GT(infinities, 0);
    EXPECT_GT(nans, 0);
    EXPECT_GT(runaways, kSessionSamples / 8000);
    EXPECT_GT(signedZeros, 0);
}

INSTANTIATE_TEST_SUITE_P(AvailablePaths, LatticeBankPaths, ::testing::ValuesIn(availablePaths()),
                         [](const ::testing::TestParamInfo<LatticeBank::Path>& info) {
                             std::string name = LatticeBank::pathName(info.param);
                             for (char& c : name)
                                 c = c == '-' ? '_' : c;
                             return name;
                         });

// Path choice, and calls with lanes, orders, intervals, masks and arrays out of range.
TEST(LatticeBank, PathsAndBadInput)
{
    EXPECT_TRUE(LatticeBank::isAvailable(LatticeBank::Path::kScalar));
#if defined(__x86_64__)
    EXPECT_TRUE(LatticeBank::isAvailable(LatticeBank::Path::kSse2));
#endif
    EXPECT_TRUE(LatticeBank::isAvailable(LatticeBank::bestPath()));
    EXPECT_FALSE(LatticeBank::isAvailable(static_cast<LatticeBank::Path>(LatticeBank::kNumPaths)));
    LatticeBank bank;
    EXPECT_EQ(bank.getPath(), LatticeBank::bestPath());
    EXPECT_FALSE(bank.setPath(static_cast<LatticeBank::Path>(-1)));
    EXPECT_EQ(bank.getPath(), LatticeBank::bestPath());
    EXPECT_TRUE(bank.setPath(LatticeBank::Path::kScalar));
    EXPECT_EQ(bank.getPath(), LatticeBank::Path::kScalar);
    EXPECT_STREQ(LatticeBank::pathName(LatticeBank::Path::kAvx2), "avx2");

    // a new lane is a new filter
    WarpedLatticeFilter fresh(kCapacity);
    EXPECT_EQ(bank.getOrder(3), fresh.getOrder());
    EXPECT_EQ(bank.getUpdateInterval(3), fresh.getUpdateInterval());
    EXPECT_EQ(bank.getGain(3), fresh.getGain());

    bank.setOrder(0, 0);
    EXPECT_EQ(bank.getOrder(0), 1);
    bank.setOrder(0, 31);
    EXPECT_EQ(bank.getOrder(0), kCapacity);
    bank.setUpdateInterval(0, -3);
    EXPECT_EQ(bank.getUpdateInterval(0), 1);
    for (int lane : {-1, kLanes, 1 << 20})
    {
        bank.setOrder(lane, 5);
        bank.setGain(lane, 0.5);
        bank.setUpdateInterval(lane, 1);
        bank.setCoefficientSet(lane, bodyTable(1), kCapacity, 1);
        bank.clear(lane);
        bank.updateCoefficients(lane, 0.5, 0.5, 0.5);
        EXPECT_EQ(bank.getOrder(lane), 0);
        EXPECT_EQ(bank.getCoefficient(lane, 0), 0.0);
        EXPECT_EQ(bank.getLastOutput(lane), 0.0);
        EXPECT_EQ(bank.getSampleCount(lane), 0u);
    }
    EXPECT_EQ(bank.getCoefficient(0, -1), 0.0);
    EXPECT_EQ(bank.getCoefficient(0, kCapacity), 0.0);
    bank.setCoefficientSet(0, nullptr, kCapacity, 1);

    const double in[kLanes] = {1, 1, 1, 1, 1, 1, 1, 1};
    double out[kLanes] = {};
    bank.process(nullptr, in, in, LatticeBank::kAllLanes, out);
    bank.process(in, nullptr, in, LatticeBank::kAllLanes, out);
    bank.process(in, in, nullptr, LatticeBank::kAllLanes, out);
    bank.process(in, in, in, LatticeBank::kAllLanes, nullptr);
    bank.process(in, in, in, 0xFFFFFF00u, out); // no lane of the bank
    for (int l = 0; l < kLanes; ++l)
    {
        EXPECT_EQ(bank.getSampleCount(l), 0u) << l;
        EXPECT_EQ(out[l], 0.0) << l;
    }
}
