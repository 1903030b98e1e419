// Checked file operations: a failure is reported once per run, naming the
// file, and a settings-style file is replaced whole or not at all.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "common/testutil.h"
#include "fileio/checked.h"

namespace {

TEST(Checked, FailuresAreReportedOncePerRunNamingTheFile) {
    tempdir dir;
    RunFault fault;
    // Buffered: the failure shows when the file is closed.  (Capturing
    // flushes every stream, so it starts before the file is open.)
    testing::internal::CaptureStdout();
    File f = chkopen("/dev/full", "w", fault);
    ASSERT_NE(f.get(), nullptr);
    fputs("x", f);
    EXPECT_FALSE(chkclose(f, "/dev/full", fault));
    EXPECT_EQ(f.get(), nullptr);
    EXPECT_TRUE(fault.stopped());
    EXPECT_EQ(chkopen(dir.file("no/such"), "r", fault), nullptr);  // not printed: the run stopped already
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "\n Run stopped: cannot close file /dev/full\n");
    RunFault other;
    testing::internal::CaptureStdout();
    EXPECT_EQ(chkopen(dir.file("no/such"), "r", other), nullptr);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "\n Run stopped: cannot open file " + dir.file("no/such") + "\n");
    RunFault fine;
    f = chkopen(dir.file("ok"), "w", fine);
    ASSERT_NE(f.get(), nullptr);
    fputs("x", f);
    EXPECT_TRUE(chkclose(f, "ok", fine));
    EXPECT_TRUE(chkclose(f, "ok", fine));  // already closed: nothing to do
    EXPECT_FALSE(fine.stopped());
}

TEST(Checked, AtomicReplaceLeavesTheOldFileOrTheNewOne) {
    tempdir dir;
    const std::string path = dir.file("settings");
    writefile(path, "old\n");
    EXPECT_FALSE(writeatomic(path, "new\n"));
    EXPECT_EQ(readfile(path), "new\n");
    // A folder in the way: the old content stays, nothing is left beside it.
    ASSERT_EQ(mkdir(dir.file("taken").c_str(), 0755), 0);
    EXPECT_STREQ(writeatomic(dir.file("taken"), "x").action, "writing");
    EXPECT_EQ(listdir(dir.path), (std::vector<std::string>{"settings", "taken"}));
    EXPECT_STREQ(writeatomic(dir.file("no/such"), "x").action, "opening");
}

}  // namespace
