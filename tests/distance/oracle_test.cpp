// Every operation of the distance subsystem against the brute-force listing
// of all q^k codewords: minimum distance, the checks around the true
// distance, the projective spectrum, the full store, and the generating sets
// (the first weight at which the low-weight codewords span the code, and
// exactly those codewords kept).  Random codes over every q, dimensions 1 to
// 8, lengths on both sides of the word boundaries; then codes built to hit
// the awkward cases (dependent rows, zero and repeated columns, n < 2k).
#include <gtest/gtest.h>

#include <map>
#include <numeric>
#include <set>

#include "distance/dist.h"
#include "field/field.h"
#include "frame/runpar.h"
#include "oracle.h"

using namespace dtest;

namespace {

bmat G, Gs, Fnone;
wmat Gb;

// Codewords of the truth with weight in [lo, hi].
std::vector<vec> wordsin(const truth& t, int lo, int hi) {
    std::vector<vec> r;
    for (auto& v : t.words)
        if (weight(v) >= lo && weight(v) <= hi) r.push_back(v);
    return r;
}

std::vector<vec> sorted(std::vector<vec> v) {
    std::sort(v.begin(), v.end());
    return v;
}

uint64_t sumA(const truth& t, int lo, int hi) {
    uint64_t s = 0;
    for (int w = lo; w <= hi && w <= t.n; w++) s += t.A[w];
    return s;
}

// The pair invariant and classes of the stored rows lo+1..hi, checked
// against the test's own distances.
void checkclasses(const truth& t, uint64_t lo, uint64_t hi) {
    std::vector<uint64_t> inv(hi + 1, 0);
    if (hi - lo < 300)
        for (uint64_t x = lo + 1; x <= hi; x++)
            for (uint64_t y = lo + 1; y <= hi; y++) {
                if (x == y) continue;
                // stored rows are scalar multiples of the normalised ones;
                // read them raw for the distance
                vec a(t.n), b(t.n);
                for (int p = 1; p <= t.n; p++) {
                    a[p - 1] = (uint8_t)coordval(t.q, dinvar.cwstore.a[x], dinvar.cwstore.b[x], p);
                    b[p - 1] = (uint8_t)coordval(t.q, dinvar.cwstore.a[y], dinvar.cwstore.b[y], p);
                }
                // distance as points: smallest weight of a - s b
                gf F{t.q};
                int d = t.n + 1;
                for (int s = 1; s < t.q; s++) {
                    int e = 0;
                    for (int p = 0; p < t.n; p++) e += a[p] != F.mul(s, b[p]);
                    d = std::min(d, e);
                }
                inv[x] = (inv[x] + (uint64_t)d) % 101;
            }
    std::set<uint64_t> vals;
    for (uint64_t f = lo + 1; f <= hi; f++) {
        ASSERT_EQ(dinvar.cwstore.a[f][-1], inv[f]) << "row " << f;
        if (f > lo + 1) {
            ASSERT_LE(dinvar.cwstore.a[f - 1][-1], dinvar.cwstore.a[f][-1]);
        }
        vals.insert(inv[f]);
    }
    std::map<uint64_t, uint64_t> cls;
    uint64_t c = 0;
    for (auto v : vals) cls[v] = ++c;
    for (uint64_t f = lo + 1; f <= hi; f++) ASSERT_EQ(dinvar.cwstore.b[f][0], cls[inv[f]]);
}

// Marks: non-zero only as the row's class, and the marked rows span the code.
void checkmarks(const truth& t, uint64_t rows) {
    gf F{t.q};
    auto words = storedwords(t.q, t.n, rows);
    std::vector<vec> marked;
    for (uint64_t f = 1; f <= rows; f++) {
        uint64_t m = dinvar.cwstore.b[f][-1];
        if (m) {
            ASSERT_EQ(m, dinvar.cwstore.b[f][0]);
            marked.push_back(words[f - 1]);
        }
    }
    EXPECT_EQ(rankof(F, marked), t.rank);
}

// Classes of each weight block of the first `rows` stored rows.
void checkblocks(const truth& t, uint64_t rows) {
    uint64_t lo = 0;
    while (lo < rows) {
        uint64_t hi = lo + 1;
        int w = storedweight(lo + 1);
        while (hi < rows && storedweight(hi + 1) == w) hi++;
        checkclasses(t, lo, hi);
        lo = hi;
    }
}

// All operations on one code; `bits` chooses the bit-plane or byte routines.
void checkcode(const std::vector<vec>& rows, int n, int q, bool bits, bool full, const char* what) {
    SCOPED_TRACE(::testing::Message() << what << " q=" << q << " n=" << n << " k=" << rows.size()
                                      << (bits ? " bits" : " bytes"));
    usefield(q, bits);
    truth t = brute(rows, n, q);
    int k = (int)rows.size();
    infrec& it = dinvar.infsettv;

    // spectrum
    tobmat(G, rows, n, q);
    spectrum(G);
    for (int w = 1; w <= n; w++) ASSERT_EQ(it.Aspec[w], t.A[w]) << "weight " << w;
    EXPECT_EQ(it.found, t.words.size());

    // minimum distance
    tobmat(G, rows, n, q);
    EXPECT_EQ(mindist(G), t.d);
    EXPECT_EQ(it.ub, t.d);

    // checks just below, at and above the distance
    for (int D = std::max(1, t.d - 1); D <= t.d + 1; D++) {
        tobmat(G, rows, n, q, D);
        int want = (t.rank == 0 || t.d >= D) ? 1 : 0;
        EXPECT_EQ(checkdist(G), want) << "D=" << D;
        tobmat(G, rows, n, q, D);
        EXPECT_EQ(checkdist_ex(G), t.rank < k ? 0 : want) << "D=" << D;
    }
    if (!full || t.rank == 0) return;

    // the full store
    tobmat(G, rows, n, q);
    spectrum_keep(G);
    ASSERT_EQ(it.found, t.words.size());
    auto st = storedwords(q, n, it.found);
    for (uint64_t f = 1; f <= it.found; f++) ASSERT_EQ(storedweight(f), weight(st[f - 1]));
    EXPECT_EQ(sorted(st), t.words);

    // generating sets after the minimum distance
    tobmat(G, rows, n, q);
    if (bits) {
        gensets_dist(Gb, G, t.d);
        EXPECT_EQ(Gb.fill, t.rank);
    } else {
        gensets_dist_b(Gs, G, Fnone);
        EXPECT_EQ(Gs.fill, t.rank);
    }
    EXPECT_EQ(it.wmax, t.wgen);
    ASSERT_EQ(it.found, sumA(t, t.d, t.wgen));
    EXPECT_EQ(sorted(storedwords(q, n, it.found)), wordsin(t, t.d, t.wgen));
    if (bits && q <= 4) {
        checkblocks(t, it.found);
        checkmarks(t, it.found);
    }

    // generating sets from the full listing
    tobmat(G, rows, n, q);
    uint64_t kept;
    if (bits) {
        generatingset_fromall_inv(G);
        kept = (uint64_t)dinvar.cwstore.rows;
        EXPECT_EQ(it.wmax, t.wgen);
    } else {
        gensets_all(G);
        kept = (uint64_t)dinvar.cwstoreb.rows;
        EXPECT_EQ(it.wmax, t.wgen);
    }
    ASSERT_EQ(kept, sumA(t, 1, t.wgen));
    auto kw = storedwords(q, n, kept);
    for (uint64_t f = 2; f <= kept; f++) ASSERT_LE(weight(kw[f - 2]), weight(kw[f - 1]));
    EXPECT_EQ(sorted(kw), wordsin(t, 1, t.wgen));
    if (bits) {
        checkblocks(t, kept);
        checkmarks(t, kept);
    }
}

// Brute force work stays modest in the sanitizer build.
bool affordable(int q, int k, int n, double limit) {
    double c = 1;
    for (int i = 0; i < k; i++) c *= q;
    return c * n <= limit;
}

}  // namespace

