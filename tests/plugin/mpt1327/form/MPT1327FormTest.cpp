// The MPT1327 window in-process on a generated control channel read from a WAV file: the calls it
// lists and logs, the system it stores, the stored system at the next start, and traffic followed
// on a secondary receiver.
#include "FakeReceiverLibrary.h"
#include "MPT1327Database.h"
#include "MPT1327Form.h"
#include "MPT1327WindowFixture.h"
#include "OrvBrowseForms.h"
#include "OrvPluginFrame.h"
#include "QelButton.h"
#include "QelStaticText.h"
#include "RecordingHost.h"
#include "platform/settings/Registry.h"
#include "tests/support/TestSupport.h"

#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QListWidget>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QTimer>
#include <gtest/gtest.h>

#include <filesystem>

namespace {

using namespace testsupport;

const OrvHostWindow kHost = 91;
// The host sits on 450.0125 MHz, channel 20 of the generated system: channel 0 is 449.5125 MHz.
constexpr int32_t kBase = 449512500;

class MPT1327Window : public ::testing::Test {
protected:
    void SetUp() override
    {
        OrvFrameResetForTest();
        platform::Registry reg;
        ASSERT_TRUE(reg.OpenKey("\\Software\\Korvanta Communications\\Tollan\\MPT1327\\Receiver 1", true));
        reg.WriteBool("Auto Tune To", true);
        reg.WriteBool("Log File", true);
        reg.WriteString("Log File Name", (dir / "calls.txt").string());
        reg.WriteInteger("Log File Type", 1);
    }
    void TearDown() override
    {
        for (TOrvDecoderForm* f : std::vector(OrvWindows()))
            f->Close();
        Pump();
        OrvFrameResetForTest();
    }
    static void Pump()
    {
        QCoreApplication::processEvents();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    // A stereo control channel on the right (where the window looks first) with the given options.
    std::filesystem::path Signal(const std::string& name, std::vector<std::string> options)
    {
        const auto wav = dir / name;
        std::vector<std::string> args = {binPath("siggen").string(), "mpt1327", "--channels", "2", "--channel",
                                         "right", "--snr", "20", "--out", wav.string()};
        args.insert(args.end(), options.begin(), options.end());
        EXPECT_EQ(runProgram(args), 0);
        return wav;
    }

    // Starts a window on the file and runs the event loop until the file has been read.
    TMPT1327Form* Run(const std::filesystem::path& wav, TReceiverLibrary& receivers)
    {
        ScopedEnv file("WAVE_IN_FILE", wav.string());
        ScopedEnv eof("WAVE_IN_EOF_FILE", (dir / "eof").string());
        std::filesystem::remove(dir / "eof");
        TMPT1327Form* form = StartThroughFrame(kHost, host, receivers);
        QElapsedTimer clock;
        clock.start();
        while (form && !std::filesystem::exists(dir / "eof") && clock.elapsed() < 60000)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        EXPECT_TRUE(std::filesystem::exists(dir / "eof"));
        return form;
    }

    std::vector<int32_t> HostTunes() const { return host.tunes(); }

    TempDir dir;
    ScopedEnv runtime{"XDG_RUNTIME_DIR", dir.path().string()};
    ScopedEnv config{"XDG_CONFIG_HOME", (dir / "config").string()};
    ScopedEnv pluginDir{"ORV_PLUGIN_PATH", dir.path().string()};
    ScopedEnv pace{"WAVE_IN_PACE", "fast"};
    ScopedEnv boxes{"MSGBOX_LOG", (dir / "boxes").string()};
    RecordingHost host;
    TFakeReceiverLibrary receivers{2};
};

TEST_F(MPT1327Window, ListsLogsAndStoresTheCallsAndKnowsTheSystemAtTheNextStart)
{
    const auto first = Signal("first.wav", {"--seconds", "16", "--number", "7.2,20", "--number", "7.6,20", "--grant",
                                            "8.5,1,100,200,100", "--grant", "13.5,1,102,202,200"});
    TMPT1327Form* form = Run(first, receivers);
    ASSERT_NE(form, nullptr);
    // This host does not report its retuning back, so the window stays on the control channel's
    // numbers and follows both grants.
    EXPECT_EQ(HostTunes(), (std::vector<int32_t>{kBase + 100 * 25000, kBase + 200 * 25000}));
    const TMPT1327Decoder& decoder = form->Decoder();
    ASSERT_EQ(decoder.Calls().size(), 2u);
    EXPECT_EQ(form->Disp->RowCount(), 3);
    EXPECT_EQ(decoder.CellText(0, 1), "01:0064");
    EXPECT_EQ(decoder.CellText(1, 1), "01:00C8");
    EXPECT_EQ(decoder.CellText(2, 2), "200");
    EXPECT_EQ(decoder.ControlChannel(), 20);
    EXPECT_TRUE(form->LogFile->Checked());

    // The grid: a double click on the first call's row tunes to it, "&Clear" empties the list.
    host.calls.clear();
    const QPoint row1(70, TMPT1327OnAirGrid::kRowHeight + 1 + 5);
    QMouseEvent click(QEvent::MouseButtonDblClick, row1, form->Disp->mapToGlobal(row1), Qt::LeftButton,
                      Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(form->Disp, &click);
    EXPECT_EQ(form->Disp->SelectedRow(), 1);
    EXPECT_EQ(HostTunes(), (std::vector<int32_t>{kBase + 100 * 25000}));
    form->Disp->OnAirMenu()->actions().at(0)->trigger();
    EXPECT_TRUE(decoder.Calls().empty());
    EXPECT_EQ(form->Disp->RowCount(), 2);

    host.calls.clear();
    form->Close();
    Pump();

    const std::string log = readFile(dir / "calls.txt");
    EXPECT_NE(log.find("System=1234 Radio 01:0064 and radio 01:00C8 on channel  100\r\n"), std::string::npos) << log;
    EXPECT_NE(log.find("System=1234 Radio 01:0066 and radio 01:00CA on channel  200\r\n"), std::string::npos) << log;

    {
        TMPT1327Database stored(dir / "MPT1327.MEM");
        stored.OpenDatabase();
        TMPT1327Channels channels{450012500, 25000, -1, -1};
        const TMPT1327Selection s = stored.SelectSystem(0x1234, channels);
        ASSERT_TRUE(s.Found);
        EXPECT_EQ(stored.Record().BaseFrequency, kBase);
        EXPECT_EQ(stored.Record().ControlChannelFrequency, 450012500);
        EXPECT_TRUE(MapBit(stored.Record().ControlChannelMap, 20));
        EXPECT_TRUE(MapBit(stored.Record().TrafficChannelMap, 100));
        EXPECT_TRUE(MapBit(stored.Record().TrafficChannelMap, 200));
        EXPECT_EQ(stored.Record().HeardRadios.size(), 4u);
    }

    // No channel-number message this time: the stored base frequency gives the channels.
    host.calls.clear();
    const auto second = Signal("second.wav", {"--seconds", "11", "--grant", "9.5,1,104,204,300"});
    form = Run(second, receivers);
    ASSERT_NE(form, nullptr);
    EXPECT_EQ(HostTunes(), (std::vector<int32_t>{kBase + 300 * 25000}));
    EXPECT_EQ(form->Decoder().ControlChannel(), 20);
    ASSERT_EQ(form->Decoder().Calls().size(), 1u);
    EXPECT_EQ(form->Decoder().Calls()[0].Channel, 300);

    // The browser lists what the runs stored: the system with its control and traffic channels.
    form->DBBrowseClick();
    ASSERT_TRUE(form->BrowserWindow);
    const TOrvDBBrowseForm* b = form->BrowserWindow;
    ASSERT_EQ(b->SysIDs->count(), 1);
    EXPECT_EQ(b->SysIDs->itemText(0), "1234");
    EXPECT_EQ(b->BaseFreq->text(), "449.5125 MHz");
    EXPECT_EQ(b->CtrlChanIdx->text(), "20");
    ASSERT_EQ(b->CtrlChans->count(), 1);
    EXPECT_EQ(b->CtrlChans->item(0)->text(), "20 - 450.0125");
    ASSERT_EQ(b->TrafficChans->count(), 3);
    EXPECT_EQ(b->TrafficChans->item(2)->text(), "300 - 457.0125");
    EXPECT_EQ(b->HeardRadios->count(), 6);
}

TEST_F(MPT1327Window, GrantIsFollowedOnTheSecondaryReceiverChosenFromTheMenu)
{
    const auto wav = Signal("cc.wav", {"--seconds", "16", "--number", "7.2,20", "--number", "7.6,20", "--number",
                                       "8.0,20", "--grant", "12.5,1,100,200,100"});
    TMPT1327Form* form = nullptr;
    // The receiver is chosen once the window runs, before the grant comes.
    QTimer::singleShot(0, [&] {
        form = dynamic_cast<TMPT1327Form*>(OrvWindows().empty() ? nullptr : OrvWindows().front());
        ASSERT_NE(form, nullptr);
        form->SecondaryLabelClick();
        // The menu opens with its top-left corner on the label's.
        EXPECT_TRUE(form->SecondaryPopup->isVisible());
        EXPECT_EQ(form->SecondaryPopup->pos(), form->SecondaryLabel->mapToGlobal(QPoint(0, 0)));
        const QList<QAction*> items = form->SecondaryPopup->actions();
        ASSERT_EQ(items.size(), 3);
        EXPECT_EQ(items[2]->text(), "Korvanta #2");
        items[2]->trigger();
        form->SecondaryPopup->hide();
    });
    host.values[ORV_VOLUME] = 137;
    host.values[ORV_ATTENUATOR] = 1;
    form = Run(wav, receivers);
    ASSERT_NE(form, nullptr);
    EXPECT_EQ(form->Secondary().Chosen(), 2);
    // The window's label names the receiver, which takes the host's volume and attenuator.
    EXPECT_EQ(form->SecondaryLabel->Caption(), "Korvanta #2");
    EXPECT_EQ(receivers.State(2).Volume, 137);
    EXPECT_EQ(receivers.State(2).Atten, 1);
    EXPECT_TRUE(HostTunes().empty()) << "the host stays on the control channel";
    EXPECT_EQ(receivers.State(2).Frequency, uint32_t(kBase + 100 * 25000));
    EXPECT_EQ(receivers.State(2).Mute, 0);
    EXPECT_TRUE(form->RetToCtrl->isEnabled());
    EXPECT_EQ(form->Decoder().Calls().size(), 1u);

    // Back to the control channel: the secondary is parked, the host is not touched.
    form->RetToCtrlClick();
    EXPECT_EQ(receivers.State(2).Frequency, 1000000u);
    EXPECT_EQ(receivers.State(2).Mute, 1);
    EXPECT_TRUE(HostTunes().empty());
    EXPECT_FALSE(form->RetToCtrl->isEnabled());
}

}  // namespace
