#include "ScopeForm.h"

#include "ColorComboBox.h"
#include "FreqEdit.h"
#include "MulDiv.h"
#include "MyScrollBar.h"
#include "PaintPanel.h"
#include "RegApplet.h"
#include "ScopeDispPropsUnit.h"
#include "ScopeWaveFile.h"
#include "WaveFileHeader.h"
#include "platform/ui/Dialogs.h"
#include "platform/ui/MessageBox.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QSpinBox>
#include <QSplitter>
#include <QToolTip>
#include <QVBoxLayout>

#include <sys/sysinfo.h>

#include <algorithm>
#include <cstring>
#include <fstream>

const char* const kScopeAppletName = "Audio Scope and Spectrum Analyser";

namespace {

TAppletTraits ScopeTraits()
{
    TAppletTraits t;
    t.Caption = kScopeAppletName;
    t.ClientWidth = 631;
    t.ClientHeight = 480;
    t.Border = bsSizeable;
    t.PopupHelpMenu = HelpMenuItems();
    t.KeyName = "Audio Scope and Analyser";
    t.Centred = true;
    t.DdeFlags = dde::APPCLIENT_APPLET;
    t.DestroyOrder = {dsDde, dsSoundInput, dsSettings};
    t.HelpContext = 102;
    t.ModuleText = "Audio Scope & Spectrum Analyser";
    return t;
}

bool CreateScopeApplet(int32_t receiver)
{
    return TAppletForm::CreateApplet<TScopeForm>(receiver);
}

const TAppletRegistrar registrar(kScopeAppletName, CreateScopeApplet);

const char* const kWindowNames[] = {"Rectangle", "Triangle", "Cosine", "Hamming", "Blackman", "Kaiser"};
const char* const kWrongFormat = "Cannot open this wave file format";
const char* const kReadError = "Stream read error";

QFont DisplayFont()
{
    QFont f("Arial");
    f.setPointSize(10);
    f.setBold(true);
    return f;
}

void SetPanelColour(QWidget* w, platform::TColor c)
{
    QPalette pal = w->palette();
    pal.setColor(QPalette::Window, platform::ToQColor(c));
    w->setPalette(pal);
    w->setAutoFillBackground(true);
}

// A drawing surface: the pixels of an RGB32 image and, per column, the rows drawn since the last
// restore (top > bottom: none), so that the next frame puts back only those from the background.
struct TSurface {
    QRgb* bits = nullptr;
    qsizetype stride = 0;
    int w = 0, h = 0;
    int* top = nullptr;
    int* bottom = nullptr;

    void Set(int x, int y, QRgb c)
    {
        if (x < 0 || y < 0 || x >= w || y >= h)
            return;
        bits[y * stride + x] = c;
        if (top) {
            top[x] = std::min(top[x], y);
            bottom[x] = std::max(bottom[x], y);
        }
    }
};

// A line with the end pixel left out, as the display's lines are drawn; pixels off the image are skipped.
void PlotLine(TSurface& s, int x0, int y0, int x1, int y1, QRgb c)
{
    const int dx = std::abs(x1 - x0), dy = -std::abs(y1 - y0);
    const int sx = x0 < x1 ? 1 : -1, sy = y0 < y1 ? 1 : -1;
    int err = dx + dy;
    while (x0 != x1 || y0 != y1) {
        s.Set(x0, y0, c);
        const int e2 = 2 * err;
        if (e2 >= dy) {
            err += dy;
            x0 += sx;
        }
        if (e2 <= dx) {
            err += dx;
            y0 += sy;
        }
    }
}

TSurface SurfaceOf(QImage& img)
{
    TSurface s;
    s.bits = reinterpret_cast<QRgb*>(img.bits());
    s.stride = img.bytesPerLine() / 4;
    s.w = img.width();
    s.h = img.height();
    return s;
}

uint64_t PhysicalMemory()
{
    struct sysinfo info {};
    if (sysinfo(&info) != 0)
        return 0;
    return uint64_t(info.totalram) * info.mem_unit;
}

}  // namespace

TScopeForm::TScopeForm(int32_t receiver) : TAppletForm(receiver, ScopeTraits())
{
    setWindowTitle(kScopeAppletName);
    fft_ = std::make_unique<TFFTRec>();
}

TScopeForm::~TScopeForm() = default;

// ---- Creation and settings --------------------------------------------------------------------------

void TScopeForm::SetupApplet()
{
    format_ = TPcmFormat{1, 11025, 16};
    n_ = 16384;
    memoryLimit_ = GrabMemoryLimit(PhysicalMemory());
    BuildLayout();
    FitWindow();
}

void TScopeForm::CreateSteps()
{
    SetupApplet();
    ReadSettings();
    if (!settingsRead_)
        ApplyDefaults();
    building_ = false;
}

void TScopeForm::ApplyDefaults()
{
    PropsApply(nullptr);
    ScopeButtonClick();
}

