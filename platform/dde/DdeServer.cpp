#include "platform/dde/DdeServer.h"

#include <QLocalServer>
#include <QLocalSocket>
#include <filesystem>

namespace fs = std::filesystem;

namespace platform::dde {

struct DdeServer::Peer {
    ServerConv id = 0;
    QLocalSocket* socket = nullptr;
    wire::FrameReader reader;
    bool connected = false;  // the topic was accepted
    std::string topic;
    std::set<std::string> links;  // folded item names
};

DdeServer::DdeServer(std::string service, QObject* parent) : QObject(parent), service_(std::move(service)) {}

DdeServer::~DdeServer() { Unregister(); }

bool DdeServer::Register()
{
    if (server_)
        return true;
    const fs::path path = wire::SocketPath(service_);
    const QString qpath = QString::fromStdString(path.string());
    std::error_code ec;
    if (fs::exists(fs::symlink_status(path, ec))) {
        QLocalSocket probe;
        probe.connectToServer(qpath);
        if (probe.waitForConnected(500))
            return false;  // served by someone else
        fs::remove(path, ec);  // left behind by a server that died
    }
    auto* server = new QLocalServer(this);
    server->setSocketOptions(QLocalServer::UserAccessOption);
    if (!server->listen(qpath)) {
        delete server;
        return false;
    }
    server_ = server;
    connect(server_, &QLocalServer::newConnection, this, [this] { onNewConnection(); });
    return true;
}

void DdeServer::Unregister()
{
    while (!peers_.empty())
        drop(peers_.begin()->first);
    if (server_) {
        server_->close();  // also removes the socket file
        delete server_;
        server_ = nullptr;
    }
}

void DdeServer::onNewConnection()
{
    while (QLocalSocket* socket = server_->nextPendingConnection()) {
        auto p = std::make_unique<Peer>();
        ServerConv id = next_++;
        p->id = id;
        p->socket = socket;
        connect(socket, &QLocalSocket::readyRead, this, [this, id] { onReadable(id); });
        connect(socket, &QLocalSocket::disconnected, this, [this, id] { onClosed(id); });
        peers_[id] = std::move(p);
        if (socket->bytesAvailable() > 0)
            onReadable(id);
    }
}

void DdeServer::onReadable(ServerConv id)
{
    auto it = peers_.find(id);
    if (it == peers_.end())
        return;
    Peer& p = *it->second;
    QByteArray bytes = p.socket->readAll();
    p.reader.Append(bytes.constData(), size_t(bytes.size()));
    while (auto f = p.reader.Next()) {
        handleFrame(p, *f);
        if (!peers_.count(id))
            return;  // a hook ended the conversation
    }
    if (p.reader.Broken())
        onClosed(id);  // a client that talks nonsense is dropped
}

void DdeServer::reply(Peer& p, wire::Kind kind, uint32_t id, uint32_t code, const Bytes* data)
{
    wire::Frame f;
    f.kind = kind;
    f.id = id;
    f.code = code;
    if (data)
        f.data = *data;
    std::string frame = wire::Encode(f);
    if (frame.empty()) {  // an answer beyond the bound goes as a refusal
        f.data.clear();
        f.code = 0;
        frame = wire::Encode(f);
    }
    p.socket->write(frame.data(), qint64(frame.size()));
}

void DdeServer::handleFrame(Peer& p, wire::Frame& f)
{
    const ServerConv id = p.id;
    if (!p.connected) {
        if (f.kind != wire::Kind::Connect) {
            onClosed(id);
            return;
        }
        bool accept = !onConnect || onConnect(id, f.name);
        if (!peers_.count(id))
            return;
        p.connected = accept;
        p.topic = f.name;
        reply(p, wire::Kind::ConnectReply, f.id, accept ? 1 : 0);
        if (!accept) {
            p.socket->flush();
            drop(id);
        }
        return;
    }
    const std::string topic = p.topic;
    switch (f.kind) {
    case wire::Kind::Poke: {
        uint32_t answer = onPoke ? onPoke(id, topic, f.name, f.format, f.data) : DDE_FNOTPROCESSED;
        if (peers_.count(id))
            reply(p, wire::Kind::Reply, f.id, answer);
        break;
    }
    case wire::Kind::Request: {
        std::optional<Bytes> value = onRequest ? onRequest(id, topic, f.name, f.format) : std::nullopt;
        if (peers_.count(id))
            reply(p, wire::Kind::Reply, f.id, value ? 1 : 0, value ? &*value : nullptr);
        break;
    }
    case wire::Kind::AdviseStart: {
        bool ok = !onAdviseStart || onAdviseStart(id, topic, f.name, f.format);
        if (!peers_.count(id))
            break;
        if (ok)
            p.links.insert(wire::Fold(f.name));
        reply(p, wire::Kind::Reply, f.id, ok ? 1 : 0);
        break;
    }
    case wire::Kind::AdviseStop: {
        bool had = p.links.erase(wire::Fold(f.name)) != 0;
        if (had && onAdviseStop)
            onAdviseStop(id, topic, f.name);
        if (peers_.count(id))
            reply(p, wire::Kind::Reply, f.id, had ? 1 : 0);
        break;
    }
    case wire::Kind::AdviseAck:
        if (onAdviseAck)
            onAdviseAck(id, topic, f.name, f.code);
        break;
    default:
        onClosed(id);  // not something a client sends
        break;
    }
}

void DdeServer::onClosed(ServerConv id)
{
    auto it = peers_.find(id);
    if (it == peers_.end())
        return;
    bool wasConnected = it->second->connected;
    std::string topic = it->second->topic;
    drop(id);
    if (wasConnected && onDisconnect)
        onDisconnect(id, topic);
}

void DdeServer::drop(ServerConv id)
{
    auto it = peers_.find(id);
    if (it == peers_.end())
        return;
    QLocalSocket* socket = it->second->socket;
    QObject::disconnect(socket, nullptr, this, nullptr);
    socket->flush();
    socket->disconnectFromServer();
    socket->deleteLater();  // we may be inside one of its signals
    peers_.erase(it);
}

int DdeServer::Advise(const std::string& topic, const std::string& item, const Bytes& data, uint32_t format)
{
    wire::Frame f;
    f.kind = wire::Kind::AdviseData;
    f.format = format;
    f.name = item;
    f.data = data;
    std::string frame = wire::Encode(f);
    if (frame.empty())
        return 0;
    const std::string t = wire::Fold(topic), i = wire::Fold(item);
    int sent = 0;
    for (auto& [id, p] : peers_)
        if (p->connected && wire::Fold(p->topic) == t && p->links.count(i)) {
            p->socket->write(frame.data(), qint64(frame.size()));
            ++sent;
        }
    return sent;
}

bool DdeServer::Disconnect(ServerConv conv)
{
    if (!peers_.count(conv))
        return false;
    drop(conv);
    return true;
}

std::vector<ServerConv> DdeServer::Conversations() const
{
    std::vector<ServerConv> out;
    for (const auto& [id, p] : peers_)
        if (p->connected)
            out.push_back(id);
    return out;
}

std::string DdeServer::TopicOf(ServerConv conv) const
{
    auto it = peers_.find(conv);
    return it == peers_.end() ? std::string() : it->second->topic;
}

bool DdeServer::HasLink(ServerConv conv, const std::string& item) const
{
    auto it = peers_.find(conv);
    return it != peers_.end() && it->second->links.count(wire::Fold(item)) != 0;
}

}  // namespace platform::dde
