// Level records and result lines: records written from the step's tables
// and read back are compared with the groups derived here from the same
// tables; the printed lines are compared with texts built by hand.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "engine/maya.h"
#include "engine/records.h"
#include "engtest.h"
#include "frame/runpar.h"

namespace {

class Records : public ::testing::Test {
protected:
    engdir dir;
    void SetUp() override {
        maya_reset();
        counters_reset();
        codecount = 0;
        runfault = 0;
        runpar.brute = 0;
    }
    void TearDown() override {
        runpar.brute = 0;
        runfault = 0;
    }
    FILE* openw(const std::string& name) { return fopen(dir.file(name).c_str(), "w"); }
    FILE* openr(const std::string& name) { return fopen(dir.file(name).c_str(), "r"); }
};

TEST_F(Records, ModeOneTextAndCounters) {
    // Parent: block 0 with classes b = 0 (3 columns) and b = 1 (2), block 1
    // with class b = 1 only (4 columns).  q = 2.
    mt.remain[0][0][0] = 3;
    mt.remain[0][0][1] = 2;
    mt.remain[1][0][1] = 4;
    mt.split[0][0][0] = 1, mt.split[0][1][0] = 2;  // class (0,0): one 0, two 1
    mt.split[0][0][1] = 2, mt.split[0][1][1] = 0;  // class (0,1): two 0
    mt.split[1][0][1] = 1, mt.split[1][1][1] = 3;  // class (1,1): one 0, three 1
    mt.split[1][0][0] = 9;                          // class (1,0) is empty: not written
    FILE* f = openw("sol.3");
    ASSERT_EQ(levrec_write(f, 1, 3, 1, 2, 1), 1);
    ASSERT_EQ(levrec_write(f, 0, 3, 1, 2, 1), 1);
    fclose(f);
    EXPECT_EQ(filetext(dir.file("sol.3")),
              "\n? 2 3 1 1\n1 2 2 0 1 3 "
              "\n? 2 3 2 0\n1 2 2 0 1 3 ");
    EXPECT_EQ(mt.recno, 2);
    EXPECT_EQ(rc.levelcnt[3].parents, 1);
    EXPECT_EQ(rc.levelcnt[3].total, 2);
    EXPECT_EQ(rc.levelcnt[3].pending, 2);
    EXPECT_EQ(rc.levelcnt[2].total, 0);
}

TEST_F(Records, ModeThreeTextAndCounters) {
    int p[3][3] = {{1, 0, 0}, {0, 0, 1}, {0, 1, 0}};
    for (int l = 0; l < 3; l++)
        for (int i = 0; i < 3; i++) mt.partner[l][i] = p[l][i];
    mt.recno = 6;
    FILE* f = openw("sol.5");
    ASSERT_EQ(levrec_write(f, 1, 5, 3, 3, 3), 1);
    fclose(f);
    EXPECT_EQ(filetext(dir.file("sol.5")), "\n? 3 3 7 1\n1 0 0 0 0 1 0 1 0 ");
    EXPECT_EQ(rc.levelcnt[5].parents, 1);
    EXPECT_EQ(rc.levelcnt[5].total, 1);
    EXPECT_EQ(rc.levelcnt[5].pending, 1);
}

// Random parent classes and splits; returns the groups a record must carry.
std::vector<std::vector<int>> randomsplit(std::mt19937& g, int q, int nblk) {
    std::vector<std::vector<int>> groups;
    for (int l = 0; l < nblk; l++)
        for (int b = 0; b < q; b++) {
            int m = (g() % 3 == 0) ? 0 : (int)(g() % 7);
            mt.remain[l][0][b] = m;
            std::vector<int> grp;
            int left = m;
            for (int i = 0; i < q; i++) {
                int s = (i == q - 1) ? left : (left ? (int)(g() % (left + 1)) : 0);
                mt.split[l][i][b] = m ? s : (int)(g() % 4);  // noise in empty classes
                left -= s;
                grp.push_back(s);
            }
            if (m) groups.push_back(grp);
        }
    return groups;
}

TEST_F(Records, WriteThenReadBackBothModes) {
    std::mt19937 g(99);
    for (int q : {2, 3, 4, 5, 7}) {
        std::vector<std::vector<std::vector<int>>> written;
        std::vector<int> flags;
        std::string name = "sol.q" + std::to_string(q);
        FILE* f = openw(name);
        for (int t = 0; t < 30; t++) {
            maya_reset();
            mt.recno = t;
            int flag = (int)(g() % 2);
            std::vector<std::vector<int>> groups;
            if (t % 2 == 0) {
                int nblk = 1 + (int)(g() % 12);
                groups = randomsplit(g, q, nblk);
                ASSERT_EQ(levrec_write(f, flag, 4, nblk - 1, q, 1), 1);
            } else {
                int L = (int)(g() % 20);
                for (int l = 0; l < L; l++) {
                    std::vector<int> grp;
                    for (int i = 0; i < q; i++) {
                        mt.partner[l][i] = (int)(g() % 5);
                        grp.push_back(mt.partner[l][i]);
                    }
                    groups.push_back(grp);
                }
                ASSERT_EQ(levrec_write(f, flag, 4, L, q, 3), 1);
            }
            written.push_back(groups);
            flags.push_back(flag);
        }
        fclose(f);

        // Partner reader: every record, every count.
        f = openr(name);
        levrec r;
        for (size_t t = 0; t < written.size(); t++) {
            ASSERT_EQ(levrec_readpartner(f, r), 1);
            EXPECT_EQ(r.q, q);
            EXPECT_EQ(r.runno, (int)t + 1);
            EXPECT_EQ(r.flag, flags[t]);
            ASSERT_EQ(r.nblk, (int)written[t].size());
            for (int l = 0; l < r.nblk; l++)
                for (int i = 0; i < q; i++) ASSERT_EQ(mt.partner[l][i], written[t][l][i]);
        }
        EXPECT_EQ(levrec_readpartner(f, r), 0);
        fclose(f);

        // Parent reader: the counts of flag-1 records only.
        f = openr(name);
        for (size_t t = 0; t < written.size(); t++) {
            for (int l = 0; l < MAXBLK; l++)
                for (int b = 0; b < MAXVAL; b++) mt.remain[l][0][b] = -5;
            ASSERT_EQ(levrec_readparent(f, r), 1);
            EXPECT_EQ(r.flag, flags[t]);
            ASSERT_EQ(r.nblk, (int)written[t].size());
            for (int l = 0; l < r.nblk; l++)
                for (int b = 0; b < q; b++)
                    ASSERT_EQ(mt.remain[l][0][b], flags[t] ? written[t][l][b] : -5);
        }
        EXPECT_EQ(levrec_readparent(f, r), 0);
        fclose(f);
    }
    EXPECT_EQ(rc.levelcnt[4].total, 150);
}

TEST_F(Records, ParentSkipsFlagZeroPartnerReadsIt) {
    // Spacing as the first-level builder writes it, then a flag-0 record,
    // then a flag-1 record.
    std::string text =
        " \n? 3 1  1  1\n 4 2 0 "
        "\n? 3 1  2  0\n 4 1 1 "
        "\n? 3 2 3 1\n0 1 1 2 0 0 ";
    FILE* f = openw("sol.1");
    fputs(text.c_str(), f);
    fclose(f);
    f = openr("sol.1");
    levrec r;
    ASSERT_EQ(levrec_readparent(f, r), 1);
    EXPECT_EQ(r.runno, 1);
    EXPECT_EQ(mt.remain[0][0][0], 4);
    EXPECT_EQ(mt.remain[0][0][1], 2);
    EXPECT_EQ(mt.remain[0][0][2], 0);
    ASSERT_EQ(levrec_readparent(f, r), 1);
    EXPECT_EQ(r.flag, 0);
    EXPECT_EQ(r.runno, 2);
    EXPECT_EQ(mt.remain[0][0][1], 2);  // untouched
    ASSERT_EQ(levrec_readparent(f, r), 1);
    EXPECT_EQ(r.runno, 3);
    EXPECT_EQ(r.nblk, 2);
    EXPECT_EQ(mt.remain[0][0][1], 1);
    EXPECT_EQ(mt.remain[1][0][0], 2);
    EXPECT_EQ(levrec_readparent(f, r), 0);
    fclose(f);

    f = openr("sol.1");
    ASSERT_EQ(levrec_readpartner(f, r), 1);
    EXPECT_EQ(r.simple, 0);  // 4 + 2 + 0 > 1
    ASSERT_EQ(levrec_readpartner(f, r), 1);
    EXPECT_EQ(r.flag, 0);
    EXPECT_EQ(mt.partner[0][0], 4);
    EXPECT_EQ(mt.partner[0][1], 1);
    EXPECT_EQ(mt.partner[0][2], 1);
    ASSERT_EQ(levrec_readpartner(f, r), 1);
    EXPECT_EQ(mt.partner[1][0], 2);
    EXPECT_EQ(levrec_readpartner(f, r), 0);
    fclose(f);
}

TEST_F(Records, SimpleFlag) {
    struct c {
        const char* text;
        int simple;
    } cases[] = {
        {"? 2 3 1 1\n1 0 0 1 0 0 ", 1},  // every block sums to at most 1
        {"? 2 2 1 1\n1 0 1 1 ", 0},      // the second block holds two columns
        {"? 3 1 1 0\n0 0 0 ", 1},        // an empty block
        {"? 3 0 1 1\n", 1},              // no blocks
        {"? 2 1 1 0\n2 0 ", 0},
    };
    for (const c& k : cases) {
        FILE* f = openw("p");
        fputs(k.text, f);
        fclose(f);
        f = openr("p");
        levrec r;
        ASSERT_EQ(levrec_readpartner(f, r), 1) << k.text;
        EXPECT_EQ(r.simple, k.simple) << k.text;
        fclose(f);
    }
}

TEST_F(Records, DamagedRecordsAreRefused) {
    const char* bad[] = {
        "? 2 3 1\n",                 // header cut short
        "? 11 1 1 1\n0 0 0 0 0 0 0 0 0 0 0 ",  // q above 10
        "? 2 101 1 1\n",             // too many blocks
        "? 2 -1 1 1\n",              // negative block count
        "? 2 2 1 1\n1 0 1 ",         // a count missing at the end of the file
        "? 2 2 1 1\n1 0 1 \n? 2 1 2 1\n0 1 ",  // a count missing before the next record
        "? 2 1 1 1\n1 -1 ",          // a negative count
        "? x 1 1 1\n",
    };
    for (const char* t : bad) {
        FILE* f = openw("d");
        fputs(t, f);
        fclose(f);
        levrec r;
        f = openr("d");
        EXPECT_EQ(levrec_readpartner(f, r), -1) << t;
        fclose(f);
        f = openr("d");
        // The parent reader reads counts of flag-1 records only.
        EXPECT_EQ(levrec_readparent(f, r), -1) << t;
        fclose(f);
    }
    // No "?" at all: the end of the file, not damage.
    FILE* f = openw("e");
    fputs(" \n\n 1 2 3 ", f);
    fclose(f);
    f = openr("e");
    levrec r;
    EXPECT_EQ(levrec_readparent(f, r), 0);
    fclose(f);
    EXPECT_EQ(levrec_readparent(nullptr, r), -1);
}

// ---- printers ---------------------------------------------------------------

// A code of dimension `lev` in the colmap layout: rows 1..lev, columns 1..len.
cmrec makecode(const std::vector<std::string>& rows, int k, int q) {
    cmrec cm{};
    cm.cur_level = (int)rows.size();
    cm.cur_len = (int)rows[0].size();
    cm.cur_k = k;
    cm.cur_q = q;
    for (size_t r = 0; r < rows.size(); r++)
        for (size_t c = 0; c < rows[r].size(); c++) {
            char ch = rows[r][c];
            cm.m[r + 1][c + 1] = ch <= '9' ? ch - '0' : ch - 'A' + 10;
        }
    cm.m[0][1] = 7;  // row 0 is scratch and never printed
    return cm;
}

TEST_F(Records, ResultFileExactLines) {
    FILE* f = openw("res");
    cmrec a = makecode({"0120AF10", "B0C0D011", "00E90001"}, 3, 7);
    ASSERT_EQ(printres(a, f), 1);
    cmrec b = makecode({"1101", "0110"}, 3, 2);  // dimension 2 < k: not printed
    ASSERT_EQ(printres(b, f), 1);
    cmrec c = makecode({"001", "010", "100"}, 3, 2);
    ASSERT_EQ(printres(c, f), 1);
    fclose(f);
    EXPECT_EQ(filetext(dir.file("res")),
              "?3 8 7 1\n0120AF10\nB0C0D011\n00E90001\n"
              "?3 3 2 2\n001\n010\n100\n");
    EXPECT_EQ(codecount, 2);
    EXPECT_EQ(rc.rescount[1], 0);  // the h-file counters are not touched
}

TEST_F(Records, ResultFileBruteModeDropsFirstKColumns) {
    runpar.brute = 1;
    FILE* f = openw("resb");
    cmrec a = makecode({"1001101", "0101011"}, 2, 2);
    ASSERT_EQ(printres(a, f), 1);
    fclose(f);
    EXPECT_EQ(filetext(dir.file("resb")), "?2 5 2 1\n01101\n01011\n");
    EXPECT_EQ(codecount, 1);
    // The h file keeps every column that is not a leading zero column.
    f = openw("hb");
    ASSERT_EQ(printh(a, f), 1);
    fclose(f);
    EXPECT_EQ(filetext(dir.file("hb")), "?2 7 2 1 1\n1001101\n0101011\n");
}

TEST_F(Records, HFileDropsLeadingZeroColumnsOnly) {
    FILE* f = openw("h");
    // Columns 1 and 2 zero in both rows; column 5 zero too, but further right.
    cmrec a = makecode({"0010011", "0001001"}, 4, 3);
    ASSERT_EQ(printh(a, f), 1);
    cmrec b = makecode({"0A12", "00C3", "0001"}, 4, 5);
    ASSERT_EQ(printh(b, f), 1);
    cmrec c = makecode({"1000", "0100"}, 4, 2);
    ASSERT_EQ(printh(c, f), 1);
    fclose(f);
    EXPECT_EQ(filetext(dir.file("h")),
              "?2 5 3 1 1\n10011\n01001\n"
              "?3 3 5 1 2\nA12\n0C3\n001\n"
              "?2 4 2 2 3\n1000\n0100\n");
    EXPECT_EQ(rc.rescount[1], 3);
    EXPECT_EQ(rc.rescount[2], 2);
    EXPECT_EQ(rc.rescount[3], 1);
    EXPECT_EQ(rc.statcount[5][2], 1);
    EXPECT_EQ(rc.statcount[3][3], 1);
    EXPECT_EQ(rc.statcount[4][2], 1);
    EXPECT_EQ(rc.statcount[7][2], 0);
    EXPECT_EQ(codecount, 0);  // the result-file counter is not touched
    // The result file prints every column.
    cmrec d = makecode({"0010", "0001", "0000", "0100"}, 4, 3);
    f = openw("r");
    ASSERT_EQ(printres(d, f), 1);
    fclose(f);
    EXPECT_EQ(filetext(dir.file("r")), "?4 4 3 1\n0010\n0001\n0000\n0100\n");
}

TEST_F(Records, HFileAgainstDirectCount) {
    // Random codes: the printed width is the length minus the leading columns
    // that are zero in every row, counted here column by column.
    std::mt19937 g(5);
    for (int t = 0; t < 200; t++) {
        int lev = 1 + (int)(g() % 5), len = 1 + (int)(g() % 30);
        std::vector<std::string> rows(lev, std::string(len, '0'));
        int zeros = (int)(g() % (len + 1));
        for (int r = 0; r < lev; r++)
            for (int c = zeros; c < len; c++)
                if (g() % 3 == 0) rows[r][c] = (char)('1' + g() % 6);
        rows[g() % lev][len - 1] = '1';
        int z = 0;
        while (z < len) {
            bool allzero = true;
            for (int r = 0; r < lev; r++) allzero &= rows[r][z] == '0';
            if (!allzero) break;
            z++;
        }
        counters_reset();
        FILE* f = openw("hr");
        ASSERT_EQ(printh(makecode(rows, 6, 7), f), 1);
        fclose(f);
        char head[64];
        snprintf(head, sizeof head, "?%d %d 7 1 1\n", lev, len - z);
        std::string expect = head;
        for (auto& row : rows) {
            expect.append(row, (size_t)z, std::string::npos);
            expect.push_back('\n');
        }
        ASSERT_EQ(filetext(dir.file("hr")), expect);
        ASSERT_EQ(rc.statcount[len - z][lev], 1);
    }
}

TEST_F(Records, WriteErrorsAreReported) {
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
    // Buffered: the failure shows when the file is closed.
    // (Capturing flushes every stream, so it starts before the file is open.)
    testing::internal::CaptureStdout();
    f = chkopen("/dev/full", "w");
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(levrec_write(f, 1, 2, 1, 2, 3), 1);
    EXPECT_EQ(chkclose(f, "/dev/full"), 0);
    EXPECT_EQ(f, nullptr);
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "\n Run stopped: cannot close file /dev/full\n");
    EXPECT_EQ(runfault, 1);
    // No stream at all.
    EXPECT_EQ(levrec_write(nullptr, 1, 2, 1, 2, 3), 0);
    EXPECT_EQ(printh(makecode({"1"}, 2, 2), nullptr), 0);
}

TEST_F(Records, CheckedOpenAndClose) {
    testing::internal::CaptureStdout();
    FILE* f = chkopen(dir.file("no/such/dir").c_str(), "r");
    EXPECT_EQ(f, nullptr);
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "\n Run stopped: cannot open file " + dir.file("no/such/dir") + "\n");
    runfault = 0;
    f = chkopen(dir.file("ok").c_str(), "w");
    ASSERT_NE(f, nullptr);
    fputs("x", f);
    EXPECT_EQ(chkclose(f, "ok"), 1);
    EXPECT_EQ(chkclose(f, "ok"), 1);  // already closed: nothing to do
    EXPECT_EQ(runfault, 0);
}

}  // namespace
