// The one instance of the extension step's tables (see maya.h).
#include "engine/maya.h"

#include <cstring>

mayatab mt;

void maya_reset() {
    memset(&mt, 0, sizeof mt);
    for (int p = 0; p < MAXLEN; p++) mt.newrow[p] = -3;
}
