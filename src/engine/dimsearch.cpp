// The dimension search (see dimsearch.h).
#include "engine/dimsearch.h"

#include <climits>

#include "containers/zassert.h"

#include "field/field.h"

DimensionSearch::DimensionSearch(const RunParams& par, const LevelBounds& bounds, RunFault& fault,
                                 MemoryBudget& budget, SearchCounts& rc, SearchSink& sink, int check)
    : par_(par),
      bounds_(bounds),
      fault_(fault),
      budget_(budget),
      rc_(rc),
      sink_(sink),
      en_(par_, fault, &budget),
      step_(par_, bounds_, en_, rc_, fault_, sink_) {
    en_.dist.usefield(par_.q, gf(par_.q).small());
    en_.inv.setlinear(par_.linear4);
    // The plain search (no derived bounds) keeps every partner.
    for (LevelStore& level : levels_) level.lookforscaled(bounds_.derived);
    if (check > 0) {
        check_ = std::make_unique<SelfCheck>(check, par_.q, par_.linear4);
        step_.setcheck(check_.get());
    }
}

void DimensionSearch::spillto(const std::string& folder) {
    en_.store.setdir(folder);
    for (int L = 1; L <= MAXDIM; L++) levels_[L].setup(&budget_, folder + "level." + std::to_string(L), &fault_);
}

void DimensionSearch::search(int splitlevel) {
    split_ = splitlevel;
    units_ = 0;
    tell_ = true;
    startcode();
    firstlevel();
    if (!fault_.stopped()) dimsearch(1);
    en_.store.store_close();
}

// Clears the step's tables and sets the parameters of the working code.
void DimensionSearch::startcode() {
    step_.reset();
    en_.code.n = par_.n;
    en_.code.k = par_.k;
    en_.code.d = par_.d;
    en_.code.q = par_.q;
    en_.code.dual = par_.dualdist;
}

// ---- families of the split level ---------------------------------------------------

// Hands the family now in level L (its records and the rows above it) to the sink.
void DimensionSearch::tellfamily(int L) {
    Family f;
    f.level = L;
    f.firstunit = units_;
    const int m = par_.nfree();
    for (int r = 1; r < L; r++)
        for (int p = 1; p <= m; p++) f.rows.push_back((uint8_t)en_.code.m[r][p]);
    LevelStore::Cursor at;
    LevelRecord r;
    uint16_t counts[MAXBLK * MAXVAL];
    int got;
    while ((got = levels_[L].next(at, r, counts)) == 1) f.add(r.q, r.parent, r.runno, r.nblk, counts);
    if (got == 0) sink_.familyready(f);
}

void DimensionSearch::searchfamily(const Family& f) {
    TALVEN_ASSERT("search", 2 <= f.level && f.level < par_.k, "a family of a level from 2 to k - 1");
    split_ = f.level;
    units_ = f.firstunit;
    tell_ = false;
    startcode();
    blankcode();
    const int m = par_.nfree();
    TALVEN_ASSERT("search", f.rows.size() == (size_t)(f.level - 1) * (size_t)m,
                  "a family's rows fill the free positions");
    for (int r = 1; r < f.level; r++)
        for (int p = 1; p <= m; p++) en_.code.m[r][p] = f.rows[(size_t)(r - 1) * (size_t)m + (size_t)(p - 1)];
    en_.code.len = m + f.level - 1;
    en_.code.level = f.level - 1;
    LevelStore& level = levels_[f.level];
    level.clear();
    for (size_t at = 0; at < f.records.size() && !fault_.stopped();) {
        const uint16_t* h = f.records.data() + at;
        TALVEN_ASSERT("search", at + Family::length(h) <= f.records.size(), "a family's records are whole");
        if (!level.append(h[0], h[1], Family::runno(h), h[4], h + 5)) break;
        at += Family::length(h);
        rc_.level[f.level].total++;
        if (h[1] == 1) rc_.level[f.level].parents++;
    }
    if (!fault_.stopped()) dimsearch(f.level);
    en_.store.store_close();
}

// ---- codes of dimension 1 ------------------------------------------------------

