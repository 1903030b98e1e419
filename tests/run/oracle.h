// An independent classifier for tiny parameters, written only for the tests:
// it lists every k-dimensional subspace of GF(q)^n once (by its reduced
// echelon form), keeps those with the asked properties, and splits them into
// classes under monomial equivalence (coordinate permutations and non-zero
// scalings; over GF(4) also the field automorphism, unless asked not to) by
// generating each class's whole orbit.  Its field arithmetic is
// its own, so it shares nothing with the program it checks.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace oracle {

using matrix = std::vector<std::vector<int>>;  // rows of entries 0..q-1

struct ogf {
    int q;
    int add[8][8], mul[8][8], inv[8], conj[8];
    explicit ogf(int q);
};

struct wanted {
    int n, k, d, q;
    std::vector<int> allowed;  // allowed[w] for w = 0..n (index 0 ignored)
    bool selforth = false;     // Euclidean for q = 2, 3; Hermitian for q = 4; ignored for 5, 7
    int dualdist = 1;          // minimum distance required of the dual code
    bool semilinear = true;    // GF(4): the field automorphism is an equivalence too
};

// All weights n, allowed from d to n.
wanted plain(int n, int k, int d, int q);

struct codeinfo {
    int rank = 0;
    int mindist = 0;             // of the non-zero codewords; n + 1 for the zero code
    std::vector<long> spectrum;  // number of codewords of each weight 0..n
    int dualdist = 0;            // minimum distance of the dual (n + 1 when the dual is zero)
    bool selforth = false;
};

// The dual distance is computed only when `withdual` is set (it costs q^n).
codeinfo analyse(const matrix& g, int n, int q, bool withdual = true);
bool satisfies(const codeinfo& c, const wanted& w);

// Reduced echelon form (rows of zero dropped).
matrix rref(matrix g, const ogf& f);
// A canonical key of the code: the smallest reduced echelon form over all
// monomial maps (for tests on tiny codes only).
std::string canonkey(const matrix& g, int n, const ogf& f, bool semilinear = true);

// One representative generator matrix per class of codes with the wanted
// properties.
std::vector<matrix> classify(const wanted& w);

// The number of codes (subspaces) with the wanted properties: every reduced
// echelon form, built row by row and cut as soon as the rows so far span a
// code with a forbidden weight or that is not self-orthogonal (both pass to
// subcodes); the dual distance is checked on whole codes.
uint64_t count(const wanted& w);

}  // namespace oracle
