// The files of a run: their printers; whole runs through the menu (header,
// records, trailer, statistics, levels spilled to files); and runs that meet
// each other or the world (concurrent runs, held or unwritable files, SIGTERM),
// which leave complete records only, no totals, and nothing behind in res/.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <random>
#include <thread>

#include "common/oracle.h"
#include "run/resultfiles.h"
#include "run/runs.h"

namespace {

// The menu's answers for a run of [n,k,d]_q, then the run and the exit.
std::string menurun(const runcase& c) {
    char s[100];
    snprintf(s, sizeof s, "2\n%d\n%d\n%d\n%d\n1\n0\n1\n8\n", c.n, c.k, c.d, c.q);
    return s;
}

// The number of records of a result file (h = false) or an h file, each
// checked complete: after the header only "?" lines, each followed by its
// rows of its length, and nothing else (no totals); a newline at the end.
int completerecords(const std::string& text, bool h) {
    EXPECT_TRUE(text.empty() || text.back() == '\n') << "the file ends inside a line";
    const std::vector<std::string> lines = splitlines(text);
    size_t i = 0;
    while (i < lines.size() && (lines[i].empty() || lines[i][0] != '?')) i++;
    int records = 0;
    for (; i < lines.size(); records++) {
        int dim = 0, len = 0, q = 0, a = 0, b = 0;
        if (sscanf(lines[i].c_str(), "?%d %d %d %d %d", &dim, &len, &q, &a, &b) != (h ? 5 : 4) ||
            i + dim >= lines.size()) {
            ADD_FAILURE() << "record " << records + 1 << " is cut or has a wrong header: " << lines[i];
            return records;
        }
        for (int r = 1; r <= dim; r++) EXPECT_EQ((int)lines[i + r].size(), len) << "row " << r << " of " << lines[i];
        i += dim + 1;
    }
    return records;
}

// A code in the colmap layout: rows 1..rows.size(), columns 1..len; digits 0-9, A-F.
WorkingCode makecode(const std::vector<std::string>& rows, int k, int q) {
    WorkingCode cm{};
    cm.level = (int)rows.size();
    cm.len = (int)rows[0].size();
    cm.k = k;
    cm.q = q;
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
    RunFault fault;
    ResultFiles out(par, fault);
    out.h.reset(fopen(dir.file("h").c_str(), "w"));
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
    out.h.reset();
    EXPECT_EQ(readfile(dir.file("h")), expect);
    for (int i = 0; i < 32; i++)
        for (int j = 1; j < 8; j++) ASSERT_EQ(out.counts().bylength(i, j), stat[i][j]);
    for (int j = 2; j < 8; j++) EXPECT_EQ(out.counts().bydim[j], perdim[j]);
    EXPECT_EQ(out.counts().bydim[1], total);
    EXPECT_EQ(out.codecount, 0);  // the result-file counter is not touched
}

TEST(Printers, RunHeaderOfBruteGeneration) {
    RunParams par{};
    setdefaults(par);
    par.n = par.nasked = 7, par.k = 3, par.d = 3, par.dw = 1;
    for (int w = 1; w < MAXLEN; w++) par.wt[w] = w >= 3 && w <= 7;
    par.propcol[2] = 5;
    // (The header of other runs: Run.FilesOfARun.)  Brute generation: the
    // length of the run is n + k, the line shows n.
    par.brute = 1, par.n = 10;
    EXPECT_EQ(headertext(runheaderof(par)),
              "\n\n\n Brute gen:\n n=7  k=3  d=3 q=2 ; divisible by 1  ; self orthogonal 0 ; dual distance 1\n"
              "   Possible weights: \n 3 4 5 6 7\n\n   Proportional columns: \n2 -> 5 ;3 -> 800 ;\n\n");
}

TEST(Run, DefaultsGiveTheGolayCode) {
    tempdir dir;
    runresult r = runtalven(dir.path, "1\n8\n", 600);
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.out.find(" Constructed codes: 1\n"), std::string::npos);
    std::vector<oracle::matrix> codes = oracle::resultcodes(readfile(dir.file("24_12_8.2")));
    ASSERT_EQ(codes.size(), 1u);
    const std::vector<long> want = {1, 0, 0, 0, 0, 0, 0, 0, 759, 0, 0, 0, 2576, 0, 0, 0, 759, 0, 0, 0, 0, 0, 0, 0, 1};
    EXPECT_EQ(oracle::analyse(codes[0], 24, 2, false).spectrum, want);
}

