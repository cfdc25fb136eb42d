// Pictures of the CTCSS window: a tone identified (the target, and another), and "No tone".
#include "CTCSS.h"
#include "CTCSSTone.h"
#include "Gallery.h"
#include "SuiteFakes.h"

#include <QApplication>
#include <QCheckBox>

#include <gmock/gmock.h>

#include <cmath>

namespace {

class CTCSSGallery : public ::testing::Test {
protected:
    void SetUp() override
    {
        UseFakeServices(&log, &store, &wave);
        form = std::make_unique<TCTCSSForm>(1);
        form->FormCreate();
        form->ToneLabelClick(14);
        form->CheckBox2->setChecked(true);
    }
    void TearDown() override
    {
        form->FormDestroy();
        form.reset();
        AppletServices() = TAppletServices();
    }
    void Check()
    {
        EXPECT_THAT(testsupport::captionsThatDoNotFit(*form), ::testing::IsEmpty());
        EXPECT_THAT(testsupport::overlappingControls(*form), ::testing::IsEmpty());
    }
    std::vector<std::string> log;
    TFakeSettingsStore store;
    TFakeWaveIn* wave = nullptr;
    std::unique_ptr<TCTCSSForm> form;
};

TEST_F(CTCSSGallery, TargetToneIdentified)
{
    const auto b = CTCSSTone(100.0);
    wave->OnData(0, b.data(), b.size());
    testsupport::gallerySave(*form, "ctcss-target-tone");
    Check();
}

TEST_F(CTCSSGallery, AnotherToneIdentified)
{
    const auto b = CTCSSTone(162.7);
    wave->OnData(0, b.data(), b.size());
    testsupport::gallerySave(*form, "ctcss-other-tone");
    Check();
}

TEST_F(CTCSSGallery, NoTone)
{
    const std::vector<int16_t> silence(kCTCSSBlock, 0);
    wave->OnData(0, silence.data(), silence.size());
    testsupport::gallerySave(*form, "ctcss-no-tone");
    Check();
}

}  // namespace
