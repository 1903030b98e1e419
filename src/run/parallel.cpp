// A split run on every core (see parallel.h).
//
// Two phases, each with the progress line of a watcher thread: the choice
// of the split level (one thread walks the levels above each candidate
// level and counts its units, keeping the skeleton when it is to be shared),
// then the part itself (the threads share the units).  The counts of the first phase go to the part's choice file as
// they come, so a stop there loses at most the level being walked.
#include "run/parallel.h"

#include <unistd.h>

#include <cstring>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "run/partrun.h"
#include "run/progress.h"
#include "run/skeleton.h"
#include "fileio/checked.h"

namespace {

RunOptions quietoptions(const std::string& resdir, uint64_t budget = DEFAULT_BUDGET) {
    RunOptions opt;
    opt.resdir = resdir;
    opt.budget = budget;
    opt.console = nullptr;
    opt.signals = false;  // the caller keeps the signals for the whole process
    return opt;
}

// The units of the run that belong to part I of M.
uint64_t owned(uint64_t units, const Plan& plan) {
    if (units <= (uint64_t)plan.part) return 0;
    return (units - (uint64_t)plan.part - 1) / (uint64_t)plan.parts + 1;
}

// "[12s] part 3 of 100: " ("run: " for a whole run).
void lineopening(FILE* out, const Plan& plan, int64_t elapsed) {
    fprintf(out, "[%llds] ", (long long)(elapsed / 1000));
    if (plan.parts > 1)
        fprintf(out, "part %d of %d: ", plan.part, plan.parts);
    else
        fprintf(out, "run: ");
}

// "... 45 of 300 units (15%), about 70 s left"; "... 45 units done" when
// the units were not counted (total 0).
void progressline(FILE* out, const Plan& plan, int64_t elapsed, uint64_t done, uint64_t total, uint64_t fresh) {
    lineopening(out, plan, elapsed);
    if (total == 0) {
        fprintf(out, "%llu units done\n", (unsigned long long)done);
        return;
    }
    fprintf(out, "%llu of %llu units", (unsigned long long)done, (unsigned long long)total);
    if (total > 0) fprintf(out, " (%d%%)", (int)(100 * done / total));
    if (fresh > 0 && done < total)
        fprintf(out, ", about %lld s left", (long long)((total - done) * (uint64_t)elapsed / fresh / 1000));
    fprintf(out, "\n");
}

// The choice of the split level of one part (see parallel.h): the levels
// are walked one by one, each count kept in the choice file at once.
class LevelChooser {
   public:
    LevelChooser(const SplitRun& r, const Plan& plan, const std::string& partfile)
        : r_(r), plan_(plan), partfile_(partfile), path_(choicepath(partfile)) {
        // A run without --resume counts afresh (and overwrites the file).
        if (!r.resume || !readchoice(path_, r.par, plan.part, plan.parts, rec_)) rec_ = SplitChoice();
        rec_.units.resize((size_t)std::max(1, r.par.k), -1);
    }
    // The split level and its units (`known` false when they were not
    // counted); false when a signal stopped a walk.  The level is the one
    // the part file of a resumed part was split at; else the given one;
    // else, for a whole run on one thread, k - 1 (the finest checkpoints;
    // nothing to share); else it is chosen by counting.  The walks'
    // processor time goes to cpu_ms.
    // With keep, every walk of a level >= 2 keeps its skeleton, and the
    // skeleton of the level chosen is left in `kept` (walked once more when
    // its count came from the choice file or it was not the last walked).
    bool choose(int& split, uint64_t& units, bool& known, int64_t& cpu_ms) {
        known = true;
        units = 0;
        split = r_.split > 0 ? r_.split : resumedlevel();
        if (split < 0 && plan_.parts == 1 && r_.jobs <= 1) split = std::max(0, r_.par.k - 1);
        Ticker tick(r_.progress, [this](FILE* out, int64_t ms) { walkline(out, ms); });
        if (split >= 0) {  // the level is known: its units are counted for threads to share only
            known = split == 0 || rec_.at(split) >= 0 || r_.jobs > 1 || (keeping_ && split >= 2);
            const int64_t u = split == 0 || !known ? 0 : count(split, cpu_ms);
            units = (uint64_t)std::max<int64_t>(0, u);
            return u >= 0;
        }
        const uint64_t target = std::max<uint64_t>(256, 64 * (uint64_t)plan_.parts);
        if (rec_.chosen == 0) {
            int best = 0;
            int64_t most = 0;
            for (int L = 1; L <= r_.par.k - 1 && best == 0; L++) {
                const int64_t u = count(L, cpu_ms);
                if (u < 0) return false;
                if ((uint64_t)u >= target) best = L;
                if (u > most) most = u;
            }
            for (int L = 1; L <= r_.par.k - 1 && best == 0; L++)
                if (rec_.at(L) == most) best = L;
            rec_.chosen = best;
            if (best > 0) writechoice(path_, r_.par, plan_.part, plan_.parts, rec_);
        }
        split = rec_.chosen;
        const int64_t u = split > 0 ? count(split, cpu_ms) : 0;
        if (u < 0) return false;
        units = (uint64_t)u;
        return true;
    }
    // Walks that keep the skeleton of their level (from 2 on).
    void keep() { keeping_ = true; }
    // The skeleton of the level chosen, when one was kept.
    std::unique_ptr<Skeleton> kept;
    int counted() const { return rec_.counted(); }
    // The split level the part must have before anything is walked: the
    // one asked, that of the part file a resume goes on with, or the one
    // its kept choice names (0: none yet).
    int given() const {
        if (r_.split > 0) return r_.split;
        const int resumed = resumedlevel();
        return resumed >= 0 ? resumed : rec_.chosen;
    }

