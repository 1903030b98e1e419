// Heap containers: allocate / ensure / free / grow over plain records; a
// broken check ends in the assertion handler.  New blocks are
// zeroed so that a fresh container never holds stale bytes; reused storage is
// not cleared (callers overwrite what they use).
#include "containers/containers.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

// ---- allocation -------------------------------------------------------------

// Every block of the program comes from here (the tests make it fail on
// purpose by wrapping calloc at link time).
static void* attempt(size_t bytes) { return calloc(bytes ? bytes : 1, 1); }

void* cs_tryalloc(size_t bytes) {
    void* p = attempt(bytes);
    if (!p) p = attempt(bytes);
    return p;
}

void* cs_alloc(size_t bytes, const char* cond, int line) {
    void* p = cs_tryalloc(bytes);
    if (!p) zfail("containers", line, cond);
    return p;
}

#define ALLOC(T, count, cond) static_cast<T*>(cs_alloc(sizeof(T) * (size_t)(count), cond, __LINE__))

// ---- byte matrix ------------------------------------------------------------

static uint8_t* brow_new(int cols) { return ALLOC(uint8_t, cols + 2, "r==NULL") + 1; }
static void brow_free(uint8_t* r) {
    ZASSERT("containers", r == nullptr, "NULL==&(r[-1])");
    free(r - 1);
}

void bmat_alloc(bmat& c, int rows, int cols, int q) {
    c.cols = cols;
    c.rows = rows;
    c.capcols = cols;
    c.caprows = rows;
    c.q = q;
    c.a = ALLOC(uint8_t*, rows + 1, "c.a==NULL");
    for (int r = 0; r <= rows; r++) c.a[r] = brow_new(cols);
    c.mem = 1;
}

void bmat_free(bmat& c) {
    ZASSERT("containers", !((1 == c.mem) || (0 == c.mem)), "!((1==c.mem)||(0==c.mem))");
    if (c.mem == 0) return;
    ZASSERT("containers", c.a == nullptr, "NULL==c.a");
    for (int r = 0; r <= c.caprows; r++) brow_free(c.a[r]);
    free(c.a);
    c.a = nullptr;
    c.mem = 0;
}

// ensure for the matrices with mem 0/1: keep fitting storage (new header
// only), else free and allocate at the wanted size.
template <class M>
static void ensure01(M& c, int rows, int cols, int q, void (*alloc)(M&, int, int, int), void (*release)(M&)) {
    ZASSERT("containers", !((1 == c.mem) || (0 == c.mem)), "!((1==c.mem)||(0==c.mem))");
    if (c.mem == 1 && cols <= c.capcols && rows <= c.caprows) {
        c.cols = cols;
        c.rows = rows;
        c.q = q;
        return;
    }
    if (c.mem == 1) release(c);
    alloc(c, rows, cols, q);
}

void bmat_ensure(bmat& c, int rows, int cols, int q) { ensure01(c, rows, cols, q, bmat_alloc, bmat_free); }

void bmat_grow(bmat& c, int need) {
    if (need <= c.caprows) return;
    int newcap = c.caprows;
    while (need > newcap) newcap += 10000;
    uint8_t** na = ALLOC(uint8_t*, newcap + 1, "c.a==NULL");
    for (int r = 0; r <= c.caprows; r++) na[r] = c.a[r];
    for (int r = c.caprows + 1; r <= newcap; r++) na[r] = brow_new(c.capcols);
    free(c.a);
    c.a = na;
    c.rows += newcap - c.caprows;
    c.caprows = newcap;
}

// ---- bit matrix pair --------------------------------------------------------

static uint64_t* wrow_new(int cols) { return ALLOC(uint64_t, cols + 2, "NULL==r") + 1; }
static void wrow_free(uint64_t* r) {
    ZASSERT("containers", r == nullptr, "NULL==&(r[-1])");
    free(r - 1);
}

void wmat_alloc(wmat& c, int rows, int cols, int q) {
    c.cols = cols;
    c.rows = rows;
    c.capcols = cols;
    c.caprows = rows;
    c.q = q;
    c.a = ALLOC(uint64_t*, rows + 1, "c.a==NULL");
    c.b = ALLOC(uint64_t*, rows + 1, "c.b==NULL");
    for (int r = 0; r <= rows; r++) {
        c.a[r] = wrow_new(cols);
        c.b[r] = wrow_new(cols);
    }
    c.mem = 1;
}

void wmat_free(wmat& c) {
    ZASSERT("containers", !((1 == c.mem) || (0 == c.mem)), "!((1==c.mem)||(0==c.mem))");
    if (c.mem == 0) return;
    ZASSERT("containers", c.a == nullptr, "NULL==c.a");
    ZASSERT("containers", c.b == nullptr, "NULL==c.b");
    for (int r = 0; r <= c.caprows; r++) {
        wrow_free(c.a[r]);
        wrow_free(c.b[r]);
    }
    free(c.a);
    free(c.b);
    c.a = c.b = nullptr;
    c.mem = 0;
}

void wmat_ensure(wmat& c, int rows, int cols, int q) { ensure01(c, rows, cols, q, wmat_alloc, wmat_free); }