void TScopeForm::BuildLayout()
{
    QWidget* central = Client();
    auto* v = new QVBoxLayout(central);
    v->setContentsMargins(0, 0, 0, 0);
    Splitter = new QSplitter(Qt::Vertical, central);
    Splitter->setObjectName("Splitter");
    Splitter->setChildrenCollapsible(false);
    v->addWidget(Splitter);

    auto* top = new QWidget(Splitter);
    auto* tv = new QVBoxLayout(top);
    tv->setContentsMargins(0, 0, 0, 0);
    tv->setSpacing(0);
    Display = new TPaintPanel(top);
    Display->setObjectName("Display");
    Display->SetDefaultDrawing(false);
    Display->setFrameStyle(QFrame::NoFrame);
    Display->setMinimumSize(120, 60);
    Display->setMouseTracking(true);
    Display->installEventFilter(this);
    Display->OnPaint = [this](TPaintPanel*) { DisplayPaint(); };
    Display->setContextMenuPolicy(Qt::CustomContextMenu);
    InfoPanel = new TPaintPanel(top);
    InfoPanel->setObjectName("InfoPanel");
    InfoPanel->SetDefaultDrawing(false);
    InfoPanel->setFrameStyle(QFrame::NoFrame);
    InfoPanel->setFont(DisplayFont());
    InfoPanel->setFixedHeight(QFontMetrics(DisplayFont()).height() + 6);
    InfoPanel->OnPaint = [this](TPaintPanel*) { InfoPanelPaint(); };
    tv->addWidget(Display, 1);
    tv->addWidget(InfoPanel);

    DisplayMenu = new QMenu(this);
    DisplayMenu->addAction(tr("&Properties..."), this, &TScopeForm::Properties1Click);
    DisplayMenu->addAction(tr("&About..."), this, &TAppletForm::AboutClick);
    connect(Display, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& p) { DisplayMenu->popup(Display->mapToGlobal(p)); });

    TriggerLevelMarker = new QFrame(Display);
    TriggerLevelMarker->setObjectName("TriggerLevelMarker");
    TriggerLevelMarker->setGeometry(0, 0, 8, 7);
    TriggerLevelMarker->setMask(QRegion(QPolygon({QPoint(0, 3), QPoint(8, -1), QPoint(8, 7)})));
    TriggerLevelMarker->installEventFilter(this);
    TriggerLevelMarker->setCursor(Qt::SizeVerCursor);
    TriggerLevelMarker->hide();

    ControlPanel = new QWidget(Splitter);
    ControlPanel->setObjectName("ControlPanel");
    ControlPanel->setMinimumHeight(116);
    QWidget* c = ControlPanel;

    ScopeButton = new QRadioButton(tr("&Scope"), c);
    ScopeButton->setObjectName("ScopeButton");
    ScopeButton->setGeometry(6, 4, 84, 20);
    ScopeButton->setChecked(true);
    AnalyserButton = new QRadioButton(tr("&Analyser"), c);
    AnalyserButton->setObjectName("AnalyserButton");
    AnalyserButton->setGeometry(6, 24, 84, 20);
    Grid = new QCheckBox(tr("&Grid"), c);
    Grid->setObjectName("Grid");
    Grid->setGeometry(6, 48, 84, 20);
    Derivative = new QCheckBox(tr("&d/dt"), c);
    Derivative->setObjectName("Derivative");
    Derivative->setGeometry(6, 68, 84, 20);
    Bar = new QCheckBox(tr("Bar"), c);
    Bar->setObjectName("Bar");
    Bar->setGeometry(6, 68, 84, 20);
    Bar->hide();
    Clipping = new QLabel(tr("Clipping"), c);
    Clipping->setObjectName("Clipping");
    Clipping->setAlignment(Qt::AlignCenter);
    Clipping->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    Clipping->setGeometry(6, 92, 80, 20);
    Clipping->setAutoFillBackground(true);

    TriggerGroup = new QGroupBox(tr("Trigger"), c);
    TriggerGroup->setObjectName("TriggerGroup");
    TriggerGroup->setGeometry(94, 2, 180, 112);
    FreeRunning = new QRadioButton(tr("&Free running"), TriggerGroup);
    FreeRunning->setObjectName("FreeRunning");
    FreeRunning->setGeometry(8, 18, 164, 20);
    FreeRunning->setChecked(true);
    SingleShot = new QRadioButton(tr("S&ingle shot  - ->"), TriggerGroup);
    SingleShot->setObjectName("SingleShot");
    SingleShot->setGeometry(8, 40, 122, 20);
    ShotReset = new QPushButton(tr("R&eset"), TriggerGroup);
    ShotReset->setObjectName("ShotReset");
    ShotReset->setGeometry(130, 38, 44, 24);
    ShotReset->setEnabled(false);
    PositiveEdge = new QRadioButton(tr("&Positive edge"), TriggerGroup);
    PositiveEdge->setObjectName("PositiveEdge");
    PositiveEdge->setGeometry(8, 64, 164, 20);
    NegativeEdge = new QRadioButton(tr("&Negative edge"), TriggerGroup);
    NegativeEdge->setObjectName("NegativeEdge");
    NegativeEdge->setGeometry(8, 86, 164, 20);

    LevelLabel = new QLabel(tr("Level"), c);
    LevelLabel->setObjectName("LevelLabel");
    LevelLabel->setAlignment(Qt::AlignCenter);
    LevelLabel->setGeometry(278, 4, 40, 16);
    TriggerLevel = new QSlider(Qt::Vertical, c);
    TriggerLevel->setObjectName("TriggerLevel");
    TriggerLevel->setRange(0, 255);
    TriggerLevel->setValue(128);
    TriggerLevel->setGeometry(288, 22, 20, 92);
    TriggerLevel->setEnabled(false);

    ScopeTimeBase = new QComboBox(c);
    ScopeTimeBase->setObjectName("ScopeTimeBase");
    for (const TTimebaseEntry& t : kScopeTimeBase)
        ScopeTimeBase->addItem(QString::fromUtf8(t.Name));
    ScopeTimeBase->setCurrentIndex(3);
    ScopeTimeBase->setGeometry(322, 4, 120, 24);
    FFTWindow = new QComboBox(c);
    FFTWindow->setObjectName("FFTWindow");
    for (const char* name : kWindowNames)
        FFTWindow->addItem(name);
    FFTWindow->setGeometry(322, 4, 120, 24);
    FFTWindow->hide();
    VertScaleLabel = new QLabel(tr("Scale"), c);
    VertScaleLabel->setObjectName("VertScaleLabel");
    VertScaleLabel->setGeometry(322, 34, 60, 20);
    VertScaleSpin = new QSpinBox(c);
    VertScaleSpin->setObjectName("VertScaleSpin");
    VertScaleSpin->setRange(1, 8);
    VertScaleSpin->setGeometry(386, 32, 56, 24);
    MarkersLabel = new QLabel(tr("Cursors"), c);
    MarkersLabel->setObjectName("MarkersLabel");
    MarkersLabel->setGeometry(322, 62, 60, 20);
    NumMarkers = new QSpinBox(c);
    NumMarkers->setObjectName("NumMarkers");
    NumMarkers->setRange(0, 2);
    NumMarkers->setGeometry(386, 60, 56, 24);

    GrabberGroup = new QGroupBox(tr("Waveform Grabber"), c);
    GrabberGroup->setObjectName("GrabberGroup");
    GrabberGroup->setGeometry(446, 2, 180, 112);
    StoreEnable = new QCheckBox(tr("&Enable"), GrabberGroup);
    StoreEnable->setObjectName("StoreEnable");
    StoreEnable->setGeometry(8, 20, 90, 20);
    StoreStart = new QPushButton(tr("Start"), GrabberGroup);
    StoreStart->setObjectName("StoreStart");
    StoreStart->setGeometry(104, 18, 68, 24);
    StoreScroll = new TMyScrollBar(GrabberGroup);
    StoreScroll->setObjectName("StoreScroll");
    StoreScroll->setGeometry(8, 50, 164, 18);
    StoreScroll->SetParams(0, 0, 0);
    SaveButton = new QPushButton(tr("Save"), GrabberGroup);
    SaveButton->setObjectName("SaveButton");
    SaveButton->setGeometry(8, 78, 78, 24);
    OpenButton = new QPushButton(tr("Open"), GrabberGroup);
    OpenButton->setObjectName("OpenButton");
    OpenButton->setGeometry(94, 78, 78, 24);
    for (QWidget* w : std::initializer_list<QWidget*>{StoreStart, StoreScroll, SaveButton, OpenButton})
        w->setEnabled(false);

    SweepRange = new QGroupBox(tr("Sweep Range"), c);
    SweepRange->setObjectName("SweepRange");
    SweepRange->setGeometry(446, 2, 180, 112);
    SweepRange->hide();
    UseStartStop = new QCheckBox(tr("&Use start/stop freqs"), SweepRange);
    UseStartStop->setObjectName("UseStartStop");
    UseStartStop->setGeometry(8, 20, 164, 20);
    FreqLabel1 = new QLabel(tr("&Centre:"), SweepRange);
    FreqLabel1->setObjectName("FreqLabel1");
    FreqLabel1->setGeometry(8, 48, 60, 22);
    FreqLabel2 = new QLabel(tr("&Width:"), SweepRange);
    FreqLabel2->setObjectName("FreqLabel2");
    FreqLabel2->setGeometry(8, 78, 60, 22);
    FreqEdit1 = new TFreqEdit(SweepRange);
    FreqEdit1->setObjectName("FreqEdit1");
    FreqEdit2 = new TFreqEdit(SweepRange);
    FreqEdit2->setObjectName("FreqEdit2");
    int y = 46;
    for (TFreqEdit* e : {FreqEdit1, FreqEdit2}) {
        e->SetMaximum(20000);
        e->SetFixedPoint(fp100Hz);
        e->move(72, y);
        e->resize(100, e->height());
        y += 30;
    }
    FreqEdit1->SetFrequency(2500);
    FreqEdit2->SetFrequency(5000);
    FreqLabel1->setBuddy(FreqEdit1);
    FreqLabel2->setBuddy(FreqEdit2);

    HelpButton = new QPushButton(tr("&Help"), c);
    HelpButton->setObjectName("HelpButton");
    HelpButton->setGeometry(322, 88, 120, 24);

    Splitter->setStretchFactor(0, 1);
    Splitter->setStretchFactor(1, 0);

    connect(ScopeButton, &QRadioButton::clicked, this, [this] {
        if (analyser_)
            ScopeButtonClick();
    });
    connect(AnalyserButton, &QRadioButton::clicked, this, [this] {
        if (!analyser_)
            AnalyserButtonClick();
    });
    connect(Grid, &QCheckBox::clicked, this, &TScopeForm::GridClick);
    connect(Bar, &QCheckBox::clicked, this, &TScopeForm::GridClick);
    connect(Derivative, &QCheckBox::clicked, this, &TScopeForm::DerivativeClick);
    connect(FreeRunning, &QRadioButton::clicked, this, &TScopeForm::TriggerClick);
    connect(PositiveEdge, &QRadioButton::clicked, this, &TScopeForm::TriggerClick);
    connect(NegativeEdge, &QRadioButton::clicked, this, &TScopeForm::TriggerClick);
    connect(SingleShot, &QRadioButton::clicked, this, &TScopeForm::SingleShotClick);
    connect(ShotReset, &QPushButton::clicked, this, &TScopeForm::ShotResetClick);
    connect(TriggerLevel, &QSlider::valueChanged, this, &TScopeForm::TriggerLevelChanging);
    connect(TriggerLevel, &QSlider::sliderReleased, this, &TScopeForm::PlaceTriggerMarker);
    connect(ScopeTimeBase, &QComboBox::activated, this, &TScopeForm::ScopeTimeBaseChange);
    connect(FFTWindow, &QComboBox::activated, this, &TScopeForm::FFTWindowChange);
    connect(VertScaleSpin, &QSpinBox::valueChanged, this, &TScopeForm::VertScaleSpinClick);
    connect(NumMarkers, &QSpinBox::valueChanged, this, [this] {
        if (analyser_)
            aNumMarkersClick();
        else
            sNumMarkersClick();
    });
    connect(StoreEnable, &QCheckBox::clicked, this, &TScopeForm::StoreClick);
    connect(StoreStart, &QPushButton::clicked, this, &TScopeForm::StoreStartClick);
    StoreScroll->OnScroll = [this](TMyScrollBar*, int, int32_t& position) { StoreScrollScroll(position); };
    connect(SaveButton, &QPushButton::clicked, this, &TScopeForm::SaveButtonClick);
    connect(OpenButton, &QPushButton::clicked, this, &TScopeForm::OpenButtonClick);
    connect(UseStartStop, &QCheckBox::clicked, this, &TScopeForm::UseStartStopClick);
    FreqEdit1->OnChange = [this](TFreqEdit*) { FreqEditChange(); };
    FreqEdit2->OnChange = [this](TFreqEdit*) { FreqEditChange(); };
    connect(HelpButton, &QPushButton::clicked, this, &TScopeForm::HelpButtonClick);
}

