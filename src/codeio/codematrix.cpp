// The plain code type's checks, the format names (the option table's list)
// and the element names of each system (see codematrix.h).  The names of GF(4) are fixed here once;
// every writer and reader takes them from elementname and gapprimitive.
#include "codeio/codematrix.h"

#include <cctype>

#include "field/field.h"
#include "params/options.h"

std::string checkcode(const CodeMatrix& c) {
    if (!fieldok(c.q)) return "q = " + std::to_string(c.q) + " is not one of 2, 3, 4, 5, 7";
    if (c.k < 1 || c.n < 1)
        return "a code needs k >= 1 and n >= 1 (here k = " + std::to_string(c.k) + ", n = " + std::to_string(c.n) + ")";
    if (c.k > c.n) return "k = " + std::to_string(c.k) + " exceeds n = " + std::to_string(c.n);
    if (c.k > CODEIO_MAXK) return "k = " + std::to_string(c.k) + " is beyond the limit " + std::to_string(CODEIO_MAXK);
    if (c.n > CODEIO_MAXN) return "n = " + std::to_string(c.n) + " is beyond the limit " + std::to_string(CODEIO_MAXN);
    if (c.a.size() != (size_t)c.k * (size_t)c.n)
        return "the matrix holds " + std::to_string(c.a.size()) + " entries, not k * n = " + std::to_string(c.k * c.n);
    for (size_t i = 0; i < c.a.size(); i++)
        if (c.a[i] >= c.q)
            return "entry " + std::to_string(c.a[i]) + " (row " + std::to_string(i / (size_t)c.n + 1) + ", column " +
                   std::to_string(i % (size_t)c.n + 1) + ") is not an element of GF(" + std::to_string(c.q) + ")";
    return "";
}

std::string checkfacts(const CodeFacts& f, int n) {
    if (f.d > n + 1) return "minimum distance " + std::to_string(f.d) + " exceeds n + 1";
    if (f.duald > n + 1) return "dual distance " + std::to_string(f.duald) + " exceeds n + 1";
    if (!f.weights.empty() && f.weights.size() != (size_t)n + 1)
        return std::to_string(f.weights.size()) + " weight counts for length " + std::to_string(n) + " (n + 1 wanted)";
    for (char ch : f.aut)
        if (ch < '0' || ch > '9') return "the group order \"" + f.aut + "\" is not a decimal number";
    if (f.aut.size() > 1 && f.aut[0] == '0') return "the group order \"" + f.aut + "\" has a leading zero";
    if (!f.equivalence.empty() && f.equivalence != "linear" && f.equivalence != "semilinear")
        return "the equivalence \"" + f.equivalence + "\" is neither linear nor semilinear";
    return "";
}

static_assert(std::size(formatnames) == (size_t)Format::plain + 1, "a name for every format");

const char* formatname(Format f) { return formatnames[(int)f]; }

bool parseformat(std::string_view s, Format& f) {
    for (size_t i = 0; i < std::size(formatnames); i++) {
        std::string_view name = formatnames[i];
        if (name.size() != s.size()) continue;
        bool same = true;
        for (size_t j = 0; j < s.size(); j++)
            if (std::tolower((unsigned char)s[j]) != name[j]) same = false;
        if (same) {
            f = (Format)i;
            return true;
        }
    }
    return false;
}

int gapprimitive(int q) {
    // Conway polynomials of degree 1: x + 1 (q = 2), x + 1 (3), x + 3 (5),
    // x + 4 (7), whose roots are 1, 2, 2, 3; of GF(4): x^2 + x + 1, root w.
    switch (q) {
        case 2:
            return 1;
        case 3:
            return 2;
        case 4:
            return 2;
        case 5:
            return 2;
        case 7:
            return 3;
        default:
            return 0;
    }
}

std::string elementname(Format f, int q, int x) {
    switch (f) {
        case Format::result:
        case Format::plain:
            return std::string(1, entrydigit(x));
        case Format::jsonl:
            return std::to_string(x);
        case Format::magma:
            if (q == 4) {
                static const char* const names[] = {"0", "1", "w", "w^2"};
                return names[x & 3];
            }
            return std::to_string(x);
        case Format::sage:
            if (q == 4) {
                static const char* const names[] = {"0", "1", "a", "a + 1"};
                return names[x & 3];
            }
            return std::to_string(x);
        case Format::gap: {
            const std::string z = "Z(" + std::to_string(q) + ")";
            if (x == 0) return "0*" + z;
            // The exponent i with Z(q)^i = x, by the program's tables.
            const Field& F = gf(q);
            int e = 0;
            for (int y = 1; y != x && e < q; y = F.multab[y][gapprimitive(q)]) e++;
            if (e == 1) return z;
            return z + "^" + std::to_string(e);
        }
    }
    return "";
}

void recordhead(std::string& out, std::string_view tag, std::initializer_list<std::string_view> values) {
    out += tag;
    const char* sep = "";
    for (std::string_view v : values) out.append(sep).append(v), sep = " ";
    out += '\n';
}