void wmat_grow(wmat& c, int need) {
    if (need <= c.caprows) return;
    int newcap = c.caprows;
    while (need > newcap) newcap += 100;
    uint64_t** na = ALLOC(uint64_t*, newcap + 1, "c.a==NULL");
    uint64_t** nb = ALLOC(uint64_t*, newcap + 1, "c.b==NULL");
    for (int r = 0; r <= c.caprows; r++) {
        na[r] = c.a[r];
        nb[r] = c.b[r];
    }
    for (int r = c.caprows + 1; r <= newcap; r++) {
        na[r] = wrow_new(c.capcols);
        nb[r] = wrow_new(c.capcols);
    }
    free(c.a);
    free(c.b);
    c.a = na;
    c.b = nb;
    c.rows += newcap - c.caprows;
    c.caprows = newcap;
}

// ---- pointer arrays ---------------------------------------------------------

static void parr_common(parr& c, int rows, int cols, int q, bool pair) {
    ZASSERT("containers", !((3 == c.mem) || (0 == c.mem)), "!((3==c.mem)||(0==c.mem))");
    if (c.mem == 3 && rows <= c.caprows && (!pair || c.b)) {
        c.rows = rows;
        c.cols = cols;
        c.q = q;
        return;
    }
    if (c.mem == 3) pair ? parr2_free(c) : parr_free(c);
    c.rows = c.caprows = rows;
    c.cols = c.capcols = cols;
    c.q = q;
    c.a = ALLOC(uint64_t, rows + 1, "c.a==NULL");
    c.b = pair ? ALLOC(uint64_t, rows + 1, "c.b==NULL") : nullptr;
    c.mem = 3;
}

void parr_ensure(parr& c, int rows, int cols, int q) { parr_common(c, rows, cols, q, false); }
void parr2_ensure(parr& c, int rows, int cols, int q) { parr_common(c, rows, cols, q, true); }

void parr_free(parr& c) {
    ZASSERT("containers", !((3 == c.mem) || (0 == c.mem)), "!((3==c.mem)||(0==c.mem))");
    if (c.mem == 0) return;
    ZASSERT("containers", c.a == nullptr, "NULL==c.a");
    free(c.a);
    free(c.b);
    c.a = c.b = nullptr;
    c.mem = 0;
}

void parr2_free(parr& c) {
    ZASSERT("containers", !((3 == c.mem) || (0 == c.mem)), "!((3==c.mem)||(0==c.mem))");
    if (c.mem == 0) return;
    ZASSERT("containers", c.b == nullptr, "NULL==c.b");
    parr_free(c);
}

// ---- int matrix -------------------------------------------------------------

void imat_alloc(imat& c, int rows, int cols, int q) {
    c.cols = c.capcols = cols;
    c.rows = c.caprows = rows;
    c.q = q;
    c.a = ALLOC(int32_t*, rows + 1, "c.a==NULL");
    for (int r = 0; r <= rows; r++) c.a[r] = ALLOC(int32_t, cols + 1, "NULL==r");
    c.state = 3;
    c.alloc = 1;
}

void imat_ensure(imat& c, int rows, int cols, int q) {
    if (c.alloc == 1 && rows <= c.caprows && cols <= c.capcols) {
        c.rows = rows;
        c.cols = cols;
        c.q = q;
        c.state = 1;
        return;
    }
    if (c.alloc == 1) imat_free(c);
    imat_alloc(c, rows, cols, q);
}

void imat_free(imat& c) {
    if (c.alloc == 0) return;
    ZASSERT("containers", c.a == nullptr, "NULL==c.a");
    for (int r = 0; r <= c.caprows; r++) {
        ZASSERT("containers", c.a[r] == nullptr, "NULL==r");
        free(c.a[r]);
    }
    free(c.a);
    c.a = nullptr;
    c.alloc = 0;
    c.state = 0;
}

// ---- code record ------------------------------------------------------------

static int coderec_t(int r, int c, int mode) { return mode == 3 ? 3 : c / (r > 0 ? r : 1) + 4; }

void coderec_alloc(coderec& cr, int r, int c, int mode) {
    int t = coderec_t(r, c, mode);
    cr.c = cr.capc = c;
    cr.r = cr.capr = r;
    cr.t = cr.capt = t;
    cr.a = ALLOC(int32_t*, t + 1, "c.a==NULL");
    for (int i = 0; i <= t; i++) cr.a[i] = ALLOC(int32_t, r + 1, "NULL==r");
    cr.k = ALLOC(int32_t, t + 1, "NULL==r");
    cr.lcv = ALLOC(int32_t, t + 1, "NULL==r");
    cr.lcvo = ALLOC(int32_t, t + 1, "NULL==r");
    cr.vecrank = ALLOC(int32_t, c + 1, "c.vecrank==NULL");
    cr.prop = ALLOC(int32_t, c + 1, "NULL==r");
    cr.Aspec = ALLOC(uint64_t, c + 1, "NULL==r");
    cr.Bspec = ALLOC(uint64_t, c + 1, "NULL==r");
    cr.mem = 1;
}

