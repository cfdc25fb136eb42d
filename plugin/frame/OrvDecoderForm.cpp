#include "OrvDecoderForm.h"

#include "OrvAboutForm.h"
#include "OrvPluginFrame.h"
#include "QelButton.h"
#include "QelStaticText.h"
#include "QelTrackBar.h"
#include "QelVUBar.h"
#include "platform/settings/Registry.h"
#include "platform/ui/Application.h"
#include "platform/ui/Codepage.h"
#include "platform/ui/Help.h"
#include "platform/ui/Locale.h"
#include "platform/ui/ScreenPlace.h"

#include <QApplication>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QGuiApplication>
#include <QLabel>
#include <QLocale>
#include <QMenu>
#include <QRadioButton>
#include <QScreen>
#include <QSignalBlocker>
#include <QStatusBar>
#include <QTimer>

#include <dlfcn.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>

std::string OrvPluginDir()
{
    const char* env = std::getenv("ORV_PLUGIN_PATH");
    std::string dir;
    // An empty or overlong value would put the folder at "/": the library's own folder instead.
    if (env && *env && std::strlen(env) < 512) {
        dir = env;
    } else {
        Dl_info where{};
        if (dladdr(reinterpret_cast<void*>(&OrvPluginDir), &where) && where.dli_fname)
            dir = std::filesystem::absolute(where.dli_fname).parent_path().string();
    }
    if (dir.empty() || dir.back() != '/')
        dir += '/';
    return dir;
}

void SetTrackBarPosition(TQelTrackBar* bar, int32_t position)
{
    const QSignalBlocker quiet(bar);
    bar->setValue(std::clamp(position, bar->minimum(), bar->maximum()));
}

namespace {

// A control's own help context, where it has one.
constexpr const char* kHelpContextProperty = "helpContext";
constexpr int kHelpContextPopup = 8;  // the '?' of the window on a control
constexpr int kHelpContextF1 = 1;     // F1: the help file at a context

TQelButton* MakeButton(QWidget* parent, const char* name, const char* text, TQelButtonStyle style, QRect where)
{
    auto* b = new TQelButton(parent);
    b->setObjectName(name);
    b->SetText(QString::fromUtf8(text));
    b->SetButtonStyle(style);
    b->setGeometry(where);
    return b;
}

QLabel* MakeCaption(QWidget* parent, const char* text, QRect where, Qt::Alignment align = Qt::AlignLeft)
{
    auto* caption = new QLabel(QString::fromUtf8(text), parent);
    caption->setGeometry(where);
    caption->setAlignment(align | Qt::AlignVCenter);
    caption->setStyleSheet("color: white");
    return caption;
}

// A text field with its caption on the line above, as wide as `captionWidth` (the field's width
// when 0), so that a long caption may run over a neighbouring field.
TQelStaticText* MakeText(QWidget* parent, const char* name, const char* label, QRect where, int captionWidth = 0)
{
    QLabel* caption = nullptr;
    if (*label)
        caption = MakeCaption(parent, label, {where.x(), where.y() - 17, captionWidth ? captionWidth : where.width(), 16});
    auto* t = new TQelStaticText(parent);
    t->setObjectName(name);
    t->setGeometry(where);
    t->setProperty("orvCaption", QVariant::fromValue(static_cast<QObject*>(caption)));
    return t;
}

}  // namespace

TOrvDecoderForm::TOrvDecoderForm(TOrvFormConfig config, OrvHostWindow hostWindow, const OrvReceiverInfo* info,
                                 OrvHostCallback callback, uint32_t* flags, OrvInstance instance)
    : config_(std::move(config)), link_(hostWindow, callback, instance, config_.Name), flags_(flags)
{
    if (info) {
        ReceiverNumber = info->receiverNumber;
        maxVolume_ = info->maxVolume;
    }
    InputTest.Threshold = config_.ValidThreshold;
    buildControls();
}

TOrvDecoderForm::~TOrvDecoderForm()
{
    if (helpHooked_)
        qApp->removeEventFilter(this);
    // A protocol's destructor has run the close sequence already; this is the frame's own share
    // for a window whose protocol part never got that far.
    RunCloseSequence();
    delete AboutForm;
    // The level bar lets pending events run as it goes; it goes while the window is still whole.
    delete AudioLevel;
}

