#include "HostWindow.h"

#include "HostCore.h"
#include "PluginHost.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

namespace {

// The receiver library's mode numbers.
const char* const kModes[] = {"AM", "Wide FM", "Narrow FM", "USB", "LSB", "CW"};

}  // namespace

HostWindow::HostWindow(HostCore& core, std::string quendaPath, PluginHost* plugin, QWidget* parent)
    : QWidget(parent), core_(core), quendaPath_(std::move(quendaPath)), plugin_(plugin)
{
    setWindowTitle(QString("orvhost - %1").arg(QString::fromStdString(core.state().topic())));
    auto* layout = new QVBoxLayout(this);
    auto* bar = new QMenuBar(this);
    layout->setMenuBar(bar);
    QMenu* plugins = bar->addMenu("&Plug-in");
    reopen_ = plugins->addAction(plugin_ ? QString("&Open %1").arg(QString::fromStdString(plugin_->name()))
                                         : QString("No plug-in loaded"));
    reopen_->setEnabled(false);
    connect(reopen_, &QAction::triggered, this, [this] {
        if (plugin_ && !plugin_->attached())
            plugin_->start();
        refreshPlugin();
    });
    if (plugin_)
        connect(plugin_, &PluginHost::detached, this, &HostWindow::refreshPlugin);

    auto* receiver = new QGroupBox("Receiver", this);
    auto* form = new QFormLayout(receiver);
    ReceiverState& state = core.state();
    auto spin = [&](const char* name, const char* caption, const char* suffix) {
        auto* box = new QSpinBox(receiver);
        const auto [low, high] = ReceiverState::range(name);
        box->setRange(low, high);
        box->setSuffix(suffix);
        box->setValue(state.get(name));
        box->setKeyboardTracking(false);  // one change when the user has finished typing
        connect(box, &QSpinBox::valueChanged, this, [this, name](int v) { core_.state().setValue(name, v); });
        controls_[name] = box;
        if (caption)
            form->addRow(caption, box);
        return box;
    };
    auto check = [&](const char* name, const char* caption) {
        auto* box = new QCheckBox(caption, receiver);
        box->setChecked(state.get(name) != 0);
        connect(box, &QCheckBox::toggled, this, [this, name](bool on) { core_.state().setValue(name, on ? 1 : 0); });
        controls_[name] = box;
        return box;
    };
    spin("Frequency", "&Frequency", " Hz");
    auto* mode = new QComboBox(receiver);
    for (const char* m : kModes)
        mode->addItem(m);
    mode->setCurrentIndex(state.get("Mode"));
    connect(mode, &QComboBox::activated, this, [this](int index) { core_.state().setValue("Mode", index); });
    controls_["Mode"] = mode;
    form->addRow("&Mode", mode);
    spin("Volume", "&Volume", "");
    level_ = new QProgressBar(receiver);
    level_->setRange(0, 65535);
    level_->setTextVisible(false);
    auto* levelRow = new QHBoxLayout;
    levelRow->addWidget(level_, 1);
    levelRow->addWidget(spin("SignalStrength", nullptr, ""));
    form->addRow("Signal level", levelRow);
    spin("Squelch", "S&quelch", "");
    auto* switches = new QHBoxLayout;
    for (auto [name, caption] : {std::pair{"ScanState", "&Scanning"}, std::pair{"Mute", "M&ute"},
                                 std::pair{"Attenuator", "&Attenuator"}, std::pair{"Power", "Po&wer"}})
        switches->addWidget(check(name, caption));
    form->addRow(switches);
    layout->addWidget(receiver);
    level_->setValue(state.get("SignalStrength"));
    connect(&state, &ReceiverState::changed, this,
            [this](const QString& name, int v) { display(name.toStdString(), v); });

    auto* appletBox = new QGroupBox("Quenda applets", this);
    auto* appletLayout = new QVBoxLayout(appletBox);
    applets_ = new QListWidget(appletBox);
    applets_->setMinimumHeight(60);
    appletLayout->addWidget(applets_);
    auto* buttons = new QHBoxLayout;
    auto* listButton = new QPushButton("&List applets", appletBox);
    auto* startButton = new QPushButton("S&tart applet", appletBox);
    auto* endButton = new QPushButton("&End conversations", appletBox);
    for (QPushButton* b : {listButton, startButton, endButton})
        buttons->addWidget(b);
    appletLayout->addLayout(buttons);
    layout->addWidget(appletBox);
    connect(listButton, &QPushButton::clicked, this, [this] { core_.runGetApplets(quendaPath_); });
    connect(startButton, &QPushButton::clicked, this, [this] {
        if (QListWidgetItem* item = applets_->currentItem())
            core_.startApplet(item->text().toStdString(), quendaPath_);
    });
    connect(endButton, &QPushButton::clicked, this, [this] { core_.endConversations(); });
    connect(&core, &HostCore::listed, this, &HostWindow::refreshApplets);
    refreshApplets();
    setMinimumWidth(460);  // room for the applet buttons' captions side by side
}

void HostWindow::display(const std::string& name, int value)
{
    if (name == "SignalStrength")
        level_->setValue(value);
    auto it = controls_.find(name);
    if (it == controls_.end())
        return;
    const QSignalBlocker block(it->second);
    if (auto* box = qobject_cast<QSpinBox*>(it->second))
        box->setValue(value);
    else if (auto* combo = qobject_cast<QComboBox*>(it->second))
        combo->setCurrentIndex(value);
    else if (auto* check = qobject_cast<QCheckBox*>(it->second))
        check->setChecked(value != 0);
}

void HostWindow::refreshApplets()
{
    applets_->clear();
    for (const HostApplet& a : core_.applets())
        applets_->addItem(QString::fromStdString(a.name));
}

void HostWindow::refreshPlugin() { reopen_->setEnabled(plugin_ && !plugin_->attached()); }
