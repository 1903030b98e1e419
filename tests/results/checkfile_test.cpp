// The checker on result files of real runs: clean as written, and one
// planted fault per copy found at its record (or line), counted, and never
// a crash on a damaged file.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>

#include "brute.h"
#include "results/checkfile.h"
#include "results/exports.h"

namespace {

using brute::field;

// The runs the checks start from, made once.
struct Runs {
    tempdir dir;
    Runs() {
        for (const char* args : {"-n 8 -k 4 -d 3 -q 3", "-n 10 -k 4 -d 4 -q 2 --dw 2 --selforth",
                                 "-n 8 -k 3 -d 4 -q 3 --dual 2", "-n 8 -k 3 -d 3 -q 4 --selforth",
                                 "-n 10 -k 2 -d 6 -q 4", "-n 10 -k 2 -d 6 -q 4 --equivalence linear -o linear"}) {
            runresult r = runcommand(dir.path, std::string("--quiet ") + args);
            EXPECT_EQ(r.status, 0) << args << ": " << r.err;
        }
    }
    std::string path(const std::string& name) const { return dir.file(name); }
};
const Runs& runs() {
    static Runs r;
    return r;
}

// A result file as lines, to damage one place of a copy.
struct Lines {
    std::vector<std::string> v;
    explicit Lines(const std::string& path) : v(splitlines(readfile(path))) {}
    // The index of the header line of record r (from 1).
    size_t record(int r) const {
        for (size_t i = 0, seen = 0; i < v.size(); i++)
            if (!v[i].empty() && v[i][0] == '?' && (int)++seen == r) return i;
        ADD_FAILURE() << "no record " << r;
        return 0;
    }
    CodeMatrix matrix(int r, int q, int k, int n) const {
        CodeMatrix c(q, k, n);
        const size_t at = record(r);
        for (int i = 0; i < k; i++)
            for (int j = 0; j < n; j++) c.at(i, j) = (uint8_t)digitvalue(v[at + 1 + (size_t)i][(size_t)j]);
        return c;
    }
    void setmatrix(int r, const CodeMatrix& c) {
        const size_t at = record(r);
        for (int i = 0; i < c.k; i++) {
            std::string row;
            for (int j = 0; j < c.n; j++) row += entrydigit(c.at(i, j));
            v[at + 1 + (size_t)i] = row;
        }
    }
    std::string text() const { return joinlines(v); }
};

CheckReport check(const std::string& path, Format f = Format::result, int linear4 = -1) {
    CheckOptions o;
    o.format = f;
    o.linear4 = linear4;
    return checkfile(path, o);
}

// Writes the copy and checks it.
CheckReport checkcopy(const Lines& l, const std::string& name) {
    const std::string path = runs().path(name);
    writefile(path, l.text());
    return check(path);
}

// A systematic k x n matrix (identity in the last k columns) whose rows,
// added one at a time, keep `rows` true, and which as a whole passes `whole`.
CodeMatrix systematic(std::mt19937& rng, int q, int k, int n, const std::function<bool(const CodeMatrix&)>& rows,
                      const std::function<bool(const CodeMatrix&)>& whole) {
    for (int attempt = 0; attempt < 500; attempt++) {
        CodeMatrix c(q, 0, n);
        for (int t = 0; t < 5000 && c.k < k; t++) {
            CodeMatrix x = c;
            x.k++;
            for (int j = 0; j < n - k; j++) x.a.push_back((uint8_t)(rng() % (unsigned)q));
            for (int j = 0; j < k; j++) x.a.push_back(j == c.k ? 1 : 0);
            if (rows(x)) c = x;
        }
        if (c.k == k && whole(c)) return c;
    }
    ADD_FAILURE() << "no such code found";
    return CodeMatrix(q, k, n);
}

int d(const CodeMatrix& c) { return brute::analyse(c, false).d; }

TEST(CheckFile, RunsOfTheProgramAreClean) {
    for (const char* name : {"8_4_3.3", "10_4_4.2", "8_3_4.3", "8_3_3.4", "10_2_6.4", "linear/10_2_6.4"}) {
        for (const std::string& file : {std::string(name), std::string(name) + "h"}) {
            CheckReport rep = check(runs().path(file));
            EXPECT_EQ(rep.faults, 0) << file << ": " << rep.first;
            EXPECT_FALSE(rep.damaged) << file;
            EXPECT_EQ(rep.codes, (int64_t)brute::readcodes(runs().path(file)).size()) << file;
        }
    }
    // The linear run of GF(4) has one class more than the semilinear one:
    // read with the field automorphism, exactly one record is a duplicate.
    const int64_t linear = (int64_t)brute::readcodes(runs().path("linear/10_2_6.4")).size();
    ASSERT_EQ(linear, (int64_t)brute::readcodes(runs().path("10_2_6.4")).size() + 1);
    CheckReport rep = check(runs().path("linear/10_2_6.4"), Format::result, 0);
    EXPECT_EQ(rep.faults, 1) << rep.first;
    EXPECT_NE(rep.first.find("equivalent to record"), std::string::npos) << rep.first;
}

TEST(CheckFile, PlantedFaultsAreFoundAtTheirRecord) {
    std::mt19937 rng(71);
    const std::string base = runs().path("8_4_3.3");
    const int q = 3, k = 4, n = 8;
    const field F{q};
    const Lines clean(base);
    ASSERT_EQ(checkcopy(clean, "copy").faults, 0);
    auto expect = [](const CheckReport& rep, const std::string& first, const std::string& what) {
        EXPECT_EQ(rep.faults, 1) << what << ": " << rep.first;
        EXPECT_EQ(rep.first.substr(0, first.size()), first) << what;
        EXPECT_FALSE(rep.damaged) << what;
    };

    {  // Record 9 replaced by an equivalent copy of record 2 that keeps the systematic form:
       // two free columns exchanged, one of them scaled.
        const CodeMatrix src = clean.matrix(2, q, k, n);
        CodeMatrix img = src;
        for (int a = 0; a + 1 < n - k && img == src; a++)
            for (int r = 0; r < k; r++) img.at(r, a) = src.at(r, a + 1), img.at(r, a + 1) = (uint8_t)F.mul(2, src.at(r, a));
        ASSERT_FALSE(img == src);
        Lines l = clean;
        l.setmatrix(9, img);
        expect(checkcopy(l, "dup"), "record 9: equivalent to record 2", "duplicate");
    }
    {  // One free entry of record 5 changed so that d drops below 3.
        Lines l = clean;
        CodeMatrix c = clean.matrix(5, q, k, n);
        bool planted = false;
        for (int i = 0; i < k * (n - k) && !planted; i++) {
            CodeMatrix x = c;
            uint8_t& e = x.at(i / (n - k), i % (n - k));
            for (int s = 1; s < q && !planted; s++) {
                e = (uint8_t)F.add(c.at(i / (n - k), i % (n - k)), s);
                if (d(x) < 3) planted = true, c = x;
            }
        }
        ASSERT_TRUE(planted);
        l.setmatrix(5, c);
        expect(checkcopy(l, "dist"), "record 5: minimum distance " + std::to_string(d(c)) + ", below d = 3", "distance");
    }
    for (int how = 0; how < 2; how++) {  // Record 6 by another basis of its code: no longer systematic.
        Lines l = clean;
        CodeMatrix c = clean.matrix(6, q, k, n);
        for (int j = 0; j < n; j++)
            if (how == 0)
                c.at(0, j) = (uint8_t)F.add(c.at(0, j), F.mul(2, c.at(2, j)));
            else
                std::swap(c.at(0, j), c.at(1, j));
        l.setmatrix(6, c);
        expect(checkcopy(l, "sys"), how == 0 ? "record 6: not in systematic form: row 1 has 2 in column 7"
                                              : "record 6: not in systematic form: row 1 has 0 in column 5",
               "systematic");
    }
    {  // Record 7 with a repeated row.
        Lines l = clean;
        CodeMatrix c = clean.matrix(7, q, k, n);
        for (int j = 0; j < n; j++) c.at(3, j) = c.at(1, j);
        l.setmatrix(7, c);
        expect(checkcopy(l, "rank"), "record 7: the rows have rank 3, not 4", "rank");
    }
    {  // The h file numbers its records in their dimension and among all.
        const Lines h(base + "h");
        ASSERT_EQ(h.v[h.record(3)], "?3 7 3 1 3");
        Lines l = h;
        l.v[l.record(3)] = "?3 7 3 1 4";
        expect(checkcopy(l, "hall"), "record 3: numbered 4 among all records, not 3", "h file, overall");
        l = h;
        l.v[l.record(3)] = "?3 7 3 2 3";
        expect(checkcopy(l, "hdim"), "record 3: numbered 2 in dimension 3, not 1", "h file, in its dimension");
    }
    for (const Lines& file : {clean, Lines(base + "h")}) {  // A wrong total for the last dimension.
        Lines l = file;
        for (std::string& s : l.v)
            if (s.rfind(" RES", 0) == 0) {
                const size_t e = s.find_last_not_of(' '), b = s.find_last_of(' ', e) + 1;
                s = s.substr(0, b) + "45" + s.substr(e + 1);
            }
        expect(checkcopy(l, "totals"), "the RES totals give 45 codes of dimension 4, the file has 44", "totals");
    }
    {  // A run that stopped: the records without the trailer.
        Lines l = clean;
        while (l.v.back().rfind(" RES", 0) != 0) l.v.pop_back();
        l.v.pop_back();
        CheckReport rep = checkcopy(l, "stopped");
        expect(rep, "no RES totals", "trailer");
        EXPECT_NE(rep.first.find("did not finish"), std::string::npos);
        EXPECT_EQ(rep.codes, 44);
    }
}

TEST(CheckFile, DamagedFilesNameTheirLine) {
    const Lines clean(runs().path("8_4_3.3"));
    const struct {
        const char* what;
        int rec, off;  // the record damaged and its line (0: the header)
        char how;
    } cases[] = {{"row cut in the middle", 10, 2, 'c'}, {"file ends after a record header", 13, 0, 'e'},
                 {"garbled record header", 5, 0, 'g'}, {"symbol above q", 6, 3, 's'}, {"row too long", 30, 1, 'l'}};
    for (const auto& c : cases) {
        Lines l = clean;
        const size_t at = l.record(c.rec) + (size_t)c.off;
        if (c.how == 'c') l.v.resize(at + 1), l.v[at].resize(5);
        if (c.how == 'e') l.v.resize(at + 1);
        if (c.how == 'g') l.v[at] = "?4 8 3 five";
        if (c.how == 's') l.v[at][1] = '3';
        if (c.how == 'l') l.v[at] += "0";
        CheckReport rep = checkcopy(l, "damaged");
        EXPECT_TRUE(rep.damaged) << c.what;
        EXPECT_GE(rep.faults, 1) << c.what;
        EXPECT_EQ(rep.codes, c.rec - 1) << c.what;
        EXPECT_EQ(rep.first.rfind("line " + std::to_string(at + 1) + ":", 0), 0u) << c.what << ": " << rep.first;
    }
}

TEST(CheckFile, WhatTheRunAskedOfEveryCode) {
    std::mt19937 rng(72);
    {  // Binary, weights divisible by 2, self-orthogonal: a code of even weights only
       // whose rows are not orthogonal.
        const Lines clean(runs().path("10_4_4.2"));
        const CodeMatrix c = systematic(
            rng, 2, 4, 10,
            [](const CodeMatrix& x) {
                std::vector<uint64_t> A = brute::analyse(x, false).A;
                for (size_t w = 1; w < A.size(); w++)
                    if (A[w] && (w < 4 || w % 2)) return false;
                return true;
            },
            [](const CodeMatrix& x) { return !brute::analyse(x, false).selforth; });
        Lines l = clean;
        l.setmatrix(2, c);
        CheckReport rep = checkcopy(l, "selforth2");
        EXPECT_EQ(rep.faults, 1) << rep.first;
        EXPECT_EQ(rep.first, "record 2: not self-orthogonal");
        // And a weight the run does not allow.
        l = clean;
        CodeMatrix odd = clean.matrix(3, 2, 4, 10);
        odd.at(0, 0) ^= 1;
        ASSERT_GE(d(odd), 4);
        l.setmatrix(3, odd);
        rep = checkcopy(l, "oddweight");
        EXPECT_GE(rep.faults, 1);
        EXPECT_EQ(rep.first.rfind("record 3: ", 0), 0u) << rep.first;
        EXPECT_NE(rep.first.find("a weight the run does not allow"), std::string::npos) << rep.first;
    }
    {  // Dual distance 2 asked: a code with a zero column (dual distance 1).
        const Lines clean(runs().path("8_3_4.3"));
        const CodeMatrix c = systematic(
            rng, 3, 3, 8,
            [](const CodeMatrix& x) { return x.at(x.k - 1, 0) == 0 && d(x) >= 4; },
            [](const CodeMatrix&) { return true; });
        ASSERT_EQ(brute::analyse(c).duald, 1);
        Lines l = clean;
        l.setmatrix(3, c);
        CheckReport rep = checkcopy(l, "dual");
        EXPECT_EQ(rep.faults, 1) << rep.first;
        EXPECT_EQ(rep.first, "record 3: dual distance 1, below 2");
    }
    {  // GF(4) with the field automorphism: the conjugate of a record is a duplicate.
        const Lines clean(runs().path("10_2_6.4"));
        const int count = (int)brute::readcodes(runs().path("10_2_6.4")).size();
        int i = 1;
        while (i < count && brute::conjugate(clean.matrix(i, 4, 2, 10)) == clean.matrix(i, 4, 2, 10)) i++;
        ASSERT_LT(i, count);
        Lines l = clean;
        l.setmatrix(count, brute::conjugate(clean.matrix(i, 4, 2, 10)));
        CheckReport rep = checkcopy(l, "conj");
        EXPECT_EQ(rep.faults, 1) << rep.first;
        EXPECT_EQ(rep.first, "record " + std::to_string(count) + ": equivalent to record " + std::to_string(i));
    }
}

TEST(CheckFile, StatedFactsOfJsonLines) {
    const std::string result = runs().path("8_3_4.3");
    ASSERT_EQ(exportresult(result, Format::jsonl, false), "");
    const std::string text = readfile(result + ".jsonl");
    ASSERT_EQ(check(result + ".jsonl", Format::jsonl).faults, 0);
    std::vector<std::string> lines = splitlines(text);
    ASSERT_GE(lines.size(), 6u);
    const struct {
        const char* key;
        const char* value;
        bool insert;  // put value before the old one (else in its place)
        const char* fault;
    } cases[] = {
        {"\"d\":", "1", false, "stated minimum distance 1"},
        {"\"dual_d\":", "7", false, "stated dual distance 7"},
        {"\"aut\":\"", "7", true, "stated group order 7"},
        {"\"weights\":[1,", "1", true, "the stated weight distribution is wrong"},
    };
    for (const auto& c : cases) {
        std::vector<std::string> l = lines;
        std::string& s = l[4];
        const size_t at = s.find(c.key);
        ASSERT_NE(at, std::string::npos) << c.key;
        const size_t from = at + strlen(c.key), to = c.insert ? from : s.find_first_of(",}", from);
        s = s.substr(0, from) + c.value + s.substr(to);
        const std::string path = runs().path("facts.jsonl");
        writefile(path, joinlines(l));
        CheckReport rep = check(path, Format::jsonl);
        EXPECT_EQ(rep.faults, 1) << c.fault << ": " << rep.first;
        EXPECT_EQ(rep.first.rfind(std::string("code 5: ") + c.fault, 0), 0u) << rep.first;
        EXPECT_FALSE(rep.damaged);
    }
}

TEST(CheckFile, NoDamageMakesItCrash) {
    std::mt19937 rng(73);
    const std::string text = readfile(runs().path("8_3_4.3"));
    const std::string path = runs().path("fuzz");
    const size_t trailer = text.find(" RES");
    ASSERT_NE(trailer, std::string::npos);
    // Cut anywhere before the totals, even to nothing: some fault, always.
    for (size_t cut = 0; cut < trailer; cut += 5) {
        writefile(path, text.substr(0, cut));
        CheckReport rep = check(path);
        EXPECT_GE(rep.faults, 1) << "cut at " << cut;
        EXPECT_FALSE(rep.first.empty()) << "cut at " << cut;
    }
    // Random bytes changed: whatever it reports, it reports and returns.
    const std::string junk = "0123456789?? \n\t-AZ\x01\xff";
    for (int t = 0; t < 300; t++) {
        std::string s = text;
        for (int i = 0; i < 1 + t % 4; i++) s[rng() % s.size()] = junk[rng() % junk.size()];
        writefile(path, s);
        CheckReport rep = check(path);
        EXPECT_LE(rep.codes, 20);
        EXPECT_EQ(rep.faults == 0, rep.first.empty());
    }
}

}  // namespace
