// Helpers of the labelling tests (also in bench/canon.cpp): 0/1 matrices held
// in the test, a labeller with the matrix it reads and the results copied
// back, random relabelling, brute-force oracles over all column permutations
// for tiny sizes, closures of permutation groups, symmetric incidence structures.
#pragma once
#include <cstdint>
#include <numeric>
#include <random>
#include <set>
#include <vector>

#include "canon/canon.h"

using ivv = std::vector<std::vector<int>>;

struct tmat {
    int M = 0, N = 0;
    std::vector<uint8_t> a;    // row-major, entry (r, c) at (r-1)*N+(c-1), all 0 at first
    std::vector<int32_t> col;  // colours 1..N (col[0] unused); empty for plain mode
    uint8_t at(int r, int c) const { return a[(size_t)(r - 1) * N + (c - 1)]; }
    void set(int r, int c, uint8_t v) { a[(size_t)(r - 1) * N + (c - 1)] = v; }
    tmat with_col(const std::vector<int32_t>& c) const { return tmat{M, N, a, c}; }
    bool operator==(const tmat&) const = default;
};

inline tmat make_mat(int M, int N) { return tmat{M, N, std::vector<uint8_t>((size_t)M * N), {}}; }
tmat random_mat(std::mt19937& rng, int M, int N, double density, int ncolours);
tmat from_rows(int N, const ivv& rows);  // row i has ones at the columns listed in rows[i-1]
inline std::vector<int> upto(int n) { std::vector<int> v(n); std::iota(v.begin(), v.end(), 1); return v; }

struct tres {  // one labelling, copied out of the workspace
    std::vector<uint8_t> canon;             // the matrix read in canonical order
    std::vector<int32_t> canoncol;          // colours in canonical column order
    std::vector<int32_t> bestcol, bestrow;  // 1-based
    std::vector<int32_t> orbit, orbmin;     // orbit number and orbit-minimum mark of each column
    uint32_t certhash = 0;
    int bestdepth = 0, naut = 0;
    ivv autcol, autrow;
    bool operator==(const tres&) const = default;
};

// The tests' access to a labeller's whole workspace and its private steps.
struct LabelProbe {
    static LabelWorkspace& ws(Labeller& lab) { return lab.work; }
    static void canon_mem(Labeller& lab, int r0, int r1) { lab.canon_mem(r0, r1); }
    static void root_cols(Labeller& lab, Partition& p) { lab.root_cols(p); }
    static void root_rows(Labeller& lab, Partition& p) { lab.root_rows(p); }
    static void colour_part(Labeller& lab, Partition& p) { lab.colour_part(p); }
    static bool refine(Labeller& lab, Partition& col, Partition& row, Refinement mode) { return lab.refine(col, row, mode); }
    static void cell_index(Labeller& lab, const Partition& p, int rowside = 0) { lab.cell_index(p, rowside); }
    static void target_cell(Partition& p) { Labeller::target_cell(p); }
};

// A labeller and the matrix it is pointed at (which it does not own).
struct tlab {
    ByteMatrix inc{};
    Labeller lab;
    LabelWorkspace& w = LabelProbe::ws(lab);
    void load(const tmat& m);   // m into inc, and lab.use(inc)
    tres label(const tmat& m);  // colour mode when m has colours
};

// B(i, j) = A(rp[i], cp[j]), colours carried along; rp, cp are 1-based.
tmat relabel(const tmat& A, const std::vector<int>& rp, const std::vector<int>& cp);
std::vector<int> random_perm(std::mt19937& rng, int n);
inline tmat random_relabel(std::mt19937& rng, const tmat& A) {
    return relabel(A, random_perm(rng, A.M), random_perm(rng, A.N));
}
bool is_perm(const std::vector<int32_t>& v, int n);  // of 1..n, index 0 unused

// Every colour-preserving column permutation p with B(i, j) = A(rho(i), p[j])
// for some row permutation rho, by trying them all (N <= 8).
ivv brute_isos(const tmat& A, const tmat& B);
// The smallest element of each element's class of 1..N under `gens`.
std::vector<int> orbits_of(const ivv& gens, int N);
std::vector<int> orbit_minima(const std::vector<int32_t>& orbit, int N);
bool auts_valid(const tmat& A, const tres& r);  // each maps matrix and colours onto themselves

// The order of the group of permutations of 1..N that `gens` generate, by
// closing them under products (small groups only).
inline size_t closure(const ivv& gens, int N) {
    std::vector<int> id(N + 1);
    std::iota(id.begin(), id.end(), 0);
    std::set<std::vector<int>> seen{id};
    for (ivv todo{id}; !todo.empty();) {
        const std::vector<int> p = todo.back();
        todo.pop_back();
        for (const auto& g : gens) {
            std::vector<int> q(N + 1, 0);
            for (int j = 1; j <= N; j++) q[j] = g[p[j]];
            if (seen.insert(q).second) todo.push_back(q);
        }
    }
    return seen.size();
}

// Lines x points of PG(2, q), q in {2, 3, 4, 5}: the translates of a perfect
// difference set mod q^2 + q + 1 (the plane of each of these orders is unique).
tmat pg2(int q);
tmat hamming_w3(int m);        // weight-3 words of the binary Hamming code of length 2^m - 1
tmat biplane16();              // a 2-(16, 6, 2) design from a difference set in Z_2^4
tmat bipartite(int a, int b);  // edges x vertices of K_{a,b}
