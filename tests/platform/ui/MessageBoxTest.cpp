#include "platform/ui/MessageBox.h"

#include "TestSupport.h"

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <gtest/gtest.h>

using namespace platform;
using namespace testsupport;

TEST(MessageBox, ButtonsAndDefaults)
{
    struct Case {
        unsigned flags;
        std::vector<int> buttons;
        int answer;
    } cases[] = {
        {MB_OK, {IDOK}, IDOK},
        {MB_OKCANCEL | MB_ICONQUESTION, {IDOK, IDCANCEL}, IDOK},
        {MB_YESNO | MB_DEFBUTTON2, {IDYES, IDNO}, IDNO},
        {MB_YESNOCANCEL | MB_DEFBUTTON3, {IDYES, IDNO, IDCANCEL}, IDCANCEL},
        {MB_RETRYCANCEL | MB_ICONERROR, {IDRETRY, IDCANCEL}, IDRETRY},
        {MB_ABORTRETRYIGNORE | MB_DEFBUTTON2, {IDABORT, IDRETRY, IDIGNORE}, IDRETRY},
        {MB_OK | MB_DEFBUTTON3, {IDOK}, IDOK},  // a default past the last button falls back to the first
        {0xE, {IDOK}, IDOK},                    // unknown button set
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.flags);
        EXPECT_EQ(MessageBox::Buttons(c.flags), c.buttons);
        EXPECT_EQ(MessageBox::DefaultAnswer(c.flags), c.answer);
    }
}

TEST(MessageBox, ParsesAnswerWords)
{
    std::pair<const char*, int> cases[] = {{"yes", IDYES}, {" No ", IDNO},     {"IDCANCEL", IDCANCEL},
                                           {"ok", IDOK},   {"retry", IDRETRY}, {"Abort", IDABORT},
                                           {"ignore", IDIGNORE}, {"6", IDYES}, {"default", 0},
                                           {"", 0},        {"maybe", 0},       {"99999999999", 0}};
    for (const auto& [word, id] : cases)
        EXPECT_EQ(MessageBox::ParseAnswer(word), id) << word;
}

TEST(MessageBox, RecorderTakesTheBoxesAndAnswersInTurn)
{
    MessageBoxRecorder rec({IDNO});
    EXPECT_EQ(MessageBox::Show("Try again?", "Warning", MB_YESNO | MB_ICONEXCLAMATION), IDNO);
    EXPECT_EQ(MessageBox::Show("Cannot access the log file!", "Fatal Error", MB_ICONERROR), IDOK);
    ASSERT_EQ(rec.boxes().size(), 2u);
    EXPECT_EQ(rec.boxes()[0].text, "Try again?");
    EXPECT_EQ(rec.boxes()[0].caption, "Warning");
    EXPECT_EQ(rec.boxes()[0].flags, MB_YESNO | MB_ICONEXCLAMATION);
    EXPECT_EQ(rec.boxes()[1].answer, IDOK) << "answers run out: the default button";
}

TEST(MessageBox, LogFileAnswersFromTheEnvironment)
{
    TempDir dir;
    ScopedEnv log("MSGBOX_LOG", (dir / "boxes.log").string());
    ScopedEnv answers("MSGBOX_ANSWER", "no,retry,yes");
    EXPECT_EQ(MessageBox::Show("Sound card busy, try again?", "Warning", MB_YESNO), IDNO);
    EXPECT_EQ(MessageBox::Show("Say \"hi\"\\\nnow", "Cap", MB_RETRYCANCEL), IDRETRY);
    EXPECT_EQ(MessageBox::Show("x", "y", MB_OKCANCEL | MB_DEFBUTTON2), IDCANCEL)
        << "an answer the box does not have gives its default";
    EXPECT_EQ(MessageBox::Show("x", "y", MB_YESNO | MB_DEFBUTTON2), IDNO) << "list used up";
    std::string text = readFile(dir / "boxes.log");
    EXPECT_NE(text.find("\"caption\":\"Warning\",\"text\":\"Sound card busy, try again?\",\"flags\":4,\"answer\":7}\n"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("\"text\":\"Say \\\"hi\\\"\\\\\\nnow\""), std::string::npos) << text;
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 4);
}

