// The SmartNet database browser and system editor: the texts and lists of a stored system, the
// editor's model, and both windows on a decoder window in-process (stored systems, the owner's
// system preselected, tuning as the user would, an empty or missing file, the editor going when
// the system changes, and what a run on a generated signal stored).
#include "FakeReceiverLibrary.h"
#include "OrvPluginFrame.h"
#include "QelButton.h"
#include "QelStaticText.h"
#include "RecordingHost.h"
#include "SmartNetDBBrowseForm.h"
#include "SmartNetEditorForm.h"
#include "SmartNetForm.h"
#include "SmartNetWindowFixture.h"
#include "SystemBrowse.h"
#include "tests/support/TestSupport.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPointer>
#include <QPushButton>
#include <QTimer>
#include <gtest/gtest.h>

#include <filesystem>

namespace {

using namespace testsupport;

using Commands = std::vector<std::pair<int32_t, int32_t>>;

TSmartNetSystemRecord System(int32_t base, uint16_t step, int32_t control = 851012500)
{
    TSmartNetSystemRecord r;
    r.SystemIdentity = 0x8000;
    r.BaseFrequency = base;
    r.ChannelSize = step;
    r.ControlChannelFrequency = control;
    r.Description = "County";
    for (int c : {20, 33, 1023})
        SmartNetSetMapBit(r.ControlChannelMap, c);
    for (int c : {3, 17})
        SmartNetSetMapBit(r.TrafficChannelMap, c);
    r.HeardRadios = {{0x00C8, "Car 2"}, {0x0064, "Car 1"}, {0xFFFF, ""}};
    return r;
}

TEST(SmartNetBrowse, ItemsAndTextsOfAStoredSystem)
{
    struct Case {
        int32_t base;
        uint16_t step;
        int32_t control;
        std::string baseText, ctrlFreq, index, chanSize;
        std::vector<std::string> control_, traffic;
    };
    const Case cases[] = {
        {850512500, 25000, 851012500, "850.5125 MHz", "851.0125 MHz", "20", "25.0000 kHz ",
         {"20 - 851.0125", "33 - 851.3375", "1023 - 876.0875"}, {"3 - 850.5875", "17 - 850.9375"}},
        {850762500, 12500, 851012500, "850.7625 MHz", "851.0125 MHz", "20", "12.5000 kHz ",
         {"20 - 851.0125", "33 - 851.1750", "1023 - 863.5500"}, {"3 - 850.8000", "17 - 850.9750"}},
        // Base not known: channel numbers alone, no base and no index.
        {-1, 25000, 851012500, "", "851.0125 MHz", "", "25.0000 kHz ", {"20", "33", "1023"}, {"3", "17"}},
        // A step of 0 from a damaged file: no frequencies, no index, nothing divides.
        {850512500, 0, 851012500, "850.5125 MHz", "851.0125 MHz", "", "0.0000 kHz ", {"20", "33", "1023"},
         {"3", "17"}},
        // Control-channel frequency not known (-1): neither it nor its index, not "-0.0000 MHz".
        {850512500, 25000, -1, "850.5125 MHz", "", "", "25.0000 kHz ",
         {"20 - 851.0125", "33 - 851.3375", "1023 - 876.0875"}, {"3 - 850.5875", "17 - 850.9375"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.base) + " " + std::to_string(c.step) + " " + std::to_string(c.control));
        const TOrvBrowseView v = SmartNetBrowseView(System(c.base, c.step, c.control));
        EXPECT_EQ(v.Description, "County");
        EXPECT_EQ(v.BaseFreq, c.baseText);
        EXPECT_EQ(v.CtrlChanFreq, c.ctrlFreq);
        EXPECT_EQ(v.CtrlChanIdx, c.index);
        EXPECT_EQ(v.ChanSize, c.chanSize);
        EXPECT_EQ(v.CtrlChans, c.control_);
        EXPECT_EQ(v.TrafficChans, c.traffic);
        EXPECT_TRUE(v.HeardGroups.empty());
        EXPECT_EQ(v.HeardRadios, (std::vector<std::string>{"0064 - Car 1", "00C8 - Car 2", "FFFF - "}));
    }
}

TEST(SmartNetBrowse, ControlChannelFrequencyOfTheKthItem)
{
    struct Case {
        int32_t base;
        uint16_t step;
        size_t k;
        int64_t hz;
    };
    const Case cases[] = {
        {850512500, 25000, 0, 851012500}, {850512500, 25000, 1, 851337500}, {850512500, 25000, 2, 876087500},
        {850512500, 25000, 3, -1},  // no fourth control channel
        {-1, 25000, 0, -1},         // base not known: nowhere, not n * step - 1
        {850512500, 0, 1, -1},      // no step
    };
    for (const Case& c : cases)
        EXPECT_EQ(SmartNetControlChannelFrequency(System(c.base, c.step), c.k), c.hz) << c.base << " " << c.k;
}

// The editor's list, its edits and what OK stores.
TEST(SmartNetEditor, UpdateWrapsAroundAndOKStoresWhatTheListShows)
{
    TSmartNetSystemRecord r = System(-1, 25000);
    TSmartNetEditor e(r);
    ASSERT_EQ(e.RadioItems, (std::vector<std::string>{"0064 - Car 1", "00C8 - Car 2", "FFFF - "}));
    EXPECT_EQ(e.GroupItems.size(), 0u);

    // Update with no row selected changes nothing.
    e.RadioEdit = "lost";
    e.RadioUpdate();
    EXPECT_EQ(e.RadioItems[0], "0064 - Car 1");

    e.RadioListClick(1);
    EXPECT_EQ(e.RadioEdit, "Car 2");
    e.RadioEdit = "Engine 7";
    e.RadioUpdate();
    EXPECT_EQ(e.RadioItems[1], "00C8 - Engine 7");
    EXPECT_EQ(e.RadioSelected, 2);
    EXPECT_EQ(e.RadioEdit, "");  // the next row's alias, empty here
    // The last row wraps to the first, whose alias comes into the edit.
    e.RadioEdit = std::string(300, 'x');
    e.RadioUpdate();
    EXPECT_EQ(e.RadioItems[2], "FFFF - " + std::string(252, 'x'));
    EXPECT_EQ(e.RadioSelected, 0);
    EXPECT_EQ(e.RadioEdit, "Car 1");
    e.RadioClear();
    EXPECT_EQ(e.RadioEdit, "");

    // Nothing reaches the record before OK (Cancel drops the model).
    EXPECT_EQ(r, System(-1, 25000));
    e.Description = std::string(300, 'd');
    e.Apply(r);
    EXPECT_EQ(r.Description, std::string(255, 'd'));
    EXPECT_EQ(r.HeardRadios[0].Alias, "Engine 7");
    EXPECT_EQ(r.HeardRadios[1].Alias, "Car 1");
    EXPECT_EQ(r.HeardRadios[2].Alias, std::string(252, 'x'));
}

// An item goes to the radio of its own four digits, whatever its alias says; a radio listed twice
// keeps one item each.
TEST(SmartNetEditor, EachItemGoesToItsOwnRadio)
{
    TSmartNetSystemRecord r;
    r.HeardRadios = {{0x1234, "a"}, {0x0064, "0064 - b"}, {0x1234, "c"}};
    TSmartNetEditor e(r);
    ASSERT_EQ(e.RadioItems, (std::vector<std::string>{"0064 - 0064 - b", "1234 - a", "1234 - c"}));
    e.RadioItems[0] = "0064 - 1234";
    e.RadioItems[1] = "1234 - A";
    e.RadioItems[2] = "1234 - C";
    e.Apply(r);
    EXPECT_EQ(r.HeardRadios[0].Alias, "A");
    EXPECT_EQ(r.HeardRadios[1].Alias, "1234");
    EXPECT_EQ(r.HeardRadios[2].Alias, "C");
}

// The decoder window in-process on a silent scripted input, with a host that notifies every tune.
class SmartNetBrowserWindows : public SmartNetQuietWindow {
protected:
    void SetUp() override
    {
        SmartNetQuietWindow::SetUp();
        if (HasFatalFailure())
            return;
        host.onCall = [this](const HostCall& call) {
            if (call.code == ORV_FREQUENCY) {
                host.values[ORV_FREQUENCY] = call.param;
                form->HostNotify(7, ORV_FREQUENCY, call.param);
            }
        };
    }

