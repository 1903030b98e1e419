// Weight normalisation at Start: the self-orthogonality flag and the allowed
// weights are made to agree for q = 2, 3, 4.
#include <gtest/gtest.h>

#include <initializer_list>
#include <vector>

#include "params/params.h"

namespace {

runparrec runpar;
int32_t doublyeven;

void setup(int q, int n, int selforth, std::initializer_list<int> allowed) {
    for (int w = 0; w < MAXLEN; w++) runpar.wt[w] = 0;
    for (int w : allowed) runpar.wt[w] = 1;
    runpar.q = q;
    runpar.n = n;
    runpar.selforth = selforth;
    doublyeven = 7;  // any stale value
}

void normweights() { ::normweights(runpar, doublyeven); }

std::vector<int> allowed() {
    std::vector<int> v;
    for (int w = 1; w <= runpar.n; w++)
        if (runpar.wt[w]) v.push_back(w);
    return v;
}

TEST(NormWeights, BinaryDoublyEven) {
    setup(2, 24, 0, {8, 12, 16, 20, 24});
    normweights();
    EXPECT_EQ(doublyeven, 1);
    EXPECT_EQ(runpar.selforth, 1);

    setup(2, 24, 1, {8, 16, 24});  // no weight 4 mod 8: both cleared
    normweights();
    EXPECT_EQ(doublyeven, 0);
    EXPECT_EQ(runpar.selforth, 0);

    setup(2, 24, 1, {8, 9, 10, 11, 12});  // odd weights go, 10 keeps it singly even
    normweights();
    EXPECT_EQ(allowed(), (std::vector<int>{8, 10, 12}));
    EXPECT_EQ(doublyeven, 0);
    EXPECT_EQ(runpar.selforth, 1);

    setup(2, 24, 0, {8, 10});  // even but not self-orthogonal by request
    normweights();
    EXPECT_EQ(doublyeven, 0);
    EXPECT_EQ(runpar.selforth, 0);

    setup(2, 0, 1, {});
    normweights();
    EXPECT_EQ(doublyeven, 0);
    EXPECT_EQ(runpar.selforth, 0);
}

TEST(NormWeights, Ternary) {
    setup(3, 20, 0, {9, 18});
    normweights();
    EXPECT_EQ(runpar.selforth, 0);
    setup(3, 20, 0, {6, 9});
    normweights();
    EXPECT_EQ(runpar.selforth, 1);
    setup(3, 20, 0, {6, 7});
    normweights();
    EXPECT_EQ(runpar.selforth, 0);
    setup(3, 12, 1, {5, 6, 7, 8, 9, 10, 11, 12});
    normweights();
    EXPECT_EQ(allowed(), (std::vector<int>{6, 9, 12}));
    EXPECT_EQ(runpar.selforth, 1);
    EXPECT_EQ(doublyeven, 7);  // only binary runs touch it
}

TEST(NormWeights, QuaternaryAndLargerFields) {
    setup(4, 10, 1, {3, 4, 5, 6, 7});
    normweights();
    EXPECT_EQ(allowed(), (std::vector<int>{4, 6}));
    setup(4, 10, 0, {4, 6, 8});
    normweights();
    EXPECT_EQ(runpar.selforth, 1);
    setup(4, 10, 0, {4, 8});
    normweights();
    EXPECT_EQ(runpar.selforth, 0);
    setup(4, 10, 0, {5, 6});
    normweights();
    EXPECT_EQ(runpar.selforth, 0);
    setup(5, 10, 1, {3, 4, 5});
    normweights();
    EXPECT_EQ(allowed(), (std::vector<int>{3, 4, 5}));
    EXPECT_EQ(runpar.selforth, 1);
}

}  // namespace
