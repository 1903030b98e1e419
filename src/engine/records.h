// Level records and result lines.
//
// The search keeps the codes of each level as text records, one per code:
// the record of a code of dimension D gives, block by block, how many free
// columns take each value in row D.  A record is
//     "\n" "? q B runno flag\n" and B groups of q counts, each "%d ".
// The writer takes the counts from the extension step's tables (`mt`); the
// two readers put them back into `mt.remain` (parent) or `mt.partner`
// (partner).  The two printers write a new code, whole, into the result file
// (final dimension only) and into the h file, one character per entry.
//
// Every writer and printer checks its stream after writing and reports 0 when
// the stream is in error; the caller, who knows the file's name, reports the
// fault (`filefault`, or `chkclose` below) and stops the run.
#pragma once
#include <cstdint>
#include <cstdio>

#include "frame/runpar.h"

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
extern runcounters rc;

// Sets every counter of `rc` to 0.
void counters_reset();

// Header and counts of one level record, as read back.
struct levrec {
    int32_t q;       // values per block
    int32_t nblk;    // B, the number of blocks
    int32_t runno;   // running number
    int32_t flag;    // 1 = new code (a parent candidate), 0 = partner only
    int32_t simple;  // partner reader: 1 when every block's counts sum to <= 1
};

// Writes one level record of a code of dimension D to fp.
//   mode 1: blk is the last block index L - 1; one group per class (l, b),
//           l = 0..L-1, b = 0..q-1, with mt.remain[l][0][b] != 0, listing
//           mt.split[l][0..q-1][b];
//   mode 3: blk is the number of blocks L; group l lists mt.partner[l][0..q-1].
// Reads mt.remain, mt.split or mt.partner; raises mt.recno before the record,
// then rc.levelcnt[D]: parents (flag 1 only), total and pending.  Returns 1,
// or 0 when fp is in error after the write, or when fp is null (then nothing
// is written or counted).
int levrec_write(FILE* fp, int flag, int D, int blk, int q, int mode);

// Parent reader: skips to the next "?" and reads the header into r; when the
// flag is not 0 and B >= 1 it reads B rows of q counts into
// mt.remain[l][0][0..q-1], l = 0..B-1.  A flag-0 record leaves its counts
// unread (the next search for "?" passes over them).
// Returns 1 for a record, 0 at the end of the file, -1 for a damaged record
// (header unreadable, q outside 1..10, B outside 0..100, counts missing) or a
// stream in error.
int levrec_readparent(FILE* fp, levrec& r);

// Partner reader: as the parent reader, but always reads the counts, into
// mt.partner[l][0..q-1], and sets r.simple.  Same results.
int levrec_readpartner(FILE* fp, levrec& r);

// Result file: only for a code of the final dimension (cm.cur_level =
// cm.cur_k).  Raises `codecount`, then writes "?k len q codecount\n" and rows
// 1..k, one character per entry of columns 1..cur_len (0-9, A-F), each row
// followed by "\n".  In brute mode (runpar.brute = 1) the first k columns are
// left out and len is cur_len - k.  Returns 1 (also when nothing is due), or
// 0 when the stream is null or in error.
int printres(cmrec cm, FILE* fp);

// h file: every new code.  z = leading columns zero in rows 1..cur_level.
// Raises rc.rescount[1] and rc.rescount[cur_level] (the latter only for
// dimensions >= 2, so that the total is counted once) and
// rc.statcount[cur_len - z][cur_level], then writes
// "?level len q rescount[level] rescount[1]\n" and rows 1..cur_level over
// columns z+1..cur_len.  Returns 1, or 0 when the stream is null or in error.
int printh(cmrec cm, FILE* fp);

// Opens path with mode; on failure reports filefault("open", path).
FILE* chkopen(const char* path, const char* mode);
// Closes fp (when not null) and sets it to null; a stream in error or a
// failing close reports filefault("read or write", path) or
// filefault("close", path)
// and gives 0.  Returns 1 when all went well.
int chkclose(FILE*& fp, const char* path);
