// The program's heap containers.
//
// Matrices keep one row per heap block behind a row-pointer block, rows
// addressed 0..rows and entries -1..cols (byte and bit matrices), so that
// index 0 and index -1 are scratch.  Every container carries a `mem` state and
// is made, re-sized and released only through the operations below; `ensure`
// keeps the storage whenever the wanted size fits, which is what lets the
// enumeration and search code reuse buffers without allocating.  Every
// allocation is tried twice; a second failure, or a broken state, ends in
// `zfail`, which writes ERRORq.txt and never returns.
#pragma once
#include <cstddef>
#include <cstdint>

#include "containers/zassert.h"

// One heap block, requested twice; on the second failure zfail("containers",
// line, cond).  Never returns null.
void* cs_alloc(size_t bytes, const char* cond, int line);
// The same two attempts, but null is returned instead of stopping.
void* cs_tryalloc(size_t bytes);

// ---- matrices -------------------------------------------------------------

// Byte matrix: field elements or flags.  a[r][-1..cols], r = 0..rows.
struct bmat {
    int32_t cols, rows, capcols, caprows, fill, spare, q, mem;
    void* b;       // not used
    uint8_t** a;
};

// Bit matrix pair: two planes of 64-bit words, a[r][-1..cols], b likewise;
// cols counts words.
struct wmat {
    int32_t cols, rows, capcols, caprows, fill, spare, q, mem;
    uint64_t** b;
    uint64_t** a;
};

// Pointer array (a only) or pointer-array pair (a and b): flat arrays of
// rows + 1 64-bit entries; mem 3 when allocated.
struct parr {
    int32_t cols, rows, capcols, caprows, fill, spare, q, mem;
    uint64_t* b;
    uint64_t* a;
};

// Int matrix: a[r][0..cols], r = 0..rows.  `state` is 3 after this call
// allocated the storage, 1 when ensure reused it.
struct imat {
    int32_t cols, rows, capcols, caprows, state, q, alloc;
    int32_t** a;
};

void bmat_alloc(bmat& c, int rows, int cols, int q);
void bmat_ensure(bmat& c, int rows, int cols, int q);
void bmat_free(bmat& c);
// When need > caprows: add 10000 rows (as often as needed), keeping the rows.
void bmat_grow(bmat& c, int need);

void wmat_alloc(wmat& c, int rows, int cols, int q);
void wmat_ensure(wmat& c, int rows, int cols, int q);
void wmat_free(wmat& c);
// When need > caprows: add 100 rows (as often as needed), keeping the rows.
void wmat_grow(wmat& c, int need);

void parr_ensure(parr& c, int rows, int cols, int q);   // a only
void parr_free(parr& c);
void parr2_ensure(parr& c, int rows, int cols, int q);  // a and b
void parr2_free(parr& c);

void imat_alloc(imat& c, int rows, int cols, int q);
void imat_ensure(imat& c, int rows, int cols, int q);
void imat_free(imat& c);

// ---- code record ----------------------------------------------------------

// Made for a matrix of r rows and c columns; t = 3 in mode 3, else c / r + 4.
// a[0..t] are int vectors of r + 1 entries; k, lcv, lcvo have t + 1 entries;
// vecrank and prop c + 1; Aspec and Bspec c + 1 64-bit entries.
struct coderec {
    int32_t c, r, mem, t;
    int32_t capc, capr, capt;
    int32_t** a;
    int32_t* k;
    int32_t* lcv;
    int32_t* lcvo;
    int32_t* vecrank;
    int32_t* prop;
    uint64_t* Aspec;
    uint64_t* Bspec;
};

void coderec_alloc(coderec& cr, int r, int c, int mode);
void coderec_ensure(coderec& cr, int r, int c, int mode);
void coderec_free(coderec& cr);

// ---- arrays of matrices ----------------------------------------------------

// count + 1 matrices addressed -1..count-1; `h` points at element 0.
struct bmatarr {
    bmat* h;
    int32_t alloc, count, capcount;
};
struct wmatarr {
    wmat* h;
    int32_t alloc, count, capcount;
};

// Reuse when allocated and rows, cols and count fit every element (each then
// takes the new cols, rows, q and fill 0); otherwise free all and allocate.
void mata_ensure(bmatarr& m, int rows, int cols, int q, int count);
void mata_free(bmatarr& m);
void mataw_ensure(wmatarr& m, int rows, int cols, int q, int count);
void mataw_free(wmatarr& m);

// ---- vectors --------------------------------------------------------------

int32_t* ivec_new(int m);      // m + 1 entries, 0..m
uint64_t* u64vec_new(int m);   // m + 1 entries
uint8_t* bvec_new(int m);      // m + 2 bytes, addressed -1..m
int32_t* ivec_try(int m);      // as ivec_new, null when the heap refuses
void ivec_free(int32_t*& v);
void u64vec_free(uint64_t*& v);
void bvec_free(uint8_t*& v);
