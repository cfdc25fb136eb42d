#include "Dialogs.h"

#include <QCheckBox>
#include <QColorDialog>
#include <QDialog>
#include <QFileDialog>
#include <QFontDialog>
#include <QFontInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QRadioButton>
#include <QStringList>
#include <QVBoxLayout>
#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <map>
#include <mutex>
#include <sstream>

namespace platform {

namespace {

std::mutex gMutex;
DialogHandler gHandler;
std::string gSpec;                     // the DIALOG_ANSWER value the positions belong to
std::map<std::string, size_t> gUsed;  // entries of each kind already used

const char* kindName(DialogKind k)
{
    switch (k) {
    case DialogKind::Open: return "open";
    case DialogKind::Save: return "save";
    case DialogKind::Print: return "print";
    case DialogKind::Font: return "font";
    case DialogKind::Color: return "color";
    case DialogKind::Find: return "find";
    }
    return "";
}

std::string trim(const std::string& s)
{
    size_t b = s.find_first_not_of(" \t\r\n"), e = s.find_last_not_of(" \t\r\n");
    return b == std::string::npos ? std::string() : s.substr(b, e - b + 1);
}

// "value|extra" split at the last '|'.
std::pair<std::string, std::string> splitExtra(const std::string& v)
{
    size_t bar = v.rfind('|');
    if (bar == std::string::npos)
        return {v, std::string()};
    return {v.substr(0, bar), v.substr(bar + 1)};
}

bool parseInt(const std::string& s, long long& out)
{
    std::string t = trim(s);
    if (t.empty())
        return false;
    char* end = nullptr;
    errno = 0;
    long long v = std::strtoll(t.c_str(), &end, 0);
    if (errno != 0 || *end != '\0')
        return false;
    out = v;
    return true;
}

// The next entry of DIALOG_ANSWER for a kind; false when there is none.
bool nextAnswer(DialogKind kind, std::string& value)
{
    const char* env = std::getenv("DIALOG_ANSWER");
    std::string spec = env ? env : "";
    std::lock_guard<std::mutex> lock(gMutex);
    if (spec != gSpec) {
        gSpec = spec;
        gUsed.clear();
    }
    std::string name = kindName(kind);
    size_t seen = 0;
    for (const auto& [k, v] : ParseDialogAnswers(spec)) {
        if (k != name && !(name == "color" && k == "colour"))
            continue;
        if (seen++ == gUsed[name]) {
            ++gUsed[name];
            value = v;
            return true;
        }
    }
    return false;
}

// "Wave file (*.wav)|*.wav|All (*.*)|*.*" as Qt name filters.
QStringList nameFilters(const std::string& filter)
{
    QStringList parts = QString::fromStdString(filter).split(QLatin1Char('|'));
    QStringList out;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QString patterns = parts[i + 1];
        patterns.replace(QLatin1Char(';'), QLatin1Char(' '));
        QString desc = parts[i].trimmed();
        QString tail = " (" + patterns.trimmed() + ")";
        // Descriptions often show their patterns already; Qt reads the patterns from the last brackets.
        out << (desc.endsWith(tail.mid(1)) ? desc : desc + tail);
    }
    if (out.isEmpty() && !parts.isEmpty() && !parts[0].isEmpty())
        out << parts[0];
    return out;
}

}  // namespace

