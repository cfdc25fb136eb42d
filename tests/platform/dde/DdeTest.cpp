#include "platform/dde/DdeClient.h"
#include "platform/dde/DdeServer.h"
#include "platform/dde/FakeDdeServer.h"

#include "TestSupport.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QLocalServer>
#include <QLocalSocket>
#include <QThread>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

using namespace platform::dde;

namespace {

constexpr uint32_t kAppletFlags = 0x1FF010;    // disconnects delivered, registrations skipped
constexpr uint32_t kRecorderFlags = 0x17F010;  // registrations delivered as well

template <typename Pred>
bool waitFor(Pred pred, int ms = 3000)
{
    QElapsedTimer t;
    t.start();
    while (!pred()) {
        if (t.elapsed() > ms)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(1);
    }
    return true;
}

std::string text(const Bytes& b) { return std::string(b.begin(), b.end()); }

class DdeTest : public ::testing::Test {
protected:
    testsupport::TempDir dir;
    testsupport::ScopedEnv runtime{"XDG_RUNTIME_DIR", dir.path().string()};
    std::vector<DdeEvent> events;
    uint32_t advAnswer = DDE_FACK;
    DdeCallback record()
    {
        return [this](const DdeEvent& e) -> uint32_t {
            events.push_back(e);
            return e.type == XTYP_ADVDATA ? advAnswer : 0;
        };
    }
    std::vector<DdeEvent> eventsOf(uint32_t type) const
    {
        std::vector<DdeEvent> out;
        for (const auto& e : events)
            if (e.type == type)
                out.push_back(e);
        return out;
    }
};

TEST_F(DdeTest, ConnectToAbsentServiceOrTopicFails)
{
    DdeClient client(record(), kAppletFlags);
    EXPECT_EQ(client.Connect("Korvanta", "Korvanta #1"), 0u);
    EXPECT_EQ(client.LastError(), DMLERR_NO_CONN_ESTABLISHED);

    FakeDdeServer host("Korvanta", {"Korvanta #1"});
    ASSERT_TRUE(host.Register());
    EXPECT_EQ(client.Connect("Korvanta", "Korvanta #2"), 0u);  // a host serving only receiver 1
    HConv conv = client.Connect("korvanta", "KORVANTA #1");     // names ignore case
    EXPECT_NE(conv, 0u);
    EXPECT_TRUE(client.Connected(conv));
    EXPECT_TRUE(waitFor([&] { return host.Server().Conversations().size() == 1; }));
}

TEST_F(DdeTest, SynchronousPokeCarriesTheNulAndTheAnswer)
{
    FakeDdeServer host;
    ASSERT_TRUE(host.Register());
    DdeClient client(record(), 0x3FF010);
    HConv conv = client.Connect("Korvanta", "Korvanta #3");
    ASSERT_NE(conv, 0u);

    const std::string entry = "DTMF Decoder|/usr/bin/quenda";
    EXPECT_TRUE(client.Poke(conv, "Quenda Applet", DdeClient::Text(entry), 30000));
    ASSERT_EQ(host.RecordsOf(XTYP_POKE).size(), 1u);
    const auto poke = host.RecordsOf(XTYP_POKE)[0];
    EXPECT_EQ(poke.topic, "Korvanta #3");
    EXPECT_EQ(poke.item, "Quenda Applet");
    EXPECT_EQ(poke.data.size(), entry.size() + 1);
    EXPECT_EQ(text(poke.data), entry + std::string(1, '\0'));

    host.pokeAnswer = DDE_FNOTPROCESSED;
    EXPECT_FALSE(client.Poke(conv, "Mute", DdeClient::Text("1"), 10000));
    EXPECT_EQ(client.LastError(), DMLERR_NOTPROCESSED);
    host.pokeAnswer = DDE_FBUSY;
    EXPECT_FALSE(client.Poke(conv, "Mute", DdeClient::Text("1"), 10000));

    // beyond the bound nothing is sent
    EXPECT_FALSE(client.Poke(conv, "Mute", Bytes(kMaxDataBytes + 1, 'x'), 1000));
    EXPECT_EQ(client.LastError(), DMLERR_INVALIDPARAMETER);
    EXPECT_EQ(host.RecordsOf(XTYP_POKE).size(), 3u);
    EXPECT_FALSE(client.Poke(0, "Mute", DdeClient::Text("1"), 1000));
    EXPECT_EQ(client.LastError(), DMLERR_NO_CONN_ESTABLISHED);
}

// A server that takes the conversation and then never answers.
class SilentServer {
public:
    explicit SilentServer(const std::string& service)
    {
        server.listen(QString::fromStdString(wire::SocketPath(service).string()));
        QObject::connect(&server, &QLocalServer::newConnection, [this] {
            QLocalSocket* s = server.nextPendingConnection();
            QObject::connect(s, &QLocalSocket::readyRead, [this, s] {
                QByteArray b = s->readAll();
                reader.Append(b.constData(), size_t(b.size()));
                while (auto f = reader.Next()) {
                    ++frames;
                    if (f->kind == wire::Kind::Connect) {
                        std::string r = wire::Encode({wire::Kind::ConnectReply, f->id, 0, 1, {}, {}});
                        s->write(r.data(), qint64(r.size()));
                    }
                }
            });
        });
    }
    QLocalServer server;
    wire::FrameReader reader;
    int frames = 0;
};

TEST_F(DdeTest, SynchronousTransactionsTimeOut)
{
    SilentServer silent("Silent");
    DdeClient client(record(), kAppletFlags);
    HConv conv = client.Connect("Silent", "Korvanta #1");
    ASSERT_NE(conv, 0u);

    struct Case {
        uint32_t type;
        uint32_t error;
    } cases[] = {{XTYP_POKE, DMLERR_POKEACKTIMEOUT},
                 {XTYP_REQUEST, DMLERR_DATAACKTIMEOUT},
                 {XTYP_ADVSTART, DMLERR_ADVACKTIMEOUT},
                 {XTYP_ADVSTOP, DMLERR_UNADVACKTIMEOUT}};
    for (const auto& c : cases) {
        Bytes data = DdeClient::Text("1");
        QElapsedTimer t;
        t.start();
        EXPECT_FALSE(client.ClientTransaction(&data, conv, "ScanState", CF_TEXT, c.type, 120));
        EXPECT_GE(t.elapsed(), 110);
        EXPECT_LT(t.elapsed(), 2000);
        EXPECT_EQ(client.LastError(), c.error) << std::hex << c.type;
    }
    EXPECT_EQ(silent.frames, 5);
    EXPECT_TRUE(client.Connected(conv));  // a time-out does not end the conversation
}

TEST_F(DdeTest, AsynchronousPokeCompletesLater)
{
    FakeDdeServer host;
    ASSERT_TRUE(host.Register());
    DdeClient client(record(), kAppletFlags);
    HConv conv = client.Connect("Korvanta", "Korvanta #1");
    ASSERT_NE(conv, 0u);

    uint32_t tx = 0;
    ASSERT_TRUE(client.Poke(conv, "ScanState", DdeClient::Text("1"), TIMEOUT_ASYNC, CF_TEXT, &tx));
    EXPECT_NE(tx, 0u);
    EXPECT_TRUE(host.RecordsOf(XTYP_POKE).empty());  // sent, not waited for
    ASSERT_TRUE(waitFor([&] { return !eventsOf(XTYP_XACT_COMPLETE).empty(); }));
    const DdeEvent e = eventsOf(XTYP_XACT_COMPLETE)[0];
    EXPECT_EQ(e.transaction, tx);
    EXPECT_EQ(e.conv, conv);
    EXPECT_EQ(e.result, DDE_FACK);
    ASSERT_EQ(host.RecordsOf(XTYP_POKE).size(), 1u);
    EXPECT_EQ(host.RecordsOf(XTYP_POKE)[0].data, DdeClient::Text("1"));
}

TEST_F(DdeTest, RequestAnswersTheItemsValue)
{
    FakeDdeServer host;
    ASSERT_TRUE(host.Register());
    host.SetItem("Korvanta #1", "SignalStrength", "42");
    DdeClient client(record(), kRecorderFlags);
    HConv conv = client.Connect("Korvanta", "Korvanta #1");
    ASSERT_NE(conv, 0u);
    auto value = client.Request(conv, "signalstrength", 1000);
    ASSERT_TRUE(value.has_value());
    EXPECT_EQ(text(*value), std::string("42\0", 3));
    EXPECT_FALSE(client.Request(conv, "Squelch", 1000).has_value());
    EXPECT_EQ(client.LastError(), DMLERR_NOTPROCESSED);
}

TEST_F(DdeTest, AdviseLinkDeliversDataUntilStopped)
{
    FakeDdeServer host;
    ASSERT_TRUE(host.Register());
    host.refuseAdvise = {"Mute"};
    DdeClient client(record(), kAppletFlags);
    HConv conv = client.Connect("Korvanta", "Korvanta #1");
    ASSERT_NE(conv, 0u);

    EXPECT_FALSE(client.AdviseStart(conv, "Mute", 1000));
    EXPECT_TRUE(client.Connected(conv));  // a refused link leaves the conversation standing
    ASSERT_TRUE(client.AdviseStart(conv, "ScanState", 5000));
    EXPECT_EQ(host.SetItem("Korvanta #2", "ScanState", "1"), 0);  // other receiver: not linked
    EXPECT_EQ(host.SetItem("Korvanta #1", "ScanState", "1"), 1);
    advAnswer = DDE_FACK;
    ASSERT_TRUE(waitFor([&] { return host.RecordsOf(XTYP_ADVDATA).size() == 1; }));
    advAnswer = DDE_FNOTPROCESSED;
    EXPECT_EQ(host.SetItem("Korvanta #1", "ScanState", "0"), 1);
    ASSERT_TRUE(waitFor([&] { return host.RecordsOf(XTYP_ADVDATA).size() == 2; }));

    auto data = eventsOf(XTYP_ADVDATA);
    ASSERT_EQ(data.size(), 2u);
    EXPECT_EQ(data[0].conv, conv);
    EXPECT_EQ(data[0].topic, "Korvanta #1");
    EXPECT_EQ(data[0].item, "ScanState");
    EXPECT_EQ(data[0].format, CF_TEXT);
    EXPECT_EQ(text(data[0].data), std::string("1\0", 2));
    EXPECT_EQ(text(data[1].data), std::string("0\0", 2));
    EXPECT_EQ(host.RecordsOf(XTYP_ADVDATA)[0].answer, DDE_FACK);  // the callback's answer goes back
    EXPECT_EQ(host.RecordsOf(XTYP_ADVDATA)[1].answer, DDE_FNOTPROCESSED);

    EXPECT_TRUE(client.AdviseStop(conv, "ScanState", 1000));
    EXPECT_FALSE(client.AdviseStop(conv, "ScanState", 1000));  // no link any more
    EXPECT_EQ(host.SetItem("Korvanta #1", "ScanState", "1"), 0);
}

TEST_F(DdeTest, EventsWaitUntilASynchronousCallReturns)
{
    FakeDdeServer host;
    ASSERT_TRUE(host.Register());
    DdeClient client(record(), kAppletFlags);
    HConv conv = client.Connect("Korvanta", "Korvanta #1");
    ASSERT_NE(conv, 0u);
    ASSERT_TRUE(client.AdviseStart(conv, "ScanState", 1000));
    // the host sends advise data before it answers the poke
    host.Server().onPoke = [&](ServerConv, const std::string& topic, const std::string&, uint32_t,
                               const Bytes&) {
        host.Server().Advise(topic, "ScanState", DdeClient::Text("7"));
        return DDE_FACK;
    };
    EXPECT_TRUE(client.Poke(conv, "ScanState", DdeClient::Text("1"), 1000));
    EXPECT_TRUE(events.empty());  // not inside the poke
    ASSERT_TRUE(waitFor([&] { return eventsOf(XTYP_ADVDATA).size() == 1; }));
}

TEST_F(DdeTest, DisconnectsAreReportedToThePartner)
{
    FakeDdeServer host;
    ASSERT_TRUE(host.Register());
    DdeClient client(record(), kAppletFlags);
    HConv first = client.Connect("Korvanta", "Korvanta #1");
    HConv second = client.Connect("Korvanta", "Korvanta #2");
    ASSERT_NE(first, 0u);
    ASSERT_NE(second, 0u);
    ASSERT_TRUE(waitFor([&] { return host.Server().Conversations().size() == 2; }));

    // the host ends the second conversation: the client hears of that one only
    for (ServerConv c : host.Server().Conversations()) {
        if (host.Server().TopicOf(c) == "Korvanta #2") {
            EXPECT_TRUE(host.Server().Disconnect(c));
        }
    }
    ASSERT_TRUE(waitFor([&] { return !eventsOf(XTYP_DISCONNECT).empty(); }));
    EXPECT_EQ(eventsOf(XTYP_DISCONNECT)[0].conv, second);
    EXPECT_FALSE(client.Connected(second));
    EXPECT_TRUE(client.Connected(first));

    // the client ends the first: the host hears of it, the client's callback does not
    EXPECT_TRUE(client.Disconnect(first));
    EXPECT_FALSE(client.Disconnect(first));
    ASSERT_TRUE(waitFor([&] { return host.RecordsOf(XTYP_DISCONNECT).size() == 1; }));
    EXPECT_EQ(host.RecordsOf(XTYP_DISCONNECT)[0].topic, "Korvanta #1");
    QCoreApplication::processEvents();
    EXPECT_EQ(eventsOf(XTYP_DISCONNECT).size(), 1u);
}

TEST_F(DdeTest, HostGoingAwayEndsTheConversationAndTheCallbackMayEndTheClient)
{
    FakeDdeServer host;
    ASSERT_TRUE(host.Register());
    bool told = false;
    DdeClient* client = nullptr;
    HConv conv = 0;
    // an applet's callback: its own disconnect closes the window, which ends the client
    client = new DdeClient([&](const DdeEvent& e) -> uint32_t {
        if (e.type == XTYP_DISCONNECT && e.conv == conv) {
            told = true;
            delete client;
            client = nullptr;
        }
        return 0;
    }, kAppletFlags);
    conv = client->Connect("Korvanta", "Korvanta #1");
    ASSERT_NE(conv, 0u);
    host.Unregister();
    EXPECT_TRUE(waitFor([&] { return told; }));
    EXPECT_EQ(client, nullptr);
}

TEST_F(DdeTest, SkippedDisconnectsAreNotReported)
{
    FakeDdeServer host;
    ASSERT_TRUE(host.Register());
    DdeClient client(record(), 0x3FF010);
    HConv conv = client.Connect("Korvanta", "Korvanta #1");
    ASSERT_NE(conv, 0u);
    host.Unregister();
    ASSERT_TRUE(waitFor([&] { return !client.Connected(conv); }));
    QCoreApplication::processEvents();
    EXPECT_TRUE(events.empty());
}

TEST_F(DdeTest, RegistrationOfAServiceIsReportedWhenAsked)
{
    DdeClient recorder(record(), kRecorderFlags);
    std::vector<DdeEvent> appletEvents;
    DdeClient applet([&](const DdeEvent& e) -> uint32_t { appletEvents.push_back(e); return 0; }, kAppletFlags);
    FakeDdeServer host;
    ASSERT_TRUE(host.Register());
    ASSERT_TRUE(waitFor([&] { return !eventsOf(XTYP_REGISTER).empty(); }));
    const DdeEvent e = eventsOf(XTYP_REGISTER)[0];
    EXPECT_EQ(e.service, "korvanta");
    EXPECT_EQ(e.conv, 0u);
    // a reconnect from inside the registration works
    EXPECT_NE(recorder.Connect(e.service, "Korvanta #1"), 0u);
    QCoreApplication::processEvents();
    EXPECT_TRUE(appletEvents.empty());
}

TEST_F(DdeTest, OneServerPerServiceAndStaleSocketsAreTakenOver)
{
    // a socket file that nobody listens on, as a crashed server leaves it
    std::string path = wire::SocketPath("Korvanta").string();
    int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    std::snprintf(addr.sun_path, sizeof addr.sun_path, "%s", path.c_str());
    ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
    ::close(fd);

    DdeServer first("Korvanta"), second("KORVANTA");
    EXPECT_TRUE(first.Register());
    EXPECT_FALSE(second.Register());
    DdeClient client(record(), kAppletFlags);
    EXPECT_NE(client.Connect("Korvanta", "Korvanta #1"), 0u);
    first.Unregister();
    EXPECT_FALSE(std::filesystem::exists(path));
    EXPECT_TRUE(second.Register());
}

TEST_F(DdeTest, MalformedFramesCloseTheConnection)
{
    FakeDdeServer host;
    ASSERT_TRUE(host.Register());
    const QString path = QString::fromStdString(wire::SocketPath("Korvanta").string());

    const std::vector<std::string> garbage = {
        std::string("\xFF\xFF\xFF\x7F", 4) + "huge",                       // length beyond the bound
        std::string("\x02\x00\x00\x00xy", 6),                               // shorter than a header
        wire::Encode({wire::Kind::Poke, 1, 1, 0, "item", {1}}),            // no connect first
        [] {                                                                // name longer than the frame
            std::string f = wire::Encode({wire::Kind::Connect, 1, 0, 0, "Korvanta #1", {}});
            f[4 + 13] = char(0xFF);
            return f;
        }(),
        std::string(1, '\x13') + std::string(3, '\0') + std::string(19, '\x63'),  // unknown kind
    };
    for (const auto& bytes : garbage) {
        QLocalSocket raw;
        raw.connectToServer(path);
        ASSERT_TRUE(raw.waitForConnected(1000));
        raw.write(bytes.data(), qint64(bytes.size()));
        raw.flush();
        EXPECT_TRUE(waitFor([&] { return raw.state() == QLocalSocket::UnconnectedState; }, 2000));
    }
    // and the service goes on
    DdeClient client(record(), kAppletFlags);
    HConv conv = client.Connect("Korvanta", "Korvanta #1");
    ASSERT_NE(conv, 0u);
    EXPECT_TRUE(client.Poke(conv, "x", DdeClient::Text("1"), 1000));
}

TEST_F(DdeTest, ClientDropsAServerThatTalksNonsense)
{
    SilentServer liar("Liar");
    DdeClient client(record(), kAppletFlags);
    HConv conv = client.Connect("Liar", "Korvanta #1");
    ASSERT_NE(conv, 0u);
    ASSERT_EQ(liar.server.findChildren<QLocalSocket*>().size(), 1);
    QLocalSocket* s = liar.server.findChildren<QLocalSocket*>()[0];
    std::string junk("\x05\x00\x00\x00\x01\x02\x03\x04\x05", 9);
    s->write(junk.data(), qint64(junk.size()));
    ASSERT_TRUE(waitFor([&] { return !eventsOf(XTYP_DISCONNECT).empty(); }));
    EXPECT_EQ(eventsOf(XTYP_DISCONNECT)[0].conv, conv);
    EXPECT_FALSE(client.Connected(conv));
}

TEST(DdeWire, FramesRoundTripAcrossSplitReads)
{
    wire::Frame f{wire::Kind::AdviseData, 7, CF_TEXT, 0x8000, "SignalStrength", {'4', '2', 0}};
    std::string bytes = wire::Encode(f) + wire::Encode({wire::Kind::Reply, 9, 0, 1, {}, {}});
    wire::FrameReader reader;
    std::vector<wire::Frame> got;
    for (char c : bytes) {  // one byte at a time
        reader.Append(&c, 1);
        while (auto g = reader.Next())
            got.push_back(*g);
    }
    ASSERT_EQ(got.size(), 2u);
    EXPECT_EQ(got[0].kind, wire::Kind::AdviseData);
    EXPECT_EQ(got[0].id, 7u);
    EXPECT_EQ(got[0].code, 0x8000u);
    EXPECT_EQ(got[0].name, "SignalStrength");
    EXPECT_EQ(got[0].data, (Bytes{'4', '2', 0}));
    EXPECT_EQ(got[1].kind, wire::Kind::Reply);
    EXPECT_FALSE(reader.Broken());
    EXPECT_TRUE(wire::Encode({wire::Kind::Poke, 1, 1, 0, std::string(kMaxNameBytes + 1, 'n'), {}}).empty());
}

TEST(DdeWire, SocketNamesDecodeBackToTheService)
{
    testsupport::TempDir dir;
    testsupport::ScopedEnv runtime("XDG_RUNTIME_DIR", dir.path().string());
    auto path = wire::SocketPath("Korvanta Quenda/../x");
    EXPECT_EQ(path.parent_path(), dir.path());
    EXPECT_EQ(wire::ServiceOfSocket(path.filename().string()), "korvanta quenda/../x");
    EXPECT_FALSE(wire::ServiceOfSocket("korvanta-atom-korvanta.lock").has_value());
    auto longName = wire::SocketPath(std::string(300, 'k'));
    EXPECT_LT(longName.filename().string().size(), 70u);  // sockets have a short path limit
    EXPECT_FALSE(wire::ServiceOfSocket(longName.filename().string()).has_value());
}

}  // namespace
