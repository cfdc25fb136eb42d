#include "FreqEdit.h"

#include "platform/ui/Locale.h"

#include <QFocusEvent>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPalette>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdlib>

namespace {

const char* const kSuffix[] = {" Hz", " kHz", " MHz", " GHz"};
const double kDivisor[] = {1.0, 1e3, 1e6, 1e9};

char DecimalSeparator()
{
    return platform::Locale().DecimalSeparator;
}

// The general number format: up to 15 significant digits, no trailing zeros, an exponent written
// as "E-9" when the value is very small or very large.
std::string GeneralFormat(double v)
{
    char buf[64];
    const auto r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::general, 15);
    std::string s(buf, r.ptr);
    const auto e = s.find('e');
    if (e != std::string::npos) {
        std::string mantissa = s.substr(0, e);
        const int exponent = std::atoi(s.c_str() + e + 1);
        s = mantissa + "E" + std::to_string(exponent);
    }
    return s;
}

}  // namespace

int32_t FreqEditBound(int32_t f, int32_t minimum, int32_t maximum, TFixedPoint fixedPoint)
{
    int64_t v = f;
    // Without a maximum the upper bound would be 0 and take every value down to it, so each bound
    // applies only when it is set (the lower one also as the partner of a set maximum).
    if (minimum != 0 || maximum != 0)
        v = std::max<int64_t>(v, minimum);
    if (maximum != 0)
        v = std::min<int64_t>(v, maximum);
    int64_t step = 0;
    switch (fixedPoint) {
    case fp10Hz: step = 10; break;
    case fp100Hz: step = 100; break;
    case fp1kHz: step = 1000; break;
    default: break;
    }
    if (step != 0) {
        // Halves away from zero on both sides of 0.
        const int64_t m = (std::llabs(v) + step / 2) / step * step;
        v = v < 0 ? -m : m;
        if (v > INT32_MAX)
            v -= step;
        if (v < INT32_MIN)
            v += step;
    }
    return static_cast<int32_t>(v);
}

TFreqUnit FreqEditUnit(int32_t f, int32_t hzLimit)
{
    const int64_t m = std::llabs(int64_t(f));
    const int64_t l = hzLimit;
    if (m < l)
        return fuHz;
    if (m < l * 1000)
        return fukHz;
    if (double(m) >= double(l) * 1e6)
        return fuGHz;
    return fuMHz;
}

std::string FreqEditText(int32_t f, TFreqUnit unit, TFixedPoint fixedPoint, char decimalSeparator)
{
    std::string s;
    if (fixedPoint == fpNone) {
        s = GeneralFormat(double(f) / kDivisor[unit]);
    } else if (unit == fuHz) {
        s = std::to_string(f);
    } else {
        const int decimals = 3 * int(unit) - int(fixedPoint) + 1;
        char buf[64];
        const auto r = std::to_chars(buf, buf + sizeof buf, double(f) / kDivisor[unit], std::chars_format::fixed,
                                     decimals);
        s.assign(buf, r.ptr);
    }
    std::replace(s.begin(), s.end(), '.', decimalSeparator);
    return s;
}

TFreqEdit::TFreqEdit(QWidget* parent) : QFrame(parent)
{
    resize(65, height());
    setCursor(Qt::IBeamCursor);
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_OpaquePaintEvent);
    selBkColor_ = palette().color(QPalette::Highlight);
    selTextColor_ = palette().color(QPalette::HighlightedText);
    ApplyBorder();
    AdjustHeight();
}

const char* TFreqEdit::UnitSuffix(TFreqUnit unit)
{
    return kSuffix[unit];
}

void TFreqEdit::SetAlignment(TFreqAlignment v)
{
    if (v == alignment_)
        return;
    alignment_ = v;
    update();
}

void TFreqEdit::SetAutoSize(bool v)
{
    if (v == autoSize_)
        return;
    autoSize_ = v;
    AdjustHeight();
}

void TFreqEdit::SetBorderStyle(TFreqBorderStyle v)
{
    if (v == borderStyle_)
        return;
    borderStyle_ = v;
    ApplyBorder();
    AdjustHeight();
}

void TFreqEdit::SetDefaultUnit(TFreqUnit v)
{
    // The unit follows a non-zero value.
    if (v == unit_ || frequency_ != 0)
        return;
    unit_ = v;
    update();
}

