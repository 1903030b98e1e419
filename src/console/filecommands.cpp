// The commands on files of codes (see filecommands.h).
#include "console/filecommands.h"

#include <sys/stat.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <memory>
#include <mutex>
#include <optional>

#include "codeio/readers.h"
#include "codeio/writers.h"
#include "fileio/checked.h"
#include "results/checkfile.h"
#include "results/classsort.h"
#include "results/exports.h"
#include "results/fileformat.h"
#include "run/progress.h"

namespace {

int complain(const std::string& why, int status) {
    fprintf(stderr, "talven: %s\n", why.c_str());
    return status;
}

Format formatof(const FileCommand& c, const std::string& file) {
    Format f;
    if (!c.format.empty() && parseformat(c.format, f)) return f;
    return guessformat(file);
}

// The file opens (after blank lines) with the comment of a run's
// parameters, "# talven: ...".
bool runcomment(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::string line;
    while (std::getline(in, line) && line.find_first_not_of(" \t\r") == std::string::npos) {
    }
    const size_t at = line.find_first_not_of(" \t#");
    return !line.empty() && line[line.find_first_not_of(" \t")] == '#' && at != std::string::npos &&
           line.compare(at, strlen(COMMENT_MARK), COMMENT_MARK) == 0;
}

// OUT with the suffix of format f when its name has none.
std::string withsuffix(const std::string& out, Format f) {
    const size_t slash = out.rfind('/');
    const std::string name = slash == std::string::npos ? out : out.substr(slash + 1);
    return name.find('.') == std::string::npos ? out + exportext(f) : out;
}

// Why `out` must not be written by classes ("" when it may): it is one of
// the input files, or a result or h file of a run (its header says so).
std::string protectedoutput(const std::string& out, const std::vector<std::string>& inputs) {
    struct stat o;
    if (stat(out.c_str(), &o) != 0) return "";
    for (const std::string& in : inputs) {
        struct stat i;
        if (stat(in.c_str(), &i) == 0 && i.st_dev == o.st_dev && i.st_ino == o.st_ino)
            return "classes: the output " + out + " is the input " + in + "; choose another -o";
    }
    std::string why;
    auto r = openreader(out, Format::result, 0, why);
    if (r && r->start() && r->header())
        return "classes: " + out + " is the file of a run; choose another -o";
    return "";
}

// The progress line of a file command that takes long (every three
// seconds, on standard error): "[6s] check: FILE: at code 12".
void workline(FILE* out, int64_t ms, const char* command, const std::string& file, int64_t code) {
    fprintf(out, "[%llds] %s: %s: at code %lld\n", (long long)(ms / 1000), command, file.c_str(), (long long)code);
}

std::optional<bool> linearof(const std::string& equivalence) {
    if (equivalence.empty()) return std::nullopt;
    return equivalence == "linear";
}

// The sorter's output: the representatives and the sizes, each under a
// temporary name until the end.
struct ClassFiles {
    std::string reps, sizes;
    std::ofstream repout;
    std::unique_ptr<CodeWriter> writer;
    bool done = false;

    ClassFiles(const std::string& out, const std::string& sz) : reps(out), sizes(sz) {}
    ~ClassFiles() {
        if (!done) remove((reps + ".tmp").c_str());
    }
};

}  // namespace

int checkcommand(const FileCommand& c) {
    const std::string& file = c.files[0];
    CheckOptions opt;
    opt.format = formatof(c, file);
    opt.q = c.q;
    opt.linear4 = linearof(c.equivalence);
    opt.mass = c.mass;
    if (opt.format == Format::plain && c.q == 0 && !runcomment(file))
        return complain("check: " + file + " holds plain matrices; give their field with -q (or the comment of a run's parameters)", 2);
    std::atomic<int64_t> reached{0};
    opt.reached = &reached;
    CheckReport rep;
    {
        Ticker tick(stderr, [&](FILE* out, int64_t ms) { workline(out, ms, "check", file, reached.load()); });
        rep = checkfile(file, opt);
    }
    printf("checked=%s format=%s codes=%lld faults=%lld%s\n", file.c_str(), formatname(opt.format),
           (long long)rep.codes, (long long)rep.faults, rep.masswords.c_str());
    fflush(stdout);
    if (rep.faults == 0) return 0;
    fprintf(stderr, "talven: %s: %s\n", file.c_str(), rep.first.c_str());
    if (rep.faults > 1) fprintf(stderr, "talven: %s: %lld faults in all\n", file.c_str(), (long long)rep.faults);
    return 1;
}

