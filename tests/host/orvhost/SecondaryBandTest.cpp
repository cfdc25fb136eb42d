// Marlet's secondary receiver through orvhost, the receiver library's fake pool and the simulated
// band, in one process as orvhost runs them: with auto tune the secondary receiver follows a grant
// while the host stays on the control channel; without it the traffic scan drops a call whose
// channel has gone quiet. The levels all come from the band.
#include "Band.h"
#include "BandLink.h"
#include "EventPump.h"
#include "HostCore.h"
#include "PluginHost.h"
#include "PrimaryReceiver.h"
#include "TestSupport.h"
#include "platform/kvapi32/Kvapi32.h"
#include "platform/settings/Registry.h"

#include <QApplication>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>

#include <gmock/gmock.h>

#include <sstream>

void SetBandInput(Band* band);  // InputHook.cpp

namespace {

using namespace testsupport;

struct NoDde : DdeService {
    bool serve(const std::string&, const std::string&) override { return true; }
    void advise(const std::string&, const Bytes&) override {}
    void disconnectAll() override {}
    int conversations() const override { return 0; }
};

// The secondary receiver's frequencies the plug-in set, in order.
std::vector<int64_t> SecondaryTunes(const std::string& trace)
{
    std::vector<int64_t> tunes;
    std::istringstream lines(trace);
    for (std::string line; std::getline(lines, line);)
        if (line.find("\"plugin->kvapi32\",\"call\":\"SetFrequency\",\"receiver\":2,") != std::string::npos)
            tunes.push_back(std::stoll(line.substr(line.find("\"args\":[") + 8)));
    return tunes;
}

// Picks receiver 2 in the plug-in window's secondary-receiver menu, as the user does.
bool ChooseSecondary(int receiver)
{
    for (QWidget* top : QApplication::topLevelWidgets()) {
        if (!top->windowTitle().startsWith("MPT1327"))
            continue;
        for (QLabel* caption : top->findChildren<QLabel*>()) {
            if (caption->text() != "Secondary receiver:")
                continue;
            QWidget* value = top->childAt(caption->geometry().bottomLeft() + QPoint(4, 6));
            if (!value)
                return false;
            const QPointF at(4, 4);
            QMouseEvent press(QEvent::MouseButtonPress, at, value->mapToGlobal(at), Qt::LeftButton, Qt::LeftButton,
                              Qt::NoModifier);
            QMouseEvent release(QEvent::MouseButtonRelease, at, value->mapToGlobal(at), Qt::LeftButton,
                                Qt::NoButton, Qt::NoModifier);
            QCoreApplication::sendEvent(value, &press);
            QCoreApplication::sendEvent(value, &release);
            for (QMenu* menu : top->findChildren<QMenu*>())
                for (QAction* action : menu->actions())
                    if (action->text() == QString("Korvanta #%1").arg(receiver)) {
                        menu->hide();
                        action->trigger();
                        return true;
                    }
        }
    }
    return false;
}

class SecondaryBand : public ::testing::Test {
protected:
    TempDir dir;
    // The plug-ins' one-window lock lives here, apart from other tests running at the same time.
    ScopedEnv runtime{"XDG_RUNTIME_DIR", (dir / "runtime").string()};
    ScopedEnv config{"XDG_CONFIG_HOME", (dir / "config").string()};
    ScopedEnv folder{"ORV_PLUGIN_PATH", dir.path().string()};
    ScopedEnv pace{"WAVE_IN_PACE", "4"};
    ScopedEnv fake{"KVAPI32_FAKE", (dir / "pool").string()};
    ScopedEnv calls{"KVAPI32_TRACE", (dir / "trace.jsonl").string()};
    ScopedEnv noFile{"WAVE_IN_FILE", ""};
    ScopedEnv boxes{"MSGBOX_LOG", (dir / "boxes").string()};
    std::unique_ptr<Band> band;
    std::unique_ptr<HostCore> core;
    std::unique_ptr<BandLink> link;
    std::unique_ptr<PrimaryReceiver> primary;
    std::unique_ptr<PluginHost> plugin;

