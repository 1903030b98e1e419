// What the parameters of a run force on its codes of every dimension, so
// that the extension step can cut a candidate row before it is complete.
//
// The search builds a code of dimension D as rows 1..D of a generator
// matrix in systematic form, of length N_D = n - k + D: it is the subcode
// spanned by the first D rows of each final code it grows into, without the
// k - D unit coordinates that are zero on those rows.  g(s, t) below is the
// Griesmer sum  t + ceil(t/q) + .. + ceil(t/q^(s-1))  (0 for s = 0), the
// least length of a code of dimension s and minimum distance t.
//
// Two kinds of bound, with different effects.
//
// Level bounds follow from the test every code of the search passes at its
// own level: every non-zero codeword has an allowed weight, so weight at
// least dmin.  They cut only candidates that test would reject, so runs
// with them write exactly the same files (levels, h file, result file);
// they are always used.
//   * A class of proportional coordinates: the free columns equal to one
//     v != 0.  The codewords vanishing on <v> form a subcode of dimension
//     D - 1 (for D >= 2), whose support has at least g(D - 1, dmin)
//     coordinates (Griesmer on the subcode cut down to its support) and
//     misses every column in <v>: the class has at most
//     N_D - g(D - 1, dmin) columns.
//   * The zero columns of a code of dimension D lie outside the support of
//     the whole code: at most N_D - g(D, dmin).
//
// Target bounds follow from the codes the run is after, [n,k] codes whose
// non-zero weights are allowed (so at least dmin).  A code of dimension D
// that breaks one cannot be the first D rows of any of them: cutting it
// leaves the result file exactly as it was (every final code keeps its
// whole chain of ancestors and partners, and equivalent codes are cut
// together, since these are properties of the class), but the h file then
// lists only codes that can still grow into final codes.  The command line
// uses them unless --complete-levels is given; the menu never does.  Both
// come from the residual code: let Y be a subcode of dimension s of a final
// code C, with support of size S.  For a codeword c of C outside Y the q^s
// words of c + Y have, together, S (q^s - q^(s-1)) non-zero entries on the
// support, so one of them has at most floor(S (q - 1) / q) there and c has
// at least t = dmin - S + ceil(S/q) non-zero entries off it.  When t >= 1,
// C cut down to the n - S coordinates off the support is a code of
// dimension k - s and minimum distance at least t, so  n - S >= g(k - s, t).
//   * s = 1, Y = <c>: a codeword weight w is possible only when
//     t = dmin - w + ceil(w/q) < 1 or n - w >= g(k - 1, t).  Codewords of
//     the codes of every dimension are codewords of C: their weights are
//     restricted so (for a simplex code, to the one weight it has).
//   * s = D, Y = the code of dimension D itself: its support S = N_D minus
//     its zero columns must satisfy t < 1 or n - S >= g(k - D, t).
// The dual distance t of the final codes gives target bounds too.  For
// t >= 3 no two columns of a final code are proportional: the columns of one
// class of equal columns v of a code of dimension D are (v, b) in the final
// code, b in GF(q)^(k-D) all distinct, so at most q^(k-D); its zero columns
// are (0, b) with the b pairwise independent, distinct points of
// PG(k-D-1,q) other than the k - D unit columns zero on the first D rows, so
// at most (q^(k-D) - 1)/(q - 1) - (k - D).  For t >= 4 any three columns are
// independent: the b of one class are a cap of AG(k-D,q) (no three on a
// line: at most 2 when k - D = 1, and a cap of a plane has at most q + 2
// points), those of the zero columns a cap of PG(k-D-1,q) (PG(0) holds 1
// point, PG(1) 2, PG(2) at most q + 2).  For t >= 2 a final code has no zero
// column.  Any D rows of a final code span such a code, so partners obey
// the same bounds; but a partner cut may have made the first of a class at
// a lower level, which then stands in the h file with another generator
// matrix.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "containers/limits.h"
#include "params/params.h"

// g(s, t) over GF(q): the Griesmer sum, the least length of a code of
// dimension s and minimum distance t (t <= 0 counts as 0 per term).
int32_t griesmer(int q, int s, int t);

// How the rows of a partner are made when the early cuts are in use: by
// the enumeration with its cuts or by the lattice search (engine/rowlattice.h),
// chosen per dimension by what each costs; or always one of them (for the
// tests that compare them).
enum class RowSearch { chosen, lattice, enumeration };

struct LevelBounds {
    bool derived = true;  // the level bounds and the early cuts are in use
    RowSearch rows = RowSearch::chosen;
    bool target = false;  // the target bounds are in use
    int32_t len = 0;      // the construction length (n, or n + k in brute generation)
    int32_t dmin = 0;     // the least weight a non-zero codeword may have (len + 1: none)
    // ok[w], w = 0..len + 1: a non-zero codeword of any level may have weight
    // w (index 0 and len + 1 are 0).  next[w] is the least allowed weight
    // >= w (len + 1 when none), prev[w] the greatest <= w (-1 when none),
    // for w = 0..len + 1.
    std::vector<uint8_t> ok;
    std::vector<int32_t> next, prev;
    // True when some weight in dmin..len is not allowed: the candidates'
    // whole spectrum must be checked, not only their minimum distance.
    bool restricted = false;
    // propcap[D], D = 2..k: bound on one class of proportional coordinates
    // of a code of dimension D, the smaller of the user's and the level
    // bound.  zerocap[D]: bound on its zero columns.
    int32_t propcap[MAXDIM] = {};
    int32_t zerocap[MAXDIM] = {};
    // supp[D][S], S = 0..N_D: 1 when a code of dimension D may have support
    // S (at least g(D, dmin); with the target bounds also the residual
    // condition); suppnext[D][S] the least possible support >= S (N_D + 1:
    // none), S = 0..N_D + 1.
    std::vector<uint8_t> supp[MAXDIM];
    std::vector<int32_t> suppnext[MAXDIM];

    bool allowed(int w) const { return w >= 0 && w <= len + 1 && ok[(size_t)w] != 0; }
    // The least allowed weight >= w and the greatest <= w, for any w.
    int32_t nextok(int w) const { return w <= 0 ? next[0] : w > len ? len + 1 : next[(size_t)w]; }
    int32_t prevok(int w) const { return w < 0 ? -1 : w > len ? prev[(size_t)len] : prev[(size_t)w]; }
    // True when a code of dimension D may have between zlo and zhi zero
    // columns (inclusive).
    bool zerosok(int D, int zlo, int zhi) const;
};

// The bounds of a run.  The target bounds are used when p.targetcuts is set
// (never in brute generation, whose lengthened codes are not the first rows
// of the final codes).  With `derived` false there are none: the user's
// proportional bounds and the candidate test's weights only, no early
// cuts (RowCuts stays off) and every partner (no scaled copies left out,
// see records.h), as the search was before them; the tests compare the
// two.  Reads p only.
LevelBounds derivebounds(const RunParams& p, bool derived = true);

// One line for the command line's run header: the bounds on proportional
// coordinates and zero columns of each dimension, and (target bounds) the
// weights codes of every dimension may have.  Reads b and p only.
std::string describebounds(const LevelBounds& b, const RunParams& p);
