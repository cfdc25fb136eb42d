#include "platform/ui/Help.h"
#include "platform/ui/MessageBox.h"

#include "TestSupport.h"

#include <QScrollBar>
#include <QTextBrowser>
#include <QUrl>
#include <gtest/gtest.h>

using namespace platform;
using namespace testsupport;

namespace {
// A page long enough that its last topic can only be seen by scrolling.
std::string helpPage()
{
    std::string html = "<html><head><title>Korvanta Trunking Decoder - MPT1327</title></head><body>";
    html += "<h1><a name=\"Contents\">Contents</a></h1>";
    for (int i = 0; i < 200; ++i)
        html += "<p>filler line " + std::to_string(i) + "</p>";
    html += "<h2><a name=\"context-42\">Channel list</a></h2><p>end</p></body></html>";
    return html;
}
}  // namespace

TEST(Help, ShowsThePageAtTheTopicAndCloses)
{
    TempDir dir;
    std::string file = (dir / "Marlet.hlp").string();
    writeFile(file + ".html", helpPage());
    HelpWindow h;
    EXPECT_FALSE(h.IsOpen(file));
    ASSERT_TRUE(h.ShowContext(file, 42));
    EXPECT_TRUE(h.IsOpen(file));
    QTextBrowser* b = h.Browser(file);
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(b->source().fragment(), "context-42");
    EXPECT_EQ(b->window()->windowTitle(), "Korvanta Trunking Decoder - MPT1327");
    int deep = b->verticalScrollBar()->value();
    EXPECT_GT(deep, 100) << "scrolled down to the topic";

    ASSERT_TRUE(h.ShowTopic(file, "Contents"));
    EXPECT_EQ(h.Browser(file), b) << "one window per help file";
    EXPECT_EQ(b->source().fragment(), "Contents");
    EXPECT_LT(b->verticalScrollBar()->value(), deep / 10) << "back at the top";

    h.Close(file);
    EXPECT_FALSE(h.IsOpen(file));
    EXPECT_EQ(h.Browser(file), nullptr);
    h.Close(file);  // closing again is harmless
}

TEST(Help, PageWithTheExtensionReplaced)
{
    TempDir dir;
    writeFile(dir / "QUENDA.html", helpPage());
    EXPECT_EQ(HelpPage((dir / "QUENDA.HLP").string()), (dir / "QUENDA.html").string());
    EXPECT_EQ(HelpPage((dir / "Other.hlp").string()), "");
    EXPECT_EQ(HelpPage(""), "");
}

TEST(Help, MissingPageNamesTheTopicInABox)
{
    MessageBoxRecorder rec;
    HelpWindow h;
    EXPECT_FALSE(h.ShowTopic("/nowhere/Sarvik.hlp", "Decoder window"));
    EXPECT_FALSE(h.ShowContext("/nowhere/Sarvik.hlp", 7));
    EXPECT_FALSE(h.IsOpen("/nowhere/Sarvik.hlp"));
    ASSERT_EQ(rec.boxes().size(), 2u);
    EXPECT_NE(rec.boxes()[0].text.find("\"Decoder window\""), std::string::npos) << rec.boxes()[0].text;
    EXPECT_NE(rec.boxes()[0].text.find("Sarvik.hlp"), std::string::npos);
    EXPECT_NE(rec.boxes()[1].text.find("number 7"), std::string::npos) << rec.boxes()[1].text;
}

TEST(Help, RecordingHelpStandsInForTheWindow)
{
    RecordingHelp rec;
    setHelp(&rec);
    help().ShowContext("Marlet.hlp", 3);
    help().ShowTopic("Marlet.hlp", "Index");
    EXPECT_TRUE(help().IsOpen("Marlet.hlp"));
    help().Close("Marlet.hlp");
    EXPECT_FALSE(help().IsOpen("Marlet.hlp"));
    setHelp(nullptr);
    ASSERT_EQ(rec.requests.size(), 2u);
    EXPECT_EQ(rec.requests[0].context, 3);
    EXPECT_EQ(rec.requests[1].topic, "Index");
    EXPECT_NE(&help(), &rec);
}
