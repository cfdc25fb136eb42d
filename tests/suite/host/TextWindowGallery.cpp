// Pictures of the text decoder window: each applet's window with coloured runs of every style, its
// menus, the find dialog and the font dialog with its list.
#include "FontCombo.h"
#include "Gallery.h"
#include "MyFontDialog.h"
#include "NewRichEdit.h"
#include "SuiteFakes.h"
#include "TextWindowApplets.h"

#include "platform/ui/Dialogs.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QMenuBar>
#include <QStatusBar>
#include <QToolBar>

#include <gmock/gmock.h>

using namespace platform;
using namespace textwindow;

namespace {

class TextWindowGallery : public ::testing::Test {
protected:
    void SetUp() override
    {
        UseFakeServices(&log, &store);
    }
    void TearDown() override { AppletServices() = TAppletServices(); }

    std::unique_ptr<TTestTextApplet> Make(Kind kind)
    {
        auto a = std::make_unique<TTestTextApplet>(3, kind);
        a->FormCreate();
        a->show();
        return a;
    }

    // Decoder output in every colour and style the applets use.
    static void Fill(TTestTextApplet& a, Kind kind)
    {
        switch (kind) {
        case Kind::Packet:
            a.AddText("\r\n", clBlack, 0);
            a.AddText("G4ABC-1\\DIGI1 * >APRS", clBlack, 0);
            a.AddText("<V2 UI C > ", clMaroon, 0);
            a.AddText(" :", clGreen, 0);
            a.AddText("\r\n", clBlack, 0);
            a.AddText("!5130.00N/00010.00W-Station in Kent, a long line that wraps under its hanging indent", clBlack, 0);
            a.AddText("\r\n", clBlack, 0);
            a.AddText("M0XYZ>CQ", clRed, 0);
            a.AddText("<V2 UI R > ", clMaroon, 0);
            a.AddText(" [CRC Error]", clRed, fsItalic);
            a.AddText("\r\nNode list from ", clBlue, 0);
            a.AddText("NODE1", clBlue, fsBold);
            a.AddText(" underlined", clGreen, fsUnderline);
            a.AddText(" struck out", clMaroon, fsStrikeOut);
            a.AddText(" bold italic", clBlue, fsBold | fsItalic);
            break;
        case Kind::Dtmf:
            a.AddText("0123456789*#", clBlack, 0);
            a.AddText("\r\n", clBlack, 0);
            a.AddText("ABCD", clBlack, fsBold);
            a.AddText(" 555", clRed, fsItalic);
            a.AddText(" 1212", clBlue, fsUnderline);
            a.AddText(" 999", clGreen, fsStrikeOut);
            break;
        case Kind::Acars:
            a.AddText("ACARS mode: 2 Aircraft reg: .G-ABCD\r\n", clBlack, 0);
            a.AddText("Message label: H1 ", clBlue, fsBold);
            a.AddText("(Message to/from terminal)\r\n", clBlue, fsItalic);
            a.AddText("Block id: 3 Msg. no: M01A Flight id: BA0123\r\n", clGreen, 0);
            a.AddText("Message content:-\r\n", clMaroon, fsUnderline);
            a.AddText("POSN 5130N00010W, FL350, a message long enough to wrap under the indent\r\n", clBlack, 0);
            a.AddText("[Parity error]", clRed, fsStrikeOut);
            break;
        }
    }

    static void CheckLayout(const QWidget& w)
    {
        EXPECT_THAT(testsupport::captionsThatDoNotFit(w), ::testing::IsEmpty());
        EXPECT_THAT(testsupport::overlappingControls(w), ::testing::IsEmpty());
    }

    static void SaveMenu(QWidget& owner, QMenu* menu, const std::string& name)
    {
        menu->popup(owner.mapToGlobal(QPoint(20, 20)));
        testsupport::gallerySave(*menu, name);
        menu->hide();
    }

    std::vector<std::string> log;
    TFakeSettingsStore store;
};

TEST_F(TextWindowGallery, EachAppletsWindowWithColouredRunsAndItsMenus)
{
    struct Case {
        Kind kind;
        const char* name;
    };
    for (const Case& c : std::vector<Case>{{Kind::Packet, "packet"}, {Kind::Dtmf, "dtmf"}, {Kind::Acars, "acars"}}) {
        auto a = Make(c.kind);
        Fill(*a, c.kind);
        if (c.kind == Kind::Dtmf)
            a->SetStatusText(1, QStringLiteral("Log file active (DTMF.LOG)"));
        testsupport::gallerySave(*a, std::string("suite-textwindow-") + c.name);
        CheckLayout(*a);
        const QList<QAction*> bar = a->menuBar()->actions();
        const char* menus[] = {"file", "edit", "options", "help"};
        for (int i = 0; i < 4; ++i)
            SaveMenu(*a, bar[i]->menu(), std::string("suite-textwindow-") + c.name + "-menu-" + menus[i]);
        if (auto* popup = a->findChild<QMenu*>("ToolbarPopup"))
            SaveMenu(*a, popup, std::string("suite-textwindow-") + c.name + "-toolbar-popup");
        if (c.kind == Kind::Packet)
            SaveMenu(*a, a->findChild<QMenu*>("PopupMenu1"), "suite-textwindow-pane-popup");
        if (c.kind == Kind::Dtmf) {
            QMenu* decoding = nullptr;
            for (QAction* x : a->OptionsMenu()->actions())
                if (x->menu())
                    decoding = x->menu();
            ASSERT_NE(decoding, nullptr);
            SaveMenu(*a, decoding, "suite-textwindow-dtmf-menu-decoding");
        }
        a->FormDestroy();
    }
}

TEST_F(TextWindowGallery, PausedWithoutTheToolBar)
{
    store.keys[std::string(kSuiteKey) + "Packet"] = {{"Paused", "1"}, {"Toolbar", "0"}};
    auto a = Make(Kind::Packet);
    Fill(*a, Kind::Packet);
    testsupport::gallerySave(*a, "suite-textwindow-packet-paused");
    CheckLayout(*a);
    a->FormDestroy();
}

TEST_F(TextWindowGallery, FindDialog)
{
    auto a = Make(Kind::Dtmf);
    Fill(*a, Kind::Dtmf);
    a->FindDialog().FindText = "555";
    a->Find1Click();
    QDialog* d = a->FindDialog().Window();
    ASSERT_NE(d, nullptr);
    testsupport::gallerySave(*d, "suite-textwindow-find");
    CheckLayout(*d);
    a->FormDestroy();
}

TEST_F(TextWindowGallery, FontDialogAndItsList)
{
    TMyFontDlg d;
    d.FontComboBox1->Fill({{"Arial", true, true},
                           {"Courier", true, false},
                           {"Courier New", true, true},
                           {"MS Sans Serif", true, false},
                           {"Terminal", true, false},
                           {"Times New Roman", true, true}});
    d.SelectFont(QStringLiteral("Courier New"));
    d.SelectSize(10);
    testsupport::gallerySave(d, "suite-textwindow-font-dialog");
    CheckLayout(d);
    d.FontComboBox1->showPopup();
    QWidget* list = d.FontComboBox1->view()->window();
    testsupport::gallerySave(*list, "suite-textwindow-font-list");
    d.FontComboBox1->hidePopup();
}

}  // namespace
