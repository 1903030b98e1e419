// The analyser and the class sorter against the oracles: the facts of
// random small codes against listing, and the classes of shuffled
// equivalent copies of a real run's codes against the run's classes.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>

#include "brute.h"
#include "codeio/support.h"
#include "results/analyse.h"
#include "results/classsort.h"

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

// Rank, distances, weights and self-orthogonality of codes of every field,
// with zero columns, dependent rows, k = n and self-orthogonal codes among them.
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
                CodeMatrix c = randomcode(rng, q, k, n);
                for (int j = 0; j < n && t % 2 == 0; j++)  // some columns zero
                    if (rng() % 4 == 0)
                        for (int r = 0; r < k; r++) c.at(r, j) = 0;
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
            }
            // The oracle made the cases it was meant to.
            EXPECT_GT(selforth, 5) << "q=" << q;
            EXPECT_GT(dependent, 3) << "q=" << q;
        }
    }
}

// Each code of a run hidden behind 1..4 random generator matrices of
// equivalent codes: back come the run's classes, the copies as their sizes.
TEST(ClassSorter, RandomEquivalentCopiesOfARunSortBackIntoItsClasses) {
    std::mt19937 rng(81);
    const std::tuple<int, int, int, int, bool> cases[] = {
        {8, 4, 3, 2, false}, {7, 3, 3, 2, false}, {6, 3, 3, 3, false}, {8, 4, 3, 3, false},  {6, 3, 3, 4, false},
        {6, 3, 3, 4, true},  {10, 2, 6, 4, false}, {10, 2, 6, 4, true}, {6, 3, 3, 5, false}, {5, 2, 3, 7, false},
        {6, 3, 4, 7, false}};
    for (const auto& [n, k, d, q, linear4] : cases) {
        const std::string args = "--quiet " + runargs(n, k, d, q) + (linear4 ? " --equivalence linear" : "");
        SCOPED_TRACE(args);
        tempdir dir;
        runresult r = runcommand(dir.path, args);
        ASSERT_EQ(r.status, 0) << r.err;
        const std::vector<CodeMatrix> codes = brute::readcodes(dir.file(runname(n, k, d, q)));
        ASSERT_FALSE(codes.empty());
        EXPECT_NE(r.out.find("codes=" + std::to_string(codes.size()) + " "), std::string::npos) << r.out;
        // The copies (code, matrix); over GF(4) with the field automorphism
        // some of them conjugated too.
        std::vector<std::pair<size_t, CodeMatrix>> copies;
        std::vector<int64_t> made(codes.size());
        for (size_t i = 0; i < codes.size(); i++) {
            made[i] = 1 + (int64_t)(rng() % 4);
            for (int64_t t = 0; t < made[i]; t++)
                copies.emplace_back(i, brute::scramble(codes[i], rng, q == 4 && !linear4 && rng() % 2));
        }
        std::shuffle(copies.begin(), copies.end(), rng);
        ClassSorter sorter(q, q == 4 && linear4);
        std::map<size_t, int64_t> classof;  // run's code -> sorter's class
        for (const auto& [of, m] : copies) {
            bool fresh = false;
            const int64_t cls = sorter.add(m, fresh);
            ASSERT_GT(cls, 0);
            auto [it, first] = classof.emplace(of, cls);
            EXPECT_EQ(fresh, first) << "code " << of + 1;  // a new class for its first copy only
            EXPECT_EQ(it->second, cls) << "copies of code " << of + 1 << " in two classes";
        }
        ASSERT_EQ(sorter.sizes().size(), codes.size());
        for (auto [i, cls] : classof) EXPECT_EQ(sorter.sizes()[(size_t)cls - 1], made[i]) << "code " << i + 1;
        // Dependent rows are no code and are not counted.
        CodeMatrix dep = codes[0];
        for (int j = 0; j < dep.n; j++) dep.at(dep.k - 1, j) = dep.at(0, j);
        bool fresh = true;
        EXPECT_EQ(sorter.add(dep, fresh), 0);
        EXPECT_FALSE(fresh);
        EXPECT_EQ(sorter.sizes().size(), codes.size());
    }
}

}  // namespace
