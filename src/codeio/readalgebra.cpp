// The reader of the Magma, GAP and Sage files: a preamble of field
// definitions, then the list `codes` with one code expression after another.
//
// The reader works on tokens (codeio/textin.h), so spacing, line breaks and
// comments are free.  The preamble may define fields and generators the way
// the writers do (Magma "F<w> := GF(4);", Sage "a = GF(4, 'a').gen()") and
// a few equivalent ways (Magma "F := GF(q);", Sage "F = GF(4, 'a')" and
// "a = F.gen()", GAP "LoadPackage(...);").  An entry of a matrix is a small
// expression over GF(q): integers, the generators the preamble bound, GAP's
// Z(q) and Z(p) of a subfield, with + - * and powers (^, **), so every name
// a system prints for an element reads (w^2 and w + 1, Z(4)^0 and Z(2)^0).
// The entries of one code are kept as tokens until its field is known
// (GAP names the field after the matrix) and then evaluated with the tables
// of field/field.h; a code is at most 19 x 799 entries of a few tokens
// each, so memory stays bounded.
#include <map>

#include "codeio/readimpl.h"
#include "codeio/textin.h"
#include "field/field.h"

namespace {

constexpr size_t MAXENTRYTOKENS = 32;  // tokens of one matrix entry
constexpr int MAXPARENS = 16;          // nesting of parentheses in one entry

// What a token is, for a message.
std::string describe(const Token& t) {
    switch (t.kind) {
        case Tok::end:
            return "the end of the input";
        case Tok::name:
            return "'" + t.text + "'";
        case Tok::number:
            return "the number " + excerpt(t.text);
        case Tok::string:
            return "the string \"" + excerpt(t.text) + "\"";
        case Tok::punct:
            return "'" + t.text + "'";
        case Tok::bad:
            return t.text;
    }
    return "?";
}

// True when t is the punctuation or the name `text`.
bool is(const Token& t, const char* text) { return (t.kind == Tok::punct || t.kind == Tok::name) && t.text == text; }

// The value of an entry: a recursive descent over the tokens [i, e) with
// the arithmetic of GF(q).
class Entry {
   public:
    Entry(const std::vector<Token>& t, size_t b, size_t e, int q, const std::map<std::string, int>& gens)
        : t_(t), i_(b), e_(e), q_(q), p_(q == 4 ? 2 : q), F_(gf(q)), gens_(gens) {}
    // The value into v; false with why() and line() set.
    bool value(int& v) {
        if (!expr(v, 0)) return false;
        if (i_ != e_) return bad("unexpected " + describe(t_[i_]) + " in an entry");
        return true;
    }
    const std::string& why() const { return why_; }
    long line() const { return line_; }

   private:
    // Sets why() and line() (at the token in hand) and gives false.
    bool bad(const std::string& why) {
        why_ = why;
        line_ = i_ < e_ ? t_[i_].line : t_[e_ - 1].line;
        return false;
    }
    bool at(const char* text) const { return i_ < e_ && is(t_[i_], text); }
    // The grammar, one level each, every one reading from t_[i_] on and
    // leaving i_ after what it read:
    //   expr  := [+|-] term {(+|-) term}     term := power {* power}
    //   power := atom [(^|**) number]        atom := number | generator | Z(r) | ( expr )
    // depth counts the parentheses around.
    bool expr(int& v, int depth);
    bool term(int& v, int depth);
    bool power(int& v, int depth);
    bool atom(int& v, int depth);

