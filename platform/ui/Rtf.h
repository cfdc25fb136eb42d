#pragma once
// Rich text as the text panes keep it: runs of text with a colour, a style and optionally a font.
// WriteRtf makes a document other programs can open; ReadRtf reads it back, and reads the plain rich
// text other programs write (unknown destinations skipped). Malformed input never fails: what can be
// read is returned.
#include "platform/ui/Canvas.h"

#include <QString>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

struct RtfRun {
    QString Text;  // '\n' ends a paragraph, U+2028 breaks a line, '\t' is a tab
    TColor Color = clBlack;
    unsigned Style = 0;  // TFontStyle bits
    std::string FontName;  // UTF-8; empty: the pane's font
    int FontSize = 0;      // points; 0: the pane's size
    bool operator==(const RtfRun&) const = default;
};

// Characters with a Windows-1252 byte are written as \'hh, others as \uN with a '?' for readers
// that do not know \u. System colours are resolved first.
std::string WriteRtf(const std::vector<RtfRun>& runs);

// Adjacent runs of equal format come back as one.
std::vector<RtfRun> ReadRtf(std::string_view rtf);

// True when the data starts like a rich-text document (leading blanks allowed).
bool LooksLikeRtf(std::string_view data);

// The text of the runs, one string.
QString RtfPlainText(const std::vector<RtfRun>& runs);

}  // namespace platform
