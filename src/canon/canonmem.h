// The workspace of the canonical labelling: one global record `cws` that
// holds every array the refinement and the search touch.
//
// A labelling search must not allocate, and it runs thousands of times per
// parent code, so everything is sized in advance by four capacities: `capl`
// (levels of the search tree), `capg` (stored automorphisms), `capn` (columns
// of `incmat`) and `capm` (rows of `incmat`).  Every integer array holds
// indices 0..c for its capacity c.  `canon_mem` is called at the start of
// each labelling; it allocates on first use and afterwards only grows (by 3
// over the old capacity for levels and automorphisms), so the set-up cost is
// paid once per growth.  The contents are not kept across a growth.
#pragma once
#include <cstdint>

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
    int32_t alloc;                 // 1 when everything below is allocated
    int32_t capl, capg, capn, capm;
    int32_t cstatus;               // 0 done, 3 out of levels, 1 out of automorphism slots
    int32_t running;               // 1 while a search runs
    int32_t naut;                  // stored automorphisms
    int32_t firstdepth, bestdepth, curdepth;
    int32_t allcells;              // the next refinement pass lists all its cells
    uint64_t rhash;                // refinement hash of the last `refine`
    uint32_t certhash;             // certificate of the last labelling
    int32_t level, fl;             // running level and first-path level
    uint64_t nretry3, nretry1;     // retries of `canon_code`, counted for tests and benchmarks

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
};

extern canonws cws;

// Allocates everything for capacities (L, G, N, M), records them and sets
// `cws.alloc`; returns 1 on success.  On failure whatever was obtained is
// released again, the record is left unallocated and 0 is returned.
int canon_alloc(int L, int G, int N, int M);
// Releases everything allocated for (L, G, N, M); clears `alloc` and the
// capacities.  A missing block stops through the containers' handler.
void canon_free(int L, int G, int N, int M);
// Set-up before a labelling: N and M are taken from `incmat`.  Allocates
// (r0+1, r1+1, N+1, M+1) on first use; later grows only what no longer fits
// (columns to N+3, rows to M+3, levels and automorphisms by 3).
void canon_mem(int r0, int r1);
// Tests: release the workspace (if any) so the next `canon_mem` starts anew.
void canon_reset();
