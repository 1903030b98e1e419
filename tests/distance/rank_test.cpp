// Reduced forms, dual matrices, information sets and packing, each checked
// with the tests' own arithmetic: row spaces by rank, orthogonality of the
// dual, disjointness and spans of the information sets, and the bit-plane
// forms read back coordinate by coordinate.
#include <gtest/gtest.h>

#include <cstdio>
#include <set>
#include <tuple>

#include "common/testutil.h"
#include "oracle.h"

using namespace dtest;

namespace {

ByteMatrix A, D, O;

std::vector<vec> rowsof(const ByteMatrix& m, int from, int to) {
    std::vector<vec> r;
    for (int i = from; i <= to; i++) r.emplace_back(m.a[i] + 1, m.a[i] + 1 + m.cols);
    return r;
}

std::vector<vec> join(std::vector<vec> a, const std::vector<vec>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// Every row of `dual` is orthogonal to every row of `rows`.
void expectorthogonal(const ogf& F, const std::vector<vec>& rows, const ByteMatrix& dual) {
    for (auto& g : rows)
        for (int t = 1, s = 0; t <= dual.used; t++, s = 0) {
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
            loadmatrix(A, rows, n, q);
            int r = E.rref(DistProbe::of(E).wcopy, A, &O, Rref::sys);
            ASSERT_EQ(r, rk);
            EXPECT_EQ(DistProbe::of(E).wcopy.used, rk);
            auto red = rowsof(DistProbe::of(E).wcopy, 1, r);
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
            EXPECT_EQ(rowsof(DistProbe::of(E).wcopy, r + 1, k), dep);
            EXPECT_EQ(rowsof(A, 1, k), rows);   // the source is unchanged
            EXPECT_EQ(O.used, r);   // systematic copy: identity in front
            for (int i = 1; i <= r; i++)
                for (int c = 1; c <= r; c++) EXPECT_EQ(O.a[i][c], i == c ? 1 : 0);
            // In place: the same rows, the dependent ones from the saved copy.
            EXPECT_EQ(E.rref(A, A, nullptr, Rref::none), r);
            EXPECT_EQ(rowsof(A, 1, k), rowsof(DistProbe::of(E).wcopy, 1, k));
            // Dual: n - r rows, orthogonal to the code, of full rank.
            loadmatrix(A, rows, n, q);
            E.dualmat(D, A);
            ASSERT_EQ(D.used, n - r);
            ASSERT_EQ(D.rows, n - r);
            expectorthogonal(F, rows, D);
            EXPECT_EQ(rankof(F, rowsof(D, 1, n - r)), n - r);
            E.dualmat(O, D);   // and back: the dual of the dual spans the code
            ASSERT_EQ(O.rows, r);
            EXPECT_EQ(rankof(F, join(rowsof(O, 1, r), rows)), r);
        }
    // The dual of [I | P] is [-P^T | I].
    E.usefield(5, false);
    ogf F{5};
    auto P = randrows(rng, 3, 4, 5, 0.8);
    std::vector<vec> rows(3, vec(7, 0));
    for (int i = 0; i < 3; i++) rows[i][i] = 1, std::copy(P[i].begin(), P[i].end(), rows[i].begin() + 3);
    loadmatrix(A, rows, 7, 5);
    E.dualmat(D, A);
    for (int t = 0; t < 4; t++) {
        for (int i = 0; i < 3; i++) EXPECT_EQ(D.a[t + 1][i + 1], F.neg(P[i][t]));
        for (int j = 0; j < 4; j++) EXPECT_EQ(D.a[t + 1][3 + j + 1], j == t ? 1 : 0);
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
            loadmatrix(A, rows, n, q);
            E.infosets(A);
            infrec& it = DistProbe::of(E).setinfo;
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
                ByteMatrix& M = DistProbe::of(E).mata[i];
                for (int u = 1; u <= it.k[i]; u++) {
                    int p = it.piv[i][u];
                    EXPECT_TRUE(used.insert(p).second) << "pivot " << p << " reused";
                    for (int r = 1; r <= it.k[i]; r++) EXPECT_EQ(M.a[r][p], r == u ? 1 : 0);
                }
                // Rows 1..k[1] span the code; rows outside the rank vanish on
                // every column no set has taken.
                auto mr = rowsof(M, 1, it.k[1]);
                EXPECT_EQ(rankof(F, mr), rk);
                EXPECT_EQ(rankof(F, join(mr, rows)), rk);
                for (int r = it.k[i] + 1; r <= it.k[1]; r++)
                    for (int c = 1; c <= n; c++)
                        EXPECT_EQ(DistProbe::of(E).colfree.a[0][c] ? M.a[r][c] : 0, 0);
                for (int r = 1; r <= it.k[1] && q <= 4; r++)   // bit planes hold the same rows
                    for (int c = 1; c <= n; c++)
                        ASSERT_EQ(coordval(q, DistProbe::of(E).mataw[i].a[r], DistProbe::of(E).mataw[i].b[r], c), M.a[r][c]);
            }
            EXPECT_EQ(it.nfull, full);
            EXPECT_EQ(it.ranksum, sum);
            EXPECT_LE(it.nsets, n / rk + 2);
        }
}

TEST(DistanceRank, Packing) {
    uint8_t zero[132] = {0};
    uint64_t a[5] = {7, 7, 7, 7, 7}, b[5] = {7, 7, 7, 7, 7};
    packrow3(zero, 128, a, b, 2);   // the zero row over GF(3): all ones in both planes
    EXPECT_EQ(a[1] & a[2] & b[1] & b[2], bits.allones);
    std::mt19937 rng(2);
    for (int q : {2, 3, 4})
        for (int n : {5, 64, 65, 130}) {
            int W = wordsfor(n);
            std::vector<uint8_t> r(n + 2);
            for (int p = 1; p <= n; p++) r[p] = (uint8_t)(rng() % q);
            uint64_t pa[4] = {0}, pb[4] = {0};
            if (q == 2) packrow2(r.data(), n, pa, W);
            if (q == 3) packrow3(r.data(), n, pa, pb, W);
            if (q == 4) packrow4(r.data(), n, pa, pb, W);
            for (int p = 1; p <= n; p++) ASSERT_EQ(coordval(q, pa, pb, p), r[p]) << q << " " << p;
            int w = 0, want = 0;   // nothing beyond the length counts towards a weight
            for (int x = 1; x <= W; x++)
                w += popcnt64(q == 2 ? pa[x] : (q == 3 ? (pa[x] ^ pb[x]) : (pa[x] | pb[x])));
            for (int p = 1; p <= n; p++) want += r[p] != 0;
            EXPECT_EQ(w, want);
        }
}

TEST(DistanceRankDeath, RowsOtherThanDimensionAndForeignFieldsAreFatal) {
    DistEngine E;
    E.usefield(2, true);
    // rows 2, used 1; then a matrix over GF(3) handed to the GF(2) engine
    for (auto [q, fill, cond] : {std::tuple{2, 1, "genmat.m!=genmat.k"}, std::tuple{3, 2, "genmat.q!=field.q"}}) {
        loadmatrix(A, {{1, 0, 1}, {0, 1, 1}}, 3, q);
        A.used = fill;
        EXPECT_EXIT(
            {
                if (!freopen("/dev/null", "r", stdin)) _exit(9);
                E.infosets(A);
            },
            ::testing::ExitedWithCode(ZFAIL_EXIT), "");
        const std::string line = readfile("ERRORq.txt");
        EXPECT_NE(line.find("zorbel file rank: line"), std::string::npos) << line;
        EXPECT_NE(line.find(std::string("assertion failed: (") + cond + ")"), std::string::npos) << line;
        std::remove("ERRORq.txt");
    }
}
