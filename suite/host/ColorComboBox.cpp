#include "ColorComboBox.h"

#include <QAbstractItemView>
#include <QEvent>
#include <QPainter>
#include <QStyleOptionComboBox>
#include <QStyledItemDelegate>
#include <QStylePainter>

namespace {

using platform::TColor;

struct TColorEntry {
    TColor color;
    const char* name;
};

const TColorEntry kColors[17] = {
    {platform::clWindowText, "Auto"}, {platform::clBlack, "Black"},   {platform::clMaroon, "Maroon"},
    {platform::clGreen, "Green"},     {platform::clOlive, "Olive"},   {platform::clNavy, "Navy"},
    {platform::clPurple, "Purple"},   {platform::clTeal, "Teal"},     {platform::clGray, "Gray"},
    {platform::clSilver, "Silver"},   {platform::clRed, "Red"},       {platform::clLime, "Lime"},
    {platform::clYellow, "Yellow"},   {platform::clBlue, "Blue"},     {platform::clFuchsia, "Fuchsia"},
    {platform::clAqua, "Aqua"},       {platform::clWhite, "White"},
};

// Draws the list's items the way the box draws its own.
class TColorItemDelegate : public QStyledItemDelegate {
public:
    explicit TColorItemDelegate(TCustomColorComboBox* box) : QStyledItemDelegate(box), box_(box) {}
    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        painter->save();
        box_->DrawItem(*painter, index.row(), option.rect, option.state & QStyle::State_Selected);
        painter->restore();
    }
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        QSize s = QStyledItemDelegate::sizeHint(option, index);
        s.setHeight(box_->property("itemHeight").toInt());
        return s;
    }

private:
    TCustomColorComboBox* box_;
};

}  // namespace

TCustomColorComboBox::TCustomColorComboBox(QWidget* parent) : QComboBox(parent)
{
    setMaxVisibleItems(8);
    setFocusPolicy(Qt::StrongFocus);
    setItemDelegate(new TColorItemDelegate(this));
    setProperty("itemHeight", itemHeight_);
    connect(this, &QComboBox::activated, this, &TCustomColorComboBox::ItemClick);
    FillItems();
}

void TCustomColorComboBox::SetPictureWidth(int value)
{
    if (value == pictureWidth_)
        return;
    pictureWidth_ = value;
    update();
}

int TCustomColorComboBox::GetColorCount()
{
    int n = 17;
    if (OnGetColorNum)
        OnGetColorNum(this, n);
    return n;
}

void TCustomColorComboBox::GetColor(int index, TColor& color, std::string& name)
{
    if (index >= 0 && index < 17) {
        color = kColors[index].color;
        name = kColors[index].name;
    }
    if (OnGetColor)
        OnGetColor(this, index, color, name);
}

void TCustomColorComboBox::FillItems()
{
    const TColor remembered = platform::ColorToRGB(selected_);
    const QSignalBlocker block(this);
    clear();
    const int n = GetColorCount();
    int found = -1;
    for (int i = 0; i < n; ++i) {
        TColor color = platform::clBlack;
        std::string name;
        GetColor(i, color, name);
        addItem(QString::fromStdString(name));
        if (platform::ColorToRGB(color) == remembered)
            found = i;
    }
    setCurrentIndex(found);
}

void TCustomColorComboBox::SetSelectedColor(TColor value)
{
    selected_ = value;
    const int n = count();
    auto colorOf = [this](int i) {
        TColor color = platform::clBlack;
        std::string name;
        GetColor(i, color, name);
        return color;
    };
    int found = -1;
    for (int i = 0; i < n && found < 0; ++i)
        if (colorOf(i) == value)
            found = i;
    for (int i = 0; i < n && found < 0; ++i)
        if (platform::ColorToRGB(colorOf(i)) == platform::ColorToRGB(value))
            found = i;
    const QSignalBlocker block(this);
    setCurrentIndex(found);
}

void TCustomColorComboBox::ItemClick(int index)
{
    if (index >= 0) {
        std::string name;
        TColor color = platform::clBlack;
        GetColor(index, color, name);
        selected_ = color;
    }
    if (OnChange)
        OnChange(this);
}

void TCustomColorComboBox::DrawItem(QPainter& painter, int index, const QRect& r, bool selected)
{
    TColor color = platform::clBlack;
    std::string name;
    GetColor(index, color, name);
    const QRect r2 = r.adjusted(3, 0, -3, 0);
    const QPalette& pal = palette();
    painter.fillRect(r, selected ? pal.color(QPalette::Highlight) : pal.color(QPalette::Base));
    const QColor textColor = selected ? pal.color(QPalette::HighlightedText) : pal.color(QPalette::Text);
    int left = r2.left();
    const int pw = PictureWidth();
    if (pw > 0) {
        // The swatch spans (left, top + 2) to (left + width, bottom - 2), outlined in the text colour.
        const QRect swatch(r2.left(), r2.top() + 2, pw, r2.height() - 4);
        painter.fillRect(swatch, platform::ToQColor(color));
        painter.setPen(textColor);
        painter.drawRect(swatch.adjusted(0, 0, -1, -1));
        left = r2.left() + pw + 3;
    }
    const QFontMetrics fm(font());
    painter.setPen(textColor);
    painter.setClipRect(r2);
    painter.drawText(left, r.top() + (r.height() - fm.height()) / 2 + fm.ascent(), QString::fromStdString(name));
    painter.setClipping(false);
    if (OnDrawItem)
        OnDrawItem(painter, index, r, selected);
}

void TCustomColorComboBox::paintEvent(QPaintEvent*)
{
    QStylePainter p(this);
    QStyleOptionComboBox opt;
    initStyleOption(&opt);
    opt.currentText.clear();
    opt.currentIcon = QIcon();
    p.drawComplexControl(QStyle::CC_ComboBox, opt);
    const QRect field = style()->subControlRect(QStyle::CC_ComboBox, &opt, QStyle::SC_ComboBoxEditField, this);
    if (currentIndex() >= 0)
        DrawItem(p, currentIndex(), field, hasFocus());
}

void TCustomColorComboBox::ApplyItemHeight()
{
    const int h = QFontMetrics(font()).height();
    itemHeight_ = h < 12 ? 15 : h + 3;
    setProperty("itemHeight", itemHeight_);
    view()->reset();
}

void TCustomColorComboBox::changeEvent(QEvent* event)
{
    QComboBox::changeEvent(event);
    if (event->type() == QEvent::FontChange)
        ApplyItemHeight();
}
