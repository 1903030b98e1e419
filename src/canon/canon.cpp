// The canonical labelling search over `incmat` and its entry `canon_code`.
//
// Levels: the partition pair at level 1 is the refined root; level l+1 is
// level l with column path[l] individualised in the target cell and refined.
// The first path always takes the first (smallest) column of the target
// cell; its leaf is the first leaf and the first best leaf.  The main loop
// then tries the other candidates level by level, in increasing column
// number.  The canonical leaf is the greatest leaf under (invariant sequence
// nodeinv[1], refhash[1], nodeinv[2], ..., a longer sequence with an equal
// prefix being greater; then the matrix read through the leaf, row by row).
// Nodes whose invariants are already below the best are cut unless they may
// still lead to a leaf equal to the first or the best leaf; two equal leaves
// give an automorphism, which merges the column orbits and lets the search
// jump back.  At the first-path level only the smallest column of each
// orbit is tried; deeper, only the smallest of each orbit of the stored
// automorphisms that fix the path so far.  Running out of levels or of
// automorphism slots stops the search with `cstatus` 3 or 1; `canon_code`
// grows the workspace and starts again.
#include "canon/canon.h"

#include <climits>
#include <cstdio>
#include <utility>

bmat incmat;

namespace {

inline int sign(int64_t v) { return v > 0 ? 1 : (v < 0 ? -1 : 0); }

// cand[l] := the elements of the target cell of colpart[l], in cell order.
void set_cand(int l) {
    const opart& p = cws.colpart[l];
    ivec& c = cws.cand[l];
    int st = p.st[p.tc], sz = p.sz[p.tc];
    for (int i = 0; i < sz; i++) c.el[i + 1] = p.el[st + i];
    c.cnt = sz;
}

// Keeps in cand[l] only the columns with mcr = 1 (order kept).
void filter_cand(int l) {
    ivec& c = cws.cand[l];
    int k = 0;
    for (int i = 1; i <= c.cnt; i++)
        if (cws.mcr[c.el[i]]) c.el[++k] = c.el[i];
    c.cnt = k;
}

// The smallest candidate of level l above the current path[l].
int next_cand(int l) {
    const ivec& c = cws.cand[l];
    int prev = cws.path.el[l], best = INT_MAX;
    for (int i = 1; i <= c.cnt; i++)
        if (c.el[i] > prev && c.el[i] < best) best = c.el[i];
    ZASSERT("canon", best == INT_MAX, "no next candidate");
    return best;
}

// Start of a search: root partitions in colpart[1], rowpart[1] (colour
// classes in colour mode, from `cws.colour`), discrete `orbits` with
// `orbidx`/`orbmin`, no stored automorphisms, depths 0.
void search_roots(int mode) {
    cws.running = 1;
    cws.bestdepth = cws.curdepth = 0;
    cws.naut = 0;
    root_cols(cws.colpart[1]);
    root_rows(cws.rowpart[1]);
    if (mode == 1) colour_part(cws.colpart[1]);
    int N = incmat.cols;
    opart& o = cws.orbits;
    for (int c = 1; c <= N; c++) {
        o.el[c] = c;
        o.st[c] = c;
        o.sz[c] = 1;
        cws.orbmin[c] = 1;
        cws.orbidx[c] = c;
    }
    o.ne = o.nc = N;
}

// The first path from the refined root to the first leaf, always taking the
// first column of the target cell.  Writes colpart/rowpart[1..l], cand, path,
// nodeinv, refhash; returns the leaf's level l, or 0 when the level capacity
// ran out (cstatus 3).  `roothash` gets the refinement hash of the root.
int first_path(uint64_t& roothash) {
    refine(cws.colpart[1], cws.rowpart[1], 0);
    roothash = cws.rhash;
    int l = 1;
    while (!discrete(cws.colpart[l])) {
        target_cell(cws.colpart[l]);
        set_cand(l);
        int x = cws.cand[l].el[1];
        individualise(cws.colpart[l], cws.colpart[l + 1], x);
        cws.path.el[l] = x;
        cws.path.cnt = l;
        cws.nodeinv[l] = node_invariant(l);
        opart_copy(cws.rowpart[l], cws.rowpart[l + 1]);
        refine(cws.colpart[l + 1], cws.rowpart[l + 1], 1);
        cws.refhash[l] = (int32_t)cws.rhash;
        l++;
        if (l >= cws.capl - 1) {
            cws.cstatus = 3;
            return 0;
        }
    }
    return l;
}

// The first leaf (at level l) becomes the first and the best leaf: copies
// path, invariants and partitions into first*/best*, marks every first-path
// level as equal to both, one candidate tried, fl = level = depth.
void first_leaf(int l) {
    int d = l - 1;
    cws.firstdepth = cws.bestdepth = cws.curdepth = d;
    for (int i = 1; i <= d; i++) {
        cws.firstinv[i] = cws.bestinv[i] = cws.nodeinv[i];
        cws.firstref[i] = cws.bestref[i] = cws.refhash[i];
        cws.firstpath.el[i] = cws.bestpath.el[i] = cws.path.el[i];
        cws.cmpbest[i] = 0;
        cws.eqfirst[i] = cws.eqbest[i] = 1;
        cws.tried[i] = 1;
    }
    cws.firstpath.cnt = cws.bestpath.cnt = d;
    opart_copy(cws.colpart[l], cws.firstcol);
    opart_copy(cws.colpart[l], cws.bestcol);
    opart_copy(cws.rowpart[l], cws.firstrow);
    opart_copy(cws.rowpart[l], cws.bestrow);
    cws.naut = 0;
    cws.fl = d;
    cws.level = d;
}

// Node test at level l (path[l] chosen): sets nodeinv, eqbest, eqfirst and
// cmpbest of level l (leaves cellcol/cellrow of colpart[l], rowpart[l]);
// returns 1 when the node is to be explored: its invariants are above the
// best's, or so far equal to the first or the best leaf's.
int node_test(int l) {
    int inv = node_invariant(l);
    cws.nodeinv[l] = inv;
    cws.curdepth = l;
    int eb = (l == 1 || cws.eqbest[l - 1]) && (l == 1 || l <= cws.bestdepth) && inv == cws.bestinv[l];
    int ef = (l == 1 || cws.eqfirst[l - 1]) && (l == 1 || l <= cws.firstdepth) && inv == cws.firstinv[l];
    int cmp;
    if (l > 1 && cws.cmpbest[l - 1] != 0)
        cmp = cws.cmpbest[l - 1];
    else if (l > 1 && l > cws.bestdepth)
        cmp = 1;
    else
        cmp = sign((int64_t)inv - cws.bestinv[l]);
    cws.eqbest[l] = eb;
    cws.eqfirst[l] = ef;
    cws.cmpbest[l] = cmp;
    return cmp == 1 || ef || eb;
}

// Refinement test at level l, after the refinement below the node: updates
// eqbest, eqfirst, cmpbest of level l with refhash[l]; same survival rule.
int ref_test(int l) {
    int rh = cws.refhash[l];
    if (cws.eqbest[l]) cws.eqbest[l] = l <= cws.bestdepth && rh == cws.bestref[l];
    if (cws.eqfirst[l]) cws.eqfirst[l] = l <= cws.firstdepth && rh == cws.firstref[l];
    if (cws.cmpbest[l] == 0) cws.cmpbest[l] = l > cws.bestdepth ? 1 : sign((int64_t)rh - cws.bestref[l]);
    return cws.cmpbest[l] == 1 || cws.eqfirst[l] || cws.eqbest[l];
}

// The leaf at level `level` (depth level-1) becomes the best leaf: bestcol,
// bestrow, bestpath, bestinv, bestref, bestdepth; the path's levels compare
// equal to the new best, and eqfirst is recomputed for them.
void new_best(int level, int depth) {
    opart_copy(cws.colpart[level], cws.bestcol);
    opart_copy(cws.rowpart[level], cws.bestrow);
    int run = 1;
    for (int i = 1; i <= depth; i++) {
        cws.bestpath.el[i] = cws.path.el[i];
        cws.bestinv[i] = cws.nodeinv[i];
        cws.bestref[i] = cws.refhash[i];
        cws.cmpbest[i] = 0;
        cws.eqbest[i] = 1;
        run = run && i <= cws.firstdepth && cws.nodeinv[i] == cws.firstinv[i] &&
              cws.refhash[i] == cws.firstref[i];
        cws.eqfirst[i] = run;
    }
    cws.bestpath.cnt = depth;
    cws.bestdepth = depth;
}

// Leaf handling: compare with the best leaf (equal: automorphism, merge
// orbits, jump back to where the path leaves the best path, or to fl when
// path[fl] lost its orbit minimality), maybe take it as the new best, then
// compare with the first leaf (equal: automorphism, back to fl).  Returns
// the level to continue at, or -1 when the automorphism store ran full
// (cstatus 1).
int leaf(int level) {
    int depth = level - 1;
    const opart& lc = cws.colpart[level];
    const opart& lr = cws.rowpart[level];
    int next = level;
    int cb = leaf_compare(lc, lr, cws.bestcol, cws.bestrow);
    if (cb == 0) {
        bool tofl = false;
        if (merge_orbits()) {
            if (!store_aut()) return -1;
            if (cws.orbmin[cws.path.el[cws.fl]] == 0) {
                next = cws.fl;
                tofl = true;
            }
        }
        if (!tofl) next = diverge_level(cws.path.el, cws.bestpath.el, depth);
    }
    if (cws.cmpbest[depth] == 1 || (cb > 0 && cws.eqbest[depth] && depth == cws.bestdepth))
        new_best(level, depth);
    if (leaf_compare(lc, lr, cws.firstcol, cws.firstrow) == 0) {
        if (merge_orbits() && !store_aut()) return -1;
        next = cws.fl;
    }
    return next;
}

// Descends from level-1 into the child path[level-1]: fresh tried, path and
// cand of `level`, partitions of `level` individualised and refined, refhash
// of level-1.  Returns 1 when the child survives the refinement test.
int descend(int level) {
    cws.tried[level] = 0;
    cws.path.el[level] = 0;
    cws.cand[level].cnt = 0;
    opart_copy(cws.rowpart[level - 1], cws.rowpart[level]);
    individualise(cws.colpart[level - 1], cws.colpart[level], cws.path.el[level - 1]);
    refine(cws.colpart[level], cws.rowpart[level], 1);
    cws.refhash[level - 1] = (int32_t)cws.rhash;
    return ref_test(level - 1);
}

// The backtracking walk after the first leaf, until level 0; returns 0 when
// it was aborted (cstatus 3 or 1).
int main_loop() {
    int& level = cws.level;
    while (level > 0) {
        if (cws.tried[level] >= cws.cand[level].cnt) {
            level--;
            if (level < cws.fl) cws.fl = level;
            continue;
        }
        cws.tried[level]++;
        cws.path.el[level] = next_cand(level);
        cws.path.cnt = level;
        if (level == cws.fl && cws.orbmin[cws.path.el[level]] == 0) continue;
        if (!node_test(level)) continue;
        level++;
        if (level >= cws.capl - 1) {
            cws.cstatus = 3;
            return 0;
        }
        if (!descend(level)) {
            level--;
            continue;
        }
        if (!discrete(cws.colpart[level])) {
            target_cell(cws.colpart[level]);
            set_cand(level);
            if (level > cws.fl && cws.naut > 0) {
                fix_mcr(level - 1);
                filter_cand(level);
            }
            continue;
        }
        cws.cand[level].cnt = 0;
        int next = leaf(level);
        if (next < 0) return 0;
        level = next;
    }
    return 1;
}

}  // namespace

