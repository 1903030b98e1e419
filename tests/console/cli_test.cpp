// The command line end to end: refused commands write nothing and say why
// in one line; a run prints one line of totals and writes the files the
// menu writes; parts merged by the merge command give them too; a run
// killed at a random moment and resumed gives them too.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <random>
#include <thread>

#include "common/testutil.h"

namespace {

std::string menurun(int n, int k, int d, int q) {
    return "2\n" + std::to_string(n) + "\n" + std::to_string(k) + "\n" + std::to_string(d) + "\n" + std::to_string(q) +
           "\n1\n0\n1\n8\n";
}

// The command line runs through a shell in `dir`; `args` as typed.
runresult cli(const std::string& dir, const std::string& args, const std::string& env = "") {
    return runcommand(dir, args, env);
}

TEST(Cli, RefusedCommandsWriteNothingAndSayWhyInOneLine) {
    const struct {
        const char* args;
        const char* why;
    } cases[] = {
        {"-n 7 -k 4 -d 3", "a run needs -q"},
        {"-n 7 -k 4 -d 3 -q 6", "q=6 is not supported"},
        {"-n 3 -k 5 -d 1 -q 2", "k=5 is larger than the length n=3"},
        {"-n 7 -k 4 -d 9 -q 2", "d=9 is out of bounds (1..7)"},
        {"-n 800 -k 4 -d 3 -q 2", "n=800 is out of bounds (1..799)"},
        {"-n 7 -k 4 -d 3 -q 2 --part 5/3", "--part must be I/M"},
        {"-n 7 -k 4 -d 3 -q 2 --weights 3,99", "--weights: 99 is not within 1..7"},
        {"-n 7 -k 4 -d 3 -q 2 --prop 9=2", "dimension 9"},
        {"-n 7 -k 4 -d 3 -q 2 --split-level 4", "--split-level must be within 1..3"},
        {"-n 7 -k 4 -d 3 -q 2 --brute 5", "--brute 5"},
        {"-n 7 -k 4 -d 3 -q 2 --jobs -1", "--jobs"},
        {"-n 7 -k 4 -d 3 -q 2 --bogus", "bogus"},
        {"-n seven -k 4 -d 3 -q 2", "seven"},
    };
    for (const auto& c : cases) {
        tempdir dir;
        runresult r = cli(dir.path, c.args);
        EXPECT_EQ(r.status, 2) << c.args;
        EXPECT_EQ(r.out, "") << c.args;
        EXPECT_EQ(r.err.rfind("talven: ", 0), 0u) << c.args << ": " << r.err;
        EXPECT_NE(r.err.find(c.why), std::string::npos) << c.args << ": " << r.err;
        EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << c.args << ": " << r.err;
        EXPECT_EQ(listdir(dir.path), std::vector<std::string>{}) << c.args;
    }
    tempdir dir;
    runresult r = cli(dir.path, "--help");
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.out.find("--part"), std::string::npos);
    r = cli(dir.path, "--version");
    EXPECT_EQ(r.out, "talven 1.1\n");
}

TEST(Cli, ARunPrintsOneLineOfTotalsAndTheFilesOfTheMenu) {
    tempdir menu, line;
    runtalven(menu.path, menurun(13, 5, 4, 2));
    runresult r = cli(line.path, "-n 13 -k 5 -d 4 -q 2 --quiet -j 2");
    EXPECT_EQ(r.status, 0) << r.err;
    // The line with its two timings masked.
    std::string masked = r.out;
    for (const std::string key : {"seconds=", "cpu="}) {
        const size_t at = masked.find(key);
        if (at == std::string::npos) continue;
        const size_t from = at + key.size(), to = masked.find_first_not_of("0123456789.", from);
        if (to != from && to != std::string::npos) masked.replace(from, to - from, "#");
    }
    EXPECT_EQ(masked, "codes=1429 n=13 k=5 d=4 q=2 seconds=# cpu=#\n") << r.out;
    EXPECT_EQ(r.err, "");
    EXPECT_TRUE(resultfiles(line.path, "13_5_4.2") == resultfiles(menu.path, "13_5_4.2"));
    EXPECT_EQ(listdir(line.path), (std::vector<std::string>{"13_5_4.2", "13_5_4.2h", "13_5_4.2inf", "res"}));
    EXPECT_EQ(listdir(line.file("res")), std::vector<std::string>{});
    // Restrictions as options: the menu's weights, self-orthogonality and dual distance.
    tempdir m2, l2;
    runtalven(m2.path, "2\n10\n4\n3\n3\n1\n0\n3\nn\ny\ny\ny\ny\ny\ny\ny\n5\n3\n1\n8\n");
    r = cli(l2.path, "-n 10 -k 4 -d 3 -q 3 --weights 4-10 --dual 3 --quiet");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(resultfiles(l2.path, "10_4_3.3") == resultfiles(m2.path, "10_4_3.3"));
}

