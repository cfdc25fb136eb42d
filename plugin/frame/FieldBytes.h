#pragma once
// Little-endian fields of the plug-ins' file records, read and written one by one at their offsets.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "SystemTime.h"

namespace fieldbytes {

inline uint16_t GetU16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
inline uint32_t GetU32(const uint8_t* p)
{
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16) |
           (static_cast<uint32_t>(p[3]) << 24);
}
inline int32_t GetI32(const uint8_t* p) { return static_cast<int32_t>(GetU32(p)); }

inline void PutU16(uint8_t* p, uint16_t v)
{
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
}
inline void PutU32(uint8_t* p, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        p[i] = static_cast<uint8_t>(v >> (8 * i));
}
inline void PutI32(uint8_t* p, int32_t v) { PutU32(p, static_cast<uint32_t>(v)); }

// True when the field of size bytes holds a zero terminator.
inline bool HasTerminator(const uint8_t* p, size_t size) { return std::memchr(p, 0, size) != nullptr; }

// The characters of a zero-terminated field, up to its terminator (or its end).
inline std::string GetText(const uint8_t* p, size_t size)
{
    const void* end = std::memchr(p, 0, size);
    size_t n = end ? static_cast<size_t>(static_cast<const uint8_t*>(end) - p) : size;
    return std::string(reinterpret_cast<const char*>(p), n);
}

// Stores at most size - 1 characters, then zeros to the end of the field.
inline void PutText(uint8_t* p, size_t size, const std::string& text)
{
    if (size == 0)
        return;
    size_t n = text.size() < size - 1 ? text.size() : size - 1;
    std::memcpy(p, text.data(), n);
    std::memset(p + n, 0, size - n);
}

// A calendar time: its eight 16-bit fields one after another.
inline void PutTime(uint8_t* p, const TSystemTime& t)
{
    const uint16_t f[8] = {t.Year, t.Month, t.DayOfWeek, t.Day, t.Hour, t.Minute, t.Second, t.Milliseconds};
    for (int i = 0; i < 8; ++i)
        PutU16(p + 2 * i, f[i]);
}

inline TSystemTime GetTime(const uint8_t* p)
{
    TSystemTime t;
    uint16_t* f[8] = {&t.Year, &t.Month, &t.DayOfWeek, &t.Day, &t.Hour, &t.Minute, &t.Second, &t.Milliseconds};
    for (int i = 0; i < 8; ++i)
        *f[i] = GetU16(p + 2 * i);
    return t;
}

}  // namespace fieldbytes
