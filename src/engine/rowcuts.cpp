// Weight bounds of partial rows (see rowcuts.h).
//
// Bounds of one split count x = split[l][z][b] of class (l, b), when the
// pairs (l, 0..i) are done: exact when z <= i; otherwise the class has R
// columns left for the values after i, which the partner wants P in all,
// p_l[z] of them value z, so  max(0, R - (P - p_l[z])) <= x <=
// min(R, p_l[z], the class bound).  They are loose (each class on its own)
// but cheap, and exact once the block is done.
#include "engine/rowcuts.h"

#include <algorithm>
#include <cstddef>

#include "field/field.h"

namespace {

constexpr uint64_t MAXTABLE = 1u << 20;  // entries of one table, at most

int32_t floordiv(int32_t a, int32_t q) { return a >= 0 ? a / q : -((-a + q - 1) / q); }
int32_t ceildiv(int32_t a, int32_t q) { return -floordiv(-a, q); }

}  // namespace

void RowCuts::parent(const WorkingCode& code, const SplitTables& tables, int nblk, int D, int q, int nfree) {
    on_ = false;
    if (!lb_.derived || D < 2 || nblk < 1 || nblk > MAXBLK) return;
    uint64_t F = 1;
    for (int j = 0; j < D - 2 && F <= MAXTABLE; j++) F *= (uint64_t)q;
    if ((uint64_t)(nblk + 1) * F * (uint64_t)q > MAXTABLE) return;
    q_ = q, D_ = D, L_ = nblk, F_ = (int)F, nfree_ = nfree;
    const Field& fd = gf(q);
    for (int s = 0; s < q; s++) {
        neg_[s] = (uint8_t)fd.negtab[s];
        for (int lam = 0; lam < q; lam++)
            for (int b = 0; b < q; b++) tz_[s][lam][b] = (uint8_t)fd.negtab[fd.addtab[s][fd.multab[lam][b]]];
    }
    sv_.resize((size_t)L_ * F_);
    unitw_.resize((size_t)F_);
    A_.resize((size_t)F_);
    const size_t cells = (size_t)(L_ + 1) * F_ * q_;
    pre_.resize(cells);
    suflo_.resize(cells);
    sufhi_.resize(cells);
    // Families f = u_1 + q u_2 + ..: s(u_f) on each block from its column.
    zl_ = -1;
    int pos = 1;
    for (int l = 0; l < L_; l++) {
        T_[l] = 0;
        for (int b = 0; b < q; b++) T_[l] += m_[l][b] = tables.remain[l][0][b];
        uint8_t* s = &sv_[(size_t)l * F_];
        s[0] = 0;
        bool zero = true;
        for (int r = 1, span = 1; r <= D - 2; r++, span *= q) {
            const int v = code.m[r][pos];
            zero = zero && v == 0;
            for (int f = span; f < span * q; f++) s[f] = (uint8_t)fd.addtab[s[f % span]][fd.multab[f / span][v]];
        }
        if (zero && m_[l][0] > 0) zl_ = l;
        values_[l] = zero ? 1 : q;  // s(u) is 0 on a block of zero columns
        pos += T_[l];
    }
    unitw_[0] = 0;
    for (int r = 1, span = 1; r <= D - 2; r++, span *= q)
        for (int f = span; f < span * q; f++) unitw_[(size_t)f] = unitw_[(size_t)(f % span)] + 1;
    twoclasses_ = D == 2 && L_ == 1 && m_[0][0] > 0;
    for (int b = 2; b < q && twoclasses_; b++) twoclasses_ = m_[0][b] == 0;
    on_ = true;
}

