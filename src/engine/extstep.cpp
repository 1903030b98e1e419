// The extension step (see extstep.h).
//
// The new row is never enumerated position by position: for every pair
// (block l, value i) the partner says how many columns of block l take value
// i, and the enumerator only chooses how that amount is split over the
// parent's classes (l, b) of the block.  Columns of one class are
// interchangeable, so within a class the new values are written in
// non-decreasing order; the split counts are all a level record needs.
#include "engine/extstep.h"

#if defined(__x86_64__) || defined(__i386__)
#include <x86intrin.h>
#endif

#include <algorithm>
#include <chrono>

#include "engine/selfcheck.h"
#include "field/field.h"
#include "fileio/checksum.h"

ExtensionStep::ExtensionStep(const RunParams& par, const LevelBounds& bounds, SearchEngines& en, SearchCounts& rc,
                             RunFault& fault, StepSink& sink)
    : tables(par.nfree() + 1, par.nfree()),
      tests(par, bounds, en.dist),
      cuts(bounds),
      lattice(bounds),
      par_(par),
      bounds_(bounds),
      code_(en.code),
      rc_(rc),
      fault_(fault),
      dist_(en.dist),
      inv_(en.inv),
      lab_(en.lab),
      store_(en.store),
      sizes_(en.sizes),
      sink_(sink),
      check_(nullptr) {}

// ---- row enumeration --------------------------------------------------------------

// remain, cap and capsum of pair (l, i); split[l][i][.] := 0.  The zero
// columns of the new code (class 0 of the zero block taking value 0) have
// a bound of their own.
void ExtensionStep::pairtables(int l, int i) {
    const int q = walk_.q, propbound = walk_.propbound;
    int sum = 0;
    for (int b = q - 1; b >= 0; b--) {
        tables.split[l][i][b] = 0;
        if (i > 0) tables.remain[l][i][b] = tables.remain[l][i - 1][b] - tables.split[l][i - 1][b];
        tables.cap[l][i][b] = std::min(tables.remain[l][i][b], propbound);
        if (b == 0 && i == 0 && l == zeroblk_) tables.cap[l][i][b] = std::min(tables.cap[l][i][b], walk_.zerocap);
        sum += tables.cap[l][i][b];
        if (b >= 1) tables.capsum[l][i][b - 1] = sum;
    }
}

// The pair after (l, i): false when (l, i) is the last one.
bool ExtensionStep::nextpair(int& l, int& i) const {
    if (i < walk_.q - 1) {
        i++;
        return true;
    }
    if (l < tables.lastblk) {
        l++;
        i = 0;
        return true;
    }
    return false;
}

// After a completed split of pair (l, i): the step test, then (unless it cut
// this branch) the next pair.
void ExtensionStep::afterpair(int i, int l, int nn) {
    steptest(i, l, tables.lastblk, nn, StepMode::split);
    if (tables.cut) {
        tables.cut = false;
        return;
    }
    int nl = l, ni = i;
    if (!nextpair(nl, ni)) return;
    if (nl != l && cuts.on()) cuts.blockdone(tables, l);
    rowenum(0, 0, ni, nl, nn);
}

void ExtensionStep::newparent(int D, int nblk) {
    const int q = code_.q;
    zeroblk_ = -1;
    for (int l = 0, pos = 1; l < nblk && zeroblk_ < 0; l++) {
        int r = 1;
        while (r <= D - 2 && code_.m[r][pos] == 0) r++;
        if (r > D - 2) zeroblk_ = l;
        for (int b = 0; b < q; b++) pos += tables.remain[l][0][b];
    }
    cuts.parent(code_, tables, nblk, D, q, par_.nfree());
    // The lattice search is built for the parent when a partner first asks
    // for it (codes of dimension 2 and brute generation never do).
    parentblocks_ = nblk;
    const bool nolattice = par_.brute || bounds_.rows == RowSearch::enumeration || D < 3 || !bounds_.derived;
    latticestate_ = nolattice ? Lattice::unused : Lattice::unbuilt;
    keyson_ = q > 2 && zeroblk_ >= 0 && tables.remain[zeroblk_][0][0] > 0 && bounds_.derived && !par_.brute;
    keys_.clear();
    keyindex_.clear();
}

