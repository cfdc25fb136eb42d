#include "QelVUBar.h"
#include <QCoreApplication>
#include <algorithm>

using platform::TColor;

TQelVUBar::TQelVUBar(QWidget* parent) : TQelFramedWindow(parent)
{
    // The bitmap covers the inside, so the frame leaves it unpainted.
    SetTransparent(true);
}

TQelVUBar::~TQelVUBar()
{
    // Pending messages of the application are handled first; none of them reaches this bar any more.
    BeginDestroy();
    QCoreApplication::processEvents();
}

void TQelVUBar::ProcessBuffer(const int16_t* buffer, uint32_t count, uint32_t step)
{
    const TQelVUEnvelope before = levels_;
    if (!levels_.Feed(buffer, count, step))
        return;
    // Buffers come faster than anyone looks: the bar is painted with the next paint event, and
    // only when a level it shows has moved.
    if (levels_.ValueMax == before.ValueMax && levels_.ValueMin == before.ValueMin &&
        levels_.PeakMax == before.PeakMax && levels_.PeakMin == before.PeakMin)
        return;
    redraw_ = true;
    update();
}

void TQelVUBar::redrawIf(bool changed)
{
    if (!changed)
        return;
    redraw_ = true;
    Repaint();
}

void TQelVUBar::SetBarType(TQelVUBarType t)
{
    if (t == barType_)
        return;
    barType_ = t;
    redrawIf(true);
}

void TQelVUBar::SetShowPeak(bool on)
{
    if (on == showPeak_)
        return;
    showPeak_ = on;
    redrawIf(true);
}

void TQelVUBar::setColour(TColor& field, TColor c)
{
    if (c == field)
        return;
    field = c;
    redrawIf(true);
}

void TQelVUBar::SetColorCenter(TColor c) { setColour(colorCenter_, c); }
void TQelVUBar::SetColorMiddle(TColor c) { setColour(colorMiddle_, c); }
void TQelVUBar::SetColorExtreme(TColor c) { setColour(colorExtreme_, c); }
void TQelVUBar::SetColorPeak(TColor c) { setColour(colorPeak_, c); }

void TQelVUBar::resizeEvent(QResizeEvent* e)
{
    TQelFramedWindow::resizeEvent(e);
    redraw_ = true;
}

// The range and the levels are 64-bit: Max - Min of two 32-bit values needs 33 bits. Blends over
// zero steps (ranges below 4) are handled by InterpolatedColor.
TColor TQelVUBar::LevelColor(int64_t l) const
{
    const int64_t r = int64_t(levels_.Max) - levels_.Min;
    const int64_t h = r / 2, q = r / 4, t = 3 * r / 4;
    switch (barType_) {
    case vubLeft:
    case vubTop:
        return l <= h ? InterpolatedColor(colorCenter_, colorMiddle_, h, l)
                      : InterpolatedColor(colorMiddle_, colorExtreme_, h, l - h);
    case vubRight:
    case vubBottom:
        return l <= h ? InterpolatedColor(colorExtreme_, colorMiddle_, h, l)
                      : InterpolatedColor(colorMiddle_, colorCenter_, h, l - h);
    case vubHorz:
    case vubVert:
        break;
    }
    if (l <= q)
        return InterpolatedColor(colorExtreme_, colorMiddle_, q, l);
    if (l <= h)
        return InterpolatedColor(colorMiddle_, colorCenter_, q, l - q);
    if (l <= t)
        return InterpolatedColor(colorCenter_, colorMiddle_, q, l - h);
    return InterpolatedColor(colorMiddle_, colorExtreme_, q, l - t);
}

void TQelVUBar::drawBar()
{
    const platform::TRect& in = Interior();
    const int w = std::max(2, in.Width()), hgt = std::max(2, in.Height());
    if (bitmap_.Width() != w || bitmap_.Height() != hgt)
        bitmap_.SetSize(w, hgt);
    platform::TCanvas& c = bitmap_.Canvas();
    c.Pen = platform::TPen{};
    c.Brush.Color = Color();
    c.Brush.Style = platform::bsSolid;
    c.FillRect(platform::TRect{0, 0, w, hgt});

    const int64_t min = levels_.Min, max = levels_.Max;
    const int64_t r = max - min;  // at least 1: Min stays below Max
    auto col = [&](int64_t v) { return (v - min) * (w - 1) / r; };
    auto row = [&](int64_t v) { return hgt - (v - min) * (hgt - 1) / r - 1; };
    const bool vertical = barType_ == vubLeft || barType_ == vubRight || barType_ == vubHorz;

    int64_t from = 0, to = -1;
    switch (barType_) {
    case vubLeft: from = 0; to = col(levels_.ValueMax); break;
    case vubRight: from = col(levels_.ValueMin); to = w - 1; break;
    case vubTop: from = 0; to = row(levels_.ValueMin); break;
    case vubBottom: from = row(levels_.ValueMax); to = hgt - 1; break;
    case vubHorz: from = col(levels_.ValueMin); to = col(levels_.ValueMax); break;
    case vubVert:
        from = (max - levels_.ValueMax) * (hgt - 1) / r;
        to = (max - levels_.ValueMin) * (hgt - 1) / r;
        break;
    }
    // Levels outside the range (through odd divisors) must not make the loop run off the bitmap.
    const int64_t last = (vertical ? w : hgt) - 1;
    from = std::max<int64_t>(from, 0);
    to = std::min<int64_t>(to, last);
    for (int64_t i = from; i <= to; ++i) {
        c.Pen.Color = LevelColor(r * i / last);
        const int p = static_cast<int>(i);
        if (vertical) {
            c.MoveTo(p, 0);
            c.LineTo(p, hgt);
        } else {
            c.MoveTo(0, p);
            c.LineTo(w, p);
        }
    }

    if (showPeak_) {
        c.Pen.Color = colorPeak_;
        auto column = [&](int64_t x) {
            if (x < 0 || x >= w)
                return;
            c.MoveTo(static_cast<int>(x), 0);
            c.LineTo(static_cast<int>(x), hgt);
        };
        auto line = [&](int64_t y) {
            if (y < 0 || y >= hgt)
                return;
            c.MoveTo(0, static_cast<int>(y));
            c.LineTo(w, static_cast<int>(y));
        };
        if (barType_ == vubLeft || barType_ == vubHorz) {
            column(col(levels_.PeakMax));
            column(col(levels_.PeakMax) + 1);
        }
        if (barType_ == vubRight || barType_ == vubHorz) {
            column(col(levels_.PeakMin));
            column(col(levels_.PeakMin) - 1);
        }
        if (barType_ == vubTop || barType_ == vubVert) {
            line(row(levels_.PeakMin));
            line(row(levels_.PeakMin) + 1);
        }
        if (barType_ == vubBottom || barType_ == vubVert) {
            line(row(levels_.PeakMax));
            line(row(levels_.PeakMax) - 1);
        }
    }
    redraw_ = false;
}

void TQelVUBar::Paint(platform::TCanvas& canvas)
{
    PaintFrame(canvas);
    // A size change that was not announced yet (a hidden control) also needs a new bitmap.
    const platform::TRect& in = Interior();
    if (bitmap_.Width() != std::max(2, in.Width()) || bitmap_.Height() != std::max(2, in.Height()))
        redraw_ = true;
    if (redraw_)
        drawBar();
    canvas.Draw(Interior().Left, Interior().Top, bitmap_);
}
