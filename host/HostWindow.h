#pragma once
// orvhost's small window: the receiver's frequency, mode, volume, signal level, squelch and scan
// state, shown and changeable by the user (a change is told to the plug-in and the applets as any
// other), the applets, and a menu that opens the plug-in again after its window was closed.
#include <QWidget>

#include <map>
#include <string>

class HostCore;
class PluginHost;
class QAction;
class QComboBox;
class QListWidget;
class QProgressBar;
class QSpinBox;
class QCheckBox;

class HostWindow : public QWidget {
    Q_OBJECT
public:
    HostWindow(HostCore& core, std::string quendaPath, PluginHost* plugin = nullptr, QWidget* parent = nullptr);
    // The control of a receiver value ("Frequency", "SignalStrength", ...): a spin box, a combo box
    // (Mode) or a check box (ScanState, Mute, Attenuator, Power).
    QWidget* control(const std::string& name) const { return controls_.at(name); }
    QAction* reopenAction() const { return reopen_; }
    QProgressBar* levelBar() const { return level_; }

private:
    void display(const std::string& name, int value);
    void refreshApplets();
    void refreshPlugin();

    HostCore& core_;
    std::string quendaPath_;
    PluginHost* plugin_;
    std::map<std::string, QWidget*> controls_;
    QProgressBar* level_ = nullptr;
    QListWidget* applets_ = nullptr;
    QAction* reopen_ = nullptr;
};
