// Main menu and dialogues.  Choices 2 to 5 edit `runpar` in memory only;
// Start and brute generation normalise the weights, save the settings and
// hand over to the run driver.  Every prompt text here is part of the
// program's console interface and is matched byte for byte by the tests.
#include "frame/menu.h"

#include <sys/stat.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "engine/store.h"
#include "field/field.h"
#include "frame/console.h"
#include "frame/runpar.h"
#include "frame/settings.h"
#include "run/rundriver.h"

static void copyworking() {
    colmap.cur_n = runpar.n;
    colmap.cur_k = runpar.k;
    colmap.cur_d = runpar.d;
    colmap.cur_q = runpar.q;
}

void startup() {
    store_init();
    // A write beyond the file-size limit is reported as a file fault rather
    // than ending the program with SIGXFSZ.
    signal(SIGXFSZ, SIG_IGN);
    resdir = std::string(RES_DIR) + "/";
    mkdir(RES_DIR, 0777);  // an existing directory is fine
    settingspath = resdir + "settings";
    loadsettings();
    runpar.dualdist = 1;
    colmap.cur_dual = 1;
    copyworking();
}

static void showmenu() {
    printf("\n");
    printf("\t Generating  Linear Codes (TALVEN v1.0 ZorbelNewEdition first module)\n");
    printf("\n");
    printf("\t Classification of linear codes by canonical augmentation\n");
    printf("\n");
    printf("\t Field: q<8 ; Maximal lenght  %d      Maximal dimension %d,\n", 800 / runpar.q, 20);
    printf("\n");
    printf(" \t\tGenerate [%d,%d,%d;%d]  Linear codes", runpar.n, runpar.k, runpar.d, runpar.q);
    if (runpar.selforth == 1) printf(" -- self-orthogonal");
    printf("\n");
    printf(" \t\tWith weights:\n");
    int cnt = 0;
    for (int w = 1; w <= runpar.n; w++)
        if (runpar.wt[w] == 1) printf(" wt%d= %d,", ++cnt, w);
    printf("\n \t\t Proportional columns:\n");
    for (int i = 2; i <= runpar.k; i++) printf(" d%d->%d,", i, runpar.propcol[i]);
    printf("\n\n\n");
    printf("\t1. Start\n");
    printf("\t2. Change input parameters\n");
    printf("\t3. Restriction on weights\n");
    printf("\t4. Restriction on proportional coordinates\n");
    printf("\t5. Dual distance %d\n", runpar.dualdist);
    printf("\t6. Brute generation \n");
    printf("\t7. About ZorbelNewEdition\n");
    printf("\t8. Exit \n");
    printf("\tChoose:");
}

void resetpar() {
    runpar.brute = 0;
    runpar.brutedim = 0;
    runpar.reserved1 = 0;
    runpar.reserved2 = 0;
    runpar.d = 0;
    runpar.n = 0;
    runpar.k = 0;
    runpar.dualdist = 1;
    runpar.q = 0;
    runpar.dw = 1;
    runpar.selforth = 0;
    for (int i = 0; i < MAXDIM; i++) runpar.propcol[i] = 800;
    for (int w = 1; w < MAXLEN; w++) runpar.wt[w] = 0;
}

static void paramdialogue() {
    resetpar();
    printf("\n Enter n = ");
    runpar.n = readint(1, 799);
    printf("\n Enter k = ");
    runpar.k = readint(1, 19);
    printf("\n Enter d = ");
    runpar.d = readint(1, runpar.n);
    printf("\n Enter q = ");
    runpar.q = readint(1, 8);
    printf("\n Weights are divisible by dw = ");
    runpar.dw = readint(1, runpar.n);
    printf("\n Self orthogonal 1-Yes /  0-No  ");
    runpar.selforth = readint(0, 1);
    copyworking();
    for (int w = 1; w <= runpar.n; w++) runpar.wt[w] = 0;
    for (int w = runpar.d; w <= runpar.n; w++)
        if (w % runpar.dw == 0) runpar.wt[w] = 1;
}

static void weightdialogue() {
    for (int w = 1; w <= runpar.n; w++) {
        if (runpar.wt[w] != 1) continue;
        printf("\n Weight %d (y/n): ", w);
        char c = readyn();
        runpar.wt[w] = (c == 'y' || c == 'Y') ? 1 : 0;
    }
}

static void propdialogue() {
    printf("Enter the number of proportional column ");
    for (int i = 2; i <= runpar.k; i++) {
        printf("\n in dimension  %d -> ", i);
        runpar.propcol[i] = readint(1, 799);
    }
}

static void about() {
    printf("\n talven classifies linear [n,k,d] codes over GF(q), q = 2, 3, 4, 5, 7.\n");
    printf(" Codes are built dimension by dimension by canonical augmentation;\n");
    printf(" one code of every equivalence class is written to the result file.\n");
    printf(" Press Enter to return to the menu.\n");
    waitchar();
}

