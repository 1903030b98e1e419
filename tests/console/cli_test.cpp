// The command line end to end: refused commands write nothing and say why
// in one line; a run prints one line of totals and writes the files the menu
// writes, and so do merged parts and a killed run resumed; check and classes
// report in one line on stdout and the first fault on stderr, with status 0
// (all well), 1 (a fault in the files) or 2 (a bad command line).
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <random>
#include <thread>

#include "codeio/readers.h"
#include "common/testutil.h"
#include "results/brute.h"
#include "run/parts.h"

namespace {

TEST(Cli, RefusedCommandsWriteNothingAndSayWhyInOneLine) {
    const std::pair<const char*, const char*> cases[] = {
        {"-n 7 -k 4 -d 3", "a run needs -q"},
        {"-n 7 -k 4 -d 3 -q 6", "q=6 is not supported"},
        {"-n 3 -k 5 -d 1 -q 2", "k=5 is larger than the length n=3"},
        {"-n 7 -k 4 -d 9 -q 2", "d=9 is out of bounds (1..7)"},
        {"-n 7 -k 4 -d 3 -q 2 --weights 3,99", "--weights: 99 is not within 1..7"},
        {"-n 7 -k 4 -d 3 -q 2 --prop 9=2", "dimension 9"},
        {"-n 7 -k 4 -d 3 -q 2 --split-level 4", "--split-level must be within 1..3"},
        {"-n 7 -k 4 -d 3 -q 2 --brute 5", "--brute 5"},
        {"-n 7 -k 4 -d 3 -q 2 --bogus", "bogus"},
        // Numbers never wrap (other spellings: FuzzCommandLine); lists have no empty or spaced items.
        {"-n 7 -k 4 -d 3 -q 2 --weights 4294967300", "--weights: 4294967300 is not within 1..7"},
        {"-n 7 -k 4 -d 3 -q 2 --part 4294967297/5", "--part must be I/M"},
        {"-n 7 -k 4 -d 3 -q 2 --prop 4294967298=3", "dimension 4294967298 is not within 2..4"},
        {"-n 99999999999999999999999 -k 4 -d 3 -q 2", "n=99999999999999999999999 is out of bounds"},
        {"-n 7 -k 4 -d 3 -q 2 --weights 3,", "has an empty item"},
        {"-n 7 -k 4 -d 3 -q 2 --weights '3- 5'", "\"3- 5\" is not a weight or a range"},
        {"-n 7 -k 4 -d 3 -q 2 --weights \"$(printf '3\\n4')\"", "\"3\\x0A4\" is not a weight"},
        {"-n 7 -k 4 -d 3 -q 2 --jobs 100000", "--jobs: 100000 is out of bounds (0..1024)"},
        {"-n 7 -k 4 -d 3 -q 2 --memory 0x10", "--memory: \"0x10\" is not a decimal number"},
        {"-n 7 -k 4 -d 3 -q 2 --selforth=", "--selforth= needs a value"},  // other values: options_test.cpp
        {"check -q 0x5 f", "-q: 0x5 is not one of 2, 3, 4, 5, 7"},
    };
    for (const auto& [args, why] : cases) {
        tempdir dir;
        runresult r = runcommand(dir.path, args);
        EXPECT_EQ(r.status, 2) << args;
        EXPECT_EQ(r.out, "") << args;
        EXPECT_EQ(r.err.rfind("talven: ", 0), 0u) << args << ": " << r.err;
        EXPECT_NE(r.err.find(why), std::string::npos) << args << ": " << r.err;
        EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << args << ": " << r.err;
        EXPECT_EQ(listdir(dir.path), std::vector<std::string>{}) << args;
    }
    // (Leading zeros are decimal, as in the menu: FuzzCommandLine.)  The version, what the program was built for and the paths this
    // processor takes (the portable build's are checked in tests/portable.sh).
    tempdir ten;
    runresult r = runcommand(ten.path, "--version");
    const std::vector<std::string> version = splitlines(r.out);
    ASSERT_EQ(version.size(), 2u) << r.out;
    EXPECT_EQ(version[0], "talven 1.1");
    EXPECT_EQ(version[1].rfind("built for ", 0), 0u) << version[1];
    EXPECT_NE(version[1].find("; on this processor: popcount "), std::string::npos) << version[1];
}

// The number of codes of a run's totals line.
int codesof(const runresult& r) {
    int codes = -1;
    EXPECT_EQ(sscanf(r.out.c_str(), "codes=%d", &codes), 1) << r.out << r.err;
    return codes;
}

TEST(Cli, FlagsAndRestrictionsMeanWhatTheySay) {
    // A flag's value is read, not only its presence: the [7,4,3] Hamming
    // code is not self-orthogonal.
    const std::pair<const char*, int> flags[] = {{"--selforth=false", 1}, {"--selforth=0", 1}, {"--selforth=no", 1},
                                                 {"--selforth", 0},       {"--selforth=true", 0}, {"", 1}};
    for (const auto& [flag, codes] : flags) {
        tempdir dir;
        EXPECT_EQ(codesof(runcommand(dir.path, std::string("-n 7 -k 4 -d 3 -q 2 --quiet ") + flag)), codes) << flag;
    }
    // Weights and dual distance as options give the menu's run.  Of the four
    // ternary [9,1] codes of weight 5, 7, 8 or 9 only the one without a zero
    // coordinate has a dual of distance 2; none has 3.  The checker agrees.
    for (int dual : {1, 2, 3}) {
        tempdir dir, menu;
        const std::string args = "-n 9 -k 1 -d 5 -q 3 --quiet --weights 5,7-9 --dual " + std::to_string(dual);
        EXPECT_EQ(codesof(runcommand(dir.path, args)), dual == 1 ? 4 : dual == 2 ? 1 : 0);
        runresult c = runcommand(dir.path, "check 9_1_5.3");
        EXPECT_EQ(c.status, 0) << c.out << c.err;
        runtalven(menu.path, "2\n9\n1\n5\n3\n1\n0\n3\ny\nn\ny\ny\ny\n5\n" + std::to_string(dual) + "\n1\n8\n");
        EXPECT_TRUE(resultfiles(menu.path, "9_1_5.3") == resultfiles(dir.path, "9_1_5.3")) << "dual " << dual;
    }
}

TEST(Cli, ARunPrintsOneLineOfTotalsAndTheFilesOfTheMenu) {
    tempdir menu, line;
    runtalven(menu.path, "2\n13\n5\n4\n2\n1\n0\n1\n8\n");  // the same run from the menu
    runresult r = runcommand(line.path, "-n 13 -k 5 -d 4 -q 2 --quiet -j 2");
    EXPECT_EQ(r.status, 0) << r.err;
    // The line with its two timings and its masses masked (see mass_test).
    std::string masked = r.out;
    for (const std::string key : {"seconds=", "cpu=", " mass=", "masses="}) {
        const size_t at = masked.find(key);
        if (at == std::string::npos) continue;
        const size_t from = at + key.size(), to = masked.find_first_not_of("0123456789.,", from);
        if (to != from && to != std::string::npos) masked.replace(from, to - from, "#");
    }
    EXPECT_EQ(masked, "codes=1429 n=13 k=5 d=4 q=2 seconds=# cpu=# mass=# expected=not-counted complete=unknown masses=#\n")
        << r.out;
    EXPECT_EQ(r.err, "");
    EXPECT_TRUE(resultfiles(line.path, "13_5_4.2") == resultfiles(menu.path, "13_5_4.2"));
    EXPECT_EQ(listdir(line.path), (std::vector<std::string>{"13_5_4.2", "13_5_4.2h", "13_5_4.2inf", "res"}));
    EXPECT_EQ(listdir(line.file("res")), std::vector<std::string>{});
}

// A run killed at a random moment, or stopped by SIGTERM once its part file
// holds whole units (it then says how to go on and keeps a checkpoint), and
// resumed, gives the files of the whole run.
TEST(Cli, ARunKilledOrStoppedAndResumedGivesTheWholeRun) {
    std::mt19937 rng(2026);
    for (auto [n, k, d, q, sig] : {std::array{13, 5, 4, 2, SIGKILL}, std::array{10, 5, 3, 3, SIGKILL},
                                   std::array{8, 4, 3, 4, SIGKILL}, std::array{14, 6, 4, 2, SIGTERM}}) {
        const std::string name = runname(n, k, d, q), args = runargs(n, k, d, q) + " --quiet";
        SCOPED_TRACE(name + " signal " + std::to_string(sig));
        tempdir whole, dir;
        ASSERT_EQ(runcommand(whole.path, args).status, 0);
        const int pid = starttalven(dir.path, "", "run", args);
        if (sig == SIGKILL) std::this_thread::sleep_for(std::chrono::milliseconds(50 + rng() % 400));
        for (int i = 0; sig == SIGTERM && i < 3000 && readfile(dir.file(name + ".part.0.1")).find("\nU ") == std::string::npos; i++)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        kill(pid, sig);
        runresult stopped = waittalven(pid, dir.path, "run");
        if (sig == SIGTERM) {
            EXPECT_EQ(stopped.status, 128 + SIGTERM);
            EXPECT_NE(stopped.err.find("--resume continues from the checkpoint"), std::string::npos) << stopped.err;
            EXPECT_TRUE(fileexists(dir.file(name + ".part.0.1.ckpt")));
            EXPECT_FALSE(fileexists(dir.file(name)));
        }
        // A resume on more threads goes on at the split level of the file.
        runresult r = runcommand(dir.path, args + " --resume" + (sig == SIGTERM ? " --jobs 2" : ""));
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_TRUE(resultfiles(dir.path, name) == resultfiles(whole.path, name));
        EXPECT_FALSE(fileexists(dir.file(name + ".part.0.1")));
    }
}

TEST(Cli, APartAnotherRunHoldsIsRefused) {
    tempdir dir;
    int fd = open(dir.file("7_4_3.2.part.0.1").c_str(), O_RDWR | O_CREAT, 0666);
    ASSERT_EQ(flock(fd, LOCK_EX | LOCK_NB), 0);
    runresult r = runcommand(dir.path, "-n 7 -k 4 -d 3 -q 2 --quiet");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("is being written by another run"), std::string::npos) << r.err;
    close(fd);
    EXPECT_EQ(runcommand(dir.path, "-n 7 -k 4 -d 3 -q 2 --quiet").status, 0);
}

