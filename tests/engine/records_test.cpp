// Level records: records written from the step's tables and read back are
// compared with the groups derived here from the same tables, and with texts
// built by hand.
#include <gtest/gtest.h>

#include <memory>
#include <random>
#include <string>
#include <vector>

#include "common/testutil.h"
#include "engine/records.h"

namespace {

class Records : public ::testing::Test {
protected:
    tempdir dir;
    std::unique_ptr<mayatab> tables = std::make_unique<mayatab>();
    std::unique_ptr<runcounters> counters = std::make_unique<runcounters>();
    mayatab& mt = *tables;
    runcounters& rc = *counters;
    void SetUp() override { maya_reset(mt); }
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
            maya_reset(mt);
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
                ASSERT_TRUE(levrec_write(f, flag ? CodeStatus::fresh : CodeStatus::seen, nblk - 1, q, StepMode::split, mt, rc.levelcnt[4]));
            } else {
                int L = (int)(g() % 20);
                groups.assign(L, std::vector<int>(q));
                for (int l = 0; l < L; l++)
                    for (int i = 0; i < q; i++) groups[l][i] = mt.partner[l][i] = (int)(g() % 5);
                ASSERT_TRUE(levrec_write(f, flag ? CodeStatus::fresh : CodeStatus::seen, L, q, StepMode::simple, mt, rc.levelcnt[4]));
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
                ASSERT_EQ(parent ? levrec_readparent(f, r, mt) : levrec_readpartner(f, r, mt), 1);
                EXPECT_EQ(r.q, q);
                EXPECT_EQ(r.runno, (int)t + 1);
                EXPECT_EQ(r.flag, flags[t]);
                ASSERT_EQ(r.nblk, (int)written[t].size());
                for (int l = 0; l < r.nblk; l++)
                    for (int i = 0; i < q; i++)
                        ASSERT_EQ(parent ? mt.remain[l][0][i] : mt.partner[l][i],
                                  parent && !flags[t] ? -5 : written[t][l][i]);
            }
            EXPECT_EQ(parent ? levrec_readparent(f, r, mt) : levrec_readpartner(f, r, mt), 0);
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
    ASSERT_TRUE(levrec_write(fp, CodeStatus::fresh, 149, 2, StepMode::split, mt, rc.levelcnt[5]));
    fclose(fp);
    maya_reset(mt);
    levrec r;
    fp = openr("big");
    ASSERT_EQ(levrec_readparent(fp, r, mt), 1);
    fclose(fp);
    EXPECT_EQ(r.nblk, 300);
    EXPECT_EQ(mt.remain[299][0][1], 2);
    EXPECT_EQ(mt.remain[298][0][0], 1);
    fp = openr("big");
    ASSERT_EQ(levrec_readpartner(fp, r, mt), 1);
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
        ASSERT_EQ(levrec_readpartner(f, r, mt), k.res) << k.text;
        const int simple = r.simple, first = mt.partner[0][0];
        rewind(f);
        EXPECT_EQ(levrec_readparent(f, r, mt), k.res) << k.text;
        if (k.res == 1) {
            EXPECT_EQ(simple, k.simple) << k.text;
            EXPECT_EQ(first, k.first) << k.text;
            EXPECT_EQ(mt.remain[0][0][0], r.flag ? k.first : -1) << k.text;
        }
        fclose(f);
    }
    EXPECT_EQ(levrec_readparent(nullptr, r, mt), -1);
}

TEST_F(Records, AFailedWriteIsReportedAndStillCounted) {
    FILE* f = fopen("/dev/full", "w");  // unbuffered: the failure shows at the write itself
    ASSERT_NE(f, nullptr);
    setvbuf(f, nullptr, _IONBF, 0);
    mt.partner[0][0] = 1;
    EXPECT_FALSE(levrec_write(f, CodeStatus::fresh, 1, 2, StepMode::simple, mt, rc.levelcnt[2]));
    EXPECT_EQ(rc.levelcnt[2].total, 1);  // the record was counted all the same
    fclose(f);
    EXPECT_FALSE(levrec_write(nullptr, CodeStatus::fresh, 1, 2, StepMode::simple, mt, rc.levelcnt[2]));
    EXPECT_EQ(rc.levelcnt[2].total, 1);  // no stream: nothing written or counted
}

}  // namespace
