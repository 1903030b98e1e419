// The canonical labelling search over the matrix in use, and the
// labeller's entries to it (`label`, `label_root`, `label_rest`).
//
// Levels: the partition pair at level 1 is the refined root; level l+1 is
// level l with column path[l] individualised in the target cell and refined.
// The first path always takes the smallest column of the target cell; its
// leaf is the first leaf and the first best leaf.  The main loop then tries
// the other candidates level by level, in increasing column number.  The
// canonical leaf is the greatest leaf under (invariant sequence
// nodeinv[1], refhash[1], nodeinv[2], ..., a longer sequence with an equal
// prefix being greater; then the matrix read through the leaf, row by row).
// Nodes whose invariants are already below the best are cut unless they may
// still lead to a leaf equal to the first or the best leaf; two equal leaves
// give an automorphism, which merges the column orbits and lets the search
// jump back.  At the first-path level only the smallest column of each
// orbit is tried; deeper, only the smallest of each orbit of the stored
// automorphisms that fix the path so far.  Running out of levels or of
// automorphism slots stops the search (`end` says which); `canon_code`
// grows the workspace and starts again.
//
// Leaves are compared row by row, the first difference deciding.  The
// reference path reads the matrix entry by entry through both leaves'
// orders; the default path turns each leaf into bit rows (bit j of a row
// set when the row meets the leaf's j-th column, bit 1 the highest), made
// only as far as the comparison gets, so that a comparison is a few word
// compares per row, and keeps those of the best and the first leaf.  The
// two compare alike: the first differing word holds the first differing
// column in its highest differing bit, and the leaf with the one there is
// the greater.
//
// Everything works on one `Labeller` and its own workspace.  The steps of
// the walk itself (roots, first path, node and refinement tests, leaves,
// the main loop) are the static functions of `LabelSteps`, a friend of the
// labeller that drives its private steps and its workspace.  Being local to
// this file and called from one place each, they are inlined into
// `canon_search` (the friend is defined here alone): the walk
// of a symmetric input passes through them at every node, and a call per
// step shows in the running time.  The search keeps its whole position in
// the workspace (level, path, tried, cand), so one loop drives it and
// nothing lives on the call stack between nodes.
#include "canon/canon.h"

#include <algorithm>
#include <climits>
#include <cstdio>
#include <utility>

namespace {

inline int sign(int64_t v) { return v > 0 ? 1 : (v < 0 ? -1 : 0); }

// cand[l] := the elements of the target cell of colpart[l], in cell order.
void set_cand(LabelWorkspace& w, int l) {
    const Partition& p = w.colpart[l];
    IndexList& c = w.cand[l];
    int st = p.st[p.tc], sz = p.sz[p.tc];
    for (int i = 0; i < sz; i++) c.el[i + 1] = p.el[st + i];
    c.cnt = sz;
}

// Keeps in cand[l] only the columns with mcr = 1 (order kept).
void filter_cand(LabelWorkspace& w, int l) {
    IndexList& c = w.cand[l];
    int k = 0;
    for (int i = 1; i <= c.cnt; i++)
        if (w.mcr[c.el[i]]) c.el[++k] = c.el[i];
    c.cnt = k;
}

// The smallest candidate of level l (cand[l]) above the current path[l];
// reads only.
int next_cand(const LabelWorkspace& w, int l) {
    const IndexList& c = w.cand[l];
    int prev = w.path.el[l], best = INT_MAX;
    for (int i = 1; i <= c.cnt; i++)
        if (c.el[i] > prev && c.el[i] < best) best = c.el[i];
    TALVEN_ASSERT("canon", best != INT_MAX, "a next candidate");
    return best;
}

}  // namespace

// The search steps: what the labeller's search does at a node, a leaf and
// along a path.  They are the labeller's private steps, kept apart from the
// class for readability; as a friend they reach its workspace.
struct LabelSteps {
    static LabelWorkspace& ws(Labeller& L) { return L.work; }
    static void first_leaf(Labeller& L, int l);
    static void search_roots(Labeller& L, LabelMode mode);
    static int first_path(Labeller& L);
    static int node_test(Labeller& L, int l);
    static int leaf(Labeller& L, int level);
    static int descend(Labeller& L, int level);
    static int main_loop(Labeller& L);
};

