// The mass of a file and the number of codes to reach (see filemass.h).
#include "results/filemass.h"

#include <algorithm>
#include <memory>

#include "field/field.h"
#include "results/analyse.h"

CodeSet codesetof(const RunHeader& h, int D) {
    ParamRecord rec{};
    rec.n = h.n;
    rec.k = h.k;
    rec.d = h.d;
    rec.q = h.q;
    rec.dw = h.dw;
    rec.selforth = h.selforth == 1;
    rec.dualdist = h.dualdist;
    for (int32_t w : h.weights)
        if (w >= 1 && w < MAXLEN) rec.wt[w] = 1;
    for (int i = 0; i < MAXDIM; i++) rec.propcol[i] = NOBOUND;
    for (size_t i = 0; i < h.propcol.size() && i + 2 < (size_t)MAXDIM; i++) rec.propcol[i + 2] = h.propcol[i];
    RunParams p = makerunparams(rec, false, h.brute, h.brute ? 1 : 0);
    p.linear4 = h.linear4;
    return codesetof(p, D);
}

// ---- listing every code of a set ---------------------------------------------------

namespace {

// A word of length <= 64 over GF(2), GF(3) or GF(4) as two bit planes:
// GF(2) in `a` alone; GF(3) as a = [x == 1], b = [x == 2]; GF(4) as the
// bits of the program's digit (1 = 01, w = 10, w + 1 = 11).
struct planes {
    uint64_t a = 0, b = 0;
};

inline planes add3(planes x, planes y) {
    const uint64_t x0 = ~(x.a | x.b), y0 = ~(y.a | y.b);
    return {(x.a & y0) | (y.a & x0) | (x.b & y.b), (x.b & y0) | (y.b & x0) | (x.a & y.a)};
}

// c times x: GF(3) c = 2 swaps the planes; GF(4) w (a0 + a1 w) = a1 + (a0 + a1) w.
inline planes scale(int q, int c, planes x) {
    if (q == 3) return c == 2 ? planes{x.b, x.a} : x;
    for (int i = 0; i < (c == 1 ? 0 : c == 2 ? 1 : 2); i++) x = {x.b, x.a ^ x.b};
    return x;
}

class Lister {
   public:
    explicit Lister(const CodeSet& s) : s_(s), F_(gf(s.q)), n_(s.n), k_(s.k), q_(s.q) {
        weighted_ = false;
        for (int w = 1; w <= n_; w++) weighted_ = weighted_ || w < s.d || !s.allowed[(size_t)w];
        g_.assign((size_t)k_ * n_, 0);
        piv_.assign((size_t)k_, 0);
        slots_.assign((size_t)k_, {});
        for (auto& v : slots_) v.reserve((size_t)n_);
        vals_.assign((size_t)k_ * n_, 0);
        lead_.assign((size_t)n_, 0);
        bits_ = q_ <= 4 && n_ <= 64;
        if (weighted_) (bits_ ? planes_.resize(words(s)) : bytes_.resize(words(s) * (size_t)n_));
    }
    // The codewords kept while listing a set that restricts the weights
    // (q^k; 0 when that is beyond MAXWORDS).
    static constexpr size_t MAXWORDS = (size_t)1 << 22;
    static size_t words(const CodeSet& s) {
        size_t w = 1;
        for (int r = 0; r < s.k; r++)
            if ((w *= (size_t)s.q) > MAXWORDS) return 0;
        return w;
    }
    bool weighted() const { return weighted_; }
    uint64_t run() {
        pivots(0, 0);
        return found_;
    }

   private:
    uint8_t& at(int r, int c) { return g_[(size_t)r * n_ + c]; }
    bool weightok(int w) const { return w >= s_.d && s_.allowed[(size_t)w]; }

    // Row r against rows 0..r: Euclidean, Hermitian (x . y^2) over GF(4).
    bool orthogonal(int r) {
        for (int a = 0; a <= r; a++) {
            int sum = 0;
            for (int c = 0; c < n_; c++) {
                const int y = at(a, c);
                sum = F_.addtab[sum][F_.multab[at(r, c)][q_ == 4 ? F_.multab[y][y] : y]];
            }
            if (sum) return false;
        }
        return true;
    }

    // The words of row r's cosets after the `have` words of rows 0..r-1;
    // false on a forbidden weight.
    bool extend(int r, size_t have) {
        if (bits_) {
            planes row;
            for (int c = 0; c < n_; c++) {
                const int x = at(r, c);
                if (q_ == 3 ? x == 1 : (x & 1)) row.a |= (uint64_t)1 << c;
                if (q_ == 3 ? x == 2 : (x & 2)) row.b |= (uint64_t)1 << c;
            }
            size_t out = have;
            for (int m = 1; m < q_; m++) {
                const planes add = scale(q_, m, row);
                for (size_t i = 0; i < have; i++, out++) {
                    const planes w = q_ == 3 ? add3(planes_[i], add) : planes{planes_[i].a ^ add.a, planes_[i].b ^ add.b};
                    if (!weightok(popcnt64(w.a | w.b))) return false;
                    planes_[out] = w;
                }
            }
            return true;
        }
        size_t out = have;
        for (int m = 1; m < q_; m++)
            for (size_t i = 0; i < have; i++, out++) {
                const uint8_t* src = &bytes_[i * n_];
                uint8_t* dst = &bytes_[out * n_];
                int wt = 0;
                for (int c = 0; c < n_; c++) {
                    dst[c] = (uint8_t)F_.addtab[src[c]][F_.multab[m][at(r, c)]];
                    wt += dst[c] != 0;
                }
                if (!weightok(wt)) return false;
            }
        return true;
    }

