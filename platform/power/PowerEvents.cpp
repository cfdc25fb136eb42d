#include "platform/power/PowerEvents.h"

#include <QCoreApplication>
#include <QDBusConnection>

#include <cstdlib>
#include <filesystem>

namespace platform {

namespace {
const char* const kService = "org.freedesktop.login1";
const char* const kPath = "/org/freedesktop/login1";
const char* const kInterface = "org.freedesktop.login1.Manager";
const char* const kSignal = "PrepareForSleep";

// A machine without a system bus (a container, a build machine) has no login manager to hear from;
// the bus library is not asked to connect to what is not there.
bool SystemBusPresent()
{
    const char* address = std::getenv("DBUS_SYSTEM_BUS_ADDRESS");
    if (address && *address)
        return true;
    std::error_code ignored;
    return std::filesystem::exists("/run/dbus/system_bus_socket", ignored) ||
           std::filesystem::exists("/var/run/dbus/system_bus_socket", ignored);
}

}  // namespace

PowerEvents::PowerEvents(QObject* parent) : QObject(parent)
{
    // The bus connection lives on the application's event loop; without an application there is
    // nothing to deliver on.
    if (!QCoreApplication::instance() || !SystemBusPresent())
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
