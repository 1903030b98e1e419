// Operations on the ordered partitions of the columns and rows of the matrix:
// root and colour partitions, equitable refinement with its hash, the target
// cell, individualisation, cell numbers and the node invariant.
//
// Every operation depends only on the matrix, the partitions and their cell
// order, never on the element order inside a cell, so isomorphic inputs give
// isomorphic results; the exact orders and tie-breaks below decide which
// matrix becomes canonical and enter stored certificates, so they must not
// change.  Splitting counts with a histogram over the counts that occur
// (within 0..splitter size): one split costs the cell size times the splitter
// size.  Only changed cells of the other side are used as splitters, the
// largest new piece of every split cell is left out (rows: the first
// largest, columns: the last), and a singleton cell is never split.  Cells
// are split in place (a piece occupies a sub-range of its cell); during a
// pass the working partition is kept by positions with a list of its cells of
// two or more, so that a splitter costs only the non-singleton cells, and
// cells are numbered once at the end.
//
// The splitting steps that read only the workspace are plain functions of
// it; the ones that read the matrix or the cell list of the pass under way
// (`ncell`) are members of the labeller.  The hot loops read the matrix
// rows and the workspace arrays through local pointers loaded once before
// the loop, not through the labeller at every step.
#include <cstdio>
#include <utility>

#include "canon/canon.h"

namespace {

void swap_arrays(opart& a, opart& b) {
    std::swap(a.el, b.el);
    std::swap(a.st, b.st);
    std::swap(a.sz, b.sz);
}

// One hash step per piece: product as a signed 32-bit value, added to the
// 64-bit accumulator `h`, reduced mod m.
template <int K, int m>
inline void hash_step(uint64_t& h, int start, int size) {
    int32_t prod = (int32_t)((int64_t)K * start * size);
    h = (h + (uint64_t)(int64_t)prod) % (uint64_t)m;
}

// Splits the cell of W at positions st..st+sz-1 by the counts in pcnt (all
// within lo..hi): pieces in increasing count, elements in their old order,
// one hash step per piece into rhash.  Records the pieces' sizes at their
// starts in szat and appends the starts of pieces of two or more to `out`.
// Writes pstart, psize[1..npieces], npieces, npel; scratch phist, ppos, pnew.
template <int K, int m>
void split_one(canonws& w, opart& W, int32_t* szat, int st, int sz, int lo, int hi, int32_t* out, int& nout) {
    if (lo == hi) {  // one piece: the whole cell, nothing moves
        hash_step<K, m>(w.rhash, 1, sz);
        w.pstart[1] = 1;
        w.psize[1] = sz;
        w.npieces = 1;
        w.npel = sz;
        out[nout++] = st;
        return;
    }
    const int32_t* cnt = w.pcnt;
    int32_t* hist = w.phist;
    int32_t* pos = w.ppos;
    uint64_t h = w.rhash;
    for (int v = lo; v <= hi; v++) hist[v] = 0;
    for (int i = 0; i < sz; i++) hist[cnt[i]]++;
    int run = 0, pieces = 0;
    for (int v = lo; v <= hi; v++) {
        if (hist[v] == 0) continue;
        pos[v] = run;
        w.pstart[++pieces] = run + 1;
        w.psize[pieces] = hist[v];
        hash_step<K, m>(h, run + 1, hist[v]);
        szat[st + run] = hist[v];
        if (hist[v] > 1) out[nout++] = st + run;
        run += hist[v];
    }
    w.rhash = h;
    w.npieces = pieces;
    w.npel = sz;
    int32_t* el = W.el + st;
    int32_t* pnew = w.pnew;
    for (int i = 0; i < sz; i++) pnew[pos[cnt[i]]++] = el[i];
    for (int i = 0; i < sz; i++) el[i] = pnew[i];
}

// Cell numbers of W from its positions (see pos_setup); reads nw.sz only.
void pos_finish(opart& W, const opart& nw) {
    int nc = 0;
    for (int p = 1; p <= W.ne; p += nw.sz[p]) {
        nc++;
        W.st[nc] = p;
        W.sz[nc] = nw.sz[p];
    }
    W.nc = nc;
    W.tc = 0;
}

// After a pass: for every old cell (sizes oldsz[1..oldnc]) note its largest
// new cell in W (first largest when firsttie, else last); the splitter list
// gets every new cell not noted, in increasing order.  large.el is scratch.
void list_splitters(const int32_t* oldsz, int oldnc, const opart& W, ivec& large, ivec& spl, bool firsttie) {
    int32_t* noted = large.el;
    for (int c = 1; c <= W.nc; c++) noted[c] = 0;
    int i = 1;
    for (int o = 1; o <= oldnc; o++) {
        int want = oldsz[o], sum = 0, best = 0, bsz = -1;
        while (sum < want && i <= W.nc) {
            int s = W.sz[i];
            if (s > bsz || (!firsttie && s == bsz)) {
                best = i;
                bsz = s;
            }
            sum += s;
            i++;
        }
        ZASSERT("canon", sum != want, "sum!=want");
        if (best) noted[best] = 1;
    }
    spl.cnt = 0;
    for (int c = 1; c <= W.nc; c++)
        if (!noted[c]) spl.el[++spl.cnt] = c;
}

// Drops cells of size 0 (colours no column has).  Refinement removes them
// as soon as any row exists; a matrix without rows needs this.
void squeeze(opart& p) {
    int nc = 0;
    for (int c = 1; c <= p.nc; c++) {
        if (p.sz[c] == 0) continue;
        nc++;
        p.st[nc] = p.st[c];
        p.sz[nc] = p.sz[c];
    }
    p.nc = nc;
}

}  // namespace

