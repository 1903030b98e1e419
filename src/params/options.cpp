// What the rows of the option table mean (see options.h): bounds that follow
// the record, the names of an option on the command line, the text of a
// default, and the one place the environment is read.
#include "params/options.h"

#include <cstdlib>

int32_t upperbound(const Option& o, const ParamRecord& p) {
    int32_t hi = o.hi;
    if (o.hiref == 'n') hi = p.n < hi ? p.n : hi;
    if (o.hiref == 'k') hi = p.k < hi ? p.k : hi;
    return hi;
}

bool inbounds(const Option& o, const ParamRecord& p, int64_t v) { return v >= o.lo && v <= upperbound(o, p); }

bool named(const Option& o, std::string_view name) {
    if (o.cli == nullptr) return false;
    std::string_view names = o.cli;
    for (;;) {
        const size_t comma = names.find(',');
        if (names.substr(0, comma) == name) return true;
        if (comma == std::string_view::npos) return false;
        names.remove_prefix(comma + 1);
    }
}

std::string longname(const Option& o) {
    const std::string_view names = o.cli == nullptr ? o.name : o.cli;
    const size_t comma = names.rfind(',');
    return std::string(comma == std::string_view::npos ? names : names.substr(comma + 1));
}

std::string defaulttext(const Option& o) {
    switch (o.kind) {
        case Kind::number: return std::to_string(o.def);
        case Kind::choice: return o.def >= 0 ? o.choices[(size_t)o.def] : "";
        default: return o.text != nullptr ? o.text : "";
    }
}

int32_t envnumber(Opt id) {
    const Option& o = option(id);
    const char* v = getenv(o.name);
    if (v == nullptr) return o.def;
    char* end = nullptr;
    const long long x = strtoll(v, &end, 10);
    const bool canonical = *v != '\0' && *end == '\0' && std::to_string(x) == v;
    return canonical && x >= o.lo && x <= o.hi ? (int32_t)x : o.def;
}

std::string envtext(Opt id) {
    const char* v = getenv(option(id).name);
    return v != nullptr ? v : "";
}

int32_t envchoice(Opt id) {
    const Option& o = option(id);
    const std::string v = envtext(id);
    for (size_t i = 0; i < o.choices.size(); i++)
        if (v == o.choices[i]) return (int32_t)i;
    return o.def;
}
