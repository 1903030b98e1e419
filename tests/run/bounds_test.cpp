// What must not change what a run writes: the derived bounds and early cuts
// (random parameter sets over every field run plain, with the level bounds
// and each way of making the rows, and with the target bounds too) and the self-checks at check level 2.  Also
// the bounds of known codes by hand, and a failing self-check stops the run.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <set>

#include "canon/canon_support.h"
#include "common/oracle.h"
#include "engine/bounds.h"
#include "engine/selfcheck.h"
#include "invariants/codeform.h"
#include "run/runs.h"

namespace {

// A file without its " RES" line (the totals of the h file) and its time.
std::string withoutres(const std::string& text) {
    std::string out;
    for (const std::string& line : splitlines(text))
        if (line.rfind(" RES", 0) != 0 && line.find("Elapsed time") == std::string::npos) out += line + "\n";
    return out;
}

// The class of an h file's code: its dimension, length and canonical form.
std::string classof(const oracle::matrix& g, CodeFormer& former) {
    std::vector<uint8_t> rows;
    for (const auto& row : g) rows.insert(rows.end(), row.begin(), row.end());
    CodeForm f;
    EXPECT_TRUE(former.form(rows.data(), (int)g.size(), (int)g[0].size(), f));
    return std::to_string(g.size()) + " " + std::to_string(g[0].size()) + " " + f.key;
}

// The three runs of p (made without the target bounds): the level bounds
// change no file, the target bounds no code of the result file and keep only
// codes of the whole h file: the same matrices, or (the dual distance's
// bounds, which cut partners whose children may have come first) the same
// classes.  True when they cut some code of lower dimension.
bool compare(const RunParams& p) {
    inrun plain, target;
    plain.opt.derived = false;
    RunParams bounded = p;
    bounded.targetcuts = 1;
    const std::string want = plain.run(p);
    for (RowSearch rows : {RowSearch::chosen, RowSearch::lattice, RowSearch::enumeration}) {
        inrun level;
        level.opt.rows = rows;
        EXPECT_TRUE(level.run(p) == want) << "the level bounds and cuts changed a file (row search " << (int)rows << ")";
    }
    target.run(bounded);
    const std::string name = resultname(p);
    EXPECT_EQ(withoutres(readfile(target.dir.file(name))), withoutres(readfile(plain.dir.file(name))));
    const auto whole = oracle::resultcodes(readfile(plain.dir.file(name + "h")));
    const auto kept = oracle::resultcodes(readfile(target.dir.file(name + "h")));
    const std::set<oracle::matrix> all(whole.begin(), whole.end());
    CodeFormer former(p.q, p.linear4 == 1);
    std::set<std::string> classes;
    if (p.dualdist > 1)
        for (const auto& g : whole) classes.insert(classof(g, former));
    for (const auto& g : kept)
        EXPECT_TRUE(p.dualdist > 1 ? classes.count(classof(g, former)) == 1 : all.count(g) == 1)
            << "a code of the bounded h file is not in the whole one";
    return kept.size() < all.size();
}

TEST(Bounds, RandomRunsWithAndWithoutThemWriteTheSameCodes) {
    std::mt19937 g(18);
    const int qs[] = {2, 3, 4, 5, 7};
    for (int trial = 0; trial < 35; trial++) {
        const int q = qs[trial % 5];
        const int nmax = q == 2 ? 16 : q == 3 ? 9 : q == 7 ? 6 : 7;
        const int n = 4 + (int)(g() % (nmax - 3));
        const int k = 2 + (int)(g() % std::min(q == 2 ? 4 : 3, n - 2));
        int d = 1;  // near the largest distance the Griesmer bound leaves, where the bounds bite
        while (d < n && griesmer(q, k, d + 1) <= n) d++;
        d = std::max(1, d - (int)(g() % 2));
        const int dw = q == 2 && g() % 4 == 0 ? 2 : 1;
        const int so = q <= 4 && g() % 5 == 0;
        const int dual = g() % 4 == 0 ? 2 + (int)(g() % 3) : 1;
        const int brute = g() % 8 == 0 ? 1 + (int)(g() % k) : 0;
        std::vector<int> forbid;
        if (g() % 3 == 0) forbid.push_back(d + (int)(g() % (n - d + 1)));
        const RunParams p = params({n, k, d, q, dw, so, dual, brute, forbid});
        SCOPED_TRACE(testing::Message() << resultname(p) << " dw " << dw << " so " << so << " dual " << dual
                                        << " brute " << brute << " forbid " << (forbid.empty() ? 0 : forbid[0]));
        compare(p);
    }
    // Parameters where the target bounds cut codes of lower dimension (the
    // first three), then Griesmer codes, whose searches meet the bounds.
    // Then projective codes and caps (the bounds of the dual distance), and
    // codes whose lower dimensions have zero columns (equivalent siblings).
    const runcase fixed[] = {{12, 4, 6, 2},         {14, 3, 8, 2},         {16, 5, 8, 2},         {10, 4, 1, 3, 1, 0, 3},
                             {8, 4, 1, 2, 1, 0, 4}, {9, 4, 1, 3, 1, 0, 4}, {6, 3, 1, 4, 1, 0, 4}, {7, 3, 1, 5, 1, 0, 3},
                             {13, 3, 9, 3},         {15, 4, 8, 2},         {8, 2, 7, 7},          {8, 4, 2, 3},
                             {7, 3, 2, 5},          {7, 3, 2, 4},          {6, 3, 2, 7}};
    for (size_t i = 0; i < std::size(fixed); i++) {
        SCOPED_TRACE(testing::Message() << resultname(params(fixed[i])) << " dual " << fixed[i].dual);
        EXPECT_TRUE(compare(params(fixed[i])) || i >= 6);
    }
}

// The bounds of codes worked out by hand: a class of proportional
// coordinates in dimension D holds at most n - k + D - g(D - 1, d) columns,
// the zero columns at most n - k + D - g(D, d); the weights are those w
// with d - w + ceil(w/q) < 1 or n - w >= g(k - 1, d - w + ceil(w/q)).
TEST(Bounds, OfKnownCodes) {
    const struct {
        int n, k, d, q;
        std::vector<int> prop;    // D = 2..k
        std::vector<int> zeros;   // D = 1..k
        std::vector<int> weights;
        int dual = 1;
    } cases[] = {
        {31, 3, 25, 5, {5, 1}, {4, 0, 0}, {25}},
        {24, 3, 19, 5, {4, 1}, {3, 0, 0}, {19, 20, 24}},
        {40, 3, 27, 3, {12, 4}, {11, 3, 1}, {27, 28, 29, 30, 32, 33, 36}},
        {63, 6, 32, 2, {27, 12, 5, 2, 1}, {26, 11, 4, 1, 0, 0}, {32}},
        {12, 4, 6, 2, {4, 2, 1}, {3, 1, 0, 0}, {6, 8, 12}},
        // Projective: a class of dimension D has distinct points of AG(k-D,q)
        // below it, the zero columns distinct points of PG(k-D-1,q) other
        // than the k - D unit columns; caps (dual distance 4) fewer.
        {13, 3, 9, 3, {3, 1}, {2, 0, 0}, {9}, 3},
        {10, 4, 1, 3, {7, 3, 1}, {6, 2, 0, 0}, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10}, 3},
        {10, 4, 1, 3, {5, 2, 1}, {2, 0, 0, 0}, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10}, 4},
        {8, 4, 1, 2, {4, 2, 1}, {1, 0, 0, 0}, {1, 2, 3, 4, 5, 6, 7, 8}, 4},
    };
    for (const auto& c : cases) {
        RunParams p = params({c.n, c.k, c.d, c.q, 1, 0, c.dual});
        p.targetcuts = 1;
        const LevelBounds b = derivebounds(p);
        SCOPED_TRACE(resultname(p));
        for (int D = 2; D <= c.k; D++) EXPECT_EQ(b.propcap[D], c.prop[D - 2]) << "D=" << D;
        for (int D = 1; D <= c.k; D++) EXPECT_EQ(b.zerocap[D], c.zeros[D - 1]) << "D=" << D;
        std::vector<int> w;
        for (int x = 1; x <= c.n; x++)
            if (b.allowed(x)) w.push_back(x);
        EXPECT_EQ(w, c.weights);
        // The menu's bounds: every weight from d on; a smaller bound of the user wins.
        p.targetcuts = 0;
        p.propcol[2] = 2;
        const LevelBounds m = derivebounds(p);
        EXPECT_EQ(m.propcap[2], std::min(2, c.prop[0]));
        EXPECT_EQ(m.nextok(1), c.d);
        EXPECT_EQ(m.prevok(c.n), c.n);
    }
}

