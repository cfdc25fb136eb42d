#pragma once
// A painted display of one block of samples: an oscilloscope trace with an optional trigger, a
// spectrum from its own FFT, or a scrolling waterfall of spectra. Everything is drawn into an
// off-screen bitmap first. Displays can be chained, so that a master paints its slaves' traces into
// its own picture (a multi-trace scope).
#include "QelFFT.h"
#include "QelFramedWindow.h"
#include <QString>
#include <memory>
#include <utility>
#include <vector>

enum TQelScopeDisplayMode : uint8_t { sdmScope, sdmAnalyser, sdmWaterfall };
enum TQelScopeDisplaySyncroType : uint8_t { sdstNone, sdstLevel, sdstPositive, sdstNegative };
enum TQelScopeDisplayTraceType : uint8_t { sdttPoint, sdttLine, sdttBar, sdttCubicSpline };
enum TQelScopeDisplayType : uint8_t { sdtNormal, sdtSlave };

class TQelScopeDisplay : public TQelFramedWindow {
    Q_OBJECT
public:
    explicit TQelScopeDisplay(QWidget* parent = nullptr);
    ~TQelScopeDisplay() override;

    // ---- Data path
    // Takes every stride-th of count 16-bit values (at most BufferSize of them), zero-fills the rest of
    // the buffer and shows the block.
    void WriteIntoBuffer(const int16_t* samples, int32_t count, int32_t stride);
    // Copies count values (at most BufferSize), zero-fills the rest and shows the block.
    void WriteIntoBuffer(const int32_t* samples, int32_t count);
    // Computes what the mode needs from the buffer and paints at once.
    void ProcessBuffer();
    // An analyser shows the other analyser's transform through its own averaging.
    void UseFFTResultsFrom(TQelScopeDisplay* other);
    void SetScopeLevels(int32_t min, int32_t max);
    void ResetScopeStore();
    // Takes a bitmap (owned unless this display is a slave), or a new one of its own for nullptr.
    void SetBmp(platform::TBitmap* bmp);

    // Rebuilds what the picture needs (when marked) and copies it to the screen.
    void Paint();
    // Repaints; a slave has its topmost master repaint instead.
    void Repaint();

    // Waterfall colour of a level from 0 (full scale) to -100 (the bottom row).
    platform::TColor ComputeWaterfallColor(double level) const;
    QString FreqToStr(uint32_t f) const;
    QString TimeToStr(double t) const;
    // The same for the time num / den seconds, exactly: the labels' times are fractions, and a
    // rounding error on the way would round a label up by a whole division.
    QString TimeToStr(unsigned __int128 num, unsigned __int128 den) const;
    // The two texts under the plot: the times of its left and right edges in sdmScope, else the
    // frequencies.
    std::pair<QString, QString> HorzInfoTexts() const;

