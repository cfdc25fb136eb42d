// The "On air:" grid's mouse: a double click acts on the call row under it and on nothing elsewhere,
// and the wheel scrolls a row a notch, also when the notch comes in small parts.
#include "OrvOnAirGrid.h"

#include <QApplication>
#include <QMouseEvent>
#include <QScrollBar>
#include <QWheelEvent>
#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace {

constexpr int kLine = TOrvOnAirGrid::kRowHeight + 1;

std::unique_ptr<TOrvOnAirGrid> Grid(bool scrollBar, int height)
{
    TOrvOnAirColumns columns;
    columns.Widths = {60, 60};
    columns.ScrollBar = scrollBar;
    auto grid = std::make_unique<TOrvOnAirGrid>(columns, nullptr);
    grid->resize(grid->GridWidth(), height);
    return grid;
}

void DoubleClick(QWidget* w, QPoint at)
{
    QMouseEvent press(QEvent::MouseButtonPress, at, w->mapToGlobal(at), Qt::LeftButton, Qt::LeftButton,
                      Qt::NoModifier);
    QCoreApplication::sendEvent(w, &press);
    QMouseEvent release(QEvent::MouseButtonRelease, at, w->mapToGlobal(at), Qt::LeftButton, Qt::NoButton,
                        Qt::NoModifier);
    QCoreApplication::sendEvent(w, &release);
    QMouseEvent dbl(QEvent::MouseButtonDblClick, at, w->mapToGlobal(at), Qt::LeftButton, Qt::LeftButton,
                    Qt::NoModifier);
    QCoreApplication::sendEvent(w, &dbl);
}

void Wheel(QWidget* w, int delta)
{
    const QPointF at(10, 2 * kLine + 5);
    QWheelEvent e(at, w->mapToGlobal(at), QPoint(), QPoint(0, delta), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase,
                  false);
    QCoreApplication::sendEvent(w, &e);
}

TEST(OnAirGrid, DoubleClickActsOnTheCallRowUnderItAndOnNothingElsewhere)
{
    auto grid = Grid(false, 10 * kLine);
    grid->SetRowCount(4);  // the caption and three calls
    std::vector<int> acted;
    grid->OnDoubleClick = [&](int row) { acted.push_back(row); };
    struct Case {
        int y;
        int row;  // the row acted on, -1 for none
    };
    const Case cases[] = {
        {1 * kLine + 5, 1}, {3 * kLine + 5, 3},
        {4 * kLine + 5, -1},  // just below the last call
        {9 * kLine + 5, -1},  // far below it
        {5, -1},              // the caption row
        {2 * kLine + 5, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.y);
        grid->SetSelectedRow(1);
        DoubleClick(grid.get(), QPoint(20, c.y));
        if (c.row < 0) {
            EXPECT_TRUE(acted.empty()) << "acted on row " << acted.front();
            EXPECT_EQ(grid->SelectedRow(), 1) << "the selection stays";
        } else {
            EXPECT_EQ(acted, std::vector<int>{c.row});
            EXPECT_EQ(grid->SelectedRow(), c.row);
        }
        acted.clear();
    }
}

// The rows scrolled by a series of wheel events, with and without the scroll bar.
TEST(OnAirGrid, WheelScrollsARowEachNotchAlsoInSmallSteps)
{
    struct Case {
        const char* what;
        std::vector<int> deltas;
        int top;  // the first call row shown afterwards, from row 5
    };
    const Case cases[] = {
        {"whole notches", {-120, -120}, 7},
        {"a notch in eight parts", {-15, -15, -15, -15, -15, -15, -15, -15}, 6},
        {"seven parts of a notch", {-15, -15, -15, -15, -15, -15, -15}, 5},
        {"two notches in parts of 40", {-40, -40, -40, -40, -40, -40}, 7},
        {"upwards in parts", {30, 30, 30, 30, 30}, 4},
        {"a turn back starts afresh", {-90, 60, -90}, 5},
        {"a notch and a half, then half", {-180, -60}, 7},
    };
    for (bool scrollBar : {false, true}) {
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(c.what) + (scrollBar ? ", scroll bar" : ", no scroll bar"));
            auto grid = Grid(scrollBar, 5 * kLine);
            grid->SetRowCount(31);  // thirty calls, four shown at a time
            for (int i = 0; i < 4; ++i)
                Wheel(grid.get(), -120);
            ASSERT_EQ(grid->TopRow(), 5);
            for (int d : c.deltas)
                Wheel(grid.get(), d);
            EXPECT_EQ(grid->TopRow(), c.top);
            if (scrollBar)
                EXPECT_EQ(grid->ScrollBar()->value(), c.top);
        }
    }
}

}  // namespace
