// Shared test helpers (see testutil.h).
#include "common/testutil.h"

#include <gtest/gtest.h>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "containers/zassert.h"

const std::string& talvenbin() {
    static const std::string path = [] {
        if (const char* env = getenv("TALVEN_BIN")) return std::string(env);
        char self[4096];
        const ssize_t len = readlink("/proc/self/exe", self, sizeof self - 1);
        if (len <= 0) throw std::runtime_error("cannot find the test program's own folder");
        const std::string me(self, (size_t)len);
        return me.substr(0, me.rfind('/') + 1) + "talven";
    }();
    return path;
}

tempdir::tempdir() {
    char tmpl[] = "/tmp/talvenXXXXXX";
    if (!mkdtemp(tmpl)) throw std::runtime_error("mkdtemp failed");
    path = tmpl;
}

tempdir::~tempdir() {
    std::string cmd = "chmod -R u+rwx '" + path + "' 2>/dev/null; rm -rf '" + path + "'";
    if (system(cmd.c_str()) != 0) fprintf(stderr, "could not remove %s\n", path.c_str());
}

// Runs `command` (the program and its arguments, as typed to a shell) in
// `dir` with standard input from `input` (a file, so the end of input is
// real) and collects its output and status; the scratch files are removed.
static runresult execute(const std::string& dir, const std::string& command, const std::string& input) {
    writefile(dir + "/.stdin", input);
    const int raw = system(("cd '" + dir + "' && " + command + " < .stdin > .stdout 2> .stderr").c_str());
    runresult r{readfile(dir + "/.stdout"), readfile(dir + "/.stderr"), WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + WTERMSIG(raw)};
    for (const char* f : {"/.stdin", "/.stdout", "/.stderr"}) remove((dir + f).c_str());
    return r;
}

runresult runtalven(const std::string& dir, const std::string& input, int seconds, const std::string& env) {
    return execute(dir, env + " timeout " + std::to_string(seconds) + " " + talvenbin(), input);
}

runresult runcommand(const std::string& dir, const std::string& args, const std::string& env) {
    return execute(dir, env + " " + talvenbin() + " " + args, "");
}

int starttalven(const std::string& dir, const std::string& input, const std::string& tag, const std::string& args) {
    const std::string in = dir + "/." + tag + ".in", out = dir + "/." + tag + ".out", err = dir + "/." + tag + ".err";
    writefile(in, input);
    pid_t pid = fork();
    if (pid == 0) {
        if (chdir(dir.c_str()) != 0) _exit(126);
        int fi = open(in.c_str(), O_RDONLY), fo = open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644),
            fe = open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (fi < 0 || fo < 0 || fe < 0) _exit(126);
        dup2(fi, 0), dup2(fo, 1), dup2(fe, 2);
        if (args.empty())
            execl(talvenbin().c_str(), talvenbin().c_str(), (char*)nullptr);
        else
            execl("/bin/sh", "sh", "-c", ("exec " + talvenbin() + " " + args).c_str(), (char*)nullptr);
        _exit(127);
    }
    return (int)pid;
}

runresult waittalven(int pid, const std::string& dir, const std::string& tag) {
    int raw = 0;
    if (waitpid(pid, &raw, 0) != pid) raw = 127 << 8;
    const std::string at = dir + "/." + tag;
    runresult r{readfile(at + ".out"), readfile(at + ".err"), WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + WTERMSIG(raw)};
    for (const char* ext : {".in", ".out", ".err"}) remove((at + ext).c_str());
    return r;
}

std::string readfile(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    std::stringstream ss;
    ss << f.rdbuf();
    return ss.str();
}

void writefile(const std::string& path, const std::string& text) {
    std::ofstream f(path, std::ios::binary);
    f << text;
}

std::vector<std::string> splitlines(const std::string& text) {
    std::vector<std::string> v;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) v.push_back(line);
    return v;
}

std::string joinlines(const std::vector<std::string>& lines) {
    std::string s;
    for (const std::string& l : lines) s += l + "\n";
    return s;
}

std::string withline(const std::string& text, size_t number, const std::string& by) {
    std::vector<std::string> lines = splitlines(text);
    lines.at(number - 1) = by;
    return joinlines(lines);
}

std::string runname(int n, int k, int d, int q) {
    return std::to_string(n) + "_" + std::to_string(k) + "_" + std::to_string(d) + "." + std::to_string(q);
}

std::string runargs(int n, int k, int d, int q) {
    return "-n " + std::to_string(n) + " -k " + std::to_string(k) + " -d " + std::to_string(d) + " -q " +
           std::to_string(q);
}

bool fileexists(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0;
}

std::vector<std::string> listdir(const std::string& path) {
    std::vector<std::string> v;
    if (DIR* d = opendir(path.c_str())) {
        while (dirent* e = readdir(d))
            if (std::string(e->d_name) != "." && std::string(e->d_name) != "..") v.push_back(e->d_name);
        closedir(d);
    }
    std::sort(v.begin(), v.end());
    return v;
}

std::string resultfiles(const std::string& dir, const std::string& name) {
    std::string all;
    for (const char* ext : {"", "h", "inf"}) {
        std::string s = readfile(dir + "/" + name + ext);
        size_t at = s.find("Elapsed time: ");
        if (at != std::string::npos) s = s.substr(0, at) + "#";
        all += s + "\n----\n";
    }
    return all;
}

std::string masktime(const std::string& s) {
    const std::string key = "Elapsed time: ";
    std::string out;
    size_t from = 0;
    for (size_t at = s.find(key), end; at != std::string::npos && (end = s.find('s', at + key.size())) != std::string::npos;
         at = s.find(key, from))
        out += s.substr(from, at + key.size() - from) + "#", from = end;
    return out + s.substr(from);
}

handlerstop stopsinhandler(const std::function<void()>& f, const std::string& input) {
    tempdir d;
    writefile(d.file("in.txt"), input);
    auto into = [&d] {
        if (chdir(d.path.c_str()) != 0 || !freopen("in.txt", "r", stdin) || !freopen("out.txt", "w", stdout)) _exit(99);
    };
    EXPECT_EXIT((into(), f(), _exit(0)), testing::ExitedWithCode(ZFAIL_EXIT), "");
    return {readfile(d.file("out.txt")), readfile(d.file("ERRORq.txt"))};
}
