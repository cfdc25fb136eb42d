#pragma once
// orvhost's small window: the receiver's served values, which the user can change, and the applets.
#include <QWidget>

#include <map>
#include <string>

class HostCore;
class QListWidget;
class QSpinBox;

class HostWindow : public QWidget {
    Q_OBJECT
public:
    HostWindow(HostCore& core, std::string quendaPath, QWidget* parent = nullptr);
    QSpinBox* valueBox(const std::string& item) const { return boxes_.at(item); }

private:
    void refreshApplets();

    HostCore& core_;
    std::string quendaPath_;
    std::map<std::string, QSpinBox*> boxes_;
    QListWidget* applets_;
};
