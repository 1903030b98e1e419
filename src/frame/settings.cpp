// Settings file.  Layout: brute, brutedim, reserved1, reserved2, n, k, d, q,
// dw, selforth, dualdist; then wt[1..n]; then propcol[2..k].  The layout
// depends on n and k, so a file whose n, k, d, q or dw is out of bounds cannot
// be trusted past its eleventh line: the whole parameter set then falls back
// to the defaults.  Independent flags fall back one by one.
#include "frame/settings.h"

#include <cstdio>

#include "frame/runpar.h"

std::string resdir;
std::string settingspath;
bmat wtfilter;

void setdefaults() {
    runpar.brute = 0;
    runpar.brutedim = 0;
    runpar.reserved1 = 0;
    runpar.reserved2 = 4;
    runpar.n = 24;
    runpar.k = 12;
    runpar.d = 8;
    runpar.q = 2;
    runpar.dw = 1;
    runpar.selforth = 0;
    runpar.dualdist = 1;
    for (int i = 0; i < MAXDIM; i++) runpar.propcol[i] = 800;
    for (int w = 8; w <= 24; w++) runpar.wt[w] = 1;
}

static bool inrange(int v, int lo, int hi) { return v >= lo && v <= hi; }

// Reads one "%d\n" value; false at a missing or garbled value.
static bool readval(FILE* f, int32_t& v) {
    int x;
    if (fscanf(f, "%d\n", &x) != 1) return false;
    v = x;
    return true;
}

static bool paramsvalid(const int32_t* v) {
    int n = v[4], k = v[5], d = v[6], q = v[7], dw = v[8];
    return inrange(n, 1, 799) && inrange(k, 1, 19) && inrange(d, 1, n) &&
           (q == 2 || q == 3 || q == 4 || q == 5 || q == 7) && inrange(dw, 1, n);
}

// Reads the file; returns false when it could not be opened.
static bool readfile() {
    FILE* f = fopen(settingspath.c_str(), "r");
    if (!f) return false;
    int32_t v[11] = {runpar.brute,    runpar.brutedim, runpar.reserved1, runpar.reserved2,
                     runpar.n,        runpar.k,        runpar.d,         runpar.q,
                     runpar.dw,       runpar.selforth, runpar.dualdist};
    int got = 0;
    while (got < 11 && readval(f, v[got])) got++;
    if (inrange(v[0], 0, 1)) runpar.brute = v[0];
    if (inrange(v[1], 0, 19)) runpar.brutedim = v[1];
    runpar.reserved1 = v[2];
    runpar.reserved2 = v[3];
    if (inrange(v[9], 0, 1)) runpar.selforth = v[9];
    if (inrange(v[10], 1, 799)) runpar.dualdist = v[10];
    if (!paramsvalid(v)) {
        fclose(f);
        return true;
    }
    runpar.n = v[4];
    runpar.k = v[5];
    runpar.d = v[6];
    runpar.q = v[7];
    runpar.dw = v[8];
    bool ok = got == 11;
    for (int w = 1; ok && w <= runpar.n; w++) {
        int32_t x;
        ok = readval(f, x);
        if (ok && inrange(x, 0, 1)) runpar.wt[w] = x;
    }
    for (int i = 2; ok && i <= runpar.k; i++) {
        int32_t x;
        ok = readval(f, x);
        if (ok && inrange(x, 1, 800)) runpar.propcol[i] = x;
    }
    fclose(f);
    return true;
}

// Closes the file; a write that did not reach the disk is reported.
static void closechecked(FILE* f) {
    bool bad = ferror(f) != 0;
    if (fclose(f) != 0 || bad) fprintf(stderr, "Error while writing settings file %s\n", settingspath.c_str());
}

static void writedefaults() {
    FILE* f = fopen(settingspath.c_str(), "w");
    if (!f) {
        perror("Error while opening settings file.\n");
        return;
    }
    fprintf(f, "%d\n%d\n%d\n%d\n%d\n%d\n%d\n%d\n%d\n%d\n%d\n", runpar.brute, runpar.brutedim,
            runpar.reserved1, runpar.reserved2, runpar.n, runpar.k, runpar.d, runpar.q, runpar.dw,
            runpar.selforth, runpar.dualdist);
    for (int w = 1; w <= 24; w++) fprintf(f, "%d\n", runpar.wt[w]);
    for (int i = 2; i <= 12; i++) fprintf(f, "%d\n", runpar.propcol[i]);
    closechecked(f);
}

void loadsettings() {
    for (int w = 1; w <= colmap.cur_n && w < MAXLEN; w++) runpar.wt[w] = 0;
    setdefaults();
    if (!readfile()) writedefaults();
}

void savesettings() {
    FILE* f = fopen(settingspath.c_str(), "w");
    if (!f) perror("Error while opening settings file.\n");
    if (f)
        fprintf(f, "%d\n%d\n%d\n%d\n%d\n%d\n%d\n%d\n%d\n%d\n%d\n", runpar.brute, runpar.brutedim,
                runpar.reserved1, runpar.reserved2, runpar.n, runpar.k, runpar.d, runpar.q,
                runpar.dw, runpar.selforth, runpar.dualdist);
    for (int w = 1; f && w <= runpar.n; w++) fprintf(f, "%d\n", runpar.wt[w]);
    bmat_ensure(wtfilter, 0, runpar.n, 2);
    wtfilter.a[0][0] = 0;
    for (int w = 1; w <= runpar.n; w++) wtfilter.a[0][w] = (uint8_t)runpar.wt[w];
    if (!f) return;
    for (int i = 2; i <= runpar.k; i++) fprintf(f, "%d\n", runpar.propcol[i]);
    closechecked(f);
}
