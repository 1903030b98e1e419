// Column invariants.  The second pass, followed by the canonical labelling,
// must not see how a code is written down: a random change of basis, column
// permutation and column scaling gives the same values (as a multiset), the
// same smallest value and the same canonical matrix, for every field and on
// both the full-listing and the low-weight paths.  The first pass is checked
// on the layouts the extension step produces.
#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>
#include <random>
#include <vector>

#include "canon/canon.h"
#include "distance/dist.h"
#include "distance/rank.h"
#include "common/oracle.h"
#include "field/field.h"
#include "invariants/colinv.h"

namespace {

using oracle::matrix;

// What the extension step hands the invariants: a distance engine, a
// labeller, the candidate in a working code.
struct workspace {
    DistEngine dist;
    ColumnInvariants inv;
    Labeller lab;
    cmrec colmap{};
};
workspace& ws() {
    static workspace* w = new workspace;
    return *w;
}

void usefield(int q) {
    ws().dist.usefield(q, q <= 4);
}

// A random k x n matrix of rank k whose columns are non-zero and pairwise
// not proportional (a code given by its distinct points).
matrix randomcode(int q, int k, int n, std::mt19937& rng) {
    const ownfield f{q};
    for (;;) {
        matrix g(k, std::vector<int>(n));
        for (auto& row : g)
            for (int& x : row) x = (int)(rng() % q);
        bool ok = (int)oracle::rref(g, f).size() == k;
        for (int a = 0; a < n && ok; a++) {
            int nz = 0;
            for (int r = 0; r < k; r++) nz += g[r][a] != 0;
            ok = nz > 0;
            for (int b = a + 1; b < n && ok; b++)
                for (int s = 1; s < q && ok; s++) {
                    bool same = true;
                    for (int r = 0; r < k; r++) same = same && g[r][b] == f.mul(s, g[r][a]);
                    ok = !same;
                }
        }
        if (ok) return g;
    }
}

struct labelled {
    std::vector<int> values;  // sorted
    int mainval;
    std::vector<int> canon;   // canonical matrix, then the values in canonical order
    uint32_t cert;
};

labelled label(const matrix& g, int q) {
    const int k = (int)g.size(), n = (int)g[0].size();
    static ByteMatrix G{};
    static PlaneMatrix gb{};
    static ByteMatrix gs{};
    G.ensure(k, n, q);
    for (int r = 0; r < k; r++)
        for (int j = 0; j < n; j++) G.a[r + 1][j + 1] = (uint8_t)g[r][j];
    G.used = k;
    G.dreq = 1;
    ws().inv.invt.q = q;
    ws().inv.invt.ndist = n;
    ws().inv.invt.N = q == 2 ? n : 2 * (q - 1) * n;
    for (int p = 1; p <= ws().inv.invt.N; p++) ws().inv.invt.firstpassval[p] = 1;
    ws().inv.inv_secondpass(G, gb, gs, ws().dist);
    labelled out;
    out.values.assign(ws().inv.invt.value + 1, ws().inv.invt.value + ws().inv.invt.N + 1);
    std::sort(out.values.begin(), out.values.end());
    out.mainval = ws().inv.invt.mainval;
    ws().lab.label(ws().inv.incmat, ws().inv.invt.cls);
    for (int i = 1; i <= ws().inv.incmat.rows; i++)
        for (int j = 1; j <= ws().inv.incmat.cols; j++) out.canon.push_back(ws().inv.incmat.a[ws().lab.canonical_rows()[i]][ws().lab.canonical_cols()[j]]);
    out.canon.push_back(-1);
    for (int j = 1; j <= ws().inv.incmat.cols; j++) out.canon.push_back(ws().inv.invt.value[ws().lab.canonical_cols()[j]]);
    out.cert = ws().lab.certificate();
    return out;
}

void checkinvariance(int q, int k, int n, int trials, unsigned seed) {
    usefield(q);
    std::mt19937 rng(seed);
    for (int t = 0; t < trials; t++) {
        matrix g = randomcode(q, k, n, rng);
        labelled a = label(g, q);
        matrix h = oracle::scramble(g, q, rng, false);
        labelled b = label(h, q);
        SCOPED_TRACE("q=" + std::to_string(q) + " k=" + std::to_string(k) + " n=" + std::to_string(n) +
                     " trial " + std::to_string(t));
        EXPECT_EQ(a.values, b.values);
        EXPECT_EQ(a.mainval, b.mainval);
        EXPECT_EQ(a.canon, b.canon);
        EXPECT_EQ(a.cert, b.cert);
    }
}

TEST(SecondPass, IncidenceMatrixAndValuesAsDefinedFromTheWordList) {
    // q > 2: q - 1 rows per word (the marked words of the bit store for
    // q = 3, 4, every kept word of the byte store for q = 5, 7), row j of the
    // block of a coordinate holding incpat[multidx[a][j]] for the word's
    // entry a; then the pair rows and the coordinate rows.  Values: each word
    // adds (q - 1)(t + 10 w) mod 1111 to the points of its non-zero
    // coordinates (q = 3, 4; nothing for q = 5, 7), all 1 when all are 0,
    // then m times the first-pass value 1 added, m the largest.  Built here
    // from the word list the pass leaves behind, on both listing paths.
    std::mt19937 rng(4444);
    for (int q : {3, 4, 5, 7}) {
        usefield(q);
        const Field& F = gf(q);
        const int per = 2 * (q - 1);
        for (int t = 0; t < 12; t++) {
            const int k = 3 + t % 3, n = k + 1 + t % 3;  // at most 7 points: PG(2, 3) has 13
            matrix g = randomcode(q, k, n, rng);
            label(g, q);
            const ColumnInvariants& inv = ws().inv;
            const DistEngine& d = ws().dist;
            std::vector<std::vector<int>> words;  // entries of coordinates 1..n
            std::vector<uint32_t> gain;
            if (q <= 4) {
                const PlaneMatrix& S = d.bitstore();
                for (int f = 1; f <= S.rows; f++) {
                    if (S.b[f][-1] == 0) continue;
                    words.emplace_back(n + 1, 0);
                    for (int c = 1; c <= n; c++) words.back()[c] = coordval(q, S.a[f], S.b[f], c);
                    gain.push_back((uint32_t)(q - 1) * (uint32_t)((S.a[f][-1] + 10 * S.a[f][0]) % 1111));
                }
            } else {
                const ByteMatrix& S = d.bytestore();
                for (int f = 1; f <= S.rows; f++) {
                    words.emplace_back(n + 1, 0);
                    for (int c = 1; c <= n; c++) words.back()[c] = S.a[f][c];
                    gain.push_back(0);
                }
            }
            const int N = per * n, M = (q - 1) * ((int)words.size() + n) + n;
            std::vector<std::vector<int>> want(M + 1, std::vector<int>(N + 1, 0));
            std::vector<uint32_t> val(N + 1, 0);
            int row = 1;
            for (size_t w = 0; w < words.size(); w++, row += q - 1)
                for (int c = 1; c <= n; c++) {
                    const int a = words[w][c];
                    for (int j = 0; j <= q - 2; j++)
                        for (int i = 0; i < per; i++) want[row + j][(c - 1) * per + 1 + i] = F.incpat[F.multidx[a][j]][i];
                    for (int i = 1; i <= per && a != 0; i++) val[(c - 1) * per + i] += gain[w];
                }
            for (int v = 1; v <= (q - 1) * n; v++, row++) want[row][2 * v - 1] = want[row][2 * v] = 1;
            for (int c = 1; c <= n; c++, row++)
                for (int i = 1; i <= per; i++) want[row][(c - 1) * per + i] = 1;
            if (*std::max_element(val.begin() + 1, val.end()) == 0) std::fill(val.begin() + 1, val.end(), 1u);
            const uint32_t m = *std::max_element(val.begin() + 1, val.end());
            ASSERT_EQ(std::make_pair(inv.incmat.rows, inv.incmat.cols), std::make_pair(M, N)) << q;
            for (int r = 1; r <= M; r++)
                for (int c = 1; c <= N; c++) ASSERT_EQ(inv.incmat.a[r][c], want[r][c]) << "q=" << q << " " << r << "," << c;
            for (int p = 1; p <= N; p++) ASSERT_EQ((uint32_t)inv.invt.value[p], val[p] + m) << q;
        }
    }
}

TEST(SecondPass, InvariantUnderEquivalenceOnTheFullListing) {
    checkinvariance(2, 4, 9, 30, 1);
    checkinvariance(3, 3, 8, 30, 2);
    checkinvariance(4, 3, 10, 30, 3);
    checkinvariance(5, 3, 9, 20, 4);
    checkinvariance(7, 2, 7, 20, 5);
}

TEST(SecondPass, InvariantUnderEquivalenceOnTheLowWeightPath) {
    checkinvariance(2, 11, 24, 6, 6);
    checkinvariance(3, 8, 20, 4, 7);
    checkinvariance(4, 6, 16, 4, 8);
    checkinvariance(5, 6, 14, 3, 9);
    checkinvariance(7, 5, 12, 3, 10);
}

TEST(SecondPass, DifferentCodesUsuallyDiffer) {
    // The [7,4] Hamming code and a [7,4] code with a weight-2 word are told apart.
    usefield(2);
    matrix ham = {{1, 0, 0, 0, 1, 1, 0}, {0, 1, 0, 0, 1, 0, 1}, {0, 0, 1, 0, 0, 1, 1}, {0, 0, 0, 1, 1, 1, 1}};
    matrix other = {{1, 0, 0, 0, 1, 1, 0}, {0, 1, 0, 0, 1, 0, 1}, {0, 0, 1, 0, 0, 1, 1}, {0, 0, 0, 1, 1, 0, 1}};
    EXPECT_NE(label(ham, 2).canon, label(other, 2).canon);
    // The Hamming code: all seven points alike.
    labelled h = label(ham, 2);
    EXPECT_EQ(h.values.front(), h.values.back());
}

// ---- first pass ----------------------------------------------------------------

// Lays a candidate out as the extension step does: free part in columns
// 1..n-k, the unit column of row r at n-k+r, rows 1..L.
void layout(int q, int n, int k, const matrix& freepart) {
    usefield(q);
    const int L = (int)freepart.size(), nk = n - k;
    ws().colmap.cur_n = n;
    ws().colmap.cur_k = k;
    ws().colmap.cur_q = q;
    ws().colmap.cur_level = L;
    ws().colmap.cur_len = nk + L;
    for (int r = 1; r <= L; r++) {
        for (int c = 1; c <= nk; c++) ws().colmap.m[r][c] = freepart[r - 1][c - 1];
        for (int c = nk + 1; c <= nk + L; c++) ws().colmap.m[r][c] = (c - nk == r);
    }
}

std::vector<int> mults() { return std::vector<int>(ws().inv.invt.mult + 1, ws().inv.invt.mult + ws().inv.invt.ndist + 1); }

TEST(FirstPass, UnitColumnAbsorbedByAWeightOneColumn) {
    // Columns: 0 (left out), (1,1) twice, (0,1): the last row's unit column joins it.
    layout(2, 7, 3, {{0, 1, 1, 0}, {0, 1, 1, 1}});
    ws().inv.inv_firstpass(ws().colmap, ws().colmap.cur_n - ws().colmap.cur_k);
    EXPECT_EQ(ws().inv.invt.ndist, 3);              // (1,1), (0,1) + unit e2, then e1 of its own
    EXPECT_EQ(mults(), (std::vector<int>{2, 2, 1}));
    EXPECT_EQ(ws().inv.invt.specialpt, 2);
    EXPECT_EQ(ws().inv.invt.N, 3);
    EXPECT_EQ(ws().inv.invt.mainval, 1);
    EXPECT_EQ(ws().inv.invt.nclass, 2);
}

TEST(FirstPass, UnitColumnOfItsOwn) {
    layout(2, 6, 3, {{1, 1, 1}, {1, 0, 1}});
    ws().inv.inv_firstpass(ws().colmap, ws().colmap.cur_n - ws().colmap.cur_k);
    // (1,1), (1,0) absorbs e1, (1,1) again (not adjacent), then e2 of its own.
    EXPECT_EQ(mults(), (std::vector<int>{1, 2, 1, 1}));
    EXPECT_EQ(ws().inv.invt.specialpt, 4);
    EXPECT_EQ(ws().inv.redmat.cur_len, 4);
    EXPECT_EQ(ws().inv.redmat.m[1][4], 0);
    EXPECT_EQ(ws().inv.redmat.m[2][4], 1);
}

TEST(FirstPass, ProportionalColumnsMergeOnlyWhenAdjacent) {
    // q = 3: (1,2) and (2,1) adjacent merge; (1,0) ... (2,0) not adjacent stay apart.
    layout(3, 8, 3, {{1, 2, 1, 1, 2}, {2, 1, 0, 1, 0}});
    ws().inv.inv_firstpass(ws().colmap, ws().colmap.cur_n - ws().colmap.cur_k);
    EXPECT_EQ(ws().inv.invt.ndist, 5);  // (1,2)x2, (1,0)+e1, (1,1), (2,0)+e1, e2
    EXPECT_EQ(mults(), (std::vector<int>{2, 2, 1, 2, 1}));
    EXPECT_EQ(ws().inv.invt.N, 5 * 4);
    EXPECT_EQ(ws().inv.invt.specialpt, 5 * 4);  // the last point of e2's column
    for (int t = 1; t <= 4; t++) EXPECT_EQ(ws().inv.invt.value[t], 2);
}

TEST(Classes, AgainstAStableSortOfThePoints) {
    // Values constant on the 2(q - 1) points of a column (what runs give;
    // the columns are then sorted as blocks) or not, negative and large
    // values among them: the order, classes and mainval of a plain stable
    // sort by value.
    std::mt19937 rng(808);
    invtrec& t = ws().inv.invt;
    for (int trial = 0; trial < 400; trial++) {
        const int q = std::vector<int>{2, 3, 4, 5, 7}[trial % 5], per = q == 2 ? 1 : 2 * (q - 1);
        const int cols = 1 + (int)(rng() % 40), range = trial % 3 == 0 ? 3 : 1 << 30;
        const bool blocks = trial % 4 != 3;
        t.q = q, t.N = per * cols;
        for (int p = 1; p <= t.N; p++)
            t.value[p] = blocks && (p - 1) % per ? t.value[p - 1] : (int32_t)(rng() % range) - (trial % 2 ? 0 : range / 2) + 1;
        if (*std::min_element(t.value + 1, t.value + t.N + 1) == 0) t.value[1] = 5;  // a non-zero value exists
        std::vector<int> order(t.N);
        std::iota(order.begin(), order.end(), 1);
        std::stable_sort(order.begin(), order.end(), [&](int a, int b) { return t.value[a] < t.value[b]; });
        ws().inv.inv_classes();
        ASSERT_TRUE(std::equal(order.begin(), order.end(), t.order + 1)) << trial;
        int cls = 0;
        for (int i = 0; i < t.N; i++) {
            cls += i == 0 || t.value[order[i]] != t.value[order[i - 1]];
            ASSERT_EQ(t.cls[order[i]], cls) << trial;
        }
        ASSERT_EQ(t.nclass, cls);
        int32_t main = 0;
        for (int i = 0; i < t.N && main == 0; i++) main = t.value[order[i]];
        ASSERT_EQ(t.mainval, main);
    }
}

}  // namespace
