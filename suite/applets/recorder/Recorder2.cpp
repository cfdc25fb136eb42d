#include "Recorder2.h"

#include "AppletList.h"
#include "MulDiv.h"
#include "NewTrackBar.h"
#include "PaintPanel.h"
#include "ProgramMain.h"
#include "RegApplet.h"
#include "SuiteBox.h"
#include "WavePropsUnit.h"

#include <QAction>
#include <QLabel>
#include <QMenu>
#include <QPainter>
#include <QStatusBar>
#include <QStyle>
#include <QTimer>
#include <QToolButton>

#include <filesystem>
#include <sys/statvfs.h>

const char* const kRecorderName = "Squelch Controlled Sound Recorder";
const char* const kRecorderCaption = "Squelch Controlled Recorder";

namespace {

const char* const kSignalStrengthItem = "SignalStrength";
const char* const kSquelchItem = "Squelch";
const char* const kMuteItem = "Mute";

TMenuItem Radio(const std::string& caption, const std::string& name, int group, int tag)
{
    TMenuItem item = MenuItem(caption, name);
    item.RadioGroup = group;
    item.Tag = tag;
    return item;
}

std::vector<TMenuItem> RecorderMenus()
{
    TMenuItem properties = MenuItem("&Properties...", "Properties1Click");
    properties.Enabled = false;
    TMenuItem squelch = MenuItem("&Squelch controlled", "Squelchcontrolled1Click");
    squelch.Checkable = true;
    squelch.Checked = true;
    std::vector<TMenuItem> sizes;
    for (const auto& [caption, tag] : std::vector<std::pair<const char*, int>>{
             {"1 MB", 1}, {"5 MB", 5}, {"10 MB", 10}, {"50 MB", 50}, {"100 MB", 100}, {"500 MB", 500},
             {"1 GB", 1024}, {"2 GB", 2047}})
        sizes.push_back(Radio(caption, "MaxFileSizeClick", 3, tag));
    return {
        SubMenu("&File", "File1",
                {MenuItem("&New", "New1Click", "Ctrl+N"), MenuItem("&Open...", "Open1Click", "Ctrl+O"), properties,
                 MenuSeparator(), MenuItem("E&xit", "Exit1Click", "Alt+X", mcExit)}),
        SubMenu("&Options", "Options1",
                {SubMenu("&Audio format", "Audioformat1",
                         {Radio("8 bit", "BitsClick", 1, 8), Radio("16 bit", "BitsClick", 1, 16), MenuSeparator(),
                          Radio("11,025 Hz", "SamplingRateClick", 2, 11025),
                          Radio("22,050 Hz", "SamplingRateClick", 2, 22050),
                          Radio("44,100 Hz", "SamplingRateClick", 2, 44100)}),
                 SubMenu("&Maximum file size", "Maximumfilesize1", sizes), squelch}),
        HelpMenuBarEntry(),
    };
}

TAppletTraits RecorderTraits()
{
    TAppletTraits t;
    t.Caption = kRecorderCaption;
    t.ClientWidth = 257;
    t.ClientHeight = 147;
    t.Border = bsSingle;
    t.MainMenu = RecorderMenus();
    t.KeyName = "Squelch Controlled Recorder";
    t.DdeFlags = dde::APPCLIENT_WATCHER;
    t.FailsWithoutSoundInput = false;  // the input opens only while recording
    t.Items = {kSignalStrengthItem, kSquelchItem};
    t.AdviseStopOnDestroy = false;
    t.AdviseBufferSize = 64;
    t.ReconnectsOnRegister = true;
    t.DestroyOrder = {dsStop, dsDde, dsRecordingFile, dsCaptureBuffers, dsSettings};
    t.HelpContext = 109;
    t.ModuleText = kRecorderCaption;
    return t;
}

uint64_t DriveFreeBytes(const std::string& file)
{
    struct statvfs fs {};
    const std::filesystem::path dir = std::filesystem::path(file).parent_path();
    if (::statvfs(dir.empty() ? "." : dir.c_str(), &fs) != 0)
        return UINT64_MAX;  // unknown: no reason to stop
    return uint64_t(fs.f_bavail) * uint64_t(fs.f_frsize);
}

QLabel* BlackPanel(QWidget* parent, const char* name, int x)
{
    auto* panel = new QLabel("", parent);
    panel->setObjectName(name);
    panel->setGeometry(x, 18, 77, 20);
    panel->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    panel->setAutoFillBackground(true);
    QPalette p = panel->palette();
    p.setColor(QPalette::Window, Qt::black);
    p.setColor(QPalette::WindowText, QColor(0, 255, 0));
    panel->setPalette(p);
    panel->setMargin(1);
    return panel;
}

// The record button's glyph: a red dot.
QIcon RecordGlyph()
{
    QPixmap pm(16, 16);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setBrush(QColor(220, 0, 0));
    p.setPen(Qt::NoPen);
    p.drawEllipse(3, 3, 10, 10);
    return QIcon(pm);
}

std::string FileNameOnly(const std::string& path) { return std::filesystem::path(path).filename().string(); }

}  // namespace

