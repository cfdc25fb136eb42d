#include "QelScopeDisplay.h"
#include <QCoreApplication>
#include <QMouseEvent>
#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>
#include <string_view>

using platform::TColor;
using platform::TRect;

namespace {

// The label of a time e in tenths of a nanosecond, in the largest unit below it.
QString timeLabel(double e)
{
    double v;
    const char* unit;
    if (e < 1e4) {
        v = e / 10;
        unit = "ns";
    } else if (e < 1e7) {
        v = e / 1e4;
        unit = "us";
    } else if (e < 1e10) {
        v = e / 1e7;
        unit = "ms";
    } else {
        v = e / 1e10;
        unit = "s";
    }
    QString s = QString::number(v, 'g', 10);
    if (s == QStringLiteral("-0"))
        s = QStringLiteral("0");
    return s + QLatin1String(unit);
}

// A real to an int, truncated toward zero and kept inside the int range (NaN becomes 0).
int32_t truncToInt(double v)
{
    if (!(v == v))
        return 0;
    v = std::clamp(v, -1e9, 1e9);
    return static_cast<int32_t>(v);
}

int32_t clampToInt(int64_t v)
{
    return static_cast<int32_t>(std::clamp<int64_t>(v, std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max()));
}

// Largest block the display takes: what its FFT takes.
constexpr int32_t kMaxBufferSize = QelMaxDataLength;

} // namespace

TQelScopeDisplay::TQelScopeDisplay(QWidget* parent) : TQelFramedWindow(parent)
{
    ownBmp_ = std::make_unique<platform::TBitmap>();
    bmp_ = ownBmp_.get();
    buffer_.assign(bufferSize_, 0);
    fft_.SetDataLength(512);
    // A grey ramp from white (strongest) to black.
    for (int i = 0; i < 20; ++i)
        waterfall_[i] = PonderatedColor(0xFFFFFF, 19 - i, 19);
    SetFrameStyle(fsLowered);
    SetFrameWidth(2);
    SetTransparent(true);
    resize(249, 141);
    setMouseTracking(true);
    redraw_ = true;
}

TQelScopeDisplay::~TQelScopeDisplay()
{
    if (slave_)
        SetSlave(nullptr);
    if (master_)
        master_->SetSlave(nullptr);
    SetFFTMarkersNum(0);
    BeginDestroy();
    QCoreApplication::processEvents();
}

// ---- Data path ---------------------------------------------------------------------------------

void TQelScopeDisplay::WriteIntoBuffer(const int16_t* samples, int32_t count, int32_t stride)
{
    std::fill(buffer_.begin(), buffer_.end(), 0);
    if (samples && stride > 0) {
        count = static_cast<int32_t>(std::min<int64_t>(count, int64_t(bufferSize_) * stride));
        int32_t i = 0;
        for (int64_t pos = 0; count > 0; pos += stride, count -= stride)
            buffer_[i++] = samples[pos];
    }
    ProcessBuffer();
}

void TQelScopeDisplay::WriteIntoBuffer(const int32_t* samples, int32_t count)
{
    std::fill(buffer_.begin(), buffer_.end(), 0);
    if (samples && count > 0)
        std::copy(samples, samples + std::min(count, bufferSize_), buffer_.begin());
    ProcessBuffer();
}

void TQelScopeDisplay::computeFFT() { fft_.Compute(buffer_.data(), bufferSize_); }

void TQelScopeDisplay::ProcessBuffer()
{
    if (mode_ != sdmScope)
        computeFFT();
    if (mode_ != sdmWaterfall)
        redraw_ = true;
    else
        waterfallLine();
    Paint();
}

void TQelScopeDisplay::UseFFTResultsFrom(TQelScopeDisplay* other)
{
    if (!other || mode_ != sdmAnalyser || other->bufferSize_ != bufferSize_ || other->mode_ != sdmAnalyser)
        return;
    fft_.ComputeModuleOut(other->fft_.RealOut(), other->fft_.ImagOut());
    redraw_ = true;
    Paint();
}

void TQelScopeDisplay::SetScopeLevels(int32_t min, int32_t max)
{
    if (max < min)
        max = min == std::numeric_limits<int32_t>::max() ? min : min + 1;
    if (min == levelMin_ && max == levelMax_)
        return;
    levelMin_ = min;
    levelMax_ = max;
    if (triggerLevel_ > max)
        triggerLevel_ = max;
    else if (triggerLevel_ < min)
        triggerLevel_ = min;
    redrawNow();
}

