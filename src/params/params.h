// The parameters of a classification.
//
// `ParamRecord` is what the user chose and what the settings file keeps: the
// eleven scalars, the allowed weights and the bounds on proportional
// coordinates.  Each scalar is a row of the option table (params/options.h),
// which gives its line in the settings file, its default, its bounds, its
// prompt and its label in the run header, so the settings reader and
// writer, the dialogue and the run header cannot drift apart.  `RunParams`
// is the value a run is given: the record after the weight normalisation,
// with what the run derives from it, checked once before the run starts.
#pragma once
#include <cstdint>
#include <string>

#include "containers/limits.h"
constexpr int32_t NOBOUND = 800;  // a proportional bound that never cuts

struct ParamRecord {
    bool brute;                // brute generation
    int32_t brutedim;          // its starting dimension
    // Lines 3 and 4 of the settings file: read and written back as they are,
    // for the file's layout, and used for nothing else.
    int32_t unusedline3;
    int32_t unusedline4;
    int32_t n, k, d, q, dw;
    bool selforth;             // self-orthogonal codes only
    int32_t dualdist;
    int32_t wt[MAXLEN];       // wt[w], w = 1..799: 1 = weight w allowed
    int32_t propcol[MAXDIM];  // propcol[i], i = 2..k: bound on proportional coordinates
};

// The two arrays behind the scalars: wt[1..n] from line 12, then
// propcol[2..k].  Defaults: weights 8..24 allowed, bounds NOBOUND.
struct ArrayDef {
    int32_t lo, hi;
    const char* prompt;
};
extern const ArrayDef weightdef;   // 0..1, "\n Weight %d (y/n): "
extern const ArrayDef propdef;     // 1..799, "\n in dimension  %d -> "

// The default record: 24, 12, 8, 2, weights 8..24, bounds 800.  Weights
// outside 8..24 are left as they are.
void setdefaults(ParamRecord& p);
// The record the parameter dialogue starts from: everything 0, dw and the
// dual distance 1, no weight allowed, every bound NOBOUND.
void resetpar(ParamRecord& p);

// ---- normalisation and the parameters of one run ------------------------------

// Makes the self-orthogonality flag and the allowed weights agree, for
// q = 2, 3, 4 (reads and writes p.selforth and p.wt[1..n]); for q = 2 it
// also sets doublyeven.  Other q are left alone.
void normweights(ParamRecord& p, bool& doublyeven);

// The one line that refuses a run of p (brute generation when brute is
// set), or "" when the run can be made.
std::string runrefusal(const ParamRecord& p, bool brute);

struct RunParams : ParamRecord {
    // In brute generation n is the length the construction works on, the
    // asked n plus k (the first k coordinates stay zero); `nasked` is n.
    int32_t nasked;
    bool doublyeven;  // q = 2: every wanted codeword weight is divisible by 4
    // True when a weight the construction does not already exclude is
    // forbidden, so candidates must have their whole spectrum checked.
    bool wtrestr;
    // GF(4) only: true when codes are equivalent up to monomial maps only;
    // false (the default) when the field automorphism is allowed too.
    bool linear4;
    // True when the codes of lower dimension that cannot grow into a code
    // of the run are cut (the target bounds of engine/bounds.h: the command
    // line's default); false keeps every code of every dimension (the menu).
    bool targetcuts;
    int32_t len() const { return n; }   // the construction length
    int32_t nfree() const { return n - k; }
};

// The parameters of a run from a record that passed `runrefusal`, after
// normweights: brute generation lengthens the codes by k and works without
// the dual-distance and proportional-coordinate restrictions.
RunParams makerunparams(const ParamRecord& p, bool doublyeven, bool brute, int32_t brutedim);

// The line a GF(4) run's header carries under its parameters, naming the
// equivalence its codes are classed under (without the line end).
const char* equivalenceline(bool linear4);

// The result file's name: n_k_d.q, with "b" in brute generation.
std::string resultname(const RunParams& p);