TEST(DistanceOracle, RandomCodesEveryFieldAndLength) {
    std::mt19937 rng(20261206);
    const int lens[] = {5, 31, 63, 64, 65, 130};
    for (int q : {2, 3, 4, 5, 7})
        for (int n : lens)
            for (int k = 1; k <= 8; k++) {
                if (!affordable(q, k, n, 3e6)) continue;
                for (double dens : {0.5, 0.12}) {
                    auto rows = randrows(rng, k, n, q, dens);
                    bool full = affordable(q, k, 1, 3000);
                    checkcode(rows, n, q, q <= 4, full, "random");
                    if (HasFatalFailure()) return;
                }
            }
}

TEST(DistanceOracle, ByteRoutinesForSmallFieldsAgree) {
    std::mt19937 rng(7);
    for (int q : {2, 3, 4})
        for (int n : {5, 64, 65})
            for (int k = 1; k <= 6; k++) {
                auto rows = randrows(rng, k, n, q, 0.3);
                checkcode(rows, n, q, false, affordable(q, k, 1, 3000), "bytes");
                if (HasFatalFailure()) return;
            }
}

TEST(DistanceOracle, SparseCodesWithPartialInformationSets) {
    // Low density and n near 2k: several information sets of lower rank,
    // so the second stage and the claim test do real work.
    std::mt19937 rng(99);
    for (int q : {2, 3, 4, 5, 7})
        for (int rep = 0; rep < 6; rep++) {
            int k = 4 + rep % 4;
            int n = 2 * k + 3 + rep;
            if (!affordable(q, k, n, 3e6)) k = 4;
            auto rows = randrows(rng, k, n, q, 0.25);
            checkcode(rows, n, q, q <= 4, affordable(q, k, 1, 3000), "sparse");
            if (HasFatalFailure()) return;
        }
}

