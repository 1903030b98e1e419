// Level records.
//
// The search keeps the codes of each level as text records, one per code:
// the record of a code of dimension D gives, block by block, how many free
// columns take each value in row D.  A record is
//     "\n" "? q B runno flag\n" and B groups of q counts, each "%d ".
// The writer takes the counts from the extension step's tables; the two
// readers put them back into the tables' `remain` (parent) or `partner`
// (partner).  Every writer checks its stream after writing and reports
// failure; the caller, who knows the file's name, reports the fault.
#pragma once
#include <cstdint>
#include <cstdio>

#include "engine/store.h"
#include "engine/tables.h"
#include "params/params.h"

// Counters of one run.
struct levcount {
    int32_t pending;  // records of this level still to be read as partners
    int32_t parents;  // records with flag 1 not yet taken as parents
    int32_t total;    // records written at this level for the current parent above
};
struct runcounters {
    levcount levelcnt[MAXDIM];
    // rescount[j], j = 2..k: codes of dimension j printed to the h file;
    // rescount[1]: all codes printed to the h file.
    int32_t rescount[MAXDIM];
    // statcount[i][j]: codes printed to the h file with length i (leading
    // all-zero columns not counted) and dimension j.
    int32_t statcount[MAXLEN + 1][MAXDIM + 1];
};

// How the new row of a record was made: split over the parent's classes by
// the row enumeration, or taken whole from a partner whose every block has
// at most one non-zero column (a simple extension).
enum class StepMode { split, simple };

// Header and counts of one level record, as read back.
struct levrec {
    int32_t q;       // values per block
    int32_t nblk;    // B, the number of blocks
    int32_t runno;   // running number
    int32_t flag;    // 1 = new code (a parent candidate), 0 = partner only
    int32_t simple;  // partner reader: 1 when every block's counts sum to <= 1
};

// Writes one level record of a code of dimension D to fp, with flag 1 for a
// new code (a parent candidate) and 0 for a code seen before.
//   split: blk is the last block index L - 1; one group per class (l, b),
//          l = 0..L-1, b = 0..q-1, with mt.remain[l][0][b] != 0, listing
//          mt.split[l][0..q-1][b];
//   simple: blk is the number of blocks L; group l lists mt.partner[l][0..q-1].
// Reads mt.remain, mt.split or mt.partner; raises mt.recno before the record,
// then lc: parents (new codes only), total and pending.  Returns true, or false
// when fp is in error after the write, or when fp is null (then nothing is
// written or counted).
bool levrec_write(FILE* fp, CodeStatus status, int blk, int q, StepMode mode, mayatab& mt, levcount& lc);

// Parent reader: skips to the next "?" and reads the header into r; when the
// flag is not 0 and B >= 1 it reads B rows of q counts into
// mt.remain[l][0][0..q-1], l = 0..B-1.  A flag-0 record leaves its counts
// unread (the next search for "?" passes over them).
// Returns 1 for a record, 0 at the end of the file, -1 for a damaged record
// (header unreadable, q outside 1..10, B outside 0..799, counts missing) or a
// stream in error.
int levrec_readparent(FILE* fp, levrec& r, mayatab& mt);

// Partner reader: as the parent reader, but always reads the counts, into
// mt.partner[l][0..q-1], and sets r.simple.  Same results.
int levrec_readpartner(FILE* fp, levrec& r, mayatab& mt);
