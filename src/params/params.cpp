// The defaults of the record (from the option table), the weight
// normalisation and the parameters of one run.
#include "params/params.h"

#include "containers/containers.h"
#include "field/field.h"
#include "params/options.h"

const ArrayDef weightdef = {0, 1, "\n Weight %d (y/n): "};
const ArrayDef propdef = {1, 799, "\n in dimension  %d -> "};

void setdefaults(ParamRecord& p) {
    for (Opt id : settingsorder) option(id).field.set(p, option(id).def);
    for (int i = 0; i < MAXDIM; i++) p.propcol[i] = NOBOUND;
    for (int w = 8; w <= 24; w++) p.wt[w] = 1;
}

void resetpar(ParamRecord& p) {
    for (Opt id : settingsorder) option(id).field.set(p, 0);
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

void normweights(ParamRecord& p, bool& doublyeven) {
    if (p.q == 3) {
        if (p.selforth) {
            forbid(p, [](int w) { return w % 3 != 0; });
        } else {
            if (p.n >= 1 && !anyallowed(p, [](int w) { return w % 3 != 0; }) &&
                anyallowed(p, [](int w) { return w % 3 == 0 && w % 9 != 0; }))
                p.selforth = true;
        }
    } else if (p.q == 4) {
        if (p.selforth) {
            forbid(p, [](int w) { return w % 2 != 0; });
        } else {
            if (p.n >= 1 && !anyallowed(p, [](int w) { return w % 2 != 0; }) &&
                anyallowed(p, [](int w) { return w % 4 == 2; }))
                p.selforth = true;
        }
    } else if (p.q == 2) {
        if (p.selforth) forbid(p, [](int w) { return w % 2 != 0; });
        if (p.n < 1) {
            doublyeven = false;
            p.selforth = false;
        } else if (anyallowed(p, [](int w) { return w % 4 != 0; })) {
            doublyeven = false;
        } else if (anyallowed(p, [](int w) { return w % 8 == 4; })) {
            doublyeven = true;
            p.selforth = true;
        } else {
            doublyeven = false;
            p.selforth = false;
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

// True when a weight of the walk from `from` in steps of `step` up to `to`
// is forbidden.
bool forbiddenstep(const ParamRecord& p, int from, int step, int to) {
    for (int w = from; w <= to; w += step)
        if (w >= 1 && w < MAXLEN && p.wt[w] == 0) return true;
    return false;
}

// Self-orthogonal codes over GF(2), GF(3) and GF(4) cannot have the weights
// off their step (odd, not divisible by 4 for doubly-even codes, not
// divisible by 3), so the walk goes over the multiples of the step from d
// on.  Nothing else keeps a weight that is not a multiple of dw out of a
// code, so without self-orthogonality every weight from d to n is walked
// (for dw = 1 this is the walk in steps of dw).  In brute generation the k
// added coordinates are zero, so no weight exceeds the asked n.
bool checkweights(const RunParams& p) {
    int step = 1;
    if (p.selforth) {
        if (p.q == 3) step = 3;
        else if (p.q == 4) step = 2;
        else if (p.q == 2) step = p.doublyeven ? 4 : 2;
    }
    const int from = (p.d + step - 1) / step * step;
    return forbiddenstep(p, from, step, p.nasked);
}

}  // namespace

RunParams makerunparams(const ParamRecord& rec, bool doublyeven, bool brute, int32_t brutedim) {
    RunParams p{};
    static_cast<ParamRecord&>(p) = rec;
    p.nasked = rec.n;
    p.doublyeven = rec.q == 2 && doublyeven;
    p.brute = brute;
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
    if (p.brute) name += "b";
    return name;
}
