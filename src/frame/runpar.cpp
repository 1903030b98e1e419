// The run-parameter record and the working copies (see runpar.h).
#include "frame/runpar.h"

#include <cstdio>

runparrec runpar;
cmrec colmap;
int32_t codecount;
int32_t doublyeven;
uint8_t smallq1;
uint8_t smallq2;

int32_t runfault;

void filefault(const char* action, const char* path) {
    if (!runfault) {
        printf("\n Run stopped: cannot %s file %s\n", action, path);
        fflush(stdout);
    }
    runfault = 1;
}
