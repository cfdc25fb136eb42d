#pragma once
// For Qt tests: runs the event loop until a condition holds or the time is up.
#include <QCoreApplication>
#include <QElapsedTimer>

namespace testsupport {

template <class F>
bool pumpUntil(F done, int timeoutMs = 5000)
{
    QElapsedTimer t;
    t.start();
    while (!done() && t.elapsed() < timeoutMs)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    return done();
}

}  // namespace testsupport
