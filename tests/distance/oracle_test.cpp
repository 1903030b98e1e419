// Every operation of the distance subsystem (distance, checks, spectrum, stores,
// generating sets and their classes) against the brute-force listing of all
// q^k codewords, on random, classical and awkward codes; for q <= 4 the bit-plane
// and byte routines against each other; beyond the brute force, the planned
// levels against the exhaustive listing.
#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <tuple>

#include "oracle.h"

using namespace dtest;

namespace {

ByteMatrix G, Gs;
PlaneMatrix Gb;
DistEngine Other;   // the other routines (bit planes / bytes) for q <= 4

std::vector<vec> sorted(std::vector<vec> v) {
    std::sort(v.begin(), v.end());
    return v;
}

std::vector<vec> wordsin(const truth& t, int lo, int hi) {
    std::vector<vec> r;
    for (auto& v : t.words)
        if (weight(v) >= lo && weight(v) <= hi) r.push_back(v);
    return r;
}

// Each weight block of the first `rows` stored rows: pair invariant (sum of
// the distances as points to the others of the block, mod 101; 0 for blocks
// of 300 or more), rows sorted by it, classes numbered by it; then the marks
// (the class, only where set) span the code.
void checkclasses(const DistEngine& E, const truth& t, uint64_t rows) {
    ogf F{t.q};
    const auto all = storedwords(E, t.n, rows, true);   // the stored multiples, as they are
    for (uint64_t lo = 0, hi; lo < rows; lo = hi) {
        for (hi = lo + 1; hi < rows && storedweight(E, hi + 1) == storedweight(E, lo + 1);) hi++;
        std::vector<uint64_t> inv(hi + 1, 0);
        for (uint64_t x = lo + 1; x <= hi; x++)
            for (uint64_t y = x + 1; y <= hi && hi - lo < 300; y++) {
                int d = t.n + 1;
                for (int s = 1; s < t.q; s++) {
                    int e = 0;
                    for (int p = 0; p < t.n; p++) e += all[x - 1][p] != F.mul(s, all[y - 1][p]);
                    d = std::min(d, e);
                }
                inv[x] = (inv[x] + (uint64_t)d) % 101;
                inv[y] = (inv[y] + (uint64_t)d) % 101;
            }
        std::map<uint64_t, uint64_t> cls;
        for (uint64_t f = lo + 1; f <= hi; f++) cls[inv[f]] = 0;
        uint64_t c = 0;
        for (auto& kv : cls) kv.second = ++c;
        for (uint64_t f = lo + 1; f <= hi; f++) {
            ASSERT_EQ(DistProbe::of(E).wordplanes.a[f][-1], inv[f]) << "row " << f;
            ASSERT_EQ(DistProbe::of(E).wordplanes.b[f][0], cls[inv[f]]) << "row " << f;
            ASSERT_LE(DistProbe::of(E).wordplanes.a[f > lo + 1 ? f - 1 : f][-1], DistProbe::of(E).wordplanes.a[f][-1]);
        }
    }
    std::vector<vec> marked;
    for (uint64_t f = 1; f <= rows; f++) {
        uint64_t m = DistProbe::of(E).wordplanes.b[f][-1];
        ASSERT_EQ(m, m ? DistProbe::of(E).wordplanes.b[f][0] : 0);
        if (m) marked.push_back(all[f - 1]);   // scaled or not: the same rank
    }
    EXPECT_EQ(rankof(F, marked), t.rank);
}

// All operations on one code; `bits` chooses the bit-plane or byte routines,
// `full` adds the stores and generating sets.
void checkcode(DistEngine& E, const std::vector<vec>& rows, int n, int q, bool bits, bool full, const char* what) {
    SCOPED_TRACE(::testing::Message() << what << " q=" << q << " n=" << n << " k=" << rows.size()
                                      << (bits ? " bits" : " bytes"));
    E.usefield(q, bits);
    truth t = brute(rows, n, q);
    const InfoSets& it = DistProbe::of(E).setinfo;
    E.spectrum(loadmatrix(G, rows, n, q));
    for (int w = 1; w <= n; w++) ASSERT_EQ(it.Aspec[w], t.A[w]) << "weight " << w;
    EXPECT_EQ(it.found, t.words.size());
    EXPECT_EQ(E.mindist(loadmatrix(G, rows, n, q)), t.d);
    EXPECT_EQ(it.ub, t.d);
    for (int D = std::max(1, t.d - 1); D <= t.d + 1; D++) {   // below, at and above
        int want = (t.rank == 0 || t.d >= D) ? 1 : 0;
        EXPECT_EQ(E.checkdist(loadmatrix(G, rows, n, q, D)), want) << "D=" << D;
        EXPECT_EQ(E.checkdist_ex(loadmatrix(G, rows, n, q, D)), t.rank < (int)rows.size() ? 0 : want) << "D=" << D;
    }
    if (q <= 4) {   // the other routines: the same results, the same multiples stored in the same order
        Other.usefield(q, !bits);
        EXPECT_TRUE(transcript(Other, rows, n, q, false) == transcript(E, rows, n, q, false));
    }
    if (!full || t.rank == 0) return;
    E.spectrum_keep(loadmatrix(G, rows, n, q));
    auto st = storedwords(E, n, it.found);
    for (uint64_t f = 1; f <= it.found; f++) ASSERT_EQ(storedweight(E, f), weight(st[f - 1]));
    EXPECT_EQ(sorted(st), t.words);
    if (bits) E.gensets_dist(Gb, loadmatrix(G, rows, n, q), t.d);
    else E.gensets_dist_b(Gs, loadmatrix(G, rows, n, q));
    EXPECT_EQ(bits ? Gb.used : Gs.used, t.rank);
    EXPECT_EQ(it.wmax, t.wgen);
    EXPECT_EQ(sorted(storedwords(E, n, it.found)), wordsin(t, bits ? t.d : 1, t.wgen));
    if (bits) checkclasses(E, t, it.found);
    if (bits) E.generatingset_fromall_inv(loadmatrix(G, rows, n, q));
    else E.gensets_all(loadmatrix(G, rows, n, q));
    EXPECT_EQ(it.wmax, t.wgen);
    uint64_t kept = (uint64_t)(bits ? DistProbe::of(E).wordplanes.rows : DistProbe::of(E).wordbytes.rows);
    auto kw = storedwords(E, n, kept);
    for (uint64_t f = 2; f <= kept; f++) ASSERT_LE(weight(kw[f - 2]), weight(kw[f - 1]));
    EXPECT_EQ(sorted(kw), wordsin(t, 1, t.wgen));
    if (bits) checkclasses(E, t, kept);
    if (!bits) return;
    // The listing that starts with the words up to weight D + 1 keeps the
    // same words in the same order with the same classes and marks, whether
    // those words span the code or not.
    const auto raw = storedwords(E, n, kept, true);
    auto tagsof = [&] {   // invariant, mark and class of every kept word
        std::vector<uint64_t> tags;
        for (uint64_t f = 1; f <= kept; f++)
            tags.insert(tags.end(), {DistProbe::of(E).wordplanes.a[f][-1], DistProbe::of(E).wordplanes.b[f][-1], DistProbe::of(E).wordplanes.b[f][0]});
        return tags;
    };
    const auto tags = tagsof();
    for (int D : {t.d - 1, t.d, t.wgen - 1, t.wgen + 1}) {
        E.generatingset_fromall_inv(loadmatrix(G, rows, n, q, D));
        SCOPED_TRACE("listing from weight " + std::to_string(D + 1));
        EXPECT_EQ(it.wmax, t.wgen);
        ASSERT_EQ((uint64_t)DistProbe::of(E).wordplanes.rows, kept);
        EXPECT_TRUE(storedwords(E, n, kept, true) == raw);
        EXPECT_TRUE(tagsof() == tags);
    }
}

// Brute force work stays modest in the sanitizer build.
bool affordable(int q, int k, int n, double limit) { return std::pow(q, k) * n <= limit; }

void checkrandom(DistEngine& E, std::mt19937& rng, int k, int n, int q, double dens, bool bits, const char* what) {
    if (!affordable(q, k, n, 3e6)) return;
    checkcode(E, randrows(rng, k, n, q, dens), n, q, bits, affordable(q, k, 1, 3000), what);
}

// Beyond the brute force: the exhaustive listing (checked against it above)
// gives the spectrum; the planned levels must agree with it.
void planned(DistEngine& E, const std::vector<vec>& rows, int n, int q) {
    const InfoSets& it = DistProbe::of(E).setinfo;
    E.usefield(q, q <= 4);
    E.spectrum(loadmatrix(G, rows, n, q));
    std::vector<uint64_t> A(it.Aspec.data(), it.Aspec.data() + n + 1);
    int d = 0;
    for (int w = n; w >= 1; w--)
        if (A[w]) d = w;
    ASSERT_EQ(E.mindist(loadmatrix(G, rows, n, q)), d);
    for (int D = std::max(1, d - 1); D <= d + 1; D++)
        EXPECT_EQ(E.checkdist(loadmatrix(G, rows, n, q, D)), (d == 0 || d >= D) ? 1 : 0) << "D=" << D;
    if (d == 0) return;
    if (q <= 4) E.generatingset_fromall_inv(loadmatrix(G, rows, n, q));   // the span weight from the full listing
    else E.gensets_all(loadmatrix(G, rows, n, q));
    int wgen = it.wmax;
    ASSERT_EQ((uint64_t)(q <= 4 ? DistProbe::of(E).wordplanes.rows : DistProbe::of(E).wordbytes.rows), sumA(A, 1, wgen));
    if (q <= 4) E.gensets_dist(Gb, loadmatrix(G, rows, n, q), d);   // then from the planned levels
    else E.gensets_dist_b(Gs, loadmatrix(G, rows, n, q));
    EXPECT_EQ(it.wmax, wgen);
    EXPECT_EQ(it.found, sumA(A, q <= 4 ? d : 1, wgen));
}

}  // namespace