// The run header states the derived bounds; by default the h file keeps
// only codes that can grow into a code of the run, --complete-levels gives
// the menu's files byte for byte.
TEST(Cli, TheDerivedBoundsAreStatedAndCompleteLevelsGivesTheMenusFiles) {
    tempdir menu, line, full;
    runtalven(menu.path, "2\n12\n4\n6\n2\n1\n0\n1\n8\n");
    runresult r = runcommand(line.path, "-n 12 -k 4 -d 6 -q 2");
    EXPECT_EQ(r.status, 0) << r.err;
    const std::string bounds = " Derived bounds: proportional coordinates d2->4 d3->2 d4->1; zero coordinates d1->3 "
                               "d2->1 d3->0 d4->0; weights 6,8,12; ";
    EXPECT_EQ(r.err.substr(0, bounds.size()), bounds);
    r = runcommand(full.path, "-n 12 -k 4 -d 6 -q 2 --quiet --complete-levels");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(resultfiles(full.path, "12_4_6.2") == resultfiles(menu.path, "12_4_6.2"));
    const std::string bounded = readfile(line.file("12_4_6.2")), whole = readfile(menu.file("12_4_6.2"));
    EXPECT_EQ(bounded.substr(0, bounded.find(" RES")), whole.substr(0, whole.find(" RES")));
    EXPECT_EQ(brute::readcodes(line.file("12_4_6.2h")).size(), 4u);
    EXPECT_EQ(brute::readcodes(menu.file("12_4_6.2h")).size(), 5u);
}

