#include "platform/ui/Canvas.h"

#include <QApplication>
#include <QFontInfo>
#include <QPaintEvent>
#include <QPalette>
#include <QWidget>
#include <gtest/gtest.h>

using namespace platform;

namespace {

// A white bitmap, and how many pixels of it differ from white inside a rectangle.
struct Surface {
    explicit Surface(int w = 20, int h = 20) : bmp(w, h) {}
    TBitmap bmp;
    TCanvas& c() { return bmp.Canvas(); }
    TColor at(int x, int y) { return bmp.Canvas().Pixel(x, y); }
    int inked(const TRect& r)
    {
        int n = 0;
        for (int y = r.Top; y < r.Bottom; ++y)
            for (int x = r.Left; x < r.Right; ++x)
                n += at(x, y) != clWhite;
        return n;
    }
    int inked() { return inked(TRect{0, 0, bmp.Width(), bmp.Height()}); }
};

}  // namespace

TEST(Colour, ByteOrderIsBlueGreenRed)
{
    EXPECT_EQ(RGB(255, 0, 0), 0x0000FFu);
    EXPECT_EQ(RGB(0x12, 0x34, 0x56), 0x563412u);
    EXPECT_EQ(ToQColor(clRed), QColor(255, 0, 0));
    EXPECT_EQ(ToQColor(clBlue), QColor(0, 0, 255));
    EXPECT_EQ(FromQColor(QColor(0x12, 0x34, 0x56)), 0x563412u);
    EXPECT_EQ(FromQColor(ToQColor(0x3060FF)), 0x3060FFu);

    Surface s;
    s.c().SetPixel(3, 4, 0x0000FF);
    EXPECT_EQ(s.bmp.Image().pixel(3, 4) & 0xFFFFFF, 0xFF0000u) << "0x0000FF must show as red";
    EXPECT_EQ(s.at(3, 4), 0x0000FFu);
}

TEST(Colour, SystemColoursResolveFromThePalette)
{
    const QPalette pal = QGuiApplication::palette();
    EXPECT_EQ(ColorToRGB(clBtnFace), FromQColor(pal.color(QPalette::Button)));
    EXPECT_EQ(ColorToRGB(clWindow), FromQColor(pal.color(QPalette::Base)));
    EXPECT_EQ(ColorToRGB(clWindowText), FromQColor(pal.color(QPalette::Text)));
    EXPECT_EQ(ColorToRGB(clBtnHighlight), FromQColor(pal.color(QPalette::Light)));
    EXPECT_EQ(ColorToRGB(clBtnShadow), FromQColor(pal.color(QPalette::Dark)));
    EXPECT_EQ(ColorToRGB(clSystemColor | 200), clBlack);
    EXPECT_FALSE(IsSystemColor(ColorToRGB(clBtnFace)));
    EXPECT_EQ(ColorToRGB(0x00123456), 0x123456u);

    Surface s;
    s.c().Brush.Color = clBtnFace;
    s.c().FillRect(Rect(0, 0, 2, 2));
    EXPECT_EQ(s.at(1, 1), ColorToRGB(clBtnFace));
}

TEST(Canvas, LineLeavesOutItsEndPixel)
{
    struct Case {
        int x0, y0, x1, y1;
    } cases[] = {
        {2, 5, 9, 5},  // right
        {9, 6, 2, 6},  // left
        {4, 1, 4, 8},  // down
        {5, 8, 5, 1},  // up
        {1, 1, 8, 8},  // diagonal
        {2, 3, 12, 7}, // shallow
        {3, 12, 5, 2}, // steep upwards
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(testing::Message() << k.x0 << "," << k.y0 << " -> " << k.x1 << "," << k.y1);
        Surface s;
        s.c().Pen.Color = clRed;
        s.c().MoveTo(k.x0, k.y0);
        s.c().LineTo(k.x1, k.y1);
        EXPECT_EQ(s.at(k.x0, k.y0), clRed) << "start pixel";
        EXPECT_EQ(s.at(k.x1, k.y1), clWhite) << "end pixel";
        EXPECT_EQ(s.inked(), std::max(std::abs(k.x1 - k.x0), std::abs(k.y1 - k.y0)));
        EXPECT_EQ(s.c().PenPos(), QPoint(k.x1, k.y1));
    }
}

