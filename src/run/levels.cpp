// Codes of dimension 1 and the dimension search.
//
// A code of dimension 1 is described by the distribution of its free part
// over the field elements: z zeros and x non-zero entries spread over the
// q - 1 non-zero values.  The all-ones distribution is the parent candidate
// (flag 1); the other distributions serve as partners only (flag 0).
//
// The search is depth first: for each parent of level L all partners of
// level L are tried, their children go to sol.L+1 (copied to real_sol.L+1),
// and the search descends before the next parent, so the level files of a
// level hold the children of one parent at a time.  The level files live in
// the run's private working folder.
#include <vector>

#include "fileio/checked.h"
#include "run/classifier.h"

std::string Classifier::solpath(int L) const { return workdir_ + "sol." + std::to_string(L); }
std::string Classifier::realsolpath(int L) const { return workdir_ + "real_sol." + std::to_string(L); }

// ---- codes of dimension 1 ------------------------------------------------------

// Every distribution (A[1], .., A[q-1]) of x over the non-zero values other
// than (x, 0, .., 0), in decreasing lexicographic order, as flag-0 records.
void Classifier::compenum(FILE* fp, int q, int x, int z) {
    std::vector<int> a(q, 0);
    // Recursively: A[pos] runs from the rest down to 0; the last takes the rest.
    auto emit = [&]() {
        firstno_++;
        rc_.levelcnt[1].total++;
        fprintf(fp, "\n? %d 1  %d  0\n", q, firstno_);
        fprintf(fp, " %d ", z);
        for (int v = 1; v <= q - 1; v++) fprintf(fp, "%d ", a[v]);
    };
    auto rec = [&](auto&& self, int pos, int rest) -> void {
        if (pos == q - 1) {
            a[pos] = rest;
            if (a[1] != x) emit();
            return;
        }
        for (int v = rest; v >= 0; v--) {
            a[pos] = v;
            self(self, pos + 1, rest - v);
        }
    };
    rec(rec, 1, x);
}

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

// Empties the canonical-form store and writes every code of dimension 1 into
// sol.1 and its copy real_sol.1.  Reads the parameters; writes the working
// code (zero, then the unit columns), the level counters and the store.
void Classifier::firstlevel() {
    const int q = par_.q;
    firstno_ = 0;
    for (int i = 0; i < MAXDIM; i++) rc_.levelcnt[i].pending = rc_.levelcnt[i].parents = 0;
    for (int i = 0; i <= par_.k; i++)
        for (int p = 0; p <= par_.n; p++) code_.m[i][p] = 0;
    if (!store_.store_reset()) return;
    std::string sol = solpath(1);
    FILE* fp = chkopen(sol, "w", fault_);
    if (!fp) return;
    const int m = par_.nfree();
    for (int x = par_.d - 1; x <= m && !fault_.poll(); x++) {
        if (x + 1 >= MAXLEN || par_.wt[x + 1] != 1) continue;
        const int z = m - x;
        firstno_++;
        rc_.levelcnt[1].parents++;
        rc_.levelcnt[1].total++;
        fprintf(fp, " \n");
        fprintf(fp, "? %d 1  %d  1\n", q, firstno_);
        fprintf(fp, " %d %d ", z, x);
        for (int t = 0; t < q - 2; t++) fprintf(fp, "0 ");
        if (q > 2) compenum(fp, q, x, z);
        if (par_.k == 1) printfirst(z);
    }
    code_.cur_len = m + 1;
    for (int i = 1; i <= par_.k; i++) code_.m[i][m + i] = 1;
    if (!chkclose(fp, sol, fault_)) return;
    copyfile(sol, realsolpath(1), fault_);
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

// All partners of sol.L against the parent now in row L, children into out.
void Classifier::partners(int L, FILE* out) {
    const std::string sol = solpath(L);
    FILE* in = chkopen(sol, "r", fault_);
    if (!in) return;
    mayatab& mt = step_.mt;
    levrec r;
    int got;
    while (!fault_.poll() && (got = levrec_readpartner(in, r, mt)) == 1) {
        rc_.levelcnt[L].pending--;
        mt.lastblk = r.nblk - 1;
        const PartnerWalk walk{par_.propcol[L + 1], r.q, L + 1, out};
        if (r.simple == 0) {
            step_.extend(walk);
        } else {
            int P = fillrow(L + 1, [&mt](int l, int v) { return mt.partner[l][v]; }, r.nblk, r.q);
            code_.cur_len = P + L + 1;
            code_.cur_level = L + 1;
            step_.extendsimple(walk, r.nblk);
        }
    }
    if (got < 0 && !fault_.stopped()) fault_.file("read", sol);
    chkclose(in, sol, fault_);
}

// One parent: its children over all partners into sol.L+1, then the descent.
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
    const std::string next = solpath(L + 1);
    step_.levpath = next;
    FILE* out = chkopen(next, "w", fault_);
    if (!out) return;
    partners(L, out);
    if (!chkclose(out, next, fault_) || fault_.stopped()) return;
    if (!copyfile(next, realsolpath(L + 1), fault_)) return;
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

// Extends every parent (flag-1 record) of real_sol.L with every partner of
// sol.L into sol.L+1, then descends to level L + 1 before the next parent.
// Returns at once at L = k, and early when the run stops.
void Classifier::dimsearch(int L) {
    if (L == par_.k || fault_.stopped()) return;
    const std::string real = realsolpath(L);
    FILE* in = chkopen(real, "r", fault_);
    if (!in) return;
    levrec r;
    int got;
    while (!fault_.poll() && (got = levrec_readparent(in, r, step_.mt)) == 1) {
        if (r.flag != 1) continue;
        if (shared_ && L == shared_->plan.split)
            unit(L, r);
        else
            oneparent(L, r);
    }
    if (got < 0 && !fault_.stopped()) fault_.file("read", real);
    chkclose(in, real, fault_);
}