    const std::vector<Token>& t_;
    size_t i_, e_;
    int q_, p_;
    const Field& F_;
    const std::map<std::string, int>& gens_;
    std::string why_;
    long line_ = 0;
};

bool Entry::expr(int& v, int depth) {
    bool neg = false;
    if (at("-") || at("+")) neg = t_[i_++].text == "-";
    if (!term(v, depth)) return false;
    if (neg) v = F_.negtab[v];
    while (at("+") || at("-")) {
        bool minus = t_[i_++].text == "-";
        int w;
        if (!term(w, depth)) return false;
        v = F_.addtab[v][minus ? F_.negtab[w] : w];
    }
    return true;
}

bool Entry::term(int& v, int depth) {
    if (!power(v, depth)) return false;
    while (at("*")) {
        i_++;
        int w;
        if (!power(w, depth)) return false;
        v = F_.multab[v][w];
    }
    return true;
}

bool Entry::power(int& v, int depth) {
    if (!atom(v, depth)) return false;
    if (!at("^") && !at("**")) return true;
    i_++;
    if (i_ >= e_ || t_[i_].kind != Tok::number) return bad("a power needs a whole-number exponent");
    // The exponent modulo q - 1 (the order of every non-zero element divides it).
    int m = 0;
    bool zero = true;
    for (char ch : t_[i_].text) {
        m = (m * 10 + (ch - '0')) % (q_ - 1);
        if (ch != '0') zero = false;
    }
    i_++;
    if (v == 0) {
        v = zero ? 1 : 0;
        return true;
    }
    int r = 1;
    for (int j = 0; j < m; j++) r = F_.multab[r][v];
    v = r;
    return true;
}

bool Entry::atom(int& v, int depth) {
    if (i_ >= e_) return bad("an entry that ends too soon");
    const Token& t = t_[i_];
    if (t.kind == Tok::number) {
        int m = 0;
        for (char ch : t.text) m = (m * 10 + (ch - '0')) % p_;
        v = m;  // the integers of the prime field are the program's own (0 and 1 for q = 4)
        i_++;
        return true;
    }
    if (is(t, "(")) {
        if (depth >= MAXPARENS) return bad("parentheses nested deeper than " + std::to_string(MAXPARENS));
        i_++;
        if (!expr(v, depth + 1)) return false;
        if (!at(")")) return bad(i_ < e_ ? "expected ')', found " + describe(t_[i_]) : "a '(' that is never closed");
        i_++;
        return true;
    }
    if (t.kind == Tok::name && t.text == "Z" && i_ + 3 < e_ && is(t_[i_ + 1], "(") && t_[i_ + 2].kind == Tok::number &&
        is(t_[i_ + 3], ")")) {
        const std::string& r = t_[i_ + 2].text;
        if (r == std::to_string(q_)) {
            v = gapprimitive(q_);
        } else if (q_ == 4 && r == "2") {
            v = 1;  // GF(2)'s primitive root, 1, inside GF(4)
        } else {
            return bad("Z(" + excerpt(r) + ") is not an element of GF(" + std::to_string(q_) + ")");
        }
        i_ += 4;
        return true;
    }
    if (t.kind == Tok::name) {
        auto g = gens_.find(t.text);
        if (g != gens_.end()) {
            if (g->second != q_)
                return bad("'" + t.text + "' generates GF(" + std::to_string(g->second) + "), this code is over GF(" +
                           std::to_string(q_) + ")");
            // The generator of GF(4) is w, the program's 2; that of a prime field is 1.
            v = q_ == 4 ? 2 : 1;
            i_++;
            return true;
        }
    }
    return bad(describe(t) + " is not an element of GF(" + std::to_string(q_) + ")");
}

class AlgebraReader : public FormatReader {
   public:
    AlgebraReader(std::istream& in, Format f) : lx_(in, f == Format::magma), f_(f) { lx_.setmark(COMMENT_MARK); }
    bool start() override;
    ReadStatus next(CodeMatrix& c, CodeFacts* facts) override;

   private:
    // The parsers below read tokens from lx_ and give false with err set on
    // anything but what they expect.
    bool unexpected(const char* what);
    bool expect(const char* text);
    bool number(int& v, int lo, int hi, const char* what);
    bool field(int& q);
    bool fieldcall(int& q);
    bool row(int& count);
    bool rows(int& k, int& n);
    bool magmacode(CodeMatrix& c);
    bool gapcode(CodeMatrix& c);
    bool sagecode(CodeMatrix& c);
    bool evaluate(CodeMatrix& c);
    bool preamblestatement();
    bool closelist();
    bool atclose();
    bool runcomment();

