// The result files of a run: the result file (codes of the final dimension),
// the h file (every new code of every dimension) and the statistics file,
// with their header and their totals.
//
// Every printer checks its stream and reports a fault through the run's
// mark.  The totals go in last and all together, and only after a complete
// run: a stopped run leaves totals in no file.
#pragma once
#include <cstdio>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

#include "codeio/runheader.h"
#include "containers/code.h"
#include "engine/records.h"
#include "fileio/fault.h"
#include "fileio/file.h"
#include "params/params.h"

// The codes the h file got, counted as it is written: its totals line and
// the statistics file are made from them.
struct HFileCounts {
    // bydim[j], j = 2..k: codes of dimension j; bydim[1]: all codes.
    int32_t bydim[MAXDIM] = {};
    // bylength(i, j): codes of length i (leading all-zero columns not
    // counted) and dimension j.
    int32_t& bylength(int i, int j) { return bylength_[(size_t)i * (MAXDIM + 1) + (size_t)j]; }
    int32_t bylength(int i, int j) const { return bylength_[(size_t)i * (MAXDIM + 1) + (size_t)j]; }

   private:
    std::vector<int32_t> bylength_ = std::vector<int32_t>((size_t)(MAXLEN + 1) * (MAXDIM + 1), 0);
};

class ResultFiles {
   public:
    ResultFiles(const RunParams& par, RunFault& fault) : par_(par), fault_(fault) {}
    ~ResultFiles() { close(); }
    ResultFiles(const ResultFiles&) = delete;
    ResultFiles& operator=(const ResultFiles&) = delete;

    // Opens the h file and the result file (paths `base` + "h" and `base`)
    // and writes their header; false after a reported fault.  `staged`:
    // the files are written under temporary names beside them and take the
    // place of the old files (the statistics file too) only when `finish`
    // completes, so a stopped or killed writer leaves the old files whole.
    bool open(const std::string& base, bool staged = false);
    // Closes both files (reporting a failing close).
    void close();
    // Closes both files and, when staged, removes what was written.
    void abandon();

    // A new code: the result file when it has the final dimension, and the
    // h file.  Raises codecount, the counters of the h file and the
    // statistics; reports a failed write.
    void newcode(const WorkingCode& code);
    // The result file's record of a code of the final dimension; false when
    // the stream is null or in error.  Raises codecount.
    bool printres(const WorkingCode& code);
    // The h file's record of a new code: leading columns zero in every row
    // are left out.  Raises rescount and statcount.  False when the stream
    // is null or in error.
    bool printh(const WorkingCode& code);

    // The totals of a complete run: the statistics file, then the trailers
    // of both files, which are closed.  If any of them fails, the trailers
    // already written are cut off again and the statistics file is removed.
    void finish(double secs);
    // The totals of the files' trailer: the codes of the h file, then its
    // codes of dimensions s..k (s = 2, or the starting dimension of brute
    // generation), and the elapsed time.
    RunTrailer totals(double secs) const;

    int32_t codecount = 0;
    // What the h file got so far; cleared with the code count.
    const HFileCounts& counts() const { return counts_; }
    void clearcounts() {
        codecount = 0;
        counts_ = HFileCounts{};
    }
    File res;
    File h;
    std::string respath, hpath;  // the files' names

   private:
    // Where a file is written: its name, or its temporary name when staged.
    std::string written(const std::string& path) const { return staged_ ? path + tmpsuffix_ : path; }
    // The staged files into their places: synced, then renamed (the
    // result file last); false after a reported fault.
    bool commit(const std::string& stats);
    bool writerecord(std::initializer_list<std::string_view> values, const WorkingCode& cm, int rows, int c0, FILE* fp);
    bool writestats(const std::string& path);
    off_t flushedsize(FILE* fp, const std::string& path);

    bool staged_ = false;
    std::string tmpsuffix_;
    const RunParams& par_;
    HFileCounts counts_;
    RunFault& fault_;
    std::string line_;  // one record's text, grow-only
};
