// The reader of JSON Lines: one object per line, with the keys n, k, q and
// matrix (required) and d, dual_d, weights, aut (optional; null counts as
// absent).  Keys may come in any order; other keys are skipped whatever
// their value, so a file that carries more facts than these still reads.
//
// A small recursive parser of exactly one line; the nesting of a skipped
// value is limited, so no line can run the parser out of stack.  Numbers
// are read as integers only where integers are due (a fraction or an
// exponent there is an error, as is a number past 64 bits).
#include <cctype>
#include <string_view>

#include "codeio/readimpl.h"
#include "codeio/textin.h"
#include "field/field.h"

namespace {

constexpr int MAXDEPTH = 32;

class JsonReader : public FormatReader {
   public:
    explicit JsonReader(std::istream& in) : src_(in) {}
    bool start() override { return true; }
    ReadStatus next(CodeMatrix& c, CodeFacts* facts) override;

   private:
    // Each parser reads at s_[p_], moves p_ past what it read and gives
    // false with err set ("line N, column C: ...") on anything else.
    bool bad(const std::string& why);
    void ws();
    bool expect(char ch);
    bool string(std::string& out);
    bool equivalence(CodeFacts& f);
    bool integer(uint64_t& v, uint64_t limit);
    bool isnull();
    bool skipvalue(int depth);
    bool smallint(int32_t& v, const char* key, bool nullable);
    // A JSON array "[ item, item, ... ]", possibly empty; `item` reads one
    // element and returns false (err set) to stop.
    template <class Item>
    bool array(Item item);
    bool weights(CodeFacts& f);
    bool aut(CodeFacts& f);
    bool matrix(CodeMatrix& c);
    bool object(CodeMatrix& c, CodeFacts& f);

