// The writers (see writers.h).  Every text is built in a string and handed
// to the stream in one call, so a stream that fails is seen at the code it
// failed on.
#include "codeio/writers.h"

#include <cerrno>
#include <cstring>

#include "field/field.h"

namespace {

// The field of a code in Magma and Sage: GF(q), or for q = 4 the field the
// preamble names (Magma's F with generator w; Sage's GF(4, 'a'), which is
// one field however often it is asked for).
std::string fieldname(Format f, int q) {
    if (q == 4 && f == Format::magma) return "F";
    if (q == 4 && f == Format::sage) return "GF(4, 'a')";
    return "GF(" + std::to_string(q) + ")";
}

// Row r of c as "[e, e, ...]" with the element names of f.
void listrow(std::string& out, Format f, const CodeMatrix& c, int r) {
    out += '[';
    for (int j = 0; j < c.n; j++) {
        if (j > 0) out += ", ";
        out += elementname(f, c.q, c.at(r, j));
    }
    out += ']';
}

// "[[...], [...]]": the rows of c.
void listrows(std::string& out, Format f, const CodeMatrix& c) {
    out += '[';
    for (int r = 0; r < c.k; r++) {
        if (r > 0) out += ", ";
        listrow(out, f, c, r);
    }
    out += ']';
}

// Row r of c as the JSON array "[x,x,...]" of the program's integers.
void jsonnumbers(std::string& out, const CodeMatrix& c, int r) {
    out += '[';
    for (int j = 0; j < c.n; j++) {
        if (j > 0) out += ',';
        out += (char)('0' + c.at(r, j));
    }
    out += ']';
}

// The JSON object of c with the facts that are known, and its line end.
std::string jsontext(const CodeMatrix& c, const CodeFacts& facts) {
    std::string out =
        "{\"n\":" + std::to_string(c.n) + ",\"k\":" + std::to_string(c.k) + ",\"q\":" + std::to_string(c.q);
    if (!facts.equivalence.empty()) out += ",\"equivalence\":\"" + facts.equivalence + "\"";
    if (facts.d >= 0) out += ",\"d\":" + std::to_string(facts.d);
    if (facts.duald >= 0) out += ",\"dual_d\":" + std::to_string(facts.duald);
    if (!facts.weights.empty()) {
        out += ",\"weights\":[";
        for (size_t i = 0; i < facts.weights.size(); i++) {
            if (i > 0) out += ',';
            out += std::to_string(facts.weights[i]);
        }
        out += ']';
    }
    if (!facts.aut.empty()) out += ",\"aut\":\"" + facts.aut + "\"";
    out += ",\"matrix\":[";
    for (int r = 0; r < c.k; r++) {
        if (r > 0) out += ',';
        jsonnumbers(out, c, r);
    }
    return out + "]}\n";
}

// The k rows of digits, each with its line end.
std::string digitrows(const CodeMatrix& c) {
    std::string out;
    out.reserve((size_t)c.k * ((size_t)c.n + 1));
    recordrows(out, 0, c.k - 1, 0, c.n - 1, [&c](int r, int j) { return c.at(r, j); });
    return out;
}

}  // namespace

std::string codetext(Format f, const CodeMatrix& c, const CodeFacts& facts, int64_t number) {
    std::string out;
    switch (f) {
        case Format::result:
            recordhead(out, "?", {std::to_string(c.k), std::to_string(c.n), std::to_string(c.q), std::to_string(number)});
            return out + digitrows(c);
        case Format::plain:
            return digitrows(c);
        case Format::jsonl:
            return jsontext(c, facts);
        case Format::magma:
            out = "LinearCode(Matrix(" + fieldname(f, c.q) + ", " + std::to_string(c.k) + ", " + std::to_string(c.n) +
                  ", [";
            for (size_t i = 0; i < c.a.size(); i++) {
                if (i > 0) out += ", ";
                out += elementname(f, c.q, c.a[i]);
            }
            return out + "]))\n";
        case Format::gap:
            out = "GeneratorMatCode(";
            listrows(out, f, c);
            return out + ", GF(" + std::to_string(c.q) + "))\n";
        case Format::sage:
            out = "LinearCode(matrix(" + fieldname(f, c.q) + ", ";
            listrows(out, f, c);
            return out + "))\n";
    }
    return out;
}

