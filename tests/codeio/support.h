// Helpers of the codeio tests: random generator matrices, whole texts
// written and read back through the writers and readers, and the documented
// result file of the [7,4,3] binary run.
#pragma once
#include <random>
#include <string>
#include <vector>

#include "codeio/readers.h"
#include "codeio/writers.h"

// A k x n matrix of uniformly random entries of GF(q).
CodeMatrix randomcode(std::mt19937& rng, int q, int k, int n);

// The text CodeWriter makes of codes (with facts[i] when given) in f over GF(q).
std::string writeall(Format f, int q, const std::vector<CodeMatrix>& codes,
                     const std::vector<CodeFacts>* facts = nullptr);

struct ReadAll {
    std::vector<CodeMatrix> codes;
    std::vector<CodeFacts> facts;
    ReadStatus last = ReadStatus::end;  // what ended the reading: end or error
    std::string error;
};
// Every code of text in format f (q as CodeReader takes it), up to the end
// or the first error.
ReadAll readall(const std::string& text, Format f, int q = 0);

// The line number at the front of a reader's message "line N: ..." (or
// "line N, column C: ..."), or -1 when the message does not start so.
long errorline(const std::string& message);

// The result file of the [7,4,3] binary run as the program documents it:
// its header, the Hamming code, the totals (18 lines).
extern const char* const hammingfile;
