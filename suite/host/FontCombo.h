#pragma once
// A sorted combo box of the screen's font names, outline fonts marked with a "TT" glyph in the list.
#include "platform/ui/Canvas.h"

#include <QComboBox>
#include <QImage>

#include <vector>

// One font family as the list sees it.
struct TFontInfo {
    QString Name;
    bool Ansi = true;      // has the Western (Latin) character set
    bool TrueType = true;  // an outline font, shown with the glyph
};

// The families of the screen's font database.
std::vector<TFontInfo> ScreenFonts();

// The 12 x 12 glyph of an outline font on the given background: a grey T and a black T.
QImage FontGlyph(platform::TColor background);

class TFontComboBox : public QComboBox {
    Q_OBJECT
public:
    explicit TFontComboBox(QWidget* parent = nullptr);

    bool TrueTypeOnly() const { return trueTypeOnly_; }
    // A different value refills the list.
    void SetTrueTypeOnly(bool value);

    // Fills the list from these fonts: fonts without the Western character set are left out, outline
    // fonts carry the glyph, and with TrueTypeOnly every other font is removed. The first is selected.
    void Fill(const std::vector<TFontInfo>& fonts);
    // Whether item i carries the glyph.
    bool HasGlyph(int i) const;

private:
    bool trueTypeOnly_ = false;
    std::vector<TFontInfo> source_;
};