int leaf_compare(const opart& lc, const opart& lr, const opart& rc, const opart& rr) {
    int M = incmat.rows, N = incmat.cols;
    for (int i = 1; i <= M; i++) {
        const uint8_t* x = incmat.a[lr.el[i]];
        const uint8_t* y = incmat.a[rr.el[i]];
        for (int j = 1; j <= N; j++) {
            int a = x[lc.el[j]], b = y[rc.el[j]];
            if (a != b) return a > b ? 1 : -1;
        }
    }
    for (int j = 1; j <= N; j++) cws.leafcol[lc.el[j]] = rc.el[j];
    for (int i = 1; i <= M; i++) cws.leafrow[lr.el[i]] = rr.el[i];
    return 0;
}

int merge_orbits() {
    int N = incmat.cols;
    opart& o = cws.orbits;
    opart& nw = cws.neworb;
    int32_t* placed = cws.queue;
    for (int c = 1; c <= N; c++) {
        placed[c] = 0;
        cws.orbmin[c] = 0;
    }
    int pos = 0, nc = 0;
    auto append = [&](int x) {
        int oc = cws.orbidx[x];
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
        cws.orbmin[c] = 1;
        append(c);
        for (int k = start; k <= pos; k++) {
            int y = cws.leafcol[nw.el[k]];
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
        for (int i = o.st[c]; i < o.st[c] + o.sz[c]; i++) cws.orbidx[o.el[i]] = c;
    return reduced;
}

int store_aut() {
    cws.naut++;
    if (cws.naut >= cws.capg - 1) {
        cws.cstatus = 1;
        return 0;
    }
    int N = incmat.cols, M = incmat.rows;
    ivec& ac = cws.autcol[cws.naut];
    ivec& ar = cws.autrow[cws.naut];
    for (int c = 1; c <= N; c++) ac.el[c] = cws.leafcol[c];
    for (int r = 1; r <= M; r++) ar.el[r] = cws.leafrow[r];
    ac.cnt = N;
    ar.cnt = M;
    return 1;
}

void fix_mcr(int k) {
    int N = incmat.cols;
    const int32_t* path = cws.path.el;
    int32_t* sel = cws.filt;  // the automorphisms that fix the path
    int ns = 0;
    for (int g = 1; g <= cws.naut; g++) {
        const int32_t* a = cws.autcol[g].el;
        bool fixes = true;
        for (int i = 1; i <= k && fixes; i++) fixes = a[path[i]] == path[i];
        if (fixes) sel[ns++] = g;
    }
    int32_t* vis = cws.visited;
    int32_t* q = cws.queue;
    for (int c = 1; c <= N; c++) vis[c] = 0;
    for (int c = 1; c <= N; c++) {
        if (vis[c]) {
            cws.mcr[c] = 0;
            continue;
        }
        cws.mcr[c] = 1;
        vis[c] = 1;
        int qh = 0, qt = 0;
        q[qt++] = c;
        while (qh < qt) {
            int e = q[qh++];
            for (int s = 0; s < ns; s++) {
                int y = cws.autcol[sel[s]].el[e];
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
    printf("ERROT GCD%d\n", k);
    zfail("canon", __LINE__, "1");
}

void canon_search(int mode) {
    ZASSERT("canon", !cws.alloc || incmat.cols >= cws.capn || incmat.rows >= cws.capm,
            "workspace smaller than incmat");
    search_roots(mode);
    uint64_t roothash = 0;
    int l = first_path(roothash);
    if (l == 0) return;
    first_leaf(l);
    if (!main_loop()) return;
    if (cws.bestdepth >= 1) {
        uint32_t h = 1;
        for (int i = 1; i <= cws.bestdepth; i++) h = (h + (uint32_t)cws.bestinv[i] * (uint32_t)i) % 1111111u;
        cws.certhash = h;
    } else {
        cws.certhash = (uint32_t)(roothash % 1111111u);
    }
    cws.running = 0;
}

void canon_code(int mode, const int32_t* colours) {
    int N = incmat.cols;
    auto copy_colours = [&]() {
        if (mode != 1) return;
        ZASSERT("canon", colours == nullptr, "colours==NULL");
        for (int c = 1; c <= N; c++) cws.colour[c] = colours[c];
    };
    canon_mem(10, 10);
    cws.cstatus = 0;
    copy_colours();
    canon_search(mode);
    int L = 10, G = 11;
    while (cws.cstatus != 0) {
        if (cws.cstatus == 3) {
            L += 10;
            cws.nretry3++;
        }
        if (cws.cstatus == 1) {
            G += 10;
            cws.nretry1++;
        }
        canon_mem(L, G);
        cws.cstatus = 0;
        copy_colours();
        canon_search(mode);
    }
}
