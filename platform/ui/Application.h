#pragma once
// Application-wide services: the title that captions error boxes, running pending events, running work
// on the GUI thread from a worker, and the last-resort handling of errors that escape an event handler.
#include <QApplication>
#include <exception>
#include <functional>
#include <string>

namespace platform {

class Application {
public:
    // UTF-8; captions the box of an escaped error. Empty until set (the program name is used then).
    static void SetTitle(const std::string& title);
    static std::string Title();

    // Handles every event waiting now, once, and returns.
    static void ProcessMessages();

    // Runs f on the GUI thread and waits for it; a direct call when already there. Returns false,
    // without running f, when there is no application or it is shutting down. An exception thrown by f
    // is rethrown in the caller's thread.
    static bool Synchronise(const std::function<void()>& f);

    // Runs f; an error escaping it is shown in a box captioned with the title, and the call returns
    // normally (false) so the event loop goes on.
    static bool HandleEscapedError(const std::function<void()>& f);
    // Shows the box for an error caught elsewhere (std::current_exception() inside a catch block).
    static void ShowError(std::exception_ptr error);
    static std::string ErrorText(std::exception_ptr error);
};

// A run without anyone watching (KORVANTA_HEADLESS, which orvhost --headless sets for itself, its
// plug-ins and the applets it starts): what a window shows of its results is also written to standard
// output, so the run's result is seen where it was started.
bool runningHeadless();
// Writes UTF-8 text to standard output at once when running headless; nothing otherwise.
void headlessPrint(const std::string& text);

// Waits, a moment at the most, until the threads of Qt's global pool have ended; called by a
// program as its run ends.
void letPooledThreadsEnd();

// Free-function spellings of the two most used services.
inline void processMessages() { Application::ProcessMessages(); }
inline bool synchronise(const std::function<void()>& f) { return Application::Synchronise(f); }

// A QApplication whose event dispatch shows an escaping error instead of ending the program.
class GuardedApplication : public QApplication {
public:
    GuardedApplication(int& argc, char** argv) : QApplication(argc, argv) {}
    bool notify(QObject* receiver, QEvent* event) override;
};

// For functions exported with C linkage: no error may cross into the caller. Any escaping error is
// shown and `failure` returned.
template <typename R, typename F>
R GuardEntry(R failure, F&& f) noexcept
{
    try {
        return f();
    } catch (...) {
        try {
            Application::ShowError(std::current_exception());
        } catch (...) {
        }
        return failure;
    }
}

template <typename F>
void GuardEntry(F&& f) noexcept
{
    try {
        f();
    } catch (...) {
        try {
            Application::ShowError(std::current_exception());
        } catch (...) {
        }
    }
}

}  // namespace platform