std::vector<std::pair<std::string, std::string>> ParseDialogAnswers(const std::string& spec)
{
    std::string text = trim(spec);
    if (!text.empty() && text[0] == '@') {
        std::ifstream in(trim(text.substr(1)), std::ios::binary);
        std::stringstream ss;
        ss << in.rdbuf();
        text = ss.str();
    }
    std::vector<std::pair<std::string, std::string>> out;
    std::string entry;
    auto take = [&] {
        std::string e = trim(entry);
        entry.clear();
        size_t eq = e.find('=');
        if (eq == std::string::npos || eq == 0)
            return;
        std::string k = trim(e.substr(0, eq));
        std::transform(k.begin(), k.end(), k.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
        out.emplace_back(k, trim(e.substr(eq + 1)));
    };
    for (char c : text) {
        if (c == ';' || c == '\n')
            take();
        else
            entry += c;
    }
    take();
    return out;
}

void SetDialogHandler(DialogHandler handler)
{
    std::lock_guard<std::mutex> lock(gMutex);
    gHandler = std::move(handler);
}

TCommonDialog::~TCommonDialog() = default;

bool TCommonDialog::Execute(QWidget* owner)
{
    DialogHandler handler;
    {
        std::lock_guard<std::mutex> lock(gMutex);
        handler = gHandler;
    }
    if (handler)
        return handler(*this);
    if (const char* env = std::getenv("DIALOG_ANSWER"); env && *env) {
        std::string value;
        if (!nextAnswer(Kind(), value) || value == "cancel")
            return false;
        return applyAnswer(value);
    }
    return executeReal(owner);
}

// ---- Open and save ---------------------------------------------------------------------------

bool TOpenDialog::applyAnswer(const std::string& value)
{
    auto [name, extra] = splitExtra(value);
    if (name.empty())
        return false;
    FileName = name;
    long long index = 0;
    if (parseInt(extra, index) && index >= 1 && index <= 1000)
        FilterIndex = static_cast<int>(index);
    return true;
}

bool TOpenDialog::executeReal(QWidget* owner)
{
    QFileDialog d(owner, QString::fromStdString(Title));
    d.setAcceptMode(saving() ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    d.setFileMode(saving() || !(Options & ofFileMustExist) ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    if (saving() && !(Options & ofOverwritePrompt))
        d.setOption(QFileDialog::DontConfirmOverwrite);
    QStringList filters = nameFilters(Filter);
    if (!filters.isEmpty()) {
        d.setNameFilters(filters);
        d.selectNameFilter(filters.value(std::clamp(FilterIndex, 1, static_cast<int>(filters.size())) - 1));
    }
    if (!DefaultExt.empty())
        d.setDefaultSuffix(QString::fromStdString(DefaultExt));
    if (!InitialDir.empty())
        d.setDirectory(QString::fromStdString(InitialDir));
    if (!FileName.empty())
        d.selectFile(QString::fromStdString(FileName));
    if (d.exec() != QDialog::Accepted || d.selectedFiles().isEmpty())
        return false;
    FileName = d.selectedFiles().front().toStdString();
    qsizetype idx = filters.indexOf(d.selectedNameFilter());
    if (idx >= 0)
        FilterIndex = static_cast<int>(idx) + 1;
    return true;
}

// ---- Print -------------------------------------------------------------------------------------

TPrintDialog::TPrintDialog() : printer_(std::make_unique<QPrinter>()) {}
TPrintDialog::~TPrintDialog() = default;

QPrinter& TPrintDialog::Printer() { return *printer_; }

bool TPrintDialog::applyAnswer(const std::string& value)
{
    auto [file, extra] = splitExtra(value);
    if (file.empty())
        return false;
    if (file != "ok") {
        printer_->setOutputFormat(QPrinter::PdfFormat);
        printer_->setOutputFileName(QString::fromStdString(file));
    }
    Selection = false;
    std::stringstream ss(extra);
    for (std::string w; std::getline(ss, w, ',');) {
        long long copies = 0;
        if (trim(w) == "selection")
            Selection = OfferSelection;
        else if (parseInt(w, copies) && copies >= 1 && copies <= 999)
            Copies = static_cast<int>(copies);
    }
    printer_->setCopyCount(Copies);
    return true;
}

bool TPrintDialog::executeReal(QWidget* owner)
{
    printer_->setCopyCount(Copies);
    QPrintDialog d(printer_.get(), owner);
    if (!Title.empty())
        d.setWindowTitle(QString::fromStdString(Title));
    d.setOption(QAbstractPrintDialog::PrintSelection, OfferSelection);
    if (d.exec() != QDialog::Accepted)
        return false;
    Copies = printer_->copyCount();
    Selection = OfferSelection && printer_->printRange() == QPrinter::Selection;
    return true;
}

// ---- Font and colour ---------------------------------------------------------------------------

bool TFontDialog::applyAnswer(const std::string& value)
{
    std::vector<std::string> parts;
    std::stringstream ss(value);
    for (std::string p; std::getline(ss, p, ',');)
        parts.push_back(trim(p));
    if (parts.empty() || parts[0].empty())
        return false;
    TFont f = Font;
    f.Name = parts[0];
    long long h = 0;
    if (parts.size() > 1 && parseInt(parts[1], h) && h != 0 && h >= -4096 && h <= 4096)
        f.Height = static_cast<int>(h);
    if (parts.size() > 2) {
        f.Style = 0;
        for (char c : parts[2]) {
            switch (c) {
            case 'b': f.Style |= fsBold; break;
            case 'i': f.Style |= fsItalic; break;
            case 'u': f.Style |= fsUnderline; break;
            case 's': f.Style |= fsStrikeOut; break;
            default: break;
            }
        }
    }
    Font = f;
    return true;
}

bool TFontDialog::executeReal(QWidget* owner)
{
    bool ok = false;
    QFont chosen = QFontDialog::getFont(&ok, ToQFont(Font), owner, QString::fromStdString(Title));
    if (!ok)
        return false;
    Font.Name = chosen.family().toStdString();
    int px = chosen.pixelSize() > 0 ? chosen.pixelSize() : QFontInfo(chosen).pixelSize();
    Font.Height = -std::max(1, px);
    Font.Style = (chosen.bold() ? fsBold : 0u) | (chosen.italic() ? fsItalic : 0u) |
                 (chosen.underline() ? fsUnderline : 0u) | (chosen.strikeOut() ? fsStrikeOut : 0u);
    return true;
}

bool TColorDialog::applyAnswer(const std::string& value)
{
    long long v = 0;
    if (!parseInt(value, v) || v < 0 || v > 0xFFFFFF)
        return false;
    Color = static_cast<TColor>(v);
    return true;
}

bool TColorDialog::executeReal(QWidget* owner)
{
    QColor c = QColorDialog::getColor(ToQColor(Color), owner, QString::fromStdString(Title));
    if (!c.isValid())
        return false;
    Color = FromQColor(c);
    return true;
}

// ---- Find --------------------------------------------------------------------------------------

struct TFindDialog::Ui {
    QPointer<QDialog> dialog;
    QLineEdit* text = nullptr;
    QCheckBox* matchCase = nullptr;
    QCheckBox* wholeWord = nullptr;
    QRadioButton* down = nullptr;
    QRadioButton* up = nullptr;
};

TFindDialog::TFindDialog() : ui_(std::make_unique<Ui>()) {}

TFindDialog::~TFindDialog()
{
    if (ui_->dialog)
        delete ui_->dialog.data();
}

QDialog* TFindDialog::Window() const { return ui_->dialog.data(); }

void TFindDialog::FindNext()
{
    if (ui_->dialog) {
        FindText = ui_->text->text().toStdString();
        Options &= ~(frDown | frMatchCase | frWholeWord);
        if (ui_->down->isChecked())
            Options |= frDown;
        if (ui_->matchCase->isChecked())
            Options |= frMatchCase;
        if (ui_->wholeWord->isChecked())
            Options |= frWholeWord;
    }
    Options |= frFindNext;
    if (OnFind)
        OnFind(*this);
}

void TFindDialog::CloseDialog()
{
    if (ui_->dialog)
        ui_->dialog->hide();
}

bool TFindDialog::applyAnswer(const std::string& value)
{
    auto [text, extra] = splitExtra(value);
    FindText = text;
    if (!extra.empty()) {
        Options &= ~(frDown | frMatchCase | frWholeWord);
        std::stringstream ss(extra);
        for (std::string w; std::getline(ss, w, ',');) {
            w = trim(w);
            if (w == "down")
                Options |= frDown;
            else if (w == "case")
                Options |= frMatchCase;
            else if (w == "word")
                Options |= frWholeWord;
        }
    }
    Options |= frFindNext;
    if (OnFind)
        OnFind(*this);
    return true;
}

bool TFindDialog::executeReal(QWidget* owner)
{
    if (!ui_->dialog) {
        auto* d = new QDialog(owner);
        d->setWindowTitle(Title.empty() ? QStringLiteral("Find") : QString::fromStdString(Title));
        auto* outer = new QHBoxLayout(d);
        auto* left = new QVBoxLayout;
        auto* row = new QHBoxLayout;
        auto* label = new QLabel(QStringLiteral("Fi&nd what:"), d);
        row->addWidget(label);
        ui_->text = new QLineEdit(d);
        label->setBuddy(ui_->text);  // shows the mnemonic instead of the '&'

        row->addWidget(ui_->text);
        left->addLayout(row);
        auto* opts = new QHBoxLayout;
        ui_->wholeWord = new QCheckBox(QStringLiteral("Match &whole word only"), d);
        ui_->matchCase = new QCheckBox(QStringLiteral("Match &case"), d);
        ui_->up = new QRadioButton(QStringLiteral("&Up"), d);
        ui_->down = new QRadioButton(QStringLiteral("&Down"), d);
        opts->addWidget(ui_->wholeWord);
        opts->addWidget(ui_->matchCase);
        opts->addWidget(ui_->up);
        opts->addWidget(ui_->down);
        left->addLayout(opts);
        outer->addLayout(left);
        auto* buttons = new QVBoxLayout;
        auto* next = new QPushButton(QStringLiteral("&Find Next"), d);
        next->setDefault(true);
        auto* cancel = new QPushButton(QStringLiteral("Cancel"), d);
        buttons->addWidget(next);
        buttons->addWidget(cancel);
        buttons->addStretch();
        outer->addLayout(buttons);
        QObject::connect(next, &QPushButton::clicked, d, [this] { FindNext(); });
        QObject::connect(cancel, &QPushButton::clicked, d, &QDialog::hide);
        ui_->dialog = d;
    }
    ui_->text->setText(QString::fromStdString(FindText));
    ui_->matchCase->setChecked(Options & frMatchCase);
    ui_->wholeWord->setChecked(Options & frWholeWord);
    ui_->down->setChecked(Options & frDown);
    ui_->up->setChecked(!(Options & frDown));
    ui_->up->setVisible(!(Options & frHideUpDown));
    ui_->down->setVisible(!(Options & frHideUpDown));
    ui_->matchCase->setVisible(!(Options & frHideMatchCase));
    ui_->wholeWord->setVisible(!(Options & frHideWholeWord));
    ui_->dialog->show();
    ui_->dialog->raise();
    return true;
}

}  // namespace platform
