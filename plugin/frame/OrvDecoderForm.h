#pragma once
// The decoder window frame both plug-ins build on: the host link, construction and the close
// sequence, the registry settings, the saved and restored host settings, the sound input and
// mixers, the input-channel test, per-buffer muting and data output, automatic volume, the 50 ms
// clock, power events, help and the about box. What a protocol adds comes in through the
// virtual hooks below; each does nothing in the frame.
#include "OrvFrameLogic.h"
#include "OrvHostLink.h"
#include "OrvSound.h"
#include "SecondaryReceiver.h"
#include "SoundClock.h"
#include "SystemTime.h"
#include "plugin/frame/OrvPlugin.h"
#include "platform/ui/Dialogs.h"

#include <QDateTime>
#include <QWidget>

#include <deque>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class QAction;
class QLabel;
class QMenu;
class QRadioButton;
class QStatusBar;
class QTimer;
class TQelButton;
class TQelStaticText;
class TQelTrackBar;
class TQelVUBar;
namespace platform {
class PowerEvents;
class Registry;
}

// What one plug-in's window differs in.
struct TOrvFormConfig {
    std::string Name;             // display name, ANSI bytes: caption prefix, detach name
    std::string RegistryKey;      // "\Software\...\Receiver " (the receiver number follows)
    std::string HelpFile;         // in the plug-in folder
    std::string HelpTopic;        // of the Help button
    int HelpContext = 10000;      // the window's help context
    int VolumeHelpContext = 10600;  // of the level and volume controls
    std::string LogFileName;      // log dialog's default name
    std::string RecFileName;      // record dialog's default name
    std::string AboutLine;        // third line of the about box
    uint32_t SamplesPerSec = 11025;
    uint32_t InBufferSize = 8192;
    int32_t ValidThreshold = 5;   // valid codewords (or frames) that find the input channel
    int ClientWidth = 840, ClientHeight = 470;  // the window's fixed client size
};

// Power events as the system broadcasts them.
enum TOrvPowerEvent { pbtQuerySuspend = 0, pbtSuspend = 4, pbtResumeSuspend = 7 };

// Where suspend and resume come from; tests send their own. The shared instance listens to the
// system's power events from its first use on.
class TOrvPowerEvents : public QObject {
    Q_OBJECT
public:
    static TOrvPowerEvents& Instance();
    void Broadcast(int event) { emit PowerBroadcast(event); }
    // Passes the source's suspend and resume on as pbtSuspend and pbtResumeSuspend.
    void Listen(platform::PowerEvents& source);
    // The system's source the shared instance listens to; null before the first Instance().
    static platform::PowerEvents* System();
signals:
    void PowerBroadcast(int event);
};

class TOrvDecoderForm : public QWidget, public TSecondaryWindow {
    Q_OBJECT
public:
    TOrvDecoderForm(TOrvFormConfig config, OrvHostWindow hostWindow, const OrvReceiverInfo* info,
                    OrvHostCallback callback, uint32_t* flags, OrvInstance instance);
    ~TOrvDecoderForm() override;

    // The construction steps after the controls exist. Ends with the window started, or, when the
    // sound input did not open, not started. An error escaping a step is passed on after the
    // host's values read so far were restored and the link detached.
    void FormCreate();
    bool Started() const { return link_.Started; }
    bool Closing() const { return closing_; }

    // The host's notification; false when it is for another host window. A closing window takes
    // and ignores every notification of its host window.
    bool HostNotify(OrvHostWindow hostWindow, int32_t code, int32_t value);
    int32_t CallHost(int32_t code, int32_t parameter = 0, int32_t length = 0, const char* pointer = nullptr)
    {
        return link_.CallHost(code, parameter, length, pointer);
    }

    // Normal close: the close sequence, then the window is deleted from the event loop.
    void Close();
    // For a window that never started: the close sequence and deletion at once.
    void DestroyNow();

    // Event handlers.
    void WaveInWaveInData(QObject* sender, const int16_t* data, uint32_t bytes);
    void StartupTimerTimer();
    int OnPowerBroadcast(int event);
    bool FormHelp(int command, int data, bool& callHelp);
    // A help request of the application (command 8: the window's '?' on a control; 1: F1) for a
    // context: through FormHelp, then the help file's context when FormHelp leaves it to us.
    void ApplicationHelp(int command, int context);
    // The help context of a control of this window: its own, else that of the window.
    int HelpContextOf(const QWidget* control) const;
    void HelpButtonClick();
    void AboutButtonClick();
    void CloseButtonClick() { Close(); }
    void AutoVolumeClick();
    void RxVolumeChange();
    void SoundVolumeChange();
    void MixerInVolumeChange();
    void AutoAdjustVolume();
    void MonitorFiltersClick() {}
    void AlarmFiltersClick() {}
    virtual void RecTrafficClick() {}

