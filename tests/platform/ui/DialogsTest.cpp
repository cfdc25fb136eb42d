#include "platform/ui/Dialogs.h"

#include "TestSupport.h"

#include <QApplication>
#include <QCheckBox>
#include <QFileDialog>
#include <QLineEdit>
#include <QPainter>
#include <QPrinter>
#include <QPushButton>
#include <QTimer>
#include <gtest/gtest.h>

using namespace platform;
using namespace testsupport;

TEST(Dialogs, ParsesAnswerEntries)
{
    using Entries = std::vector<std::pair<std::string, std::string>>;
    EXPECT_EQ(ParseDialogAnswers("open=/a/b.wav;Save = /c d.txt|2 ;color=0x0000FF;junk;=x;font=Arial,-12,b"),
              (Entries{{"open", "/a/b.wav"}, {"save", "/c d.txt|2"}, {"color", "0x0000FF"}, {"font", "Arial,-12,b"}}));
    TempDir dir;
    writeFile(dir / "answers", "open=/x;y.wav\r\nfind=needle|down,case\n\n");
    // ';' still separates inside the file, and an entry without '=' is dropped.
    EXPECT_EQ(ParseDialogAnswers("@" + (dir / "answers").string()),
              (Entries{{"open", "/x"}, {"find", "needle|down,case"}}));
    EXPECT_TRUE(ParseDialogAnswers("@/no/such/file").empty());
    EXPECT_TRUE(ParseDialogAnswers("").empty());
}

TEST(Dialogs, AnsweredFromTheEnvironment)
{
    TempDir dir;
    std::string pdf = (dir / "out.pdf").string();
    ScopedEnv answers("DIALOG_ANSWER", "open=/data/one.wav;open=cancel;open=/data/three.wav|2;save=/logs/calls.csv|2;"
                                       "color=0x3060FF;font=Terminal,-13,bu;print=" + pdf + "|2;find=Radio|case");
    TOpenDialog open;
    open.Filter = "Wave file (*.wav)|*.wav|All files (*.*)|*.*";
    ASSERT_TRUE(open.Execute());
    EXPECT_EQ(open.FileName, "/data/one.wav");
    EXPECT_EQ(open.FilterIndex, 1);
    EXPECT_FALSE(open.Execute()) << "an explicit cancel";
    EXPECT_EQ(open.FileName, "/data/one.wav") << "a cancelled dialog keeps the old name";
    ASSERT_TRUE(open.Execute());
    EXPECT_EQ(open.FileName, "/data/three.wav");
    EXPECT_EQ(open.FilterIndex, 2);
    EXPECT_FALSE(open.Execute()) << "no entry left";

    TSaveDialog save;
    ASSERT_TRUE(save.Execute());
    EXPECT_EQ(save.FileName, "/logs/calls.csv");
    EXPECT_EQ(save.FilterIndex, 2);

    TColorDialog colour;
    ASSERT_TRUE(colour.Execute());
    EXPECT_EQ(colour.Color, 0x3060FFu);

    TFontDialog font;
    ASSERT_TRUE(font.Execute());
    EXPECT_EQ(font.Font.Name, "Terminal");
    EXPECT_EQ(font.Font.Height, -13);
    EXPECT_EQ(font.Font.Style, fsBold | fsUnderline);

    TPrintDialog print;
    ASSERT_TRUE(print.Execute());
    EXPECT_EQ(print.Copies, 2);
    {
        QPainter p(&print.Printer());
        p.drawText(100, 100, "Call log");
    }
    EXPECT_EQ(readFile(pdf).rfind("%PDF", 0), 0u) << "the printer wrote the PDF file";

    TFindDialog find;
    std::vector<std::string> searches;
    find.OnFind = [&](TFindDialog& d) {
        searches.push_back(d.FindText);
        EXPECT_EQ(d.Options & (frMatchCase | frDown | frWholeWord), unsigned(frMatchCase));
    };
    EXPECT_TRUE(find.Execute());
    EXPECT_EQ(searches, std::vector<std::string>{"Radio"});
}

TEST(Dialogs, BadEnvironmentAnswersCancel)
{
    ScopedEnv answers("DIALOG_ANSWER", "color=blue;color=0x1000000;font=;open=");
    TColorDialog c;
    c.Color = clRed;
    EXPECT_FALSE(c.Execute());
    EXPECT_FALSE(c.Execute());
    EXPECT_EQ(c.Color, clRed);
    TFontDialog f;
    EXPECT_FALSE(f.Execute());
    TOpenDialog o;
    EXPECT_FALSE(o.Execute());
}

