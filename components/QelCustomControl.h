#pragma once
// Base of the library's painted controls: a widget that paints itself through the platform canvas,
// never lets the background be erased under it, and carries the colour blend and scaling helpers.
#include <QWidget>
#include <cstdint>
#include <platform/ui/Canvas.h>

class TQelCustomControl : public QWidget {
    Q_OBJECT
public:
    explicit TQelCustomControl(QWidget* parent = nullptr);
    ~TQelCustomControl() override;

    // Byte-wise Color1 + (Color2 - Color1) * i / n, truncated toward zero; a byte outside 0..255 becomes
    // 255. System colours are resolved first. A blend of no steps (n = 0) stays at Color1.
    static platform::TColor InterpolatedColor(platform::TColor color1, platform::TColor color2, int64_t n, int64_t i);
    // Byte-wise Color * i / n, truncated toward zero; a byte outside 0..255 becomes 255. System colours
    // are resolved first. A scale of n = 0 leaves the colour as it is.
    static platform::TColor PonderatedColor(platform::TColor color, int64_t i, int64_t n);

    // The base colour; with ParentColor the parent's.
    platform::TColor Color() const;
    void SetColor(platform::TColor c);
    bool ParentColor() const { return parentColor_; }
    void SetParentColor(bool on);

    // Paints at once when shown.
    void Repaint();

protected:
    virtual void Paint(platform::TCanvas& canvas);
    void paintEvent(QPaintEvent* e) override;
    bool event(QEvent* e) override;
    // Enabling or disabling changes the look of every painted control.
    void changeEvent(QEvent* e) override;

    // Called first in every destructor of the line: from then on no event reaches the control.
    void BeginDestroy();
    bool Destroying() const { return destroying_; }

private:
    platform::TColor color_ = platform::clBtnFace;
    bool parentColor_ = false;
    bool destroying_ = false;
};
