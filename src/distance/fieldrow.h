// Row operations on byte rows over GF(q): z := z + s*y and z := s*z.
//
// Prime fields use modular arithmetic with a few conditional subtractions
// and GF(2), GF(4) the exclusive or, so that the compiler turns the loops
// into vector code; the values are those of the field tables (addtab,
// multab), which the tests compare.  Used by the reductions (rank) and the
// byte-form bases (generating sets), where these loops are the whole cost.
// The field comes from the caller (the engine's), never from a global.
#pragma once
#include <cstdint>

#include "field/field.h"

namespace fieldrow {

// v < q * q reduced modulo Q.
template <int Q>
inline uint8_t reduce(uint8_t v) {
    if constexpr (Q == 3) {
        v = v >= 3 ? (uint8_t)(v - 3) : v;
        v = v >= 3 ? (uint8_t)(v - 3) : v;
    } else if constexpr (Q == 5) {
        v = v >= 10 ? (uint8_t)(v - 10) : v;
        v = v >= 10 ? (uint8_t)(v - 10) : v;
        v = v >= 5 ? (uint8_t)(v - 5) : v;
    } else {
        v = v >= 28 ? (uint8_t)(v - 28) : v;
        v = v >= 14 ? (uint8_t)(v - 14) : v;
        v = v >= 7 ? (uint8_t)(v - 7) : v;
    }
    return v;
}

template <int Q>
inline void axpyp(uint8_t* __restrict z, const uint8_t* __restrict y, int s, int n) {
    const uint8_t sm = (uint8_t)s;
    for (int c = 1; c <= n; c++) z[c] = reduce<Q>((uint8_t)(z[c] + (uint8_t)(sm * y[c])));
}

template <int Q>
inline void scalep(uint8_t* z, int s, int n) {
    const uint8_t sm = (uint8_t)s;
    for (int c = 1; c <= n; c++) z[c] = reduce<Q>((uint8_t)(sm * z[c]));
}

}  // namespace fieldrow

// z[1..n] := z + s*y over F; z and y are different rows.
inline void rowaxpy(const Field& F, uint8_t* __restrict z, const uint8_t* __restrict y, int s, int n) {
    if (s == 0) return;
    switch (F.q) {
        case 2:
            for (int c = 1; c <= n; c++) z[c] ^= y[c];
            return;
        case 3: fieldrow::axpyp<3>(z, y, s, n); return;
        case 5: fieldrow::axpyp<5>(z, y, s, n); return;
        case 7: fieldrow::axpyp<7>(z, y, s, n); return;
        case 4: {
            uint8_t m[4];
            for (int x = 0; x < 4; x++) m[x] = (uint8_t)F.multab[s][x];
            for (int c = 1; c <= n; c++) z[c] ^= m[y[c] & 3];
            return;
        }
        default: {
            const int* mt = F.multab[s];
            for (int c = 1; c <= n; c++) z[c] = (uint8_t)F.addtab[z[c]][mt[y[c]]];
        }
    }
}

// z[1..n] := s*z over F.
inline void rowscale(const Field& F, uint8_t* z, int s, int n) {
    if (s == 1) return;
    switch (F.q) {
        case 3: fieldrow::scalep<3>(z, s, n); return;
        case 5: fieldrow::scalep<5>(z, s, n); return;
        case 7: fieldrow::scalep<7>(z, s, n); return;
        default: {
            const int* mt = F.multab[s];
            for (int c = 1; c <= n; c++) z[c] = (uint8_t)mt[z[c]];
        }
    }
}
