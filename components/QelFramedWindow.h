#pragma once
// A rectangle with a raised or lowered bevel of any width and a background fill; the base of the
// library's framed controls, which draw inside the interior it leaves.
#include "QelButtonState.h"
#include "QelCustomControl.h"
#include <functional>

class TQelFramedWindow : public TQelCustomControl {
    Q_OBJECT
public:
    explicit TQelFramedWindow(QWidget* parent = nullptr);

    platform::TColor Background() const { return background_; }
    void SetBackground(platform::TColor c);
    TQelFramedWindowStyle FrameStyle() const { return frameStyle_; }
    void SetFrameStyle(TQelFramedWindowStyle s);
    int32_t FrameWidth() const { return frameWidth_; }
    void SetFrameWidth(int32_t w);
    bool Transparent() const { return transparent_; }
    void SetTransparent(bool on);

    // The area left inside the frame by the last paint.
    const platform::TRect& Interior() const { return interior_; }

    std::function<void(QObject* sender)> OnClick;

protected:
    void Paint(platform::TCanvas& canvas) override;
    // Bevel and background fill; sets Interior().
    void PaintFrame(platform::TCanvas& canvas);
    void FireClick();

    void mousePressEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;

private:
    platform::TColor background_ = platform::clWhite;
    TQelFramedWindowStyle frameStyle_ = fsRaised;
    int32_t frameWidth_ = 3;
    bool transparent_ = false;
    bool clickDown_ = false;
    platform::TRect interior_;
};
