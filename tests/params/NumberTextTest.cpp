// The number-to-text rules every read-out uses: float2string, long2string and dB2string.
#include "params/NumberText.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <string>

namespace
{
class NumberText : public ::testing::Test
{
protected:
    // Writes into a sentinel-filled buffer and checks that nothing beyond eight characters and a terminator moved.
    std::string floatText(float value)
    {
        return capture([&](char* text) { float2string(value, text); });
    }
    std::string longText(int32_t value)
    {
        return capture([&](char* text) { long2string(value, text); });
    }
    std::string dbText(float value)
    {
        return capture([&](char* text) { dB2string(value, text); });
    }

    template <typename Writer>
    std::string capture(Writer writer)
    {
        char buffer[32];
        std::memset(buffer, 0x7F, sizeof buffer);
        writer(buffer);
        const size_t length = strnlen(buffer, sizeof buffer);
        EXPECT_LE(length, 8u);
        for (size_t i = length + 1; i < sizeof buffer; i++)
            EXPECT_EQ(buffer[i], 0x7F) << "byte " << i << " written";
        return std::string(buffer, length);
    }
};
} // namespace

TEST_F(NumberText, ZeroDecibelsIsDigitPointAndSixZeros)
{
    EXPECT_EQ(dbText(1.0f), "0.000000");
}

TEST_F(NumberText, QuarterAmplitudeSquaredReadsMinus24Point0823)
{
    EXPECT_EQ(dbText(0.0625f), "-24.0823");
}

TEST_F(NumberText, SilenceAndNegativeGainReadMinusInfinity)
{
    EXPECT_EQ(dbText(0.0f), "-oo");
    EXPECT_EQ(dbText(-1.0f), "-oo");
}

TEST_F(NumberText, DigitsThatDoNotFitAreDroppedNotRounded)
{
    EXPECT_EQ(floatText(0.99999f), "0.999989"); // rounding would give 0.999990
    EXPECT_EQ(floatText(123.456f), "123.4560");
    EXPECT_EQ(floatText(-1.5f), "-1.50000");
}

TEST_F(NumberText, IntegerPartKeepsItsLowDigitsWhenTooLong)
{
    EXPECT_EQ(floatText(1234567.0f), "1234567.");
    EXPECT_EQ(floatText(12345678.0f), "2345678.");
}

TEST_F(NumberText, HugeLimitsDifferBySign)
{
    EXPECT_EQ(floatText(99999992.0f), "9999992."); // not above 99999999: the leading digit is dropped
    EXPECT_EQ(floatText(100000000.0f), "Huge!");
    EXPECT_EQ(floatText(-9999999.0f), "-999999.");
    EXPECT_EQ(floatText(-10000000.0f), "Huge!");
}

TEST_F(NumberText, NonFiniteValuesStayShort)
{
    EXPECT_EQ(floatText(std::numeric_limits<float>::infinity()), "Huge!");
    EXPECT_EQ(floatText(-std::numeric_limits<float>::infinity()), "Huge!");
    EXPECT_EQ(floatText(std::numeric_limits<float>::quiet_NaN()), "NaN");
    EXPECT_EQ(dbText(std::numeric_limits<float>::infinity()), "Huge!");
}

TEST_F(NumberText, IntegersAreRightAlignedInSevenColumns)
{
    EXPECT_EQ(longText(1), "      1");
    EXPECT_EQ(longText(30), "     30");
    EXPECT_EQ(longText(-5), "     -5");
    EXPECT_EQ(longText(99999999), "99999999");
}

TEST_F(NumberText, IntegersFromOneHundredMillionAreHuge)
{
    EXPECT_EQ(longText(100000000), "Huge!");
    EXPECT_EQ(longText(std::numeric_limits<int32_t>::max()), "Huge!");
}

TEST_F(NumberText, LongNegativeIntegersAreCutToEightCharacters)
{
    EXPECT_EQ(longText(std::numeric_limits<int32_t>::min()), "-2147483");
}
