// The labelling on the matrices of real runs: the dumps a labeller writes
// read back as the matrices it labelled; on the committed samples of every
// field (bench/labelling/) and on random matrices the default path of the
// labeller gives what the reference path gives, the forms stay under
// random relabelling, and the refined root tells where the last column of
// each colour lies.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <numeric>

#include "canon/canon.h"
#include "canon/canon_support.h"
#include "canon/labeldump.h"
#include "common/testutil.h"

namespace {

// The samples beside the benchmark, found from this file's own path.
std::vector<tmat> sample(int q) {
    std::string here = __FILE__;
    std::string path = here.substr(0, here.rfind("/tests/")) + "/bench/labelling/q" + std::to_string(q) + ".dump";
    std::vector<tmat> out;
    for (const DumpedMatrix& d : dump_read(path)) out.push_back(tmat{d.M, d.N, d.a, d.colour});
    return out;
}

tmat from_dump(const DumpedMatrix& d) { return tmat{d.M, d.N, d.a, d.colour}; }

TEST(Dump, ALabellerWritesWhatItLabelsWhenAsked) {
    // Plain and coloured, without rows, with empty rows and columns.
    std::mt19937 rng(99);
    // The last one is wide enough for numbers of three digits (columns and
    // colours past 1024), each column of its own colour.
    std::vector<int32_t> own(1101);
    std::iota(own.begin(), own.end(), 0);
    std::vector<tmat> in = {random_mat(rng, 5, 7, 0.4, 0), random_mat(rng, 12, 40, 0.1, 3), make_mat(0, 3),
                            from_rows(4, {{}, {1, 4}, {}}), random_mat(rng, 40, 3, 0.5, 0),
                            random_mat(rng, 3, 1100, 0.1, 0).with_col(own)};
    tempdir dir;
    const std::string path = dir.file("dump");
    setenv("TALVEN_DUMP_LABELLING", path.c_str(), 1);
    {
        tlab L;
        unsetenv("TALVEN_DUMP_LABELLING");
        tlab quiet;  // made without the variable: writes nothing
        for (const tmat& A : in) L.label(A), quiet.label(A);
    }
    std::vector<DumpedMatrix> back = dump_read(path);
    ASSERT_EQ(back.size(), in.size());
    for (size_t i = 0; i < in.size(); i++) {
        tmat B = from_dump(back[i]);
        EXPECT_EQ(std::tie(B.M, B.N, B.a, B.col), std::tie(in[i].M, in[i].N, in[i].a, in[i].col)) << i;
    }
}

TEST(Dump, DamagedLinesAreRefused) {
    DumpedMatrix m;
    for (const char* bad : {"", "x12", "p", "p23", "p12z", "c1211", "p1211"})  // 1 x 2, a row of one one: "p1211"
        EXPECT_EQ(dump_parse(bad, m), std::string(bad) == "p1211") << bad;
}

// Everything a labelling leaves that does not depend on the order of the
// elements inside a cell: the canonical matrix and colours, the canonical
// column order, orbits, automorphisms on the columns, certificate, the
// invariants of the first and the best path and the number of nodes.
struct outcome {
    tres r;
    std::vector<int32_t> firstpath, bestpath, firstinv, firstref, bestinv, bestref;
    uint64_t nodes;
    bool operator==(const outcome& o) const {
        auto key = [](const outcome& x) {
            return std::tie(x.r.canon, x.r.canoncol, x.r.bestcol, x.r.orbit, x.r.orbmin, x.r.certhash, x.r.bestdepth,
                            x.r.naut, x.r.autcol, x.firstpath, x.bestpath, x.firstinv, x.firstref, x.bestinv,
                            x.bestref, x.nodes);
        };
        return key(*this) == key(o);
    }
};

outcome run(tlab& L, const tmat& A) {
    outcome o;
    uint64_t before = L.w.nodes;
    o.r = L.label(A);
    o.nodes = L.w.nodes - before;
    const canonws& w = L.w;
    auto take = [](const int32_t* a, int n) { return std::vector<int32_t>(a + 1, a + 1 + n); };
    o.firstpath = take(w.firstpath.el, w.firstdepth), o.bestpath = take(w.bestpath.el, w.bestdepth);
    o.firstinv = take(w.firstinv, w.firstdepth), o.firstref = take(w.firstref, w.firstdepth);
    o.bestinv = take(w.bestinv, w.bestdepth), o.bestref = take(w.bestref, w.bestdepth);
    EXPECT_TRUE(auts_valid(A, o.r));  // the row images may differ between the paths, but must fit
    return o;
}

// What lets a caller decide from the refined root alone: the last column of
// each colour lies with its orbit in the last root cell of that colour (L
// has just labelled A, giving r).  Also: labelling in two steps is
// labelling, and a watched root decides as the refined root does (and, when
// it goes on, labels alike).
void lastcell(const tlab& L, const tres& r, const tmat& A, std::mt19937& rng, tlab& two, tlab& watched) {
    const int x = 1 + (int)(rng() % A.N), y = (int)(rng() % (A.N + 1)), colour = A.col[1 + (int)(rng() % A.N)];
    watched.load(A);
    const bool on = watched.lab.label_root_watch(watched.inc, A.col.data(), colour, x, y);
    ASSERT_EQ(on, L.lab.root_last_cell_has(x, colour) || (y != 0 && L.lab.root_last_cell_has(y, colour)));
    if (on) {
        watched.lab.label_rest();
        ASSERT_EQ(watched.w.certhash, r.certhash);
        ASSERT_TRUE(std::equal(r.bestcol.begin() + 1, r.bestcol.end(), watched.w.bestcol.el + 1));
    }
    two.load(A);
    two.lab.label_root(two.inc, A.col.data());
    two.lab.label_rest();
    ASSERT_EQ(std::tie(two.w.certhash, two.w.naut), std::tie(r.certhash, r.naut));
    ASSERT_TRUE(std::equal(r.bestcol.begin() + 1, r.bestcol.end(), two.w.bestcol.el + 1));
    std::vector<bool> seen(A.N + 1, false);
    for (int j = A.N; j >= 1; j--) {
        const int p = r.bestcol[j], c = A.col[p];
        if (seen[c]) continue;
        seen[c] = true;
        for (int z = 1; z <= A.N; z++) {  // the orbit in the cell, the cell within the colour
            ASSERT_TRUE(r.orbit[z] != r.orbit[p] || L.lab.root_last_cell_has(z, c)) << z;
            ASSERT_TRUE(A.col[z] == c || !L.lab.root_last_cell_has(z, c)) << z;
        }
    }
}

TEST(Samples, DefaultPathGivesWhatTheReferenceGives) {
    // The samples of every field (the dense q = 7 matrices of up to 1,800
    // ones among them), random coloured and plain matrices of many shapes
    // and densities, and matrices of many repeated rows and columns (deep
    // trees, many automorphisms).  On the coloured ones also the checks of
    // the refined root (lastcell).
    std::mt19937 rng(2718);
    std::vector<tmat> mats;
    for (int q : {2, 3, 4, 5, 7}) {
        std::vector<tmat> s = sample(q);
        ASSERT_GE(s.size(), 100u) << q;
        mats.insert(mats.end(), s.begin(), s.end());
    }
    for (int t = 0; t < 300; t++) {
        int M = 1 + (int)(rng() % 40), N = 1 + (int)(rng() % 30);
        tmat A = random_mat(rng, M, N, 0.05 + 0.1 * (t % 8), t % 3 ? 1 + t % 6 : 0), base = random_mat(rng, 3, 5, 0.5, 0);
        for (int i = 1; i <= M && t % 4 == 0; i++)
            for (int j = 1; j <= N; j++) A.set(i, j, base.at(1 + i % 3, 1 + j % 5) ^ ((i * j) % 11 == 0));
        mats.push_back(A);
    }
    for (tmat A : {pg2(3), pg2(5), hamming_w3(4), biplane16(), bipartite(3, 4)}) mats.push_back(A);
    tlab plain, ones, two, watched;
    plain.lab.set_plain(true);
    for (size_t i = 0; i < mats.size(); i++) {
        const outcome a = run(plain, mats[i]);
        ASSERT_TRUE(a == run(ones, mats[i])) << "matrix " << i;
        if (!mats[i].col.empty()) lastcell(ones, a.r, mats[i], rng, two, watched);
        ASSERT_FALSE(HasFatalFailure()) << "matrix " << i;
        tres b = ones.label(random_relabel(rng, mats[i]));  // and the form stays under relabelling
        ASSERT_EQ(std::tie(a.r.canon, a.r.canoncol, a.r.certhash), std::tie(b.canon, b.canoncol, b.certhash)) << i;
    }
}

}  // namespace
