#pragma once
// A horizontal track bar whose thumb has a set length and whose tick marks can be asked for their
// pixel positions, so that a scale can be painted under them. Setting the position from code fires
// no change; the user's moves (dragging fires at every step) fire OnChange. With EnableSelection the
// bar shows the range from SelStart to SelEnd on its channel.
#include <QSlider>

#include <functional>

class TNewTrackBar : public QSlider {
    Q_OBJECT
public:
    explicit TNewTrackBar(QWidget* parent = nullptr);

    // The thumb's length across the bar, in pixels.
    int ThumbSize() const { return thumbSize_; }
    void SetThumbSize(int value);
    bool EnableSelection() const { return enableSelection_; }
    void SetEnableSelection(bool value);
    int SelStart() const { return selStart_; }
    int SelEnd() const { return selEnd_; }
    void SetSelStart(int value);
    void SetSelEnd(int value);
    // Where the thumb is drawn and grabbed.
    QRect ThumbRect() const;
    // The x pixel of a position on the bar: where the thumb's middle stands for it.
    int PixelOf(int value) const;

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
    int selStart_ = 0;
    int selEnd_ = 0;
    bool settingPosition_ = false;
};
