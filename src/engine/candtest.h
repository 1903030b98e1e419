// The tests every complete candidate of the extension step must pass before
// it is given invariants: self-orthogonality (when asked for), the dual
// distance, and the minimum distance or the allowed weights.  They read the
// candidate in `colmap` (rows 1..cur_level, columns 1..cur_len).
#pragma once
#include "containers/cons_str.h"

// The engine's working matrices, released by the run driver before a run.
struct candrec {
    bmat cand;  // the candidate (or its distinct columns), fill = rows, spare = distance asked
    bmat dual;  // a generator matrix of the candidate's dual
    wmat gb;    // basis of the low-weight listing, q <= 4
    bmat gs;    // the same, q = 5, 7
};
extern candrec ct;

// Last row against the row above: even overlap (q = 2), overlap of the
// difference divisible by 4 (doubly even), Euclidean (q = 3) or Hermitian
// (q = 4) product 0; q = 5, 7 always pass.
int test_selforth();
// Dual distance: sets colmap.dualreq = cur_level - k + cur_dual and checks
// that the dual has no non-zero word of weight below it.
int test_dual();
// Minimum distance colmap.dreq, or, when weights are restricted, no codeword
// of a forbidden weight.
int test_dist();
// ct.cand := colmap rows 1..cur_level, columns 1..cur_len (unassigned
// entries of the last row as 0), fill = rows, spare = colmap.dreq.
void candfill();
// Releases the containers of `ct`.
void cand_release();