// Counts for the elements of one cell (positions st..st+sz-1 of P) against
// splitter elements q[0..qs-1]; leaves them in pcnt[0..sz-1] and returns
// the smallest and largest count in lo, hi.  Reads the matrix.
void Labeller::count_cell(const opart& P, int st, int sz, const int32_t* q, int qs, int rowside, int& lo, int& hi) {
    int32_t* cnt = cws.pcnt;
    uint8_t* const* a = inc->a;
    const int32_t* el = P.el + st;
    if (rowside) {
        // row x fixed, columns of the splitter
        for (int i = 0; i < sz; i++) {
            const uint8_t* row = a[el[i]];
            int k = 0;
            for (int j = 0; j < qs; j++) k += row[q[j]];
            cnt[i] = k;
        }
    } else {
        // column x: rows of the splitter, one row at a time
        for (int i = 0; i < sz; i++) cnt[i] = 0;
        for (int j = 0; j < qs; j++) {
            const uint8_t* row = a[q[j]];
            for (int i = 0; i < sz; i++) cnt[i] += row[el[i]];
        }
    }
    int l = cnt[0], h = cnt[0];
    for (int i = 1; i < sz; i++) {
        if (cnt[i] < l) l = cnt[i];
        if (cnt[i] > h) h = cnt[i];
    }
    lo = l;
    hi = h;
}

// The working partition W of a pass is kept by positions while it is split
// again and again, in the arrays of the pass's new partition `nw`:
// nw.sz[p] is the size of the cell starting at position p, and
// nw.st[0..ncell-1] lists the starts of the cells of two or more in
// increasing order (nw.el takes the next list).  Cell numbers are only needed
// at the end of a pass, so a split never walks the singleton cells.  Cells of
// size 0 have no position and vanish, as they do in a split.  Writes W.el,
// W.ne, nw.sz, nw.st and ncell.
void Labeller::pos_setup(const opart& P, opart& W, opart& nw) {
    if (&P != &W)
        for (int i = 1; i <= P.ne; i++) W.el[i] = P.el[i];
    int n = 0;
    for (int c = 1; c <= P.nc; c++) {
        if (P.sz[c] == 0) continue;
        nw.sz[P.st[c]] = P.sz[c];
        if (P.sz[c] > 1) nw.st[n++] = P.st[c];
    }
    ncell = n;
    W.ne = P.ne;
}

// Splits every cell of W (position form in nw, ncell cells of two or more)
// against cell s of Q; the cell list and ncell become those of the pieces.
template <int K, int m>
void Labeller::pos_split(opart& W, opart& nw, const opart& Q, int s, int rowside) {
    const int qs = Q.sz[s];
    const int32_t* q = Q.el + Q.st[s];
    const int n = ncell;
    int nout = 0;
    for (int k = 0; k < n; k++) {
        int st = nw.st[k], sz = nw.sz[st];
        int lo, hi;
        count_cell(W, st, sz, q, qs, rowside, lo, hi);
        split_one<K, m>(cws, W, nw.sz, st, sz, lo, hi, nw.el, nout);
    }
    std::swap(nw.st, nw.el);
    ncell = nout;
}

