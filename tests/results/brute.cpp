// The results tests' oracle (see brute.h).
#include "brute.h"

#include <gtest/gtest.h>

#include "codeio/readers.h"

namespace brute {

oracle::matrix rows(const CodeMatrix& c) {
    oracle::matrix g((size_t)c.k, std::vector<int>((size_t)c.n));
    for (int r = 0; r < c.k; r++)
        for (int j = 0; j < c.n; j++) g[(size_t)r][(size_t)j] = c.at(r, j);
    return g;
}

CodeMatrix scramble(const CodeMatrix& c, std::mt19937& rng, bool frobenius) {
    const oracle::matrix g = oracle::scramble(rows(c), c.q, rng, frobenius);
    CodeMatrix out(c.q, (int)g.size(), g.empty() ? 0 : (int)g[0].size());
    for (int r = 0; r < out.k; r++)
        for (int j = 0; j < out.n; j++) out.at(r, j) = (uint8_t)g[(size_t)r][(size_t)j];
    return out;
}

std::vector<CodeMatrix> readcodes(const std::string& path, Format f, int q, std::vector<CodeFacts>* facts) {
    std::vector<CodeMatrix> codes;
    std::string why;
    auto r = openreader(path, f, q, why);
    if (!r) {
        ADD_FAILURE() << why;
        return codes;
    }
    CodeMatrix c;
    CodeFacts cf;
    ReadStatus st;
    while ((st = r->next(c, &cf)) == ReadStatus::code) {
        codes.push_back(c);
        if (facts) facts->push_back(cf);
    }
    if (st != ReadStatus::end) ADD_FAILURE() << path << ": " << r->error();
    return codes;
}

}  // namespace brute
