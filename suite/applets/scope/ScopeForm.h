#pragma once
// The audio scope and spectrum analyser: the sound-card input as an oscilloscope trace or as a power
// spectrum over a chosen span, with measuring cursors, a trigger, a waveform grabber that records
// the input into memory and scrolls through it, and WAV files of what was grabbed.
#include "AppletForm.h"
#include "FFT.h"
#include "ScopeCalc.h"
#include "ScopeTrace.h"
#include "platform/ui/Canvas.h"

#include <QImage>

#include <array>
#include <memory>
#include <string>
#include <utility>
#include <vector>

class QCheckBox;
class QComboBox;
class QFrame;
class QGroupBox;
class QLabel;
class QMenu;
class QPushButton;
class QRadioButton;
class QSlider;
class QSpinBox;
class QSplitter;
class TFreqEdit;
class TMyScrollBar;
class TPaintPanel;
class TScopeDispPropsForm;

extern const char* const kScopeAppletName;  // "Audio Scope and Spectrum Analyser"

class TScopeForm : public TAppletForm {
    Q_OBJECT
public:
    explicit TScopeForm(int32_t receiver);
    ~TScopeForm() override;

    // Controls.
    QSplitter* Splitter = nullptr;
    TPaintPanel* Display = nullptr;
    TPaintPanel* InfoPanel = nullptr;
    QWidget* ControlPanel = nullptr;
    QRadioButton* ScopeButton = nullptr;
    QRadioButton* AnalyserButton = nullptr;
    QCheckBox* Grid = nullptr;
    QCheckBox* Derivative = nullptr;
    QCheckBox* Bar = nullptr;
    QLabel* Clipping = nullptr;
    QGroupBox* TriggerGroup = nullptr;
    QRadioButton* FreeRunning = nullptr;
    QRadioButton* SingleShot = nullptr;
    QRadioButton* PositiveEdge = nullptr;
    QRadioButton* NegativeEdge = nullptr;
    QPushButton* ShotReset = nullptr;
    QLabel* LevelLabel = nullptr;
    QSlider* TriggerLevel = nullptr;
    QComboBox* ScopeTimeBase = nullptr;
    QComboBox* FFTWindow = nullptr;
    QLabel* VertScaleLabel = nullptr;
    QSpinBox* VertScaleSpin = nullptr;
    QLabel* MarkersLabel = nullptr;
    QSpinBox* NumMarkers = nullptr;
    QPushButton* HelpButton = nullptr;
    QGroupBox* GrabberGroup = nullptr;
    QCheckBox* StoreEnable = nullptr;
    QPushButton* StoreStart = nullptr;
    TMyScrollBar* StoreScroll = nullptr;
    QPushButton* SaveButton = nullptr;
    QPushButton* OpenButton = nullptr;
    QGroupBox* SweepRange = nullptr;
    QCheckBox* UseStartStop = nullptr;
    QLabel* FreqLabel1 = nullptr;
    QLabel* FreqLabel2 = nullptr;
    TFreqEdit* FreqEdit1 = nullptr;
    TFreqEdit* FreqEdit2 = nullptr;
    QFrame* TriggerLevelMarker = nullptr;
    QMenu* DisplayMenu = nullptr;

    // Capture and processing.
    void RestartCapture(int32_t n);
    // One full capture buffer.
    void MMWimData(const int16_t* samples, size_t count);
    void ScopeTimeBaseChange();
    void FreqEditChange();
    void UseStartStopClick();
    void FFTWindowChange();
    void SingleShotClick();
    void ShotResetClick();
    void TriggerClick();
    void DerivativeClick();
    void VertScaleSpinClick();

    // Display, cursors, grabber, files and settings.
    void DisplayPaint();
    void InfoPanelPaint();
    void DisplayPanelResize();
    void sNumMarkersClick();
    void aNumMarkersClick();
    void TriggerLevelChanging();
    void ScopeButtonClick();
    void AnalyserButtonClick();
    void GridClick();
    void StoreClick();
    void StoreStartClick();
    void StoreScrollScroll(int32_t position);
    void OpenButtonClick();
    void SaveButtonClick();
    void Properties1Click();
    void PropsApply(TScopeDispPropsForm* props);
    void HelpButtonClick();
    void ClearScreen();
    void ShowGrabbed(int32_t p);
    void UpdateCursorValues();
    void PlaceTriggerMarker();

    // The file steps once a name is chosen; false when the file was refused or not fully read/written.
    bool LoadWaveFile(const std::string& path);
    bool SaveWaveFile(const std::string& path);

