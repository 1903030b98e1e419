// Field and bit tables.  Each supported q has a fixed set of values: prime
// fields use arithmetic modulo q; GF(4) uses the exclusive-or addition of the
// codes and a multiplication table of the three non-zero elements.  The
// primitive elements behind `multidx` are 2 (q = 3, 4, 5) and 3 (q = 7).
#include "field/field.h"
#include "frame/runpar.h"

int addtab[FMAX][FMAX];
int multab[FMAX][FMAX];
int invtab[FMAX];
int negtab[FMAX];
uint64_t powtab[FMAX];
int multidx[FMAX][FMAX];
int incpat[FMAX][2 * FMAX];

uint8_t popcnt16[65536];
uint64_t bitpos1[65];
uint64_t allones;
int hwpopcnt;

bool fieldok(int q) { return q == 2 || q == 3 || q == 4 || q == 5 || q == 7; }

void initbits() {
    for (int v = 0; v < 65536; v++) popcnt16[v] = (uint8_t)__builtin_popcount((unsigned)v);
    bitpos1[0] = 0;
    for (int p = 1; p <= 64; p++) bitpos1[p] = (uint64_t)1 << (p - 1);
    allones = ~(uint64_t)0;
    __builtin_cpu_init();
    hwpopcnt = __builtin_cpu_supports("popcnt") ? 1 : 0;
    setfield(2);
    smallq1 = 0;
    smallq2 = 0;
}

// Powers q^0..q^19, each computed while the previous one is below 2^63.
static void setpowers(int q) {
    powtab[0] = 1;
    for (int i = 1; i < FMAX; i++)
        if (powtab[i - 1] < ((uint64_t)1 << 63)) powtab[i] = powtab[i - 1] * (uint64_t)q;
}

static void setprime(int q) {
    for (int a = 0; a < q; a++) {
        for (int b = 0; b < q; b++) {
            addtab[a][b] = (a + b) % q;
            multab[a][b] = (a * b) % q;
        }
        negtab[a] = (q - a) % q;
        invtab[a] = 0;
        for (int b = 1; b < q; b++)
            if ((a * b) % q == 1) invtab[a] = b;
    }
}

static void setgf4() {
    static const int mul[4][4] = {{0, 0, 0, 0}, {0, 1, 2, 3}, {0, 2, 3, 1}, {0, 3, 1, 2}};
    static const int inv[4] = {0, 1, 3, 2};
    for (int a = 0; a < 4; a++) {
        for (int b = 0; b < 4; b++) {
            addtab[a][b] = a ^ b;
            multab[a][b] = mul[a][b];
        }
        negtab[a] = a;
        invtab[a] = inv[a];
    }
}

// multidx[a][j] = 1 + ((log a + j) mod (q-1)) and the incidence patterns.
static void setpatterns(int q) {
    const int g = (q == 7) ? 3 : 2;
    int logt[FMAX] = {0};
    int x = 1;
    for (int e = 0; e < q - 1; e++) {
        logt[x] = e;
        x = multab[x][g];
    }
    for (int j = 0; j < q - 1; j++) multidx[0][j] = 0;
    for (int a = 1; a < q; a++)
        for (int j = 0; j < q - 1; j++) multidx[a][j] = 1 + (logt[a] + j) % (q - 1);
    const int len = 2 * (q - 1);
    for (int t = 0; t < len; t++) incpat[0][t] = 0;
    for (int xi = 1; xi < q; xi++) {
        for (int t = 0; t < len; t++) incpat[xi][t] = (q == 4) ? 1 : 0;
        if (q == 4) {
            incpat[xi][2 * xi - 1] = 0;
        } else {
            incpat[xi][(2 * (xi - 1)) % len] = 1;
            incpat[xi][(2 * (xi - 1) + 2) % len] = 1;
            incpat[xi][(2 * (xi - 1) + 3) % len] = 1;
        }
    }
}

void setfield(int q) {
    if (q > 4) {
        smallq1 = 0;
        smallq2 = 0;
    }
    if (!fieldok(q)) return;
    setpowers(q);
    if (q == 4)
        setgf4();
    else
        setprime(q);
    if (q > 2) setpatterns(q);
}