TEST(DistanceOracle, RandomCodesOfEveryShape) {
    DistEngine E;
    std::mt19937 rng(20261206);
    for (int q : {2, 3, 4, 5, 7}) {
        for (int n : {5, 31, 63, 64, 65, 130})   // both sides of the word boundaries
            for (int k = 1; k <= 8; k++)
                for (double dens : {0.5, 0.12}) ASSERT_NO_FATAL_FAILURE(checkrandom(E, rng, k, n, q, dens, q <= 4, "random"));
        for (int rep = 0; rep < 6; rep++) {   // sparse, n near 2k: partial sets, second stage
            int k = affordable(q, 4 + rep % 4, 2 * (4 + rep % 4) + 3 + rep, 3e6) ? 4 + rep % 4 : 4;
            ASSERT_NO_FATAL_FAILURE(checkrandom(E, rng, k, 2 * k + 3 + rep, q, 0.25, q <= 4, "sparse"));
        }
        for (int k = 2; k <= 6; k++)   // n < 2k: one full set only
            ASSERT_NO_FATAL_FAILURE(checkrandom(E, rng, k, 2 * k - 1, q, 0.6, q <= 4, "short"));
    }
    for (int q : {2, 3, 4}) {
        for (int n : {5, 64, 65})   // the byte routines on the small fields
            for (int k = 1; k <= 6; k++) ASSERT_NO_FATAL_FAILURE(checkrandom(E, rng, k, n, q, 0.3, false, "bytes"));
        for (int n : {200, 256, 257, 300, 799})   // 4 words, and 5 to 13 words
            for (int k : {2, 4, 6})
                ASSERT_NO_FATAL_FAILURE(checkcode(E, randrows(rng, k, n, q, k == 6 ? 0.02 : 0.3), n, q, true, k <= 4, "long"));
    }
}

