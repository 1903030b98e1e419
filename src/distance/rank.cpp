// Reduced forms, dual generator matrices, information sets and bit-plane
// packing, and the engine's life cycle (field choice, release).  All work is
// plain Gaussian elimination over the engine's field on byte rows (m <= 19
// rows, n <= 799 columns, so this is never the costly part); the enumeration
// that follows reuses what is built here for every step, so everything is
// computed once per code into grow-only containers of the engine's `work`.
#include <cstring>

#include "distance/dist.h"
#include "distance/fieldrow.h"
#include "field/field.h"

// ---- life cycle ---------------------------------------------------------------

DistEngine::DistEngine() {
    for (int& c : classtab) c = -1;
}

void DistEngine::usefield(int q, bool bitplanes) {
    TALVEN_ASSERT("dist", fieldok(q), "fieldok(q)");
    TALVEN_ASSERT("dist", !bitplanes || q <= 4, "bit planes only for q <= 4");
    fld = &gf(q);
    fq = q;
    planes = bitplanes;
}

void DistEngine::reset() {
    work = DistWorkspace{};
    lastraise = 0;
}

static int settslots(int r, int c, int mode) { return mode == 3 ? 3 : c / (r > 0 ? r : 1) + 4; }

void InfoSets::ensure(int r, int c, int mode) {
    const int tt = settslots(r, c, mode);
    if (!(pivs_.allocated() && c <= capc_ && r <= capr_ && tt <= capt_)) {
        pivs_.make(tt, r, "no memory for the information sets");
        k = Buffer<int32_t>{};
        levels = Buffer<int32_t>{};
        Aspec = Buffer<uint64_t>{};
        Bspec = Buffer<uint64_t>{};
        nextrow = Buffer<int32_t>{};
        k.ensure((size_t)tt + 1);
        levels.ensure((size_t)tt + 1);
        Aspec.ensure((size_t)c + 1);
        Bspec.ensure((size_t)c + 1);
        nextrow.ensure((size_t)c + 1);
        piv = pivs_.row;
        capc_ = c;
        capr_ = r;
        capt_ = tt;
    }
    t = tt;
}

// ---- elimination helpers ----------------------------------------------------

// Clears column p of `row` with pivot row `piv` (pivot entry 1).
static inline void clearcol(const Field& F, uint8_t* row, const uint8_t* piv, int p, int n) {
    int e = row[p];
    if (e) rowaxpy(F, row, piv, F.negtab[e], n);
}

// Lowest column p in 1..n with row[p] != 0 and, when `free` is given,
// free[p] = 0xff (a column no information set has taken); n + 1 if none.
// Eight columns per step.
static inline int firstnz(const uint8_t* row, const uint8_t* free, int n) {
    int p = 1;
    for (; p + 7 <= n; p += 8) {
        uint64_t a, b = ~(uint64_t)0;
        memcpy(&a, row + p, 8);
        if (free) memcpy(&b, free + p, 8);
        if (a & b) return p + __builtin_ctzll(a & b) / 8;
    }
    for (; p <= n; p++)
        if (row[p] && (!free || free[p])) return p;
    return n + 1;
}

// ---- reduced echelon form ---------------------------------------------------

// Column permutation of the systematic copy: pivots first (in pivot order),
// then the rest in increasing order.  `piv` need not be increasing; `ispiv`
// is scratch of n + 1 bytes.
static void rref_sys(ByteMatrix& dst, ByteMatrix& out, const int* piv, int rank, uint8_t* ispiv) {
    int n = dst.cols, m = dst.rows;
    out.ensure(m, n, dst.q);
    memset(ispiv + 1, 0, (size_t)n);
    for (int i = 1; i <= rank; i++) ispiv[piv[i]] = 1;
    for (int r = 1; r <= m; r++) {
        int c = 1;
        for (int i = 1; i <= rank; i++) out.a[r][c++] = dst.a[r][piv[i]];
        for (int j = 1; j <= n; j++)
            if (!ispiv[j]) out.a[r][c++] = dst.a[r][j];
    }
    out.used = rank;
}

// Dual generator matrix from the reduced rows 1..rank of dst.  `piv` lists
// the pivot columns in pivot order (not necessarily increasing); `ispiv` is
// scratch of n + 1 bytes.
static void rref_dual(const Field& F, ByteMatrix& dst, ByteMatrix& out, const int* piv, int rank, uint8_t* ispiv) {
    int n = dst.cols;
    int nr = n - rank;
    const int* neg = F.negtab;
    out.ensure(nr, n, dst.q);
    memset(ispiv + 1, 0, (size_t)n);
    for (int i = 1; i <= rank; i++) ispiv[piv[i]] = 1;
    int t = 0;
    for (int c = 1; c <= n; c++) {
        if (ispiv[c]) continue;
        t++;
        uint8_t* o = out.a[t];
        memset(o + 1, 0, (size_t)n);
        o[c] = 1;
        for (int i = 1; i <= rank; i++) o[piv[i]] = (uint8_t)neg[dst.a[i][c]];
    }
    out.used = nr;
}

