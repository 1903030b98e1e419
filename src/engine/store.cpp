// The canonical-form store (see store.h).
//
// Only the bucket heads stay in memory; a lookup packs the canonical form
// once into a key record laid out exactly as in the file, hashes the packed
// rows, and walks its bucket's chain with one seek and one read per record:
// the 16 fixed bytes first, and the rest only when rows and columns agree,
// compared in one memcmp.  New records go to the end of the file and to the
// tail of their chain.  After a write the stream is flushed before a form is
// reported new, so a full disk or a vanished file shows up as a fault, not as
// a code counted twice.  The stream stays open from one reset to the next;
// a reset truncates the file instead of making it anew.  While the run's
// memory budget allows, the records live in memory instead of the file.
#include "engine/store.h"

#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>

static constexpr uint64_t EMPTY = 1;  // bucket head or next field: no record

CanonStore::CanonStore(RunFault& fault, int nbucket, MemoryBudget* budget) : state_{}, fault_(fault), budget_(budget) {
    TALVEN_ASSERT("store", 1 <= nbucket && nbucket <= STORE_BUCKETS, "nbucket in 1..555");
    state_.nbucket = nbucket;
    state_.heads.ensure(STORE_BUCKETS);
    for (int b = 0; b < STORE_BUCKETS; b++) state_.heads[b] = EMPTY;
    state_.values = RecordValues::none_yet;
}

CanonStore::~CanonStore() {
    if (budget_) budget_->give(taken_);
}

// Reports a failed operation on the file, drops its stream, and gives false;
// every lookup answers "seen" until the next successful reset.
bool CanonStore::fault(const char* action) {
    fault_.file(action, state_.path);
    state_.fp.reset();  // the stream is abandoned either way
    broken_ = true;
    return false;
}

// Creates the file empty and opens it for update.
bool CanonStore::openfile() {
    state_.path = dir_ + "comp_file";
    state_.fp.reset(fopen(state_.path.c_str(), "w+b"));
    if (state_.fp == nullptr) return fault("create");
    return true;
}

bool CanonStore::store_reset() {
    for (int b = 0; b < STORE_BUCKETS; b++) state_.heads[b] = EMPTY;
    state_.end = 0;
    state_.values = RecordValues::none_yet;
    mem_.clear();
    broken_ = false;
    spilled_ = budget_ == nullptr;  // no budget: the records live in the file
    if (state_.fp != nullptr && state_.path != dir_ + "comp_file") store_close();
    if (state_.fp != nullptr) {  // the stream stays open: truncated, not made anew
        if (ferror(state_.fp) || fflush(state_.fp) != 0 || ftruncate(fileno(state_.fp), 0) != 0) return fault("write");
        return true;
    }
    return spilled_ ? openfile() : true;
}

void CanonStore::store_close() {
    if (state_.fp == nullptr) return;
    int bad = ferror(state_.fp);
    int shut = fclose(state_.fp.release());
    if (bad || shut != 0) fault_.file("close", state_.path);
}

// ---- the key ----------------------------------------------------------------

namespace {

void put32(uint8_t* p, uint32_t v) {
    for (int i = 0; i < 4; i++) p[i] = (uint8_t)(v >> (8 * i));
}
void put64(uint8_t* p, uint64_t v) {
    for (int i = 0; i < 8; i++) p[i] = (uint8_t)(v >> (8 * i));
}
uint64_t get64(const uint8_t* p) {
    uint64_t v = 0;
    for (int i = 7; i >= 0; i--) v = (v << 8) | p[i];
    return v;
}

}  // namespace

// Makes the three buffers hold at least the given sizes (grow only).
void CanonStore::growbuffers(int64_t words, int64_t keybytes) {
    const int64_t capwords = (int64_t)state_.words.capacity(), capkey = (int64_t)state_.key.capacity();
    if (words > capwords) state_.words.ensure((size_t)std::max(words, 2 * capwords));
    if (keybytes > capkey) {
        state_.key.ensure((size_t)std::max(keybytes, 2 * capkey));
        state_.back.ensure(state_.key.capacity());
    }
}

