// Pictures of the SmartNet window (empty, and with a system and calls listed, one followed) and
// of its about box, with the layout checks every window gets.
#include "FakeReceiverLibrary.h"
#include "OrvPluginFrame.h"
#include "QelButton.h"
#include "QelStaticText.h"
#include "RecordingHost.h"
#include "SmartNetAboutForm.h"
#include "SmartNetForm.h"
#include "SmartNetWindowFixture.h"
#include "tests/support/Gallery.h"
#include "tests/support/TestSupport.h"

#include <QCoreApplication>
#include <QEvent>
#include <QLabel>
#include <QTimer>
#include <gtest/gtest.h>

namespace {

using namespace testsupport;

class SmartNetGallery : public SmartNetQuietWindow {
protected:
    void SetUp() override
    {
        now = [] { return QDateTime(QDate(2026, 12, 10), QTime(14, 5, 9)); };
        SmartNetQuietWindow::SetUp();
        if (HasFatalFailure())
            return;
        form->StartupTimerTimer();
    }
    void ExpectWhole(QWidget& w)
    {
        EXPECT_EQ(captionsThatDoNotFit(w), std::vector<std::string>{});
        EXPECT_EQ(overlappingControls(w), std::vector<std::string>{});
    }

};

TEST_F(SmartNetGallery, EmptyWindow)
{
    EXPECT_EQ(form->size(), QSize(518, 453));
    gallerySave(*form, "smartnet-window-empty");
    ExpectWhole(*form);
}

TEST_F(SmartNetGallery, CallsListedAndOneFollowed)
{
    TSmartNetDecoder& d = form->Decoder();
    d.BuffersSinceTune = 40;
    for (int i = 0; i < 3; ++i)
        for (const TSmartNetOsw& w : {TSmartNetOsw{0x308, 0x1234, 1}, TSmartNetOsw{0x30B, 0x2AF0, 1},
                                      TSmartNetOsw{0x2F0, 0x1F00, 1}})
            d.GoodWord(w);
    d.GoodWord({0x308, 0xFD8A, 1});
    d.GoodWord({0x322, 0x0E1E, 1});
    d.GoodWord({0x2F8, 0x2F8F, 1});
    d.GoodWord({0x365, 0x0000, 1});
    d.GoodWord({0x32B, 0x1234, 1});
    for (const TSmartNetOsw& w : {TSmartNetOsw{0x2F8, 0x2F8F, 1}, TSmartNetOsw{0x2F8, 0x2F8F, 1}})
        d.GoodWord(w);
    form->AutoTune->SetCheck(true);
    host.onCall = [this](const HostCall& call) {
        if (call.code == ORV_FREQUENCY)
            form->HostNotify(7, ORV_FREQUENCY, call.param);
    };
    d.AddCall(0x0101, 100, 1);
    d.AddCall(0x2468, 214, 1);
    d.AddCall(0x0B0B, 37, 0);
    form->Record().HeardRadios[1].Alias = "Fire";
    form->AccFramesLabel->SetText("98%");
    form->Disp->SetSelectedRow(1);
    EXPECT_EQ(form->SysIDLabel->Caption(), "1234");
    EXPECT_EQ(d.ControlChannel, 0x2F0);
    EXPECT_EQ(d.OnAir().size(), 3u);
    EXPECT_TRUE(form->RetToCtrl->isEnabled());
    EXPECT_EQ(form->SysTypeLabel->Caption(), "Single or Multicast");
    EXPECT_EQ(d.CellColour(1, true), 0x00FFFFu);  // followed and selected: yellow
    gallerySave(*form, "smartnet-window-calls");
    ExpectWhole(*form);
}

TEST_F(SmartNetGallery, AboutBox)
{
    TSmartNetAboutForm about;
    gallerySave(about, "smartnet-about");
    EXPECT_EQ(captionsThatDoNotFit(about), std::vector<std::string>{});
    // The only overlaps are the shadows drawn behind the title and the version.
    for (QLabel* a : about.findChildren<QLabel*>())
        for (QLabel* b : about.findChildren<QLabel*>())
            if (a < b && a->parent() == b->parent() && a->geometry().intersects(b->geometry())) {
                EXPECT_EQ(a->text(), b->text());
            }
}

}  // namespace
