// The dimension search on its own: no folder, no lock, no result file, only
// a sink that keeps what it is told.  A run split into units must give, over
// any division of its units between searches, the codes of the whole search:
// the codes outside the units once per search, those inside once in all.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "engine/dimsearch.h"
#include "run/runparams.h"

namespace {

// The codes a search reports, as "dimension: rows", in the order reported,
// split into those made inside a unit and outside any.
struct Keeper : SearchSink {
    explicit Keeper(int mod = 1, int mine = 0) : mod(mod), mine(mine) {}
    void newcode(const cmrec& c) override {
        std::string s = std::to_string(c.cur_level) + ":";
        for (int r = 1; r <= c.cur_level; r++) {
            for (int p = 1; p <= c.cur_len; p++) s += (char)('0' + c.m[r][p]);
            s += '/';
        }
        (inunit ? inside : outside).push_back(s);
    }
    void progress(int) override { steps++; }
    bool unitbegins(uint64_t u) override {
        units++;
        inunit = (int)(u % (uint64_t)mod) == mine;
        return inunit;
    }
    void unitends(uint64_t, bool made) override {
        EXPECT_EQ(made, inunit);
        inunit = false;
    }
    int mod, mine;
    bool inunit = false;
    uint64_t steps = 0, units = 0;
    std::vector<std::string> inside, outside;
};

struct Searcher {
    explicit Searcher(const RunParams& p, Keeper& k, int check = 0)
        : par(p), bounds(derivebounds(par)), fault(nullptr), budget(DEFAULT_BUDGET),
          search(par, bounds, fault, budget, rc, k, check) {}
    RunParams par;
    LevelBounds bounds;
    RunFault fault;
    MemoryBudget budget;
    runcounters rc{};
    DimensionSearch search;
};

int finalcodes(const std::vector<std::string>& codes, int k) {
    const std::string tag = std::to_string(k) + ":";
    return (int)std::count_if(codes.begin(), codes.end(), [&](const std::string& s) { return s.rfind(tag, 0) == 0; });
}

TEST(DimensionSearch, RunsWithoutFoldersAndItsUnitsAddUpToTheWhole) {
    const struct {
        RunParams p;
        int split, codes;  // the split level and the number of codes of dimension k (0: not known here)
    } cases[] = {
        {menuparams(7, 4, 3, 2), 3, 1},      // the Hamming code
        {menuparams(8, 4, 3, 3), 2, 0},
        {menuparams(8, 3, 5, 4), 2, 0},
        {menuparams(8, 3, 4, 5), 2, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(resultname(c.p));
        Keeper whole;
        Searcher(c.p, whole).search.search();
        EXPECT_FALSE(whole.inside.size() + whole.units > 0) << "no units without a split level";
        if (c.codes > 0) {
            EXPECT_EQ(finalcodes(whole.outside, c.p.k), c.codes);
        }
        EXPECT_GT(whole.steps, 0u);
        for (int M : {1, 3}) {
            std::vector<std::string> all;
            std::vector<std::string> skeleton;
            for (int I = 0; I < M; I++) {
                Keeper part(M, I);
                Searcher s(c.p, part);
                s.search.search(c.split);
                EXPECT_FALSE(s.fault.stopped());
                EXPECT_GE(part.units, c.codes == 1 ? 1u : 2u) << "the split level has units to divide";
                if (I == 0) skeleton = part.outside;
                EXPECT_EQ(part.outside, skeleton) << "every search reports the codes outside the units";
                all.insert(all.end(), part.inside.begin(), part.inside.end());
            }
            all.insert(all.end(), skeleton.begin(), skeleton.end());
            std::vector<std::string> want = whole.outside;
            std::sort(all.begin(), all.end());
            std::sort(want.begin(), want.end());
            EXPECT_EQ(all, want) << M << " searches";
        }
    }
}

}  // namespace