// The simplex codes: one code each, whose facts (computed from its matrix)
// are those of the simplex code: every non-zero weight q^(k-1), dual
// distance 3, and the automorphism group GL(k, q) (with the field
// automorphism for GF(4)).
TEST(Cli, SimplexCodesAreFoundOnceWithTheirWeights) {
    const std::pair<int, int> cases[] = {{3, 3}, {3, 4}, {3, 5}, {3, 7}, {6, 2}, {7, 2}};
    for (const auto& [k, q] : cases) {
        long long qk = 1, gl = 1;
        for (int i = 0; i < k; i++) qk *= q;
        for (long long qi = 1; qi < qk; qi *= q) gl *= qk - qi;
        if (q == 4) gl *= 2;
        const int n = (int)((qk - 1) / (q - 1)), d = (int)(qk / q);
        const std::string name = runname(n, k, d, q);
        SCOPED_TRACE(name);
        tempdir dir;
        runresult r = runcommand(dir.path, runargs(n, k, d, q) + " --quiet --stats");
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(r.out.rfind("codes=1 ", 0), 0u) << r.out;
        std::string facts = "1 " + std::to_string(k) + " " + std::to_string(n) + " " + std::to_string(d) + " 3 " +
                            std::to_string(gl) + " 1";
        for (int w = 1; w <= n; w++) facts += w == d ? " " + std::to_string(qk - 1) : " 0";
        const std::vector<std::string> lines = splitlines(readfile(dir.file(name + ".stats")));
        ASSERT_EQ(lines.size(), 3u);
        EXPECT_EQ(lines[1], facts);
        EXPECT_EQ(lines[2].rfind("# mass=", 0), 0u) << lines[2];
    }
}

// The parts 0..M-1 of a run, made in dir through the command line.
void makeparts(const std::string& dir, const std::string& args, int M) {
    for (int I = 0; I < M; I++) {
        runresult r = runcommand(dir, args + " --quiet --part " + std::to_string(I) + "/" + std::to_string(M));
        ASSERT_EQ(r.status, 0) << r.err;
    }
}

// The parts share the levels above the split level through the skeleton
// file: the first part writes it, the others read it; a damaged one is said
// and written anew, and the merge is the whole run either way.
TEST(Cli, PartsShareOneSkeletonAndADamagedOneIsMadeAgain) {
    tempdir dir, whole;
    const std::string args = "-n 13 -k 5 -d 4 -q 2 --split-level 2";
    ASSERT_EQ(runcommand(whole.path, args + " --quiet").status, 0);
    ASSERT_EQ(runcommand(dir.path, args + " --quiet --part 0/3").status, 0);
    const std::string skeleton = dir.file("13_5_4.2.skeleton.3");
    std::string text = readfile(skeleton);
    ASSERT_EQ(text.rfind("#talven skeleton of 3 parts split 2 format 1\n", 0), 0u);
    text[text.size() / 2] = text[text.size() / 2] == '1' ? '0' : '1';
    writefile(skeleton, text);
    runresult r = runcommand(dir.path, args + " --quiet --part 1/3");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "talven: 13_5_4.2.skeleton.3 was not used (damaged); it is written anew\n");
    r = runcommand(dir.path, args + " --quiet --part 2/3");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
    ASSERT_EQ(runcommand(dir.path, "--merge . --quiet").status, 0);
    EXPECT_EQ(masktime(resultfiles(dir.path, "13_5_4.2")), masktime(resultfiles(whole.path, "13_5_4.2")));

    // A part stopped in its units resumes from its checkpoint and the file.
    tempdir parts, one;
    const std::string args2 = "-n 14 -k 6 -d 4 -q 2 --quiet --split-level 4", name = "14_6_4.2";
    ASSERT_EQ(runcommand(one.path, args2).status, 0);
    ASSERT_EQ(runcommand(parts.path, args2 + " --part 0/2").status, 0);
    const int pid = starttalven(parts.path, "", "part", args2 + " --part 1/2");
    for (int i = 0; i < 3000 && readfile(parts.file(name + ".part.1.2")).find("\nU ") == std::string::npos; i++)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    kill(pid, SIGTERM);
    EXPECT_EQ(waittalven(pid, parts.path, "part").status, 128 + SIGTERM);
    r = runcommand(parts.path, args2 + " --part 1/2 --resume");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
    ASSERT_EQ(runcommand(parts.path, "--merge . --quiet").status, 0);
    EXPECT_EQ(masktime(resultfiles(parts.path, name)), masktime(resultfiles(one.path, name)));
}

