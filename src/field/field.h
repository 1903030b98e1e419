// Arithmetic of GF(q), q in {2, 3, 4, 5, 7}, through lookup tables, and the
// bit tables of the bit-parallel weight routines.
//
// Elements are the integers 0..q-1; for q = 4 the codes 0, 1, 2, 3 stand for
// 0, 1, w, w+1 with w^2 = w + 1.  The tables of every supported field are
// built once, before main, and never change afterwards, so any number of
// classifications (with different q, in different threads) read them at
// the same time; a run keeps a reference to the `Field` of its q.
#pragma once
#include <cstdint>

constexpr int FMAX = 20;  // rows of 20 entries, so any q below 20 fits

struct Field {
    int q;
    int addtab[FMAX][FMAX];      // a + b
    int multab[FMAX][FMAX];      // a * b
    int invtab[FMAX];            // 1 / a (0 for a = 0)
    int negtab[FMAX];            // -a
    uint64_t powtab[FMAX];       // q^i, i = 0..19
    int multidx[FMAX][FMAX];     // index of a * g^j among the non-zero elements (1..q-1)
    int incpat[FMAX][2 * FMAX];  // incidence pattern of a multiple index
    // The pattern that tells every scalar multiple apart and nothing more,
    // also for q = 4, where `incpat` lets the field automorphism through
    // (codes over GF(4) up to semilinear equivalence); for odd q the two
    // are the same.
    int incpatlin[FMAX][2 * FMAX];
    // The bit-plane routines (one or two 64-bit planes per word) serve q <= 4.
    bool small() const { return q <= 4; }
};

// True for the field sizes the program supports: 2, 3, 4, 5, 7.
bool fieldok(int q);

// The tables of every q of `fieldok`, indexed by q; the other entries are
// empty.  Immutable.
extern const Field fieldtab[8];
// The field of size q (q must satisfy `fieldok`).
inline const Field& gf(int q) { return fieldtab[q & 7]; }

struct BitTables {
    uint8_t popcnt16[65536];
    uint64_t bitpos1[65];  // bitpos1[p]: only bit p-1 set; bitpos1[0] = 0
    uint64_t allones;
    int hwpopcnt;          // 1 when the processor has a population-count instruction
    int hwavx2;            // 1 when it has AVX2
};
// Built once from the processor's report, before main.  Immutable.
extern const BitTables bits;

// Number of one bits of w by the 16-bit table.
inline int popcnt64_table(uint64_t w) {
    return bits.popcnt16[w & 0xffff] + bits.popcnt16[(w >> 16) & 0xffff] + bits.popcnt16[(w >> 32) & 0xffff] +
           bits.popcnt16[w >> 48];
}
// Number of one bits of w: the processor's instruction where it has one,
// else the 16-bit table.  A portable build (no -mpopcnt) still uses the
// instruction, chosen at run time: the compiler would otherwise call a
// library routine.
inline int popcnt64(uint64_t w) {
#if defined(__x86_64__) && !defined(__POPCNT__)
    if (bits.hwpopcnt) {
        uint64_t r;
        __asm__ __volatile__("popcntq %1, %0" : "=r"(r) : "rm"(w) : "cc");  // volatile: never run ahead of the test
        return (int)r;
    }
    return popcnt64_table(w);
#else
    if (bits.hwpopcnt) return __builtin_popcountll(w);
    return popcnt64_table(w);
#endif
}

// The code paths chosen for this processor, in words ("popcount
// instruction, AVX2 row scan" or the fallbacks), and what the program was
// compiled for.
const char* cpupaths();
const char* buildtarget();
