// The extension step: from one parent code of dimension D - 1 and one partner
// of the same level, enumerate every new row, test each candidate, decide
// whether it is a new code, and write its level record.  Its tables live in
// one global record, `mt`; the run's open result files and the progress
// clock in another, `ext`.
//
// A parent's free columns fall into blocks (columns equal in the rows above
// the parent's last row) and, inside a block, into classes (l, b) by the value
// b in the parent's last row.  The step hands out the values of the new row
// class by class; these tables hold what is still free, what each value gets,
// and the caps that bound a split.  The level-record writer reads `remain` and
// `split` (or `partner` for a simple extension), the two readers fill
// `remain` and `partner`.  Sizes follow the program's limits: at most one
// block per free column and at most 10 values per block.
#pragma once
#include <cstdint>
#include <cstdio>
#include <string>

#include "frame/runpar.h"

// A record never has more blocks than there are free columns (at most 799);
// a bound of 100 would stop long runs of dimension 6 to 9 and up.
constexpr int MAXBLK = MAXLEN;  // blocks of a level record
constexpr int MAXVAL = 10;   // values per block

struct mayatab {
    // remain[l][i][b]: columns of class (l, b) still without a value before
    // value i is handed out; remain[l][0][b] is the class's multiplicity.
    int32_t remain[MAXBLK][MAXVAL][MAXVAL];
    // split[l][i][b]: columns of class (l, b) that receive value i.
    int32_t split[MAXBLK][MAXVAL][MAXVAL];
    // cap[l][i][b] = min(remain[l][i][b], bound on one class of the new code).
    int32_t cap[MAXBLK][MAXVAL][MAXVAL];
    // capsum[l][i][b]: sum of cap[l][i][b'] over b < b' <= q - 1.
    int32_t capsum[MAXBLK][MAXVAL][MAXVAL];
    // partner[l][i]: columns of block l taking value i in the partner's last row.
    int32_t partner[MAXBLK][MAXVAL];
    // The new row, positions 0..n-k; -3 = not assigned.
    int32_t newrow[MAXLEN];
    int32_t lastblk;  // the partner's last block index (its block count - 1)
    int32_t recno;    // running number of the level records written for this parent
    uint8_t cutflag;  // set by the step test: abandon the current partial split
};

extern mayatab mt;

// Clears every table of `mt` to 0 and marks every position of `newrow` as not
// assigned (-3).  `lastblk`, `recno` and `cutflag` become 0.
void maya_reset();

// The run's result file and h file (opened and closed by the run driver),
// and the time of the last progress line.
struct extrec {
    FILE* res;            // result file: codes of the final dimension
    FILE* h;              // h file: new codes of every dimension
    std::string respath;  // their names, for fault messages
    std::string hpath;
    std::string levpath;  // the level file the step writes to
    int64_t lastprint;    // process clock (ms) of the last progress line
};
extern extrec ext;

// Process clock in milliseconds.
int64_t clockms();

// Row enumeration (general extension).  Hands the partner's amounts
// mt.partner[l][i] out to the classes (l, b) of the parent, largest share of
// class 0 first, each share bounded by min(what the class has left,
// `propbound`), and calls the step test after every completed pair (l, i).
// First call: amount 0, b 0, i 0, l 0, depth 0, nn 0.  Reads mt.remain[.][0]
// and mt.partner; every mt.split entry it touched is 0 again on return.
void rowenum(int propbound, int amount, int b, int q, int i, int l, FILE* fp, int D, int depth, int nn);

// Step test.  mode 1 (from the enumerator): only the last pair (l = lastl,
// i = q - 1) builds the new row from mt.split and goes on.  mode 3 (simple
// extension): colmap row D already holds the row; lastl is the number of
// blocks.  Tests the candidate, gives it invariants and a canonical form,
// decides whether it is new, prints a new code, and writes its level record
// to fp.  May set mt.cutflag (brute generation).
void steptest(int qm1, int q, int i, int l, int lastl, FILE* fp, int D, int nn, int mode);

// Releases the engine's working containers so that a run starts afresh.
void engine_reset();