// ---- equivalent siblings ------------------------------------------------------------
// The parent's zero columns (zero in rows 1..D-1) that take a non-zero
// value in the new row stand for one point whatever that value is: scaling
// such a column changes no other entry.  So two candidates of one parent
// whose split counts differ only in how those columns share the non-zero
// values are equivalent, through a map that fixes the added coordinate: the
// later one is seen before (the parent test and the store would say so) and
// needs neither tests, invariants nor a labelling; its record is written as
// one seen before.  The key of a candidate is its split counts, class by
// class, with only the count of value 0 for the zero class.

// True when a candidate with the key of the one in tables.split passed its tests
// earlier for this parent.  Leaves that key in key_.
bool ExtensionStep::siblingseen() {
    if (!keyson_) return false;
    const int q = walk_.q;
    key_.clear();
    for (int l = 0; l <= tables.lastblk; l++)
        for (int b = 0; b < q; b++) {
            if (tables.remain[l][0][b] == 0) continue;
            if (l == zeroblk_ && b == 0) {  // the other values' count follows from the class size
                key_.push_back((uint16_t)tables.split[l][0][0]);
                continue;
            }
            for (int i = 0; i < q; i++) key_.push_back((uint16_t)tables.split[l][i][b]);
        }
    Checksum h;
    h.add(reinterpret_cast<const char*>(key_.data()), 2 * key_.size());
    keyhash_ = h.value();
    return keyindex_.find(keyhash_, [this](uint32_t offset) {
        return std::equal(key_.begin(), key_.end(), keys_.begin() + (std::ptrdiff_t)offset);
    });
}

// The candidate whose key siblingseen left passed its tests: its key goes in.
void ExtensionStep::siblingpassed() {
    if (!keyson_ || keys_.size() > UINT32_MAX) return;
    keyindex_.insert(keyhash_, (uint32_t)keys_.size());
    keys_.insert(keys_.end(), key_.begin(), key_.end());
}

// ---- the choice of the row search -------------------------------------------------
// Both ways give the same rows in the same order, so the choice is one of
// cost only, made per dimension from the time each takes per partner: the
// cheaper one is used, and the other for one partner in 64 times the ratio
// of their costs (so the trials cost at most a 64th of the run), to
// notice a change (the spacing follows every partner's time).  Every 64
// partners of the one in use, once the other has had 8 trials, the choice
// is made again, and the times so far count half.

bool ExtensionStep::latticeturn() {
    if (latticestate_ == Lattice::unused) return false;
    bool want = bounds_.rows == RowSearch::lattice;
    if (bounds_.rows == RowSearch::chosen) {
        pathtally& t = paths_[walk_.D];
        const bool trial = ++t.turn >= t.every;
        if (trial) t.turn = 0;
        want = t.lattice != trial;
    }
    if (want && latticestate_ == Lattice::unbuilt)
        latticestate_ = lattice.parent(code_, tables, parentblocks_, walk_.D, walk_.q, par_.nfree())
                            ? Lattice::built
                            : Lattice::unused;
    return want && latticestate_ == Lattice::built;
}

// A clock for the costs of the two searches, read twice per partner: only
// ratios of its readings are used, so the processor's time-stamp counter
// serves where there is one (far cheaper to read than the system clock).
static uint64_t costclock() {
#if defined(__x86_64__) || defined(__i386__)
    return __rdtsc();
#else
    return (uint64_t)std::chrono::steady_clock::now().time_since_epoch().count();
#endif
}

void ExtensionStep::timed(bool lattice, uint64_t spent) {
    pathtally& t = paths_[walk_.D];
    t.time[lattice] += (double)spent;
    t.count[lattice]++;
    const int used = t.lattice, other = !t.lattice;
    if (t.count[0] == 0 || t.count[1] == 0) return;
    const double cost[2] = {t.time[0] / t.count[0], t.time[1] / t.count[1]};
    if (t.count[used] >= 64 && t.count[other] >= 8) {
        t.lattice = cost[1] < cost[0];
        for (int i = 0; i < 2; i++) t.time[i] /= 2, t.count[i] = (t.count[i] + 1) / 2;
    }
    const double ratio = cost[!t.lattice] / std::max(cost[t.lattice], 1.0);
    t.every = (uint32_t)std::clamp(64.0 * ratio, 64.0, 1048576.0);
}