   private:
    // The split level of the part file a resume goes on with (its first
    // line, when a checkpoint says how far it is whole); -1 when there is
    // none, or it is another part (the file is then refused when opened).
    int resumedlevel() const {
        Checkpoint c;
        if (!r_.resume || !readcheckpoint(checkpointpath(partfile_), c)) return -1;
        const PartScan ps = scanpart(partfile_, 0);
        if (!ps.error.empty() || ps.I != plan_.part || ps.M != plan_.parts || ps.split >= r_.par.k) return -1;
        return ps.split;
    }
    // The units of level L: from the record, or by a walk (recorded); -1
    // when a signal stopped the walk.
    int64_t count(int L, int64_t& cpu_ms) {
        if (kept && kept->split == L) return (int64_t)kept->units;
        if (rec_.at(L) >= 0 && (!keeping_ || L < 2)) return rec_.at(L);
        Plan plan;
        plan.split = L;
        PartShared shared(plan, true);
        {
            std::lock_guard<std::mutex> g(mu_);
            walking_ = &shared;
            level_ = L;
        }
        auto c = std::make_unique<Classifier>(r_.par, quietoptions(r_.resdir));
        auto sk = keeping_ && L >= 2 ? std::make_unique<Skeleton>() : nullptr;
        const runend how = sk ? c->runskeleton(shared, *sk) : c->runshare(shared, false);
        {
            std::lock_guard<std::mutex> g(mu_);
            walking_ = nullptr;
        }
        cpu_ms += shared.cpu_ms.load();
        if (how != runend::complete) return -1;
        rec_.units[(size_t)L] = (int64_t)c->unitsseen();
        if (sk) kept = std::move(sk);
        writechoice(path_, r_.par, plan_.part, plan_.parts, rec_);
        return runsignal ? -1 : rec_.units[(size_t)L];
    }
    // "... choosing the split level: counting the units of level 2 of 1..4 (45 so far)".
    void walkline(FILE* out, int64_t ms) {
        std::lock_guard<std::mutex> g(mu_);
        if (!walking_) return;
        lineopening(out, plan_, ms);
        fprintf(out, "choosing the split level: counting the units of level %d of 1..%d (%llu so far)\n", level_,
                r_.par.k - 1, (unsigned long long)walking_->unitsseen.load());
    }

