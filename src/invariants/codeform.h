// What one code is, however it is written down: its canonical form (equal
// for equivalent codes and for them only) and the order of its automorphism
// group, for any generator matrix, not only the systematic ones of a run.
//
// The columns are reduced to their projective points, all of them at once
// (a run merges only neighbouring columns, which its systematic layout
// makes enough); each point keeps its multiplicity, and zero columns are
// counted apart.  The points then get the invariants of a run and their
// incidence matrix is labelled.  The canonical form is the labelled matrix
// with the values and multiplicities in canonical order, and the counts.
// Equivalence is monomial (permutations and non-zero scalings of the
// coordinates); over GF(4) the field automorphism is allowed too unless the
// former is made linear.  The incidence matrix is always the one of monomial
// maps; semilinear facts come from the code and its image under the field
// automorphism: the smaller of their two forms, and twice the monomial
// order when the two codes are monomially equivalent (some automorphism then
// applies the field automorphism), else the monomial order.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "canon/canon.h"
#include "containers/bignat.h"
#include "containers/containers.h"
#include "distance/dist.h"
#include "invariants/colinv.h"
#include "invariants/grouporder.h"

struct CodeForm {
    std::string key;       // the canonical form, as bytes
    std::string autorder;  // the order of the automorphism group, in decimal
    Factored aut;          // the same order as a product of primes
};

// The group the automorphisms of a labelling generate, with its grow-only
// scratch: one per owner that orders such groups.
class LabelledGroup {
   public:
    // The basic orbit lengths of the automorphisms the labelling `lab`
    // stored, permutations of its N columns (see grouporder.h).
    const std::vector<uint32_t>& orbits(const Labeller& lab, int N);

   private:
    GroupOrder go_;
    std::vector<const int32_t*> gens_;
    std::vector<uint32_t> lens_;
};

// The order of the group G that classes codes of length n over GF(q): the
// monomial maps, n! (q-1)^n of them, twice as many with the field
// automorphism (semilinear GF(4)).
Factored codegroup(int n, int q, bool semilinear);
// The size of the class of a code with automorphism group order `aut` in
// that group: |G| / aut (aut must divide |G|, the assertion handler stops
// otherwise).
BigNat classsize(const Factored& G, const Factored& aut);

class CodeFormer {
   public:
    // Codes over GF(q); linear4: GF(4) up to monomial maps only.
    explicit CodeFormer(int q, bool linear4 = false);
    CodeFormer(const CodeFormer&) = delete;
    CodeFormer& operator=(const CodeFormer&) = delete;

    // The facts of the code spanned by `rows` (k rows of n entries, row
    // after row, entries 0..q-1).  False when the rows are not linearly
    // independent (nothing is written then).
    bool form(const uint8_t* rows, int k, int n, CodeForm& out);

   private:
    bool monomial(const uint8_t* rows, int k, int n, std::string& key, Factored& aut);

    int q_;
    bool semilinear_;
    std::vector<uint8_t> conj_;  // the image under the field automorphism
    DistEngine dist_;
    ColumnInvariants inv_;
    Labeller lab_;
    LabelledGroup group_;
    std::vector<int32_t> firstvals_;  // the first-pass value of every point
    ByteMatrix g_{}, r_{};
    PlaneMatrix gb_{};
    ByteMatrix gs_{};
};
