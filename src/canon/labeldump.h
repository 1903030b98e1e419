// The incidence matrices a labeller receives, written to a file and read
// back: for measuring the labelling on the inputs of real runs (the
// labelling benchmark) and for testing it on them.
//
// `TALVEN_DUMP_LABELLING=PATH` in the environment makes every labeller of
// the process append each matrix it labels to PATH.  Each labeller opens the
// file for itself in append mode and writes one whole line per matrix with
// one system call, so the labellers of a run with several threads do not
// tear each other's lines (their order is then that of the threads).
//
// One matrix is one line: "c" (coloured columns) or "p" (plain), then
// non-negative integers written as base-32 digits, most significant first,
// every digit but the last from the upper half of a 64-character alphabet:
// M, N, the N colours (coloured only), then for every row the number of its
// ones and their columns, the first as it is and each further one as the
// gap from the one before.  Rows of a code's incidence matrix are short
// lists of nearby columns, so a matrix of a thousand ones takes about a
// thousand bytes.  Lines starting with '#' are comments.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "containers/containers.h"

// One matrix of a dump: entry (r, c) at a[(r-1)*N + (c-1)]; colour[1..N]
// (colour[0] unused), empty when the columns were not coloured.
struct DumpedMatrix {
    int M = 0, N = 0;
    std::vector<uint8_t> a;
    std::vector<int32_t> colour;
};

// The line of one matrix (without its newline) into `out`; `colours` null
// for plain.
void dump_line(const ByteMatrix& inc, const int32_t* colours, std::string& out);
// Reads one line of a dump; false (and `m` unspecified) when it is no valid
// matrix line.
bool dump_parse(const std::string& line, DumpedMatrix& m);
// Every matrix of the dump file `path`, in file order; a line that is not a
// comment and no valid matrix stops the program with a message naming the
// file and the line (this is a tool for benchmarks and tests).
std::vector<DumpedMatrix> dump_read(const std::string& path);
// Copies `m` into `inc` (grown as needed, entries 0/1, columns 1..N).
void dump_load(const DumpedMatrix& m, ByteMatrix& inc);

// The writer a labeller owns: open when the environment asks for a dump.
class LabelDump {
public:
    LabelDump();
    ~LabelDump();
    LabelDump(const LabelDump&) = delete;
    LabelDump& operator=(const LabelDump&) = delete;
    bool on() const { return fd_ >= 0; }
    // Appends the line of `inc` (grow-only buffer, one write).
    void write(const ByteMatrix& inc, const int32_t* colours);

private:
    int fd_ = -1;
    std::string buf_;
};
