// The reader of JSON Lines: one object per line, with the keys n, k, q and
// matrix (required) and d, dual_d, weights, aut, equivalence (optional;
// null counts as absent).  Keys may come in any order; other keys are
// skipped whatever their value, so a file that carries more facts than
// these still reads.
//
// The syntax is nlohmann-json's: each line is parsed whole (a line is at most
// LineSource::MAXLINE characters, so its tree is bounded too), with a
// callback that refuses a key given twice and values nested deeper than
// MAXDEPTH before they are built.  This file only checks what the values
// mean: integers where counts are due (no fraction, no sign, nothing past
// their bound), field elements in the matrix, rows of one length.
#include <nlohmann/json.hpp>

#include "codeio/readimpl.h"
#include "codeio/textin.h"
#include "field/field.h"

namespace {

using json = nlohmann::json;

constexpr int MAXDEPTH = 32;
const char* const KEYS[] = {"n", "k", "q", "d", "dual_d", "weights", "aut", "matrix", "equivalence"};

// A line refused while it is parsed, before its tree is complete.
struct Refused {
    std::string why;
};

class JsonReader : public FormatReader {
   public:
    explicit JsonReader(std::istream& in) : src_(in) {}
    bool start() override { return true; }
    ReadStatus next(CodeMatrix& c, CodeFacts* facts) override;

   private:
    // Each checker reads one value of the parsed object and gives false
    // with err set ("line N: ...") when it is not what is due.
    bool bad(const std::string& why) { return fail(src_.number(), why); }
    bool count(const json& v, uint64_t limit, const std::string& what, uint64_t& out);
    bool smallint(const json& o, const char* key, bool nullable, int32_t& out);
    bool weights(const json& v, CodeFacts& f);
    bool aut(const json& v, CodeFacts& f);
    bool equivalence(const json& v, CodeFacts& f);
    bool matrix(const json& v, CodeMatrix& c);
    bool object(const json& o, CodeMatrix& c, CodeFacts& f);
    // Parses the line into o; false with err set on a syntax error.
    bool parse(json& o);