// pos_split with the hash constants of the side: rows in rownew, columns in
// colnew.
void Labeller::pos_split_any(opart& W, const opart& Q, int s, int rowside) {
    if (rowside)
        pos_split<3, 11>(W, cws.rownew, Q, s, 1);
    else
        pos_split<5, 33>(W, cws.colnew, Q, s, 0);
}

// Shared body of the two passes.  `P` is split against the cells of `Q`
// named in `inspl` (emptied); the resulting splitter list goes to `outspl`.
// W is the pass's working partition, whose arrays are exchanged with P's
// when P changed; `large` is scratch.  Reads and clears allcells.
void Labeller::pass(opart& P, const opart& Q, ivec& inspl, ivec& outspl, ivec& large, opart& W, int rowside) {
    outspl.cnt = 0;
    if (inspl.cnt == 0) {
        opart_copy(P, W);
    } else {
        opart& nw = rowside ? cws.rownew : cws.colnew;
        pos_setup(P, W, nw);
        for (int k = 1; k <= inspl.cnt; k++) pos_split_any(W, Q, inspl.el[k], rowside);
        pos_finish(W, nw);
    }
    inspl.cnt = 0;
    if (cws.allcells) {
        cws.allcells = 0;
        for (int c = 1; c <= W.nc; c++) outspl.el[c] = c;
        outspl.cnt = W.nc;
        swap_arrays(P, W);
        P.nc = W.nc;
        P.ne = W.ne;
        return;
    }
    if (W.nc == P.nc) return;
    list_splitters(P.sz, P.nc, W, large, outspl, rowside != 0);
    swap_arrays(P, W);
    P.nc = W.nc;
    P.ne = W.ne;
}

void opart_copy(const opart& F, opart& T) {
    for (int i = 1; i <= F.ne; i++) T.el[i] = F.el[i];
    for (int c = 1; c <= F.nc; c++) {
        T.st[c] = F.st[c];
        T.sz[c] = F.sz[c];
    }
    T.ne = F.ne;
    T.nc = F.nc;
    T.tc = F.tc;
}

void Labeller::root_cols(opart& p) const {
    int N = inc->cols;
    for (int i = 1; i <= N; i++) p.el[i] = i;
    p.st[1] = 1;
    p.sz[1] = N;
    p.ne = N;
    p.nc = 1;
    p.tc = 0;
}

void Labeller::root_rows(opart& p) const {
    int M = inc->rows;
    for (int i = 1; i <= M; i++) p.el[i] = i;
    p.st[1] = 1;
    p.sz[1] = M;
    p.ne = M;
    p.nc = 1;
    p.tc = 0;
}

void Labeller::colour_part(opart& p) {
    int N = inc->cols;
    const int32_t* col = cws.colour;
    int32_t* count = cws.colmark;
    int K = 0;
    for (int c = 1; c <= N; c++) {
        // colours outside 1..N would write past the cell arrays
        ZASSERT("canon", col[c] < 1 || col[c] > N, "colour<1||colour>N");
        if (col[c] > K) K = col[c];
    }
    for (int k = 1; k <= K; k++) count[k] = 0;
    for (int c = 1; c <= N; c++) count[col[c]]++;
    int run = 1;
    for (int k = 1; k <= K; k++) {
        p.st[k] = run;
        p.sz[k] = count[k];
        count[k] = run;  // next free position of colour k
        run += p.sz[k];
    }
    for (int c = 1; c <= N; c++) p.el[count[col[c]]++] = c;
    p.ne = N;
    p.nc = K;
    p.tc = 0;
}

void Labeller::split_by_cell(opart& P, const opart& Q, int s, int rowside) {
    opart& nw = rowside ? cws.rownew : cws.colnew;
    pos_setup(P, P, nw);
    pos_split_any(P, Q, s, rowside);
    pos_finish(P, nw);
}

