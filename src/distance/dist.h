// Minimum distance, weight checks, weight spectra, codeword enumeration and
// generating sets of low-weight codewords, all owned by one DistEngine.
//
// The code is covered by the disjoint information sets of rank.h.  The
// enumeration of one set at level L meets, once up to non-zero scalars, every
// codeword with at most L non-zero coordinates on the set's pivot columns;
// the planners raise levels until every codeword up to the wanted weight has
// been met (minimum distance, checks, low-weight listing).  Small codes use
// the exhaustive listing on one systematic form.  Each codeword met goes to
// the minimum-distance step (smallest weight, stop at the threshold) or the
// counting step (per-weight counts, optional store, each codeword counted at
// the first set that meets it).  Results are left in the information-set
// record and the codeword stores (bit planes / bytes), which callers read
// through setinfo(), weights(), bitstore() and bytestore().
//
// Every workspace, the field in use and the bit-plane switch belong to the
// engine, so one engine serves one thread at a time and engines in different
// threads (with the same or different q) never meet; the field tables they
// read are immutable.  The workspaces only grow, so the enumeration never
// allocates once they fit the largest code seen.
#pragma once
#include <cstdint>

#include "containers/containers.h"
#include "distance/rank.h"
#include "field/field.h"

// Work estimate: the sum over u = 1..t of the terms of the recurrence for
// (m choose u); saturates instead of overflowing.
uint64_t cost(int m, int t);

// Weight held in a byte-store row (byte 0 low, byte -1 high).
inline int bstoredweight(const uint8_t* row) { return row[0] + 256 * row[-1]; }

class DistEngine {
public:
    // The results, read-only: the information sets and counts (ub, stop,
    // found, wmax, ...), the weight counts Aspec[0..n] of the last counting
    // run, and the codeword stores rows 1..rows (bit planes / bytes).
    const InfoSets& setinfo() const { return work.setinfo; }
    const uint64_t* weights() const { return work.setinfo.Aspec.data(); }
    const PlaneMatrix& bitstore() const { return work.wordplanes; }
    const ByteMatrix& bytestore() const { return work.wordbytes; }
    // No field chosen yet: every operation on a matrix fails its field check
    // until usefield has been called.
    DistEngine();
    DistEngine(const DistEngine&) = delete;
    DistEngine& operator=(const DistEngine&) = delete;

    // Selects GF(q) (q in 2, 3, 4, 5, 7) and whether codes over it go
    // through the bit planes (wordplanes, sysplanes) or the bytes (wordbytes); bit
    // planes serve q <= 4 only.  The workspaces are kept; the next operation
    // resizes them for the new field.  Every matrix handed over afterwards
    // must be over GF(q).
    void usefield(int q, bool bitplanes);
    const Field& field() const { return *fld; }
    int fieldq() const { return fq; }
    bool bitplanes() const { return planes; }
    // Releases every workspace and zeroes the record (the field stays).
    void reset();

    // ---- reduced forms and information sets (rank.cpp) ------------------------

    // Reduces rows 1..src.rows of src into dst (dst may be src).  Rows
    // 1..rank of dst: reduced echelon form; behind them the dependent rows of
    // src, unreduced, in source order.  dst.used := rank.  Mode Rref::sys:
    // out := dst with the pivot columns moved to the front; Rref::dual: out :=
    // generator matrix of the dual code (n - rank rows).  Scratch: pivbuf
    // (pivot list), rscr (the source rows when dst is src, row 0 column
    // flags); neither carries anything to a later call.
    int rref(ByteMatrix& dst, ByteMatrix& src, ByteMatrix* out, Rref mode);
    // out := generator matrix of the dual of gm (n - k rows, n columns, used
    // n - k).  Writes wcopy (reduced copy of gm) and the scratch of rref; gm
    // is unchanged.
    void dualmat(ByteMatrix& out, ByteMatrix& gm);
    // Systematic form of src rows 1..src.used on the columns still free in
    // colfree row 0, which loses them.  setinfo.piv[nsets + 1] := the pivot
    // columns; dependent rows go to dst
    // from the bottom.  Returns the rank, dst.used := it.
    int sysform(ByteMatrix& dst, ByteMatrix& src);
    // All information sets of genmat (genmat.rows must equal genmat.used).
    // Writes wcopy, sysmats[1..nsets], colfree, setinfo (n, nslots, nsets,
    // k, piv, nfull, ranksum) and leaves every levels at 0; with bit planes
    // also sysplanes[1..nsets], pivmask[1..nsets].  The
    // store is sized for genmat.rows codewords when setinfo.keep is set.  A
    // matrix of rank 1 gets one set of rank 1; rank 0 gets none (k[1] = 0).
    void infosets(ByteMatrix& genmat);
    // One systematic form of genmat rows 1..min(used, rows) in sysmats[1], with
    // levels[1] = k[1] = its rank (and sysplanes[1], pivmask[1] with bit planes); the store is sized for the exhaustive listing when
    // setinfo.keep is set.
    void infoset1(ByteMatrix& genmat);
    // sysplanes[i] := bit-plane form of sysmats[i] (q = 2, 3, 4); reads sysmats[i]
    // only.
    void packmat(int i);
    // Whole matrix, q = 2: out := rows 1..m of src in plane a.
    void packrows2(PlaneMatrix& out, ByteMatrix& src);

