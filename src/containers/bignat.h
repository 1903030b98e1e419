// Exact natural numbers of any size, and numbers kept as products of
// primes, for the mass of a classification.
//
// The mass of a run sums |G| / |Aut(C)| over its codes, with |G| = n! (q-1)^n
// (twice that for semilinear GF(4)): numbers of thousands of digits for the
// longest codes, which must be exact.  Every group order that occurs is a
// product of small numbers (factorials, q - 1, the basic orbit lengths of a
// permutation group on at most a few thousand points), so a quotient
// |G| / |Aut(C)| is found on prime exponents (`Factored`) and never needs a
// long division; only its value is a `BigNat`, which then only has to add,
// multiply and divide by a word.  BigNat keeps base-10^9 limbs, so it prints
// and parses in decimal directly.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

class BigNat {
   public:
    BigNat(uint64_t v = 0);  // NOLINT: a number is a number

    // The decimal digits of s (no sign, no spaces, no leading zero unless
    // s is "0") into out; false, out unchanged, otherwise.
    static bool parse(std::string_view s, BigNat& out);
    std::string str() const;
    bool zero() const { return limb_.empty(); }

    BigNat& operator+=(const BigNat& b);
    // Subtracts b, which must not be larger.
    BigNat& operator-=(const BigNat& b);
    // Subtracts 1 (the number must not be 0).
    void minusone();
    BigNat& operator*=(uint32_t m);
    BigNat operator*(const BigNat& b) const;
    // Divides by d (1 <= d < 2^63) and gives the remainder.
    uint64_t divmod(uint64_t d);
    // -1, 0, +1.
    int compare(const BigNat& b) const;
    bool operator==(const BigNat& b) const { return limb_ == b.limb_; }
    bool operator!=(const BigNat& b) const { return limb_ != b.limb_; }
    bool operator<(const BigNat& b) const { return compare(b) < 0; }

    // q^e.
    static BigNat power(uint32_t q, uint32_t e);

   private:
    void trim();
    std::vector<uint32_t> limb_;  // base 10^9, least significant first; empty for 0
};

// A positive rational number as exponents of primes below 2^16: products
// and quotients of small numbers, exact at any size.
class Factored {
   public:
    // v in 1..65535: times v, or divided by v.
    void times(uint32_t v) { add(v, 1); }
    void over(uint32_t v) { add(v, -1); }
    // times 2 * 3 * ... * m.
    void factorial(uint32_t m);
    void times(const Factored& f);
    void over(const Factored& f);
    // A natural number: no prime has a negative exponent.
    bool natural() const;
    // The value of a natural number (natural() must hold).
    BigNat value() const;
    void clear() { exp_.clear(); }

   private:
    void add(uint32_t v, int sign);
    std::vector<int32_t> exp_;  // exp_[i]: the exponent of the i-th prime (2 is the 0th)
};
