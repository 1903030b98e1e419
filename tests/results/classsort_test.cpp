// The class sorter against the classifier: the codes of a real run, each
// hidden behind 1..4 random generator matrices of equivalent codes and
// shuffled, must come back as exactly the run's classes, with the number
// of copies as their sizes.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>

#include "brute.h"
#include "results/classsort.h"

namespace {

TEST(ClassSorter, RandomEquivalentCopiesOfARunSortBackIntoItsClasses) {
    std::mt19937 rng(81);
    const struct {
        int n, k, d, q;
        bool linear4;
    } cases[] = {{8, 4, 3, 2, false}, {7, 3, 3, 2, false}, {6, 3, 3, 3, false},  {8, 4, 3, 3, false},
                 {6, 3, 3, 4, false}, {6, 3, 3, 4, true},  {10, 2, 6, 4, false}, {10, 2, 6, 4, true},
                 {6, 3, 3, 5, false}, {5, 2, 3, 7, false}, {6, 3, 4, 7, false}};
    for (const auto& c : cases) {
        const std::string args = "--quiet " + runargs(c.n, c.k, c.d, c.q) + (c.linear4 ? " --equivalence linear" : "");
        SCOPED_TRACE(args);
        tempdir dir;
        runresult r = runcommand(dir.path, args);
        ASSERT_EQ(r.status, 0) << r.err;
        const std::vector<CodeMatrix> codes = brute::readcodes(dir.file(runname(c.n, c.k, c.d, c.q)));
        ASSERT_FALSE(codes.empty());
        EXPECT_NE(r.out.find("codes=" + std::to_string(codes.size()) + " "), std::string::npos) << r.out;
        // The copies (code, matrix); over GF(4) with the field automorphism
        // some of them conjugated too.
        std::vector<std::pair<size_t, CodeMatrix>> copies;
        std::vector<int64_t> made(codes.size());
        for (size_t i = 0; i < codes.size(); i++) {
            made[i] = 1 + (int64_t)(rng() % 4);
            for (int64_t t = 0; t < made[i]; t++)
                copies.emplace_back(i, brute::scramble(codes[i], rng, c.q == 4 && !c.linear4 && rng() % 2));
        }
        std::shuffle(copies.begin(), copies.end(), rng);
        ClassSorter sorter(c.q, c.q == 4 && c.linear4);
        std::map<size_t, int64_t> classof;  // run's code -> sorter's class
        std::map<int64_t, size_t> codeof;
        for (const auto& [of, m] : copies) {
            bool fresh = false;
            const int64_t cls = sorter.add(m, fresh);
            ASSERT_GT(cls, 0);
            auto [it, first] = classof.emplace(of, cls);
            EXPECT_EQ(fresh, first) << "code " << of + 1;
            EXPECT_EQ(it->second, cls) << "copies of code " << of + 1 << " in two classes";
            auto [jt, unseen] = codeof.emplace(cls, of);
            EXPECT_EQ(jt->second, of) << "codes " << jt->second + 1 << " and " << of + 1 << " in one class";
            EXPECT_EQ(unseen, first);
        }
        ASSERT_EQ(sorter.sizes().size(), codes.size());
        for (auto [i, cls] : classof) EXPECT_EQ(sorter.sizes()[(size_t)cls - 1], made[i]) << "code " << i + 1;
        // Dependent rows are no code and are not counted.
        CodeMatrix dep = codes[0];
        for (int j = 0; j < dep.n; j++) dep.at(dep.k - 1, j) = dep.at(0, j);
        bool fresh = true;
        EXPECT_EQ(sorter.add(dep, fresh), 0);
        EXPECT_FALSE(fresh);
        EXPECT_EQ(sorter.sizes().size(), codes.size());
    }
}

}  // namespace
