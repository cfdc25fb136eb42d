// The text decoder window the packet, DTMF and ACARS applets share: menus, appending and logging,
// saving and opening, find, printing, the font dialog, settings, and the failures a user can cause.
#include "FontCombo.h"
#include "MyFontDialog.h"
#include "NewRichEdit.h"
#include "SuiteFakes.h"
#include "TestSupport.h"
#include "TextWindowApplets.h"

#include "platform/ui/Application.h"
#include "platform/ui/Dialogs.h"
#include "platform/ui/MessageBox.h"
#include "platform/ui/Rtf.h"

#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QLabel>
#include <QPrinter>
#include <QTextBlock>
#include <QMenuBar>
#include <QPushButton>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>

#include <gmock/gmock.h>

#include <csignal>
#include <deque>
#include <filesystem>
#include <sys/resource.h>
#include <unistd.h>

using namespace platform;
using namespace textwindow;
using testsupport::readFile;
using testsupport::TempDir;
using testsupport::writeFile;
using ::testing::ElementsAre;
using ::testing::ElementsAreArray;

namespace {

constexpr const char* kNow = "10/12/2026 14:05:09";
// The PDF tools the print test reads its output with (scripts/deps installs them).
constexpr const char* kPdfToText = "/usr/bin/pdftotext";
constexpr const char* kPdfInfo = "/usr/bin/pdfinfo";

// The lines of a menu: caption and shortcut, "-" for a separator, "name>" for a submenu.
std::vector<std::string> menuLines(const QMenu* menu)
{
    std::vector<std::string> out;
    for (QAction* a : menu->actions()) {
        if (!a->isVisible())
            continue;
        if (a->isSeparator()) {
            out.push_back("-");
            continue;
        }
        std::string line = a->text().toStdString();
        if (a->menu())
            line += ">";
        if (!a->shortcut().isEmpty())
            line += "\t" + a->shortcut().toString(QKeySequence::PortableText).toStdString();
        out.push_back(line);
    }
    return out;
}

// Text, colour and style of the pane's runs (the font is the pane's concern).
std::string runsOf(const std::vector<RtfRun>& runs)
{
    std::string out;
    for (const RtfRun& r : runs) {
        char head[32];
        std::snprintf(head, sizeof head, "[%06X %u]", r.Color, r.Style);
        out += head + r.Text.toStdString();
    }
    return out;
}

struct DialogSeen {
    DialogKind kind;
    std::string filter, defaultExt, title, fileName;
    unsigned options = 0;
};

class TextWindow : public ::testing::Test {
protected:
    void SetUp() override
    {
        UseFakeServices(&log, &store, &wave);
        TAppletServices& s = AppletServices();
        s.ShowHelpContext = [this](int context) { helpContexts.push_back(context); };
        s.ProcessMessages = [] { QCoreApplication::processEvents(); };
        Application::SetTitle("Korvanta Quenda");
        SetDialogHandler([this](TCommonDialog& d) {
            DialogSeen seen{d.Kind(), {}, {}, d.Title, {}, 0};
            if (auto* o = dynamic_cast<TOpenDialog*>(&d)) {
                seen.filter = o->Filter;
                seen.defaultExt = o->DefaultExt;
                seen.fileName = o->FileName;
                seen.options = o->Options;
            }
            dialogs.push_back(seen);
            if (answers.empty())
                return false;
            auto answer = std::move(answers.front());
            answers.pop_front();
            return answer(d);
        });
    }
    void TearDown() override
    {
        SetDialogHandler(nullptr);
        AppletServices() = TAppletServices();
    }

    // A window of the kind with its settings key holding these values, created as the frame creates it.
    TTestTextApplet* Make(Kind kind, std::map<std::string, std::string> values = {})
    {
        if (!values.empty())
            store.keys[std::string(kSuiteKey) + Traits(kind).KeyName] = std::move(values);
        auto* a = new TTestTextApplet(3, kind);
        a->Log().DateTimeText = [] { return std::string(kNow); };
        a->FormCreate();
        windows.emplace_back(a);
        return a;
    }
    void Destroy(TTestTextApplet* a)
    {
        a->FormDestroy();
        for (auto& w : windows)
            if (w.get() == a)
                w.reset();
    }

    // Answers the next file dialog with this name (and filter index).
    void AnswerFile(const std::string& name, int filterIndex = 1)
    {
        answers.push_back([name, filterIndex](TCommonDialog& d) {
            auto& o = dynamic_cast<TOpenDialog&>(d);
            o.FileName = name;
            o.FilterIndex = filterIndex;
            return true;
        });
    }
    void AnswerPrint(const std::string& pdf, bool selection = false)
    {
        answers.push_back([pdf, selection](TCommonDialog& d) {
            auto& p = dynamic_cast<TPrintDialog&>(d);
            p.Printer().setOutputFormat(QPrinter::PdfFormat);
            p.Printer().setOutputFileName(QString::fromStdString(pdf));
            p.Selection = selection && p.OfferSelection;
            return true;
        });
    }
    void Find(TTestTextApplet* a, const std::string& text, unsigned options = frDown)
    {
        TFindDialog& d = a->FindDialog();
        d.FindText = text;
        d.Options = options;
        a->FindDialogFind(d);
    }
    // The text the pane holds, line ends as '\n'.
    static std::string paneText(TTestTextApplet* a) { return a->RE1()->Text().toStdString(); }

