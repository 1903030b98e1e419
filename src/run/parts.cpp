// Part files, checkpoints and the merge (see parts.h).
//
// A part file is read line by line and checked as it is read: every header,
// every record and every row must be what the header before it promised,
// so a file cut short by a kill is told apart from a damaged one, and the
// merge never turns a broken file into a short result.
#include "run/parts.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cinttypes>
#include <cstring>
#include <map>
#include <memory>

#include "codeio/codematrix.h"
#include "containers/zassert.h"
#include "fileio/checked.h"
#include "run/resultfiles.h"

std::string partpath(const std::string& base, int I, int M) {
    return base + ".part." + std::to_string(I) + "." + std::to_string(M);
}

std::string checkpointpath(const std::string& partfile) { return partfile + ".ckpt"; }

std::string partheadline(const Plan& plan) {
    return "#talven part " + std::to_string(plan.part) + " " + std::to_string(plan.parts) + " split " +
           std::to_string(plan.split) + " format " + std::to_string(PART_FORMAT) + "\n";
}

// ---- parameters ---------------------------------------------------------------

namespace {

// The fifteen numbers of the P line in their order, each handed to `num`
// (an int32_t) or `flag` (a bool, written 0 or 1), which may refuse it;
// false at the first refusal.  The writer and the reader both walk it.
template <class P, class Num, class Flag>
bool eachparam(P& p, Num num, Flag flag) {
    return flag(p.brute) && num(p.brutedim) && num(p.unusedline3) && num(p.unusedline4) && num(p.nasked) &&
           num(p.n) && num(p.k) && num(p.d) && num(p.q) && num(p.dw) && flag(p.selforth) && num(p.dualdist) &&
           flag(p.doublyeven) && flag(p.wtrestr) && flag(p.linear4);
}

}  // namespace

std::string paramlines(const RunParams& p) {
    std::string s = "P";
    auto put = [&s](int32_t v) {
        s += ' ';
        s += std::to_string(v);
        return true;
    };
    eachparam(p, put, put);
    // A run that cuts the codes of lower dimension which cannot grow into a
    // code of the run says so with a sixteenth number; its h file differs
    // from the complete one, so its parts never mix with those of a run
    // without the cuts (whose line, as in older part files, has fifteen).
    if (p.targetcuts && !p.brute) put(1);
    s += "\nW";
    for (int w = 1; w <= p.n && w < MAXLEN; w++)
        if (p.wt[w] > 0) put(w);
    s += "\nB";
    for (int i = 2; i <= p.k; i++) put(p.propcol[i]);
    s += '\n';
    return s;
}

bool tagnumbers(const std::string& line, char tag, std::vector<int64_t>& out) {
    out.clear();
    if (line.empty() || line[0] != tag) return false;
    const char* p = line.c_str() + 1;
    for (;;) {
        while (*p == ' ') p++;
        if (*p == '\n' || *p == '\0') return true;
        char* end;
        errno = 0;
        long long v = strtoll(p, &end, 10);
        if (end == p || errno == ERANGE) return false;
        out.push_back(v);
        p = end;
    }
}

bool parseparams(const std::string& P, const std::string& W, const std::string& B, RunParams& p) {
    std::vector<int64_t> v, w, b;
    if (!tagnumbers(P, 'P', v) || (v.size() != 15 && v.size() != 16) || !tagnumbers(W, 'W', w) || !tagnumbers(B, 'B', b))
        return false;
    p = RunParams{};
    size_t at = 0;
    auto num = [&](int32_t& x) {
        const int64_t y = v[at++];
        x = (int32_t)y;
        return y >= INT32_MIN && y <= INT32_MAX;
    };
    auto flag = [&](bool& x) {  // a flag is 0 or 1
        const int64_t y = v[at++];
        x = y == 1;
        return y == 0 || y == 1;
    };
    if (!eachparam(p, num, flag)) return false;
    if (v.size() == 16 && v[15] != 1) return false;
    p.targetcuts = v.size() == 16;
    if (p.n < 1 || p.n >= MAXLEN || p.k < 1 || p.k >= MAXDIM || p.k > p.n || (int)b.size() != p.k - 1) return false;
    if (!runrefusal(p, false).empty()) return false;
    for (int64_t x : w) {
        if (x < 1 || x > p.n) return false;
        p.wt[x] = 1;
    }
    for (int i = 0; i < MAXDIM; i++) p.propcol[i] = NOBOUND;
    for (int i = 2; i <= p.k; i++) p.propcol[i] = (int32_t)b[i - 2];
    return true;
}

