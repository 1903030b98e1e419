// The class sorter (see classsort.h).
#include "results/classsort.h"

int64_t ClassSorter::add(const CodeMatrix& c, bool& fresh) {
    fresh = false;
    if (!an_.form(c, form_)) return 0;
    std::string key = std::to_string(c.k) + " " + form_.key;
    auto [it, added] = classof_.emplace(std::move(key), (int64_t)sizes_.size() + 1);
    if (added) sizes_.push_back(0);
    sizes_[(size_t)it->second - 1]++;
    fresh = added;
    return it->second;
}