int DistEngine::rref(ByteMatrix& dst, ByteMatrix& src, ByteMatrix* out, Rref mode) {
    TALVEN_ASSERT("rank", src.q == fq, "src.q==field.q");
    const Field& F = *fld;
    int n = src.cols, m = src.rows, q = src.q;
    work.rscr.ensure(m > 0 ? m : 1, n, q);
    ByteMatrix* from = &src;
    if (&dst == &src) {   // keep the unreduced rows for the dependent ones
        for (int r = 1; r <= m; r++) memcpy(work.rscr.a[r] + 1, src.a[r] + 1, (size_t)n);
        from = &work.rscr;
    } else {
        dst.ensure(m, n, q);
    }
    ByteMatrix& s = *from;
    work.pivbuf.ensure((size_t)m + 2);   // grow-only: no heap use per call
    int* pv = work.pivbuf.data();
    int* dep = pv + 0;   // dependent source rows share the tail of the list
    int ndep = 0;
    int r = 1;
    for (int j = 1; j <= m; j++) {
        uint8_t* row = dst.a[r];
        if (row != s.a[j]) memcpy(row + 1, s.a[j] + 1, (size_t)n);
        for (int i = 1; i < r; i++) clearcol(F, row, dst.a[i], pv[i], n);
        int p = firstnz(row, nullptr, n);
        if (p > n) {
            dep[m - ndep] = j;   // stored from the top end of the list
            ndep++;
            continue;
        }
        pv[r] = p;
        rowscale(F, row, F.invtab[row[p]], n);
        for (int i = 1; i < r; i++) clearcol(F, dst.a[i], row, p, n);
        r++;
    }
    int rank = r - 1;
    for (int t = 0; t < ndep; t++) memcpy(dst.a[rank + 1 + t] + 1, s.a[dep[m - t]] + 1, (size_t)n);
    dst.used = rank;
    dst.q = q;
    // rscr is at least n wide here; its row 0 is free
    if (mode == Rref::sys && out) rref_sys(dst, *out, pv, rank, work.rscr.a[0]);
    if (mode == Rref::dual && out) rref_dual(F, dst, *out, pv, rank, work.rscr.a[0]);
    return rank;
}

void DistEngine::dualmat(ByteMatrix& out, ByteMatrix& gm) { rref(work.wcopy, gm, &out, Rref::dual); }

// ---- systematic form on the free columns --------------------------------------

// sysform for q = 2 and at most 64 columns: the same steps on rows packed
// into one word each (an exclusive or clears a column), unpacked at the end.
int DistEngine::sysform2(ByteMatrix& dst, ByteMatrix& src, int kk, int* pv) {
    const int n = src.cols;
    uint8_t* colfree = work.colfree.a[0];
    uint64_t freebits = 0, rb[65];
    for (int c = 1; c <= n; c++)
        if (colfree[c]) freebits |= (uint64_t)1 << (c - 1);
    int r = 1, ndep = 0;
    auto unpack = [n](uint64_t x, uint8_t* row) {
        for (int c = 1; c <= n; c++) row[c] = (uint8_t)((x >> (c - 1)) & 1);
    };
    for (int j = 1; j <= kk; j++) {
        uint64_t x = 0;
        const uint8_t* s = src.a[j];
        for (int c = 1; c <= n; c++) x |= (uint64_t)(s[c] & 1) << (c - 1);
        for (int i = 1; i < r; i++)
            if ((x >> (pv[i] - 1)) & 1) x ^= rb[i];
        const uint64_t cand = x & freebits;
        if (!cand) {  // dependent on the free columns: store from the bottom
            ndep++;
            unpack(x, dst.a[kk - ndep + 1]);
            continue;
        }
        const int p = __builtin_ctzll(cand) + 1;
        pv[r] = p;
        colfree[p] = 0;
        freebits &= ~((uint64_t)1 << (p - 1));
        for (int i = 1; i < r; i++)
            if ((rb[i] >> (p - 1)) & 1) rb[i] ^= x;
        rb[r++] = x;
    }
    const int rank = r - 1;
    for (int i = 1; i <= rank; i++) unpack(rb[i], dst.a[i]);
    dst.used = rank;
    return rank;
}

