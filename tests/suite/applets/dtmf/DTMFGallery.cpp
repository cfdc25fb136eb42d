// Pictures of the DTMF window: digits decoded from the sound input, the Decoding menu, and the
// font dialog opened from "&Font...".
#include "DTMF.h"
#include "Dtmf.h"
#include "FontCombo.h"
#include "Gallery.h"
#include "MyFontDialog.h"
#include "SuiteFakes.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QMenu>
#include <QPushButton>
#include <QTimer>

#include <gmock/gmock.h>

#include <cmath>

namespace {

class DTMFGallery : public ::testing::Test {
protected:
    void SetUp() override
    {
        UseFakeServices(&log, &store, &wave);
    }
    void TearDown() override { AppletServices() = TAppletServices(); }

    void Feed(const std::string& digits)
    {
        siggen::dtmf::Script s;
        s.digits = digits;
        s.toneSeconds = 0.12;
        s.pauseSeconds = 0.08;
        s.tailSeconds = 1.2;
        const siggen::Samples x = siggen::dtmf::render(s, kDTMFRate);
        std::vector<int16_t> pcm(x.size());
        for (size_t i = 0; i < x.size(); ++i)
            pcm[i] = static_cast<int16_t>(std::lround(x[i] * 32767));
        for (size_t i = 0; i + kDTMFBufferSamples <= pcm.size(); i += kDTMFBufferSamples)
            wave->OnData(0, pcm.data() + i, kDTMFBufferSamples);
    }

    std::vector<std::string> log;
    TFakeSettingsStore store;
    TFakeWaveIn* wave = nullptr;
};

TEST_F(DTMFGallery, WindowWithDigitsItsDecodingMenuAndTheFontDialog)
{
    auto f = std::make_unique<TDTMFForm>(2);
    f->FormCreate();
    f->show();
    Feed("0123456789");
    Feed("*#ABCD");
    f->Method2Item()->trigger();
    Feed("5551212");
    f->SetStatusText(1, QStringLiteral("Log file active (DTMF.LOG)"));
    testsupport::gallerySave(*f, "suite-dtmf-window");
    EXPECT_THAT(testsupport::captionsThatDoNotFit(*f), ::testing::IsEmpty());
    EXPECT_THAT(testsupport::overlappingControls(*f), ::testing::IsEmpty());

    QMenu* decoding = f->findChild<QMenu*>("Decoding1");
    ASSERT_NE(decoding, nullptr);
    decoding->popup(f->mapToGlobal(QPoint(40, 40)));
    testsupport::gallerySave(*decoding, "suite-dtmf-menu-decoding");
    decoding->hide();

    bool shown = false;
    QTimer::singleShot(0, [&] {
        auto* d = qobject_cast<TMyFontDlg*>(QApplication::activeModalWidget());
        ASSERT_NE(d, nullptr);
        shown = true;
        testsupport::gallerySave(*d, "suite-dtmf-font-dialog");
        EXPECT_THAT(testsupport::captionsThatDoNotFit(*d), ::testing::IsEmpty());
        EXPECT_THAT(testsupport::overlappingControls(*d), ::testing::IsEmpty());
        d->CancelButton->click();
    });
    f->Font1Click();
    EXPECT_TRUE(shown);
    f->FormDestroy();
}

}  // namespace
