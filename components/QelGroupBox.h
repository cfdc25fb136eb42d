#pragma once
// An engraved rounded frame without caption that holds other controls.
#include "QelCustomControl.h"

class TQelGroupBox : public TQelCustomControl {
    Q_OBJECT
public:
    explicit TQelGroupBox(QWidget* parent = nullptr);
    ~TQelGroupBox() override;

    int32_t FrameWidth() const { return frameWidth_; }
    void SetFrameWidth(int32_t w);
    platform::TColor FrameColor() const { return frameColor_; }
    void SetFrameColor(platform::TColor c);
    int32_t CornerWidth() const { return cornerWidth_; }
    void SetCornerWidth(int32_t w);

protected:
    void Paint(platform::TCanvas& canvas) override;

private:
    int32_t frameWidth_ = 3;
    platform::TColor frameColor_ = 0x606060;
    int32_t cornerWidth_ = 10;
};
