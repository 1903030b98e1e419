// The checker on result files of real runs: clean as written, one planted
// fault per copy found at its record (or line) and counted, and never a
// crash on a damaged file.
#include <gtest/gtest.h>

#include <cstring>

#include "brute.h"
#include "results/checkfile.h"
#include "results/exports.h"

namespace {

// The path of a file of the runs the checks start from (made once), and its text.
std::string path(const std::string& name) {
    static const struct Runs {
        tempdir dir;
        Runs() {
            for (const char* args : {"-n 8 -k 4 -d 3 -q 3", "-n 10 -k 4 -d 4 -q 2 --dw 2 --selforth",
                                     "-n 8 -k 3 -d 4 -q 3 --dual 2", "-n 8 -k 3 -d 3 -q 4 --selforth",
                                     "-n 10 -k 2 -d 6 -q 4", "-n 10 -k 2 -d 6 -q 4 --equivalence linear -o linear"}) {
                runresult r = runcommand(dir.path, std::string("--quiet ") + args);
                EXPECT_EQ(r.status, 0) << args << ": " << r.err;
            }
        }
    } runs;
    return runs.dir.file(name);
}
std::string file(const std::string& name) { return readfile(path(name)); }

// The line (from 1) of the header of record r in text.
size_t recordline(const std::string& text, int r) {
    const std::vector<std::string> v = splitlines(text);
    for (size_t i = 0, seen = 0; i < v.size(); i++)
        if (!v[i].empty() && v[i][0] == '?' && (int)++seen == r) return i + 1;
    ADD_FAILURE() << "no record " << r;
    return 0;
}

// The text with the rows of record r replaced by those of c.
std::string withrows(std::string text, int r, const CodeMatrix& c) {
    const size_t at = recordline(text, r);
    for (int i = 0; i < c.k; i++) {
        std::string row;
        for (int j = 0; j < c.n; j++) row += entrydigit(c.at(i, j));
        text = withline(text, at + 1 + (size_t)i, row);
    }
    return text;
}

// The text written as a copy and checked.
CheckReport checked(const std::string& text, Format f = Format::result) {
    writefile(path("copy"), text);
    return checkfile(path("copy"), {.format = f});
}

// A matrix from its rows' digits.
CodeMatrix matrixof(int q, const std::vector<std::string>& rows) {
    CodeMatrix c(q, (int)rows.size(), (int)rows[0].size());
    for (int r = 0; r < c.k; r++)
        for (int j = 0; j < c.n; j++) c.at(r, j) = (uint8_t)digitvalue(rows[(size_t)r][(size_t)j]);
    return c;
}

TEST(CheckFile, RunsOfTheProgramAreClean) {
    for (const char* name : {"8_4_3.3", "10_4_4.2", "8_3_4.3", "8_3_3.4", "10_2_6.4", "linear/10_2_6.4"}) {
        for (const std::string& file : {std::string(name), std::string(name) + "h"}) {
            CheckReport rep = checkfile(path(file), {});
            EXPECT_EQ(rep.faults, 0) << file << ": " << rep.first;
            EXPECT_FALSE(rep.damaged) << file;
            EXPECT_EQ(rep.codes, (int64_t)brute::readcodes(path(file)).size()) << file;
        }
    }
    // The linear run of GF(4) has one class more than the semilinear one:
    // read with the field automorphism, exactly one record is a duplicate.
    ASSERT_EQ(brute::readcodes(path("linear/10_2_6.4")).size(), brute::readcodes(path("10_2_6.4")).size() + 1);
    CheckReport rep = checkfile(path("linear/10_2_6.4"), {.linear4 = 0});
    EXPECT_EQ(rep.faults, 1) << rep.first;
    EXPECT_NE(rep.first.find("equivalent to record"), std::string::npos) << rep.first;
}

// Every fault the checker knows planted once into a copy of a run's file:
// the rows of a record replaced, a record header or the trailer changed.
TEST(CheckFile, PlantedFaultsAreFoundAtTheirRecord) {
    const ownfield F{3};
    const std::string clean = file("8_4_3.3"), h = file("8_4_3.3h"), even = file("10_4_4.2"), gf4 = file("10_2_6.4");
    const std::vector<CodeMatrix> codes = brute::readcodes(path("8_4_3.3")), c4 = brute::readcodes(path("10_2_6.4"));
    ASSERT_EQ(codes.size(), 44u);
    ASSERT_EQ(splitlines(h)[recordline(h, 3) - 1], "?3 7 3 1 3");
    // Record 2 with two free columns exchanged, one of them scaled: still systematic.
    CodeMatrix image = codes[1];
    for (int r = 0; r < 4; r++) {
        image.at(r, 0) = codes[1].at(r, 1);
        image.at(r, 1) = (uint8_t)F.mul(2, codes[1].at(r, 0));
    }
    ASSERT_FALSE(image == codes[1]);
    // Record 5 with a row of weight 2; record 6 by two other bases of its
    // code; record 7 with a repeated row.
    CodeMatrix light = codes[4], mixed = codes[5], swapped = codes[5], repeated = codes[6];
    for (int j = 0; j < 8; j++) {
        if (j < 4) light.at(0, j) = (uint8_t)(j == 0);
        mixed.at(0, j) = (uint8_t)F.add(mixed.at(0, j), F.mul(2, mixed.at(2, j)));
        std::swap(swapped.at(0, j), swapped.at(1, j));
        repeated.at(3, j) = repeated.at(1, j);
    }
    auto total45 = [](std::string t) {
        const size_t eol = t.find('\n', t.find("\n RES") + 1);
        const size_t e = t.find_last_not_of(' ', eol - 1), b = t.find_last_of(' ', e) + 1;
        return t.replace(b, e + 1 - b, "45");
    };
    // Record 3 of the even run with a bit changed: odd weights, so not self-orthogonal either.
    CodeMatrix odd = brute::readcodes(path("10_4_4.2"))[2];
    odd.at(0, 0) ^= 1;
    const std::vector<uint64_t> A = brute::weights(odd);
    size_t w = 5;
    while (!A[w]) w += 2;
    // Record i of GF(4), the first whose conjugate (x -> x^2) is another matrix, put last.
    size_t i = 0;
    CodeMatrix conj;
    do {
        conj = c4.at(i);
        for (auto& x : conj.a) x = (uint8_t)ownfield{4}.frob(x);
    } while (conj == c4[i++]);
    ASSERT_LT(i, c4.size());
    const std::tuple<std::string, std::string, int> cases[] = {
        {withrows(clean, 9, image), "record 9: equivalent to record 2", 1},
        {withrows(clean, 5, light), "record 5: minimum distance 2, below d = 3", 1},
        {withrows(clean, 6, mixed), "record 6: not in systematic form: row 1 has 2 in column 7", 1},
        {withrows(clean, 6, swapped), "record 6: not in systematic form: row 1 has 0 in column 5", 1},
        {withrows(clean, 7, repeated), "record 7: the rows have rank 3, not 4", 1},
        {withline(h, recordline(h, 3), "?3 7 3 1 4"), "record 3: numbered 4 among all records, not 3", 1},
        {withline(h, recordline(h, 3), "?3 7 3 2 3"), "record 3: numbered 2 in dimension 3, not 1", 1},
        {total45(clean), "the RES totals give 45 codes of dimension 4, the file has 44", 1},
        {total45(h), "the RES totals give 45 codes of dimension 4, the file has 44", 1},
        {clean.substr(0, clean.find("\n RES") + 1),  // the records without the trailer
         "no RES totals at the end: the run did not finish", 1},
        // Weights 4 and 6 only, rows 1 and 2 not orthogonal.
        {withrows(even, 2, matrixof(2, {"1110001000", "1001100100", "0101010010", "0010110001"})),
         "record 2: not self-orthogonal", 1},
        {withrows(even, 3, odd), "record 3: " + std::to_string(A[w]) + " codewords of weight " + std::to_string(w) +
                                ", a weight the run does not allow", 2},
        // d = 4 with a zero column: dual distance 1.
        {withrows(file("8_3_4.3"), 3, matrixof(3, {"00111100", "01011010", "01101001"})),
         "record 3: dual distance 1, below 2", 1},
        {withrows(gf4, (int)c4.size(), conj),
         "record " + std::to_string(c4.size()) + ": equivalent to record " + std::to_string(i), 1},
    };
    for (const auto& [copy, first, faults] : cases) {
        const CheckReport rep = checked(copy);
        EXPECT_EQ(rep.faults, faults) << first << ": " << rep.first;
        EXPECT_EQ(rep.first, first);
        EXPECT_FALSE(rep.damaged) << first;
        EXPECT_EQ(rep.codes, (int64_t)brute::readcodes(path("copy")).size()) << first;
    }
}

TEST(CheckFile, StatedFactsOfJsonLines) {
    ASSERT_EQ(exportresult(path("8_3_4.3"), Format::jsonl, false), "");
    const std::string text = file("8_3_4.3.jsonl");
    ASSERT_EQ(checked(text, Format::jsonl).faults, 0);
    const std::string line = splitlines(text).at(4);
    // The key, a value put before the old one (insert) or in its place, the fault.
    const std::tuple<const char*, const char*, bool, const char*> cases[] = {
        {"\"d\":", "1", false, "stated minimum distance 1"},
        {"\"dual_d\":", "7", false, "stated dual distance 7"},
        {"\"aut\":\"", "7", true, "stated group order 7"},
        {"\"weights\":[1,", "1", true, "the stated weight distribution is wrong"},
    };
    for (const auto& [key, value, insert, fault] : cases) {
        const size_t at = line.find(key);
        ASSERT_NE(at, std::string::npos) << key;
        const size_t from = at + strlen(key), to = insert ? from : line.find_first_of(",}", from);
        CheckReport rep = checked(withline(text, 5, line.substr(0, from) + value + line.substr(to)), Format::jsonl);
        EXPECT_EQ(rep.faults, 1) << fault << ": " << rep.first;
        EXPECT_EQ(rep.first.rfind(std::string("code 5: ") + fault, 0), 0u) << rep.first;
        EXPECT_FALSE(rep.damaged);
    }
}

TEST(CheckFile, NoDamageMakesItCrash) {
    std::mt19937 rng(73);
    const std::string text = file("8_3_4.3");
    const size_t trailer = text.find(" RES");
    ASSERT_NE(trailer, std::string::npos);
    // Cut anywhere before the totals, even to nothing: some fault, always,
    // and a file cut inside a record or the header is damaged at a line.
    for (size_t cut = 0; cut < trailer; cut += 5) {
        CheckReport rep = checked(text.substr(0, cut));
        EXPECT_GE(rep.faults, 1) << "cut at " << cut;
        EXPECT_FALSE(rep.first.empty()) << "cut at " << cut;
        EXPECT_EQ(rep.damaged, rep.first.rfind("line ", 0) == 0) << "cut at " << cut << ": " << rep.first;
    }
    // Random bytes changed: whatever it reports, it reports and returns.
    const std::string junk = "0123456789?? \n\t-AZ\x01\xff";
    for (int t = 0; t < 300; t++) {
        std::string s = text;
        for (int i = 0; i < 1 + t % 4; i++) s[rng() % s.size()] = junk[rng() % junk.size()];
        CheckReport rep = checked(s);
        EXPECT_LE(rep.codes, 20);
        EXPECT_EQ(rep.faults == 0, rep.first.empty());
    }
}

}  // namespace
