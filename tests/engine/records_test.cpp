// Level records and result lines: records written from the step's tables
// and read back are compared with the groups derived here from the same
// tables; the printed lines are compared with texts built by hand or, for
// random codes, column by column.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "common/testutil.h"
#include "engine/maya.h"
#include "engine/records.h"
#include "frame/runpar.h"

namespace {

class Records : public ::testing::Test {
protected:
    tempdir dir;
    void SetUp() override {
        maya_reset();
        counters_reset();
        codecount = runfault = runpar.brute = 0;
    }
    void TearDown() override { runpar.brute = runfault = 0; }
    FILE* openw(const std::string& name) { return fopen(dir.file(name).c_str(), "w"); }
    FILE* openr(const std::string& name) { return fopen(dir.file(name).c_str(), "r"); }
    FILE* withtext(const char* text) {
        writefile(dir.file("t"), text);
        return openr("t");
    }
};

TEST_F(Records, WriteThenReadBackBothModes) {
    // Mode 1 writes one group per non-empty class (l, b) of the parent from
    // mt.split, mode 3 one group per block from mt.partner.  The file must
    // hold exactly the text built here; both readers must give it back.
    std::mt19937 g(99);
    int parents = 0;
    for (int q : {2, 3, 4, 5, 7}) {
        std::vector<std::vector<std::vector<int>>> written;  // per record: its groups
        std::vector<int> flags;
        std::string text;
        FILE* f = openw("sol");
        for (int t = 0; t < 30; t++) {
            maya_reset();
            mt.recno = t;
            int flag = (int)(g() % 2);
            std::vector<std::vector<int>> groups;
            if (t % 2 == 0) {  // random classes and splits; noise in the empty classes
                int nblk = 1 + (int)(g() % 12);
                for (int l = 0; l < nblk; l++)
                    for (int b = 0; b < q; b++) {
                        int m = (g() % 3 == 0) ? 0 : (int)(g() % 7), left = m;
                        mt.remain[l][0][b] = m;
                        std::vector<int> grp;
                        for (int i = 0; i < q; i++) {
                            int s = (i == q - 1) ? left : (left ? (int)(g() % (left + 1)) : 0);
                            mt.split[l][i][b] = m ? s : (int)(g() % 4);
                            left -= s;
                            grp.push_back(s);
                        }
                        if (m) groups.push_back(grp);
                    }
                ASSERT_EQ(levrec_write(f, flag, 4, nblk - 1, q, 1), 1);
            } else {
                int L = (int)(g() % 20);
                groups.assign(L, std::vector<int>(q));
                for (int l = 0; l < L; l++)
                    for (int i = 0; i < q; i++) groups[l][i] = mt.partner[l][i] = (int)(g() % 5);
                ASSERT_EQ(levrec_write(f, flag, 4, L, q, 3), 1);
            }
            written.push_back(groups);
            flags.push_back(flag);
            parents += flag;
            text += "\n? " + std::to_string(q) + " " + std::to_string(groups.size()) + " " +
                    std::to_string(t + 1) + " " + std::to_string(flag) + "\n";
            for (auto& grp : groups)
                for (int x : grp) text += std::to_string(x) + " ";
        }
        fclose(f);
        ASSERT_EQ(readfile(dir.file("sol")), text);
        // Partner reader: every record, every count.  Parent reader: the
        // counts of flag-1 records only.
        for (int parent = 0; parent <= 1; parent++) {
            f = openr("sol");
            levrec r;
            for (size_t t = 0; t < written.size(); t++) {
                for (int l = 0; l < MAXBLK; l++)
                    for (int b = 0; b < MAXVAL; b++) mt.remain[l][0][b] = -5;
                ASSERT_EQ(parent ? levrec_readparent(f, r) : levrec_readpartner(f, r), 1);
                EXPECT_EQ(r.q, q);
                EXPECT_EQ(r.runno, (int)t + 1);
                EXPECT_EQ(r.flag, flags[t]);
                ASSERT_EQ(r.nblk, (int)written[t].size());
                for (int l = 0; l < r.nblk; l++)
                    for (int i = 0; i < q; i++)
                        ASSERT_EQ(parent ? mt.remain[l][0][i] : mt.partner[l][i],
                                  parent && !flags[t] ? -5 : written[t][l][i]);
            }
            EXPECT_EQ(parent ? levrec_readparent(f, r) : levrec_readpartner(f, r), 0);
            fclose(f);
        }
    }
    EXPECT_EQ(rc.levelcnt[4].total, 150);
    EXPECT_EQ(rc.levelcnt[4].pending, 150);
    EXPECT_EQ(rc.levelcnt[4].parents, parents);
    EXPECT_EQ(rc.levelcnt[3].total, 0);
}

TEST_F(Records, RecordsOfMoreThanAHundredBlocks) {
    // A parent of 150 blocks of two classes each gives a record of 300
    // groups at the next level; both readers take it back whole.
    for (int l = 0; l < 150; l++) {
        mt.remain[l][0][0] = 1;
        mt.remain[l][0][1] = 2;
        mt.split[l][0][0] = 1;
        mt.split[l][1][1] = 2;
    }
    FILE* fp = openw("big");
    ASSERT_EQ(levrec_write(fp, 1, 5, 149, 2, 1), 1);
    fclose(fp);
    maya_reset();
    levrec r;
    fp = openr("big");
    ASSERT_EQ(levrec_readparent(fp, r), 1);
    fclose(fp);
    EXPECT_EQ(r.nblk, 300);
    EXPECT_EQ(mt.remain[299][0][1], 2);
    EXPECT_EQ(mt.remain[298][0][0], 1);
    fp = openr("big");
    ASSERT_EQ(levrec_readpartner(fp, r), 1);
    fclose(fp);
    EXPECT_EQ(mt.partner[299][1], 2);
    EXPECT_EQ(r.simple, 0);
}

TEST_F(Records, ReadersSpacingSimpleFlagAndDamage) {
    // Both readers on one text: result (1 record, 0 end of file, -1 damage),
    // the partner's simple flag (every block sums to at most 1) and the first
    // count, which the parent reader takes only from a flag-1 record.
    struct {
        const char* text;
        int res, simple, first;
    } cases[] = {
        {" \n? 3 1  1  1\n 4 2 0 \n? 3 1  2  0\n 4 1 1 ", 1, 0, 4},  // the builder's spacing
        {"? 2 3 1 1\n1 0 0 1 0 0 ", 1, 1, 1},
        {"? 2 2 1 1\n1 0 1 1 ", 1, 0, 1},
        {"? 3 1 1 0\n0 0 0 ", 1, 1, 0},
        {"? 3 0 1 1\n", 1, 1, -1},
        {"? 2 1 1 0\n2 0 ", 1, 0, 2},
        {" \n\n 1 2 3 ", 0, 0, -1},                              // no "?" at all
        {"? 2 3 1\n", -1, 0, -1},                                 // header cut short
        {"? 11 1 1 1\n0 0 0 0 0 0 0 0 0 0 0 ", -1, 0, -1},        // q above 10
        {"? 2 101 1 1\n", -1, 0, -1},                             // too many blocks
        {"? 2 -1 1 1\n", -1, 0, -1},                              // negative block count
        {"? 2 2 1 1\n1 0 1 ", -1, 0, -1},                         // a count missing at the end
        {"? 2 2 1 1\n1 0 1 \n? 2 1 2 1\n0 1 ", -1, 0, -1},       // ... or before the next record
        {"? 2 1 1 1\n1 -1 ", -1, 0, -1},                          // a negative count
        {"? x 1 1 1\n", -1, 0, -1},
    };
    levrec r;
    for (auto& k : cases) {
        FILE* f = withtext(k.text);
        mt.partner[0][0] = mt.remain[0][0][0] = -1;
        ASSERT_EQ(levrec_readpartner(f, r), k.res) << k.text;
        const int simple = r.simple, first = mt.partner[0][0];
        rewind(f);
        EXPECT_EQ(levrec_readparent(f, r), k.res) << k.text;
        if (k.res == 1) {
            EXPECT_EQ(simple, k.simple) << k.text;
            EXPECT_EQ(first, k.first) << k.text;
            EXPECT_EQ(mt.remain[0][0][0], r.flag ? k.first : -1) << k.text;
        }
        fclose(f);
    }
    EXPECT_EQ(levrec_readparent(nullptr, r), -1);
}

// ---- printers ---------------------------------------------------------------

// A code in the colmap layout: rows 1..rows.size(), columns 1..len; digits 0-9, A-F.
cmrec makecode(const std::vector<std::string>& rows, int k, int q) {
    cmrec cm{};
    cm.cur_level = (int)rows.size();
    cm.cur_len = (int)rows[0].size();
    cm.cur_k = k;
    cm.cur_q = q;
    for (size_t r = 0; r < rows.size(); r++)
        for (size_t c = 0; c < rows[r].size(); c++)
            cm.m[r + 1][c + 1] = rows[r][c] <= '9' ? rows[r][c] - '0' : rows[r][c] - 'A' + 10;
    cm.m[0][1] = 7;  // row 0 is scratch and never printed
    return cm;
}

TEST_F(Records, ResultFileExactLines) {
    FILE* f = openw("res");
    ASSERT_EQ(printres(makecode({"0120AF10", "B0C0D011", "00E90001"}, 3, 7), f), 1);
    ASSERT_EQ(printres(makecode({"1101", "0110"}, 3, 2), f), 1);  // dimension 2 < k
    ASSERT_EQ(printres(makecode({"0010", "0001", "0100"}, 3, 3), f), 1);  // keeps zero columns
    fclose(f);
    EXPECT_EQ(readfile(dir.file("res")),
              "?3 8 7 1\n0120AF10\nB0C0D011\n00E90001\n?3 4 3 2\n0010\n0001\n0100\n");
    EXPECT_EQ(codecount, 2);
    EXPECT_EQ(rc.rescount[1], 0);  // the h-file counters are not touched
    // Brute mode: the result file leaves out the first k columns, the h file not.
    runpar.brute = 1;
    f = openw("b");
    cmrec a = makecode({"1001101", "0101011"}, 2, 2);
    ASSERT_EQ(printres(a, f), 1);
    ASSERT_EQ(printh(a, f), 1);
    fclose(f);
    EXPECT_EQ(readfile(dir.file("b")), "?2 5 2 3\n01101\n01011\n?2 7 2 1 1\n1001101\n0101011\n");
}

TEST_F(Records, HFileAgainstDirectCount) {
    // Random codes into one h file: the line expected for each is built here
    // with the counters kept here; the printed width is the length minus the
    // leading columns that are zero in every row, counted column by column.
    std::mt19937 g(5);
    std::string expect;
    int total = 0, perdim[8] = {}, stat[32][8] = {};
    FILE* f = openw("h");
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
        ASSERT_EQ(printh(makecode(rows, 6, 7), f), 1);
        total++;
        perdim[lev] += lev >= 2;
        stat[len - z][lev]++;
        expect += "?" + std::to_string(lev) + " " + std::to_string(len - z) + " 7 " +
                  std::to_string(lev >= 2 ? perdim[lev] : total) + " " + std::to_string(total) + "\n";
        for (auto& row : rows) expect += row.substr((size_t)z) + "\n";
    }
    fclose(f);
    EXPECT_EQ(readfile(dir.file("h")), expect);
    for (int i = 0; i < 32; i++)
        for (int j = 1; j < 8; j++) ASSERT_EQ(rc.statcount[i][j], stat[i][j]);
    for (int j = 2; j < 8; j++) EXPECT_EQ(rc.rescount[j], perdim[j]);
    EXPECT_EQ(rc.rescount[1], total);
    EXPECT_EQ(codecount, 0);  // the result-file counter is not touched
}