void TQelScopeDisplay::ResetScopeStore()
{
    if (!scopeStore_)
        return;
    SetScopeStore(false);
    SetScopeStore(true);
}

void TQelScopeDisplay::SetBmp(platform::TBitmap* bmp)
{
    if (!bmp) {
        ownBmp_ = std::make_unique<platform::TBitmap>();
        bmp_ = ownBmp_.get();
        redraw_ = true;
    } else if (bmp != bmp_) {
        std::unique_ptr<platform::TBitmap> old = std::move(ownBmp_);
        bmp_ = bmp;
        // A slave draws into its master's bitmap and never owns it.
        if (type_ != sdtSlave && (!old || old.get() != bmp))
            ownBmp_.reset(bmp);
        redraw_ = true;
    }
    if (slave_)
        slave_->SetBmp(bmp_);
}

// ---- Properties --------------------------------------------------------------------------------

void TQelScopeDisplay::SetBitsPerSample(int32_t v) { redrawSet(bitsPerSample_, std::clamp(v, 1, 32)); }

void TQelScopeDisplay::SetBufferSize(int32_t v)
{
    if (v != bufferSize_) {
        // Up to a power of two; negative sizes become 0 and sizes beyond what the FFT takes its limit.
        int32_t p = 0;
        if (v > kMaxBufferSize)
            p = kMaxBufferSize;
        else if (v > 0) {
            p = 1 << 30;
            while (p != 0 && (p & v) == 0)
                p >>= 1;
            if (v != p)
                p <<= 1;
        }
        if (p != bufferSize_) {
            std::vector<int32_t> nb(p, 0);
            std::copy_n(buffer_.begin(), std::min<size_t>(buffer_.size(), nb.size()), nb.begin());
            buffer_ = std::move(nb);
            bufferSize_ = p;
        }
    }
    fft_.SetDataLength(bufferSize_);
    if (slave_)
        slave_->SetBufferSize(bufferSize_);
    redrawNow();
}

void TQelScopeDisplay::SetFFTFreqLeft(uint32_t v)
{
    if (v == 0xFFFFFFFFu)
        v = 0xFFFFFFFEu;
    if (v == freqLeft_)
        return;
    freqLeft_ = v;
    if (freqLeft_ >= freqRight_)
        freqRight_ = v + 1;
    if (mode_ != sdmScope)
        redrawNow();
}

void TQelScopeDisplay::SetFFTFreqRight(uint32_t v)
{
    if (v == 0)
        v = 1;
    if (v == freqRight_)
        return;
    freqRight_ = v;
    if (freqLeft_ >= freqRight_)
        freqLeft_ = v - 1;
    if (mode_ != sdmScope)
        redrawNow();
}

void TQelScopeDisplay::SetFFTLinearMax(uint32_t v)
{
    if (v == 0)
        v = 1;
    if (v == linearMax_)
        return;
    linearMax_ = v;
    if (linearMin_ >= linearMax_)
        linearMin_ = v - 1;
    redrawNow();
}

void TQelScopeDisplay::SetFFTLinearMin(uint32_t v)
{
    if (v == 0xFFFFFFFFu)
        v = 0xFFFFFFFEu;
    if (v == linearMin_)
        return;
    linearMin_ = v;
    if (linearMin_ >= linearMax_)
        linearMax_ = v + 1;
    redrawNow();
}

void TQelScopeDisplay::SetFFTMarkersNum(uint32_t n)
{
    if (n == markers_.size())
        return;
    markers_.resize(n, 0);
    markers_.shrink_to_fit();
    if (!Destroying())
        redrawNow();
}

void TQelScopeDisplay::SetFFTMarker(uint32_t i, uint32_t f)
{
    if (i >= markers_.size() || markers_[i] == f)
        return;
    markers_[i] = f;
    redrawNow();
}

void TQelScopeDisplay::SetFFTWindowType(TQelFFTWinType t)
{
    fft_.SetWinType(t);
    if (mode_ != sdmScope)
        computeFFT();
}

void TQelScopeDisplay::SetFont(const platform::TFont& f)
{
    font_ = f;
    redrawNow();
}

void TQelScopeDisplay::SetMode(TQelScopeDisplayMode m)
{
    if (m == mode_)
        return;
    mode_ = m;
    if (slave_)
        slave_->SetMode(m);
    if (m != sdmScope)
        computeFFT();
    redrawNow();
}

void TQelScopeDisplay::SetSamplesPerSec(uint32_t v)
{
    if (v == 0)
        v = 1;
    if (v == samplesPerSec_)
        return;
    samplesPerSec_ = v;
    if (slave_)
        slave_->SetSamplesPerSec(v);
    redrawNow();
}

