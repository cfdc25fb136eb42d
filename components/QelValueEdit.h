#pragma once
// A single-line entry for a frequency: the value is held in Hz, shown scaled to Hz, kHz, MHz, GHz or
// THz with the unit's name, typed as digits with a decimal point and a unit letter, and committed on
// Enter or when the control loses the focus. Text, selection and caret are painted by the control.
#include "QelFramedWindow.h"
#include "QelStaticText.h"
#include <QString>
#include <functional>

enum TQelFixedPoint { fpNone, fp1Hz, fp10Hz, fp100Hz, fp1kHz };

class TQelValueEdit : public TQelFramedWindow {
    Q_OBJECT
public:
    explicit TQelValueEdit(QWidget* parent = nullptr);
    ~TQelValueEdit() override;

    double Value() const { return value_; }
    // Clamps (while Minimum or Maximum is not 0), chooses the unit and shows the value.
    void SetValue(double x);
    double Minimum() const { return minimum_; }
    void SetMinimum(double x);
    double Maximum() const { return maximum_; }
    void SetMaximum(double x);
    TQelFixedPoint FixedPoint() const { return fixedPoint_; }
    void SetFixedPoint(TQelFixedPoint f);
    bool ShowUnits() const { return showUnits_; }
    void SetShowUnits(bool on);
    bool AllowDecimals() const { return allowDecimals_; }
    void SetAllowDecimals(bool on) { allowDecimals_ = on; }
    int32_t MaxLength() const { return maxLength_; }
    void SetMaxLength(int32_t n);
    bool ReadOnly() const { return readOnly_; }
    void SetReadOnly(bool on) { readOnly_ = on; }
    TAlignment Alignment() const { return alignment_; }
    void SetAlignment(TAlignment a);
    bool AutoSelect() const { return autoSelect_; }
    void SetAutoSelect(bool on) { autoSelect_ = on; }
    bool AutoSize() const { return autoSize_; }
    void SetAutoSize(bool on);
    bool FontAutoSize() const { return fontAutoSize_; }
    void SetFontAutoSize(bool on) { fontAutoSize_ = on; }
    bool HideSelection() const { return hideSelection_; }
    void SetHideSelection(bool on);
    platform::TColor SelBkColor() const { return selBkColor_; }
    void SetSelBkColor(platform::TColor c);
    platform::TColor SelTextColor() const { return selTextColor_; }
    void SetSelTextColor(platform::TColor c);
    const platform::TFont& Font() const { return font_; }
    void SetFont(const platform::TFont& f);

    // Fired on every commit, also when the value did not change.
    std::function<void(QObject* sender)> OnChange;

    // Commits the typed text in the typed unit.
    void UpdateValue();
    // Replaces the number text; cursor and selection are kept inside it.
    void SetValueText(const QString& text);
    // The number text and, with ShowUnits, the unit's name.
    QString GetText() const;
    const QString& NumberText() const { return text_; }
    int UnitIndex() const { return unit_; }
    static QString UnitName(int unit);

    int CursorPosition() const { return cursor_; }
    void SetCursorPosition(int i);
    int SelectionStart() const { return selStart_; }
    int SelectionEnd() const { return selEnd_; }
    int GetSelStart() const { return selStart_ != selEnd_ ? selStart_ : cursor_; }
    void SetSelStart(int i);
    void SetSelLength(int n);
    QString GetSelText() const { return text_.mid(selStart_, selEnd_ - selStart_); }
    void SelectAll();
    void ClearSelection();
    void UpdateSelection(int i);

    // The caret's x in control pixels, and the character boundary nearest to a mouse x.
    int GetCursorPos();
    int NearestChar(int x);
    // With AutoSize: the height fitted to the font, and fixed.
    void AdjustHeight();
    int TextTop() const { return textTop_; }
    int UnitWidth() const { return unitWidth_; }

    // Keys and characters as the keyboard handler takes them; the widget's key events call these.
    // KeyDown returns whether the key was one of the control's.
    bool KeyDown(int key, bool shift);
    // Returns whether the character was taken (consumed).
    bool KeyPress(QChar c);

protected:
    void Paint(platform::TCanvas& canvas) override;
    void resizeEvent(QResizeEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    void focusInEvent(QFocusEvent* e) override;
    void focusOutEvent(QFocusEvent* e) override;

private:
    int clampIndex(int i) const { return i < 0 ? 0 : i > int(text_.size()) ? int(text_.size()) : i; }
    void fontChanged();
    int textWidth(const QString& s);
    int textHeightOfM();
    void insertAtCursor(QChar c);

    double value_ = 0;
    double minimum_ = 0;
    double maximum_ = 100;
    TQelFixedPoint fixedPoint_ = fpNone;
    bool showUnits_ = true;
    bool allowDecimals_ = true;
    int32_t maxLength_ = 10;
    bool readOnly_ = false;
    TAlignment alignment_ = taLeftJustify;
    bool autoSelect_ = true;
    bool autoSize_ = true;
    bool fontAutoSize_ = false;
    bool hideSelection_ = true;
    platform::TColor selBkColor_ = platform::clHighlight;
    platform::TColor selTextColor_ = platform::clHighlightText;
    platform::TFont font_;

    int cursor_ = 0;
    int selStart_ = 0;
    int selEnd_ = 0;
    int textTop_ = 0;
    int unitWidth_ = 0;
    int unit_ = 0;
    QString text_;
    bool captured_ = false;
    platform::TBitmap bitmap_;
};