TEST(SelfCheck, LevelTwoRunsEveryCheckAndChangesNothing) {
    for (const runcase& c : {runcase{9, 4, 3, 2}, {12, 5, 4, 2, 2, 1}, {7, 3, 3, 3}, {7, 3, 4, 4}, {6, 3, 3, 5},
                             {5, 2, 3, 7}}) {
        const RunParams p = params(c);
        SCOPED_TRACE(resultname(p));
        inrun plain, checked;
        plain.opt.check = 0;
        checked.opt.check = 2;
        EXPECT_TRUE(checked.run(p) == plain.run(p));
        const SelfCheck* sc = checked.c->selfcheck();
        ASSERT_NE(sc, nullptr);
        EXPECT_GT(sc->tables, 0u);
        EXPECT_GT(sc->images, 0u);
        EXPECT_GT(sc->listings, 0u);
        EXPECT_GT(sc->verdicts, 0u);
        EXPECT_TRUE(p.q != 2 || sc->automorphisms > 0) << "no automorphism checked";
    }
}

TEST(SelfCheck, TheEnvironmentSwitchesItOn) {
    tempdir dir;
    runresult r = runtalven(dir.path, "2\n8\n4\n4\n2\n1\n0\n1\n8\n", 120, "TALVEN_CHECK=2");
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.out.find(" Constructed codes: 1\n"), std::string::npos);
    EXPECT_NE(r.err.find("self-checks: "), std::string::npos) << r.err;
    r = runtalven(dir.path, "2\n8\n4\n4\n2\n1\n0\n1\n8\n", 120);
    EXPECT_EQ(r.err.find("self-checks: "), std::string::npos) << r.err;
}

