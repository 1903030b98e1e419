// The canonical-form store against an in-memory oracle: a set of the forms
// already presented (with the bucket their certificate gives) decides "new"
// or "seen", in memory, on file and spilled half way; file faults stop the
// run with their message.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <memory>
#include <random>
#include <set>
#include <tuple>
#include <utility>
#include <vector>

#include "common/testutil.h"
#include "engine/store.h"

namespace {

// One canonical form as the tests hold it: e[i][j], i < R, j < N.
struct form {
    std::vector<std::vector<int>> e;
    std::vector<int32_t> vals;  // per canonical position; empty = no values
    uint32_t cert = 0;
};

form randomform(std::mt19937& g, int R, int N, bool withvals) {
    form f;
    f.e.assign(R, std::vector<int>(N, 0));
    for (auto& row : f.e)
        for (int& x : row) x = (int)(g() % 2);
    if (withvals)
        for (int c = 0; c < N; c++) f.vals.push_back((int32_t)(g() % 5 + 1));
    f.cert = g() % 1111111;
    return f;
}

// Presents a form through a shuffled incidence matrix (noise in row 0 and
// column 0): the store must read it back in canonical order via rowel, colel.
int lookup(CanonStore& st, const form& f, std::mt19937& g) {
    const int R = (int)f.e.size(), N = (int)f.e[0].size();
    ByteMatrix m{};
    m.ensure(R, N, 2);
    std::vector<int32_t> rowel(R + 1, 0), colel(N + 1, 0), colvals(N + 1, -7);
    for (int i = 1; i <= R; i++) rowel[i] = i;
    for (int j = 1; j <= N; j++) colel[j] = j;
    std::shuffle(rowel.begin() + 1, rowel.end(), g);
    std::shuffle(colel.begin() + 1, colel.end(), g);
    for (int c = -1; c <= N; c++) m.a[0][c] = 1;
    for (int i = 0; i < R; i++) {
        m.a[rowel[i + 1]][0] = 1;
        for (int j = 0; j < N; j++) m.a[rowel[i + 1]][colel[j + 1]] = (uint8_t)f.e[i][j];
    }
    for (size_t j = 0; j < f.vals.size(); j++) colvals[colel[j + 1]] = f.vals[j];
    return st.store_lookup(m, R, N, rowel.data(), colel.data(), f.vals.empty() ? nullptr : colvals.data(),
                           f.cert) == CodeStatus::fresh;
}

// What makes a form itself: the bucket it went to, its matrix and values.
using formkey = std::tuple<int, std::vector<std::vector<int>>, std::vector<int32_t>>;

class Store : public ::testing::Test {
protected:
    tempdir dir;
    std::mt19937 g{12345};
    RunFault fault;
    std::unique_ptr<CanonStore> st;
    void SetUp() override { buckets(STORE_BUCKETS); }
    std::string comp() const { return dir.file("comp_file"); }
    void buckets(int n, MemoryBudget* budget = nullptr) {
        st.reset();
        st = std::make_unique<CanonStore>(fault, n, budget);
        st->setdir(dir.path + "/");
        ASSERT_TRUE(st->store_reset());
    }
    int lookup(const form& f, std::mt19937& rng) { return ::lookup(*st, f, rng); }
};

TEST_F(Store, InsertThenFindAgainstOracle) {
    // The store answers "seen" exactly when the same form went into the same
    // bucket before; the certificate steers the bucket only.  Three buckets
    // and small forms make long chains; the same in memory, and with a budget
    // that makes the store spill to its file half way.
    MemoryBudget ample(1 << 30), small(4096);
    const std::pair<int, MemoryBudget*> modes[] = {{STORE_BUCKETS, nullptr}, {3, nullptr}, {3, &ample}, {STORE_BUCKETS, &small}};
    for (const auto& [nb, budget] : modes) {
        unlink(comp().c_str());
        buckets(nb, budget);
        std::set<formkey> seen;
        std::vector<form> all;
        int recert = 0, was = -1;  // recertified forms that went elsewhere; the bucket before
        for (int t = 0; t < 300; t++, was = -1) {
            form f;
            if (!all.empty() && g() % 2 == 0) {
                f = all[g() % all.size()];  // repeat an earlier form, maybe recertified
                if (g() % 3 == 0) lookup(f, g), was = st->state().lastbucket, f.cert = (f.cert + 1 + g() % 1000) % 1111111;
            } else {
                f = nb == 3 ? randomform(g, 1 + g() % 3, 1 + g() % 9, false)
                            : randomform(g, 1 + g() % 6, 1 + g() % 70, true);
                f.cert = g() % 3;  // few certificates, so that buckets meet often
            }
            const int fresh = lookup(f, g);
            ASSERT_TRUE(st->state().lastbucket >= 0 && st->state().lastbucket < nb);
            ASSERT_EQ(fresh, seen.insert(formkey{st->state().lastbucket, f.e, f.vals}).second ? 1 : 0) << "form " << t;
            recert += was >= 0 && was != st->state().lastbucket;
            all.push_back(f);
        }
        EXPECT_GT(recert, 5);
        EXPECT_EQ(readfile(comp()).empty(), budget == &ample);
        // Everything is still there, presented through other permutations.
        for (const form& f : all) ASSERT_EQ(lookup(f, g), 0);
        EXPECT_FALSE(fault.stopped());
    }
    buckets(STORE_BUCKETS);
    ASSERT_EQ(lookup(randomform(g, 2, 9, true), g), 1);
    ASSERT_TRUE(st->store_reset());
    EXPECT_TRUE(readfile(comp()).empty());
    for (int b = 0; b < STORE_BUCKETS; b++) ASSERT_EQ(st->state().heads[b], 1u);
}

TEST_F(Store, FormsDifferingInOnePlaceAreDistinct) {
    buckets(1);  // one bucket: every form meets every other in one chain
    form base = randomform(g, 5, 150, true);  // three words, 19 bytes per row
    ASSERT_EQ(lookup(base, g), 1);
    std::vector<form> variants(4, base);
    variants[0].vals[7] += 1;                              // only the values differ
    variants[1].e.pop_back();                              // one row less
    variants[2].e.push_back(std::vector<int>(150, 0));     // one zero row more
    for (auto& row : variants[3].e) row.push_back(0);      // one zero column more
    variants[3].vals.push_back(0);
    for (int c : {0, 63, 64, 127, 128, 149}) {             // one bit, at the word boundaries
        variants.push_back(base);
        variants.back().e[4][c] ^= 1;
    }
    for (const form& f : variants) EXPECT_EQ(lookup(f, g), 1);
    for (const form& f : variants) EXPECT_EQ(lookup(f, g), 0);
    EXPECT_EQ(lookup(base, g), 0);
}

TEST_F(Store, FileFaultsGiveNoNewFormUntilReset) {
    // 0: a directory where the file goes; 1: a full disk; 2: the record cut
    // short; 3: the second record's next field pointing back at the first.
    const char* action[] = {"create", "write", "read", "read"};
    for (int damage = 0; damage < 4; damage++) {
        RunFault broken;
        tempdir other;
        const std::string path = other.file("comp_file");
        ASSERT_EQ(damage == 0 ? mkdir(path.c_str(), 0777)
                  : damage == 1 ? symlink("/dev/full", path.c_str()) : 0, 0);
        CanonStore bad(broken, 1);
        bad.setdir(other.path + "/");
        form f = randomform(g, 2, 9, true), h = randomform(g, 3, 9, true);
        if (damage >= 2) {
            ASSERT_TRUE(bad.store_reset());
            ASSERT_EQ(::lookup(bad, f, g), 1);
            const long first = (long)readfile(path).size();
            ASSERT_EQ(::lookup(bad, h, g), 1);
            std::string text = readfile(path);
            if (damage == 2) text.resize(10);
            else text.replace(first, 8, 8, '\0');
            writefile(path, text);
        }
        testing::internal::CaptureStdout();
        EXPECT_EQ(damage < 2 ? bad.store_reset() : true, damage != 0);
        form k = randomform(g, 4, 9, true);
        EXPECT_EQ(::lookup(bad, k, g), 0);  // the fault: not new
        EXPECT_EQ(::lookup(bad, k, g), 0);  // the stream is given up
        EXPECT_EQ(testing::internal::GetCapturedStdout(),
                  std::string("\n Run stopped: cannot ") + action[damage] + " file " + path + "\n");
        EXPECT_TRUE(broken.stopped());
        // A successful reset in a sound folder makes the store usable again.
        bad.setdir(dir.path + "/");
        ASSERT_TRUE(bad.store_reset());
        EXPECT_EQ(::lookup(bad, f, g), 1);
        EXPECT_EQ(::lookup(bad, f, g), 0);
    }
}

}  // namespace
