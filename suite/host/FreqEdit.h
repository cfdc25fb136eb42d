#pragma once
// A one-line edit for a frequency held in whole Hz and shown with an automatically chosen unit
// (" Hz", " kHz", " MHz", " GHz"), optionally rounded to a fixed resolution. It draws its own text,
// caret and selection, takes only digits, signs and the decimal separator, switches the unit on the
// letters G, H, K and M, and reads the text back on Enter or when it loses the focus.
#include <QFrame>
#include <QImage>

#include <cstdint>
#include <functional>
#include <string>

enum TFreqUnit { fuHz, fukHz, fuMHz, fuGHz };
enum TFixedPoint { fpNone, fp1Hz, fp10Hz, fp100Hz, fp1kHz };
enum TFreqAlignment { faLeft, faRight, faCenter };
enum TFreqBorderStyle { fbsNone, fbsSingle };

// The value as SetFrequency stores it: bounded (lower bound with a non-zero Minimum or Maximum, upper
// bound with a non-zero Maximum) and rounded to the resolution, halves away from zero.
int32_t FreqEditBound(int32_t f, int32_t minimum, int32_t maximum, TFixedPoint fixedPoint);
// The unit a non-zero value is shown in, for a switching threshold.
TFreqUnit FreqEditUnit(int32_t f, int32_t hzLimit);
// The edit text of a value in a unit ('.' standing for the decimal separator).
std::string FreqEditText(int32_t f, TFreqUnit unit, TFixedPoint fixedPoint, char decimalSeparator);

class TFreqEdit : public QFrame {
    Q_OBJECT
public:
    explicit TFreqEdit(QWidget* parent = nullptr);

    // Keys the control handles in KeyDown.
    enum TKey { kBackspace, kDelete, kEnter, kEscape, kLeft, kRight, kHome, kEnd };

    TFreqAlignment Alignment() const { return alignment_; }
    bool AutoSelect() const { return autoSelect_; }
    bool AutoSize() const { return autoSize_; }
    TFreqBorderStyle BorderStyle() const { return borderStyle_; }
    TFreqUnit DefaultUnit() const { return unit_; }
    TFixedPoint FixedPoint() const { return fixedPoint_; }
    int32_t Frequency() const { return frequency_; }
    bool HideSelection() const { return hideSelection_; }
    int32_t HzLimit() const { return hzLimit_; }
    int32_t Maximum() const { return maximum_; }
    int32_t Minimum() const { return minimum_; }
    bool ReadOnly() const { return readOnly_; }
    QColor SelBkColor() const { return selBkColor_; }
    QColor SelTextColor() const { return selTextColor_; }

    void SetAlignment(TFreqAlignment v);
    void SetAutoSelect(bool v) { autoSelect_ = v; }
    void SetAutoSize(bool v);
    void SetBorderStyle(TFreqBorderStyle v);
    void SetDefaultUnit(TFreqUnit v);
    void SetFixedPoint(TFixedPoint v);
    // Bounds, rounds and shows the value; never tells OnChange.
    void SetFrequency(int32_t f);
    void SetHideSelection(bool v);
    void SetHzLimit(int32_t v);
    void SetMaximum(int32_t v);
    void SetMinimum(int32_t v);
    void SetReadOnly(bool v) { readOnly_ = v; }
    void SetSelBkColor(const QColor& c);
    void SetSelTextColor(const QColor& c);

    // The number being edited, without its unit, and the unit suffix shown after it.
    const std::string& Text() const { return text_; }
    static const char* UnitSuffix(TFreqUnit unit);
    int SelStart() const { return selStart_; }
    int SelEnd() const { return selEnd_; }
    int CaretIndex() const { return caret_; }

    // The keyboard as the control takes it; KeyPress answers whether the character was consumed.
    void KeyDown(TKey key, bool shift);
    bool KeyPress(char c);
    // Reads the text back into Hz (Enter, leaving the control).
    void AcceptText();
    void SelectAll();

    // Layout the painting and the mouse use.
    int CaretX() const;
    int CharAtX(int x) const;
    int TextTop() const { return textTop_; }
    int TextHeight() const { return textHeight_; }
    int UnitWidth() const { return unitWidth_; }
    // The control's client area as it paints it.
    QImage Render() const;

    std::function<void(TFreqEdit*)> OnChange;

protected:
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void AdjustHeight();
    void ApplyBorder();
    void SetCaret(int i);
    void MoveCaret(int i);
    void ExtendSelection(int i);
    void DeleteSelection();
    void InsertAtCaret(char c);
    int Clamp(int i) const;
    int Width(const std::string& s) const;
    int ClientWidth() const;
    int TextLeft() const;

    TFreqAlignment alignment_ = faLeft;
    bool autoSelect_ = true;
    bool autoSize_ = true;
    TFreqBorderStyle borderStyle_ = fbsSingle;
    TFreqUnit unit_ = fuMHz;
    TFixedPoint fixedPoint_ = fpNone;
    int32_t frequency_ = 0;
    bool hideSelection_ = true;
    int32_t hzLimit_ = 1800;
    int32_t maximum_ = 0;
    int32_t minimum_ = 0;
    bool readOnly_ = false;
    QColor selBkColor_;
    QColor selTextColor_;

    std::string text_ = "0";
    int selStart_ = 0;
    int selEnd_ = 0;
    int caret_ = 0;
    int unitWidth_ = 0;
    int textHeight_ = 0;
    int textTop_ = 0;
    bool capturing_ = false;
    bool pressFocus_ = false;  // the focus came with a mouse press not yet handled
};
