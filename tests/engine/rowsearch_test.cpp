// The extension step's rows against a listing made here.  Small random
// parents and partners over every field, in dimensions 2 to 4, with
// restricted weights, dual distances and class bounds: the step makes the
// rows of each partner plainly, with its early cuts and the enumeration,
// and with the cuts and the lattice search, and writes one level record per
// row that passes its tests.  The listing tries every split of the
// partner's amounts over the parent's classes, builds the whole generator
// matrix of each candidate and keeps it when every codeword has an allowed
// weight (all of them listed), the dual distance is the one asked (no zero
// column; for 3 no two proportional columns either) and no class of equal
// free columns passes the run's bound.  Both must give the same rows, none
// twice.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <memory>
#include <random>
#include <vector>

#include "common/oracle.h"
#include "engine/extstep.h"
#include "field/field.h"

namespace {

using oracle::matrix;
// A row as its level record holds it: for each non-empty class (l, b) of
// the parent, in layout order, how many of its columns take each value.
using splitrow = std::vector<std::vector<int>>;

struct quietsink : StepSink {
    void newcode(const WorkingCode&, const BigNat&) override {}
    void progress(int) override {}
};

// What the run asks of its codes.
struct rules {
    int q, dual, prop;
    std::vector<int> allowed;  // allowed[w], w = 0..length
};

// Whether the code of [g | I] meets the rules: every non-zero codeword of
// an allowed weight, and with `whole` its dual distance and class bound.
bool meets(const matrix& g, const rules& r, bool whole) {
    const ownfield f{r.q};
    matrix full = g;
    for (size_t i = 0; i < g.size(); i++)
        for (size_t j = 0; j < g.size(); j++) full[i].push_back(i == j);
    bool ok = true;
    oracle::eachword(full, f, [&](const std::vector<int>& w) { ok = ok && r.allowed[(size_t)oracle::weight(w)]; }, true);
    if (!ok || !whole) return ok;
    std::map<std::vector<int>, int> equal, points;
    for (size_t c = 0; c < full[0].size(); c++) {
        std::vector<int> col, point;
        int lead = 0;
        for (const auto& row : full) col.push_back(row[c]), lead = lead ? lead : row[c];
        if (lead == 0 && r.dual >= 2) return false;
        for (int x : col) point.push_back(f.mul(f.inv(lead), x));
        if (++points[point] > 1 && r.dual >= 3) return false;
        if (c < g[0].size() && ++equal[col] > r.prop) return false;
    }
    return true;
}

// The parent's free columns (sorted) in blocks (equal in rows 1..D-2) and
// classes (equal in rows 1..D-1), as the search lays them out.
struct layout {
    std::vector<int> size, blk, val;  // per class: its size, block and value b in row D-1
    std::vector<int> colblk;          // per column: its block
    int nblk = 0;
    explicit layout(const matrix& parent) {
        const size_t R = parent.size();
        auto same = [&](size_t j, size_t rows) {  // column j is equal to the one before in rows 1..rows
            for (size_t r = 0; r < rows && j > 0; r++)
                if (parent[r][j] != parent[r][j - 1]) return false;
            return j > 0;
        };
        for (size_t j = 0; j < parent[0].size(); j++) {
            nblk += !same(j, R - 1);
            if (!same(j, R)) size.push_back(0), blk.push_back(nblk - 1), val.push_back(parent[R - 1][j]);
            size.back()++;
            colblk.push_back(nblk - 1);
        }
    }
};

// Every split of the partner's amounts over the classes, as a candidate
// row; kept when the candidate meets the rules.
struct listing {
    const matrix& parent;
    const layout& lay;
    const rules& r;
    std::vector<std::vector<int>> amount;  // amount[l][z], what block l still gives value z
    splitrow x;
    std::vector<splitrow> rows;
    listing(const matrix& parent, const layout& lay, const rules& r, std::vector<std::vector<int>> p)
        : parent(parent), lay(lay), r(r), amount(std::move(p)), x(lay.size.size(), std::vector<int>((size_t)r.q, 0)) {
        split(0, 0, lay.size[0]);
    }
    void split(size_t c, int z, int left) {
        const int l = lay.blk[c];
        const bool last = z == r.q - 1;  // the last value takes the rest
        for (int s = last ? left : 0; s <= std::min(left, amount[(size_t)l][(size_t)z]); s++) {
            x[c][(size_t)z] = s, amount[(size_t)l][(size_t)z] -= s;
            if (!last) {
                split(c, z + 1, left - s);
            } else if (c + 1 < x.size() && lay.blk[c + 1] == l) {
                split(c + 1, 0, lay.size[c + 1]);
            } else if (std::all_of(amount[(size_t)l].begin(), amount[(size_t)l].end(), [](int a) { return a == 0; })) {
                if (c + 1 < x.size()) split(c + 1, 0, lay.size[c + 1]);
                else keep();
            }
            amount[(size_t)l][(size_t)z] += s;
        }
    }
    void keep() {
        matrix g = parent;
        g.emplace_back();
        for (size_t c = 0; c < x.size(); c++)
            for (int z = 0; z < r.q; z++) g.back().insert(g.back().end(), (size_t)x[c][(size_t)z], z);
        if (meets(g, r, true)) rows.push_back(x);
    }
};

// An extension step of its own for one parent, as the search sets it up.
struct stepbench {
    RunParams par;
    LevelBounds lb;
    RunFault fault;
    MemoryBudget budget{DEFAULT_BUDGET};
    quietsink sink;
    std::unique_ptr<SearchCounts> rc = std::make_unique<SearchCounts>();
    std::unique_ptr<SearchEngines> en = std::make_unique<SearchEngines>(par, fault, &budget);
    std::unique_ptr<ExtensionStep> step = std::make_unique<ExtensionStep>(par, lb, *en, *rc, fault, sink);
    LevelStore out;
    int D;

