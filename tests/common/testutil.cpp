// Shared test helpers (see testutil.h).
#include "common/testutil.h"

#include <sys/stat.h>
#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>

tempdir::tempdir() {
    char tmpl[] = "/tmp/talvenXXXXXX";
    if (!mkdtemp(tmpl)) throw std::runtime_error("mkdtemp failed");
    path = tmpl;
}

tempdir::~tempdir() {
    std::string cmd = "chmod -R u+rwx '" + path + "' 2>/dev/null; rm -rf '" + path + "'";
    if (system(cmd.c_str()) != 0) fprintf(stderr, "could not remove %s\n", path.c_str());
}

runresult runtalven(const std::string& dir, const std::string& input, int seconds) {
    writefile(dir + "/.stdin", input);
    std::string cmd = "cd '" + dir + "' && timeout " + std::to_string(seconds) + " " TALVEN_BIN +
                      " < .stdin > .stdout 2> .stderr";
    int raw = system(cmd.c_str());
    runresult r;
    r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + WTERMSIG(raw);
    r.out = readfile(dir + "/.stdout");
    r.err = readfile(dir + "/.stderr");
    remove((dir + "/.stdin").c_str());
    remove((dir + "/.stdout").c_str());
    remove((dir + "/.stderr").c_str());
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
    std::string cur;
    for (char c : text) {
        if (c == '\n') {
            v.push_back(cur);
            cur.clear();
        } else {
            cur += c;
        }
    }
    if (!cur.empty()) v.push_back(cur);
    return v;
}

bool fileexists(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0;
}