int classescommand(const FileCommand& c) {
    Format to;
    if (!parseformat(c.to, to)) return complain("classes: --to " + c.to + " is no format", 2);
    for (const std::string& file : c.files)
        if (formatof(c, file) == Format::plain && c.q == 0 && !runcomment(file))
            return complain("classes: " + file + " holds plain matrices; give their field with -q", 2);
    ClassFiles out(withsuffix(c.out, to), c.out + ".sizes");
    for (const std::string& o : {out.reps, out.sizes})
        if (std::string why = protectedoutput(o, c.files); !why.empty()) return complain(why, 2);
    out.repout.open(out.reps + ".tmp", std::ios::trunc);
    if (!out.repout) return complain("cannot open " + out.reps + ".tmp: " + strerror(errno), 1);

    std::unique_ptr<ClassSorter> sorter;
    int n = -1, q = 0, status = 0;
    int64_t codes = 0;
    CodeMatrix m;
    std::mutex mu;  // the file and code in hand, for the progress line
    const std::string* inhand = &c.files[0];
    std::atomic<int64_t> reached{0};
    Ticker tick(stderr, [&](FILE* out, int64_t ms) {
        std::lock_guard<std::mutex> g(mu);
        workline(out, ms, "classes", *inhand, reached.load());
    });
    for (const std::string& file : c.files) {
        {
            std::lock_guard<std::mutex> g(mu);
            inhand = &file;
            reached = 0;
        }
        std::string why;
        auto r = openreader(file, formatof(c, file), c.q, why);
        if (!r) return complain(why, 1);
        ReadStatus st;
        int64_t inthis = 0;
        while ((st = r->next(m)) == ReadStatus::code) {
            reached = ++inthis;
            const std::string where = file + ": code " + std::to_string(inthis);
            if (!sorter) {
                n = m.n;
                q = m.q;
                const bool lin = linearof(c.equivalence).value_or(r->linear4().value_or(false));
                sorter = std::make_unique<ClassSorter>(q, q == 4 && lin);
                out.writer = std::make_unique<CodeWriter>(out.repout, to, q);
            }
            if (m.n != n || m.q != q)
                return complain(where + ": a code of length " + std::to_string(m.n) + " over GF(" + std::to_string(m.q) +
                                    ") among codes of length " + std::to_string(n) + " over GF(" + std::to_string(q) + ")",
                                1);
            bool fresh;
            if (sorter->add(m, fresh) == 0) {
                status = complain(where + ": the rows are not independent; the code is left out", 1);
                continue;
            }
            codes++;
            if (fresh && !out.writer->write(m)) return complain(out.reps + ".tmp: " + out.writer->error(), 1);
        }
        if (st == ReadStatus::error) return complain(file + ": " + r->error(), 1);
    }
    if (!out.writer) out.writer = std::make_unique<CodeWriter>(out.repout, to, c.q ? c.q : 2);
    if (!out.writer->end() || !out.repout.good())
        return complain("cannot write " + out.reps + ".tmp", 1);
    out.repout.close();

    std::string sizes = "# class size\n";
    const std::vector<int64_t> none;
    const std::vector<int64_t>& sz = sorter ? sorter->sizes() : none;
    for (size_t i = 0; i < sz.size(); i++) sizes += std::to_string(i + 1) + " " + std::to_string(sz[i]) + "\n";
    if (IoError e = writeatomic(out.sizes, sizes))
        return complain(std::string(e.action) + " " + out.sizes + ": " + strerror(e.err), 1);
    if (rename((out.reps + ".tmp").c_str(), out.reps.c_str()) != 0)
        return complain("cannot rename " + out.reps + ".tmp: " + strerror(errno), 1);
    out.done = true;
    printf("classes=%zu codes=%lld out=%s\n", sz.size(), (long long)codes, out.reps.c_str());
    return status;
}

std::string exportafter(const std::string& result, const std::string& format, bool stats) {
    Format f = Format::result;
    if (!format.empty() && !parseformat(format, f)) return "--format " + format + " is no format";
    if (f == Format::result && !stats) return "";
    return exportresult(result, f, stats);
}
