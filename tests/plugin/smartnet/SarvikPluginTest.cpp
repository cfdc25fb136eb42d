// libsarvik.so as a host sees it: loaded with dlopen, driven through its four exports.
#include "LoadedPlugin.h"
#include "RecordingHost.h"
#include "tests/support/TestSupport.h"
#include "platform/version/VersionInfo.h"

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

// What nm lists of the library's own symbol table (locals included), one "address type name" a line.
std::string SymbolTable(bool demangled)
{
    std::string out;
    std::vector<std::string> args = {"/usr/bin/nm", testsupport::libPath("libsarvik.so").string()};
    if (demangled)
        args.insert(args.begin() + 1, "-C");
    EXPECT_EQ(testsupport::runProgram(args, {}, &out), 0);
    return out;
}

// The four-level FSK decoder is part of the library, though nothing calls it.
TEST(SarvikExports, TheFourLevelDecoderIsLinkedIn)
{
    const std::string symbols = SymbolTable(true);
    for (const char* member : {"TQelFSK4Decoder::ProcessBuffer("})
        EXPECT_NE(symbols.find(member), std::string::npos) << member;
}

// The library's version table, read in the loaded library as the about box of its own module would.
TEST(SarvikPlugin, VersionTable)
{
    ASSERT_NE(Sarvik().init, nullptr);
    Dl_info module{};
    ASSERT_NE(dladdr(reinterpret_cast<void*>(Sarvik().init), &module), 0);
    uintptr_t offset = 0;
    std::istringstream lines(SymbolTable(false));
    for (std::string line; std::getline(lines, line);)
        if (line.size() > 27 && line.substr(line.size() - 27) == " korvantaModuleVersionTable")
            offset = std::stoull(line.substr(0, line.find(' ')), nullptr, 16);
    ASSERT_NE(offset, 0u);
    const platform::VersionTable table(
        *reinterpret_cast<const platform::VersionTableData*>(static_cast<const char*>(module.dli_fbase) + offset));
    struct Case {
        const char* name;
        std::string value;
    } cases[] = {{"FileVersion", "1.16.0.0"},
                 {"ProductVersion", "1.16"},
                 {"FileDescription", "Motorola SmartNet\xAE decoder for sound card"},
                 {"ProductName", "SmartNet"},
                 {"InternalName", "Sarvik"},
                 {"OriginalFilename", "Sarvik.orv"},
                 {"CompanyName", "Korvanta Communications"}};
    for (const Case& c : cases)
        EXPECT_EQ(table.String(c.name), c.value) << c.name;
    EXPECT_EQ(table.Fixed().fileVersionMS, 0x00010010u);
    EXPECT_EQ(table.Fixed().fileVersionLS, 0u);
    EXPECT_EQ(table.Fixed().fileType, platform::kTypeDll);
    EXPECT_EQ(table.Translation(), 0x04E40409u);
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
