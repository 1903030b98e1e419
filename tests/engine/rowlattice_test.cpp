// The lattice search against a listing of every row: random parents and
// partners over every field, in dimensions 3 and 4, with the weights of
// Griesmer and near-Griesmer runs, restricted weights and class bounds.
// The listing splits every partner amount over the classes in the order of
// the plain enumeration and keeps the rows whose codewords, counted column
// by column, all have allowed weights; the search must give exactly these
// rows in exactly this order.
#include <gtest/gtest.h>

#include <memory>
#include <random>
#include <vector>

#include "common/oracle.h"
#include "engine/rowlattice.h"
#include "params/params.h"

namespace {

using table = std::vector<int>;  // x[(l * q + b) * q + z]

struct layout {
    int q, D, L, nfree;
    std::vector<std::vector<int>> v;         // v[l]: the block's entries in rows 1..D-2
    std::vector<std::vector<int>> m, p;      // m[l][b] class sizes, p[l][z] partner amounts
    int propbound, zerocap;
};

// Every row, as the plain enumeration makes them: block by block, value by
// value, class by class, largest share first; kept when the codewords with
// the new row have allowed weights and the zero columns are possible.
struct listing {
    const layout& s;
    const LevelBounds& lb;
    ownfield f;
    table x;
    std::vector<table> rows;
    std::vector<std::vector<int>> left;  // what each class has left