    std::vector<std::string> log;
    TFakeSettingsStore store;
    TFakeWaveIn* wave = nullptr;
    std::vector<int> helpContexts;
    std::vector<DialogSeen> dialogs;
    std::deque<std::function<bool(TCommonDialog&)>> answers;
    MessageBoxRecorder boxes;
    TempDir dir;
    std::vector<std::unique_ptr<TTestTextApplet>> windows;
};

TEST_F(TextWindow, MenusToolBarAndStatusPanelsOfEachApplet)
{
    struct Case {
        Kind kind;
        std::vector<std::string> edit, options, help, panels;
        bool toolbarPopup;
    };
    const std::vector<std::string> file = {"&New\tCtrl+N", "&Open...\tCtrl+O", "&Save...\tCtrl+S", "-",
                                           "&Print...\tCtrl+P", "-", "E&xit\tAlt+X"};
    for (const Case& c : std::vector<Case>{
             {Kind::Packet,
              {"&Cut\tCtrl+X", "&Copy\tCtrl+C", "&Delete\tDel", "-", "&Find...\tCtrl+F"},
              {"&Pause", "&Log to file...", "-", "&Toolbar", "-", "300 bps (HF)", "1200 bps (VHF)"},
              {"&Contents\tF1", "-", "&About..."},
              {"Active", "1200 bps", "Stand by", "", ""},
              false},
             {Kind::Dtmf,
              {"Cu&t\tCtrl+X", "&Copy\tCtrl+C", "&Delete\tDel", "-", "&Find...\tCtrl+F"},
              {"&Pause", "&Log to file...", "-", "&Font...", "&Toolbar", "-", "&Decoding>"},
              {"&Contents\tF1", "-", "&About..."},
              {"Active", ""},
              true},
             {Kind::Acars,
              {"Cu&t\tCtrl+X", "&Copy\tCtrl+C", "&Delete\tDel", "-", "&Find...\tCtrl+F"},
              {"&Pause", "&Log to file...", "-", "Parity Filter", "Syntax Check", "Labels Details",
               "Message No. Details", "Registration Details", "Flight ID details", "-", "&Toolbar"},
              {"&Contents\tF1", "-", "&About"},
              {"Stand by", ""},
              true},
         }) {
        TTestTextApplet* a = Make(c.kind);
        ASSERT_FALSE(a->Failed());
        std::vector<std::string> titles;
        for (QAction* m : a->menuBar()->actions())
            titles.push_back(m->text().toStdString());
        EXPECT_THAT(titles, ElementsAre("&File", "&Edit", "&Options", "&Help"));
        const QList<QAction*> bar = a->menuBar()->actions();
        EXPECT_EQ(menuLines(bar[0]->menu()), file);
        EXPECT_EQ(menuLines(bar[1]->menu()), c.edit);
        EXPECT_EQ(menuLines(bar[2]->menu()), c.options);
        EXPECT_EQ(menuLines(bar[3]->menu()), c.help);
        EXPECT_THAT(menuLines(a->findChild<QMenu*>("PopupMenu1")),
                    ElementsAre("Cu&t", "&Copy", "&Delete", "-", "Select &All"));
        std::vector<std::string> hints;
        for (QAction* t : a->ToolBar1()->actions())
            hints.push_back(t->isSeparator() ? "|" : t->toolTip().toStdString());
        EXPECT_THAT(hints, ElementsAre("New", "Open", "Save", "|", "Print", "|", "Cut", "Copy", "|", "Find"));
        EXPECT_EQ(a->findChild<QMenu*>("ToolbarPopup") != nullptr, c.toolbarPopup);
        std::vector<std::string> panels;
        for (size_t i = 0; i < c.panels.size(); ++i)
            panels.push_back(a->StatusPanel(static_cast<int>(i))->text().toStdString());
        EXPECT_EQ(panels, c.panels);
        EXPECT_EQ(a->windowTitle(), a->Config().Caption);
        // The applet's own items reach it by their handlers' names.
        const std::string own = a->Config().OwnOptions.front().Items.empty()
                                    ? a->Config().OwnOptions.front().Name
                                    : a->Config().OwnOptions.front().Items.back().Name;
        a->MenuAction(own)->trigger();
        EXPECT_THAT(a->ownClicks, ElementsAre(own));
        Destroy(a);
    }
}

TEST_F(TextWindow, ItemsAddedByTheAppletFollowItsRecordedOnesInTheirPlace)
{
    TTestTextApplet* a = Make(Kind::Acars);
    auto* extra = new QAction(QStringLiteral("Extra"), a);
    a->AddOwnOption(extra);
    a->AddOwnOptionMenu(QStringLiteral("More"))->addAction(QStringLiteral("Inside"));
    const std::vector<std::string> lines = menuLines(a->OptionsMenu());
    ASSERT_GE(lines.size(), 5u);
    EXPECT_THAT(std::vector<std::string>(lines.end() - 5, lines.end()),
                ElementsAre("Flight ID details", "Extra", "More>", "-", "&Toolbar"));
    Destroy(a);
}

TEST_F(TextWindow, AddTextAppendsColouredRunsAndLogsEverythingAsPassed)
{
    const std::string logFile = (dir / "out.log").string();
    TTestTextApplet* a = Make(Kind::Packet, {{"Log", "1"}, {"LogFileName", logFile}});
    a->AddText("N0CALL", clBlue, 0);
    a->AddText(" [CRC Error]", clRed, fsBold | fsItalic);
    a->AddText(" under", clGreen, fsUnderline);
    a->AddText(" struck", clMaroon, fsStrikeOut);
    a->AddText("\r\ncaf\xE9", clBlack, 0);
    // A paragraph break takes the format of the text before it.
    EXPECT_EQ(runsOf(a->RE1()->Runs()), "[FF0000 0]N0CALL[0000FF 3] [CRC Error][008000 4] under[000080 8] struck\n"
                                        "[000000 0]caf\xC3\xA9");
    Destroy(a);
    EXPECT_EQ(readFile(logFile), std::string("\r\nLogging started ") + kNow + ".\r\n\r\n" +
                                     "N0CALL [CRC Error] under struck\r\ncaf\xE9" + "\r\n\r\nLogging stopped " +
                                     kNow + ".\r\n");
}

TEST_F(TextWindow, HeadlessThePanesTextAlsoGoesToStandardOutputWithPlainLineEnds)
{
    for (const std::string headless : {"1", "0"}) {
        testsupport::ScopedEnv env("KORVANTA_HEADLESS", headless);
        TTestTextApplet* a = Make(Kind::Acars);
        ::testing::internal::CaptureStdout();
        a->AddText("N0CALL", clBlue, 0);
        a->AddText(" [CRC Error]\r\ncaf\xE9\r\n", clRed, fsBold);
        a->ShowText(QStringLiteral("pane only\r\n"), clBlack, 0);
        const std::string out = ::testing::internal::GetCapturedStdout();
        EXPECT_EQ(out, headless == "1" ? "N0CALL [CRC Error]\ncaf\xC3\xA9\npane only\n" : "") << headless;
        Destroy(a);
    }
}

TEST_F(TextWindow, PacketWindowShowsNoLineBreakOnAnEmptyPaneOrAfterAnEmptyLine)
{
    struct Case {
        Kind kind;
        std::vector<std::string> items;
        std::string pane;
    };
    for (const Case& c : std::vector<Case>{
             {Kind::Packet, {"\r\n"}, ""},
             {Kind::Packet, {"A", "\r\n", "\r\n", "B"}, "A\nB"},
             {Kind::Packet, {"A", "\r\n", "B", "\r\n", "\r\n", "\r\n", "C"}, "A\nB\nC"},
             {Kind::Packet, {"A", "\r\nB"}, "A\nB"},  // longer texts are always shown
             {Kind::Dtmf, {"\r\n", "\r\n", "1"}, "\n\n1"},
         }) {
        const std::string logFile = (dir / "cr.log").string();
        std::filesystem::remove(logFile);
        TTestTextApplet* a = Make(c.kind);
        ASSERT_TRUE(a->Log().Start(logFile));
        std::string all;
        for (const std::string& item : c.items) {
            a->AddText(item, clBlack, 0);
            all += item;
        }
        EXPECT_EQ(paneText(a), c.pane);
        a->Log().Stop();
        EXPECT_NE(readFile(logFile).find(all), std::string::npos) << "the log receives every item";
        Destroy(a);
    }
}

TEST_F(TextWindow, RunsWithColoursSurviveSavingAsRichTextAndOpening)
{
    TTestTextApplet* a = Make(Kind::Acars);
    a->AddText("plain ", clBlack, 0);
    a->AddText("bold red", clRed, fsBold);
    a->AddText(" italic green", clGreen, fsItalic);
    a->AddText("\r\nunderlined blue", clBlue, fsUnderline);
    a->AddText(" struck maroon \xA9", clMaroon, fsStrikeOut);
    const std::string before = runsOf(a->RE1()->Runs());
    const std::string rtf = (dir / "saved.rtf").string();
    AnswerFile(rtf);
    a->Save1Click();
    EXPECT_EQ(readFile(rtf).rfind("{\\rtf1", 0), 0u);
    a->New1Click();
    EXPECT_EQ(a->news, 1);
    EXPECT_EQ(paneText(a), "");
    AnswerFile(rtf);
    a->Open1Click();
    EXPECT_EQ(runsOf(a->RE1()->Runs()), before);
    EXPECT_TRUE(boxes.boxes().empty());
    Destroy(a);
}

TEST_F(TextWindow, SavesPlainTextWhenItsFilterOrATextNameIsChosen)
{
    struct Case {
        std::string name;
        int filterIndex;
        bool plain;
    };
    for (const Case& c : std::vector<Case>{{"a.txt", 2, true},
                                           {"b.TXT", 1, true},
                                           {"c.log", 2, true},
                                           {"d.rtf", 1, false},
                                           {"e", 1, false}}) {
        TTestTextApplet* a = Make(Kind::Dtmf);
        a->AddText("123", clBlack, 0);
        a->AddText("\r\n", clBlack, 0);
        a->AddText("4\xE9#", clRed, fsBold);
        const std::string file = (dir / c.name).string();
        AnswerFile(file, c.filterIndex);
        a->Save1Click();
        if (c.plain)
            EXPECT_EQ(readFile(file), "123\r\n4\xE9#") << c.name;
        else
            EXPECT_EQ(readFile(file).rfind("{\\rtf1", 0), 0u) << c.name;
        Destroy(a);
    }
    // Characters without a Windows-1252 byte are kept, in UTF-8, and read back as they were.
    TTestTextApplet* a = Make(Kind::Dtmf);
    a->RE1()->SetRuns({RtfRun{QString::fromUtf8("\xE4\xB8\xAD caf\xC3\xA9"), clBlack, 0, {}, 0}});
    const std::string file = (dir / "wide.txt").string();
    AnswerFile(file, 2);
    a->Save1Click();
    EXPECT_EQ(readFile(file), "\xE4\xB8\xAD caf\xC3\xA9");
    AnswerFile(file);
    a->Open1Click();
    EXPECT_EQ(paneText(a), "\xE4\xB8\xAD caf\xC3\xA9");
    Destroy(a);
}

// What Save writes as plain text, Open reads back as the same text: also a text whose Windows-1252
// bytes happen to be valid UTF-8, one that begins like rich text or with a byte-order mark, and
// one with a no-break space. A text that Windows-1252 holds and gives back is still written in it.
TEST_F(TextWindow, PlainTextSavedOpensAsTheSameText)
{
    struct Case {
        const char* text;  // UTF-8
        const char* cp1252;  // the bytes written when they are Windows-1252; nullptr otherwise
    };
    for (const Case& c : std::vector<Case>{
             {"\xC3\xA9\xC2\xA9\xC2\xA9", nullptr},                           // E9 A9 A9 is one UTF-8 character
             {"CAF\xC3\x89\xE2\x80\x99S MENU", nullptr},                       // C9 92 is one as well
             {"CAF\xC3\x89 \xE2\x82\xAC 5\nline", "CAF\xC9 \x80 5\r\nline"},  // no UTF-8 in these bytes
             {"plain ASCII\n\nend", "plain ASCII\r\n\r\nend"},
             {"{\\rtf1 not rich}", nullptr},
             {" \n{\\rtf1\\ansi x}", nullptr},
             {"\xEF\xBB\xBFmark first", nullptr},
             {"\xC3\xAF\xC2\xBB\xC2\xBFx", nullptr},                           // EF BB BF in Windows-1252
             {"no\xC2\xA0" "break", "no\xA0" "break"},
             {"\xE4\xB8\xAD caf\xC3\xA9", nullptr},
         }) {
        TTestTextApplet* a = Make(Kind::Acars);
        const QString text = QString::fromUtf8(c.text);
        a->RE1()->SetRuns({RtfRun{text, clBlack, 0, {}, 0}});
        const std::string file = (dir / "round.txt").string();
        AnswerFile(file, 2);
        a->Save1Click();
        if (c.cp1252)
            EXPECT_EQ(readFile(file), c.cp1252) << c.text;
        a->New1Click();
        AnswerFile(file);
        a->Open1Click();
        EXPECT_EQ(RtfPlainText(a->RE1()->Runs()), text) << c.text << " written as " << readFile(file);
        EXPECT_TRUE(boxes.boxes().empty());
        Destroy(a);
    }
}

// Files the system wrote before, in Windows-1252, open as the text they hold.
TEST_F(TextWindow, OldWindows1252FilesOpenAsTheirText)
{
    TTestTextApplet* a = Make(Kind::Dtmf);
    const std::string file = (dir / "old.txt").string();
    writeFile(file, "CAF\xC9 \x80\x93\x94 5\r\n\xE9t\xE9\rfin");
    AnswerFile(file);
    a->Open1Click();
    EXPECT_EQ(paneText(a), "CAF\xC3\x89 \xE2\x82\xAC\xE2\x80\x9C\xE2\x80\x9D 5\n\xC3\xA9t\xC3\xA9\nfin");
    Destroy(a);
}

TEST_F(TextWindow, DialogsCarryTheFiltersExtensionsAndTitlesOfEachApplet)
{
    struct Case {
        Kind kind;
        std::string saveFilter, saveTitle, logFilter, logTitle, logName;
        unsigned saveOptions;
    };
    for (const Case& c : std::vector<Case>{
             {Kind::Packet, "Rich Text Format (*.rtf)|*.rtf|Plain text (*.txt)|*.txt", "", "*.log|*.log|*.txt|*.txt",
              "", "PACKET.LOG", ofOverwritePrompt},
             {Kind::Dtmf, "Rich Text Format (*.rtf)|*.rtf|Text only (*.txt)|*.txt", "Save POCSAG Decodings",
              "Log File (*.log)|*.log|Text File (*.txt)|*.txt", "Save To Log File", "DTMF.LOG",
              ofOverwritePrompt | ofPathMustExist},
             {Kind::Acars, "Rich Text Format (*.rtf)|*.rtf|Plain text (*.txt)|*.txt", "", "*.log|*.log|*.txt|*.txt", "",
              "ACARS.LOG", ofOverwritePrompt},
         }) {
        TTestTextApplet* a = Make(c.kind);
        dialogs.clear();
        a->Open1Click();
        a->Save1Click();
        a->Logtofile1Click();
        ASSERT_EQ(dialogs.size(), 3u);
        EXPECT_EQ(dialogs[0].kind, DialogKind::Open);
        EXPECT_EQ(dialogs[0].filter, "RichText Format (*.rtf)|*.rtf|All files (*.*)|*.*");
        EXPECT_EQ(dialogs[0].defaultExt, "rtf");
        EXPECT_EQ(dialogs[0].options, unsigned(ofHideReadOnly | ofPathMustExist | ofFileMustExist));
        EXPECT_EQ(dialogs[1].kind, DialogKind::Save);
        EXPECT_EQ(dialogs[1].filter, c.saveFilter);
        EXPECT_EQ(dialogs[1].defaultExt, "rtf");
        EXPECT_EQ(dialogs[1].title, c.saveTitle);
        EXPECT_EQ(dialogs[1].options, c.saveOptions);
        EXPECT_EQ(dialogs[2].kind, DialogKind::Save);
        EXPECT_EQ(dialogs[2].filter, c.logFilter);
        EXPECT_EQ(dialogs[2].defaultExt, "log");
        EXPECT_EQ(dialogs[2].title, c.logTitle);
        EXPECT_EQ(dialogs[2].fileName, c.logName);
        EXPECT_FALSE(a->Logging()) << "a cancelled log dialog changes nothing";
        Destroy(a);
    }
}

TEST_F(TextWindow, LogFromTheMenuStopsWithoutADialogAndRestartsWithTheLastName)
{
    const std::string logFile = (dir / "dtmf.log").string();
    writeFile(logFile, "earlier\r\n");
    TTestTextApplet* a = Make(Kind::Dtmf);
    EXPECT_FALSE(a->Logging());
    AnswerFile(logFile);
    a->Logtofile1Click();
    ASSERT_TRUE(a->Logging());
    EXPECT_TRUE(a->MenuAction("Logtofile1Click")->isChecked());
    EXPECT_EQ(a->StatusPanel(1)->text().toStdString(), "Log file active (" + logFile + ")");
    a->LogWrite("1");
    dialogs.clear();
    a->Logtofile1Click();
    EXPECT_TRUE(dialogs.empty()) << "stopping asks nothing";
    EXPECT_FALSE(a->Logging());
    EXPECT_FALSE(a->MenuAction("Logtofile1Click")->isChecked());
    EXPECT_EQ(a->StatusPanel(1)->text(), "");
    AnswerFile(logFile);
    a->Logtofile1Click();
    ASSERT_EQ(dialogs.size(), 1u);
    EXPECT_EQ(dialogs[0].fileName, logFile);
    Destroy(a);
    const std::string started = std::string("\r\nLogging started ") + kNow + ".\r\n\r\n";
    const std::string stopped = std::string("\r\n\r\nLogging stopped ") + kNow + ".\r\n";
    EXPECT_EQ(readFile(logFile), "earlier\r\n" + started + "1" + stopped + started + stopped);
    // The stored options say logging was on, with the file's name.
    const auto& key = store.keys[std::string(kSuiteKey) + "DTMF"];
    EXPECT_EQ(key.at("Log"), "1");
    EXPECT_EQ(key.at("LogFileName"), logFile);
}

TEST_F(TextWindow, FindStartsAtTheInsertionPointAndMovesOnFromAMatch)
{
    TTestTextApplet* a = Make(Kind::Packet);
    a->AddText("abc xabc ABC abcd", clBlack, 0);
    a->RE1()->Select(0, 0);
    struct Step {
        std::string text;
        unsigned options;
        int selStart, selLength;
        size_t boxes;
    };
    for (const Step& s : std::vector<Step>{
             {"abc", frDown, 0, 3, 0},  // a match at offset 0 is found
             {"abc", frDown, 5, 3, 0},
             {"abc", frDown, 9, 3, 0},  // case ignored
             {"abc", frDown, 13, 3, 0},
             {"abc", frDown, 0, 0, 1},  // no match: back to the start, with a box
             {"abc", frDown, 0, 3, 1},  // and from there the first one again
             {"abc", frDown | frMatchCase, 5, 3, 1},
             {"abc", frDown | frMatchCase | frWholeWord, 0, 0, 2},
             {"ABC", frDown | frWholeWord, 0, 3, 2},
             {"ABC", frDown | frWholeWord | frMatchCase, 9, 3, 2},
             {"abc", 0, 9, 3, 2},  // only downward searches run
         }) {
        Find(a, s.text, s.options);
        EXPECT_EQ(a->RE1()->SelStart(), s.selStart) << s.text << " " << s.options;
        EXPECT_EQ(a->RE1()->SelLength(), s.selLength) << s.text << " " << s.options;
        EXPECT_EQ(boxes.boxes().size(), s.boxes);
    }
    EXPECT_EQ(boxes.boxes()[0].text, "No match found.");
    EXPECT_EQ(boxes.boxes()[0].flags, unsigned(MB_OK | MB_ICONINFORMATION));
    // The insertion point in the middle: the search starts there, not one further.
    a->RE1()->Select(13, 0);
    Find(a, "abcd");
    EXPECT_EQ(a->RE1()->SelStart(), 13);
    Destroy(a);
}

TEST_F(TextWindow, PrintingWritesAPageWithTheText)
{
    TTestTextApplet* a = Make(Kind::Dtmf);
    a->AddText("1234567890", clBlack, 0);
    a->AddText("\r\nABCD*#", clRed, fsBold);
    const std::string pdf = (dir / "print.pdf").string();
    AnswerPrint(pdf);
    a->Print1Click();
    const std::string txt = (dir / "print.txt").string();
    ASSERT_EQ(testsupport::runProgram({kPdfToText, pdf, txt}), 0);
    const std::string text = readFile(txt);
    EXPECT_NE(text.find("1234567890"), std::string::npos) << text;
    EXPECT_NE(text.find("ABCD*#"), std::string::npos) << text;
    std::string info;
    ASSERT_EQ(testsupport::runProgram({kPdfInfo, pdf}, {}, &info), 0);
    EXPECT_THAT(info, ::testing::ContainsRegex("Title: +Korvanta Quenda - DTMF Decoder\n"));
    EXPECT_THAT(info, ::testing::ContainsRegex("Pages: +1\n"));

    // The DTMF window's print dialog offers the selection.
    a->RE1()->Select(2, 4);
    AnswerPrint(pdf, true);
    a->Print1Click();
    ASSERT_EQ(testsupport::runProgram({kPdfToText, pdf, txt}), 0);
    EXPECT_EQ(readFile(txt).find("3456"), 0u);
    EXPECT_EQ(readFile(txt).find("ABCD"), std::string::npos);
    // A cancelled print dialog prints nothing.
    std::filesystem::remove(pdf);
    a->Print1Click();
    EXPECT_FALSE(std::filesystem::exists(pdf));
    Destroy(a);
}

TEST_F(TextWindow, AStoredLogThatCannotBeOpenedIsReportedAndTheAppletStartsWithoutIt)
{
    writeFile(dir / "plainfile", "x");
    std::vector<std::string> names = {(dir / "plainfile" / "PACKET.LOG").string(), "/proc/korvanta.log",
                                      (dir / "no" / "such" / "folder.log").string()};
    // A read-only folder keeps out all but the superuser, for whom /proc above stands in.
    std::filesystem::create_directory(dir / "ro");
    std::filesystem::permissions(dir / "ro", std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
    if (geteuid() != 0)
        names.push_back((dir / "ro" / "PACKET.LOG").string());
    for (const std::string& name : names) {
        const size_t before = boxes.boxes().size();
        TTestTextApplet* a = Make(Kind::Packet, {{"Log", "1"}, {"LogFileName", name}});
        EXPECT_FALSE(a->Failed()) << name;
        EXPECT_FALSE(a->Logging());
        EXPECT_FALSE(a->MenuAction("Logtofile1Click")->isChecked());
        ASSERT_EQ(boxes.boxes().size(), before + 1) << name;
        const auto& box = boxes.boxes().back();
        EXPECT_EQ(box.caption, "Korvanta Quenda");
        EXPECT_NE(box.text.find(name), std::string::npos) << box.text;
        EXPECT_EQ(box.flags, unsigned(MB_OK | MB_ICONERROR));
        int16_t samples[4] = {};
        wave->OnData(0, samples, 4);
        EXPECT_EQ(a->decoded.size(), 1u) << "decoding goes on";
        a->AddText("still shown", clBlack, 0);
        EXPECT_EQ(paneText(a), "still shown");
        Destroy(a);
        EXPECT_EQ(boxes.boxes().size(), before + 1);
    }
    std::filesystem::permissions(dir / "ro", std::filesystem::perms::owner_all);
}

TEST_F(TextWindow, ALogThatFillsTheDiskIsReportedOnceAndDecodingGoesOn)
{
    const std::string logFile = (dir / "full.log").string();
    TTestTextApplet* a = Make(Kind::Acars);
    ASSERT_TRUE(a->Log().Start(logFile));
    a->AddText("first", clBlack, 0);
    // The disk is full 10 bytes further on.
    rlimit old{};
    getrlimit(RLIMIT_FSIZE, &old);
    auto oldSignal = std::signal(SIGXFSZ, SIG_IGN);
    rlimit limited = old;
    limited.rlim_cur = std::filesystem::file_size(logFile) + 10;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limited), 0);
    a->AddText(" and a message far longer than what still fits", clBlack, 0);
    a->AddText(" and more", clBlue, 0);
    int16_t samples[4] = {};
    wave->OnData(0, samples, 4);
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldSignal);
    ASSERT_EQ(boxes.boxes().size(), 1u);
    EXPECT_EQ(boxes.boxes()[0].caption, "Korvanta Quenda");
    EXPECT_NE(boxes.boxes()[0].text.find("full.log"), std::string::npos) << boxes.boxes()[0].text;
    EXPECT_FALSE(a->Logging());
    EXPECT_EQ(a->StatusPanel(1)->text(), "");
    EXPECT_EQ(paneText(a), "first and a message far longer than what still fits and more");
    EXPECT_EQ(a->decoded.size(), 1u);
    Destroy(a);
    EXPECT_EQ(boxes.boxes().size(), 1u);
}

