// The printers of the result files: the h file's lines for random codes
// against lines and counts made here column by column; the run header of
// both kinds with the literal header of the files.  (The result file's
// records of a whole run: run_test.cpp.)
#include <gtest/gtest.h>

#include <memory>
#include <random>
#include <string>
#include <vector>

#include "common/testutil.h"
#include "run/resultfiles.h"

namespace {

// A code in the colmap layout: rows 1..rows.size(), columns 1..len; digits 0-9, A-F.
cmrec makecode(const std::vector<std::string>& rows, int k, int q) {
    cmrec cm{};
    cm.cur_level = (int)rows.size();
    cm.cur_len = (int)rows[0].size();
    cm.cur_k = k;
    cm.cur_q = q;
    for (size_t r = 0; r < rows.size(); r++)
        for (size_t c = 0; c < rows[r].size(); c++)
            cm.m[r + 1][c + 1] = rows[r][c] <= '9' ? rows[r][c] - '0' : rows[r][c] - 'A' + 10;
    cm.m[0][1] = 7;  // row 0 is scratch and never printed
    return cm;
}

// Random codes into one h file: the line expected for each is built here
// with the counters kept here; the printed width is the length minus the
// leading columns that are zero in every row, counted column by column.
TEST(Printers, HFileAgainstDirectCount) {
    tempdir dir;
    const RunParams par{};
    auto rc = std::make_unique<runcounters>();
    RunFault fault;
    ResultFiles out(par, *rc, fault);
    out.h = fopen(dir.file("h").c_str(), "w");
    std::mt19937 g(5);
    std::string expect;
    int total = 0, perdim[8] = {}, stat[32][8] = {};
    for (int t = 0; t < 200; t++) {
        int lev = 1 + (int)(g() % 5), len = 1 + (int)(g() % 30);
        std::vector<std::string> rows(lev, std::string(len, '0'));
        for (int r = 0; r < lev; r++)
            for (int c = (int)(g() % (len + 1)); c < len; c++)
                if (g() % 3 == 0) rows[r][c] = "123456789ABCDEF"[g() % 15];
        rows[g() % lev][len - 1] = '1';
        int z = 0;
        for (bool zero = true; zero && z < len; z += zero)
            for (auto& row : rows) zero &= row[z] == '0';
        ASSERT_TRUE(out.printh(makecode(rows, 6, 7)));
        total++;
        perdim[lev] += lev >= 2;
        stat[len - z][lev]++;
        expect += "?" + std::to_string(lev) + " " + std::to_string(len - z) + " 7 " +
                  std::to_string(lev >= 2 ? perdim[lev] : total) + " " + std::to_string(total) + "\n";
        for (auto& row : rows) expect += row.substr((size_t)z) + "\n";
    }
    fclose(out.h);
    out.h = nullptr;
    EXPECT_EQ(readfile(dir.file("h")), expect);
    for (int i = 0; i < 32; i++)
        for (int j = 1; j < 8; j++) ASSERT_EQ(rc->statcount[i][j], stat[i][j]);
    for (int j = 2; j < 8; j++) EXPECT_EQ(rc->rescount[j], perdim[j]);
    EXPECT_EQ(rc->rescount[1], total);
    EXPECT_EQ(out.codecount, 0);  // the result-file counter is not touched
}

TEST(Printers, RunHeaderOfBothKinds) {
    RunParams par{};
    setdefaults(par);
    par.n = par.nasked = 7, par.k = 3, par.d = 3, par.dw = 1;
    for (int w = 1; w < MAXLEN; w++) par.wt[w] = w >= 3 && w <= 7;
    par.propcol[2] = 5;
    EXPECT_EQ(headertext(runheaderof(par)),
              "\n n=7  k=3  d=3 q=2 ; divisible by 1  ; self orthogonal 0,dual distance 1\n\n\n"
              "   Possible weights: \n 3 4 5 6 7\n\n   Proportional columns: \n2 -> 5 ;3 -> 800 ;\n\n");
    // Brute generation: the length of the run is n + k, the line shows n.
    par.brute = 1, par.n = 10;
    EXPECT_EQ(headertext(runheaderof(par)),
              "\n\n\n Brute gen:\n n=7  k=3  d=3 q=2 ; divisible by 1  ; self orthogonal 0 ; dual distance 1\n"
              "   Possible weights: \n 3 4 5 6 7\n\n   Proportional columns: \n2 -> 5 ;3 -> 800 ;\n\n");
}

}  // namespace
