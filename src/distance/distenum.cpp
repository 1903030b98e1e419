// Codeword enumeration engines: the two recursions over one information set
// and the two steps that consume the codewords they meet.
//
// walkset walks every combination of up to levels[i] systematic rows of set i,
// the first coefficient 1 and the others any non-zero scalar, in the fixed
// order rows ascending, scalars 1..q-1; walkoutside walks the combinations of the
// rows outside the rank of a partial set and runs walkset on each as base.
// Each depth has its own preallocated accumulator row (acc1 = rows of
// sysmats[0] / sysplanes[0], acc2 = rows of sysmats[-1] / sysplanes[-1]), so a step is one
// pass over W words (bit planes, q <= 4) or n bytes (q = 5, 7), with no
// allocation.  The recursions are templates on the field variant and, for
// short codes, on the word count, so that the q = 2 step compiles to one XOR
// and one popcount per word; the threshold of the minimum-distance step is
// folded into a single comparison.  The visiting order is exactly that of the
// plain recursion, so stores and counts do not depend on these choices.
//
// The recursions never see the engine: everything one run needs (row
// pointers, levels, thresholds, the counting state) is copied into a context
// on the stack first and the results are written back once at the end, so
// the compiler keeps the hot values in registers instead of reloading them
// through the engine after every store.  The recursions start on 64-byte
// boundaries: how their short loops fall on the processor's fetch blocks
// moved single benchmarks by up to 25% from one build to the next, so their
// placement is fixed rather than left to whatever precedes them.
#include <algorithm>
#include <climits>
#include <cstring>

#include "distance/dist.h"
#include "field/field.h"