void TQelScopeDisplay::SetScopeLevelMax(int32_t v)
{
    if (v == levelMax_)
        return;
    levelMax_ = v;
    if (triggerLevel_ > v)
        triggerLevel_ = v;
    if (levelMin_ < levelMax_)
        redrawNow();
    else
        // At the bottom of the range the minimum cannot go lower: the maximum moves up instead.
        v == std::numeric_limits<int32_t>::min() ? SetScopeLevelMax(v + 1) : SetScopeLevelMin(v - 1);
}

void TQelScopeDisplay::SetScopeLevelMin(int32_t v)
{
    if (v == levelMin_)
        return;
    levelMin_ = v;
    if (triggerLevel_ < v)
        triggerLevel_ = v;
    if (levelMin_ < levelMax_)
        redrawNow();
    else
        v == std::numeric_limits<int32_t>::max() ? SetScopeLevelMin(v - 1) : SetScopeLevelMax(v + 1);
}

void TQelScopeDisplay::SetScopeStore(bool v)
{
    scopeStore_ = v;
    if (!v)
        redrawNow();
}

void TQelScopeDisplay::SetSyncroType(TQelScopeDisplaySyncroType v)
{
    if (v == syncroType_)
        return;
    syncroType_ = v;
    if (mode_ == sdmScope)
        redrawNow();
}

void TQelScopeDisplay::SetTimePerDivision(uint32_t v)
{
    if (v == 0)
        v = 1;
    if (v == timePerDivision_)
        return;
    timePerDivision_ = v;
    if (slave_)
        slave_->SetTimePerDivision(v);
    redrawNow();
}

void TQelScopeDisplay::SetTriggerColor(TColor v)
{
    if (v == triggerColor_)
        return;
    triggerColor_ = v;
    if (mode_ == sdmScope)
        redrawNow();
}

void TQelScopeDisplay::SetTriggerLevel(int32_t v)
{
    v = std::clamp(v, levelMin_, levelMax_);
    if (v == triggerLevel_)
        return;
    triggerLevel_ = v;
    if (mode_ == sdmScope)
        redrawNow();
}

void TQelScopeDisplay::SetSlave(TQelScopeDisplay* v)
{
    if (v == this)
        return;
    if (v && v->master_)
        v->master_->SetSlave(nullptr);
    // No cycles: a display that leads back to this one's master cannot become its slave.
    if (type_ == sdtSlave && v)
        for (TQelScopeDisplay* d = v; d; d = d->slave_)
            if (d == master_)
                return;
    if (v == slave_)
        return;
    auto release = [](TQelScopeDisplay* s) {
        s->master_ = nullptr;
        s->type_ = sdtNormal;
        s->SetBmp(nullptr);
    };
    if (slave_ && v)
        release(slave_);
    if (v) {
        v->master_ = this;
        v->type_ = sdtSlave;
        v->hide();
        v->setGeometry(x() + 5, y() + 5, 20, 20);
        v->SetBmp(bmp_);
        v->SetBufferSize(bufferSize_);
        v->SetMode(mode_);
        v->SetSamplesPerSec(samplesPerSec_);
        v->SetTimePerDivision(timePerDivision_);
    } else if (slave_) {
        release(slave_);
    }
    slave_ = v;
    redrawNow();
}

// ---- Repaint and paint -------------------------------------------------------------------------

void TQelScopeDisplay::Repaint()
{
    if (Destroying())
        return;
    if (type_ == sdtSlave && master_) {
        master_->redraw_ = redraw_;
        master_->Repaint();
        return;
    }
    // The picture is rebuilt at once, also while hidden, so that it always shows the last change.
    Paint();
}

TRect TQelScopeDisplay::interiorRect() const
{
    const int f = std::clamp(FrameWidth(), 0, std::max(width(), height()));
    return TRect{f, f, width() - f, height() - f};
}

void TQelScopeDisplay::Paint()
{
    buildPicture();
    if (type_ != sdtSlave && isVisible())
        TQelFramedWindow::Repaint();
}

void TQelScopeDisplay::Paint(platform::TCanvas& canvas)
{
    if (type_ == sdtSlave)
        return;
    PaintFrame(canvas);
    buildPicture();
    const TRect in = interiorRect();
    canvas.Draw(in.Left, in.Top, *bmp_);
}

