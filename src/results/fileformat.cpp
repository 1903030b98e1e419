// Formats of files by name and content (see fileformat.h).
#include "results/fileformat.h"

#include <fstream>

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
    for (Format f : {Format::magma, Format::gap, Format::sage, Format::jsonl, Format::plain}) {
        const std::string ext = exportext(f);
        if (path.size() > ext.size() && path.compare(path.size() - ext.size(), ext.size(), ext) == 0) return f;
    }
    std::ifstream in(path);
    std::string line;
    for (int i = 0; i < 64 && std::getline(in, line); i++) {
        size_t at = line.find_first_not_of(" \t\r");
        if (at == std::string::npos) continue;
        return line[at] >= '0' && line[at] <= '9' ? Format::plain : Format::result;
    }
    return Format::result;
}
