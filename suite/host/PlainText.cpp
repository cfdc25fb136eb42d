#include "PlainText.h"

#include "platform/ui/Codepage.h"
#include "platform/ui/Rtf.h"

#include <QStringDecoder>

using namespace platform;

QString DecodePlainText(std::string_view bytes)
{
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8.decode(QByteArrayView(bytes.data(), static_cast<qsizetype>(bytes.size())));
    if (utf8.hasError())
        text = FromCp1252(bytes);
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return text;
}

std::string EncodePlainText(const QString& text)
{
    QString t = text;
    t.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    for (char16_t c : {u'\r', u'\u2028', u'\u2029'})
        t.replace(QChar(c), QLatin1Char('\n'));
    // What Open must give back: the text with its line ends as LF.
    const QString lines = t;
    t.replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
    auto opensAsText = [&](const std::string& bytes) { return !LooksLikeRtf(bytes) && DecodePlainText(bytes) == lines; };

    // Windows-1252 keeps the files the system always wrote, unless it lacks a character (written as
    // '?', which does not open as the text) or its bytes happen to read as UTF-8 ("\xE9\xA9\xA9" is
    // one Chinese character).
    if (std::string bytes = ToCp1252(t); opensAsText(bytes))
        return bytes;
    const QByteArray u = t.toUtf8();
    std::string bytes(u.constData(), static_cast<size_t>(u.size()));
    if (opensAsText(bytes))
        return bytes;
    return "\xEF\xBB\xBF" + bytes;
}
