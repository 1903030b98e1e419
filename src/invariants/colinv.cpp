// Column invariants: distinct columns and multiplicities (first pass), the
// incidence matrix of the low-weight codewords and their values (second
// pass), and the classes of equal value.
//
// The incidence matrix for q = 2 has one row per marked codeword and one
// column per point.  For q > 2 each point owns 2(q-1) columns and each
// codeword q - 1 rows (its scalar multiples); the pattern `incpat` of the
// multiple index puts the scalar of each coordinate into the incidences, and
// the pair rows and coordinate rows tie the columns of one point together, so
// that the automorphisms of the matrix are the monomial automorphisms of the
// code.  Values are summed in unsigned 32-bit arithmetic (wrapping the same
// way for every code, so they stay invariants).
#include "invariants/colinv.h"

#include <algorithm>
#include <cstring>

#include "distance/rank.h"
#include "field/field.h"

// ---- first pass ------------------------------------------------------------------

bool ColumnInvariants::zerocol(const WorkingCode& code, int c, int L) const {
    for (int r = 1; r <= L; r++)
        if (code.m[r][c] != 0) return false;
    return true;
}

// Column c of the code equals s times distinct column j of redmat for some
// non-zero s (s = 1 only for q = 2).
bool ColumnInvariants::samepoint(const WorkingCode& code, int c, int j, int L, int q) const {
    const Field& F = gf(q);
    for (int s = 1; s <= (q == 2 ? 1 : q - 1); s++) {
        int r = 1;
        while (r <= L && code.m[r][c] == F.multab[s][redmat.m[r][j]]) r++;
        if (r > L) return true;
    }
    return false;
}

void ColumnInvariants::appendcol(const WorkingCode& code, int c, int L) {
    int j = ++invt.ndist;
    for (int r = 1; r <= L; r++) redmat.m[r][j] = code.m[r][c];
    invt.mult[j] = 1;
}

// The free columns, consecutive equal (or proportional) columns merged.
// Leading zero columns are left out.
void ColumnInvariants::distinctfree(const WorkingCode& code, int nfree, int L, int q) {
    int c = 1;
    while (c <= nfree && zerocol(code, c, L)) c++;
    if (c > nfree) return;
    appendcol(code, c, L);
    for (c = c + 1; c <= nfree; c++) {
        if (samepoint(code, c, invt.ndist, L, q))
            invt.mult[invt.ndist]++;
        else
            appendcol(code, c, L);
    }
}

// The unit columns: absorbed by a distinct column of weight 1 on their row,
// else appended; the one of the last row gives specialpt.
void ColumnInvariants::unitcolumns(int L) {
    for (int r = 1; r <= L; r++) redmat.m[r][0] = 0;
    for (int j = 1; j <= invt.ndist; j++) {
        int nz = 0, row = 0;
        for (int r = 1; r <= L; r++)
            if (redmat.m[r][j] != 0) nz++, row = r;
        if (nz != 1) continue;
        invt.mult[j]++;
        redmat.m[row][0]++;
        if (row == L) invt.specialpt = j;
    }
    for (int r = 1; r <= L; r++) {
        if (redmat.m[r][0] != 0) continue;
        int j = ++invt.ndist;
        for (int t = 1; t <= L; t++) redmat.m[t][j] = (t == r);
        invt.mult[j] = 1;
        if (r == L) invt.specialpt = j;
    }
}

void ColumnInvariants::inv_firstpass(const WorkingCode& code, int nfree) {
    const int L = code.level, q = code.q;
    redmat.level = L;
    redmat.q = q;
    invt.q = q;
    invt.specialpt = 0;
    invt.ndist = 0;
    distinctfree(code, nfree, L, q);
    unitcolumns(L);
    redmat.len = invt.ndist;
    const int per = q == 2 ? 1 : 2 * (q - 1);
    invt.N = per * invt.ndist;
    for (int j = 1; j <= invt.ndist; j++)
        for (int t = 1; t <= per; t++) invt.value[(j - 1) * per + t] = invt.mult[j];
    invt.specialpt *= per;
    inv_classes();
}

void ColumnInvariants::givefirstpass(int q, int nd, const int32_t* values) {
    const int per = q == 2 ? 1 : 2 * (q - 1);
    invt.q = q;
    invt.ndist = nd;
    invt.N = per * nd;
    for (int p = 1; p <= invt.N; p++) invt.firstpassval[p] = values[p];
}

void ColumnInvariants::inv_savefirst() {
    for (int p = 1; p <= invt.N; p++) invt.firstpassval[p] = invt.value[p];
}

// ---- classes ----------------------------------------------------------------------

