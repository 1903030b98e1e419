// Checked file operations.  Every open, write and close of a run goes
// through these, so that a failure is reported once, naming the file, and
// stops the run instead of being lost; the settings file and other small
// files are replaced atomically.
#pragma once
#include <cstdio>
#include <string>

#include "fileio/fault.h"
#include "fileio/file.h"

// Opens path with mode; on failure reports fault.file("open", path).
File chkopen(const std::string& path, const char* mode, RunFault& fault);
// Closes the stream of f (when it holds one); a stream in error or a failing
// close reports "read or write" or "close" for path and gives false.
bool chkclose(File& f, const std::string& path, RunFault& fault);

// Opens the regular file at path for reading, without waiting: a folder,
// a FIFO or a device is refused (a FIFO would block the caller, a device
// may never end).  Null with `why` set ("cannot read <path>: <reason>",
// "<path> is not a regular file") on failure.
File openregular(const std::string& path, std::string& why);

// Takes the lock of `path` (creating the file when it is missing, without
// truncating it): flock, which goes with the process, so a killed run
// leaves none behind.  Gives the descriptor that holds the lock; -1 when the
// file cannot be opened, -2 when another run holds the lock (errno kept).
int lockfile(const std::string& path);
// True when another process holds the lock of the existing file at path
// (a run is writing it).  Takes no lock and creates nothing.
bool lockedbyother(const std::string& path);

// A failed file operation: what was being done ("opening", "writing") and
// the error number.
struct IoError {
    const char* action = nullptr;
    int err = 0;
    explicit operator bool() const { return action != nullptr; }
};
// Replaces the file at path by text as a whole: the text goes to a new file
// beside it, which is synced and renamed over the old one, so a reader sees
// the old file or the new one, never a mixture.  The new file does not stay
// behind after a failure.
IoError writeatomic(const std::string& path, const std::string& text);