    stepbench(const RunParams& p, const LevelBounds& b, const matrix& parent, const layout& lay)
        : par(p), lb(b), D((int)parent.size() + 1) {
        out.lookforscaled(false);  // every row's record is kept
        en->dist.usefield(p.q, gf(p.q).small());
        en->inv.setlinear(p.linear4 == 1);
        WorkingCode& c = en->code;
        c.n = p.n, c.k = p.k, c.d = p.d, c.q = p.q, c.dual = p.dualdist;
        for (int r = 0; r <= p.k; r++)
            for (int j = 0; j <= p.n; j++) c.m[r][j] = r >= 1 && j == p.nfree() + r;
        for (int r = 1; r < D; r++)
            for (int j = 1; j <= p.nfree(); j++) c.m[r][j] = parent[(size_t)r - 1][(size_t)j - 1];
        c.level = D - 1, c.len = p.nfree() + D - 1;
        EXPECT_TRUE(en->store.store_reset());
        for (size_t k = 0; k < lay.size.size(); k++) step->tables.remain[lay.blk[k]][0][lay.val[k]] = lay.size[k];
        step->newparent(D, lay.nblk);
    }
    std::vector<splitrow> rows(const std::vector<std::vector<int>>& p) {
        SplitTables& tables = step->tables;
        for (size_t l = 0; l < p.size(); l++)
            for (int z = 0; z < par.q; z++) tables.partner[l][z] = p[l][(size_t)z];
        tables.lastblk = (int)p.size() - 1;
        out.clear();
        step->extend(PartnerWalk{lb.propcap[D], lb.zerocap[D], par.q, D, &out});
        std::vector<splitrow> got;
        LevelStore::Cursor at;
        LevelRecord rec;
        std::vector<uint16_t> counts(MAXBLK * MAXVAL);
        while (out.next(at, rec, counts.data()) == 1) {
            got.emplace_back();
            for (auto c = counts.begin(); c < counts.begin() + rec.nblk * par.q; c += par.q) got.back().emplace_back(c, c + par.q);
        }
        return got;
    }
};

// A random free part of `rows` rows over `nfree` columns whose code meets
// the rules, its columns sorted; empty when none turned up.
matrix randomcode(int rows, int nfree, const rules& r, std::mt19937& g) {
    for (int attempt = 0; attempt < 20000; attempt++) {
        std::vector<std::vector<int>> cols((size_t)nfree, std::vector<int>((size_t)rows));
        // As in the search's parents, the first non-zero entry of a column
        // above the last row is 1, so that the columns of one point stand
        // together once sorted.
        for (auto& c : cols) {
            for (int& e : c) e = (int)(g() % (uint32_t)r.q);
            for (int i = 0; i + 1 < rows; i++)
                if (c[(size_t)i] != 0) {
                    c[(size_t)i] = 1;
                    break;
                }
        }
        std::sort(cols.begin(), cols.end());
        matrix m((size_t)rows, std::vector<int>((size_t)nfree));
        for (int j = 0; j < nfree; j++)
            for (int i = 0; i < rows; i++) m[(size_t)i][(size_t)j] = cols[(size_t)j][(size_t)i];
        if (meets(m, r, true)) return m;
    }
    return {};
}

TEST(ExtensionStep, MakesTheRowsOfTheListingOnce) {
    // k = D but for D = 2 (k = 3: a run of k = 2 leaves out rows it knows
    // to be equivalent to earlier ones), whose children ask no dual distance.
    const struct {
        int q, D, nfree, dual, prop;
        bool forbid;
    } cases[] = {
        {2, 2, 9, 1, NOBOUND, false}, {2, 3, 9, 1, NOBOUND, true}, {2, 4, 8, 3, NOBOUND, false},
        {2, 3, 8, 1, 2, false},       {3, 2, 6, 1, 2, false},      {3, 3, 6, 2, NOBOUND, true},
        {3, 4, 5, 1, NOBOUND, false}, {4, 3, 5, 3, NOBOUND, false}, {4, 3, 6, 1, 2, true},
        {5, 2, 5, 1, NOBOUND, true},  {5, 3, 5, 2, NOBOUND, false}, {7, 3, 4, 1, NOBOUND, false},
    };
    std::mt19937 g(31);
    size_t rows = 0;
    uint64_t cut = 0, latticerows = 0;
    for (const auto& cs : cases) {
        const int q = cs.q, D = cs.D, k = std::max(D, 3), N = cs.nfree + D;
        for (int trial = 0; trial < 12; trial++) {
            int d = 1;  // near the largest distance the Griesmer bound leaves, where the cuts bite
            while (griesmer(q, D, d + 1) <= N) d++;
            const int forbid = cs.forbid && d < N - 1 ? d + 2 + (int)(g() % (uint32_t)(N - d - 1)) : 0;
            rules r{q, cs.dual, cs.prop, {}};
            matrix code;
            for (d = std::max(1, d - trial % 4); code.empty() && d >= 1; d--) {
                r.allowed.assign((size_t)N + 1, 0);
                for (int w = d; w <= N; w++) r.allowed[(size_t)w] = w != forbid;
                code = randomcode(D, cs.nfree, r, g);
            }
            d++;
            ASSERT_FALSE(code.empty());
            SCOPED_TRACE(testing::Message() << "q " << q << " D " << D << " nfree " << cs.nfree << " d " << d
                                            << " forbid " << forbid << " dual " << cs.dual << " trial " << trial);
            // The code's last row is one partner; a random row whose code
            // with rows 1..D-2 has allowed weights another.
            const matrix parent(code.begin(), code.end() - 1);
            const layout lay(parent);
            std::vector<std::vector<int>> partnerrows{code.back()};
            for (int attempt = 0; attempt < 200 && partnerrows.size() < 2; attempt++) {
                matrix other(code.begin(), code.end() - 2);
                other.emplace_back();
                for (int j = 0; j < cs.nfree; j++) other.back().push_back((int)(g() % (uint32_t)q));
                if (meets(other, r, false)) partnerrows.push_back(other.back());
            }
            ParamRecord rec{};
            resetpar(rec);
            rec.n = cs.nfree + k, rec.k = k, rec.d = d, rec.q = q, rec.dualdist = cs.dual;
            for (int w = d; w <= rec.n; w++) rec.wt[w] = w != forbid;
            rec.propcol[D] = cs.prop;
            const RunParams par = makerunparams(rec, 0, false, 0);
            for (int mode = 0; mode < 3; mode++) {  // plain, the cuts and the enumeration, the cuts and the lattice
                LevelBounds lb = derivebounds(par, mode > 0);
                lb.rows = mode == 2 ? RowSearch::lattice : RowSearch::enumeration;
                stepbench b(par, lb, parent, lay);
                for (const std::vector<int>& prow : partnerrows) {
                    std::vector<std::vector<int>> p((size_t)lay.nblk, std::vector<int>((size_t)q, 0));
                    for (int j = 0; j < cs.nfree; j++) p[(size_t)lay.colblk[(size_t)j]][(size_t)prow[(size_t)j]]++;
                    std::vector<splitrow> got = b.rows(p), want = listing(parent, lay, r, p).rows;
                    std::sort(got.begin(), got.end());
                    std::sort(want.begin(), want.end());
                    EXPECT_TRUE(std::adjacent_find(got.begin(), got.end()) == got.end()) << "a row made twice, mode " << mode;
                    EXPECT_EQ(got, want) << "mode " << mode;
                    rows += want.size();
                }
                const RowCuts& c = b.step->cuts;
                cut += c.cuts + c.leavescut + c.partnersskipped;
                latticerows += b.step->lattice.solutions;
            }
        }
    }
    // The cases have rows, and the cuts and the lattice search had work.
    EXPECT_GT(rows, 1000u);
    EXPECT_GT(cut, 100u);
    EXPECT_GT(latticerows, 100u);
}

}  // namespace