RowCuts::span RowCuts::classrange(const SplitTables& tables, int l, int i, int b, int z) const {
    const int m = m_[l][b];
    if (m == 0) return {0, 0};
    if (z <= i) return {tables.split[l][z][b], tables.split[l][z][b]};
    int R = m, P = 0;
    for (int t = 0; t <= i; t++) R -= tables.split[l][t][b];
    for (int t = i + 1; t < q_; t++) P += tables.partner[l][t];
    const int p = tables.partner[l][z];
    int cap = propbound_;
    if (l == zl_ && b == 0 && z == 0) cap = std::min(cap, lb_.zerocap[D_]);
    return {std::max(0, R - (P - p)), std::min(std::min(R, p), cap)};
}

// The contributions of block l (pairs 0..i done) by the value s: tlo_, thi_.
// The bounds of each class and value first (as classrange, with the sums
// over the values taken once).
void RowCuts::blocktables(const SplitTables& tables, int l, int i) {
    const int q = q_;
    const int32_t* p = tables.partner[l].data();
    int P = 0;
    for (int t = i + 1; t < q; t++) P += p[t];
    span r[MAXVAL][MAXVAL];  // r[b][z]
    for (int b = 0; b < q; b++) {
        int R = m_[l][b];
        if (R == 0) {
            for (int z = 0; z < q; z++) r[b][z] = {0, 0};
            continue;
        }
        for (int t = 0; t <= i; t++) {
            R -= tables.split[l][t][b];
            r[b][t] = {tables.split[l][t][b], tables.split[l][t][b]};
        }
        for (int z = i + 1; z < q; z++) r[b][z] = {std::max(0, R - (P - p[z])), std::min(std::min(R, p[z]), propbound_)};
    }
    if (l == zl_ && i < 0) r[0][0].hi = std::min(r[0][0].hi, lb_.zerocap[D_]);
    for (int s = 0; s < values_[l]; s++) {
        tlo_[s * q] = r[0][neg_[s]].lo;
        thi_[s * q] = r[0][neg_[s]].hi;
        const uint8_t* z = tz_[s][0];
        for (int lam = 1; lam < q; lam++) {
            z += MAXVAL;
            int lo = 0, hi = 0;
            for (int b = 1; b < q; b++) {
                lo += r[b][z[b]].lo;
                hi += r[b][z[b]].hi;
            }
            tlo_[s * q + lam] = lo;
            thi_[s * q + lam] = hi;
        }
    }
}

// One check of the tally of this dimension: a window of 2048 checks
// decides whether the checks go on for every partner.
void RowCuts::count(bool cut) {
    tally& t = tally_[D_];
    t.tries++;
    t.hits += cut;
    if (t.tries < 2048) return;
    t.use = 8 * t.hits >= t.tries;
    t.tries = t.hits = 0;
}

bool RowCuts::partner(const SplitTables& tables, int propbound) {
    propbound_ = propbound;
    const int q = q_;
    const size_t row = (size_t)F_ * q;
    std::fill(pre_.begin(), pre_.begin() + (std::ptrdiff_t)row, 0);
    tally& t = tally_[D_];
    full_ = t.use || ++t.sample % 32 == 0;
    if (!full_) return true;
    std::fill(suflo_.begin() + (std::ptrdiff_t)(L_ * row), suflo_.begin() + (std::ptrdiff_t)((L_ + 1) * row), 0);
    std::fill(sufhi_.begin() + (std::ptrdiff_t)(L_ * row), sufhi_.begin() + (std::ptrdiff_t)((L_ + 1) * row), 0);
    const int32_t base = nfree_ + 2;
    for (int f = 0; f < F_; f++) A_[(size_t)f] = (q - 1) * (base + unitw_[(size_t)f]);
    for (int l = L_ - 1; l >= 0; l--) {
        blocktables(tables, l, -1);
        const uint8_t* s = &sv_[(size_t)l * F_];
        const int32_t* nlo = &suflo_[(size_t)(l + 1) * row];
        const int32_t* nhi = &sufhi_[(size_t)(l + 1) * row];
        int32_t* lo = &suflo_[(size_t)l * row];
        int32_t* hi = &sufhi_[(size_t)l * row];
        const int32_t fixed = T_[l] - m_[l][0];
        for (int f = 0; f < F_; f++) {
            const int sf = s[f], at = f * q;
            for (int j = 0; j < q; j++) {
                lo[at + j] = nlo[at + j] + tlo_[sf * q + j];
                hi[at + j] = nhi[at + j] + thi_[sf * q + j];
            }
            A_[(size_t)f] -= fixed - tables.partner[l][neg_[sf]];
        }
    }
    partners++;
    const bool ok = check(tables, 0, -1);
    partnersskipped += !ok;
    return ok;
}

