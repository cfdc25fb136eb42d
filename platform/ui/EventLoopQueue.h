#pragma once
// Work handed from a device's thread to the application's event-loop thread.
//
// The work waits in a queue under our own lock, and the event loop is only woken, through a
// descriptor it watches; the wake itself carries nothing. So everything a device thread hands over
// is published under a lock that the thread checkers see, whatever the GUI library does inside.
#include <functional>

namespace platform {

// Runs `work` on the application's thread from its event loop, after the work posted before it.
// May be called from any thread. Without an application the work is dropped and false returned.
bool PostToEventLoop(std::function<void()> work);

// Makes the event loop watch the queue; work posted before runs then. Call on the application's
// thread (opening a stream or a mixer does); posting calls it too when it runs on that thread.
void WatchEventLoopQueue();

}  // namespace platform
