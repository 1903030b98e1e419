// Group orders: the base-and-strong-generators order of the automorphisms a
// labelling found equals the closure of those automorphisms (counted element
// by element here) and the known orders of classical structures.  (Random
// generators against the closure: tests/invariants/grouporder_test.cpp.)
#include <gtest/gtest.h>

#include <random>

#include "canon/canon_support.h"
#include "canon/group.h"

namespace {

TEST(Group, OrdersOfLabelledStructures) {
    struct known {
        tmat A;
        const char* order;
    } cases[] = {
        {pg2(2), "168"},      {pg2(3), "5616"},      {pg2(4), "120960"},   // |PΓL(3,4)|
        {pg2(5), "372000"},   {from_rows(7, ivv(5, upto(7))), "5040"}, {make_mat(0, 4), "24"},
        {hamming_w3(4), "20160"},  // |GL(4,2)|: the weight-3 words of the Hamming code of length 15
    };
    for (const known& c : cases) {
        tlab t;
        tres r = t.label(c.A);
        EXPECT_EQ(labelledorder(t.lab, c.A.N).str(), c.order);
        if (std::string(c.order).size() <= 5) {
            EXPECT_EQ(labelledorder(t.lab, c.A.N).str(), std::to_string(group_order(r, c.A.N)));
        }
    }
    // Random coloured matrices: the closure of the stored automorphisms.
    std::mt19937 rng(17);
    for (int t = 0; t < 200; t++) {
        tmat A = random_mat(rng, 2 + (int)(rng() % 6), 2 + (int)(rng() % 7), 0.4, 1 + (int)(rng() % 3));
        tlab l;
        tres r = l.label(A);
        ASSERT_EQ(labelledorder(l.lab, A.N).str(), std::to_string(group_order(r, A.N))) << "case " << t;
    }
}

}  // namespace