// The first leaf (at level l) becomes the first and the best leaf: copies
// path, nodeinv and refhash of levels 1..l-1 into first* and best*, and
// colpart/rowpart[l] into firstcol, bestcol, firstrow, bestrow; marks every
// first-path level as equal to both (cmpbest 0, eqfirst, eqbest 1), one
// candidate tried; naut 0, fl = level = depth.  On the default path its bit
// rows become those of the first and the best leaf.
void LabelSteps::first_leaf(Labeller& L, int l) {
    LabelWorkspace& w = LabelSteps::ws(L);
    if (!L.plain()) L.leaf_begin(w.colpart[l], w.rowpart[l]), L.leaf_keep(1);
    int d = l - 1;
    w.firstdepth = w.bestdepth = w.curdepth = d;
    for (int i = 1; i <= d; i++) {
        w.firstinv[i] = w.bestinv[i] = w.nodeinv[i];
        w.firstref[i] = w.bestref[i] = w.refhash[i];
        w.firstpath.el[i] = w.bestpath.el[i] = w.path.el[i];
        w.cmpbest[i] = 0;
        w.eqfirst[i] = w.eqbest[i] = 1;
        w.tried[i] = 1;
    }
    w.firstpath.cnt = w.bestpath.cnt = d;
    opart_copy(w.colpart[l], w.firstcol);
    opart_copy(w.colpart[l], w.bestcol);
    opart_copy(w.rowpart[l], w.firstrow);
    opart_copy(w.rowpart[l], w.bestrow);
    w.naut = 0;
    w.fl = d;
    w.level = d;
}

// Refinement test at level l, after the refinement below the node: updates
// eqbest, eqfirst, cmpbest of level l from refhash[l] against bestref and
// firstref; same survival rule as the node test.
int ref_test(LabelWorkspace& w, int l) {
    int rh = w.refhash[l];
    if (w.eqbest[l]) w.eqbest[l] = l <= w.bestdepth && rh == w.bestref[l];
    if (w.eqfirst[l]) w.eqfirst[l] = l <= w.firstdepth && rh == w.firstref[l];
    if (w.cmpbest[l] == 0) w.cmpbest[l] = l > w.bestdepth ? 1 : sign((int64_t)rh - w.bestref[l]);
    return w.cmpbest[l] == 1 || w.eqfirst[l] || w.eqbest[l];
}

// The leaf at level `level` (depth level-1) becomes the best leaf: writes
// bestcol, bestrow (from colpart/rowpart[level]), bestpath, bestinv,
// bestref, bestdepth; the path's levels compare equal to the new best
// (cmpbest 0, eqbest 1), and eqfirst is recomputed for them.
void new_best(LabelWorkspace& w, int level, int depth) {
    opart_copy(w.colpart[level], w.bestcol);
    opart_copy(w.rowpart[level], w.bestrow);
    int run = 1;
    for (int i = 1; i <= depth; i++) {
        w.bestpath.el[i] = w.path.el[i];
        w.bestinv[i] = w.nodeinv[i];
        w.bestref[i] = w.refhash[i];
        w.cmpbest[i] = 0;
        w.eqbest[i] = 1;
        run = run && i <= w.firstdepth && w.nodeinv[i] == w.firstinv[i] && w.refhash[i] == w.firstref[i];
        w.eqfirst[i] = run;
    }
    w.bestpath.cnt = depth;
    w.bestdepth = depth;
}

// Start of a search: root partitions in colpart[1], rowpart[1] (colour
// classes in colour mode, from `colour`), discrete `orbits` with orbidx /
// orbmin, no stored automorphisms (naut 0), depths 0, `running` 1.
void LabelSteps::search_roots(Labeller& L, LabelMode mode) {
    LabelWorkspace& w = LabelSteps::ws(L);
    w.running = true;
    w.bestdepth = w.curdepth = 0;
    w.naut = 0;
    L.root_cols(w.colpart[1]);
    L.root_rows(w.rowpart[1]);
    if (mode == LabelMode::colour) L.colour_part(w.colpart[1]);
    int N = L.matrix().cols;
    Partition& o = w.orbits;
    for (int c = 1; c <= N; c++) {
        o.el[c] = c;
        o.st[c] = c;
        o.sz[c] = 1;
        w.orbmin[c] = 1;
        w.orbidx[c] = c;
    }
    o.ne = o.nc = N;
}

