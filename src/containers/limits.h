// The program's limits: lengths up to 799 (positions 1..799, index 0 spare)
// and dimensions up to 19 (rows 1..19, row 0 scratch).
#pragma once

constexpr int MAXLEN = 800;  // positions 1..799 in use
constexpr int MAXDIM = 20;   // rows 1..19 in use
