// Exact texts of small hand-made codes in every format and of a result
// file as the program documents it, hand-written texts read, and the names
// of field elements as Magma, GAP and Sage read them.
#include <gtest/gtest.h>

#include "field/field.h"
#include "support.h"

namespace {

// The codes' facts are known by hand: the [3,2,2] code over GF(4) spanned
// by (1,0,w) and (0,1,w^2) (weights 1, 0, 9, 6: of the 15 non-zero words,
// those with both coefficients non-zero have weight 3 unless a = b w;
// dual (w, w^2, 1), distance 3; monomial group 3! * 3 = 18) and the ternary
// tetracode (1,0,1,1), (0,1,1,2) (self-dual, eight words of weight 3).
CodeMatrix code(int q, int k, int n, std::vector<uint8_t> a) {
    CodeMatrix c(q, k, n);
    c.a = std::move(a);
    return c;
}
const CodeMatrix gf4code = code(4, 2, 3, {1, 0, 2, 0, 1, 3}), single4 = code(4, 1, 1, {2}),
                 tetracode = code(3, 2, 4, {1, 0, 1, 1, 0, 1, 1, 2});

TEST(CodeioExact, WholeFilesInEveryFormat) {
    const std::vector<CodeFacts> gf4facts = {{2, 3, {1, 0, 9, 6}, "18", ""}, {2, -1, {}, "", ""}},
                                 tetrafacts = {{3, 3, {1, 0, 0, 8, 0}, "", ""}};
    const std::tuple<Format, int, std::vector<CodeMatrix>, const std::vector<CodeFacts>*, const char*> files[] = {
        {Format::magma, 4, {gf4code, single4}, nullptr,
         "F<w> := GF(4);\ncodes := [*\n  LinearCode(Matrix(F, 2, 3, [1, 0, w, 0, 1, w^2])),\n"
         "  LinearCode(Matrix(F, 1, 1, [w]))\n*];\n"},
        {Format::gap, 4, {gf4code, single4}, nullptr,
         "LoadPackage(\"guava\");\ncodes := [\n"
         "  GeneratorMatCode([[Z(4)^0, 0*Z(4), Z(4)], [0*Z(4), Z(4)^0, Z(4)^2]], GF(4)),\n"
         "  GeneratorMatCode([[Z(4)]], GF(4))\n];\n"},
        {Format::sage, 4, {gf4code, single4}, nullptr,
         "a = GF(4, 'a').gen()\ncodes = [\n  LinearCode(matrix(GF(4, 'a'), [[1, 0, a], [0, 1, a + 1]])),\n"
         "  LinearCode(matrix(GF(4, 'a'), [[a]]))\n]\n"},
        {Format::plain, 4, {gf4code, single4}, nullptr, "102\n013\n\n2\n"},
        {Format::result, 4, {gf4code, single4}, nullptr, "?2 3 4 1\n102\n013\n?1 1 4 2\n2\n"},
        // Unknown facts are left out.
        {Format::jsonl, 4, {gf4code, gf4code}, &gf4facts,
         "{\"n\":3,\"k\":2,\"q\":4,\"d\":2,\"dual_d\":3,\"weights\":[1,0,9,6],\"aut\":\"18\","
         "\"matrix\":[[1,0,2],[0,1,3]]}\n{\"n\":3,\"k\":2,\"q\":4,\"d\":2,\"matrix\":[[1,0,2],[0,1,3]]}\n"},
        // Prime fields need no preamble in Magma and Sage.
        {Format::magma, 3, {tetracode}, nullptr,
         "codes := [*\n  LinearCode(Matrix(GF(3), 2, 4, [1, 0, 1, 1, 0, 1, 1, 2]))\n*];\n"},
        {Format::gap, 3, {tetracode}, nullptr,
         "LoadPackage(\"guava\");\ncodes := [\n  GeneratorMatCode([[Z(3)^0, 0*Z(3), Z(3)^0, Z(3)^0], "
         "[0*Z(3), Z(3)^0, Z(3)^0, Z(3)]], GF(3))\n];\n"},
        {Format::sage, 3, {tetracode}, nullptr, "codes = [\n  LinearCode(matrix(GF(3), [[1, 0, 1, 1], [0, 1, 1, 2]]))\n]\n"},
        {Format::jsonl, 3, {tetracode}, &tetrafacts,
         "{\"n\":4,\"k\":2,\"q\":3,\"d\":3,\"dual_d\":3,\"weights\":[1,0,0,8,0],\"matrix\":[[1,0,1,1],[0,1,1,2]]}\n"},
        // Empty lists are lists.
        {Format::magma, 3, {}, nullptr, "codes := [*\n*];\n"},
        {Format::sage, 5, {}, nullptr, "codes = [\n]\n"},
        {Format::gap, 2, {}, nullptr, "LoadPackage(\"guava\");\ncodes := [\n];\n"},
        {Format::jsonl, 2, {}, nullptr, ""},
    };
    for (const auto& [f, q, codes, facts, text] : files) EXPECT_EQ(writeall(f, q, codes, facts), text) << formatname(f) << q;
}

// A GF(4) file says which equivalence its codes were classed under, and
// every reader gives it back; a file that does not say gives none.
TEST(CodeioExact, TheEquivalenceOfGF4FilesComesBack) {
    for (Format f : {Format::magma, Format::gap, Format::sage, Format::jsonl})
        for (int linear : {-1, 0, 1}) {
            std::ostringstream out;
            CodeWriter w(out, f, 4);
            if (linear >= 0) w.stateequivalence(linear == 1);
            CodeFacts facts, got;
            if (f == Format::jsonl && linear >= 0) facts.equivalence = linear == 1 ? "linear" : "semilinear";
            ASSERT_TRUE(w.write(gf4code, facts) && w.end());
            std::istringstream in(out.str());
            CodeReader r(in, f);
            CodeMatrix c;
            ASSERT_EQ(r.next(c, &got), ReadStatus::code) << r.error();
            const CodeFacts want = f == Format::jsonl ? facts : got;
            const std::optional<bool> said = linear < 0 ? std::nullopt : std::optional<bool>(linear == 1);
            EXPECT_EQ(std::make_tuple(c, r.linear4(), got), std::make_tuple(gf4code, said, want)) << formatname(f) << linear;
            EXPECT_EQ(r.next(c), ReadStatus::end) << r.error();
            EXPECT_TRUE(f != Format::sage || linear != 1 ||
                        out.str() == "a = GF(4, 'a').gen()\nequivalence = \"linear\"\ncodes = [\n"
                                     "  LinearCode(matrix(GF(4, 'a'), [[1, 0, a], [0, 1, a + 1]]))\n]\n")
                << out.str();
        }
    // Another word is refused with its line.
    ReadAll bad = readall("F<w> := GF(4);\nequivalence := \"affine\";\ncodes := [* *];\n", Format::magma);
    EXPECT_TRUE(bad.last == ReadStatus::error && errorline(bad.error) == 2) << bad.error;
}

TEST(CodeioExact, WritersRefuseWhatTheyCannotWrite) {
    std::ostringstream out;
    CodeWriter w(out, Format::gap, 3);
    EXPECT_FALSE(w.write(gf4code));  // another field
    EXPECT_NE(w.error().find("GF(4)"), std::string::npos);
    std::ostringstream out2;
    CodeWriter w2(out2, Format::jsonl, 4);
    EXPECT_FALSE(w2.write(gf4code, CodeFacts{-1, -1, {1, 0, 9}, "", ""}));  // n + 1 counts wanted
    std::ostringstream out3;
    CodeWriter w3(out3, Format::plain, 4);
    CodeMatrix bad = gf4code;
    bad.a[4] = 4;
    EXPECT_FALSE(w3.write(bad));
    EXPECT_EQ(out3.str(), "");
}

TEST(CodeioExact, ResultFileReadsAndWritesBackByteForByte) {
    std::istringstream in(hammingfile);
    CodeReader r(in, Format::result);
    CodeMatrix c;
    ASSERT_EQ(r.next(c), ReadStatus::code) << r.error();
    ASSERT_NE(r.header(), nullptr);
    const RunHeader& h = *r.header();
    EXPECT_EQ(headerwords(h), "talven: n=7 k=4 d=3 q=2 dw=1 weights=3-7 selforth=0 dual=1 prop=800,800,800 brute=0");
    EXPECT_EQ(std::make_tuple(r.line(), r.label().number, r.label().overall, c.k, c.n), std::make_tuple(11, 1, -1, 4, 7));
    EXPECT_EQ(r.trailer(), nullptr);
    ASSERT_EQ(r.next(c), ReadStatus::end) << r.error();
    ASSERT_NE(r.trailer(), nullptr);
    EXPECT_EQ(r.trailer()->totals, (std::vector<int64_t>{3, 1, 1, 1}));
    EXPECT_DOUBLE_EQ(r.trailer()->secs, 0.03);

    std::ostringstream out;
    CodeWriter w(out, Format::result, 2);
    w.begin(&h);
    w.write(c);
    w.end(r.trailer());
    EXPECT_EQ(out.str(), hammingfile);

    // The header the program makes of a run's parameters is the documented one.
    ParamRecord p;
    resetpar(p);
    p.n = 7, p.k = 4, p.d = 3, p.q = 2, p.dw = 1, p.selforth = 0, p.dualdist = 1;
    for (int x = 3; x <= 7; x++) p.wt[x] = 1;
    EXPECT_EQ(headertext(runheaderof(makerunparams(p, 0, false, 0))), headertext(h));
}

// GF(4) as a model of its own: c0 + c1 w over GF(2), w^2 = w + 1 (the
// Conway polynomial x^2 + x + 1 that Magma, GAP and Sage all use).
struct Poly {
    int c0, c1;
    bool operator==(const Poly&) const = default;
};
// The product and sum of two elements of the model, and w^e.
Poly mul(Poly a, Poly b) {
    // (a0 + a1 w)(b0 + b1 w) = a0 b0 + (a0 b1 + a1 b0) w + a1 b1 (w + 1)
    int hi = a.c1 & b.c1;
    return {(a.c0 & b.c0) ^ hi, (a.c0 & b.c1) ^ (a.c1 & b.c0) ^ hi};
}
Poly add(Poly a, Poly b) { return {a.c0 ^ b.c0, a.c1 ^ b.c1}; }
Poly wpow(int e) {
    Poly p{1, 0};
    for (int i = 0; i < e; i++) p = mul(p, Poly{0, 1});
    return p;
}

// A name of GF(4) as the system reads it.
Poly meaning(Format f, const std::string& name) {
    if (name == "0" || name == "0*Z(4)") return {0, 0};
    if (name == "1") return {1, 0};
    if (f == Format::magma) {
        if (name == "w") return wpow(1);
        if (name == "w^2") return wpow(2);
    }
    if (f == Format::sage) {
        if (name == "a") return wpow(1);
        if (name == "a + 1") return add(wpow(1), Poly{1, 0});
    }
    if (f == Format::gap) {
        if (name == "Z(4)") return wpow(1);
        if (name.rfind("Z(4)^", 0) == 0) return wpow(std::stoi(name.substr(5)));
    }
    ADD_FAILURE() << "unknown name " << name << " in " << formatname(f);
    return {0, 0};
}

TEST(CodeioElements, GF4NamesMultiplyAndAddAsTheTables) {
    const Field& F = gf(4);
    for (Format f : {Format::magma, Format::gap, Format::sage}) {
        for (int x = 0; x < 4; x++)
            for (int y = 0; y < 4; y++) {
                Poly px = meaning(f, elementname(f, 4, x)), py = meaning(f, elementname(f, 4, y));
                EXPECT_EQ(mul(px, py), meaning(f, elementname(f, 4, F.multab[x][y])))
                    << formatname(f) << " " << x << " * " << y;
                EXPECT_EQ(add(px, py), meaning(f, elementname(f, 4, F.addtab[x][y])))
                    << formatname(f) << " " << x << " + " << y;
            }
        // Not the zero map: with the above, the names are four different elements.
        EXPECT_EQ(meaning(f, elementname(f, 4, 1)), (Poly{1, 0})) << formatname(f);
    }
}

// The program's integers are the residues; GAP's Z(p) is the smallest
// primitive root, found here by trying.
TEST(CodeioElements, PrimeFieldsAreResiduesAndGapUsesTheSmallestPrimitiveRoot) {
    for (int p : {2, 3, 5, 7}) {
        int g = 1;
        for (;; g++) {
            int order = 1, v = g % p;
            while (v != 1) v = v * g % p, order++;
            if (order == p - 1) break;
        }
        EXPECT_EQ(gapprimitive(p), g);
        for (int x = 0; x < p; x++) {
            const std::string name = elementname(Format::gap, p, x);
            const std::string z = "Z(" + std::to_string(p) + ")";
            if (x == 0) {
                EXPECT_EQ(name, "0*" + z);
                continue;
            }
            ASSERT_EQ(name.substr(0, z.size()), z);
            int e = name == z ? 1 : std::stoi(name.substr(z.size() + 1)), v = 1;
            for (int i = 0; i < e; i++) v = v * g % p;
            EXPECT_TRUE(v == x && e < p - 1) << name;
            EXPECT_EQ(elementname(Format::magma, p, x) + elementname(Format::sage, p, x), std::to_string(x) + std::to_string(x));
        }
    }
}

// Hand-written texts: free spacing, comments and the other forms each
// system allows.
TEST(CodeioRoundTripAlgebra, FreeSpacingCommentsAndEquivalentForms) {
    // Plain matrices: spaces between digits, tabs, CR LF and loose blank lines.
    ReadAll p = readall("\n\n1 0 2\r\n0\t1 1   \n   \n\n\n1 1\n0 1\n", Format::plain, 3);
    EXPECT_EQ(p.last, ReadStatus::end) << p.error;
    EXPECT_EQ(p.codes, (std::vector<CodeMatrix>{code(3, 2, 3, {1, 0, 2, 0, 1, 1}), code(3, 2, 2, {1, 1, 0, 1})}));
    // Magma: comments, line breaks inside a code, the LinearCode<...> form.
    ReadAll m = readall(
        "// two codes\nF<w> := GF(4); /* the field */\ncodes := [ LinearCode(Matrix(F, 1, 2,\n [w, w + 1])),\n"
        "  LinearCode<F, 2 | [1, 0], [0, w^2]> ];\n",
        Format::magma);
    EXPECT_EQ(m.last, ReadStatus::end) << m.error;
    EXPECT_EQ(m.codes, (std::vector<CodeMatrix>{code(4, 1, 2, {2, 3}), code(4, 2, 2, {1, 0, 0, 3})}));
    // GAP: a field variable and GUAVA's optional name.
    ReadAll g =
        readall("# comment\nF := GF(3);\ncodes := [GeneratorMatCode([[Z(3), Z(3)^0]], \"c\", F)];", Format::gap);
    EXPECT_EQ(g.last, ReadStatus::end) << g.error;
    EXPECT_EQ(g.codes, std::vector<CodeMatrix>{code(3, 1, 2, {2, 1})});
    // Sage: the other ways to bind the generator, and a trailing comma.
    for (const char* pre : {"F = GF(4, 'a')\na = F.gen()\n", "F.<a> = GF(4)\n"}) {
        ReadAll s = readall(std::string(pre) + "codes = [\n  LinearCode(matrix(F, [[a, 1]])),\n]\n", Format::sage);
        EXPECT_EQ(s.last, ReadStatus::end) << s.error;
        EXPECT_EQ(s.codes, std::vector<CodeMatrix>{code(4, 1, 2, {2, 1})});
    }
}

// The value a reader gives one entry written as `name` over GF(q).
int readentry(Format f, int q, const std::string& name, std::string* err = nullptr) {
    std::string text;
    if (f == Format::magma)
        text = preambletext(f, q) + "codes := [ LinearCode(Matrix(" + (q == 4 ? "F" : "GF(" + std::to_string(q) + ")") +
               ", 1, 1, [" + name + "])) ];";
    if (f == Format::gap) text = "codes := [ GeneratorMatCode([[" + name + "]], GF(" + std::to_string(q) + ")) ];";
    if (f == Format::sage)
        text = preambletext(f, q) + "codes = [LinearCode(matrix(" +
               (q == 4 ? "GF(4, 'a')" : "GF(" + std::to_string(q) + ")") + ", [[" + name + "]]))]";
    ReadAll all = readall(text, f);
    if (err) *err = all.error;
    if (all.codes.size() != 1) return -1;
    return all.codes[0].a[0];
}

TEST(CodeioElements, ReadersTakeTheEquivalentNames) {
    const std::tuple<Format, int, const char*, int> names[] = {
        {Format::magma, 4, "w + 1", 3}, {Format::magma, 4, "1 + w", 3}, {Format::magma, 4, "w^3", 1},
        {Format::magma, 4, "(w + 1) * w", 1}, {Format::magma, 4, "-w", 2}, {Format::magma, 7, "-1", 6},
        {Format::magma, 7, "10", 3}, {Format::gap, 4, "Z(2)^0", 1}, {Format::gap, 4, "0*Z(2)", 0},
        {Format::gap, 4, "Z(4)^5", 3}, {Format::gap, 4, "Z(4)^2 + Z(4)", 1}, {Format::gap, 7, "Z(7)^1", 3},
        {Format::gap, 7, "-Z(7)^0", 6}, {Format::sage, 4, "a^2", 3}, {Format::sage, 4, "a**2 + a", 1}};
    for (const auto& [f, q, name, value] : names) EXPECT_EQ(readentry(f, q, name), value) << name;
    std::string err;
    EXPECT_EQ(readentry(Format::gap, 5, "Z(7)", &err), -1);
    EXPECT_NE(err.find("Z(7) is not an element of GF(5)"), std::string::npos) << err;
    EXPECT_EQ(readentry(Format::sage, 3, "a", &err), -1);  // no generator bound over GF(3)
    EXPECT_EQ(errorline(err), 1) << err;
}

}  // namespace
