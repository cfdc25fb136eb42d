#include "SmartNetForm.h"

#include "QelButton.h"
#include "QelStaticText.h"
#include "QelTrackBar.h"
#include "QelVUBar.h"
#include "SmartNetAboutForm.h"
#include "SmartNetEditorForm.h"
#include "SystemTime.h"
#include "platform/settings/Registry.h"
#include "platform/ui/Application.h"
#include "platform/ui/Canvas.h"
#include "platform/ui/Codepage.h"
#include "platform/ui/Locale.h"

#include <QLabel>
#include <QLocale>
#include <QRadioButton>
#include <QStatusBar>


namespace {

// "Motorola SmartNet" and the registered sign, in the ANSI code page.
const char* const kSmartNetName = "Motorola SmartNet\xAE";

QFont GridFont()
{
    QFont f("Arial");
    f.setPixelSize(13);
    return f;
}

}  // namespace

namespace {

// Time and channel columns just wide enough for their widest text; the identity takes the rest of
// three default columns.
TOrvOnAirColumns SmartNetColumns()
{
    const QFontMetrics fm(GridFont());
    const int time = fm.horizontalAdvance("00:00:00") + 2, channel = fm.horizontalAdvance("Chan") + 2;
    return {{3 * TSmartNetOnAirGrid::kDefaultColumnWidth - channel - time, channel, time}, true, false, true};
}

}  // namespace

TSmartNetOnAirGrid::TSmartNetOnAirGrid(TSmartNetDecoder& decoder, QWidget* parent)
    : TOrvOnAirGrid(SmartNetColumns(), parent)
{
    setObjectName("Disp");
    setFont(GridFont());
    CellText = [&decoder](int column, int row) { return decoder.CellText(column, row); };
    CellColour = [&decoder](int row, bool selected) { return decoder.CellColour(row, selected); };
    // Rows scrolled out of sight count as the hint's row arithmetic has them.
    Hint = [this, &decoder](int x, int y, int topRow) {
        return decoder.HintAt(x, y + (topRow - 1) * (kRowHeight + 1) * (y >= kRowHeight + 1), ColumnWidth(0),
                              kRowHeight);
    };
    OnDoubleClick = [&decoder](int row) { decoder.DoubleClick(row); };
}

TOrvFormConfig TSmartNetForm::MakeConfig()
{
    TOrvFormConfig c;
    c.Name = kSmartNetName;
    c.RegistryKey = "\\Software\\Korvanta Communications\\Tollan\\Motorola SmartNet\\Receiver ";
    c.HelpFile = "Sarvik.hlp";
    c.HelpTopic = "SmartNet_system_monitor";
    c.LogFileName = "SmartNet_Log";
    c.RecFileName = "SmartNet.wav";
    c.AboutLine = "Trunking Decoder - Motorola SmartNet\xAE";
    c.SamplesPerSec = 44100;
    c.InBufferSize = 32768;
    c.ValidThreshold = 10;
    c.ClientWidth = 518;
    c.ClientHeight = 453;
    return c;
}

