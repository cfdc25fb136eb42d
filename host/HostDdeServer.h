#pragma once
// The host's DDE service on the machine's conversation service: one service name, one topic
// (the receiver's), every other topic refused.
#include "DdeService.h"

#include <memory>

namespace platform::dde {
class DdeServer;
}

class HostDdeServer : public DdeService {
public:
    HostDdeServer();
    ~HostDdeServer() override;
    bool serve(const std::string& service, const std::string& topic) override;
    void advise(const std::string& item, const Bytes& data) override;
    void disconnectAll() override;
    int conversations() const override;

private:
    std::unique_ptr<platform::dde::DdeServer> server_;
    std::string topic_;
};
