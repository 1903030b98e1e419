// Candidate tests.  The cheap tests come first and need no enumeration:
// self-orthogonality compares only the last two rows (every earlier pair was
// compared when the partner, a code one level below, was built), and a dual
// distance of 2 or 3 only asks for no zero column and no two proportional
// columns.  Larger dual distances and the minimum distance go to the distance
// engine, exhaustively for small dimensions.
#include "engine/candtest.h"

#include "distance/rank.h"
#include "field/field.h"

void CandidateTests::candfill(const WorkingCode& code) {
    const int L = code.level, len = code.len;
    mats.cand.ensure(L, len, code.q);
    for (int r = 1; r <= L; r++)
        for (int c = 1; c <= len; c++) {
            int v = code.m[r][c];
            if (code.m[L][c] < 0) v = 0;  // an unassigned column of the last row
            mats.cand.a[r][c] = (uint8_t)v;
        }
    mats.cand.used = L;
    mats.cand.dreq = code.dreq;
}

bool CandidateTests::test_selforth(const WorkingCode& code) const {
    const int L = code.level, len = code.len, q = code.q;
    if (q > 4 || L < 2) return true;
    const int32_t* x = code.m[L];
    const int32_t* y = code.m[L - 1];
    if (q == 2) {
        const bool de = par_.doublyeven;
        int cnt = 0;
        for (int c = 1; c <= len; c++) cnt += de ? (x[c] != y[c]) : (x[c] == 1 && y[c] == 1);
        return de ? cnt % 4 == 0 : cnt % 2 == 0;
    }
    static const int conj4[4] = {0, 1, 3, 2};
    const Field& F = gf(q);
    int s = 0;
    for (int c = 1; c <= len; c++) s = F.addtab[s][F.multab[q == 4 ? conj4[x[c]] : x[c]][y[c]]];
    return s == 0;
}

namespace {

// True when some column of rows 1..L is zero throughout.
bool haszerocol(const WorkingCode& code, int L, int len) {
    for (int c = 1; c <= len; c++) {
        int r = 1;
        while (r <= L && code.m[r][c] == 0) r++;
        if (r > L) return true;
    }
    return false;
}

// True when columns c1 and c2 are non-zero multiples of each other.
bool proportional(const WorkingCode& code, const Field& F, int L, int c1, int c2) {
    int r = 1;
    while (r <= L && code.m[r][c1] == 0 && code.m[r][c2] == 0) r++;
    if (r > L) return false;  // both zero
    int a = code.m[r][c1], b = code.m[r][c2];
    if (a == 0 || b == 0) return false;
    int ia = F.invtab[a], ib = F.invtab[b];
    for (; r <= L; r++)
        if (F.multab[ia][code.m[r][c1]] != F.multab[ib][code.m[r][c2]]) return false;
    return true;
}

}  // namespace

bool CandidateTests::test_dual(WorkingCode& code) {
    const int L = code.level, len = code.len;
    code.dualreq = L - code.k + code.dual;
    const int req = code.dualreq;
    if (req < 2) return true;
    if (req == 2) return !haszerocol(code, L, len);
    if (req == 3) {
        // Zero columns are rejected here too: the level below checked them
        // only when it had a test of its own (codes of dimension 1 have none).
        if (haszerocol(code, L, len)) return false;
        const Field& F = gf(code.q);
        for (int c1 = 1; c1 <= len; c1++)
            for (int c2 = c1 + 1; c2 <= len; c2++)
                if (proportional(code, F, L, c1, c2)) return false;
        return true;
    }
    candfill(code);
    const int drows = len - L;
    if (drows <= 0) return true;  // the dual is the zero code
    mats.dual.ensure(drows, len, code.q);
    dist_.dualmat(mats.dual, mats.cand);
    mats.dual.dreq = req;
    return (mats.dual.rows <= 9 ? dist_.checkdist_ex(mats.dual) : dist_.checkdist(mats.dual)) != 0;
}

bool CandidateTests::test_dist(const WorkingCode& code) {
    const int L = code.level, len = code.len;
    if (L >= 1 && L < MAXDIM && !bounds_.supp[L].empty()) {
        int zeros = 0;
        for (int c = 1; c <= len; c++) {
            int r = 1;
            while (r <= L && (code.m[r][c] == 0 || code.m[L][c] < 0)) r++;
            zeros += r > L;
        }
        if (!bounds_.zerosok(L, zeros, zeros)) return false;
    }
    candfill(code);
    if (bounds_.restricted) {
        dist_.spectrum(mats.cand);
        const uint64_t* A = dist_.weights();
        for (int w = 1; w <= len; w++)
            if (A[w] > 0 && !bounds_.allowed(w)) return false;
        return true;
    }
    mats.cand.dreq = bounds_.dmin;
    return (code.level <= 9 ? dist_.checkdist_ex(mats.cand) : dist_.checkdist(mats.cand)) != 0;
}
