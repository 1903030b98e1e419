// The units of a dimension search, against the same search unsplit.  At
// every split level, the parents of that level (the units) are shared out
// among parts by the part number, by a random draw, or family by family
// (each family taken from the walk and made on its own); every part walks
// the levels above in full and makes only its own units.  Then the codes
// of those levels are the unsplit search's in every part, and the codes
// below them, put in unit order, are the unsplit search's: each once, in
// the unit that made it, and in no unit a part passed by.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <numeric>
#include <ostream>
#include <random>
#include <string>
#include <vector>

#include "engine/dimsearch.h"

namespace {

constexpr uint64_t NOUNIT = UINT64_MAX;

struct code {
    uint64_t unit;  // the unit it was made in (NOUNIT: above the split level)
    int dim;
    std::string rows;
    bool operator==(const code& o) const { return dim == o.dim && rows == o.rows; }
    friend std::ostream& operator<<(std::ostream& os, const code& c) { return os << c.dim << ":" << c.rows; }
};

// Takes the codes, the units and (when asked) the families of one search.
struct unitsink : SearchSink {
    std::function<bool(uint64_t)> mine;
    bool keepfamilies = false;
    std::vector<code> codes;
    std::vector<uint64_t> units;  // as announced
    std::vector<Family> families;
    uint64_t inunit = NOUNIT;
    bool ordered = true;  // each unit ends, as made when it was taken, before the next begins

    void newcode(const WorkingCode& c, const BigNat&) override {
        std::string rows;
        for (int r = 1; r <= c.level; r++)
            for (int j = 1; j <= c.len; j++) rows += (char)('0' + c.m[r][j]);
        codes.push_back({inunit, c.level, rows});
    }
    void progress(int) override {}
    bool unitbegins(uint64_t u) override {
        ordered = ordered && inunit == NOUNIT;
        units.push_back(u);
        inunit = u;
        return mine(u);
    }
    void unitends(uint64_t u, bool made) override {
        ordered = ordered && inunit == u && made == mine(u);
        inunit = NOUNIT;
    }
    void familyready(Family& f) override {
        if (keepfamilies) families.push_back(std::move(f));
    }
};

// One search of its own: the whole one at `split` (0: none), or the units
// of `family` only.
unitsink search(const RunParams& par, int split, std::function<bool(uint64_t)> mine, const Family* family = nullptr,
                bool keepfamilies = false) {
    const LevelBounds lb = derivebounds(par);
    RunFault fault;
    MemoryBudget budget(DEFAULT_BUDGET);
    auto rc = std::make_unique<SearchCounts>();
    unitsink sink;
    sink.mine = std::move(mine), sink.keepfamilies = keepfamilies;
    auto s = std::make_unique<DimensionSearch>(par, lb, fault, budget, *rc, sink, 0);
    if (family)
        s->searchfamily(*family);
    else
        s->search(split);
    EXPECT_FALSE(fault.stopped()) << fault.message();
    EXPECT_TRUE(sink.ordered);
    return sink;
}

std::vector<code> deeper(const std::vector<code>& all, int L, bool below) {
    std::vector<code> out;
    for (const code& c : all)
        if ((c.dim > L) == below) out.push_back(c);
    return out;
}

// The codes of a part below the split level into `made`: each from a unit of the part.
template <class Mine>
void take(std::vector<code>& made, const std::vector<code>& codes, Mine mine) {
    for (const code& x : codes)
        if (x.unit != NOUNIT) {
            EXPECT_TRUE(mine(x.unit)) << "a code of a unit passed by";
            made.push_back(x);
        }
}

// The codes in the order of their units.
std::vector<code> inorder(std::vector<code> made) {
    std::stable_sort(made.begin(), made.end(), [](const code& a, const code& b) { return a.unit < b.unit; });
    return made;
}

TEST(DimensionSearch, TheUnitsOfAnyPartitionMakeEachCodeOnce) {
    const struct {
        int n, k, d, q, dual, forbid;  // forbid: a weight taken out (0: none)
    } cases[] = {{11, 4, 3, 2, 1, 0}, {12, 5, 4, 2, 1, 6}, {8, 4, 3, 3, 2, 0},
                 {7, 3, 3, 4, 1, 0},  {7, 3, 3, 5, 1, 0},  {6, 3, 2, 7, 1, 0}};
    std::mt19937 g(77);
    std::vector<int> draw(1 << 16);
    for (int& x : draw) x = (int)(g() % 3);
    for (const auto& c : cases) {
        ParamRecord rec{};
        resetpar(rec);
        rec.n = c.n, rec.k = c.k, rec.d = c.d, rec.q = c.q, rec.dualdist = c.dual;
        for (int w = c.d; w <= c.n; w++) rec.wt[w] = w != c.forbid;
        const RunParams par = makerunparams(rec, 0, false, 0);
        const std::vector<code> whole = search(par, 0, [](uint64_t) { return true; }).codes;
        for (int L = 1; L < c.k; L++) {
            SCOPED_TRACE(testing::Message() << c.n << "_" << c.k << "_" << c.d << "." << c.q << " split at " << L);
            const std::vector<code> above = deeper(whole, L, false), below = deeper(whole, L, true);
            ASSERT_FALSE(below.empty());
            // Part I of M by the unit number (M = 1, 2, 3), then by a random draw.
            for (int how = 0; how < 4; how++) {
                const int M = how < 3 ? how + 1 : 3;
                auto owner = [&](uint64_t u) { return how < 3 ? (int)(u % (uint64_t)M) : draw[(size_t)u]; };
                std::vector<code> made;
                for (int I = 0; I < M; I++) {
                    const unitsink s = search(par, L, [&](uint64_t u) { return owner(u) == I; });
                    EXPECT_EQ(deeper(s.codes, L, false), above) << "part " << I << " of " << M;
                    for (size_t u = 0; u < s.units.size(); u++) ASSERT_EQ(s.units[u], u) << "units in turn";
                    ASSERT_LT(s.units.size(), draw.size());
                    take(made, s.codes, [&](uint64_t u) { return owner(u) == I; });
                }
                EXPECT_EQ(inorder(made), below) << "split " << how;
            }
            if (L < 2) continue;
            // Family by family, each in two parts.
            const unitsink walk = search(par, L, [](uint64_t) { return false; }, nullptr, true);
            EXPECT_TRUE(deeper(walk.codes, L, true).empty());
            std::vector<code> made;
            uint64_t next = 0;
            for (const Family& f : walk.families) {
                EXPECT_EQ(f.level, L);
                EXPECT_EQ(f.firstunit, next);
                next += f.units;
                for (uint64_t I = 0; I < 2; I++) {
                    const unitsink s = search(par, L, [&](uint64_t u) { return u % 2 == I; }, &f);
                    std::vector<uint64_t> want(f.units);
                    std::iota(want.begin(), want.end(), f.firstunit);
                    EXPECT_EQ(s.units, want);
                    take(made, s.codes, [&](uint64_t u) { return u % 2 == I; });
                }
            }
            EXPECT_EQ(next, walk.units.size());
            EXPECT_EQ(inorder(made), below) << "by families";
        }
    }
}

}  // namespace
