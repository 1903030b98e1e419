// The tests' oracles (see oracle.h).
#include "common/oracle.h"

#include <algorithm>
#include <cstdio>
#include <functional>
#include <numeric>
#include <sstream>
#include <unordered_set>

namespace oracle {

wanted plain(int n, int k, int d, int q) {
    wanted w{n, k, d, q, std::vector<int>(n + 1, 0)};
    for (int x = d; x <= n; x++) w.allowed[x] = 1;
    return w;
}

matrix rref(matrix g, const ogf& f) {
    const int rows = (int)g.size();
    const int n = rows ? (int)g[0].size() : 0;
    int r = 0;
    for (int c = 0; c < n && r < rows; c++) {
        int p = r;
        while (p < rows && g[p][c] == 0) p++;
        if (p == rows) continue;
        std::swap(g[p], g[r]);
        int s = f.inv(g[r][c]);
        for (int j = 0; j < n; j++) g[r][j] = f.mul(s, g[r][j]);
        for (int i = 0; i < rows; i++) {
            if (i == r || g[i][c] == 0) continue;
            const int m = f.neg(g[i][c]);
            for (int j = 0; j < n; j++) g[i][j] = f.add(g[i][j], f.mul(m, g[r][j]));
        }
        r++;
    }
    g.resize(r);
    return g;
}

// Every vector of GF(q)^len in turn (as a counter).
static bool nextvec(std::vector<int>& v, int q) {
    for (int& x : v) {
        if (++x < q) return true;
        x = 0;
    }
    return false;
}

codeinfo analyse(const matrix& g, int n, int q, bool withdual) {
    ogf f{q};
    codeinfo c;
    matrix basis = rref(g, f);
    c.rank = (int)basis.size();
    c.spectrum.assign(n + 1, 0);
    c.mindist = n + 1;
    eachword(basis, f, [&](const std::vector<int>& w) {
        const int wt = weight(w);
        c.spectrum[wt]++;
        if (wt) c.mindist = std::min(c.mindist, wt);
    });
    // Self-orthogonality: every pair of basis rows (and each row with itself).
    c.selforth = true;
    for (int a = 0; a < c.rank; a++)
        for (int b = 0; b < c.rank; b++) {
            int s = 0;
            for (int j = 0; j < n; j++) s = f.add(s, f.mul(basis[a][j], f.frob(basis[b][j])));
            if (s) c.selforth = false;
        }
    // Dual distance: the lightest non-zero vector orthogonal to every row.
    c.dualdist = n + 1;
    if (!withdual) return c;
    std::vector<int> x(n, 0);
    while (nextvec(x, q)) {  // every non-zero vector
        bool orth = true;
        for (int i = 0; i < c.rank && orth; i++) {
            int s = 0;
            for (int j = 0; j < n; j++) s = f.add(s, f.mul(x[j], basis[i][j]));
            orth = s == 0;
        }
        if (orth) c.dualdist = std::min(c.dualdist, weight(x));
    }
    return c;
}

bool satisfies(const codeinfo& c, const wanted& w) {
    if (c.rank != w.k) return false;
    for (int x = 1; x <= w.n; x++)
        if (c.spectrum[x] && !w.allowed[x]) return false;
    if (c.mindist < w.d) return false;
    if (w.selforth && w.q <= 4 && !c.selforth) return false;
    if (c.dualdist < w.dualdist) return false;
    return true;
}

std::vector<uint64_t> weights(const matrix& g, int n, int q) {
    std::vector<uint64_t> A(n + 1, 0);
    eachword(g, ogf{q}, [&](const std::vector<int>& w) { A[weight(w)]++; });
    return A;
}

// The code of g as a set of n-tuples (coded base q).
static std::vector<char> wordset(const matrix& g, int n, const ogf& f) {
    int64_t total = 1;
    for (int j = 0; j < n; j++) total *= f.q;
    std::vector<char> in((size_t)total, 0);
    eachword(g, f, [&](const std::vector<int>& w) {
        int64_t code = 0;
        for (int x : w) code = code * f.q + x;
        in[(size_t)code] = 1;
    });
    return in;
}

int64_t maps(const matrix& a, const matrix& b, int q, bool semilinear) {
    const ogf f{q};
    const int k = (int)a.size(), n = (int)a[0].size();
    const std::vector<char> inb = wordset(b, n, f);
    std::vector<int> perm(n), lam(n), y(n);
    for (int j = 0; j < n; j++) perm[j] = j;
    int64_t count = 0;
    do {
        std::fill(lam.begin(), lam.end(), 1);
        for (;;) {
            for (int fr = 0; fr <= (semilinear && q == 4 ? 1 : 0); fr++) {
                bool ok = true;
                for (int i = 0; i < k && ok; i++) {
                    for (int j = 0; j < n; j++) y[perm[j]] = f.mul(lam[j], fr ? f.frob(a[i][j]) : a[i][j]);
                    int64_t code = 0;
                    for (int j = 0; j < n; j++) code = code * q + y[j];
                    ok = inb[(size_t)code];
                }
                count += ok;
            }
            int j = 0;
            while (j < n && ++lam[j] == q) lam[j++] = 1;
            if (j == n) break;
        }
    } while (std::next_permutation(perm.begin(), perm.end()));
    return count;
}

matrix scramble(const matrix& g, int q, std::mt19937& rng, bool frobenius) {
    const ogf f{q};
    const int k = (int)g.size(), n = k ? (int)g[0].size() : 0;
    matrix h = g;
    // Elementary row operations keep the rows a basis of the same code.
    for (int t = 0; t < 4 * k; t++) {
        const int a = (int)(rng() % k), b = (int)(rng() % k), s = 1 + (int)(rng() % (q - 1));
        switch (rng() % 3) {
            case 0:
                if (a != b)
                    for (int j = 0; j < n; j++) h[a][j] = f.add(h[a][j], f.mul(s, h[b][j]));
                break;
            case 1:
                for (int& x : h[a]) x = f.mul(s, x);
                break;
            default:
                std::swap(h[a], h[b]);
        }
    }
    std::vector<int> perm(n);
    for (int j = 0; j < n; j++) perm[j] = j;
    std::shuffle(perm.begin(), perm.end(), rng);
    matrix out(k, std::vector<int>(n));
    for (int j = 0; j < n; j++) {
        const int lam = 1 + (int)(rng() % (q - 1));
        for (int r = 0; r < k; r++) out[r][perm[j]] = f.mul(lam, frobenius ? f.frob(h[r][j]) : h[r][j]);
    }
    return out;
}

std::vector<matrix> resultcodes(const std::string& text) {
    std::vector<matrix> out;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        int k = 0;
        if (line.empty() || line[0] != '?' || sscanf(line.c_str(), "?%d", &k) != 1) continue;
        matrix g;
        for (int r = 0; r < k && std::getline(in, line); r++) {
            g.emplace_back();
            for (char c : line) g.back().push_back(c >= 'A' ? c - 'A' + 10 : c - '0');
        }
        out.push_back(g);
    }
    return out;
}

