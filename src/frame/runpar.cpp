// The run-parameter record and the working copies (see runpar.h).
#include "frame/runpar.h"

runparrec runpar;
cmrec colmap;
int32_t codecount;
int32_t doublyeven;
uint8_t smallq1;
uint8_t smallq2;
