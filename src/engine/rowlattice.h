// The new rows of one partner as the integer points of a polytope, found by
// a search that tightens every bound after each choice.
//
// The unknowns are the split counts x(c, z): the columns of class c = (l, b)
// of the parent that take value z in the new row.  They obey
//   * the class sizes:     sum over z of x(c, z) = |c|;
//   * the partner:         sum over the classes of block l of x(c, z) = p_l[z];
//   * the codewords:       for every family u (a combination of rows
//     1..D-2) and lambda != 0, the codeword u + lambda row(D-1) + row(D) is
//     zero on class (l, b) exactly where the new row takes
//     z = -(s_l(u) + lambda b), so its zeros Z(u, lambda) are a sum of one
//     unknown per class, and its weight base(u) - Z(u, lambda) must be
//     allowed (rowcuts.h has the derivation);
//   * two sums of those:   the zeros of one family over all lambda, and the
//     zeros of all families, each a sum of unknowns with known
//     coefficients.  Over a class whose columns all count alike the sum is
//     a multiple of the class size, a constant; so these sums tie the
//     codewords together in a way no single codeword does;
//   * the caps: each unknown at most the bound on one class of the new code,
//     the zero columns of the new code at most their bound and of a
//     possible number.
// All are linear equalities in the unknowns and the zeros Z, each unknown
// and each Z has an interval, and a Z only values that give allowed weights.
// Propagation takes each equality whose variables changed and narrows every
// interval it can from the others (bounds consistency), until nothing
// changes or an interval is empty.
//
// The search fixes the unknowns in the order of the plain enumeration
// (block by block, value by value, class by class, largest first), so the
// rows come out in the same order, and leaves a choice only once
// propagation has narrowed it: a branch whose intervals are consistent is
// entered, one that is not is never built.  Every row it gives satisfies
// every constraint exactly, and every row that does is given: the bounds
// only ever drop values no solution has.  Changes of bounds go on a trail
// and are undone on the way back.  Tables are sized per parent and grow
// only.
#pragma once
#include <cstdint>
#include <vector>

#include "containers/code.h"
#include "engine/bounds.h"
#include "engine/tables.h"

class RowLattice {
   public:
    explicit RowLattice(const LevelBounds& b) : lb_(b) {}

    // A new parent of dimension D - 1 with nblk blocks (as RowCuts::parent):
    // builds the unknowns and the equalities.  Reads code and tables.remain.
    // False when the parent is too large for the tables (or of dimension 1).
    bool parent(const WorkingCode& code, const SplitTables& tables, int nblk, int D, int q, int nfree);
    // The rows of the partner tables.partner, each class share at most
    // propbound and the zero columns at most zerocap: for each one, in the
    // order of the plain enumeration, tables.split holds it while row() runs;
    // every split entry the search wrote is 0 again on return.  stop() is
    // asked between choices; true ends the search.
    template <class Row, class Stop>
    void rows(SplitTables& tables, int propbound, int zerocap, Row row, Stop stop);

    uint64_t partners = 0, partnersskipped = 0;  // partners searched, and with no row
    uint64_t nodes = 0, fails = 0;               // choices made, and those propagation refused
    uint64_t solutions = 0;                      // rows given

   private:
    struct term {
        int32_t var, coef;
    };
    bool start(const SplitTables& tables, int propbound, int zerocap);
    bool propagate();
    bool narrow(int c);
    bool setbounds(int v, int32_t lo, int32_t hi);
    bool snap(int v, int32_t& lo, int32_t& hi) const;
    void apply(int v, int32_t lo, int32_t hi);
    void enqueue(int v);
    void undo(size_t mark);
    void close(int32_t rhs);
    void addgroup(const std::vector<int>& ks);
    void layout(const WorkingCode& code, const SplitTables& tables);
    void equalities();
    void index();
    int scalefamily(int f, int t) const;