// A part travels between machines: a damaged, foreign or older part is
// refused by the merge and by --resume, never merged into a wrong result;
// a finished part resumed again is no failure.
TEST(Cli, DamagedOlderAndFinishedPartsAreToldApart) {
    tempdir dir, whole;
    const std::string args = "-n 9 -k 4 -d 3 -q 3";
    ASSERT_EQ(runcommand(whole.path, args + " --quiet").status, 0);
    makeparts(dir.path, args, 3);
    const std::string part1 = dir.file("9_4_3.3.part.1.3"), good = readfile(part1);
    auto merged = [&](const std::string& why) {
        runresult r = runcommand(dir.path, "--merge .");
        EXPECT_EQ(r.status, 1) << why;
        EXPECT_NE(r.err.find(why), std::string::npos) << r.err;
        EXPECT_FALSE(fileexists(dir.file("9_4_3.3"))) << why;
        writefile(part1, good);
    };
    // (Each damaged line and its reason: tests/run/partfile_test.cpp.)
    // The end line's seconds changed: the file's own sum.
    const std::vector<std::string> lines = splitlines(good);
    std::string end = lines.back();
    end[2] = end[2] == '9' ? '8' : '9';
    writefile(part1, withline(good, lines.size(), end));
    merged("the checksum of the file does not match");
    // The sums are written in lower case.
    std::string upper = lines.back();
    for (size_t i = upper.rfind(' '); i < upper.size(); i++) upper[i] = (char)toupper(upper[i]);
    ASSERT_NE(upper, lines.back());
    writefile(part1, withline(good, lines.size(), upper));
    merged("a damaged end line");
    // A part made with --complete-levels (whose h file keeps every code) is
    // another run: never mixed with the others.
    ASSERT_EQ(rename(part1.c_str(), dir.file("keep").c_str()), 0);
    ASSERT_EQ(runcommand(dir.path, args + " --quiet --complete-levels --part 1/3").status, 0);
    runresult r = runcommand(dir.path, "--merge .");
    EXPECT_EQ(r.status, 1);
    EXPECT_FALSE(fileexists(dir.file("9_4_3.3")));
    ASSERT_EQ(remove(part1.c_str()), 0);
    ASSERT_EQ(mkdir(part1.c_str(), 0777), 0);
    r = runcommand(dir.path, "--merge .");
    EXPECT_NE(r.err.find("Is a directory"), std::string::npos) << r.err;
    ASSERT_EQ(rmdir(part1.c_str()), 0);
    ASSERT_EQ(rename(dir.file("keep").c_str(), part1.c_str()), 0);

    // A finished part resumed again (a re-queued task of a job array) ends
    // with status 0 and says so (other options: the next test).
    r = runcommand(dir.path, args + " --quiet --part 1/3 --resume");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.err.find("is complete already"), std::string::npos) << r.err;
    EXPECT_EQ(r.out.rfind("part=1/3 n=9 k=4 d=3 q=3 split=", 0), 0u) << r.out;
    r = runcommand(dir.path, "--merge .");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(resultfiles(dir.path, "9_4_3.3") == resultfiles(whole.path, "9_4_3.3"));
}

// A whole run whose final merge did not finish keeps its complete part
// file; --resume merges it only when it was made with the same options.
TEST(Cli, AResumeAfterAStoppedFinalMergeComparesTheOptions) {
    tempdir dir, whole, dual;
    const std::string args = "-n 9 -k 4 -d 3 -q 3 --quiet";
    ASSERT_EQ(runcommand(whole.path, args).status, 0);
    ASSERT_EQ(runcommand(dual.path, args + " --dual 3").status, 0);
    // The merge stops: a folder holds the name of the h file.
    ASSERT_EQ(mkdir(dir.file("9_4_3.3h").c_str(), 0777), 0);
    runresult r = runcommand(dir.path, args);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "talven: cannot write file 9_4_3.3h: Is a directory\n");
    EXPECT_FALSE(fileexists(dir.file("9_4_3.3")));
    EXPECT_FALSE(fileexists(dir.file("9_4_3.3inf"))) << "a stopped merge replaces no file";
    ASSERT_EQ(rmdir(dir.file("9_4_3.3h").c_str()), 0);
    for (const char* other : {" --dual 3", " --weights 3-8", " --selforth", " --dw 3", " --prop 2=3", " --complete-levels"}) {
        r = runcommand(dir.path, args + " --resume" + other);
        EXPECT_EQ(r.status, 1) << other;
        EXPECT_NE(r.err.find("9_4_3.3.part.0.1 was made with other options"), std::string::npos) << r.err;
        EXPECT_FALSE(fileexists(dir.file("9_4_3.3"))) << other;
    }
    r = runcommand(dir.path, args + " --resume");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(resultfiles(dir.path, "9_4_3.3") == resultfiles(whole.path, "9_4_3.3"));
    // Without --resume the other options make their own run.
    r = runcommand(dir.path, args + " --dual 3");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(resultfiles(dir.path, "9_4_3.3") == resultfiles(dual.path, "9_4_3.3"));
}

// The merge of a split run writes the asked export and statistics.  A merge
// that fails (here at the file-size limit) or is killed while it rewrites a
// complete result leaves that result whole; file faults name the file and
// the reason, in runs, merges and exports alike.
TEST(Cli, AMergeThatFailsOrIsKilledLeavesTheOldResultWhole) {
    tempdir dir, whole;
    const std::string args = "-n 13 -k 5 -d 4 -q 2";
    ASSERT_EQ(runcommand(whole.path, args + " --quiet").status, 0);
    const std::string want = resultfiles(whole.path, "13_5_4.2");
    makeparts(dir.path, args, 2);
    runresult r = runcommand(dir.path, "--merge . --format sage --stats");
    EXPECT_EQ(r.out.rfind("merged=13_5_4.2 codes=1429 parts=2 ", 0), 0u) << r.out << r.err;
    ASSERT_TRUE(resultfiles(dir.path, "13_5_4.2") == want);
    const std::vector<CodeMatrix> codes = brute::readcodes(dir.file("13_5_4.2"));
    EXPECT_EQ(brute::readcodes(dir.file("13_5_4.2.sage"), Format::sage), codes);
    EXPECT_EQ(splitlines(readfile(dir.file("13_5_4.2.stats"))).size(), codes.size() + 2);
    r = runcommand(dir.path, "check 13_5_4.2.sage");
    EXPECT_EQ(r.out, "checked=13_5_4.2.sage format=sage codes=1429 faults=0\n") << r.err;

    // The limits are in blocks of 512 bytes: 32 KiB is less than the result
    // file, 200 KiB more than the result files but less than their export.
    r = runcommand(dir.path, "--merge .", "ulimit -f 64 &&");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("cannot write file ./13_5_4.2h: File too large"), std::string::npos) << r.err;
    EXPECT_TRUE(resultfiles(dir.path, "13_5_4.2") == want);
    r = runcommand(dir.path, "--merge . --format jsonl", "ulimit -f 400 &&");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("13_5_4.2.jsonl.tmp: cannot write: File too large"), std::string::npos) << r.err;
    EXPECT_FALSE(fileexists(dir.file("13_5_4.2.jsonl")));
    tempdir small;
    r = runcommand(small.path, args + " --quiet", "ulimit -f 8 &&");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("13_5_4.2.part.0.1: File too large"), std::string::npos) << r.err;

    std::mt19937 rng(17);
    for (int trial = 0; trial < 4; trial++) {
        const int pid = starttalven(dir.path, "", "merge", "--merge .");
        std::this_thread::sleep_for(std::chrono::microseconds(rng() % 30000));
        kill(pid, SIGKILL);
        waittalven(pid, dir.path, "merge");
        EXPECT_TRUE(resultfiles(dir.path, "13_5_4.2") == want) << "trial " << trial;
    }
}

