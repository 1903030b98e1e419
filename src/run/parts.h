// A run split into parts.
//
// Canonical augmentation decides the children of a parent from that parent
// alone, so a run splits into independent units: the parents of one level
// (the split level), numbered in the order of the depth-first search.  Part
// I of M makes the units u with u mod M = I.  The levels above the split
// level (the skeleton) are the same for all parts: walked once and shared
// through the skeleton file (skeleton.h), or by each part itself when there
// is none.
//
// The output of a run is a sequence of segments in search order: skeleton
// segment 0, unit 0 (segment 1), skeleton segment 2, unit 1 (segment 3), and
// so on; segment 2u + 1 is unit u.  A part file holds the segments a part
// made, each whole, in the order they were finished:
//     "#talven part I M split L format 3"  the part, the split level, the layout
//     "P ...", "W ...", "B ..."         the run's parameters
//     "S s count sum"  or  "U s u count sum"   a segment header: its record
//                                       count and the checksum of the segment
//     "c dim len q size" and dim rows   a code record: the whole working code
//                                       and the size of its class (see classsize.h)
//     "E segments seconds sum"          the end: the part is complete, with
//                                       the checksum of the whole file
// A segment's sum covers its records' bytes, then its header line up to the
// sum; the file's sum covers the four header lines, every segment's sum in
// file order, then the end line up to the sum (see fileio/checksum.h).  A
// part file travels between machines, so the merge and a resume check every
// sum and refuse a damaged file instead of merging a wrong code.
// Only part 0 writes the skeleton's codes.  Merging replays the segments in
// search order through the result-file printers, so the merged files are the
// files a whole run writes, numbering and statistics included; the class
// sizes add up to the mass of every dimension.  (Layout 2 had no class
// sizes; layout 1 no checksums.)
#pragma once
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "containers/code.h"
#include "fileio/checksum.h"
#include "fileio/fault.h"
#include "params/params.h"
#include "invariants/classsize.h"

// Where a run is split and which share of it a process makes.
struct Plan {
    int split = 0;   // the split level, 1..k-1 (0: no split)
    int part = 0;    // this is part `part` of `parts`
    int parts = 1;
    bool owns(uint64_t u) const { return u % (uint64_t)parts == (uint64_t)part; }
};

// The file of part I of M of the run whose result file is `base` (with its
// folder), and its checkpoint.
std::string partpath(const std::string& base, int I, int M);
std::string checkpointpath(const std::string& partfile);

// The layout of the part files this program writes; files of another
// layout are refused, never merged.
constexpr int PART_FORMAT = 3;
// The first line of a part file.
std::string partheadline(const Plan& plan);

// The parameter lines of a part file ("P", "W", "B", each ending in "\n").
std::string paramlines(const RunParams& p);
// The run's parameters from those lines; false when they are damaged (a
// flag that is not 0 or 1 among them).
bool parseparams(const std::string& P, const std::string& W, const std::string& B, RunParams& p);

// The numbers of a line after its one-letter tag (the lines of part,
// choice and skeleton files); false when anything else is there.
bool tagnumbers(const std::string& line, char tag, std::vector<int64_t>& out);

// A code record: "c dim len q size\n" and rows 1..dim over columns 1..len.
void appendrecord(std::string& out, const WorkingCode& code, const BigNat& size);

// The segments a part has finished, found by reading its file: which units
// it made and where its complete segments end.
struct PartScan {
    int I = -1, M = 0, split = 0;
    std::string params;              // the "P", "W", "B" lines
    std::vector<uint64_t> units;     // units made, in file order
    std::vector<uint64_t> skeleton;  // skeleton segments written
    uint64_t complete_end = 0;       // offset after the last whole segment
    Checksum sum;                    // the file's running sum up to complete_end
    bool ended = false;              // the "E" line was read
    uint64_t segments = 0;           // from the "E" line
    double seconds = 0;              // from the "E" line
    std::string error;               // a damaged file: what and where
    MassSums mass;                   // the class sizes of the whole segments, by dimension
};
// Reads the part file at path (up to `limit` bytes, or all of it),
// checking every checksum.
PartScan scanpart(const std::string& path, uint64_t limit = UINT64_MAX);
// Whether the scanned file is part `part` of `parts` of the run `par` (at
// split level `split`, when that is not 0): "" or what differs.
std::string samerun(const PartScan& ps, const std::string& path, const RunParams& par, int part, int parts, int split);

// The checkpoint of a part: every segment up to `offset` in its file is
// whole, and `seconds` of processor time went into it.
struct Checkpoint {
    uint64_t offset = 0;
    double seconds = 0;
};
// Reads a checkpoint; false when there is none or it is damaged.
bool readcheckpoint(const std::string& path, Checkpoint& c);
// Writes a checkpoint atomically (new file, synced, renamed); false on failure.
bool writecheckpoint(const std::string& path, const Checkpoint& c);

// The units of the levels a part counted while it chose its split level,
// kept beside its part file (NAME.part.I.M.split) so that a stopped part
// resumes without walking those levels again:
//     "#talven split choice of part I M"   whose part
//     "P ...", "W ...", "B ..."            the run's parameters
//     "L level units"                      a level walked, one line each
//     "C level"                            the level chosen, when it was
//     "sum HEX"                            the checksum of the lines above
// The file is replaced whole after every level (fileio/checked.h).
struct SplitChoice {
    std::vector<int64_t> units;  // units[L] for L = 1..k-1; -1 when not counted
    int chosen = 0;              // the level chosen (0: not yet)
    int64_t at(int L) const { return L < (int)units.size() ? units[(size_t)L] : -1; }
    int counted() const;         // how many levels were counted
};
std::string choicepath(const std::string& partfile);
// Reads the choice of part `part` of `parts` of the run `par`; false when
// there is none, or it is damaged or of another run or part (it is then
// not used: the levels are walked again).
bool readchoice(const std::string& path, const RunParams& par, int part, int parts, SplitChoice& c);
// Writes it; false on failure (the part then only loses the shortcut).
bool writechoice(const std::string& path, const RunParams& par, int part, int parts, const SplitChoice& c);

// The outcome of a merge.
struct MergeResult {
    bool ok = false;
    std::string error;     // one line: what is wrong, naming the part
    int32_t codes = 0;     // codes of the final dimension
    double seconds = 0;    // processor time of all parts
    MassSums mass;         // the mass of every dimension
    RunParams par{};       // the run's parameters
};
// Merges the part files `files` (any order) of one run into the result
// files of the run in folder `outdir` (with separator): checks that every
// part of the split is there once and complete, then replays the segments
// in search order.  Writes nothing when a check fails.
MergeResult mergeparts(const std::vector<std::string>& files, const std::string& outdir, FILE* console);
