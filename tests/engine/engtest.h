// Helpers of the engine tests: a scratch directory per test and whole-file
// reading.
#pragma once
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

// A fresh directory under /tmp, removed with its contents at the end.
struct engdir {
    std::string path;
    engdir() {
        char tmpl[] = "/tmp/talven_eng_XXXXXX";
        char* p = mkdtemp(tmpl);
        if (p) path = p;
    }
    ~engdir() {
        std::error_code ec;
        std::filesystem::remove_all(path, ec);
    }
    std::string file(const std::string& name) const { return path + "/" + name; }
};

inline std::vector<unsigned char> filebytes(const std::string& path) {
    std::vector<unsigned char> v;
    FILE* f = fopen(path.c_str(), "rb");
    if (!f) return v;
    int c;
    while ((c = fgetc(f)) != EOF) v.push_back((unsigned char)c);
    fclose(f);
    return v;
}

inline std::string filetext(const std::string& path) {
    std::vector<unsigned char> v = filebytes(path);
    return std::string(v.begin(), v.end());
}