    // ---- minimum distance and checks (dist.cpp) ---------------------------------
    // All of these rebuild the information sets of G as infosets does (or
    // infoset1 for the exhaustive listing) and leave their results in
    // setinfo; G itself is not changed.  The work rows sysmats[0], sysmats[-1] /
    // sysplanes[0], sysplanes[-1] are scratch.

    // Minimum distance of G, also left in setinfo.ub.  G.rows must equal
    // G.used.  Codes of rank 0 give 0; rank 1 is handled by its one set.
    // Writes lb, levels (the levels run), stop; leaves keep unset and the
    // step the distance step; the
    // stores are not touched.
    int mindist(ByteMatrix& G);
    // 1 when no non-zero codeword of G has weight <= G.dreq - 1, else 0
    // (setinfo.stop).  Writes lb = wmax = G.dreq - 1, levels; leaves keep and
    // the step the distance step; the stores are not touched.
    int checkdist(ByteMatrix& G);
    // The same by the exhaustive listing of one systematic form; 0 also when
    // rows 1..G.used have rank below G.used.  Writes lb, wmax = n, levels[1],
    // Aspec := 0, found := 0; leaves keep and exact unset, the step the
    // distance step.  With bit planes
    // the store header is set to 3 rows (no row is written).
    int checkdist_ex(ByteMatrix& G);
    // Projective weight counts setinfo.Aspec[0..n], their total in found,
    // by the exhaustive listing (levels[1] = k[1], wmax = n, the counting
    // step, keep
    // 0).  With bit planes the store header is set to 3 rows (no row is
    // written).
    void spectrum(ByteMatrix& G);
    // As spectrum with keep 1, and every codeword (once up to scalars)
    // stored with its weight in rows 1..found of wordplanes (bit planes) or
    // wordbytes, which grows as needed; the store's row count := found.
    // With `upto` >= 0 only the words of weight up to it are counted and
    // kept (in the same order as in the whole listing).
    void spectrum_keep(ByteMatrix& G, int upto = -1);
    // Plans the levels for weight wmax over the sets already built and runs
    // them; lb := the last planned threshold when it was 0.  Writes levels and,
    // through the steps, ub / stop or found / Aspec / the store.
    void runlevels();
    // Set i at level levels[i] by runfull or runpartial (nothing at level 0).
    void runset(int i);
    // 1 when partial set j is worth raising one level (deficit <= 25 and half
    // its extra work below the next level of set 1).  Reads k, levels only.
    int worthraise(int j);

    // ---- enumeration (distenum.cpp) ---------------------------------------------
    // The steps read setinfo.step, lb, wmax, exact, keep, k, a, levels and
    // write ub, stop (minimum-distance step) or found, Aspec and the store
    // (counting step).  Work rows: sysmats[0] / sysmats[-1] (bytes) or sysplanes[0] /
    // sysplanes[-1] (bit planes); pivmask row 0 holds the support of the last
    // codeword claimed.

    // Set i of rank k[1]: bases cleared, walkset from depth 1.
    void runfull(int i);
    // Set i of lower rank: walkset on the zero base, then walkoutside over the rows
    // outside the rank.
    void runpartial(int i);
    // Exhaustive listing: set 1 at level k[1] (levels[1] := k[1]).
    void runexhaust();
    // The recursions, entered with the work rows prepared by the above.
    void walkset(int depth, int start, int i);
    void walkoutside(int depth, int start, int i);
    // Claim test of the counting step: false when an earlier set that was run
    // (levels > 0) meets the codeword, i.e. the codeword has at most levels[j]
    // non-zero coordinates on a[j].  `supp` is the support in bit form (W
    // words, read against pivmask) ...
    bool isfirst(int i, const uint64_t* supp) const;
    // ... or z is the codeword in byte form (read against a[j]).
    bool isfirstb(int i, const uint8_t* z) const;