TEST_F(TextWindow, OpeningTheActiveLogIsRefusedHoweverItIsNamed)
{
    const auto old = std::filesystem::current_path();
    std::filesystem::current_path(dir.path());
    std::filesystem::create_directory(dir / "sub");
    std::filesystem::create_symlink(dir / "PACKET.LOG", dir / "link.log");
    TTestTextApplet* a = Make(Kind::Packet, {{"Log", "1"}});  // the default name, relative
    ASSERT_TRUE(a->Logging());
    a->AddText("kept", clBlack, 0);
    for (const std::string& name : {std::string("PACKET.LOG"), (dir / "PACKET.LOG").string(), std::string("./sub/../PACKET.LOG"),
                                    (dir / "link.log").string()}) {
        AnswerFile(name);
        a->Open1Click();
        ASSERT_FALSE(boxes.boxes().empty()) << name;
        EXPECT_EQ(boxes.boxes().back().text, "This is the currently active log file.");
        EXPECT_EQ(boxes.boxes().back().flags, unsigned(MB_OK | MB_ICONERROR));
        EXPECT_EQ(paneText(a), "kept") << name;
    }
    // Once logging has stopped the same file opens.
    a->Logtofile1Click();
    const size_t shown = boxes.boxes().size();
    AnswerFile("PACKET.LOG");
    a->Open1Click();
    EXPECT_EQ(boxes.boxes().size(), shown);
    EXPECT_NE(paneText(a).find("Logging started"), std::string::npos);
    Destroy(a);
    std::filesystem::current_path(old);
}