// check, classes and the merge read regular files only, and guess a format
// from a bounded start: a huge file without newlines, a device and a FIFO
// each end in one message.
TEST(Cli, OnlyRegularFilesAreReadAndTheGuessIsBounded) {
    tempdir dir;
    writefile(dir.file("huge"), "");
    ASSERT_EQ(truncate(dir.file("huge").c_str(), (off_t)2 << 30), 0);  // sparse: no disk
#ifdef __SANITIZE_ADDRESS__
    const std::string memory = "timeout 60";  // the sanitizer's shadow memory needs no limit on addresses
#else
    const std::string memory = "ulimit -v 400000 && timeout 60";  // a file read whole would not fit
#endif
    runresult r = runcommand(dir.path, "check huge", memory);
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("a line longer than"), std::string::npos) << r.err;
    ASSERT_EQ(symlink("/dev/zero", dir.file("zero").c_str()), 0);
    ASSERT_EQ(mkfifo(dir.file("fifo").c_str(), 0666), 0);
    for (const std::string cmd : {"check zero", "check fifo", "classes fifo", "classes -q 2 fifo"}) {
        r = runcommand(dir.path, cmd, memory);
        EXPECT_EQ(r.status, 1) << cmd;
        EXPECT_NE(r.err.find("not a regular file"), std::string::npos) << cmd << ": " << r.err;
    }
    remove(dir.file("huge").c_str());
    ASSERT_EQ(mkfifo(dir.file("7_4_3.2.part.0.1").c_str(), 0666), 0);
    r = runcommand(dir.path, "--merge .", "timeout 60");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("7_4_3.2.part.0.1 is not a regular file"), std::string::npos) << r.err;
}

// The line (from 1) that is exactly `line`.
size_t lineof(const std::string& text, const std::string& line) {
    std::vector<std::string> v = splitlines(text);
    auto it = std::find(v.begin(), v.end(), line);
    EXPECT_NE(it, v.end()) << line;
    return (size_t)(it - v.begin()) + 1;
}

// check and classes report in one line on stdout and the first fault on
// stderr (with a count when there are more), and write nothing.
TEST(FileCommands, CheckAndClassesReportOnStdoutAndTheFirstFaultOnStderr) {
    tempdir dir;
    ASSERT_EQ(runcommand(dir.path, "--quiet -n 7 -k 3 -d 3 -q 2").status, 0);
    const std::string text = readfile(dir.file("7_3_3.2"));
    const std::string bad = withline(text, lineof(text, "?3 7 2 3"), "?3 7 2 4");
    writefile(dir.file("bad"), bad);
    writefile(dir.file("bad2"), withline(bad, lineof(bad, "?3 7 2 5"), "?3 7 2 9"));
    // A symbol that is no element of GF(2): the file is damaged at that line.
    const size_t row = lineof(text, "?3 7 2 2") + 1;
    std::string damaged = splitlines(text)[row - 1];
    damaged[0] = '2';
    writefile(dir.file("damaged"), withline(text, row, damaged));
    // Plain matrices need their field; two equivalent ones are a fault.
    writefile(dir.file("two.txt"), "1110\n0101\n\n1110\n1001\n");
    writefile(dir.file("a.txt"), "10110\n01011\n");
    writefile(dir.file("b.txt"), "101100\n010111\n");
    const std::vector<std::string> files = listdir(dir.path);
    // Command, status, stdout, and the start of stderr, which has as many lines as that start (at least one).
    const std::tuple<std::string, int, std::string, std::string> cases[] = {
        {"check 7_3_3.2", 0, "checked=7_3_3.2 format=result codes=5 faults=0\n", ""},
        {"check 7_3_3.2h", 0, "checked=7_3_3.2h format=result codes=9 faults=0\n", ""},
        {"check bad", 1, "checked=bad format=result codes=5 faults=1\n", "talven: bad: record 3: numbered 4, not 3\n"},
        {"check bad2", 1, "checked=bad2 format=result codes=5 faults=2\n",
         "talven: bad2: record 3: numbered 4, not 3\ntalven: bad2: 2 faults in all\n"},
        {"check damaged", 1, "checked=damaged format=result codes=1 faults=1\n",
         "talven: damaged: line " + std::to_string(row) + ": "},
        {"check nothere", 1, "checked=nothere format=result codes=0 faults=1\n",
         "talven: nothere: cannot open nothere: No such file or directory\n"},
        {"check res", 1, "checked=res format=result codes=0 faults=1\n", "talven: res: cannot open res: Is a directory\n"},
        {"check two.txt -q 2", 1, "checked=two.txt format=plain codes=2 faults=1\n",
         "talven: two.txt: code 2: equivalent to code 1\n"},
        {"classes a.txt b.txt -q 2", 1, "",
         "talven: b.txt: code 1: a code of length 6 over GF(2) among codes of length 5 over GF(2)\n"},
        {"check", 2, "", "talven: "},
        {"check 7_3_3.2 7_3_3.2h", 2, "", "talven: "},
        {"check 7_3_3.2 --stats", 2, "", "talven: "},
        {"check 7_3_3.2 --format bogus", 2, "", "talven: --format: bogus"},
        {"check 7_3_3.2 -q 6", 2, "", "talven: -q: 6 is not one of 2, 3, 4, 5, 7\n"},
        {"check 7_3_3.2 --equivalence both", 2, "", "talven: --equivalence: both"},
        {"-n 7 check 7_3_3.2", 2, "", "talven: the file commands take no run options before them\n"},
        {"check two.txt", 2, "", "talven: check: two.txt holds plain matrices; give their field with -q (or the comment of a run's parameters)\n"},
        {"classes a.txt -q 2 -o a.txt", 2, "", "talven: classes: the output a.txt is the input a.txt; choose another -o\n"},
        {"classes 7_3_3.2 -o 7_3_3.2h", 2, "", "talven: classes: 7_3_3.2h is the file of a run; choose another -o\n"},
        {"classes a.txt -q 2 -o 7_3_3.2", 2, "", "talven: classes: 7_3_3.2 is the file of a run; choose another -o\n"},
        {"classes a.txt", 2, "", "talven: classes: a.txt holds plain matrices; give their field with -q\n"},
        {"classes a.txt --to bogus -q 2", 2, "", "talven: --to: bogus"},
    };
    for (const auto& [args, status, out, err] : cases) {
        runresult r = runcommand(dir.path, args);
        EXPECT_EQ(r.status, status) << args;
        EXPECT_EQ(r.out, out) << args;
        EXPECT_EQ(r.err.rfind(err, 0), 0u) << args << ": " << r.err;
        const long lines = std::count(err.begin(), err.end(), '\n');
        EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), err.empty() ? 0 : std::max(lines, 1L)) << args;
        EXPECT_EQ(listdir(dir.path), files) << args;
    }
    // Dependent rows: that code is left out, the others sorted, status 1.
    writefile(dir.file("dep.txt"), "10110\n01011\n\n10110\n10110\n\n10000\n01000\n");
    runresult r = runcommand(dir.path, "classes dep.txt -q 2 -o dep");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "classes=2 codes=2 out=dep\n");
    EXPECT_EQ(r.err, "talven: dep.txt: code 2: the rows are not independent; the code is left out\n");
    EXPECT_EQ(readfile(dir.file("dep.sizes")), "# class size\n1 1\n2 1\n");
}

