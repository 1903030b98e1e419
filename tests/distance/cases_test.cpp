// Named cases: classical codes with known spectra, the store layout, the
// planning rules and the claim test on hand-made states, the weight filter,
// long byte codes, store growth, and a code on which counting the pure
// second-stage combinations with any leading scalar would count twice.
#include <gtest/gtest.h>

#include <set>
#include <tuple>

#include "distance/dist.h"
#include "field/field.h"
#include "frame/runpar.h"
#include "oracle.h"

using namespace dtest;

namespace {

bmat G, Gs, Fil;
wmat Gb;

std::vector<vec> parse(std::initializer_list<const char*> rows) {
    std::vector<vec> r;
    for (const char* s : rows) {
        vec v;
        for (const char* p = s; *p; p++) v.push_back((uint8_t)(*p - '0'));
        r.push_back(v);
    }
    return r;
}

const std::vector<vec> hamming = parse({"1000011", "0100101", "0010110", "0001111"});

}  // namespace

TEST(DistanceCases, HammingSpectrumAndGeneratingSet) {
    usefield(2, true);
    tobmat(G, hamming, 7, 2);
    spectrum(G);
    infrec& it = dinvar.infsettv;
    EXPECT_EQ(it.Aspec[3], 7u);
    EXPECT_EQ(it.Aspec[4], 7u);
    EXPECT_EQ(it.Aspec[7], 1u);
    EXPECT_EQ(it.found, 15u);
    tobmat(G, hamming, 7, 2);
    EXPECT_EQ(mindist(G), 3);
    tobmat(G, hamming, 7, 2);
    gensets_dist(Gb, G, 3);
    EXPECT_EQ(it.wmax, 3);
    EXPECT_EQ(dinvar.cwstore.rows, 7);
    tobmat(G, hamming, 7, 2);
    generatingset_fromall_inv(G);
    EXPECT_EQ(it.wmax, 3);
    EXPECT_EQ(dinvar.cwstore.rows, 7);
    for (int f = 1; f <= 7; f++) EXPECT_EQ(dinvar.cwstore.a[f][0], 3u);
}

TEST(DistanceCases, TernaryTetracode) {
    usefield(3, true);
    auto rows = parse({"1011", "0112"});
    tobmat(G, rows, 4, 3);
    spectrum(G);
    EXPECT_EQ(dinvar.infsettv.Aspec[3], 4u);
    EXPECT_EQ(dinvar.infsettv.found, 4u);
    tobmat(G, rows, 4, 3);
    EXPECT_EQ(mindist(G), 3);
}

TEST(DistanceCases, ByteStoreOfWeight300) {
    usefield(5, false);
    std::vector<vec> rows = {vec(310, 0)};
    for (int j = 0; j < 300; j++) rows[0][j + 10] = (uint8_t)(1 + j % 4);
    tobmat(G, rows, 310, 5);
    spectrum_keep(G);
    ASSERT_EQ(dinvar.infsettv.found, 1u);
    EXPECT_EQ(dinvar.cwstoreb.a[1][0], 44);
    EXPECT_EQ(dinvar.cwstoreb.a[1][-1], 1);
}

TEST(DistanceCases, LevelOneMeetsExactlyTheRows) {
    usefield(2, true);
    tobmat(G, hamming, 7, 2);
    infrec& it = dinvar.infsettv;
    it.keep = 0;
    infosets(G);
    it.cntmode = 1;
    it.exact = 0;
    it.stop = 0;
    it.wmax = 7;
    it.found = 0;
    for (int w = 0; w <= 7; w++) it.Aspec[w] = 0;
    it.lcv[1] = 1;
    runset(1);
    EXPECT_EQ(it.found, (uint64_t)it.k[1]);
    uint64_t s = 0;
    for (int w = 1; w <= 7; w++) s += it.Aspec[w] * (uint64_t)w;
    uint64_t want = 0;
    for (int r = 1; r <= it.k[1]; r++)
        for (int c = 1; c <= 7; c++) want += dinvar.mata.h[1].a[r][c] != 0;
    EXPECT_EQ(s, want);
}

