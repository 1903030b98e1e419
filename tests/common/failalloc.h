// Allocation failures on purpose.  The test programs are linked with calloc
// wrapped (-Wl,--wrap=calloc): while `failinject` is above 0, every request
// of the program's heap blocks fails as if the heap were exhausted, one
// attempt at a time.
#pragma once

extern int failinject;
