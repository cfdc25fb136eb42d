#include "QelStaticText.h"
#include "QelButton.h"
#include <QEvent>

TQelStaticText::TQelStaticText(QWidget* parent) : TQelFramedWindow(parent)
{
    SetFrameStyle(fsRaised);
    SetFrameWidth(2);
    SetParentColor(true);
    resize(100, 30);
}

TQelStaticText::~TQelStaticText() { BeginDestroy(); }

void TQelStaticText::SetText(const QString& text)
{
    caption_ = text;
    Repaint();
}

void TQelStaticText::SetAlignment(TAlignment a)
{
    if (a == alignment_)
        return;
    alignment_ = a;
    Repaint();
}

void TQelStaticText::SetFont(const platform::TFont& f)
{
    if (f == font_)
        return;
    font_ = f;
    Repaint();
}

void TQelStaticText::Paint(platform::TCanvas& canvas)
{
    PaintFrame(canvas);
    canvas.Font = font_;
    const QSize extent = canvas.TextExtent(caption_);
    const int y = (height() - extent.height()) / 2;
    int x = 0;
    switch (alignment_) {
    case taLeftJustify: x = FrameWidth() + 1; break;
    case taRightJustify: x = width() - FrameWidth() - extent.width() - 1; break;
    case taCenter: x = (width() - extent.width()) / 2; break;
    }
    if (!isEnabled())
        canvas.Font.Color = PonderatedColor(font_.Color, 1, 2);
    canvas.Brush.Style = platform::bsClear;
    canvas.TextRect(Interior(), x, y, caption_);
}

void TQelStaticText::resizeEvent(QResizeEvent* e)
{
    TQelFramedWindow::resizeEvent(e);
    if (fontAutoSize_)
        font_.Height = AutoFontHeight(FrameWidth(), height());
}
