// Work handed from other threads to the event-loop thread: all of it arrives, on that thread, in the
// order each thread posted it, with what the posting thread wrote before posting visible there.
#include "platform/ui/EventLoopQueue.h"

#include "EventPump.h"
#include "TestSupport.h"

#include <QCoreApplication>
#include <QThread>
#include <QTimer>
#include <gtest/gtest.h>

#include <atomic>
#include <dlfcn.h>
#include <filesystem>
#include <memory>
#include <thread>
#include <vector>

using platform::PostToEventLoop;
using platform::WatchEventLoopQueue;

namespace {

struct Payload {
    int thread = -1;
    int seq = -1;
    std::vector<int> data;  // written by the posting thread, read on the event loop
};

TEST(EventLoopQueue, WorkFromManyThreadsArrivesOnTheLoopInEachThreadsOrder)
{
    WatchEventLoopQueue();
    constexpr int kThreads = 4;
    constexpr int kEach = 2000;
    std::vector<int> next(kThreads, 0);
    int arrived = 0;
    int wrongThread = 0, outOfOrder = 0, badData = 0;
    QThread* loop = QCoreApplication::instance()->thread();

    std::vector<std::thread> posters;
    for (int t = 0; t < kThreads; ++t)
        posters.emplace_back([&, t] {
            for (int i = 0; i < kEach; ++i) {
                auto p = std::make_shared<Payload>();
                p->thread = t;
                p->seq = i;
                p->data.assign(8, t * kEach + i);
                PostToEventLoop([&, p] {
                    if (QThread::currentThread() != loop)
                        ++wrongThread;
                    if (p->seq != next[p->thread])
                        ++outOfOrder;
                    next[p->thread] = p->seq + 1;
                    for (int v : p->data)
                        if (v != p->thread * kEach + p->seq)
                            ++badData;
                    ++arrived;
                });
            }
        });
    EXPECT_TRUE(testsupport::pumpUntil([&] { return arrived == kThreads * kEach; }, 20000)) << arrived;
    for (auto& th : posters)
        th.join();
    EXPECT_TRUE(testsupport::pumpUntil([&] { return arrived == kThreads * kEach; }, 5000));
    EXPECT_EQ(arrived, kThreads * kEach);
    EXPECT_EQ(wrongThread, 0);
    EXPECT_EQ(outOfOrder, 0);
    EXPECT_EQ(badData, 0);
}

TEST(EventLoopQueue, WorkPostedOnTheLoopRunsLaterNotAtOnce)
{
    bool ran = false;
    ASSERT_TRUE(PostToEventLoop([&] { ran = true; }));
    EXPECT_FALSE(ran) << "posted work waits for the event loop";
    EXPECT_TRUE(testsupport::pumpUntil([&] { return ran; }));
}

TEST(EventLoopQueue, LaterWorkStillRunsAfterWorkThatPostsMore)
{
    std::vector<int> order;
    PostToEventLoop([&] {
        order.push_back(1);
        PostToEventLoop([&] { order.push_back(3); });
    });
    PostToEventLoop([&] { order.push_back(2); });
    EXPECT_TRUE(testsupport::pumpUntil([&] { return order.size() == 3; }));
    EXPECT_EQ(order, (std::vector<int>{1, 2, 3}));
}

}  // namespace

namespace {

// A device that delivers again as soon as its buffer is handled must not keep the loop from its other
// events: the loop runs what was queued when it woke, and newer work waits for the next wake. A timer
// started by the first round comes between the rounds, and every round still arrives.
TEST(EventLoopQueue, WorkThatKeepsPostingLeavesTheLoopFreeForOtherEvents)
{
    WatchEventLoopQueue();
    constexpr int kRounds = 500;
    int rounds = 0;
    int roundsAtTimer = -1;
    QObject timerContext;  // the timer goes with the test
    std::function<void()> again = [&] {
        if (++rounds == 1)
            QTimer::singleShot(0, &timerContext, [&] { roundsAtTimer = rounds; });
        if (rounds < kRounds)
            PostToEventLoop(again);
    };
    PostToEventLoop(again);
    EXPECT_EQ(rounds, 0) << "posted work waits for the event loop";
    EXPECT_TRUE(testsupport::pumpUntil([&] { return rounds == kRounds; }, 30000)) << rounds << " rounds ran";
    EXPECT_TRUE(testsupport::pumpUntil([&] { return roundsAtTimer >= 0; }, 5000)) << "the timer never ran";
    EXPECT_GE(roundsAtTimer, 1);
    EXPECT_LT(roundsAtTimer, kRounds) << "the loop ran only the posted work until it stopped posting";
    EXPECT_EQ(rounds, kRounds);
}

}  // namespace

namespace {

int OpenDescriptors()
{
    int n = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator("/proc/self/fd"))
        ++n;
    return n;
}

// A plug-in that uses the queue is loaded and unloaded many times in one host: each copy of the queue
// delivers its work, and takes its descriptor with it when its library goes.
TEST(EventLoopQueue, ALibraryLoadedAndUnloadedAgainLeavesNoDescriptorOpen)
{
    const std::string library = testsupport::libPath("libkorvanta_test_queue_user.so").string();
    auto cycle = [&] {
        void* lib = ::dlopen(library.c_str(), RTLD_NOW | RTLD_LOCAL);
        ASSERT_TRUE(lib) << ::dlerror();
        auto post = reinterpret_cast<bool (*)(int*)>(::dlsym(lib, "korvanta_test_queue_post"));
        ASSERT_TRUE(post);
        int ran = 0;
        EXPECT_TRUE(post(&ran));
        EXPECT_TRUE(testsupport::pumpUntil([&] { return ran == 1; })) << "the library's work did not arrive";
        ::dlclose(lib);
        QCoreApplication::processEvents();
    };
    cycle();  // what the first load makes once for the process (the event loop's own descriptors)
    const int before = OpenDescriptors();
    constexpr int kLoads = 20;
    for (int i = 0; i < kLoads; ++i)
        cycle();
    EXPECT_EQ(OpenDescriptors(), before) << "after " << kLoads << " loads";
}

}  // namespace