void TScopeForm::LoadSettings(const TAppletSettings& s)
{
    settingsRead_ = true;
    BackgroundColour = platform::TColor(s.Integer("Background Colour", int32_t(platform::clBlack)));
    GridColour = platform::TColor(s.Integer("Grid Colour", int32_t(platform::RGB(0, 128, 0))));
    TraceColour = platform::TColor(s.Integer("Trace Colour", int32_t(platform::clWhite)));
    CursorColour = platform::TColor(s.Integer("Cursor Colour", int32_t(platform::clRed)));
    FFTWindow->setCurrentIndex(std::clamp(s.Integer("FFT Window", 0), 0, 5));
    const bool startStop = s.Bool("Use StartStop", false);
    UseStartStop->setChecked(startStop);
    FreqLabel1->setText(startStop ? tr("Sta&rt:") : tr("&Centre:"));
    FreqLabel2->setText(startStop ? tr("St&op:") : tr("&Width:"));
    FreqEdit1->SetFrequency(s.Integer("Frequency 1", 2500));
    FreqEdit2->SetFrequency(s.Integer("Frequency 2", 5000));
    ScopeTimeBase->setCurrentIndex(std::clamp(s.Integer("Timebase", 3), 0, kTimebaseCount - 1));
    if (s.Exists("Num Scope Cursors")) {
        const int sc = std::clamp(s.Integer("Num Scope Cursors", 0), 0, 2);
        const int ac = std::clamp(s.Integer("Num Analyser Cursors", 0), 0, 8);
        SetCursorCount(false, sc);
        SetCursorCount(true, ac);
        for (int k = 0; k < sc; ++k)
            sValues_[size_t(k)] = s.Double("Scope Cursor " + std::to_string(k + 1), 0.0);
        for (int k = 0; k < ac; ++k)
            aValues_[size_t(k)] = s.Double("Analyser Cursor " + std::to_string(k + 1), 0.0);
    }
    const int w = s.Integer("Width", 631), h = s.Integer("Height", 480);
    const int top = s.Integer("Top", y()), left = s.Integer("Left", x());
    if (w >= 200 && h >= 200 && w <= 10000 && h <= 10000) {
        resize(w, h);
        RestorePosition(left, top);
    }
    const bool analyser = s.Bool("Analyser Display", false);
    const int divider = std::clamp(s.Integer("Divider Position", 116), 116, 1000);
    Splitter->setSizes({std::max(height() - divider, 60), divider});
    TriggerLevel->setValue(std::clamp(s.Integer("Trigger Level", 128), 0, 255));
    Grid->setChecked(s.Bool("Grid", false));
    const int trigger = std::clamp(s.Integer("Trigger", 0), 0, 3);
    VertScaleSpin->setValue(std::clamp(s.Integer("Vertical Scale", 1), 1, 8));
    Derivative->setChecked(s.Bool("Derivative", false));
    Bar->setChecked(s.Bool("Solid Spectrum", false));
    PropsApply(nullptr);
    (trigger == 1 ? SingleShot : trigger == 2 ? PositiveEdge : trigger == 3 ? NegativeEdge : FreeRunning)
        ->setChecked(true);
    if (trigger == 1)
        SingleShotClick();
    else
        TriggerClick();
    if (analyser) {
        AnalyserButton->setChecked(true);
        AnalyserButtonClick();
    } else {
        ScopeButtonClick();
    }
}

