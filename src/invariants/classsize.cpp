// The class sizes of a run's new codes (see classsize.h).
#include "invariants/classsize.h"

#include "containers/zassert.h"

ClassSizer::ClassSizer(const RunParams& par)
    : par_(par),
      semilinear_(par.q == 4 && !par.linear4),
      group_(MAXLEN + 1),
      former_(par.q, par.linear4) {}

const Factored& ClassSizer::group(int m) {
    TALVEN_ASSERT("mass", 1 <= m && m <= MAXLEN, "a length within the limits");
    if (!made_[m]) {
        group_[(size_t)m] = codegroup(m, par_.q, semilinear_);
        made_[m] = true;
    }
    return group_[(size_t)m];
}

// Every stored automorphism of the GF(4) matrix applies the field
// automorphism at all points or at none.  Point c owns columns 6(c-1)+1..6c,
// in pairs; the second column of pair x is 0 exactly where the entry is x,
// so an automorphism permutes the non-zero values of each point, evenly
// (x -> l x) or oddly (x -> l x^2).
bool ClassSizer::uniform(const Labeller& lab, int nd) const {
    for (int g = 1; g <= lab.automorphisms(); g++) {
        const int32_t* a = lab.aut_cols(g);
        int first = -1;
        for (int c = 0; c < nd; c++) {
            int to[3];
            for (int x = 0; x < 3; x++) to[x] = ((a[6 * c + 2 * x + 2] - 1) % 6) / 2;
            const int odd = (to[0] > to[1]) + (to[0] > to[2]) + (to[1] > to[2]);
            if (first < 0) first = odd & 1;
            if ((odd & 1) != first) return false;
        }
    }
    return true;
}

// The order of the code in columns skip+1..len (length m) from a
// labelling of its own, into aut_.
void ClassSizer::relabel(const WorkingCode& code, int skip, int m) {
    const int k = code.level;
    rows_.resize((size_t)k * (size_t)m);
    for (int r = 1; r <= k; r++)
        for (int c = 1; c <= m; c++) rows_[(size_t)(r - 1) * m + (c - 1)] = (uint8_t)code.m[r][skip + c];
    const bool ok = former_.form(rows_.data(), k, m, form_);
    TALVEN_ASSERT("mass", ok, "a new code has independent rows");
    aut_ = form_.aut;
    relabelled++;
}

const BigNat& ClassSizer::classsize(const WorkingCode& code, const ColumnInvariants& inv, const Labeller& lab) {
    const int D = code.level, q = code.q;
    const int skip = par_.brute ? D : 0, m = code.len - skip;
    int nonzero = 0;
    aut_.clear();
    if (D == 1) {
        for (int c = skip + 1; c <= code.len; c++) nonzero += code.m[1][c] != 0;
        aut_.times((uint32_t)(q - 1));
        aut_.factorial((uint32_t)nonzero);
        if (semilinear_) aut_.times(2);  // the entries are 0 and 1
    } else if (semilinear_ && !uniform(lab, inv.table().ndist)) {
        relabel(code, skip, m);
        nonzero = m;  // the zero coordinates are counted in the relabelled order
    } else {
        for (uint32_t len : labelled_.orbits(lab, inv.table().N)) aut_.times(len);
        for (int j = 1; j <= inv.table().ndist; j++) {
            aut_.factorial((uint32_t)inv.table().mult[j]);
            nonzero += inv.table().mult[j];
        }
    }
    const int zeros = m - nonzero;
    TALVEN_ASSERT("mass", zeros >= 0, "no more non-zero coordinates than coordinates");
    aut_.factorial((uint32_t)zeros);
    for (int t = 0; t < zeros; t++) aut_.times((uint32_t)(q - 1));
    size_ = ::classsize(group(m), aut_);
    return size_;
}
