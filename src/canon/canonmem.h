// The workspace of the canonical labelling: the record `canonws` that holds
// every array the refinement and the search touch.  Each `Labeller`
// (canon.h) owns one, so that labellers in different threads share nothing.
//
// A labelling search must not allocate, and it runs thousands of times per
// parent code, so everything is sized in advance by four capacities: `capl`
// (levels of the search tree), `capg` (stored automorphisms), `capn` (columns
// of the matrix) and `capm` (rows of the matrix).  Every integer array holds
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
struct ivec {
    int32_t* el;
    int32_t cnt;
};

// An ordered partition: `el` lists the elements cell by cell, cell c starts
// at position st[c] and has sz[c] elements; `tc` is the target cell chosen
// by `target_cell`, `ne` the number of elements and `nc` the number of cells.
struct opart {
    int32_t* el;
    int32_t* st;
    int32_t* sz;
    int32_t tc, ne, nc;
};

struct canonws {
    // ---- capacities and scalars ----
    int32_t capl, capg, capn, capm;  // all 0 before the first labelling
    int32_t cstatus;               // 0 done, 3 out of levels, 1 out of automorphism slots
    int32_t running;               // 1 while a search runs
    int32_t naut;                  // stored automorphisms
    int32_t firstdepth, bestdepth, curdepth;
    int32_t allcells;              // the next refinement pass lists all its cells
    uint64_t rhash;                // refinement hash of the last `refine`
    uint32_t certhash;             // certificate of the last labelling
    int32_t level, fl;             // running level and first-path level
    uint64_t nretry3, nretry1;     // retries of `canon_code`, counted for tests and benchmarks
    uint64_t nodes;                // refinements (nodes of the search tree), counted likewise

    // ---- per level (0..capl) ----
    opart* colpart;                // column partitions, sized by capn
    opart* rowpart;                // row partitions, sized by capm
    ivec* cand;                    // candidates of each level, sized by capn
    ivec path, firstpath, bestpath;
    int32_t *tried, *cmpbest, *eqfirst, *eqbest;
    int32_t *nodeinv, *refhash, *firstinv, *firstref, *bestinv, *bestref;

    // ---- automorphism store (0..capg) ----
    ivec* autcol;                  // column images, sized by capn
    ivec* autrow;                  // row images, sized by capm

    // ---- columns (0..capn) ----
    ivec colspl, collarge;         // column splitter list, largest pieces of the columns pass
    int32_t *leafcol, *orbidx, *orbmin, *mcr, *cellcol, *colour;
    int32_t *visited, *queue;      // fix_mcr; the queue also marks unplaced columns in merge_orbits
    int32_t *filt;                 // scratch of the candidate filter
    int32_t *colmark;              // column coverage marks; per-colour counters
    opart firstcol, bestcol, orbits, neworb, colw, colnew;

    // ---- rows (0..capm) ----
    ivec rowspl, rowlarge;         // row splitter list, largest pieces of the rows pass
    int32_t *leafrow, *cellrow, *rowmark;
    opart firstrow, bestrow, roww, rownew;

    // ---- pieces of one cell split (0..capn+capm) ----
    int32_t *pcnt, *phist, *ppos, *pstart, *psize, *pnew;
    int32_t npieces, npel;
    // ---- splitting by the ones of a splitter ----
    // Columns (0..capn) and rows (0..capm): the start position of each
    // element's cell in the partition being split (-1: a singleton), and
    // its position there.
    int32_t *ccellof, *cposof, *rcellof, *rposof;
    // (0..capn+capm)
    int32_t* tcnt;                 // ones of each element in the splitter; all 0 between splitters
    int32_t* tcell;                // elements met of the cell at each start; all 0 between splitters
    int32_t* tlist;                // the starts of the cells met

    // ---- storage behind the views above ----
    ArraySet<int32_t> arrays;      // every integer array, a block each
    Buffer<opart> parts;           // colpart and rowpart
    Buffer<ivec> lists;            // cand, autcol and autrow
};
