// The owned heap buffers (see containers.h): the test seam of the one
// allocation routine and the matrix operations that are not templates.  New blocks are zeroed so
// that fresh storage never holds stale bytes; reused storage is not cleared
// (callers overwrite what they use).
#include "containers/containers.h"


// ---- allocation -------------------------------------------------------------

int failinject = 0;

// ---- byte matrix ------------------------------------------------------------

void ByteMatrix::take(ByteMatrix& o) {
    store_ = std::move(o.store_);
    a = std::exchange(o.a, nullptr);
    rows = std::exchange(o.rows, 0);
    cols = std::exchange(o.cols, 0);
    q = std::exchange(o.q, 0);
    used = std::exchange(o.used, 0);
    dreq = std::exchange(o.dreq, 0);
}

void ByteMatrix::remake(int nrows, int ncols) {
    store_.make(nrows, ncols, "no memory for a byte matrix");
    a = store_.row;
}

void ByteMatrix::grow(int need) {
    int cap = store_.caprows();
    if (need <= cap) return;
    int newcap = cap;
    while (need > newcap) newcap += 10000;
    store_.addrows(newcap, "no memory for more rows of a byte matrix");
    a = store_.row;
    rows += newcap - cap;
}

void ByteMatrix::release() {
    store_.release();
    a = nullptr;
    rows = cols = q = used = dreq = 0;
}

// ---- bit-plane matrix ---------------------------------------------------------

void PlaneMatrix::take(PlaneMatrix& o) {
    pa_ = std::move(o.pa_);
    pb_ = std::move(o.pb_);
    a = std::exchange(o.a, nullptr);
    b = std::exchange(o.b, nullptr);
    rows = std::exchange(o.rows, 0);
    cols = std::exchange(o.cols, 0);
    q = std::exchange(o.q, 0);
    used = std::exchange(o.used, 0);
}

void PlaneMatrix::remake(int nrows, int ncols) {
    pa_.make(nrows, ncols, "no memory for a bit-plane matrix");
    pb_.make(nrows, ncols, "no memory for a bit-plane matrix");
    a = pa_.row;
    b = pb_.row;
}

void PlaneMatrix::grow(int need) {
    int cap = pa_.caprows();
    if (need <= cap) return;
    int newcap = cap;
    while (need > newcap) newcap += 100;
    pa_.addrows(newcap, "no memory for more rows of a bit-plane matrix");
    pb_.addrows(newcap, "no memory for more rows of a bit-plane matrix");
    a = pa_.row;
    b = pb_.row;
    rows += newcap - cap;
}

void PlaneMatrix::release() {
    pa_.release();
    pb_.release();
    a = b = nullptr;
    rows = cols = q = used = 0;
}