TEST(MessageBox, ChildProcessBoxesAreLogged)
{
    TempDir dir;
    std::string logFile = (dir / "child.log").string();
    std::string out;
    int rc = runProgram({binPath("platform_ui_child").string(), "box", std::to_string(MB_YESNO | MB_ICONQUESTION),
                         "Korvanta Quenda", "Overwrite the file?"},
                        {"MSGBOX_LOG=" + logFile, "MSGBOX_ANSWER=no,6", "QT_QPA_PLATFORM=offscreen"}, &out, 30);
    ASSERT_EQ(rc, 0);
    EXPECT_EQ(out, "7\n6\n");
    std::string text = readFile(logFile);
    EXPECT_NE(text.find("\"caption\":\"Korvanta Quenda\",\"text\":\"Overwrite the file?\",\"flags\":36,\"answer\":7"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("\"answer\":6"), std::string::npos) << text;
}

TEST(MessageBox, WhereNoOneCanAnswerTheBoxGoesToStandardErrorWithItsDefault)
{
    struct Case {
        const char* env;
        unsigned flags;
        const char* answer;  // of both boxes the child shows
    };
    const Case cases[] = {
        {"KORVANTA_HEADLESS=1", MB_YESNO | MB_DEFBUTTON2, "7\n7\n"},
        {"KORVANTA_HEADLESS=1", MB_OKCANCEL, "1\n1\n"},
        {"KORVANTA_HEADLESS=", MB_ABORTRETRYIGNORE | MB_DEFBUTTON3, "5\n5\n"},  // the offscreen platform alone
    };
    for (const Case& c : cases) {
        TempDir dir;
        std::string out;
        const std::string err = (dir / "err").string();
        const int rc = runProgram({"/bin/sh", "-c", "exec \"$0\" \"$@\" 2>" + err, binPath("platform_ui_child").string(),
                                   "box", std::to_string(c.flags), "Wave In Error!", "No sound card"},
                                  {c.env, "MSGBOX_LOG=", "MSGBOX_SHOW=", "QT_QPA_PLATFORM=offscreen"}, &out, 20);
        ASSERT_EQ(rc, 0) << c.env;
        EXPECT_EQ(out, c.answer) << c.env;
        EXPECT_NE(readFile(err).find("Wave In Error!: No sound card\n"), std::string::npos) << readFile(err);
    }
}

TEST(MessageBox, WhereNoOneCanAnswerABoxAskedOverAndOverIsAnsweredWithItsWayOut)
{
    ASSERT_EQ(std::getenv("MSGBOX_LOG"), nullptr);
    testsupport::ScopedEnv headless("KORVANTA_HEADLESS", "1");
    std::vector<int> answers;
    for (int i = 0; i < 5; ++i)
        answers.push_back(MessageBox::Show("The sound card is busy, try again?", "Warning", MB_YESNO | MB_ICONWARNING));
    EXPECT_EQ(answers, (std::vector<int>{IDYES, IDYES, IDYES, IDNO, IDNO}));
    // Another box starts the count again.
    EXPECT_EQ(MessageBox::Show("Save?", "Scope", MB_YESNOCANCEL), IDYES);
    EXPECT_EQ(MessageBox::Show("The sound card is busy, try again?", "Warning", MB_YESNO | MB_ICONWARNING), IDYES);
    EXPECT_EQ(MessageBox::Show("Done", "Scope", MB_OK), IDOK);
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(MessageBox::Show("Done", "Scope", MB_OK), IDOK) << "a box with one button keeps it";
}

TEST(MessageBox, RealBoxMapsTheClickedButton)
{
    ASSERT_EQ(std::getenv("MSGBOX_LOG"), nullptr);
    testsupport::ScopedEnv show("MSGBOX_SHOW", "1");  // a real box, though the platform is offscreen
    QString title, body;
    bool hadDefault = false;
    QTimer::singleShot(0, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        title = box->windowTitle();
        body = box->text();
        hadDefault = static_cast<QAbstractButton*>(box->defaultButton()) == box->button(QMessageBox::No);
        EXPECT_EQ(box->icon(), QMessageBox::Warning);
        EXPECT_EQ(box->buttons().size(), 3);
        box->button(QMessageBox::Cancel)->click();
    });
    int answer = MessageBox::Show("Save changes?", "Quenda", MB_YESNOCANCEL | MB_ICONWARNING | MB_DEFBUTTON2);
    EXPECT_EQ(answer, IDCANCEL);
    EXPECT_EQ(title, "Quenda");
    EXPECT_EQ(body, "Save changes?");
    EXPECT_TRUE(hadDefault);
}
