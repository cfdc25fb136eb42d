#include "CTCSS.h"

#include "RegApplet.h"
#include "platform/ui/Dialogs.h"
#include "platform/ui/MessageBox.h"

#include <QCheckBox>
#include <QEvent>
#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <QStatusBar>

const char* const kCTCSSName = "CTCSS Decoder";

namespace {

TAppletTraits CTCSSTraits()
{
    TAppletTraits t;
    t.Caption = kCTCSSName;
    t.ClientWidth = 491;
    t.ClientHeight = 143;
    t.Border = bsSingle;
    t.Centred = false;
    t.PopupHelpMenu = HelpMenuItems();
    t.KeyName = "CTCSS";
    t.Items = {"ScanState"};
    t.DestroyOrder = {dsDde, dsSoundInput, dsRecordingFile, dsSettings};
    t.HelpContext = 104;
    t.ModuleText = kCTCSSName;
    return t;
}

bool CreateCTCSSApplet(int32_t receiver)
{
    return TAppletForm::CreateApplet<TCTCSSForm>(receiver);
}

const TAppletRegistrar registrar(kCTCSSName, CreateCTCSSApplet);

const QColor kLime(0, 255, 0), kYellow(255, 255, 0), kBlack(0, 0, 0), kRed(255, 0, 0);

// The largest data size a recording may reach: its RIFF size (data + 36) must still fit 32 bits.
constexpr uint64_t kMaxDataBytes = 0xFFFFFFFFull - 36;

}  // namespace

TCTCSSForm::TCTCSSForm(int32_t receiver) : TAppletForm(receiver, CTCSSTraits())
{
    LocalTime = [] {
        const std::time_t now = std::time(nullptr);
        std::tm t{};
        localtime_r(&now, &t);
        return t;
    };
}

TCTCSSForm::~TCTCSSForm()
{
    CloseWaveFile();
}

QColor TCTCSSForm::ShapeColor(const QWidget* w)
{
    return w->palette().color(QPalette::Window);
}

void TCTCSSForm::SetColour(QWidget* w, const QColor& c)
{
    QPalette pal = w->palette();
    pal.setColor(QPalette::Window, c);
    w->setPalette(pal);
    w->setAutoFillBackground(true);
}

void TCTCSSForm::CreateSteps()
{
    BuildLayout();
    FitWindow();
    ToneLabelClick(0);
    ReadSettings();
    if (!OpenSoundInput())
        CloseWaveFile();
}

