// Sorting codes from anywhere into equivalence classes.
//
// Codes stream in one at a time; each gets its canonical form, and the
// first code of a form becomes its class's representative, handed on at
// once, so nothing is kept per code: the sorter holds one form and one
// count per class.  The first code of a dimension is labelled only when a
// second code of that dimension comes.  Codes of different dimensions fall into different
// classes; all codes must share the field (the caller sees to the length).
#pragma once
#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include "codeio/codematrix.h"
#include "results/analyse.h"

class ClassSorter {
   public:
    // Codes over GF(q); linear4 as for CodeAnalyser.
    ClassSorter(int q, bool linear4) : an_(q, linear4) {}

    // The class of c, numbered from 1 in the order the classes first
    // appear; `fresh` says c is the first of its class.  0 when the rows of
    // c are not independent (c is not counted).  Writes the analyser's
    // workspaces and the table of classes.
    int64_t add(const CodeMatrix& c, bool& fresh);

    // sizes()[i]: the codes of class i + 1 so far.
    const std::vector<int64_t>& sizes() const { return sizes_; }

   private:
    // The key of c's class among the codes of its dimension.
    std::string key(const CodeMatrix& c);

    CodeAnalyser an_;
    CodeForm form_;
    // The first code of each dimension, kept unlabelled until a second
    // one comes (one long code alone is never labelled); empty once formed.
    struct FirstOfKind {
        CodeMatrix code;
        int64_t cls = 0;
    };
    std::unordered_map<int, FirstOfKind> first_;
    std::unordered_map<std::string, int64_t> classof_;
    std::vector<int64_t> sizes_;
};