void TScopeForm::SaveSettings(TAppletSettings& s)
{
    s.SetInteger("Background Colour", int32_t(BackgroundColour));
    s.SetInteger("Grid Colour", int32_t(GridColour));
    s.SetInteger("Trace Colour", int32_t(TraceColour));
    s.SetInteger("Cursor Colour", int32_t(CursorColour));
    s.SetBool("Analyser Display", analyser_);
    s.SetInteger("Num Scope Cursors", sCount_);
    s.SetInteger("Num Analyser Cursors", aCount_);
    for (int k = 0; k < sCount_; ++k)
        s.SetDouble("Scope Cursor " + std::to_string(k + 1), sValues_[size_t(k)]);
    for (int k = 0; k < aCount_; ++k)
        s.SetDouble("Analyser Cursor " + std::to_string(k + 1), aValues_[size_t(k)]);
    StorePosition(s, "Left", "Top");
    s.SetInteger("Width", width());
    s.SetInteger("Height", height());
    s.SetInteger("Divider Position", ControlPanel->height());
    s.SetInteger("Trigger Level", TriggerLevel->value());
    s.SetBool("Grid", Grid->isChecked());
    s.SetInteger("Trigger", int(TriggerMode()));
    s.SetInteger("Timebase", ScopeTimeBase->currentIndex());
    s.SetBool("Use StartStop", UseStartStop->isChecked());
    s.SetInteger("Frequency 1", FreqEdit1->Frequency());
    s.SetInteger("Frequency 2", FreqEdit2->Frequency());
    s.SetInteger("Vertical Scale", VertScaleSpin->value());
    s.SetInteger("FFT Window", FFTWindow->currentIndex());
    s.SetBool("Derivative", Derivative->isChecked());
    s.SetBool("Solid Spectrum", Bar->isChecked());
}

// ---- Capture and processing -------------------------------------------------------------------------

TTriggerMode TScopeForm::TriggerMode() const
{
    if (SingleShot->isChecked())
        return tmSingleShot;
    if (PositiveEdge->isChecked())
        return tmPositiveEdge;
    if (NegativeEdge->isChecked())
        return tmNegativeEdge;
    return tmFreeRunning;
}

void TScopeForm::RestartCapture(int32_t n)
{
    if (WaveInOpen())
        hold_ = false;
    n_ = std::max(n, 2);
    RestartSoundInput();
    if (analyser_)
        FFTWindowChange();
}

void TScopeForm::MMWimData(const int16_t* samples, size_t count)
{
    if (hold_ || count < size_t(n_))
        return;  // the frame queues the buffer again unprocessed
    if (grabbing_) {
        const int64_t room = memoryLimit_ / 2 - int64_t(grab_.size());
        if (room >= n_) {
            grab_.insert(grab_.end(), samples, samples + n_);  // the grab grows as it fills
            grabbed_ += n_;
        }
        SetScrollRange();
        if (int64_t(grabbed_) >= memoryLimit_ / 2 - n_)
            StopGrab();
        return;
    }
    if (!analyser_) {
        trace_.VerticalScale = VertScaleSpin->value();
        trace_.TriggerLevel = TriggerLevel->value();
        trace_.Trigger = TriggerMode();
        trace_.Derivative = Derivative->isChecked();
        trace_.Rate = int32_t(format_.SamplesPerSec);
        trace_.GrabbedData = grabbed_ > 0;
        const bool done = trace_.DrawTrace(samples, n_);
        ShowClip(trace_.Clipped());
        if (done)
            Display->update();
        if (SingleShot->isChecked())
            hold_ = done;
        return;
    }
    if (fft_->N != n_)
        return;
    bool clipped = false;
    for (int32_t i = 0; i < n_; ++i) {
        fft_->Samples[i] = samples[i];
        clipped = clipped || samples[i] == -32768 || samples[i] == 32767;
    }
    ShowClip(clipped);
    FFTPower(*fft_);
    SpectrumHeights(fft_->Power, fft_->M, span_.FirstBin, span_.LastBin, span_.ReferenceLevel,
                    Display->height() - 2, spectrum_);
    Display->update();
    hold_ = SingleShot->isChecked();
}

void TScopeForm::ShowClip(bool clipped)
{
    clip_ = clipped;
    if (clipped == clipShown_)
        return;
    clipShown_ = clipped;
    QPalette pal = Clipping->palette();
    if (clipped) {
        pal.setColor(QPalette::Window, QColor(255, 0, 0));
        pal.setColor(QPalette::WindowText, QColor(255, 255, 255));
    } else {
        pal.setColor(QPalette::Window, QApplication::palette().color(QPalette::Button));
        pal.setColor(QPalette::WindowText, QApplication::palette().color(QPalette::ButtonText));
    }
    Clipping->setPalette(pal);
}

void TScopeForm::ScopeTimeBaseChange()
{
    const int index = ScopeTimeBase->currentIndex();
    const TTimebaseEntry& t = TimebaseEntry(index);
    trace_.SamplesPerScreen = t.Samples;
    screenTime_ = ScreenTimeMs(t.Samples, t.Rate);
    if (grabbed_ == 0) {
        format_.SamplesPerSec = uint32_t(t.Rate);
        ClearScreen();
        if (!analyser_)
            RestartCapture(t.BufferLength);
    } else {
        trace_.SamplesPerScreen = ScaledScreenSamples(index, format_.SamplesPerSec);
        ShowGrabbed(-1);
    }
    InfoPanel->update();
    UpdateCursorValues();
    StoreScroll->SetLargeChange(std::max(trace_.SamplesPerScreen, 1));
    StoreScroll->SetSmallChange(std::max(trace_.SamplesPerScreen / 20, 1));
    SetScrollRange();
}

void TScopeForm::FreqEditChange()
{
    span_ = ComputeSpan(UseStartStop->isChecked(), FreqEdit1->Frequency(), FreqEdit2->Frequency());
    if (analyser_) {
        format_.SamplesPerSec = uint32_t(span_.Rate);
        RestartCapture(span_.N);
    }
    UpdateCursorValues();
    InfoPanel->update();
}

void TScopeForm::UseStartStopClick()
{
    const int32_t f1 = FreqEdit1->Frequency(), f2 = FreqEdit2->Frequency();
    if (UseStartStop->isChecked()) {
        const int32_t start = f1 - f2 / 2;
        FreqEdit1->SetFrequency(start);
        FreqEdit2->SetFrequency(start + f2);
        FreqLabel1->setText(tr("Sta&rt:"));
        FreqLabel2->setText(tr("St&op:"));
    } else {
        FreqEdit1->SetFrequency(int32_t((int64_t(f1) + f2) / 2));
        FreqEdit2->SetFrequency(int32_t(std::llabs(int64_t(f2) - f1)));
        FreqLabel1->setText(tr("&Centre:"));
        FreqLabel2->setText(tr("&Width:"));
    }
}

void TScopeForm::FFTWindowChange()
{
    FFTInit(*fft_, n_, FFTWindow->currentIndex());
}