TRecorder2Form::TRecorder2Form(int32_t receiver) : TAppletForm(receiver, RecorderTraits())
{
    FreeSpace = DriveFreeBytes;
    BuildLayout();
    SaveDialog.Filter = "*.wav|*.wav";
    SaveDialog.DefaultExt = "wav";
    SaveDialog.Options = platform::ofOverwritePrompt | platform::ofHideReadOnly | platform::ofPathMustExist;
    OpenDialog.Title = "Open Wave File for Playback";
    OpenDialog.Filter = "Wave files (*.wav)|*.wav";
    OpenDialog.DefaultExt = "wav";
    OpenDialog.Options = platform::ofFileMustExist;
    player_.onComplete = [this] { StopButtonClick(); };
}

TRecorder2Form::~TRecorder2Form() = default;

void TRecorder2Form::BuildLayout()
{
    QWidget* client = Client();
    const char* titles[3] = {"Length", "Position", "File size"};
    QLabel** panels[3] = {&LengthPanel, &PositionPanel, &FileSizePanel};
    const char* names[3] = {"LengthPanel", "PositionPanel", "FileSizePanel"};
    for (int i = 0; i < 3; ++i) {
        const int x = 6 + 84 * i;
        auto* label = new QLabel(titles[i], client);
        label->setObjectName(QString("Label") + names[i]);
        label->move(x, 2);
        label->adjustSize();
        *panels[i] = BlackPanel(client, names[i], x);
    }
    LengthPanel->setText("0:00:00.0");
    PositionPanel->setText("0:00:00.0");
    FileSizePanel->setText("0.0 MB");

    TrackBar = new TNewTrackBar(client);
    TrackBar->setObjectName("TrackBar");
    TrackBar->setGeometry(2, 42, 253, 24);
    TrackBar->SetThumbSize(16);
    TrackBar->setMaximum(0);
    TrackBar->setEnabled(false);
    TrackBar->OnChange = [this] { TrackBarChange(); };
    PaintBox1 = new TPaintPanel(client);
    PaintBox1->setObjectName("PaintBox1");
    PaintBox1->setFrameStyle(QFrame::NoFrame);
    PaintBox1->setGeometry(2, 66, 253, 14);
    PaintBox1->OnPaint = [this](TPaintPanel* box) { PaintScale(box); };

    struct Button {
        QToolButton** button;
        const char* name;
        const char* hint;
        QStyle::StandardPixmap glyph;
        void (TRecorder2Form::*click)();
    };
    const Button buttons[] = {
        {&PlayButton, "PlayButton", "Play", QStyle::SP_MediaPlay, &TRecorder2Form::PlayButtonClick},
        {&RecordButton, "RecordButton", "Record", QStyle::SP_CustomBase, &TRecorder2Form::RecordButtonClick},
        {&StopButton, "StopButton", "Stop", QStyle::SP_MediaStop, &TRecorder2Form::StopButtonClick},
        {&PauseButton, "PauseButton", "Pause", QStyle::SP_MediaPause, &TRecorder2Form::PauseButtonClick},
        {&StartFileButton, "StartFileButton", "Rewind to start", QStyle::SP_MediaSkipBackward,
         &TRecorder2Form::StartFileButtonClick},
        {&RewindButton, "RewindButton", "Rewind one second", QStyle::SP_MediaSeekBackward,
         &TRecorder2Form::RewindButtonClick},
        {&FFwdButton, "FFwdButton", "Fast forward one second", QStyle::SP_MediaSeekForward,
         &TRecorder2Form::FFwdButtonClick},
    };
    int x = 6;
    for (const Button& b : buttons) {
        auto* button = new QToolButton(client);
        button->setObjectName(b.name);
        button->setToolTip(b.hint);
        button->setIcon(b.glyph == QStyle::SP_CustomBase ? RecordGlyph() : style()->standardIcon(b.glyph));
        button->setGeometry(x, 84, 31, 25);
        connect(button, &QToolButton::clicked, this, b.click);
        *b.button = button;
        x += 35;
    }
    // Held down, the one-second steps repeat every 50 ms while the pointer stays on the button.
    for (QToolButton* b : {RewindButton, FFwdButton}) {
        b->setAutoRepeat(true);
        b->setAutoRepeatDelay(50);
        b->setAutoRepeatInterval(50);
    }

    statusBar_ = statusBar();
    statusBar_->setSizeGripEnabled(false);
    for (int i = 0; i < 2; ++i) {
        statusPanels_[i] = new QLabel(statusBar_);
        statusPanels_[i]->setObjectName(i == 0 ? "StatusPanel0" : "StatusPanel1");
        statusBar_->addWidget(statusPanels_[i], i);
    }
    statusPanels_[0]->setMinimumWidth(80);

    UpdateTimer = new QTimer(this);
    UpdateTimer->setInterval(100);
    connect(UpdateTimer, &QTimer::timeout, this, &TRecorder2Form::UpdateTimerTimer);
}

