// One run of the construction, started by Start or by brute generation.
#pragma once
#include <cstdio>
#include <string>

// Performs the run described by `runpar` and the working copies; afterwards
// `codecount` holds the number of constructed codes.  A file fault stops the
// run early with `runfault` set.
void rundriver();
// Sets runpar.wtrestr: 1 when a weight from d to n that the construction
// does not already exclude is forbidden, so that candidates must have their
// whole weight spectrum checked rather than only their minimum distance.
void checkweights();
// Writes the header of the result and h files into fp.
void runheader(FILE* fp);
// The result file's name: n_k_d.q, with "b" in brute mode.
std::string resultname();
