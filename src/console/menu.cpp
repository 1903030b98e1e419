// Main menu and dialogues.  Every prompt text here is part of the program's
// console interface and is matched byte for byte by the tests; the prompts
// and bounds of the parameters come from the option table.
#include "console/menu.h"

#include <sys/stat.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "console/answers.h"
#include "params/settings.h"
#include "run/classifier.h"

Menu::Menu(const std::string& resdir) : resdir_(resdir), settingspath_(resdir + "settings") {
    // A write beyond the file-size limit is reported as a file fault rather
    // than ending the program with SIGXFSZ.
    signal(SIGXFSZ, SIG_IGN);
    mkdir(resdir_.c_str(), 0777);  // an existing folder is fine
    loadsettings(runpar, settingspath_);
    runpar.dualdist = 1;
}

void Menu::showmenu() const {
    printf("\n");
    printf("\t Generating  Linear Codes (TALVEN v1.0 ZorbelNewEdition first module)\n");
    printf("\n");
    printf("\t Classification of linear codes by canonical augmentation\n");
    printf("\n");
    printf("\t Field: q<8 ; Maximal lenght  %d      Maximal dimension %d,\n", 800 / runpar.q, 20);
    printf("\n");
    printf(" \t\tGenerate [%d,%d,%d;%d]  Linear codes", runpar.n, runpar.k, runpar.d, runpar.q);
    if (runpar.selforth) printf(" -- self-orthogonal");
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

// Asks one scalar of the option table with its prompt and bounds (the
// prompt of the starting dimension shows k).
static void ask(ParamRecord& p, Opt id) {
    const Option& o = option(id);
    printf(o.prompt, p.k);
    o.field.set(p, readint(o.lo, upperbound(o, p)));
}

void Menu::paramdialogue() {
    resetpar(runpar);
    for (Opt id : {Opt::n, Opt::k, Opt::d, Opt::q, Opt::dw, Opt::selforth}) ask(runpar, id);
    for (int w = 1; w <= runpar.n; w++) runpar.wt[w] = 0;
    for (int w = runpar.d; w <= runpar.n; w++)
        if (w % runpar.dw == 0) runpar.wt[w] = 1;
}

void Menu::weightdialogue() {
    for (int w = 1; w <= runpar.n; w++) {
        if (runpar.wt[w] != 1) continue;
        printf(weightdef.prompt, w);
        char c = readyn();
        runpar.wt[w] = (c == 'y' || c == 'Y') ? 1 : 0;
    }
}

void Menu::propdialogue() {
    printf("Enter the number of proportional column ");
    for (int i = 2; i <= runpar.k; i++) {
        printf(propdef.prompt, i);
        runpar.propcol[i] = readint(propdef.lo, propdef.hi);
    }
}

void Menu::dualdialogue() { ask(runpar, Opt::dualdist); }

void Menu::about() {
    printf("\n talven classifies linear [n,k,d] codes over GF(q), q = 2, 3, 4, 5, 7.\n");
    printf(" Codes are built dimension by dimension by canonical augmentation;\n");
    printf(" one code of every equivalence class is written to the result file.\n");
    printf(" Press Enter to return to the menu.\n");
    waitchar();
}

// Refuses a run that cannot be made in one line; true when it may go on.
bool Menu::runpossible(bool brute) const {
    std::string why = runrefusal(runpar, brute);
    if (why.empty()) return true;
    printf("\n %s\n", why.c_str());
    return false;
}

namespace {

// The end of a run on the console.  A run stopped by a fault or a signal is
// not reported as complete; after a signal the program ends with it, as it
// would have without the handler, once the files are closed.
void finishrun(runend how, int32_t codecount) {
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

// Runs a classification of p and reports its end.
void classify(const RunParams& p, const std::string& resdir) {
    RunOptions opt;
    opt.resdir = resdir;
    auto c = std::make_unique<Classifier>(p, opt);
    runend how = c->run();
    finishrun(how, c->codecount());
}

}  // namespace

void Menu::startrun() {
    if (!runpossible(false)) return;
    runpar.brute = false;
    normweights(runpar, doublyeven);
    mkdir(resdir_.c_str(), 0777);  // made again if it was removed while the menu was open
    savesettings(runpar, settingspath_);
    runpar.brutedim = 0;
    classify(makerunparams(runpar, doublyeven, false, 0), resdir_);
}

void Menu::brutemode() {
    if (!runpossible(true)) return;
    ask(runpar, Opt::brutedim);
    runpar.dualdist = 1;
    normweights(runpar, doublyeven);
    runpar.brute = true;
    mkdir(resdir_.c_str(), 0777);
    savesettings(runpar, settingspath_);
    RunParams p = makerunparams(runpar, doublyeven, true, runpar.brutedim);
    // Brute generation works without proportional bounds and leaves them so.
    for (int i = 0; i < MAXDIM; i++) runpar.propcol[i] = NOBOUND;
    classify(p, resdir_);
}

void Menu::mainmenu() {
    for (;;) {
        showmenu();
        switch (readint(1, 8)) {
            case 1: startrun(); break;
            case 2: paramdialogue(); break;
            case 3: weightdialogue(); break;
            case 4: propdialogue(); break;
            case 5: dualdialogue(); break;
            case 6: brutemode(); break;
            case 7: about(); break;
            default: return;
        }
    }
}
