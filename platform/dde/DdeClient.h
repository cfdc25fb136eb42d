#pragma once
// The client side of conversations with a server program, in the shape of a DDE client: one object
// per instance with one callback, conversations by service and topic, pokes, requests and advise
// links. Everything runs on the thread that owns the object (the GUI thread).
//
// Synchronous transactions wait in a nested event loop; events that arrive meanwhile (advise data,
// disconnects, registrations) are held and handed to the callback after the wait, and every callback
// runs from the event loop, never inside a call the program made. The callback may disconnect or
// delete the client.
#include "platform/dde/DdeTypes.h"
#include "platform/dde/DdeWire.h"

#include <QObject>
#include <deque>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>

class QFileSystemWatcher;

namespace platform::dde {

class DdeClient : public QObject {
public:
    // flags: the initialisation flags (CBF_SKIP_REGISTRATIONS, CBF_SKIP_DISCONNECTS are honoured).
    explicit DdeClient(DdeCallback callback, uint32_t flags = 0, QObject* parent = nullptr);
    ~DdeClient() override;  // ends every conversation (the servers see a disconnect)

    // Opens a conversation; 0 when the service is not there or refuses the topic.
    HConv Connect(const std::string& service, const std::string& topic);
    // Ends a conversation; false when it was not open. The callback is not told.
    bool Disconnect(HConv conv);
    bool Connected(HConv conv) const;

    // A transaction as the system issues it: type XTYP_POKE, XTYP_REQUEST, XTYP_ADVSTART or XTYP_ADVSTOP.
    // Synchronous (timeoutMs other than TIMEOUT_ASYNC): true when the server accepted it (for a poke,
    // answered DDE_FACK) before the time-out; a request's answer goes to *data.
    // Asynchronous: true when sent; *transaction gets the id the XTYP_XACT_COMPLETE event carries.
    bool ClientTransaction(const Bytes* data, HConv conv, const std::string& item, uint32_t format,
                           uint32_t type, uint32_t timeoutMs, Bytes* result = nullptr,
                           uint32_t* transaction = nullptr);

    bool Poke(HConv conv, const std::string& item, const Bytes& data, uint32_t timeoutMs,
              uint32_t format = CF_TEXT, uint32_t* transaction = nullptr);
    std::optional<Bytes> Request(HConv conv, const std::string& item, uint32_t timeoutMs,
                                 uint32_t format = CF_TEXT);
    bool AdviseStart(HConv conv, const std::string& item, uint32_t timeoutMs, uint32_t format = CF_TEXT);
    bool AdviseStop(HConv conv, const std::string& item, uint32_t timeoutMs, uint32_t format = CF_TEXT);

    uint32_t LastError() const { return lastError_; }

    // Text as the system sends it: the bytes and the terminating NUL, counted.
    static Bytes Text(const std::string& s);

private:
    struct Conversation;
    struct Wait;

    void onReadable(HConv id);
    void onClosed(HConv id);
    void handleFrame(Conversation& c, wire::Frame& f);
    void queue(DdeEvent e);
    void deliverLater();
    void deliver();
    void scanServices();
    bool send(Conversation& c, const std::string& frame);
    std::optional<uint32_t> waitReply(HConv id, uint32_t transaction, uint32_t timeoutMs, Bytes* data);

    std::shared_ptr<const DdeCallback> callback_;  // shared, so a callback may delete the client
    uint32_t flags_;
    uint32_t lastError_ = DMLERR_NO_ERROR;
    HConv nextConv_ = 1;
    uint32_t nextTransaction_ = 1;
    std::map<HConv, std::unique_ptr<Conversation>> conversations_;
    std::deque<DdeEvent> events_;
    bool deliveryQueued_ = false;
    int waiting_ = 0;  // depth of synchronous waits
    Wait* wait_ = nullptr;
    QFileSystemWatcher* watcher_ = nullptr;
    std::set<std::string> services_;  // service sockets present at the last look
    struct Pending {
        HConv conv;
        uint32_t type;
        std::string item;
        uint32_t format;
    };
    std::map<uint32_t, Pending> pending_;  // asynchronous transactions awaiting their answer
};

}  // namespace platform::dde
