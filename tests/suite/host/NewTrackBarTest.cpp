// The recorder's track bar: positions set from code fire nothing, the user's moves fire at each
// step, and the tick marks' pixel positions for the painted scale.
#include "NewTrackBar.h"

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

}  // namespace
