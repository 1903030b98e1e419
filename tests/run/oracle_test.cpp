// The reference classifier itself, on classes known by hand: the numbers of
// classes, and the facts of the classes that are unique.
#include <gtest/gtest.h>

#include "common/oracle.h"

namespace {

using namespace oracle;

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

}  // namespace
