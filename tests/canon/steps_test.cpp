// The steps and the two paths of the labelling: refined pairs equitable by
// counting; failed allocations and corrupted states; dumps read back as the
// matrices labelled; on the committed samples of every field (bench/labelling/)
// and random matrices the default path gives what the reference path gives,
// and the refined root tells where the last column of each colour lies.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>
#include <array>
#include <functional>
#include <iterator>
#include <numeric>

#include "canon/canon_support.h"
#include "canon/labeldump.h"
#include "containers/containers.h"
#include "common/testutil.h"

namespace {

struct Steps : testing::Test {
    tlab t;
    LabelWorkspace& w = t.w;
    Labeller& L = t.lab;
    void prepare(const tmat& m) {
        t.load(m), LabelProbe::canon_mem(L, 10, 10);
        LabelProbe::root_cols(L, w.colpart[1]), LabelProbe::root_rows(L, w.rowpart[1]);
    }
};
using CanonFailure = Steps;

// The refinement on both paths: the reference (plain, parameter true) and the default one.
struct Refine : Steps, testing::WithParamInterface<bool> {
    void SetUp() override { L.set_plain(GetParam()); }
};
INSTANTIATE_TEST_SUITE_P(Paths, Refine, testing::Values(true, false),
                         [](const auto& info) { return info.param ? "plain" : "ones"; });

TEST_P(Refine, RefinedPairIsEquitable) {
    // Rows of a row cell meet each column cell equally often and vice versa;
    // colour classes are never mixed.  Every third case starts from discrete
    // columns and repeated rows: then rows share a cell exactly when equal.
    std::mt19937 rng(5);
    for (int t = 0; t < 90; t++) {
        bool disc = t % 3 == 0;
        int M = disc ? 12 : 1 + (int)(rng() % 25), N = disc ? 5 : 1 + (int)(rng() % 20);
        tmat m = random_mat(rng, M, N, (t % 4 + 1) * 0.2, !disc && t % 2 ? 3 : 0);
        if (disc) m.col = {0, 1, 2, 3, 4, 5};  // columns of five colours: discrete
        for (int r = 7; r <= 12 && disc; r++)
            for (int c = 1; c <= 5; c++) m.set(r, c, m.at(r - 6 + (t % 3), c));
        prepare(m);
        Partition &C = w.colpart[1], &R = w.rowpart[1];
        if (!m.col.empty()) std::copy(m.col.begin(), m.col.end(), w.colour), LabelProbe::colour_part(L, C);
        LabelProbe::refine(L, C, R, Refinement::root);
        LabelProbe::cell_index(L, C), LabelProbe::cell_index(L, R, 1);
        ivv rc(M + 1, std::vector<int>(C.nc + 1)), cr(N + 1, std::vector<int>(R.nc + 1));
        for (int i = 1; i <= M; i++)
            for (int j = 1; j <= N; j++) rc[i][w.cellcol[j]] += m.at(i, j), cr[j][w.cellrow[i]] += m.at(i, j);
        for (int i = 1; i <= M; i++) EXPECT_EQ(rc[i], rc[R.el[R.st[w.cellrow[i]]]]) << t;
        for (int j = 1; j <= N; j++) EXPECT_EQ(cr[j], cr[C.el[C.st[w.cellcol[j]]]]) << t;
        for (int j = 1; j <= N && !m.col.empty(); j++) EXPECT_EQ(m.col[j], m.col[C.el[C.st[w.cellcol[j]]]]);
        for (int a = 1; a <= M && disc; a++)
            for (int b = 1; b <= M; b++) EXPECT_EQ(rc[a] == rc[b], w.cellrow[a] == w.cellrow[b]) << t;
    }
}

// f must stop in the handler with `out` first on the console and "zorbel file
// <unit>: line <n>: assertion failed: (<text>)" in ERRORq.txt.
void expect_stop(const std::function<void()>& f, const std::string& out, const std::string& text,
                 const std::string& unit = "canon") {
    handlerstop h = stopsinhandler(f);
    EXPECT_EQ(h.console.substr(0, out.size()), out);
    EXPECT_EQ(h.error.rfind("zorbel file " + unit + ": line ", 0), 0u) << h.error;
    EXPECT_NE(h.error.find(": assertion failed: (" + text + ")\n"), std::string::npos) << h.error;
}

TEST_F(CanonFailure, FailedAllocationsAndCorruptedStates) {
    // A refused block is asked for again; a workspace that cannot be made
    // stops in the handler, naming it.
    t.load(make_mat(2, 3));
    failinject = 1;
    LabelProbe::canon_mem(L, 10, 10);
    EXPECT_EQ(std::make_tuple(failinject, w.maxlevels, w.maxcols), std::make_tuple(0, 11, 4));
    tlab fresh;
    fresh.load(make_mat(2, 3));
    expect_stop([&] { failinject = 2, LabelProbe::canon_mem(fresh.lab, 10, 10); }, "ERROR",
                "no memory for the workspace of a labelling", "containers");
    prepare(make_mat(2, 3));
    w.colpart[1].sz[1] = w.colpart[1].ne = 2;  // column 3 dropped
    expect_stop([&] { LabelProbe::cell_index(L, w.colpart[1]); }, "ERROR", "every column in the partition");
    prepare(make_mat(3, 2));
    w.rowpart[1].el[2] = 1;  // row 2 replaced by a second row 1
    expect_stop([&] { LabelProbe::cell_index(L, w.rowpart[1], 1); }, "ERROR", "every row in the partition");
    prepare(make_mat(1, 2));
    w.colpart[1].sz[1] = 0;
    expect_stop([&] { LabelProbe::target_cell(w.colpart[1]); }, "ERROR", "a cell with elements to individualise");
    int32_t a[4] = {0, 3, 1, 2}, b[4] = {0, 3, 1, 2}, c[4] = {0, 3, 2, 2};
    EXPECT_EQ(diverge_level(a, c, 3), 2);
    expect_stop([&] { diverge_level(a, b, 3); }, "ERROR", "a path that differs from the best path");
    expect_stop([&] { t.label(make_mat(2, 3).with_col({0, 1, 4, 1})); }, "", "colours in 1..N");
}

tmat from_dump(const DumpedMatrix& d) { return tmat{d.M, d.N, d.a, d.colour}; }

TEST(Dump, ALabellerWritesWhatItLabelsWhenAsked) {
    // Plain and coloured, without rows, with empty rows and columns, and one of
    // 1100 columns of their own colours (numbers of three digits past 1024).
    std::mt19937 rng(99);
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
    for (size_t i = 0; i < in.size(); i++) EXPECT_TRUE(from_dump(back[i]) == in[i]) << i;
}

TEST(Dump, DamagedLinesAreRefused) {
    DumpedMatrix m;
    for (const char* bad : {"", "x12", "p", "p23", "p12z", "c1211", "p1211"})  // 1 x 2, a row of one one: "p1211"
        EXPECT_EQ(dump_parse(bad, m), std::string(bad) == "p1211") << bad;
}

// Everything a labelling leaves that does not depend on the order of the
// elements inside a cell: the result but the row images, the first and the
// best path with their invariants and refinement hashes, and the number of nodes.
struct outcome {
    tres r;
    std::array<std::vector<int32_t>, 6> paths;
    uint64_t nodes;
    bool operator==(const outcome&) const = default;
};

outcome run(tlab& L, const tmat& A) {
    outcome o;
    uint64_t before = L.w.nodes;
    o.r = L.label(A);
    o.nodes = L.w.nodes - before;
    const LabelWorkspace& w = L.w;
    const int32_t* from[] = {w.firstpath.el, w.firstinv, w.firstref, w.bestpath.el, w.bestinv, w.bestref};
    for (int i = 0; i < 6; i++) o.paths[i].assign(from[i] + 1, from[i] + 1 + (i < 3 ? w.firstdepth : w.bestdepth));
    EXPECT_TRUE(auts_valid(A, o.r));  // the row images may differ between the paths, but must fit
    o.r.bestrow.clear();
    o.r.autrow.clear();
    return o;
}

// What lets a caller decide from the refined root alone: the last column of
// each colour lies with its orbit in the last root cell of that colour (L has
// just labelled A, giving r); a watched root decides as the refined root does
// and, when it goes on, labels alike.
void lastcell(const tlab& L, const tres& r, const tmat& A, std::mt19937& rng, tlab& watched) {
    const int x = 1 + (int)(rng() % A.N), y = (int)(rng() % (A.N + 1)), colour = A.col[1 + (int)(rng() % A.N)];
    watched.load(A);
    const bool on = watched.lab.label_root_watch(watched.inc, A.col.data(), colour, x, y);
    ASSERT_EQ(on, L.lab.root_last_cell_has(x, colour) || (y != 0 && L.lab.root_last_cell_has(y, colour)));
    if (on) {
        watched.lab.label_rest();
        ASSERT_EQ(watched.w.certhash, r.certhash);
        ASSERT_TRUE(std::equal(r.bestcol.begin() + 1, r.bestcol.end(), watched.w.bestcol.el + 1));
    }
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
    // The samples of every field (dense q = 7 matrices of up to 1,800 ones
    // among them), random matrices of many shapes and densities, some of many
    // repeated rows and columns (deep trees); forms stay under relabelling.
    std::mt19937 rng(2718);
    std::vector<tmat> mats;
    const std::string here = __FILE__, samples = here.substr(0, here.rfind("/tests/")) + "/bench/labelling/q";
    for (int q : {2, 3, 4, 5, 7}) {
        std::vector<DumpedMatrix> s = dump_read(samples + std::to_string(q) + ".dump");
        ASSERT_GE(s.size(), 100u) << q;
        std::transform(s.begin(), s.end(), std::back_inserter(mats), from_dump);
    }
    for (int t = 0; t < 300; t++) {
        int M = 1 + (int)(rng() % 40), N = 1 + (int)(rng() % 30);
        tmat A = random_mat(rng, M, N, 0.05 + 0.1 * (t % 8), t % 3 ? 1 + t % 6 : 0), base = random_mat(rng, 3, 5, 0.5, 0);
        for (int i = 1; i <= M && t % 4 == 0; i++)
            for (int j = 1; j <= N; j++) A.set(i, j, base.at(1 + i % 3, 1 + j % 5) ^ ((i * j) % 11 == 0));
        mats.push_back(A);
    }
    for (tmat A : {pg2(3), pg2(5), hamming_w3(4), biplane16(), bipartite(3, 4)}) mats.push_back(A);
    tlab plain, ones, watched;
    plain.lab.set_plain(true);
    for (size_t i = 0; i < mats.size(); i++) {
        const outcome a = run(plain, mats[i]);
        ASSERT_TRUE(a == run(ones, mats[i])) << "matrix " << i;
        if (!mats[i].col.empty()) lastcell(ones, a.r, mats[i], rng, watched);
        ASSERT_FALSE(HasFatalFailure()) << "matrix " << i;
        tres b = ones.label(random_relabel(rng, mats[i]));
        ASSERT_EQ(std::tie(a.r.canon, a.r.canoncol, a.r.certhash), std::tie(b.canon, b.canoncol, b.certhash)) << i;
    }
}

}  // namespace
