#include "platform/ui/Rtf.h"

#include <gtest/gtest.h>
#include <random>

using namespace platform;

namespace {

RtfRun run(const char* utf8, TColor colour = clBlack, unsigned style = 0, std::string font = {}, int size = 0)
{
    return RtfRun{QString::fromUtf8(utf8), colour, style, std::move(font), size};
}

std::string dump(const std::vector<RtfRun>& runs)
{
    std::string out;
    for (const RtfRun& r : runs) {
        char buf[64];
        std::snprintf(buf, sizeof buf, "[%06X s%u %s %d]", r.Color, r.Style, r.FontName.c_str(), r.FontSize);
        out += buf + r.Text.toStdString();
    }
    return out;
}

}  // namespace

TEST(Rtf, RunsSurviveWriteAndRead)
{
    std::vector<std::vector<RtfRun>> docs = {
        {run("plain")},
        {run("red ", clRed), run("bold", clBlack, fsBold), run(" all", clBlue, fsBold | fsItalic | fsUnderline | fsStrikeOut)},
        {run("Terminal 13", 0x00FF00, 0, "Terminal", 10), run("Arial", 0x808080, fsItalic, "Arial", 12)},
        {run("back\\slash {braces} and ; semicolons")},
        {run("line one\nline two\n\n\tindented\xE2\x80\xA8same paragraph")},
        {run("caf\xC3\xA9 \xE2\x82\xAC" "5 \xE2\x80\x93 en dash, \xE4\xB8\xAD\xE6\x96\x87, \xF0\x9F\x98\x80 smile")},
        {run("SmartNet\xC2\xAE", 0x3060FF, fsBold, "Courier New", 9)},
        {},
    };
    for (const auto& doc : docs) {
        std::string rtf = WriteRtf(doc);
        SCOPED_TRACE(rtf);
        EXPECT_TRUE(LooksLikeRtf(rtf));
        EXPECT_EQ(dump(ReadRtf(rtf)), dump(doc));
    }
}

TEST(Rtf, WriterUsesTheUsualControlWords)
{
    std::string rtf = WriteRtf({run("A", clRed, fsBold | fsUnderline, "Arial", 10), run("\xC3\xA9\xE4\xB8\xAD{\\}", clBlue, fsItalic | fsStrikeOut)});
    EXPECT_EQ(rtf.rfind("{\\rtf1\\ansi\\ansicpg1252", 0), 0u);
    EXPECT_NE(rtf.find("{\\fonttbl{\\f0\\fnil\\fcharset0 Arial;}}"), std::string::npos);
    EXPECT_NE(rtf.find("{\\colortbl ;\\red255\\green0\\blue0;\\red0\\green0\\blue255;}"), std::string::npos)
        << "0x0000FF is red";
    EXPECT_NE(rtf.find("{\\f0\\fs20\\cf1\\b\\ul A}"), std::string::npos);
    EXPECT_NE(rtf.find("{\\cf2\\i\\strike \\'e9\\u20013?\\{\\\\\\}}"), std::string::npos);
    EXPECT_EQ(rtf.back(), '\n');

    // System colours are written as the colours they stand for.
    std::string sys = WriteRtf({run("x", clWindowText)});
    TColor c = ColorToRGB(clWindowText);
    EXPECT_NE(sys.find("\\red" + std::to_string(GetRValue(c)) + "\\green"), std::string::npos);
    EXPECT_EQ(ReadRtf(sys).at(0).Color, c);
}