    // The dual distance of the whole code is at least s.dualdist: no zero
    // column (2), and no two proportional ones (3); beyond, the distance
    // engine's.
    bool dualok() {
        const int t = s_.dualdist;
        if (t <= 1) return true;
        if (t <= 3) {
            for (int c = 0; c < n_; c++) {
                lead_[(size_t)c] = 0;
                for (int r = 0; r < k_ && !lead_[(size_t)c]; r++) lead_[(size_t)c] = at(r, c) ? r + 1 : 0;
                if (!lead_[(size_t)c]) return false;
            }
            for (int c = 0; c < n_ && t == 3; c++)
                for (int e = c + 1; e < n_; e++) {
                    const int l = lead_[(size_t)c] - 1;
                    if (lead_[(size_t)e] != l + 1) continue;  // proportional columns lead in the same row
                    const int f = F_.multab[at(l, e)][F_.invtab[at(l, c)]];
                    bool prop = true;
                    for (int r = l; r < k_ && prop; r++) prop = at(r, e) == F_.multab[f][at(r, c)];
                    if (prop) return false;
                }
            return true;
        }
        if (!an_) an_ = std::make_unique<CodeAnalyser>(q_, true), m_ = CodeMatrix(q_, k_, n_);
        m_.a = g_;
        return an_->dualdist(m_) >= t;
    }

    // Fills row r: every assignment of its free columns (the non-pivot
    // columns after its pivot), each tested with the rows before it.
    void rows(int r, size_t have) {
        if (r == k_) {
            if (dualok()) found_++;
            return;
        }
        const std::vector<int>& slots = slots_[(size_t)r];
        int* val = &vals_[(size_t)r * n_];
        std::fill(val, val + slots.size(), 0);
        for (;;) {
            for (size_t t = 0; t < slots.size(); t++) at(r, slots[t]) = (uint8_t)val[t];
            if ((!s_.selforth || orthogonal(r)) && (!weighted_ || extend(r, have))) rows(r + 1, have * q_);
            size_t t = 0;
            while (t < slots.size() && ++val[t] == q_) val[t++] = 0;
            if (t == slots.size()) break;
        }
        for (int c : slots) at(r, c) = 0;
    }

    void pivots(int i, int from) {
        if (i == k_) {
            std::fill(g_.begin(), g_.end(), 0);
            for (int r = 0; r < k_; r++) {
                at(r, piv_[(size_t)r]) = 1;
                slots_[(size_t)r].clear();
                for (int c = piv_[(size_t)r] + 1; c < n_; c++)
                    if (std::find(piv_.begin(), piv_.end(), c) == piv_.end()) slots_[(size_t)r].push_back(c);
            }
            if (weighted_) (bits_ ? (void)(planes_[0] = planes{}) : std::fill(bytes_.begin(), bytes_.begin() + n_, 0));
            rows(0, 1);
            return;
        }
        for (int c = from; c <= n_ - (k_ - i); c++) {
            piv_[(size_t)i] = c;
            pivots(i + 1, c + 1);
        }
    }

    const CodeSet& s_;
    const Field& F_;
    int n_, k_, q_;
    bool weighted_, bits_;
    std::vector<uint8_t> g_;  // the reduced echelon form, row after row
    std::vector<int> piv_;
    std::vector<std::vector<int>> slots_;  // the free columns of each row
    std::vector<int> vals_;                // their values, n per row
    std::vector<int> lead_;
    std::vector<planes> planes_;  // q <= 4 and n <= 64: the words so far
    std::vector<uint8_t> bytes_;  // otherwise: the words so far, n entries each
    std::unique_ptr<CodeAnalyser> an_;
    CodeMatrix m_;
    uint64_t found_ = 0;
};

}  // namespace

bool listcodes(const CodeSet& s, BigNat& count) {
    if (s.cut || s.k < 1 || s.k > s.n) return false;
    uint64_t size = 1;
    for (int i = 0; i < s.k * (s.n - s.k); i++)
        if ((size *= (uint64_t)s.q) >= MAXLISTED) return false;
    Lister l(s);
    if (l.weighted() && Lister::words(s) == 0) return false;
    count = BigNat(l.run());
    return true;
}

bool expectedcount(const CodeSet& s, BigNat& count, std::string& how) {
    if (closedcount(s, count, how)) return true;
    how = "listed";
    return listcodes(s, count);
}

// ---- the mass of a file -----------------------------------------------------------

void FileMass::add(const CodeMatrix& c, const CodeForm& f, int m) {
    if ((int)group_.size() <= m) group_.resize((size_t)m + 1), made_.resize((size_t)m + 1, 0);
    Factored& G = group_[(size_t)m];
    if (!made_[(size_t)m]) G = codegroup(m, q_, semilinear_), made_[(size_t)m] = 1;
    Factored aut = f.aut;
    if (m > c.n) {  // the zero coordinates left out: z! (q-1)^z becomes (z+p)! (q-1)^(z+p)
        int z = 0;
        for (int j = 0; j < c.n; j++) {
            bool zero = true;
            for (int r = 0; r < c.k && zero; r++) zero = c.at(r, j) == 0;
            z += zero;
        }
        for (int t = z + 1; t <= z + (m - c.n); t++) aut.times((uint32_t)t), aut.times((uint32_t)(q_ - 1));
    }
    if ((int)bydim_.size() <= c.k) bydim_.resize((size_t)c.k + 1);
    bydim_[(size_t)c.k] += classsize(G, aut);
    lowest_ = lowest_ == 0 ? c.k : std::min(lowest_, c.k);
    highest_ = std::max(highest_, c.k);
}
