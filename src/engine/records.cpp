// Level records and result lines (see records.h).
//
// Records are short text lines read back by fscanf, so the readers accept any
// spacing between numbers; they check every number they were promised and
// refuse headers whose sizes would not fit the step's tables, because a
// half-read record would hand the search a code that does not exist.  The
// printers build each matrix row in one buffer and write it with one call.
#include "engine/records.h"

#include <cstring>

#include "containers/cons_str.h"
#include "engine/maya.h"
#include "frame/runpar.h"

runcounters rc;

void counters_reset() { memset(&rc, 0, sizeof rc); }

// ---- level records --------------------------------------------------------

// Writes the groups of a mode-1 record and returns B, or -1 on a write error.
// Reads mt.remain[l][0][b] and mt.split[l][i][b] for l = 0..lastblk.
static int writegroups_split(FILE* fp, int lastblk, int q, int nblk) {
    for (int l = 0; l <= lastblk; l++)
        for (int b = 0; b < q; b++) {
            if (mt.remain[l][0][b] == 0) continue;
            for (int i = 0; i < q; i++)
                if (fprintf(fp, "%d ", mt.split[l][i][b]) < 0) return -1;
        }
    return nblk;
}

// Number of classes (l, b) of the parent with a non-zero multiplicity.
static int countclasses(int lastblk, int q) {
    int nblk = 0;
    for (int l = 0; l <= lastblk; l++)
        for (int b = 0; b < q; b++)
            if (mt.remain[l][0][b] != 0) nblk++;
    return nblk;
}

int levrec_write(FILE* fp, int flag, int D, int blk, int q, int mode) {
    ZASSERT("records", mode != 1 && mode != 3, "mode==1||mode==3");
    ZASSERT("records", q < 1 || q > MAXVAL, "q within the block width");
    ZASSERT("records", D < 1 || D >= MAXDIM, "D within the levels");
    if (mode == 1) ZASSERT("records", blk < 0 || blk >= MAXBLK, "last block index in range");
    if (mode == 3) ZASSERT("records", blk < 0 || blk > MAXBLK, "block count in range");
    if (fp == nullptr) return 0;

    int nblk = (mode == 1) ? countclasses(blk, q) : blk;
    mt.recno++;
    bool ok = fprintf(fp, "\n? %d %d %d %d\n", q, nblk, mt.recno, flag) >= 0;
    if (ok && mode == 1) ok = writegroups_split(fp, blk, q, nblk) >= 0;
    if (ok && mode == 3)
        for (int l = 0; ok && l < blk; l++)
            for (int i = 0; ok && i < q; i++) ok = fprintf(fp, "%d ", mt.partner[l][i]) >= 0;

    levcount& lc = rc.levelcnt[D];
    if (flag == 1) lc.parents++;
    lc.total++;
    lc.pending++;
    return (ok && !ferror(fp)) ? 1 : 0;
}

// Skips to the next "?" and reads the header.  1 = header read, 0 = end of
// file before any "?", -1 = damaged header or stream error.
static int readheader(FILE* fp, levrec& r) {
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
static bool readcount(FILE* fp, int32_t& v) {
    int x;
    if (fscanf(fp, "%d", &x) != 1 || x < 0) return false;
    v = x;
    return true;
}

int levrec_readparent(FILE* fp, levrec& r) {
    int h = readheader(fp, r);
    if (h != 1) return h;
    if (r.flag == 0 || r.nblk < 1) return 1;
    for (int l = 0; l < r.nblk; l++)
        for (int b = 0; b < r.q; b++)
            if (!readcount(fp, mt.remain[l][0][b])) return -1;
    return 1;
}

int levrec_readpartner(FILE* fp, levrec& r) {
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

// ---- result lines ---------------------------------------------------------

static char linebuf[MAXLEN + 2];

// Writes row r of cm over columns c0..c1, one character per entry, and "\n".
static bool writerow(const cmrec& cm, int r, int c0, int c1, FILE* fp) {
    static const char digit[] = "0123456789ABCDEF";
    int len = 0;
    for (int c = c0; c <= c1; c++) {
        int32_t e = cm.m[r][c];
        ZASSERT("records", e < 0 || e > 15, "entry printable as one digit");
        linebuf[len++] = digit[e];
    }
    linebuf[len++] = '\n';
    return fwrite(linebuf, 1, (size_t)len, fp) == (size_t)len;
}

int printres(cmrec cm, FILE* fp) {
    if (cm.cur_level != cm.cur_k) return 1;
    ZASSERT("records", cm.cur_len < 0 || cm.cur_len >= MAXLEN, "cur_len in range");
    ZASSERT("records", cm.cur_k < 1 || cm.cur_k >= MAXDIM, "cur_k in range");
    codecount++;
    if (fp == nullptr) return 0;
    int skip = runpar.brute == 1 ? cm.cur_k : 0;
    bool ok =
        fprintf(fp, "?%d %d %d %d\n", cm.cur_k, cm.cur_len - skip, cm.cur_q, codecount) >= 0;
    for (int r = 1; ok && r <= cm.cur_k; r++) ok = writerow(cm, r, skip + 1, cm.cur_len, fp);
    return (ok && !ferror(fp)) ? 1 : 0;
}

// Number of leading columns, from column 1, zero in rows 1..cur_level.
static int leadingzero(const cmrec& cm) {
    int z = 0;
    while (z < cm.cur_len) {
        for (int r = 1; r <= cm.cur_level; r++)
            if (cm.m[r][z + 1] != 0) return z;
        z++;
    }
    return z;
}

int printh(cmrec cm, FILE* fp) {
    ZASSERT("records", cm.cur_len < 0 || cm.cur_len >= MAXLEN, "cur_len in range");
    ZASSERT("records", cm.cur_level < 1 || cm.cur_level >= MAXDIM, "cur_level in range");
    int z = leadingzero(cm);
    int lev = cm.cur_level;
    rc.rescount[1]++;
    if (lev >= 2) rc.rescount[lev]++;
    rc.statcount[cm.cur_len - z][lev]++;
    if (fp == nullptr) return 0;
    bool ok = fprintf(fp, "?%d %d %d %d %d\n", lev, cm.cur_len - z, cm.cur_q, rc.rescount[lev],
                      rc.rescount[1]) >= 0;
    for (int r = 1; ok && r <= lev; r++) ok = writerow(cm, r, z + 1, cm.cur_len, fp);
    return (ok && !ferror(fp)) ? 1 : 0;
}

// ---- checked open and close -------------------------------------------------

FILE* chkopen(const char* path, const char* mode) {
    FILE* fp = fopen(path, mode);
    if (fp == nullptr) filefault("open", path);
    return fp;
}

int chkclose(FILE*& fp, const char* path) {
    if (fp == nullptr) return 1;
    bool err = ferror(fp) != 0;
    bool closefail = fclose(fp) != 0;
    fp = nullptr;
    if (err) filefault("read or write", path);
    else if (closefail) filefault("close", path);
    return (err || closefail) ? 0 : 1;
}