// Packs canonical row r = 1..R into state_.words (r-1)*W .. r*W-1: column c to
// word (c-1)/64, bit (c-1)%64.
void CanonStore::packrows(const ByteMatrix& mat, int R, int N, int W, const int32_t* rowel, const int32_t* colel) {
    for (int r = 1; r <= R; r++) {
        uint64_t* w = state_.words.data() + (int64_t)(r - 1) * W;
        for (int j = 0; j < W; j++) w[j] = 0;
        const uint8_t* row = mat.a[rowel[r]];
        for (int c = 1; c <= N; c++)
            if (row[colel[c]] == 1) w[(c - 1) >> 6] |= (uint64_t)1 << ((c - 1) & 63);
    }
}

// The hash of the packed rows, each word mixed with certhash: the upper half
// for odd word numbers j, the lower half for even ones.
uint64_t CanonStore::hashrows(int R, int W, uint32_t certhash) const {
    uint64_t h = 0;
    for (int r = 1; r <= R; r++) {
        const uint64_t* row = state_.words.data() + (int64_t)(r - 1) * W;
        for (int j = 1; j <= W; j++) {
            uint64_t w = row[j - 1];
            w ^= (j & 1) ? (uint64_t)certhash << 32 : (uint64_t)certhash;
            uint64_t ur = (uint64_t)r, uj = (uint64_t)j;
            if (w >= h)
                h = w + 7 * ur + uj - h;
            else
                h = h + 5 * ur - w + 3 * uj;
        }
    }
    return h;
}

// Writes the key record (next = 1) into state_.key; returns its size in bytes.
int64_t CanonStore::buildkey(int R, int N, int W, const int32_t* colel, const int32_t* values) {
    uint8_t* p = state_.key.data();
    put64(p, EMPTY);
    put32(p + 8, (uint32_t)R);
    put32(p + 12, (uint32_t)N);
    p += 16;
    if (values != nullptr)
        for (int c = 1; c <= N; c++, p += 4) put32(p, (uint32_t)values[colel[c]]);
    int B = (N - 1) / 8 + 1;
    for (int r = 1; r <= R; r++) {
        const uint64_t* row = state_.words.data() + (int64_t)(r - 1) * W;
        for (int j = 0; j < B; j++) *p++ = (uint8_t)(row[j >> 3] >> (8 * (j & 7)));
    }
    return p - state_.key.data();
}

// ---- where the records live ------------------------------------------------
//
// In memory (an arena that keeps its capacity from one parent to the next)
// while the run's budget allows, in the file once it does not: the arena is
// then written to the file, which is used from there on until the next
// reset.  The three operations below are all the record code needs.

// Copies n bytes to offset `off` of the records.
bool CanonStore::put(uint64_t off, const uint8_t* p, size_t n) {
    if (!spilled_) {
        if (off + n > mem_.size()) {
            if (off + n > mem_.capacity()) {
                const size_t want = std::max<size_t>(off + n, 2 * mem_.capacity() + 65536);
                if (budget_ && budget_->take(want - mem_.capacity())) {
                    taken_ += want - mem_.capacity();
                    mem_.reserve(want);
                } else if (!spill()) {
                    return false;
                }
            }
            if (!spilled_) mem_.resize(off + n);
        }
        if (!spilled_) {
            memcpy(mem_.data() + off, p, n);
            return true;
        }
    }
    if (fseeko(state_.fp, (off_t)off, SEEK_SET) != 0) return fault("seek");
    if (fwrite(p, 1, n, state_.fp) != n) return fault("write");
    return true;
}

// Copies n bytes from offset `off` of the records; false after a fault.
bool CanonStore::getbytes(uint64_t off, uint8_t* p, size_t n) {
    if (!spilled_) {
        if (off + n > mem_.size()) return fault("read");
        memcpy(p, mem_.data() + off, n);
        return true;
    }
    if (fseeko(state_.fp, (off_t)off, SEEK_SET) != 0) return fault("seek");
    if (fread(p, 1, n, state_.fp) != n) return fault("read");
    return true;
}

