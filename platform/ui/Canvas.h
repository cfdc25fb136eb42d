#pragma once
// A drawing surface with the rules the system's painting code was written for: colours as 0x00BBGGRR,
// lines that leave out their end pixel, rectangles whose right and bottom edges are exclusive, and font
// heights where a negative value is the character height in pixels. It paints with QPainter on a QImage
// (an off-screen bitmap) or on any other paint device, such as a widget inside its paintEvent.
#include <QImage>
#include <QPainter>
#include <QPoint>
#include <QSize>
#include <QString>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class QPaintDevice;
class QWidget;
class QFont;

namespace platform {

// ---- Colours -------------------------------------------------------------------------------------

// 0x00BBGGRR: red in the lowest byte. A value with the top bit set names a system colour by index.
using TColor = uint32_t;

constexpr TColor RGB(unsigned r, unsigned g, unsigned b)
{
    return (r & 0xFFu) | ((g & 0xFFu) << 8) | ((b & 0xFFu) << 16);
}
constexpr unsigned GetRValue(TColor c) { return c & 0xFFu; }
constexpr unsigned GetGValue(TColor c) { return (c >> 8) & 0xFFu; }
constexpr unsigned GetBValue(TColor c) { return (c >> 16) & 0xFFu; }

constexpr TColor clBlack = 0x000000, clMaroon = 0x000080, clGreen = 0x008000, clOlive = 0x008080,
                 clNavy = 0x800000, clPurple = 0x800080, clTeal = 0x808000, clGray = 0x808080,
                 clSilver = 0xC0C0C0, clRed = 0x0000FF, clLime = 0x00FF00, clYellow = 0x00FFFF,
                 clBlue = 0xFF0000, clFuchsia = 0xFF00FF, clAqua = 0xFFFF00, clWhite = 0xFFFFFF;
constexpr TColor clNone = 0x1FFFFFFF;
// What Pixel() answers for a point outside the surface.
constexpr TColor clrInvalid = 0xFFFFFFFF;

constexpr TColor clSystemColor = 0x80000000;
constexpr TColor clScrollBar = clSystemColor | 0, clBackground = clSystemColor | 1,
                 clActiveCaption = clSystemColor | 2, clInactiveCaption = clSystemColor | 3,
                 clMenu = clSystemColor | 4, clWindow = clSystemColor | 5, clWindowFrame = clSystemColor | 6,
                 clMenuText = clSystemColor | 7, clWindowText = clSystemColor | 8,
                 clCaptionText = clSystemColor | 9, clActiveBorder = clSystemColor | 10,
                 clInactiveBorder = clSystemColor | 11, clAppWorkSpace = clSystemColor | 12,
                 clHighlight = clSystemColor | 13, clHighlightText = clSystemColor | 14,
                 clBtnFace = clSystemColor | 15, clBtnShadow = clSystemColor | 16,
                 clGrayText = clSystemColor | 17, clBtnText = clSystemColor | 18,
                 clInactiveCaptionText = clSystemColor | 19, clBtnHighlight = clSystemColor | 20,
                 cl3DDkShadow = clSystemColor | 21, cl3DLight = clSystemColor | 22,
                 clInfoText = clSystemColor | 23, clInfoBk = clSystemColor | 24;

constexpr bool IsSystemColor(TColor c) { return (c & clSystemColor) != 0 && c != clrInvalid; }

// A real 0x00BBGGRR colour: system colours come from the application's palette (a fixed classic
// table when there is no GUI application); other values keep their low 24 bits.
TColor ColorToRGB(TColor c);
QColor ToQColor(TColor c);
TColor FromQColor(const QColor& c);

// ---- Pen, brush, font ------------------------------------------------------------------------

enum TPenStyle { psSolid, psDash, psDot, psDashDot, psDashDotDot, psClear };
enum TPenMode { pmCopy, pmXor, pmNot };
enum TBrushStyle { bsSolid, bsClear };

struct TPen {
    TColor Color = clBlack;
    int Width = 1;
    TPenStyle Style = psSolid;
    TPenMode Mode = pmCopy;
};

struct TBrush {
    TColor Color = clWhite;
    TBrushStyle Style = bsSolid;
};

enum TFontStyle : unsigned { fsBold = 1, fsItalic = 2, fsUnderline = 4, fsStrikeOut = 8 };

// Screen resolution the font sizes in points are converted with.
constexpr int kPixelsPerInch = 96;

struct TFont {
    std::string Name = "Arial";  // UTF-8
    // Negative: the character height in pixels (cell height less internal leading).
    // Positive: the cell height in pixels. Zero: a default size.
    int Height = -11;
    TColor Color = clWindowText;
    unsigned Style = 0;  // TFontStyle bits

