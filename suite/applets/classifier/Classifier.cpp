#include "Classifier.h"

#include "AboutUnit.h"
#include "RegApplet.h"

#include <QCheckBox>
#include <QFrame>
#include <QLabel>
#include <QMenu>
#include <QPushButton>

#include <algorithm>

const char* const kClassifierName = "Signal Classifier";
const char* const kScanStateItem = "ScanState";

namespace {

const QColor kLime(0, 255, 0);
const QColor kBlack(0, 0, 0);

TAppletTraits ClassifierTraits()
{
    TAppletTraits t;
    t.Caption = kClassifierName;
    t.ClientWidth = 276;
    t.ClientHeight = 267;
    t.Border = bsSingle;
    t.Centred = false;
    t.Position = poScreenCenter;  // the form centres itself
    t.PopupHelpMenu = HelpMenuItems();
    t.PopupHelpMenu.back().Name = "About2Click";
    t.Items = {kScanStateItem};
    t.DestroyOrder = {dsDde, dsSoundInput};
    t.HelpContext = 108;
    t.ModuleText = kClassifierName;
    return t;
}

// A label that takes the width its text needs, as the form's labels size themselves.
QLabel* AutoLabel(const QString& text, QWidget* parent, const char* name, int x, int y)
{
    auto* label = new QLabel(text, parent);
    label->setObjectName(name);
    label->move(x, y);
    label->adjustSize();
    return label;
}

}  // namespace

TClassifierForm::TClassifierForm(int32_t receiver) : TAppletForm(receiver, ClassifierTraits())
{
    BuildLayout();
}

// The client area, 276 x 267: the three meters with their labels and scan-control boxes on the
// left, the two indicators on the right, the catch-all box and the buttons along the bottom.
void TClassifierForm::BuildLayout()
{
    QWidget* client = Client();
    const char* titles[3] = {"Silence", "Noise", "Data"};
    const char* meterNames[3] = {"LM1", "LM2", "LM3"};
    const char* boxNames[3] = {"CheckBox1", "CheckBox2", "CheckBox3"};
    TLevelMeter** meters[3] = {&LM1, &LM2, &LM3};
    QCheckBox** boxes[3] = {&CheckBox1, &CheckBox2, &CheckBox3};
    constexpr int kColumn = 52, kMeterLeft = 16, kMeterTop = 26, kRowTop = 178;
    for (int i = 0; i < 3; ++i) {
        const int x = kMeterLeft + i * kColumn;
        const int centre = x + 29 / 2;
        auto* label = new QLabel(tr(titles[i]), client);
        label->setObjectName(QString("Label") + titles[i]);
        label->setAlignment(Qt::AlignHCenter | Qt::AlignBottom);
        label->setGeometry(centre - kColumn / 2, 6, kColumn, 18);
        auto* m = new TLevelMeter(client);
        m->setObjectName(meterNames[i]);
        m->setGeometry(x, kMeterTop, 29, 146);
        m->SetColor(kBlack);
        m->SetFontColor(kLime);
        m->SetSLevel(50);
        m->SetSquelch(50);
        *meters[i] = m;
        auto* box = new QCheckBox(client);
        box->setObjectName(boxNames[i]);
        const QSize hint = box->sizeHint();
        box->setGeometry(centre - hint.width() / 2, kRowTop, hint.width(), 20);
        *boxes[i] = box;
    }
    // The row's caption, beside the last box.
    constexpr int kRight = kMeterLeft + 3 * kColumn - 8;  // the indicators' column
    QLabel* scanLabel = AutoLabel(tr("Scan control"), client, "LabelScanControl", kRight, kRowTop);
    scanLabel->setFixedHeight(20);

    CheckBox4 = new QCheckBox(tr("Resume scan for unrecognized signal"), client);
    CheckBox4->setObjectName("CheckBox4");
    CheckBox4->setGeometry(12, 204, std::max(252, CheckBox4->sizeHint().width()), 22);

    // Each indicator under its caption.
    auto indicator = [client](const QString& text, const char* name, const char* labelName, int y) {
        AutoLabel(text, client, labelName, kRight, y);
        auto* shape = new QFrame(client);
        shape->setObjectName(name);
        shape->setGeometry(kRight + 2, y + 22, 22, 10);
        shape->setFrameStyle(QFrame::Box | QFrame::Plain);
        shape->setAutoFillBackground(true);
        SetIndicator(shape, kBlack);
        return shape;
    };
    GateIndicator = indicator(tr("Signal Analysis"), "GateIndicator", "LabelSignalAnalysis", kMeterTop + 8);
    SkipChannel = indicator(tr("Resume scan"), "SkipChannel", "LabelResumeScan", kMeterTop + 64);

    auto button = [client](const QString& text, const char* name, int x) {
        auto* b = new QPushButton(text, client);
        b->setObjectName(name);
        b->setGeometry(x, 234, 76, 25);
        return b;
    };
    Test = button(tr("&Test"), "Test", 12);
    HelpButton = button(tr("&Help"), "HelpButton", 100);
    ExitButton = button(tr("E&xit"), "ExitButton", 188);
    connect(Test, &QPushButton::clicked, this, &TClassifierForm::TestClick);
    connect(HelpButton, &QPushButton::clicked, this, &TClassifierForm::HelpButtonClick);
    connect(ExitButton, &QPushButton::clicked, this, &TClassifierForm::ExitButtonClick);
}

