// A split run on every core (see parallel.h).
#include "run/parallel.h"

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <memory>
#include <thread>
#include <vector>

#include "run/partrun.h"

namespace {

RunOptions quietoptions(const std::string& resdir, uint64_t budget = DEFAULT_BUDGET) {
    RunOptions opt;
    opt.resdir = resdir;
    opt.budget = budget;
    opt.console = nullptr;
    opt.signals = false;  // the caller keeps the signals for the whole process
    return opt;
}

int64_t wallms() {
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return (int64_t)ts.tv_sec * 1000 + ts.tv_nsec / 1000000;
}

// The units of the run that belong to part I of M.
uint64_t owned(uint64_t units, const Plan& plan) {
    if (units <= (uint64_t)plan.part) return 0;
    return (units - (uint64_t)plan.part - 1) / (uint64_t)plan.parts + 1;
}

// "[12s] part 3 of 100: 45 of 300 units (15%), about 70 s left" ("run:"
// for a whole run).
void progressline(FILE* out, const Plan& plan, int64_t elapsed, uint64_t done, uint64_t total, uint64_t fresh,
                  int64_t freshms) {
    fprintf(out, "[%llds] ", (long long)(elapsed / 1000));
    if (plan.parts > 1)
        fprintf(out, "part %d of %d:", plan.part, plan.parts);
    else
        fprintf(out, "run:");
    fprintf(out, " %llu of %llu units", (unsigned long long)done, (unsigned long long)total);
    if (total > 0) fprintf(out, " (%d%%)", (int)(100 * done / total));
    if (fresh > 0 && done < total)
        fprintf(out, ", about %lld s left", (long long)((total - done) * (uint64_t)freshms / fresh / 1000));
    fprintf(out, "\n");
    fflush(out);
}

}  // namespace

uint64_t countunits(const RunParams& par, int L, const std::string& resdir, int64_t* cpu_ms) {
    Plan plan;
    plan.split = L;
    PartShared shared(plan, true);
    auto c = std::make_unique<Classifier>(par, quietoptions(resdir));
    const runend how = c->runpart(shared, false);
    if (cpu_ms) *cpu_ms += shared.cpu_ms.load();
    return how == runend::complete ? c->unitsseen() : 0;
}

int choosesplit(const RunParams& par, int parts, const std::string& resdir, uint64_t& units, int64_t* cpu_ms) {
    const uint64_t target = std::max<uint64_t>(256, 64 * (uint64_t)parts);
    int best = 0;
    units = 0;
    for (int L = 1; L <= par.k - 1; L++) {
        uint64_t u = countunits(par, L, resdir, cpu_ms);
        if (u >= target) return units = u, L;
        if (u > units) units = u, best = L;
        if (runsignal) break;
    }
    return best;
}

namespace {

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
    if (r.split > 0) {
        plan.split = r.split;
        res.units = countunits(r.par, plan.split, r.resdir, &countms);
    } else {
        plan.split = choosesplit(r.par, r.parts, r.resdir, res.units, &countms);
    }
    res.split = plan.split;
    if (runsignal) return res.how = runend::interrupted, res;
    PartShared shared(plan, false);
    res.error = shared.open(res.partfile, r.par, r.resume);
    if (!res.error.empty()) return res.how = runend::refused, res;
    shared.cpu_ms += countms;

    const int jobs = r.jobs < 1 ? 1 : r.jobs;
    std::vector<std::unique_ptr<Classifier>> workers;
    std::vector<runend> ends((size_t)jobs, runend::complete);
    for (int t = 0; t < jobs; t++)
        workers.push_back(std::make_unique<Classifier>(r.par, quietoptions(r.resdir, r.budget)));
    std::vector<std::thread> threads;
    for (int t = 0; t < jobs; t++)
        threads.emplace_back([&, t] { ends[(size_t)t] = workers[(size_t)t]->runpart(shared, t == 0 && plan.part == 0); });

    // The progress line, every three seconds, while the threads work.
    const uint64_t total = owned(res.units, plan);
    const int64_t start = wallms();
    std::mutex mu;
    std::condition_variable cv;
    bool done = false;
    std::thread watcher([&] {
        std::unique_lock<std::mutex> lk(mu);
        while (!cv.wait_for(lk, std::chrono::seconds(3), [&] { return done; })) {
            if (!r.progress) continue;
            const int64_t now = wallms();
            uint64_t fresh = shared.unitsdone.load();
            progressline(r.progress, plan, now - start, shared.resumedunits + fresh, total, fresh, now - start);
        }
    });
    for (std::thread& th : threads) th.join();
    {
        std::lock_guard<std::mutex> g(mu);
        done = true;
    }
    cv.notify_one();
    watcher.join();

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
    res.cpu = shared.resumedseconds + (double)shared.cpu_ms.load() / 1000.0;
    return res;
}
