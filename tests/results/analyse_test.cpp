// The analyser against listing: rank, distances, weights and
// self-orthogonality of random small codes of every field, with zero
// columns, k = n, dependent rows and self-orthogonal codes among them.
#include <gtest/gtest.h>

#include "brute.h"
#include "results/analyse.h"

namespace {

// The longest codes whose dual is listed here in a moment (q^n vectors).
int longest(int q) { return q == 2 || q == 3 ? 9 : q == 4 ? 7 : q == 5 ? 6 : 5; }

// A code of up to k rows that is self-orthogonal (Hermitian over GF(4)),
// grown from random vectors; fewer rows when none fit.
CodeMatrix selforthogonal(std::mt19937& rng, int q, int k, int n) {
    CodeMatrix c(q, 0, n);
    for (int t = 0; t < 3000 && c.k < k; t++) {
        CodeMatrix x = c;
        x.k++;
        for (int j = 0; j < n; j++) x.a.push_back(rng() % 3 == 0 ? 0 : (uint8_t)(rng() % (unsigned)q));
        const oracle::codeinfo f = brute::analyse(x, false);
        if (f.selforth && f.rank == x.k) c = x;
    }
    return c;
}

void compare(CodeAnalyser& an, const CodeMatrix& c, const std::string& what) {
    SCOPED_TRACE(what + " q=" + std::to_string(c.q) + " k=" + std::to_string(c.k) + " n=" + std::to_string(c.n));
    const oracle::codeinfo want = brute::analyse(c);
    EXPECT_EQ(an.rank(c), want.rank);
    CodeFacts got;
    CodeForm form;
    if (want.rank < c.k) {  // no generator matrix: no facts, no form
        EXPECT_FALSE(an.facts(c, got));
        EXPECT_FALSE(an.form(c, form));
        return;
    }
    std::vector<uint64_t> A;
    an.weights(c, A);
    EXPECT_EQ(A, brute::weights(c));
    EXPECT_EQ(std::make_tuple(an.mindist(c), an.dualdist(c), an.selforthogonal(c)),
              std::make_tuple(want.mindist, want.dualdist, want.selforth));
    ASSERT_TRUE(an.facts(c, got));
    EXPECT_EQ(std::make_tuple(got.d, got.duald, got.weights), std::make_tuple(want.mindist, want.dualdist, A));
    EXPECT_EQ(checkfacts(got, c.n), "");
    ASSERT_TRUE(an.form(c, form));
    EXPECT_EQ(got.aut, form.autorder);
}

TEST(Analyser, FactsOfRandomCodesAgreeWithListing) {
    std::mt19937 rng(61);
    for (int q : {2, 3, 4, 5, 7}) {
        for (bool linear4 : {false, true}) {
            if (linear4 && q != 4) continue;
            CodeAnalyser an(q, linear4);
            int selforth = 0, dependent = 0;
            for (int t = 0; t < 40; t++) {
                const int n = 1 + (int)(rng() % (unsigned)longest(q));
                const int k = 1 + (int)(rng() % (unsigned)std::min(4, n));
                CodeMatrix c = brute::random(rng, q, k, n, t % 2 == 0);
                if (t % 5 == 1 && k >= 2)  // the last row a combination of the first ones
                    for (int j = 0; j < n; j++)
                        c.at(k - 1, j) = k == 2 ? c.at(0, j) : (uint8_t)ownfield{q}.add(c.at(0, j), c.at(1, j));
                dependent += brute::analyse(c, false).rank < k;
                compare(an, c, "random " + std::to_string(t));
            }
            for (int t = 0; t < 12; t++) {
                const int n = 2 + (int)(rng() % (unsigned)(longest(q) - 1));
                CodeMatrix c = selforthogonal(rng, q, 1 + (int)(rng() % 3), n);
                if (c.k == 0) continue;
                selforth++;
                compare(an, c, "self-orthogonal " + std::to_string(t));
            }
            // k = n: the whole space, whose dual has no non-zero word.
            for (int n = 1; n <= std::min(4, longest(q)); n++) {
                CodeMatrix c(q, n, n);
                for (int r = 0; r < n; r++) c.at(r, r) = 1;
                compare(an, brute::scramble(c, rng, false), "whole space");
                EXPECT_EQ(an.dualdist(c), n + 1);
            }
            // The oracle made the cases it was meant to.
            EXPECT_GT(selforth, 5) << "q=" << q;
            EXPECT_GT(dependent, 3) << "q=" << q;
        }
    }
}

}  // namespace
