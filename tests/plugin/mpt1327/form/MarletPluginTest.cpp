// libmarlet.so as a host sees it: loaded with dlopen, driven through its four exports, with a
// recording host callback.
#include "LoadedPlugin.h"
#include "RecordingHost.h"
#include "tests/support/TestSupport.h"

#include <QCoreApplication>
#include <QEvent>
#include <gtest/gtest.h>

#include <dlfcn.h>

#include <cstdlib>
#include <memory>
#include <cctype>
#include <set>
#include <sstream>

namespace {

using testsupport::TempDir;

const OrvHostWindow kHostWindow = 0x5150;

TempDir& Dir() { return PluginTestDir(); }

std::string WriteScript(const std::string& name, const std::string& text)
{
    const auto path = Dir() / name;
    testsupport::writeFile(path, text);
    return path.string();
}

// Loaded once per process, with the environment the plug-in reads set first.
const TLoadedPlugin& Marlet()
{
    static const TLoadedPlugin p = LoadPluginForTest("libmarlet.so");
    return p;
}

void Pump() { PumpPluginEvents(); }

OrvReceiverInfo Info(int32_t receiver = 2, int32_t maxVolume = 255)
{
    OrvReceiverInfo info{};
    info.receiverNumber = receiver;
    info.maxVolume = maxVolume;
    return info;
}

class MarletPlugin : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_NE(Marlet().init, nullptr);
        char name[16];
        ASSERT_EQ(Marlet().init(0x100, 0, name, sizeof name), 0x100);
    }
    void TearDown() override
    {
        if (!Marlet().notify)
            return;
        // Whatever is still open closes as the host closes it.
        Marlet().notify(kHostWindow, ORV_DETACH, 0, 0, 0);
        Pump();
    }
    int32_t Start(RecordingHost& host, OrvHostWindow window = kHostWindow)
    {
        const OrvReceiverInfo info = Info();
        return Marlet().start(window, &info, &RecordingHost::Callback, &host.flags);
    }
};

TEST(MarletExports, OnlyTheFourEntryPointsAreExported)
{
    EXPECT_EQ(ExportedNames("libmarlet.so"),
              (std::set<std::string>{"orvPluginDone", "orvPluginInit", "orvPluginNotify", "orvPluginStart"}));
}

TEST_F(MarletPlugin, InitChecksTheHostVersion)
{
    struct Case {
        int32_t version, result;
    } cases[] = {{0xFF, 0}, {0x100, 0x100}, {0x200, 0x100}, {-1, 0}};
    for (const auto& c : cases) {
        char name[16] = {};
        EXPECT_EQ(Marlet().init(c.version, 0, name, sizeof name), c.result) << c.version;
    }
}

TEST_F(MarletPlugin, InitCopiesTheNameBoundedAndZeroPadded)
{
    for (uint32_t length : {4u, 7u, 8u, 16u, 32u}) {
        std::string buffer(40, '\xAA');
        ASSERT_EQ(Marlet().init(0x100, 0, buffer.data(), length), 0x100);
        std::string expected = std::string("MPT1327").substr(0, length);
        expected.resize(length, '\0');
        EXPECT_EQ(buffer.substr(0, length), expected) << length;
        EXPECT_EQ(buffer.substr(length), std::string(40 - length, '\xAA')) << "written past the length " << length;
    }
}

TEST_F(MarletPlugin, StartWritesFlagsThenReadsTheHostWithNoInstance)
{
    RecordingHost host;
    const int32_t instance = Start(host);
    ASSERT_GT(instance, 0);
    ASSERT_GE(host.calls.size(), 8u);
    EXPECT_EQ(host.calls[0].flagsAtCall, ORV_PLUGIN_FLAGS);
    EXPECT_EQ(host.flags, ORV_PLUGIN_FLAGS);
    auto expected = StartReads();
    expected.emplace_back(ORV_GET, ORV_FREQUENCY);  // once the sound input is open
    const auto got = host.commands();
    ASSERT_GE(got.size(), expected.size());
    EXPECT_EQ(std::vector(got.begin(), got.begin() + long(expected.size())), expected);
    for (size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(host.calls[i].instance, ORV_NO_INSTANCE) << i;
        EXPECT_EQ(host.calls[i].length, 0);
        EXPECT_TRUE(host.calls[i].nullPointer);
    }
}

