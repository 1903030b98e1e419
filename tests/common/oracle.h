// The tests' oracles, one of each kind, written apart from the program so
// that they share none of its faults: their own arithmetic of GF(q), every
// codeword of a small code listed (weights, dual, self-orthogonality),
// equivalence by trying every monomial (and GF(4) semilinear) map, and a
// reference classifier for tiny parameters that lists every k-dimensional
// subspace of GF(q)^n once (by its reduced echelon form), keeps those with
// the asked properties and splits them into classes by generating each
// class's whole orbit.
#pragma once
#include <algorithm>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

// GF(q) for the tests: integers mod q for q = 2, 3, 5, 7, and GF(4) as
// 0, 1, w, w^2 = 0..3 with w^2 = w + 1 (the program's encoding).
struct ownfield {
    int q;
    int add(int a, int b) const { return q == 4 ? a ^ b : (a + b) % q; }
    int neg(int a) const { return q == 4 ? a : (q - a) % q; }
    int mul(int a, int b) const {
        static const int m4[4][4] = {{0, 0, 0, 0}, {0, 1, 2, 3}, {0, 2, 3, 1}, {0, 3, 1, 2}};
        return q == 4 ? m4[a][b] : a * b % q;
    }
    int inv(int a) const {
        for (int b = 1; b < q; b++)
            if (mul(a, b) == 1) return b;
        return 0;
    }
    // The field automorphism x -> x^2 of GF(4); the identity elsewhere.
    int frob(int a) const { return q == 4 ? mul(a, a) : a; }
};

namespace oracle {

using matrix = std::vector<std::vector<int>>;  // rows of entries 0..q-1
using ogf = ownfield;

// Calls visit(word) for each of the q^k combinations of the rows of g
// (dependent rows give words more than once); with `projective` only for
// those whose first non-zero coefficient is 1 (one word of each line).
template <class F>
void eachword(const matrix& g, const ownfield& f, F visit, bool projective = false) {
    const int k = (int)g.size(), n = k ? (int)g[0].size() : 0;
    std::vector<int> coef(k, 0), w(n);
    for (int r = 0; r <= k;) {
        int lead = 0;
        for (int i = 0; i < k && !lead; i++) lead = coef[i];
        if (!projective || lead == 1) {
            std::fill(w.begin(), w.end(), 0);
            for (int i = 0; i < k; i++)
                for (int j = 0; j < n && coef[i]; j++) w[j] = f.add(w[j], f.mul(coef[i], g[i][j]));
            visit(w);
        }
        for (r = 0; r < k && ++coef[r] == f.q; r++) coef[r] = 0;
        if (r == k) return;
    }
}
inline int weight(const std::vector<int>& v) {
    int w = 0;
    for (int x : v) w += x != 0;
    return w;
}
// A_0..A_n over all q^k combinations of the rows (with multiplicity).
std::vector<uint64_t> weights(const matrix& g, int n, int q);

// The maps (coordinate permutation, non-zero scalar per coordinate, and
// over GF(4) with `semilinear` also x -> x^2) that take the code of a onto
// the code of b, counted: n! (q-1)^n tries, tiny n only.
int64_t maps(const matrix& a, const matrix& b, int q, bool semilinear);

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

// A random generator matrix of an equivalent code: a random change of
// basis, column permutation and column scalings, with the field
// automorphism applied to every entry when `frobenius`.
matrix scramble(const matrix& g, int q, std::mt19937& rng, bool frobenius);

// Reduced echelon form (rows of zero dropped).
matrix rref(matrix g, const ogf& f);
// A canonical key of the code: the smallest reduced echelon form over all
// monomial maps (for tests on tiny codes only).
std::string canonkey(const matrix& g, int n, const ogf& f, bool semilinear = true);

// The codes of the text of a result or h file, read here without the
// program's readers: k rows of n symbols (0-9, A-F) after each header
// "?k n q number...".
std::vector<matrix> resultcodes(const std::string& text);

// One representative generator matrix per class of codes with the wanted
// properties.
std::vector<matrix> classify(const wanted& w);

// The number of codes (subspaces) with the wanted properties: every reduced
// echelon form, built row by row and cut as soon as the rows so far span a
// code with a forbidden weight or that is not self-orthogonal (both pass to
// subcodes); the dual distance is checked on whole codes.
uint64_t count(const wanted& w);

}  // namespace oracle
