// The dimension search of one classification: codes of dimension 1, then
// parent by parent, depth first, every extension up to dimension k.
//
// A `DimensionSearch` owns everything the search works with: the working
// code, the levels, the extension step and its engines (distance,
// invariants, labeller, canonical-form store) and the self-checks.  It knows
// nothing of result files, locks, working folders or signals: it reports
// every new code, every step (for a progress line) and every unit of a split
// run to one `SearchSink`, and the run that owns it decides where codes go.
// So the search can be driven and tested on its own; levels and store keep
// to memory unless a folder to spill into is given.
//
// A code of dimension 1 is described by the distribution of its free part
// over the field elements: z zeros and x non-zero entries spread over the
// q - 1 non-zero values.  The all-ones distribution is the parent candidate
// (flag 1); the other distributions serve as partners only (flag 0).  For
// each parent of level L all partners of level L are tried, their children
// go to level L + 1, and the search descends before the next parent, so a
// level holds the children of one parent at a time.
#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "engine/bounds.h"
#include "engine/extstep.h"
#include "engine/records.h"
#include "engine/selfcheck.h"
#include "fileio/fault.h"
#include "params/params.h"

// What a search tells the run that owns it: new codes and steps (StepSink),
// and the units of the split level.
class SearchSink : public StepSink {
   public:
    // Unit u (a parent of the split level, counted from 0 in search order)
    // is next: true when this search makes it.
    virtual bool unitbegins(uint64_t u) = 0;
    // Unit u is over, made (when unitbegins said so) or passed by.
    virtual void unitends(uint64_t u, bool made) = 0;
    // The split level L >= 2 is full with the children of one parent of
    // level L - 1 (a family), which `search` is about to take as units:
    // the sink may take it (move it away) to start from later (searchfamily).
    virtual void familyready(struct Family&) {}

   protected:
    ~SearchSink() = default;
};

// One family of the split level L >= 2: the codes of level L that are the
// children of one parent of level L - 1, with the rows 1..L-1 of the working
// code they extend.  All a search needs to make the family's units without
// walking the levels above it.
struct Family {
    int level = 0;
    uint64_t firstunit = 0;          // the number of its first unit
    uint32_t units = 0;              // its records with flag 1
    std::vector<uint8_t> rows;       // rows 1..level-1 over the free positions, row after row
    // The level records one after another: q, flag, running number (low
    // and high half), block count B, then B groups of q counts.
    std::vector<uint16_t> records;

    // Appends one record (and counts it as a unit when its flag is 1).
    void add(int q, bool parent, int runno, int nblk, const uint16_t* counts) {
        records.insert(records.end(), {(uint16_t)q, (uint16_t)parent, (uint16_t)((uint32_t)runno & 0xffff),
                                       (uint16_t)((uint32_t)runno >> 16), (uint16_t)nblk});
        records.insert(records.end(), counts, counts + (size_t)nblk * (size_t)q);
        units += parent;
    }
    // Of the record that starts at h: its running number, its length in entries.
    static int runno(const uint16_t* h) { return (int)((uint32_t)h[2] | (uint32_t)h[3] << 16); }
    static size_t length(const uint16_t* h) { return 5 + (size_t)h[0] * (size_t)h[4]; }
};

class DimensionSearch {
   public:
    // check: the self-check level (0: none).  The bounds, the fault mark, the
    // budget, the counters and the sink belong to the caller and outlive the
    // search.
    DimensionSearch(const RunParams& par, const LevelBounds& bounds, RunFault& fault, MemoryBudget& budget,
                    SearchCounts& rc, SearchSink& sink, int check);
    DimensionSearch(const DimensionSearch&) = delete;
    DimensionSearch& operator=(const DimensionSearch&) = delete;

    // The levels and the store spill into this folder (ending with the
    // separator) when the budget is spent.
    void spillto(const std::string& folder);
    // The whole search: clears the step's tables and the working code, makes
    // level 1, then extends to dimension k.  Parents of level `splitlevel`
    // (0: none) are units, announced to the sink.  Returns early when the
    // fault mark stops the run; closes the store either way.
    void search(int splitlevel = 0);
    // The units of one family (split level f.level >= 2) only, numbered from
    // f.firstunit and announced to the sink as `search` would: the working
    // code gets the family's rows, level f.level its records.  Closes the
    // store.
    void searchfamily(const Family& f);

    // The engines of the last new code, for the size of its class.
    // Codes whose class size needed a labelling of their own (GF(4)).
    uint64_t relabelled() const { return en_.sizes.relabelled; }
    const SelfCheck* selfcheck() const { return check_.get(); }

   private:
    void firstlevel();
    void printfirst(int z);
    template <class F>
    int fillrow(int row, F count, int nblk, int q);
    void partners(int L);
    void oneparent(int L, const LevelRecord& r);
    void dimsearch(int L);
    void startcode();
    void blankcode();
    void tellfamily(int L);

    const RunParams& par_;
    const LevelBounds& bounds_;
    RunFault& fault_;
    MemoryBudget& budget_;
    SearchCounts& rc_;
    SearchSink& sink_;
    SearchEngines en_;
    std::unique_ptr<SelfCheck> check_;
    ExtensionStep step_;
    LevelStore levels_[MAXDIM + 1];  // levels_[L]: the codes of level L
    int split_ = 0;                  // the split level (0: none)
    uint64_t units_ = 0;             // units of the split level met so far
    bool tell_ = false;              // families go to the sink (not when made from one)
};
