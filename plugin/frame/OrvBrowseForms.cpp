#include "OrvBrowseForms.h"

#include "platform/ui/Codepage.h"

#include <QComboBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>

namespace {

QLabel* Caption(QWidget* parent, const char* text, QRect where)
{
    auto* l = new QLabel(QString::fromUtf8(text), parent);
    l->setGeometry(where);
    return l;
}

// A static text: sunken, filled by the browser.
QLabel* Field(QWidget* parent, const char* name, QRect where)
{
    auto* l = new QLabel(parent);
    l->setObjectName(name);
    l->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    l->setGeometry(where);
    return l;
}

QListWidget* List(QWidget* parent, const char* name, QRect where, bool sorted)
{
    auto* l = new QListWidget(parent);
    l->setObjectName(name);
    l->setGeometry(where);
    l->setSortingEnabled(sorted);
    return l;
}

QPushButton* Button(QWidget* parent, const char* name, const char* text, QRect where)
{
    auto* b = new QPushButton(QString::fromUtf8(text), parent);
    b->setObjectName(name);
    b->setGeometry(where);
    return b;
}

void Fill(QListWidget* list, const std::vector<std::string>& items)
{
    list->clear();
    for (const std::string& item : items)
        list->addItem(platform::FromCp1252(item));
}

}  // namespace

TOrvDBBrowseForm::TOrvDBBrowseForm(QWidget* owner, const QString& caption, TOrvBrowseSource& source,
                                   const TOrvBrowseLayout& layout)
    : QWidget(owner, Qt::Window), source_(source)
{
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(caption);
    Caption(this, "System ID:", {10, 12, 80, 20});
    SysIDs = new QComboBox(this);
    SysIDs->setObjectName("SysIDs");
    SysIDs->setGeometry(95, 10, 90, 24);
    Caption(this, "Description:", {200, 12, 90, 20});
    Description = Field(this, "Description", {295, 10, 335, 24});

    Caption(this, "Base frequency:", {10, 44, 130, 20});
    BaseFreq = Field(this, "BaseFreq", {145, 42, 150, 22});
    Caption(this, "Channel size:", {320, 44, 110, 20});
    ChanSize = Field(this, "ChanSize", {435, 42, 150, 22});
    Caption(this, "Last control channel index:", {10, 72, 190, 20});
    CtrlChanIdx = Field(this, "CtrlChanIdx", {205, 70, 90, 22});
    Caption(this, "Frequency:", {320, 72, 110, 20});
    CtrlChanFreq = Field(this, "CtrlChanFreq", {435, 70, 150, 22});

    // Four lists side by side, or three wider ones without the groups.
    const int rise = layout.Compact ? 38 : 0, listHeight = 220 - rise;
    const int listWidth = layout.Groups ? 130 : 200, radiosWidth = layout.Groups ? 200 : listWidth;
    const int ctrlX = 10 + radiosWidth + 10, trafficX = ctrlX + listWidth + 10;
    Caption(this, "Received stations IDs:", {10, 104, radiosWidth, 20});
    HeardRadios = List(this, "HeardRadios", {10, 124, radiosWidth, listHeight}, true);
    Caption(this, "Control channels:", {ctrlX, 104, listWidth, 20});
    CtrlChans = List(this, "CtrlChans", {ctrlX, 124, listWidth, listHeight}, false);
    Caption(this, "Traffic channels:", {trafficX, 104, listWidth, 20});
    TrafficChans = List(this, "TrafficChans", {trafficX, 124, listWidth, listHeight}, false);
    QLabel* groupsCaption = Caption(this, "Received groups:", {500, 104, 130, 20});
    HeardGroups = List(this, "HeardGroups", {500, 124, 130, listHeight}, true);
    groupsCaption->setVisible(layout.Groups);
    HeardGroups->setVisible(layout.Groups);

    const int buttonsY = 356 - rise;
    RefreshButton = Button(this, "RefreshButton", "Refresh info", {10, buttonsY, 120, 28});
    TuneToButton = Button(this, "TuneToButton", "Tune to", {140, buttonsY, 120, 28});
    CloseBtn = Button(this, "CloseBtn", "Close", {510, buttonsY, 120, 28});

    // The row below the window's height: cut off, as the window has always been.
    Caption(this, "Last initialisation:", {10, 430, 125, 20});
    InitTime = Field(this, "InitTime", {135, 428, 130, 22});
    for (auto [name, text, x, w] : {std::tuple{"SysInitButton", "Initialise", 275, 80}, {"SysRemoveButton", "Remove", 360, 70},
                                    {"ReportsButton", "Reports", 435, 70}, {"ChanOccButton", "Channel occupancy", 510, 125}})
        Button(this, name, text, {x, 426, w, 28})->setVisible(!layout.Compact);

    setFixedSize(640, layout.Height);
    connect(RefreshButton, &QPushButton::clicked, this, [this] { RefreshClick(); });
    connect(TuneToButton, &QPushButton::clicked, this, [this] { TuneToButtonClick(); });
    connect(CloseBtn, &QPushButton::clicked, this, [this] { CloseBtnClick(); });
    connect(SysIDs, &QComboBox::currentIndexChanged, this, [this] { SysIDsChange(); });
    connect(CtrlChans, &QListWidget::itemDoubleClicked, this, [this] { CtrlChansDblClick(); });
    for (QLabel* l : {Description, BaseFreq, ChanSize, CtrlChanIdx, CtrlChanFreq})
        l->clear();
    RefreshClick();
}

