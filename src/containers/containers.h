// The program's owned heap buffers: grow-only arrays and matrices that free
// themselves.
//
// The matrices keep rows 0..rows, each addressed -1..cols, so that row 0 and
// entries -1 and 0 serve as scratch (a weight, a pivot, a mask); the hot
// loops index the row pointers `a` (and `b`) directly, exactly as before.
// The rows live in one zeroed block per matrix behind a block of row
// pointers; `grow` adds a further block for the new rows, so a row never
// moves once made and callers may reorder the row pointers themselves.
// `ensure` keeps the storage (and its contents) whenever the wanted size
// fits, which is what lets the enumeration and search code reuse buffers
// without allocating; a size that does not fit gets fresh, zeroed storage of
// exactly that size.  Every block comes from `cs_alloc` (calloc underneath,
// tried twice); a second refusal ends in `zfail` ("containers") with a
// message naming what could not be made.  The types are move-only.
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <new>
#include <type_traits>
#include <utility>
#include <vector>

#include "containers/zassert.h"

// One zeroed heap block, requested twice; on the second failure
// zfail("containers", line, what).  Never returns null.
void* cs_alloc(size_t bytes, const char* what, int line);
// The same two attempts, but null is returned instead of stopping.
void* cs_tryalloc(size_t bytes);

// ---- arrays -----------------------------------------------------------------

// A grow-only array of trivially copyable entries 0..capacity-1.
template <class T>
class Buffer {
    static_assert(std::is_trivially_copyable_v<T>, "a Buffer holds plain values");

public:
    Buffer() = default;
    ~Buffer() { release(); }
    Buffer(Buffer&& o) noexcept : p_(std::exchange(o.p_, nullptr)), cap_(std::exchange(o.cap_, 0)) {}
    Buffer& operator=(Buffer&& o) noexcept {
        if (this != &o) {
            release();
            p_ = std::exchange(o.p_, nullptr);
            cap_ = std::exchange(o.cap_, 0);
        }
        return *this;
    }
    // At least n entries: kept (contents too) when n fits, else fresh and
    // zeroed (`what` names them if the memory runs out).
    void ensure(size_t n, const char* what = "no memory for an array") {
        if (p_ && n <= cap_) return;
        release();
        p_ = static_cast<T*>(cs_alloc(sizeof(T) * (n ? n : 1), what, __LINE__));
        cap_ = n;
    }
    void release() {
        free(p_);
        p_ = nullptr;
        cap_ = 0;
    }
    T* data() const { return p_; }
    T& operator[](size_t i) const { return p_[i]; }
    size_t capacity() const { return cap_; }
    bool allocated() const { return p_ != nullptr; }

private:
    T* p_ = nullptr;
    size_t cap_ = 0;
};

// Separate zeroed arrays of T, made together and released together: a heap
// block each, so that the address sanitizer sees the end of every array.
// `reserve` releases what was made and makes room for `count` arrays; `add`
// makes the next one (stopping in zfail, with `what`, when the memory runs
// out).
template <class T>
class ArraySet {
    static_assert(std::is_trivially_copyable_v<T>, "an ArraySet holds plain values");

public:
    ArraySet() = default;
    ~ArraySet() { release(); }
    ArraySet(ArraySet&& o) noexcept : blocks_(std::move(o.blocks_)), made_(std::exchange(o.made_, 0)), what_(o.what_) {}
    ArraySet& operator=(ArraySet&& o) noexcept {
        if (this != &o) {
            release();
            blocks_ = std::move(o.blocks_);
            made_ = std::exchange(o.made_, 0);
            what_ = o.what_;
        }
        return *this;
    }
    void reserve(size_t count, const char* what) {
        release();
        blocks_.ensure(count);
        what_ = what;
    }
    // A fresh zeroed array of n entries.
    T* add(size_t n) {
        TALVEN_ASSERT("containers", made_ < blocks_.capacity(), "no array beyond the reserved count");
        T* p = static_cast<T*>(cs_alloc(sizeof(T) * (n ? n : 1), what_, __LINE__));
        blocks_[made_++] = p;
        return p;
    }
    void release() {
        for (size_t i = 0; i < made_; i++) free(blocks_[i]);
        made_ = 0;
    }

private:
    Buffer<T*> blocks_;
    size_t made_ = 0;
    const char* what_ = "no memory for an array";
};

// ---- row storage --------------------------------------------------------------

// Rows 0..caprows of entries -1..capcols behind a block of row pointers.
// The rows are carved from blocks chained through their first bytes; `make`
// gives one block, `addrows` one more for the new rows only.
template <class T>
class RowStore {
public:
    RowStore() = default;
    ~RowStore() { release(); }
    RowStore(RowStore&& o) noexcept { take(o); }
    RowStore& operator=(RowStore&& o) noexcept {
        if (this != &o) {
            release();
            take(o);
        }
        return *this;
    }
    // Fresh zeroed rows 0..rows of entries -1..cols (the old ones released).
    void make(int rows, int cols, const char* what) {
        release();
        row = static_cast<T**>(cs_alloc(sizeof(T*) * (size_t)(rows + 1), what, __LINE__));
        capcols_ = cols;
        carve(0, rows, what);
        caprows_ = rows;
    }
    // Rows caprows+1..newcap added (zeroed); the rows there stay where they are.
    void addrows(int newcap, const char* what) {
        T** na = static_cast<T**>(cs_alloc(sizeof(T*) * (size_t)(newcap + 1), what, __LINE__));
        for (int r = 0; r <= caprows_; r++) na[r] = row[r];
        free(row);
        row = na;
        carve(caprows_ + 1, newcap, what);
        caprows_ = newcap;
    }
    void release() {
        while (blocks_) {
            void* prev = *static_cast<void**>(blocks_);
            free(blocks_);
            blocks_ = prev;
        }
        free(row);
        row = nullptr;
        caprows_ = capcols_ = 0;
    }
    bool allocated() const { return row != nullptr; }
    int caprows() const { return caprows_; }
    int capcols() const { return capcols_; }

