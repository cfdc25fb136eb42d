#include "Packet.h"

#include "PacketDecoder.h"
#include "PacketTuning.h"
#include "RegApplet.h"

#include <QAction>
#include <QEvent>
#include <QLabel>
#include <QStatusBar>

using namespace platform;

const char* const kPacketName = "Packet Radio Decoder";

namespace {

constexpr int kRatePanel = 1, kStatePanel = 2, kTuningPanel = 3;

}  // namespace

TAppletTraits PacketTraits()
{
    TAppletTraits t;
    t.KeyName = "Packet";
    t.DdeOnlyWithSoundInput = true;
    t.DestroyOrder = {dsDde, dsLog, dsSettings, dsSoundInput};
    t.HelpContext = 105;
    t.ModuleText = kPacketName;
    return t;
}

TTextWindowConfig PacketConfig()
{
    TTextWindowConfig c;
    c.Caption = QStringLiteral("Packet Radio (AX.25)");
    c.PaneFont.Name = "Terminal";
    c.PaneFont.Height = -13;
    c.Panels = {{"Active", 80}, {"1200 bps", 80}, {"Receiving", 80}, {"", 200}, {"", 500}};
    c.LogPanel = 4;
    c.SecondPausePanel = kStatePanel;
    c.SecondPausedText = QString();
    c.SecondActiveText = QStringLiteral("Stand by");
    c.OptionsLayout = {osToolbar, osSeparator, osOwn};
    TMenuItem hf = MenuItem("300 bps (HF)", "N300bpsHF1Click");
    TMenuItem vhf = MenuItem("1200 bps (VHF)", "N1200bpsVHF1Click");
    hf.RadioGroup = vhf.RadioGroup = 1;
    vhf.Checked = true;  // the stored form
    c.OwnOptions = {hf, vhf};
    c.ToolbarPopup = false;
    c.SkipEmptyLineBreaks = true;
    c.DefaultLogFile = "PACKET.LOG";
    c.PrintTitle = QStringLiteral("Korvanta Quenda - Packet Decoder");
    return c;
}

TPacketForm::TPacketForm(int32_t receiver) : TTextDecoderForm(receiver, PacketTraits(), PacketConfig())
{
    N300bpsHF1 = findChild<QAction*>(QStringLiteral("N300bpsHF1Click"));
    N1200bpsVHF1 = findChild<QAction*>(QStringLiteral("N1200bpsVHF1Click"));
    if (QLabel* tuning = StatusPanel(kTuningPanel))
        tuning->installEventFilter(this);

    // Created suspended; the thread tells the window through a queued call, never waiting for it.
    thread_ = std::make_unique<TPacketDecodeThread>(
        [this] { QMetaObject::invokeMethod(this, &TPacketForm::CollectOutput, Qt::QueuedConnection); },
        MakePacketDecoder);
}

TPacketForm::~TPacketForm()
{
    StopThread();
}

void TPacketForm::StopThread()
{
    if (thread_)
        thread_->Terminate();
}

void TPacketForm::showEvent(QShowEvent* event)
{
    TTextDecoderForm::showEvent(event);
    thread_->Resume();
}

void TPacketForm::closeEvent(QCloseEvent* event)
{
    // The thread ends first; what it printed before reaches the pane and the log.
    StopThread();
    CollectOutput();
    TTextDecoderForm::closeEvent(event);
}

void TPacketForm::DecodeBuffer(const int16_t* samples, size_t count)
{
    thread_->AddAudio(samples, count);
}

void TPacketForm::CollectOutput()
{
    for (TPacketEvent& e : thread_->TakeOutput()) {
        if (e.Kind == TPacketEvent::Frame) {
            if (Logging())
                LogWrite(Log().DateTimeText() + "\r\n");
            for (const TPacketTextItem& item : e.Items)
                AddText(item.Text, item.Color, item.Style);
            continue;
        }
        if (e.HasText && !Paused())
            SetStatusText(kStatePanel, QString::fromLatin1(e.Text.c_str()));
        if (e.HasTones) {
            lowerTone_ = e.Lower;
            upperTone_ = e.Upper;
        }
        if (e.Repaint)
            statusBar()->update();
        if (e.Repaint || e.HasTones)
            if (QLabel* tuning = StatusPanel(kTuningPanel))
                tuning->update();
    }
}

void TPacketForm::OwnMenuClick(const std::string& name, QAction* /*action*/)
{
    if (name == "N300bpsHF1Click")
        N300bpsHF1Click();
    else if (name == "N1200bpsVHF1Click")
        N1200bpsVHF1Click();
}

void TPacketForm::N300bpsHF1Click()
{
    N300bpsHF1->setChecked(true);
    thread_->SetMode300(true);
    lowerTone_ = 0;
    if (QLabel* tuning = StatusPanel(kTuningPanel))
        tuning->update();
    SetStatusText(kRatePanel, QStringLiteral("300 bps"));
}

void TPacketForm::N1200bpsVHF1Click()
{
    N1200bpsVHF1->setChecked(true);
    thread_->SetMode300(false);
    if (QLabel* tuning = StatusPanel(kTuningPanel))
        tuning->update();
    SetStatusText(kRatePanel, QStringLiteral("1200 bps"));
}

bool TPacketForm::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::Paint && watched == StatusPanel(kTuningPanel)) {
        if (!N300bpsHF1->isChecked())
            return false;
        StatusBar1DrawPanel();
        return true;
    }
    return TTextDecoderForm::eventFilter(watched, event);
}

void TPacketForm::StatusBar1DrawPanel()
{
    QLabel* panel = StatusPanel(kTuningPanel);
    if (!panel)
        return;
    TCanvas canvas(static_cast<QPaintDevice*>(panel));
    DrawTuningIndicator(canvas, Rect(0, 0, panel->width(), panel->height()), lowerTone_, upperTone_);
}

void TPacketForm::LoadOwnSettings(const TAppletSettings& s)
{
    if (s.Integer("DataRate", 1200) == 300)
        N300bpsHF1Click();
    else
        N1200bpsVHF1Click();
}

void TPacketForm::SaveOwnSettings(TAppletSettings& s)
{
    s.SetInteger("DataRate", N300bpsHF1->isChecked() ? 300 : 1200);
}

bool CreatePacketApplet(int32_t receiver)
{
    return TAppletForm::CreateApplet<TPacketForm>(receiver);
}

namespace {
TAppletRegistrar registrar(kPacketName, CreatePacketApplet);
}
