#include "MyScrollBar.h"

#include <QAbstractSlider>
#include <QScrollBar>
#include <QStyle>

#include <algorithm>

TMyScrollBar::TMyScrollBar(QWidget* parent) : QWidget(parent), bar_(new QScrollBar(Qt::Horizontal, this))
{
    setFocusPolicy(Qt::StrongFocus);
    resize(121, style()->pixelMetric(QStyle::PM_ScrollBarExtent));
    connect(bar_, &QAbstractSlider::actionTriggered, this, &TMyScrollBar::ActionTriggered);
    UpdateSystemBar();
}

void TMyScrollBar::SetKind(TScrollBarKind kind)
{
    if (kind == kind_)
        return;
    kind_ = kind;
    resize(height(), width());
    bar_->setOrientation(kind == sbHorizontal ? Qt::Horizontal : Qt::Vertical);
    UpdateSystemBar();
}

void TMyScrollBar::SetParams(int32_t position, int32_t min, int32_t max)
{
    if (max < min)
        throw EInvalidOperation("Scrollbar property out of range");
    position = std::clamp(position, min, max);
    if (min != min_ || max != max_) {
        min_ = min;
        max_ = max;
        position_ = position;
        UpdateSystemBar();
    } else if (position != position_) {
        position_ = position;
        UpdateSystemBar();
        Change();
    }
}

void TMyScrollBar::SetLargeChange(int32_t v)
{
    if (v == largeChange_ || v <= 0)
        return;
    largeChange_ = v;
    const int64_t last = int64_t(max_) - v + 1;
    if (last < position_)
        position_ = static_cast<int32_t>(last);
    UpdateSystemBar();
}

void TMyScrollBar::DoScroll(int code, int32_t trackPos)
{
    int64_t pos;
    switch (code) {
    case 0: pos = int64_t(position_) - smallChange_; break;
    case 1: pos = int64_t(position_) + smallChange_; break;
    case 2: pos = int64_t(position_) - largeChange_; break;
    case 3: pos = int64_t(position_) + largeChange_; break;
    case 4:
    case 5: pos = trackPos; break;
    case 6: pos = min_; break;
    case 7: pos = max_; break;
    default: pos = position_; break;
    }
    pos = std::max<int64_t>(pos, min_);
    pos = std::min<int64_t>(pos, int64_t(max_) - largeChange_ + 1);
    int32_t p = static_cast<int32_t>(std::clamp<int64_t>(pos, INT32_MIN, INT32_MAX));
    Scroll(code, p);
    SetPosition(p);
    UpdateSystemBar();  // the system bar shows our position, whatever its own action computed
}

void TMyScrollBar::Change()
{
    if (OnChange)
        OnChange(this);
}

void TMyScrollBar::Scroll(int code, int32_t& position)
{
    if (OnScroll)
        OnScroll(this, code, position);
}

void TMyScrollBar::resizeEvent(QResizeEvent*) { bar_->setGeometry(rect()); }

void TMyScrollBar::UpdateSystemBar()
{
    // The system bar's thumb is proportional: its last position is Max - page + 1.
    const QSignalBlocker block(bar_);
    const int64_t last = std::max<int64_t>(min_, int64_t(max_) - largeChange_ + 1);
    bar_->setRange(min_, static_cast<int>(last));
    bar_->setPageStep(largeChange_);
    bar_->setSingleStep(smallChange_);
    bar_->setValue(position_);
}

void TMyScrollBar::ActionTriggered(int action)
{
    int code;
    switch (action) {
    case QAbstractSlider::SliderSingleStepSub: code = 0; break;
    case QAbstractSlider::SliderSingleStepAdd: code = 1; break;
    case QAbstractSlider::SliderPageStepSub: code = 2; break;
    case QAbstractSlider::SliderPageStepAdd: code = 3; break;
    case QAbstractSlider::SliderMove: code = 5; break;
    case QAbstractSlider::SliderToMinimum: code = 6; break;
    case QAbstractSlider::SliderToMaximum: code = 7; break;
    default: code = 8; break;
    }
    // Deferred so that the bar's own step (applied after this signal) is overruled by ours.
    const int32_t track = bar_->sliderPosition();
    QMetaObject::invokeMethod(this, [this, code, track] { DoScroll(code, track); }, Qt::QueuedConnection);
}
