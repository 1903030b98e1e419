// A part file as a resume and the merge read it: cut at any byte after its
// head it is incomplete, never damaged, and keeps exactly the segments
// whole before the cut (reading up to a checkpoint's offset alike); each
// kind of damaged line is refused with its reason and its line number.
#include <gtest/gtest.h>

#include <cinttypes>
#include <functional>
#include <random>

#include "run/runs.h"

namespace {

// Part 0 of 2 of a small run (skeleton segments and units): its file.
std::string makepart(const tempdir& dir) {
    SplitRun r;
    r.par = params({11, 4, 3, 2}), r.outdir = dir.path + "/", r.resdir = dir.path + "/res/";
    r.part = 0, r.parts = 2, r.split = 2;
    const SplitResult s = runsplit(r);
    EXPECT_EQ(s.how, runend::complete) << s.error;
    return s.partfile;
}

TEST(PartFile, ACutFileKeepsTheSegmentsWholeBeforeTheCut) {
    tempdir dir;
    const std::string path = makepart(dir), text = readfile(path), cut = dir.file("cut");
    // Where each segment starts (its header) and its unit, read off the text.
    std::vector<size_t> starts;
    std::vector<uint64_t> units;  // per segment; UINT64_MAX for the skeleton's
    size_t headend = 0, endline = 0;
    for (size_t at = 0, no = 1; at < text.size(); at = text.find('\n', at) + 1, no++) {
        if (no == 5) headend = at;
        if (text.compare(at, 2, "E ") == 0) endline = at;
        if (text.compare(at, 2, "S ") != 0 && text.compare(at, 2, "U ") != 0) continue;
        starts.push_back(at);
        uint64_t s = 0, u = UINT64_MAX;
        sscanf(text.c_str() + at, text[at] == 'U' ? "U %" SCNu64 " %" SCNu64 : "S %" SCNu64, &s, &u);
        units.push_back(u);
    }
    starts.push_back(endline);
    ASSERT_GT(units.size(), 4u);
    std::vector<size_t> offsets;
    for (size_t s : starts)
        for (size_t o : {s - 1, s, s + 1})
            if (headend <= o && o < text.size()) offsets.push_back(o);
    std::mt19937 g(5);
    for (int t = 0; t < 150; t++) offsets.push_back(headend + g() % (text.size() - headend));
    for (size_t c : offsets) {
        writefile(cut, text.substr(0, c));
        std::vector<uint64_t> want;
        size_t whole = headend;
        for (size_t i = 0; i + 1 < starts.size() && starts[i + 1] <= c; i++) {
            whole = starts[i + 1];
            if (units[i] != UINT64_MAX) want.push_back(units[i]);
        }
        // Read up to an offset in the whole file (a checkpoint's, never inside the end line) alike.
        std::vector<PartScan> scans{scanpart(cut)};
        if (c <= endline) scans.push_back(scanpart(path, c));
        for (const PartScan& ps : scans) {
            EXPECT_EQ(ps.error, "") << "cut at " << c;
            EXPECT_FALSE(ps.ended);
            EXPECT_EQ(ps.complete_end, whole) << "cut at " << c;
            EXPECT_EQ(ps.units, want) << "cut at " << c;
        }
    }
    for (size_t c = 0; c < headend; c += 7) {
        writefile(cut, text.substr(0, c));
        EXPECT_NE(scanpart(cut).error, "") << "a head cut at " << c;
    }
    const PartScan full = scanpart(path);
    EXPECT_TRUE(full.ended && full.error.empty() && full.complete_end == text.size());
}

TEST(PartFile, ADamagedLineIsRefusedWithItsReasonAndLine) {
    tempdir dir;
    const std::string path = makepart(dir);
    const std::vector<std::string> good = splitlines(readfile(path));
    auto lineof = [&](const char* prefix) {
        size_t i = 0;
        while (good[i].rfind(prefix, 0) != 0) i++;
        return i;
    };
    const size_t record = lineof("c "), header = record - 1, end = lineof("E ");
    const struct {
        size_t line;  // the line changed (from 0)
        std::function<std::string(const std::string&)> change;
        size_t reported;  // the line the refusal names (from 0)
        std::string reason;
    } cases[] = {
        {0, [](auto&) { return "#talven part 0 2 split 2 format 2"; }, 0, "layout 2 of an older version"},
        {0, [](auto&) { return "#talven part 0 2 split 2 format 4"; }, 0, "layout 4, which this version of talven does not read"},
        {0, [](auto&) { return "#talven part 0 2 split 2"; }, 0, "without checksums"},
        {0, [](auto&) { return "#talven part 2 2 split 2 format 3"; }, 0, "not a part file of this program"},
        {1, [](auto& s) { return s.substr(0, s.rfind(' ')); }, 3, "damaged parameters"},
        {header, [](auto& s) { return "U 3 2" + s.substr(s.rfind(' ', s.rfind(' ') - 1)); }, header, "a damaged segment header"},
        {record, [](auto&) { return "c 1 15 3 1"; }, record, "a damaged code record"},
        {record + 1, [](auto& s) { return s.substr(1); }, record + 1, "a row of the wrong length"},
        {record + 1, [](auto& s) { return (s[0] == '0' ? "1" : "0") + s.substr(1); }, header, "the checksum of segment"},
        {end, [](auto& s) { return s.substr(0, s.size() - 1) + (s.back() == '0' ? "1" : "0"); }, end, "checksum of the file"},
        {end, [](auto& s) { return s + "\nE"; }, end + 1, "text after the end line"},
    };
    for (const auto& c : cases) {
        std::vector<std::string> lines = good;
        lines[c.line] = c.change(lines[c.line]);
        writefile(path, joinlines(lines));
        const std::string error = scanpart(path).error;
        EXPECT_NE(error.find(path + " line " + std::to_string(c.reported + 1) + ": "), std::string::npos) << error;
        EXPECT_NE(error.find(c.reason), std::string::npos) << error;
    }
}

}  // namespace
