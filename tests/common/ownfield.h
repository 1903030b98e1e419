// The tests' own arithmetic of GF(q): integers mod q for q = 2, 3, 5, 7, and
// GF(4) as 0, 1, w, w^2 = 0..3 with w^2 = w + 1 (the program's encoding).
// It is written apart from the program's field tables, so that the oracles
// built on it do not share their faults.
#pragma once

struct ownfield {
    int q;
    int add(int a, int b) const { return q == 4 ? a ^ b : (a + b) % q; }
    int neg(int a) const { return q == 4 ? a : (q - a) % q; }
    int mul(int a, int b) const {
        static const int m4[4][4] = {{0, 0, 0, 0}, {0, 1, 2, 3}, {0, 2, 3, 1}, {0, 3, 1, 2}};
        return q == 4 ? m4[a][b] : a * b % q;
    }
    int inv(int a) const {
        for (int b = 1; b < q; b++)
            if (mul(a, b) == 1) return b;
        return 0;
    }
    // The field automorphism x -> x^2 of GF(4); the identity elsewhere.
    int frob(int a) const { return q == 4 ? mul(a, a) : a; }
};
