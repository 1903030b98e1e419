// Corrupted partitions and impossible search states end in the assertion
// handler after a short word on the console: "ERROR col", "ERROR row",
// "ERROR1", "ERROT GCD<k>".  Each case runs in a child process with its
// input, output and working directory redirected to a temporary directory.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "canon/canon.h"
#include "canon/canon_support.h"
#include "common/testutil.h"

namespace {

void into(const tempdir& d) {
    if (chdir(d.path.c_str()) != 0) _exit(99);
    if (!freopen("/dev/null", "r", stdin)) _exit(98);
    if (!freopen("out.txt", "w", stdout)) _exit(97);
}

void prepare(int M, int N) {
    load(make_mat(M, N));
    canon_mem(10, 10);
    root_cols(cws.colpart[1]);
    root_rows(cws.rowpart[1]);
}

std::string errline(const tempdir& d) { return readfile(d.file("ERRORq.txt")); }

TEST(CanonFailure, MissingColumnInACellIndex) {
    tempdir d;
    prepare(2, 3);
    cws.colpart[1].sz[1] = 2;  // column 3 dropped
    cws.colpart[1].ne = 2;
    EXPECT_EXIT((into(d), cell_index(cws.colpart[1])), testing::ExitedWithCode(ZFAIL_EXIT), "");
    EXPECT_EQ(readfile(d.file("out.txt")).substr(0, 10), "ERROR col\n");
    EXPECT_NE(errline(d).find("zorbel file canon: line "), std::string::npos);
    EXPECT_NE(errline(d).find("assertion failed: (1)"), std::string::npos);
}

TEST(CanonFailure, MissingRowInACellIndex) {
    tempdir d;
    prepare(3, 2);
    cws.rowpart[1].el[2] = 1;  // row 2 replaced by a second row 1
    EXPECT_EXIT((into(d), cell_index(cws.rowpart[1], 1)), testing::ExitedWithCode(ZFAIL_EXIT), "");
    EXPECT_EQ(readfile(d.file("out.txt")).substr(0, 10), "ERROR row\n");
}

TEST(CanonFailure, NoCellToTarget) {
    tempdir d;
    prepare(1, 2);
    opart& p = cws.colpart[1];
    p.sz[1] = 0;
    EXPECT_EXIT((into(d), target_cell(p)), testing::ExitedWithCode(ZFAIL_EXIT), "");
    EXPECT_EQ(readfile(d.file("out.txt")).substr(0, 7), "ERROR1\n");
    EXPECT_NE(errline(d).find("assertion failed: (1)"), std::string::npos);
}

TEST(CanonFailure, PathsThatDoNotDiverge) {
    tempdir d;
    int32_t a[4] = {0, 3, 1, 2}, b[4] = {0, 3, 1, 2}, c[4] = {0, 3, 2, 2};
    EXPECT_EQ(diverge_level(a, c, 3), 2);
    EXPECT_EXIT((into(d), diverge_level(a, b, 3)), testing::ExitedWithCode(ZFAIL_EXIT), "");
    EXPECT_EQ(readfile(d.file("out.txt")).substr(0, 11), "ERROT GCD3\n");
}

TEST(CanonFailure, ColourOutOfRange) {
    tempdir d;
    tmat A = make_mat(2, 3);
    A.col = {0, 1, 4, 1};
    EXPECT_EXIT((into(d), label(A)), testing::ExitedWithCode(ZFAIL_EXIT), "");
    EXPECT_NE(errline(d).find("zorbel file canon"), std::string::npos);
}

}  // namespace