    int Size() const;        // points, from Height
    void SetSize(int points);  // sets Height negative
    bool operator==(const TFont&) const = default;
};

// The QFont a TFont stands for (pixel sizes chosen by the rules above).
QFont ToQFont(const TFont& f);

// ---- Rectangles -----------------------------------------------------------------------------------

// Right and bottom are exclusive, as the system's coordinates are.
struct TRect {
    int Left = 0, Top = 0, Right = 0, Bottom = 0;
    int Width() const { return Right - Left; }
    int Height() const { return Bottom - Top; }
    bool IsEmpty() const { return Right <= Left || Bottom <= Top; }
    bool operator==(const TRect&) const = default;
};
inline TRect Rect(int l, int t, int r, int b) { return TRect{l, t, r, b}; }

class TBitmap;

// ---- Canvas --------------------------------------------------------------------------------------

class TCanvas {
public:
    // Draws on the image; Pixel() reads it back. The image must outlive the canvas (or Release()).
    explicit TCanvas(QImage* image);
    // Draws on any paint device, e.g. a widget inside its paintEvent. Pixel() of a widget grabs it.
    explicit TCanvas(QPaintDevice* device);
    ~TCanvas();
    TCanvas(const TCanvas&) = delete;
    TCanvas& operator=(const TCanvas&) = delete;

    TPen Pen;
    TBrush Brush;
    TFont Font;

    QPoint PenPos() const { return penPos_; }
    void MoveTo(int x, int y);
    // Draws from the pen position to (x, y), leaving out (x, y) itself, and moves the pen there.
    void LineTo(int x, int y);
    // Lines through the points; the last point is left out like LineTo's.
    void Polyline(const std::vector<QPoint>& points);
    // Filled with the brush (alternate fill rule), outlined with the pen, closed.
    void Polygon(const std::vector<QPoint>& points);

    // Pen outline on (x1, y1)..(x2 - 1, y2 - 1), inside filled with the brush. With a clear pen the
    // fill covers x1..x2 - 2 and y1..y2 - 2, as the outline would have.
    void Rectangle(int x1, int y1, int x2, int y2);
    void Rectangle(const TRect& r) { Rectangle(r.Left, r.Top, r.Right, r.Bottom); }
    // Brush only, right and bottom exclusive. A clear brush fills nothing.
    void FillRect(const TRect& r);
    // A one-pixel frame in the brush colour around the rectangle's inside edge.
    void FrameRect(const TRect& r);
    // Rectangle with corners rounded by an ellipse of cornerW x cornerH.
    void RoundRect(int x1, int y1, int x2, int y2, int cornerW, int cornerH);
    void Ellipse(int x1, int y1, int x2, int y2);
    void Ellipse(const TRect& r) { Ellipse(r.Left, r.Top, r.Right, r.Bottom); }

    // Text with its top-left corner at (x, y) in the font colour, on the brush colour unless the brush
    // is clear; the pen position moves to the end of the text.
    void TextOut(int x, int y, const QString& text);
    // Text at (x, y) clipped to r; with a solid brush r is filled first.
    void TextRect(const TRect& r, int x, int y, const QString& text);
    int TextWidth(const QString& text);
    int TextHeight(const QString& text);
    QSize TextExtent(const QString& text);

    // 0x00BBGGRR, or clrInvalid outside the surface.
    TColor Pixel(int x, int y);
    void SetPixel(int x, int y, TColor c);

    // Copies the whole image with its top-left at (x, y).
    void Draw(int x, int y, const QImage& image);
    void Draw(int x, int y, TBitmap& bitmap);
    // Copies source rectangle src of image onto dest, scaling when the sizes differ.
    void CopyRect(const TRect& dest, const QImage& image, const TRect& src);
    void CopyRect(const TRect& dest, TBitmap& bitmap, const TRect& src);
    // Copies within this canvas (e.g. to scroll a region); needs an image canvas.
    void CopyRect(const TRect& dest, const TRect& src);

    // The painter, for what the rules above do not cover. Begins painting when needed.
    QPainter& Painter();
    // Ends painting so the image may be resized, copied or shown; the next drawing begins again.
    void Release();
    QImage* Image() const { return image_; }

private:
    void begin();
    void plotLine(int x0, int y0, int x1, int y1);
    void applyMode();
    QPen qpen() const;
    QBrush qbrush() const;
    QColor fontColor() const;

    QImage* image_ = nullptr;
    QPaintDevice* device_ = nullptr;
    std::unique_ptr<QPainter> painter_;
    QPoint penPos_{0, 0};
    int dashPhase_ = 0;  // where a styled line's pattern continues along a polyline
};

// An off-screen bitmap with its own canvas.
class TBitmap {
public:
    TBitmap(int width = 0, int height = 0);
    int Width() const { return image_.width(); }
    int Height() const { return image_.height(); }
    // Resizes; the content is lost (filled white).
    void SetSize(int width, int height);
    TCanvas& Canvas() { return canvas_; }
    // The pixels, with painting finished.
    const QImage& Image();

private:
    QImage image_;
    TCanvas canvas_;
};

}  // namespace platform