    const SplitRun& r_;
    const Plan& plan_;
    const std::string partfile_;
    const std::string path_;
    SplitChoice rec_;
    std::mutex mu_;
    PartShared* walking_ = nullptr;  // the walk in hand
    int level_ = 0;
    bool keeping_ = false;
};

// A resumed part whose file is complete already: nothing to make, when the
// file is this part of this run.  True when it is (res says so, or why
// the file is refused).
bool completealready(const SplitRun& r, SplitResult& res) {
    PartScan ps = scanpart(res.partfile);
    if (!ps.ended) return false;
    res.how = runend::complete;
    res.already = true;
    std::string why = ps.error.empty() ? samerun(ps, res.partfile, r.par, r.part, r.parts, r.split) : ps.error;
    if (!why.empty()) {
        res.how = runend::refused;
        res.error = why + "; without --resume it is made again";
    }
    res.split = ps.split;
    res.units = ps.segments > 0 ? (ps.segments - 1) / 2 : 0;
    res.cpu = ps.seconds;
    return true;
}

// The threads make the part; res gets how they ended.
void makepart(const SplitRun& r, const Plan& plan, PartShared& shared, const Skeleton* sk, SplitResult& res) {
    // A thread without a unit would only walk the skeleton: no more threads
    // than units, when they were counted (each thread holds a classifier's
    // workspace).
    const uint64_t total = owned(res.units, plan);
    const uint64_t asked = r.jobs < 1 ? 1 : (uint64_t)r.jobs;
    const int jobs = (int)std::max<uint64_t>(1, res.unitsknown ? std::min(asked, total) : asked);
    res.threads = jobs;
    std::vector<std::unique_ptr<Classifier>> workers;
    std::vector<runend> ends((size_t)jobs, runend::complete);
    for (int t = 0; t < jobs; t++)
        workers.push_back(std::make_unique<Classifier>(r.par, quietoptions(r.resdir, r.budget)));
    {
        Ticker tick(r.progress, [&](FILE* out, int64_t ms) {
            const uint64_t fresh = shared.unitsdone.load();
            progressline(out, plan, ms, shared.resumedunits + fresh, res.unitsknown ? total : 0, fresh);
        });
        std::vector<std::thread> threads;
        for (int t = 0; t < jobs; t++)
            threads.emplace_back(
                [&, t] {
                    const bool skeleton = t == 0 && plan.part == 0;
                    ends[(size_t)t] = sk ? workers[(size_t)t]->runfromskeleton(shared, *sk, skeleton)
                                         : workers[(size_t)t]->runshare(shared, skeleton);
                });
        for (std::thread& th : threads) th.join();
    }
    RunFault fault(nullptr);
    res.how = runend::complete;
    for (runend e : ends)
        if (e == runend::interrupted || (e == runend::stopped && res.how == runend::complete)) res.how = e;
    if (shared.failed()) res.how = runend::stopped, res.error = shared.failure();
    if (res.how == runend::complete) {
        const uint64_t units = workers[0]->unitsseen();
        if (!shared.finish(plan.split > 0 ? 2 * units + 1 : 1, fault)) {
            res.how = runend::stopped;
            res.error = fault.detail();
        }
    } else {
        shared.stopcheckpoint(fault);
    }
}

// Waits for the lock of the skeleton file (another part may be making it):
// the descriptor, or -1 when the lock cannot be had (no such lock in this
// folder) or a signal came.
int skeletonlock(const SplitRun& r, const Plan& plan, const std::string& path) {
    const std::string lockpath = path + ".lock";
    bool said = false;
    for (;;) {
        const int fd = lockfile(lockpath);
        if (fd != -2 || runsignal) return fd >= 0 ? fd : -1;
        if (!said && r.progress) {
            fprintf(r.progress, "part %d of %d: waiting for another part to write %s\n", plan.part, plan.parts,
                    path.c_str());
            said = true;
        }
        usleep(200 * 1000);
    }
}

// The skeleton the part starts from (see skeleton.h), or null when it walks
// the levels above its split level itself, as a whole run on one thread does.
// Parts read the skeleton file when it is whole and theirs, and else make it
// under its lock and write it; the threads of a whole run keep it in memory.
// The level is chosen on the way (the chooser's walks keep the skeleton).
std::unique_ptr<Skeleton> partskeleton(const SplitRun& r, const Plan& plan, LevelChooser& chooser, SplitResult& res,
                                       int64_t& countms, bool& chosen) {
    chosen = false;
    if (r.parts <= 1 && r.jobs <= 1) return nullptr;
    const std::string path = skeletonpath(r.outdir + resultname(r.par), r.parts);
    auto sk = std::make_unique<Skeleton>();
    std::string why = "missing";
    int lock = -1, lockerr = 0;
    // Reading and writing the file are part of the run's processor time too.
    auto read = [&] {
        const int64_t start = clockms();
        why = readskeleton(path, r.par, r.parts, chooser.given(), &plan, *sk);
        countms += clockms() - start;
        return why.empty();
    };
    if (r.parts > 1) {
        if (read()) {
            res.skeleton = SkeletonUse::read;
            return sk;
        }
        lock = skeletonlock(r, plan, path);
        lockerr = errno;
        if (runsignal) return nullptr;
        if (lock >= 0 && read()) {
            close(lock);
            res.skeleton = SkeletonUse::read;
            return sk;
        }
    }
    chooser.keep();
    int split = -1;
    chosen = chooser.choose(split, res.units, res.unitsknown, countms);
    res.split = split;
    if (!chosen || runsignal || !chooser.kept || chooser.kept->split != split) {
        if (lock >= 0) close(lock);
        return nullptr;
    }
    chooser.kept->parts = r.parts;
    res.skeleton = SkeletonUse::made;
    if (r.parts > 1) {
        if (lock < 0) {
            fprintf(stderr, "talven: cannot lock %s.lock (%s): the skeleton is not written for the other parts\n",
                    path.c_str(), strerror(lockerr));
        } else {
            if (why != "missing" && why.rfind("cannot read", 0) != 0)
                fprintf(stderr, "talven: %s was not used (%s); it is written anew\n", path.c_str(), why.c_str());
            const int64_t start = clockms();
            const IoError e = writeatomic(path, skeletontext(*chooser.kept, r.par));
            countms += clockms() - start;
            if (e)
                fprintf(stderr, "talven: cannot write %s (%s: %s); the other parts make the skeleton again\n",
                        path.c_str(), e.action, strerror(e.err));
            close(lock);
        }
    }
    return std::move(chooser.kept);
}

}  // namespace