// The first path from the refined root to the first leaf, always taking the
// smallest column of the target cell (the first one, as long as splits
// keep the old order inside cells, as the reference path's do).  Writes
// colpart/rowpart[2..l], cand, path, nodeinv, refhash of the levels it
// passes; returns the leaf's level l, or 0 when the level capacity ran out
// (out of levels).
int LabelSteps::first_path(Labeller& L) {
    LabelWorkspace& w = LabelSteps::ws(L);
    int l = 1;
    while (!discrete(w.colpart[l])) {
        L.target_cell(w.colpart[l]);
        set_cand(w, l);
        int x = w.cand[l].el[1];
        for (int i = 2; i <= w.cand[l].cnt; i++) x = std::min(x, (int)w.cand[l].el[i]);
        L.individualise(w.colpart[l], w.colpart[l + 1], x);
        w.path.el[l] = x;
        w.path.cnt = l;
        w.nodeinv[l] = L.node_invariant(l);
        opart_copy(w.rowpart[l], w.rowpart[l + 1]);
        L.refine(w.colpart[l + 1], w.rowpart[l + 1], Refinement::individualised);
        w.refhash[l] = (int32_t)w.rhash;
        l++;
        if (l >= w.maxlevels - 1) {
            w.end = SearchEnd::out_of_levels;
            return 0;
        }
    }
    return l;
}

// Node test at level l (path[l] chosen): sets nodeinv, eqbest, eqfirst and
// cmpbest of level l and curdepth (leaves cellcol/cellrow of colpart[l],
// rowpart[l]); returns 1 when the node is to be explored: its invariants
// are above the best's, or so far equal to the first or the best leaf's.
int LabelSteps::node_test(Labeller& L, int l) {
    int inv = L.node_invariant(l);
    LabelWorkspace& w = LabelSteps::ws(L);
    w.nodeinv[l] = inv;
    w.curdepth = l;
    int eb = (l == 1 || w.eqbest[l - 1]) && (l == 1 || l <= w.bestdepth) && inv == w.bestinv[l];
    int ef = (l == 1 || w.eqfirst[l - 1]) && (l == 1 || l <= w.firstdepth) && inv == w.firstinv[l];
    int cmp;
    if (l > 1 && w.cmpbest[l - 1] != 0)
        cmp = w.cmpbest[l - 1];
    else if (l > 1 && l > w.bestdepth)
        cmp = 1;
    else
        cmp = sign((int64_t)inv - w.bestinv[l]);
    w.eqbest[l] = eb;
    w.eqfirst[l] = ef;
    w.cmpbest[l] = cmp;
    return cmp == 1 || ef || eb;
}

// Leaf handling: compare with the best leaf (equal: automorphism, merge
// orbits, jump back to where the path leaves the best path, or to fl when
// path[fl] lost its orbit minimality), maybe take it as the new best, then
// compare with the first leaf (equal: automorphism, back to fl).  Writes
// leafcol/leafrow, orbits, the automorphism store and the best leaf as
// those steps do.  Returns the level to continue at, or -1 when the
// automorphism store ran full (out of automorphism slots).
int LabelSteps::leaf(Labeller& L, int level) {
    LabelWorkspace& w = LabelSteps::ws(L);
    int depth = level - 1;
    const Partition& lc = w.colpart[level];
    const Partition& lr = w.rowpart[level];
    int next = level;
    const bool bits = !L.plain();
    if (bits) L.leaf_begin(lc, lr);
    int cb = bits ? L.leaf_against(0) : L.leaf_compare(lc, lr, w.bestcol, w.bestrow);
    if (cb == 0) {
        bool tofl = false;
        if (L.merge_orbits()) {
            if (!L.store_aut()) return -1;
            if (w.orbmin[w.path.el[w.fl]] == 0) {
                next = w.fl;
                tofl = true;
            }
        }
        if (!tofl) next = diverge_level(w.path.el, w.bestpath.el, depth);
    }
    if (w.cmpbest[depth] == 1 || (cb > 0 && w.eqbest[depth] && depth == w.bestdepth)) {
        new_best(w, level, depth);
        if (bits) L.leaf_keep(0);
    }
    if ((bits ? L.leaf_against(1) : L.leaf_compare(lc, lr, w.firstcol, w.firstrow)) == 0) {
        if (L.merge_orbits() && !L.store_aut()) return -1;
        next = w.fl;
    }
    return next;
}

