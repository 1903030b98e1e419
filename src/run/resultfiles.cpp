// The result files (see resultfiles.h).  The printers build each record
// with the record printer of codeio/ in one buffer and write it with one
// call.
#include "run/resultfiles.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "codeio/codematrix.h"
#include "containers/containers.h"
#include "fileio/checked.h"

bool ResultFiles::open(const std::string& base, bool staged) {
    respath = base;
    hpath = base + "h";
    staged_ = staged;
    tmpsuffix_ = ".new." + std::to_string((long)getpid());
    const std::string header = headertext(runheaderof(par_));
    h = chkopen(written(hpath), "w", fault_);
    if (!h) return false;
    fputs(header.c_str(), h);
    res = chkopen(written(respath), "w", fault_);
    if (!res) return false;
    fputs(header.c_str(), res);
    return true;
}

void ResultFiles::close() {
    chkclose(h, hpath, fault_);
    chkclose(res, respath, fault_);
}

void ResultFiles::abandon() {
    close();
    if (!staged_) return;
    for (const std::string& path : {respath, hpath, respath + "inf"}) unlink(written(path).c_str());
}

bool ResultFiles::commit(const std::string& stats) {
    // A folder in the place of a file is the one refusal rename can give
    // here: found before anything is replaced, the old files stay as a set.
    for (const std::string& path : {stats, hpath, respath}) {
        struct stat st;
        if (stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) {
            errno = EISDIR;
            fault_.file("write", path);
            return false;
        }
    }
    for (const std::string& path : {stats, hpath, respath}) {
        int fd = ::open(written(path).c_str(), O_RDONLY | O_CLOEXEC);
        bool ok = fd >= 0 && fsync(fd) == 0;
        if (fd >= 0) ::close(fd);
        if (!ok) {
            fault_.file("write", path);
            return false;
        }
    }
    for (const std::string& path : {stats, hpath, respath})
        if (rename(written(path).c_str(), path.c_str()) != 0) {
            fault_.file("write", path);
            return false;
        }
    return true;
}

// Writes the record of head `values` and rows 1..rows of cm over columns
// c0..c1 with one call; reads and leaves line_ (grow-only) with the text.
bool ResultFiles::writerecord(std::initializer_list<std::string_view> values, const WorkingCode& cm, int rows, int c0,
                              FILE* fp) {
    line_.clear();
    recordhead(line_, "?", values);
    recordrows(line_, 1, rows, c0, cm.len, [&cm](int r, int c) {
        TALVEN_ASSERT("resultfiles", 0 <= cm.m[r][c] && cm.m[r][c] <= 15, "entry printable as one digit");
        return cm.m[r][c];
    });
    return fwrite(line_.data(), 1, line_.size(), fp) == line_.size();
}

bool ResultFiles::printres(const WorkingCode& cm) {
    if (cm.level != cm.k) return true;
    TALVEN_ASSERT("resultfiles", 0 <= cm.len && cm.len < MAXLEN, "len in range");
    TALVEN_ASSERT("resultfiles", 1 <= cm.k && cm.k < MAXDIM, "k in range");
    codecount++;
    if (res == nullptr) return false;
    int skip = par_.brute ? cm.k : 0;
    const bool ok = writerecord({std::to_string(cm.k), std::to_string(cm.len - skip), std::to_string(cm.q),
                                 std::to_string(codecount)},
                                cm, cm.k, skip + 1, res);
    return ok && !ferror(res);
}

namespace {

// Number of leading columns, from column 1, zero in rows 1..level.
int leadingzero(const WorkingCode& cm) {
    int z = 0;
    while (z < cm.len) {
        for (int r = 1; r <= cm.level; r++)
            if (cm.m[r][z + 1] != 0) return z;
        z++;
    }
    return z;
}

}  // namespace

bool ResultFiles::printh(const WorkingCode& cm) {
    TALVEN_ASSERT("resultfiles", 0 <= cm.len && cm.len < MAXLEN, "len in range");
    TALVEN_ASSERT("resultfiles", 1 <= cm.level && cm.level < MAXDIM, "level in range");
    int z = leadingzero(cm);
    int lev = cm.level;
    counts_.bydim[1]++;
    if (lev >= 2) counts_.bydim[lev]++;
    counts_.bylength(cm.len - z, lev)++;
    if (h == nullptr) return false;
    const bool ok = writerecord({std::to_string(lev), std::to_string(cm.len - z), std::to_string(cm.q),
                                 std::to_string(counts_.bydim[lev]), std::to_string(counts_.bydim[1])},
                                cm, lev, z + 1, h);
    return ok && !ferror(h);
}

void ResultFiles::newcode(const WorkingCode& code) {
    if (!printres(code)) fault_.file("write", respath);
    if (!printh(code)) fault_.file("write", hpath);
}

RunTrailer ResultFiles::totals(double secs) const {
    RunTrailer t;
    t.secs = secs;
    t.totals.push_back(counts_.bydim[1]);
    for (int i = par_.brutedim != 0 ? par_.brutedim : 2; i <= par_.k; i++) t.totals.push_back(counts_.bydim[i]);
    return t;
}

// Writes the statistics file; false after a reported fault (the file is then
// removed again if it was opened, so that it holds no partial totals).
bool ResultFiles::writestats(const std::string& path) {
    File fp = chkopen(written(path), "w", fault_);
    if (!fp) return false;
    for (int i = 1; i <= MAXLEN; i++)
        for (int j = 1; j <= MAXDIM; j++)
            if (counts_.bylength(i, j) != 0) fprintf(fp, "   %d     %d      %d\n", i, j, counts_.bylength(i, j));
    if (chkclose(fp, path, fault_)) return true;
    unlink(written(path).c_str());
    return false;
}

// Flushes fp and gives its size; -1 after a reported fault.
off_t ResultFiles::flushedsize(FILE* fp, const std::string& path) {
    if (fflush(fp) != 0 || ferror(fp)) {
        fault_.file("write", path);
        return -1;
    }
    return ftello(fp);
}

void ResultFiles::finish(double secs) {
    const std::string stats = respath + "inf";
    off_t hend = flushedsize(h, hpath), rend = flushedsize(res, respath);
    if (hend < 0 || rend < 0 || !writestats(stats)) {
        abandon();
        return;
    }
    const std::string trailer = trailertext(totals(secs));
    for (FILE* fp : {h.get(), res.get()}) fputs(trailer.c_str(), fp);
    close();
    if (staged_) {
        if (fault_.stopped() || !commit(stats)) abandon();
        return;
    }
    if (!fault_.stopped()) return;
    if (truncate(hpath.c_str(), hend) != 0 || truncate(respath.c_str(), rend) != 0)
        fprintf(stderr, "Error while removing the totals of the stopped run from %s and %s: %s\n", hpath.c_str(),
                respath.c_str(), strerror(errno));
    unlink(stats.c_str());
}
