// The header and trailer of a result file (see runheader.h).  The labels
// come from the option table; the parser compares them with every space
// removed, so a header that was re-spaced by hand still reads.
#include "codeio/runheader.h"

#include <array>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "codeio/codematrix.h"
#include "field/field.h"
#include "params/options.h"

namespace {

// The scalars of the parameter line, in the order printed: those with a
// header label, in the order of the settings file.
constexpr auto linefields = [] {
    std::array<Opt, 7> line{};
    size_t at = 0;
    for (Opt id : settingsorder)
        if (option(id).header != nullptr) line[at++] = id;
    if (at != line.size()) throw "seven labels of the parameter line";
    return line;
}();

// The value in h (a RunHeader, const or not) of the scalar `id`.
template <class H>
auto& headerfield(H& h, Opt id) {
    switch (id) {
        case Opt::n: return h.n;
        case Opt::k: return h.k;
        case Opt::d: return h.d;
        case Opt::q: return h.q;
        case Opt::dw: return h.dw;
        case Opt::selforth: return h.selforth;
        default: return h.dualdist;
    }
}

// The label of the parameter line for id, as printed (brute generation
// writes " ; dual distance " where the other writes ",dual distance ").
std::string label(Opt id, bool brute) {
    if (brute && id == Opt::dualdist) return " ; dual distance ";
    return option(id).header;
}

// s without its spaces, tabs and carriage returns.
std::string squeeze(std::string_view s) {
    std::string t;
    for (char ch : s)
        if (ch != ' ' && ch != '\t' && ch != '\r') t += ch;
    return t;
}

// Reads a decimal integer (with an optional minus) of s at pos into v and
// moves pos past it; false when there is none or it exceeds `limit` in
// absolute value.
bool readnumber(std::string_view s, size_t& pos, int64_t& v, int64_t limit) {
    bool neg = false;
    if (pos < s.size() && s[pos] == '-') {
        neg = true;
        pos++;
    }
    size_t start = pos;
    v = 0;
    while (pos < s.size() && s[pos] >= '0' && s[pos] <= '9') {
        v = v * 10 + (s[pos] - '0');
        if (v > limit) return false;
        pos++;
    }
    if (pos == start) return false;
    if (neg) v = -v;
    return true;
}

// The words of s between spaces and tabs.
std::vector<std::string_view> words(std::string_view s) {
    std::vector<std::string_view> w;
    size_t i = 0;
    while (i < s.size()) {
        while (i < s.size() && (s[i] == ' ' || s[i] == '\t' || s[i] == '\r')) i++;
        size_t j = i;
        while (j < s.size() && s[j] != ' ' && s[j] != '\t' && s[j] != '\r') j++;
        if (j > i) w.push_back(s.substr(i, j - i));
        i = j;
    }
    return w;
}

// s in double quotes, for a message (built by appending: GCC 12 warns
// wrongly about a literal put in front of a temporary string).
std::string quote(std::string_view s) {
    std::string r(1, '"');
    r.append(s);
    r += '"';
    return r;
}

// Appends v, printed with the printf format fmt, to out.
void appendf(std::string& out, const char* fmt, long long v) {
    char buf[64];
    snprintf(buf, sizeof buf, fmt, v);
    out += buf;
}

}  // namespace

RunHeader runheaderof(const RunParams& p) {
    RunHeader h;
    h.brute = p.brute;
    h.linear4 = p.q == 4 && p.linear4;
    h.n = p.nasked;
    h.k = p.k;
    h.d = p.d;
    h.q = p.q;
    h.dw = p.dw;
    h.selforth = p.selforth;
    h.dualdist = p.dualdist;
    for (int w = 1; w <= p.n && w < MAXLEN; w++)
        if (p.wt[w] > 0) h.weights.push_back(w);
    for (int i = 2; i <= p.k && i < MAXDIM; i++) h.propcol.push_back(p.propcol[i]);
    return h;
}

std::string checkheader(const RunHeader& h) {
    if (!fieldok(h.q)) return "q = " + std::to_string(h.q) + " is not one of 2, 3, 4, 5, 7";
    if (h.k < 1 || h.k > CODEIO_MAXK) return "k = " + std::to_string(h.k) + " is outside 1..19";
    if (h.n < h.k || h.n > CODEIO_MAXN) return "n = " + std::to_string(h.n) + " is outside k..799";
    if (h.d < 1 || h.d > h.n) return "d = " + std::to_string(h.d) + " is outside 1..n";
    if (h.linear4 && h.q != 4) return "linear equivalence is named for q = " + std::to_string(h.q) + ", not 4";
    if (h.dw < 1) return "dw = " + std::to_string(h.dw) + " is below 1";
    if (h.selforth != 0 && h.selforth != 1) return "self orthogonal is " + std::to_string(h.selforth) + ", not 0 or 1";
    if (h.dualdist < 1) return "dual distance " + std::to_string(h.dualdist) + " is below 1";
    const int top = h.brute ? h.n + h.k : h.n;
    for (size_t i = 0; i < h.weights.size(); i++) {
        if (h.weights[i] < 1 || h.weights[i] > top)
            return "weight " + std::to_string(h.weights[i]) + " is outside 1.." + std::to_string(top);
        if (i > 0 && h.weights[i] <= h.weights[i - 1]) return "the weights are not ascending";
    }
    if (h.propcol.size() != (size_t)h.k - 1)
        return std::to_string(h.propcol.size()) + " proportional bounds for k = " + std::to_string(h.k) +
               " (k - 1 wanted)";
    for (int32_t b : h.propcol)
        if (b < 1 || b > NOBOUND) return "proportional bound " + std::to_string(b) + " is outside 1..800";
    return "";
}

