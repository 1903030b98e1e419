// Reduced forms, dual matrices, information sets and packing, each checked
// with the tests' own arithmetic: row spaces by rank, orthogonality of the
// dual, disjointness and spans of the information sets, and the bit-plane
// forms read back coordinate by coordinate.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <set>

#include "distance/dist.h"
#include "field/field.h"
#include "frame/runpar.h"
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

}  // namespace

TEST(DistanceRank, ReducedFormSystematicCopyAndDual) {
    std::mt19937 rng(3);
    for (int q : {2, 3, 4, 5, 7})
        for (int rep = 0; rep < 8; rep++) {
            usefield(q, q <= 4);
            gf F{q};
            int k = 2 + rep % 5, n = 6 + rep * 3;
            auto rows = randrows(rng, k, n, q, 0.5);
            if (rep % 2) rows[0] = rows[k - 1];   // a dependent row, and first
            if (rep % 3 == 0) rows[1] = vec(n, 0);
            int rk = rankof(F, rows);
            tobmat(A, rows, n, q);
            int r = rref(dinvar.wcopy, A, &O, RREF_SYS);
            ASSERT_EQ(r, rk);
            EXPECT_EQ(dinvar.wcopy.fill, rk);
            auto red = rowsof(dinvar.wcopy, 1, r);
            EXPECT_EQ(rankof(F, join(red, rows)), rk);   // same row space
            // echelon: pivot 1, zero in the other reduced rows
            std::vector<int> piv;
            for (auto& v : red) {
                int p = 0;
                while (v[p] == 0) p++;
                EXPECT_EQ(v[p], 1);
                piv.push_back(p);
            }
            for (int i = 0; i < r; i++)
                for (int j = 0; j < r; j++)
                    if (i != j) {
                        EXPECT_EQ(red[j][piv[i]], 0);
                    }
            // dependent rows unreduced, in source order
            std::vector<vec> dep;
            {
                std::vector<vec> sofar;
                for (auto& v : rows) {
                    auto t = sofar;
                    t.push_back(v);
                    if (rankof(F, t) == (int)sofar.size()) dep.push_back(v);
                    else sofar.push_back(v);
                }
            }
            EXPECT_EQ(rowsof(dinvar.wcopy, r + 1, k), dep);
            // systematic copy: identity in front
            EXPECT_EQ(O.fill, r);
            for (int i = 1; i <= r; i++)
                for (int c = 1; c <= r; c++) EXPECT_EQ(O.a[i][c], i == c ? 1 : 0);
            // dual: n - r rows, orthogonal to the code, of full rank
            tobmat(A, rows, n, q);
            dualmat(D, A);
            ASSERT_EQ(D.fill, n - r);
            ASSERT_EQ(D.rows, n - r);
            for (auto& g : rows)
                for (int t = 1; t <= n - r; t++) {
                    int s = 0;
                    for (int c = 0; c < n; c++) s = F.add(s, F.mul(g[c], D.a[t][c + 1]));
                    EXPECT_EQ(s, 0);
                }
            EXPECT_EQ(rankof(F, rowsof(D, 1, n - r)), n - r);
            // A unchanged
            EXPECT_EQ(rowsof(A, 1, k), rows);
        }
}

TEST(DistanceRank, DualOfSystematicIsMinusTransposeAndIdentity) {
    usefield(5, false);
    gf F{5};
    std::mt19937 rng(8);
    int k = 3, n = 7;
    auto P = randrows(rng, k, n - k, 5, 0.8);
    std::vector<vec> rows(k, vec(n, 0));
    for (int i = 0; i < k; i++) {
        rows[i][i] = 1;
        for (int j = 0; j < n - k; j++) rows[i][k + j] = P[i][j];
    }
    tobmat(A, rows, n, 5);
    dualmat(D, A);
    for (int t = 0; t < n - k; t++) {
        for (int i = 0; i < k; i++) EXPECT_EQ(D.a[t + 1][i + 1], F.neg(P[i][t]));
        for (int j = 0; j < n - k; j++) EXPECT_EQ(D.a[t + 1][k + j + 1], j == t ? 1 : 0);
    }
}

