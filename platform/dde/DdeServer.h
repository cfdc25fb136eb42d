#pragma once
// The server side: registers a service, accepts conversations per topic, answers pokes, requests and
// advise links through hooks, and sends advise data to the linked conversations. Used by the host
// program; runs on the thread that owns the object.
#include "platform/dde/DdeTypes.h"
#include "platform/dde/DdeWire.h"

#include <QObject>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>

class QLocalServer;
class QLocalSocket;

namespace platform::dde {

using ServerConv = uint64_t;

class DdeServer : public QObject {
public:
    explicit DdeServer(std::string service, QObject* parent = nullptr);
    ~DdeServer() override;  // unregisters

    // Starts serving; false when another program serves the service already or the socket fails.
    // A socket left behind by a server that died is taken over.
    bool Register();
    // Ends every conversation (the clients see a disconnect) and stops serving.
    void Unregister();
    bool Registered() const { return server_ != nullptr; }
    const std::string& Service() const { return service_; }

    // Hooks; each may be left empty. They run from the event loop and may call Advise or Disconnect.
    std::function<bool(ServerConv, const std::string& topic)> onConnect;  // empty: every topic accepted
    // Answer DDE_FACK, DDE_FBUSY or DDE_FNOTPROCESSED (empty: not processed).
    std::function<uint32_t(ServerConv, const std::string& topic, const std::string& item, uint32_t format,
                           const Bytes& data)>
        onPoke;
    // The item's value, or nullopt to refuse (empty: refused).
    std::function<std::optional<Bytes>(ServerConv, const std::string& topic, const std::string& item,
                                       uint32_t format)>
        onRequest;
    // Whether to start the link (empty: started).
    std::function<bool(ServerConv, const std::string& topic, const std::string& item, uint32_t format)>
        onAdviseStart;
    std::function<void(ServerConv, const std::string& topic, const std::string& item)> onAdviseStop;
    // The client's answer to advise data (DDE_FACK ...).
    std::function<void(ServerConv, const std::string& topic, const std::string& item, uint32_t answer)>
        onAdviseAck;
    // The client ended the conversation (not called for Disconnect or Unregister).
    std::function<void(ServerConv, const std::string& topic)> onDisconnect;

    // Sends data to every conversation on the topic with a link on the item; returns how many.
    int Advise(const std::string& topic, const std::string& item, const Bytes& data, uint32_t format = CF_TEXT);
    // Ends one conversation; false when it is not open.
    bool Disconnect(ServerConv conv);
    std::vector<ServerConv> Conversations() const;
    std::string TopicOf(ServerConv conv) const;
    bool HasLink(ServerConv conv, const std::string& item) const;

private:
    struct Peer;
    void onNewConnection();
    void onReadable(ServerConv id);
    void onClosed(ServerConv id);
    void handleFrame(Peer& p, wire::Frame& f);
    void drop(ServerConv id);
    void reply(Peer& p, wire::Kind kind, uint32_t id, uint32_t code, const Bytes* data = nullptr);

    std::string service_;
    QLocalServer* server_ = nullptr;
    std::map<ServerConv, std::unique_ptr<Peer>> peers_;
    ServerConv next_ = 1;
};

}  // namespace platform::dde
