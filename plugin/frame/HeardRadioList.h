#pragma once
// The heard-radio list that follows a system record in the plug-ins' database files: entries of a fixed
// size, each the radio's 16-bit identity and the plug-in's own fields, then its alias, zero-terminated,
// to the end of the entry. The plug-ins say where the alias begins and read or write their own fields.
#include "FieldBytes.h"
#include "SystemDatabase.h"

#include <cstddef>
#include <cstdint>
#include <vector>

struct THeardRadioLayout {
    uint32_t EntrySize = 256;
    uint32_t AliasOffset = 2;
    // The alias as the database checks and mends its strings.
    constexpr TDatabaseText AliasText() const { return {AliasOffset, EntrySize - AliasOffset, 1}; }
};

// putFields(entry, radio) writes what lies before the alias; the rest of each entry is the alias.
template <class Radio, class PutFields>
std::vector<uint8_t> EncodeHeardRadios(const std::vector<Radio>& radios, const THeardRadioLayout& layout,
                                       PutFields putFields)
{
    std::vector<uint8_t> bytes(radios.size() * layout.EntrySize, 0);
    for (size_t i = 0; i < radios.size(); ++i) {
        uint8_t* entry = bytes.data() + i * layout.EntrySize;
        putFields(entry, radios[i]);
        fieldbytes::PutText(entry + layout.AliasOffset, layout.EntrySize - layout.AliasOffset, radios[i].Alias);
    }
    return bytes;
}

// getFields(entry, radio) reads what lies before the alias; a last entry cut short is not read.
template <class Radio, class GetFields>
std::vector<Radio> DecodeHeardRadios(const std::vector<uint8_t>& bytes, const THeardRadioLayout& layout,
                                     GetFields getFields)
{
    std::vector<Radio> radios;
    for (size_t at = 0; at + layout.EntrySize <= bytes.size(); at += layout.EntrySize) {
        Radio radio;
        getFields(bytes.data() + at, radio);
        radio.Alias = fieldbytes::GetText(bytes.data() + at + layout.AliasOffset, layout.EntrySize - layout.AliasOffset);
        radios.push_back(std::move(radio));
    }
    return radios;
}
