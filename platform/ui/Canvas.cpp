#include "Canvas.h"

#include <QFont>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QPalette>
#include <QPolygonF>
#include <QWidget>
#include <algorithm>
#include <cstdlib>
#include <map>
#include <tuple>

namespace platform {

namespace {

// Colours of the classic desktop scheme, used when no GUI application supplies a palette.
constexpr TColor kClassicSystemColors[] = {
    0xC8C8C8, 0x000000, 0x800000, 0x808080, 0xC0C0C0, 0xFFFFFF, 0x000000, 0x000000, 0x000000,
    0xFFFFFF, 0xC0C0C0, 0xC0C0C0, 0x808080, 0x800000, 0xFFFFFF, 0xC0C0C0, 0x808080, 0x808080,
    0x000000, 0xC0C0C0, 0xFFFFFF, 0x000000, 0xDFDFDF, 0x000000, 0xE1FFFF,
};
constexpr unsigned kSystemColorCount = sizeof kClassicSystemColors / sizeof kClassicSystemColors[0];

QColor paletteColor(unsigned index, const QPalette& p)
{
    using R = QPalette;
    switch (index) {
    case 0: return p.color(R::Button);
    case 1: return p.color(R::Window);
    case 2: return p.color(R::Highlight);
    case 3: return p.color(R::Mid);
    case 4: return p.color(R::Window);
    case 5: return p.color(R::Base);
    case 6: return p.color(R::Shadow);
    case 7: return p.color(R::WindowText);
    case 8: return p.color(R::Text);
    case 9: return p.color(R::HighlightedText);
    case 10: return p.color(R::Window);
    case 11: return p.color(R::Window);
    case 12: return p.color(R::Dark);
    case 13: return p.color(R::Highlight);
    case 14: return p.color(R::HighlightedText);
    case 15: return p.color(R::Button);
    case 16: return p.color(R::Dark);
    case 17: return p.color(R::Disabled, R::Text);
    case 18: return p.color(R::ButtonText);
    case 19: return p.color(R::Disabled, R::WindowText);
    case 20: return p.color(R::Light);
    case 21: return p.color(R::Shadow);
    case 22: return p.color(R::Midlight);
    case 23: return p.color(R::ToolTipText);
    case 24: return p.color(R::ToolTipBase);
    default: return QColor(0, 0, 0);
    }
}

// a * b / c rounded half away from zero, as the system's integer scaling does.
int mulDiv(int a, int b, int c)
{
    if (c == 0)
        return -1;
    long long p = static_cast<long long>(a) * b;
    long long q = (std::llabs(p) + std::llabs(static_cast<long long>(c)) / 2) / std::llabs(static_cast<long long>(c));
    return static_cast<int>(((p < 0) != (c < 0)) ? -q : q);
}

// Pixel lengths of the dash patterns of a one-pixel pen: on, off, on, off ...
const std::vector<int>& dashPattern(TPenStyle s)
{
    static const std::vector<int> none, dash{18, 6}, dot{3, 3}, dashDot{9, 6, 3, 6}, dashDotDot{9, 3, 3, 3, 3, 3};
    switch (s) {
    case psDash: return dash;
    case psDot: return dot;
    case psDashDot: return dashDot;
    case psDashDotDot: return dashDotDot;
    default: return none;
    }
}

bool patternOn(const std::vector<int>& pattern, int phase)
{
    if (pattern.empty())
        return true;
    int period = 0;
    for (int n : pattern)
        period += n;
    int pos = phase % period;
    for (size_t i = 0; i < pattern.size(); ++i) {
        if (pos < pattern[i])
            return i % 2 == 0;
        pos -= pattern[i];
    }
    return true;
}

QRect toQRect(const TRect& r) { return QRect(r.Left, r.Top, r.Width(), r.Height()); }

TRect normalised(int x1, int y1, int x2, int y2)
{
    return TRect{std::min(x1, x2), std::min(y1, y2), std::max(x1, x2), std::max(y1, y2)};
}

}  // namespace

TColor ColorToRGB(TColor c)
{
    if (c == clNone || c == clrInvalid)
        return clBlack;
    if (!IsSystemColor(c))
        return c & 0x00FFFFFFu;
    unsigned index = c & 0xFFu;
    if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
        return index < kSystemColorCount ? kClassicSystemColors[index] : clBlack;
    return FromQColor(paletteColor(index, QGuiApplication::palette()));
}

QColor ToQColor(TColor c)
{
    TColor rgb = ColorToRGB(c);
    return QColor(static_cast<int>(GetRValue(rgb)), static_cast<int>(GetGValue(rgb)), static_cast<int>(GetBValue(rgb)));
}

TColor FromQColor(const QColor& c)
{
    QColor rgb = c.toRgb();
    return RGB(static_cast<unsigned>(rgb.red()), static_cast<unsigned>(rgb.green()), static_cast<unsigned>(rgb.blue()));
}

int TFont::Size() const { return -mulDiv(Height, 72, kPixelsPerInch); }

void TFont::SetSize(int points) { Height = -mulDiv(points, kPixelsPerInch, 72); }

QFont ToQFont(const TFont& f)
{
    QFont q(QString::fromStdString(f.Name));
    q.setBold(f.Style & fsBold);
    q.setItalic(f.Style & fsItalic);
    q.setUnderline(f.Style & fsUnderline);
    q.setStrikeOut(f.Style & fsStrikeOut);
    int h = f.Height == 0 ? -11 : f.Height;
    if (h < 0) {
        q.setPixelSize(std::clamp(-h, 1, 4096));
        return q;
    }
    // A cell height: the largest pixel size whose ascent plus descent fits it.
    h = std::clamp(h, 1, 4096);
    thread_local std::map<std::tuple<std::string, int, unsigned>, int> cache;
    auto key = std::make_tuple(f.Name, h, f.Style);
    auto it = cache.find(key);
    if (it != cache.end()) {
        q.setPixelSize(it->second);
        return q;
    }
    int best = 1;
    for (int px = h; px >= 1; --px) {
        q.setPixelSize(px);
        if (QFontMetrics(q).height() <= h) {
            best = px;
            break;
        }
    }
    cache[key] = best;
    q.setPixelSize(best);
    return q;
}

// ---- TCanvas -------------------------------------------------------------------------------------

TCanvas::TCanvas(QImage* image) : image_(image), device_(image) {}

TCanvas::TCanvas(QPaintDevice* device) : device_(device) {}

TCanvas::~TCanvas() { Release(); }

void TCanvas::begin()
{
    if (painter_ && painter_->isActive())
        return;
    if (!device_ || (image_ && image_->isNull()))
        return;
    if (!painter_)
        painter_ = std::make_unique<QPainter>();
    if (painter_->begin(device_))
        painter_->setRenderHint(QPainter::Antialiasing, false);
}

QPainter& TCanvas::Painter()
{
    begin();
    if (!painter_)
        painter_ = std::make_unique<QPainter>();
    return *painter_;
}

void TCanvas::Release()
{
    if (painter_ && painter_->isActive())
        painter_->end();
}

void TCanvas::applyMode()
{
    QPainter& p = Painter();
    switch (Pen.Mode) {
    case pmXor: p.setCompositionMode(QPainter::RasterOp_SourceXorDestination); break;
    case pmNot: p.setCompositionMode(QPainter::RasterOp_NotDestination); break;
    default: p.setCompositionMode(QPainter::CompositionMode_SourceOver); break;
    }
}

QPen TCanvas::qpen() const
{
    if (Pen.Style == psClear)
        return QPen(Qt::NoPen);
    QPen p(ToQColor(Pen.Color));
    p.setWidth(std::max(1, Pen.Width));
    p.setCapStyle(Qt::RoundCap);
    p.setJoinStyle(Qt::RoundJoin);
    switch (Pen.Style) {
    case psDash: p.setStyle(Qt::DashLine); break;
    case psDot: p.setStyle(Qt::DotLine); break;
    case psDashDot: p.setStyle(Qt::DashDotLine); break;
    case psDashDotDot: p.setStyle(Qt::DashDotDotLine); break;
    default: break;
    }
    return p;
}

QBrush TCanvas::qbrush() const
{
    if (Brush.Style == bsClear)
        return QBrush(Qt::NoBrush);
    return QBrush(ToQColor(Brush.Color));
}

QColor TCanvas::fontColor() const { return ToQColor(Font.Color); }

void TCanvas::MoveTo(int x, int y)
{
    penPos_ = QPoint(x, y);
    dashPhase_ = 0;
}

// One-pixel lines are plotted point by point so that the end pixel is exactly the one left out.
void TCanvas::plotLine(int x0, int y0, int x1, int y1)
{
    QPainter& p = Painter();
    if (!p.isActive() || Pen.Style == psClear)
        return;
    applyMode();
    QColor colour = ToQColor(Pen.Color);
    const std::vector<int>& pattern = dashPattern(Pen.Style);
    if (pattern.empty() && (x0 == x1 || y0 == y1)) {
        if (x0 == x1 && y0 == y1)
            return;
        QRect r = (y0 == y1) ? (x1 > x0 ? QRect(x0, y0, x1 - x0, 1) : QRect(x1 + 1, y0, x0 - x1, 1))
                             : (y1 > y0 ? QRect(x0, y0, 1, y1 - y0) : QRect(x0, y1 + 1, 1, y0 - y1));
        p.fillRect(r, colour);
        return;
    }
    std::vector<QPoint> points;
    long long dx = std::llabs(static_cast<long long>(x1) - x0), dy = -std::llabs(static_cast<long long>(y1) - y0);
    int sx = x0 < x1 ? 1 : -1, sy = y0 < y1 ? 1 : -1;
    long long err = dx + dy;
    int x = x0, y = y0;
    while (!(x == x1 && y == y1)) {
        if (patternOn(pattern, dashPhase_))
            points.emplace_back(x, y);
        ++dashPhase_;
        long long e2 = 2 * err;
        if (e2 >= dy) {
            err += dy;
            x += sx;
        }
        if (e2 <= dx) {
            err += dx;
            y += sy;
        }
    }
    if (points.empty())
        return;
    p.setPen(QPen(colour, 1));
    p.drawPoints(points.data(), static_cast<int>(points.size()));
}

void TCanvas::LineTo(int x, int y)
{
    if (Pen.Width <= 1) {
        plotLine(penPos_.x(), penPos_.y(), x, y);
    } else if (Pen.Style != psClear) {
        QPainter& p = Painter();
        if (p.isActive()) {
            applyMode();
            p.setPen(qpen());
            p.drawLine(QPointF(penPos_.x() + 0.5, penPos_.y() + 0.5), QPointF(x + 0.5, y + 0.5));
        }
    }
    penPos_ = QPoint(x, y);
}

void TCanvas::Polyline(const std::vector<QPoint>& points)
{
    if (points.empty())
        return;
    QPoint saved = penPos_;
    MoveTo(points[0].x(), points[0].y());
    for (size_t i = 1; i < points.size(); ++i)
        LineTo(points[i].x(), points[i].y());
    penPos_ = saved;
}

void TCanvas::Polygon(const std::vector<QPoint>& points)
{
    if (points.empty())
        return;
    QPainter& p = Painter();
    if (!p.isActive())
        return;
    if (Brush.Style != bsClear && points.size() >= 3) {
        applyMode();
        QPolygonF poly;
        for (const QPoint& pt : points)
            poly << QPointF(pt.x() + 0.5, pt.y() + 0.5);
        p.setPen(Qt::NoPen);
        p.setBrush(qbrush());
        p.drawPolygon(poly, Qt::OddEvenFill);
    }
    std::vector<QPoint> closed = points;
    closed.push_back(points.front());
    Polyline(closed);
}

void TCanvas::Rectangle(int x1, int y1, int x2, int y2)
{
    TRect r = normalised(x1, y1, x2, y2);
    if (r.IsEmpty())
        return;
    QPainter& p = Painter();
    if (!p.isActive())
        return;
    if (Pen.Style == psClear) {
        if (Brush.Style != bsClear && r.Width() > 1 && r.Height() > 1) {
            applyMode();
            p.fillRect(QRect(r.Left, r.Top, r.Width() - 1, r.Height() - 1), ToQColor(Brush.Color));
        }
        return;
    }
    if (Pen.Width <= 1) {
        if (Brush.Style != bsClear && r.Width() > 2 && r.Height() > 2) {
            applyMode();
            p.fillRect(QRect(r.Left + 1, r.Top + 1, r.Width() - 2, r.Height() - 2), ToQColor(Brush.Color));
        }
        QPoint saved = penPos_;
        if (r.Width() == 1 || r.Height() == 1) {
            // A one-pixel-thin rectangle is all outline: plot it once so an XOR pen still shows it.
            MoveTo(r.Left, r.Top);
            if (r.Width() == 1)
                plotLine(r.Left, r.Top, r.Left, r.Bottom);
            else
                plotLine(r.Left, r.Top, r.Right, r.Top);
        } else {
            MoveTo(r.Left, r.Top);
            plotLine(r.Left, r.Top, r.Right - 1, r.Top);
            plotLine(r.Right - 1, r.Top, r.Right - 1, r.Bottom - 1);
            plotLine(r.Right - 1, r.Bottom - 1, r.Left, r.Bottom - 1);
            plotLine(r.Left, r.Bottom - 1, r.Left, r.Top);
        }
        penPos_ = saved;
        dashPhase_ = 0;
        return;
    }
    // A wide pen is centred on the outline.
    applyMode();
    QPen pen = qpen();
    pen.setJoinStyle(Qt::MiterJoin);
    p.setPen(pen);
    p.setBrush(qbrush());
    p.drawRect(QRectF(r.Left + 0.5, r.Top + 0.5, r.Width() - 1, r.Height() - 1));
}

void TCanvas::FillRect(const TRect& r)
{
    if (r.IsEmpty() || Brush.Style == bsClear)
        return;
    QPainter& p = Painter();
    if (!p.isActive())
        return;
    p.setCompositionMode(QPainter::CompositionMode_SourceOver);
    p.fillRect(toQRect(r), ToQColor(Brush.Color));
}

void TCanvas::FrameRect(const TRect& r)
{
    if (r.IsEmpty() || Brush.Style == bsClear)
        return;
    QPainter& p = Painter();
    if (!p.isActive())
        return;
    p.setCompositionMode(QPainter::CompositionMode_SourceOver);
    QColor c = ToQColor(Brush.Color);
    p.fillRect(QRect(r.Left, r.Top, r.Width(), 1), c);
    if (r.Height() > 1)
        p.fillRect(QRect(r.Left, r.Bottom - 1, r.Width(), 1), c);
    if (r.Height() > 2) {
        p.fillRect(QRect(r.Left, r.Top + 1, 1, r.Height() - 2), c);
        if (r.Width() > 1)
            p.fillRect(QRect(r.Right - 1, r.Top + 1, 1, r.Height() - 2), c);
    }
}

void TCanvas::RoundRect(int x1, int y1, int x2, int y2, int cornerW, int cornerH)
{
    TRect r = normalised(x1, y1, x2, y2);
    if (r.IsEmpty())
        return;
    QPainter& p = Painter();
    if (!p.isActive())
        return;
    applyMode();
    p.setPen(qpen());
    p.setBrush(qbrush());
    qreal rx = std::clamp(cornerW / 2.0, 0.0, (r.Width() - 1) / 2.0);
    qreal ry = std::clamp(cornerH / 2.0, 0.0, (r.Height() - 1) / 2.0);
    p.drawRoundedRect(QRectF(r.Left + 0.5, r.Top + 0.5, r.Width() - 1, r.Height() - 1), rx, ry, Qt::AbsoluteSize);
}

void TCanvas::Ellipse(int x1, int y1, int x2, int y2)
{
    TRect r = normalised(x1, y1, x2, y2);
    if (r.IsEmpty())
        return;
    QPainter& p = Painter();
    if (!p.isActive())
        return;
    applyMode();
    p.setPen(qpen());
    p.setBrush(qbrush());
    p.drawEllipse(QRectF(r.Left + 0.5, r.Top + 0.5, r.Width() - 1, r.Height() - 1));
}

void TCanvas::TextOut(int x, int y, const QString& text)
{
    QPainter& p = Painter();
    if (p.isActive()) {
        p.setCompositionMode(QPainter::CompositionMode_SourceOver);
        QFont f = ToQFont(Font);
        p.setFont(f);
        QFontMetrics fm(f);
        if (Brush.Style != bsClear)
            p.fillRect(QRect(x, y, fm.horizontalAdvance(text), fm.height()), ToQColor(Brush.Color));
        p.setPen(fontColor());
        p.drawText(QPoint(x, y + fm.ascent()), text);
    }
    penPos_ = QPoint(x + TextWidth(text), y);
}

void TCanvas::TextRect(const TRect& r, int x, int y, const QString& text)
{
    QPainter& p = Painter();
    if (!p.isActive() || r.IsEmpty())
        return;
    p.save();
    p.setCompositionMode(QPainter::CompositionMode_SourceOver);
    p.setClipRect(toQRect(r), Qt::IntersectClip);
    if (Brush.Style != bsClear)
        p.fillRect(toQRect(r), ToQColor(Brush.Color));
    QFont f = ToQFont(Font);
    p.setFont(f);
    p.setPen(fontColor());
    p.drawText(QPoint(x, y + QFontMetrics(f).ascent()), text);
    p.restore();
}

int TCanvas::TextWidth(const QString& text) { return TextExtent(text).width(); }

int TCanvas::TextHeight(const QString& text) { return TextExtent(text).height(); }

QSize TCanvas::TextExtent(const QString& text)
{
    QFontMetrics fm(ToQFont(Font));
    return QSize(fm.horizontalAdvance(text), fm.height());
}

TColor TCanvas::Pixel(int x, int y)
{
    if (image_) {
        if (!image_->valid(x, y))
            return clrInvalid;
        return FromQColor(QColor::fromRgb(image_->pixel(x, y)));
    }
    if (auto* w = dynamic_cast<QWidget*>(device_)) {
        Release();
        QImage shot = w->grab(QRect(x, y, 1, 1)).toImage();
        if (x < 0 || y < 0 || x >= w->width() || y >= w->height() || shot.isNull())
            return clrInvalid;
        return FromQColor(QColor::fromRgb(shot.pixel(0, 0)));
    }
    return clrInvalid;
}

void TCanvas::SetPixel(int x, int y, TColor c)
{
    QPainter& p = Painter();
    if (!p.isActive())
        return;
    p.setCompositionMode(QPainter::CompositionMode_Source);
    p.fillRect(QRect(x, y, 1, 1), ToQColor(c));
}

void TCanvas::Draw(int x, int y, const QImage& image)
{
    QPainter& p = Painter();
    if (!p.isActive() || image.isNull())
        return;
    p.setCompositionMode(QPainter::CompositionMode_Source);
    p.drawImage(QPoint(x, y), image);
}

void TCanvas::Draw(int x, int y, TBitmap& bitmap) { Draw(x, y, bitmap.Image()); }

void TCanvas::CopyRect(const TRect& dest, const QImage& image, const TRect& src)
{
    QPainter& p = Painter();
    if (!p.isActive() || image.isNull() || dest.IsEmpty() || src.IsEmpty())
        return;
    p.setCompositionMode(QPainter::CompositionMode_Source);
    p.drawImage(toQRect(dest), image, toQRect(src));
}

void TCanvas::CopyRect(const TRect& dest, TBitmap& bitmap, const TRect& src) { CopyRect(dest, bitmap.Image(), src); }

void TCanvas::CopyRect(const TRect& dest, const TRect& src)
{
    if (!image_ || src.IsEmpty())
        return;
    // Overlapping source and destination (a scroll) need the source taken out first.
    QImage part = image_->copy(toQRect(src));
    CopyRect(dest, part, TRect{0, 0, src.Width(), src.Height()});
}

// ---- TBitmap -------------------------------------------------------------------------------------

TBitmap::TBitmap(int width, int height) : canvas_(&image_) { SetSize(width, height); }

void TBitmap::SetSize(int width, int height)
{
    canvas_.Release();
    width = std::max(0, width);
    height = std::max(0, height);
    if (width == 0 || height == 0) {
        image_ = QImage();
        return;
    }
    image_ = QImage(width, height, QImage::Format_RGB32);
    image_.fill(Qt::white);
}

const QImage& TBitmap::Image()
{
    canvas_.Release();
    return image_;
}

}  // namespace platform
