// A split run on every core: one part of a run (or the whole run, part 0 of
// 1) made by several threads at once, each a classifier of its own, with a
// progress line and a checkpoint to resume from.
#pragma once
#include <cstdint>
#include <cstdio>
#include <string>

#include "params/params.h"
#include "run/classifier.h"
#include "run/parts.h"

struct SplitRun {
    RunParams par{};
    std::string outdir;          // the part file goes there (with separator, "" = working folder)
    std::string resdir = "res/"; // the threads' working folders are made inside
    int part = 0, parts = 1;     // part I of M
    int jobs = 1;                // threads
    int split = 0;               // the split level; 0: chosen from the run itself
    bool resume = false;         // continue the part file from its checkpoint
    FILE* progress = nullptr;    // the progress line (null: none)
    uint64_t budget = DEFAULT_BUDGET;  // memory of each thread before its levels spill
};

// Where the levels above the split level came from: walked by the part
// itself, or once for all parts and threads (see skeleton.h), made by this
// one or read from the skeleton file.
enum class SkeletonUse { walked, made, read };

struct SplitResult {
    runend how = runend::stopped;
    std::string error;           // one line, when the part could not be made
    std::string partfile;
    bool already = false;        // --resume found the part complete: nothing was made
    bool choosing = false;       // stopped while it chose the split level
    int counted = 0;             // the levels whose units are counted and kept (see SplitChoice)
    int split = 0;
    uint64_t units = 0;          // units of the whole run at the split level, when counted
    bool unitsknown = true;      // they were counted (not so when the level was not chosen by counting)
    int threads = 0;             // the threads that made the part
    SkeletonUse skeleton = SkeletonUse::walked;
    double cpu = 0;              // processor seconds of the part, earlier runs included
};

// The split level for `parts` parts is the first level from 1 to k - 1
// with at least max(256, 64 * parts) units, or else the level with the
// most.  It depends on the run and the number of parts only, so every part
// finds the same one.  0 for k = 1.  The units of a level are counted by a
// walk of the levels above it; the counts are kept in the part's choice
// file as they come (parts.h), and --resume takes them from there.  A
// resumed part goes on at the level of its file, and a whole run on one
// thread splits at k - 1 without counting: it has nothing to share, and
// its checkpoints then come after every parent of dimension k - 1.

// Makes part `part` of `parts` into its part file, with `jobs` threads (no
// more than the part has units).  The progress line comes every three
// seconds, also while the split level is chosen.
SplitResult runsplit(const SplitRun& r);
