// Formats of files by name and content (see fileformat.h).
#include "results/fileformat.h"

#include <sys/stat.h>

#include <fstream>

#include "codeio/textin.h"
#include "params/options.h"

const char* exportext(Format f) {
    switch (f) {
        case Format::magma: return ".m";
        case Format::gap: return ".g";
        case Format::sage: return ".sage";
        case Format::jsonl: return ".jsonl";
        case Format::plain: return ".txt";
        case Format::result: break;
    }
    return "";
}

Format guessformat(const std::string& path) {
    for (size_t i = 0; i < std::size(formatnames); i++) {
        const Format f = (Format)i;
        const std::string ext = exportext(f);
        if (!ext.empty() && path.size() > ext.size() && path.compare(path.size() - ext.size(), ext.size(), ext) == 0)
            return f;
    }
    // Only a regular file is looked into (its reader refuses anything else,
    // and a FIFO read here would lose what it gave), and only as far as its
    // first non-blank character, at most one reader's line: a file without
    // newlines is never read whole.
    struct stat st;
    if (stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return Format::result;
    std::ifstream in(path, std::ios::binary);
    std::streambuf* buf = in.rdbuf();
    for (size_t i = 0; i < LineSource::MAXLINE && in; i++) {
        const int c = buf->sbumpc();
        if (c == std::char_traits<char>::eof()) break;
        if (c == ' ' || c == '\t' || c == '\r' || c == '\n') continue;
        return c >= '0' && c <= '9' ? Format::plain : Format::result;
    }
    return Format::result;
}
