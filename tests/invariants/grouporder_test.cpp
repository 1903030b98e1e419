// Group orders by Schreier-Sims: against the closure of the generators for
// small degrees, against the canonical labelling's own group order method
// for larger ones, and on groups whose order is known.
#include <gtest/gtest.h>

#include <random>
#include <set>
#include <vector>

#include "canon/group.h"
#include "containers/bignat.h"
#include "invariants/grouporder.h"

namespace {

using perm = std::vector<int32_t>;

// The order as a decimal string, from the basic orbit lengths.
std::string order(GroupOrder& go, const std::vector<perm>& gens, int N) {
    std::vector<const int32_t*> p;
    for (const perm& g : gens) p.push_back(g.data());
    std::vector<uint32_t> len;
    go.lengths(p.data(), (int)p.size(), N, len);
    BigNat r(1);
    for (uint32_t l : len) r *= l;
    return r.str();
}

// Every element of the group, by closing the generators under products.
size_t closure(const std::vector<perm>& gens, int N) {
    perm id(N + 1);
    for (int x = 0; x <= N; x++) id[x] = x;
    std::set<perm> seen{id};
    std::vector<perm> todo{id};
    while (!todo.empty()) {
        perm g = todo.back();
        todo.pop_back();
        for (const perm& s : gens) {
            perm h(N + 1, 0);
            for (int x = 1; x <= N; x++) h[x] = s[g[x]];
            if (seen.insert(h).second) todo.push_back(h);
        }
    }
    return seen.size();
}

// A random permutation of 1..N moving only the points of a random subset,
// or keeping blocks of `b` points together (so the groups are not all
// symmetric or alternating).
perm randomperm(std::mt19937& rng, int N) {
    perm g(N + 1);
    for (int x = 0; x <= N; x++) g[x] = x;
    const int kind = (int)(rng() % 3), b = 2 + (int)(rng() % 2);
    if (kind == 0) {  // a cycle on a few points
        std::vector<int> pts;
        for (int x = 1; x <= N; x++)
            if (rng() % 3 == 0) pts.push_back(x);
        for (size_t i = 0; i + 1 < pts.size(); i++) g[pts[i]] = pts[i + 1];
        if (!pts.empty()) g[pts.back()] = pts[0];
    } else if (kind == 1 && N >= 2 * b) {  // two blocks exchanged
        const int a = 1 + (int)(rng() % (N / b - 1)) * b, c = a + b;
        for (int i = 0; i < b && c + i <= N; i++) std::swap(g[a + i], g[c + i]);
    } else if (N >= 2) {  // a transposition
        const int a = 1 + (int)(rng() % N), c = 1 + (int)(rng() % N);
        std::swap(g[a], g[c]);
    }
    return g;
}

}  // namespace

TEST(GroupOrder, AgreesWithTheClosureAndWithTheLabellersMethod) {
    std::mt19937 rng(11);
    GroupOrder go;  // one workspace for all, as a run keeps it
    for (int trial = 0; trial < 400; trial++) {
        const int N = 1 + (int)(rng() % (trial < 200 ? 7 : 30));
        std::vector<perm> gens;
        for (int g = (int)(rng() % 5); g > 0; g--) gens.push_back(randomperm(rng, N));
        const std::string mine = order(go, gens, N);
        EXPECT_EQ(mine, grouporder(gens, N).str()) << "trial " << trial;
        if (N <= 7) {
            EXPECT_EQ(mine, std::to_string(closure(gens, N))) << "trial " << trial;
        }
    }
}

TEST(GroupOrder, GroupsOfKnownOrder) {
    GroupOrder go;
    const int N = 40;
    perm id(N + 1), t, c, in4, shift, swapb;
    for (int x = 0; x <= N; x++) id[x] = x;
    t = c = in4 = shift = swapb = id;
    std::swap(t[1], t[2]);
    for (int x = 1; x <= N; x++) c[x] = x % N + 1, shift[x] = (x + 3) % N + 1;  // a 40-cycle, a shift by 4
    for (int x = 1; x <= 4; x++) in4[x] = x % 4 + 1, std::swap(swapb[x], swapb[x + 4]);
    BigNat f(1), w = BigNat::power(24, 10);
    for (uint32_t v = 2; v <= 40; v++) f *= v;
    w *= 3628800;
    EXPECT_EQ(order(go, {t, c}, N), f.str());  // S_40
    EXPECT_EQ(order(go, {c}, N), "40");
    EXPECT_EQ(order(go, {}, N), "1");
    // S_4 wr S_10: blocks of 4 permuted, points permuted inside: 24^10 * 10!.
    EXPECT_EQ(order(go, {t, in4, shift, swapb}, N), w.str());
}
