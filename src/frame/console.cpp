// Line-based console readers (fgets + strtol), as the menus expect them.
#include "frame/console.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>

void endofinput() {
    fflush(stdout);
    exit(0);
}

int readint(int lo, int hi) {
    char line[100];
    for (;;) {
        fflush(stdout);
        if (!fgets(line, sizeof line, stdin)) endofinput();
        char* end = nullptr;
        long v = strtol(line, &end, 10);
        if (end == line || *end != '\n') {
            printf("Please enter an integer: ");
            continue;
        }
        if (v < lo || v > hi) {
            printf("ENTER THE INTEGER BETWEEN %d and %d ", lo, hi);
            continue;
        }
        return (int)v;
    }
}

char readyn() {
    char line[50];
    for (;;) {
        fflush(stdout);
        if (!fgets(line, sizeof line, stdin)) endofinput();
        char c = (char)toupper((unsigned char)line[0]);
        if (c == 'Y' || c == 'N') return line[0];
    }
}

void waitchar() {
    fflush(stdout);
    if (getchar() == EOF) endofinput();
}
