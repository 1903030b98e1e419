// Exports of a result file (see exports.h).  One pass: each code is read,
// its facts found when wanted, and written to both outputs.
#include "results/exports.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <memory>

#include "codeio/readers.h"
#include "codeio/writers.h"
#include "results/analyse.h"
#include "results/fileformat.h"
#include "results/filemass.h"

namespace {

// One output file written under a temporary name and renamed when done.
struct Output {
    std::string path, temp;
    std::ofstream out;

    explicit Output(const std::string& p) : path(p), temp(p + ".tmp") { out.open(temp, std::ios::trunc); }
    ~Output() {
        if (!temp.empty()) remove(temp.c_str());
    }
    std::string opened() const { return out.is_open() ? "" : "cannot open " + temp + ": " + strerror(errno); }
    // Flushes, closes and renames; "" or the complaint.
    std::string finish() {
        out.flush();
        const bool good = out.good();
        out.close();
        if (!good || out.fail()) return "cannot write " + temp + ": " + (errno != 0 ? strerror(errno) : "the stream failed");
        if (rename(temp.c_str(), path.c_str()) != 0) return "cannot rename " + temp + " to " + path + ": " + strerror(errno);
        temp.clear();
        return "";
    }
};

// The line of the facts of record `number`.
std::string factline(int64_t number, const CodeMatrix& c, const CodeFacts& f) {
    std::string s = std::to_string(number);
    for (long long v : {(long long)c.k, (long long)c.n, (long long)f.d, (long long)f.duald}) {
        s += ' ';
        s += std::to_string(v);
    }
    s += ' ';
    s += f.aut;
    for (uint64_t a : f.weights) {
        s += ' ';
        s += std::to_string(a);
    }
    s += '\n';
    return s;
}

}  // namespace

std::string exportresult(const std::string& path, Format f, bool facts) {
    std::string why;
    std::unique_ptr<CodeReader> r = openreader(path, Format::result, 0, why);
    if (!r) return why;
    if (!r->start()) return path + ": " + r->error();
    const int q = r->header() ? r->header()->q : 0;
    const bool linear4 = r->header() && r->header()->linear4;
    const bool withfacts = facts || f == Format::jsonl;

    std::unique_ptr<Output> codes, stats;
    std::unique_ptr<CodeWriter> writer;
    if (f != Format::result) {
        codes = std::make_unique<Output>(path + exportext(f));
        if (!(why = codes->opened()).empty()) return why;
    }
    if (facts) {
        stats = std::make_unique<Output>(path + ".stats");
        if (!(why = stats->opened()).empty()) return why;
        stats->out << "# record k n d dual_d aut A_0 .. A_n\n";
    }
    std::unique_ptr<CodeAnalyser> an;
    std::unique_ptr<FileMass> mass;
    CodeMatrix c;
    CodeFacts cf;
    CodeForm form;
    ReadStatus st;
    int64_t number = 0;
    auto newwriter = [&](int fq) {
        writer = std::make_unique<CodeWriter>(codes->out, f, fq);
        if (fq == 4) writer->stateequivalence(linear4);
        return writer->begin(r->header());
    };
    while ((st = r->next(c)) == ReadStatus::code) {
        number++;
        if (!writer && codes && !newwriter(c.q)) return codes->temp + ": " + writer->error();
        if (withfacts) {
            if (!an) an = std::make_unique<CodeAnalyser>(c.q, linear4);
            if (!mass) mass = std::make_unique<FileMass>(c.q, c.q == 4 && !linear4);
            if (!an->facts(c, cf, &form))
                return path + ": record " + std::to_string(number) + ": the rows are not independent";
            if (c.q == 4) cf.equivalence = linear4 ? "linear" : "semilinear";
            mass->add(c, form, c.n);
        }
        if (writer && !writer->write(c, cf)) return codes->temp + ": " + writer->error();
        if (stats) stats->out << factline(number, c, cf);
    }
    if (st == ReadStatus::error) return path + ": " + r->error();
    if (codes) {
        if (!writer && !newwriter(q ? q : 2)) return codes->temp + ": " + writer->error();
        if (!writer->end()) return codes->temp + ": " + writer->error();
        if (!(why = codes->finish()).empty()) return why;
    }
    if (stats) {
        // The mass of the codes, with the closed count when there is one.
        const RunHeader* h = r->header();
        const int k = h ? h->k : mass ? mass->highest() : 0;
        BigNat expected;
        std::string formula;
        const bool known = h && closedcount(codesetof(*h, k), expected, formula);
        stats->out << "#" << verdictwords(mass ? mass->of(k) : BigNat(0), known ? &expected : nullptr) << "\n";
        if (!(why = stats->finish()).empty()) return why;
    }
    return "";
}
