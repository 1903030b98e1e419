// Level records.
//
// The search keeps the codes of each level as records, one per code: the
// record of a code of dimension D gives, block by block, how many free
// columns take each value in row D.  A level holds the children of one
// parent at a time, and is read once for its parents and once per parent for
// its partners, so the records stay in memory, in compact binary form:
//     q (1 byte), flag (1), B blocks (2), running number (4),
//     then B groups of q counts, 2 bytes each.
// The writer takes the counts from the extension step's tables; the two
// readers put them back into the tables' `remain` (parent) or `partner`
// (partner).  When the run's memory budget is used up, a level that still
// grows spills to a file of its own in the run's working folder and is read
// from there; the records and their order are the same either way.
//
// The codes of dimension 1 are not stored at all: a level-1 store made with
// `setfirst` lists them on the fly, so that no run needs memory or disk in
// proportion to the distributions of a weight over the non-zero values.
#pragma once
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "containers/hashindex.h"
#include "engine/bounds.h"
#include "engine/budget.h"
#include "engine/store.h"
#include "engine/tables.h"
#include "fileio/fault.h"
#include "fileio/file.h"
#include "params/params.h"

// The records of one level of the search.
struct LevelCount {
    int32_t pending;  // records of this level still to be read as partners
    int32_t parents;  // records with flag 1 not yet taken as parents
    int32_t total;    // records written at this level for the current parent above
};
// The counters of a search, by level (the progress line shows them).
struct SearchCounts {
    LevelCount level[MAXDIM];
};

// How the new row of a record was made: split over the parent's classes by
// the row enumeration, or taken whole from a partner whose every block has
// at most one non-zero column (a simple extension).
enum class StepMode { split, simple };

// Header and counts of one level record, as read back.
struct LevelRecord {
    int32_t q;       // values per block
    int32_t nblk;    // B, the number of blocks
    int32_t runno;   // running number
    bool parent;     // a new code (a parent candidate), else a partner only (its flag byte 1 or 0)
    int32_t simple;  // partner reader: 1 when every block's counts sum to <= 1
};


// A necessary condition on the codes of dimension 1 read as partners: for
// the weight x (x non-zero entries in the free part) the part sizes a
// distribution may have, parts[a] = 1 for the allowed a = 0..x.  False
// when every size is allowed (nothing to filter).
class FirstFilter {
   public:
    virtual bool parts(int x, uint8_t* parts) const = 0;

   protected:
    ~FirstFilter() = default;
};

class LevelStore {
   public:
    LevelStore() = default;
    ~LevelStore();
    LevelStore(const LevelStore&) = delete;
    LevelStore& operator=(const LevelStore&) = delete;

    // The budget the records take memory from, the file they spill to and
    // the mark a file fault is reported to.
    void setup(MemoryBudget* budget, const std::string& spillpath, RunFault* fault);
    // Empties the level (a spilled level comes back to memory); the memory
    // stays reserved for the next parent.
    void clear();
    // Makes this the level of the codes of dimension 1 for the parameters:
    // for every weight x + 1 (x from d - 1 to n - k) that is allowed and
    // that the bounds allow (firstweight), the distributions of x over the
    // q - 1 non-zero values, in decreasing lexicographic order, the first
    // (x, 0, .., 0) with flag 1, the others 0; each one block
    // (z, a1, .., a_{q-1}) with z = n - k - x.
    void setfirst(const RunParams& par, const LevelBounds& bounds);

    // Appends one record; false after a reported fault.
    bool append(int q, bool parent, int runno, int nblk, const uint16_t* counts);
    // True when a record whose last row is this one's times a scalar c != 1
    // (each group of counts permuted by i -> c i) is in the level already.
    // Such a record stands for this one: its codes are equivalent, and as a
    // partner it gives children equivalent to this one's, earlier (see
    // writelevelrecord).  False for a spilled level (nothing is looked up).
    bool scaledcopy(int q, int nblk, const uint16_t* counts);
    // Whether scaledcopy looks at all (on by default; off for the plain
    // search, which keeps every record).
    void lookforscaled(bool on) { scaledon_ = on; }
    bool spilled() const { return spill_ != nullptr; }

