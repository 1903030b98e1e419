// The tests' oracles (common/oracle.h) on the program's code matrices:
// listing the facts of small codes, random equivalent generator matrices,
// and the codes of the files of real runs.
#pragma once
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "codeio/codematrix.h"
#include "common/oracle.h"
#include "common/testutil.h"

namespace brute {

// The rows of c as the oracles take them.
oracle::matrix rows(const CodeMatrix& c);
// What listing gives of the row space of c; its dual only when `dual`.
inline oracle::codeinfo analyse(const CodeMatrix& c, bool dual = true) {
    return oracle::analyse(rows(c), c.n, c.q, dual);
}
// A_0..A_n over all q^k combinations of the rows.
inline std::vector<uint64_t> weights(const CodeMatrix& c) { return oracle::weights(rows(c), c.n, c.q); }

// A random generator matrix of an equivalent code (basis change, column
// permutation and scalings; the field automorphism too when `frobenius`).
CodeMatrix scramble(const CodeMatrix& c, std::mt19937& rng, bool frobenius);

// Every code of the file in format f (q for plain matrices), and their
// facts into *facts when given; fails the calling test through ADD_FAILURE
// when the file does not read to its end.
std::vector<CodeMatrix> readcodes(const std::string& path, Format f = Format::result, int q = 0,
                                  std::vector<CodeFacts>* facts = nullptr);

}  // namespace brute
