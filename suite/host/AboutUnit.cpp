#include "AboutUnit.h"

#include "VersInfo.h"

#include <QFrame>
#include <QGuiApplication>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QScreen>

namespace {

QFont ArialBold(int pixels)
{
    QFont f("Arial");
    f.setBold(true);
    f.setPixelSize(pixels);
    return f;
}

void Colour(QWidget* w, const QColor& c)
{
    QPalette p = w->palette();
    p.setColor(QPalette::WindowText, c);
    w->setPalette(p);
}

// Text placed by its top-left corner, as the labels of the box are.
void TextAt(QPainter& p, int x, int y, const QString& text)
{
    p.drawText(QRect(x, y, 400, 60), Qt::AlignLeft | Qt::AlignTop, text);
}

}  // namespace

void CentreOnScreen(QWidget* w)
{
    if (QScreen* screen = QGuiApplication::primaryScreen()) {
        // The outer size, as the window has it now: callers centre a window once its size is final.
        const QRect r = screen->geometry();
        const QSize size = w->frameGeometry().size();
        w->move(r.left() + (r.width() - size.width()) / 2, r.top() + (r.height() - size.height()) / 2);
    }
}

TAboutForm::TAboutForm(QWidget* parent) : QDialog(parent)
{
    setWindowTitle("About");
    setWindowFlags(Qt::Dialog | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
    setFixedSize(319, 179);

    auto* bevel = new QFrame(this);
    bevel->setFrameStyle(QFrame::Box | QFrame::Sunken);
    bevel->setGeometry(8, 8, 303, 124);

    bevel->setObjectName("Bevel");
    moduleLabel_ = new QLabel(this);
    moduleLabel_->setObjectName("ModuleLabel");
    moduleLabel_->setFont(ArialBold(16));
    moduleLabel_->move(24, 54);

    // The version drawn twice, the navy label over its shadow two pixels down and right.
    versionShadow_ = new TVerInfoLabel(this);
    versionShadow_->setObjectName("VersionShadow");
    versionShadow_->setFont(ArialBold(16));
    Colour(versionShadow_, palette().color(QPalette::Dark));
    versionShadow_->move(178, 81);
    versionLabel_ = new TVerInfoLabel(this);
    versionLabel_->setObjectName("VersionLabel");
    versionLabel_->setFont(ArialBold(16));
    Colour(versionLabel_, QColor(0, 0, 128));
    versionLabel_->move(176, 79);

    auto* ok = new QPushButton("Ok", this);
    ok->setObjectName("OkButton");
    ok->setDefault(true);
    ok->setGeometry(122, 142, 75, 25);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);

    CentreOnScreen(this);
}

void TAboutForm::SetModuleText(const std::string& text)
{
    moduleLabel_->setText(QString::fromStdString(text));
    moduleLabel_->adjustSize();
}

void TAboutForm::paintEvent(QPaintEvent* event)
{
    QDialog::paintEvent(event);
    QPainter p(this);
    p.setFont(ArialBold(24));
    p.setPen(QColor(128, 128, 128));
    TextAt(p, 10, 21, "Korvanta Quenda");
    p.setPen(QColor(255, 102, 51));
    TextAt(p, 8, 19, "Korvanta Quenda");
    p.setFont(ArialBold(16));
    p.setPen(palette().color(QPalette::Dark));
    TextAt(p, 61, 81, "Version");
    p.setPen(QColor(0, 0, 128));
    TextAt(p, 59, 79, "Version");
}
