// The check of a file of codes that trusts nothing of the run that wrote
// it.
//
// Every code is verified from its matrix alone: it has full rank, is in
// the systematic form of the program's records (a unit column for each
// row in the last k columns), and meets what the file's header asked: the
// minimum distance and allowed weights, self-orthogonality (q <= 4: the
// codes of q = 5 and 7 are not made self-orthogonal), the dual distance
// (codes of the last dimension).  No two codes of one dimension and length
// may be equivalent (canonical forms; over GF(4) under the equivalence the
// file states, else semilinear; a code alone of its dimension and length is
// not labelled).  The minimum distance is held to the header's d without
// being computed exactly when the code has it.  The records must be numbered in
// order and a finished run's totals must match the codes.  Facts a JSON
// Lines file carries are recomputed and compared.  The run's parameters
// come from a result file's header or from the comment an export opens
// with.  On demand the mass of the codes is compared with the number of
// codes they must class (results/filemass.h).  A file that cannot be
// read to its end (cut short, a garbled record, a symbol that is no
// element) is a fault at its line.
#pragma once
#include <atomic>
#include <cstdint>
#include <optional>
#include <string>

#include "codeio/codematrix.h"

struct CheckOptions {
    Format format = Format::result;
    int q = 0;           // the field of plain matrices (0: the file says)
    // GF(4): monomial maps only (true) or with the field automorphism
    // (false); unset: as the file's header says.
    std::optional<bool> linear4{};
    bool mass = false;   // also the mass of the codes and its verdict (results/filemass.h)
    std::atomic<int64_t>* reached = nullptr;  // when given: the number of the code in hand (a progress line)
};

struct CheckReport {
    int64_t codes = 0;    // codes read
    int64_t faults = 0;   // faults found (a damaged file counts one)
    std::string first;    // the first fault: "record 3: ..." or "line 12: ..."
    bool damaged = false; // the file could not be read to its end
    // With `mass`: " mass=M expected=E complete=yes|no" (or "expected=not-counted
    // complete=unknown") for the codes of the run's dimension k (the largest
    // in a file without the run's parameters), then " masses=" and the mass
    // of every dimension from 2 when the file holds lower dimensions (an h
    // file), as a run's totals line has them.  A mass that differs from the
    // number of codes is a fault.
    std::string masswords;
};

// Checks the file at path; faults are counted, the first one kept.
CheckReport checkfile(const std::string& path, const CheckOptions& opt);
