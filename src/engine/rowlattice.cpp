// The rows of a partner as lattice points (see rowlattice.h).
//
// Every sum over codewords is built by one rule: for a set of codewords K,
// sum over K of Z(k) minus the unknowns counted as often as K meets them is
// 0.  What the class sizes and the partner's amounts fix of that count goes
// into the constant instead of the unknowns (addgroup); that is what makes
// the sums stronger than their parts.
#include "engine/rowlattice.h"

#include <algorithm>
#include <cstdlib>

#include "containers/zassert.h"
#include "field/field.h"

namespace {

constexpr int MAXUNKNOWNS = 1 << 14;  // unknowns and zeros of one parent, at most
constexpr int64_t MAXBUILD = 1 << 26;  // steps of building the equalities of one parent, at most

}  // namespace

// The family t * u_f: each digit of f times t.
int RowLattice::scalefamily(int f, int t) const {
    const Field& fd = gf(q_);
    int g = 0;
    for (int span = 1; f > 0; f /= q_, span *= q_) g += span * fd.multab[t][f % q_];
    return g;
}

// The equality whose terms were pushed since the last one ends, with its
// constant.
void RowLattice::close(int32_t rhs) {
    cstart_.push_back((int32_t)terms_.size());
    rhs_.push_back(rhs);
}

// The most frequent of n values (the smallest among equals).
static int32_t mode(const int32_t* v, int n, int stride) {
    int32_t best = v[0];
    int bestn = 0;
    for (int i = 0; i < n; i++) {
        int c = 0;
        for (int j = 0; j < n; j++) c += v[j * stride] == v[i * stride];
        if (c > bestn || (c == bestn && v[i * stride] < best)) best = v[i * stride], bestn = c;
    }
    return best;
}

// The sum over the codewords ks (indices of Z, distinct) as one equality,
// folded block by block: the unknowns of block l are met M(b, z) times; with
// M = r(b) + c(z) + R(b, z), r the most frequent count of each class and c
// that of each value after it, r(b) |class b| and c(z) p_l[z] go into the
// constant and only R stays.  Uses coef_ (the counts of the unknowns).
void RowLattice::addgroup(const std::vector<int>& ks) {
    const int classes = nx_ / q_, e = (int)rhs_.size();
    std::fill(coef_.begin(), coef_.end(), 0);
    for (int k : ks) {
        terms_.push_back({nx_ + k, 1});
        const uint8_t* z = &meet_[(size_t)k * classes];
        for (int c = 0; c < classes; c++) coef_[(size_t)(c * q_ + z[c])]++;
    }
    int32_t rhs = 0;
    int32_t* M = coef_.data();
    for (int l = 0; l < L_; l++) {
        const int c0 = blkfirst_[(size_t)l], nc = blkfirst_[(size_t)l + 1] - c0;
        int32_t* m = M + c0 * q_;
        for (int i = 0; i < nc; i++) {
            const int32_t r = mode(m + i * q_, q_, 1);
            for (int z = 0; z < q_; z++) m[i * q_ + z] -= r;
            rhs += r * clssize_[(size_t)(c0 + i)];
        }
        for (int z = 0; z < q_; z++) {
            const int32_t c = mode(m + z, nc, q_);
            for (int i = 0; i < nc; i++) m[i * q_ + z] -= c;
            if (c != 0) partnerterms_.push_back({e, l * q_ + z, c});
        }
        for (int i = 0; i < nc * q_; i++)
            if (m[i] != 0) terms_.push_back({c0 * q_ + i, -m[i]});
    }
    close(rhs);
}

// Classes, blocks, s(u_f) on each block from its column, the value each
// codeword is zero at on each class, and the base weights.
void RowLattice::layout(const WorkingCode& code, const SplitTables& tables) {
    const int q = q_;
    const Field& fd = gf(q);
    clsblk_.clear(), clsb_.clear(), clssize_.clear(), blkfirst_.clear();
    sv_.assign((size_t)L_ * F_, 0);
    zerovar_ = -1;
    for (int l = 0, pos = 1; l < L_; l++) {
        blkfirst_.push_back((int32_t)clsblk_.size());
        uint8_t* s = &sv_[(size_t)l * F_];
        bool zero = true;
        for (int r = 1, span = 1; r <= D_ - 2; r++, span *= q) {
            const int v = code.m[r][pos];
            zero = zero && v == 0;
            for (int f = span; f < span * q; f++) s[f] = (uint8_t)fd.addtab[s[f % span]][fd.multab[f / span][v]];
        }
        for (int b = 0; b < q; b++) {
            const int m = tables.remain[l][0][b];
            if (m == 0) continue;
            if (zero && b == 0) zerovar_ = (int)clsblk_.size() * q;
            clsblk_.push_back(l), clsb_.push_back(b), clssize_.push_back(m);
            pos += m;
        }
    }
    blkfirst_.push_back((int32_t)clsblk_.size());
    const int classes = (int)clsblk_.size();
    meet_.resize((size_t)nz_ * classes);
    zbase_.resize((size_t)nz_);
    for (int k = 0; k < nz_; k++) {
        const int f = k / (q - 1), lam = k % (q - 1) + 1;
        for (int c = 0; c < classes; c++) {
            const int sf = sv_[(size_t)clsblk_[(size_t)c] * F_ + f];
            meet_[(size_t)k * classes + c] = (uint8_t)fd.negtab[fd.addtab[sf][fd.multab[lam][clsb_[(size_t)c]]]];
        }
        int wt = 0;
        for (int g = f; g > 0; g /= q) wt += g % q != 0;
        zbase_[(size_t)k] = nfree_ + 2 + wt;
    }
}