TEST_F(Records, FileFaultsAreReported) {
    // Unbuffered: the failure shows at the write itself.
    FILE* f = fopen("/dev/full", "w");
    ASSERT_NE(f, nullptr);
    setvbuf(f, nullptr, _IONBF, 0);
    mt.partner[0][0] = 1;
    EXPECT_EQ(levrec_write(f, 1, 2, 1, 2, 3), 0);
    EXPECT_EQ(rc.levelcnt[2].total, 1);  // the record was counted all the same
    EXPECT_EQ(printh(makecode({"01", "10"}, 2, 2), f), 0);
    EXPECT_EQ(printres(makecode({"01", "10"}, 2, 2), f), 0);
    fclose(f);
    // No stream at all.
    EXPECT_EQ(levrec_write(nullptr, 1, 2, 1, 2, 3), 0);
    EXPECT_EQ(printh(makecode({"1"}, 2, 2), nullptr), 0);
    // Buffered: the failure shows when the file is closed.  (Capturing
    // flushes every stream, so it starts before the file is open.)
    testing::internal::CaptureStdout();
    f = chkopen("/dev/full", "w");
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(levrec_write(f, 1, 2, 1, 2, 3), 1);
    EXPECT_EQ(chkclose(f, "/dev/full"), 0);
    EXPECT_EQ(f, nullptr);
    EXPECT_EQ(runfault, 1);
    runfault = 0;  // only the first fault of a run is printed
    EXPECT_EQ(chkopen(dir.file("no/such").c_str(), "r"), nullptr);
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "\n Run stopped: cannot close file /dev/full\n"
              "\n Run stopped: cannot open file " + dir.file("no/such") + "\n");
    EXPECT_EQ(runfault, 1);
    runfault = 0;
    f = chkopen(dir.file("ok").c_str(), "w");
    ASSERT_NE(f, nullptr);
    fputs("x", f);
    EXPECT_EQ(chkclose(f, "ok"), 1);
    EXPECT_EQ(chkclose(f, "ok"), 1);  // already closed: nothing to do
    EXPECT_EQ(runfault, 0);
}

}  // namespace
