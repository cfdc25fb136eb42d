#include "HostWindow.h"

#include "HostCore.h"

#include <QFormLayout>
#include <QListWidget>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

HostWindow::HostWindow(HostCore& core, std::string quendaPath, QWidget* parent)
    : QWidget(parent), core_(core), quendaPath_(std::move(quendaPath)), applets_(new QListWidget(this))
{
    setWindowTitle(QString("orvhost - %1").arg(QString::fromStdString(core.state().topic())));
    auto* layout = new QVBoxLayout(this);
    auto* form = new QFormLayout;
    for (const char* item : {"ScanState", "SignalStrength", "Squelch", "Mute"}) {
        auto* box = new QSpinBox(this);
        const bool level = std::string(item) == "SignalStrength" || std::string(item) == "Squelch";
        box->setRange(0, level ? 255 : 1);  // levels, or an on/off state
        box->setValue(core.state().value(item).value_or(0));
        connect(box, &QSpinBox::valueChanged, this, [this, item](int v) { core_.state().setValue(item, v); });
        boxes_[item] = box;
        form->addRow(item, box);
    }
    connect(&core.state(), &ReceiverState::changed, this, [this](const QString& item, int v) {
        if (auto it = boxes_.find(item.toStdString()); it != boxes_.end()) {
            const QSignalBlocker block(it->second);
            it->second->setValue(v);
        }
    });
    layout->addLayout(form);
    layout->addWidget(applets_);
    auto* list = new QPushButton("List applets", this);
    auto* start = new QPushButton("Start applet", this);
    auto* end = new QPushButton("End conversations", this);
    layout->addWidget(list);
    layout->addWidget(start);
    layout->addWidget(end);
    connect(list, &QPushButton::clicked, this, [this] { core_.runGetApplets(quendaPath_); });
    connect(start, &QPushButton::clicked, this, [this] {
        if (QListWidgetItem* item = applets_->currentItem())
            core_.startApplet(item->text().toStdString(), quendaPath_);
    });
    connect(end, &QPushButton::clicked, this, [this] { core_.endConversations(); });
    connect(&core, &HostCore::listed, this, &HostWindow::refreshApplets);
}

void HostWindow::refreshApplets()
{
    applets_->clear();
    for (const HostApplet& a : core_.applets())
        applets_->addItem(QString::fromStdString(a.name));
}
