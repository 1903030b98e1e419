// The reader of plain matrices: codes from elsewhere, one generator matrix
// per block of non-blank lines, one row per line, one digit (0-9, A-F) per
// entry, spaces and tabs between the digits ignored, q from the caller or
// from the comment of the run's parameters that opens an export.  Lines
// starting with '#' are comments.
//
// A block ends at a blank line or at the end of the input; its first row
// fixes n, and every other row must have as many symbols.  Errors name the
// line and, for a symbol, the column in that line.
#include <cstring>

#include "codeio/readimpl.h"
#include "codeio/textin.h"

namespace {

class PlainReader : public FormatReader {
   public:
    PlainReader(std::istream& in, int q) : src_(in), q_(q) {}
    bool start() override { return true; }
    ReadStatus next(CodeMatrix& c, CodeFacts* facts) override;

   private:
    // Appends the symbols of the line src_.line() to row_; false with err
    // set on a symbol that is not an element of GF(q).
    bool symbols();

    bool runcomment();

    LineSource src_;
    int q_;
    bool started_ = false;  // a code was read
    std::vector<uint8_t> row_;
};

// True for the separators of a row: space and tab.
bool isspace_(char ch) { return ch == ' ' || ch == '\t'; }

// True when s holds nothing but separators.
bool blankline(const std::string& s) {
    for (char ch : s)
        if (!isspace_(ch)) return false;
    return true;
}

bool PlainReader::symbols() {
    row_.clear();
    const std::string& s = src_.line();
    for (size_t j = 0; j < s.size(); j++) {
        if (isspace_(s[j])) continue;
        int x = digitvalue(s[j]);
        if (x < 0)
            return fail(src_.number(), "column " + std::to_string(j + 1) + ": '" + excerpt(std::string(1, s[j])) +
                                           "' is not a symbol (0-9, A-F)");
        if (x >= q_)
            return fail(src_.number(), "column " + std::to_string(j + 1) + ": '" + std::string(1, s[j]) +
                                           "' is not an element of GF(" + std::to_string(q_) + ")");
        if (row_.size() == (size_t)CODEIO_MAXN)
            return fail(src_.number(), "a row longer than " + std::to_string(CODEIO_MAXN) + " symbols");
        row_.push_back((uint8_t)x);
    }
    return true;
}

// A line of a comment: '#' after spaces.
bool commentline(const std::string& s) {
    const size_t at = s.find_first_not_of(" \t");
    return at != std::string::npos && s[at] == '#';
}

// The run's parameters of a comment line "# talven: ..." before the first
// code (see runheader.h); false with err set when they do not read.
bool PlainReader::runcomment() {
    const std::string& s = src_.line();
    const size_t at = s.find_first_not_of(" \t#", s.find('#'));
    if (hasheader || started_ || at == std::string::npos || s.compare(at, strlen(COMMENT_MARK), COMMENT_MARK) != 0)
        return true;
    std::string why = parsewords(std::string_view(s).substr(at + strlen(COMMENT_MARK)), header);
    if (!why.empty()) return fail(src_.number(), "the comment of the run's parameters: " + why);
    hasheader = true;
    if (header.q == 4) linear4 = header.linear4;
    if (q_ == 0) q_ = header.q;
    if (q_ != header.q)
        return fail(src_.number(), "the comment names GF(" + std::to_string(header.q) + "), the codes are read over GF(" +
                                       std::to_string(q_) + ")");
    return true;
}

ReadStatus PlainReader::next(CodeMatrix& c, CodeFacts*) {
    bool got;
    for (;;) {
        got = src_.next();
        if (!got || !(blankline(src_.line()) || commentline(src_.line()))) break;
        if (commentline(src_.line()) && !runcomment()) return ReadStatus::error;
    }
    if (src_.toolong())
        return failed(src_.number(), "a line longer than " + std::to_string(LineSource::MAXLINE) + " characters");
    if (!got) return ReadStatus::end;
    if (q_ == 0) {
        err = "plain matrices need the field size q from the caller";
        return ReadStatus::error;
    }
    started_ = true;
    codeline = src_.number();
    c.q = q_;
    c.k = 0;
    c.a.clear();
    while (got && !blankline(src_.line())) {
        if (!symbols()) return ReadStatus::error;
        if (c.k == 0) {
            c.n = (int)row_.size();
        } else if (row_.size() != (size_t)c.n) {
            return failed(src_.number(), "row " + std::to_string(c.k + 1) + " of the block of line " +
                                             std::to_string(codeline) + " has " + std::to_string(row_.size()) +
                                             " symbols, row 1 has " + std::to_string(c.n));
        }
        if (c.k == CODEIO_MAXK)
            return failed(src_.number(), "the block of line " + std::to_string(codeline) + " has more than " +
                                             std::to_string(CODEIO_MAXK) + " rows");
        c.a.insert(c.a.end(), row_.begin(), row_.end());
        c.k++;
        got = src_.next();
    }
    if (src_.toolong())
        return failed(src_.number(), "a line longer than " + std::to_string(LineSource::MAXLINE) + " characters");
    if (c.k > c.n)
        return failed(codeline, "the block has " + std::to_string(c.k) + " rows of " + std::to_string(c.n) +
                                    " symbols: more rows than columns");
    return ReadStatus::code;
}

}  // namespace

std::unique_ptr<FormatReader> makeplainreader(std::istream& in, int q) { return std::make_unique<PlainReader>(in, q); }
