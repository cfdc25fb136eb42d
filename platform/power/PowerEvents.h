#pragma once
// Suspend and resume of the machine. The login manager announces both with one signal on the
// system bus, PrepareForSleep(true) before sleeping and PrepareForSleep(false) after waking;
// without a system bus (containers, build machines) nothing arrives and Listening() says so.
#include <QObject>

namespace platform {

class PowerEvents : public QObject {
    Q_OBJECT
public:
    // Subscribes on the system bus when one answers; never waits for the login manager itself.
    explicit PowerEvents(QObject* parent = nullptr);

    bool Listening() const { return listening_; }

    // Delivers a PrepareForSleep as if the login manager had sent it (tests, or a caller that
    // learns of sleep some other way).
    void Inject(bool sleeping) { PrepareForSleep(sleeping); }

signals:
    void suspending();
    void resumed();

private slots:
    void PrepareForSleep(bool sleeping);

private:
    bool listening_ = false;
};

}  // namespace platform
