#include "TextDecoderForm.h"

#include "AboutUnit.h"
#include "MyFontDialog.h"
#include "NewRichEdit.h"
#include "PlainText.h"

#include "platform/ui/Application.h"
#include "platform/ui/Codepage.h"
#include "platform/ui/Dialogs.h"
#include "platform/ui/MessageBox.h"
#include "platform/ui/Rtf.h"

#include <QAction>
#include <QEvent>
#include <QFileInfo>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QPainterPath>
#include <QPrinter>
#include <QStatusBar>
#include <QToolBar>
#include <QVBoxLayout>

#include <map>

#include <cstdio>
#include <fstream>
#include <stdexcept>

using namespace platform;

namespace {

// Opening reads whole files; anything larger than this is refused rather than loaded.
constexpr std::uintmax_t kMaxOpenBytes = 64u << 20;

enum class Tool { New, Open, Save, Print, Cut, Copy, Find };

// The tool bar's 16 x 16 pictures.
QIcon toolIcon(Tool tool)
{
    QPixmap pm(16, 16);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing, false);
    const QColor ink(0, 0, 0);
    const QColor paper(255, 255, 255);
    auto page = [&](int x, int y, int w, int h) {
        p.setPen(ink);
        p.setBrush(paper);
        QPolygon poly;
        poly << QPoint(x, y) << QPoint(x + w - 4, y) << QPoint(x + w, y + 4) << QPoint(x + w, y + h) << QPoint(x, y + h);
        p.drawPolygon(poly);
        p.drawLine(x + w - 4, y, x + w - 4, y + 4);
        p.drawLine(x + w - 4, y + 4, x + w, y + 4);
    };
    switch (tool) {
    case Tool::New:
        page(3, 1, 10, 14);
        break;
    case Tool::Open:
        p.setPen(ink);
        p.setBrush(QColor(255, 255, 0));
        p.drawRect(1, 5, 13, 9);
        p.setBrush(QColor(128, 128, 0));
        p.drawPolygon(QPolygon({QPoint(1, 14), QPoint(4, 8), QPoint(15, 8), QPoint(13, 14)}));
        p.drawLine(9, 2, 13, 2);
        p.drawLine(13, 2, 13, 5);
        break;
    case Tool::Save:
        p.setPen(ink);
        p.setBrush(QColor(0, 0, 128));
        p.drawRect(1, 1, 14, 14);
        p.setBrush(paper);
        p.drawRect(4, 1, 8, 6);
        p.setBrush(QColor(192, 192, 192));
        p.drawRect(4, 10, 8, 5);
        break;
    case Tool::Print:
        page(4, 1, 8, 6);
        p.setPen(ink);
        p.setBrush(QColor(192, 192, 192));
        p.drawRect(1, 7, 14, 6);
        p.setBrush(paper);
        p.drawRect(4, 11, 8, 4);
        p.fillRect(12, 9, 2, 1, QColor(0, 160, 0));
        break;
    case Tool::Cut:
        p.setPen(QPen(ink, 1));
        p.drawLine(5, 1, 9, 9);
        p.drawLine(10, 1, 6, 9);
        p.setBrush(Qt::NoBrush);
        p.setPen(QPen(QColor(0, 0, 128), 1));
        p.drawEllipse(2, 9, 4, 5);
        p.drawEllipse(9, 9, 4, 5);
        break;
    case Tool::Copy:
        page(1, 1, 8, 10);
        page(6, 5, 8, 10);
        break;
    case Tool::Find:
        p.setRenderHint(QPainter::Antialiasing, true);
        p.setPen(QPen(ink, 1.5));
        p.setBrush(QColor(200, 230, 255));
        p.drawEllipse(QRectF(1.5, 1.5, 8, 8));
        p.setPen(QPen(ink, 2.5));
        p.drawLine(QPointF(9, 9), QPointF(14, 14));
        break;
    }
    return QIcon(pm);
}

bool hasSuffix(const std::string& name, const char* suffix)
{
    return QFileInfo(QString::fromStdString(name)).suffix().compare(QLatin1String(suffix), Qt::CaseInsensitive) == 0;
}

void writeWhole(const std::string& name, const std::string& bytes)
{
    std::ofstream out(name, std::ios::binary | std::ios::trunc);
    if (out)
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (out)
        out.flush();
    if (!out)
        throw std::runtime_error("Cannot write the file \"" + name + "\".");
}

