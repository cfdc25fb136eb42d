#pragma once
// A drop-down list of colours, each item a swatch and the colour's name, built from a fixed set of 17
// colours that events may change; the chosen colour is SelectedColor. Colours are 0x00BBGGRR values,
// or system colours.
#include "platform/ui/Canvas.h"

#include <QComboBox>

#include <functional>
#include <string>

class QPainter;

class TCustomColorComboBox : public QComboBox {
    Q_OBJECT
public:
    explicit TCustomColorComboBox(QWidget* parent = nullptr);

    platform::TColor SelectedColor() const { return selected_; }
    // Selects the first item of exactly this colour, else the first of the same RGB value, else none.
    void SetSelectedColor(platform::TColor value);
    // A negative stored width reads as 32; 0 draws no swatch.
    int PictureWidth() const { return pictureWidth_ < 0 ? 32 : pictureWidth_; }
    void SetPictureWidth(int value);

    std::function<void(TCustomColorComboBox*, int& num)> OnGetColorNum;
    std::function<void(TCustomColorComboBox*, int index, platform::TColor& color, std::string& name)> OnGetColor;
    // After the user picked an item (SelectedColor already holds its colour).
    std::function<void(TCustomColorComboBox*)> OnChange;
    // After an item has been drawn: (painter, index, rectangle, selected).
    std::function<void(QPainter&, int, const QRect&, bool)> OnDrawItem;

    virtual int GetColorCount();
    // Entries past the table that no event fills are black and unnamed.
    virtual void GetColor(int index, platform::TColor& color, std::string& name);
    // Rebuilds the items, keeping the item of the selected colour's RGB value (the last such).
    virtual void FillItems();

    // Paints one item into r, as the list and the closed box show it.
    void DrawItem(QPainter& painter, int index, const QRect& r, bool selected);
    // The item the user picked (a click in the list).
    void ItemClick(int index);

protected:
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void ApplyItemHeight();

    platform::TColor selected_ = platform::clBlack;
    int pictureWidth_ = 24;
    int itemHeight_ = 16;
};

class TColorComboBox : public TCustomColorComboBox {
    Q_OBJECT
public:
    using TCustomColorComboBox::TCustomColorComboBox;
};
