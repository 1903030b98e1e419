// Generating sets of low-weight codewords: the codewords are taken weight by
// weight from the smallest upward and inserted into an incremental basis
// until it has full rank; the ones kept are those of the weights needed.
//
// The basis keeps every row reduced on its pivot column and pivots only on
// the columns of information set 1, where any basis of the code is
// determined, so each insertion is a handful of row operations on the stored
// form (bit planes for q <= 4, bytes for q = 5, 7) and nothing is recomputed
// for blocks already inserted.  For q <= 4 the stored codewords of one weight
// are also split into classes by a pair invariant (sum of the distances to
// the others of the block as points, mod 101), and each codeword is marked with its
// class when that class raised the rank.  Reordering the store moves row
// pointers, never row contents.  The row arithmetic below is free of state
// (the field is passed in); the class table and the last raising row belong
// to the engine.
#include <cstdio>
#include <cstring>

#include "containers/limits.h"
#include "distance/dist.h"
#include "distance/fieldrow.h"
#include "field/field.h"

// ---- bit-plane row arithmetic ---------------------------------------------------

// Z := Z + s*Y over W words (q = 2, 3, 4 encodings).  No field tables: the
// scalars are handled by the encodings themselves.
static void planeaxpy(int q, int W, uint64_t* za, uint64_t* zb, int s, const uint64_t* ya, const uint64_t* yb) {
    for (int x = 1; x <= W; x++) {
        if (q == 2) {
            za[x] ^= ya[x];
        } else if (q == 4) {
            uint64_t a = ya[x], b = yb[x];
            if (s == 2) {
                uint64_t t = a;
                a = b;
                b = t ^ b;
            } else if (s == 3) {
                uint64_t t = a;
                a = a ^ b;
                b = t;
            }
            za[x] ^= a;
            zb[x] ^= b;
        } else {
            for (int u = 0; u < s; u++) {
                uint64_t pa = za[x], pb = zb[x];
                uint64_t t = (pa ^ ya[x]) | (pb ^ yb[x]);
                zb[x] = (pa & ya[x]) ^ t;
                za[x] = t ^ (pb & yb[x]);
            }
        }
    }
}

// Z := s*Z.
static void planescale(int q, int W, uint64_t* za, uint64_t* zb, int s) {
    if (q == 2 || s == 1) return;
    for (int x = 1; x <= W; x++) {
        uint64_t a = za[x], b = zb[x];
        if (q == 3) {   // s = 2: negation swaps the planes
            za[x] = b;
            zb[x] = a;
        } else if (s == 2) {
            za[x] = b;
            zb[x] = a ^ b;
        } else {
            za[x] = a ^ b;
            zb[x] = a;
        }
    }
}

static inline uint64_t support(int q, uint64_t a, uint64_t b) {
    return q == 2 ? a : (q == 3 ? (a ^ b) : (a | b));
}

// Inserts (ca, cb) into B; true when the rank grew.  Row 0 plane a of B is
// the bit mask of the columns that may become pivots; word 0 of plane a of
// every basis row holds its pivot column.
static bool insertbits(const Field& F, PlaneMatrix& B, const uint64_t* ca, const uint64_t* cb, int W) {
    const int q = F.q;
    int r = B.used;
    uint64_t* ra = B.a[r + 1];
    uint64_t* rb = B.b[r + 1];
    for (int x = 1; x <= W; x++) {
        ra[x] = ca[x];
        rb[x] = q == 2 ? 0 : cb[x];
    }
    for (int i = 1; i <= r; i++) {
        int e = coordval(q, ra, rb, (int)B.a[i][0]);
        if (e) planeaxpy(q, W, ra, rb, F.negtab[e], B.a[i], B.b[i]);
    }
    const uint64_t* mk = B.a[0];
    int p = 0;
    for (int x = 1; x <= W && !p; x++) {
        uint64_t s = support(q, ra[x], rb[x]) & mk[x];
        if (s) p = (x - 1) * 64 + __builtin_ctzll(s) + 1;
    }
    if (!p) return false;
    ra[0] = (uint64_t)p;
    planescale(q, W, ra, rb, F.invtab[coordval(q, ra, rb, p)]);
    for (int i = 1; i <= r; i++) {
        int e = coordval(q, B.a[i], B.b[i], p);
        if (e) planeaxpy(q, W, B.a[i], B.b[i], F.negtab[e], ra, rb);
    }
    B.used = r + 1;
    return true;
}