namespace {

// Everything one run over one set needs, copied out of the engine.
struct ectx {
    int i, ki, k1, lev, W, n, q;
    bool planes;           // bit-plane engine
    const Field* F;        // field of the byte engine
    uint64_t* const* ra;   // rows of set i, planes a and b
    uint64_t* const* rb;
    uint64_t* const* a1a;  // first-stage accumulators
    uint64_t* const* a1b;
    uint64_t* const* a2a;  // second-stage accumulators
    uint64_t* const* a2b;
    uint8_t* const* rr;    // byte forms of the same
    uint8_t* const* b1;
    uint8_t* const* b2;
    int ub, lb, thr;       // minimum-distance step, thr = max(ub - 1, lb)
    bool stop;
    // counting step
    int wmax;
    bool exact, keep;
    uint64_t found;
    uint64_t* Aspec;
    const int32_t* levels;            // levels of the sets (claim test)
    const int32_t* kset;           // ranks of the sets
    int32_t* const* piv;           // pivot columns of the sets
    uint64_t* const* pmask;        // pivot masks; row 0 is scratch
    int pmW;                       // their word count
    DistWorkspace* dv;                   // the stores
};

void ctxinit(ectx& e, DistWorkspace& dv, const Field* F, bool planes, int i) {
    InfoSets& it = dv.setinfo;
    e.i = i;
    e.ki = it.k[i];
    e.k1 = it.k[1];
    e.lev = it.levels[i];
    e.n = dv.sysmats[0].cols;
    e.W = wordsfor(e.n);
    e.q = dv.sysmats[1].q;
    e.planes = planes;
    e.F = F;
    if (e.planes) {
        e.ra = dv.sysplanes[i].a;
        e.rb = dv.sysplanes[i].b;
        e.a1a = dv.sysplanes[0].a;
        e.a1b = dv.sysplanes[0].b;
        e.a2a = dv.sysplanes[-1].a;
        e.a2b = dv.sysplanes[-1].b;
    } else {
        e.rr = dv.sysmats[i].a;
        e.b1 = dv.sysmats[0].a;
        e.b2 = dv.sysmats[-1].a;
    }
    e.ub = it.ub;
    e.lb = it.lb;
    e.thr = std::max(e.ub - 1, e.lb);
    e.stop = it.stop;
    e.wmax = it.wmax;
    e.exact = it.exact;
    e.keep = it.keep;
    e.found = it.found;
    e.Aspec = it.Aspec.data();
    e.levels = it.levels.data();
    e.kset = it.k.data();
    e.piv = it.piv;
    e.pmask = dv.pivmask.a;
    e.pmW = dv.pivmask.cols;
    e.dv = &dv;
}

void ctxdone(const ectx& e) {
    InfoSets& it = e.dv->setinfo;
    it.ub = e.ub;
    it.stop = e.stop;
    it.found = e.found;
}

// Claim tests over sets 1..i-1 (see DistEngine::isfirst): bit support
// against the pivot masks, byte codeword against the pivot lists.  Kept out
// of line: inlined, they would make the counting step save registers even on
// its common early exits.
[[gnu::noinline]] bool claimbits(int i, const int32_t* levels, const uint64_t* const* pmask, int W, const uint64_t* supp) {
    for (int j = 1; j < i; j++) {
        int lv = levels[j];
        if (lv <= 0) continue;   // a set that was not run claims nothing
        const uint64_t* mk = pmask[j];
        int t = 0;
        for (int x = 1; x <= W; x++) t += popcnt64(supp[x] & mk[x]);
        if (t <= lv) return false;
    }
    return true;
}

[[gnu::noinline]] bool claimbytes(int i, const int32_t* levels, const int32_t* kset, const int32_t* const* piv,
                                   const uint8_t* z) {
    for (int j = 1; j < i; j++) {
        int lv = levels[j];
        if (lv <= 0) continue;
        const int32_t* p = piv[j];
        int t = 0;
        for (int u = 1; u <= kset[j]; u++) t += z[p[u]] != 0;
        if (t <= lv) return false;
    }
    return true;
}

// Minimum-distance step of both stages, given the weight of the codeword
// just formed; the recursions call it only when w <= thr, so the common case
// costs one comparison.
inline void upd_dist(ectx& e, int w) {
    if (w < e.ub) e.ub = w;
    if (w <= e.lb) e.stop = true;
    e.thr = std::max(e.ub - 1, e.lb);
}

// ---- counting step ------------------------------------------------------------

// Store row e.found := (za, zb) with weight w; the store grows by whole
// blocks when full.
void keepbits(ectx& e, int w, const uint64_t* za, const uint64_t* zb, int W, int q) {
    PlaneMatrix& s = e.dv->wordplanes;
    TALVEN_ASSERT("dist", e.found < (uint64_t)INT_MAX - 200, "found below INT_MAX");
    if ((int64_t)e.found > s.caprows()) s.grow((int)e.found);
    uint64_t* a = s.a[e.found];
    uint64_t* b = s.b[e.found];
    for (int x = 1; x <= W; x++) {
        a[x] = za[x];
        b[x] = q == 2 ? 0 : zb[x];
    }
    const StoredWord word(s, e.found);
    word.weight() = (uint64_t)w;
    word.pairsum() = word.cls() = word.mark() = 0;
}

void keepbytes(ectx& e, int w, const uint8_t* z, int n) {
    ByteMatrix& s = e.dv->wordbytes;
    TALVEN_ASSERT("dist", e.found < (uint64_t)INT_MAX - 20000, "found below INT_MAX");
    if ((int64_t)e.found > s.caprows()) s.grow((int)e.found);
    uint8_t* r = s.a[e.found];
    memcpy(r + 1, z + 1, (size_t)n);
    r[0] = (uint8_t)(w & 255);
    r[-1] = (uint8_t)(w >> 8);
}

// Counting step of both stages for the codeword (za, zb) of weight w
// (bit planes); the second stage calls it only for leading scalar 1.
template <int Q>
void countword(ectx& e, int w, const uint64_t* za, const uint64_t* zb) {
    if (w > e.wmax || (e.exact && w != e.wmax)) return;
    if (e.i >= 2) {
        uint64_t* sp = e.pmask[0];
        for (int x = 1; x <= e.W; x++)
            sp[x] = Q == 2 ? za[x] : (Q == 3 ? (za[x] ^ zb[x]) : (za[x] | zb[x]));
        if (!claimbits(e.i, e.levels, e.pmask, e.pmW, sp)) return;
    }
    e.found++;
    e.Aspec[w]++;
    if (e.keep) keepbits(e, w, za, zb, e.W, Q);
}

// The same for a byte-form codeword.
void countword(ectx& e, int w, const uint8_t* z) {
    if (w > e.wmax || (e.exact && w != e.wmax)) return;
    if (e.i >= 2 && !claimbytes(e.i, e.levels, e.kset, e.piv, z)) return;
    e.found++;
    e.Aspec[w]++;
    if (e.keep) keepbytes(e, w, z, e.n);
}

// ---- bit-plane engine -----------------------------------------------------------

// Z := X + s*Y word by word; returns the weight of Z.  For s > 1 the result
// of the previous scalar (same depth and row) is in Z and is used in place.
template <int Q, int WC>
inline int addbits(int W, int s, const uint64_t* xa, const uint64_t* xb, const uint64_t* ya,
                   const uint64_t* yb, uint64_t* za, uint64_t* zb) {
    const int nw = WC ? WC : W;
    int w = 0;
    for (int x = 1; x <= nw; x++) {
        if constexpr (Q == 2) {
            uint64_t a = xa[x] ^ ya[x];
            za[x] = a;
            w += popcnt64(a);
        } else if constexpr (Q == 3) {
            uint64_t pa = s == 1 ? xa[x] : za[x], pb = s == 1 ? xb[x] : zb[x];
            uint64_t t = (pa ^ ya[x]) | (pb ^ yb[x]);
            uint64_t b = (pa & ya[x]) ^ t;
            uint64_t a = t ^ (pb & yb[x]);
            za[x] = a;
            zb[x] = b;
            w += popcnt64(a ^ b);
        } else {
            uint64_t a, b;
            if (s == 1) {
                a = xa[x] ^ ya[x];
                b = xb[x] ^ yb[x];
            } else if (s == 2) {
                a = xa[x] ^ yb[x];
                b = xb[x] ^ ya[x] ^ yb[x];
            } else {
                a = za[x] ^ ya[x];
                b = zb[x] ^ yb[x];
            }
            za[x] = a;
            zb[x] = b;
            w += popcnt64(a | b);
        }
    }
    return w;
}

template <int Q, int WC, bool CNT>
struct PlaneWalk {
    // First stage from `depth` on, rows start..k[i]: scalar 1 at depth 1,
    // 1..Q-1 deeper, in that order.
    [[gnu::aligned(64)]] static void c1(ectx& e, int depth, int start) {
        if constexpr (Q == 4 || (Q == 3 && WC != 1)) {
            c1fixed(e, depth, start);
        } else {
            const int k = e.ki, W = e.W;
            const int smax = (depth == 1) ? 1 : Q - 1;
            const bool deeper = depth < e.lev;
            const uint64_t* xa = e.a1a[depth - 1];
            const uint64_t* xb = e.a1b[depth - 1];
            uint64_t* za = e.a1a[depth];
            uint64_t* zb = e.a1b[depth];
            for (int row = start; row <= k; row++) {
                const uint64_t* ya = e.ra[row];
                const uint64_t* yb = e.rb[row];
                for (int s = 1; s <= smax; s++) {
                    int w = addbits<Q, WC>(W, s, xa, xb, ya, yb, za, zb);
                    if constexpr (CNT) {
                        countword<Q>(e, w, za, zb);
                    } else if (w <= e.thr) {
                        upd_dist(e, w);
                        if (e.stop) return;
                    }
                    if (deeper && row < k) {
                        c1(e, depth + 1, row + 1);
                        if (e.stop) return;
                    }
                }
            }
        }
    }
    // One codeword of c1fixed: Z := X + S*Y, its step, then the deeper
    // levels from row + 1.  True when the minimum-distance step has stopped
    // the run.
    template <int S>
    static inline bool visit(ectx& e, int depth, int row, int k, bool deeper, const uint64_t* xa,
                             const uint64_t* xb, const uint64_t* ya, const uint64_t* yb, uint64_t* za, uint64_t* zb) {
        int w = addbits<Q, WC>(e.W, S, xa, xb, ya, yb, za, zb);
        if constexpr (CNT) {
            countword<Q>(e, w, za, zb);
        } else if (w <= e.thr) {
            upd_dist(e, w);
            if (e.stop) return true;
        }
        if (deeper && row < k) {
            c1(e, depth + 1, row + 1);
            if (e.stop) return true;
        }
        return false;
    }
    // c1 for q = 4, and q = 3 over more than one word: the same visits in
    // the same order, each scalar its own copy of the step, so that the plane
    // arithmetic of every scalar is fixed at compile time and the word loop
    // vectorises (q = 4 over four words: twice as fast).  q = 2 has one
    // scalar, and q = 3 over one word measured no faster this way, so they
    // keep the loop.
    [[gnu::aligned(64)]] static void c1fixed(ectx& e, int depth, int start) {
        const int k = e.ki;
        const bool deeper = depth < e.lev, multi = depth > 1;
        const uint64_t* xa = e.a1a[depth - 1];
        const uint64_t* xb = e.a1b[depth - 1];
        uint64_t* za = e.a1a[depth];
        uint64_t* zb = e.a1b[depth];
        for (int row = start; row <= k; row++) {
            const uint64_t* ya = e.ra[row];
            const uint64_t* yb = e.rb[row];
            if (visit<1>(e, depth, row, k, deeper, xa, xb, ya, yb, za, zb)) return;
            if (!multi) continue;
            if (visit<2>(e, depth, row, k, deeper, xa, xb, ya, yb, za, zb)) return;
            if constexpr (Q == 4)
                if (visit<3>(e, depth, row, k, deeper, xa, xb, ya, yb, za, zb)) return;
        }
    }
    // Second stage: rows start..k[1] outside the rank; `lead` is the scalar
    // chosen at depth 1 (a codeword of these rows alone is counted only with
    // leading scalar 1, so once up to scalars).
    [[gnu::aligned(64)]] static void c2(ectx& e, int depth, int start, int lead) {
        const int k1 = e.k1, W = e.W;
        const int maxd = e.k1 - e.ki;
        const uint64_t* xa = e.a2a[depth - 1];
        const uint64_t* xb = e.a2b[depth - 1];
        uint64_t* za = e.a2a[depth];
        uint64_t* zb = e.a2b[depth];
        uint64_t* ba = e.a1a[0];
        uint64_t* bb = e.a1b[0];
        for (int row = start; row <= k1; row++) {
            const uint64_t* ya = e.ra[row];
            const uint64_t* yb = e.rb[row];
            for (int s = 1; s <= Q - 1; s++) {
                int w = addbits<Q, WC>(W, s, xa, xb, ya, yb, za, zb);
                for (int x = 1; x <= W; x++) {
                    ba[x] = za[x];
                    if (Q > 2) bb[x] = zb[x];
                }
                int ld = depth == 1 ? s : lead;
                if constexpr (CNT) {
                    if (ld == 1) countword<Q>(e, w, za, zb);
                } else if (w <= e.thr) {
                    upd_dist(e, w);
                }
                if (e.stop) return;
                if (e.lev >= 1) c1(e, 1, 1);
                if (e.stop) return;
                if (depth < maxd && row < k1) c2(e, depth + 1, row + 1, ld);
                if (e.stop) return;
            }
        }
    }
};

// ---- byte engine -------------------------------------------------------------------

// Z := X + s*Y over GF(Q), Q = 5 or 7 by modular arithmetic (the same values as
// the field tables, in a form the compiler vectorises); Q = 0: any q through
// the tables of F.  Returns the weight.
template <int Q>
inline int addbytes(const Field& F, int n, int s, const uint8_t* x, const uint8_t* y, uint8_t* z) {
    int w = 0;
    if constexpr (Q == 5 || Q == 7) {
        const uint8_t sm = (uint8_t)s;
        for (int c = 1; c <= n; c++) {
            uint8_t v = (uint8_t)(x[c] + (uint8_t)(sm * y[c]));
            if constexpr (Q == 7) {
                v = v >= 28 ? (uint8_t)(v - 28) : v;
                v = v >= 14 ? (uint8_t)(v - 14) : v;
                v = v >= 7 ? (uint8_t)(v - 7) : v;
            } else {
                v = v >= 10 ? (uint8_t)(v - 10) : v;
                v = v >= 10 ? (uint8_t)(v - 10) : v;
                v = v >= 5 ? (uint8_t)(v - 5) : v;
            }
            z[c] = v;
            w += v != 0;
        }
    } else {
        const int* mt = F.multab[s];
        for (int c = 1; c <= n; c++) {
            int v = F.addtab[mt[y[c]]][x[c]];
            z[c] = (uint8_t)v;
            w += v != 0;
        }
    }
    return w;
}

template <int Q, bool CNT>
struct ByteWalk {
    [[gnu::aligned(64)]] static void c1(ectx& e, int depth, int start) {
        const int k = e.ki, n = e.n, q = e.q;
        const int smax = (depth == 1) ? 1 : q - 1;
        const bool deeper = depth < e.lev;
        const uint8_t* x = e.b1[depth - 1];
        uint8_t* z = e.b1[depth];
        for (int row = start; row <= k; row++) {
            const uint8_t* y = e.rr[row];
            for (int s = 1; s <= smax; s++) {
                int w = addbytes<Q>(*e.F, n, s, x, y, z);
                if constexpr (CNT) {
                    countword(e, w, z);
                } else if (w <= e.thr) {
                    upd_dist(e, w);
                    if (e.stop) return;
                }
                if (deeper && row < k) {
                    c1(e, depth + 1, row + 1);
                    if (e.stop) return;
                }
            }
        }
    }
    [[gnu::aligned(64)]] static void c2(ectx& e, int depth, int start, int lead) {
        const int k1 = e.k1, n = e.n, q = e.q;
        const int maxd = e.k1 - e.ki;
        const uint8_t* x = e.b2[depth - 1];
        uint8_t* z = e.b2[depth];
        uint8_t* base = e.b1[0];
        for (int row = start; row <= k1; row++) {
            const uint8_t* y = e.rr[row];
            for (int s = 1; s <= q - 1; s++) {
                int w = addbytes<Q>(*e.F, n, s, x, y, z);
                memcpy(base + 1, z + 1, (size_t)n);
                int ld = depth == 1 ? s : lead;
                if constexpr (CNT) {
                    if (ld == 1) countword(e, w, z);
                } else if (w <= e.thr) {
                    upd_dist(e, w);
                }
                if (e.stop) return;
                if (e.lev >= 1) c1(e, 1, 1);
                if (e.stop) return;
                if (depth < maxd && row < k1) c2(e, depth + 1, row + 1, ld);
                if (e.stop) return;
            }
        }
    }
};

// ---- dispatch ------------------------------------------------------------------------

template <class E>
void go(ectx& e, int stage, int depth, int start) {
    if (stage == 1)
        E::c1(e, depth, start);
    else
        E::c2(e, depth, start, 1);
}

template <int Q, bool CNT>
void gobits(ectx& e, int stage, int depth, int start) {
    switch (e.W) {
        case 1: go<PlaneWalk<Q, 1, CNT>>(e, stage, depth, start); break;
        case 2: go<PlaneWalk<Q, 2, CNT>>(e, stage, depth, start); break;
        case 3: go<PlaneWalk<Q, 3, CNT>>(e, stage, depth, start); break;
        case 4: go<PlaneWalk<Q, 4, CNT>>(e, stage, depth, start); break;
        default: go<PlaneWalk<Q, 0, CNT>>(e, stage, depth, start); break;
    }
}

template <bool CNT>
void dispatch(ectx& e, int stage, int depth, int start) {
    if (e.planes) {
        if (e.q == 2) gobits<2, CNT>(e, stage, depth, start);
        else if (e.q == 3) gobits<3, CNT>(e, stage, depth, start);
        else gobits<4, CNT>(e, stage, depth, start);
    } else {
        if (e.q == 5) go<ByteWalk<5, CNT>>(e, stage, depth, start);
        else if (e.q == 7) go<ByteWalk<7, CNT>>(e, stage, depth, start);
        else go<ByteWalk<0, CNT>>(e, stage, depth, start);
    }
}

}  // namespace

