#include "QelButton.h"
#include <QMouseEvent>

using platform::TColor;

int32_t AutoFontHeight(int32_t frameWidth, int32_t h)
{
    return static_cast<int32_t>((2 * int64_t(frameWidth) - h) * 5 / 6);
}

TQelButton::TQelButton(QWidget* parent) : TQelFramedWindow(parent)
{
    SetFrameStyle(fsRaised);
    resize(100, 30);
    // Moves must arrive without a button held too: leaving the button lets a push button spring back.
    setMouseTracking(true);
}

TQelButton::~TQelButton() { BeginDestroy(); }

void TQelButton::SetText(const QString& text)
{
    caption_ = text;
    Repaint();
}

void TQelButton::SetButtonStyle(TQelButtonStyle s)
{
    if (s == state_.Style)
        return;
    state_.Style = s;
    Repaint();
}

void TQelButton::SetCheck(bool value)
{
    if (state_.SetCheck(value))
        SetFrameStyle(state_.FrameStyle);
}

void TQelButton::SetFont(const platform::TFont& f)
{
    if (f == font_)
        return;
    font_ = f;
    Repaint();
}

void TQelButton::Paint(platform::TCanvas& canvas)
{
    PaintFrame(canvas);
    const TColor c = Color();
    const bool lowered = FrameStyle() == fsLowered;
    TColor brush = c;
    if (!isEnabled())
        brush = PonderatedColor(c, 6, 7);
    else if (lowered && (state_.Style != bsCheckButton || state_.Checked))
        brush = PonderatedColor(c, state_.Pressed ? 11 : 10, 7);
    canvas.Brush.Color = brush;
    canvas.Brush.Style = platform::bsSolid;
    canvas.FillRect(Interior());

    canvas.Font = font_;
    const QSize extent = canvas.TextExtent(caption_);
    int x = (width() - extent.width()) / 2;
    int y = (height() - extent.height()) / 2;
    if (lowered) {
        x += state_.Pressed ? 2 : 1;
        y += state_.Pressed ? 2 : 1;
    }
    if (!isEnabled() || (state_.Style == bsCheckButton && !state_.Checked))
        canvas.Font.Color = PonderatedColor(c, 1, 2);
    canvas.TextRect(Interior(), x, y, caption_);
}

void TQelButton::resizeEvent(QResizeEvent* e)
{
    TQelFramedWindow::resizeEvent(e);
    if (fontAutoSize_)
        font_.Height = AutoFontHeight(FrameWidth(), height());
}

bool TQelButton::inside(const QMouseEvent* e) const
{
    const QPoint p = e->position().toPoint();
    return TQelButtonState::Inside(p.x(), p.y(), width(), height());
}

void TQelButton::apply(const TQelButtonEffects& fx)
{
    if (fx.Focus)
        setFocus(Qt::MouseFocusReason);
    const bool frameChanged = FrameStyle() != state_.FrameStyle;
    SetFrameStyle(state_.FrameStyle);
    if (fx.Repaint && !frameChanged)
        Repaint();
    if (fx.Click)
        FireClick();
}

void TQelButton::mousePressEvent(QMouseEvent* e)
{
    if (!isEnabled() || e->button() != Qt::LeftButton)
        return;
    apply(state_.MouseDown(inside(e)));
}

// A fast second click is a second press, not a double click.
void TQelButton::mouseDoubleClickEvent(QMouseEvent* e) { mousePressEvent(e); }

void TQelButton::mouseMoveEvent(QMouseEvent* e)
{
    if (!isEnabled())
        return;
    apply(state_.MouseMove(inside(e), e->buttons() & Qt::LeftButton));
}

void TQelButton::click()
{
    if (!isEnabled())
        return;
    apply(state_.MouseDown(true));
    apply(state_.MouseUp(true));
}

void TQelButton::mouseReleaseEvent(QMouseEvent* e)
{
    if (!isEnabled() || e->button() != Qt::LeftButton)
        return;
    apply(state_.MouseUp(inside(e)));
}
