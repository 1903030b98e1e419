// The results tests' oracle (see brute.h).
#include "brute.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>

#include "codeio/readers.h"

namespace brute {

namespace {

// Calls f(word) for each of the q^k combinations of the rows of c.
template <class F>
void eachword(const CodeMatrix& c, F f) {
    const field F_{c.q};
    std::vector<int> coef((size_t)c.k, 0), word((size_t)c.n);
    for (;;) {
        for (int j = 0; j < c.n; j++) {
            int s = 0;
            for (int r = 0; r < c.k; r++) s = F_.add(s, F_.mul(coef[(size_t)r], c.at(r, j)));
            word[(size_t)j] = s;
        }
        f(word);
        int r = 0;
        while (r < c.k && ++coef[(size_t)r] == c.q) coef[(size_t)r++] = 0;
        if (r == c.k) return;
    }
}

uint64_t encode(const std::vector<int>& word, int q) {
    uint64_t v = 0;
    for (int x : word) v = v * (uint64_t)q + (uint64_t)x;
    return v;
}

uint64_t power(int q, int e) {
    uint64_t p = 1;
    while (e-- > 0) p *= (uint64_t)q;
    return p;
}

}  // namespace

facts analyse(const CodeMatrix& c, bool dual) {
    const field F{c.q};
    facts out;
    out.A.assign((size_t)c.n + 1, 0);
    std::vector<uint64_t> codes;
    eachword(c, [&](const std::vector<int>& w) {
        out.A[(size_t)(c.n - std::count(w.begin(), w.end(), 0))]++;
        codes.push_back(encode(w, c.q));
    });
    std::sort(codes.begin(), codes.end());
    const size_t distinct = (size_t)(std::unique(codes.begin(), codes.end()) - codes.begin());
    while (power(c.q, out.rank) < distinct) out.rank++;
    out.d = c.n + 1;
    for (int w = c.n; w >= 1; w--)
        if (out.A[(size_t)w] > 0) out.d = w;

    // The dual: every vector of GF(q)^n against every row.
    out.duald = dual ? c.n + 1 : 0;
    std::vector<int> v((size_t)c.n, 0);
    while (dual) {
        int j = 0;
        while (j < c.n && ++v[(size_t)j] == c.q) v[(size_t)j++] = 0;
        if (j == c.n) break;
        bool orth = true;
        for (int r = 0; r < c.k && orth; r++) {
            int s = 0;
            for (int i = 0; i < c.n; i++) s = F.add(s, F.mul(v[(size_t)i], c.at(r, i)));
            orth = s == 0;
        }
        if (orth) out.duald = std::min(out.duald, (int)(c.n - std::count(v.begin(), v.end(), 0)));
    }

    out.selforth = true;
    for (int r1 = 0; r1 < c.k; r1++)
        for (int r2 = 0; r2 < c.k; r2++) {
            int s = 0;
            for (int i = 0; i < c.n; i++) s = F.add(s, F.mul(c.at(r1, i), F.frob(c.at(r2, i))));
            if (s != 0) out.selforth = false;
        }
    return out;
}

uint64_t automorphisms(const CodeMatrix& c, bool frobenius) {
    const field F{c.q};
    std::vector<char> in(power(c.q, c.n), 0);
    eachword(c, [&](const std::vector<int>& w) { in[encode(w, c.q)] = 1; });
    std::vector<int> perm((size_t)c.n), lam((size_t)c.n), y((size_t)c.n);
    for (int j = 0; j < c.n; j++) perm[(size_t)j] = j;
    uint64_t count = 0;
    do {
        std::fill(lam.begin(), lam.end(), 1);
        for (;;) {
            for (int fr = 0; fr <= (frobenius && c.q == 4 ? 1 : 0); fr++) {
                bool ok = true;
                for (int r = 0; r < c.k && ok; r++) {
                    for (int j = 0; j < c.n; j++)
                        y[(size_t)perm[(size_t)j]] = F.mul(lam[(size_t)j], fr ? F.frob(c.at(r, j)) : c.at(r, j));
                    ok = in[encode(y, c.q)];
                }
                count += ok;
            }
            int j = 0;
            while (j < c.n && ++lam[(size_t)j] == c.q) lam[(size_t)j++] = 1;
            if (j == c.n) break;
        }
    } while (std::next_permutation(perm.begin(), perm.end()));
    return count;
}

CodeMatrix random(std::mt19937& rng, int q, int k, int n, bool zerocols) {
    CodeMatrix c(q, k, n);
    for (auto& x : c.a) x = (uint8_t)(rng() % (unsigned)q);
    if (zerocols)
        for (int j = 0; j < n; j++)
            if (rng() % 4 == 0)
                for (int r = 0; r < k; r++) c.at(r, j) = 0;
    return c;
}

CodeMatrix scramble(const CodeMatrix& c, std::mt19937& rng, bool frobenius) {
    const field F{c.q};
    CodeMatrix h = c;
    // Elementary row operations keep the rows a basis of the same code.
    for (int t = 0; t < 4 * c.k; t++) {
        const int a = (int)(rng() % (unsigned)c.k), b = (int)(rng() % (unsigned)c.k);
        const int s = 1 + (int)(rng() % (unsigned)(c.q - 1));
        switch (rng() % 3) {
            case 0:
                if (a != b)
                    for (int j = 0; j < c.n; j++) h.at(a, j) = (uint8_t)F.add(h.at(a, j), F.mul(s, h.at(b, j)));
                break;
            case 1:
                for (int j = 0; j < c.n; j++) h.at(a, j) = (uint8_t)F.mul(s, h.at(a, j));
                break;
            default:
                for (int j = 0; j < c.n; j++) std::swap(h.at(a, j), h.at(b, j));
        }
    }
    std::vector<int> perm((size_t)c.n);
    for (int j = 0; j < c.n; j++) perm[(size_t)j] = j;
    std::shuffle(perm.begin(), perm.end(), rng);
    CodeMatrix out(c.q, c.k, c.n);
    for (int j = 0; j < c.n; j++) {
        const int lam = 1 + (int)(rng() % (unsigned)(c.q - 1));
        for (int r = 0; r < c.k; r++) {
            const int x = frobenius ? F.frob(h.at(r, j)) : h.at(r, j);
            out.at(r, perm[(size_t)j]) = (uint8_t)F.mul(lam, x);
        }
    }
    return out;
}

CodeMatrix conjugate(const CodeMatrix& c) {
    const field F{c.q};
    CodeMatrix out = c;
    for (auto& x : out.a) x = (uint8_t)F.frob(x);
    return out;
}

std::vector<CodeMatrix> readcodes(const std::string& path, Format f, int q) {
    std::vector<CodeMatrix> codes;
    std::string why;
    auto r = openreader(path, f, q, why);
    if (!r) {
        ADD_FAILURE() << why;
        return codes;
    }
    CodeMatrix c;
    ReadStatus st;
    while ((st = r->next(c)) == ReadStatus::code) codes.push_back(c);
    if (st != ReadStatus::end) ADD_FAILURE() << path << ": " << r->error();
    return codes;
}

runresult talven(const std::string& dir, const std::string& args) { return runcommand(dir, args); }

std::string resultname(int n, int k, int d, int q) {
    return std::to_string(n) + "_" + std::to_string(k) + "_" + std::to_string(d) + "." + std::to_string(q);
}

}  // namespace brute