TEST_F(MarletPlugin, CloseByTheHostRestoresDetachesAndThenSendsNothing)
{
    RecordingHost host;
    const int32_t instance = Start(host);
    ASSERT_GT(instance, 0);
    Pump();  // a few buffers: each sends the data output
    host.calls.clear();
    EXPECT_EQ(Marlet().notify(kHostWindow, ORV_DETACH, 0, 0, 0), 1);
    EXPECT_TRUE(host.calls.empty()) << "closed from inside the host's call";
    Pump();
    EXPECT_EQ(host.commands(true), CloseCommands());
    ASSERT_FALSE(host.calls.empty());
    for (const auto& c : host.calls)
        EXPECT_EQ(c.instance, instance);
    EXPECT_EQ(host.calls.back().length, 8);
    EXPECT_EQ(host.calls.back().text, "MPT1327");
    // Gone from the list: nobody takes the next notification, and nothing reaches the host.
    host.calls.clear();
    EXPECT_EQ(Marlet().notify(kHostWindow, ORV_FREQUENCY, 450025000, 0, 0), 0);
    Pump();
    EXPECT_TRUE(host.calls.empty());
}

TEST_F(MarletPlugin, NotifyIsTakenOnlyForTheWindowsHostWindow)
{
    RecordingHost host;
    ASSERT_GT(Start(host), 0);
    EXPECT_EQ(Marlet().notify(kHostWindow, 0x1234, 5, 0, 0), 1);
    EXPECT_EQ(Marlet().notify(kHostWindow + 1, 0x1234, 5, 0, 0), 0);
    EXPECT_EQ(Marlet().notify(kHostWindow + 1, ORV_DETACH, 0, 0, 0), 0);
}

TEST_F(MarletPlugin, SecondStartIsRefusedWithTheBoxAndLeavesTheFirst)
{
    RecordingHost host;
    ASSERT_GT(Start(host), 0);
    Pump();
    const size_t before = host.calls.size();
    RecordingHost second;
    EXPECT_EQ(Start(second, kHostWindow + 7), ORV_START_FAILED);
    EXPECT_TRUE(second.calls.empty());
    EXPECT_EQ(second.flags, 0u);
    const std::string boxes = testsupport::readFile(Dir() / "boxes.log");
    EXPECT_NE(boxes.find("\"caption\":\"Korvanta Tollan\""), std::string::npos) << boxes;
    EXPECT_NE(boxes.find("A Korvanta Quenda/Tollan applet is already running!"), std::string::npos);
    // The first window is still there and still served.
    RecordingHost::current() = &host;
    EXPECT_EQ(Marlet().notify(kHostWindow, 0x1234, 0, 0, 0), 1);
    EXPECT_GE(host.calls.size(), before);
}

TEST_F(MarletPlugin, WindowWhoseSoundFailsClosesWithNoInstanceAndFreesTheLock)
{
    // The wave component tries a busy card eleven times before it gives up.
    testsupport::ScopedEnv failing("WAVE_IN_SCRIPT", WriteScript("fail.script", "fail_opens 11\nsilence_at_end\n"));
    RecordingHost host;
    EXPECT_EQ(Start(host), ORV_START_FAILED);
    auto expected = StartReads();
    for (const auto& c : CloseCommands())
        expected.push_back(c);
    EXPECT_EQ(host.commands(true), expected);
    for (const auto& c : host.calls)
        EXPECT_EQ(c.instance, ORV_NO_INSTANCE);
    // Nothing is left behind: the same script's next open succeeds, and so does the start.
    RecordingHost again;
    EXPECT_GT(Start(again), 0);
}

TEST_F(MarletPlugin, StartRefusesMissingArguments)
{
    RecordingHost host;
    const OrvReceiverInfo info = Info();
    EXPECT_EQ(Marlet().start(kHostWindow, nullptr, &RecordingHost::Callback, &host.flags), ORV_START_FAILED);
    EXPECT_EQ(Marlet().start(kHostWindow, &info, nullptr, &host.flags), ORV_START_FAILED);
    EXPECT_EQ(Marlet().start(kHostWindow, &info, &RecordingHost::Callback, nullptr), ORV_START_FAILED);
    EXPECT_TRUE(host.calls.empty());
    // None of them took the lock.
    EXPECT_GT(Start(host), 0);
}

}  // namespace
