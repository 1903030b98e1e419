// The class sorter (see classsort.h).
#include "results/classsort.h"

std::string ClassSorter::key(const CodeMatrix& c) {
    an_.form(c, form_);
    return std::to_string(c.k) + " " + form_.key;
}

int64_t ClassSorter::add(const CodeMatrix& c, bool& fresh) {
    fresh = false;
    if (an_.rank(c) != c.k) return 0;
    auto [first, firstofk] = first_.try_emplace(c.k);
    if (firstofk) {
        sizes_.push_back(1);
        first->second = {c, (int64_t)sizes_.size()};
        return fresh = true, first->second.cls;
    }
    if (!first->second.code.a.empty()) {
        classof_.emplace(key(first->second.code), first->second.cls);
        first->second.code = CodeMatrix();
    }
    auto [it, added] = classof_.emplace(key(c), (int64_t)sizes_.size() + 1);
    if (added) sizes_.push_back(0);
    sizes_[(size_t)it->second - 1]++;
    fresh = added;
    return it->second;
}