// Descends from level-1 into the child path[level-1]: fresh tried, path and
// cand of `level`, colpart/rowpart[level] individualised and refined,
// refhash of level-1.  Returns 1 when the child survives the refinement test.
int LabelSteps::descend(Labeller& L, int level) {
    LabelWorkspace& w = LabelSteps::ws(L);
    w.tried[level] = 0;
    w.path.el[level] = 0;
    w.cand[level].cnt = 0;
    opart_copy(w.rowpart[level - 1], w.rowpart[level]);
    L.individualise(w.colpart[level - 1], w.colpart[level], w.path.el[level - 1]);
    L.refine(w.colpart[level], w.rowpart[level], Refinement::individualised);
    w.refhash[level - 1] = (int32_t)w.rhash;
    return ref_test(w, level - 1);
}

// The backtracking walk after the first leaf, from `level` down to level 0;
// moves level, fl, tried, path and cand, and everything the nodes and
// leaves write.  Returns 0 when it was aborted (out of levels or of automorphism slots).
int LabelSteps::main_loop(Labeller& L) {
    LabelWorkspace& w = LabelSteps::ws(L);
    int& level = w.level;
    while (level > 0) {
        if (w.tried[level] >= w.cand[level].cnt) {
            level--;
            if (level < w.fl) w.fl = level;
            continue;
        }
        w.tried[level]++;
        w.path.el[level] = next_cand(w, level);
        w.path.cnt = level;
        if (level == w.fl && w.orbmin[w.path.el[level]] == 0) continue;
        if (!node_test(L, level)) continue;
        level++;
        if (level >= w.maxlevels - 1) {
            w.end = SearchEnd::out_of_levels;
            return 0;
        }
        if (!descend(L, level)) {
            level--;
            continue;
        }
        if (!discrete(w.colpart[level])) {
            L.target_cell(w.colpart[level]);
            set_cand(w, level);
            if (level > w.fl && w.naut > 0) {
                L.fix_mcr(level - 1);
                filter_cand(w, level);
            }
            continue;
        }
        w.cand[level].cnt = 0;
        int next = leaf(L, level);
        if (next < 0) return 0;
        level = next;
    }
    return 1;
}


int Labeller::leaf_compare(const Partition& lc, const Partition& lr, const Partition& rc, const Partition& rr) {
    uint8_t* const* a = inc->a;
    const int32_t *lcol = lc.el, *lrow = lr.el, *rcol = rc.el, *rrow = rr.el;
    int M = inc->rows, N = inc->cols;
    for (int i = 1; i <= M; i++) {
        const uint8_t* x = a[lrow[i]];
        const uint8_t* y = a[rrow[i]];
        for (int j = 1; j <= N; j++) {
            int u = x[lcol[j]], v = y[rcol[j]];
            if (u != v) return u > v ? 1 : -1;
        }
    }
    for (int j = 1; j <= N; j++) work.leafcol[lcol[j]] = rcol[j];
    for (int i = 1; i <= M; i++) work.leafrow[lrow[i]] = rrow[i];
    return 0;
}

void Labeller::leaf_begin(const Partition& lc, const Partition& lr) {
    const int N = inc->cols;  // the buffers were sized by `use`
    for (int j = 1; j <= N; j++) colpos_[(size_t)lc.el[j]] = j - 1;
    leafr_ = &lr;
    built_ = 0;
}

// Makes the rows of the leaf in hand (buffer 2) up to row i.
void Labeller::leaf_rows(int i) {
    const int W = words_;
    const int32_t* pos = colpos_.data();
    const int32_t* ptr = rowptr_.data();
    const int32_t* adj = rowadj_.data();
    for (; built_ < i; built_++) {
        uint64_t* row = bits_[2].data() + (size_t)built_ * W;
        const int r = leafr_->el[built_ + 1];
        if (W <= 2) {  // up to 128 columns (most matrices of a run): in registers
            uint64_t a = 0, b = 0;
            for (int k = ptr[r]; k < ptr[r + 1]; k++) {
                const int j = pos[adj[k]];
                const uint64_t bit = 1ull << (63 - (j & 63)), high = 0 - (uint64_t)(j >> 6);
                a |= bit & ~high;
                b |= bit & high;
            }
            row[0] = a;
            if (W == 2) row[1] = b;
            continue;
        }
        for (int w = 0; w < W; w++) row[w] = 0;
        for (int k = ptr[r]; k < ptr[r + 1]; k++) {
            const int j = pos[adj[k]];
            row[j >> 6] |= 1ull << (63 - (j & 63));
        }
    }
}

