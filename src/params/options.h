// The options of the program, one row each: the eleven scalars of the
// settings file, the options of a run on the command line and of its two
// file commands, and the switches read from the environment.
//
// A row says all the program knows about an option: its names, its kind,
// its bounds and default, its --help line, and where it has them its menu
// prompt, its settings-file line and its label in a run header.  Everything
// that offers, reads, writes or explains an option takes it from its row:
// the command line declares its options in a loop over the rows (in the
// table's order, which is the order of --help), the settings file is read
// and written in the order of the rows' lines, the menu asks with their
// prompts and bounds, a run header prints their labels, and the engine and
// the labeller read their environment switches through `envnumber` and
// `envtext`.  The table is constexpr, so its layout is checked when the
// program is compiled and constants elsewhere can be made from it.
#pragma once
#include <array>
#include <cstdint>
#include <iterator>
#include <span>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>

#include "params/params.h"

// The folder of the settings file (and of the menu's result files).
#define RES_DIR "res"

// The names of the file formats, in the order of codeio's Format: what
// --format, --to and the exports take.
inline constexpr const char* formatnames[] = {"result", "magma", "gap", "sage", "jsonl", "plain"};
// The two equivalences of GF(4) codes, as --equivalence names them.
inline constexpr const char* equivalencenames[] = {"linear", "semilinear"};
// How the rows of a partner are made, in the order of the engine's RowSearch.
inline constexpr const char* rowsearchnames[] = {"chosen", "lattice", "enumeration"};

// Every option, in the order of the table.
enum class Opt : uint8_t {
    // a run on the command line (n..dualdist and brutedim are scalars of the settings file too)
    n, k, d, q, dw, weights, selforth, prop, dualdist, brutedim, equivalence, outdir, jobs, part, splitlevel,
    resume, merge, quiet, completelevels, memory, format, stats, settings, savesettings,
    // the settings file only
    brute, unusedline3, unusedline4,
    // talven check and talven classes
    checkfile, mass, classesfiles, classesout, to, inputformat, plainfield, fileequivalence,
    // the environment
    check, dumplabelling, rows,
};
constexpr int NOPTIONS = (int)Opt::rows + 1;

enum class Kind : uint8_t {
    number,  // a decimal integer within lo..hi (see hiref)
    flag,    // on or off (0 or 1 in the settings file)
    text,    // any text: a folder, a list of weights
    list,    // a text each time it is given; a positional: its files
    choice,  // one of `choices`
};

// Where an option is given: an or of these.
enum Where : unsigned {
    runcmd = 1,       // the command line of a run (and --merge)
    checkcmd = 2,     // talven check
    classescmd = 4,   // talven classes
    environment = 8,  // an environment variable of that name
};

// A scalar of the parameter record, read and written as the decimal
// integer the settings file holds (a flag as 0 or 1).
struct ParamField {
    int32_t (*get)(const ParamRecord&) = nullptr;
    void (*set)(ParamRecord&, int32_t) = nullptr;
    constexpr explicit operator bool() const { return get != nullptr; }
};

// The accessor of `member`, an int32_t or a bool of the parameter record.
template <auto member>
constexpr ParamField fieldof() {
    using T = std::remove_reference_t<decltype(std::declval<ParamRecord&>().*member)>;
    return {[](const ParamRecord& p) { return (int32_t)(p.*member); },
            [](ParamRecord& p, int32_t v) { p.*member = static_cast<T>(v); }};
}

// One row of the table.
struct Option {
    Opt id;
    const char* name;            // as messages name it: "n", "dualdist", "TALVEN_CHECK"
    Kind kind;
    unsigned where = 0;          // the Where bits; 0: the settings file only
    const char* cli = nullptr;   // its names on the command line as CLI11 takes them ("-j,--jobs"); a
                                 // name without '-' is a positional, and required
    const char* help = nullptr;  // its --help line; of an environment switch, what it does
    int32_t def = 0;             // default: of a number or a flag; of a choice its index (-1: none)
    int32_t lo = 0, hi = 0;      // the bounds of a number
    char hiref = 0;              // 'n' or 'k': the upper bound is that parameter when it is lower
    std::span<const char* const> choices{};  // the words of a choice
    const char* text = nullptr;  // the default of a text
    int count = 0;               // the values a positional takes (0: any number)
    bool withmerge = false;      // may be given beside --merge
    // The settings file, the menu and the run header.
    int line = 0;                  // the line in the settings file, or 0
    ParamField field{};            // the scalar of the parameter record, or none
    bool layout = false;           // out of bounds in the file: the file's layout is untrusted
    const char* prompt = nullptr;  // the menu's prompt, or null
    const char* header = nullptr;  // the label in a run header, or null
};

