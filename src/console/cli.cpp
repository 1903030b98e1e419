// The command line (see cli.h).  Its options are the rows of the option
// table (params/options.h), declared to CLI11 in a loop over the table, so
// the names, help lines, defaults and bounds here are the table's; every
// value is then checked against its row before anything is written.
#include "console/cli.h"

#include <sys/stat.h>
#include <unistd.h>

#include <CLI/CLI.hpp>
#include <algorithm>
#include <array>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <map>
#include <thread>

#include "console/filecommands.h"
#include "engine/bounds.h"
#include "fileio/checked.h"
#include "field/field.h"
#include "params/codeset.h"
#include "params/settings.h"
#include "run/parallel.h"
#include "run/parts.h"

namespace {

constexpr const char* VERSION = "talven 1.1";

// The values of the command line, one slot per row of the option table:
// a flag in `on`, a list in `items`, anything else as text in `text` (a
// number too: it is read by `decimal`, as the conversions of the option
// parser would read 010 as octal and 0x7 as hexadecimal, and wrap what does
// not fit).  Before parsing each slot holds its row's default.
struct options {
    std::array<std::string, NOPTIONS> text;
    std::array<std::vector<std::string>, NOPTIONS> items;
    std::array<bool, NOPTIONS> on{};
    std::array<bool, NOPTIONS> given{};  // a run's option that was given

