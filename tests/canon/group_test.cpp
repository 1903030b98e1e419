// Group orders: the base-and-strong-generators order of the automorphisms a
// labelling found equals the closure of those automorphisms (counted element
// by element here) and the known orders of classical structures; and for
// random generators it equals the closure too.
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

TEST(Group, RandomGeneratorsAgainstTheClosure) {
    std::mt19937 rng(5);
    for (int t = 0; t < 100; t++) {
        const int N = 2 + (int)(rng() % 7);
        std::vector<std::vector<int32_t>> gens;
        for (int g = (int)(rng() % 3); g >= 0; g--) {
            std::vector<int32_t> p(N + 1, 0);
            for (int x = 1; x <= N; x++) p[x] = x;
            std::shuffle(p.begin() + 1, p.end(), rng);
            if (rng() % 2) {  // often something small, such as a transposition
                for (int x = 1; x <= N; x++) p[x] = x;
                std::swap(p[1 + rng() % N], p[1 + rng() % N]);
            }
            gens.push_back(p);
        }
        tres r;
        r.autcol.assign(gens.begin(), gens.end());
        ASSERT_EQ(grouporder(gens, N).str(), std::to_string(group_order(r, N))) << "case " << t;
    }
    // A big one: the symmetric group on 30 points has 30! elements.
    std::vector<int32_t> cycle(31), swap12(31);
    for (int x = 1; x <= 30; x++) cycle[x] = x % 30 + 1, swap12[x] = x;
    std::swap(swap12[1], swap12[2]);
    EXPECT_EQ(grouporder({cycle, swap12}, 30).str(), "265252859812191058636308480000000");
}

}  // namespace