// clang-format off
inline constexpr Option optiontable[] = {
    {.id = Opt::n, .name = "n", .kind = Kind::number, .where = runcmd, .cli = "-n", .help = "length",
     .def = 24, .lo = 1, .hi = 799,
     .line = 5, .field = fieldof<&ParamRecord::n>(), .layout = true, .prompt = "\n Enter n = ", .header = " n="},
    {.id = Opt::k, .name = "k", .kind = Kind::number, .where = runcmd, .cli = "-k", .help = "dimension",
     .def = 12, .lo = 1, .hi = 19,
     .line = 6, .field = fieldof<&ParamRecord::k>(), .layout = true, .prompt = "\n Enter k = ", .header = "  k="},
    {.id = Opt::d, .name = "d", .kind = Kind::number, .where = runcmd, .cli = "-d", .help = "minimum distance",
     .def = 8, .lo = 1, .hi = 799, .hiref = 'n',
     .line = 7, .field = fieldof<&ParamRecord::d>(), .layout = true, .prompt = "\n Enter d = ", .header = "  d="},
    {.id = Opt::q, .name = "q", .kind = Kind::number, .where = runcmd, .cli = "-q", .help = "field size: 2, 3, 4, 5 or 7",
     .def = 2, .lo = 1, .hi = 8,
     .line = 8, .field = fieldof<&ParamRecord::q>(), .layout = true, .prompt = "\n Enter q = ", .header = " q="},
    {.id = Opt::dw, .name = "dw", .kind = Kind::number, .where = runcmd, .cli = "--dw",
     .help = "allowed weights: the multiples of dw from d to n (default 1)",
     .def = 1, .lo = 1, .hi = 799, .hiref = 'n',
     .line = 9, .field = fieldof<&ParamRecord::dw>(), .layout = true, .prompt = "\n Weights are divisible by dw = ",
     .header = " ; divisible by "},
    {.id = Opt::weights, .name = "weights", .kind = Kind::text, .where = runcmd, .cli = "--weights",
     .help = "allowed weights instead, e.g. 8,12,16-24"},
    {.id = Opt::selforth, .name = "selforth", .kind = Kind::flag, .where = runcmd, .cli = "--selforth",
     .help = "only self-orthogonal codes", .lo = 0, .hi = 1,
     .line = 10, .field = fieldof<&ParamRecord::selforth>(), .prompt = "\n Self orthogonal 1-Yes /  0-No  ",
     .header = "  ; self orthogonal "},
    {.id = Opt::prop, .name = "prop", .kind = Kind::list, .where = runcmd, .cli = "--prop",
     .help = "at most B proportional coordinates in dimension D: D=B; B alone: every dimension"},
    {.id = Opt::dualdist, .name = "dualdist", .kind = Kind::number, .where = runcmd, .cli = "--dual",
     .help = "minimum distance of the dual code (default 1)", .def = 1, .lo = 1, .hi = 799,
     .line = 11, .field = fieldof<&ParamRecord::dualdist>(), .prompt = "Enter  dual distance :",
     .header = ",dual distance "},
    // --brute S sets the settings file's brute flag too (S > 0).
    {.id = Opt::brutedim, .name = "brutedim", .kind = Kind::number, .where = runcmd, .cli = "--brute",
     .help = "brute generation from starting dimension S", .def = 0, .lo = 1, .hi = 19, .hiref = 'k',
     .line = 2, .field = fieldof<&ParamRecord::brutedim>(), .prompt = "Enter  starting dimension < %d :"},
    {.id = Opt::equivalence, .name = "equivalence", .kind = Kind::choice, .where = runcmd, .cli = "--equivalence",
     .help = "GF(4): semilinear (default: with the field automorphism) or linear", .def = 1,
     .choices = equivalencenames},
    {.id = Opt::outdir, .name = "outdir", .kind = Kind::text, .where = runcmd, .cli = "-o,--outdir",
     .help = "folder of the result files (default: the working folder)", .text = ""},
    // Each thread costs a classifier's workspace (a few MiB) and a memory
    // budget, so more than 1024 only exhausts the machine.
    {.id = Opt::jobs, .name = "jobs", .kind = Kind::number, .where = runcmd, .cli = "-j,--jobs",
     .help = "threads (default 1; 0: every core; at most 1024, and no more than the run has units)",
     .def = 1, .lo = 0, .hi = 1024},
    {.id = Opt::part, .name = "part", .kind = Kind::text, .where = runcmd, .cli = "--part",
     .help = "make part I of M (0 <= I < M) into NAME.part.I.M"},
    // 0: chosen from the run; else 1..k-1.
    {.id = Opt::splitlevel, .name = "split-level", .kind = Kind::number, .where = runcmd, .cli = "--split-level",
     .help = "the level the run is split at (default: chosen from the run)", .def = 0, .lo = 0, .hi = 18},
    {.id = Opt::resume, .name = "resume", .kind = Kind::flag, .where = runcmd, .cli = "--resume",
     .help = "continue a stopped run or part from its checkpoint"},
    {.id = Opt::merge, .name = "merge", .kind = Kind::text, .where = runcmd, .cli = "--merge",
     .help = "merge the complete parts in this folder into result files", .withmerge = true},
    {.id = Opt::quiet, .name = "quiet", .kind = Kind::flag, .where = runcmd, .cli = "--quiet",
     .help = "no progress lines (and no run header)", .withmerge = true},
    {.id = Opt::completelevels, .name = "complete-levels", .kind = Kind::flag, .where = runcmd,
     .cli = "--complete-levels",
     .help = "keep every code of every dimension, as the menu does (the h file lists them all); by default "
             "codes of lower dimension that cannot grow into a code of the run are cut"},
    // MiB per thread; engine/budget.h takes its default from here.
    {.id = Opt::memory, .name = "memory", .kind = Kind::number, .where = runcmd, .cli = "--memory",
     .help = "MiB each thread keeps its levels and store in before they spill to files (0..1048576)",
     .def = 256, .lo = 0, .hi = 1 << 20},
    {.id = Opt::format, .name = "format", .kind = Kind::choice, .where = runcmd, .cli = "--format",
     .help = "also export the result file: magma, gap, sage, jsonl or plain (NAME.m, .g, .sage, .jsonl, .txt)",
     .def = -1, .choices = formatnames, .withmerge = true},
    {.id = Opt::stats, .name = "stats", .kind = Kind::flag, .where = runcmd, .cli = "--stats",
     .help = "also write the facts of every code (weights, distances, group order) to NAME.stats",
     .withmerge = true},
    {.id = Opt::settings, .name = "settings", .kind = Kind::flag, .where = runcmd, .cli = "--settings",
     .help = "start from the parameters in " RES_DIR "/settings"},
    {.id = Opt::savesettings, .name = "save-settings", .kind = Kind::flag, .where = runcmd, .cli = "--save-settings",
     .help = "write the run's parameters to " RES_DIR "/settings"},

    // The settings file's first line is 1 in brute generation; lines 3
    // and 4 hold 0 and 4 and are kept only for the file's layout.
    {.id = Opt::brute, .name = "brute", .kind = Kind::flag, .lo = 0, .hi = 1,
     .line = 1, .field = fieldof<&ParamRecord::brute>()},
    {.id = Opt::unusedline3, .name = "unusedline3", .kind = Kind::number, .def = 0, .lo = INT32_MIN, .hi = INT32_MAX,
     .line = 3, .field = fieldof<&ParamRecord::unusedline3>()},
    {.id = Opt::unusedline4, .name = "unusedline4", .kind = Kind::number, .def = 4, .lo = INT32_MIN, .hi = INT32_MAX,
     .line = 4, .field = fieldof<&ParamRecord::unusedline4>()},

    {.id = Opt::checkfile, .name = "FILE", .kind = Kind::list, .where = checkcmd, .cli = "FILE", .help = "the file",
     .count = 1},
    {.id = Opt::mass, .name = "mass", .kind = Kind::flag, .where = checkcmd, .cli = "--mass",
     .help = "also the mass of the codes, compared with the number of codes they must class"},
    {.id = Opt::classesfiles, .name = "FILE", .kind = Kind::list, .where = classescmd, .cli = "FILE",
     .help = "files of codes: result files, exports, or plain matrices (with -q)"},
    {.id = Opt::classesout, .name = "o", .kind = Kind::text, .where = classescmd, .cli = "-o",
     .help = "the file of one representative per class (default: classes; sizes in OUT.sizes)", .text = "classes"},
    {.id = Opt::to, .name = "to", .kind = Kind::choice, .where = classescmd, .cli = "--to",
     .help = "the format of the representatives (default: result)", .def = 0, .choices = formatnames},
    {.id = Opt::inputformat, .name = "format", .kind = Kind::choice, .where = checkcmd | classescmd, .cli = "--format",
     .help = "the input format (default: from the file's name and first line)", .def = -1, .choices = formatnames},
    {.id = Opt::plainfield, .name = "q", .kind = Kind::text, .where = checkcmd | classescmd, .cli = "-q",
     .help = "the field of plain matrices: 2, 3, 4, 5 or 7"},
    {.id = Opt::fileequivalence, .name = "equivalence", .kind = Kind::choice, .where = checkcmd | classescmd,
     .cli = "--equivalence", .help = "GF(4): linear or semilinear (default: as the file's header says)", .def = -1,
     .choices = equivalencenames},

    {.id = Opt::check, .name = "TALVEN_CHECK", .kind = Kind::number, .where = environment,
     .help = "1: the self-checks of level 1 in every run (engine/selfcheck.h); 2: those of level 2 too",
     .lo = 0, .hi = 2},
    {.id = Opt::dumplabelling, .name = "TALVEN_DUMP_LABELLING", .kind = Kind::text, .where = environment,
     .help = "a file every labeller appends the matrices it labels to (canon/labeldump.h)", .text = ""},
    {.id = Opt::rows, .name = "TALVEN_ROWS", .kind = Kind::choice, .where = environment,
     .help = "how the rows of a partner are made: chosen by their measured cost (the default), lattice or "
             "enumeration; pinned, the instruction counts of a run repeat (bench/instructions.sh)",
     .def = 0, .choices = rowsearchnames},
};
// clang-format on

