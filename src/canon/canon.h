// Canonical labelling and automorphism orbits of a 0/1 incidence matrix.
//
// The code invariants build a matrix `inc` (M = inc.rows rows, N = inc.cols
// columns, entry (r, c) = inc.a[r][c] in {0, 1}, r = 1..M, c = 1..N) and
// give each column a colour.  `Labeller::label` then finds
//   - a canonical order of the columns (`canonical_cols()[1..N]`) and of
//     the rows (`canonical_rows()[1..M]`): two matrices that differ by a row
//     permutation and a (colour-preserving) column permutation read the
//     same in their own canonical orders;
//   - the orbits of the automorphism group on the columns
//     (`column_orbits()[1..N]`, the orbit number of each column), and
//     generators of the group (`aut_cols`, `aut_rows`);
//   - a certificate number `certificate()` below 1111111.
// Only columns are individualised; rows follow by refinement.  The search is
// a depth-first walk over ordered partitions with equitable refinement, node
// invariants, a first and a best leaf, automorphisms found as equal leaves and
// pruning by orbits.
//
// All state of a labelling lives in one `Labeller`: its private workspace
// `work` (canonmem.h), read by callers only through the accessors above, the cell count of the refinement pass under way, and the
// address of the matrix it reads (the matrix belongs to the caller and must
// stay unchanged while it is labelled).  Nothing is shared between
// labellers, so labellers in different threads run at the same time; one
// labeller serves one thread at a time.  A search never allocates: the
// workspace only grows between searches.
#pragma once
#include <cstdint>
#include <vector>

#include "canon/canonmem.h"
#include "canon/labeldump.h"
#include "containers/containers.h"

// How a matrix is labelled: columns all alike, or coloured.
enum class LabelMode { plain, colour };
// Where a refinement starts: from the root partitions, or after a column was
// individualised.
enum class Refinement { root, individualised };

class Labeller {
public:
    Labeller() = default;
    ~Labeller() = default;  // the workspace is released with it
    Labeller(const Labeller&) = delete;
    Labeller& operator=(const Labeller&) = delete;

    // ---- results of the last labelling ---------------------------------------

    // The canonical order of the columns [1..N] and of the rows [1..M].
    const int32_t* canonical_cols() const { return work.bestcol.el; }
    const int32_t* canonical_rows() const { return work.bestrow.el; }
    // The certificate (below 1111111).
    uint32_t certificate() const { return work.certhash; }
    // The stored automorphisms g = 1..automorphisms(): column images [1..N]
    // and row images [1..M].  They generate the automorphism group.
    int automorphisms() const { return work.naut; }
    const int32_t* aut_cols(int g) const { return work.autcol[g].el; }
    const int32_t* aut_rows(int g) const { return work.autrow[g].el; }
    // The orbit number of every column [1..N] (cell_index of the orbits,
    // written into the workspace's cellcol).
    const int32_t* column_orbits() {
        cell_index(work.orbits);
        return work.cellcol;
    }
    // Search-tree nodes (refinements) so far, for benchmarks.
    uint64_t nodes() const { return work.nodes; }

    // ---- labelling ---------------------------------------------------------

    // Labels `inc`: colour mode when `colours` is not null (colours[1..N] in
    // 1..N), plain mode otherwise.  Same as use(inc) and then canon_code.
    void label(const ByteMatrix& inc, const int32_t* colours);
    // The same labelling in two steps, for a caller that may decide from
    // the refined root alone: label_root sets up the search and refines the
    // root partitions (colpart[1], rowpart[1]); label_rest completes the
    // labelling.  label_root and then label_rest is label.
    void label_root(const ByteMatrix& inc, const int32_t* colours);
    void label_rest();
    // After label_root: whether column x lies in the last cell (in cell
    // order) of the refined root among those of colour `colour` (any cell
    // in plain mode).  Every partition of the search refines the refined
    // root position by position, so the column that the canonical order puts
    // last among that colour lies in this cell, and so does its whole orbit.
    bool root_last_cell_has(int x, int colour) const;
    // label_root for a caller that only goes on when the last root cell of
    // colour `colour` holds column x or column y (0: none): false as soon as
    // the refinement shows that it holds neither (cells only split, so the
    // cell holding the colour's last position only shrinks), and then the
    // labelling must not be continued; true, with the refined root, when it
    // holds one of them.
    bool label_root_watch(const ByteMatrix& inc, const int32_t* colours, int colour, int x, int y);
    // Points the labeller at `inc` without labelling it (for driving the
    // steps one by one), lists the ones of every row and column of it and
    // sizes the bit rows of the leaves (grow-only buffers of the labeller);
    // the workspace is not touched.
    void use(const ByteMatrix& inc);
    // The reference path (on: counts, node invariants and leaf comparisons
    // read the matrix entry by entry) or the default one (off: they follow
    // the lists of ones and compare leaves as bit rows).  Both give the same
    // partitions, hashes, invariants, leaves and automorphisms; the
    // reference is kept to show that, and to measure the difference.
    void set_plain(bool on) { plain_ = on; }
    bool plain() const { return plain_; }
    // The matrix in use (set by use or label).
    const ByteMatrix& matrix() const { return *inc; }

private:
    // ---- the search, its steps and the workspace ---------------------------

