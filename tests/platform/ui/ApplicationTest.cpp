#include "platform/ui/Application.h"
#include "platform/ui/MessageBox.h"

#include "TestSupport.h"

#include <QThread>
#include <QTimer>
#include <atomic>
#include <gtest/gtest.h>
#include <stdexcept>
#include <thread>

using namespace platform;
using namespace testsupport;

TEST(Application, EscapedErrorIsShownUnderTheTitleAndTheCallReturns)
{
    Application::SetTitle("Korvanta Quenda");
    MessageBoxRecorder rec;
    EXPECT_FALSE(Application::HandleEscapedError([] { throw std::runtime_error("Division by zero"); }));
    EXPECT_FALSE(Application::HandleEscapedError([] { throw 42; }));
    EXPECT_TRUE(Application::HandleEscapedError([] {}));
    ASSERT_EQ(rec.boxes().size(), 2u);
    EXPECT_EQ(rec.boxes()[0].caption, "Korvanta Quenda");
    EXPECT_EQ(rec.boxes()[0].text, "Division by zero");
    EXPECT_EQ(rec.boxes()[0].flags & MB_ICONMASK, MB_ICONERROR);
    EXPECT_EQ(rec.boxes()[1].text, "Unknown error");
}

extern "C" int exportedEntry(int x)
{
    return GuardEntry(-1, [&]() -> int {
        if (x < 0)
            throw std::invalid_argument("bad receiver");
        return x * 2;
    });
}

TEST(Application, GuardedEntryReturnsTheFailureValue)
{
    Application::SetTitle("Marlet");
    MessageBoxRecorder rec;
    EXPECT_EQ(exportedEntry(4), 8);
    EXPECT_EQ(exportedEntry(-4), -1);
    ASSERT_EQ(rec.boxes().size(), 1u);
    EXPECT_EQ(rec.boxes()[0].caption, "Marlet");
    EXPECT_EQ(rec.boxes()[0].text, "bad receiver");
}

TEST(Application, EventLoopGoesOnAfterAnErrorInAHandler)
{
    TempDir dir;
    std::string out;
    int rc = runProgram({binPath("platform_ui_child").string(), "event-error"},
                        {"MSGBOX_LOG=" + (dir / "b.log").string(), "QT_QPA_PLATFORM=offscreen"}, &out, 30);
    EXPECT_EQ(rc, 0);
    EXPECT_EQ(out, "alive\n");
    std::string log = readFile(dir / "b.log");
    EXPECT_NE(log.find("\"caption\":\"Child Title\",\"text\":\"Range check error\",\"flags\":16"), std::string::npos)
        << log;
}

TEST(Application, SynchroniseRunsOnTheGuiThreadAndWaits)
{
    QThread* gui = QThread::currentThread();
    std::atomic<bool> finished{false};
    QThread* ranOn = nullptr;
    int value = 0;
    bool rethrown = false;
    std::thread worker([&] {
        EXPECT_TRUE(Application::Synchronise([&] {
            ranOn = QThread::currentThread();
            value = 41;
        }));
        EXPECT_EQ(value, 41) << "the worker sees the result once Synchronise returns";
        try {
            Application::Synchronise([] { throw std::runtime_error("in gui"); });
        } catch (const std::runtime_error& e) {
            rethrown = std::string(e.what()) == "in gui";
        }
        finished = true;
    });
    while (!finished)
        Application::ProcessMessages();
    worker.join();
    EXPECT_EQ(ranOn, gui);
    EXPECT_TRUE(rethrown);

    bool direct = false;
    EXPECT_TRUE(Application::Synchronise([&] { direct = true; }));
    EXPECT_TRUE(direct) << "called at once on the GUI thread";
}

TEST(Application, SynchroniseDuringShutdownReturnsWithoutRunning)
{
    std::string out;
    int rc = runProgram({binPath("platform_ui_child").string(), "sync-at-exit"}, {"QT_QPA_PLATFORM=offscreen"}, &out, 30);
    EXPECT_EQ(rc, 0);
    EXPECT_EQ(out, "returned 0\n");
}

TEST(Application, ProcessMessagesRunsPendingEvents)
{
    bool ran = false;
    QTimer::singleShot(0, [&] { ran = true; });
    Application::ProcessMessages();
    EXPECT_TRUE(ran);
}