void TFreqEdit::SetFixedPoint(TFixedPoint v)
{
    if (v == fixedPoint_)
        return;
    fixedPoint_ = v;
    SetFrequency(frequency_);
}

void TFreqEdit::SetHideSelection(bool v)
{
    if (v == hideSelection_)
        return;
    hideSelection_ = v;
    update();
}

void TFreqEdit::SetHzLimit(int32_t v)
{
    if (v < 0 || v == hzLimit_)
        return;
    hzLimit_ = v;
    SetFrequency(frequency_);
}

void TFreqEdit::SetMaximum(int32_t v)
{
    if (v == maximum_)
        return;
    maximum_ = v;
    if (maximum_ < frequency_)
        SetFrequency(frequency_);
}

void TFreqEdit::SetMinimum(int32_t v)
{
    if (v == minimum_)
        return;
    minimum_ = v;
    if (frequency_ < minimum_)
        SetFrequency(frequency_);
}

void TFreqEdit::SetSelBkColor(const QColor& c)
{
    if (c == selBkColor_)
        return;
    selBkColor_ = c;
    update();
}

void TFreqEdit::SetSelTextColor(const QColor& c)
{
    if (c == selTextColor_)
        return;
    selTextColor_ = c;
    update();
}

void TFreqEdit::SetFrequency(int32_t f)
{
    f = FreqEditBound(f, minimum_, maximum_, fixedPoint_);
    frequency_ = f;
    if (f == 0) {
        text_ = "0";
    } else {
        unit_ = FreqEditUnit(f, hzLimit_);
        text_ = FreqEditText(f, unit_, fixedPoint_, DecimalSeparator());
    }
    // The caret and selection stay where they were, inside the new text.
    selStart_ = Clamp(selStart_);
    selEnd_ = Clamp(selEnd_);
    caret_ = Clamp(caret_);
    update();
}

void TFreqEdit::AcceptText()
{
    const char sep = DecimalSeparator();
    std::string s = text_;
    std::replace(s.begin(), s.end(), sep, '.');
    const char* first = s.data();
    const char* last = s.data() + s.size();
    if (first != last && *first == '+')
        ++first;
    double value = 0;
    const auto r = std::from_chars(first, last, value, std::chars_format::fixed);
    bool ok = first != last && r.ec == std::errc() && r.ptr == last && std::isfinite(value);
    double x = value * kDivisor[unit_];
    // A small number typed against a minimum counts in thousands until it reaches it (145 against
    // 1 MHz is 145 MHz); a value of 0 or below is left to the bounds.
    if (ok && minimum_ > 0 && x > 0)
        while (x < minimum_)
            x *= 1000;
    const double rounded = std::nearbyint(x);
    ok = ok && rounded >= double(INT32_MIN) && rounded <= double(INT32_MAX);
    if (!ok) {
        SetFrequency(frequency_);
        return;
    }
    SetFrequency(static_cast<int32_t>(rounded));
    if (OnChange)
        OnChange(this);
}

int TFreqEdit::Clamp(int i) const
{
    return std::clamp(i, 0, int(text_.size()));
}

void TFreqEdit::SetCaret(int i)
{
    caret_ = Clamp(i);
}

void TFreqEdit::MoveCaret(int i)
{
    i = Clamp(i);
    selStart_ = selEnd_ = i;
    SetCaret(i);
    update();
}

void TFreqEdit::ExtendSelection(int i)
{
    i = Clamp(i);
    if (i == caret_)
        return;
    int anchor = caret_;
    if (selStart_ != selEnd_)
        anchor = caret_ == selStart_ ? selEnd_ : selStart_;
    selStart_ = std::min(anchor, i);
    selEnd_ = std::max(anchor, i);
    SetCaret(i);
    update();
}

void TFreqEdit::DeleteSelection()
{
    if (selStart_ == selEnd_)
        return;
    text_.erase(size_t(selStart_), size_t(selEnd_ - selStart_));
    selEnd_ = selStart_;
    SetCaret(selStart_);
}

void TFreqEdit::SelectAll()
{
    selStart_ = 0;
    selEnd_ = int(text_.size());
    SetCaret(selEnd_);
    update();
}

void TFreqEdit::InsertAtCaret(char c)
{
    DeleteSelection();
    text_.insert(size_t(caret_), 1, c);
    selStart_ = selEnd_ = caret_ + 1;
    SetCaret(caret_ + 1);
}

