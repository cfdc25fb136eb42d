#include "ACARS.h"

#include "RegApplet.h"
#include "platform/ui/DateTimeText.h"

#include <QAction>

const char* const kACARSName = "ACARS Decoder";

TTextWindowConfig ACARSConfig()
{
    TTextWindowConfig c;
    c.Caption = QStringLiteral("Aircraft Communications Addressing and Reporting System (ACARS)");
    c.PaneFont.Name.clear();  // the form's font
    c.Panels = {{"Stand by", 100}, {"", 200}};
    c.LogPanel = 1;
    c.ActiveText = QStringLiteral("Stand by");
    c.OptionsLayout = {osOwn, osSeparator, osToolbar};
    // Each own item only toggles its check mark; the decoder and the printer read them per message.
    for (const auto& [caption, name] : {std::pair{"Parity Filter", "ParityFilter1"}, {"Syntax Check", "SyntaxCheck1"},
                                        {"Labels Details", "LabelsDetails1"},
                                        {"Message No. Details", "MessageNoDetails1"},
                                        {"Registration Details", "RegistrationDetails1"},
                                        {"Flight ID details", "FlightDetails1"}}) {
        TMenuItem item = MenuItem(caption, name);
        item.Checkable = true;
        c.OwnOptions.push_back(item);
    }
    c.CutCaption = QStringLiteral("Cu&t");
    c.AboutCaption = QStringLiteral("&About");
    c.IndentAtCreation = true;
    c.DefaultLogFile = "ACARS.LOG";
    c.PrintTitle = QStringLiteral("Korvanta Quenda - ACARS Decoder");
    c.LeftValue = "Left";
    c.TopValue = "Top";
    c.WidthValue = "Width";
    c.HeightValue = "Height";
    c.LogValue = "Log";
    c.LogFileNameValue = "Log File Name";
    c.PausedValue = "Paused";
    c.ToolbarValue = "Toolbar";
    return c;
}

TAppletTraits ACARSTraits()
{
    TAppletTraits t;
    t.KeyName = "ACARS";
    t.DestroyOrder = {dsDde, dsSoundInput, dsLog, dsSettings};
    t.HelpContext = 106;
    t.ModuleText = kACARSName;
    return t;
}

namespace {

// Registry names of the own options, in the order they are written.
const char* const kOptionValues[6] = {"Parity Filter", "Syntax Check", "Labels Details", "Message Number Details",
                                      "Registration Details", "Flight ID Details"};

} // namespace

TACARSForm::TACARSForm(int32_t receiver) : TTextDecoderForm(receiver, ACARSTraits(), ACARSConfig())
{
    ParityFilter1 = MenuAction("ParityFilter1");
    SyntaxCheck1 = MenuAction("SyntaxCheck1");
    LabelsDetails1 = MenuAction("LabelsDetails1");
    MessageNoDetails1 = MenuAction("MessageNoDetails1");
    RegistrationDetails1 = MenuAction("RegistrationDetails1");
    FlightDetails1 = MenuAction("FlightDetails1");

    demod_.Framer.OnMessage = [this](int len) { PrintFrame(len); };
    demod_.Framer.OnStatus = [this](bool receiving) {
        SetStatusText(0, receiving ? QStringLiteral("Receiving") : QStringLiteral("Stand by"));
    };
    printer_.AddText = [this](const std::string& text, uint32_t colour, unsigned style) { AddText(text, colour, style); };
    printer_.LogDateTime = [this] {
        if (Logging())
            LogWrite((Log().DateTimeText ? Log().DateTimeText() : platform::NowDateTimeText()) + "\r\n");
    };
}

TACARSForm::~TACARSForm() = default;

TPcmFormat TACARSForm::CaptureFormat() const
{
    TPcmFormat f;
    f.Channels = 1;
    f.SamplesPerSec = 44100;
    f.BitsPerSample = 16;
    return f;
}

void TACARSForm::DecodeBuffer(const int16_t* samples, size_t count)
{
    demod_.Framer.ParityFilter = ParityFilter1->isChecked();
    for (size_t at = 0; at < count; at += TACARSDemod::kBlock) {
        const size_t n = std::min<size_t>(TACARSDemod::kBlock, count - at);
        demod_.ProcessBuffer(samples + at, static_cast<int32_t>(n));
    }
}

void TACARSForm::PrintFrame(int len)
{
    printer_.SyntaxCheck = SyntaxCheck1->isChecked();
    printer_.LabelsDetails = LabelsDetails1->isChecked();
    printer_.MessageNumberDetails = MessageNoDetails1->isChecked();
    printer_.RegistrationDetails = RegistrationDetails1->isChecked();
    printer_.FlightIdDetails = FlightDetails1->isChecked();
    printer_.PrintFrame(demod_.Framer.Text.data(), len);
}

void TACARSForm::NewExtras() { printer_.FirstMessage = true; }

void TACARSForm::LoadOwnSettings(const TAppletSettings& s)
{
    QAction* items[6] = {ParityFilter1, SyntaxCheck1, LabelsDetails1, MessageNoDetails1, RegistrationDetails1, FlightDetails1};
    for (int i = 0; i < 6; ++i)
        items[i]->setChecked(s.Bool(kOptionValues[i], false));
}

void TACARSForm::SaveOwnSettings(TAppletSettings& s)
{
    QAction* items[6] = {ParityFilter1, SyntaxCheck1, LabelsDetails1, MessageNoDetails1, RegistrationDetails1, FlightDetails1};
    for (int i = 0; i < 6; ++i)
        s.SetBool(kOptionValues[i], items[i]->isChecked());
}

bool CreateACARSApplet(int32_t receiver) { return TAppletForm::CreateApplet<TACARSForm>(receiver); }

namespace {
TAppletRegistrar registrar(kACARSName, CreateACARSApplet);
}
