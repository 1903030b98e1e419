// The working code of a run: a generator matrix in systematic layout (the
// free part in columns 1..n-k, the unit entry of row j in column n-k+j) with
// the working values that the search, the extension step, the invariants and
// the printers read.  Rows 1..19 and columns 1..799 are in use; row 0 is
// scratch.  A run owns one; it is handed on by reference.
#pragma once
#include <cstdint>

#include "containers/limits.h"

struct WorkingCode {
    int32_t m[MAXDIM][MAXLEN];
    int32_t cur_len, cur_level, cur_d, cur_q, cur_n, cur_k;
    int32_t dreq, cur_dual, dualreq;
};
