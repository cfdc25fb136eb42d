#pragma once
// A level meter: a bar showing a level in percent beside a scale, and a red marker the user drags
// to set a threshold.
#include <QImage>
#include <QWidget>

#include <cstdint>
#include <functional>

enum TMeterStyle { msVertical, msHorizontal, msDial };

class TLevelMeter : public QWidget {
    Q_OBJECT
public:
    explicit TLevelMeter(QWidget* parent = nullptr);

    int32_t SLevel() const { return sLevel_; }
    int32_t Squelch() const { return squelch_; }
    TMeterStyle Style() const { return style_; }
    // Clamped to 0..100; a change repaints later and then tells OnSignalChange.
    void SetSLevel(int32_t value);
    // Clamped to 0..98; a change tells OnSquelchChange and then repaints at once.
    void SetSquelch(int32_t value);
    void SetStyle(TMeterStyle value);

    // Background colour; the scale and bar take the font colour (the palette's text colour).
    QColor Color() const { return color_; }
    void SetColor(const QColor& c);
    void SetFontColor(const QColor& c);

    // The meter as it paints itself, drawn off-screen.
    QImage Render() const;
    // Height of the letter "E" in the meter's font.
    int TextHeightE() const;
    bool Dragging() const { return dragging_; }

    std::function<void(TLevelMeter*)> OnSignalChange;
    std::function<void(TLevelMeter*)> OnSquelchChange;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    int32_t sLevel_ = 0;
    int32_t squelch_ = 0;
    TMeterStyle style_ = msVertical;
    QColor color_;
    bool dragging_ = false;
};

// The marker position a drag at `y` selects on a meter `height` pixels high, before clamping;
// nothing (false) when the meter is too small to have a scale.
bool MeterDragSquelch(int y, int height, int textHeight, int32_t& squelch);
