#include "NewTrackBar.h"

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
