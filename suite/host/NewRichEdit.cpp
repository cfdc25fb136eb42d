#include "NewRichEdit.h"

#include <QPrinter>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextDocumentFragment>

#include <cmath>

using namespace platform;

namespace {

QString paragraphs(const QString& text)
{
    QString t = text;
    t.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    t.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return t;
}

unsigned styleOf(const QTextCharFormat& f)
{
    return (f.fontWeight() >= QFont::DemiBold ? fsBold : 0u) | (f.fontItalic() ? fsItalic : 0u) |
           (f.fontUnderline() ? fsUnderline : 0u) | (f.fontStrikeOut() ? fsStrikeOut : 0u);
}

void applyStyle(QTextCharFormat& f, unsigned style)
{
    f.setFontWeight(style & fsBold ? QFont::Bold : QFont::Normal);
    f.setFontItalic(style & fsItalic);
    f.setFontUnderline(style & fsUnderline);
    f.setFontStrikeOut(style & fsStrikeOut);
}

}  // namespace

void AppendRichText(TNewRichEdit& edit, const QString& text)
{
    QTextCursor c = edit.textCursor();
    QTextDocument* doc = edit.document();
    const bool undo = doc->isUndoRedoEnabled();
    doc->setUndoRedoEnabled(false);
    c.insertText(paragraphs(text));
    doc->setUndoRedoEnabled(undo);
    edit.setTextCursor(c);
}

TNewRichEdit::TNewRichEdit(QWidget* parent) : QTextEdit(parent)
{
    setReadOnly(true);
    setUndoRedoEnabled(false);
    setAcceptRichText(false);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setLineWrapMode(QTextEdit::WidgetWidth);
}

void TNewRichEdit::AppendStyled(const QString& text, TColor colour, unsigned style)
{
    QTextCursor c = textCursor();
    c.movePosition(QTextCursor::End);
    QTextCharFormat f = c.charFormat();
    f.setForeground(ToQColor(colour));
    applyStyle(f, style);
    if (!insertionFamily_.isEmpty())
        f.setFontFamilies({insertionFamily_});
    if (insertionPoints_ > 0)
        f.setFontPointSize(insertionPoints_);
    c.setCharFormat(f);
    setTextCursor(c);
    AppendRichText(*this, text);
}

void TNewRichEdit::SetInsertionFont(const QString& family, int points)
{
    insertionFamily_ = family;
    insertionPoints_ = points;
}

QString TNewRichEdit::InsertionFamily() const
{
    return insertionFamily_.isEmpty() ? font().family() : insertionFamily_;
}

int TNewRichEdit::InsertionPoints() const
{
    if (insertionPoints_ > 0)
        return insertionPoints_;
    const QFont f = font();
    if (f.pointSize() > 0)
        return f.pointSize();
    return static_cast<int>(std::lround(f.pixelSize() * 72.0 / kPixelsPerInch));
}

void TNewRichEdit::SetHangingIndent(int twips)
{
    indentTwips_ = twips;
    applyIndent();
}

void TNewRichEdit::applyIndent()
{
    const double px = indentTwips_ * static_cast<double>(logicalDpiX()) / 1440.0;
    QTextCursor c(document());
    c.select(QTextCursor::Document);
    QTextBlockFormat f;
    f.setLeftMargin(px);
    f.setTextIndent(-px);
    f.setAlignment(Qt::AlignLeft);
    c.mergeBlockFormat(f);
}

