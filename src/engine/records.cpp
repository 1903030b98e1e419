// Level records (see records.h).
//
// A stored level is one byte buffer that only grows (its capacity is kept
// from one parent to the next, so the search does not allocate once the
// buffer has reached its size); a spilled level is a file written once and
// read with pread, so that the parent reader and the partner reader, which
// walk one level at the same time, keep their own positions.
#include "engine/records.h"

#include <unistd.h>

#include <algorithm>
#include <cstring>

#include "containers/zassert.h"
#include "field/field.h"
#include "fileio/checksum.h"

SplitTables::SplitTables(int blocks, int positions)
    : remain((size_t)blocks), split((size_t)blocks), cap((size_t)blocks), capsum((size_t)blocks),
      partner((size_t)blocks), newrow((size_t)positions + 1, UNASSIGNED) {}

void cleartables(SplitTables& tables) {
    for (auto* t : {&tables.remain, &tables.split, &tables.cap, &tables.capsum})
        std::fill(t->begin(), t->end(), SplitTables::Square{});
    std::fill(tables.partner.begin(), tables.partner.end(), SplitTables::Values{});
    std::fill(tables.newrow.begin(), tables.newrow.end(), UNASSIGNED);
    tables.lastblk = tables.recno = 0;
    tables.cut = false;
}

namespace {

constexpr int HEADER = 8;

void put(uint8_t* p, int q, bool parent, int runno, int nblk) {
    p[0] = (uint8_t)q;
    p[1] = parent ? 1 : 0;
    p[2] = (uint8_t)nblk;
    p[3] = (uint8_t)(nblk >> 8);
    for (int i = 0; i < 4; i++) p[4 + i] = (uint8_t)((uint32_t)runno >> (8 * i));
}

void get(const uint8_t* p, LevelRecord& r) {
    r = LevelRecord{};
    r.q = p[0];
    r.parent = p[1] != 0;
    r.nblk = p[2] | (p[3] << 8);
    uint32_t v = 0;
    for (int i = 3; i >= 0; i--) v = (v << 8) | p[4 + i];
    r.runno = (int32_t)v;
}

// The hash of a record's counts.
uint64_t recordhash(int nblk, int q, const uint16_t* counts) {
    Checksum h;
    h.add(reinterpret_cast<const char*>(counts), 2 * (size_t)nblk * (size_t)q);
    return h.value();
}

}  // namespace

LevelStore::~LevelStore() {
    if (budget_) budget_->give(taken_);
}

void LevelStore::setup(MemoryBudget* budget, const std::string& spillpath, RunFault* fault) {
    budget_ = budget;
    spillpath_ = spillpath;
    fault_ = fault;
}

void LevelStore::clear() {
    mem_.clear();
    index_.clear();
    first_ = false;
    if (spill_) {
        spill_.reset();
        unlink(spillpath_.c_str());
    }
    spillsize_ = 0;
}

bool firstweight(const RunParams& par, const LevelBounds& bounds, int w) {
    // The support of a code of dimension 1 is its weight (a level bound,
    // and the target bounds' zero columns).
    return w >= par.d && w < MAXLEN && par.wt[w] == 1 && bounds.allowed(w) &&
           (size_t)w < bounds.supp[1].size() && bounds.supp[1][(size_t)w];
}

void LevelStore::setfirst(const RunParams& par, const LevelBounds& bounds) {
    clear();
    first_ = true;
    q_ = par.q;
    m_ = par.nfree();
    from_ = par.d - 1;
    allowed_.assign((size_t)(m_ + 2), 0);
    for (int x = from_; x <= m_; x++) allowed_[(size_t)x] = firstweight(par, bounds, x + 1);
}

