#include "platform/ui/EventLoopQueue.h"

#include <QCoreApplication>
#include <QPointer>
#include <QSocketNotifier>
#include <QThread>
#include <cstdint>
#include <mutex>
#include <new>
#include <sys/eventfd.h>
#include <unistd.h>
#include <vector>

namespace platform {

namespace {

class Queue {
public:
    bool post(std::function<void()> work)
    {
        QCoreApplication* app = QCoreApplication::instance();
        if (!app)
            return false;
        if (QThread::currentThread() == app->thread())
            watch();
        // Work posted before the watch began waits for it: opening a device starts the watch.
        std::lock_guard lock(mutex_);
        work_.push_back(std::move(work));
        if (watched_)
            signalLocked();
        return true;
    }

    // On the application's thread.
    void watch()
    {
        QCoreApplication* app = QCoreApplication::instance();
        if (!app || notifier_)
            return;
        std::lock_guard lock(mutex_);
        if (fd_ < 0)
            fd_ = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
        if (fd_ < 0)
            return;
        auto* n = new QSocketNotifier(fd_, QSocketNotifier::Read, app);
        QObject::connect(n, &QSocketNotifier::activated, n, [this] { run(); });
        QObject::connect(n, &QObject::destroyed, [this] {
            std::lock_guard lock(mutex_);
            watched_ = false;
        });
        notifier_ = n;
        watched_ = true;
        // Work posted before the watch began.
        if (!work_.empty())
            signalLocked();
    }

    // A library unloaded before the application ends takes its watcher with it (the watcher's
    // handler is code of this library), its descriptor and the work still waiting (code of this
    // library too). A host that loads the library again gets a new queue, so nothing may stay
    // behind. Work posted later, by a thread still running at the end of the process, waits unseen.
    void unwatch()
    {
        if (QSocketNotifier* n = notifier_.data())
            delete n;
        notifier_.clear();
        std::vector<std::function<void()>> dropped;
        {
            std::lock_guard lock(mutex_);
            watched_ = false;
            woken_ = false;
            if (fd_ >= 0)
                ::close(fd_);
            fd_ = -1;
            dropped.swap(work_);
        }
    }

private:
    void signalLocked()
    {
        if (woken_)
            return;
        woken_ = true;
        const uint64_t one = 1;
        [[maybe_unused]] const ssize_t n = ::write(fd_, &one, sizeof one);
    }

    // Runs what was queued when the loop woke; work posted meanwhile waits for the next wake, so a
    // device that keeps delivering cannot hold the loop from its other events.
    void run()
    {
        std::vector<std::function<void()>> batch;
        {
            std::lock_guard lock(mutex_);
            uint64_t count;
            [[maybe_unused]] const ssize_t n = ::read(fd_, &count, sizeof count);
            woken_ = false;
            batch.swap(work_);
        }
        for (auto& w : batch)
            w();
    }

    std::mutex mutex_;
    std::vector<std::function<void()>> work_;
    int fd_ = -1;         // made at the first watch, closed when the library goes
    bool woken_ = false;  // the descriptor is signalled and the loop has not yet run the queue
    bool watched_ = false;
    QPointer<QSocketNotifier> notifier_;  // the application's thread only
};

Queue& queue()
{
    // Never destroyed, as device threads may still post at the end of the process; it lives in the
    // library's own storage, so a library unloaded and loaded again leaves no copy behind.
    alignas(Queue) static unsigned char storage[sizeof(Queue)];
    static Queue* q = new (storage) Queue;
    return *q;
}

struct Unload {
    ~Unload() { queue().unwatch(); }
} unload;

}  // namespace

bool PostToEventLoop(std::function<void()> work) { return queue().post(std::move(work)); }

void WatchEventLoopQueue()
{
    QCoreApplication* app = QCoreApplication::instance();
    if (app && QThread::currentThread() == app->thread())
        queue().watch();
}

}  // namespace platform