TEST(Cli, PartsMergedByTheMergeCommandGiveTheWholeRun) {
    tempdir menu, dir;
    runtalven(menu.path, menurun(10, 5, 3, 3));
    for (int I = 0; I < 3; I++) {
        runresult r = cli(dir.path, "-n 10 -k 5 -d 3 -q 3 --quiet --part " + std::to_string(I) + "/3");
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(r.out.rfind("part=" + std::to_string(I) + "/3 n=10 k=5 d=3 q=3 split=", 0), 0u) << r.out;
    }
    // One part away: the merge names it and writes nothing.
    ASSERT_EQ(rename(dir.file("10_5_3.3.part.1.3").c_str(), dir.file("away").c_str()), 0);
    runresult r = cli(dir.path, "--merge .");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("part 1 of 3 is missing"), std::string::npos) << r.err;
    EXPECT_FALSE(fileexists(dir.file("10_5_3.3")));
    ASSERT_EQ(rename(dir.file("away").c_str(), dir.file("10_5_3.3.part.1.3").c_str()), 0);
    r = cli(dir.path, "--merge .");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out.rfind("merged=10_5_3.3 codes=1439 parts=3 cpu=", 0), 0u) << r.out;
    EXPECT_TRUE(resultfiles(dir.path, "10_5_3.3") == resultfiles(menu.path, "10_5_3.3"));
}

TEST(Cli, ARunKilledAtARandomMomentAndResumedGivesTheWholeRun) {
    std::mt19937 rng(2026);
    for (auto [n, k, d, q] : {std::array{13, 5, 4, 2}, std::array{10, 5, 3, 3}, std::array{8, 4, 3, 4}}) {
        const std::string name = std::to_string(n) + "_" + std::to_string(k) + "_" + std::to_string(d) + "." +
                                 std::to_string(q);
        const std::string args =
            "-n " + std::to_string(n) + " -k " + std::to_string(k) + " -d " + std::to_string(d) + " -q " +
            std::to_string(q) + " --quiet";
        tempdir whole;
        ASSERT_EQ(cli(whole.path, args).status, 0);
        for (int trial = 0; trial < 2; trial++) {
            SCOPED_TRACE(name + " trial " + std::to_string(trial));
            tempdir dir;
            pid_t pid = fork();
            if (pid == 0) {
                if (chdir(dir.path.c_str()) != 0) _exit(126);
                execl("/bin/sh", "sh", "-c", (std::string("exec ") + TALVEN_BIN " " + args + " > out 2> err").c_str(),
                      (char*)nullptr);
                _exit(127);
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(50 + rng() % 400));
            kill(pid, SIGKILL);
            int raw;
            waitpid(pid, &raw, 0);
            runresult r = cli(dir.path, args + " --resume");
            EXPECT_EQ(r.status, 0) << r.err;
            EXPECT_TRUE(resultfiles(dir.path, name) == resultfiles(whole.path, name));
            EXPECT_FALSE(fileexists(dir.file(name + ".part.0.1")));
        }
    }
}

TEST(Cli, SigtermLeavesACheckpointToResumeFrom) {
    tempdir whole, dir;
    const std::string args = "-n 14 -k 6 -d 4 -q 2 --quiet";
    ASSERT_EQ(cli(whole.path, args).status, 0);
    int pid = fork();
    if (pid == 0) {
        if (chdir(dir.path.c_str()) != 0) _exit(126);
        execl("/bin/sh", "sh", "-c", (std::string("exec ") + TALVEN_BIN " " + args + " > out 2> err").c_str(),
              (char*)nullptr);
        _exit(127);
    }
    // Wait for the part file to hold whole units, then stop the run.
    for (int i = 0; i < 3000 && readfile(dir.file("14_6_4.2.part.0.1")).find("\nU ") == std::string::npos; i++)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    kill(pid, SIGTERM);
    int raw;
    waitpid(pid, &raw, 0);
    ASSERT_TRUE(WIFSIGNALED(raw));
    EXPECT_EQ(WTERMSIG(raw), SIGTERM);
    EXPECT_NE(readfile(dir.file("err")).find("--resume continues from the checkpoint"), std::string::npos);
    EXPECT_TRUE(fileexists(dir.file("14_6_4.2.part.0.1.ckpt")));
    EXPECT_FALSE(fileexists(dir.file("14_6_4.2")));
    runresult r = cli(dir.path, args + " --resume");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(resultfiles(dir.path, "14_6_4.2") == resultfiles(whole.path, "14_6_4.2"));
}