TEST(DistanceCases, TernaryLevelTwoScalars) {
    // rows r1, r2 of the systematic form: r1, r2, r1 + r2, r1 + 2 r2 and
    // nothing with leading scalar 2
    usefield(3, true);
    auto rows = parse({"1012", "0111"});
    tobmat(G, rows, 4, 3);
    spectrum_keep(G);
    ASSERT_EQ(dinvar.infsettv.found, 4u);
    auto st = storedwords(3, 4, 4);
    // stored as met: the first non-zero coordinate on the pivots is 1
    for (uint64_t f = 1; f <= 4; f++) {
        int c = 1;
        while (coordval(3, dinvar.cwstore.a[f], dinvar.cwstore.b[f], c) == 0) c++;
        EXPECT_EQ(coordval(3, dinvar.cwstore.a[f], dinvar.cwstore.b[f], c), 1);
    }
    std::sort(st.begin(), st.end());
    EXPECT_EQ(std::unique(st.begin(), st.end()), st.end());
}

TEST(DistanceCases, CheckWithDistanceOneUsesThePlannedThreshold) {
    usefield(2, true);
    // d = 1: nothing to plan beyond level 1 of set 1, threshold 0, passes
    tobmat(G, hamming, 7, 2, 1);
    EXPECT_EQ(checkdist(G), 1);
    EXPECT_EQ(dinvar.infsettv.lb, 0);
    EXPECT_EQ(dinvar.infsettv.lcv[1], 1);
    tobmat(G, hamming, 7, 2, 4);
    EXPECT_EQ(checkdist(G), 0);
    EXPECT_EQ(dinvar.infsettv.lb, 3);
    tobmat(G, hamming, 7, 2, 3);
    EXPECT_EQ(checkdist(G), 1);
}

TEST(DistanceCases, ExhaustiveCheckOfDependentRowsFails) {
    usefield(3, true);
    auto rows = parse({"1011", "2022", "0112"});
    tobmat(G, rows, 4, 3, 1);
    EXPECT_EQ(checkdist_ex(G), 0);
    auto ind = parse({"1011", "0112"});
    tobmat(G, ind, 4, 3, 1);
    EXPECT_EQ(checkdist_ex(G), 1);
}

TEST(DistanceCases, WorkEstimateAndRaisingRule) {
    EXPECT_EQ(cost(5, 0), 0u);
    EXPECT_EQ(cost(5, 1), 5u);
    EXPECT_EQ(cost(5, 2), 2u + 8u);          // 5 div 2, then 2 * 4 div 1
    EXPECT_EQ(cost(6, 3), 2u + 5u + 20u);    // 2, 2*5 div 2, 5*4 div 1
    EXPECT_EQ(cost(19, 19), cost(19, 19));   // no overflow trap
    // hand-made state: set 1 of rank 30, set 2 of rank 4 (deficit 26)
    usefield(2, true);
    std::mt19937 rng(1);
    auto rows = randrows(rng, 3, 12, 2, 0.5);
    tobmat(G, rows, 12, 2);
    infosets(G);
    infrec& it = dinvar.infsettv;
    it.k[1] = 30;
    it.lcv[1] = 5;
    it.k[2] = 4;
    it.lcv[2] = 0;
    EXPECT_EQ(worthraise(2), 0);
    it.k[2] = 5;   // deficit 25: 2^25 * 5 / 2 against cost(30, 6)
    EXPECT_EQ(worthraise(2), (((uint64_t)1 << 25) * 5 >> 1) < cost(30, 6) ? 1 : 0);
    it.k[2] = 29;   // deficit 1: cheap
    EXPECT_EQ(worthraise(2), 1);
}

TEST(DistanceCases, ClaimTest) {
    usefield(2, true);
    std::mt19937 rng(12);
    auto rows = randrows(rng, 4, 20, 2, 0.5);
    tobmat(G, rows, 20, 2);
    infosets(G);
    infrec& it = dinvar.infsettv;
    ASSERT_GE(it.nsets, 2);
    uint64_t supp[2] = {0, 0};
    // one non-zero coordinate on a[1]: claimed by set 1 at level 1
    int p = it.a[1][1];
    supp[1] = (uint64_t)1 << (p - 1);
    it.lcv[1] = 1;
    EXPECT_FALSE(isfirst(2, supp));
    EXPECT_TRUE(isfirst(1, supp));
    // two coordinates on a[1]: not met at level 1
    supp[1] |= (uint64_t)1 << (it.a[1][2] - 1);
    EXPECT_TRUE(isfirst(2, supp));
    // a set that was not run (level 0) claims nothing
    it.lcv[1] = 0;
    supp[1] = 0;
    EXPECT_TRUE(isfirst(2, supp));
}

