// Big natural numbers and prime exponents (see bignat.h).  Schoolbook
// arithmetic: the numbers of a mass have at most a few thousand digits and
// are multiplied a few hundred times per code, far below what a faster
// method would pay for.
#include "containers/bignat.h"

#include <algorithm>

#include "containers/zassert.h"

namespace {

constexpr uint32_t BASE = 1000000000u;
constexpr uint32_t PRIMELIMIT = 65536;

// The primes below 2^16 and, for each number below 2^16, the index of its
// smallest prime factor.  Built once, read only.
struct Primes {
    std::vector<uint32_t> p;
    std::vector<uint16_t> least;  // least[v]: index in p of v's smallest prime factor
    Primes() : least(PRIMELIMIT, 0) {
        std::vector<char> composite(PRIMELIMIT, 0);
        for (uint32_t v = 2; v < PRIMELIMIT; v++) {
            if (composite[v]) continue;
            for (uint32_t m = v; m < PRIMELIMIT; m += v)
                if (!composite[m]) composite[m] = 1, least[m] = (uint16_t)p.size();
            p.push_back(v);
        }
    }
};

const Primes& primes() {
    static const Primes table;
    return table;
}

}  // namespace

// ---- BigNat ---------------------------------------------------------------------

BigNat::BigNat(uint64_t v) {
    while (v) {
        limb_.push_back((uint32_t)(v % BASE));
        v /= BASE;
    }
}

void BigNat::trim() {
    while (!limb_.empty() && limb_.back() == 0) limb_.pop_back();
}

bool BigNat::parse(std::string_view s, BigNat& out) {
    if (s.empty() || (s.size() > 1 && s[0] == '0')) return false;
    for (char c : s)
        if (c < '0' || c > '9') return false;
    BigNat r;
    for (size_t end = s.size(); end > 0;) {
        const size_t start = end >= 9 ? end - 9 : 0;
        uint32_t v = 0;
        for (size_t i = start; i < end; i++) v = v * 10 + (uint32_t)(s[i] - '0');
        r.limb_.push_back(v);
        end = start;
    }
    r.trim();
    out = std::move(r);
    return true;
}

std::string BigNat::str() const {
    if (limb_.empty()) return "0";
    std::string s = std::to_string(limb_.back());
    for (size_t i = limb_.size() - 1; i-- > 0;) {
        const std::string part = std::to_string(limb_[i]);
        s.append(9 - part.size(), '0');
        s += part;
    }
    return s;
}

BigNat& BigNat::operator+=(const BigNat& b) {
    if (limb_.size() < b.limb_.size()) limb_.resize(b.limb_.size(), 0);
    uint32_t carry = 0;
    for (size_t i = 0; i < limb_.size(); i++) {
        uint32_t x = limb_[i] + carry + (i < b.limb_.size() ? b.limb_[i] : 0);
        carry = x >= BASE;
        limb_[i] = carry ? x - BASE : x;
        if (!carry && i >= b.limb_.size()) break;
    }
    if (carry) limb_.push_back(1);
    return *this;
}

BigNat& BigNat::operator-=(const BigNat& b) {
    TALVEN_ASSERT("bignat", compare(b) >= 0, "a difference of natural numbers");
    uint32_t borrow = 0;
    for (size_t i = 0; i < limb_.size() && (borrow || i < b.limb_.size()); i++) {
        const uint64_t take = (uint64_t)borrow + (i < b.limb_.size() ? b.limb_[i] : 0);
        borrow = limb_[i] < take;
        limb_[i] = (uint32_t)(borrow ? limb_[i] + BASE - take : limb_[i] - take);
    }
    trim();
    return *this;
}

void BigNat::minusone() {
    TALVEN_ASSERT("bignat", !zero(), "a number above 0");
    size_t i = 0;
    while (limb_[i] == 0) limb_[i++] = BASE - 1;
    limb_[i]--;
    trim();
}

