// Tests of the warped lattice filter.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "dsp/BodyTable.h"
#include "dsp/RandomSource.h"
#include "dsp/WarpedLatticeFilter.h"

namespace
{
constexpr int kCapacity = 30;

WarpedLatticeFilter makeFilter(int order, const std::vector<double>& setA, const std::vector<double>& setB,
                               int interval = 1)
{
    WarpedLatticeFilter filter(kCapacity);
    filter.setOrder(order);
    filter.setUpdateInterval(interval);
    filter.setCoefficientSet(setA.data(), static_cast<int>(setA.size()), 1);
    filter.setCoefficientSet(setB.data(), static_cast<int>(setB.size()), 0);
    return filter;
}

std::vector<double> noise(int count, int seed)
{
    RandomSource::seed(static_cast<uint32_t>(seed));
    std::vector<double> values(static_cast<size_t>(count));
    for (double& v : values)
        v = RandomSource::rand() / 16384.0 - 1.0;
    return values;
}
} // namespace

TEST(WarpedLatticeFilter, OrderOneIsAPureGain)
{
    WarpedLatticeFilter filter = makeFilter(1, {0.5}, {0.0});
    const double lambda = 0.3;
    EXPECT_NEAR(filter.process(1.0, lambda, 0.0), 1.0 / (1.0 + lambda * 0.5), 1e-15);
    EXPECT_EQ(filter.process(0.0, lambda, 0.0), 0.0);
    EXPECT_NEAR(filter.process(-2.0, lambda, 0.0), -2.0 / (1.0 + lambda * 0.5), 1e-15);
    EXPECT_NEAR(filter.process(1.0, -0.6, 0.0), 1.0 / (1.0 - 0.6 * 0.5), 1e-15);
}

TEST(WarpedLatticeFilter, OrderTwoUnwarpedImpulseResponse)
{
    WarpedLatticeFilter filter = makeFilter(2, {0.5, 0.5}, {0.0, 0.0});
    filter.setGain(1.0);
    const double expected[] = {1.0, -0.25, 0.0625, -0.015625, 0.00390625};
    EXPECT_EQ(filter.process(1.0, 0.0, 0.0), expected[0]);
    for (int i = 1; i < 5; ++i)
        EXPECT_EQ(filter.process(0.0, 0.0, 0.0), expected[i]) << i;
    EXPECT_EQ(filter.getLastOutput(), expected[4]);
}

TEST(WarpedLatticeFilter, WarpedImpulseResponseWithAMovingMorph)
{
    // Order 4, warp 0.5, gain 0.9, updates every eighth sample while the morph rises by 0.1 per sample.
    WarpedLatticeFilter filter = makeFilter(4, {0.5, -0.25, 0.125, 0.3}, {-0.2, 0.4, 0.1, -0.5}, 8);
    filter.setGain(0.9);
    const double expected[12] = {
        0.76734038653033465,  0.018166460673749465,  0.12834564563647172,  0.065725003987380209,
        0.020184926063319914, -0.013708425510911658, -0.035319848545765462, -0.045929427208563044,
        0.048468271578837416, 0.057862630173775936,  0.03321095008631534,  0.012332228407247105,
    };
    for (int i = 0; i < 12; ++i)
        EXPECT_EQ(filter.process(i == 0 ? 1.0 : 0.0, 0.5, i / 10.0), expected[i]) << i;
}

TEST(WarpedLatticeFilter, MorphEndsUseOneSetAlone)
{
    const std::vector<double> a = {0.3, -0.4, 0.2, 0.1};
    const std::vector<double> b = {-0.6, 0.25, 0.5, -0.3};
    const std::vector<double> input = noise(200, 4);
    WarpedLatticeFilter blendA = makeFilter(4, a, b);
    WarpedLatticeFilter blendB = makeFilter(4, a, b);
    WarpedLatticeFilter onlyA = makeFilter(4, a, a);
    WarpedLatticeFilter onlyB = makeFilter(4, b, b);
    for (double x : input)
    {
        ASSERT_EQ(blendA.process(x, 0.4, 0.0), onlyA.process(x, 0.4, 0.0));
        ASSERT_NEAR(blendB.process(x, 0.4, 1.0), onlyB.process(x, 0.4, 1.0), 1e-12);
    }
    EXPECT_EQ(blendA.getCoefficient(1), -0.4);
    EXPECT_EQ(blendB.getCoefficient(1), 0.25);
}

TEST(WarpedLatticeFilter, HalfMorphBlendsAndGainScales)
{
    WarpedLatticeFilter filter = makeFilter(2, {0.5, -0.25}, {0.25, 0.75});
    filter.updateCoefficients(0.2, 0.5, 0.5);
    EXPECT_EQ(filter.getCoefficient(0), 0.1875);
    EXPECT_EQ(filter.getCoefficient(1), 0.125);
    EXPECT_EQ(filter.getGain(), 0.5);
}