void TOrvDecoderForm::buildControls()
{
    setWindowFlags(Qt::Window | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint | Qt::WindowContextHelpButtonHint);
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, QColor(0x40, 0x40, 0x40));
    setPalette(pal);
    setFixedSize(config_.ClientWidth, config_.ClientHeight);

    WaveIn = MakeOrvSoundInput();
    WaveIn->DeviceId = 0;
    WaveIn->BitsPerSample = 16;
    WaveIn->ChannelsNum = 2;
    WaveIn->SamplesPerSec = config_.SamplesPerSec;
    WaveIn->InBuffersNum = 8;
    WaveIn->InBufferSize = config_.InBufferSize;
    WaveIn->OnWaveInData = [this](QObject* s, const int16_t* d, uint32_t n) { WaveInWaveInData(s, d, n); };
    MixerIn = MakeOrvMixer(mlDestWaveIn);
    MixerIn->OnVolumeChange = [this](QObject*) { MixerInVolumeChange(); };
    MixerOut = MakeOrvMixer(mlDestSpeakers);

    // Three columns: the protocol's panes on the left (x < 400, down to y 436), the level and the
    // two volumes in the middle, the frame's buttons on the right.
    AudioLevel = new TQelVUBar(this);
    AudioLevel->setObjectName("AudioLevel");
    AudioLevel->SetBarType(vubVert);
    AudioLevel->SetMin(-32768);
    AudioLevel->SetMax(32767);
    AudioLevel->SetValueMin(-5);
    AudioLevel->SetPeakMin(-5);
    AudioLevel->SetValueMax(79);
    AudioLevel->SetPeakMax(79);
    AudioLevel->SetValueDecay(30000);
    AudioLevel->SetPeakDecay(1000000);
    AudioLevel->SetPeakAttack(10);
    AudioLevel->SetShowPeak(false);
    AudioLevel->SetColorCenter(0x00FF00);
    AudioLevel->SetColorMiddle(0x00FF00);
    AudioLevel->SetColorExtreme(0x00FF00);
    MakeCaption(this, "Level", {410, 2, 44, 16}, Qt::AlignHCenter);
    AudioLevel->setGeometry(422, 20, 20, 356);

    // What each slider sets is written above it.
    MakeCaption(this, "Receiver", {460, 2, 60, 16}, Qt::AlignHCenter);
    RxVolume = new TQelTrackBar(this);
    RxVolume->setObjectName("RxVolume");
    RxVolume->setOrientation(Qt::Vertical);
    RxVolume->setGeometry(475, 20, 30, 356);
    RxVolume->setToolTip("Receiver volume");
    MakeCaption(this, "Sound card", {524, 2, 76, 16}, Qt::AlignHCenter);
    SoundVolume = new TQelTrackBar(this);
    SoundVolume->setObjectName("SoundVolume");
    SoundVolume->setOrientation(Qt::Vertical);
    SoundVolume->setRange(0, 65535);
    SoundVolume->setGeometry(547, 20, 30, 356);
    SoundVolume->setToolTip("Sound card input volume");
    connect(RxVolume, &QSlider::valueChanged, this, [this] { RxVolumeChange(); });
    connect(SoundVolume, &QSlider::valueChanged, this, [this] { SoundVolumeChange(); });
    AutoVolume = MakeButton(this, "AutoVolume", "Automatic volume setting", bsCheckButton, {410, 386, 190, 24});
    AutoVolume->OnClick = [this](QObject*) { AutoVolumeClick(); };
    for (QWidget* w : std::initializer_list<QWidget*>{AudioLevel, RxVolume, SoundVolume, AutoVolume})
        w->setProperty(kHelpContextProperty, config_.VolumeHelpContext);

    SysIDLabel = MakeText(this, "SysIDLabel", "System ID and description:", {10, 338, 60, 22}, 390);
    SysDescr = MakeText(this, "SysDescr", "", {76, 338, 324, 22});
    CtrlChanLabel = MakeText(this, "CtrlChanLabel", "Control channel index:", {10, 378, 192, 22});
    CtrlChanFreq = MakeText(this, "CtrlChanFreq", "Control channel frequency:", {208, 378, 192, 22});
    AccFramesLabel = MakeText(this, "AccFramesLabel", "Accepted frames:", {10, 418, 192, 22});
    SecondaryLabel = MakeText(this, "SecondaryLabel", "Secondary receiver:", {208, 418, 192, 22});
    SecondaryLabel->SetText("None");

    constexpr int col = 612, wide = 218, half = 107;
    MakeCaption(this, "Channel step:", {col, 2, wide, 16});
    ChanSize12k5 = MakeButton(this, "ChanSize12k5", "12.5 kHz", bsRadioButton, {col, 20, half, 24});
    ChanSize25k = MakeButton(this, "ChanSize25k", "25 kHz", bsRadioButton, {col + wide - half, 20, half, 24});
    ChanSize12k5->OnClick = [this](QObject*) { SetChannelSize(12500); };
    ChanSize25k->OnClick = [this](QObject*) { SetChannelSize(25000); };

    AutoTune = MakeButton(this, "AutoTune", "Automatically tune to traffic channel", bsCheckButton, {col, 62, wide, 24});
    RetToCtrl = MakeButton(this, "RetToCtrl", "Return to control channel", bsPushButton, {col, 90, wide, 24});
    RetToCtrl->setEnabled(false);
    // Mute data is widened over the hidden record button at construction.
    MuteData = MakeButton(this, "MuteData", "Mute data", bsCheckButton, {col, 118, half, 24});
    RecTraffic = MakeButton(this, "RecTraffic", "Record traffic", bsCheckButton, {col + wide - half, 118, half, 24});
    RecTraffic->OnClick = [this](QObject*) { RecTrafficClick(); };

    LogFile = MakeButton(this, "LogFile", "Log file", bsCheckButton, {col, 166, half, 24});
    LogFile->OnClick = [this](QObject*) { LogFileClick(); };
    DBBrowse = MakeButton(this, "DBBrowse", "Database", bsPushButton, {col + wide - half, 166, half, 24});
    SysEdit = MakeButton(this, "SysEdit", "System information edit", bsPushButton, {col, 194, wide, 24});
    SysEdit->setEnabled(false);

    // Moved up by 16, 10 and 4 pixels at construction.
    SgnInLabel = MakeCaption(this, "Signal input", {col, 262, wide, 16});
    SgnInLabel->setObjectName("SgnInLabel");
    AudioOut = new QRadioButton("Audio", this);
    AudioOut->setObjectName("AudioOut");
    AudioOut->setGeometry(col + 4, 272, 100, 20);
    AudioOut->setChecked(true);
    DataOut = new QRadioButton("Discrim", this);
    DataOut->setObjectName("DataOut");
    DataOut->setGeometry(col + 4, 288, 100, 20);
    for (QRadioButton* r : {AudioOut, DataOut})
        r->setStyleSheet("color: white");
    // Hidden at construction, never shown.
    AlarmFilters = MakeButton(this, "AlarmFilters", "Alarm filters", bsPushButton, {col, 356, half, 24});
    AlarmFilters->OnClick = [this](QObject*) { AlarmFiltersClick(); };
    MonitorFilters = MakeButton(this, "MonitorFilters", "Monitor filters", bsPushButton, {col + wide - half, 356, half, 24});
    MonitorFilters->OnClick = [this](QObject*) { MonitorFiltersClick(); };

    AboutButton = MakeButton(this, "AboutButton", "About", bsPushButton, {col, 386, half, 24});
    AboutButton->OnClick = [this](QObject*) { AboutButtonClick(); };
    HelpButton = MakeButton(this, "HelpButton", "Help", bsPushButton, {col + wide - half, 386, half, 24});
    HelpButton->OnClick = [this](QObject*) { HelpButtonClick(); };
    CloseButton = MakeButton(this, "CloseButton", "Close", bsPushButton, {col, 416, wide, 24});
    CloseButton->OnClick = [this](QObject*) { CloseButtonClick(); };

    StatusBar = new QStatusBar(this);
    StatusBar->setGeometry(0, height() - 22, width(), 22);
    StatusBar->setSizeGripEnabled(false);
    StatusClock = new QLabel(StatusBar);
    StatusRecording = new QLabel(StatusBar);
    StatusBar->addWidget(StatusClock);
    StatusBar->addWidget(StatusRecording, 1);

    StartupTimer = new QTimer(this);
    StartupTimer->setInterval(TSoundClock::kTickMs);  // the decoders' ticks of a card's sound
    connect(StartupTimer, &QTimer::timeout, this, [this] { StartupTimerTimer(); });

    for (auto* dlg : {&LogFileDlg, &RecFileDlg})
        dlg->Options = platform::ofNoChangeDir | platform::ofShowHelp | platform::ofPathMustExist |
                       platform::ofNoReadOnlyReturn;
    LogFileDlg.DefaultExt = "txt";
    LogFileDlg.FileName = config_.LogFileName;
    LogFileDlg.Title = "Select the Log File Name";
    LogFileDlg.Filter = "Simple text (*.txt)|*.txt|Comma Separated (*.csv)|*.csv";
    LogFileDlg.FilterIndex = 1;
    RecFileDlg.DefaultExt = "wav";
    RecFileDlg.FileName = config_.RecFileName;
    RecFileDlg.Title = "Select WAV File";
    RecFileDlg.Filter = "Wave Audio (*.wav)|*.wav";

    connect(&TOrvPowerEvents::Instance(), &TOrvPowerEvents::PowerBroadcast, this,
            [this](int event) { OnPowerBroadcast(event); });
}