std::string readWhole(const std::string& name)
{
    std::error_code ec;
    const std::uintmax_t size = std::filesystem::file_size(name, ec);
    if (!ec && size > kMaxOpenBytes)
        throw std::runtime_error("The file \"" + name + "\" is too large to open.");
    std::ifstream in(name, std::ios::binary);
    if (!in)
        throw std::runtime_error("Cannot open the file \"" + name + "\".");
    std::string bytes;
    char buffer[65536];
    while (in.read(buffer, sizeof buffer) || in.gcount() > 0) {
        bytes.append(buffer, static_cast<size_t>(in.gcount()));
        if (bytes.size() > kMaxOpenBytes)
            throw std::runtime_error("The file \"" + name + "\" is too large to open.");
    }
    if (in.bad())
        throw std::runtime_error("Cannot read the file \"" + name + "\".");
    return bytes;
}

}  // namespace

void ReportEscapedError(const std::string& text)
{
    Application::ShowError(std::make_exception_ptr(std::runtime_error(text)));
}

TAppletTraits TextWindowTraits(TAppletTraits traits, const TTextWindowConfig& c)
{
    traits.Caption = c.Caption.toStdString();
    traits.ClientWidth = c.Width;
    traits.ClientHeight = c.Height;
    traits.Border = bsSizeable;

    std::vector<TMenuItem> options = {MenuItem("&Pause", "PauseClick"), MenuItem("&Log to file...", "Logtofile1Click"),
                                      MenuSeparator()};
    options[0].Checkable = true;
    options[1].Checkable = true;
    for (TTextOptionsSlot slot : c.OptionsLayout) {
        switch (slot) {
        case osToolbar: {
            TMenuItem toolbar = MenuItem("&Toolbar", "Toolbar2Click");
            toolbar.Checkable = true;
            toolbar.Checked = true;  // checked in the stored form
            options.push_back(toolbar);
            break;
        }
        case osFont: options.push_back(MenuItem("&Font...", "Font1Click")); break;
        case osSeparator: options.push_back(MenuSeparator()); break;
        case osOwn:
            options.insert(options.end(), c.OwnOptions.begin(), c.OwnOptions.end());
            options.push_back(MenuItem("", "OwnOptionsEnd"));  // hidden: where added items go
            break;
        }
    }
    traits.MainMenu = {
        SubMenu("&File", "File1",
                {MenuItem("&New", "New1Click", "Ctrl+N"), MenuItem("&Open...", "Open1Click", "Ctrl+O"),
                 MenuItem("&Save...", "Save1Click", "Ctrl+S"), MenuSeparator(),
                 MenuItem("&Print...", "Print1Click", "Ctrl+P"), MenuSeparator(),
                 MenuItem("E&xit", "Exit1Click", "Alt+X", mcExit)}),
        SubMenu("&Edit", "Edit1",
                {MenuItem(c.CutCaption.toStdString(), "Cut1Click", "Ctrl+X"), MenuItem("&Copy", "Copy1Click", "Ctrl+C"),
                 MenuItem("&Delete", "Delete1Click", "Del"), MenuSeparator(),
                 MenuItem("&Find...", "Find1Click", "Ctrl+F")}),
        SubMenu("&Options", "Options1", options),
        HelpMenuBarEntry(c.AboutCaption.toStdString()),
    };
    return traits;
}

TTextDecoderForm::TTextDecoderForm(int32_t receiver, TAppletTraits traits, TTextWindowConfig config, QWidget* parent)
    : TAppletForm(receiver, TextWindowTraits(std::move(traits), config), parent), config_(std::move(config)),
      findDialog_(std::make_unique<TFindDialog>())
{
    logFileName_ = config_.DefaultLogFile;
    setContextMenuPolicy(Qt::NoContextMenu);  // no tool-bar list of the main window's own

    pane_ = new TNewRichEdit(Client());
    pane_->setObjectName(QStringLiteral("RE1"));
    if (!config_.PaneFont.Name.empty())
        pane_->setFont(ToQFont(config_.PaneFont));
    auto* layout = new QVBoxLayout(Client());
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(pane_);

    buildMenus();
    buildToolBar();
    buildStatusBar();

    findDialog_->Options = frDown | frHideUpDown;
    findDialog_->OnFind = [this](TFindDialog& d) { FindDialogFind(d); };
}

TTextDecoderForm::~TTextDecoderForm() = default;

