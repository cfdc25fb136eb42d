#include "LevelMeter.h"

#include "MulDiv.h"

#include <QFontMetrics>
#include <QMouseEvent>
#include <QPainter>

#include <algorithm>

namespace {

const QColor kMarkerRed(255, 0, 0);

// One row of pixels from x1 up to but not including x2.
void Row(QPainter& p, int x1, int x2, int y, const QColor& c)
{
    if (x2 > x1)
        p.fillRect(QRect(x1, y, x2 - x1, 1), c);
}

// A ring of 1 pixel: `topLeft` along the top and left, `bottomRight` along the bottom and right.
void Ring(QPainter& p, const QRect& r, const QColor& topLeft, const QColor& bottomRight)
{
    p.fillRect(QRect(r.left(), r.top(), r.width() - 1, 1), topLeft);
    p.fillRect(QRect(r.left(), r.top(), 1, r.height() - 1), topLeft);
    p.fillRect(QRect(r.left(), r.bottom(), r.width(), 1), bottomRight);
    p.fillRect(QRect(r.right(), r.top(), 1, r.height()), bottomRight);
}

}  // namespace

TLevelMeter::TLevelMeter(QWidget* parent) : QWidget(parent), color_(palette().color(QPalette::Button))
{
    setAttribute(Qt::WA_OpaquePaintEvent);  // the meter paints its whole area
    resize(32, 32);
}

void TLevelMeter::SetSLevel(int32_t value)
{
    value = std::clamp(value, 0, 100);
    if (value == sLevel_)
        return;
    sLevel_ = value;
    update();
    if (OnSignalChange)
        OnSignalChange(this);
}

void TLevelMeter::SetSquelch(int32_t value)
{
    value = std::clamp(value, 0, 98);
    if (value == squelch_)
        return;
    squelch_ = value;
    if (OnSquelchChange)
        OnSquelchChange(this);
    repaint();
}

void TLevelMeter::SetStyle(TMeterStyle value)
{
    if (value == style_)
        return;
    style_ = value;
    repaint();
}

void TLevelMeter::SetColor(const QColor& c)
{
    if (c == color_)
        return;
    color_ = c;
    update();
}

void TLevelMeter::SetFontColor(const QColor& c)
{
    QPalette pal = palette();
    pal.setColor(QPalette::WindowText, c);
    setPalette(pal);
}

int TLevelMeter::TextHeightE() const { return QFontMetrics(font()).size(0, QStringLiteral("E")).height(); }

QImage TLevelMeter::Render() const
{
    const int w = std::max(width(), 1);
    const int h = std::max(height(), 1);
    QImage img(w, h, QImage::Format_RGB32);
    QPainter p(&img);
    const QPalette& pal = palette();
    // Sunken frame of two rings, then the background inside.
    QRect r(0, 0, w, h);
    Ring(p, r, pal.color(QPalette::Dark), pal.color(QPalette::Light));
    r.adjust(1, 1, -1, -1);
    Ring(p, r, pal.color(QPalette::Shadow), pal.color(QPalette::Midlight));
    r.adjust(1, 1, -1, -1);
    // Edges as exclusive coordinates: Right and Bottom are one past the last pixel.
    const int left = r.left(), top = r.top(), right = r.left() + r.width(), bottom = r.top() + r.height();
    p.fillRect(r, color_);
    if (!isEnabled())
        return img;

    // Every style is drawn as the vertical meter.
    const QColor ink = pal.color(QPalette::WindowText);
    const int th = TextHeightE();
    const int32_t s = (bottom - top) - th / 2 - 4;
    const int x0 = left + 2, y0 = top + 2, xm = w / 2 - 3;
    for (int i = 0; i <= 10; ++i)
        Row(p, x0, xm - 1, y0 + MulDiv(s, 10 * i, 100), ink);
    const int barTop = top + MulDiv(s, 100 - sLevel_, 100) + 2;
    if (right - 5 > xm + 1 && bottom - 2 > barTop)
        p.fillRect(QRect(xm + 1, barTop, right - 5 - (xm + 1), bottom - 2 - barTop), ink);
    // The marker: a solid triangle pointing left, its tip at (xs, ys), 13 rows high.
    const int xs = right - 8, ys = y0 + MulDiv(s, 100 - squelch_, 100);
    for (int i = 0; i <= 6; ++i) {
        Row(p, xs + i, xs + 7, ys + i, kMarkerRed);
        Row(p, xs + i, xs + 7, ys - i, kMarkerRed);
    }
    return img;
}

void TLevelMeter::paintEvent(QPaintEvent*)
{
    const QImage img = Render();
    QPainter p(this);
    p.drawImage(0, 0, img);
}

bool MeterDragSquelch(int y, int height, int textHeight, int32_t& squelch)
{
    // The inverse of the marker's placement for the 2-pixel frame; a meter no taller than its frame
    // and half a letter has no scale to drag along.
    const int span = height - 8 - textHeight / 2;
    if (span <= 0)
        return false;
    squelch = 100 - (y - 4) * 100 / span;
    return true;
}

void TLevelMeter::mousePressEvent(QMouseEvent* event)
{
    QWidget::mousePressEvent(event);
    if (event->button() != Qt::LeftButton || !isEnabled())
        return;
    const QPoint at = event->position().toPoint();
    const QImage img = Render();
    if (img.valid(at) && QColor(img.pixel(at)) == kMarkerRed)
        dragging_ = true;
}

void TLevelMeter::mouseMoveEvent(QMouseEvent* event)
{
    QWidget::mouseMoveEvent(event);
    int32_t squelch;
    if (dragging_ && MeterDragSquelch(event->position().toPoint().y(), height(), TextHeightE(), squelch))
        SetSquelch(squelch);
}

void TLevelMeter::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton && dragging_)
        dragging_ = false;
    QWidget::mouseReleaseEvent(event);
}

void TLevelMeter::changeEvent(QEvent* event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::EnabledChange || event->type() == QEvent::FontChange ||
        event->type() == QEvent::PaletteChange)
        update();
}