// ---- records ----------------------------------------------------------------------

void appendrecord(std::string& out, const WorkingCode& code, const BigNat& size) {
    recordhead(out, "c ", {std::to_string(code.level), std::to_string(code.len), std::to_string(code.q), size.str()});
    recordrows(out, 1, code.level, 1, code.len, [&code](int r, int c) { return code.m[r][c]; });
}

namespace {

// Reads one line (with its newline) into s; false at the end of the file.
// The stream belongs to one reader, so it is read without locking.
bool getline(FILE* fp, std::string& s) {
    s.clear();
    int c;
    while ((c = getc_unlocked(fp)) != EOF) {
        s += (char)c;
        if (c == '\n') return true;
    }
    return !s.empty();
}

int digitvalue(char c) { return c >= '0' && c <= '9' ? c - '0' : (c >= 'A' && c <= 'F' ? c - 'A' + 10 : -1); }

// One segment header found by the scan.
struct segref {
    uint64_t s, u;      // segment, unit (u unused for the skeleton)
    uint64_t count;     // records
    uint64_t offset;    // where the header starts
    uint64_t sum;       // the segment's checksum
    std::string prefix; // its header line up to the sum
};

// A segment header "S s count sum" or "U s u count sum" (with its newline)
// into ref; false when it is damaged.
bool segmentheader(const std::string& line, segref& ref) {
    size_t cut = line.rfind(' ');
    if (cut == std::string::npos || line.back() != '\n') return false;
    ref.prefix = line.substr(0, cut);
    if (!parsehex64(line.substr(cut + 1, line.size() - cut - 2), ref.sum)) return false;
    std::vector<int64_t> v;
    if (tagnumbers(ref.prefix, 'S', v) && v.size() == 2 && v[0] >= 0 && v[0] % 2 == 0 && v[1] >= 0) {
        ref.s = (uint64_t)v[0], ref.count = (uint64_t)v[1], ref.u = UINT64_MAX;
        return true;
    }
    if (tagnumbers(ref.prefix, 'U', v) && v.size() == 3 && v[0] > 0 && v[0] % 2 == 1 && v[1] == (v[0] - 1) / 2 &&
        v[2] >= 0) {
        ref.s = (uint64_t)v[0], ref.u = (uint64_t)v[1], ref.count = (uint64_t)v[2];
        return true;
    }
    return false;
}

// Reads a file's records one at a time, each checked.
class PartReader {
   public:
    explicit PartReader(FILE* fp) : fp_(fp) {}
    // Reads "c dim len q size" and its rows into code and size (q must be
    // `q`, dim at most k), adding every byte read to `sum`; "" or what is
    // wrong.  `eof` is set when the file ended inside.
    std::string record(WorkingCode& code, BigNat& size, int q, int k, Checksum& sum, bool& eof) {
        std::vector<int64_t> v;
        eof = false;
        if (!getline(fp_, line_)) return eof = true, "the file ends inside a segment";
        lineno_++;
        if (line_.back() != '\n') return eof = true, "the file ends inside a record";
        sum.add(line_);
        const size_t cut = line_.rfind(' ');
        if (cut == std::string::npos || !BigNat::parse(std::string_view(line_).substr(cut + 1, line_.size() - cut - 2), size) ||
            size.zero() || !tagnumbers(line_.substr(0, cut), 'c', v) || v.size() != 3 || v[0] < 1 || v[0] > k ||
            v[1] < 1 || v[1] >= MAXLEN || v[2] != q)
            return "a damaged code record";
        code.level = (int32_t)v[0];
        code.len = (int32_t)v[1];
        code.q = q;
        for (int r = 1; r <= code.level; r++) {
            if (!getline(fp_, line_) || line_.back() != '\n') return eof = true, "the file ends inside a record";
            lineno_++;
            sum.add(line_);
            if ((int64_t)line_.size() != v[1] + 1) return "a row of the wrong length";
            for (int c = 1; c <= code.len; c++) {
                int x = digitvalue(line_[c - 1]);
                if (x < 0 || x >= q) return "a symbol that is not an element of GF(" + std::to_string(q) + ")";
                code.m[r][c] = x;
            }
        }
        return "";
    }
    std::string line_;
    uint64_t lineno_ = 0;

