// Codes as they travel between files: a plain generator matrix, the facts a
// caller may know about it, the file formats, and the names the algebra
// systems give to the elements of GF(q).
//
// The working code of a run (containers/code.h) is laid out for the search;
// a file reader or writer wants nothing but q, k, n and the k x n entries,
// so this type is a flat byte vector that any part of the program (or a
// test) can fill without knowing the run's layout.  Entries are the
// program's integers 0..q-1 in every format; only the text changes.  For
// q = 4 the element 2 is w and 3 is w^2 = w + 1, and each system's name for
// w is its own generator of GF(4) over the polynomial x^2 + x + 1, so the
// tables of field/field.h multiply the names correctly.
#pragma once
#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

#include "containers/limits.h"

// The largest codes the readers accept (the program's own limits).
constexpr int CODEIO_MAXN = MAXLEN - 1;  // 799
constexpr int CODEIO_MAXK = MAXDIM - 1;  // 19

struct CodeMatrix {
    int q = 2, k = 0, n = 0;
    std::vector<uint8_t> a;  // row-major k x n, entries 0..q-1

    CodeMatrix() = default;
    // A zero k x n matrix over GF(q).
    CodeMatrix(int q_, int k_, int n_) : q(q_), k(k_), n(n_), a((size_t)k_ * (size_t)n_, 0) {}
    uint8_t at(int r, int c) const { return a[(size_t)r * (size_t)n + (size_t)c]; }
    uint8_t& at(int r, int c) { return a[(size_t)r * (size_t)n + (size_t)c]; }
    bool operator==(const CodeMatrix&) const = default;
};

// Why c cannot be written or handed on ("" when it can): q must be 2, 3, 4,
// 5 or 7, 1 <= k <= n, k <= CODEIO_MAXK, n <= CODEIO_MAXN, a must hold
// k * n entries, each below q.  Reads c only.
std::string checkcode(const CodeMatrix& c);

// What a caller knows about a code, for the formats that carry it (JSON
// Lines).  Every fact is optional: a negative distance, an empty weight
// list or an empty group order means "not known".
struct CodeFacts {
    int32_t d = -1;                 // minimum distance
    int32_t duald = -1;             // minimum distance of the dual code
    std::vector<uint64_t> weights;  // A_0..A_n: the number of codewords of each weight
    std::string aut;                // order of the automorphism group, in decimal
    // GF(4): the group `aut` counts, "linear" (monomial maps) or
    // "semilinear" (with the field automorphism); "" when not stated.
    std::string equivalence;
    bool operator==(const CodeFacts&) const = default;
};

// Why f does not fit a code of length n ("" when it does): distances within
// 0..n+1, n + 1 weight counts, a group order of decimal digits without a
// leading zero, an equivalence "", "linear" or "semilinear".  Reads f only.
std::string checkfacts(const CodeFacts& f, int n);

enum class Format {
    result,  // the program's own records: "?k n q number" and k rows of digits
    magma,   // LinearCode(Matrix(GF(q), k, n, [...]))
    gap,     // GUAVA: GeneratorMatCode([[...]], GF(q)) with Z(q)^i entries
    sage,    // LinearCode(matrix(GF(q), [[...]]))
    jsonl,   // one JSON object per line
    plain,   // blocks of digit rows separated by blank lines, q given by the caller
};

// The format's name as the command line takes it (its entry of
// formatnames, params/options.h).
const char* formatname(Format f);
// The format named s (the names above, any case); false when none is.
bool parseformat(std::string_view s, Format& f);

// The name of the element x of GF(q) in format f, as the writers put it:
// a digit for the program's records and plain matrices, the integer for
// JSON, "0*Z(q)", "Z(q)^0", "Z(q)", "Z(q)^i" for GAP, the integer for the
// prime fields of Magma and Sage, and for GF(4) "w", "w^2" (Magma) and "a",
// "a + 1" (Sage).  q must satisfy fieldok and 0 <= x < q.
std::string elementname(Format f, int q, int x);

// The element the GAP name Z(q) stands for, in the program's integers: the
// root of the Conway polynomial of GF(q).  For a prime q that is the
// smallest primitive root (1, 2, 2, 3 for q = 2, 3, 5, 7); for q = 4 it is
// w, the program's 2.
int gapprimitive(int q);

// The character of a matrix entry in the program's records: '0'..'9',
// then 'A'..'F'.  x must be below 16.
inline char entrydigit(int x) { return "0123456789ABCDEF"[x & 15]; }

// The records of the program's own files (result files, h files and the
// segments of part files) are a head line and one row per line, one digit
// per entry; every writer of them prints through these two, so the files
// cannot drift apart.  recordhead appends `tag` and the values separated by
// spaces: "?3 8 7 1\n" (tag "?"), "c 2 6 2 10\n" (tag "c ", a part file).
void recordhead(std::string& out, std::string_view tag, std::initializer_list<std::string_view> values);
// Appends rows r0..r1 of a matrix over columns c0..c1: entry(r, c) as its
// digit, and "\n" after each row.
template <class Entry>
void recordrows(std::string& out, int r0, int r1, int c0, int c1, Entry entry) {
    for (int r = r0; r <= r1; r++) {
        for (int c = c0; c <= c1; c++) out += entrydigit(entry(r, c));
        out += '\n';
    }
}
// The value of such a character, or -1 for any other character.
inline int digitvalue(char ch) {
    if (ch >= '0' && ch <= '9') return ch - '0';
    if (ch >= 'A' && ch <= 'F') return ch - 'A' + 10;
    return -1;
}