std::string headertext(const RunHeader& h) {
    std::string out = "\n";
    if (h.brute) out += "\n\n Brute gen:\n";
    for (auto field : linefields) {
        out += label(field, h.brute);
        appendf(out, "%lld", headerfield(h, field));
    }
    out += "\n";
    if (h.q == 4) out += std::string(equivalenceline(h.linear4)) + "\n";
    if (!h.brute) out += "\n\n";
    out += "   Possible weights: \n";
    for (int32_t w : h.weights) appendf(out, " %lld", w);
    out += "\n\n";
    out += "   Proportional columns: \n";
    for (size_t i = 0; i < h.propcol.size(); i++) {
        appendf(out, "%lld -> ", (long long)i + 2);
        appendf(out, "%lld ;", h.propcol[i]);
    }
    out += "\n\n";
    return out;
}

std::string restext(const RunTrailer& t) {
    std::string out = "\n RES ";
    for (size_t i = 0; i < t.totals.size(); i++) appendf(out, i == 0 ? "%lld  " : "  %lld ", t.totals[i]);
    return out;
}

std::string trailertext(const RunTrailer& t) {
    char buf[64];
    snprintf(buf, sizeof buf, "\n ==  Elapsed time: %.2fs\n", t.secs);
    return restext(t) + buf;
}

std::string parseequivline(std::string_view line, RunHeader& h) {
    for (bool linear : {false, true}) {
        if (squeeze(line) == squeeze(equivalenceline(linear))) {
            h.linear4 = linear;
            return "";
        }
    }
    return "expected \"Equivalence: linear\" or \"Equivalence: semilinear\"";
}

std::string parseparamline(std::string_view line, RunHeader& h) {
    const std::string s = squeeze(line);
    size_t pos = 0;
    for (auto field : linefields) {
        std::string want = squeeze(label(field, false));
        std::string other = squeeze(label(field, true));  // the dual distance's two punctuations
        if (s.compare(pos, want.size(), want) == 0) {
            pos += want.size();
        } else if (s.compare(pos, other.size(), other) == 0) {
            pos += other.size();
        } else {
            return "expected \"" + want + "\" in the parameter line";
        }
        int64_t v;
        if (!readnumber(s, pos, v, INT32_MAX)) return "no number after \"" + want + "\" in the parameter line";
        headerfield(h, field) = (int32_t)v;
    }
    if (pos != s.size()) return "unexpected text after the dual distance";
    return "";
}

std::string parseweightline(std::string_view line, RunHeader& h) {
    h.weights.clear();
    for (std::string_view w : words(line)) {
        size_t pos = 0;
        int64_t v;
        if (!readnumber(w, pos, v, INT32_MAX) || pos != w.size()) return quote(w.substr(0, 20)) + " is not a weight";
        h.weights.push_back((int32_t)v);
    }
    return "";
}

std::string parsepropline(std::string_view line, RunHeader& h) {
    h.propcol.clear();
    const std::string s = squeeze(line);
    size_t pos = 0;
    while (pos < s.size()) {
        int64_t dim, bound;
        if (!readnumber(s, pos, dim, INT32_MAX) || s.compare(pos, 2, "->") != 0)
            return "expected \"dimension -> bound ;\" in the proportional columns";
        pos += 2;
        if (!readnumber(s, pos, bound, INT32_MAX) || pos >= s.size() || s[pos] != ';')
            return "expected \"dimension -> bound ;\" in the proportional columns";
        pos++;
        if (dim != (int64_t)h.propcol.size() + 2)
            return "proportional bound for dimension " + std::to_string(dim) + " where " +
                   std::to_string(h.propcol.size() + 2) + " was due";
        h.propcol.push_back((int32_t)bound);
    }
    return "";
}

std::string parsetotalsline(std::string_view line, RunTrailer& t) {
    std::vector<std::string_view> w = words(line);
    if (w.size() < 2 || w[0] != "RES") return "expected \" RES\" and the totals";
    t.totals.clear();
    for (size_t i = 1; i < w.size(); i++) {
        size_t pos = 0;
        int64_t v;
        if (!readnumber(w[i], pos, v, INT64_MAX / 10) || pos != w[i].size())
            return quote(w[i].substr(0, 20)) + " is not a total";
        t.totals.push_back(v);
    }
    return "";
}

