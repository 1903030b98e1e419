// Whole runs through the command line against the reference classifier
// (itself checked on classes known by hand): the codes written have the asked
// properties, are pairwise inequivalent and as many as its classes.  Then the
// mass: closed counts against its count of subspaces, and a run's mass.
#include <gtest/gtest.h>

#include <set>

#include "common/oracle.h"
#include "params/codeset.h"
#include "run/runs.h"

namespace {

using namespace oracle;

// The codes written by the run of `w` through the command line (brute
// generation from dimension `brute` when it is not 0): the allowed weights as
// --dw when they are the multiples of some dw > 1 from d on, else as
// --weights when some are not.  Their number must be the number on the
// console, their records numbered in turn and of the run's shape.
std::vector<matrix> clicodes(const wanted& w, int brute = 0) {
    int dw = 1;
    for (int t = w.n; t >= 2 && dw == 1; t--) {
        bool same = true;
        for (int x = w.d; x <= w.n; x++) same = same && w.allowed[x] == (x % t == 0);
        if (same) dw = t;
    }
    std::string args = runargs(w.n, w.k, w.d, w.q) + " --quiet", weights;
    bool restricted = false;
    for (int x = w.d; x <= w.n; x++)
        if (w.allowed[x]) weights += (weights.empty() ? "" : ",") + std::to_string(x);
        else restricted = true;
    if (dw > 1) args += " --dw " + std::to_string(dw);
    else if (restricted) args += " --weights " + weights;
    if (w.selforth) args += " --selforth";
    if (w.dualdist > 1) args += " --dual " + std::to_string(w.dualdist);
    if (brute) args += " --brute " + std::to_string(brute);
    if (w.q == 4 && !w.semilinear) args += " --equivalence linear";
    tempdir dir;
    const runresult r = runcommand(dir.path, args);
    EXPECT_EQ(r.status, 0) << args << ": " << r.err;
    int constructed = -1;
    sscanf(r.out.c_str(), "codes=%d", &constructed);
    const std::string text = readfile(dir.file(runname(w.n, w.k, w.d, w.q) + (brute ? "b" : "")));
    const std::vector<matrix> codes = resultcodes(text);
    EXPECT_EQ(constructed, (int)codes.size());
    const std::string head = "?" + std::to_string(w.k) + " " + std::to_string(w.n) + " " + std::to_string(w.q) + " ";
    int num = 0;
    for (const std::string& line : splitlines(text))
        if (!line.empty() && line[0] == '?') {
            EXPECT_EQ(line, head + std::to_string(++num));
        }
    for (const matrix& g : codes)
        for (const auto& row : g) EXPECT_EQ((int)row.size(), w.n);
    return codes;
}

void checkrun(const wanted& w, int brute = 0) {
    SCOPED_TRACE(testing::Message() << "[" << w.n << "," << w.k << "," << w.d << "]_" << w.q << " so " << w.selforth
                                    << " dual " << w.dualdist << " semilinear " << w.semilinear << " brute " << brute);
    const std::vector<matrix> codes = clicodes(w, brute);
    EXPECT_EQ(codes.size(), classify(w).size());
    ogf f{w.q};
    std::set<std::string> forms;
    for (const matrix& g : codes) {
        EXPECT_TRUE(satisfies(analyse(g, w.n, w.q), w)) << "a written code lacks the asked properties";
        forms.insert(canonkey(g, w.n, f, w.semilinear));
    }
    EXPECT_EQ(forms.size(), codes.size()) << "two written codes are equivalent";
}

TEST(Oracle, ClassesKnownByHand) {
    wanted nozero = plain(3, 2, 1, 2);
    nozero.dualdist = 2;
    const struct {
        wanted w;
        size_t classes;
    } cases[] = {
        {plain(7, 4, 3, 2), 1},  // Hamming
        {plain(4, 2, 3, 3), 1},  // tetracode
        {plain(5, 1, 2, 2), 4},  // dimension 1: one class per support size
        {plain(4, 1, 1, 5), 4},
        {plain(3, 2, 1, 2), 3},  // planes of GF(2)^3: with a zero column, {x_i = x_j}, the even-weight code
        {nozero, 2},             // without zero columns only the last two remain
    };
    for (const auto& c : cases) EXPECT_EQ(classify(c.w).size(), c.classes) << c.w.n << " " << c.w.k << " " << c.w.q;
    codeinfo h = analyse(classify(plain(7, 4, 3, 2))[0], 7, 2);
    EXPECT_EQ(h.spectrum, (std::vector<long>{1, 0, 0, 7, 7, 0, 0, 1}));
    EXPECT_EQ(h.dualdist, 4);
    EXPECT_TRUE(analyse(classify(plain(4, 2, 3, 3))[0], 4, 3).selforth);
}

// The extended Hamming code and the hexacode are unique: the run writes one
// code, and the oracle's count of all codes with the parameters is the
// number of codes equivalent to it, n! (q-1)^n e / |Aut| (e = 2 for the
// field automorphism of GF(4)).
TEST(Classify, FamousCodesAreUnique) {
    for (const wanted& w : {plain(8, 4, 4, 2), plain(6, 3, 4, 4)}) {
        const std::vector<matrix> got = clicodes(w);
        ASSERT_EQ(got.size(), 1u);
        EXPECT_TRUE(satisfies(analyse(got[0], w.n, w.q), w));
        uint64_t maps = w.q == 4 ? 2 : 1;
        for (int i = 1; i <= w.n; i++) maps *= (uint64_t)i * (uint64_t)(w.q - 1);
        EXPECT_EQ(count(w) * (uint64_t)oracle::maps(got[0], got[0], w.q, true), maps) << w.n;
    }
}

TEST(Classify, AllSmallParameters) {
    for (auto [q, nmax] : {std::pair{2, 7}, {3, 5}, {4, 4}, {5, 4}, {7, 3}})
        for (int n = 1; n <= nmax; n++)
            for (int k = 1; k <= n; k++)
                for (int d = 1; d <= n - k + 1; d++) checkrun(plain(n, k, d, q));
}

// Over GF(4) the classes up to semilinear maps (the default) and up to
// monomial maps (--equivalence linear) both match the reference.
TEST(Classify, GF4UnderBothEquivalences) {
    for (int n = 2; n <= 5; n++)
        for (int k = 1; k <= std::min(n, 3); k++)
            for (int d : {1, 2})
                for (bool semilinear : {true, false}) {
                    wanted w = plain(n, k, d, 4);
                    w.semilinear = semilinear;
                    checkrun(w);
                }
}

// Brute generation works on codes lengthened by k and prints them without
// those k columns: whatever the starting dimension, the codes written are
// again exactly the classes of [n,k,>=d] codes.
TEST(Classify, BruteGenerationFindsTheSameClasses) {
    for (int s = 1; s <= 3; s++)
        for (const wanted& w : {plain(7, 3, 3, 2), plain(6, 3, 2, 2), plain(6, 3, 3, 3), plain(5, 3, 2, 4)})
            checkrun(w, s);
    checkrun(plain(5, 2, 2, 5), 2);
}

// Weights divisible by t (or all but one weight), self-orthogonality, dual
// distances; with dual distance 3 in dimension 2 the codes of dimension 1
// are never tested, so zero columns must be caught at dimension 2.
TEST(Classify, RestrictedWeightsSelfOrthogonalityAndDualDistance) {
    const struct {
        int n, k, d, q;
        bool selforth;
        int dual, t, gap;  // weights not divisible by t or equal to gap are taken out
    } cases[] = {
        {7, 3, 2, 2, false, 1, 2, 0},  // even weights
        {6, 2, 2, 2, true, 1, 2, 0},   // self-orthogonal
        {6, 2, 3, 3, true, 1, 3, 0},
        {8, 3, 2, 2, false, 1, 2, 0},
        {7, 2, 3, 3, false, 1, 3, 0},  // weights 3 and 6
        {7, 3, 2, 2, false, 1, 1, 5},  // every weight but 5
        {7, 3, 2, 2, false, 3, 1, 0},  // dual distance
        {5, 2, 2, 4, false, 2, 1, 0},
        {6, 2, 2, 2, false, 3, 1, 0},  // dual distance 3 in dimension 2
        {6, 2, 2, 3, false, 3, 1, 0},
        {7, 3, 2, 2, false, 4, 1, 0},
    };
    for (const auto& c : cases) {
        wanted w = plain(c.n, c.k, c.d, c.q);
        w.selforth = c.selforth;
        w.dualdist = c.dual;
        for (int x = 1; x <= c.n; x++)
            if (x % c.t || x == c.gap) w.allowed[x] = 0;
        checkrun(w);
    }
}

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

// Every closed formula against listing every subspace, over every field it
// covers (the self-dual families with none where no such code exists).
TEST(Mass, ClosedCountsAreTheNumbersOfCodes) {
    const runcase cases[] = {
        {5, 2, 1, 2}, {6, 3, 1, 2}, {4, 2, 1, 3}, {5, 3, 1, 3}, {4, 2, 1, 4}, {4, 1, 1, 5}, {3, 2, 1, 7},
        {2, 1, 2, 2, 1, 1}, {4, 2, 2, 2, 1, 1}, {6, 3, 2, 2, 1, 1}, {8, 4, 2, 2, 1, 1},  // binary self-dual
        {4, 2, 4, 2, 4}, {8, 4, 4, 2, 4},                                                // doubly-even
        {4, 2, 3, 3, 3, 1}, {6, 3, 3, 3, 3, 1}, {8, 4, 3, 3, 3, 1},                      // ternary
        {2, 1, 2, 4, 2, 1}, {4, 2, 2, 4, 2, 1}, {6, 3, 2, 4, 2, 1},                      // Hermitian GF(4)
        // Without zero coordinates, and projective.
        {7, 3, 1, 2, 1, 0, 2}, {5, 2, 1, 3, 1, 0, 2}, {4, 2, 1, 4, 1, 0, 2}, {3, 1, 1, 5, 1, 0, 2}, {4, 2, 1, 7, 1, 0, 2},
        {6, 3, 1, 2, 1, 0, 3}, {7, 3, 1, 2, 1, 0, 3}, {5, 2, 1, 3, 1, 0, 3}, {5, 3, 1, 3, 1, 0, 3},
        {5, 2, 1, 4, 1, 0, 3}, {4, 2, 1, 5, 1, 0, 3}, {4, 2, 1, 7, 1, 0, 3}, {4, 1, 1, 2, 1, 0, 3},
    };
    for (const runcase& c : cases) {
        SCOPED_TRACE(testing::Message() << resultname(params(c)) << " dw " << c.dw << " so " << c.selforth);
        BigNat count;
        ASSERT_TRUE(closed(c, c.k, count));
        EXPECT_EQ(count, BigNat(listed(c)));
    }
    // No formula: a minimum distance, a dual distance of 4 or one with d > 1, self-orthogonal binary
    // weights 4, 6, 8 (every multiple of 4 but only some singly-even weights:
    // neither family), a proportional bound.
    BigNat none;
    for (const runcase& c : {runcase{7, 3, 3, 2}, {7, 3, 1, 2, 1, 0, 4}, {7, 3, 2, 2, 1, 0, 3}, {8, 4, 4, 2, 1, 1}})
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
            inrun r;
            r.run(p);
            for (int D = 2; D <= c.k; D++)
                EXPECT_EQ(r.c->mass().bydim[(size_t)D], gaussian(c.n - c.k + D, D, c.q)) << D;
            if (c.q == 4 && !linear) {
                EXPECT_GT(r.c->relabelled(), 0u);  // codes that split into parts
            }
        }
    // Codes without zero coordinates and projective codes, with the bounds of
    // the dual distance (the command line's) and without: the count of every
    // subspace.
    for (const runcase& c : {runcase{7, 3, 1, 2, 1, 0, 3}, {5, 3, 1, 3, 1, 0, 3}, {5, 2, 1, 4, 1, 0, 3},
                             {7, 3, 1, 2, 1, 0, 2}, {4, 2, 1, 7, 1, 0, 2}})
        for (int cuts : {0, 1}) {
            RunParams p = params(c);
            p.targetcuts = cuts;
            inrun r;
            r.run(p);
            EXPECT_EQ(r.c->mass().bydim[(size_t)c.k], BigNat(listed(c))) << resultname(p) << " dual " << c.dual;
        }
    // Brute generation (all codes), then the self-dual families (their closed counts).
    for (const runcase& c : {runcase{6, 3, 1, 2, 1, 0, 1, 2}, {5, 2, 1, 4, 1, 0, 1, 1}, {10, 5, 2, 2, 1, 1},
                             {16, 8, 4, 2, 4}, {12, 6, 3, 3, 3, 1}, {8, 4, 2, 4, 2, 1}}) {
        BigNat want = gaussian(c.n, c.k, c.q);
        ASSERT_TRUE(c.brute || closed(c, c.k, want));
        inrun r;
        r.run(params(c));
        EXPECT_EQ(r.c->mass().bydim[(size_t)c.k], want) << resultname(params(c));
    }
}

}  // namespace
