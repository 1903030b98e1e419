// The canonical-form store: remembers the canonical forms of the new children
// of one parent and tells whether a form was seen before.
//
// A chained hash table whose records live in the binary file `comp_file` in
// the run's working folder and whose bucket heads (64-bit file offsets, 1 =
// empty bucket, because 0 is where the first record starts) live in memory.
// The search empties it for every parent, so it only ever holds siblings; it
// never shrinks between resets.  Record layout, little-endian, back to back:
//     next (8 bytes, 1 = end of chain), rows R (4), cols N (4),
//     N invariant values (4 each, only when values are given),
//     R rows of floor((N-1)/8)+1 bytes, column 8j+1 in the low bit of byte j.
//
// Every file operation is checked.  A failure is reported through the run's
// fault mark, closes the stream, and makes every later lookup answer "seen"
// until the next successful reset: a form is never called new unless its
// record was written and flushed.
#pragma once
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "containers/containers.h"
#include "engine/budget.h"
#include "fileio/fault.h"
#include "fileio/file.h"

constexpr int STORE_BUCKETS = 555;  // buckets in a run

// What a lookup found.
enum class CodeStatus : int32_t { seen = 0, fresh = 1 };

// Whether the records of a store carry the invariant values of their
// columns: not known while it is empty, then the same for every record.
enum class RecordValues : int32_t { none_yet, without, with };

// The state of the store.
struct StoreState {
    int32_t nbucket = 0;     // bucket count (555)
    Buffer<uint64_t> heads;  // heads[b]: offset of the first record of bucket b
    int64_t end = 0;         // where the next record goes
    File fp;                 // open with "r+b" between resets, else empty
    std::string path;        // the file
    RecordValues values = RecordValues::none_yet;
    // The walk of the last lookup: record examined, previous record, next field read.
    uint64_t cur = 0, prev = 0, next = 0;
    // Where the last lookup went (read by tests).
    uint64_t lasthash = 0;
    int32_t lastbucket = 0;
    // Grow-only buffers: packed rows, the key record, a record read back.
    Buffer<uint64_t> words;
    Buffer<uint8_t> key;
    Buffer<uint8_t> back;
};

class CanonStore {
   public:
    // Bucket count `nbucket` (555 in the program; tests use fewer to force
    // collisions); every bucket empty, no file yet: store_reset must follow
    // before a lookup.  Faults are reported through `fault`.  The records
    // take memory from `budget` and go to the file when it is used up;
    // without a budget they live in the file from the start.
    explicit CanonStore(RunFault& fault, int nbucket = STORE_BUCKETS, MemoryBudget* budget = nullptr);
    ~CanonStore();
    CanonStore(const CanonStore&) = delete;
    CanonStore& operator=(const CanonStore&) = delete;

    // Makes `dir` (ending with the directory separator) the folder of the
    // file; takes effect at the next reset.
    void setdir(const std::string& dir) { dir_ = dir; }
    // Empties the store: every bucket head := 1, the end offset := 0, the
    // records back in memory; an open file is truncated (without a budget
    // it is created and opened for update the first time, or after a
    // fault).  Returns true, or false after a reported fault (the file then
    // stays closed).
    bool store_reset();
    // Closes the stream (reporting a failing close); the store stays empty.
    void store_close();

    // Lookup-or-insert of one canonical form.  The canonical matrix has R
    // rows and N columns; its entry (i, j) is mat.a[rowel[i]][colel[j]],
    // i = 1..R, j = 1..N (1 = incidence).  values, when not null, holds the
    // invariant value of every column of `mat` (1-based), so the value at
    // canonical position j is values[colel[j]] (the run always gives them;
    // forms of a plain labelling have none).  certhash is the certificate
    // number of the labelling.  Returns fresh when the form was not stored
    // before (it is stored now) and seen when it was, or when a file
    // operation failed (reported).  Allocates only when a buffer must grow.
    CodeStatus store_lookup(const ByteMatrix& mat, int R, int N, const int32_t* rowel, const int32_t* colel,
                            const int32_t* values, uint32_t certhash);

    // The state, for tests (where the last lookup went, the bucket heads).
    const StoreState& state() const { return state_; }

   private:
    StoreState state_;
    bool fault(const char* action);
    bool openfile();
    bool put(uint64_t off, const uint8_t* p, size_t n);
    bool getbytes(uint64_t off, uint8_t* p, size_t n);
    bool sync();
    bool spill();
    void growbuffers(int64_t words, int64_t keybytes);
    void packrows(const ByteMatrix& mat, int R, int N, int W, const int32_t* rowel, const int32_t* colel);
    uint64_t hashrows(int R, int W, uint32_t certhash) const;
    int64_t buildkey(int R, int N, int W, const int32_t* colel, const int32_t* values);
    bool appendkey(int64_t size, uint64_t* at);
    int compareat(int64_t size);
    CodeStatus walkchain(int b, int64_t size);

    RunFault& fault_;
    std::string dir_;
    MemoryBudget* budget_;
    std::vector<uint8_t> mem_;  // the records while they fit the budget
    uint64_t taken_ = 0;        // bytes of the budget the arena holds
    bool spilled_ = true;       // the records are in the file
    bool broken_ = false;       // a fault since the last reset
};
