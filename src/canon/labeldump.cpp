// Writing and reading dumps of labelled matrices (see labeldump.h).
//
// The digits: values 0..31 of a last digit are alphabet[0..31], values of
// the digits before it alphabet[32..63], so a number needs no separator.
#include "canon/labeldump.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>

#include "params/options.h"

namespace {

const char alphabet[] = "0123456789abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ-_";

void put(std::string& s, uint32_t v) {
    char d[8];
    int n = 0;
    d[n++] = alphabet[v & 31];
    for (v >>= 5; v != 0; v >>= 5) d[n++] = alphabet[32 + (v & 31)];
    while (n > 0) s += d[--n];
}

int digit(char c) {
    const char* p = c ? strchr(alphabet, c) : nullptr;
    return p ? (int)(p - alphabet) : -1;
}

// Reads one number at s[i..]; false at the end of the line or a bad digit.
bool get(const std::string& s, size_t& i, uint32_t& v) {
    v = 0;
    for (int k = 0; i < s.size() && k < 7; k++) {
        int d = digit(s[i++]);
        if (d < 0) return false;
        v = v << 5 | (uint32_t)(d & 31);
        if (d < 32) return true;
    }
    return false;
}

}  // namespace

void dump_line(const ByteMatrix& inc, const int32_t* colours, std::string& s) {
    s.assign(1, colours ? 'c' : 'p');
    const int M = inc.rows, N = inc.cols;
    put(s, (uint32_t)M);
    put(s, (uint32_t)N);
    for (int c = 1; c <= N && colours; c++) put(s, (uint32_t)colours[c]);
    for (int r = 1; r <= M; r++) {
        const uint8_t* row = inc.a[r];
        uint32_t ones = 0;
        for (int c = 1; c <= N; c++) ones += row[c] != 0;
        put(s, ones);
        int last = 0;
        for (int c = 1; c <= N; c++)
            if (row[c]) put(s, (uint32_t)(c - last)), last = c;
    }
}

bool dump_parse(const std::string& line, DumpedMatrix& m) {
    if (line.empty() || (line[0] != 'c' && line[0] != 'p')) return false;
    size_t i = 1;
    uint32_t M, N, v;
    if (!get(line, i, M) || !get(line, i, N) || M > 1000000 || N > 1000000) return false;
    m.M = (int)M, m.N = (int)N;
    m.colour.clear();
    if (line[0] == 'c') {
        m.colour.push_back(0);
        for (uint32_t c = 1; c <= N; c++) {
            if (!get(line, i, v) || v < 1 || v > N) return false;
            m.colour.push_back((int32_t)v);
        }
    }
    m.a.assign((size_t)M * N, 0);
    for (uint32_t r = 0; r < M; r++) {
        uint32_t ones;
        if (!get(line, i, ones) || ones > N) return false;
        uint32_t c = 0;
        for (uint32_t k = 0; k < ones; k++) {
            if (!get(line, i, v) || v == 0 || c + v > N) return false;
            c += v;
            m.a[(size_t)r * N + (c - 1)] = 1;
        }
    }
    return i == line.size();
}

std::vector<DumpedMatrix> dump_read(const std::string& path) {
    std::ifstream in(path);
    if (!in) {
        fprintf(stderr, "talven: cannot read the dump %s\n", path.c_str());
        exit(1);
    }
    std::vector<DumpedMatrix> out;
    std::string line;
    for (int no = 1; std::getline(in, line); no++) {
        if (line.empty() || line[0] == '#') continue;
        out.emplace_back();
        if (!dump_parse(line, out.back())) {
            fprintf(stderr, "talven: %s: line %d: not a matrix of a dump\n", path.c_str(), no);
            exit(1);
        }
    }
    return out;
}

void dump_load(const DumpedMatrix& m, ByteMatrix& inc) {
    inc.ensure(m.M, m.N, 2);
    for (int r = 0; r <= m.M; r++) {
        memset(inc.a[r] - 1, 0, (size_t)m.N + 2);
        if (r > 0) memcpy(inc.a[r] + 1, m.a.data() + (size_t)(r - 1) * m.N, (size_t)m.N);
    }
}

LabelDump::LabelDump() {
    const std::string path = envtext(Opt::dumplabelling);
    if (path.empty()) return;
    fd_ = open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (fd_ < 0) fprintf(stderr, "talven: cannot open the labelling dump %s: %s\n", path.c_str(), strerror(errno));
}

LabelDump::~LabelDump() {
    if (fd_ >= 0) close(fd_);
}

void LabelDump::write(const ByteMatrix& inc, const int32_t* colours) {
    dump_line(inc, colours, buf_);
    buf_ += '\n';
    ssize_t n = ::write(fd_, buf_.data(), buf_.size());
    if (n != (ssize_t)buf_.size()) {
        fprintf(stderr, "talven: cannot write the labelling dump: %s\n", n < 0 ? strerror(errno) : "short write");
        close(fd_);
        fd_ = -1;
    }
}
