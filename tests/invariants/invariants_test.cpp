// The invariants of a code against oracles that share nothing with them: the
// canonical form and automorphism group of small codes against every monomial
// (and, over GF(4), semilinear) map, and known groups; Schreier-Sims group
// orders against the closure of their generators; column invariants unchanged
// by a random equivalence, and their classes against a plain stable sort.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "canon/canon_support.h"
#include "canon/group.h"
#include "common/oracle.h"
#include "containers/bignat.h"
#include "distance/dist.h"
#include "distance/oracle.h"
#include "invariants/codeform.h"
#include "invariants/colinv.h"
#include "invariants/grouporder.h"

// The classes on values of the test's own (a friend of ColumnInvariants).
struct InvariantsProbe {
    static InvariantTable& table(ColumnInvariants& inv) { return inv.invt; }
    static void classes(ColumnInvariants& inv) { inv.inv_classes(); }
};

namespace {

using oracle::matrix;
using perm = std::vector<int32_t>;

CodeForm facts(const matrix& g, int q, bool linear4 = false) {
    std::vector<uint8_t> rows;
    for (auto& r : g) rows.insert(rows.end(), r.begin(), r.end());
    CodeForm out;
    EXPECT_TRUE(CodeFormer(q, linear4).form(rows.data(), (int)g.size(), (int)g[0].size(), out));
    return out;
}

// A random generator matrix of full rank, often with zero and repeated columns.
matrix randomcode(int q, int k, int n, std::mt19937& rng) {
    const ownfield f{q};
    for (;;) {
        matrix g(k, std::vector<int>(n));
        for (auto& row : g)
            for (int& x : row) x = rng() % 4 == 0 ? 0 : (int)(rng() % q);
        if (rng() % 2 && n > 2)
            for (auto& row : g) row[n - 1] = f.mul(row[0], 1 + (int)(rng() % (q - 1)));
        if ((int)oracle::rref(g, f).size() == k) return g;
    }
}

TEST(CodeForm, GroupsAndKeysAgainstBruteForce) {
    // The group order against every map of a code onto itself; monomial and
    // semilinear images c, d of a, and a random code b: equal keys exactly
    // when a map exists.  Over GF(4) with and without the field automorphism.
    std::mt19937 rng(3);
    const int sizes[][2] = {{2, 7}, {3, 6}, {4, 5}, {5, 5}, {7, 4}};  // q, n
    for (auto [q, n] : sizes)
        for (int t = 0; t < 12; t++) {
            const int k = 1 + (int)(rng() % std::min(3, n - 1));
            const matrix a = randomcode(q, k, n, rng), b = randomcode(q, k, n, rng);
            const matrix c = oracle::scramble(a, q, rng, false), d = oracle::scramble(a, q, rng, true);
            for (int linear = 0; linear <= (q == 4); linear++) {
                SCOPED_TRACE("q=" + std::to_string(q) + " trial " + std::to_string(t) + (linear ? " linear" : ""));
                const std::string key = facts(a, q, linear).key;
                EXPECT_EQ(facts(a, q, linear).autorder, std::to_string(oracle::maps(a, a, q, !linear)));
                EXPECT_EQ(facts(c, q, linear).key, key);
                EXPECT_EQ(facts(b, q, linear).key == key, oracle::maps(a, b, q, !linear) > 0);
                EXPECT_EQ(facts(d, q, linear).key == key, !linear || oracle::maps(a, d, q, false) > 0);
            }
        }
    // Dependent rows are no generator matrix.
    CodeForm out;
    const uint8_t rows[] = {1, 2, 0, 2, 1, 0};
    EXPECT_FALSE(CodeFormer(3).form(rows, 2, 3, out));
}

// The cyclic code of the generator polynomial (coefficients from x^0),
// extended by a coordinate that makes the coordinates sum to zero.
matrix extendedcyclic(const std::vector<int>& g, int n, int q) {
    const int k = n - ((int)g.size() - 1);
    matrix m(k, std::vector<int>(n + 1, 0));
    for (int r = 0; r < k; r++) {
        int sum = 0;
        for (size_t i = 0; i < g.size(); i++) m[r][r + i] = g[i], sum += g[i];
        m[r][n] = (q - sum % q) % q;
    }
    return m;
}

TEST(CodeForm, KnownGroups) {
    const matrix hexa = {{1, 0, 0, 1, 2, 2}, {0, 1, 0, 2, 1, 2}, {0, 0, 1, 2, 2, 1}};  // the hexacode [6,3,4]
    const struct { matrix g; int q; bool linear4; const char* order; } known[] = {
        // Hamming [7,4]: GL(3,2)
        {{{1, 0, 0, 0, 0, 1, 1}, {0, 1, 0, 0, 1, 0, 1}, {0, 0, 1, 0, 1, 1, 0}, {0, 0, 0, 1, 1, 1, 1}}, 2, false, "168"},
        {extendedcyclic({1, 0, 1, 0, 1, 1, 1, 0, 0, 0, 1, 1}, 23, 2), 2, false, "244823040"},  // Golay [24,12,8]: M24
        {extendedcyclic({2, 0, 1, 2, 1, 1}, 11, 3), 3, false, "190080"},  // ternary Golay [12,6,6], monomial: 2.M12
        {hexa, 4, true, "1080"}, {hexa, 4, false, "2160"}};  // monomial maps; with the field automorphism
    for (const auto& c : known) EXPECT_EQ(facts(c.g, c.q, c.linear4).autorder, c.order);
}

// The group order of Schreier-Sims as a decimal string, from the basic orbit lengths.
std::string order(GroupOrder& go, const std::vector<perm>& gens, int N) {
    std::vector<const int32_t*> p;
    for (const perm& g : gens) p.push_back(g.data());
    std::vector<uint32_t> len;
    go.lengths(p.data(), (int)p.size(), N, len);
    BigNat r(1);
    for (uint32_t l : len) r *= l;
    return r.str();
}

// A random permutation of 1..N moving only the points of a random subset,
// or keeping blocks of `b` points together (so the groups are not all
// symmetric or alternating).
perm randomperm(std::mt19937& rng, int N) {
    perm g(N + 1);
    for (int x = 0; x <= N; x++) g[x] = x;
    const int kind = (int)(rng() % 3), b = 2 + (int)(rng() % 2);
    if (kind == 0) {  // a cycle on a few points
        std::vector<int> pts;
        for (int x = 1; x <= N; x++)
            if (rng() % 3 == 0) pts.push_back(x);
        for (size_t i = 0; i + 1 < pts.size(); i++) g[pts[i]] = pts[i + 1];
        if (!pts.empty()) g[pts.back()] = pts[0];
    } else if (kind == 1 && N >= 2 * b) {  // two blocks exchanged
        const int a = 1 + (int)(rng() % (N / b - 1)) * b, c = a + b;
        for (int i = 0; i < b && c + i <= N; i++) std::swap(g[a + i], g[c + i]);
    } else if (N >= 2) {  // a transposition
        const int a = 1 + (int)(rng() % N), c = 1 + (int)(rng() % N);
        std::swap(g[a], g[c]);
    }
    return g;
}

TEST(GroupOrder, AgreesWithTheClosureAndWithTheLabellersMethod) {
    std::mt19937 rng(11);
    GroupOrder go;  // one workspace for all, as a run keeps it
    for (int trial = 0; trial < 400; trial++) {
        const int N = 1 + (int)(rng() % (trial < 200 ? 7 : 30));
        std::vector<perm> gens;
        for (int g = (int)(rng() % 5); g > 0; g--) gens.push_back(randomperm(rng, N));
        const std::string mine = order(go, gens, N);
        EXPECT_EQ(mine, grouporder(gens, N).str()) << "trial " << trial;
        if (N <= 7) {
            EXPECT_EQ(mine, std::to_string(closure(gens, N))) << "trial " << trial;
        }
    }
}

TEST(GroupOrder, GroupsOfKnownOrder) {
    GroupOrder go;
    const int N = 40;
    perm id(N + 1), t, c, in4, shift, swapb;
    for (int x = 0; x <= N; x++) id[x] = x;
    t = c = in4 = shift = swapb = id;
    std::swap(t[1], t[2]);
    for (int x = 1; x <= N; x++) c[x] = x % N + 1, shift[x] = (x + 3) % N + 1;  // a 40-cycle, a shift by 4
    for (int x = 1; x <= 4; x++) in4[x] = x % 4 + 1, std::swap(swapb[x], swapb[x + 4]);
    BigNat f(1), w = BigNat::power(24, 10);
    for (uint32_t v = 2; v <= 40; v++) f *= v;
    w *= 3628800;
    EXPECT_EQ(order(go, {t, c}, N), f.str());  // S_40
    EXPECT_EQ(order(go, {c}, N), "40");
    EXPECT_EQ(order(go, {}, N), "1");
    // S_4 wr S_10: blocks of 4 permuted, points permuted inside: 24^10 * 10!.
    EXPECT_EQ(order(go, {t, in4, shift, swapb}, N), w.str());
}

// A random k x n matrix of rank k whose columns are non-zero and pairwise
// not proportional (a code given by its distinct points).
matrix randompoints(int q, int k, int n, std::mt19937& rng) {
    const ownfield f{q};
    for (;;) {
        matrix g(k, std::vector<int>(n)), cols(n, std::vector<int>(k));
        for (int r = 0; r < k; r++)
            for (int j = 0; j < n; j++) g[r][j] = cols[j][r] = (int)(rng() % q);
        bool ok = (int)oracle::rref(g, f).size() == k;
        for (int a = 0; a < n && ok; a++)  // two columns of rank 2: both non-zero, not proportional
            for (int b = a + 1; b < n && ok; b++) ok = oracle::rref({cols[a], cols[b]}, f).size() == 2;
        if (ok) return g;
    }
}

// What the extension step hands the column invariants: a distance engine, a
// labeller, and the generator matrix with its working copies.
struct Columns : testing::Test {
    DistEngine dist;
    ColumnInvariants inv;
    Labeller lab;
    ByteMatrix G{}, gs{};
    PlaneMatrix gb{};
    // The second pass on g, then the canonical labelling: all that must not
    // depend on how the code is written, one part after the other: the sorted
    // values, the smallest one, the canonical matrix, the values in canonical
    // column order, the certificate.
    std::vector<int> label(const matrix& g, int q);
};
using SecondPass = Columns;
using Classes = Columns;

std::vector<int> Columns::label(const matrix& g, int q) {
    const int n = (int)g[0].size();
    dtest::loadmatrix(G, g, n, q, 1);
    const std::vector<int32_t> ones((size_t)(q == 2 ? n : 2 * (q - 1) * n) + 1, 1);
    inv.givefirstpass(q, n, ones.data());
    inv.inv_secondpass(G, gb, gs, dist);
    const InvariantTable& t = inv.table();
    std::vector<int> out(t.value + 1, t.value + t.N + 1);
    std::sort(out.begin(), out.end());
    out.push_back(t.mainval);
    const ByteMatrix& inc = inv.incidence();
    lab.label(inc, t.cls);
    const int32_t *rows = lab.canonical_rows(), *cols = lab.canonical_cols();
    for (int i = 1; i <= inc.rows; i++)
        for (int j = 1; j <= inc.cols; j++) out.push_back(inc.a[rows[i]][cols[j]]);
    for (int j = 1; j <= inc.cols; j++) out.push_back(t.value[cols[j]]);
    out.push_back((int)lab.certificate());
    return out;
}

TEST_F(SecondPass, InvariantUnderEquivalenceOnBothListingPaths) {
    const int cases[][5] = {  // q, k, n, trials, seed: the full listing, then the low-weight path
        {2, 4, 9, 30, 1}, {3, 3, 8, 30, 2}, {4, 3, 10, 30, 3}, {5, 3, 9, 20, 4}, {7, 2, 7, 20, 5},
        {2, 11, 24, 6, 6}, {3, 8, 20, 4, 7}, {4, 6, 16, 4, 8}, {5, 6, 14, 3, 9}, {7, 5, 12, 3, 10}};
    for (auto [q, k, n, trials, seed] : cases) {
        dist.usefield(q, q <= 4);
        std::mt19937 rng((unsigned)seed);
        for (int t = 0; t < trials; t++) {
            const matrix g = randompoints(q, k, n, rng);
            EXPECT_EQ(label(g, q), label(oracle::scramble(g, q, rng, false), q))
                << "q=" << q << " k=" << k << " n=" << n << " trial " << t;
        }
    }
}

TEST_F(Classes, AgainstAStableSortOfThePoints) {
    // Values constant on the 2(q - 1) points of a column (as in runs) or not,
    // negative and large ones among them.
    std::mt19937 rng(808);
    InvariantTable& t = InvariantsProbe::table(inv);
    for (int trial = 0; trial < 400; trial++) {
        const int q = std::vector<int>{2, 3, 4, 5, 7}[trial % 5], per = q == 2 ? 1 : 2 * (q - 1);
        const int cols = 1 + (int)(rng() % 40), range = trial % 3 == 0 ? 3 : 1 << 30;
        t.q = q, t.N = per * cols;
        for (int p = 1; p <= t.N; p++)
            t.value[p] = trial % 4 != 3 && (p - 1) % per ? t.value[p - 1] : (int32_t)(rng() % range) - (trial % 2 ? 0 : range / 2) + 1;
        if (*std::min_element(t.value + 1, t.value + t.N + 1) == 0) t.value[1] = 5;  // a non-zero value exists
        std::vector<int> order = upto(t.N);
        std::stable_sort(order.begin(), order.end(), [&](int a, int b) { return t.value[a] < t.value[b]; });
        InvariantsProbe::classes(inv);
        ASSERT_TRUE(std::equal(order.begin(), order.end(), t.order + 1)) << trial;
        int cls = 0;
        for (int i = 0; i < t.N; i++) {
            cls += i == 0 || t.value[order[i]] != t.value[order[i - 1]];
            ASSERT_EQ(t.cls[order[i]], cls) << trial;
        }
        ASSERT_EQ(t.nclass, cls);
        ASSERT_EQ(t.mainval, t.value[*std::find_if(order.begin(), order.end(), [&](int p) { return t.value[p] != 0; })]);
    }
}

}  // namespace
