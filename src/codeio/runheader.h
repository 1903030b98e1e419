// The parameters at the top of a result file and the totals at its end.
//
// A result file (and its h file) opens with the run's parameters in free
// text, laid out by the run stage's printer from the labels of the
// option table, and ends with the " RES" totals and the elapsed time.
// Here the same text is made from a plain struct and read back into one,
// with the labels taken from the same table, so a reader keeps step with
// the printer.  The reader (codeio/readers.h) feeds the header's lines
// through the parse functions below one at a time.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "params/params.h"

struct RunHeader {
    bool brute = false;  // brute generation ("Brute gen:" above the parameters)
    // GF(4): classed up to monomial maps only (" Equivalence: linear"), not
    // with the field automorphism too (the default, and what a file without
    // the line means).
    bool linear4 = false;
    int32_t n = 0, k = 0, d = 0, q = 0;
    int32_t dw = 1;                // the allowed weights are divisible by dw
    int32_t selforth = 0;          // 1: self-orthogonal codes only
    int32_t dualdist = 1;          // minimum distance asked of the dual code
    std::vector<int32_t> weights;  // the possible weights, ascending
    std::vector<int32_t> propcol;  // propcol[i - 2]: bound on proportional coordinates in dimension i = 2..k
    bool operator==(const RunHeader&) const = default;
};

struct RunTrailer {
    // The numbers of the " RES" line: the codes of the h file, then its
    // codes per dimension from the first dimension listed.
    std::vector<int64_t> totals;
    double secs = 0;  // the elapsed time, printed to 1/100 s
    bool operator==(const RunTrailer&) const = default;
};

// The header the run stage prints for p: n is the asked length, the
// weights are those allowed up to the construction length.  Reads p only.
RunHeader runheaderof(const RunParams& p);

// Why h is not a header the program could have written ("" when it is):
// q one of 2, 3, 4, 5, 7; 1 <= k <= 19; k <= n <= 799; 1 <= d <= n; dw >= 1;
// flags 0 or 1; weights ascending within 1..n (1..n + k in brute
// generation); k - 1 bounds, each within 1..800.  Reads h only.
std::string checkheader(const RunHeader& h);

// The text of the header, byte for byte as a run prints it (blank lines
// included), and of the trailer (the blank line before " RES", the totals,
// the elapsed time).  Read h and t only.  restext is the trailer up to its
// totals (the blank line and " RES ..."), which the menu's console also
// shows.
std::string headertext(const RunHeader& h);
std::string trailertext(const RunTrailer& t);
std::string restext(const RunTrailer& t);

// The header as one line of words, for the comment an export opens with
// (after "// " in Magma, "# " elsewhere), and back:
//   talven: n=10 k=5 d=3 q=3 dw=1 weights=3-10 selforth=0 dual=1 prop=800,800,800,800 brute=0
// with " equivalence=linear" (or semilinear) at the end for q = 4.  The
// weights are ascending items "w" or "a-b" joined by commas ("weights="
// for none); prop lists the bounds of dimensions 2..k.  COMMENT_MARK is
// the first word; parsewords reads what follows it, checks it with
// checkheader, and gives "" or the reason.
constexpr const char* COMMENT_MARK = "talven:";
std::string headerwords(const RunHeader& h);
std::string parsewords(std::string_view s, RunHeader& h);

// ---- parsing one line at a time ---------------------------------------------
// Each function reads one line of a header or trailer (without its line
// end), fills its part of the struct and gives "" or the reason the line
// does not parse.  Spaces inside a line are not significant.

// " n=7  k=4  d=3 q=2 ; divisible by 1  ; self orthogonal 0,dual distance 1"
// (brute generation has " ; dual distance"): n, k, d, q, dw, selforth,
// dualdist.
std::string parseparamline(std::string_view line, RunHeader& h);
// " Equivalence: linear (...)" or " Equivalence: semilinear (...)": linear4.
std::string parseequivline(std::string_view line, RunHeader& h);
// " 3 4 5 6 7": weights (may be empty).
std::string parseweightline(std::string_view line, RunHeader& h);
// "2 -> 800 ;3 -> 800 ;": propcol, for dimensions 2, 3, ... in turn (may be
// empty).
std::string parsepropline(std::string_view line, RunHeader& h);
// " RES 12    3   4 ": totals.
std::string parsetotalsline(std::string_view line, RunTrailer& t);
// " ==  Elapsed time: 0.03s": secs.
std::string parsetimeline(std::string_view line, RunTrailer& t);
