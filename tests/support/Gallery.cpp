#include "Gallery.h"

#include "TestSupport.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QFont>
#include <QFontMetrics>
#include <QVariant>
#include <QGroupBox>
#include <QLabel>
#include <QPixmap>
#include <QRadioButton>
#include <QStyle>
#include <QStyleOptionButton>
#include <QToolButton>
#include <QWidget>
#include <cstdlib>

namespace testsupport {

std::filesystem::path galleryDir()
{
    if (const char* dir = std::getenv("KORVANTA_GALLERY_DIR"); dir && *dir)
        return dir;
    return buildDir() / "gallery";
}

std::filesystem::path gallerySave(QWidget& widget, const std::string& name)
{
    if (!widget.isVisible())
        widget.show();
    for (int i = 0; i < 5; ++i)
        QApplication::processEvents();
    const std::filesystem::path dir = galleryDir();
    std::filesystem::create_directories(dir);
    const std::filesystem::path file = dir / (name + ".png");
    widget.grab().save(QString::fromStdString(file.string()), "PNG");
    return file;
}

namespace {

std::string describe(const QWidget* w, const QString& text, int needs, int has)
{
    return (w->objectName().isEmpty() ? std::string(w->metaObject()->className())
                                      : w->objectName().toStdString()) +
           ": " + text.toStdString() + " (needs " + std::to_string(needs) + ", has " + std::to_string(has) + ")";
}

// Width a check box or radio button leaves for its text after the indicator and its spacing.
int textRoomOfIndicatorButton(const QAbstractButton* b)
{
    QStyleOptionButton opt;
    opt.initFrom(b);
    const bool radio = qobject_cast<const QRadioButton*>(b) != nullptr;
    const QStyle::PixelMetric ind = radio ? QStyle::PM_ExclusiveIndicatorWidth : QStyle::PM_IndicatorWidth;
    const QStyle::PixelMetric gap = radio ? QStyle::PM_RadioButtonLabelSpacing : QStyle::PM_CheckBoxLabelSpacing;
    return b->width() - b->style()->pixelMetric(ind, &opt, b) - b->style()->pixelMetric(gap, &opt, b);
}

}  // namespace

std::vector<std::string> captionsThatDoNotFit(const QWidget& window)
{
    std::vector<std::string> out;
    for (const QWidget* w : window.findChildren<QWidget*>()) {
        if (!w->isVisibleTo(&window))
            continue;
        const QFontMetrics fm = w->fontMetrics();
        if (const auto* l = qobject_cast<const QLabel*>(w)) {
            if (l->text().isEmpty() || l->wordWrap() || l->textFormat() == Qt::RichText)
                continue;
            const int needs = fm.horizontalAdvance(l->text().remove('&'));
            const int has = l->contentsRect().width() - 2 * l->margin();
            if (needs > has)
                out.push_back(describe(w, l->text(), needs, has));
        } else if (const auto* b = qobject_cast<const QAbstractButton*>(w)) {
            if (b->text().isEmpty())
                continue;
            // A tool button that shows only its picture carries its text as a hint.
            if (const auto* t = qobject_cast<const QToolButton*>(b); t && t->toolButtonStyle() == Qt::ToolButtonIconOnly)
                continue;
            const QString text = QString(b->text()).remove('&');
            const int needs = fm.horizontalAdvance(text);
            int has = b->width() - 4;
            if (qobject_cast<const QCheckBox*>(b) || qobject_cast<const QRadioButton*>(b))
                has = textRoomOfIndicatorButton(b);
            if (needs > has)
                out.push_back(describe(w, b->text(), needs, has));
        } else if (w->property("caption").isValid() && w->property("captionRoom").isValid()) {
            // Painted controls name their caption, its font and the room inside their frame.
            const QString text = w->property("caption").toString();
            const QVariant font = w->property("captionFont");
            const QFontMetrics cfm = font.isValid() ? QFontMetrics(font.value<QFont>()) : fm;
            const int needs = cfm.horizontalAdvance(text);
            const int has = w->property("captionRoom").toInt();
            if (!text.isEmpty() && needs > has)
                out.push_back(describe(w, text, needs, has));
        } else if (const auto* g = qobject_cast<const QGroupBox*>(w)) {
            if (g->title().isEmpty())
                continue;
            const int needs = fm.horizontalAdvance(QString(g->title()).remove('&'));
            const int has = g->width() - 12;
            if (needs > has)
                out.push_back(describe(w, g->title(), needs, has));
        }
    }
    return out;
}

std::vector<std::string> overlappingControls(const QWidget& window)
{
    std::vector<std::string> out;
    const auto name = [](const QWidget* w) {
        return w->objectName().isEmpty() ? std::string(w->metaObject()->className()) : w->objectName().toStdString();
    };
    // The list is kept in a variable: a range over the result of << would outlive its temporary.
    QList<QWidget*> parents = window.findChildren<QWidget*>();
    parents << const_cast<QWidget*>(&window);
    for (const QWidget* parent : parents) {
        std::vector<const QWidget*> kids;
        for (const QObject* o : parent->children())
            if (const auto* w = qobject_cast<const QWidget*>(o); w && !w->isWindow() && w->isVisibleTo(&window))
                kids.push_back(w);
        for (size_t i = 0; i < kids.size(); ++i)
            for (size_t j = i + 1; j < kids.size(); ++j) {
                const QRect a = kids[i]->geometry(), b = kids[j]->geometry();
                if (!a.intersects(b))
                    continue;
                // A frame drawn around other controls is not an overlap.
                if (a.contains(b) && (qobject_cast<const QGroupBox*>(kids[i]) || kids[i]->inherits("QFrame")))
                    continue;
                if (b.contains(a) && (qobject_cast<const QGroupBox*>(kids[j]) || kids[j]->inherits("QFrame")))
                    continue;
                out.push_back(name(kids[i]) + " / " + name(kids[j]));
            }
    }
    return out;
}

}  // namespace testsupport