void TFreqEdit::KeyDown(TKey key, bool shift)
{
    if (readOnly_)
        return;
    switch (key) {
    case kBackspace:
        if (selStart_ != selEnd_) {
            DeleteSelection();
        } else if (caret_ >= 1) {
            text_.erase(size_t(caret_ - 1), 1);
            selStart_ = selEnd_ = caret_ - 1;
            SetCaret(caret_ - 1);
        }
        update();
        break;
    case kDelete:
        if (selStart_ != selEnd_)
            DeleteSelection();
        else if (caret_ < int(text_.size()))
            text_.erase(size_t(caret_), 1);
        update();
        break;
    case kEnter: AcceptText(); break;
    case kEscape: SetFrequency(frequency_); break;
    case kLeft: shift ? ExtendSelection(caret_ - 1) : MoveCaret(caret_ - 1); break;
    case kHome: shift ? ExtendSelection(0) : MoveCaret(0); break;
    case kRight: shift ? ExtendSelection(caret_ + 1) : MoveCaret(caret_ + 1); break;
    case kEnd: shift ? ExtendSelection(int(text_.size())) : MoveCaret(int(text_.size())); break;
    }
}

bool TFreqEdit::KeyPress(char c)
{
    if (readOnly_)
        return false;
    const char sep = DecimalSeparator();
    if (c >= 'a' && c <= 'z')
        c = char(c - 'a' + 'A');
    if (c >= '0' && c <= '9') {
        InsertAtCaret(c);
    } else if (c == '+' || c == '-') {
        const bool signed_ = text_.find_first_of("+-") != std::string::npos;
        const bool atStart = caret_ == 0 || (selStart_ == 0 && selEnd_ > 0);
        if (minimum_ < 0 && !signed_ && atStart)
            InsertAtCaret(c);
    } else if (c == sep) {
        DeleteSelection();
        if (text_.find(sep) == std::string::npos)
            InsertAtCaret(c);
    } else if (c == 'G') {
        unit_ = fuGHz;
    } else if (c == 'H') {
        unit_ = fuHz;
    } else if (c == 'K') {
        unit_ = fukHz;
    } else if (c == 'M') {
        unit_ = fuMHz;
    } else {
        return false;
    }
    update();
    return true;
}

int TFreqEdit::Width(const std::string& s) const
{
    return QFontMetrics(font()).horizontalAdvance(QString::fromLatin1(s.data(), int(s.size())));
}

int TFreqEdit::ClientWidth() const
{
    return contentsRect().width();
}

int TFreqEdit::TextLeft() const
{
    switch (alignment_) {
    case faRight: return ClientWidth() - unitWidth_ - Width(text_) - 1;
    case faCenter: return width() / 2 - (Width(text_) + unitWidth_) / 2;
    default: return 2;
    }
}

int TFreqEdit::CaretX() const
{
    const std::string before = text_.substr(0, size_t(caret_));
    switch (alignment_) {
    case faRight: return ClientWidth() - unitWidth_ - Width(text_.substr(size_t(caret_))) - 2;
    case faCenter: return Width(before) + width() / 2 - (Width(text_) + unitWidth_) / 2 - 1;
    default: return Width(before) + 1;
    }
}

int TFreqEdit::CharAtX(int x) const
{
    if (x < 0)
        return 0;
    switch (alignment_) {
    case faRight: x = x + unitWidth_ + Width(text_) - ClientWidth() + 1; break;
    case faCenter: x = x + (Width(text_) + unitWidth_) / 2 - width() / 2; break;
    default: x -= 2; break;
    }
    const int n = int(text_.size());
    int i = 0;
    while (i < n && Width(text_.substr(0, size_t(i))) < x)
        ++i;
    if (i > 0) {
        const int here = Width(text_.substr(0, size_t(i)));
        const int before = Width(text_.substr(0, size_t(i - 1)));
        if (std::abs(x - before) < std::abs(here - x))
            return i - 1;
    }
    return i;
}

void TFreqEdit::ApplyBorder()
{
    if (borderStyle_ == fbsSingle) {
        setFrameStyle(QFrame::Panel | QFrame::Sunken);
        setLineWidth(2);
    } else {
        setFrameStyle(QFrame::NoFrame);
    }
}

void TFreqEdit::AdjustHeight()
{
    const QFontMetrics fm(font());
    const int w = fm.horizontalAdvance(QStringLiteral(" MHz"));
    const int h = fm.height();
    if (autoSize_)
        resize(width(), fm.height() + 8);
    unitWidth_ = w + 2;
    textHeight_ = h;
    textTop_ = (contentsRect().height() - h) / 2;
    update();
}

