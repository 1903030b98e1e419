// talven: the console program.  Start-up, then the main menu until Exit.
#include <cstdio>

#include "console/menu.h"

int main() {
    Menu menu;
    menu.mainmenu();
    fflush(stdout);
    return 0;
}
