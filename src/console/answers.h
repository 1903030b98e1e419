// Console readers.  Both read whole lines from standard input (a line is one
// answer, however long; CRLF line ends are accepted) and return only
// accepted answers; at the end of standard input the program ends as if Exit
// had been chosen (status 0), so a closed pipe never makes a prompt spin.
#pragma once

// An integer in [lo, hi]: a line whose number is followed directly by the
// newline.  Re-prompts "Please enter an integer: " for anything else and
// "ENTER THE INTEGER BETWEEN lo and hi " for a number out of bounds.
int readint(int lo, int hi);
// The first character of the first line that starts with y, Y, n or N.
char readyn();
// Waits for one line (the About notice).
void waitchar();
// Flushes standard output and ends the program with status 0.
[[noreturn]] void endofinput();
