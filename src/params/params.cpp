// The parameter table, the defaults, the weight normalisation and the
// parameters of one run.
#include "params/params.h"

#include "containers/containers.h"
#include "field/field.h"

// clang-format off
const ParamDef paramtable[NSCALARS] = {
    // name        line field                  def lo         hi         ref layout prompt                                   header
    {"brute",      1,  &ParamRecord::brute,      0,  0,         1,         0,  false, nullptr,                                 nullptr},
    {"brutedim",   2,  &ParamRecord::brutedim,   0,  1,         19,        'k', false, "Enter  starting dimension < %d :",      nullptr},
    {"reserved1",  3,  &ParamRecord::reserved1,  0,  INT32_MIN, INT32_MAX, 0,  false, nullptr,                                 nullptr},
    {"reserved2",  4,  &ParamRecord::reserved2,  4,  INT32_MIN, INT32_MAX, 0,  false, nullptr,                                 nullptr},
    {"n",          5,  &ParamRecord::n,          24, 1,         799,       0,  true,  "\n Enter n = ",                         " n="},
    {"k",          6,  &ParamRecord::k,          12, 1,         19,        0,  true,  "\n Enter k = ",                         "  k="},
    {"d",          7,  &ParamRecord::d,          8,  1,         799,       'n', true, "\n Enter d = ",                         "  d="},
    {"q",          8,  &ParamRecord::q,          2,  1,         8,         0,  true,  "\n Enter q = ",                         " q="},
    {"dw",         9,  &ParamRecord::dw,         1,  1,         799,       'n', true, "\n Weights are divisible by dw = ",     " ; divisible by "},
    {"selforth",   10, &ParamRecord::selforth,   0,  0,         1,         0,  false, "\n Self orthogonal 1-Yes /  0-No  ",    "  ; self orthogonal "},
    {"dualdist",   11, &ParamRecord::dualdist,   1,  1,         799,       0,  false, "Enter  dual distance :",                ",dual distance "},
};
// clang-format on

const ArrayDef weightdef = {0, 1, "\n Weight %d (y/n): "};
const ArrayDef propdef = {1, 799, "\n in dimension  %d -> "};

const ParamDef& paramdef(int32_t ParamRecord::*field) {
    for (const ParamDef& d : paramtable)
        if (d.field == field) return d;
    zfail("params", __LINE__, "a parameter of the table");
}

int32_t upperbound(const ParamDef& d, const ParamRecord& p) {
    int32_t hi = d.hi;
    if (d.hiref == 'n') hi = p.n < hi ? p.n : hi;
    if (d.hiref == 'k') hi = p.k < hi ? p.k : hi;
    return hi;
}

bool inbounds(const ParamDef& d, const ParamRecord& p, int64_t v) { return v >= d.lo && v <= upperbound(d, p); }

void setdefaults(ParamRecord& p) {
    for (const ParamDef& d : paramtable) p.*d.field = d.def;
    for (int i = 0; i < MAXDIM; i++) p.propcol[i] = NOBOUND;
    for (int w = 8; w <= 24; w++) p.wt[w] = 1;
}

void resetpar(ParamRecord& p) {
    for (const ParamDef& d : paramtable) p.*d.field = 0;
    p.dw = 1;
    p.dualdist = 1;
    for (int i = 0; i < MAXDIM; i++) p.propcol[i] = NOBOUND;
    for (int w = 1; w < MAXLEN; w++) p.wt[w] = 0;
}

// ---- weight normalisation ------------------------------------------------------

namespace {

// Forbids every allowed weight w in 1..n that `bad` rejects.
template <class F>
void forbid(ParamRecord& p, F bad) {
    for (int w = 1; w <= p.n; w++)
        if (bad(w)) p.wt[w] = 0;
}

// True when some allowed weight in 1..n satisfies `pred`.
template <class F>
bool anyallowed(const ParamRecord& p, F pred) {
    for (int w = 1; w <= p.n; w++)
        if (p.wt[w] == 1 && pred(w)) return true;
    return false;
}

}  // namespace

