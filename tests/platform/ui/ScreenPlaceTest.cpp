// A window whose stored position leaves part of its frame off every screen is brought onto the
// nearest screen; one that lies on the screens, across two of them included, stays where it is.
#include "platform/ui/ScreenPlace.h"

#include <QApplication>
#include <QScreen>
#include <QWidget>

#include <gtest/gtest.h>

namespace {

using platform::OnScreens;

TEST(ScreenPlace, FrameOffEveryScreenGoesOntoTheNearest)
{
    // Two screens side by side, the right one shorter; the left one's top 32 pixels are a panel.
    const std::vector<QRect> two = {{0, 32, 1920, 1048}, {1920, 0, 1280, 1024}};
    struct Case {
        const char* what;
        QRect frame;
        QPoint to;
    };
    const Case cases[] = {
        {"inside one screen", {100, 100, 800, 600}, {100, 100}},
        {"across both screens", {1700, 100, 400, 300}, {1700, 100}},
        {"touching the last pixel", {1120, 480, 800, 600}, {1120, 480}},
        {"20 pixels off the left", {-20, 100, 840, 600}, {0, 100}},
        {"under the panel", {100, 10, 800, 600}, {100, 32}},
        {"off the right of the right screen", {3000, 100, 400, 300}, {2800, 100}},
        {"one pixel off the bottom", {100, 481, 800, 600}, {100, 480}},
        // the lower corner hangs where neither screen is: the screen it overlaps most takes it
        {"in the gap below the shorter screen", {1700, 900, 400, 300}, {1520, 780}},
        {"far from both", {-5000, -5000, 300, 200}, {0, 32}},
        {"below the right screen", {2500, 3000, 300, 200}, {2500, 824}},
        {"larger than the screen", {-50, -50, 2500, 1200}, {0, 32}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(OnScreens(c.frame, two), c.to) << c.what;
    EXPECT_EQ(OnScreens({-20, -20, 100, 100}, {}), QPoint(-20, -20)) << "no screens: left alone";
}

TEST(ScreenPlace, WindowIsMovedOnTheApplicationsScreens)
{
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    QWidget window;
    window.resize(300, 200);
    window.move(screen.left() - 20, screen.top() + 50);
    platform::KeepOnScreen(&window);
    EXPECT_EQ(window.pos(), QPoint(screen.left(), screen.top() + 50));
    window.move(screen.right() - 100, screen.bottom() + 40);
    platform::KeepOnScreen(&window);
    EXPECT_EQ(window.frameGeometry().bottomRight(), screen.bottomRight());
    window.move(screen.left() + 10, screen.top() + 10);
    platform::KeepOnScreen(&window);
    EXPECT_EQ(window.pos(), QPoint(screen.left() + 10, screen.top() + 10));
}

}  // namespace
