// Big natural numbers against 128-bit arithmetic, and products of primes
// against their values.
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "containers/bignat.h"

namespace {

std::string str128(unsigned __int128 v) {
    std::string s;
    do s.insert(s.begin(), (char)('0' + (int)(v % 10)));
    while ((v /= 10) != 0);
    return s;
}

}  // namespace

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