// Makes everything put so far durable enough to call a form new: flushed
// when the records are in the file.
bool CanonStore::sync() {
    if (!spilled_) return true;
    if (fflush(state_.fp) != 0 || ferror(state_.fp)) return fault("write");
    return true;
}

// Moves the records to the file (made, or truncated when it is open).
bool CanonStore::spill() {
    if (state_.fp == nullptr && !openfile()) return false;
    if (fseeko(state_.fp, 0, SEEK_SET) != 0 || ftruncate(fileno(state_.fp), 0) != 0) return fault("write");
    if (!mem_.empty() && fwrite(mem_.data(), 1, mem_.size(), state_.fp) != mem_.size()) return fault("write");
    mem_.clear();
    spilled_ = true;
    return true;
}

// Appends the key record at the end; its offset goes to *at.
bool CanonStore::appendkey(int64_t size, uint64_t* at) {
    if (!put((uint64_t)state_.end, state_.key.data(), (size_t)size)) return false;
    *at = (uint64_t)state_.end;
    state_.end += size;
    return true;
}

// Reads the record at state_.cur and compares it with the key.  Sets state_.next.
// Returns 1 equal, 0 different, -1 after a fault.
int CanonStore::compareat(int64_t size) {
    if (!getbytes(state_.cur, state_.back.data(), 16)) return -1;
    state_.next = get64(state_.back.data());
    // A chain only points forward, to records already written.
    if (state_.next != EMPTY && (state_.next <= state_.cur || state_.next >= (uint64_t)state_.end)) {
        fault("read");
        return -1;
    }
    if (memcmp(state_.back.data() + 8, state_.key.data() + 8, 8) != 0) return 0;
    size_t rest = (size_t)(size - 16);
    if (!getbytes(state_.cur + 16, state_.back.data() + 16, rest)) return -1;
    return memcmp(state_.back.data() + 16, state_.key.data() + 16, rest) == 0 ? 1 : 0;
}

// Walks bucket b; appends the key at the tail when it is not there.
CodeStatus CanonStore::walkchain(int b, int64_t size) {
    state_.cur = state_.heads[b];
    for (;;) {
        int eq = compareat(size);
        if (eq != 0) return CodeStatus::seen;  // equal, or a fault
        state_.prev = state_.cur;
        if (state_.next == EMPTY) break;
        state_.cur = state_.next;
    }
    uint64_t at;
    if (!appendkey(size, &at)) return CodeStatus::seen;
    uint8_t link[8];
    put64(link, at);
    if (!put(state_.prev, link, 8)) return CodeStatus::seen;
    return sync() ? CodeStatus::fresh : CodeStatus::seen;
}

CodeStatus CanonStore::store_lookup(const ByteMatrix& mat, int R, int N, const int32_t* rowel, const int32_t* colel,
                                    const int32_t* values, uint32_t certhash) {
    TALVEN_ASSERT("store", R >= 0 && N >= 1, "R>=0 && N>=1");
    int W = (N - 1) / 64 + 1;
    int64_t size = 16 + (values ? 4 * (int64_t)N : 0) + (int64_t)R * ((N - 1) / 8 + 1);
    growbuffers((int64_t)R * W, size);
    packrows(mat, R, N, W, rowel, colel);
    uint64_t h = hashrows(R, W, certhash);
    buildkey(R, N, W, colel, values);

    uint32_t lo = (uint32_t)h, hi = (uint32_t)(h >> 32);
    int b = (int)((hi ^ lo) % (uint32_t)state_.nbucket);
    state_.lasthash = h;
    state_.lastbucket = b;

    if (broken_) return CodeStatus::seen;  // a fault since the last reset
    const RecordValues kind = values != nullptr ? RecordValues::with : RecordValues::without;
    TALVEN_ASSERT("store", state_.values == RecordValues::none_yet || state_.values == kind,
                  "records of one file all with or all without values");
    state_.values = kind;

    if (state_.heads[b] == EMPTY) {
        uint64_t at;
        if (!appendkey(size, &at) || !sync()) return CodeStatus::seen;
        state_.heads[b] = at;
        return CodeStatus::fresh;
    }
    return walkchain(b, size);
}
