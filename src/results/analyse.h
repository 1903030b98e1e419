// The facts of one code from its generator matrix alone: rank, minimum
// distance, dual distance, weight distribution, self-orthogonality, and its
// canonical form and automorphism group order.
//
// The tools that work on finished result files (exports with facts, the
// checker, the class sorter) must not trust the run that wrote the codes,
// so everything here starts from the bare matrix: the distances come from
// the distance engine on that matrix and its dual, the form from
// CodeFormer.  One analyser serves one field and keeps its engines and
// matrices from code to code.
#pragma once
#include <cstdint>
#include <vector>

#include "codeio/codematrix.h"
#include "distance/dist.h"
#include "invariants/codeform.h"

class CodeAnalyser {
   public:
    // Codes over GF(q); linear4: GF(4) codes are equivalent up to monomial
    // maps only (otherwise the field automorphism is allowed too).
    CodeAnalyser(int q, bool linear4);
    CodeAnalyser(const CodeAnalyser&) = delete;
    CodeAnalyser& operator=(const CodeAnalyser&) = delete;

    // Every function takes a code over the analyser's field that passes
    // checkcode; the distance functions and `weights` want full rank.
    // They write the analyser's matrices and engine only.

    // The rank of c's rows.
    int rank(const CodeMatrix& c);
    // The smallest weight of a non-zero codeword.
    int mindist(const CodeMatrix& c);
    // True when every non-zero codeword has weight >= d: the codewords are
    // listed only up to weight d - 1 (nothing at all for d <= 1: full rank
    // alone shows it), so the check stays cheap where the exact distance
    // of a long code would not.
    bool atleast(const CodeMatrix& c, int d);
    // The minimum distance of the dual code; n + 1 when k = n (the dual
    // has no non-zero word).
    int dualdist(const CodeMatrix& c);
    // A[0..n]: the number of codewords of each weight (all q^k of them).
    void weights(const CodeMatrix& c, std::vector<uint64_t>& A);
    // True when every two rows (a row with itself too) are orthogonal:
    // the Euclidean product, Hermitian (x . y^2) over GF(4).
    bool selforthogonal(const CodeMatrix& c);
    // The canonical form and group order; false for dependent rows.
    bool form(const CodeMatrix& c, CodeForm& out);
    // The weight distribution, both distances and the group order into out
    // (codeio's facts of a code), and the form into *form when given;
    // false for dependent rows.
    bool facts(const CodeMatrix& c, CodeFacts& out, CodeForm* form = nullptr);

   private:
    void load(const CodeMatrix& c);  // c into g_

    int q_;
    DistEngine dist_;
    CodeFormer former_;
    ByteMatrix g_{}, dual_{};
};