TSmartNetForm::TSmartNetForm(OrvHostWindow hostWindow, const OrvReceiverInfo* info, OrvHostCallback callback,
                             uint32_t* flags, OrvInstance instance, TReceiverLibrary& receivers)
    : TOrvDecoderForm(MakeConfig(), hostWindow, info, callback, flags, instance),
      database_(OrvPluginDir() + "SmartNet.MEM", record_),
      log_(platform::Locale().ListSeparator),
      decoder_(*this, record_, &BuffersSinceTune),
      receiver_(decoder_, &ValidCount),
      secondary_(receivers, *this)
{
    QFont small("Arial");
    small.setPixelSize(11);
    setFont(small);

    decoder_.AttachReceiver(&receiver_);
    fsk_.SetDerivative(true);
    fsk_.SetDecaySpeed(1);
    fsk_.OnTransition = [this](TQelFSKDecoder* sender, uint32_t position, int32_t value) {
        FSKDecTransition(sender, position, value);
    };
    resample_.SetBufferSize(1024);
    resample_.SetFIRTapsNum(31);
    resample_.SetOver(1);
    resample_.SetUnder(1);

    auto* onAir = new QLabel("On air:", this);
    onAir->setGeometry(8, 4, 197, 16);
    onAir->setStyleSheet("color: white");
    Disp = new TSmartNetOnAirGrid(decoder_, this);
    Disp->OnClear = [this] { Clear1Click(); };
    SysTypeLabel = AddText("SysTypeLabel", "System type:", {0, 0, 10, 10});
    SysTime = AddText("SysTime", "System time:", {0, 0, 10, 10});
    SysSite = AddText("SysSite", "System site No.:", {0, 0, 10, 10});
    AutoFollow = new TQelButton(this);
    AutoFollow->setObjectName("AutoFollow");
    AutoFollow->SetText("Automatically follow control channel");
    AutoFollow->SetButtonStyle(bsCheckButton);
    layOut();

    UseSecondaryMenu(secondary_);
    RetToCtrl->OnClick = [this](QObject*) { RetToCtrlClick(); };
    DBBrowse->OnClick = [this](QObject*) { DBBrowseClick(); };
    SysEdit->OnClick = [this](QObject*) { SysEditClick(); };
}

TSmartNetForm::~TSmartNetForm()
{
    RunCloseSequence();
    // The frame lets pending events run as it goes; the grid must not paint from a decoder that is gone.
    delete Disp;
    Disp = nullptr;
}

void TSmartNetForm::layOut()
{
    // One face for every caption, the frame's included (theirs were made before ours was set).
    for (QWidget* w : findChildren<QWidget*>())
        if (qobject_cast<QLabel*>(w) || qobject_cast<QRadioButton*>(w))
            w->setFont(font());

    // Left: the on-air grid; under it the system's identity, its control channel, the frame
    // counts and the secondary receiver.
    const int gridWidth = 1 + Disp->GridWidth();
    Disp->setGeometry(8, 20, gridWidth, 11 * (TSmartNetOnAirGrid::kRowHeight + 1) - 1);
    PlaceText(SysIDLabel, {8, 236, 40, 20}, gridWidth);
    PlaceText(SysDescr, {51, 236, gridWidth - 43, 20});
    PlaceText(CtrlChanLabel, {8, 276, gridWidth, 20});
    PlaceText(CtrlChanFreq, {8, 316, gridWidth, 20});
    PlaceText(AccFramesLabel, {8, 356, gridWidth, 20});
    PlaceText(SecondaryLabel, {8, 396, gridWidth, 20});

    // Middle: what else the control channel says about the system.
    const int mx = 8 + gridWidth + 8, mw = 140;
    PlaceText(SysTypeLabel, {mx, 20, mw, 20});
    PlaceText(SysTime, {mx, 60, mw, 20});
    PlaceText(SysSite, {mx, 100, mw, 20});

    // Right: channel step and the window's buttons. The frame's construction hides the filter and
    // record buttons and widens or halves their neighbours.
    const int rx = mx + mw + 7, rw = width() - 8 - rx, half = (rw - 4) / 2;
    // The frame's own captions, found by their text.
    auto caption = [this](const char* text, QRect where) {
        for (QLabel* l : findChildren<QLabel*>(Qt::FindDirectChildrenOnly))
            if (l->text() == text)
                l->setGeometry(where);
    };
    caption("Channel step:", {rx, 3, rw, 16});
    ChanSize12k5->setGeometry(rx, 20, half, 22);
    ChanSize25k->setGeometry(rx + rw - half, 20, half, 22);
    RetToCtrl->setGeometry(rx, 52, rw, 24);
    MuteData->setGeometry(rx, 82, half, 22);
    RecTraffic->setGeometry(rx + rw - half, 82, half, 22);
    LogFile->setGeometry(rx, 110, half, 22);
    DBBrowse->setGeometry(rx + rw - half, 110, half, 22);
    SysEdit->setGeometry(rx, 138, rw, 22);
    AlarmFilters->setGeometry(rx, 236, rw, 22);
    MonitorFilters->setGeometry(rx, 262, rw, 22);
    AutoVolume->setGeometry(rx, 236, rw, 22);
    SgnInLabel->setGeometry(rx, 286, rw, 16);
    AudioOut->setGeometry(rx + 4, 296, rw - 4, 18);
    DataOut->setGeometry(rx + 4, 310, rw - 4, 18);
    AboutButton->setGeometry(rx, 376, half, 22);
    HelpButton->setGeometry(rx + rw - half, 376, half, 22);
    CloseButton->setGeometry(rx, 402, rw, 22);

    // Across middle and right: the two following switches; under them the level and the volumes,
    // each under what it sets.
    AutoTune->setGeometry(mx, 168, width() - 8 - mx, 22);
    AutoFollow->setGeometry(mx, 194, width() - 8 - mx, 22);
    caption("Level", {mx, 219, 30, 16});
    AudioLevel->setGeometry(mx + 9, 236, 12, 150);
    caption("Receiver", {mx + 32, 219, 48, 16});
    RxVolume->setGeometry(mx + 44, 236, 24, 150);
    caption("Sound card", {mx + 82, 219, mw - 82, 16});
    SoundVolume->setGeometry(mx + 98, 236, 24, 150);
}

