// The console program end to end: the binary runs in a temporary working
// directory with a scripted standard input; its whole transcript and the
// settings file it writes are compared with what the menus promise.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/testutil.h"
#include "console/menumodel.h"

namespace {

// What a run prints between the menu and the next menu, its totals and the
// number of codes masked: the frame tests look at the frame only.
const char* kRunEnd = "<run> Constructed codes: #\n==========================";

std::string maskruns(const std::string& s) {
    const std::string key = " Constructed codes: ";
    std::string out;
    size_t from = 0;
    for (size_t at = s.find(key); at != std::string::npos; at = s.find(key, from)) {
        size_t start = s.rfind("\n RES ", at);
        size_t menuend = s.rfind("\tChoose:", at);
        bool hasres = start != std::string::npos && start >= from &&
                      (menuend == std::string::npos || start > menuend);
        out += s.substr(from, (hasres ? start : at) - from) + "<run>" + key + "#";
        from = s.find_first_not_of("0123456789", at + key.size());
        if (from == std::string::npos) return out;
    }
    return out + s.substr(from);
}

std::string defaultsettings() {
    std::string s = "0\n0\n0\n4\n24\n12\n8\n2\n1\n0\n1\n";
    for (int w = 1; w <= 24; w++) s += w >= 8 ? "1\n" : "0\n";
    for (int i = 2; i <= 12; i++) s += "800\n";
    return s;
}

// A settings text for n, k, d, q, dw, selforth, dual with the given weights.
std::string settingsfor(int n, int k, int d, int q, int dw, int so, int dual, const std::vector<int>& wts,
                        int brute = 0, int bdim = 0, int reserved2 = 4) {
    std::string s = std::to_string(brute) + "\n" + std::to_string(bdim) + "\n0\n" + std::to_string(reserved2) + "\n";
    for (int v : {n, k, d, q, dw, so, dual}) s += std::to_string(v) + "\n";
    for (int w = 1; w <= n; w++) {
        bool on = false;
        for (int x : wts) on = on || x == w;
        s += on ? "1\n" : "0\n";
    }
    for (int i = 2; i <= k; i++) s += "800\n";
    return s;
}

class Console : public ::testing::Test {
   protected:
    tempdir dir;
    std::string settings() const { return readfile(dir.file("res/settings")); }
};

// A fresh start shows the defaults and writes them; neither the end of
// input at any prompt nor the editing of parameters writes the file.
// (Re-prompts, refusals and whole scripts: fuzz_test.cpp.)
TEST_F(Console, FreshStartShowsDefaultsAndOnlyStartWritesTheSettings) {
    runresult r = runtalven(dir.path, "8\n");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, menu(defaults()));
    EXPECT_EQ(settings(), defaultsettings());
    for (const char* input : {"", "2\n10\n", "3\n", "4\n2\n", "5\n", "7\n", "6\n", "2\n10\n3\n4\n2\n2\n0\n8\n"}) {
        tempdir d;
        EXPECT_EQ(runtalven(d.path, input, 20).status, 0) << "input: " << input;
        EXPECT_EQ(readfile(d.file("res/settings")), defaultsettings()) << "input: " << input;
    }
}

// Start saves the parameters of the dialogue and makes the weights and the
// self-orthogonality flag agree first: [24,12,8] with dw = 4 has weights 12
// and 20 that are 4 mod 8, so its codes are doubly even and self-orthogonal;
// over GF(4) a self-orthogonal run drops the odd weights.
TEST_F(Console, StartSavesTheNormalisedSettingsOfTheDialogue) {
    menuview doubly = mk(24, 12, 8, 2, {8, 12, 16, 20, 24}), gf4 = mk(8, 2, 3, 4, {3, 4, 5, 6, 7, 8});
    menuview doublyso = doubly, gf4after = gf4;
    doublyso.so = 1, gf4.so = gf4after.so = 1, gf4after.weights = {4, 6, 8};
    const struct {
        std::string input;
        menuview before, after;
        std::string settings;
    } cases[] = {
        {"2\n10\n3\n4\n2\n2\n0\n1\n8\n", mk(10, 3, 4, 2, {4, 6, 8, 10}), mk(10, 3, 4, 2, {4, 6, 8, 10}),
         settingsfor(10, 3, 4, 2, 2, 0, 1, {4, 6, 8, 10}, 0, 0, 0)},
        {"2\n24\n12\n8\n2\n4\n0\n1\n8\n", doubly, doublyso, ""},
        {"2\n8\n2\n3\n4\n1\n1\n1\n8\n", gf4, gf4after, settingsfor(8, 2, 3, 4, 1, 1, 1, {4, 6, 8}, 0, 0, 0)},
    };
    for (const auto& c : cases) {
        tempdir d;
        runresult r = runtalven(d.path, c.input);
        EXPECT_EQ(maskruns(r.out), menu(defaults()) + kDialogue + menu(c.before) + kRunEnd + menu(c.after)) << c.input;
        const std::string saved = readfile(d.file("res/settings"));
        if (c.settings.empty()) {  // the doubly-even run: dw 4 and the flag in lines 9 and 10
            const std::vector<std::string> lines = splitlines(saved);
            ASSERT_EQ(lines.size(), 46u);
            EXPECT_EQ(lines[8] + lines[9], "41");
        } else {
            EXPECT_EQ(saved, c.settings) << c.input;
        }
    }
}

