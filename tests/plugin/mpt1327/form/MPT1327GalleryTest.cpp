// Pictures of the MPT1327 window and its about box, and the layout checks every window passes:
// captions whole at the window's font, no control over another.
#include "MPT1327AboutForm.h"
#include "MPT1327Form.h"
#include "MPT1327WindowFixture.h"
#include "OrvBrowseForms.h"
#include "OrvPluginFrame.h"
#include "QelButton.h"
#include "QelRichEdit.h"
#include "QelStaticText.h"
#include "RecordingHost.h"
#include "tests/support/Gallery.h"
#include "tests/support/TestSupport.h"

#include <QCoreApplication>
#include <QEvent>
#include <QComboBox>
#include <QImage>
#include <QListWidget>
#include <QLabel>
#include <QScrollBar>
#include <QTimer>
#include <gtest/gtest.h>

namespace {

using namespace testsupport;

std::string joined(const std::vector<std::string>& v)
{
    std::string s;
    for (const auto& x : v)
        s += x + "\n";
    return s;
}

using MPT1327Gallery = MPT1327FakeWindow;

TEST_F(MPT1327Gallery, WindowWithCallsListed)
{
    TMPT1327Form* form = Start();
    ASSERT_NE(form, nullptr);
    form->StartupTimer->stop();
    form->SelectSystem(0x1234);
    TMPT1327Decoder& d = form->Decoder();
    // Enough calls that the list runs past its visible rows.
    for (int i = 0; i < 12; ++i)
        d.AddCall(1, 100 + i, 200 + i, 100 + 7 * i);
    form->PrintLine(MPT1327CodewordLine(0, {0x8123, 0x4567, 0x89AB, 0xCDEF}));
    form->PrintLine(MPT1327CodewordLine(0, {0xC4D7, 0x0102, 0xAAAA, 0x3B28}));
    form->SetAccFramesText("98%");
    form->SetCtrlChanText("20");
    gallerySave(*form, "mpt1327-window-calls");

    EXPECT_EQ(joined(captionsThatDoNotFit(*form)), "");
    EXPECT_EQ(joined(overlappingControls(*form)), "");

    // The message pane is black.
    const QImage pane = form->RE1->viewport()->grab().toImage();
    EXPECT_EQ(pane.pixelColor(pane.width() - 3, pane.height() - 3), QColor(Qt::black));

    // Each call row's text sits in the middle of its cell.
    TMPT1327OnAirGrid* grid = form->Disp;
    const QImage cells = grid->grab().toImage();
    constexpr int step = TMPT1327OnAirGrid::kRowHeight + 1, width = TMPT1327OnAirGrid::kColumnWidth + 1;
    for (int column = 0; column < 4; ++column) {
        int left = 1000, right = -1, top = 1000, bottom = -1;
        for (int y = step; y < 2 * step - 1; ++y)
            for (int x = column * width; x < column * width + TMPT1327OnAirGrid::kColumnWidth; ++x)
                if (cells.pixelColor(x, y) != QColor(Qt::black)) {
                    left = std::min(left, x), right = std::max(right, x);
                    top = std::min(top, y), bottom = std::max(bottom, y);
                }
        ASSERT_GE(right, 0) << "column " << column;
        const int centre = column * width + TMPT1327OnAirGrid::kColumnWidth / 2;
        EXPECT_NEAR((left + right) / 2.0, centre, 2.0) << "column " << column;
        EXPECT_NEAR((top + bottom) / 2.0, step + TMPT1327OnAirGrid::kRowHeight / 2, 3.0) << "column " << column;
    }

    // Rows of 17 pixels; the scroll bar reaches the last call.
    EXPECT_EQ(grid->RowAt(step + 1), 1);
    EXPECT_EQ(grid->RowAt(2 * step + 1), 2);
    QScrollBar* bar = grid->ScrollBar();
    ASSERT_TRUE(bar->isVisible());
    EXPECT_EQ(bar->minimum(), 1);
    bar->setValue(bar->maximum());
    const int lastLine = grid->VisibleCallRows();
    EXPECT_EQ(grid->RowAt(lastLine * step + 1), 12);
    EXPECT_EQ(grid->RowAt((lastLine + 1) * step + 1), -1);
    gallerySave(*form, "mpt1327-window-calls-scrolled");
}

TEST_F(MPT1327Gallery, DatabaseBrowserAndSystemEditor)
{
    TMPT1327Form* form = Start();
    ASSERT_NE(form, nullptr);
    form->StartupTimer->stop();
    // A database of several systems, as the window stores them.
    const struct {
        uint16_t id;
        int32_t base;
        const char* description;
    } systems[] = {{0x2A51, 449512500, "Harbour net"}, {0x1234, -1, "Airport"}, {0x0F0F, 451000000, "Taxi"}};
    for (const auto& sys : systems) {
        form->SelectSystem(sys.id);
        TMPT1327SystemRecord& r = form->Database().Record();
        r.BaseFrequency = sys.base;
        r.ControlChannelFrequency = sys.base == -1 ? 450012500 : sys.base + 20 * 25000;
        r.Description = sys.description;
        for (unsigned c : {20u, 21u})
            SetMapBit(r.ControlChannelMap, c);
        for (unsigned c : {3u, 17u, 100u, 207u, 311u})
            SetMapBit(r.TrafficChannelMap, c);
        r.GroupAliases[1] = "Dispatch";
        for (int i = 0; i < 9; ++i)
            form->Decoder().AddHeardRadio(1 + i % 3, 0x100 + 7 * i);
        r.HeardRadios[0].Alias = "Car 12";
        r.HeardRadios[1].Alias = "Control room";
    }
    form->DBBrowseClick();
    ASSERT_TRUE(form->BrowserWindow);
    form->BrowserWindow->SysIDs->setCurrentIndex(form->BrowserWindow->SysIDs->findText("2A51"));
    gallerySave(*form->BrowserWindow, "mpt1327-browser");
    EXPECT_EQ(joined(captionsThatDoNotFit(*form->BrowserWindow)), "");
    EXPECT_EQ(joined(overlappingControls(*form->BrowserWindow)), "");
    EXPECT_EQ(form->BrowserWindow->height(), 420);

    form->SysEditClick();
    ASSERT_TRUE(form->EditorWindow);
    form->EditorWindow->RadioList->setCurrentRow(0);
    gallerySave(*form->EditorWindow, "mpt1327-editor");
    EXPECT_EQ(joined(captionsThatDoNotFit(*form->EditorWindow)), "");
    EXPECT_EQ(joined(overlappingControls(*form->EditorWindow)), "");
}

TEST_F(MPT1327Gallery, AboutBox)
{
    TMPT1327AboutForm about;
    gallerySave(about, "mpt1327-about");
    EXPECT_EQ(joined(captionsThatDoNotFit(about)), "");
    // Each title lies over its own shadow copy, 4 pixels right and 3 down; nothing else overlaps.
    std::vector<std::string> overlaps = overlappingControls(about);
    std::erase_if(overlaps, [](const std::string& o) {
        return o == "TitleShadow / Title" || o == "Title / TitleShadow" || o == "VersionShadow / Version" ||
               o == "Version / VersionShadow";
    });
    EXPECT_EQ(joined(overlaps), "");
    EXPECT_EQ(about.TitleShadow->geometry(), about.Title->geometry().translated(4, 3));
}

}  // namespace

namespace {

// The check sees the painted controls too: a caption cut by its button's frame is reported.
TEST(MPT1327GalleryCheck, PaintedCaptionCutByItsFrameIsReported)
{
    QWidget window;
    auto* button = new TQelButton(&window);
    button->setObjectName("Narrow");
    button->SetText("Automatically tune to traffic channel");
    button->setGeometry(0, 0, 120, 24);
    auto* text = new TQelStaticText(&window);
    text->SetText("450.0125 MHz");
    text->setGeometry(0, 30, 200, 22);
    const std::vector<std::string> cut = captionsThatDoNotFit(window);
    ASSERT_EQ(cut.size(), 1u) << joined(cut);
    EXPECT_EQ(cut[0].rfind("Narrow: Automatically tune to traffic channel (needs ", 0), 0u) << cut[0];
}

}  // namespace
