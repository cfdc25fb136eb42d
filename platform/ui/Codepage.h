#pragma once
// The system keeps its texts as bytes in the Windows-1252 code page; these turn them into Qt strings and back.
#include <QString>
#include <cstdint>
#include <string>
#include <string_view>

namespace platform {

// The character a Windows-1252 byte stands for (the five unassigned bytes map to the same code point).
char32_t Cp1252ToUnicode(uint8_t byte);
// The Windows-1252 byte of a character, or -1 when the code page has none.
int UnicodeToCp1252(char32_t c);

QString FromCp1252(std::string_view bytes);
// Characters without a Windows-1252 byte become '?'.
std::string ToCp1252(const QString& text);

}  // namespace platform
