// Candidate tests.  The cheap tests come first and need no enumeration:
// self-orthogonality compares only the last two rows (every earlier pair was
// compared when the partner, a code one level below, was built), and a dual
// distance of 2 or 3 only asks for no zero column and no two proportional
// columns.  Larger dual distances and the minimum distance go to the distance
// subsystem, exhaustively for small dimensions.
#include "engine/candtest.h"

#include "distance/dist.h"
#include "distance/rank.h"
#include "field/field.h"
#include "frame/runpar.h"

candrec ct;

void cand_release() {
    bmat_free(ct.cand);
    bmat_free(ct.dual);
    wmat_free(ct.gb);
    bmat_free(ct.gs);
}

void candfill() {
    const int L = colmap.cur_level, len = colmap.cur_len;
    bmat_ensure(ct.cand, L, len, colmap.cur_q);
    for (int r = 1; r <= L; r++)
        for (int c = 1; c <= len; c++) {
            int v = colmap.m[r][c];
            if (colmap.m[L][c] < 0) v = 0;  // an unassigned column of the last row
            ct.cand.a[r][c] = (uint8_t)v;
        }
    ct.cand.fill = L;
    ct.cand.spare = colmap.dreq;
}

int test_selforth() {
    const int L = colmap.cur_level, len = colmap.cur_len, q = colmap.cur_q;
    if (q > 4 || L < 2) return 1;
    const int32_t* x = colmap.m[L];
    const int32_t* y = colmap.m[L - 1];
    if (q == 2) {
        int cnt = 0;
        for (int c = 1; c <= len; c++) cnt += doublyeven ? (x[c] != y[c]) : (x[c] == 1 && y[c] == 1);
        return doublyeven ? cnt % 4 == 0 : cnt % 2 == 0;
    }
    static const int conj4[4] = {0, 1, 3, 2};
    const Field& F = gf(q);
    int s = 0;
    for (int c = 1; c <= len; c++) s = F.addtab[s][F.multab[q == 4 ? conj4[x[c]] : x[c]][y[c]]];
    return s == 0;
}

// 1 when some column of rows 1..L is zero throughout.
static int haszerocol(int L, int len) {
    for (int c = 1; c <= len; c++) {
        int r = 1;
        while (r <= L && colmap.m[r][c] == 0) r++;
        if (r > L) return 1;
    }
    return 0;
}

// 1 when columns c1 and c2 are non-zero multiples of each other.
static int proportional(int L, int c1, int c2) {
    int r = 1;
    while (r <= L && colmap.m[r][c1] == 0 && colmap.m[r][c2] == 0) r++;
    if (r > L) return 0;  // both zero
    int a = colmap.m[r][c1], b = colmap.m[r][c2];
    if (a == 0 || b == 0) return 0;
    const Field& F = gf(colmap.cur_q);
    int ia = F.invtab[a], ib = F.invtab[b];
    for (; r <= L; r++)
        if (F.multab[ia][colmap.m[r][c1]] != F.multab[ib][colmap.m[r][c2]]) return 0;
    return 1;
}

int test_dual() {
    const int L = colmap.cur_level, len = colmap.cur_len;
    colmap.dualreq = L - colmap.cur_k + colmap.cur_dual;
    const int req = colmap.dualreq;
    if (req < 2) return 1;
    if (req == 2) return !haszerocol(L, len);
    if (req == 3) {
        // Zero columns are rejected here too: the level below checked them
        // only when it had a test of its own (codes of dimension 1 have none).
        if (haszerocol(L, len)) return 0;
        for (int c1 = 1; c1 <= len; c1++)
            for (int c2 = c1 + 1; c2 <= len; c2++)
                if (proportional(L, c1, c2)) return 0;
        return 1;
    }
    candfill();
    const int drows = len - L;
    if (drows <= 0) return 1;  // the dual is the zero code
    bmat_ensure(ct.dual, drows, len, colmap.cur_q);
    dualmat(ct.dual, ct.cand);
    ct.dual.spare = req;
    return ct.dual.rows <= 9 ? checkdist_ex(ct.dual) : checkdist(ct.dual);
}

int test_dist() {
    candfill();
    if (runpar.wtrestr == 1) {
        spectrum(ct.cand);
        const uint64_t* A = dinvar.infsettv.Aspec;
        for (int w = 1; w <= colmap.cur_len; w++)
            if (A[w] > 0 && (w >= MAXLEN || runpar.wt[w] == 0)) return 0;
        return 1;
    }
    return colmap.cur_level <= 9 ? checkdist_ex(ct.cand) : checkdist(ct.cand);
}
