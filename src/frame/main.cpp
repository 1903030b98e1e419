// talven: the console program.  Start-up, then the main menu until Exit.
#include <cstdio>

#include "frame/menu.h"

int main() {
    startup();
    mainmenu();
    fflush(stdout);
    return 0;
}