    const LevelBounds& lb_;
    int q_ = 0, D_ = 0, L_ = 0, F_ = 0, nfree_ = 0;
    int nx_ = 0, nz_ = 0;  // unknowns x (nx_ = classes * q), then the zeros Z (nz_ = F * (q - 1))
    int zerovar_ = -1;     // the unknown of the zero columns of the new code, or -1
    std::vector<int32_t> clsblk_, clsb_, clssize_;  // per class: its block, its value b, its size
    std::vector<int32_t> blkfirst_;                 // the first class of each block (L + 1 entries)
    std::vector<uint8_t> sv_;                       // sv_[l * F + f]: s(u_f) on block l
    std::vector<uint8_t> meet_;                     // meet_[k * classes + c]: the value codeword k is zero at on class c
    std::vector<int32_t> zbase_;                    // per Z: base(u), the weight when it has no zeros
    std::vector<int32_t> order_;                    // the unknowns in enumeration order
    std::vector<int32_t> coef_;                     // scratch of the equalities being built
    std::vector<int> ks_;
    // The equalities: sum of coef * var = rhs.  CSR over the terms; per
    // variable its equalities.
    std::vector<term> terms_;
    std::vector<int32_t> cstart_, rhs_;
    struct use {
        int32_t eq, coef;
    };
    std::vector<int32_t> vstart_;
    std::vector<use> vcons_;
    std::vector<int32_t> minsum_, maxsum_;  // per equality: the least and greatest sum of the intervals
    std::vector<int32_t> span_;             // per equality: its widest term (coefficient times width) at the start
    // The constants without the partner, and the partner's part of them:
    // coef * p_l[z] for at = l * q + z.
    struct partnerterm {
        int32_t eq, at, coef;
    };
    std::vector<int32_t> rhsfixed_;
    std::vector<partnerterm> partnerterms_;
    // The intervals, the trail of their changes, the queue of equalities.
    std::vector<int32_t> lo_, hi_;
    struct change {
        int32_t var, lo, hi;
    };
    std::vector<change> trail_;
    std::vector<int32_t> queue_;
    std::vector<uint8_t> queued_;
    size_t qhead_ = 0;
    int qsize_ = 0;
    template <class Row, class Stop>
    void search(SplitTables& tables, size_t t, Row& row, Stop& stop, bool& stopped);
};

template <class Row, class Stop>
void RowLattice::rows(SplitTables& tables, int propbound, int zerocap, Row row, Stop stop) {
    partners++;
    bool stopped = false;
    if (start(tables, propbound, zerocap))
        search(tables, 0, row, stop, stopped);
    else
        partnersskipped++;
    for (int c = 0; c < nx_ / q_; c++)
        for (int z = 0; z < q_; z++) tables.split[clsblk_[(size_t)c]][z][clsb_[(size_t)c]] = 0;
}

// Fixes the unknowns order_[t..] one after another; a fixed one is passed.
template <class Row, class Stop>
void RowLattice::search(SplitTables& tables, size_t t, Row& row, Stop& stop, bool& stopped) {
    while (t < order_.size() && lo_[(size_t)order_[t]] == hi_[(size_t)order_[t]]) t++;
    if (t == order_.size()) {
        for (int v = 0; v < nx_; v++) {
            const int c = v / q_;
            tables.split[clsblk_[(size_t)c]][v % q_][clsb_[(size_t)c]] = lo_[(size_t)v];
        }
        solutions++;
        row();
        return;
    }
    const int v = order_[t];
    const int32_t top = hi_[(size_t)v], bottom = lo_[(size_t)v];
    for (int32_t val = top; val >= bottom && !stopped; val--) {
        if (stop()) {
            stopped = true;
            return;
        }
        nodes++;
        const size_t mark = trail_.size();
        if (setbounds(v, val, val) && propagate())
            search(tables, t + 1, row, stop, stopped);
        else
            fails++;
        undo(mark);
    }
}