TEST_F(TextWindow, HostileRichTextOpensAsWhatItHoldsOrIsRefused)
{
    struct Case {
        const char* name;
        std::string bytes;
        std::string text;  // what the pane shows; "*" anything
    };
    std::string deep = "{\\rtf1 " + std::string(300000, '{') + "deep" + std::string(300000, '}') + "}";
    std::string wide = "{\\rtf1{\\colortbl" + std::string(200000, ';') + "}\\cf199999 x}";
    std::string manyFonts = "{\\rtf1{\\fonttbl";
    for (int i = 0; i < 20000; ++i)
        manyFonts += "{\\f" + std::to_string(i) + " F" + std::to_string(i) + ";}";
    manyFonts += "}\\f19999 y}";
    for (const Case& c : std::vector<Case>{
             {"deep nesting", deep, "deep"},
             {"huge numbers", "{\\rtf1\\fs999999999999999\\cf-88888888888 a\\li-9999999999 b\\u999999999999 ?c}", "abc"},
             {"truncated", "{\\rtf1{\\colortbl;\\red255\\gr", ""},
             {"truncated in text", "{\\rtf1 {\\b half", "half"},
             {"huge binary", "{\\rtf1 a\\bin4294967296 ", "a"},
             {"colour table", wide, "x"},
             {"font table", manyFonts, "y"},
             {"garbage", std::string("{\\rtf1 \x01\x02\xff\\'\\u-\\\\{{}}}}}}}") + std::string(1000, '\\'), "*"},
         }) {
        TTestTextApplet* a = Make(Kind::Dtmf);
        const std::string file = (dir / "hostile.rtf").string();
        writeFile(file, c.bytes);
        AnswerFile(file);
        a->Open1Click();
        if (c.text != "*") {
            EXPECT_EQ(paneText(a), c.text) << c.name;
        }
        Destroy(a);
    }
    EXPECT_TRUE(boxes.boxes().empty());

    // A file far larger than any output is refused with a message; the pane keeps its text.
    TTestTextApplet* a = Make(Kind::Dtmf);
    a->AddText("kept", clBlack, 0);
    const auto big = dir / "big.rtf";
    writeFile(big, "{\\rtf1 ");
    std::filesystem::resize_file(big, (64u << 20) + 1);
    AnswerFile(big.string());
    a->Open1Click();
    ASSERT_EQ(boxes.boxes().size(), 1u);
    EXPECT_NE(boxes.boxes()[0].text.find("too large"), std::string::npos);
    EXPECT_EQ(paneText(a), "kept");
    // A file that vanished between the dialog and the reading is reported too.
    AnswerFile((dir / "gone.rtf").string());
    a->Open1Click();
    EXPECT_EQ(boxes.boxes().size(), 2u);
    EXPECT_EQ(paneText(a), "kept");
    Destroy(a);
}