std::string parsetimeline(std::string_view line, RunTrailer& t) {
    const std::string s = squeeze(line);
    const std::string head = "==Elapsedtime:";
    if (s.compare(0, head.size(), head) != 0 || s.size() < head.size() + 2 || s.back() != 's')
        return "expected \" ==  Elapsed time: <seconds>s\"";
    std::string num = s.substr(head.size(), s.size() - head.size() - 1);
    for (char ch : num)
        if ((ch < '0' || ch > '9') && ch != '.')
            return quote(std::string_view(num).substr(0, 20)) + " is not a time in seconds";
    char* end = nullptr;
    double v = strtod(num.c_str(), &end);
    if (num.empty() || end != num.c_str() + num.size() || !std::isfinite(v) || v < 0)
        return quote(std::string_view(num).substr(0, 20)) + " is not a time in seconds";
    t.secs = v;
    return "";
}

// ---- the header as words ------------------------------------------------------

std::string headerwords(const RunHeader& h) {
    std::string out = COMMENT_MARK;
    appendf(out, " n=%lld", h.n);
    appendf(out, " k=%lld", h.k);
    appendf(out, " d=%lld", h.d);
    appendf(out, " q=%lld", h.q);
    appendf(out, " dw=%lld", h.dw);
    out += " weights=";
    for (size_t i = 0; i < h.weights.size();) {
        size_t j = i;
        while (j + 1 < h.weights.size() && h.weights[j + 1] == h.weights[j] + 1) j++;
        if (i > 0) out += ',';
        appendf(out, "%lld", h.weights[i]);
        if (j > i) appendf(out, "-%lld", h.weights[j]);
        i = j + 1;
    }
    appendf(out, " selforth=%lld", h.selforth);
    appendf(out, " dual=%lld", h.dualdist);
    out += " prop=";
    for (size_t i = 0; i < h.propcol.size(); i++) appendf(out, i > 0 ? ",%lld" : "%lld", h.propcol[i]);
    appendf(out, " brute=%lld", h.brute ? 1 : 0);
    if (h.q == 4) out += h.linear4 ? " equivalence=linear" : " equivalence=semilinear";
    return out;
}

namespace {

// A list "a,b-c,..." of numbers or ranges (empty for none) onto out;
// ranges only when `ranges`.  False when it is anything else.
bool numberlist(std::string_view s, bool ranges, std::vector<int32_t>& out) {
    out.clear();
    size_t pos = 0;
    while (pos < s.size()) {
        int64_t a, b;
        if (!readnumber(s, pos, a, CODEIO_MAXN + 1) || a < 0) return false;
        b = a;
        if (ranges && pos < s.size() && s[pos] == '-') {
            pos++;
            if (!readnumber(s, pos, b, CODEIO_MAXN + 1) || b < a) return false;
        }
        for (int64_t v = a; v <= b; v++) out.push_back((int32_t)v);
        if (pos == s.size()) break;
        if (s[pos++] != ',' || pos == s.size()) return false;
    }
    return true;
}

}  // namespace

std::string parsewords(std::string_view s, RunHeader& h) {
    RunHeader r;
    int32_t brute = -1, equiv = -1;
    bool seen[11] = {};
    const char* keys[] = {"n", "k", "d", "q", "dw", "weights", "selforth", "dual", "prop", "brute", "equivalence"};
    for (std::string_view w : words(s)) {
        const size_t eq = w.find('=');
        if (eq == std::string_view::npos) return quote(w.substr(0, 20)) + " is not name=value";
        const std::string_view key = w.substr(0, eq), value = w.substr(eq + 1);
        int i = 0;
        while (i < 11 && key != keys[i]) i++;
        if (i == 11) return quote(key.substr(0, 20)) + " is no parameter";
        if (seen[i]) return "the parameter " + std::string(key) + " twice";
        seen[i] = true;
        if (i == 5 || i == 8) {
            if (!numberlist(value, i == 5, i == 5 ? r.weights : r.propcol))
                return quote(value.substr(0, 20)) + " is not a list for " + std::string(key);
            continue;
        }
        if (i == 10) {
            if (value != "linear" && value != "semilinear") return quote(value.substr(0, 20)) + " is no equivalence";
            equiv = value == "linear";
            continue;
        }
        size_t pos = 0;
        int64_t v;
        if (!readnumber(value, pos, v, INT32_MAX) || pos != value.size())
            return quote(value.substr(0, 20)) + " is not a number for " + std::string(key);
        int32_t* dst[] = {&r.n, &r.k, &r.d, &r.q, &r.dw, nullptr, &r.selforth, &r.dualdist, nullptr, &brute};
        *dst[i] = (int32_t)v;
    }
    for (int i = 0; i < 10; i++)
        if (!seen[i]) return std::string("the parameter ") + keys[i] + " is missing";
    if (brute != 0 && brute != 1) return "brute is " + std::to_string(brute) + ", not 0 or 1";
    r.brute = brute == 1;
    r.linear4 = equiv == 1;
    if (equiv >= 0 && r.q != 4) return "an equivalence is named for q = " + std::to_string(r.q) + ", not 4";
    std::string why = checkheader(r);
    if (!why.empty()) return why;
    h = r;
    return "";
}