TEST_F(Console, ProportionalBoundsAndDualDistance) {
    std::string in = "4\n";
    for (int i = 2; i <= 12; i++) in += (i == 5 ? "800\n5\n" : std::to_string(i) + "\n");
    in += "5\n1000\n3\n8\n";
    runresult r = runtalven(dir.path, in);
    std::string want = menu(defaults()) + "Enter the number of proportional column ";
    for (int i = 2; i <= 12; i++) {
        want += "\n in dimension  " + std::to_string(i) + " -> ";
        if (i == 5) want += "ENTER THE INTEGER BETWEEN 1 and 799 ";
    }
    menuview m = defaults();
    for (int i = 2; i <= 12; i++) m.props[i - 2] = i;
    want += menu(m) + "Enter  dual distance :ENTER THE INTEGER BETWEEN 1 and 799 ";
    m.dual = 3;
    want += menu(m);
    EXPECT_EQ(r.out, want);
}

TEST_F(Console, BruteGenerationRunsOnLengthNPlusKAndRestoresN) {
    runresult r = runtalven(dir.path, "2\n10\n3\n4\n2\n1\n0\n5\n4\n6\n0\n2\n8\n");
    r.out = maskruns(r.out);
    menuview m;
    m.n = 10, m.k = 3, m.d = 4, m.q = 2;
    m.weights = {4, 5, 6, 7, 8, 9, 10};
    m.props = {800, 800};
    menuview dual = m;
    dual.dual = 4;
    std::string want = menu(defaults()) + kDialogue + menu(m) + "Enter  dual distance :" + menu(dual);
    want += "Enter  starting dimension < 3 :ENTER THE INTEGER BETWEEN 1 and 3 ";
    want += kRunEnd + menu(m);  // dual distance back to 1, n shown as entered
    EXPECT_EQ(r.out, want);
    EXPECT_EQ(settings(), settingsfor(10, 3, 4, 2, 1, 0, 1, {4, 5, 6, 7, 8, 9, 10}, 1, 2, 0));
}

TEST_F(Console, BruteGenerationRefusesLengthsBeyondTheWeightTable) {
    runresult r = runtalven(dir.path, "2\n790\n10\n4\n2\n1\n0\n6\n8\n");
    EXPECT_NE(r.out.find("\n Brute generation needs n + k <= 799 (here n + k = 800).\n"), std::string::npos);
    EXPECT_EQ(r.out.find("starting dimension"), std::string::npos);
    EXPECT_EQ(settings(), defaultsettings());
}

// A settings file is read back (the dual distance is not: it starts at 1);
// Exit leaves the file alone, Start writes it again as it was.  The default
// weights 8..24 lie beyond n = 5: only the file's weights matter.
TEST_F(Console, SettingsAreReadBackAndDualDistanceIsReset) {
    const struct {
        std::string settings, input;
        menuview m;
        bool ran;
    } cases[] = {
        {settingsfor(5, 2, 2, 3, 1, 0, 4, {2, 3, 5}), "8\n", mk(5, 2, 2, 3, {2, 3, 5}), false},
        {settingsfor(5, 2, 2, 2, 1, 0, 1, {2, 4}), "1\n8\n", mk(5, 2, 2, 2, {2, 4}), true},
    };
    for (const auto& c : cases) {
        tempdir d;
        ASSERT_EQ(system(("mkdir -p '" + d.file("res") + "'").c_str()), 0);
        writefile(d.file("res/settings"), c.settings);
        runresult r = runtalven(d.path, c.input);
        EXPECT_EQ(maskruns(r.out), menu(c.m) + (c.ran ? kRunEnd + menu(c.m) : ""));
        EXPECT_EQ(readfile(d.file("res/settings")), c.settings);
    }
}

TEST_F(Console, UnwritableSettingsAreReportedInOneLineAndTheRunStillStarts) {
    ASSERT_EQ(system(("mkdir -p '" + dir.file("res/settings") + "'").c_str()), 0);
    runresult r = runtalven(dir.path, "1\n8\n");
    r.out = maskruns(r.out);
    EXPECT_EQ(r.status, 0);
    // At Start (a folder can be opened for reading, so start-up took the
    // defaults without writing); the new file beside it does not stay behind.
    EXPECT_EQ(r.err, "Error while writing settings file res/settings: Is a directory\n");
    EXPECT_NE(r.out.find(kRunEnd), std::string::npos);
    EXPECT_EQ(listdir(dir.file("res")), std::vector<std::string>{"settings"});
}

TEST_F(Console, ASettingsFolderRemovedWhileTheMenuIsOpenIsMadeAgain) {
    // The answers come through a pipe that is written only after res/ is gone.
    std::string script = "cd '" + dir.path + "' && mkfifo in && { " + talvenbin() +
                         " < in > out 2> err & pid=$!; exec 3> in; "
                         "while [ ! -f res/settings ]; do sleep 0.01; done; rm -rf res; "
                         "printf '1\\n8\\n' >&3; exec 3>&-; wait $pid; }";
    ASSERT_EQ(system(script.c_str()), 0);
    EXPECT_NE(readfile(dir.file("out")).find(" Constructed codes: 1\n"), std::string::npos);
    EXPECT_EQ(readfile(dir.file("err")), "");
    EXPECT_EQ(settings(), defaultsettings());
}

}  // namespace