TEST(DistanceCases, PureSecondStageCombinationsCountedOnce) {
    // on this code the rows outside the rank of a partial set combine to
    // low-weight codewords; each must be counted once up to scalars
    usefield(3, true);
    auto rows = parse({"1021010002", "0000011100", "0020102002", "0212000222", "0121200111", "1021000102"});
    truth t = brute(rows, 10, 3);
    tobmat(G, rows, 10, 3);
    gensets_dist(Gb, G, t.d);
    uint64_t want = 0;
    for (int w = t.d; w <= t.wgen; w++) want += t.A[w];
    EXPECT_EQ(dinvar.infsettv.found, want);
    EXPECT_EQ(dinvar.infsettv.wmax, t.wgen);
    usefield(3, false);
    tobmat(G, rows, 10, 3);
    gensets_dist_b(Gs, G, Fil);
    uint64_t all = 0;
    for (int w = 1; w <= t.wgen; w++) all += t.A[w];
    EXPECT_EQ(dinvar.infsettv.found, all);
}

TEST(DistanceCases, WeightFilterAndLevelSwitch) {
    usefield(5, false);
    std::mt19937 rng(31);
    auto rows = randrows(rng, 4, 12, 5, 0.5);
    truth t = brute(rows, 12, 5);
    ASSERT_EQ(t.rank, 4);
    // only the weights from d + 1 on are allowed
    bmat_ensure(Fil, 0, 12, 2);
    for (int w = 0; w <= 12; w++) Fil.a[0][w] = w > t.d ? 1 : 0;
    levelsw = 0;
    tobmat(G, rows, 12, 5);
    gensets_dist_b(Gs, G, Fil);
    int wm = dinvar.infsettv.wmax;
    uint64_t want = 0;
    for (int w = t.d + 1; w <= wm; w++) want += t.A[w];
    EXPECT_EQ(dinvar.infsettv.found, want);
    EXPECT_GE(wm, t.wgen);
    for (uint64_t f = 1; f <= dinvar.infsettv.found; f++) EXPECT_GT(storedweight(f), t.d);
    // the level switch lets every weight through
    levelsw = 1;
    tobmat(G, rows, 12, 5);
    gensets_dist_b(Gs, G, Fil);
    EXPECT_EQ(dinvar.infsettv.wmax, t.wgen);
    levelsw = 0;
    bmat_free(Fil);
}

TEST(DistanceCases, LongByteCodesWithHighPivots) {
    // pivots above column 255 in the byte basis
    usefield(7, false);
    std::mt19937 rng(41);
    int n = 300;
    auto rows = randrows(rng, 3, n, 7, 0.0);
    auto tail = randrows(rng, 3, 30, 7, 0.6);
    for (int i = 0; i < 3; i++)
        for (int j = 0; j < 30; j++) rows[i][265 + j] = tail[i][j];
    truth t = brute(rows, n, 7);
    tobmat(G, rows, n, 7);
    gensets_all(G);
    EXPECT_EQ(dinvar.infsettv.wmax, t.wgen);
    uint64_t want = 0;
    for (int w = 1; w <= t.wgen; w++) want += t.A[w];
    EXPECT_EQ((uint64_t)dinvar.cwstoreb.rows, want);
    EXPECT_EQ(dinvar.gbasb.fill, t.rank);
    for (int r = 1; r <= dinvar.gbasb.fill; r++) {
        int p = dinvar.gbasb.a[r][0] + 256 * dinvar.gbasb.a[r][-1];
        EXPECT_GT(p, 255);
        EXPECT_EQ(dinvar.gbasb.a[r][p], 1);
    }
    tobmat(G, rows, n, 7);
    gensets_dist_b(Gs, G, Fil);
    EXPECT_EQ(dinvar.infsettv.wmax, t.wgen);
    EXPECT_EQ(Gs.fill, t.rank);
}

