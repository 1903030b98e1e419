// The skeleton file of a split run (see skeleton.h).
#include "run/skeleton.h"

#include <cinttypes>
#include <cstdio>
#include <cstring>

#include "fileio/checked.h"
#include "fileio/checksum.h"

namespace {

constexpr int SKELETON_FORMAT = 1;

std::string firstline(int parts, int split) {
    return "#talven skeleton of " + std::to_string(parts) + " parts split " + std::to_string(split) + " format " +
           std::to_string(SKELETON_FORMAT) + "\n";
}

void appendfamily(std::string& out, const Family& f, int width) {
    out += "F " + std::to_string(f.firstunit) + " " + std::to_string(f.units) + "\n";
    for (size_t r = 0; r + (size_t)width <= f.rows.size() && width > 0; r += (size_t)width) {
        out += "w ";
        for (int p = 0; p < width; p++) out += (char)('0' + f.rows[r + (size_t)p]);
        out += "\n";
    }
    for (size_t at = 0; at < f.records.size();) {
        const uint16_t* h = f.records.data() + at;
        const size_t n = 5 + (size_t)h[0] * (size_t)h[4];
        out += "r";
        for (size_t i = 0; i < n; i++) {
            out += ' ';
            if (i == 2) {
                out += std::to_string((uint32_t)h[2] | (uint32_t)h[3] << 16);
                i++;
            } else {
                out += std::to_string(h[i]);
            }
        }
        out += "\n";
        at += n;
    }
}

// A reader over the file's text, line by line.
struct Lines {
    const std::string& text;
    size_t at = 0;
    bool line(std::string& out) {
        if (at >= text.size()) return false;
        const size_t end = text.find('\n', at);
        if (end == std::string::npos) return false;
        out.assign(text, at, end - at);
        at = end + 1;
        return true;
    }
};

// Numbers separated by single spaces after a tag of one letter; false for
// anything else.
bool numbers(const std::string& line, char tag, std::vector<uint64_t>& out) {
    out.clear();
    if (line.size() < 2 || line[0] != tag || line[1] != ' ') return false;
    const char* p = line.c_str() + 1;
    while (*p == ' ') {
        p++;
        if (*p < '0' || *p > '9') return false;
        uint64_t v = 0;
        while (*p >= '0' && *p <= '9') {
            if (v > (UINT64_MAX - 9) / 10) return false;
            v = 10 * v + (uint64_t)(*p++ - '0');
        }
        out.push_back(v);
    }
    return *p == '\0';
}

// The family whose "F" line is `head`, with the lines that follow it.
bool readfamily(Lines& in, const std::vector<uint64_t>& head, int split, int width, int q, Family& f) {
    if (head.size() != 2 || head[1] > UINT32_MAX) return false;
    f = Family();
    f.level = split;
    f.firstunit = head[0];
    std::string line;
    for (int r = 1; r < split; r++) {
        if (!in.line(line) || line.size() != (size_t)width + 2 || line.compare(0, 2, "w ") != 0) return false;
        for (int p = 0; p < width; p++) {
            const int v = line[(size_t)p + 2] - '0';
            if (v < 0 || v >= q) return false;
            f.rows.push_back((uint8_t)v);
        }
    }
    std::vector<uint64_t> v;
    while (in.at < in.text.size() && in.text.compare(in.at, 2, "r ") == 0) {
        if (!in.line(line) || !numbers(line, 'r', v) || v.size() < 4) return false;
        const uint64_t rq = v[0], flag = v[1], runno = v[2], nblk = v[3];
        if (rq != (uint64_t)q || flag > 1 || runno > INT32_MAX || nblk < 1 || nblk > MAXBLK ||
            v.size() != 4 + nblk * rq)
            return false;
        f.records.insert(f.records.end(), {(uint16_t)rq, (uint16_t)flag, (uint16_t)(runno & 0xffff),
                                           (uint16_t)(runno >> 16), (uint16_t)nblk});
        for (size_t i = 4; i < v.size(); i++) {
            if (v[i] > MAXLEN) return false;
            f.records.push_back((uint16_t)v[i]);
        }
        if (flag == 1) f.units++;
    }
    return f.units == head[1];
}

// The text of the file, when it ends in a whole end line whose sum is that
// of the bytes before it.
std::string checkedtext(const std::string& path, std::string& text) {
    std::string why;
    FILE* fp = openregular(path, why);
    if (!fp) return why;
    char buf[65536];
    size_t got;
    while ((got = fread(buf, 1, sizeof buf, fp)) > 0) text.append(buf, got);
    const bool bad = ferror(fp);
    fclose(fp);
    if (bad) return "cannot read " + path;
    if (text.empty() || text.back() != '\n') return "cut short";
    const size_t start = text.rfind('\n', text.size() - 2) + 1;  // npos + 1 = 0
    const size_t space = text.rfind(' ');
    if (text.compare(start, 2, "E ") != 0 || space == std::string::npos || space < start) return "cut short";
    uint64_t sum = 0;
    if (!parsehex64(text.substr(space + 1, text.size() - space - 2), sum)) return "damaged";
    Checksum c;
    c.add(text.data(), space + 1);
    if (c.value() != sum) return "damaged";
    return "";
}

}  // namespace