    // Colour mode: colours[1..N] copied into `colour`; plain mode: colours
    // not read.  Grows the workspace (canon_mem) and
    // repeats canon_search until it completes (`end` complete), counting the
    // retries in retries_levels / retries_auts.  Writes every array of the workspace.
    void canon_code(LabelMode mode, const int32_t* colours);
    // One complete search from scratch on a workspace large enough for the
    // matrix; may stop with `end` out_of_levels or out_of_automorphisms
    // (the automorphism store full).  In colour mode `colour[1..N]` must hold the colours.
    // Writes every array of the workspace; on completion leaves bestcol,
    // bestrow, bestpath, bestdepth, orbits (with orbidx, orbmin), autcol /
    // autrow[1..naut], firstcol, firstrow, firstpath and certhash, and
    // `running` false.
    void canon_search(LabelMode mode);
    // The two halves of canon_search: search_start sets up the roots and
    // refines them (the root hash kept for the certificate); search_rest
    // walks the tree from the refined root.
    bool search_start(LabelMode mode);  // false: stopped by a watch
    void search_rest();

    // ---- refinement and node invariants ------------------------------------

    // Column root: one cell 1..N; row root: one cell 1..M.  Both write `p`
    // only.
    void root_cols(Partition& p) const;
    void root_rows(Partition& p) const;
    // Colour root: cell c holds the columns of colour c (from `colour`) in
    // increasing order, c = 1..largest colour; colours no column has give
    // empty cells.  Writes `p`; colmark[1..largest colour] is scratch.
    void colour_part(Partition& p);
    // Refines `col` and `row` against each other to an equitable pair: at
    // the root every cell is a splitter; after `individualise` the splitter
    // is the new singleton, read from colspl.  Writes
    // `col`, `row` (whose arrays may be exchanged with those of colw / roww),
    // rhash (the refinement hash); scratch: colw, roww, colnew, rownew,
    // collarge, rowlarge, the split arrays piececount..pnew.  Leaves colspl and
    // rowspl empty and allcells 0.
    // Returns true; false only when a watch (label_root_watch) stopped it.
    bool refine(Partition& col, Partition& row, Refinement mode);
    // One rows pass: `row` split against the cells of `col` listed in
    // colspl (emptied); the new row splitters go to rowspl.  Adds to rhash;
    // reads and clears allcells; scratch: roww, rownew, rowlarge, piececount..pnew.
    void refine_rows(Partition& row, const Partition& col);
    // One columns pass: the same with the sides exchanged (rowspl emptied,
    // colspl written; colw, colnew, collarge).
    void refine_cols(Partition& col, const Partition& row);
    // Splits every cell of `P` (rows pass when rowside is 1) against cell s
    // of `Q`, writing the result back into `P`.  Adds to rhash; scratch:
    // rownew or colnew, piececount..pnew.
    void split_by_cell(Partition& P, const Partition& Q, int s, int rowside);
    // Sets p.tc to the first cell of largest size; reads no other state.
    static void target_cell(Partition& p);
    // T := F with column x (an element of cell F.tc) made a cell of its own
    // in front of the rest of that cell.  Writes `T` and colspl := {F.tc}
    // (the splitter of the next refine).
    void individualise(const Partition& F, Partition& T, int x);
    // Cell number of every element: into cellcol for a column partition,
    // cellrow (rowside 1) for a row partition; every element must occur.
    // colmark / rowmark are scratch.
    void cell_index(const Partition& p, int rowside = 0);
    // Invariant of the node at level l (0..11110), from colpart[l],
    // rowpart[l] and path[1..l].  Leaves cellcol / cellrow of those
    // partitions (colmark, rowmark scratch).
    int node_invariant(int l);

    // ---- search steps ----------------------------------------------------------

    // Compares the matrix read through (lc, lr) with the one read through
    // (rc, rr): -1, 0, +1.  On equality writes the map into leafcol[1..N]
    // and leafrow[1..M]; otherwise writes nothing.
    int leaf_compare(const Partition& lc, const Partition& lr, const Partition& rc, const Partition& rr);
    // The same comparison on bit rows (default path): leaf_begin takes the
    // leaf (lc, lr), whose rows are then made as the comparisons reach them;
    // leaf_against compares it with the best leaf (reference 0, partitions
    // bestcol / bestrow) or the first (1, firstcol / firstrow) and writes
    // the map like leaf_compare; leaf_keep makes the leaf the new best
    // (keep 0) or the first and the best (keep 1).  The rows of the best and
    // the first leaf are kept for the comparisons that follow.
    void leaf_begin(const Partition& lc, const Partition& lr);
    int leaf_against(int reference);
    void leaf_keep(int keep);
    // Joins `orbits` with the cycles of leafcol; rewrites orbits (its arrays
    // exchanged with those of neworb), orbidx and orbmin; queue is scratch.
    // Returns 1 when the number of orbits fell.
    int merge_orbits();
    // Stores leafcol / leafrow as automorphism naut+1 (autcol, autrow) and
    // counts it in naut.  When the store is full (naut reaches maxauts - 1)
    // nothing is stored, `end` becomes out_of_automorphisms and 0 is returned.
    int store_aut();
    // mcr[c] := 1 for the smallest column of each orbit of the stored
    // automorphisms (autcol[1..naut]) that fix path[1..k], else 0.  Scratch:
    // filt, visited, queue.
    void fix_mcr(int k);

