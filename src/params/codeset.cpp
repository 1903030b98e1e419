// The set of a dimension's codes and the closed counts (see codeset.h).
#include "params/codeset.h"

CodeSet codesetof(const RunParams& p, int D) {
    CodeSet s;
    s.q = p.q;
    s.k = D;
    s.d = p.d;
    s.selforth = p.selforth == 1 && p.q <= 4;
    if (p.brute == 1) {
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

}  // namespace

bool closedcount(const CodeSet& s, BigNat& count, std::string& formula) {
    if (s.cut || s.dualdist > 1 || s.k < 1 || s.k > s.n) return false;
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
