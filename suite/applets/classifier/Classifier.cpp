#include "Classifier.h"

#include "AboutUnit.h"
#include "RegApplet.h"

#include <QCheckBox>
#include <QFrame>
#include <QLabel>
#include <QMenu>
#include <QPushButton>

const char* const kClassifierName = "Signal Classifier";
const char* const kScanStateItem = "ScanState";

namespace {

const QColor kLime(0, 255, 0);
const QColor kBlack(0, 0, 0);

TAppletTraits ClassifierTraits()
{
    TAppletTraits t;
    t.Centred = false;  // the form centres itself
    t.Items = {kScanStateItem};
    t.DestroyOrder = {dsDde, dsSoundInput};
    t.HelpContext = 108;
    t.ModuleText = kClassifierName;
    return t;
}

}  // namespace

TClassifierForm::TClassifierForm(int32_t receiver) : TAppletForm(receiver, ClassifierTraits())
{
    setWindowTitle(tr("Signal Classifier"));
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    BuildLayout();
    CentreOnScreen(this);
}

void TClassifierForm::BuildLayout()
{
    auto* client = new QWidget(this);
    client->setFixedSize(276, 267);
    setCentralWidget(client);

    const char* titles[3] = {"Silence", "Noise", "Data"};
    TLevelMeter** meters[3] = {&LM1, &LM2, &LM3};
    QCheckBox** boxes[3] = {&CheckBox1, &CheckBox2, &CheckBox3};
    for (int i = 0; i < 3; ++i) {
        const int x = 24 + i * 64;
        auto* label = new QLabel(tr(titles[i]), client);
        label->setGeometry(x - 12, 8, 56, 16);
        label->setAlignment(Qt::AlignCenter);
        auto* m = new TLevelMeter(client);
        m->setGeometry(x, 26, 29, 146);
        m->SetColor(kBlack);
        m->SetFontColor(kLime);
        m->SetSLevel(50);
        m->SetSquelch(50);
        *meters[i] = m;
        auto* box = new QCheckBox(client);
        box->setGeometry(x + 6, 176, 20, 20);
        *boxes[i] = box;
    }
    auto* scanLabel = new QLabel(tr("Scan control"), client);
    scanLabel->setGeometry(200, 176, 72, 20);
    CheckBox4 = new QCheckBox(tr("Resume scan for unrecognized signal"), client);
    CheckBox4->setGeometry(8, 200, 260, 20);

    auto indicator = [client](const QString& text, int y) {
        auto* shape = new QFrame(client);
        shape->setGeometry(200, y + 3, 22, 10);
        shape->setAutoFillBackground(true);
        SetIndicator(shape, kBlack);
        auto* label = new QLabel(text, client);
        label->setGeometry(196 - 90, y, 90, 16);
        label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        return shape;
    };
    GateIndicator = indicator(tr("Signal Analysis"), 30);
    SkipChannel = indicator(tr("Resume scan"), 50);

    Test = new QPushButton(tr("&Test"), client);
    Test->setGeometry(8, 232, 80, 26);
    HelpButton = new QPushButton(tr("&Help"), client);
    HelpButton->setGeometry(98, 232, 80, 26);
    ExitButton = new QPushButton(tr("E&xit"), client);
    ExitButton->setGeometry(188, 232, 80, 26);
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
    if (ClassifierResumes(r, ticks, testMode_))
        ResumeScan();
    testMode_ = false;
    Test->setEnabled(true);
    // The buffer waits for the next stop of the scanner.
}

void TClassifierForm::ResumeScan()
{
    SetIndicator(SkipChannel, kLime);
    PokeDataHandle(kScanStateItem, resumeData_, dde::TIMEOUT_ASYNC);
}

void TClassifierForm::HelpButtonClick()
{
    HelpMenu()->popup(HelpButton->mapToGlobal(QPoint(0, HelpButton->height())));
}

void TClassifierForm::ExitButtonClick() { close(); }

bool CreateClassifierApplet(int32_t receiver) { return TAppletForm::CreateApplet<TClassifierForm>(receiver); }

namespace {
TAppletRegistrar registrar(kClassifierName, CreateClassifierApplet);
}
