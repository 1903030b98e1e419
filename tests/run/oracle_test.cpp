// The reference classifier itself, on classes known by hand, and against a
// second way of counting (a minimal form per code).
#include <gtest/gtest.h>

#include <set>

#include "common/oracle.h"

namespace {

using namespace oracle;

TEST(Oracle, KnownUniqueCodes) {
    EXPECT_EQ(classify(plain(7, 4, 3, 2)).size(), 1u);  // Hamming
    EXPECT_EQ(classify(plain(8, 4, 4, 2)).size(), 1u);  // extended Hamming
    EXPECT_EQ(classify(plain(4, 2, 3, 3)).size(), 1u);  // tetracode
    EXPECT_EQ(classify(plain(6, 3, 4, 4)).size(), 1u);  // hexacode
    codeinfo h = analyse(classify(plain(7, 4, 3, 2))[0], 7, 2);
    EXPECT_EQ(h.spectrum, (std::vector<long>{1, 0, 0, 7, 7, 0, 0, 1}));
    EXPECT_EQ(h.dualdist, 4);
    codeinfo t = analyse(classify(plain(4, 2, 3, 3))[0], 4, 3);
    EXPECT_TRUE(t.selforth);
    codeinfo x = analyse(classify(plain(6, 3, 4, 4))[0], 6, 4);
    EXPECT_TRUE(x.selforth);  // Hermitian
    EXPECT_EQ(x.spectrum[4], 45);
}

TEST(Oracle, SmallCountsByHand) {
    // One-dimensional codes: one class per support size.
    EXPECT_EQ(classify(plain(5, 1, 2, 2)).size(), 4u);
    EXPECT_EQ(classify(plain(4, 1, 1, 5)).size(), 4u);
    // Planes of GF(2)^3: with a zero column, {x_i = x_j}, the even-weight code.
    EXPECT_EQ(classify(plain(3, 2, 1, 2)).size(), 3u);
    // Without zero columns (dual distance 2) only the last two remain.
    wanted w = plain(3, 2, 1, 2);
    w.dualdist = 2;
    EXPECT_EQ(classify(w).size(), 2u);
}

TEST(Oracle, AgreesWithMinimalForms) {
    for (int q : {2, 3}) {
        int n = q == 2 ? 5 : 4;
        for (int k = 1; k <= n; k++) {
            ogf f{q};
            wanted w = plain(n, k, 1, q);
            std::set<std::string> forms;
            for (const matrix& g : classify(w)) forms.insert(canonkey(g, n, f));
            size_t reps = classify(w).size();
            EXPECT_EQ(forms.size(), reps) << "q=" << q << " k=" << k;  // representatives inequivalent
        }
    }
}

}  // namespace
