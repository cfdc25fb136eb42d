#pragma once
// What orvhost does for quenda, apart from its window: the receiver's state, the DDE service,
// the applet list learnt from a GetApplets run, applet starts and the trace.
#include "DdeService.h"
#include "HostScript.h"
#include "ReceiverState.h"
#include "TraceWriter.h"

#include <QObject>

#include <memory>
#include <string>
#include <vector>

class QProcess;

struct HostApplet {
    std::string name;
    std::string path;
};

class HostCore : public QObject {
    Q_OBJECT
public:
    HostCore(int32_t receiver, std::unique_ptr<DdeService> dde, const std::string& tracePath,
             QObject* parent = nullptr);
    ~HostCore() override;

    ReceiverState& state() { return state_; }
    TraceWriter& trace() { return trace_; }
    bool serving() const { return serving_; }
    const std::vector<HostApplet>& applets() const { return applets_; }

    // Runs "<quenda> <n> GetApplets" and collects its pokes; listed() follows when it has ended.
    void runGetApplets(const std::string& quendaPath);
    // Starts an applet by name (its own program from the listing, else quendaPath).
    void startApplet(const std::string& name, const std::string& quendaPath);
    // Ends every conversation.
    void endConversations();
    // Whether the applet started by startApplet is still running.
    bool appletRunning() const;
    // Ends the applet that is still running, at once, and waits for it; false when none was running.
    bool killApplet();
    // Plays a script's steps on the event loop, from now.
    void play(const HostScript& script);

signals:
    void listed();
    // The applet's exit status, or with crashed the signal that ended it (-1: it did not start).
    void appletEnded(int exitCode, bool crashed);
    // A script took the station of that frequency off the air (on false) or brought it back.
    void stationChanged(int32_t hz, bool on);

private:
    void traceDde(const char* dir, const char* what, const std::string& item, const std::string& data);
    bool poke(uint32_t conv, const std::string& item, const DdeService::Bytes& data);

    ReceiverState state_;
    TraceWriter trace_;
    std::unique_ptr<DdeService> dde_;
    bool serving_ = false;
    std::vector<HostApplet> applets_;
    QProcess* lister_ = nullptr;
    QProcess* applet_ = nullptr;
};