   private:
    FILE* fp_;
};

// The first line of a part file into the part, the split and the layout;
// "" or what is wrong with it.
std::string readheadline(const std::string& head, PartScan& ps) {
    int I, M, L, format = 0;
    char end = 0;
    int got = sscanf(head.c_str(), "#talven part %d %d split %d format %d%c", &I, &M, &L, &format, &end);
    if (got < 3 || M < 1 || I < 0 || I >= M || L < 0) return "not a part file of this program";
    if (got == 3) return "a part file of an older version of talven, without checksums: make the part again";
    if (got != 5 || end != '\n') return "a damaged first line";
    if (format < PART_FORMAT)
        return "a part file of layout " + std::to_string(format) +
               " of an older version of talven, without the class sizes of its codes: make the part again";
    if (format != PART_FORMAT)
        return "a part file of layout " + std::to_string(format) + ", which this version of talven does not read";
    ps.I = I, ps.M = M, ps.split = L;
    return "";
}

// The end line "E segments seconds sum" (with its newline): checks it and
// the file's sum; "" or what is wrong.
std::string readendline(const std::string& line, PartScan& ps) {
    size_t cut = line.rfind(' ');
    uint64_t sum = 0, segs = 0;
    double secs = 0;
    char extra;
    if (cut == std::string::npos || line.back() != '\n' ||
        !parsehex64(line.substr(cut + 1, line.size() - cut - 2), sum) ||
        sscanf(line.substr(0, cut).c_str(), "E %" SCNu64 " %lf%c", &segs, &secs, &extra) != 2)
        return "a damaged end line";
    ps.sum.add(line.substr(0, cut));
    if (ps.sum.value() != sum) return "the checksum of the file does not match: the file is damaged";
    ps.ended = true, ps.segments = segs, ps.seconds = secs;
    return "";
}

// Scans the file up to `limit` bytes, checking every sum; refs gets every
// whole segment.
PartScan scanwith(const std::string& path, uint64_t limit, std::vector<segref>* refs) {
    PartScan ps;
    File fp = openregular(path, ps.error);
    if (!fp) return ps;
    PartReader rd(fp);
    std::string head, P, W, B;
    auto fail = [&](const std::string& what) {
        ps.error = path + " line " + std::to_string(rd.lineno_) + ": " + what;
        return ps;
    };
    rd.lineno_ = 1;
    if (!getline(fp, head)) return fail("not a part file of this program");
    std::string why = readheadline(head, ps);
    if (!why.empty()) return fail(why);
    if (!getline(fp, P) || !getline(fp, W) || !getline(fp, B)) return rd.lineno_ = 2, fail("the parameters are cut short");
    rd.lineno_ = 4;
    RunParams par;
    if (!parseparams(P, W, B, par)) return fail("damaged parameters");
    ps.params = P + W + B;
    ps.sum.add(head + ps.params);
    ps.complete_end = (uint64_t)ftello(fp);
    WorkingCode* code = new WorkingCode;
    std::unique_ptr<WorkingCode> keep(code);
    for (;;) {
        uint64_t at = (uint64_t)ftello(fp);
        if (at >= limit) break;
        if (!getline(fp, rd.line_)) break;  // the end, without the "E" line
        rd.lineno_++;
        if (rd.line_.back() != '\n') break;  // a header cut short
        if (rd.line_[0] == 'E') {
            why = readendline(rd.line_, ps);
            if (!why.empty()) return fail(why);
            ps.complete_end = (uint64_t)ftello(fp);
            if (getc_unlocked(fp) != EOF) return rd.lineno_++, fail("text after the end line: the file is damaged");
            break;
        }
        segref ref{};
        ref.offset = at;
        if (!segmentheader(rd.line_, ref)) return fail("a damaged segment header");
        const uint64_t headline = rd.lineno_;
        Checksum sum;
        bool eof = false;
        MassSums segmass;
        BigNat size;
        for (uint64_t t = 0; t < ref.count && !eof; t++) {
            why = rd.record(*code, size, par.q, par.k, sum, eof);
            if (!why.empty() && !eof) return fail(why);
            if (!eof) segmass.add(code->level, size);
        }
        if (eof) break;
        if ((uint64_t)ftello(fp) > limit) break;
        sum.add(ref.prefix);
        if (sum.value() != ref.sum)
            return rd.lineno_ = headline,
                   fail("the checksum of segment " + std::to_string(ref.s) + " does not match: the file is damaged");
        ps.sum.add(ref.sum);
        for (int D = 1; D <= par.k; D++) ps.mass.add(D, segmass.bydim[(size_t)D]);
        ps.complete_end = (uint64_t)ftello(fp);
        if (ref.u == UINT64_MAX)
            ps.skeleton.push_back(ref.s);
        else
            ps.units.push_back(ref.u);
        if (refs) refs->push_back(ref);
    }
    return ps;
}

}  // namespace

