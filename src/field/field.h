// Arithmetic of GF(q), q in {2, 3, 4, 5, 7}, through global lookup tables,
// and the bit tables of the bit-parallel weight routines.
//
// Elements are the integers 0..q-1; for q = 4 the codes 0, 1, 2, 3 stand for
// 0, 1, w, w+1 with w^2 = w + 1.  Tables have rows of 20 entries so that any
// q below 20 fits; `setfield` rewrites only the entries below q.
#pragma once
#include <cstdint>

constexpr int FMAX = 20;

extern int addtab[FMAX][FMAX];
extern int multab[FMAX][FMAX];
extern int invtab[FMAX];
extern int negtab[FMAX];
extern uint64_t powtab[FMAX];
extern int multidx[FMAX][FMAX];     // index of a * g^j among the non-zero elements (1..q-1)
extern int incpat[FMAX][2 * FMAX];  // incidence pattern of a multiple index

extern uint8_t popcnt16[65536];
extern uint64_t bitpos1[65];        // bitpos1[p]: only bit p-1 set; bitpos1[0] = 0
extern uint64_t allones;
extern int hwpopcnt;                // 1 when the processor has a population-count instruction

// Builds the bit tables and the field tables for q = 2; clears smallq1/smallq2.
void initbits();
// Fills the field tables for q (entries below q only).  For q > 4 it first
// clears smallq1 and smallq2.  Only the q of `fieldok` have tables.
void setfield(int q);
// True for the field sizes the program supports: 2, 3, 4, 5, 7.
bool fieldok(int q);

// Number of one bits of w (hardware instruction or the 16-bit table).
inline int popcnt64(uint64_t w) {
    if (hwpopcnt) return __builtin_popcountll(w);
    return popcnt16[w & 0xffff] + popcnt16[(w >> 16) & 0xffff] + popcnt16[(w >> 32) & 0xffff] +
           popcnt16[w >> 48];
}