    // A control channel on 450.0125 MHz (channel 20 at 25 kHz from 449.5125 MHz) granting calls on
    // channels 100 (452.0125 MHz) and 300 (457.0125 MHz), each a station of its own on the band.
    void Start(bool autoTune)
    {
        std::filesystem::create_directories(dir / "runtime");
        std::filesystem::permissions(dir / "runtime", std::filesystem::perms::owner_all);
        {
            platform::Registry reg;
            ASSERT_TRUE(reg.OpenKey("\\Software\\Korvanta Communications\\Tollan\\MPT1327\\Receiver 1", true));
            reg.WriteBool("Auto Tune To", autoTune);
        }
        ASSERT_EQ(runProgram({binPath("siggen").string(), "mpt1327", "--snr", "20", "--seconds", "20", "--number",
                              "7.2,20", "--number", "7.6,20", "--grant", "8.5,1,100,200,100", "--grant",
                              "9.2,1,101,201,300", "--out", (dir / "cc.wav").string()}),
                  0);
        for (const char* traffic : {"t100.wav", "t300.wav"})
            ASSERT_EQ(runProgram({binPath("siggen").string(), "noise", "--seconds", "20", "--out",
                                  (dir / traffic).string()}),
                      0);
        std::string error;
        auto stations = Band::parse("450012500 cc.wav\n452012500 t100.wav\n457012500 t300.wav\n", dir.path(), &error);
        ASSERT_TRUE(stations) << error;
        band = std::make_unique<Band>(*stations, platform::sound::ChannelChoice::Left);
        core = std::make_unique<HostCore>(1, std::make_unique<NoDde>(), (dir / "trace.jsonl").string());
        link = std::make_unique<BandLink>(*band, *core, (dir / "pool").string());
        primary = std::make_unique<PrimaryReceiver>(core->state());
        ASSERT_TRUE(primary->open());
        SetBandInput(band.get());
        plugin = std::make_unique<PluginHost>(core->trace(), core->state());
        ASSERT_TRUE(plugin->load(libPath("libmarlet.so").string(), &error)) << error;
        ASSERT_TRUE(plugin->start());
        ASSERT_TRUE(ChooseSecondary(2));
    }
    void TearDown() override
    {
        if (plugin)
            plugin->close();
        plugin.reset();
        SetBandInput(nullptr);
        primary.reset();
        for (int r = 1; r <= 3; ++r)
            CloseRadioDevice(r);
    }
    std::string trace() { return readFile(dir / "trace.jsonl"); }
};

TEST_F(SecondaryBand, WithAutoTuneTheSecondaryFollowsTheGrantAndTheHostStaysOnTheControlChannel)
{
    Start(true);
    ASSERT_TRUE(pumpUntil(
        [&] {
            const auto t = SecondaryTunes(trace());
            return std::find(t.begin(), t.end(), 452012500) != t.end();
        },
        15000))
        << trace();
    EXPECT_EQ(core->state().get("Frequency"), 450012500) << "the host stays on the control channel";
    EXPECT_EQ(core->state().get("SignalStrength"), Band::kStationLevel);
    EXPECT_EQ(GetFrequency(2), 452012500u);
    EXPECT_EQ(GetSignalStrength(2), Band::kStationLevel) << "the traffic channel's station, from the band";
    EXPECT_EQ(trace().find("\"plugin->host\",\"code\":\"0x0800\",\"param\":452012500"), std::string::npos);
}

TEST_F(SecondaryBand, TheTrafficScanDropsACallWhoseChannelHasGoneQuiet)
{
    Start(false);
    // The scan sits on the lower channel's call while its station is on the air.
    ASSERT_TRUE(pumpUntil(
        [&] {
            const auto t = SecondaryTunes(trace());
            return std::count(t.begin(), t.end(), 452012500) >= 10 &&
                   std::find(t.begin(), t.end(), 457012500) == t.end();
        },
        15000))
        << trace();
    // Its station goes off the air: six low ticks later the call is gone and the scan moves on.
    emit core->stationChanged(452012500, false);
    const size_t before = SecondaryTunes(trace()).size();
    ASSERT_TRUE(pumpUntil(
        [&] {
            const auto t = SecondaryTunes(trace());
            return t.size() > before + 5 && t.back() == 457012500;
        },
        5000))
        << trace();
    const auto t = SecondaryTunes(trace());
    const size_t lastLow = size_t(std::find(t.rbegin(), t.rend(), 452012500) - t.rbegin());
    EXPECT_GE(lastLow, 5u) << "the scan stays on the channel that still carries its call";
    EXPECT_EQ(GetSignalStrength(2), Band::kStationLevel);
}

}  // namespace
