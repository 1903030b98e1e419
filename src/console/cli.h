// The command line: one classification (whole, on several cores, or one
// part of a split run), or the merge of the parts of a split run, without
// the menu.  Started with no arguments the program shows the menu instead.
//
// Results go to the result files; stdout gets one machine-readable line of
// totals, stderr the progress lines (unless --quiet) and, for a refused or
// failed command, one line saying why.  Exit status: 0 done, 1 the run or
// the merge failed (a file fault, a missing or incomplete part, a result
// name another run holds), 2 a bad command line or an impossible parameter
// set (nothing is written then); a run stopped by SIGINT or SIGTERM ends
// with that signal after its checkpoint is written.
#pragma once

// Runs the command line argv[1..argc-1]; returns the exit status.
int commandline(int argc, char** argv);