QString TRecorder2Form::StatusText(int panel) const
{
    return panel >= 0 && panel < 2 ? statusPanels_[panel]->text() : QString();
}

void TRecorder2Form::CreateSteps()
{
    // The settings, then the header follows them; the input opens only when a recording starts.
    ReadSettings();
    ShowSettingsInMenus();
    SetState(rsStopped);
}

void TRecorder2Form::LoadSettings(const TAppletSettings& s)
{
    RestorePosition(s.Integer("Left", x()), s.Integer("Top", y()));
    settings_.BitsPerSample = CheckedBits(s.Integer("Bits Per Sample", settings_.BitsPerSample));
    settings_.SamplingRate = CheckedRate(s.Integer("Sampling Rate", settings_.SamplingRate));
    settings_.MaximumFileSize = s.Integer("Maximum File Size", settings_.MaximumFileSize);
    settings_.SquelchControlled = s.Bool("Squelch Controlled", settings_.SquelchControlled);
}

void TRecorder2Form::SaveSettings(TAppletSettings& s)
{
    StorePosition(s, "Left", "Top");
    s.SetInteger("Bits Per Sample", settings_.BitsPerSample);
    s.SetInteger("Sampling Rate", settings_.SamplingRate);
    s.SetInteger("Maximum File Size", settings_.MaximumFileSize);
    s.SetBool("Squelch Controlled", settings_.SquelchControlled);
}

// The menus show the nearest choice; the stored values are used as they are.
void TRecorder2Form::ShowSettingsInMenus()
{
    auto check = [this](const char* menu, int tag) {
        if (auto* m = findChild<QMenu*>(menu))
            for (QAction* a : m->actions())
                if (a->isCheckable() && a->data().toInt() == tag)
                    a->setChecked(true);
    };
    auto* audio = findChild<QMenu*>("Audioformat1");
    if (audio) {
        for (QAction* a : audio->actions())
            if (a->objectName() == "BitsClick" && a->data().toInt() == BitsChoice(settings_.BitsPerSample))
                a->setChecked(true);
            else if (a->objectName() == "SamplingRateClick" && a->data().toInt() == RateChoice(settings_.SamplingRate))
                a->setChecked(true);
    }
    check("Maximumfilesize1", SizeChoiceMB(settings_.MaximumFileSize));
    MenuAction("Squelchcontrolled1Click")->setChecked(settings_.SquelchControlled);
}

TPcmFormat TRecorder2Form::CaptureFormat() const
{
    return TPcmFormat{1, uint32_t(settings_.SamplingRate), uint16_t(settings_.BitsPerSample)};
}

