// Containers: storage that fits is reused without asking the heap, and a heap
// that refuses twice, or a broken state, ends in the assertion handler with
// ERRORq.txt.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <tuple>

#include "common/failalloc.h"
#include "common/testutil.h"
#include "containers/containers.h"

namespace {

// What the enumeration and search code rely on: an ensure that fits reuses
// the storage (no allocation) and keeps its contents; one that does not fit
// gives fresh, zeroed storage; grow keeps the rows; scratch index 0 and -1
// are usable; freeing twice is harmless.
TEST(Containers, EnsureReusesWhatFitsAndGrowKeepsRows) {
    bmat m{};
    bmat_ensure(m, 3, 10, 2);
    for (int r = 0; r <= 3; r++)
        for (int c = -1; c <= 10; c++) m.a[r][c] = (uint8_t)(r * 16 + c + 1);
    uint8_t** block = m.a;
    failinject = 1000;  // a reuse must not ask the heap
    bmat_ensure(m, 2, 5, 3);
    failinject = 0;
    EXPECT_EQ(m.a, block);
    EXPECT_EQ(std::make_tuple(m.rows, m.cols, m.q, m.a[2][7]), std::make_tuple(2, 5, 3, 2 * 16 + 8));
    bmat_ensure(m, 2, 11, 3);  // wider: fresh storage
    EXPECT_EQ(m.a[2][7], 0);
    m.a[2][11] = 4;
    bmat_grow(m, 6);
    EXPECT_GE(m.caprows, 6);
    EXPECT_EQ(m.a[2][11], 4);
    m.a[6][-1] = 1;
    bmat_free(m);
    bmat_free(m);
    EXPECT_EQ(m.mem, 0);

    wmat w{};
    wmat_ensure(w, 2, 3, 3);
    w.a[1][3] = 23, w.b[1][-1] = 19;
    uint64_t* keep = w.a[1];
    failinject = 1000;
    wmat_ensure(w, 1, 2, 4);
    failinject = 0;
    EXPECT_EQ(w.a[1], keep);
    wmat_grow(w, 3);
    EXPECT_EQ(std::make_tuple(w.a[1][3], w.b[1][-1]), std::make_tuple(uint64_t{23}, uint64_t{19}));
    wmat_free(w);

    coderec cr{};
    coderec_ensure(cr, 4, 30, 1);
    int32_t** before = cr.a;
    failinject = 1000;
    coderec_ensure(cr, 3, 20, 3);
    failinject = 0;
    EXPECT_EQ(cr.a, before);
    coderec_free(cr);

    bmatarr ma{};
    mata_ensure(ma, 3, 8, 5, 4);
    ma.h[-1].a[3][8] = 1;
    ma.h[2].fill = 9;
    bmat* h = ma.h;
    failinject = 1000;
    mata_ensure(ma, 2, 8, 7, 3);
    failinject = 0;
    EXPECT_EQ(std::make_tuple(ma.h, ma.h[2].fill, ma.h[0].q), std::make_tuple(h, 0, 7));
    mata_free(ma);
    mata_free(ma);
}

TEST(Containers, EveryBlockIsAskedForTwice) {
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
