// Run driver: one run from its files to its totals.  It names and opens the
// result file and the h file, writes their header, builds the first level,
// runs the dimension search, and closes with the counts and the elapsed time
// on the console and in both files, and with the statistics file.  A file
// fault anywhere stops the run: the files are closed, no totals are written,
// and the menu is told how the run ended.
//
// A run owns what it writes: its result files are locked against a second
// run in the same folder, and its level files and canonical-form store live
// in a private working folder that is made fresh and removed at the end,
// whatever the end was.
#include "run/rundriver.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "engine/maya.h"
#include "engine/records.h"
#include "engine/store.h"
#include "frame/runpar.h"
#include "frame/settings.h"
#include "run/levels.h"

// 1 when a weight of the walk from `from` in steps of `step` up to `to` is
// forbidden.
static int forbiddenstep(int from, int step, int to) {
    for (int w = from; w <= to; w += step)
        if (w >= 1 && w < MAXLEN && runpar.wt[w] == 0) return 1;
    return 0;
}

// Self-orthogonal codes over GF(2), GF(3) and GF(4) cannot have the weights
// off their step (odd, not divisible by 4 for doubly-even codes, not
// divisible by 3), so the walk goes over the multiples of the step from d
// on.  Nothing else keeps a weight that is not a multiple of dw out of a
// code, so without self-orthogonality every weight from d to n is walked
// (for dw = 1 this is the walk in steps of dw).  In brute generation the k
// added coordinates are zero, so no weight exceeds n.
void checkweights() {
    int step = 1;
    if (runpar.selforth == 1) {
        if (runpar.q == 3) step = 3;
        else if (runpar.q == 4) step = 2;
        else if (runpar.q == 2) step = doublyeven == 1 ? 4 : 2;
    }
    const int d = colmap.cur_d;
    const int from = (d + step - 1) / step * step;
    const int to = colmap.cur_n - (runpar.brute == 1 ? runpar.k : 0);
    runpar.wtrestr = forbiddenstep(from, step, to);
}

void runheader(FILE* fp) {
    const runparrec& p = runpar;
    fprintf(fp, "\n");
    if (p.brute == 0)
        fprintf(fp, " n=%d  k=%d  d=%d q=%d ; divisible by %d  ; self orthogonal %d,dual distance %d\n", p.n,
                p.k, p.d, p.q, p.dw, p.selforth, p.dualdist);
    fprintf(fp, "\n\n");
    if (p.brute == 1) {
        fprintf(fp, " Brute gen:\n");
        fprintf(fp, " n=%d  k=%d  d=%d q=%d ; divisible by %d  ; self orthogonal %d ; dual distance %d\n",
                p.n - p.k, p.k, p.d, p.q, p.dw, p.selforth, p.dualdist);
    }
    fprintf(fp, "   Possible weights: \n");
    for (int w = 1; w <= p.n && w < MAXLEN; w++)
        if (p.wt[w] > 0) fprintf(fp, " %d", w);
    fprintf(fp, "\n\n");
    fprintf(fp, "   Proportional columns: \n");
    for (int i = 2; i <= p.k; i++) fprintf(fp, "%d -> %d ;", i, p.propcol[i]);
    fprintf(fp, "\n\n");
}

std::string resultname() {
    int n = runpar.brute == 1 ? colmap.cur_n - runpar.k : runpar.n;
    std::string name = std::to_string(n) + "_" + std::to_string(runpar.k) + "_" + std::to_string(runpar.d) + "." +
                       std::to_string(runpar.q);
    if (runpar.brute == 1) name += "b";
    return name;
}

// The totals line: " RES total  " then the counts of dimensions s..k.
static void restotals(FILE* fp) {
    int s = runpar.brutedim != 0 ? runpar.brutedim : 2;
    fprintf(fp, "\n RES %d  ", rc.rescount[1]);
    for (int i = s; i <= colmap.cur_k; i++) fprintf(fp, "  %d ", rc.rescount[i]);
}

// Writes the statistics file; 0 after a reported fault (the file is then
// removed again if it was opened, so that it holds no partial totals).
static int writestats(const std::string& path) {
    FILE* fp = chkopen(path.c_str(), "w");
    if (!fp) return 0;
    for (int i = 1; i <= MAXLEN; i++)
        for (int j = 1; j <= MAXDIM; j++)
            if (rc.statcount[i][j] != 0) fprintf(fp, "   %d     %d      %d\n", i, j, rc.statcount[i][j]);
    if (chkclose(fp, path.c_str())) return 1;
    unlink(path.c_str());
    return 0;
}

// Opens the h file and the result file and writes their header; 0 after a
// reported fault.
static int openresults(const std::string& name) {
    ext.respath = name;
    ext.hpath = name + "h";
    ext.h = chkopen(ext.hpath.c_str(), "w");
    if (!ext.h) return 0;
    runheader(ext.h);
    ext.res = chkopen(ext.respath.c_str(), "w");
    if (!ext.res) return 0;
    runheader(ext.res);
    return 1;
}

static void closeresults() {
    chkclose(ext.h, ext.hpath.c_str());
    chkclose(ext.res, ext.respath.c_str());
}

// Flushes fp and gives its size; -1 after a reported fault.
static off_t flushedsize(FILE* fp, const std::string& path) {
    if (fflush(fp) != 0 || ferror(fp)) {
        filefault("write", path.c_str());
        return -1;
    }
    return ftello(fp);
}