void TRecorder2Form::SetState(uint8_t state)
{
    state_ = NormalState(state);
    const TRecorderControls c = EnabledControls(state_, player_.isOpen());
    PlayButton->setEnabled(c.Play);
    RecordButton->setEnabled(c.Record);
    MenuAction("New1Click")->setEnabled(c.New);
    MenuAction("Open1Click")->setEnabled(c.Open);
    StopButton->setEnabled(c.Stop);
    PauseButton->setEnabled(c.Pause);
    if (auto* audio = findChild<QMenu*>("Audioformat1"))
        audio->setEnabled(c.AudioFormat);
    for (QWidget* w : {static_cast<QWidget*>(StartFileButton), static_cast<QWidget*>(RewindButton),
                       static_cast<QWidget*>(FFwdButton), static_cast<QWidget*>(TrackBar)})
        w->setEnabled(c.Seek);
    MenuAction("Properties1Click")->setEnabled(c.Seek);
    if (!c.Seek) {
        TrackBar->setMaximum(0);
        PaintBox1->update();
    }
    statusPanels_[0]->setText(QString::fromStdString(StateText(state_)));
    HeadlessReport(statusPanels_[0]->text());
}

void TRecorder2Form::ConnectHost()
{
    if (!Dde() || Conversation() != 0)
        return;
    SetConversation(Dde()->Connect(kHostService, DdeTopic(Receiver())));
    if (Conversation() == 0) {
        QMetaObject::invokeMethod(this, &QWidget::close, Qt::QueuedConnection);
        return;
    }
    for (const char* item : {kSignalStrengthItem, kSquelchItem}) {
        if (auto data = Dde()->Request(Conversation(), item, 1000)) {
            std::string text(data->begin(), data->begin() + std::ptrdiff_t(std::min<size_t>(data->size(), 32)));
            text = text.substr(0, text.find('\0'));
            try {
                AdviseValue(item, StrToInt(text));
            } catch (const EConvertError&) {
                // a value that is not a decimal integer is ignored
            }
        }
        Dde()->AdviseStart(Conversation(), item, 1000);
    }
}

void TRecorder2Form::AdviseValue(const std::string& item, int32_t value)
{
    if (SameText(item, kSignalStrengthItem))
        signalStrength_ = value;
    else if (SameText(item, kSquelchItem))
        squelchLevel_ = value;
}

void TRecorder2Form::HostRegistered()
{
    ConnectHost();
    if (state_ & rsRecording)
        SquelchGate();
}

void TRecorder2Form::SquelchGate()
{
    if (!(state_ & rsRecording))
        return;
    const bool held = Squelched(MenuAction("Squelchcontrolled1Click")->isChecked(), signalStrength_, squelchLevel_);
    SetState(held ? (state_ | rsSquelched) : (state_ & ~rsSquelched));
    ApplyCapture();
}

void TRecorder2Form::ApplyCapture()
{
    if (!WaveIn() || !WaveInOpen())
        return;
    if (CaptureRuns(state_))
        WaveIn()->Restart();
    else
        WaveIn()->Stop();  // the partly filled buffer comes back and is written
}

void TRecorder2Form::RecordButtonClick()
{
    ClosePlayer();
    if (!SaveDialog.Execute(this))
        return;
    const TWaveFileHeader header =
        TWaveFileHeader::Pcm(1, uint32_t(settings_.SamplingRate), uint16_t(settings_.BitsPerSample));
    std::string error;
    if (!file_.Create(SaveDialog.FileName, header, &error)) {
        suitebox::Show(this, error, kApplicationTitle, suitebox::Ok | suitebox::IconStop);
        return;
    }
    statusPanels_[1]->setText(QString::fromStdString(FileNameOnly(SaveDialog.FileName)));
    SetState(rsRecording);
    if (RestartSoundInput())
        SquelchGate();
    else
        StopButtonClick();  // a header-only file, offered for playback
}

