// Tests of the noise table.
#include <gtest/gtest.h>

#include "dsp/NoiseTable.h"
#include "dsp/RandomSource.h"

TEST(NoiseTable, ContinuesTheGeneratorSequence)
{
    RandomSource::seed(1);
    RandomSource::rand(); // 41
    NoiseTable table(2);
    EXPECT_EQ(table.next(), 8467.0f / 5000.0f - 1.0f);
    EXPECT_EQ(table.next(), 6334.0f / 5000.0f - 1.0f);
}

TEST(NoiseTable, WrapsAfterTheLastValue)
{
    RandomSource::seed(5);
    NoiseTable table(44100);
    const float first = table.next();
    float last = 0.0f;
    for (int i = 1; i < 44101; ++i)
        last = table.next();
    EXPECT_EQ(last, first);
}

TEST(NoiseTable, ValuesLieInTheirRange)
{
    RandomSource::seed(3);
    NoiseTable table(10000);
    for (int i = 0; i < 10000; ++i)
    {
        const float v = table.next();
        ASSERT_GE(v, -1.0f);
        ASSERT_LE(v, 9999.0f / 5000.0f - 1.0f);
    }
}

TEST(NoiseTable, EmptyCountGivesSilence)
{
    NoiseTable none(0);
    NoiseTable negative(-5);
    for (int i = 0; i < 3; ++i)
    {
        EXPECT_EQ(none.next(), 0.0f);
        EXPECT_EQ(negative.next(), 0.0f);
    }
}