// ---- byte row arithmetic -----------------------------------------------------------

// Pivot columns of byte basis rows are kept in bytes 0 (low) and -1 (high),
// so every length up to 65535 is safe.
static inline int bytepivot(const uint8_t* row) { return row[0] + 256 * row[-1]; }

static bool insertbytes(const Field& F, ByteMatrix& B, const uint8_t* c, int n) {
    int r = B.used;
    uint8_t* row = B.a[r + 1];
    memcpy(row + 1, c + 1, (size_t)n);
    for (int i = 1; i <= r; i++) {
        int e = row[bytepivot(B.a[i])];
        if (e) rowaxpy(F, row, B.a[i], F.negtab[e], n);
    }
    const uint8_t* mk = B.a[0];
    int p = 1;
    while (p <= n && (row[p] == 0 || mk[p] != 0)) p++;
    if (p > n) return false;
    row[0] = (uint8_t)(p & 255);
    row[-1] = (uint8_t)(p >> 8);
    rowscale(F, row, F.invtab[row[p]], n);
    for (int i = 1; i <= r; i++) {
        int e = B.a[i][p];
        if (e) rowaxpy(F, B.a[i], row, F.negtab[e], n);
    }
    B.used = r + 1;
    return true;
}

// ---- incremental basis ------------------------------------------------------------------

// B := empty, row 0 := the pivot mask of set 1 (bits), and the same mask in
// byte form in sysmats[1] row 0.
void DistEngine::basisinit(PlaneMatrix& B) {
    InfoSets& it = work.setinfo;
    int k1 = it.k[1], n = it.n, W = wordsfor(n), q = work.sysmats[1].q;
    B.ensure(k1 > 0 ? k1 : 1, W, q);
    B.used = 0;
    const uint64_t* mk = work.pivmask.a[1];
    for (int x = 1; x <= W; x++) B.a[0][x] = mk[x];
    uint8_t* m0 = work.sysmats[1].a[0];   // the same mask in byte form
    memset(m0 + 1, 1, (size_t)n);
    for (int u = 1; u <= k1; u++) m0[it.piv[1][u]] = 0;
}

// Inserts stored codewords start..end into B until rank k[1]; with `classes`
// the marks of start..end are set from the classes that raised the rank.
int DistEngine::updbits(PlaneMatrix& B, uint64_t start, uint64_t end, bool classes) {
    InfoSets& it = work.setinfo;
    PlaneMatrix& S = work.wordplanes;
    int W = wordsfor(it.n), k1 = it.k[1];
    if (start == 1) basisinit(B);
    if (classes) {
        for (uint64_t f = start; f <= end; f++) StoredWord(S, f).mark() = 0;
        for (int c = 0; c < 102; c++) classtab[c] = -1;
    }
    for (uint64_t f = start; B.used != k1 && f <= end; f++) {
        if (insertbits(*fld, B, S.a[f], S.b[f], W)) {
            lastraise = f;
            if (classes) {
                uint64_t c = StoredWord(S, f).cls();
                classtab[c < 102 ? c : 101] = B.used;
            }
        }
    }
    if (classes)
        for (uint64_t f = start; f <= end; f++) {
            uint64_t c = StoredWord(S, f).cls();
            StoredWord(S, f).mark() = classtab[c < 102 ? c : 101] >= 1 ? c : 0;
        }
    return B.used;
}

int DistEngine::gensets_update(PlaneMatrix& B, uint64_t start) {
    return updbits(B, start, work.setinfo.found, planes);
}