TEST(DistanceRank, InPlaceReductionKeepsDependentRowsUnreduced) {
    usefield(3, true);
    std::vector<vec> rows = {{1, 2, 0, 1}, {2, 1, 0, 2}, {0, 1, 1, 0}};   // row 2 = 2 * row 1
    tobmat(A, rows, 4, 3);
    int r = rref(A, A, nullptr, RREF_NONE);
    EXPECT_EQ(r, 2);
    EXPECT_EQ(rowsof(A, 3, 3)[0], rows[1]);
}

TEST(DistanceRank, InformationSetsAreDisjointAndSpanTheCode) {
    std::mt19937 rng(21);
    for (int q : {2, 3, 4, 5, 7})
        for (int rep = 0; rep < 10; rep++) {
            usefield(q, q <= 4);
            gf F{q};
            int k = 2 + rep % 6, n = k + 2 + rep * 4;
            auto rows = randrows(rng, k, n, q, rep % 2 ? 0.2 : 0.6);
            if (rep % 4 == 1) rows[0] = rows[1];
            int rk = rankof(F, rows);
            tobmat(A, rows, n, q);
            infosets(A);
            infrec& it = dinvar.infsettv;
            if (rk < 1) {
                EXPECT_EQ(it.nsets, 0);
                continue;
            }
            ASSERT_GE(it.nsets, 1);
            EXPECT_EQ(it.k[1], rk);
            std::set<int> used;
            int full = 0, sum = 0;
            for (int i = 1; i <= it.nsets; i++) {
                if (rk >= 2) {
                    EXPECT_GE(it.k[i], 2);
                }
                EXPECT_LE(it.k[i], it.k[1]);
                full += it.k[i] == it.k[1];
                sum += it.k[i];
                bmat& M = dinvar.mata.h[i];
                for (int u = 1; u <= it.k[i]; u++) {
                    int p = it.a[i][u];
                    EXPECT_TRUE(used.insert(p).second) << "pivot " << p << " reused";
                    EXPECT_EQ(it.vecrank[p], sum - it.k[i] + u);
                    for (int r = 1; r <= it.k[i]; r++) EXPECT_EQ(M.a[r][p], r == u ? 1 : 0);
                }
                // rows 1..k[1] span the code; rows outside the rank vanish on
                // every column no set up to i has taken
                auto mr = rowsof(M, 1, it.k[1]);
                EXPECT_EQ(rankof(F, mr), rk);
                EXPECT_EQ(rankof(F, join(mr, rows)), rk);
                for (int r = it.k[i] + 1; r <= it.k[1]; r++)
                    for (int c = 1; c <= n; c++)
                        if (!it.vecrank[c]) {
                            EXPECT_EQ(M.a[r][c], 0);
                        }
                if (q <= 4) {   // bit planes hold the same rows
                    for (int r = 1; r <= it.k[1]; r++)
                        for (int c = 1; c <= n; c++)
                            ASSERT_EQ(coordval(q, dinvar.mataw.h[i].a[r], dinvar.mataw.h[i].b[r], c), M.a[r][c]);
                }
            }
            EXPECT_EQ(it.nfull, full);
            EXPECT_EQ(it.ranksum, sum);
            EXPECT_LE(it.nsets, n / rk + 2);
        }
}

TEST(DistanceRank, ShortCodeHasOneFullSet) {
    usefield(2, true);
    std::mt19937 rng(4);
    auto rows = randrows(rng, 6, 10, 2, 0.5);
    for (int i = 0; i < 6; i++) {   // [I | P]: the first set is the identity part
        std::fill(rows[i].begin(), rows[i].begin() + 6, 0);
        rows[i][i] = 1;
    }
    tobmat(A, rows, 10, 2);
    infosets(A);
    EXPECT_EQ(dinvar.infsettv.nfull, 1);
    EXPECT_EQ(dinvar.infsettv.k[1], 6);
    for (int i = 2; i <= dinvar.infsettv.nsets; i++) EXPECT_LT(dinvar.infsettv.k[i], 6);
}

