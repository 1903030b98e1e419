// Field and bit tables.  Each supported q has a fixed set of values: prime
// fields use arithmetic modulo q; GF(4) uses the exclusive-or addition of the
// codes and a multiplication table of the three non-zero elements.  The
// primitive elements behind `multidx` are 2 (q = 3, 4, 5) and 3 (q = 7).
#include "field/field.h"

bool fieldok(int q) { return q == 2 || q == 3 || q == 4 || q == 5 || q == 7; }

namespace {

// Powers q^0..q^19, each computed while the previous one is below 2^63.
void setpowers(Field& F) {
    F.powtab[0] = 1;
    for (int i = 1; i < FMAX; i++)
        if (F.powtab[i - 1] < ((uint64_t)1 << 63)) F.powtab[i] = F.powtab[i - 1] * (uint64_t)F.q;
}

void setprime(Field& F) {
    const int q = F.q;
    for (int a = 0; a < q; a++) {
        for (int b = 0; b < q; b++) {
            F.addtab[a][b] = (a + b) % q;
            F.multab[a][b] = (a * b) % q;
        }
        F.negtab[a] = (q - a) % q;
        F.invtab[a] = 0;
        for (int b = 1; b < q; b++)
            if ((a * b) % q == 1) F.invtab[a] = b;
    }
}

void setgf4(Field& F) {
    static const int mul[4][4] = {{0, 0, 0, 0}, {0, 1, 2, 3}, {0, 2, 3, 1}, {0, 3, 1, 2}};
    static const int inv[4] = {0, 1, 3, 2};
    for (int a = 0; a < 4; a++) {
        for (int b = 0; b < 4; b++) {
            F.addtab[a][b] = a ^ b;
            F.multab[a][b] = mul[a][b];
        }
        F.negtab[a] = a;
        F.invtab[a] = inv[a];
    }
}

// multidx[a][j] = 1 + ((log a + j) mod (q-1)) and the incidence patterns.
void setpatterns(Field& F) {
    const int q = F.q;
    const int g = (q == 7) ? 3 : 2;
    int logt[FMAX] = {0};
    int x = 1;
    for (int e = 0; e < q - 1; e++) {
        logt[x] = e;
        x = F.multab[x][g];
    }
    for (int j = 0; j < q - 1; j++) F.multidx[0][j] = 0;
    for (int a = 1; a < q; a++)
        for (int j = 0; j < q - 1; j++) F.multidx[a][j] = 1 + (logt[a] + j) % (q - 1);
    const int len = 2 * (q - 1);
    for (int t = 0; t < len; t++) F.incpat[0][t] = F.incpatlin[0][t] = 0;
    for (int xi = 1; xi < q; xi++) {
        for (int t = 0; t < len; t++) F.incpatlin[xi][t] = 0;
        F.incpatlin[xi][(2 * (xi - 1)) % len] = 1;
        F.incpatlin[xi][(2 * (xi - 1) + 2) % len] = 1;
        F.incpatlin[xi][(2 * (xi - 1) + 3) % len] = 1;
        for (int t = 0; t < len; t++) F.incpat[xi][t] = (q == 4) ? 1 : 0;
        if (q == 4) {
            F.incpat[xi][2 * xi - 1] = 0;
        } else {
            F.incpat[xi][(2 * (xi - 1)) % len] = 1;
            F.incpat[xi][(2 * (xi - 1) + 2) % len] = 1;
            F.incpat[xi][(2 * (xi - 1) + 3) % len] = 1;
        }
    }
}

Field makefield(int q) {
    Field F{};
    F.q = q;
    if (!fieldok(q)) return F;
    setpowers(F);
    if (q == 4)
        setgf4(F);
    else
        setprime(F);
    if (q > 2) setpatterns(F);
    return F;
}

BitTables makebits() {
    BitTables t{};
    for (int v = 0; v < 65536; v++) t.popcnt16[v] = (uint8_t)__builtin_popcount((unsigned)v);
    t.bitpos1[0] = 0;
    for (int p = 1; p <= 64; p++) t.bitpos1[p] = (uint64_t)1 << (p - 1);
    t.allones = ~(uint64_t)0;
    __builtin_cpu_init();
    t.hwpopcnt = __builtin_cpu_supports("popcnt") ? 1 : 0;
    t.hwavx2 = __builtin_cpu_supports("avx2") ? 1 : 0;
    return t;
}

}  // namespace

const Field fieldtab[8] = {makefield(0), makefield(1), makefield(2), makefield(3),
                           makefield(4), makefield(5), makefield(6), makefield(7)};
const BitTables bits = makebits();

const char* cpupaths() {
    if (bits.hwpopcnt && bits.hwavx2) return "popcount instruction, AVX2 row scan";
    if (bits.hwpopcnt) return "popcount instruction, 8-byte row scan";
    return "popcount table, 8-byte row scan";
}

const char* buildtarget() {
#if defined(TALVEN_NATIVE_BUILD)
    return "this build machine (-march=native)";
#elif defined(__x86_64__)
    return "any x86-64 processor";
#else
    return "this architecture's baseline";
#endif
}
