// What the threads of one part share while they make it.
//
// Every thread walks the same search (from the shared skeleton's families
// when there is one); each unit of the part goes to the first thread that
// reaches it, so a thread busy with a long unit is simply passed by the
// others, and no thread waits for another.  A thread writes the codes
// of the segment in hand into a buffer file of its own and, when the segment
// is whole, appends it under a lock to the part file, which therefore only
// ever holds whole segments (in the order they were finished).  Every few
// seconds the part file is synced and a checkpoint records how far it is
// whole; a resumed part cuts the file back to its checkpoint and skips what
// it holds.
#pragma once
#include <atomic>
#include <cstdint>
#include <cstdio>
#include <mutex>
#include <string>
#include <vector>

#include "containers/bignat.h"
#include "containers/code.h"
#include "fileio/fault.h"
#include "fileio/file.h"
#include "run/parts.h"

class PartShared {
   public:
    PartShared(const Plan& plan, bool counting) : plan(plan), counting(counting) {}
    ~PartShared();
    PartShared(const PartShared&) = delete;
    PartShared& operator=(const PartShared&) = delete;

    // Creates the part file anew (header and parameters), or, when resuming,
    // cuts it back to its checkpoint and learns which segments it holds.
    // Holds a lock on the file so that no second process makes the same
    // part in the same folder.  "" or the reason it failed.
    std::string open(const std::string& path, const RunParams& par, bool resume);
    // Appends one whole segment: its header line and the records of the
    // buffer file `body` (read from its start; null: none), then those of
    // `tail`, whose checksum together is `sum`; then, when a checkpoint is
    // due (or `force`), syncs the file and writes the checkpoint.  False
    // after a reported fault.
    bool append(const std::string& header, FILE* body, const std::string& tail, uint64_t sum, RunFault& fault,
                bool force = false);
    // The end line "E segments seconds sum": the part is complete; the
    // checkpoint and the split choice go.  False after a fault.
    bool finish(uint64_t segments, RunFault& fault);
    // A last checkpoint after a stop, so that a resume loses nothing whole.
    void stopcheckpoint(RunFault& fault);

    // Unit u goes to the calling thread: it is the part's (plan.owns(u)),
    // the file does not hold it yet, and no other thread took it first.
    bool claim(uint64_t u);
    // Some unit from `first` on (`count` of them) is still free to claim.
    bool anyfree(uint64_t first, uint64_t count);
    // The skeleton segment s still has to be written (by the thread that
    // writes the skeleton).
    bool skeletondue(uint64_t s) const { return s / 2 >= skeldone.size() || !skeldone[s / 2]; }

    const Plan plan;
    const bool counting;      // only count the units (choosing the split level)
    std::atomic<uint64_t> unitsdone{0};  // units finished in this process
    std::atomic<uint64_t> unitsseen{0};  // counting: the units walked so far (for the progress line)
    std::atomic<int64_t> cpu_ms{0};      // processor time of the threads, summed
    double resumedseconds = 0;           // processor time of earlier runs of the part
    uint64_t resumedunits = 0;           // units the file already held
    // A thread that stops on a fault stops the others: the first fault.
    void fail(const std::string& why);
    bool failed() const { return failed_.load(); }
    std::string failure();

   private:
    bool checkpoint(RunFault& fault);

    std::mutex mu_;
    std::atomic<bool> failed_{false};
    std::string failure_;
    File fp_;
    int lockfd_ = -1;
    std::string path_;
    Checksum sum_;                // the file's sum so far (see parts.h)
    std::vector<char> unitdone;   // units the file held at the start, or a thread took
    std::vector<char> skeldone;   // skeleton segments (s / 2) the file held
    int64_t lastcheck_ms_ = 0;
};

// The codes of the segment in hand, gathered in memory and, past a few
// MiB, in a buffer file.
class SegmentSink {
   public:
    ~SegmentSink();
    // Opens the buffer in `dir`; false after a reported fault.
    bool open(const std::string& dir, RunFault& fault);
    void close();
    // Starts a segment: the codes that follow are kept when `keep`.
    void start(bool keep);
    // A code of the segment, with the size of its class.
    void newcode(const WorkingCode& code, const BigNat& size);
    // Appends the segment to the part file with its header ("S s" or
    // "U s u") and the record count.
    bool flush(PartShared& shared, const std::string& header, RunFault& fault);
    // The same segment kept instead: its header line (with count and sum)
    // and records, as flush would append them, and its sum.
    bool take(const std::string& header, std::string& headline, std::string& body, uint64_t& sum, RunFault& fault);
    bool keeping() const { return keep_; }

   private:
    File fp_;
    std::string path_;
    uint64_t count_ = 0;
    bool keep_ = false;
    bool spilled_ = false;  // records of the segment went to the file
    Checksum sum_;          // of the segment's records so far
    std::string mem_;       // the records not in the file (grow-only)
};
