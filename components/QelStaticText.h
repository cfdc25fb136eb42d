#pragma once
// A bevelled caption.
#include "QelFramedWindow.h"
#include <QString>

enum TAlignment { taLeftJustify, taRightJustify, taCenter };

class TQelStaticText : public TQelFramedWindow {
    Q_OBJECT
    // The caption, the font it is painted in and the width inside the frame, for layout checks.
    Q_PROPERTY(QString caption READ Caption)
    Q_PROPERTY(QFont captionFont READ CaptionFont)
    Q_PROPERTY(int captionRoom READ CaptionRoom)
public:
    explicit TQelStaticText(QWidget* parent = nullptr);
    ~TQelStaticText() override;

    const QString& Caption() const { return caption_; }
    // Stores and repaints, also when the text is unchanged.
    void SetText(const QString& text);
    TAlignment Alignment() const { return alignment_; }
    void SetAlignment(TAlignment a);
    bool FontAutoSize() const { return fontAutoSize_; }
    void SetFontAutoSize(bool on) { fontAutoSize_ = on; }
    const platform::TFont& Font() const { return font_; }
    QFont CaptionFont() const { return platform::ToQFont(font_); }
    int CaptionRoom() const { return width() - 2 * FrameWidth(); }
    void SetFont(const platform::TFont& f);

protected:
    void Paint(platform::TCanvas& canvas) override;
    void resizeEvent(QResizeEvent* e) override;

private:
    QString caption_ = QStringLiteral("StaticText");
    TAlignment alignment_ = taLeftJustify;
    bool fontAutoSize_ = false;
    platform::TFont font_;
};
