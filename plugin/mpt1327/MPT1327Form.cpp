#include "MPT1327Form.h"

#include "MPT1327AboutForm.h"
#include "OrvFrameLogic.h"
#include "QelButton.h"
#include "QelRichEdit.h"
#include "QelStaticText.h"
#include "SystemBrowse.h"
#include "platform/ui/Application.h"
#include "platform/ui/Application.h"
#include "platform/ui/Canvas.h"
#include "platform/ui/Codepage.h"
#include "platform/ui/Locale.h"

#include <QLabel>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <string>

TMPT1327OnAirGrid::TMPT1327OnAirGrid(TMPT1327Decoder& decoder, QWidget* parent)
    : TOrvOnAirGrid({{kColumnWidth, kColumnWidth, kColumnWidth, kColumnWidth}, false, true}, parent)
{
    CellText = [&decoder](int column, int row) { return decoder.CellText(column, row); };
    CellColour = [&decoder](int row, bool selected) { return decoder.CellColour(row, selected); };
    Hint = [&decoder](int x, int y, int topRow) { return decoder.HintAt(x, y, kColumnWidth, kRowHeight, topRow); };
    OnDoubleClick = [&decoder](int row) { decoder.DoubleClick(row); };
    OnClear = [&decoder] { decoder.ClearCalls(); };
}

TOrvFormConfig TMPT1327Form::MakeConfig()
{
    TOrvFormConfig c;
    c.Name = "MPT1327";
    c.RegistryKey = "\\Software\\Korvanta Communications\\Tollan\\MPT1327\\Receiver ";
    c.HelpFile = "Marlet.hlp";
    c.HelpTopic = "mpt1327_system_monitor";
    c.LogFileName = "MPT1327_Log";
    c.RecFileName = "MPT1327.wav";
    c.AboutLine = "Trunking Decoder - MPT1327";
    c.SamplesPerSec = 11025;
    c.InBufferSize = 8192;
    c.ValidThreshold = 5;
    return c;
}

TMPT1327Form::TMPT1327Form(OrvHostWindow hostWindow, const OrvReceiverInfo* info, OrvHostCallback callback,
                           uint32_t* flags, OrvInstance instance, TReceiverLibrary& receivers)
    : TOrvDecoderForm(MakeConfig(), hostWindow, info, callback, flags, instance),
      database_(OrvPluginDir() + "MPT1327.MEM"),
      record_(database_.Record()),
      decoder_(*this, record_, &BuffersSinceTune, &ValidCount),
      receiver_(decoder_),
      log_(platform::Locale().ListSeparator),
      secondary_(receivers, *this)
{
    database_.SetReport(&databaseBoxes_);
    MPT1327DemodSetting(afsk1_);
    MPT1327DemodSetting(afsk2_);

    auto* messages = new QLabel("Messages:", this);
    messages->setGeometry(10, 2, 200, 16);
    messages->setStyleSheet("color: white");
    RE1 = new TQelRichEdit(this);
    RE1->setObjectName("RE1");
    RE1->setGeometry(10, 20, 390, 150);
    RE1->setReadOnly(true);
    // Black pane, lime bold text by default.
    QPalette pane = RE1->palette();
    pane.setColor(QPalette::Base, Qt::black);
    pane.setColor(QPalette::Text, QColor(0x00, 0xFF, 0x00));
    RE1->setPalette(pane);
    QFont bold = RE1->font();
    bold.setBold(true);
    RE1->setFont(bold);
    auto* onAir = new QLabel("On air:", this);
    onAir->setGeometry(10, 176, 200, 16);
    onAir->setStyleSheet("color: white");
    Disp = new TMPT1327OnAirGrid(decoder_, this);
    Disp->setObjectName("Disp");
    Disp->setGeometry(10, 194, Disp->GridWidth(), 7 * (TMPT1327OnAirGrid::kRowHeight + 1));

    UseSecondaryMenu(secondary_);
    RetToCtrl->OnClick = [this](QObject*) { RetToCtrlClick(); };
    DBBrowse->OnClick = [this](QObject*) { DBBrowseClick(); };
    SysEdit->OnClick = [this](QObject*) { SysEditClick(); };
}

