#include "NewTrackBar.h"

#include <QApplication>
#include <QPainter>
#include <QProxyStyle>
#include <QStyle>
#include <QStyleFactory>
#include <QStyleOptionSlider>

#include <algorithm>

namespace {

// The application's style with the thumb of the bar's own length: its extent across the bar is
// ThumbSize, its width along the bar the style's own, within half to all of that length. Each bar
// has its own (styles ask for these metrics without naming the widget).
class TThumbStyle : public QProxyStyle {
public:
    TThumbStyle(QStyle* base, const TNewTrackBar* bar) : QProxyStyle(base), bar_(bar) {}

    int pixelMetric(PixelMetric metric, const QStyleOption* option, const QWidget* widget) const override
    {
        switch (metric) {
        case PM_SliderThickness:
        case PM_SliderControlThickness:
            return bar_->ThumbSize();
        case PM_SliderLength:
            return std::clamp(QProxyStyle::pixelMetric(metric, option, widget), bar_->ThumbSize() / 2 + 1,
                              std::max(bar_->ThumbSize(), 1));
        default:
            return QProxyStyle::pixelMetric(metric, option, widget);
        }
    }

private:
    const TNewTrackBar* bar_;
};

}  // namespace

TNewTrackBar::TNewTrackBar(QWidget* parent) : QSlider(Qt::Horizontal, parent)
{
    QStyle* base = QStyleFactory::create(QApplication::style()->name());
    if (base) {
        auto* s = new TThumbStyle(base, this);
        s->setParent(this);
        setStyle(s);
    }
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
    updateGeometry();
    update();
}

void TNewTrackBar::SetEnableSelection(bool value)
{
    if (value == enableSelection_)
        return;
    enableSelection_ = value;
    update();
}

void TNewTrackBar::SetSelStart(int value)
{
    if (value == selStart_)
        return;
    selStart_ = value;
    update();
}

void TNewTrackBar::SetSelEnd(int value)
{
    if (value == selEnd_)
        return;
    selEnd_ = value;
    update();
}

QRect TNewTrackBar::ThumbRect() const
{
    QStyleOptionSlider opt;
    initStyleOption(&opt);
    return style()->subControlRect(QStyle::CC_Slider, &opt, QStyle::SC_SliderHandle, this);
}

void TNewTrackBar::SetPosition(int v)
{
    settingPosition_ = true;
    setValue(v);
    settingPosition_ = false;
}

int TNewTrackBar::PixelOf(int value) const
{
    QStyleOptionSlider opt;
    initStyleOption(&opt);
    const QRect groove = style()->subControlRect(QStyle::CC_Slider, &opt, QStyle::SC_SliderGroove, this);
    const QRect handle = style()->subControlRect(QStyle::CC_Slider, &opt, QStyle::SC_SliderHandle, this);
    const int span = groove.width() - handle.width();
    return groove.x() + handle.width() / 2 +
           QStyle::sliderPositionFromValue(minimum(), maximum(), value, span, opt.upsideDown);
}

int TNewTrackBar::GetTicPos(int i) const
{
    const int f = tickInterval();
    if (i < 0 || f <= 0 || maximum() <= minimum())
        return -1;
    const long long v = minimum() + (long long)(i + 1) * f;
    if (v >= maximum())
        return -1;
    return PixelOf(int(v));
}

void TNewTrackBar::paintEvent(QPaintEvent*)
{
    QStyleOptionSlider opt;
    initStyleOption(&opt);
    QPainter p(this);
    const QColor ink = palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::WindowText);
    opt.subControls = QStyle::SC_SliderGroove;
    if (tickPosition() != NoTicks)
        opt.subControls |= QStyle::SC_SliderTickmarks;
    style()->drawComplexControl(QStyle::CC_Slider, &opt, &p, this);
    const bool range = maximum() > minimum();
    if (enableSelection_ && range) {
        // The selection lies on the channel under the thumb, marked at both ends below the bar.
        const QRect groove = style()->subControlRect(QStyle::CC_Slider, &opt, QStyle::SC_SliderGroove, this);
        const int x0 = PixelOf(std::clamp(std::min(selStart_, selEnd_), minimum(), maximum()));
        const int x1 = PixelOf(std::clamp(std::max(selStart_, selEnd_), minimum(), maximum()));
        const int cy = groove.center().y();
        p.fillRect(QRect(x0, cy - 1, x1 - x0 + 1, 3),
                   palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::Highlight));
        p.setPen(ink);
        const int y = height() - 6;
        for (int x : {x0, x1}) {
            p.drawLine(x - 2, y - 2, x, y);
            p.drawLine(x + 2, y - 2, x, y);
        }
    }
    opt.subControls = QStyle::SC_SliderHandle;
    style()->drawComplexControl(QStyle::CC_Slider, &opt, &p, this);
    if (!range || tickInterval() <= 0)
        return;
    // The tick marks where GetTicPos puts them, so that the scale painted under the bar lines up.
    p.setPen(ink);
    const int y = height() - 5;
    const int first = PixelOf(minimum());
    const int last = PixelOf(maximum());
    p.drawLine(first, y, first, y + 3);
    p.drawLine(last, y, last, y + 3);
    for (int i = 0;; ++i) {
        const int x = GetTicPos(i);
        if (x < 0)
            break;
        p.drawLine(x, y, x, y + 2);
    }
}