TEST_F(TextWindow, PauseSetsTheStatusPanelsAndStopsDecoding)
{
    struct Case {
        Kind kind;
        std::vector<std::string> paused, running;  // panels 0 and, for the packet window, 2
    };
    for (const Case& c : std::vector<Case>{{Kind::Packet, {"Paused", ""}, {"Active", "Stand by"}},
                                           {Kind::Dtmf, {"Paused"}, {"Active"}},
                                           {Kind::Acars, {"Paused"}, {"Stand by"}}}) {
        TTestTextApplet* a = Make(c.kind, {{"Paused", "1"}});
        auto panels = [&] {
            std::vector<std::string> p{a->StatusPanel(0)->text().toStdString()};
            if (c.kind == Kind::Packet)
                p.push_back(a->StatusPanel(2)->text().toStdString());
            return p;
        };
        EXPECT_TRUE(a->Paused());
        EXPECT_EQ(panels(), c.paused);
        int16_t samples[8] = {};
        wave->OnData(0, samples, 8);
        EXPECT_TRUE(a->decoded.empty());
        EXPECT_THAT(log, ::testing::Contains("requeue 0")) << "buffers still go back while paused";
        a->MenuAction("PauseClick")->trigger();
        EXPECT_FALSE(a->Paused());
        EXPECT_EQ(panels(), c.running);
        wave->OnData(1, samples, 8);
        EXPECT_THAT(a->decoded, ElementsAre(8u));
        a->MenuAction("PauseClick")->trigger();
        EXPECT_EQ(panels(), c.paused);
        Destroy(a);
        log.clear();
    }
}

