// Damaged inputs: every reader stops with one message that names the line
// of the damage, never crashes, never hands out a code it did not check.
// The documented result file is damaged line by line, plain matrices and
// the other formats likewise; then every cut and many random byte changes
// of valid files in all formats must end in a code, the end or a message
// with a line number inside the file.
#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>

#include "common/testutil.h"
#include "support.h"

namespace {

const std::string hamming = hammingfile;

// The first `lines` lines of text.
std::string firstlines(const std::string& text, int lines) {
    size_t at = 0;
    for (int i = 0; i < lines; i++) at = text.find('\n', at) + 1;
    return text.substr(0, at);
}

// Reads text to its end; the reading must stop with an error on `line`
// whose message holds `part`.
void expecterror(const std::string& text, Format f, int q, long line, const std::string& part) {
    std::istringstream in(text);
    CodeReader r(in, f, q);
    CodeMatrix c;
    ReadStatus st;
    while ((st = r.next(c)) == ReadStatus::code) {
    }
    ASSERT_EQ(st, ReadStatus::error) << "no error for:\n" << text;
    EXPECT_EQ(errorline(r.error()), line) << r.error();
    EXPECT_NE(r.error().find(part), std::string::npos) << r.error();
    EXPECT_TRUE(r.next(c) == ReadStatus::error && errorline(r.error()) == line);  // the error stays
}

// The result file with its line `at` replaced by `by`: the message names `line` and holds `part`.
void expectline(size_t at, const std::string& by, long line, const std::string& part) {
    expecterror(withline(hamming, at, by), Format::result, 0, line, part);
}

TEST(CodeioDamaged, ResultFileCutShort) {
    expecterror(firstlines(hamming, 13), Format::result, 0, 13, "ends before row 3 of 4 of the record of line 11");
    expecterror(firstlines(hamming, 12) + "01101", Format::result, 0, 13, "has 5 symbols, not n = 7");
    expecterror(firstlines(hamming, 5), Format::result, 0, 5, "ends inside the header, before the list of weights");
    expecterror(firstlines(hamming, 2), Format::result, 0, 2, "before \"Possible weights:\"");
    expecterror(firstlines(hamming, 8), Format::result, 0, 8, "before the proportional bounds");
    expecterror("\n\n\n Brute gen:\n", Format::result, 0, 4, "before the parameter line");
    expecterror(firstlines(hamming, 17), Format::result, 0, 17, "without the elapsed time");
    expectline(13, "?4 7 2 2", 13, "a record header where row 2 of 4 of the record of line 11 was due");
    // A file cut between records is a run stopped before its totals.
    ReadAll all = readall(firstlines(hamming, 15), Format::result);
    EXPECT_EQ(all.last, ReadStatus::end) << all.error;
    EXPECT_EQ(all.codes.size(), 1u);
}

TEST(CodeioDamaged, ResultFileGarbledRecordHeaders) {
    expectline(11, "?4 7 x 1", 11, "garbled");
    expectline(11, "?4 7 2", 11, "here 3");
    expectline(11, "?4 7 2 1 1 1", 11, "more than 5 numbers");
    expectline(11, "?4 7 6 1", 11, "q = 6");
    expectline(11, "?4 8 2 1", 11, "in a result file of k = 4, n = 7");
    expectline(11, "?3 7 2 1", 11, "in a result file of k = 4, n = 7");
    expectline(11, "?20 30 2 1", 11, "k = 20");
    expectline(11, "?4 3 2 1", 11, "n = 3");
    expectline(11, "?4 99999999999999999999 2 1", 11, "too large");
    expectline(11, "?4 7 3 1", 11, "a record over GF(3) in a file over GF(2)");
    expectline(11, "4 7 2 1", 11, "expected a record");
    expectline(11, "?-4 7 2 1", 11, "garbled");
    // Records of the h file (5 numbers) do not mix with those of the result file.
    expecterror(hamming.substr(0, hamming.find("\n RES")) + "\n?1 7 2 1 1\n1111111\n", Format::result, 0, 17,
                "5 numbers among records with 4");
}

TEST(CodeioDamaged, ResultFileBadRows) {
    expectline(13, "01101000", 13, "row 2 of 4 of the record of line 11 has 8");
    expectline(13, "011010", 13, "has 6 symbols");
    expectline(14, "1012010", 14, "column 4: '2' is not an element of GF(2)");
    expectline(14, "10x0010", 14, "column 3: 'x' is not a symbol");
    expectline(14, std::string("10\0" "0010", 7), 14, "'\\x00' is not a symbol");
    expectline(15, "", 15, "has 0 symbols");
    expectline(12, std::string(2000000, '1'), 12, "longer than");
    // Over GF(7) the letters are symbols but not elements.
    expecterror("?1 3 7 1\n16A\n", Format::result, 0, 2, "'A' is not an element of GF(7)");
}

TEST(CodeioDamaged, ResultFileHeaderAndTrailer) {
    expectline(2, " n=abc  k=4  d=3 q=2 ; divisible by 1  ; self orthogonal 0,dual distance 1", 2,
               "no number after \"n=\"");
    expectline(2, " n=7  k=4  d=3 q=2 ; divisible by 1", 2, "self");
    expectline(2, " n=7  k=4  d=3 q=6 ; divisible by 1  ; self orthogonal 0,dual distance 1", 2, "q = 6");
    expectline(5, "   weights:", 5, "expected \"Possible weights:\"");
    expectline(6, " 3 4 x", 6, "\"x\" is not a weight");
    expectline(6, " 3 9", 2, "weight 9 is outside 1..7");
    expectline(9, "2 -> 800 ;4 -> 800 ;", 9, "dimension 4 where 3 was due");
    expectline(9, "2 -> 800 ;", 2, "1 proportional bounds for k = 4");
    expectline(17, " RES 3 x", 17, "\"x\" is not a total");
    expectline(18, " ==  Elapsed: 0.03s", 18, "Elapsed time");
    expectline(18, " ==  Elapsed time: -1s", 18, "not a time");
    expecterror(hamming + "junk\n", Format::result, 0, 19, "text after the trailer");
    expectline(16, "garbage", 16, "expected a record");
}

TEST(CodeioDamaged, PlainMatrices) {
    expecterror("101\n10\n", Format::plain, 2, 2, "row 2 of the block of line 1 has 2 symbols, row 1 has 3");
    expecterror("1 0 3\n", Format::plain, 3, 1, "column 5: '3' is not an element of GF(3)");
    expecterror("10\n1x\n", Format::plain, 3, 2, "column 2: 'x' is not a symbol");
    expecterror("11\n\n\n101\n0 1 1\n1 1 2\n", Format::plain, 2, 6, "column 5: '2' is not an element of GF(2)");
    std::string tall;
    for (int i = 0; i < 20; i++) tall += std::string(25, '1') + "\n";
    expecterror(tall, Format::plain, 2, 20, "more than 19 rows");
    expecterror("10\n01\n11\n", Format::plain, 2, 1, "more rows than columns");
    expecterror(std::string(800, '1') + "\n", Format::plain, 2, 1, "longer than 799 symbols");
    // The codes before the damage are handed out first.
    ReadAll all = readall("1\n\n11\n1\n", Format::plain, 2);
    EXPECT_EQ(all.codes.size(), 1u);
    EXPECT_EQ(errorline(all.error), 4);
    // q is the caller's.
    EXPECT_EQ(readall("1\n", Format::plain, 0).error, "plain matrices need the field size q from the caller");
    EXPECT_EQ(readall("1\n", Format::plain, 6).last, ReadStatus::error);
}

TEST(CodeioDamaged, OtherFormats) {
    expecterror("codes := [\n  LinearCode(Matrix(GF(2), 1, 2, [1, 1]))\n", Format::magma, 0, 3,
                "expected ',' or ']' after a code, found the end of the input");
    expecterror("codes := [\nLinearCode(Matrix(GF(2), 1, 2, [1, 1, 0]))];", Format::magma, 0, 2,
                "a list of 3 entries for a 1 x 2 matrix");
    expecterror("codes := [\nLinearCode(Matrix(G, 1, 2, [1, 1]))];", Format::magma, 0, 2, "'G' is no field");
    expecterror("F<w> := GF(6);\ncodes := [];", Format::magma, 0, 1, "GF(6)");
    expecterror("codes := [\n\n LinearCode(Matrix(GF(2), 1, 2, [1, @]))];", Format::magma, 0, 3, "the character '@'");
    expecterror("codes := [];\nx := 1;", Format::magma, 0, 2, "expected the end of the input after the list");
    expecterror("codes := [ /* never closed", Format::magma, 0, 1, "a comment that is never closed");
    expecterror("codes := [GeneratorMatCode([[Z(9)]], GF(3))];", Format::gap, 0, 1, "Z(9) is not an element of GF(3)");
    expecterror("codes := [GeneratorMatCode([[Z(3), 0*Z(3)],\n [Z(3)]], GF(3))];", Format::gap, 0, 2,
                "row 2 has 1 entries, row 1 has 2");
    expecterror("codes := [GeneratorMatCode([[Z(3)]])];", Format::gap, 0, 1, "expected ','");
    expecterror("codes := [GeneratorMatCode([[Z(3)^x]], GF(3))];", Format::gap, 0, 1, "whole-number exponent");
    expecterror("codes := [GeneratorMatCode([[" + std::string(40, '(') + "1" + std::string(40, ')') + "]], GF(3))];",
                Format::gap, 0, 1, "longer than 32 tokens");
    expecterror("a = GF(4, 'a).gen()\n", Format::sage, 0, 1, "a string that is never closed");
    expecterror("codes = [LinearCode(matrix(GF(4, 'a'), [[1, 0], [1]]))]", Format::sage, 0, 1, "row 2 has 1");
    expecterror("{\"n\":2,\"k\":1,\"q\":3}\n", Format::jsonl, 0, 1, "no \"matrix\"");
    expecterror("\n{\"n\":2,\"k\":1,\"q\":3,\"matrix\":[[1]]}\n", Format::jsonl, 0, 2,
                "row 1 of the matrix has 1 entries");
    expecterror("{\"n\":2,\"k\":1,\"q\":3,\"matrix\":[[1,5]]}\n", Format::jsonl, 0, 1, "entry 5");
    expecterror("{\"n\":2,\"n\":2}\n", Format::jsonl, 0, 1, "a second time");
    expecterror("{\"n\":2.5}\n", Format::jsonl, 0, 1, "not an integer");
    expecterror("{\"n\":-2}\n", Format::jsonl, 0, 1, "negative");
    expecterror("{\"n\":1,\"k\":1,\"q\":2,\"matrix\":[[1]]} x\n", Format::jsonl, 0, 1, "text after the object");
    expecterror("{\"x\":" + std::string(100, '[') + std::string(100, ']') + "}\n", Format::jsonl, 0, 1,
                "nested deeper");
    expecterror("{\"n\":1,\"k\":1,\"q\":2,\"aut\":\"12a\",\"matrix\":[[1]]}\n", Format::jsonl, 0, 1, "not a decimal");
    // A code over another field than the caller expects.
    expecterror("{\"n\":1,\"k\":1,\"q\":2,\"matrix\":[[1]]}\n", Format::jsonl, 3, 1, "where GF(3) was expected");
}

// A valid file of each format, with codes over GF(4) (GF(3) for plain).
std::string validfile(Format f, std::mt19937& rng) {
    const int q = f == Format::plain ? 3 : 4;
    std::vector<CodeMatrix> codes;
    std::vector<CodeFacts> facts;
    for (int i = 0; i < 3; i++) {
        codes.push_back(randomcode(rng, q, 2, 4));
        facts.push_back(CodeFacts{2, 2, {1, 0, 3, 6, 6}, "24", ""});
    }
    if (f == Format::result) return hamming;
    return writeall(f, q, codes, &facts);
}

// Reads text to its end: no crash, and an error names a line of the text.
void readsafely(const std::string& text, Format f) {
    ReadAll all = readall(text, f, f == Format::plain ? 3 : 0);
    if (all.last == ReadStatus::error) {
        long lines = (long)std::count(text.begin(), text.end(), '\n') + 1;
        long at = errorline(all.error);
        EXPECT_GE(at, 1) << all.error;
        EXPECT_LE(at, lines) << all.error;
    }
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
            int changes = 1 + (int)(rng() % 3);
            for (int i = 0; i < changes; i++) {
                size_t at = rng() % t.size();
                switch (rng() % 3) {
                    case 0:
                        t[at] = junk[rng() % sizeof junk];
                        break;
                    case 1:
                        t.erase(at, 1 + rng() % 4);
                        break;
                    default:
                        t.insert(at, 1, junk[rng() % sizeof junk]);
                        break;
                }
                if (t.empty()) t = "x";
            }
            readsafely(t, f);
        }
    }
}

}  // namespace
