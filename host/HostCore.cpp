#include "HostCore.h"

#include <QProcess>
#include <QTimer>

namespace {

// CF_TEXT data: the text up to its NUL.
std::string Text(const DdeService::Bytes& data)
{
    std::string s(data.begin(), data.end());
    if (size_t nul = s.find('\0'); nul != std::string::npos)
        s.resize(nul);
    return s;
}

DdeService::Bytes TextData(const std::string& s)
{
    DdeService::Bytes b(s.begin(), s.end());
    b.push_back(0);
    return b;
}

}  // namespace

HostCore::HostCore(int32_t receiver, std::unique_ptr<DdeService> dde, const std::string& tracePath, QObject* parent)
    : QObject(parent), state_(receiver), trace_(tracePath), dde_(std::move(dde))
{
    if (dde_) {
        dde_->onPoke = [this](uint32_t conv, const std::string& item, const DdeService::Bytes& data) {
            return poke(conv, item, data);
        };
        dde_->onRequest = [this](uint32_t, const std::string& item) -> std::optional<DdeService::Bytes> {
            auto v = ReceiverState::isItem(item) ? state_.value(item) : std::nullopt;
            traceDde("quenda->host", "request", item, v ? std::to_string(*v) : "");
            if (!v)
                return std::nullopt;
            return TextData(std::to_string(*v));
        };
        dde_->onAdvise = [this](uint32_t, const std::string& item, bool start) {
            traceDde("quenda->host", start ? "advstart" : "advstop", item, "");
            return ReceiverState::isItem(item);
        };
        dde_->onConnect = [this](uint32_t) { traceDde("quenda->host", "connect", "", state_.topic()); };
        dde_->onDisconnect = [this](uint32_t) { traceDde("quenda->host", "disconnect", "", state_.topic()); };
        serving_ = dde_->serve("Korvanta", state_.topic());
    }
    connect(&state_, &ReceiverState::changed, this, [this](const QString& item, int value) {
        const std::string name = item.toStdString();
        if (!ReceiverState::isItem(name))
            return;
        traceDde("host->quenda", "advise", name, std::to_string(value));
        if (dde_)
            dde_->advise(name, TextData(std::to_string(value)));
    });
}

HostCore::~HostCore()
{
    for (QProcess* p : {lister_, applet_})
        if (p && p->state() != QProcess::NotRunning) {
            p->kill();
            p->waitForFinished(2000);
        }
}

void HostCore::traceDde(const char* dir, const char* what, const std::string& item, const std::string& data)
{
    std::vector<TraceWriter::Field> f = {TraceWriter::text("dir", dir), TraceWriter::text("dde", what)};
    if (!item.empty())
        f.push_back(TraceWriter::text("item", item));
    f.push_back(TraceWriter::text("data", data));
    trace_.write(f);
}

bool HostCore::poke(uint32_t, const std::string& item, const DdeService::Bytes& data)
{
    const std::string text = Text(data);
    trace_.write({TraceWriter::text("dir", "quenda->host"), TraceWriter::text("dde", "poke"),
                  TraceWriter::text("item", item), TraceWriter::text("data", text),
                  TraceWriter::number("length", static_cast<int64_t>(data.size()))});
    if (item == "Quenda Applet") {
        const size_t bar = text.find('|');
        applets_.push_back({text.substr(0, bar), bar == std::string::npos ? std::string() : text.substr(bar + 1)});
        return true;
    }
    if (item == "ScanState" || item == "Mute") {
        try {
            state_.setValue(item, std::stoi(text));
        } catch (...) {
            return false;
        }
        return true;
    }
    return false;
}

void HostCore::runGetApplets(const std::string& quendaPath)
{
    applets_.clear();
    lister_ = new QProcess(this);
    lister_->setProcessChannelMode(QProcess::ForwardedChannels);
    connect(lister_, &QProcess::finished, this, [this](int code) {
        trace_.write({TraceWriter::text("dir", "host"), TraceWriter::text("event", "GetApplets ended"),
                      TraceWriter::number("exit", code), TraceWriter::number("applets", int64_t(applets_.size()))});
        emit listed();
    });
    connect(lister_, &QProcess::errorOccurred, this, [this](QProcess::ProcessError e) {
        if (e == QProcess::FailedToStart)
            emit listed();
    });
    lister_->start(QString::fromStdString(quendaPath), {QString::number(state_.receiver()), "GetApplets"});
}

void HostCore::startApplet(const std::string& name, const std::string& quendaPath)
{
    std::string program = quendaPath;
    for (const HostApplet& a : applets_)
        if (a.name == name && !a.path.empty())
            program = a.path;
    QStringList args = {QString::number(state_.receiver())};
    args += QString::fromStdString(name).split(' ', Qt::SkipEmptyParts);
    trace_.write({TraceWriter::text("dir", "host"), TraceWriter::text("event", "start applet"),
                  TraceWriter::text("name", name)});
    applet_ = new QProcess(this);
    applet_->setProcessChannelMode(QProcess::ForwardedChannels);
    connect(applet_, &QProcess::finished, this, [this](int code, QProcess::ExitStatus status) {
        const bool crashed = status == QProcess::CrashExit;
        std::vector<TraceWriter::Field> f = {TraceWriter::text("dir", "host"), TraceWriter::text("event", "applet ended"),
                                             TraceWriter::number("exit", code)};
        if (crashed)
            f.push_back(TraceWriter::number("signal", code));
        trace_.write(f);
        emit appletEnded(code, crashed);
    });
    connect(applet_, &QProcess::errorOccurred, this, [this](QProcess::ProcessError e) {
        if (e == QProcess::FailedToStart)
            emit appletEnded(-1, false);
    });
    applet_->start(QString::fromStdString(program), args);
}

bool HostCore::appletRunning() const { return applet_ && applet_->state() != QProcess::NotRunning; }

bool HostCore::killApplet()
{
    if (!appletRunning())
        return false;
    trace_.write({TraceWriter::text("dir", "host"), TraceWriter::text("event", "kill applet")});
    applet_->kill();
    applet_->waitForFinished(2000);
    return true;
}

void HostCore::endConversations()
{
    trace_.write({TraceWriter::text("dir", "host->quenda"), TraceWriter::text("dde", "disconnect")});
    if (dde_)
        dde_->disconnectAll();
}

void HostCore::play(const HostScript& script)
{
    for (const ScriptStep& step : script.steps) {
        QTimer::singleShot(step.atMs, Qt::PreciseTimer, this, [this, step] {
            switch (step.kind) {
            case ScriptStep::Kind::Disconnect: endConversations(); break;
            case ScriptStep::Kind::StationOff: emit stationChanged(step.value, false); break;
            case ScriptStep::Kind::StationOn: emit stationChanged(step.value, true); break;
            case ScriptStep::Kind::Set: state_.setValue(step.item, step.value); break;
            }
        });
    }
}
