// The parameters of a run as the menu makes them, for the tests that drive
// classifiers in the test process.
#pragma once
#include <vector>

#include "params/params.h"

// [n,k,d]_q with the multiples of dw from d to n as allowed weights, the
// given weights taken out, and the rest of the menu's choices.
inline RunParams menuparams(int n, int k, int d, int q, int dw = 1, int selforth = 0, int dual = 1, int brute = 0,
                            const std::vector<int>& forbid = {}) {
    runparrec rec{};
    resetpar(rec);
    rec.n = n, rec.k = k, rec.d = d, rec.q = q, rec.dw = dw, rec.selforth = selforth, rec.dualdist = dual;
    for (int w = d; w <= n; w++) rec.wt[w] = w % dw == 0;
    for (int w : forbid) rec.wt[w] = 0;
    int32_t doublyeven = 0;
    normweights(rec, doublyeven);
    return makerunparams(rec, doublyeven, brute > 0, brute);
}
