// Field tables: the axioms checked exhaustively for every supported q, and
// the literal rows that the incidence patterns and stored data rely on.
#include <gtest/gtest.h>

#include <vector>

#include "field/field.h"

namespace {

const int kFields[] = {2, 3, 4, 5, 7};

class FieldAxioms : public ::testing::TestWithParam<int> {
   protected:
    const Field& F = gf(GetParam());
};

TEST_P(FieldAxioms, AdditionIsAnAbelianGroupWithNegatives) {
    const int q = GetParam();
    for (int a = 0; a < q; a++) {
        EXPECT_EQ(F.addtab[a][0], a);
        EXPECT_EQ(F.addtab[a][F.negtab[a]], 0) << "a=" << a;
        for (int b = 0; b < q; b++) {
            ASSERT_GE(F.addtab[a][b], 0);
            ASSERT_LT(F.addtab[a][b], q);
            EXPECT_EQ(F.addtab[a][b], F.addtab[b][a]);
            for (int c = 0; c < q; c++) EXPECT_EQ(F.addtab[F.addtab[a][b]][c], F.addtab[a][F.addtab[b][c]]);
        }
    }
}

TEST_P(FieldAxioms, MultiplicationIsAGroupOnNonZeroAndDistributes) {
    const int q = GetParam();
    EXPECT_EQ(F.invtab[0], 0);
    for (int a = 0; a < q; a++) {
        EXPECT_EQ(F.multab[a][1], a);
        EXPECT_EQ(F.multab[a][0], 0);
        if (a) {
            EXPECT_EQ(F.multab[a][F.invtab[a]], 1) << "a=" << a;
        }
        for (int b = 0; b < q; b++) {
            EXPECT_EQ(F.multab[a][b], F.multab[b][a]);
            if (a && b) {
                EXPECT_NE(F.multab[a][b], 0);
            }
            for (int c = 0; c < q; c++) {
                EXPECT_EQ(F.multab[F.multab[a][b]][c], F.multab[a][F.multab[b][c]]);
                EXPECT_EQ(F.multab[a][F.addtab[b][c]], F.addtab[F.multab[a][b]][F.multab[a][c]]);
            }
        }
    }
}

TEST_P(FieldAxioms, PowersAndMultipleIndices) {
    const int q = GetParam();
    uint64_t p = 1;
    for (int i = 0; i < 20; i++) {
        EXPECT_EQ(F.powtab[i], p) << "i=" << i;
        p *= (uint64_t)q;
    }
    if (q == 2) return;
    // F.multidx[a][j] is the index of a * g^j: a row of a is a rotation of the
    // row of 1, and the row of 1 lists every non-zero index once.
    std::vector<int> seen(q, 0);
    for (int j = 0; j < q - 1; j++) seen[F.multidx[1][j]]++;
    for (int x = 1; x < q; x++) EXPECT_EQ(seen[x], 1);
    for (int a = 1; a < q; a++)
        for (int j = 0; j + 1 < q - 1; j++)
            EXPECT_EQ(F.multidx[a][j + 1], F.multidx[a][j] % (q - 1) + 1);
    // F.incpat[0] is zero; every other pattern has three ones (q odd) or all
    // but one (q = 4), and the patterns are distinct.
    for (int t = 0; t < 2 * (q - 1); t++) EXPECT_EQ(F.incpat[0][t], 0);
    for (int x = 1; x < q; x++) {
        int ones = 0;
        for (int t = 0; t < 2 * (q - 1); t++) ones += F.incpat[x][t];
        EXPECT_EQ(ones, q == 4 ? 5 : 3);
        for (int y = 1; y < x; y++) {
            bool same = true;
            for (int t = 0; t < 2 * (q - 1); t++) same = same && F.incpat[x][t] == F.incpat[y][t];
            EXPECT_FALSE(same);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(AllFields, FieldAxioms, ::testing::ValuesIn(kFields));

std::vector<int> row(const int* r, int len) { return std::vector<int>(r, r + len); }

TEST(FieldTables, LiteralRows) {
    {
        const Field& F = gf(7);
        EXPECT_EQ(row(F.invtab, 7), (std::vector<int>{0, 1, 4, 5, 2, 3, 6}));
        EXPECT_EQ(row(F.negtab, 7), (std::vector<int>{0, 6, 5, 4, 3, 2, 1}));
        EXPECT_EQ(row(F.multidx[2], 6), (std::vector<int>{3, 4, 5, 6, 1, 2}));
        EXPECT_EQ(row(F.multidx[3], 6), (std::vector<int>{2, 3, 4, 5, 6, 1}));
        EXPECT_EQ(row(F.multidx[6], 6), (std::vector<int>{4, 5, 6, 1, 2, 3}));
        EXPECT_EQ(F.powtab[19], 11398895185373143ULL);
    }
    {
        const Field& F = gf(5);
        EXPECT_EQ(row(F.multidx[1], 4), (std::vector<int>{1, 2, 3, 4}));
        EXPECT_EQ(row(F.multidx[2], 4), (std::vector<int>{2, 3, 4, 1}));
        EXPECT_EQ(row(F.multidx[3], 4), (std::vector<int>{4, 1, 2, 3}));
        EXPECT_EQ(row(F.multidx[4], 4), (std::vector<int>{3, 4, 1, 2}));
        EXPECT_EQ(row(F.incpat[1], 8), (std::vector<int>{1, 0, 1, 1, 0, 0, 0, 0}));
        EXPECT_EQ(row(F.incpat[4], 8), (std::vector<int>{1, 1, 0, 0, 0, 0, 1, 0}));
    }
    {
        const Field& F = gf(4);
        EXPECT_EQ(F.addtab[2][3], 1);
        EXPECT_EQ(F.multab[3][3], 2);
        EXPECT_EQ(F.multab[2][2], 3);
        EXPECT_EQ(F.multab[2][3], 1);
        EXPECT_EQ(row(F.invtab, 4), (std::vector<int>{0, 1, 3, 2}));
        EXPECT_EQ(row(F.negtab, 4), (std::vector<int>{0, 1, 2, 3}));
        EXPECT_EQ(row(F.incpat[1], 6), (std::vector<int>{1, 0, 1, 1, 1, 1}));
        EXPECT_EQ(row(F.incpat[2], 6), (std::vector<int>{1, 1, 1, 0, 1, 1}));
        EXPECT_EQ(row(F.incpat[3], 6), (std::vector<int>{1, 1, 1, 1, 1, 0}));
    }
    {
        const Field& F = gf(3);
        EXPECT_EQ(row(F.incpat[1], 4), (std::vector<int>{1, 0, 1, 1}));
        EXPECT_EQ(row(F.incpat[2], 4), (std::vector<int>{1, 1, 1, 0}));
    }
}

TEST(FieldTables, BitTables) {
    EXPECT_EQ(bits.popcnt16[0], 0);
    EXPECT_EQ(bits.popcnt16[65535], 16);
    EXPECT_EQ(bits.popcnt16[0x8001], 2);
    EXPECT_EQ(bits.bitpos1[0], 0u);
    EXPECT_EQ(bits.bitpos1[1], 1u);
    EXPECT_EQ(bits.bitpos1[64], (uint64_t)1 << 63);
    EXPECT_EQ(bits.allones, ~(uint64_t)0);
    // The table count and the instruction agree.
    uint64_t w = 0x9e3779b97f4a7c15ULL;
    for (int i = 0; i < 100; i++, w = w * 6364136223846793005ULL + 1442695040888963407ULL)
        EXPECT_EQ(popcnt64_table(w), __builtin_popcountll(w));
    // Only the supported fields have tables; each knows its size.
    for (int q = 0; q < 8; q++) {
        EXPECT_EQ(fieldok(q), q == 2 || q == 3 || q == 4 || q == 5 || q == 7);
        EXPECT_EQ(gf(q).q, q);
        EXPECT_EQ(gf(q).small(), q <= 4);
    }
}

}  // namespace
