// The skeleton of a split run, walked once.
//
// Every part of a split run, and every thread of one, would otherwise walk
// the levels above the split level (the skeleton) before it reaches its own
// units: with many parts the skeleton becomes the run.  But the skeleton is
// the same for all, and a unit needs only its family (the codes of the split
// level that are children of one parent above, with the rows they extend;
// see engine/dimsearch.h).  So one walk keeps the split level, the
// skeleton's segments and every family, and everyone else starts from that.
//
// The parts of one run share it through the skeleton file NAME.skeleton.M
// beside their part files, written whole by the first part that takes its
// lock (the others wait for it) and read by the rest:
//     "#talven skeleton of M parts split L format 1"
//     "P ...", "W ...", "B ..."            the run's parameters
//     "S s count sum bytes" and the bytes   a skeleton segment, its header
//                                          and records as in a part file
//     "F unit units bytes sum" and the bytes  a family: its first unit and
//                                          how many it has, then
//         "w digits"                       each row above it (free positions)
//         "r q flag runno blocks counts..."  each of its level records
//     "x offset unit units"                 the index: where each family is
//     "E units families offset sum"         the end: where the index starts
// A part reads the head, the index and only the families of its own units
// (part 0 the segments too), so a thousand parts do not each read the
// whole file.  Every piece it reads is checked: the sum of the end line
// covers the head, the index and the end line up to the sum; each family's
// sum its bytes; each segment's its records and header as in a part file.
// A file of another run, another split level, damaged or cut short is
// never used: the part then walks the skeleton itself.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "engine/dimsearch.h"
#include "params/params.h"
#include "run/parts.h"

struct Skeleton {
    int split = 0;        // the split level (>= 2)
    int parts = 1;        // chosen for this many parts
    uint64_t units = 0;   // units of the whole run
    struct Segment {
        uint64_t s = 0;        // the segment's number (even)
        std::string header;    // "S s count sum\n", as the part file has it
        std::string body;      // its records
        uint64_t sum = 0;      // the segment's checksum
    };
    std::vector<Segment> segments;  // the skeleton's segments 0, 2, .., 2 units
    std::vector<Family> families;   // in search order
};

// NAME.skeleton.M for the run whose result file is `base` (with its folder).
std::string skeletonpath(const std::string& base, int parts);

// The file's text.
std::string skeletontext(const Skeleton& sk, const RunParams& par);

// Reads the skeleton file at path into sk: "" when it is whole and of this
// run, chosen for `parts` parts and (when `split` is not 0) at that split
// level; else why it is not used, in a few words.  Only the families with a
// unit that `owner` owns are kept (all of them when owner is null).
std::string readskeleton(const std::string& path, const RunParams& par, int parts, int split, const Plan* owner,
                         Skeleton& sk);
