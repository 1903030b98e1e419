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
#include "common/ownfield.h"

namespace {

using matrix = std::vector<std::vector<int>>;

// Every codeword of the row space, as a set of n-tuples (coded base q).
std::vector<char> words(const matrix& g, const ownfield& f) {
    const int k = (int)g.size(), n = (int)g[0].size();
    int64_t total = 1;
    for (int j = 0; j < n; j++) total *= f.q;
    std::vector<char> in((size_t)total, 0);
    std::vector<int> coef(k, 0);
    for (int r = 0; r < k;) {
        int64_t code = 0;
        for (int j = 0; j < n; j++) {
            int v = 0;
            for (int i = 0; i < k; i++) v = f.add(v, f.mul(coef[i], g[i][j]));
            code = code * f.q + v;
        }
        in[(size_t)code] = 1;
        for (r = 0; r < k && ++coef[r] == f.q; r++) coef[r] = 0;
    }
    return in;
}

// The maps (permutation, non-zero scalars, with the field automorphism when
// semilinear) that take the code of a onto the code of b, counted.
int64_t maps(const matrix& a, const matrix& b, const ownfield& f, bool semilinear) {
    const int k = (int)a.size(), n = (int)a[0].size();
    const std::vector<char> inb = words(b, f);
    std::vector<int> perm(n);
    for (int j = 0; j < n; j++) perm[j] = j;
    int64_t count = 0;
    do {
        std::vector<int> lam(n, 1);
        for (;;) {
            for (int fr = 0; fr <= (semilinear && f.q == 4 ? 1 : 0); fr++) {
                bool ok = true;
                for (int i = 0; i < k && ok; i++) {
                    std::vector<int> y(n);
                    for (int j = 0; j < n; j++) y[perm[j]] = f.mul(lam[j], fr ? f.frob(a[i][j]) : a[i][j]);
                    int64_t code = 0;
                    for (int j = 0; j < n; j++) code = code * f.q + y[j];
                    ok = inb[(size_t)code];
                }
                count += ok;
            }
            int j = 0;
            while (j < n && ++lam[j] == f.q) lam[j++] = 1;
            if (j == n) break;
        }
    } while (std::next_permutation(perm.begin(), perm.end()));
    return count;
}

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
        // full rank: no non-zero combination is zero
        bool ok = true;
        std::vector<int> coef(k, 0);
        for (int r = 0; r < k && ok;) {
            for (r = 0; r < k && ++coef[r] == q; r++) coef[r] = 0;
            if (r == k) break;
            bool zero = true;
            for (int j = 0; j < n && zero; j++) {
                int v = 0;
                for (int i = 0; i < k; i++) v = f.add(v, f.mul(coef[i], g[i][j]));
                zero = v == 0;
            }
            ok = !zero;
        }
        if (ok) return g;
    }
}

// A random monomial image (and a change of basis) of g.
matrix image(const matrix& g, int q, std::mt19937& rng, bool frob) {
    const ownfield f{q};
    const int k = (int)g.size(), n = (int)g[0].size();
    matrix h = g;
    for (int t = 0; t < 3 * k; t++) {
        int a = (int)(rng() % k), b = (int)(rng() % k);
        if (a == b) continue;
        int s = (int)(rng() % q);
        for (int j = 0; j < n; j++) h[a][j] = f.add(h[a][j], f.mul(s, h[b][j]));
    }
    std::vector<int> perm(n);
    for (int j = 0; j < n; j++) perm[j] = j;
    std::shuffle(perm.begin(), perm.end(), rng);
    matrix out(k, std::vector<int>(n));
    for (int j = 0; j < n; j++) {
        int lam = 1 + (int)(rng() % (q - 1));
        for (int r = 0; r < k; r++) out[r][perm[j]] = f.mul(lam, frob ? f.frob(h[r][j]) : h[r][j]);
    }
    return out;
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
                EXPECT_EQ(facts(g, q, !semilinear).autorder, std::to_string(maps(g, g, ownfield{q}, semilinear)));
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
            EXPECT_EQ(facts(image(a, q, rng, false), q).key, facts(a, q).key);
            // Two random codes: equal keys exactly when a map exists.
            const bool equivalent = maps(a, b, ownfield{q}, true) > 0;
            EXPECT_EQ(facts(a, q).key == facts(b, q).key, equivalent);
            if (q == 4) {  // with the field automorphism: equal up to semilinear maps only
                matrix c = image(a, q, rng, true);
                EXPECT_EQ(facts(c, q).key, facts(a, q).key);
                EXPECT_EQ(facts(c, q, true).key == facts(a, q, true).key, maps(a, c, ownfield{q}, false) > 0);
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