TEST(DistanceRank, PackingAndPositions) {
    usefield(3, true);
    posensure(130);
    for (int p = 1; p <= 194; p++) {
        EXPECT_EQ(dinvar.postab.a[0][p], (p - 1) / 64 + 1);
        EXPECT_EQ(dinvar.postab.a[1][p], (p - 1) % 64 + 1);
    }
    uint8_t row[132] = {0};
    uint64_t a[5] = {7, 7, 7, 7, 7}, b[5] = {7, 7, 7, 7, 7};
    packrow3(row, 128, a, b, 2);   // the zero row: all ones in both planes
    for (int x = 1; x <= 2; x++) {
        EXPECT_EQ(a[x], allones);
        EXPECT_EQ(b[x], allones);
    }
    std::mt19937 rng(2);
    for (int q : {2, 3, 4}) {
        for (int n : {5, 64, 65, 130}) {
            int W = wordsfor(n);
            std::vector<uint8_t> r(n + 2);
            for (int p = 1; p <= n; p++) r[p] = (uint8_t)(rng() % q);
            uint64_t pa[4] = {0}, pb[4] = {0};
            if (q == 2) packrow2(r.data(), n, pa, W);
            if (q == 3) packrow3(r.data(), n, pa, pb, W);
            if (q == 4) packrow4(r.data(), n, pa, pb, W);
            for (int p = 1; p <= n; p++) ASSERT_EQ(coordval(q, pa, pb, p), r[p]) << q << " " << p;
            // nothing beyond the length counts towards a weight
            int w = 0, want = 0;
            for (int x = 1; x <= W; x++)
                w += popcnt64(q == 2 ? pa[x] : (q == 3 ? (pa[x] ^ pb[x]) : (pa[x] | pb[x])));
            for (int p = 1; p <= n; p++) want += r[p] != 0;
            EXPECT_EQ(w, want);
        }
    }
}

TEST(DistanceRank, ManyCallsKeepWorking) {
    // hundreds of calls reuse the same bit forms and stay exact
    usefield(2, true);
    std::mt19937 rng(6);
    auto rows = randrows(rng, 5, 20, 2, 0.5);
    truth t = brute(rows, 20, 2, false);
    for (int c = 0; c < 345; c++) {
        tobmat(A, rows, 20, 2);
        ASSERT_EQ(mindist(A), t.d) << "call " << c;
    }
    EXPECT_GE(dinvar.infcalls, 345);
}

TEST(DistanceRankDeath, RowsOtherThanDimensionAreFatal) {
    usefield(2, true);
    std::vector<vec> rows = {{1, 0, 1}, {0, 1, 1}};
    tobmat(A, rows, 3, 2);
    A.fill = 1;
    EXPECT_EXIT(
        {
            if (!freopen("/dev/null", "r", stdin)) _exit(9);
            infosets(A);
        },
        ::testing::ExitedWithCode(ZFAIL_EXIT), "");
    std::ifstream f("ERRORq.txt");
    std::string line;
    std::getline(f, line);
    EXPECT_NE(line.find("zorbel file rank: line"), std::string::npos) << line;
    EXPECT_NE(line.find("assertion failed: (genmat.m!=genmat.k)"), std::string::npos) << line;
    std::remove("ERRORq.txt");
}

TEST(DistanceRank, ManyRows) {
    // more rows than any generator matrix: the dual of a long code
    usefield(3, true);
    gf F{3};
    std::mt19937 rng(77);
    auto rows = randrows(rng, 5, 120, 3, 0.5);
    tobmat(A, rows, 120, 3);
    dualmat(D, A);
    ASSERT_EQ(D.rows, 115);
    auto dr = rowsof(D, 1, 115);
    EXPECT_EQ(rankof(F, dr), 115);
    for (auto& g : rows)
        for (auto& h : dr) {
            int s = 0;
            for (int c = 0; c < 120; c++) s = F.add(s, F.mul(g[c], h[c]));
            ASSERT_EQ(s, 0);
        }
    // and back: the dual of the dual spans the code
    dualmat(O, D);
    ASSERT_EQ(O.rows, 5);
    EXPECT_EQ(rankof(F, join(rowsof(O, 1, 5), rows)), 5);
}
