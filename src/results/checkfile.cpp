// The checker (see checkfile.h).  One Checker reads one file: a step per
// kind of fact, each adding a fault to the report when it fails; the codes
// themselves are not kept, only their canonical forms.
#include "results/checkfile.h"

#include <algorithm>
#include <map>
#include <memory>

#include "codeio/readers.h"
#include "results/analyse.h"
#include "results/classsort.h"
#include "results/filemass.h"

namespace {

class Checker {
   public:
    Checker(const CheckOptions& opt, CheckReport& rep) : opt_(opt), rep_(rep) {}
    void run(const std::string& path);

   private:
    void fault(const std::string& why);
    void record(const CodeMatrix& c, const CodeFacts& facts);
    // The steps on one code; each may add a fault.
    bool shape(const CodeMatrix& c);
    bool rank(const CodeMatrix& c);
    void systematic(const CodeMatrix& c);
    void numbering(const CodeMatrix& c);
    void distance(const CodeMatrix& c);
    void selforth(const CodeMatrix& c);
    void dual(const CodeMatrix& c);
    void known(const CodeMatrix& c, const CodeFacts& facts);
    void unique(const CodeMatrix& c, const CodeForm* f);
    void addmass(const CodeMatrix& c, const CodeForm& f);
    // After the last code: the totals of a finished run; the mass.
    void totals();
    void verdict();

