// The shared state of a part's threads (see partrun.h).
#include "run/partrun.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "fileio/checked.h"
#include "run/progress.h"

namespace {

constexpr int64_t CHECKPOINT_MS = 2000;  // at most one synced checkpoint per two seconds

}  // namespace

PartShared::~PartShared() {
    if (lockfd_ >= 0) close(lockfd_);
}

std::string PartShared::open(const std::string& path, const RunParams& par, bool resume) {
    path_ = path;
    lockfd_ = lockfile(path);
    if (lockfd_ == -2) return path + " is being written by another run";
    if (lockfd_ < 0) return "cannot open " + path + ": " + strerror(errno);
    const std::string header = partheadline(plan) + paramlines(par);
    Checkpoint c;
    if (resume && readcheckpoint(checkpointpath(path), c)) {
        PartScan ps = scanpart(path, c.offset);
        if (!ps.error.empty()) return ps.error;
        if (ps.ended) return path + " is complete already";
        std::string why = samerun(ps, path, par, plan.part, plan.parts, plan.split);
        if (!why.empty()) return why + "; without --resume it is made again";
        if (truncate(path.c_str(), (off_t)ps.complete_end) != 0) return "cannot cut " + path + " back to its checkpoint";
        for (uint64_t u : ps.units) {
            if (u >= unitdone.size()) unitdone.resize(u + 1, 0);
            unitdone[u] = 1;
        }
        for (uint64_t s : ps.skeleton) {
            if (s / 2 >= skeldone.size()) skeldone.resize(s / 2 + 1, 0);
            skeldone[s / 2] = 1;
        }
        resumedunits = ps.units.size();
        resumedseconds = c.seconds;
        sum_ = ps.sum;
        fp_.reset(fopen(path.c_str(), "ab"));
        if (!fp_) return "cannot append to " + path + ": " + strerror(errno);
        return "";
    }
    fp_.reset(fopen(path.c_str(), "wb"));
    if (!fp_) return "cannot write " + path + ": " + strerror(errno);
    if (fputs(header.c_str(), fp_) < 0 || fflush(fp_) != 0) return "cannot write " + path + ": " + strerror(errno);
    sum_ = Checksum();
    sum_.add(header);
    unlink(checkpointpath(path).c_str());
    lastcheck_ms_ = wallms();
    return "";
}

void PartShared::fail(const std::string& why) {
    std::lock_guard<std::mutex> g(mu_);
    if (!failed_) failure_ = why;
    failed_ = true;
}

std::string PartShared::failure() {
    std::lock_guard<std::mutex> g(mu_);
    return failure_;
}

bool PartShared::claim(uint64_t u) {
    if (!plan.owns(u) || counting) return false;
    std::lock_guard<std::mutex> g(mu_);
    if (u >= unitdone.size()) unitdone.resize(2 * u + 64, 0);
    if (unitdone[u]) return false;
    unitdone[u] = 1;
    return true;
}

bool PartShared::anyfree(uint64_t first, uint64_t count) {
    if (counting) return false;
    std::lock_guard<std::mutex> g(mu_);
    for (uint64_t u = first; u < first + count; u++)
        if (plan.owns(u) && (u >= unitdone.size() || !unitdone[u])) return true;
    return false;
}

// Syncs the file and records how far it is whole.  Called with mu_ held.
bool PartShared::checkpoint(RunFault& fault) {
    if (fflush(fp_) != 0 || fsync(fileno(fp_)) != 0) {
        fault.file("write", path_);
        return false;
    }
    Checkpoint c;
    c.offset = (uint64_t)ftello(fp_);
    c.seconds = resumedseconds + (double)cpu_ms.load() / 1000.0;
    if (!writecheckpoint(checkpointpath(path_), c)) {
        fault.file("write", checkpointpath(path_));
        return false;
    }
    lastcheck_ms_ = wallms();
    return true;
}