TEST(DistanceOracle, DegenerateCodes) {
    DistEngine E;
    std::mt19937 rng(5);
    for (int q : {2, 3, 4, 5, 7}) {
        ogf F{q};
        const int n = 40;
        auto rows = randrows(rng, 5, n, q, 0.4);
        for (int j = 0; j < n; j++) rows[2][j] = F.add(rows[0][j], F.mul(2 % q, rows[1][j]));
        for (auto& r : rows) {
            r[3] = r[17] = 0;
            r[9] = r[4];
            r[30] = F.mul(q - 1, r[5]);
        }
        ASSERT_NO_FATAL_FAILURE(checkcode(E, rows, n, q, q <= 4, true, "dependent"));
        rows[0] = rows[1];   // the first rows dependent, the last ones not
        rows[1] = vec(n, 0);
        ASSERT_NO_FATAL_FAILURE(checkcode(E, rows, n, q, q <= 4, true, "leading dependent"));
        std::vector<vec> one(3, vec(20, 0));
        for (int j = 0; j < 20; j += 3) one[1][j] = one[2][j] = 1;   // rank 1, weight 7
        ASSERT_NO_FATAL_FAILURE(checkcode(E, one, 20, q, q <= 4, true, "rank one"));
        ASSERT_NO_FATAL_FAILURE(checkcode(E, std::vector<vec>(2, vec(20, 0)), 20, q, q <= 4, false, "zero code"));
    }
    // The rows outside the rank of a partial set combine to low-weight
    // codewords: each must be counted once up to scalars, in both forms.
    auto second = parse({"1021010002", "0000011100", "0020102002", "0212000222", "0121200111", "1021000102"});
    ASSERT_NO_FATAL_FAILURE(checkcode(E, second, 10, 3, true, true, "second stage"));
    ASSERT_NO_FATAL_FAILURE(checkcode(E, second, 10, 3, false, true, "second stage"));
    // GF(7), length 300, non-zero only from column 266: byte-basis pivots above 255.
    std::vector<vec> high = randrows(rng, 3, 300, 7, 0.0), tail = randrows(rng, 3, 30, 7, 0.6);
    for (int i = 0; i < 3; i++) std::copy(tail[i].begin(), tail[i].end(), high[i].begin() + 265);
    ASSERT_NO_FATAL_FAILURE(checkcode(E, high, 300, 7, false, true, "high pivots"));
    EXPECT_EQ(DistProbe::of(E).gbasb.used, rankof(ogf{7}, high));
    for (int r = 1; r <= DistProbe::of(E).gbasb.used; r++) {
        int p = DistProbe::of(E).gbasb.a[r][0] + 256 * DistProbe::of(E).gbasb.a[r][-1];
        EXPECT_GT(p, 255);
        EXPECT_EQ(DistProbe::of(E).gbasb.a[r][p], 1);
    }
}

