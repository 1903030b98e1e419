// The program's owned heap buffers: grow-only arrays and matrices that free
// themselves.
//
// The matrices keep rows 0..rows, each addressed -1..cols, so that row 0 and
// entries -1 and 0 serve as scratch (a weight, a pivot, a mask); the hot
// loops index the row pointers `a` (and `b`) directly.  Those pointers are
// views: the storage is held by standard vectors inside the owner.  The rows
// live in one zeroed block per matrix; `grow` adds a further block for the
// new rows, so a row never moves once made and callers may reorder the row
// pointers themselves.  `ensure` keeps the storage (and its contents)
// whenever the wanted size fits, which is what lets the enumeration and
// search code reuse buffers without allocating; a size that does not fit
// gets fresh, zeroed storage of exactly that size.  Every block is asked
// for twice (`freshblock`); a second refusal ends in `zfail` ("containers")
// with a message naming what could not be made.  The types are move-only.
#pragma once
#include <cstddef>
#include <cstdint>
#include <new>
#include <type_traits>
#include <utility>
#include <vector>

#include "containers/zassert.h"

// Test seam: while above 0, every request for a block is refused (counted
// down one attempt at a time), as if the heap were exhausted.
extern int failinject;

// v := fresh zeroed storage of n entries (at least 1), the old storage
// released first; asked for twice, and on the second refusal
// zfail("containers", line, what).
template <class T>
void freshblock(std::vector<T>& v, size_t n, const char* what, int line) {
    std::vector<T>().swap(v);
    for (int attempt = 0; attempt < 2; attempt++) {
        if (failinject > 0) {
            failinject--;
            continue;
        }
        try {
            v.resize(n ? n : 1);
            return;
        } catch (const std::bad_alloc&) {
            std::vector<T>().swap(v);
        }
    }
    zfail("containers", line, what);
}

// ---- arrays -----------------------------------------------------------------

// A grow-only array of trivially copyable entries 0..capacity-1.
template <class T>
class Buffer {
    static_assert(std::is_trivially_copyable_v<T>, "a Buffer holds plain values");

public:
    Buffer() = default;
    Buffer(Buffer&& o) noexcept
        : v_(std::move(o.v_)), p_(std::exchange(o.p_, nullptr)), cap_(std::exchange(o.cap_, 0)) {}
    Buffer& operator=(Buffer&& o) noexcept {
        if (this != &o) {
            v_ = std::move(o.v_);
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
        freshblock(v_, n, what, __LINE__);
        p_ = v_.data();
        cap_ = n;
    }
    void release() {
        std::vector<T>().swap(v_);
        p_ = nullptr;
        cap_ = 0;
    }
    T* data() const { return p_; }
    T& operator[](size_t i) const { return p_[i]; }
    size_t capacity() const { return cap_; }
    bool allocated() const { return p_ != nullptr; }

private:
    std::vector<T> v_;
    T* p_ = nullptr;  // v_.data(), writable through a const Buffer
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
    void reserve(size_t count, const char* what) {
        what_ = what;
        made_ = 0;
        freshblock(blocks_, count, what, __LINE__);
    }
    // A fresh zeroed array of n entries.
    T* add(size_t n) {
        TALVEN_ASSERT("containers", made_ < blocks_.size(), "no array beyond the reserved count");
        std::vector<T>& b = blocks_[made_++];
        freshblock(b, n, what_, __LINE__);
        return b.data();
    }
    void release() {
        blocks_.clear();
        made_ = 0;
    }

private:
    std::vector<std::vector<T>> blocks_;
    size_t made_ = 0;
    const char* what_ = "no memory for an array";
};

// ---- row storage --------------------------------------------------------------

// Rows 0..caprows of entries -1..capcols, each block of rows a vector of its
// own behind a vector of row pointers; `make` gives one block, `addrows` one
// more for the new rows only.
template <class T>
class RowStore {
public:
    RowStore() = default;
    RowStore(RowStore&& o) noexcept { take(o); }
    RowStore& operator=(RowStore&& o) noexcept {
        if (this != &o) take(o);
        return *this;
    }
    // Fresh zeroed rows 0..rows of entries -1..cols (the old ones released).
    void make(int rows, int cols, const char* what) {
        release();
        freshblock(rowptr_, (size_t)rows + 1, what, __LINE__);
        row = rowptr_.data();
        capcols_ = cols;
        carve(0, rows, what);
        caprows_ = rows;
    }
    // Rows caprows+1..newcap added (zeroed); the rows there stay where they are.
    void addrows(int newcap, const char* what) {
        std::vector<T*> na;
        freshblock(na, (size_t)newcap + 1, what, __LINE__);
        for (int r = 0; r <= caprows_; r++) na[(size_t)r] = row[r];
        rowptr_.swap(na);
        row = rowptr_.data();
        carve(caprows_ + 1, newcap, what);
        caprows_ = newcap;
    }
    void release() {
        blocks_.clear();
        std::vector<T*>().swap(rowptr_);
        row = nullptr;
        caprows_ = capcols_ = 0;
    }
    bool allocated() const { return row != nullptr; }
    int caprows() const { return caprows_; }
    int capcols() const { return capcols_; }

    T** row = nullptr;   // row pointers (a view of rowptr_); each points at entry 0

private:
    struct alignas(16) Chunk {  // rows start 16-byte aligned
        unsigned char bytes[16];
    };
    std::vector<std::vector<Chunk>> blocks_;
    std::vector<T*> rowptr_;
    int caprows_ = 0, capcols_ = 0;

    // Rows from..to in one new block.
    void carve(int from, int to, const char* what) {
        const size_t stride = (sizeof(T) * (size_t)(capcols_ + 2) + 15) / 16;  // chunks a row
        blocks_.emplace_back();
        freshblock(blocks_.back(), stride * (size_t)(to - from + 1), what, __LINE__);
        Chunk* blk = blocks_.back().data();
        for (int r = from; r <= to; r++) row[r] = reinterpret_cast<T*>(blk + stride * (size_t)(r - from)) + 1;
    }
    void take(RowStore& o) {
        blocks_ = std::move(o.blocks_);
        rowptr_ = std::move(o.rowptr_);
        row = std::exchange(o.row, nullptr);
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
