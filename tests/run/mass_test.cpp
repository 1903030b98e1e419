// The mass of a run: the closed counts against the oracle's count of every
// subspace, the run's mass of every dimension against them, and the parts
// of a split run adding up to the whole run's mass.
#include <gtest/gtest.h>

#include <memory>

#include "params/codeset.h"
#include "common/oracle.h"
#include "run/splitruns.h"

namespace {

// A run as the menu makes it (see runparams.h).
struct mc {
    int n, k, d, q;
    int dw = 1, selforth = 0, dual = 1, brute = 0;
};
RunParams params(const mc& c) { return menuparams(c.n, c.k, c.d, c.q, c.dw, c.selforth, c.dual, c.brute); }

// The closed count of the run `c`'s dimension D; false when there is none.
bool closed(const mc& c, int D, BigNat& count) {
    std::string formula;
    return closedcount(codesetof(params(c), D), count, formula);
}

// The oracle's count of the same set, with the oracle's own arithmetic.
uint64_t listed(const mc& c) {
    const CodeSet s = codesetof(params(c), c.k);
    oracle::wanted w = oracle::plain(s.n, s.k, s.d, s.q);
    for (int x = 1; x <= s.n; x++) w.allowed[x] = s.allowed[(size_t)x];
    w.selforth = s.selforth;
    w.dualdist = s.dualdist;
    return oracle::count(w);
}

// The mass of every dimension of a whole run in the test process.
MassSums runmass(const RunParams& p, uint64_t* relabelled = nullptr) {
    tempdir dir;
    RunOptions opt;
    opt.outdir = dir.path + "/", opt.resdir = dir.path + "/res/", opt.console = nullptr;
    auto cl = std::make_unique<Classifier>(p, opt);
    EXPECT_EQ(cl->run(), runend::complete);
    if (relabelled) *relabelled = cl->relabelled();
    return cl->mass();
}

}  // namespace

// Every closed formula against listing every subspace, for small lengths
// and every field it covers (the self-dual families with none for lengths
// where no such code exists).
TEST(Mass, ClosedCountsAreTheNumbersOfCodes) {
    const mc cases[] = {
        {5, 2, 1, 2}, {6, 3, 1, 2}, {4, 2, 1, 3}, {5, 3, 1, 3}, {4, 2, 1, 4}, {4, 1, 1, 5}, {3, 2, 1, 7},
        {2, 1, 2, 2, 1, 1}, {4, 2, 2, 2, 1, 1}, {6, 3, 2, 2, 1, 1}, {8, 4, 2, 2, 1, 1},  // binary self-dual
        {4, 2, 4, 2, 4}, {8, 4, 4, 2, 4},                                                // doubly-even
        {4, 2, 3, 3, 3, 1}, {6, 3, 3, 3, 3, 1}, {8, 4, 3, 3, 3, 1},                      // ternary
        {2, 1, 2, 4, 2, 1}, {4, 2, 2, 4, 2, 1}, {6, 3, 2, 4, 2, 1},                      // Hermitian GF(4)
    };
    for (const mc& c : cases) {
        SCOPED_TRACE("[" + std::to_string(c.n) + "," + std::to_string(c.k) + "]_" + std::to_string(c.q) +
                     (c.selforth || c.dw > 1 ? " self-orthogonal" : ""));
        BigNat count;
        ASSERT_TRUE(closed(c, c.k, count));
        EXPECT_EQ(count, BigNat(listed(c)));
    }
    // No formula: a minimum distance, a dual distance, a proportional bound.
    BigNat none;
    EXPECT_FALSE(closed({7, 3, 3, 2}, 3, none));
    EXPECT_FALSE(closed({7, 3, 1, 2, 1, 0, 2}, 3, none));
    // Self-orthogonal binary weights 4, 6, 8: every multiple of 4, but only
    // some of the singly-even weights, is neither family.
    EXPECT_FALSE(closed({8, 4, 4, 2, 1, 1}, 4, none));
    mc bounded{7, 3, 1, 2};
    RunParams p = params(bounded);
    p.propcol[3] = 2;
    std::string formula;
    EXPECT_FALSE(closedcount(codesetof(p, 3), none, formula));
}

// The mass of every dimension of a run with nothing asked is the number of
// all codes of that length and dimension, over every field and under both
// equivalences of GF(4); brute generation too, and the self-dual families.
TEST(Mass, EveryDimensionOfARunHasTheMassOfAllItsCodes) {
    const mc all[] = {{8, 4, 1, 2}, {7, 3, 1, 3}, {6, 3, 1, 4}, {6, 3, 1, 5}, {5, 2, 1, 7}};
    for (const mc& c : all)
        for (bool linear : {false, true}) {
            if (linear && c.q != 4) continue;
            SCOPED_TRACE("[" + std::to_string(c.n) + "," + std::to_string(c.k) + "]_" + std::to_string(c.q) +
                         (linear ? " linear" : ""));
            RunParams p = params(c);
            p.linear4 = linear;
            uint64_t relabelled = 0;
            const MassSums m = runmass(p, &relabelled);
            for (int D = 2; D <= c.k; D++) EXPECT_EQ(m.bydim[(size_t)D], gaussian(c.n - c.k + D, D, c.q)) << D;
            if (c.q == 4 && !linear) {
                EXPECT_GT(relabelled, 0u);  // codes that split into parts
            }
        }
    for (const mc& c : {mc{6, 3, 1, 2, 1, 0, 1, 2}, mc{5, 2, 1, 4, 1, 0, 1, 1}}) {
        const MassSums m = runmass(params(c));
        EXPECT_EQ(m.bydim[(size_t)c.k], gaussian(c.n, c.k, c.q)) << "brute " << c.n << " " << c.q;
    }
    for (const mc& c : {mc{10, 5, 2, 2, 1, 1}, mc{16, 8, 4, 2, 4}, mc{12, 6, 3, 3, 3, 1},
                             mc{8, 4, 2, 4, 2, 1}}) {
        BigNat count;
        ASSERT_TRUE(closed(c, c.k, count));
        EXPECT_EQ(runmass(params(c)).bydim[(size_t)c.k], count) << c.n << " " << c.q;
    }
}

// Parts made one by one and merged: the merge's mass is the whole run's,
// and the parts' files hold shares that add up to it.
TEST(Mass, PartsAndTheirMergeGiveTheWholeRunsMass) {
    for (const mc& c : {mc{8, 4, 1, 3}, mc{9, 4, 3, 2}}) {
        const RunParams p = params(c);
        const MassSums whole = runmass(p);
        tempdir dir;
        std::vector<std::string> parts;
        split(p, 3, 2, 0, &parts, dir.path);
        MergeResult m = mergeparts(parts, dir.path + "/", nullptr);
        ASSERT_TRUE(m.ok) << m.error;
        BigNat shares;
        for (const std::string& f : parts) shares += scanpart(f).mass.bydim[(size_t)c.k];
        for (int D = 2; D <= c.k; D++) EXPECT_EQ(m.mass.bydim[(size_t)D], whole.bydim[(size_t)D]) << D;
        EXPECT_EQ(shares, whole.bydim[(size_t)c.k]);
        EXPECT_FALSE(whole.bydim[(size_t)c.k].zero());
    }
}