void ColumnInvariants::inv_classes() {
    // By value, then by point.  The values of a run are constant on the
    // 2(q - 1) points of a distinct column (q > 2): then the columns are
    // sorted as blocks, and each one's points follow in their order.  Up to
    // 64 items an insertion sort; beyond, one 64-bit key per item, the value
    // (its sign bit flipped, so that the keys order as the signed values)
    // above the item number, sorted as plain integers.
    const int N = invt.N, per = invt.q > 2 ? 2 * (invt.q - 1) : 1;
    const int32_t* value = invt.value;
    bool blocks = per > 1 && N % per == 0;
    for (int first = 1; blocks && first <= N; first += per)
        for (int p = first + 1; p < first + per; p++) blocks = blocks && value[p] == value[first];
    const int n = blocks ? N / per : N, step = blocks ? per : 1;
    int32_t* item = blocks ? blk_ : invt.order;  // items 1..n: points, or columns (blocks)
    auto val = [&](int i) { return value[(i - 1) * step + 1]; };
    if (n <= 64) {
        for (int i = 1; i <= n; i++) {
            const int32_t v = val(i);
            int j = i;
            for (; j > 1 && val(item[j - 1]) > v; j--) item[j] = item[j - 1];
            item[j] = i;
        }
    } else {
        uint64_t* key = key_;
        for (int i = 1; i <= n; i++) key[i] = (uint64_t)((uint32_t)val(i) ^ 0x80000000u) << 32 | (uint32_t)i;
        std::sort(key + 1, key + n + 1);
        for (int i = 1; i <= n; i++) item[i] = (int32_t)(uint32_t)key[i];
    }
    // Classes item by item (each item's `step` points together).
    int nclass = 0, t = 0;
    for (int i = 1; i <= n; i++) {
        const int32_t v = val(item[i]);
        if (i == 1 || v != val(item[i - 1])) {
            nclass++;
            invt.csize[nclass] = 0;
            invt.cval[nclass] = v;
        }
        invt.csize[nclass] += step;
        for (int p = (item[i] - 1) * step + 1, e = p + step; p < e; p++) invt.order[++t] = p, invt.cls[p] = nclass;
    }
    invt.nclass = nclass;
    invt.mainval = -1;
    for (int c = 1; c <= invt.nclass && invt.mainval == -1; c++)
        if (invt.cval[c] != 0) invt.mainval = invt.cval[c];
    TALVEN_ASSERT("colinv", invt.mainval != -1, "a main value is set");
}

// ---- second pass ------------------------------------------------------------------

// Lists the codewords the invariants use into the distance stores.
void ColumnInvariants::listwords(ByteMatrix& G, PlaneMatrix& Gb, ByteMatrix& Gs, DistEngine& dist) {
    const int q = invt.q;
    if (gf(q).powtab[G.used] < (uint64_t)(1000 * q)) {
        if (q <= 4)
            dist.generatingset_fromall_inv(G);
        else
            dist.gensets_all(G);
        return;
    }
    const int d = dist.mindist(G);
    if (q <= 4)
        dist.gensets_dist(Gb, G, d);
    else
        dist.gensets_dist_b(Gs, G);
}

static inline uint32_t wordnum(uint64_t t, uint64_t w) { return (uint32_t)((t + 10 * w) % 1111); }

// incmat only grows: both capacities are kept, so that candidates of
// changing shape do not make it reallocate.
void ColumnInvariants::clearinc(int M, int N, int fq) {
    if (incmat.allocated())
        incmat.ensure(std::max(M, incmat.caprows()), std::max(N, incmat.capcols()), fq);
    else
        incmat.ensure(M, N, fq);
    incmat.rows = M;
    incmat.cols = N;
    for (int r = 1; r <= M; r++) memset(incmat.a[r] + 1, 0, (size_t)N);
}

// q = 2: one row per marked word, one column per point.
void ColumnInvariants::incidence_binary(const DistEngine& dist) {
    const PlaneMatrix& S = dist.bitstore();
    const uint64_t found = (uint64_t)S.rows;  // the words the listing kept
    const int N = invt.N;
    int M = 0;
    for (uint64_t f = 1; f <= found; f++) M += StoredWord(S, f).mark() != 0;
    clearinc(M, N, 2);
    int row = 0;
    for (uint64_t f = 1; f <= found; f++) {
        const StoredWord word(S, f);
        if (word.mark() == 0) continue;
        row++;
        const uint32_t num = wordnum(word.pairsum(), word.weight());
        uint8_t* inc = incmat.a[row];
        // The points of the word, one set bit at a time (coordinate p is
        // bit (p - 1) mod 64 of word (p - 1) div 64 + 1).
        for (int x = 1; (x - 1) * 64 < N; x++)
            for (uint64_t bitsleft = S.a[f][x]; bitsleft; bitsleft &= bitsleft - 1) {
                const int p = (x - 1) * 64 + __builtin_ctzll(bitsleft) + 1;
                if (p > N) break;
                inc[p] = 1;
                val_[p] += num;
            }
    }
}

// The incidence patterns of the run's field as bytes, for wordrows.
void ColumnInvariants::patternbytes() {
    const int q = invt.q, per = 2 * (q - 1);
    const Field& F = gf(q);
    const auto& pat = linear_ ? F.incpatlin : F.incpat;
    for (int x = 0; x < q; x++)
        for (int t = 0; t < per; t++) patb_[x][t] = (uint8_t)pat[x][t];
}