TEST(Run, FilesOfARun) {
    tempdir dir;
    runresult r = runtalven(dir.path, menurun({7, 4, 3, 2}));
    ASSERT_EQ(r.status, 0);
    const std::string header =
        "\n n=7  k=4  d=3 q=2 ; divisible by 1  ; self orthogonal 0,dual distance 1\n\n\n"
        "   Possible weights: \n 3 4 5 6 7\n\n   Proportional columns: \n2 -> 800 ;3 -> 800 ;4 -> 800 ;\n\n";
    std::string res = masktime(readfile(dir.file("7_4_3.2")));
    ASSERT_EQ(res.rfind(header, 0), 0u) << res;
    // One code: the Hamming code, then the totals of dimensions 2..4.
    ASSERT_EQ(res.substr(header.size(), 9), "?4 7 2 1\n");
    std::string h = masktime(readfile(dir.file("7_4_3.2h")));
    ASSERT_EQ(h.rfind(header, 0), 0u);
    // The h file has the new codes of every dimension in turn (their numbers: Printers above).
    const std::vector<oracle::matrix> hcodes = oracle::resultcodes(h);
    ASSERT_FALSE(hcodes.empty());
    for (size_t i = 1; i < hcodes.size(); i++) EXPECT_GE(hcodes[i].size(), hcodes[i - 1].size());
    EXPECT_EQ(hcodes.back().size(), 4u);
    const int total = (int)hcodes.size();
    // Trailer: total, then dimensions 2..4, on the console and in both files.
    size_t at = r.out.find("\n RES ");
    ASSERT_NE(at, std::string::npos);
    const std::string totals = "\n RES " + std::to_string(total) + "    1   1   1 ";
    EXPECT_EQ(masktime(r.out.substr(at, r.out.find('\n', at + 1) - at)), totals + "==  Elapsed time: #s");
    EXPECT_NE(res.find(totals + "\n ==  Elapsed time: #s\n"), std::string::npos);
    // Statistics: one line per (length, dimension) with its count.
    std::string inf = readfile(dir.file("7_4_3.2inf"));
    EXPECT_NE(inf.find("   7     4      1\n"), std::string::npos) << inf;
    // The run's working folder is gone: res/ holds the settings file only.
    EXPECT_EQ(listdir(dir.file("res")), std::vector<std::string>{"settings"});
}

// One code per weight 2..5; the totals line of dimension 1 has the total alone.
TEST(Run, DimensionOneListsOneCodePerWeight) {
    tempdir dir;
    runresult r = runtalven(dir.path, menurun({5, 1, 2, 3}));
    EXPECT_NE(r.out.find(" Constructed codes: 4\n"), std::string::npos);
    EXPECT_EQ(oracle::resultcodes(readfile(dir.file("5_1_2.3"))).size(), 4u);
    EXPECT_NE(r.out.find("\n RES 4  ==  Elapsed time: "), std::string::npos);
}

TEST(Run, EveryLevelSpilledGivesTheFilesOfTheRunInMemory) {
    // A budget of nothing sends every level and every store to its file.
    for (const runcase& c : {runcase{13, 5, 4, 2}, {9, 4, 3, 3}, {8, 4, 3, 4}, {8, 3, 3, 2, 1, 0, 1, 2}}) {
        inrun spilled;
        spilled.opt.budget = 0;
        EXPECT_TRUE(spilled.run(params(c)) == whole(params(c))) << resultname(params(c));
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
    auto c = std::make_unique<Classifier>(params({7, 4, 3, 2}), opt);
    runend how = c->runinfolder(dir.file("work/"));
    std::string out = testing::internal::GetCapturedStdout();
    EXPECT_EQ(how, runend::stopped);
    EXPECT_EQ(out, "\n Run stopped: cannot write file " + dir.file("work/level.2") + "\n");
    EXPECT_EQ(readfile(dir.file("7_4_3.2")).find(" RES "), std::string::npos);
    EXPECT_FALSE(fileexists(dir.file("7_4_3.2inf")));
}

// Two pairs of parameter sets, each pair started together in one folder.
TEST(Faults, ConcurrentRunsInOneFolderGiveTheResultsOfSingleRuns) {
    const runcase sets[] = {{13, 5, 4, 2}, {9, 4, 3, 3}, {8, 4, 3, 4}, {7, 3, 3, 5}};
    for (int pair = 0; pair < 2; pair++) {
        tempdir dir;
        int pids[2];
        for (int i : {0, 1}) pids[i] = starttalven(dir.path, menurun(sets[2 * pair + i]), std::to_string(i));
        for (int i : {0, 1}) {
            const RunParams p = params(sets[2 * pair + i]);
            const runresult r = waittalven(pids[i], dir.path, std::to_string(i));
            EXPECT_EQ(r.status, 0) << r.out;
            const std::string single = whole(p);  // its files, then its mass
            EXPECT_TRUE(single.substr(0, single.rfind("mass")) == resultfiles(dir.path, resultname(p)))
                << resultname(p);
        }
        EXPECT_EQ(listdir(dir.file("res")), std::vector<std::string>{"settings"});
    }
}

TEST(Faults, AResultFileHeldByAnotherRunIsNotTouched) {
    tempdir dir;
    const std::string before = "the result file of a run in progress\n";
    writefile(dir.file("7_4_3.2"), before);
    writefile(dir.file("7_4_3.2h"), before);
    int fd = open(dir.file("7_4_3.2").c_str(), O_RDWR);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(flock(fd, LOCK_EX | LOCK_NB), 0);  // as the run in progress holds it
    runresult r = runtalven(dir.path, menurun({7, 4, 3, 2}));
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.out.find("\n Run refused: the result file 7_4_3.2 is being written by another run in this "
                         "folder.\n"),
              std::string::npos)
        << r.out;
    EXPECT_EQ(r.out.find("Constructed codes"), std::string::npos);
    EXPECT_EQ(readfile(dir.file("7_4_3.2")), before);
    EXPECT_EQ(readfile(dir.file("7_4_3.2h")), before);
    EXPECT_FALSE(fileexists(dir.file("7_4_3.2inf")));
    EXPECT_EQ(listdir(dir.file("res")), std::vector<std::string>{"settings"});
    close(fd);
    // Once the lock is gone, the same run goes ahead.
    r = runtalven(dir.path, menurun({7, 4, 3, 2}));
    EXPECT_NE(r.out.find(" Constructed codes: 1\n"), std::string::npos);
}

