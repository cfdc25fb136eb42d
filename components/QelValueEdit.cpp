#include "QelValueEdit.h"
#include <QFocusEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <charconv>
#include <cmath>
#include <platform/ui/Locale.h>

namespace {

const double kFactors[] = {1.0, 1e3, 1e6, 1e9, 1e12};
const char* const kUnitNames[] = {" Hz", " kHz", " MHz", " GHz", " THz"};

QChar decimalSeparator() { return QChar::fromLatin1(platform::Locale().DecimalSeparator); }

// The leading decimal number of s (with a point as separator), 0 when it has none.
double leadingNumber(const QString& s)
{
    const std::string b = s.toStdString();
    double v = 0;
    const auto r = std::from_chars(b.data(), b.data() + b.size(), v, std::chars_format::fixed);
    return r.ec == std::errc() ? v : 0.0;
}

} // namespace

TQelValueEdit::TQelValueEdit(QWidget* parent) : TQelFramedWindow(parent)
{
    SetColor(platform::clWindow);
    SetParentColor(true);
    SetBackground(0xFFFFFF);
    setCursor(Qt::IBeamCursor);
    // Focus comes by tab from the widget system and by click from the press handler, so that the
    // first click selects everything.
    setFocusPolicy(Qt::TabFocus);
    setAttribute(Qt::WA_InputMethodEnabled, false);
    resize(100, 30);
    // Only a later font change fits the height to the font; until then the 30 pixels are fixed.
    setFixedHeight(30);
    unitWidth_ = textWidth(QStringLiteral(" MHz"));
    textTop_ = (height() - textHeightOfM()) / 2 - FrameWidth();
    SetValue(0);
}

TQelValueEdit::~TQelValueEdit() { BeginDestroy(); }

QString TQelValueEdit::UnitName(int unit) { return QString::fromLatin1(kUnitNames[unit < 0 ? 0 : unit > 4 ? 4 : unit]); }

int TQelValueEdit::textWidth(const QString& s)
{
    if (s.isEmpty())
        return 0;
    platform::TBitmap scratch(1, 1);
    scratch.Canvas().Font = font_;
    return scratch.Canvas().TextWidth(s);
}

int TQelValueEdit::textHeightOfM()
{
    platform::TBitmap scratch(1, 1);
    scratch.Canvas().Font = font_;
    return scratch.Canvas().TextHeight(QStringLiteral("M"));
}

void TQelValueEdit::SetValue(double x)
{
    if (minimum_ != 0 || maximum_ != 0) {
        if (x < minimum_)
            x = minimum_;
        else if (x > maximum_)
            x = maximum_;
    }
    value_ = x;
    const double a = std::fabs(x);
    if (!showUnits_ || a <= 3000)
        unit_ = 0;
    else if (a <= 3000000)
        unit_ = 1;
    else if (a <= 3000000000.0)
        unit_ = 2;
    else if (a <= 3000000000000.0)
        unit_ = 3;
    else
        unit_ = 4;
    const double scaled = x / kFactors[unit_];
    QString s;
    if (fixedPoint_ == fpNone) {
        s = QString::number(scaled, 'g', 15);
    } else {
        // Values in Hz with a resolution coarser than 1 Hz would need a negative count: no decimals.
        const int decimals = std::max(0, 3 * unit_ - int(fixedPoint_) + 1);
        s = QString::number(scaled, 'f', decimals);
    }
    s.replace(QLatin1Char('.'), decimalSeparator());
    SetValueText(s);
}

void TQelValueEdit::UpdateValue()
{
    QString s = text_;
    const int at = s.indexOf(decimalSeparator());
    if (at >= 0)
        s[at] = QLatin1Char('.');
    SetValue(leadingNumber(s) * kFactors[unit_]);
    if (OnChange)
        OnChange(this);
}

void TQelValueEdit::SetValueText(const QString& text)
{
    text_ = text;
    // Cursor and selection stay inside the new text, so that no key reaches past its end.
    cursor_ = clampIndex(cursor_);
    selStart_ = clampIndex(selStart_);
    selEnd_ = clampIndex(selEnd_);
    Repaint();
}

