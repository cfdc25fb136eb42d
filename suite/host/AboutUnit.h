#pragma once
// The About box every applet shows, with the applet's own module line.
#include <QDialog>

class QLabel;
class TVerInfoLabel;

// Places a window in the middle of the screen.
void CentreOnScreen(QWidget* w);

class TAboutForm : public QDialog {
    Q_OBJECT
public:
    explicit TAboutForm(QWidget* parent = nullptr);
    QLabel* ModuleLabel() const { return moduleLabel_; }
    void SetModuleText(const std::string& text);
    TVerInfoLabel* VersionLabel() const { return versionLabel_; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QLabel* moduleLabel_;
    TVerInfoLabel* versionShadow_;
    TVerInfoLabel* versionLabel_;
};
