// The canonical-form store: remembers the canonical forms of the new children
// of one parent and tells whether a form was seen before.
//
// A chained hash table whose records live in the binary file `comp_file` in
// the run's working folder and whose bucket heads (64-bit file offsets, 1 = empty bucket,
// because 0 is where the first record starts) live in memory.  The search
// empties it for every parent, so it only ever holds siblings; it never
// shrinks between resets.  Record layout, little-endian, back to back:
//     next (8 bytes, 1 = end of chain), rows R (4), cols N (4),
//     N invariant values (4 each, only when values are given),
//     R rows of floor((N-1)/8)+1 bytes, column 8j+1 in the low bit of byte j.
//
// Every file operation is checked.  A failure prints one message through
// `filefault`, closes the stream of that file, and makes every later lookup
// on it answer "seen" (0) until the next successful reset: a form is never
// called new unless its record was written and flushed.
#pragma once
#include <cstdint>
#include <cstdio>

#include "containers/cons_str.h"

constexpr int STORE_BUCKETS = 555;   // buckets per file in a run
constexpr int STORE_MAXFILES = 4;    // hash files the table can address
constexpr int STORE_PATHLEN = 300;   // bytes of a path buffer

struct hashstore {
    int32_t nbucket;                 // bucket count (555)
    int32_t nfiles;                  // file count (1 in a run)
    wmat heads;                      // heads.a[f][b]: offset of the first record of bucket b
    int64_t end[STORE_MAXFILES];     // where the next record of file f goes
    FILE* fp[STORE_MAXFILES];        // open with "r+b" between resets, else null
    char path[STORE_MAXFILES][STORE_PATHLEN];
    int32_t withvals[STORE_MAXFILES];  // -1 empty; else 1 when the records carry values
    // The walk of the last lookup: record examined, previous record, next field read.
    uint64_t cur, prev, next;
    // Where the last lookup went (read by tests and statistics).
    uint64_t lasthash;
    int32_t lastfile, lastbucket;
    // Grow-only buffers: packed rows, the key record, a record read back.
    uint64_t* words;
    int64_t capwords;
    uint8_t* key;
    int64_t capkey;
    uint8_t* back;
    int64_t capback;
};
extern hashstore hs;

// Start-up: bucket count `nbucket` (555 in the program; tests may use fewer to
// force collisions), file count 1, bucket heads allocated and empty, every
// stream closed.  Writes `hs`; store_reset must follow before a lookup.
void store_init(int nbucket = STORE_BUCKETS);

// Sets the file count (1..STORE_MAXFILES); takes effect at the next reset.
void store_setfiles(int count);

// For every file f: closes its stream, creates the file anew ("w"), closes it,
// reopens it with "r+b"; every bucket head := 1, every end offset := 0.
// File 0 is `workdir` + "comp_file", file f > 0 `workdir` + "comp_file" + f.
// Returns 1, or 0 after a reported file fault (that file then stays closed).
int store_reset();

// Closes every stream (reporting a failing close); the store stays empty.
void store_close();

// Lookup-or-insert of one canonical form.  The canonical matrix has R rows and
// N columns; its entry (i, j) is mat.a[rowel[i]][colel[j]], i = 1..R,
// j = 1..N (1 = incidence).  values, when not null, holds the invariant value
// of every column of `mat` (1-based), so the value at canonical position j is
// values[colel[j]].  certhash is the certificate number of the labelling.
// mode 1 lets the hash choose the file; any other mode keeps file 0.
// Returns 1 when the form was not stored before (it is stored now) and 0 when
// it was, or when a file operation failed (reported through `filefault`).
// Reads and writes `hs`; allocates only when a buffer must grow.
int store_lookup(int mode, const bmat& mat, int R, int N, const int32_t* rowel,
                 const int32_t* colel, const int32_t* values, uint32_t certhash);
