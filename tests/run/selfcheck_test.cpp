// The self-checks: classifications at check level 2 write what they write
// unchecked while every check runs (automorphisms, clean tables, random
// images of every new code, full listings), through the environment as a
// user sets it, and a check that fails stops through the assertion handler.
#include <gtest/gtest.h>

#include "canon/canon_support.h"
#include "engine/selfcheck.h"
#include "run/runs.h"

namespace {

TEST(SelfCheck, LevelTwoRunsEveryCheckAndChangesNothing) {
    for (const runcase& c : {runcase{9, 4, 3, 2}, {12, 5, 4, 2, 2, 1}, {7, 3, 3, 3}, {7, 3, 4, 4}, {6, 3, 3, 5},
                             {5, 2, 3, 7}}) {
        const RunParams p = params(c);
        SCOPED_TRACE(resultname(p));
        inrun plain, checked;
        plain.opt.check = 0;
        checked.opt.check = 2;
        EXPECT_TRUE(checked.run(p) == plain.run(p));
        EXPECT_EQ(checked.c->codecount(), plain.c->codecount());
        const SelfCheck* sc = checked.c->selfcheck();
        ASSERT_NE(sc, nullptr);
        EXPECT_GT(sc->tables, 0u);
        EXPECT_GT(sc->images, 0u);
        EXPECT_GT(sc->listings, 0u);
        EXPECT_GT(sc->verdicts, 0u);
        if (p.q == 2) {
            EXPECT_GT(sc->automorphisms, 0u);
        }
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
    EXPECT_EXIT(
        {
            if (!freopen("/dev/null", "r", stdin)) _exit(99);
            check.labelling(lab, inc, nullptr);
            _exit(0);
        },
        ::testing::ExitedWithCode(ZFAIL_EXIT), "");
}

}  // namespace