int DistEngine::gensets_update(ByteMatrix& B, uint64_t start) {
    InfoSets& it = work.setinfo;
    ByteMatrix& S = work.wordbytes;
    int n = it.n, k1 = it.k[1];
    if (start == 1) {
        B.ensure(k1 > 0 ? k1 : 1, n, work.sysmats[1].q);
        B.used = 0;
        memset(B.a[0] + 1, 1, (size_t)n);
        for (int u = 1; u <= k1; u++) B.a[0][it.piv[1][u]] = 0;
    }
    for (uint64_t f = start; B.used != k1 && f <= it.found; f++)
        if (insertbytes(*fld, B, S.a[f], n)) lastraise = f;
    return B.used;
}

// ---- classes ----------------------------------------------------------------------------------

// Distance of two stored codewords as points: the smallest weight of
// x - s*y over the non-zero scalars s.  The store keeps each codeword as one
// scalar multiple, and which one depends on the generator matrix the
// codeword was listed from; a single weight of x - y would change with that
// choice for q = 3, 4 and the classes would differ between equivalent codes.
// The minimum does not depend on the multiples (for q = 2 it is the weight of
// x - y).
static int pairweight(int q, int W, const uint64_t* xa, const uint64_t* xb, const uint64_t* ya, const uint64_t* yb) {
    if (q == 2) {
        int w = 0;
        for (int x = 1; x <= W; x++) w += popcnt64(xa[x] ^ ya[x]);
        return w;
    }
    int w1 = 0, w2 = 0, w3 = 0;
    for (int x = 1; x <= W; x++) {
        if (q == 4) {   // x + y, x + w y, x + (w + 1) y
            uint64_t a = ya[x], b = yb[x];
            w1 += popcnt64((xa[x] ^ a) | (xb[x] ^ b));
            w2 += popcnt64((xa[x] ^ b) | (xb[x] ^ a ^ b));
            w3 += popcnt64((xa[x] ^ a ^ b) | (xb[x] ^ a));
        } else {   // x + y and x - y (-y swaps the planes)
            uint64_t t = (xa[x] ^ ya[x]) | (xb[x] ^ yb[x]);
            uint64_t b = (xa[x] & ya[x]) ^ t;
            uint64_t a = t ^ (xb[x] & yb[x]);
            w1 += popcnt64(a ^ b);
            uint64_t na = yb[x], nb = ya[x];
            t = (xa[x] ^ na) | (xb[x] ^ nb);
            b = (xa[x] & na) ^ t;
            a = t ^ (xb[x] & nb);
            w2 += popcnt64(a ^ b);
        }
    }
    int w = w1 < w2 ? w1 : w2;
    if (q == 4 && w3 < w) w = w3;
    return w;
}

// The scratch row pointers sized for rows 1..m (grow-only).
void DistEngine::permensure(uint64_t m) {
    if (planes) {
        work.perma.ensure((size_t)m + 1);
        work.permb.ensure((size_t)m + 1);
    } else {
        work.permbytes.ensure((size_t)m + 1);
    }
}

// Rewrites store rows lo+1..hi in the order given by the scratch pointers.
void DistEngine::putback(uint64_t lo, uint64_t m) {
    PlaneMatrix& S = work.wordplanes;
    for (uint64_t j = 1; j <= m; j++) {
        S.a[lo + j] = work.perma[j];
        S.b[lo + j] = work.permb[j];
    }
}

