// Tests of the fixed body coefficient sets and the body type names.
#include <gtest/gtest.h>

#include <cmath>

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
