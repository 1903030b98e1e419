// The helpers of the codeio tests (see support.h).
#include "support.h"

#include <sstream>

#include "common/oracle.h"

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
    for (;;) {
        CodeMatrix c;
        CodeFacts facts;
        ReadStatus st = r.next(c, &facts);
        if (st != ReadStatus::code) {
            all.last = st;
            all.error = r.error();
            return all;
        }
        all.codes.push_back(c);
        all.facts.push_back(facts);
    }
}

std::vector<uint64_t> weightdist(const CodeMatrix& c) {
    oracle::matrix g((size_t)c.k, std::vector<int>((size_t)c.n));
    for (int r = 0; r < c.k; r++)
        for (int j = 0; j < c.n; j++) g[(size_t)r][(size_t)j] = c.at(r, j);
    return oracle::weights(g, c.n, c.q);
}

int mindist(const CodeMatrix& c) {
    std::vector<uint64_t> A = weightdist(c);
    for (int w = 1; w <= c.n; w++)
        if (A[w] > 0) return w;
    return c.n + 1;
}

long errorline(const std::string& message) {
    if (message.rfind("line ", 0) != 0) return -1;
    size_t p = 5;
    long v = 0;
    if (p >= message.size() || message[p] < '0' || message[p] > '9') return -1;
    while (p < message.size() && message[p] >= '0' && message[p] <= '9') v = v * 10 + (message[p++] - '0');
    if (p >= message.size() || (message[p] != ':' && message[p] != ',')) return -1;
    return v;
}

// The result file of the [7,4,3] binary run as the program documents it:
// its header, the Hamming code, the totals.
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
