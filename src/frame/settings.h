// The settings file: the run parameters kept between program runs, one
// decimal integer per line, in `resdir`.  Read once at start-up (created with
// the defaults when missing), rewritten only when a run starts.
#pragma once
#include <string>

#include "containers/cons_str.h"

#define RES_DIR "res"

extern std::string resdir;        // RES_DIR followed by the directory separator
extern std::string settingspath;  // resdir followed by "settings"
// The private working folder of the run in progress (level files and the
// canonical-form store), followed by the directory separator; made fresh by
// the run driver inside resdir and removed when the run ends.
extern std::string workdir;

// Row 0 holds 0 at index 0 and wt[w] at index w = 1..n; refreshed by
// savesettings, read by the minimum-distance routines during a run.
extern bmat wtfilter;

// Fills `runpar` from the file, or creates the file with the defaults.
// Values outside the dialogue bounds fall back to their defaults (see README).
void loadsettings();
// Rewrites the file from `runpar` (a new file renamed over the old one) and
// refreshes `wtfilter`.  A file that cannot be written is reported in one
// line on stderr naming the file and the reason; the run goes on.
void savesettings();
// The default record: 24, 12, 8, 2, weights 8..24, bounds 800.
void setdefaults();