void TClassifierForm::SetIndicator(QFrame* shape, const QColor& c)
{
    QPalette pal = shape->palette();
    pal.setColor(QPalette::Window, c);
    shape->setPalette(pal);
}

QColor TClassifierForm::IndicatorColor(const QFrame* shape) { return shape->palette().color(QPalette::Window); }

void TClassifierForm::ConnectHost()
{
    TAppletForm::ConnectHost();
    if (resumeData_ == 0)
        resumeData_ = CreateDataHandle("1");
}

void TClassifierForm::AdviseValue(const std::string& item, int32_t value)
{
    if (item != kScanStateItem)
        return;
    if (value != 0)
        SetIndicator(SkipChannel, kBlack);  // the host scans again
    else
        StartClick();
}

void TClassifierForm::StartClick()
{
    SetIndicator(SkipChannel, kBlack);
    if (!capturePending_)
        QueueCaptureBuffer(0);  // the one buffer is queued already while a capture is pending
    capturePending_ = true;
    Test->setEnabled(false);
    SetIndicator(GateIndicator, kLime);
}

void TClassifierForm::TestClick()
{
    StartClick();
    testMode_ = true;
}

void TClassifierForm::WaveInData(const int16_t* samples, size_t count)
{
    // The window is being taken down, or nothing asked for this buffer.
    if (!Dde() || !capturePending_)
        return;
    capturePending_ = false;
    SetIndicator(GateIndicator, kBlack);
    GateIndicator->repaint();

    analysis_.Load(samples, count);
    TClassifierResult& r = result_;
    r = TClassifierResult();
    analysis_.MeasureSilence(LM1->Squelch(), r);
    LM1->SetSLevel(r.SilenceLevel);
    analysis_.MeasureNoise(LM2->Squelch(), r);
    LM2->SetSLevel(r.NoiseLevel);
    analysis_.MeasureData(LM3->Squelch(), r);
    LM3->SetSLevel(r.DataLevel);

    const TClassifierTicks ticks{CheckBox1->isChecked(), CheckBox2->isChecked(), CheckBox3->isChecked(),
                                 CheckBox4->isChecked()};
    const bool resumes = ClassifierResumes(r, ticks, testMode_);
    if (resumes)
        ResumeScan();
    // The levels as the meters show them (they clamp what they are given).
    HeadlessReport(QStringLiteral("silence %1%2, noise %3%4, data %5%6%7")
                       .arg(LM1->SLevel())
                       .arg(r.Silent ? " (silent)" : "")
                       .arg(LM2->SLevel())
                       .arg(r.Noise ? " (noise)" : "")
                       .arg(LM3->SLevel())
                       .arg(r.Data ? " (data)" : "")
                       .arg(resumes ? ", scan resumed" : ""),
                   false);
    testMode_ = false;
    Test->setEnabled(true);
    // The buffer waits for the next stop of the scanner.
}

void TClassifierForm::ResumeScan()
{
    SetIndicator(SkipChannel, kLime);
    PokeDataHandle(kScanStateItem, resumeData_, dde::TIMEOUT_ASYNC);
}

void TClassifierForm::HelpButtonClick() { PopupHelpMenu(HelpButton); }

void TClassifierForm::ExitButtonClick() { close(); }

bool CreateClassifierApplet(int32_t receiver) { return TAppletForm::CreateApplet<TClassifierForm>(receiver); }

namespace {
TAppletRegistrar registrar(kClassifierName, CreateClassifierApplet);
}
