#pragma once
// The three text applets' rows of the text window, as test applets on the shared window: each fills
// its configuration record and adds its own Options items, and counts the buffers it is given.
#include "TextDecoderForm.h"

#include <QAction>
#include <QMenu>

namespace textwindow {

enum class Kind { Packet, Dtmf, Acars };

inline TTextWindowConfig Config(Kind kind)
{
    TTextWindowConfig c;
    switch (kind) {
    case Kind::Packet:
        c.Caption = QStringLiteral("Packet Radio (AX.25)");
        c.PaneFont.Name = "Terminal";
        c.PaneFont.Height = -13;
        c.Panels = {{"Active", 80}, {"1200 bps", 80}, {"Receiving", 80}, {"", 200}, {"", 500}};
        c.LogPanel = 4;
        c.SecondPausePanel = 2;
        c.SecondPausedText = QString();
        c.SecondActiveText = QStringLiteral("Stand by");
        c.OptionsLayout = {osToolbar, osSeparator, osOwn};
        {
            TMenuItem hf = MenuItem("300 bps (HF)", "N300bpsHF1Click");
            TMenuItem vhf = MenuItem("1200 bps (VHF)", "N1200bpsVHF1Click");
            hf.RadioGroup = vhf.RadioGroup = 1;
            vhf.Checked = true;
            c.OwnOptions = {hf, vhf};
        }
        c.ToolbarPopup = false;
        c.SkipEmptyLineBreaks = true;
        c.DefaultLogFile = "PACKET.LOG";
        c.PrintTitle = QStringLiteral("Korvanta Quenda - Packet Decoder");
        break;
    case Kind::Dtmf:
        c.Caption = QStringLiteral("DTMF Decoder");
        c.PaneFont.Name = "Arial";
        c.PaneFont.Height = -13;
        c.Panels = {{"Active", 70}, {"", 500}};
        c.LogPanel = 1;
        c.OptionsLayout = {osFont, osToolbar, osSeparator, osOwn};
        {
            TMenuItem m1 = MenuItem("Method &1", "N11Click");
            TMenuItem m2 = MenuItem("Method &2", "N21Click");
            m1.RadioGroup = m2.RadioGroup = 1;
            m1.Checked = true;
            c.OwnOptions = {SubMenu("&Decoding", "Decoding1", {m1, m2})};
        }
        c.CutCaption = QStringLiteral("Cu&t");
        c.DefaultLogFile = "DTMF.LOG";
        c.PrintTitle = QStringLiteral("Korvanta Quenda - DTMF Decoder");
        c.PrintOffersSelection = true;
        c.LogFilter = "Log File (*.log)|*.log|Text File (*.txt)|*.txt";
        c.LogTitle = "Save To Log File";
        c.SaveFilter = "Rich Text Format (*.rtf)|*.rtf|Text only (*.txt)|*.txt";
        c.SaveTitle = "Save POCSAG Decodings";
        c.SavePathMustExist = true;
        break;
    case Kind::Acars:
        c.Caption = QStringLiteral("Aircraft Communications Addressing and Reporting System (ACARS)");
        c.PaneFont.Name.clear();  // the form's font
        c.Panels = {{"Stand by", 100}, {"", 200}};
        c.LogPanel = 1;
        c.ActiveText = QStringLiteral("Stand by");
        c.OptionsLayout = {osOwn, osSeparator, osToolbar};
        for (const char* item : {"Parity Filter", "Syntax Check", "Labels Details", "Message No. Details",
                                 "Registration Details", "Flight ID details"}) {
            TMenuItem m = MenuItem(item, std::string(item) + "Click");
            m.Checkable = true;
            c.OwnOptions.push_back(m);
        }
        c.CutCaption = QStringLiteral("Cu&t");
        c.AboutCaption = QStringLiteral("&About");
        c.IndentAtCreation = true;
        c.DefaultLogFile = "ACARS.LOG";
        c.PrintTitle = QStringLiteral("Korvanta Quenda - ACARS Decoder");
        c.LeftValue = "Left";
        c.TopValue = "Top";
        c.LogFileNameValue = "Log File Name";
        break;
    }
    return c;
}

inline TAppletTraits Traits(Kind kind)
{
    TAppletTraits t;
    switch (kind) {
    case Kind::Packet:
        t.KeyName = "Packet";
        t.DdeOnlyWithSoundInput = true;
        t.DestroyOrder = {dsDde, dsLog, dsSettings, dsSoundInput};
        t.HelpContext = 105;
        t.ModuleText = "Packet Radio Decoder";
        break;
    case Kind::Dtmf:
        t.KeyName = "DTMF";
        t.DestroyOrder = {dsDde, dsLog, dsSettings, dsSoundInput};
        t.HelpContext = 103;
        t.ModuleText = "DTMF Decoder";
        break;
    case Kind::Acars:
        t.KeyName = "ACARS";
        t.DestroyOrder = {dsDde, dsSoundInput, dsLog, dsSettings};
        t.HelpContext = 106;
        t.ModuleText = "ACARS Decoder";
        break;
    }
    return t;
}

class TTestTextApplet : public TTextDecoderForm {
public:
    TTestTextApplet(int32_t receiver, Kind kind)
        : TTextDecoderForm(receiver, textwindow::Traits(kind), textwindow::Config(kind))
    {
    }
    std::vector<size_t> decoded;
    int news = 0;

    std::vector<std::string> ownClicks;

protected:
    void DecodeBuffer(const int16_t*, size_t count) override { decoded.push_back(count); }
    void NewExtras() override { ++news; }
    void OwnMenuClick(const std::string& name, QAction*) override { ownClicks.push_back(name); }
};

}  // namespace textwindow
