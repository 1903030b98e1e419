// The element names of each system agree with the program's tables.
//
// The check does not trust the names' own code: GF(4) is modelled here
// independently as c0 + c1 w over GF(2) with w^2 = w + 1 (the Conway
// polynomial x^2 + x + 1 that Magma, GAP and Sage all use), each system's
// names are turned into that model the way the system reads them, and the
// product and sum of the names of x and y must be the name of the
// program's x * y and x + y.  For the prime fields the program's integers
// must be the residues themselves and GAP's Z(p) the smallest primitive
// root, found here by trying.
#include <gtest/gtest.h>

#include <map>

#include "field/field.h"
#include "support.h"

namespace {

// c0 + c1 w, w^2 = w + 1.
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
        // The four names are four different elements.
        for (int x = 0; x < 4; x++)
            for (int y = 0; y < x; y++)
                EXPECT_FALSE(meaning(f, elementname(f, 4, x)) == meaning(f, elementname(f, 4, y)));
    }
    // The program's own statement: 2 = w, 3 = w^2 = w + 1.
    EXPECT_EQ(elementname(Format::magma, 4, 2), "w");
    EXPECT_EQ(elementname(Format::magma, 4, 3), "w^2");
    EXPECT_EQ(elementname(Format::gap, 4, 3), "Z(4)^2");
    EXPECT_EQ(elementname(Format::sage, 4, 3), "a + 1");
}

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
    const struct {
        Format f;
        int q;
        const char* name;
        int value;
    } names[] = {{Format::magma, 4, "w + 1", 3}, {Format::magma, 4, "1 + w", 3},     {Format::magma, 4, "w^3", 1},
                 {Format::magma, 4, "(w + 1) * w", 1}, {Format::magma, 4, "-w", 2},  {Format::magma, 7, "-1", 6},
                 {Format::magma, 7, "10", 3},          {Format::gap, 4, "Z(2)^0", 1},  {Format::gap, 4, "0*Z(2)", 0},
                 {Format::gap, 4, "Z(4)^5", 3},        {Format::gap, 4, "Z(4)^2 + Z(4)", 1},
                 {Format::gap, 7, "Z(7)^1", 3},        {Format::gap, 7, "-Z(7)^0", 6}, {Format::sage, 4, "a^2", 3},
                 {Format::sage, 4, "a**2 + a", 1}};
    for (const auto& x : names) EXPECT_EQ(readentry(x.f, x.q, x.name), x.value) << x.name;
    std::string err;
    EXPECT_EQ(readentry(Format::gap, 5, "Z(7)", &err), -1);
    EXPECT_NE(err.find("Z(7) is not an element of GF(5)"), std::string::npos) << err;
    EXPECT_EQ(readentry(Format::sage, 3, "a", &err), -1);  // no generator bound over GF(3)
    EXPECT_EQ(errorline(err), 1) << err;
}

}  // namespace
