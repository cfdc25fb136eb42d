#pragma once
// Names and values of the conversation service between the programs (client and server sides).
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace platform::dde {

using Bytes = std::vector<uint8_t>;
using HConv = uint64_t;  // a conversation; 0 = none

// Transaction and notification types.
constexpr uint32_t XTYP_ADVSTART = 0x1030;
constexpr uint32_t XTYP_ADVSTOP = 0x8040;
constexpr uint32_t XTYP_ADVDATA = 0x4010;
constexpr uint32_t XTYP_POKE = 0x4090;
constexpr uint32_t XTYP_REQUEST = 0x20B0;
constexpr uint32_t XTYP_DISCONNECT = 0x80C2;
constexpr uint32_t XTYP_REGISTER = 0x80A2;
constexpr uint32_t XTYP_UNREGISTER = 0x80D2;
constexpr uint32_t XTYP_XACT_COMPLETE = 0x8080;

// Answers to pokes and advise data.
constexpr uint32_t DDE_FACK = 0x8000;
constexpr uint32_t DDE_FBUSY = 0x4000;
constexpr uint32_t DDE_FNOTPROCESSED = 0x0000;

constexpr uint32_t CF_TEXT = 1;
constexpr uint32_t CP_WINANSI = 1004;
constexpr uint32_t TIMEOUT_ASYNC = 0xFFFFFFFF;  // a time-out of -1: do not wait

// Initialisation flags the client honours; the others are accepted and have no effect here.
constexpr uint32_t APPCMD_CLIENTONLY = 0x00000010;
constexpr uint32_t CBF_SKIP_REGISTRATIONS = 0x00080000;
constexpr uint32_t CBF_SKIP_UNREGISTRATIONS = 0x00100000;
constexpr uint32_t CBF_SKIP_DISCONNECTS = 0x00200000;

// Error codes for LastError().
constexpr uint32_t DMLERR_NO_ERROR = 0;
constexpr uint32_t DMLERR_ADVACKTIMEOUT = 0x4000;
constexpr uint32_t DMLERR_DATAACKTIMEOUT = 0x4002;
constexpr uint32_t DMLERR_INVALIDPARAMETER = 0x4006;
constexpr uint32_t DMLERR_NOTPROCESSED = 0x4009;
constexpr uint32_t DMLERR_NO_CONN_ESTABLISHED = 0x400A;
constexpr uint32_t DMLERR_POKEACKTIMEOUT = 0x400B;
constexpr uint32_t DMLERR_UNADVACKTIMEOUT = 0x4010;

// What the client's callback is told.
struct DdeEvent {
    uint32_t type = 0;    // XTYP_*
    uint32_t format = 0;  // CF_TEXT
    HConv conv = 0;       // the conversation (0 for XTYP_REGISTER)
    std::string service;  // XTYP_REGISTER / XTYP_UNREGISTER: the service name (lower case)
    std::string topic;
    std::string item;
    Bytes data;             // XTYP_ADVDATA: the value; XTYP_XACT_COMPLETE: a request's answer
    bool hasData = false;
    uint32_t transaction = 0;  // XTYP_XACT_COMPLETE: the id that ClientTransaction returned
    uint32_t result = 0;       // XTYP_XACT_COMPLETE: the partner's answer (DDE_FACK ...)
};

// Returns DDE_FACK, DDE_FBUSY or DDE_FNOTPROCESSED for XTYP_ADVDATA, 0 for the rest.
using DdeCallback = std::function<uint32_t(const DdeEvent&)>;

// Largest item or topic name and largest data block a conversation carries.
constexpr size_t kMaxNameBytes = 255;
constexpr size_t kMaxDataBytes = 64 * 1024;

}  // namespace platform::dde
