#pragma once
// The database browser and the system editor windows of the decoder windows. The windows hold the
// controls; what they show and what their buttons do come from the plug-in through a source (the
// browser) and an alias-editor model with an apply step (the editor).
#include "AliasEditor.h"
#include "BrowseView.h"

#include <QWidget>

#include <functional>
#include <string>
#include <vector>

class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;


// The plug-in's side of the browser.
class TOrvBrowseSource {
public:
    virtual ~TOrvBrowseSource() = default;
    virtual void SaveSystem() = 0;                        // the current system, before the file is read
    virtual std::vector<std::string> SystemIDs() = 0;     // the stored systems' identities as shown
    // The stored system of that identity into the view (false: not found); the browser keeps it shown.
    virtual bool ShowSystem(const std::string& id, TOrvBrowseView& view) = 0;
    virtual void TuneToControl() = 0;                     // "Tune to": the shown system's control channel
    virtual void TuneToControlChannel(size_t k) = 0;      // the k-th item of "Control channels:"
};

class TOrvDBBrowseForm : public QWidget {
    Q_OBJECT
public:
    TOrvDBBrowseForm(QWidget* owner, const QString& caption, TOrvBrowseSource& source, int height = 420);

    void RefreshClick();
    void SysIDsChange();
    void TuneToButtonClick() { source_.TuneToControl(); }
    void CtrlChansDblClick();
    void CloseBtnClick() { close(); }

    QComboBox* SysIDs;
    QLabel *Description, *BaseFreq, *ChanSize, *CtrlChanIdx, *CtrlChanFreq, *InitTime;
    QListWidget *HeardRadios, *CtrlChans, *TrafficChans, *HeardGroups;
    QPushButton *RefreshButton, *TuneToButton, *CloseBtn;

private:
    TOrvBrowseSource& source_;
};

class TOrvEditorForm : public QWidget {
    Q_OBJECT
public:
    // apply runs on OK with the model as edited; the window then closes.
    TOrvEditorForm(QWidget* owner, const QString& caption, TOrvAliasEditor& model, std::function<void()> apply);

    void GroupListClick();
    void GroupUpdateClick();
    void GroupClearClick();
    void RadioListClick();
    void RadioUpdateClick();
    void RadioClearClick();
    void OKButtonClick();
    void CancelButtonClick() { close(); }

    QLineEdit* Description;
    QListWidget *GroupList, *RadioList;
    QLineEdit *GroupEdit, *RadioEdit;
    QPushButton *GroupUpdate, *GroupClear, *RadioUpdate, *RadioClear, *OKButton, *CancelButton;

protected:
    bool eventFilter(QObject* watched, QEvent* e) override;

private:
    void showModel();
    TOrvAliasEditor& model_;
    std::function<void()> apply_;
};