TEST(Rtf, ReadsRichTextFromOtherPrograms)
{
    struct Case {
        const char* name;
        const char* rtf;
        const char* expect;
    } cases[] = {
        {"word processor",
         "{\\rtf1\\ansi\\ansicpg1252\\deff0\\nouicompat{\\fonttbl{\\f0\\fswiss\\fprq2\\fcharset0 Calibri;}"
         "{\\f1\\fnil\\fcharset2 Symbol;}}\r\n{\\colortbl ;\\red0\\green0\\blue255;\\red0\\green128\\blue0;}\r\n"
         "{\\*\\generator Writer 10.0;}{\\info{\\title Log}{\\author Op}}\\viewkind4\\uc1 \r\n"
         "\\pard\\sa200\\sl276\\slmult1\\f0\\fs22\\lang9 Hello \\cf1\\b World\\cf0\\b0 !\\par\r\n"
         "\\cf2\\i caf\\'e9\\i0\\par\r\n}",
         "[000000 s0 Calibri 11]Hello [FF0000 s1 Calibri 11]World[000000 s0 Calibri 11]!\n[008000 s2 Calibri 11]caf\xC3\xA9[008000 s0 Calibri 11]\n"},
        {"unicode with fallbacks",
         "{\\rtf1\\uc1 a\\u8364\\'80b\\uc2\\u8212--c\\uc0\\u8220 d\\u-3913 e}",
         "[000000 s0  0]a\xE2\x82\xAC" "b\xE2\x80\x94" "c\xE2\x80\x9C" "d\xEF\x82\xB7" "e"},
        {"surrogate pair", "{\\rtf1\\u-10179?\\u-8704?}", "[000000 s0  0]\xF0\x9F\x98\x80"},
        {"fallback inside group ends at brace", "{\\rtf1\\uc3{\\u8364 x}yz}", "[000000 s0  0]\xE2\x82\xACyz"},
        {"stylesheet, pictures and fields",
         "{\\rtf1{\\stylesheet{\\s0 Normal;}}{\\pict\\wmetafile8 0123abcdef}"
         "{\\field{\\*\\fldinst HYPERLINK \"x\"}{\\fldrslt link}} {\\*\\unknowndest hidden}\\tab end}",
         "[000000 s0  0]link \tend"},
        {"binary data is skipped", "{\\rtf1 a{\\pict\\bin4 }}{}}b}", "[000000 s0  0]ab"},
        {"control symbols", "{\\rtf1 a\\~b\\-c\\_d\\\\e\\{f\\}\\line g\\emdash\\lquote q\\rquote}",
         "[000000 s0  0]a\xC2\xA0" "bc\xE2\x80\x91" "d\\e{f}\xE2\x80\xA8g\xE2\x80\x94\xE2\x80\x98q\xE2\x80\x99"},
        {"group restores the format", "{\\rtf1 a{\\b b{\\i c}d}e\\b f\\b0 g\\ul h\\ulnone i}",
         "[000000 s0  0]a[000000 s1  0]b[000000 s3  0]c[000000 s1  0]d[000000 s0  0]e[000000 s1  0]f"
         "[000000 s0  0]g[000000 s4  0]h[000000 s0  0]i"},
        {"plain resets", "{\\rtf1{\\colortbl;\\red255\\green0\\blue0;}\\cf1\\b\\fs40 x\\plain y}",
         "[0000FF s1  20]x[000000 s0  0]y"},
        {"colour table without an automatic entry",
         "{\\rtf1{\\colortbl\\red0\\green255\\blue0;\\red255\\green0\\blue0;}a\\cf0 b\\cf1 c\\cf9 d}",
         "[000000 s0  0]a[00FF00 s0  0]b[0000FF s0  0]c[000000 s0  0]d"},
        {"font table without groups", "{\\rtf1{\\fonttbl\\f0\\fnil Arial;\\f3\\froman Times New Roman;}\\f3 x\\f0 y\\f7 z}",
         "[000000 s0 Times New Roman 0]x[000000 s0 Arial 0]y[000000 s0  0]z"},
        {"escaped line end is a paragraph", "{\\rtf1 a\\\nb\r\nc}", "[000000 s0  0]a\nbc"},
        {"plain text", "just text", "[000000 s0  0]just text"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(dump(ReadRtf(c.rtf)), c.expect) << c.name;
}

TEST(Rtf, MalformedInputIsReadAsFarAsItGoes)
{
    struct Case {
        const char* name;
        std::string rtf;
        const char* text;
    } cases[] = {
        {"empty", "", ""},
        {"truncated document", "{\\rtf1 {\\b abc", "abc"},
        {"extra closing braces", "}}{\\rtf1 a}}}b}", "ab"},
        {"truncated hex", "{\\rtf1 x\\'", "x"},
        {"half a hex gives a control byte, dropped", "{\\rtf1 x\\'4}y", "xy"},
        {"bad hex", "{\\rtf1 x\\'zz}", "xzz"},
        {"backslash at the end", "{\\rtf1 x\\", "x"},
        {"huge numbers", "{\\rtf1\\fs99999999999999999999\\cf-99999999999999\\uc999999999\\uc1\\u99999999 ?a\\u-99999999999 ?b}", "ab"},
        {"huge binary length", "{\\rtf1 a\\bin99999999999 xyz}", "a"},
        {"negative binary length", "{\\rtf1 a\\bin-5 xyz}", "axyz"},
        {"long control word", "{\\rtf1 " + std::string("\\") + std::string(10000, 'a') + " x}", "x"},
        {"nul bytes", std::string("{\\rtf1 a\0b}", 11), "ab"},
        {"lone low surrogate", "{\\rtf1 \\u-9216?x}", "x"},
        {"high surrogate then text", "{\\rtf1 \\u-10179?x}", "x"},
        {"skip count larger than the text", "{\\rtf1\\uc5\\u8364 ab}c", "\xE2\x82\xAC" "c"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(RtfPlainText(ReadRtf(c.rtf)).toStdString(), c.text) << c.name;

    // Nesting far deeper than any document: no stack exhaustion, and the text still comes out.
    std::string deep = "{\\rtf1 " + std::string(200000, '{') + "deep" + std::string(200000, '}') + " after}";
    EXPECT_EQ(RtfPlainText(ReadRtf(deep)).toStdString(), "deep after");
}

TEST(Rtf, RandomGarbageNeverBreaksTheReader)
{
    const char* tokens[] = {"{", "}", "\\", "\\b", "\\u", "\\'", "\\'e9", "\\bin", "\\*", "\\fonttbl", "\\colortbl",
                            "\\red", ";", "-", "9", "99999999999", " ", "a", "\\par", "\\uc", "\\f", "\\cf", "\xFF", "\n"};
    std::mt19937 rng(1234);
    for (int i = 0; i < 3000; ++i) {
        std::string s = i % 2 ? "{\\rtf1" : "";
        int n = static_cast<int>(rng() % 60);
        for (int k = 0; k < n; ++k)
            s += tokens[rng() % (sizeof tokens / sizeof tokens[0])];
        std::vector<RtfRun> runs = ReadRtf(s);
        for (const RtfRun& r : runs)
            EXPECT_FALSE(r.Text.isEmpty());
        // What was read can always be written and read back unchanged.
        EXPECT_EQ(dump(ReadRtf(WriteRtf(runs))), dump(runs)) << s;
    }
}

TEST(Rtf, RecognisesRichText)
{
    EXPECT_TRUE(LooksLikeRtf("{\\rtf1\\ansi}"));
    EXPECT_TRUE(LooksLikeRtf("\r\n  {\\rtf"));
    EXPECT_FALSE(LooksLikeRtf("{\\rt"));
    EXPECT_FALSE(LooksLikeRtf("plain {\\rtf1"));
    EXPECT_FALSE(LooksLikeRtf(""));
}

TEST(Rtf, ColourTableBeyondAnyRealSizeIsCut)
{
    std::string table;
    for (int i = 0; i < 70000; ++i)
        table += "\\red255\\green0\\blue0;";
    const std::vector<RtfRun> runs = ReadRtf("{\\rtf1{\\colortbl" + table + "}\\cf5 a\\cf69000 b}");
    ASSERT_EQ(runs.size(), 2u);
    EXPECT_EQ(runs[0].Color, clRed);
    EXPECT_EQ(runs[1].Color, clBlack) << "an entry past the kept ones is the automatic colour";
}