TMPT1327Form::~TMPT1327Form() { RunCloseSequence(); }

TMPT1327Channels TMPT1327Form::channels() const
{
    return {uint32_t(decoder_.TunedFrequency()), decoder_.ChannelSize(), decoder_.CurrentChannel(),
            decoder_.ControlChannel()};
}

void TMPT1327Form::SetChannelSize(int32_t size)
{
    TOrvDecoderForm::SetChannelSize(size);
    decoder_.SetChannelSize(ChannelSize);
}

void TMPT1327Form::ChannelSizeShown(bool is12k5)
{
    ChanSize12k5->SetCheck(is12k5);
    ChanSize25k->SetCheck(!is12k5);
}

void TMPT1327Form::InitDecoder()
{
    decoder_.ClearCalls();
    decoder_.ResetValidCodewords();
    decoder_.SetBuffersSinceTune(0);
}

void TMPT1327Form::OpenDatabase() { database_.OpenDatabase(); }

void TMPT1327Form::LogFileClick() { SwitchLogFile(log_); }

void TMPT1327Form::ResetReceiver()
{
    const int32_t rate = int32_t(WaveIn->SamplesPerSec);
    SamplesPerBit = (rate + 600) / 1200;
    HalfBit = SamplesPerBit / 2;
    receiver_.SetSamplingRate(WaveIn->SamplesPerSec);
    MPT1327DemodSetting(afsk1_, WaveIn->SamplesPerSec);
    MPT1327DemodSetting(afsk2_, WaveIn->SamplesPerSec);
}

void TMPT1327Form::SetTunedFrequency(int32_t frequency)
{
    decoder_.SetTunedFrequency(frequency);
}

void TMPT1327Form::ProcessSamples(const int16_t* first, uint32_t count, uint32_t)
{
    // The frame hands over the data channel; the receiver takes the whole stereo buffer and a channel.
    const int control = DataSampleIndex(InputTest.DataChannel);
    const int16_t* buffer = first - control;
    const uint32_t bytes = (count + uint32_t(control)) * 2;

    // The buffer and valid-codeword counts are the window's own, shared with the decoder.
    receiver_.ProcessBuffer(TMPT1327Receiver::kControl, afsk1_, buffer, bytes, control);
    if (secondary_.InUse() && decoder_.RetToCtrl())
        receiver_.ProcessBuffer(TMPT1327Receiver::kTraffic, afsk2_, buffer, bytes, 1 - control);
}

void TMPT1327Form::TuneHost(int32_t frequency, int32_t mode)
{
    CallHost(ORV_FREQUENCY, frequency);
    CallHost(ORV_MODE, mode);
}

bool TMPT1327Form::AutoTuneChecked() { return AutoTune->Checked(); }

TMPT1327LocalTime TMPT1327Form::LocalTime() { return LocalNow<TMPT1327LocalTime>(); }

TMPT1327LocalTime TMPT1327Form::HeardTime(const TMPT1327LocalTime& now)
{
    return SoundTimed() ? TimeFields<TMPT1327LocalTime>(HeardNow()) : now;
}

void TMPT1327Form::SelectSystem(uint16_t identity)
{
    if (identity == database_.Record().SystemIdentity)
        return;
    // The editor edits the current system: it goes, unapplied, before another system comes.
    if (EditorWindow)
        EditorWindow->close();
    decoder_.ClearCalls();
    RE1->clear();
    TMPT1327Channels ch = channels();
    const TMPT1327Selection s = database_.SelectSystem(identity, ch);
    // Taken as they stand: the stored base frequency belongs to the stored channel size.
    decoder_.AssignChannels(ch.ChannelSize, ch.CurrentChannel, ch.ControlChannel);
    TOrvDecoderForm::SetChannelSize(decoder_.ChannelSize());
    SysIDLabel->SetText(QString::fromStdString(s.SysIDText));
    SysDescr->SetText(platform::FromCp1252(s.Description));
    CtrlChanFreq->SetText(QString::fromStdString(s.CtrlChanFreqText));
    CtrlChanLabel->SetText(QString::fromStdString(s.CtrlChanText));
}

