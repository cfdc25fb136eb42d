// libsarvik.so as a host sees it: loaded with dlopen, driven through its four exports.
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

struct Plugin {
    OrvPluginInitFn init = nullptr;
    OrvPluginStartFn start = nullptr;
    OrvPluginNotifyFn notify = nullptr;
    OrvPluginDoneFn done = nullptr;
};

TempDir& Dir()
{
    static TempDir dir;
    return dir;
}

const Plugin& Sarvik()
{
    static Plugin p = [] {
        ::setenv("XDG_RUNTIME_DIR", Dir().path().c_str(), 1);
        ::setenv("XDG_CONFIG_HOME", (Dir() / "config").c_str(), 1);
        ::setenv("MSGBOX_LOG", (Dir() / "boxes.log").c_str(), 1);
        ::setenv("ORV_PLUGIN_PATH", Dir().path().c_str(), 1);
        testsupport::writeFile(Dir() / "ok.script", "values 0 0 0 0\nsilence_at_end\n");
        ::setenv("WAVE_IN_SCRIPT", (Dir() / "ok.script").c_str(), 1);
        void* lib = dlopen(testsupport::libPath("libsarvik.so").c_str(), RTLD_NOW | RTLD_LOCAL);
        EXPECT_NE(lib, nullptr) << dlerror();
        Plugin q;
        if (lib) {
            q.init = reinterpret_cast<OrvPluginInitFn>(dlsym(lib, "orvPluginInit"));
            q.start = reinterpret_cast<OrvPluginStartFn>(dlsym(lib, "orvPluginStart"));
            q.notify = reinterpret_cast<OrvPluginNotifyFn>(dlsym(lib, "orvPluginNotify"));
            q.done = reinterpret_cast<OrvPluginDoneFn>(dlsym(lib, "orvPluginDone"));
        }
        return q;
    }();
    return p;
}

void Pump()
{
    for (int i = 0; i < 5; ++i) {
        QCoreApplication::processEvents();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
}

TEST(SarvikExports, OnlyTheFourEntryPointsAreExported)
{
    std::string out;
    ASSERT_EQ(testsupport::runProgram(
                  {"/usr/bin/nm", "-D", "--defined-only", testsupport::libPath("libsarvik.so").string()}, {}, &out),
              0);
    std::set<std::string> names;
    std::istringstream lines(out);
    for (std::string line; std::getline(lines, line);) {
        std::istringstream fields(line);
        std::string address, type, name;
        fields >> address >> type >> name;
        if (!name.empty() && type != "A" && !type.empty() && !std::islower(static_cast<unsigned char>(type[0])))
            names.insert(name);
    }
    EXPECT_EQ(names, (std::set<std::string>{"orvPluginDone", "orvPluginInit", "orvPluginNotify", "orvPluginStart"}));
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
