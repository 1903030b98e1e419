// The labelling against independent oracles: random relabelling must not
// change the canonical matrix or the certificate (metamorphic), matrices
// that are not isomorphic (decided by trying all column permutations) must
// get different canonical matrices, and the column orbits must equal those
// of the full automorphism group found by brute force.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>

#include "canon/canon.h"
#include "canon/canon_support.h"

namespace {

void expect_permutation(const std::vector<int32_t>& v, int n) {
    std::vector<int> seen(n + 1, 0);
    ASSERT_EQ((int)v.size(), n + 1);
    for (int i = 1; i <= n; i++) {
        ASSERT_GE(v[i], 1);
        ASSERT_LE(v[i], n);
        EXPECT_EQ(seen[v[i]]++, 0);
    }
}

// Orbits of B = relabel(A, rp, cp) must be the images of A's orbits:
// columns j, k of B share an orbit exactly when cp[j], cp[k] do in A.
void expect_orbits_follow(const tres& ra, const tres& rb, const std::vector<int>& cp, int N) {
    for (int j = 1; j <= N; j++)
        for (int k = j + 1; k <= N; k++)
            EXPECT_EQ(rb.orbit[j] == rb.orbit[k], ra.orbit[cp[j]] == ra.orbit[cp[k]]);
}

// Common checks on one result.
void expect_sane(const tmat& A, const tres& r) {
    expect_permutation(r.bestcol, A.N);
    expect_permutation(r.bestrow, A.M);
    EXPECT_LT(r.certhash, 1111111u);
    EXPECT_TRUE(auts_valid(A, r));
    // the orbits are exactly those of the stored automorphisms
    EXPECT_EQ(orbit_minima(r.orbit, A.N), aut_orbits(r, A.N));
    // orbmin marks the smallest column of each orbit
    std::vector<int> mins = orbit_minima(r.orbit, A.N);
    for (int j = 1; j <= A.N; j++) EXPECT_EQ(r.orbmin[j], mins[j] == j ? 1 : 0);
    EXPECT_EQ(cws.cstatus, 0);
    EXPECT_LE(r.naut, std::max(0, A.N - 1));
}

void invariance_round(std::mt19937& rng, const tmat& A, int reps) {
    tres ra = label(A);
    expect_sane(A, ra);
    // the canonical matrix is its own canonical form
    tmat C = make_mat(A.M, A.N);
    C.a = ra.canon;
    if (!A.col.empty()) {
        C.col.assign(1, 0);
        C.col.insert(C.col.end(), ra.canoncol.begin(), ra.canoncol.end());
    }
    EXPECT_EQ(label(C).canon, ra.canon);
    for (int t = 0; t < reps; t++) {
        std::vector<int> rp = random_perm(rng, A.M), cp = random_perm(rng, A.N);
        tmat B = relabel(A, rp, cp);
        tres rb = label(B);
        expect_sane(B, rb);
        ASSERT_EQ(ra.canon, rb.canon) << "M=" << A.M << " N=" << A.N;
        EXPECT_EQ(ra.canoncol, rb.canoncol);
        EXPECT_EQ(ra.certhash, rb.certhash);
        EXPECT_EQ(ra.bestdepth, rb.bestdepth);
        expect_orbits_follow(ra, rb, cp, A.N);
    }
}

TEST(Canon, InvariantUnderRelabellingOfRandomMatrices) {
    std::mt19937 rng(2024);
    const double dens[] = {0.05, 0.2, 0.5, 0.8};
    int sizes[][2] = {{1, 1}, {1, 3}, {3, 1}, {2, 2}, {4, 3}, {5, 5}, {8, 6}, {12, 8}, {20, 10},
                      {16, 16}, {30, 20}, {45, 30}, {60, 40}, {25, 40}, {7, 12}};
    for (auto& s : sizes)
        for (double d : dens)
            for (int colours : {0, 2, 5}) invariance_round(rng, random_mat(rng, s[0], s[1], d, colours), 3);
}

// Random structures with many repeated rows and columns, where the search
// tree is deep and wide.
TEST(Canon, InvariantUnderRelabellingOfRepetitiveMatrices) {
    std::mt19937 rng(99);
    for (int t = 0; t < 40; t++) {
        int M = 4 + (int)(rng() % 20), N = 3 + (int)(rng() % 14);
        tmat base = random_mat(rng, 3, 4, 0.5, 0);
        tmat A = make_mat(M, N);
        for (int i = 1; i <= M; i++)
            for (int j = 1; j <= N; j++) A.set(i, j, base.at(1 + (i % 3), 1 + (j % 4)) ^ ((i * j) % 7 == 0));
        if (t % 2) {
            A.col.assign(N + 1, 0);
            for (int j = 1; j <= N; j++) A.col[j] = 1 + (j % 2);
        }
        invariance_round(rng, A, 4);
    }
}

TEST(Canon, DistinguishesNonIsomorphicSmallMatrices) {
    std::mt19937 rng(31337);
    int pairs = 0, iso = 0;
    for (int t = 0; t < 400; t++) {
        int M = 1 + (int)(rng() % 6), N = 1 + (int)(rng() % 6);
        int colours = t % 3 == 0 ? 2 : 0;
        double d = 0.2 + 0.15 * (t % 4);
        tmat A = random_mat(rng, M, N, d, colours);
        // B: a small change of A (often isomorphic, often not), relabelled.
        tmat B = A;
        int r = 1 + (int)(rng() % M), c = 1 + (int)(rng() % N);
        if (t % 2) B.set(r, c, B.at(r, c) ^ 1);
        if (colours && N >= 2 && t % 5 == 0) B.col[c] = 3 - B.col[c];
        B = random_relabel(rng, B);
        tres ra = label(A), rb = label(B);
        bool same = ra.canon == rb.canon && ra.canoncol == rb.canoncol;
        bool truth = brute_iso(A, B);
        ASSERT_EQ(same, truth) << "t=" << t;
        if (truth) {
            EXPECT_EQ(ra.certhash, rb.certhash);
        }
        pairs++;
        iso += truth;
    }
    // both outcomes occur often enough to mean something
    EXPECT_GT(iso, 60);
    EXPECT_GT(pairs - iso, 60);
}

TEST(Canon, ExhaustiveSmallShapesHaveOneFormPerClass) {
    // All 2^(3*3) matrices of 3 x 3: the number of distinct canonical
    // matrices equals the number of isomorphism classes by brute force.
    std::vector<tmat> reps;
    std::set<std::string> forms;
    for (int bits = 0; bits < 512; bits++) {
        tmat A = make_mat(3, 3);
        for (int k = 0; k < 9; k++) A.a[k] = (bits >> k) & 1;
        std::vector<uint8_t> f = label(A).canon;
        forms.insert(std::string(f.begin(), f.end()));
        bool found = false;
        for (const tmat& R : reps)
            if (brute_iso(A, R)) {
                found = true;
                break;
            }
        if (!found) reps.push_back(A);
    }
    EXPECT_EQ(forms.size(), reps.size());
    EXPECT_EQ(reps.size(), 36u);  // 0/1 matrices of 3 x 3 up to row and column permutations
}

TEST(Canon, FourByFourMatricesFall317Classes) {
    // The number of 0/1 matrices of 4 x 4 up to row and column permutations
    // is 317 (a classical count); every one of the 65536 must land on its
    // class's form, and a form labelled again must give itself.
    std::set<std::string> forms;
    for (int bits = 0; bits < 65536; bits++) {
        tmat A = make_mat(4, 4);
        for (int k = 0; k < 16; k++) A.a[k] = (bits >> k) & 1;
        std::vector<uint8_t> f = label(A).canon;
        forms.insert(std::string(f.begin(), f.end()));
    }
    EXPECT_EQ(forms.size(), 317u);
    for (const std::string& f : forms) {
        tmat A = make_mat(4, 4);
        A.a.assign(f.begin(), f.end());
        EXPECT_EQ(label(A).canon, A.a);
    }
}

TEST(Canon, OrbitsEqualThoseOfTheFullGroup) {
    std::mt19937 rng(4242);
    for (int t = 0; t < 150; t++) {
        int N = 1 + (int)(rng() % 8), M = 1 + (int)(rng() % 10);
        tmat A;
        if (t % 3 == 0) {
            // symmetric: columns repeated in blocks
            tmat base = random_mat(rng, M, (N + 1) / 2, 0.5, 0);
            A = make_mat(M, N);
            for (int i = 1; i <= M; i++)
                for (int j = 1; j <= N; j++) A.set(i, j, base.at(i, 1 + (j - 1) % base.N));
        } else {
            A = random_mat(rng, M, N, 0.3 + 0.1 * (t % 4), 0);
        }
        if (t % 4 == 1) {
            A.col.assign(N + 1, 0);
            for (int j = 1; j <= N; j++) A.col[j] = 1 + (int)(rng() % std::min(2, N));
        }
        tres r = label(A);
        expect_sane(A, r);
        ASSERT_EQ(orbit_minima(r.orbit, N), brute_orbits(A)) << "t=" << t;
    }
}

TEST(Canon, OrbitsOfStructuredSmallInputs) {
    // cycles, their complements and unions, where the group is large and
    // the leaves are many
    for (int n = 3; n <= 8; n++) {
        tmat C = make_mat(n, n);  // edges x vertices of the n-cycle
        for (int i = 1; i <= n; i++) {
            C.set(i, i, 1);
            C.set(i, i % n + 1, 1);
        }
        tres r = label(C);
        expect_sane(C, r);
        EXPECT_EQ(orbit_minima(r.orbit, n), brute_orbits(C));
        // two disjoint cycles of lengths 3 and n - 3
        if (n >= 6) {
            tmat D = make_mat(n, n);
            for (int i = 1; i <= 3; i++) D.set(i, i, 1), D.set(i, i % 3 + 1, 1);
            for (int i = 4; i <= n; i++) D.set(i, i, 1), D.set(i, i == n ? 4 : i + 1, 1);
            tres rd = label(D);
            expect_sane(D, rd);
            EXPECT_EQ(orbit_minima(rd.orbit, n), brute_orbits(D));
        }
    }
}

TEST(Canon, AllColumnsIdenticalFormOneOrbit) {
    for (int N : {1, 2, 5, 9}) {
        tmat A = make_mat(3, N);
        for (int j = 1; j <= N; j++) A.set(2, j, 1);
        tres r = label(A);
        expect_sane(A, r);
        for (int j = 1; j <= N; j++) {
            EXPECT_EQ(r.orbit[j], 1);
            EXPECT_EQ(r.orbmin[j], j == 1 ? 1 : 0);
        }
    }
}

TEST(Canon, ColoursSeparateOtherwiseEquivalentColumns) {
    // Two identical columns of different colours are not in one orbit, and a
    // column permutation that does not carry the colours along changes the
    // canonical form.
    tmat A = make_mat(2, 3);
    A.set(1, 1, 1), A.set(1, 2, 1), A.set(2, 3, 1);
    A.col = {0, 1, 2, 1};
    tres r = label(A);
    EXPECT_NE(r.orbit[1], r.orbit[2]);
    tmat B = A;
    B.col = {0, 1, 1, 2};  // same matrix, colours moved
    tres rb = label(B);
    EXPECT_FALSE(rb.canon == r.canon && rb.canoncol == r.canoncol);
    EXPECT_FALSE(brute_iso(A, B));
    // plain mode: one orbit {1, 2}
    A.col.clear();
    tres rp = label(A);
    EXPECT_EQ(rp.orbit[1], rp.orbit[2]);
}

TEST(Canon, MatrixWithoutRows) {
    // No rows: every column of one colour is equivalent.
    tmat A = make_mat(0, 4);
    A.col = {0, 1, 3, 1, 3};
    tres r = label(A);
    expect_sane(A, r);
    EXPECT_EQ(orbit_minima(r.orbit, 4), (std::vector<int>{0, 1, 2, 1, 2}));
    A.col.clear();
    r = label(A);
    EXPECT_EQ(orbit_minima(r.orbit, 4), (std::vector<int>{0, 1, 1, 1, 1}));
    // Colours 1, 1, 3: the colour partition {1,2}, {}, {3} has as many cells
    // as elements; without rows nothing removes the empty cell, and counting
    // cells alone would take it for a leaf and miss the swap of 1 and 2.
    tmat B = make_mat(0, 3);
    B.col = {0, 1, 1, 3};
    r = label(B);
    expect_sane(B, r);
    EXPECT_EQ(orbit_minima(r.orbit, 3), (std::vector<int>{0, 1, 1, 3}));
    EXPECT_EQ(r.bestdepth, 1);
}

TEST(Canon, SearchAllocatesNothingOnceTheWorkspaceFits) {
    // Every allocation attempt through the containers would consume one
    // injected failure (and stop the search); none may happen.
    tmat A = pg2(3);
    load(A);
    canon_mem(40, 40);
    cs_failinject = 1000;
    canon_code(0, nullptr);
    int left = cs_failinject;
    cs_failinject = 0;
    EXPECT_EQ(left, 1000);
    EXPECT_EQ(cws.cstatus, 0);
    cell_index(cws.orbits);
    for (int j = 1; j <= A.N; j++) EXPECT_EQ(cws.cellcol[j], 1);
}

TEST(Canon, EarlierResultsDoNotLeakIntoLaterOnes) {
    // The same input gives the same result whatever ran before it.
    std::mt19937 rng(8);
    tmat A = random_mat(rng, 14, 9, 0.4, 0);
    tres first = label(A);
    for (int t = 0; t < 5; t++) label(random_mat(rng, 30 + t, 20 + t, 0.3, 3));
    tres again = label(A);
    EXPECT_EQ(first.canon, again.canon);
    EXPECT_EQ(first.bestcol, again.bestcol);
    EXPECT_EQ(first.bestrow, again.bestrow);
    EXPECT_EQ(first.certhash, again.certhash);
    EXPECT_EQ(first.orbit, again.orbit);
}

}  // namespace