// The equalities: class sizes, the partner, each codeword, each family,
// each lambda over lines of families and over all, each pencil, all
// codewords.
void RowLattice::equalities() {
    const int q = q_, classes = nx_ / q;
    terms_.clear(), cstart_.assign(1, 0), rhs_.clear(), partnerterms_.clear();
    coef_.assign((size_t)nx_, 0);
    for (int c = 0; c < classes; c++) {
        for (int z = 0; z < q; z++) terms_.push_back({c * q + z, 1});
        close(clssize_[(size_t)c]);
    }
    for (int l = 0; l < L_; l++)
        for (int z = 0; z < q; z++) {
            for (int c = blkfirst_[(size_t)l]; c < blkfirst_[(size_t)l + 1]; c++) terms_.push_back({c * q + z, 1});
            partnerterms_.push_back({(int)rhs_.size(), l * q + z, 1});
            close(0);
        }
    std::vector<int>& ks = ks_;
    for (int k = 0; k < nz_; k++) {
        ks.assign(1, k);
        addgroup(ks);
    }
    if (q > 2)
        for (int f = 0; f < F_; f++) {
            ks.clear();
            for (int lam = 1; lam < q; lam++) ks.push_back(f * (q - 1) + lam - 1);
            addgroup(ks);
        }
    // The codewords of one lambda over a line of families {t u : t}, and
    // over all families.
    for (int lam = 1; lam < q && F_ > 1; lam++) {
        for (int f0 = 1; f0 < F_ && F_ > q; f0++) {
            int lead = f0;  // f0 is taken when its leading digit is 1
            while (lead >= q) lead /= q;
            if (lead != 1) continue;
            ks.clear();
            for (int t = 0; t < q; t++) ks.push_back(scalefamily(f0, t) * (q - 1) + lam - 1);
            addgroup(ks);
        }
        ks.clear();
        for (int f = 0; f < F_; f++) ks.push_back(f * (q - 1) + lam - 1);
        addgroup(ks);
    }
    // The codewords zero on one column of the new code (a pencil): the
    // column's count against the zeros of the codewords through it.
    for (int c = 0; c < classes; c++)
        for (int z = 0; z < q; z++) {
            ks.clear();
            for (int k = 0; k < nz_; k++)
                if (meet_[(size_t)k * classes + c] == z) ks.push_back(k);
            if (ks.size() > 1) addgroup(ks);
        }
    if (F_ > 1) {
        ks.clear();
        for (int k = 0; k < nz_; k++) ks.push_back(k);
        addgroup(ks);
    }
    rhsfixed_ = rhs_;
}

// Each variable's equalities, the enumeration order (block by block, value
// by value, class by class) and the sizes of the search's tables.
void RowLattice::index() {
    const int q = q_, nv = nx_ + nz_, ne = (int)rhs_.size();
    vstart_.assign((size_t)nv + 1, 0);
    for (const term& t : terms_) vstart_[(size_t)t.var + 1]++;
    for (int v = 0; v < nv; v++) vstart_[(size_t)v + 1] += vstart_[(size_t)v];
    vcons_.resize(terms_.size());
    std::vector<int32_t>& fill = coef_;
    fill.assign(vstart_.begin(), vstart_.end() - 1);
    for (int e = 0; e < ne; e++)
        for (int32_t t = cstart_[(size_t)e]; t < cstart_[(size_t)e + 1]; t++)
            vcons_[(size_t)fill[(size_t)terms_[(size_t)t].var]++] = {e, terms_[(size_t)t].coef};
    order_.clear();
    for (int l = 0; l < L_; l++)
        for (int z = 0; z < q; z++)
            for (int c = blkfirst_[(size_t)l]; c < blkfirst_[(size_t)l + 1]; c++) order_.push_back(c * q + z);
    minsum_.resize((size_t)ne), maxsum_.resize((size_t)ne), span_.resize((size_t)ne);
    lo_.resize((size_t)nv), hi_.resize((size_t)nv);
    queue_.resize((size_t)ne), queued_.assign((size_t)ne, 0);
    trail_.clear();
    trail_.reserve((size_t)nv * 8);
}