void TQelScopeDisplay::buildPicture()
{
    const TRect in = interiorRect();
    const bool slave = type_ == sdtSlave;
    // A picture that was never laid out for this size is rebuilt also with persistence on.
    const bool sizeChanged = !slave && (bmp_->Width() != std::max(0, in.Width()) || bmp_->Height() != std::max(0, in.Height()));
    if (!redraw_ && !slave && !sizeChanged)
        return;
    if ((!slave && !scopeStore_) || sizeChanged) {
        layout();
        if (mode_ != sdmWaterfall)
            grid();
    }
    if (mode_ == sdmScope)
        scopeTrace();
    else if (mode_ == sdmAnalyser)
        analyserTrace();
    if (slave_ && mode_ == sdmScope) {
        slave_->plot_ = plot_;
        slave_->redraw_ = true;
        slave_->Paint();
    }
    redraw_ = false;
}

void TQelScopeDisplay::resizeEvent(QResizeEvent* e)
{
    TQelFramedWindow::resizeEvent(e);
    if (scopeStore_)
        ResetScopeStore();
    else
        redraw_ = true;
}

void TQelScopeDisplay::layout()
{
    const TRect in = interiorRect();
    const int bw = std::max(0, in.Width()), bh = std::max(0, in.Height());
    if (bmp_->Width() != bw || bmp_->Height() != bh)
        bmp_->SetSize(bw, bh);
    platform::TCanvas& c = bmp_->Canvas();
    c.Font = font_;
    c.Font.Color = gridColor_;
    c.Pen = platform::TPen{};
    c.Brush.Style = platform::bsSolid;
    c.Brush.Color = bkColor_;
    plot_ = TRect{0, 0, bw, bh};
    c.FillRect(plot_);
    c.Brush.Style = platform::bsClear;
    if (showHorzInfo_)
        plot_.Bottom += font_.Height - 2;
    if (showVertInfo_ && mode_ != sdmScope) {
        const int step = (font_.Height + plot_.Bottom - plot_.Top) / 5;
        const int lw = c.TextWidth(QStringLiteral("-100dB"));
        for (int i = 0; i <= 5; ++i) {
            const QString t = QString::number(-20 * i) + QStringLiteral("dB");
            c.TextOut(plot_.Left + lw + 2 - c.TextWidth(t), plot_.Top + i * step, t);
        }
        plot_.Left += lw + 8;
        if (mode_ == sdmWaterfall) {
            const int H = plot_.Bottom - plot_.Top;
            for (int y = 0; H - 1 > 0 && y <= H - 1; ++y) {
                c.Pen.Color = ComputeWaterfallColor(y * (-100.0) / (H - 1));
                c.MoveTo(plot_.Left, plot_.Top + y);
                c.LineTo(plot_.Left + 10, plot_.Top + y);
            }
            plot_.Left += 12;
        }
    }
    if (showHorzInfo_) {
        const auto [a, b] = HorzInfoTexts();
        c.TextOut(plot_.Left, plot_.Bottom, a);
        c.TextOut(plot_.Right - c.TextWidth(b), plot_.Bottom, b);
    }
}

void TQelScopeDisplay::grid()
{
    platform::TCanvas& c = bmp_->Canvas();
    c.Pen = platform::TPen{};
    c.Pen.Color = gridColor_;
    const int64_t left = plot_.Left, top = plot_.Top, right = plot_.Right, bottom = plot_.Bottom;
    const int64_t w = right - left - 1, h = bottom - top - 1;
    auto line = [&](int64_t x0, int64_t y0, int64_t x1, int64_t y1) {
        c.MoveTo(clampToInt(x0), clampToInt(y0));
        c.LineTo(clampToInt(x1), clampToInt(y1));
    };
    const int64_t hg = horzGridNum_, vg = vertGridNum_;
    if (horzGridLines_) {
        const int64_t n = mode_ == sdmScope ? hg : 10;
        for (int64_t i = 0; i <= n; ++i) {
            const int64_t y = top + h * i / n;
            line(left, y, right, y);
        }
    }
    if (vertGridLines_)
        for (int64_t i = 0; i <= vg; ++i) {
            const int64_t x = left + w * i / vg;
            line(x, top, x, bottom);
        }
    if (horzSubDivisions_) {
        const int64_t x0 = left + w * horzSubDivsLine_ / vg, s = horzSubDivSize_, sn = horzSubDivsNum_;
        line(x0 - 2 * s, top, x0 + 2 * s + 1, top);
        for (int64_t j = 0; j < hg; ++j) {
            for (int64_t k = 0; k < sn; ++k) {
                const int64_t y = top + (h * k / sn + h * j) / hg;
                line(x0 - s, y, x0 + s + 1, y);
            }
            const int64_t y = top + h * (j + 1) / hg;
            line(x0 - 2 * s, y, x0 + 2 * s + 1, y);
        }
    }
    if (vertSubDivisions_) {
        const int64_t y0 = top + h * vertSubDivsLine_ / hg, s = vertSubDivSize_, sn = vertSubDivsNum_;
        line(left, y0 - 2 * s, left, y0 + 2 * s + 1);
        for (int64_t j = 0; j < vg; ++j) {
            for (int64_t k = 0; k < sn; ++k) {
                const int64_t x = left + (w * k / sn + w * j) / vg;
                line(x, y0 - s, x, y0 + s + 1);
            }
            const int64_t x = left + w * (j + 1) / vg;
            line(x, y0 - 2 * s, x, y0 + 2 * s + 1);
        }
    }
}