TEST_F(TextWindow, SettingsAreReadAndWrittenUnderEachAppletsNames)
{
    TTestTextApplet* a = Make(Kind::Acars, {{"Left", "12"},
                                            {"Top", "34"},
                                            {"Width", "500"},
                                            {"Height", "300"},
                                            {"Log File Name", ""},
                                            {"Toolbar", "0"},
                                            {"Paused", "0"}});
    EXPECT_EQ(a->pos(), QPoint(12, 34));
    EXPECT_EQ(a->size(), QSize(500, 300));
    EXPECT_EQ(a->LogFileName(), "ACARS.LOG") << "an empty name takes the default";
    a->show();
    EXPECT_FALSE(a->ToolBar1()->isVisible());
    a->MenuAction("Toolbar2Click")->trigger();
    EXPECT_TRUE(a->ToolBar1()->isVisible());
    a->Hide1Click();
    EXPECT_FALSE(a->ToolBar1()->isVisible());
    EXPECT_FALSE(a->ToolbarChecked());
    Destroy(a);
    const auto& key = store.keys[std::string(kSuiteKey) + "ACARS"];
    EXPECT_EQ(key.at("Left"), "12");
    EXPECT_EQ(key.at("Top"), "34");
    EXPECT_EQ(key.at("Width"), "500");
    EXPECT_EQ(key.at("Height"), "300");
    EXPECT_EQ(key.at("Log File Name"), "ACARS.LOG");
    EXPECT_EQ(key.at("Log"), "0");
    EXPECT_EQ(key.at("Toolbar"), "0");
    EXPECT_EQ(key.count("LeftPosition"), 0u);

    TTestTextApplet* p = Make(Kind::Packet);  // no key: the defaults
    EXPECT_EQ(p->LogFileName(), "PACKET.LOG");
    EXPECT_TRUE(p->ToolbarChecked());
    EXPECT_FALSE(p->Paused());
    Destroy(p);
    EXPECT_EQ(store.keys[std::string(kSuiteKey) + "Packet"].count("LeftPosition"), 1u);
    EXPECT_EQ(store.keys[std::string(kSuiteKey) + "Packet"].count("Left"), 0u);
}