std::string skeletonpath(const std::string& base, int parts) { return base + ".skeleton." + std::to_string(parts); }

std::string skeletontext(const Skeleton& sk, const RunParams& par) {
    std::string out = firstline(sk.parts, sk.split) + paramlines(par);
    for (const Skeleton::Segment& s : sk.segments) {
        std::string head = s.header;
        head.pop_back();
        out += head + " " + std::to_string(s.body.size()) + "\n" + s.body;
    }
    for (const Family& f : sk.families) appendfamily(out, f, par.nfree());
    out += "E " + std::to_string(sk.units) + " " + std::to_string(sk.families.size()) + " ";
    Checksum c;
    c.add(out);
    return out + c.hex() + "\n";
}

std::string readskeleton(const std::string& path, const RunParams& par, int parts, int split, const Plan* owner,
                         Skeleton& sk) {
    std::string text;
    const std::string why = checkedtext(path, text);
    if (!why.empty()) return why;
    Lines in{text};
    std::string line;
    int fparts = 0, fsplit = 0, format = 0;
    if (!in.line(line) || sscanf(line.c_str(), "#talven skeleton of %d parts split %d format %d", &fparts, &fsplit,
                                 &format) != 3 ||
        line + "\n" != firstline(fparts, fsplit))
        return "not a skeleton file";
    if (format != SKELETON_FORMAT) return "of another layout";
    if (fparts != parts) return "made for " + std::to_string(fparts) + " parts";
    if (fsplit < 2 || fsplit >= par.k) return "damaged";
    if (split != 0 && fsplit != split) return "split at level " + std::to_string(fsplit);
    const std::string params = paramlines(par);
    if (text.compare(in.at, params.size(), params) != 0) return "of another run";
    in.at += params.size();
    sk = Skeleton();
    sk.parts = fparts;
    sk.split = fsplit;
    std::vector<uint64_t> v;
    uint64_t next = 0;  // the first unit of the next family
    while (in.line(line)) {
        if (line[0] == 'S') {
            uint64_t number = 0, count = 0, bytes = 0;
            char hex[17] = {};
            if (sscanf(line.c_str(), "S %" SCNu64 " %" SCNu64 " %16s %" SCNu64, &number, &count, hex, &bytes) != 4)
                return "damaged";
            Skeleton::Segment seg;
            seg.s = number;
            seg.header = "S " + std::to_string(number) + " " + std::to_string(count) + " " + hex + "\n";
            if (line != seg.header.substr(0, seg.header.size() - 1) + " " + std::to_string(bytes) || number % 2 != 0 ||
                number != 2 * sk.segments.size() || !parsehex64(hex, seg.sum) || bytes > text.size() - in.at)
                return "damaged";
            seg.body.assign(text, in.at, bytes);
            in.at += bytes;
            sk.segments.push_back(std::move(seg));
        } else if (line[0] == 'F') {
            Family f;
            if (!numbers(line, 'F', v) || !readfamily(in, v, fsplit, par.nfree(), par.q, f) || f.firstunit != next)
                return "damaged";
            next += f.units;
            bool keep = owner == nullptr;
            for (uint64_t u = f.firstunit; u < f.firstunit + f.units && !keep; u++) keep = owner->owns(u);
            if (keep) sk.families.push_back(std::move(f));
        } else if (line[0] == 'E') {
            if (!numbers(line.substr(0, line.rfind(' ')), 'E', v) || v.size() != 2 || in.at != text.size())
                return "damaged";
            sk.units = v[0];
            if (sk.segments.size() != sk.units + 1 || next != sk.units) return "damaged";
            return "";
        } else {
            return "damaged";
        }
    }
    return "damaged";
}