void TRecorder2Form::WaveInBytes(int buffer, const uint8_t* data, size_t bytes)
{
    // After the limit or a full drive nothing more goes into the file.
    if (!file_.IsOpen() || !(state_ & rsRecording) || stopPending_)
        return;
    std::string writeError;
    const bool written = file_.Append(data, bytes, &writeError);
    if (!stopping_)
        QueueCaptureBuffer(buffer);
    const uint32_t position = WaveIn() ? WaveIn()->Position() : file_.DataSize();
    const TWaveFileHeader& h = file_.Header();
    FileSizePanel->setText(QString::fromStdString(SizeText(position)));
    const QString time = QString::fromStdString(TimeText(MulDiv(int32_t(std::min<uint32_t>(position, INT32_MAX)), 10,
                                                                int32_t(h.AvgBytesPerSec))));
    LengthPanel->setText(time);
    PositionPanel->setText(time);
    if (stopping_)
        return;
    const bool full = !written || int64_t(position) >= int64_t(settings_.MaximumFileSize);
    const bool driveFull = DriveAlmostFull(FreeSpace(file_.Path()));
    if (!full && !driveFull)
        return;
    // The input is not taken down inside its own buffer event: the capture is held now and the
    // Stop runs from the event loop.
    stopPending_ = true;
    if (WaveIn())
        WaveIn()->Stop();
    QMetaObject::invokeMethod(
        this,
        [this, driveFull, writeError] {
            stopPending_ = false;
            StopButtonClick();
            // A refused write ends the recording with its reason; what was written stays playable.
            if (!writeError.empty())
                suitebox::Show(this, writeError, kApplicationTitle, suitebox::Ok | suitebox::IconStop);
            else if (driveFull)
                suitebox::Show(this, "The destination drive is almost out of space, recording has been stopped",
                               kApplicationTitle, suitebox::Ok | suitebox::IconExclamation);
        },
        Qt::QueuedConnection);
}

void TRecorder2Form::StopButtonClick()
{
    if (state_ & rsRecording) {
        // Every buffer that holds recorded sound is written before the file is finished.
        if (WaveIn() && WaveInOpen()) {
            stopping_ = true;
            WaveIn()->Stop();
            WaveIn()->Reset();
            if (AppletServices().ProcessMessages)
                AppletServices().ProcessMessages();
            stopping_ = false;
        }
        SetState(rsStopped);
        DestroySoundInput();
        const std::string saved = file_.Path();
        file_.Finish();
        OpenPlayback(saved);
    }
    if (state_ & rsPlaying) {
        player_.stop();
        UpdateTimer->stop();
        SetState(rsStopped);
        PokeItem(kMuteItem, "0", 10000);
    }
}

void TRecorder2Form::PauseButtonClick()
{
    if (state_ == rsStopped)
        return;
    SetState(state_ ^ rsPaused);
    if (state_ & rsRecording)
        ApplyCapture();
    else if (state_ & rsPlaying) {
        if (state_ & rsPaused)
            player_.pause();
        else
            player_.resume();
    }
}

void TRecorder2Form::PlayButtonClick()
{
    if (!player_.isOpen())
        Open1Click();
    if (!player_.isOpen())
        return;
    SetState(rsPlaying);
    std::string error;
    if (!player_.play(&error)) {
        SetState(rsStopped);
        suitebox::Show(this, error, kApplicationTitle, suitebox::Ok | suitebox::IconStop);
        return;
    }
    UpdateTimer->start();
    PokeItem(kMuteItem, "1", 10000);
}

void TRecorder2Form::ClosePlayer()
{
    player_.close();
    playRate_ = 0;
    MenuAction("Properties1Click")->setEnabled(false);
    SetState(state_);  // nothing to seek in until another file is open
}

void TRecorder2Form::Open1Click()
{
    if (!OpenDialog.Execute(this))
        return;
    ClosePlayer();
    OpenPlayback(OpenDialog.FileName);
}

bool TRecorder2Form::OpenPlayback(const std::string& file)
{
    std::string error;
    if (!player_.open(file, &error)) {
        ClosePlayer();
        suitebox::Show(this, "Could not open the file for playback", kApplicationTitle,
                       suitebox::Ok | suitebox::IconStop);
        return false;
    }
    statusPanels_[1]->setText(QString::fromStdString(FileNameOnly(file)));
    FileSizePanel->setText(QString::fromStdString(SizeText(player_.lengthBytes())));
    playRate_ = player_.format().samplesPerSec;
    SetState(state_);  // the seeking controls follow the player's file
    const int maximum = MulDiv(int32_t(std::min<uint32_t>(player_.lengthSamples(), INT32_MAX)), 10, int32_t(playRate_));
    TrackBar->setMaximum(maximum);
    TrackBar->setPageStep(maximum / 20);
    if (const int row = ScaleRowFor(maximum); row >= 0) {
        scaleRow_ = row;
        TrackBar->SetFrequency(ScaleFrequency(row));
    }
    PaintBox1->update();
    LengthPanel->setText(QString::fromStdString(TimeText(maximum)));
    UpdateTimerTimer();
    return true;
}

