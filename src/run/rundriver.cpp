// Run driver: one run from its files to its totals.  It names and opens the
// result file and the h file, writes their header, builds the first level,
// runs the dimension search, and closes with the counts and the elapsed time
// on the console and in both files, and with the statistics file.  A file
// fault anywhere stops the run: the files are closed, no totals are written,
// and the menu is told through `runfault`.
#include "run/rundriver.h"

#include <cstdio>
#include <string>

#include "engine/maya.h"
#include "engine/records.h"
#include "engine/store.h"
#include "frame/runpar.h"
#include "run/levels.h"

// 1 when a weight of the walk from `from` in steps of `step` up to `to` is
// forbidden.
static int forbiddenstep(int from, int step, int to) {
    for (int w = from; w <= to; w += step)
        if (w >= 1 && w < MAXLEN && runpar.wt[w] == 0) return 1;
    return 0;
}

// Self-orthogonal codes over GF(2), GF(3) and GF(4) cannot have the weights
// off their step (odd, not divisible by 4 for doubly-even codes, not
// divisible by 3), so the walk goes over the multiples of the step from d
// on.  Nothing else keeps a weight that is not a multiple of dw out of a
// code, so without self-orthogonality every weight from d to n is walked
// (for dw = 1 this is the walk in steps of dw).  In brute generation the k
// added coordinates are zero, so no weight exceeds n.
void checkweights() {
    int step = 1;
    if (runpar.selforth == 1) {
        if (runpar.q == 3) step = 3;
        else if (runpar.q == 4) step = 2;
        else if (runpar.q == 2) step = doublyeven == 1 ? 4 : 2;
    }
    const int d = colmap.cur_d;
    const int from = (d + step - 1) / step * step;
    const int to = colmap.cur_n - (runpar.brute == 1 ? runpar.k : 0);
    runpar.wtrestr = forbiddenstep(from, step, to);
}

void runheader(FILE* fp) {
    const runparrec& p = runpar;
    fprintf(fp, "\n");
    if (p.brute == 0)
        fprintf(fp, " n=%d  k=%d  d=%d q=%d ; divisible by %d  ; self orthogonal %d,dual distance %d\n", p.n,
                p.k, p.d, p.q, p.dw, p.selforth, p.dualdist);
    fprintf(fp, "\n\n");
    if (p.brute == 1) {
        fprintf(fp, " Brute gen:\n");
        fprintf(fp, " n=%d  k=%d  d=%d q=%d ; divisible by %d  ; self orthogonal %d ; dual distance %d\n",
                p.n - p.k, p.k, p.d, p.q, p.dw, p.selforth, p.dualdist);
    }
    fprintf(fp, "   Possible weights: \n");
    for (int w = 1; w <= p.n && w < MAXLEN; w++)
        if (p.wt[w] > 0) fprintf(fp, " %d", w);
    fprintf(fp, "\n\n");
    fprintf(fp, "   Proportional columns: \n");
    for (int i = 2; i <= p.k; i++) fprintf(fp, "%d -> %d ;", i, p.propcol[i]);
    fprintf(fp, "\n\n");
}

std::string resultname() {
    int n = runpar.brute == 1 ? colmap.cur_n - runpar.k : runpar.n;
    std::string name = std::to_string(n) + "_" + std::to_string(runpar.k) + "_" + std::to_string(runpar.d) + "." +
                       std::to_string(runpar.q);
    if (runpar.brute == 1) name += "b";
    return name;
}

// The totals line: " RES total  " then the counts of dimensions s..k.
static void restotals(FILE* fp) {
    int s = runpar.brutedim != 0 ? runpar.brutedim : 2;
    fprintf(fp, "\n RES %d  ", rc.rescount[1]);
    for (int i = s; i <= colmap.cur_k; i++) fprintf(fp, "  %d ", rc.rescount[i]);
}

static void writestats(const std::string& path) {
    FILE* fp = chkopen(path.c_str(), "w");
    if (!fp) return;
    for (int i = 1; i <= MAXLEN; i++)
        for (int j = 1; j <= MAXDIM; j++)
            if (rc.statcount[i][j] != 0) fprintf(fp, "   %d     %d      %d\n", i, j, rc.statcount[i][j]);
    chkclose(fp, path.c_str());
}

// Opens the h file and the result file and writes their header; 0 after a
// reported fault.
static int openresults(const std::string& name) {
    ext.respath = name;
    ext.hpath = name + "h";
    ext.h = chkopen(ext.hpath.c_str(), "w");
    if (!ext.h) return 0;
    runheader(ext.h);
    ext.res = chkopen(ext.respath.c_str(), "w");
    if (!ext.res) return 0;
    runheader(ext.res);
    return 1;
}

static void closeresults() {
    chkclose(ext.h, ext.hpath.c_str());
    chkclose(ext.res, ext.respath.c_str());
}

void rundriver() {
    runfault = 0;
    checkweights();
    counters_reset();
    store_setfiles(1);
    engine_reset();
    int64_t start = clockms();
    ext.lastprint = start;
    if (runpar.brute == 1) {
        runpar.dualdist = 1;
        for (int i = 0; i < MAXDIM; i++) runpar.propcol[i] = 800;
    }
    std::string name = resultname();
    if (openresults(name)) {
        firstlevel();
        if (!runfault) dimsearch(1);
    }
    if (runfault) {
        closeresults();
        return;
    }
    // The files are finished and closed first, and the statistics written,
    // so that a write that fails at the end still keeps the run from being
    // reported as complete.
    double secs = (double)(clockms() - start) / 1000.0;
    for (FILE* fp : {ext.h, ext.res}) {
        restotals(fp);
        fprintf(fp, "\n ==  Elapsed time: %.2fs\n", secs);
    }
    closeresults();
    if (!runfault) writestats(name + "inf");
    if (runfault) return;
    restotals(stdout);
    printf("==  Elapsed time: %.2fs\n", secs);
}
