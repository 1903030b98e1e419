// Helpers of the labelling tests (see canon_support.h).  The oracles here are
// written independently of the search: isomorphism and automorphisms are
// decided by trying every column permutation and comparing the sorted row
// lists.
#include "canon_support.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <numeric>

#include "canon/canon.h"

tmat make_mat(int M, int N) {
    tmat m;
    m.M = M;
    m.N = N;
    m.a.assign((size_t)M * N, 0);
    return m;
}

tmat random_mat(std::mt19937& rng, int M, int N, double density, int ncolours) {
    tmat m = make_mat(M, N);
    std::uniform_real_distribution<double> u(0.0, 1.0);
    for (auto& x : m.a) x = u(rng) < density ? 1 : 0;
    if (ncolours > 0) {
        m.col.assign(N + 1, 0);
        std::uniform_int_distribution<int> c(1, std::min(ncolours, N));
        for (int j = 1; j <= N; j++) m.col[j] = c(rng);
    }
    return m;
}

void load(const tmat& m) {
    bmat_ensure(incmat, m.M, m.N, 2);
    memset(incmat.a[0] - 1, 0, (size_t)m.N + 2);
    for (int r = 1; r <= m.M; r++) {
        incmat.a[r][-1] = incmat.a[r][0] = 0;
        memcpy(incmat.a[r] + 1, m.a.data() + (size_t)(r - 1) * m.N, (size_t)m.N);
    }
}

tres label(const tmat& m) {
    load(m);
    bool colour = !m.col.empty();
    canon_code(colour ? 1 : 0, colour ? m.col.data() : nullptr);
    tres r;
    r.certhash = cws.certhash;
    r.bestdepth = cws.bestdepth;
    r.naut = cws.naut;
    r.bestcol.assign(cws.bestcol.el, cws.bestcol.el + m.N + 1);
    r.bestrow.assign(cws.bestrow.el, cws.bestrow.el + m.M + 1);
    for (int i = 1; i <= m.M; i++)
        for (int j = 1; j <= m.N; j++) r.canon.push_back(m.at(r.bestrow[i], r.bestcol[j]));
    if (colour)
        for (int j = 1; j <= m.N; j++) r.canoncol.push_back(m.col[r.bestcol[j]]);
    cell_index(cws.orbits);
    r.orbit.assign(cws.cellcol, cws.cellcol + m.N + 1);
    r.orbmin.assign(cws.orbmin, cws.orbmin + m.N + 1);
    for (int g = 1; g <= cws.naut; g++) {
        r.autcol.emplace_back(cws.autcol[g].el, cws.autcol[g].el + m.N + 1);
        r.autrow.emplace_back(cws.autrow[g].el, cws.autrow[g].el + m.M + 1);
    }
    return r;
}

tmat relabel(const tmat& A, const std::vector<int>& rp, const std::vector<int>& cp) {
    tmat B = make_mat(A.M, A.N);
    for (int i = 1; i <= A.M; i++)
        for (int j = 1; j <= A.N; j++) B.set(i, j, A.at(rp[i], cp[j]));
    if (!A.col.empty()) {
        B.col.assign(A.N + 1, 0);
        for (int j = 1; j <= A.N; j++) B.col[j] = A.col[cp[j]];
    }
    return B;
}

std::vector<int> random_perm(std::mt19937& rng, int n) {
    std::vector<int> p(n + 1);
    std::iota(p.begin(), p.end(), 0);
    std::shuffle(p.begin() + 1, p.end(), rng);
    return p;
}

tmat random_relabel(std::mt19937& rng, const tmat& A) {
    return relabel(A, random_perm(rng, A.M), random_perm(rng, A.N));
}

namespace {

// Rows of A with its columns permuted (column j of the image is column
// p[j] of A) as sorted bit masks.
std::vector<uint64_t> sorted_rows(const tmat& A, const std::vector<int>& p) {
    std::vector<uint64_t> rows(A.M);
    for (int i = 1; i <= A.M; i++) {
        uint64_t w = 0;
        for (int j = 1; j <= A.N; j++)
            if (A.at(i, p[j])) w |= 1ull << (j - 1);
        rows[i - 1] = w;
    }
    std::sort(rows.begin(), rows.end());
    return rows;
}

}  // namespace

bool brute_iso(const tmat& A, const tmat& B) {
    if (A.M != B.M || A.N != B.N) return false;
    std::vector<int> id(B.N + 1);
    std::iota(id.begin(), id.end(), 0);
    std::vector<uint64_t> target = sorted_rows(B, id);
    std::vector<int> p = id;
    do {
        bool ok = true;
        if (!A.col.empty())
            for (int j = 1; j <= A.N && ok; j++) ok = A.col[p[j]] == B.col[j];
        if (ok && sorted_rows(A, p) == target) return true;
    } while (std::next_permutation(p.begin() + 1, p.end()));
    return false;
}