TEST(Canvas, ConnectedLinesDrawEveryPixelOnce)
{
    Surface s;
    s.c().Pen.Color = clWhite;
    s.c().Pen.Mode = pmXor;  // white on white gives black; a pixel drawn twice would turn white again
    s.c().MoveTo(2, 10);
    s.c().LineTo(2, 2);
    s.c().LineTo(10, 2);
    s.c().LineTo(10, 10);
    s.c().LineTo(2, 10);
    EXPECT_EQ(s.inked(), 32);
    EXPECT_NE(s.at(2, 2), clWhite);
    EXPECT_NE(s.at(10, 10), clWhite);
}

TEST(Canvas, XorPenTwiceRestores)
{
    Surface s;
    s.c().Brush.Color = 0x336699;
    s.c().FillRect(Rect(0, 0, 20, 20));
    s.c().Pen.Mode = pmXor;
    s.c().Pen.Color = clWhite;
    for (int i = 0; i < 2; ++i) {
        s.c().MoveTo(0, 7);
        s.c().LineTo(20, 7);
        if (i == 0) {
            EXPECT_EQ(s.at(5, 7), 0x336699u ^ 0xFFFFFFu);
        }
    }
    EXPECT_EQ(s.at(5, 7), 0x336699u);
}

TEST(Canvas, DottedPenAlternatesThreeOnThreeOff)
{
    Surface s(30, 4);
    s.c().Pen.Style = psDot;
    s.c().MoveTo(0, 1);
    s.c().LineTo(30, 1);
    std::string row;
    for (int x = 0; x < 12; ++x)
        row += s.at(x, 1) == clWhite ? '.' : '#';
    EXPECT_EQ(row, "###...###...");

    Surface clear;
    clear.c().Pen.Style = psClear;
    clear.c().MoveTo(0, 1);
    clear.c().LineTo(19, 1);
    EXPECT_EQ(clear.inked(), 0);
    EXPECT_EQ(clear.c().PenPos(), QPoint(19, 1));
}

TEST(Canvas, RectangleIsRightBottomExclusive)
{
    Surface s;
    s.c().Pen.Color = clRed;
    s.c().Brush.Color = clBlue;
    s.c().Rectangle(2, 3, 8, 7);
    for (int x = 2; x < 8; ++x) {
        EXPECT_EQ(s.at(x, 3), clRed) << x;
        EXPECT_EQ(s.at(x, 6), clRed) << x;
    }
    for (int y = 3; y < 7; ++y) {
        EXPECT_EQ(s.at(2, y), clRed) << y;
        EXPECT_EQ(s.at(7, y), clRed) << y;
    }
    EXPECT_EQ(s.at(4, 4), clBlue);
    EXPECT_EQ(s.inked(Rect(8, 0, 20, 20)), 0) << "column 8 is outside";
    EXPECT_EQ(s.inked(Rect(0, 7, 20, 20)), 0) << "row 7 is outside";
    EXPECT_EQ(s.inked(), 6 * 4);

    // Corners given in either order mean the same rectangle.
    Surface swapped;
    swapped.c().Pen.Color = clRed;
    swapped.c().Brush.Color = clBlue;
    swapped.c().Rectangle(8, 7, 2, 3);
    EXPECT_EQ(swapped.bmp.Image(), s.bmp.Image());
}

TEST(Canvas, RectangleWithClearPenOrBrush)
{
    Surface noPen;
    noPen.c().Pen.Style = psClear;
    noPen.c().Brush.Color = clBlue;
    noPen.c().Rectangle(2, 2, 6, 6);
    EXPECT_EQ(noPen.inked(), 9) << "without an outline the fill stops where the outline would end";
    EXPECT_EQ(noPen.at(4, 4), clBlue);
    EXPECT_EQ(noPen.at(5, 5), clWhite);

    Surface noBrush;
    noBrush.c().Brush.Style = bsClear;
    noBrush.c().Rectangle(2, 2, 6, 6);
    EXPECT_EQ(noBrush.inked(), 12);
    EXPECT_EQ(noBrush.at(3, 3), clWhite);
}

