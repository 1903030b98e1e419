// The calloc wrapper of the test programs (see failalloc.h).
#include "common/failalloc.h"

#include <cstddef>

int failinject = 0;

extern "C" void* __real_calloc(size_t n, size_t size);

extern "C" void* __wrap_calloc(size_t n, size_t size) {
    if (failinject > 0) {
        failinject--;
        return nullptr;
    }
    return __real_calloc(n, size);
}
