#include "OrvOnAirGrid.h"

#include "platform/ui/Canvas.h"
#include "platform/ui/Codepage.h"

#include <QContextMenuEvent>
#include <QHelpEvent>
#include <QMenu>
#include <QPainter>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QToolTip>
#include <QWheelEvent>

TOrvOnAirGrid::TOrvOnAirGrid(TOrvOnAirColumns columns, QWidget* parent)
    : QWidget(parent), columns_(std::move(columns)), menu_(new QMenu(this))
{
    setMouseTracking(true);
    menu_->addAction("&Clear", this, [this] {
        if (OnClear)
            OnClear();
    });
    if (columns_.ScrollBar) {
        scroll_ = new QScrollBar(Qt::Vertical, this);
        connect(scroll_, &QScrollBar::valueChanged, this, [this](int top) {
            topRow_ = top;
            update();
        });
    }
    keepTopRow();
}

int TOrvOnAirGrid::GridWidth() const
{
    int width = 0;
    for (int w : columns_.Widths)
        width += w + 1;
    return width + (scroll_ ? kScrollBarWidth : 0);
}

void TOrvOnAirGrid::keepTopRow()
{
    if (!scroll_) {
        topRow_ = std::clamp(topRow_, 1, rows_ - 1);
        return;
    }
    const QSignalBlocker quiet(scroll_);
    // The last call row may come up to the bottom line, not further.
    const int calls = rows_ - 1;
    const int lastTop = std::max(1, calls - VisibleCallRows() + 1);
    topRow_ = std::clamp(topRow_, 1, lastTop);
    scroll_->setRange(1, lastTop);
    scroll_->setPageStep(VisibleCallRows());
    scroll_->setValue(topRow_);
}

void TOrvOnAirGrid::resizeEvent(QResizeEvent*)
{
    if (scroll_)
        scroll_->setGeometry(width() - kScrollBarWidth, kRowHeight + 1, kScrollBarWidth, height() - kRowHeight - 1);
    keepTopRow();
}

void TOrvOnAirGrid::SetRowCount(int rows)
{
    rows_ = std::max(rows, 2);
    selected_ = std::clamp(selected_, 1, rows_ - 1);
    keepTopRow();
    update();
}

void TOrvOnAirGrid::SetSelectedRow(int row)
{
    selected_ = std::clamp(row, 1, rows_ - 1);
    update();
}

int TOrvOnAirGrid::RowAt(int y) const
{
    const int line = y / (kRowHeight + 1);
    if (y < 0 || line == 0)
        return -1;
    const int row = topRow_ + line - 1;
    return row < rows_ ? row : -1;
}

void TOrvOnAirGrid::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.fillRect(rect(), Qt::black);
    const QFontMetrics fm = p.fontMetrics();
    const int visible = height() / (kRowHeight + 1) + 1;
    for (int line = 0; line < visible; ++line) {
        const int row = line == 0 ? 0 : topRow_ + line - 1;
        if (row >= rows_)
            break;
        int x = 0;
        for (size_t column = 0; column < columns_.Widths.size(); ++column) {
            const QRect cell(x, line * (kRowHeight + 1), columns_.Widths[column], kRowHeight);
            x += columns_.Widths[column] + 1;
            if (row == 0) {
                p.fillRect(cell, QColor(0xC0, 0xC0, 0xC0));
                p.setPen(Qt::black);
            } else {
                p.setPen(platform::ToQColor(CellColour ? CellColour(row, row == selected_) : 0xFFFFFF));
            }
            const QString text = platform::FromCp1252(CellText ? CellText(int(column), row) : std::string());
            const bool leftAligned = row != 0 && column == 0 && columns_.LeftFirstColumn;
            if (columns_.PainterAligned) {
                if (leftAligned)
                    p.drawText(cell.adjusted(2, 0, 0, 0), Qt::AlignVCenter | Qt::AlignLeft, text);
                else
                    p.drawText(cell, Qt::AlignCenter, text);
                continue;
            }
            // Centred as the system's text output centres: left = (cell left + cell right - text
            // width) / 2, the same for the height; or 2 pixels in from the left.
            const int left = leftAligned ? cell.left() + 2
                                 : (cell.left() + cell.right() + 1 - fm.horizontalAdvance(text)) / 2;
            const int top = (cell.top() + cell.bottom() + 1 - fm.height()) / 2;
            p.drawText(QPoint(left, top + fm.ascent()), text);
        }
    }
}

void TOrvOnAirGrid::mousePressEvent(QMouseEvent* e)
{
    const int row = RowAt(e->pos().y());
    if (row >= 1) {
        selected_ = row;
        update();
    }
    QWidget::mousePressEvent(e);
}

void TOrvOnAirGrid::mouseDoubleClickEvent(QMouseEvent* e)
{
    mousePressEvent(e);
    // Only a call row is acted on: a double click on the caption or below the last row does nothing.
    if (RowAt(e->pos().y()) >= 1 && OnDoubleClick)
        OnDoubleClick(selected_);
}

void TOrvOnAirGrid::wheelEvent(QWheelEvent* e)
{
    // A wheel reports in eighths of a degree, 120 a notch; a fine-grained wheel or a touchpad sends
    // parts of a notch, which add up to a row each 120. A turn the other way starts afresh.
    const int delta = e->angleDelta().y();
    if ((delta > 0 && wheelRest_ < 0) || (delta < 0 && wheelRest_ > 0))
        wheelRest_ = 0;
    wheelRest_ += delta;
    const int notches = wheelRest_ / 120;
    wheelRest_ -= notches * 120;
    if (notches == 0)
        return;
    const int top = topRow_ - notches;
    if (scroll_) {
        scroll_->setValue(top);
        return;
    }
    topRow_ = std::clamp(top, 1, rows_ - 1);
    update();
}

bool TOrvOnAirGrid::event(QEvent* e)
{
    if (e->type() == QEvent::ToolTip) {
        const auto* help = static_cast<QHelpEvent*>(e);
        const std::string hint = Hint ? Hint(help->pos().x(), help->pos().y(), topRow_) : std::string();
        if (hint.empty())
            QToolTip::hideText();
        else
            QToolTip::showText(help->globalPos(), platform::FromCp1252(hint), this);
        return true;
    }
    return QWidget::event(e);
}

void TOrvOnAirGrid::contextMenuEvent(QContextMenuEvent* e) { menu_->popup(e->globalPos()); }