void TTextDecoderForm::buildMenus()
{
    optionsMenu_ = findChild<QMenu*>(QStringLiteral("Options1"));
    pause_ = MenuAction("PauseClick");
    logToFile_ = MenuAction("Logtofile1Click");
    toolbar_ = MenuAction("Toolbar2Click");
    ownEnd_ = MenuAction("OwnOptionsEnd");
    if (ownEnd_)
        ownEnd_->setVisible(false);
    if (!toolbar_) {
        // A layout without the item still keeps the tool bar's state.
        toolbar_ = new QAction(QStringLiteral("&Toolbar"), this);
        toolbar_->setCheckable(true);
        toolbar_->setChecked(true);
    }

    // The pane's pop-up menu.
    auto* popup = new QMenu(this);
    popup->setObjectName(QStringLiteral("PopupMenu1"));
    auto item = [this, popup](const QString& caption, const char* name, auto handler) {
        QAction* a = popup->addAction(caption);
        a->setObjectName(QString::fromLatin1(name));
        connect(a, &QAction::triggered, this, handler);
    };
    item(QStringLiteral("Cu&t"), "Cut2", &TTextDecoderForm::Cut1Click);
    item(QStringLiteral("&Copy"), "Copy2", &TTextDecoderForm::Copy1Click);
    item(QStringLiteral("&Delete"), "Delete2", &TTextDecoderForm::Delete1Click);
    popup->addSeparator();
    item(QStringLiteral("Select &All"), "Selectall1", &TTextDecoderForm::Selectall1Click);
    pane_->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(pane_, &QWidget::customContextMenuRequested, this,
            [this, popup](const QPoint& at) { popup->popup(pane_->viewport()->mapToGlobal(at)); });
}

void TTextDecoderForm::MenuClick(const std::string& name, QAction* action)
{
    using Handler = void (TTextDecoderForm::*)();
    static const std::map<std::string, Handler> handlers = {
        {"New1Click", &TTextDecoderForm::New1Click},           {"Open1Click", &TTextDecoderForm::Open1Click},
        {"Save1Click", &TTextDecoderForm::Save1Click},         {"Print1Click", &TTextDecoderForm::Print1Click},
        {"Cut1Click", &TTextDecoderForm::Cut1Click},           {"Copy1Click", &TTextDecoderForm::Copy1Click},
        {"Delete1Click", &TTextDecoderForm::Delete1Click},     {"Find1Click", &TTextDecoderForm::Find1Click},
        {"PauseClick", &TTextDecoderForm::PauseClick},         {"Logtofile1Click", &TTextDecoderForm::Logtofile1Click},
        {"Toolbar2Click", &TTextDecoderForm::Toolbar2Click},   {"Font1Click", &TTextDecoderForm::Font1Click},
    };
    if (auto it = handlers.find(name); it != handlers.end())
        (this->*(it->second))();
    else
        OwnMenuClick(name, action);
}

void TTextDecoderForm::buildToolBar()
{
    toolBar_ = new QToolBar(QStringLiteral("Toolbar"), this);
    toolBar_->setObjectName(QStringLiteral("ToolBar1"));
    toolBar_->setMovable(false);
    toolBar_->setFloatable(false);
    toolBar_->setIconSize(QSize(16, 16));
    addToolBar(Qt::TopToolBarArea, toolBar_);
    auto button = [this](Tool tool, const QString& hint, auto handler) {
        QAction* a = toolBar_->addAction(toolIcon(tool), hint);
        a->setToolTip(hint);
        a->setObjectName(hint + QStringLiteral("Button"));
        connect(a, &QAction::triggered, this, handler);
    };
    button(Tool::New, QStringLiteral("New"), &TTextDecoderForm::New1Click);
    button(Tool::Open, QStringLiteral("Open"), &TTextDecoderForm::Open1Click);
    button(Tool::Save, QStringLiteral("Save"), &TTextDecoderForm::Save1Click);
    toolBar_->addSeparator();
    button(Tool::Print, QStringLiteral("Print"), &TTextDecoderForm::Print1Click);
    toolBar_->addSeparator();
    button(Tool::Cut, QStringLiteral("Cut"), &TTextDecoderForm::Cut1Click);
    button(Tool::Copy, QStringLiteral("Copy"), &TTextDecoderForm::Copy1Click);
    toolBar_->addSeparator();
    button(Tool::Find, QStringLiteral("Find"), &TTextDecoderForm::Find1Click);

    if (config_.ToolbarPopup) {
        auto* popup = new QMenu(toolBar_);
        popup->setObjectName(QStringLiteral("ToolbarPopup"));
        QAction* hide = popup->addAction(QStringLiteral("&Hide"));
        hide->setObjectName(QStringLiteral("Hide1"));
        connect(hide, &QAction::triggered, this, &TTextDecoderForm::Hide1Click);
        toolBar_->setContextMenuPolicy(Qt::CustomContextMenu);
        connect(toolBar_, &QWidget::customContextMenuRequested, this,
                [this, popup](const QPoint& at) { popup->popup(toolBar_->mapToGlobal(at)); });
    } else {
        toolBar_->setContextMenuPolicy(Qt::PreventContextMenu);
    }
}

