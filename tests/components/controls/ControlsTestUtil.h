#pragma once
// Rendering helpers for the control tests: paint a widget into an image that was filled first, so
// pixels the control leaves alone keep the fill.
#include <QImage>
#include <QWidget>
#include <platform/ui/Canvas.h>

inline QImage renderOver(QWidget& w, QRgb fill = qRgb(1, 2, 3))
{
    QImage img(w.size(), QImage::Format_RGB32);
    img.fill(fill);
    w.render(&img, QPoint(), QRegion(), QWidget::DrawChildren);
    return img;
}

inline platform::TColor px(const QImage& img, int x, int y)
{
    return platform::FromQColor(QColor::fromRgb(img.pixel(x, y)));
}
