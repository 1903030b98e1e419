// The option table is the one place options are declared: the program's
// --help lists exactly its rows, in its order, with their help lines; every
// scalar of the settings file goes out and comes back on its row's line and
// within its row's bounds; the flags that take only yes or no and the
// options --merge allows are the rows that say so; the environment is read
// through the rows of its switches.
#include <gtest/gtest.h>

#include <cstdlib>

#include "common/testutil.h"
#include "params/options.h"
#include "params/settings.h"

namespace {

// The first word of every option line of a --help text, in order.
std::vector<std::string> helpnames(const std::string& help) {
    std::vector<std::string> names;
    for (const std::string& line : splitlines(help))
        if (line.rfind("  -", 0) == 0 || line.rfind("  FILE", 0) == 0) names.push_back(line.substr(2, line.find(' ', 2) - 2));
    return names;
}

TEST(OptionTable, TheHelpOfEveryCommandListsItsRowsInOrder) {
    tempdir dir;
    const std::pair<unsigned, const char*> commands[] = {{runcmd, "--help"}, {checkcmd, "check --help"},
                                                         {classescmd, "classes --help"}};
    for (const auto& [cmd, args] : commands) {
        const runresult r = runcommand(dir.path, args);
        ASSERT_EQ(r.status, 0) << args;
        std::vector<std::string> want;  // positionals come first, then CLI11's own options
        for (const Option& o : optiontable)
            if ((o.where & cmd) && o.cli[0] != '-') want.push_back(o.cli);
        want.push_back("-h,--help");
        if (cmd == runcmd) want.push_back("--version");
        for (const Option& o : optiontable) {
            if ((o.where & cmd) == 0) continue;
            if (o.cli[0] == '-') want.push_back(o.cli);
            EXPECT_NE(r.out.find(o.help), std::string::npos) << args << ": " << o.help;
        }
        EXPECT_EQ(helpnames(r.out), want) << args;
    }
}

TEST(OptionTable, EverySettingsScalarComesBackFromItsLine) {
    tempdir dir;
    const std::string path = dir.file("settings");
    for (Opt id : settingsorder) {
        const Option& o = option(id);
        SCOPED_TRACE(o.name);
        ParamRecord p{}, back{};
        setdefaults(p);
        ASSERT_TRUE(o.field) << "a settings line without a field";  // (not checkable at compile time under the sanitizers)
        o.field.set(p, o.def + 1);  // in bounds for every row, and the file's layout stays valid
        savesettings(p, path);
        EXPECT_EQ(splitlines(readfile(path))[(size_t)o.line - 1], std::to_string(o.def + 1));
        ASSERT_TRUE(readsettings(back, path));
        for (Opt other : settingsorder) EXPECT_EQ(option(other).field.get(back), option(other).field.get(p));
        // Just past the upper bound the value is not taken: the default comes back.
        const int64_t past = (int64_t)upperbound(o, p) + 1;
        writefile(path, withline(readfile(path), (size_t)o.line, std::to_string(past)));
        ASSERT_TRUE(readsettings(back, path));
        EXPECT_EQ(o.field.get(back), o.def);
    }
}

TEST(OptionTable, OnlyTheFlagRowsAreRefusedAValueThatIsNoYesOrNo) {
    tempdir dir;
    for (const Option& o : optiontable) {
        if (o.cli == nullptr || o.cli[0] != '-') continue;
        const std::string opt = longname(o) + "=maybe";
        // q = 6 refuses the run whatever the option does (--outdir=maybe would run).
        const std::string args = o.where & runcmd ? "-n 7 -k 4 -d 3 -q 6 " + opt : "check " + opt + " f";
        const runresult r = runcommand(dir.path, args);
        EXPECT_EQ(r.status, 2) << args;
        EXPECT_EQ(r.err.find(opt + ": the value of a flag") != std::string::npos, o.kind == Kind::flag) << args << r.err;
    }
}

TEST(OptionTable, MergeTakesOnlyTheRowsThatGoWithIt) {
    tempdir dir;
    for (const Option& o : optiontable) {
        if ((o.where & runcmd) == 0 || o.id == Opt::merge) continue;
        const std::string value = o.kind == Kind::flag ? "" : o.kind == Kind::choice ? o.choices[0] : "1";
        const runresult r = runcommand(dir.path, "--merge . " + longname(o) + " " + value);
        // Allowed: on to the merge, which finds no parts here.
        EXPECT_EQ(r.status, o.withmerge ? 1 : 2) << o.cli << ": " << r.err;
        EXPECT_EQ(r.err.find("no run options") == std::string::npos, o.withmerge) << o.cli << ": " << r.err;
    }
}

TEST(OptionTable, TheEnvironmentIsReadThroughTheRowsOfItsSwitches) {
    const char* check = option(Opt::check).name;
    const std::pair<const char*, int32_t> levels[] = {{"1", 1}, {"2", 2}, {"0", 0}, {"3", 0}, {"01", 0}, {" 1", 0},
                                                      {"", 0},  {"-1", 0}, {"99999999999999999999", 0}};
    for (const auto& [text, level] : levels) {
        setenv(check, text, 1);
        EXPECT_EQ(envnumber(Opt::check), level) << text;
    }
    unsetenv(check);
    EXPECT_EQ(envnumber(Opt::check), 0);
    const char* dump = option(Opt::dumplabelling).name;
    setenv(dump, "some/file", 1);
    EXPECT_EQ(envtext(Opt::dumplabelling), "some/file");
    unsetenv(dump);
    EXPECT_EQ(envtext(Opt::dumplabelling), "");
    const char* rows = option(Opt::rows).name;
    for (auto [text, want] : {std::pair{"lattice", 1}, {"enumeration", 2}, {"chosen", 0}, {"Lattice", 0}, {"", 0}}) {
        setenv(rows, text, 1);
        EXPECT_EQ(envchoice(Opt::rows), want) << text;
    }
    unsetenv(rows);
    EXPECT_EQ(envchoice(Opt::rows), 0);
}

}  // namespace
