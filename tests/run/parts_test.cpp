// Split runs: the parts of a run, made separately and merged, give the files
// and the mass of the whole run for many splits, fields and restrictions; the
// merge refuses a missing, duplicated, cut or damaged part rather than write a
// wrong result.  (Several threads of a part: threads_test.cpp.)
#include <gtest/gtest.h>
#include <unistd.h>

#include <iterator>
#include <random>
#include <sstream>

#include "run/runs.h"

namespace {

TEST(Parts, TheSumOfThePartsIsTheWholeRun) {
    const runcase cases[] = {
        {11, 4, 3, 2, 1, 0, 1, 0, {5, 9}},  // weights taken out
        {12, 5, 4, 2, 2, 1},                // self-orthogonal, even weights
        {8, 4, 3, 3, 1, 0, 3},              // dual distance 3
        {7, 3, 3, 4},
        {6, 3, 3, 5, 1, 0, 2},              // dual distance 2
        {5, 2, 3, 7},
        {8, 3, 3, 2, 1, 0, 1, 2},           // brute generation from dimension 2
        {6, 1, 2, 3},                       // one dimension: nothing to split
    };
    for (const runcase& c : cases) {
        const RunParams p = params(c);
        SCOPED_TRACE(resultname(p));
        const std::string want = whole(p);
        EXPECT_NE(want.find("?"), std::string::npos);  // the case has codes
        // (Every split level and share of the units: engine/units_test.cpp.)
        for (int M : {1, 2, 7}) EXPECT_TRUE(split(p, M, 1, 0) == want) << M << " parts";
    }
    const RunParams p = params(cases[0]);
    EXPECT_TRUE(split(p, 100, 1, 2) == whole(p)) << "100 parts";
}

TEST(Parts, TheMergeRefusesMissingDuplicatedAndCutParts) {
    const RunParams p = params({13, 5, 4, 2});
    tempdir dir;
    std::vector<std::string> parts;
    split(p, 3, 1, 0, &parts, dir.path);
    auto refused = [&](const std::vector<std::string>& files, const std::string& why) {
        tempdir out;
        MergeResult m = mergeparts(files, out.path + "/", nullptr);
        EXPECT_FALSE(m.ok);
        EXPECT_NE(m.error.find(why), std::string::npos) << m.error;
        EXPECT_EQ(listdir(out.path), std::vector<std::string>{}) << "a refused merge writes nothing";
    };
    refused({parts[0], parts[2]}, "part 1 of 3 is missing");
    // A copy of part 1 under the name of part 2, and in another folder.
    tempdir other;
    const std::string copy = other.file("13_5_4.2.part.1.3");
    writefile(copy, readfile(parts[1]));
    refused({parts[0], parts[1], copy}, "part 1 twice");
    writefile(other.file("13_5_4.2.part.2.3"), readfile(parts[1]));
    refused({parts[0], parts[1], other.file("13_5_4.2.part.2.3")},
            "holds part 1 of 3 of the run 13_5_4.2 (its P line), so its name must be 13_5_4.2.part.1.3");
    // Part 2 cut in the middle of its last segment (no end line).
    const std::string text = readfile(parts[2]);
    const std::string cut = other.file("13_5_4.2.part.2.3");
    writefile(cut, text.substr(0, text.rfind("\nU ") + 40));
    refused({parts[0], parts[1], cut}, "is incomplete");
    // A garbled row: a symbol that is no element of GF(2).
    std::string garbled = text;
    size_t row = garbled.find("\nc ");
    row = garbled.find('\n', row + 1) + 1;
    garbled[row] = '7';
    writefile(cut, garbled);
    refused({parts[0], parts[1], cut}, "not an element of GF(2)");
    refused({parts[0], parts[1], dir.file("no/such")}, "cannot read");
}

// Seeded damages of every kind a copy between machines can do: a row's
// digit changed to another element, a record dropped with its segment's
// count lowered, a byte changed, two lines swapped, a line doubled.  The
// merge either refuses the parts or writes the whole run's files: never a
// wrong result.  The digit flip and the dropped record must be refused.
TEST(Parts, ADamagedPartIsNeverMergedIntoAWrongResult) {
    const RunParams p = params({9, 4, 3, 3});
    tempdir dir;
    std::vector<std::string> parts;
    const std::string want = split(p, 3, 1, 0, &parts, dir.path);
    std::vector<std::string> good;
    for (const std::string& f : parts) good.push_back(readfile(f));
    std::mt19937 rng(4711);
    int refusedcount = 0;
    for (int trial = 0; trial < 60; trial++) {
        const size_t which = rng() % parts.size();
        std::vector<std::string> lines = splitlines(good[which]);
        std::vector<size_t> heads;  // segment headers with two records or more
        for (size_t i = 0; i < lines.size(); i++) {
            std::istringstream h(lines[i]);
            std::string tag, a, b, count;
            if (h >> tag >> a >> b >> count && tag == "U" && std::stoi(count) > 1) heads.push_back(i);
        }
        const int kind = 1 + trial % 4;  // (a row's digit changed: partfile_test.cpp, with its reason)
        const bool mustrefuse = kind == 1;
        if (kind == 1) {  // one record dropped, the count lowered
            if (heads.empty()) continue;
            const size_t at = heads[rng() % heads.size()];
            std::istringstream h(lines[at]);
            std::string tag, s, u, count, sum;
            h >> tag >> s >> u >> count >> sum;
            lines[at] = tag + " " + s + " " + u + " " + std::to_string(std::stoi(count) - 1) + " " + sum;
            const int dim = std::stoi(lines[at + 1].substr(2));
            lines.erase(lines.begin() + (long)at + 1, lines.begin() + (long)at + 2 + dim);
        } else if (kind == 2) {  // any byte to another printable one
            std::string& line = lines[rng() % lines.size()];
            if (line.empty()) continue;
            char& c = line[rng() % line.size()];
            c = (char)(' ' + (c - ' ' + 1 + rng() % 94) % 95);
        } else if (kind == 3) {  // two lines swapped
            const size_t a = rng() % lines.size(), b = rng() % lines.size();
            std::swap(lines[a], lines[b]);
        } else {  // a line doubled
            const size_t a = rng() % lines.size();
            lines.insert(lines.begin() + (long)a, lines[a]);
        }
        const std::string text = joinlines(lines);
        if (text == good[which]) continue;
        writefile(parts[which], text);
        tempdir out;
        MergeResult m = mergeparts(parts, out.path + "/", nullptr);
        writefile(parts[which], good[which]);
        SCOPED_TRACE("trial " + std::to_string(trial) + " kind " + std::to_string(kind));
        if (m.ok) {
            EXPECT_FALSE(mustrefuse);
            EXPECT_TRUE(resultfiles(out.path, resultname(p)) + masstext(m.mass) == want)
                << "a damaged part merged into a wrong result";
        } else {
            refusedcount++;
            EXPECT_EQ(listdir(out.path), std::vector<std::string>{}) << m.error;
        }
    }
    EXPECT_GT(refusedcount, 25);
}

// The parameter lines of a part come back as they were written; a flag
// among them that is neither 0 nor 1 makes them damaged.
TEST(Parts, TheParameterLinesComeBackAndHoldTheirFlagsToZeroOrOne) {
    RunParams p = params({12, 5, 4, 2, 4, 1});  // self-orthogonal and doubly even
    p.targetcuts = true;
    const std::vector<std::string> lines = splitlines(paramlines(p));
    ASSERT_EQ(lines.size(), 3u);
    RunParams back{};
    ASSERT_TRUE(parseparams(lines[0] + "\n", lines[1] + "\n", lines[2] + "\n", back));
    EXPECT_EQ(paramlines(back), paramlines(p));
    EXPECT_TRUE(back.selforth && back.doublyeven && back.targetcuts && !back.brute);
    // P brute brutedim line3 line4 nasked n k d q dw selforth dual doublyeven wtrestr linear4 cuts
    for (int at : {1, 11, 13, 14, 15}) {
        std::istringstream in(lines[0]);
        std::vector<std::string> words{std::istream_iterator<std::string>(in), {}};
        words[(size_t)at] = "2";
        std::string P;
        for (const std::string& w : words) P += (P.empty() ? "" : " ") + w;
        EXPECT_FALSE(parseparams(P + "\n", lines[1] + "\n", lines[2] + "\n", back)) << P;
    }
}

// --resume checks the sums of what it keeps: a part damaged before its
// checkpoint is refused, not continued.
TEST(Parts, AResumeRefusesADamagedPart) {
    const RunParams p = params({9, 4, 3, 3});
    tempdir dir;
    SplitRun r;
    r.par = p, r.outdir = dir.path + "/", r.resdir = dir.path + "/res/", r.part = 1, r.parts = 3;
    SplitResult s = runsplit(r);
    ASSERT_EQ(s.how, runend::complete) << s.error;
    // A checkpoint before the end line: the state of a part killed there.
    std::string text = readfile(s.partfile);
    text = text.substr(0, text.rfind("E "));
    const size_t row = text.find('\n', text.find("\nc ") + 1) + 1;
    text[row] = text[row] == '0' ? '1' : '0';
    writefile(s.partfile, text);
    ASSERT_TRUE(writecheckpoint(checkpointpath(s.partfile), Checkpoint{text.size(), 1.0}));
    r.resume = true;
    s = runsplit(r);
    EXPECT_EQ(s.how, runend::refused);
    EXPECT_NE(s.error.find("the checksum of segment"), std::string::npos) << s.error;
}

}  // namespace