TQelStaticText* TOrvDecoderForm::AddText(const char* name, const char* caption, QRect box)
{
    return MakeText(this, name, caption, box);
}

void TOrvDecoderForm::PlaceText(TQelStaticText* text, QRect box, int captionWidth)
{
    text->setGeometry(box);
    if (auto* caption = qobject_cast<QLabel*>(text->property("orvCaption").value<QObject*>())) {
        caption->setGeometry(box.x(), box.y() - 17, captionWidth > 0 ? captionWidth : box.width(), 16);
        caption->setVisible(!caption->text().isEmpty());
    }
}

std::string TOrvDecoderForm::registryKey() const { return config_.RegistryKey + std::to_string(ReceiverNumber); }

void TOrvDecoderForm::FormCreate()
{
    try {
        if (const QScreen* screen = QGuiApplication::primaryScreen()) {
            const QRect s = screen->geometry();
            move((s.width() - width()) / 2, (s.height() - height()) / 2);
        }
        link_.Attached = true;
        link_.Started = false;
        // Before anything goes through the callback.
        *flags_ = ORV_PLUGIN_FLAGS;
        setWindowTitle(platform::FromCp1252(config_.Name) + " #" + QString::number(ReceiverNumber));
        SecondaryReceiver = 0;
        SecondaryLabel->SetText("None");
        ListSeparator = platform::Locale().ListSeparator;
        PluginDir = OrvPluginDir();
        // Help requests of this window and of the windows it owns come to FormHelp from here on.
        if (!helpHooked_) {
            qApp->installEventFilter(this);
            helpHooked_ = true;
        }
        for (auto* t : {AccFramesLabel, CtrlChanFreq, CtrlChanLabel, SysDescr, SysIDLabel})
            t->SetText("");
        ChannelSize = 0;  // so the first step is taken as a change
        SetChannelSize(25000);
        BuffersSinceTune = 0;
        ValidCount = 0;
        InitDecoder();

        // The host's settings, given back when the window closes.
        int32_t* saved[] = {&SavedAttenuator, &SavedFrequency, &SavedMode, &SavedDataOutput, &SavedSignalLevel,
                            &SavedVolume};
        const int32_t items[] = {ORV_ATTENUATOR, ORV_FREQUENCY, ORV_MODE, ORV_DATA_OUTPUT, ORV_CODE_0B01, ORV_VOLUME};
        for (int i = 0; i < 6; ++i) {
            *saved[i] = link_.Get(items[i]);
            SavedHostValues = i + 1;
        }

        LogFileDlg.InitialDir = PluginDir;
        readSettings();
        OpenDatabase();
        if (LogFile->Checked())
            LogFileClick();
        if (RecTraffic->Checked())
            RecTrafficClick();
        CreateDecoder();
        setupMixers();

        RxVolume->setRange(0, std::max(0, maxVolume_));
        SetTrackBarPosition(RxVolume, link_.Get(ORV_VOLUME));
        platform::help();  // the help file is ours: PluginDir + HelpFile

        AlarmFilters->hide();
        MonitorFilters->hide();
        RecTraffic->hide();
        MuteData->setGeometry(MuteData->x(), MuteData->y(), RecTraffic->geometry().right() - MuteData->x() + 1,
                              MuteData->height());
        const int half = (SysEdit->width() - 3) / 2;
        LogFile->setGeometry(LogFile->x(), LogFile->y(), half, LogFile->height());
        DBBrowse->setGeometry(LogFile->x() + half + 3, DBBrowse->y(), half, DBBrowse->height());
        SgnInLabel->move(SgnInLabel->x(), SgnInLabel->y() - 16);
        AudioOut->move(AudioOut->x(), AudioOut->y() - 10);
        DataOut->move(DataOut->x(), DataOut->y() - 4);

        AutoVolumeClick();

        if (WaveIn->Open() == 0) {
            soundTimed_ = WaveIn->IsRecording();
            SoundClock.Reset(WaveIn->SamplesPerSec);
            soundStart_ = Now();
            InputTest.DataChannel = 0;
            InputTest.State = 0;
            ResetReceiver();
            SetTunedFrequency(link_.Get(ORV_FREQUENCY));
            show();
            raise();
            activateWindow();
            StartupTimer->start();
            link_.Started = true;
        }
    } catch (...) {
        abandonCreate();
        throw;
    }
}

