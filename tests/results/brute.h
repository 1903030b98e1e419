// The tests' oracles (common/oracle.h) for the program's code matrices:
// the facts of small codes by listing, group orders by trying every
// monomial map, random codes and random equivalent generator matrices, and
// the codes of the files of real runs.
#pragma once
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "codeio/codematrix.h"
#include "common/testutil.h"
#include "common/oracle.h"

namespace brute {

using field = ownfield;

// What listing gives of the row space of c.
struct facts {
    int rank = 0;
    int d = 0;                   // smallest non-zero weight (n + 1 when none)
    std::vector<uint64_t> A;     // A_0..A_n over all q^k combinations of the rows
    int duald = 0;               // of the Euclidean dual, by listing q^n vectors (n + 1 when it is zero)
    bool selforth = false;       // Euclidean; Hermitian (x . y^2) over GF(4)
};
// The dual (q^n vectors) only when `dual`; duald stays 0 otherwise.
facts analyse(const CodeMatrix& c, bool dual = true);

// The number of maps (coordinate permutation, non-zero scalar per
// coordinate, over GF(4) with `frobenius` also x -> x^2) that take the
// code of c onto itself.  n! (q-1)^n tries: tiny n.
uint64_t automorphisms(const CodeMatrix& c, bool frobenius);

// Uniform entries; some columns zero when `zerocols`.
CodeMatrix random(std::mt19937& rng, int q, int k, int n, bool zerocols);
// A random generator matrix of an equivalent code (basis change, column
// permutation and scalings; the field automorphism too when `frobenius`).
CodeMatrix scramble(const CodeMatrix& c, std::mt19937& rng, bool frobenius);
// x -> x^2 on every entry (GF(4)); c itself for the other fields.
CodeMatrix conjugate(const CodeMatrix& c);

// Every code of the file in format f (q for plain matrices); fails the
// calling test through ADD_FAILURE when the file does not read to its end.
std::vector<CodeMatrix> readcodes(const std::string& path, Format f = Format::result, int q = 0);

}  // namespace brute