    // ---- Properties
    bool Bar() const { return bar_; }
    void SetBar(bool v) { redrawSet(bar_, v); }
    int32_t BitsPerSample() const { return bitsPerSample_; }
    void SetBitsPerSample(int32_t v);
    platform::TColor BkColor() const { return bkColor_; }
    void SetBkColor(platform::TColor v) { redrawSet(bkColor_, v); }
    int32_t BufferSize() const { return bufferSize_; }
    void SetBufferSize(int32_t v);
    bool ContinuousColor() const { return continuousColor_; }
    void SetContinuousColor(bool v) { redrawSet(continuousColor_, v); }
    bool Derivative() const { return derivative_; }
    void SetDerivative(bool v) { redrawSet(derivative_, v); }
    uint32_t FFTAverageCoeff() const { return fft_.AverageCoeff; }
    void SetFFTAverageCoeff(uint32_t v) { fft_.AverageCoeff = v; }
    bool FFTAverageValue() const { return fft_.AverageValue; }
    void SetFFTAverageValue(bool v) { fft_.AverageValue = v; }
    int32_t FFTAverageValues() const { return fft_.AverageValues; }
    void SetFFTAverageValues(int32_t v) { fft_.AverageValues = v; }
    uint32_t FFTFreqLeft() const { return freqLeft_; }
    void SetFFTFreqLeft(uint32_t v);
    uint32_t FFTFreqRight() const { return freqRight_; }
    void SetFFTFreqRight(uint32_t v);
    bool FFTLinear() const { return linear_; }
    void SetFFTLinear(bool v) { redrawSet(linear_, v); }
    uint32_t FFTLinearMax() const { return linearMax_; }
    void SetFFTLinearMax(uint32_t v);
    uint32_t FFTLinearMin() const { return linearMin_; }
    void SetFFTLinearMin(uint32_t v);
    uint32_t FFTMarkersNum() const { return uint32_t(markers_.size()); }
    void SetFFTMarkersNum(uint32_t n);
    uint32_t FFTMarker(uint32_t i) const { return i < markers_.size() ? markers_[i] : 0; }
    void SetFFTMarker(uint32_t i, uint32_t f);
    TQelFFTWinType FFTWindowType() const { return fft_.WindowType(); }
    void SetFFTWindowType(TQelFFTWinType t);
    const platform::TFont& Font() const { return font_; }
    void SetFont(const platform::TFont& f);
    platform::TColor GridColor() const { return gridColor_; }
    void SetGridColor(platform::TColor v) { redrawSet(gridColor_, v); }
    bool HorzGridLines() const { return horzGridLines_; }
    void SetHorzGridLines(bool v) { redrawSet(horzGridLines_, v); }
    int32_t HorzGridNum() const { return horzGridNum_; }
    void SetHorzGridNum(int32_t v) { redrawSet(horzGridNum_, v < 1 ? 1 : v); }
    int32_t HorzSubDivSize() const { return horzSubDivSize_; }
    void SetHorzSubDivSize(int32_t v) { redrawSet(horzSubDivSize_, v); }
    bool HorzSubDivisions() const { return horzSubDivisions_; }
    void SetHorzSubDivisions(bool v) { redrawSet(horzSubDivisions_, v); }
    int32_t HorzSubDivsLine() const { return horzSubDivsLine_; }
    void SetHorzSubDivsLine(int32_t v) { redrawSet(horzSubDivsLine_, v); }
    int32_t HorzSubDivsNum() const { return horzSubDivsNum_; }
    void SetHorzSubDivsNum(int32_t v) { redrawSet(horzSubDivsNum_, v); }
    bool InverseWaterfall() const { return inverseWaterfall_; }
    void SetInverseWaterfall(bool v) { redrawSet(inverseWaterfall_, v); }
    platform::TColor MarkerColor() const { return markerColor_; }
    void SetMarkerColor(platform::TColor v) { redrawSet(markerColor_, v); }
    TQelScopeDisplayMode Mode() const { return mode_; }
    void SetMode(TQelScopeDisplayMode m);
    uint32_t SamplesBefore() const { return samplesBefore_; }
    void SetSamplesBefore(uint32_t v) { redrawSet(samplesBefore_, v); }
    uint32_t SamplesPerSec() const { return samplesPerSec_; }
    void SetSamplesPerSec(uint32_t v);
    int32_t ScopeLevelMax() const { return levelMax_; }
    void SetScopeLevelMax(int32_t v);
    int32_t ScopeLevelMin() const { return levelMin_; }
    void SetScopeLevelMin(int32_t v);
    bool ScopeStore() const { return scopeStore_; }
    void SetScopeStore(bool v);
    bool ShowHorzInfo() const { return showHorzInfo_; }
    void SetShowHorzInfo(bool v) { redrawSet(showHorzInfo_, v); }
    bool ShowVertInfo() const { return showVertInfo_; }
    void SetShowVertInfo(bool v) { redrawSet(showVertInfo_, v); }
    TQelScopeDisplay* Slave() const { return slave_; }
    void SetSlave(TQelScopeDisplay* v);
    TQelScopeDisplay* Master() const { return master_; }
    TQelScopeDisplaySyncroType SyncroType() const { return syncroType_; }
    void SetSyncroType(TQelScopeDisplaySyncroType v);
    uint32_t TimePerDivision() const { return timePerDivision_; }
    void SetTimePerDivision(uint32_t v);
    platform::TColor TraceColor() const { return traceColor_; }
    void SetTraceColor(platform::TColor v) { redrawSet(traceColor_, v); }
    TQelScopeDisplayTraceType TraceType() const { return traceType_; }
    void SetTraceType(TQelScopeDisplayTraceType v) { redrawSet(traceType_, v); }
    platform::TColor TriggerColor() const { return triggerColor_; }
    void SetTriggerColor(platform::TColor v);
    int32_t TriggerLevel() const { return triggerLevel_; }
    void SetTriggerLevel(int32_t v);
    TQelScopeDisplayType Type() const { return type_; }
    void SetType(TQelScopeDisplayType v) { redrawSet(type_, v); }
    bool VertGridLines() const { return vertGridLines_; }
    void SetVertGridLines(bool v) { redrawSet(vertGridLines_, v); }
    int32_t VertGridNum() const { return vertGridNum_; }
    void SetVertGridNum(int32_t v) { redrawSet(vertGridNum_, v < 1 ? 1 : v); }
    int32_t VertSubDivSize() const { return vertSubDivSize_; }
    void SetVertSubDivSize(int32_t v) { redrawSet(vertSubDivSize_, v); }
    bool VertSubDivisions() const { return vertSubDivisions_; }
    void SetVertSubDivisions(bool v) { redrawSet(vertSubDivisions_, v); }
    int32_t VertSubDivsLine() const { return vertSubDivsLine_; }
    void SetVertSubDivsLine(int32_t v) { redrawSet(vertSubDivsLine_, v); }
    int32_t VertSubDivsNum() const { return vertSubDivsNum_; }
    void SetVertSubDivsNum(int32_t v) { redrawSet(vertSubDivsNum_, v); }
    platform::TColor WaterfallColor(int32_t i) const { return i >= 0 && i <= 19 ? waterfall_[i] : 0; }
    void SetWaterfallColor(int32_t i, platform::TColor c)
    {
        if (i >= 0 && i <= 19)
            waterfall_[i] = c;
    }

