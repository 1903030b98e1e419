// Field tables: every entry against the tests' own arithmetic (common/
// oracle.h), the multiple indices against discrete logarithms found here by
// trying, and the literal incidence patterns the labelling matrices rely on.
#include <gtest/gtest.h>

#include <algorithm>
#include <tuple>
#include <vector>

#include "common/oracle.h"
#include "field/field.h"

namespace {

TEST(FieldTables, AgreeWithTheTestsArithmeticAndLogarithms) {
    for (int q : {2, 3, 4, 5, 7}) {
        const Field& F = gf(q);
        const ownfield o{q};
        for (int a = 0; a < q; a++) {
            EXPECT_EQ(std::make_pair(F.negtab[a], F.invtab[a]), std::make_pair(o.neg(a), o.inv(a))) << q << " " << a;
            for (int b = 0; b < q; b++)
                EXPECT_EQ(std::make_pair(F.addtab[a][b], F.multab[a][b]), std::make_pair(o.add(a, b), o.mul(a, b)))
                    << "q=" << q << " a=" << a << " b=" << b;
        }
        uint64_t p = 1;
        for (int i = 0; i < 20; i++, p *= (uint64_t)q) EXPECT_EQ(F.powtab[i], p) << "q=" << q << " i=" << i;
        if (q == 2) continue;
        // multidx[a][j] is 1 + log(a g^j) for the smallest primitive element g.
        int g = 2, order = 0;
        for (;; g++, order = 0) {
            for (int x = g; x != 1; x = o.mul(x, g)) order++;
            if (order == q - 2) break;
        }
        std::vector<int> logt(q, 0);
        for (int e = 0, x = 1; e < q - 1; e++, x = o.mul(x, g)) logt[x] = e;
        for (int a = 1; a < q; a++)
            for (int j = 0, x = a; j < q - 1; j++, x = o.mul(x, g)) EXPECT_EQ(F.multidx[a][j], 1 + logt[x]) << q;
        // Non-zero patterns are distinct: three ones (q odd) or all but one (q = 4).
        for (int x = 0; x < q; x++) {
            std::vector<int> pat(F.incpat[x], F.incpat[x] + 2 * (q - 1));
            EXPECT_EQ(std::count(pat.begin(), pat.end(), 1), x == 0 ? 0 : q == 4 ? 5 : 3);
            for (int y = 1; y < x; y++) EXPECT_FALSE(std::equal(pat.begin(), pat.end(), F.incpat[y])) << q;
        }
    }
    const std::tuple<int, int, std::vector<int>> literal[] = {
        {3, 1, {1, 0, 1, 1}}, {3, 2, {1, 1, 1, 0}}, {4, 1, {1, 0, 1, 1, 1, 1}}, {4, 3, {1, 1, 1, 1, 1, 0}},
        {5, 1, {1, 0, 1, 1, 0, 0, 0, 0}}, {5, 4, {1, 1, 0, 0, 0, 0, 1, 0}}};
    for (const auto& [q, x, pat] : literal)
        EXPECT_EQ(std::vector<int>(gf(q).incpat[x], gf(q).incpat[x] + pat.size()), pat) << q << " " << x;
}

TEST(FieldTables, BitTables) {
    EXPECT_EQ(std::make_tuple(bits.popcnt16[0], bits.popcnt16[65535], bits.popcnt16[0x8001]), std::make_tuple(0, 16, 2));
    EXPECT_EQ(std::make_tuple(bits.bitpos1[0], bits.bitpos1[1], bits.bitpos1[64], bits.allones),
              std::make_tuple(0ull, 1ull, 1ull << 63, ~0ull));
    uint64_t w = 0x9e3779b97f4a7c15ULL;
    for (int i = 0; i < 100; i++, w = w * 6364136223846793005ULL + 1442695040888963407ULL)
        EXPECT_EQ(popcnt64_table(w), __builtin_popcountll(w));
    for (int q = 0; q < 8; q++) {
        EXPECT_EQ(fieldok(q), q == 2 || q == 3 || q == 4 || q == 5 || q == 7);
        EXPECT_EQ(std::make_pair(gf(q).q, gf(q).small()), std::make_pair(q, q <= 4));
    }
}

}  // namespace
