// The canonical form and automorphism group of one code (see codeform.h).
//
// The automorphisms of the labelled incidence matrix are those of the code
// of its points (monomial, or semilinear for GF(4)); the code itself has
// more: the coordinates of one point can be permuted among themselves (the
// scalars then follow), and the zero coordinates permuted and scaled
// freely.  So the order is the labelled order times the factorials of the
// multiplicities, times z! (q-1)^z for z zero coordinates.
#include "invariants/codeform.h"

#include <map>
#include <vector>

#include "containers/zassert.h"
#include "distance/rank.h"
#include "field/field.h"

CodeFormer::CodeFormer(int q, bool linear4) : q_(q), semilinear_(q == 4 && !linear4) {
    dist_.usefield(q, gf(q).small());
    inv_.setlinear(true);
}

namespace {

void putint(std::string& s, uint32_t v) {
    for (int i = 0; i < 4; i++) s += (char)(v >> (8 * i));
}

}  // namespace

const std::vector<uint32_t>& LabelledGroup::orbits(const Labeller& lab, int N) {
    gens_.clear();
    for (int g = 1; g <= lab.automorphisms(); g++) gens_.push_back(lab.aut_cols(g));
    go_.lengths(gens_.data(), (int)gens_.size(), N, lens_);
    return lens_;
}

Factored codegroup(int n, int q, bool semilinear) {
    Factored G;
    G.factorial((uint32_t)n);
    for (int i = 0; i < n; i++) G.times((uint32_t)(q - 1));
    if (semilinear) G.times(2);
    return G;
}

BigNat classsize(const Factored& G, const Factored& aut) {
    Factored f = G;
    f.over(aut);
    TALVEN_ASSERT("codeform", f.natural(), "the automorphism group order divides the group order");
    return f.value();
}

bool CodeFormer::form(const uint8_t* rows, int k, int n, CodeForm& out) {
    out.aut.clear();
    if (!monomial(rows, k, n, out.key, out.aut)) return false;
    if (semilinear_) {
        const Field& F = gf(q_);
        conj_.assign(rows, rows + (size_t)k * n);
        for (uint8_t& x : conj_) x = (uint8_t)F.multab[x][x];
        std::string other;
        Factored unused;
        monomial(conj_.data(), k, n, other, unused);
        if (other == out.key)
            out.aut.times(2);
        else if (other < out.key)
            out.key = other;
    }
    out.autorder = out.aut.value().str();
    return true;
}

bool CodeFormer::monomial(const uint8_t* rows, int k, int n, std::string& key, Factored& aut) {
    const Field& F = gf(q_);
    // The rank first: a matrix of dependent rows is no generator matrix.
    r_.ensure(k, n, q_);
    for (int r = 1; r <= k; r++)
        for (int c = 1; c <= n; c++) r_.a[r][c] = rows[(size_t)(r - 1) * n + (c - 1)];
    r_.used = k;
    if (dist_.rref(r_, r_, nullptr, Rref::none) != k) return false;

    // The projective points of the columns, in the order they first appear.
    std::map<std::string, int> pointof;
    std::vector<std::string> points;
    std::vector<int> mult;
    int zeros = 0;
    std::string col((size_t)k, '\0');
    for (int c = 1; c <= n; c++) {
        int lead = 0;
        for (int r = 1; r <= k && !lead; r++) lead = rows[(size_t)(r - 1) * n + (c - 1)];
        if (!lead) {
            zeros++;
            continue;
        }
        const int inv = F.invtab[lead];
        for (int r = 1; r <= k; r++) col[(size_t)r - 1] = (char)F.multab[inv][rows[(size_t)(r - 1) * n + (c - 1)]];
        auto [it, fresh] = pointof.emplace(col, (int)points.size());
        if (fresh) points.push_back(col), mult.push_back(0);
        mult[(size_t)it->second]++;
    }

    // The code of the points, with the multiplicities as first values.
    const int nd = (int)points.size(), per = q_ == 2 ? 1 : 2 * (q_ - 1);
    g_.ensure(k, nd, q_);
    for (int j = 1; j <= nd; j++)
        for (int r = 1; r <= k; r++) g_.a[r][j] = (uint8_t)points[(size_t)j - 1][(size_t)r - 1];
    g_.used = k;
    g_.dreq = 1;
    firstvals_.assign((size_t)(per * nd + 1), 0);
    for (int j = 1; j <= nd; j++)
        for (int t = 1; t <= per; t++) firstvals_[(size_t)((j - 1) * per + t)] = mult[(size_t)j - 1];
    inv_.givefirstpass(q_, nd, firstvals_.data());
    inv_.inv_secondpass(g_, gb_, gs_, dist_);
    const InvariantTable& invt = inv_.table();
    lab_.label(inv_.incidence(), invt.cls);

    // The canonical form: counts, the matrix read in canonical order, the
    // values and multiplicities in canonical column order, the certificate.
    const ByteMatrix& inc = inv_.incidence();
    const int M = inc.rows, N = inc.cols;
    const int32_t *br = lab_.canonical_rows(), *bc = lab_.canonical_cols();
    key.clear();
    for (uint32_t v : {(uint32_t)q_, (uint32_t)n, (uint32_t)k, (uint32_t)zeros, (uint32_t)nd, (uint32_t)M, (uint32_t)N})
        putint(key, v);
    for (int i = 1; i <= M; i++) {
        const uint8_t* row = inc.a[br[i]];
        uint8_t byte = 0;
        for (int j = 1; j <= N; j++) {
            byte = (uint8_t)(byte | (row[bc[j]] & 1) << ((j - 1) & 7));
            if ((j & 7) == 0 || j == N) key += (char)byte, byte = 0;
        }
    }
    for (int j = 1; j <= N; j++) {
        putint(key, (uint32_t)invt.value[bc[j]]);
        putint(key, (uint32_t)mult[(size_t)(bc[j] - 1) / per]);
    }
    putint(key, lab_.certificate());

    for (uint32_t len : group_.orbits(lab_, N)) aut.times(len);
    for (int m : mult) aut.factorial((uint32_t)m);
    aut.factorial((uint32_t)zeros);
    for (int t = 0; t < zeros; t++) aut.times((uint32_t)(q_ - 1));
    return true;
}
