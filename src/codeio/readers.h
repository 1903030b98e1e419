// Readers: the codes of a file, one at a time, in any of the six formats.
//
// A reader streams: `next` parses one code and hands it over, keeping no
// more than that code and one line or token of the file, so a file of a
// million codes is never held whole.  Every damage a file can have (cut
// short, a garbled record header, a row of the wrong length, a symbol that
// names no element, a list that is never closed) ends in one message that
// names the line, "line 12: ...", and the reader then stays in that error;
// nothing is ever taken on trust from the file before it is checked, so
// no input can make a reader crash or allocate without bound.
//
// What each format accepts: the program's result and h files, with or
// without their header and trailer; the Magma, GAP, Sage and JSON Lines
// texts as the writers (codeio/writers.h) write them, with the spacing,
// comments and equivalent element names of each language (w + 1 for w^2,
// Z(2)^0 in GF(4), Magma's LinearCode<F, n | ...> form); plain matrices:
// blocks of rows of digits, spaces between them allowed, blank lines
// between blocks, q given by the caller.
#pragma once
#include <cstdint>
#include <istream>
#include <memory>
#include <optional>
#include <string>

#include "codeio/codematrix.h"
#include "codeio/runheader.h"

enum class ReadStatus { code, end, error };

// The numbers of a record header of the program's files: "?k n q number"
// (result file) or "?k n q number overall" (h file: the number in its
// dimension, then among all records).
struct RecordLabel {
    int64_t number = 0;
    int64_t overall = -1;  // -1 in a result file
};

class FormatReader;  // one per format, in the .cpp files

class CodeReader {
   public:
    // A reader of the codes in `in` (which must outlive it) in format f.
    // q: the field of plain matrices (required there unless the file opens
    // with the comment of a run's parameters); for the other
    // formats 0 takes any field the file names and 2, 3, 4, 5, 7 make a
    // code over another field an error.
    CodeReader(std::istream& in, Format f, int q = 0);
    // The same, owning its stream.
    CodeReader(std::unique_ptr<std::istream> in, Format f, int q = 0);
    ~CodeReader();
    CodeReader(const CodeReader&) = delete;
    CodeReader& operator=(const CodeReader&) = delete;

    // Reads what comes before the first code (the header of a result file,
    // the preamble and the list's opening of Magma, GAP and Sage); false on
    // an error.  `next` does it itself when it was not called.
    bool start();
    // The next code into c (and, for JSON Lines, its facts into *facts
    // when given; other formats leave *facts empty).  `code`: c holds a
    // code that passes checkcode.  `end`: the file ended properly (c is
    // left alone).  `error`: error() says why and where; so does every
    // later call.
    ReadStatus next(CodeMatrix& c, CodeFacts* facts = nullptr);

    // "line N: ..." after an error, else "".
    const std::string& error() const;
    // The line the last code began on.
    long line() const;
    Format format() const { return format_; }

    // The program's files only.  The header's parameters (null for a file
    // without header, and before start); the trailer's totals (null until
    // `next` gave `end` on a file that has them: a stopped run leaves none);
    // the numbers of the last record header.
    const RunHeader* header() const;
    const RunTrailer* trailer() const;
    const RecordLabel& label() const;
    // The equivalence a GF(4) file states (the header's line, the
    // "equivalence" statement of an algebra file, the key of the last JSON
    // object): 1 linear, 0 semilinear, -1 not stated.
    std::optional<bool> linear4() const;

   private:
    // Why c does not belong to the run an export's comment states ("" when
    // it does, or when the file states none).
    std::string heldtoheader(const CodeMatrix& c) const;

    std::unique_ptr<std::istream> owned_;
    std::unique_ptr<FormatReader> impl_;
    Format format_;
    int q_;
    bool started_ = false;
};

// A reader of the file at path, owning the file; null with `why` set when
// the file cannot be opened.
std::unique_ptr<CodeReader> openreader(const std::string& path, Format f, int q, std::string& why);
