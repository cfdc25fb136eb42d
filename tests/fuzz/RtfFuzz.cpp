// The rich-text reader, as a text pane loads a document the user opens: whatever it reads, the
// writer writes a document that reads back as the same runs.
#include "FuzzTarget.h"

#include "platform/ui/Rtf.h"

namespace fuzz {

namespace {

Bytes Document(const std::vector<platform::RtfRun>& runs)
{
    const std::string s = platform::WriteRtf(runs);
    return Bytes(s.begin(), s.end());
}

}  // namespace

std::vector<Seed> Seeds()
{
    using platform::RtfRun;
    const std::vector<RtfRun> plain = {{QStringLiteral("0 SYNC 1234 ABCD\n"), platform::clLime, 0, "", 0}};
    const std::vector<RtfRun> styled = {
        {QStringLiteral("Label: "), platform::clRed, platform::fsBold, "Courier New", 10},
        {QStringLiteral("caf\u00e9 \u20ac\t{braces} \\back\\slash\n"), platform::clBlack, platform::fsItalic, "", 0},
        {QString::fromUtf8("\u0416\u2028next line\n"), 0x123456, platform::fsUnderline | platform::fsStrikeOut,
         "Liberation Sans", 12},
    };
    const std::string foreign = "{\\rtf1\\ansi{\\fonttbl{\\f0 Arial;}}{\\colortbl;\\red255\\green0\\blue0;}"
                                "{\\*\\generator other}\\f0\\fs20\\cf1 Hello\\par\\b bold\\b0\\'e9\\u1046?}";
    return {{"plain", Document(plain)}, {"styled", Document(styled)}, {"foreign", Bytes(foreign.begin(), foreign.end())}};
}

void Run(const uint8_t* data, size_t size)
{
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    platform::LooksLikeRtf(text);
    const std::vector<platform::RtfRun> runs = platform::ReadRtf(text);
    platform::RtfPlainText(runs);
    const std::string written = platform::WriteRtf(runs);
    Check(platform::LooksLikeRtf(written), "the writer's document does not look like rich text");
    Check(platform::ReadRtf(written) == runs, "the runs read back differently");
}

}  // namespace fuzz
