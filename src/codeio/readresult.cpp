// The reader of the program's own files: the result file (records
// "?k n q number") and the h file (records "?k n q number overall"), with
// the header and the trailer the run stage prints around them.
//
// The reader goes line by line.  The header's lines come in a fixed order
// and each is parsed by the functions of runheader.h; then every non-blank
// line must be a record header, with exactly k rows of n symbols after it,
// or the " RES" line, which must be followed by the elapsed time and
// nothing else.  The records are checked against the header (the same q;
// in a result file the same k and n, in an h file at most k rows), and the
// kind of the first record header fixes the kind of the others.  A file
// that ends between records has no trailer (a stopped run, or one still
// going): that is not an error, and trailer() tells it apart.
#include <string_view>

#include "codeio/readimpl.h"
#include "codeio/textin.h"
#include "field/field.h"

namespace {

// s without the spaces and tabs at its two ends.
std::string_view trimmed(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
    return s;
}

// True when s holds nothing but spaces and tabs.
bool blank(std::string_view s) { return trimmed(s).empty(); }

class ResultReader : public FormatReader {
   public:
    explicit ResultReader(std::istream& in) : src_(in) {}
    bool start() override;
    ReadStatus next(CodeMatrix& c, CodeFacts* facts) override;

   private:
    // The next line into src_.line() (the held-back line first); `got`
    // false at the end of the input.  False after an error (a line too long).
    bool getline(bool& got);
    // The same, skipping blank lines.
    bool getfilled(bool& got);
    // The record whose header is src_.line(), with its rows, into c and
    // label; false with err set.
    bool record(CodeMatrix& c);
    // The trailer from its " RES" line (src_.line()) to the end of the
    // input, into trailer; false with err set.
    bool readtrailer();
    // True when got; else an error for a header that ends before `what`.
    bool lookedat(const char* what, bool got);