TEST(DistanceOracle, DependentRowsZeroAndRepeatedColumns) {
    std::mt19937 rng(5);
    for (int q : {2, 3, 4, 5, 7}) {
        gf F{q};
        int n = 40, k = 5;
        auto rows = randrows(rng, k, n, q, 0.4);
        // row 2 := row 0 + 2 row 1 (dependent), zero columns 3 and 17,
        // column 9 = column 4, column 30 = (q-1) * column 5 (proportional)
        for (int j = 0; j < n; j++) rows[2][j] = (uint8_t)F.add(rows[0][j], F.mul(2 % q, rows[1][j]));
        for (auto& r : rows) {
            r[3] = r[17] = 0;
            r[9] = r[4];
            r[30] = (uint8_t)F.mul(q - 1, r[5]);
        }
        checkcode(rows, n, q, q <= 4, true, "dependent");
        // the first rows dependent, the last ones independent
        auto rows2 = rows;
        rows2[0] = rows2[1];
        rows2[1] = vec(n, 0);
        checkcode(rows2, n, q, q <= 4, true, "leading dependent");
        if (HasFatalFailure()) return;
    }
}

TEST(DistanceOracle, ShortCodesWithOneFullSet) {
    // n < 2k: one information set of full rank only
    std::mt19937 rng(11);
    for (int q : {2, 3, 4, 5, 7})
        for (int k = 2; k <= 6; k++) {
            int n = 2 * k - 1;
            auto rows = randrows(rng, k, n, q, 0.6);
            checkcode(rows, n, q, q <= 4, affordable(q, k, 1, 3000), "short");
            if (HasFatalFailure()) return;
        }
}

TEST(DistanceOracle, RankOneAndZeroCodes) {
    for (int q : {2, 3, 5}) {
        std::vector<vec> rows(3, vec(20, 0));
        for (int j = 0; j < 20; j += 3) rows[1][j] = 1;
        rows[2] = rows[1];   // rank 1, weight 7
        checkcode(rows, 20, q, q <= 4, true, "rank one");
        std::vector<vec> zero(2, vec(20, 0));
        checkcode(zero, 20, q, q <= 4, false, "zero code");
        if (HasFatalFailure()) return;
    }
}

