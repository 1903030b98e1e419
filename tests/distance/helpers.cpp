// Helpers of the distance tests: field set-up and reading the codeword stores.
#include "distance/dist.h"
#include "field/field.h"
#include "frame/runpar.h"
#include "oracle.h"

namespace dtest {

void usefield(int q, bool bits) {
    static bool ready = false;
    if (!ready) {
        initbits();
        ready = true;
    }
    setfield(q);
    smallq1 = smallq2 = bits ? 1 : 0;
}

std::vector<vec> storedwords(int q, int n, uint64_t count) {
    gf F{q};
    std::vector<vec> out;
    for (uint64_t f = 1; f <= count; f++) {
        vec v(n);
        for (int p = 1; p <= n; p++) {
            if (smallq1)
                v[p - 1] = (uint8_t)coordval(q, dinvar.cwstore.a[f], dinvar.cwstore.b[f], p);
            else
                v[p - 1] = dinvar.cwstoreb.a[f][p];
        }
        out.push_back(normalise(F, v));
    }
    return out;
}

int storedweight(uint64_t f) {
    if (smallq1) return (int)dinvar.cwstore.a[f][0];
    return bstoredweight(dinvar.cwstoreb.a[f]);
}

}  // namespace dtest
