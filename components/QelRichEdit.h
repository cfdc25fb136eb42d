#pragma once
// A rich-text pane with operations that add coloured and styled text at the end.
#include <QTextEdit>
#include <platform/ui/Canvas.h>

class TQelRichEdit : public QTextEdit {
    Q_OBJECT
public:
    explicit TQelRichEdit(QWidget* parent = nullptr);

    // Replaces the selection with the text; the change cannot be undone.
    void InsertText(const QString& text);
    // Appends the text with the attributes found at the end.
    void AppendText(const QString& text);
    // Appends the text in the colour and the font styles (platform::TFontStyle bits).
    void AppendStr(const QString& text, platform::TColor colour, unsigned styles);

private:
    void selectEnd();
};
