#include "QelFramedWindow.h"
#include <QMouseEvent>
#include <algorithm>

using platform::TColor;

TQelFramedWindow::TQelFramedWindow(QWidget* parent) : TQelCustomControl(parent)
{
    SetColor(0x808080);
    resize(80, 30);
}

void TQelFramedWindow::SetBackground(TColor c)
{
    if (c == background_)
        return;
    background_ = c;
    Repaint();
}

void TQelFramedWindow::SetFrameStyle(TQelFramedWindowStyle s)
{
    if (s == frameStyle_)
        return;
    frameStyle_ = s;
    Repaint();
}

void TQelFramedWindow::SetFrameWidth(int32_t w)
{
    if (w == frameWidth_)
        return;
    frameWidth_ = w;
    Repaint();
}

void TQelFramedWindow::SetTransparent(bool on)
{
    if (on == transparent_)
        return;
    transparent_ = on;
    Repaint();
}

void TQelFramedWindow::Paint(platform::TCanvas& canvas) { PaintFrame(canvas); }

void TQelFramedWindow::PaintFrame(platform::TCanvas& canvas)
{
    platform::TRect r{0, 0, width(), height()};
    const TColor c = Color();
    const int64_t f = frameWidth_;
    // Rings past the larger side of the control lie wholly outside it; a huge width must not loop on.
    const int64_t rings = std::min<int64_t>(f, std::max(width(), height()));
    for (int64_t k = 0; k < rings; ++k) {
        TColor light, dark;
        if (f == 1) {
            light = PonderatedColor(c, 3, 2);
            dark = PonderatedColor(c, 1, 2);
        } else {
            light = PonderatedColor(c, f * f + 2 * f - 2 * k, f * f);
            dark = PonderatedColor(c, f * f - 2 * f + 2 * k, f * f);
        }
        const bool raised = frameStyle_ == fsRaised;
        canvas.Pen.Color = raised ? light : dark;
        canvas.MoveTo(r.Left, r.Bottom - 2);
        canvas.LineTo(r.Left, r.Top);
        canvas.LineTo(r.Right - 1, r.Top);
        canvas.Pen.Color = raised ? dark : light;
        canvas.LineTo(r.Right - 1, r.Bottom - 1);
        canvas.LineTo(r.Left - 1, r.Bottom - 1);
        r = platform::TRect{r.Left + 1, r.Top + 1, r.Right - 1, r.Bottom - 1};
    }
    if (f > rings) {
        const int extra = static_cast<int>(std::min<int64_t>(f - rings, 1 << 20));
        r = platform::TRect{r.Left + extra, r.Top + extra, r.Right - extra, r.Bottom - extra};
    }
    canvas.Brush.Color = background_;
    canvas.Brush.Style = platform::bsSolid;
    if (!transparent_)
        canvas.FillRect(r);
    interior_ = r;
}

void TQelFramedWindow::FireClick()
{
    if (OnClick)
        OnClick(this);
}

void TQelFramedWindow::mousePressEvent(QMouseEvent* e)
{
    if (e->button() == Qt::LeftButton && isEnabled())
        clickDown_ = true;
}

void TQelFramedWindow::mouseReleaseEvent(QMouseEvent* e)
{
    if (e->button() != Qt::LeftButton || !clickDown_)
        return;
    clickDown_ = false;
    if (rect().contains(e->position().toPoint()))
        FireClick();
}