void TRecorder2Form::UpdateTimerTimer()
{
    if (playRate_ == 0)
        return;
    const int p = MulDiv(int32_t(std::min<uint32_t>(player_.position(), INT32_MAX)), 10, int32_t(playRate_));
    PositionPanel->setText(QString::fromStdString(TimeText(p)));
    PositionPanel->repaint();
    if (state_ & rsRecording)
        LengthPanel->setText(PositionPanel->text());
    else
        TrackBar->SetPosition(p);
}

void TRecorder2Form::AfterSeek()
{
    UpdateTimerTimer();
    if (state_ == rsPlaying)
        player_.resume();
}

void TRecorder2Form::StartFileButtonClick()
{
    player_.seek(0);
    AfterSeek();
}

void TRecorder2Form::RewindButtonClick()
{
    const uint32_t at = player_.position();
    if (at >= playRate_)
        player_.seek(at - playRate_);
    AfterSeek();
}

void TRecorder2Form::FFwdButtonClick()
{
    player_.seek(player_.position() + playRate_);
    AfterSeek();
}

void TRecorder2Form::TrackBarChange()
{
    if (playRate_ == 0)
        return;
    player_.seek(uint32_t(MulDiv(TrackBar->Position(), int32_t(playRate_), 10)));
    AfterSeek();
}

void TRecorder2Form::New1Click()
{
    ClosePlayer();
    TrackBar->SetPosition(0);
    SetState(rsStopped);
    LengthPanel->setText("0:00:00.0");
    PositionPanel->setText("0:00:00.0");
    FileSizePanel->setText("0.0 MB");
    statusPanels_[1]->clear();
}

void TRecorder2Form::Properties1Click()
{
    if (!player_.isOpen())
        return;
    TWavePropsForm props(this);
    props.SetFileName(player_.file().string());
    props.FileSizeLabel->setText(QString::fromStdString(WithThousands(player_.lengthBytes()) + " bytes"));
    props.SamplePerSecLabel->setText(QString::fromStdString(WithThousands(player_.format().samplesPerSec) + " Hz"));
    props.BitsPerSampleLabel->setText(QString::number(player_.format().bitsPerSample));
    props.NumChannelsLabel->setText(QString::number(player_.format().channels));
    props.exec();
}

void TRecorder2Form::MenuClick(const std::string& name, QAction* action)
{
    if (name == "New1Click")
        New1Click();
    else if (name == "Open1Click")
        Open1Click();
    else if (name == "Properties1Click")
        Properties1Click();
    else if (name == "BitsClick")
        settings_.BitsPerSample = action->data().toInt();
    else if (name == "SamplingRateClick")
        settings_.SamplingRate = action->data().toInt();
    else if (name == "MaxFileSizeClick")
        settings_.MaximumFileSize = action->data().toInt() * 1048576;
    else if (name == "Squelchcontrolled1Click") {
        settings_.SquelchControlled = action->isChecked();
        SquelchGate();
    }
}

void TRecorder2Form::CloseRecordingFile()
{
    if (file_.IsOpen())
        file_.Finish();
}

void TRecorder2Form::PaintScale(TPaintPanel* box)
{
    const int maximum = TrackBar->maximum();
    if (maximum <= 0)
        return;
    QPainter p(box);
    p.setPen(box->palette().color(QPalette::WindowText));
    const QFontMetrics fm = box->fontMetrics();
    for (const TScaleLabel& label : ScaleLabels(scaleRow_, maximum)) {
        const int tick = TrackBar->GetTicPos(label.TickIndex);
        if (tick <= 0)
            continue;
        const int x = tick + TrackBar->x() - box->x();
        const QString text = QString::fromStdString(label.Text);
        p.drawText(x - fm.horizontalAdvance(text) / 2, fm.ascent(), text);
    }
}

bool CreateRecorderApplet(int32_t receiver) { return TAppletForm::CreateApplet<TRecorder2Form>(receiver); }

namespace {
TAppletRegistrar registrar(kRecorderName, CreateRecorderApplet);
}
