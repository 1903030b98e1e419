// The extension step: from one parent code of dimension D - 1 and one partner
// of the same level, enumerate every new row, test each candidate, decide
// whether it is a new code, and write its level record.
//
// The step owns its tables (`tables`) and the candidate tests; everything else it
// works with belongs to the search and is handed in: the parameters and
// bounds, the working code and the engines (`SearchEngines`), the level
// counters and the fault mark.  What the run does with a new code (print it)
// and with the passing time (a progress line) it is told through a
// `StepSink`.
#pragma once
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "canon/canon.h"
#include "containers/code.h"
#include "containers/hashindex.h"
#include "distance/dist.h"
#include "engine/bounds.h"
#include "engine/candtest.h"
#include "engine/records.h"
#include "engine/rowcuts.h"
#include "engine/rowlattice.h"
#include "engine/store.h"
#include "engine/tables.h"
#include "fileio/fault.h"
#include "invariants/classsize.h"
#include "invariants/colinv.h"
#include "params/params.h"

class SelfCheck;

// What the step tells the run.
class StepSink {
   public:
    // A new code of the current dimension is in the working code; `size`
    // is the size of its class (see classsize.h).
    virtual void newcode(const WorkingCode& code, const BigNat& size) = 0;
    // Called at every step test: the run may print a progress line.
    virtual void progress(int D) = 0;

   protected:
    ~StepSink() = default;
};

// The working code and the engines of one search, which the extension step
// works with: the parent in rows 1..D-1 of `code`, the candidate row in row
// D; the distance engine, the invariants, the labeller and the store of the
// canonical forms of the current parent's children; the class sizes of the
// new codes, from their labelling.
struct SearchEngines {
    SearchEngines(const RunParams& par, RunFault& fault, MemoryBudget* budget)
        : store(fault, STORE_BUCKETS, budget), sizes(par) {}
    WorkingCode code{};
    DistEngine dist;
    ColumnInvariants inv;
    Labeller lab;
    CanonStore store;
    ClassSizer sizes;
};

// What stays fixed while the rows of one partner are made.
struct PartnerWalk {
    int propbound;  // bound on one class of the new code (the proportional bound)
    int zerocap;    // bound on the zero columns of the new code
    int q;
    int D;          // the dimension of the children
    LevelStore* out;  // their level
};

class ExtensionStep {
   public:
    ExtensionStep(const RunParams& par, const LevelBounds& bounds, SearchEngines& en, SearchCounts& rc,
                  RunFault& fault, StepSink& sink);
    ExtensionStep(const ExtensionStep&) = delete;
    ExtensionStep& operator=(const ExtensionStep&) = delete;

    // Clears the tables (see cleartables).
    void reset() { cleartables(tables); }
    // The run's self-checks (null: none).
    void setcheck(SelfCheck* check) { check_ = check; }

    // A new parent of dimension D - 1 with nblk blocks is in the working
    // code and in tables.remain[.][0]: the weight bounds of its rows (RowCuts).
    void newparent(int D, int nblk);
    // Row enumeration of one partner: the partner's amounts tables.partner[l][i]
    // are handed out to the classes (l, b) of the parent, largest share of
    // class 0 first, each share bounded by min(what the class has left,
    // w.propbound) (the zero columns by w.zerocap), and the step test runs
    // after every completed pair (l, i).  A partner, or a partial split,
    // whose codes can have no allowed weights is left at once (RowCuts).
    // Reads tables.remain[.][0] and tables.partner; every tables.split entry it touches
    // is 0 again on return, and tables.cut is false.
    void extend(const PartnerWalk& w);
    // A simple extension: the working code's row w.D already holds the new
    // row, made from a partner of nblk blocks; tests it like any other.
    void extendsimple(const PartnerWalk& w, int nblk);

    SplitTables tables;
    CandidateTests tests;
    RowCuts cuts;
    RowLattice lattice;

   private:
    void rowenum(int amount, int b, int i, int l, int nn);
    void pairtables(int l, int i);
    bool nextpair(int& l, int& i) const;
    void afterpair(int i, int l, int nn);
    void steptest(int i, int l, int lastl, int nn, StepMode mode);
    void decide(int lastl, StepMode mode);
    bool latticeturn();
    void timed(bool lattice, uint64_t spent);  // spent: ticks of the cost clock
    void latticerow();
    int buildnewrow(int nfree);
    bool brutecut(int D);
    void placerow(int D);
    bool passestests();
    bool redundant() const;
    bool siblingseen();
    void siblingpassed();
    void invariants();
    CodeStatus newornot();

    const RunParams& par_;
    const LevelBounds& bounds_;
    WorkingCode& code_;
    SearchCounts& rc_;
    RunFault& fault_;
    DistEngine& dist_;
    ColumnInvariants& inv_;
    Labeller& lab_;
    CanonStore& store_;
    ClassSizer& sizes_;
    StepSink& sink_;
    SelfCheck* check_;
    PartnerWalk walk_{};
    int zeroblk_ = -1;     // the parent's block of columns zero in rows 1..D-2, or -1
    // The keys of the candidates of the current parent that passed their
    // tests (siblingseen), one after another, and their index; the key of
    // the candidate in hand.  Grow-only.
    std::vector<uint16_t> keys_, key_;
    HashIndex keyindex_;
    uint64_t keyhash_ = 0;
    bool keyson_ = false;  // the parent has zero columns (q > 2, derived bounds, no brute generation)
    // The time the two row searches took per dimension (0: enumeration,
    // 1: lattice), and which one is in use.
    struct pathtally {
        double time[2] = {0, 0};
        uint32_t count[2] = {0, 0};
        uint32_t turn = 0, every = 64;  // partners since the last trial of the other one, and between trials
        bool lattice = true;
    };
    pathtally paths_[MAXDIM];
    // The lattice search of the current parent: not used, not built yet, built.
    enum class Lattice : uint8_t { unused, unbuilt, built };
    Lattice latticestate_ = Lattice::unused;
    int parentblocks_ = 0;  // the current parent's blocks
    uint32_t ticks_ = 0;    // choices of the lattice search, for the progress lines and the stop
    bool weighed_ = false;  // the candidate's weights were judged by `cuts`
    // The candidate's distinct columns (the code the second invariant pass
    // lists words of) and the bases of that listing (q <= 4, q = 5, 7).
    ByteMatrix points_;
    PlaneMatrix pointbasis_;
    ByteMatrix pointbasisb_;
};
