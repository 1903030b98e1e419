// Canonical labelling and automorphism orbits of a 0/1 incidence matrix.
//
// The code invariants fill `incmat` (M = incmat.rows rows, N = incmat.cols
// columns, entry (r, c) = incmat.a[r][c] in {0, 1}, r = 1..M, c = 1..N) and
// give each column a colour.  `canon_code` then finds
//   - a canonical order of the columns (`cws.bestcol.el[1..N]`) and of the
//     rows (`cws.bestrow.el[1..M]`): two matrices that differ by a row
//     permutation and a (colour-preserving) column permutation read the
//     same in their own canonical orders;
//   - the orbits of the automorphism group on the columns (`cws.orbits`;
//     `cell_index(cws.orbits)` gives the orbit number of each column in
//     `cws.cellcol`);
//   - a certificate number `cws.certhash` below 1111111.
// Only columns are individualised; rows follow by refinement.  The search is
// a depth-first walk over ordered partitions with equitable refinement, node
// invariants, a first and a best leaf, automorphisms found as equal leaves and
// pruning by orbits.  All state lives in the workspace `cws` (canonmem.h); the
// search is single-threaded, not re-entrant, and never allocates.
#pragma once
#include <cstdint>

#include "canon/canonmem.h"
#include "containers/cons_str.h"

// The incidence matrix of the current labelling; q is the field size of the
// code it was built from (not read here).
extern bmat incmat;

// ---- labelling -------------------------------------------------------------

// mode 1: colour mode, colours[1..N] in 1..N (copied into `cws.colour`);
// any other mode: plain, colours not read.  Grows the workspace and repeats
// the search until it completes (`cws.cstatus` 0).
void canon_code(int mode, const int32_t* colours);
// One complete search from scratch; may stop with `cws.cstatus` 3 (out of
// levels) or 1 (automorphism store full).  In colour mode `cws.colour` must
// already hold the colours.
void canon_search(int mode);

// ---- refinement and node invariants ----------------------------------------

// Column root: one cell 1..N; row root: one cell 1..M.
void root_cols(opart& p);
void root_rows(opart& p);
// Colour root: cell c holds the columns of colour c (from `cws.colour`) in
// increasing order, c = 1..largest colour; colours no column has give empty
// cells.
void colour_part(opart& p);
// Refines `col` and `row` against each other to an equitable pair; mode 0 at
// the root (all cells are splitters), mode 1 after `individualise` (the
// splitter is the new singleton).  Leaves the refinement hash in `cws.rhash`
// and the column splitter list empty.
void refine(opart& col, opart& row, int mode);
void refine_rows(opart& row, const opart& col);
void refine_cols(opart& col, const opart& row);
// Splits every cell of `P` (rows pass when rowside is 1) against cell s of
// `Q`, writing the result back into `P`.
void split_by_cell(opart& P, const opart& Q, int s, int rowside);
// Sets p.tc to the first cell of largest size.
void target_cell(opart& p);
// T := F with column x (an element of cell F.tc) made a cell of its own in
// front of the rest of that cell; the column splitter list becomes {F.tc}.
void individualise(const opart& F, opart& T, int x);
// Cell number of every element: `cws.cellcol` for a column partition,
// `cws.cellrow` (rowside 1) for a row partition; every element must occur.
void cell_index(const opart& p, int rowside = 0);
// Invariant of the node at level l (0..11110), from `colpart[l]`,
// `rowpart[l]` and `path[1..l]`.
int node_invariant(int l);
// Copies partition `F` into `T`.
void opart_copy(const opart& F, opart& T);
inline bool discrete(const opart& p) { return p.nc == p.ne; }

// ---- search steps (exposed for tests) ---------------------------------------

// Compares the matrix read through (lc, lr) with the one read through
// (rc, rr): -1, 0, +1.  On equality fills `leafcol`/`leafrow` with the map.
int leaf_compare(const opart& lc, const opart& lr, const opart& rc, const opart& rr);
// Joins `orbits` with the cycles of `leafcol`; returns 1 when the number of
// orbits fell.
int merge_orbits();
// Stores `leafcol`/`leafrow` as automorphism `naut`+1; returns 0 (and sets
// `cstatus` 1) when the store is full.
int store_aut();
// `mcr`[c] := 1 for the smallest column of each orbit of the stored
// automorphisms that fix path[1..k].
void fix_mcr(int k);
// First level 1..k where `path` and `bestpath` differ.
int diverge_level(const int32_t* path, const int32_t* bestpath, int k);