    LineSource src_;
    bool held_ = false;  // src_.line() is still to be read
    bool done_ = false;  // the trailer was read
    int kind_ = 0;       // 4: result-file records, 5: h-file records, 0: none yet
};

bool ResultReader::getline(bool& got) {
    if (held_) {
        held_ = false;
        got = true;
        return true;
    }
    got = src_.next();
    if (src_.toolong())
        return fail(src_.number(), "a line longer than " + std::to_string(LineSource::MAXLINE) + " characters");
    return true;
}

bool ResultReader::getfilled(bool& got) {
    do {
        if (!getline(got)) return false;
    } while (got && blank(src_.line()));
    return true;
}

bool ResultReader::lookedat(const char* what, bool got) {
    if (got) return true;
    return fail(src_.number(), std::string("the file ends inside the header, before ") + what);
}

bool ResultReader::start() {
    bool got;
    if (!getfilled(got)) return false;
    if (!got) return true;  // an empty file: no header, no codes
    if (src_.line()[0] == '?') {
        held_ = true;
        return true;
    }
    hasheader = true;
    const long first = src_.number();
    if (trimmed(src_.line()) == "Brute gen:") {
        header.brute = true;
        if (!getfilled(got) || !lookedat("the parameter line", got)) return false;
    }
    const long paramline = src_.number();
    std::string why = parseparamline(src_.line(), header);
    if (!why.empty())
        return fail(paramline, why + " (the header of line " + std::to_string(first) + ", found \"" +
                                   excerpt(src_.line()) + "\")");
    if (!getfilled(got) || !lookedat("\"Possible weights:\"", got)) return false;
    if (trimmed(src_.line()).starts_with("Equivalence:")) {  // GF(4) runs
        why = parseequivline(src_.line(), header);
        if (!why.empty()) return fail(src_.number(), why + ", found \"" + excerpt(src_.line()) + "\"");
        if (!getfilled(got) || !lookedat("\"Possible weights:\"", got)) return false;
    }
    if (trimmed(src_.line()) != "Possible weights:")
        return fail(src_.number(), "expected \"Possible weights:\", found \"" + excerpt(src_.line()) + "\"");
    if (!getline(got) || !lookedat("the list of weights", got)) return false;
    why = parseweightline(src_.line(), header);
    if (!why.empty()) return fail(src_.number(), why);
    if (!getfilled(got) || !lookedat("\"Proportional columns:\"", got)) return false;
    if (trimmed(src_.line()) != "Proportional columns:")
        return fail(src_.number(), "expected \"Proportional columns:\", found \"" + excerpt(src_.line()) + "\"");
    if (!getline(got) || !lookedat("the proportional bounds", got)) return false;
    why = parsepropline(src_.line(), header);
    if (!why.empty()) return fail(src_.number(), why);
    why = checkheader(header);
    if (!why.empty()) return fail(paramline, "the header's parameters do not hold together: " + why);
    if (header.q == 4) linear4 = header.linear4;
    return true;
}

bool ResultReader::readtrailer() {
    std::string why = parsetotalsline(src_.line(), trailer);
    if (!why.empty()) return fail(src_.number(), why);
    bool got;
    if (!getfilled(got)) return false;
    if (!got) return fail(src_.number(), "the file ends after the RES totals, without the elapsed time");
    why = parsetimeline(src_.line(), trailer);
    if (!why.empty()) return fail(src_.number(), why + ", found \"" + excerpt(src_.line()) + "\"");
    if (!getfilled(got)) return false;
    if (got) return fail(src_.number(), "text after the trailer: \"" + excerpt(src_.line()) + "\"");
    hastrailer = true;
    done_ = true;
    return true;
}

bool ResultReader::record(CodeMatrix& c) {
    const long at = src_.number();
    codeline = at;
    const std::string& s = src_.line();
    // The numbers after '?', separated by spaces.
    int64_t v[6];
    int count = 0;
    size_t pos = 1;
    for (;;) {
        while (pos < s.size() && (s[pos] == ' ' || s[pos] == '\t')) pos++;
        if (pos == s.size()) break;
        if (count == 5) return fail(at, "a record header with more than 5 numbers: \"" + excerpt(s) + "\"");
        if (s[pos] < '0' || s[pos] > '9')
            return fail(at, "a garbled record header (not a number at column " + std::to_string(pos + 1) + "): \"" +
                                excerpt(s) + "\"");
        int64_t x = 0;
        while (pos < s.size() && s[pos] >= '0' && s[pos] <= '9') {
            x = x * 10 + (s[pos++] - '0');
            if (x > (int64_t)1 << 50) return fail(at, "a number too large in the record header \"" + excerpt(s) + "\"");
        }
        if (pos < s.size() && s[pos] != ' ' && s[pos] != '\t')
            return fail(at, "a garbled record header (not a number at column " + std::to_string(pos + 1) + "): \"" +
                                excerpt(s) + "\"");
        v[count++] = x;
    }
    if (count != 4 && count != 5)
        return fail(at, "a record header has 4 numbers (?k n q number) or 5 (?k n q number overall), here " +
                            std::to_string(count) + ": \"" + excerpt(s) + "\"");
    if (kind_ != 0 && count != kind_)
        return fail(at, "a record header with " + std::to_string(count) + " numbers among records with " +
                            std::to_string(kind_));
    kind_ = count;
    const int64_t k = v[0], n = v[1], q = v[2];
    label.number = v[3];
    label.overall = count == 5 ? v[4] : -1;
    if (q > 7 || !fieldok((int)q))
        return fail(at, "q = " + std::to_string(q) + " in the record header is not one of 2, 3, 4, 5, 7");
    if (k < 1 || k > CODEIO_MAXK)
        return fail(at, "k = " + std::to_string(k) + " in the record header is outside 1..19");
    if (n < k || n > CODEIO_MAXN)
        return fail(
            at, "n = " + std::to_string(n) + " in the record header is outside k..799 (k = " + std::to_string(k) + ")");
    if (hasheader) {
        if (q != header.q)
            return fail(
                at, "a record over GF(" + std::to_string(q) + ") in a file over GF(" + std::to_string(header.q) + ")");
        if (count == 4 && (k != header.k || n != header.n))
            return fail(at, "a record of k = " + std::to_string(k) + ", n = " + std::to_string(n) +
                                " in a result file of k = " + std::to_string(header.k) +
                                ", n = " + std::to_string(header.n));
        if (count == 5 && k > header.k)
            return fail(at,
                        "a record of k = " + std::to_string(k) + " in an h file of k = " + std::to_string(header.k));
    }
    c.q = (int)q;
    c.k = (int)k;
    c.n = (int)n;
    c.a.resize((size_t)(k * n));
    for (int r = 0; r < k; r++) {
        bool got;
        if (!getline(got)) return false;
        const std::string rows = "row " + std::to_string(r + 1) + " of " + std::to_string(k) +
                                 " of the record of line " + std::to_string(at);
        if (!got) return fail(src_.number(), "the file ends before " + rows + " (cut short?)");
        std::string_view row = src_.line();
        while (!row.empty() && (row.back() == ' ' || row.back() == '\t')) row.remove_suffix(1);
        if (!row.empty() && row[0] == '?')
            return fail(src_.number(), "a record header where " + rows + " was due (the record is cut short)");
        if (row.size() != (size_t)n)
            return fail(src_.number(), rows + " has " + std::to_string(row.size()) + " symbols, not n = " +
                                           std::to_string(n) + ": \"" + excerpt(std::string(row)) + "\"");
        for (int j = 0; j < n; j++) {
            int x = digitvalue(row[j]);
            if (x < 0)
                return fail(src_.number(), "column " + std::to_string(j + 1) + ": '" + excerpt(std::string(1, row[j])) +
                                               "' is not a symbol (0-9, A-F)");
            if (x >= q)
                return fail(src_.number(), "column " + std::to_string(j + 1) + ": '" + std::string(1, row[j]) +
                                               "' is not an element of GF(" + std::to_string(q) + ")");
            c.at(r, j) = (uint8_t)x;
        }
    }
    return true;
}

ReadStatus ResultReader::next(CodeMatrix& c, CodeFacts*) {
    if (done_) return ReadStatus::end;
    bool got;
    if (!getfilled(got)) return ReadStatus::error;
    if (!got) return ReadStatus::end;  // no trailer: a stopped run, or records alone
    const std::string& s = src_.line();
    if (s[0] == '?') return record(c) ? ReadStatus::code : ReadStatus::error;
    std::string_view t = trimmed(s);
    if (t.substr(0, 4) == "RES " || t == "RES") return readtrailer() ? ReadStatus::end : ReadStatus::error;
    return failed(src_.number(), "expected a record \"?k n q number\" or the RES totals, found \"" + excerpt(s) + "\"");
}

}  // namespace

std::unique_ptr<FormatReader> makeresultreader(std::istream& in) { return std::make_unique<ResultReader>(in); }
