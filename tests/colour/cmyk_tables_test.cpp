#include <gtest/gtest.h>

#include <cstdint>

#include "colour/conversion_tables.h"

namespace tonalith {
namespace {

class CmykTables : public ::testing::Test {
protected:
    static void SetUpTestSuite() { BuildCmykTables(); }
};

struct TablePoint {
    int row, column, value;
};

TEST_F(CmykTables, DivideTableGivesTheComputedPoints) {
    const TablePoint points[] = {
        {0, 0, 255},    {0, 100, 255},  {0, 254, 255},  {0, 255, 0},    {1, 0, 254},
        {1, 1, 253},    {1, 2, 253},    {1, 3, 253},    {128, 0, 127},  {128, 1, 126},
        {128, 64, 84},  {128, 100, 44}, {128, 126, 1},  {128, 127, 0},  {128, 128, 0},
        {128, 255, 0},
    };
    for (const TablePoint& p : points)
        EXPECT_EQ(CmykDivideTable[p.row][p.column], p.value) << p.row << "," << p.column;
    for (int k = 0; k < 255; ++k) EXPECT_EQ(CmykDivideTable[0][k], 255) << k;
    for (int k = 0; k < 256; ++k) EXPECT_EQ(CmykDivideTable[255][k], 0) << k;
}

TEST_F(CmykTables, MultiplyTableGivesTheComputedPoints) {
    const TablePoint points[] = {
        {0, 0, 255},   {0, 1, 254},   {0, 100, 155}, {0, 254, 1},   {0, 255, 0},
        {128, 0, 127}, {128, 1, 126}, {128, 64, 95}, {128, 128, 63}, {128, 200, 27},
        {128, 254, 0}, {128, 255, 0},
    };
    for (const TablePoint& p : points)
        EXPECT_EQ(CmykMultiplyTable[p.row][p.column], p.value) << p.row << "," << p.column;
    for (int k = 0; k < 256; ++k) EXPECT_EQ(CmykMultiplyTable[255][k], 0) << k;
}

// The floating-point build must land on the exact integer separation everywhere: a quotient that
// came out a hair below an integer would truncate one too low.
TEST_F(CmykTables, DivideTableFollowsTheIntegerRuleEntryForEntry) {
    for (int v = 0; v < 256; ++v) {
        for (int k = 0; k < 256; ++k) {
            const int expected = (k == 255 || v + k > 255) ? 0 : (255 - v - k) * 255 / (255 - k);
            ASSERT_EQ(CmykDivideTable[v][k], expected) << "v=" << v << " k=" << k;
        }
    }
}

TEST_F(CmykTables, MultiplyTableFollowsTheIntegerRuleEntryForEntry) {
    for (int c = 0; c < 256; ++c)
        for (int k = 0; k < 256; ++k)
            ASSERT_EQ(CmykMultiplyTable[c][k], (255 - c) * (255 - k) / 255) << "c=" << c << " k=" << k;
}

TEST_F(CmykTables, RebuildingRewritesTheSameValues) {
    CmykDivideTable[10][20] ^= 0xFF;
    CmykMultiplyTable[30][255] = 77;  // the column the build never computes
    BuildCmykTables();
    EXPECT_EQ(CmykDivideTable[10][20], (255 - 10 - 20) * 255 / (255 - 20));
    EXPECT_EQ(CmykMultiplyTable[30][255], 0);
}

}  // namespace
}  // namespace tonalith
