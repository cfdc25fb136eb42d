#include "platform/power/PowerEvents.h"

#include <QCoreApplication>
#include <QDBusConnection>

namespace platform {

namespace {
const char* const kService = "org.freedesktop.login1";
const char* const kPath = "/org/freedesktop/login1";
const char* const kInterface = "org.freedesktop.login1.Manager";
const char* const kSignal = "PrepareForSleep";
}  // namespace

PowerEvents::PowerEvents(QObject* parent) : QObject(parent)
{
    // The bus connection lives on the application's event loop; without an application there is
    // nothing to deliver on.
    if (!QCoreApplication::instance())
        return;
    QDBusConnection bus = QDBusConnection::systemBus();
    if (!bus.isConnected())
        return;
    // Only the login manager's own signal counts: the service name filters out any other sender.
    listening_ = bus.connect(kService, kPath, kInterface, kSignal, this, SLOT(PrepareForSleep(bool)));
}

void PowerEvents::PrepareForSleep(bool sleeping)
{
    if (sleeping)
        emit suspending();
    else
        emit resumed();
}

}  // namespace platform