// Copies the `per` bytes of a pattern (per = 2(q - 1): 4, 6, 8 or 12) with
// moves of fixed size.
static inline void putpattern(uint8_t* to, const uint8_t* from, int per) {
    switch (per) {
        case 4: memcpy(to, from, 4); break;
        case 6: memcpy(to, from, 6); break;
        case 8: memcpy(to, from, 8); break;
        default: memcpy(to, from, 12); break;
    }
}

// The q - 1 rows of one codeword: block of coordinate c, row j, is
// incpat[multidx[a][j]] for the word's element a at c (all zero for a = 0,
// as clearinc left it); `gain` goes to colgain_ of every column where the
// word is not zero.  Reads patb_ (patternbytes).
template <class Elem>
void ColumnInvariants::wordrows(int row, Elem elem, uint32_t gain) {
    const int q = invt.q, per = 2 * (q - 1);
    const Field& F = gf(q);
    for (int c = 1; c <= invt.ndist; c++) {
        const int a = elem(c);
        if (a == 0) continue;
        const int base = (c - 1) * per;
        for (int j = 0; j <= q - 2; j++) putpattern(incmat.a[row + j] + base + 1, patb_[F.multidx[a][j]], per);
        colgain_[c] += gain;
    }
}

// Pair rows and coordinate rows, from row `row` on.
void ColumnInvariants::tierows(int row) {
    const int q = invt.q, per = 2 * (q - 1), nd = invt.ndist;
    for (int v = 1; v <= (q - 1) * nd; v++, row++) incmat.a[row][2 * v - 1] = incmat.a[row][2 * v] = 1;
    for (int c = 1; c <= nd; c++, row++)
        for (int t = 1; t <= per; t++) incmat.a[row][(c - 1) * per + t] = 1;
}

// q = 3, 4: the marked words of the bit store.
void ColumnInvariants::incidence_planes(const DistEngine& dist) {
    const PlaneMatrix& S = dist.bitstore();
    const uint64_t found = (uint64_t)S.rows;  // the words the listing kept
    const int q = invt.q, nd = invt.ndist;
    int marked = 0;
    for (uint64_t f = 1; f <= found; f++) marked += StoredWord(S, f).mark() != 0;
    clearinc((q - 1) * marked + (q - 1) * nd + nd, invt.N, q);
    int row = 1;
    for (uint64_t f = 1; f <= found; f++) {
        const StoredWord word(S, f);
        if (word.mark() == 0) continue;
        uint32_t gain = (uint32_t)(q - 1) * wordnum(word.pairsum(), word.weight());
        wordrows(row, [&](int c) { return coordval(q, S.a[f], S.b[f], c); }, gain);
        row += q - 1;
    }
    tierows(row);
}

// q = 5, 7: every kept word of the byte store, no values.
void ColumnInvariants::incidence_bytes(const DistEngine& dist) {
    const ByteMatrix& S = dist.bytestore();
    const int q = invt.q, nd = invt.ndist, kept = S.rows;
    clearinc((q - 1) * kept + (q - 1) * nd + nd, invt.N, q);
    int row = 1;
    for (int f = 1; f <= kept; f++) {
        wordrows(row, [&](int c) { return (int)S.a[f][c]; }, 0);
        row += q - 1;
    }
    tierows(row);
}

void ColumnInvariants::inv_secondpass(ByteMatrix& G, PlaneMatrix& Gb, ByteMatrix& Gs, DistEngine& dist) {
    listwords(G, Gb, Gs, dist);
    const int N = invt.N;
    uint32_t* val = val_;
    for (int p = 1; p <= N; p++) val[p] = 0;
    if (invt.q > 2) {
        patternbytes();
        for (int c = 1; c <= invt.ndist; c++) colgain_[c] = 0;
    }
    if (invt.q == 2)
        incidence_binary(dist);
    else if (invt.q <= 4)
        incidence_planes(dist);
    else
        incidence_bytes(dist);
    if (invt.q > 2) {  // every point of a column gained what its column gained
        const int per = 2 * (invt.q - 1);
        for (int c = 1; c <= invt.ndist; c++)
            for (int t = 1; t <= per; t++) val[(c - 1) * per + t] = colgain_[c];
    }
    bool allzero = true;
    for (int p = 1; p <= N; p++) allzero = allzero && val[p] == 0;
    if (N >= 1 && allzero)
        for (int p = 1; p <= N; p++) val[p] = 1;
    uint32_t m = 0;
    for (int p = 1; p <= N; p++) m = std::max(m, val[p]);
    for (int p = 1; p <= N; p++) {
        TALVEN_ASSERT("colinv", invt.firstpassval[p] >= 0, "first-pass values are not negative");
        invt.value[p] = (int32_t)(val[p] + m * (uint32_t)invt.firstpassval[p]);
    }
    inv_classes();
}