    // What the display and the readout line show, drawn off-screen.
    QImage RenderDisplay();
    QImage RenderInfo();
    std::string LeftReadout() const;
    std::string RightReadout() const;
    std::string CursorReadout() const;

    // State.
    bool AnalyserMode() const { return analyser_; }
    bool Hold() const { return hold_; }
    bool Grabbing() const { return grabbing_; }
    int32_t GrabbedSamples() const { return grabbed_; }
    const std::vector<int16_t>& Grab() const { return grab_; }
    size_t GrabCapacity() const { return grab_.capacity(); }
    int64_t MemoryLimit() const { return memoryLimit_; }
    void SetMemoryLimit(int64_t bytes) { memoryLimit_ = bytes; }
    int32_t SamplesPerScreen() const { return trace_.SamplesPerScreen; }
    int32_t ScreenTime() const { return screenTime_; }
    int32_t BufferLength() const { return n_; }
    const TPcmFormat& Format() const { return format_; }
    const TSpan& Span() const { return span_; }
    const TScopeTrace& Trace() const { return trace_; }
    const std::vector<int32_t>& SpectrumPoints() const { return spectrum_; }
    bool ClipState() const { return clip_; }
    int Margin() const { return margin_; }
    int ScopeCursorCount() const { return sCount_; }
    int AnalyserCursorCount() const { return aCount_; }
    double ScopeCursor(int i) const { return sValues_[size_t(i)]; }
    double AnalyserCursor(int i) const { return aValues_[size_t(i)]; }
    QFrame* CursorPanel(bool analyser, int i) const { return (analyser ? aPanels_ : sPanels_)[size_t(i)]; }
    // Moves cursor i of the current mode to a left edge, as a drag does.
    void MoveCursor(int i, int x);
    void SetLevelFromMarkerTop(int top);
    platform::TColor BackgroundColour = platform::clBlack;
    platform::TColor GridColour = platform::RGB(0, 128, 0);
    platform::TColor TraceColour = platform::clWhite;
    platform::TColor CursorColour = platform::clRed;

protected:
    void CreateSteps() override;
    void SetupApplet() override;
    void LoadSettings(const TAppletSettings& s) override;
    void SaveSettings(TAppletSettings& s) override;
    TPcmFormat CaptureFormat() const override { return TPcmFormat{1, format_.SamplesPerSec, 16}; }
    int CaptureBufferCount() const override { return 3; }
    int CaptureBufferBytes() const override { return int(n_) * 2; }
    void WaveInData(const int16_t* samples, size_t count) override { MMWimData(samples, count); }
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void BuildLayout();
    void ShowClip(bool clipped);
    void CreateCursor(bool analyser, int k);
    void SetCursorCount(bool analyser, int count);
    void PlaceCursors();
    void ShowCursors();
    void DiscardGrab();
    void StopGrab();
    void SetScrollRange();
    int ClientWidth() const;
    int ClientHeight() const;
    int CursorNear(int x) const;
    TTriggerMode TriggerMode() const;
    void ApplyDefaults();

    TPcmFormat format_{1, 11025, 16};
    uint32_t formatRate_ = 11025;
    int32_t n_ = 16384;
    bool hold_ = false;
    bool analyser_ = false;
    int32_t screenTime_ = 10;
    TScopeTrace trace_;
    std::unique_ptr<TFFTRec> fft_;
    TSpan span_;
    std::vector<int32_t> spectrum_;
    bool clip_ = false;
    bool clipShown_ = true;  // forces the first ShowClip to paint
    int margin_ = 0;
    int sCount_ = 0;
    int aCount_ = 0;
    std::array<double, 8> sValues_{};  // two used
    std::array<double, 8> aValues_{};
    std::array<QFrame*, 8> sPanels_{};  // two used
    std::array<QFrame*, 8> aPanels_{};
    QFrame* dragTarget_ = nullptr;
    bool markerDrag_ = false;
    int markerGrabY_ = 0;
    std::vector<int16_t> grab_;
    bool grabbing_ = false;
    int32_t grabbed_ = 0;
    int64_t memoryLimit_ = 0;
    bool grabEnabled_ = false;
    bool settingsRead_ = false;
    bool building_ = true;
    // What the background and grid are drawn for.
    struct TBackgroundKey {
        int w = 0, h = 0;
        platform::TColor background = 0, grid = 0;
        bool gridShown = false, analyser = false;
        int margin = 0;
        bool operator==(const TBackgroundKey&) const = default;
    };
    void RenderBackground(QImage& img);
    TBackgroundKey backgroundKey_;
    QImage backgroundImage_;
    QImage displayImage_;
    std::vector<int> dirtyTop_, dirtyBottom_;  // per column: rows the last frame's trace covers
};