void coderec_ensure(coderec& cr, int r, int c, int mode) {
    int t = coderec_t(r, c, mode);
    if (cr.mem == 1 && c <= cr.capc && r <= cr.capr && t <= cr.capt) {
        cr.c = c;
        cr.r = r;
        cr.t = t;
        return;
    }
    if (cr.mem == 1) coderec_free(cr);
    coderec_alloc(cr, r, c, mode);
}

void coderec_free(coderec& cr) {
    if (cr.mem == 0) return;
    ZASSERT("containers", cr.a == nullptr, "NULL==c.a");
    ZASSERT("containers", cr.Aspec == nullptr, "NULL==c.Aspec");
    ZASSERT("containers", cr.Bspec == nullptr, "NULL==c.Bspec");
    ZASSERT("containers", cr.k == nullptr, "NULL==c.k");
    ZASSERT("containers", cr.lcv == nullptr, "NULL==c.lcv");
    ZASSERT("containers", cr.lcvo == nullptr, "NULL==c.lcvo");
    ZASSERT("containers", cr.vecrank == nullptr, "NULL==c.vecrank");
    ZASSERT("containers", cr.prop == nullptr, "NULL==c.prop");
    for (int i = 0; i <= cr.capt; i++) free(cr.a[i]);
    free(cr.a);
    free(cr.k);
    free(cr.lcv);
    free(cr.lcvo);
    free(cr.vecrank);
    free(cr.prop);
    free(cr.Aspec);
    free(cr.Bspec);
    cr.a = nullptr;
    cr.k = cr.lcv = cr.lcvo = cr.vecrank = cr.prop = nullptr;
    cr.Aspec = cr.Bspec = nullptr;
    cr.mem = 0;
}

// ---- arrays of matrices -------------------------------------------------------

template <class M, class Arr>
static bool arr_fits(const Arr& m, int rows, int cols, int count) {
    if (!m.alloc || count > m.capcount) return false;
    for (int i = -1; i < m.capcount; i++)
        if (m.h[i].mem != 1 || rows > m.h[i].caprows || cols > m.h[i].capcols) return false;
    return true;
}

template <class M, class Arr>
static void arr_reuse(Arr& m, int rows, int cols, int q, int count) {
    m.count = count;
    for (int i = -1; i < count; i++) {
        m.h[i].cols = cols;
        m.h[i].rows = rows;
        m.h[i].q = q;
        m.h[i].fill = 0;
    }
}

template <class M, class Arr>
static void arr_free(Arr& m, void (*release)(M&)) {
    if (!m.alloc) return;
    ZASSERT("containers", m.h == nullptr, "NULL==&(c[-1])");
    for (int i = -1; i < m.capcount; i++) release(m.h[i]);
    free(m.h - 1);
    m.h = nullptr;
    m.alloc = m.count = m.capcount = 0;
}

template <class M, class Arr>
static void arr_ensure(Arr& m, int rows, int cols, int q, int count, const char* cond,
                       void (*alloc)(M&, int, int, int), void (*release)(M&)) {
    if (arr_fits<M>(m, rows, cols, count)) {
        arr_reuse<M>(m, rows, cols, q, count);
        return;
    }
    arr_free<M>(m, release);
    m.h = static_cast<M*>(cs_alloc(sizeof(M) * (size_t)(count + 1), cond, __LINE__)) + 1;
    for (int i = -1; i < count; i++) alloc(m.h[i], rows, cols, q);
    m.alloc = 1;
    m.count = m.capcount = count;
}

void mata_free(bmatarr& m) { arr_free<bmat>(m, bmat_free); }
void mata_ensure(bmatarr& m, int rows, int cols, int q, int count) {
    arr_ensure<bmat>(m, rows, cols, q, count, "NULL==mata", bmat_alloc, bmat_free);
}
void mataw_free(wmatarr& m) { arr_free<wmat>(m, wmat_free); }
void mataw_ensure(wmatarr& m, int rows, int cols, int q, int count) {
    arr_ensure<wmat>(m, rows, cols, q, count, "NULL==mataw", wmat_alloc, wmat_free);
}

// ---- vectors --------------------------------------------------------------

int32_t* ivec_new(int m) { return ALLOC(int32_t, m + 1, "NULL==r"); }
uint64_t* u64vec_new(int m) { return ALLOC(uint64_t, m + 1, "NULL==r"); }
uint8_t* bvec_new(int m) { return ALLOC(uint8_t, m + 2, "NULL==r") + 1; }
int32_t* ivec_try(int m) { return static_cast<int32_t*>(cs_tryalloc(sizeof(int32_t) * (size_t)(m + 1))); }

void ivec_free(int32_t*& v) {
    ZASSERT("containers", v == nullptr, "NULL==r");
    free(v);
    v = nullptr;
}
void u64vec_free(uint64_t*& v) {
    ZASSERT("containers", v == nullptr, "NULL==r");
    free(v);
    v = nullptr;
}
void bvec_free(uint8_t*& v) {
    ZASSERT("containers", v == nullptr, "NULL==&(r[-1])");
    free(v - 1);
    v = nullptr;
}
