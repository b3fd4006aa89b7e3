// Tests of the fixed body coefficient sets and the body type names.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>

#include "dsp/BodyTable.h"

TEST(BodyTable, NoneAlternatesTinyValues)
{
    const double* none = bodyTable(0);
    ASSERT_NE(none, nullptr);
    for (int i = 0; i < 29; ++i)
        EXPECT_EQ(none[i], i % 2 == 0 ? 1e-13 : -1e-13) << i;
    EXPECT_EQ(none[29], static_cast<double>(-1e-13f));
    EXPECT_NEAR(none[29], -9.9999998245167e-14, 1e-26);
}

TEST(BodyTable, FirstAndLastCoefficients)
{
    const double first[kNumBodyTables] = {1e-13, -0.9286906520516295, -0.9877859992356418, -0.8570098168542455,
                                          0.3700845034337509, -0.08558710666247947, 0.2819173117278803,
                                          0.3424925466233001, -0.9424};
    const double last[kNumBodyTables] = {static_cast<double>(-1e-13f), -0.11223875731229782, 0.0,
                                         0.08257458359003067, 0.07875744998455048, 0.014398372732102871,
                                         0.10456377267837524, -0.07146480679512024, 0.0309};
    for (int t = 0; t < kNumBodyTables; ++t)
    {
        EXPECT_EQ(bodyTable(t)[0], first[t]) << t;
        EXPECT_EQ(bodyTable(t)[kBodyCoefficients - 1], last[t]) << t;
    }
    EXPECT_EQ(bodyTable(2)[28], 0.08874089085833918);
    EXPECT_EQ(bodyTable(8)[3], 0.7555);
    EXPECT_EQ(bodyTable(5)[12], 0.3127644416488946);
}

TEST(BodyTable, EveryCoefficientMatchesItsPrintedValue)
{
    // Position-weighted sum of the bit patterns of each set, taken from the printed decimal values: any
    // changed digit that changes a double, and any two swapped entries, change the sum.
    const uint64_t expected[kNumBodyTables] = {
        0x3a40961e74d45ee6ull, 0x35f94ec941873c41ull, 0xc30fd4f1a548c570ull,
        0xb26936ed582acdfdull, 0x416b2170683c191bull, 0x2688801202549eb0ull,
        0xb42459ef89f18978ull, 0x2eba2c2268d37683ull, 0xa73ffcb923a29c7bull,
    };
    for (int t = 0; t < kNumBodyTables; ++t)
    {
        uint64_t sum = 0;
        for (int i = 0; i < kBodyCoefficients; ++i)
        {
            uint64_t bits = 0;
            std::memcpy(&bits, &bodyTable(t)[i], sizeof bits);
            sum += static_cast<uint64_t>(i + 1) * bits;
        }
        EXPECT_EQ(sum, expected[t]) << t;
    }
}

TEST(BodyTable, EveryCoefficientIsAReflectionCoefficient)
{
    for (int t = 0; t < kNumBodyTables; ++t)
        for (int i = 0; i < kBodyCoefficients; ++i)
            EXPECT_LT(std::fabs(bodyTable(t)[i]), 1.0) << t << " " << i;
}

TEST(BodyTable, TablesAreDistinctAndMatchTheArray)
{
    for (int t = 0; t < kNumBodyTables; ++t)
    {
        EXPECT_EQ(bodyTable(t), kBodyTables[t]);
        for (int u = t + 1; u < kNumBodyTables; ++u)
            EXPECT_NE(bodyTable(t)[1], bodyTable(u)[1]) << t << " " << u;
    }
}

TEST(BodyTable, OutOfRangeTableIsNull)
{
    EXPECT_EQ(bodyTable(-1), nullptr);
    EXPECT_EQ(bodyTable(kNumBodyTables), nullptr);
}

TEST(BodyTable, TypeNames)
{
    const char* const expected[kNumBodyTypes] = {"None", "Guitar", "Guitar 2", "Clavi", "Varnesi",
                                                 "Viola", "Dravo", "Quenbel", "FormantA", "Random",
                                                 "t-Random", "n-Random", "User A", "User B"};
    for (int i = 0; i < kNumBodyTypes; ++i)
        EXPECT_STREQ(bodyTypeName(i), expected[i]) << i;
    EXPECT_STREQ(bodyTypeName(-1), "");
    EXPECT_STREQ(bodyTypeName(kNumBodyTypes), "");
}
