// The workspace of a labeller: its sizing and growth.
//
// The integer arrays are handed out by one table in code (`each_array`),
// walked twice: once to count them, once to make each as a block of its own
// in the workspace's `ArraySet` (a block each, so that the address sanitizer
// sees the end of every array).  The per-level and per-automorphism records
// come from two `Buffer`s.  All of it is owned by the workspace and released
// with it or at the next growth; running out of memory stops in the
// assertion handler with a message naming the labeller's workspace.
#include "canon/canonmem.h"

#include "canon/canon.h"

namespace {

// One pass over every integer array of the workspace `w`, always in the same
// order: op(address of the view, capacity the array is sized by).
template <class Op>
void each_array(LabelWorkspace& w, Op op, int L, int G, int N, int M) {
    auto part = [&op](Partition& p, int cap) {
        op(&p.el, cap);
        op(&p.st, cap);
        op(&p.sz, cap);
    };
    for (int32_t** p : {&w.path.el, &w.firstpath.el, &w.bestpath.el, &w.tried, &w.cmpbest, &w.eqfirst, &w.eqbest,
                        &w.nodeinv, &w.refhash, &w.firstinv, &w.firstref, &w.bestinv, &w.bestref})
        op(p, L);
    for (int32_t** p : {&w.colspl.el, &w.collarge.el, &w.leafcol, &w.orbidx, &w.orbmin, &w.mcr, &w.cellcol,
                        &w.colour, &w.visited, &w.queue, &w.filt, &w.colmark, &w.ccellof, &w.cposof})
        op(p, N);
    for (int32_t** p : {&w.rowspl.el, &w.rowlarge.el, &w.leafrow, &w.cellrow, &w.rowmark, &w.rcellof, &w.rposof})
        op(p, M);
    for (Partition* p : {&w.firstcol, &w.bestcol, &w.orbits, &w.neworb, &w.colw, &w.colnew}) part(*p, N);
    for (Partition* p : {&w.firstrow, &w.bestrow, &w.roww, &w.rownew}) part(*p, M);
    for (int32_t** p : {&w.piececount, &w.piecehist, &w.ppos, &w.pstart, &w.psize, &w.pnew, &w.tcnt, &w.tcell, &w.tlist})
        op(p, N + M);
    for (int l = 0; l <= L; l++) {
        part(w.colpart[l], N);
        part(w.rowpart[l], M);
        op(&w.cand[l].el, N);
    }
    for (int g = 0; g <= G; g++) {
        op(&w.autcol[g].el, N);
        op(&w.autrow[g].el, M);
    }
}

}  // namespace

void Labeller::canon_size(int L, int G, int N, int M) {
    LabelWorkspace& w = work;
    const char* what = "no memory for the workspace of a labelling";
    w.parts.release();
    w.lists.release();
    w.parts.ensure(2 * (size_t)(L + 1), what);
    w.lists.ensure((size_t)(L + 1) + 2 * (size_t)(G + 1), what);
    w.colpart = w.parts.data();
    w.rowpart = w.colpart + L + 1;
    w.cand = w.lists.data();
    w.autcol = w.cand + L + 1;
    w.autrow = w.autcol + G + 1;
    size_t count = 0;
    each_array(w, [&count](int32_t**, int) { count++; }, L, G, N, M);
    w.arrays.reserve(count, what);
    each_array(w, [&w](int32_t** p, int cap) { *p = w.arrays.add((size_t)cap + 1); }, L, G, N, M);
    w.maxlevels = L;
    w.maxauts = G;
    w.maxcols = N;
    w.maxrows = M;
}

void Labeller::canon_mem(int r0, int r1) {
    TALVEN_ASSERT("canonmem", inc != nullptr, "a matrix in use");
    int N = inc->cols;
    int M = inc->rows;
    if (work.maxlevels == 0) return canon_size(r0 + 1, r1 + 1, N + 1, M + 1);
    if (N < work.maxcols && M < work.maxrows && r0 < work.maxlevels && r1 < work.maxauts) return;
    int L = work.maxlevels, G = work.maxauts, cn = work.maxcols, cm = work.maxrows;
    if (N >= cn) cn = N + 3;
    if (M >= cm) cm = M + 3;
    if (r0 >= L) L += 3;
    if (r1 >= G) G += 3;
    canon_size(L, G, cn, cm);
}
