// Test helpers of the distance subsystem: random generator matrices, the
// tests' listing oracle (common/oracle.h) in the shape the engine reports
// (codewords up to scalars), and readers of the engine's stores.
#pragma once
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <numeric>
#include <random>
#include <vector>

#include "containers/containers.h"
#include "distance/dist.h"
#include "common/oracle.h"

// The tests' access to an engine's whole workspace.
struct DistProbe {
    static const DistWorkspace& of(const DistEngine& E) { return E.work; }
};

namespace dtest {

using vec = std::vector<int>;   // coordinates 0..n-1
using oracle::ogf;
using oracle::weight;

// Scales v so that its first non-zero coordinate is 1.
inline vec normalise(const ogf& F, vec v) {
    size_t p = 0;
    while (p < v.size() && !v[p]) p++;
    for (int f = p < v.size() ? F.inv(v[p]) : 1; f != 1 && p < v.size(); p++) v[p] = F.mul(f, v[p]);
    return v;
}

inline int rankof(const ogf& F, const std::vector<vec>& rows) { return (int)oracle::rref(rows, F).size(); }

struct truth {
    int n, q, rank;
    std::vector<uint64_t> A;   // projective counts per weight 0..n
    int d = 0;                 // minimum distance, 0 for the zero code
    int wgen = 0;              // first weight whose codewords (<= it) span the code
    std::vector<vec> words;    // normalised non-zero codewords, sorted, distinct
};

// Lists every codeword, keeps each non-zero one once up to scalars (rows
// may be dependent, so codewords are deduplicated).
inline truth brute(const std::vector<vec>& rows, int n, int q) {
    const ogf F{q};
    truth t{n, q, rankof(F, rows), std::vector<uint64_t>(n + 1, 0), 0, 0, {}};
    std::vector<vec>& all = t.words;
    oracle::eachword(rows, F, [&](const vec& w) {
        if (weight(w)) all.push_back(normalise(F, w));
    }, true);
    std::sort(all.begin(), all.end());
    all.erase(std::unique(all.begin(), all.end()), all.end());
    for (auto& v : all) t.A[weight(v)]++;
    for (int w = n; w >= 1; w--)
        if (t.A[w]) t.d = w;
    std::vector<vec> sofar;
    for (int w = 1; w <= n && t.rank > 0 && !t.wgen; w++) {
        for (auto& v : all)
            if (weight(v) == w) sofar.push_back(v);
        if (t.A[w] && rankof(F, sofar) == t.rank) t.wgen = w;
    }
    return t;
}

// Random k x n matrix; `dens` is the chance of a non-zero entry.
inline std::vector<vec> randrows(std::mt19937& rng, int k, int n, int q, double dens) {
    std::uniform_real_distribution<double> u(0, 1);
    std::uniform_int_distribution<int> nz(1, q - 1);
    std::vector<vec> r(k, vec(n));
    for (auto& row : r)
        for (auto& x : row) x = u(rng) < dens ? nz(rng) : 0;
    return r;
}

inline ByteMatrix& loadmatrix(ByteMatrix& G, const std::vector<vec>& rows, int n, int q, int d = 0) {
    int k = (int)rows.size();
    G.ensure(k, n, q);
    for (int i = 0; i < k; i++)
        for (int j = 0; j < n; j++) G.a[i + 1][j + 1] = rows[i][j];
    G.used = k;
    G.dreq = d;
    return G;
}

inline std::vector<vec> parse(std::initializer_list<const char*> rows) {
    std::vector<vec> r;
    for (const char* s : rows) {
        r.emplace_back(s, s + strlen(s));
        for (int& x : r.back()) x -= '0';
    }
    return r;
}

// Stored codewords 1..count as they are stored (`raw`) or normalised, in
// store order.
inline std::vector<vec> storedwords(const DistEngine& E, int n, uint64_t count, bool raw = false) {
    const DistWorkspace& dv = DistProbe::of(E);
    std::vector<vec> out;
    for (uint64_t f = 1; f <= count; f++) {
        vec v(n);
        for (int p = 1; p <= n; p++)
            v[p - 1] = E.bitplanes() ? coordval(E.fieldq(), dv.wordplanes.a[f], dv.wordplanes.b[f], p) : dv.wordbytes.a[f][p];
        out.push_back(raw ? v : normalise(ogf{E.fieldq()}, v));
    }
    return out;
}

inline int storedweight(const DistEngine& E, uint64_t f) {
    return E.bitplanes() ? (int)DistProbe::of(E).wordplanes.a[f][0] : bstoredweight(DistProbe::of(E).wordbytes.a[f]);
}

// Everything engine E (field already chosen) says about a code, in order:
// minimum distance, the checks for d = 2..5, the spectrum, the full store as
// stored and, with `low`, the low-weight listing (span weight, rank, store).
inline std::vector<uint64_t> transcript(DistEngine& E, const std::vector<vec>& rows, int n, int q, bool low) {
    ByteMatrix G{}, Gs{};
    PlaneMatrix Gb{};
    const InfoSets& it = DistProbe::of(E).setinfo;
    auto fresh = [&](int D) -> ByteMatrix& { return loadmatrix(G, rows, n, q, D); };
    std::vector<uint64_t> t{(uint64_t)E.mindist(fresh(0))};
    for (int D = 2; D <= 5; D++) t.push_back((uint64_t)E.checkdist(fresh(D)));
    for (int pass = 0; pass <= low; pass++) {
        fresh(0);
        if (pass == 0) E.spectrum_keep(G), t.insert(t.end(), it.Aspec.data(), it.Aspec.data() + n + 1);
        else if (E.bitplanes()) E.gensets_dist(Gb, G, (int)t[0]), t.push_back((uint64_t)Gb.used);
        else E.gensets_dist_b(Gs, G), t.push_back((uint64_t)Gs.used);
        t.push_back((uint64_t)it.wmax);
        for (auto& v : storedwords(E, n, it.found, true)) t.insert(t.end(), v.begin(), v.end());
    }
    return t;
}

inline uint64_t sumA(const std::vector<uint64_t>& A, int lo, int hi) {
    return std::accumulate(A.begin() + lo, A.begin() + hi + 1, uint64_t{0});
}

}  // namespace dtest
