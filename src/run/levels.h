// Codes of dimension 1 and the depth-first search over the dimensions.  The
// codes of each level live in the level files sol.L and real_sol.L in the run's
// working folder.
#pragma once
#include <string>

// Builds the field tables of the run, empties the canonical-form store and
// writes every code of dimension 1 into sol.1 and its copy real_sol.1.
// Reads cur_q, cur_n, cur_k, cur_d and wt; writes cur_len, colmap, the level
// counters and the store.
void firstlevel();

// Extends every parent (flag-1 record) of real_sol.L with every partner of
// sol.L into sol.L+1, then descends to level L + 1 before the next parent.
// Returns at once at L = cur_k, and early when `runfault` is set.
void dimsearch(int L);

// workdir + "sol." + L, workdir + "real_sol." + L.
std::string solpath(int L);
std::string realsolpath(int L);
// Copies the file from to the file to, byte for byte; 0 after a reported fault.
int copyfile(const std::string& from, const std::string& to);