void TSmartNetForm::SetChannelSize(int32_t size)
{
    TOrvDecoderForm::SetChannelSize(size);
    decoder_.SetChannelSize(ChannelSize);
}

void TSmartNetForm::InitDecoder()
{
    for (TQelStaticText* t : {SysTypeLabel, SysTime, SysSite})
        t->SetText("");
    record_ = TSmartNetSystemRecord{};
    decoder_.PendingSystemId = kSmartNetNoSystem;
    decoder_.RepeatCount = 0;
    decoder_.ControlChannel = -1;
    decoder_.HuntCount = 0;
    decoder_.SelfCausedTune = false;
    decoder_.DecimalSeparator = platform::Locale().DecimalSeparator;
}

void TSmartNetForm::ReadExtraSettings(platform::Registry& reg)
{
    if (reg.ValueExists("Auto Follow"))
        AutoFollow->SetCheck(reg.ReadBool("Auto Follow"));
}

void TSmartNetForm::WriteExtraSettings(platform::Registry& reg) { reg.WriteBool("Auto Follow", AutoFollow->Checked()); }

void TSmartNetForm::ResetReceiver()
{
    // Configured as the window has always had it; no audio passes through it.
    resample_.SetBufferSize(8192);
    resample_.SetFIRTapsNum(31);
    resample_.SetOver(1);
    resample_.SetUnder(4);
    receiver_.Reset();
    decoder_.WordsInSequence = 0;
    BuffersSinceTune = 0;
    ValidCount = 0;
}

void TSmartNetForm::ProcessSamples(const int16_t* first, uint32_t count, uint32_t stride)
{
    fsk_.SetDerivative(!DataOut->isChecked());
    // Every frame of the buffer, the last one included when the data channel is the second.
    const uint32_t frames = stride ? (count + stride - 1) / stride : 0;
    fsk_.ProcessBuffer(first, frames * stride, stride);
}

void TSmartNetForm::NotifyAction(int32_t code, int32_t value)
{
    switch (code) {
    case ORV_FREQUENCY:
        if (decoder_.FrequencyNotified(value))
            InputTest.SkipBuffers(8);
        break;
    case ORV_SIGNAL_LEVEL:
        decoder_.SignalLevelNotified(value, AutoFollow->Checked());
        TOrvDecoderForm::NotifyAction(code, value);
        break;
    default:
        TOrvDecoderForm::NotifyAction(code, value);
        break;
    }
}

void TSmartNetForm::TuneHost(int32_t frequency, bool selfCaused)
{
    decoder_.SelfCausedTune = selfCaused;
    CallHost(ORV_FREQUENCY, frequency);
    CallHost(ORV_MODE, 2);
}

void TSmartNetForm::TuneHostToControlChannel()
{
    if (decoder_.ControlChannel != -1)
        TuneHost(decoder_.FrequencyOfChannel(decoder_.ControlChannel), true);
}

bool TSmartNetForm::AutoTuneChecked() { return AutoTune->Checked(); }

