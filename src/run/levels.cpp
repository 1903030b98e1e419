// Codes of dimension 1 and the dimension search.
//
// A code of dimension 1 is described by the distribution of its free part
// over the field elements: z zeros and x non-zero entries spread over the
// q - 1 non-zero values.  The all-ones distribution is the parent candidate
// (flag 1); the other distributions serve as partners only (flag 0).
//
// The search is depth first: for each parent of level L all partners of
// level L are tried, their children go to level L + 1, and the search
// descends before the next parent, so a level holds the children of one
// parent at a time.  The levels are kept in memory (see records.h).
#include <vector>

#include <climits>

#include "run/classifier.h"

// ---- codes of dimension 1 ------------------------------------------------------

// Runs of dimension 1: the parent candidates are the codes themselves (one
// per allowed weight; every distribution over the non-zero values is
// equivalent to the all-ones one), so each is printed as a new code.
void Classifier::printfirst(int z) {
    const int m = par_.nfree();
    code_.cur_level = 1;
    code_.cur_len = m + 1;
    for (int p = 1; p <= m; p++) code_.m[1][p] = p > z ? 1 : 0;
    code_.m[1][m + 1] = 1;
    newcode(code_);
}

// The number of distributions of x over q - 1 values, saturated (for the
// counters of the progress line only).
static int32_t distributions(int x, int q) {
    uint64_t c = 1;
    for (int t = 1; t <= q - 2; t++) {
        c = c * (uint64_t)(x + t) / (uint64_t)t;
        if (c > INT32_MAX) return INT32_MAX;
    }
    return (int32_t)c;
}

// Empties the canonical-form store and makes level 1 the codes of dimension
// 1, listed on the fly (see LevelStore::setfirst).  Reads the parameters;
// writes the working code (zero, then the unit columns), the level counters
// and the store; prints the codes when k = 1.
void Classifier::firstlevel() {
    for (int i = 0; i < MAXDIM; i++) rc_.levelcnt[i].pending = rc_.levelcnt[i].parents = 0;
    for (int i = 0; i <= par_.k; i++)
        for (int p = 0; p <= par_.n; p++) code_.m[i][p] = 0;
    if (!store_.store_reset()) return;
    levels_[1].setfirst(par_, bounds_);
    const int m = par_.nfree();
    for (int x = par_.d - 1; x <= m && !fault_.poll(); x++) {
        if (!firstweight(par_, bounds_, x + 1)) continue;
        rc_.levelcnt[1].parents++;
        int64_t total = (int64_t)rc_.levelcnt[1].total + distributions(x, par_.q);
        rc_.levelcnt[1].total = total > INT32_MAX ? INT32_MAX : (int32_t)total;
        // The dual of a code of dimension 1 holds a vector of weight 1 for
        // each zero coordinate, and of weight 2 on any two coordinates (of
        // weight n + 1 = 2 by convention when n = 1): its minimum distance
        // is 1 with a zero coordinate and 2 without.
        const int dualdist = m - x > 0 ? 1 : 2;
        if (par_.k == 1 && dualdist >= par_.dualdist) printfirst(m - x);
    }
    code_.cur_len = m + 1;
    for (int i = 1; i <= par_.k; i++) code_.m[i][m + i] = 1;
}

// ---- the dimension search -------------------------------------------------------

// Writes, from position 1 of row `row` of the working code, value v into as
// many consecutive positions as count(l, v) says, block by block.  Returns
// the number of positions filled.
template <class F>
int Classifier::fillrow(int row, F count, int nblk, int q) {
    int p = 0;
    for (int l = 0; l < nblk; l++)
        for (int v = 0; v < q; v++)
            for (int t = 0; t < count(l, v) && p + 1 < MAXLEN; t++) code_.m[row][++p] = v;
    return p;
}

// All partners of level L against the parent now in row L, children into
// level L + 1.
void Classifier::partners(int L) {
    mayatab& mt = step_.mt;
    LevelStore::Cursor at;
    if (L == 1 && step_.cuts.on()) at.filter = &step_.cuts;  // partners that cannot give a row are not read
    levrec r;
    int got;
    while (!fault_.poll() && (got = levrec_readpartner(levels_[L], at, r, mt)) == 1) {
        rc_.levelcnt[L].pending--;
        mt.lastblk = r.nblk - 1;
        const PartnerWalk walk{bounds_.propcap[L + 1], bounds_.zerocap[L + 1], r.q, L + 1, &levels_[L + 1]};
        if (r.simple == 0) {
            step_.extend(walk);
        } else {
            int P = fillrow(L + 1, [&mt](int l, int v) { return mt.partner[l][v]; }, r.nblk, r.q);
            code_.cur_len = P + L + 1;
            code_.cur_level = L + 1;
            step_.extendsimple(walk, r.nblk);
        }
    }
}

// One parent: its children over all partners into level L + 1, then the
// descent.
void Classifier::oneparent(int L, const levrec& r) {
    mayatab& mt = step_.mt;
    rc_.levelcnt[L].parents--;
    rc_.levelcnt[L + 1].pending = 0;
    rc_.levelcnt[L + 1].total = 0;
    rc_.levelcnt[L].pending = rc_.levelcnt[L].total;
    if (!store_.store_reset()) return;
    mt.recno = 0;
    int P = fillrow(L, [&mt](int l, int v) { return mt.remain[l][0][v]; }, r.nblk, r.q);
    code_.cur_level = L;
    code_.cur_len = P + L;
    step_.newparent(L + 1, r.nblk);
    levels_[L + 1].clear();
    partners(L);
    if (fault_.stopped()) return;
    dimsearch(L + 1);
}

// ---- units of a split run ------------------------------------------------------

// The skeleton segment in hand is whole: to the part file with it (when this
// thread keeps it).  False after a fault.
bool Classifier::endskeleton() {
    return seg_.flush(*shared_, "S " + std::to_string(segment_), fault_);
}

// A parent of the split level is one unit: the skeleton segment before it
// ends; the unit is made when this thread claims it, and its codes go to the
// part file as a segment of their own; the next skeleton segment begins.
void Classifier::unit(int L, const levrec& r) {
    if (shared_->failed()) {
        fault_.stop("another thread of the part stopped");
        return;
    }
    if (!endskeleton()) return;
    const uint64_t u = units_++;
    segment_ = 2 * u + 1;
    if (shared_->claim(u)) {
        seg_.start(true);
        oneparent(L, r);
        if (fault_.stopped()) return;
        if (!seg_.flush(*shared_, "U " + std::to_string(segment_) + " " + std::to_string(u), fault_)) return;
        shared_->unitsdone++;
    }
    segment_ = 2 * u + 2;
    seg_.start(skeleton_ && shared_->skeletondue(segment_));
}

// Extends every parent (flag-1 record) of level L with every partner of
// level L into level L + 1, then descends to level L + 1 before the next
// parent.  Returns at once at L = k, and early when the run stops.
void Classifier::dimsearch(int L) {
    if (L == par_.k || fault_.stopped()) return;
    LevelStore::Cursor at;
    at.parents = true;
    levrec r;
    while (!fault_.poll() && levrec_readparent(levels_[L], at, r, step_.mt) == 1) {
        if (r.flag != 1) continue;
        if (shared_ && L == shared_->plan.split)
            unit(L, r);
        else
            oneparent(L, r);
    }
}
