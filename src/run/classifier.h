// One classification: the owner of everything a run holds.
//
// A `Classifier` is made from the parameters of one run (a `RunParams`, see
// params.h) and owns the run's environment: the lock on its result name, the
// private working folder, the signals that stop it, the counters, the mass,
// and the route of its codes (the result files, or the segment in hand of a
// part of a split run).  The search itself is a `DimensionSearch` it owns and
// listens to.  Nothing of a run lives anywhere else (the field tables are
// shared and never change), so any number of classifications can run in one
// process, in threads of their own.
//
// The stages of a run, in order: lock the result name; make the working
// folder; search (codes of dimension 1, then parent by parent, depth first);
// write the totals; remove the folder.
#pragma once
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <utility>

#include "containers/code.h"
#include "engine/bounds.h"
#include "engine/dimsearch.h"
#include "fileio/fault.h"
#include "params/params.h"
#include "invariants/classsize.h"
#include "run/partrun.h"
#include "run/progress.h"
#include "run/resultfiles.h"
#include "run/skeleton.h"

struct RunOptions {
    std::string outdir;           // folder of the result files, with separator ("" = working directory)
    std::string resdir = "res/";  // the private working folder is made inside it
    FILE* console = stdout;       // totals, progress and stop messages (null: none)
    int check = -1;               // self-check level; -1: from TALVEN_CHECK
    bool signals = true;          // SIGINT and SIGTERM stop the run while it goes
    uint64_t budget = DEFAULT_BUDGET;  // memory for the levels and the store before they spill
    bool derived = true;          // false: no derived bounds and no early cuts (see engine/bounds.h)
    RowSearch rows = RowSearch::chosen;  // how the rows of a partner are made (see engine/bounds.h)
};

// How a run ended: with its totals; stopped by a file fault (reported);
// stopped by SIGINT or SIGTERM (`runsignal` holds the signal); or refused
// because another run is writing the same result files (reported).
enum class runend { complete, stopped, interrupted, refused };

class Classifier : private SearchSink {
   public:
    Classifier(const RunParams& par, const RunOptions& opt = RunOptions{});
    ~Classifier();
    Classifier(const Classifier&) = delete;
    Classifier& operator=(const Classifier&) = delete;

    // The whole run: the result files are locked against a second run with
    // the same name, the level files and the store live in a private folder
    // made fresh in opt.resdir and removed at the end, whatever the end was.
    runend run();
    // The same run without the lock, in the given working folder (ending
    // with the separator), which is left in place: for tests of faults in
    // the level files and of the first level.
    runend runinfolder(const std::string& folder);
    // One thread's share of a part of a split run (see partrun.h): walks the
    // whole search, makes the units it claims from `shared`, writes their
    // codes (and the skeleton's, when `skeleton`) as whole segments into the
    // part file, and adds its processor time to shared.cpu_ms.  With
    // shared.counting it makes no unit and writes nothing: unitsseen()
    // then counts the units of the split level.  No lock, no result files.
    runend runshare(PartShared& shared, bool skeleton);
    // The walk that keeps the skeleton (see skeleton.h): as runshare with
    // shared.counting, but the skeleton's segments and the families of the
    // split level (>= 2) go to `sk`.
    runend runskeleton(PartShared& shared, Skeleton& sk);
    // One thread's share of a part made from the skeleton `sk`: only the
    // families with a unit still to claim are searched; with `skeleton` the
    // thread writes the skeleton's segments from sk.
    runend runfromskeleton(PartShared& shared, const Skeleton& sk, bool skeleton);
    uint64_t unitsseen() const { return units_; }
    // What stopped the run, when a fault did.
    const std::string& stopmessage() const { return fault_.message(); }

    int32_t codecount() const { return out_.codecount; }
    // The mass of every dimension of the codes made so far (see classsize.h),
    // and how many of them needed a labelling of their own for it.
    const MassSums& mass() const { return sums_; }
    uint64_t relabelled() const { return search_.relabelled(); }
    const SelfCheck* selfcheck() const { return search_.selfcheck(); }
    const std::string& resultpath() const { return out_.respath; }
    const LevelBounds& bounds() const { return bounds_; }

   private:
    // SearchSink: a new code goes to the result files, or to the segment in
    // hand of a part; the size of its class to the mass.
    void newcode(const WorkingCode& code, const BigNat& size) override {
        sums_.add(code.level, size);
        if (shared_)
            seg_.newcode(code, size);
        else
            out_.newcode(code);
    }
    void progress(int D) override { prog_.tick(D, par_.k, out_.codecount, rc_, out_.counts()); }
    bool unitbegins(uint64_t u) override;
    void unitends(uint64_t u, bool made) override;
    void familyready(Family& f) override {
        if (keep_) keep_->families.push_back(std::move(f));
    }

    int64_t prepare();
    runend outcome() const;
    void construct(int64_t start);
    int lockresults();
    bool makeworkdir();
    void removeworkdir();
    void reportchecks() const;
    bool endskeleton();
    template <class F>
    runend shareof(PartShared& shared, bool buffer, F walk);
    void walkall();

    RunParams par_;
    RunOptions opt_;
    RunFault fault_;
    MemoryBudget budget_;
    LevelBounds bounds_;
    SearchCounts rc_{};
    ResultFiles out_;
    Progress prog_;
    MassSums sums_;
    DimensionSearch search_;
    std::string workdir_;
    // A part of a split run: the shared state, the segment in hand, the
    // units walked so far, whether this thread writes the skeleton.
    PartShared* shared_ = nullptr;
    SegmentSink seg_;
    uint64_t units_ = 0;
    uint64_t segment_ = 0;
    bool skeleton_ = false;
    Skeleton* keep_ = nullptr;   // the skeleton being kept (runskeleton)
    bool fromskeleton_ = false;  // the part is made from a kept skeleton
};
