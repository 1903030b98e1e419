// One run of the construction, started by Start or by brute generation.
#pragma once
#include <cstdio>
#include <string>

// How a run ended: with its totals; stopped by a file fault (reported);
// stopped by SIGINT or SIGTERM (`runsignal` holds the signal); or refused
// because another run is writing the same result files (reported).
enum class runend { complete, stopped, interrupted, refused };

// Performs the run described by `runpar` and the working copies; afterwards
// `codecount` holds the number of constructed codes.  A file fault or a
// signal stops the run early; the result files then hold complete records
// and no totals, and the working folder is removed in every case.
runend rundriver();
// The same run without the lock, in the given working folder (ending with
// the directory separator), which is left in place: for tests of faults in
// the level files.
runend runinfolder(const std::string& folder);
// Sets runpar.wtrestr: 1 when a weight from d to n that the construction
// does not already exclude is forbidden, so that candidates must have their
// whole weight spectrum checked rather than only their minimum distance.
void checkweights();
// Writes the header of the result and h files into fp.
void runheader(FILE* fp);
// The result file's name: n_k_d.q, with "b" in brute mode.
std::string resultname();
