// The steps of the labelling: refined pairs checked for equitability by
// counting, allocation failures, and the failure paths that end in the
// assertion handler after a short word on the console.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <functional>

#include "canon/canon.h"
#include "canon/canon_support.h"
#include "common/failalloc.h"
#include "common/testutil.h"

namespace {

// Each test drives the steps of one fresh labeller L (workspace w) on t.inc.
struct Steps : testing::Test {
    tlab t;
    canonws& w = t.w;
    Labeller& L = t.lab;
    // Loads m, sets up the workspace for (10, 10) and the root partitions at level 1.
    void prepare(const tmat& m) {
        t.load(m), L.canon_mem(10, 10);
        L.root_cols(w.colpart[1]), L.root_rows(w.rowpart[1]);
    }
};
using CanonFailure = Steps;

// The refinement tests run on both paths of the labeller: the reference
// (plain, parameter true) and the default one.
struct Refine : Steps, testing::WithParamInterface<bool> {
    void SetUp() override { L.set_plain(GetParam()); }
};
INSTANTIATE_TEST_SUITE_P(Paths, Refine, testing::Values(true, false),
                         [](const auto& info) { return info.param ? "plain" : "ones"; });

void set_cells(opart& p, const ivv& cs) {
    p.nc = 0, p.ne = 0;
    for (const auto& c : cs) {
        p.st[++p.nc] = p.ne + 1, p.sz[p.nc] = (int)c.size();
        for (int x : c) p.el[++p.ne] = x;
    }
}

TEST_P(Refine, RefinedPairIsEquitable) {
    // Rows of a row cell meet each column cell equally often and vice versa;
    // colour classes are never mixed.  Every third case starts from discrete
    // columns and repeated rows: then rows share a cell exactly when equal.
    std::mt19937 rng(5);
    for (int t = 0; t < 90; t++) {
        bool disc = t % 3 == 0;
        int M = disc ? 12 : 1 + (int)(rng() % 25), N = disc ? 5 : 1 + (int)(rng() % 20);
        tmat m = random_mat(rng, M, N, (t % 4 + 1) * 0.2, !disc && t % 2 ? 3 : 0);
        for (int r = 7; r <= 12 && disc; r++)
            for (int c = 1; c <= 5; c++) m.set(r, c, m.at(r - 6 + (t % 3), c));
        prepare(m);
        opart &C = w.colpart[1], &R = w.rowpart[1];
        if (disc) set_cells(C, {{1}, {2}, {3}, {4}, {5}});
        if (!m.col.empty()) std::copy(m.col.begin(), m.col.end(), w.colour), L.colour_part(C);
        L.refine(C, R, Refinement::root);
        L.cell_index(C), L.cell_index(R, 1);
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

// f must stop in the handler with `out` first on the console (the handler's
// "ERROR": nothing is printed before it) and
// "zorbel file <unit>: line <n>: assertion failed: (<text>)" in ERRORq.txt.
void expect_stop(const std::function<void()>& f, const std::string& out, const std::string& text,
                 const std::string& unit = "canon") {
    tempdir d;
    auto into = [&] {
        if (chdir(d.path.c_str()) != 0) _exit(99);
        if (!freopen("/dev/null", "r", stdin) || !freopen("out.txt", "w", stdout)) _exit(98);
    };
    EXPECT_EXIT((into(), f()), testing::ExitedWithCode(ZFAIL_EXIT), "");
    EXPECT_EQ(readfile(d.file("out.txt")).substr(0, out.size()), out);
    std::string err = readfile(d.file("ERRORq.txt"));
    EXPECT_EQ(err.rfind("zorbel file " + unit + ": line ", 0), 0u) << err;
    EXPECT_NE(err.find(": assertion failed: (" + text + ")\n"), std::string::npos) << err;
}

TEST_F(CanonFailure, FailedAllocationsAndCorruptedStates) {
    // A refused block is asked for again; a workspace that cannot be made
    // stops in the handler, naming it.
    t.load(make_mat(2, 3));
    failinject = 1;
    L.canon_mem(10, 10);
    EXPECT_EQ(std::make_tuple(failinject, w.capl, w.capn), std::make_tuple(0, 11, 4));
    tlab fresh;
    fresh.load(make_mat(2, 3));
    expect_stop([&] { failinject = 2, fresh.lab.canon_mem(10, 10); }, "ERROR",
                "no memory for the workspace of a labelling", "containers");
    // Corrupted states stop in the handler.
    prepare(make_mat(2, 3));
    w.colpart[1].sz[1] = w.colpart[1].ne = 2;  // column 3 dropped
    expect_stop([&] { L.cell_index(w.colpart[1]); }, "ERROR", "every column in the partition");
    prepare(make_mat(3, 2));
    w.rowpart[1].el[2] = 1;  // row 2 replaced by a second row 1
    expect_stop([&] { L.cell_index(w.rowpart[1], 1); }, "ERROR", "every row in the partition");
    prepare(make_mat(1, 2));
    w.colpart[1].sz[1] = 0;
    expect_stop([&] { L.target_cell(w.colpart[1]); }, "ERROR", "a cell with elements to individualise");
    int32_t a[4] = {0, 3, 1, 2}, b[4] = {0, 3, 1, 2}, c[4] = {0, 3, 2, 2};
    EXPECT_EQ(diverge_level(a, c, 3), 2);
    expect_stop([&] { diverge_level(a, b, 3); }, "ERROR", "a path that differs from the best path");
    tmat A = make_mat(2, 3).with_col({0, 1, 4, 1});
    expect_stop([&] { t.label(A); }, "", "colour<1||colour>N");
}

}  // namespace