void TTextDecoderForm::buildStatusBar()
{
    QStatusBar* bar = statusBar();
    bar->setObjectName(QStringLiteral("StatusBar1"));
    for (size_t i = 0; i < config_.Panels.size(); ++i) {
        auto* panel = new QLabel(config_.Panels[i].Text, bar);
        panel->setObjectName(QStringLiteral("Panel%1").arg(i));
        panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        const bool last = i + 1 == config_.Panels.size();
        if (last) {
            panel->setMinimumWidth(40);
            bar->addWidget(panel, 1);
        } else {
            panel->setFixedWidth(config_.Panels[i].Width);
            bar->addWidget(panel);
        }
        panels_.push_back(panel);
    }
}

void TTextDecoderForm::AddOwnOption(QAction* action)
{
    optionsMenu_->insertAction(ownEnd_, action);
}

QMenu* TTextDecoderForm::AddOwnOptionMenu(const QString& title)
{
    auto* menu = new QMenu(title, optionsMenu_);
    optionsMenu_->insertMenu(ownEnd_, menu);
    return menu;
}

QLabel* TTextDecoderForm::StatusPanel(int i) const
{
    return i >= 0 && static_cast<size_t>(i) < panels_.size() ? panels_[static_cast<size_t>(i)] : nullptr;
}

void TTextDecoderForm::SetStatusText(int panel, const QString& text)
{
    if (QLabel* l = StatusPanel(panel))
        l->setText(text);
}

bool TTextDecoderForm::Paused() const { return pause_->isChecked(); }

bool TTextDecoderForm::ToolbarChecked() const { return toolbar_->isChecked(); }

bool TTextDecoderForm::Logging() const { return log_.Active(); }

// ---- Creation, settings, destruction -------------------------------------------------------------

void TTextDecoderForm::CreateSteps()
{
    SetupApplet();
    ReadSettings();
    setPauseStatus();
    if (config_.IndentAtCreation)
        setHangingIndent(QFontInfo(font()).pointSize());
    // A stored log that cannot be opened is reported; the applet starts without logging.
    if (logOption_)
        startLog(logFileName_);
    OpenSoundInput();
}

void TTextDecoderForm::LoadSettings(const TAppletSettings& s)
{
    const TTextWindowConfig& c = config_;
    if (s.Exists(c.LeftValue) || s.Exists(c.TopValue))
        RestorePosition(s.Integer(c.LeftValue, x()), s.Integer(c.TopValue, y()));
    if (s.Exists(c.WidthValue) || s.Exists(c.HeightValue))
        resize(std::max(1, s.Integer(c.WidthValue, width())), std::max(1, s.Integer(c.HeightValue, height())));
    logOption_ = s.Bool(c.LogValue, false);
    toolbar_->setChecked(s.Bool(c.ToolbarValue, toolbar_->isChecked()));
    const std::string name = s.String(c.LogFileNameValue, "");
    logFileName_ = name.empty() ? c.DefaultLogFile : name;
    pause_->setChecked(s.Bool(c.PausedValue, false));
    LoadOwnSettings(s);
}

void TTextDecoderForm::SaveSettings(TAppletSettings& s)
{
    const TTextWindowConfig& c = config_;
    StorePosition(s, c.LeftValue, c.TopValue);
    s.SetInteger(c.WidthValue, width());
    s.SetInteger(c.HeightValue, height());
    s.SetBool(c.LogValue, logToFile_->isChecked());
    s.SetString(c.LogFileNameValue, logFileName_);
    s.SetBool(c.PausedValue, pause_->isChecked());
    s.SetBool(c.ToolbarValue, toolbar_->isChecked());
    SaveOwnSettings(s);
}