    const double* FFTRealOut() const { return fft_.RealOut(); }
    const double* FFTImagOut() const { return fft_.ImagOut(); }
    const double* FFTModuleOut() const { return fft_.ModuleOut(); }
    const TQelFFT& FFT() const { return fft_; }

    // ---- For tests and the owner's own drawing
    const int32_t* Buffer() const { return buffer_.data(); }
    platform::TRect PlotArea() const { return plot_; }
    bool RedrawNeeded() const { return redraw_; }
    platform::TBitmap* Bitmap() const { return bmp_; }
    // The picture as it stands in the bitmap.
    const QImage& Picture() { return bmp_->Image(); }
    // Row of bin k in the plot (the analyser's and the waterfall's level rule); waterfall shortens
    // the bin range at half the block.
    int32_t BinRow(int32_t k) const;
    // The trace start found by the trigger search: whether one was found, the index and the pixel shift.
    struct TriggerPoint {
        bool found;
        int32_t index;
        int32_t shift;
    };
    TriggerPoint FindTrigger(int32_t n, double dx) const;

protected:
    void Paint(platform::TCanvas& canvas) override;
    void resizeEvent(QResizeEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;

private:
    template <typename T>
    void redrawSet(T& field, T v)
    {
        if (field == v)
            return;
        field = v;
        redraw_ = true;
        Repaint();
    }
    void redrawNow()
    {
        redraw_ = true;
        Repaint();
    }
    platform::TRect interiorRect() const;
    void buildPicture();
    void layout();
    void grid();
    void scopeTrace();
    void analyserTrace();
    void waterfallLine();
    // Scale of the spectrum levels, and the bin range shown.
    double levelScale() const;
    void binRange(bool waterfall, int64_t& first, int64_t& last, int64_t& span) const;
    int32_t rowOf(int64_t k, double f) const;
    int64_t binColumn(int64_t k, int64_t first, int64_t span, int64_t w) const;
    int64_t nextBin(int64_t k, int64_t first, int64_t last, int64_t span, int64_t w) const;
    void computeFFT();

    std::unique_ptr<platform::TBitmap> ownBmp_;
    platform::TBitmap* bmp_ = nullptr;
    bool redraw_ = true;
    platform::TRect plot_{};
    platform::TColor bkColor_ = 0x000000;
    TQelScopeDisplayMode mode_ = sdmScope;
    TQelScopeDisplayTraceType traceType_ = sdttLine;
    uint32_t samplesPerSec_ = 11025;
    bool showHorzInfo_ = true;
    bool showVertInfo_ = true;
    platform::TColor gridColor_ = 0x008000;
    bool horzGridLines_ = true;
    int32_t horzGridNum_ = 8;
    int32_t horzSubDivSize_ = 2;
    bool horzSubDivisions_ = false;
    int32_t horzSubDivsNum_ = 5;
    int32_t horzSubDivsLine_ = 0;
    bool vertGridLines_ = true;
    int32_t vertGridNum_ = 16;
    int32_t vertSubDivSize_ = 2;
    bool vertSubDivisions_ = false;
    int32_t vertSubDivsNum_ = 5;
    int32_t vertSubDivsLine_ = 0;
    TQelScopeDisplaySyncroType syncroType_ = sdstNone;
    platform::TColor triggerColor_ = 0x00FFFF;
    int32_t triggerLevel_ = 0;
    platform::TColor traceColor_ = 0xFFFFFF;
    platform::TColor waterfall_[20];
    bool inverseWaterfall_ = false;
    bool continuousColor_ = false;
    int32_t bufferSize_ = 512;
    std::vector<int32_t> buffer_;
    int32_t levelMin_ = -32768;
    int32_t levelMax_ = 32767;
    bool derivative_ = false;
    uint32_t timePerDivision_ = 1000000;
    uint32_t samplesBefore_ = 0;
    bool scopeStore_ = false;
    TQelFFT fft_;
    uint32_t freqLeft_ = 0;
    uint32_t freqRight_ = 5512;
    bool bar_ = false;
    int32_t bitsPerSample_ = 16;
    bool linear_ = false;
    uint32_t linearMin_ = 0;
    uint32_t linearMax_ = 1000000000;
    platform::TColor markerColor_ = 0x0000FF;
    std::vector<uint32_t> markers_;
    TQelScopeDisplayType type_ = sdtNormal;
    TQelScopeDisplay* slave_ = nullptr;
    TQelScopeDisplay* master_ = nullptr;
    platform::TFont font_;
};
