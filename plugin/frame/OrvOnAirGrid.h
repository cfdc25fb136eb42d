#pragma once
// The "On air:" grid of both decoder windows: a caption row that stays, call rows under it, columns
// with one-pixel lines between them, the pop-up menu with "&Clear", the hint over a row and the
// double click on one. The plug-in's grid gives its columns, and its texts, colours, hint and what a
// double click or "&Clear" does through the hooks.
#include <QWidget>

#include <algorithm>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

class QMenu;
class QScrollBar;

struct TOrvOnAirColumns {
    std::vector<int> Widths;        // in pixels, left to right
    bool LeftFirstColumn = false;   // the call rows' first column starts 2 pixels in; else centred
    bool ScrollBar = false;         // a scroll bar beside the columns; else the wheel alone scrolls
    // Texts placed by the painter's alignment in the cell; else by the font's metrics, as the
    // system's text output centres them (the two may lie a pixel apart).
    bool PainterAligned = false;
};

class TOrvOnAirGrid : public QWidget {
    Q_OBJECT
public:
    static constexpr int kRowHeight = 17;
    static constexpr int kScrollBarWidth = 16;

    TOrvOnAirGrid(TOrvOnAirColumns columns, QWidget* parent);

    // Row 0 is the caption row, row r the r-th call; texts are bytes of the ANSI code page.
    std::function<std::string(int column, int row)> CellText;
    std::function<uint32_t(int row, bool selected)> CellColour;  // 0x00BBGGRR
    // The hint for a point of the grid, with the first call row shown; empty for none.
    std::function<std::string(int x, int y, int topRow)> Hint;
    std::function<void(int row)> OnDoubleClick;
    std::function<void()> OnClear;

    void SetRowCount(int rows);
    int RowCount() const { return rows_; }
    int SelectedRow() const { return selected_; }
    void SetSelectedRow(int row);
    int TopRow() const { return topRow_; }
    int ColumnWidth(int column) const { return columns_.Widths[size_t(column)]; }
    // The columns with their lines, and the scroll bar when there is one.
    int GridWidth() const;
    // The row under a point of the grid, -1 outside the call rows.
    int RowAt(int y) const;
    QMenu* OnAirMenu() const { return menu_; }
    QScrollBar* ScrollBar() const { return scroll_; }
    // Call rows that fit under the caption row.
    int VisibleCallRows() const { return std::max(1, height() / (kRowHeight + 1) - 1); }

protected:
    void paintEvent(QPaintEvent*) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseDoubleClickEvent(QMouseEvent* e) override;
    void wheelEvent(QWheelEvent* e) override;
    bool event(QEvent* e) override;
    void contextMenuEvent(QContextMenuEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;

private:
    // The first call row shown stays where the rows reach; the scroll bar follows.
    void keepTopRow();

    TOrvOnAirColumns columns_;
    QMenu* menu_;
    QScrollBar* scroll_ = nullptr;
    int rows_ = 2;
    int selected_ = 1;
    int topRow_ = 1;  // first call row shown under the caption row
    int wheelRest_ = 0;  // the wheel's turn not yet a whole notch (120 a notch)
};