BigNat& BigNat::operator*=(uint32_t m) {
    if (m == 0) {
        limb_.clear();
        return *this;
    }
    uint64_t carry = 0;
    for (uint32_t& x : limb_) {
        const uint64_t t = (uint64_t)x * m + carry;
        x = (uint32_t)(t % BASE);
        carry = t / BASE;
    }
    while (carry) {
        limb_.push_back((uint32_t)(carry % BASE));
        carry /= BASE;
    }
    return *this;
}

BigNat BigNat::operator*(const BigNat& b) const {
    BigNat r;
    if (zero() || b.zero()) return r;
    std::vector<uint64_t> acc(limb_.size() + b.limb_.size() + 1, 0);
    for (size_t i = 0; i < limb_.size(); i++) {
        uint64_t carry = 0;
        for (size_t j = 0; j < b.limb_.size(); j++) {
            const uint64_t t = acc[i + j] + (uint64_t)limb_[i] * b.limb_[j] + carry;
            acc[i + j] = t % BASE;
            carry = t / BASE;
        }
        for (size_t j = i + b.limb_.size(); carry; j++) {
            const uint64_t t = acc[j] + carry;
            acc[j] = t % BASE;
            carry = t / BASE;
        }
    }
    r.limb_.assign(acc.begin(), acc.end());
    r.trim();
    return r;
}

uint64_t BigNat::divmod(uint64_t d) {
    TALVEN_ASSERT("bignat", d != 0 && d < (uint64_t)1 << 63, "a divisor in 1..2^63-1");
    unsigned __int128 rem = 0;
    for (size_t i = limb_.size(); i-- > 0;) {
        const unsigned __int128 cur = rem * BASE + limb_[i];
        limb_[i] = (uint32_t)(cur / d);
        rem = cur % d;
    }
    trim();
    return (uint64_t)rem;
}

int BigNat::compare(const BigNat& b) const {
    if (limb_.size() != b.limb_.size()) return limb_.size() < b.limb_.size() ? -1 : 1;
    for (size_t i = limb_.size(); i-- > 0;)
        if (limb_[i] != b.limb_[i]) return limb_[i] < b.limb_[i] ? -1 : 1;
    return 0;
}

BigNat BigNat::power(uint32_t q, uint32_t e) {
    BigNat r(1);
    for (uint32_t i = 0; i < e; i++) r *= q;
    return r;
}

// ---- Factored -------------------------------------------------------------------

void Factored::add(uint32_t v, int sign) {
    TALVEN_ASSERT("bignat", v != 0 && v < PRIMELIMIT, "a factor in 1..65535");
    const Primes& P = primes();
    while (v > 1) {
        const uint16_t i = P.least[v];
        if (exp_.size() <= i) exp_.resize((size_t)i + 1, 0);
        exp_[i] += sign;
        v /= P.p[i];
    }
}

void Factored::factorial(uint32_t m) {
    for (uint32_t v = 2; v <= m; v++) times(v);
}

void Factored::times(const Factored& f) {
    if (exp_.size() < f.exp_.size()) exp_.resize(f.exp_.size(), 0);
    for (size_t i = 0; i < f.exp_.size(); i++) exp_[i] += f.exp_[i];
}

void Factored::over(const Factored& f) {
    if (exp_.size() < f.exp_.size()) exp_.resize(f.exp_.size(), 0);
    for (size_t i = 0; i < f.exp_.size(); i++) exp_[i] -= f.exp_[i];
}

bool Factored::natural() const {
    return std::all_of(exp_.begin(), exp_.end(), [](int32_t e) { return e >= 0; });
}

BigNat Factored::value() const {
    TALVEN_ASSERT("bignat", natural(), "a natural number");
    const Primes& P = primes();
    BigNat r(1);
    uint64_t chunk = 1;  // small factors gathered into one word before they multiply r
    for (size_t i = 0; i < exp_.size(); i++)
        for (int32_t e = 0; e < exp_[i]; e++) {
            if (chunk * P.p[i] >= BASE) {
                r *= (uint32_t)chunk;
                chunk = 1;
            }
            chunk *= P.p[i];
        }
    r *= (uint32_t)chunk;
    return r;
}
