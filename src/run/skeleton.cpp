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

// The lines of a family after its "F" line.
std::string familybody(const Family& f, int width) {
    std::string out;
    for (size_t r = 0; width > 0 && r + (size_t)width <= f.rows.size(); r += (size_t)width) {
        out += "w ";
        for (int p = 0; p < width; p++) out += (char)('0' + f.rows[r + (size_t)p]);
        out += "\n";
    }
    for (size_t at = 0; at < f.records.size(); at += Family::length(f.records.data() + at)) {
        const uint16_t* h = f.records.data() + at;
        out += "r " + std::to_string(h[0]) + " " + std::to_string(h[1]) + " " + std::to_string(Family::runno(h)) +
               " " + std::to_string(h[4]);
        for (size_t i = 5; i < Family::length(h); i++) {
            out += ' ';
            out += std::to_string(h[i]);
        }
        out += "\n";
    }
    return out;
}

std::string sumof(const std::string& text) {
    Checksum c;
    c.add(text);
    return c.hex();
}

// The numbers of a tagged line (see tagnumbers), none of them negative.
bool numbers(const std::string& line, char tag, std::vector<uint64_t>& out) {
    std::vector<int64_t> v;
    out.clear();
    if (!tagnumbers(line, tag, v)) return false;
    for (int64_t x : v) {
        if (x < 0) return false;
        out.push_back((uint64_t)x);
    }
    return true;
}

// A line with a hexadecimal sum before its last number or at its end:
// "T n n .. sum" (last) or "T n .. sum bytes"; false for anything else.
bool withsum(const std::string& line, char tag, bool last, std::vector<uint64_t>& v, uint64_t& sum) {
    const size_t end = last ? line.size() : line.rfind(' ');
    const size_t space = end == std::string::npos || end == 0 ? std::string::npos : line.rfind(' ', end - 1);
    if (space == std::string::npos || !parsehex64(line.substr(space + 1, end - space - 1), sum)) return false;
    if (!numbers(line.substr(0, space), tag, v)) return false;
    if (!last) {
        std::vector<uint64_t> tail;
        std::string rest = line.substr(end);
        rest.insert(rest.begin(), 'n');
        if (!numbers(rest, 'n', tail) || tail.size() != 1) return false;
        v.push_back(tail[0]);
    }
    return true;
}

// The file, read piece by piece.
class Pieces {
   public:
    explicit Pieces(File fp) : fp_(std::move(fp)) {}
    bool read(uint64_t at, size_t n, std::string& out) {
        out.resize(n);
        return n == 0 || (fseeko(fp_, (off_t)at, SEEK_SET) == 0 && fread(out.data(), 1, n, fp_) == n);
    }
    // The line at `at` (without its newline) and where the next one starts.
    bool line(uint64_t& at, std::string& out) {
        out.clear();
        std::string chunk;
        for (;;) {
            const size_t n = 256;
            chunk.resize(n);
            if (fseeko(fp_, (off_t)(at + out.size()), SEEK_SET) != 0) return false;
            chunk.resize(fread(chunk.data(), 1, n, fp_));
            if (chunk.empty() || out.size() > (1u << 20)) return false;
            const size_t nl = chunk.find('\n');
            out += chunk.substr(0, nl);
            if (nl != std::string::npos) {
                at += out.size() + 1;
                return true;
            }
        }
    }
    uint64_t size() {
        fseeko(fp_, 0, SEEK_END);
        return (uint64_t)ftello(fp_);
    }

   private:
    File fp_;
};

// The family whose "F" line is at `at`, with first unit `unit` and `units`
// units (from the index).
bool readfamily(Pieces& in, uint64_t at, uint64_t unit, uint64_t units, const RunParams& par, int split, Family& f) {
    std::string line, body;
    std::vector<uint64_t> v;
    uint64_t sum = 0;
    if (!in.line(at, line) || !withsum(line, 'F', true, v, sum) || v.size() != 3 || v[0] != unit || v[1] != units ||
        !in.read(at, (size_t)v[2], body))
        return false;
    Checksum c;
    c.add(body);
    if (c.value() != sum) return false;
    f = Family();
    f.level = split;
    f.firstunit = unit;
    const int width = par.nfree();
    size_t pos = 0;
    auto next = [&](std::string& out) {
        const size_t nl = body.find('\n', pos);
        if (nl == std::string::npos) return false;
        out.assign(body, pos, nl - pos);
        pos = nl + 1;
        return true;
    };
    for (int r = 1; r < split; r++) {
        if (!next(line) || line.size() != (size_t)width + 2 || line.compare(0, 2, "w ") != 0) return false;
        for (int p = 0; p < width; p++) {
            const int d = line[(size_t)p + 2] - '0';
            if (d < 0 || d >= par.q) return false;
            f.rows.push_back((uint8_t)d);
        }
    }
    while (pos < body.size()) {
        if (!next(line) || !numbers(line, 'r', v) || v.size() < 4) return false;
        const uint64_t q = v[0], flag = v[1], runno = v[2], nblk = v[3];
        if (q != (uint64_t)par.q || flag > 1 || runno > INT32_MAX || nblk < 1 || nblk > MAXBLK ||
            v.size() != 4 + nblk * q)
            return false;
        uint16_t counts[MAXBLK * MAXVAL];
        for (size_t i = 4; i < v.size(); i++) {
            if (v[i] > MAXLEN) return false;
            counts[i - 4] = (uint16_t)v[i];
        }
        f.add((int)q, (int)flag, (int)runno, (int)nblk, counts);
    }
    return f.units == units;
}

