// Bounds on the weights of the codewords a new row makes, while the row is
// still being split, so that a branch whose codes cannot have allowed
// weights is cut before any candidate of it is built, a partner that can
// give no admissible row is skipped whole, and a complete row is judged
// without listing the codewords of its candidate.
//
// The parent (dimension D - 1) is held block by block: block l is a set of
// free columns equal in rows 1..D-2 (value s(u) = u . v_l of the block's
// column v_l under a combination u of those rows), split into classes
// (l, b) by the value b in row D - 1.  A codeword that involves the new row
// is, up to a scalar, u . rows(1..D-2) + lambda row(D-1) + row(D).  On class
// (l, b) it is zero exactly where the new row takes the value
// z = -(s(u) + lambda b), so its weight is
//     n - k + wt(u) + [lambda != 0] + 1  -  sum over classes of split[l][z][b],
// and every split count is either fixed (its pair is done) or bounded by
// what its class and its partner amount have left.  The codewords with
// lambda = 0 are the partner's and those without the new row the parent's:
// both passed their test already, with the same weights.
//
// One identity ties the codewords of one u together: summed over all
// lambda, the zeros of block l are  T_l - m_l0 + q x_l, where T_l is the
// block's size, m_l0 the size of its class b = 0, and x_l the columns of
// that class that take -s(u) (each column of a class b != 0 is zero for
// exactly one lambda, one of class 0 for all q or none).  With the
// lambda = 0 term, the partner's amount p_l[-s(u)], taken out:
//     sum over lambda != 0 of the weights  =  A(u) - q Y(u),  Y(u) = sum_l x_l.
// The weights allowed for each lambda bound Y(u) from both sides, and the
// bounded Y(u) bounds each weight again.
//
// Tables are per family u (q^(D-2) of them) and per lambda: exact sums over
// the blocks already done (`pre`, per block, filled as blocks complete) and
// bounds over the blocks not begun (`suflo`, `sufhi`, per partner), so a
// check only works through the current block.  The tables grow only; the
// cuts turn themselves off for a parent whose tables would pass 2^20
// entries (the candidate test then judges every row, as it always may).
//
// Whether a cut pays depends on the run: for long codes of small dimension
// nearly every partner and branch is cut, for short codes of larger
// dimension almost none, and there the bounds of the blocks not begun cost
// more than they save.  So each dimension keeps a tally: the partner and
// branch checks are made while at least one in eight of them cuts, and
// otherwise only for one partner in 32 (to notice a change).  The verdict on
// a complete row is always given from the exact sums, which is cheaper than
// listing the candidate's codewords.  None of this changes a result: a
// check only drops rows the candidate test would drop.
#pragma once
#include <cstdint>
#include <vector>

#include "containers/code.h"
#include "engine/bounds.h"
#include "engine/records.h"
#include "engine/tables.h"

class RowCuts : public FirstFilter {
   public:
    explicit RowCuts(const LevelBounds& b) : lb_(b) {}