void TFreqEdit::resizeEvent(QResizeEvent* event)
{
    QFrame::resizeEvent(event);
    textTop_ = (contentsRect().height() - textHeight_) / 2;
}

void TFreqEdit::changeEvent(QEvent* event)
{
    QFrame::changeEvent(event);
    if (event->type() == QEvent::FontChange)
        AdjustHeight();
}

QImage TFreqEdit::Render() const
{
    const QRect client = contentsRect();
    QImage image(std::max(client.width(), 1), std::max(client.height(), 1), QImage::Format_RGB32);
    image.fill(palette().color(QPalette::Base));
    QPainter p(&image);
    p.setFont(font());
    const QFontMetrics fm(font());
    const int x = TextLeft();
    const QString shown = QString::fromLatin1(text_.c_str()) + QString::fromLatin1(kSuffix[unit_]);
    p.setPen(palette().color(QPalette::Text));
    p.drawText(x, textTop_ + fm.ascent(), shown);
    if (selStart_ != selEnd_ && (hasFocus() || !hideSelection_)) {
        const int left = x + Width(text_.substr(0, size_t(selStart_)));
        const std::string selected = text_.substr(size_t(selStart_), size_t(selEnd_ - selStart_));
        const QRect r(left, textTop_, Width(selected), textHeight_ + 1);
        p.fillRect(r, selBkColor_);
        p.setClipRect(r);
        p.setPen(selTextColor_);
        p.drawText(left, textTop_ + fm.ascent(), QString::fromLatin1(selected.c_str()));
        p.setClipping(false);
    }
    if (hasFocus())
        p.fillRect(QRect(CaretX(), textTop_, 2, textHeight_), palette().color(QPalette::Text));
    return image;
}

void TFreqEdit::paintEvent(QPaintEvent* event)
{
    QFrame::paintEvent(event);
    QPainter p(this);
    p.drawImage(contentsRect().topLeft(), Render());
}

void TFreqEdit::keyPressEvent(QKeyEvent* event)
{
    const bool shift = event->modifiers() & Qt::ShiftModifier;
    switch (event->key()) {
    case Qt::Key_Backspace: KeyDown(kBackspace, shift); return;
    case Qt::Key_Delete: KeyDown(kDelete, shift); return;
    case Qt::Key_Return:
    case Qt::Key_Enter: KeyDown(kEnter, shift); return;
    case Qt::Key_Escape: KeyDown(kEscape, shift); return;
    case Qt::Key_Left: KeyDown(kLeft, shift); return;
    case Qt::Key_Right: KeyDown(kRight, shift); return;
    case Qt::Key_Home: KeyDown(kHome, shift); return;
    case Qt::Key_End: KeyDown(kEnd, shift); return;
    default: break;
    }
    const QString text = event->text();
    if (text.size() == 1 && text[0].unicode() < 128 && KeyPress(char(text[0].unicode()))) {
        event->accept();
        return;
    }
    QFrame::keyPressEvent(event);
}

void TFreqEdit::focusInEvent(QFocusEvent* event)
{
    QFrame::focusInEvent(event);
    pressFocus_ = event->reason() == Qt::MouseFocusReason;
    if (autoSelect_)
        SelectAll();
    update();
}

void TFreqEdit::focusOutEvent(QFocusEvent* event)
{
    QFrame::focusOutEvent(event);
    capturing_ = false;
    pressFocus_ = false;
    AcceptText();
    update();
}

void TFreqEdit::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton || !isEnabled())
        return QFrame::mousePressEvent(event);
    const int x = int(event->position().x()) - contentsRect().left();
    if (pressFocus_) {
        // This press gave the control its focus, which has selected everything with AutoSelect.
        pressFocus_ = false;
        if (!autoSelect_)
            MoveCaret(CharAtX(x));
        return;
    }
    MoveCaret(CharAtX(x));
    if (hasFocus())
        capturing_ = true;
    else
        setFocus(Qt::MouseFocusReason);
}

void TFreqEdit::mouseMoveEvent(QMouseEvent* event)
{
    if (capturing_)
        ExtendSelection(CharAtX(int(event->position().x()) - contentsRect().left()));
}

void TFreqEdit::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton)
        capturing_ = false;
}
