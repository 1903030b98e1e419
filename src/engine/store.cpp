// The canonical-form store (see store.h).
//
// Only the bucket heads stay in memory; a lookup packs the canonical form
// once into a key record laid out exactly as in the file, hashes the packed
// rows, and walks its bucket's chain with one seek and one read per record:
// the 16 fixed bytes first, and the rest only when rows and columns agree,
// compared in one memcmp.  New records go to the end of the file and to the
// tail of their chain.  After a write the stream is flushed before a form is
// reported new, so a full disk or a vanished file shows up as a fault, not as
// a code counted twice.
#include "engine/store.h"

#include <cstdlib>
#include <cstring>
#include <string>

#include "frame/runpar.h"
#include "frame/settings.h"

hashstore hs;

static constexpr uint64_t EMPTY = 1;  // bucket head or next field: no record

void store_init(int nbucket) {
    ZASSERT("store", nbucket < 1 || nbucket > STORE_BUCKETS, "nbucket in 1..555");
    store_close();
    hs.nbucket = nbucket;
    hs.nfiles = 1;
    wmat_ensure(hs.heads, STORE_MAXFILES - 1, STORE_BUCKETS, 2);
    for (int f = 0; f < STORE_MAXFILES; f++) {
        for (int b = 0; b < STORE_BUCKETS; b++) hs.heads.a[f][b] = EMPTY;
        hs.end[f] = 0;
        hs.withvals[f] = -1;
    }
}

void store_setfiles(int count) {
    ZASSERT("store", count < 1 || count > STORE_MAXFILES, "file count in range");
    hs.nfiles = count;
}

// Reports a failed operation on file f, drops its stream, and gives 0.
static int fault(int f, const char* action) {
    filefault(action, hs.path[f]);
    if (hs.fp[f] != nullptr) fclose(hs.fp[f]);  // the stream is abandoned either way
    hs.fp[f] = nullptr;
    return 0;
}

// Path of file f in the current `workdir`; 0 when it does not fit.
static int makepath(int f) {
    std::string p = workdir + "comp_file";
    if (f > 0) p += std::to_string(f);
    if (p.size() >= STORE_PATHLEN) {
        snprintf(hs.path[f], STORE_PATHLEN, "%s", p.c_str());
        return fault(f, "name");
    }
    memcpy(hs.path[f], p.c_str(), p.size() + 1);
    return 1;
}

// Closes file f if open, creates it empty, reopens it for update.
static int resetfile(int f) {
    if (hs.fp[f] != nullptr) {
        int bad = ferror(hs.fp[f]);
        int shut = fclose(hs.fp[f]);
        hs.fp[f] = nullptr;
        if (bad || shut != 0) return fault(f, "close");
    }
    if (!makepath(f)) return 0;
    FILE* w = fopen(hs.path[f], "w");
    if (w == nullptr) return fault(f, "create");
    if (fclose(w) != 0) return fault(f, "create");
    hs.fp[f] = fopen(hs.path[f], "r+b");
    if (hs.fp[f] == nullptr) return fault(f, "open");
    return 1;
}

int store_reset() {
    ZASSERT("store", hs.heads.mem != 1, "store_init before store_reset");
    int ok = 1;
    for (int f = hs.nfiles; f < STORE_MAXFILES; f++) {  // files no longer in use
        if (hs.fp[f] == nullptr) continue;
        int shut = fclose(hs.fp[f]);
        hs.fp[f] = nullptr;
        if (shut != 0) ok = fault(f, "close");
    }
    for (int f = 0; f < hs.nfiles; f++) {
        for (int b = 0; b < STORE_BUCKETS; b++) hs.heads.a[f][b] = EMPTY;
        hs.end[f] = 0;
        hs.withvals[f] = -1;
        if (!resetfile(f)) ok = 0;
    }
    return ok;
}