void TMPT1327Form::WriteLogEntry(const TMPT1327LocalTime& time, const TMPT1327Call& call)
{
    if (platform::runningHeadless())
        PrintCallHeadless(MPT1327LogLine(lfText, LogTime(time), database_.Record().SystemIdentity, call, ','));
    if (!LogFile->Checked() || !log_.IsOpen())
        return;
    if (!log_.WriteLogEntry(LogTime(time), database_.Record().SystemIdentity, call))
        LogFile->SetCheck(false);
}

void TMPT1327Form::PrintLine(const TMPT1327TextLine& line)
{
    for (const TMPT1327TextRun& run : line)
        RE1->AppendStr(QString::fromStdString(run.Text), run.Colour, 0);
}

void TMPT1327Form::SetAccFramesText(const std::string& text) { AccFramesLabel->SetText(QString::fromStdString(text)); }

void TMPT1327Form::SetCtrlChanText(const std::string& text) { CtrlChanLabel->SetText(QString::fromStdString(text)); }

void TMPT1327Form::EnableSystemControls()
{
    MonitorFilters->setEnabled(true);
    AlarmFilters->setEnabled(true);
    SysEdit->setEnabled(true);
}

void TMPT1327Form::RetToCtrlChanged(bool enabled) { RetToCtrl->setEnabled(enabled); }

void TMPT1327Form::SaveCurrentSystem() { database_.SaveSystem(channels()); }

void TMPT1327Form::StartSecondaryReceiver() { secondary_.StartSecondaryReceiver(); }

void TMPT1327Form::RetToCtrlClick() { secondary_.RetToCtrlClick(); }

void TMPT1327Form::TuneHostToControlChannel()
{
    decoder_.TuneHost(decoder_.FrequencyOfChannel(decoder_.ControlChannel()));
}

bool TMPT1327Form::TScanContext::IsTrafficChannel(int32_t channel)
{
    return channel >= 0 && channel < kMPT1327Channels && MapBit(form_.database_.Record().TrafficChannelMap, unsigned(channel));
}

void TMPT1327Form::TScanContext::CountOccupancy(int32_t channel)
{
    if (channel >= 0 && channel < kMPT1327Channels)
        ++form_.database_.Record().Occupancy[size_t(channel)];
}

QWidget* TMPT1327Form::CreateAboutForm() { return new TMPT1327AboutForm(this); }

void TMPT1327Form::DBBrowseClick()
{
    SaveCurrentSystem();
    platform::processMessages();
    if (!BrowserWindow)
        BrowserWindow = new TOrvDBBrowseForm(this, "MPT1327 Database Browser", browseSource_);
    BrowserWindow->show();
    BrowserWindow->raise();
}

void TMPT1327Form::SysEditClick()
{
    if (!EditorWindow) {
        editorModel_ = std::make_unique<TMPT1327Editor>(database_.Record());
        EditorWindow = new TOrvEditorForm(this, "MPT1327 System Information Editor", *editorModel_, [this] {
            editorModel_->Apply(database_.Record());
            SysDescr->SetText(platform::FromCp1252(database_.Record().Description));
        });
    }
    EditorWindow->show();
    EditorWindow->raise();
}

void TMPT1327Form::CloseBrowserEditor()
{
    if (BrowserWindow)
        BrowserWindow->close();
    if (EditorWindow)
        EditorWindow->close();
}

std::vector<std::string> TMPT1327Form::TBrowseSource::SystemIDs()
{
    return BrowseSystemIDs(form_.database_.Storage());
}

bool TMPT1327Form::TBrowseSource::ShowSystem(const std::string& id, TOrvBrowseView& view)
{
    TStoredEntry entry;
    if (!BrowseReadEntry(form_.database_.Storage(), id, entry))
        return false;
    shown_ = DecodeMPT1327System(entry);
    view = MPT1327BrowseView(shown_);
    return true;
}

void TMPT1327Form::TBrowseSource::Tune(int32_t hz)
{
    if (form_.decoder_.RetToCtrl())
        form_.RetToCtrlClick();
    form_.decoder_.TuneHost(hz);
}
