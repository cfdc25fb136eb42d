#pragma once
// The decoder window's side of the system database's notices: each is shown as a message box with an
// OK button, owned by the window where the notice asks for it.
#include "DatabaseReport.h"

class QWidget;

class TDatabaseBoxes : public TDatabaseReport {
public:
    explicit TDatabaseBoxes(QWidget* owner) : owner_(owner) {}
    void Notify(const TDatabaseNotice& notice) override;

private:
    QWidget* owner_;
};
