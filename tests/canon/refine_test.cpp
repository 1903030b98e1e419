// Refinement, target cell, individualisation, cell numbers and the node
// invariant on small matrices whose outcome is worked out by hand.
#include <gtest/gtest.h>

#include <vector>

#include "canon/canon.h"
#include "canon/canon_support.h"

namespace {

// Loads m and prepares the workspace; level-1 partitions are the roots.
void prepare(const tmat& m) {
    load(m);
    canon_mem(10, 10);
    root_cols(cws.colpart[1]);
    root_rows(cws.rowpart[1]);
}

std::vector<std::vector<int>> cells(const opart& p) {
    std::vector<std::vector<int>> out;
    for (int c = 1; c <= p.nc; c++) {
        std::vector<int> cell;
        for (int i = p.st[c]; i < p.st[c] + p.sz[c]; i++) cell.push_back(p.el[i]);
        out.push_back(cell);
    }
    return out;
}

using vv = std::vector<std::vector<int>>;

TEST(Refine, UnsplitCellsStillAddToTheHash) {
    // 3 x 2 of ones: nothing splits.  rows: 3*1*3 = 9; columns: 9 + 5*1*2 = 19;
    // rows again: (19 + 9) mod 11 = 6, no change, stop.
    tmat m = make_mat(3, 2);
    for (auto& x : m.a) x = 1;
    prepare(m);
    refine(cws.colpart[1], cws.rowpart[1], 0);
    EXPECT_EQ(cws.rhash, 6u);
    EXPECT_EQ(cells(cws.colpart[1]), (vv{{1, 2}}));
    EXPECT_EQ(cells(cws.rowpart[1]), (vv{{1, 2, 3}}));
    EXPECT_EQ(cws.colspl.cnt, 0);
}

TEST(Refine, RootThatBecomesDiscrete) {
    // rows [1 1] and [1 0].  rows pass against {1,2}: counts 2, 1 -> pieces
    // {2} (start 1), {1} (start 2): hash 3, then 9.  columns pass against row
    // cell {2}: counts 1, 0 -> {2}, {1}: hash 14, then 24.  Discrete.
    tmat m = make_mat(2, 2);
    m.set(1, 1, 1);
    m.set(1, 2, 1);
    m.set(2, 1, 1);
    prepare(m);
    refine(cws.colpart[1], cws.rowpart[1], 0);
    EXPECT_EQ(cws.rhash, 24u);
    EXPECT_EQ(cells(cws.colpart[1]), (vv{{2}, {1}}));
    EXPECT_EQ(cells(cws.rowpart[1]), (vv{{2}, {1}}));

    // The search has no tree: the refined root is canonical, the certificate
    // is the root hash, every column is its own orbit.
    tres r = label(m);
    EXPECT_EQ(r.bestdepth, 0);
    EXPECT_EQ(r.certhash, 24u);
    EXPECT_EQ(r.bestcol, (std::vector<int32_t>{0, 2, 1}));
    EXPECT_EQ(r.bestrow, (std::vector<int32_t>{0, 2, 1}));
    EXPECT_EQ(r.orbit, (std::vector<int32_t>{0, 1, 2}));
    EXPECT_EQ(r.naut, 0);
}

TEST(Refine, RowsPassLeavesOutTheFirstOfTwoLargestPieces) {
    // Rows 1 and 3 meet column 1, rows 2 and 4 do not: pieces {2,4} (count 0)
    // and {1,3} (count 1), equal sizes; the first is left out.
    tmat m = make_mat(4, 2);
    m.set(1, 1, 1);
    m.set(3, 1, 1);
    prepare(m);
    opart& col = cws.colpart[1];
    col.st[1] = 1, col.sz[1] = 1, col.st[2] = 2, col.sz[2] = 1, col.nc = 2;
    cws.colspl.el[1] = 1;
    cws.colspl.cnt = 1;
    cws.allcells = 0;
    cws.rhash = 0;
    refine_rows(cws.rowpart[1], col);
    EXPECT_EQ(cells(cws.rowpart[1]), (vv{{2, 4}, {1, 3}}));
    EXPECT_EQ(cws.rowspl.cnt, 1);
    EXPECT_EQ(cws.rowspl.el[1], 2);
    // hash: 3*1*2 = 6, then (6 + 3*3*2) mod 11 = 2
    EXPECT_EQ(cws.rhash, 2u);
}

TEST(Refine, ColumnsPassLeavesOutTheLastOfTwoLargestPieces) {
    // The transpose: columns 1 and 3 meet row 1.  Pieces {2,4}, {1,3}; the
    // last is left out, so the splitter list is {1}.
    tmat m = make_mat(2, 4);
    m.set(1, 1, 1);
    m.set(1, 3, 1);
    prepare(m);
    opart& row = cws.rowpart[1];
    row.st[1] = 1, row.sz[1] = 1, row.st[2] = 2, row.sz[2] = 1, row.nc = 2;
    cws.rowspl.el[1] = 1;
    cws.rowspl.cnt = 1;
    cws.allcells = 0;
    cws.rhash = 0;
    refine_cols(cws.colpart[1], row);
    EXPECT_EQ(cells(cws.colpart[1]), (vv{{2, 4}, {1, 3}}));
    EXPECT_EQ(cws.colspl.cnt, 1);
    EXPECT_EQ(cws.colspl.el[1], 1);
    // hash: 5*1*2 = 10, then (10 + 5*3*2) mod 33 = 7
    EXPECT_EQ(cws.rhash, 7u);
}

TEST(Refine, PiecesComeInIncreasingCountWithStableOrder) {
    // Counts of rows 1..6 against columns {1,2,3}: 2, 0, 3, 2, 0, 1.
    tmat m = make_mat(6, 3);
    int pat[6][3] = {{1, 1, 0}, {0, 0, 0}, {1, 1, 1}, {0, 1, 1}, {0, 0, 0}, {0, 0, 1}};
    for (int r = 0; r < 6; r++)
        for (int c = 0; c < 3; c++) m.set(r + 1, c + 1, pat[r][c]);
    prepare(m);
    cws.rhash = 0;
    split_by_cell(cws.rowpart[1], cws.colpart[1], 1, 1);
    EXPECT_EQ(cells(cws.rowpart[1]), (vv{{2, 5}, {6}, {1, 4}, {3}}));
    // (3*1*2) = 6; +3*3*1 = 15 -> 4; +3*4*2 = 28 -> 6; +3*6*1 = 24 -> 2
    EXPECT_EQ(cws.rhash, 2u);
}

TEST(Refine, TargetCellIsTheFirstLargest) {
    tmat m = make_mat(1, 7);
    prepare(m);
    opart& p = cws.colpart[1];
    int sz[4] = {1, 3, 3, 0};
    int run = 1;
    for (int c = 1; c <= 4; c++) {
        p.st[c] = run;
        p.sz[c] = sz[c - 1];
        run += sz[c - 1];
    }
    p.nc = 4;
    target_cell(p);
    EXPECT_EQ(p.tc, 2);
}

TEST(Refine, IndividualiseTheLastOfATwoElementCell) {
    tmat m = make_mat(1, 4);
    prepare(m);
    opart& F = cws.colpart[1];
    // cells {1}, {3, 2}, {4}
    int el[5] = {0, 1, 3, 2, 4};
    for (int i = 1; i <= 4; i++) F.el[i] = el[i];
    F.st[1] = 1, F.sz[1] = 1, F.st[2] = 2, F.sz[2] = 2, F.st[3] = 4, F.sz[3] = 1;
    F.nc = 3;
    F.tc = 2;
    individualise(F, cws.colpart[2], 2);
    EXPECT_EQ(cells(cws.colpart[2]), (vv{{1}, {2}, {3}, {4}}));
    EXPECT_EQ(cws.colspl.cnt, 1);
    EXPECT_EQ(cws.colspl.el[1], 2);
    // the first element of a larger cell: nothing moves
    F.el[2] = 2, F.el[3] = 3, F.el[4] = 4, F.el[1] = 1;
    F.st[1] = 1, F.sz[1] = 4, F.nc = 1, F.tc = 1;
    individualise(F, cws.colpart[2], 3);
    EXPECT_EQ(cells(cws.colpart[2]), (vv{{3}, {2, 1, 4}}));
}

TEST(Refine, ColourPartitionKeepsEmptyCellsUntilRefined) {
    tmat m = make_mat(2, 5);
    m.set(1, 1, 1);
    m.set(2, 5, 1);
    prepare(m);
    int col[6] = {0, 3, 1, 3, 1, 5};
    for (int c = 1; c <= 5; c++) cws.colour[c] = col[c];
    colour_part(cws.colpart[1]);
    EXPECT_EQ(cells(cws.colpart[1]), (vv{{2, 4}, {}, {1, 3}, {}, {5}}));
    refine(cws.colpart[1], cws.rowpart[1], 0);
    for (int c = 1; c <= cws.colpart[1].nc; c++) EXPECT_GT(cws.colpart[1].sz[c], 0);
    EXPECT_EQ(cells(cws.colpart[1]), (vv{{2, 4}, {3}, {1}, {5}}));
    // An empty colour cell is still a splitter of the first rows pass: the
    // row cell {1, 2} stays whole against it and takes its hash step.
    // rows: 6 ({2,4}), 1 (empty cell), 4, 10 ({1,3} splits rows into {2},{1});
    // columns against {2}: 20, 30; against {1}: 7, 12, 22.
    EXPECT_EQ(cws.rhash, 22u);
}

TEST(Refine, DiscreteColumnsLeaveIdenticalRowsTogether) {
    std::mt19937 rng(11);
    for (int t = 0; t < 40; t++) {
        tmat m = random_mat(rng, 12, 5, 0.5, 0);
        // duplicate some rows
        for (int r = 7; r <= 12; r++)
            for (int c = 1; c <= 5; c++) m.set(r, c, m.at(r - 6 + (t % 3), c));
        prepare(m);
        opart& col = cws.colpart[1];
        for (int c = 1; c <= 5; c++) col.st[c] = c, col.sz[c] = 1;
        col.nc = 5;
        refine(col, cws.rowpart[1], 0);
        cell_index(cws.rowpart[1], 1);
        for (int a = 1; a <= 12; a++)
            for (int b = 1; b <= 12; b++) {
                bool same = true;
                for (int c = 1; c <= 5; c++) same = same && m.at(a, c) == m.at(b, c);
                EXPECT_EQ(same, cws.cellrow[a] == cws.cellrow[b]) << t << " " << a << " " << b;
            }
    }
}

TEST(Refine, RefinedPairIsEquitable) {
    // Oracle: every row of a row cell meets every column cell equally often,
    // and every column of a column cell meets every row cell equally often.
    std::mt19937 rng(5);
    for (int t = 0; t < 60; t++) {
        int M = 1 + (int)(rng() % 25), N = 1 + (int)(rng() % 20);
        tmat m = random_mat(rng, M, N, (t % 4 + 1) * 0.2, t % 2 ? 3 : 0);
        prepare(m);
        if (!m.col.empty()) {
            for (int c = 1; c <= N; c++) cws.colour[c] = m.col[c];
            colour_part(cws.colpart[1]);
        }
        refine(cws.colpart[1], cws.rowpart[1], 0);
        cell_index(cws.colpart[1]);
        cell_index(cws.rowpart[1], 1);
        const opart& C = cws.colpart[1];
        const opart& R = cws.rowpart[1];
        for (int rc = 1; rc <= R.nc; rc++)
            for (int cc = 1; cc <= C.nc; cc++) {
                std::vector<int> rowcounts, colcounts;
                for (int i = R.st[rc]; i < R.st[rc] + R.sz[rc]; i++) {
                    int k = 0;
                    for (int j = C.st[cc]; j < C.st[cc] + C.sz[cc]; j++) k += m.at(R.el[i], C.el[j]);
                    rowcounts.push_back(k);
                }
                for (int j = C.st[cc]; j < C.st[cc] + C.sz[cc]; j++) {
                    int k = 0;
                    for (int i = R.st[rc]; i < R.st[rc] + R.sz[rc]; i++) k += m.at(R.el[i], C.el[j]);
                    colcounts.push_back(k);
                }
                for (int k : rowcounts) {
                    EXPECT_EQ(k, rowcounts[0]) << "test " << t;
                }
                for (int k : colcounts) {
                    EXPECT_EQ(k, colcounts[0]) << "test " << t;
                }
            }
        if (!m.col.empty()) {
            for (int cc = 1; cc <= C.nc; cc++)
                for (int j = C.st[cc]; j < C.st[cc] + C.sz[cc]; j++) {
                    EXPECT_EQ(m.col[C.el[j]], m.col[C.el[C.st[cc]]]);
                }
        }
        EXPECT_LT(cws.rhash, 33u);
    }
}

TEST(Refine, FirstPathOfTheFourCycleWorkedByHand) {
    // Edges e1 = {1,2}, e2 = {2,3}, e3 = {3,4}, e4 = {4,1} as rows.
    // Level 1: one cell each; path 1; node invariant = rows on column 1
    // (e1, e4) times cells 1 x 1 = 2.  Refining {1}, {2,3,4}: rows split
    // into {e2,e3}, {e1,e4} (hash 6, 2), columns into {1}, {3}, {2,4}
    // (7, 27), rows again unsplit (0, 6): refhash 6.
    // Level 2: target {2,4}, path 2; cells col 1:1, 3:2, 2:3, 4:3, rows
    // e2,e3:1, e1,e4:2; invariant 1*2 + 1*2 (column 1) + 3*2 + 3*1
    // (column 2) = 13.  Refining gives rows {e3},{e2},{e4},{e1}: hash 3, 9,
    // 1, 7; a leaf.  All eight leaves are equivalent, so the certificate is
    // 1 + 2*1 + 13*2 = 29.
    tmat C = make_mat(4, 4);
    for (int i = 1; i <= 4; i++) {
        C.set(i, i, 1);
        C.set(i, i % 4 + 1, 1);
    }
    tres r = label(C);
    EXPECT_EQ(cws.firstdepth, 2);
    EXPECT_EQ(cws.firstinv[1], 2);
    EXPECT_EQ(cws.firstref[1], 6);
    EXPECT_EQ(cws.firstinv[2], 13);
    EXPECT_EQ(cws.firstref[2], 7);
    EXPECT_EQ(cws.firstpath.el[1], 1);
    EXPECT_EQ(cws.firstpath.el[2], 2);
    EXPECT_EQ(r.certhash, 29u);
    EXPECT_EQ(r.bestdepth, 2);
}

}  // namespace