    // Three systems in the file: 0100 with base and control-channel frequency -1 and traffic channels
    // 3 and 17, 8000 with base and control channels known, and 0200 current, with two radios heard.
    void StoreSystems()
    {
        form->SelectSystem(0x0100);
        TSmartNetSystemRecord& r = form->Record();
        SmartNetSetMapBit(r.TrafficChannelMap, 3);
        SmartNetSetMapBit(r.TrafficChannelMap, 17);
        SmartNetSetMapBit(r.ControlChannelMap, 5);
        form->SelectSystem(0x8000);
        form->Record().BaseFrequency = 850512500;
        form->Record().ControlChannelFrequency = kTuned;
        form->Record().Description = "County";
        for (int c : {20, 33, 40})
            SmartNetSetMapBit(form->Record().ControlChannelMap, c);
        form->SelectSystem(0x0200);
        form->Record().HeardRadios = {{0x00C8, "Car 2"}, {0x0064, ""}};
        form->Record().Description = "Harbour";
        form->SysDescr->SetText("Harbour");
    }
};

TEST_F(SmartNetBrowserWindows, BrowserListsTheStoredSystemsWithTheOwnersSelected)
{
    StoreSystems();
    form->DBBrowse->OnClick(form->DBBrowse);
    ASSERT_TRUE(form->BrowserWindow);
    TSmartNetDBBrowseForm* b = form->BrowserWindow;
    EXPECT_EQ(b->windowTitle(), QString::fromUtf8("Motorola SmartNet\u00AE Database Browser"));
    EXPECT_EQ(b->height(), 382);
    EXPECT_FALSE(b->HeardGroups->isVisible());
    for (QPushButton* button : {b->RefreshButton, b->TuneToButton, b->CloseBtn}) {
        EXPECT_TRUE(button->isVisible());
        EXPECT_LE(button->geometry().bottom(), b->height()) << button->text().toStdString();
    }
    for (const char* hidden : {"SysInitButton", "SysRemoveButton", "ReportsButton", "ChanOccButton"})
        EXPECT_FALSE(b->findChild<QPushButton*>(hidden)->isVisible()) << hidden;

    // The current system went into the file first and is the one shown.
    ASSERT_EQ(b->SysIDs->count(), 3);
    EXPECT_EQ(b->SysIDs->itemText(0), "0100");
    EXPECT_EQ(b->SysIDs->itemText(2), "8000");
    EXPECT_EQ(b->SysIDs->currentText(), "0200");
    EXPECT_EQ(b->Description->text(), "Harbour");
    ASSERT_EQ(b->HeardRadios->count(), 2);
    EXPECT_EQ(b->HeardRadios->item(0)->text(), "0064 - ");
    EXPECT_EQ(b->HeardRadios->item(1)->text(), "00C8 - Car 2");

    // Base -1: channel numbers alone, no base and no index.
    b->SysIDs->setCurrentIndex(0);
    ASSERT_EQ(b->TrafficChans->count(), 2);
    EXPECT_EQ(b->TrafficChans->item(0)->text(), "3");
    EXPECT_EQ(b->TrafficChans->item(1)->text(), "17");
    EXPECT_EQ(b->BaseFreq->text(), "");
    EXPECT_EQ(b->CtrlChanIdx->text(), "");
    EXPECT_EQ(b->CtrlChanFreq->text(), "");
    EXPECT_EQ(b->ChanSize->text(), "25.0000 kHz ");

    b->SysIDs->setCurrentIndex(2);
    EXPECT_EQ(b->Description->text(), "County");
    EXPECT_EQ(b->BaseFreq->text(), "850.5125 MHz");
    EXPECT_EQ(b->CtrlChanFreq->text(), "851.0000 MHz");
    EXPECT_EQ(b->CtrlChanIdx->text(), "19");
    ASSERT_EQ(b->CtrlChans->count(), 3);
    EXPECT_EQ(b->CtrlChans->item(2)->text(), "40 - 851.5125");
    EXPECT_EQ(b->HeardRadios->count(), 0);

    // Without a current system the first one is selected.
    form->HostNotify(7, ORV_FREQUENCY, 460000000);
    EXPECT_FALSE(form->Decoder().SystemCurrent());
    b->RefreshClick();
    EXPECT_EQ(b->SysIDs->currentText(), "0100");

    // A second click shows the same window; closing it frees it.
    form->DBBrowseClick();
    EXPECT_EQ(form->BrowserWindow, b);
    b->CloseBtnClick();
    Pump();
    EXPECT_FALSE(form->BrowserWindow);
}

TEST_F(SmartNetBrowserWindows, TuningFromTheBrowserIsTheUsersRetune)
{
    StoreSystems();
    form->DBBrowseClick();
    TSmartNetDBBrowseForm* b = form->BrowserWindow;
    ASSERT_TRUE(b);

    // Base -1: a double click on a control channel tunes nowhere.
    b->SysIDs->setCurrentIndex(b->SysIDs->findText("0100"));
    host.calls.clear();
    b->CtrlChans->setCurrentRow(0);
    b->CtrlChansDblClick();
    EXPECT_TRUE(host.commands().empty());

    // The third item tunes the third control channel of the map; the window takes it as the user's
    // retune: the current system is stored and left.
    b->SysIDs->setCurrentIndex(b->SysIDs->findText("8000"));
    b->CtrlChans->setCurrentRow(2);
    ASSERT_TRUE(form->Decoder().SystemCurrent());
    b->CtrlChansDblClick();
    EXPECT_EQ(host.commands(), (Commands{{ORV_FREQUENCY, 851512500}, {ORV_MODE, 2}}));
    EXPECT_FALSE(form->Decoder().SystemCurrent());
    EXPECT_EQ(form->SysIDLabel->Caption(), "");
    // No row selected: nothing.
    host.calls.clear();
    b->CtrlChans->setCurrentRow(-1);
    b->CtrlChansDblClick();
    EXPECT_TRUE(host.commands().empty());

    // "Tune to": the stored control-channel frequency.
    b->TuneToButton->click();
    EXPECT_EQ(host.commands(), (Commands{{ORV_FREQUENCY, kTuned}, {ORV_MODE, 2}}));
}

TEST_F(SmartNetBrowserWindows, TuneToRefusesAnUnknownControlFrequency)
{
    form->SelectSystem(0x4321);
    form->Record().ControlChannelFrequency = -1;
    form->DBBrowseClick();
    TSmartNetDBBrowseForm* b = form->BrowserWindow;
    ASSERT_TRUE(b);
    ASSERT_EQ(b->SysIDs->currentText(), "4321");
    EXPECT_EQ(b->CtrlChanFreq->text(), "");
    host.calls.clear();
    b->TuneToButtonClick();
    EXPECT_TRUE(host.commands().empty());
}

TEST_F(SmartNetBrowserWindows, EmptyOrMissingDatabaseShowsNothingAndTunesNowhere)
{
    for (bool missing : {false, true}) {
        SCOPED_TRACE(missing);
        if (missing)
            std::filesystem::remove(dir / "SmartNet.MEM");
        form->DBBrowseClick();
        TSmartNetDBBrowseForm* b = form->BrowserWindow;
        ASSERT_TRUE(b);
        EXPECT_EQ(b->SysIDs->count(), 0);
        for (QLabel* text : {b->Description, b->BaseFreq, b->ChanSize, b->CtrlChanIdx, b->CtrlChanFreq})
            EXPECT_EQ(text->text(), "");
        for (QListWidget* list : {b->HeardRadios, b->CtrlChans, b->TrafficChans})
            EXPECT_EQ(list->count(), 0);
        host.calls.clear();
        b->TuneToButtonClick();
        b->CtrlChansDblClick();
        EXPECT_TRUE(host.commands().empty());
        b->close();
        Pump();
    }
    EXPECT_EQ(readFile(dir / "boxes"), "");  // no message either way
}

TEST_F(SmartNetBrowserWindows, EditorStoresOnOKOnlyAndGoesWhenTheSystemChanges)
{
    StoreSystems();
    form->SysEdit->OnClick(form->SysEdit);
    ASSERT_TRUE(form->EditorWindow);
    TSmartNetEditorForm* e = form->EditorWindow;
    EXPECT_EQ(e->windowTitle(), QString::fromUtf8("Motorola SmartNet\u00AE System Information Editor"));
    EXPECT_TRUE(e->windowFlags() & Qt::WindowStaysOnTopHint);
    EXPECT_FALSE(e->GroupList->isVisibleTo(e));
    EXPECT_EQ(e->Description->text(), "Harbour");
    ASSERT_EQ(e->RadioList->count(), 2);
    EXPECT_EQ(e->RadioList->item(0)->text(), "0064 - ");

    // Enter on the last row stores the alias and wraps to the first.
    e->RadioList->setCurrentRow(1);
    EXPECT_EQ(e->RadioEdit->text(), "Car 2");
    e->RadioEdit->setText("Car 9");
    QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
    QCoreApplication::sendEvent(e->RadioEdit, &enter);
    EXPECT_EQ(e->RadioList->item(1)->text(), "00C8 - Car 9");
    EXPECT_EQ(e->RadioList->currentRow(), 0);
    e->RadioEdit->setText("Car 1");
    QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    QCoreApplication::sendEvent(e->RadioEdit, &escape);
    EXPECT_EQ(e->RadioEdit->text(), "");
    e->RadioEdit->setText("Car 1");
    e->RadioUpdate->click();
    e->Description->setText("South");

    // Cancel: nothing changes.
    const TSmartNetSystemRecord before = form->Record();
    e->CancelButton->click();
    Pump();
    EXPECT_FALSE(form->EditorWindow);
    EXPECT_EQ(form->Record(), before);

    // OK: the record in memory and the description label, not the file.
    form->SysEditClick();
    e = form->EditorWindow;
    e->RadioList->setCurrentRow(0);
    e->RadioEdit->setText("Car 1");
    e->RadioUpdateClick();
    e->Description->setText("South");
    const std::string file = readFile(dir / "SmartNet.MEM");
    e->OKButton->click();
    Pump();
    EXPECT_FALSE(form->EditorWindow);
    EXPECT_EQ(form->Record().Description, "South");
    EXPECT_EQ(form->SysDescr->Caption(), "South");
    EXPECT_EQ(form->Record().HeardRadios[1].Alias, "Car 1");
    EXPECT_EQ(form->Record().HeardRadios[0].Alias, "Car 2");
    EXPECT_EQ(readFile(dir / "SmartNet.MEM"), file);

    // Another system comes: the editor goes unapplied, and neither system takes its texts.
    form->SysEditClick();
    form->EditorWindow->Description->setText("Wrong");
    form->SelectSystem(0x8000);
    Pump();
    EXPECT_FALSE(form->EditorWindow);
    EXPECT_EQ(form->Record().Description, "County");
    // A user's retune leaves no system current: the editor goes as well.
    form->SysEditClick();
    form->EditorWindow->Description->setText("Wrong");
    form->HostNotify(7, ORV_FREQUENCY, 460000000);
    Pump();
    EXPECT_FALSE(form->EditorWindow);
    form->SelectSystem(0x0200);
    EXPECT_EQ(form->Record().Description, "South");
    EXPECT_EQ(form->Record().HeardRadios[1].Alias, "Car 1");
}

TEST_F(SmartNetBrowserWindows, ClosingTheDecoderWindowClosesBoth)
{
    StoreSystems();
    form->DBBrowseClick();
    form->SysEditClick();
    QPointer<TSmartNetDBBrowseForm> b = form->BrowserWindow;
    QPointer<TSmartNetEditorForm> e = form->EditorWindow;
    ASSERT_TRUE(b && e);
    form->Close();
    Pump();
    form = nullptr;
    EXPECT_FALSE(b);
    EXPECT_FALSE(e);
}

// A run of the window on a generated control channel stores its system; the browser lists it.
TEST(SmartNetBrowserRun, ListsWhatAGeneratedRunStored)
{
    TempDir dir;
    ScopedEnv runtime{"XDG_RUNTIME_DIR", dir.path().string()};
    ScopedEnv config{"XDG_CONFIG_HOME", (dir / "config").string()};
    ScopedEnv pluginDir{"ORV_PLUGIN_PATH", dir.path().string()};
    ScopedEnv pace{"WAVE_IN_PACE", "fast"};
    ScopedEnv boxes{"MSGBOX_LOG", (dir / "boxes").string()};
    const auto wav = dir / "control.wav";
    ASSERT_EQ(runProgram({binPath("siggen").string(), "smartnet", "--system", "0x8000", "--control", "752",
                          "--triple-until", "9", "--seconds", "12", "--grant", "10.0,0x101,100", "--channels", "2",
                          "--channel", "right", "--out", wav.string()}),
              0);
    ScopedEnv file("WAVE_IN_FILE", wav.string());
    ScopedEnv eof("WAVE_IN_EOF_FILE", (dir / "eof").string());

    OrvFrameResetForTest();
    RecordingHost host;
    host.values[ORV_FREQUENCY] = 851000000;
    TFakeReceiverLibrary receivers{2};
    OrvReceiverInfo info{};
    info.receiverNumber = 1;
    info.maxVolume = 255;
    auto* form = new TSmartNetForm(7, &info, &RecordingHost::Callback, &host.flags, 1, receivers);
    form->FormCreate();
    ASSERT_TRUE(form->Started());
    QElapsedTimer clock;
    clock.start();
    while (!std::filesystem::exists(dir / "eof") && clock.elapsed() < 90000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    ASSERT_TRUE(std::filesystem::exists(dir / "eof"));
    ASSERT_EQ(form->Record().SystemIdentity, 0x8000);

    form->DBBrowseClick();
    TSmartNetDBBrowseForm* b = form->BrowserWindow;
    ASSERT_TRUE(b);
    ASSERT_EQ(b->SysIDs->count(), 1);
    EXPECT_EQ(b->SysIDs->currentText(), "8000");
    EXPECT_EQ(b->CtrlChanFreq->text(), "851.0000 MHz");
    EXPECT_EQ(b->ChanSize->text(), "25.0000 kHz ");
    std::vector<std::string> control, traffic;
    for (int i = 0; i < b->CtrlChans->count(); ++i)
        control.push_back(b->CtrlChans->item(i)->text().toStdString());
    for (int i = 0; i < b->TrafficChans->count(); ++i)
        traffic.push_back(b->TrafficChans->item(i)->text().toStdString());
    EXPECT_EQ(control, (std::vector<std::string>{"752 - 851.0000"}));
    EXPECT_EQ(traffic, (std::vector<std::string>{"100 - 834.7000"}));
    ASSERT_EQ(b->HeardRadios->count(), 1);
    EXPECT_EQ(b->HeardRadios->item(0)->text(), "0101 - ");

    form->DestroyNow();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    OrvFrameResetForTest();
}

}  // namespace
