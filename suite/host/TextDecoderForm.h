#pragma once
// The window the text applets (packet, DTMF, ACARS) share: the read-only output pane, the File, Edit,
// Options and Help menus, the tool bar, the status panels, find, open, save, print, the text log and
// the pane's font dialog. Each applet fills one TTextWindowConfig with what it does differently and
// derives from TTextDecoderForm.
#include "AppletForm.h"
#include "TextLog.h"

#include "platform/ui/Canvas.h"

#include <QString>

#include <string>
#include <string_view>
#include <vector>

class QAction;
class QLabel;
class QMenu;
class QToolBar;
class TNewRichEdit;
namespace platform {
class TFindDialog;
}

// Entries of the Options menu after "&Pause", "&Log to file..." and a separator.
enum TTextOptionsSlot {
    osToolbar,    // "&Toolbar"
    osFont,       // "&Font..."
    osSeparator,
    osOwn,        // the applet's own items (OwnOptions)
};

struct TTextStatusPanel {
    QString Text;
    int Width = 80;
};

struct TTextWindowConfig {
    QString Caption;
    // The applet's own items of the Options menu; their handlers' names reach OwnMenuClick.
    std::vector<TMenuItem> OwnOptions;
    // The pane's font (name and negative pixel height); an empty name: the form's font.
    platform::TFont PaneFont;
    int Width = 640;  // the stored form's client area (below the menu bar, the status bar included)
    int Height = 420;
    std::vector<TTextStatusPanel> Panels;
    int LogPanel = 1;
    // Panel 0 while paused and while running; a second panel some windows also set (-1: none).
    QString PausedText = QStringLiteral("Paused");
    QString ActiveText = QStringLiteral("Active");
    int SecondPausePanel = -1;
    QString SecondPausedText, SecondActiveText;
    std::vector<TTextOptionsSlot> OptionsLayout{osToolbar};
    QString CutCaption = QStringLiteral("&Cut");
    QString AboutCaption = QStringLiteral("&About...");
    bool ToolbarPopup = true;          // the tool bar's pop-up menu with "&Hide"
    bool IndentAtCreation = false;     // with the form's font size; otherwise at show with the pane's
    bool SkipEmptyLineBreaks = false;  // a CR LF on an empty pane or after an empty line is only logged
    std::string DefaultLogFile;
    QString PrintTitle;
    bool PrintOffersSelection = false;
    // Dialogs: filters "description|patterns|...", default extensions without the dot, titles.
    std::string LogFilter = "*.log|*.log|*.txt|*.txt";
    std::string LogTitle;
    std::string SaveFilter = "Rich Text Format (*.rtf)|*.rtf|Plain text (*.txt)|*.txt";
    std::string SaveTitle;
    bool SavePathMustExist = false;
    // Names of the stored options in the applet's key.
    std::string LeftValue = "LeftPosition", TopValue = "TopPosition", WidthValue = "Width", HeightValue = "Height";
    std::string LogValue = "Log", LogFileNameValue = "LogFileName", PausedValue = "Paused", ToolbarValue = "Toolbar";
};

class TTextDecoderForm : public TAppletForm {
    Q_OBJECT
public:
    TTextDecoderForm(int32_t receiver, TAppletTraits traits, TTextWindowConfig config, QWidget* parent = nullptr);
    ~TTextDecoderForm() override;

    const TTextWindowConfig& Config() const { return config_; }
    TNewRichEdit* RE1() const { return pane_; }
    QToolBar* ToolBar1() const { return toolBar_; }
    QMenu* OptionsMenu() const { return optionsMenu_; }
    // Puts an item of the applet's own in the Options menu after those of OwnOptions and those added
    // before; the applet connects it itself.
    void AddOwnOption(QAction* action);
    QMenu* AddOwnOptionMenu(const QString& title);
    QLabel* StatusPanel(int i) const;
    void SetStatusText(int panel, const QString& text);

    // Decoded text, in the system's Windows-1252 bytes: to the log as it is, then to the pane in the
    // colour and style (TFontStyle bits).
    void AddText(const std::string& text, platform::TColor colour, unsigned style);
    // Text for the pane alone (not the log) in the colour and style; run headless it also goes to
    // standard output.
    void ShowText(const QString& text, platform::TColor colour, unsigned style);
    // Writes to the log when logging is on; a failed write is reported and ends logging.
    void LogWrite(std::string_view bytes);
    bool Logging() const;
    TTextLog& Log() { return log_; }
    std::string LogFileName() const { return logFileName_; }
    bool Paused() const;
    bool ToolbarChecked() const;

    // The menu handlers.
    void New1Click();
    void Open1Click();
    void Save1Click();
    void Print1Click();
    void Exit1Click();
    void Cut1Click();
    void Copy1Click();
    void Delete1Click();
    void Find1Click();
    void FindDialogFind(platform::TFindDialog& dialog);
    void PauseClick();
    void Logtofile1Click();
    void Toolbar2Click();
    void Hide1Click();
    void Selectall1Click();
    void Font1Click();
    platform::TFindDialog& FindDialog() { return *findDialog_; }

protected:
    // One of the applet's own menu items (OwnOptions) was chosen.
    virtual void OwnMenuClick(const std::string& /*name*/, QAction* /*action*/) {}
    // What "&New" also does in this applet.
    virtual void NewExtras() {}
    virtual void LoadOwnSettings(const TAppletSettings&) {}
    virtual void SaveOwnSettings(TAppletSettings&) {}
    // One capture buffer to decode; not called while paused.
    virtual void DecodeBuffer(const int16_t* /*samples*/, size_t /*count*/) {}
    // After "&Pause" changed the state and the status panels.
    virtual void PauseChanged(bool /*paused*/) {}

    void CreateSteps() override;
    void LoadSettings(const TAppletSettings& s) override;
    void SaveSettings(TAppletSettings& s) override;
    void WaveInData(const int16_t* samples, size_t count) override;
    void CloseLog() override;

    void MenuClick(const std::string& name, QAction* action) override;
    void showEvent(QShowEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void buildMenus();
    void buildToolBar();
    void buildStatusBar();
    void setPauseStatus();
    bool startLog(const std::string& name);
    void stopLog();
    void logFailed();
    void setHangingIndent(int points);
    void relayout();

    TTextWindowConfig config_;
    TNewRichEdit* pane_ = nullptr;
    QToolBar* toolBar_ = nullptr;
    QMenu* optionsMenu_ = nullptr;
    std::vector<QLabel*> panels_;
    QAction* pause_ = nullptr;
    QAction* logToFile_ = nullptr;
    QAction* toolbar_ = nullptr;
    QAction* ownEnd_ = nullptr;  // marks the end of the applet's own items
    std::unique_ptr<platform::TFindDialog> findDialog_;
    TTextLog log_;
    std::string logFileName_;
    bool logOption_ = false;  // the stored "Log" option, applied at creation
    bool shown_ = false;
};

// The frame's record of a text window: caption, client size and the menu bar with the applet's own
// Options items in their place.
TAppletTraits TextWindowTraits(TAppletTraits traits, const TTextWindowConfig& config);

// Reports a failure in the box of an error that escaped a handler; the window goes on.
void ReportEscapedError(const std::string& text);
