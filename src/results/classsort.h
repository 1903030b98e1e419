// Sorting codes from anywhere into equivalence classes.
//
// Codes stream in one at a time; each gets its canonical form, and the
// first code of a form becomes its class's representative, handed on at
// once, so nothing is kept per code: the sorter holds one form and one
// count per class.  The first code of a dimension and length is labelled
// only when a second one comes.  Codes of different dimensions fall into different
// classes; all codes must share the field (the caller sees to the length).
#pragma once
#include <cstdint>
#include <string>
#include <map>
#include <unordered_map>
#include <utility>
#include <vector>

#include "codeio/codematrix.h"
#include "results/analyse.h"

class ClassSorter {
   public:
    // Codes over GF(q); linear4 as for CodeAnalyser.
    ClassSorter(int q, bool linear4) : an_(q, linear4) {}

    // The class of c, numbered from 1 in the order the classes first
    // appear; `fresh` says c is the first of its class.  0 when the rows of
    // c are not independent (c is not counted).  `known`: c's canonical
    // form, when the caller has made it (c is then labelled by no one
    // else).  Codes of another dimension or length fall into other classes.
    // Writes the analyser's workspaces and the table of classes.
    int64_t add(const CodeMatrix& c, bool& fresh, const CodeForm* known = nullptr);

    // sizes()[i]: the codes of class i + 1 so far.
    const std::vector<int64_t>& sizes() const { return sizes_; }

   private:
    // The key of c's class: dimension, length, canonical form (made here
    // unless it is known).
    std::string key(const CodeMatrix& c, const CodeForm* known);

    CodeAnalyser an_;
    CodeForm form_;
    // The first code of each dimension and length, kept unlabelled until a
    // second one comes (one long code alone is never labelled); empty once
    // its class has its key.
    struct FirstOfKind {
        CodeMatrix code;
        int64_t cls = 0;
    };
    std::map<std::pair<int, int>, FirstOfKind> first_;
    std::unordered_map<std::string, int64_t> classof_;
    std::vector<int64_t> sizes_;
};