void TScopeForm::SingleShotClick()
{
    ShotReset->setEnabled(true);
    hold_ = false;
    StoreEnable->setEnabled(false);
    LevelLabel->setEnabled(false);
    TriggerLevel->setEnabled(false);
    TriggerLevelMarker->hide();
}

void TScopeForm::ShotResetClick()
{
    hold_ = false;
}

void TScopeForm::TriggerClick()
{
    ShotReset->setEnabled(false);
    if (StoreEnable->isChecked() && !grabbing_) {
        DiscardGrab();
        // Without the data the screen goes back to the time base: its samples per screen, and the
        // capture at its rate and buffer length in place of the grab's or the file's.
        const TTimebaseEntry& t = TimebaseEntry(ScopeTimeBase->currentIndex());
        if (trace_.SamplesPerScreen != t.Samples || format_.SamplesPerSec != uint32_t(t.Rate) ||
            n_ != t.BufferLength)
            ScopeTimeBaseChange();
    }
    hold_ = false;
    LevelLabel->setEnabled(true);
    StoreEnable->setEnabled(true);
    const bool edge = PositiveEdge->isChecked() || NegativeEdge->isChecked();
    TriggerLevel->setEnabled(edge);
    TriggerLevelMarker->setEnabled(edge);
    TriggerLevelMarker->setVisible(edge);
    PlaceTriggerMarker();
}

void TScopeForm::DerivativeClick()
{
    if (SingleShot->isChecked())
        hold_ = false;
    else
        ShowGrabbed(-1);
}

void TScopeForm::VertScaleSpinClick()
{
    DerivativeClick();
}

// ---- Display ----------------------------------------------------------------------------------------

int TScopeForm::ClientWidth() const
{
    return Display->width();
}

int TScopeForm::ClientHeight() const
{
    return Display->height();
}

void TScopeForm::DisplayPaint()
{
    QPainter p(Display);
    p.drawImage(0, 0, RenderDisplay());
}

void TScopeForm::RenderBackground(QImage& img)
{
    img.fill(platform::ToQColor(BackgroundColour));
    TSurface surface = SurfaceOf(img);
    const int bw = img.width(), bh = img.height();
    const int x0 = margin_ + 1, y0 = 1, W = bw - x0 - 1, H = bh - 2;
    if (W < 2 || H < 2)
        return;
    if (Grid->isChecked()) {
        const QRgb g = platform::ToQColor(GridColour).rgb();
        for (int i = 0; i <= 10; ++i) {
            const int x = x0 + i * (W - 1) / 10;
            PlotLine(surface, x, y0, x, y0 + H, g);
        }
        for (int j = 0; j <= 8; ++j) {
            const int y = y0 + j * (H - 1) / 8;
            PlotLine(surface, x0, y, x0 + W, y, g);
        }
        const int yc = y0 + (H - 1) / 2 - 2;
        for (int k = 0; k <= 50; ++k)
            if (k % 5 != 0) {
                const int x = x0 - 1 + MulDiv(W - 1, k, 50);
                PlotLine(surface, x, yc, x, yc + 5, g);
            }
        const int xc = x0 + (W - 1) / 2;
        for (int k = 0; k <= 40; ++k)
            if (k % 5 != 0) {
                const int y = y0 - 1 + MulDiv(H - 1, k, 40);
                PlotLine(surface, xc - 2, y, xc + 3, y, g);
            }
    }
    if (analyser_) {
        // The level labels, right-aligned at x0 - 2 on a transparent background.
        const QFont font = DisplayFont();
        const QFontMetrics fm(font);
        QPainter p(&img);
        p.setFont(font);
        p.setPen(platform::ToQColor(GridColour));
        const QString labels[3] = {"0dB", QString::fromUtf8("\u201340dB"), QString::fromUtf8("\u201380dB")};
        const int tops[3] = {y0, y0 + (H - fm.height()) / 2, y0 + H - fm.height()};
        for (int i = 0; i < 3; ++i)
            p.drawText(x0 - 2 - fm.horizontalAdvance(labels[i]), tops[i] + fm.ascent(), labels[i]);
    }
}

QImage TScopeForm::RenderDisplay()
{
    const int bw = std::max(ClientWidth(), 1), bh = std::max(ClientHeight(), 1);
    // The background and grid change seldom: drawn once, then only the trace's pixels of the last
    // frame are put back from it before the new trace is drawn.
    const TBackgroundKey key{bw, bh, BackgroundColour, GridColour, Grid->isChecked(), analyser_, margin_};
    if (!(key == backgroundKey_) || displayImage_.size() != QSize(bw, bh)) {
        backgroundKey_ = key;
        backgroundImage_ = QImage(bw, bh, QImage::Format_RGB32);
        RenderBackground(backgroundImage_);
        displayImage_ = backgroundImage_.copy();
        dirtyTop_.assign(size_t(bw), bh);
        dirtyBottom_.assign(size_t(bw), -1);
    } else {
        auto* dst = reinterpret_cast<QRgb*>(displayImage_.bits());
        const auto* src = reinterpret_cast<const QRgb*>(backgroundImage_.constBits());
        const qsizetype stride = displayImage_.bytesPerLine() / 4;
        for (int x = 0; x < bw; ++x) {
            for (int y = dirtyTop_[size_t(x)]; y <= dirtyBottom_[size_t(x)]; ++y)
                dst[y * stride + x] = src[y * stride + x];
            dirtyTop_[size_t(x)] = bh;
            dirtyBottom_[size_t(x)] = -1;
        }
    }
    QImage& img = displayImage_;
    TSurface surface = SurfaceOf(img);
    surface.top = dirtyTop_.data();
    surface.bottom = dirtyBottom_.data();
    const QRgb c = platform::ToQColor(TraceColour).rgb();
    const int x0 = margin_ + 1, y0 = 1, W = bw - x0 - 1, H = bh - 2;
    if (W < 2 || H < 2)
        return img;  // no room for a trace area
    if (analyser_) {
        const int n = span_.LastBin - span_.FirstBin;
        if (n >= 1 && int(spectrum_.size()) >= n + 1) {
            std::vector<QPoint> points;
            points.reserve(size_t(n) + 1);
            for (int k = 0; k <= n; ++k)
                points.emplace_back(x0 + MulDiv(W - 1, k, n), spectrum_[size_t(k)]);
            if (Bar->isChecked()) {
                // Filled down to the bottom line under the line through the points.
                const int bottom = y0 + H - 1;
                for (size_t k = 1; k < points.size(); ++k) {
                    const QPoint a = points[k - 1], b = points[k];
                    for (int x = a.x(); x < b.x() || (x == b.x() && k == points.size() - 1); ++x) {
                        const int top = b.x() == a.x() ? std::min(a.y(), b.y())
                                                       : a.y() + (b.y() - a.y()) * (x - a.x()) / (b.x() - a.x());
                        PlotLine(surface, x, std::max(top, y0), x, bottom + 1, c);
                    }
                }
            }
            for (size_t k = 1; k < points.size(); ++k)
                PlotLine(surface, points[k - 1].x(), points[k - 1].y(), points[k].x(), points[k].y(), c);
        }
        return img;
    }
    const int32_t S = trace_.SamplesPerScreen;
    if (S < W) {
        if (S >= 2) {
            const std::vector<int32_t>& heights = trace_.ShownHeights();
            QPoint last;
            for (int32_t k = 0; k < S && size_t(k) < heights.size(); ++k) {
                const QPoint p(x0 + MulDiv(W, k, S - 1), y0 + heights[size_t(k)]);
                if (k > 0)
                    PlotLine(surface, last.x(), last.y(), p.x(), p.y(), c);
                last = p;
            }
        }
    } else if (trace_.Rows() > 0) {
        // Set pixels of the one-bit bitmap in the trace colour; clear ones leave background and grid.
        const std::vector<uint8_t>& bits = trace_.ShownBitmap();
        const int stride = trace_.RowStride();
        const int rows = std::min(trace_.Rows(), H);
        const int cols = std::min(stride * 8, W);
        for (int x = 0; x < cols; ++x) {
            const int bottom = std::min(trace_.ShownBottom(x), rows - 1);
            const uint8_t mask = uint8_t(0x80 >> (x % 8));
            for (int y = trace_.ShownTop(x); y <= bottom; ++y)
                if (bits[size_t(y) * size_t(stride) + size_t(x / 8)] & mask)
                    surface.Set(x0 + x, y0 + y, c);
        }
    }
    return img;
}

