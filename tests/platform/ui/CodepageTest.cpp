#include "platform/ui/Codepage.h"

#include <gtest/gtest.h>

using namespace platform;

TEST(Codepage, WindowsBytesRoundTrip)
{
    std::string name = "Motorola SmartNet\xAE";
    EXPECT_EQ(name.size(), 18u);
    QString text = FromCp1252(name);
    EXPECT_EQ(text, QString::fromUtf8("Motorola SmartNet\u00AE"));
    EXPECT_EQ(ToCp1252(text), name);

    EXPECT_EQ(FromCp1252("\x96" "40dB"), QString::fromUtf8("\u201340dB")) << "en dash";
    EXPECT_EQ(FromCp1252("\x80"), QString::fromUtf8("\u20AC"));
    EXPECT_EQ(ToCp1252(QString::fromUtf8("\u20AC\u0152\u017E")), "\x80\x8C\x9E");
    EXPECT_EQ(ToCp1252(QString::fromUtf8("\u4E2D\U0001F600")), "??") << "no byte for these";
    for (int b = 0; b < 256; ++b)
        EXPECT_EQ(UnicodeToCp1252(Cp1252ToUnicode(static_cast<uint8_t>(b))), b);
}
