// Reduced forms, dual matrices and information sets, each checked with the
// tests' own arithmetic: row spaces by rank, orthogonality of the dual,
// disjointness and spans of the information sets, the bit planes read back
// coordinate by coordinate.
#include <gtest/gtest.h>

#include <set>

#include "oracle.h"

using namespace dtest;

namespace {

bmat A, D, O;

std::vector<vec> rowsof(const bmat& m, int from, int to) {
    std::vector<vec> r;
    for (int i = from; i <= to; i++) r.emplace_back(m.a[i] + 1, m.a[i] + 1 + m.cols);
    return r;
}

std::vector<vec> join(std::vector<vec> a, const std::vector<vec>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// Every row of `dual` is orthogonal to every row of `rows`.
void expectorthogonal(const ogf& F, const std::vector<vec>& rows, const bmat& dual) {
    for (auto& g : rows)
        for (int t = 1, s = 0; t <= dual.fill; t++, s = 0) {
            for (size_t c = 0; c < g.size(); c++) s = F.add(s, F.mul(g[c], dual.a[t][c + 1]));
            ASSERT_EQ(s, 0);
        }
}

}  // namespace

TEST(DistanceRank, ReducedFormSystematicCopyAndDual) {
    DistEngine E;
    std::mt19937 rng(3);
    for (int q : {2, 3, 4, 5, 7})
        for (int rep = 0; rep < 8; rep++) {
            E.usefield(q, q <= 4);
            ogf F{q};
            int k = 2 + rep % 5, n = rep == 7 ? 120 : 6 + rep * 3;   // 120: a dual of many rows
            auto rows = randrows(rng, k, n, q, 0.5);
            if (rep % 2) rows[0] = rows[k - 1];   // a dependent row, and first
            if (rep % 3 == 0) rows[1] = vec(n, 0);
            int rk = rankof(F, rows);
            tobmat(A, rows, n, q);
            int r = E.rref(E.dinvar.wcopy, A, &O, Rref::sys);
            ASSERT_EQ(r, rk);
            EXPECT_EQ(E.dinvar.wcopy.fill, rk);
            auto red = rowsof(E.dinvar.wcopy, 1, r);
            EXPECT_EQ(rankof(F, join(red, rows)), rk);   // same row space
            for (int i = 0; i < r; i++) {   // echelon: pivot 1, zero in the other rows
                int p = 0;
                while (red[i][p] == 0) p++;
                EXPECT_EQ(red[i][p], 1);
                for (int j = 0; j < r; j++) EXPECT_EQ(red[j][p], i == j ? 1 : 0);
            }
            std::vector<vec> dep, sofar;   // dependent rows unreduced, in source order
            for (auto& v : rows)
                if (rankof(F, join(sofar, {v})) == (int)sofar.size()) dep.push_back(v);
                else sofar.push_back(v);
            EXPECT_EQ(rowsof(E.dinvar.wcopy, r + 1, k), dep);
            EXPECT_EQ(rowsof(A, 1, k), rows);   // the source is unchanged
            EXPECT_EQ(O.fill, r);   // systematic copy: identity in front
            for (int i = 1; i <= r; i++)
                for (int c = 1; c <= r; c++) EXPECT_EQ(O.a[i][c], i == c ? 1 : 0);
            // In place: the same rows, the dependent ones from the saved copy.
            EXPECT_EQ(E.rref(A, A, nullptr, Rref::none), r);
            EXPECT_EQ(rowsof(A, 1, k), rowsof(E.dinvar.wcopy, 1, k));
            // Dual: n - r rows, orthogonal to the code, of full rank.
            tobmat(A, rows, n, q);
            E.dualmat(D, A);
            ASSERT_EQ(D.fill, n - r);
            ASSERT_EQ(D.rows, n - r);
            expectorthogonal(F, rows, D);
            EXPECT_EQ(rankof(F, rowsof(D, 1, n - r)), n - r);
            E.dualmat(O, D);   // and back: the dual of the dual spans the code
            ASSERT_EQ(O.rows, r);
            EXPECT_EQ(rankof(F, join(rowsof(O, 1, r), rows)), r);
        }
}

TEST(DistanceRank, InformationSetsAreDisjointAndSpanTheCode) {
    DistEngine E;
    std::mt19937 rng(21);
    for (int q : {2, 3, 4, 5, 7})
        for (int rep = 0; rep < 10; rep++) {
            E.usefield(q, q <= 4);
            ogf F{q};
            int k = 2 + rep % 6, n = k + 2 + rep * 4;
            auto rows = randrows(rng, k, n, q, rep % 2 ? 0.2 : 0.6);
            if (rep % 4 == 1) rows[0] = rows[1];
            int rk = rankof(F, rows);
            tobmat(A, rows, n, q);
            E.infosets(A);
            infrec& it = E.dinvar.setinfo;
            if (rk < 1) {
                EXPECT_EQ(it.nsets, 0);
                continue;
            }
            ASSERT_GE(it.nsets, 1);
            EXPECT_EQ(it.k[1], rk);
            std::set<int> used;
            int full = 0, sum = 0;
            for (int i = 1; i <= it.nsets; i++) {
                EXPECT_GE(it.k[i], std::min(rk, 2));   // no set of rank 1 beside others
                EXPECT_LE(it.k[i], it.k[1]);
                full += it.k[i] == it.k[1];
                sum += it.k[i];
                bmat& M = E.dinvar.mata.h[i];
                for (int u = 1; u <= it.k[i]; u++) {
                    int p = it.a[i][u];
                    EXPECT_TRUE(used.insert(p).second) << "pivot " << p << " reused";
                    EXPECT_EQ(it.vecrank[p], sum - it.k[i] + u);
                    for (int r = 1; r <= it.k[i]; r++) EXPECT_EQ(M.a[r][p], r == u ? 1 : 0);
                }
                // Rows 1..k[1] span the code; rows outside the rank vanish on
                // every column no set has taken.
                auto mr = rowsof(M, 1, it.k[1]);
                EXPECT_EQ(rankof(F, mr), rk);
                EXPECT_EQ(rankof(F, join(mr, rows)), rk);
                for (int r = it.k[i] + 1; r <= it.k[1]; r++)
                    for (int c = 1; c <= n; c++)
                        EXPECT_EQ(it.vecrank[c] ? 0 : M.a[r][c], 0);
                for (int r = 1; r <= it.k[1] && q <= 4; r++)   // bit planes hold the same rows
                    for (int c = 1; c <= n; c++)
                        ASSERT_EQ(coordval(q, E.dinvar.mataw.h[i].a[r], E.dinvar.mataw.h[i].b[r], c), M.a[r][c]);
            }
            EXPECT_EQ(it.nfull, full);
            EXPECT_EQ(it.ranksum, sum);
            EXPECT_LE(it.nsets, n / rk + 2);
        }
}
