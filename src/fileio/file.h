// An open stream that closes itself.
//
// Every stream the program opens is held by a `File`, so no path out of a
// function or object (an early return, a fault, an exception of the
// standard library) leaves a stream open.  Closing on destruction reports
// nothing: an orderly close goes through `chkclose` (checked.h), which
// reports a failing close naming the file.  The stdio calls take the handle
// as they take a FILE*; the conversion is refused on a temporary handle, whose
// stream would be closed at the end of the statement.
#pragma once
#include <cstdio>
#include <utility>

class File {
public:
    File() = default;
    explicit File(FILE* fp) : fp_(fp) {}
    ~File() { reset(); }
    File(const File&) = delete;
    File& operator=(const File&) = delete;
    File(File&& o) noexcept : fp_(std::exchange(o.fp_, nullptr)) {}
    File& operator=(File&& o) noexcept {
        if (this != &o) reset(std::exchange(o.fp_, nullptr));
        return *this;
    }

    // Closes the stream held (unchecked) and holds fp instead.
    void reset(FILE* fp = nullptr) {
        if (fp_ != nullptr) fclose(fp_);
        fp_ = fp;
    }
    // Gives the stream up without closing it.
    FILE* release() { return std::exchange(fp_, nullptr); }
    FILE* get() const { return fp_; }
    operator FILE*() const& { return fp_; }
    operator FILE*() const&& = delete;

private:
    FILE* fp_ = nullptr;
};
