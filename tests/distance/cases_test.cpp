// Named cases: classical codes with known spectra, the byte store layout, the
// planning rules and the claim test on hand-made states, the weight filter,
// store growth, and classes under equivalence.
#include <gtest/gtest.h>

#include <set>
#include <tuple>

#include "oracle.h"

using namespace dtest;

namespace {

ByteMatrix G, Gs;
PlaneMatrix Gb;

const std::vector<vec> hamming = parse({"1000011", "0100101", "0010110", "0001111"});

}  // namespace

TEST(DistanceCases, ClassicalCodes) {
    DistEngine E;
    struct classical {
        const char* name;
        int q;
        std::vector<vec> rows;
        std::vector<std::pair<int, uint64_t>> counts;   // projective counts
        int d;                                        // the words of weight d span the code
    };
    std::vector<vec> even(15, vec(16, 0));   // the store grows to 120 rows of weight 2
    for (int i = 0; i < 15; i++) even[i][i] = even[i][15] = 1;
    classical codes[] = {
        {"even weight [16,15,2]", 2, even,
         {{2, 120}, {4, 1820}, {6, 8008}, {8, 12870}, {10, 8008}, {12, 1820}, {14, 120}, {16, 1}}, 2},
        {"Hamming [7,4,3]", 2, hamming, {{3, 7}, {4, 7}, {7, 1}}, 3},
        {"tetracode [4,2,3]", 3, parse({"1011", "0112"}), {{3, 4}}, 3},
        {"binary Golay [24,12,8]", 2,
         parse({"100000000000110111000101", "010000000000101110001011", "001000000000011100010111",
                "000100000000111000101101", "000010000000110001011011", "000001000000100010110111",
                "000000100000000101101111", "000000010000001011011101", "000000001000010110111001",
                "000000000100101101110001", "000000000010011011100011", "000000000001111111111110"}),
         {{8, 759}, {12, 2576}, {16, 759}, {24, 1}}, 8},
        {"ternary Golay [12,6,6]", 3,
         parse({"100000011111", "010000101221", "001000110122", "000100121012", "000010122101", "000001112210"}),
         {{6, 132}, {9, 220}, {12, 12}}, 6},
    };
    infrec& it = DistProbe::of(E).setinfo;
    for (auto& c : codes) {
        SCOPED_TRACE(c.name);
        const int n = (int)c.rows[0].size(), k = (int)c.rows.size();
        E.usefield(c.q, true);
        loadmatrix(G, c.rows, n, c.q);
        E.spectrum(G);
        std::vector<uint64_t> A(n + 1, 0);
        for (auto& [w, a] : c.counts) A[w] = a;
        for (int w = 1; w <= n; w++) EXPECT_EQ(it.Aspec[w], A[w]) << "weight " << w;
        EXPECT_EQ(it.found, sumA(A, 1, n));
        loadmatrix(G, c.rows, n, c.q);
        EXPECT_EQ(E.mindist(G), c.d);
        loadmatrix(G, c.rows, n, c.q);
        E.gensets_dist(Gb, G, c.d);
        EXPECT_EQ(it.wmax, c.d);
        EXPECT_EQ(it.found, c.counts[0].second);
        EXPECT_EQ(Gb.used, k);
        loadmatrix(G, c.rows, n, c.q);
        E.generatingset_fromall_inv(G);
        EXPECT_EQ(it.wmax, c.d);
        ASSERT_EQ((uint64_t)DistProbe::of(E).cwstore.rows, c.counts[0].second);
        for (int f = 1; f <= DistProbe::of(E).cwstore.rows; f++) ASSERT_EQ(DistProbe::of(E).cwstore.a[f][0], (uint64_t)c.d);
    }
}