    listing(const layout& s, const LevelBounds& lb) : s(s), lb(lb), f{s.q} {
        x.assign((size_t)(s.L * s.q * s.q), 0);
        left = s.m;
        pair(0, 0, 0, s.p[0][0]);
    }
    void pair(int l, int z, int b, int amount) {
        const int q = s.q;
        if (b == q) {
            if (amount != 0) return;
            if (z + 1 < q) return pair(l, z + 1, 0, s.p[(size_t)l][(size_t)z + 1]);
            for (int c = 0; c < q; c++)
                if (left[(size_t)l][(size_t)c] != 0) return;
            if (l + 1 < s.L) return pair(l + 1, 0, 0, s.p[(size_t)l + 1][0]);
            if (good()) rows.push_back(x);
            return;
        }
        int top = std::min(std::min(amount, left[(size_t)l][(size_t)b]), s.propbound);
        const bool zero = z == 0 && b == 0 && std::all_of(s.v[(size_t)l].begin(), s.v[(size_t)l].end(), [](int e) { return e == 0; });
        if (zero) top = std::min(top, s.zerocap);
        for (int share = top; share >= 0; share--) {
            x[(size_t)((l * q + b) * q + z)] = share;
            left[(size_t)l][(size_t)b] -= share;
            pair(l, z, b + 1, amount - share);
            left[(size_t)l][(size_t)b] += share;
        }
        x[(size_t)((l * q + b) * q + z)] = 0;
    }
    // Every codeword u . rows(1..D-2) + lambda row(D-1) + row(D), lambda != 0,
    // counted over the columns, and the zero columns.
    bool good() const {
        const int q = s.q, R = s.D - 2;
        int zeros = 0;
        for (int l = 0; l < s.L; l++)
            if (std::all_of(s.v[(size_t)l].begin(), s.v[(size_t)l].end(), [](int e) { return e == 0; }))
                zeros += x[(size_t)((l * q + 0) * q + 0)];
        if (!lb.zerosok(s.D, zeros, zeros)) return false;
        int F = 1;
        for (int r = 0; r < R; r++) F *= q;
        for (int u = 0; u < F; u++)
            for (int lam = 1; lam < q; lam++) {
                int w = 2;  // the unit columns of rows D-1 and D
                for (int g = u; g > 0; g /= q) w += g % q != 0;
                for (int l = 0; l < s.L; l++) {
                    int su = 0;
                    for (int r = 0, g = u; r < R; r++, g /= q) su = f.add(su, f.mul(g % q, s.v[(size_t)l][(size_t)r]));
                    for (int b = 0; b < q; b++)
                        for (int z = 0; z < q; z++)
                            if (f.add(f.add(su, f.mul(lam, b)), z) != 0) w += x[(size_t)((l * q + b) * q + z)];
                }
                if (!lb.allowed(w)) return false;
            }
        return true;
    }
};

// A random parent of dimension D - 1 and partner: L distinct blocks (the
// zero block among them, often), classes and amounts summing to each block.
layout randomlayout(int q, int D, int nfree, std::mt19937& g) {
    layout s{q, D, 0, nfree, {}, {}, {}, 0, 0};
    const int R = D - 2;
    int F = 1;
    for (int r = 0; r < R; r++) F *= q;
    std::vector<int> used;
    int rest = nfree;
    while (rest > 0 && (int)used.size() < F) {
        int id = (int)(g() % (uint32_t)F);
        if (g() % 3 == 0) id = 0;
        if (std::find(used.begin(), used.end(), id) != used.end()) continue;
        used.push_back(id);
        std::sort(used.begin(), used.end());
        rest -= std::min(rest, 1 + (int)(g() % 5));
    }
    s.L = (int)used.size();
    std::vector<int> size((size_t)s.L, 0);
    for (int c = 0; c < nfree; c++) size[(size_t)(c < s.L ? c : (int)(g() % (uint32_t)s.L))]++;
    for (int l = 0; l < s.L; l++) {
        std::vector<int> v;
        for (int r = 0, id = used[(size_t)l]; r < R; r++, id /= q) v.push_back(id % q);
        s.v.push_back(v);
        std::vector<int> m((size_t)q, 0), p((size_t)q, 0);
        for (int t = 0; t < size[(size_t)l]; t++) m[g() % (uint32_t)q]++, p[g() % (uint32_t)q]++;
        s.m.push_back(m), s.p.push_back(p);
    }
    return s;
}

RunParams runof(int n, int k, int d, int q, const std::vector<int>& forbid) {
    ParamRecord rec{};
    resetpar(rec);
    rec.n = n, rec.k = k, rec.d = d, rec.q = q;
    for (int w = d; w <= n; w++) rec.wt[w] = std::find(forbid.begin(), forbid.end(), w) == forbid.end();
    return makerunparams(rec, 0, false, 0);
}

TEST(RowLattice, GivesTheRowsOfTheListingInItsOrder) {
    std::mt19937 g(28);
    auto code = std::make_unique<WorkingCode>();
    auto tables = std::make_unique<SplitTables>();
    size_t rows = 0;
    for (int trial = 0; trial < 400; trial++) {
        const int q = std::vector<int>{2, 3, 4, 5, 7}[(size_t)trial % 5];
        const int D = q <= 3 && trial % 3 == 0 ? 4 : 3, k = D;
        const int nfree = 3 + (int)(g() % (q <= 3 ? 8 : 6));
        const int n = nfree + k;
        int d = 1;  // near the Griesmer bound, where rows are few and the search cuts
        while (d < n && griesmer(q, k, d + 1) <= n) d++;
        d = std::max(1, d - (int)(g() % 3));
        std::vector<int> forbid;
        if (trial % 4 == 1) forbid.push_back(d + 1 + (int)(g() % (uint32_t)std::max(1, n - d)));
        const LevelBounds lb = derivebounds(runof(n, k, d, q, forbid));
        layout s = randomlayout(q, D, nfree, g);
        s.propbound = trial % 7 == 0 ? 1 + (int)(g() % 3) : lb.propcap[D];
        s.zerocap = lb.zerocap[D];
        SCOPED_TRACE(testing::Message() << "trial " << trial << " q " << q << " D " << D << " n " << n << " d " << d);

        cleartables(*tables);
        for (int l = 0, pos = 1; l < s.L; l++)
            for (int b = 0; b < q; b++) {
                tables->remain[l][0][b] = s.m[(size_t)l][(size_t)b];
                tables->partner[l][b] = s.p[(size_t)l][(size_t)b];
                for (int t = 0; t < s.m[(size_t)l][(size_t)b]; t++, pos++) {
                    for (int r = 1; r <= D - 2; r++) code->m[r][pos] = s.v[(size_t)l][(size_t)r - 1];
                    code->m[D - 1][pos] = b;
                }
            }
        tables->lastblk = s.L - 1;
        RowLattice lattice(lb);
        ASSERT_TRUE(lattice.parent(*code, *tables, s.L, D, q, nfree));
        std::vector<table> found;
        lattice.rows(
            *tables, s.propbound, s.zerocap,
            [&] {
                table x((size_t)(s.L * q * q), 0);
                for (int l = 0; l < s.L; l++)
                    for (int b = 0; b < q; b++)
                        for (int z = 0; z < q; z++) x[(size_t)((l * q + b) * q + z)] = tables->split[l][z][b];
                found.push_back(x);
            },
            [] { return false; });
        const listing want(s, lb);
        EXPECT_EQ(found, want.rows);
        rows += want.rows.size();
        for (int l = 0; l < s.L; l++)
            for (int z = 0; z < q; z++)
                for (int b = 0; b < q; b++) EXPECT_EQ(tables->split[l][z][b], 0) << "split tables left clean";
    }
    EXPECT_GT(rows, 400u);  // the cases have rows to find, not only none
}

}  // namespace
