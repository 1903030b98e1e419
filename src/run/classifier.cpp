// One classification from its files to its totals (see classifier.h).
//
// A run owns what it writes: its result files are locked against a second
// run in the same folder, and its level files and canonical-form store live
// in a private working folder that is made fresh and removed at the end,
// whatever the end was.  A file fault anywhere stops the run: the files are
// closed, no totals are written, and the caller is told how the run ended.
#include "run/classifier.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <vector>

#include "field/field.h"
#include "fileio/checked.h"
#include "params/options.h"

namespace {

int checklevel(const RunOptions& opt) { return opt.check >= 0 ? opt.check : SelfCheck::levelfromenv(); }

LevelBounds boundsof(const RunParams& par, const RunOptions& opt) {
    LevelBounds b = derivebounds(par, opt.derived);
    // The rows a test asks for, else those of the environment (by default
    // chosen by their cost).
    b.rows = opt.rows != RowSearch::chosen ? opt.rows : (RowSearch)envchoice(Opt::rows);
    return b;
}

}  // namespace

Classifier::Classifier(const RunParams& par, const RunOptions& opt)
    : par_(par),
      opt_(opt),
      fault_(opt.console),
      budget_(opt.budget),
      bounds_(boundsof(par_, opt)),
      out_(par_, fault_),
      prog_(opt.console),
      search_(par_, bounds_, fault_, budget_, rc_, *this, checklevel(opt)) {
    TALVEN_ASSERT("classifier", fieldok(par_.q) && 1 <= par_.k && par_.k <= par_.n, "parameters of a run");
}

Classifier::~Classifier() = default;

// Clears the run's state; gives the start time.
int64_t Classifier::prepare() {
    fault_.clear();
    rc_ = SearchCounts{};
    out_.clearcounts();
    sums_ = MassSums{};
    int64_t start = clockms();
    prog_.start(start);
    return start;
}

runend Classifier::outcome() const {
    if (fault_.kind() == StopKind::signal) return runend::interrupted;
    return fault_.stopped() ? runend::stopped : runend::complete;
}

// Builds every level and writes the codes; the fault mark tells how it ended.
void Classifier::construct(int64_t start) {
    if (!out_.open(opt_.outdir + resultname(par_))) return;
    search_.search();
    fault_.poll();
    if (fault_.stopped()) {
        out_.close();
        return;
    }
    double secs = (double)(clockms() - start) / 1000.0;
    out_.finish(secs);
    if (fault_.stopped() || opt_.console == nullptr) return;
    fputs(restext(out_.totals(secs)).c_str(), opt_.console);
    fprintf(opt_.console, "==  Elapsed time: %.2fs\n", secs);
}

// Two runs in one folder must not write the same result files: the result
// file is opened without truncating it and locked (flock; the lock goes with
// the process, so a killed run leaves none behind).  Gives the descriptor that
// holds the lock, -1 after a reported fault, or -2 when another run holds it.
int Classifier::lockresults() {
    const std::string name = opt_.outdir + resultname(par_);
    int fd = lockfile(name);
    if (fd >= 0) return fd;
    if (fd == -2) {
        if (opt_.console)
            fprintf(opt_.console,
                    "\n Run refused: the result file %s is being written by another run in this folder.\n",
                    name.c_str());
        return -2;
    }
    fault_.file("open", name);
    return -1;
}

// Makes the private working folder inside opt.resdir (made again if it was
// removed); false after a fault.
bool Classifier::makeworkdir() {
    if (!opt_.resdir.empty()) mkdir(opt_.resdir.c_str(), 0777);  // an existing folder is fine
    std::string tmpl = opt_.resdir + "run.XXXXXX";
    std::vector<char> buf(tmpl.begin(), tmpl.end());
    buf.push_back('\0');
    if (mkdtemp(buf.data()) == nullptr) {
        fault_.stop("cannot create a working folder in " + opt_.resdir + ": " + strerror(errno));
        return false;
    }
    workdir_ = std::string(buf.data()) + "/";
    search_.spillto(workdir_);
    return true;
}

// Removes the working folder with the files the run left in it.
void Classifier::removeworkdir() {
    if (workdir_.empty()) return;
    std::string dir = workdir_.substr(0, workdir_.size() - 1);
    std::vector<std::filesystem::path> files;
    std::error_code ec;
    for (const auto& e : std::filesystem::directory_iterator(dir, ec)) files.push_back(e.path());
    for (const auto& f : files) unlink(f.c_str());
    if (rmdir(dir.c_str()) != 0)
        fprintf(stderr, "Error while removing the working folder %s: %s\n", dir.c_str(), strerror(errno));
    workdir_.clear();
}

// The count of the self-checks made, on standard error (not on the console:
// a checked run prints what an unchecked one prints).
void Classifier::reportchecks() const {
    const SelfCheck* check = search_.selfcheck();
    if (!check) return;
    fprintf(stderr,
            " self-checks: %llu automorphisms, %llu table states, %llu images, %llu full listings, %llu weight "
            "verdicts\n",
            (unsigned long long)check->automorphisms, (unsigned long long)check->tables,
            (unsigned long long)check->images, (unsigned long long)check->listings,
            (unsigned long long)check->verdicts);
}

