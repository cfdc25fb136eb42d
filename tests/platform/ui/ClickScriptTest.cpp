// The click script: its lines, pressing by object name, and a script run in another process.
#include "platform/ui/ClickScript.h"

#include "TestSupport.h"

#include <QAction>
#include <QApplication>
#include <QPushButton>
#include <QWidget>
#include <gtest/gtest.h>

#include <sstream>

using namespace platform;
using namespace testsupport;

TEST(ClickScript, ParsesStepsInTimeOrderAndNamesTheFirstBadLine)
{
    struct Case {
        const char* text;
        std::vector<std::pair<int, std::string>> steps;  // empty with an error when bad is set
        const char* bad;                                 // part of the error, or nullptr
    };
    const Case cases[] = {
        {"", {}, nullptr},
        {"# only a comment\n\n   \n", {}, nullptr},
        {"500 click RecordButton\n", {{500, "RecordButton"}}, nullptr},
        {"9000 click StopButton # the end\r\n0 click Go\n", {{0, "Go"}, {9000, "StopButton"}}, nullptr},
        {"10 click A\n10 click B\n5 click C\n", {{5, "C"}, {10, "A"}, {10, "B"}}, nullptr},
        {"1 click Go\n2 press Go\n", {}, "line 2 is not \"<ms> click <objectName>\": 2 press Go"},
        {"1.5 click Go\n", {}, "line 1 "},
        {"-1 click Go\n", {}, "line 1 "},
        {"100 click\n", {}, "line 1 "},
        {"100 click Go Now\n", {}, "line 1 "},
        {"99999999999 click Go\n", {}, "line 1 "},
        {"click Go\n", {}, "line 1 "},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        std::string error;
        auto steps = ParseClickScript(c.text, &error);
        if (c.bad) {
            EXPECT_FALSE(steps.has_value());
            EXPECT_NE(error.find(c.bad), std::string::npos) << error;
            continue;
        }
        ASSERT_TRUE(steps.has_value()) << error;
        std::vector<std::pair<int, std::string>> got;
        for (const ClickStep& s : *steps)
            got.emplace_back(s.atMs, s.objectName);
        EXPECT_EQ(got, c.steps);
    }
}

TEST(ClickScript, PressesOnlyAnEnabledButtonOrActionOfAShownWindow)
{
    QWidget window;
    auto* go = new QPushButton("Go", &window);
    go->setObjectName("Go");
    auto* off = new QPushButton("Off", &window);
    off->setObjectName("Off");
    off->setEnabled(false);
    auto* act = new QAction("Act", &window);
    act->setObjectName("Act");
    window.addAction(act);
    QWidget hidden;
    auto* ghost = new QPushButton("Ghost", &hidden);
    ghost->setObjectName("Ghost");
    std::vector<std::string> pressed;
    for (QAbstractButton* b : {static_cast<QAbstractButton*>(go), static_cast<QAbstractButton*>(off),
                               static_cast<QAbstractButton*>(ghost)})
        QObject::connect(b, &QAbstractButton::clicked, [&pressed, b] { pressed.push_back(b->objectName().toStdString()); });
    QObject::connect(act, &QAction::triggered, [&pressed] { pressed.push_back("Act"); });
    window.show();

    struct Case {
        const char* name;
        bool done;
        const char* why;
    };
    const Case cases[] = {
        {"Go", true, ""},
        {"Act", true, ""},
        {"Off", false, "\"Off\" is disabled; not clicked"},
        {"Ghost", false, "no button or action named \"Ghost\""},  // its window is not shown
        {"Nothing", false, "no button or action named \"Nothing\""},
    };
    for (const Case& c : cases) {
        std::string why;
        EXPECT_EQ(ClickNamed(c.name, &why), c.done) << c.name;
        EXPECT_EQ(why, c.why) << c.name;
    }
    EXPECT_EQ(pressed, (std::vector<std::string>{"Go", "Act"}));
    act->setEnabled(false);
    std::string why;
    EXPECT_FALSE(ClickNamed("Act", &why));
    EXPECT_EQ(why, "\"Act\" is disabled; not clicked");
}

// Across the process boundary: the steps run at their times after the first window shows, and what
// cannot run is said on standard error.
TEST(ClickScript, RunsInAnotherProcessFromTheEnvironment)
{
    struct Case {
        const char* what;
        const char* script;   // nullptr: UI_CLICK_SCRIPT names a file that is not there
        const char* pressed;  // the names the child printed, in order
        const char* says;     // part of its standard error
    };
    const Case cases[] = {
        {"steps in order", "600 click Quit\n200 click Go\n400 click Off\n", "Go Quit",
         "UI_CLICK_SCRIPT: \"Off\" is disabled; not clicked"},
        {"a name that is not there", "100 click Gone\n200 click Quit\n", "Quit",
         "UI_CLICK_SCRIPT: no button or action named \"Gone\""},
        {"a bad line runs nothing", "100 click Go\n200 clack Quit\n", "", "line 2 is not \"<ms> click <objectName>\""},
        {"a missing file", nullptr, "", "UI_CLICK_SCRIPT: cannot read "},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TempDir dir;
        const auto script = dir / "clicks.txt";
        if (c.script)
            writeFile(script, c.script);
        std::string out;
        const std::string err = (dir / "err").string();
        const int rc = runProgram({"/bin/sh", "-c", "exec \"$0\" \"$@\" 2>" + err,
                                   binPath("platform_ui_child").string(), "clicks"},
                                  {"UI_CLICK_SCRIPT=" + script.string(), "QT_QPA_PLATFORM=offscreen"}, &out, 30);
        ASSERT_EQ(rc, 0);
        std::istringstream lines(out);
        std::string names;
        std::vector<long> times;
        for (std::string name; lines >> name;) {
            long ms = 0;
            lines >> ms;
            names += (names.empty() ? "" : " ") + name;
            times.push_back(ms);
        }
        EXPECT_EQ(names, c.pressed) << out;
        EXPECT_NE(readFile(err).find(c.says), std::string::npos) << readFile(err);
        if (std::string(c.what) == "steps in order") {
            ASSERT_EQ(times.size(), 2u);
            // Counted from the window's showing, not the program's start (300 ms earlier).
            EXPECT_GE(times[0], 200);
            EXPECT_LT(times[0], 450);
            EXPECT_GE(times[1], 600);
        }
    }
}
