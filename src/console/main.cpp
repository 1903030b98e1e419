// talven: the console program.  Without arguments: start-up, then the main
// menu until Exit.  With arguments: one command (see cli.h).
#include <cstdio>

#include "console/cli.h"
#include "console/menu.h"

int main(int argc, char** argv) {
    if (argc > 1) return commandline(argc, argv);
    Menu menu;
    menu.mainmenu();
    fflush(stdout);
    return 0;
}