void TTextDecoderForm::WaveInData(const int16_t* samples, size_t count)
{
    if (!Paused())
        DecodeBuffer(samples, count);
}

void TTextDecoderForm::CloseLog()
{
    if (!log_.Active())
        return;
    if (!log_.Stop())
        ReportEscapedError(log_.ErrorText());
}

void TTextDecoderForm::showEvent(QShowEvent* event)
{
    TAppletForm::showEvent(event);
    if (shown_)
        return;
    shown_ = true;
    toolBar_->setVisible(toolbar_->isChecked());
    if (!config_.IndentAtCreation)
        setHangingIndent(QFontInfo(pane_->font()).pointSize());
}

void TTextDecoderForm::changeEvent(QEvent* event)
{
    TAppletForm::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && isActiveWindow())
        relayout();
}

void TTextDecoderForm::relayout()
{
    // One pixel narrower and back: the pane lays its text out again.
    const int w = width();
    resize(w - 1, height());
    resize(w, height());
}

void TTextDecoderForm::setHangingIndent(int points)
{
    // 90 twips per point of font size.
    pane_->SetHangingIndent(std::max(0, points) * 90);
}

void TTextDecoderForm::setPauseStatus()
{
    const bool paused = Paused();
    SetStatusText(0, paused ? config_.PausedText : config_.ActiveText);
    if (config_.SecondPausePanel >= 0)
        SetStatusText(config_.SecondPausePanel, paused ? config_.SecondPausedText : config_.SecondActiveText);
}

// ---- Text and log --------------------------------------------------------------------------------

void TTextDecoderForm::AddText(const std::string& text, TColor colour, unsigned style)
{
    LogWrite(text);
    if (config_.SkipEmptyLineBreaks && text.size() == 2 && text[0] == '\r' &&
        (pane_->LineCount() == 0 || pane_->LastLineEmpty()))
        return;
    ShowText(FromCp1252(text), colour, style);
}

void TTextDecoderForm::ShowText(const QString& text, TColor colour, unsigned style)
{
    pane_->AppendStyled(text, colour, style);
    // Headless, the pane's text goes to standard output as well, with plain line ends.
    if (platform::runningHeadless())
        platform::headlessPrint(QString(text).remove(QLatin1Char('\r')).toStdString());
}

void TTextDecoderForm::LogWrite(std::string_view bytes)
{
    if (log_.Active() && !log_.Write(bytes))
        logFailed();
}

void TTextDecoderForm::logFailed()
{
    logToFile_->setChecked(false);
    SetStatusText(config_.LogPanel, QString());
    ReportEscapedError(log_.ErrorText());
}

bool TTextDecoderForm::startLog(const std::string& name)
{
    logFileName_ = name;
    if (!log_.Start(name)) {
        logFailed();
        return false;
    }
    logToFile_->setChecked(true);
    SetStatusText(config_.LogPanel, QStringLiteral("Log file active (") + QString::fromStdString(name) + QLatin1Char(')'));
    return true;
}

void TTextDecoderForm::stopLog()
{
    CloseLog();
    logToFile_->setChecked(false);
    SetStatusText(config_.LogPanel, QString());
}

// ---- Menu handlers -------------------------------------------------------------------------------

void TTextDecoderForm::New1Click()
{
    pane_->clear();
    NewExtras();
}

void TTextDecoderForm::Open1Click()
{
    TOpenDialog d;
    d.Filter = "RichText Format (*.rtf)|*.rtf|All files (*.*)|*.*";
    d.DefaultExt = "rtf";
    d.Options = ofHideReadOnly | ofPathMustExist | ofFileMustExist;
    if (!d.Execute(this))
        return;
    if (log_.Active() && log_.IsLogFile(d.FileName)) {
        MessageBox::Show("This is the currently active log file.", "Error", MB_OK | MB_ICONERROR, this);
        return;
    }
    std::string bytes;
    try {
        bytes = readWhole(d.FileName);
    } catch (const std::exception& e) {
        ReportEscapedError(e.what());
        return;
    }
    if (LooksLikeRtf(bytes)) {
        pane_->SetRuns(ReadRtf(bytes));
    } else {
        pane_->clear();
        pane_->SetRuns({RtfRun{DecodePlainText(bytes), FromQColor(pane_->palette().color(QPalette::Text)), 0, {}, 0}});
    }
}

