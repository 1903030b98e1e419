// Column invariants of a candidate and the input of its canonical form.
//
// The candidate is reduced to its distinct coordinates ("points"; for q > 2
// each projective point stands for 2(q-1) columns of the incidence matrix),
// each point gets a value from two passes, and the points are grouped into
// classes of equal value.  First pass: how many coordinates of the candidate
// fall on the point.  Second pass: the low-weight codewords through it.  The
// classes colour the columns of `incmat`; the smallest value `mainval` and the
// point `specialpt` of the coordinate added last drive the parent test.
#pragma once
#include <cstdint>

#include "containers/code.h"
#include "containers/containers.h"
#include "distance/dist.h"

constexpr int MAXPTS = 2 * 6 * MAXLEN;  // points: up to 2(q-1) per distinct column

struct InvariantTable {
    int32_t N;          // number of points
    int32_t nclass;     // number of classes
    int32_t specialpt;  // the point of the coordinate added last
    int32_t q;
    int32_t mainval;    // smallest non-zero class value
    int32_t ndist;      // number of distinct columns
    int32_t value[MAXPTS + 1];  // value of each point
    int32_t order[MAXPTS + 1];  // points sorted by value (stable)
    int32_t csize[MAXPTS + 1];  // size of each class
    int32_t cval[MAXPTS + 1];   // value of each class
    int32_t cls[MAXPTS + 1];    // class of each point, 1 = smallest value
    int32_t mult[MAXLEN + 1];   // multiplicity of each distinct column
    int32_t firstpassval[MAXPTS + 1];  // first-pass values, saved for the second pass
};

class ColumnInvariants {
   public:
    ColumnInvariants() = default;
    ColumnInvariants(const ColumnInvariants&) = delete;
    ColumnInvariants& operator=(const ColumnInvariants&) = delete;

    // First pass on the candidate `code` (rows 1..level; its free part
    // is columns 1..nfree, the unit columns follow): writes redmat (the
    // distinct columns), invt.mult, the points with their multiplicities as
    // values, specialpt and the classes.
    void inv_firstpass(const WorkingCode& code, int nfree);
    // Saves the first-pass values into invt.firstpassval.
    void inv_savefirst();
    // Second pass on the distinct-column code in `G` (its rows are
    // redmat's): lists its low-weight codewords through `dist`, builds
    // `incmat`, adds the codeword values, combines them with the saved
    // first-pass values and forms the final classes.  Writes invt, incmat,
    // val; leaves dist's codeword stores filled.
    void inv_secondpass(ByteMatrix& G, PlaneMatrix& Gb, ByteMatrix& Gs, DistEngine& dist);
    // The first pass given instead of made, for a code of its distinct
    // columns alone: field q, nd distinct columns and the first-pass value
    // of every point, values[1..N] (N = nd, or 2(q-1) nd for q > 2).
    void givefirstpass(int q, int nd, const int32_t* values);
    // Codes over GF(4): equivalent up to monomial maps only (the default
    // also allows the field automorphism).  Other fields are not affected.
    void setlinear(bool linear) { linear_ = linear; }

    // What the passes found: the points with their values and classes, the
    // distinct columns, and the incidence matrix of the canonical form.
    const InvariantTable& table() const { return invt; }
    const WorkingCode& distinct() const { return redmat; }
    const ByteMatrix& incidence() const { return incmat; }

   private:
    // The tests drive the classes on values of their own through it.
    friend struct InvariantsProbe;

    InvariantTable invt{};
    // The distinct columns of the candidate (rows 1..level, columns
    // 1..len); column 0 of each row is a mark of the first pass.
    WorkingCode redmat{};
    // The incidence matrix of the canonical form (rows 1..incmat.rows,
    // columns 1..incmat.cols = invt.N); only grows.
    ByteMatrix incmat{};

    // Sorts the points by value and numbers the classes (reads invt.value).
    void inv_classes();
    bool zerocol(const WorkingCode& code, int c, int L) const;
    bool samepoint(const WorkingCode& code, int c, int j, int L, int q) const;
    void appendcol(const WorkingCode& code, int c, int L);
    void distinctfree(const WorkingCode& code, int nfree, int L, int q);
    void unitcolumns(int L);
    void listwords(ByteMatrix& G, PlaneMatrix& Gb, ByteMatrix& Gs, DistEngine& dist);
    void clearinc(int M, int N, int fq);
    // The incidence matrix from the marked words of the listing: q = 2
    // (bit store), q = 3, 4 (bit store) and q = 5, 7 (byte store).
    void incidence_binary(const DistEngine& dist);
    void patternbytes();
    template <class Elem>
    void wordrows(int row, Elem elem, uint32_t gain);
    void tierows(int row);
    void incidence_planes(const DistEngine& dist);
    void incidence_bytes(const DistEngine& dist);

    uint32_t val_[MAXPTS + 1]{};  // the codeword values of the second pass
    uint64_t key_[MAXPTS + 1]{};  // inv_classes: sort keys (value, item)
    int32_t blk_[MAXPTS + 1]{};   // inv_classes: the distinct columns in order
    uint8_t patb_[8][12]{};       // the incidence patterns of the field as bytes (patternbytes)
    uint32_t colgain_[MAXLEN + 1]{};  // q > 2: the codeword values of each distinct column
    bool linear_ = false;
};
