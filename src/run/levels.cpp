// Codes of dimension 1 and the dimension search.
//
// A code of dimension 1 is described by the distribution of its free part
// over the field elements: z zeros and x non-zero entries spread over the
// q - 1 non-zero values.  The all-ones distribution is the parent candidate
// (flag 1); the other distributions serve as partners only (flag 0).
//
// The search is depth first: for each parent of level L all partners of
// level L are tried, their children go to sol.L+1 (copied to real_sol.L+1),
// and the search descends before the next parent, so the files of a level
// hold the children of one parent at a time.
#include "run/levels.h"

#include <cstdio>
#include <vector>

#include "distance/dist.h"
#include "engine/maya.h"
#include "engine/records.h"
#include "engine/store.h"
#include "field/field.h"
#include "frame/runpar.h"
#include "frame/settings.h"

std::string solpath(int L) { return workdir + "sol." + std::to_string(L); }
std::string realsolpath(int L) { return workdir + "real_sol." + std::to_string(L); }

int copyfile(const std::string& from, const std::string& to) {
    FILE* in = chkopen(from.c_str(), "rb");
    if (!in) return 0;
    FILE* out = chkopen(to.c_str(), "wb");
    if (!out) {
        chkclose(in, from.c_str());
        return 0;
    }
    char buf[65536];
    size_t got;
    while ((got = fread(buf, 1, sizeof buf, in)) > 0)
        if (fwrite(buf, 1, got, out) != got) break;
    int ok = chkclose(in, from.c_str());
    return chkclose(out, to.c_str()) && ok;
}

// ---- codes of dimension 1 ------------------------------------------------------

struct firstrec {
    int c;  // running number of the records written
};
static firstrec fl;

// Every distribution (A[1], .., A[q-1]) of x over the non-zero values other
// than (x, 0, .., 0), in decreasing lexicographic order, as flag-0 records.
static void compenum(FILE* fp, int q, int x, int z) {
    std::vector<int> a(q, 0);
    // Recursively: A[pos] runs from the rest down to 0; the last takes the rest.
    auto emit = [&]() {
        fl.c++;
        rc.levelcnt[1].total++;
        fprintf(fp, "\n? %d 1  %d  0\n", q, fl.c);
        fprintf(fp, " %d ", z);
        for (int v = 1; v <= q - 1; v++) fprintf(fp, "%d ", a[v]);
    };
    auto rec = [&](auto&& self, int pos, int rest) -> void {
        if (pos == q - 1) {
            a[pos] = rest;
            if (a[1] != x) emit();
            return;
        }
        for (int v = rest; v >= 0; v--) {
            a[pos] = v;
            self(self, pos + 1, rest - v);
        }
    };
    rec(rec, 1, x);
}

// Runs of dimension 1: the parent candidates are the codes themselves (one
// per allowed weight; every distribution over the non-zero values is
// equivalent to the all-ones one), so each is printed as a new code.
static void printfirst(int z) {
    const int m = colmap.cur_n - colmap.cur_k;
    colmap.cur_level = 1;
    colmap.cur_len = m + 1;
    for (int p = 1; p <= m; p++) colmap.m[1][p] = p > z ? 1 : 0;
    colmap.m[1][m + 1] = 1;
    if (!printres(colmap, ext.res)) filefault("write", ext.respath.c_str());
    if (!printh(colmap, ext.h)) filefault("write", ext.hpath.c_str());
}