std::string TScopeForm::LeftReadout() const
{
    if (analyser_)
        return FormatThousands(span_.Low) + "Hz";
    const double t0 = grabbed_ > 0 && trace_.SamplesPerScreen > 0
                          ? double(StoreScroll->Position()) / trace_.SamplesPerScreen * screenTime_
                          : 0.0;
    return FormatTime(t0);
}

std::string TScopeForm::RightReadout() const
{
    if (analyser_)
        return FormatThousands(span_.Upper) + "Hz";
    const double t0 = grabbed_ > 0 && trace_.SamplesPerScreen > 0
                          ? double(StoreScroll->Position()) / trace_.SamplesPerScreen * screenTime_
                          : 0.0;
    return FormatTime(t0 + screenTime_);
}

std::string TScopeForm::CursorReadout() const
{
    if (analyser_)
        return AnalyserCursorText(aCount_, aValues_.data());
    const double t0 = grabbed_ > 0 && trace_.SamplesPerScreen > 0
                          ? double(StoreScroll->Position()) / trace_.SamplesPerScreen * screenTime_
                          : 0.0;
    return ScopeCursorText(sCount_, t0, sValues_.data());
}

void TScopeForm::InfoPanelPaint()
{
    QPainter p(InfoPanel);
    p.drawImage(0, 0, RenderInfo());
}

QImage TScopeForm::RenderInfo()
{
    const int w = std::max(InfoPanel->width(), 1), h = std::max(InfoPanel->height(), 1);
    QImage img(w, h, QImage::Format_RGB32);
    img.fill(platform::ToQColor(BackgroundColour));
    QPainter p(&img);
    QFont font = DisplayFont();
    p.setFont(font);
    QFontMetrics fm(font);
    const int top = (h - fm.height()) / 2;
    p.setPen(platform::ToQColor(GridColour));
    const QString left = QString::fromStdString(LeftReadout());
    const QString right = QString::fromStdString(RightReadout());
    p.drawText((analyser_ ? margin_ : 0) + 2, top + fm.ascent(), left);
    p.drawText(w - 2 - fm.horizontalAdvance(right), top + fm.ascent(), right);
    const QString cursors = QString::fromStdString(CursorReadout());
    if (!cursors.isEmpty()) {
        if (fm.horizontalAdvance(cursors) > w - margin_) {
            font.setBold(false);
            p.setFont(font);
            fm = QFontMetrics(font);
        }
        p.setPen(platform::ToQColor(CursorColour));
        p.drawText(w / 2 - fm.horizontalAdvance(cursors) / 2, top + fm.ascent(), cursors);
    }
    return img;
}

void TScopeForm::ClearScreen()
{
    trace_.Clear();
    Display->update();
}

void TScopeForm::DisplayPanelResize()
{
    trace_.SetSize(ClientWidth(), ClientHeight());
    ClearScreen();
    PlaceTriggerMarker();
    PlaceCursors();
    ShowGrabbed(-1);
}

void TScopeForm::GridClick()
{
    Display->update();
}

// ---- Cursors and the trigger marker -------------------------------------------------------------------

void TScopeForm::CreateCursor(bool analyser, int k)
{
    auto* panel = new QFrame(Display);
    panel->setObjectName(QString(analyser ? "AnalyserCursor%1" : "ScopeCursor%1").arg(k));
    panel->setGeometry(margin_ + 1, 1, 1, std::max(ClientHeight() - 2, 1));
    SetPanelColour(panel, CursorColour);
    panel->setToolTip(QString("Cursor %1").arg(k));
    panel->setCursor(Qt::SizeHorCursor);
    panel->installEventFilter(this);
    panel->setVisible(analyser == analyser_);
    (analyser ? aPanels_ : sPanels_)[size_t(k - 1)] = panel;
    (analyser ? aValues_ : sValues_)[size_t(k - 1)] = 0;
}

void TScopeForm::SetCursorCount(bool analyser, int count)
{
    int& current = analyser ? aCount_ : sCount_;
    auto& panels = analyser ? aPanels_ : sPanels_;
    count = std::clamp(count, 0, analyser ? 8 : 2);
    for (int k = current + 1; k <= count; ++k)
        CreateCursor(analyser, k);
    for (int k = count + 1; k <= current; ++k) {
        if (dragTarget_ == panels[size_t(k - 1)])
            dragTarget_ = nullptr;
        delete panels[size_t(k - 1)];
        panels[size_t(k - 1)] = nullptr;
    }
    current = count;
    InfoPanel->update();
}

void TScopeForm::sNumMarkersClick()
{
    SetCursorCount(false, NumMarkers->value());
    UpdateCursorValues();
}

void TScopeForm::aNumMarkersClick()
{
    SetCursorCount(true, NumMarkers->value());
    UpdateCursorValues();
}

void TScopeForm::UpdateCursorValues()
{
    if (!building_) {
        for (int i = 0; i < sCount_ && !analyser_; ++i)
            sValues_[size_t(i)] = ScopeCursorValue(sPanels_[size_t(i)]->x(), ClientWidth(), screenTime_);
        for (int i = 0; i < aCount_ && analyser_; ++i)
            aValues_[size_t(i)] =
                AnalyserCursorValue(aPanels_[size_t(i)]->x(), margin_, ClientWidth(), span_.Low, span_.Width);
    }
    InfoPanel->update();
}

void TScopeForm::PlaceCursors()
{
    const int m = QFontMetrics(DisplayFont()).horizontalAdvance("-80dB ");
    const int h = std::max(ClientHeight() - 2, 1);
    for (int i = 0; i < sCount_; ++i)
        sPanels_[size_t(i)]->setGeometry(ScopeCursorLeft(sValues_[size_t(i)], ClientWidth(), screenTime_), 1, 1, h);
    for (int i = 0; i < aCount_; ++i)
        aPanels_[size_t(i)]->setGeometry(
            AnalyserCursorLeft(aValues_[size_t(i)], m, ClientWidth(), span_.Low, span_.Width), 1, 1, h);
}