TEST(WarpedLatticeFilter, ZeroGainPassesTheInputUnchanged)
{
    double set[kBodyCoefficients];
    WarpedLatticeFilter::randomCoefficients(set, 9, kBodyCoefficients);
    WarpedLatticeFilter filter(kCapacity);
    filter.setOrder(30);
    filter.setCoefficientSet(set, 30, 1);
    filter.setCoefficientSet(bodyTable(1), 30, 0);
    filter.setGain(0.0);
    for (double x : noise(300, 2))
        ASSERT_EQ(filter.process(x, 0.7, 0.3), x);
}

TEST(WarpedLatticeFilter, MorphChangeActsAtTheNextUpdate)
{
    for (int start = 0; start < 16; ++start)
    {
        WarpedLatticeFilter filter = makeFilter(2, {0.5, 0.5}, {-0.5, 0.25}, 8);
        for (int i = 0; i < start; ++i)
            filter.process(0.1, 0.3, 0.0);
        int late = 0;
        while (filter.getCoefficient(0) != -0.5 && late < 100)
        {
            filter.process(0.1, 0.3, 1.0);
            ++late;
        }
        // late counts the sample that took the new morph, so at most 7 samples went by before it
        EXPECT_EQ(late - 1, (8 - start % 8) % 8) << start;
        EXPECT_LE(late - 1, 7);
    }
}

TEST(WarpedLatticeFilter, IntervalOneUpdatesEverySample)
{
    WarpedLatticeFilter filter = makeFilter(2, {0.5, 0.5}, {-0.5, 0.25}, 1);
    for (int i = 0; i < 5; ++i)
    {
        const double morph = (i % 2 == 0) ? 0.0 : 1.0;
        filter.process(0.1, 0.3, morph);
        EXPECT_EQ(filter.getCoefficient(0), morph == 0.0 ? 0.5 : -0.5);
    }
}

TEST(WarpedLatticeFilter, WarpActsAtOnceBetweenUpdates)
{
    WarpedLatticeFilter first = makeFilter(3, {0.5, -0.3, 0.2}, {0.5, -0.3, 0.2}, 8);
    WarpedLatticeFilter second = makeFilter(3, {0.5, -0.3, 0.2}, {0.5, -0.3, 0.2}, 8);
    EXPECT_EQ(first.process(1.0, 0.3, 0.0), second.process(1.0, 0.3, 0.0));
    EXPECT_EQ(first.process(0.5, 0.3, 0.0), second.process(0.5, 0.3, 0.0));
    EXPECT_NE(first.process(0.0, 0.3, 0.0), second.process(0.0, 0.6, 0.0));
}

TEST(WarpedLatticeFilter, UpdateIntervalIsAtLeastOne)
{
    WarpedLatticeFilter filter(kCapacity);
    EXPECT_EQ(filter.getUpdateInterval(), 8);
    filter.setUpdateInterval(0);
    EXPECT_EQ(filter.getUpdateInterval(), 1);
    filter.setUpdateInterval(-7);
    EXPECT_EQ(filter.getUpdateInterval(), 1);
    filter.setOrder(3);
    EXPECT_TRUE(std::isfinite(filter.process(1.0, 0.5, 0.5)));
}

TEST(WarpedLatticeFilter, OrderIsLimitedToTheCapacity)
{
    WarpedLatticeFilter filter(kCapacity);
    filter.setOrder(0);
    EXPECT_EQ(filter.getOrder(), 1);
    filter.setOrder(-4);
    EXPECT_EQ(filter.getOrder(), 1);
    filter.setOrder(31);
    EXPECT_EQ(filter.getOrder(), 30);
    filter.setOrder(1 << 30);
    EXPECT_EQ(filter.getOrder(), 30);
    filter.setCoefficientSet(bodyTable(2), kBodyCoefficients, 1);
    for (double x : noise(100, 6))
        ASSERT_TRUE(std::isfinite(filter.process(x, 0.5, 0.0)));

    WarpedLatticeFilter tiny(0);
    EXPECT_EQ(tiny.getCapacity(), 1);
    tiny.setOrder(5);
    EXPECT_EQ(tiny.getOrder(), 1);
}

TEST(WarpedLatticeFilter, CoefficientSetCountsAreLimited)
{
    std::vector<double> many(100, 0.25);
    WarpedLatticeFilter filter(kCapacity);
    filter.setOrder(30);
    filter.setCoefficientSet(many.data(), 100, 1); // only the capacity is copied
    filter.setCoefficientSet(many.data(), -3, 0);  // nothing
    filter.setCoefficientSet(nullptr, 30, 0);      // nothing
    filter.updateCoefficients(0.0, 1.0, 0.0);
    for (int i = 0; i < 30; ++i)
        EXPECT_EQ(filter.getCoefficient(i), 0.25) << i;
    filter.updateCoefficients(0.0, 1.0, 1.0);
    for (int i = 0; i < 30; ++i)
        EXPECT_EQ(filter.getCoefficient(i), 0.0) << i;
    EXPECT_EQ(filter.getCoefficient(30), 0.0);
    EXPECT_EQ(filter.getCoefficient(-1), 0.0);
}