TEST(Dialogs, InProcessHandlerSeesTheRequest)
{
    std::vector<std::string> titles;
    SetDialogHandler([&](TCommonDialog& d) {
        titles.push_back(d.Title);
        if (d.Kind() == DialogKind::Save) {
            auto& s = static_cast<TSaveDialog&>(d);
            EXPECT_EQ(s.Filter, "Wave file (*.wav)|*.wav");
            EXPECT_EQ(s.DefaultExt, "wav");
            s.FileName = "/tmp/grab.wav";
            return true;
        }
        return false;
    });
    TSaveDialog s;
    s.Title = "Save Audio Wave Data";
    s.Filter = "Wave file (*.wav)|*.wav";
    s.DefaultExt = "wav";
    s.Options = ofOverwritePrompt;
    EXPECT_TRUE(s.Execute());
    EXPECT_EQ(s.FileName, "/tmp/grab.wav");
    TColorDialog c;
    EXPECT_FALSE(c.Execute());
    SetDialogHandler(nullptr);
    EXPECT_EQ(titles, (std::vector<std::string>{"Save Audio Wave Data", ""}));
}

TEST(Dialogs, RealFindDialogCallsOnFind)
{
    ASSERT_EQ(std::getenv("DIALOG_ANSWER"), nullptr);
    TFindDialog find;
    find.FindText = "old";
    find.Options = frDown | frHideUpDown;
    std::vector<std::pair<std::string, unsigned>> calls;
    find.OnFind = [&](TFindDialog& d) { calls.emplace_back(d.FindText, d.Options); };
    EXPECT_TRUE(find.Execute());
    QDialog* w = find.Window();
    ASSERT_NE(w, nullptr);
    EXPECT_TRUE(w->isVisible());
    auto* edit = w->findChild<QLineEdit*>();
    ASSERT_NE(edit, nullptr);
    EXPECT_EQ(edit->text(), "old");
    edit->setText("Group 2");
    for (QCheckBox* box : w->findChildren<QCheckBox*>())
        if (box->text().contains("case"))
            box->setChecked(true);
    for (QPushButton* b : w->findChildren<QPushButton*>())
        if (b->text() == "&Find Next")
            b->click();
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].first, "Group 2");
    EXPECT_EQ(calls[0].second & (frDown | frMatchCase | frWholeWord | frFindNext), frDown | frMatchCase | frFindNext);
    find.CloseDialog();
    EXPECT_FALSE(w->isVisible());
}

TEST(Dialogs, RealOpenDialogReturnsTheChosenFile)
{
    ASSERT_EQ(std::getenv("DIALOG_ANSWER"), nullptr);
    TempDir dir;
    writeFile(dir / "a.wav", "RIFF");
    QTimer::singleShot(0, [&] {
        auto* d = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(d, nullptr);
        EXPECT_EQ(d->windowTitle(), "Open Audio Wave File into Scope");
        EXPECT_EQ(d->nameFilters(), QStringList({"Wave file (*.wav)", "All files (*.*)", "Comma Separated (*.csv *.txt)"}));
        d->selectNameFilter("All files (*.*)");
        d->selectFile(QString::fromStdString((dir / "a.wav").string()));
        static_cast<QDialog*>(d)->accept();
    });
    TOpenDialog open;
    open.Title = "Open Audio Wave File into Scope";
    open.Filter = "Wave file (*.wav)|*.wav|All files (*.*)|*.*|Comma Separated|*.csv;*.txt";
    open.Options = ofFileMustExist;
    open.InitialDir = dir.path().string();
    ASSERT_TRUE(open.Execute());
    EXPECT_EQ(open.FileName, (dir / "a.wav").string());
    EXPECT_EQ(open.FilterIndex, 2);
}

TEST(Dialogs, PrintSelectionIsChosenOnlyWhereTheDialogOffersIt)
{
    TempDir dir;
    const std::string pdf = (dir / "out.pdf").string();
    ScopedEnv answers("DIALOG_ANSWER", "print=" + pdf + "|3,selection;print=" + pdf + "|selection;print=" + pdf);
    TPrintDialog offered;
    offered.OfferSelection = true;
    ASSERT_TRUE(offered.Execute());
    EXPECT_TRUE(offered.Selection);
    EXPECT_EQ(offered.Copies, 3);
    TPrintDialog plain;
    ASSERT_TRUE(plain.Execute());
    EXPECT_FALSE(plain.Selection) << "a dialog that does not offer the selection prints everything";
    ASSERT_TRUE(offered.Execute());
    EXPECT_FALSE(offered.Selection) << "an answer without the word prints everything";
}
