// Exports and masses of the files of real runs, against listing, the
// oracle's count of codes and the checker.
#include <gtest/gtest.h>

#include <sstream>

#include "brute.h"
#include "results/exports.h"
#include "results/fileformat.h"
#include "results/filemass.h"

namespace {

// The facts of c by listing, as a .stats line would give them after its number.
std::string factline(const CodeMatrix& c, bool semilinear, CodeFacts& f) {
    const oracle::codeinfo b = brute::analyse(c);
    f.d = b.mindist;
    f.duald = b.dualdist;
    f.weights = brute::weights(c);
    f.aut = std::to_string(oracle::maps(brute::rows(c), brute::rows(c), c.q, semilinear));
    std::string s = std::to_string(c.k) + " " + std::to_string(c.n) + " " + std::to_string(f.d) + " " +
                    std::to_string(f.duald) + " " + f.aut;
    for (uint64_t a : f.weights) s += " " + std::to_string(a);
    return s;
}

// Every format holds the result file's codes in its order, the facts of
// JSON Lines and of the .stats file are those listing finds (the group
// order of the run's equivalence), and the checker accepts every export.
TEST(Exports, EveryFormatLoadsBackWithTheFactsOfListing) {
    const std::tuple<int, int, int, int, bool> cases[] = {
        {5, 2, 3, 4, false}, {5, 2, 3, 4, true}, {6, 3, 3, 3, false}, {4, 2, 3, 7, false}, {7, 3, 3, 2, false}};
    for (const auto& [n, k, d, q, linear4] : cases) {
        const std::string run = "--quiet " + runargs(n, k, d, q) + (linear4 ? " --equivalence linear" : "");
        const std::string name = runname(n, k, d, q);
        std::vector<CodeMatrix> codes;
        std::vector<CodeFacts> facts;
        std::vector<std::string> lines;
        for (Format f : {Format::magma, Format::gap, Format::sage, Format::jsonl}) {
            SCOPED_TRACE(run + " --format " + formatname(f));
            tempdir dir;
            runresult r = runcommand(dir.path, run + " --stats --format " + formatname(f));
            ASSERT_EQ(r.status, 0) << r.err;
            if (codes.empty()) {
                codes = brute::readcodes(dir.file(name));
                ASSERT_FALSE(codes.empty());
                for (const CodeMatrix& m : codes) {
                    facts.emplace_back();
                    lines.push_back(factline(m, q == 4 && !linear4, facts.back()));
                    if (q == 4) facts.back().equivalence = linear4 ? "linear" : "semilinear";
                }
            }
            EXPECT_EQ(brute::readcodes(dir.file(name)), codes);  // another run, the same file

            const std::string file = name + exportext(f), exported = dir.file(file);
            EXPECT_EQ(guessformat(exported), f);
            std::vector<CodeFacts> got;
            EXPECT_EQ(brute::readcodes(exported, f, 0, &got), codes);
            if (f == Format::jsonl) {
                EXPECT_EQ(got, facts);
            }

            std::vector<std::string> stats = splitlines(readfile(dir.file(name + ".stats")));
            ASSERT_EQ(stats.size(), codes.size() + 2);
            EXPECT_EQ(stats[0], "# record k n d dual_d aut A_0 .. A_n");
            for (size_t j = 0; j < codes.size(); j++) EXPECT_EQ(stats[j + 1], std::to_string(j + 1) + " " + lines[j]);
            // The mass at the end: |G| / |Aut| summed with the orders of listing.
            uint64_t G = q == 4 && !linear4 ? 2 : 1, mass = 0;
            for (int i = 1; i <= n; i++) G *= (uint64_t)i * (uint64_t)(q - 1);
            for (const CodeFacts& cf : facts) mass += G / std::stoull(cf.aut);
            EXPECT_EQ(stats.back(), "# mass=" + std::to_string(mass) + " expected=not-counted complete=unknown");

            // The checker takes the export as it is: a GF(4) export states its
            // equivalence, so a linear run's needs no option.
            if (q == 4) {
                EXPECT_NE(readfile(exported).find(linear4 ? "\"linear\"" : "\"semilinear\""), std::string::npos);
            }
            r = runcommand(dir.path, "check " + file);
            EXPECT_EQ(r.status, 0) << r.err;
            EXPECT_EQ(r.out, "checked=" + file + " format=" + formatname(f) + " codes=" + std::to_string(codes.size()) +
                                 " faults=0\n");
        }
    }
}

// An export of a damaged file fails naming the file and its line, and
// leaves no export and no stats behind; the result file is not touched.
TEST(Exports, ADamagedResultFileGivesNoExport) {
    tempdir dir;
    ASSERT_EQ(runcommand(dir.path, "--quiet -n 6 -k 3 -d 3 -q 3").status, 0);
    const std::string text = readfile(dir.file("6_3_3.3"));
    const std::string cut = dir.file("cut");
    writefile(cut, text.substr(0, text.find("?3 6 3 3") + 12));
    for (Format f : {Format::magma, Format::gap, Format::sage, Format::jsonl, Format::result}) {
        const std::string why = exportresult(cut, f, true);
        EXPECT_EQ(why.rfind(cut + ": line ", 0), 0u) << formatname(f) << ": " << why;
        EXPECT_EQ(listdir(dir.path), (std::vector<std::string>{"6_3_3.3", "6_3_3.3h", "6_3_3.3inf", "cut", "res"}))
            << formatname(f);
    }
    EXPECT_NE(exportresult(dir.file("nothing"), Format::sage, false).find("nothing"), std::string::npos);
    EXPECT_EQ(readfile(dir.file("6_3_3.3")), text);
    EXPECT_EQ(exportresult(dir.file("6_3_3.3"), Format::gap, true), "");
    EXPECT_EQ(brute::readcodes(dir.file("6_3_3.3.g"), Format::gap), brute::readcodes(dir.file("6_3_3.3")));
}

// The word after "key=" in a line of words ("" when there is none).
std::string word(const std::string& line, const std::string& key) {
    std::istringstream in(line);
    std::string w;
    while (in >> w)
        if (w.rfind(key + "=", 0) == 0) return w.substr(key.size() + 1);
    return "";
}

TEST(FileMass, ListingCountsTheCodesOfRestrictedSets) {
    const std::tuple<int, int, int, int, bool, int, std::vector<int>> cases[] = {
        {7, 3, 3, 2, false, 1, {}}, {7, 3, 2, 2, false, 3, {}}, {7, 3, 2, 2, true, 1, {}}, {6, 3, 3, 3, false, 2, {}},
        {6, 2, 2, 3, false, 1, {4}}, {5, 2, 3, 4, false, 1, {}}, {6, 3, 2, 4, true, 1, {}}, {5, 2, 3, 5, false, 1, {}},
        {4, 2, 3, 7, false, 1, {}}};
    for (const auto& [n, k, d, q, selforth, dual, forbid] : cases) {
        SCOPED_TRACE(testing::Message() << "[" << n << "," << k << "," << d << "]_" << q);
        CodeSet s;
        s.n = n, s.k = k, s.d = d, s.q = q, s.selforth = selforth, s.dualdist = dual;
        oracle::wanted w = oracle::plain(n, k, d, q);
        w.selforth = selforth;
        w.dualdist = dual;
        for (int x : forbid) w.allowed[x] = 0;
        s.allowed.assign(w.allowed.begin(), w.allowed.end());
        BigNat count;
        ASSERT_TRUE(listcodes(s, count));
        EXPECT_EQ(count, BigNat(oracle::count(w)));
    }
    CodeSet big;
    big.n = 30, big.k = 15, big.allowed.assign(31, 1);
    BigNat none;
    EXPECT_FALSE(listcodes(big, none));  // 2^225 subspaces: not counted
}

// A run's totals line and `check --mass` on its result file, its h file
// and its exports give the same mass; a restricted run without a formula
// is proved complete by the listing.
TEST(FileMass, TheRunsMassIsTheMassCheckFinds) {
    const std::pair<const char*, const char*> runs[] = {{"-n 9 -k 4 -d 3 -q 2", "9_4_3.2"},
                                                        {"-n 6 -k 3 -d 1 -q 4 --equivalence linear", "6_3_1.4"},
                                                        {"-n 6 -k 3 -d 3 -q 3 --brute 2", "6_3_3.3b"}};
    for (const auto& [args, name] : runs) {
        SCOPED_TRACE(args);
        tempdir dir;
        runresult run = runcommand(dir.path, std::string(args) + " --quiet --format sage");
        ASSERT_EQ(run.status, 0) << run.err;
        for (const std::string& file : {std::string(name), std::string(name) + "h", std::string(name) + ".sage"}) {
            runresult r = runcommand(dir.path, "check --mass " + file);
            EXPECT_EQ(r.status, 0) << file << ": " << r.err;
            EXPECT_EQ(word(r.out, "mass"), word(run.out, "mass")) << file << ": " << r.out;
            EXPECT_EQ(word(r.out, "complete"), "yes") << file << ": " << r.out;
            if (file.back() == 'h') {
                EXPECT_EQ(word(r.out, "masses"), word(run.out, "masses")) << r.out;
            }
        }
    }
}

// The verdict of a complete file turns when one class is taken out and
// when one is put in twice (plain export, whose comment names the set).
TEST(FileMass, AMissingOrADoubledClassTurnsTheVerdict) {
    tempdir dir;
    ASSERT_EQ(runcommand(dir.path, "-n 6 -k 3 -d 2 -q 3 --quiet --format plain").status, 0);
    const std::string text = readfile(dir.file("6_3_2.3.txt"));
    runresult r = runcommand(dir.path, "check --mass 6_3_2.3.txt");
    ASSERT_EQ(r.status, 0) << r.err;
    ASSERT_EQ(word(r.out, "complete"), "yes") << r.out;
    // Where the blocks of codes start (the first after the comment line).
    std::vector<size_t> at = {text.find('\n') + 1};
    for (size_t p = text.find("\n\n"); p != std::string::npos; p = text.find("\n\n", p + 1)) at.push_back(p + 2);
    ASSERT_GT(at.size(), 3u);
    const std::string fewer = text.substr(0, at[2]) + text.substr(at[3]);        // code 3 left out
    const std::string more = text + "\n" + text.substr(at[1], at[2] - at[1] - 1);  // code 2 again
    const std::pair<std::string, const char*> edits[] = {{fewer, "a class is missing"}, {more, "equivalent to code 2"}};
    for (const auto& [edited, fault] : edits) {
        writefile(dir.file("edited.txt"), edited);
        r = runcommand(dir.path, "check --mass edited.txt");
        EXPECT_EQ(r.status, 1) << fault;
        EXPECT_EQ(word(r.out, "complete"), "no") << fault << ": " << r.out;
        EXPECT_NE(r.err.find(fault), std::string::npos) << r.err;
    }
}

}  // namespace