int Labeller::leaf_against(int reference) {
    const int M = inc->rows, N = inc->cols, W = words_;
    const uint64_t* ref = bits_[reference].data();
    for (int i = 1; i <= M; i++, ref += W) {
        if (i > built_) leaf_rows(std::min(M, i + 7));  // eight rows at a time
        const uint64_t* x = bits_[2].data() + (size_t)(i - 1) * W;
        for (int w = 0; w < W; w++)
            if (x[w] != ref[w]) return x[w] > ref[w] ? 1 : -1;
    }
    const Partition& rc = reference == 0 ? work.bestcol : work.firstcol;
    const Partition& rr = reference == 0 ? work.bestrow : work.firstrow;
    const int32_t* lrow = leafr_->el;
    for (int c = 1; c <= N; c++) work.leafcol[c] = rc.el[colpos_[(size_t)c] + 1];
    for (int i = 1; i <= M; i++) work.leafrow[lrow[i]] = rr.el[i];
    return 0;
}

void Labeller::leaf_keep(int keep) {
    const int M = inc->rows;
    leaf_rows(M);
    const size_t n = (size_t)M * words_;
    const uint64_t* src = bits_[2].data();
    std::copy(src, src + n, bits_[0].data());
    if (keep == 1) std::copy(src, src + n, bits_[1].data());
}

int Labeller::merge_orbits() {
    int N = inc->cols;
    Partition& o = work.orbits;
    Partition& nw = work.neworb;
    int32_t* placed = work.queue;
    int32_t* orbmin = work.orbmin;
    int32_t* orbidx = work.orbidx;
    const int32_t* leafcol = work.leafcol;
    for (int c = 1; c <= N; c++) {
        placed[c] = 0;
        orbmin[c] = 0;
    }
    int pos = 0, nc = 0;
    auto append = [&](int x) {
        int oc = orbidx[x];
        for (int i = o.st[oc]; i < o.st[oc] + o.sz[oc]; i++) {
            nw.el[++pos] = o.el[i];
            placed[o.el[i]] = 1;
        }
    };
    for (int c = 1; c <= N; c++) {
        if (placed[c]) continue;
        int start = pos + 1;
        nc++;
        nw.st[nc] = start;
        orbmin[c] = 1;
        append(c);
        for (int k = start; k <= pos; k++) {
            int y = leafcol[nw.el[k]];
            if (!placed[y]) append(y);
        }
        nw.sz[nc] = pos - start + 1;
    }
    int reduced = nc < o.nc;
    std::swap(o.el, nw.el);
    std::swap(o.st, nw.st);
    std::swap(o.sz, nw.sz);
    o.nc = nc;
    o.ne = N;
    for (int c = 1; c <= nc; c++)
        for (int i = o.st[c]; i < o.st[c] + o.sz[c]; i++) orbidx[o.el[i]] = c;
    return reduced;
}

int Labeller::store_aut() {
    work.naut++;
    if (work.naut >= work.maxauts - 1) {
        work.end = SearchEnd::out_of_automorphisms;
        return 0;
    }
    int N = inc->cols, M = inc->rows;
    IndexList& ac = work.autcol[work.naut];
    IndexList& ar = work.autrow[work.naut];
    for (int c = 1; c <= N; c++) ac.el[c] = work.leafcol[c];
    for (int r = 1; r <= M; r++) ar.el[r] = work.leafrow[r];
    ac.cnt = N;
    ar.cnt = M;
    return 1;
}

void Labeller::fix_mcr(int k) {
    int N = inc->cols;
    const int32_t* path = work.path.el;
    const IndexList* autcol = work.autcol;
    int32_t* mcr = work.mcr;
    int32_t* sel = work.filt;  // the automorphisms that fix the path
    int ns = 0;
    for (int g = 1; g <= work.naut; g++) {
        const int32_t* a = autcol[g].el;
        bool fixes = true;
        for (int i = 1; i <= k && fixes; i++) fixes = a[path[i]] == path[i];
        if (fixes) sel[ns++] = g;
    }
    int32_t* vis = work.visited;
    int32_t* q = work.queue;
    for (int c = 1; c <= N; c++) vis[c] = 0;
    for (int c = 1; c <= N; c++) {
        if (vis[c]) {
            mcr[c] = 0;
            continue;
        }
        mcr[c] = 1;
        vis[c] = 1;
        int qh = 0, qt = 0;
        q[qt++] = c;
        while (qh < qt) {
            int e = q[qh++];
            for (int s = 0; s < ns; s++) {
                int y = autcol[sel[s]].el[e];
                if (!vis[y]) {
                    vis[y] = 1;
                    q[qt++] = y;
                }
            }
        }
    }
}