    const CheckOptions& opt_;
    CheckReport& rep_;
    std::unique_ptr<CodeReader> r_;
    const RunHeader* h_ = nullptr;  // the file's header, when it has one
    std::unique_ptr<CodeAnalyser> an_;
    std::unique_ptr<FileMass> mass_;
    std::string where_;             // "record 3" or "code 3": the code in hand
    bool hfile_ = false;            // records carry an overall number
    std::map<int, int64_t> perdim_; // codes of each dimension
    // The classes of the codes so far, and the number of each class's first
    // code.
    std::unique_ptr<ClassSorter> classes_;
    std::vector<int64_t> firstof_;
    std::vector<uint64_t> A_;
};

void Checker::fault(const std::string& why) {
    if (rep_.faults++ == 0) rep_.first = where_.empty() ? why : where_ + ": " + why;
}

void Checker::run(const std::string& path) {
    std::string why;
    r_ = openreader(path, opt_.format, opt_.q, why);
    if (!r_) {
        rep_.damaged = true;
        fault(why);
        return;
    }
    CodeMatrix c;
    CodeFacts facts;
    ReadStatus st;
    while ((st = r_->next(c, &facts)) == ReadStatus::code) {
        h_ = r_->header();  // a plain file's comment is read with its first code
        rep_.codes++;
        if (opt_.reached) opt_.reached->store(rep_.codes, std::memory_order_relaxed);
        where_ = (opt_.format == Format::result ? "record " : "code ") + std::to_string(rep_.codes);
        record(c, facts);
    }
    where_.clear();
    if (st == ReadStatus::error) {
        rep_.damaged = true;
        fault(r_->error());
        return;
    }
    if (!h_) h_ = r_->header();
    totals();
    if (opt_.mass) verdict();
}

void Checker::record(const CodeMatrix& c, const CodeFacts& facts) {
    if (!an_) {
        const bool linear4 = opt_.linear4.value_or(r_->linear4().value_or(false));
        an_ = std::make_unique<CodeAnalyser>(c.q, c.q == 4 && linear4);
        classes_ = std::make_unique<ClassSorter>(c.q, c.q == 4 && linear4);
        mass_ = std::make_unique<FileMass>(c.q, c.q == 4 && !linear4);
    }
    numbering(c);
    if (!shape(c) || !rank(c)) return;
    systematic(c);
    distance(c);
    selforth(c);
    dual(c);
    known(c, facts);
    if (!opt_.mass) return unique(c, nullptr);
    CodeForm f;
    an_->form(c, f);
    unique(c, &f);
    addmass(c, f);
}

void Checker::numbering(const CodeMatrix& c) {
    const int64_t inkind = ++perdim_[c.k];
    if (opt_.format != Format::result) return;
    const RecordLabel& l = r_->label();
    if (rep_.codes == 1) hfile_ = l.overall >= 0;
    if (hfile_) {
        if (l.overall != rep_.codes)
            fault("numbered " + std::to_string(l.overall) + " among all records, not " + std::to_string(rep_.codes));
        if (l.number != inkind)
            fault("numbered " + std::to_string(l.number) + " in dimension " + std::to_string(c.k) + ", not " +
                  std::to_string(inkind));
    } else if (l.number != rep_.codes) {
        fault("numbered " + std::to_string(l.number) + ", not " + std::to_string(rep_.codes));
    }
}

// A record of the header's run: dimension and length within k and n (an h
// file holds shorter codes of the lower dimensions).
bool Checker::shape(const CodeMatrix& c) {
    if (!h_) return true;
    if (c.k > h_->k) {
        fault("dimension " + std::to_string(c.k) + " above the run's k = " + std::to_string(h_->k));
        return false;
    }
    if (c.n > h_->n) {
        fault("length " + std::to_string(c.n) + " above the run's n = " + std::to_string(h_->n));
        return false;
    }
    return true;
}

bool Checker::rank(const CodeMatrix& c) {
    const int r = an_->rank(c);
    if (r == c.k) return true;
    fault("the rows have rank " + std::to_string(r) + ", not " + std::to_string(c.k));
    return false;
}

void Checker::systematic(const CodeMatrix& c) {
    const int free = c.n - c.k;
    for (int r = 0; r < c.k; r++)
        for (int j = 0; j < c.k; j++)
            if (c.at(r, free + j) != (r == j ? 1 : 0)) {
                fault("not in systematic form: row " + std::to_string(r + 1) + " has " + std::to_string(c.at(r, free + j)) +
                      " in column " + std::to_string(free + j + 1));
                return;
            }
}

// The minimum distance, and every weight allowed when the header allows
// fewer than all weights from d up.
void Checker::distance(const CodeMatrix& c) {
    if (!h_) return;
    bool all = true;
    std::vector<bool> ok((size_t)c.n + 1, false);
    for (int32_t w : h_->weights)
        if (w <= c.n) ok[(size_t)w] = true;
    for (int w = h_->d; w <= c.n; w++) all = all && ok[(size_t)w];
    if (all) {
        // The exact distance only when the code falls short (it then has a
        // light word, which bounds the work).
        if (an_->atleast(c, h_->d)) return;
        fault("minimum distance " + std::to_string(an_->mindist(c)) + ", below d = " + std::to_string(h_->d));
        return;
    }
    an_->weights(c, A_);
    for (int w = 1; w <= c.n; w++)
        if (A_[(size_t)w] > 0 && !ok[(size_t)w]) {
            fault(std::to_string(A_[(size_t)w]) + " codewords of weight " + std::to_string(w) +
                  (w < h_->d ? ", below d = " + std::to_string(h_->d) : ", a weight the run does not allow"));
            return;
        }
}

void Checker::selforth(const CodeMatrix& c) {
    if (!h_ || h_->selforth != 1 || c.q > 4) return;
    if (!an_->selforthogonal(c)) fault("not self-orthogonal");
}

void Checker::dual(const CodeMatrix& c) {
    if (!h_ || h_->dualdist <= 1 || c.k != h_->k) return;
    const int dd = an_->dualdist(c);
    if (dd < h_->dualdist)
        fault("dual distance " + std::to_string(dd) + ", below " + std::to_string(h_->dualdist));
}

// The facts a JSON Lines file states.
void Checker::known(const CodeMatrix& c, const CodeFacts& facts) {
    if (facts.d < 0 && facts.duald < 0 && facts.weights.empty() && facts.aut.empty()) return;
    CodeFacts real;
    an_->facts(c, real);
    if (facts.d >= 0 && facts.d != real.d)
        fault("stated minimum distance " + std::to_string(facts.d) + ", but it is " + std::to_string(real.d));
    if (facts.duald >= 0 && facts.duald != real.duald)
        fault("stated dual distance " + std::to_string(facts.duald) + ", but it is " + std::to_string(real.duald));
    if (!facts.weights.empty() && facts.weights != real.weights) fault("the stated weight distribution is wrong");
    if (!facts.aut.empty() && facts.aut != real.aut)
        fault("stated group order " + facts.aut + ", but it is " + real.aut);
}

// No two codes of one dimension and length are equivalent.  `f` is c's
// form when the caller made it; else the sorter makes it, and only once a
// second code of c's dimension and length comes.
void Checker::unique(const CodeMatrix& c, const CodeForm* f) {
    bool fresh = false;
    const int64_t cls = classes_->add(c, fresh, f);
    if (fresh) firstof_.push_back(rep_.codes);
    else fault("equivalent to " + where_.substr(0, where_.find(' ')) + " " + std::to_string(firstof_[(size_t)cls - 1]));
}

void Checker::totals() {
    if (opt_.format == Format::result && !h_ && rep_.codes == 0) {
        fault("the file holds neither a header nor a code");
        return;
    }
    if (opt_.format != Format::result || !h_) return;
    const RunTrailer* t = r_->trailer();
    if (!t) {
        fault("no RES totals at the end: the run did not finish");
        return;
    }
    if (t->totals.empty()) return;
    if (!hfile_) {
        if (t->totals.back() != rep_.codes)
            fault("the RES totals give " + std::to_string(t->totals.back()) + " codes of dimension " +
                  std::to_string(h_->k) + ", the file has " + std::to_string(rep_.codes));
        return;
    }
    if (t->totals[0] != rep_.codes)
        fault("the RES totals give " + std::to_string(t->totals[0]) + " codes, the file has " + std::to_string(rep_.codes));
    const int m = (int)t->totals.size() - 1;
    for (int i = 1; i <= m; i++) {
        const int dim = h_->k - m + i;
        // The place of dimension 1 holds the total (a run from dimension 1).
        const int64_t have = dim == 1 ? rep_.codes : perdim_.count(dim) ? perdim_[dim] : 0;
        if (t->totals[(size_t)i] != have)
            fault("the RES totals give " + std::to_string(t->totals[(size_t)i]) + " codes of dimension " +
                  std::to_string(dim) + ", the file has " + std::to_string(have));
    }
}

}  // namespace

