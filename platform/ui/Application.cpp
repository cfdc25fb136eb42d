#include "Application.h"

#include "ClickScript.h"
#include "MessageBox.h"

#include <QCoreApplication>
#include <QThread>
#include <QThreadPool>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

namespace platform {

namespace {

std::mutex gTitleMutex;
std::string gTitle;

// What a worker waits on while its call is queued to the GUI thread. The queued call holds the last
// reference: when the application drops it unrun (shutting down), the destructor still wakes the worker.
struct SyncState {
    std::mutex m;
    std::condition_variable cv;
    bool done = false;
    bool ran = false;
    std::exception_ptr error;
};

struct SyncTicket {
    std::shared_ptr<SyncState> state;
    explicit SyncTicket(std::shared_ptr<SyncState> s) : state(std::move(s)) {}
    ~SyncTicket()
    {
        std::lock_guard<std::mutex> lock(state->m);
        state->done = true;
        state->cv.notify_all();
    }
};

// Test tooling that every widget program offers: the click script (ClickScript.h).
void StartClickScript() { InstallClickScript(); }
Q_COREAPP_STARTUP_FUNCTION(StartClickScript)

}  // namespace

void Application::SetTitle(const std::string& title)
{
    std::lock_guard<std::mutex> lock(gTitleMutex);
    gTitle = title;
}

std::string Application::Title()
{
    {
        std::lock_guard<std::mutex> lock(gTitleMutex);
        if (!gTitle.empty())
            return gTitle;
    }
    if (QCoreApplication::instance())
        return QCoreApplication::applicationName().toStdString();
    return std::string();
}

void Application::ProcessMessages()
{
    if (!QCoreApplication::instance())
        return;
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents(QEventLoop::AllEvents);
}

bool Application::Synchronise(const std::function<void()>& f)
{
    QCoreApplication* app = QCoreApplication::instance();
    if (!app || QCoreApplication::closingDown())
        return false;
    if (QThread::currentThread() == app->thread()) {
        f();
        return true;
    }
    auto state = std::make_shared<SyncState>();
    {
        auto ticket = std::make_shared<SyncTicket>(state);
        QMetaObject::invokeMethod(
            app,
            [ticket, f]() {
                try {
                    f();
                } catch (...) {
                    ticket->state->error = std::current_exception();
                }
                ticket->state->ran = true;
            },
            Qt::QueuedConnection);
    }
    std::unique_lock<std::mutex> lock(state->m);
    state->cv.wait(lock, [&] { return state->done; });
    if (state->error)
        std::rethrow_exception(state->error);
    return state->ran;
}

std::string Application::ErrorText(std::exception_ptr error)
{
    if (!error)
        return std::string();
    try {
        std::rethrow_exception(error);
    } catch (const std::exception& e) {
        return e.what();
    } catch (...) {
        return "Unknown error";
    }
}

void Application::ShowError(std::exception_ptr error)
{
    MessageBox::Show(ErrorText(error), Title(), MB_OK | MB_ICONERROR);
}

bool Application::HandleEscapedError(const std::function<void()>& f)
{
    try {
        f();
        return true;
    } catch (...) {
        ShowError(std::current_exception());
        return false;
    }
}

bool GuardedApplication::notify(QObject* receiver, QEvent* event)
{
    bool result = false;
    Application::HandleEscapedError([&] { result = QApplication::notify(receiver, event); });
    return result;
}

bool runningHeadless()
{
    const char* h = std::getenv("KORVANTA_HEADLESS");
    return h && *h && std::string(h) != "0";
}

namespace {
std::atomic<bool> gLineOpen{false};  // the last text printed did not end its line

void EndOpenLine()
{
    if (gLineOpen.exchange(false))
        std::fputc('\n', stdout);
}
}  // namespace

void headlessPrint(const std::string& text)
{
    if (text.empty() || !runningHeadless())
        return;
    // A line left open (a decoder's last message) is ended when the program ends.
    static const bool registered = std::atexit(EndOpenLine) == 0;
    (void)registered;
    std::fwrite(text.data(), 1, text.size(), stdout);
    std::fflush(stdout);
    gLineOpen = text.back() != '\n';
}

namespace {

// Whether one of Qt's pooled threads is still in the process (the name Qt gives them).
bool pooledThreadsRunning()
{
    std::error_code ec;
    for (const auto& task : std::filesystem::directory_iterator("/proc/self/task", ec)) {
        std::ifstream comm(task.path() / "comm");
        std::string name;
        if (std::getline(comm, name) && name.rfind("Thread (pooled)", 0) == 0)
            return true;
    }
    return false;
}

}  // namespace

// Qt paints some styled controls with the help of its global thread pool, whose threads it lets go
// at the end without joining them: one still ending as the process ends leaves its thread data
// behind, which the leak check of a test build reports as a leak.
void letPooledThreadsEnd()
{
    QThreadPool::globalInstance()->waitForDone();
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(2);
    while (pooledThreadsRunning() && std::chrono::steady_clock::now() < until)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
}

}  // namespace platform
