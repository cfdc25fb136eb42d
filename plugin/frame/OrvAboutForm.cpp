#include "OrvAboutForm.h"

#include <utility>

#include <QFrame>
#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QScreen>

namespace {

// A 0x00BBGGRR colour as a style sheet colour.
QString Css(uint32_t bgr)
{
    return QString("color: #%1%2%3")
        .arg(bgr & 0xFF, 2, 16, QChar('0'))
        .arg((bgr >> 8) & 0xFF, 2, 16, QChar('0'))
        .arg((bgr >> 16) & 0xFF, 2, 16, QChar('0'));
}

QLabel* MakeLabel(QWidget* parent, const QString& text, uint32_t colour, int pointSize, QRect where)
{
    auto* l = new QLabel(text, parent);
    QFont f = l->font();
    f.setPointSize(pointSize);
    f.setBold(true);
    l->setFont(f);
    l->setStyleSheet(Css(colour));
    l->setGeometry(where);
    return l;
}

// The shadow: the front label's size, 4 pixels right and 3 down of it, drawn behind it.
void PlaceShadow(QLabel* shadow, const QLabel* front)
{
    shadow->setGeometry(front->x() + 4, front->y() + 3, front->width(), front->height());
    shadow->lower();
}

}  // namespace

TOrvAboutForm::TOrvAboutForm(const QString& decoderLine, QWidget* owner) : QDialog(owner)
{
    setWindowTitle("About");
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint | Qt::WindowStaysOnTopHint);
    setFixedSize(320, 200);
    auto* bevel = new QFrame(this);
    bevel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    bevel->setGeometry(8, 8, 304, 144);

    TitleShadow = MakeLabel(bevel, "Korvanta Tollan", 0x808080, 18, {});
    Title = MakeLabel(bevel, "Korvanta Tollan", 0x3060FF, 18, {20, 12, 264, 34});
    Decoder = new QLabel(decoderLine, bevel);
    Decoder->setGeometry(20, 60, 264, 20);
    Decoder->setAlignment(Qt::AlignCenter);
    VersionShadow = MakeLabel(bevel, "Version 1.16", 0x7F7F7F, 11, {});
    Version = MakeLabel(bevel, "Version 1.16", 0x7F0000, 11, {20, 96, 264, 24});
    for (QLabel* l : {Title, Version, TitleShadow, VersionShadow})
        l->setAlignment(Qt::AlignCenter);
    for (auto [label, name] : {std::pair{Title, "Title"}, {TitleShadow, "TitleShadow"}, {Decoder, "Decoder"},
                               {Version, "Version"}, {VersionShadow, "VersionShadow"}})
        label->setObjectName(name);
    PlaceShadow(TitleShadow, Title);
    PlaceShadow(VersionShadow, Version);

    auto* ok = new QPushButton("OK", this);
    ok->setObjectName("OKButton");
    ok->setGeometry(122, 162, 76, 28);
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);  // Escape cancels as well

    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect s = screen->geometry();
        move((s.width() - width()) / 2, (s.height() - height()) / 2);
    }
}
