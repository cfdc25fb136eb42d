#include <gtest/gtest.h>

#include "MPT1327Log.h"
#include "TestSupport.h"
#include "platform/ui/Locale.h"
#include "platform/ui/MessageBox.h"

using testsupport::readFile;
using testsupport::TempDir;

namespace {
const TSystemTime kTime{2026, 12, 3, 9, 14, 5, 33, 0};
const TMPT1327Call kCall{0x5A, 0x0123, 0x0FFE, 42, 14, 5, 33};
}  // namespace

TEST(MPT1327LogLine, FormatsOfBothKinds)
{
    struct Case {
        int filter;
        char sep;
        uint16_t sys;
        TMPT1327Call call;
        const char* line;
    } cases[] = {
        {lfText, ',', 0x1ABC, kCall,
         "09/12/2026 14:05:33 System=1ABC Radio 5A:0123 and radio 5A:0FFE on channel   42\r\n"},
        {lfText, ',', 0x0007, {0x01, 0x2001, 0x0002, 1023, 0, 0, 0},
         "09/12/2026 14:05:33 System=0007 Radio 01:2001 and radio 01:0002 on channel 1023\r\n"},
        {lfCommaSeparated, ';', 0x1ABC, kCall, "09/12/2026;14:05:33;1ABC;\"5A:0123\";\"5A:0FFE\";42\r\n"},
        {lfCommaSeparated, ',', 0x7FFF, {0x7F, 0xFFFF, 0x0000, 5, 0, 0, 0},
         "09/12/2026,14:05:33,7FFF,\"7F:FFFF\",\"7F:0000\",5\r\n"},
        {3, ',', 0x1ABC, kCall, ""},
        {0, ',', 0x1ABC, kCall, ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(MPT1327LogLine(c.filter, kTime, c.sys, c.call, c.sep), c.line) << c.line;
    EXPECT_EQ(MPT1327LogHeader(';'), "Date;Time;System ID;Radio 1;Radio 2;Channel\r\n");
}

TEST(MPT1327Log, CommaSeparatedLogWithTheLocalesSeparatorAndOneHeader)
{
    platform::LocaleInfo semicolon;
    semicolon.ListSeparator = ';';
    platform::SetLocale(&semicolon);
    TempDir dir;
    const auto file = dir / "calls.csv";
    {
        TMPT1327Log log(platform::Locale().ListSeparator);
        ASSERT_TRUE(log.Open(file, lfCommaSeparated));
        ASSERT_TRUE(log.WriteLogEntry(kTime, 0x1ABC, kCall));
    }
    TMPT1327Log again(platform::Locale().ListSeparator);
    ASSERT_TRUE(again.Open(file, lfCommaSeparated));
    ASSERT_TRUE(again.WriteLogEntry(kTime, 0x1ABC, kCall));
    platform::SetLocale(nullptr);
    const std::string line = "09/12/2026;14:05:33;1ABC;\"5A:0123\";\"5A:0FFE\";42\r\n";
    EXPECT_EQ(readFile(file), "Date;Time;System ID;Radio 1;Radio 2;Channel\r\n" + line + line);
}

TEST(MPT1327Log, LogFileClickFollowsTheButton)
{
    TempDir dir;
    platform::MessageBoxRecorder boxes;
    TMPT1327Log log(',');
    std::filesystem::path name = dir / "stored.txt";
    int index = lfText;
    int asked = 0;
    auto cancel = [&](std::filesystem::path&, int&) { ++asked; return false; };
    auto choose = [&](std::filesystem::path& n, int& i) {
        ++asked;
        n = dir / "chosen.csv";
        i = lfCommaSeparated;
        return true;
    };

    // Restoring the last session: no dialog, the stored name.
    EXPECT_TRUE(log.LogFileClick(true, false, name, index, choose));
    EXPECT_EQ(asked, 0);
    EXPECT_TRUE(log.WriteLogEntry(kTime, 1, kCall));
    EXPECT_TRUE(std::filesystem::exists(dir / "stored.txt"));

    EXPECT_FALSE(log.LogFileClick(false, true, name, index, choose));
    EXPECT_FALSE(log.IsOpen());
    EXPECT_TRUE(log.WriteLogEntry(kTime, 1, kCall));  // closed: nothing written, not a failure

    EXPECT_FALSE(log.LogFileClick(true, true, name, index, cancel));
    EXPECT_FALSE(log.IsOpen());

    EXPECT_TRUE(log.LogFileClick(true, true, name, index, choose));
    EXPECT_EQ(name, dir / "chosen.csv");
    EXPECT_EQ(index, lfCommaSeparated);
    EXPECT_TRUE(log.WriteLogEntry(kTime, 1, kCall));
    EXPECT_EQ(readFile(dir / "chosen.csv"),
              "Date,Time,System ID,Radio 1,Radio 2,Channel\r\n09/12/2026,14:05:33,0001,\"5A:0123\",\"5A:0FFE\",42\r\n");
    EXPECT_EQ(readFile(dir / "stored.txt"),
              "09/12/2026 14:05:33 System=0001 Radio 5A:0123 and radio 5A:0FFE on channel   42\r\n");

    // A file that cannot be opened leaves the button unchecked.
    std::filesystem::path bad = dir / "missing" / "x.txt";
    EXPECT_FALSE(log.LogFileClick(true, false, bad, index, choose));
    ASSERT_EQ(boxes.boxes().size(), 1u);
    EXPECT_EQ(boxes.boxes()[0].text, "Cannot access the log file!");
}

TEST(MPT1327Log, FailedWriteSwitchesLoggingOff)
{
    if (!std::filesystem::exists("/dev/full"))
        GTEST_SKIP() << "no /dev/full";
    platform::MessageBoxRecorder boxes;
    TMPT1327Log log(',');
    ASSERT_TRUE(log.Open("/dev/full", lfText));
    EXPECT_FALSE(log.WriteLogEntry(kTime, 1, kCall));
    EXPECT_FALSE(log.IsOpen());
    ASSERT_EQ(boxes.boxes().size(), 1u);
    EXPECT_EQ(boxes.boxes()[0].text, "Error while writing to the log file!");
}
