#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <memory>

#include "colour/conversion_tables.h"

namespace tonalith {
namespace {

// The four tables as the plain per-entry formulas give them: every entry evaluates its own
// atan2, sqrt, cos and sin, with no sharing and no symmetry. The production build must match this
// entry for entry.
struct LiteralHsvTables {
    int16_t hue[1024][1024];
    int16_t chroma[513][513];
    int16_t cosine[1024][1024];
    int16_t sine[1024][1024];
};

std::unique_ptr<LiteralHsvTables> BuildLiteralHsvTables() {
    auto tables = std::make_unique<LiteralHsvTables>();
    const double pi = 4.0 * std::atan(1.0);
    for (int a = 0; a < 1024; ++a) {
        for (int b = 0; b < 1024; ++b) {
            if (a == 512 && b == 512) {
                tables->hue[a][b] = 0;
                continue;
            }
            const double theta = std::atan2(b - 512.0, a - 512.0);
            double x = theta * 180.0;
            x = x / pi;
            x = x * 1023.0;
            x = x * (1.0 / 360.0);
            int t = static_cast<int>(x);
            if (t < 0) t += 1023;
            tables->hue[a][b] = static_cast<int16_t>(t);
        }
    }
    for (int a = 0; a <= 512; ++a) {
        for (int b = 0; b <= 512; ++b) {
            const double r = std::sqrt(static_cast<double>(a * a + b * b));
            int x = static_cast<int>(r * 1023.0 * (1.0 / 724.0));
            if (x < 0) x = 0;
            if (x > 1023) x = 1023;
            tables->chroma[a][b] = static_cast<int16_t>(x);
        }
    }
    for (int h = 0; h < 1024; ++h) {
        for (int s = 0; s < 1024; ++s) {
            const double theta = pi * (h * 360.0 * (1.0 / 1023.0)) * (1.0 / 180.0);
            const double rho = s * 724.0 * (1.0 / 1023.0);
            const int cb = static_cast<int>(std::cos(theta) * rho * 4.0);
            const int cr = static_cast<int>(std::sin(theta) * rho * 4.0);
            tables->cosine[h][s] = static_cast<int16_t>(cb);
            tables->sine[h][s] = static_cast<int16_t>(cr);
        }
    }
    return tables;
}

class HsvTables : public ::testing::Test {
protected:
    static void SetUpTestSuite() { BuildConversionTables(); }
};

// The shared-row and mirrored build gives exactly the tables of the per-entry formulas.
TEST_F(HsvTables, EveryEntryEqualsTheLiteralBuild) {
    const auto literal = BuildLiteralHsvTables();
    int hueMismatches = 0, chromaMismatches = 0, cosMismatches = 0, sinMismatches = 0;
    for (int i = 0; i < 1024; ++i) {
        for (int j = 0; j < 1024; ++j) {
            if (HueTable[i][j] != literal->hue[i][j] && ++hueMismatches <= 5)
                ADD_FAILURE() << "HueTable[" << i << "][" << j << "] " << HueTable[i][j]
                              << " != " << literal->hue[i][j];
            if (CosTable[i][j] != literal->cosine[i][j] && ++cosMismatches <= 5)
                ADD_FAILURE() << "CosTable[" << i << "][" << j << "] " << CosTable[i][j]
                              << " != " << literal->cosine[i][j];
            if (SinTable[i][j] != literal->sine[i][j] && ++sinMismatches <= 5)
                ADD_FAILURE() << "SinTable[" << i << "][" << j << "] " << SinTable[i][j]
                              << " != " << literal->sine[i][j];
        }
    }
    for (int a = 0; a <= 512; ++a) {
        for (int b = 0; b <= 512; ++b) {
            if (ChromaTable[a][b] != literal->chroma[a][b] && ++chromaMismatches <= 5)
                ADD_FAILURE() << "ChromaTable[" << a << "][" << b << "] " << ChromaTable[a][b]
                              << " != " << literal->chroma[a][b];
        }
    }
    EXPECT_EQ(hueMismatches, 0);
    EXPECT_EQ(chromaMismatches, 0);
    EXPECT_EQ(cosMismatches, 0);
    EXPECT_EQ(sinMismatches, 0);
}

TEST_F(HsvTables, BuildingAgainRewritesTheSameValues) {
    const int16_t hue = HueTable[100][200];
    const int16_t chroma = ChromaTable[300][400];
    const int16_t cb = CosTable[100][500];
    const int16_t cr = SinTable[100][500];
    HueTable[100][200] = ChromaTable[300][400] = CosTable[100][500] = SinTable[100][500] = -7;
    BuildHsvTables();
    EXPECT_EQ(HueTable[100][200], hue);
    EXPECT_EQ(ChromaTable[300][400], chroma);
    EXPECT_EQ(CosTable[100][500], cb);
    EXPECT_EQ(SinTable[100][500], cr);
}

struct TablePoint {
    int row, column, expected;
};

TEST_F(HsvTables, HueTablePoints) {
    const TablePoint points[] = {
        {512, 512, 0},   {513, 512, 0},    {1023, 512, 0},  {512, 513, 255},  {512, 1023, 255},
        {511, 512, 511}, {0, 512, 511},    {512, 511, 768}, {512, 0, 768},    {1023, 1023, 127},
        {0, 1023, 383},  {0, 0, 640},      {1023, 0, 895},
        // Just below the positive Cb axis the truncated negative angle wraps to the last index;
        // just above it, index 0 is already passed.
        {612, 511, 1022}, {612, 513, 1},
    };
    for (const TablePoint& p : points)
        EXPECT_EQ(HueTable[p.row][p.column], p.expected) << p.row << "," << p.column;
}

TEST_F(HsvTables, HueTableNeverYields1023) {
    for (int a = 0; a < 1024; ++a)
        for (int b = 0; b < 1024; ++b) {
            ASSERT_GE(HueTable[a][b], 0);
            ASSERT_LE(HueTable[a][b], 1022);
        }
}

TEST_F(HsvTables, ChromaTablePoints) {
    const TablePoint points[] = {
        {0, 0, 0},       {1, 0, 1},       {0, 1, 1},       {1, 1, 1},       {100, 0, 141},
        {300, 400, 706}, {400, 400, 799}, {511, 0, 722},   {512, 0, 723},   {0, 512, 723},
        {362, 362, 723}, {511, 511, 1021}, {512, 512, 1023},
    };
    for (const TablePoint& p : points)
        EXPECT_EQ(ChromaTable[p.row][p.column], p.expected) << p.row << "," << p.column;
    // Full scale is reached only in the far corner.
    for (int a = 0; a <= 512; ++a)
        for (int b = 0; b <= 512; ++b)
            if (a != 512 || b != 512) {
                ASSERT_LT(ChromaTable[a][b], 1023) << a << "," << b;
            }
}

TEST_F(HsvTables, CosAndSinTablePoints) {
    struct CosSinPoint {
        int h, s, cb, cr;
    };
    const CosSinPoint points[] = {
        {0, 1, 2, 0},           {0, 512, 1449, 0},      {0, 1023, 2896, 0},
        {255, 1023, 13, 2895},  {256, 1023, -4, 2895},  {511, 1023, -2895, 8},
        {512, 1023, -2895, -8}, {767, 1023, -4, -2895}, {1022, 1023, 2895, -17},
        {1023, 1023, 2896, 0},  {100, 500, 1156, 815},
    };
    for (const CosSinPoint& p : points) {
        EXPECT_EQ(CosTable[p.h][p.s], p.cb) << p.h << "," << p.s;
        EXPECT_EQ(SinTable[p.h][p.s], p.cr) << p.h << "," << p.s;
    }
    for (int h = 0; h < 1024; ++h) {
        EXPECT_EQ(CosTable[h][0], 0) << h;
        EXPECT_EQ(SinTable[h][0], 0) << h;
    }
    // Row 1023 is a full turn.
    for (int s = 0; s < 1024; ++s) {
        ASSERT_EQ(CosTable[1023][s], CosTable[0][s]) << s;
        ASSERT_EQ(SinTable[1023][s], SinTable[0][s]) << s;
    }
}

}  // namespace
}  // namespace tonalith