// Moves the level to its file; false after a reported fault.
bool LevelStore::spill() {
    spill_.reset(fopen(spillpath_.c_str(), "w+b"));
    if (!spill_) {
        fault_->file("create", spillpath_);
        return false;
    }
    if (!mem_.empty() && fwrite(mem_.data(), 1, mem_.size(), spill_) != mem_.size()) {
        fault_->file("write", spillpath_);
        return false;
    }
    spillsize_ = mem_.size();
    mem_.clear();
    return true;
}

bool LevelStore::append(int q, bool parent, int runno, int nblk, const uint16_t* counts) {
    TALVEN_ASSERT("records", !first_, "the first level is not written to");
    const size_t size = HEADER + 2 * (size_t)nblk * (size_t)q;
    uint8_t rec[HEADER + 2 * MAXBLK * MAXVAL];
    put(rec, q, parent, runno, nblk);
    memcpy(rec + HEADER, counts, size - HEADER);
    if (!spill_) {
        if (mem_.size() + size > mem_.capacity()) {
            // The buffer must grow: the budget decides between memory and a file.
            size_t want = std::max(mem_.size() + size, 2 * mem_.capacity() + 4096);
            if (budget_ && !budget_->take(want - mem_.capacity())) {
                if (!spill()) return false;
            } else {
                taken_ += want - mem_.capacity();
                mem_.reserve(want);
            }
        }
    }
    if (spill_) {
        if (fwrite(rec, 1, size, spill_) != size) {
            fault_->file("write", spillpath_);
            return false;
        }
        spillsize_ += size;
        return true;
    }
    const size_t offset = mem_.size();
    mem_.insert(mem_.end(), rec, rec + size);
    if (scaledon_ && q > 2 && offset < UINT32_MAX) index_.insert(recordhash(nblk, q, counts), (uint32_t)offset);
    return true;
}

// ---- scaled copies ---------------------------------------------------------------------

bool LevelStore::scaledcopy(int q, int nblk, const uint16_t* counts) {
    if (!scaledon_ || q <= 2 || spill_ || first_ || index_.size() == 0) return false;
    const Field& f = gf(q);
    uint16_t scaled[MAXBLK * MAXVAL];
    const size_t bytes = 2 * (size_t)nblk * (size_t)q;
    auto same = [&](uint32_t offset) {
        LevelRecord r;
        get(mem_.data() + offset, r);
        return r.q == q && r.nblk == nblk && memcmp(mem_.data() + offset + HEADER, scaled, bytes) == 0;
    };
    for (int c = 2; c < q; c++) {
        for (int g = 0; g < nblk; g++)
            for (int i = 0; i < q; i++) scaled[g * q + f.multab[c][i]] = counts[g * q + i];
        if (index_.find(recordhash(nblk, q, scaled), same)) return true;
    }
    return false;
}

// ---- the first level ----------------------------------------------------------------
// The distributions of x over the q - 1 non-zero values in decreasing
// lexicographic order.  Without a filter: the last non-zero part before the
// last position goes down by one, the part after it takes everything that
// follows plus one.  With one, the parts are restricted to the allowed
// sizes: a part goes down to the next allowed size whose rest the later
// parts can still make up (reach), and the later parts are filled greedily,
// largest first; the order of the distributions kept is the same.

namespace {

bool bit(const uint64_t* set, int r) { return r >= 0 && ((set[r >> 6] >> (r & 63)) & 1); }

}  // namespace

// The parts from position `from` on take `rest`, the largest first.
void LevelStore::fillparts(Cursor& c, int from, int rest) const {
    const int m = q_ - 1;
    for (int j = from; j < m; j++) {
        int v = rest;
        while (!c.parts[v] || !bit(c.reach[m - j], rest - v)) v--;
        c.a[j] = v;
        rest -= v;
    }
    c.a[m] = rest;
}