bool RowLattice::parent(const WorkingCode& code, const SplitTables& tables, int nblk, int D, int q, int nfree) {
    // Codes of dimension 2 come from one block, whose rows the plain
    // enumeration with its cuts makes faster.
    if (!lb_.derived || D < 3 || nblk < 1 || nblk > MAXBLK) return false;
    int64_t F = 1;
    for (int j = 0; j < D - 2 && F <= MAXUNKNOWNS; j++) F *= q;
    if (F * (q - 1) > MAXUNKNOWNS) return false;
    int classes = 0;
    for (int l = 0; l < nblk; l++)
        for (int b = 0; b < q; b++) classes += tables.remain[l][0][b] > 0;
    if ((int64_t)classes * q > MAXUNKNOWNS) return false;
    // The pencils dominate the building: one per unknown, each over every
    // codeword and the unknowns they meet.
    const int64_t nx = (int64_t)classes * q, nz = F * (q - 1);
    if (nx * (nx + nz + nz * classes / q) > MAXBUILD) return false;
    q_ = q, D_ = D, L_ = nblk, F_ = (int)F, nfree_ = nfree;
    nx_ = (int)nx, nz_ = (int)nz;
    layout(code, tables);
    equalities();
    index();
    return true;
}

// A partner: the constants of its equalities, the first intervals, and the
// first propagation.  False when no row is possible.
bool RowLattice::start(const SplitTables& tables, int propbound, int zerocap) {
    std::copy(rhsfixed_.begin(), rhsfixed_.end(), rhs_.begin());
    for (const partnerterm& t : partnerterms_) rhs_[(size_t)t.eq] += t.coef * tables.partner[t.at / q_][t.at % q_];
    for (int c = 0; c < nx_ / q_; c++) {
        const int l = clsblk_[(size_t)c];
        for (int z = 0; z < q_; z++) {
            const int v = c * q_ + z;
            lo_[(size_t)v] = 0;
            hi_[(size_t)v] = std::min(std::min(clssize_[(size_t)c], tables.partner[l][z]), propbound);
        }
    }
    if (zerovar_ >= 0) hi_[(size_t)zerovar_] = std::min(hi_[(size_t)zerovar_], zerocap);
    for (int k = 0; k < nz_; k++) {
        lo_[(size_t)(nx_ + k)] = 0;
        hi_[(size_t)(nx_ + k)] = zbase_[(size_t)k];
    }
    trail_.clear();
    if (zerovar_ >= 0 && !snap(zerovar_, lo_[(size_t)zerovar_], hi_[(size_t)zerovar_])) return false;
    for (int k = 0; k < nz_; k++)
        if (!snap(nx_ + k, lo_[(size_t)(nx_ + k)], hi_[(size_t)(nx_ + k)])) return false;
    qhead_ = 0;
    const int ne = (int)rhs_.size();
    for (int e = 0; e < ne; e++) {
        int32_t lo = 0, hi = 0;
        for (int32_t t = cstart_[(size_t)e]; t < cstart_[(size_t)e + 1]; t++) {
            const term& w = terms_[(size_t)t];
            const int32_t a = w.coef, vl = lo_[(size_t)w.var], vh = hi_[(size_t)w.var];
            lo += a > 0 ? a * vl : a * vh;
            hi += a > 0 ? a * vh : a * vl;
        }
        minsum_[(size_t)e] = lo, maxsum_[(size_t)e] = hi;
        int32_t span = 0;
        for (int32_t t = cstart_[(size_t)e]; t < cstart_[(size_t)e + 1]; t++) {
            const term& w = terms_[(size_t)t];
            span = std::max(span, std::abs(w.coef) * (hi_[(size_t)w.var] - lo_[(size_t)w.var]));
        }
        span_[(size_t)e] = span;
    }
    for (int e = 0; e < ne; e++) queue_[(size_t)e] = e, queued_[(size_t)e] = 1;
    qsize_ = ne;
    return propagate();
}

