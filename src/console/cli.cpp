// The command line (see cli.h).  Options are parsed by CLI11; every value
// is then checked against the parameter table before anything is written.
#include "field/field.h"
#include "console/cli.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <CLI/CLI.hpp>
#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <map>
#include <thread>

#include "console/filecommands.h"
#include "engine/bounds.h"
#include "fileio/checked.h"
#include "params/codeset.h"
#include "params/settings.h"
#include "run/parallel.h"
#include "run/parts.h"

namespace {

constexpr const char* VERSION = "talven 1.1";

// The numbers of the command line are taken as text and read by `decimal`
// (the conversions of the option parser would read 010 as octal and 0x7 as
// hexadecimal, and wrap what does not fit).
struct options {
    std::string n, k, d, q, dw, dual, brute;  // the parameters, as given
    std::string weights;              // "8,12,16-20"
    std::vector<std::string> props;   // "D=B" or "B"
    bool selforth = false;
    std::string outdir;
    std::string jobs = "1";
    std::string part;                 // "I/M"
    std::string split = "0";
    std::string memory = std::to_string(DEFAULT_BUDGET >> 20);  // MiB per thread
    bool resume = false, quiet = false, settings = false, savesettings = false;
    std::string merge;
    std::string equivalence = "semilinear";
    std::string format;               // the export of the result file ("" : none)
    bool stats = false;               // and the facts of its codes
    bool complete = false;            // --complete-levels: no target bounds, the menu's h file
};

// The most threads a run takes: each costs a classifier's workspace (a few
// MiB) and a memory budget, so more than this only exhausts the machine.
constexpr int64_t MAXJOBS = 1024;

// One line on standard error: control characters of a value the user gave
// (a newline in an argument) are shown as \xNN, so the message stays one line.
void sayerror(const std::string& why) {
    std::string line;
    for (unsigned char c : why) {
        if (c < 0x20 || c == 0x7f) {
            char hex[8];
            snprintf(hex, sizeof hex, "\\x%02X", c);
            line += hex;
        } else {
            line += (char)c;
        }
    }
    fprintf(stderr, "talven: %s\n", line.c_str());
}

int refuse(const std::string& why) {
    sayerror(why);
    return 2;
}

int failed(const std::string& why) {
    sayerror(why);
    return 1;
}

// A decimal number as the menu reads one: an optional sign and digits, and
// nothing else.  Numbers beyond 64 bits are saturated, so they are out of
// every bound and never wrap.
bool decimal(const std::string& text, int64_t& v) {
    size_t at = text.size() > 0 && (text[0] == '+' || text[0] == '-') ? 1 : 0;
    if (at == text.size()) return false;
    const bool negative = text[0] == '-';
    v = 0;
    for (; at < text.size(); at++) {
        if (text[at] < '0' || text[at] > '9') return false;
        const int digit = text[at] - '0';
        v = v > (INT64_MAX - digit) / 10 ? INT64_MAX : v * 10 + digit;
    }
    if (negative) v = -v;
    return true;
}

// The value of option `opt` as a decimal number within lo..hi; "" or the
// complaint.
std::string number(const char* opt, const std::string& text, int64_t lo, int64_t hi, int64_t& v) {
    if (!decimal(text, v)) return std::string(opt) + ": \"" + text + "\" is not a decimal number";
    if (v < lo || v > hi)
        return std::string(opt) + ": " + text + " is out of bounds (" + std::to_string(lo) + ".." + std::to_string(hi) + ")";
    return "";
}

// Checks one scalar against the parameter table; "" or the complaint.
std::string bounded(int32_t ParamRecord::*field, const ParamRecord& p, const std::string& text, int64_t v) {
    const ParamDef& d = paramdef(field);
    if (inbounds(d, p, v)) return "";
    return std::string(d.name) + "=" + text + " is out of bounds (" + std::to_string(d.lo) + ".." +
           std::to_string(upperbound(d, p)) + ")";
}

// "8,12,16-20" into the allowed weights of p (1..n); "" or the complaint.
// Every item is a weight or a range a-b of decimal numbers, nothing else.
std::string parseweights(const std::string& text, ParamRecord& p) {
    for (int w = 1; w < MAXLEN; w++) p.wt[w] = 0;
    size_t at = 0;
    for (;;) {
        size_t end = text.find(',', at);
        if (end == std::string::npos) end = text.size();
        const std::string item = text.substr(at, end - at);
        if (item.empty()) return "--weights: \"" + text + "\" has an empty item";
        const size_t dash = item.find('-', 1);
        int64_t a = 0, b = 0;
        const bool ok = dash == std::string::npos
                            ? decimal(item, a) && (b = a, true)
                            : decimal(item.substr(0, dash), a) && decimal(item.substr(dash + 1), b);
        if (!ok || item[0] == '+' || item[0] == '-' || (dash != std::string::npos && !isdigit((unsigned char)item[dash + 1])))
            return "--weights: \"" + item + "\" is not a weight or a range a-b";
        if (a < 1 || b > p.n || a > b) return "--weights: " + item + " is not within 1.." + std::to_string(p.n);
        for (int64_t w = a; w <= b; w++) p.wt[w] = 1;
        if (end == text.size()) return "";
        at = end + 1;
    }
}

// "D=B" (dimension D) or "B" (every dimension); "" or the complaint.
std::string parseprop(const std::string& item, ParamRecord& p) {
    int64_t D = 0, B = 0;
    const size_t eq = item.find('=');
    const bool ok = eq == std::string::npos ? decimal(item, B)
                                            : decimal(item.substr(0, eq), D) && decimal(item.substr(eq + 1), B);
    if (!ok) return "--prop: \"" + item + "\" is not D=B or B";
    if (eq == std::string::npos) D = 0;
    if (B < propdef.lo || B > propdef.hi)
        return "--prop: " + std::to_string(B) + " is out of bounds (" + std::to_string(propdef.lo) + ".." +
               std::to_string(propdef.hi) + ")";
    if (eq == std::string::npos) {
        for (int i = 2; i <= p.k; i++) p.propcol[i] = (int32_t)B;
    } else {
        if (D < 2 || D > p.k) return "--prop: dimension " + item.substr(0, eq) + " is not within 2.." + std::to_string(p.k);
        p.propcol[D] = (int32_t)B;
    }
    return "";
}

// The parameter record of the command line; "" or the complaint.
std::string makerecord(const options& o, ParamRecord& p, const CLI::App& app) {
    if (o.settings) {
        if (!readsettings(p, std::string(RES_DIR) + "/settings")) return "no settings file " RES_DIR "/settings";
    } else {
        setdefaults(p);
        for (int w = 1; w < MAXLEN; w++) p.wt[w] = 0;
    }
    auto given = [&](const char* name) { return app.count(name) > 0; };
    if (!o.settings)
        for (const char* need : {"-n", "-k", "-d", "-q"})
            if (!given(need)) return std::string("a run needs ") + need + " (or --settings)";
    struct {
        const char* opt;
        int32_t ParamRecord::*field;
        const std::string& text;
    } scalars[] = {{"-n", &ParamRecord::n, o.n},      {"-k", &ParamRecord::k, o.k},
                   {"-d", &ParamRecord::d, o.d},      {"-q", &ParamRecord::q, o.q},
                   {"--dw", &ParamRecord::dw, o.dw},  {"--dual", &ParamRecord::dualdist, o.dual}};
    for (auto& s : scalars) {
        if (!given(s.opt)) continue;
        int64_t v = 0;
        if (!decimal(s.text, v)) return std::string(s.opt) + ": \"" + s.text + "\" is not a decimal number";
        std::string why = bounded(s.field, p, s.text, v);
        if (!why.empty()) return why;
        p.*s.field = (int32_t)v;
    }
    if (!o.settings && !given("--dual")) p.dualdist = 1;
    if (given("--selforth")) p.selforth = o.selforth ? 1 : 0;
    // d and dw are bounded by n, which may have come after them.
    for (auto field : {&ParamRecord::d, &ParamRecord::dw}) {
        std::string why = bounded(field, p, std::to_string(p.*field), p.*field);
        if (!why.empty()) return why;
    }
    if (!o.weights.empty()) {
        std::string why = parseweights(o.weights, p);
        if (!why.empty()) return why;
    } else if (!o.settings || given("-n") || given("-d") || given("--dw")) {
        for (int w = 1; w < MAXLEN; w++) p.wt[w] = w >= p.d && w <= p.n && w % p.dw == 0;
    }
    for (const std::string& item : o.props) {
        std::string why = parseprop(item, p);
        if (!why.empty()) return why;
    }
    int64_t brute = 0;
    const bool bruteok = !given("--brute") || (decimal(o.brute, brute) && brute >= 1 && brute <= p.k);
    std::string why = runrefusal(p, brute > 0);
    if (!why.empty()) return why;
    if (!bruteok) return "--brute " + o.brute + " is not a starting dimension within 1.." + std::to_string(p.k);
    return "";
}

// The numbers that shape how a run is made, read from their options.
struct RunShape {
    int jobs = 1;           // threads (0 given: every core)
    int part = 0, parts = 1;
    int split = 0;
    int brute = 0;          // the starting dimension of brute generation
    uint64_t memory = DEFAULT_BUDGET;
};

// Reads --jobs, --part and --memory; "" or the complaint.
std::string runshape(const options& o, RunShape& rs) {
    int64_t v = 0;
    std::string why = number("--jobs", o.jobs, 0, MAXJOBS, v);
    if (!why.empty()) return why;
    rs.jobs = v == 0 ? (int)std::min<int64_t>(MAXJOBS, std::max(1u, std::thread::hardware_concurrency())) : (int)v;
    if (!o.part.empty()) {
        const size_t slash = o.part.find('/');
        int64_t I = -1, M = 0;
        if (slash == std::string::npos || !decimal(o.part.substr(0, slash), I) || !decimal(o.part.substr(slash + 1), M) ||
            M < 1 || M > INT32_MAX || I < 0 || I >= M)
            return "--part must be I/M with 0 <= I < M, not " + o.part;
        rs.part = (int)I, rs.parts = (int)M;
    }
    why = number("--memory", o.memory, 0, 1 << 20, v);
    if (!why.empty()) return why;
    rs.memory = (uint64_t)v << 20;
    return "";
}

// Reads --split-level (0: chosen from the run; else 1..k-1) and --brute,
// once the record is known; "" or the complaint.
std::string splitandbrute(const options& o, int k, RunShape& rs) {
    int64_t v = 0;
    if (!decimal(o.split, v)) return "--split-level: \"" + o.split + "\" is not a decimal number";
    if (v != 0 && (v < 1 || v > k - 1)) return "--split-level must be within 1.." + std::to_string(k - 1);
    rs.split = (int)v;
    if (!o.brute.empty() && decimal(o.brute, v)) rs.brute = (int)v;
    return "";
}

// The part files of the runs in `dir`, by run: base name -> files.
std::map<std::string, std::vector<std::string>> findparts(const std::string& dir) {
    std::map<std::string, std::vector<std::string>> runs;
    DIR* d = opendir(dir.c_str());
    if (!d) return runs;
    while (dirent* e = readdir(d)) {
        std::string name = e->d_name;
        size_t at = name.find(".part.");
        if (at == std::string::npos) continue;
        int I, M;
        char extra;
        if (sscanf(name.c_str() + at, ".part.%d.%d%c", &I, &M, &extra) != 2) continue;
        runs[name.substr(0, at)].push_back(dir + name);
    }
    closedir(d);
    return runs;
}

std::string withslash(std::string dir) {
    if (!dir.empty() && dir.back() != '/') dir += '/';
    return dir;
}

// Merges under the lock of the result file; "" or the complaint.  A refused
// merge leaves no result file behind (the lock made it).
std::string lockedmerge(const std::vector<std::string>& files, const std::string& outdir, const std::string& base,
                        MergeResult& m) {
    const bool existed = access(base.c_str(), F_OK) == 0;
    int lock = lockfile(base);
    if (lock == -2) return "the result file " + base + " is being written by another run";
    if (lock < 0) return "cannot open " + base + ": " + strerror(errno);
    m = mergeparts(files, outdir, nullptr);
    struct stat st;
    if (!m.ok && !existed && stat(base.c_str(), &st) == 0 && st.st_size == 0) unlink(base.c_str());
    close(lock);
    return m.ok ? "" : m.error;
}

// The mass words of a run's totals line: the mass of dimension k with its
// verdict, then (when the h file lists more than one dimension) the mass of
// every dimension it lists, as its RES line counts them.
std::string masswords(const RunParams& par, const MassSums& mass) {
    BigNat expected;
    std::string formula;
    const bool known = closedcount(codesetof(par, par.k), expected, formula);
    std::string s = verdictwords(mass.bydim[(size_t)par.k], known ? &expected : nullptr);
    const int from = std::max(2, (int)par.brutedim);
    if (from < par.k) {
        s += " masses=";
        for (int D = from; D <= par.k; D++) {
            if (D > from) s += ',';
            s += mass.bydim[(size_t)D].str();
        }
    }
    return s;
}

int mergecommand(const std::string& dirarg, const options& o) {
    const std::string dir = withslash(dirarg);
    struct stat st;
    if (stat(dirarg.c_str(), &st) != 0) return failed("cannot open the folder " + dirarg + ": " + strerror(errno));
    if (!S_ISDIR(st.st_mode)) return failed(dirarg + " is not a folder (--merge takes the folder of the parts)");
    auto runs = findparts(dir);
    if (runs.empty()) return failed("no part files in " + dirarg);
    int status = 0;
    for (auto& [name, files] : runs) {
        MergeResult m;
        std::string why = lockedmerge(files, dir, dir + name, m);
        if (!why.empty()) {
            fprintf(stderr, "talven: %s: %s\n", name.c_str(), why.c_str());
            status = 1;
            continue;
        }
        printf("merged=%s codes=%d parts=%zu cpu=%.2f%s\n", name.c_str(), m.codes, files.size(), m.seconds,
               masswords(m.par, m.mass).c_str());
        why = exportafter(dir + name, o.format, o.stats);
        if (!why.empty()) {
            fprintf(stderr, "talven: %s\n", why.c_str());
            status = 1;
        }
    }
    return status;
}

double wallseconds() {
    using namespace std::chrono;
    return duration<double>(steady_clock::now().time_since_epoch()).count();
}

// After SIGINT or SIGTERM: say what is kept (the checkpoint, or the levels
// counted while the split level was chosen) and how to go on, and end with
// the signal.
[[noreturn]] void endwithsignal(const SplitResult& s) {
    int sig = runsignal;
    if (!s.choosing)
        fprintf(stderr, "talven: stopped by %s; --resume continues from the checkpoint\n", strsignal(sig));
    else if (s.counted > 0)
        fprintf(stderr,
                "talven: stopped by %s while choosing the split level, with the units of %d level%s counted; "
                "--resume goes on from there\n",
                strsignal(sig), s.counted, s.counted == 1 ? "" : "s");
    else
        fprintf(stderr,
                "talven: stopped by %s while choosing the split level, before any level was counted; nothing is "
                "kept, and --resume starts again\n",
                strsignal(sig));
    fflush(stdout);
    signal(sig, SIG_DFL);
    raise(sig);
    _exit(128 + sig);
}

int runcommand(const options& o, const RunShape& rs, const RunParams& par) {
    SplitRun r;
    r.par = par;
    r.outdir = withslash(o.outdir);
    r.resdir = r.outdir + RES_DIR "/";
    r.jobs = rs.jobs;
    r.split = rs.split;
    r.resume = o.resume;
    r.progress = o.quiet ? nullptr : stderr;
    r.budget = rs.memory;
    r.part = rs.part;
    r.parts = rs.parts;
    if (!r.outdir.empty()) mkdir(r.outdir.c_str(), 0777);
    mkdir(r.resdir.c_str(), 0777);
    const std::string base = r.outdir + resultname(par);
    if (!o.quiet) fprintf(stderr, "%s\n", describebounds(derivebounds(par), par).c_str());
    const double start = wallseconds();
    SignalGuard guard;

    SplitResult s = runsplit(r);
    if (s.how == runend::interrupted) endwithsignal(s);
    if (s.how == runend::refused) return failed(s.error);
    if (s.how != runend::complete) return failed(s.error.empty() ? "the run stopped" : s.error);
    const double wall = wallseconds() - start;
    if (r.parts > 1) {
        if (s.already) sayerror(s.partfile + " is complete already: nothing to make");
        const PartScan ps = scanpart(s.partfile);
        // The units of the whole run: the complete part's segments say so.
        const uint64_t units = ps.segments > 0 ? (ps.segments - 1) / 2 : s.units;
        printf("part=%d/%d n=%d k=%d d=%d q=%d split=%d units=%llu seconds=%.2f cpu=%.2f mass=%s\n", r.part, r.parts,
               par.nasked, par.k, par.d, par.q, s.split, (unsigned long long)units, wall, s.cpu,
               ps.mass.bydim[(size_t)par.k].str().c_str());
        return 0;
    }
    MergeResult m;
    std::string why = lockedmerge({s.partfile}, r.outdir, base, m);
    if (!why.empty()) return failed(why);
    unlink(s.partfile.c_str());
    unlink(checkpointpath(s.partfile).c_str());
    why = exportafter(base, o.format, o.stats);
    if (!why.empty()) return failed(why);
    printf("codes=%d n=%d k=%d d=%d q=%d seconds=%.2f cpu=%.2f%s\n", m.codes, par.nasked, par.k, par.d, par.q,
           wallseconds() - start, m.seconds, masswords(par, m.mass).c_str());
    return 0;
}

// A flag's value after "=" is one of the words for yes and no the README
// names; anything else ("--selforth=", "--selforth=2") is refused rather
// than read as yes.  "" or the complaint.
std::string flagvalues(int argc, char** argv) {
    static const char* const flags[] = {"--selforth", "--resume",   "--quiet", "--stats", "--settings",
                                        "--save-settings", "--mass", "--complete-levels"};
    static const char* const values[] = {"true", "false", "1", "0", "yes", "no"};
    for (int i = 1; i < argc; i++) {
        const std::string a = argv[i];
        const size_t eq = a.find('=');
        if (eq == std::string::npos) continue;
        const std::string flag = a.substr(0, eq), value = a.substr(eq + 1);
        if (std::find(std::begin(flags), std::end(flags), flag) == std::end(flags)) continue;
        if (value.empty()) return a + " needs a value (true or false)";
        if (std::find(std::begin(values), std::end(values), value) == std::end(values))
            return flag + "=" + value + ": the value of a flag is true, false, 1, 0, yes or no";
    }
    return "";
}

}  // namespace

