// Pictures of the signal classifier in its states, with the layout checks every window passes.
#include "Classifier.h"
#include "Gallery.h"
#include "SuiteFakes.h"

#include <QApplication>
#include <QCheckBox>
#include <QMenu>
#include <QPushButton>

#include <gmock/gmock.h>

#include <cmath>

namespace {

using Capture = std::vector<int16_t>;

Capture Generate(const std::function<double(size_t)>& f)
{
    Capture c(kClassifierSamples);
    for (size_t i = 0; i < c.size(); ++i)
        c[i] = int16_t(std::lround(f(i)));
    return c;
}

// Noise from a fixed-seed generator: the same picture on every run.
Capture Noise()
{
    uint32_t s = 12345;
    return Generate([&](size_t) {
        int32_t u = 0;
        for (int k = 0; k < 4; ++k) {
            s = s * 1664525u + 1013904223u;
            u += int32_t((s >> 8) % 16001) - 8000;
        }
        return double(u);
    });
}

Capture TwoLevelData()
{
    return Generate([](size_t i) { return (i / 16) % 2 ? -20000.0 : 20000.0; });
}

// A voice-like mixture: strongly correlated, but wandering through the middle band.
Capture Mixture()
{
    return Generate([](size_t i) {
        const double t = double(i);
        return 12000 * std::sin(2 * M_PI * t / 90) + 9000 * std::sin(2 * M_PI * t / 23) +
               5000 * std::sin(2 * M_PI * t / 7.3);
    });
}

class ClassifierGallery : public ::testing::Test {
protected:
    void SetUp() override
    {
        UseFakeServices(&log, nullptr, &wave);
        AppletServices().ProcessMessages = [] { QCoreApplication::processEvents(); };
        form = std::make_unique<TClassifierForm>(3);
        form->FormCreate();
        ASSERT_FALSE(form->Failed());
    }
    void TearDown() override
    {
        form->FormDestroy();
        form.reset();
        AppletServices() = TAppletServices();
    }
    // The scanner stops and the capture comes back.
    void Stop(const Capture& c)
    {
        const std::vector<uint8_t> zero = {'0', 0};
        form->DdeCallback({dde::XTYP_ADVDATA, 7, "Korvanta #3", "ScanState", zero});
        wave->OnData(0, c.data(), c.size());
    }
    void SaveChecked(const std::string& name)
    {
        testsupport::gallerySave(*form, name);
        EXPECT_THAT(testsupport::captionsThatDoNotFit(*form), ::testing::IsEmpty()) << name;
        EXPECT_THAT(testsupport::overlappingControls(*form), ::testing::IsEmpty()) << name;
    }

    std::vector<std::string> log;
    TFakeWaveIn* wave = nullptr;
    std::unique_ptr<TClassifierForm> form;
};

TEST_F(ClassifierGallery, Idle)
{
    SaveChecked("classifier-idle");
}

TEST_F(ClassifierGallery, TestCapturePending)
{
    form->Test->click();
    EXPECT_TRUE(form->TestMode());
    SaveChecked("classifier-test-capturing");
}

TEST_F(ClassifierGallery, EachClassShown)
{
    struct Case {
        const char* name;
        Capture capture;
        QCheckBox* tick;
        bool silent, noise, data;
    };
    const std::vector<Case> cases = {
        {"classifier-silence", Capture(kClassifierSamples, 0), form->CheckBox1, true, false, false},
        {"classifier-noise", Noise(), form->CheckBox2, false, true, false},
        {"classifier-data", TwoLevelData(), form->CheckBox3, false, false, true},
        {"classifier-unrecognized", Mixture(), form->CheckBox4, false, false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        for (QCheckBox* box : {form->CheckBox1, form->CheckBox2, form->CheckBox3, form->CheckBox4})
            box->setChecked(box == c.tick);
        Stop(c.capture);
        const TClassifierResult& r = form->LastResult();
        EXPECT_EQ(r.Silent, c.silent);
        EXPECT_EQ(r.Noise, c.noise);
        EXPECT_EQ(r.Data, c.data);
        // The ticked class asked the host to scan on.
        EXPECT_EQ(TClassifierForm::IndicatorColor(form->SkipChannel), QColor(0, 255, 0));
        SaveChecked(c.name);
    }
}

TEST_F(ClassifierGallery, TestOfData)
{
    form->CheckBox3->setChecked(true);
    form->Test->click();
    const Capture c = TwoLevelData();
    wave->OnData(0, c.data(), c.size());
    EXPECT_TRUE(form->LastResult().Data);
    // A test asks nothing of the host.
    EXPECT_EQ(TClassifierForm::IndicatorColor(form->SkipChannel), QColor(0, 0, 0));
    SaveChecked("classifier-test-data");
}

TEST_F(ClassifierGallery, HelpMenu)
{
    form->show();
    form->HelpButton->click();
    QCoreApplication::processEvents();
    testsupport::gallerySave(*form->HelpMenu(), "classifier-help-menu");
    form->HelpMenu()->close();
}

}  // namespace