// The interval [lo, hi] of a zeros variable to values of allowed weights,
// that of the zero columns to possible numbers.  False when it is empty.
bool RowLattice::snap(int v, int32_t& lo, int32_t& hi) const {
    if (v >= nx_) {
        const int32_t base = zbase_[(size_t)(v - nx_)];
        lo = base - lb_.prevok(base - lo);
        hi = base - lb_.nextok(base - hi);
    } else if (v == zerovar_) {
        while (lo <= hi && !lb_.zerosok(D_, lo, lo)) lo++;
        while (hi >= lo && !lb_.zerosok(D_, hi, hi)) hi--;
    }
    return lo <= hi;
}

void RowLattice::enqueue(int v) {
    const size_t ne = queue_.size();
    for (int32_t t = vstart_[(size_t)v]; t < vstart_[(size_t)v + 1]; t++) {
        const int e = vcons_[(size_t)t].eq;
        if (queued_[(size_t)e]) continue;
        queued_[(size_t)e] = 1;
        queue_[(qhead_ + (size_t)qsize_) % ne] = e;
        qsize_++;
    }
}

// Variable v takes the interval [lo, hi]; the sums of its equalities follow.
void RowLattice::apply(int v, int32_t lo, int32_t hi) {
    const int32_t dl = lo - lo_[(size_t)v], dh = hi - hi_[(size_t)v];
    for (int32_t t = vstart_[(size_t)v]; t < vstart_[(size_t)v + 1]; t++) {
        const use& u = vcons_[(size_t)t];
        if (u.coef > 0) {
            minsum_[(size_t)u.eq] += u.coef * dl;
            maxsum_[(size_t)u.eq] += u.coef * dh;
        } else {
            minsum_[(size_t)u.eq] += u.coef * dh;
            maxsum_[(size_t)u.eq] += u.coef * dl;
        }
    }
    lo_[(size_t)v] = lo, hi_[(size_t)v] = hi;
}

// Narrows variable v to [lo, hi] (within its interval), on the trail, and
// queues its equalities when it changed.  False when it is empty.
bool RowLattice::setbounds(int v, int32_t lo, int32_t hi) {
    const int32_t l = lo_[(size_t)v], h = hi_[(size_t)v];
    if (lo <= l && hi >= h) return true;
    lo = std::max(l, lo), hi = std::min(h, hi);
    if (lo > hi || ((v >= nx_ || v == zerovar_) && !snap(v, lo, hi))) return false;
    trail_.push_back({v, l, h});
    apply(v, lo, hi);
    enqueue(v);
    return true;
}

// Equality e narrows its variables from the sums of the others' bounds.
// Nearly every coefficient is 1 or -1, which need no division.
bool RowLattice::narrow(int e) {
    const int32_t r = rhs_[(size_t)e], minsum = minsum_[(size_t)e], maxsum = maxsum_[(size_t)e];
    if (minsum > r || maxsum < r) return false;
    const int32_t up = r - minsum, down = maxsum - r;  // room above the least sum and below the greatest
    // No interval is wider than it was at the start of the partner: when
    // there is room for the widest term either way, nothing narrows.
    if (up >= span_[(size_t)e] && down >= span_[(size_t)e]) return true;
    const term* t0 = &terms_[(size_t)cstart_[(size_t)e]];
    const term* t1 = &terms_[(size_t)cstart_[(size_t)e + 1]];
    for (const term* t = t0; t < t1; t++) {
        const int32_t a = t->coef, lo = lo_[(size_t)t->var], hi = hi_[(size_t)t->var];
        const int32_t width = (a > 0 ? a : -a) * (hi - lo);
        if (width <= up && width <= down) continue;
        int32_t nlo, nhi;
        if (a == 1) nhi = lo + up, nlo = hi - down;
        else if (a == -1) nlo = hi - up, nhi = lo + down;
        else if (a > 0) nhi = lo + up / a, nlo = hi - down / a;
        else nlo = hi - up / -a, nhi = lo + down / -a;
        if (!setbounds(t->var, std::max(nlo, lo), std::min(nhi, hi))) return false;
    }
    return true;
}

// Every queued equality until none is left; on failure the queue is
// emptied.
bool RowLattice::propagate() {
    const size_t ne = queue_.size();
    while (qsize_ > 0) {
        const int e = queue_[qhead_];
        qhead_ = (qhead_ + 1) % ne;
        qsize_--;
        queued_[(size_t)e] = 0;
        if (!narrow(e)) {
            while (qsize_ > 0) {
                queued_[(size_t)queue_[qhead_]] = 0;
                qhead_ = (qhead_ + 1) % ne;
                qsize_--;
            }
            return false;
        }
    }
    return true;
}

void RowLattice::undo(size_t mark) {
    while (trail_.size() > mark) {
        const change c = trail_.back();
        trail_.pop_back();
        apply(c.var, c.lo, c.hi);
    }
}
