// Value edit: formatting by unit and resolution, the keystroke table, selection and cursor rules,
// commits, and what the painted control shows.
#include "ControlsTestUtil.h"
#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QVBoxLayout>
#include <QelValueEdit.h>
#include <gtest/gtest.h>
#include <platform/ui/Locale.h>

namespace {

// Types the characters; '\r' is Enter, '\x1b' Escape, '\b' Backspace, '\x7f' Delete.
void type(TQelValueEdit& e, const std::string& keys)
{
    for (char k : keys) {
        switch (k) {
        case '\r': e.KeyDown(Qt::Key_Return, false); break;
        case '\x1b': e.KeyDown(Qt::Key_Escape, false); break;
        case '\b': e.KeyDown(Qt::Key_Backspace, false); break;
        case '\x7f': e.KeyDown(Qt::Key_Delete, false); break;
        default: e.KeyPress(QChar::fromLatin1(k)); break;
        }
    }
}

TEST(ValueEdit, ConstructorValues)
{
    TQelValueEdit e;
    EXPECT_EQ(e.Value(), 0.0);
    EXPECT_EQ(e.Minimum(), 0.0);
    EXPECT_EQ(e.Maximum(), 100.0);
    EXPECT_EQ(e.FixedPoint(), fpNone);
    EXPECT_TRUE(e.ShowUnits());
    EXPECT_TRUE(e.AllowDecimals());
    EXPECT_EQ(e.MaxLength(), 10);
    EXPECT_FALSE(e.ReadOnly());
    EXPECT_EQ(e.Alignment(), taLeftJustify);
    EXPECT_TRUE(e.AutoSelect());
    EXPECT_TRUE(e.AutoSize());
    EXPECT_FALSE(e.FontAutoSize());
    EXPECT_TRUE(e.HideSelection());
    EXPECT_EQ(e.Background(), 0xFFFFFFu);
    EXPECT_EQ(e.width(), 100);
    EXPECT_EQ(e.height(), 30);
    EXPECT_EQ(e.GetText(), "0 Hz");
}

TEST(ValueEdit, ValuesChooseTheirUnitAndResolution)
{
    const struct {
        double value;
        TQelFixedPoint fp;
        bool units;
        const char* shown;
    } cases[] = {
        {3000, fpNone, true, "3000 Hz"},
        {3001, fpNone, true, "3.001 kHz"},
        {3000000, fpNone, true, "3000 kHz"},
        {3000001, fpNone, true, "3.000001 MHz"},
        {145500000, fpNone, true, "145.5 MHz"},
        {145500000, fp1Hz, true, "145.500000 MHz"},
        {145500000, fp10Hz, true, "145.50000 MHz"},
        {145500000, fp1kHz, true, "145.500 MHz"},
        {2400000000.0, fpNone, true, "2400 MHz"},
        {5e9, fpNone, true, "5 GHz"},
        {5e12, fpNone, true, "5 THz"},
        {-7500, fpNone, true, "-7.5 kHz"},
        {500, fp10Hz, true, "500 Hz"},  // a count below 0: no decimals
        {500, fp1Hz, true, "500 Hz"},
        {7500, fp10Hz, true, "7.50 kHz"},
        {7500, fp1Hz, true, "7.500 kHz"},
        {145500000, fpNone, false, "145500000"},
        {5e12, fpNone, false, "5000000000000"},
    };
    for (const auto& c : cases) {
        TQelValueEdit e;
        e.SetMaximum(0);
        e.SetFixedPoint(c.fp);
        e.SetShowUnits(c.units);
        e.SetValue(c.value);
        EXPECT_EQ(e.GetText().toStdString(), c.shown) << c.value;
        EXPECT_EQ(e.Value(), c.value);
    }
}

TEST(ValueEdit, KeystrokeTable)
{
    const struct {
        double min, max, start;
        bool selectAll;
        const char* keys;
        double value;
        const char* shown;
    } cases[] = {
        {0, 0, 0, true, "145.5M\r", 145500000, "145.5 MHz"},
        {0, 0, 0, true, "145.5m\r", 145500000, "145.5 MHz"},
        {0, 0, 5000, true, "2500\r", 2500000, "2500 kHz"},  // the unit shown stays the unit typed in
        {0, 100, 0, true, "500\r", 100, "100 Hz"},          // clamped to Maximum
        {0, 0, 0, true, "-12K\r", -12000, "-12 kHz"},
        {0, 0, 0, true, "1.2.3\r", 1.23, "1.23 Hz"},        // the second point is refused
        {0, 0, 0, true, "7G\r", 7e9, "7 GHz"},
        {0, 0, 0, true, "7T\r", 7e12, "7 THz"},
        {0, 0, 5000, true, "3H\r", 3, "3 Hz"},
        {0, 0, 42, true, "99\x1b", 42, "42 Hz"},           // Escape throws the typing away
        {0, 0, 42, false, "\b\b\r", 0, "0 Hz"},             // an empty text reads as 0
        {0, 0, 42, true, "ab-\r", 0, "0 Hz"},               // letters not taken; "-" alone is no number
        {0, 0, 0, true, "12-3\r", 12, "12 Hz"},             // the leading number counts
        {0, 0, 1234, false, "\x7f\r", 1234, "1234 Hz"},     // Delete at the end: nothing follows
    };
    for (const auto& c : cases) {
        TQelValueEdit e;
        e.SetMinimum(c.min);
        e.SetMaximum(c.max);
        e.SetValue(c.start);
        if (c.selectAll)
            e.SelectAll();
        else
            e.SetSelStart(int(e.NumberText().size()));
        type(e, c.keys);
        EXPECT_EQ(e.Value(), c.value) << c.keys;
        EXPECT_EQ(e.GetText().toStdString(), c.shown) << c.keys;
    }
}

TEST(ValueEdit, MaxLengthRefusesCharactersButMovesTheCursor)
{
    TQelValueEdit e;
    type(e, "\x7f");
    e.SelectAll();
    type(e, "1234567890");
    EXPECT_EQ(e.NumberText(), "1234567890");
    e.SetSelStart(5);
    type(e, "9");
    EXPECT_EQ(e.NumberText(), "1234567890");
    EXPECT_EQ(e.CursorPosition(), 6);
    e.SetSelStart(10);
    type(e, "9.");
    EXPECT_EQ(e.CursorPosition(), 10);
    EXPECT_EQ(e.NumberText(), "1234567890");
    e.SetMaxLength(4);  // cuts the text
    EXPECT_EQ(e.NumberText(), "1234");
    EXPECT_EQ(e.CursorPosition(), 4);
}

TEST(ValueEdit, DecimalsCanBeTurnedOffAndFollowTheLocale)
{
    platform::LocaleInfo comma;
    comma.DecimalSeparator = ',';
    platform::SetLocale(&comma);
    {
        TQelValueEdit e;
        e.SetMaximum(0);
        e.SetValue(145500000);
        EXPECT_EQ(e.GetText(), "145,5 MHz");
        e.SelectAll();
        type(e, "1,5k\r");
        EXPECT_EQ(e.Value(), 1500);
        e.SelectAll();
        type(e, "1.5k\r");  // the point is taken too
        EXPECT_EQ(e.Value(), 1500);
    }
    platform::SetLocale(nullptr);
    TQelValueEdit e;
    e.SetMaximum(0);
    e.SetAllowDecimals(false);
    e.SelectAll();
    type(e, "1.5\r");
    EXPECT_EQ(e.Value(), 15);
}

TEST(ValueEdit, SelectionAndCursorKeys)
{
    TQelValueEdit e;
    e.SetValueText("12345");
    e.SetSelStart(1);
    e.SetSelLength(2);
    EXPECT_EQ(e.GetSelText(), "23");
    EXPECT_EQ(e.GetSelStart(), 1);
    e.SetSelLength(100);
    EXPECT_EQ(e.GetSelText(), "2345");

    const struct {
        int key;
        bool shift;
        int cursor, selStart, selEnd;
    } steps[] = {
        {Qt::Key_Home, false, 0, 0, 0},  {Qt::Key_Right, true, 1, 0, 1}, {Qt::Key_Right, true, 2, 0, 2},
        {Qt::Key_End, true, 5, 0, 5},    {Qt::Key_Left, false, 4, 4, 4}, {Qt::Key_Left, true, 3, 3, 4},
        {Qt::Key_Home, true, 0, 0, 4},   {Qt::Key_Left, false, 0, 0, 0}, {Qt::Key_Right, false, 1, 1, 1},
        {Qt::Key_End, false, 5, 5, 5},   {Qt::Key_Right, false, 5, 5, 5},
    };
    e.SetSelStart(2);
    for (const auto& s : steps) {
        e.KeyDown(s.key, s.shift);
        EXPECT_EQ(e.CursorPosition(), s.cursor) << s.key;
        EXPECT_EQ(e.SelectionStart(), s.selStart) << s.key;
        EXPECT_EQ(e.SelectionEnd(), s.selEnd) << s.key;
    }
    // Delete and Backspace remove the selection, else one character.
    e.SetSelStart(1);
    e.SetSelLength(2);
    type(e, "\x7f");
    EXPECT_EQ(e.NumberText(), "145");
    EXPECT_EQ(e.CursorPosition(), 1);
    type(e, "\b");
    EXPECT_EQ(e.NumberText(), "45");
    type(e, "\b");
    EXPECT_EQ(e.NumberText(), "45");
    type(e, "\x7f");
    EXPECT_EQ(e.NumberText(), "5");
}

TEST(ValueEdit, ShorterTextKeepsCursorAndSelectionInside)
{
    TQelValueEdit e;
    e.SetMaximum(0);
    e.SetValue(123456789);
    e.SetShowUnits(false);
    e.SetSelStart(9);
    e.SetValue(7);  // "7": cursor 9 would point past the end
    EXPECT_EQ(e.CursorPosition(), 1);
    type(e, "\b");
    EXPECT_EQ(e.NumberText(), "");
    e.SetValueText("123456");
    e.SetSelStart(2);
    e.SetSelLength(4);
    e.SetValueText("12");
    EXPECT_EQ(e.SelectionStart(), 2);
    EXPECT_EQ(e.SelectionEnd(), 2);
    type(e, "\b\b\b");
    EXPECT_EQ(e.NumberText(), "");
}

TEST(ValueEdit, CommitsFireOnChangeAndReadOnlyIgnoresKeys)
{
    TQelValueEdit e;
    int changes = 0;
    e.OnChange = [&](QObject* sender) {
        EXPECT_EQ(sender, &e);
        ++changes;
    };
    type(e, "\r\r");
    EXPECT_EQ(changes, 2);
    e.SetReadOnly(true);
    e.SelectAll();
    EXPECT_FALSE(e.KeyPress('5'));
    EXPECT_FALSE(e.KeyDown(Qt::Key_Return, false));
    EXPECT_EQ(changes, 2);
    EXPECT_EQ(e.NumberText(), "0");
    // Other characters go to the window system.
    e.SetReadOnly(false);
    EXPECT_FALSE(e.KeyPress('x'));
    EXPECT_TRUE(e.KeyPress('k'));
    EXPECT_EQ(e.UnitIndex(), 1);
}

TEST(ValueEdit, LimitsApplyWhenEitherIsNotZero)
{
    TQelValueEdit e;
    e.SetValue(50);
    e.SetMaximum(20);  // below the value: clamped at once
    EXPECT_EQ(e.Value(), 20);
    e.SetMinimum(30);  // above it
    EXPECT_EQ(e.Value(), 30);
    e.SetMinimum(0);
    e.SetMaximum(0);
    e.SetValue(-5e9);
    EXPECT_EQ(e.Value(), -5e9);
}

TEST(ValueEdit, KeyEventsAndFocusCommit)
{
    QWidget form;
    form.resize(220, 80);
    auto* e = new TQelValueEdit(&form);
    auto* other = new TQelValueEdit(&form);
    other->move(110, 0);
    e->SetMaximum(0);
    form.show();
    e->setFocus(Qt::TabFocusReason);
    QApplication::processEvents();
    ASSERT_TRUE(e->hasFocus());
    EXPECT_EQ(e->SelectionEnd(), int(e->NumberText().size()));  // entry selects everything
    for (auto k : {Qt::Key_4, Qt::Key_3, Qt::Key_3}) {
        QKeyEvent press(QEvent::KeyPress, k, Qt::NoModifier, QString(QChar('0' + (k - Qt::Key_0))));
        QApplication::sendEvent(e, &press);
    }
    QKeyEvent k(QEvent::KeyPress, Qt::Key_K, Qt::NoModifier, "k");
    QApplication::sendEvent(e, &k);
    EXPECT_EQ(e->Value(), 0);  // not committed yet; the unit shown is the one typed
    EXPECT_EQ(e->GetText(), "433 kHz");
    other->setFocus(Qt::TabFocusReason);
    QApplication::processEvents();
    EXPECT_EQ(e->Value(), 433000);  // leaving commits
    EXPECT_EQ(e->GetText(), "433 kHz");
}

TEST(ValueEdit, ClickTakesFocusAndSelectsThenPlacesTheCursor)
{
    QWidget form;
    form.resize(220, 80);
    auto* first = new TQelValueEdit(&form);
    auto* e = new TQelValueEdit(&form);
    e->move(110, 0);
    e->SetMaximum(0);
    e->SetValue(12345);
    e->SetShowUnits(false);
    form.show();
    first->setFocus();
    QApplication::processEvents();
    ASSERT_FALSE(e->hasFocus());
    auto click = [&](int x) {
        QMouseEvent p(QEvent::MouseButtonPress, QPointF(x, 10), QPointF(x, 10), Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(e, &p);
        QMouseEvent r(QEvent::MouseButtonRelease, QPointF(x, 10), QPointF(x, 10), Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(e, &r);
    };
    click(4);
    EXPECT_TRUE(e->hasFocus());
    EXPECT_EQ(e->GetSelText(), "12345");
    click(0);
    EXPECT_EQ(e->CursorPosition(), 0);
    EXPECT_EQ(e->GetSelText(), "");
    // NearestChar finds every boundary from its own x.
    for (int i = 0; i <= 5; ++i) {
        platform::TBitmap b(1, 1);
        b.Canvas().Font = e->Font();
        const int x = b.Canvas().TextWidth(e->NumberText().left(i)) + 2;
        EXPECT_EQ(e->NearestChar(x), i) << i;
    }
    EXPECT_EQ(e->NearestChar(1000), 5);
    EXPECT_EQ(e->NearestChar(-3), 0);
}

TEST(ValueEdit, PaintsTextSelectionAndNothingWhenDisabled)
{
    QWidget form;
    form.resize(220, 60);
    auto* first = new TQelValueEdit(&form);
    auto* e = new TQelValueEdit(&form);
    e->move(110, 0);
    e->SetSelBkColor(0x800000);
    e->SetSelTextColor(0xFFFFFF);
    e->SetHideSelection(false);
    e->SetValue(88);
    e->SetSelStart(0);
    e->SetSelLength(2);
    form.show();
    first->setFocus();
    QApplication::processEvents();
    ASSERT_FALSE(e->hasFocus());
    auto count = [&](const QImage& img, platform::TColor c) {
        int n = 0;
        for (int y = 0; y < img.height(); ++y)
            for (int x = 0; x < img.width(); ++x)
                n += px(img, x, y) == c;
        return n;
    };
    // Dark pixels inside the frame: the text.
    auto dark = [&](const QImage& img) {
        int n = 0;
        for (int y = 3; y < img.height() - 3; ++y)
            for (int x = 3; x < img.width() - 3; ++x) {
                const platform::TColor c = px(img, x, y);
                n += platform::GetRValue(c) + platform::GetGValue(c) + platform::GetBValue(c) < 300;
            }
        return n;
    };
    QImage img = renderOver(*e);
    EXPECT_GT(count(img, 0x800000), 20) << "selection background";
    e->SetHideSelection(true);  // unfocused: hidden
    img = renderOver(*e);
    EXPECT_EQ(count(img, 0x800000), 0);
    EXPECT_GT(dark(img), 10) << "text";
    e->setEnabled(false);
    img = renderOver(*e);
    EXPECT_EQ(dark(img), 0);
}

TEST(ValueEdit, TheFocusedControlShowsItsCaretAtTheCursor)
{
    QWidget form;
    form.resize(220, 60);
    auto* e = new TQelValueEdit(&form);
    e->SetMaximum(0);
    e->SetValue(1234);
    e->SetAutoSelect(false);
    form.show();
    e->setFocus();
    QApplication::processEvents();
    ASSERT_TRUE(e->hasFocus());
    e->SetSelStart(0);
    const int top = e->TextTop() + e->FrameWidth();
    auto caretColumn = [&](const QImage& img, int x) {
        int dark = 0;
        for (int y = top; y < e->height() - top; ++y)
            dark += px(img, x, y) == 0x000000u;
        return dark;
    };
    // At the start the caret stands left of the text, on white: a black bar as high as the caret.
    QImage img = renderOver(*e);
    const int x0 = e->GetCursorPos();
    EXPECT_EQ(x0, 3);
    EXPECT_EQ(caretColumn(img, x0), e->height() - 2 * top);
    EXPECT_EQ(caretColumn(img, x0 + 1), e->height() - 2 * top);
    // At the end it inverts what lies under it: compare with the picture of the unfocused control.
    e->KeyDown(Qt::Key_End, false);
    img = renderOver(*e);
    const int x1 = e->GetCursorPos();
    EXPECT_GT(x1, x0 + 10);
    EXPECT_LT(caretColumn(img, x0), 3) << "the old place is clear again";
    auto* other = new TQelValueEdit(&form);
    other->move(0, 30);
    other->show();
    other->setFocus();
    QApplication::processEvents();
    ASSERT_FALSE(e->hasFocus());
    const QImage plain = renderOver(*e);
    int inverted = 0;
    for (int y = top; y < e->height() - top; ++y)
        inverted += px(img, x1, y) == (px(plain, x1, y) ^ 0xFFFFFFu);

    EXPECT_EQ(inverted, e->height() - 2 * top);
}

// With AutoSize the height is the font's and nothing else may change it: not a resize, not a layout
// that has room to spare; without it the height is free again.
TEST(ValueEdit, AutoSizeLocksTheHeight)
{
    QWidget form;
    form.resize(200, 300);
    auto* lay = new QVBoxLayout(&form);
    auto* e = new TQelValueEdit(&form);
    lay->addWidget(e);
    form.show();
    QApplication::processEvents();
    EXPECT_EQ(e->height(), 30) << "a new edit keeps its height in a tall layout";
    platform::TFont f;
    f.Height = -16;
    e->SetFont(f);
    QApplication::processEvents();
    const int fitted = 2 * e->FrameWidth() + 16 + 4;
    EXPECT_EQ(e->height(), fitted);
    e->resize(100, 60);
    EXPECT_EQ(e->height(), fitted);
    form.resize(200, 400);
    QApplication::processEvents();
    EXPECT_EQ(e->height(), fitted);

    e->SetAutoSize(false);
    lay->removeWidget(e);
    e->resize(100, 60);
    EXPECT_EQ(e->height(), 60);
    e->SetAutoSize(true);
    EXPECT_EQ(e->height(), fitted);
    EXPECT_EQ(e->minimumHeight(), fitted);
    EXPECT_EQ(e->maximumHeight(), fitted);
}

TEST(ValueEdit, AutoSizeFollowsTheFont)
{
    TQelValueEdit e;
    platform::TFont f;
    f.Height = -16;
    e.SetFont(f);
    EXPECT_EQ(e.height(), 2 * e.FrameWidth() + 16 + 4);
    e.SetAutoSize(false);
    e.show();
    e.resize(100, 40);
    EXPECT_EQ(e.height(), 40);
    e.SetFontAutoSize(true);
    e.resize(100, 50);
    EXPECT_EQ(e.Font().Height, 2 * e.FrameWidth() - 50 + 4);
}

} // namespace
