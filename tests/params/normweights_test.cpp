// Weight normalisation at Start: the self-orthogonality flag and the allowed
// weights are made to agree for q = 2, 3, 4 (and left alone for 5, 7).
#include <gtest/gtest.h>

#include <vector>

#include "params/params.h"

namespace {

TEST(NormWeights, FlagsAndWeightsAgree) {
    const struct {
        int q, n, selforth;
        std::vector<int> allowed, wantallowed;  // wantallowed empty: unchanged
        int wantselforth, wantdoublyeven;       // doubly even: -1 when untouched
    } cases[] = {
        {2, 24, 0, {8, 12, 16, 20, 24}, {}, 1, 1},
        {2, 24, 1, {8, 16, 24}, {}, 0, 0},                      // no weight 4 mod 8: both cleared
        {2, 24, 1, {8, 9, 10, 11, 12}, {8, 10, 12}, 1, 0},      // odd weights go, 10 keeps it singly even
        {2, 24, 0, {8, 10}, {}, 0, 0},                          // even but not self-orthogonal by request
        {2, 0, 1, {}, {}, 0, 0},
        {3, 20, 0, {9, 18}, {}, 0, -1},
        {3, 20, 0, {6, 9}, {}, 1, -1},
        {3, 20, 0, {6, 7}, {}, 0, -1},
        {3, 12, 1, {5, 6, 7, 8, 9, 10, 11, 12}, {6, 9, 12}, 1, -1},  // only binary runs touch doubly even
        {4, 10, 1, {3, 4, 5, 6, 7}, {4, 6}, 1, -1},
        {4, 10, 0, {4, 6, 8}, {}, 1, -1},
        {4, 10, 0, {4, 8}, {}, 0, -1},
        {4, 10, 0, {5, 6}, {}, 0, -1},
        {5, 10, 1, {3, 4, 5}, {}, 1, -1},
    };
    for (const auto& c : cases)
        for (bool stale : {false, true}) {  // the value doubly even had before
            ParamRecord runpar{};
            for (int w : c.allowed) runpar.wt[w] = 1;
            runpar.q = c.q, runpar.n = c.n, runpar.selforth = c.selforth;
            bool doublyeven = stale;
            normweights(runpar, doublyeven);
            std::vector<int> allowed;
            for (int w = 1; w <= c.n; w++)
                if (runpar.wt[w]) allowed.push_back(w);
            SCOPED_TRACE("case " + std::to_string(&c - cases) + " stale " + std::to_string(stale));
            EXPECT_EQ(allowed, c.wantallowed.empty() ? c.allowed : c.wantallowed);
            EXPECT_EQ(runpar.selforth, c.wantselforth == 1);
            EXPECT_EQ(doublyeven, c.wantdoublyeven < 0 ? stale : c.wantdoublyeven == 1);
        }
}

}  // namespace
