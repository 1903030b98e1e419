// The console program end to end: the binary runs in a temporary working
// directory with a scripted standard input; its whole transcript and the
// settings file it writes are compared with what the menus promise.  Then
// fuzzing of both inputs (settings file, answers) and of the command line:
// every case comes from a seeded generator and names its seed when it fails;
// inputs that once caused trouble stay at the end as fixed cases.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <random>
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

// A settings text for n, k, d, q, dw, selforth, dual with the given weights.
std::string settingsfor(int n, int k, int d, int q, int dw, int so, int dual, const std::vector<int>& wts,
                        int brute = 0, int bdim = 0, int unusedline4 = 4) {
    std::string s = std::to_string(brute) + "\n" + std::to_string(bdim) + "\n0\n" + std::to_string(unusedline4) + "\n";
    for (int v : {n, k, d, q, dw, so, dual}) s += std::to_string(v) + "\n";
    for (int w = 1; w <= n; w++) {
        bool on = false;
        for (int x : wts) on = on || x == w;
        s += on ? "1\n" : "0\n";
    }
    for (int i = 2; i <= k; i++) s += "800\n";
    return s;
}
std::string defaultsettings() { return settingsfor(24, 12, 8, 2, 1, 0, 1, defaults().weights); }

class Console : public ::testing::Test {
   protected:
    tempdir dir;
    std::string settings() const { return readfile(dir.file("res/settings")); }
};

// A fresh start shows the defaults and writes them; neither the end of
// input at any prompt nor the editing of parameters writes the file.
// (Re-prompts, refusals and whole scripts: the fuzzers below.)
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

TEST_F(Console, BruteGenerationRefusesLengthsBeyondTheWeightTable) {
    runresult r = runtalven(dir.path, "2\n790\n10\n4\n2\n1\n0\n6\n8\n");
    EXPECT_NE(r.out.find("\n Brute generation needs n + k <= 799 (here n + k = 800).\n"), std::string::npos);
    EXPECT_EQ(r.out.find("starting dimension"), std::string::npos);
    EXPECT_EQ(settings(), defaultsettings());
}