CheckReport checkfile(const std::string& path, const CheckOptions& opt) {
    CheckReport rep;
    Checker(opt, rep).run(path);
    return rep;
}

namespace {

// The run's length for codes of dimension D (an h file leaves out their
// leading zero coordinates).
int runlength(const RunHeader& h, int D) { return h.brute ? h.n : h.n - h.k + D; }

}  // namespace

void Checker::addmass(const CodeMatrix& c, const CodeForm& f) {
    const int m = h_ && hfile_ ? std::max(c.n, runlength(*h_, c.k)) : c.n;
    mass_->add(c, f, m);
}

void Checker::verdict() {
    const int K = h_ ? h_->k : mass_ ? mass_->highest() : 0;
    const BigNat M = mass_ ? mass_->of(K) : BigNat(0);
    BigNat E;
    std::string how;
    const bool known = h_ && expectedcount(codesetof(*h_, K), E, how);
    rep_.masswords = verdictwords(M, known ? &E : nullptr);
    if (mass_ && mass_->lowest() > 0 && mass_->lowest() < K) {
        rep_.masswords += " masses=";
        const int from = std::max(2, mass_->lowest());
        for (int D = from; D <= K; D++) {
            if (D > from) rep_.masswords += ',';
            rep_.masswords += mass_->of(D).str();
        }
    }
    if (!known || M == E) return;
    where_.clear();
    const std::string what = how == "listed" ? "the codes of the run's parameters (listed)" : how;
    if (M < E)
        fault("the mass " + M.str() + " of dimension " + std::to_string(K) + " is below the number " + E.str() +
              " of " + what + ": a class is missing");
    else
        fault("the mass " + M.str() + " of dimension " + std::to_string(K) + " is above the number " + E.str() +
              " of " + what + ": a class is there twice, or a code does not belong");
}