    // A new parent of dimension D - 1: rows 1..D-1 of `code`, its free
    // columns 1..nfree laid out block by block, class by class, with the
    // class sizes tables.remain[l][0][b] for l < nblk.  Reads them; writes the
    // per-parent tables.
    void parent(const WorkingCode& code, const SplitTables& tables, int nblk, int D, int q, int nfree);
    bool on() const { return on_; }
    // A partner (tables.partner) before its rows are made, each class share
    // bounded by propbound.  When the tally of this dimension says so, the
    // tables of the blocks not begun are made and branch checks are in use
    // (full()); false then when no row of the partner can give a code whose
    // codewords have allowed weights and whose zero columns are possible.
    bool partner(const SplitTables& tables, int propbound);
    bool full() const { return full_; }
    // Block l has every value (all its pairs are done): the exact sums of
    // blocks 0..l.  Reads tables.split.
    void blockdone(const SplitTables& tables, int l);
    // full() only.  Pairs (l, 0..i) and every pair of the blocks before l
    // are done (i = -1: none of block l): false when no way to finish the
    // row gives allowed weights and possible zero columns.
    bool check(const SplitTables& tables, int l, int i);
    // The row is complete (every pair of every block done; the last block
    // is l): true exactly when every codeword of the candidate that
    // involves the new row has an allowed weight and its number of zero
    // columns is possible.
    bool leaf(const SplitTables& tables, int l);
    // full(), a parent of dimension 1, and pairs (0, 0..i-1) done: true
    // when the share of the zero class in pair (0, i) decides a codeword
    // alone, and nextshare then gives the largest share <= `share` that
    // does not fail at once (-1: none).  Shares in between would be cut
    // when the pair is done, so the row enumeration passes over them.
    bool shares() const { return full_ && D_ == 2 && twoclasses_; }
    int nextshare(const SplitTables& tables, int i, int share) const;
    // n shares were passed over: n branches cut, for the tally too.
    void passed(int n) {
        for (int t = 0; t < n; t++) count(true);
        cuts += (uint64_t)n;
    }
    // FirstFilter, for a parent of dimension 1 (z zero and x0 non-zero free
    // columns) and its partners of weight x + 1 read from the first level:
    // the part sizes a for which some allowed weight lies between the
    // bounds of the codewords u . row(1) + row(2) that are zero where the
    // new row takes a value of that part.  It is the partner check made with
    // the bounds of Y that hold for every partner of weight x; a
    // distribution with a part outside fails the partner check.
    bool parts(int x, uint8_t* parts) const override;

    uint64_t partners = 0, partnersskipped = 0;  // partners checked, and skipped
    uint64_t checks = 0, cuts = 0;               // branch checks, and cuts
    uint64_t leaves = 0, leavescut = 0;          // complete rows judged, and dropped

   private:
    struct span {
        int32_t lo, hi;
    };
    // The tally of one dimension.
    struct tally {
        uint32_t tries = 0, hits = 0;  // checks of the current window, and cuts among them
        uint32_t sample = 0;           // partners since the last sampled one
        bool use = true;
    };
    void blocktables(const SplitTables& tables, int l, int i);
    void exacttables(const SplitTables& tables, int l);
    span classrange(const SplitTables& tables, int l, int i, int b, int z) const;
    span zerorange(const SplitTables& tables, int l, int i) const;
    bool family(int f, int32_t& ylo, int32_t& yhi, const int32_t* rlo, const int32_t* rhi) const;
    void count(bool cut);

    const LevelBounds& lb_;
    bool on_ = false, full_ = false;
    int q_ = 0, D_ = 0, L_ = 0, F_ = 0, nfree_ = 0, propbound_ = 0;
    int zl_ = -1;  // the block of the columns zero in rows 1..D-2 with a class b = 0, or -1
    bool twoclasses_ = false;  // D = 2: the zero class and class 1 are the only ones
    span rooty_{0, 0};         // the bounds of Y(0) the partner check left
    tally tally_[MAXDIM];
    int32_t m_[MAXBLK][MAXVAL];  // class sizes of the parent
    int32_t T_[MAXBLK];          // block sizes
    int32_t values_[MAXBLK];     // the values s(u) takes on the block: 1 (only 0) or q
    uint8_t tz_[MAXVAL][MAXVAL][MAXVAL];  // tz_[s][lambda][b] = -(s + lambda b)
    uint8_t neg_[MAXVAL];
    std::vector<uint8_t> sv_;     // sv_[l * F + f]: s(u_f) on block l
    std::vector<int32_t> unitw_;  // unitw_[f]: wt(u_f)
    std::vector<int32_t> A_;      // A(u_f), per partner
    // Per block l = 0..L, family f, j = 0 (Y) or lambda = 1..q-1 (zeros of
    // the classes b != 0): index (l * F + f) * q + j.
    std::vector<int32_t> pre_, suflo_, sufhi_;
    // The current block's contributions by the value s: [s * q + j].
    int32_t tlo_[MAXVAL * MAXVAL], thi_[MAXVAL * MAXVAL];
};
