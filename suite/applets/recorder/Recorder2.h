#pragma once
// The squelch-controlled recorder: records the receiver's audio into a WAV file, holding the
// recording while the host reports a signal below its squelch, and plays recordings back with the
// receiver muted.
#include "AppletForm.h"
#include "RecorderLogic.h"
#include "RecordingFile.h"
#include "platform/sound/WavPlayer.h"
#include "platform/ui/Dialogs.h"

#include <functional>

class QLabel;
class QStatusBar;
class QTimer;
class QToolButton;
class TNewTrackBar;
class TPaintPanel;

extern const char* const kRecorderName;     // "Squelch Controlled Sound Recorder"
extern const char* const kRecorderCaption;  // "Squelch Controlled Recorder"

class TRecorder2Form : public TAppletForm {
    Q_OBJECT
public:
    explicit TRecorder2Form(int32_t receiver);
    ~TRecorder2Form() override;

    void RecordButtonClick();
    void PlayButtonClick();
    void PauseButtonClick();
    void StopButtonClick();
    void StartFileButtonClick();
    void RewindButtonClick();
    void FFwdButtonClick();
    void TrackBarChange();
    void UpdateTimerTimer();
    void New1Click();
    void Open1Click();
    void Properties1Click();
    // The squelch gate: holds or frees the capture while recording.
    void SquelchGate();

    void SetState(uint8_t state);
    uint8_t State() const { return state_; }
    // Opens a file in the player and shows its length and scale; false after the error box.
    bool OpenPlayback(const std::string& file);

    const TRecorderSettings& Settings() const { return settings_; }
    int32_t SignalStrength() const { return signalStrength_; }
    int32_t SquelchLevel() const { return squelchLevel_; }
    const TRecordingFile& RecordingFile() const { return file_; }
    platform::WavPlayer& MediaPlayer() { return player_; }
    int ScaleRow() const { return scaleRow_; }
    QString StatusText(int panel) const;

    // Free bytes on the drive that holds a file (statvfs, in 64 bits); tests put their own.
    std::function<uint64_t(const std::string&)> FreeSpace;

    QLabel* LengthPanel = nullptr;
    QLabel* PositionPanel = nullptr;
    QLabel* FileSizePanel = nullptr;
    TNewTrackBar* TrackBar = nullptr;
    TPaintPanel* PaintBox1 = nullptr;
    QToolButton* PlayButton = nullptr;
    QToolButton* RecordButton = nullptr;
    QToolButton* StopButton = nullptr;
    QToolButton* PauseButton = nullptr;
    QToolButton* StartFileButton = nullptr;
    QToolButton* RewindButton = nullptr;
    QToolButton* FFwdButton = nullptr;
    QTimer* UpdateTimer = nullptr;
    platform::TSaveDialog SaveDialog;
    platform::TOpenDialog OpenDialog;

protected:
    void CreateSteps() override;
    void LoadSettings(const TAppletSettings& s) override;
    void SaveSettings(TAppletSettings& s) override;
    TPcmFormat CaptureFormat() const override;
    int CaptureBufferCount() const override { return 16; }
    int CaptureBufferBytes() const override { return 4096; }
    bool RequeueAfterData() const override { return false; }
    void WaveInBytes(int buffer, const uint8_t* data, size_t bytes) override;
    void ConnectHost() override;
    void AdviseValue(const std::string& item, int32_t value) override;
    void AfterAdviseData() override { SquelchGate(); }
    void HostRegistered() override;
    void StopApplet() override { StopButtonClick(); }
    void CloseRecordingFile() override;
    void MenuClick(const std::string& name, QAction* action) override;

private:
    void BuildLayout();
    void PaintScale(TPaintPanel* box);
    void ShowSettingsInMenus();
    void ClosePlayer();
    void AfterSeek();
    void ApplyCapture();

    TRecorderSettings settings_;
    uint8_t state_ = rsStopped;
    int32_t signalStrength_ = 0;
    int32_t squelchLevel_ = 0;
    TRecordingFile file_;
    bool stopping_ = false;     // Stop is draining the capture: buffers are written, not queued again
    bool stopPending_ = false;  // the limit or a full drive was reached: the Stop is on its way
    platform::WavPlayer player_;
    uint32_t playRate_ = 0;
    int scaleRow_ = 0;
    QStatusBar* statusBar_ = nullptr;
    QLabel* statusPanels_[2] = {nullptr, nullptr};
};

bool CreateRecorderApplet(int32_t receiver);
