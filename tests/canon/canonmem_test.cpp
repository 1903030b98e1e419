// Workspace set-up and growth: capacities after first use and after growth,
// reuse when everything fits, and allocation failure.
#include <gtest/gtest.h>

#include "canon/canon.h"
#include "canon/canon_support.h"

namespace {

struct caps {
    int l, g, n, m;
};
caps now() { return {cws.capl, cws.capg, cws.capn, cws.capm}; }

void shape(int M, int N) { load(make_mat(M, N)); }

TEST(CanonMem, FirstUseAndGrowthFollowTheCapacityRule) {
    canon_reset();
    shape(8, 5);
    canon_mem(10, 10);
    EXPECT_EQ(cws.alloc, 1);
    caps c = now();
    EXPECT_EQ(c.l, 11);
    EXPECT_EQ(c.g, 11);
    EXPECT_EQ(c.n, 6);
    EXPECT_EQ(c.m, 9);

    // N = 6 no longer fits below capn = 6: columns grow to N + 3, the rest stays.
    shape(8, 6);
    canon_mem(10, 10);
    c = now();
    EXPECT_EQ(c.l, 11);
    EXPECT_EQ(c.g, 11);
    EXPECT_EQ(c.n, 9);
    EXPECT_EQ(c.m, 9);

    // Requests (20, 11) on (11, 11, 9, 9): both grow by 3 over the old value.
    shape(7, 7);
    canon_mem(20, 11);
    c = now();
    EXPECT_EQ(c.l, 14);
    EXPECT_EQ(c.g, 14);
    EXPECT_EQ(c.n, 9);
    EXPECT_EQ(c.m, 9);
    canon_reset();
    EXPECT_EQ(cws.alloc, 0);
    EXPECT_EQ(cws.capl, 0);
}

TEST(CanonMem, NothingHappensWhenEverythingFits) {
    canon_reset();
    shape(20, 20);
    canon_mem(10, 10);
    int32_t* before = cws.colpart[3].el;
    shape(3, 4);
    canon_mem(10, 10);
    EXPECT_EQ(cws.colpart[3].el, before);
    EXPECT_EQ(cws.capn, 21);
    EXPECT_EQ(cws.capm, 21);
    // rows growing alone
    shape(21, 4);
    canon_mem(10, 10);
    EXPECT_EQ(cws.capm, 24);
    EXPECT_EQ(cws.capn, 21);
    canon_reset();
}

TEST(CanonMem, AllocationFailureLeavesNothingAllocated) {
    canon_reset();
    // The first block fails both attempts.
    cs_failinject = 2;
    EXPECT_EQ(canon_alloc(11, 11, 6, 9), 0);
    EXPECT_EQ(cws.alloc, 0);
    cs_failinject = 0;
    // One failed attempt is retried and the second one counts.
    cs_failinject = 1;
    EXPECT_EQ(canon_alloc(11, 11, 6, 9), 1);
    EXPECT_EQ(cs_failinject, 0);
    canon_free(11, 11, 6, 9);
    ASSERT_EQ(canon_alloc(11, 11, 6, 9), 1);
    canon_free(11, 11, 6, 9);
}

}  // namespace
