// The readers of the single formats, behind CodeReader (codeio/readers.h).
//
// Each format's reader knows its own syntax and nothing else; CodeReader
// adds what all share: the preamble read once, the error kept once made,
// the expected field and the final check of every code handed out.
#pragma once
#include <istream>
#include <memory>
#include <optional>
#include <string>

#include "codeio/readers.h"

class FormatReader {
   public:
    virtual ~FormatReader() = default;
    // Reads what comes before the first code; false with err set.
    virtual bool start() = 0;
    // The next code (see CodeReader::next); sets err on `error`.
    virtual ReadStatus next(CodeMatrix& c, CodeFacts* facts) = 0;

    std::string err;    // "line N: ..." once an error was met
    long codeline = 0;  // the line the last code began on
    // The program's files only.
    bool hasheader = false, hastrailer = false;
    RunHeader header;
    RunTrailer trailer;
    RecordLabel label;
    // GF(4): 1 when the file says its codes are classed up to monomial maps,
    // 0 when with the field automorphism, -1 when it does not say.
    std::optional<bool> linear4;  // GF(4): as the file states it, when it does

   protected:
    // Sets err to "line <line>: <why>" and gives false.
    bool fail(long line, const std::string& why) {
        err = "line " + std::to_string(line) + ": " + why;
        return false;
    }
    ReadStatus failed(long line, const std::string& why) {
        fail(line, why);
        return ReadStatus::error;
    }
};

std::unique_ptr<FormatReader> makeresultreader(std::istream& in);
std::unique_ptr<FormatReader> makeplainreader(std::istream& in, int q);
std::unique_ptr<FormatReader> makejsonreader(std::istream& in);
// Magma, GAP and Sage.
std::unique_ptr<FormatReader> makealgebrareader(std::istream& in, Format f);