int commandline(int argc, char** argv) {
    CLI::App app{"talven classifies linear [n,k,d] codes over GF(q), q = 2, 3, 4, 5, 7, by canonical augmentation.\n"
                 "Without arguments it shows its menu."};
    app.set_version_flag("--version", [] {
        return std::string(VERSION) + "\nbuilt for " + buildtarget() + "; on this processor: " + cpupaths();
    });
    options o;
    app.add_option("-n", o.n, "length");
    app.add_option("-k", o.k, "dimension");
    app.add_option("-d", o.d, "minimum distance");
    app.add_option("-q", o.q, "field size: 2, 3, 4, 5 or 7");
    app.add_option("--dw", o.dw, "allowed weights: the multiples of dw from d to n (default 1)");
    app.add_option("--weights", o.weights, "allowed weights instead, e.g. 8,12,16-24");
    app.add_flag("--selforth", o.selforth, "only self-orthogonal codes");
    app.add_option("--prop", o.props, "at most B proportional coordinates in dimension D: D=B; B alone: every dimension");
    app.add_option("--dual", o.dual, "minimum distance of the dual code (default 1)");
    app.add_option("--brute", o.brute, "brute generation from starting dimension S");
    app.add_option("--equivalence", o.equivalence, "GF(4): semilinear (default: with the field automorphism) or linear")
        ->check(CLI::IsMember({"linear", "semilinear"}));
    app.add_option("-o,--outdir", o.outdir, "folder of the result files (default: the working folder)");
    app.add_option("-j,--jobs", o.jobs, "threads (default 1; 0: every core; at most 1024, and no more than the run has units)");
    app.add_option("--part", o.part, "make part I of M (0 <= I < M) into NAME.part.I.M");
    app.add_option("--split-level", o.split, "the level the run is split at (default: chosen from the run)");
    app.add_flag("--resume", o.resume, "continue a stopped run or part from its checkpoint");
    app.add_option("--merge", o.merge, "merge the complete parts in this folder into result files");
    app.add_flag("--quiet", o.quiet, "no progress lines (and no run header)");
    app.add_flag("--complete-levels", o.complete,
                 "keep every code of every dimension, as the menu does (the h file lists them all); by default "
                 "codes of lower dimension that cannot grow into a code of the run are cut");
    app.add_option("--memory", o.memory, "MiB each thread keeps its levels and store in before they spill to files (0..1048576)");
    app.add_option("--format", o.format, "also export the result file: magma, gap, sage, jsonl or plain (NAME.m, .g, .sage, .jsonl, .txt)")
        ->check(CLI::IsMember({"result", "magma", "gap", "sage", "jsonl", "plain"}));
    app.add_flag("--stats", o.stats, "also write the facts of every code (weights, distances, group order) to NAME.stats");
    app.add_flag("--settings", o.settings, "start from the parameters in " RES_DIR "/settings");
    app.add_flag("--save-settings", o.savesettings, "write the run's parameters to " RES_DIR "/settings");
    // The commands on files of codes.
    FileCommand fc;
    std::string fieldtext;  // -q of the file commands
    CLI::App* check = app.add_subcommand("check", "verify every code of a result file (or an export) and that no two are equivalent");
    check->add_option("FILE", fc.files, "the file")->required()->expected(1);
    check->add_flag("--mass", fc.mass, "also the mass of the codes, compared with the number of codes they must class");
    CLI::App* classes = app.add_subcommand("classes", "sort codes of one length and field into equivalence classes");
    classes->add_option("FILE", fc.files, "files of codes: result files, exports, or plain matrices (with -q)")->required();
    classes->add_option("-o", fc.out, "the file of one representative per class (default: classes; sizes in OUT.sizes)");
    classes->add_option("--to", fc.to, "the format of the representatives (default: result)")
        ->check(CLI::IsMember({"result", "magma", "gap", "sage", "jsonl", "plain"}));
    for (CLI::App* sub : {check, classes}) {
        sub->add_option("--format", fc.format, "the input format (default: from the file's name and first line)")
            ->check(CLI::IsMember({"result", "magma", "gap", "sage", "jsonl", "plain"}));
        sub->add_option("-q", fieldtext, "the field of plain matrices: 2, 3, 4, 5 or 7");
        sub->add_option("--equivalence", fc.equivalence, "GF(4): linear or semilinear (default: as the file's header says)")
            ->check(CLI::IsMember({"linear", "semilinear"}));
    }
    app.require_subcommand(0, 1);
    // Past the file-size limit (ulimit -f) a write fails with EFBIG and is
    // reported naming the file, instead of ending the program with SIGXFSZ.
    signal(SIGXFSZ, SIG_IGN);
    if (std::string why = flagvalues(argc, argv); !why.empty()) return refuse(why);
    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp& e) {
        return app.exit(e);
    } catch (const CLI::CallForVersion& e) {
        return app.exit(e);
    } catch (const CLI::ParseError& e) {
        return refuse(e.what());
    }
    if (check->parsed() || classes->parsed()) {
        if (argc > 1 && std::string(argv[1]) != check->get_name() && std::string(argv[1]) != classes->get_name())
            return refuse("the file commands take no run options before them");
        int64_t q = 0;
        if (!fieldtext.empty() && (!decimal(fieldtext, q) || (q != 2 && q != 3 && q != 4 && q != 5 && q != 7)))
            return refuse("-q: " + fieldtext + " is not one of 2, 3, 4, 5, 7");
        fc.q = (int)q;
        return check->parsed() ? checkcommand(fc) : classescommand(fc);
    }
    if (!o.merge.empty()) {
        for (auto* opt : app.get_options())
            if (opt->count() > 0 && opt->get_name() != "--merge" && opt->get_name() != "--format" &&
                opt->get_name() != "--stats" && opt->get_name() != "--quiet")
                return refuse("--merge takes a folder and no run options (only --format, --stats)");
        return mergecommand(o.merge, o);
    }
    RunShape rs;
    std::string why = runshape(o, rs);
    if (!why.empty()) return refuse(why);
    ParamRecord rec{};
    why = makerecord(o, rec, app);
    if (!why.empty()) return refuse(why);
    why = splitandbrute(o, rec.k, rs);
    if (!why.empty()) return refuse(why);
    int32_t doublyeven = 0;
    normweights(rec, doublyeven);
    if (o.savesettings) {
        mkdir(RES_DIR, 0777);
        rec.brute = rs.brute > 0;
        rec.brutedim = rs.brute;
        savesettings(rec, std::string(RES_DIR) + "/settings");
    }
    RunParams par = makerunparams(rec, doublyeven, rs.brute > 0, rs.brute);
    par.linear4 = par.q == 4 && o.equivalence == "linear";
    par.targetcuts = o.complete ? 0 : 1;
    return runcommand(o, rs, par);
}
