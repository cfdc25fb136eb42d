// The MPT1327 window with fake sound and receivers: one count of buffers since tuning shared by the
// window and the decoder, buffers arriving while one is decoded, and the cost of opening a window.
#include "MPT1327WindowFixture.h"
#include "OrvBrowseForms.h"
#include "QelCPUDetect.h"
#include "QelStaticText.h"
#include "platform/ui/MessageBox.h"

#include <QAction>
#include <QComboBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QElapsedTimer>
#include <QTimer>

#include <cstdio>

namespace {

using MPT1327Buffers = MPT1327FakeWindow;

std::vector<int16_t> Silence() { return std::vector<int16_t>(4096, 0); }

TEST_F(MPT1327Buffers, DoubleClickOnACallRestartsTheOneBufferCountWithASecondaryReceiver)
{
    TMPT1327Form* form = Start();
    ASSERT_NE(form, nullptr);
    form->InputTest.State = 2;  // the input-channel test is over
    QAction second("Korvanta #2");
    second.setData(2);
    form->None1Click(&second);
    ASSERT_TRUE(form->Secondary().InUse());
    form->SelectSystem(0x1234);
    form->Decoder().SetControlChannel(20);
    form->Decoder().AddCall(1, 100, 200, 100);

    for (int i = 0; i < 3; ++i)
        ASSERT_TRUE(wave->Deliver(Silence()));
    EXPECT_EQ(form->BuffersSinceTune, 3);
    form->Decoder().DoubleClick(1);
    EXPECT_EQ(receivers.State(2).Frequency, uint32_t(form->Decoder().FrequencyOfChannel(100)));
    EXPECT_EQ(form->BuffersSinceTune, 0);
    ASSERT_TRUE(wave->Deliver(Silence()));
    EXPECT_EQ(form->BuffersSinceTune, 1);
    EXPECT_EQ(form->Decoder().BuffersSinceTune(), 1);
}

// Records how deep the decoder is entered, and raises a box while it decodes the first buffer.
class BoxInsideTheDecoder : public TMPT1327Form {
public:
    using TMPT1327Form::TMPT1327Form;
    int depth = 0, deepest = 0;
    std::vector<int16_t> firstSamples;  // first sample of each buffer decoded, in order
    std::function<void()> onFirst;

protected:
    void ProcessSamples(const int16_t* first, uint32_t count, uint32_t stride) override
    {
        ++depth;
        deepest = std::max(deepest, depth);
        firstSamples.push_back(first[0]);
        if (firstSamples.size() == 1 && onFirst)
            onFirst();
        TMPT1327Form::ProcessSamples(first, count, stride);
        --depth;
    }
};

TEST_F(MPT1327Buffers, BuffersArrivingWhileABoxIsUpWaitAndAreDecodedInOrderAfterwards)
{
    BoxInsideTheDecoder* form = Start<BoxInsideTheDecoder>();
    ASSERT_NE(form, nullptr);
    form->InputTest.State = 2;
    auto buffer = [](int16_t mark) {
        std::vector<int16_t> b(4096, 0);
        for (size_t i = 1; i < b.size(); i += 2)
            b[i] = mark;  // the data channel starts as the second sample of each frame
        return b;
    };
    // The box's event loop delivers the next two buffers.
    platform::MessageBox::SetHandler([&](const std::string&, const std::string&, unsigned) {
        wave->Deliver(buffer(2));
        wave->Deliver(buffer(3));
        return platform::IDOK;
    });
    form->onFirst = [] { platform::MessageBox::Show("Cannot access the special database file!", "Fatal Error"); };
    ASSERT_TRUE(wave->Deliver(buffer(1)));
    platform::MessageBox::SetHandler({});
    EXPECT_EQ(form->deepest, 1);
    EXPECT_EQ(form->firstSamples, (std::vector<int16_t>{1, 2, 3}));
    EXPECT_EQ(form->BuffersSinceTune, 3);
    ASSERT_TRUE(wave->Deliver(buffer(4)));
    EXPECT_EQ(form->firstSamples.back(), 4);
}

TEST_F(MPT1327Buffers, TwentyWindowsOpenedAndClosedIdentifyTheProcessorOnce)
{
    constexpr int kWindows = 20;
    QElapsedTimer clock;
    clock.start();
    for (int i = 0; i < kWindows; ++i) {
        TMPT1327Form* form = Start();
        ASSERT_NE(form, nullptr);
        form->Close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        OrvFrameResetForTest();
    }
    const double perWindowMs = double(clock.nsecsElapsed()) / 1e6 / kWindows;
    EXPECT_EQ(TQelCPUDetect::ProcessDetections(), 1);
    std::printf("start-up and close per window: %.2f ms\n", perWindowMs);
    RecordProperty("StartupMsPerWindow", std::to_string(perWindowMs));
}

}  // namespace

