#include <gtest/gtest.h>

#include "CallLog.h"
#include "TestSupport.h"
#include "platform/ui/MessageBox.h"

using testsupport::readFile;
using testsupport::TempDir;

TEST(CallLog, CommaSeparatedLogGetsOneHeaderAcrossReopening)
{
    TempDir dir;
    const auto file = dir / "log.csv";
    TCallLog log;
    ASSERT_TRUE(log.Open(file, lfCommaSeparated, "H\r\n"));
    ASSERT_TRUE(log.Append("a\r\n"));
    log.Close();
    EXPECT_FALSE(log.IsOpen());
    ASSERT_TRUE(log.Open(file, lfCommaSeparated, "H\r\n"));
    ASSERT_TRUE(log.Append("b\r\n"));
    log.Close();
    EXPECT_EQ(readFile(file), "H\r\na\r\nb\r\n");
}

TEST(CallLog, TextLogHasNoHeaderAndAppendsToWhatIsThere)
{
    TempDir dir;
    const auto file = dir / "log.txt";
    testsupport::writeFile(file, "old\r\n");
    TCallLog log;
    ASSERT_TRUE(log.Open(file, lfText, "H\r\n"));
    EXPECT_EQ(log.FilterIndex(), lfText);
    ASSERT_TRUE(log.Append("new\r\n"));
    EXPECT_EQ(readFile(file), "old\r\nnew\r\n");
}

TEST(CallLog, FileThatCannotBeOpenedSaysSo)
{
    TempDir dir;
    platform::MessageBoxRecorder boxes;
    TCallLog log;
    EXPECT_FALSE(log.Open(dir / "no such folder" / "log.txt", lfText, ""));
    EXPECT_FALSE(log.IsOpen());
    ASSERT_EQ(boxes.boxes().size(), 1u);
    EXPECT_EQ(boxes.boxes()[0].text, "Cannot access the log file!");
    EXPECT_EQ(boxes.boxes()[0].caption, "Fatal Error");
    EXPECT_EQ(boxes.boxes()[0].flags & platform::MB_ICONMASK, platform::MB_ICONERROR);
}

TEST(CallLog, FailedWritesCloseTheLog)
{
    if (!std::filesystem::exists("/dev/full"))
        GTEST_SKIP() << "no /dev/full";
    platform::MessageBoxRecorder boxes;
    TCallLog log;
    // The header of an empty comma-separated log is the first write to fail.
    EXPECT_FALSE(log.Open("/dev/full", lfCommaSeparated, "H\r\n"));
    EXPECT_FALSE(log.IsOpen());
    // A text log opens, and its first line fails.
    ASSERT_TRUE(log.Open("/dev/full", lfText, "H\r\n"));
    EXPECT_FALSE(log.Append("line\r\n"));
    EXPECT_FALSE(log.IsOpen());
    EXPECT_FALSE(log.Append("line\r\n"));  // closed: nothing more, no further box
    ASSERT_EQ(boxes.boxes().size(), 2u);
    for (const auto& b : boxes.boxes()) {
        EXPECT_EQ(b.text, "Error while writing to the log file!");
        EXPECT_EQ(b.caption, "Fatal Error");
    }
}