    LineSource src_;
};

bool JsonReader::parse(json& o) {
    bool known[std::size(KEYS)] = {};
    auto guard = [&known](int depth, json::parse_event_t event, json& parsed) {
        if (depth > MAXDEPTH) throw Refused{"values nested deeper than " + std::to_string(MAXDEPTH)};
        if (event == json::parse_event_t::key && depth == 1)
            for (size_t i = 0; i < std::size(KEYS); i++)
                if (parsed == KEYS[i]) {
                    if (known[i]) throw Refused{"the key \"" + std::string(KEYS[i]) + "\" a second time"};
                    known[i] = true;
                }
        return true;
    };
    try {
        o = json::parse(src_.line(), guard);
    } catch (const Refused& r) {
        return bad(r.why);
    } catch (const json::parse_error& e) {
        // "[json.exception.parse_error.101] parse error at line 1, column 9:
        // syntax error while parsing value - ...": the part after the column.
        std::string what = e.what();
        const size_t cut = what.find(": ", what.find("column"));
        what = cut == std::string::npos ? what : what.substr(cut + 2);
        if (what.find("; expected end of input") != std::string::npos) what = "text after the object: " + what;
        if (what.size() > 160) what = what.substr(0, 160) + "...";
        return fail(src_.number(), "column " + std::to_string(e.byte) + ": " + what);
    }
    if (!o.is_object()) return bad("the line holds no object");
    return true;
}

bool JsonReader::count(const json& v, uint64_t limit, const std::string& what, uint64_t& out) {
    if (v.is_number_unsigned()) {
        out = v.get<uint64_t>();
        return out <= limit || bad("a number above " + std::to_string(limit) + what);
    }
    if (v.is_number_integer()) return bad("a negative number where a count was due" + what);
    if (v.is_number_float()) return bad("a number that is not an integer below 2^64" + what);
    return bad("expected a number, found " + excerpt(v.dump()) + what);
}

bool JsonReader::smallint(const json& o, const char* key, bool nullable, int32_t& out) {
    const auto it = o.find(key);
    if (it == o.end() || (nullable && it->is_null())) return true;
    uint64_t v;
    if (!count(*it, 1000000, std::string(" (the value of \"") + key + "\")", v)) return false;
    out = (int32_t)v;
    return true;
}

bool JsonReader::weights(const json& v, CodeFacts& f) {
    if (v.is_null()) return true;
    if (!v.is_array()) return bad("\"weights\" is not a list");
    if (v.size() > (size_t)CODEIO_MAXN + 1) return bad("more than n + 1 weight counts");
    for (const json& a : v) {
        uint64_t x;
        if (!count(a, UINT64_MAX, " (in \"weights\")", x)) return false;
        f.weights.push_back(x);
    }
    return true;
}

bool JsonReader::aut(const json& v, CodeFacts& f) {
    if (v.is_null()) return true;
    if (!v.is_string()) return bad("\"aut\" is not a string of digits");
    f.aut = v.get<std::string>();
    CodeFacts alone;
    alone.aut = f.aut;
    std::string why = checkfacts(alone, 0);
    if (f.aut.empty()) why = "an empty group order";
    return why.empty() || bad("\"aut\": " + why);
}

bool JsonReader::equivalence(const json& v, CodeFacts& f) {
    if (v.is_null()) return true;
    if (v.is_string()) f.equivalence = v.get<std::string>();
    if (f.equivalence != "linear" && f.equivalence != "semilinear")
        return bad("\"equivalence\": " + excerpt(v.dump()) + " is neither linear nor semilinear");
    linear4 = f.equivalence == "linear";
    return true;
}

bool JsonReader::matrix(const json& v, CodeMatrix& c) {
    c.a.clear();
    if (!v.is_array()) return bad("\"matrix\" is not a list of rows");
    if (v.size() > (size_t)CODEIO_MAXK) return bad("a matrix of more than " + std::to_string(CODEIO_MAXK) + " rows");
    for (const json& row : v) {
        if (!row.is_array()) return bad("a row of \"matrix\" is not a list");
        if (row.size() > (size_t)CODEIO_MAXN)
            return bad("a matrix row of more than " + std::to_string(CODEIO_MAXN) + " entries");
        for (const json& e : row) {
            uint64_t x;
            if (!count(e, 1000000, " (in \"matrix\")", x)) return false;
            if (x >= 7) return bad("the entry " + std::to_string(x) + " is not an element of GF(q) for any q up to 7");
            c.a.push_back((uint8_t)x);
        }
    }
    return true;
}

bool JsonReader::object(const json& o, CodeMatrix& c, CodeFacts& f) {
    int32_t n = -1, k = -1, q = -1;
    if (!smallint(o, "n", false, n) || !smallint(o, "k", false, k) || !smallint(o, "q", false, q) ||
        !smallint(o, "d", true, f.d) || !smallint(o, "dual_d", true, f.duald))
        return false;
    auto value = [&o](const char* key) -> const json& {
        static const json none;
        const auto it = o.find(key);
        return it == o.end() ? none : *it;
    };
    if (!weights(value("weights"), f) || !aut(value("aut"), f) || !equivalence(value("equivalence"), f)) return false;
    for (const char* key : {"n", "k", "q", "matrix"})
        if (!o.contains(key)) return bad(std::string("the object has no \"") + key + "\"");
    if (!matrix(o["matrix"], c)) return false;
    if (!fieldok(q)) return bad("q = " + std::to_string(q) + " is not one of 2, 3, 4, 5, 7");
    const json& rows = o["matrix"];
    if ((int)rows.size() != k)
        return bad("the matrix has " + std::to_string(rows.size()) + " rows, k = " + std::to_string(k));
    for (size_t r = 0; r < rows.size(); r++)
        if ((int)rows[r].size() != n)
            return bad("row " + std::to_string(r + 1) + " of the matrix has " + std::to_string(rows[r].size()) +
                       " entries, n = " + std::to_string(n));
    c.q = q;
    c.k = k;
    c.n = n;
    std::string why = checkcode(c);
    if (why.empty()) why = checkfacts(f, n);
    return why.empty() || bad(why);
}

ReadStatus JsonReader::next(CodeMatrix& c, CodeFacts* facts) {
    bool got;
    do got = src_.next();
    while (got && src_.line().find_first_not_of(" \t\r") == std::string::npos);
    if (src_.toolong())
        return failed(src_.number(), "a line longer than " + std::to_string(LineSource::MAXLINE) + " characters");
    if (!got) return ReadStatus::end;
    codeline = src_.number();
    json o;
    CodeFacts f;
    if (!parse(o) || !object(o, c, f)) return ReadStatus::error;
    if (facts) *facts = std::move(f);
    return ReadStatus::code;
}

}  // namespace

std::unique_ptr<FormatReader> makejsonreader(std::istream& in) { return std::make_unique<JsonReader>(in); }
