// Level records: records written from the step's tables and read back are
// compared with the groups derived here from the same tables, in memory and
// spilled to a file alike; the codes of dimension 1 listed on the fly are
// compared with a listing made here of every distribution of a weight.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "common/testutil.h"
#include "engine/records.h"

namespace {

class Records : public ::testing::Test {
protected:
    tempdir dir;
    SplitTables tables;
    LevelCount lc{};
    RunFault fault;
};

struct written {
    int flag;
    std::vector<std::vector<int>> groups;
};

// Random records of both kinds into `to`, the groups they must hold into `out`.
void writerandom(LevelStore& to, SplitTables& tables, LevelCount& lc, int q, std::mt19937& g, std::vector<written>& out) {
    for (int t = 0; t < 30; t++) {
        cleartables(tables);
        tables.recno = t;
        written w{(int)(g() % 2), {}};
        const int L = t % 2 ? (t == 1 ? 300 : (int)(g() % 20)) : 1 + (int)(g() % 12);  // 300: the count takes two bytes
        if (t % 2 == 0) {  // random classes and splits; noise in the empty classes
            for (int l = 0; l < L; l++)
                for (int b = 0; b < q; b++) {
                    int m = (g() % 3 == 0) ? 0 : (int)(g() % 7), left = m;
                    tables.remain[l][0][b] = m;
                    std::vector<int> grp;
                    for (int i = 0; i < q; i++) {
                        int s = (i == q - 1) ? left : (left ? (int)(g() % (left + 1)) : 0);
                        tables.split[l][i][b] = m ? s : (int)(g() % 4);
                        left -= s;
                        grp.push_back(s);
                    }
                    if (m) w.groups.push_back(grp);
                }
        } else {
            w.groups.assign(L, std::vector<int>(q));
            for (int l = 0; l < L; l++)
                for (int i = 0; i < q; i++) w.groups[l][i] = tables.partner[l][i] = (int)(g() % 5);
        }
        ASSERT_TRUE(writelevelrecord(to, w.flag ? CodeStatus::fresh : CodeStatus::seen, t % 2 ? L : L - 1, q,
                                 t % 2 ? StepMode::simple : StepMode::split, tables, lc));
        out.push_back(w);
    }
}

// Both readers give every record back: the partner reader all counts and
// the simple flag, the parent reader the counts of flag-1 records only.
void readback(const LevelStore& from, SplitTables& tables, int q, const std::vector<written>& want) {
    for (int parent = 0; parent <= 1; parent++) {
        LevelStore::Cursor at;
        LevelRecord r;
        for (size_t t = 0; t < want.size(); t++) {
            for (int l = 0; l < MAXBLK; l++)
                for (int b = 0; b < MAXVAL; b++) tables.remain[l][0][b] = -5;
            ASSERT_EQ(parent ? readparentrecord(from, at, r, tables) : readpartnerrecord(from, at, r, tables), 1);
            EXPECT_EQ(std::make_tuple(r.q, r.runno, (int)r.parent), std::make_tuple(q, (int)t + 1, want[t].flag));
            ASSERT_EQ(r.nblk, (int)want[t].groups.size());
            bool simple = true;
            for (int l = 0; l < r.nblk; l++) {
                int sum = 0;
                for (int i = 0; i < q; i++) {
                    sum += want[t].groups[l][i];
                    ASSERT_EQ(parent ? tables.remain[l][0][i] : tables.partner[l][i],
                              parent && !want[t].flag ? -5 : want[t].groups[l][i]);
                }
                simple = simple && sum <= 1;
            }
            EXPECT_TRUE(parent || r.simple == simple) << "record " << t;
        }
        EXPECT_EQ(parent ? readparentrecord(from, at, r, tables) : readpartnerrecord(from, at, r, tables), 0);
    }
}

TEST_F(Records, WriteThenReadBackInMemoryAndSpilled) {
    std::mt19937 g(99);
    MemoryBudget ample(1 << 30), none(0);
    for (int q : {2, 3, 4, 5, 7})
        for (MemoryBudget* b : {&ample, &none}) {
            SCOPED_TRACE("q=" + std::to_string(q) + (b == &none ? " spilled" : " in memory"));
            LevelStore s;
            s.setup(b, dir.file("level"), &fault);
            std::vector<written> want;
            lc = LevelCount{};
            writerandom(s, tables, lc, q, g, want);
            EXPECT_EQ(s.spilled(), b == &none);
            readback(s, tables, q, want);
            const auto parents = std::count_if(want.begin(), want.end(), [](const written& w) { return w.flag; });
            EXPECT_EQ(std::make_tuple(lc.total, lc.pending, (long)lc.parents), std::make_tuple(30, 30, parents));
            // A cleared level is empty and takes new records.
            s.clear();
            LevelStore::Cursor at;
            LevelRecord r;
            EXPECT_EQ(readpartnerrecord(s, at, r, tables), 0);
            want.clear();
            writerandom(s, tables, lc, q, g, want);
            readback(s, tables, q, want);
        }
    EXPECT_FALSE(fault.stopped());
}

TEST_F(Records, ASpillThatCannotBeWrittenIsReported) {
    MemoryBudget none(0);
    LevelStore s;
    s.setup(&none, dir.file("no/such/level"), &fault);
    tables.partner[0][0] = 1;
    testing::internal::CaptureStdout();
    EXPECT_FALSE(writelevelrecord(s, CodeStatus::fresh, 1, 2, StepMode::simple, tables, lc));
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "\n Run stopped: cannot create file " + dir.file("no/such/level") + "\n");
    EXPECT_TRUE(fault.stopped());
}

