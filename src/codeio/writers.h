// Writers: one code as text, and whole files of codes, in every format.
//
// A file is what its system loads as it is: the program's header and
// records, or a preamble (the field and its generator where the language
// needs one, GUAVA for GAP) and one list variable `codes` holding every code,
// or one JSON object per line, or plain digit blocks.  Each code takes one
// line in the algebra formats and in JSON, so the files stream in both
// directions: a writer keeps nothing but a count, and the readers
// (codeio/readers.h) take the text back one code at a time.
//
// The texts of one code over GF(4) (the program's 2 = w, 3 = w^2 = w + 1):
//   result  ?2 3 4 1 / 102 / 013
//   magma   LinearCode(Matrix(F, 2, 3, [1, 0, w, 0, 1, w^2]))   after  F<w> := GF(4);
//   gap     GeneratorMatCode([[Z(4)^0, 0*Z(4), Z(4)], [0*Z(4), Z(4)^0, Z(4)^2]], GF(4))
//   sage    LinearCode(matrix(GF(4, 'a'), [[1, 0, a], [0, 1, a + 1]]))   after  a = GF(4, 'a').gen()
//   jsonl   {"n":3,"k":2,"q":4,"d":2,"dual_d":3,"weights":[1,0,9,6],"aut":"18","matrix":[[1,0,2],[0,1,3]]}
//   plain   102 / 013
// Over a prime field Magma and Sage name the field GF(q) and the elements
// by their integers, and need no preamble.
#pragma once
#include <cstdint>
#include <optional>
#include <ostream>
#include <string>

#include "codeio/codematrix.h"
#include "codeio/runheader.h"

// The text of the code c in format f, with its line end(s): the record
// "?k n q number" and its rows (result), the expression (magma, gap, sage),
// the object (jsonl, with the known facts of `facts`), the rows (plain).
// c must pass checkcode and facts checkfacts (the caller's duty; an entry
// out of range is written as the digit of its low bits).
std::string codetext(Format f, const CodeMatrix& c, const CodeFacts& facts = {}, int64_t number = 1);

// The lines a file of format f over GF(q) starts with, before its list of
// codes: "F<w> := GF(4);" (magma, q = 4), "LoadPackage(\"guava\");" (gap),
// "a = GF(4, 'a').gen()" (sage, q = 4), else "".
std::string preambletext(Format f, int q);

class CodeWriter {
   public:
    // A writer of codes over GF(q) into out, in format f.
    CodeWriter(std::ostream& out, Format f, int q) : out_(out), f_(f), q_(q) {}

    // GF(4) files of Magma, GAP and Sage: begin states the equivalence the
    // codes were classed under, as the statement equivalence := "linear"
    // (or "semilinear") after the preamble.  Call before begin.
    void stateequivalence(bool linear4) { linear4_ = linear4; }
    // Writes the start of the file: the header (result format, when header
    // is given), or the preamble and the opening of the list `codes`.  The
    // Magma, GAP, Sage and plain files open with the header as a comment
    // line when it is given ("// talven: n=..." in Magma, "# talven: ..."
    // elsewhere; see runheader.h).
    bool begin(const RunHeader* header = nullptr);
    // Writes one code (numbered from 1 in the result format; the facts go
    // into JSON only).  A code that fails checkcode, has another q, or whose
    // facts fail checkfacts (JSON) is refused with error() set and nothing
    // written.
    bool write(const CodeMatrix& c, const CodeFacts& facts = {});
    // Closes the list, or writes the trailer (result format, when given),
    // and flushes the stream.  begin and end are made implicitly when a
    // writer is used without them.
    bool end(const RunTrailer* trailer = nullptr);

    // False and error() set when the stream failed or a code was refused.
    const std::string& error() const { return error_; }
    int64_t count() const { return count_; }

   private:
    bool put(const std::string& text);

    std::ostream& out_;
    Format f_;
    int q_;
    int64_t count_ = 0;
    bool begun_ = false;
    std::optional<bool> linear4_;  // the equivalence stated, if it is
    std::string error_;
};