TEST(DistanceOracle, PlannedLevelsAgainstTheExhaustiveListing) {
    DistEngine E;
    std::mt19937 rng(2027);
    const int shapes[][2] = {{2, 13}, {2, 16}, {3, 9}, {3, 10}, {4, 7}, {5, 6}, {7, 5}};   // q, k
    for (auto& sh : shapes)
        for (int n : {sh[1] + 3, 2 * sh[1] + 1, 3 * sh[1], 70, 150})
            for (double dens : {0.1, 0.15, 0.3, 0.5, 0.5}) {
                SCOPED_TRACE(::testing::Message() << "q=" << sh[0] << " k=" << sh[1] << " n=" << n);
                ASSERT_NO_FATAL_FAILURE(planned(E, randrows(rng, sh[1], n, sh[0], dens), n, sh[0]));
            }
    // Short sparse codes, lengths k + 2 .. 3k: many sets of lower rank.
    for (int seed = 0; seed < 600; seed++) {
        std::mt19937 r(seed);
        const int qs[] = {2, 3, 2, 4, 2, 5}, kmax[] = {12, 9, 12, 7, 12, 6};
        int q = qs[seed % 6], k = std::min(5 + seed % 8, kmax[seed % 6]);
        int n = k + 2 + (int)(r() % (2 * k));
        SCOPED_TRACE(::testing::Message() << "seed " << seed << " q=" << q << " k=" << k << " n=" << n);
        ASSERT_NO_FATAL_FAILURE(planned(E, randrows(r, k, n, q, 0.1 + 0.1 * (seed % 6)), n, q));
    }
}

TEST(DistanceOracle, ClassicalCodes) {
    DistEngine E;
    std::vector<vec> even(15, vec(16, 0));   // the store grows to 120 rows of weight 2
    for (int i = 0; i < 15; i++) even[i][i] = even[i][15] = 1;
    const std::tuple<const char*, int, std::vector<vec>> codes[] = {
        {"even weight [16,15,2]", 2, even},
        {"Hamming [7,4,3]", 2, parse({"1000011", "0100101", "0010110", "0001111"})},
        {"tetracode [4,2,3]", 3, parse({"1011", "0112"})},
        {"binary Golay [24,12,8]", 2,
         parse({"100000000000110111000101", "010000000000101110001011", "001000000000011100010111",
                "000100000000111000101101", "000010000000110001011011", "000001000000100010110111",
                "000000100000000101101111", "000000010000001011011101", "000000001000010110111001",
                "000000000100101101110001", "000000000010011011100011", "000000000001111111111110"})},
        {"ternary Golay [12,6,6]", 3,
         parse({"100000011111", "010000101221", "001000110122", "000100121012", "000010122101", "000001112210"})},
    };
    for (const auto& [name, q, rows] : codes)
        ASSERT_NO_FATAL_FAILURE(checkcode(E, rows, (int)rows[0].size(), q, true, true, name));
}

TEST(DistanceOracle, LargeWeightsAndLargeStores) {
    DistEngine E;
    // The byte store keeps a weight of 300 in two bytes: 300 = 44 + 256 * 1.
    std::vector<vec> w300 = {vec(310, 0)};
    for (int j = 0; j < 300; j++) w300[0][j + 10] = 1 + j % 4;
    ASSERT_NO_FATAL_FAILURE(checkcode(E, w300, 310, 5, false, true, "weight 300"));
    // GF(5)^7 beside a word of weight 10: 19531 + 1 codewords up to weight 10.
    std::vector<vec> rows(8, vec(17, 0));
    for (int i = 0; i < 7; i++) rows[i][i] = 1;
    for (int j = 7; j < 17; j++) rows[7][j] = 1;
    E.gensets_dist_b(Gs, loadmatrix(G, rows, 17, 5));
    EXPECT_EQ(E.setinfo().wmax, 10);
    EXPECT_EQ(E.setinfo().found, 19532u);
    EXPECT_EQ(storedweight(E, 19532), 10);
}
