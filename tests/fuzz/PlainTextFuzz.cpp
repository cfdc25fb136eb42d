// The text panes' plain-text files: any file opens without harm, and whatever text the pane holds,
// what Save writes opens as the same text.
#include "FuzzTarget.h"

#include "PlainText.h"

#include "platform/ui/Codepage.h"

#include <cstring>

namespace fuzz {

namespace {

Bytes Of(const std::string& s) { return Bytes(s.begin(), s.end()); }

// The text as the pane gives it back: every line end a LF.
QString Lines(QString t)
{
    t.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    for (char16_t c : {u'\r', u'\u2028', u'\u2029'})
        t.replace(QChar(c), QLatin1Char('\n'));
    return t;
}

void RoundTrip(const QString& text)
{
    const std::string saved = EncodePlainText(text);
    Check(DecodePlainText(saved) == Lines(text), "the saved text opens as another text");
}

}  // namespace

std::vector<Seed> Seeds()
{
    auto utf8 = [](const char* s) { return Bytes(s, s + std::char_traits<char>::length(s)); };
    return {{"cp1252", Of("CAF\xC9 \x80 5\r\n\xE9t\xE9\rfin")},
            {"cp1252-as-utf8", utf8("\xE9\xA9\xA9")},
            {"utf8", utf8("\xC3\xA9\xC2\xA9\xC2\xA9 CAF\xC3\x89\xE2\x80\x99S MENU\n\xE4\xB8\xAD")},
            {"mark", utf8("\xEF\xBB\xBF\xEF\xBB\xBFtwo marks")},
            {"rich-looking", Of(" \r\n{\\rtf1 plain}")},
            {"separators", utf8("a\xE2\x80\xA8" "b\xE2\x80\xA9" "c\r\nd\re")},
            {"invalid", Of("\xC0\xAF\xED\xA0\x80\xF4\x90\x80\x80\xFF")}};
}

void Run(const uint8_t* data, size_t size)
{
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    // Whatever a file holds, Open reads it as some text, and that text survives a save.
    RoundTrip(DecodePlainText(bytes));
    // Texts of characters that Windows-1252 has, where most of the encoding choices are made.
    RoundTrip(platform::FromCp1252(bytes));
    // Any text at all: the input as UTF-16 (a text with an unpaired surrogate cannot be saved).
    QString wide(static_cast<qsizetype>(size / 2), Qt::Uninitialized);
    std::memcpy(wide.data(), data, size / 2 * 2);
    if (QStringView(wide).isValidUtf16())
        RoundTrip(wide);
}

}  // namespace fuzz