TQelScopeDisplay::TriggerPoint TQelScopeDisplay::FindTrigger(int32_t n, double dx) const
{
    if (syncroType_ == sdstNone)
        return {true, 0, 0};
    const int64_t tl = triggerLevel_;
    const int32_t* b = buffer_.data();
    for (int64_t j = 0; j + n < int64_t(bufferSize_) - 1; ++j) {
        const int64_t b0 = b[j], b1 = b[j + 1];
        bool match = false;
        switch (syncroType_) {
        case sdstLevel: match = b0 == tl || (b0 < tl && tl < b1) || (b0 > tl && tl > b1); break;
        case sdstPositive: match = b0 <= tl && tl < b1; break;
        case sdstNegative: match = b0 >= tl && tl > b1; break;
        case sdstNone: break;
        }
        if (match) {
            const int32_t s = b0 == tl ? 0 : truncToInt(double(tl - b0) * dx / double(b1 - b0));
            return {true, int32_t(j), s};
        }
    }
    return {false, 0, 0};
}

void TQelScopeDisplay::scopeTrace()
{
    platform::TCanvas& c = bmp_->Canvas();
    const int64_t left = plot_.Left, top = plot_.Top, bottom = plot_.Bottom;
    const int64_t w = plot_.Right - left - 1, h = bottom - top - 1;
    const int64_t max = levelMax_, min = levelMin_;
    const int64_t range = std::max<int64_t>(max - min, 1);
    auto row = [&](int64_t u) { return (max - u) * (h + 1) / range + top; };

    if (w > 0 && h >= 0 && bufferSize_ > 0) {
        const double dx = double(w) * 1e9 / timePerDivision_ / vertGridNum_ / samplesPerSec_;
        int64_t n = int64_t(bufferSize_) - 1;
        if (n * dx > w + 1)
            n = truncToInt((w + 1) / dx);
        if ((n - 1) * dx >= w)
            n = truncToInt(w / dx);
        const TriggerPoint tp = FindTrigger(int32_t(n), dx);
        if (tp.found) {
            const int64_t j = tp.index, s = tp.shift;
            // Without a trigger the derivative's last point would need the value after the buffer:
            // the trace then ends one point earlier.
            if (derivative_ && j + n + 1 >= bufferSize_)
                n = bufferSize_ - 2 - j;
            c.Pen = platform::TPen{};
            c.Pen.Color = traceColor_;
            int64_t yPrev = 0;
            for (int64_t i = 0; i <= n; ++i) {
                int64_t v = derivative_ ? int64_t(buffer_[j + i + 1]) - buffer_[j + i] : buffer_[j + i];
                v = std::clamp(v, min, max);
                const int64_t u = (i == 0 && syncroType_ != sdstNone) ? int64_t(triggerLevel_) : v;
                const int64_t y = row(u);
                const int32_t x = truncToInt(left + i * dx - s);
                switch (traceType_) {
                case sdttPoint:
                    if (i != 0 || s == 0)
                        c.SetPixel(x, clampToInt(y), traceColor_);
                    break;
                case sdttLine:
                    if (i == 0)
                        c.MoveTo(int(left), clampToInt(y));
                    else
                        c.LineTo(x, clampToInt(y));
                    break;
                case sdttBar:
                    if (i > 0) {
                        const int64_t xa = i == 1 ? 0 : truncToInt((i - 1) * dx - s);
                        const int64_t xb = truncToInt(i * dx - s);
                        for (int64_t col = xa; col <= xb; ++col) {
                            int64_t r = xa == xb ? y - 1 : (y - yPrev) * (col - xa) / (xb - xa) + yPrev - 1;
                            r = std::max(r, top - 1);
                            c.MoveTo(clampToInt(col), clampToInt((top + bottom) / 2));
                            c.LineTo(clampToInt(col), clampToInt(r));
                        }
                    }
                    yPrev = y;
                    break;
                case sdttCubicSpline:
                    break;
                }
            }
        }
    }
    if (syncroType_ != sdstNone) {
        const int32_t yT = clampToInt(row(triggerLevel_));
        const int32_t l = int32_t(left);
        c.Pen = platform::TPen{};
        c.Pen.Color = triggerColor_;
        c.Brush.Style = platform::bsSolid;
        c.Brush.Color = triggerColor_;
        c.Polygon({QPoint(l, yT), QPoint(l + 6, yT + 3), QPoint(l + 6, yT - 3)});
        c.Brush.Style = platform::bsClear;
    }
}

