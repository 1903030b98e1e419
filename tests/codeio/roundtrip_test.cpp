// Round trips: random codes (k = 1, n = 1, n = 80 with k up to 19 among
// them) written in each format over each field come back equal, in order,
// with their facts; run headers and trailers come back too.  A reader
// streams: it reads no further than the code it hands out.
#include <gtest/gtest.h>

#include <cstring>

#include "support.h"

namespace {

const Format kFormats[] = {Format::result, Format::magma, Format::gap, Format::sage, Format::jsonl, Format::plain};
const int kFields[] = {2, 3, 4, 5, 7};
int uni(std::mt19937& rng, int a, int b) { return std::uniform_int_distribution<int>(a, b)(rng); }

// Random facts for a code of length n, each one present or not; the
// weight counts reach 2^64 - 1 and the group order has up to 61 digits.
CodeFacts randomfacts(std::mt19937& rng, int n) {
    CodeFacts f;
    if (uni(rng, 0, 1)) f.d = uni(rng, 0, n + 1);
    if (uni(rng, 0, 1)) f.duald = uni(rng, 0, n + 1);
    if (uni(rng, 0, 1))
        for (int w = 0; w <= n; w++) f.weights.push_back(w == n ? UINT64_MAX : w % 3 ? w : rng() * (uint64_t)rng());
    if (uni(rng, 0, 1))
        for (int i = 0, len = uni(rng, 1, 61); i < len; i++) f.aut += (char)('0' + uni(rng, i == 0, 9));
    return f;
}

// A stream buffer that hands out one character at a time, so the number of
// characters taken is exactly what a reader has consumed.
struct Trickle : std::streambuf {
    std::string s;
    explicit Trickle(std::string t) : s(std::move(t)) { setg(s.data(), s.data(), s.data()); }
    size_t taken() const { return (size_t)(gptr() - s.data()); }
    int_type underflow() override {
        if (gptr() == s.data() + s.size()) return traits_type::eof();
        setg(s.data(), gptr(), gptr() + 1);
        return traits_type::to_int_type(*gptr());
    }
};

class CodeioRoundTrip : public ::testing::TestWithParam<std::tuple<Format, int>> {};

TEST_P(CodeioRoundTrip, RandomCodesComeBackEqualAndReadersStream) {
    const auto [f, q] = GetParam();
    std::mt19937 rng(1000 * (int)f + q);
    std::vector<CodeMatrix> codes;
    std::vector<CodeFacts> facts;
    std::vector<size_t> ends;  // where the text of each code ends
    std::ostringstream out;
    CodeWriter w(out, f, q);
    const int extremes[][2] = {{1, 1}, {1, 7}, {2, 2}, {19, 80}, {1, 80}, {7, 80}, {19, 19}};  // k, n
    for (int i = 0; i < 27; i++) {
        const int n = i < 7 ? extremes[i][1] : 1 + (int)(rng() % 80);
        const int k = i < 7 ? extremes[i][0] : 1 + (int)(rng() % std::min(n, 19));
        codes.push_back(randomcode(rng, q, k, n));
        facts.push_back(randomfacts(rng, n));
        ASSERT_TRUE(w.write(codes.back(), facts.back())) << w.error();
        ends.push_back((size_t)out.tellp());
    }
    ASSERT_TRUE(w.end());
    for (int expect : {0, q}) {
        if (f == Format::plain && expect == 0) continue;
        Trickle buf(out.str());
        std::istream in(&buf);
        CodeReader r(in, f, expect);
        CodeMatrix c;
        for (size_t i = 0; i < codes.size(); i++) {
            CodeFacts got;
            ASSERT_EQ(r.next(c, &got), ReadStatus::code) << r.error();
            EXPECT_EQ(std::make_pair(c, got), std::make_pair(codes[i], f == Format::jsonl ? facts[i] : CodeFacts())) << i;
            // It has read no further than the code (and what ends it).
            EXPECT_TRUE(buf.taken() + 1 >= ends[i] && buf.taken() <= ends[i] + 2) << "code " << i;
        }
        EXPECT_EQ(r.next(c), ReadStatus::end) << r.error();
    }
    ReadAll none = readall(writeall(f, q, {}), f, q);  // a file of no codes is a file too
    EXPECT_TRUE(none.last == ReadStatus::end && none.codes.empty()) << none.error;
}

INSTANTIATE_TEST_SUITE_P(AllFormatsAndFields, CodeioRoundTrip,
                         ::testing::Combine(::testing::ValuesIn(kFormats), ::testing::ValuesIn(kFields)),
                         [](const auto& info) {
                             return std::string(formatname(std::get<0>(info.param))) + "_q" +
                                    std::to_string(std::get<1>(info.param));
                         });

TEST(CodeioRoundTripResult, HeaderAndTrailerComeBackEqual) {
    std::mt19937 rng(7);
    for (int trial = 0; trial < 60; trial++) {
        RunHeader h;
        h.q = kFields[trial % 5], h.brute = trial % 3 == 0, h.linear4 = h.q == 4 && trial % 4 < 2;
        h.n = uni(rng, 1, 60), h.k = uni(rng, 1, std::min(h.n, 19)), h.d = uni(rng, 1, h.n), h.dw = uni(rng, 1, 4);
        h.selforth = trial % 2, h.dualdist = uni(rng, 1, 5);
        for (int w = 1; w <= (h.brute ? h.n + h.k : h.n); w++)
            if (rng() % 2) h.weights.push_back(w);
        for (int i = 2; i <= h.k; i++) h.propcol.push_back(uni(rng, 1, 800));
        RunTrailer t;
        for (int i = 0; i < 1 + h.k % 4; i++) t.totals.push_back(rng() % 100000);
        t.secs = (rng() % 100000) / 100.0;
        std::vector<CodeMatrix> codes;
        for (int i = 0; i < trial % 4; i++) codes.push_back(randomcode(rng, h.q, h.k, h.n));

        // A result file carries both; the other formats (JSON Lines aside) the
        // header as their opening comment, and plain matrices take their field from it.
        for (Format f : {Format::result, Format::magma, Format::gap, Format::sage, Format::plain}) {
            std::ostringstream out;
            CodeWriter w(out, f, h.q);
            ASSERT_TRUE(w.begin(&h));
            for (const CodeMatrix& c : codes) ASSERT_TRUE(w.write(c));
            ASSERT_TRUE(w.end(f == Format::result ? &t : nullptr));
            std::istringstream in(out.str());
            CodeReader r(in, f, f == Format::result ? h.q : 0);
            ASSERT_TRUE(r.start()) << r.error();
            CodeMatrix c;
            for (size_t i = 0; i < codes.size(); i++) {
                ASSERT_EQ(r.next(c), ReadStatus::code) << formatname(f) << ": " << r.error();
                EXPECT_EQ(c, codes[i]);
                if (f == Format::result) {
                    EXPECT_EQ(r.label().number, (int64_t)i + 1);
                }
            }
            ASSERT_EQ(r.next(c), ReadStatus::end) << formatname(f) << ": " << r.error();
            ASSERT_NE(r.header(), nullptr) << formatname(f);
            EXPECT_EQ(*r.header(), h) << formatname(f) << ": " << headerwords(h);
            if (f != Format::result) continue;
            ASSERT_NE(r.trailer(), nullptr);
            EXPECT_EQ(r.trailer()->totals, t.totals);
            EXPECT_NEAR(r.trailer()->secs, t.secs, 0.005);
            EXPECT_EQ(r.next(c), ReadStatus::end);  // and it stays there
        }
    }
}

TEST(CodeioRoundTripResult, TheCommentOfARunsParametersRefusesWhatItCannotBe) {
    RunHeader h;
    h.n = 10, h.k = 3, h.d = 2, h.q = 4, h.linear4 = true, h.weights = {2, 3, 4, 7, 9, 10}, h.propcol = {5, 800};
    const std::string words = headerwords(h);
    EXPECT_EQ(words, "talven: n=10 k=3 d=2 q=4 dw=1 weights=2-4,7,9-10 selforth=0 dual=1 prop=5,800 brute=0 "
                     "equivalence=linear");
    RunHeader back;
    EXPECT_EQ(parsewords(words.substr(strlen(COMMENT_MARK)), back), "");
    EXPECT_EQ(back, h);
    for (const char* bad : {"n=10 k=3 d=2 q=4", "n=10 k=3 d=2 q=6 dw=1 weights= selforth=0 dual=1 prop=5,5 brute=0",
                            "n=10 k=3 d=2 q=2 dw=1 weights=4-2 selforth=0 dual=1 prop=5,5 brute=0",
                            "n=10 k=3 d=2 q=2 dw=1 weights=2, selforth=0 dual=1 prop=5,5 brute=0",
                            "n=10 k=3 d=2 q=2 dw=1 weights=2 selforth=0 dual=1 prop=5 brute=0",
                            "n=10 k=3 d=2 q=2 dw=1 weights=2 selforth=0 dual=1 prop=5,5 brute=0 equivalence=linear",
                            "n=10 n=10 k=3 d=2 q=2 dw=1 weights=2 selforth=0 dual=1 prop=5,5 brute=0"}) {
        RunHeader r;
        EXPECT_NE(parsewords(bad, r), "") << bad;
    }
}

}  // namespace