// The skeleton's segments from `at` up to `end`: each one's records and
// header must give its sum, as in a part file.
bool readsegments(Pieces& in, uint64_t at, uint64_t end, uint64_t units, Skeleton& sk) {
    std::string line;
    std::vector<uint64_t> v;
    while (at < end) {
        uint64_t sum = 0;
        if (!in.line(at, line) || !withsum(line, 'S', false, v, sum) || v.size() != 3 ||
            v[0] != 2 * sk.segments.size() || v[2] > end - at)
            return false;
        Skeleton::Segment seg;
        seg.s = v[0];
        seg.sum = sum;
        seg.header = line.substr(0, line.rfind(' ')) + "\n";
        if (!in.read(at, (size_t)v[2], seg.body)) return false;
        at += v[2];
        Checksum c;
        c.add(seg.body);
        c.add("S " + std::to_string(v[0]) + " " + std::to_string(v[1]));
        if (c.value() != sum) return false;
        sk.segments.push_back(std::move(seg));
    }
    return at == end && sk.segments.size() == units + 1;
}

}  // namespace

std::string skeletonpath(const std::string& base, int parts) { return base + ".skeleton." + std::to_string(parts); }

std::string skeletontext(const Skeleton& sk, const RunParams& par) {
    const std::string head = firstline(sk.parts, sk.split) + paramlines(par);
    std::string out = head;
    for (const Skeleton::Segment& s : sk.segments) {
        std::string h = s.header;
        h.pop_back();
        out += h + " " + std::to_string(s.body.size()) + "\n" + s.body;
    }
    std::string index;
    for (const Family& f : sk.families) {
        index += "x " + std::to_string(out.size()) + " " + std::to_string(f.firstunit) + " " + std::to_string(f.units) +
                 "\n";
        const std::string body = familybody(f, par.nfree());
        out += "F " + std::to_string(f.firstunit) + " " + std::to_string(f.units) + " " + std::to_string(body.size()) +
               " " + sumof(body) + "\n" + body;
    }
    const std::string end = "E " + std::to_string(sk.units) + " " + std::to_string(sk.families.size()) + " " +
                            std::to_string(out.size()) + " ";
    return out + index + end + sumof(head + index + end) + "\n";
}

std::string readskeleton(const std::string& path, const RunParams& par, int parts, int split, const Plan* owner,
                         Skeleton& sk) {
    std::string why;
    File fp = openregular(path, why);
    if (!fp) return why;
    Pieces in(std::move(fp));
    // The head: the first line and the run's parameters.
    uint64_t at = 0;
    std::string line;
    int fparts = 0, fsplit = 0, format = 0;
    if (!in.line(at, line) || sscanf(line.c_str(), "#talven skeleton of %d parts split %d format %d", &fparts, &fsplit,
                                     &format) != 3 ||
        line + "\n" != firstline(fparts, fsplit))
        return "not a skeleton file";
    if (format != SKELETON_FORMAT) return "of another layout";
    if (fparts != parts) return "made for " + std::to_string(fparts) + " parts";
    if (fsplit < 2 || fsplit >= par.k) return "damaged";
    if (split != 0 && fsplit != split) return "split at level " + std::to_string(fsplit);
    const std::string head = firstline(fparts, fsplit) + paramlines(par);
    std::string text;
    if (!in.read(0, head.size(), text) || text != head) return "of another run";
    // The end line, the index, and their sum.
    const uint64_t size = in.size();
    std::string tail;
    const uint64_t from = size > 256 ? size - 256 : 0;
    if (!in.read(from, (size_t)(size - from), tail) || tail.empty() || tail.back() != '\n') return "cut short";
    const size_t endat = tail.rfind('\n', tail.size() - 2) + 1;  // npos + 1 = 0
    const std::string endline = tail.substr(endat, tail.size() - endat - 1);
    std::vector<uint64_t> v;
    uint64_t sum = 0;
    if (endline.compare(0, 2, "E ") != 0) return "cut short";
    if (!withsum(endline, 'E', true, v, sum) || v.size() != 3) return "damaged";
    const uint64_t units = v[0], families = v[1], indexat = v[2], endpos = from + endat;
    std::string index;
    if (indexat < head.size() || indexat > endpos || !in.read(indexat, (size_t)(endpos - indexat), index))
        return "damaged";
    Checksum c;
    c.add(head);
    c.add(index);
    c.add(endline.substr(0, endline.rfind(' ') + 1));
    if (c.value() != sum) return "damaged";
    sk = Skeleton();
    sk.parts = fparts;
    sk.split = fsplit;
    sk.units = units;
    // The families: the index gives where each one is; only those of the
    // owner's units are read.
    uint64_t next = 0, first = indexat;
    for (size_t pos = 0, n = 0; pos < index.size(); n++) {
        const size_t nl = index.find('\n', pos);
        if (nl == std::string::npos || !numbers(index.substr(pos, nl - pos), 'x', v) || v.size() != 3 ||
            v[1] != next || n >= families)
            return "damaged";
        pos = nl + 1;
        next += v[2];
        if (n == 0) first = v[0];
        bool keep = owner == nullptr;
        for (uint64_t u = v[1]; u < v[1] + v[2] && !keep; u++) keep = owner->owns(u);
        if (!keep) continue;
        Family f;
        if (!readfamily(in, v[0], v[1], v[2], par, fsplit, f)) return "damaged";
        sk.families.push_back(std::move(f));
    }
    if (next != units || (families > 0 && first == indexat)) return "damaged";
    // The skeleton's own codes, which part 0 writes.
    if ((owner == nullptr || owner->part == 0) && !readsegments(in, head.size(), first, units, sk)) return "damaged";
    return "";
}