TEST(Canvas, FillRectAndFrameRect)
{
    Surface s;
    s.c().Brush.Color = clLime;
    s.c().FillRect(Rect(1, 1, 4, 3));
    EXPECT_EQ(s.inked(), 3 * 2);
    EXPECT_EQ(s.at(3, 2), clLime);
    EXPECT_EQ(s.at(4, 2), clWhite);
    EXPECT_EQ(s.at(3, 3), clWhite);

    s.c().FillRect(Rect(5, 5, 5, 9));  // empty
    s.c().Brush.Style = bsClear;
    s.c().FillRect(Rect(10, 10, 15, 15));
    EXPECT_EQ(s.inked(), 6);

    Surface f;
    f.c().Brush.Color = clNavy;
    f.c().FrameRect(Rect(2, 2, 7, 6));
    EXPECT_EQ(f.inked(), 5 * 2 + 2 * 2);
    EXPECT_EQ(f.at(6, 5), clNavy);
    EXPECT_EQ(f.at(4, 3), clWhite);
    EXPECT_EQ(f.inked(Rect(7, 0, 20, 20)) + f.inked(Rect(0, 6, 20, 20)), 0);
}

TEST(Canvas, EllipseAndRoundRectStayInsideTheirBox)
{
    Surface e;
    e.c().Pen.Color = clRed;
    e.c().Brush.Color = clBlue;
    e.c().Ellipse(2, 2, 14, 10);
    EXPECT_EQ(e.at(8, 6), clBlue);
    EXPECT_EQ(e.inked(Rect(14, 0, 20, 20)) + e.inked(Rect(0, 10, 20, 20)), 0);
    EXPECT_EQ(e.at(2, 2), clWhite) << "corner is outside the ellipse";
    EXPECT_NE(e.inked(Rect(2, 0, 3, 20)), 0) << "left edge touched";
    EXPECT_NE(e.inked(Rect(13, 0, 14, 20)), 0) << "right edge touched";

    Surface r;
    r.c().Pen.Color = clRed;
    r.c().Brush.Color = clBlue;
    r.c().RoundRect(2, 2, 16, 12, 6, 6);
    EXPECT_EQ(r.at(9, 7), clBlue);
    EXPECT_EQ(r.at(2, 7), clRed);
    EXPECT_EQ(r.at(15, 7), clRed);
    EXPECT_EQ(r.at(2, 2), clWhite) << "rounded corner";
    EXPECT_EQ(r.inked(Rect(16, 0, 20, 20)) + r.inked(Rect(0, 12, 20, 20)), 0);
}

TEST(Canvas, WidePenIsCentredOnTheOutline)
{
    // An engraved frame: a 3-pixel pen on the outline at column 1 covers columns 0 to 2.
    Surface s(40, 30);
    s.c().Brush.Style = bsClear;
    s.c().Pen.Width = 3;
    s.c().Pen.Color = clBlack;
    s.c().RoundRect(1, 1, 40 - 3 - 1, 30 - 3 - 1, 10, 10);
    for (int x = 0; x <= 2; ++x)
        EXPECT_EQ(s.at(x, 15), clBlack) << x;
    EXPECT_EQ(s.at(3, 15), clWhite);
    EXPECT_EQ(s.at(20, 15), clWhite);
    for (int x = 34; x <= 36; ++x)
        EXPECT_EQ(s.at(x, 15), clBlack) << x;
    EXPECT_EQ(s.at(37, 15), clWhite);
}

TEST(Canvas, PolylineAndPolygon)
{
    Surface s;
    s.c().Pen.Color = clRed;
    s.c().MoveTo(0, 0);
    s.c().Polyline({{2, 2}, {10, 2}, {10, 8}});
    EXPECT_EQ(s.at(2, 2), clRed);
    EXPECT_EQ(s.at(10, 2), clRed);
    EXPECT_EQ(s.at(10, 7), clRed);
    EXPECT_EQ(s.at(10, 8), clWhite) << "last point is left out";
    EXPECT_EQ(s.inked(), 8 + 6);
    EXPECT_EQ(s.c().PenPos(), QPoint(0, 0));

    Surface g;
    g.c().Pen.Color = clRed;
    g.c().Brush.Color = clBlue;
    g.c().Polygon({{2, 2}, {16, 2}, {16, 16}, {2, 16}});
    EXPECT_EQ(g.at(9, 9), clBlue);
    EXPECT_EQ(g.at(2, 2), clRed);
    EXPECT_EQ(g.at(16, 16), clRed) << "closed outline reaches every vertex";
    EXPECT_EQ(g.at(17, 9), clWhite);
}