std::string preambletext(Format f, int q) {
    if (f == Format::magma && q == 4) return "F<w> := GF(4);\n";
    if (f == Format::gap) return "LoadPackage(\"guava\");\n";
    if (f == Format::sage && q == 4) return "a = GF(4, 'a').gen()\n";
    return "";
}

namespace {

// True for the formats that hold their codes in one list variable.
bool listformat(Format f) { return f == Format::magma || f == Format::gap || f == Format::sage; }

}  // namespace

bool CodeWriter::put(const std::string& text) {
    if (!error_.empty()) return false;
    out_.write(text.data(), (std::streamsize)text.size());
    if (!out_) {
        error_ = std::string("cannot write: ") + (errno != 0 ? strerror(errno) : "the stream failed");
        return false;
    }
    return true;
}

bool CodeWriter::begin(const RunHeader* header) {
    if (begun_) return error_.empty();
    begun_ = true;
    if (!fieldok(q_)) {
        error_ = "q = " + std::to_string(q_) + " is not one of 2, 3, 4, 5, 7";
        return false;
    }
    std::string text;
    if (f_ == Format::result && header != nullptr) text = headertext(*header);
    // The run's parameters as a comment, for the checker.
    if (header != nullptr && f_ != Format::result && f_ != Format::jsonl)
        text = (f_ == Format::magma ? "// " : "# ") + headerwords(*header) + "\n";
    // Magma's list "[* *]" holds codes of different dimensions (an h file)
    // where a sequence wants one universe.
    if (listformat(f_)) {
        text += preambletext(f_, q_);
        if (q_ == 4 && linear4_) {
            text += f_ == Format::sage ? "equivalence = \"" : "equivalence := \"";
            text += *linear4_ ? "linear" : "semilinear";
            text += f_ == Format::sage ? "\"\n" : "\";\n";
        }
        text += f_ == Format::sage ? "codes = [\n" : f_ == Format::magma ? "codes := [*\n" : "codes := [\n";
    }
    return put(text);
}

bool CodeWriter::write(const CodeMatrix& c, const CodeFacts& facts) {
    if (!begin()) return false;
    std::string why = checkcode(c);
    if (why.empty() && c.q != q_)
        why = "a code over GF(" + std::to_string(c.q) + ") for a file over GF(" + std::to_string(q_) + ")";
    if (why.empty() && f_ == Format::jsonl) why = checkfacts(facts, c.n);
    if (!why.empty()) {
        error_ = "code " + std::to_string(count_ + 1) + ": " + why;
        return false;
    }
    std::string text;
    if (listformat(f_)) {
        text = count_ > 0 ? ",\n  " : "  ";
        std::string one = codetext(f_, c, facts);
        one.pop_back();  // the separator or the list's end follows on the same line
        text += one;
    } else if (f_ == Format::plain && count_ > 0) {
        text = "\n";
        text += codetext(f_, c, facts);
    } else {
        text = codetext(f_, c, facts, count_ + 1);
    }
    if (!put(text)) return false;
    count_++;
    return true;
}

bool CodeWriter::end(const RunTrailer* trailer) {
    if (!begin()) return false;
    std::string text;
    if (listformat(f_)) {
        text = count_ > 0 ? "\n" : "";
        text += f_ == Format::sage ? "]\n" : f_ == Format::magma ? "*];\n" : "];\n";
    }
    if (f_ == Format::result && trailer != nullptr) text = trailertext(*trailer);
    if (!put(text)) return false;
    out_.flush();
    return put("");
}