std::vector<RtfRun> TNewRichEdit::Runs() const
{
    std::vector<RtfRun> runs;
    const TColor textColour = FromQColor(palette().color(QPalette::Text));
    auto add = [&](const QString& text, const QTextCharFormat& f) {
        RtfRun r;
        r.Text = text;
        r.Color = f.foreground().style() == Qt::NoBrush ? textColour : FromQColor(f.foreground().color());
        r.Style = styleOf(f);
        const QStringList families = f.fontFamilies().toStringList();
        r.FontName = (families.isEmpty() ? font().family() : families.front()).toStdString();
        double points = f.fontPointSize();
        if (points <= 0)
            points = font().pointSizeF() > 0 ? font().pointSizeF() : font().pixelSize() * 72.0 / kPixelsPerInch;
        r.FontSize = static_cast<int>(std::lround(points));
        if (!runs.empty()) {
            RtfRun& last = runs.back();
            if (last.Color == r.Color && last.Style == r.Style && last.FontName == r.FontName &&
                last.FontSize == r.FontSize) {
                last.Text += r.Text;
                return;
            }
        }
        runs.push_back(std::move(r));
    };
    for (QTextBlock b = document()->begin(); b.isValid(); b = b.next()) {
        QTextCharFormat last = b.charFormat();
        for (auto it = b.begin(); !it.atEnd(); ++it) {
            const QTextFragment frag = it.fragment();
            if (!frag.isValid())
                continue;
            last = frag.charFormat();
            add(frag.text(), last);
        }
        if (b.next().isValid())
            add(QStringLiteral("\n"), last);
    }
    return runs;
}

void TNewRichEdit::SetRuns(const std::vector<RtfRun>& runs)
{
    clear();
    QTextCursor c(document());
    const bool undo = document()->isUndoRedoEnabled();
    document()->setUndoRedoEnabled(false);
    for (const RtfRun& r : runs) {
        QTextCharFormat f;
        f.setForeground(ToQColor(r.Color));
        applyStyle(f, r.Style);
        if (!r.FontName.empty())
            f.setFontFamilies({QString::fromStdString(r.FontName)});
        if (r.FontSize > 0)
            f.setFontPointSize(r.FontSize);
        QString text = r.Text;
        text.replace(QChar(0x2028), QLatin1Char('\n'));
        c.insertText(text, f);
    }
    document()->setUndoRedoEnabled(undo);
    applyIndent();
    moveCursor(QTextCursor::Start);
}

QString TNewRichEdit::Text() const { return document()->toPlainText(); }

int TNewRichEdit::LineCount() const { return document()->isEmpty() ? 0 : document()->blockCount(); }

bool TNewRichEdit::LastLineEmpty() const { return document()->lastBlock().text().isEmpty(); }

int TNewRichEdit::SelStart() const { return textCursor().selectionStart(); }

int TNewRichEdit::SelLength() const { return textCursor().selectionEnd() - textCursor().selectionStart(); }

void TNewRichEdit::Select(int start, int length)
{
    const int end = document()->characterCount() - 1;
    QTextCursor c(document());
    c.setPosition(std::clamp(start, 0, end));
    c.setPosition(std::clamp(start + length, 0, end), QTextCursor::KeepAnchor);
    setTextCursor(c);
}

int TNewRichEdit::FindText(const QString& text, int from, bool matchCase, bool wholeWord) const
{
    if (text.isEmpty())
        return -1;
    QTextDocument::FindFlags flags;
    if (matchCase)
        flags |= QTextDocument::FindCaseSensitively;
    if (wholeWord)
        flags |= QTextDocument::FindWholeWords;
    const QTextCursor found = document()->find(text, std::max(0, from), flags);
    return found.isNull() ? -1 : found.selectionStart();
}

void TNewRichEdit::CutSelection()
{
    setReadOnly(false);
    cut();
    setReadOnly(true);
}

void TNewRichEdit::DeleteSelection()
{
    setReadOnly(false);
    textCursor().removeSelectedText();
    setReadOnly(true);
}

void TNewRichEdit::Print(QPrinter& printer, const QString& title, bool selectionOnly) const
{
    printer.setDocName(title);
    QTextDocument copy;
    copy.setDefaultFont(font());
    QTextCursor into(&copy);
    if (selectionOnly && textCursor().hasSelection())
        into.insertFragment(textCursor().selection());
    else
        into.insertFragment(QTextDocumentFragment(document()));
    copy.print(&printer);
}
