// The reader on files the program itself wrote.
//
// Small classifications are run with the built program (the test is
// skipped when only this folder's tests were built), and their result and
// h files must read without error and agree with what the run was asked
// and with what the README says of them: the header holds the asked
// parameters, every code has the asked k and n, independent rows and
// distance at least d; the " RES" totals count the h file's records, all
// and per dimension; the count on standard output is the number of codes.
// Writing the header, the codes and the trailer back must give the result
// file byte for byte.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

#include "common/testutil.h"
#include "support.h"

namespace {

struct TalvenRun {
    int n, k, d, q;
    std::string extra;   // more options
    std::string suffix;  // of the result file's name: "" or "b"
    int firstdim;        // the first dimension counted in the totals
};

TEST(CodeioProgramFiles, ResultAndHFilesOfRealRuns) {
    if (!fileexists(talvenbin())) GTEST_SKIP() << "the program is not built: " << talvenbin();
    const TalvenRun runs[] = {
        {7, 4, 3, 2, "", "", 2},           {8, 3, 4, 3, "--dual 2", "", 2}, {6, 3, 3, 4, "", "", 2},
        {7, 3, 3, 2, "--brute 1", "b", 1}, {6, 2, 4, 5, "", "", 2},         {5, 2, 3, 7, "", "", 2},
        {10, 4, 4, 2, "--dw 2", "", 2},    {6, 3, 3, 4, "--equivalence linear", "", 2},
    };
    for (const TalvenRun& run : runs) {
        SCOPED_TRACE(std::to_string(run.n) + "," + std::to_string(run.k) + "," + std::to_string(run.d) + ";" +
                     std::to_string(run.q) + " " + run.extra);
        tempdir dir;
        const runresult ran = runcommand(dir.path, runargs(run.n, run.k, run.d, run.q) + " --quiet " + run.extra);
        ASSERT_EQ(ran.status, 0) << ran.err;
        const std::string& out = ran.out;
        const size_t at = out.find("codes=");
        ASSERT_NE(at, std::string::npos) << out;
        const long printed = atol(out.c_str() + at + 6);
        const std::string name = runname(run.n, run.k, run.d, run.q) + run.suffix;

        // The result file.
        const std::string text = readfile(dir.file(name));
        std::istringstream in(text);
        CodeReader r(in, Format::result);
        std::vector<CodeMatrix> codes;
        CodeMatrix c;
        ReadStatus st;
        while ((st = r.next(c)) == ReadStatus::code) {
            codes.push_back(c);
            EXPECT_EQ(c.k, run.k);
            EXPECT_EQ(c.n, run.n);
            EXPECT_EQ(c.q, run.q);
            std::vector<uint64_t> A = weightdist(c);
            EXPECT_EQ(A[0], 1u);  // independent rows
            for (int w = 1; w < run.d; w++) EXPECT_EQ(A[w], 0u) << "weight " << w;
        }
        ASSERT_EQ(st, ReadStatus::end) << r.error();
        ASSERT_NE(r.header(), nullptr);
        const RunHeader h = *r.header();
        EXPECT_EQ(h.n, run.n);
        EXPECT_EQ(h.k, run.k);
        EXPECT_EQ(h.d, run.d);
        EXPECT_EQ(h.q, run.q);
        EXPECT_EQ(h.brute, run.suffix == "b");
        EXPECT_EQ(h.linear4, std::string(run.extra).find("linear") != std::string::npos);
        EXPECT_EQ((long)codes.size(), printed);
        ASSERT_NE(r.trailer(), nullptr);
        const RunTrailer t = *r.trailer();

        std::ostringstream back;
        CodeWriter w(back, Format::result, run.q);
        w.begin(&h);
        for (const CodeMatrix& x : codes) w.write(x);
        w.end(&t);
        EXPECT_EQ(back.str(), text);

        // The h file: the same header, records of every dimension, the same totals.
        std::istringstream hin(readfile(dir.file(name + "h")));
        CodeReader hr(hin, Format::result, run.q);
        std::vector<int64_t> perdim((size_t)run.k + 1, 0);
        int64_t all = 0;
        while ((st = hr.next(c)) == ReadStatus::code) {
            all++;
            perdim[(size_t)c.k]++;
            EXPECT_EQ(hr.label().overall, all);
            EXPECT_EQ(weightdist(c)[0], 1u);
        }
        ASSERT_EQ(st, ReadStatus::end) << hr.error();
        ASSERT_NE(hr.header(), nullptr);
        EXPECT_EQ(*hr.header(), h);
        ASSERT_NE(hr.trailer(), nullptr);
        EXPECT_EQ(hr.trailer()->totals, t.totals);
        ASSERT_EQ(t.totals.size(), (size_t)(run.k - run.firstdim + 2));
        EXPECT_EQ(t.totals[0], all);
        for (int dim = std::max(run.firstdim, 2); dim <= run.k; dim++)
            EXPECT_EQ(t.totals[(size_t)(dim - run.firstdim + 1)], perdim[(size_t)dim]) << "dimension " << dim;
    }
}

}  // namespace
