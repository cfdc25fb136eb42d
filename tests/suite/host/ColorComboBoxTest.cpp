// The colour box: its table, how a colour selects an item, the events that change the list, and
// how an item is drawn.
#include "ColorComboBox.h"

#include <QImage>
#include <QPainter>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using namespace platform;

std::vector<std::string> Names(TColorComboBox& box)
{
    std::vector<std::string> names;
    for (int i = 0; i < box.count(); ++i)
        names.push_back(box.itemText(i).toStdString());
    return names;
}

TEST(ColorComboBox, TheSeventeenColours)
{
    TColorComboBox box;
    const std::vector<std::string> names = {"Auto", "Black", "Maroon", "Green", "Olive", "Navy",
                                            "Purple", "Teal", "Gray", "Silver", "Red", "Lime",
                                            "Yellow", "Blue", "Fuchsia", "Aqua", "White"};
    const TColor colors[] = {clWindowText, 0x000000, 0x000080, 0x008000, 0x008080, 0x800000,
                             0x800080, 0x808000, 0x808080, 0xC0C0C0, 0x0000FF, 0x00FF00,
                             0x00FFFF, 0xFF0000, 0xFF00FF, 0xFFFF00, 0xFFFFFF};
    EXPECT_EQ(Names(box), names);
    for (int i = 0; i < 17; ++i) {
        TColor c = 1;
        std::string n;
        box.GetColor(i, c, n);
        EXPECT_EQ(c, colors[i]) << i;
        EXPECT_EQ(n, names[size_t(i)]);
    }
    EXPECT_EQ(box.PictureWidth(), 24);
    EXPECT_EQ(box.maxVisibleItems(), 8);
}

TEST(ColorComboBox, SelectionRules)
{
    struct Case {
        TColor color;
        int index;
    };
    // Exact matches first: the window text colour is "Auto", plain black "Black" even where the
    // window text is black; a value in no item selects nothing.
    const Case cases[] = {{0x0000FF, 10}, {clWindowText, 0}, {0x000000, 1}, {0x123456, -1},
                          {0xFFFFFF, 16}};
    ASSERT_EQ(ColorToRGB(clWindowText), 0x000000u) << "the offscreen palette's window text is black";
    for (const Case& c : cases) {
        TColorComboBox box;
        box.SetSelectedColor(c.color);
        EXPECT_EQ(box.currentIndex(), c.index) << std::hex << c.color;
        EXPECT_EQ(box.SelectedColor(), c.color);
    }
    // An RGB match when no exact one exists: white from the system's window colour.
    TColorComboBox box;
    if (ColorToRGB(clWindow) == 0xFFFFFF) {
        box.SetSelectedColor(clWindow);
        EXPECT_EQ(box.currentIndex(), 16);
    }
}

TEST(ColorComboBox, RefillingKeepsTheLastItemOfTheSameRgbValue)
{
    TColorComboBox box;
    box.SetSelectedColor(clWindowText);
    EXPECT_EQ(box.currentIndex(), 0);
    box.FillItems();
    EXPECT_EQ(box.currentIndex(), 1);  // "Black", the last black one
    box.SetSelectedColor(clWindowText);
    EXPECT_EQ(box.currentIndex(), 0);
}

TEST(ColorComboBox, EventsChangeTheList)
{
    TColorComboBox box;
    box.OnGetColorNum = [](TCustomColorComboBox*, int& n) { n = 3; };
    box.FillItems();
    EXPECT_EQ(Names(box), (std::vector<std::string>{"Auto", "Black", "Maroon"}));

    // Entries past the table that no event fills are black and unnamed, never left undefined.
    box.OnGetColorNum = [](TCustomColorComboBox*, int& n) { n = 19; };
    box.FillItems();
    ASSERT_EQ(box.count(), 19);
    TColor c = 0x123456;
    std::string n = "junk";
    box.GetColor(18, c, n);
    EXPECT_EQ(c, 0x123456u) << "GetColor leaves a past-the-table entry as it came";
    EXPECT_EQ(box.itemText(18).toStdString(), "");

    box.OnGetColor = [](TCustomColorComboBox*, int index, TColor& color, std::string& name) {
        if (index == 17) {
            color = 0x102030;
            name = "Mine";
        }
    };
    box.FillItems();
    EXPECT_EQ(box.itemText(17).toStdString(), "Mine");
    box.SetSelectedColor(0x102030);
    EXPECT_EQ(box.currentIndex(), 17);
}

TEST(ColorComboBox, PickingAnItemTakesItsColourAndTells)
{
    TColorComboBox box;
    int changes = 0;
    box.OnChange = [&](TCustomColorComboBox*) { ++changes; };
    box.setCurrentIndex(13);
    box.ItemClick(13);
    EXPECT_EQ(box.SelectedColor(), clBlue);
    EXPECT_EQ(changes, 1);
}

TEST(ColorComboBox, PictureWidthAndDrawing)
{
    TColorComboBox box;
    box.SetPictureWidth(-5);
    EXPECT_EQ(box.PictureWidth(), 32);
    struct Case {
        int width;
        int swatchRight;  // first column right of the swatch, 0 for none
    };
    for (const Case& c : {Case{32, 3 + 32}, Case{18, 3 + 18}, Case{0, 0}}) {
        box.SetPictureWidth(c.width);
        QImage img(120, 20, QImage::Format_RGB32);
        img.fill(Qt::gray);
        {
            QPainter p(&img);
            box.DrawItem(p, 10, QRect(0, 0, 120, 20), false);  // "Red"
        }
        const QColor red(255, 0, 0);
        if (c.width > 0) {
            EXPECT_EQ(img.pixelColor(3 + c.width / 2, 10), red) << c.width;
            EXPECT_NE(img.pixelColor(c.swatchRight + 1, 10), red) << c.width;
            EXPECT_NE(img.pixelColor(3 + c.width / 2, 1), red) << "swatch starts 2 pixels down";
        } else {
            int reds = 0;
            for (int x = 0; x < 120; ++x)
                for (int y = 0; y < 20; ++y)
                    reds += img.pixelColor(x, y) == red;
            EXPECT_EQ(reds, 0);
            // The name starts 3 pixels from the left: nothing of it left of that.
            for (int y = 0; y < 20; ++y)
                for (int x = 0; x < 3; ++x)
                    EXPECT_EQ(img.pixelColor(x, y), box.palette().color(QPalette::Base));
        }
    }
}

TEST(ColorComboBox, ItemHeightFollowsTheFont)
{
    TColorComboBox box;
    EXPECT_EQ(box.property("itemHeight").toInt(), 16);
    QFont f = box.font();
    f.setPixelSize(20);
    box.setFont(f);
    EXPECT_EQ(box.property("itemHeight").toInt(), QFontMetrics(f).height() + 3);
    f.setPixelSize(6);
    box.setFont(f);
    EXPECT_EQ(box.property("itemHeight").toInt(), 15);
}

}  // namespace
