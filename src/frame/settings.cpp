// Settings file.  Layout: brute, brutedim, reserved1, reserved2, n, k, d, q,
// dw, selforth, dualdist; then wt[1..n]; then propcol[2..k].  The layout
// depends on n and k, so a file whose n, k, d, q or dw is out of bounds cannot
// be trusted past its eleventh line: the whole parameter set then falls back
// to the defaults.  Independent flags fall back one by one.  The file is
// always replaced whole (a new file renamed over the old one), so two
// programs in one folder never leave a mixture of their settings.
#include "frame/settings.h"

#include <fcntl.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "frame/runpar.h"

std::string resdir;
std::string settingspath;
std::string workdir;
bmat wtfilter;

void setdefaults() {
    runpar.brute = 0;
    runpar.brutedim = 0;
    runpar.reserved1 = 0;
    runpar.reserved2 = 4;
    runpar.n = 24;
    runpar.k = 12;
    runpar.d = 8;
    runpar.q = 2;
    runpar.dw = 1;
    runpar.selforth = 0;
    runpar.dualdist = 1;
    for (int i = 0; i < MAXDIM; i++) runpar.propcol[i] = 800;
    for (int w = 8; w <= 24; w++) runpar.wt[w] = 1;
}

static bool inrange(int64_t v, int64_t lo, int64_t hi) { return v >= lo && v <= hi; }

// Reads one value: optional blanks, an optional sign and digits, then a blank
// or the end of the file.  False at a missing or garbled value.  The value is
// kept in 64 bits and saturates, so a number beyond 32 bits is out of every
// bound instead of wrapping.
static bool readval(FILE* f, int64_t& v) {
    int c;
    while ((c = fgetc(f)) != EOF && isspace(c)) {
    }
    bool neg = c == '-';
    if (c == '-' || c == '+') c = fgetc(f);
    if (c == EOF || !isdigit(c)) return false;
    int64_t x = 0;
    for (; c != EOF && isdigit(c); c = fgetc(f)) x = x > INT64_MAX / 20 ? INT64_MAX / 20 : 10 * x + (c - '0');
    if (c != EOF && !isspace(c)) return false;
    v = neg ? -x : x;
    return true;
}

static bool paramsvalid(const int64_t* v) {
    int64_t n = v[4], k = v[5], d = v[6], q = v[7], dw = v[8];
    return inrange(n, 1, 799) && inrange(k, 1, 19) && k <= n && inrange(d, 1, n) &&
           (q == 2 || q == 3 || q == 4 || q == 5 || q == 7) && inrange(dw, 1, n);
}

// Reads the file; returns false when it could not be opened.
static bool readfile() {
    FILE* f = fopen(settingspath.c_str(), "r");
    if (!f) return false;
    int64_t v[11] = {runpar.brute,    runpar.brutedim, runpar.reserved1, runpar.reserved2,
                     runpar.n,        runpar.k,        runpar.d,         runpar.q,
                     runpar.dw,       runpar.selforth, runpar.dualdist};
    int got = 0;
    while (got < 11 && readval(f, v[got])) got++;
    if (inrange(v[0], 0, 1)) runpar.brute = (int32_t)v[0];
    if (inrange(v[1], 0, 19)) runpar.brutedim = (int32_t)v[1];
    if (inrange(v[2], INT32_MIN, INT32_MAX)) runpar.reserved1 = (int32_t)v[2];
    if (inrange(v[3], INT32_MIN, INT32_MAX)) runpar.reserved2 = (int32_t)v[3];
    if (inrange(v[9], 0, 1)) runpar.selforth = (int32_t)v[9];
    if (inrange(v[10], 1, 799)) runpar.dualdist = (int32_t)v[10];
    if (!paramsvalid(v)) {
        fclose(f);
        return true;
    }
    runpar.n = (int32_t)v[4];
    runpar.k = (int32_t)v[5];
    runpar.d = (int32_t)v[6];
    runpar.q = (int32_t)v[7];
    runpar.dw = (int32_t)v[8];
    bool ok = got == 11;
    for (int w = 1; ok && w <= runpar.n; w++) {
        int64_t x;
        ok = readval(f, x);
        if (ok && inrange(x, 0, 1)) runpar.wt[w] = (int32_t)x;
    }
    for (int i = 2; ok && i <= runpar.k; i++) {
        int64_t x;
        ok = readval(f, x);
        if (ok && inrange(x, 1, 799)) runpar.propcol[i] = (int32_t)x;
    }
    fclose(f);
    return true;
}

// The text of the file: the eleven values, then wt[1..nw], then
// propcol[2..kp], one per line.
static std::string settingstext(int nw, int kp) {
    const runparrec& p = runpar;
    std::string s;
    for (int32_t v : {p.brute, p.brutedim, p.reserved1, p.reserved2, p.n, p.k, p.d, p.q, p.dw, p.selforth,
                      p.dualdist})
        s += std::to_string(v) + "\n";
    for (int w = 1; w <= nw; w++) s += std::to_string(p.wt[w]) + "\n";
    for (int i = 2; i <= kp; i++) s += std::to_string(p.propcol[i]) + "\n";
    return s;
}

// Replaces the file as a whole: the text goes to a new file beside it, which
// is synced and renamed over the old one, so a reader (another program in
// the same folder, or the next start after a crash) sees the old file or the
// new one, never a mixture.  A failure is reported in one line on stderr.
static void writeatomic(const std::string& text) {
    const std::string tmp = settingspath + ".new." + std::to_string((long)getpid());
    int fd = open(tmp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0) {
        fprintf(stderr, "Error while opening settings file %s: %s\n", settingspath.c_str(), strerror(errno));
        return;
    }
    size_t done = 0;
    while (done < text.size()) {
        ssize_t w = write(fd, text.data() + done, text.size() - done);
        if (w <= 0 && errno == EINTR) continue;
        if (w <= 0) break;
        done += (size_t)w;
    }
    bool ok = done == text.size() && fsync(fd) == 0;
    int err = errno;
    if (close(fd) != 0 && ok) ok = false, err = errno;
    if (ok && rename(tmp.c_str(), settingspath.c_str()) != 0) ok = false, err = errno;
    if (!ok) {
        unlink(tmp.c_str());
        fprintf(stderr, "Error while writing settings file %s: %s\n", settingspath.c_str(), strerror(err));
    }
}

void loadsettings() {
    for (int w = 1; w <= colmap.cur_n && w < MAXLEN; w++) runpar.wt[w] = 0;
    setdefaults();
    if (!readfile()) writeatomic(settingstext(24, 12));
}

void savesettings() {
    writeatomic(settingstext(runpar.n, runpar.k));
    bmat_ensure(wtfilter, 0, runpar.n, 2);
    wtfilter.a[0][0] = 0;
    for (int w = 1; w <= runpar.n; w++) wtfilter.a[0][w] = (uint8_t)runpar.wt[w];
}
