#pragma once
// A slider whose selection range can be switched off (it is off by default).
#include <QSlider>

class TQelTrackBar : public QSlider {
    Q_OBJECT
public:
    explicit TQelTrackBar(QWidget* parent = nullptr);

    bool SelRange() const { return selRange_; }
    void SetSelRange(bool on);
    int SelStart() const { return selStart_; }
    void SetSelStart(int v);
    int SelEnd() const { return selEnd_; }
    void SetSelEnd(int v);

protected:
    void paintEvent(QPaintEvent* e) override;

private:
    bool selRange_ = false;
    int selStart_ = 0;
    int selEnd_ = 0;
};
