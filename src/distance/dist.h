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

// Minimum distance of G (infsettv.ub).  Codes of rank 0 give 0.
int mindist(bmat& G);
// 1 when no non-zero codeword of G has weight <= G.spare - 1.
int checkdist(bmat& G);
// The same by the exhaustive listing; 0 also when the rows 1..G.fill have
// rank below G.fill.
int checkdist_ex(bmat& G);
// Projective weight counts Aspec[1..n], total in found.
void spectrum(bmat& G);
// As spectrum, and every codeword (up to scalars) stored with its weight.
void spectrum_keep(bmat& G);
// Planned run over the information sets already built, up to weight wmax.
void bzrun();
// Set i at level lcv[i].
void runset(int i);
// Work estimate: sum over u = 1..t of (m choose u), computed by the usual
// recurrence; saturates instead of overflowing.
uint64_t cost(int m, int t);
// 1 when partial set j is worth raising one level.
int worthraise(int j);

// ---- enumeration ---------------------------------------------------------------

void runfull(int i);
void runpart(int i);
// Exhaustive listing of set 1 at level k[1].
void runexhaust();
// The recursions, entered with the work rows prepared by runfull/runpart.
void combs1(int depth, int start, int i);
void combs2(int depth, int start, int i);
// Claim test of the counting step: false when an earlier set that was run
// meets the codeword whose support is `supp` (bit form, W words) ...
bool isfirst(int i, const uint64_t* supp);
// ... or whose byte form is z (q = 5, 7).
bool isfirstb(int i, const uint8_t* z);

// ---- generating sets -------------------------------------------------------------

void gensets_dist(wmat& Gb, bmat& G, int d);
void gensets_dist_b(bmat& Gs, bmat& G, bmat& F);
void spectrum_sorted(bmat& G);
void gensets_all(bmat& G);
void generatingset_fromall_inv(bmat& G);
int gensets_update(wmat& B, uint64_t start);
int gensets_updateb(bmat& B, uint64_t start);
void classify(uint64_t lo, uint64_t hi);

// Weight held in a byte-store row (byte 0 low, byte -1 high).
inline int bstoredweight(const uint8_t* row) { return row[0] + 256 * row[-1]; }