// Forbids every allowed weight w in 1..n that `bad` rejects.
template <class F>
static void forbid(F bad) {
    for (int w = 1; w <= runpar.n; w++)
        if (bad(w)) runpar.wt[w] = 0;
}

// True when some allowed weight in 1..n satisfies `p`.
template <class F>
static bool anyallowed(F p) {
    for (int w = 1; w <= runpar.n; w++)
        if (runpar.wt[w] == 1 && p(w)) return true;
    return false;
}

void normweights() {
    const int n = runpar.n;
    if (runpar.q == 3) {
        if (runpar.selforth == 1) {
            forbid([](int w) { return w % 3 != 0; });
        } else if (runpar.selforth == 0) {
            if (n >= 1 && !anyallowed([](int w) { return w % 3 != 0; }) &&
                anyallowed([](int w) { return w % 3 == 0 && w % 9 != 0; }))
                runpar.selforth = 1;
        }
    } else if (runpar.q == 4) {
        if (runpar.selforth == 1) {
            forbid([](int w) { return w % 2 != 0; });
        } else if (runpar.selforth == 0) {
            if (n >= 1 && !anyallowed([](int w) { return w % 2 != 0; }) &&
                anyallowed([](int w) { return w % 4 == 2; }))
                runpar.selforth = 1;
        }
    } else if (runpar.q == 2) {
        if (runpar.selforth == 1) forbid([](int w) { return w % 2 != 0; });
        if (n < 1) {
            doublyeven = 0;
            runpar.selforth = 0;
        } else if (anyallowed([](int w) { return w % 4 != 0; })) {
            doublyeven = 0;
        } else if (anyallowed([](int w) { return w % 8 == 4; })) {
            doublyeven = 1;
            runpar.selforth = 1;
        } else {
            doublyeven = 0;
            runpar.selforth = 0;
        }
    }
}

// Refuses a run that cannot be made: a field without tables, or more rows
// than coordinates.  True when the run may go on.
static bool runpossible() {
    if (!fieldok(runpar.q)) {
        printf("\n Field size q=%d is not supported: choose q = 2, 3, 4, 5 or 7.\n", runpar.q);
        return false;
    }
    if (runpar.k > runpar.n) {
        printf("\n Dimension k=%d is larger than the length n=%d: choose k <= n.\n", runpar.k, runpar.n);
        return false;
    }
    return true;
}

static void setsmallq() {
    smallq1 = smallq2 = (runpar.q <= 4) ? 1 : 0;
}

// The end of a run on the console.  A run stopped by a fault or a signal is
// not reported as complete; after a signal the program ends with it, as it
// would have without the handler, once the files are closed.
static void finishrun(runend how) {
    if (how == runend::refused) return;
    if (how == runend::interrupted)
        printf("\n Run stopped: %s (signal %d)\n", strsignal(runsignal), (int)runsignal);
    if (how == runend::complete)
        printf(" Constructed codes: %d", codecount);
    else
        printf(" Constructed codes before the stop: %d", codecount);
    printf("\n");
    printf("==========================");
    if (how == runend::interrupted) {
        int sig = runsignal;
        printf("\n");
        fflush(stdout);
        signal(sig, SIG_DFL);
        raise(sig);
        exit(128 + sig);  // the signal was blocked or ignored by the caller
    }
}

// The settings folder, made again if it was removed while the menu was open.
static void makeresdir() { mkdir(RES_DIR, 0777); }

static void startrun() {
    if (!runpossible()) return;
    runpar.brute = 0;
    codecount = 0;
    copyworking();
    colmap.cur_dual = runpar.dualdist;
    normweights();
    makeresdir();
    savesettings();
    setsmallq();
    runpar.brutedim = 0;
    finishrun(rundriver());
}

static void brutemode() {
    if (!runpossible()) return;
    if (runpar.n + runpar.k > 799) {
        printf("\n Brute generation needs n + k <= 799 (here n + k = %d).\n", runpar.n + runpar.k);
        return;
    }
    printf("Enter  starting dimension < %d :", colmap.cur_k);
    runpar.brutedim = readint(1, runpar.k);
    runpar.dualdist = 1;
    codecount = 0;
    colmap.cur_dual = 1;
    copyworking();
    normweights();
    setsmallq();
    runpar.brute = 1;
    makeresdir();
    savesettings();
    runpar.n += runpar.k;
    colmap.cur_len = colmap.cur_n = runpar.n;
    runend how = rundriver();
    runpar.n -= runpar.k;
    colmap.cur_n = runpar.n;
    finishrun(how);
}

void mainmenu() {
    for (;;) {
        showmenu();
        switch (readint(1, 8)) {
            case 1: startrun(); break;
            case 2: paramdialogue(); break;
            case 3: weightdialogue(); break;
            case 4: propdialogue(); break;
            case 5:
                printf("Enter  dual distance :");
                runpar.dualdist = readint(1, 799);
                break;
            case 6: brutemode(); break;
            case 7: about(); break;
            default: return;
        }
    }
}
