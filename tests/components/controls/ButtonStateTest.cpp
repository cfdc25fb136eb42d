// The button's mouse state machine, driven by event sequences.
#include <QelButtonState.h>
#include <gtest/gtest.h>
#include <ostream>
#include <string>

namespace {

// D/d press inside/outside, M/m move inside/outside with the left button held,
// o move outside with no button held, U/u release inside/outside.
struct Sequence {
    TQelButtonStyle style;
    bool checked;
    const char* events;
    TQelFramedWindowStyle frame;
    bool pressed;
    bool checkedAfter;
    int clicks;
};

void PrintTo(const Sequence& c, std::ostream* os)
{
    *os << "style " << c.style << (c.checked ? " checked " : " unchecked ") << c.events;
}

int run(TQelButtonState& s, const std::string& events)
{
    int clicks = 0;
    for (char e : events) {
        TQelButtonEffects fx;
        switch (e) {
        case 'D': fx = s.MouseDown(true); break;
        case 'd': fx = s.MouseDown(false); break;
        case 'M': fx = s.MouseMove(true, true); break;
        case 'm': fx = s.MouseMove(false, true); break;
        case 'o': fx = s.MouseMove(false, false); break;
        case 'U': fx = s.MouseUp(true); break;
        case 'u': fx = s.MouseUp(false); break;
        default: ADD_FAILURE() << "bad event " << e;
        }
        clicks += fx.Click;
    }
    return clicks;
}

class ButtonSequence : public ::testing::TestWithParam<Sequence> {};

TEST_P(ButtonSequence, EndsInExpectedState)
{
    const Sequence& c = GetParam();
    TQelButtonState s;
    s.Style = c.style;
    s.SetCheck(c.checked);
    const int clicks = run(s, c.events);
    EXPECT_EQ(s.FrameStyle, c.frame);
    EXPECT_EQ(s.Pressed, c.pressed);
    EXPECT_EQ(s.Checked, c.checkedAfter);
    EXPECT_EQ(clicks, c.clicks);
    const char last = std::string(c.events).back();
    if (last == 'U' || last == 'u') {
        EXPECT_FALSE(s.Captured);
    }
}

INSTANTIATE_TEST_SUITE_P(Table, ButtonSequence, ::testing::Values(
    // push button: lowered only while held inside; click on release inside
    Sequence{bsPushButton, false, "D", fsLowered, true, false, 0},
    Sequence{bsPushButton, false, "DU", fsRaised, false, false, 1},
    Sequence{bsPushButton, false, "DUDU", fsRaised, false, false, 2},
    Sequence{bsPushButton, false, "Dm", fsRaised, false, false, 0},
    Sequence{bsPushButton, false, "Dmu", fsRaised, false, false, 0},
    Sequence{bsPushButton, false, "DmMU", fsRaised, false, false, 1},
    Sequence{bsPushButton, false, "Do", fsRaised, false, false, 0},
    Sequence{bsPushButton, false, "dU", fsRaised, false, false, 0},
    Sequence{bsPushButton, false, "dMU", fsRaised, false, false, 0},
    // check button, unchecked: press lowers, release inside checks
    Sequence{bsCheckButton, false, "D", fsLowered, false, false, 0},
    Sequence{bsCheckButton, false, "DU", fsLowered, false, true, 1},
    Sequence{bsCheckButton, false, "Dm", fsRaised, false, false, 0},
    Sequence{bsCheckButton, false, "Dmu", fsRaised, false, false, 0},
    Sequence{bsCheckButton, false, "DmMU", fsLowered, false, true, 1},
    Sequence{bsCheckButton, false, "dU", fsRaised, false, false, 0},
    // check button, checked: press shows the pressed shade, release inside unchecks
    Sequence{bsCheckButton, true, "D", fsLowered, true, true, 0},
    Sequence{bsCheckButton, true, "DU", fsRaised, false, false, 1},
    Sequence{bsCheckButton, true, "Dm", fsLowered, false, true, 0},
    Sequence{bsCheckButton, true, "Dmu", fsLowered, false, true, 0},
    Sequence{bsCheckButton, true, "DmMU", fsRaised, false, false, 1},
    Sequence{bsCheckButton, true, "DUDU", fsLowered, false, true, 2},
    Sequence{bsCheckButton2, false, "DU", fsLowered, false, true, 1},
    Sequence{bsCheckButton2, true, "DU", fsRaised, false, false, 1},
    Sequence{bsCheckButton2, true, "Dmu", fsLowered, false, true, 0},
    // radio button: checks on the press, never unchecks by a click
    Sequence{bsRadioButton, false, "D", fsLowered, false, true, 1},
    Sequence{bsRadioButton, false, "DU", fsLowered, false, true, 1},
    Sequence{bsRadioButton, true, "DUDU", fsLowered, false, true, 0},
    Sequence{bsRadioButton, false, "dU", fsRaised, false, false, 0},
    Sequence{bsRadioButton, false, "Dmu", fsLowered, false, true, 1}));

TEST(ButtonState, OutermostPixelsAreOutside)
{
    EXPECT_FALSE(TQelButtonState::Inside(0, 10, 100, 30));
    EXPECT_FALSE(TQelButtonState::Inside(10, 0, 100, 30));
    EXPECT_FALSE(TQelButtonState::Inside(100, 10, 100, 30));
    EXPECT_FALSE(TQelButtonState::Inside(10, 30, 100, 30));
    EXPECT_TRUE(TQelButtonState::Inside(1, 1, 100, 30));
    EXPECT_TRUE(TQelButtonState::Inside(99, 29, 100, 30));
}

TEST(ButtonState, SetCheckOnlyForCheckAndRadioStyles)
{
    TQelButtonState push;
    EXPECT_FALSE(push.SetCheck(true));
    EXPECT_FALSE(push.Checked);
    EXPECT_EQ(push.FrameStyle, fsRaised);

    for (TQelButtonStyle style : {bsCheckButton, bsCheckButton2, bsRadioButton}) {
        TQelButtonState s;
        s.Style = style;
        EXPECT_TRUE(s.SetCheck(true));
        EXPECT_EQ(s.FrameStyle, fsLowered);
        EXPECT_FALSE(s.SetCheck(true)) << "an equal value changes nothing";
        EXPECT_TRUE(s.SetCheck(false));
        EXPECT_EQ(s.FrameStyle, fsRaised);
    }
}

TEST(ButtonState, PressTakesFocusOnlyInside)
{
    TQelButtonState s;
    EXPECT_FALSE(s.MouseDown(false).Focus);
    EXPECT_TRUE(s.MouseDown(true).Focus);
}

} // namespace
