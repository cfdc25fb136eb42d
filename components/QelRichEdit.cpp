#include "QelRichEdit.h"
#include <QTextCursor>
#include <QTextDocument>

TQelRichEdit::TQelRichEdit(QWidget* parent) : QTextEdit(parent) {}

void TQelRichEdit::selectEnd()
{
    QTextCursor c = textCursor();
    c.movePosition(QTextCursor::End);
    setTextCursor(c);
}

void TQelRichEdit::InsertText(const QString& text)
{
    // Line breaks arrive as CR LF (or a lone CR); each one is a paragraph break.
    QString t = text;
    t.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    t.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    QTextCursor c = textCursor();
    const bool undo = document()->isUndoRedoEnabled();
    document()->setUndoRedoEnabled(false);
    c.insertText(t);
    document()->setUndoRedoEnabled(undo);
    setTextCursor(c);
}

void TQelRichEdit::AppendText(const QString& text)
{
    selectEnd();
    InsertText(text);
}

void TQelRichEdit::AppendStr(const QString& text, platform::TColor colour, unsigned styles)
{
    selectEnd();
    QTextCharFormat f = textCursor().charFormat();
    f.setForeground(platform::ToQColor(colour));
    f.setFontWeight(styles & platform::fsBold ? QFont::Bold : QFont::Normal);
    f.setFontItalic(styles & platform::fsItalic);
    f.setFontUnderline(styles & platform::fsUnderline);
    f.setFontStrikeOut(styles & platform::fsStrikeOut);
    setCurrentCharFormat(f);
    InsertText(text);
}