TEST(DistanceOracle, LargerCodesAgreeWithTheExhaustiveListing) {
    // Beyond what the brute force affords: the exhaustive listing (checked
    // against the brute force above) is the reference for the level planning.
    std::mt19937 rng(2027);
    struct shape {
        int q, k;
    };
    const shape shapes[] = {{2, 13}, {2, 16}, {3, 9}, {3, 10}, {4, 7}, {5, 6}, {7, 5}};
    infrec& it = dinvar.infsettv;
    for (auto sh : shapes)
        for (int n : {sh.k + 3, 2 * sh.k + 1, 3 * sh.k, 70, 150})
            for (double dens : {0.1, 0.15, 0.3, 0.5, 0.5}) {
                SCOPED_TRACE(::testing::Message() << "q=" << sh.q << " k=" << sh.k << " n=" << n << " dens=" << dens);
                int q = sh.q, k = sh.k;
                usefield(q, q <= 4);
                auto rows = randrows(rng, k, n, q, dens);
                tobmat(G, rows, n, q);
                spectrum(G);
                std::vector<uint64_t> A(it.Aspec, it.Aspec + n + 1);
                int d = 0;
                for (int w = 1; w <= n && !d; w++)
                    if (A[w]) d = w;
                tobmat(G, rows, n, q);
                ASSERT_EQ(mindist(G), d);
                for (int D = std::max(1, d - 1); D <= d + 1; D++) {
                    tobmat(G, rows, n, q, D);
                    EXPECT_EQ(checkdist(G), (d == 0 || d >= D) ? 1 : 0) << "D=" << D;
                }
                if (d == 0) continue;
                // the span weight from the full listing, then the planned one
                tobmat(G, rows, n, q);
                int wgen;
                if (q <= 4) {
                    generatingset_fromall_inv(G);
                    wgen = it.wmax;
                    ASSERT_EQ((uint64_t)dinvar.cwstore.rows, std::accumulate(A.begin() + 1, A.begin() + wgen + 1, (uint64_t)0));
                    tobmat(G, rows, n, q);
                    gensets_dist(Gb, G, d);
                } else {
                    gensets_all(G);
                    wgen = it.wmax;
                    ASSERT_EQ((uint64_t)dinvar.cwstoreb.rows, std::accumulate(A.begin() + 1, A.begin() + wgen + 1, (uint64_t)0));
                    tobmat(G, rows, n, q);
                    gensets_dist_b(Gs, G, Fnone);
                }
                EXPECT_EQ(it.wmax, wgen);
                EXPECT_EQ(it.found, std::accumulate(A.begin() + (q <= 4 ? d : 1), A.begin() + wgen + 1, (uint64_t)0));
            }
}

TEST(DistanceOracle, PlanningOnShortSparseCodes) {
    // Lengths between k + 2 and 3k, sparse rows, some of them dependent:
    // many information sets of lower rank, raised by the planners.
    infrec& it = dinvar.infsettv;
    for (int seed = 0; seed < 600; seed++) {
        std::mt19937 rng(seed);
        const int qs[] = {2, 3, 2, 4, 2, 5};
        int q = qs[seed % 6];
        int k = 5 + seed % 8;
        if (q == 3 && k > 9) k = 9;
        if (q >= 4 && k > 7) k = 7 - (q == 5);
        int n = k + 2 + (int)(rng() % (2 * k));
        double dens = 0.1 + 0.1 * (seed % 6);
        auto rows = randrows(rng, k, n, q, dens);
        SCOPED_TRACE(::testing::Message() << "seed " << seed << " q=" << q << " k=" << k << " n=" << n);
        usefield(q, q <= 4);
        tobmat(G, rows, n, q);
        spectrum(G);
        std::vector<uint64_t> A(it.Aspec, it.Aspec + n + 1);
        int d = 0;
        for (int w = 1; w <= n && !d; w++)
            if (A[w]) d = w;
        tobmat(G, rows, n, q);
        ASSERT_EQ(mindist(G), d);
        if (!d) continue;
        tobmat(G, rows, n, q, d + 1);
        ASSERT_EQ(checkdist(G), 0);
        tobmat(G, rows, n, q, d);
        ASSERT_EQ(checkdist(G), 1);
        tobmat(G, rows, n, q);
        int lo = 1;
        if (q <= 4) {
            gensets_dist(Gb, G, d);
            lo = d;
        } else {
            gensets_dist_b(Gs, G, Fnone);
        }
        ASSERT_EQ(it.found, std::accumulate(A.begin() + lo, A.begin() + it.wmax + 1, (uint64_t)0));
    }
}

TEST(DistanceOracle, LongCodesEveryWordCount) {
    // 4 words (its own compiled variant) and 5 to 13 words (the general one)
    std::mt19937 rng(404);
    for (int q : {2, 3, 4})
        for (int n : {200, 256, 257, 300, 799})
            for (int k : {2, 4, 6}) {
                auto rows = randrows(rng, k, n, q, k == 6 ? 0.02 : 0.3);
                checkcode(rows, n, q, true, k <= 4, "long");
                if (HasFatalFailure()) return;
            }
}
