// Run driver.  The dimension search is not built yet: until it is, a run
// constructs no code and leaves `codecount` at 0.
#include "run/rundriver.h"

void rundriver() {}
