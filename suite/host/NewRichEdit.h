#pragma once
// The read-only rich-text output pane of the text applets, with the operations their windows use:
// appending styled text, the hanging indent, the text as runs for saving and loading, find, cut and
// delete on a read-only pane, printing.
#include "platform/ui/Canvas.h"
#include "platform/ui/Rtf.h"

#include <QTextEdit>

#include <vector>

class QPrinter;

class TNewRichEdit : public QTextEdit {
    Q_OBJECT
public:
    explicit TNewRichEdit(QWidget* parent = nullptr);

    // Moves the insertion point to the end (no selection) and appends the text in the colour and the
    // font styles (platform::TFontStyle bits). A CR LF, a lone CR or a LF ends a paragraph.
    void AppendStyled(const QString& text, platform::TColor colour, unsigned style);
    // The font appended text takes from now on; an empty name keeps the pane's font.
    void SetInsertionFont(const QString& family, int points);
    QString InsertionFamily() const;
    int InsertionPoints() const;

    // Continuation lines of every paragraph indented by `twips` (1/1440 inch); the first line is not.
    void SetHangingIndent(int twips);
    int HangingIndentTwips() const { return indentTwips_; }

    // The text as runs of one colour, style and font; and the pane filled from runs.
    std::vector<platform::RtfRun> Runs() const;
    void SetRuns(const std::vector<platform::RtfRun>& runs);
    // The text with '\n' between paragraphs.
    QString Text() const;

    // Lines as the rich edit counts them: none when the pane is empty.
    int LineCount() const;
    bool LastLineEmpty() const;

    int SelStart() const;
    int SelLength() const;
    void Select(int start, int length);
    // The first match starting at or after `from`, or -1.
    int FindText(const QString& text, int from, bool matchCase, bool wholeWord) const;

    // Cut and delete on the read-only pane: writable for the moment of the change.
    void CutSelection();
    void DeleteSelection();

    // Prints the text (or only the selection) under the document title.
    void Print(QPrinter& printer, const QString& title, bool selectionOnly) const;

private:
    void applyIndent();

    int indentTwips_ = 0;
    QString insertionFamily_;
    int insertionPoints_ = 0;
};

// Inserts the text at the pane's current selection; the change cannot be undone.
void AppendRichText(TNewRichEdit& edit, const QString& text);
