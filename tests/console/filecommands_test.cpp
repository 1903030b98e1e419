// The commands on files of codes end to end: `talven check` and `talven
// classes` report in one line on stdout and the first fault on stderr, with
// exit status 0 (all well), 1 (a fault in the files) or 2 (a bad command
// line); a merge of a split run writes the asked export.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>

#include "codeio/readers.h"
#include "common/testutil.h"
#include "results/brute.h"

namespace {

using brute::readcodes;

// The line (from 1) that is exactly `line`.
size_t lineof(const std::string& text, const std::string& line) {
    std::vector<std::string> v = splitlines(text);
    auto it = std::find(v.begin(), v.end(), line);
    EXPECT_NE(it, v.end()) << line;
    return (size_t)(it - v.begin()) + 1;
}

TEST(FileCommands, CheckReportsOnStdoutAndTheFirstFaultOnStderr) {
    tempdir dir;
    ASSERT_EQ(runcommand(dir.path, "--quiet -n 7 -k 3 -d 3 -q 2").status, 0);
    runresult r = runcommand(dir.path, "check 7_3_3.2");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "checked=7_3_3.2 format=result codes=5 faults=0\n");
    EXPECT_EQ(r.err, "");
    r = runcommand(dir.path, "check 7_3_3.2h");
    EXPECT_EQ(r.status, 0) << r.err;

    const std::string text = readfile(dir.file("7_3_3.2"));
    std::string bad = withline(text, lineof(text, "?3 7 2 3"), "?3 7 2 4");
    writefile(dir.file("bad"), bad);
    r = runcommand(dir.path, "check bad");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "checked=bad format=result codes=5 faults=1\n");
    EXPECT_EQ(r.err, "talven: bad: record 3: numbered 4, not 3\n");

    writefile(dir.file("bad2"), withline(bad, lineof(bad, "?3 7 2 5"), "?3 7 2 9"));
    r = runcommand(dir.path, "check bad2");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "talven: bad2: record 3: numbered 4, not 3\ntalven: bad2: 2 faults in all\n");

    // A symbol that is no element of GF(2): the file is damaged at that line.
    const size_t row = lineof(text, "?3 7 2 2") + 1;
    std::string damaged = splitlines(text)[row - 1];
    damaged[0] = '2';
    writefile(dir.file("damaged"), withline(text, row, damaged));
    r = runcommand(dir.path, "check damaged");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "checked=damaged format=result codes=1 faults=1\n");
    EXPECT_EQ(r.err.rfind("talven: damaged: line " + std::to_string(row) + ": ", 0), 0u) << r.err;

    // Nothing to read: a missing file, a folder.
    for (const char* what : {"nothere", "res"}) {
        r = runcommand(dir.path, std::string("check ") + what);
        EXPECT_EQ(r.status, 1) << what;
        EXPECT_EQ(r.out, std::string("checked=") + what + " format=result codes=0 faults=1\n");
        EXPECT_EQ(r.err.rfind(std::string("talven: ") + what + ": cannot open " + what, 0), 0u) << r.err;
    }

    // Plain matrices need their field; two equivalent ones are a fault.
    writefile(dir.file("two.txt"), "1110\n0101\n\n1110\n1001\n");
    r = runcommand(dir.path, "check two.txt -q 2");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "checked=two.txt format=plain codes=2 faults=1\n");
    EXPECT_EQ(r.err, "talven: two.txt: code 2: equivalent to code 1\n");

    for (const char* args : {"check", "check 7_3_3.2 7_3_3.2h", "check 7_3_3.2 --format bogus", "check 7_3_3.2 -q 6",
                             "check 7_3_3.2 --equivalence both", "-n 7 check 7_3_3.2", "check two.txt",
                             "check 7_3_3.2 --stats"}) {
        r = runcommand(dir.path, args);
        EXPECT_EQ(r.status, 2) << args;
        EXPECT_EQ(r.out, "") << args;
        EXPECT_EQ(r.err.rfind("talven: ", 0), 0u) << args << ": " << r.err;
        EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << args << ": " << r.err;
    }
}