TEST(FileCommands, ClassesOfARunAndItsExport) {
    tempdir dir;
    ASSERT_EQ(runcommand(dir.path, "--quiet -n 6 -k 3 -d 3 -q 3 --format sage").status, 0);
    const std::vector<CodeMatrix> codes = brute::readcodes(dir.file("6_3_3.3"));
    ASSERT_EQ(codes.size(), 4u);
    runresult r = runcommand(dir.path, "classes 6_3_3.3 6_3_3.3.sage -o both --to jsonl");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "classes=4 codes=8 out=both.jsonl\n");  // the format's suffix added
    EXPECT_EQ(readfile(dir.file("both.sizes")), "# class size\n1 2\n2 2\n3 2\n4 2\n");
    EXPECT_EQ(brute::readcodes(dir.file("both.jsonl"), Format::jsonl), codes);
    r = runcommand(dir.path, "check both.jsonl");
    EXPECT_EQ(r.status, 0) << r.err;
    // Sage's load() wants the suffix; a name that has one keeps it.
    r = runcommand(dir.path, "classes 6_3_3.3 -o reps --to sage");
    EXPECT_EQ(r.out, "classes=4 codes=4 out=reps.sage\n") << r.err;
    EXPECT_EQ(brute::readcodes(dir.file("reps.sage"), Format::sage), codes);
    r = runcommand(dir.path, "classes 6_3_3.3 -o reps.gp --to gap");
    EXPECT_EQ(r.out, "classes=4 codes=4 out=reps.gp\n") << r.err;
    r = runcommand(dir.path, "classes 6_3_3.3");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find(" out=classes\n"), std::string::npos) << r.out;
    EXPECT_TRUE(fileexists(dir.file("classes")) && fileexists(dir.file("classes.sizes")));
}

// The Magma, GAP, Sage and plain exports open with the run's parameters, so
// the checker holds them to the run: a planted code of a smaller minimum
// distance is a fault, a linear GF(4) run's classes are not taken for
// semilinear ones, and the mass has its number of codes to reach.
TEST(FileCommands, ExportsCarryTheRunsParametersForTheChecker) {
    tempdir dir;
    for (const char* f : {"magma", "gap", "sage", "plain"}) {
        ASSERT_EQ(runcommand(dir.path, std::string("--quiet -n 6 -k 3 -d 3 -q 3 --format ") + f).status, 0) << f;
        const std::string file = std::string("6_3_3.3") + (f[0] == 'p' ? ".txt" : f[0] == 'm' ? ".m" : f[0] == 'g' ? ".g" : ".sage");
        runresult r = runcommand(dir.path, "check --mass " + file);
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_NE(r.out.find(" faults=0 mass="), std::string::npos) << r.out;
        EXPECT_NE(r.out.find(" complete=yes"), std::string::npos) << r.out;
    }
    const std::string text = readfile(dir.file("6_3_3.3.txt"));
    const size_t first = text.find('\n') + 1;
    writefile(dir.file("drop.txt"), text.substr(0, first) + "100100\n011010\n110001\n" + text.substr(text.find("\n\n") + 1));
    runresult r = runcommand(dir.path, "check drop.txt");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err.rfind("talven: drop.txt: code 1: minimum distance 2, below d = 3", 0), 0u) << r.err;

    ASSERT_EQ(runcommand(dir.path, "--quiet -n 8 -k 3 -d 3 -q 4 --equivalence linear --format plain").status, 0);
    r = runcommand(dir.path, "check 8_3_3.4.txt");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "checked=8_3_3.4.txt format=plain codes=122 faults=0\n");
}

