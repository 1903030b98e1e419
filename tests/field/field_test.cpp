// Field tables: the axioms checked exhaustively for every supported q, and
// the literal rows that the incidence patterns and stored data rely on.
#include <gtest/gtest.h>

#include <vector>

#include "field/field.h"
#include "frame/runpar.h"

namespace {

const int kFields[] = {2, 3, 4, 5, 7};

class FieldAxioms : public ::testing::TestWithParam<int> {
   protected:
    void SetUp() override {
        initbits();
        setfield(GetParam());
    }
};

TEST_P(FieldAxioms, AdditionIsAnAbelianGroupWithNegatives) {
    const int q = GetParam();
    for (int a = 0; a < q; a++) {
        EXPECT_EQ(addtab[a][0], a);
        EXPECT_EQ(addtab[a][negtab[a]], 0) << "a=" << a;
        for (int b = 0; b < q; b++) {
            ASSERT_GE(addtab[a][b], 0);
            ASSERT_LT(addtab[a][b], q);
            EXPECT_EQ(addtab[a][b], addtab[b][a]);
            for (int c = 0; c < q; c++) EXPECT_EQ(addtab[addtab[a][b]][c], addtab[a][addtab[b][c]]);
        }
    }
}

TEST_P(FieldAxioms, MultiplicationIsAGroupOnNonZeroAndDistributes) {
    const int q = GetParam();
    EXPECT_EQ(invtab[0], 0);
    for (int a = 0; a < q; a++) {
        EXPECT_EQ(multab[a][1], a);
        EXPECT_EQ(multab[a][0], 0);
        if (a) {
            EXPECT_EQ(multab[a][invtab[a]], 1) << "a=" << a;
        }
        for (int b = 0; b < q; b++) {
            EXPECT_EQ(multab[a][b], multab[b][a]);
            if (a && b) {
                EXPECT_NE(multab[a][b], 0);
            }
            for (int c = 0; c < q; c++) {
                EXPECT_EQ(multab[multab[a][b]][c], multab[a][multab[b][c]]);
                EXPECT_EQ(multab[a][addtab[b][c]], addtab[multab[a][b]][multab[a][c]]);
            }
        }
    }
}

TEST_P(FieldAxioms, PowersAndMultipleIndices) {
    const int q = GetParam();
    uint64_t p = 1;
    for (int i = 0; i < 20; i++) {
        EXPECT_EQ(powtab[i], p) << "i=" << i;
        p *= (uint64_t)q;
    }
    if (q == 2) return;
    // multidx[a][j] is the index of a * g^j: a row of a is a rotation of the
    // row of 1, and the row of 1 lists every non-zero index once.
    std::vector<int> seen(q, 0);
    for (int j = 0; j < q - 1; j++) seen[multidx[1][j]]++;
    for (int x = 1; x < q; x++) EXPECT_EQ(seen[x], 1);
    for (int a = 1; a < q; a++)
        for (int j = 0; j + 1 < q - 1; j++)
            EXPECT_EQ(multidx[a][j + 1], multidx[a][j] % (q - 1) + 1);
    // incpat[0] is zero; every other pattern has three ones (q odd) or all
    // but one (q = 4), and the patterns are distinct.
    for (int t = 0; t < 2 * (q - 1); t++) EXPECT_EQ(incpat[0][t], 0);
    for (int x = 1; x < q; x++) {
        int ones = 0;
        for (int t = 0; t < 2 * (q - 1); t++) ones += incpat[x][t];
        EXPECT_EQ(ones, q == 4 ? 5 : 3);
        for (int y = 1; y < x; y++) {
            bool same = true;
            for (int t = 0; t < 2 * (q - 1); t++) same = same && incpat[x][t] == incpat[y][t];
            EXPECT_FALSE(same);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(AllFields, FieldAxioms, ::testing::ValuesIn(kFields));

std::vector<int> row(const int* r, int len) { return std::vector<int>(r, r + len); }

TEST(FieldTables, LiteralRows) {
    initbits();
    setfield(7);
    EXPECT_EQ(row(invtab, 7), (std::vector<int>{0, 1, 4, 5, 2, 3, 6}));
    EXPECT_EQ(row(negtab, 7), (std::vector<int>{0, 6, 5, 4, 3, 2, 1}));
    EXPECT_EQ(row(multidx[2], 6), (std::vector<int>{3, 4, 5, 6, 1, 2}));
    EXPECT_EQ(row(multidx[3], 6), (std::vector<int>{2, 3, 4, 5, 6, 1}));
    EXPECT_EQ(row(multidx[6], 6), (std::vector<int>{4, 5, 6, 1, 2, 3}));
    EXPECT_EQ(powtab[19], 11398895185373143ULL);

    setfield(5);
    EXPECT_EQ(row(multidx[1], 4), (std::vector<int>{1, 2, 3, 4}));
    EXPECT_EQ(row(multidx[2], 4), (std::vector<int>{2, 3, 4, 1}));
    EXPECT_EQ(row(multidx[3], 4), (std::vector<int>{4, 1, 2, 3}));
    EXPECT_EQ(row(multidx[4], 4), (std::vector<int>{3, 4, 1, 2}));
    EXPECT_EQ(row(incpat[1], 8), (std::vector<int>{1, 0, 1, 1, 0, 0, 0, 0}));
    EXPECT_EQ(row(incpat[4], 8), (std::vector<int>{1, 1, 0, 0, 0, 0, 1, 0}));

    setfield(4);
    EXPECT_EQ(addtab[2][3], 1);
    EXPECT_EQ(multab[3][3], 2);
    EXPECT_EQ(multab[2][2], 3);
    EXPECT_EQ(multab[2][3], 1);
    EXPECT_EQ(row(invtab, 4), (std::vector<int>{0, 1, 3, 2}));
    EXPECT_EQ(row(negtab, 4), (std::vector<int>{0, 1, 2, 3}));
    EXPECT_EQ(row(incpat[1], 6), (std::vector<int>{1, 0, 1, 1, 1, 1}));
    EXPECT_EQ(row(incpat[2], 6), (std::vector<int>{1, 1, 1, 0, 1, 1}));
    EXPECT_EQ(row(incpat[3], 6), (std::vector<int>{1, 1, 1, 1, 1, 0}));

    setfield(3);
    EXPECT_EQ(row(incpat[1], 4), (std::vector<int>{1, 0, 1, 1}));
    EXPECT_EQ(row(incpat[2], 4), (std::vector<int>{1, 1, 1, 0}));
}

TEST(FieldTables, BitTablesAndSwitches) {
    smallq1 = smallq2 = 1;
    initbits();
    EXPECT_EQ(smallq1, 0);
    EXPECT_EQ(smallq2, 0);
    EXPECT_EQ(popcnt16[0], 0);
    EXPECT_EQ(popcnt16[65535], 16);
    EXPECT_EQ(popcnt16[0x8001], 2);
    EXPECT_EQ(bitpos1[0], 0u);
    EXPECT_EQ(bitpos1[1], 1u);
    EXPECT_EQ(bitpos1[64], (uint64_t)1 << 63);
    EXPECT_EQ(allones, ~(uint64_t)0);
    // The table count and the instruction agree.
    const int saved = hwpopcnt;
    uint64_t w = 0x9e3779b97f4a7c15ULL;
    for (int i = 0; i < 100; i++, w = w * 6364136223846793005ULL + 1442695040888963407ULL) {
        hwpopcnt = 0;
        int bytable = popcnt64(w);
        EXPECT_EQ(bytable, __builtin_popcountll(w));
    }
    hwpopcnt = saved;
    // A large field clears the small-field switches; a small one leaves them.
    smallq1 = smallq2 = 1;
    setfield(3);
    EXPECT_EQ(smallq1, 1);
    setfield(7);
    EXPECT_EQ(smallq1, 0);
    EXPECT_EQ(smallq2, 0);
}

}  // namespace