TEST(DistanceCases, PlanningAndClaimsByHand) {
    DistEngine E;
    EXPECT_EQ(projcount(2, 4, UINT64_MAX), 15u);
    EXPECT_EQ(projcount(7, 3, UINT64_MAX), 57u);
    EXPECT_EQ(projcount(3, 0, UINT64_MAX), 0u);
    EXPECT_EQ(projcount(7, 40, UINT64_MAX), UINT64_MAX);   // 7^40 does not fit
    EXPECT_EQ(projcount(5, 30, 1000), 1000u);
    // Hand-made state: set 1 of rank 30 at level 5, set 2 of rank 4, 5, 29.
    E.usefield(2, true);
    std::mt19937 rng(1);
    loadmatrix(G, randrows(rng, 3, 12, 2, 0.5), 12, 2);
    E.infosets(G);
    infrec& it = DistProbe::of(E).setinfo;
    it.k[1] = 30, it.lcv[1] = 5, it.lcv[2] = 0;
    it.k[2] = 4;   // deficit 26: never
    EXPECT_EQ(E.worthraise(2), 0);
    it.k[2] = 29;   // deficit 1: cheap
    EXPECT_EQ(E.worthraise(2), 1);
    // d = 1 asked: nothing beyond level 1 of set 1, threshold 0, passes.
    loadmatrix(G, hamming, 7, 2, 1);
    EXPECT_EQ(E.checkdist(G), 1);
    EXPECT_EQ(it.lb * 10 + it.lcv[1], 1);
    loadmatrix(G, hamming, 7, 2, 4);
    EXPECT_EQ(E.checkdist(G), 0);
    EXPECT_EQ(it.lb, 3);
    // A row of weight 1 ends the search at once.
    loadmatrix(G, parse({"100000000", "011110000", "000011111"}), 9, 2);
    EXPECT_EQ(E.mindist(G), 1);
    EXPECT_EQ(it.lcv[1], 1);
    for (int i = 2; i <= it.nsets; i++) EXPECT_EQ(it.lcv[i], 0);
    // Claim test: one non-zero coordinate on a[1] is met by set 1 at level 1.
    loadmatrix(G, randrows(rng, 4, 20, 2, 0.5), 20, 2);
    E.infosets(G);
    ASSERT_GE(it.nsets, 2);
    uint64_t supp[2] = {0, (uint64_t)1 << (it.piv[1][1] - 1)};
    it.lcv[1] = 1;
    EXPECT_FALSE(E.isfirst(2, supp));
    EXPECT_TRUE(E.isfirst(1, supp));
    supp[1] |= (uint64_t)1 << (it.piv[1][2] - 1);   // two: not met at level 1
    EXPECT_TRUE(E.isfirst(2, supp));
    it.lcv[1] = 0;   // a set that was not run claims nothing
    supp[1] = 0;
    EXPECT_TRUE(E.isfirst(2, supp));
}

TEST(DistanceCases, StoresGrowAndLargeBlocksHaveOneClass) {
    DistEngine E;
    // The byte store keeps a weight of 300 in two bytes: 300 = 44 + 256 * 1.
    E.usefield(5, false);
    std::vector<vec> w300 = {vec(310, 0)};
    for (int j = 0; j < 300; j++) w300[0][j + 10] = (uint8_t)(1 + j % 4);
    loadmatrix(G, w300, 310, 5);
    E.spectrum_keep(G);
    ASSERT_EQ(DistProbe::of(E).setinfo.found, 1u);
    EXPECT_EQ(DistProbe::of(E).cwstoreb.a[1][0] + 1000 * DistProbe::of(E).cwstoreb.a[1][-1], 1044);
    // A block of 300 rows gets invariant 0 and one class; 299 are computed.
    E.usefield(2, true);
    std::mt19937 rng(17);
    loadmatrix(G, randrows(rng, 10, 40, 2, 0.5), 40, 2);
    E.spectrum_keep(G);
    ASSERT_GE(DistProbe::of(E).setinfo.found, 600u);
    E.classify(0, 300);
    for (int f = 1; f <= 300; f++) ASSERT_EQ(DistProbe::of(E).cwstore.a[f][-1] * 10 + DistProbe::of(E).cwstore.b[f][0], 1u);
    E.classify(300, 599);
    uint64_t nz = 0;
    for (int f = 301; f <= 599; f++) nz += DistProbe::of(E).cwstore.a[f][-1] != 0;
    EXPECT_GT(nz, 0u);
    // GF(5)^7 beside a word of weight 10: 19531 + 1 codewords up to weight 10.
    E.usefield(5, false);
    std::vector<vec> rows(8, vec(17, 0));
    for (int i = 0; i < 7; i++) rows[i][i] = 1;
    for (int j = 7; j < 17; j++) rows[7][j] = 1;
    loadmatrix(G, rows, 17, 5);
    E.gensets_dist_b(Gs, G);
    EXPECT_EQ(DistProbe::of(E).setinfo.wmax, 10);
    EXPECT_EQ(DistProbe::of(E).setinfo.found, 19532u);
    EXPECT_EQ(bstoredweight(DistProbe::of(E).cwstoreb.a[19532]), 10);
}

