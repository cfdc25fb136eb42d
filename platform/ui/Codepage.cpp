#include "Codepage.h"

#include <QList>

namespace platform {

namespace {
// 0x80 .. 0x9F; the rest of the code page equals Latin-1.
constexpr char16_t kHigh[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};
}  // namespace

char32_t Cp1252ToUnicode(uint8_t byte)
{
    if (byte >= 0x80 && byte <= 0x9F)
        return kHigh[byte - 0x80];
    return byte;
}

int UnicodeToCp1252(char32_t c)
{
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF))
        return static_cast<int>(c);
    for (int i = 0; i < 32; ++i)
        if (kHigh[i] == c)
            return 0x80 + i;
    return -1;
}

QString FromCp1252(std::string_view bytes)
{
    QString out;
    out.reserve(static_cast<qsizetype>(bytes.size()));
    for (char ch : bytes)
        out.append(QChar(static_cast<char16_t>(Cp1252ToUnicode(static_cast<uint8_t>(ch)))));
    return out;
}

std::string ToCp1252(const QString& text)
{
    std::string out;
    for (char32_t c : text.toUcs4()) {
        int b = UnicodeToCp1252(c);
        out.push_back(b < 0 ? '?' : static_cast<char>(static_cast<uint8_t>(b)));
    }
    return out;
}

}  // namespace platform