void TOrvDBBrowseForm::RefreshClick()
{
    source_.SaveSystem();
    {
        const QSignalBlocker quiet(SysIDs);
        SysIDs->clear();
        QStringList ids;
        for (const std::string& id : source_.SystemIDs())
            ids << QString::fromStdString(id);
        ids.sort();
        SysIDs->addItems(ids);
        if (SysIDs->count() > 0) {
            const int current = SysIDs->findText(QString::fromStdString(source_.CurrentID()));
            SysIDs->setCurrentIndex(current > 0 ? current : 0);
        }
    }
    SysIDsChange();
}

void TOrvDBBrowseForm::SysIDsChange()
{
    for (QLabel* l : {Description, BaseFreq, ChanSize, CtrlChanIdx, CtrlChanFreq})
        l->clear();
    for (QListWidget* l : {HeardRadios, CtrlChans, TrafficChans, HeardGroups})
        l->clear();
    TOrvBrowseView v;
    if (SysIDs->currentIndex() < 0 || !source_.ShowSystem(SysIDs->currentText().toStdString(), v))
        return;
    Description->setText(platform::FromCp1252(v.Description));
    BaseFreq->setText(QString::fromStdString(v.BaseFreq));
    ChanSize->setText(QString::fromStdString(v.ChanSize));
    CtrlChanIdx->setText(QString::fromStdString(v.CtrlChanIdx));
    CtrlChanFreq->setText(QString::fromStdString(v.CtrlChanFreq));
    Fill(CtrlChans, v.CtrlChans);
    Fill(TrafficChans, v.TrafficChans);
    Fill(HeardGroups, v.HeardGroups);
    Fill(HeardRadios, v.HeardRadios);
}

void TOrvDBBrowseForm::CtrlChansDblClick()
{
    const int k = CtrlChans->currentRow();
    if (k >= 0)
        tune(source_.ControlChannelFrequency(size_t(k)));
}

void TOrvDBBrowseForm::tune(int64_t hz)
{
    if (hz > 0 && hz <= INT32_MAX)
        source_.Tune(int32_t(hz));
}