TEST_F(TextWindow, CutAndDeleteChangeTheReadOnlyPaneAndLeaveItReadOnly)
{
    TTestTextApplet* a = Make(Kind::Dtmf);
    a->AddText("hello brave world", clBlack, 0);
    a->RE1()->Select(0, 6);
    a->Delete1Click();
    EXPECT_EQ(paneText(a), "brave world");
    EXPECT_TRUE(a->RE1()->isReadOnly());
    a->RE1()->Select(0, 6);
    a->Cut1Click();
    EXPECT_EQ(paneText(a), "world");
    EXPECT_EQ(QApplication::clipboard()->text().toStdString(), "brave ");
    EXPECT_TRUE(a->RE1()->isReadOnly());
    a->Selectall1Click();
    a->Copy1Click();
    EXPECT_EQ(QApplication::clipboard()->text().toStdString(), "world");
    Destroy(a);
}

TEST_F(TextWindow, HelpAndHangingIndent)
{
    TTestTextApplet* d = Make(Kind::Dtmf);
    d->MenuAction("Contents1Click")->trigger();
    EXPECT_THAT(helpContexts, ElementsAre(103));
    EXPECT_EQ(d->RE1()->HangingIndentTwips(), 0) << "set when the window is shown";
    d->show();
    EXPECT_EQ(d->RE1()->HangingIndentTwips(), 900) << "13 pixels is 10 points, 90 twips each";
    d->AddText("a line long enough to wrap, and then some more words on it", clBlack, 0);
    const QTextBlockFormat f = d->RE1()->document()->firstBlock().blockFormat();
    EXPECT_GT(f.leftMargin(), 0);
    EXPECT_EQ(f.textIndent(), -f.leftMargin());
    Destroy(d);
    TTestTextApplet* a = Make(Kind::Acars);
    EXPECT_EQ(a->RE1()->HangingIndentTwips(), QFontInfo(a->font()).pointSize() * 90) << "set at creation";
    Destroy(a);
}