// Every distribution of x over m values, in decreasing lexicographic order:
// every arrangement of x ones and m - 1 zeros, from the largest string down
// (the parts are the runs of ones between the zeros).
std::vector<std::vector<int>> distributions(int x, int m) {
    std::vector<std::vector<int>> all;
    std::string s = std::string(x, '1') + std::string(m - 1, '0');
    do {
        all.emplace_back(1, 0);
        for (char c : s)
            if (c == '1') all.back().back()++;
            else all.back().push_back(0);
    } while (std::prev_permutation(s.begin(), s.end()));
    return all;
}

// A filter that allows random part sizes, chosen again for each weight.
struct randomparts : FirstFilter {
    uint32_t seed;
    bool parts(int x, uint8_t* parts) const override {
        std::mt19937 g(seed + (uint32_t)x);
        bool some = false;
        for (int a = 0; a <= x; a++) {
            parts[a] = g() % 4 != 0;
            some = some || !parts[a];
        }
        return some;
    }
};

// The whole walk, the walk for parents (the records with flag 1) and, for
// q > 2, a walk through a filter (exactly the distributions whose parts are
// all allowed, in the order of the whole walk).
TEST_F(Records, TheFirstLevelIsEveryDistributionOfEveryAllowedWeight) {
    std::mt19937 g(7);
    int filtered = 0;
    for (int q : {2, 3, 4, 5, 7})
        for (int trial = 0; trial < 12; trial++) {
            RunParams p{};
            p.q = q, p.n = 4 + (int)(g() % (trial % 2 ? 16 : 8)), p.k = 1 + (int)(g() % 3), p.d = 1 + (int)(g() % 4);
            p.nasked = p.n;
            for (int w = 1; w <= p.n; w++) p.wt[w] = trial % 2 || g() % 3 != 0;
            LevelStore s;
            s.setfirst(p, derivebounds(p));
            randomparts f;
            f.seed = g();
            LevelStore::Cursor at, parents, part;
            parents.parents = true;
            part.filter = &f;
            LevelRecord r, rp;
            uint16_t counts[MAXBLK * MAXVAL], pc[MAXBLK * MAXVAL];
            std::vector<uint8_t> ok(MAXLEN);
            int runno = 0, kept = 0;
            for (int x = p.d - 1; x <= p.n - p.k; x++) {
                if (!p.wt[x + 1]) continue;
                f.parts(x, ok.data());
                for (const std::vector<int>& a : distributions(x, q - 1)) {
                    ASSERT_EQ(s.next(at, r, counts), 1);
                    EXPECT_EQ(std::make_tuple(r.q, r.nblk, r.runno, (int)r.parent),
                              std::make_tuple(q, 1, ++runno, a[0] == x ? 1 : 0));
                    EXPECT_EQ(counts[0], p.n - p.k - x);
                    for (int t = 0; t < q - 1; t++) ASSERT_EQ(counts[t + 1], a[t]) << "x=" << x;
                    bool allowed = q > 2;
                    for (int t = 0; t < q - 1; t++) allowed = allowed && ok[a[t]];
                    if (allowed) {
                        ASSERT_EQ(s.next(part, rp, pc), 1);
                        EXPECT_EQ(rp.runno, ++kept);
                        for (int t = 0; t < q; t++) ASSERT_EQ(pc[t], counts[t]) << "filtered, x=" << x;
                    }
                    if (!r.parent) continue;
                    ASSERT_EQ(s.next(parents, rp, pc), 1);
                    EXPECT_TRUE(rp.parent);
                    for (int t = 0; t < q; t++) ASSERT_EQ(pc[t], counts[t]);
                }
            }
            EXPECT_EQ(s.next(at, r, counts), 0);
            EXPECT_EQ(s.next(parents, rp, pc), 0);
            EXPECT_TRUE(q == 2 || s.next(part, rp, pc) == 0);
            filtered += kept;
        }
    EXPECT_GT(filtered, 100);
}

}  // namespace
