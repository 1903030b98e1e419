// The progress line of a run and its clock.
//
// The process clock is a system call, so it is read only on every 1024th
// step test; the line still comes at most once every 3000 ms of the run's
// processor time:
//     " BR=<codes>" with the parent candidates still waiting on each level,
//     " PS" with the partners still to be tried on each level, and
//     " RES" with the new codes per dimension.
#pragma once
#include <cstdint>
#include <cstdio>

#include "engine/records.h"

// Processor time of the calling thread in milliseconds (the run's own, also
// when other runs share the process).
int64_t clockms();

class Progress {
   public:
    explicit Progress(FILE* out) : out_(out) {}
    void start(int64_t now) { lastprint_ = now; }
    // One step test at dimension D; prints the line when it is due.
    void tick(int D, int k, int32_t codecount, const runcounters& rc);

   private:
    FILE* out_;
    uint32_t calls_ = 0;
    int64_t lastprint_ = 0;
};
