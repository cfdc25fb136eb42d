#include "ScreenPlace.h"

#include <QGuiApplication>
#include <QRegion>
#include <QScreen>
#include <QWidget>

#include <algorithm>
#include <climits>

namespace platform {

namespace {

// How far apart two rectangles are (0 when they touch or overlap), squared.
long long DistanceSquared(const QRect& a, const QRect& b)
{
    const long long dx = std::max({0, b.left() - a.right(), a.left() - b.right()});
    const long long dy = std::max({0, b.top() - a.bottom(), a.top() - b.bottom()});
    return dx * dx + dy * dy;
}

long long Area(const QRect& r) { return r.isEmpty() ? 0 : static_cast<long long>(r.width()) * r.height(); }

}  // namespace

QPoint OnScreens(const QRect& frame, const std::vector<QRect>& screens)
{
    if (screens.empty() || frame.isEmpty())
        return frame.topLeft();
    QRegion covered;
    for (const QRect& s : screens)
        covered += s;
    if (QRegion(frame).subtracted(covered).isEmpty())
        return frame.topLeft();
    const QRect* nearest = &screens.front();
    long long bestOverlap = -1, bestDistance = LLONG_MAX;
    for (const QRect& s : screens) {
        const long long overlap = Area(frame.intersected(s));
        const long long distance = DistanceSquared(frame, s);
        if (overlap > bestOverlap || (overlap == bestOverlap && distance < bestDistance)) {
            nearest = &s;
            bestOverlap = overlap;
            bestDistance = distance;
        }
    }
    const QRect& s = *nearest;
    // Right and bottom edges first, so a window larger than the screen keeps its top left on it.
    int x = std::min(frame.left(), s.left() + s.width() - frame.width());
    int y = std::min(frame.top(), s.top() + s.height() - frame.height());
    x = std::max(x, s.left());
    y = std::max(y, s.top());
    return {x, y};
}

void KeepOnScreen(QWidget* window)
{
    std::vector<QRect> screens;
    for (const QScreen* screen : QGuiApplication::screens())
        screens.push_back(screen->availableGeometry());
    const QRect frame = window->frameGeometry();
    const QPoint to = OnScreens(frame, screens);
    if (to != frame.topLeft())
        window->move(to);
}

}  // namespace platform
