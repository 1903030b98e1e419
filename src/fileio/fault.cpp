// Run stops and the signal guard (see fault.h).
#include "fileio/fault.h"

#include <cerrno>
#include <cstring>

volatile sig_atomic_t runsignal;

void RunFault::stop(const std::string& why) {
    if (kind_ == StopKind::none && out_ != nullptr) {
        fprintf(out_, "\n Run stopped: %s\n", why.c_str());
        fflush(out_);
    }
    if (kind_ == StopKind::none) kind_ = StopKind::fault, why_ = why;
}

void RunFault::file(const char* action, const std::string& path) {
    const int err = errno;  // of the failed call, before printing can change it
    if (kind_ == StopKind::none && err != 0) reason_ = strerror(err);
    stop(std::string("cannot ") + action + " file " + path);
}

namespace {
void onsignal(int sig) { runsignal = sig; }
}  // namespace

SignalGuard::SignalGuard() {
    runsignal = 0;
    struct sigaction sa {};
    sa.sa_handler = onsignal;
    sigemptyset(&sa.sa_mask);
    sigaction(SIGINT, &sa, &oldint_);
    sigaction(SIGTERM, &sa, &oldterm_);
}

SignalGuard::~SignalGuard() {
    sigaction(SIGINT, &oldint_, nullptr);
    sigaction(SIGTERM, &oldterm_, nullptr);
}