PartScan scanpart(const std::string& path, uint64_t limit) { return scanwith(path, limit, nullptr); }

std::string samerun(const PartScan& ps, const std::string& path, const RunParams& par, int part, int parts, int split) {
    if (ps.I != part || ps.M != parts) return path + " is part " + std::to_string(ps.I) + " of " + std::to_string(ps.M);
    if (split > 0 && ps.split != split)
        return path + " was split at level " + std::to_string(ps.split) + ", not " + std::to_string(split);
    if (ps.params != paramlines(par)) return path + " was made with other options (parameters or restrictions)";
    return "";
}

// ---- checkpoints -----------------------------------------------------------------

bool readcheckpoint(const std::string& path, Checkpoint& c) {
    File fp(fopen(path.c_str(), "r"));
    return fp && fscanf(fp, "talven checkpoint offset=%" SCNu64 " seconds=%lf", &c.offset, &c.seconds) == 2;
}

bool writecheckpoint(const std::string& path, const Checkpoint& c) {
    char buf[128];
    snprintf(buf, sizeof buf, "talven checkpoint offset=%" PRIu64 " seconds=%.3f\n", c.offset, c.seconds);
    return !writeatomic(path, buf);
}

// ---- the split choice ------------------------------------------------------------

std::string choicepath(const std::string& partfile) { return partfile + ".split"; }

int SplitChoice::counted() const {
    int c = 0;
    for (int64_t u : units) c += u >= 0;
    return c;
}

namespace {

std::string choicehead(const RunParams& par, int part, int parts) {
    return "#talven split choice of part " + std::to_string(part) + " " + std::to_string(parts) + "\n" +
           paramlines(par);
}

}  // namespace

