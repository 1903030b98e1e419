// Level records (see records.h).
//
// Records are short text lines read back by fscanf, so the readers accept any
// spacing between numbers; they check every number they were promised and
// refuse headers whose sizes would not fit the step's tables, because a
// half-read record would hand the search a code that does not exist.
#include "engine/records.h"

#include <cstring>

#include "containers/containers.h"

void maya_reset(mayatab& mt) {
    memset(&mt, 0, sizeof mt);
    for (int p = 0; p < MAXLEN; p++) mt.newrow[p] = -3;
}

namespace {

// Writes the groups of a split record; false on a write error.  Reads
// mt.remain[l][0][b] and mt.split[l][i][b] for l = 0..lastblk.
bool writegroups_split(FILE* fp, int lastblk, int q, const mayatab& mt) {
    for (int l = 0; l <= lastblk; l++)
        for (int b = 0; b < q; b++) {
            if (mt.remain[l][0][b] == 0) continue;
            for (int i = 0; i < q; i++)
                if (fprintf(fp, "%d ", mt.split[l][i][b]) < 0) return false;
        }
    return true;
}

// Number of classes (l, b) of the parent with a non-zero multiplicity.
int countclasses(int lastblk, int q, const mayatab& mt) {
    int nblk = 0;
    for (int l = 0; l <= lastblk; l++)
        for (int b = 0; b < q; b++)
            if (mt.remain[l][0][b] != 0) nblk++;
    return nblk;
}

// Skips to the next "?" and reads the header.  1 = header read, 0 = end of
// file before any "?", -1 = damaged header or stream error.
int readheader(FILE* fp, levrec& r) {
    r = levrec{};
    if (fp == nullptr) return -1;
    int c;
    while ((c = fgetc(fp)) != EOF && c != '?') {
    }
    if (c == EOF) return ferror(fp) ? -1 : 0;
    int q, nblk, runno, flag;
    if (fscanf(fp, "%d %d %d %d\n", &q, &nblk, &runno, &flag) != 4) return -1;
    r.q = q;
    r.nblk = nblk;
    r.runno = runno;
    r.flag = flag;
    if (q < 1 || q > MAXVAL || nblk < 0 || nblk > MAXBLK) return -1;
    return 1;
}

// Reads one count (a non-negative number); false when missing.
bool readcount(FILE* fp, int32_t& v) {
    int x;
    if (fscanf(fp, "%d", &x) != 1 || x < 0) return false;
    v = x;
    return true;
}

}  // namespace

bool levrec_write(FILE* fp, CodeStatus status, int blk, int q, StepMode mode, mayatab& mt, levcount& lc) {
    ZASSERT("records", q < 1 || q > MAXVAL, "q within the block width");
    if (mode == StepMode::split) ZASSERT("records", blk < 0 || blk >= MAXBLK, "last block index in range");
    if (mode == StepMode::simple) ZASSERT("records", blk < 0 || blk > MAXBLK, "block count in range");
    if (fp == nullptr) return false;

    const int flag = status == CodeStatus::fresh ? 1 : 0;
    int nblk = mode == StepMode::split ? countclasses(blk, q, mt) : blk;
    mt.recno++;
    bool ok = fprintf(fp, "\n? %d %d %d %d\n", q, nblk, mt.recno, flag) >= 0;
    if (ok && mode == StepMode::split) ok = writegroups_split(fp, blk, q, mt);
    if (ok && mode == StepMode::simple)
        for (int l = 0; ok && l < blk; l++)
            for (int i = 0; ok && i < q; i++) ok = fprintf(fp, "%d ", mt.partner[l][i]) >= 0;

    if (flag == 1) lc.parents++;
    lc.total++;
    lc.pending++;
    return ok && !ferror(fp);
}

int levrec_readparent(FILE* fp, levrec& r, mayatab& mt) {
    int h = readheader(fp, r);
    if (h != 1) return h;
    if (r.flag == 0 || r.nblk < 1) return 1;
    for (int l = 0; l < r.nblk; l++)
        for (int b = 0; b < r.q; b++)
            if (!readcount(fp, mt.remain[l][0][b])) return -1;
    return 1;
}

int levrec_readpartner(FILE* fp, levrec& r, mayatab& mt) {
    int h = readheader(fp, r);
    if (h != 1) return h;
    r.simple = 1;
    for (int l = 0; l < r.nblk; l++) {
        int32_t sum = 0;
        for (int i = 0; i < r.q; i++) {
            if (!readcount(fp, mt.partner[l][i])) return -1;
            sum += mt.partner[l][i];
        }
        if (sum > 1) r.simple = 0;
    }
    return 1;
}