double TQelScopeDisplay::levelScale() const
{
    // Formed in 64 bits: (2^32 - 1) x N leaves the 32-bit range.
    const double full = double((uint64_t(1) << bitsPerSample_) - 1) * double(bufferSize_);
    double f = full > 0 ? 4.0 / full : 0.0;
    if (linear_)
        f *= f;
    return f;
}

void TQelScopeDisplay::binRange(bool waterfall, int64_t& first, int64_t& last, int64_t& span) const
{
    const int64_t n = bufferSize_;
    first = int64_t(freqLeft_) * n / samplesPerSec_;
    last = int64_t(freqRight_) * n / samplesPerSec_;
    if (waterfall && last == n / 2)
        last = n / 2 - 1;
    span = last - first;
    if (span == 0)
        span = 1;
}

int32_t TQelScopeDisplay::rowOf(int64_t k, double f) const
{
    const int64_t top = plot_.Top, bottom = plot_.Bottom;
    if (k < 0 || k >= bufferSize_ / 2)
        return clampToInt(bottom - 1);
    const double p = fft_.ModuleOut()[k];
    if (!linear_) {
        const double a = std::sqrt(p) * f;
        if (a > 0.0001)
            return truncToInt(top - 0.25 * std::log10(a) * double(bottom - top) - 1.0);
        return clampToInt(bottom - 1);
    }
    const double h = double(bottom - top - 1);
    double v = (p * f * (h + 1) * 1e9 - linearMin_) / (double(linearMax_) - linearMin_);
    const int64_t vi = std::max<int64_t>(truncToInt(v), 0);
    return clampToInt(bottom - vi - 1);
}

int32_t TQelScopeDisplay::BinRow(int32_t k) const { return rowOf(k, levelScale()); }

int64_t TQelScopeDisplay::binColumn(int64_t k, int64_t first, int64_t span, int64_t w) const
{
    // 128 bits: bin numbers reach 2^52 with a wide frequency range at a low sampling rate.
    return plot_.Left + static_cast<int64_t>(static_cast<__int128>(k - first) * w / span);
}

int64_t TQelScopeDisplay::nextBin(int64_t k, int64_t first, int64_t last, int64_t span, int64_t w) const
{
    // Bins at or above half the block all show no signal on the same row: of those that fall into
    // one column only one needs drawing, so a range of billions of them costs one step a column.
    if (k < bufferSize_ / 2 || k >= last)
        return k + 1;
    if (w <= 0)
        return last;
    const __int128 column = static_cast<__int128>(k - first) * w / span;
    const __int128 firstOfNext = first + ((column + 1) * span + w - 1) / w;
    return static_cast<int64_t>(std::clamp<__int128>(firstOfNext, k + 1, last));
}

