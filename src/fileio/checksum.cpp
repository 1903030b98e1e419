// Checksums (see checksum.h).
#include "fileio/checksum.h"

std::string Checksum::hex() const {
    static const char digit[] = "0123456789abcdef";
    std::string s(16, '0');
    for (int i = 0; i < 16; i++) s[(size_t)i] = digit[(h_ >> (60 - 4 * i)) & 15];
    return s;
}

bool parsehex64(const std::string& s, uint64_t& v) {
    if (s.size() != 16) return false;
    v = 0;
    for (char c : s) {
        int x = c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
        if (x < 0) return false;
        v = v << 4 | (uint64_t)x;
    }
    return true;
}
