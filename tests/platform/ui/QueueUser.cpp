// A library that hands work to the event loop the way a plug-in's sound does, for the queue's test to
// load and unload again and again.
#include "platform/ui/EventLoopQueue.h"

extern "C" __attribute__((visibility("default"))) bool korvanta_test_queue_post(int* ran)
{
    platform::WatchEventLoopQueue();
    return platform::PostToEventLoop([ran] { ++*ran; });
}