namespace {

using MPT1327BrowserWindows = MPT1327FakeWindow;

// Three systems stored by the window itself, the last one current: 0x0300 with a known base and two
// control channels, 0x0100 with base -1 and traffic channels 3 and 17.
TMPT1327Form* StoreSystems(MPT1327FakeWindow& fixture)
{
    TMPT1327Form* form = fixture.Start();
    form->SelectSystem(0x0300);
    TMPT1327SystemRecord& r = form->Database().Record();
    r.BaseFrequency = 449512500;
    r.Description = "North";
    SetMapBit(r.ControlChannelMap, 20);
    SetMapBit(r.ControlChannelMap, 21);
    form->SelectSystem(0x0100);
    SetMapBit(form->Database().Record().TrafficChannelMap, 3);
    SetMapBit(form->Database().Record().TrafficChannelMap, 17);
    SetMapBit(form->Database().Record().ControlChannelMap, 5);
    form->SelectSystem(0x0200);
    form->Decoder().AddHeardRadio(1, 0x64);
    form->Decoder().AddHeardRadio(1, 0xC8);
    return form;
}

TEST_F(MPT1327BrowserWindows, BrowserListsTheStoredSystemsAndTunesToKnownControlChannels)
{
    TMPT1327Form* form = StoreSystems(*this);
    form->DBBrowseClick();
    ASSERT_TRUE(form->BrowserWindow);
    TOrvDBBrowseForm* b = form->BrowserWindow;
    ASSERT_EQ(b->SysIDs->count(), 3);
    EXPECT_EQ(b->SysIDs->itemText(0), "0100");
    EXPECT_EQ(b->SysIDs->itemText(2), "0300");
    EXPECT_EQ(b->TrafficChans->count(), 2);
    EXPECT_EQ(b->TrafficChans->item(0)->text(), "3");
    EXPECT_EQ(b->TrafficChans->item(1)->text(), "17");
    EXPECT_EQ(b->BaseFreq->text(), "");
    EXPECT_EQ(b->CtrlChanIdx->text(), "");

    // Base -1: a double click on a control channel tunes nowhere.
    host.calls.clear();
    b->CtrlChans->setCurrentRow(0);
    b->CtrlChansDblClick();
    EXPECT_TRUE(host.commands().empty());

    b->SysIDs->setCurrentIndex(2);
    EXPECT_EQ(b->Description->text(), "North");
    EXPECT_EQ(b->BaseFreq->text(), "449.5125 MHz");
    ASSERT_EQ(b->CtrlChans->count(), 2);
    EXPECT_EQ(b->CtrlChans->item(1)->text(), "21 - 450.0375");
    b->CtrlChans->setCurrentRow(1);
    b->CtrlChansDblClick();
    EXPECT_EQ(host.commands(), (std::vector<std::pair<int32_t, int32_t>>{{ORV_FREQUENCY, 450037500}, {ORV_MODE, 2}}));

    // "Tune to": the stored control-channel frequency.
    host.calls.clear();
    b->TuneToButtonClick();
    EXPECT_EQ(host.commands(), (std::vector<std::pair<int32_t, int32_t>>{{ORV_FREQUENCY, 450012500}, {ORV_MODE, 2}}));

    // A second click shows the same window; closing it frees it.
    form->DBBrowseClick();
    EXPECT_EQ(form->BrowserWindow, b);
    b->CloseBtnClick();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_FALSE(form->BrowserWindow);
}

TEST_F(MPT1327BrowserWindows, EmptyDatabaseShowsNothingAndTunesNowhere)
{
    TMPT1327Form* form = Start();
    form->DBBrowseClick();
    ASSERT_TRUE(form->BrowserWindow);
    TOrvDBBrowseForm* b = form->BrowserWindow;
    EXPECT_EQ(b->SysIDs->count(), 0);
    for (QLabel* text : {b->Description, b->BaseFreq, b->ChanSize, b->CtrlChanIdx, b->CtrlChanFreq})
        EXPECT_EQ(text->text(), "");
    for (QListWidget* list : {b->HeardRadios, b->CtrlChans, b->TrafficChans, b->HeardGroups})
        EXPECT_EQ(list->count(), 0);
    host.calls.clear();
    b->TuneToButtonClick();
    b->CtrlChansDblClick();
    EXPECT_TRUE(host.commands().empty());
}

TEST_F(MPT1327BrowserWindows, EditorStoresOnOKOnlyAndGoesWhenTheSystemChanges)
{
    TMPT1327Form* form = StoreSystems(*this);
    form->SysEditClick();
    ASSERT_TRUE(form->EditorWindow);
    TOrvEditorForm* e = form->EditorWindow;
    ASSERT_EQ(e->GroupList->count(), 128);
    ASSERT_EQ(e->RadioList->count(), 2);
    e->RadioList->setCurrentRow(0);
    e->RadioEdit->setText("Car 1");
    QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
    QCoreApplication::sendEvent(e->RadioEdit, &enter);
    EXPECT_EQ(e->RadioList->item(0)->text(), "01:0064 - Car 1");
    EXPECT_EQ(e->RadioList->currentRow(), 1);
    e->GroupList->setCurrentRow(127);
    e->GroupEdit->setText("Fleet");
    QCoreApplication::sendEvent(e->GroupEdit, &enter);
    EXPECT_EQ(e->GroupList->currentRow(), 0);
    e->Description->setText("South");
    EXPECT_EQ(form->Database().Record().Description, "");  // nothing before OK
    e->OKButtonClick();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_FALSE(form->EditorWindow);
    EXPECT_EQ(form->Database().Record().Description, "South");
    EXPECT_EQ(form->SysDescr->Caption(), "South");
    EXPECT_EQ(form->Database().Record().GroupAliases[127], "Fleet");
    EXPECT_EQ(form->Database().Record().HeardRadios[0].Alias, "Car 1");

    // Open again and change the system: the editor goes without touching either system.
    form->SysEditClick();
    form->EditorWindow->Description->setText("Wrong");
    form->SelectSystem(0x0300);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_FALSE(form->EditorWindow);
    EXPECT_EQ(form->Database().Record().Description, "North");
}

}  // namespace
