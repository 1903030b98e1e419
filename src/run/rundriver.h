// One run of the construction, started by Start or by brute generation.
#pragma once

// Performs the run described by `runpar` and the working copies; afterwards
// `codecount` holds the number of constructed codes.
void rundriver();