void ExtensionStep::extend(const PartnerWalk& w) {
    walk_ = w;
    // The lattice's cost includes building it for the parent.
    const bool chosen = latticestate_ != Lattice::unused && bounds_.rows == RowSearch::chosen;
    const uint64_t begin = chosen ? costclock() : 0;
    const bool uselattice = latticeturn();
    if (uselattice) {
        lattice.rows(tables, w.propbound, w.zerocap, [this] { latticerow(); },
                     [this] {
                         if ((++ticks_ & 4095) == 0) {
                             sink_.progress(walk_.D);
                             fault_.poll();
                         }
                         return fault_.stopped();
                     });
    } else if (!cuts.on() || cuts.partner(tables, w.propbound)) {
        rowenum(0, 0, 0, 0, 0);
    }
    if (chosen) timed(uselattice, costclock() - begin);
    if (check_ && !fault_.stopped()) check_->afterpartner(tables, w.q);
}

// One class b of pair (l, i) takes its share of `amount`, largest first; the
// classes after it share the rest.  nn counts the positions assigned.
void ExtensionStep::rowenum(int amount, int b, int i, int l, int nn) {
    if (fault_.stopped()) return;
    const int q = walk_.q;
    if (b == 0) {
        pairtables(l, i);
        amount = tables.partner[l][i];
        while (amount == 0) {
            const int pl = l;
            if (!nextpair(l, i)) {
                steptest(i, l, tables.lastblk, nn, StepMode::split);
                tables.cut = false;
                return;
            }
            if (l != pl && cuts.on()) cuts.blockdone(tables, pl);
            pairtables(l, i);
            amount = tables.partner[l][i];
        }
    }
    int32_t& share = tables.split[l][i][b];
    share = std::min(amount, tables.cap[l][i][b]);
    int rest = amount - share;
    nn += share;
    // Shares the weight bounds rule out at once are passed over (RowCuts).
    const bool jump = b == 0 && cuts.on() && cuts.shares();
    auto skip = [&] {
        const int to = cuts.nextshare(tables, i, share);
        cuts.passed(share - to);
        rest += share - to, nn -= share - to, share = to;
    };
    if (jump) skip();
    for (;;) {
        if (share < 0) break;
        if (rest == 0) {
            afterpair(i, l, nn);
        } else {
            if (rest > tables.capsum[l][i][b]) break;
            if (b < q - 2) {
                rowenum(rest, b + 1, i, l, nn);
            } else {  // the last class takes the rest
                TALVEN_ASSERT("extstep", rest <= tables.cap[l][i][q - 1], "the last class can take the rest");
                tables.split[l][i][q - 1] = rest;
                afterpair(i, l, nn + rest);
                tables.split[l][i][q - 1] = 0;
            }
        }
        if (share < 1 || fault_.stopped()) break;
        share--;
        rest++;
        nn--;
        if (jump) skip();
        if (rest > tables.capsum[l][i][b]) break;
    }
    share = 0;
}

// A row of the lattice search is in tables.split: its codewords have allowed
// weights and its zero columns are possible.
void ExtensionStep::latticerow() {
    if (fault_.poll()) return;
    sink_.progress(walk_.D);
    weighed_ = true;
    const int assigned = buildnewrow(par_.nfree());
    TALVEN_ASSERT("extstep", assigned == par_.nfree(), "the new row covers every free column");
    placerow(walk_.D);
    if (check_) check_->weights(true, tests.test_dist(code_));
    decide(tables.lastblk, StepMode::split);
}

// ---- the step test ------------------------------------------------------------------

// The new row from the split counts: class by class, value i written into
// split[l][i][b] positions.  Returns the number of positions assigned.
int ExtensionStep::buildnewrow(int nfree) {
    const int q = walk_.q;
    for (int p = 0; p <= nfree; p++) tables.newrow[p] = UNASSIGNED;
    int tt = 0, tn = 0, assigned = 0;
    for (int l = 0; l <= tables.lastblk; l++)
        for (int b = 0; b < q; b++) {
            const int m = tables.remain[l][0][b];
            if (m <= 0) continue;
            tn += m;
            const int start = tt;
            for (int i = 0; i < q; i++)
                for (int s = 0; s < tables.split[l][i][b]; s++, assigned++) tables.newrow[++tt] = i;
            tt = start + m;
        }
    TALVEN_ASSERT("extstep", tt == tn, "tt==tn");
    return assigned;
}