// A file of the run that cannot be written (its name taken by a folder, a
// full disk, the file-size limit) stops the run with a message naming it:
// the program goes on (status 0, the menu back), the files keep complete
// records only and no totals, and the next run works once the cause is gone.
TEST(Faults, AFileThatCannotBeWrittenStopsTheRunWithoutTotals) {
    const struct {
        int n, k, d;
        const char* file;        // what is put in the place of this file of the run
        std::string how;         // "folder", "full" (/dev/full) or "limit" (ulimit -f 8)
        const char* message;
        int records;             // complete records of the result file, -1: any
    } cases[] = {
        {7, 4, 3, "7_4_3.2", "folder", "\n Run stopped: cannot open file 7_4_3.2\n Constructed codes before the stop: 0\n", 0},
        {7, 4, 3, "7_4_3.2inf", "folder", "\n Run stopped: cannot open file 7_4_3.2inf\n Constructed codes before the stop: 1\n", 1},
        {8, 4, 4, "8_4_4.2h", "full", "\n Run stopped: cannot write file 8_4_4.2h", 1},
        {12, 4, 4, "", "limit", "\n Run stopped: cannot ", -1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.file) + " " + c.how);
        tempdir dir;
        const std::string run = runname(c.n, c.k, c.d, 2), path = dir.file(c.file);
        ASSERT_TRUE(c.how == "folder" ? mkdir(path.c_str(), 0755) == 0
                                      : c.how != "full" || symlink("/dev/full", path.c_str()) == 0);
        // 8 blocks of 512 bytes: the settings file fits, the codes do not.
        runresult r = runtalven(dir.path, menurun({c.n, c.k, c.d, 2}), 60, c.how == "limit" ? "ulimit -f 8 &&" : "");
        EXPECT_EQ(r.status, 0) << "a file fault is no death";
        EXPECT_NE(r.out.find(c.message), std::string::npos) << r.out;
        EXPECT_NE(r.out.find(" Constructed codes before the stop: "), std::string::npos) << r.out;
        EXPECT_EQ(r.out.find(" RES "), std::string::npos);
        EXPECT_EQ(r.out.find("Elapsed time"), std::string::npos);
        for (const char* ext : {"", "h"})
            if (run + ext != c.file) {
                const std::string text = readfile(dir.file(run + ext));
                EXPECT_EQ(text.find(" RES "), std::string::npos) << ext;
                EXPECT_EQ(text.find("Elapsed"), std::string::npos) << ext;
            }
        EXPECT_TRUE(c.records < 0 || completerecords(readfile(dir.file(run)), false) == c.records);
        EXPECT_TRUE(run + "inf" == c.file || !fileexists(dir.file(run + "inf")));
        EXPECT_EQ(listdir(dir.file("res")), std::vector<std::string>{"settings"});
        // The cause gone, the same run goes through.
        if (c.how == "limit") continue;
        ASSERT_EQ(remove(path.c_str()), 0);
        r = runtalven(dir.path, menurun({c.n, c.k, c.d, 2}));
        EXPECT_NE(r.out.find(" Constructed codes: 1\n"), std::string::npos) << r.out;
    }
}

TEST(Faults, SigtermFinishesTheRecordAndLeavesNoTotalsAndNoWorkingFiles) {
    tempdir dir;
    int pid = starttalven(dir.path, menurun({16, 8, 4, 2}), "run");
    // Wait until the run has written codes of the final dimension.
    for (int i = 0; i < 6000 && readfile(dir.file("16_8_4.2")).find("?8 ") == std::string::npos; i++)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    ASSERT_EQ(kill(pid, SIGTERM), 0);
    runresult r = waittalven(pid, dir.path, "run");
    EXPECT_EQ(r.status, 128 + SIGTERM);
    EXPECT_NE(r.out.find("\n Run stopped: Terminated (signal 15)\n Constructed codes before the stop: "),
              std::string::npos)
        << r.out;
    std::string res = readfile(dir.file("16_8_4.2")), h = readfile(dir.file("16_8_4.2h"));
    EXPECT_GT(completerecords(res, false), 0);  // and no totals after them
    EXPECT_GT(completerecords(h, true), 0);
    EXPECT_FALSE(fileexists(dir.file("16_8_4.2inf")));
    EXPECT_EQ(listdir(dir.file("res")), std::vector<std::string>{"settings"});
}

}  // namespace
