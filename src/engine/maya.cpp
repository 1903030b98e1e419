// The one instance of the extension step's tables (see maya.h).
#include "engine/maya.h"

#include <algorithm>
#include <cstring>

mayatab mt;

void maya_reset() {
    memset(&mt, 0, sizeof mt);
    for (int p = 0; p < MAXLEN; p++) mt.newrow[p] = -3;
}

// ---- the extension step ---------------------------------------------------------
//
// The new row is never enumerated position by position: for every pair
// (block l, value i) the partner says how many columns of block l take value
// i, and the enumerator only chooses how that amount is split over the
// parent's classes (l, b) of the block.  Columns of one class are
// interchangeable, so within a class the new values are written in
// non-decreasing order; the split counts are all a level record needs.

#include <ctime>

#include "canon/canon.h"
#include "engine/candtest.h"
#include "engine/records.h"
#include "engine/store.h"
#include "invariants/distw.h"

extrec ext;

int64_t clockms() { return (int64_t)clock() * 1000 / CLOCKS_PER_SEC; }

void engine_reset() {
    cand_release();
    maya_reset();
}

// remain, cap and capsum of pair (l, i); split[l][i][.] := 0.
static void pairtables(int l, int i, int q, int propbound) {
    int sum = 0;
    for (int b = q - 1; b >= 0; b--) {
        mt.split[l][i][b] = 0;
        if (i > 0) mt.remain[l][i][b] = mt.remain[l][i - 1][b] - mt.split[l][i - 1][b];
        mt.cap[l][i][b] = std::min(mt.remain[l][i][b], propbound);
        sum += mt.cap[l][i][b];
        if (b >= 1) mt.capsum[l][i][b - 1] = sum;
    }
}

// The pair after (l, i): false when (l, i) is the last one.
static bool nextpair(int& l, int& i, int q) {
    if (i < q - 1) {
        i++;
        return true;
    }
    if (l < mt.lastblk) {
        l++;
        i = 0;
        return true;
    }
    return false;
}

// After a completed split of pair (l, i): the step test, then (unless it cut
// this branch) the next pair.
static void afterpair(int propbound, int q, int i, int l, FILE* fp, int D, int depth, int nn) {
    steptest(q - 1, q, i, l, mt.lastblk, fp, D, nn, 1);
    if (mt.cutflag) {
        mt.cutflag = 0;
        return;
    }
    int nl = l, ni = i;
    if (nextpair(nl, ni, q)) rowenum(propbound, 0, 0, q, ni, nl, fp, D, depth + 1, nn);
}

void rowenum(int propbound, int amount, int b, int q, int i, int l, FILE* fp, int D, int depth, int nn) {
    if (runfault) return;
    if (b == 0) {
        pairtables(l, i, q, propbound);
        amount = mt.partner[l][i];
        while (amount == 0) {
            if (!nextpair(l, i, q)) {
                steptest(q - 1, q, i, l, mt.lastblk, fp, D, nn, 1);
                mt.cutflag = 0;
                return;
            }
            pairtables(l, i, q, propbound);
            amount = mt.partner[l][i];
        }
    }
    int32_t& share = mt.split[l][i][b];
    share = std::min(amount, mt.cap[l][i][b]);
    int rest = amount - share;
    nn += share;
    for (bool first = true;; first = false) {
        if (rest == 0) {
            afterpair(propbound, q, i, l, fp, D, depth, nn);
        } else {
            if (rest > mt.capsum[l][i][b]) break;
            if (b < q - 2) {
                rowenum(propbound, rest, b + 1, q, i, l, fp, D, depth + 1, nn);
            } else {  // the last class takes the rest
                if (rest > mt.cap[l][i][q - 1]) {
                    printf(first ? "Error 1" : "Error 3");
                    zfail("maya", __LINE__, "true");
                }
                mt.split[l][i][q - 1] = rest;
                afterpair(propbound, q, i, l, fp, D, depth, nn + rest);
                mt.split[l][i][q - 1] = 0;
            }
        }
        if (share < 1 || runfault) break;
        share--;
        rest++;
        nn--;
        if (rest > mt.capsum[l][i][b]) break;
    }
    share = 0;
}

// The new row from the split counts: class by class, value i written into
// split[l][i][b] positions.  Returns the number of positions assigned.
static int buildnewrow(int q, int nfree) {
    for (int p = 0; p <= nfree; p++) mt.newrow[p] = -3;
    int tt = 0, tn = 0, assigned = 0;
    for (int l = 0; l <= mt.lastblk; l++)
        for (int b = 0; b < q; b++) {
            const int m = mt.remain[l][0][b];
            if (m <= 0) continue;
            tn += m;
            const int start = tt;
            for (int i = 0; i < q; i++)
                for (int s = 0; s < mt.split[l][i][b]; s++, assigned++) mt.newrow[++tt] = i;
            tt = start + m;
        }
    ZASSERT("maya", tt != tn, "tt!=tn");
    return assigned;
}

