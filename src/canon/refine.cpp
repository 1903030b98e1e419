// Operations on the ordered partitions of the columns and rows of the matrix:
// root and colour partitions, equitable refinement with its hash, the target
// cell, individualisation, cell numbers and the node invariant.
//
// Every operation depends only on the matrix, the partitions and their cell
// order, never on the element order inside a cell, so isomorphic inputs give
// isomorphic results; the exact orders and tie-breaks below decide which
// matrix becomes canonical and enter stored certificates, so they must not
// change.  Only changed cells of the other side are used as splitters, the
// largest new piece of every split cell is left out (rows: the first
// largest, columns: the last), and a singleton cell is never split.  Cells
// are split in place (a piece occupies a sub-range of its cell, pieces in
// increasing count) and numbered once at the end of a pass.
//
// Two ways to count, with the same cells, hashes and splitter lists.  The
// reference (set_plain) counts every cell of two or more against the
// splitter entry by entry, as the count is defined, with a histogram over
// the counts that occur, keeping the old order of the elements inside each
// piece.  The default follows the lists of ones of the splitter's rows or
// columns (made once per matrix by `use`): only the cells met by a one are
// looked at, only their elements met are moved, and a cell not met, or met
// equally by all its elements, does not split; the elements inside a piece
// may come in another order, which nothing reads (the first path takes the
// smallest column of a cell, not its first).  The hash steps of the cells
// that do not split are still owed: every cell of two or more adds
// K x 1 x size.  The hash is a sum reduced mod m after every step, so all
// steps of one splitter add up to (hash + K x (summed size of the cells of
// two or more) - K x (size of each cell that splits) + K x start x size of
// each of its pieces) mod m, the same value; no step at all leaves the hash
// as it was.  The default path also keeps the state of each side (cell and
// place of every element) from one pass to the next of a refinement.
//
// The splitting steps that read only the workspace are plain functions of
// it; the ones that read the matrix, the lists of ones or the state of a
// pass are members of the labeller.  The hot loops read the workspace
// arrays through local pointers loaded once before the loop, not through the
// labeller at every step.
#if defined(__x86_64__)
#include <immintrin.h>
#endif

#include <bit>
#include <cstdio>
#include <cstring>
#include <utility>

#include "field/field.h"
#include "canon/canon.h"