// Brute generation: a branch whose leading zero class is too small is cut.
bool ExtensionStep::brutecut(int D) {
    if (!par_.brute) return false;
    int z = tables.split[0][0][0];
    const int s = par_.brutedim;
    if (s > D) z -= s - D;
    if (D > z) {
        tables.cut = true;
        return true;
    }
    return false;
}

// Writes the candidate row into row D of the working code.
void ExtensionStep::placerow(int D) {
    const int nfree = par_.nfree();
    code_.level = D;
    code_.q = walk_.q;
    code_.len = D + nfree;
    for (int p = 0; p <= nfree; p++) {
        code_.m[0][p] = 0;
        code_.m[D][p] = tables.newrow[p];
    }
}

// The candidate tests; the weights are left out when `cuts` has judged
// them already.
bool ExtensionStep::passestests() {
    code_.dreq = code_.d;
    if (par_.selforth && !tests.test_selforth(code_)) return false;
    if (!tests.test_dual(code_)) return false;
    return weighed_ || tests.test_dist(code_);
}

// Both invariant passes on the candidate in the working code.
void ExtensionStep::invariants() {
    inv_.inv_firstpass(code_, par_.nfree());
    const int L = code_.level, nd = inv_.distinct().len;
    ByteMatrix& cand = points_;
    cand.ensure(L, nd, code_.q);
    for (int r = 1; r <= L; r++)
        for (int c = 1; c <= nd; c++) cand.a[r][c] = (uint8_t)inv_.distinct().m[r][c];
    cand.used = L;
    cand.dreq = code_.d;
    inv_.inv_savefirst();
    inv_.inv_secondpass(cand, pointbasis_, pointbasisb_, dist_);
}

// Canonical augmentation: the added coordinate must lie in the orbit of the
// last canonical point of the smallest value; then the form must be new
// among the siblings.
CodeStatus ExtensionStep::newornot() {
    const InvariantTable& invt = inv_.table();
    const int sp = invt.specialpt, N = invt.N;
    if (invt.value[sp] != invt.mainval) return CodeStatus::seen;
    // The last canonical point p of value mainval lies, with its orbit, in
    // the last cell of its colour of the refined root: a candidate whose
    // added point (or the one before it, q > 2) is not in that cell fails
    // the test below without the search.
    if (!lab_.label_root_watch(inv_.incidence(), invt.cls, invt.cls[sp], sp, walk_.q > 2 ? sp - 1 : 0))
        return CodeStatus::seen;
    lab_.label_rest();
    if (check_) check_->labelling(lab_, inv_.incidence(), invt.cls);
    const int32_t* orbit = lab_.column_orbits();
    const int32_t* cols = lab_.canonical_cols();
    int p = 0;
    for (int t = N; t >= 1 && p == 0; t--)
        if (invt.value[cols[t]] == invt.mainval) p = cols[t];
    bool flag = orbit[p] == orbit[sp];
    if (walk_.q > 2) flag = flag || orbit[p] == orbit[sp - 1];
    if (!flag) return CodeStatus::seen;
    return store_.store_lookup(inv_.incidence(), inv_.incidence().rows, N, lab_.canonical_rows(), cols, invt.value,
                               lab_.certificate());
}

