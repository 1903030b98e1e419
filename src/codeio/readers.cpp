// CodeReader: the format's reader, with the checks every format shares
// (see readers.h and readimpl.h).
#include "codeio/readers.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <stdexcept>

#include "codeio/readimpl.h"
#include "field/field.h"

namespace {

// The reader of format f over the stream in.
std::unique_ptr<FormatReader> makereader(std::istream& in, Format f, int q) {
    switch (f) {
        case Format::result:
            return makeresultreader(in);
        case Format::plain:
            return makeplainreader(in, q);
        case Format::jsonl:
            return makejsonreader(in);
        default:
            return makealgebrareader(in, f);
    }
}

}  // namespace

// An export states the run's parameters in its opening comment, and every
// code in it is a code of that run: of the stated field, dimension and
// length (a result file's records are held to its header by its own
// reader, an h file's may be of lower dimension).
std::string CodeReader::heldtoheader(const CodeMatrix& c) const {
    if (format_ == Format::result || !impl_->hasheader) return "";
    const RunHeader& h = impl_->header;
    if (c.q != h.q)
        return "a code over GF(" + std::to_string(c.q) + ") in a file whose comment states q = " + std::to_string(h.q);
    if (c.k != h.k || c.n != h.n)
        return "a code of k = " + std::to_string(c.k) + ", n = " + std::to_string(c.n) +
               " in a file whose comment states k = " + std::to_string(h.k) + ", n = " + std::to_string(h.n);
    return "";
}

CodeReader::CodeReader(std::istream& in, Format f, int q) : impl_(makereader(in, f, q)), format_(f), q_(q) {}

CodeReader::CodeReader(std::unique_ptr<std::istream> in, Format f, int q)
    : owned_(std::move(in)), impl_(makereader(*owned_, f, q)), format_(f), q_(q) {}

CodeReader::~CodeReader() = default;

bool CodeReader::start() {
    if (started_) return impl_->err.empty();
    started_ = true;
    if (q_ != 0 && !fieldok(q_)) {
        impl_->err = "the field size " + std::to_string(q_) + " is not one of 2, 3, 4, 5, 7";
        return false;
    }
    try {
        return impl_->start();
    } catch (const std::exception& e) {  // the stream buffer's own failures (EIO)
        impl_->err = std::string("a read error: ") + e.what();
        return false;
    }
}

ReadStatus CodeReader::next(CodeMatrix& c, CodeFacts* facts) {
    if (!start()) return ReadStatus::error;
    if (!impl_->err.empty()) return ReadStatus::error;
    if (facts) *facts = CodeFacts();
    ReadStatus st;
    try {
        st = impl_->next(c, facts);
    } catch (const std::exception& e) {  // the stream buffer's own failures (EIO)
        impl_->err = "line " + std::to_string(impl_->codeline) + ": a read error: " + e.what();
        return ReadStatus::error;
    }
    if (st == ReadStatus::error && impl_->err.empty()) impl_->err = "line ?: unreadable input";
    if (st != ReadStatus::code) return st;
    std::string why = checkcode(c);
    if (why.empty() && q_ != 0 && c.q != q_)
        why = "a code over GF(" + std::to_string(c.q) + ") where GF(" + std::to_string(q_) + ") was expected";
    if (why.empty()) why = heldtoheader(c);
    if (!why.empty()) {
        impl_->err = "line " + std::to_string(impl_->codeline) + ": " + why;
        return ReadStatus::error;
    }
    return st;
}

const std::string& CodeReader::error() const { return impl_->err; }
long CodeReader::line() const { return impl_->codeline; }
const RunHeader* CodeReader::header() const { return impl_->hasheader ? &impl_->header : nullptr; }
const RunTrailer* CodeReader::trailer() const { return impl_->hastrailer ? &impl_->trailer : nullptr; }
const RecordLabel& CodeReader::label() const { return impl_->label; }
std::optional<bool> CodeReader::linear4() const { return impl_->linear4; }

std::unique_ptr<CodeReader> openreader(const std::string& path, Format f, int q, std::string& why) {
    // A folder opens as a file but fails at the first read, and the stream
    // buffer's calls the readers use throw on that: refuse it here.
    // A FIFO or a device is refused as well: opening a FIFO waits for a
    // writer, and a device such as /dev/zero never ends.
    struct stat st;
    if (stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) {
        why = "cannot open " + path + ": " + strerror(EISDIR);
        return nullptr;
    }
    if (stat(path.c_str(), &st) == 0 && !S_ISREG(st.st_mode)) {
        why = "cannot open " + path + ": not a regular file";
        return nullptr;
    }
    auto in = std::make_unique<std::ifstream>(path, std::ios::binary);
    if (!*in) {
        why = "cannot open " + path + ": " + strerror(errno);
        return nullptr;
    }
    return std::make_unique<CodeReader>(std::move(in), f, q);
}