QString TQelValueEdit::GetText() const { return showUnits_ ? text_ + UnitName(unit_) : text_; }

void TQelValueEdit::SetMinimum(double x)
{
    if (x == minimum_)
        return;
    minimum_ = x;
    if (x > value_)
        SetValue(value_);
}

void TQelValueEdit::SetMaximum(double x)
{
    if (x == maximum_)
        return;
    maximum_ = x;
    if (x < value_)
        SetValue(value_);
}

void TQelValueEdit::SetFixedPoint(TQelFixedPoint f)
{
    if (f == fixedPoint_)
        return;
    fixedPoint_ = f;
    SetValue(value_);
    Repaint();
}

void TQelValueEdit::SetShowUnits(bool on)
{
    if (on == showUnits_)
        return;
    showUnits_ = on;
    unitWidth_ = on ? textWidth(QStringLiteral(" MHz")) : 0;
    SetValue(value_);
    Repaint();
}

void TQelValueEdit::SetMaxLength(int32_t n)
{
    if (n == maxLength_)
        return;
    if (n >= 0 && text_.size() > n)
        SetValueText(text_.left(n));
    maxLength_ = n;
    Repaint();
}

void TQelValueEdit::SetAlignment(TAlignment a)
{
    if (a == alignment_)
        return;
    alignment_ = a;
    Repaint();
}

void TQelValueEdit::SetAutoSize(bool on)
{
    if (on == autoSize_)
        return;
    autoSize_ = on;
    if (autoSize_) {
        AdjustHeight();
    } else {
        setMinimumHeight(0);
        setMaximumHeight(QWIDGETSIZE_MAX);
    }
}

void TQelValueEdit::SetHideSelection(bool on)
{
    if (on == hideSelection_)
        return;
    hideSelection_ = on;
    Repaint();
}

void TQelValueEdit::SetSelBkColor(platform::TColor c)
{
    if (c == selBkColor_)
        return;
    selBkColor_ = c;
    Repaint();
}

void TQelValueEdit::SetSelTextColor(platform::TColor c)
{
    if (c == selTextColor_)
        return;
    selTextColor_ = c;
    Repaint();
}

void TQelValueEdit::SetFont(const platform::TFont& f)
{
    if (f == font_)
        return;
    font_ = f;
    fontChanged();
}

void TQelValueEdit::fontChanged()
{
    unitWidth_ = showUnits_ ? textWidth(QStringLiteral(" MHz")) : 0;
    textTop_ = (height() - textHeightOfM()) / 2 - FrameWidth();
    if (autoSize_)
        AdjustHeight();
    else
        Repaint();
}

void TQelValueEdit::AdjustHeight()
{
    // A negative font height is the character height in pixels.
    // While it follows the font the height is fixed: neither a layout nor the user can change it.
    setFixedHeight(2 * FrameWidth() - font_.Height + 4);
    Repaint();
}

void TQelValueEdit::resizeEvent(QResizeEvent* e)
{
    TQelFramedWindow::resizeEvent(e);
    if (fontAutoSize_) {
        platform::TFont f = font_;
        f.Height = 2 * FrameWidth() - height() + 4;
        SetFont(f);
        return;
    }
    textTop_ = (height() - textHeightOfM()) / 2 - FrameWidth();
}

void TQelValueEdit::SetCursorPosition(int i)
{
    cursor_ = clampIndex(i);
    Repaint();
}

void TQelValueEdit::SetSelStart(int i)
{
    i = clampIndex(i);
    selStart_ = selEnd_ = cursor_ = i;
    Repaint();
}

void TQelValueEdit::SetSelLength(int n)
{
    selEnd_ = clampIndex(selStart_ + std::max(n, 0));
    Repaint();
}

void TQelValueEdit::SelectAll()
{
    selStart_ = 0;
    selEnd_ = cursor_ = int(text_.size());
    Repaint();
}

