#pragma once
// A server for tests, in the test's own process: serves the given topics, records every transaction,
// answers requests from a table of item values and advises the linked clients when a value changes.
#include "platform/dde/DdeServer.h"

#include <map>
#include <set>
#include <string>
#include <vector>

namespace platform::dde {

class FakeDdeServer {
public:
    struct Record {
        uint32_t type;  // XTYP_CONNECT is not recorded; XTYP_POKE, XTYP_REQUEST, XTYP_ADVSTART,
                        // XTYP_ADVSTOP, XTYP_DISCONNECT, and XTYP_ADVDATA for the client's answers
        ServerConv conv;
        std::string topic;
        std::string item;
        Bytes data;
        uint32_t answer;  // what was answered (for XTYP_ADVDATA: what the client answered)
    };

    // An empty topic list accepts every topic.
    explicit FakeDdeServer(std::string service = "Korvanta", std::vector<std::string> topics = {});
    bool Register() { return server_.Register(); }
    void Unregister() { server_.Unregister(); }
    DdeServer& Server() { return server_; }

    uint32_t pokeAnswer = DDE_FACK;
    std::set<std::string> refuseAdvise;  // items whose advise start is refused

    // Sets an item's value (answered to requests) and sends it to the linked clients.
    int SetItem(const std::string& topic, const std::string& item, const std::string& text);
    const std::vector<Record>& Records() const { return records_; }
    std::vector<Record> RecordsOf(uint32_t type) const;
    void ClearRecords() { records_.clear(); }

private:
    DdeServer server_;
    std::vector<std::string> topics_;
    std::map<std::pair<std::string, std::string>, Bytes> values_;  // (folded topic, folded item)
    std::vector<Record> records_;
};

}  // namespace platform::dde
