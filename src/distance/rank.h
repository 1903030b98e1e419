// The records of the distance subsystem and the helpers that touch no state.
//
// A code arrives as a byte matrix (cols = n, rows = m, used = k, dreq = d,
// q).  DistEngine (dist.h) builds from it, in its record `work`, a list of
// systematic matrices whose pivot columns are pairwise disjoint (the
// information sets of the minimum-distance method), or one systematic matrix
// for the exhaustive listing, and for q <= 4 their bit-plane forms, in which
// one 64-bit word carries 64 coordinates so that adding a row and taking a
// weight costs one pass over W words.  Everything is kept in grow-only
// containers inside the record, one record per engine, so that engines in
// different threads share nothing; nothing is freed between codes.  The
// record types live here, apart from the engine, because callers read the
// results (the information-set record, the stores) through the engine's
// const accessors.
#pragma once
#include <cstdint>

#include "containers/containers.h"

// What a walk over the information sets does with the codewords it meets:
// stops at the first of weight <= lb (the minimum-distance step), or counts
// them and, when asked, stores them (the counting step).
enum class CountStep : uint8_t { distance, counting };

// The information-set record: per set i = 1..nsets its pivot columns
// piv[i][1..k[i]], its rank k[i] and its level levels[i]; the weight counts
// Aspec[0..n] of the counting step and scratch of the same length; and the
// planning and counting state of the enumeration.  Sized by ensure for a
// matrix of r rows and c columns: t + 1 pivot lists of r + 1 entries, with
// t = 3 in mode 3 (the exhaustive listing), else c / r + 4.
struct InfoSets {
    int32_t** piv = nullptr;   // piv[i][1..k[i]], i = 0..t (row pointers)
    Buffer<int32_t> k;         // ranks, 0..t
    Buffer<int32_t> levels;       // levels, 0..t
    Buffer<uint64_t> Aspec;    // weight counts, 0..c
    Buffer<uint64_t> Bspec;    // scratch of the sorted store: first row - 1 of each weight
    Buffer<int32_t> nextrow;   // scratch of the sorted store: next free row of each weight
    int32_t t = 0;             // the last pivot-list slot
    int32_t n = 0;             // length
    int32_t nslots = 0;        // usable set slots (t)
    int32_t nsets = 0;         // information sets built
    int32_t ranksum = 0;       // sum of k[1..nsets]
    int32_t nfull = 0;         // sets of full rank k[1]
    CountStep step = CountStep::distance;  // what the walks of the sets do
    bool stop = false;         // raised by the minimum-distance step at weight <= lb
    bool keep = false;         // counted codewords are stored
    bool exact = false;        // count only weight == wmax
    int32_t ub = 0;            // smallest weight met
    int32_t lb = 0;            // threshold of the minimum-distance step
    int32_t wmax = 0;          // target / largest counted weight
    uint64_t found = 0;        // codewords counted
    uint64_t done = 0;         // codewords already handed to the basis

    // Sized for r rows, c columns: everything kept when r, c and t fit
    // (contents too), else all made afresh and zeroed.
    void ensure(int r, int c, int mode);
    bool allocated() const { return pivs_.allocated(); }

private:
    RowStore<int32_t> pivs_;
    int32_t capc_ = 0, capr_ = 0, capt_ = 0;
};

// The workspaces of one DistEngine (its private member `work`).
struct DistWorkspace {
    ByteMatrix wcopy;              // reduced echelon copy of the last generator matrix
    MatrixSet<ByteMatrix> sysmats;    // systematic matrices 1..nsets; [0], [-1]: work rows
    MatrixSet<PlaneMatrix> sysplanes;  // their bit-plane forms (q <= 4)
    InfoSets setinfo;
    PlaneMatrix wordplanes;           // codeword store, bit planes (q <= 4)
    ByteMatrix wordbytes;           // codeword store, bytes (q = 5, 7)
    PlaneMatrix pivmask;           // row i: bit mask of the pivot columns piv[i]
    ByteMatrix rscr;               // scratch copy for reductions in place
    ByteMatrix colfree;            // row 0: 0xff on the columns no set has taken
    Buffer<int32_t> pivbuf;        // pivot and dependent-row lists of rref
    PlaneMatrix gbas;              // basis of the full listings (q <= 4)
    ByteMatrix gbasb;              // basis of the full listings (q = 5, 7)
    Buffer<uint64_t*> perma;       // scratch row pointers for reordering the store (plane a
    Buffer<uint64_t*> permb;       // and plane b of the bit store)
    Buffer<uint8_t*> permbytes;    // (the byte store)
};

// A codeword of the bit store (q <= 4): its coordinates in the plane words
// 1..W of rows a[f] and b[f], and four spare words beside them that the
// listing and the generating sets keep: its weight (a[f][0]); the sum of its
// pair weights to the words of its weight listed with it, mod 101
// (a[f][-1]); the number of its class among them, by that sum (b[f][0]);
// and its mark: that class when a word of it raised the rank of the
// generating set, else 0 (b[f][-1]).  The spare words travel with the rows
// when the store is reordered through its row pointers.
class StoredWord {
public:
    StoredWord(const PlaneMatrix& S, uint64_t f) : a_(S.a[f]), b_(S.b[f]) {}
    uint64_t& weight() const { return a_[0]; }
    uint64_t& pairsum() const { return a_[-1]; }
    uint64_t& cls() const { return b_[0]; }
    uint64_t& mark() const { return b_[-1]; }

private:
    uint64_t* a_;
    uint64_t* b_;
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