void TQelScopeDisplay::analyserTrace()
{
    if (bufferSize_ < 2)
        return;
    int64_t first, last, span;
    binRange(false, first, last, span);
    if (last < first)
        return;
    platform::TCanvas& c = bmp_->Canvas();
    const double f = levelScale();
    const int64_t left = plot_.Left, top = plot_.Top, bottom = plot_.Bottom;
    const int64_t w = plot_.Right - left - 1;
    c.Pen = platform::TPen{};
    c.Pen.Color = traceColor_;
    c.Brush.Color = traceColor_;
    int64_t x0 = left, y0 = 0;
    for (int64_t k = first; k <= last; k = nextBin(k, first, last, span, w)) {
        const int64_t x1 = binColumn(k, first, span, w);
        const int64_t y1 = rowOf(k, f);
        switch (traceType_) {
        case sdttPoint:
            c.SetPixel(clampToInt(x1), clampToInt(y1 < top ? top : y1), traceColor_);
            break;
        case sdttLine:
            if (k == first)
                c.MoveTo(int(left), clampToInt(y1 < top ? top : y1));
            else if (y1 >= top && y0 >= top)
                c.LineTo(clampToInt(x1), clampToInt(y1));
            else if (y1 >= top) {
                c.LineTo(clampToInt(x1 + (top - y1) * (x0 - x1) / (y0 - y1)), int(top));
                c.LineTo(clampToInt(x1), clampToInt(y1));
            } else if (y0 >= top) {
                c.LineTo(clampToInt(x0 + (top - y0) * (x1 - x0) / (y1 - y0)), int(top));
                c.LineTo(clampToInt(x1), int(top));
            } else
                c.LineTo(clampToInt(x1), int(top));
            break;
        case sdttBar:
            if (k != first)
                for (int64_t col = x0; col <= x1; ++col) {
                    int64_t r = x0 == x1 ? y1 - 1 : (y1 - y0) * (col - x0) / (x1 - x0) + y0 - 1;
                    r = std::max(r, top - 1);
                    c.MoveTo(clampToInt(col), clampToInt(bottom - 1));
                    c.LineTo(clampToInt(col), clampToInt(r));
                }
            break;
        case sdttCubicSpline:
            break;
        }
        x0 = x1;
        y0 = y1;
    }
    c.Pen.Color = markerColor_;
    for (uint32_t m : markers_) {
        if (m < freqLeft_ || m > freqRight_)
            continue;
        const int64_t x = left + int64_t(m - freqLeft_) * w / int64_t(freqRight_ - freqLeft_);
        c.MoveTo(clampToInt(x), clampToInt(bottom));
        c.LineTo(clampToInt(x), clampToInt(top - 1));
    }
}

void TQelScopeDisplay::waterfallLine()
{
    const int64_t left = plot_.Left, top = plot_.Top, right = plot_.Right, bottom = plot_.Bottom;
    const int64_t w = right - left - 1, h = bottom - top - 1;
    // Nothing to draw on a plot without rows or columns, or before the first layout.
    if (h <= 0 || w < 0 || bufferSize_ < 2 || bmp_->Height() < bottom || bmp_->Width() < right)
        return;
    int64_t first, last, span;
    binRange(true, first, last, span);
    platform::TCanvas& c = bmp_->Canvas();
    c.CopyRect(TRect{int(left), int(top + 1), int(right), int(bottom)}, TRect{int(left), int(top), int(right), int(bottom - 1)});
    const double f = levelScale();
    int64_t xPrev = left, yPrev = 0;
    for (int64_t k = first; k <= last; k = nextBin(k, first, last, span, w)) {
        const int64_t xk = k == first ? left : binColumn(k, first, span, w);
        const int64_t yk = rowOf(k, f);
        if (k != first)
            for (int64_t x = xPrev; x <= xk; ++x) {
                int64_t r = xPrev == xk ? yk - 1 : (yk - yPrev) * (x - xPrev) / (xk - xPrev) + yPrev - 1;
                r = std::max(r, top - 1);
                c.SetPixel(clampToInt(x), int(top), ComputeWaterfallColor(double(r) * (-100.0) / double(h)));
            }
        xPrev = xk;
        yPrev = yk;
    }
}

TColor TQelScopeDisplay::ComputeWaterfallColor(double level) const
{
    if (!(level == level))
        level = -100.0;
    // Levels above full scale (small plots) take the strongest colour, below the bottom the weakest.
    if (!continuousColor_) {
        const int32_t i = std::clamp(truncToInt(level * -0.2), 0, 19);
        return inverseWaterfall_ ? waterfall_[19 - i] : waterfall_[i];
    }
    const int32_t weight = std::clamp(truncToInt(level * -100.0), 0, 10000);
    return inverseWaterfall_ ? InterpolatedColor(waterfall_[19], waterfall_[0], 10000, weight)
                             : InterpolatedColor(waterfall_[0], waterfall_[19], 10000, weight);
}

QString TQelScopeDisplay::FreqToStr(uint32_t f) const
{
    if (f < 3000)
        return QString::number(f) + QStringLiteral("Hz");
    if (f < 3000000)
        return QString::number(f * 0.001, 'f', 3) + QStringLiteral("kHz");
    if (f < 3000000000u)
        return QString::number(f * 1e-6, 'f', 3) + QStringLiteral("MHz");
    return QString::number(f * 1e-9, 'f', 3) + QStringLiteral("GHz");
}

