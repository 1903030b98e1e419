// Which format a file of codes is in, and the name an export of a result
// file gets.
//
// The program's own files have no extension of their own (7_4_3.2, its h
// file 7_4_3.2h), so a file is known by the extension of an export first
// and by its first line after that: a plain matrix starts with a digit,
// a result file with its header or a record.
#pragma once
#include <string>

#include "codeio/codematrix.h"

// The extension of the export in format f: ".m", ".g", ".sage", ".jsonl",
// ".txt" (plain); "" for the result format.
const char* exportext(Format f);

// The format of the file at path: by its extension, else by its first
// non-blank character (plain when it is a digit, else result), looked for
// in the first MAXLINE bytes.  A file that cannot be opened or is not a
// regular file counts as a result file; its reader reports it.
Format guessformat(const std::string& path);
