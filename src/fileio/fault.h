// How a run stops: a file fault, a signal, or nothing.
//
// Every file operation of a run is checked.  The first failure prints one
// message naming the file and marks the run stopped; the search, the engine
// and the store look at the mark and unwind, so the run is never reported as
// complete.  SIGINT and SIGTERM during a run are turned into the same kind
// of stop at the next record, so no record is cut.
#pragma once
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <string>

// The signal (SIGINT or SIGTERM) received while a run was in progress, else
// 0.  A signal handler can reach nothing but a flag of this kind, so it is
// the one process-wide flag; every run in the process stops on it.
extern volatile sig_atomic_t runsignal;

enum class StopKind : int32_t { none = 0, fault = 1, signal = 2 };

// The stop mark of one run, with the stream its message goes to.
class RunFault {
   public:
    explicit RunFault(FILE* console = stdout) : out_(console) {}
    // Prints "\n Run stopped: <why>\n" (only for the first stop of the run)
    // and marks the run stopped.
    void stop(const std::string& why);
    // stop("cannot <action> file <path>").
    void file(const char* action, const std::string& path);
    // True when the run must stop; a pending signal becomes a stop here
    // (without a message: the caller reports how the run ended).
    bool poll() {
        if (runsignal != 0 && kind_ == StopKind::none) kind_ = StopKind::signal;
        return kind_ != StopKind::none;
    }
    bool stopped() const { return kind_ != StopKind::none; }
    StopKind kind() const { return kind_; }
    // What stopped the run ("cannot write file ..."), printed or not.
    const std::string& message() const { return why_; }
    // The same with the system's reason when a file fault had one
    // ("cannot write file 7_4_3.2: No space left on device").
    std::string detail() const { return reason_.empty() ? why_ : why_ + ": " + reason_; }
    void clear() {
        kind_ = StopKind::none;
        why_.clear();
        reason_.clear();
    }

   private:
    FILE* out_;
    StopKind kind_ = StopKind::none;
    std::string why_;
    std::string reason_;
};

// SIGINT and SIGTERM set `runsignal` while a guard lives; before and after,
// they keep the action they had.  The guard clears `runsignal` when made.
class SignalGuard {
   public:
    SignalGuard();
    ~SignalGuard();
    SignalGuard(const SignalGuard&) = delete;
    SignalGuard& operator=(const SignalGuard&) = delete;

   private:
    struct sigaction oldint_, oldterm_;
};
