// Damaged inputs: every reader stops with one message that names the line
// of the damage, never crashes, never hands out a code it did not check,
// whether the damage is planted by hand or is any cut or random change.
#include <gtest/gtest.h>

#include <algorithm>

#include "common/testutil.h"
#include "support.h"

namespace {

// A text whose reading in format f must stop with an error on `line`
// whose message holds `part`.
struct Damage {
    std::string text;
    long line;
    const char* part;
    Format f = Format::result;
    int q = 0;
};

void expecterrors(const std::vector<Damage>& cases) {
    for (const Damage& d : cases) {
        std::istringstream in(d.text);
        CodeReader r(in, d.f, d.q);
        CodeMatrix c;
        ReadStatus st;
        while ((st = r.next(c)) == ReadStatus::code) {
        }
        EXPECT_EQ(st, ReadStatus::error) << "no error for:\n" << d.text;
        EXPECT_EQ(errorline(r.error()), d.line) << r.error();
        EXPECT_NE(r.error().find(d.part), std::string::npos) << r.error();
        EXPECT_TRUE(r.next(c) == ReadStatus::error && errorline(r.error()) == d.line);  // the error stays
    }
}

// The result file with line `at` replaced by `by`, or its first `lines` lines.
std::string edit(size_t at, const std::string& by) { return withline(hammingfile, at, by); }
std::string firstlines(int lines) {
    size_t at = 0;
    for (int i = 0; i < lines; i++) at = hammingfile.find('\n', at) + 1;
    return hammingfile.substr(0, at);
}

TEST(CodeioDamaged, ResultFileHeaderAndTrailer) {
    expecterrors({
        {firstlines(5), 5, "ends inside the header, before the list of weights"},
        {firstlines(2), 2, "before \"Possible weights:\""},
        {firstlines(8), 8, "before the proportional bounds"},
        {"\n\n\n Brute gen:\n", 4, "before the parameter line"},
        {firstlines(17), 17, "without the elapsed time"},
        {edit(2, " n=abc  k=4  d=3 q=2 ; divisible by 1  ; self orthogonal 0,dual distance 1"), 2,
         "no number after \"n=\""},
        {edit(2, " n=7  k=4  d=3 q=2 ; divisible by 1"), 2, "self"},
        {edit(2, " n=7  k=4  d=3 q=6 ; divisible by 1  ; self orthogonal 0,dual distance 1"), 2, "q = 6"},
        {edit(5, "   weights:"), 5, "expected \"Possible weights:\""},
        {edit(6, " 3 4 x"), 6, "\"x\" is not a weight"},
        {edit(6, " 3 9"), 2, "weight 9 is outside 1..7"},
        {edit(9, "2 -> 800 ;4 -> 800 ;"), 9, "dimension 4 where 3 was due"},
        {edit(9, "2 -> 800 ;"), 2, "1 proportional bounds for k = 4"},
        {edit(17, " RES 3 x"), 17, "\"x\" is not a total"},
        {edit(18, " ==  Elapsed: 0.03s"), 18, "Elapsed time"},
        {edit(18, " ==  Elapsed time: -1s"), 18, "not a time"},
        {hammingfile + "junk\n", 19, "text after the trailer"},
        {edit(16, "garbage"), 16, "expected a record"},
    });
}

TEST(CodeioDamaged, ResultFileBadRows) {
    expecterrors({
        {firstlines(13), 13, "ends before row 3 of 4 of the record of line 11"},
        {firstlines(12) + "01101", 13, "has 5 symbols, not n = 7"},
        {edit(13, "?4 7 2 2"), 13, "a record header where row 2 of 4 of the record of line 11 was due"},
        {edit(11, "?4 7 x 1"), 11, "garbled"},
        {edit(11, "?4 7 2"), 11, "here 3"},
        {edit(11, "?4 7 2 1 1 1"), 11, "more than 5 numbers"},
        {edit(11, "?4 7 6 1"), 11, "q = 6"},
        {edit(11, "?4 8 2 1"), 11, "in a result file of k = 4, n = 7"},
        {edit(11, "?3 7 2 1"), 11, "in a result file of k = 4, n = 7"},
        {edit(11, "?20 30 2 1"), 11, "k = 20"},
        {edit(11, "?4 3 2 1"), 11, "n = 3"},
        {edit(11, "?4 99999999999999999999 2 1"), 11, "too large"},
        {edit(11, "?4 7 3 1"), 11, "a record over GF(3) in a file over GF(2)"},
        {edit(11, "4 7 2 1"), 11, "expected a record"},
        {edit(11, "?-4 7 2 1"), 11, "garbled"},
        // Records of the h file (5 numbers) do not mix with those of the result file.
        {hammingfile.substr(0, hammingfile.find("\n RES")) + "\n?1 7 2 1 1\n1111111\n", 17,
         "5 numbers among records with 4"},
        {edit(13, "01101000"), 13, "row 2 of 4 of the record of line 11 has 8"},
        {edit(13, "011010"), 13, "has 6 symbols"},
        {edit(14, "1012010"), 14, "column 4: '2' is not an element of GF(2)"},
        {edit(14, "10x0010"), 14, "column 3: 'x' is not a symbol"},
        {edit(14, std::string("10\0" "0010", 7)), 14, "'\\x00' is not a symbol"},
        {edit(15, ""), 15, "has 0 symbols"},
        {edit(12, std::string(2000000, '1')), 12, "longer than"},
        {"?1 3 7 1\n16A\n", 2, "'A' is not an element of GF(7)"},  // over GF(7) a symbol, not an element
    });
}

TEST(CodeioDamaged, OtherFormats) {
    const Format P = Format::plain, M = Format::magma, G = Format::gap, S = Format::sage, J = Format::jsonl;
    const std::string tall = joinlines(std::vector<std::string>(20, std::string(25, '1')));
    expecterrors({
        {"101\n10\n", 2, "row 2 of the block of line 1 has 2 symbols, row 1 has 3", P, 2},
        {"1 0 3\n", 1, "column 5: '3' is not an element of GF(3)", P, 3},
        {"10\n1x\n", 2, "column 2: 'x' is not a symbol", P, 3},
        {"11\n\n\n101\n0 1 1\n1 1 2\n", 6, "column 5: '2' is not an element of GF(2)", P, 2},
        {tall, 20, "more than 19 rows", P, 2},
        {std::string(800, '1') + "\n", 1, "longer than 799 symbols", P, 2},
        {"10\n01\n11\n", 1, "more rows than columns", P, 2},
        {"codes := [\n  LinearCode(Matrix(GF(2), 1, 2, [1, 1]))\n", 3,
         "expected ',' or ']' after a code, found the end of the input", M},
        {"codes := [\nLinearCode(Matrix(GF(2), 1, 2, [1, 1, 0]))];", 2, "a list of 3 entries for a 1 x 2 matrix", M},
        {"codes := [\nLinearCode(Matrix(G, 1, 2, [1, 1]))];", 2, "'G' is no field", M},
        {"F<w> := GF(6);\ncodes := [];", 1, "GF(6)", M},
        {"codes := [\n\n LinearCode(Matrix(GF(2), 1, 2, [1, @]))];", 3, "the character '@'", M},
        {"codes := [];\nx := 1;", 2, "expected the end of the input after the list", M},
        {"codes := [ /* never closed", 1, "a comment that is never closed", M},
        {"codes := [GeneratorMatCode([[Z(9)]], GF(3))];", 1, "Z(9) is not an element of GF(3)", G},
        {"codes := [GeneratorMatCode([[Z(3), 0*Z(3)],\n [Z(3)]], GF(3))];", 2, "row 2 has 1 entries, row 1 has 2", G},
        {"codes := [GeneratorMatCode([[Z(3)]])];", 1, "expected ','", G},
        {"codes := [GeneratorMatCode([[Z(3)^x]], GF(3))];", 1, "whole-number exponent", G},
        {"codes := [GeneratorMatCode([[" + std::string(40, '(') + "1" + std::string(40, ')') + "]], GF(3))];", 1,
         "longer than 32 tokens", G},
        {"a = GF(4, 'a).gen()\n", 1, "a string that is never closed", S},
        {"codes = [LinearCode(matrix(GF(4, 'a'), [[1, 0], [1]]))]", 1, "row 2 has 1", S},
        {"{\"n\":2,\"k\":1,\"q\":3}\n", 1, "no \"matrix\"", J},
        {"\n{\"n\":2,\"k\":1,\"q\":3,\"matrix\":[[1]]}\n", 2, "row 1 of the matrix has 1 entries", J},
        {"{\"n\":2,\"k\":1,\"q\":3,\"matrix\":[[1,5]]}\n", 1, "entry 5", J},
        {"{\"n\":2,\"n\":2}\n", 1, "a second time", J},
        {"{\"n\":2.5}\n", 1, "not an integer", J},
        {"{\"n\":-2}\n", 1, "negative", J},
        {"{\"n\":1,\"k\":1,\"q\":2,\"matrix\":[[1]]} x\n", 1, "text after the object", J},
        {"{\"x\":" + std::string(100, '[') + std::string(100, ']') + "}\n", 1, "nested deeper", J},
        {"{\"n\":1,\"k\":1,\"q\":2,\"aut\":\"12a\",\"matrix\":[[1]]}\n", 1, "not a decimal", J},
        {"{\"n\":1,\"k\":1,\"q\":2,\"matrix\":[[1]]}\n", 1, "where GF(3) was expected", J, 3},
    });
    // The codes before the damage are handed out first.
    ReadAll all = readall("1\n\n11\n1\n", Format::plain, 2);
    EXPECT_EQ(all.codes.size(), 1u);
    EXPECT_EQ(errorline(all.error), 4);
    EXPECT_EQ(readall("1\n", Format::plain, 0).error, "plain matrices need the field size q from the caller");
    EXPECT_EQ(readall("1\n", Format::plain, 6).last, ReadStatus::error);
}

// A valid file of each format, with codes over GF(4) (GF(3) for plain).
std::string validfile(Format f, std::mt19937& rng) {
    const int q = f == Format::plain ? 3 : 4;
    std::vector<CodeMatrix> codes;
    for (int i = 0; i < 3; i++) codes.push_back(randomcode(rng, q, 2, 4));
    const std::vector<CodeFacts> facts(3, CodeFacts{2, 2, {1, 0, 3, 6, 6}, "24", ""});
    return f == Format::result ? hammingfile : writeall(f, q, codes, &facts);
}

// Reads text to its end: no crash, and an error names a line of the text.
void readsafely(const std::string& text, Format f) {
    ReadAll all = readall(text, f, f == Format::plain ? 3 : 0);
    const long at = errorline(all.error), lines = (long)std::count(text.begin(), text.end(), '\n') + 1;
    EXPECT_TRUE(all.last == ReadStatus::end || (at >= 1 && at <= lines)) << all.error;
    for (const CodeMatrix& c : all.codes) EXPECT_EQ(checkcode(c), "");
}

TEST(CodeioDamaged, EveryCutAndRandomChangesOfEveryFormat) {
    std::mt19937 rng(5);
    const char junk[] = {'?', 'x', '\n', '\0', '9', ' ', '-', '[', ']', ',',
                         '(', '"', '{',  '}',  '2', 'w', 'Z', '^', '\r'};
    for (Format f : {Format::result, Format::magma, Format::gap, Format::sage, Format::jsonl, Format::plain}) {
        const std::string text = validfile(f, rng);
        for (size_t cut = 0; cut <= text.size(); cut++) readsafely(text.substr(0, cut), f);
        for (int trial = 0; trial < 400; trial++) {
            std::string t = text;
            for (int i = 0, changes = 1 + (int)(rng() % 3); i < changes; i++) {
                const size_t at = rng() % t.size();
                const unsigned how = rng() % 3;  // a byte replaced, up to 4 erased, one inserted
                if (how == 0) t[at] = junk[rng() % sizeof junk];
                if (how == 1) t.erase(at, 1 + rng() % 4);
                if (how == 2) t.insert(at, 1, junk[rng() % sizeof junk]);
                if (t.empty()) t = "x";
            }
            readsafely(t, f);
        }
    }
}

}  // namespace
