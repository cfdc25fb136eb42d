// Level bar painting, redraw caching and teardown; track bar and rich edit.
#include "ControlsTestUtil.h"
#include <QApplication>
#include <QMouseEvent>
#include <QTextBlock>
#include <QelRichEdit.h>
#include <QelTrackBar.h>
#include <QelVUBar.h>
#include <gtest/gtest.h>
#include <memory>
#include <ostream>

using platform::TColor;

namespace {

constexpr TColor kBack = 0x404040;

// A bar with no frame, so the bitmap is the whole control.
std::unique_ptr<TQelVUBar> bar(TQelVUBarType type, int w, int h, int min, int max)
{
    auto b = std::make_unique<TQelVUBar>();
    b->SetFrameWidth(0);
    b->resize(w, h);
    b->SetColor(kBack);
    b->SetBarType(type);
    b->SetShowPeak(false);
    b->SetMax(max);
    b->SetMin(min);
    b->SetValueDecay(0);  // setters then place the envelopes exactly
    return b;
}

TEST(VUBar, ConstructorValues)
{
    TQelVUBar b;
    EXPECT_EQ(b.BarType(), vubLeft);
    EXPECT_EQ(b.Min(), 0);
    EXPECT_EQ(b.Max(), 100);
    EXPECT_EQ(b.ValueMax(), 80);
    EXPECT_EQ(b.PeakMax(), 80);
    EXPECT_TRUE(b.ShowPeak());
    EXPECT_TRUE(b.Transparent());
    EXPECT_EQ(b.ColorCenter(), 0x00FF00u);
    EXPECT_EQ(b.ColorMiddle(), 0x00FFFFu);
    EXPECT_EQ(b.ColorExtreme(), 0x0000FFu);
    EXPECT_EQ(b.ColorPeak(), 0xFF0000u);
    EXPECT_TRUE(b.RedrawNeeded());
}

TEST(VUBar, LeftGradientGreenYellowRed)
{
    auto b = bar(vubLeft, 101, 6, 0, 100);
    b->SetValueMax(100);
    QImage img = renderOver(*b);
    const struct { int x; TColor c; } cols[] = {
        {0, 0x00FF00}, {25, 0x00FF7F}, {50, 0x00FFFF}, {75, 0x0080FF}, {100, 0x0000FF}};
    for (auto [x, c] : cols) {
        EXPECT_EQ(px(img, x, 0), c) << "column " << x;
        EXPECT_EQ(px(img, x, 5), c) << "column " << x;
    }

    b->SetValueMax(50);
    img = renderOver(*b);
    EXPECT_EQ(px(img, 50, 3), 0x00FFFFu);
    EXPECT_EQ(px(img, 51, 3), kBack) << "beyond the level the bar shows its colour";
}

TEST(VUBar, VerticalFourZones)
{
    auto b = bar(vubVert, 4, 201, -100, 100);
    b->SetValueMax(100);
    b->SetValueMin(-100);
    QImage img = renderOver(*b);
    const struct { int y; TColor c; } rows[] = {
        {0, 0x0000FF}, {50, 0x00FFFF}, {100, 0x00FF00}, {150, 0x00FFFF}, {200, 0x0000FF}};
    for (auto [y, c] : rows)
        EXPECT_EQ(px(img, 2, y), c) << "row " << y;

    b->SetValueMax(50);
    b->SetValueMin(-50);
    img = renderOver(*b);
    EXPECT_EQ(px(img, 2, 49), kBack);
    EXPECT_EQ(px(img, 2, 50), 0x00FFFFu);
    EXPECT_EQ(px(img, 2, 150), 0x00FFFFu);
    EXPECT_EQ(px(img, 2, 151), kBack);
}

TEST(VUBar, PeakMarksAreTwoPixels)
{
    auto b = bar(vubLeft, 101, 6, 0, 100);
    b->SetShowPeak(true);
    b->SetValueMax(40);
    b->SetPeakMax(70);
    const QImage img = renderOver(*b);
    EXPECT_EQ(px(img, 69, 2), kBack);
    EXPECT_EQ(px(img, 70, 2), 0xFF0000u);
    EXPECT_EQ(px(img, 71, 2), 0xFF0000u);
    EXPECT_EQ(px(img, 72, 2), kBack);
    EXPECT_EQ(px(img, 40, 2), 0x00FF00u | (255 * 40 / 50));
}

// Ranges of 1 to 3 leave blends of zero steps; every layout must still paint.
struct TinyCase {
    TQelVUBarType type;
    int range;
};
void PrintTo(const TinyCase& c, std::ostream* os) { *os << "type " << c.type << " range " << c.range; }

class VUBarTinyRange : public ::testing::TestWithParam<TinyCase> {};

TEST_P(VUBarTinyRange, Paints)
{
    auto b = bar(GetParam().type, 12, 12, 0, GetParam().range);
    b->SetShowPeak(true);
    b->SetValueMax(GetParam().range);
    b->SetValueMin(0);
    const QImage img = renderOver(*b);
    int barPixels = 0;
    for (int y = 0; y < 12; ++y)
        for (int x = 0; x < 12; ++x)
            barPixels += px(img, x, y) != kBack;
    EXPECT_GT(barPixels, 0);
    EXPECT_FALSE(b->RedrawNeeded());
}

INSTANTIATE_TEST_SUITE_P(Table, VUBarTinyRange, ::testing::Values(
    TinyCase{vubLeft, 1}, TinyCase{vubRight, 1}, TinyCase{vubTop, 1}, TinyCase{vubBottom, 1},
    TinyCase{vubHorz, 1}, TinyCase{vubVert, 1}, TinyCase{vubHorz, 3}, TinyCase{vubVert, 2}));

TEST(VUBar, OnePixelInteriorStillPaints)
{
    TQelVUBar b;
    b.SetFrameWidth(2);
    b.resize(5, 20);
    b.SetShowPeak(false);
    b.SetValueMax(100);
    const QImage img = renderOver(b);
    EXPECT_EQ(b.Interior().Width(), 1);
    EXPECT_EQ(px(img, 2, 10), 0x00FF00u) << "the bitmap's first column, at the rest end";
}

TEST(VUBar, BitmapIsRebuiltOnlyWhenMarked)
{
    TQelVUBar b;
    b.show();
    renderOver(b);
    EXPECT_FALSE(b.RedrawNeeded());
    b.SetMax(100);
    b.SetColorPeak(0xFF0000);
    EXPECT_FALSE(b.RedrawNeeded()) << "equal values change nothing";
    b.SetColorPeak(0x00FF00);
    EXPECT_TRUE(b.RedrawNeeded());
    renderOver(b);
    b.resize(90, 30);
    EXPECT_TRUE(b.RedrawNeeded());
    renderOver(b);
    const int16_t samples[] = {50, 30, 60};
    b.ProcessBuffer(samples, 3, 1);
    EXPECT_TRUE(b.RedrawNeeded());
    EXPECT_EQ(b.ValueMax(), 60);
    EXPECT_EQ(b.PeakMax(), 60);
}

TEST(VUBar, ProcessBufferTakesOneChannelAndRefusesStepZero)
{
    TQelVUBar b;
    b.SetMin(-32768);
    b.SetMax(32767);
    b.SetValueDecay(0);
    const int16_t stereo[] = {100, -7, 200, -9, 300, -11};
    b.ProcessBuffer(stereo + 1, 5, 2);  // right channel
    EXPECT_EQ(b.ValueMax(), -11);
    EXPECT_EQ(b.ValueMin(), -11);
    renderOver(b);
    b.ProcessBuffer(stereo, 6, 0);
    EXPECT_EQ(b.ValueMax(), -11);
    EXPECT_FALSE(b.RedrawNeeded());
}

TEST(VUBar, ABufferThatMovesNoLevelLeavesTheBarAsItIs)
{
    TQelVUBar b;
    b.SetMin(-32768);
    b.SetMax(32767);
    b.SetValueDecay(0);
    b.SetPeakDecay(0);
    const int16_t steady[] = {-11, -11, -11};
    b.ProcessBuffer(steady, 3, 1);
    renderOver(b);
    ASSERT_FALSE(b.RedrawNeeded());
    b.ProcessBuffer(steady, 3, 1);
    EXPECT_FALSE(b.RedrawNeeded()) << "the same levels again";
    const int16_t louder[] = {-11, -11, 500};
    b.ProcessBuffer(louder, 3, 1);
    EXPECT_TRUE(b.RedrawNeeded());
    EXPECT_EQ(b.ValueMax(), 500);
}

// A widget that counts the custom events it receives.
class Receiver : public QWidget {
public:
    int got = 0;
    bool event(QEvent* e) override
    {
        got += e->type() == QEvent::User;
        return QWidget::event(e);
    }
};

TEST(VUBar, EventsPendingAtDestructionDoNotReachIt)
{
    Receiver other;
    auto* b = new TQelVUBar;
    int clicks = 0;
    b->OnClick = [&clicks](QObject*) { ++clicks; };
    const QPointF p(10, 10);
    QApplication::postEvent(b, new QMouseEvent(QEvent::MouseButtonPress, p, p, Qt::LeftButton, Qt::LeftButton, Qt::NoModifier));
    QApplication::postEvent(b, new QMouseEvent(QEvent::MouseButtonRelease, p, p, Qt::LeftButton, Qt::NoButton, Qt::NoModifier));
    QApplication::postEvent(&other, new QEvent(QEvent::User));
    delete b;
    EXPECT_EQ(clicks, 0);
    EXPECT_EQ(other.got, 1) << "the application's pending messages are processed on the way";
}

TEST(VUBar, ClickFiresOnClick)
{
    TQelVUBar b;
    int clicks = 0;
    b.OnClick = [&clicks](QObject*) { ++clicks; };
    const QPointF p(10, 10);
    QMouseEvent down(QEvent::MouseButtonPress, p, p, Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    QMouseEvent up(QEvent::MouseButtonRelease, p, p, Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(&b, &down);
    QApplication::sendEvent(&b, &up);
    EXPECT_EQ(clicks, 1);
}

// ---- track bar ---------------------------------------------------------------------------------

TEST(TrackBar, SelectionRangeOffByDefaultAndShownWhenOn)
{
    TQelTrackBar t;
    EXPECT_FALSE(t.SelRange());
    EXPECT_EQ(t.orientation(), Qt::Horizontal);
    t.resize(200, 30);
    t.setRange(0, 100);
    t.setValue(0);
    t.SetSelStart(30);
    t.SetSelEnd(70);
    const QImage off = renderOver(t);
    t.SetSelRange(true);
    EXPECT_TRUE(t.SelRange());
    const QImage on = renderOver(t);
    EXPECT_NE(off, on);
    t.SetSelRange(false);
    EXPECT_EQ(renderOver(t), off);
}

// ---- rich edit ---------------------------------------------------------------------------------

// The colour and weight of the character at position pos.
QTextCharFormat formatAt(TQelRichEdit& e, int pos)
{
    QTextCursor c(e.document());
    c.setPosition(pos + 1);
    return c.charFormat();
}

TEST(RichEdit, AppendStrLeavesDifferentlyColouredRuns)
{
    TQelRichEdit e;
    e.AppendStr("red", 0x0000FF, platform::fsBold);
    e.AppendStr("", 0x00FF00, 0);
    EXPECT_EQ(e.toPlainText(), QString("red")) << "an empty text changes nothing";
    e.AppendStr("blue", 0xFF0000, platform::fsItalic | platform::fsUnderline);
    EXPECT_EQ(e.toPlainText(), QString("redblue"));
    EXPECT_EQ(formatAt(e, 0).foreground().color(), QColor(255, 0, 0));
    EXPECT_EQ(formatAt(e, 0).fontWeight(), QFont::Bold);
    EXPECT_FALSE(formatAt(e, 0).fontItalic());
    EXPECT_EQ(formatAt(e, 3).foreground().color(), QColor(0, 0, 255));
    EXPECT_NE(formatAt(e, 3).fontWeight(), QFont::Bold);
    EXPECT_TRUE(formatAt(e, 3).fontItalic());
    EXPECT_TRUE(formatAt(e, 3).fontUnderline());
}

TEST(RichEdit, AppendTextTakesTheAttributesAtTheEnd)
{
    TQelRichEdit e;
    e.AppendStr("a", 0x0000FF, platform::fsStrikeOut);
    QTextCursor start(e.document());
    e.setTextCursor(start);  // the caret elsewhere must not matter
    e.AppendText("b\r\nc");
    EXPECT_EQ(e.toPlainText(), QString("ab\nc"));
    EXPECT_EQ(e.document()->blockCount(), 2);
    EXPECT_EQ(formatAt(e, 1).foreground().color(), QColor(255, 0, 0));
    EXPECT_TRUE(formatAt(e, 1).fontStrikeOut());
}

TEST(RichEdit, InsertTextReplacesTheSelectionAndCannotBeUndone)
{
    TQelRichEdit e;
    e.AppendText("hello world");
    QTextCursor c(e.document());
    c.setPosition(0);
    c.setPosition(5, QTextCursor::KeepAnchor);
    e.setTextCursor(c);
    e.InsertText("HELLO");
    EXPECT_EQ(e.toPlainText(), QString("HELLO world"));
    EXPECT_FALSE(e.document()->isUndoAvailable());
}

} // namespace