    T** row = nullptr;   // row pointers; each points at entry 0

private:
    static constexpr size_t HEAD = 16;   // the chain link, keeping rows 16-byte aligned
    void* blocks_ = nullptr;
    int caprows_ = 0, capcols_ = 0;

    // Rows from..to in one new block.
    void carve(int from, int to, const char* what) {
        const size_t stride = (sizeof(T) * (size_t)(capcols_ + 2) + 15) / 16 * 16;
        char* blk = static_cast<char*>(cs_alloc(HEAD + stride * (size_t)(to - from + 1), what, __LINE__));
        *reinterpret_cast<void**>(blk) = blocks_;
        blocks_ = blk;
        for (int r = from; r <= to; r++) row[r] = reinterpret_cast<T*>(blk + HEAD + stride * (size_t)(r - from)) + 1;
    }
    void take(RowStore& o) {
        row = std::exchange(o.row, nullptr);
        blocks_ = std::exchange(o.blocks_, nullptr);
        caprows_ = std::exchange(o.caprows_, 0);
        capcols_ = std::exchange(o.capcols_, 0);
    }
};

// ---- matrices -----------------------------------------------------------------

// Byte matrix: field elements or flags, a[r][-1..cols], r = 0..rows.
class ByteMatrix {
public:
    uint8_t** a = nullptr;   // the row pointers
    int rows = 0, cols = 0;  // in use
    int q = 0;               // the field of the entries
    int used = 0;            // rows 1..used hold the matrix proper (its rank, where the maker says so)
    int dreq = 0;            // the minimum distance asked of the code it generates

    ByteMatrix() = default;
    ByteMatrix(ByteMatrix&& o) noexcept { take(o); }
    ByteMatrix& operator=(ByteMatrix&& o) noexcept {
        if (this != &o) take(o);
        return *this;
    }
    // rows x cols over GF(q): the storage is kept when it fits (contents
    // too), else made afresh, zeroed, at exactly this size.
    void ensure(int nrows, int ncols, int nq) {
        if (!store_.allocated() || nrows > store_.caprows() || ncols > store_.capcols()) remake(nrows, ncols);
        rows = nrows;
        cols = ncols;
        q = nq;
    }
    // When need > caprows: 10000 rows added (as often as needed), the
    // existing rows kept; rows grows by as many.
    void grow(int need);
    void release();
    bool allocated() const { return store_.allocated(); }
    int caprows() const { return store_.caprows(); }
    int capcols() const { return store_.capcols(); }

private:
    RowStore<uint8_t> store_;
    void take(ByteMatrix& o);
    void remake(int nrows, int ncols);
};

// Bit-plane matrix: two planes of 64-bit words, a[r][-1..cols] and
// b[r][-1..cols], r = 0..rows; cols counts words.
class PlaneMatrix {
public:
    uint64_t** a = nullptr;  // plane a rows
    uint64_t** b = nullptr;  // plane b rows
    int rows = 0, cols = 0;  // in use; cols in words
    int q = 0;               // the field the planes encode
    int used = 0;            // rows 1..used hold the matrix proper

    PlaneMatrix() = default;
    PlaneMatrix(PlaneMatrix&& o) noexcept { take(o); }
    PlaneMatrix& operator=(PlaneMatrix&& o) noexcept {
        if (this != &o) take(o);
        return *this;
    }
    void ensure(int nrows, int ncols, int nq) {   // as ByteMatrix::ensure
        if (!pa_.allocated() || nrows > pa_.caprows() || ncols > pa_.capcols()) remake(nrows, ncols);
        rows = nrows;
        cols = ncols;
        q = nq;
    }
    // When need > caprows: 100 rows added (as often as needed), the
    // existing rows kept; rows grows by as many.
    void grow(int need);
    void release();
    bool allocated() const { return pa_.allocated(); }
    int caprows() const { return pa_.caprows(); }
    int capcols() const { return pa_.capcols(); }

private:
    RowStore<uint64_t> pa_, pb_;
    void take(PlaneMatrix& o);
    void remake(int nrows, int ncols);
};

// Matrices addressed -1..count-1, all of one shape.
template <class M>
class MatrixSet {
public:
    // count + 1 matrices of rows x cols: kept when every one fits (each then
    // takes the new shape and used 0), else all made afresh.
    void ensure(int rows, int cols, int q, int count) {
        bool fits = !m_.empty() && (size_t)count + 1 <= m_.size();
        for (size_t i = 0; fits && i < m_.size(); i++)
            fits = m_[i].allocated() && rows <= m_[i].caprows() && cols <= m_[i].capcols();
        if (!fits) {
            m_.clear();
            try {
                m_.resize((size_t)count + 1);
            } catch (const std::bad_alloc&) {
                zfail("containers", __LINE__, "no memory for a set of matrices");
            }
        }
        for (int i = 0; i <= count; i++) {
            m_[(size_t)i].ensure(rows, cols, q);
            m_[(size_t)i].used = 0;
        }
        count_ = count;
    }
    void release() {
        m_.clear();
        count_ = 0;
    }
    M& operator[](int i) { return m_[(size_t)(i + 1)]; }
    const M& operator[](int i) const { return m_[(size_t)(i + 1)]; }
    int count() const { return count_; }
    bool allocated() const { return !m_.empty(); }

private:
    std::vector<M> m_;
    int count_ = 0;
};
