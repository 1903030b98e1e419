// The set of codes one dimension of a classification stands for, and its
// size where mathematics gives it in closed form.
//
// A run's codes of dimension D are one representative of every class of a
// set of codes: those of length n - k + D and dimension D with the minimum
// distance, allowed weights, self-orthogonality and dual distance asked
// (lowered to D - k + dual at dimension D, as the run asks it).  The mass
// formula (the sum over the classes of |G| / |Aut(C)|) must give the size of
// that set, so where the size is known the run's completeness is proved:
//   - every [n,k]_q code (d = 1, every weight, nothing else asked): the
//     Gaussian binomial [n choose k]_q;
//   - self-dual codes (k = n/2, self-orthogonal, every weight such codes can
//     have from the smallest on): binary prod_{i=1}^{n/2-1} (2^i + 1);
//     doubly-even binary (weights divisible by 4) prod_{i=0}^{n/2-2} (2^i + 1)
//     when 8 divides n, none otherwise; ternary 2 prod_{i=1}^{n/2-1} (3^i + 1)
//     when 4 divides n, none otherwise; Hermitian over GF(4)
//     prod_{i=0}^{n/2-1} (2^{2i+1} + 1);
//   - codes without zero coordinates (dual distance 2) and projective codes
//     (dual distance 3), d = 1, every weight: by Moebius inversion over the
//     subspaces of GF(q)^k (codeset.cpp).
// A bound on proportional coordinates cuts the search, not a property of the
// codes alone, so a set with one has no size here; neither have the lower
// dimensions of brute generation, which hold lengthened codes.
#pragma once
#include <string>
#include <vector>

#include "containers/bignat.h"
#include "params/params.h"

struct CodeSet {
    int n = 0, k = 0, q = 2;
    int d = 1;
    std::vector<char> allowed;  // allowed[w], w = 1..n: weight w may occur (index 0 unused)
    bool selforth = false;      // Euclidean for q = 2, 3, Hermitian for q = 4 (not asked for q = 5, 7)
    int dualdist = 1;
    bool cut = false;           // the search was cut by something else (proportional bounds, brute levels)
};

// The set of the run's codes of dimension D (1..k).  In brute generation
// the codes of dimension k are the [n,k] codes of the asked length; the
// lower dimensions are marked cut.
CodeSet codesetof(const RunParams& p, int D);

// The size of the set when a closed formula gives it; `formula` names it
// ("all [n,k]_q codes", "binary self-dual codes", ...).  False when none
// applies.
bool closedcount(const CodeSet& s, BigNat& count, std::string& formula);

// The words of a verdict, each with a space before it: " mass=M
// expected=E complete=yes" (or no) when the size E is known, else " mass=M
// expected=not-counted complete=unknown".
std::string verdictwords(const BigNat& mass, const BigNat* expected);

// The Gaussian binomial [n choose k]_q (0 when k > n).
BigNat gaussian(int n, int k, int q);
