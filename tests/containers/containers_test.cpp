// Containers: storage that fits is reused without asking the heap, and a heap
// that refuses twice ends in the assertion handler with ERRORq.txt.  Big
// natural numbers against 128-bit arithmetic and products of primes.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <tuple>

#include "containers/containers.h"
#include "common/testutil.h"
#include "containers/bignat.h"
#include "containers/containers.h"

namespace {

// What the enumeration and search code rely on: an ensure that fits reuses
// the storage (no allocation) and keeps its contents; one that does not fit
// gives fresh, zeroed storage; grow keeps the rows where they are; scratch
// index 0 and -1 are usable; a move hands the storage over.
TEST(Containers, EnsureReusesWhatFitsAndGrowKeepsRows) {
    auto withoutheap = [](auto f) {   // every allocation refused while f runs
        failinject = 1000;
        f();
        failinject = 0;
    };
    ByteMatrix m;
    m.ensure(3, 10, 2);
    for (int r = 0; r <= 3; r++)
        for (int c = -1; c <= 10; c++) m.a[r][c] = (uint8_t)(r * 16 + c + 1);
    uint8_t** block = m.a;
    withoutheap([&] { m.ensure(2, 5, 3); });
    EXPECT_EQ(std::make_tuple(m.a, m.rows, m.cols, m.q, m.a[2][7]), std::make_tuple(block, 2, 5, 3, 2 * 16 + 8));
    m.ensure(2, 11, 3);  // wider: fresh storage
    EXPECT_EQ(m.a[2][7], 0);
    m.a[2][11] = 4;
    uint8_t* row2 = m.a[2];
    m.grow(6);
    EXPECT_GE(m.caprows(), 6);
    EXPECT_EQ(std::make_tuple(m.a[2], m.a[2][11], m.a[6][11]), std::make_tuple(row2, 4, 0));
    m.a[6][-1] = 1;
    ByteMatrix moved = std::move(m);
    EXPECT_EQ(std::make_tuple(moved.a[2], m.a, m.allocated()), std::make_tuple(row2, (uint8_t**)nullptr, false));

    PlaneMatrix w;
    w.ensure(2, 3, 3);
    w.a[1][3] = 23, w.b[1][-1] = 19;
    uint64_t* keep = w.a[1];
    withoutheap([&] { w.ensure(1, 2, 4); });
    w.grow(3);
    EXPECT_EQ(std::make_tuple(w.a[1], w.a[1][3], w.b[1][-1], w.b[3][2]), std::make_tuple(keep, uint64_t{23}, uint64_t{19}, uint64_t{0}));

    Buffer<int32_t> v;
    v.ensure(30);
    v[29] = 5;
    int32_t* before = v.data();
    withoutheap([&] { v.ensure(20); });
    EXPECT_EQ(std::make_tuple(v.data(), v[29]), std::make_tuple(before, 5));

    MatrixSet<ByteMatrix> ma;
    ma.ensure(3, 8, 5, 4);
    ma[-1].a[3][8] = 1;
    ma[2].used = 9;
    uint8_t** h = ma[2].a;
    withoutheap([&] { ma.ensure(2, 8, 7, 3); });
    EXPECT_EQ(std::make_tuple(ma[2].a, ma[2].used, ma[0].q, ma[-1].a[3][8]), std::make_tuple(h, 0, 7, 1));
}

TEST(Handler, SecondRefusalWritesTheConditionAndEndsAtEndOfInput) {
    handlerstop h = stopsinhandler([] {
        ByteMatrix m;
        failinject = 2;
        m.ensure(2, 2, 2);
    });
    EXPECT_EQ(h.error.rfind("zorbel file containers: line ", 0), 0u) << h.error;
    EXPECT_NE(h.error.find(": assertion failed: (no memory for a byte matrix)\n"), std::string::npos) << h.error;
    EXPECT_EQ(h.console, "ERROR");
}

TEST(Handler, KeepsAskingWhileNumbersComeAndSkipsGarbage) {
    handlerstop h = stopsinhandler(
        [] {
            failinject = 2;
            Buffer<int32_t> v;
            v.ensure(5);
        },
        "1\n2\nabc\n3\n");
    EXPECT_NE(h.error.find("(no memory for an array)"), std::string::npos) << h.error;
    EXPECT_EQ(h.console, "ERRORERRORERRORERRORERROR");
}

std::string str128(unsigned __int128 v) {
    std::string s;
    do s.insert(s.begin(), (char)('0' + (int)(v % 10)));
    while ((v /= 10) != 0);
    return s;
}

TEST(BigNat, AgreesWithWordArithmetic) {
    std::mt19937_64 rng(7);
    for (int t = 0; t < 2000; t++) {
        const uint64_t a = rng() >> (rng() % 64), b = rng() >> (rng() % 64);
        const uint32_t m = (uint32_t)(rng() >> 32);
        BigNat x(a), y(b);
        EXPECT_EQ(x.str(), str128(a));
        BigNat sum = x;
        sum += y;
        EXPECT_EQ(sum.str(), str128((unsigned __int128)a + b));
        EXPECT_EQ((x * y).str(), str128((unsigned __int128)a * b));
        BigNat scaled = x;
        scaled *= m;
        EXPECT_EQ(scaled.str(), str128((unsigned __int128)a * m));
        const uint64_t d = (rng() >> (1 + rng() % 62)) | 1;
        BigNat big = x * y;
        const uint64_t rem = big.divmod(d);
        EXPECT_EQ(big.str(), str128((unsigned __int128)a * b / d));
        EXPECT_EQ(rem, (uint64_t)((unsigned __int128)a * b % d));
        EXPECT_EQ(x.compare(y), a < b ? -1 : a > b ? 1 : 0);
        BigNat back;
        ASSERT_TRUE(BigNat::parse(sum.str(), back));
        EXPECT_EQ(back, sum);
        if (a > 0) {
            BigNat less = x;
            less.minusone();
            EXPECT_EQ(less.str(), str128(a - 1));
        }
    }
    for (const char* bad : {"", "01", "-1", "1 2", "1e3", "x"}) {
        BigNat v(5);
        EXPECT_FALSE(BigNat::parse(bad, v)) << bad;
        EXPECT_EQ(v, BigNat(5));
    }
}

// Numbers far beyond 128 bits: 100! by factors equals 100! by products,
// and 2^200 - 1 divides out exactly into its known factors.
TEST(BigNat, LargeProductsAndQuotients) {
    BigNat fact(1);
    Factored f;
    for (uint32_t v = 2; v <= 100; v++) fact *= v;
    f.factorial(100);
    EXPECT_EQ(f.value(), fact);
    EXPECT_EQ(fact.str().size(), 158u);
    f.over(97);
    f.over(64);
    EXPECT_TRUE(f.natural());
    BigNat quotient = fact;
    EXPECT_EQ(quotient.divmod(97 * 64), 0u);
    EXPECT_EQ(f.value(), quotient);
    f.over(101);
    EXPECT_FALSE(f.natural());
    BigNat m = BigNat::power(2, 200);
    m.minusone();
    // 2^200 - 1 = (2^100 - 1)(2^100 + 1), and 2^100 + 1 = 17 * 401 * 61681 * 340801 * 2787601 * 3173389601.
    BigNat rest = m;
    for (uint64_t p : {17ull, 401ull, 61681ull, 340801ull, 2787601ull, 3173389601ull}) EXPECT_EQ(rest.divmod(p), 0u);
    BigNat low = BigNat::power(2, 100);
    low.minusone();
    EXPECT_EQ(rest, low);
}

}  // namespace
