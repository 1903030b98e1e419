// The tables of the extension step.
//
// A parent's free columns fall into blocks (columns equal in the rows above
// the parent's last row) and, inside a block, into classes (l, b) by the value
// b in the parent's last row.  The step hands out the values of the new row
// class by class; these tables hold what is still free, what each value gets,
// and the caps that bound a split.  The level-record writer reads `remain` and
// `split` (or `partner` for a simple extension), the two readers fill
// `remain` and `partner`.  They are sized for one run: at most one block
// per free column (at most MAXBLK) and at most 10 values per block; the
// values of a block are fixed arrays, so the hot loops index
// remain[l][i][b] as they would a plain array.
#pragma once
#include <array>
#include <cstdint>
#include <vector>

#include "containers/limits.h"

// A record never has more blocks than there are free columns (at most 799);
// a bound of 100 would stop long runs of dimension 6 to 9 and up.
constexpr int MAXBLK = MAXLEN;  // blocks of a level record
constexpr int MAXVAL = 10;      // values per block

// The mark of a position of the new row that no class has given a value
// (position 0, and every position while a row is being built).
enum NewRowMark : int32_t { UNASSIGNED = -3 };

struct SplitTables {
    using Values = std::array<int32_t, MAXVAL>;
    using Square = std::array<Values, MAXVAL>;
    // Room for blocks 0..blocks-1 and new rows of positions 0..positions,
    // every table cleared (see cleartables).
    explicit SplitTables(int blocks = MAXBLK, int positions = MAXLEN - 1);
    int blocks() const { return (int)remain.size(); }

    // remain[l][i][b]: columns of class (l, b) still without a value before
    // value i is handed out; remain[l][0][b] is the class's multiplicity.
    std::vector<Square> remain;
    // split[l][i][b]: columns of class (l, b) that receive value i.
    std::vector<Square> split;
    // cap[l][i][b] = min(remain[l][i][b], bound on one class of the new code).
    std::vector<Square> cap;
    // capsum[l][i][b]: sum of cap[l][i][b'] over b < b' <= q - 1.
    std::vector<Square> capsum;
    // partner[l][i]: columns of block l taking value i in the partner's last row.
    std::vector<Values> partner;
    // The new row, positions 0..n-k; UNASSIGNED where no value is given.
    std::vector<int32_t> newrow;
    int32_t lastblk = 0;  // the partner's last block index (its block count - 1)
    int32_t recno = 0;    // running number of the level records written for this parent
    bool cut = false;     // set by the step test: abandon the current partial split
};

// Clears every table to 0 and marks every position of `newrow` as not
// assigned (UNASSIGNED); `lastblk`, `recno` and `cut` become 0 (false).
void cleartables(SplitTables& tables);
