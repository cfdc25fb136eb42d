#pragma once
// The common dialogs: open, save, print, font, colour and find. Execute() shows the Qt dialog and
// returns true when the user confirmed; the chosen values are left in the dialog object.
//
// Tests answer them in-process with SetDialogHandler, or, across processes, with the environment
// variable DIALOG_ANSWER: entries separated by ';' or line ends ("@/path/file" reads the entries
// from that file, one a line). The n-th dialog of a kind takes the n-th entry of its kind; a dialog
// with no entry left is cancelled.
//   open=/path/file[|filterIndex]      save=/path/file[|filterIndex]
//   color=0x0000FF                     (0x00BBGGRR, or decimal)
//   font=Name,Height[,bius]            (Height as TFont: negative = pixel height; b i u s = styles)
//   print=/path/out.pdf[|copies][,selection]  (the printer writes that PDF file)
//   find=text[|down,case,word]         (Execute calls OnFind once with these)
//   <kind>=cancel                      (the dialog is cancelled)
#include "platform/ui/Canvas.h"

#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

class QPrinter;
class QWidget;
class QDialog;

namespace platform {

enum class DialogKind { Open, Save, Print, Font, Color, Find };

class TCommonDialog {
public:
    virtual ~TCommonDialog();
    virtual DialogKind Kind() const = 0;
    std::string Title;  // UTF-8; empty: Qt's own
    virtual bool Execute(QWidget* owner = nullptr);

protected:
    virtual bool executeReal(QWidget* owner) = 0;
    virtual bool applyAnswer(const std::string& value) = 0;
};

// Options of the file dialogs.
enum TOpenOption : unsigned {
    ofOverwritePrompt = 0x1,
    ofHideReadOnly = 0x2,
    ofFileMustExist = 0x4,
    ofPathMustExist = 0x8,
    ofNoChangeDir = 0x10,
    ofShowHelp = 0x20,
    ofNoReadOnlyReturn = 0x40,
};

class TOpenDialog : public TCommonDialog {
public:
    DialogKind Kind() const override { return DialogKind::Open; }
    // Pairs of description and patterns: "Wave file (*.wav)|*.wav|All files (*.*)|*.*".
    std::string Filter;
    int FilterIndex = 1;  // 1-based, as chosen
    std::string DefaultExt;  // without the dot
    std::string FileName;    // UTF-8; in: the proposed name, out: the chosen one
    std::string InitialDir;
    unsigned Options = 0;

protected:
    bool executeReal(QWidget* owner) override;
    bool applyAnswer(const std::string& value) override;
    virtual bool saving() const { return false; }
};

class TSaveDialog : public TOpenDialog {
public:
    DialogKind Kind() const override { return DialogKind::Save; }

protected:
    bool saving() const override { return true; }
};

class TPrintDialog : public TCommonDialog {
public:
    TPrintDialog();
    ~TPrintDialog() override;
    DialogKind Kind() const override { return DialogKind::Print; }
    int Copies = 1;
    // Offers printing only the selection; Selection tells whether the user chose it.
    bool OfferSelection = false;
    bool Selection = false;
    // The printer set up by the dialog; print to it after a confirmed Execute.
    QPrinter& Printer();

protected:
    bool executeReal(QWidget* owner) override;
    bool applyAnswer(const std::string& value) override;

private:
    std::unique_ptr<QPrinter> printer_;
};

class TFontDialog : public TCommonDialog {
public:
    DialogKind Kind() const override { return DialogKind::Font; }
    TFont Font;

protected:
    bool executeReal(QWidget* owner) override;
    bool applyAnswer(const std::string& value) override;
};

class TColorDialog : public TCommonDialog {
public:
    DialogKind Kind() const override { return DialogKind::Color; }
    TColor Color = clBlack;

protected:
    bool executeReal(QWidget* owner) override;
    bool applyAnswer(const std::string& value) override;
};

enum TFindOption : unsigned {
    frDown = 0x1,
    frWholeWord = 0x2,
    frMatchCase = 0x4,
    frFindNext = 0x8,
    frHideUpDown = 0x10,
    frHideMatchCase = 0x20,
    frHideWholeWord = 0x40,
};

// Modeless: Execute shows it and returns at once; every "Find Next" calls OnFind with FindText and
// Options set.
class TFindDialog : public TCommonDialog {
public:
    TFindDialog();
    ~TFindDialog() override;
    DialogKind Kind() const override { return DialogKind::Find; }
    std::string FindText;  // UTF-8
    unsigned Options = frDown;
    std::function<void(TFindDialog&)> OnFind;
    // What the "Find Next" button does (also for tests that drive the dialog).
    void FindNext();
    void CloseDialog();
    QDialog* Window() const;

protected:
    bool executeReal(QWidget* owner) override;
    bool applyAnswer(const std::string& value) override;

private:
    struct Ui;
    std::unique_ptr<Ui> ui_;
};

// An in-process answer: fill in the dialog and return whether it was confirmed. An empty function
// goes back to DIALOG_ANSWER or the real dialogs.
using DialogHandler = std::function<bool(TCommonDialog& dialog)>;
void SetDialogHandler(DialogHandler handler);

// The entries of a DIALOG_ANSWER value, as (kind, value) pairs; "@file" is read.
std::vector<std::pair<std::string, std::string>> ParseDialogAnswers(const std::string& spec);

}  // namespace platform