int DistEngine::sysform(ByteMatrix& dst, ByteMatrix& src) {
    InfoSets& it = work.setinfo;
    const Field& F = *fld;
    int n = src.cols;
    int kk = src.used;
    if (kk > src.rows) kk = src.rows;
    TALVEN_ASSERT("rank", kk <= dst.rows, "src.k<=dst.m");
    int* pv = it.piv[it.nsets + 1];   // r + 1 entries, r >= kk
    int r = 1, ndep = 0;
    if (F.q == 2 && n <= 64) return sysform2(dst, src, kk, pv);
    for (int j = 1; j <= kk; j++) {
        uint8_t* row = dst.a[r];
        memcpy(row + 1, src.a[j] + 1, (size_t)n);
        for (int i = 1; i < r; i++) clearcol(F, row, dst.a[i], pv[i], n);
        int p = firstnz(row, work.colfree.a[0], n);
        if (p > n) {   // dependent on the free columns: store from the bottom
            ndep++;
            memcpy(dst.a[kk - ndep + 1] + 1, row + 1, (size_t)n);
            continue;
        }
        pv[r] = p;
        work.colfree.a[0][p] = 0;
        rowscale(F, row, F.invtab[row[p]], n);
        for (int i = 1; i < r; i++) clearcol(F, dst.a[i], row, p, n);
        r++;
    }
    int rank = r - 1;
    dst.used = rank;
    return rank;
}

// ---- packing ---------------------------------------------------------------------

// The packers build each word from up to 64 coordinates, eight at a time:
// with one flag per byte (0 or 1), a multiplication by 0x0102040810204080
// gathers the eight flags into the top byte in coordinate order: coordinate
// p goes to word (p - 1) div 64 + 1, bit (p - 1) mod 64; bits past the
// length are left clear.
constexpr uint64_t LOWBITS = 0x0101010101010101ULL;
constexpr uint64_t GATHER = 0x0102040810204080ULL;

static inline uint64_t gather8(uint64_t flags) { return (flags * GATHER) >> 56; }

// Packs the coordinates of word x: fa / fb map eight bytes to eight flags.
template <class FA, class FB>
static inline void packword(const uint8_t* src, int n, int x, uint64_t& va, uint64_t& vb, FA fa, FB fb) {
    int base = (x - 1) * 64, top = n - base < 64 ? n - base : 64;
    va = vb = 0;
    int t = 0;
    for (; t + 8 <= top; t += 8) {
        uint64_t v;
        memcpy(&v, src + base + t + 1, 8);
        va |= gather8(fa(v)) << t;
        vb |= gather8(fb(v)) << t;
    }
    for (; t < top; t++) {
        uint64_t v = src[base + t + 1];
        va |= (fa(v) & 1) << t;
        vb |= (fb(v) & 1) << t;
    }
}

void packrow2(const uint8_t* src, int n, uint64_t* a, int W) {
    uint64_t unused;
    for (int x = 1; x <= W; x++)
        packword(src, n, x, a[x], unused, [](uint64_t v) { return v & LOWBITS; }, [](uint64_t) { return (uint64_t)0; });
}

void packrow3(const uint8_t* src, int n, uint64_t* a, uint64_t* b, int W) {
    // 0 -> (1,1), 1 -> (1,0), 2 -> (0,1): a = (x != 2), b = (x != 1)
    for (int x = 1; x <= W; x++)
        packword(src, n, x, a[x], b[x], [](uint64_t v) { return ~(v >> 1) & LOWBITS; },
                 [](uint64_t v) { return ~v & LOWBITS; });
}

void packrow4(const uint8_t* src, int n, uint64_t* a, uint64_t* b, int W) {
    for (int x = 1; x <= W; x++)
        packword(src, n, x, a[x], b[x], [](uint64_t v) { return v & LOWBITS; },
                 [](uint64_t v) { return (v >> 1) & LOWBITS; });
}

void DistEngine::packrows2(PlaneMatrix& out, ByteMatrix& src) {
    int W = wordsfor(src.cols);
    out.ensure(src.rows, W, src.q);
    for (int r = 1; r <= src.rows; r++) packrow2(src.a[r], src.cols, out.a[r], W);
}

// Bit mask of the pivot columns of set i, for the claim test of the counting
// step.
void DistEngine::setpivmask(int i) {
    InfoSets& it = work.setinfo;
    uint64_t* mk = work.pivmask.a[i];
    int W = work.pivmask.cols;
    for (int x = 1; x <= W; x++) mk[x] = 0;
    for (int j = 1; j <= it.k[i]; j++) {
        int p = it.piv[i][j];
        mk[(p - 1) / 64 + 1] |= (uint64_t)1 << ((p - 1) % 64);
    }
}

void DistEngine::packmat(int i) {
    ByteMatrix& s = work.sysmats[i];
    PlaneMatrix& o = work.sysplanes[i];
    int n = s.cols, W = wordsfor(n), q = s.q;
    if (q == 2) {
        o.ensure(s.rows, W, q);
        for (int r = 1; r <= s.rows; r++) packrow2(s.a[r], n, o.a[r], W);
    } else if (q == 4) {
        for (int r = 1; r <= s.rows; r++) packrow4(s.a[r], n, o.a[r], o.b[r], W);
    } else if (q == 3) {
        for (int r = 1; r <= s.rows; r++) packrow3(s.a[r], n, o.a[r], o.b[r], W);
    }
}

