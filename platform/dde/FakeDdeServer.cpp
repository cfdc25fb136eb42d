#include "platform/dde/FakeDdeServer.h"

namespace platform::dde {

FakeDdeServer::FakeDdeServer(std::string service, std::vector<std::string> topics)
    : server_(std::move(service)), topics_(std::move(topics))
{
    server_.onConnect = [this](ServerConv, const std::string& topic) {
        if (topics_.empty())
            return true;
        for (const auto& t : topics_)
            if (wire::Fold(t) == wire::Fold(topic))
                return true;
        return false;
    };
    server_.onPoke = [this](ServerConv c, const std::string& topic, const std::string& item, uint32_t,
                            const Bytes& data) {
        records_.push_back({XTYP_POKE, c, topic, item, data, pokeAnswer});
        return pokeAnswer;
    };
    server_.onRequest = [this](ServerConv c, const std::string& topic, const std::string& item,
                               uint32_t) -> std::optional<Bytes> {
        auto it = values_.find({wire::Fold(topic), wire::Fold(item)});
        records_.push_back({XTYP_REQUEST, c, topic, item, {}, it != values_.end() ? 1u : 0u});
        if (it == values_.end())
            return std::nullopt;
        return it->second;
    };
    server_.onAdviseStart = [this](ServerConv c, const std::string& topic, const std::string& item, uint32_t) {
        bool ok = !refuseAdvise.count(item);
        records_.push_back({XTYP_ADVSTART, c, topic, item, {}, ok ? 1u : 0u});
        return ok;
    };
    server_.onAdviseStop = [this](ServerConv c, const std::string& topic, const std::string& item) {
        records_.push_back({XTYP_ADVSTOP, c, topic, item, {}, 1});
    };
    server_.onAdviseAck = [this](ServerConv c, const std::string& topic, const std::string& item,
                                 uint32_t answer) {
        records_.push_back({XTYP_ADVDATA, c, topic, item, {}, answer});
    };
    server_.onDisconnect = [this](ServerConv c, const std::string& topic) {
        records_.push_back({XTYP_DISCONNECT, c, topic, {}, {}, 0});
    };
}

int FakeDdeServer::SetItem(const std::string& topic, const std::string& item, const std::string& text)
{
    Bytes data(text.begin(), text.end());
    data.push_back(0);
    values_[{wire::Fold(topic), wire::Fold(item)}] = data;
    return server_.Advise(topic, item, data);
}

std::vector<FakeDdeServer::Record> FakeDdeServer::RecordsOf(uint32_t type) const
{
    std::vector<Record> out;
    for (const auto& r : records_)
        if (r.type == type)
            out.push_back(r);
    return out;
}

}  // namespace platform::dde
