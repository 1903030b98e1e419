// The mass of a file and the number of codes to reach (see mass.h).
#include "results/mass.h"

#include <algorithm>
#include <memory>

#include "field/field.h"
#include "results/analyse.h"

CodeSet codesetof(const RunHeader& h, int D) {
    runparrec rec{};
    rec.n = h.n;
    rec.k = h.k;
    rec.d = h.d;
    rec.q = h.q;
    rec.dw = h.dw;
    rec.selforth = h.selforth;
    rec.dualdist = h.dualdist;
    for (int32_t w : h.weights)
        if (w >= 1 && w < MAXLEN) rec.wt[w] = 1;
    for (int i = 0; i < MAXDIM; i++) rec.propcol[i] = NOBOUND;
    for (size_t i = 0; i < h.propcol.size() && i + 2 < (size_t)MAXDIM; i++) rec.propcol[i + 2] = h.propcol[i];
    RunParams p = makerunparams(rec, 0, h.brute, h.brute ? 1 : 0);
    p.linear4 = h.linear4;
    return codesetof(p, D);
}

// ---- listing every code of a set ---------------------------------------------------

namespace {

class Lister {
   public:
    explicit Lister(const CodeSet& s) : s_(s), F_(gf(s.q)), n_(s.n), k_(s.k), q_(s.q) {
        weighted_ = false;
        for (int w = 1; w <= n_; w++) weighted_ = weighted_ || w < s.d || !s.allowed[(size_t)w];
        g_.assign((size_t)k_ * n_, 0);
        piv_.assign((size_t)k_, 0);
        size_t words = 1;
        for (int r = 0; r < k_; r++) words *= (size_t)q_;
        if (weighted_) (q_ == 2 ? masks_.resize(words) : bytes_.resize(words * (size_t)n_));
    }
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
        if (q_ == 2) {
            uint64_t row = 0;
            for (int c = 0; c < n_; c++) row |= (uint64_t)at(r, c) << c;
            for (size_t i = 0; i < have; i++) {
                const uint64_t w = masks_[i] ^ row;
                if (!weightok(__builtin_popcountll(w))) return false;
                masks_[have + i] = w;
            }
            return true;
        }
        size_t out = have;
        for (int a = 1; a < q_; a++)
            for (size_t i = 0; i < have; i++, out++) {
                const uint8_t* src = &bytes_[i * n_];
                uint8_t* dst = &bytes_[out * n_];
                int wt = 0;
                for (int c = 0; c < n_; c++) {
                    dst[c] = (uint8_t)F_.addtab[src[c]][F_.multab[a][at(r, c)]];
                    wt += dst[c] != 0;
                }
                if (!weightok(wt)) return false;
            }
        return true;
    }

    // The dual distance of the whole code is at least s.dualdist.
    bool dualok() {
        const int t = s_.dualdist;
        if (t <= 1) return true;
        if (t <= 3) {
            std::vector<int> lead(n_, 0);
            for (int c = 0; c < n_; c++)
                for (int r = 0; r < k_ && !lead[c]; r++) lead[c] = at(r, c) ? r + 1 : 0;
            for (int c = 0; c < n_; c++) {
                if (!lead[c]) return false;
                if (t == 2) continue;
                for (int e = c + 1; e < n_; e++) {
                    if (lead[e] != lead[c]) continue;  // proportional columns lead in the same row
                    const int s = F_.multab[at(lead[c] - 1, e)][F_.invtab[at(lead[c] - 1, c)]];
                    bool prop = true;
                    for (int r = 0; r < k_ && prop; r++) prop = at(r, e) == F_.multab[s][at(r, c)];
                    if (prop) return false;
                }
            }
            return true;
        }
        if (!an_) an_ = std::make_unique<CodeAnalyser>(q_, true);
        CodeMatrix m(q_, k_, n_);
        m.a = g_;
        return an_->dualdist(m) >= t;
    }

    // Fills row r slot by slot (the non-pivot columns after its pivot).
    void rows(int r, size_t have) {
        if (r == k_) {
            if (dualok()) found_++;
            return;
        }
        std::vector<int> slots;
        for (int c = piv_[r] + 1; c < n_; c++)
            if (std::find(piv_.begin(), piv_.end(), c) == piv_.end()) slots.push_back(c);
        std::vector<int> val(slots.size(), 0);
        for (;;) {
            for (size_t t = 0; t < slots.size(); t++) at(r, slots[t]) = (uint8_t)val[t];
            if ((!s_.selforth || orthogonal(r)) && (!weighted_ || extend(r, have))) rows(r + 1, have * q_);
            size_t t = 0;
            while (t < val.size() && ++val[t] == q_) val[t++] = 0;
            if (t == val.size()) break;
        }
        for (int c : slots) at(r, c) = 0;
    }

    void pivots(int i, int from) {
        if (i == k_) {
            std::fill(g_.begin(), g_.end(), 0);
            for (int r = 0; r < k_; r++) at(r, piv_[r]) = 1;
            if (weighted_) (q_ == 2 ? (void)(masks_[0] = 0) : std::fill(bytes_.begin(), bytes_.begin() + n_, 0));
            rows(0, 1);
            return;
        }
        for (int c = from; c <= n_ - (k_ - i); c++) {
            piv_[i] = c;
            pivots(i + 1, c + 1);
        }
    }

    const CodeSet& s_;
    const Field& F_;
    int n_, k_, q_;
    bool weighted_;
    std::vector<uint8_t> g_;  // the reduced echelon form, row after row
    std::vector<int> piv_;
    std::vector<uint64_t> masks_;  // q = 2: the words so far, as bits
    std::vector<uint8_t> bytes_;   // q > 2: the words so far, n entries each
    std::unique_ptr<CodeAnalyser> an_;
    uint64_t found_ = 0;
};

}  // namespace

bool listcodes(const CodeSet& s, BigNat& count) {
    if (s.cut || s.k < 1 || s.k > s.n) return false;
    uint64_t size = 1;
    for (int i = 0; i < s.k * (s.n - s.k); i++)
        if ((size *= (uint64_t)s.q) >= MAXLISTED) return false;
    count = BigNat(Lister(s).run());
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