// Codes of dimension 2 when k = 2 (the last level, whose records are no
// partners).  The M columns zero in row 1 that take a non-zero value v in
// row 2 all stand for one point, whatever v is: scaling such a column by
// v^-1 makes it 1 and changes no other entry.  So the candidate with all M
// of them on one value c, and then the whole row scaled so that (as a
// partner) its counts of the non-zero values come first in the decreasing
// order of the codes of dimension 1, is equivalent to this one; that
// partner is the first of its scalings (so it is read), takes the M columns
// within the class bound when M is within it, and comes before this
// candidate's own partner unless it is that one.  Then this candidate cannot
// be the first of its class, and is left out before its tests.  Not in the
// plain search.
bool ExtensionStep::redundant() const {
    if (walk_.D != 2 || par_.k != 2 || !bounds_.derived || par_.brute) return false;
    const int q = walk_.q;
    int M = 0;
    for (int i = 1; i < q; i++) M += tables.split[0][i][0];
    if (M == 0 || M > walk_.propbound) return false;
    const Field& f = gf(q);
    // The largest partner: value c^-1 j takes the place of j, the M columns
    // lie on the value that lands on 1.
    int32_t best[MAXVAL] = {}, b[MAXVAL];
    for (int c = 1; c < q; c++) {
        const int inv = f.invtab[c];
        for (int j = 1; j < q; j++) {
            const int v = f.multab[inv][j];
            b[j] = tables.split[0][v][1] + (j == 1 ? M : 0);
        }
        if (std::lexicographical_compare(best + 1, best + q, b + 1, b + q)) std::copy(b + 1, b + q, best + 1);
    }
    for (int j = 1; j < q; j++)
        if (best[j] != tables.partner[0][j]) return true;
    return false;
}

// The step test.  split (from the enumerator): only the last pair
// (l = lastl, i = q - 1) builds the new row from tables.split and goes on.
// simple: the working code's row D already holds the row; lastl is the
// number of blocks.  Tests the candidate, gives it invariants and a
// canonical form, decides whether it is new, hands a new code to the sink,
// and writes its level record.  May set tables.cut (brute generation).
void ExtensionStep::steptest(int i, int l, int lastl, int nn, StepMode mode) {
    const int D = walk_.D, q = walk_.q;
    if (fault_.poll() || brutecut(D)) return;
    sink_.progress(D);
    weighed_ = false;
    if (mode == StepMode::split) {
        const bool last = l == lastl && i == q - 1;
        if (cuts.on()) {
            // Branches are checked after every pair, for q = 2 after value 0
            // only (value 1 then takes what is left of each class).
            bool cut;
            if (last) {
                weighed_ = cuts.leaf(tables, l);
                cut = !weighed_ && !check_;  // the self-check asks the candidate test too
            } else {
                cut = cuts.full() && (q > 2 || i == 0) && !cuts.check(tables, l, i);
            }
            if (cut) {
                tables.cut = true;
                return;
            }
        }
        if (!last) return;
        const int assigned = buildnewrow(par_.nfree());
        TALVEN_ASSERT("extstep", assigned == nn, "the new row has the positions the split counted");
        placerow(D);
        // A partner record covers every free column, so the row is complete.
        TALVEN_ASSERT("extstep", assigned == par_.nfree(), "the new row covers every free column");
        if (cuts.on() && check_) {
            check_->weights(weighed_, tests.test_dist(code_));
            if (!weighed_) return;
        }
    }
    decide(lastl, mode);
}

// The candidate in the working code (its weights judged when weighed_):
// tests, invariants and canonical form unless it is seen to be redundant or
// an equivalent sibling; a new code goes to the sink; its level record is
// written.
void ExtensionStep::decide(int lastl, StepMode mode) {
    const int D = walk_.D, q = walk_.q;
    if (mode == StepMode::split && redundant()) return;
    if (mode == StepMode::split && siblingseen()) {
        writelevelrecord(*walk_.out, CodeStatus::seen, lastl, q, mode, tables, rc_.level[D]);  // a fault is reported there
        return;
    }
    if (!passestests()) return;
    if (mode == StepMode::split) siblingpassed();
    invariants();
    const CodeStatus status = newornot();
    if (status == CodeStatus::fresh) {
        if (check_) check_->newcode(code_, inv_, lab_, points_);
        sink_.newcode(code_, sizes_.classsize(code_, inv_, lab_));
    }
    writelevelrecord(*walk_.out, status, lastl, q, mode, tables, rc_.level[D]);  // a fault is reported there
}

void ExtensionStep::extendsimple(const PartnerWalk& w, int nblk) {
    walk_ = w;
    steptest(w.q - 1, nblk, nblk, 1, StepMode::simple);
    tables.cut = false;  // a cut of the whole row leaves nothing to abandon
}
