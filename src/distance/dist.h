// Minimum distance, weight checks, weight spectra, codeword enumeration and
// generating sets of low-weight codewords.
//
// The code is covered by the disjoint information sets of rank.h.  The
// enumeration of one set at level L meets, once up to non-zero scalars, every
// codeword with at most L non-zero coordinates on the set's pivot columns;
// the planners raise levels until every codeword up to the wanted weight has
// been met (minimum distance, checks, low-weight listing).  Small codes use
// the exhaustive listing on one systematic form.  Each codeword met goes to
// the minimum-distance step (smallest weight, stop at the threshold) or the
// counting step (per-weight counts, optional store, each codeword counted at
// the first set that meets it).  Results are left in dinvar.infsettv and the
// codeword stores dinvar.cwstore (q <= 4) / dinvar.cwstoreb (q = 5, 7).
#pragma once
#include <cstdint>

#include "containers/cons_str.h"
#include "distance/rank.h"

// Level switch: while set, the weight filter of gensets_dist_b lets every
// weight through.  Set by the dimension search.
extern int levelsw;

// ---- minimum distance and checks --------------------------------------------
// All of these rebuild the information sets of G in dinvar (rank.h) and
// leave their results in dinvar.infsettv; G itself is not changed.

// Minimum distance of G, also left in infsettv.ub.  G.rows must equal
// G.fill.  Codes of rank 0 give 0; rank 1 is handled by its one set.
int mindist(bmat& G);
// 1 when no non-zero codeword of G has weight <= G.spare - 1, else 0
// (infsettv.stop).  Writes lb, wmax, lcv.
int checkdist(bmat& G);
// The same by the exhaustive listing of one systematic form; 0 also when
// rows 1..G.fill have rank below G.fill.
int checkdist_ex(bmat& G);
// Projective weight counts infsettv.Aspec[1..n], their total in found.
void spectrum(bmat& G);
// As spectrum, and every codeword (once up to scalars) stored with its
// weight in dinvar.cwstore (q <= 4) or dinvar.cwstoreb; the store's row
// count is set to found.
void spectrum_keep(bmat& G);
// Plans the levels for weight wmax over the sets already built and runs
// them; lb := the last planned threshold when it was 0.  Writes lcv and,
// through the steps, ub / stop or found / Aspec / the store.
void bzrun();
// Set i at level lcv[i] (nothing at level 0).
void runset(int i);
// Work estimate: the sum over u = 1..t of the terms of the recurrence for
// (m choose u); saturates instead of overflowing.
uint64_t cost(int m, int t);
// 1 when partial set j is worth raising one level (deficit <= 25 and half
// its extra work below the next level of set 1).
int worthraise(int j);

// ---- enumeration ---------------------------------------------------------------
// The steps read infsettv.cntmode, lb, wmax, exact, keep and write ub, stop,
// found, Aspec and the stores.  Work rows: mata[0] / mata[-1] (bytes) or
// mataw[0] / mataw[-1] (bit planes).

// Set i of rank k[1]: bases cleared, combs1 from depth 1.
void runfull(int i);
// Set i of lower rank: combs1 on the zero base, then combs2 over the rows
// outside the rank.
void runpart(int i);
// Exhaustive listing: set 1 at level k[1].
void runexhaust();
// The recursions, entered with the work rows prepared by the above.
void combs1(int depth, int start, int i);
void combs2(int depth, int start, int i);
// Claim test of the counting step: false when an earlier set that was run
// (lcv > 0) meets the codeword, i.e. the codeword has at most lcv[j] non-zero
// coordinates on a[j].  `supp` is the support in bit form (W words) ...
bool isfirst(int i, const uint64_t* supp);
// ... or z is the codeword in byte form (q = 5, 7).
bool isfirstb(int i, const uint8_t* z);

// ---- generating sets -------------------------------------------------------------
// Results: the store rows 1..row count (weight, and for q <= 4 pair
// invariant in plane a word -1, class in plane b word 0, mark in plane b
// word -1), infsettv.wmax = the weight at which the kept codewords span the
// code, found / done.

// After mindist, q <= 4: codewords of weight d, d + 1, ... until they span
// G; Gb is the caller's basis (fill = its rank).
void gensets_dist(wmat& Gb, bmat& G, int d);
// The same for the byte forms from weight 1, over the weights that the
// filter F (row 0) allows, every weight while levelsw is set or F is not
// allocated.  Gs is the caller's basis.
void gensets_dist_b(bmat& Gs, bmat& G, bmat& F);
// spectrum_keep, then the store sorted by weight (Bspec[w] = first row - 1
// of weight w).
void spectrum_sorted(bmat& G);
// q = 5, 7: the sorted full store cut after the weight that completes the
// span (basis in dinvar.gbasb).
void gensets_all(bmat& G);
// q <= 4: the sorted full store, weight block by weight block with classes,
// kept up to the weight that completes the span (basis in dinvar.gbas).
void generatingset_fromall_inv(bmat& G);
// Inserts stored codewords start..found into B until rank k[1]; start = 1
// makes B afresh.  Returns the rank.  The bit form also sets classes'
// marks when smallq2 is set.
int gensets_update(wmat& B, uint64_t start);
int gensets_updateb(bmat& B, uint64_t start);
// Pair invariant and classes of store rows lo+1..hi (bit store), which are
// reordered by invariant.
void classify(uint64_t lo, uint64_t hi);

// Weight held in a byte-store row (byte 0 low, byte -1 high).
inline int bstoredweight(const uint8_t* row) { return row[0] + 256 * row[-1]; }
