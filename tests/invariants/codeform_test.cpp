// The canonical form and automorphism group of a code, against brute force:
// every monomial (and, over GF(4), semilinear) map of small codes is tried
// here with the test's own arithmetic; and against the known groups of the
// Hamming, Golay and hexacode codes.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "invariants/codeform.h"
#include "common/oracle.h"

namespace {

using oracle::matrix;

CodeForm facts(const matrix& g, int q, bool linear4 = false) {
    CodeFormer former(q, linear4);
    std::vector<uint8_t> rows;
    for (auto& r : g)
        for (int x : r) rows.push_back((uint8_t)x);
    CodeForm out;
    EXPECT_TRUE(former.form(rows.data(), (int)g.size(), (int)g[0].size(), out));
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

TEST(CodeForm, AutomorphismGroupsAgainstBruteForce) {
    std::mt19937 rng(3);
    struct sz {
        int q, n;
    } sizes[] = {{2, 7}, {3, 6}, {4, 5}, {5, 5}, {7, 4}};
    for (auto [q, n] : sizes)
        for (int t = 0; t < 12; t++) {
            const int k = 1 + (int)(rng() % std::min(3, n - 1));
            matrix g = randomcode(q, k, n, rng);
            for (bool semilinear : {true, false}) {
                if (!semilinear && q != 4) continue;
                SCOPED_TRACE("q=" + std::to_string(q) + " trial " + std::to_string(t) + (semilinear ? "" : " linear"));
                EXPECT_EQ(facts(g, q, !semilinear).autorder, std::to_string(oracle::maps(g, g, q, semilinear)));
            }
        }
}

TEST(CodeForm, KeysAreEqualExactlyForEquivalentCodes) {
    std::mt19937 rng(4);
    for (int q : {2, 3, 4, 5, 7})
        for (int t = 0; t < 15; t++) {
            const int n = q >= 5 ? 4 : 5, k = 1 + (int)(rng() % 3);
            matrix a = randomcode(q, k, n, rng), b = randomcode(q, k, n, rng);
            SCOPED_TRACE("q=" + std::to_string(q) + " trial " + std::to_string(t));
            // A monomial image: the same key.
            EXPECT_EQ(facts(oracle::scramble(a, q, rng, false), q).key, facts(a, q).key);
            // Two random codes: equal keys exactly when a map exists.
            const bool equivalent = oracle::maps(a, b, q, true) > 0;
            EXPECT_EQ(facts(a, q).key == facts(b, q).key, equivalent);
            if (q == 4) {  // with the field automorphism: equal up to semilinear maps only
                matrix c = oracle::scramble(a, q, rng, true);
                EXPECT_EQ(facts(c, q).key, facts(a, q).key);
                EXPECT_EQ(facts(c, q, true).key == facts(a, q, true).key, oracle::maps(a, c, q, false) > 0);
            }
        }
    // Dependent rows are no generator matrix.
    CodeFormer former(3);
    const uint8_t rows[] = {1, 2, 0, 2, 1, 0};
    CodeForm out;
    EXPECT_FALSE(former.form(rows, 2, 3, out));
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
    // Hamming [7,4]: GL(3,2), 168.
    EXPECT_EQ(facts({{1, 0, 0, 0, 0, 1, 1}, {0, 1, 0, 0, 1, 0, 1}, {0, 0, 1, 0, 1, 1, 0}, {0, 0, 0, 1, 1, 1, 1}}, 2).autorder,
              "168");
    // Extended Golay [24,12,8]: M24.
    EXPECT_EQ(facts(extendedcyclic({1, 0, 1, 0, 1, 1, 1, 0, 0, 0, 1, 1}, 23, 2), 2).autorder, "244823040");
    // Extended ternary Golay [12,6,6], monomial maps: 2.M12.
    EXPECT_EQ(facts(extendedcyclic({2, 0, 1, 2, 1, 1}, 11, 3), 3).autorder, "190080");
    // Hexacode [6,3,4]: 1080 monomial maps, 2160 with the field automorphism.
    matrix hexa = {{1, 0, 0, 1, 2, 2}, {0, 1, 0, 2, 1, 2}, {0, 0, 1, 2, 2, 1}};
    EXPECT_EQ(facts(hexa, 4, true).autorder, "1080");
    EXPECT_EQ(facts(hexa, 4).autorder, "2160");
}

}  // namespace
