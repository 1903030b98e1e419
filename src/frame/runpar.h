// The run-parameter record and the working copies every subsystem reads.
//
// `runpar` holds what the user chose (and what the settings file stores);
// `colmap` is the working generator matrix of a run together with the twelve
// working values (`cur_len`, `cur_level`, ...) that the search, the engine and
// the printers read.  Both are plain global records: the frame writes the
// parameters, the run subsystems write the matrix.
#pragma once
#include <csignal>
#include <cstdint>
#include <string>

constexpr int MAXLEN = 800;   // positions 1..799 in use
constexpr int MAXDIM = 20;    // rows 1..19 in use

struct runparrec {
    int32_t brute;
    int32_t brutedim;
    int32_t reserved1;
    int32_t reserved2;
    int32_t n, k, d, q, dw;
    int32_t selforth;
    int32_t dualdist;
    int32_t wtrestr;
    int32_t wt[MAXLEN];       // wt[w], w = 1..799: 1 = weight w allowed
    int32_t propcol[MAXDIM];  // propcol[i], i = 2..k: bound on proportional coordinates
};

// Working generator matrix (rows 1..19, columns 1..799; row 0 scratch) and
// its working values, in the order the printers copy them.
struct cmrec {
    int32_t m[MAXDIM][MAXLEN];
    int32_t cur_len, cur_level, cur_d, cur_q, cur_n, cur_k;
    int32_t spare1, spare2;
    int32_t putn, dreq, cur_dual, dualreq;
};

extern runparrec runpar;
extern cmrec colmap;

extern int32_t codecount;    // codes constructed by the last run
extern int32_t doublyeven;   // q = 2: every wanted codeword weight is divisible by 4
extern uint8_t smallq1;      // 1 when q <= 4: bit-plane routines
extern uint8_t smallq2;

// File faults during a run.  The first failed file operation prints one
// message naming the file and sets `runfault`; the search, the engine and the
// store test the flag and unwind, and the run is not reported as complete.
// The driver clears the flag before each run.
extern int32_t runfault;
// The signal (SIGINT or SIGTERM) received during the run in progress, else 0.
// A signal handler can reach nothing but a flag of this kind, so it is the
// one process-wide flag; the run turns it into a stop at the next record.
extern volatile sig_atomic_t runsignal;
// Turns a pending signal into a stop of the run (`runfault` 2, no message);
// true when the run must stop.
inline bool runstop() {
    if (runsignal != 0 && runfault == 0) runfault = 2;
    return runfault != 0;
}
// Prints "\n Run stopped: cannot <action> file <path>\n" (once per run) and
// sets `runfault`.
void filefault(const char* action, const char* path);
// Prints "\n Run stopped: <why>\n" (once per run) and sets `runfault`.
void runstopped(const std::string& why);