void DistEngine::classify(uint64_t lo, uint64_t hi) {
    PlaneMatrix& S = work.wordplanes;
    int q = work.sysmats[1].q, W = wordsfor(work.setinfo.n);
    if (hi <= lo) return;
    uint64_t m = hi - lo;
    for (uint64_t f = lo + 1; f <= hi; f++) StoredWord(S, f).pairsum() = 0;
    if (m < 300) {   // sums stay below 300 * 800, reduced once at the end
        if (q == 2) {
            // For q = 2 the sum over the block of the weights of x + y is,
            // coordinate by coordinate, the number of words that differ from
            // x there: c[p] where x is 0, m - c[p] where x is 1, with c[p]
            // the words that have p.  So the sums take m times the weight
            // instead of m^2 pair weights.
            const int n = work.setinfo.n;
            uint32_t c[MAXLEN + 64];
            memset(c, 0, sizeof(uint32_t) * 64 * (size_t)W);
            uint64_t all = 0;
            for (uint64_t f = lo + 1; f <= hi; f++)
                for (int x = 1; x <= W; x++)
                    for (uint64_t b = S.a[f][x]; b; b &= b - 1) c[(x - 1) * 64 + __builtin_ctzll(b)]++;
            for (int p = 0; p < n; p++) all += c[p];
            for (uint64_t f = lo + 1; f <= hi; f++) {
                uint64_t sum = all;
                for (int x = 1; x <= W; x++)
                    for (uint64_t b = S.a[f][x]; b; b &= b - 1) sum += m - 2 * (uint64_t)c[(x - 1) * 64 + __builtin_ctzll(b)];
                StoredWord(S, f).pairsum() = sum;
            }
        } else {
            for (uint64_t x = lo + 1; x <= hi; x++)
                for (uint64_t y = x + 1; y <= hi; y++) {
                    uint64_t t = (uint64_t)pairweight(q, W, S.a[x], S.b[x], S.a[y], S.b[y]);
                    StoredWord(S, x).pairsum() += t;
                    StoredWord(S, y).pairsum() += t;
                }
        }
        for (uint64_t f = lo + 1; f <= hi; f++) StoredWord(S, f).pairsum() %= 101;
    }
    // The block in order of its values (stable), each word numbered by the
    // rank of its value among the values present.
    permensure(m);
    if (m <= 32) {  // few words: a stable insertion sort beats a pass over all 101 values
        uint64_t order[32];
        for (uint64_t i = 0; i < m; i++) {
            uint64_t f = lo + 1 + i, j = i;
            const uint64_t v = StoredWord(S, f).pairsum();
            for (; j > 0 && StoredWord(S, order[j - 1]).pairsum() > v; j--) order[j] = order[j - 1];
            order[j] = f;
        }
        uint64_t c = 0;
        for (uint64_t j = 0; j < m; j++) {
            const uint64_t f = order[j];
            if (j == 0 || StoredWord(S, f).pairsum() != StoredWord(S, order[j - 1]).pairsum()) c++;
            StoredWord(S, f).cls() = c;
            work.perma[j + 1] = S.a[f];
            work.permb[j + 1] = S.b[f];
        }
    } else {
        uint64_t cnt[101] = {0};
        for (uint64_t f = lo + 1; f <= hi; f++) cnt[StoredWord(S, f).pairsum()]++;
        uint64_t cls[101], pos[101];
        uint64_t c = 0, p = 0;
        for (int v = 0; v < 101; v++) {
            cls[v] = cnt[v] ? ++c : 0;
            pos[v] = p;
            p += cnt[v];
        }
        for (uint64_t f = lo + 1; f <= hi; f++) {
            uint64_t v = StoredWord(S, f).pairsum();
            StoredWord(S, f).cls() = cls[v];
            uint64_t j = ++pos[v];
            work.perma[j] = S.a[f];
            work.permb[j] = S.b[f];
        }
    }
    putback(lo, m);
}

// ---- generating sets after the minimum distance -----------------------------------------------

void DistEngine::gensets_start(ByteMatrix& G, int ub) {
    InfoSets& it = work.setinfo;
    it.keep = true;
    it.lb = 0;
    it.ub = ub;
    infosets(G);
    it.stop = false;
    it.step = CountStep::counting;
    it.found = 0;
    it.done = 0;
    for (int i = 1; i <= it.nsets; i++) it.levels[i] = 0;
    for (int w = 0; w <= G.cols; w++) it.Aspec[w] = 0;
}

void DistEngine::setrows(uint64_t rows) {
    work.wordplanes.rows = (int)rows;
    work.wordbytes.rows = (int)rows;
}

void DistEngine::gensets_dist(PlaneMatrix& Gb, ByteMatrix& G, int d) {
    InfoSets& it = work.setinfo;
    gensets_start(G, d);
    it.exact = false;
    it.wmax = d - 1;
    int rank = 0;
    while (rank != it.k[1] && it.wmax < G.cols) {
        it.exact = true;
        it.wmax++;
        runlevels();
        work.wordplanes.rows = (int)it.found;
        if (it.found != it.done) {
            StoredWord(work.wordplanes, 0).cls() = 0;
            if (planes) classify(it.done, it.found);
            rank = gensets_update(Gb, it.done + 1);
            it.done = it.found;
        }
    }
    setrows(it.found);
}