    Lexer lx_;
    Format f_;
    std::map<std::string, int> fields_;  // a name the preamble bound to GF(q): q
    std::map<std::string, int> gens_;    // a name bound to the generator of GF(q): q
    bool first_ = true;                  // no code read yet
    bool closed_ = false;                // the list was closed
    bool starred_ = false;               // Magma's list "[* ... *]" rather than a sequence
    std::vector<Token> toks_;            // the entries of the code being read
    std::vector<size_t> starts_;         // where each entry's tokens begin in toks_
};

bool AlgebraReader::unexpected(const char* what) {
    const Token& t = lx_.peek();
    if (t.kind == Tok::bad) return fail(t.line, t.text);
    return fail(t.line, std::string("expected ") + what + ", found " + describe(t));
}

bool AlgebraReader::expect(const char* text) {
    if (is(lx_.peek(), text)) {
        lx_.take();
        return true;
    }
    return unexpected((std::string("'") + text + "'").c_str());
}

bool AlgebraReader::number(int& v, int lo, int hi, const char* what) {
    const Token& t = lx_.peek();
    if (t.kind != Tok::number) return unexpected(what);
    if (t.text.size() > 9) return fail(t.line, std::string(what) + " " + excerpt(t.text) + " is too large");
    v = std::stoi(t.text);
    if (v < lo || v > hi)
        return fail(t.line,
                    std::string(what) + " " + t.text + " is outside " + std::to_string(lo) + ".." + std::to_string(hi));
    lx_.take();
    return true;
}

// GF(q), with Sage's optional name of the generator: GF(4, 'a').
bool AlgebraReader::fieldcall(int& q) {
    if (!expect("GF") || !expect("(") || !number(q, 2, 7, "the field size")) return false;
    if (!fieldok(q))
        return fail(lx_.peek().line, "GF(" + std::to_string(q) + ") is not one of GF(2), GF(3), GF(4), GF(5), GF(7)");
    if (f_ == Format::sage && is(lx_.peek(), ",")) {
        lx_.take();
        if (lx_.peek().kind != Tok::string) return unexpected("the name of the generator");
        lx_.take();
    }
    return expect(")");
}

// GF(q) or a name the preamble bound to a field.
bool AlgebraReader::field(int& q) {
    const Token& t = lx_.peek();
    if (t.kind == Tok::name && t.text != "GF") {
        auto it = fields_.find(t.text);
        if (it == fields_.end()) return fail(t.line, "'" + t.text + "' is no field the preamble defined");
        q = it->second;
        lx_.take();
        return true;
    }
    return fieldcall(q);
}

// "[e, e, ...]": the entries' tokens onto toks_, their count into count.
bool AlgebraReader::row(int& count) {
    count = 0;
    if (!expect("[")) return false;
    if (is(lx_.peek(), "]")) {
        lx_.take();
        return true;
    }
    for (;;) {
        if (toks_.size() > (size_t)CODEIO_MAXK * CODEIO_MAXN * 8 || count == CODEIO_MAXK * CODEIO_MAXN)
            return fail(lx_.peek().line,
                        "a matrix larger than " + std::to_string(CODEIO_MAXK) + " x " + std::to_string(CODEIO_MAXN));
        starts_.push_back(toks_.size());
        int parens = 0;
        for (;;) {
            const Token& t = lx_.peek();
            if (t.kind == Tok::end || t.kind == Tok::bad) return unexpected("an entry");
            if (parens == 0 && (is(t, ",") || is(t, "]"))) break;
            if (is(t, "[") || is(t, ";")) return unexpected("an entry");
            if (is(t, "(")) parens++;
            if (is(t, ")")) {
                if (parens == 0) return unexpected("an entry");
                parens--;
            }
            if (toks_.size() - starts_.back() == MAXENTRYTOKENS)
                return fail(t.line, "an entry longer than " + std::to_string(MAXENTRYTOKENS) + " tokens");
            toks_.push_back(lx_.take());
        }
        if (toks_.size() == starts_.back()) return unexpected("an entry");
        count++;
        if (is(lx_.peek(), "]")) {
            lx_.take();
            return true;
        }
        lx_.take();  // ','
    }
}

// "[[...], [...]]" (GAP, Sage) or the rows of Magma's LinearCode<F, n | ...>
// without the outer brackets: k rows of n entries.
bool AlgebraReader::rows(int& k, int& n) {
    k = 0;
    for (;;) {
        const long at = lx_.peek().line;
        int count;
        if (!row(count)) return false;
        if (k == 0) n = count;
        if (count != n)
            return fail(at, "row " + std::to_string(k + 1) + " has " + std::to_string(count) + " entries, row 1 has " +
                                std::to_string(n));
        k++;
        if (!is(lx_.peek(), ",")) return true;
        if (k == CODEIO_MAXK) return fail(at, "a matrix of more than " + std::to_string(CODEIO_MAXK) + " rows");
        lx_.take();
    }
}

// LinearCode(Matrix(F, k, n, [...])) or LinearCode<F, n | [...], ...>.
bool AlgebraReader::magmacode(CodeMatrix& c) {
    if (!expect("LinearCode")) return false;
    if (is(lx_.peek(), "<")) {
        lx_.take();
        if (!field(c.q) || !expect(",") || !number(c.n, 1, CODEIO_MAXN, "the length")) return false;
        if (!expect("|")) return false;
        int n;
        if (!rows(c.k, n)) return false;
        if (n != c.n)
            return fail(lx_.peek().line,
                        "rows of " + std::to_string(n) + " entries in a code of length " + std::to_string(c.n));
        return expect(">");
    }
    if (!expect("(") || !expect("Matrix") || !expect("(") || !field(c.q) || !expect(",")) return false;
    if (!number(c.k, 1, CODEIO_MAXK, "the number of rows") || !expect(",")) return false;
    if (!number(c.n, 1, CODEIO_MAXN, "the number of columns") || !expect(",")) return false;
    const long at = lx_.peek().line;
    int count;
    if (!row(count)) return false;
    if (count != c.k * c.n)
        return fail(at, "a list of " + std::to_string(count) + " entries for a " + std::to_string(c.k) + " x " +
                            std::to_string(c.n) + " matrix");
    return expect(")") && expect(")");
}

// GeneratorMatCode([[...], ...], GF(q)), with GUAVA's optional name.
bool AlgebraReader::gapcode(CodeMatrix& c) {
    if (!expect("GeneratorMatCode") || !expect("(") || !expect("[") || !rows(c.k, c.n) || !expect("]")) return false;
    if (!expect(",")) return false;
    if (lx_.peek().kind == Tok::string) {
        lx_.take();
        if (!expect(",")) return false;
    }
    return field(c.q) && expect(")");
}

// LinearCode(matrix(F, [[...], ...])).
bool AlgebraReader::sagecode(CodeMatrix& c) {
    if (!expect("LinearCode") || !expect("(") || !expect("matrix") || !expect("(") || !field(c.q)) return false;
    if (!expect(",") || !expect("[") || !rows(c.k, c.n) || !expect("]")) return false;
    return expect(")") && expect(")");
}

// The entries in toks_ into c (whose q, k and n are set).
bool AlgebraReader::evaluate(CodeMatrix& c) {
    if (c.n < 1) return fail(codeline, "a matrix with empty rows");
    if (c.k > c.n)
        return fail(codeline, "a matrix of " + std::to_string(c.k) + " rows and " + std::to_string(c.n) + " columns");
    if (c.n > CODEIO_MAXN)
        return fail(codeline, "n = " + std::to_string(c.n) + " is beyond the limit " + std::to_string(CODEIO_MAXN));
    c.a.resize((size_t)c.k * (size_t)c.n);
    starts_.push_back(toks_.size());
    for (size_t i = 0; i + 1 < starts_.size(); i++) {
        Entry e(toks_, starts_[i], starts_[i + 1], c.q, gens_);
        int v;
        if (!e.value(v)) return fail(e.line(), e.why());
        c.a[i] = (uint8_t)v;
    }
    return true;
}

// One statement of the preamble; false with err set on a statement this
// reader does not know.
bool AlgebraReader::preamblestatement() {
    const Token& t = lx_.peek();
    if (f_ == Format::gap && is(t, "LoadPackage")) {
        lx_.take();
        if (!expect("(")) return false;
        if (lx_.peek().kind != Tok::string) return unexpected("the name of a package");
        lx_.take();
        return expect(")") && expect(";");
    }
    if (t.kind != Tok::name) return unexpected(f_ == Format::sage ? "'codes = ['" : "'codes := ['");
    const std::string name = t.text;
    lx_.take();
    const char* assign = f_ == Format::sage ? "=" : ":=";
    if (name == "equivalence") {
        // equivalence := "linear";  (GF(4): the notion the codes were classed under)
        if (!expect(assign)) return false;
        if (lx_.peek().kind != Tok::string) return unexpected("\"linear\" or \"semilinear\"");
        const Token& v = lx_.peek();
        if (v.text != "linear" && v.text != "semilinear") return unexpected("\"linear\" or \"semilinear\"");
        linear4 = v.text == "linear";
        lx_.take();
        if (f_ == Format::sage) {
            if (is(lx_.peek(), ";")) lx_.take();
            return true;
        }
        return expect(";");
    }
    int q;
    if (f_ == Format::magma && is(lx_.peek(), "<")) {
        // F<w> := GF(4);
        lx_.take();
        if (lx_.peek().kind != Tok::name) return unexpected("the name of the generator");
        const std::string gen = lx_.take().text;
        if (!expect(">") || !expect(assign) || !fieldcall(q) || !expect(";")) return false;
        fields_[name] = q;
        gens_[gen] = q;
        return true;
    }
    if (f_ == Format::sage && is(lx_.peek(), ".") && is(lx_.peek(1), "<")) {
        // F.<a> = GF(4)
        lx_.take();
        lx_.take();
        if (lx_.peek().kind != Tok::name) return unexpected("the name of the generator");
        const std::string gen = lx_.take().text;
        if (!expect(">") || !expect(assign) || !fieldcall(q)) return false;
        fields_[name] = q;
        gens_[gen] = q;
        if (is(lx_.peek(), ";")) lx_.take();
        return true;
    }
    if (!expect(assign)) return false;
    if (f_ == Format::sage && lx_.peek().kind == Tok::name && lx_.peek().text != "GF") {
        // a = F.gen()
        if (!field(q) || !expect(".") || !expect("gen") || !expect("(") || !expect(")")) return false;
        gens_[name] = q;
        if (is(lx_.peek(), ";")) lx_.take();
        return true;
    }
    if (!fieldcall(q)) return false;
    if (f_ == Format::sage && is(lx_.peek(), ".")) {
        // a = GF(4, 'a').gen()
        lx_.take();
        if (!expect("gen") || !expect("(") || !expect(")")) return false;
        gens_[name] = q;
    } else {
        fields_[name] = q;
    }
    if (f_ == Format::sage) {
        if (is(lx_.peek(), ";")) lx_.take();
        return true;
    }
    return expect(";");
}

// The run's parameters of a comment before the list (see runheader.h).
bool AlgebraReader::runcomment() {
    if (!lx_.hasmarked()) return true;
    std::string why = parsewords(lx_.marked(), header);
    if (!why.empty()) return fail(lx_.markedline(), "the comment of the run's parameters: " + why);
    hasheader = true;
    if (header.q == 4 && !linear4) linear4 = header.linear4;
    return true;
}

bool AlgebraReader::start() {
    for (;;) {
        const Token& t = lx_.peek();
        if (is(t, "codes") && is(lx_.peek(1), f_ == Format::sage ? "=" : ":=")) {
            lx_.take();
            lx_.take();
            if (!expect("[")) return false;
            if (f_ == Format::magma && is(lx_.peek(), "*")) {
                lx_.take();
                starred_ = true;
            }
            return runcomment();
        }
        if (!preamblestatement()) return false;
    }
}

// True when the list of codes closes here: "]", or "*]" after "[*".
bool AlgebraReader::atclose() {
    if (starred_) return is(lx_.peek(), "*") && is(lx_.peek(1), "]");
    return is(lx_.peek(), "]");
}

// "]" ("*]" after "[*") and, in Magma and GAP, ";"; then nothing but the end
// of the input.
bool AlgebraReader::closelist() {
    if (starred_ && !expect("*")) return false;
    if (!expect("]")) return false;
    if (f_ != Format::sage && !expect(";")) return false;
    if (f_ == Format::sage && is(lx_.peek(), ";")) lx_.take();
    if (lx_.peek().kind != Tok::end) return unexpected("the end of the input after the list");
    closed_ = true;
    return true;
}

ReadStatus AlgebraReader::next(CodeMatrix& c, CodeFacts*) {
    if (closed_) return ReadStatus::end;
    if (!first_) {
        if (is(lx_.peek(), ",")) {
            lx_.take();
            if (f_ == Format::sage && is(lx_.peek(), "]"))  // Python allows a comma after the last item
                return closelist() ? ReadStatus::end : ReadStatus::error;
        } else if (atclose()) {
            return closelist() ? ReadStatus::end : ReadStatus::error;
        } else {
            unexpected("',' or ']' after a code");
            return ReadStatus::error;
        }
    } else if (atclose()) {
        return closelist() ? ReadStatus::end : ReadStatus::error;
    }
    first_ = false;
    codeline = lx_.peek().line;
    toks_.clear();
    starts_.clear();
    c.k = c.n = 0;
    bool ok = f_ == Format::magma ? magmacode(c) : f_ == Format::gap ? gapcode(c) : sagecode(c);
    if (!ok || !evaluate(c)) return ReadStatus::error;
    return ReadStatus::code;
}

}  // namespace

std::unique_ptr<FormatReader> makealgebrareader(std::istream& in, Format f) {
    return std::make_unique<AlgebraReader>(in, f);
}
