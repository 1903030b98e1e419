// The memory a run keeps its levels and its canonical-form store in.
//
// Both live in memory while they fit a budget (by default 256 MiB for one
// run, or for one thread of a run on several cores); what grows beyond it
// spills to a file in the run's working folder.  The results do not depend
// on where the records live.
#pragma once
#include <cstdint>

#include "params/options.h"

// The bytes of memory a run may keep its levels and stores in before they
// spill to files.  Shared by the structures of one run (one thread).
class MemoryBudget {
   public:
    explicit MemoryBudget(uint64_t limit) : limit_(limit) {}
    // Takes `bytes` more; false (nothing taken) when they do not fit.
    bool take(uint64_t bytes) {
        if (used_ + bytes > limit_) return false;
        used_ += bytes;
        return true;
    }
    void give(uint64_t bytes) { used_ -= bytes < used_ ? bytes : used_; }
    uint64_t used() const { return used_; }
    uint64_t limit() const { return limit_; }

   private:
    uint64_t limit_;
    uint64_t used_ = 0;
};

// The default of --memory (MiB), from the option table.
constexpr uint64_t DEFAULT_BUDGET = (uint64_t)option(Opt::memory).def << 20;
