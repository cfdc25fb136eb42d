// The subscription itself, against a private message bus given to the program as its system bus:
// the login manager's PrepareForSleep reaches the source and the frame, anyone else's does not.
#include "OrvDecoderForm.h"
#include "platform/power/PowerEvents.h"
#include "PowerRecorder.h"
#include "TestSupport.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QEventLoop>
#include <QProcess>
#include <QTimer>

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace {

const char* const kLoginService = "org.freedesktop.login1";

// One bus daemon for the whole program: the system bus connection is made once per process.
class PowerBusTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        dir_ = new testsupport::TempDir;
        daemon_ = new QProcess;
        const QString address = "unix:path=" + QString::fromStdString((dir_->path() / "bus").string());
        daemon_->start("dbus-daemon", {"--session", "--nofork", "--nopidfile", "--print-address=1",
                                       "--address=" + address});
        if (!daemon_->waitForStarted(10000) || !daemon_->waitForReadyRead(10000))
            return;
        address_ = QString::fromUtf8(daemon_->readAllStandardOutput()).trimmed();
        env_ = new testsupport::ScopedEnv("DBUS_SYSTEM_BUS_ADDRESS", address_.toStdString());
        // The login manager is there before any program subscribes, as on a running system.
        client("login", kLoginService);
    }
    static void TearDownTestSuite()
    {
        QDBusConnection::disconnectFromBus("login");
        delete env_;
        env_ = nullptr;
        daemon_->terminate();
        daemon_->waitForFinished(10000);
        delete daemon_;
        daemon_ = nullptr;
        delete dir_;
        dir_ = nullptr;
    }
    void SetUp() override
    {
        if (address_.isEmpty())
            GTEST_FAIL() << "the private bus daemon did not start";
    }

    // Another client of the bus; the one named "login" stands in for the login manager.
    static QDBusConnection client(const QString& connectionName, const QString& ownName = {})
    {
        QDBusConnection bus = QDBusConnection::connectToBus(address_, connectionName);
        if (!ownName.isEmpty())
            bus.interface()->registerService(ownName);
        return bus;
    }
    static void sendSleep(QDBusConnection& from, bool sleeping)
    {
        QDBusMessage signal =
            QDBusMessage::createSignal("/org/freedesktop/login1", "org.freedesktop.login1.Manager", "PrepareForSleep");
        signal << sleeping;
        ASSERT_TRUE(from.send(signal));
    }
    // A round trip on the program's own system bus connection: its subscription (the match rule and the
    // lookup of the login manager's owner, which the library sends without waiting) has reached the
    // daemon before anything is sent to it.
    static void settle() { QDBusConnection::systemBus().interface()->isServiceRegistered(kLoginService); }
    // Runs the event loop until done() holds; a bound of seconds only guards against a hang.
    template <typename Done>
    static bool runUntil(Done done)
    {
        QEventLoop loop;
        QTimer guard;
        guard.setSingleShot(true);
        QObject::connect(&guard, &QTimer::timeout, &loop, &QEventLoop::quit);
        guard.start(10000);
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, [&] {
            if (done())
                loop.quit();
        });
        poll.start(1);
        if (!done())
            loop.exec();
        return done();
    }

    static inline testsupport::TempDir* dir_ = nullptr;
    static inline QProcess* daemon_ = nullptr;
    static inline testsupport::ScopedEnv* env_ = nullptr;
    static inline QString address_;
};

TEST_F(PowerBusTest, LoginManagerSleepAndWakeArrive)
{
    platform::PowerEvents events;
    ASSERT_TRUE(events.Listening());
    PowerRecorder recorder(events);
    settle();
    QDBusConnection login = QDBusConnection(QStringLiteral("login"));
    sendSleep(login, true);
    ASSERT_TRUE(runUntil([&] { return recorder.seen.size() == 1; }));
    sendSleep(login, false);
    ASSERT_TRUE(runUntil([&] { return recorder.seen.size() == 2; }));
    EXPECT_EQ(recorder.seen, "sr");
}

TEST_F(PowerBusTest, SleepFromAnotherSenderIsIgnored)
{
    platform::PowerEvents events;
    ASSERT_TRUE(events.Listening());
    PowerRecorder recorder(events);
    settle();
    QDBusConnection stranger = client("stranger");
    sendSleep(stranger, true);
    // A round trip to the daemon: the stranger's signal has been routed before the reply.
    stranger.interface()->isServiceRegistered(kLoginService);
    QDBusConnection login = QDBusConnection(QStringLiteral("login"));
    sendSleep(login, false);
    ASSERT_TRUE(runUntil([&] { return !recorder.seen.empty(); }));
    EXPECT_EQ(recorder.seen, "r");
    QDBusConnection::disconnectFromBus("stranger");
}

TEST_F(PowerBusTest, SharedFrameInstanceBroadcastsTheCodes)
{
    TOrvPowerEvents& shared = TOrvPowerEvents::Instance();
    ASSERT_NE(TOrvPowerEvents::System(), nullptr);
    EXPECT_TRUE(TOrvPowerEvents::System()->Listening());
    std::vector<int> codes;
    auto connection =
        QObject::connect(&shared, &TOrvPowerEvents::PowerBroadcast, [&](int event) { codes.push_back(event); });
    settle();
    QDBusConnection login = QDBusConnection(QStringLiteral("login"));
    // One at a time: the bus library may hold back a signal that comes before it knows the login
    // manager's name, and let a later one by first.
    sendSleep(login, true);
    EXPECT_TRUE(runUntil([&] { return codes.size() == 1; }));
    sendSleep(login, false);
    EXPECT_TRUE(runUntil([&] { return codes.size() == 2; }));
    QObject::disconnect(connection);
    EXPECT_EQ(codes, (std::vector<int>{pbtSuspend, pbtResumeSuspend}));
}

}  // namespace
