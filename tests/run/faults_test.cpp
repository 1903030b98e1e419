// Runs that meet each other or the world: two runs in one folder, a result
// file that another run holds, files that cannot be written (a folder in
// their place, a full disk, the file-size limit), SIGTERM in a run.  In every case
// the result files must hold only complete records, totals only after a
// complete run, and nothing of a run may stay behind in res/.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <thread>

#include "common/testutil.h"

namespace {

std::string params(int n, int k, int d, int q) {
    return "2\n" + std::to_string(n) + "\n" + std::to_string(k) + "\n" + std::to_string(d) + "\n" +
           std::to_string(q) + "\n1\n0\n";
}

std::string name(int n, int k, int d, int q) { return runname(n, k, d, q); }

// Checks that a result file (h = false) or an h file (h = true) is a header
// followed by complete code records only: "?" lines with the right number of
// rows of the right length, and nothing after the last row.  Gives the number
// of records.
int completerecords(const std::string& text, bool h) {
    std::vector<std::string> lines = splitlines(text);
    EXPECT_TRUE(text.empty() || text.back() == '\n') << "the file ends inside a line";
    int records = 0;
    size_t i = 0;
    while (i < lines.size() && (lines[i].empty() || lines[i][0] != '?')) i++;
    while (i < lines.size()) {
        int dim = 0, len = 0, q = 0, a = 0, b = 0;
        int got = sscanf(lines[i].c_str(), "?%d %d %d %d %d", &dim, &len, &q, &a, &b);
        EXPECT_EQ(got, h ? 5 : 4) << "record header: " << lines[i];
        if (got != (h ? 5 : 4)) return records;
        for (int r = 1; r <= dim; r++) {
            EXPECT_LT(i + r, lines.size()) << "record " << records + 1 << " is cut";
            if (i + r >= lines.size()) return records;
            EXPECT_EQ((int)lines[i + r].size(), len) << "row " << r << " of record " << records + 1;
        }
        i += dim + 1;
        records++;
    }
    return records;
}

TEST(Faults, ConcurrentRunsInOneFolderGiveTheResultsOfSingleRuns) {
    // Each pair: two different parameter sets started together in one folder.
    const int sets[][4] = {{13, 5, 4, 2}, {9, 4, 3, 3}, {8, 4, 3, 4}, {7, 3, 3, 5}};
    tempdir single;
    for (const auto& p : sets) {
        runresult r = runtalven(single.path, params(p[0], p[1], p[2], p[3]) + "1\n8\n", 300);
        ASSERT_NE(r.out.find(" Constructed codes: "), std::string::npos);
    }
    for (int pair = 0; pair < 2; pair++) {
        tempdir dir;
        const int* a = sets[2 * pair];
        const int* b = sets[2 * pair + 1];
        int pa = starttalven(dir.path, params(a[0], a[1], a[2], a[3]) + "1\n8\n", "a");
        int pb = starttalven(dir.path, params(b[0], b[1], b[2], b[3]) + "1\n8\n", "b");
        runresult ra = waittalven(pa, dir.path, "a"), rb = waittalven(pb, dir.path, "b");
        for (const runresult* r : {&ra, &rb}) {
            EXPECT_EQ(r->status, 0);
            EXPECT_NE(r->out.find(" Constructed codes: "), std::string::npos) << r->out;
        }
        for (const int* p : {a, b}) {
            const std::string run = name(p[0], p[1], p[2], p[3]);
            EXPECT_TRUE(resultfiles(dir.path, run) == resultfiles(single.path, run)) << run << " differs from a single run";
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
    runresult r = runtalven(dir.path, params(7, 4, 3, 2) + "1\n8\n");
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
    r = runtalven(dir.path, params(7, 4, 3, 2) + "1\n8\n");
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
        const char* how;         // "folder", "full" (/dev/full) or "limit" (ulimit -f 8)
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
        const std::string run = name(c.n, c.k, c.d, 2), path = dir.file(c.file);
        const std::string how = c.how;
        ASSERT_TRUE(how == "folder" ? mkdir(path.c_str(), 0755) == 0
                                    : how != "full" || symlink("/dev/full", path.c_str()) == 0);
        // 8 blocks of 512 bytes: the settings file fits, the codes do not.
        runresult r = runtalven(dir.path, params(c.n, c.k, c.d, 2) + "1\n8\n", 60,
                                how == "limit" ? "ulimit -f 8 &&" : "");
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
        if (how == "limit") continue;
        ASSERT_EQ(remove(path.c_str()), 0);
        r = runtalven(dir.path, params(c.n, c.k, c.d, 2) + "1\n8\n");
        EXPECT_NE(r.out.find(" Constructed codes: 1\n"), std::string::npos) << r.out;
    }
}

TEST(Faults, SigtermFinishesTheRecordAndLeavesNoTotalsAndNoWorkingFiles) {
    tempdir dir;
    int pid = starttalven(dir.path, params(16, 8, 4, 2) + "1\n8\n", "run");
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
    EXPECT_GT(completerecords(res, false), 0);
    EXPECT_GT(completerecords(h, true), 0);
    EXPECT_EQ(res.find(" RES "), std::string::npos);
    EXPECT_EQ(h.find(" RES "), std::string::npos);
    EXPECT_FALSE(fileexists(dir.file("16_8_4.2inf")));
    EXPECT_EQ(listdir(dir.file("res")), std::vector<std::string>{"settings"});
}

}  // namespace
