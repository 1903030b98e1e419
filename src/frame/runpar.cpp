// The run-parameter record and the working copies (see runpar.h).
#include "frame/runpar.h"

#include <cstdio>
#include <string>

runparrec runpar;
cmrec colmap;
int32_t codecount;
int32_t doublyeven;
uint8_t smallq1;
uint8_t smallq2;

int32_t runfault;
volatile sig_atomic_t runsignal;

void runstopped(const std::string& why) {
    if (!runfault) {
        printf("\n Run stopped: %s\n", why.c_str());
        fflush(stdout);
    }
    runfault = 1;
}

void filefault(const char* action, const char* path) {
    runstopped(std::string("cannot ") + action + " file " + path);
}
