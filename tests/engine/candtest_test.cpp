// Candidate tests against enumeration: random candidates laid out as the
// extension step leaves them in the working code are judged by the tests and
// by the tests' own listing of all codewords and dual codewords.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "distance/dist.h"
#include "engine/candtest.h"
#include "common/oracle.h"

namespace {

// The run's parameters, its distance engine and the candidate in the
// working code, as the extension step hands them to the tests.
struct bench {
    RunParams par{};
    LevelBounds bounds;  // derived from par again before each weight test
    DistEngine dist;
    CandidateTests t{par, bounds, dist};
    std::unique_ptr<WorkingCode> code = std::make_unique<WorkingCode>();
};

using oracle::matrix;
using oracle::weight;

// A random candidate of dimension L in the working code: free part random (sometimes
// with zero and repeated columns), then the unit columns of rows 1..L.
matrix lay(bench& b, int q, int n, int k, int L, std::mt19937& rng) {
    b.dist.usefield(q, q <= 4);
    WorkingCode& colmap = *b.code;
    const int nk = n - k;
    colmap.n = n, colmap.k = k, colmap.q = q, colmap.level = L;
    colmap.len = nk + L;
    matrix g(L, std::vector<int>(nk + L, 0));
    bool repeat = rng() % 3 == 0 && nk >= 2;
    for (int r = 0; r < L; r++) {
        for (int j = 0; j < nk; j++) g[r][j] = (rng() % 4 == 0) ? 0 : (int)(rng() % q);
        if (repeat) g[r][1] = g[r][0];
        g[r][nk + r] = 1;
        for (int j = 0; j < nk + L; j++) colmap.m[r + 1][j + 1] = g[r][j];
    }
    return g;
}

TEST(CandidateTests, AgainstEnumeration) {
    std::mt19937 rng(11);
    bench b;
    WorkingCode& colmap = *b.code;
    RunParams& runpar = b.par;
    for (int q : {2, 3, 4, 5, 7})
        for (int trial = 0; trial < 60; trial++) {
            const int k = 2 + (int)(rng() % 3), n = k + 1 + (int)(rng() % (q == 2 ? 7 : 4));
            const int L = 1 + (int)(rng() % k);
            const matrix c = lay(b, q, n, k, L, rng);
            const ownfield f{q};
            SCOPED_TRACE("q=" + std::to_string(q) + " trial " + std::to_string(trial));
            // Minimum distance (the first weight seen), and the allowed weights instead.
            std::vector<int> seen(n + 2, 0);  // seen[w]: a codeword of weight w exists
            oracle::eachword(c, f, [&](const std::vector<int>& w) { seen[weight(w)] = 1; });
            colmap.dreq = 1 + (int)(rng() % (n - k + L));
            runpar.n = n, runpar.k = k, runpar.q = q, runpar.d = colmap.dreq;
            runpar.wtrestr = false;
            b.bounds = derivebounds(runpar);
            EXPECT_EQ(b.t.test_dist(colmap), std::find(seen.begin() + 1, seen.end(), 1) - seen.begin() >= colmap.dreq);
            runpar.wtrestr = true;
            bool forbiddenmet = false;
            for (int w = 1; w < MAXLEN; w++) runpar.wt[w] = 0;
            for (int w = 1; w <= colmap.len; w++) {
                runpar.wt[w] = (int)(rng() % 3 != 0);
                forbiddenmet = forbiddenmet || (seen[w] && !runpar.wt[w]);
            }
            b.bounds = derivebounds(runpar);
            EXPECT_EQ(b.t.test_dist(colmap), !forbiddenmet);
            // Dual distance (all of GF(q)^n is enumerated, so not for q = 7).
            if (q < 7) {
                colmap.dual = 1 + (int)(rng() % 5);
                const int req = L - k + colmap.dual, dd = oracle::analyse(c, (int)c[0].size(), q).dualdist;
                EXPECT_EQ(b.t.test_dual(colmap), req < 2 || dd >= req) << "req " << req << " dd " << dd;
                EXPECT_EQ(colmap.dualreq, req);
            }
            // Self-orthogonality of the last two rows (doubly even: overlap of
            // the difference divisible by 4; GF(4): Hermitian).
            if (L < 2) continue;
            runpar.doublyeven = q == 2 && rng() % 2;
            const auto &x = c[L - 1], &y = c[L - 2];
            int s = 0, diff = 0;
            for (size_t j = 0; j < x.size(); j++) {
                s = f.add(s, f.mul(q == 4 ? f.mul(x[j], x[j]) : x[j], y[j]));
                diff += x[j] != y[j];
            }
            EXPECT_EQ(b.t.test_selforth(colmap), q >= 5 ? true : runpar.doublyeven ? diff % 4 == 0 : s == 0);
        }
}

}  // namespace