// ---- information sets ------------------------------------------------------------

// Store sized for `rows` codewords (bit planes or bytes by the switch).
void DistEngine::storeensure(int rows, int n) {
    if (rows < 1) rows = 1;
    if (planes)
        work.wordplanes.ensure(rows, wordsfor(n), fq);
    else
        work.wordbytes.ensure(rows, n, fq);
}

void DistEngine::clearsets(int n) {
    InfoSets& it = work.setinfo;
    it.nsets = 0;
    it.ranksum = 0;
    it.nfull = 0;
    work.colfree.ensure(0, n, 2);
    memset(work.colfree.a[0] + 1, 0xff, (size_t)n);
    for (int i = 0; i <= it.nslots && i <= it.t; i++) it.k[i] = it.levels[i] = 0;
}

// Common set-up of the bit forms and the claim masks.
void DistEngine::bitsetup(int rows, int n, int count) {
    int W = wordsfor(n);
    work.sysplanes.ensure(rows, W, fq, count);
    work.pivmask.ensure(count, W, 2);
}

void DistEngine::infosets(ByteMatrix& genmat) {
    TALVEN_ASSERT("rank", genmat.rows == genmat.used, "genmat.m==genmat.k");
    TALVEN_ASSERT("rank", genmat.q == fq, "genmat.q==field.q");
    int n = genmat.cols, q = genmat.q;
    InfoSets& it = work.setinfo;
    if (planes) {
        if (it.keep) storeensure(genmat.rows, n);
    } else if (it.keep) {
        storeensure(genmat.rows, n);
    }
    rref(work.wcopy, genmat, nullptr, Rref::none);
    int k = work.wcopy.used;
    int rows = k > 0 ? k : 1;
    it.ensure(rows, n, 1);
    it.n = n;
    it.nslots = it.t;
    work.sysmats.ensure(rows, n, q, it.nslots + 1);
    if (planes) {
        // The bit forms are rewritten in full on every call, so they are
        // kept across calls rather than made afresh after many calls: a
        // fresh array costs hundreds of heap requests per candidate code.
        bitsetup(rows, n, it.nslots + 1);
    }
    clearsets(n);
    work.wcopy.used = k;
    int r = sysform(work.sysmats[1], work.wcopy);
    it.k[1] = r;
    if (planes) {
        packmat(1);
        setpivmask(1);
    }
    if (r < 1) return;   // the zero code: no set
    it.ranksum = r;
    it.nsets = 1;
    it.nfull = 1;
    if (r < 2) return;   // rank 1: the one set is all there is
    while (it.nsets != it.nslots && it.nsets < it.nslots - 2) {
        int rr = sysform(work.sysmats[it.nsets + 1], work.sysmats[1]);
        if (rr < 2) break;
        it.nsets++;
        if (rr == it.k[1]) it.nfull++;
        it.k[it.nsets] = rr;
        it.ranksum += rr;
        if (planes) {
            packmat(it.nsets);
            setpivmask(it.nsets);
        }
    }
}

uint64_t projcount(int q, int k, uint64_t cap) {
    uint64_t s = 0, p = 1;   // s = 1 + q + ... + q^(i-1)
    for (int i = 0; i < k; i++) {
        s += p;
        if (s >= cap) return cap;
        if (__builtin_mul_overflow(p, (uint64_t)q, &p)) return cap;
    }
    return s;
}

// Largest store pre-allocation of the exhaustive listing; beyond it the store
// grows as codewords arrive.
constexpr uint64_t STOREPRE = (uint64_t)1 << 20;

void DistEngine::infoset1(ByteMatrix& genmat) {
    int n = genmat.cols, q = genmat.q;
    TALVEN_ASSERT("rank", q == fq, "genmat.q==field.q");
    InfoSets& it = work.setinfo;
    int m = genmat.rows > 0 ? genmat.rows : 1;
    if (planes) {
        storeensure(3, n);
    }
    if (it.keep) storeensure((int)projcount(q, genmat.used, STOREPRE), n);
    it.ensure(m, n, 3);
    it.n = n;
    it.nslots = it.t;
    work.sysmats.ensure(m, n, q, it.nslots);
    if (planes) bitsetup(m, n, it.nslots);
    clearsets(n);
    int r = sysform(work.sysmats[1], genmat);
    it.levels[1] = r;
    it.k[1] = r;
    it.nsets = r > 0 ? 1 : 0;
    it.nfull = it.nsets;
    it.ranksum = r;
    if (planes) {
        packmat(1);
        setpivmask(1);
    }
}
