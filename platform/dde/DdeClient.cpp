#include "platform/dde/DdeClient.h"

#include "platform/instance/RuntimeName.h"

#include <QEventLoop>
#include <QFileSystemWatcher>
#include <QLocalSocket>
#include <QPointer>
#include <QTimer>
#include <filesystem>

namespace fs = std::filesystem;

namespace platform::dde {

namespace {
constexpr int kConnectTimeoutMs = 5000;
}

struct DdeClient::Conversation {
    HConv id = 0;
    std::string service;
    std::string topic;
    QLocalSocket* socket = nullptr;
    wire::FrameReader reader;
};

struct DdeClient::Wait {
    HConv conv = 0;
    uint32_t transaction = 0;
    bool done = false;
    bool lost = false;
    uint32_t code = 0;
    Bytes data;
    QEventLoop* loop = nullptr;
};

DdeClient::DdeClient(DdeCallback callback, uint32_t flags, QObject* parent)
    : QObject(parent), callback_(std::make_shared<const DdeCallback>(std::move(callback))), flags_(flags)
{
    if (!(flags_ & CBF_SKIP_REGISTRATIONS) || !(flags_ & CBF_SKIP_UNREGISTRATIONS)) {
        watcher_ = new QFileSystemWatcher(this);
        watcher_->addPath(QString::fromStdString(RuntimeFolder().string()));
        connect(watcher_, &QFileSystemWatcher::directoryChanged, this, [this] { scanServices(); });
        // what is there now is not news
        uint32_t saved = flags_;
        flags_ |= CBF_SKIP_REGISTRATIONS | CBF_SKIP_UNREGISTRATIONS;
        scanServices();
        flags_ = saved;
    }
}

DdeClient::~DdeClient()
{
    for (auto& [id, c] : conversations_) {
        QObject::disconnect(c->socket, nullptr, this, nullptr);
        c->socket->abort();
        delete c->socket;
    }
}

Bytes DdeClient::Text(const std::string& s)
{
    Bytes b(s.begin(), s.end());
    b.push_back(0);
    return b;
}

HConv DdeClient::Connect(const std::string& service, const std::string& topic)
{
    lastError_ = DMLERR_NO_CONN_ESTABLISHED;
    if (topic.size() > kMaxNameBytes)
        return 0;
    fs::path path = wire::SocketPath(service);
    std::error_code ec;
    if (!fs::is_socket(path, ec))
        return 0;
    auto* socket = new QLocalSocket(this);
    socket->connectToServer(QString::fromStdString(path.string()));
    if (!socket->waitForConnected(kConnectTimeoutMs)) {
        delete socket;
        return 0;
    }
    auto c = std::make_unique<Conversation>();
    HConv id = nextConv_++;
    c->id = id;
    c->service = service;
    c->topic = topic;
    c->socket = socket;
    connect(socket, &QLocalSocket::readyRead, this, [this, id] { onReadable(id); });
    connect(socket, &QLocalSocket::disconnected, this, [this, id] { onClosed(id); });
    Conversation& conv = *c;
    conversations_[id] = std::move(c);

    uint32_t tx = nextTransaction_++;
    wire::Frame f;
    f.kind = wire::Kind::Connect;
    f.id = tx;
    f.name = topic;
    if (!send(conv, wire::Encode(f))) {
        Disconnect(id);
        return 0;
    }
    QPointer<DdeClient> self(this);
    std::optional<uint32_t> answer = waitReply(id, tx, kConnectTimeoutMs, nullptr);
    if (!self)
        return 0;
    if (!answer || *answer != 1) {
        Disconnect(id);
        lastError_ = DMLERR_NO_CONN_ESTABLISHED;
        return 0;
    }
    lastError_ = DMLERR_NO_ERROR;
    return id;
}

bool DdeClient::Disconnect(HConv conv)
{
    auto it = conversations_.find(conv);
    if (it == conversations_.end())
        return false;
    QLocalSocket* socket = it->second->socket;
    QObject::disconnect(socket, nullptr, this, nullptr);
    socket->abort();
    socket->deleteLater();  // we may be inside one of its signals
    conversations_.erase(it);
    if (wait_ && wait_->conv == conv) {
        wait_->lost = true;
        wait_->loop->quit();
    }
    return true;
}

bool DdeClient::Connected(HConv conv) const { return conversations_.count(conv) != 0; }

bool DdeClient::send(Conversation& c, const std::string& frame)
{
    if (frame.empty() || c.socket->state() != QLocalSocket::ConnectedState)
        return false;
    return c.socket->write(frame.data(), qint64(frame.size())) == qint64(frame.size());
}

bool DdeClient::ClientTransaction(const Bytes* data, HConv conv, const std::string& item, uint32_t format,
                                  uint32_t type, uint32_t timeoutMs, Bytes* result, uint32_t* transaction)
{
    auto it = conversations_.find(conv);
    if (it == conversations_.end()) {
        lastError_ = DMLERR_NO_CONN_ESTABLISHED;
        return false;
    }
    wire::Frame f;
    uint32_t timeoutError = DMLERR_NO_ERROR;
    switch (type) {
    case XTYP_POKE: f.kind = wire::Kind::Poke; timeoutError = DMLERR_POKEACKTIMEOUT; break;
    case XTYP_REQUEST: f.kind = wire::Kind::Request; timeoutError = DMLERR_DATAACKTIMEOUT; break;
    case XTYP_ADVSTART: f.kind = wire::Kind::AdviseStart; timeoutError = DMLERR_ADVACKTIMEOUT; break;
    case XTYP_ADVSTOP: f.kind = wire::Kind::AdviseStop; timeoutError = DMLERR_UNADVACKTIMEOUT; break;
    default: lastError_ = DMLERR_INVALIDPARAMETER; return false;
    }
    if ((type == XTYP_POKE && !data) || item.size() > kMaxNameBytes || (data && data->size() > kMaxDataBytes)) {
        lastError_ = DMLERR_INVALIDPARAMETER;
        return false;
    }
    uint32_t tx = nextTransaction_++;
    if (nextTransaction_ == 0)
        nextTransaction_ = 1;
    f.id = tx;
    f.format = format;
    f.name = item;
    if (type == XTYP_POKE)
        f.data = *data;
    if (!send(*it->second, wire::Encode(f))) {
        lastError_ = DMLERR_NO_CONN_ESTABLISHED;
        return false;
    }
    if (timeoutMs == TIMEOUT_ASYNC) {
        pending_[tx] = Pending{conv, type, item, format};
        if (transaction)
            *transaction = tx;
        lastError_ = DMLERR_NO_ERROR;
        return true;
    }
    QPointer<DdeClient> self(this);
    Bytes answerData;
    std::optional<uint32_t> code = waitReply(conv, tx, timeoutMs, &answerData);
    if (!self)
        return false;
    if (!code) {
        lastError_ = Connected(conv) ? timeoutError : DMLERR_NO_CONN_ESTABLISHED;
        return false;
    }
    bool ok = type == XTYP_POKE ? (*code & DDE_FACK) != 0 : *code == 1;
    lastError_ = ok ? DMLERR_NO_ERROR : DMLERR_NOTPROCESSED;
    if (ok && type == XTYP_REQUEST && result)
        *result = std::move(answerData);
    return ok;
}

bool DdeClient::Poke(HConv conv, const std::string& item, const Bytes& data, uint32_t timeoutMs,
                     uint32_t format, uint32_t* transaction)
{
    return ClientTransaction(&data, conv, item, format, XTYP_POKE, timeoutMs, nullptr, transaction);
}

std::optional<Bytes> DdeClient::Request(HConv conv, const std::string& item, uint32_t timeoutMs,
                                        uint32_t format)
{
    Bytes data;
    if (timeoutMs == TIMEOUT_ASYNC || !ClientTransaction(nullptr, conv, item, format, XTYP_REQUEST, timeoutMs, &data))
        return std::nullopt;
    return data;
}

bool DdeClient::AdviseStart(HConv conv, const std::string& item, uint32_t timeoutMs, uint32_t format)
{
    return ClientTransaction(nullptr, conv, item, format, XTYP_ADVSTART, timeoutMs);
}

bool DdeClient::AdviseStop(HConv conv, const std::string& item, uint32_t timeoutMs, uint32_t format)
{
    return ClientTransaction(nullptr, conv, item, format, XTYP_ADVSTOP, timeoutMs);
}

std::optional<uint32_t> DdeClient::waitReply(HConv conv, uint32_t transaction, uint32_t timeoutMs, Bytes* data)
{
    QEventLoop loop;
    Wait w;
    w.conv = conv;
    w.transaction = transaction;
    w.loop = &loop;
    Wait* outer = wait_;
    wait_ = &w;
    ++waiting_;
    QTimer timer;
    timer.setSingleShot(true);
    connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
    timer.start(int(std::min<uint32_t>(std::max<uint32_t>(timeoutMs, 1), 24u * 3600 * 1000)));
    QPointer<DdeClient> self(this);
    if (!w.done && !w.lost)
        loop.exec();
    if (!self)
        return std::nullopt;
    --waiting_;
    wait_ = outer;
    if (!events_.empty())
        deliverLater();
    if (!w.done)
        return std::nullopt;
    if (data)
        *data = std::move(w.data);
    return w.code;
}

void DdeClient::onReadable(HConv id)
{
    auto it = conversations_.find(id);
    if (it == conversations_.end())
        return;
    Conversation& c = *it->second;
    QByteArray bytes = c.socket->readAll();
    c.reader.Append(bytes.constData(), size_t(bytes.size()));
    while (auto f = c.reader.Next()) {
        handleFrame(c, *f);
        if (!Connected(id))
            return;
    }
    if (c.reader.Broken()) {
        c.socket->abort();  // a partner that talks nonsense is dropped
        onClosed(id);
    }
}

void DdeClient::handleFrame(Conversation& c, wire::Frame& f)
{
    switch (f.kind) {
    case wire::Kind::ConnectReply:
    case wire::Kind::Reply:
        if (wait_ && wait_->conv == c.id && wait_->transaction == f.id) {
            wait_->done = true;
            wait_->code = f.code;
            wait_->data = std::move(f.data);
            wait_->loop->quit();
        } else if (auto p = pending_.find(f.id); p != pending_.end() && p->second.conv == c.id) {
            DdeEvent e;
            e.type = XTYP_XACT_COMPLETE;
            e.format = p->second.format;
            e.conv = c.id;
            e.topic = c.topic;
            e.item = p->second.item;
            e.transaction = f.id;
            e.result = f.code;
            if (p->second.type == XTYP_REQUEST && f.code == 1) {
                e.data = std::move(f.data);
                e.hasData = true;
            }
            pending_.erase(p);
            queue(std::move(e));
        }
        break;  // an answer after its time-out is dropped
    case wire::Kind::AdviseData: {
        DdeEvent e;
        e.type = XTYP_ADVDATA;
        e.format = f.format;
        e.conv = c.id;
        e.topic = c.topic;
        e.item = f.name;
        e.data = std::move(f.data);
        e.hasData = true;
        queue(std::move(e));
        break;
    }
    default:
        // a server does not send these: treat the connection as broken
        c.socket->abort();
        onClosed(c.id);
        break;
    }
}

void DdeClient::onClosed(HConv id)
{
    auto it = conversations_.find(id);
    if (it == conversations_.end())
        return;
    DdeEvent e;
    e.type = XTYP_DISCONNECT;
    e.conv = id;
    e.topic = it->second->topic;
    QLocalSocket* socket = it->second->socket;
    QObject::disconnect(socket, nullptr, this, nullptr);
    socket->deleteLater();
    conversations_.erase(it);
    for (auto p = pending_.begin(); p != pending_.end();)
        p = p->second.conv == id ? pending_.erase(p) : std::next(p);
    if (wait_ && wait_->conv == id) {
        wait_->lost = true;
        wait_->loop->quit();
    }
    if (!(flags_ & CBF_SKIP_DISCONNECTS))
        queue(std::move(e));
}

void DdeClient::queue(DdeEvent e)
{
    events_.push_back(std::move(e));
    deliverLater();
}

void DdeClient::deliverLater()
{
    if (deliveryQueued_)
        return;
    deliveryQueued_ = true;
    QTimer::singleShot(0, this, [this] { deliver(); });
}

void DdeClient::deliver()
{
    deliveryQueued_ = false;
    if (waiting_ > 0)
        return;  // handed out once the synchronous wait is over
    QPointer<DdeClient> self(this);
    while (!events_.empty() && waiting_ == 0) {
        DdeEvent e = std::move(events_.front());
        events_.pop_front();
        std::shared_ptr<const DdeCallback> callback = callback_;  // outlives the client if it is deleted
        uint32_t answer = *callback ? (*callback)(e) : 0;
        if (!self)
            return;  // the callback ended the client
        if (e.type == XTYP_ADVDATA) {
            auto it = conversations_.find(e.conv);
            if (it != conversations_.end()) {
                wire::Frame ack;
                ack.kind = wire::Kind::AdviseAck;
                ack.format = e.format;
                ack.code = answer;
                ack.name = e.item;
                send(*it->second, wire::Encode(ack));
            }
        }
    }
}

void DdeClient::scanServices()
{
    std::set<std::string> now;
    std::error_code ec;
    for (fs::directory_iterator it(RuntimeFolder(), ec), end; !ec && it != end; it.increment(ec)) {
        if (!it->is_socket(ec))
            continue;
        if (auto service = wire::ServiceOfSocket(it->path().filename().string()))
            now.insert(*service);
    }
    for (const auto& s : now)
        if (!services_.count(s) && !(flags_ & CBF_SKIP_REGISTRATIONS)) {
            DdeEvent e;
            e.type = XTYP_REGISTER;
            e.service = s;
            queue(std::move(e));
        }
    for (const auto& s : services_)
        if (!now.count(s) && !(flags_ & CBF_SKIP_UNREGISTRATIONS)) {
            DdeEvent e;
            e.type = XTYP_UNREGISTER;
            e.service = s;
            queue(std::move(e));
        }
    services_ = std::move(now);
}

}  // namespace platform::dde
