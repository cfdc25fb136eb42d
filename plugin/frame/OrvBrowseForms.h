#pragma once
// The database browser and the system editor windows of the decoder windows. The windows hold the
// controls; what they show and what their buttons do come from the plug-in through a source (the
// browser) and an alias-editor model with an apply step (the editor).
#include "AliasEditor.h"
#include "BrowseView.h"

#include <QWidget>

#include <cstdint>
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
    // The identity to select after a refresh when it is stored (empty: the first one).
    virtual std::string CurrentID() { return {}; }
    // The stored system of that identity into the view (false: not found); the browser keeps it shown.
    virtual bool ShowSystem(const std::string& id, TOrvBrowseView& view) = 0;
    // The shown system's control-channel frequency, and that of the k-th item of "Control channels:",
    // in Hz; 0 or less when not known.
    virtual int64_t ControlFrequency() = 0;
    virtual int64_t ControlChannelFrequency(size_t k) = 0;
    // Tunes the host there as the user would (a followed call is left first).
    virtual void Tune(int32_t hz) = 0;
};

// Where the plug-ins' browsers differ in shape.
struct TOrvBrowseLayout {
    int Height = 420;     // the window's height; the row below 420 is always cut off
    bool Groups = true;   // the "Received groups:" list
    // The buttons of the cut-off row hidden, and the lists and the three buttons a row higher.
    bool Compact = false;
};

class TOrvDBBrowseForm : public QWidget {
    Q_OBJECT
public:
    TOrvDBBrowseForm(QWidget* owner, const QString& caption, TOrvBrowseSource& source,
                     const TOrvBrowseLayout& layout = {});

    void RefreshClick();
    void SysIDsChange();
    void TuneToButtonClick() { tune(source_.ControlFrequency()); }
    void CtrlChansDblClick();
    void CloseBtnClick() { close(); }

    QComboBox* SysIDs;
    QLabel *Description, *BaseFreq, *ChanSize, *CtrlChanIdx, *CtrlChanFreq, *InitTime;
    QListWidget *HeardRadios, *CtrlChans, *TrafficChans, *HeardGroups;
    QPushButton *RefreshButton, *TuneToButton, *CloseBtn;

private:
    // A frequency that is not known (or beyond 32 bits) is not tuned to.
    void tune(int64_t hz);
    TOrvBrowseSource& source_;
};

class TOrvEditorForm : public QWidget {
    Q_OBJECT
public:
    // apply runs on OK with the model as edited; the window then closes. Without groups the group
    // list and its controls are hidden and the station aliases take their place.
    TOrvEditorForm(QWidget* owner, const QString& caption, TOrvAliasEditor& model, std::function<void()> apply,
                   bool groups = true);

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