TEST_F(Console, UnwritableSettingsAreReportedInOneLineAndTheRunStillStarts) {
    ASSERT_EQ(system(("mkdir -p '" + dir.file("res/settings") + "'").c_str()), 0);
    runresult r = runtalven(dir.path, "1\n8\n");
    EXPECT_EQ(r.status, 0);
    // At Start (a folder can be opened for reading, so start-up took the
    // defaults without writing); the new file beside it does not stay behind.
    EXPECT_EQ(r.err, "Error while writing settings file res/settings: Is a directory\n");
    EXPECT_NE(maskruns(r.out).find(kRunEnd), std::string::npos);
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

using rng = std::mt19937;
using lines = std::vector<std::string>;

const std::string kNotInt = "Please enter an integer: ";

// Reads a menu back into `m`; true when `s` is exactly one menu.
bool parsemenu(const std::string& s, menuview& m) {
    m = menuview();
    const std::string wh = "With weights:\n", ph = "\n \t\t Proportional columns:\n";
    size_t g = s.find("Generate ["), a = s.find(wh), b = s.find(ph), c = s.find("\n\n\n\t1. Start"),
           du = s.find("\t5. Dual distance ");
    if (du == std::string::npos || !(g < a && a < b && b < c && c < du) ||
        sscanf(s.c_str() + g, "Generate [%d,%d,%d;%d]", &m.n, &m.k, &m.d, &m.q) != 4 ||
        sscanf(s.c_str() + du, "\t5. Dual distance %d", &m.dual) != 1)
        return false;
    m.so = s.find(" -- self-orthogonal") != std::string::npos;
    auto list = [&](size_t p, size_t to, const char* fmt, std::vector<int>& out) {
        for (int i, v, used = 0; p < to; out.push_back(v), p += used, used = 0)
            if (sscanf(s.c_str() + p, fmt, &i, &v, &used) != 2 || used == 0) return false;
        return true;
    };
    return list(a + wh.size(), b, " wt%d= %d,%n", m.weights) && list(b + ph.size(), c, " d%d->%d,%n", m.props) &&
           menu(m) == s;
}

int pick(rng& g, int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(g); }
const std::string& oneof(rng& g, const lines& v) { return v[pick(g, 0, (int)v.size() - 1)]; }
int tinylimit(int q) { return q == 2 ? 7 : q == 3 ? 6 : q == 4 ? 5 : 4; }  // lengths whose runs take no time
bool supported(int64_t q) { return q == 2 || q == 3 || q == 4 || q == 5 || q == 7; }
// What the menu shown after reading any settings file must satisfy.
bool sane(const menuview& m) {
    for (size_t i = 0; i < m.weights.size(); i++)
        if (m.weights[i] < 1 || m.weights[i] > m.n || (i > 0 && m.weights[i] <= m.weights[i - 1])) return false;
    for (int p : m.props)
        if (p < 1 || p > 800) return false;
    return m.k >= 1 && m.k <= 19 && m.k <= m.n && m.n <= 799 && m.d >= 1 && m.d <= m.n && supported(m.q) &&
           (int)m.props.size() == m.k - 1 && m.dual == 1;
}
int count(const std::string& s, const std::string& key) {
    int c = 0;
    for (size_t p = s.find(key); p != std::string::npos; p = s.find(key, p + key.size())) c++;
    return c;
}
std::string join(const lines& l, bool crlf = false, bool lastnl = true) {
    std::string s;
    for (size_t i = 0; i < l.size(); i++) s += l[i] + (i + 1 < l.size() || lastnl ? (crlf ? "\r\n" : "\n") : "");
    return s;
}
// An input in a readable form for a failure message.
std::string shown(const std::string& s) { return testing::PrintToString(s.substr(0, 400)); }
// Runs the program on `input` in `dir`, with `settings` as its settings file (none when null).
runresult runin(const tempdir& dir, const std::string* settings, const std::string& input) {
    if (settings) mkdir(dir.file("res").c_str(), 0777), writefile(dir.file("res/settings"), *settings);
    return runtalven(dir.path, input, 30);
}
// Every run must end by itself with status 0 and print nothing on stderr
// (a sanitizer report, or status 3 from the assertion handler, is a fault).
void checkclean(const runresult& r, const std::string& where) {
    EXPECT_EQ(r.status, 0) << where << (r.status == 124 ? " (time-out)" : r.status == 3 ? " (assertion)" : "");
    EXPECT_EQ(r.err, "") << where;
}

// A number as a decimal reading takes it, saturated far beyond 32 bits: an
// optional sign and digits only; false for anything else (010 is ten, 0x7 nothing).
bool decimalvalue(const std::string& s, int64_t& v) {
    size_t i = !s.empty() && (s[0] == '+' || s[0] == '-');
    if (i == s.size()) return false;
    v = 0;
    for (; i < s.size(); i++) {
        if (s[i] < '0' || s[i] > '9') return false;
        v = v > INT64_MAX / 20 ? INT64_MAX / 20 : 10 * v + (s[i] - '0');
    }
    if (s[0] == '-') v = -v;
    return true;
}

// The lines of a valid settings file; `want` is the menu they must give.
lines validfile(rng& g, bool tiny, menuview& want) {
    const int qs[] = {2, 3, 4, 5, 7};
    int q = qs[pick(g, 0, 4)], n = pick(g, 1, tiny ? tinylimit(q) : 30), k = pick(g, 1, std::min(n, tiny ? 3 : 19));
    want = mk(n, k, pick(g, 1, n), q, {});
    want.so = pick(g, 0, 1);
    lines l;
    for (int v : {pick(g, 0, 1), pick(g, 0, 19), pick(g, -5, 5), pick(g, 0, 9), n, k, want.d, q, pick(g, 1, n),
                  want.so, pick(g, 1, 799)})
        l.push_back(std::to_string(v));
    for (int w = 1; w <= n; w++)
        if (l.push_back(pick(g, 0, 1) ? "1" : "0"), l.back() == "1") want.weights.push_back(w);
    for (int& p : want.props) p = pick(g, 1, 799), l.push_back(std::to_string(p));
    return l;
}

// The menu a file of one value per line must give: the values up to the first
// garbled line (or the end) count, everything after keeps its default, and a
// parameter set out of bounds falls back to the defaults as a whole.
menuview readmodel(const lines& l) {
    std::vector<int64_t> t;  // the values read (a '+' is garbled in this file)
    int64_t x;
    for (const std::string& s : l) {
        if (s[0] == '+' || !decimalvalue(s, x)) break;
        t.push_back(x);
    }
    int64_t v[11] = {0, 0, 0, 4, 24, 12, 8, 2, 1, 0, 1};
    for (size_t i = 0; i < t.size() && i < 11; i++) v[i] = t[i];
    const int64_t n = v[4], k = v[5], d = v[6], q = v[7], dw = v[8];
    menuview m = defaults();
    m.so = -1;  // the flag is not part of the parameter set
    if (n < 1 || n > 799 || k < 1 || k > 19 || k > n || d < 1 || d > n || !supported(q) || dw < 1 || dw > n) return m;
    m = mk((int)n, (int)k, (int)d, (int)q, {});
    m.so = v[9] == 1;
    size_t at = 11;  // a flag or bound out of its range keeps its default
    for (int w = 1; w <= n; w++, at++)
        if (at < t.size() && (t[at] == 0 || t[at] == 1) ? t[at] == 1 : w >= 8 && w <= 24) m.weights.push_back(w);
    for (int& p : m.props)
        if (at++ < t.size() && t[at - 1] >= 1 && t[at - 1] <= 799) p = (int)t[at - 1];
    return m;
}

const lines kHuge = {"4294967300", "99999999999999999999", "-99999999999999999999", "-1", "0", "800",
                     "123456789012345678901234567890", "-4294967291", std::string(5000, '9')};

// One settings case: the text and, unless it was damaged at random, the menu it must give.
std::string makesettings(rng& g, bool& exact, menuview& want) {
    lines l = validfile(g, false, want);
    int kind = pick(g, 0, 5), i = pick(g, 0, (int)l.size() - 1), j, f = pick(g, 4, 8);
    exact = kind != 5;
    lines bad = kHuge;  // for n, k, d, q, dw: out of bounds, or 2^32 away from the value
    for (long long x : {want.n + 1LL, 20LL, 6LL, 8LL, std::stoll(l[f]) + 4294967296LL, std::stoll(l[f]) - 4294967296LL})
        bad.push_back(std::to_string(x));
    if (kind == 1) l[f] = oneof(g, bad);
    if (kind == 2) l.resize(pick(g, 0, (int)l.size()));  // ends early, at a line end
    if (kind == 3) l[i] = oneof(g, {"abc", "5x", "1.5", "0x1", "--3", "x7", "7-", "\x01", "3\xff"});
    if (kind == 4) l[i] = oneof(g, kHuge);
    for (int ops = kind == 5 ? pick(g, 1, 3) : 0; ops > 0 && !l.empty(); ops--) {
        i = pick(g, 0, (int)l.size() - 1), j = pick(g, 0, (int)l.size() - 1);
        std::string junk;
        for (int b = pick(g, 1, 40); b > 0; b--) junk += (char)pick(g, 0, 255);
        switch (pick(g, 0, 5)) {
            case 0: l.erase(l.begin() + i); break;
            case 1: l.insert(l.begin() + i, std::string(l[j])); break;
            case 2: std::swap(l[i], l[j]); break;
            case 3: l[i] = oneof(g, {"", " ", " 7 8", "\t12\t", std::string(300, 'a'), std::string("3\0 4", 4)}); break;
            case 4: l.insert(l.begin() + i, junk); break;
            default: l.resize(i);
        }
    }
    if (exact) want = readmodel(l);
    bool crlf = pick(g, 0, 3) == 0, lastnl = pick(g, 0, 3) != 0;
    std::string text = join(l, crlf, lastnl);
    if (kind == 5 && pick(g, 0, 3) == 0) text.resize(pick(g, 0, (int)text.size()));  // cut inside a line
    return text;
}

TEST(FuzzSettings, AnyFileGivesOneSaneMenuAndStaysUntouched) {
    for (unsigned seed = 1000; seed < 1150; seed++) {
        rng g(seed);
        bool exact;
        menuview want, got;
        const std::string text = makesettings(g, exact, want);
        const std::string where = "settings seed " + std::to_string(seed) + ", file: " + shown(text);
        tempdir dir;
        runresult r = runin(dir, &text, "8\n");
        checkclean(r, where);
        if (!parsemenu(r.out, got)) {
            ADD_FAILURE() << where << "\nnot one menu: " << shown(r.out);
            continue;
        }
        EXPECT_TRUE(sane(got)) << where << "\n" << r.out;
        want.so = want.so < 0 ? got.so : want.so;
        EXPECT_TRUE(!exact || r.out == menu(want)) << where << "\nwant: " << menu(want) << "\ngot:  " << r.out;
        EXPECT_EQ(readfile(dir.file("res/settings")), text) << where << " (Exit changed the file)";
    }
}

// Lines every numeric reader refuses as "not an integer".  None starts with 1
// or 6, so a script cut inside one at the menu cannot start a run.
const lines kNotIntLines = {"abc", "5x", "", " 7 8", "7 ", "0x10", "2.5", "\r", "-", "+", "8 8\r",
                            std::string(99, '9'), std::string(120, 'z'), std::string(98, '0') + "5",
                            std::string(97, 'a') + "8", std::string("3\0", 2), std::string(1, '\0')};
// Lines the y/n reader asks again silently, and its answers.
const lines kNotYN = {"x", "", "\r", "maybe", "1", " y", "Q", "y" + std::string(59, 'e'), "n" + std::string(48, 'o'),
                      std::string("y\0", 2), std::string("\0n", 2)};
const lines kYes = {"y", "Y", "yes", "Yes", "y" + std::string(47, 'e')};
const lines kNo = {"n", "N", "no", "No", "n" + std::string(47, 'o')};

// A script of answers built along with the state the program must reach.
struct script {
    rng g;
    std::string in, reprompts;  // the re-prompts the refused lines must cause, in order
    lines refusals;
    int runs = 0, menus = 0, weightprompts = 0, so = 0;
    menuview sim = defaults();

    void line(const std::string& s) { in += s + (pick(g, 0, 3) == 0 ? "\r\n" : "\n"); }
    // Zero or more refused lines, then `v`, for a reader of lo..hi.
    void answer(int lo, int hi, int v) {
        while (pick(g, 0, 3) == 0) {
            std::string up = std::to_string(hi + 1);
            const lines outside = {std::to_string(lo - 1), up, std::to_string(4294967296LL + v),  // wraps to v
                                   std::string(98 - up.size(), '0') + up, "4294967300", "99999999999999999999",
                                   "-99999999999999999999", "923456789012345678901234567890"};
            bool notint = pick(g, 0, 1);
            line(oneof(g, notint ? kNotIntLines : outside));
            reprompts += notint ? kNotInt : "ENTER THE INTEGER BETWEEN " + std::to_string(lo) + " and " +
                                                std::to_string(hi) + " ";
        }
        std::string s = std::to_string(v);
        int pad = pick(g, 0, 9);
        line((pad == 0 ? std::string(98 - s.size(), '0') : std::string(pad == 1 ? pick(g, 1, 5) : 0, '0')) + s);
    }
    void choose(int c) { answer(1, 8, c), menus++; }
    void dialogue() {
        const int qs[] = {2, 3, 4, 5, 7, 1, 6, 8};
        int q = pick(g, 0, 9) < 7 ? qs[pick(g, 0, 4)] : qs[pick(g, 5, 7)], r = pick(g, 0, 9);
        int n = r < 6 ? pick(g, 1, tinylimit(q)) : r < 9 ? pick(g, 8, 40) : pick(g, 100, 799);
        int k = n < 19 && pick(g, 0, 3) == 0 ? pick(g, n + 1, 19) : pick(g, 1, std::min(n, pick(g, 0, 2) ? 3 : 19));
        int d = pick(g, 1, n), dw = pick(g, 0, 1) ? 1 : pick(g, 1, n);
        so = pick(g, 0, 1);
        choose(2);
        answer(1, 799, n), answer(1, 19, k), answer(1, n, d), answer(1, 8, q), answer(1, n, dw), answer(0, 1, so);
        sim = mk(n, k, d, q, {});
        for (int w = (d + dw - 1) / dw * dw; w <= n; w += dw) sim.weights.push_back(w);
    }
    void weights() {
        choose(3);
        std::vector<int> keep;
        for (int w : sim.weights) {
            while (pick(g, 0, 4) == 0) line(oneof(g, kNotYN));
            bool yes = pick(g, 0, 9) < 7;
            if (line(oneof(g, yes ? kYes : kNo)), weightprompts++, yes) keep.push_back(w);
        }
        sim.weights = keep;
    }
    void run(bool brute) {
        choose(brute ? 6 : 1);
        const std::string q = std::to_string(sim.q), k = std::to_string(sim.k), n = std::to_string(sim.n);
        if (!supported(sim.q))
            return refusals.push_back("\n Field size q=" + q + " is not supported: choose q = 2, 3, 4, 5 or 7.\n");
        if (sim.k > sim.n)
            return refusals.push_back("\n Dimension k=" + k + " is larger than the length n=" + n + ": choose k <= n.\n");
        if (brute) answer(1, sim.k, pick(g, 1, sim.k)), sim.dual = 1, sim.props.assign(sim.k - 1, 800);
        runs++;
        std::vector<int> keep;  // a self-orthogonal run keeps only the weights such codes can have
        for (int w : sim.weights)
            if (so != 1 || sim.q > 4 || w % (sim.q == 3 ? 3 : 2) == 0) keep.push_back(w);
        sim.weights = keep;
    }
};

// A script; it starts from the defaults, or from a small valid settings file put in `preset`.
script makescript(unsigned seed, std::string& preset) {
    script s;
    s.g.seed(seed);
    if (pick(s.g, 0, 1)) preset = join(validfile(s.g, true, s.sim)), s.so = s.sim.so;
    for (int steps = pick(s.g, 2, 7); steps > 0; steps--) {
        int a = pick(s.g, 0, 19);  // Start and brute generation only where they refuse or take no time
        bool instant = !supported(s.sim.q) || s.sim.k > s.sim.n || (s.sim.n <= tinylimit(s.sim.q) && s.sim.k <= 3);
        if (a < 6 || (a >= 14 && !instant)) s.dialogue();
        else if (a < 9) s.weights();
        else if (a < 11) s.choose(4);
        else if (a < 13) s.choose(5), s.sim.dual = pick(s.g, 1, 799), s.answer(1, 799, s.sim.dual);
        else if (a < 14) s.choose(7), s.line(oneof(s.g, {"", "8", "1", std::string(200, 'x'), std::string(1, '\0')}));
        else s.run(a >= 17);
        for (int& p : s.sim.props)
            if (a >= 9 && a < 11) p = pick(s.g, 1, 799), s.answer(1, 799, p);
    }
    s.choose(8);
    return s;
}

// The re-prompts in a transcript, in order.
std::string repromptsof(const std::string& out) {
    const std::string key = "ENTER THE INTEGER BETWEEN ";
    std::string seen;
    for (size_t p = 0, a, b; (a = out.find(kNotInt, p)) != (b = out.find(key, p));) {
        size_t e = a < b ? a + kNotInt.size() : out.find(' ', out.find(" and ", b) + 5) + 1;
        seen += out.substr(std::min(a, b), e - std::min(a, b)), p = e;
    }
    return seen;
}

TEST(FuzzMenu, ScriptedAnswersLeaveThePredictedState) {
    for (unsigned seed = 5000; seed < 5150; seed++) {
        std::string preset;
        script s = makescript(seed, preset);
        bool cut = seed % 4 == 3;  // the end of input anywhere: a clean exit is all there is to check
        const std::string in = cut ? s.in.substr(0, pick(s.g, 0, (int)s.in.size() - 1)) : s.in;
        const std::string where = "menu seed " + std::to_string(seed) + ", settings: " + shown(preset) +
                                  "\ninput: " + shown(in);
        tempdir dir;
        runresult r = runin(dir, preset.empty() ? nullptr : &preset, in);
        checkclean(r, where);
        if (cut) continue;
        EXPECT_EQ(repromptsof(r.out), s.reprompts) << where;
        EXPECT_EQ(count(r.out, "\tChoose:"), s.menus) << where;
        EXPECT_EQ(count(r.out, "\n Weight "), s.weightprompts) << where;
        EXPECT_EQ(count(r.out, " Constructed codes: "), s.runs) << where;
        EXPECT_EQ(count(r.out, "Constructed codes before the stop"), 0) << where;
        EXPECT_EQ(count(r.out, "\n Field size q=") + count(r.out, "\n Dimension k="), (int)s.refusals.size()) << where;
        for (const std::string& t : s.refusals) EXPECT_NE(r.out.find(t), std::string::npos) << where << "\nno " << t;
        // The last menu; the lines refused before the final Exit are answered after it.
        size_t last = r.out.rfind("\n\t Generating"), end = r.out.find("\tChoose:", last);
        menuview got;
        if (end == std::string::npos || !parsemenu(r.out.substr(last, end + 8 - last), got)) {
            ADD_FAILURE() << where << "\nno last menu";
            continue;
        }
        s.sim.so = got.so;  // not followed here: a run may set it from the weights
        EXPECT_EQ(menu(got), menu(s.sim)) << where;
    }
}

// A number in one of the spellings users and scripts produce.
std::string spelled(rng& g, int v) {
    const std::string d = std::to_string(v);
    switch (pick(g, 0, 9)) {
        case 0: return "0" + d;
        case 1: return "+" + d;
        case 2: return oneof(g, {"0x" + d, d + ".0", " " + d, d + "x", "", "-" + d, "1e1", d + "\n"});
        case 3: return oneof(g, {"4294967296", "4294967298", "99999999999999999999", "-4294967295"});
        default: return d;
    }
}

// Seeded command lines over tiny runs, each number spelled at random and
// random options added.  Every command ends with 0, 1 or 2; a refusal (2)
// is one line on stderr and writes nothing; an accepted run reports the
// parameters a decimal reading of its options gives, never a number read
// in another base or wrapped, and its result passes the checker.
TEST(FuzzCommandLine, EveryCommandIsRefusedInOneLineOrRunsWhatItSays) {
    rng g(2027);
    const lines extras = {"--dual 2", "--dw 2", "--selforth", "--selforth=false", "--weights 2,4-5", "--weights 3,",
                          "--prop 2=2", "--prop 1", "--jobs 2", "--jobs 100000", "--part 0/2", "--part 2/2",
                          "--brute 1", "--equivalence linear", "--memory 1", "--split-level 1", "--format plain",
                          "--stats", "--weights 4294967299", "--jobs 0x2"};
    int ran = 0;
    for (int trial = 0; trial < 60; trial++) {
        const int q = oneof(g, {"2", "3", "4", "5", "7"})[0] - '0', n = pick(g, 1, tinylimit(q)), k = pick(g, 1, n),
                  d = pick(g, 1, n);
        std::string nt = spelled(g, n), kt = spelled(g, k), dt = spelled(g, d), qt = spelled(g, q);
        std::string args = "-n '" + nt + "' -k '" + kt + "' -d '" + dt + "' -q '" + qt + "' --quiet";
        for (int e = pick(g, 0, 2); e > 0; e--) args += " " + oneof(g, extras);
        SCOPED_TRACE("trial " + std::to_string(trial) + ": " + shown(args));
        tempdir dir;
        runresult r = runcommand(dir.path, args);
        ASSERT_TRUE(r.status == 0 || r.status == 1 || r.status == 2) << r.status << " " << r.err;
        int64_t vn, vk, vd, vq;
        const bool decimal = decimalvalue(nt, vn) && decimalvalue(kt, vk) && decimalvalue(dt, vd) && decimalvalue(qt, vq);
        if (r.status == 2) {
            EXPECT_EQ(r.out, "");
            EXPECT_EQ(r.err.rfind("talven: ", 0), 0u) << r.err;
            EXPECT_EQ(count(r.err, "\n"), 1) << r.err;
            EXPECT_EQ(listdir(dir.path), lines{}) << "a refused command wrote something";
            continue;
        }
        ASSERT_TRUE(decimal) << "a number that is not decimal was accepted: " << r.out;
        if (r.status != 0) continue;
        const bool part = args.find("--part") != std::string::npos;
        int64_t gn = -1, gk = -1, gd = -1, gq = -1;
        const size_t at = r.out.find(" n=");
        ASSERT_NE(at, std::string::npos) << r.out;
        ASSERT_EQ(sscanf(r.out.c_str() + at, " n=%ld k=%ld d=%ld q=%ld", &gn, &gk, &gd, &gq), 4) << r.out;
        EXPECT_EQ(r.out.rfind(part ? "part=0/2 " : "codes=", 0), 0u) << r.out;
        EXPECT_EQ(std::vector<int64_t>({gn, gk, gd, gq}), std::vector<int64_t>({vn, vk, vd, vq})) << r.out;
        EXPECT_EQ(count(r.out, "\n"), 1) << r.out;
        if (part) continue;
        ran++;
        const std::string name =
            runname((int)vn, (int)vk, (int)vd, (int)vq) + (args.find("--brute") != std::string::npos ? "b" : "");
        runresult c = runcommand(dir.path, "check " + name);
        EXPECT_EQ(c.status, 0) << c.out << c.err;
    }
    EXPECT_GT(ran, 10);
}

// Whole transcripts of fixed answers and the settings file they leave.  Start
// saves the dialogue's parameters with the weights and the self-orthogonality
// flag made to agree: [24,12,8] with dw = 4 has weights 12 and 20 that are 4
// mod 8, so its codes are doubly even and self-orthogonal; over GF(4) a
// self-orthogonal run drops the odd weights.  Brute generation runs on length
// n + k, then shows n as entered and the dual distance back at 1.  A settings
// file is read back but for its dual distance.  Then inputs that once caused
// trouble (the fuzzers make the others: 98- and 99-character numbers, 2^32 + v,
// NUL bytes, long y/n lines, CRLF).
TEST_F(Console, TranscriptsAndTheSettingsTheyLeave) {
    const menuview def = defaults(), ten = mk(10, 3, 4, 2, {4, 6, 8, 10}), small = mk(5, 2, 2, 2, {2, 4});
    menuview doubly = mk(24, 12, 8, 2, {8, 12, 16, 20, 24}), gf4 = mk(8, 2, 3, 4, {3, 4, 5, 6, 7, 8});
    menuview doublyso = doubly, gf4after = gf4, brute = mk(10, 3, 4, 2, {4, 5, 6, 7, 8, 9, 10});
    doublyso.so = 1, gf4.so = gf4after.so = 1, gf4after.weights = {4, 6, 8};
    const std::string five = settingsfor(5, 2, 2, 3, 1, 0, 1, {2, 4});  // lines 5, 6, 7: n, k, d
    const std::string dual = "Enter  dual distance :", start = menu(def) + kDialogue;
    // Bounds on proportional columns, then a dual distance, each with one answer refused.
    menuview props = defaults();
    std::string propsin = "4\n", propsout = menu(def) + "Enter the number of proportional column ";
    for (int i = 2; i <= 12; i++) {
        propsin += i == 5 ? "800\n5\n" : std::to_string(i) + "\n";
        propsout += "\n in dimension  " + std::to_string(i) + " -> " + (i == 5 ? "ENTER THE INTEGER BETWEEN 1 and 799 " : "");
        props.props[i - 2] = i;
    }
    menuview propsdual = props;
    propsdual.dual = 3;
    // Name, settings file (empty: none), input, transcript, settings saved (empty: unchanged).
    const std::vector<std::tuple<std::string, std::string, std::string, std::string, std::string>> cases = {
        {"Start saves the dialogue", "", "2\n10\n3\n4\n2\n2\n0\n1\n8\n", start + menu(ten) + kRunEnd + menu(ten),
         settingsfor(10, 3, 4, 2, 2, 0, 1, ten.weights, 0, 0, 0)},
        {"doubly even", "", "2\n24\n12\n8\n2\n4\n0\n1\n8\n", start + menu(doubly) + kRunEnd + menu(doublyso),
         settingsfor(24, 12, 8, 2, 4, 1, 1, doubly.weights, 0, 0, 0)},
        {"self-orthogonal over GF(4)", "", "2\n8\n2\n3\n4\n1\n1\n1\n8\n", start + menu(gf4) + kRunEnd + menu(gf4after),
         settingsfor(8, 2, 3, 4, 1, 1, 1, {4, 6, 8}, 0, 0, 0)},
        {"brute generation", "", "2\n10\n3\n4\n2\n1\n0\n5\n4\n6\n0\n2\n8\n",
         start + menu(brute) + dual + menu(mk(10, 3, 4, 2, brute.weights, 4)) +
             "Enter  starting dimension < 3 :ENTER THE INTEGER BETWEEN 1 and 3 " + kRunEnd + menu(brute),
         settingsfor(10, 3, 4, 2, 1, 0, 1, brute.weights, 1, 2, 0)},
        {"proportional columns and dual distance", "", propsin + "5\n1000\n3\n8\n",
         propsout + menu(props) + dual + "ENTER THE INTEGER BETWEEN 1 and 799 " + menu(propsdual), ""},
        {"settings read back", settingsfor(5, 2, 2, 3, 1, 0, 4, {2, 3, 5}), "8\n", menu(mk(5, 2, 2, 3, {2, 3, 5})), ""},
        {"settings written again", settingsfor(5, 2, 2, 2, 1, 0, 1, {2, 4}), "1\n8\n",
         menu(small) + kRunEnd + menu(small), ""},
        {"100-digit number at the menu", "", std::string(100, '9') + "\n8\n", menu(def) + kNotInt, ""},
        {"99 letters then 8 on one line", "", std::string(99, 'a') + "8\n5\n3\n8\n",
         menu(def) + kNotInt + dual + menu(defaults(3)), ""},
        {"end of input inside the dialogue", "", "2\n5\n", menu(def) + "\n Enter n = \n Enter k = ", ""},
        {"last line without newline", "", "5\n7", menu(def) + dual + menu(defaults(7)), ""},
        {"settings k = 4294967300", withline(five, 6, "4294967300"), "8\n", menu(def), ""},
        {"settings n = 5 - 2^32", withline(five, 5, "-4294967291"), "8\n", menu(def), ""},
        {"settings with k > n", withline(withline(five, 5, "1"), 7, "1"), "8\n", menu(def), ""},
    };
    for (const auto& [name, file, input, want, saved] : cases) {
        tempdir dir;
        runresult r = runin(dir, file.empty() ? nullptr : &file, input);
        checkclean(r, name);
        EXPECT_EQ(maskruns(r.out), want) << name;
        const std::string kept = !saved.empty() ? saved : !file.empty() ? file : defaultsettings();
        EXPECT_EQ(readfile(dir.file("res/settings")), kept) << name;
    }
}

}  // namespace