    // A reading position, from the first record on.  On the first level a
    // filter skips the distributions with a part it does not allow, and a
    // walk for parents skips all but the first distribution of each weight,
    // the one record with flag 1 (the others come in the same order; their
    // running numbers are counted without the ones skipped).
    struct Cursor {
        uint64_t at = 0;       // stored levels: the byte offset
        int32_t runno = 0;     // the first level: the record
        int32_t x = -1;        // ... its weight
        int32_t a[MAXVAL] = {};  // ... and its distribution
        const FirstFilter* filter = nullptr;
        bool parents = false;       // only the records with flag 1 are wanted (the first of each weight)
        bool filtering = false;     // the filter restricts the parts of weight x
        bool scaled = false;        // partners: only the first of each scaling (see nextfirst)
        uint8_t parts[MAXLEN];      // ... to these sizes
        uint64_t reach[MAXVAL][(MAXLEN + 63) / 64];  // reach[c]: sums of c allowed sizes
    };
    // Reads the record at c into r and its counts into counts (B * q values,
    // group by group) and moves c on.  Returns 1 for a record, 0 at the end,
    // -1 for a read fault (reported).
    int next(Cursor& c, LevelRecord& r, uint16_t* counts) const;

   private:
    bool spill();
    int nextfirst(Cursor& c, LevelRecord& r, uint16_t* counts) const;
    bool startweight(Cursor& c) const;
    bool nextparts(Cursor& c) const;
    void fillparts(Cursor& c, int from, int rest) const;

    MemoryBudget* budget_ = nullptr;
    RunFault* fault_ = nullptr;
    std::string spillpath_;
    std::vector<uint8_t> mem_;
    uint64_t taken_ = 0;       // bytes of the budget this level holds
    File spill_;
    uint64_t spillsize_ = 0;
    // The records of the level by the hash of their counts, for scaledcopy
    // (only while the level is in memory and scaledon_).
    HashIndex index_;
    bool scaledon_ = true;
    // The first level (setfirst).
    bool first_ = false;
    int q_ = 0, m_ = 0, from_ = 0;
    std::vector<char> allowed_;  // allowed_[x]: weight x + 1 is allowed
};

// True when the codes of dimension 1 have a weight w row: w at least d,
// allowed, and allowed by the bounds.
bool firstweight(const RunParams& par, const LevelBounds& bounds, int w);

// Writes one level record of a code to the level `to`: flag 1 for a new code
// (a parent candidate), 0 for one seen before.  A record seen before whose
// scaled copy (LevelStore::scaledcopy) the level holds is not written: a
// level, as a list of partners, needs one record of each set of records
// whose last rows differ by a scalar, and it keeps the first in search
// order, which is the one whose children come first.
//   split: blk is the last block index L - 1; one group per class (l, b),
//          l = 0..L-1, b = 0..q-1, with tables.remain[l][0][b] != 0, listing
//          tables.split[l][0..q-1][b];
//   simple: blk is the number of blocks L; group l lists tables.partner[l][0..q-1].
// Reads tables.remain, tables.split or tables.partner; raises tables.recno before the record,
// then lc: parents (new codes only), total and pending.  Returns false after a
// reported fault.
bool writelevelrecord(LevelStore& to, CodeStatus status, int blk, int q, StepMode mode, SplitTables& tables, LevelCount& lc);

// Parent reader: the next record of `from` at c into r; when its flag is not
// 0 its counts go to tables.remain[l][0][0..q-1], l = 0..B-1.  Same results as
// LevelStore::next.
int readparentrecord(const LevelStore& from, LevelStore::Cursor& c, LevelRecord& r, SplitTables& tables);

// Partner reader: as the parent reader, but the counts go to
// tables.partner[l][0..q-1], and r.simple is set.
int readpartnerrecord(const LevelStore& from, LevelStore::Cursor& c, LevelRecord& r, SplitTables& tables);
