// Minimum distance and weight checks: the level planning over the
// information sets, and the exhaustive listing for small codes.
//
// After running information set j at level levels[j], every codeword not yet
// met has more than levels[j] non-zero coordinates on the pivots of j (for a set
// of full rank at least one even at level 0).  Summing over the sets gives a
// lower bound on the weight of the codewords not yet met; the planners raise
// one level at a time, cheapest first, until that bound passes the target.
// A set of lower rank is raised only when its extra work (q^deficit times the
// combinations) is below half of the full set's next level.  The planners
// are engine methods on its record; they run once per set and level, so
// reaching the record through the engine costs nothing next to the
// enumeration.
#include "distance/dist.h"

#include <climits>

// ---- work estimates -------------------------------------------------------------

static uint64_t satmul(uint64_t a, uint64_t b) {
    uint64_t r;
    return __builtin_mul_overflow(a, b, &r) ? UINT64_MAX : r;
}

uint64_t cost(int m, int t) {
    if (t <= 0) return 0;
    uint64_t term = (uint64_t)(m / t), sum = term;
    for (int i = 1; i <= t - 1; i++) {
        term = satmul(term, (uint64_t)(m - i > 0 ? m - i : 0)) / (uint64_t)(t - i);
        sum = sum + term < sum ? UINT64_MAX : sum + term;
    }
    return sum;
}

int DistEngine::worthraise(int j) {
    InfoSets& it = work.setinfo;
    int e = it.k[1] - it.k[j];
    if (e > 25) return 0;
    uint64_t qe = 1;
    for (int u = 0; u < e; u++) qe = satmul(qe, (uint64_t)fq);
    uint64_t lhs = satmul(qe, cost(it.k[j], it.levels[j] + 1)) >> 1;
    return lhs < cost(it.k[1], it.levels[1] + 1) ? 1 : 0;
}

// ---- running sets ---------------------------------------------------------------

void DistEngine::runset(int i) {
    InfoSets& it = work.setinfo;
    if (it.levels[i] == 0) return;
    if (it.k[i] == it.k[1])
        runfull(i);
    else
        runpartial(i);
}

void DistEngine::clearlevels() {
    InfoSets& it = work.setinfo;
    for (int i = 1; i <= it.nsets; i++) it.levels[i] = 0;
}

void DistEngine::runlevels() {
    InfoSets& it = work.setinfo;
    TALVEN_ASSERT("dist", it.allocated(), "setinfo.allocated()");
    TALVEN_ASSERT("dist", work.sysmats.allocated(), "sysmats.allocated()");
    int N = it.nsets;
    if (N < 1) return;   // the zero code: nothing to meet
    clearlevels();
    int F = it.nfull, r = F - 1, W = it.wmax;
    if (r >= W) it.levels[1] = 1;
    int j = 0, L = 0;
    while (r < W) {
        if (j == N) j = 0;
        if (j < F) {
            j++;
            r++;
            it.levels[j]++;
            L = r;
        } else if (j < N) {
            j++;
            if (worthraise(j)) {
                F++;
                it.levels[j]++;
                L = r + 1;
                r += 2;
            }
        }
    }
    if (it.lb == 0) it.lb = L;
    for (int i = 1; i <= N; i++)
        if (!it.stop) runset(i);
}

// ---- operations --------------------------------------------------------------------

int DistEngine::mindist(ByteMatrix& G) {
    InfoSets& it = work.setinfo;
    it.keep = false;
    it.step = CountStep::distance;
    it.stop = false;
    infosets(G);
    it.ub = G.cols;
    it.lb = 0;
    if (it.nsets < 1) {   // no non-zero codeword
        it.ub = 0;
        return 0;
    }
    clearlevels();
    int F = it.nfull, N = it.nsets, bound = F, last = F - 1, j = 0;
    while (bound < it.ub) {
        if (j == N) j = 0;
        if (j < F) {
            j++;
            it.lb = bound;
            it.levels[j]++;
            runset(j);
            last = bound;
            bound++;
        } else if (j < N) {
            j++;
            if (worthraise(j)) {
                it.lb = bound;
                F++;
                it.levels[j]++;
                last += 2;
                runset(j);
                bound = last + 1;
            }
        }
    }
    return it.ub;
}

int DistEngine::checkdist(ByteMatrix& G) {
    InfoSets& it = work.setinfo;
    it.keep = false;
    it.stop = false;
    it.step = CountStep::distance;
    it.lb = it.wmax = G.dreq - 1;
    infosets(G);
    clearlevels();
    runlevels();
    return it.stop ? 0 : 1;
}

// Exhaustive listing of G: one systematic form, every codeword up to scalars.
void DistEngine::exhaustive(ByteMatrix& G) {
    InfoSets& it = work.setinfo;
    infoset1(G);
    for (int w = 0; w <= G.cols; w++) it.Aspec[w] = 0;
    work.sysmats[0].cols = G.cols;
}

int DistEngine::checkdist_ex(ByteMatrix& G) {
    InfoSets& it = work.setinfo;
    it.lb = G.dreq - 1;
    it.wmax = G.cols;
    it.keep = it.stop = it.exact = false;
    it.step = CountStep::distance;
    it.found = 0;
    exhaustive(G);
    if (G.used > it.k[1]) return 0;
    runexhaust();
    return it.stop ? 0 : 1;
}

void DistEngine::spectrum_common(ByteMatrix& G, int keep, int upto) {
    InfoSets& it = work.setinfo;
    it.lb = 0;
    it.wmax = upto;
    it.keep = keep != 0;
    it.stop = it.exact = false;
    it.step = CountStep::counting;
    it.found = 0;
    exhaustive(G);
    runexhaust();
    if (keep) {
        if (planes)
            work.wordplanes.rows = (int)it.found;
        else
            work.wordbytes.rows = (int)it.found;
    }
}

void DistEngine::spectrum(ByteMatrix& G) { spectrum_common(G, 0, G.cols); }
void DistEngine::spectrum_keep(ByteMatrix& G, int upto) { spectrum_common(G, 1, upto < 0 ? G.cols : upto); }