void TQelValueEdit::ClearSelection()
{
    if (selStart_ == selEnd_)
        return;
    text_.remove(selStart_, selEnd_ - selStart_);
    cursor_ = selEnd_ = selStart_;
    Repaint();
}

void TQelValueEdit::UpdateSelection(int i)
{
    i = clampIndex(i);
    if (i == cursor_)
        return;
    int anchor = cursor_;
    if (selStart_ != selEnd_)
        anchor = cursor_ == selStart_ ? selEnd_ : selStart_;
    selStart_ = std::min(anchor, i);
    selEnd_ = std::max(anchor, i);
    cursor_ = i;
    Repaint();
}

int TQelValueEdit::GetCursorPos()
{
    const int fw = FrameWidth();
    const int interiorWidth = width() - 2 * fw;
    switch (alignment_) {
    case taRightJustify:
        return width() - 2 * fw - unitWidth_ - textWidth(text_.mid(cursor_));
    case taCenter:
        return textWidth(text_.left(cursor_)) + (interiorWidth - textWidth(text_) - unitWidth_) / 2 + 1;
    case taLeftJustify:
        break;
    }
    return textWidth(text_.left(cursor_)) + 3;
}

int TQelValueEdit::NearestChar(int x)
{
    if (x <= 0)
        return 0;
    const int fw = FrameWidth();
    const int interiorWidth = width() - 2 * fw;
    const int tw = textWidth(text_);
    switch (alignment_) {
    case taLeftJustify: x -= 2; break;
    case taRightJustify: x += fw + tw + unitWidth_ - (width() - fw) + 1; break;
    case taCenter: x -= (interiorWidth - tw - unitWidth_) / 2; break;
    }
    const int n = int(text_.size());
    int i = 0;
    int w = 0;
    while (i < n) {
        w = textWidth(text_.left(i));
        if (w >= x)
            break;
        ++i;
    }
    if (i == n)
        w = textWidth(text_);
    if (i > 0) {
        const int before = textWidth(text_.left(i - 1));
        if (x - before < w - x)
            return i - 1;
    }
    return i;
}

void TQelValueEdit::insertAtCursor(QChar c)
{
    cursor_ = clampIndex(cursor_);
    text_.insert(cursor_, c);
}

bool TQelValueEdit::KeyDown(int key, bool shift)
{
    if (readOnly_)
        return false;
    const int n = int(text_.size());
    switch (key) {
    case Qt::Key_Home:
    case Qt::Key_Left:
    case Qt::Key_End:
    case Qt::Key_Right: {
        int target = key == Qt::Key_Home ? 0 : key == Qt::Key_Left ? cursor_ - 1 : key == Qt::Key_End ? n : cursor_ + 1;
        if (shift)
            UpdateSelection(target);
        else
            SetSelStart(target);
        return true;
    }
    case Qt::Key_Delete:
        if (selStart_ != selEnd_)
            ClearSelection();
        else if (cursor_ < n) {
            text_.remove(cursor_, 1);
            Repaint();
        }
        return true;
    case Qt::Key_Backspace:
        if (selStart_ != selEnd_)
            ClearSelection();
        else if (cursor_ > 0) {
            text_.remove(cursor_ - 1, 1);
            --cursor_;
            selStart_ = selEnd_ = cursor_;
            Repaint();
        }
        return true;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        UpdateValue();
        return true;
    case Qt::Key_Escape:
        SetValue(value_);
        return true;
    default:
        return false;
    }
}

bool TQelValueEdit::KeyPress(QChar c)
{
    if (readOnly_)
        return false;
    const QChar u = c.toUpper();
    const QChar sep = decimalSeparator();
    static const QString taken = QStringLiteral("-0123456789.HKMGT");
    if (!taken.contains(u) && c != sep)
        return false;
    if (u == QLatin1Char('-') || u.isDigit()) {
        ClearSelection();
        if (text_.size() < maxLength_)
            insertAtCursor(c);
        cursor_ = clampIndex(cursor_ + 1);
        selStart_ = selEnd_ = cursor_;
    } else if (u == QLatin1Char('.') || c == sep) {
        if (allowDecimals_) {
            ClearSelection();
            if (!text_.contains(c) && text_.size() < maxLength_) {
                insertAtCursor(c);
                cursor_ = clampIndex(cursor_ + 1);
                selStart_ = selEnd_ = cursor_;
            }
        }
    } else {
        unit_ = QStringLiteral("HKMGT").indexOf(u);
    }
    Repaint();
    return true;
}