TOrvEditorForm::TOrvEditorForm(QWidget* owner, const QString& caption, TOrvAliasEditor& model,
                               std::function<void()> apply, bool groups)
    : QWidget(owner, Qt::Window | Qt::WindowStaysOnTopHint), model_(model), apply_(std::move(apply))
{
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(caption);
    // The station column stands at x 275 beside the groups, or at 10 in their place.
    const int rx = groups ? 275 : 10, width = rx + 265;
    Caption(this, "Description:", {10, 12, 90, 20});
    Description = new QLineEdit(this);
    Description->setObjectName("Description");
    Description->setGeometry(105, 10, width - 115, 24);
    Description->setMaxLength(255);

    QLabel* groupsCaption = Caption(this, "Group aliases", {10, 44, 255, 20});
    GroupList = List(this, "GroupList", {10, 64, 255, 250}, true);
    GroupEdit = new QLineEdit(this);
    GroupEdit->setObjectName("GroupEdit");
    GroupEdit->setGeometry(10, 320, 255, 24);
    GroupEdit->setMaxLength(255);
    GroupUpdate = Button(this, "GroupUpdate", "Update", {10, 350, 120, 28});
    GroupClear = Button(this, "GroupClear", "Clear", {145, 350, 120, 28});

    for (QWidget* w : std::initializer_list<QWidget*>{groupsCaption, GroupList, GroupEdit, GroupUpdate, GroupClear})
        w->setVisible(groups);

    Caption(this, "Station aliases", {rx, 44, 255, 20});
    RadioList = List(this, "RadioList", {rx, 64, 255, 250}, true);
    RadioEdit = new QLineEdit(this);
    RadioEdit->setObjectName("RadioEdit");
    RadioEdit->setGeometry(rx, 320, 255, 24);
    RadioEdit->setMaxLength(252);
    RadioUpdate = Button(this, "RadioUpdate", "Update", {rx, 350, 120, 28});
    RadioClear = Button(this, "RadioClear", "Clear", {rx + 135, 350, 120, 28});

    OKButton = Button(this, "OKButton", "OK", {rx, 392, 120, 28});
    CancelButton = Button(this, "CancelButton", "Cancel", {rx + 135, 392, 120, 28});
    setFixedSize(width, 430);

    connect(GroupList, &QListWidget::currentRowChanged, this, [this] { GroupListClick(); });
    connect(RadioList, &QListWidget::currentRowChanged, this, [this] { RadioListClick(); });
    connect(GroupUpdate, &QPushButton::clicked, this, [this] { GroupUpdateClick(); });
    connect(GroupClear, &QPushButton::clicked, this, [this] { GroupClearClick(); });
    connect(RadioUpdate, &QPushButton::clicked, this, [this] { RadioUpdateClick(); });
    connect(RadioClear, &QPushButton::clicked, this, [this] { RadioClearClick(); });
    connect(OKButton, &QPushButton::clicked, this, [this] { OKButtonClick(); });
    connect(CancelButton, &QPushButton::clicked, this, [this] { CancelButtonClick(); });
    GroupEdit->installEventFilter(this);
    RadioEdit->installEventFilter(this);

    Description->setText(platform::FromCp1252(model_.Description));
    model_.GroupEdit.clear();
    model_.RadioEdit.clear();
    showModel();
}

// The lists, edits and selections as the model holds them.
void TOrvEditorForm::showModel()
{
    const QSignalBlocker quietGroups(GroupList), quietRadios(RadioList);
    for (auto [list, items, selected] : {std::tuple{GroupList, &model_.GroupItems, model_.GroupSelected},
                                         {RadioList, &model_.RadioItems, model_.RadioSelected}}) {
        list->setSortingEnabled(false);  // the model keeps them sorted
        if (list->count() != int(items->size()))
            Fill(list, *items);
        else
            for (int i = 0; i < list->count(); ++i)
                list->item(i)->setText(platform::FromCp1252((*items)[size_t(i)]));
        list->setCurrentRow(selected);
    }
    GroupEdit->setText(platform::FromCp1252(model_.GroupEdit));
    RadioEdit->setText(platform::FromCp1252(model_.RadioEdit));
}

void TOrvEditorForm::GroupListClick()
{
    model_.GroupListClick(GroupList->currentRow());
    GroupEdit->setText(platform::FromCp1252(model_.GroupEdit));
}

void TOrvEditorForm::GroupUpdateClick()
{
    model_.GroupEdit = platform::ToCp1252(GroupEdit->text());
    model_.GroupUpdate();
    showModel();
}

void TOrvEditorForm::GroupClearClick()
{
    model_.GroupClear();
    GroupEdit->clear();
}

void TOrvEditorForm::RadioListClick()
{
    model_.RadioListClick(RadioList->currentRow());
    RadioEdit->setText(platform::FromCp1252(model_.RadioEdit));
}

void TOrvEditorForm::RadioUpdateClick()
{
    model_.RadioEdit = platform::ToCp1252(RadioEdit->text());
    model_.RadioUpdate();
    showModel();
}

void TOrvEditorForm::RadioClearClick()
{
    model_.RadioClear();
    RadioEdit->clear();
}

void TOrvEditorForm::OKButtonClick()
{
    model_.Description = platform::ToCp1252(Description->text());
    if (apply_)
        apply_();
    close();
}

bool TOrvEditorForm::eventFilter(QObject* watched, QEvent* e)
{
    if (e->type() != QEvent::KeyPress)
        return false;
    const int key = static_cast<QKeyEvent*>(e)->key();
    const bool enter = key == Qt::Key_Return || key == Qt::Key_Enter;
    if (watched == GroupEdit && (enter || key == Qt::Key_Escape)) {
        enter ? GroupUpdateClick() : GroupClearClick();
        return true;
    }
    if (watched == RadioEdit && (enter || key == Qt::Key_Escape)) {
        enter ? RadioUpdateClick() : RadioClearClick();
        return true;
    }
    return false;
}
