// The mass of a file of codes, and the number of codes it must reach.
//
// Every class of a finished classification is one code C; the sum of
// |G| / |Aut(C)| over the classes (the mass) equals the number of codes of
// the set the classification covers exactly when no class is missing and
// none is there twice.  The checker computes each code's group order from
// its matrix (CodeAnalyser), so the mass it finds trusts nothing of the run;
// the number to reach comes from a closed formula (params/codeset.h) or,
// for restricted sets small enough, from listing every subspace: every
// reduced echelon form, built row by row and cut as soon as the rows so far
// span a code with a forbidden weight or that is not self-orthogonal (both
// pass to subcodes); the dual distance is tested on whole codes.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "codeio/codematrix.h"
#include "codeio/runheader.h"
#include "containers/bignat.h"
#include "invariants/codeform.h"
#include "params/codeset.h"

// The set of a file's codes of dimension D, from the run's header.
CodeSet codesetof(const RunHeader& h, int D);

// The largest listing: sets with q^(k(n-k)) at or above it are not
// counted, nor sets restricting the weights of codes of more than 2^22
// codewords (the listing keeps the codewords of the rows so far).
constexpr uint64_t MAXLISTED = 100000000;

// The number of codes of s, from a closed formula or by listing; false
// when neither is at hand (a cut search, or too many subspaces).  `how`
// names the formula or says "listed".
bool expectedcount(const CodeSet& s, BigNat& count, std::string& how);

// The listing alone (no formula); false when the set is cut or too large.
bool listcodes(const CodeSet& s, BigNat& count);

// The mass of the codes of a file, by dimension.
class FileMass {
   public:
    // Codes over GF(q); semilinear: GF(4) classes with the field automorphism.
    FileMass(int q, bool semilinear) : q_(q), semilinear_(semilinear) {}
    // Adds the class size of c, whose automorphism group order is f.aut,
    // among the codes of length m >= c.n (an h file leaves out leading zero
    // coordinates, which come back here).
    void add(const CodeMatrix& c, const CodeForm& f, int m);
    // The mass of dimension D (0 when no code had it).
    BigNat of(int D) const { return D < (int)bydim_.size() ? bydim_[(size_t)D] : BigNat(0); }
    int lowest() const { return lowest_; }
    int highest() const { return highest_; }

   private:
    int q_;
    bool semilinear_;
    std::vector<BigNat> bydim_;
    std::vector<Factored> group_;  // by length, made when first needed
    std::vector<char> made_;
    int lowest_ = 0, highest_ = 0;
};