// The tone grid (five rows of 9, 9, 9, 9 and 5 labels), then the boxes, the recording light and the
// buttons, and the status bar with the detected tone and the recording file.
void TCTCSSForm::BuildLayout()
{
    QWidget* client = Client();
    Label1 = new QLabel(tr("Rec"), client);
    Label1->setObjectName("Label1");
    const int w = (491 - 12) / 9;
    const int h = Label1->sizeHint().height() + 3;
    const int t0 = 10;
    SelectionShape = new QFrame(client);
    SelectionShape->setObjectName("SelectionShape");
    SelectionShape->setFrameStyle(QFrame::Box | QFrame::Plain);
    QPalette pal = SelectionShape->palette();
    pal.setColor(QPalette::WindowText, kRed);
    SelectionShape->setPalette(pal);
    // The window's font, a little smaller where this platform's font would not fit a tone in a cell.
    QFont toneFont = font();
    while (QFontMetrics(toneFont).horizontalAdvance("250.3Hz") > w - 6 && toneFont.pointSizeF() > 6)
        toneFont.setPointSizeF(toneFont.pointSizeF() - 0.5);
    for (int i = 0; i < kCTCSSToneCount; ++i) {
        auto* label = new QLabel(QString::fromLatin1(CTCSSTones[i].Text), client);
        label->setFont(toneFont);
        label->setObjectName(QString("Tone%1").arg(i));
        label->setAlignment(Qt::AlignCenter);
        label->setGeometry((i % 9) * w + 10, (i / 9) * h + t0, w - 4, h - 3);
        label->setProperty("tag", i);
        label->installEventFilter(this);
        label->setCursor(Qt::PointingHandCursor);
        SetColour(label, palette().color(QPalette::Button));
        ToneLabels.push_back(label);
    }
    const int row = 5 * h + t0 + 4;
    CheckBox2 = new QCheckBox(tr("&Scan control"), client);
    CheckBox2->setObjectName("CheckBox2");
    CheckBox2->setGeometry(10, row, 110, 22);
    CheckBox1 = new QCheckBox(tr("&Record to wave file"), client);
    CheckBox1->setObjectName("CheckBox1");
    CheckBox1->setGeometry(124, row, 150, 22);
    LED = new QFrame(client);
    LED->setObjectName("LED");
    LED->setGeometry(282, row + 6, 20, 9);
    SetColour(LED, kLime);
    Label1->setGeometry(306, row, 30, 22);
    HelpButton = new QPushButton(tr("&Help"), client);
    HelpButton->setObjectName("HelpButton");
    HelpButton->setGeometry(340, row - 1, 70, 24);
    Button2 = new QPushButton(tr("E&xit"), client);
    Button2->setObjectName("Button2");
    Button2->setGeometry(414, row - 1, 70, 24);
    StatusPanel0 = new QLabel(client);
    StatusPanel0->setObjectName("StatusPanel0");
    StatusPanel1 = new QLabel(client);
    StatusPanel1->setObjectName("StatusPanel1");
    for (QLabel* p : {StatusPanel0, StatusPanel1})
        p->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    StatusPanel0->setGeometry(0, 143 - 20, 100, 20);
    StatusPanel1->setGeometry(100, 143 - 20, 391, 20);

    connect(CheckBox1, &QCheckBox::toggled, this, [this] { CheckBox1Click(); });
    connect(HelpButton, &QPushButton::clicked, this, &TCTCSSForm::HelpButtonClick);
    connect(Button2, &QPushButton::clicked, this, &TCTCSSForm::Button2Click);
}

bool TCTCSSForm::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::MouseButtonRelease) {
        const QVariant tag = watched->property("tag");
        if (tag.isValid())
            ToneLabelClick(tag.toInt());
    }
    return TAppletForm::eventFilter(watched, event);
}

void TCTCSSForm::ToneLabelClick(int tag)
{
    if (tag < 0 || tag >= int(ToneLabels.size()))
        return;
    target_ = tag;
    const QRect r = ToneLabels[size_t(tag)]->geometry();
    SelectionShape->setGeometry(r.adjusted(-2, -2, 2, 2));
}

void TCTCSSForm::LoadSettings(const TAppletSettings& s)
{
    if (s.Exists("LeftPosition"))
        RestorePosition(s.Integer("LeftPosition", x()), y());
    if (s.Exists("TopPosition"))
        RestorePosition(x(), s.Integer("TopPosition", y()));
    ToneLabelClick(ClampTargetTone(s.Integer("TargetTone", 0)));
    CheckBox1->setChecked(s.Bool("Log", false));
    CheckBox2->setChecked(s.Bool("Scan", false));
}

void TCTCSSForm::SaveSettings(TAppletSettings& s)
{
    StorePosition(s, "LeftPosition", "TopPosition");
    s.SetInteger("TargetTone", target_);
    s.SetBool("Log", CheckBox1->isChecked());
    s.SetBool("Scan", CheckBox2->isChecked());
}

void TCTCSSForm::ConnectHost()
{
    TAppletForm::ConnectHost();
    scanOnHandle_ = CreateDataHandle("1");
}

void TCTCSSForm::AdviseValue(const std::string& item, int32_t value)
{
    if (item == "ScanState")
        hostScanning_ = value != 0;
}

