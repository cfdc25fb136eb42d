// A small program the user-interface tests run as another process.
//   box <flags> <caption> <text>   shows one box and prints its answer
//   event-error                    an event handler throws inside a GuardedApplication; prints "alive" after
//   sync-at-exit                   a worker's Synchronise is pending when the application goes away
//   clicks                         a window with the buttons "Go" and "Off" (disabled) and the action
//                                  "Quit"; prints what is pressed, at the time since the window showed
#include "platform/ui/Application.h"
#include "platform/ui/MessageBox.h"

#include <QAction>
#include <QElapsedTimer>
#include <QEvent>
#include <QPushButton>
#include <QWidget>
#include <QTimer>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>
#include <string>
#include <thread>

namespace {
class Thrower : public QObject {
protected:
    bool event(QEvent* e) override
    {
        if (e->type() == QEvent::User)
            throw std::runtime_error("Range check error");
        return QObject::event(e);
    }
};
}  // namespace

int main(int argc, char** argv)
{
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    if (argc < 2)
        return 2;
    std::string mode = argv[1];
    if (mode == "sync-at-exit") {
        std::atomic<bool> posting{false};
        std::atomic<int> result{-1};
        std::thread worker;
        {
            int qargc = 1;
            QApplication app(qargc, argv);
            worker = std::thread([&] {
                posting = true;
                result = platform::Application::Synchronise([] { std::puts("ran"); }) ? 1 : 0;
            });
            while (!posting)
                std::this_thread::yield();
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        worker.join();
        std::printf("returned %d\n", result.load());
        return 0;
    }
    platform::GuardedApplication app(argc, argv);
    platform::Application::SetTitle("Child Title");
    if (mode == "box" && argc >= 5) {
        for (int i = 0; i < 2; ++i) {
            int answer = platform::MessageBox::Show(argv[4], argv[3], static_cast<unsigned>(std::atoi(argv[2])));
            std::printf("%d\n", answer);
        }
        return 0;
    }
    if (mode == "event-error") {
        Thrower t;
        QCoreApplication::postEvent(&t, new QEvent(QEvent::User));
        QTimer::singleShot(0, [] {
            std::puts("alive");
            QCoreApplication::quit();
        });
        return app.exec();
    }
    if (mode == "clicks") {
        QWidget window;
        auto* go = new QPushButton("Go", &window);
        go->setObjectName("Go");
        auto* off = new QPushButton("Off", &window);
        off->setObjectName("Off");
        off->setEnabled(false);
        auto* quit = new QAction("Quit", &window);
        quit->setObjectName("Quit");
        window.addAction(quit);
        QElapsedTimer shown;
        auto say = [&](const char* what) { std::printf("%s %lld\n", what, static_cast<long long>(shown.elapsed())); };
        QObject::connect(go, &QPushButton::clicked, [&] { say("Go"); });
        QObject::connect(off, &QPushButton::clicked, [&] { say("Off"); });
        QObject::connect(quit, &QAction::triggered, [&] {
            say("Quit");
            QCoreApplication::quit();
        });
        QTimer::singleShot(300, [&] {  // the window shows a while after the start
            shown.start();
            window.show();
        });
        QTimer::singleShot(2500, [] { QCoreApplication::quit(); });
        return app.exec();
    }
    return 2;
}