void TScopeForm::ShowCursors()
{
    for (int i = 0; i < sCount_; ++i)
        sPanels_[size_t(i)]->setVisible(!analyser_);
    for (int i = 0; i < aCount_; ++i)
        aPanels_[size_t(i)]->setVisible(analyser_);
}

void TScopeForm::MoveCursor(int i, int x)
{
    QFrame* panel = (analyser_ ? aPanels_ : sPanels_)[size_t(i)];
    if (!panel)
        return;
    x = std::max(std::min(x, ClientWidth() - 2), margin_ + 1);
    panel->move(x, 1);
    UpdateCursorValues();
}

int TScopeForm::CursorNear(int x) const
{
    const int count = analyser_ ? aCount_ : sCount_;
    const auto& panels = analyser_ ? aPanels_ : sPanels_;
    for (int i = 0; i < count; ++i)
        if (std::abs(panels[size_t(i)]->x() - x) <= 2)
            return i;
    return -1;
}

void TScopeForm::PlaceTriggerMarker()
{
    TriggerLevelMarker->move(std::max(ClientWidth() - 8, 0), TriggerMarkerTop(ClientHeight(), TriggerLevel->value()));
}

void TScopeForm::TriggerLevelChanging()
{
    PlaceTriggerMarker();
}

void TScopeForm::SetLevelFromMarkerTop(int top)
{
    TriggerLevel->setValue(TriggerLevelFromTop(ClientHeight(), top));
    PlaceTriggerMarker();
}

bool TScopeForm::eventFilter(QObject* watched, QEvent* event)
{
    const auto type = event->type();
    if (watched == Display && type == QEvent::Resize) {
        DisplayPanelResize();
        return false;
    }
    auto* me = dynamic_cast<QMouseEvent*>(event);
    if (!me)
        return QMainWindow::eventFilter(watched, event);
    const int ex = int(me->position().x()), ey = int(me->position().y());
    if (watched == TriggerLevelMarker) {
        if (type == QEvent::MouseButtonPress && me->button() == Qt::LeftButton) {
            markerDrag_ = true;
            markerGrabY_ = ey;
        } else if (type == QEvent::MouseMove && markerDrag_) {
            SetLevelFromMarkerTop(TriggerLevelMarker->y() + ey - markerGrabY_);
        } else if (type == QEvent::MouseButtonRelease) {
            markerDrag_ = false;
        }
        return true;
    }
    const bool onCursor = std::find(sPanels_.begin(), sPanels_.end(), watched) != sPanels_.end() ||
                          std::find(aPanels_.begin(), aPanels_.end(), watched) != aPanels_.end();
    if (watched != Display && !onCursor)
        return QMainWindow::eventFilter(watched, event);
    const int x = onCursor ? static_cast<QWidget*>(watched)->x() + ex : ex;
    const int count = analyser_ ? aCount_ : sCount_;
    auto& panels = analyser_ ? aPanels_ : sPanels_;
    if (type == QEvent::MouseButtonPress && me->button() == Qt::LeftButton) {
        if (onCursor) {
            dragTarget_ = static_cast<QFrame*>(watched);
        } else {
            const int i = CursorNear(x);
            dragTarget_ = i >= 0 ? panels[size_t(i)] : nullptr;
        }
        return dragTarget_ != nullptr;
    }
    if (type == QEvent::MouseMove) {
        if (dragTarget_) {
            for (int i = 0; i < count; ++i)
                if (panels[size_t(i)] == dragTarget_)
                    MoveCursor(i, x);
            return true;
        }
        if (!onCursor) {
            const int i = CursorNear(x);
            if (i >= 0) {
                Display->setCursor(Qt::SizeHorCursor);
                QToolTip::showText(me->globalPosition().toPoint(), panels[size_t(i)]->toolTip(), Display);
            } else {
                Display->unsetCursor();
                QToolTip::hideText();
            }
        }
        return false;
    }
    if (type == QEvent::MouseButtonRelease) {
        const bool had = dragTarget_ != nullptr;
        dragTarget_ = nullptr;
        return had;
    }
    return QMainWindow::eventFilter(watched, event);
}

// ---- Modes ------------------------------------------------------------------------------------------

void TScopeForm::ScopeButtonClick()
{
    analyser_ = false;
    ScopeButton->setChecked(true);
    margin_ = 0;
    PositiveEdge->setEnabled(true);
    NegativeEdge->setEnabled(true);
    Derivative->show();
    Bar->hide();
    SweepRange->hide();
    ShowCursors();
    {
        const QSignalBlocker block(NumMarkers);
        NumMarkers->setMaximum(2);
        NumMarkers->setValue(sCount_);
    }
    ScopeTimeBase->show();
    FFTWindow->hide();
    VertScaleLabel->show();
    VertScaleSpin->show();
    GrabberGroup->show();
    StoreEnable->setEnabled(!SingleShot->isChecked());
    hold_ = false;
    ScopeTimeBaseChange();
    Display->update();
    InfoPanel->update();
}

void TScopeForm::AnalyserButtonClick()
{
    analyser_ = true;
    AnalyserButton->setChecked(true);
    if (StoreEnable->isChecked()) {
        StoreEnable->setChecked(false);
        StoreClick();
    }
    margin_ = QFontMetrics(DisplayFont()).horizontalAdvance("-80dB ");
    if (PositiveEdge->isChecked() || NegativeEdge->isChecked()) {
        FreeRunning->setChecked(true);
        TriggerClick();
    }
    PositiveEdge->setEnabled(false);
    NegativeEdge->setEnabled(false);
    LevelLabel->setEnabled(false);
    TriggerLevel->setEnabled(false);
    TriggerLevelMarker->hide();
    Bar->show();
    Derivative->hide();
    VertScaleLabel->hide();
    VertScaleSpin->hide();
    ShowCursors();
    {
        const QSignalBlocker block(NumMarkers);
        NumMarkers->setMaximum(8);
        NumMarkers->setValue(aCount_);
    }
    FFTWindow->show();
    ScopeTimeBase->hide();
    SweepRange->show();
    GrabberGroup->hide();
    hold_ = false;
    FreqEditChange();
    Display->update();
    InfoPanel->update();
}

// ---- Waveform grabber -------------------------------------------------------------------------------

void TScopeForm::SetScrollRange()
{
    const int32_t max = GrabScrollBarMax(grabbed_, trace_.SamplesPerScreen);
    StoreScroll->SetParams(std::clamp(StoreScroll->Position(), 0, max), 0, max);
}

void TScopeForm::DiscardGrab()
{
    grab_.clear();
    grabbed_ = 0;
    StoreScroll->SetParams(0, 0, 0);
    SaveButton->setEnabled(false);
}

void TScopeForm::StoreClick()
{
    const bool on = StoreEnable->isChecked();
    StoreStart->setEnabled(on);
    StoreScroll->setEnabled(on);
    OpenButton->setEnabled(on);
    SingleShot->setEnabled(!on);
    grab_.clear();
    grabbed_ = 0;
    StoreScroll->SetParams(0, 0, 0);
    if (!on) {
        grab_.shrink_to_fit();
        grabbing_ = false;
        ScopeTimeBaseChange();
        SaveButton->setEnabled(false);
        StoreStart->setText(tr("Start"));
    }
}