TEST(DistanceCases, StoresGrow) {
    // binary even-weight code of length 16: 120 codewords of weight 2
    usefield(2, true);
    std::vector<vec> ev(15, vec(16, 0));
    for (int i = 0; i < 15; i++) ev[i][i] = ev[i][15] = 1;
    tobmat(G, ev, 16, 2);
    gensets_dist(Gb, G, 2);
    EXPECT_EQ(dinvar.infsettv.found, 120u);
    EXPECT_EQ(dinvar.infsettv.wmax, 2);
    EXPECT_GE(dinvar.cwstore.caprows, 120);
    // GF(5)^7 beside a word of weight 10: 19531 + 1 codewords up to weight 10
    usefield(5, false);
    std::vector<vec> rows(8, vec(17, 0));
    for (int i = 0; i < 7; i++) rows[i][i] = 1;
    for (int j = 7; j < 17; j++) rows[7][j] = 1;
    tobmat(G, rows, 17, 5);
    gensets_dist_b(Gs, G, Fil);
    EXPECT_EQ(dinvar.infsettv.wmax, 10);
    EXPECT_EQ(dinvar.infsettv.found, 19532u);
    EXPECT_EQ(bstoredweight(dinvar.cwstoreb.a[19532]), 10);
}

TEST(DistanceCases, BlockOf300HasOneClass) {
    usefield(2, true);
    std::mt19937 rng(17);
    auto rows = randrows(rng, 10, 40, 2, 0.5);
    tobmat(G, rows, 40, 2);
    spectrum_keep(G);
    ASSERT_GE(dinvar.infsettv.found, 600u);
    classify(0, 300);
    for (int f = 1; f <= 300; f++) {
        EXPECT_EQ(dinvar.cwstore.a[f][-1], 0u);
        EXPECT_EQ(dinvar.cwstore.b[f][0], 1u);
    }
    classify(300, 599);   // 299 rows: invariants computed
    uint64_t nz = 0;
    for (int f = 301; f <= 599; f++) nz += dinvar.cwstore.a[f][-1] != 0;
    EXPECT_GT(nz, 0u);
}

TEST(DistanceCases, WeightOneRowEndsTheSearchAtOnce) {
    usefield(2, true);
    auto rows = parse({"100000000", "011110000", "000011111"});
    tobmat(G, rows, 9, 2);
    EXPECT_EQ(mindist(G), 1);
    infrec& it = dinvar.infsettv;
    EXPECT_EQ(it.lcv[1], 1);
    for (int i = 2; i <= it.nsets; i++) EXPECT_EQ(it.lcv[i], 0);
}

TEST(DistanceCases, CodewordCountsSaturate) {
    EXPECT_EQ(projcount(2, 4, UINT64_MAX), 15u);
    EXPECT_EQ(projcount(7, 3, UINT64_MAX), 57u);
    EXPECT_EQ(projcount(3, 0, UINT64_MAX), 0u);
    EXPECT_EQ(projcount(7, 40, UINT64_MAX), UINT64_MAX);   // 7^40 does not fit
    EXPECT_EQ(projcount(5, 30, 1000), 1000u);
}

TEST(DistanceCases, FullListingNeedsBitPlanes) {
    usefield(2, false);
    tobmat(G, hamming, 7, 2);
    dinvar.infsettv.found = 5;
    testing::internal::CaptureStdout();
    generatingset_fromall_inv(G);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), " ERROR in func generatingset_fromall_inv");
    EXPECT_EQ(dinvar.cwstore.rows, 5);
}

TEST(DistanceCases, ResetThenWorkAgain) {
    usefield(3, true);
    auto rows = parse({"1011", "0112"});
    tobmat(G, rows, 4, 3);
    EXPECT_EQ(mindist(G), 3);
    dinvar_reset();
    EXPECT_EQ(dinvar.matamem, 0);
    EXPECT_EQ(dinvar.infsettv.mem, 0);
    tobmat(G, rows, 4, 3);
    EXPECT_EQ(mindist(G), 3);
    tobmat(G, rows, 4, 3);
    generatingset_fromall_inv(G);
    EXPECT_EQ(dinvar.infsettv.wmax, 3);
}

