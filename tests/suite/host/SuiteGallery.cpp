// Pictures of the suite's shared dialogs, with the layout checks every window passes.
#include "AboutUnit.h"
#include "Gallery.h"
#include "VersInfo.h"

#include <QLabel>

#include <gmock/gmock.h>

namespace {

TEST(SuiteGallery, AboutBoxWithEachModuleText)
{
    for (const char* module : {"Signal Classifier", "Audio Scope & Spectrum Analyser", "Squelch Controlled Recorder"}) {
        SCOPED_TRACE(module);
        TAboutForm about;
        about.SetModuleText(module);
        EXPECT_EQ(about.size(), QSize(319, 179));
        // The version is whole at the label's own (bold, 16-pixel) font.
        const QLabel* version = about.VersionLabel();
        EXPECT_GE(version->width(), version->fontMetrics().horizontalAdvance(version->text()));
        EXPECT_THAT(testsupport::captionsThatDoNotFit(about), ::testing::IsEmpty());
        // Only the version and its shadow lie on each other, as they are meant to.
        EXPECT_THAT(testsupport::overlappingControls(about), ::testing::ElementsAre("VersionShadow / VersionLabel"));
        std::string name = std::string("suite-about-") + module;
        for (char& c : name)
            if (c == ' ' || c == '&')
                c = '-';
        testsupport::gallerySave(about, name);
    }
}

}  // namespace