void TOrvDecoderForm::abandonCreate()
{
    closeDone_ = true;
    closing_ = true;
    StartupTimer->stop();
    WaveIn->Close();
    // Only what was read is given back; a host that told us nothing hears nothing more.
    if (SavedHostValues > 0) {
        restoreHost(SavedHostValues);
        link_.Detach();
    }
    link_.Attached = false;
}

void TOrvDecoderForm::readSettings()
{
    platform::Registry reg;
    if (!reg.OpenKey(registryKey(), false))
        return;
    auto integer = [&](const char* name, auto apply) {
        if (reg.ValueExists(name))
            apply(reg.ReadInteger(name));
    };
    auto boolean = [&](const char* name, TQelButton* button) {
        if (reg.ValueExists(name))
            button->SetCheck(reg.ReadBool(name));
    };
    integer("Left", [&](int32_t v) { move(v, y()); });
    integer("Top", [&](int32_t v) { move(x(), v); });
    // A position stored on another desktop, or by a run without a display, is brought onto the screens.
    if (reg.ValueExists("Left") || reg.ValueExists("Top"))
        platform::KeepOnScreen(this);
    integer("Channel Size", [&](int32_t v) { SetChannelSize(v); });
    boolean("Auto Tune To", AutoTune);
    ReadExtraSettings(reg);
    boolean("Log File", LogFile);
    if (reg.ValueExists("Log File Name"))
        LogFileDlg.FileName = reg.ReadString("Log File Name");
    integer("Log File Type", [&](int32_t v) { LogFileDlg.FilterIndex = v == 2 ? 2 : 1; });
    boolean("Mute Data", MuteData);
    if (reg.ValueExists("Data Output")) {
        const bool discrim = reg.ReadBool("Data Output");
        DataOut->setChecked(discrim);
        AudioOut->setChecked(!discrim);
    }
    boolean("Automatic Volume Setting", AutoVolume);
    boolean("Record Traffic", RecTraffic);
    if (reg.ValueExists("Record Traffic File"))
        RecFileDlg.FileName = reg.ReadString("Record Traffic File");
}