bool writechoice(const std::string& path, const RunParams& par, int part, int parts, const SplitChoice& c) {
    std::string text = choicehead(par, part, parts);
    for (int L = 1; L < (int)c.units.size(); L++)
        if (c.units[(size_t)L] >= 0) text += "L " + std::to_string(L) + " " + std::to_string(c.units[(size_t)L]) + "\n";
    if (c.chosen > 0) text += "C " + std::to_string(c.chosen) + "\n";
    Checksum sum;
    sum.add(text);
    return !writeatomic(path, text + "sum " + sum.hex() + "\n");
}

bool readchoice(const std::string& path, const RunParams& par, int part, int parts, SplitChoice& c) {
    std::string why;
    File fp = openregular(path, why);
    if (!fp) return false;
    const std::string head = choicehead(par, part, parts);
    std::string text, line;
    while (text.size() <= head.size() + 4096 && getline(fp, line) && line.rfind("sum ", 0) != 0) text += line;
    Checksum sum;
    sum.add(text);
    if (text.rfind(head, 0) != 0 || line != "sum " + sum.hex() + "\n" || getline(fp, line)) return false;
    c = SplitChoice();
    c.units.assign((size_t)par.k, -1);
    std::vector<int64_t> v;
    size_t at = head.size();
    while (at < text.size()) {
        const size_t end = text.find('\n', at) + 1;
        line = text.substr(at, end - at);
        at = end;
        if (tagnumbers(line, 'L', v) && v.size() == 2 && v[0] >= 1 && v[0] < par.k && v[1] >= 0)
            c.units[(size_t)v[0]] = v[1];
        else if (tagnumbers(line, 'C', v) && v.size() == 1 && v[0] >= 1 && v[0] < par.k && c.at((int)v[0]) >= 0)
            c.chosen = (int)v[0];
        else
            return false;
    }
    return true;
}

// ---- the merge -------------------------------------------------------------------

namespace {

struct partin {
    std::string path;
    PartScan scan;
    std::vector<segref> refs;
};

// The run's parameters of a part file's "P", "W" and "B" lines.
RunParams paramsof(const PartScan& ps) {
    const std::string& t = ps.params;
    const size_t w = t.find('\n') + 1, b = t.find('\n', w) + 1;
    RunParams par{};
    parseparams(t.substr(0, w), t.substr(w, b - w), t.substr(b), par);
    return par;
}

// A part file's name is the name its content gives it (the merge writes the
// result files of the run the content states, under the lock of the name):
// "" or what differs.
std::string namedright(const std::string& path, const PartScan& ps) {
    const std::string name = path.substr(path.rfind('/') + 1), run = resultname(paramsof(ps));
    const std::string due = partpath(run, ps.I, ps.M);
    if (name == due) return "";
    return path + " holds part " + std::to_string(ps.I) + " of " + std::to_string(ps.M) + " of the run " + run +
           " (its P line), so its name must be " + due;
}

// Every part of the split once, complete, of one run and named after it;
// "" or what is wrong.
std::string checkparts(std::vector<partin>& in, std::vector<partin*>& byI) {
    if (in.empty()) return "no part files";
    const PartScan& a = in[0].scan;
    byI.assign((size_t)a.M, nullptr);
    for (partin& p : in) {
        const PartScan& s = p.scan;
        if (!s.error.empty()) return s.error;
        if (std::string why = namedright(p.path, s); !why.empty()) return why;
        if (s.M != a.M || s.split != a.split || s.params != a.params)
            return p.path + " belongs to another run or split than " + in[0].path;
        if (byI[(size_t)s.I]) return "part " + std::to_string(s.I) + " twice: " + byI[(size_t)s.I]->path + " and " + p.path;
        byI[(size_t)s.I] = &p;
    }
    for (int I = 0; I < a.M; I++)
        if (!byI[(size_t)I]) return "part " + std::to_string(I) + " of " + std::to_string(a.M) + " is missing";
    for (partin* p : byI) {
        if (!p->scan.ended && lockedbyother(p->path)) return p->path + " is being written by another run";
        if (!p->scan.ended) return p->path + " is incomplete (the part was stopped before its end; resume it)";
        if (p->scan.segments != a.segments && a.ended) return p->path + " has another segment count than " + in[0].path;
    }
    return "";
}

// The owner of every segment, in search order; "" or what is wrong.
std::string ordersegments(const std::vector<partin*>& byI, uint64_t T,
                          std::vector<std::pair<partin*, const segref*>>& order) {
    const uint64_t M = byI.size();
    order.assign(T, {nullptr, nullptr});
    for (partin* p : byI)
        for (const segref& r : p->refs) {
            if (r.s >= T) return p->path + ": segment " + std::to_string(r.s) + " beyond the end";
            if (r.u != UINT64_MAX && r.u % M != (uint64_t)p->scan.I)
                return p->path + ": unit " + std::to_string(r.u) + " belongs to part " + std::to_string(r.u % M);
            if (r.u == UINT64_MAX && p->scan.I != 0) return p->path + ": skeleton codes outside part 0";
            if (order[r.s].first) return p->path + ": segment " + std::to_string(r.s) + " twice";
            order[r.s] = {p, &r};
        }
    for (uint64_t s = 0; s < T; s++)
        if (!order[s].first) {
            uint64_t owner = s % 2 == 0 ? 0 : ((s - 1) / 2) % M;
            return byI[owner]->path + " lacks segment " + std::to_string(s);
        }
    return "";
}

}  // namespace