// Every code of every format is held to the parameters its file states (a
// result file's header, the comment an export opens with): a file that
// states an n, k, q, d or weights its codes do not have is a fault, and
// never called complete.
TEST(FileCommands, EveryFormatIsHeldToTheParametersItStates) {
    tempdir dir;
    const std::string args = "--quiet -n 7 -k 4 -d 3 -q 2 --format ";
    for (const char* f : {"magma", "gap", "sage", "plain"}) ASSERT_EQ(runcommand(dir.path, args + f).status, 0) << f;
    std::string why;
    auto result = openreader(dir.file("7_4_3.2"), Format::result, 0, why);
    ASSERT_TRUE(result && result->start() && result->header()) << why;
    const RunHeader stated = *result->header();
    const std::pair<const char*, void (*)(RunHeader&)> edits[] = {
        {"none", [](RunHeader&) {}},
        {"n", [](RunHeader& h) { h.n = 8, h.weights.push_back(8); }},
        {"k", [](RunHeader& h) { h.k = 5, h.propcol.push_back(NOBOUND); }},
        {"q", [](RunHeader& h) { h.q = 3; }},
        {"d", [](RunHeader& h) { h.d = 4, h.weights.erase(h.weights.begin()); }},
        {"weights", [](RunHeader& h) { h.weights.erase(h.weights.begin() + 1); }},  // 4 out
    };
    for (const char* ext : {"", ".m", ".g", ".sage", ".txt"}) {
        const std::string text = readfile(dir.file(std::string("7_4_3.2") + ext));
        const size_t mark = text.find(COMMENT_MARK), eol = text.find('\n');
        const size_t records = text.find("\n?") + 1;
        if (ext[0] == '\0') {
            ASSERT_EQ(text.substr(0, records), headertext(stated));
        }
        for (const auto& [what, edit] : edits) {
            SCOPED_TRACE(std::string(ext) + " with another " + what);
            RunHeader h = stated;
            edit(h);
            writefile(dir.file(std::string("e") + ext), ext[0] == '\0' ? headertext(h) + text.substr(records)
                                                     : text.substr(0, mark) + headerwords(h) + text.substr(eol));
            runresult r = runcommand(dir.path, std::string("check --mass e") + ext);
            EXPECT_EQ(r.status, what[0] == 'n' && what[1] == 'o' ? 0 : 1) << r.out << r.err;
            EXPECT_EQ(r.out.find("complete=yes"), what[0] == 'n' && what[1] == 'o' ? r.out.find("complete") : std::string::npos)
                << r.out;
        }
    }
}

// The merge holds parts to their names: a part renamed to another run's
// name, or to another part's number, is refused naming both, and no empty
// result is left behind.  A part another run is still writing is named so.
TEST(Cli, TheMergeHoldsPartsToTheirNamesAndToTheirWriters) {
    tempdir dir;
    const std::string args = "-n 12 -k 5 -d 4 -q 2";
    makeparts(dir.path, args, 3);
    ASSERT_EQ(mkdir(dir.file("m").c_str(), 0777), 0);
    for (int I = 0; I < 3; I++)
        ASSERT_EQ(rename(dir.file("12_5_4.2.part." + std::to_string(I) + ".3").c_str(),
                         dir.file("m/13_5_4.2.part." + std::to_string(I) + ".3").c_str()), 0);
    runresult r = runcommand(dir.path, "--merge m");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "talven: 13_5_4.2: m/13_5_4.2.part.0.3 holds part 0 of 3 of the run 12_5_4.2 (its P line), so its "
                     "name must be 12_5_4.2.part.0.3\n");
    EXPECT_EQ(listdir(dir.file("m")), (std::vector<std::string>{"13_5_4.2.part.0.3", "13_5_4.2.part.1.3", "13_5_4.2.part.2.3"}));
    // Parts 0 and 1 swapped by name.
    for (const auto& [from, to] : {std::pair{"13_5_4.2.part.0.3", "12_5_4.2.part.1.3"}, {"13_5_4.2.part.1.3", "12_5_4.2.part.0.3"},
                                   {"13_5_4.2.part.2.3", "12_5_4.2.part.2.3"}})
        ASSERT_EQ(rename(dir.file(std::string("m/") + from).c_str(), dir.file(std::string("m/") + to).c_str()), 0);
    r = runcommand(dir.path, "--merge m");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("holds part 1 of 3 of the run 12_5_4.2 (its P line), so its name must be 12_5_4.2.part.1.3"),
              std::string::npos) << r.err;
    EXPECT_FALSE(fileexists(dir.file("m/12_5_4.2")));
    // Part 2 cut back to a checkpoint and held by a run that writes it.
    const std::string part2 = dir.file("m/12_5_4.2.part.2.3"), text = readfile(part2);
    writefile(part2, text.substr(0, text.rfind("E ")));
    int fd = open(part2.c_str(), O_RDWR);
    ASSERT_EQ(flock(fd, LOCK_EX | LOCK_NB), 0);
    for (const auto& [from, to] : {std::pair{"12_5_4.2.part.0.3", "x"}, {"12_5_4.2.part.1.3", "12_5_4.2.part.0.3"},
                                   {"x", "12_5_4.2.part.1.3"}})
        ASSERT_EQ(rename(dir.file(std::string("m/") + from).c_str(), dir.file(std::string("m/") + to).c_str()), 0);
    r = runcommand(dir.path, "--merge m");
    EXPECT_EQ(r.err, "talven: 12_5_4.2: m/12_5_4.2.part.2.3 is being written by another run\n");
    close(fd);
    r = runcommand(dir.path, "--merge m");
    EXPECT_NE(r.err.find("is incomplete (the part was stopped before its end; resume it)"), std::string::npos) << r.err;
    EXPECT_FALSE(fileexists(dir.file("m/12_5_4.2")));
    for (const char* where : {"nothere", "m/12_5_4.2.part.0.3"}) {
        r = runcommand(dir.path, std::string("--merge ") + where);
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.err, std::string("talven: ") + (where[0] == 'n' ? "cannot open the folder nothere: No such file or directory\n"
                                                      : "m/12_5_4.2.part.0.3 is not a folder (--merge takes the folder of the parts)\n"));
    }
}

