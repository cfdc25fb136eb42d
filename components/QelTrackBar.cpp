#include "QelTrackBar.h"
#include <QPainter>
#include <QStyle>
#include <QStyleOptionSlider>

TQelTrackBar::TQelTrackBar(QWidget* parent) : QSlider(Qt::Horizontal, parent)
{
    setRange(0, 10);
}

void TQelTrackBar::SetSelRange(bool on)
{
    if (on == selRange_)
        return;
    selRange_ = on;
    update();
}

void TQelTrackBar::SetSelStart(int v)
{
    if (v == selStart_)
        return;
    selStart_ = v;
    if (selRange_)
        update();
}

void TQelTrackBar::SetSelEnd(int v)
{
    if (v == selEnd_)
        return;
    selEnd_ = v;
    if (selRange_)
        update();
}

void TQelTrackBar::paintEvent(QPaintEvent* e)
{
    QSlider::paintEvent(e);
    if (!selRange_ || selEnd_ <= selStart_)
        return;
    // The selection is a band along the groove between the two positions.
    QStyleOptionSlider opt;
    initStyleOption(&opt);
    const QRect groove = style()->subControlRect(QStyle::CC_Slider, &opt, QStyle::SC_SliderGroove, this);
    const bool horizontal = orientation() == Qt::Horizontal;
    const int span = horizontal ? groove.width() : groove.height();
    const int a = QStyle::sliderPositionFromValue(minimum(), maximum(), selStart_, span, opt.upsideDown);
    const int b = QStyle::sliderPositionFromValue(minimum(), maximum(), selEnd_, span, opt.upsideDown);
    QRect band = horizontal ? QRect(groove.left() + std::min(a, b), groove.top(), std::abs(b - a) + 1, groove.height())
                            : QRect(groove.left(), groove.top() + std::min(a, b), groove.width(), std::abs(b - a) + 1);
    QPainter p(this);
    p.fillRect(band, palette().color(QPalette::Highlight));
}