runend Classifier::run() {
    const int64_t start = prepare();
    std::unique_ptr<SignalGuard> guard;
    if (opt_.signals) guard = std::make_unique<SignalGuard>();
    int lock = lockresults();
    if (lock == -2) return runend::refused;
    if (lock >= 0 && makeworkdir()) {
        construct(start);
        removeworkdir();
    }
    if (lock >= 0) close(lock);
    reportchecks();
    return outcome();
}

// One thread's walk of a split run (runshare, runskeleton, runfromskeleton):
// the run's state cleared, a working folder and, with `buffer`, the segment
// buffer made; `walk`; then the folder removed, the processor time added to
// shared.cpu_ms, and a fault of this thread handed to the others.
template <class F>
runend Classifier::shareof(PartShared& shared, bool buffer, F walk) {
    const int64_t start = prepare();
    shared_ = &shared;
    if (makeworkdir()) {
        if (!buffer || seg_.open(workdir_, fault_)) {
            walk();
            seg_.close();
        }
        removeworkdir();
    }
    shared.cpu_ms += clockms() - start;
    if (fault_.kind() == StopKind::fault) shared.fail(fault_.detail());
    shared_ = nullptr;
    reportchecks();
    return outcome();
}

// The whole search, the split level's units announced, the skeleton's
// segments ending as they go.
void Classifier::walkall() {
    units_ = 0;
    segment_ = 0;
    seg_.start(skeleton_ && shared_->skeletondue(0));
    search_.search(shared_->plan.split);
    fault_.poll();
    if (!fault_.stopped()) endskeleton();
}

runend Classifier::runshare(PartShared& shared, bool skeleton) {
    skeleton_ = skeleton && !shared.counting;
    return shareof(shared, !shared.counting, [this] { walkall(); });
}

runend Classifier::runskeleton(PartShared& shared, Skeleton& sk) {
    TALVEN_ASSERT("classifier", shared.counting && shared.plan.split >= 2, "a skeleton is kept by a counting walk");
    keep_ = &sk;
    sk = Skeleton();
    sk.split = shared.plan.split;
    sk.parts = shared.plan.parts;
    skeleton_ = true;
    const runend how = shareof(shared, true, [this] { walkall(); });
    sk.units = units_;
    keep_ = nullptr;
    return how;
}

runend Classifier::runfromskeleton(PartShared& shared, const Skeleton& sk, bool skeleton) {
    fromskeleton_ = true;
    skeleton_ = false;
    const runend how = shareof(shared, true, [&] {
        for (const Skeleton::Segment& s : sk.segments) {
            if (!skeleton || !shared.skeletondue(s.s)) continue;
            if (!shared.append(s.header, nullptr, s.body, s.sum, fault_)) break;
        }
        for (const Family& f : sk.families) {
            if (fault_.poll() || shared.failed()) break;
            if (shared.anyfree(f.firstunit, f.units)) search_.searchfamily(f);
        }
        fault_.poll();
        if (shared.failed() && !fault_.stopped()) fault_.stop("another thread of the part stopped");
    });
    units_ = sk.units;
    fromskeleton_ = false;
    return how;
}

runend Classifier::runinfolder(const std::string& folder) {
    const int64_t start = prepare();
    std::unique_ptr<SignalGuard> guard;
    if (opt_.signals) guard = std::make_unique<SignalGuard>();
    workdir_ = folder;
    search_.spillto(workdir_);
    construct(start);
    workdir_.clear();
    reportchecks();
    return outcome();
}

// ---- units of a split run ------------------------------------------------------

// The skeleton segment in hand is whole: to the part file with it (when this
// thread keeps it).  False after a fault.
bool Classifier::endskeleton() {
    if (!keep_) return seg_.flush(*shared_, "S " + std::to_string(segment_), fault_);
    Skeleton::Segment s;
    s.s = segment_;
    if (!seg_.take("S " + std::to_string(segment_), s.header, s.body, s.sum, fault_)) return false;
    keep_->segments.push_back(std::move(s));
    return true;
}

// A parent of the split level is one unit: the skeleton segment before it
// ends; the unit is made when this thread claims it, and its codes go to the
// part file as a segment of their own.
bool Classifier::unitbegins(uint64_t u) {
    if (shared_->failed()) {
        fault_.stop("another thread of the part stopped");
        return false;
    }
    if (!fromskeleton_) {
        if (!endskeleton()) return false;
        units_ = u + 1;
        if (shared_->counting) shared_->unitsseen.store(units_, std::memory_order_relaxed);
    }
    segment_ = 2 * u + 1;
    if (!shared_->claim(u)) return false;
    seg_.start(true);
    return true;
}

// The unit's segment to the part file (when it was made); the next skeleton
// segment begins.
void Classifier::unitends(uint64_t u, bool made) {
    if (made) {
        if (!seg_.flush(*shared_, "U " + std::to_string(segment_) + " " + std::to_string(u), fault_)) return;
        shared_->unitsdone++;
    }
    segment_ = 2 * u + 2;
    seg_.start(!fromskeleton_ && skeleton_ && shared_->skeletondue(segment_));
}
