#pragma once
// A level bar that follows the upper and lower envelope of a 16-bit sample stream, with optional
// peak marks and a colour gradient. The bar is drawn into an off-screen bitmap, rebuilt only when
// something changed, and copied to the screen in one operation.
#include "QelFramedWindow.h"
#include "QelVUEnvelope.h"

enum TQelVUBarType { vubLeft, vubRight, vubTop, vubBottom, vubHorz, vubVert };

class TQelVUBar : public TQelFramedWindow {
    Q_OBJECT
public:
    explicit TQelVUBar(QWidget* parent = nullptr);
    ~TQelVUBar() override;

    // Feeds samples 0, step, 2*step ... below count into the envelopes and repaints at once.
    // A step of 0 is refused: nothing is fed or repainted.
    void ProcessBuffer(const int16_t* buffer, uint32_t count, uint32_t step);
    void NewValueMax(int32_t x) { levels_.NewValueMax(x); }
    void NewValueMin(int32_t x) { levels_.NewValueMin(x); }

    int32_t Min() const { return levels_.Min; }
    int32_t Max() const { return levels_.Max; }
    int32_t ValueMin() const { return levels_.ValueMin; }
    int32_t ValueMax() const { return levels_.ValueMax; }
    int32_t PeakMin() const { return levels_.PeakMin; }
    int32_t PeakMax() const { return levels_.PeakMax; }
    void SetMax(int32_t m) { redrawIf(levels_.SetMax(m)); }
    void SetMin(int32_t m) { redrawIf(levels_.SetMin(m)); }
    void SetValueMax(int32_t v) { redrawIf(levels_.SetValueMax(v)); }
    void SetValueMin(int32_t v) { redrawIf(levels_.SetValueMin(v)); }
    void SetPeakMax(int32_t v) { redrawIf(levels_.SetPeakMax(v)); }
    void SetPeakMin(int32_t v) { redrawIf(levels_.SetPeakMin(v)); }

    // Plain fields: stored, nothing redrawn.
    int32_t ValueAttack() const { return levels_.ValueAttack; }
    void SetValueAttack(int32_t v) { levels_.ValueAttack = v; }
    int32_t ValueDecay() const { return levels_.ValueDecay; }
    void SetValueDecay(int32_t v) { levels_.ValueDecay = v; }
    int32_t PeakAttack() const { return levels_.PeakAttack; }
    void SetPeakAttack(int32_t v) { levels_.PeakAttack = v; }
    int32_t PeakDecay() const { return levels_.PeakDecay; }
    void SetPeakDecay(int32_t v) { levels_.PeakDecay = v; }

    TQelVUBarType BarType() const { return barType_; }
    void SetBarType(TQelVUBarType t);
    bool ShowPeak() const { return showPeak_; }
    void SetShowPeak(bool on);
    platform::TColor ColorCenter() const { return colorCenter_; }
    void SetColorCenter(platform::TColor c);
    platform::TColor ColorMiddle() const { return colorMiddle_; }
    void SetColorMiddle(platform::TColor c);
    platform::TColor ColorExtreme() const { return colorExtreme_; }
    void SetColorExtreme(platform::TColor c);
    platform::TColor ColorPeak() const { return colorPeak_; }
    void SetColorPeak(platform::TColor c);

    // Gradient colour of level l (0 .. Max - Min) for the current bar type.
    platform::TColor LevelColor(int64_t l) const;
    // Whether the next paint rebuilds the bitmap.
    bool RedrawNeeded() const { return redraw_; }

protected:
    void Paint(platform::TCanvas& canvas) override;
    void resizeEvent(QResizeEvent* e) override;

private:
    void redrawIf(bool changed);
    void setColour(platform::TColor& field, platform::TColor c);
    void drawBar();

    TQelVUEnvelope levels_;
    TQelVUBarType barType_ = vubLeft;
    bool showPeak_ = true;
    platform::TColor colorCenter_ = 0x00FF00;
    platform::TColor colorMiddle_ = 0x00FFFF;
    platform::TColor colorExtreme_ = 0x0000FF;
    platform::TColor colorPeak_ = 0xFF0000;
    platform::TBitmap bitmap_;
    bool redraw_ = true;
};
