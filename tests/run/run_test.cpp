// Whole runs through the menu: the files a run writes (names, header,
// trailer, statistics, level files), the default Golay run, runs of
// dimension 1, and runs whose levels go to files.  (File faults: faults_test.cpp.)
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <memory>
#include <set>

#include "common/testutil.h"
#include "run/classifier.h"
#include "run/runparams.h"
#include "common/oracle.h"

namespace {

std::string params(int n, int k, int d, int q, int dw = 1, int so = 0) {
    char s[100];
    snprintf(s, sizeof s, "2\n%d\n%d\n%d\n%d\n%d\n%d\n", n, k, d, q, dw, so);
    return s;
}

std::vector<oracle::matrix> codesof(const std::string& text) { return oracle::resultcodes(text); }

TEST(Run, DefaultsGiveTheGolayCode) {
    tempdir dir;
    runresult r = runtalven(dir.path, "1\n8\n", 600);
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.out.find(" Constructed codes: 1\n"), std::string::npos);
    std::vector<oracle::matrix> codes = codesof(readfile(dir.file("24_12_8.2")));
    ASSERT_EQ(codes.size(), 1u);
    oracle::codeinfo c = oracle::analyse(codes[0], 24, 2, false);
    std::vector<long> want(25, 0);
    want[0] = want[24] = 1;
    want[8] = want[16] = 759;
    want[12] = 2576;
    EXPECT_EQ(c.spectrum, want);
}

TEST(Run, FilesOfARun) {
    tempdir dir;
    runresult r = runtalven(dir.path, params(7, 4, 3, 2) + "1\n8\n");
    ASSERT_EQ(r.status, 0);
    const std::string header =
        "\n n=7  k=4  d=3 q=2 ; divisible by 1  ; self orthogonal 0,dual distance 1\n\n\n"
        "   Possible weights: \n 3 4 5 6 7\n\n   Proportional columns: \n2 -> 800 ;3 -> 800 ;4 -> 800 ;\n\n";
    std::string res = masktime(readfile(dir.file("7_4_3.2")));
    ASSERT_EQ(res.rfind(header, 0), 0u) << res;
    std::string body = res.substr(header.size());
    // One code: the Hamming code, then the totals of dimensions 2..4.
    ASSERT_EQ(body.substr(0, 9), "?4 7 2 1\n");
    std::vector<oracle::matrix> codes = codesof(res);
    ASSERT_EQ(codes.size(), 1u);
    EXPECT_EQ(oracle::analyse(codes[0], 7, 2).spectrum, (std::vector<long>{1, 0, 0, 7, 7, 0, 0, 1}));
    std::string h = masktime(readfile(dir.file("7_4_3.2h")));
    ASSERT_EQ(h.rfind(header, 0), 0u);
    // The h file has the new codes of every dimension, numbered per dimension and in total.
    std::vector<std::string> hl = splitlines(h);
    int lastdim = 0, total = 0;
    for (const std::string& line : hl) {
        if (line.empty() || line[0] != '?') continue;
        int dim, len, q, perdim, all;
        ASSERT_EQ(sscanf(line.c_str(), "?%d %d %d %d %d", &dim, &len, &q, &perdim, &all), 5);
        EXPECT_GE(dim, lastdim);
        EXPECT_EQ(all, ++total);
        lastdim = dim;
    }
    EXPECT_EQ(lastdim, 4);
    // Trailer: total, then dimensions 2..4, on the console and in both files.
    size_t at = r.out.find("\n RES ");
    ASSERT_NE(at, std::string::npos);
    std::string trailer = masktime(r.out.substr(at, r.out.find('\n', at + 1) - at));
    char want[100];
    snprintf(want, sizeof want, "\n RES %d    1   1   1 ==  Elapsed time: #s", total);
    EXPECT_EQ(trailer, want);
    snprintf(want, sizeof want, "\n RES %d    1   1   1 \n ==  Elapsed time: #s\n", total);
    EXPECT_NE(res.find(want), std::string::npos);
    // Statistics: one line per (length, dimension) with its count.
    std::string inf = readfile(dir.file("7_4_3.2inf"));
    EXPECT_NE(inf.find("   7     4      1\n"), std::string::npos) << inf;
    // The run's working folder is gone: res/ holds the settings file only.
    EXPECT_EQ(listdir(dir.file("res")), std::vector<std::string>{"settings"});
}

TEST(Run, DimensionOneListsOneCodePerWeight) {
    tempdir dir;
    runresult r = runtalven(dir.path, params(5, 1, 2, 3) + "1\n8\n");
    EXPECT_NE(r.out.find(" Constructed codes: 4\n"), std::string::npos);
    std::vector<oracle::matrix> codes = codesof(readfile(dir.file("5_1_2.3")));
    ASSERT_EQ(codes.size(), 4u);
    std::set<int> weights;
    for (const auto& g : codes) weights.insert(oracle::analyse(g, 5, 3).mindist);
    EXPECT_EQ(weights, (std::set<int>{2, 3, 4, 5}));
    EXPECT_NE(r.out.find("\n RES 4  ==  Elapsed time: "), std::string::npos);
}

TEST(Run, EveryLevelSpilledGivesTheFilesOfTheRunInMemory) {
    // A budget of nothing sends every level and every store to its file.
    for (const RunParams& p : {menuparams(13, 5, 4, 2), menuparams(9, 4, 3, 3), menuparams(8, 4, 3, 4),
                               menuparams(8, 3, 3, 2, 1, 0, 1, 2)}) {
        tempdir memory, spilled;
        RunOptions opt;
        opt.console = nullptr;
        opt.outdir = memory.path + "/", opt.resdir = memory.path + "/res/";
        ASSERT_EQ(std::make_unique<Classifier>(p, opt)->run(), runend::complete);
        opt.budget = 0;
        opt.outdir = spilled.path + "/", opt.resdir = spilled.path + "/res/";
        ASSERT_EQ(std::make_unique<Classifier>(p, opt)->run(), runend::complete);
        EXPECT_TRUE(resultfiles(memory.path, resultname(p)) == resultfiles(spilled.path, resultname(p)))
            << resultname(p);
    }
}

TEST(Run, NoDiskLeftForASpilledLevelStopsTheRun) {
    tempdir dir;
    ASSERT_EQ(mkdir(dir.file("work").c_str(), 0755), 0);
    ASSERT_EQ(symlink("/dev/full", dir.file("work/level.2").c_str()), 0);
    RunOptions opt;
    opt.outdir = dir.path + "/";
    opt.budget = 0;
    testing::internal::CaptureStdout();
    auto c = std::make_unique<Classifier>(menuparams(7, 4, 3, 2), opt);
    runend how = c->runinfolder(dir.file("work/"));
    std::string out = testing::internal::GetCapturedStdout();
    EXPECT_EQ(how, runend::stopped);
    EXPECT_EQ(out, "\n Run stopped: cannot write file " + dir.file("work/level.2") + "\n");
    EXPECT_EQ(readfile(dir.file("7_4_3.2")).find(" RES "), std::string::npos);
    EXPECT_FALSE(fileexists(dir.file("7_4_3.2inf")));
}

}  // namespace