namespace {

void swap_arrays(Partition& a, Partition& b) {
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

// Splits the cell of W at positions st..st+sz-1 by the counts in piececount (all
// within lo..hi): pieces in increasing count, elements in their old order,
// one hash step per piece into rhash.  Records the pieces' sizes at their
// starts in szat and appends the starts of pieces of two or more to `out`.
// Writes pstart, psize[1..npieces], npieces, npel; scratch piecehist, ppos, pnew.
template <int K, int m>
void split_one(LabelWorkspace& w, Partition& W, int32_t* szat, int st, int sz, int lo, int hi, int32_t* out, int& nout) {
    if (lo == hi) {  // one piece: the whole cell, nothing moves
        hash_step<K, m>(w.rhash, 1, sz);
        w.pstart[1] = 1;
        w.psize[1] = sz;
        w.npieces = 1;
        w.npel = sz;
        out[nout++] = st;
        return;
    }
    const int32_t* cnt = w.piececount;
    int32_t* hist = w.piecehist;
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
void pos_finish(Partition& W, const Partition& nw) {
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
void list_splitters(const int32_t* oldsz, int oldnc, const Partition& W, IndexList& large, IndexList& spl, bool firsttie) {
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
        TALVEN_ASSERT("canon", sum == want, "sum==want");
        if (best) noted[best] = 1;
    }
    spl.cnt = 0;
    for (int c = 1; c <= W.nc; c++)
        if (!noted[c]) spl.el[++spl.cnt] = c;
}

// Drops cells of size 0 (colours no column has).  Refinement removes them
// as soon as any row exists; a matrix without rows needs this.
void squeeze(Partition& p) {
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
// splitter elements q[0..qs-1]; leaves them in piececount[0..sz-1] and returns
// the smallest and largest count in lo, hi.  Reads the matrix.
void Labeller::count_cell(const Partition& P, int st, int sz, const int32_t* q, int qs, int rowside, int& lo, int& hi) {
    int32_t* cnt = work.piececount;
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
void Labeller::pos_setup(const Partition& P, Partition& W, Partition& nw) {
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
void Labeller::splitcells(Partition& W, Partition& nw, const Partition& Q, int s, int rowside) {
    const int qs = Q.sz[s];
    const int32_t* q = Q.el + Q.st[s];
    const int n = ncell;
    int nout = 0;
    for (int k = 0; k < n; k++) {
        int st = nw.st[k], sz = nw.sz[st];
        int lo, hi;
        count_cell(W, st, sz, q, qs, rowside, lo, hi);
        split_one<K, m>(work, W, nw.sz, st, sz, lo, hi, nw.el, nout);
    }
    std::swap(nw.st, nw.el);
    ncell = nout;
}

// splitcells with the hash constants of the side: rows in rownew, columns in
// colnew.
void Labeller::splitcells_any(Partition& W, const Partition& Q, int s, int rowside) {
    if (rowside)
        splitcells<3, 11>(W, work.rownew, Q, s, 1);
    else
        splitcells<5, 33>(W, work.colnew, Q, s, 0);
}

// The state of a side (rows or columns) split by the ones, kept from one
// pass to the next within a refinement: the partition P being split is
// split in place (P.el), nw.sz[p] is the size of its cell starting at
// position p (nw: colnew or rownew), and for every element x posof[x] is
// its position and cellof[x] the start of its cell, or -1 when that cell is
// a singleton (never split, so never counted); n2, s2 the number and
// summed size of the cells of two or more.  Cells of size 0 vanish.
void Labeller::ones_setup(const Partition& P, int rowside) {
    int32_t* cellof = rowside ? work.rcellof : work.ccellof;
    int32_t* posof = rowside ? work.rposof : work.cposof;
    int32_t* szat = rowside ? work.rownew.sz : work.colnew.sz;
    const int32_t* el = P.el;
    int n2 = 0, s2 = 0;
    for (int c = 1; c <= P.nc; c++) {
        const int st = P.st[c], sz = P.sz[c];
        if (sz == 0) continue;
        szat[st] = sz;
        const int at = sz > 1 ? st : -1;
        for (int i = st; i < st + sz; i++) cellof[el[i]] = at, posof[el[i]] = i;
        if (sz > 1) n2++, s2 += sz;
    }
    side_[rowside] = oneside{&P, n2, s2, 0};
}

// Splits every cell of P (set up by ones_setup) against cell s of Q: rows
// (ROW 1) by the ones of columns, hash steps (hash + 3 x start x size) mod
// 11, or columns by the ones of rows, (hash + 5 x start x size) mod 33.
// Following the ones of the splitter, each element x of a cell of two or
// more gets its count in tcnt[x]; the first time x is met it moves to the
// back of its cell, so that the tcell[st] elements met of the cell starting
// at st lie together at its end, and the cell goes on the list tlist.  Only
// the cells met are looked at, and only their elements met: the ones not
// met form the first piece (count 0) as they stand, the ones met are sorted
// by count behind it.  The pieces are those of split_one (increasing
// count) and so are their hash steps, added for all cells of two or more at
// once; the order of the elements inside a piece differs from the
// reference's, which nothing reads (see the top of the file).  Leaves tcnt
// and tcell 0.  Writes P.el, the side's state, rhash; scratch piecehist, ppos,
// pnew.
template <int ROW>
void Labeller::ones_split(Partition& P, const Partition& Q, int s) {
    constexpr int K = ROW ? 3 : 5, m = ROW ? 11 : 33;
    oneside& sd = side_[ROW];
    if (sd.n2 == 0) return;  // no cell of two or more: no hash step, nothing to count
    const int32_t* ptr = ROW ? colptr_.data() : rowptr_.data();
    const int32_t* adj = ROW ? coladj_.data() : rowadj_.data();
    int32_t* szat = ROW ? work.rownew.sz : work.colnew.sz;
    int32_t* cellof = ROW ? work.rcellof : work.ccellof;
    int32_t* posof = ROW ? work.rposof : work.cposof;
    int32_t* cnt = work.tcnt;
    int32_t* tcell = work.tcell;
    int32_t* touched = work.tlist;
    int32_t* el = P.el;
    const int32_t* q = Q.el + Q.st[s];
    const int qs = Q.sz[s];
    int nt = 0;
    for (int j = 0; j < qs; j++) {
        const int y = q[j];
        for (int k = ptr[y], e = ptr[y + 1]; k < e; k++) {
            const int x = adj[k], c = cellof[x];
            if (c < 0 || cnt[x]++ != 0) continue;
            const int t = tcell[c]++;
            touched[nt] = c;
            nt += t == 0;
            const int to = c + szat[c] - 1 - t, from = posof[x], z = el[to];
            el[to] = x, posof[x] = to;
            el[from] = z, posof[z] = from;
        }
    }
    int64_t sum = (int64_t)K * sd.s2;
    int32_t* hist = work.piecehist;
    int32_t* pos = work.ppos;
    int32_t* pnew = work.pnew;
    for (int i = 0; i < nt; i++) {
        const int st = touched[i], sz = szat[st], t = tcell[st], zero = sz - t;
        tcell[st] = 0;
        int32_t* met = el + st + zero;
        // the counts move to piececount (by place in `met`), tcnt goes back to 0
        int32_t* pc = work.piececount;
        int lo = cnt[met[0]], hi = lo;
        for (int k = 0; k < t; k++) {
            const int v = cnt[met[k]];
            cnt[met[k]] = 0;
            pc[k] = v;
            lo = v < lo ? v : lo;
            hi = v > hi ? v : hi;
        }
        if (lo == hi && zero == 0) continue;  // met equally: one piece, its step already in the sum
        sum -= (int64_t)K * sz;
        sd.n2--, sd.s2 -= sz;
        sd.splits++;
        if (zero > 0) {  // the first piece: the elements not met, where they stand
            sum += (int64_t)K * zero;
            szat[st] = zero;
            if (zero > 1)
                sd.n2++, sd.s2 += zero;
            else
                cellof[el[st]] = -1;
        }
        if (lo == hi) {  // the elements met, all with one count: the second piece, where they stand
            sum += (int32_t)((int64_t)K * (zero + 1) * t);
            szat[st + zero] = t;
            const int cell = t > 1 ? st + zero : -1;
            if (t > 1) sd.n2++, sd.s2 += t;
            for (int k = 0; k < t; k++) cellof[met[k]] = cell;
            continue;
        }
        for (int v = lo; v <= hi; v++) hist[v] = 0;
        for (int k = 0; k < t; k++) hist[pc[k]]++;
        int run = 0;
        for (int v = lo; v <= hi; v++) {
            const int size = hist[v];
            if (size == 0) continue;
            pos[v] = run;
            sum += (int32_t)((int64_t)K * (zero + run + 1) * size);
            szat[st + zero + run] = size;
            if (size > 1) sd.n2++, sd.s2 += size;
            run += size;
        }
        for (int k = 0; k < t; k++) pnew[pos[pc[k]]++] = met[k];
        int at = 0;
        for (int v = lo; v <= hi; v++) {
            const int size = hist[v];
            const int cell = size > 1 ? st + zero + at : -1;
            for (int k = at; k < at + size; k++) met[k] = pnew[k], cellof[pnew[k]] = cell, posof[pnew[k]] = st + zero + k;
            at += size;
        }
    }
    work.rhash = (work.rhash + (uint64_t)sum) % (uint64_t)m;
}

// The pass of the default path: P split in place against the cells of Q
// named in inspl (emptied), the side's state set up unless `reuse` finds
// it describing P already; the new cells numbered into W's st / sz, which
// are then exchanged with P's.  Same results as the reference pass below
// (cells, hash, splitter list), elements inside a cell aside.
void Labeller::ones_pass(Partition& P, const Partition& Q, IndexList& inspl, IndexList& outspl, Partition& W, int rowside, bool reuse) {
    outspl.cnt = 0;
    if (inspl.cnt == 0) {  // nothing to split against: P stays
        if (work.allcells) {
            work.allcells = 0;
            for (int c = 1; c <= P.nc; c++) outspl.el[c] = c;
            outspl.cnt = P.nc;
        }
        return;
    }
    if (!reuse || side_[rowside].part != &P) ones_setup(P, rowside);
    side_[rowside].splits = 0;
    for (int k = 1; k <= inspl.cnt; k++) {
        if (rowside)
            ones_split<1>(P, Q, inspl.el[k]);
        else
            ones_split<0>(P, Q, inspl.el[k]);
    }
    inspl.cnt = 0;
    if (!work.allcells && side_[rowside].splits == 0) return;  // nothing split: P stays
    // The new cells by number, old cell by old cell, and the splitter list:
    // the new cells of each old cell that split, but its largest (rows: the
    // first largest, columns: the last).  An old cell that did not split
    // keeps its one cell, which is not listed.
    const int32_t* szat = rowside ? work.rownew.sz : work.colnew.sz;
    int nc = 0, nl = 0;
    for (int o = 1; o <= P.nc; o++) {
        const int st = P.st[o], sz = P.sz[o];
        if (sz == 0) continue;
        if (szat[st] == sz) {
            nc++, W.st[nc] = st, W.sz[nc] = sz;
            continue;
        }
        const int first = nc + 1;
        int best = 0, bsz = -1;
        for (int p = st; p < st + sz; p += szat[p]) {
            const int size = szat[p];
            nc++, W.st[nc] = p, W.sz[nc] = size;
            if (size > bsz || (rowside == 0 && size == bsz)) best = nc, bsz = size;
        }
        for (int c = first; c <= nc; c++)
            if (c != best) outspl.el[++nl] = c;
    }
    W.nc = nc, W.ne = P.ne, W.tc = 0;
    if (work.allcells) {
        work.allcells = 0;
        for (int c = 1; c <= nc; c++) outspl.el[c] = c;
        outspl.cnt = nc;
    } else {
        if (nc == P.nc) return;
        outspl.cnt = nl;
    }
    std::swap(P.st, W.st);
    std::swap(P.sz, W.sz);
    P.nc = W.nc;
}

// Shared body of the two passes.  `P` is split against the cells of `Q`
// named in `inspl` (emptied); the resulting splitter list goes to `outspl`.
// W is the pass's working partition, whose arrays are exchanged with P's
// when P changed; `large` is scratch.  Reads and clears allcells.
void Labeller::pass(Partition& P, const Partition& Q, IndexList& inspl, IndexList& outspl, IndexList& large, Partition& W, int rowside) {
    outspl.cnt = 0;
    if (inspl.cnt == 0) {
        opart_copy(P, W);
    } else {
        Partition& nw = rowside ? work.rownew : work.colnew;
        pos_setup(P, W, nw);
        for (int k = 1; k <= inspl.cnt; k++) splitcells_any(W, Q, inspl.el[k], rowside);
        pos_finish(W, nw);
    }
    inspl.cnt = 0;
    if (work.allcells) {
        work.allcells = 0;
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

void opart_copy(const Partition& F, Partition& T) {
    for (int i = 1; i <= F.ne; i++) T.el[i] = F.el[i];
    for (int c = 1; c <= F.nc; c++) {
        T.st[c] = F.st[c];
        T.sz[c] = F.sz[c];
    }
    T.ne = F.ne;
    T.nc = F.nc;
    T.tc = F.tc;
}

void Labeller::root_cols(Partition& p) const {
    int N = inc->cols;
    for (int i = 1; i <= N; i++) p.el[i] = i;
    p.st[1] = 1;
    p.sz[1] = N;
    p.ne = N;
    p.nc = 1;
    p.tc = 0;
}

void Labeller::root_rows(Partition& p) const {
    int M = inc->rows;
    for (int i = 1; i <= M; i++) p.el[i] = i;
    p.st[1] = 1;
    p.sz[1] = M;
    p.ne = M;
    p.nc = 1;
    p.tc = 0;
}

void Labeller::colour_part(Partition& p) {
    int N = inc->cols;
    const int32_t* col = work.colour;
    int32_t* count = work.colmark;
    int K = 0;
    for (int c = 1; c <= N; c++) {
        // colours outside 1..N would write past the cell arrays
        TALVEN_ASSERT("canon", 1 <= col[c] && col[c] <= N, "colours in 1..N");
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

void Labeller::split_by_cell(Partition& P, const Partition& Q, int s, int rowside) {
    Partition& nw = rowside ? work.rownew : work.colnew;
    if (plain_) {
        pos_setup(P, P, nw);
        splitcells_any(P, Q, s, rowside);
    } else {
        ones_setup(P, rowside);
        if (rowside)
            ones_split<1>(P, Q, s);
        else
            ones_split<0>(P, Q, s);
        side_[rowside].part = nullptr;
    }
    pos_finish(P, nw);
}

void Labeller::rows_pass(Partition& row, const Partition& col, bool reuse) {
    if (plain_)
        pass(row, col, work.colspl, work.rowspl, work.rowlarge, work.roww, 1);
    else
        ones_pass(row, col, work.colspl, work.rowspl, work.roww, 1, reuse);
}

void Labeller::cols_pass(Partition& col, const Partition& row, bool reuse) {
    if (plain_)
        pass(col, row, work.rowspl, work.colspl, work.collarge, work.colw, 0);
    else
        ones_pass(col, row, work.rowspl, work.colspl, work.colw, 0, reuse);
}

void Labeller::refine_rows(Partition& row, const Partition& col) { rows_pass(row, col, false); }

void Labeller::refine_cols(Partition& col, const Partition& row) { cols_pass(col, row, false); }

bool Labeller::watch_out(const Partition& col) const {
    int lo = 1, hi = col.nc;  // the cell holding position watch_.last: the last one starting at or before it
    while (lo < hi) {
        const int mid = (lo + hi + 1) / 2;
        if (col.st[mid] <= watch_.last)
            lo = mid;
        else
            hi = mid - 1;
    }
    const int32_t* el = col.el + col.st[lo];
    for (int i = 0; i < col.sz[lo]; i++)
        if (el[i] == watch_.x || el[i] == watch_.y) return false;
    return true;
}

bool Labeller::refine(Partition& col, Partition& row, Refinement mode) {
    work.rhash = 0;
    work.nodes++;
    if (mode == Refinement::root) {
        for (int c = 1; c <= col.nc; c++) work.colspl.el[c] = c;
        work.colspl.cnt = col.nc;
        work.allcells = 1;
    } else {
        work.allcells = 0;
    }
    bool out = false;
    rows_pass(row, col, false);
    if (mode == Refinement::root) work.allcells = 1;
    cols_pass(col, row, false);
    out = watch_.on && watch_out(col);
    while (work.colspl.cnt != 0 && !out) {
        int rn = row.nc;
        rows_pass(row, col, true);
        if (row.nc == rn || work.rowspl.cnt == 0) break;
        int cn = col.nc;
        cols_pass(col, row, true);
        out = watch_.on && watch_out(col);
        if (col.nc == cn) break;
    }
    work.colspl.cnt = 0;
    work.rowspl.cnt = 0;
    side_[0].part = side_[1].part = nullptr;
    if (mode == Refinement::root) squeeze(col);
    return !out;
}

void Labeller::target_cell(Partition& p) {
    int best = 0, bsz = 0;
    for (int c = 1; c <= p.nc; c++)
        if (p.sz[c] > bsz) {
            best = c;
            bsz = p.sz[c];
        }
    TALVEN_ASSERT("canon", bsz > 0, "a cell with elements to individualise");
    p.tc = best;
}

void Labeller::individualise(const Partition& F, Partition& T, int x) {
    int t = F.tc;
    int st = F.st[t], sz = F.sz[t];
    int xpos = 0;
    for (int i = st; i < st + sz; i++)
        if (F.el[i] == x) xpos = i;
    TALVEN_ASSERT("canon", xpos != 0 && sz >= 2, "x in a target cell of two or more");
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
    work.colspl.el[1] = t;
    work.colspl.cnt = 1;
}

void Labeller::cell_index(const Partition& p, int rowside) {
    int n = rowside ? inc->rows : inc->cols;
    int32_t* idx = rowside ? work.cellrow : work.cellcol;
    int32_t* mark = rowside ? work.rowmark : work.colmark;
    for (int x = 1; x <= n; x++) mark[x] = 0;
    for (int c = 1; c <= p.nc; c++)
        for (int i = p.st[c]; i < p.st[c] + p.sz[c]; i++) {
            int x = p.el[i];
            TALVEN_ASSERT("canon", 1 <= x && x <= n, "element in range");
            idx[x] = c;
            mark[x] = 1;
        }
    for (int x = 1; x <= n; x++)
        TALVEN_ASSERT("canon", mark[x], rowside ? "every row in the partition" : "every column in the partition");
}

int Labeller::node_invariant(int l) {
    cell_index(work.colpart[l]);
    cell_index(work.rowpart[l], 1);
    const int32_t* path = work.path.el;
    const int32_t* cellcol = work.cellcol;
    const int32_t* cellrow = work.cellrow;
    if (!plain_) {  // the same sum, column by column over the path's ones
        const int32_t* ptr = colptr_.data();
        const int32_t* adj = coladj_.data();
        int64_t h = 0;
        for (int i = 1; i <= l; i++) {
            const int p = path[i];
            int64_t part = 0;
            for (int k = ptr[p]; k < ptr[p + 1]; k++) part += cellrow[adj[k]];
            h += part * cellcol[p];
        }
        return (int)(h % 11111);
    }
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

namespace {

// The columns of the non-zero entries of row[1..N], increasing, into out;
// returns their number.  Thirty-two entries at a time where the processor
// has AVX2 (a bit per byte from one compare); then eight at a time: the high
// bit of each byte of `nz` says whether that byte is non-zero (the lowest
// byte is the first entry on a little-endian machine).
// The thirty-two-at-a-time part, compiled for AVX2 whatever the build's
// target and used only where the processor has it (bits.hwavx2): the
// entries before the returned column are done.
#if defined(__x86_64__)
__attribute__((target("avx2"))) int row_ones_avx2(const uint8_t* row, int N, int32_t* out, int& k) {
    int c = 1;
    const __m256i zero = _mm256_setzero_si256();
    for (; c + 31 <= N; c += 32) {
        const __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(row + c));
        uint32_t nz = ~(uint32_t)_mm256_movemask_epi8(_mm256_cmpeq_epi8(v, zero));
        for (; nz != 0; nz &= nz - 1) out[k++] = c + std::countr_zero(nz);
    }
    return c;
}
#endif

int row_ones(const uint8_t* row, int N, int32_t* out) {
    int k = 0, c = 1;
#if defined(__x86_64__)
    if (bits.hwavx2) c = row_ones_avx2(row, N, out, k);
#endif
    if constexpr (std::endian::native == std::endian::little) {
        for (; c + 7 <= N; c += 8) {
            uint64_t w;
            memcpy(&w, row + c, 8);
            uint64_t nz = (((w & 0x7f7f7f7f7f7f7f7full) + 0x7f7f7f7f7f7f7f7full) | w) & 0x8080808080808080ull;
            for (; nz != 0; nz &= nz - 1) out[k++] = c + (std::countr_zero(nz) >> 3);
        }
    }
    for (; c <= N; c++)
        if (row[c]) out[k++] = c;
    return k;
}

}  // namespace

void Labeller::use(const ByteMatrix& m) {
    inc = &m;
    const int M = m.rows, N = m.cols;
    if ((int)rowptr_.size() < M + 2) rowptr_.resize((size_t)M + 2);
    if ((int)colptr_.size() < N + 2) colptr_.resize((size_t)N + 2);
    int32_t* rp = rowptr_.data();
    int32_t* cp = colptr_.data();
    int nnz = 0;
    for (int r = 1; r <= M; r++) {
        if (rowadj_.size() < (size_t)nnz + N + 1) rowadj_.resize(2 * ((size_t)nnz + N + 1));
        rp[r] = nnz;
        nnz += row_ones(m.a[r], N, rowadj_.data() + nnz);
    }
    rp[M + 1] = nnz;
    if (coladj_.size() < (size_t)nnz + 1) coladj_.resize((size_t)nnz + 1);
    const int32_t* ra = rowadj_.data();
    for (int c = 0; c <= N + 1; c++) cp[c] = 0;
    for (int k = 0; k < nnz; k++) cp[ra[k]]++;
    int run = 0;  // cp[c] := first slot of column c, then its next free slot
    for (int c = 1; c <= N; c++) {
        const int ones = cp[c];
        cp[c] = run;
        run += ones;
    }
    int32_t* ca = coladj_.data();
    for (int r = 1; r <= M; r++)
        for (int k = rp[r]; k < rp[r + 1]; k++) ca[cp[ra[k]]++] = r;
    for (int c = N; c >= 2; c--) cp[c] = cp[c - 1];  // back to the first slots
    cp[1] = 0;
    cp[N + 1] = nnz;
    // the bit rows of the leaves (canon.cpp), sized here so that no search allocates
    words_ = (N + 63) / 64;
    const size_t need = (size_t)M * words_ + 1;
    for (auto& b : bits_)
        if (b.size() < need) b.resize(need);
    if (colpos_.size() < (size_t)N + 1) colpos_.resize((size_t)N + 1);
}