void firstlevel() {
    const int q = colmap.cur_q;
    fl.c = 0;
    for (int i = 0; i < MAXDIM; i++) rc.levelcnt[i].pending = rc.levelcnt[i].parents = 0;
    for (int i = 0; i <= colmap.cur_k; i++)
        for (int p = 0; p <= colmap.cur_n; p++) colmap.m[i][p] = 0;
    if (!store_reset()) return;
    std::string sol = solpath(1);
    FILE* fp = chkopen(sol.c_str(), "w");
    if (!fp) return;
    const int m = colmap.cur_n - colmap.cur_k;
    for (int x = colmap.cur_d - 1; x <= m && !runstop(); x++) {
        if (x + 1 >= MAXLEN || runpar.wt[x + 1] != 1) continue;
        const int z = m - x;
        fl.c++;
        rc.levelcnt[1].parents++;
        rc.levelcnt[1].total++;
        fprintf(fp, " \n");
        fprintf(fp, "? %d 1  %d  1\n", q, fl.c);
        fprintf(fp, " %d %d ", z, x);
        for (int t = 0; t < q - 2; t++) fprintf(fp, "0 ");
        if (q > 2) compenum(fp, q, x, z);
        if (colmap.cur_k == 1) printfirst(z);
    }
    colmap.cur_len = m + 1;
    for (int i = 1; i <= colmap.cur_k; i++) colmap.m[i][m + i] = 1;
    if (!chkclose(fp, sol.c_str())) return;
    copyfile(sol, realsolpath(1));
}

// ---- the dimension search -------------------------------------------------------

// Writes, from position 1 of colmap row `row`, value v into as many
// consecutive positions as count(l, v) says, block by block.  Returns P, the
// number of positions filled.
template <class F>
static int fillrow(int row, F count, int nblk, int q) {
    int p = 0;
    for (int l = 0; l < nblk; l++)
        for (int v = 0; v < q; v++)
            for (int t = 0; t < count(l, v) && p + 1 < MAXLEN; t++) colmap.m[row][++p] = v;
    return p;
}

// All partners of sol.L against the parent now in colmap row L, children
// into fp.
static void partners(int L, FILE* out) {
    std::string sol = solpath(L);
    FILE* in = chkopen(sol.c_str(), "r");
    if (!in) return;
    levrec r;
    int got;
    while (!runstop() && (got = levrec_readpartner(in, r)) == 1) {
        rc.levelcnt[L].pending--;
        levelsw = 1;
        mt.lastblk = r.nblk - 1;
        if (r.simple == 0) {
            rowenum(runpar.propcol[L + 1], 0, 0, r.q, 0, 0, out, L + 1, 0, 0);
        } else {
            int P = fillrow(L + 1, [](int l, int v) { return mt.partner[l][v]; }, r.nblk, r.q);
            colmap.cur_len = P + L + 1;
            colmap.cur_level = L + 1;
            steptest(r.q - 1, r.q, r.q - 1, r.nblk, r.nblk, out, L + 1, 1, 3);
            mt.cutflag = 0;  // a cut of the whole row leaves nothing to abandon
        }
    }
    if (got < 0 && !runfault) filefault("read", sol.c_str());
    chkclose(in, sol.c_str());
}

// One parent: its children over all partners into sol.L+1, then the descent.
static void oneparent(int L, const levrec& r) {
    rc.levelcnt[L].parents--;
    rc.levelcnt[L + 1].pending = 0;
    rc.levelcnt[L + 1].total = 0;
    rc.levelcnt[L].pending = rc.levelcnt[L].total;
    if (!store_reset()) return;
    mt.recno = 0;
    int P = fillrow(L, [](int l, int v) { return mt.remain[l][0][v]; }, r.nblk, r.q);
    colmap.cur_level = L;
    colmap.cur_len = P + L;
    std::string next = solpath(L + 1);
    ext.levpath = next;
    FILE* out = chkopen(next.c_str(), "w");
    if (!out) return;
    partners(L, out);
    if (!chkclose(out, next.c_str()) || runfault) return;
    if (!copyfile(next, realsolpath(L + 1))) return;
    dimsearch(L + 1);
}

void dimsearch(int L) {
    if (L == colmap.cur_k || runfault) return;
    std::string real = realsolpath(L);
    FILE* in = chkopen(real.c_str(), "r");
    if (!in) return;
    levrec r;
    int got;
    while (!runstop() && (got = levrec_readparent(in, r)) == 1)
        if (r.flag == 1) oneparent(L, r);
    if (got < 0 && !runfault) filefault("read", real.c_str());
    chkclose(in, real.c_str());
}
