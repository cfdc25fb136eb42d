#include "QelCustomControl.h"
#include <QCoreApplication>
#include <QEvent>

using platform::TColor;

namespace {

TColor packByte(TColor colour, int shift, __int128 value)
{
    const TColor b = (value > 255 || value < 0) ? 255u : static_cast<TColor>(value);
    return colour | (b << shift);
}

} // namespace

TQelCustomControl::TQelCustomControl(QWidget* parent) : QWidget(parent)
{
    // The control covers its whole area itself; erasing first would only flicker.
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAutoFillBackground(false);
}

TQelCustomControl::~TQelCustomControl() { BeginDestroy(); }

void TQelCustomControl::BeginDestroy()
{
    destroying_ = true;
    QCoreApplication::removePostedEvents(this);
}

bool TQelCustomControl::event(QEvent* e)
{
    if (destroying_)
        return true;
    return QWidget::event(e);
}

// The products need more than 64 bits for extreme factors (frame widths near 2^31 give i near 2^62).
TColor TQelCustomControl::InterpolatedColor(TColor color1, TColor color2, int64_t n, int64_t i)
{
    color1 = platform::ColorToRGB(color1);
    color2 = platform::ColorToRGB(color2);
    if (n == 0)
        return color1;
    TColor out = 0;
    for (int shift = 0; shift < 32; shift += 8) {
        const __int128 a = (color1 >> shift) & 0xFF;
        const __int128 b = (color2 >> shift) & 0xFF;
        out = packByte(out, shift, a + (b - a) * i / n);
    }
    return out;
}

TColor TQelCustomControl::PonderatedColor(TColor color, int64_t i, int64_t n)
{
    color = platform::ColorToRGB(color);
    if (n == 0)
        return color;
    TColor out = 0;
    for (int shift = 0; shift < 32; shift += 8) {
        const __int128 a = (color >> shift) & 0xFF;
        out = packByte(out, shift, a * i / n);
    }
    return out;
}

TColor TQelCustomControl::Color() const
{
    if (parentColor_ && parentWidget()) {
        if (auto* p = qobject_cast<const TQelCustomControl*>(parentWidget()))
            return p->Color();
        return platform::FromQColor(parentWidget()->palette().color(QPalette::Window));
    }
    return color_;
}

void TQelCustomControl::SetColor(TColor c)
{
    if (c == color_ && !parentColor_)
        return;
    color_ = c;
    parentColor_ = false;
    Repaint();
}

void TQelCustomControl::SetParentColor(bool on)
{
    if (on == parentColor_)
        return;
    parentColor_ = on;
    Repaint();
}

void TQelCustomControl::changeEvent(QEvent* e)
{
    QWidget::changeEvent(e);
    if (e->type() == QEvent::EnabledChange)
        Repaint();
}

void TQelCustomControl::Repaint()
{
    if (!destroying_)
        repaint();
}

void TQelCustomControl::Paint(platform::TCanvas&) {}

void TQelCustomControl::paintEvent(QPaintEvent*)
{
    platform::TCanvas canvas(this);
    Paint(canvas);
}
