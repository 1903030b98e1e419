// Exports of real runs load back: every format holds the result file's
// codes in its order, the facts of JSON Lines and of the .stats file are
// those listing finds (the group order by trying every monomial map, of
// the run's equivalence), and the checker accepts every export.
#include <gtest/gtest.h>

#include "brute.h"
#include "codeio/readers.h"
#include "results/exports.h"
#include "results/fileformat.h"

namespace {

struct Case {
    int n, k, d, q;
    bool linear4;
};

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

TEST(Exports, EveryFormatLoadsBackWithTheFactsOfListing) {
    const Case cases[] = {{5, 2, 3, 4, false}, {5, 2, 3, 4, true}, {6, 3, 3, 3, false}, {4, 2, 3, 7, false},
                          {7, 3, 3, 2, false}};
    for (const Case& c : cases) {
        const std::string run = "--quiet " + runargs(c.n, c.k, c.d, c.q) + (c.linear4 ? " --equivalence linear" : "");
        const std::string name = runname(c.n, c.k, c.d, c.q);
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
                    lines.push_back(factline(m, c.q == 4 && !c.linear4, facts.back()));
                    if (c.q == 4) facts.back().equivalence = c.linear4 ? "linear" : "semilinear";
                }
            }
            EXPECT_EQ(brute::readcodes(dir.file(name)), codes);  // another run, the same file

            const std::string file = name + exportext(f), exported = dir.file(file);
            EXPECT_EQ(guessformat(exported), f);
            std::string why;
            auto reader = openreader(exported, f, 0, why);
            ASSERT_TRUE(reader) << why;
            CodeMatrix m;
            CodeFacts got;
            size_t i = 0;
            ReadStatus st;
            while ((st = reader->next(m, &got)) == ReadStatus::code) {
                ASSERT_LT(i, codes.size());
                EXPECT_EQ(m, codes[i]) << "code " << i + 1;
                if (f == Format::jsonl) {
                    EXPECT_EQ(got, facts[i]) << "code " << i + 1;
                }
                i++;
            }
            EXPECT_EQ(st, ReadStatus::end) << reader->error();
            EXPECT_EQ(i, codes.size());

            std::vector<std::string> stats = splitlines(readfile(dir.file(name + ".stats")));
            ASSERT_EQ(stats.size(), codes.size() + 2);
            EXPECT_EQ(stats[0], "# record k n d dual_d aut A_0 .. A_n");
            for (size_t j = 0; j < codes.size(); j++) EXPECT_EQ(stats[j + 1], std::to_string(j + 1) + " " + lines[j]);
            // The mass at the end: |G| / |Aut| summed with the orders of listing.
            uint64_t G = c.q == 4 && !c.linear4 ? 2 : 1, mass = 0;
            for (int i = 1; i <= c.n; i++) G *= (uint64_t)i * (uint64_t)(c.q - 1);
            for (const CodeFacts& cf : facts) mass += G / std::stoull(cf.aut);
            EXPECT_EQ(stats.back(), "# mass=" + std::to_string(mass) + " expected=not-counted complete=unknown");

            // The checker takes the export as it is: a GF(4) export states its
            // equivalence, so a linear run's needs no option.
            if (c.q == 4) {
                EXPECT_NE(readfile(exported).find(c.linear4 ? "\"linear\"" : "\"semilinear\""), std::string::npos);
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
    // And the whole file exports.
    EXPECT_EQ(exportresult(dir.file("6_3_3.3"), Format::gap, true), "");
    EXPECT_EQ(brute::readcodes(dir.file("6_3_3.3.g"), Format::gap), brute::readcodes(dir.file("6_3_3.3")));
}

}  // namespace