static std::string keyof(const matrix& g) {
    std::string s;
    for (const auto& row : g)
        for (int x : row) s += (char)('0' + x);
    return s;
}

// The keys of the whole orbit of a code under the monomial maps, found by a
// breadth-first walk over three generators of that group: swapping the first
// two coordinates, rotating all coordinates, and scaling the first coordinate
// by a primitive element.  An orbit is usually far smaller than the group.
static std::unordered_set<std::string> orbit(const matrix& g0, const ogf& f, bool semilinear) {
    const int n = g0.empty() ? 0 : (int)g0[0].size();
    int prim = 1;
    for (int a = 2; a < f.q && prim == 1; a++) {  // an element of order q - 1
        int x = a, ord = 1;
        while (x != 1) x = f.mul(x, a), ord++;
        if (ord == f.q - 1) prim = a;
    }
    std::unordered_set<std::string> keys;
    std::vector<matrix> queue{rref(g0, f)};
    keys.insert(keyof(queue[0]));
    for (size_t at = 0; at < queue.size(); at++) {
        const matrix g = queue[at];
        for (int gen = 0; gen < (semilinear && f.q == 4 ? 4 : 3); gen++) {
            matrix h = g;
            for (auto& row : h) {
                if (gen == 0 && n >= 2) std::swap(row[0], row[1]);
                if (gen == 1) std::rotate(row.begin(), row.begin() + 1, row.end());
                if (gen == 2 && n >= 1) row[0] = f.mul(prim, row[0]);
                if (gen == 3)
                    for (int& x : row) x = f.frob(x);  // the field automorphism, on every coordinate
            }
            h = rref(h, f);
            if (keys.insert(keyof(h)).second) queue.push_back(h);
        }
    }
    return keys;
}

std::string canonkey(const matrix& g, int /*n*/, const ogf& f, bool semilinear) {
    std::unordered_set<std::string> keys = orbit(g, f, semilinear);
    return *std::min_element(keys.begin(), keys.end());
}

