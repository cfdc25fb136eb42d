#include "QelGroupBox.h"
#include <algorithm>

TQelGroupBox::TQelGroupBox(QWidget* parent) : TQelCustomControl(parent)
{
    // Children and siblings are clipped out of the painting, as Qt does for every widget.
    resize(300, 100);
}

TQelGroupBox::~TQelGroupBox() { BeginDestroy(); }

void TQelGroupBox::SetFrameWidth(int32_t w)
{
    if (w == frameWidth_)
        return;
    frameWidth_ = w;
    Repaint();
}

void TQelGroupBox::SetFrameColor(platform::TColor c)
{
    if (c == frameColor_)
        return;
    frameColor_ = c;
    Repaint();
}

void TQelGroupBox::SetCornerWidth(int32_t w)
{
    if (w == cornerWidth_)
        return;
    cornerWidth_ = w;
    Repaint();
}

void TQelGroupBox::Paint(platform::TCanvas& canvas)
{
    const int w = width(), h = height();
    canvas.Brush.Color = Color();
    canvas.Brush.Style = platform::bsSolid;
    canvas.FillRect(platform::TRect{0, 0, w, h});
    canvas.Brush.Style = platform::bsClear;
    // Pen widths beyond the control are drawn as wide as the control.
    const int f = std::clamp<int32_t>(frameWidth_, 0, std::max(w, h));
    const int half = f / 2;
    canvas.Pen.Width = f;
    canvas.Pen.Color = PonderatedColor(frameColor_, 1, 3);
    canvas.RoundRect(half, half, w - f - half, h - f - half, cornerWidth_, cornerWidth_);
    canvas.Pen.Color = frameColor_;
    canvas.RoundRect(half + f, half + f, w - half, h - half, cornerWidth_, cornerWidth_);
}