void store_close() {
    for (int f = 0; f < STORE_MAXFILES; f++) {
        if (hs.fp[f] == nullptr) continue;
        int bad = ferror(hs.fp[f]);
        int shut = fclose(hs.fp[f]);
        hs.fp[f] = nullptr;
        if (bad || shut != 0) fault(f, "close");
    }
}

// ---- the key ----------------------------------------------------------------

static void put32(uint8_t* p, uint32_t v) {
    for (int i = 0; i < 4; i++) p[i] = (uint8_t)(v >> (8 * i));
}
static void put64(uint8_t* p, uint64_t v) {
    for (int i = 0; i < 8; i++) p[i] = (uint8_t)(v >> (8 * i));
}
static uint64_t get64(const uint8_t* p) {
    uint64_t v = 0;
    for (int i = 7; i >= 0; i--) v = (v << 8) | p[i];
    return v;
}

// Makes the three buffers hold at least the given sizes (grow only).
static void growbuffers(int64_t words, int64_t keybytes) {
    if (words > hs.capwords) {
        free(hs.words);
        hs.capwords = words > 2 * hs.capwords ? words : 2 * hs.capwords;
        hs.words = static_cast<uint64_t*>(
            cs_alloc(sizeof(uint64_t) * (size_t)hs.capwords, "hs.words==NULL", __LINE__));
    }
    if (keybytes > hs.capkey) {
        free(hs.key);
        free(hs.back);
        hs.capkey = keybytes > 2 * hs.capkey ? keybytes : 2 * hs.capkey;
        hs.capback = hs.capkey;
        hs.key = static_cast<uint8_t*>(cs_alloc((size_t)hs.capkey, "hs.key==NULL", __LINE__));
        hs.back = static_cast<uint8_t*>(cs_alloc((size_t)hs.capback, "hs.back==NULL", __LINE__));
    }
}

// Packs canonical row r = 1..R into words (r-1)*W .. r*W-1: column c to word
// (c-1)/64, bit (c-1)%64.
static void packrows(const bmat& mat, int R, int N, int W, const int32_t* rowel,
                     const int32_t* colel) {
    for (int r = 1; r <= R; r++) {
        uint64_t* w = hs.words + (int64_t)(r - 1) * W;
        for (int j = 0; j < W; j++) w[j] = 0;
        const uint8_t* row = mat.a[rowel[r]];
        for (int c = 1; c <= N; c++)
            if (row[colel[c]] == 1) w[(c - 1) >> 6] |= (uint64_t)1 << ((c - 1) & 63);
    }
}