// Every choice of k pivot columns out of n, in increasing order.
static void eachpivots(int n, int k, const std::function<void(const std::vector<int>&)>& visit) {
    std::vector<int> piv(k);
    std::function<void(int, int)> choose = [&](int i, int from) {
        if (i == k) return visit(piv);
        for (int c = from; c <= n - (k - i); c++) {
            piv[i] = c;
            choose(i + 1, c + 1);
        }
    };
    choose(0, 0);
}

// The free columns of row r of a reduced echelon form with pivots piv.
static std::vector<int> freecols(const std::vector<int>& piv, int r, int n) {
    std::vector<int> cols;
    for (int c = piv[r] + 1; c < n; c++)
        if (std::find(piv.begin(), piv.end(), c) == piv.end()) cols.push_back(c);
    return cols;
}

// Every reduced echelon form of k rows and n columns, once each.
static void eachrref(int n, int k, int q, const std::function<void(const matrix&)>& visit) {
    eachpivots(n, k, [&](const std::vector<int>& piv) {
        std::vector<std::pair<int, int>> slots;
        for (int r = 0; r < k; r++)
            for (int c : freecols(piv, r, n)) slots.push_back({r, c});
        std::vector<int> val(slots.size(), 0);
        do {
            matrix g(k, std::vector<int>(n, 0));
            for (int r = 0; r < k; r++) g[r][piv[r]] = 1;
            for (size_t t = 0; t < slots.size(); t++) g[slots[t].first][slots[t].second] = val[t];
            visit(g);
        } while (nextvec(val, q));
    });
}

std::vector<matrix> classify(const wanted& w) {
    ogf f{w.q};
    std::unordered_set<std::string> seen;
    std::vector<matrix> reps;
    eachrref(w.n, w.k, w.q, [&](const matrix& g) {
        if (seen.count(keyof(g))) return;
        if (!satisfies(analyse(g, w.n, w.q, w.dualdist > 1), w)) return;
        reps.push_back(g);
        std::unordered_set<std::string> keys = orbit(g, f, w.semilinear);
        seen.insert(keys.begin(), keys.end());
    });
    return reps;
}

namespace {

// The walk of `count`: the pivots are fixed, row r is filled slot by slot,
// and the code of rows 0..r is tested when row r is complete.
struct counter {
    const wanted& w;
    ogf f;
    std::vector<int> piv;
    matrix g;
    std::vector<std::vector<int>> words;  // the codewords spanned by the rows so far
    uint64_t found = 0;

    counter(const wanted& w_) : w(w_), f{w_.q} {}

    // Row r with every row before it and itself: Euclidean, Hermitian for GF(4).
    bool orthogonal(int r) const {
        for (int a = 0; a <= r; a++) {
            int s = 0;
            for (int j = 0; j < w.n; j++) s = f.add(s, f.mul(g[r][j], f.frob(g[a][j])));
            if (s) return false;
        }
        return true;
    }
    // Adds the words of row r's cosets; false on a forbidden weight.
    bool extend(int r) {
        const size_t old = words.size();
        for (int a = 1; a < w.q; a++)
            for (size_t i = 0; i < old; i++) {
                std::vector<int> v = words[i];
                for (int j = 0; j < w.n; j++) v[j] = f.add(v[j], f.mul(a, g[r][j]));
                const int wt = weight(v);
                if (wt < w.d || !w.allowed[wt]) return false;
                words.push_back(v);
            }
        return true;
    }
    void rows(int r) {
        if (r == w.k) {
            if (w.dualdist <= 1 || analyse(g, w.n, w.q, true).dualdist >= w.dualdist) found++;
            return;
        }
        const std::vector<int> slots = freecols(piv, r, w.n);
        std::vector<int> val(slots.size(), 0);
        do {
            for (size_t t = 0; t < slots.size(); t++) g[r][slots[t]] = val[t];
            const size_t keep = words.size();
            if ((!w.selforth || w.q > 4 || orthogonal(r)) && extend(r)) rows(r + 1);
            words.resize(keep);
        } while (nextvec(val, w.q));
        for (int c : slots) g[r][c] = 0;
    }
};

}  // namespace

uint64_t count(const wanted& w) {
    counter c(w);
    eachpivots(w.n, w.k, [&](const std::vector<int>& piv) {
        c.piv = piv;
        c.g.assign(w.k, std::vector<int>(w.n, 0));
        for (int r = 0; r < w.k; r++) c.g[r][piv[r]] = 1;
        c.words.assign(1, std::vector<int>(w.n, 0));
        c.rows(0);
    });
    return c.found;
}

}  // namespace oracle
