#include "MyFontDialog.h"

#include "FontCombo.h"

#include <QComboBox>
#include <QLabel>
#include <QPushButton>

TMyFontDlg::TMyFontDlg(QWidget* parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("Font"));
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint);
    setFixedSize(349, 88);

    NameLabel = new QLabel(QStringLiteral("Name"), this);
    NameLabel->setObjectName(QStringLiteral("NameLabel"));
    NameLabel->setGeometry(8, 6, 60, 16);
    FontComboBox1 = new TFontComboBox(this);
    FontComboBox1->setObjectName(QStringLiteral("FontComboBox1"));
    FontComboBox1->setGeometry(8, 24, 185, 21);

    SizeLabel = new QLabel(QStringLiteral("Size"), this);
    SizeLabel->setObjectName(QStringLiteral("SizeLabel"));
    SizeLabel->setGeometry(201, 6, 50, 16);
    ComboBox1 = new QComboBox(this);
    ComboBox1->setObjectName(QStringLiteral("ComboBox1"));
    ComboBox1->setGeometry(201, 24, 57, 21);
    for (const char* size : {"6", "8", "10", "12", "14", "16", "18", "20", "24", "30", "40"})
        ComboBox1->addItem(QString::fromLatin1(size));
    ComboBox1->setCurrentIndex(-1);

    OkButton = new QPushButton(QStringLiteral("&OK"), this);
    OkButton->setObjectName(QStringLiteral("OkButton"));
    OkButton->setGeometry(266, 22, 75, 25);
    OkButton->setDefault(true);
    CancelButton = new QPushButton(QStringLiteral("Cancel"), this);
    CancelButton->setObjectName(QStringLiteral("CancelButton"));
    CancelButton->setGeometry(266, 55, 75, 25);
    connect(OkButton, &QPushButton::clicked, this, [this] { done(1); });
    connect(CancelButton, &QPushButton::clicked, this, [this] { done(2); });
}

void TMyFontDlg::SelectFont(const QString& name)
{
    FontComboBox1->setCurrentIndex(FontComboBox1->findText(name, Qt::MatchFixedString | Qt::MatchCaseSensitive));
}

void TMyFontDlg::SelectSize(int points)
{
    ComboBox1->setCurrentIndex(ComboBox1->findText(QString::number(points), Qt::MatchFixedString));
}

QString TMyFontDlg::ChosenFont(const QString& current) const
{
    return FontComboBox1->currentIndex() >= 0 ? FontComboBox1->currentText() : current;
}

int TMyFontDlg::ChosenSize(int current) const
{
    return ComboBox1->currentIndex() >= 0 ? ComboBox1->currentText().toInt() : current;
}