// Runs `act` on the font dialog once it is shown, from inside its modal loop.
void onFontDialog(std::function<void(TMyFontDlg&)> act)
{
    QTimer::singleShot(0, [act] {
        auto* d = qobject_cast<TMyFontDlg*>(QApplication::activeModalWidget());
        ASSERT_NE(d, nullptr);
        act(*d);
    });
}

TEST_F(TextWindow, FontDialogOpensOnTheCurrentFontAndKeepsWhatIsNotChosen)
{
    TTestTextApplet* a = Make(Kind::Dtmf);
    a->RE1()->SetInsertionFont(QStringLiteral("DejaVu Sans"), 10);
    // Opens with the current name and size selected; a choice is taken.
    onFontDialog([](TMyFontDlg& d) {
        EXPECT_EQ(d.FontComboBox1->currentText().toStdString(), "DejaVu Sans");
        EXPECT_EQ(d.ComboBox1->currentText().toStdString(), "10");
        d.SelectSize(14);
        d.OkButton->click();
    });
    a->Font1Click();
    EXPECT_EQ(a->RE1()->InsertionPoints(), 14);
    a->AddText("x", clBlack, 0);
    EXPECT_EQ(a->RE1()->Runs().back().FontSize, 14);
    // A size that is not in the list opens with no size selected; OK keeps it (and a name not in
    // the list likewise).
    a->RE1()->SetInsertionFont(QStringLiteral("No Such Font"), 13);
    onFontDialog([](TMyFontDlg& d) {
        EXPECT_EQ(d.ComboBox1->currentIndex(), -1);
        EXPECT_EQ(d.FontComboBox1->currentIndex(), -1);
        d.OkButton->click();
    });
    a->Font1Click();
    EXPECT_EQ(a->RE1()->InsertionPoints(), 13);
    EXPECT_EQ(a->RE1()->InsertionFamily().toStdString(), "No Such Font");
    // Cancel changes nothing.
    onFontDialog([](TMyFontDlg& d) {
        d.SelectSize(40);
        d.CancelButton->click();
    });
    a->Font1Click();
    EXPECT_EQ(a->RE1()->InsertionPoints(), 13);
    Destroy(a);
}

TEST(FontComboBox, ListsWesternFontsSortedWithTheOutlineMark)
{
    TFontComboBox box;
    EXPECT_EQ(box.height(), 21);
    const std::vector<TFontInfo> fonts = {{"Zeta Sans", true, true},   {"alpha Bitmap", true, false},
                                          {"Symbolic", false, true},   {"Beta Serif", true, true},
                                          {"Beta Serif", true, true},  {"", true, true},
                                          {"gamma fixed", true, false}};
    box.Fill(fonts);
    std::vector<std::string> names;
    std::vector<bool> glyphs;
    for (int i = 0; i < box.count(); ++i) {
        names.push_back(box.itemText(i).toStdString());
        glyphs.push_back(box.HasGlyph(i));
    }
    EXPECT_THAT(names, ElementsAre("alpha Bitmap", "Beta Serif", "gamma fixed", "Zeta Sans"));
    EXPECT_THAT(glyphs, ElementsAre(false, true, false, true));
    EXPECT_EQ(box.currentIndex(), 0);
    box.SetTrueTypeOnly(true);
    EXPECT_EQ(box.count(), 2);
    EXPECT_EQ(box.itemText(0).toStdString(), "Beta Serif");
    box.SetTrueTypeOnly(false);
    EXPECT_EQ(box.count(), 4);
    // The screen's own fonts are there too.
    box.Fill(ScreenFonts());
    EXPECT_GE(box.findText(QStringLiteral("DejaVu Sans")), 0);
}

TEST(FontComboBox, GlyphIsTwoLettersTGreyBehindBlack)
{
    const QImage g = FontGlyph(clWhite);
    ASSERT_EQ(g.size(), QSize(12, 12));
    auto at = [&](int x, int y) { return FromQColor(g.pixelColor(x, y)); };
    struct Case {
        int x, y;
        TColor colour;
    };
    for (const Case& c : std::vector<Case>{{0, 0, RGB(128, 128, 128)},
                                           {0, 3, RGB(128, 128, 128)},
                                           {7, 0, RGB(128, 128, 128)},
                                           {1, 1, RGB(128, 128, 128)},
                                           {6, 1, RGB(128, 128, 128)},
                                           {0, 4, clWhite},   // the stroke ends before (x, y+4)
                                           {4, 3, clBlack},
                                           {11, 3, clBlack},
                                           {11, 6, clBlack},
                                           {7, 10, clBlack},
                                           {8, 10, clBlack},
                                           {7, 11, clBlack},  // the foot of the black T
                                           {5, 11, clBlack},
                                           {11, 11, clWhite},
                                           {10, 10, clWhite}})
        EXPECT_EQ(at(c.x, c.y), c.colour) << c.x << "," << c.y;
}

}  // namespace