// The hash of the packed rows, each word mixed with certhash: the upper half
// for odd word numbers j, the lower half for even ones.
static uint64_t hashrows(int R, int W, uint32_t certhash) {
    uint64_t h = 0;
    for (int r = 1; r <= R; r++) {
        const uint64_t* row = hs.words + (int64_t)(r - 1) * W;
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

// Writes the key record (next = 1) into hs.key; returns its size in bytes.
static int64_t buildkey(int R, int N, int W, const int32_t* colel, const int32_t* values) {
    uint8_t* p = hs.key;
    put64(p, EMPTY);
    put32(p + 8, (uint32_t)R);
    put32(p + 12, (uint32_t)N);
    p += 16;
    if (values != nullptr)
        for (int c = 1; c <= N; c++, p += 4) put32(p, (uint32_t)values[colel[c]]);
    int B = (N - 1) / 8 + 1;
    for (int r = 1; r <= R; r++) {
        const uint64_t* row = hs.words + (int64_t)(r - 1) * W;
        for (int j = 0; j < B; j++) *p++ = (uint8_t)(row[j >> 3] >> (8 * (j & 7)));
    }
    return p - hs.key;
}

// ---- the file ----------------------------------------------------------------

static int seekto(int f, uint64_t off) {
    if (fseeko(hs.fp[f], (off_t)off, SEEK_SET) != 0) return fault(f, "seek");
    return 1;
}

// Appends the key record at the end of file f; its offset goes to *at.
static int appendkey(int f, int64_t size, uint64_t* at) {
    if (!seekto(f, (uint64_t)hs.end[f])) return 0;
    if (fwrite(hs.key, 1, (size_t)size, hs.fp[f]) != (size_t)size) return fault(f, "write");
    *at = (uint64_t)hs.end[f];
    hs.end[f] += size;
    return 1;
}

// Flushes file f; 1 when everything written so far reached the file.
static int flushfile(int f) {
    if (fflush(hs.fp[f]) != 0 || ferror(hs.fp[f])) return fault(f, "write");
    return 1;
}

// Reads the record at hs.cur and compares it with the key.  Sets hs.next.
// Returns 1 equal, 0 different, -1 after a fault.
static int compareat(int f, int64_t size) {
    if (!seekto(f, hs.cur)) return -1;
    if (fread(hs.back, 1, 16, hs.fp[f]) != 16) {
        fault(f, "read");
        return -1;
    }
    hs.next = get64(hs.back);
    // A chain only points forward, to records already written.
    if (hs.next != EMPTY && (hs.next <= hs.cur || hs.next >= (uint64_t)hs.end[f])) {
        fault(f, "read");
        return -1;
    }
    if (memcmp(hs.back + 8, hs.key + 8, 8) != 0) return 0;
    size_t rest = (size_t)(size - 16);
    if (fread(hs.back + 16, 1, rest, hs.fp[f]) != rest) {
        fault(f, "read");
        return -1;
    }
    return memcmp(hs.back + 16, hs.key + 16, rest) == 0 ? 1 : 0;
}

// Walks bucket b of file f; appends the key at the tail when it is not there.
static int walkchain(int f, int b, int64_t size) {
    hs.cur = hs.heads.a[f][b];
    for (;;) {
        int eq = compareat(f, size);
        if (eq < 0) return 0;
        if (eq == 1) return 0;
        hs.prev = hs.cur;
        if (hs.next == EMPTY) break;
        hs.cur = hs.next;
    }
    uint64_t at;
    if (!appendkey(f, size, &at)) return 0;
    uint8_t link[8];
    put64(link, at);
    if (!seekto(f, hs.prev)) return 0;
    if (fwrite(link, 1, 8, hs.fp[f]) != 8) return fault(f, "write");
    return flushfile(f);
}

int store_lookup(int mode, const bmat& mat, int R, int N, const int32_t* rowel,
                 const int32_t* colel, const int32_t* values, uint32_t certhash) {
    ZASSERT("store", hs.heads.mem != 1, "store_init before store_lookup");
    ZASSERT("store", R < 0 || N < 1, "R>=0 && N>=1");
    int W = (N - 1) / 64 + 1;
    int64_t size = 16 + (values ? 4 * (int64_t)N : 0) + (int64_t)R * ((N - 1) / 8 + 1);
    growbuffers((int64_t)R * W, size);
    packrows(mat, R, N, W, rowel, colel);
    uint64_t h = hashrows(R, W, certhash);
    buildkey(R, N, W, colel, values);

    uint32_t lo = (uint32_t)h, hi = (uint32_t)(h >> 32);
    int f = (int)(lo % (uint32_t)hs.nfiles);
    int b = (int)((uint32_t)(13u * (uint32_t)f + (hi ^ lo)) % (uint32_t)hs.nbucket);
    if (mode != 1) f = 0;
    hs.lasthash = h;
    hs.lastfile = f;
    hs.lastbucket = b;

    if (hs.fp[f] == nullptr) {
        filefault("open", hs.path[f][0] ? hs.path[f] : "comp_file");
        return 0;
    }
    int vals = values != nullptr ? 1 : 0;
    ZASSERT("store", hs.withvals[f] >= 0 && hs.withvals[f] != vals,
            "records of one file all with or all without values");
    hs.withvals[f] = vals;

    if (hs.heads.a[f][b] == EMPTY) {
        uint64_t at;
        if (!appendkey(f, size, &at) || !flushfile(f)) return 0;
        hs.heads.a[f][b] = at;
        return 1;
    }
    return walkchain(f, b, size);
}