// The contributions of block l with every value given, by the value s:
// tlo_ only.
void RowCuts::exacttables(const SplitTables& tables, int l) {
    const int q = q_;
    const SplitTables::Square& x = tables.split[l];  // x[z][b]
    for (int s = 0; s < values_[l]; s++) {
        tlo_[s * q] = x[neg_[s]][0];
        for (int lam = 1; lam < q; lam++) {
            int sum = 0;
            for (int b = 1; b < q; b++) sum += x[tz_[s][lam][b]][b];
            tlo_[s * q + lam] = sum;
        }
    }
}

void RowCuts::blockdone(const SplitTables& tables, int l) {
    const int q = q_;
    exacttables(tables, l);
    const size_t row = (size_t)F_ * q;
    const uint8_t* s = &sv_[(size_t)l * F_];
    const int32_t* from = &pre_[(size_t)l * row];
    int32_t* to = &pre_[(size_t)(l + 1) * row];
    for (int f = 0; f < F_; f++)
        for (int j = 0; j < q; j++) to[f * q + j] = from[f * q + j] + tlo_[s[f] * q + j];
}

// The zero columns of the code, when pairs (l, 0..i) are done.
RowCuts::span RowCuts::zerorange(const SplitTables& tables, int l, int i) const {
    if (zl_ < 0) return {0, 0};
    if (zl_ < l) return {tables.split[zl_][0][0], tables.split[zl_][0][0]};
    return classrange(tables, zl_, zl_ == l ? i : -1, 0, 0);
}

// One family: the weight of each lambda between its bounds must be allowed,
// and their sum A - qY must be reachable with an allowed weight for each.
bool RowCuts::family(int f, int32_t& ylo, int32_t& yhi, const int32_t* rlo, const int32_t* rhi) const {
    const int q = q_;
    const int32_t base = nfree_ + 2 + unitw_[(size_t)f];
    for (int pass = 0; pass < 2; pass++) {
        int64_t sumlo = 0, sumhi = 0;
        for (int lam = 1; lam < q; lam++) {
            const int32_t a = lb_.nextok(base - yhi - rhi[lam]), b = lb_.prevok(base - ylo - rlo[lam]);
            if (a > b) return false;
            sumlo += a;
            sumhi += b;
        }
        // The sum of the weights is A - qY.
        const int32_t A = A_[(size_t)f];
        const int32_t nylo = std::max(ylo, ceildiv((int32_t)(A - sumhi), q));
        const int32_t nyhi = std::min(yhi, floordiv((int32_t)(A - sumlo), q));
        if (nylo > nyhi) return false;
        if (nylo == ylo && nyhi == yhi) return true;
        ylo = nylo, yhi = nyhi;
    }
    return true;
}

