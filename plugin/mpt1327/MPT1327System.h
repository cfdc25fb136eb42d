#pragma once
// What the codeword interpreter reads and writes of the current system's record: the base and
// control-channel frequencies, the channel and prefix maps, the heard radios and the aliases.
// The window's database record stands behind it (MPT1327RecordAccess.h).
#include <cstddef>
#include <cstdint>
#include <string>

constexpr int kMPT1327Channels = 1024;
constexpr int kMPT1327Prefixes = 128;

class TMPT1327SystemAccess {
public:
    virtual ~TMPT1327SystemAccess() = default;

    virtual bool SystemCurrent() const = 0;
    virtual uint16_t SystemIdentity() const = 0;
    virtual int32_t BaseFrequency() const = 0;  // Hz of channel 0, -1 not known
    virtual void SetBaseFrequency(int32_t hz) = 0;
    virtual int32_t ControlChannelFrequency() const = 0;

    // Map marks; the caller passes channels 0-1023 and prefixes 0-127 only.
    virtual void MarkControlChannel(uint16_t channel) = 0;
    virtual void MarkTrafficChannel(uint16_t channel) = 0;
    virtual void MarkPrefix(uint8_t prefix) = 0;

    virtual size_t HeardRadioCount() const = 0;
    virtual uint8_t HeardRadioPrefix(size_t i) const = 0;
    virtual uint16_t HeardRadioIdent(size_t i) const = 0;
    virtual std::string HeardRadioAlias(size_t i) const = 0;
    // Appends {ident, prefix, empty alias}.
    virtual void AppendHeardRadio(uint8_t prefix, uint16_t ident) = 0;
    virtual std::string GroupAlias(uint8_t prefix) const = 0;
};
