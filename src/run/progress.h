// The progress line of a run and its clock.
//
// The process clock is a system call, so it is read only on every 1024th
// step test; the line still comes at most once every 3000 ms of the run's
// processor time:
//     " BR=<codes>" with the parent candidates still waiting on each level,
//     " PS" with the partners still to be tried on each level, and
//     " RES" with the new codes per dimension.
#pragma once
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <mutex>
#include <thread>

#include "engine/records.h"
#include "run/resultfiles.h"

// Wall-clock milliseconds of the monotonic clock.
int64_t wallms();

// A line every three seconds of wall-clock time while something long runs
// in the calling thread (the split choice, the units of a part, a check of
// a file): a thread of its own calls `line` with the stream and the
// milliseconds since the ticker was made, until the ticker is destroyed.
// Nothing happens when `out` is null.
class Ticker {
   public:
    Ticker(FILE* out, std::function<void(FILE*, int64_t)> line);
    ~Ticker();
    Ticker(const Ticker&) = delete;
    Ticker& operator=(const Ticker&) = delete;

   private:
    const int64_t start_;
    std::mutex mu_;
    std::condition_variable cv_;
    bool done_ = false;
    std::thread thread_;
};

// Processor time of the calling thread in milliseconds (the run's own, also
// when other runs share the process).
int64_t clockms();

class Progress {
   public:
    explicit Progress(FILE* out) : out_(out) {}
    void start(int64_t now) { lastprint_ = now; }
    // One step test at dimension D; prints the line when it is due.
    void tick(int D, int k, int32_t codecount, const SearchCounts& rc, const HFileCounts& h);

   private:
    FILE* out_;
    uint32_t calls_ = 0;
    int64_t lastprint_ = 0;
};
