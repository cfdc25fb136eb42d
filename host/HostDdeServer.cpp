#include "HostDdeServer.h"

#include "platform/dde/DdeServer.h"

namespace {

bool SameText(const std::string& a, const std::string& b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'A' && x <= 'Z')
            x = char(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z')
            y = char(y - 'A' + 'a');
        if (x != y)
            return false;
    }
    return true;
}

uint32_t Conv(platform::dde::ServerConv c) { return static_cast<uint32_t>(c); }

}  // namespace

HostDdeServer::HostDdeServer() = default;

HostDdeServer::~HostDdeServer() = default;

bool HostDdeServer::serve(const std::string& service, const std::string& topic)
{
    namespace dde = platform::dde;
    topic_ = topic;
    server_ = std::make_unique<dde::DdeServer>(service);
    server_->onConnect = [this](dde::ServerConv conv, const std::string& t) {
        if (!SameText(t, topic_))
            return false;
        if (onConnect)
            onConnect(Conv(conv));
        return true;
    };
    server_->onDisconnect = [this](dde::ServerConv conv, const std::string&) {
        if (onDisconnect)
            onDisconnect(Conv(conv));
    };
    server_->onPoke = [this](dde::ServerConv conv, const std::string&, const std::string& item, uint32_t format,
                             const dde::Bytes& data) -> uint32_t {
        if (format != dde::CF_TEXT || !onPoke)
            return dde::DDE_FNOTPROCESSED;
        return onPoke(Conv(conv), item, data) ? dde::DDE_FACK : dde::DDE_FNOTPROCESSED;
    };
    server_->onRequest = [this](dde::ServerConv conv, const std::string&, const std::string& item,
                                uint32_t format) -> std::optional<dde::Bytes> {
        if (format != dde::CF_TEXT || !onRequest)
            return std::nullopt;
        return onRequest(Conv(conv), item);
    };
    server_->onAdviseStart = [this](dde::ServerConv conv, const std::string&, const std::string& item,
                                    uint32_t format) {
        return format == dde::CF_TEXT && onAdvise && onAdvise(Conv(conv), item, true);
    };
    server_->onAdviseStop = [this](dde::ServerConv conv, const std::string&, const std::string& item) {
        if (onAdvise)
            onAdvise(Conv(conv), item, false);
    };
    if (!server_->Register()) {
        server_.reset();
        return false;
    }
    return true;
}

void HostDdeServer::advise(const std::string& item, const Bytes& data)
{
    if (server_)
        server_->Advise(topic_, item, data);
}

void HostDdeServer::disconnectAll()
{
    if (!server_)
        return;
    for (platform::dde::ServerConv conv : server_->Conversations())
        server_->Disconnect(conv);
}

int HostDdeServer::conversations() const { return server_ ? int(server_->Conversations().size()) : 0; }
