// Test helpers of the distance subsystem: random generator matrices and an
// independent brute-force oracle that lists every codeword of a code with its
// own field arithmetic (modular for prime q, its own GF(4) table), so that no
// result of the code under test is used to check it.
#pragma once
#include <algorithm>
#include <cstdint>
#include <random>
#include <vector>

#include "containers/cons_str.h"

namespace dtest {

using vec = std::vector<uint8_t>;   // coordinates 0..n-1

// Independent arithmetic of GF(q), q in {2, 3, 4, 5, 7}.
struct gf {
    int q;
    int add(int a, int b) const {
        if (q == 4) return a ^ b;
        return (a + b) % q;
    }
    int mul(int a, int b) const {
        if (q == 4) {
            static const int t[4][4] = {{0, 0, 0, 0}, {0, 1, 2, 3}, {0, 2, 3, 1}, {0, 3, 1, 2}};
            return t[a][b];
        }
        return (a * b) % q;
    }
    int inv(int a) const {
        for (int b = 1; b < q; b++)
            if (mul(a, b) == 1) return b;
        return 0;
    }
    int neg(int a) const {
        for (int b = 0; b < q; b++)
            if (add(a, b) == 0) return b;
        return 0;
    }
};

// Scales v so that its first non-zero coordinate is 1.
inline vec normalise(const gf& F, vec v) {
    for (uint8_t x : v)
        if (x) {
            int f = F.inv(x);
            for (auto& y : v) y = (uint8_t)F.mul(f, y);
            break;
        }
    return v;
}

inline int weight(const vec& v) {
    int w = 0;
    for (uint8_t x : v) w += x != 0;
    return w;
}

// Rank of a list of vectors (Gaussian elimination).
inline int rankof(const gf& F, std::vector<vec> rows) {
    int r = 0;
    size_t n = rows.empty() ? 0 : rows[0].size();
    for (size_t c = 0; c < n && r < (int)rows.size(); c++) {
        int p = -1;
        for (int i = r; i < (int)rows.size(); i++)
            if (rows[i][c]) {
                p = i;
                break;
            }
        if (p < 0) continue;
        std::swap(rows[r], rows[p]);
        int f = F.inv(rows[r][c]);
        for (auto& x : rows[r]) x = (uint8_t)F.mul(f, x);
        for (int i = 0; i < (int)rows.size(); i++) {
            if (i == r || !rows[i][c]) continue;
            int e = F.neg(rows[i][c]);
            for (size_t j = 0; j < n; j++) rows[i][j] = (uint8_t)F.add(rows[i][j], F.mul(e, rows[r][j]));
        }
        r++;
    }
    return r;
}

// Everything the brute force knows about a code.
struct truth {
    int n = 0, q = 2, rank = 0;
    int d = 0;                     // minimum distance, 0 for the zero code
    std::vector<uint64_t> A;       // projective counts per weight 0..n
    std::vector<vec> words;        // normalised non-zero codewords, sorted, distinct
    int wgen = 0;                  // first weight whose codewords (<= it) span the code
};

// Lists all combinations of the rows, keeps each non-zero codeword once up
// to scalars.
inline truth brute(const std::vector<vec>& rows, int n, int q, bool keepwords = true) {
    gf F{q};
    truth t;
    t.n = n;
    t.q = q;
    t.A.assign(n + 1, 0);
    int k = (int)rows.size();
    t.rank = rankof(F, rows);
    std::vector<int> c(k, 0);
    std::vector<vec> all;
    // every coefficient vector whose first non-zero entry is 1; distinct
    // projective codewords are then deduplicated (rows may be dependent)
    uint64_t total = 1;
    for (int i = 0; i < k; i++) total *= (uint64_t)q;
    vec z(n);
    for (uint64_t idx = 0; idx < total; idx++) {
        uint64_t x = idx;
        int lead = -1;
        for (int i = 0; i < k; i++) {
            c[i] = (int)(x % q);
            x /= q;
            if (c[i] && lead < 0) lead = i;
        }
        if (lead < 0 || c[lead] != 1) continue;
        std::fill(z.begin(), z.end(), 0);
        for (int i = 0; i < k; i++)
            if (c[i])
                for (int j = 0; j < n; j++) z[j] = (uint8_t)F.add(z[j], F.mul(c[i], rows[i][j]));
        if (weight(z) == 0) continue;
        all.push_back(normalise(F, z));
    }
    std::sort(all.begin(), all.end());
    all.erase(std::unique(all.begin(), all.end()), all.end());
    for (auto& v : all) t.A[weight(v)]++;
    t.d = 0;
    for (int w = 1; w <= n; w++)
        if (t.A[w]) {
            t.d = w;
            break;
        }
    // the first weight at which the codewords of weight <= it span the code
    t.wgen = 0;
    if (t.rank > 0) {
        std::vector<vec> sofar;
        for (int w = 1; w <= n; w++) {
            for (auto& v : all)
                if (weight(v) == w) sofar.push_back(v);
            if (t.A[w] && rankof(F, sofar) == t.rank) {
                t.wgen = w;
                break;
            }
        }
    }
    if (keepwords) t.words = std::move(all);
    return t;
}

// Random k x n matrix; `dens` is the chance of a non-zero entry.
inline std::vector<vec> randrows(std::mt19937& rng, int k, int n, int q, double dens) {
    std::uniform_real_distribution<double> u(0, 1);
    std::uniform_int_distribution<int> nz(1, q - 1);
    std::vector<vec> r(k, vec(n));
    for (auto& row : r)
        for (auto& x : row) x = (uint8_t)(u(rng) < dens ? nz(rng) : 0);
    return r;
}

// Generator matrix record: rows 1..k, fill k, spare d.
inline void tobmat(bmat& G, const std::vector<vec>& rows, int n, int q, int d = 0) {
    int k = (int)rows.size();
    bmat_ensure(G, k, n, q);
    for (int i = 0; i < k; i++)
        for (int j = 0; j < n; j++) G.a[i + 1][j + 1] = rows[i][j];
    G.fill = k;
    G.spare = d;
}

// Field tables and the bit-plane switches for q.
void usefield(int q, bool bits);

// Stored codewords 1..count, normalised, in store order.
std::vector<vec> storedwords(int q, int n, uint64_t count);
// Weight recorded with stored codeword f.
int storedweight(uint64_t f);

}  // namespace dtest
