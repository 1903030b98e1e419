// Containers: ensure keeps storage that fits and reallocates what does not,
// grow keeps rows, free of an unallocated container does nothing, and a heap
// that refuses twice ends in the assertion handler with ERRORq.txt.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>

#include "common/failalloc.h"
#include "common/testutil.h"
#include "containers/containers.h"

namespace {

TEST(ByteMatrix, EnsureKeepsFittingStorageAndReallocatesOtherwise) {
    bmat m{};
    bmat_ensure(m, 3, 10, 2);
    ASSERT_EQ(m.mem, 1);
    EXPECT_EQ(m.rows, 3);
    EXPECT_EQ(m.cols, 10);
    for (int r = 0; r <= 3; r++)
        for (int c = -1; c <= 10; c++) m.a[r][c] = (uint8_t)(r * 16 + c + 1);
    uint8_t** block = m.a;
    uint8_t* row2 = m.a[2];

    bmat_ensure(m, 2, 5, 3);  // smaller: same storage, new header
    EXPECT_EQ(m.a, block);
    EXPECT_EQ(m.a[2], row2);
    EXPECT_EQ(m.rows, 2);
    EXPECT_EQ(m.cols, 5);
    EXPECT_EQ(m.q, 3);
    EXPECT_EQ(m.capcols, 10);
    EXPECT_EQ(m.caprows, 3);
    EXPECT_EQ(m.a[2][7], 2 * 16 + 8);  // contents not cleared

    bmat_ensure(m, 2, 11, 3);  // more columns: reallocated, fresh
    EXPECT_EQ(m.capcols, 11);
    EXPECT_EQ(m.caprows, 2);
    EXPECT_EQ(m.a[2][7], 0);
    bmat_ensure(m, 4, 3, 2);  // more rows
    EXPECT_EQ(m.caprows, 4);
    bmat_free(m);
    EXPECT_EQ(m.mem, 0);
    bmat_free(m);  // freeing again does nothing
    EXPECT_EQ(m.mem, 0);
}

TEST(ByteMatrix, ZeroRowsHasOneUsableRowFromMinusOne) {
    bmat m{};
    bmat_ensure(m, 0, 7, 2);
    m.a[0][-1] = 1;
    m.a[0][7] = 2;
    EXPECT_EQ(m.a[0][-1] + m.a[0][7], 3);
    bmat_free(m);
}

TEST(ByteMatrix, GrowKeepsRowsAndAddsTenThousand) {
    bmat m{};
    bmat_ensure(m, 5, 4, 5);
    for (int r = 0; r <= 5; r++) m.a[r][4] = (uint8_t)(r + 100);
    bmat_grow(m, 5);  // fits: nothing happens
    EXPECT_EQ(m.caprows, 5);
    bmat_grow(m, 6);
    EXPECT_EQ(m.caprows, 10005);
    EXPECT_EQ(m.rows, 10005);
    for (int r = 0; r <= 5; r++) EXPECT_EQ(m.a[r][4], r + 100);
    m.a[10005][4] = 9;
    bmat_free(m);
}

TEST(BitMatrix, EnsureGrowAndFree) {
    wmat w{};
    wmat_free(w);  // never allocated: nothing
    EXPECT_EQ(w.mem, 0);
    wmat_ensure(w, 2, 3, 3);
    for (int r = 0; r <= 2; r++)
        for (int c = -1; c <= 3; c++) {
            w.a[r][c] = (uint64_t)(r * 10 + c);
            w.b[r][c] = ~(uint64_t)(r * 10 + c);
        }
    uint64_t* keep = w.a[1];
    wmat_ensure(w, 1, 2, 4);
    EXPECT_EQ(w.a[1], keep);
    wmat_grow(w, 3);
    EXPECT_EQ(w.caprows, 102);
    EXPECT_EQ(w.a[1], keep);
    EXPECT_EQ(w.a[2][3], 23u);
    EXPECT_EQ(w.b[2][-1], ~(uint64_t)19);
    w.a[102][3] = 1;
    wmat_free(w);
    EXPECT_EQ(w.mem, 0);
}

TEST(OtherContainers, IntMatrixPointerArraysCodeRecordAndArrays) {
    imat im{};
    imat_ensure(im, 2, 4, 2);
    EXPECT_EQ(im.state, 3);
    im.a[2][4] = 7;
    imat_ensure(im, 1, 3, 2);
    EXPECT_EQ(im.state, 1);
    EXPECT_EQ(im.a[2][4], 7);
    imat_free(im);
    imat_free(im);

    parr p{};
    parr2_ensure(p, 4, 0, 2);
    EXPECT_EQ(p.mem, 3);
    ASSERT_NE(p.b, nullptr);
    p.a[4] = p.b[4] = 1;
    parr2_free(p);
    EXPECT_EQ(p.mem, 0);

    coderec cr{};
    coderec_ensure(cr, 4, 30, 1);  // t = 30 / 4 + 4
    EXPECT_EQ(cr.t, 11);
    cr.a[11][4] = 5;
    cr.Aspec[30] = 6;
    int32_t** before = cr.a;
    coderec_ensure(cr, 3, 20, 3);  // t = 3 fits
    EXPECT_EQ(cr.a, before);
    EXPECT_EQ(cr.t, 3);
    coderec_ensure(cr, 5, 20, 1);  // more rows: new storage
    EXPECT_EQ(cr.capr, 5);
    coderec_free(cr);
    EXPECT_EQ(cr.mem, 0);

    bmatarr ma{};
    mata_ensure(ma, 3, 8, 5, 4);
    ASSERT_EQ(ma.count, 4);
    ma.h[-1].a[3][8] = 1;
    ma.h[3].a[0][-1] = 2;
    ma.h[2].fill = 9;
    bmat* h = ma.h;
    mata_ensure(ma, 2, 8, 7, 3);  // fits
    EXPECT_EQ(ma.h, h);
    EXPECT_EQ(ma.h[2].fill, 0);
    EXPECT_EQ(ma.h[0].q, 7);
    mata_ensure(ma, 2, 9, 7, 3);  // wider: new array
    EXPECT_EQ(ma.h[0].capcols, 9);
    mata_free(ma);
    EXPECT_EQ(ma.alloc, 0);

    wmatarr mw{};
    mataw_ensure(mw, 2, 1, 2, 2);
    mw.h[-1].b[2][1] = 3;
    mataw_free(mw);
    mataw_free(mw);
}

TEST(Vectors, IndexRangesAndRefusal) {
    uint8_t* bv = bvec_new(3);
    bv[-1] = bv[3] = 1;
    bvec_free(bv);
    EXPECT_EQ(bv, nullptr);
    int32_t* iv = ivec_new(5);
    iv[5] = 1;
    ivec_free(iv);
    failinject = 2;
    EXPECT_EQ(ivec_try(10), nullptr);  // both attempts refused, no handler
    failinject = 1;
    int32_t* again = ivec_try(10);  // second attempt succeeds
    ASSERT_NE(again, nullptr);
    ivec_free(again);
    EXPECT_EQ(failinject, 0);
}

// The handler: death tests run the failing allocation in a child whose
// standard input is a prepared file, in a temporary working directory.
class Handler : public ::testing::Test {
   protected:
    tempdir dir;
    std::string oldcwd;
    void SetUp() override {
        GTEST_FLAG_SET(death_test_style, "fast");  // the child keeps this working directory
        char buf[4096];
        oldcwd = getcwd(buf, sizeof buf);
        ASSERT_EQ(chdir(dir.path.c_str()), 0);
    }
    void TearDown() override { ASSERT_EQ(chdir(oldcwd.c_str()), 0); }
};

void failwith(const char* input, void (*what)()) {
    FILE* in = fopen("in.txt", "w");
    fputs(input, in);
    fclose(in);
    if (!freopen("in.txt", "r", stdin)) _exit(99);
    if (!freopen("out.txt", "w", stdout)) _exit(99);
    what();
    _exit(0);  // not reached: the handler never returns
}

TEST_F(Handler, SecondRefusalWritesTheConditionAndEndsAtEndOfInput) {
    EXPECT_EXIT(failwith("", [] {
                    bmat m{};
                    failinject = 2;
                    bmat_alloc(m, 2, 2, 2);
                }),
                ::testing::ExitedWithCode(ZFAIL_EXIT), "");
    std::string msg = readfile(dir.file("ERRORq.txt"));
    EXPECT_EQ(msg.rfind("zorbel file containers: line ", 0), 0u) << msg;
    EXPECT_NE(msg.find(": assertion failed: (c.a==NULL)\n"), std::string::npos) << msg;
    EXPECT_EQ(readfile(dir.file("out.txt")), "ERROR");
}

TEST_F(Handler, KeepsAskingWhileNumbersComeAndSkipsGarbage) {
    EXPECT_EXIT(failwith("1\n2\nabc\n3\n", [] {
                    failinject = 2;
                    ivec_new(5);
                }),
                ::testing::ExitedWithCode(ZFAIL_EXIT), "");
    std::string msg = readfile(dir.file("ERRORq.txt"));
    EXPECT_NE(msg.find("(NULL==r)"), std::string::npos) << msg;
    EXPECT_EQ(readfile(dir.file("out.txt")), "ERRORERRORERRORERRORERROR");
}

TEST_F(Handler, BrokenStateIsCaught) {
    EXPECT_EXIT(failwith("", [] {
                    bmat m{};
                    m.mem = 3;
                    bmat_ensure(m, 1, 1, 2);
                }),
                ::testing::ExitedWithCode(ZFAIL_EXIT), "");
    EXPECT_NE(readfile(dir.file("ERRORq.txt")).find("(!((1==c.mem)||(0==c.mem)))"), std::string::npos);
}

}  // namespace
