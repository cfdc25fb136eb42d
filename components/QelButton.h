#pragma once
// A push, check or radio button drawn as a bevel that sinks when pressed or checked.
#include "QelButtonState.h"
#include "QelFramedWindow.h"
#include <QString>

class TQelButton : public TQelFramedWindow {
    Q_OBJECT
    // The caption, the font it is painted in and the width inside the frame, for layout checks.
    Q_PROPERTY(QString caption READ Caption)
    Q_PROPERTY(QFont captionFont READ CaptionFont)
    Q_PROPERTY(int captionRoom READ CaptionRoom)
public:
    explicit TQelButton(QWidget* parent = nullptr);
    ~TQelButton() override;

    const QString& Caption() const { return caption_; }
    // Stores and repaints, also when the text is unchanged.
    void SetText(const QString& text);
    TQelButtonStyle ButtonStyle() const { return state_.Style; }
    void SetButtonStyle(TQelButtonStyle s);
    bool Checked() const { return state_.Checked; }
    // Check and radio styles: lowers or raises the frame; fires no OnClick.
    void SetCheck(bool value);
    bool Pressed() const { return state_.Pressed; }
    bool FontAutoSize() const { return fontAutoSize_; }
    void SetFontAutoSize(bool on) { fontAutoSize_ = on; }
    const platform::TFont& Font() const { return font_; }
    QFont CaptionFont() const { return platform::ToQFont(font_); }
    int CaptionRoom() const { return width() - 2 * FrameWidth(); }
    void SetFont(const platform::TFont& f);
    // A press and a release inside the button, as a mouse click makes them: what a click script
    // presses (the platform layer finds it by this name).
    Q_INVOKABLE void click();

protected:
    void Paint(platform::TCanvas& canvas) override;
    void resizeEvent(QResizeEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseDoubleClickEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;

private:
    bool inside(const QMouseEvent* e) const;
    // Shows the state machine's new state, then fires OnClick when asked.
    void apply(const TQelButtonEffects& fx);

    QString caption_ = QStringLiteral("Button");
    bool fontAutoSize_ = false;
    TQelButtonState state_;
    platform::TFont font_;
};

// Font height for a control of height h with the given frame width: a negative pixel height.
int32_t AutoFontHeight(int32_t frameWidth, int32_t h);
