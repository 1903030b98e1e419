// Checksums of the files that travel between machines.
//
// Part files are copied between machines and file systems before they are
// merged, so every segment of one carries a checksum of its bytes and the
// file one of its segments.  The sum is 64-bit FNV-1a: each step (xor a
// byte, multiply by an odd number) is a bijection of the state, so a change
// of any single byte always changes the sum, and any other damage is missed
// with probability about 2^-64.  It guards against accidents, not attacks.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

class Checksum {
   public:
    void add(const char* p, size_t len) {
        for (size_t i = 0; i < len; i++) h_ = (h_ ^ (unsigned char)p[i]) * 0x100000001b3ULL;
    }
    void add(const std::string& s) { add(s.data(), s.size()); }
    // Another sum, as its eight bytes (least significant first).
    void add(uint64_t sum) {
        char b[8];
        for (int i = 0; i < 8; i++) b[i] = (char)(sum >> (8 * i));
        add(b, 8);
    }
    uint64_t value() const { return h_; }
    // The sum as sixteen lower-case hexadecimal digits.
    std::string hex() const;

   private:
    uint64_t h_ = 0xcbf29ce484222325ULL;
};

// Sixteen lower-case hexadecimal digits, as hex() writes them, into v;
// false for anything else.
bool parsehex64(const std::string& s, uint64_t& v);