void Labeller::refine_rows(opart& row, const opart& col) {
    pass(row, col, cws.colspl, cws.rowspl, cws.rowlarge, cws.roww, 1);
}

void Labeller::refine_cols(opart& col, const opart& row) {
    pass(col, row, cws.rowspl, cws.colspl, cws.collarge, cws.colw, 0);
}

void Labeller::refine(opart& col, opart& row, Refinement mode) {
    cws.rhash = 0;
    cws.nodes++;
    if (mode == Refinement::root) {
        for (int c = 1; c <= col.nc; c++) cws.colspl.el[c] = c;
        cws.colspl.cnt = col.nc;
        cws.allcells = 1;
    } else {
        cws.allcells = 0;
    }
    refine_rows(row, col);
    if (mode == Refinement::root) cws.allcells = 1;
    refine_cols(col, row);
    while (cws.colspl.cnt != 0) {
        int rn = row.nc;
        refine_rows(row, col);
        if (row.nc == rn || cws.rowspl.cnt == 0) break;
        int cn = col.nc;
        refine_cols(col, row);
        if (col.nc == cn) break;
    }
    cws.colspl.cnt = 0;
    cws.rowspl.cnt = 0;
    if (mode == Refinement::root) squeeze(col);
}

void Labeller::target_cell(opart& p) {
    int best = 0, bsz = 0;
    for (int c = 1; c <= p.nc; c++)
        if (p.sz[c] > bsz) {
            best = c;
            bsz = p.sz[c];
        }
    ZASSERT("canon", bsz <= 0, "a cell with elements to individualise");
    p.tc = best;
}

void Labeller::individualise(const opart& F, opart& T, int x) {
    int t = F.tc;
    int st = F.st[t], sz = F.sz[t];
    int xpos = 0;
    for (int i = st; i < st + sz; i++)
        if (F.el[i] == x) xpos = i;
    ZASSERT("canon", xpos == 0 || sz < 2, "x not in a target cell of two or more");
    for (int i = 1; i <= F.ne; i++) T.el[i] = F.el[i];
    T.el[xpos] = F.el[st];
    T.el[st] = x;
    for (int c = 1; c < t; c++) {
        T.st[c] = F.st[c];
        T.sz[c] = F.sz[c];
    }
    T.st[t] = st;
    T.sz[t] = 1;
    T.st[t + 1] = st + 1;
    T.sz[t + 1] = sz - 1;
    for (int c = t + 1; c <= F.nc; c++) {
        T.st[c + 1] = F.st[c];
        T.sz[c + 1] = F.sz[c];
    }
    T.ne = F.ne;
    T.nc = F.nc + 1;
    T.tc = 0;
    cws.colspl.el[1] = t;
    cws.colspl.cnt = 1;
}

void Labeller::cell_index(const opart& p, int rowside) {
    int n = rowside ? inc->rows : inc->cols;
    int32_t* idx = rowside ? cws.cellrow : cws.cellcol;
    int32_t* mark = rowside ? cws.rowmark : cws.colmark;
    for (int x = 1; x <= n; x++) mark[x] = 0;
    for (int c = 1; c <= p.nc; c++)
        for (int i = p.st[c]; i < p.st[c] + p.sz[c]; i++) {
            int x = p.el[i];
            ZASSERT("canon", x < 1 || x > n, "element out of range");
            idx[x] = c;
            mark[x] = 1;
        }
    for (int x = 1; x <= n; x++)
        ZASSERT("canon", !mark[x], rowside ? "every row in the partition" : "every column in the partition");
}

int Labeller::node_invariant(int l) {
    cell_index(cws.colpart[l]);
    cell_index(cws.rowpart[l], 1);
    const int32_t* path = cws.path.el;
    const int32_t* cellcol = cws.cellcol;
    const int32_t* cellrow = cws.cellrow;
    uint8_t* const* a = inc->a;
    int M = inc->rows;
    int64_t h = 0;
    for (int r = 1; r <= M; r++) {
        const uint8_t* row = a[r];
        int64_t cr = cellrow[r];
        for (int i = 1; i <= l; i++) {
            int p = path[i];
            if (row[p]) h = (h + cellcol[p] * cr) % 11111;
        }
    }
    return (int)h;
}
