#include "ScopeTrace.h"

#include <algorithm>

void TScopeTrace::SetSize(int clientWidth, int clientHeight)
{
    w_ = std::max(clientWidth - 2, 0);
    h_ = std::max(clientHeight - 2, 0);
    stride_ = std::max((clientWidth - 3) / 16, 0) * 2 + 2;
    drawing_.resize(size_t(stride_) * size_t(h_));
    shown_.resize(size_t(stride_) * size_t(h_));
    Clear();
}

void TScopeTrace::Clear()
{
    std::fill(drawing_.begin(), drawing_.end(), 0);
    std::fill(shown_.begin(), shown_.end(), 0);
    ResetDrawingRows();
    shownTop_ = drawTop_;
    shownBottom_ = drawBottom_;
    shownHeights_.clear();
    column_ = 0;
    lastHeight_ = -1;
    samplesDrawn_ = 0;
}

void TScopeTrace::SetRun(int x, int32_t a, int32_t b)
{
    if (x < 0 || x >= stride_ * 8)
        return;
    const int top = std::max(std::min(a, b), 0);
    const int bottom = std::min(std::max(a, b), h_ - 1);
    if (top > bottom)
        return;
    const uint8_t mask = uint8_t(0x80 >> (x % 8));
    uint8_t* p = drawing_.data() + size_t(top) * size_t(stride_) + size_t(x / 8);
    for (int y = top; y <= bottom; ++y, p += stride_)
        *p |= mask;
    drawTop_[size_t(x)] = std::min(drawTop_[size_t(x)], top);
    drawBottom_[size_t(x)] = std::max(drawBottom_[size_t(x)], bottom);
}

void TScopeTrace::ResetDrawingRows()
{
    drawTop_.assign(size_t(stride_) * 8, h_);
    drawBottom_.assign(size_t(stride_) * 8, -1);
}

bool TScopeTrace::ShownPixel(int x, int y) const
{
    if (x < 0 || y < 0 || x >= stride_ * 8 || y >= h_)
        return false;
    return shown_[size_t(y) * size_t(stride_) + size_t(x / 8)] & (0x80 >> (x % 8));
}

int TScopeTrace::DerivativeShift(int32_t rate)
{
    return rate == 44100 ? 3 : rate == 22050 ? 2 : 1;
}

int32_t TScopeTrace::FindTrigger(const int16_t* s, int32_t count, TTriggerMode mode, int32_t level,
                                 int32_t verticalScale)
{
    if (mode != tmPositiveEdge && mode != tmNegativeEdge)
        return 0;
    const int32_t a = ((level - 128) * 256) / std::max(verticalScale, 1);
    for (int32_t k = 0; k + 1 < count; ++k) {
        if (mode == tmPositiveEdge && s[k] <= a && s[k + 1] > s[k] && s[k + 1] >= a)
            return k + 1;
        if (mode == tmNegativeEdge && s[k] >= a && s[k + 1] < s[k] && s[k + 1] <= a)
            return k + 1;
    }
    return -1;
}

bool TScopeTrace::DrawTrace(const int16_t* samples, int32_t count)
{
    if (samplesDrawn_ > SamplesPerScreen) {
        column_ = 0;
        lastHeight_ = -1;
        samplesDrawn_ = 0;
    }
    if (count <= 0)
        return false;
    // One trigger a screen: once a screen has begun, the samples that follow are drawn as they come,
    // across buffers, in both forms.
    if (!GrabbedData && samplesDrawn_ == 0) {
        const int32_t start = FindTrigger(samples, count, Trigger, TriggerLevel, VerticalScale);
        if (start < 0)
            return false;
        samples += start;
        count -= start;
    }
    if (Derivative && count > 0) {
        const int g = DerivativeShift(Rate);
        work_.resize(size_t(count));
        for (int32_t k = 0; k + 1 < count; ++k) {
            // Differences wrap in 16 bits, as the sample type holds them.
            const uint32_t d = uint32_t(int32_t(samples[k + 1]) - samples[k]) << g;
            work_[size_t(k)] = int16_t(uint16_t(d));
        }
        samples = work_.data();
        count -= 1;
    }
    clipped_ = false;
    if (SamplesPerScreen < w_) {
        const size_t need = size_t(samplesDrawn_) + size_t(count);
        if (heights_.size() < need)
            heights_.resize(need);
        for (int32_t k = 0; k < count; ++k) {
            int32_t v = 32767 - int32_t(samples[k]) * VerticalScale;
            if (v <= 0 || v >= 65535)
                clipped_ = true;
            v = std::clamp(v, 0, 65535);
            heights_[size_t(samplesDrawn_ + k)] = int32_t((int64_t(v) * h_) / 65536);
        }
    } else {
        DrawColumns(samples, count);
    }
    samplesDrawn_ += count;
    if (samplesDrawn_ > SamplesPerScreen) {
        if (SamplesPerScreen < w_)
            ShowHeights();
        shown_.swap(drawing_);
        shownTop_.swap(drawTop_);
        shownBottom_.swap(drawBottom_);
        std::fill(drawing_.begin(), drawing_.end(), 0);
        ResetDrawingRows();
        return true;
    }
    return false;
}

// The display shows whole screens: what the next screen draws over does not reach it.
void TScopeTrace::ShowHeights()
{
    const size_t n = std::min(size_t(std::max(samplesDrawn_, 0)), heights_.size());
    shownHeights_.assign(heights_.begin(), heights_.begin() + std::ptrdiff_t(n));
}

void TScopeTrace::DrawColumns(const int16_t* s, int32_t count)
{
    const int32_t S = SamplesPerScreen;
    int64_t err = -S;
    int64_t sum = 0;
    int32_t n = 0;
    for (int32_t k = 0; k < count; ++k) {
        if (column_ >= w_ - 1)
            break;
        int32_t v = 32767 - int32_t(s[k]) * VerticalScale;
        if (v <= 0 || v >= 65535)
            clipped_ = true;
        v = std::clamp(v, 0, 65535);
        sum += v;
        ++n;
        err += 2 * int64_t(w_);
        if (err < 0)
            continue;
        err -= 2 * int64_t(S);
        const int32_t y = int32_t((sum / n) * h_ / 65536);
        sum = 0;
        n = 0;
        if (lastHeight_ < 0) {
            lastHeight_ = y;  // the first boundary of a screen only takes the height
            continue;
        }
        // The run from the last height to this one: its first half in this column, the rest in the next.
        const int32_t from = lastHeight_;
        const int32_t step = y >= from ? 1 : -1;
        const int32_t mid = from + (y - from) / 2;
        SetRun(column_, from, mid);
        ++column_;
        if (mid != y)
            SetRun(column_, mid + step, y);
        lastHeight_ = y;
    }
}
