// The facts of one code (see analyse.h).  The minimum distances use the
// distance engine's information-set method, so they stay cheap for codes
// whose full listing would not be; the weight distribution lists the code
// once up to scalars.
#include "results/analyse.h"

#include "distance/rank.h"
#include "field/field.h"

CodeAnalyser::CodeAnalyser(int q, bool linear4) : q_(q), former_(q, linear4) {
    dist_.usefield(q, gf(q).small());
}

void CodeAnalyser::load(const CodeMatrix& c) {
    g_.ensure(c.k, c.n, q_);
    for (int r = 1; r <= c.k; r++)
        for (int j = 1; j <= c.n; j++) g_.a[r][j] = c.at(r - 1, j - 1);
    g_.used = c.k;
    g_.dreq = 1;
}

int CodeAnalyser::rank(const CodeMatrix& c) {
    load(c);
    return dist_.rref(g_, g_, nullptr, Rref::none);
}

int CodeAnalyser::mindist(const CodeMatrix& c) {
    load(c);
    return dist_.mindist(g_);
}

bool CodeAnalyser::atleast(const CodeMatrix& c, int d) {
    if (d <= 1) return true;
    load(c);
    g_.dreq = d;
    return dist_.checkdist(g_) == 1;
}

int CodeAnalyser::dualdist(const CodeMatrix& c) {
    if (c.k == c.n) return c.n + 1;
    load(c);
    dual_.ensure(c.n - c.k, c.n, q_);
    dist_.dualmat(dual_, g_);
    dual_.dreq = 1;
    return dist_.mindist(dual_);
}

void CodeAnalyser::weights(const CodeMatrix& c, std::vector<uint64_t>& A) {
    load(c);
    dist_.spectrum(g_);
    const uint64_t* P = dist_.weights();  // once per line through 0
    A.assign((size_t)c.n + 1, 0);
    A[0] = 1;
    for (int w = 1; w <= c.n; w++) A[(size_t)w] = P[w] * (uint64_t)(q_ - 1);
}

bool CodeAnalyser::selforthogonal(const CodeMatrix& c) {
    const Field& F = gf(q_);
    for (int r1 = 0; r1 < c.k; r1++)
        for (int r2 = r1; r2 < c.k; r2++) {
            int s = 0;
            for (int j = 0; j < c.n; j++) {
                const int y = c.at(r2, j);
                s = F.addtab[s][F.multab[c.at(r1, j)][q_ == 4 ? F.multab[y][y] : y]];
            }
            if (s != 0) return false;
        }
    return true;
}

bool CodeAnalyser::form(const CodeMatrix& c, CodeForm& out) { return former_.form(c.a.data(), c.k, c.n, out); }

bool CodeAnalyser::facts(const CodeMatrix& c, CodeFacts& out, CodeForm* keep) {
    CodeForm own;
    CodeForm& f = keep ? *keep : own;
    if (!form(c, f)) return false;
    out.aut = f.autorder;
    weights(c, out.weights);
    out.d = c.n + 1;
    for (int w = 1; w <= c.n; w++)
        if (out.weights[(size_t)w] > 0) {
            out.d = w;
            break;
        }
    out.duald = dualdist(c);
    return true;
}