bool RowCuts::check(const SplitTables& tables, int l, int i) {
    const int q = q_;
    checks++;
    const span z = zerorange(tables, l, i);
    bool ok = lb_.zerosok(D_, z.lo, z.hi);
    if (ok) {
        blocktables(tables, l, i);
        const size_t row = (size_t)F_ * q;
        const uint8_t* s = &sv_[(size_t)l * F_];
        const int32_t* pre = &pre_[(size_t)l * row];
        const int32_t* slo = &suflo_[(size_t)(l + 1) * row];
        const int32_t* shi = &sufhi_[(size_t)(l + 1) * row];
        int32_t lo[MAXVAL], hi[MAXVAL];
        for (int f = 0; f < F_ && ok; f++) {
            const int at = f * q, sf = s[f] * q;
            for (int j = 0; j < q; j++) {
                lo[j] = pre[at + j] + tlo_[sf + j] + slo[at + j];
                hi[j] = pre[at + j] + thi_[sf + j] + shi[at + j];
            }
            ok = family(f, lo[0], hi[0], lo, hi);
            if (f == 0 && l == 0 && i < 0) rooty_ = {lo[0], hi[0]};
        }
    }
    cuts += !ok;
    count(!ok);
    return ok;
}

bool RowCuts::leaf(const SplitTables& tables, int l) {
    const int q = q_;
    leaves++;
    const int zeros = zl_ < 0 ? 0 : tables.split[zl_][0][0];
    bool ok = lb_.zerosok(D_, zeros, zeros);
    if (ok) {
        exacttables(tables, l);
        const size_t row = (size_t)F_ * q;
        const uint8_t* s = &sv_[(size_t)l * F_];
        const int32_t* pre = &pre_[(size_t)l * row];
        for (int f = 0; f < F_ && ok; f++) {
            const int32_t* p = pre + f * q;
            const int32_t* t = tlo_ + s[f] * q;
            const int32_t w = nfree_ + 2 + unitw_[(size_t)f] - p[0] - t[0];
            for (int lam = 1; lam < q && ok; lam++) ok = lb_.allowed(w - p[lam] - t[lam]);
        }
    }
    leavescut += !ok;
    return ok;
}

bool RowCuts::parts(int x, uint8_t* parts) const {
    if (!on_ || D_ != 2 || L_ != 1) return false;
    const int q = q_, m = nfree_, z0 = m_[0][0], x0 = m_[0][1];
    const int cap = lb_.propcap[2];
    // Y: the zero columns that stay zero; with the zero columns possible,
    // and by the sum of the weights, A - qY with A as in rowcuts.h.
    int ylo = std::max(0, z0 - x), yhi = std::min(std::min(z0, m - x), std::min(cap, lb_.zerocap[2]));
    while (ylo <= yhi && !lb_.zerosok(2, ylo, ylo)) ylo++;
    while (yhi >= ylo && !lb_.zerosok(2, yhi, yhi)) yhi--;
    const int32_t A = (q - 1) * (m + 2) - x + z0;
    ylo = std::max(ylo, ceildiv(A - (q - 1) * lb_.prevok(lb_.len), q));
    yhi = std::min(yhi, floordiv(A - (q - 1) * lb_.nextok(0), q));
    bool some = false;
    for (int a = 0; a <= x; a++) {
        const int rlo = std::max(0, x0 - (m - a)), rhi = std::min(std::min(x0, a), cap);
        parts[a] = ylo <= yhi && lb_.nextok(m + 2 - yhi - rhi) <= lb_.prevok(m + 2 - ylo - rlo);
        some = some || !parts[a];
    }
    return some;
}

// Parents of dimension 1 (one block: the zero class and the class of the
// non-zero entries, which takes what the zero class leaves of each value).
// For value 0 the share of the zero class is Y itself, within the bounds the
// partner check found; for value i >= 1 the codeword with lambda = -i is
// complete as soon as the pair is, of weight n - k + 2 - t_0 - p_i + share,
// which must be allowed.
int RowCuts::nextshare(const SplitTables& tables, int i, int share) const {
    if (i == 0) return share > rooty_.hi ? rooty_.hi : share < rooty_.lo ? -1 : share;
    const int32_t offset = nfree_ + 2 - tables.split[0][0][0] - tables.partner[0][i];
    const int32_t w = lb_.prevok(offset + share);
    return w < offset ? -1 : w - offset;
}
