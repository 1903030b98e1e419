// The mass of a run: the closed counts against the oracle's count of every
// subspace, and the run's mass of every dimension against them.  (The mass
// of split runs: every comparison of runs.h.)
#include <gtest/gtest.h>

#include "params/codeset.h"
#include "common/oracle.h"
#include "run/runs.h"

namespace {

// The closed count of the run `c`'s dimension D; false when there is none.
bool closed(const runcase& c, int D, BigNat& count) {
    std::string formula;
    return closedcount(codesetof(params(c), D), count, formula);
}

// The oracle's count of the same set, with the oracle's own arithmetic.
uint64_t listed(const runcase& c) {
    const CodeSet s = codesetof(params(c), c.k);
    oracle::wanted w = oracle::plain(s.n, s.k, s.d, s.q);
    for (int x = 1; x <= s.n; x++) w.allowed[x] = s.allowed[(size_t)x];
    w.selforth = s.selforth;
    w.dualdist = s.dualdist;
    return oracle::count(w);
}

// The mass of every dimension of a whole run in the test process.
MassSums runmass(const RunParams& p, uint64_t* relabelled = nullptr) {
    inrun r;
    r.run(p);
    if (relabelled) *relabelled = r.c->relabelled();
    return r.c->mass();
}

}  // namespace

// Every closed formula against listing every subspace, for small lengths
// and every field it covers (the self-dual families with none for lengths
// where no such code exists).
TEST(Mass, ClosedCountsAreTheNumbersOfCodes) {
    const runcase cases[] = {
        {5, 2, 1, 2}, {6, 3, 1, 2}, {4, 2, 1, 3}, {5, 3, 1, 3}, {4, 2, 1, 4}, {4, 1, 1, 5}, {3, 2, 1, 7},
        {2, 1, 2, 2, 1, 1}, {4, 2, 2, 2, 1, 1}, {6, 3, 2, 2, 1, 1}, {8, 4, 2, 2, 1, 1},  // binary self-dual
        {4, 2, 4, 2, 4}, {8, 4, 4, 2, 4},                                                // doubly-even
        {4, 2, 3, 3, 3, 1}, {6, 3, 3, 3, 3, 1}, {8, 4, 3, 3, 3, 1},                      // ternary
        {2, 1, 2, 4, 2, 1}, {4, 2, 2, 4, 2, 1}, {6, 3, 2, 4, 2, 1},                      // Hermitian GF(4)
    };
    for (const runcase& c : cases) {
        SCOPED_TRACE(testing::Message() << resultname(params(c)) << " dw " << c.dw << " so " << c.selforth);
        BigNat count;
        ASSERT_TRUE(closed(c, c.k, count));
        EXPECT_EQ(count, BigNat(listed(c)));
    }
    // No formula: a minimum distance, a dual distance, self-orthogonal binary
    // weights 4, 6, 8 (every multiple of 4 but only some singly-even weights:
    // neither family), a proportional bound.
    BigNat none;
    for (const runcase& c : {runcase{7, 3, 3, 2}, {7, 3, 1, 2, 1, 0, 2}, {8, 4, 4, 2, 1, 1}})
        EXPECT_FALSE(closed(c, c.k, none)) << resultname(params(c));
    RunParams p = params({7, 3, 1, 2});
    p.propcol[3] = 2;
    std::string formula;
    EXPECT_FALSE(closedcount(codesetof(p, 3), none, formula));
}

// The mass of every dimension of a run with nothing asked is the number of
// all codes of that length and dimension, over every field and under both
// equivalences of GF(4); brute generation too, and the self-dual families.
TEST(Mass, EveryDimensionOfARunHasTheMassOfAllItsCodes) {
    for (const runcase& c : {runcase{8, 4, 1, 2}, {7, 3, 1, 3}, {6, 3, 1, 4}, {6, 3, 1, 5}, {5, 2, 1, 7}})
        for (bool linear : {false, true}) {
            if (linear && c.q != 4) continue;
            RunParams p = params(c);
            SCOPED_TRACE(resultname(p) + (linear ? " linear" : ""));
            p.linear4 = linear;
            uint64_t relabelled = 0;
            const MassSums m = runmass(p, &relabelled);
            for (int D = 2; D <= c.k; D++) EXPECT_EQ(m.bydim[(size_t)D], gaussian(c.n - c.k + D, D, c.q)) << D;
            if (c.q == 4 && !linear) {
                EXPECT_GT(relabelled, 0u);  // codes that split into parts
            }
        }
    for (const runcase& c : {runcase{6, 3, 1, 2, 1, 0, 1, 2}, {5, 2, 1, 4, 1, 0, 1, 1}}) {
        const MassSums m = runmass(params(c));
        EXPECT_EQ(m.bydim[(size_t)c.k], gaussian(c.n, c.k, c.q)) << "brute " << c.n << " " << c.q;
    }
    for (const runcase& c : {runcase{10, 5, 2, 2, 1, 1}, {16, 8, 4, 2, 4}, {12, 6, 3, 3, 3, 1}, {8, 4, 2, 4, 2, 1}}) {
        BigNat count;
        ASSERT_TRUE(closed(c, c.k, count));
        EXPECT_EQ(runmass(params(c)).bydim[(size_t)c.k], count) << c.n << " " << c.q;
    }
}