void normweights(ParamRecord& p, int32_t& doublyeven) {
    if (p.q == 3) {
        if (p.selforth == 1) {
            forbid(p, [](int w) { return w % 3 != 0; });
        } else if (p.selforth == 0) {
            if (p.n >= 1 && !anyallowed(p, [](int w) { return w % 3 != 0; }) &&
                anyallowed(p, [](int w) { return w % 3 == 0 && w % 9 != 0; }))
                p.selforth = 1;
        }
    } else if (p.q == 4) {
        if (p.selforth == 1) {
            forbid(p, [](int w) { return w % 2 != 0; });
        } else if (p.selforth == 0) {
            if (p.n >= 1 && !anyallowed(p, [](int w) { return w % 2 != 0; }) &&
                anyallowed(p, [](int w) { return w % 4 == 2; }))
                p.selforth = 1;
        }
    } else if (p.q == 2) {
        if (p.selforth == 1) forbid(p, [](int w) { return w % 2 != 0; });
        if (p.n < 1) {
            doublyeven = 0;
            p.selforth = 0;
        } else if (anyallowed(p, [](int w) { return w % 4 != 0; })) {
            doublyeven = 0;
        } else if (anyallowed(p, [](int w) { return w % 8 == 4; })) {
            doublyeven = 1;
            p.selforth = 1;
        } else {
            doublyeven = 0;
            p.selforth = 0;
        }
    }
}

// ---- the parameters of one run --------------------------------------------------

std::string runrefusal(const ParamRecord& p, bool brute) {
    if (!fieldok(p.q))
        return "Field size q=" + std::to_string(p.q) + " is not supported: choose q = 2, 3, 4, 5 or 7.";
    if (p.k > p.n)
        return "Dimension k=" + std::to_string(p.k) + " is larger than the length n=" + std::to_string(p.n) +
               ": choose k <= n.";
    if (brute && p.n + p.k > 799)
        return "Brute generation needs n + k <= 799 (here n + k = " + std::to_string(p.n + p.k) + ").";
    return "";
}

namespace {

// 1 when a weight of the walk from `from` in steps of `step` up to `to` is
// forbidden.
int forbiddenstep(const ParamRecord& p, int from, int step, int to) {
    for (int w = from; w <= to; w += step)
        if (w >= 1 && w < MAXLEN && p.wt[w] == 0) return 1;
    return 0;
}

// Self-orthogonal codes over GF(2), GF(3) and GF(4) cannot have the weights
// off their step (odd, not divisible by 4 for doubly-even codes, not
// divisible by 3), so the walk goes over the multiples of the step from d
// on.  Nothing else keeps a weight that is not a multiple of dw out of a
// code, so without self-orthogonality every weight from d to n is walked
// (for dw = 1 this is the walk in steps of dw).  In brute generation the k
// added coordinates are zero, so no weight exceeds the asked n.
int checkweights(const RunParams& p) {
    int step = 1;
    if (p.selforth == 1) {
        if (p.q == 3) step = 3;
        else if (p.q == 4) step = 2;
        else if (p.q == 2) step = p.doublyeven == 1 ? 4 : 2;
    }
    const int from = (p.d + step - 1) / step * step;
    return forbiddenstep(p, from, step, p.nasked);
}

}  // namespace

RunParams makerunparams(const ParamRecord& rec, int32_t doublyeven, bool brute, int32_t brutedim) {
    RunParams p{};
    static_cast<ParamRecord&>(p) = rec;
    p.nasked = rec.n;
    p.doublyeven = rec.q == 2 ? doublyeven : 0;
    p.brute = brute ? 1 : 0;
    p.brutedim = brute ? brutedim : 0;
    if (brute) {
        p.n = rec.n + rec.k;
        p.dualdist = 1;
        for (int i = 0; i < MAXDIM; i++) p.propcol[i] = NOBOUND;
    }
    p.wtrestr = checkweights(p);
    return p;
}

const char* equivalenceline(bool linear4) {
    return linear4 ? " Equivalence: linear (permutations and scalings)"
                   : " Equivalence: semilinear (permutations, scalings and the field automorphism)";
}

std::string resultname(const RunParams& p) {
    std::string name = std::to_string(p.nasked) + "_" + std::to_string(p.k) + "_" + std::to_string(p.d) + "." +
                       std::to_string(p.q);
    if (p.brute == 1) name += "b";
    return name;
}
