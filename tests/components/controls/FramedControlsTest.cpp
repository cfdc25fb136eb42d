// Colour helpers, bevel painting, buttons, static text and group box.
#include "ControlsTestUtil.h"
#include <QApplication>
#include <QMouseEvent>
#include <QelButton.h>
#include <QelFramedWindow.h>
#include <QelGroupBox.h>
#include <QelStaticText.h>
#include <functional>
#include <gtest/gtest.h>
#include <limits>
#include <ostream>

using platform::TColor;

namespace {

struct ColourCase {
    const char* what;
    TColor got;
    TColor want;
};

void PrintTo(const ColourCase& c, std::ostream* os) { *os << c.what; }

class ColourVector : public ::testing::TestWithParam<ColourCase> {};

TEST_P(ColourVector, HasKnownValue)
{
    EXPECT_EQ(GetParam().got, GetParam().want) << std::hex << GetParam().got;
}

using C = TQelCustomControl;
INSTANTIATE_TEST_SUITE_P(Table, ColourVector, ::testing::Values(
    ColourCase{"ponderated 808080 x 3/2", C::PonderatedColor(0x808080, 3, 2), 0xC0C0C0},
    ColourCase{"ponderated 808080 x 1/2", C::PonderatedColor(0x808080, 1, 2), 0x404040},
    ColourCase{"ponderated C0C0C0 x 3/2 saturates", C::PonderatedColor(0xC0C0C0, 3, 2), 0xFFFFFF},
    ColourCase{"ponderated 808080 x 15/9", C::PonderatedColor(0x808080, 15, 9), 0xD5D5D5},
    ColourCase{"ponderated 808080 x 3/9", C::PonderatedColor(0x808080, 3, 9), 0x2A2A2A},
    ColourCase{"ponderated negative factor gives 255", C::PonderatedColor(0x000010, -1, 1), 0x0000FF},
    ColourCase{"ponderated n = 0 keeps the colour", C::PonderatedColor(0x123456, 5, 0), 0x123456},
    ColourCase{"interpolated half way black to red", C::InterpolatedColor(0x000000, 0x0000FF, 2, 1), 0x00007F},
    ColourCase{"interpolated i = 0 is Color1", C::InterpolatedColor(0x00FF00, 0x0000FF, 50, 0), 0x00FF00},
    ColourCase{"interpolated i = n is Color2", C::InterpolatedColor(0x00FF00, 0x0000FF, 50, 50), 0x0000FF},
    ColourCase{"interpolated truncates toward zero", C::InterpolatedColor(0x00FFFF, 0x0000FF, 50, 25), 0x0080FF},
    ColourCase{"interpolated past the end gives 255", C::InterpolatedColor(0x0000FF, 0x000000, 1, 2), 0x0000FF},
    ColourCase{"interpolated n = 0 stays at Color1", C::InterpolatedColor(0x00FF00, 0x0000FF, 0, 0), 0x00FF00},
    ColourCase{"interpolated n = 0, i = 1", C::InterpolatedColor(0x00FF00, 0x0000FF, 0, 1), 0x00FF00},
    ColourCase{"huge factors do not overflow",
               C::PonderatedColor(0x808080, int64_t(1) << 62, int64_t(1) << 62), 0x808080}));

TEST(ColourHelpers, SystemColoursAreResolvedBeforeBlending)
{
    const TColor face = platform::ColorToRGB(platform::clBtnFace);
    EXPECT_EQ(C::PonderatedColor(platform::clBtnFace, 1, 2), C::PonderatedColor(face, 1, 2));
    EXPECT_EQ(C::PonderatedColor(platform::clBtnFace, 1, 2) >> 24, 0u) << "an explicit colour comes out";
    EXPECT_EQ(C::InterpolatedColor(platform::clBtnFace, 0x000000, 2, 1), C::InterpolatedColor(face, 0x000000, 2, 1));
    EXPECT_EQ(C::InterpolatedColor(0x000000, platform::clWindowText, 1, 1), platform::ColorToRGB(platform::clWindowText));
}

// ---- bevel ---------------------------------------------------------------------------------------

TEST(FramedWindow, ConstructorValues)
{
    TQelFramedWindow w;
    EXPECT_EQ(w.Color(), 0x808080u);
    EXPECT_EQ(w.Background(), 0xFFFFFFu);
    EXPECT_EQ(w.FrameStyle(), fsRaised);
    EXPECT_EQ(w.FrameWidth(), 3);
    EXPECT_FALSE(w.Transparent());
    EXPECT_EQ(w.size(), QSize(80, 30));
    EXPECT_TRUE(w.testAttribute(Qt::WA_OpaquePaintEvent)) << "the background is never erased first";
}

TEST(FramedWindow, RaisedBevelOfWidthThree)
{
    TQelFramedWindow w;
    w.SetBackground(0x0000FF);
    const QImage img = renderOver(w);
    // Rings k = 0..2: light factors 15/9, 13/9, 11/9 up-left; dark 3/9, 5/9, 7/9 down-right.
    const TColor light[] = {0xD5D5D5, 0xB8B8B8, 0x9C9C9C};
    const TColor dark[] = {0x2A2A2A, 0x474747, 0x636363};
    for (int k = 0; k < 3; ++k) {
        EXPECT_EQ(px(img, k, 15), light[k]) << "left, ring " << k;
        EXPECT_EQ(px(img, 40, k), light[k]) << "top, ring " << k;
        EXPECT_EQ(px(img, 79 - k, 15), dark[k]) << "right, ring " << k;
        EXPECT_EQ(px(img, 40, 29 - k), dark[k]) << "bottom, ring " << k;
    }
    EXPECT_EQ(px(img, 0, 0), light[0]);
    EXPECT_EQ(px(img, 79, 0), dark[0]) << "the top line leaves out its end pixel";
    EXPECT_EQ(px(img, 0, 28), light[0]);
    EXPECT_EQ(px(img, 0, 29), dark[0]) << "the left line starts one above the bottom row";
    EXPECT_EQ(px(img, 3, 3), 0x0000FFu);
    EXPECT_EQ(px(img, 76, 26), 0x0000FFu);
    EXPECT_EQ(w.Interior(), (platform::TRect{3, 3, 77, 27}));
}

TEST(FramedWindow, LoweredBevelSwapsThePens)
{
    TQelFramedWindow w;
    w.SetFrameWidth(1);
    w.SetFrameStyle(fsLowered);
    const QImage img = renderOver(w);
    EXPECT_EQ(px(img, 0, 15), 0x404040u);
    EXPECT_EQ(px(img, 40, 0), 0x404040u);
    EXPECT_EQ(px(img, 79, 15), 0xC0C0C0u);
    EXPECT_EQ(px(img, 40, 29), 0xC0C0C0u);
    EXPECT_EQ(px(img, 1, 1), 0xFFFFFFu);
}

TEST(FramedWindow, NoBevelFillsEverythingAndTransparentLeavesTheInside)
{
    TQelFramedWindow w;
    w.SetFrameWidth(0);
    w.SetBackground(0x00FF00);
    QImage img = renderOver(w);
    EXPECT_EQ(px(img, 0, 0), 0x00FF00u);
    EXPECT_EQ(px(img, 79, 29), 0x00FF00u);

    w.SetFrameWidth(3);
    w.SetTransparent(true);
    img = renderOver(w, qRgb(9, 8, 7));
    EXPECT_EQ(px(img, 40, 15), platform::RGB(9, 8, 7));
    EXPECT_EQ(px(img, 0, 15), 0xD5D5D5u);
}

TEST(FramedWindow, HugeFrameWidthPaintsInBoundedTime)
{
    TQelFramedWindow w;
    w.SetFrameWidth(std::numeric_limits<int32_t>::max());
    const QImage img = renderOver(w);
    EXPECT_NE(px(img, 0, 15), platform::RGB(1, 2, 3));
    EXPECT_TRUE(w.Interior().IsEmpty());
}

// ---- repaint on change ---------------------------------------------------------------------------

class PaintCounter : public QObject {
public:
    int paints = 0;
    bool eventFilter(QObject*, QEvent* e) override
    {
        paints += e->type() == QEvent::Paint;
        return false;
    }
};

struct SetterCase {
    const char* what;
    std::function<void(TQelButton&)> call;
    bool repaints;
};
void PrintTo(const SetterCase& c, std::ostream* os) { *os << c.what; }

class RepaintOnChange : public ::testing::TestWithParam<SetterCase> {};

TEST_P(RepaintOnChange, OnlyAChangeRepaints)
{
    TQelButton b;
    b.show();
    QApplication::processEvents();  // the first exposure paints; count only what follows
    PaintCounter counter;
    b.installEventFilter(&counter);
    GetParam().call(b);
    EXPECT_EQ(counter.paints > 0, GetParam().repaints);
}

INSTANTIATE_TEST_SUITE_P(Table, RepaintOnChange, ::testing::Values(
    SetterCase{"background changed", [](TQelButton& b) { b.SetBackground(0x123456); }, true},
    SetterCase{"background equal", [](TQelButton& b) { b.SetBackground(0xFFFFFF); }, false},
    SetterCase{"frame width equal", [](TQelButton& b) { b.SetFrameWidth(3); }, false},
    SetterCase{"frame width changed", [](TQelButton& b) { b.SetFrameWidth(4); }, true},
    SetterCase{"frame style changed", [](TQelButton& b) { b.SetFrameStyle(fsLowered); }, true},
    SetterCase{"button style equal", [](TQelButton& b) { b.SetButtonStyle(bsPushButton); }, false},
    SetterCase{"caption equal still repaints", [](TQelButton& b) { b.SetText("Button"); }, true},
    SetterCase{"check on a push button", [](TQelButton& b) { b.SetCheck(true); }, false},
    SetterCase{"disabling", [](TQelButton& b) { b.setEnabled(false); }, true}));

// ---- button ----------------------------------------------------------------------------------------

void mouse(QWidget& w, QEvent::Type type, QPoint p, Qt::MouseButtons held)
{
    QMouseEvent e(type, QPointF(p), w.mapToGlobal(QPointF(p)), Qt::LeftButton, held, Qt::NoModifier);
    if (type == QEvent::MouseMove) {
        QMouseEvent m(type, QPointF(p), w.mapToGlobal(QPointF(p)), Qt::NoButton, held, Qt::NoModifier);
        QApplication::sendEvent(&w, &m);
        return;
    }
    QApplication::sendEvent(&w, &e);
}
void press(QWidget& w, QPoint p) { mouse(w, QEvent::MouseButtonPress, p, Qt::LeftButton); }
void release(QWidget& w, QPoint p) { mouse(w, QEvent::MouseButtonRelease, p, Qt::NoButton); }
void drag(QWidget& w, QPoint p) { mouse(w, QEvent::MouseMove, p, Qt::LeftButton); }

struct ButtonFixture : ::testing::Test {
    TQelButton button;
    int clicks = 0;
    bool checkedInClick = false;
    void SetUp() override
    {
        button.OnClick = [this](QObject* sender) {
            EXPECT_EQ(sender, &button);
            ++clicks;
            checkedInClick = button.Checked();
        };
    }
};

TEST_F(ButtonFixture, ConstructorValues)
{
    EXPECT_EQ(button.Caption(), QString("Button"));
    EXPECT_EQ(button.size(), QSize(100, 30));
    EXPECT_EQ(button.ButtonStyle(), bsPushButton);
    EXPECT_FALSE(button.Checked());
    EXPECT_FALSE(button.FontAutoSize());
}

TEST_F(ButtonFixture, PushClickLowersWhileHeldAndFiresOnRelease)
{
    press(button, {50, 15});
    EXPECT_EQ(button.FrameStyle(), fsLowered);
    EXPECT_TRUE(button.Pressed());
    EXPECT_EQ(clicks, 0);
    release(button, {50, 15});
    EXPECT_EQ(button.FrameStyle(), fsRaised);
    EXPECT_EQ(clicks, 1);
}

TEST_F(ButtonFixture, PushDraggedOutAndReleasedOutsideFiresNothing)
{
    press(button, {50, 15});
    drag(button, {150, 15});
    EXPECT_EQ(button.FrameStyle(), fsRaised);
    release(button, {150, 15});
    EXPECT_EQ(button.FrameStyle(), fsRaised);
    EXPECT_EQ(clicks, 0);
}

TEST_F(ButtonFixture, PressOnTheOutermostPixelDoesNothing)
{
    press(button, {0, 15});
    release(button, {0, 15});
    press(button, {50, 0});
    release(button, {50, 0});
    EXPECT_EQ(button.FrameStyle(), fsRaised);
    EXPECT_EQ(clicks, 0);
}

TEST_F(ButtonFixture, DisabledButtonIgnoresTheMouse)
{
    button.setEnabled(false);
    press(button, {50, 15});
    release(button, {50, 15});
    EXPECT_EQ(button.FrameStyle(), fsRaised);
    EXPECT_EQ(clicks, 0);
}

TEST_F(ButtonFixture, DoubleClickCountsAsSecondPress)
{
    button.SetButtonStyle(bsCheckButton2);
    press(button, {50, 15});
    release(button, {50, 15});
    mouse(button, QEvent::MouseButtonDblClick, {50, 15}, Qt::LeftButton);
    release(button, {50, 15});
    EXPECT_EQ(clicks, 2);
    EXPECT_FALSE(button.Checked());
    EXPECT_FALSE(checkedInClick) << "OnClick sees the new state";
}

TEST_F(ButtonFixture, SetCheckLowersWithoutClick)
{
    button.SetCheck(true);
    EXPECT_FALSE(button.Checked()) << "a push button has no checked state";
    button.SetButtonStyle(bsCheckButton);
    button.SetCheck(true);
    EXPECT_TRUE(button.Checked());
    EXPECT_EQ(button.FrameStyle(), fsLowered);
    EXPECT_EQ(clicks, 0);
}

TEST_F(ButtonFixture, CheckedRadioButtonIgnoresClicks)
{
    button.SetButtonStyle(bsRadioButton);
    press(button, {50, 15});
    EXPECT_EQ(clicks, 1);
    EXPECT_TRUE(checkedInClick);
    release(button, {50, 15});
    press(button, {50, 15});
    release(button, {50, 15});
    EXPECT_EQ(clicks, 1);
    EXPECT_TRUE(button.Checked());
}

// Fill of the interior, read at a corner away from the caption.
struct ShadeCase {
    const char* what;
    TQelButtonStyle style;
    bool checked, pressedDown, enabled;
    int num, den;  // expected PonderatedColor(0x808080, num, den)
};
void PrintTo(const ShadeCase& c, std::ostream* os) { *os << c.what; }

class ButtonShade : public ::testing::TestWithParam<ShadeCase> {};

TEST_P(ButtonShade, InteriorFill)
{
    const ShadeCase& c = GetParam();
    TQelButton b;
    b.SetButtonStyle(c.style);
    b.SetCheck(c.checked);
    if (c.pressedDown)
        press(b, {50, 15});
    b.setEnabled(c.enabled);
    const QImage img = renderOver(b);
    EXPECT_EQ(px(img, 4, 4), TQelCustomControl::PonderatedColor(0x808080, c.num, c.den));
}

INSTANTIATE_TEST_SUITE_P(Table, ButtonShade, ::testing::Values(
    ShadeCase{"push up", bsPushButton, false, false, true, 1, 1},
    ShadeCase{"push held", bsPushButton, false, true, true, 11, 7},
    ShadeCase{"check unchecked held stays plain", bsCheckButton, false, true, true, 1, 1},
    ShadeCase{"check checked", bsCheckButton, true, false, true, 10, 7},
    ShadeCase{"check checked held", bsCheckButton, true, true, true, 11, 7},
    ShadeCase{"check2 unchecked held lights", bsCheckButton2, false, true, true, 10, 7},
    ShadeCase{"radio checked", bsRadioButton, true, false, true, 10, 7},
    ShadeCase{"disabled", bsCheckButton, true, false, false, 6, 7}));

TEST(FontAutoSize, FollowsTheHeight)
{
    // Size changes reach a widget once it is shown.
    TQelButton b;
    b.show();
    b.SetFontAutoSize(true);
    b.resize(100, 31);
    b.resize(100, 30);
    EXPECT_EQ(b.Font().Height, -20);
    b.resize(100, 60);
    EXPECT_EQ(b.Font().Height, -45);  // (6 - 60) * 5 / 6

    TQelStaticText t;
    t.show();
    t.SetFontAutoSize(true);
    t.resize(100, 31);
    t.resize(100, 30);
    EXPECT_EQ(t.Font().Height, -21);  // frame width 2: (4 - 30) * 5 / 6 = -21.7
}

TEST(StaticText, ConstructorValuesAndParentColour)
{
    TQelGroupBox parent;
    parent.SetColor(0x336699);
    TQelStaticText t(&parent);
    EXPECT_EQ(t.Caption(), QString("StaticText"));
    EXPECT_EQ(t.FrameWidth(), 2);
    EXPECT_EQ(t.FrameStyle(), fsRaised);
    EXPECT_EQ(t.Alignment(), taLeftJustify);
    EXPECT_TRUE(t.ParentColor());
    EXPECT_EQ(t.Color(), 0x336699u);
    t.SetText("");
    const QImage img = renderOver(t);
    EXPECT_EQ(px(img, 0, 15), TQelCustomControl::PonderatedColor(0x336699, 8, 4));  // F = 2: (4 + 4) / 4
    EXPECT_EQ(px(img, 50, 15), 0xFFFFFFu);
}

TEST(GroupBox, EngravedFrame)
{
    TQelGroupBox g;
    EXPECT_EQ(g.size(), QSize(300, 100));
    EXPECT_EQ(g.FrameColor(), 0x606060u);
    EXPECT_EQ(g.FrameWidth(), 3);
    EXPECT_EQ(g.CornerWidth(), 10);
    g.SetColor(0xC0C0C0);
    const QImage img = renderOver(g);
    EXPECT_EQ(px(img, 150, 50), 0xC0C0C0u);
    EXPECT_EQ(px(img, 1, 50), 0x202020u) << "dark outline up-left";
    EXPECT_EQ(px(img, 298, 50), 0x606060u) << "light outline down-right";
    EXPECT_EQ(px(img, 150, 1), 0x202020u);
    EXPECT_EQ(px(img, 150, 98), 0x606060u);
}

} // namespace
