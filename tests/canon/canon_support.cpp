// Helpers of the labelling tests (see canon_support.h).  The oracles know
// nothing of the search: they try every column permutation, compare sorted
// row lists and join orbits with a plain union-find.
#include "canon_support.h"

#include <algorithm>
#include <cstring>

tmat random_mat(std::mt19937& rng, int M, int N, double density, int ncolours) {
    tmat m = make_mat(M, N);
    std::uniform_real_distribution<double> u(0.0, 1.0);
    for (auto& x : m.a) x = u(rng) < density ? 1 : 0;
    std::uniform_int_distribution<int> c(1, std::max(1, std::min(ncolours, N)));
    for (int j = 0; j <= N && ncolours > 0; j++) m.col.push_back(j ? c(rng) : 0);
    return m;
}

tmat from_rows(int N, const ivv& rows) {
    tmat m = make_mat((int)rows.size(), N);
    for (size_t i = 0; i < rows.size(); i++)
        for (int e : rows[i]) m.set((int)i + 1, e, 1);
    return m;
}

void tlab::load(const tmat& m) {
    inc.ensure(m.M, m.N, 2);
    memset(inc.a[0] - 1, 0, (size_t)m.N + 2);
    for (int r = 1; r <= m.M; r++) {
        inc.a[r][-1] = inc.a[r][0] = 0;
        memcpy(inc.a[r] + 1, m.a.data() + (size_t)(r - 1) * m.N, (size_t)m.N);
    }
    lab.use(inc);
}

tres tlab::label(const tmat& m) {
    load(m);
    lab.label(inc, m.col.empty() ? nullptr : m.col.data());
    tres r;
    r.certhash = w.certhash, r.bestdepth = w.bestdepth, r.naut = w.naut;
    r.bestcol.assign(w.bestcol.el, w.bestcol.el + m.N + 1);
    r.bestrow.assign(w.bestrow.el, w.bestrow.el + m.M + 1);
    tmat C = relabel(m, r.bestrow, r.bestcol);  // m read in canonical order
    r.canon = C.a, r.canoncol = C.col;
    LabelProbe::cell_index(lab, w.orbits);
    r.orbit.assign(w.cellcol, w.cellcol + m.N + 1);
    r.orbmin.assign(w.orbmin, w.orbmin + m.N + 1);
    for (int g = 1; g <= w.naut; g++) {
        r.autcol.emplace_back(w.autcol[g].el, w.autcol[g].el + m.N + 1);
        r.autrow.emplace_back(w.autrow[g].el, w.autrow[g].el + m.M + 1);
    }
    return r;
}

tmat relabel(const tmat& A, const std::vector<int>& rp, const std::vector<int>& cp) {
    tmat B = make_mat(A.M, A.N);
    for (int i = 1; i <= A.M; i++)
        for (int j = 1; j <= A.N; j++) B.set(i, j, A.at(rp[i], cp[j]));
    B.col = A.col;
    for (int j = 1; j <= A.N && !A.col.empty(); j++) B.col[j] = A.col[cp[j]];
    return B;
}

std::vector<int> random_perm(std::mt19937& rng, int n) {
    std::vector<int> p = upto(n);
    std::shuffle(p.begin(), p.end(), rng);
    p.insert(p.begin(), 0);
    return p;
}

bool is_perm(const std::vector<int32_t>& v, int n) {
    return (int)v.size() == n + 1 && std::is_permutation(v.begin() + 1, v.end(), upto(n).begin());
}

ivv brute_isos(const tmat& A, const tmat& B) {
    auto rows = [](const tmat& X, const std::vector<int>& p) {  // with column j from p[j], as sorted masks
        std::vector<uint64_t> r(X.M);
        for (int i = 1; i <= X.M; i++)
            for (int j = 1; j <= X.N; j++)
                if (X.at(i, p[j])) r[i - 1] |= 1ull << (j - 1);
        std::sort(r.begin(), r.end());
        return r;
    };
    ivv isos;
    std::vector<int> p(B.N + 1);
    std::iota(p.begin(), p.end(), 0);
    const std::vector<uint64_t> target = rows(B, p);
    do {
        bool ok = A.M == B.M && A.N == B.N;
        for (int j = 1; j <= A.N && ok && !A.col.empty(); j++) ok = A.col[p[j]] == B.col[j];
        if (ok && rows(A, p) == target) isos.push_back(p);
    } while (std::next_permutation(p.begin() + 1, p.end()));
    return isos;
}

std::vector<int> orbits_of(const ivv& gens, int N) {
    std::vector<int> rep(N + 1);  // a union-find
    std::iota(rep.begin(), rep.end(), 0);
    auto find = [&](int x) {
        while (rep[x] != x) x = rep[x];
        return x;
    };
    for (const auto& g : gens)
        for (int j = 1; j <= N; j++) {
            int x = find(j), y = find(g[j]);
            if (x != y) rep[std::max(x, y)] = std::min(x, y);
        }
    for (int j = 1; j <= N; j++) rep[j] = find(j);
    return rep;
}

std::vector<int> orbit_minima(const std::vector<int32_t>& orbit, int N) {
    std::vector<int> first(N + 2, 0), out(N + 1, 0);
    for (int j = N; j >= 1; j--) first[orbit[j]] = j;
    for (int j = 1; j <= N; j++) out[j] = first[orbit[j]];
    return out;
}

bool auts_valid(const tmat& A, const tres& r) {
    for (size_t g = 0; g < r.autcol.size(); g++)
        if (!is_perm(r.autcol[g], A.N) || !is_perm(r.autrow[g], A.M) || !(relabel(A, r.autrow[g], r.autcol[g]) == A))
            return false;
    return true;
}

tmat pg2(int q) {
    static const ivv D = {{}, {}, {0, 1, 3}, {0, 1, 3, 9}, {0, 1, 4, 14, 16}, {0, 1, 3, 8, 12, 18}};
    int n = q * q + q + 1;
    ivv lines(n);
    for (int i = 0; i < n; i++)
        for (int d : D[q]) lines[i].push_back((d + i) % n + 1);
    return from_rows(n, lines);
}

tmat hamming_w3(int mm) {
    int n = (1 << mm) - 1;
    ivv w;
    for (int a = 1; a <= n; a++)
        for (int b = a + 1; b <= n; b++)
            if ((a ^ b) > b) w.push_back({a, b, a ^ b});
    return from_rows(n, w);
}

tmat biplane16() {
    ivv w(16);
    for (int g = 0; g < 16; g++)
        for (int d : {0, 1, 2, 4, 8, 15}) w[g].push_back((d ^ g) + 1);
    return from_rows(16, w);
}

tmat bipartite(int a, int b) {
    ivv w;
    for (int i = 1; i <= a; i++)
        for (int j = 1; j <= b; j++) w.push_back({i, a + j});
    return from_rows(a + b, w);
}
