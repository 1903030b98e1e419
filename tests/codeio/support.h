// Helpers of the codeio tests: random generator matrices, whole texts
// written and read back through the writers and readers, and the documented
// result file of the [7,4,3] binary run.
#pragma once
#include <cctype>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "codeio/readers.h"
#include "codeio/writers.h"

// A k x n matrix of uniformly random entries of GF(q).
inline CodeMatrix randomcode(std::mt19937& rng, int q, int k, int n) {
    CodeMatrix c(q, k, n);
    for (auto& x : c.a) x = (uint8_t)std::uniform_int_distribution<int>(0, q - 1)(rng);
    return c;
}

// The text CodeWriter makes of codes (with facts[i] when given) in f over GF(q).
inline std::string writeall(Format f, int q, const std::vector<CodeMatrix>& codes,
                            const std::vector<CodeFacts>* facts = nullptr) {
    std::ostringstream out;
    CodeWriter w(out, f, q);
    w.begin();
    for (size_t i = 0; i < codes.size(); i++) w.write(codes[i], facts ? (*facts)[i] : CodeFacts());
    w.end();
    return w.error().empty() ? out.str() : "writer error: " + w.error();
}

struct ReadAll {
    std::vector<CodeMatrix> codes;
    std::vector<CodeFacts> facts;
    ReadStatus last = ReadStatus::end;  // what ended the reading: end or error
    std::string error;
};
// Every code of text in format f (q as CodeReader takes it), up to the end
// or the first error.
inline ReadAll readall(const std::string& text, Format f, int q = 0) {
    std::istringstream in(text);
    CodeReader r(in, f, q);
    ReadAll all;
    CodeMatrix c;
    for (CodeFacts facts; (all.last = r.next(c, &facts)) == ReadStatus::code; facts = CodeFacts())
        all.codes.push_back(c), all.facts.push_back(facts);
    all.error = r.error();
    return all;
}

// The line number at the front of a reader's message "line N: ..." (or
// "line N, column C: ..."), or -1 when the message does not start so.
inline long errorline(const std::string& m) {
    size_t end = 5;
    while (end < m.size() && isdigit((unsigned char)m[end])) end++;
    if (m.rfind("line ", 0) != 0 || end == 5 || end == m.size() || (m[end] != ':' && m[end] != ',')) return -1;
    return std::stol(m.substr(5, end - 5));
}

// The result file of the [7,4,3] binary run as the program documents it:
// its header, the Hamming code, the totals (18 lines).
inline const std::string hammingfile =
    "\n"
    " n=7  k=4  d=3 q=2 ; divisible by 1  ; self orthogonal 0,dual distance 1\n"
    "\n"
    "\n"
    "   Possible weights: \n"
    " 3 4 5 6 7\n"
    "\n"
    "   Proportional columns: \n"
    "2 -> 800 ;3 -> 800 ;4 -> 800 ;\n"
    "\n"
    "?4 7 2 1\n"
    "1111000\n"
    "0110100\n"
    "1010010\n"
    "1100001\n"
    "\n"
    " RES 3    1   1   1 \n"
    " ==  Elapsed time: 0.03s\n";