// A stop while the split level is chosen says what is kept: the units of
// the levels counted so far, in the part's choice file, which --resume
// takes instead of walking those levels again (a choice file of other
// options, or damaged, is walked again).
TEST(Cli, AStopWhileTheSplitLevelIsChosenKeepsTheLevelsCounted) {
    tempdir whole, dir;
    const std::string args = "-n 14 -k 4 -d 1 -q 3 --dual 3 --quiet --jobs 2", name = "14_4_1.3";
    ASSERT_EQ(runcommand(whole.path, args).status, 0);
    const int pid = starttalven(dir.path, "", "run", args);
    const std::string choice = dir.file(name + ".part.0.1.split");
    for (int i = 0; i < 20000 && readfile(choice).find("\nL 2 ") == std::string::npos; i++)
        std::this_thread::sleep_for(std::chrono::microseconds(500));
    kill(pid, SIGTERM);
    runresult stopped = waittalven(pid, dir.path, "run");
    EXPECT_EQ(stopped.status, 128 + SIGTERM);
    EXPECT_EQ(stopped.err, "talven: stopped by Terminated while choosing the split level, with the units of 2 levels "
                           "counted; --resume goes on from there\n");
    EXPECT_FALSE(fileexists(dir.file(name + ".part.0.1")) || fileexists(dir.file(name + ".part.0.1.ckpt")));
    const std::vector<std::string> kept = splitlines(readfile(choice));
    ASSERT_GE(kept.size(), 7u);
    EXPECT_EQ(kept[0], "#talven split choice of part 0 1");
    runresult r = runcommand(dir.path, args + " --resume");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(resultfiles(dir.path, name) == resultfiles(whole.path, name));
    EXPECT_EQ(listdir(dir.path), (std::vector<std::string>{name, name + "h", name + "inf", "res"}));

    // A kept choice is taken as it stands: here one that chose level 1 (the
    // run's own choice is another) with the true count of level 1.  A
    // damaged one, or one of another run under the same name, is not.
    tempdir small, smallwhole;
    const std::string args2 = "-n 9 -k 4 -d 3 -q 3 --quiet", part0 = small.file("9_4_3.3.part.0.2");
    ASSERT_EQ(runcommand(smallwhole.path, args2).status, 0);
    r = runcommand(small.path, args2 + " --part 0/2 --split-level 1");
    const size_t at = r.out.find(" split=1 units=");
    ASSERT_NE(at, std::string::npos) << r.out;
    const std::string units1 = r.out.substr(at, r.out.find(' ', at + 15) - at + 1);
    const std::vector<std::string> head = splitlines(readfile(part0));
    RunParams par{}, other{};
    ASSERT_TRUE(parseparams(head[1] + "\n", head[2] + "\n", head[3] + "\n", par));
    ASSERT_TRUE(parseparams(kept[1] + "\n", kept[2] + "\n", kept[3] + "\n", other));
    SplitChoice one;
    one.units = {-1, std::stoll(units1.substr(15)), -1, -1};
    one.chosen = 1;
    const std::string choice0 = part0 + ".split";
    for (const char* how : {"damaged", "of another run", "as it stands"}) {
        SCOPED_TRACE(how);
        ASSERT_EQ(unlink(part0.c_str()), 0);
        ASSERT_TRUE(writechoice(choice0, how[0] == 'o' ? other : par, 0, 2, one));
        if (how[0] == 'd') writefile(choice0, withline(readfile(choice0), 5, "L 1 " + std::to_string(one.units[1] + 1)));
        r = runcommand(small.path, args2 + " --part 0/2 --resume");
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(r.out.find(units1) != std::string::npos, how[0] == 'a') << r.out;
        EXPECT_FALSE(fileexists(choice0)) << "the choice goes with the finished part";
    }
    ASSERT_EQ(runcommand(small.path, args2 + " --part 1/2 --split-level 1").status, 0);
    ASSERT_EQ(runcommand(small.path, "--merge .").status, 0);
    EXPECT_TRUE(resultfiles(small.path, "9_4_3.3") == resultfiles(smallwhole.path, "9_4_3.3"));
}

// What the file states is all the checker proves: a long code under a
// comment asking d = 1 needs its rank, not its exact distance, and a code
// alone of its dimension and length is not labelled (check and classes).
// Before, each took minutes; the bound here only stops a hang.
TEST(FileCommands, ALongCodeIsHeldToWhatItsFileAsksOnly) {
    tempdir dir;
    std::mt19937 rng(27);
    for (int k : {8, 19}) {
        std::string text = "# talven: n=799 k=" + std::to_string(k) + " d=1 q=7 dw=1 weights=1-799 selforth=0 dual=1 prop=";
        for (int i = 2; i <= k; i++) text += i > 2 ? ",800" : "800";
        text += " brute=0\n";
        for (int r = 0; r < k; r++) {
            for (int j = 0; j < 799 - k; j++) text += (char)('0' + rng() % 7);
            for (int j = 0; j < k; j++) text += j == r ? '1' : '0';
            text += '\n';
        }
        const std::string file = "long" + std::to_string(k) + ".txt";
        writefile(dir.file(file), text);
        runresult r = runcommand(dir.path, "check " + file, "timeout 60");
        EXPECT_EQ(r.out, "checked=" + file + " format=plain codes=1 faults=0\n") << r.err;
        r = runcommand(dir.path, "classes " + file + " -o c" + std::to_string(k), "timeout 60");
        EXPECT_EQ(r.out, "classes=1 codes=1 out=c" + std::to_string(k) + "\n") << r.err;
    }
}

}  // namespace