    options() {
        for (const Option& r : optiontable) text[(size_t)r.id] = defaulttext(r);
    }
    const std::string& operator[](Opt id) const { return text[(size_t)id]; }
    bool flag(Opt id) const { return on[(size_t)id]; }
    bool has(Opt id) const { return given[(size_t)id]; }
};

// Declares to `app` the options of the table that command `cmd` takes, in
// the table's order (the order of --help), each bound to its slot in o.
// Returns the CLI11 option of every row declared (null for the others).
std::array<CLI::Option*, NOPTIONS> declare(CLI::App& app, unsigned cmd, options& o) {
    std::array<CLI::Option*, NOPTIONS> declared{};
    for (const Option& r : optiontable) {
        if ((r.where & cmd) == 0 || r.cli == nullptr) continue;
        const size_t i = (size_t)r.id;
        CLI::Option* opt = r.kind == Kind::flag   ? app.add_flag(r.cli, o.on[i], r.help)
                           : r.kind == Kind::list ? app.add_option(r.cli, o.items[i], r.help)
                                                  : app.add_option(r.cli, o.text[i], r.help);
        if (r.kind == Kind::choice) opt->check(CLI::IsMember(std::vector<std::string>(r.choices.begin(), r.choices.end())));
        if (r.cli[0] != '-') opt->required();
        if (r.count > 0) opt->expected(r.count);
        declared[i] = opt;
    }
    return declared;
}

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

// The value of option `id` as a decimal number within the bounds of its
// row; "" or the complaint.
std::string number(Opt id, const options& o, int64_t& v) {
    const Option& r = option(id);
    const std::string& text = o[id];
    if (!decimal(text, v)) return longname(r) + ": \"" + text + "\" is not a decimal number";
    if (v < r.lo || v > r.hi)
        return longname(r) + ": " + text + " is out of bounds (" + std::to_string(r.lo) + ".." + std::to_string(r.hi) + ")";
    return "";
}

// Checks one scalar against its row; "" or the complaint.
std::string bounded(const Option& r, const ParamRecord& p, const std::string& text, int64_t v) {
    if (inbounds(r, p, v)) return "";
    return std::string(r.name) + "=" + text + " is out of bounds (" + std::to_string(r.lo) + ".." +
           std::to_string(upperbound(r, p)) + ")";
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

// Sets the scalars of the record that were given on the command line, in
// the table's order, each checked against its row; "" or the complaint.
// The starting dimension of --brute is left to makerecord: it is bounded by
// the final k.
std::string givenscalars(const options& o, ParamRecord& p) {
    for (const Option& r : optiontable) {
        if ((r.where & runcmd) == 0 || !r.field || !o.has(r.id) || r.id == Opt::brutedim) continue;
        if (r.kind == Kind::flag) {
            r.field.set(p, o.flag(r.id));
            continue;
        }
        int64_t v = 0;
        if (!decimal(o[r.id], v)) return longname(r) + ": \"" + o[r.id] + "\" is not a decimal number";
        std::string why = bounded(r, p, o[r.id], v);
        if (!why.empty()) return why;
        r.field.set(p, (int32_t)v);
    }
    return "";
}

// The parameter record of the command line; "" or the complaint.
std::string makerecord(const options& o, ParamRecord& p) {
    const bool settings = o.flag(Opt::settings);
    if (settings) {
        if (!readsettings(p, std::string(RES_DIR) + "/settings")) return "no settings file " RES_DIR "/settings";
    } else {
        setdefaults(p);
        for (int w = 1; w < MAXLEN; w++) p.wt[w] = 0;
    }
    if (!settings)
        for (Opt need : {Opt::n, Opt::k, Opt::d, Opt::q})
            if (!o.has(need)) return std::string("a run needs ") + option(need).cli + " (or --settings)";
    std::string why = givenscalars(o, p);
    if (!why.empty()) return why;
    if (!settings && !o.has(Opt::dualdist)) p.dualdist = 1;
    // d and dw are bounded by n, which may have come after them.
    for (Opt id : {Opt::d, Opt::dw}) {
        const int32_t v = option(id).field.get(p);
        why = bounded(option(id), p, std::to_string(v), v);
        if (!why.empty()) return why;
    }
    if (!o[Opt::weights].empty()) {
        why = parseweights(o[Opt::weights], p);
        if (!why.empty()) return why;
    } else if (!settings || o.has(Opt::n) || o.has(Opt::d) || o.has(Opt::dw)) {
        for (int w = 1; w < MAXLEN; w++) p.wt[w] = w >= p.d && w <= p.n && w % p.dw == 0;
    }
    for (const std::string& item : o.items[(size_t)Opt::prop]) {
        why = parseprop(item, p);
        if (!why.empty()) return why;
    }
    int64_t brute = 0;
    const std::string& brutetext = o[Opt::brutedim];
    const bool bruteok = !o.has(Opt::brutedim) || (decimal(brutetext, brute) && inbounds(option(Opt::brutedim), p, brute));
    why = runrefusal(p, brute > 0);
    if (!why.empty()) return why;
    if (!bruteok)
        return "--brute " + brutetext + " is not a starting dimension within 1.." +
               std::to_string(upperbound(option(Opt::brutedim), p));
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
    std::string why = number(Opt::jobs, o, v);
    if (!why.empty()) return why;
    const int64_t alljobs = std::min<int64_t>(option(Opt::jobs).hi, std::max(1u, std::thread::hardware_concurrency()));
    rs.jobs = (int)(v == 0 ? alljobs : v);
    const std::string& part = o[Opt::part];
    if (!part.empty()) {
        const size_t slash = part.find('/');
        int64_t I = -1, M = 0;
        if (slash == std::string::npos || !decimal(part.substr(0, slash), I) || !decimal(part.substr(slash + 1), M) ||
            M < 1 || M > INT32_MAX || I < 0 || I >= M)
            return "--part must be I/M with 0 <= I < M, not " + part;
        rs.part = (int)I, rs.parts = (int)M;
    }
    why = number(Opt::memory, o, v);
    if (!why.empty()) return why;
    rs.memory = (uint64_t)v << 20;
    return "";
}

// Reads --split-level (0: chosen from the run; else 1..k-1) and --brute,
// once the record is known; "" or the complaint.
std::string splitandbrute(const options& o, int k, RunShape& rs) {
    int64_t v = 0;
    const std::string& split = o[Opt::splitlevel];
    if (!decimal(split, v)) return "--split-level: \"" + split + "\" is not a decimal number";
    if (v != 0 && (v < 1 || v > k - 1)) return "--split-level must be within 1.." + std::to_string(k - 1);
    rs.split = (int)v;
    if (o.has(Opt::brutedim) && decimal(o[Opt::brutedim], v)) rs.brute = (int)v;
    return "";
}

// The part files of the runs in `dir`, by run: base name -> files.
std::map<std::string, std::vector<std::string>> findparts(const std::string& dir) {
    std::map<std::string, std::vector<std::string>> runs;
    std::error_code ec;
    for (const auto& e : std::filesystem::directory_iterator(dir, ec)) {
        const std::string name = e.path().filename().string();
        size_t at = name.find(".part.");
        if (at == std::string::npos) continue;
        int I, M;
        char extra;
        if (sscanf(name.c_str() + at, ".part.%d.%d%c", &I, &M, &extra) != 2) continue;
        runs[name.substr(0, at)].push_back(dir + name);
    }
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
        why = exportafter(dir + name, o[Opt::format], o.flag(Opt::stats));
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
    r.outdir = withslash(o[Opt::outdir]);
    r.resdir = r.outdir + RES_DIR "/";
    r.jobs = rs.jobs;
    r.split = rs.split;
    r.resume = o.flag(Opt::resume);
    r.progress = o.flag(Opt::quiet) ? nullptr : stderr;
    r.budget = rs.memory;
    r.part = rs.part;
    r.parts = rs.parts;
    if (!r.outdir.empty()) mkdir(r.outdir.c_str(), 0777);
    mkdir(r.resdir.c_str(), 0777);
    const std::string base = r.outdir + resultname(par);
    if (!o.flag(Opt::quiet)) fprintf(stderr, "%s\n", describebounds(derivebounds(par), par).c_str());
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
    why = exportafter(base, o[Opt::format], o.flag(Opt::stats));
    if (!why.empty()) return failed(why);
    printf("codes=%d n=%d k=%d d=%d q=%d seconds=%.2f cpu=%.2f%s\n", m.codes, par.nasked, par.k, par.d, par.q,
           wallseconds() - start, m.seconds, masswords(par, m.mass).c_str());
    return 0;
}

// talven check or talven classes, from the values of their options.
int filecommand(const options& o, bool ischeck) {
    FileCommand fc;
    fc.files = o.items[(size_t)(ischeck ? Opt::checkfile : Opt::classesfiles)];
    fc.format = o[Opt::inputformat];
    fc.equivalence = o[Opt::fileequivalence];
    fc.to = o[Opt::to];
    fc.out = o[Opt::classesout];
    fc.mass = o.flag(Opt::mass);
    const std::string& field = o[Opt::plainfield];
    int64_t q = 0;
    if (!field.empty() && (!decimal(field, q) || (q != 2 && q != 3 && q != 4 && q != 5 && q != 7)))
        return refuse("-q: " + field + " is not one of 2, 3, 4, 5, 7");
    fc.q = (int)q;
    return ischeck ? checkcommand(fc) : classescommand(fc);
}

// True when `name` is a command-line name of a flag of the table.
bool isflag(const std::string& name) {
    for (const Option& r : optiontable)
        if (r.kind == Kind::flag && named(r, name)) return true;
    return false;
}

// A flag's value after "=" is one of the words for yes and no the README
// names; anything else ("--selforth=", "--selforth=2") is refused rather
// than read as yes.  "" or the complaint.
std::string flagvalues(int argc, char** argv) {
    static const char* const values[] = {"true", "false", "1", "0", "yes", "no"};
    for (int i = 1; i < argc; i++) {
        const std::string a = argv[i];
        const size_t eq = a.find('=');
        if (eq == std::string::npos) continue;
        const std::string flag = a.substr(0, eq), value = a.substr(eq + 1);
        if (!isflag(flag)) continue;
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
    const std::array<CLI::Option*, NOPTIONS> runopts = declare(app, runcmd, o);
    // The commands on files of codes.
    CLI::App* check = app.add_subcommand("check", "verify every code of a result file (or an export) and that no two are equivalent");
    declare(*check, checkcmd, o);
    CLI::App* classes = app.add_subcommand("classes", "sort codes of one length and field into equivalence classes");
    declare(*classes, classescmd, o);
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
        return filecommand(o, check->parsed());
    }
    for (const Option& r : optiontable)
        if (runopts[(size_t)r.id] != nullptr) o.given[(size_t)r.id] = runopts[(size_t)r.id]->count() > 0;
    if (!o[Opt::merge].empty()) {
        for (const Option& r : optiontable)
            if (o.has(r.id) && !r.withmerge) return refuse("--merge takes a folder and no run options (only --format, --stats)");
        return mergecommand(o[Opt::merge], o);
    }
    RunShape rs;
    std::string why = runshape(o, rs);
    if (!why.empty()) return refuse(why);
    ParamRecord rec{};
    why = makerecord(o, rec);
    if (!why.empty()) return refuse(why);
    why = splitandbrute(o, rec.k, rs);
    if (!why.empty()) return refuse(why);
    bool doublyeven = false;
    normweights(rec, doublyeven);
    if (o.flag(Opt::savesettings)) {
        mkdir(RES_DIR, 0777);
        rec.brute = rs.brute > 0;
        rec.brutedim = rs.brute;
        savesettings(rec, std::string(RES_DIR) + "/settings");
    }
    RunParams par = makerunparams(rec, doublyeven, rs.brute > 0, rs.brute);
    par.linear4 = par.q == 4 && o[Opt::equivalence] == "linear";
    par.targetcuts = !o.flag(Opt::completelevels);
    return runcommand(o, rs, par);
}