void TTextDecoderForm::Save1Click()
{
    TSaveDialog d;
    d.Filter = config_.SaveFilter;
    d.DefaultExt = "rtf";
    d.Title = config_.SaveTitle;
    d.Options = ofOverwritePrompt | (config_.SavePathMustExist ? ofPathMustExist : 0u);
    if (!d.Execute(this))
        return;
    // Plain text when the user chose its filter or named a .txt file; rich text otherwise.
    const bool plain = d.FilterIndex == 2 || hasSuffix(d.FileName, "txt");
    try {
        writeWhole(d.FileName, plain ? EncodePlainText(RtfPlainText(pane_->Runs())) : WriteRtf(pane_->Runs()));
    } catch (const std::exception& e) {
        ReportEscapedError(e.what());
    }
}

void TTextDecoderForm::Print1Click()
{
    TPrintDialog d;
    d.OfferSelection = config_.PrintOffersSelection;
    if (!d.Execute(this))
        return;
    pane_->Print(d.Printer(), config_.PrintTitle, d.Selection);
}

void TTextDecoderForm::Exit1Click() { close(); }

void TTextDecoderForm::Cut1Click() { pane_->CutSelection(); }

void TTextDecoderForm::Copy1Click() { pane_->copy(); }

void TTextDecoderForm::Delete1Click() { pane_->DeleteSelection(); }

void TTextDecoderForm::Selectall1Click() { pane_->selectAll(); }

void TTextDecoderForm::Find1Click() { findDialog_->Execute(this); }

void TTextDecoderForm::FindDialogFind(TFindDialog& dialog)
{
    if (!(dialog.Options & frDown))
        return;
    const bool matchCase = dialog.Options & frMatchCase;
    const bool wholeWord = dialog.Options & frWholeWord;
    const int start = pane_->SelStart();
    // With nothing selected the search starts at the insertion point itself, so that a match there
    // (also at the very start) is found; after a match it starts one further, at the next one.
    const int from = pane_->SelLength() == 0 ? start : start + 1;
    pane_->Select(start, 0);
    const QString text = QString::fromStdString(dialog.FindText);
    const int found = pane_->FindText(text, from, matchCase, wholeWord);
    if (found < 0) {
        pane_->Select(0, 0);
        MessageBox::Show("No match found.", "Information", MB_OK | MB_ICONINFORMATION, this);
        return;
    }
    pane_->setFocus();
    pane_->Select(found, static_cast<int>(text.size()));
}

void TTextDecoderForm::PauseClick()
{
    // The action has already toggled its check mark.
    setPauseStatus();
    PauseChanged(Paused());
}

void TTextDecoderForm::Logtofile1Click()
{
    if (log_.Active()) {
        stopLog();
        return;
    }
    logToFile_->setChecked(false);
    TSaveDialog d;
    d.Filter = config_.LogFilter;
    d.DefaultExt = "log";
    d.Title = config_.LogTitle;
    d.FileName = logFileName_;
    if (!d.Execute(this))
        return;
    startLog(d.FileName);
}

void TTextDecoderForm::Toolbar2Click() { toolBar_->setVisible(toolbar_->isChecked()); }

void TTextDecoderForm::Hide1Click()
{
    toolBar_->hide();
    toolbar_->setChecked(false);
}

void TTextDecoderForm::Font1Click()
{
    TMyFontDlg dlg(this);
    // The selection's font, or, with nothing selected, the font text is appended in.
    QString family = pane_->InsertionFamily();
    int points = pane_->InsertionPoints();
    if (pane_->textCursor().hasSelection()) {
        const QTextCharFormat f = pane_->textCursor().charFormat();
        if (!f.fontFamilies().toStringList().isEmpty())
            family = f.fontFamilies().toStringList().front();
        if (f.fontPointSize() > 0)
            points = static_cast<int>(f.fontPointSize());
    }
    dlg.SelectFont(family);
    dlg.SelectSize(points);
    if (dlg.exec() == 1) {
        // A list without a selection keeps that attribute as it was.
        const QString newFamily = dlg.ChosenFont(family);
        const int newPoints = dlg.ChosenSize(points);
        QTextCharFormat f;
        f.setFontFamilies({newFamily});
        f.setFontPointSize(newPoints);
        if (pane_->textCursor().hasSelection())
            pane_->textCursor().mergeCharFormat(f);
        pane_->SetInsertionFont(newFamily, newPoints);
    }
    relayout();
}