TEST(Canvas, FontHeightRules)
{
    TFont f;
    f.Name = "DejaVu Sans";
    f.Height = -13;
    EXPECT_EQ(QFontInfo(ToQFont(f)).pixelSize(), 13) << "negative: the character height in pixels";
    Surface s(100, 40);
    s.c().Font = f;
    QSize ext = s.c().TextExtent("Mg");
    EXPECT_GE(ext.height(), 13);
    EXPECT_LE(ext.height(), 17);
    EXPECT_EQ(ext.width(), s.c().TextWidth("Mg"));
    EXPECT_EQ(ext.height(), s.c().TextHeight("M"));
    EXPECT_GT(s.c().TextWidth("MMMM"), 3 * s.c().TextWidth("M"));
    EXPECT_EQ(s.c().TextWidth(""), 0);

    // Positive: the whole cell height.
    for (int h : {12, 16, 24}) {
        s.c().Font.Height = h;
        EXPECT_LE(s.c().TextHeight("M"), h);
        EXPECT_GE(s.c().TextHeight("M"), h - 1);
    }
    s.c().Font.Height = -20;
    int big = s.c().TextHeight("M");
    s.c().Font.Height = -10;
    EXPECT_LT(s.c().TextHeight("M"), big);

    TFont p;
    p.SetSize(8);
    EXPECT_EQ(p.Height, -11);
    p.SetSize(10);
    EXPECT_EQ(p.Height, -13);
    p.Height = -16;
    EXPECT_EQ(p.Size(), 12);

    f.Style = fsBold | fsItalic | fsUnderline | fsStrikeOut;
    QFont q = ToQFont(f);
    EXPECT_TRUE(q.bold());
    EXPECT_TRUE(q.italic());
    EXPECT_TRUE(q.underline());
    EXPECT_TRUE(q.strikeOut());
}

TEST(Canvas, TextOutPaintsInsideItsExtent)
{
    Surface s(120, 40);
    s.c().Font.Height = -16;
    s.c().Font.Color = clBlack;
    s.c().Brush.Style = bsClear;
    s.c().TextOut(10, 8, "Hello");
    QSize ext = s.c().TextExtent("Hello");
    TRect box{10, 8, 10 + ext.width(), 8 + ext.height()};
    EXPECT_GT(s.inked(box), 10);
    EXPECT_EQ(s.inked(), s.inked(box)) << "no ink outside the text's extent";
    EXPECT_EQ(s.c().PenPos(), QPoint(10 + ext.width(), 8));

    // A solid brush paints the whole extent behind the text.
    Surface o(120, 40);
    o.c().Font.Height = -16;
    o.c().Brush.Color = clYellow;
    o.c().TextOut(10, 8, "Hello");
    EXPECT_EQ(o.at(10, 8), clYellow);
    EXPECT_EQ(o.at(box.Right - 1, box.Bottom - 1), clYellow);
    EXPECT_EQ(o.at(box.Right, box.Bottom), clWhite);
}

TEST(Canvas, TextRectClipsAndFills)
{
    Surface s(120, 40);
    s.c().Font.Height = -20;
    s.c().Font.Color = clBlack;
    s.c().Brush.Color = clAqua;
    TRect clip{5, 5, 80, 20};
    s.c().TextRect(clip, 0, 0, "WW");
    EXPECT_EQ(s.inked(), clip.Width() * clip.Height());
    EXPECT_EQ(s.at(clip.Right - 1, clip.Top), clAqua);
    int dark = 0;
    for (int y = clip.Top; y < clip.Bottom; ++y)
        for (int x = clip.Left; x < clip.Right; ++x)
            dark += s.at(x, y) != clAqua;
    EXPECT_GT(dark, 0) << "text drawn inside the clip";
}

