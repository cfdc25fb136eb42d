#pragma once
// "Display Properties": the scope's four display colours, with OK, Cancel and Apply. The caller sets
// the colours and an apply handler, which reads the four boxes when the colours are to be taken.
#include "ColorComboBox.h"

#include <QDialog>

#include <functional>

class QLabel;
class QPushButton;

class TScopeDispPropsForm : public QDialog {
    Q_OBJECT
public:
    explicit TScopeDispPropsForm(QWidget* owner = nullptr);

    TColorComboBox* BackgroundColour = nullptr;
    TColorComboBox* GridColour = nullptr;
    TColorComboBox* TraceColour = nullptr;
    TColorComboBox* MarkerColour = nullptr;
    QPushButton* OkButton = nullptr;
    QPushButton* CancelButton = nullptr;
    QPushButton* ApplyButton = nullptr;

    std::function<void(TScopeDispPropsForm*)> OnApply;

    void FormShow();
    void ColourChange();
    void ApplyButtonClick();
    // What the caller does once the dialog has closed: OK with changes not yet applied applies them.
    void AfterClose(int result);
    // Shows the dialog modally and then applies as AfterClose says; the dialog's result.
    int Execute();

protected:
    void showEvent(QShowEvent* event) override;
};
