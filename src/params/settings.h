// The settings file: the run parameters kept between program runs, one
// decimal integer per line, the scalars in the order of their lines in the
// option table (params/options.h), then the
// n weight flags, then the bounds of dimensions 2..k.  Read once at
// start-up (created with the defaults when missing), rewritten only when a
// run starts.
#pragma once
#include <string>

#include "params/options.h"

// Fills p from the file at path, or creates the file with the defaults.
// Values outside their bounds fall back to their defaults (see README).
void loadsettings(ParamRecord& p, const std::string& path);
// Fills p from the file at path as loadsettings does, but leaves a missing
// file missing (false; p holds the defaults).
bool readsettings(ParamRecord& p, const std::string& path);
// Rewrites the file from p (a new file renamed over the old one).  A file
// that cannot be written is reported in one line on stderr naming the file
// and the reason; nothing else happens.
void savesettings(const ParamRecord& p, const std::string& path);
