// libsarvik.so as a host sees it: loaded with dlopen, driven through its four exports.
#include "LoadedPlugin.h"
#include "RecordingHost.h"
#include "tests/support/TestSupport.h"

#include <QCoreApplication>
#include <QEvent>
#include <gtest/gtest.h>

#include <dlfcn.h>

#include <cctype>
#include <cstdlib>
#include <set>
#include <sstream>

namespace {

using testsupport::TempDir;

const OrvHostWindow kHostWindow = 0x5151;
const std::string kName = "Motorola SmartNet\xAE";

const TLoadedPlugin& Sarvik()
{
    static const TLoadedPlugin p = LoadPluginForTest("libsarvik.so");
    return p;
}

void Pump() { PumpPluginEvents(); }

TEST(SarvikExports, OnlyTheFourEntryPointsAreExported)
{
    EXPECT_EQ(ExportedNames("libsarvik.so"),
              (std::set<std::string>{"orvPluginDone", "orvPluginInit", "orvPluginNotify", "orvPluginStart"}));
}

TEST(SarvikPlugin, InitCopiesTheEighteenByteNameBounded)
{
    ASSERT_NE(Sarvik().init, nullptr);
    struct Case {
        uint32_t length;
        std::string expected;
    } cases[] = {{32, kName + std::string(14, '\0')}, {18, kName}, {19, kName + '\0'}, {8, kName.substr(0, 8)}};
    for (const Case& c : cases) {
        std::string buffer(40, '\x55');
        ASSERT_EQ(Sarvik().init(0x100, 0, buffer.data(), c.length), 0x100);
        EXPECT_EQ(buffer.substr(0, c.length), c.expected) << c.length;
        EXPECT_EQ(buffer.substr(c.length), std::string(40 - c.length, '\x55')) << c.length;
    }
}

TEST(SarvikPlugin, StartsAndDetachesWithItsNameOfNineteenBytes)
{
    ASSERT_NE(Sarvik().start, nullptr);
    char name[32];
    ASSERT_EQ(Sarvik().init(0x100, 0, name, sizeof name), 0x100);
    RecordingHost host;
    OrvReceiverInfo info{};
    info.receiverNumber = 3;
    info.maxVolume = 255;
    ASSERT_GT(Sarvik().start(kHostWindow, &info, &RecordingHost::Callback, &host.flags), 0);
    Pump();
    EXPECT_EQ(Sarvik().notify(kHostWindow, ORV_DETACH, 0, 0, 0), 1);
    Pump();
    ASSERT_FALSE(host.calls.empty());
    const HostCall& last = host.calls.back();
    EXPECT_EQ(last.code, ORV_DETACH);
    EXPECT_EQ(last.length, 19);
    EXPECT_EQ(last.text, kName);
    Sarvik().done();
}

}  // namespace
