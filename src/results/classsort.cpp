// The class sorter (see classsort.h).
#include "results/classsort.h"

std::string ClassSorter::key(const CodeMatrix& c, const CodeForm* known) {
    if (!known) an_.form(c, form_);
    return std::to_string(c.k) + " " + std::to_string(c.n) + " " + (known ? known : &form_)->key;
}

int64_t ClassSorter::add(const CodeMatrix& c, bool& fresh, const CodeForm* known) {
    fresh = false;
    if (!known && an_.rank(c) != c.k) return 0;
    auto [first, firstofkind] = first_.try_emplace({c.k, c.n});
    FirstOfKind& one = first->second;
    if (firstofkind) {
        sizes_.push_back(1);
        one.cls = (int64_t)sizes_.size();
        if (known)
            classof_.emplace(key(c, known), one.cls);
        else
            one.code = c;
        return fresh = true, one.cls;
    }
    if (!one.code.a.empty()) {
        classof_.emplace(key(one.code, nullptr), one.cls);
        one.code = CodeMatrix();
    }
    auto [it, added] = classof_.emplace(key(c, known), (int64_t)sizes_.size() + 1);
    if (added) sizes_.push_back(0);
    sizes_[(size_t)it->second - 1]++;
    fresh = added;
    return it->second;
}