std::vector<int> brute_orbits(const tmat& A) {
    std::vector<int> id(A.N + 1);
    std::iota(id.begin(), id.end(), 0);
    std::vector<uint64_t> target = sorted_rows(A, id);
    std::vector<int> rep = id;  // union-find parent
    auto find = [&](int x) {
        while (rep[x] != x) x = rep[x] = rep[rep[x]];
        return x;
    };
    std::vector<int> p = id;
    do {
        bool ok = true;
        if (!A.col.empty())
            for (int j = 1; j <= A.N && ok; j++) ok = A.col[p[j]] == A.col[j];
        if (ok && sorted_rows(A, p) == target)
            for (int j = 1; j <= A.N; j++) {
                int x = find(j), y = find(p[j]);
                if (x != y) rep[std::max(x, y)] = std::min(x, y);
            }
    } while (std::next_permutation(p.begin() + 1, p.end()));
    std::vector<int> out(A.N + 1, 0);
    for (int j = 1; j <= A.N; j++) out[j] = find(j);
    return out;
}

std::vector<int> orbit_minima(const std::vector<int32_t>& orbit, int N) {
    std::vector<int> first(N + 2, 0), out(N + 1, 0);
    for (int j = 1; j <= N; j++)
        if (first[orbit[j]] == 0) first[orbit[j]] = j;
    for (int j = 1; j <= N; j++) out[j] = first[orbit[j]];
    return out;
}

std::vector<int> aut_orbits(const tres& r, int N) {
    std::vector<int> rep(N + 1);
    std::iota(rep.begin(), rep.end(), 0);
    auto find = [&](int x) {
        while (rep[x] != x) x = rep[x] = rep[rep[x]];
        return x;
    };
    for (const auto& g : r.autcol)
        for (int j = 1; j <= N; j++) {
            int x = find(j), y = find(g[j]);
            if (x != y) rep[std::max(x, y)] = std::min(x, y);
        }
    std::vector<int> out(N + 1, 0);
    for (int j = 1; j <= N; j++) out[j] = find(j);
    return out;
}

bool auts_valid(const tmat& A, const tres& r) {
    for (size_t g = 0; g < r.autcol.size(); g++) {
        const auto& c = r.autcol[g];
        const auto& w = r.autrow[g];
        std::vector<int> seenc(A.N + 1, 0), seenr(A.M + 1, 0);
        for (int j = 1; j <= A.N; j++) {
            if (c[j] < 1 || c[j] > A.N || seenc[c[j]]++) return false;
            if (!A.col.empty() && A.col[c[j]] != A.col[j]) return false;
        }
        for (int i = 1; i <= A.M; i++)
            if (w[i] < 1 || w[i] > A.M || seenr[w[i]]++) return false;
        for (int i = 1; i <= A.M; i++)
            for (int j = 1; j <= A.N; j++)
                if (A.at(w[i], c[j]) != A.at(i, j)) return false;
    }
    return true;
}

namespace {

int gf_add(int q, int a, int b) { return q == 4 ? (a ^ b) : (a + b) % q; }
int gf_mul(int q, int a, int b) {
    if (q != 4) return a * b % q;
    static const int m4[4][4] = {{0, 0, 0, 0}, {0, 1, 2, 3}, {0, 2, 3, 1}, {0, 3, 1, 2}};
    return m4[a][b];
}

}  // namespace

tmat pg2(int q) {
    std::vector<std::array<int, 3>> pts;
    for (int x = 0; x < q; x++)
        for (int y = 0; y < q; y++)
            for (int z = 0; z < q; z++) {
                int first = x ? x : (y ? y : z);
                if (first == 1) pts.push_back({x, y, z});
            }
    int n = (int)pts.size();
    tmat m = make_mat(n, n);
    for (int l = 0; l < n; l++)
        for (int p = 0; p < n; p++) {
            int s = 0;
            for (int k = 0; k < 3; k++) s = gf_add(q, s, gf_mul(q, pts[l][k], pts[p][k]));
            m.set(l + 1, p + 1, s == 0);
        }
    return m;
}

tmat hamming_w3(int mm) {
    int n = (1 << mm) - 1;
    std::vector<std::array<int, 3>> w;
    for (int a = 1; a <= n; a++)
        for (int b = a + 1; b <= n; b++) {
            int c = a ^ b;
            if (c > b) w.push_back({a, b, c});
        }
    tmat m = make_mat((int)w.size(), n);
    for (size_t i = 0; i < w.size(); i++)
        for (int k = 0; k < 3; k++) m.set((int)i + 1, w[i][k], 1);
    return m;
}

tmat biplane16() {
    const int D[6] = {0, 1, 2, 4, 8, 15};
    tmat m = make_mat(16, 16);
    for (int g = 0; g < 16; g++)
        for (int d : D) m.set(g + 1, (d ^ g) + 1, 1);
    return m;
}

tmat bipartite(int a, int b) {
    tmat m = make_mat(a * b, a + b);
    int r = 0;
    for (int i = 1; i <= a; i++)
        for (int j = 1; j <= b; j++) {
            r++;
            m.set(r, i, 1);
            m.set(r, a + j, 1);
        }
    return m;
}