// Runs of dimension 1: the parent candidates are the codes themselves (one
// per allowed weight; every distribution over the non-zero values is
// equivalent to the all-ones one), so each is printed as a new code.
void DimensionSearch::printfirst(int z) {
    const int m = par_.nfree();
    en_.code.level = 1;
    en_.code.len = m + 1;
    for (int p = 1; p <= m; p++) en_.code.m[1][p] = p > z ? 1 : 0;
    en_.code.m[1][m + 1] = 1;
    sink_.newcode(en_.code, en_.sizes.classsize(en_.code, en_.inv, en_.lab));
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
void DimensionSearch::firstlevel() {
    blankcode();
    if (!en_.store.store_reset()) return;
    levels_[1].setfirst(par_, bounds_);
    const int m = par_.nfree();
    for (int x = par_.d - 1; x <= m && !fault_.poll(); x++) {
        if (!firstweight(par_, bounds_, x + 1)) continue;
        rc_.level[1].parents++;
        int64_t total = (int64_t)rc_.level[1].total + distributions(x, par_.q);
        rc_.level[1].total = total > INT32_MAX ? INT32_MAX : (int32_t)total;
        // The dual of a code of dimension 1 holds a vector of weight 1 for
        // each zero coordinate, and of weight 2 on any two coordinates (of
        // weight n + 1 = 2 by convention when n = 1): its minimum distance
        // is 1 with a zero coordinate and 2 without.
        const int dualdist = m - x > 0 ? 1 : 2;
        if (par_.k == 1 && dualdist >= par_.dualdist) printfirst(m - x);
    }
    en_.code.len = m + 1;
}

// Clears the level counters and the working code but for the unit columns.
void DimensionSearch::blankcode() {
    for (int i = 0; i < MAXDIM; i++) rc_.level[i].pending = rc_.level[i].parents = 0;
    for (int i = 0; i <= par_.k; i++)
        for (int p = 0; p <= par_.n; p++) en_.code.m[i][p] = 0;
    const int m = par_.nfree();
    for (int i = 1; i <= par_.k; i++) en_.code.m[i][m + i] = 1;
}

// ---- the dimension search -------------------------------------------------------

// Writes, from position 1 of row `row` of the working code, value v into as
// many consecutive positions as count(l, v) says, block by block.  Returns
// the number of positions filled.
template <class F>
int DimensionSearch::fillrow(int row, F count, int nblk, int q) {
    int p = 0;
    for (int l = 0; l < nblk; l++)
        for (int v = 0; v < q; v++)
            for (int t = 0; t < count(l, v) && p + 1 < MAXLEN; t++) en_.code.m[row][++p] = v;
    return p;
}

// All partners of level L against the parent now in row L, children into
// level L + 1.
void DimensionSearch::partners(int L) {
    SplitTables& tables = step_.tables;
    LevelStore::Cursor at;
    if (L == 1 && step_.cuts.on()) at.filter = &step_.cuts;  // partners that cannot give a row are not read
    at.scaled = bounds_.derived;  // one partner of each set whose last rows differ by a scalar (records.h)
    LevelRecord r;
    int got;
    while (!fault_.poll() && (got = readpartnerrecord(levels_[L], at, r, tables)) == 1) {
        rc_.level[L].pending--;
        tables.lastblk = r.nblk - 1;
        const PartnerWalk walk{bounds_.propcap[L + 1], bounds_.zerocap[L + 1], r.q, L + 1, &levels_[L + 1]};
        if (r.simple == 0) {
            step_.extend(walk);
        } else {
            int P = fillrow(L + 1, [&tables](int l, int v) { return tables.partner[l][v]; }, r.nblk, r.q);
            en_.code.len = P + L + 1;
            en_.code.level = L + 1;
            step_.extendsimple(walk, r.nblk);
        }
    }
}

// One parent: its children over all partners into level L + 1, then the
// descent.
void DimensionSearch::oneparent(int L, const LevelRecord& r) {
    SplitTables& tables = step_.tables;
    rc_.level[L].parents--;
    rc_.level[L + 1].pending = 0;
    rc_.level[L + 1].total = 0;
    rc_.level[L].pending = rc_.level[L].total;
    if (!en_.store.store_reset()) return;
    tables.recno = 0;
    int P = fillrow(L, [&tables](int l, int v) { return tables.remain[l][0][v]; }, r.nblk, r.q);
    en_.code.level = L;
    en_.code.len = P + L;
    step_.newparent(L + 1, r.nblk);
    levels_[L + 1].clear();
    partners(L);
    if (fault_.stopped()) return;
    dimsearch(L + 1);
}

// Extends every parent (flag-1 record) of level L with every partner of
// level L into level L + 1, then descends to level L + 1 before the next
// parent.  Returns at once at L = k, and early when the run stops.
void DimensionSearch::dimsearch(int L) {
    if (L == par_.k || fault_.stopped()) return;
    if (L == split_ && L >= 2 && tell_) tellfamily(L);
    LevelStore::Cursor at;
    at.parents = true;
    LevelRecord r;
    while (!fault_.poll() && readparentrecord(levels_[L], at, r, step_.tables) == 1) {
        if (!r.parent) continue;
        if (L == split_) {
            const uint64_t u = units_++;
            const bool make = sink_.unitbegins(u);
            if (fault_.stopped()) return;
            if (make) oneparent(L, r);
            if (fault_.stopped()) return;
            sink_.unitends(u, make);
        } else {
            oneparent(L, r);
        }
    }
}
