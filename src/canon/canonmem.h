// The workspace of the canonical labelling: the record `LabelWorkspace` that holds
// every array the refinement and the search touch.  Each `Labeller`
// (canon.h) owns one, so that labellers in different threads share nothing.
//
// A labelling search must not allocate, and it runs thousands of times per
// parent code, so everything is sized in advance by four capacities: `maxlevels`
// (levels of the search tree), `maxauts` (stored automorphisms), `maxcols` (columns
// of the matrix) and `maxrows` (rows of the matrix).  Every integer array holds
// indices 0..c for its capacity c.  `Labeller::canon_mem` is called at the
// start of each labelling; it sizes the workspace on first use and afterwards
// only grows it (by 3 over the old capacity for levels and automorphisms), so
// the set-up cost is paid once per growth.  The contents are not kept across
// a growth: every array is fresh and zeroed.  The arrays are owned by the
// workspace (`arrays`, `parts`, `lists`) and released with it; the pointers
// below are views into them, which the hot loops index directly.  Capacities
// of 0 mean a workspace not yet sized.
#pragma once
#include <cstdint>

#include "containers/containers.h"

// A list of integers used from index 1 with a count of valid entries.
struct IndexList {
    int32_t* el;
    int32_t cnt;
};

// An ordered partition: `el` lists the elements cell by cell, cell c starts
// at position st[c] and has sz[c] elements; `tc` is the target cell chosen
// by `target_cell`, `ne` the number of elements and `nc` the number of cells.
struct Partition {
    int32_t* el;
    int32_t* st;
    int32_t* sz;
    int32_t tc, ne, nc;
};

// How a labelling search ended: complete, or stopped because the levels or
// the automorphism slots of the workspace ran out (the labeller then grows
// the workspace and searches again).
enum class SearchEnd : int32_t { complete, out_of_levels, out_of_automorphisms };

struct LabelWorkspace {
    // ---- capacities and scalars ----
    int32_t maxlevels, maxauts, maxcols, maxrows;  // all 0 before the first labelling
    SearchEnd end;                 // how the last search ended
    bool running;                  // while a search runs
    int32_t naut;                  // stored automorphisms
    int32_t firstdepth, bestdepth, curdepth;
    int32_t allcells;              // the next refinement pass lists all its cells
    uint64_t rhash;                // refinement hash of the last `refine`
    uint32_t certhash;             // certificate of the last labelling
    int32_t level, fl;             // running level and first-path level
    uint64_t retries_levels, retries_auts;     // retries of `canon_code`, counted for tests and benchmarks
    uint64_t nodes;                // refinements (nodes of the search tree), counted likewise

    // ---- per level (0..maxlevels) ----
    Partition* colpart;                // column partitions, sized by maxcols
    Partition* rowpart;                // row partitions, sized by maxrows
    IndexList* cand;                    // candidates of each level, sized by maxcols
    IndexList path, firstpath, bestpath;
    int32_t *tried, *cmpbest, *eqfirst, *eqbest;
    int32_t *nodeinv, *refhash, *firstinv, *firstref, *bestinv, *bestref;

    // ---- automorphism store (0..maxauts) ----
    IndexList* autcol;                  // column images, sized by maxcols
    IndexList* autrow;                  // row images, sized by maxrows

    // ---- columns (0..maxcols) ----
    IndexList colspl, collarge;         // column splitter list, largest pieces of the columns pass
    int32_t *leafcol, *orbidx, *orbmin, *mcr, *cellcol, *colour;
    int32_t *visited, *queue;      // fix_mcr; the queue also marks unplaced columns in merge_orbits
    int32_t *filt;                 // scratch of the candidate filter
    int32_t *colmark;              // column coverage marks; per-colour counters
    Partition firstcol, bestcol, orbits, neworb, colw, colnew;

    // ---- rows (0..maxrows) ----
    IndexList rowspl, rowlarge;         // row splitter list, largest pieces of the rows pass
    int32_t *leafrow, *cellrow, *rowmark;
    Partition firstrow, bestrow, roww, rownew;

    // ---- pieces of one cell split (0..maxcols+maxrows) ----
    int32_t *piececount, *piecehist, *ppos, *pstart, *psize, *pnew;
    int32_t npieces, npel;
    // ---- splitting by the ones of a splitter ----
    // Columns (0..maxcols) and rows (0..maxrows): the start position of each
    // element's cell in the partition being split (-1: a singleton), and
    // its position there.
    int32_t *ccellof, *cposof, *rcellof, *rposof;
    // (0..maxcols+maxrows)
    int32_t* tcnt;                 // ones of each element in the splitter; all 0 between splitters
    int32_t* tcell;                // elements met of the cell at each start; all 0 between splitters
    int32_t* tlist;                // the starts of the cells met

    // ---- storage behind the views above ----
    ArraySet<int32_t> arrays;      // every integer array, a block each
    Buffer<Partition> parts;           // colpart and rowpart
    Buffer<IndexList> lists;            // cand, autcol and autrow
};