void TQelValueEdit::keyPressEvent(QKeyEvent* e)
{
    const bool shift = (e->modifiers() & Qt::ShiftModifier) != 0;
    if (KeyDown(e->key(), shift))
        return;
    const QString t = e->text();
    if (t.size() == 1 && KeyPress(t[0]))
        return;
    TQelFramedWindow::keyPressEvent(e);
}

void TQelValueEdit::mousePressEvent(QMouseEvent* e)
{
    TQelFramedWindow::mousePressEvent(e);
    if (e->button() != Qt::LeftButton || !isEnabled())
        return;
    SetSelStart(NearestChar(int(e->position().x())));
    if (hasFocus())
        captured_ = true;
    else
        setFocus(Qt::MouseFocusReason);
}

void TQelValueEdit::mouseMoveEvent(QMouseEvent* e)
{
    if (captured_ && (e->buttons() & Qt::LeftButton))
        UpdateSelection(NearestChar(int(e->position().x())));
}

void TQelValueEdit::mouseReleaseEvent(QMouseEvent* e)
{
    TQelFramedWindow::mouseReleaseEvent(e);
    if (e->button() == Qt::LeftButton)
        captured_ = false;
}

void TQelValueEdit::focusInEvent(QFocusEvent* e)
{
    TQelFramedWindow::focusInEvent(e);
    if (autoSelect_)
        SelectAll();
    Repaint();
}

void TQelValueEdit::focusOutEvent(QFocusEvent* e)
{
    TQelFramedWindow::focusOutEvent(e);
    captured_ = false;
    UpdateValue();
    Repaint();
}

void TQelValueEdit::Paint(platform::TCanvas& canvas)
{
    PaintFrame(canvas);
    const platform::TRect in = Interior();
    const int w = std::max(1, in.Width()), h = std::max(1, in.Height());
    if (bitmap_.Width() != w || bitmap_.Height() != h)
        bitmap_.SetSize(w, h);
    platform::TCanvas& c = bitmap_.Canvas();
    c.Brush.Style = platform::bsSolid;
    c.Brush.Color = Background();
    c.FillRect(platform::TRect{0, 0, w, h});
    const bool focused = hasFocus();
    if (isEnabled()) {
        c.Font = font_;
        const QString unit = showUnits_ ? UnitName(unit_) : QString();
        const int tw = c.TextWidth(text_);
        int x = 2;
        if (alignment_ == taRightJustify)
            x = w - tw - unitWidth_ - 1;
        else if (alignment_ == taCenter)
            x = (w - tw - unitWidth_) / 2;
        c.Brush.Style = platform::bsClear;
        c.TextOut(x, textTop_, text_ + unit);
        if (selStart_ != selEnd_ && (focused || !hideSelection_)) {
            const QString sel = GetSelText();
            const int sx = x + c.TextWidth(text_.left(selStart_));
            c.Brush.Style = platform::bsSolid;
            c.Brush.Color = selBkColor_;
            c.Font.Color = selTextColor_;
            c.TextOut(sx, textTop_, sel);
        }
    }
    canvas.Draw(in.Left, in.Top, bitmap_);
    if (focused) {
        // The caret: two pixels wide, inverting what is under it.
        const int top = textTop_ + FrameWidth();
        const int ch = height() - 2 * top;
        if (ch > 0) {
            QPainter& p = canvas.Painter();
            p.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
            p.fillRect(QRect(GetCursorPos(), top, 2, ch), Qt::white);
            p.setCompositionMode(QPainter::CompositionMode_SourceOver);
        }
    }
}