void DistEngine::gensets_dist_b(ByteMatrix& Gs, ByteMatrix& G) {
    InfoSets& it = work.setinfo;
    gensets_start(G, G.cols);
    it.exact = true;
    it.wmax = 0;
    int rank = 0;
    while (rank != it.k[1] && it.wmax < G.cols) {
        it.wmax++;
        runlevels();
        work.wordbytes.rows = (int)it.found;
        if (it.found != it.done) {
            rank = gensets_update(Gs, it.done + 1);
            it.done = it.found;
        }
    }
    setrows(it.found);
}

// ---- full listings ------------------------------------------------------------------------------

void DistEngine::spectrum_sorted(ByteMatrix& G, int upto) {
    InfoSets& it = work.setinfo;
    spectrum_keep(G, upto);
    int n = G.cols;
    uint64_t s = 0;
    for (int w = 0; w <= n; w++) {
        it.Bspec[w] = s;
        s += it.Aspec[w];
    }
    uint64_t m = it.found;
    permensure(m > 0 ? m : 1);
    int32_t* next = it.nextrow.data();   // next free row per weight
    for (int w = 0; w <= n; w++) next[w] = (int32_t)it.Bspec[w];
    if (planes) {
        PlaneMatrix& S = work.wordplanes;
        for (uint64_t f = 1; f <= m; f++) {
            uint64_t j = (uint64_t)++next[StoredWord(S, f).weight()];
            work.perma[j] = S.a[f];
            work.permb[j] = S.b[f];
        }
        putback(0, m);
    } else {
        ByteMatrix& S = work.wordbytes;
        for (uint64_t f = 1; f <= m; f++) {
            uint64_t j = (uint64_t)++next[bstoredweight(S.a[f])];
            work.permbytes[j] = S.a[f];
        }
        for (uint64_t j = 1; j <= m; j++) S.a[j] = work.permbytes[j];
    }
}

void DistEngine::gensets_all(ByteMatrix& G) {
    InfoSets& it = work.setinfo;
    spectrum_sorted(G);
    ByteMatrix& S = work.wordbytes;
    lastraise = 0;
    gensets_update(work.gbasb, 1);
    if (lastraise == 0) return;
    int w = bstoredweight(S.a[lastraise]);
    uint64_t sum = 0;
    for (int u = 1; u <= w; u++) sum += it.Aspec[u];
    if (sum < (uint64_t)S.rows) {
        S.rows = (int)sum;
        S.used = (int)sum;
    }
    it.wmax = w;
}

void DistEngine::generatingset_fromall_inv(ByteMatrix& G) {
    TALVEN_ASSERT("gensets", planes, "generatingset_fromall_inv works on bit planes");
    const int upto = G.dreq + 1;
    if (upto >= 1 && upto < G.cols && generatingset_upto(G, upto) == work.setinfo.k[1]) return;
    generatingset_upto(G, G.cols);
}

int DistEngine::generatingset_upto(ByteMatrix& G, int upto) {
    InfoSets& it = work.setinfo;
    spectrum_sorted(G, upto);
    PlaneMatrix& S = work.wordplanes;
    for (uint64_t f = 1; f <= it.found; f++) StoredWord(S, f).mark() = 0;
    int rank = 0;
    it.wmax = 0;
    it.done = 0;
    for (;;) {
        uint64_t scan = it.done;
        int w = it.wmax + 1;
        for (; w <= G.cols && rank != it.k[1]; w++) {
            while (scan < it.found && StoredWord(S, scan + 1).weight() == (uint64_t)w) scan++;
            if (scan > it.done) break;
        }
        if (rank == it.k[1] || w > G.cols) break;
        it.wmax = w;
        StoredWord(S, 0).cls() = 0;
        if (planes) classify(it.done, scan);
        rank = updbits(work.gbas, it.done + 1, scan, true);
        it.done = scan;
    }
    S.rows = (int)it.done;
    return rank;
}
