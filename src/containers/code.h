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
    int32_t len;      // the columns in use: the current length
    int32_t level;    // the rows in use: the dimension of the code in hand
    int32_t d, q;     // the run's minimum distance and field
    int32_t n, k;     // the run's length and dimension
    int32_t dreq;     // the minimum distance the distance test asks
    int32_t dual;     // the run's dual distance
    int32_t dualreq;  // the dual distance asked of the code in hand
};
