// The mass of a file: the listing of restricted sets against the oracle's
// count, the run's mass against `check --mass` on the files it wrote, and
// the verdict turned by a class taken out or put in twice.
#include <gtest/gtest.h>

#include <sstream>

#include "brute.h"
#include "results/mass.h"
#include "common/oracle.h"

namespace {

// The word after "key=" in a line of words ("" when there is none).
std::string word(const std::string& line, const std::string& key) {
    std::istringstream in(line);
    std::string w;
    while (in >> w)
        if (w.rfind(key + "=", 0) == 0) return w.substr(key.size() + 1);
    return "";
}

}  // namespace

// Restricted sets listed by the checker's count and by the oracle's.
TEST(FileMass, ListingCountsTheCodesOfRestrictedSets) {
    struct Case {
        int n, k, d, q;
        bool selforth;
        int dual;
        std::vector<int> forbid;
    };
    const Case cases[] = {{7, 3, 3, 2, false, 1, {}},  {7, 3, 2, 2, false, 3, {}}, {7, 3, 2, 2, true, 1, {}},
                          {6, 3, 3, 3, false, 2, {}},  {6, 2, 2, 3, false, 1, {4}}, {5, 2, 3, 4, false, 1, {}},
                          {6, 3, 2, 4, true, 1, {}},   {5, 2, 3, 5, false, 1, {}},  {4, 2, 3, 7, false, 1, {}}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "[" << c.n << "," << c.k << "," << c.d << "]_" << c.q);
        CodeSet s;
        s.n = c.n, s.k = c.k, s.d = c.d, s.q = c.q, s.selforth = c.selforth, s.dualdist = c.dual;
        oracle::wanted w = oracle::plain(c.n, c.k, c.d, c.q);
        w.selforth = c.selforth;
        w.dualdist = c.dual;
        for (int x : c.forbid) w.allowed[x] = 0;
        s.allowed.assign(w.allowed.begin(), w.allowed.end());
        BigNat count;
        ASSERT_TRUE(listcodes(s, count));
        EXPECT_EQ(count, BigNat(oracle::count(w)));
    }
    CodeSet big;
    big.n = 30, big.k = 15, big.allowed.assign(31, 1);
    BigNat none;
    EXPECT_FALSE(listcodes(big, none));  // 2^225 subspaces: not counted
}

// A run's totals line and `check --mass` on its result file, its h file
// and its exports give the same mass; a restricted run without a formula
// is proved complete by the listing.
TEST(FileMass, TheRunsMassIsTheMassCheckFinds) {
    const std::pair<const char*, const char*> runs[] = {{"-n 9 -k 4 -d 3 -q 2", "9_4_3.2"},
                                                        {"-n 6 -k 3 -d 1 -q 4 --equivalence linear", "6_3_1.4"},
                                                        {"-n 6 -k 3 -d 3 -q 3 --brute 2", "6_3_3.3b"}};
    for (const auto& [args, name] : runs) {
        SCOPED_TRACE(args);
        tempdir dir;
        runresult run = runcommand(dir.path, std::string(args) + " --quiet --format sage");
        ASSERT_EQ(run.status, 0) << run.err;
        for (const std::string& file : {std::string(name), std::string(name) + "h", std::string(name) + ".sage"}) {
            runresult r = runcommand(dir.path, "check --mass " + file);
            EXPECT_EQ(r.status, 0) << file << ": " << r.err;
            EXPECT_EQ(word(r.out, "mass"), word(run.out, "mass")) << file << ": " << r.out;
            EXPECT_EQ(word(r.out, "complete"), "yes") << file << ": " << r.out;
            if (file.back() == 'h') {
                EXPECT_EQ(word(r.out, "masses"), word(run.out, "masses")) << r.out;
            }
        }
    }
}

// The verdict of a complete file turns when one class is taken out and
// when one is put in twice (plain export, whose comment names the set).
TEST(FileMass, AMissingOrADoubledClassTurnsTheVerdict) {
    tempdir dir;
    ASSERT_EQ(runcommand(dir.path, "-n 6 -k 3 -d 2 -q 3 --quiet --format plain").status, 0);
    const std::string text = readfile(dir.file("6_3_2.3.txt"));
    runresult r = runcommand(dir.path, "check --mass 6_3_2.3.txt");
    ASSERT_EQ(r.status, 0) << r.err;
    ASSERT_EQ(word(r.out, "complete"), "yes") << r.out;
    // Where the blocks of codes start (the first after the comment line).
    std::vector<size_t> at = {text.find('\n') + 1};
    for (size_t p = text.find("\n\n"); p != std::string::npos; p = text.find("\n\n", p + 1)) at.push_back(p + 2);
    ASSERT_GT(at.size(), 3u);
    const std::string fewer = text.substr(0, at[2]) + text.substr(at[3]);        // code 3 left out
    const std::string more = text + "\n" + text.substr(at[1], at[2] - at[1] - 1);  // code 2 again
    for (const auto& [edited, fault] : {std::pair{fewer, "a class is missing"}, std::pair{more, "equivalent to code 2"}}) {
        writefile(dir.file("edited.txt"), edited);
        r = runcommand(dir.path, "check --mass edited.txt");
        EXPECT_EQ(r.status, 1) << fault;
        EXPECT_EQ(word(r.out, "complete"), "no") << fault << ": " << r.out;
        EXPECT_NE(r.err.find(fault), std::string::npos) << r.err;
    }
}
