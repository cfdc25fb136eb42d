#include "FontCombo.h"

#include <QFontDatabase>
#include <QPainter>
#include <QStyledItemDelegate>

#include <algorithm>

using namespace platform;

namespace {

constexpr int kGlyphRole = Qt::UserRole + 1;

// One T of the glyph with its top-left corner at (x, y).
void drawT(TCanvas& c, int x, int y, TColor colour)
{
    c.Pen.Color = colour;
    c.MoveTo(x, y + 3);
    c.LineTo(x, y);
    c.LineTo(x + 7, y);
    c.LineTo(x + 7, y + 4);
    c.MoveTo(x + 1, y + 8);
    c.LineTo(x + 7, y + 8);
    c.MoveTo(x + 3, y + 1);
    c.LineTo(x + 3, y + 8);
    c.MoveTo(x + 4, y + 1);
    c.LineTo(x + 4, y + 8);
    c.SetPixel(x + 1, y + 1, colour);
    c.SetPixel(x + 6, y + 1, colour);
}

// List items: the glyph at (left + 3, top + 1) for outline fonts and the name at left + 20.
class FontItemDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    void paint(QPainter* p, const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        const bool selected = option.state & QStyle::State_Selected;
        const QColor back = option.palette.color(selected ? QPalette::Highlight : QPalette::Base);
        p->fillRect(option.rect, back);
        const QRect r = option.rect;
        if (index.data(kGlyphRole).toBool())
            p->drawImage(r.left() + 3, r.top() + 1, FontGlyph(FromQColor(back)));
        p->setPen(option.palette.color(selected ? QPalette::HighlightedText : QPalette::Text));
        p->drawText(r.adjusted(20, 0, 0, 0), Qt::AlignLeft | Qt::AlignVCenter, index.data().toString());
    }
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        QSize s = QStyledItemDelegate::sizeHint(option, index);
        return {s.width() + 20, std::max(s.height(), 14)};
    }
};

}  // namespace

std::vector<TFontInfo> ScreenFonts()
{
    std::vector<TFontInfo> out;
    for (const QString& family : QFontDatabase::families()) {
        TFontInfo f;
        f.Name = family;
        f.Ansi = QFontDatabase::writingSystems(family).contains(QFontDatabase::Latin);
        f.TrueType = QFontDatabase::isSmoothlyScalable(family);
        out.push_back(f);
    }
    return out;
}

QImage FontGlyph(TColor background)
{
    QImage image(12, 12, QImage::Format_RGB32);
    TCanvas c(&image);
    c.Brush.Color = background;
    c.FillRect(Rect(0, 0, 12, 12));
    drawT(c, 0, 0, RGB(128, 128, 128));
    drawT(c, 4, 3, clBlack);
    return image;
}

TFontComboBox::TFontComboBox(QWidget* parent) : QComboBox(parent)
{
    setFixedHeight(21);
    setEditable(false);
    setItemDelegate(new FontItemDelegate(this));
    Fill(ScreenFonts());
}

void TFontComboBox::SetTrueTypeOnly(bool value)
{
    if (value == trueTypeOnly_)
        return;
    trueTypeOnly_ = value;
    Fill(source_);
}

void TFontComboBox::Fill(const std::vector<TFontInfo>& fonts)
{
    source_ = fonts;
    std::vector<TFontInfo> kept;
    for (const TFontInfo& f : fonts)
        if (f.Ansi && (f.TrueType || !trueTypeOnly_) && !f.Name.isEmpty())
            kept.push_back(f);
    // Sorted as the list box sorts, without regard to case; a name is listed once.
    std::stable_sort(kept.begin(), kept.end(), [](const TFontInfo& a, const TFontInfo& b) {
        return QString::compare(a.Name, b.Name, Qt::CaseInsensitive) < 0;
    });
    clear();
    for (const TFontInfo& f : kept) {
        if (findText(f.Name, Qt::MatchFixedString | Qt::MatchCaseSensitive) >= 0)
            continue;
        addItem(f.Name);
        setItemData(count() - 1, f.TrueType, kGlyphRole);
    }
    setCurrentIndex(count() > 0 ? 0 : -1);
}

bool TFontComboBox::HasGlyph(int i) const { return itemData(i, kGlyphRole).toBool(); }