    // State, for the protocol's code and for tests.
    TOrvHostLink& Link() { return link_; }
    const TOrvFormConfig& Config() const { return config_; }
    int32_t ReceiverNumber = 0;
    std::string PluginDir;  // ends with a '/'
    char ListSeparator = ',';
    int32_t SavedAttenuator = 0, SavedFrequency = 0, SavedMode = 0, SavedDataOutput = 0, SavedSignalLevel = 0,
            SavedVolume = 0;
    int SavedHostValues = 0;  // how many of the six were read
    bool MixerLinked = false;
    uint32_t SavedInVolume = 0, SavedOutVolume = 0;
    bool SavedOutMute = false;
    TOrvInputChannelTest InputTest;
    int32_t BuffersSinceTune = 0;
    int32_t ValidCount = 0;  // valid control codewords (frames) counted by the decoder
    uint16_t ChannelSize = 25000;
    int32_t SecondaryReceiver = 0;
    int32_t HostSignalLevel = 0;
    std::function<QDateTime()> Now = [] { return QDateTime::currentDateTime(); };
    // The sound heard since the input opened. With a recording it, not the timer, times the
    // decoders' 50 ms work and what they hear (SoundTimed); with a card the timer does, as ever.
    TSoundClock SoundClock;
    bool SoundTimed() const { return soundTimed_; }
    // When the sound now being decoded was heard: the clock's time at the open moved on by the
    // sound heard since (a recording); the clock's time itself (a card).
    QDateTime HeardNow() const { return soundTimed_ ? soundStart_.addMSecs(SoundClock.Milliseconds()) : Now(); }

    // Components and controls.
    std::unique_ptr<TOrvSoundInput> WaveIn;
    std::unique_ptr<TOrvMixer> MixerIn, MixerOut;
    TQelVUBar* AudioLevel;
    TQelTrackBar* RxVolume;
    TQelTrackBar* SoundVolume;
    TQelStaticText *SysIDLabel, *SysDescr, *CtrlChanLabel, *CtrlChanFreq, *AccFramesLabel, *SecondaryLabel;
    TQelButton *ChanSize12k5, *ChanSize25k, *LogFile, *DBBrowse, *SysEdit, *AlarmFilters, *MonitorFilters,
        *RecTraffic, *AutoVolume, *AutoTune, *RetToCtrl, *MuteData, *CloseButton, *AboutButton, *HelpButton;
    QRadioButton *AudioOut, *DataOut;
    QLabel* SgnInLabel;
    QStatusBar* StatusBar;
    QLabel *StatusClock, *StatusRecording;
    QTimer* StartupTimer;
    platform::TSaveDialog LogFileDlg, RecFileDlg;
    QWidget* AboutForm = nullptr;  // the about box once shown; freed with the window

    // A static text with its caption on the line above, for the protocol's own panes; and the
    // placing of one (caption included) where a protocol's layout wants it.
    TQelStaticText* AddText(const char* name, const char* caption, QRect box);
    void PlaceText(TQelStaticText* text, QRect box, int captionWidth = 0);

    // What the secondary receiver asks of every window; the protocol answers the rest.
    int32_t HostVolume() override { return link_.Get(ORV_VOLUME); }
    int32_t HostAttenuator() override { return link_.Get(ORV_ATTENUATOR); }
    // The input-channel test starts again on channel 0 (the secondary receiver's start runs this).
    void RestartInputChannelTest() override { InputTest.Restart(ValidCount); }
    void SetSecondaryLabel(const std::string& caption) override;

    // The "Secondary receiver" label's pop-up, once a protocol uses it (UseSecondaryMenu).
    QMenu* SecondaryPopup = nullptr;
    // The label's click: fills the pop-up with the receivers and shows it.
    void SecondaryLabelClick();
    // An item of that pop-up chosen.
    void None1Click(QAction* item);