// The totals go in last and all together: the statistics file first, then
// the trailers of the h file and the result file.  If any of them fails, the
// trailers already written are cut off again and the statistics file is
// removed, so a stopped run leaves totals in no file.  Closes both files.
static void finishresults(const std::string& name, double secs) {
    const std::string stats = name + "inf";
    off_t hend = flushedsize(ext.h, ext.hpath), rend = flushedsize(ext.res, ext.respath);
    if (hend < 0 || rend < 0 || !writestats(stats)) {
        closeresults();
        return;
    }
    for (FILE* fp : {ext.h, ext.res}) {
        restotals(fp);
        fprintf(fp, "\n ==  Elapsed time: %.2fs\n", secs);
    }
    closeresults();
    if (!runfault) return;
    if (truncate(ext.hpath.c_str(), hend) != 0 || truncate(ext.respath.c_str(), rend) != 0)
        fprintf(stderr, "Error while removing the totals of the stopped run from %s and %s: %s\n",
                ext.hpath.c_str(), ext.respath.c_str(), strerror(errno));
    unlink(stats.c_str());
}

// ---- what one run holds on the file system --------------------------------

// Two runs in one folder must not write the same result files: the result
// file is opened without truncating it and locked (flock; the lock goes with
// the process, so a killed run leaves none behind).  Gives the descriptor that
// holds the lock, -1 after a reported fault, or -2 when another run holds it.
static int lockresults(const std::string& name) {
    int fd = open(name.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
    if (fd < 0) {
        filefault("open", name.c_str());
        return -1;
    }
    if (flock(fd, LOCK_EX | LOCK_NB) == 0) return fd;
    int err = errno;
    close(fd);
    if (err == EWOULDBLOCK) {
        printf("\n Run refused: the result file %s is being written by another run in this folder.\n",
               name.c_str());
        return -2;
    }
    filefault("lock", name.c_str());
    return -1;
}

// Makes the run's private working folder `workdir` inside resdir (resdir is
// made again if it was removed while the menu was open); 0 after a fault.
static int makeworkdir() {
    mkdir(RES_DIR, 0777);  // an existing folder is fine
    std::string tmpl = resdir + "run.XXXXXX";
    std::vector<char> buf(tmpl.begin(), tmpl.end());
    buf.push_back('\0');
    if (mkdtemp(buf.data()) == nullptr) {
        runstopped("cannot create a working folder in " + resdir + ": " + strerror(errno));
        return 0;
    }
    workdir = std::string(buf.data()) + "/";
    return 1;
}

// Removes the working folder with the files the run left in it.
static void removeworkdir() {
    if (workdir.empty()) return;
    std::string dir = workdir.substr(0, workdir.size() - 1);
    if (DIR* d = opendir(dir.c_str())) {
        while (dirent* e = readdir(d))
            if (strcmp(e->d_name, ".") != 0 && strcmp(e->d_name, "..") != 0) unlink((workdir + e->d_name).c_str());
        closedir(d);
    }
    if (rmdir(dir.c_str()) != 0)
        fprintf(stderr, "Error while removing the working folder %s: %s\n", dir.c_str(), strerror(errno));
    workdir.clear();
}

static void onsignal(int sig) { runsignal = sig; }

// SIGINT and SIGTERM during a run finish the current record and stop the run
// like a file fault; outside a run they keep their default action.
struct signalguard {
    struct sigaction oldint, oldterm;
    signalguard() {
        runsignal = 0;
        struct sigaction sa {};
        sa.sa_handler = onsignal;
        sigemptyset(&sa.sa_mask);
        sigaction(SIGINT, &sa, &oldint);
        sigaction(SIGTERM, &sa, &oldterm);
    }
    ~signalguard() {
        sigaction(SIGINT, &oldint, nullptr);
        sigaction(SIGTERM, &oldterm, nullptr);
    }
};

// Builds every level and writes the codes; `runfault` tells how it ended.
static void construct(const std::string& name, int64_t start) {
    if (!openresults(name)) return;
    firstlevel();
    if (!runfault) dimsearch(1);
    runstop();
    if (runfault) {
        closeresults();
        return;
    }
    double secs = (double)(clockms() - start) / 1000.0;
    finishresults(name, secs);
    if (runfault) return;
    restotals(stdout);
    printf("==  Elapsed time: %.2fs\n", secs);
}

// Clears the run's state and applies what brute generation changes; gives
// the start time.
static int64_t prepare() {
    runfault = 0;
    checkweights();
    counters_reset();
    store_setfiles(1);
    engine_reset();
    int64_t start = clockms();
    ext.lastprint = start;
    if (runpar.brute == 1) {
        runpar.dualdist = 1;
        for (int i = 0; i < MAXDIM; i++) runpar.propcol[i] = 800;
    }
    return start;
}

static runend outcome() {
    if (runfault == 2) return runend::interrupted;
    return runfault ? runend::stopped : runend::complete;
}

runend rundriver() {
    const int64_t start = prepare();
    const std::string name = resultname();
    signalguard guard;
    int lock = lockresults(name);
    if (lock == -2) return runend::refused;
    if (lock >= 0 && makeworkdir()) {
        construct(name, start);
        store_close();
        removeworkdir();
    }
    if (lock >= 0) close(lock);
    return outcome();
}

runend runinfolder(const std::string& folder) {
    const int64_t start = prepare();
    signalguard guard;
    workdir = folder;
    construct(resultname(), start);
    store_close();
    workdir.clear();
    return outcome();
}
