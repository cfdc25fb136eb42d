// Pictures of the scope's windows: a 1 kHz tone as trace and as spectrum, cursors and readouts, the
// grabber holding a grab, and the colour dialog.
#include "Gallery.h"
#include "MyScrollBar.h"
#include "PaintPanel.h"
#include "ScopeDispPropsUnit.h"
#include "ScopeForm.h"
#include "SuiteFakes.h"

#include <QApplication>
#include <QCheckBox>
#include <QRadioButton>
#include <QSpinBox>

#include <gmock/gmock.h>

#include <cmath>

namespace {

std::vector<int16_t> Tone(double hz, int rate, size_t n, size_t offset = 0)
{
    std::vector<int16_t> s(n);
    for (size_t i = 0; i < n; ++i)
        s[i] = int16_t(std::lround(16000 * std::sin(2 * M_PI * hz * double(i + offset) / rate)));
    return s;
}

class ScopeGallery : public ::testing::Test {
protected:
    void SetUp() override
    {
        UseFakeServices(&log, &store, &wave);
        AppletServices().ProcessMessages = [] { QCoreApplication::processEvents(); };
        form = std::make_unique<TScopeForm>(1);
        form->FormCreate();
        form->show();
        QCoreApplication::processEvents();
    }
    void TearDown() override
    {
        form->FormDestroy();
        form.reset();
        AppletServices() = TAppletServices();
    }
    void Deliver(const std::vector<int16_t>& b) { wave->OnData(0, b.data(), b.size()); }
    void Check()
    {
        EXPECT_THAT(testsupport::captionsThatDoNotFit(*form), ::testing::IsEmpty());
        EXPECT_THAT(testsupport::overlappingControls(*form), ::testing::IsEmpty());
    }

    std::vector<std::string> log;
    TFakeSettingsStore store;
    TFakeWaveIn* wave = nullptr;
    std::unique_ptr<TScopeForm> form;
};

TEST_F(ScopeGallery, ToneAsTraceWithCursors)
{
    form->Grid->setChecked(true);
    form->PositiveEdge->setChecked(true);
    form->TriggerClick();
    form->NumMarkers->setValue(2);
    const int cw = form->Display->width();
    form->MoveCursor(0, 1 + (cw - 3) / 5);
    form->MoveCursor(1, 1 + (cw - 3) / 2);
    Deliver(Tone(1000, 44100, 512, 30));
    testsupport::gallerySave(*form, "scope-trace-tone");
    Check();
}

// A 100 Hz tone at 1 ms/div on a positive edge: one period a screen, which runs on across buffers.
TEST_F(ScopeGallery, LowToneAsOneTriggeredScreen)
{
    form->Grid->setChecked(true);
    form->PositiveEdge->setChecked(true);
    form->TriggerClick();
    for (size_t b = 0; b < 7; ++b)
        Deliver(Tone(100, 44100, 512, 300 + b * 512));
    testsupport::gallerySave(*form, "scope-trace-100hz");
    Check();
}

TEST_F(ScopeGallery, ToneAsColumnTrace)
{
    form->Grid->setChecked(true);
    form->ScopeTimeBase->setCurrentIndex(6);  // "10 ms/div": more samples than columns
    form->ScopeTimeBaseChange();
    Deliver(Tone(250, 11025, 1200));
    testsupport::gallerySave(*form, "scope-trace-columns");
    Check();
}

TEST_F(ScopeGallery, ToneAsSpectrumWithCursors)
{
    form->Grid->setChecked(true);
    form->AnalyserButton->setChecked(true);
    form->AnalyserButtonClick();
    form->NumMarkers->setValue(2);
    form->MoveCursor(0, 150);
    form->MoveCursor(1, 300);
    std::vector<int16_t> s = Tone(1000, 11025, 1024);
    for (size_t i = 0; i < s.size(); ++i)
        s[i] = int16_t(s[i] + ((i * 7919) % 61) - 30);  // a little noise under the tone
    Deliver(s);
    testsupport::gallerySave(*form, "scope-spectrum-tone");
    Check();
    form->Bar->setChecked(true);
    testsupport::gallerySave(*form, "scope-spectrum-bar");
}

TEST_F(ScopeGallery, GrabberHoldingAGrab)
{
    form->Grid->setChecked(true);
    form->StoreEnable->setChecked(true);
    form->StoreClick();
    form->StoreStartClick();
    for (size_t b = 0; b < 20; ++b)
        Deliver(Tone(1000, 44100, 2048, b * 2048));
    form->StoreStartClick();
    form->StoreScroll->DoScroll(3, 0);
    testsupport::gallerySave(*form, "scope-grabber");
    Check();
}

TEST_F(ScopeGallery, DisplayPropertiesDialog)
{
    TScopeDispPropsForm props;
    props.OnApply = [](TScopeDispPropsForm*) {};
    testsupport::gallerySave(props, "scope-display-properties");
    EXPECT_THAT(testsupport::captionsThatDoNotFit(props), ::testing::IsEmpty());
    EXPECT_THAT(testsupport::overlappingControls(props), ::testing::IsEmpty());
}

}  // namespace