    // ---- generating sets (gensets.cpp) ------------------------------------------
    // Results: the store rows 1..row count (weight, and with bit planes pair
    // invariant in plane a word -1, class in plane b word 0, mark in plane b
    // word -1), setinfo.wmax = the weight at which the kept codewords span
    // the code, found / done.  Besides the sets and the counting state they
    // write sysmats[1] row 0 (byte mask of the columns outside set 1) and the
    // last raising row; perma, permb, permbytes, nextrow and the class table
    // are scratch.

    // After mindist, bit planes: codewords of weight d, d + 1, ... (each
    // weight one counting run with exact set) until they span G, each new
    // weight block classified; Gb is the caller's basis (used = its rank).
    // Both stores' row counts := found.
    void gensets_dist(PlaneMatrix& Gb, ByteMatrix& G, int d);
    // The same for the byte forms, weight by weight from weight 1.  Gs is
    // the caller's basis.
    void gensets_dist_b(ByteMatrix& Gs, ByteMatrix& G);
    // spectrum_keep (up to weight `upto`), then the store sorted by weight,
    // stably (Bspec[w] = first row - 1 of weight w).
    void spectrum_sorted(ByteMatrix& G, int upto = -1);
    // Bytes: the sorted full store cut (rows, used) after the weight that
    // completes the span, which goes to wmax; basis in gbasb.
    void gensets_all(ByteMatrix& G);
    // Bit planes: the sorted full store, weight block by weight block with
    // classes and marks, kept up to the weight that completes the span
    // (wmax; done = rows kept); basis in gbas.  The words up to weight
    // G.dreq + 1 are listed first, as they nearly always span the code;
    // the whole listing follows only when they do not, so the result is
    // that of the whole listing either way.  Without bit planes it prints
    // an error and only sets wordplanes.rows := found.
    void generatingset_fromall_inv(ByteMatrix& G);
    // One attempt of it over the words listed up to weight `upto`; returns
    // the rank reached.
    int generatingset_upto(ByteMatrix& G, int upto);
    // Inserts stored codewords start..found into B until rank k[1]; start = 1
    // makes B afresh.  Returns the rank.  With bit planes the bit form also
    // sets the marks of start..found from the classes that raised the rank.
    int gensets_update(PlaneMatrix& B, uint64_t start);
    int gensets_update(ByteMatrix& B, uint64_t start);
    // Pair invariant and classes of store rows lo+1..hi (bit store), which are
    // reordered by invariant (row pointers only, through perma and
    // permb).
    void classify(uint64_t lo, uint64_t hi);

private:
    // The tests reach the whole workspace through this probe.
    friend struct DistProbe;
    DistWorkspace work{};             // every workspace
    const Field* fld = nullptr;   // the field in use; null until usefield
    int fq = 0;                   // its size
    bool planes = false;          // bit planes for this q (q <= 4)
    int classtab[102];            // rank reached when class c last raised it; -1 before
    uint64_t lastraise = 0;       // store row of the last insertion that raised the rank

    // rank.cpp
    int sysform2(ByteMatrix& dst, ByteMatrix& src, int kk, int* pv);
    void setpivmask(int i);                   // pivmask[i] := the bits of a[i]
    void storeensure(int rows, int n);        // the store in use holds `rows` codewords
    void clearsets(int n);                    // no sets, no levels, colfree all 0xff
    void bitsetup(int rows, int n, int count);   // sysplanes and pivmask sized
    // dist.cpp
    void clearlevels();                       // levels[1..nsets] := 0
    void exhaustive(ByteMatrix& G);                 // infoset1, Aspec := 0
    void spectrum_common(ByteMatrix& G, int keep, int upto);  // spectrum / spectrum_keep
    // distenum.cpp
    void enter(int i, int stage, int depth, int start);   // a recursion on set i
    void clearbases();                        // row 0 of both work matrices := 0
    // gensets.cpp
    void basisinit(PlaneMatrix& B);                  // B empty, masks of set 1
    int updbits(PlaneMatrix& B, uint64_t start, uint64_t end, bool classes);
    void putback(uint64_t lo, uint64_t m);    // store rows lo+1..lo+m := perma, permb
    void permensure(uint64_t m);              // perma, permb (bit planes) or permbytes for rows 1..m
    void gensets_start(ByteMatrix& G, int ub);      // sets, counting state cleared
    void setrows(uint64_t rows);              // both stores' row counts
};