void TCTCSSForm::MMWimData(const int16_t* samples, size_t count)
{
    last_ = detector_.Analyse(samples, count);
    SetColour(ToneLabels[size_t(lit_)], palette().color(QPalette::Button));
    const int k = last_.Strongest;
    if (last_.Present) {
        StatusPanel0->setText(QString::fromLatin1(CTCSSTones[k].Text));
        lit_ = k;
        SetColour(ToneLabels[size_t(k)], k == target_ ? kYellow : kLime);
    } else {
        StatusPanel0->setText(tr("No tone"));
    }
    HeadlessReport(StatusPanel0->text());
    if (CTCSSPokes(last_, target_, CheckBox2->isChecked(), hostScanning_))
        PokeDataHandle("ScanState", scanOnHandle_, dde::TIMEOUT_ASYNC);
    if (file_ && CTCSSRecords(last_, target_)) {
        SetColour(LED, kLime);
        const uint64_t bytes = uint64_t(count) * 2;
        if (uint64_t(header_.DataSize) + bytes > kMaxDataBytes) {
            StopRecording("The recording has reached the largest size a wave file holds and has been closed.");
            return;
        }
        raw_.resize(static_cast<size_t>(bytes));
        for (size_t i = 0; i < count; ++i) {
            raw_[2 * i] = uint8_t(uint16_t(samples[i]));
            raw_[2 * i + 1] = uint8_t(uint16_t(samples[i]) >> 8);
        }
        if (std::fwrite(raw_.data(), 1, raw_.size(), file_) != raw_.size()) {
            StopRecording("The recording file could not be written and has been closed.");
            return;
        }
        header_.SetDataSize(header_.DataSize + uint32_t(bytes));
        // The header follows the data as it grows, so a recording cut short is still a whole file.
        WriteHeader();
    } else {
        SetColour(LED, kBlack);
    }
}

void TCTCSSForm::WriteHeader()
{
    const long end = std::ftell(file_);
    const auto bytes = header_.Bytes();
    std::fseek(file_, 0, SEEK_SET);
    std::fwrite(bytes.data(), 1, bytes.size(), file_);
    std::fseek(file_, end < long(TWaveFileHeader::Size) ? long(TWaveFileHeader::Size) : end, SEEK_SET);
    std::fflush(file_);
}

void TCTCSSForm::StopRecording(const std::string& why)
{
    CheckBox1->setChecked(false);  // closes the file
    platform::MessageBox::Show(why, kCTCSSName, platform::MB_OK | platform::MB_ICONWARNING, this);
}

void TCTCSSForm::CheckBox1Click()
{
    if (toggling_)
        return;
    if (!CheckBox1->isChecked()) {
        CloseWaveFile();
        StatusPanel1->clear();
        return;
    }
    platform::TSaveDialog d;
    d.Filter = "Windows wave file (*.wav)|*.wav";
    d.DefaultExt = "wav";
    d.Options = platform::ofOverwritePrompt | platform::ofHideReadOnly | platform::ofPathMustExist;
    d.FileName = CTCSSProposedName(target_, LocalTime());
    if (!d.Execute(this)) {
        StatusPanel1->clear();
        CheckBox1->setChecked(false);
        return;
    }
    CloseWaveFile();
    file_ = std::fopen(d.FileName.c_str(), "wb");
    if (!file_) {
        // Nothing would be recorded: the box says so by being cleared.
        StatusPanel1->clear();
        toggling_ = true;
        CheckBox1->setChecked(false);
        toggling_ = false;
        platform::MessageBox::Show("Cannot create file \"" + d.FileName + "\"", kCTCSSName,
                                   platform::MB_OK | platform::MB_ICONERROR, this);
        return;
    }
    fileName_ = d.FileName;
    StatusPanel1->setText(QString::fromStdString(d.FileName));
    header_ = TWaveFileHeader::Pcm(1, kCTCSSRate, 16);
    WriteHeader();
}

void TCTCSSForm::CloseWaveFile()
{
    if (!file_)
        return;
    WriteHeader();
    std::fclose(file_);
    file_ = nullptr;
}

void TCTCSSForm::HelpButtonClick()
{
    PopupHelpMenu(HelpButton);
}

void TCTCSSForm::Button2Click()
{
    close();
}
