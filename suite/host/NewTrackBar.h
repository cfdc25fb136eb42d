#pragma once
// A horizontal track bar whose thumb has a set length and whose tick marks can be asked for their
// pixel positions, so that a scale can be painted under them. Setting the position from code fires
// no change; the user's moves (dragging fires at every step) fire OnChange.
#include <QSlider>

#include <functional>

class TNewTrackBar : public QSlider {
    Q_OBJECT
public:
    explicit TNewTrackBar(QWidget* parent = nullptr);

    int ThumbSize() const { return thumbSize_; }
    void SetThumbSize(int value);
    bool EnableSelection() const { return enableSelection_; }
    void SetEnableSelection(bool value) { enableSelection_ = value; }

    int Position() const { return value(); }
    void SetPosition(int value);
    // The tick marks stand every Frequency() from the start.
    int Frequency() const { return tickInterval(); }
    void SetFrequency(int f) { setTickInterval(f); update(); }

    // The x pixel of interior tick mark i (0-based; the first and last marks not counted), -1 when
    // there is none.
    int GetTicPos(int i) const;

    std::function<void()> OnChange;

protected:
    // The bar as the style draws it, with the tick marks below it where GetTicPos puts them, so that
    // the scale painted under the bar lines up with them.
    void paintEvent(QPaintEvent* event) override;

private:
    int thumbSize_ = 20;
    bool enableSelection_ = false;
    bool settingPosition_ = false;
};
