// Exports of a finished result file: the same codes in an algebra system's
// language or as JSON Lines, and the facts of every code beside them.
//
// A run writes its own format while it runs (a record is complete the
// moment it is written); an export is made from the finished file, so it
// holds exactly the codes of the result file, in its order, and a failed
// export never touches the result.  Each export is written beside its
// final name and renamed into place when complete.
#pragma once
#include <string>

#include "codeio/codematrix.h"

// The codes of the result file at `path` into path + exportext(f) (none
// for the result format itself), the Magma, GAP, Sage and plain files
// opening with the run's parameters as a comment (codeio/writers.h); with
// facts also path + ".stats": the comment line "# record k n d dual_d aut
// A_0 .. A_n", then one line of those numbers per code, and at the end the
// mass of the codes as "# mass=M expected=E complete=yes|no" (or
// "expected=not-counted complete=unknown" without a closed count; see
// results/filemass.h).  JSON Lines always carries the facts.  The group orders are
// those of the file's equivalence (its header; GF(4) files without the
// line are semilinear), and a GF(4) export states it (the statement
// equivalence := "linear" or "semilinear", the JSON key "equivalence").  Gives "" or the complaint, naming the file.
std::string exportresult(const std::string& path, Format f, bool facts);