SplitResult runsplit(const SplitRun& r) {
    SplitResult res;
    res.partfile = partpath(r.outdir + resultname(r.par), r.part, r.parts);
    if (r.resume && completealready(r, res)) return res;
    Plan plan;
    plan.part = r.part;
    plan.parts = r.parts;
    // The walks that count the units are part of the run's processor time.
    int64_t countms = 0;
    LevelChooser chooser(r, plan, res.partfile);
    bool chosen = false;
    std::unique_ptr<Skeleton> sk = partskeleton(r, plan, chooser, res, countms, chosen);
    plan.split = sk ? sk->split : res.split;
    if (sk) {
        res.units = sk->units;
        res.unitsknown = true;
        chosen = true;
    } else if (!chosen && !runsignal) {
        plan.split = -1;
        chosen = chooser.choose(plan.split, res.units, res.unitsknown, countms);
    }
    res.split = plan.split;
    res.counted = chooser.counted();
    if (!chosen || runsignal) {
        res.choosing = true;
        res.cpu = (double)countms / 1000.0;
        return res.how = runend::interrupted, res;
    }
    PartShared shared(plan, false);
    res.error = shared.open(res.partfile, r.par, r.resume);
    if (!res.error.empty()) return res.how = runend::refused, res;
    shared.cpu_ms += countms;
    makepart(r, plan, shared, sk.get(), res);
    res.cpu = shared.resumedseconds + (double)shared.cpu_ms.load() / 1000.0;
    return res;
}
