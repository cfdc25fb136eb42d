#include "NewTrackBar.h"

#include <QPainter>
#include <QStyle>
#include <QStyleOptionSlider>

TNewTrackBar::TNewTrackBar(QWidget* parent) : QSlider(Qt::Horizontal, parent)
{
    setTickPosition(QSlider::TicksBelow);
    setTickInterval(1);
    setTracking(true);
    connect(this, &QSlider::valueChanged, this, [this] {
        if (!settingPosition_ && OnChange)
            OnChange();
    });
}

void TNewTrackBar::SetThumbSize(int value)
{
    if (value == thumbSize_)
        return;
    thumbSize_ = value;
    update();
}

void TNewTrackBar::SetPosition(int v)
{
    settingPosition_ = true;
    setValue(v);
    settingPosition_ = false;
}

int TNewTrackBar::GetTicPos(int i) const
{
    const int f = tickInterval();
    if (i < 0 || f <= 0 || maximum() <= minimum())
        return -1;
    const long long v = minimum() + (long long)(i + 1) * f;
    if (v >= maximum())
        return -1;
    QStyleOptionSlider opt;
    initStyleOption(&opt);
    const QRect groove = style()->subControlRect(QStyle::CC_Slider, &opt, QStyle::SC_SliderGroove, this);
    const QRect handle = style()->subControlRect(QStyle::CC_Slider, &opt, QStyle::SC_SliderHandle, this);
    const int span = groove.width() - handle.width();
    return groove.x() + handle.width() / 2 +
           QStyle::sliderPositionFromValue(minimum(), maximum(), int(v), span, opt.upsideDown);
}

void TNewTrackBar::paintEvent(QPaintEvent* event)
{
    QSlider::paintEvent(event);
    if (maximum() <= minimum() || tickInterval() <= 0)
        return;
    QStyleOptionSlider opt;
    initStyleOption(&opt);
    const QRect groove = style()->subControlRect(QStyle::CC_Slider, &opt, QStyle::SC_SliderGroove, this);
    const QRect handle = style()->subControlRect(QStyle::CC_Slider, &opt, QStyle::SC_SliderHandle, this);
    QPainter p(this);
    p.setPen(palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::WindowText));
    const int y = height() - 5;
    const int first = groove.x() + handle.width() / 2;
    const int last = first + groove.width() - handle.width();
    p.drawLine(first, y, first, y + 3);
    p.drawLine(last, y, last, y + 3);
    for (int i = 0;; ++i) {
        const int x = GetTicPos(i);
        if (x < 0)
            break;
        p.drawLine(x, y, x, y + 2);
    }
}