// A forged automorphism of the Fano plane's incidence matrix is caught.
TEST(SelfCheckDeathTest, AForgedAutomorphismStops) {
    const int lines[7][3] = {{1, 2, 3}, {1, 4, 5}, {1, 6, 7}, {2, 4, 6}, {2, 5, 7}, {3, 4, 7}, {3, 5, 6}};
    ByteMatrix inc{};
    inc.ensure(7, 7, 2);
    for (int r = 0; r < 7; r++)
        for (int c : lines[r]) inc.a[r + 1][c] = 1;
    Labeller lab;
    lab.label(inc, nullptr);
    ASSERT_GT(lab.automorphisms(), 0);
    SelfCheck check(1, 2);
    check.labelling(lab, inc, nullptr);  // the true ones pass
    EXPECT_EQ(check.automorphisms, (uint64_t)lab.automorphisms());
    int32_t* forged = LabelProbe::ws(lab).autcol[1].el;
    std::swap(forged[1], forged[2]);
    std::swap(forged[1], forged[3]);
    const handlerstop h = stopsinhandler([&] { check.labelling(lab, inc, nullptr); });
    EXPECT_NE(h.error.find("zorbel file selfcheck: line "), std::string::npos) << h.error;
    EXPECT_NE(h.error.find("(automorphism keeps incidences)"), std::string::npos) << h.error;
}

}  // namespace