MergeResult mergeparts(const std::vector<std::string>& files, const std::string& outdir, FILE* console) {
    MergeResult res;
    std::vector<partin> in(files.size());
    for (size_t i = 0; i < files.size(); i++) {
        in[i].path = files[i];
        in[i].scan = scanwith(files[i], UINT64_MAX, &in[i].refs);
    }
    std::vector<partin*> byI;
    res.error = checkparts(in, byI);
    if (!res.error.empty()) return res;
    const uint64_t T = byI[0]->scan.segments;
    std::vector<std::pair<partin*, const segref*>> order;
    res.error = ordersegments(byI, T, order);
    if (!res.error.empty()) return res;

    auto par = std::make_unique<RunParams>(paramsof(byI[0]->scan));
    for (partin* p : byI) res.seconds += p->scan.seconds;

    RunFault fault(console);
    ResultFiles out(*par, fault);
    if (!out.open(outdir + resultname(*par), true)) return res.error = fault.detail(), res;
    auto code = std::make_unique<WorkingCode>();
    code->k = par->k;
    std::map<partin*, File> open;
    for (partin* p : byI) {
        std::string why;
        open[p] = openregular(p->path, why);
    }
    for (uint64_t s = 0; s < T && res.error.empty() && !fault.stopped(); s++) {
        FILE* fp = open[order[s].first];
        const segref& r = *order[s].second;
        std::string header;
        if (!fp || fseeko(fp, (off_t)r.offset, SEEK_SET) != 0 || !getline(fp, header)) {
            res.error = "cannot read " + order[s].first->path;
            break;
        }
        PartReader rd(fp);
        Checksum sum;
        BigNat size;
        for (uint64_t t = 0; t < r.count && res.error.empty(); t++) {
            bool eof;
            if (!rd.record(*code, size, par->q, par->k, sum, eof).empty()) break;
            out.newcode(*code);
            res.mass.add(code->level, size);
        }
        sum.add(r.prefix);
        if (sum.value() != r.sum) res.error = order[s].first->path + " changed while it was merged";
    }
    open.clear();
    if (!res.error.empty() || fault.stopped()) {
        out.abandon();
        if (res.error.empty()) res.error = fault.detail();
        return res;
    }
    out.finish(res.seconds);
    if (fault.stopped()) return res.error = fault.detail(), res;
    res.ok = true;
    res.codes = out.codecount;
    res.par = *par;
    return res;
}
