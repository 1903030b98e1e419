// The records of the distance subsystem and the helpers that touch no state.
//
// A code arrives as a byte matrix (cols = n, rows = m, fill = k, spare = d,
// q).  DistEngine (dist.h) builds from it, in its record `dinvar`, a list of
// systematic matrices whose pivot columns are pairwise disjoint (the
// information sets of the minimum-distance method), or one systematic matrix
// for the exhaustive listing, and for q <= 4 their bit-plane forms, in which
// one 64-bit word carries 64 coordinates so that adding a row and taking a
// weight costs one pass over W words.  Everything is kept in grow-only
// containers inside the record, one record per engine, so that engines in
// different threads share nothing; nothing is freed between codes.  The
// record types live here, apart from the engine, because the callers read
// the results straight out of them (setinfo, cwstore, cwstoreb).
#pragma once
#include <cstdint>

#include "containers/containers.h"

// The information-set record: a code record (pivot lists a[i], ranks k[i],
// levels lcv[i], vecrank, Aspec, Bspec) plus the planning and counting state
// of the enumeration.
struct infrec : coderec {
    int32_t n;          // length
    int32_t m;          // rows of the reduced matrix
    int32_t nslots;     // usable set slots (the record's t)
    int32_t nsets;      // information sets built
    int32_t ranksum;    // sum of k[1..nsets]
    int32_t nfull;      // sets of full rank k[1]
    uint8_t cntmode;    // 1: counting step, 0: minimum-distance step
    uint8_t stop;       // raised by the minimum-distance step at weight <= lb
    uint8_t keep;       // counted codewords are stored
    uint8_t exact;      // count only weight == wmax
    int32_t ub;         // smallest weight met
    int32_t lb;         // threshold of the minimum-distance step
    int32_t wmax;       // target / largest counted weight
    uint64_t found;     // codewords counted
    uint64_t done;      // codewords already handed to the basis
};

// The workspaces of one DistEngine (its public member `dinvar`).
struct dinvrec {
    bmat wcopy;         // reduced echelon copy of the last generator matrix
    bmatarr mata;       // systematic matrices 1..nsets; [0], [-1]: work rows
    wmatarr mataw;      // their bit-plane forms (q <= 4)
    int32_t matamem;    // 1 once mata has been allocated
    infrec setinfo;
    wmat cwstore;       // codeword store, bit planes (q <= 4)
    bmat cwstoreb;      // codeword store, bytes (q = 5, 7)
    wmat pivmask;       // row i: bit mask of the pivot columns a[i]
    bmat rscr;          // scratch copy for reductions in place
    bmat colfree;       // row 0: 0xff on the columns no set has taken
    imat pivbuf;        // pivot and dependent-row lists of rref
    wmat gbas;          // basis of the full listings (q <= 4)
    bmat gbasb;         // basis of the full listings (q = 5, 7)
    parr perm;          // scratch row pointers for reordering the store
    int32_t infcalls;   // calls of infosets with bit planes
};

// Words needed for n coordinates.
inline int wordsfor(int n) { return n <= 0 ? 1 : (n - 1) / 64 + 1; }

// Modes of DistEngine::rref.
// What rref makes besides the reduced rows: nothing, the systematic form,
// or a generator matrix of the dual.
enum class Rref { none, sys, dual };

// 1 + q + ... + q^(k-1), the number of codewords of a k-dimensional code up
// to scalars, saturated at cap (never overflows; 0 for k < 1).
uint64_t projcount(int q, int k, uint64_t cap);

// Packs byte row src[1..n] into one bit row (W words).
void packrow2(const uint8_t* src, int n, uint64_t* a, int W);
void packrow3(const uint8_t* src, int n, uint64_t* a, uint64_t* b, int W);
void packrow4(const uint8_t* src, int n, uint64_t* a, uint64_t* b, int W);

// Value of coordinate p (1-based) of a bit-plane row.
inline int coordval(int q, const uint64_t* a, const uint64_t* b, int p) {
    int w = (p - 1) / 64 + 1, s = (p - 1) % 64;
    int x = (int)((a[w] >> s) & 1), y = (int)((b[w] >> s) & 1);
    if (q == 2) return x;
    if (q == 4) return x | (y << 1);
    return (x && y) ? 0 : (x ? 1 : 2);   // q = 3
}
