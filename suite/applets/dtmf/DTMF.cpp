#include "DTMF.h"

#include "NewRichEdit.h"
#include "RegApplet.h"

#include <QAction>
#include <QMenu>

const char* const kDTMFName = "DTMF Decoder";

TTextWindowConfig DTMFWindowConfig()
{
    TTextWindowConfig c;
    c.Caption = QStringLiteral("DTMF Decoder");
    c.PaneFont.Name = "Arial";
    c.PaneFont.Height = -13;
    c.Width = 480;
    c.Height = 320;
    c.Panels = {{QStringLiteral("Active"), 70}, {QString(), 500}};
    c.LogPanel = 1;
    c.OptionsLayout = {osFont, osToolbar, osSeparator, osOwn};
    TMenuItem method1 = MenuItem("Method &1", "N11Click");
    method1.RadioGroup = 1;
    method1.Checked = true;  // the stored form has method 1
    TMenuItem method2 = MenuItem("Method &2", "N21Click");
    method2.RadioGroup = 1;
    c.OwnOptions = {SubMenu("&Decoding", "Decoding1", {method1, method2})};
    c.CutCaption = QStringLiteral("Cu&t");
    c.DefaultLogFile = "DTMF.LOG";
    c.PrintTitle = QStringLiteral("Korvanta Quenda - DTMF Decoder");
    c.PrintOffersSelection = true;
    c.LogFilter = "Log File (*.log)|*.log|Text File (*.txt)|*.txt";
    c.LogTitle = "Save To Log File";
    c.SaveFilter = "Rich Text Format (*.rtf)|*.rtf|Text only (*.txt)|*.txt";
    c.SaveTitle = "Save POCSAG Decodings";
    c.SavePathMustExist = true;
    return c;
}

TAppletTraits DTMFTraits()
{
    TAppletTraits t;
    t.KeyName = "DTMF";
    t.DestroyOrder = {dsDde, dsLog, dsSettings, dsSoundInput};
    t.HelpContext = 103;
    t.ModuleText = "DTMF Decoder";
    return t;
}

TDTMFForm::TDTMFForm(int32_t receiver)
    : TTextDecoderForm(receiver, DTMFTraits(), DTMFWindowConfig()), decoder_(std::make_unique<TDTMFDecoder>())
{
    method1_ = MenuAction("N11Click");
    method2_ = MenuAction("N21Click");

    // Each symbol as its own black character; each line break with the date and time in the log.
    decoder_->OnSymbol = [this](char symbol) {
        ShowText(QString(QLatin1Char(symbol)), platform::clBlack, 0);
        LogWrite(std::string(1, symbol));
    };
    decoder_->OnLineBreak = [this] {
        ShowText(QStringLiteral("\r\n"), platform::clBlack, 0);
        if (Logging())
            LogWrite("\r\n" + Log().DateTimeText() + " ");
    };
}

void TDTMFForm::setMethod(bool method1)
{
    method1_->setChecked(method1);
    method2_->setChecked(!method1);
    decoder_->Method1 = method1;
}

void TDTMFForm::OwnMenuClick(const std::string& name, QAction*)
{
    if (name == "N11Click")
        N11Click();
    else if (name == "N21Click")
        N21Click();
}

void TDTMFForm::N11Click() { setMethod(true); }

void TDTMFForm::N21Click() { setMethod(false); }

void TDTMFForm::DecodeBuffer(const int16_t* samples, size_t count) { decoder_->ProcessBuffer(samples, count); }

void TDTMFForm::NewExtras() { decoder_->ResetLine(); }

void TDTMFForm::LoadOwnSettings(const TAppletSettings& s)
{
    // Read only when present; otherwise the stored form's method 1 stands.
    if (s.Exists("Method1"))
        setMethod(s.Bool("Method1", true));
}

void TDTMFForm::SaveOwnSettings(TAppletSettings& s) { s.SetBool("Method1", method1_->isChecked()); }

bool CreateDTMFApplet(int32_t receiver) { return TAppletForm::CreateApplet<TDTMFForm>(receiver); }

namespace {
TAppletRegistrar registrar(kDTMFName, CreateDTMFApplet);
}