TEST(Canvas, PixelsOutsideAreInvalid)
{
    Surface s(4, 4);
    EXPECT_EQ(s.at(-1, 0), clrInvalid);
    EXPECT_EQ(s.at(4, 0), clrInvalid);
    EXPECT_EQ(s.at(0, 4), clrInvalid);
    s.c().SetPixel(10, 10, clRed);  // ignored
    s.c().MoveTo(-5, 2);
    s.c().LineTo(50, 2);  // clipped, no fault
    EXPECT_EQ(s.inked(), 4);

    TBitmap empty;
    empty.Canvas().LineTo(3, 3);
    empty.Canvas().TextOut(0, 0, "x");
    EXPECT_EQ(empty.Canvas().Pixel(0, 0), clrInvalid);
}

TEST(Canvas, DrawAndCopyRect)
{
    TBitmap src(4, 3);
    src.Canvas().Brush.Color = clRed;
    src.Canvas().FillRect(Rect(0, 0, 4, 3));
    src.Canvas().SetPixel(3, 2, clBlue);

    Surface s;
    s.c().Draw(5, 6, src);
    EXPECT_EQ(s.at(5, 6), clRed);
    EXPECT_EQ(s.at(8, 8), clBlue);
    EXPECT_EQ(s.inked(), 12);

    Surface c;
    c.c().CopyRect(Rect(0, 0, 2, 2), src, Rect(2, 1, 4, 3));
    EXPECT_EQ(c.at(1, 1), clBlue);
    EXPECT_EQ(c.at(0, 0), clRed);
    EXPECT_EQ(c.inked(), 4);
}

TEST(Canvas, CopyRectScrollsWithinTheSameBitmap)
{
    // Waterfall scroll: rows 0..3 move down by one, row 0 keeps its content until redrawn.
    Surface s(3, 5);
    const TColor rows[] = {clRed, clLime, clBlue, clYellow, clBlack};
    for (int y = 0; y < 5; ++y) {
        s.c().Brush.Color = rows[y];
        s.c().FillRect(Rect(0, y, 3, y + 1));
    }
    s.c().CopyRect(Rect(0, 1, 3, 5), Rect(0, 0, 3, 4));
    const TColor expect[] = {clRed, clRed, clLime, clBlue, clYellow};
    for (int y = 0; y < 5; ++y)
        EXPECT_EQ(s.at(1, y), expect[y]) << y;
}

TEST(Canvas, ResizingTheBitmapKeepsTheCanvasUsable)
{
    TBitmap b(5, 5);
    b.Canvas().Brush.Color = clRed;
    b.Canvas().FillRect(Rect(0, 0, 5, 5));
    b.SetSize(8, 2);
    EXPECT_EQ(b.Width(), 8);
    EXPECT_EQ(b.Canvas().Pixel(7, 1), clWhite);
    b.Canvas().FillRect(Rect(6, 0, 8, 2));
    EXPECT_EQ(b.Canvas().Pixel(7, 1), clRed);
    QImage copy = b.Image();
    b.Canvas().SetPixel(7, 1, clBlue);
    EXPECT_EQ(FromQColor(QColor::fromRgb(copy.pixel(7, 1))), clRed) << "a copy taken earlier stays as it was";
}

namespace {
class PaintedWidget : public QWidget {
protected:
    void paintEvent(QPaintEvent*) override
    {
        TCanvas c(this);
        c.Brush.Color = clBtnFace;
        c.FillRect(Rect(0, 0, width(), height()));
        c.Pen.Color = clRed;
        c.MoveTo(0, 5);
        c.LineTo(10, 5);
    }
};
}  // namespace

TEST(Canvas, PaintsOnAWidget)
{
    PaintedWidget w;
    w.resize(20, 12);
    TCanvas c(&w);
    EXPECT_EQ(c.Pixel(3, 5), clRed);
    EXPECT_EQ(c.Pixel(10, 5), ColorToRGB(clBtnFace));
    EXPECT_EQ(c.Pixel(30, 5), clrInvalid);
}
