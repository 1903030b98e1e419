// Settings file.  The layout depends on n and k, so a file whose n, k, d, q
// or dw is out of bounds cannot be trusted past its eleventh line: the whole
// parameter set then falls back to the defaults.  Independent values fall
// back one by one.  The file is always replaced whole (a new file renamed
// over the old one), so two programs in one folder never leave a mixture of
// their settings.
#include "params/settings.h"

#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "field/field.h"
#include "fileio/checked.h"

namespace {

// The scalar of settings line i + 1.
const Option& scalar(int i) { return option(settingsorder[(size_t)i]); }

// Reads one value: optional blanks, an optional sign and digits, then a blank
// or the end of the file.  False at a missing or garbled value.  The value is
// kept in 64 bits and saturates, so a number beyond 32 bits is out of every
// bound instead of wrapping.
bool readval(FILE* f, int64_t& v) {
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

// The scalars read (at their defaults where the file stops) checked as a
// whole: the layout scalars in bounds, k at most n, q a field with tables.
bool layoutvalid(const ParamRecord& p, const int64_t* v) {
    ParamRecord t = p;
    for (int i = 0; i < NSCALARS; i++)
        if (scalar(i).layout) scalar(i).field.set(t, (int32_t)v[i]);
    for (int i = 0; i < NSCALARS; i++)
        if (scalar(i).layout && !inbounds(scalar(i), t, v[i])) return false;
    return t.k <= t.n && fieldok(t.q);
}

// Reads the file into p; false when it could not be opened.
bool readfile(ParamRecord& p, const std::string& path) {
    File f(fopen(path.c_str(), "r"));
    if (!f) return false;
    int64_t v[NSCALARS];
    for (int i = 0; i < NSCALARS; i++) v[i] = scalar(i).field.get(p);
    int got = 0;
    while (got < NSCALARS && readval(f, v[got])) got++;
    const bool layout = layoutvalid(p, v);
    ParamRecord t = p;  // the bounds of the other values follow the file's n and k
    if (layout)
        for (int i = 0; i < NSCALARS; i++)
            if (scalar(i).layout) scalar(i).field.set(t, (int32_t)v[i]);
    for (int i = 0; i < NSCALARS; i++) {
        const Option& d = scalar(i);
        if (d.layout ? layout : inbounds(d, t, v[i])) d.field.set(p, (int32_t)v[i]);
    }
    bool ok = layout && got == NSCALARS;
    for (int w = 1; ok && w <= p.n; w++) {
        int64_t x;
        ok = readval(f, x);
        if (ok && x >= weightdef.lo && x <= weightdef.hi) p.wt[w] = (int32_t)x;
    }
    for (int i = 2; ok && i <= p.k; i++) {
        int64_t x;
        ok = readval(f, x);
        if (ok && x >= propdef.lo && x <= propdef.hi) p.propcol[i] = (int32_t)x;
    }
    return true;
}

// The text of the file: the scalars, then wt[1..nw], then propcol[2..kp],
// one per line.
std::string settingstext(const ParamRecord& p, int nw, int kp) {
    std::string s;
    for (int i = 0; i < NSCALARS; i++) s += std::to_string(scalar(i).field.get(p)) + "\n";
    for (int w = 1; w <= nw; w++) s += std::to_string(p.wt[w]) + "\n";
    for (int i = 2; i <= kp; i++) s += std::to_string(p.propcol[i]) + "\n";
    return s;
}

void writesettings(const std::string& path, const std::string& text) {
    IoError e = writeatomic(path, text);
    if (e) fprintf(stderr, "Error while %s settings file %s: %s\n", e.action, path.c_str(), strerror(e.err));
}

}  // namespace

void loadsettings(ParamRecord& p, const std::string& path) {
    if (readsettings(p, path)) return;
    writesettings(path, settingstext(p, 24, 12));
}

bool readsettings(ParamRecord& p, const std::string& path) {
    setdefaults(p);
    return readfile(p, path);
}

void savesettings(const ParamRecord& p, const std::string& path) { writesettings(path, settingstext(p, p.n, p.k)); }
