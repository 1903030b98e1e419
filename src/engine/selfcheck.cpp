// The self-checks of a run (see selfcheck.h).
#include "engine/selfcheck.h"

#include <algorithm>
#include <vector>

#include "field/field.h"
#include "params/options.h"

int SelfCheck::levelfromenv() { return envnumber(Opt::check); }

SelfCheck::SelfCheck(int level, int q, bool linear4) : level_(level), rng_(20261206) {
    dist_.usefield(q, gf(q).small());
    inv_.setlinear(linear4);
}

void SelfCheck::labelling(const Labeller& lab, const ByteMatrix& inc, const int32_t* colours) {
    const int M = inc.rows, N = inc.cols;
    for (int g = 1; g <= lab.automorphisms(); g++) {
        const int32_t* sc = lab.aut_cols(g);
        const int32_t* sr = lab.aut_rows(g);
        for (int c = 1; c <= N; c++)
            TALVEN_ASSERT("selfcheck", colours == nullptr || colours[c] == colours[sc[c]], "automorphism keeps colours");
        for (int r = 1; r <= M; r++)
            for (int c = 1; c <= N; c++)
                TALVEN_ASSERT("selfcheck", inc.a[r][c] == inc.a[sr[r]][sc[c]], "automorphism keeps incidences");
        automorphisms++;
    }
}

void SelfCheck::afterpartner(const SplitTables& split, int q) {
    for (int l = 0; l <= split.lastblk; l++)
        for (int i = 0; i < q; i++)
            for (int b = 0; b < q; b++) TALVEN_ASSERT("selfcheck", split.split[l][i][b] == 0, "split tables clean");
    TALVEN_ASSERT("selfcheck", !split.cut, "no cut pending");
    tables++;
}

// The canonical forms of two labellings agree: the value multiset, mainval,
// the canonical matrix, the values in canonical order and the certificate.
void SelfCheck::samecanonical(const ColumnInvariants& a, const Labeller& la, const ColumnInvariants& b,
                              const Labeller& lb) {
    const int N = a.table().N, M = a.incidence().rows;
    TALVEN_ASSERT("selfcheck", b.table().N == N && b.incidence().rows == M, "image has the same shape");
    TALVEN_ASSERT("selfcheck", a.table().mainval == b.table().mainval, "image has the same mainval");
    std::vector<int32_t> va(a.table().value + 1, a.table().value + N + 1), vb(b.table().value + 1, b.table().value + N + 1);
    std::sort(va.begin(), va.end());
    std::sort(vb.begin(), vb.end());
    TALVEN_ASSERT("selfcheck", va == vb, "image has the same values");
    const int32_t *ra = la.canonical_rows(), *ca = la.canonical_cols();
    const int32_t *rb = lb.canonical_rows(), *cb = lb.canonical_cols();
    for (int j = 1; j <= N; j++)
        TALVEN_ASSERT("selfcheck", a.table().value[ca[j]] == b.table().value[cb[j]], "same values in canonical order");
    for (int i = 1; i <= M; i++)
        for (int j = 1; j <= N; j++)
            TALVEN_ASSERT("selfcheck", a.incidence().a[ra[i]][ca[j]] == b.incidence().a[rb[i]][cb[j]], "same canonical matrix");
    TALVEN_ASSERT("selfcheck", la.certificate() == lb.certificate(), "same certificate");
}

// The minimum distance of the code by listing every codeword once up to
// scalars, against the distance engine.
void SelfCheck::fulllisting(const WorkingCode& code) {
    const int L = code.level, n = code.len, q = code.q;
    const Field& F = gf(q);
    if (L > 9 || F.powtab[L] > ((uint64_t)1 << 20)) return;
    full_.ensure(L, n, q);
    for (int r = 1; r <= L; r++)
        for (int c = 1; c <= n; c++) full_.a[r][c] = (uint8_t)code.m[r][c];
    full_.used = L;
    int best = n + 1;
    std::vector<int> coef(L + 1, 0), word(n + 1, 0);
    for (uint64_t x = 1; x < F.powtab[L]; x++) {
        uint64_t t = x;
        for (int r = 1; r <= L; r++, t /= (uint64_t)q) coef[r] = (int)(t % (uint64_t)q);
        int w = 0;
        for (int c = 1; c <= n; c++) {
            int s = 0;
            for (int r = 1; r <= L; r++) s = F.addtab[s][F.multab[coef[r]][code.m[r][c]]];
            w += s != 0;
        }
        best = std::min(best, w);
    }
    TALVEN_ASSERT("selfcheck", dist_.mindist(full_) == best, "minimum distance equals the full listing");
    listings++;
}

void SelfCheck::newcode(const WorkingCode& code, const ColumnInvariants& inv, const Labeller& lab,
                        const ByteMatrix& reduced) {
    if (level_ < 2) return;
    fulllisting(code);
    const int q = code.q, L = reduced.used, nd = inv.table().ndist;
    const Field& F = gf(q);
    // A random invertible change of basis: row additions and swaps.
    std::vector<std::vector<int>> h(L + 1, std::vector<int>(nd + 1, 0));
    for (int r = 1; r <= L; r++)
        for (int c = 1; c <= nd; c++) h[r][c] = reduced.a[r][c];
    for (int t = 0; t < 4 * L && L > 1; t++) {
        int a = 1 + (int)(rng_() % L), b = 1 + (int)(rng_() % L);
        if (a == b) {
            std::swap(h[a], h[a % L + 1]);
            continue;
        }
        int s = (int)(rng_() % q);
        for (int c = 1; c <= nd; c++) h[a][c] = F.addtab[h[a][c]][F.multab[s][h[b][c]]];
    }
    // A permutation and scaling of the distinct columns; their first-pass
    // values go with them.
    std::vector<int> perm(nd + 1);
    for (int c = 0; c <= nd; c++) perm[c] = c;
    std::shuffle(perm.begin() + 1, perm.end(), rng_);
    const int per = q == 2 ? 1 : 2 * (q - 1);
    first_.assign((size_t)(per * nd + 1), 0);
    g_.ensure(L, nd, q);
    for (int c = 1; c <= nd; c++) {
        const int s = 1 + (int)(rng_() % (q - 1));
        for (int r = 1; r <= L; r++) g_.a[r][perm[c]] = (uint8_t)F.multab[s][h[r][c]];
        for (int t = 1; t <= per; t++)
            first_[(size_t)((perm[c] - 1) * per + t)] = inv.table().firstpassval[(c - 1) * per + t];
    }
    g_.used = L;
    g_.dreq = reduced.dreq;
    inv_.givefirstpass(q, nd, first_.data());
    inv_.inv_secondpass(g_, gb_, gs_, dist_);
    lab_.label(inv_.incidence(), inv_.table().cls);
    samecanonical(inv, lab, inv_, lab_);
    images++;
}