static_assert(std::size(optiontable) == NOPTIONS);

// The row of an option.
constexpr const Option& option(Opt id) { return optiontable[(size_t)id]; }

constexpr bool rowsatids() {
    for (int i = 0; i < NOPTIONS; i++)
        if ((int)optiontable[i].id != i) return false;
    return true;
}
static_assert(rowsatids(), "every row of the option table sits at its Opt");

// The scalars of the settings file, by line (line 1 first).
constexpr int NSCALARS = 11;
constexpr std::array<Opt, NSCALARS> settingsorder = [] {
    std::array<Opt, NSCALARS> order{};
    std::array<bool, NSCALARS> seen{};
    for (const Option& o : optiontable) {
        if (o.line == 0) continue;
        if (o.line > NSCALARS || seen[o.line - 1]) throw "a settings line twice or beyond 11";
        seen[o.line - 1] = true;
        order[o.line - 1] = o.id;
    }
    for (bool s : seen)
        if (!s) throw "a settings line without a row";
    return order;
}();

// The upper bound of o for the record p (hi, or p.n / p.k when lower).
int32_t upperbound(const Option& o, const ParamRecord& p);
bool inbounds(const Option& o, const ParamRecord& p, int64_t v);

// True when `name` ("--jobs", "-j") is one of the command-line names of o.
bool named(const Option& o, std::string_view name);
// The last of the command-line names of o, as messages name the option
// ("--jobs" of "-j,--jobs").
std::string longname(const Option& o);
// The value an option of the command line has when it is not given: a
// number's default in decimal, a choice's word ("" for none), a text's
// default.
std::string defaulttext(const Option& o);

// An environment switch that is a number: its value when the variable holds
// a number within lo..hi written as such ("1", not "01" or " 1"), else the
// default.
int32_t envnumber(Opt id);
// An environment switch that is a text: the variable's value, "" when unset.
std::string envtext(Opt id);
// An environment switch that is a choice: the index of the word it holds,
// else the default.
int32_t envchoice(Opt id);