int diverge_level(const int32_t* path, const int32_t* bestpath, int k) {
    for (int i = 1; i <= k; i++)
        if (path[i] != bestpath[i]) return i;
    zfail("canon", __LINE__, "a path that differs from the best path");
}

bool Labeller::search_start(LabelMode mode) {
    TALVEN_ASSERT("canon", work.maxlevels != 0 && inc->cols < work.maxcols && inc->rows < work.maxrows, "workspace as large as incmat");
    LabelSteps::search_roots(*this, mode);
    const bool done = refine(work.colpart[1], work.rowpart[1], Refinement::root);
    roothash_ = work.rhash;
    return done;
}

void Labeller::search_rest() {
    int l = LabelSteps::first_path(*this);
    if (l == 0) return;
    LabelSteps::first_leaf(*this, l);
    if (!LabelSteps::main_loop(*this)) return;
    if (work.bestdepth >= 1) {
        uint32_t h = 1;
        for (int i = 1; i <= work.bestdepth; i++) h = (h + (uint32_t)work.bestinv[i] * (uint32_t)i) % 1111111u;
        work.certhash = h;
    } else {
        work.certhash = (uint32_t)(roothash_ % 1111111u);
    }
    work.running = false;
}

void Labeller::canon_search(LabelMode mode) {
    search_start(mode);
    search_rest();
}

void Labeller::copy_colours() {
    if (mode_ != LabelMode::colour) return;
    TALVEN_ASSERT("canon", colours_ != nullptr, "colours given");
    for (int c = 1, N = inc->cols; c <= N; c++) work.colour[c] = colours_[c];
}

bool Labeller::root_code(LabelMode mode, const int32_t* colours) {
    mode_ = mode;
    colours_ = colours;
    canon_mem(10, 10);
    work.end = SearchEnd::complete;
    copy_colours();
    return search_start(mode);
}

void Labeller::rest_code() {
    search_rest();
    int L = 10, G = 11;
    while (work.end != SearchEnd::complete) {
        if (work.end == SearchEnd::out_of_levels) {
            L += 10;
            work.retries_levels++;
        }
        if (work.end == SearchEnd::out_of_automorphisms) {
            G += 10;
            work.retries_auts++;
        }
        canon_mem(L, G);
        work.end = SearchEnd::complete;
        copy_colours();
        canon_search(mode_);
    }
}

void Labeller::canon_code(LabelMode mode, const int32_t* colours) {
    root_code(mode, colours);
    rest_code();
}

bool Labeller::root_last_cell_has(int x, int colour) const {
    const Partition& r = work.colpart[1];
    const bool coloured = mode_ == LabelMode::colour;
    for (int c = r.nc; c >= 1; c--) {
        const int32_t* el = r.el + r.st[c];
        if (r.sz[c] == 0 || (coloured && work.colour[el[0]] != colour)) continue;
        for (int i = 0; i < r.sz[c]; i++)
            if (el[i] == x) return true;
        return false;
    }
    return false;
}

void Labeller::label_root(const ByteMatrix& m, const int32_t* colours) {
    use(m);
    if (dump_.on()) dump_.write(m, colours);
    root_code(colours ? LabelMode::colour : LabelMode::plain, colours);
}

void Labeller::label_rest() { rest_code(); }

bool Labeller::label_root_watch(const ByteMatrix& m, const int32_t* colours, int colour, int x, int y) {
    use(m);
    if (dump_.on()) dump_.write(m, colours);
    int last = m.cols;  // the last position of the colour in the colour partition
    if (colours) {
        last = 0;
        for (int c = 1; c <= m.cols; c++) last += colours[c] <= colour;
    }
    watch_ = rootwatch{true, last, x, y};
    const bool done = root_code(colours ? LabelMode::colour : LabelMode::plain, colours);
    watch_.on = false;
    return done && (root_last_cell_has(x, colour) || (y != 0 && root_last_cell_has(y, colour)));
}

void Labeller::label(const ByteMatrix& m, const int32_t* colours) {
    label_root(m, colours);
    label_rest();
}
