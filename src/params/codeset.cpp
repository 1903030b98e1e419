// The set of a dimension's codes and the closed counts (see codeset.h).
#include "params/codeset.h"

#include "containers/zassert.h"

CodeSet codesetof(const RunParams& p, int D) {
    CodeSet s;
    s.q = p.q;
    s.k = D;
    s.d = p.d;
    s.selforth = p.selforth && p.q <= 4;
    if (p.brute) {
        s.n = p.nasked;
        s.cut = D != p.k;
    } else {
        s.n = p.n - p.k + D;
        s.dualdist = D - p.k + p.dualdist;
        for (int i = 2; i <= D; i++) s.cut = s.cut || p.propcol[i] < p.n - p.k + i;
    }
    s.allowed.assign((size_t)s.n + 1, 0);
    for (int w = 1; w <= s.n && w < MAXLEN; w++) s.allowed[(size_t)w] = p.wt[w] == 1;
    return s;
}

BigNat gaussian(int n, int k, int q) {
    if (k < 0 || k > n) return BigNat(0);
    BigNat r(1);
    // After step i, r = [n choose i + 1]_q, an integer, so every division is exact.
    for (int i = 0; i < k; i++) {
        BigNat up = BigNat::power((uint32_t)q, (uint32_t)(n - i));
        up.minusone();
        r = r * up;
        uint64_t down = 1;
        for (int t = 0; t <= i; t++) down *= (uint64_t)q;
        r.divmod(down - 1);
    }
    return r;
}

namespace {

// Every weight w in 1..n with ok(w) is allowed.
template <class F>
bool allows(const CodeSet& s, F ok) {
    for (int w = 1; w <= s.n; w++)
        if (ok(w) && !s.allowed[(size_t)w]) return false;
    return true;
}

// prod_{i=from}^{to} (b^(step i + off) + 1), times `times`.
BigNat product(uint32_t b, int from, int to, int step, int off, uint32_t times) {
    BigNat r(times);
    for (int i = from; i <= to; i++) {
        BigNat f = BigNat::power(b, (uint32_t)(step * i + off));
        f += BigNat(1);
        r = r * f;
    }
    return r;
}

// The self-dual families; false when s is none of them.
bool selfdual(const CodeSet& s, BigNat& count, std::string& formula) {
    const int h = s.n / 2;
    auto even = [](int w) { return w % 2 == 0; };
    if (s.q == 2 && allows(s, even)) {
        formula = "binary self-dual codes";
        count = product(2, 1, h - 1, 1, 0, 1);
        return true;
    }
    if (s.q == 2 && allows(s, [](int w) { return w % 4 == 0; })) {
        for (int w = 2; w <= s.n; w += 4)
            if (s.allowed[(size_t)w]) return false;  // some but not all singly-even weights
        formula = "doubly-even binary self-dual codes";
        count = s.n % 8 == 0 ? product(2, 0, h - 2, 1, 0, 1) : BigNat(0);
        return true;
    }
    if (s.q == 3 && allows(s, [](int w) { return w % 3 == 0; })) {
        formula = "ternary self-dual codes";
        count = s.n % 4 == 0 ? product(3, 1, h - 1, 1, 0, 2) : BigNat(0);
        return true;
    }
    if (s.q == 4 && allows(s, even)) {
        formula = "Hermitian self-dual codes over GF(4)";
        count = product(2, 0, h - 1, 2, 1, 1);
        return true;
    }
    return false;
}

// x^e for a natural number x.
BigNat power(const BigNat& x, int e) {
    BigNat r(1);
    for (int i = 0; i < e; i++) r = r * x;
    return r;
}

// The [n,k]_q codes without a zero coordinate (dual distance >= 2), or
// projective (>= 3: no two coordinates proportional either), counted as
// their generator matrices over |GL(k,q)|.  The columns of a k x n matrix
// span a subspace U of GF(q)^k; let f(j) be the number of sequences of n
// columns of the kind asked in a space of dimension j, so that
// f(k) = sum over U of g(U), g(U) the matrices whose columns span exactly U.
// Moebius inversion over the lattice of subspaces (mu(U, V) =
// (-1)^(k-j) q^((k-j)(k-j-1)/2) for dim U = j, dim V = k) gives the
// matrices of rank k:
//     g(GF(q)^k) = sum_{j=0..k} (-1)^(k-j) q^((k-j)(k-j-1)/2) [k choose j]_q f(j),
// with f(j) = (q^j - 1)^n for non-zero columns, and for pairwise independent
// non-zero columns f(j) = (q-1)^n theta (theta - 1) .. (theta - n + 1),
// theta = (q^j - 1)/(q - 1) the points of PG(j-1,q).
BigNat withoutdependence(int n, int k, int q, int dualdist) {
    BigNat plus, minus;
    for (int j = 0; j <= k; j++) {
        BigNat f;
        if (dualdist == 2) {
            BigNat base = BigNat::power((uint32_t)q, (uint32_t)j);
            base.minusone();
            f = power(base, n);
        } else {
            uint64_t theta = 0;
            for (int t = 0; t < j; t++) theta = theta * (uint64_t)q + 1;
            f = power(BigNat((uint64_t)q - 1), n);
            for (int i = 0; i < n; i++) f = f * BigNat(theta >= (uint64_t)i ? theta - (uint64_t)i : 0);
        }
        const int c = k - j;
        BigNat term = gaussian(k, j, q) * BigNat::power((uint32_t)q, (uint32_t)(c * (c - 1) / 2)) * f;
        (c % 2 == 0 ? plus : minus) += term;
    }
    plus -= minus;
    uint64_t qk = 1;
    for (int t = 0; t < k; t++) qk *= (uint64_t)q;
    for (uint64_t qi = 1; qi < qk; qi *= (uint64_t)q) {  // |GL(k,q)| = prod (q^k - q^i), each below 2^63 for k <= 19
        const uint64_t rest = plus.divmod(qk - qi);
        TALVEN_ASSERT("codeset", rest == 0, "the matrices of rank k fall into bases of whole codes");
    }
    return plus;
}

}  // namespace

bool closedcount(const CodeSet& s, BigNat& count, std::string& formula) {
    if (s.cut || s.dualdist > 3 || s.k < 1 || s.k > s.n) return false;
    if (s.dualdist >= 2) {  // codes without zero coordinates, projective codes
        if (s.selforth || !allows(s, [](int) { return true; })) return false;
        formula = s.dualdist == 2 ? "[n,k]_q codes without zero coordinates" : "projective [n,k]_q codes";
        count = withoutdependence(s.n, s.k, s.q, s.dualdist);
        return true;
    }
    if (!s.selforth) {
        if (!allows(s, [](int) { return true; })) return false;
        formula = "all [n,k]_q codes";
        count = gaussian(s.n, s.k, s.q);
        return true;
    }
    if (2 * s.k != s.n) return false;
    return selfdual(s, count, formula);
}

std::string verdictwords(const BigNat& mass, const BigNat* expected) {
    std::string s = " mass=" + mass.str();
    if (!expected) return s + " expected=not-counted complete=unknown";
    return s + " expected=" + expected->str() + " complete=" + (mass == *expected ? "yes" : "no");
}