bool PartShared::append(const std::string& header, FILE* body, const std::string& tail, uint64_t sum, RunFault& fault,
                        bool force) {
    std::lock_guard<std::mutex> g(mu_);
    if (!fp_) return false;
    sum_.add(sum);
    bool ok = fputs(header.c_str(), fp_) >= 0;
    if (body && ok) {
        rewind(body);
        char buf[65536];
        size_t got;
        while (ok && (got = fread(buf, 1, sizeof buf, body)) > 0) ok = fwrite(buf, 1, got, fp_) == got;
        ok = ok && !ferror(body);
    }
    if (ok && !tail.empty()) ok = fwrite(tail.data(), 1, tail.size(), fp_) == tail.size();
    if (!ok || ferror(fp_)) {
        fault.file("write", path_);
        return false;
    }
    if (force || wallms() - lastcheck_ms_ >= CHECKPOINT_MS) return checkpoint(fault);
    return true;
}

bool PartShared::finish(uint64_t segments, RunFault& fault) {
    std::lock_guard<std::mutex> g(mu_);
    char line[96];
    snprintf(line, sizeof line, "E %llu %.3f", (unsigned long long)segments,
             resumedseconds + (double)cpu_ms.load() / 1000.0);
    sum_.add(line, strlen(line));
    const std::string end = std::string(line) + " " + sum_.hex() + "\n";
    bool ok = fp_ && fputs(end.c_str(), fp_) >= 0 && fflush(fp_) == 0 && fsync(fileno(fp_)) == 0;
    if (fp_ && fclose(fp_.release()) != 0) ok = false;
    if (!ok) {
        fault.file("write", path_);
        return false;
    }
    unlink(checkpointpath(path_).c_str());
    unlink(choicepath(path_).c_str());
    return true;
}

void PartShared::stopcheckpoint(RunFault& fault) {
    std::lock_guard<std::mutex> g(mu_);
    if (fp_) checkpoint(fault);
}

// ---- the buffer of one thread --------------------------------------------------
// The records of a segment stay in memory up to SPILL bytes and only then go
// to the thread's buffer file, so the many small segments of a fine split
// cost no system call of their own.

namespace {

constexpr size_t SPILL = 4u << 20;

}  // namespace

SegmentSink::~SegmentSink() { close(); }

bool SegmentSink::open(const std::string& dir, RunFault& fault) {
    path_ = dir + "segment";
    fp_.reset(fopen(path_.c_str(), "w+b"));
    if (!fp_) fault.file("create", path_);
    return fp_ != nullptr;
}

void SegmentSink::close() { fp_.reset(); }

void SegmentSink::start(bool keep) {
    keep_ = keep;
    count_ = 0;
    sum_ = Checksum();
    mem_.clear();
    if (fp_ && spilled_) {
        rewind(fp_);
        if (ftruncate(fileno(fp_), 0) != 0) clearerr(fp_);
    }
    spilled_ = false;
}

void SegmentSink::newcode(const WorkingCode& code, const BigNat& size) {
    if (!keep_ || !fp_) return;
    const size_t at = mem_.size();
    appendrecord(mem_, code, size);
    sum_.add(mem_.data() + at, mem_.size() - at);
    count_++;
    if (mem_.size() >= SPILL) {
        fwrite(mem_.data(), 1, mem_.size(), fp_);
        mem_.clear();
        spilled_ = true;
    }
}

bool SegmentSink::flush(PartShared& shared, const std::string& header, RunFault& fault) {
    if (!keep_) return true;
    if (!fp_ || fflush(fp_) != 0 || ferror(fp_)) {
        fault.file("write", path_);
        return false;
    }
    keep_ = false;
    const std::string line = header + " " + std::to_string(count_);
    sum_.add(line);
    return shared.append(line + " " + sum_.hex() + "\n", spilled_ ? fp_.get() : nullptr, mem_, sum_.value(), fault);
}

bool SegmentSink::take(const std::string& header, std::string& headline, std::string& body, uint64_t& sum,
                       RunFault& fault) {
    body.clear();
    if (spilled_) {
        if (!fp_ || fflush(fp_) != 0 || ferror(fp_)) {
            fault.file("write", path_);
            return false;
        }
        rewind(fp_);
        char buf[65536];
        size_t got;
        while ((got = fread(buf, 1, sizeof buf, fp_)) > 0) body.append(buf, got);
        if (ferror(fp_)) {
            fault.file("read", path_);
            return false;
        }
    }
    body += mem_;
    keep_ = false;
    const std::string line = header + " " + std::to_string(count_);
    sum_.add(line);
    headline = line + " " + sum_.hex() + "\n";
    sum = sum_.value();
    return true;
}