// The first distribution of weight c.x; false when there is none.
bool LevelStore::startweight(Cursor& c) const {
    const int m = q_ - 1, x = c.x;
    c.filtering = c.filter != nullptr && m > 1 && c.filter->parts(x, c.parts);
    if (!c.filtering) {
        for (int t = 1; t <= m; t++) c.a[t] = 0;
        c.a[1] = x;
        return true;
    }
    const int words = x / 64 + 1;
    for (int w = 0; w < words; w++) c.reach[0][w] = 0;
    c.reach[0][0] = 1;
    for (int cnt = 1; cnt < m; cnt++) {
        const uint64_t* from = c.reach[cnt - 1];
        uint64_t* to = c.reach[cnt];
        for (int w = 0; w < words; w++) to[w] = 0;
        for (int v = 0; v <= x; v++) {  // to |= from shifted up by v
            if (!c.parts[v]) continue;
            const int sw = v >> 6, sb = v & 63;
            for (int w = words - 1; w >= sw; w--) {
                uint64_t y = from[w - sw] << sb;
                if (sb && w - sw >= 1) y |= from[w - sw - 1] >> (64 - sb);
                to[w] |= y;
            }
        }
        if ((x + 1) & 63) to[words - 1] &= (1ull << ((x + 1) & 63)) - 1;  // sums above x are never asked
    }
    // The last part takes the rest: reach for m parts is only asked at x.
    bool any = false;
    for (int v = 0; v <= x && !any; v++) any = c.parts[v] && bit(c.reach[m - 1], x - v);
    if (!any) return false;
    fillparts(c, 1, x);
    return true;
}

// The next distribution of the same weight; false after the last.
bool LevelStore::nextparts(Cursor& c) const {
    const int m = q_ - 1;
    if (m <= 1) return false;
    if (!c.filtering) {
        int i = m - 1;
        while (i >= 1 && c.a[i] <= 0) i--;
        if (i < 1) return false;
        int rest = 0;
        for (int t = i + 1; t <= m; t++) rest += c.a[t], c.a[t] = 0;
        c.a[i]--;
        c.a[i + 1] = rest + 1;
        return true;
    }
    int rest = c.a[m];
    for (int i = m - 1; i >= 1; i--) {
        rest += c.a[i];  // what parts i..m share
        for (int v = c.a[i] - 1; v >= 0; v--)
            if (c.parts[v] && bit(c.reach[m - i], rest - v)) {
                c.a[i] = v;
                fillparts(c, i + 1, rest - v);
                return true;
            }
    }
    return false;
}

// True when the distribution a[1..q-1] is the first of its scalings in the
// order of the level (decreasing lexicographic): no c != 1 makes the parts
// a_{c^-1 i} larger.
static bool firstofscalings(const int32_t* a, int q) {
    const Field& f = gf(q);
    for (int c = 2; c < q; c++) {
        const int inv = f.invtab[c];
        for (int i = 1; i < q; i++) {
            const int32_t s = a[f.multab[inv][i]];  // part i of the scaled distribution
            if (s != a[i]) {
                if (s > a[i]) return false;
                break;
            }
        }
    }
    return true;
}

int LevelStore::nextfirst(Cursor& c, LevelRecord& r, uint16_t* counts) const {
    const int m = q_ - 1;
    bool have = c.x >= from_ && !c.parents && nextparts(c);
    if (c.x < 0) c.x = from_ - 1;
    for (;;) {
        while (!have) {
            do c.x++;
            while (c.x <= m_ && !allowed_[(size_t)c.x]);
            if (c.x > m_) return 0;
            have = startweight(c);
        }
        if (!c.scaled || firstofscalings(c.a, q_)) break;
        have = nextparts(c);
    }
    r = LevelRecord{};
    r.q = q_;
    r.nblk = 1;
    r.runno = ++c.runno;
    r.parent = c.a[1] == c.x;
    counts[0] = (uint16_t)(m_ - c.x);
    for (int t = 1; t <= m; t++) counts[t] = (uint16_t)c.a[t];
    return 1;
}