TEST(DistanceCases, ResetWorks) {
    DistEngine E;
    E.usefield(2, true);
    E.reset();
    loadmatrix(G, hamming, 7, 2);
    EXPECT_EQ(E.mindist(G), 3);
    loadmatrix(G, hamming, 7, 2);
    E.generatingset_fromall_inv(G);
    EXPECT_EQ(DistProbe::of(E).setinfo.wmax, 3);
}

namespace {

// (weight, pair invariant, marked) of every kept row.
std::multiset<std::tuple<int, uint64_t, bool>> keptprofile(const DistEngine& E) {
    std::multiset<std::tuple<int, uint64_t, bool>> s;
    for (int f = 1; f <= DistProbe::of(E).cwstore.rows; f++)
        s.insert({(int)DistProbe::of(E).cwstore.a[f][0], DistProbe::of(E).cwstore.a[f][-1], DistProbe::of(E).cwstore.b[f][-1] != 0});
    return s;
}

// Random basis change, column permutation and column scaling.
std::vector<vec> equivalent(const std::vector<vec>& rows, int q, std::mt19937& rng) {
    std::vector<vec> out;
    for (const auto& r : oracle::scramble(tomatrix(rows), q, rng, false)) out.emplace_back(r.begin(), r.end());
    return out;
}

}  // namespace

TEST(DistanceCases, ClassesDoNotDependOnHowTheCodeIsWritten) {
    DistEngine E;
    for (int q : {2, 3, 4}) {
        E.usefield(q, true);
        std::mt19937 rng(50 + q);
        for (int trial = 0, ran = 0; trial < 8 || ran < 4; trial++) {
            auto rows = randrows(rng, 4, 11, q, 0.6);
            if (rankof(ogf{q}, rows) < 4) continue;
            ran++;
            auto other = equivalent(rows, q, rng);
            SCOPED_TRACE(::testing::Message() << "q=" << q << " trial " << trial);
            loadmatrix(G, rows, 11, q);
            E.generatingset_fromall_inv(G);
            auto a = keptprofile(E);
            int wa = DistProbe::of(E).setinfo.wmax;
            loadmatrix(G, other, 11, q);
            E.generatingset_fromall_inv(G);
            EXPECT_EQ(keptprofile(E), a);
            EXPECT_EQ(DistProbe::of(E).setinfo.wmax, wa);
            loadmatrix(G, rows, 11, q);   // the same through the low-weight path
            int d = E.mindist(G);
            loadmatrix(G, rows, 11, q);
            E.gensets_dist(Gb, G, d);
            auto b = keptprofile(E);
            loadmatrix(G, other, 11, q);
            E.gensets_dist(Gb, G, d);
            EXPECT_EQ(keptprofile(E), b);
        }
    }
}
