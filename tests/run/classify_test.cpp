// Whole runs against the reference classifier: the program is driven through
// its command line (whose target bounds cut the most) for small parameter
// sets; every code it writes must have the asked properties, no two may be
// equivalent, and their number must equal the number of classes the
// brute-force classifier finds.  (The menu writes the same files:
// console/cli_test.cpp; with and without the bounds: bounds_test.cpp.)
#include <gtest/gtest.h>

#include <set>
#include <sstream>

#include "common/testutil.h"
#include "common/oracle.h"

namespace {

using namespace oracle;

struct written {
    std::vector<matrix> codes;
    int constructed = -1;  // "codes=%d" of the totals line
    std::string out;
};

// The run of `w` through the command line (brute generation from dimension
// `brute` when it is not 0): the allowed weights as --dw when they are the
// multiples of some dw > 1 from d on, else as --weights when some are not.
written runcase(const wanted& w, int brute = 0) {
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
    written res;
    res.out = r.out;
    sscanf(r.out.c_str(), "codes=%d", &res.constructed);
    const std::string name = runname(w.n, w.k, w.d, w.q) + (brute ? "b" : "");
    res.codes = resultcodes(readfile(dir.file(name)));
    // Every record numbered in turn, of the run's shape.
    int num = 0;
    for (const std::string& line : splitlines(readfile(dir.file(name))))
        if (!line.empty() && line[0] == '?') {
            EXPECT_EQ(line, "?" + std::to_string(w.k) + " " + std::to_string(w.n) + " " + std::to_string(w.q) + " " +
                                std::to_string(++num));
        }
    for (const matrix& g : res.codes)
        for (const auto& row : g) EXPECT_EQ((int)row.size(), w.n);
    return res;
}

void checkrun(const wanted& w, int brute = 0) {
    std::ostringstream what;
    what << "[" << w.n << "," << w.k << "," << w.d << "]_" << w.q << (w.selforth ? " self-orthogonal" : "")
         << (w.q == 4 && !w.semilinear ? " linear" : "")
         << " dual distance " << w.dualdist << " brute " << brute;
    SCOPED_TRACE(what.str());
    written got = runcase(w, brute);
    size_t expected = classify(w).size();
    EXPECT_EQ(got.codes.size(), expected);
    EXPECT_EQ(got.constructed, (int)got.codes.size());
    ogf f{w.q};
    std::set<std::string> forms;
    for (const matrix& g : got.codes) {
        codeinfo c = analyse(g, w.n, w.q);
        EXPECT_TRUE(satisfies(c, w)) << "a written code lacks the asked properties";
        forms.insert(canonkey(g, w.n, f, w.semilinear));
    }
    EXPECT_EQ(forms.size(), got.codes.size()) << "two written codes are equivalent";
}

// The extended Hamming code and the hexacode are unique: the run writes one
// code, and the oracle's count of all codes with the parameters is the
// number of codes equivalent to it, n! (q-1)^n e / |Aut| (e = 2 for the
// field automorphism of GF(4)).  (The Hamming code and the tetracode are
// among the small parameters below.)
TEST(Classify, FamousCodesAreUnique) {
    for (const wanted& w : {plain(8, 4, 4, 2), plain(6, 3, 4, 4)}) {
        const written got = runcase(w);
        ASSERT_EQ(got.codes.size(), 1u);
        EXPECT_TRUE(satisfies(analyse(got.codes[0], w.n, w.q), w));
        uint64_t maps = w.q == 4 ? 2 : 1;
        for (int i = 1; i <= w.n; i++) maps *= (uint64_t)i * (uint64_t)(w.q - 1);
        EXPECT_EQ(count(w) * (uint64_t)oracle::maps(got.codes[0], got.codes[0], w.q, true), maps) << w.n;
    }
}

TEST(Classify, AllSmallBinaryParameters) {
    for (int n = 1; n <= 7; n++)
        for (int k = 1; k <= n; k++)
            for (int d = 1; d <= n - k + 1; d++) checkrun(plain(n, k, d, 2));
}

TEST(Classify, AllSmallTernaryParameters) {
    for (int n = 1; n <= 5; n++)
        for (int k = 1; k <= n; k++)
            for (int d = 1; d <= n - k + 1; d++) checkrun(plain(n, k, d, 3));
}

TEST(Classify, AllSmallParametersOverGF4GF5GF7) {
    for (int q : {4, 5, 7})
        for (int n = 1; n <= (q == 7 ? 3 : 4); n++)
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
    for (int s = 1; s <= 3; s++) {
        checkrun(plain(7, 3, 3, 2), s);
        checkrun(plain(6, 3, 2, 2), s);
        checkrun(plain(6, 3, 3, 3), s);
        checkrun(plain(5, 3, 2, 4), s);
    }
    checkrun(plain(5, 2, 2, 5), 2);
}

TEST(Classify, RestrictedWeightsSelfOrthogonalityAndDualDistance) {
    wanted even = plain(7, 3, 2, 2);
    for (int x = 1; x <= 7; x += 2) even.allowed[x] = 0;
    checkrun(even);
    wanted so = plain(6, 2, 2, 2);
    so.selforth = true;
    for (int x = 1; x <= 6; x += 2) so.allowed[x] = 0;
    checkrun(so);
    wanted tso = plain(6, 2, 3, 3);
    tso.selforth = true;
    for (int x = 1; x <= 6; x++)
        if (x % 3) tso.allowed[x] = 0;
    checkrun(tso);
    // Weights divisible by dw = 2 or 3, given in the dialogue alone: nothing
    // but the weight check keeps the other weights out.
    wanted even2 = plain(8, 3, 2, 2);
    for (int x = 1; x <= 8; x += 2) even2.allowed[x] = 0;
    checkrun(even2);
    wanted three = plain(7, 2, 3, 3);
    for (int x = 1; x <= 7; x++) three.allowed[x] = x % 3 == 0;
    checkrun(three);
    wanted gap = plain(7, 3, 2, 2);
    gap.allowed[5] = 0;
    checkrun(gap);
    wanted dual = plain(7, 3, 2, 2);
    dual.dualdist = 3;
    checkrun(dual);
    wanted dual4 = plain(5, 2, 2, 4);
    dual4.dualdist = 2;
    checkrun(dual4);
    // Dimension 2 with dual distance 3: the codes of dimension 1 are never
    // tested, so zero columns must be caught at dimension 2.
    for (int q : {2, 3}) {
        wanted two = plain(6, 2, 2, q);
        two.dualdist = 3;
        checkrun(two);
    }
    wanted four = plain(7, 3, 2, 2);
    four.dualdist = 4;
    checkrun(four);
}

}  // namespace