    LineSource src_;
    std::string_view s_;
    size_t p_ = 0;
    std::vector<int> rowlen_;  // the lengths of the matrix's rows
};

bool JsonReader::bad(const std::string& why) {
    err = "line " + std::to_string(src_.number()) + ", column " + std::to_string(p_ + 1) + ": " + why;
    return false;
}

void JsonReader::ws() {
    while (p_ < s_.size() && (s_[p_] == ' ' || s_[p_] == '\t' || s_[p_] == '\r' || s_[p_] == '\n')) p_++;
}

bool JsonReader::expect(char ch) {
    ws();
    if (p_ < s_.size() && s_[p_] == ch) {
        p_++;
        return true;
    }
    if (p_ >= s_.size()) return bad(std::string("the line ends where '") + ch + "' was due");
    return bad(std::string("expected '") + ch + "', found '" + excerpt(std::string(1, s_[p_])) + "'");
}

bool JsonReader::string(std::string& out) {
    out.clear();
    if (!expect('"')) return false;
    while (p_ < s_.size() && s_[p_] != '"') {
        char ch = s_[p_++];
        if ((unsigned char)ch < 32) return bad("a control character inside a string");
        if (ch == '\\') {
            if (p_ >= s_.size()) break;
            char e = s_[p_++];
            switch (e) {
                case '"':
                case '\\':
                case '/':
                    out += e;
                    break;
                case 'b':
                    out += '\b';
                    break;
                case 'f':
                    out += '\f';
                    break;
                case 'n':
                    out += '\n';
                    break;
                case 'r':
                    out += '\r';
                    break;
                case 't':
                    out += '\t';
                    break;
                case 'u':
                    // Kept as written: the keys and values this reader uses are ASCII.
                    for (int i = 0; i < 4; i++, p_++)
                        if (p_ >= s_.size() || !isxdigit((unsigned char)s_[p_])) return bad("a bad \\u escape");
                    out += '?';
                    break;
                default:
                    return bad("a bad escape in a string");
            }
        } else {
            out += ch;
        }
    }
    if (p_ >= s_.size()) return bad("a string that is never closed");
    p_++;
    return true;
}

bool JsonReader::integer(uint64_t& v, uint64_t limit) {
    ws();
    size_t start = p_;
    if (p_ < s_.size() && s_[p_] == '-') return bad("a negative number where a count was due");
    v = 0;
    while (p_ < s_.size() && s_[p_] >= '0' && s_[p_] <= '9') {
        uint64_t d = (uint64_t)(s_[p_] - '0');
        if (v > (limit - d) / 10) return bad("a number above " + std::to_string(limit));
        v = v * 10 + d;
        p_++;
    }
    if (p_ == start)
        return bad(p_ < s_.size() ? "expected a number, found '" + excerpt(std::string(1, s_[p_])) + "'"
                                  : "the line ends where a number was due");
    if (p_ - start > 1 && s_[start] == '0') return bad("a number with a leading zero");
    if (p_ < s_.size() && (s_[p_] == '.' || s_[p_] == 'e' || s_[p_] == 'E'))
        return bad("a number that is not an integer");
    return true;
}

bool JsonReader::isnull() {
    ws();
    if (s_.substr(p_, 4) == "null") {
        p_ += 4;
        return true;
    }
    return false;
}

bool JsonReader::skipvalue(int depth) {
    if (depth > MAXDEPTH) return bad("values nested deeper than " + std::to_string(MAXDEPTH));
    ws();
    if (p_ >= s_.size()) return bad("the line ends where a value was due");
    char ch = s_[p_];
    if (ch == '"') {
        std::string tmp;
        return string(tmp);
    }
    if (ch == '{' || ch == '[') {
        const char close = ch == '{' ? '}' : ']';
        p_++;
        ws();
        if (p_ < s_.size() && s_[p_] == close) {
            p_++;
            return true;
        }
        for (;;) {
            if (close == '}') {
                std::string key;
                if (!string(key) || !expect(':')) return false;
            }
            if (!skipvalue(depth + 1)) return false;
            ws();
            if (p_ < s_.size() && s_[p_] == ',') {
                p_++;
                continue;
            }
            return expect(close);
        }
    }
    for (const char* word : {"true", "false", "null"}) {
        std::string_view w = word;
        if (s_.substr(p_, w.size()) == w) {
            p_ += w.size();
            return true;
        }
    }
    // A number: -?digits(.digits)?([eE][+-]?digits)?
    size_t start = p_;
    if (s_[p_] == '-') p_++;
    auto digits = [&] {
        size_t d = p_;
        while (p_ < s_.size() && s_[p_] >= '0' && s_[p_] <= '9') p_++;
        return p_ > d;
    };
    if (!digits()) {
        p_ = start;
        return bad("expected a value, found '" + excerpt(std::string(1, s_[p_])) + "'");
    }
    if (p_ < s_.size() && s_[p_] == '.') {
        p_++;
        if (!digits()) return bad("a number without digits after its point");
    }
    if (p_ < s_.size() && (s_[p_] == 'e' || s_[p_] == 'E')) {
        p_++;
        if (p_ < s_.size() && (s_[p_] == '+' || s_[p_] == '-')) p_++;
        if (!digits()) return bad("a number without digits in its exponent");
    }
    return true;
}

bool JsonReader::smallint(int32_t& v, const char* key, bool nullable) {
    if (nullable && isnull()) {
        v = -1;
        return true;
    }
    uint64_t x;
    if (!integer(x, 1000000)) {
        err += std::string(" (the value of \"") + key + "\")";
        return false;
    }
    v = (int32_t)x;
    return true;
}

template <class Item>
bool JsonReader::array(Item item) {
    if (!expect('[')) return false;
    ws();
    if (p_ < s_.size() && s_[p_] == ']') {
        p_++;
        return true;
    }
    for (;;) {
        if (!item()) return false;
        ws();
        if (p_ < s_.size() && s_[p_] == ',') {
            p_++;
            continue;
        }
        return expect(']');
    }
}

bool JsonReader::weights(CodeFacts& f) {
    f.weights.clear();
    if (isnull()) return true;
    return array([&] {
        uint64_t v;
        if (!integer(v, UINT64_MAX)) return false;
        if (f.weights.size() == (size_t)CODEIO_MAXN + 1) return bad("more than n + 1 weight counts");
        f.weights.push_back(v);
        return true;
    });
}

bool JsonReader::aut(CodeFacts& f) {
    f.aut.clear();
    if (isnull()) return true;
    ws();
    if (!string(f.aut)) return false;
    CodeFacts alone;
    alone.aut = f.aut;
    std::string why = checkfacts(alone, 0);
    if (f.aut.empty()) why = "an empty group order";
    if (!why.empty()) return bad("\"aut\": " + why);
    return true;
}

bool JsonReader::equivalence(CodeFacts& f) {
    f.equivalence.clear();
    if (isnull()) return true;
    ws();
    if (!string(f.equivalence)) return false;
    if (f.equivalence != "linear" && f.equivalence != "semilinear")
        return bad("\"equivalence\": \"" + f.equivalence + "\" is neither linear nor semilinear");
    linear4 = f.equivalence == "linear";
    return true;
}

bool JsonReader::matrix(CodeMatrix& c) {
    c.a.clear();
    rowlen_.clear();
    return array([&] {
        if (rowlen_.size() == (size_t)CODEIO_MAXK)
            return bad("a matrix of more than " + std::to_string(CODEIO_MAXK) + " rows");
        int len = 0;
        const bool ok = array([&] {
            uint64_t v;
            if (!integer(v, 1000000)) return false;
            if (v >= 7) return bad("the entry " + std::to_string(v) + " is not an element of GF(q) for any q up to 7");
            if (len == CODEIO_MAXN) return bad("a matrix row of more than " + std::to_string(CODEIO_MAXN) + " entries");
            c.a.push_back((uint8_t)v);
            len++;
            return true;
        });
        rowlen_.push_back(len);
        return ok;
    });
}

bool JsonReader::object(CodeMatrix& c, CodeFacts& f) {
    int32_t n = -1, k = -1, q = -1;
    bool seen[9] = {};
    static const char* const keys[] = {"n", "k", "q", "d", "dual_d", "weights", "aut", "matrix", "equivalence"};
    if (!expect('{')) return false;
    ws();
    if (p_ < s_.size() && s_[p_] == '}') {
        p_++;
    } else {
        for (;;) {
            std::string key;
            ws();
            if (!string(key) || !expect(':')) return false;
            int which = -1;
            for (int i = 0; i < 9; i++)
                if (key == keys[i]) which = i;
            if (which >= 0 && seen[which]) return bad("the key \"" + key + "\" a second time");
            if (which >= 0) seen[which] = true;
            bool ok = true;
            switch (which) {
                case 0:
                    ok = smallint(n, "n", false);
                    break;
                case 1:
                    ok = smallint(k, "k", false);
                    break;
                case 2:
                    ok = smallint(q, "q", false);
                    break;
                case 3:
                    ok = smallint(f.d, "d", true);
                    break;
                case 4:
                    ok = smallint(f.duald, "dual_d", true);
                    break;
                case 5:
                    ok = weights(f);
                    break;
                case 6:
                    ok = aut(f);
                    break;
                case 7:
                    ok = matrix(c);
                    break;
                case 8:
                    ok = equivalence(f);
                    break;
                default:
                    ok = skipvalue(0);
                    break;
            }
            if (!ok) return false;
            ws();
            if (p_ < s_.size() && s_[p_] == ',') {
                p_++;
                continue;
            }
            if (!expect('}')) return false;
            break;
        }
    }
    ws();
    if (p_ < s_.size()) return bad("text after the object");
    const long at = src_.number();
    for (int i : {0, 1, 2, 7})
        if (!seen[i]) return fail(at, std::string("the object has no \"") + keys[i] + "\"");
    if (!fieldok(q)) return fail(at, "q = " + std::to_string(q) + " is not one of 2, 3, 4, 5, 7");
    if ((int)rowlen_.size() != k)
        return fail(at, "the matrix has " + std::to_string(rowlen_.size()) + " rows, k = " + std::to_string(k));
    for (size_t r = 0; r < rowlen_.size(); r++)
        if (rowlen_[r] != n)
            return fail(at, "row " + std::to_string(r + 1) + " of the matrix has " + std::to_string(rowlen_[r]) +
                                " entries, n = " + std::to_string(n));
    c.q = q;
    c.k = k;
    c.n = n;
    std::string why = checkcode(c);
    if (why.empty()) why = checkfacts(f, n);
    if (!why.empty()) return fail(at, why);
    return true;
}

ReadStatus JsonReader::next(CodeMatrix& c, CodeFacts* facts) {
    bool got;
    do {
        got = src_.next();
        s_ = src_.line();
        p_ = 0;
        ws();
    } while (got && p_ == s_.size());
    if (src_.toolong())
        return failed(src_.number(), "a line longer than " + std::to_string(LineSource::MAXLINE) + " characters");
    if (!got) return ReadStatus::end;
    codeline = src_.number();
    CodeFacts f;
    if (!object(c, f)) return ReadStatus::error;
    if (facts) *facts = std::move(f);
    return ReadStatus::code;
}

}  // namespace

std::unique_ptr<FormatReader> makejsonreader(std::istream& in) { return std::make_unique<JsonReader>(in); }
