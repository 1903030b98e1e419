// Candidate tests against enumeration: random candidates laid out as the
// extension step leaves them in colmap are judged by the tests and by brute
// force over all codewords (and all dual codewords) written here with the
// test's own field arithmetic.
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "distance/dist.h"
#include "engine/candtest.h"
#include "field/field.h"
#include "frame/runpar.h"

namespace {

// The test's own GF(q): q prime, or GF(4) with w^2 = w + 1.
struct ownfield {
    int q;
    int add(int a, int b) const { return q == 4 ? a ^ b : (a + b) % q; }
    int mul(int a, int b) const {
        if (q != 4) return a * b % q;
        static const int m[4][4] = {{0, 0, 0, 0}, {0, 1, 2, 3}, {0, 2, 3, 1}, {0, 3, 1, 2}};
        return m[a][b];
    }
};

using matrix = std::vector<std::vector<int>>;

// Every codeword of the row space of g, with a callback.
template <class F>
void eachword(const matrix& g, const ownfield& f, F visit) {
    const int k = (int)g.size(), n = (int)g[0].size();
    std::vector<int> coef(k, 0);
    for (;;) {
        std::vector<int> w(n, 0);
        for (int r = 0; r < k; r++)
            for (int j = 0; j < n; j++) w[j] = f.add(w[j], f.mul(coef[r], g[r][j]));
        visit(w);
        int r = 0;
        while (r < k && ++coef[r] == f.q) coef[r++] = 0;
        if (r == k) return;
    }
}

int weight(const std::vector<int>& w) {
    int t = 0;
    for (int x : w) t += x != 0;
    return t;
}

// Smallest non-zero weight of the dual, by enumerating all of GF(q)^n
// (n is small here); n + 1 when the dual is zero.
int dualdistance(const matrix& g, const ownfield& f) {
    const int n = (int)g[0].size();
    matrix all(n, std::vector<int>(n, 0));
    for (int j = 0; j < n; j++) all[j][j] = 1;
    int best = n + 1;
    eachword(all, f, [&](const std::vector<int>& x) {
        int wt = weight(x);
        if (wt == 0 || wt >= best) return;
        for (const auto& row : g) {
            int s = 0;
            for (int j = 0; j < n; j++) s = f.add(s, f.mul(x[j], row[j]));
            if (s) return;
        }
        best = wt;
    });
    return best;
}

struct candidate {
    matrix g;  // rows 1..L of colmap, columns 1..len
};

// A random candidate of dimension L: free part random (sometimes with zero
// and repeated columns), then the unit columns of rows 1..L.
candidate lay(int q, int n, int k, int L, std::mt19937& rng) {
    initbits();
    setfield(q);
    smallq1 = smallq2 = q <= 4;
    const int nk = n - k;
    colmap.cur_n = n, colmap.cur_k = k, colmap.cur_q = q, colmap.cur_level = L;
    colmap.cur_len = nk + L;
    candidate c;
    c.g.assign(L, std::vector<int>(nk + L, 0));
    for (int r = 0; r < L; r++) {
        for (int j = 0; j < nk; j++) c.g[r][j] = (rng() % 4 == 0) ? 0 : (int)(rng() % q);
        c.g[r][nk + r] = 1;
    }
    if (rng() % 3 == 0 && nk >= 2)
        for (int r = 0; r < L; r++) c.g[r][1] = c.g[r][0];  // a repeated column
    for (int r = 1; r <= L; r++)
        for (int j = 1; j <= nk + L; j++) colmap.m[r][j] = c.g[r - 1][j - 1];
    return c;
}

TEST(CandidateTests, MinimumDistanceAndForbiddenWeightsAgainstEnumeration) {
    std::mt19937 rng(11);
    for (int q : {2, 3, 4, 5, 7})
        for (int trial = 0; trial < 60; trial++) {
            const int k = 2 + (int)(rng() % 4), n = k + 2 + (int)(rng() % 6), L = 1 + (int)(rng() % k);
            candidate c = lay(q, n, k, L, rng);
            ownfield f{q};
            int mind = n + 1;
            std::vector<int> seen(n + 2, 0);
            eachword(c.g, f, [&](const std::vector<int>& w) {
                int wt = weight(w);
                if (wt) mind = std::min(mind, wt), seen[wt] = 1;
            });
            colmap.dreq = 1 + (int)(rng() % (n - k + L));
            runpar.wtrestr = 0;
            EXPECT_EQ(test_dist(), mind >= colmap.dreq ? 1 : 0) << "q=" << q << " trial " << trial;
            runpar.wtrestr = 1;
            bool forbiddenmet = false;
            for (int w = 1; w <= colmap.cur_len; w++) {
                runpar.wt[w] = (int)(rng() % 3 != 0);
                forbiddenmet = forbiddenmet || (seen[w] && !runpar.wt[w]);
            }
            EXPECT_EQ(test_dist(), forbiddenmet ? 0 : 1) << "q=" << q << " trial " << trial;
        }
    runpar.wtrestr = 0;
}

TEST(CandidateTests, DualDistanceAgainstEnumeration) {
    std::mt19937 rng(12);
    for (int q : {2, 3, 4, 5})
        for (int trial = 0; trial < 50; trial++) {
            const int k = 2 + (int)(rng() % 3), n = k + 1 + (int)(rng() % (q == 2 ? 7 : 4));
            const int L = 1 + (int)(rng() % k);
            candidate c = lay(q, n, k, L, rng);
            ownfield f{q};
            colmap.cur_dual = 1 + (int)(rng() % 5);
            const int req = L - k + colmap.cur_dual;
            const int dd = dualdistance(c.g, f);
            EXPECT_EQ(test_dual(), (req < 2 || dd >= req) ? 1 : 0)
                << "q=" << q << " trial " << trial << " req " << req << " dual distance " << dd;
            EXPECT_EQ(colmap.dualreq, req);
        }
}

TEST(CandidateTests, SelfOrthogonalityOfTheLastTwoRows) {
    std::mt19937 rng(13);
    for (int q : {2, 3, 4, 5, 7})
        for (int de = 0; de <= (q == 2 ? 1 : 0); de++)
            for (int trial = 0; trial < 80; trial++) {
                const int k = 3, n = 4 + (int)(rng() % 8);
                candidate c = lay(q, n, k, 2 + (int)(rng() % 2), rng);
                ownfield f{q};
                doublyeven = de;
                const auto& x = c.g[c.g.size() - 1];
                const auto& y = c.g[c.g.size() - 2];
                int s = 0;
                std::vector<int> diff(x.size());
                for (size_t j = 0; j < x.size(); j++) {
                    int xc = q == 4 ? f.mul(x[j], x[j]) : x[j];  // conjugate in GF(4)
                    s = f.add(s, f.mul(xc, y[j]));
                    diff[j] = x[j] != y[j];
                }
                int want = q >= 5 ? 1 : (q == 2 && de) ? weight(diff) % 4 == 0 : s == 0;
                EXPECT_EQ(test_selforth(), want) << "q=" << q << " trial " << trial;
            }
    doublyeven = 0;
}

TEST(CandidateTests, UnassignedColumnsOfTheLastRowCountAsZero) {
    std::mt19937 rng(14);
    candidate c = lay(2, 8, 3, 2, rng);
    for (int r = 1; r <= 2; r++) colmap.m[r][1] = 1, colmap.m[r][2] = 1;
    colmap.m[2][3] = -3;  // still unassigned: column 3 counts as zero in every row
    candfill();
    EXPECT_EQ(ct.cand.a[1][3], 0);
    EXPECT_EQ(ct.cand.a[2][3], 0);
    EXPECT_EQ(ct.cand.a[1][1], 1);
    EXPECT_EQ(ct.cand.fill, 2);
}

}  // namespace