void TOrvDecoderForm::setupMixers()
{
    MixerLinked = false;
    if (MixerOut->MixerCount() > 0) {
        MixerOut->SetMixerNumber(0);
        MixerIn->SetMixerNumber(0);
        for (TOrvMixer* m : {MixerOut.get(), MixerIn.get()}) {
            int source = 0;
            m->SetSourceNumber(source);
            while (m->SourceType() != mlSrcLine && source + 1 < m->SourceCount())
                m->SetSourceNumber(++source);
        }
        SavedInVolume = MixerIn->Volume();
        SetTrackBarPosition(SoundVolume, int32_t(SavedInVolume));
        SavedOutVolume = MixerOut->Volume();
        SavedOutMute = MixerOut->Mute();
        // Two mixers on one line follow each other: nudge one and see whether the other moves.
        if (MixerOut->Volume() == MixerIn->Volume()) {
            MixerLinked = true;
            for (int i = 0; i < 2 && MixerLinked; ++i) {
                const uint32_t v = MixerIn->Volume();
                MixerIn->SetVolume(v >= 0x7FFF ? v - 1 : v + 1);
                platform::processMessages();
                MixerLinked = MixerOut->Volume() == MixerIn->Volume();
            }
        }
    } else {
        AutoVolume->setEnabled(false);
        SoundVolume->setEnabled(false);
        MuteData->setEnabled(false);
    }
}

void TOrvDecoderForm::SetChannelSize(int32_t size)
{
    // Only the two steps the channel arithmetic knows; anything else (0 from a damaged setting) is 25 kHz.
    const uint16_t valid = ValidChannelSize(size);
    if (valid == ChannelSize)
        return;
    ChannelSize = valid;
    ChanSize12k5->SetCheck(valid == 12500);
    ChanSize25k->SetCheck(!ChanSize12k5->Checked());
}

void TOrvDecoderForm::WaveInWaveInData(QObject*, const int16_t* data, uint32_t bytes)
{
    if (!StartupTimer->isActive() || closing_ || !data)
        return;
    // A message box raised while a buffer is decoded (a database or log failure) runs an event loop
    // that delivers further buffers. They wait, copied, until the buffer before them is done:
    // nothing enters the decoder twice, and nothing is lost.
    if (inBuffer_) {
        if (held_.size() < kMaxHeldBuffers)
            held_.emplace_back(data, data + bytes / 2);
        return;
    }
    inBuffer_ = true;
    handleBuffer(data, bytes);
    while (!held_.empty() && !closing_) {
        const std::vector<int16_t> next = std::move(held_.front());
        held_.pop_front();
        handleBuffer(next.data(), uint32_t(next.size() * 2));
    }
    held_.clear();
    inBuffer_ = false;
}

