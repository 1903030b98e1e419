// Line-based console readers, as the menus expect them.  A line is one
// answer, whatever its length: a line too long for the reader's buffer is
// refused whole, so its tail can never become the next answer.  A carriage
// return before the newline is dropped, so answer files edited on Windows
// read the same; a last line without a newline still counts.
#include "console/answers.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>

void endofinput() {
    fflush(stdout);
    exit(0);
}

// Reads one line of standard input into buf (at most cap - 2 characters, as
// a line that fgets takes whole with its newline into cap bytes), without the
// newline and a carriage return before it.  Returns false at the end of input
// when nothing was read; sets toolong when the line did not fit or held a
// NUL byte (the whole line is consumed either way).
static bool readline(char* buf, size_t cap, bool& toolong) {
    size_t len = 0;
    toolong = false;
    int c;
    bool any = false;
    while ((c = getchar()) != EOF && c != '\n') {
        any = true;
        if (c == '\0') toolong = true;
        if (len < cap - 1) buf[len++] = (char)c;
        else toolong = true;
    }
    if (!any && c == EOF) return false;
    if (len > 0 && buf[len - 1] == '\r') len--;
    if (len > cap - 2) toolong = true;
    buf[len] = '\0';
    return true;
}

int readint(int lo, int hi) {
    char line[100];
    for (;;) {
        fflush(stdout);
        bool toolong;
        if (!readline(line, sizeof line, toolong)) endofinput();
        char* end = nullptr;
        long v = strtol(line, &end, 10);  // saturates: a huge number is out of bounds
        if (toolong || end == line || *end != '\0') {
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
        bool toolong;
        if (!readline(line, sizeof line, toolong)) endofinput();
        if (toolong) continue;
        char c = (char)toupper((unsigned char)line[0]);
        if (c == 'Y' || c == 'N') return line[0];
    }
}

void waitchar() {
    fflush(stdout);
    char line[2];
    bool toolong;
    if (!readline(line, sizeof line, toolong)) endofinput();
}