    // The clock's time (Now) as a protocol's date and time fields.
    template <class Time> Time LocalNow() const { return TimeFields<Time>(Now()); }
    // A time as a protocol's date and time fields.
    template <class Time> static Time TimeFields(const QDateTime& now)
    {
        const QDate d = now.date();
        const QTime t = now.time();
        return {uint16_t(d.year()), uint8_t(d.month()), uint8_t(d.day()), uint8_t(t.hour()), uint8_t(t.minute()),
                uint8_t(t.second())};
    }
    // A protocol's date and time fields as the log writes them.
    template <class Time> static TSystemTime LogTime(const Time& time)
    {
        TSystemTime t{};
        t.Year = time.Year;
        t.Month = time.Month;
        t.Day = time.Day;
        t.Hour = time.Hour;
        t.Minute = time.Minute;
        t.Second = time.Second;
        return t;
    }

protected:
    // Hooks of the protocol, in the order the frame calls them.
    virtual void SetChannelSize(int32_t size);        // base: stores a valid step, sets the radios
    virtual void InitDecoder() {}                     // no system, counters zero, empty call list
    virtual void ReadExtraSettings(platform::Registry&) {}   // after "Auto Tune To"
    virtual void WriteExtraSettings(platform::Registry&) {}  // same place on writing
    virtual void OpenDatabase() {}
    virtual void LogFileClick() {}                    // opens or closes the log as LogFile says
    virtual void CreateDecoder() {}                   // check registers and the like
    virtual void ResetReceiver() {}                   // after the sound input opened
    virtual void SetTunedFrequency(int32_t) {}
    virtual void ProcessSamples(const int16_t*, uint32_t, uint32_t) {}  // (first sample, count, stride)
    // The decoder's part of each 50 ms tick: from the timer, or with a recording from the sound.
    virtual void TrafficScanTick() {}
    virtual void StartSecondaryReceiver() {}
    virtual void StopSecondaryReceiver() {}
    virtual void SecondarySetAttenuator(bool) {}
    virtual void SecondarySetVolume(int32_t) {}
    virtual void FreeDecoder() {}
    virtual void ClearCallList() {}
    virtual void SaveCurrentSystem() {}
    virtual void CloseBrowserEditor() {}
    // The notification table; a protocol may take codes over and pass the rest on.
    virtual void NotifyAction(int32_t code, int32_t value);
    // The about box of this plug-in.
    virtual QWidget* CreateAboutForm();

    // The secondary receiver the label's pop-up lists and chooses: makes the pop-up and takes the
    // label's click.
    void UseSecondaryMenu(TSecondaryReceiver& secondary)
    {
        listSecondary_ = [&secondary] { return secondary.ListReceivers(); };
        chooseSecondary_ = [&secondary](const TSecondaryMenuItem& item) {
            secondary.None1Click(item);
            return secondary.Chosen();
        };
        makeSecondaryPopup();
    }
    // The "Log file" button with a protocol's log: opens or closes it as the button says, asking
    // for the file through the log dialog; the button then shows whether it is open.
    template <class Log> void SwitchLogFile(Log& log)
    {
        std::filesystem::path name = LogFileDlg.FileName;
        int index = LogFileDlg.FilterIndex;
        const bool checked = log.LogFileClick(LogFileChecked(), Started(), name, index,
                                              [this](std::filesystem::path& fileName, int& filterIndex) {
                                                  return ChooseLogFile(fileName, filterIndex);
                                              });
        LogFileDlg.FileName = name.string();
        LogFileDlg.FilterIndex = index;
        SetLogFileChecked(checked);
    }
    bool LogFileChecked() const;
    void SetLogFileChecked(bool checked);
    // The log dialog: false when cancelled, else the file and filter chosen.
    bool ChooseLogFile(std::filesystem::path& fileName, int& filterIndex);

    // Runs the close sequence once; a protocol's destructor calls it so that a window deleted
    // without Close still gives the host its settings back.
    void RunCloseSequence();
    void closeEvent(QCloseEvent* e) override;
    // The window's help hook: '?' requests and F1 in this window and the windows it owns.
    bool eventFilter(QObject* watched, QEvent* e) override;

private:
    void buildControls();
    void readSettings();
    void writeSettings();
    void setupMixers();
    void restoreHost(int count);
    // One buffer through the handler (WaveInWaveInData holds those arriving meanwhile).
    void handleBuffer(const int16_t* data, uint32_t bytes);
    void decodeBuffer(const int16_t* data, uint32_t bytes);
    // The timer's open of the sound input after the help window closed.
    void ReopenWaveIn();
    void abandonCreate();
    std::string registryKey() const;
    void makeSecondaryPopup();

    TOrvFormConfig config_;
    TOrvHostLink link_;
    uint32_t* flags_;
    int32_t maxVolume_ = 0;
    bool closing_ = false;      // takes and ignores notifications
    bool closeDone_ = false;    // the close sequence has run (or must not run)
    bool deleting_ = false;
    bool helpHooked_ = false;
    bool inBuffer_ = false;                  // a buffer is being handled
    std::deque<std::vector<int16_t>> held_;  // buffers that arrived meanwhile
    static constexpr size_t kMaxHeldBuffers = 64;
    bool reopening_ = false;       // the timer's open of the sound input is under way
    bool reopenReported_ = false;  // its last failure was reported
    bool soundTimed_ = false;      // the input is a recording
    QDateTime soundStart_;         // the clock's time when the input opened
    std::function<std::vector<TSecondaryMenuItem>()> listSecondary_;
    std::function<int32_t(const TSecondaryMenuItem&)> chooseSecondary_;
};

// The plug-in's folder: ORV_PLUGIN_PATH when set, not empty and shorter than 512 characters, else
// the folder the library was loaded from; always ends with '/'.
std::string OrvPluginDir();

// Sets a track bar's position from code: clamped, and no change handler runs.
void SetTrackBarPosition(TQelTrackBar* bar, int32_t position);