// ---- entries of the engine ---------------------------------------------------------------

// Recursion entry with the lead scalar of a second-stage call taken as 1.
void DistEngine::enter(int i, int stage, int depth, int start) {
    ectx e;
    ctxinit(e, work, fld, planes, i);
    if (e.stop) return;
    if (work.setinfo.step == CountStep::counting)
        dispatch<true>(e, stage, depth, start);
    else
        dispatch<false>(e, stage, depth, start);
    ctxdone(e);
}

// Both bases := the zero vector.
void DistEngine::clearbases() {
    int n = work.sysmats[0].cols;
    if (planes) {
        int W = wordsfor(n);
        uint64_t z = work.sysmats[1].q == 3 ? bits.allones : 0;
        for (int x = 1; x <= W; x++) {
            work.sysplanes[0].a[0][x] = work.sysplanes[0].b[0][x] = z;
            work.sysplanes[-1].a[0][x] = work.sysplanes[-1].b[0][x] = z;
        }
    } else {
        memset(work.sysmats[0].a[0] + 1, 0, (size_t)n);
        memset(work.sysmats[-1].a[0] + 1, 0, (size_t)n);
    }
}

bool DistEngine::isfirst(int i, const uint64_t* supp) const {
    const InfoSets& it = work.setinfo;
    return claimbits(i, it.levels.data(), work.pivmask.a, work.pivmask.cols, supp);
}

bool DistEngine::isfirstb(int i, const uint8_t* z) const {
    const InfoSets& it = work.setinfo;
    return claimbytes(i, it.levels.data(), it.k.data(), it.piv, z);
}

void DistEngine::walkset(int depth, int start, int i) { enter(i, 1, depth, start); }
void DistEngine::walkoutside(int depth, int start, int i) { enter(i, 2, depth, start); }

void DistEngine::runfull(int i) {
    work.sysmats[0].cols = work.sysmats[1].cols;
    clearbases();
    if (work.setinfo.stop) return;
    walkset(1, 1, i);
}

void DistEngine::runpartial(int i) {
    work.sysmats[0].cols = work.sysmats[1].cols;
    clearbases();
    if (work.setinfo.stop) return;
    walkset(1, 1, i);
    if (work.setinfo.stop) return;
    if (work.setinfo.k[1] > work.setinfo.k[i]) walkoutside(1, work.setinfo.k[i] + 1, i);
}

void DistEngine::runexhaust() {
    work.setinfo.levels[1] = work.setinfo.k[1];
    work.sysmats[0].cols = work.sysmats[1].cols;
    clearbases();
    if (work.setinfo.stop || work.setinfo.k[1] < 1) return;
    walkset(1, 1, 1);
}