    // ---- workspace -----------------------------------------------------------

    // Sizes the workspace for capacities (L, G, N, M) and records them:
    // every array fresh and zeroed, the old ones released.
    void canon_size(int L, int G, int N, int M);
    // Set-up before a labelling: N and M are taken from the matrix in use.
    // Sizes (r0+1, r1+1, N+1, M+1) on first use; later grows only what
    // no longer fits (columns to N+3, rows to M+3, levels and automorphisms
    // by 3), making everything anew.
    void canon_mem(int r0, int r1);

    // The search steps of canon.cpp, and the tests, reach the whole
    // workspace through these.
    friend struct LabelSteps;
    friend struct LabelProbe;
    // The results of the last labelling and every array of the search.
    LabelWorkspace work{};
    const ByteMatrix* inc = nullptr;  // the matrix in use; not owned
    // The labelling under way (set by root_code): its mode, the caller's
    // colours (copied into `colour` before every search), the root hash.
    LabelMode mode_ = LabelMode::plain;
    const int32_t* colours_ = nullptr;
    uint64_t roothash_ = 0;
    // canon_code in two halves: root_code grows the workspace to its first
    // size, copies the colours and runs search_start; rest_code runs
    // search_rest, and while a search stops short grows the workspace and
    // searches again from scratch.
    bool root_code(LabelMode mode, const int32_t* colours);
    void rest_code();
    void copy_colours();
    // A watch on the root refinement (label_root_watch): the last position
    // of the colour watched, and the two columns.
    struct rootwatch {
        bool on;
        int last, x, y;
    };
    rootwatch watch_{false, 0, 0, 0};
    // Whether the cell of `col` holding position watch_.last holds neither
    // watch_.x nor watch_.y.
    bool watch_out(const Partition& col) const;
    LabelDump dump_;            // every labelled matrix, when the environment asks
    int ncell = 0;              // refinement pass: entries of the list of cells of two or more
    bool plain_ = false;        // the reference path (set_plain)

    // The ones of the matrix in use, by row (columns ascending) and by
    // column (rows ascending): row r's at rowadj[rowptr[r] .. rowptr[r+1]-1].
    // Grow-only, made by `use`.
    std::vector<int32_t> rowptr_, rowadj_, colptr_, coladj_;
    // Each side split by the ones (0 columns, 1 rows): the partition its
    // arrays in the workspace describe (null: none), the number and summed
    // size of its cells of two or more, and the cells split in the pass
    // under way.
    struct oneside {
        const Partition* part;
        int n2, s2, splits;
    };
    oneside side_[2] = {{nullptr, 0, 0, 0}, {nullptr, 0, 0, 0}};
    // Leaves as bit rows: row i of a leaf (its i-th row in order) has bit
    // 63 - (j-1) % 64 of word (j-1) / 64 set when it meets the leaf's j-th
    // column; `words_` words per row.  Buffers 0, 1, 2 hold the best leaf,
    // the first leaf and the leaf in hand, of which rows 1..built_ are made;
    // colpos_ is the position of every column in the leaf in hand.
    std::vector<uint64_t> bits_[3];
    std::vector<int32_t> colpos_;
    const Partition* leafr_ = nullptr;
    int words_ = 0, built_ = 0;
    void leaf_rows(int i);

    // Steps of a refinement pass, described in refine.cpp.
    void count_cell(const Partition& P, int st, int sz, const int32_t* q, int qs, int rowside, int& lo, int& hi);
    void pos_setup(const Partition& P, Partition& W, Partition& nw);
    template <int K, int m>
    void splitcells(Partition& W, Partition& nw, const Partition& Q, int s, int rowside);
    void splitcells_any(Partition& W, const Partition& Q, int s, int rowside);
    void pass(Partition& P, const Partition& Q, IndexList& inspl, IndexList& outspl, IndexList& large, Partition& W, int rowside);
    void ones_setup(const Partition& P, int rowside);
    template <int ROW>
    void ones_split(Partition& P, const Partition& Q, int s);
    void ones_pass(Partition& P, const Partition& Q, IndexList& inspl, IndexList& outspl, Partition& W, int rowside, bool reuse);
    void rows_pass(Partition& row, const Partition& col, bool reuse);
    void cols_pass(Partition& col, const Partition& row, bool reuse);
};

// Copies partition `F` into `T`.
void opart_copy(const Partition& F, Partition& T);
inline bool discrete(const Partition& p) { return p.nc == p.ne; }
// First level 1..k where `path` and `bestpath` differ.
int diverge_level(const int32_t* path, const int32_t* bestpath, int k);
