#include "ScopeDispPropsUnit.h"

#include <QLabel>
#include <QPushButton>
#include <QScreen>

TScopeDispPropsForm::TScopeDispPropsForm(QWidget* owner) : QDialog(owner)
{
    setWindowTitle("Display Properties");
    setFixedSize(227, 161);
    struct Row {
        const char* caption;
        TColorComboBox** box;
        const char* name;
        platform::TColor color;
    };
    const Row rows[] = {
        {"&Background colour:", &BackgroundColour, "BackgroundColour", platform::clBlack},
        {"&Grid colour:", &GridColour, "GridColour", platform::clGreen},
        {"&Trace colour:", &TraceColour, "TraceColour", platform::clWhite},
        {"&Cursor colour:", &MarkerColour, "MarkerColour", platform::clRed},
    };
    int y = 8;
    for (const Row& r : rows) {
        auto* box = new TColorComboBox(this);
        box->setObjectName(r.name);
        box->SetPictureWidth(18);
        box->setGeometry(126, y, 95, 24);
        box->SetSelectedColor(r.color);
        box->OnChange = [this](TCustomColorComboBox*) { ColourChange(); };
        *r.box = box;
        auto* label = new QLabel(r.caption, this);
        label->setObjectName(QString(r.name) + "Label");
        label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        label->setGeometry(2, y, 120, 24);
        label->setBuddy(box);
        y += 30;
    }
    auto button = [this](const char* caption, const char* name, int x) {
        auto* b = new QPushButton(caption, this);
        b->setObjectName(name);
        b->setGeometry(x, 128, 67, 25);
        return b;
    };
    OkButton = button("OK", "OkButton", 8);
    CancelButton = button("Cancel", "CancelButton", 80);
    ApplyButton = button("&Apply", "ApplyButton", 152);
    OkButton->setDefault(true);
    connect(OkButton, &QPushButton::clicked, this, &QDialog::accept);
    connect(CancelButton, &QPushButton::clicked, this, &QDialog::reject);
    connect(ApplyButton, &QPushButton::clicked, this, &TScopeDispPropsForm::ApplyButtonClick);
}

void TScopeDispPropsForm::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (const QScreen* screen = this->screen())
        move(screen->availableGeometry().center() - rect().center());
    FormShow();
}

void TScopeDispPropsForm::FormShow()
{
    ApplyButton->setEnabled(bool(OnApply));
}

void TScopeDispPropsForm::ColourChange()
{
    CancelButton->setEnabled(true);
}

void TScopeDispPropsForm::ApplyButtonClick()
{
    if (OnApply) {
        OnApply(this);
        CancelButton->setEnabled(false);
    }
}

void TScopeDispPropsForm::AfterClose(int result)
{
    if (result == QDialog::Accepted && CancelButton->isEnabled())
        ApplyButtonClick();
}

int TScopeDispPropsForm::Execute()
{
    const int result = exec();
    AfterClose(result);
    return result;
}
