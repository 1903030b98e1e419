// Helpers shared by the test folders: temporary working directories, files,
// and running the talven binary with a scripted standard input.
#pragma once
#include <functional>
#include <string>
#include <vector>

// The program under test: $TALVEN_BIN, else `talven` in the folder of the
// test program (the build folder holds both).
const std::string& talvenbin();

// A fresh directory under /tmp, removed with its contents on destruction.
struct tempdir {
    std::string path;
    tempdir();
    ~tempdir();
    std::string file(const std::string& name) const { return path + "/" + name; }
};

struct runresult {
    std::string out;   // standard output
    std::string err;   // standard error
    int status;        // exit status (or 128 + signal, or 124 on time-out)
};

// Runs the program in `dir` with `input` as its standard input (a file, so
// the end of input is real), at most `seconds` seconds; `env` is put before
// the command ("NAME=value ...").
runresult runtalven(const std::string& dir, const std::string& input, int seconds = 60, const std::string& env = "");

// Runs the program's command line in `dir`: `args` as typed to a shell, no
// standard input; `env` as for runtalven.
runresult runcommand(const std::string& dir, const std::string& args, const std::string& env = "");

// Starts the program in `dir` without waiting for it: standard input from
// `input`, standard output and error into dir/.<tag>.out and dir/.<tag>.err;
// with `args` its command line (as typed to a shell) instead of the menu.
// Returns the process id.
int starttalven(const std::string& dir, const std::string& input, const std::string& tag,
                const std::string& args = "");
// Waits for a program started by starttalven and collects its result.
runresult waittalven(int pid, const std::string& dir, const std::string& tag);

std::string readfile(const std::string& path);
void writefile(const std::string& path, const std::string& text);
std::vector<std::string> splitlines(const std::string& text);
// The lines, each ended by a newline.
std::string joinlines(const std::vector<std::string>& lines);
// text with its line `number` (from 1) replaced by `by`.
std::string withline(const std::string& text, size_t number, const std::string& by);
// "n_k_d.q": the name of a run's result file; runargs: its options.
std::string runname(int n, int k, int d, int q);
std::string runargs(int n, int k, int d, int q);
bool fileexists(const std::string& path);
// The three result files of the run named `name` (n_k_d.q) in `dir`, one
// after the other, with the elapsed time masked: what must agree between
// two runs that made the same classes.
std::string resultfiles(const std::string& dir, const std::string& name);
// The text with every "Elapsed time: 1.23s" as "Elapsed time: #s".
std::string masktime(const std::string& text);
// The names in a folder, sorted, without "." and "..".
std::vector<std::string> listdir(const std::string& path);

// What the assertion handler left when `f` stopped in it.
struct handlerstop {
    std::string console;  // standard output of the stopped code ("ERROR" and what came before)
    std::string error;    // ERRORq.txt
};
// Runs f in a child process (a death test) in a fresh folder, `input` as its
// standard input; expects it to end in the assertion handler.
handlerstop stopsinhandler(const std::function<void()>& f, const std::string& input = "");
