// The frequency edit: how a value is bounded, rounded and shown, and what keystrokes do to it.
#include "FreqEdit.h"

#include "platform/ui/Locale.h"

#include <QApplication>
#include <QImage>

#include <gtest/gtest.h>

#include <string>

namespace {

struct Bounds {
    int32_t minimum = 0;
    int32_t maximum = 0;
    TFixedPoint fixedPoint = fpNone;
};

void Apply(TFreqEdit& e, const Bounds& s)
{
    e.SetMinimum(s.minimum);
    e.SetMaximum(s.maximum);
    e.SetFixedPoint(s.fixedPoint);
}

TEST(FreqEdit, ValuesAreBoundedRoundedAndShownInTheirUnit)
{
    struct Case {
        Bounds setup;
        int32_t set;
        int32_t stored;
        const char* text;
        TFreqUnit unit;
    };
    const Case cases[] = {
        {{}, 145125000, 145125000, "145.125", fuMHz},
        {{}, 1799, 1799, "1799", fuHz},
        {{}, 1800, 1800, "1.8", fukHz},
        {{}, 1799999999, 1799999999, "1799.999999", fuMHz},
        {{}, 1800000000, 1800000000, "1.8", fuGHz},
        {{}, -2500, -2500, "-2.5", fukHz},
        {{0, 0, fp1kHz}, 145125499, 145125000, "145.125", fuMHz},
        {{0, 0, fp1kHz}, 145125500, 145126000, "145.126", fuMHz},
        {{0, 0, fp100Hz}, 145125000, 145125000, "145.1250", fuMHz},
        {{0, 0, fp100Hz}, 2500, 2500, "2.5", fukHz},
        {{0, 0, fp1Hz}, 2500, 2500, "2.500", fukHz},
        {{0, 0, fp10Hz}, 1234, 1230, "1230", fuHz},
        // Negative values round like positive ones, halves away from zero.
        {{-100000, 0, fp10Hz}, -14, -10, "-10", fuHz},
        {{-100000, 0, fp10Hz}, -15, -20, "-20", fuHz},
        {{0, 0, fp1kHz}, -145125500, -145126000, "-145.126", fuMHz},
        // Rounding at the top of the range stays inside it.
        {{0, 0, fp1kHz}, INT32_MAX, 2147483000, "2.147483", fuGHz},
        {{1000, 20000}, 50, 1000, "1000", fuHz},
        {{1000, 20000}, 30000, 20000, "20", fukHz},
        {{0, 0}, 50, 50, "50", fuHz},
        {{0, 0}, -30000, -30000, "-30", fukHz},
        // A minimum alone is a lower bound only; it does not take every value down to 0.
        {{1000, 0}, 30000, 30000, "30", fukHz},
        {{1000, 0}, 50, 1000, "1000", fuHz},
        {{0, 20000, fp100Hz}, -300, 0, "0", fuMHz},
    };
    for (const Case& c : cases) {
        TFreqEdit e;
        Apply(e, c.setup);
        e.SetFrequency(c.set);
        EXPECT_EQ(e.Frequency(), c.stored) << c.set;
        EXPECT_EQ(e.Text(), c.text) << c.set;
        EXPECT_EQ(e.DefaultUnit(), c.unit) << c.set;
    }
}

TEST(FreqEdit, TheDecimalSeparatorIsTheLocales)
{
    platform::LocaleInfo comma;
    comma.DecimalSeparator = ',';
    platform::SetLocale(&comma);
    TFreqEdit e;
    e.SetFrequency(145125000);
    EXPECT_EQ(e.Text(), "145,125");
    e.SelectAll();
    for (char c : std::string("7,5.,K"))
        e.KeyPress(c);
    e.KeyDown(TFreqEdit::kEnter, false);
    EXPECT_EQ(e.Frequency(), 7500);
    platform::SetLocale(nullptr);
}

TEST(FreqEdit, DefaultUnitIsWrittenOnlyWhileTheValueIsZero)
{
    TFreqEdit e;
    e.SetDefaultUnit(fuGHz);
    EXPECT_EQ(e.DefaultUnit(), fuGHz);
    EXPECT_EQ(e.Text(), "0");
    e.SetFrequency(2500);
    e.SetDefaultUnit(fuMHz);
    EXPECT_EQ(e.DefaultUnit(), fukHz);
    e.SetFrequency(0);  // 0 keeps the unit it had
    EXPECT_EQ(e.DefaultUnit(), fukHz);
}

TEST(FreqEdit, NewBoundsTakeTheValueInside)
{
    TFreqEdit e;
    e.SetFrequency(30000);
    e.SetMaximum(20000);
    EXPECT_EQ(e.Frequency(), 20000);
    e.SetMinimum(25000);  // a minimum above the maximum gives way to it
    EXPECT_EQ(e.Frequency(), 20000);
    e.SetHzLimit(-1);
    EXPECT_EQ(e.HzLimit(), 1800);
    e.SetHzLimit(100000);
    EXPECT_EQ(e.DefaultUnit(), fuHz);
    EXPECT_EQ(e.Text(), "20000");
}

// A keystroke script: '<' '>' '^' '$' Left, Right, Home, End; '{' '}' '[' ']' the same with Shift;
// '\b' Backspace, '~' Delete, '\n' Enter, '!' Escape; anything else is typed.
void Type(TFreqEdit& e, const std::string& script)
{
    for (char c : script) {
        switch (c) {
        case '<': e.KeyDown(TFreqEdit::kLeft, false); break;
        case '>': e.KeyDown(TFreqEdit::kRight, false); break;
        case '^': e.KeyDown(TFreqEdit::kHome, false); break;
        case '$': e.KeyDown(TFreqEdit::kEnd, false); break;
        case '{': e.KeyDown(TFreqEdit::kLeft, true); break;
        case '}': e.KeyDown(TFreqEdit::kRight, true); break;
        case '[': e.KeyDown(TFreqEdit::kHome, true); break;
        case ']': e.KeyDown(TFreqEdit::kEnd, true); break;
        case '\b': e.KeyDown(TFreqEdit::kBackspace, false); break;
        case '~': e.KeyDown(TFreqEdit::kDelete, false); break;
        case '\n': e.KeyDown(TFreqEdit::kEnter, false); break;
        case '!': e.KeyDown(TFreqEdit::kEscape, false); break;
        default: e.KeyPress(c); break;
        }
    }
}

TEST(FreqEdit, KeystrokeScripts)
{
    struct Case {
        const char* what;
        Bounds setup;
        int32_t start;
        const char* script;  // typed after everything was selected, as on entering the control
        const char* text;
        int32_t frequency;
        int changes;
    };
    const Case cases[] = {
        {"unit letter on a kHz control", {}, 2500, "7M\n", "7", 7000000, 1},
        {"lower-case letters too", {}, 2500, "7k\n", "7", 7000, 1},
        {"thousands up to the minimum", {1000000, 0}, 1000000, "145H\n", "145", 145000000, 1},
        {"typed 0 against a minimum ends at the minimum", {1000, 0}, 5000, "0\n", "1000", 1000, 1},
        {"a second separator is refused", {}, 2500, "1.2.3", "1.23", 2500, 0},
        {"no sign with a minimum of 0", {}, 2500, "-5", "5", 2500, 0},
        {"a sign where the minimum is negative", {-10000, 0}, 2500, "-5\n", "-5", -5000, 1},
        {"a sign only at the start", {-10000, 0}, 2500, "5-", "5", 2500, 0},
        {"one sign only", {-10000, 0}, 2500, "-^-+", "-", 2500, 0},
        {"empty text brings the value back", {}, 2500, "\b\n", "2.5", 2500, 0},
        {"lone separator brings the value back", {}, 2500, ".\n", "2.5", 2500, 0},
        {"escape brings the value back", {}, 2500, "99!", "2.5", 2500, 0},
        {"enter on an unchanged value still tells", {}, 2500, "$\n", "2.5", 2500, 1},
        {"beyond 32 bits brings the value back", {}, 2500, "99999G\n", "2.5", 2500, 0},
        {"home, right, delete", {}, 145125000, "^>>~\n", "14.125", 14125000, 1},
        {"backspace at the start does nothing", {}, 145125000, "^\b", "145.125", 145125000, 0},
        {"delete at the end does nothing", {}, 145125000, "$~", "145.125", 145125000, 0},
        {"backspace inside", {}, 145125000, "$<<\b", "145.25", 145125000, 0},
        {"shift selects from the caret", {}, 145125000, "^}}}7", "7.125", 145125000, 0},
        {"the selection turns over its anchor", {}, 145125000, "^>>>}}{{{{9", "19.125", 145125000, 0},
        {"shift-home and shift-end", {}, 145125000, "$<<<[1]2", "12", 145125000, 0},
        {"other characters are ignored", {}, 2500, "$x ", "2.5", 2500, 0},
        {"fp1kHz rounds what is typed", {0, 0, fp1kHz}, 145125000, "145.1255\n", "145.126", 145126000, 1},
        {"bounds apply to what is typed", {1000, 20000}, 5000, "50K\n", "20", 20000, 1},
        {"halves to even before the bounds", {0, 0}, 2500, "0.0025K\n", "2", 2, 1},
    };
    for (const Case& c : cases) {
        TFreqEdit e;
        Apply(e, c.setup);
        e.SetFrequency(c.start);
        int changes = 0;
        e.OnChange = [&](TFreqEdit*) { ++changes; };
        e.SelectAll();
        Type(e, c.script);
        EXPECT_EQ(e.Text(), c.text) << c.what;
        EXPECT_EQ(e.Frequency(), c.frequency) << c.what;
        EXPECT_EQ(changes, c.changes) << c.what;
    }
}

TEST(FreqEdit, KeysAndSelectionIndexes)
{
    TFreqEdit e;
    e.SetFrequency(145125000);
    e.SelectAll();
    EXPECT_EQ(e.SelStart(), 0);
    EXPECT_EQ(e.SelEnd(), 7);
    EXPECT_EQ(e.CaretIndex(), 7);
    Type(e, "^>>}}");
    EXPECT_EQ(e.SelStart(), 2);
    EXPECT_EQ(e.SelEnd(), 4);
    EXPECT_EQ(e.CaretIndex(), 4);
    Type(e, ">");  // a plain move collapses the selection
    EXPECT_EQ(e.SelStart(), 5);
    EXPECT_EQ(e.SelEnd(), 5);
    Type(e, "$>>");  // moves stop at the ends
    EXPECT_EQ(e.CaretIndex(), 7);
    // A shorter text after a new value keeps caret and selection inside it.
    e.SetFrequency(2500);
    EXPECT_LE(e.CaretIndex(), 3);
    EXPECT_LE(e.SelEnd(), 3);
    Type(e, "~\b5");
    EXPECT_EQ(e.Text(), "2.5");
}

TEST(FreqEdit, ReadOnlyTakesNoKeys)
{
    TFreqEdit e;
    e.SetFrequency(2500);
    e.SetReadOnly(true);
    int changes = 0;
    e.OnChange = [&](TFreqEdit*) { ++changes; };
    e.SelectAll();
    EXPECT_FALSE(e.KeyPress('7'));
    Type(e, "\b~\n");
    EXPECT_EQ(e.Text(), "2.5");
    EXPECT_EQ(changes, 0);
}

TEST(FreqEdit, TakenCharactersAreConsumedOthersPassOn)
{
    TFreqEdit e;
    e.SetFrequency(2500);
    for (char c : std::string("0123456789+-.GHKMghkm"))
        EXPECT_TRUE(e.KeyPress(c)) << c;
    for (char c : std::string("xA ,/"))
        EXPECT_FALSE(e.KeyPress(c)) << c;
}

TEST(FreqEdit, CaretAndPixelPositionsAgreeInEveryAlignment)
{
    for (TFreqAlignment a : {faLeft, faRight, faCenter}) {
        TFreqEdit e;
        e.resize(120, e.height());
        e.SetAlignment(a);
        e.SetFrequency(145125000);
        for (int i = 0; i <= 7; ++i) {
            Type(e, "^");
            for (int k = 0; k < i; ++k)
                Type(e, ">");
            EXPECT_EQ(e.CharAtX(e.CaretX() + 1), i) << a << " " << i;
        }
        EXPECT_EQ(e.CharAtX(-5), 0);
        EXPECT_EQ(e.CharAtX(10000), 7);
    }
}

TEST(FreqEdit, HeightFollowsTheFontAndTheSelectionIsPainted)
{
    TFreqEdit e;
    const int h = e.height();
    QFont f = e.font();
    f.setPixelSize(30);
    e.setFont(f);
    EXPECT_GT(e.height(), h);
    EXPECT_GT(e.UnitWidth(), 0);
    e.resize(150, e.height());
    e.SetFrequency(145125000);
    e.SetSelBkColor(QColor(255, 0, 0));
    e.SelectAll();
    auto redPixels = [&] {
        const QImage img = e.Render();
        int n = 0;
        for (int y = 0; y < img.height(); ++y)
            for (int x = 0; x < img.width(); ++x)
                n += img.pixelColor(x, y) == QColor(255, 0, 0);
        return n;
    };
    EXPECT_EQ(redPixels(), 0);  // hidden without the focus
    e.SetHideSelection(false);
    EXPECT_GT(redPixels(), 50);
}

}  // namespace
