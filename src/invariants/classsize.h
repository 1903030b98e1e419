// The mass of a run: the size of each new code's class, |G| / |Aut(C)|, taken
// from the labelling the run made of the code anyway, and the sums per
// dimension.
//
// When a child is accepted, the labeller still holds the automorphisms of
// its incidence matrix, and the invariants its distinct points with their
// multiplicities.  The automorphisms of the matrix are those of the code of
// the points; the code itself has more: the coordinates of one point
// permuted among themselves, and its zero coordinates permuted and scaled.
// So |Aut(C)| is the order of the labelled group (its basic orbit lengths,
// by Schreier-Sims) times the factorials of the multiplicities, times
// z! (q-1)^z for z zero coordinates; a code of dimension 1 (never labelled)
// has (q-1) x! z! (q-1)^z for x non-zero coordinates.  Everything is kept as
// prime exponents, so the class size is exact at any length.
//
// Semilinear GF(4): the run's matrix lets each point's three values be
// permuted by any x -> l x or l x^2, the field automorphism point by point.
// An automorphism that applies it at some points and not at others is no
// automorphism of the code (it can only occur for codes that split into
// parts), so the group is the code's when every stored automorphism applies
// it at all points or at none; otherwise the order comes from a labelling of
// the code's own (CodeFormer, as the statistics do), which is counted.
//
// In brute generation a code of dimension D carries D added zero coordinates
// in front, which are not counted: its class is taken among the codes of the
// asked length, as the result file prints them.
#pragma once
#include <cstdint>
#include <vector>

#include "canon/canon.h"
#include "containers/bignat.h"
#include "containers/code.h"
#include "invariants/codeform.h"
#include "invariants/colinv.h"
#include "params/params.h"

class ClassSizer {
   public:
    explicit ClassSizer(const RunParams& par);
    ClassSizer(const ClassSizer&) = delete;
    ClassSizer& operator=(const ClassSizer&) = delete;

    // The class size of the new code in `code` (dimension level).  For
    // dimension 2 and up, `inv` and `lab` must still hold the code's
    // invariants and labelling.  Writes the mass's own scratch only.
    const BigNat& classsize(const WorkingCode& code, const ColumnInvariants& inv, const Labeller& lab);

    // Codes whose group order needed a labelling of their own (GF(4)).
    uint64_t relabelled = 0;

   private:
    const Factored& group(int m);
    bool uniform(const Labeller& lab, int nd) const;
    void relabel(const WorkingCode& code, int skip, int m);

    const RunParams& par_;
    bool semilinear_;
    std::vector<Factored> group_;  // group_[m]: |G| for length m, made when first needed
    bool made_[MAXLEN + 1] = {};
    Factored aut_;
    BigNat size_;
    CodeFormer former_;
    LabelledGroup labelled_;
    std::vector<uint8_t> rows_;
    CodeForm form_;
};

// The mass of each dimension: bydim[D], D = 1..k.
struct MassSums {
    std::vector<BigNat> bydim = std::vector<BigNat>(MAXDIM + 1);
    void add(int D, const BigNat& size) { bydim[(size_t)D] += size; }
};
