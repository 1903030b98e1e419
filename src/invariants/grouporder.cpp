// Basic orbit lengths by Schreier-Sims (see grouporder.h).  Permutations
// act on the right: g then h is x -> h[g[x]].  Scratch permutations 0, 1
// and 2 of the pool hold the element being sifted and a transversal
// element; strong generator s has its inverse at s + 1.
#include "invariants/grouporder.h"

#include <algorithm>
#include <functional>

namespace {
constexpr int SCRATCH = 3;
}

int GroupOrder::newperm() {
    const size_t need = (size_t)(used_ + 1) * (size_t)(N_ + 1);
    if (pool_.size() < need) pool_.resize(std::max(need, 2 * pool_.size()));
    return used_++;
}

bool GroupOrder::identity(const int32_t* g) const {
    for (int x = 1; x <= N_; x++)
        if (g[x] != x) return false;
    return true;
}

// g becomes a strong generator (with its inverse); when it fixes
// every base point, a point it moves becomes the next base point, with the
// orbit {b} for now.
void GroupOrder::addstrong(const int32_t* g) {
    // g may lie in the pool, which may move as it grows.
    const std::less<const int32_t*> before;
    const bool inside = !pool_.empty() && !before(g, pool_.data()) && before(g, pool_.data() + pool_.size());
    const size_t at = inside ? (size_t)(g - pool_.data()) : 0;
    const int id = newperm(), inv = newperm();
    if (inside) g = pool_.data() + at;
    int32_t* a = perm(id);
    std::copy(g, g + N_ + 1, a);
    int32_t* b = perm(inv);
    for (int x = 1; x <= N_; x++) b[a[x]] = x;
    strong_.push_back(id);
    for (int32_t p : base_)
        if (a[p] != p) return;
    int x = 1;
    while (a[x] == x) x++;
    const size_t L = base_.size(), W = (size_t)(N_ + 1);
    base_.push_back(x);
    if (vec_.size() < (L + 1) * W) vec_.resize((L + 1) * W), orb_.resize((L + 1) * W);
    orblen_.resize(L + 1);
    std::fill(vec_.begin() + (long)(L * W), vec_.begin() + (long)((L + 1) * W), -1);
    vec_[L * W + (size_t)x] = -2;
    orb_[L * W] = x;
    orblen_[L] = 1;
}

// S_ := the strong generators fixing the base points before level i.
void GroupOrder::strongat(int i) {
    S_.clear();
    for (int s : strong_) {
        const int32_t* a = perm(s);
        bool fixes = true;
        for (int l = 0; l < i && fixes; l++) fixes = a[base_[(size_t)l]] == base_[(size_t)l];
        if (fixes) S_.push_back(s);
    }
}

// The orbit of level i's base point under S_, with its Schreier vector.
void GroupOrder::orbit(int i) {
    const size_t W = (size_t)(N_ + 1);
    int32_t* vec = &vec_[(size_t)i * W];
    int32_t* orb = &orb_[(size_t)i * W];
    std::fill(vec, vec + W, -1);
    vec[base_[(size_t)i]] = -2;
    orb[0] = base_[(size_t)i];
    int len = 1;
    for (int t = 0; t < len; t++)
        for (int s : S_) {
            const int y = perm(s)[orb[t]];
            if (vec[y] != -1) continue;
            vec[y] = s;
            orb[len++] = y;
        }
    orblen_[(size_t)i] = len;
}

// g := g then u_y^-1, where u_y takes level i's base point to its orbit
// point y: the generators of the Schreier vector undone one by one.
void GroupOrder::trace(int i, int y, int32_t* g) {
    const int32_t* vec = &vec_[(size_t)i * (size_t)(N_ + 1)];
    while (vec[y] != -2) {
        const int32_t* inv = perm(vec[y] + 1);
        for (int x = 1; x <= N_; x++) g[x] = inv[g[x]];
        y = inv[y];
    }
}

// Sifts g through the levels from `from` on; leaves the residue in g and
// gives the level where it stopped (the number of levels when it passed).
int GroupOrder::sift(int32_t* g, int from) {
    const int levels = (int)base_.size();
    for (int l = from; l < levels; l++) {
        const int y = g[base_[(size_t)l]];
        if (vec_[(size_t)l * (size_t)(N_ + 1) + (size_t)y] == -1) return l;
        trace(l, y, g);
    }
    return levels;
}

void GroupOrder::lengths(const int32_t* const* gens, int ng, int N, std::vector<uint32_t>& out) {
    N_ = N;
    used_ = 0;
    strong_.clear();
    base_.clear();
    orblen_.clear();
    for (int t = 0; t < SCRATCH; t++) newperm();
    for (int g = 0; g < ng; g++)
        if (!identity(gens[g])) addstrong(gens[g]);
    int i = (int)base_.size() - 1;
    while (i >= 0) {
        strongat(i);
        orbit(i);
        int next = i - 1;
        const int32_t* orb = &orb_[(size_t)i * (size_t)(N_ + 1)];
        for (int t = 0; t < orblen_[(size_t)i] && next == i - 1; t++) {
            // u_t into scratch 1: the inverse of (identity then u_t^-1).
            int32_t* w = perm(0);
            for (int x = 0; x <= N_; x++) w[x] = x;
            trace(i, orb[t], w);
            int32_t* u = perm(1);
            for (int x = 1; x <= N_; x++) u[w[x]] = x;
            const int32_t* vec = &vec_[(size_t)i * (size_t)(N_ + 1)];
            for (size_t k = 0; k < S_.size(); k++) {
                // The Schreier generator u_t then s then u_{s(t)}^-1, sifted below level i;
                // it is the identity when s is the generator that reached s(t) from t.
                const int32_t* s = perm(S_[k]);
                if (vec[s[orb[t]]] == S_[k]) continue;
                int32_t* h = perm(2);
                h[0] = 0;
                for (int x = 1; x <= N_; x++) h[x] = s[u[x]];
                trace(i, s[orb[t]], h);
                const int at = sift(h, i + 1);
                if (identity(h)) continue;
                addstrong(h);  // the pool may move: the pointers above are not used again
                next = at;
                break;
            }
        }
        i = next;
    }
    out.clear();
    for (size_t l = 0; l < base_.size(); l++) out.push_back((uint32_t)orblen_[l]);
}
