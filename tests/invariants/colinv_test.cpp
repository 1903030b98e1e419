// Column invariants.  The second pass, followed by the canonical labelling,
// must not see how a code is written down: a random change of basis, column
// permutation and column scaling gives the same values (as a multiset), the
// same smallest value and the same canonical matrix, for every field and on
// both the full-listing and the low-weight paths (that different codes get
// different forms: codeform_test).  The classes of the points against a plain
// stable sort.
#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>
#include <random>
#include <vector>

#include "canon/canon.h"
#include "distance/dist.h"
#include "distance/rank.h"
#include "common/oracle.h"
#include "field/field.h"
#include "invariants/colinv.h"

namespace {

using oracle::matrix;

// What the extension step hands the invariants: a distance engine, a labeller.
struct workspace {
    DistEngine dist;
    ColumnInvariants inv;
    Labeller lab;
};
workspace& ws() {
    static workspace* w = new workspace;
    return *w;
}

// A random k x n matrix of rank k whose columns are non-zero and pairwise
// not proportional (a code given by its distinct points).
matrix randomcode(int q, int k, int n, std::mt19937& rng) {
    const ownfield f{q};
    for (;;) {
        matrix g(k, std::vector<int>(n));
        for (auto& row : g)
            for (int& x : row) x = (int)(rng() % q);
        bool ok = (int)oracle::rref(g, f).size() == k;
        for (int a = 0; a < n && ok; a++) {
            int nz = 0;
            for (int r = 0; r < k; r++) nz += g[r][a] != 0;
            ok = nz > 0;
            for (int b = a + 1; b < n && ok; b++)
                for (int s = 1; s < q && ok; s++) {
                    bool same = true;
                    for (int r = 0; r < k; r++) same = same && g[r][b] == f.mul(s, g[r][a]);
                    ok = !same;
                }
        }
        if (ok) return g;
    }
}

struct labelled {
    std::vector<int> values;  // sorted
    int mainval;
    std::vector<int> canon;   // canonical matrix, then the values in canonical order
    uint32_t cert;
};

labelled label(const matrix& g, int q) {
    const int k = (int)g.size(), n = (int)g[0].size();
    static ByteMatrix G{};
    static PlaneMatrix gb{};
    static ByteMatrix gs{};
    G.ensure(k, n, q);
    for (int r = 0; r < k; r++)
        for (int j = 0; j < n; j++) G.a[r + 1][j + 1] = (uint8_t)g[r][j];
    G.used = k;
    G.dreq = 1;
    ws().inv.invt.q = q;
    ws().inv.invt.ndist = n;
    ws().inv.invt.N = q == 2 ? n : 2 * (q - 1) * n;
    for (int p = 1; p <= ws().inv.invt.N; p++) ws().inv.invt.firstpassval[p] = 1;
    ws().inv.inv_secondpass(G, gb, gs, ws().dist);
    labelled out;
    out.values.assign(ws().inv.invt.value + 1, ws().inv.invt.value + ws().inv.invt.N + 1);
    std::sort(out.values.begin(), out.values.end());
    out.mainval = ws().inv.invt.mainval;
    ws().lab.label(ws().inv.incmat, ws().inv.invt.cls);
    for (int i = 1; i <= ws().inv.incmat.rows; i++)
        for (int j = 1; j <= ws().inv.incmat.cols; j++) out.canon.push_back(ws().inv.incmat.a[ws().lab.canonical_rows()[i]][ws().lab.canonical_cols()[j]]);
    out.canon.push_back(-1);
    for (int j = 1; j <= ws().inv.incmat.cols; j++) out.canon.push_back(ws().inv.invt.value[ws().lab.canonical_cols()[j]]);
    out.cert = ws().lab.certificate();
    return out;
}

void checkinvariance(int q, int k, int n, int trials, unsigned seed) {
    ws().dist.usefield(q, q <= 4);
    std::mt19937 rng(seed);
    for (int t = 0; t < trials; t++) {
        matrix g = randomcode(q, k, n, rng);
        labelled a = label(g, q);
        matrix h = oracle::scramble(g, q, rng, false);
        labelled b = label(h, q);
        SCOPED_TRACE("q=" + std::to_string(q) + " k=" + std::to_string(k) + " n=" + std::to_string(n) +
                     " trial " + std::to_string(t));
        EXPECT_EQ(a.values, b.values);
        EXPECT_EQ(a.mainval, b.mainval);
        EXPECT_EQ(a.canon, b.canon);
        EXPECT_EQ(a.cert, b.cert);
    }
}

TEST(SecondPass, InvariantUnderEquivalenceOnBothListingPaths) {
    const int cases[][5] = {  // q, k, n, trials, seed: the full listing, then the low-weight path
        {2, 4, 9, 30, 1}, {3, 3, 8, 30, 2}, {4, 3, 10, 30, 3}, {5, 3, 9, 20, 4}, {7, 2, 7, 20, 5},
        {2, 11, 24, 6, 6}, {3, 8, 20, 4, 7}, {4, 6, 16, 4, 8}, {5, 6, 14, 3, 9}, {7, 5, 12, 3, 10}};
    for (auto& c : cases) checkinvariance(c[0], c[1], c[2], c[3], (unsigned)c[4]);
}

TEST(Classes, AgainstAStableSortOfThePoints) {
    // Values constant on the 2(q - 1) points of a column (what runs give;
    // the columns are then sorted as blocks) or not, negative and large
    // values among them: the order, classes and mainval of a plain stable
    // sort by value.
    std::mt19937 rng(808);
    invtrec& t = ws().inv.invt;
    for (int trial = 0; trial < 400; trial++) {
        const int q = std::vector<int>{2, 3, 4, 5, 7}[trial % 5], per = q == 2 ? 1 : 2 * (q - 1);
        const int cols = 1 + (int)(rng() % 40), range = trial % 3 == 0 ? 3 : 1 << 30;
        const bool blocks = trial % 4 != 3;
        t.q = q, t.N = per * cols;
        for (int p = 1; p <= t.N; p++)
            t.value[p] = blocks && (p - 1) % per ? t.value[p - 1] : (int32_t)(rng() % range) - (trial % 2 ? 0 : range / 2) + 1;
        if (*std::min_element(t.value + 1, t.value + t.N + 1) == 0) t.value[1] = 5;  // a non-zero value exists
        std::vector<int> order(t.N);
        std::iota(order.begin(), order.end(), 1);
        std::stable_sort(order.begin(), order.end(), [&](int a, int b) { return t.value[a] < t.value[b]; });
        ws().inv.inv_classes();
        ASSERT_TRUE(std::equal(order.begin(), order.end(), t.order + 1)) << trial;
        int cls = 0;
        for (int i = 0; i < t.N; i++) {
            cls += i == 0 || t.value[order[i]] != t.value[order[i - 1]];
            ASSERT_EQ(t.cls[order[i]], cls) << trial;
        }
        ASSERT_EQ(t.nclass, cls);
        int32_t main = 0;
        for (int i = 0; i < t.N && main == 0; i++) main = t.value[order[i]];
        ASSERT_EQ(t.mainval, main);
    }
}

}  // namespace
