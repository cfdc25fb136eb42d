// The recorder's track bar: positions set from code fire nothing, the user's moves fire at each
// step, and the tick marks' pixel positions for the painted scale.
#include "NewTrackBar.h"

#include <QImage>
#include <QPalette>

#include <map>

#include <gmock/gmock.h>

namespace {

TEST(NewTrackBar, PositionFromCodeIsSilentAndTheUsersMovesFire)
{
    TNewTrackBar bar;
    EXPECT_EQ(bar.ThumbSize(), 20);
    EXPECT_FALSE(bar.EnableSelection());
    bar.SetThumbSize(16);
    EXPECT_EQ(bar.ThumbSize(), 16);
    int changes = 0;
    bar.OnChange = [&] { ++changes; };
    bar.setMaximum(600);
    bar.SetPosition(300);
    EXPECT_EQ(bar.Position(), 300);
    EXPECT_EQ(changes, 0);
    bar.triggerAction(QAbstractSlider::SliderSingleStepAdd);
    EXPECT_EQ(bar.Position(), 301);
    EXPECT_EQ(changes, 1);
    bar.setSliderDown(true);
    bar.setSliderPosition(450);  // dragging fires at every step, not only at the release
    EXPECT_EQ(bar.Position(), 450);
    EXPECT_EQ(changes, 2);
    bar.setSliderDown(false);
}

TEST(NewTrackBar, InteriorTickPositionsRiseEvenlyAndEndBeforeTheLastMark)
{
    TNewTrackBar bar;
    bar.resize(253, 26);
    bar.setMaximum(600);
    bar.SetFrequency(50);
    std::vector<int> xs;
    for (int i = 0; bar.GetTicPos(i) >= 0; ++i)
        xs.push_back(bar.GetTicPos(i));
    ASSERT_EQ(xs.size(), 11u);  // 50, 100 ... 550
    EXPECT_GT(xs.front(), 0);
    EXPECT_LT(xs.back(), bar.width());
    for (size_t i = 1; i < xs.size(); ++i) {
        const int step = xs[i] - xs[i - 1];
        EXPECT_NEAR(step, xs[1] - xs[0], 1) << i;
        EXPECT_GT(step, 0);
    }
    EXPECT_EQ(bar.GetTicPos(-1), -1);
    EXPECT_EQ(bar.GetTicPos(11), -1);
    bar.setMaximum(0);
    EXPECT_EQ(bar.GetTicPos(0), -1);
}

// The rows in which column x of the bar differs from column `plain`, where no thumb is drawn.
int DrawnRows(const QImage& img, int x, int plain)
{
    int top = -1, bottom = -1;
    for (int y = 0; y < img.height(); ++y)
        if (img.pixel(x, y) != img.pixel(plain, y)) {
            if (top < 0)
                top = y;
            bottom = y;
        }
    return top < 0 ? 0 : bottom - top + 1;
}

// The thumb is as long across the bar as ThumbSize says, and drawn so.
TEST(NewTrackBar, ThumbTakesItsLengthAcrossTheBar)
{
    TNewTrackBar bar;
    bar.resize(253, 40);
    bar.setMaximum(600);
    bar.SetFrequency(600);
    bar.SetPosition(300);
    std::map<int, int> drawn;
    for (int size : {16, 30, 20}) {
        bar.SetThumbSize(size);
        const QRect thumb = bar.ThumbRect();
        EXPECT_EQ(thumb.height(), size) << size;
        EXPECT_TRUE(bar.rect().contains(thumb)) << size;
        EXPECT_NEAR(thumb.center().x(), bar.PixelOf(300), 1) << size;
        const QImage img = bar.grab().toImage();
        drawn[size] = DrawnRows(img, thumb.center().x(), bar.PixelOf(100));
        EXPECT_NEAR(drawn[size], size, 2) << size;  // the style's outline may sit inside the rectangle
    }
    EXPECT_EQ(drawn[30] - drawn[16], 14);
    EXPECT_EQ(drawn[20] - drawn[16], 4);
}

// With EnableSelection the range from SelStart to SelEnd is shown on the channel; without it no
// selection is shown, whatever the range holds.
TEST(NewTrackBar, SelectionRangeShownOnlyWhenEnabled)
{
    TNewTrackBar bar;
    bar.resize(253, 30);
    bar.setMaximum(600);
    bar.SetFrequency(600);
    bar.SetPosition(0);
    bar.SetSelStart(400);
    bar.SetSelEnd(200);  // either way round
    const QColor highlight = bar.palette().color(QPalette::Active, QPalette::Highlight);
    // Any pixel of the column of a position in the selection's colour?
    auto shown = [&](int value) {
        const QImage img = bar.grab().toImage();
        for (int y = 0; y < img.height(); ++y)
            if (QColor(img.pixel(bar.PixelOf(value), y)) == highlight)
                return true;
        return false;
    };
    EXPECT_FALSE(shown(300));
    bar.SetEnableSelection(true);
    EXPECT_TRUE(bar.EnableSelection());
    for (int v : {200, 300, 400})
        EXPECT_TRUE(shown(v)) << v;
    for (int v : {150, 450, 550})
        EXPECT_FALSE(shown(v)) << v;
    bar.SetEnableSelection(false);
    EXPECT_FALSE(shown(300));
}

}  // namespace