// The process clock is a system call, so it is read only on every 1024th
// step test; the line still comes at most once every 3000 ms.
static void progress(int D) {
    static uint32_t calls = 0;
    if ((++calls & 1023) != 0) return;
    int64_t now = clockms();
    if (now - ext.lastprint <= 3000) return;
    ext.lastprint = now;
    printf("\n");
    printf(" BR=%d ", codecount);
    for (int j = 1; j <= D; j++) printf("  %d ", rc.levelcnt[j].parents);
    printf(" BEDARC : %d \n PS   ", 0);
    for (int j = 1; j <= D; j++) printf("  %d ", rc.levelcnt[j].pending);
    printf("\n RES   ");
    for (int j = 1; j <= colmap.cur_k; j++) printf("  %d ", rc.rescount[j]);
    fflush(stdout);
}

// Brute generation: a branch whose leading zero class is too small is cut.
static bool brutecut(int D) {
    if (runpar.brute != 1) return false;
    int z = mt.split[0][0][0];
    const int s = runpar.brutedim;
    if (s > D) z -= s - D;
    if (D > z) {
        mt.cutflag = 1;
        return true;
    }
    return false;
}

// Writes the candidate row into colmap row D.
static void placerow(int D, int q) {
    const int nfree = colmap.cur_n - colmap.cur_k;
    colmap.cur_level = D;
    colmap.cur_q = q;
    colmap.cur_len = D - colmap.cur_k + colmap.cur_n;
    for (int p = 0; p <= nfree; p++) {
        colmap.m[0][p] = 0;
        colmap.m[D][p] = mt.newrow[p];
    }
}

static bool passestests() {
    colmap.dreq = colmap.cur_d;
    if (runpar.selforth == 1 && !test_selforth()) return false;
    if (!test_dual()) return false;
    return test_dist() != 0;
}

// Both invariant passes on the candidate in colmap.
static void invariants() {
    inv_firstpass();
    const int L = colmap.cur_level, nd = redmat.cur_len;
    bmat_ensure(ct.cand, L, nd, colmap.cur_q);
    for (int r = 1; r <= L; r++)
        for (int c = 1; c <= nd; c++) ct.cand.a[r][c] = (uint8_t)redmat.m[r][c];
    ct.cand.fill = L;
    ct.cand.spare = colmap.cur_d;
    inv_savefirst();
    inv_secondpass(ct.cand, ct.gb, ct.gs);
}

// Canonical augmentation: the added coordinate must lie in the orbit of the
// last canonical point of the smallest value; then the form must be new
// among the siblings.  Returns the flag of the level record.
static int newornot(int q) {
    const int sp = invt.specialpt, N = invt.N;
    if (invt.value[sp] != invt.mainval) return 0;
    canon_code(1, invt.cls);
    cell_index(cws.orbits);
    int p = 0;
    for (int t = N; t >= 1 && p == 0; t--)
        if (invt.value[cws.bestcol.el[t]] == invt.mainval) p = cws.bestcol.el[t];
    int flag = cws.cellcol[p] == cws.cellcol[sp];
    if (q > 2) flag = flag || cws.cellcol[p] == cws.cellcol[sp - 1];
    if (!flag) return 0;
    return store_lookup(3, incmat, incmat.rows, N, cws.bestrow.el, cws.bestcol.el,
                        invt.inuse ? invt.value : nullptr, cws.certhash);
}

void steptest(int qm1, int q, int i, int l, int lastl, FILE* fp, int D, int nn, int mode) {
    (void)qm1;
    if (runstop() || brutecut(D)) return;
    progress(D);
    if (mode == 1) {
        if (l != lastl || i != q - 1) return;
        const int putn1 = buildnewrow(q, colmap.cur_n - colmap.cur_k);
        ZASSERT("maya", putn1 != nn, "PUTN1!=nn");
        colmap.putn = putn1;
        placerow(D, q);
        // A partner record covers every free column, so the row is complete.
        ZASSERT("maya", putn1 != colmap.cur_n - colmap.cur_k, "PUTN1!=n-k");
    }
    if (!passestests()) return;
    invariants();
    const int flag = newornot(q);
    if (flag) {
        if (!printres(colmap, ext.res)) filefault("write", ext.respath.c_str());
        if (!printh(colmap, ext.h)) filefault("write", ext.hpath.c_str());
    }
    if (!levrec_write(fp, flag, D, lastl, q, mode)) filefault("write", ext.levpath.c_str());
}
