// The labelling against independent oracles: forms differ exactly for
// non-isomorphic matrices and orbits are those of the whole group (both by
// brute force); symmetric structures have their known group orders; runs
// through the retries equal runs with ample room; two labellers in two
// threads at once give what one gives alone.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <set>
#include <thread>

#include "canon/canon_support.h"
#include "canon/group.h"
#include "containers/containers.h"

namespace {

// Checks of one result against the matrix alone.
void expect_sane(const tmat& A, const tres& r) {
    EXPECT_TRUE(is_perm(r.bestcol, A.N) && is_perm(r.bestrow, A.M));
    EXPECT_LT(r.certhash, 1111111u);
    EXPECT_TRUE(auts_valid(A, r));
    std::vector<int> mins = orbit_minima(r.orbit, A.N);
    EXPECT_EQ(mins, orbits_of(r.autcol, A.N));  // orbits are those of the stored automorphisms
    for (int j = 1; j <= A.N; j++) EXPECT_EQ(r.orbmin[j], mins[j] == j ? 1 : 0);
    EXPECT_LE(r.naut, std::max(0, A.N - 1));  // each stored one joins orbits
}

TEST(Canon, SmallMatricesAgainstBruteForce) {
    // B is A with an entry or a colour changed (often isomorphic, often not),
    // relabelled.  Every third A has columns repeated in blocks (larger groups).
    std::mt19937 rng(31337);
    tlab L;
    int iso = 0;
    for (int t = 0; t < 400; t++) {
        int M = 1 + (int)(rng() % 6), N = 1 + (int)(rng() % 6), colours = t % 4 == 1 ? 2 : 0;
        tmat A = random_mat(rng, M, N, 0.2 + 0.15 * (t % 4), colours);
        for (int i = 1; i <= M && t % 3 == 0; i++)
            for (int j = (N + 3) / 2; j <= N; j++) A.set(i, j, A.at(i, j - (N + 1) / 2));
        tmat B = A;
        int r = 1 + (int)(rng() % M), c = 1 + (int)(rng() % N);
        if (t % 2) B.set(r, c, B.at(r, c) ^ 1);
        if (colours && N >= 2 && t % 5 == 0) B.col[c] = 3 - B.col[c];
        B = random_relabel(rng, B);
        tres ra = L.label(A);
        const ivv auts = brute_isos(A, A);
        EXPECT_EQ(labelledorder(L.lab, N).str(), std::to_string(auts.size())) << "t=" << t;
        EXPECT_EQ(closure(ra.autcol, N), auts.size()) << "t=" << t;
        tres rb = L.label(B);
        expect_sane(A, ra);
        bool truth = !brute_isos(A, B).empty();
        ASSERT_EQ(ra.canon == rb.canon && ra.canoncol == rb.canoncol, truth) << "t=" << t;
        EXPECT_EQ(truth ? ra.certhash : rb.certhash, rb.certhash);
        iso += truth;
    }
    EXPECT_TRUE(iso > 60 && 400 - iso > 60) << iso;  // both outcomes occur often enough
    // Every matrix of a small shape: 36 classes of 3 x 3, 317 of 4 x 4 up to
    // row and column permutations (classical counts); a form gives itself.
    for (auto [n, classes] : {std::pair{3, 36u}, std::pair{4, 317u}}) {
        std::set<std::vector<uint8_t>> forms;
        for (int bits = 0; bits < 1 << (n * n); bits++) {
            tmat A = make_mat(n, n);
            for (int k = 0; k < n * n; k++) A.a[k] = (bits >> k) & 1;
            forms.insert(L.label(A).canon);
        }
        EXPECT_EQ(forms.size(), classes);
        for (const auto& f : forms) EXPECT_EQ(L.label(tmat{n, n, f, {}}).canon, f);
    }
}

// Edges x vertices of the Cayley graph on Z_4 x Z_4, connection set S = -S.
tmat cayley44(const ivv& S) {
    ivv edges;
    for (int v = 0; v < 16; v++)
        for (const auto& s : S) {
            int w = ((v / 4 + s[0]) % 4) * 4 + (v % 4 + s[1]) % 4;
            if (v < w) edges.push_back({v + 1, w + 1});
        }
    return from_rows(16, edges);
}

// `copies` 4-cycles, edges alternately on two marker columns, each cycle of its own
// colour: the Klein four-group acts regularly on each (a level, two automorphisms).
tmat klein_copies(int copies) {
    int N = 4 * copies + 2;
    ivv rows;
    for (int v = 1; v < N - 1; v += 4)  // a-edges 01, 23 meet column N - 1; b-edges 02, 13 column N
        for (auto [x, y, m] : {std::array{0, 1, N - 1}, {2, 3, N - 1}, {0, 2, N}, {1, 3, N}})
            rows.push_back({v + x, v + y, m});
    tmat A = from_rows(N, rows);
    for (int j = 0; j <= N; j++) A.col.push_back(j == 0 ? 0 : j < N - 1 ? (j + 3) / 4 : j - N + copies + 2);
    return A;
}

// k pairs of identical columns, each pair of its own colour (a level, an automorphism).
tmat colour_pairs(int k) {
    ivv rows;
    std::vector<int32_t> col{0};
    for (int i = 1; i <= k; i++) rows.push_back({2 * i - 1, 2 * i}), col.insert(col.end(), {i, i});
    return from_rows(2 * k, rows).with_col(col);
}

TEST(Symmetric, GroupOrdersOrbitsRelabellingAndRetries) {
    // Each case runs with room for everything (no retries, no allocation:
    // each would use up an injected failure), then from a fresh workspace
    // through the retries: eight individualised columns fit, nine need a retry
    // (out of levels); nine automorphisms fit, ten need one (out of automorphism slots).
    struct sym {
        tmat A;
        size_t order;  // 0: not checked
        int norbits, reps;
        std::vector<int> retry{};  // retries for levels and automorphisms, depth, automorphisms
    };
    std::vector<sym> cases = {
        {pg2(2), 168, 1, 4},  {pg2(3), 5616, 1, 4},  // |PGL(3,3)| = 13*12*9*4
        {pg2(4), 120960, 1, 2}, {pg2(5), 372000, 1, 2},  // |PΓL(3,4)|, |PGL(3,5)|
        {hamming_w3(4), 20160, 1, 2}, {biplane16(), 0, 1, 3},  // |GL(4,2)|
        // the 4 x 4 rook's graph, (S4 x S4) : 2, and the Shrikhande graph: both
        // strongly regular (16, 6, 2, 2), so refinement alone cannot tell them apart
        {cayley44({{1, 0}, {3, 0}, {2, 0}, {0, 1}, {0, 3}, {0, 2}}), 1152, 1, 3},
        {cayley44({{1, 0}, {3, 0}, {0, 1}, {0, 3}, {1, 1}, {3, 3}}), 192, 1, 3},
        {from_rows(10, {{1, 2}, {2, 3}, {3, 4}, {4, 5}, {5, 1}, {1, 6}, {2, 7}, {3, 8}, {4, 9}, {5, 10},
                        {6, 8}, {8, 10}, {10, 7}, {7, 9}, {9, 6}}), 120, 1, 4},  // the Petersen graph
        {colour_pairs(8), 256, 8, 0, {0, 0, 8, 8}},   {colour_pairs(9), 512, 9, 0, {1, 0, 9, 9}},
        {klein_copies(4), 256, 6, 0, {0, 0, 4, 8}},   {klein_copies(5), 1024, 7, 3, {0, 1, 5, 10}},
        {from_rows(15, {upto(15), {}}), 0, 1, 1, {2, 1, 14, 14}},  // 15 equal columns: 14 levels
        {from_rows(7, ivv(5, upto(7))), 5040, 1, 0},  // all ones
        {from_rows(3, {{1, 2}, {3}}), 2, 2, 2},        // identical columns ...
        {from_rows(3, {{1, 2}, {3}}).with_col({0, 1, 2, 1}), 1, 3, 2},  // ... of different colours
        {make_mat(0, 4), 24, 1, 0},  // without rows only colours tell columns apart
        {make_mat(0, 4).with_col({0, 1, 3, 1, 3}), 4, 2, 0},
        // colour cells {1,2}, {}, {3}: as many as the columns, yet not a leaf
        {make_mat(0, 3).with_col({0, 1, 1, 3}), 2, 2, 0},
    };
    auto cycle = [](int a, int b, ivv e) {  // edges of a cycle through a..b appended to e
        for (int i = a; i <= b; i++) e.push_back({i, i < b ? i + 1 : a});
        return e;
    };
    for (size_t n = 3; n <= 8; n++) {  // cycle of n: 2n; cycles of 3, n - 3: 6 (2n - 6), twice that for n = 6
        cases.push_back({from_rows(n, cycle(1, n, {})), 2 * n, 1, 2});
        tmat two = from_rows(n, cycle(4, n, cycle(1, 3, {})));
        if (n >= 6) cases.push_back({two, 6 * (2 * n - 6) * (1 + (n == 6)), 2 - (n == 6), 2});
    }
    const size_t fact[] = {1, 1, 2, 6, 24, 120};  // K_{a,b}: a! b!, twice that when a = b
    for (int a = 1; a <= 4; a++)
        for (int b = a; b <= 5; b++)
            cases.push_back({bipartite(a, b), fact[a] * fact[b] * (1 + (a == b)), 2 - (a == b), 2});
    for (size_t t = 0; t < cases.size(); t++) {
        const sym& c = cases[t];
        tlab roomy, fresh;
        roomy.load(c.A), LabelProbe::canon_mem(roomy.lab, 60, 60);
        failinject = 1000;
        tres ample = roomy.label(c.A);
        EXPECT_EQ(std::make_tuple(roomy.w.retries_levels, roomy.w.retries_auts, failinject), std::make_tuple(0ul, 0ul, 1000));
        failinject = 0;
        tres r = fresh.label(c.A);
        std::vector<int> got = {(int)fresh.w.retries_levels, (int)fresh.w.retries_auts, r.bestdepth, r.naut};
        EXPECT_EQ(c.retry.empty() ? c.retry : got, c.retry) << "case " << t;
        EXPECT_TRUE(ample == r) << "case " << t;
        expect_sane(c.A, r);
        EXPECT_EQ(*std::max_element(r.orbit.begin(), r.orbit.end()), c.norbits) << "case " << t;
        EXPECT_EQ(c.order ? labelledorder(fresh.lab, c.A.N).str() : "0", std::to_string(c.order)) << "case " << t;
        EXPECT_EQ(c.order && c.order < 100000 ? closure(r.autcol, c.A.N) : c.order, c.order) << "case " << t;
        std::mt19937 rng((unsigned)t);
        for (int k = 0; k < c.reps; k++) {
            tres rb = fresh.label(random_relabel(rng, c.A));
            ASSERT_EQ(std::tie(r.canon, r.certhash), std::tie(rb.canon, rb.certhash)) << "case " << t;
        }
    }
    tlab L;
    EXPECT_NE(L.label(cases[6].A).canon, L.label(cases[7].A).canon);  // rook's and Shrikhande graphs
    tres h = L.label(hamming_w3(3)), f = L.label(pg2(2));  // the [7,4] Hamming code's weight-3 words: a Fano plane
    EXPECT_EQ(std::tie(h.canon, h.certhash), std::tie(f.canon, f.certhash));
}

TEST(Canon, TwoLabellersInTwoThreadsGiveWhatOneGivesAlone) {
    // Two lists of mostly coloured random matrices of growing sizes, and
    // structures that need retries: each labeller grows its workspace while
    // the other one searches.  One labeller labels both lists first.
    std::mt19937 rng(4711);
    std::vector<tmat> in[2];
    std::vector<tres> alone[2], both[2];
    tlab one;
    for (int t = 0; t < 480; t++) {
        int s = t % 2, k = t / 2, M = 1 + (int)(rng() % (4 + k / 4)), N = 1 + (int)(rng() % (3 + k / 6));
        in[s].push_back(k % 40 == 39 ? (s ? klein_copies(5 + k / 80) : colour_pairs(9 + k / 80))
                                     : random_mat(rng, M, N, 0.1 + 0.15 * (k % 5), k % 7 ? 1 + k % 5 : 0));
        alone[s].push_back(one.label(in[s].back()));
    }
    std::atomic<int> ready{0};
    auto run = [&](int s) {
        tlab own;
        for (ready++; ready < 2;) std::this_thread::yield();  // start together
        for (const tmat& A : in[s]) both[s].push_back(own.label(A));
    };
    std::thread a(run, 0), b(run, 1);
    a.join(), b.join();
    for (int s = 0; s < 2; s++) EXPECT_TRUE(alone[s] == both[s]) << "list " << s;
}

}  // namespace
