#pragma once
// The text panes' plain-text files: how Open reads one and how Save writes one, so that what Save
// writes opens as the same text.
#include <QString>

#include <string>
#include <string_view>

// A plain-text file as Open reads it: UTF-8 (a leading byte-order mark skipped) when it is valid
// UTF-8, otherwise the system's Windows-1252; CR LF and lone CR end lines as LF.
QString DecodePlainText(std::string_view bytes);

// The pane's text (lines ended by LF, CR LF, CR, U+2028 or U+2029) as Save writes it: CR LF line ends, in
// Windows-1252 when every character has a byte there and those bytes open as the same text, else in
// UTF-8, with a byte-order mark where the bare UTF-8 would open otherwise (a text beginning with the
// mark itself, or one that would open as rich text).
std::string EncodePlainText(const QString& text);
