// The helpers of the codeio tests (see support.h).
#include "support.h"

#include <cctype>
#include <sstream>

CodeMatrix randomcode(std::mt19937& rng, int q, int k, int n) {
    CodeMatrix c(q, k, n);
    std::uniform_int_distribution<int> e(0, q - 1);
    for (auto& x : c.a) x = (uint8_t)e(rng);
    return c;
}

std::string writeall(Format f, int q, const std::vector<CodeMatrix>& codes, const std::vector<CodeFacts>* facts) {
    std::ostringstream out;
    CodeWriter w(out, f, q);
    w.begin();
    for (size_t i = 0; i < codes.size(); i++) w.write(codes[i], facts ? (*facts)[i] : CodeFacts());
    w.end();
    return w.error().empty() ? out.str() : "writer error: " + w.error();
}

ReadAll readall(const std::string& text, Format f, int q) {
    std::istringstream in(text);
    CodeReader r(in, f, q);
    ReadAll all;
    CodeMatrix c;
    for (CodeFacts facts; (all.last = r.next(c, &facts)) == ReadStatus::code; facts = CodeFacts())
        all.codes.push_back(c), all.facts.push_back(facts);
    all.error = r.error();
    return all;
}

long errorline(const std::string& m) {
    size_t end = 5;
    while (end < m.size() && isdigit((unsigned char)m[end])) end++;
    if (m.rfind("line ", 0) != 0 || end == 5 || end == m.size() || (m[end] != ':' && m[end] != ',')) return -1;
    return std::stol(m.substr(5, end - 5));
}

const char* const hammingfile =
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
