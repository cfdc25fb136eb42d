#include "PacketTuning.h"

#include "MulDiv.h"

using namespace platform;

void DrawTuningIndicator(TCanvas& canvas, const TRect& panel, int32_t lower, int32_t upper)
{
    const int l = panel.Left, t = panel.Top, w = panel.Width();
    auto x = [&](int32_t hz) { return l + MulDiv(hz - 600, w, 1000); };
    canvas.Brush.Style = bsSolid;
    canvas.Brush.Color = clBlack;
    canvas.FillRect(panel);
    const TColor green = RGB(0, 255, 0);
    canvas.Brush.Color = green;
    canvas.FillRect(Rect(l + MulDiv(300, w, 1000), t, l + MulDiv(705, w, 1000), t + 6));
    if (lower > 0) {
        canvas.Brush.Color = RGB(255, 0, 0);
        canvas.FillRect(Rect(x(lower), t + 7, x(upper), t + 15));
    }
    canvas.Pen.Color = green;
    canvas.Pen.Width = 1;
    canvas.Pen.Style = psSolid;
    for (int32_t hz = 700; hz <= 1500; hz += 100) {
        canvas.MoveTo(x(hz), t);
        canvas.LineTo(x(hz), t + 15);
    }
}