void TScopeForm::StoreStartClick()
{
    if (grabbing_) {
        StopGrab();
        return;
    }
    SaveButton->setEnabled(false);
    OpenButton->setEnabled(false);
    StoreScroll->SetParams(0, 0, 0);
    grab_.clear();
    grabbed_ = 0;
    format_.SamplesPerSec = 44100;
    RestartCapture(2048);
    StoreStart->setText(tr("Stop"));
    grabbing_ = true;
}

void TScopeForm::StopGrab()
{
    SaveButton->setEnabled(true);
    OpenButton->setEnabled(true);
    hold_ = true;
    StoreStart->setText(tr("Start"));
    grabbing_ = false;
    ScopeTimeBaseChange();
}

void TScopeForm::StoreScrollScroll(int32_t position)
{
    ShowGrabbed(position);
}

void TScopeForm::ShowGrabbed(int32_t p)
{
    if (grabbed_ <= 0 || analyser_)
        return;
    if (p < 0)
        p = StoreScroll->Position();
    const int32_t S = trace_.SamplesPerScreen;
    p = std::clamp(p, 0, GrabScrollMax(grabbed_, S));
    trace_.StartScreen();
    trace_.VerticalScale = VertScaleSpin->value();
    trace_.Derivative = Derivative->isChecked();
    trace_.Rate = int32_t(format_.SamplesPerSec);
    trace_.GrabbedData = true;
    const int64_t count = int64_t(p) + S + 2 < grabbed_ ? int64_t(S) + 2 : int64_t(grabbed_) - p - 1;
    bool done = false;
    if (count > 0)
        done = trace_.DrawTrace(grab_.data() + p, int32_t(count));
    if (!done)
        trace_.ShowDrawing();  // a grab shorter than a screen shows what it holds
    ShowClip(trace_.Clipped());
    Display->update();
    InfoPanel->update();
}

// ---- Files ------------------------------------------------------------------------------------------

bool TScopeForm::LoadWaveFile(const std::string& path)
{
    std::ifstream f(path, std::ios::binary);
    if (!f) {
        platform::MessageBox::Show("Cannot open file \"" + path + "\"", "Error", platform::MB_OK | platform::MB_ICONERROR,
                                   this);
        return false;
    }
    TScopeWave w = ReadScopeWave(f, ScopeTimeBase->currentIndex());
    if (w.Result == swShortHeader) {
        platform::MessageBox::Show(kReadError, "Error", platform::MB_OK | platform::MB_ICONERROR, this);
        return false;
    }
    if (w.Result == swWrongFormat) {
        platform::MessageBox::Show(kWrongFormat, "Warning", platform::MB_OK | platform::MB_ICONWARNING, this);
        return false;
    }
    hold_ = true;
    // The file's rate with the one format the scope captures in.
    format_ = TPcmFormat{1, w.Header.SamplesPerSec, 16};
    grab_ = std::move(w.Samples);
    grab_.shrink_to_fit();
    grabbed_ = int32_t(grab_.size());
    StoreScroll->SetParams(0, 0, 0);
    ScopeTimeBaseChange();
    SetScrollRange();
    if (w.Result == swShortData) {
        platform::MessageBox::Show(kReadError, "Error", platform::MB_OK | platform::MB_ICONERROR, this);
        return false;
    }
    return true;
}

bool TScopeForm::SaveWaveFile(const std::string& path)
{
    std::ofstream f(path, std::ios::binary | std::ios::trunc);
    if (!f) {
        platform::MessageBox::Show("Cannot create file \"" + path + "\"", "Error",
                                   platform::MB_OK | platform::MB_ICONERROR, this);
        return false;
    }
    TWaveFileHeader h = TWaveFileHeader::Pcm(1, format_.SamplesPerSec, 16);
    h.SetDataSize(uint32_t(std::min<int64_t>(int64_t(grabbed_) * 2, UINT32_MAX)));
    const auto header = h.Bytes();
    f.write(reinterpret_cast<const char*>(header.data()), std::streamsize(header.size()));
    std::vector<uint8_t> raw(size_t(grabbed_) * 2);
    for (int32_t i = 0; i < grabbed_; ++i) {
        const uint16_t v = uint16_t(grab_[size_t(i)]);
        raw[size_t(2 * i)] = uint8_t(v);
        raw[size_t(2 * i + 1)] = uint8_t(v >> 8);
    }
    f.write(reinterpret_cast<const char*>(raw.data()), std::streamsize(raw.size()));
    f.close();
    if (!f) {
        platform::MessageBox::Show("Stream write error", "Error", platform::MB_OK | platform::MB_ICONERROR, this);
        return false;
    }
    return true;
}

void TScopeForm::OpenButtonClick()
{
    platform::TOpenDialog d;
    d.Title = "Open Audio Wave File into Scope";
    d.Filter = "Wave file (*.wav)|*.wav";
    d.DefaultExt = "wav";
    d.Options = platform::ofFileMustExist;
    if (!d.Execute(this))
        return;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    LoadWaveFile(d.FileName);
    QApplication::restoreOverrideCursor();
}

void TScopeForm::SaveButtonClick()
{
    platform::TSaveDialog d;
    d.Title = "Save Audio Wave Data";
    d.Filter = "Wave file (*.wav)|*.wav";
    d.DefaultExt = "wav";
    d.Options = platform::ofOverwritePrompt;
    if (!d.Execute(this))
        return;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    SaveWaveFile(d.FileName);
    QApplication::restoreOverrideCursor();
}

// ---- Colours and help -------------------------------------------------------------------------------

void TScopeForm::Properties1Click()
{
    TScopeDispPropsForm props(this);
    props.BackgroundColour->SetSelectedColor(BackgroundColour);
    props.GridColour->SetSelectedColor(GridColour);
    props.TraceColour->SetSelectedColor(TraceColour);
    props.MarkerColour->SetSelectedColor(CursorColour);
    props.OnApply = [this](TScopeDispPropsForm* f) { PropsApply(f); };
    props.Execute();
}

void TScopeForm::PropsApply(TScopeDispPropsForm* props)
{
    if (props) {
        BackgroundColour = props->BackgroundColour->SelectedColor();
        GridColour = props->GridColour->SelectedColor();
        TraceColour = props->TraceColour->SelectedColor();
        CursorColour = props->MarkerColour->SelectedColor();
    }
    SetPanelColour(Display, BackgroundColour);
    SetPanelColour(InfoPanel, BackgroundColour);
    for (QFrame* panel : sPanels_)
        if (panel)
            SetPanelColour(panel, CursorColour);
    for (QFrame* panel : aPanels_)
        if (panel)
            SetPanelColour(panel, CursorColour);
    SetPanelColour(TriggerLevelMarker, CursorColour);
    Display->update();
    InfoPanel->update();
}

void TScopeForm::HelpButtonClick()
{
    PopupHelpMenu(HelpButton);
}
