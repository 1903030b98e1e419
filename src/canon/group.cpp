// Group orders (see group.h).
//
// The deterministic Schreier-Sims method: a base b1, b2, ... and strong
// generators, those that fix b1..b(i-1) making up level i.  Each level keeps
// the orbit of its base point under its generators with a transversal (for
// every orbit point a product of generators taking the base point there).
// Every Schreier generator of a level is sifted through the levels below;
// what does not sift to the identity is a new strong generator.  At the end
// the order is the product of the orbit lengths.
#include "canon/group.h"

#include "containers/zassert.h"

void BigCount::times(uint64_t v) {
    uint64_t carry = 0;
    for (uint32_t& p : part_) {
        uint64_t x = (uint64_t)p * v + carry;
        p = (uint32_t)(x % 1000000000u);
        carry = x / 1000000000u;
    }
    while (carry) {
        part_.push_back((uint32_t)(carry % 1000000000u));
        carry /= 1000000000u;
    }
}

void BigCount::times(const BigCount& v) {
    std::vector<uint64_t> r(part_.size() + v.part_.size() + 1, 0);
    for (size_t i = 0; i < part_.size(); i++) {
        uint64_t carry = 0;
        for (size_t j = 0; j < v.part_.size() || carry; j++) {
            uint64_t x = r[i + j] + carry + (j < v.part_.size() ? (uint64_t)part_[i] * v.part_[j] : 0);
            r[i + j] = x % 1000000000u;
            carry = x / 1000000000u;
        }
    }
    while (r.size() > 1 && r.back() == 0) r.pop_back();
    part_.assign(r.begin(), r.end());
}

std::string BigCount::str() const {
    std::string s = std::to_string(part_.back());
    for (size_t i = part_.size() - 1; i-- > 0;) {
        std::string p = std::to_string(part_[i]);
        s += std::string(9 - p.size(), '0') + p;
    }
    return s;
}

namespace {

using perm = std::vector<int32_t>;

struct level {
    int32_t b = 0;
    std::vector<int32_t> where;  // where[x]: index of x's transversal element, -1 outside the orbit
    std::vector<perm> trans;     // trans[i] takes b to orbit point i
};

class chain {
   public:
    explicit chain(int N) : N_(N) {}

    void run(const std::vector<perm>& gens) {
        for (const perm& g : gens)
            if (!identity(g)) addstrong(g);
        int i = (int)lv_.size() - 1;
        while (i >= 0) {
            const std::vector<perm> S = strongat(i);
            orbit(i, S);
            const level& L = lv_[(size_t)i];
            int next = i - 1;
            // addstrong may grow lv_ and so move L: once it ran (next
            // changed) L is not looked at again.
            for (size_t t = 0; next == i - 1 && t < L.trans.size(); t++)
                for (const perm& s : S) {
                    const perm us = compose(L.trans[t], s);
                    const perm sg = compose(us, inverse(L.trans[(size_t)L.where[(size_t)us[L.b]]]));
                    size_t at;
                    const perm h = strip(sg, (size_t)i + 1, at);
                    if (identity(h)) continue;
                    addstrong(h);  // a base point is added when h fixes them all
                    next = (int)at;
                    break;
                }
            i = next;
        }
    }

    BigCount order() const {
        BigCount c;
        for (const level& L : lv_) c.times(L.trans.size());
        return c;
    }

   private:
    perm compose(const perm& g, const perm& h) const {  // x -> h(g(x))
        perm r(N_ + 1, 0);
        for (int x = 1; x <= N_; x++) r[x] = h[g[x]];
        return r;
    }
    perm inverse(const perm& g) const {
        perm r(N_ + 1, 0);
        for (int x = 1; x <= N_; x++) r[g[x]] = x;
        return r;
    }
    bool identity(const perm& g) const {
        for (int x = 1; x <= N_; x++)
            if (g[x] != x) return false;
        return true;
    }

    // The strong generators of level i: those that fix the base points of
    // the levels before it.
    std::vector<perm> strongat(int i) const {
        std::vector<perm> S;
        for (const perm& g : strong_) {
            bool fixes = true;
            for (int l = 0; l < i && fixes; l++) fixes = g[lv_[(size_t)l].b] == lv_[(size_t)l].b;
            if (fixes) S.push_back(g);
        }
        return S;
    }

    // A strong generator; the base grows by a point g moves when g fixes it all.
    void addstrong(const perm& g) {
        strong_.push_back(g);
        for (const level& L : lv_)
            if (g[L.b] != L.b) return;
        int b = 1;
        while (g[b] == b) b++;
        lv_.push_back(level{});
        lv_.back().b = b;
        lv_.back().where.assign(N_ + 1, -1);
        lv_.back().where[b] = 0;
        perm id(N_ + 1);
        for (int x = 0; x <= N_; x++) id[x] = x;
        lv_.back().trans.push_back(id);
    }

    // The orbit of level i's base point under S and its transversal.
    void orbit(int i, const std::vector<perm>& S) {
        level& L = lv_[(size_t)i];
        L.where.assign(N_ + 1, -1);
        L.trans.resize(1);
        L.where[L.b] = 0;
        for (size_t t = 0; t < L.trans.size(); t++)
            for (const perm& g : S) {
                const int y = g[L.trans[t][L.b]];
                if (L.where[y] >= 0) continue;
                L.where[y] = (int32_t)L.trans.size();
                L.trans.push_back(compose(L.trans[t], g));
            }
    }

    // Sifts g through the levels from `from` on; gives the residue and the
    // level where it stopped (the number of levels when it passed them all).
    perm strip(perm g, size_t from, size_t& at) const {
        for (at = from; at < lv_.size(); at++) {
            const level& L = lv_[at];
            const int y = g[L.b];
            if (L.where[y] < 0) return g;
            g = compose(g, inverse(L.trans[(size_t)L.where[y]]));
        }
        return g;
    }

    int N_;
    std::vector<level> lv_;
    std::vector<perm> strong_;
};

}  // namespace

BigCount grouporder(const std::vector<std::vector<int32_t>>& gens, int N) {
    for (const auto& g : gens) TALVEN_ASSERT("group", (int)g.size() == N + 1, "a permutation of 1..N");
    chain c(N);
    c.run(gens);
    return c.order();
}

BigCount labelledorder(const Labeller& lab, int N) {
    std::vector<std::vector<int32_t>> gens;
    for (int g = 1; g <= lab.automorphisms(); g++) gens.emplace_back(lab.aut_cols(g), lab.aut_cols(g) + N + 1);
    return grouporder(gens, N);
}
