// The bounds of a run (see bounds.h for their derivation).
#include "engine/bounds.h"

#include <algorithm>

int32_t griesmer(int q, int s, int t) {
    if (t <= 0) return 0;
    int64_t sum = 0, pw = 1;
    for (int j = 0; j < s; j++) {
        sum += (t + pw - 1) / pw;
        if (pw < t) pw *= q;  // once q^j >= t every further term is 1
    }
    return (int32_t)std::min<int64_t>(sum, INT32_MAX);
}

namespace {

int ceildiv(int a, int q) { return (a + q - 1) / q; }

// The residual condition for a subcode of dimension s with support S of a
// final [n,k] code with minimum weight dmin (see bounds.h).
bool residualok(const RunParams& p, int dmin, int s, int S) {
    const int t = dmin - S + ceildiv(S, p.q);
    return t < 1 || p.n - S >= griesmer(p.q, p.k - s, t);
}

// The weights a non-zero codeword of a candidate may have: the candidate
// test's (the allowed weights, or every weight from d on).
void levelweights(const RunParams& p, LevelBounds& b) {
    for (int w = 1; w <= b.len; w++)
        b.ok[(size_t)w] = p.wtrestr ? (w < MAXLEN && p.wt[w] == 1) : w >= p.d;
}

void tables(LevelBounds& b) {
    const int len = b.len;
    b.next.assign((size_t)len + 2, len + 1);
    b.prev.assign((size_t)len + 2, -1);
    for (int w = len; w >= 0; w--) b.next[(size_t)w] = b.ok[(size_t)w] ? w : b.next[(size_t)w + 1];
    for (int w = 0; w <= len + 1; w++) b.prev[(size_t)w] = b.ok[(size_t)w] ? w : (w > 0 ? b.prev[(size_t)w - 1] : -1);
    b.dmin = b.next[1];
    b.restricted = false;
    for (int w = b.dmin; w <= len; w++)
        if (!b.ok[(size_t)w]) b.restricted = true;
}

// The points of PG(m - 1, q), saturated at NOBOUND (a bound that never cuts).
int32_t points(int q, int m) {
    int64_t t = 0;
    for (int i = 0; i < m && t <= NOBOUND; i++) t = t * q + 1;
    return (int32_t)std::min<int64_t>(t, NOBOUND);
}

// The dual-distance bounds of dimension D (see bounds.h): at most `prop`
// columns in one class of equal columns, `zero` zero columns.
void dualbounds(const RunParams& p, int D, int32_t& prop, int32_t& zero) {
    const int m = p.k - D, q = p.q;
    if (p.dualdist >= 3) {
        // Bottoms of one class: distinct points of AG(m,q); for t >= 4 a cap.
        int64_t affine = 1;
        for (int i = 0; i < m && affine <= NOBOUND; i++) affine *= q;
        int32_t proj = points(q, m);
        if (p.dualdist >= 4) {
            if (m <= 2) affine = std::min<int64_t>(affine, m == 0 ? 1 : m == 1 ? 2 : q + 2);
            if (m <= 3) proj = std::min(proj, m == 3 ? q + 2 : m);
        }
        prop = (int32_t)std::min<int64_t>(prop, affine);
        zero = std::min(zero, std::max(0, proj - m));
    }
    if (p.dualdist >= 2 && D == p.k) zero = 0;
}

}  // namespace

LevelBounds derivebounds(const RunParams& p, bool derived) {
    LevelBounds b;
    b.len = p.n;
    b.derived = derived;
    b.target = derived && p.targetcuts && !p.brute;
    b.ok.assign((size_t)b.len + 2, 0);
    levelweights(p, b);
    tables(b);
    // The weights of codewords of a final code.  Every codeword of a final
    // code passes the condition, so the least weight left is again a lower
    // bound on their minimum distance: repeat until it stays.
    for (int from = 0; b.target && b.dmin <= b.len && b.dmin != from;) {
        from = b.dmin;
        for (int w = 1; w <= b.len; w++)
            if (b.ok[(size_t)w] && !residualok(p, from, 1, w)) b.ok[(size_t)w] = 0;
        tables(b);
    }
    const int dmin = b.dmin;
    for (int D = 1; D <= p.k && D < MAXDIM; D++) {
        const int ND = p.n - p.k + D;
        b.propcap[D] = D >= 2 ? std::min(p.propcol[D], std::max(0, ND - griesmer(p.q, D - 1, dmin))) : NOBOUND;
        b.zerocap[D] = std::max(0, ND - griesmer(p.q, D, dmin));
        if (!derived) b.propcap[D] = p.propcol[D], b.zerocap[D] = NOBOUND;
        if (b.target) dualbounds(p, D, b.propcap[D], b.zerocap[D]);
        b.supp[D].assign((size_t)ND + 1, 0);
        for (int S = 0; S <= ND; S++)
            b.supp[D][(size_t)S] = !derived || (S >= griesmer(p.q, D, dmin) &&
                                                (!b.target || (residualok(p, dmin, D, S) && ND - S <= b.zerocap[D])));
        b.suppnext[D].assign((size_t)ND + 2, ND + 1);
        for (int S = ND; S >= 0; S--)
            b.suppnext[D][(size_t)S] = b.supp[D][(size_t)S] ? S : b.suppnext[D][(size_t)S + 1];
    }
    return b;
}

bool LevelBounds::zerosok(int D, int zlo, int zhi) const {
    const int ND = (int)supp[D].size() - 1;
    const int Slo = std::max(0, ND - zhi), Shi = ND - std::max(0, zlo);
    if (Slo > Shi) return false;
    return suppnext[D][(size_t)Slo] <= Shi;
}

// Appends "d<D>-><v>" for D = from..to of v[D] to s.
static void perdimension(std::string& s, const int32_t* v, int from, int to) {
    for (int D = from; D <= to; D++) {
        s += " d";
        s += std::to_string(D);
        s += "->";
        s += std::to_string(v[D]);
    }
}

std::string describebounds(const LevelBounds& b, const RunParams& p) {
    std::string s = " Derived bounds: proportional coordinates";
    perdimension(s, b.propcap, 2, p.k);
    if (p.k < 2) s += " none";
    s += "; zero coordinates";
    perdimension(s, b.zerocap, 1, p.k);
    if (!b.target) return s + "; every code of every dimension is kept (complete h file)";
    s += "; weights";
    int shown = 0, w = b.nextok(1);
    while (w <= b.len && shown < 12) {
        int e = w;
        while (e + 1 <= b.len && b.ok[(size_t)e + 1]) e++;
        s += shown ? "," : " ";
        s += std::to_string(w);
        if (e > w) {
            s += "-";
            s += std::to_string(e);
        }
        shown++;
        w = b.nextok(e + 1);
    }
    if (w <= b.len) s += ",...";
    if (shown == 0) s += " none";
    return s + "; codes of lower dimension that cannot grow into a code of the run are cut";
}