void TOrvDecoderForm::handleBuffer(const int16_t* data, uint32_t bytes)
{
    if (!StartupTimer->isActive() || closing_)
        return;
    // The buffer's sound has been heard, decoded or not. A recording has no other time: the
    // decoder's ticks of that sound come first, as the timer's would during a card's buffer.
    const int ticks = SoundClock.Advance(bytes / 2 / std::max<uint16_t>(WaveIn->ChannelsNum, 1));
    for (int i = 0; soundTimed_ && i < ticks && !closing_; ++i)
        TrafficScanTick();
    if (!closing_)
        decodeBuffer(data, bytes);
}

void TOrvDecoderForm::decodeBuffer(const int16_t* data, uint32_t bytes)
{
    ++BuffersSinceTune;
    if (!InputTest.Step(BuffersSinceTune, ValidCount, link_))
        return;

    const TOrvOutputChoice out = ChooseOutput(MixerLinked, SecondaryReceiver != 0, RetToCtrl->isEnabled(),
                                              MuteData->Checked(), DataOut->isChecked(), InputTest.DataChannel);
    switch (out.kind) {
    case TOrvOutputChoice::PerChannel:
        MixerOut->SetChannelVolume(out.channel, out.copyFrom < 0 ? 0 : MixerOut->ChannelVolume(out.copyFrom));
        MixerOut->SetMute(false);
        break;
    case TOrvOutputChoice::Unmuted:
        MixerOut->SetMute(false);
        break;
    case TOrvOutputChoice::Muted:
        MixerOut->SetMute(true);
        break;
    }
    CallHost(ORV_SET_DATA_OUTPUT, out.dataOutput);

    const uint32_t samples = bytes / 2;
    const uint32_t first = uint32_t(DataSampleIndex(InputTest.DataChannel));
    if (samples > first) {
        AudioLevel->ProcessBuffer(data + first, samples - first, 2);
        AutoAdjustVolume();
        ProcessSamples(data + first, samples - first, 2);
    }
}

void TOrvDecoderForm::AutoAdjustVolume()
{
    if (!AutoVolume->Checked() || RetToCtrl->isEnabled())
        return;
    SetTrackBarPosition(RxVolume, AutoVolumeStep(AudioLevel->ValueMax(), AudioLevel->Max(), RxVolume->value()));
    SetTrackBarPosition(SoundVolume,
                        ScaledSoundVolume(RxVolume->value(), RxVolume->maximum(), SoundVolume->maximum()));
    RxVolumeChange();
    SoundVolumeChange();
}

void TOrvDecoderForm::RxVolumeChange() { CallHost(ORV_SET_VOLUME, RxVolume->value()); }

void TOrvDecoderForm::SoundVolumeChange() { MixerIn->SetVolume(uint32_t(SoundVolume->value())); }

void TOrvDecoderForm::MixerInVolumeChange() { SetTrackBarPosition(SoundVolume, int32_t(MixerIn->Volume())); }

void TOrvDecoderForm::AutoVolumeClick()
{
    RxVolume->setEnabled(!AutoVolume->Checked());
    SoundVolume->setEnabled(!AutoVolume->Checked() && MixerOut->MixerCount() > 0);
}

void TOrvDecoderForm::ReopenWaveIn()
{
    if (WaveIn->IsOpen() || reopening_)
        return;
    // The error box of a failed open runs an event loop in which this timer goes on firing; one
    // open at a time, and a failure reported once: later ticks try again quietly.
    reopening_ = true;
    const int rc = reopenReported_ ? WaveIn->TryOpen() : WaveIn->Open();
    reopening_ = false;
    reopenReported_ = rc != 0;
}

void TOrvDecoderForm::StartupTimerTimer()
{
    const QDateTime now = Now();
    const QLocale locale = QLocale::system();
    StatusClock->setText(locale.toString(now, "dd MMM yyyy") + "   " + locale.toString(now, "HH':'mm':'ss"));
    StatusRecording->setText(RecTraffic->Checked() ? QString::fromStdString(RecFileDlg.FileName) : QString());
    // Our help window open: the sound card is left to it.
    if (platform::help().IsOpen(PluginDir + config_.HelpFile))
        WaveIn->Close();
    else
        ReopenWaveIn();
    if (!soundTimed_)
        TrafficScanTick();
}

