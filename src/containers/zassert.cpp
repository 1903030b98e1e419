// The assertion handler (see zassert.h).
#include "containers/zassert.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>

void zfail(const char* file, int line, const char* text) {
    fflush(stdout);
    std::ofstream("ERRORq.txt") << "zorbel file " << file << ": line " << line << ": assertion failed: (" << text
                                << ")\n";
    for (;;) {
        printf("ERROR");
        fflush(stdout);
        int x;
        int got = scanf("%d", &x);
        if (got == EOF) exit(ZFAIL_EXIT);
        if (got == 0) {  // not a number: drop the line rather than spin on it
            int ch;
            while ((ch = getchar()) != '\n')
                if (ch == EOF) exit(ZFAIL_EXIT);
        }
    }
}
