// The applets' DDE port and orvhost's DDE service, bound to the machine's conversation service and
// talking over its socket; with the applet frame on top, its settings in the registry and its sound
// input on the scripted device.
#include "AppletForm.h"
#include "EventPump.h"
#include "HostCore.h"
#include "HostDdeServer.h"
#include "MachinePorts.h"
#include "TestSupport.h"
#include "platform/settings/Registry.h"
#include "platform/sound/WaveScript.h"

#include <QPointer>

#include <gmock/gmock.h>

using ::testing::HasSubstr;

namespace {

std::vector<uint8_t> Text(const std::string& s)
{
    std::vector<uint8_t> b(s.begin(), s.end());
    b.push_back(0);
    return b;
}

class HostLink : public ::testing::Test {
protected:
    testsupport::TempDir dir;
    testsupport::ScopedEnv runtime{"XDG_RUNTIME_DIR", dir.path().string()};
    testsupport::ScopedEnv config{"XDG_CONFIG_HOME", (dir / "config").string()};
    HostCore core{3, std::make_unique<HostDdeServer>(), (dir / "trace.jsonl").string()};
};

TEST_F(HostLink, ClientReachesTheReceiversTopicAndEveryItem)
{
    ASSERT_TRUE(core.serving());
    std::vector<TDdeTransaction> seen;
    TPlatformDdeClient client;
    client.Initialize(
        [&](const TDdeTransaction& tx) -> uint32_t {
            seen.push_back(tx);
            return dde::DDE_FACK;
        },
        dde::APPCLIENT_APPLET);
    EXPECT_EQ(client.Connect("Korvanta", "Korvanta #2"), 0u);  // another receiver's topic
    const TDdeConv conv = client.Connect("Korvanta", "Korvanta #3");
    ASSERT_NE(conv, 0u);

    core.state().setValue("SignalStrength", 57);
    EXPECT_EQ(client.Request(conv, "SignalStrength", 1000), Text("57"));
    EXPECT_EQ(client.Request(conv, "Volume", 1000), std::nullopt);

    EXPECT_TRUE(client.AdviseStart(conv, "ScanState", 5000));
    EXPECT_FALSE(client.AdviseStart(conv, "Volume", 5000));
    core.state().setValue("ScanState", 1);
    ASSERT_TRUE(testsupport::pumpUntil([&] { return !seen.empty(); }));
    EXPECT_EQ(seen[0].Type, dde::XTYP_ADVDATA);
    EXPECT_EQ(seen[0].Conv, conv);
    EXPECT_EQ(seen[0].Item, "ScanState");
    EXPECT_EQ(seen[0].Data, Text("1"));

    EXPECT_TRUE(client.Poke(conv, "Mute", Text("1"), 10000));
    EXPECT_EQ(core.state().value("Mute"), 1);
    EXPECT_TRUE(client.Poke(conv, "Quenda Applet", Text("DTMF Decoder|/opt/quenda"), 30000));
    ASSERT_EQ(core.applets().size(), 1u);
    EXPECT_EQ(core.applets()[0].path, "/opt/quenda");
    EXPECT_FALSE(client.Poke(conv, "Volume", Text("3"), 1000));
    EXPECT_TRUE(client.AdviseStop(conv, "ScanState", 1000));

    seen.clear();
    core.endConversations();
    ASSERT_TRUE(testsupport::pumpUntil([&] { return !seen.empty(); }));
    EXPECT_EQ(seen[0].Type, dde::XTYP_DISCONNECT);
    EXPECT_EQ(seen[0].Conv, conv);

    const std::string trace = testsupport::readFile(dir / "trace.jsonl");
    EXPECT_THAT(trace, HasSubstr("\"dde\":\"poke\",\"item\":\"Mute\",\"data\":\"1\",\"length\":2}"));
    EXPECT_THAT(trace, HasSubstr("\"item\":\"Quenda Applet\",\"data\":\"DTMF Decoder|/opt/quenda\",\"length\":25}"));
    EXPECT_THAT(trace, HasSubstr("\"dde\":\"advstart\",\"item\":\"ScanState\""));
}

// An applet advised of the scan state that keeps the last value in its settings.
class TScanApplet : public TAppletForm {
public:
    explicit TScanApplet(int32_t receiver)
        : TAppletForm(receiver, Traits())
    {
    }
    static TAppletTraits Traits()
    {
        TAppletTraits t;
        t.KeyName = "Link Test";
        t.Items = {"ScanState"};
        t.DestroyOrder = {dsDde, dsSoundInput, dsSettings};
        return t;
    }
    int32_t scanState = -1;

protected:
    void LoadSettings(const TAppletSettings& s) override { scanState = s.Integer("ScanState", scanState); }
    void SaveSettings(TAppletSettings& s) override { s.SetInteger("ScanState", scanState); }
    void AdviseValue(const std::string&, int32_t value) override { scanState = value; }
};

TEST_F(HostLink, AppletFollowsTheHostAndClosesWithItsSettingsWrittenWhenTheHostEnds)
{
    auto script = std::make_shared<platform::WaveScript>();
    script->silenceAtEnd = true;
    platform::setWaveScript(script);
    InstallMachineServices((dir / "QUENDA.HLP").string());
    const std::string key = "\\Software\\Korvanta Communications\\Quenda\\Link Test";

    auto* form = new TScanApplet(3);
    QPointer<TScanApplet> alive(form);
    form->FormCreate();
    ASSERT_FALSE(form->Failed());
    EXPECT_FALSE(platform::Registry().KeyExists(key));  // read without creating
    form->show();
    ASSERT_TRUE(testsupport::pumpUntil([&] { return core.trace().enabled() &&
                                       testsupport::readFile(dir / "trace.jsonl").find("advstart") != std::string::npos; }));

    core.state().setValue("ScanState", 1);
    ASSERT_TRUE(testsupport::pumpUntil([&] { return form->scanState == 1; }));

    form->setAttribute(Qt::WA_DeleteOnClose);
    core.endConversations();
    ASSERT_TRUE(testsupport::pumpUntil([&] { return alive.isNull(); }));
    platform::setWaveScript(nullptr);

    platform::Registry registry;
    ASSERT_TRUE(registry.OpenKey(key, false));
    EXPECT_EQ(registry.ReadInteger("ScanState"), 1);
    const std::vector<std::string> calls = script->calls();
    ASSERT_FALSE(calls.empty());
    EXPECT_THAT(calls.front(), ::testing::StartsWith("open "));
    EXPECT_THAT(calls.back(), ::testing::StartsWith("close -> 0"));
}

}  // namespace