TEST(FileCommands, ClassesOfARunAndItsExport) {
    tempdir dir;
    ASSERT_EQ(runcommand(dir.path, "--quiet -n 6 -k 3 -d 3 -q 3 --format sage").status, 0);
    const std::vector<CodeMatrix> codes = readcodes(dir.file("6_3_3.3"));
    ASSERT_EQ(codes.size(), 4u);
    runresult r = runcommand(dir.path, "classes 6_3_3.3 6_3_3.3.sage -o both --to jsonl");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "classes=4 codes=8 out=both.jsonl\n");  // the format's suffix added
    EXPECT_EQ(readfile(dir.file("both.sizes")), "# class size\n1 2\n2 2\n3 2\n4 2\n");
    EXPECT_EQ(readcodes(dir.file("both.jsonl"), Format::jsonl), codes);
    r = runcommand(dir.path, "check both.jsonl");
    EXPECT_EQ(r.status, 0) << r.err;
    // Sage's load() wants the suffix; a name that has one keeps it.
    r = runcommand(dir.path, "classes 6_3_3.3 -o reps --to sage");
    EXPECT_EQ(r.out, "classes=4 codes=4 out=reps.sage\n") << r.err;
    EXPECT_EQ(readcodes(dir.file("reps.sage"), Format::sage), codes);
    r = runcommand(dir.path, "classes 6_3_3.3 -o reps.gp --to gap");
    EXPECT_EQ(r.out, "classes=4 codes=4 out=reps.gp\n") << r.err;
    // The default output.
    r = runcommand(dir.path, "classes 6_3_3.3");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find(" out=classes\n"), std::string::npos) << r.out;
    EXPECT_TRUE(fileexists(dir.file("classes")) && fileexists(dir.file("classes.sizes")));
}

TEST(FileCommands, ClassesRefusesWhatItCannotSort) {
    tempdir dir;
    writefile(dir.file("a.txt"), "10110\n01011\n");
    writefile(dir.file("b.txt"), "101100\n010111\n");
    const std::vector<std::string> inputs = listdir(dir.path);

    runresult r = runcommand(dir.path, "classes a.txt");  // plain matrices without their field
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.out, "");
    EXPECT_NE(r.err.find("a.txt"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("-q"), std::string::npos) << r.err;
    EXPECT_EQ(listdir(dir.path), inputs);

    r = runcommand(dir.path, "classes a.txt b.txt -q 2");  // two lengths
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "talven: b.txt: code 1: a code of length 6 over GF(2) among codes of length 5 over GF(2)\n");
    EXPECT_EQ(listdir(dir.path), inputs);

    r = runcommand(dir.path, "classes a.txt --to bogus -q 2");
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(listdir(dir.path), inputs);

    // Dependent rows: that code is left out, the others sorted, status 1.
    writefile(dir.file("dep.txt"), "10110\n01011\n\n10110\n10110\n\n10000\n01000\n");
    r = runcommand(dir.path, "classes dep.txt -q 2 -o dep");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "classes=2 codes=2 out=dep\n");
    EXPECT_EQ(r.err, "talven: dep.txt: code 2: the rows are not independent; the code is left out\n");
    EXPECT_EQ(readfile(dir.file("dep.sizes")), "# class size\n1 1\n2 1\n");
}

TEST(FileCommands, MergeOfASplitRunWritesTheExport) {
    tempdir split, whole;
    const std::string run = "--quiet -n 8 -k 4 -d 3 -q 3";
    ASSERT_EQ(runcommand(whole.path, run).status, 0);
    ASSERT_EQ(runcommand(split.path, run + " --part 0/2").status, 0);
    ASSERT_EQ(runcommand(split.path, run + " --part 1/2").status, 0);
    runresult r = runcommand(split.path, "--merge . --format sage --stats");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out.rfind("merged=8_4_3.3 codes=44 parts=2 ", 0), 0u) << r.out;
    const std::vector<CodeMatrix> codes = readcodes(split.file("8_4_3.3"));
    EXPECT_EQ(codes, readcodes(whole.file("8_4_3.3")));
    EXPECT_EQ(readcodes(split.file("8_4_3.3.sage"), Format::sage), codes);
    EXPECT_EQ(splitlines(readfile(split.file("8_4_3.3.stats"))).size(), codes.size() + 2);
    r = runcommand(split.path, "check 8_4_3.3.sage");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "checked=8_4_3.3.sage format=sage codes=44 faults=0\n");
}

}  // namespace

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
