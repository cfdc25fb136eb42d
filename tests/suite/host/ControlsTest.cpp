// The suite's scroll bar, paint panel, version label and About box.
#include "AboutUnit.h"
#include "MyScrollBar.h"
#include "PaintPanel.h"
#include "VersInfo.h"

#include <QApplication>
#include <QImage>
#include <QLabel>
#include <QPainter>
#include <QScrollBar>

#include <gmock/gmock.h>

namespace {

struct ScrollBar : ::testing::Test {
    TMyScrollBar bar;
    int changes = 0;
    void SetUp() override
    {
        bar.OnChange = [this](TMyScrollBar*) { ++changes; };
    }
};

TEST_F(ScrollBar, DefaultsAndShape)
{
    EXPECT_EQ(bar.Min(), 0);
    EXPECT_EQ(bar.Max(), 100);
    EXPECT_EQ(bar.Position(), 0);
    EXPECT_EQ(bar.LargeChange(), 1);
    EXPECT_EQ(bar.width(), 121);
    const int h = bar.height();
    bar.SetKind(sbVertical);
    EXPECT_EQ(bar.width(), h);
    EXPECT_EQ(bar.height(), 121);
}

TEST_F(ScrollBar, ScrollCodesWithAPageOfTwenty)
{
    bar.SetLargeChange(20);
    bar.SetSmallChange(5);
    struct Case {
        int32_t from;
        int code;
        int32_t track;
        int32_t to;
    };
    const Case cases[] = {
        {70, 3, 0, 81},   // page down stops where the page still fits
        {10, 2, 0, 0},    // page up stops at Min
        {50, 0, 0, 45}, {50, 1, 0, 55},
        {10, 5, 100, 81},  // thumb dragged to the end
        {10, 4, 33, 33},
        {40, 6, 0, 0}, {40, 7, 0, 81},
        {40, 8, 99, 40},   // end of scroll keeps the position
    };
    for (const Case& c : cases) {
        bar.SetPosition(c.from);
        bar.DoScroll(c.code, c.track);
        EXPECT_EQ(bar.Position(), c.to) << "code " << c.code << " from " << c.from;
    }
}

TEST_F(ScrollBar, PositionChangesFireOnChangeButRangeChangesDoNot)
{
    bar.SetPosition(70);
    EXPECT_EQ(changes, 1);
    bar.SetPosition(70);
    EXPECT_EQ(changes, 1);
    bar.SetMax(50);  // moves the position to the new end, silently
    EXPECT_EQ(bar.Position(), 50);
    EXPECT_EQ(changes, 1);
    EXPECT_THROW(bar.SetMin(60), EInvalidOperation);
    try {
        bar.SetParams(0, 10, 5);
    } catch (const EInvalidOperation& e) {
        EXPECT_STREQ(e.what(), "Scrollbar property out of range");
    }
    EXPECT_EQ(bar.Min(), 0);
    EXPECT_EQ(bar.Max(), 50);
}

TEST_F(ScrollBar, LargeChangeIgnoresZeroAndNegativeAndPullsThePositionIn)
{
    bar.SetLargeChange(0);
    bar.SetLargeChange(-3);
    EXPECT_EQ(bar.LargeChange(), 1);
    bar.SetPosition(95);
    changes = 0;
    bar.SetLargeChange(20);
    EXPECT_EQ(bar.Position(), 81);
    EXPECT_EQ(changes, 0);
}

TEST_F(ScrollBar, OnScrollDecidesThePosition)
{
    bar.OnScroll = [](TMyScrollBar*, int, int32_t& pos) { pos = 10; };
    bar.SetPosition(50);
    bar.DoScroll(3, 0);
    EXPECT_EQ(bar.Position(), 10);
}

TEST_F(ScrollBar, ThumbTrackBeyondSixteenBitsIsTakenExactlyFromTheSystemBar)
{
    bar.SetMax(1000000);
    bar.SystemBar()->setSliderPosition(70001);  // the thumb moves: a track notification
    QCoreApplication::processEvents();
    EXPECT_EQ(bar.Position(), 70001);
    EXPECT_EQ(bar.SystemBar()->value(), 70001);
}

TEST(PaintPanel, WithoutDefaultDrawingOnlyTheHandlerPaints)
{
    for (bool defaultDrawing : {true, false}) {
        TPaintPanel panel;
        panel.resize(40, 30);
        panel.SetDefaultDrawing(defaultDrawing);
        int paints = 0;
        panel.OnPaint = [&](TPaintPanel* p) {
            ++paints;
            QPainter painter(p);
            painter.fillRect(QRect(0, 0, 5, 5), Qt::red);
        };
        QImage image(40, 30, QImage::Format_RGB32);
        image.fill(Qt::green);
        panel.render(&image, QPoint(), QRegion(), QWidget::RenderFlags());
        EXPECT_EQ(paints, 1);
        EXPECT_EQ(image.pixelColor(2, 2), QColor(Qt::red));
        EXPECT_EQ(image.pixelColor(20, 15) == QColor(Qt::green), !defaultDrawing) << defaultDrawing;
    }
}

TVersionResource Resource()
{
    TVersionResource r;
    r.Translations = {{0x0409, 0x04E4}};
    r.Fixed.assign(52, 0);
    r.Fixed[24] = 0x3F;                       // flags mask
    r.Fixed[28] = 0x01 | 0x08 | 0x20 | 0x10;  // Debug, private, special, and one outside the names
    r.Strings["\\StringFileInfo\\040904e4\\ProductVersion"] = "2.5.1";
    r.Strings["\\StringFileInfo\\040904e4\\CompanyName"] = "Korvanta Communications";
    return r;
}

TEST(VerInfo, ReadsStringsAndFlags)
{
    const TVersionResource r = Resource();
    TVerInfo info(&r);
    EXPECT_EQ(info.Query(viProductVersion), "2.5.1");
    EXPECT_EQ(info.Query(viComments), "");
    EXPECT_THAT(info.FileFlags(), ::testing::ElementsAre("Private build", "Special build", "Debug"));
}

TEST(VerInfo, EachUnusableResourceRaisesItsError)
{
    TVersionResource unreadable = Resource();
    unreadable.Readable = false;
    TVersionResource noLanguage = Resource();
    noLanguage.Translations.clear();
    TVersionResource shortFixed = Resource();
    shortFixed.Fixed.resize(51);
    EXPECT_THROW(
        try { TVerInfo(nullptr); } catch (const ENoVerInfoError& e) {
            EXPECT_STREQ(e.what(), "No version information available");
            throw;
        },
        ENoVerInfoError);
    EXPECT_THROW(
        try { TVerInfo{&unreadable}; } catch (const EVerInfoError& e) {
            EXPECT_STREQ(e.what(), "Cannot obtain version information");
            throw;
        },
        EVerInfoError);
    EXPECT_THROW(
        try { TVerInfo{&noLanguage}; } catch (const EVerInfoError& e) {
            EXPECT_STREQ(e.what(), "No language information");
            throw;
        },
        EVerInfoError);
    EXPECT_THROW(
        try { TVerInfo{&shortFixed}; } catch (const ENoFixedVerInfo& e) {
            EXPECT_STREQ(e.what(), "No fixed version information");
            throw;
        },
        ENoFixedVerInfo);
}

TEST(VerInfoLabel, ShowsTheProductVersionAndEmptyForAMissingString)
{
    const TVersionResource r = Resource();
    TVerInfoLabel label(nullptr, &r);
    EXPECT_EQ(label.VersionInfo(), viProductVersion);
    EXPECT_EQ(label.text(), "2.5.1");
    label.SetVersionInfo(viLegalTrademarks);
    EXPECT_EQ(label.text(), "");
    label.SetVersionInfo(viCompanyName);
    EXPECT_EQ(label.text(), "Korvanta Communications");
}

TEST(AboutBox, ShowsModuleTextAndTheProgramsVersion)
{
    TAboutForm about;
    about.SetModuleText("DTMF Decoder");
    EXPECT_EQ(about.windowTitle(), "About");
    EXPECT_EQ(about.size(), QSize(319, 179));
    EXPECT_EQ(about.ModuleLabel()->text(), "DTMF Decoder");
    EXPECT_EQ(about.ModuleLabel()->pos(), QPoint(24, 54));
    EXPECT_FALSE(about.VersionLabel()->text().isEmpty());
    EXPECT_EQ(about.VersionLabel()->text().toStdString(), TVerInfo(ProgramVersionResource()).Query(viProductVersion));
}

}  // namespace
