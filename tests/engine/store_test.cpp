// The canonical-form store against an in-memory oracle: a set of the forms
// already presented decides "new" or "seen"; the bucket of a form is
// recomputed here from the matrix entries, bit by bit; the file is parsed
// byte by byte and compared with records laid out by hand.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <map>
#include <random>
#include <set>
#include <tuple>
#include <vector>

#include "engine/store.h"
#include "engtest.h"
#include "frame/runpar.h"
#include "frame/settings.h"

namespace {

// One canonical form as the tests hold it: entries[i][j], i < R, j < N.
struct form {
    std::vector<std::vector<int>> e;
    std::vector<int32_t> vals;  // per canonical position; empty = no values
    uint32_t cert = 0;
    int R() const { return (int)e.size(); }
    int N() const { return e.empty() ? ncols : (int)e[0].size(); }
    int ncols = 0;
    bool operator<(const form& o) const {
        return std::tie(e, vals, cert, ncols) < std::tie(o.e, o.vals, o.cert, o.ncols);
    }
};

form randomform(std::mt19937& g, int R, int N, bool withvals, int density = 2) {
    form f;
    f.ncols = N;
    f.e.assign(R, std::vector<int>(N, 0));
    for (auto& row : f.e)
        for (int& x : row) x = (g() % density == 0) ? 1 : 0;
    if (withvals)
        for (int c = 0; c < N; c++) f.vals.push_back((int32_t)(g() % 5 + 1));
    f.cert = g() % 1111111;
    return f;
}

// Presents a form through a shuffled incidence matrix: the store must read it
// back in canonical order through rowel and colel.
struct presented {
    bmat m{};
    std::vector<int32_t> rowel, colel, colvals;
    ~presented() {
        if (m.mem == 1) bmat_free(m);
    }
};

void present(const form& f, std::mt19937& g, presented& p) {
    int R = f.R(), N = f.N();
    bmat_ensure(p.m, R > 0 ? R : 1, N, 2);
    std::vector<int32_t> rp(R), cp(N);  // canonical index -> matrix index (1-based)
    for (int i = 0; i < R; i++) rp[i] = i + 1;
    for (int j = 0; j < N; j++) cp[j] = j + 1;
    std::shuffle(rp.begin(), rp.end(), g);
    std::shuffle(cp.begin(), cp.end(), g);
    p.rowel.assign(R + 1, 0);
    p.colel.assign(N + 1, 0);
    p.colvals.assign(N + 1, -7);
    for (int i = 0; i < R; i++) p.rowel[i + 1] = rp[i];
    for (int j = 0; j < N; j++) p.colel[j + 1] = cp[j];
    // Noise in the unused row 0 and column 0 must not matter.
    for (int c = -1; c <= N; c++) p.m.a[0][c] = 1;
    for (int i = 0; i < R; i++) {
        p.m.a[rp[i]][0] = 1;
        for (int j = 0; j < N; j++) p.m.a[rp[i]][cp[j]] = (uint8_t)f.e[i][j];
    }
    if (!f.vals.empty())
        for (int j = 0; j < N; j++) p.colvals[cp[j]] = f.vals[j];
}

int lookup(const form& f, std::mt19937& g, int mode = 3) {
    presented p;
    present(f, g, p);
    return store_lookup(mode, p.m, f.R(), f.N(), p.rowel.data(), p.colel.data(),
                        f.vals.empty() ? nullptr : p.colvals.data(), f.cert);
}

// The hash and bucket, computed from the entries directly.
uint64_t oraclehash(const form& f) {
    int N = f.N();
    int W = (N + 63) / 64;
    uint64_t h = 0;
    for (int r = 1; r <= f.R(); r++)
        for (int j = 1; j <= W; j++) {
            uint64_t w = 0;
            for (int c = 64 * (j - 1) + 1; c <= N && c <= 64 * j; c++)
                if (f.e[r - 1][c - 1]) w += (uint64_t)1 << (c - 1 - 64 * (j - 1));
            uint64_t mix = (uint64_t)f.cert;
            if (j % 2 == 1) mix <<= 32;
            w ^= mix;
            if (w >= h)
                h = (w - h) + 7 * (uint64_t)r + (uint64_t)j;
            else
                h = h - w + 5 * (uint64_t)r + 3 * (uint64_t)j;
        }
    return h;
}
int oraclebucket(const form& f, int nfiles, int nbucket) {
    uint64_t h = oraclehash(f);
    uint32_t lo = (uint32_t)(h & 0xffffffffu), hi = (uint32_t)(h >> 32);
    uint32_t fi = lo % (uint32_t)nfiles;
    uint32_t s = 13u * fi + (hi ^ lo);
    return (int)(s % (uint32_t)nbucket);
}

// The record bytes of a form, laid out field by field.
std::vector<unsigned char> recordbytes(const form& f, uint64_t next) {
    std::vector<unsigned char> v;
    auto le = [&](uint64_t x, int n) {
        for (int i = 0; i < n; i++) v.push_back((unsigned char)((x >> (8 * i)) & 0xff));
    };
    le(next, 8);
    le((uint32_t)f.R(), 4);
    le((uint32_t)f.N(), 4);
    for (int32_t x : f.vals) le((uint32_t)x, 4);
    int B = (f.N() - 1) / 8 + 1;
    for (int r = 0; r < f.R(); r++)
        for (int byte = 0; byte < B; byte++) {
            int x = 0;
            for (int bit = 0; bit < 8; bit++) {
                int c = 8 * byte + bit;
                if (c < f.N() && f.e[r][c]) x |= 1 << bit;
            }
            v.push_back((unsigned char)x);
        }
    return v;
}

// Each test: a fresh directory as resdir, a fresh store.
class Store : public ::testing::Test {
protected:
    engdir dir;
    std::mt19937 g{12345};
    void SetUp() override {
        runfault = 0;
        resdir = dir.path + "/";
        store_init();
        ASSERT_EQ(store_reset(), 1);
    }
    void TearDown() override {
        store_close();
        store_setfiles(1);
        runfault = 0;
    }
    std::string comp() const { return dir.file("comp_file"); }
};

TEST_F(Store, InsertThenFindAgainstOracleSet) {
    std::set<form> seen;
    std::vector<form> all;
    for (int t = 0; t < 300; t++) {
        form f;
        if (!all.empty() && g() % 3 == 0) {
            f = all[g() % all.size()];  // repeat an earlier form
        } else {
            int R = 1 + g() % 6, N = 1 + g() % 70;
            f = randomform(g, R, N, true);
            f.cert = g() % 3;  // few certificates, so that hashes meet often
        }
        int expect = seen.count(f) ? 0 : 1;
        ASSERT_EQ(lookup(f, g), expect) << "form " << t;
        EXPECT_EQ(hs.lastbucket, oraclebucket(f, 1, STORE_BUCKETS));
        EXPECT_EQ(hs.lasthash, oraclehash(f));
        seen.insert(f);
        all.push_back(f);
    }
    // Everything is still there, presented through other permutations.
    for (const form& f : all) ASSERT_EQ(lookup(f, g), 0);
    EXPECT_EQ(runfault, 0);
}

TEST_F(Store, FormsDifferingInOnePlaceAreDistinct) {
    store_init(1);  // one bucket: every form meets every other in one chain
    ASSERT_EQ(store_reset(), 1);
    form base = randomform(g, 4, 20, true);
    ASSERT_EQ(lookup(base, g), 1);

    form vals = base;
    vals.vals[7] += 1;  // only the invariant array differs
    EXPECT_EQ(lookup(vals, g), 1);

    form fewer = base;
    fewer.e.pop_back();  // one row less
    EXPECT_EQ(lookup(fewer, g), 1);
    form more = base;
    more.e.push_back(std::vector<int>(20, 0));  // one (zero) row more
    EXPECT_EQ(lookup(more, g), 1);

    form bits = base;
    bits.e[3][19] ^= 1;  // one bit, in the last column
    EXPECT_EQ(lookup(bits, g), 1);

    form wider = base;  // one more column, all zero, with value 0
    for (auto& row : wider.e) row.push_back(0);
    wider.vals.push_back(0);
    EXPECT_EQ(lookup(wider, g), 1);

    for (const form* f : {&base, &vals, &fewer, &more, &bits, &wider}) EXPECT_EQ(lookup(*f, g), 0);
}

TEST_F(Store, CertificateTakesPartInTheHashOnly) {
    // The certificate steers the bucket; the record does not hold it, so the
    // same matrix under another certificate is found only in the same bucket.
    int same = 0, other = 0;
    for (int t = 0; t < 20; t++) {
        form a = randomform(g, 3, 30, true);
        form b = a;
        b.cert = (a.cert + 1 + g() % 1000) % 1111111;
        ASSERT_EQ(lookup(a, g), 1);
        EXPECT_EQ(hs.lasthash, oraclehash(a));
        bool samebucket = oraclebucket(a, 1, STORE_BUCKETS) == oraclebucket(b, 1, STORE_BUCKETS);
        EXPECT_EQ(lookup(b, g), samebucket ? 0 : 1);
        EXPECT_EQ(hs.lasthash, oraclehash(b));
        (samebucket ? same : other)++;
    }
    EXPECT_GT(other, 0);
}

TEST_F(Store, FirstRecordAtOffsetZeroAndHandLaidBytes) {
    // R = 2, N = 10, values 5 and 0x01020304 ...: laid out by hand.
    form f;
    f.ncols = 10;
    f.e = {{1, 0, 0, 0, 0, 0, 0, 0, 1, 0},   // columns 1 and 9
           {0, 1, 1, 0, 0, 0, 0, 1, 0, 1}};  // columns 2, 3, 8, 10
    f.vals = {5, 0x01020304, 0, 0, 0, 0, 0, 0, 0, -1};
    f.cert = 3;
    ASSERT_EQ(lookup(f, g), 1);
    int b = hs.lastbucket;
    EXPECT_EQ(hs.heads.a[0][b], 0u);  // offset 0 is a real head
    const std::vector<unsigned char> expect = {
        0x01, 0, 0, 0, 0, 0, 0, 0,  // next: end of chain
        0x02, 0, 0, 0,              // rows
        0x0a, 0, 0, 0,              // cols
        0x05, 0, 0, 0,              // value of position 1
        0x04, 0x03, 0x02, 0x01,     // value of position 2
        0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
        0xff, 0xff, 0xff, 0xff,  // value of position 10: -1
        0x01, 0x01,              // row 1: bit 0 of byte 0, bit 0 of byte 1
        0x86, 0x02,              // row 2: bits 1, 2, 7 of byte 0; bit 1 of byte 1
    };
    EXPECT_EQ(filebytes(comp()), expect);
    EXPECT_EQ(recordbytes(f, 1), expect);
    EXPECT_EQ(lookup(f, g), 0);  // found at offset 0

    // A second record in the same bucket links itself behind the first.
    store_init(1);
    ASSERT_EQ(store_reset(), 1);
    EXPECT_TRUE(filebytes(comp()).empty());
    form h = f;
    h.e[1][9] = 0;
    ASSERT_EQ(lookup(f, g), 1);
    ASSERT_EQ(lookup(h, g), 1);
    std::vector<unsigned char> two = recordbytes(f, expect.size());
    std::vector<unsigned char> second = recordbytes(h, 1);
    two.insert(two.end(), second.begin(), second.end());
    EXPECT_EQ(filebytes(comp()), two);
}

TEST_F(Store, NoValuesMeansNoValueField) {
    form f = randomform(g, 3, 17, false);
    ASSERT_EQ(lookup(f, g), 1);
    EXPECT_EQ(filebytes(comp()), recordbytes(f, 1));
    EXPECT_EQ(filebytes(comp()).size(), 16u + 3u * 3u);
    EXPECT_EQ(lookup(f, g), 0);
}

// Parses comp_file and follows the chain from `head`: the offsets visited.
std::vector<uint64_t> chain(const std::vector<unsigned char>& file, uint64_t head) {
    std::vector<uint64_t> offs;
    uint64_t at = head;
    while (at != 1 && offs.size() < 1000) {
        offs.push_back(at);
        uint64_t next = 0;
        for (int i = 7; i >= 0; i--) next = (next << 8) | file.at(at + i);
        at = next;
    }
    return offs;
}

TEST_F(Store, ChainOfCollidingKeysInOneBucket) {
    // Search forms until five fall into one bucket of the full table.
    std::map<int, std::vector<form>> byb;
    std::vector<form> five;
    while (five.empty()) {
        form f = randomform(g, 2, 12, true);
        auto& v = byb[oraclebucket(f, 1, STORE_BUCKETS)];
        bool dup = false;
        for (auto& o : v) dup |= !(o < f) && !(f < o);
        if (!dup) v.push_back(f);
        if (v.size() == 5) five = v;
    }
    std::vector<uint64_t> offsets;
    std::vector<unsigned char> expectfile;
    for (const form& f : five) {
        offsets.push_back(expectfile.size());
        std::vector<unsigned char> r = recordbytes(f, 1);
        expectfile.insert(expectfile.end(), r.begin(), r.end());
        ASSERT_EQ(lookup(f, g), 1);
    }
    int b = hs.lastbucket;
    EXPECT_EQ(b, oraclebucket(five[0], 1, STORE_BUCKETS));
    // Records back to back; each next field points at its successor.
    std::vector<unsigned char> file = filebytes(comp());
    ASSERT_EQ(file.size(), expectfile.size());
    EXPECT_EQ(chain(file, hs.heads.a[0][b]), offsets);
    for (size_t i = 0; i < five.size(); i++) {
        uint64_t next = i + 1 < five.size() ? offsets[i + 1] : 1;
        for (int k = 0; k < 8; k++) expectfile[offsets[i] + k] = (unsigned char)(next >> (8 * k));
    }
    EXPECT_EQ(file, expectfile);
    for (const form& f : five) EXPECT_EQ(lookup(f, g), 0);
    // A sixth form in the same bucket goes to the tail.
    form six;
    do six = randomform(g, 2, 12, true);
    while (oraclebucket(six, 1, STORE_BUCKETS) != b);
    EXPECT_EQ(lookup(six, g), 1);
    EXPECT_EQ(chain(filebytes(comp()), hs.heads.a[0][b]).size(), 6u);
}

TEST_F(Store, SmallBucketCountGivesLongChains) {
    store_init(3);
    ASSERT_EQ(store_reset(), 1);
    std::set<form> seen;
    for (int t = 0; t < 200; t++) {
        form f = randomform(g, 1 + g() % 3, 1 + g() % 9, true);
        f.vals.assign(f.N(), 1);
        f.cert = 0;
        ASSERT_EQ(lookup(f, g), seen.count(f) ? 0 : 1);
        EXPECT_EQ(hs.lastbucket, oraclebucket(f, 1, 3));
        seen.insert(f);
    }
    size_t records = 0;
    std::vector<unsigned char> file = filebytes(comp());
    for (int b = 0; b < 3; b++)
        if (hs.heads.a[0][b] != 1) records += chain(file, hs.heads.a[0][b]).size();
    EXPECT_EQ(records, seen.size());
}

TEST_F(Store, ResetEmptiesTheStore) {
    form f = randomform(g, 3, 40, true);
    ASSERT_EQ(lookup(f, g), 1);
    ASSERT_EQ(lookup(f, g), 0);
    ASSERT_EQ(store_reset(), 1);
    EXPECT_TRUE(filebytes(comp()).empty());
    for (int b = 0; b < STORE_BUCKETS; b++) ASSERT_EQ(hs.heads.a[0][b], 1u);
    EXPECT_EQ(lookup(f, g), 1);
    EXPECT_EQ(hs.heads.a[0][hs.lastbucket], 0u);
}

TEST_F(Store, ModesWithOneAndTwoFiles) {
    // One file: mode 1 and mode 3 address the same bucket.
    form f = randomform(g, 3, 33, true);
    ASSERT_EQ(lookup(f, g, 1), 1);
    int b1 = hs.lastbucket;
    EXPECT_EQ(lookup(f, g, 3), 0);
    EXPECT_EQ(hs.lastbucket, b1);
    EXPECT_EQ(hs.lastfile, 0);

    // Two files: mode 1 follows the hash, mode 3 keeps file 0 and the bucket.
    store_close();
    store_setfiles(2);
    ASSERT_EQ(store_reset(), 1);
    int sent1 = 0;
    for (int t = 0; t < 40; t++) {
        form h = randomform(g, 2, 10, true);
        int fi = (int)((uint32_t)oraclehash(h) % 2u);
        ASSERT_EQ(lookup(h, g, 1), 1);
        EXPECT_EQ(hs.lastfile, fi);
        EXPECT_EQ(hs.lastbucket, oraclebucket(h, 2, STORE_BUCKETS));
        int b = hs.lastbucket;
        // In mode 3 the form is looked for in file 0 under the same bucket.
        EXPECT_EQ(lookup(h, g, 3), fi == 0 ? 0 : 1);
        EXPECT_EQ(hs.lastfile, 0);
        EXPECT_EQ(hs.lastbucket, b);
        sent1 += fi;
    }
    EXPECT_GT(sent1, 0);
    EXPECT_GT(filebytes(dir.file("comp_file1")).size(), 0u);

    // Back to one file: the second file's stream is let go.
    store_setfiles(1);
    ASSERT_EQ(store_reset(), 1);
    EXPECT_NE(hs.fp[0], nullptr);
    EXPECT_EQ(hs.fp[1], nullptr);
    EXPECT_EQ(runfault, 0);
}

// ---- failing files -----------------------------------------------------------

TEST_F(Store, DirectoryInPlaceOfTheFile) {
    store_close();
    engdir other;
    ASSERT_EQ(mkdir((other.path + "/comp_file").c_str(), 0777), 0);
    resdir = other.path + "/";
    testing::internal::CaptureStdout();
    EXPECT_EQ(store_reset(), 0);
    form f = randomform(g, 2, 9, true);
    EXPECT_EQ(lookup(f, g), 0);
    EXPECT_EQ(lookup(f, g), 0);
    std::string out = testing::internal::GetCapturedStdout();
    EXPECT_EQ(out, "\n Run stopped: cannot create file " + other.path + "/comp_file\n");
    EXPECT_EQ(runfault, 1);
}

TEST_F(Store, FullDiskGivesNoNewForm) {
    store_close();
    engdir other;
    ASSERT_EQ(symlink("/dev/full", (other.path + "/comp_file").c_str()), 0);
    resdir = other.path + "/";
    ASSERT_EQ(store_reset(), 1);
    testing::internal::CaptureStdout();
    form f = randomform(g, 2, 9, true);
    EXPECT_EQ(lookup(f, g), 0);  // the write did not reach the file
    EXPECT_EQ(lookup(f, g), 0);  // the stream is given up
    std::string out = testing::internal::GetCapturedStdout();
    EXPECT_EQ(out, "\n Run stopped: cannot write file " + other.path + "/comp_file\n");
    EXPECT_EQ(runfault, 1);
}

TEST_F(Store, ShortFileGivesNoNewForm) {
    store_init(1);
    ASSERT_EQ(store_reset(), 1);
    form f = randomform(g, 2, 9, true);
    ASSERT_EQ(lookup(f, g), 1);
    ASSERT_EQ(truncate(comp().c_str(), 10), 0);  // the record is cut short
    testing::internal::CaptureStdout();
    form h = randomform(g, 3, 9, true);
    EXPECT_EQ(lookup(h, g), 0);
    std::string out = testing::internal::GetCapturedStdout();
    EXPECT_EQ(out, "\n Run stopped: cannot read file " + comp() + "\n");
    EXPECT_EQ(runfault, 1);
}

TEST_F(Store, ChainPointingBackwardsIsRefused) {
    store_init(1);
    ASSERT_EQ(store_reset(), 1);
    form f = randomform(g, 2, 9, true);
    form h = randomform(g, 2, 9, true);
    ASSERT_EQ(lookup(f, g), 1);
    ASSERT_EQ(lookup(h, g), 1);
    // Make the second record point at the first: a loop.
    FILE* fp = fopen(comp().c_str(), "r+b");
    ASSERT_NE(fp, nullptr);
    size_t second = recordbytes(f, 1).size();
    fseek(fp, (long)second, SEEK_SET);
    unsigned char zero[8] = {0, 0, 0, 0, 0, 0, 0, 0};
    fwrite(zero, 1, 8, fp);
    fclose(fp);
    testing::internal::CaptureStdout();
    form k = randomform(g, 4, 9, true);
    EXPECT_EQ(lookup(k, g), 0);
    std::string out = testing::internal::GetCapturedStdout();
    EXPECT_EQ(out, "\n Run stopped: cannot read file " + comp() + "\n");
}

TEST_F(Store, ResetAfterFaultRecovers) {
    store_close();
    engdir other;
    ASSERT_EQ(mkdir((other.path + "/comp_file").c_str(), 0777), 0);
    resdir = other.path + "/";
    testing::internal::CaptureStdout();
    EXPECT_EQ(store_reset(), 0);
    testing::internal::GetCapturedStdout();
    resdir = dir.path + "/";
    runfault = 0;
    ASSERT_EQ(store_reset(), 1);
    form f = randomform(g, 2, 9, true);
    EXPECT_EQ(lookup(f, g), 1);
    EXPECT_EQ(lookup(f, g), 0);
}

TEST_F(Store, LongRowsUseSeveralWords) {
    // N = 150: three 64-bit words per row, 19 bytes per row in the file.
    store_init(1);
    ASSERT_EQ(store_reset(), 1);
    form f = randomform(g, 5, 150, true);
    ASSERT_EQ(lookup(f, g), 1);
    EXPECT_EQ(hs.lasthash, oraclehash(f));
    EXPECT_EQ(filebytes(comp()), recordbytes(f, 1));
    for (int c : {0, 63, 64, 127, 128, 149}) {
        form h = f;
        h.e[4][c] ^= 1;
        EXPECT_EQ(lookup(h, g), 1) << c;
        EXPECT_EQ(lookup(h, g), 0) << c;
    }
    EXPECT_EQ(lookup(f, g), 0);
}

}  // namespace