TEST(Cli, APartAnotherRunHoldsIsRefused) {
    tempdir dir;
    writefile(dir.file("7_4_3.2.part.0.1"), "");
    int fd = open(dir.file("7_4_3.2.part.0.1").c_str(), O_RDWR);
    ASSERT_EQ(flock(fd, LOCK_EX | LOCK_NB), 0);
    runresult r = cli(dir.path, "-n 7 -k 4 -d 3 -q 2 --quiet");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("is being written by another run"), std::string::npos) << r.err;
    close(fd);
    EXPECT_EQ(cli(dir.path, "-n 7 -k 4 -d 3 -q 2 --quiet").status, 0);
}

// The lines of a file that start with '?': its records.
int recordsof(const std::string& text) {
    int n = 0;
    for (const std::string& line : splitlines(text)) n += !line.empty() && line[0] == '?';
    return n;
}

// The run header states the derived bounds; by default the h file keeps
// only codes that can grow into a code of the run, --complete-levels gives
// the menu's files byte for byte.
TEST(Cli, TheDerivedBoundsAreStatedAndCompleteLevelsGivesTheMenusFiles) {
    tempdir menu, line, full;
    runtalven(menu.path, menurun(12, 4, 6, 2));
    runresult r = cli(line.path, "-n 12 -k 4 -d 6 -q 2");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err.rfind(" Derived bounds: proportional coordinates d2->4 d3->2 d4->1; zero coordinates d1->3 d2->1 "
                          "d3->0 d4->0; weights 6,8,12; ",
                          0),
              0u)
        << r.err;
    r = cli(full.path, "-n 12 -k 4 -d 6 -q 2 --quiet --complete-levels");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(resultfiles(full.path, "12_4_6.2") == resultfiles(menu.path, "12_4_6.2"));
    const std::string bounded = readfile(line.file("12_4_6.2")), whole = readfile(menu.file("12_4_6.2"));
    EXPECT_EQ(bounded.substr(0, bounded.find(" RES")), whole.substr(0, whole.find(" RES")));
    EXPECT_EQ(recordsof(readfile(line.file("12_4_6.2h"))), 4);
    EXPECT_EQ(recordsof(readfile(menu.file("12_4_6.2h"))), 5);
}

// The simplex codes: one code each, whose facts (computed from its matrix)
// are those of the simplex code: every non-zero weight q^(k-1), dual
// distance 3, and the automorphism group GL(k, q) (with the field
// automorphism for GF(4)).
TEST(Cli, SimplexCodesAreFoundOnceWithTheirWeights) {
    const struct {
        int k, q;
    } cases[] = {{3, 3}, {3, 4}, {3, 5}, {3, 7}, {6, 2}, {7, 2}};
    for (const auto& c : cases) {
        long long qk = 1, gl = 1;
        for (int i = 0; i < c.k; i++) qk *= c.q;
        for (long long qi = 1; qi < qk; qi *= c.q) gl *= qk - qi;
        if (c.q == 4) gl *= 2;
        const int n = (int)((qk - 1) / (c.q - 1)), d = (int)(qk / c.q);
        const std::string name = std::to_string(n) + "_" + std::to_string(c.k) + "_" + std::to_string(d) + "." +
                                 std::to_string(c.q);
        SCOPED_TRACE(name);
        tempdir dir;
        runresult r = cli(dir.path, "-n " + std::to_string(n) + " -k " + std::to_string(c.k) + " -d " +
                                        std::to_string(d) + " -q " + std::to_string(c.q) + " --quiet --stats");
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(r.out.rfind("codes=1 ", 0), 0u) << r.out;
        std::string facts = "1 " + std::to_string(c.k) + " " + std::to_string(n) + " " + std::to_string(d) + " 3 " +
                            std::to_string(gl) + " 1";
        for (int w = 1; w <= n; w++) facts += w == d ? " " + std::to_string(qk - 1) : " 0";
        const std::vector<std::string> lines = splitlines(readfile(dir.file(name + ".stats")));
        ASSERT_EQ(lines.size(), 2u);
        EXPECT_EQ(lines[1], facts);
    }
}

}  // namespace