TEST(WarpedLatticeFilter, ShortCoefficientSetKeepsTheRest)
{
    WarpedLatticeFilter filter(kCapacity);
    filter.setOrder(30);
    filter.setCoefficientSet(bodyTable(3), 30, 1);
    filter.setCoefficientSet(bodyTable(1), 5, 1);
    filter.updateCoefficients(0.0, 1.0, 0.0);
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(filter.getCoefficient(i), bodyTable(1)[i]) << i;
    for (int i = 5; i < 30; ++i)
        EXPECT_EQ(filter.getCoefficient(i), bodyTable(3)[i]) << i;
}

TEST(WarpedLatticeFilter, RandomCoefficientsAreReproducible)
{
    double first[kBodyCoefficients];
    double again[kBodyCoefficients];
    WarpedLatticeFilter::randomCoefficients(first, 1, kBodyCoefficients);
    WarpedLatticeFilter::randomCoefficients(again, 1, kBodyCoefficients);
    const double scale = static_cast<double>(0.949999988f);
    EXPECT_EQ(first[0], scale * (41.0 / 5000.0 - 1.0) * (8467.0 / 5000.0 - 1.0));
    for (int i = 0; i < kBodyCoefficients; ++i)
    {
        EXPECT_EQ(first[i], again[i]) << i;
        EXPECT_GT(first[i], -0.95);
        EXPECT_LT(first[i], 0.95);
    }
    double other[kBodyCoefficients];
    WarpedLatticeFilter::randomCoefficients(other, 2, kBodyCoefficients);
    EXPECT_NE(other[0], first[0]);
}

TEST(WarpedLatticeFilter, RandomCoefficientCountsAreLimited)
{
    std::vector<double> values(100, 7.0);
    WarpedLatticeFilter::randomCoefficients(values.data(), 1, 100);
    for (int i = 0; i < 30; ++i)
        EXPECT_NE(values[static_cast<size_t>(i)], 7.0) << i;
    for (int i = 30; i < 100; ++i)
        EXPECT_EQ(values[static_cast<size_t>(i)], 7.0) << i;
    std::vector<double> untouched(5, 7.0);
    WarpedLatticeFilter::randomCoefficients(untouched.data(), 1, -1);
    WarpedLatticeFilter::randomCoefficients(nullptr, 1, 30);
    EXPECT_EQ(untouched, std::vector<double>(5, 7.0));
}

TEST(WarpedLatticeFilter, ClearKeepsTheUpdatePhase)
{
    WarpedLatticeFilter filter = makeFilter(2, {0.5, 0.5}, {-0.5, 0.25}, 8);
    for (int i = 0; i < 5; ++i)
        filter.process(1.0, 0.2, 0.0);
    filter.clear();
    EXPECT_EQ(filter.getSampleCount(), 5u);
    EXPECT_EQ(filter.getLastOutput(), 0.0);
    for (int i = 5; i < 8; ++i)
        filter.process(0.0, 0.2, 1.0);
    EXPECT_EQ(filter.getCoefficient(0), 0.5); // samples 5..7 are between updates
    filter.process(0.0, 0.2, 1.0);
    EXPECT_EQ(filter.getCoefficient(0), -0.5);

    // cleared states: the response to an impulse starts over
    WarpedLatticeFilter fresh = makeFilter(2, {0.5, 0.5}, {0.5, 0.5}, 1);
    WarpedLatticeFilter used = makeFilter(2, {0.5, 0.5}, {0.5, 0.5}, 1);
    for (double x : noise(33, 8))
        used.process(x, 0.0, 0.0);
    used.clear();
    for (int i = 0; i < 10; ++i)
        ASSERT_EQ(used.process(i == 0 ? 1.0 : 0.0, 0.0, 0.0), fresh.process(i == 0 ? 1.0 : 0.0, 0.0, 0.0));
}

TEST(WarpedLatticeFilter, FixedBodiesStayBoundedAtFullResonance)
{
    for (int table = 0; table < kNumBodyTables; ++table)
    {
        WarpedLatticeFilter filter(kCapacity);
        filter.setOrder(30);
        filter.setCoefficientSet(bodyTable(table), 30, 1);
        filter.setCoefficientSet(bodyTable(table), 30, 0);
        double peak = 0.0;
        for (double x : noise(20000, table))
            peak = std::max(peak, std::fabs(filter.process(x * 0.1, 0.5, 0.0)));
        EXPECT_TRUE(std::isfinite(peak)) << table;
        EXPECT_LT(peak, 1e3) << table;
    }
}
