#pragma once
// The scope's trace, built buffer by buffer: the trigger search, the derivative, and the two forms of
// a screen, the heights of a polyline (fewer samples than columns) or a one-bit column bitmap in
// which the samples are spread over the columns.
#include <cstddef>
#include <cstdint>
#include <vector>

enum TTriggerMode { tmFreeRunning, tmSingleShot, tmPositiveEdge, tmNegativeEdge };

class TScopeTrace {
public:
    // The display's client size; the trace area is two pixels smaller each way.
    void SetSize(int clientWidth, int clientHeight);
    int TraceWidth() const { return w_; }
    int TraceHeight() const { return h_; }

    int32_t SamplesPerScreen = 441;
    int32_t VerticalScale = 1;  // 1..8
    int32_t TriggerLevel = 128;  // 0..255
    TTriggerMode Trigger = tmFreeRunning;
    bool Derivative = false;
    int32_t Rate = 44100;       // for the derivative's gain
    bool GrabbedData = false;   // grabbed data held: no trigger search

    // Adds samples to the current screen; true when the screen is complete.
    bool DrawTrace(const int16_t* samples, int32_t count);
    // Starts a new screen at the next DrawTrace (grabbed data is drawn this way).
    void StartScreen() { samplesDrawn_ = SamplesPerScreen + 1; }
    // Shows what the current screen holds so far (data shorter than a screen).
    void ShowDrawing()
    {
        shown_ = drawing_;
        shownTop_ = drawTop_;
        shownBottom_ = drawBottom_;
        ShowHeights();
    }
    // Column 0, no height yet, nothing drawn, both bitmaps clear.
    void Clear();

    bool PolylineForm() const { return SamplesPerScreen < w_; }
    // Whether a sample of the last call left the trace area.
    bool Clipped() const { return clipped_; }
    int32_t SamplesDrawn() const { return samplesDrawn_; }
    int Column() const { return column_; }
    // Heights of the polyline form, one per sample of the screen being drawn (after a completed
    // screen, until the next one begins, that screen's).
    const std::vector<int32_t>& Heights() const { return heights_; }
    // The heights of the last completed screen, as the display shows them; empty after Clear.
    const std::vector<int32_t>& ShownHeights() const { return shownHeights_; }
    // The one-bit bitmaps: rows of RowStride() bytes, most significant bit the leftmost pixel.
    int RowStride() const { return stride_; }
    int Rows() const { return h_; }
    const std::vector<uint8_t>& ShownBitmap() const { return shown_; }
    const std::vector<uint8_t>& DrawingBitmap() const { return drawing_; }
    bool ShownPixel(int x, int y) const;
    // The rows of column x of the shown bitmap that hold set pixels: top > bottom when none.
    int ShownTop(int x) const { return shownTop_[size_t(x)]; }
    int ShownBottom(int x) const { return shownBottom_[size_t(x)]; }

    // The derivative's gain as a shift: 3 at 44100 Hz, 2 at 22050 Hz, 1 otherwise.
    static int DerivativeShift(int32_t rate);
    // Index of the first sample drawn after the trigger in samples[0..count), or -1 when the
    // buffer holds no trigger.
    static int32_t FindTrigger(const int16_t* samples, int32_t count, TTriggerMode mode, int32_t level,
                               int32_t verticalScale);

private:
    // Sets rows a..b (either order) of column x of the drawing bitmap.
    void SetRun(int x, int32_t a, int32_t b);
    void ResetDrawingRows();
    void DrawColumns(const int16_t* s, int32_t count);
    void ShowHeights();

    int w_ = 0;
    int h_ = 0;
    int stride_ = 2;
    std::vector<uint8_t> drawing_;
    std::vector<uint8_t> shown_;
    std::vector<int> drawTop_, drawBottom_, shownTop_, shownBottom_;  // per column, so painting skips clear rows
    std::vector<int32_t> heights_ = std::vector<int32_t>(48000);
    std::vector<int32_t> shownHeights_;
    std::vector<int16_t> work_;  // the derivative of a buffer, never written over the caller's samples
    int column_ = 0;
    int32_t lastHeight_ = -1;
    int32_t samplesDrawn_ = 0;
    bool clipped_ = false;
};
