#pragma once
// The host's side of the DDE link: serves one service with a topic per receiver and reports
// what the clients do; HostCore decides the answers.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

class DdeService {
public:
    using Bytes = std::vector<uint8_t>;
    virtual ~DdeService() = default;
    // Starts serving; false when the service cannot be offered.
    virtual bool serve(const std::string& service, const std::string& topic) = 0;
    // Sends advise data of an item to every conversation advising it.
    virtual void advise(const std::string& item, const Bytes& data) = 0;
    // Ends every conversation, so the applets close.
    virtual void disconnectAll() = 0;
    virtual int conversations() const = 0;

    // What the clients do (conversation, item, data). A poke returns whether it was taken.
    std::function<void(uint32_t conv)> onConnect;
    std::function<void(uint32_t conv)> onDisconnect;
    std::function<bool(uint32_t conv, const std::string& item, const Bytes& data)> onPoke;
    std::function<std::optional<Bytes>(uint32_t conv, const std::string& item)> onRequest;
    std::function<bool(uint32_t conv, const std::string& item, bool start)> onAdvise;
};