namespace {

// (weight, pair invariant, marked) of every kept row.
std::multiset<std::tuple<int, uint64_t, bool>> keptprofile() {
    std::multiset<std::tuple<int, uint64_t, bool>> s;
    for (int f = 1; f <= dinvar.cwstore.rows; f++)
        s.insert({(int)dinvar.cwstore.a[f][0], dinvar.cwstore.a[f][-1], dinvar.cwstore.b[f][-1] != 0});
    return s;
}

// Random basis change, column permutation and column scaling.
std::vector<vec> equivalent(const std::vector<vec>& rows, int q, std::mt19937& rng) {
    gf F{q};
    int k = (int)rows.size(), n = (int)rows[0].size();
    std::vector<vec> out(k, vec(n, 0));
    for (;;) {   // invertible mixing matrix
        auto M = randrows(rng, k, k, q, 0.7);
        if (rankof(F, M) < k) continue;
        for (int i = 0; i < k; i++)
            for (int j = 0; j < k; j++)
                for (int c = 0; c < n; c++) out[i][c] = (uint8_t)F.add(out[i][c], F.mul(M[i][j], rows[j][c]));
        break;
    }
    std::vector<int> perm(n);
    for (int c = 0; c < n; c++) perm[c] = c;
    std::shuffle(perm.begin(), perm.end(), rng);
    std::vector<vec> res(k, vec(n));
    for (int c = 0; c < n; c++) {
        int s = 1 + (int)(rng() % (q - 1));
        for (int i = 0; i < k; i++) res[i][perm[c]] = (uint8_t)F.mul(s, out[i][c]);
    }
    return res;
}

}  // namespace

TEST(DistanceCases, ClassesDoNotDependOnHowTheCodeIsWritten) {
    for (int q : {2, 3, 4}) {
        usefield(q, true);
        std::mt19937 rng(50 + q);
        for (int trial = 0; trial < 8; trial++) {
            auto rows = randrows(rng, 4, 11, q, 0.6);
            if (rankof(gf{q}, rows) < 4) continue;
            auto other = equivalent(rows, q, rng);
            tobmat(G, rows, 11, q);
            generatingset_fromall_inv(G);
            auto a = keptprofile();
            int wa = dinvar.infsettv.wmax;
            tobmat(G, other, 11, q);
            generatingset_fromall_inv(G);
            EXPECT_EQ(keptprofile(), a) << "q=" << q << " trial " << trial;
            EXPECT_EQ(dinvar.infsettv.wmax, wa);
            // the same through the low-weight path
            tobmat(G, rows, 11, q);
            int d = mindist(G);
            tobmat(G, rows, 11, q);
            gensets_dist(Gb, G, d);
            auto b = keptprofile();
            tobmat(G, other, 11, q);
            gensets_dist(Gb, G, d);
            EXPECT_EQ(keptprofile(), b) << "q=" << q << " trial " << trial;
        }
    }
}

TEST(DistanceCases, GolayCodes) {
    // binary [24, 12, 8]: 759 words of weight 8 span the code
    usefield(2, true);
    auto bin = parse({"100000000000110111000101", "010000000000101110001011", "001000000000011100010111",
                      "000100000000111000101101", "000010000000110001011011", "000001000000100010110111",
                      "000000100000000101101111", "000000010000001011011101", "000000001000010110111001",
                      "000000000100101101110001", "000000000010011011100011", "000000000001111111111110"});
    tobmat(G, bin, 24, 2);
    spectrum(G);
    infrec& it = dinvar.infsettv;
    EXPECT_EQ(it.Aspec[8], 759u);
    EXPECT_EQ(it.Aspec[12], 2576u);
    EXPECT_EQ(it.Aspec[16], 759u);
    EXPECT_EQ(it.Aspec[24], 1u);
    tobmat(G, bin, 24, 2);
    EXPECT_EQ(mindist(G), 8);
    tobmat(G, bin, 24, 2);
    gensets_dist(Gb, G, 8);
    EXPECT_EQ(it.wmax, 8);
    EXPECT_EQ(it.found, 759u);
    EXPECT_EQ(Gb.fill, 12);
    // ternary [12, 6, 6]: 264 words of weight 6, 132 up to sign
    usefield(3, true);
    auto ter = parse({"100000011111", "010000101221", "001000110122", "000100121012", "000010122101",
                      "000001112210"});
    tobmat(G, ter, 12, 3);
    spectrum(G);
    EXPECT_EQ(it.Aspec[6], 132u);
    EXPECT_EQ(it.Aspec[9], 220u);
    EXPECT_EQ(it.Aspec[12], 12u);
    tobmat(G, ter, 12, 3);
    EXPECT_EQ(mindist(G), 6);
}
