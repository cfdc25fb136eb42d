// The suite's multiply-divide and the level meter: clamping, events, painting and marker dragging.
#include "LevelMeter.h"
#include "MulDiv.h"

#include <QApplication>
#include <QMouseEvent>

#include <gmock/gmock.h>

#include <climits>

namespace {

TEST(MulDiv, RoundsHalvesAwayFromZeroAndGivesMinusOneForAZeroDivisor)
{
    struct Case {
        int32_t a, b, c, result;
    };
    for (const Case& k : std::vector<Case>{{2, 4096, 10, 819},
                                           {3, 4096, 10, 1229},
                                           {1, 1, 2, 1},
                                           {-1, 1, 2, -1},
                                           {1, -3, 2, -2},
                                           {-3, -1, 2, 2},
                                           {7, 1, -2, -4},
                                           {100, 8100, 40500, 20},
                                           {INT32_MAX, INT32_MAX, INT32_MAX, INT32_MAX},  // 64-bit product
                                           {INT32_MIN, 1, 1, INT32_MIN},
                                           {5, 5, 0, -1},
                                           {0, 0, 0, -1},
                                           {INT32_MAX, 2, 1, -1}}) {  // quotient beyond 32 bits
        EXPECT_EQ(MulDiv(k.a, k.b, k.c), k.result) << k.a << " " << k.b << " " << k.c;
    }
}

struct Meter : ::testing::Test {
    TLevelMeter m;
    std::vector<std::string> events;
    void SetUp() override
    {
        m.OnSignalChange = [this](TLevelMeter* s) { events.push_back("level " + std::to_string(s->SLevel())); };
        m.OnSquelchChange = [this](TLevelMeter* s) { events.push_back("squelch " + std::to_string(s->Squelch())); };
    }
    void Shape()
    {
        m.resize(29, 146);
        m.SetColor(Qt::black);
        m.SetFontColor(QColor(0, 255, 0));
    }
    void Mouse(QEvent::Type type, QPoint at, Qt::MouseButton button = Qt::LeftButton)
    {
        QMouseEvent e(type, QPointF(at), QPointF(m.mapToGlobal(at)), type == QEvent::MouseMove ? Qt::NoButton : button,
                      type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::MouseButtons(button), Qt::NoModifier);
        QCoreApplication::sendEvent(&m, &e);
    }
    // Where the marker's tip is drawn, as the painting places it.
    QPoint Tip() const
    {
        const int span = m.height() - 8 - m.TextHeightE() / 2;
        return {m.width() - 2 - 8, 4 + MulDiv(span, 100 - m.Squelch(), 100)};
    }
};

TEST_F(Meter, StartsSmallAndEmpty)
{
    EXPECT_EQ(m.size(), QSize(32, 32));
    EXPECT_EQ(m.SLevel(), 0);
    EXPECT_EQ(m.Squelch(), 0);
    EXPECT_EQ(m.Style(), msVertical);
    EXPECT_TRUE(m.testAttribute(Qt::WA_OpaquePaintEvent));
}

TEST_F(Meter, WritesAreClampedAndOnlyChangesFireEvents)
{
    struct Case {
        bool squelch;
        int32_t value;
        int32_t reads;
        bool fires;
    };
    for (const Case& c : std::vector<Case>{{true, 150, 98, true},
                                           {true, 99, 98, false},
                                           {true, -7, 0, true},
                                           {true, 0, 0, false},
                                           {false, -5, 0, false},
                                           {false, 101, 100, true},
                                           {false, 100, 100, false},
                                           {false, 42, 42, true}}) {
        events.clear();
        c.squelch ? m.SetSquelch(c.value) : m.SetSLevel(c.value);
        EXPECT_EQ(c.squelch ? m.Squelch() : m.SLevel(), c.reads) << c.value;
        EXPECT_EQ(events.size(), c.fires ? 1u : 0u) << c.value;
        if (c.fires) {  // the event sees the stored value
            EXPECT_EQ(events[0], (c.squelch ? "squelch " : "level ") + std::to_string(c.reads));
        }
    }
}

TEST_F(Meter, PaintsScaleBarAndRedMarker)
{
    Shape();
    m.SetSLevel(50);
    m.SetSquelch(50);
    const QImage img = m.Render();
    ASSERT_EQ(img.size(), QSize(29, 146));
    const QColor lime(0, 255, 0), red(255, 0, 0), black(0, 0, 0);
    const QPoint tip = Tip();
    EXPECT_EQ(QColor(img.pixel(tip)), red);
    EXPECT_EQ(QColor(img.pixel(tip.x() + 6, tip.y() - 6)), red);  // the triangle's corners
    EXPECT_EQ(QColor(img.pixel(tip.x() + 6, tip.y() + 6)), red);
    EXPECT_NE(QColor(img.pixel(tip.x() + 7, tip.y())), red);       // rows end before xs + 7
    EXPECT_NE(QColor(img.pixel(tip.x() - 1, tip.y())), red);
    EXPECT_EQ(QColor(img.pixel(4, 4)), lime);                      // the 100 % line of the scale
    EXPECT_EQ(QColor(img.pixel(12, 140)), lime);                   // the bar's lower half
    EXPECT_EQ(QColor(img.pixel(12, 20)), black);                   // above the bar
    EXPECT_EQ(QColor(img.pixel(3, 100)), black);                   // background inside the frame
    // A disabled meter shows its frame and background only.
    m.setEnabled(false);
    const QImage off = m.Render();
    for (int y = 0; y < off.height(); ++y)
        for (int x = 0; x < off.width(); ++x)
            ASSERT_NE(QColor(off.pixel(x, y)), red) << x << "," << y;
}

TEST_F(Meter, DragThresholdFormula)
{
    struct Case {
        int y, height, th;
        bool moves;
        int32_t squelch;
    };
    for (const Case& c : std::vector<Case>{{4, 146, 16, true, 100},
                                           {69, 146, 16, true, 50},
                                           {70, 146, 16, true, 50},     // 66 * 100 / 130 truncates to 50
                                           {134, 146, 16, true, 0},
                                           {200, 146, 16, true, -50},
                                           {0, 146, 16, true, 103},      // -400 / 130 truncates toward zero
                                           {10, 16, 16, false, 0},      // no scale: nothing to divide by
                                           {10, 12, 16, false, 0}}) {
        int32_t sq = 0;
        EXPECT_EQ(MeterDragSquelch(c.y, c.height, c.th, sq), c.moves) << c.y << " " << c.height;
        if (c.moves) {
            EXPECT_EQ(sq, c.squelch) << c.y << " " << c.height;
        }
    }
}

TEST_F(Meter, PressOnTheMarkerDragsItAndPressOnTheBarDoesNot)
{
    Shape();
    m.SetSLevel(100);
    for (int32_t q : {10, 50, 90}) {
        m.SetSquelch(q);
        Mouse(QEvent::MouseButtonPress, Tip());
        ASSERT_TRUE(m.Dragging()) << q;
        Mouse(QEvent::MouseMove, Tip());  // dragging on the tip itself keeps the marker where it is
        EXPECT_NEAR(m.Squelch(), q, 1);
        Mouse(QEvent::MouseMove, QPoint(Tip().x(), 4 + (m.height() - 8 - m.TextHeightE() / 2) / 2));
        EXPECT_NEAR(m.Squelch(), 50, 1);
        Mouse(QEvent::MouseButtonRelease, QPoint(0, 0));
        EXPECT_FALSE(m.Dragging());
        Mouse(QEvent::MouseMove, QPoint(Tip().x(), 4));
        EXPECT_NEAR(m.Squelch(), 50, 1);  // no longer dragging
    }
    m.SetSquelch(50);
    Mouse(QEvent::MouseButtonPress, QPoint(12, 140));  // the bar
    EXPECT_FALSE(m.Dragging());
    Mouse(QEvent::MouseButtonPress, Tip(), Qt::RightButton);
    EXPECT_FALSE(m.Dragging());
    m.setEnabled(false);
    Mouse(QEvent::MouseButtonPress, Tip());
    EXPECT_FALSE(m.Dragging());
}

TEST_F(Meter, DraggingOnAMeterWithoutRoomForAScaleChangesNothing)
{
    Shape();
    m.resize(29, 8 + m.TextHeightE() / 2);
    m.SetSquelch(30);
    Mouse(QEvent::MouseButtonPress, Tip());
    ASSERT_TRUE(m.Dragging());
    events.clear();
    Mouse(QEvent::MouseMove, QPoint(Tip().x(), 2));
    EXPECT_EQ(m.Squelch(), 30);
    EXPECT_TRUE(events.empty());
}

}  // namespace
