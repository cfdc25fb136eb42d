#pragma once
// A panel with a paint event: the scope's display and readout line draw themselves in OnPaint.
#include <QFrame>

#include <functional>

class TPaintPanel : public QFrame {
    Q_OBJECT
public:
    explicit TPaintPanel(QWidget* parent = nullptr);
    bool DefaultDrawing() const { return defaultDrawing_; }
    void SetDefaultDrawing(bool v);
    // Called inside the paint event, after the panel's own painting when DefaultDrawing is on.
    std::function<void(TPaintPanel*)> OnPaint;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    bool defaultDrawing_ = true;
};
