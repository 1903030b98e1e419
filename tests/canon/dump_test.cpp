// The labelling on the matrices of real runs: the dumps a labeller writes
// read back as the matrices it labelled, and the committed samples of every
// field keep their canonical forms under random relabelling.
#include <gtest/gtest.h>
#include <stdlib.h>

#include "canon/canon.h"
#include "canon/canon_support.h"
#include "canon/labeldump.h"
#include "common/testutil.h"

namespace {

tmat from_dump(const DumpedMatrix& d) { return tmat{d.M, d.N, d.a, d.colour}; }

TEST(Dump, ALabellerWritesWhatItLabelsWhenAsked) {
    // Plain and coloured, without rows, with empty rows and columns.
    std::mt19937 rng(99);
    std::vector<tmat> in = {random_mat(rng, 5, 7, 0.4, 0), random_mat(rng, 12, 40, 0.1, 3), make_mat(0, 3),
                            from_rows(4, {{}, {1, 4}, {}})};
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

TEST(Dump, LinesReadBackWhateverTheirNumbers) {
    // Wide enough for numbers of three digits (columns and colours past 1024).
    std::mt19937 rng(7);
    tlab t;
    DumpedMatrix m;
    std::string line;
    for (const tmat& A : {random_mat(rng, 3, 2000, 0.01, 1200), random_mat(rng, 40, 3, 0.5, 0)}) {
        t.load(A);
        dump_line(t.inc, A.col.empty() ? nullptr : A.col.data(), line);
        ASSERT_TRUE(dump_parse(line, m));
        EXPECT_EQ(std::tie(m.M, m.N, m.a, m.colour), std::tie(A.M, A.N, A.a, A.col));
    }
    for (const char* bad : {"", "x12", "p", "p23", "p12z", "c1211", "p1211"})  // 1 x 2, a row of one one: "p1211"
        EXPECT_EQ(dump_parse(bad, m), std::string(bad) == "p1211") << bad;
}

}  // namespace
