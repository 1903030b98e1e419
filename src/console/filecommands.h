// The commands on files of codes: `check` and `classes`, and the exports
// made after a run or a merge.
//
// Each reports on stdout in one machine-readable line and on stderr in
// one line per fault, like the run command; the exit status is 0 when all
// is well, 1 on a fault in the files, 2 on a bad command line.
#pragma once
#include <string>
#include <vector>

#include "codeio/codematrix.h"

struct FileCommand {
    std::vector<std::string> files;
    std::string format;       // the input format ("" : from each file's name and first line)
    int q = 0;                // the field of plain matrices
    std::string equivalence;  // GF(4): "linear", "semilinear", "" (as the file says; else semilinear)
    // The command line fills these from their options, whose defaults are
    // in the option table (params/options.h).
    std::string to;               // classes: the format of the representatives
    std::string out;              // classes: their file (the sizes go to OUT.sizes)
    bool mass = false;            // check: the mass and its verdict too
};

// talven check FILE: the checker's report (with --mass the mass and its
// verdict at the end of the line); status 1 on any fault.
int checkcommand(const FileCommand& c);
// talven classes FILE...: one representative per class into c.out (with
// the suffix of the --to format added when c.out has none: Sage's load()
// wants it), the sizes of the classes into c.out + ".sizes".
int classescommand(const FileCommand& c);
// The exports of a finished result file (--format, --stats); "" or why not.
std::string exportafter(const std::string& result, const std::string& format, bool stats);
