// The workspace of a labeller: allocation, release and growth.
//
// Every block is obtained through `cs_tryalloc` (two attempts, null on
// failure): the integer arrays and the arrays of records alike, so that a failure can be
// reported by `canon_mem` through the assertion handler with this unit's
// name.  The allocation walks one table of "what to allocate" in code; the
// release walks the same table, so the two cannot drift apart.  The walk
// takes the workspace it works on, and the labeller's destructor releases
// its own, so no workspace outlives its labeller.
#include "canon/canonmem.h"

#include <cstdlib>
#include <cstring>

#include "canon/canon.h"
#include "containers/containers.h"

namespace {

// One pass over every block of the workspace `w`: `give` allocates
// (returning false at the first failure), `take` releases.  `op` is called
// with the address of the pointer and the capacity the block is sized by.
template <class Op>
bool walk_ints(canonws& w, Op op, int L, int G, int N, int M) {
    int32_t** lv[] = {&w.path.el,   &w.firstpath.el, &w.bestpath.el, &w.tried,   &w.cmpbest,
                      &w.eqfirst,   &w.eqbest,       &w.nodeinv,     &w.refhash, &w.firstinv,
                      &w.firstref,  &w.bestinv,      &w.bestref};
    for (int32_t** p : lv)
        if (!op(p, L)) return false;
    int32_t** cv[] = {&w.colspl.el, &w.collarge.el, &w.leafcol, &w.orbidx,  &w.orbmin,
                      &w.mcr,       &w.cellcol,     &w.colour,  &w.visited, &w.queue,
                      &w.filt,      &w.colmark,     &w.ccellof, &w.cposof};
    for (int32_t** p : cv)
        if (!op(p, N)) return false;
    int32_t** rv[] = {&w.rowspl.el, &w.rowlarge.el, &w.leafrow, &w.cellrow, &w.rowmark, &w.rcellof, &w.rposof};
    for (int32_t** p : rv)
        if (!op(p, M)) return false;
    opart* cp[] = {&w.firstcol, &w.bestcol, &w.orbits, &w.neworb, &w.colw, &w.colnew};
    for (opart* p : cp)
        if (!op(&p->el, N) || !op(&p->st, N) || !op(&p->sz, N)) return false;
    opart* rp[] = {&w.firstrow, &w.bestrow, &w.roww, &w.rownew};
    for (opart* p : rp)
        if (!op(&p->el, M) || !op(&p->st, M) || !op(&p->sz, M)) return false;
    int32_t** pv[] = {&w.pcnt,   &w.phist, &w.ppos, &w.pstart,
                      &w.psize,  &w.pnew,  &w.tcnt,  &w.tcell, &w.tlist};
    for (int32_t** p : pv)
        if (!op(p, N + M)) return false;
    for (int l = 0; l <= L; l++) {
        opart& c = w.colpart[l];
        opart& r = w.rowpart[l];
        if (!op(&c.el, N) || !op(&c.st, N) || !op(&c.sz, N)) return false;
        if (!op(&r.el, M) || !op(&r.st, M) || !op(&r.sz, M)) return false;
        if (!op(&w.cand[l].el, N)) return false;
    }
    for (int g = 0; g <= G; g++)
        if (!op(&w.autcol[g].el, N) || !op(&w.autrow[g].el, M)) return false;
    return true;
}

// An integer array of cap + 1 entries (0..cap), or null.
bool give(int32_t** p, int cap) {
    *p = static_cast<int32_t*>(cs_tryalloc(sizeof(int32_t) * (size_t)(cap + 1)));
    return *p != nullptr;
}

void release(int32_t*& p) {
    ZASSERT("containers", p == nullptr, "NULL==r");
    free(p);
    p = nullptr;
}

// Releases what `give` obtained; stops at the first block never obtained
// (the walk after a failed allocation meets the blocks in the same order).
bool take_partial(int32_t** p, int) {
    if (*p == nullptr) return false;
    release(*p);
    return true;
}

bool take(int32_t** p, int) {
    release(*p);  // a null block stops in the containers' handler
    return true;
}

// Releases the per-level and per-automorphism record arrays of `w` (null
// ones are skipped) and clears `alloc` and the capacities; the integer
// arrays inside the records are released by the caller.
void free_levels(canonws& w) {
    free(w.colpart);
    free(w.rowpart);
    free(w.cand);
    free(w.autcol);
    free(w.autrow);
    w.colpart = w.rowpart = nullptr;
    w.cand = nullptr;
    w.autcol = w.autrow = nullptr;
    w.alloc = 0;
    w.capl = w.capg = w.capn = w.capm = 0;
}

}  // namespace

Labeller::~Labeller() { canon_reset(); }

int Labeller::canon_alloc(int L, int G, int N, int M) {
    canonws& w = cws;
    w.alloc = 1;
    w.capl = L;
    w.capg = G;
    w.capn = N;
    w.capm = M;
    size_t lbytes = sizeof(opart) * (size_t)(L + 1);
    size_t gbytes = sizeof(ivec) * (size_t)(G + 1);
    w.colpart = static_cast<opart*>(cs_tryalloc(lbytes));
    w.rowpart = w.colpart ? static_cast<opart*>(cs_tryalloc(lbytes)) : nullptr;
    w.cand = w.rowpart ? static_cast<ivec*>(cs_tryalloc(sizeof(ivec) * (size_t)(L + 1))) : nullptr;
    w.autcol = w.cand ? static_cast<ivec*>(cs_tryalloc(gbytes)) : nullptr;
    w.autrow = w.autcol ? static_cast<ivec*>(cs_tryalloc(gbytes)) : nullptr;
    if (w.autrow == nullptr) {
        free_levels(w);
        return 0;
    }
    // Null every block first so that a partial allocation can be undone.
    walk_ints(w, [](int32_t** p, int) { *p = nullptr; return true; }, L, G, N, M);
    if (walk_ints(w, give, L, G, N, M)) return 1;
    walk_ints(w, take_partial, L, G, N, M);
    free_levels(w);
    return 0;
}

void Labeller::canon_free(int L, int G, int N, int M) {
    ZASSERT("containers", cws.colpart == nullptr || cws.autrow == nullptr, "NULL==r");
    walk_ints(cws, take, L, G, N, M);
    free_levels(cws);
}

void Labeller::canon_mem(int r0, int r1) {
    ZASSERT("canonmem", inc == nullptr, "no matrix in use");
    int N = inc->cols;
    int M = inc->rows;
    if (!cws.alloc) {
        ZASSERT("canonmem", !canon_alloc(r0 + 1, r1 + 1, N + 1, M + 1), "true");
        return;
    }
    if (N < cws.capn && M < cws.capm && r0 < cws.capl && r1 < cws.capg) return;
    int L = cws.capl, G = cws.capg, cn = cws.capn, cm = cws.capm;
    if (N >= cn) cn = N + 3;
    if (M >= cm) cm = M + 3;
    if (r0 >= L) L += 3;
    if (r1 >= G) G += 3;
    canon_free(cws.capl, cws.capg, cws.capn, cws.capm);
    ZASSERT("canonmem", !canon_alloc(L, G, cn, cm), "true");
}

void Labeller::canon_reset() {
    if (cws.alloc) canon_free(cws.capl, cws.capg, cws.capn, cws.capm);
}