TSmartNetLocalTime TSmartNetForm::LocalTime() { return LocalNow<TSmartNetLocalTime>(); }

TSmartNetDateNames TSmartNetForm::DateNames()
{
    const QLocale locale = QLocale::system();
    TSmartNetDateNames names;
    for (int m = 1; m <= 12; ++m)
        names.Months[size_t(m - 1)] = platform::ToCp1252(locale.monthName(m, QLocale::ShortFormat));
    for (int d = 0; d < 7; ++d)  // Qt counts Monday as 1 and Sunday as 7
        names.Days[size_t(d)] = platform::ToCp1252(locale.dayName(d == 0 ? 7 : d, QLocale::ShortFormat));
    return names;
}

void TSmartNetForm::OpenDatabase()
{
    database_.SetReport(&databaseBoxes_);
    database_.OpenDatabase();
}

void TSmartNetForm::SaveSystem() { database_.SaveSystem(decoder_.ControlChannel, ChannelSize); }

void TSmartNetForm::SelectSystem(uint16_t identity)
{
    if (identity == record_.SystemIdentity)
        return;
    // The editor edits the current system: it goes, unapplied, before another system comes.
    if (EditorWindow)
        EditorWindow->close();
    decoder_.ClearCalls();
    const TSmartNetSelection s =
        database_.SelectSystem(identity, decoder_.TunedFrequency, ChannelSize, decoder_.ControlChannel);
    if (identity == kSmartNetNoSystem)
        return;
    // The stored step is taken as it stands: the stored base frequency belongs to it.
    if (s.ChannelSize != 0) {
        TOrvDecoderForm::SetChannelSize(s.ChannelSize);
        decoder_.ChannelSize = ChannelSize;
    }
    SysIDLabel->SetText(QString::fromStdString(s.SysIDText));
    SysDescr->SetText(platform::FromCp1252(s.Description));
    CtrlChanFreq->SetText(QString::fromStdString(s.CtrlChanFreqText));
    if (s.ControlChannel == -1) {
        CtrlChanLabel->SetText("");
        decoder_.SetControlChannel(-1);
    } else {
        decoder_.SetControlChannel(int16_t(s.ControlChannel));
    }
}

void TSmartNetForm::LogFileClick() { SwitchLogFile(log_); }

void TSmartNetForm::WriteLogEntry(const TSmartNetLocalTime& time, uint16_t system, const TSmartNetOnAirEntry& entry)
{
    if (platform::runningHeadless())
        PrintCallHeadless(SmartNetLogLine(lfText, LogTime(time), system, entry, ','));
    if (!LogFile->Checked() || !log_.IsOpen())
        return;
    if (!log_.WriteLogEntry(LogTime(time), system, entry))
        LogFile->SetCheck(false);
}

void TSmartNetForm::SetText(TSmartNetLabel label, const std::string& text)
{
    TQelStaticText* target = nullptr;
    switch (label) {
    case TSmartNetLabel::SysID: target = SysIDLabel; break;
    case TSmartNetLabel::SysDescr: target = SysDescr; break;
    case TSmartNetLabel::SysType: target = SysTypeLabel; break;
    case TSmartNetLabel::SysTime: target = SysTime; break;
    case TSmartNetLabel::SysSite: target = SysSite; break;
    case TSmartNetLabel::CtrlChan: target = CtrlChanLabel; break;
    case TSmartNetLabel::CtrlChanFreq: target = CtrlChanFreq; break;
    case TSmartNetLabel::AccFrames: target = AccFramesLabel; break;
    }
    if (target)
        target->SetText(platform::FromCp1252(text));
}

void TSmartNetForm::EnableSystemControls(bool enabled)
{
    MonitorFilters->setEnabled(enabled);
    AlarmFilters->setEnabled(enabled);
    SysEdit->setEnabled(enabled);
}

void TSmartNetForm::RetToCtrlChanged(bool enabled) { RetToCtrl->setEnabled(enabled); }

void TSmartNetForm::Clear1Click()
{
    decoder_.ClearCalls();
    Disp->update();
}

QWidget* TSmartNetForm::CreateAboutForm() { return new TSmartNetAboutForm(this); }
