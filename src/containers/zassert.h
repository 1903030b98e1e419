// The one assertion handler.  A broken internal invariant (a state that
// the program's own logic rules out) and a heap that refuses a block end
// here, never in a crash: the failed check is written to ERRORq.txt with its
// source unit, line and condition, "ERROR" is printed, and the failed
// operation is never resumed.
#pragma once

// Writes "zorbel file <file>: line <line>: assertion failed: (<text>)" into
// ERRORq.txt in the working directory, then prints "ERROR" and reads an
// integer from standard input, without end.  At the end of standard input the
// process ends with status ZFAIL_EXIT.
[[noreturn]] void zfail(const char* file, int line, const char* text);
constexpr int ZFAIL_EXIT = 3;

// TALVEN_ASSERT(unit, cond, "text"): cond must hold; when it does not, stop
// through zfail with the source unit name and the text, which says what
// must hold.
#define TALVEN_ASSERT(unit, cond, text)                   \
    do {                                                  \
        if (!(cond)) zfail((unit), __LINE__, (text));     \
    } while (0)