int TOrvDecoderForm::OnPowerBroadcast(int event)
{
    switch (event) {
    case pbtQuerySuspend:
        return 1;
    case pbtSuspend:
        StopSecondaryReceiver();
        break;
    case pbtResumeSuspend:
        StartSecondaryReceiver();
        break;
    default:
        break;
    }
    return 0;
}

bool TOrvDecoderForm::FormHelp(int command, int data, bool& callHelp)
{
    if (command == kHelpContextPopup) {
        callHelp = false;
        platform::help().ShowContext(PluginDir + config_.HelpFile, data);
    } else {
        callHelp = true;
    }
    return true;
}

int TOrvDecoderForm::HelpContextOf(const QWidget* control) const
{
    for (const QWidget* w = control; w && w != this; w = w->parentWidget()) {
        const QVariant context = w->property(kHelpContextProperty);
        if (context.isValid())
            return context.toInt();
    }
    return config_.HelpContext;
}

void TOrvDecoderForm::ApplicationHelp(int command, int context)
{
    bool callHelp = true;
    FormHelp(command, context, callHelp);
    if (callHelp)
        platform::help().ShowContext(PluginDir + config_.HelpFile, context);
}

bool TOrvDecoderForm::eventFilter(QObject* watched, QEvent* e)
{
    const QEvent::Type type = e->type();
    if (type != QEvent::QueryWhatsThis && type != QEvent::WhatsThis && type != QEvent::KeyPress)
        return false;
    auto* w = qobject_cast<QWidget*>(watched);
    if (!w || closing_)
        return false;
    // This window, or a window it owns (browser, editor, about box).
    bool ours = false;
    for (const QWidget* p = w; p; p = p->parentWidget())
        if (p == this) {
            ours = true;
            break;
        }
    if (!ours)
        return false;
    switch (type) {
    case QEvent::QueryWhatsThis:
        e->accept();
        return true;
    case QEvent::WhatsThis:
        ApplicationHelp(kHelpContextPopup, HelpContextOf(w));
        return true;
    default:
        if (static_cast<QKeyEvent*>(e)->key() == Qt::Key_F1 && static_cast<QKeyEvent*>(e)->modifiers() == Qt::NoModifier) {
            ApplicationHelp(kHelpContextF1, HelpContextOf(w->window() == this ? w : this));
            return true;
        }
        return false;
    }
}

void TOrvDecoderForm::HelpButtonClick() { platform::help().ShowTopic(PluginDir + config_.HelpFile, config_.HelpTopic); }

QWidget* TOrvDecoderForm::CreateAboutForm() { return new TOrvAboutForm(QString::fromStdString(config_.AboutLine)); }

void TOrvDecoderForm::AboutButtonClick()
{
    if (!AboutForm)
        AboutForm = CreateAboutForm();
    if (auto* dialog = qobject_cast<QDialog*>(AboutForm))
        dialog->exec();
}

bool TOrvDecoderForm::HostNotify(OrvHostWindow hostWindow, int32_t code, int32_t value)
{
    if (hostWindow != link_.HostWindow)
        return false;
    if (!closing_)
        NotifyAction(code, value);
    return true;
}

void TOrvDecoderForm::NotifyAction(int32_t code, int32_t value)
{
    switch (code) {
    case ORV_POWER:
        if (value != 0)
            StartSecondaryReceiver();
        else
            StopSecondaryReceiver();
        break;
    case ORV_FREQUENCY:
        SetTunedFrequency(value);
        break;
    case ORV_SIGNAL_LEVEL:
        HostSignalLevel = value;
        break;
    case ORV_ATTENUATOR:
        if (SecondaryReceiver != 0)
            SecondarySetAttenuator(value != 0);
        break;
    case ORV_VOLUME:
        if (SecondaryReceiver != 0)
            SecondarySetVolume(value);
        SetTrackBarPosition(RxVolume, value);
        break;
    case ORV_DETACH:
        // Not closed from inside the host's call: the close runs from the event loop, and until
        // then the window ignores the host.
        closing_ = true;
        QMetaObject::invokeMethod(this, [this] { Close(); }, Qt::QueuedConnection);
        break;
    default:
        break;
    }
}

void TOrvDecoderForm::restoreHost(int count)
{
    const std::pair<int32_t, int32_t> restores[] = {
        {ORV_SET_ATTENUATOR, SavedAttenuator}, {ORV_FREQUENCY, SavedFrequency},
        {ORV_MODE, SavedMode},                 {ORV_SET_DATA_OUTPUT, SavedDataOutput},
        {ORV_SIGNAL_LEVEL, SavedSignalLevel},  {ORV_SET_VOLUME, SavedVolume}};
    for (int i = 0; i < count && i < 6; ++i)
        CallHost(restores[i].first, restores[i].second);
}

