// The progress line (see progress.h).
#include "run/progress.h"

#include <chrono>
#include <ctime>

int64_t wallms() {
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return (int64_t)ts.tv_sec * 1000 + ts.tv_nsec / 1000000;
}

Ticker::Ticker(FILE* out, std::function<void(FILE*, int64_t)> line) : start_(wallms()) {
    if (!out) return;
    thread_ = std::thread([this, out, line] {
        std::unique_lock<std::mutex> lk(mu_);
        while (!cv_.wait_for(lk, std::chrono::seconds(3), [this] { return done_; })) {
            line(out, wallms() - start_);
            fflush(out);
        }
    });
}

Ticker::~Ticker() {
    {
        std::lock_guard<std::mutex> g(mu_);
        done_ = true;
    }
    cv_.notify_one();
    if (thread_.joinable()) thread_.join();
}

int64_t clockms() {
    timespec ts;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return (int64_t)ts.tv_sec * 1000 + ts.tv_nsec / 1000000;
}

void Progress::tick(int D, int k, int32_t codecount, const SearchCounts& rc, const HFileCounts& h) {
    if ((++calls_ & 1023) != 0 || out_ == nullptr) return;
    int64_t now = clockms();
    if (now - lastprint_ <= 3000) return;
    lastprint_ = now;
    fprintf(out_, "\n");
    fprintf(out_, " BR=%d ", codecount);
    for (int j = 1; j <= D; j++) fprintf(out_, "  %d ", rc.level[j].parents);
    fprintf(out_, " BEDARC : %d \n PS   ", 0);
    for (int j = 1; j <= D; j++) fprintf(out_, "  %d ", rc.level[j].pending);
    fprintf(out_, "\n RES   ");
    for (int j = 1; j <= k; j++) fprintf(out_, "  %d ", h.bydim[j]);
    fflush(out_);
}
