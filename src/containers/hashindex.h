// An index of items kept elsewhere in one buffer, by hash: (hash, offset)
// pairs in an open-addressing table, at most half full, that only grows.
// Emptying it for the next round (a level's next parent) costs nothing: an
// entry counts only when its stamp is the round's, and clear() moves the
// stamp on.  The caller hashes its items and compares them itself, since it
// alone knows where and how long they are.
#pragma once
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

class HashIndex {
   public:
    void clear() {
        if (++stamp_ == 0) {  // once in 2^32 rounds: the old stamps could come back
            for (entry& e : slots_) e.stamp = 0;
            stamp_ = 1;
        }
        count_ = 0;
    }
    size_t size() const { return count_; }
    // Adds the item at `offset` (below 2^32) with hash h.
    void insert(uint64_t h, uint32_t offset) {
        if (2 * (count_ + 1) > slots_.size()) grow();
        size_t at = h & (slots_.size() - 1);
        while (slots_[at].stamp == stamp_) at = (at + 1) & (slots_.size() - 1);
        slots_[at] = {h, offset, stamp_};
        count_++;
    }
    // True when same(offset) holds for an item of hash h.
    template <class Same>
    bool find(uint64_t h, Same same) const {
        if (count_ == 0) return false;
        for (size_t at = h & (slots_.size() - 1); slots_[at].stamp == stamp_; at = (at + 1) & (slots_.size() - 1))
            if (slots_[at].hash == h && same(slots_[at].offset)) return true;
        return false;
    }

   private:
    struct entry {
        uint64_t hash;
        uint32_t offset, stamp;
    };
    void grow() {
        std::vector<entry> old(std::max<size_t>(1024, 2 * slots_.size()));
        old.swap(slots_);
        for (const entry& e : old)
            if (e.stamp == stamp_) {
                size_t at = e.hash & (slots_.size() - 1);
                while (slots_[at].stamp == stamp_) at = (at + 1) & (slots_.size() - 1);
                slots_[at] = e;
            }
    }

    std::vector<entry> slots_;
    size_t count_ = 0;
    uint32_t stamp_ = 1;
};