void TOrvDecoderForm::RunCloseSequence()
{
    if (closeDone_)
        return;
    closeDone_ = true;
    closing_ = true;

    StartupTimer->stop();
    if (helpHooked_) {
        qApp->removeEventFilter(this);
        helpHooked_ = false;
    }
    StopSecondaryReceiver();
    if (MixerOut->MixerCount() > 0) {
        MixerIn->SetVolume(SavedInVolume);
        MixerOut->SetMute(SavedOutMute);
        MixerOut->SetVolume(SavedOutVolume);
        MixerIn->SetMixerNumber(-1);
        MixerOut->SetMixerNumber(-1);
    }
    WaveIn->Close();
    platform::processMessages();
    FreeDecoder();

    const bool logging = LogFile->Checked();
    const bool recording = RecTraffic->Checked();
    if (logging) {
        LogFile->SetCheck(false);
        LogFileClick();
    }
    if (recording) {
        RecTraffic->SetCheck(false);
        RecTrafficClick();
    }
    ClearCallList();
    SaveCurrentSystem();
    restoreHost(SavedHostValues);
    link_.Detach();
    CloseBrowserEditor();
    try {
        platform::Registry reg;
        if (reg.OpenKey(registryKey(), true)) {
            // A run without a display has no screen of the user's: it keeps the position stored.
            if (!platform::runningHeadless()) {
                reg.WriteInteger("Left", x());
                reg.WriteInteger("Top", y());
            }
            reg.WriteInteger("Channel Size", ChannelSize);
            reg.WriteBool("Auto Tune To", AutoTune->Checked());
            WriteExtraSettings(reg);
            reg.WriteBool("Log File", logging);
            reg.WriteString("Log File Name", LogFileDlg.FileName);
            reg.WriteInteger("Log File Type", LogFileDlg.FilterIndex);
            reg.WriteBool("Mute Data", MuteData->Checked());
            reg.WriteBool("Data Output", DataOut->isChecked());
            reg.WriteBool("Automatic Volume Setting", AutoVolume->Checked());
            reg.WriteBool("Record Traffic", recording);
            reg.WriteString("Record Traffic File", RecFileDlg.FileName);
            reg.CloseKey();
        }
    } catch (const platform::RegistryError&) {
        // Settings that cannot be written are lost; the window still closes.
    }
    OrvReleaseSingleInstance();
    OrvRemoveWindow(this);
    if (link_.Started)
        OrvHandles().Release(link_.Instance());
}

void TOrvDecoderForm::Close()
{
    if (deleting_)
        return;
    deleting_ = true;
    RunCloseSequence();
    hide();
    deleteLater();
}

void TOrvDecoderForm::DestroyNow()
{
    deleting_ = true;
    RunCloseSequence();
    delete this;
}

void TOrvDecoderForm::closeEvent(QCloseEvent* e)
{
    e->ignore();
    Close();
}

void TOrvDecoderForm::makeSecondaryPopup()
{
    SecondaryPopup = new QMenu(this);
    SecondaryLabel->OnClick = [this](QObject*) { SecondaryLabelClick(); };
}

void TOrvDecoderForm::SetSecondaryLabel(const std::string& caption)
{
    SecondaryLabel->SetText(QString::fromStdString(caption));
}

void TOrvDecoderForm::SecondaryLabelClick()
{
    if (!SecondaryPopup)
        return;
    SecondaryPopup->clear();
    for (const TSecondaryMenuItem& item : listSecondary_()) {
        QAction* action = SecondaryPopup->addAction(QString::fromStdString(item.Caption));
        action->setData(item.Receiver);
        connect(action, &QAction::triggered, this, [this, action] { None1Click(action); });
    }
    // At the label's top-left corner on the screen.
    SecondaryPopup->popup(SecondaryLabel->mapToGlobal(QPoint(0, 0)));
}

void TOrvDecoderForm::None1Click(QAction* item)
{
    if (chooseSecondary_)
        SecondaryReceiver = chooseSecondary_({item->text().toStdString(), item->data().toInt()});
}

bool TOrvDecoderForm::LogFileChecked() const { return LogFile->Checked(); }

void TOrvDecoderForm::SetLogFileChecked(bool checked) { LogFile->SetCheck(checked); }

bool TOrvDecoderForm::ChooseLogFile(std::filesystem::path& fileName, int& filterIndex)
{
    if (!LogFileDlg.Execute(this))
        return false;
    fileName = LogFileDlg.FileName;
    filterIndex = LogFileDlg.FilterIndex;
    return true;
}
