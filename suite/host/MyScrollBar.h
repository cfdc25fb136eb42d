#pragma once
// A scroll bar whose positions are full 32-bit values, the thumb position included.
#include <QWidget>

#include <cstdint>
#include <functional>
#include <stdexcept>

class QScrollBar;

enum TScrollBarKind { sbHorizontal, sbVertical };

class EInvalidOperation : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class TMyScrollBar : public QWidget {
    Q_OBJECT
public:
    explicit TMyScrollBar(QWidget* parent = nullptr);

    TScrollBarKind Kind() const { return kind_; }
    int32_t Min() const { return min_; }
    int32_t Max() const { return max_; }
    int32_t Position() const { return position_; }
    int32_t LargeChange() const { return largeChange_; }
    int32_t SmallChange() const { return smallChange_; }

    void SetKind(TScrollBarKind kind);
    // Raises "Scrollbar property out of range" when max < min, changing nothing.
    void SetParams(int32_t position, int32_t min, int32_t max);
    void SetPosition(int32_t v) { SetParams(v, min_, max_); }
    void SetMin(int32_t v) { SetParams(position_, v, max_); }
    void SetMax(int32_t v) { SetParams(position_, min_, v); }
    void SetLargeChange(int32_t v);
    void SetSmallChange(int32_t v) { smallChange_ = v; }

    // A scroll notification: code 0 line up .. 7 bottom, 8 end; trackPos is the thumb's 32-bit position.
    void DoScroll(int code, int32_t trackPos);

    std::function<void(TMyScrollBar*)> OnChange;
    std::function<void(TMyScrollBar*, int code, int32_t& position)> OnScroll;

    // The system scroll bar the values are handed to.
    QScrollBar* SystemBar() const { return bar_; }

protected:
    virtual void Change();
    virtual void Scroll(int code, int32_t& position);
    void resizeEvent(QResizeEvent* event) override;

private:
    void UpdateSystemBar();
    void ActionTriggered(int action);

    TScrollBarKind kind_ = sbHorizontal;
    int32_t min_ = 0;
    int32_t max_ = 100;
    int32_t position_ = 0;
    int32_t largeChange_ = 1;
    int32_t smallChange_ = 1;
    QScrollBar* bar_;
};
