#include "PaintPanel.h"

#include <QPainter>

TPaintPanel::TPaintPanel(QWidget* parent) : QFrame(parent)
{
    setFrameStyle(QFrame::Panel | QFrame::Raised);
}

void TPaintPanel::SetDefaultDrawing(bool v)
{
    if (v == defaultDrawing_)
        return;
    defaultDrawing_ = v;
    update();
}

void TPaintPanel::paintEvent(QPaintEvent* event)
{
    if (defaultDrawing_) {
        {
            QPainter p(this);
            p.fillRect(rect(), palette().window());
        }
        QFrame::paintEvent(event);
    }
    if (OnPaint)
        OnPaint(this);
}