int LevelStore::next(Cursor& c, LevelRecord& r, uint16_t* counts) const {
    if (first_) return nextfirst(c, r, counts);
    if (!spill_) {
        if (c.at >= mem_.size()) return 0;
        get(mem_.data() + c.at, r);
        const size_t n = (size_t)r.nblk * (size_t)r.q;
        memcpy(counts, mem_.data() + c.at + HEADER, 2 * n);
        c.at += HEADER + 2 * n;
        return 1;
    }
    if (c.at >= spillsize_) return 0;
    if (fflush(spill_) != 0) return fault_->file("write", spillpath_), -1;
    uint8_t head[HEADER];
    const int fd = fileno(spill_);
    if (pread(fd, head, HEADER, (off_t)c.at) != HEADER) return fault_->file("read", spillpath_), -1;
    get(head, r);
    const size_t bytes = 2 * (size_t)r.nblk * (size_t)r.q;
    if (r.q < 1 || r.q > MAXVAL || r.nblk > MAXBLK || pread(fd, counts, bytes, (off_t)(c.at + HEADER)) != (ssize_t)bytes)
        return fault_->file("read", spillpath_), -1;
    c.at += HEADER + bytes;
    return 1;
}

// ---- writer and readers ---------------------------------------------------------

bool writelevelrecord(LevelStore& to, CodeStatus status, int blk, int q, StepMode mode, SplitTables& tables, LevelCount& lc) {
    TALVEN_ASSERT("records", 1 <= q && q <= MAXVAL, "q within the block width");
    if (mode == StepMode::split) TALVEN_ASSERT("records", 0 <= blk && blk < tables.blocks(), "last block index in range");
    if (mode == StepMode::simple) TALVEN_ASSERT("records", 0 <= blk && blk <= tables.blocks(), "block count in range");
    uint16_t counts[MAXBLK * MAXVAL];
    int nblk = 0;
    if (mode == StepMode::split) {
        for (int l = 0; l <= blk; l++)
            for (int b = 0; b < q; b++) {
                if (tables.remain[l][0][b] == 0) continue;
                for (int i = 0; i < q; i++) counts[nblk * q + i] = (uint16_t)tables.split[l][i][b];
                nblk++;
            }
    } else {
        nblk = blk;
        for (int l = 0; l < blk; l++)
            for (int i = 0; i < q; i++) counts[l * q + i] = (uint16_t)tables.partner[l][i];
    }
    const bool parent = status == CodeStatus::fresh;
    if (!parent && to.scaledcopy(q, nblk, counts)) return true;
    tables.recno++;
    bool ok = to.append(q, parent, tables.recno, nblk, counts);
    if (parent) lc.parents++;
    lc.total++;
    lc.pending++;
    return ok;
}

int readparentrecord(const LevelStore& from, LevelStore::Cursor& c, LevelRecord& r, SplitTables& tables) {
    uint16_t counts[MAXBLK * MAXVAL];
    int got = from.next(c, r, counts);
    if (got != 1 || !r.parent) return got;
    TALVEN_ASSERT("records", r.nblk <= tables.blocks(), "a parent's blocks fit the tables");
    for (int l = 0; l < r.nblk; l++)
        for (int b = 0; b < r.q; b++) tables.remain[l][0][b] = counts[l * r.q + b];
    return 1;
}

int readpartnerrecord(const LevelStore& from, LevelStore::Cursor& c, LevelRecord& r, SplitTables& tables) {
    uint16_t counts[MAXBLK * MAXVAL];
    int got = from.next(c, r, counts);
    if (got != 1) return got;
    TALVEN_ASSERT("records", r.nblk <= tables.blocks(), "a partner's blocks fit the tables");
    r.simple = 1;
    for (int l = 0; l < r.nblk; l++) {
        int32_t sum = 0;
        for (int i = 0; i < r.q; i++) sum += tables.partner[l][i] = counts[l * r.q + i];
        if (sum > 1) r.simple = 0;
    }
    return 1;
}