std::pair<QString, QString> TQelScopeDisplay::HorzInfoTexts() const
{
    if (mode_ != sdmScope)
        return {FreqToStr(freqLeft_), FreqToStr(freqRight_)};
    // t0 = SamplesBefore / SamplesPerSec; the right edge lies VertGridNum divisions of
    // TimePerDivision nanoseconds further, as one fraction over SamplesPerSec x 10^9.
    using u128 = unsigned __int128;
    const u128 rate = std::max<uint32_t>(samplesPerSec_, 1);
    const u128 span = u128(uint32_t(vertGridNum_)) * timePerDivision_;  // ns
    return {TimeToStr(u128(samplesBefore_), rate),
            TimeToStr(u128(samplesBefore_) * 1000000000u + span * rate, rate * 1000000000u)};
}

QString TQelScopeDisplay::TimeToStr(unsigned __int128 num, unsigned __int128 den) const
{
    using u128 = unsigned __int128;
    const u128 tpd = timePerDivision_;
    if (den == 0)
        den = 1;
    // e = ceil(t x 10^10 / TimePerDivision) x TimePerDivision tenths of a nanosecond, with
    // t x 10^10 split into whole and fraction so that nothing overflows.
    const u128 whole = num / den, rest = num % den;
    const u128 tenths = whole * 10000000000ull + rest * 10000000000ull / den;
    const bool fraction = rest * 10000000000ull % den != 0;
    const u128 steps = tenths / tpd + ((tenths % tpd != 0 || fraction) ? 1 : 0);
    // e is a whole number, so the label's quotient is the nearest double to the exact decimal, which
    // the general format prints back exactly.
    return timeLabel(double(steps * tpd));
}

QString TQelScopeDisplay::TimeToStr(double t) const
{
    // The time as the decimal it is written as (its shortest form), so 0.016 is sixteen
    // thousandths exactly and not the binary number nearest to it.
    char buf[64];
    if (t == 0)
        t = 0;  // no sign on a zero
    const auto r = std::isfinite(t) && t >= 0 ? std::to_chars(buf, buf + sizeof buf, t, std::chars_format::scientific)
                                              : std::to_chars_result{buf, std::errc::invalid_argument};
    if (r.ec == std::errc()) {
        const std::string_view text(buf, size_t(r.ptr - buf));
        const size_t epos = text.find('e');
        uint64_t digits = 0;
        int places = 0;  // digits after the point
        bool point = false;
        for (char ch : text.substr(0, epos)) {
            if (ch == '.') {
                point = true;
                continue;
            }
            digits = digits * 10 + uint64_t(ch - '0');
            places += point ? 1 : 0;
        }
        int exp = 0;
        std::from_chars(text.data() + epos + 1 + (text[epos + 1] == '+'), text.data() + text.size(), exp);
        const int scale = exp - places;  // t = digits x 10^scale
        using u128 = unsigned __int128;
        auto pow10 = [](int n) {
            u128 p = 1;
            while (n-- > 0)
                p *= 10;
            return p;
        };
        if (scale >= 0 && scale <= 11)
            return TimeToStr(u128(digits) * pow10(scale), 1);
        if (scale < 0 && scale >= -27)
            return TimeToStr(u128(digits), pow10(-scale));
        if (scale < -27)  // far below a tenth of a nanosecond: one step, or none for 0
            return TimeToStr(u128(digits != 0), u128(10000000000ull) * 1000000000u * 1000000000u);
    }
    // Negative, huge or not a number: in real arithmetic.
    const double tpd = timePerDivision_;
    return timeLabel(std::ceil(t * 1e10 / tpd) * tpd);
}

void TQelScopeDisplay::mouseMoveEvent(QMouseEvent* e)
{
    const int x = int(e->position().x()), y = int(e->position().y());
    const int64_t top = plot_.Top, bottom = plot_.Bottom, max = levelMax_, min = levelMin_;
    if (mode_ == sdmScope && syncroType_ != sdstNone && bottom != top) {
        if (cursor().shape() == Qt::SizeVerCursor && (e->buttons() & Qt::LeftButton)) {
            SetTriggerLevel(clampToInt(max - (max - min) * (y - top) / (bottom - top)));
            return;
        }
        const int64_t yT = top + (max - triggerLevel_) * (bottom - top) / std::max<int64_t>(max - min, 1);
        if (yT - 4 <= y && y <= yT + 4 && plot_.Left <= x && x <= 8) {
            setCursor(Qt::SizeVerCursor);
            return;
        }
    }
    if (cursor().shape() != Qt::ArrowCursor)
        unsetCursor();
}
