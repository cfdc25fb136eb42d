// The single-instance flag when another decoder window takes it while ours is starting. The lock
// calls on the flag's file are watched: just before the k-th of them, a rival (another holder of
// the name, as a window of the other plug-in or another process) takes the flag.
#include "FakeReceiverLibrary.h"
#include "MPT1327Form.h"
#include "OrvPluginFrame.h"
#include "RecordingHost.h"
#include "platform/instance/NamedLock.h"
#include "platform/ui/MessageBox.h"
#include "tests/support/TestSupport.h"

#include <QCoreApplication>
#include <QEvent>
#include <gtest/gtest.h>

#include <climits>
#include <sys/file.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace {

platform::NamedLock* rival = nullptr;
int rivalBefore = 0;  // the lock call on the flag's file the rival comes before; 0 = never
int lockCalls = 0;
bool rivalCameIn = false;

bool IsFlagFile(int fd)
{
    char link[PATH_MAX] = {};
    const std::string proc = "/proc/self/fd/" + std::to_string(fd);
    const ssize_t n = ::readlink(proc.c_str(), link, sizeof link - 1);
    return n > 0 && std::string(link, size_t(n)) == platform::NamedLock::LockFile(kOrvSingleInstanceAtom).string();
}

}  // namespace

// Every flock of this program comes here first.
extern "C" int flock(int fd, int operation)
{
    if (rival && (operation & LOCK_EX) && IsFlagFile(fd) && ++lockCalls == rivalBefore) {
        platform::NamedLock* taker = rival;
        rival = nullptr;
        rivalCameIn = taker->Add();
    }
    return int(::syscall(SYS_flock, fd, operation));
}

namespace {

TEST(SingleInstance, AWindowTakingTheFlagDuringOurStartLeavesUsOutWithTheBox)
{
    for (int k = 1; k <= 3; ++k) {
        SCOPED_TRACE("rival before lock call " + std::to_string(k));
        testsupport::TempDir dir;
        testsupport::ScopedEnv runtime("XDG_RUNTIME_DIR", dir.path().string());
        testsupport::ScopedEnv config("XDG_CONFIG_HOME", (dir / "config").string());
        testsupport::ScopedEnv plugins("ORV_PLUGIN_PATH", dir.path().string());
        testsupport::writeFile(dir / "quiet.script", "values 0 0 0 0\nsilence_at_end\n");
        testsupport::ScopedEnv sound("WAVE_IN_SCRIPT", (dir / "quiet.script").string());
        OrvFrameResetForTest();
        platform::MessageBoxRecorder boxes;
        RecordingHost host;
        TFakeReceiverLibrary receivers{2};
        const TOrvPluginInfo plugin{"MPT1327", [&](OrvHostWindow w, const OrvReceiverInfo* i, OrvHostCallback c,
                                                   uint32_t* f, OrvInstance h) -> TOrvDecoderForm* {
                                        auto form = std::make_unique<TMPT1327Form>(w, i, c, f, h, receivers);
                                        form->FormCreate();
                                        return form.release();
                                    }};
        char name[8];
        ASSERT_EQ(OrvFrameInit(plugin, 0x100, name, sizeof name), 0x100);
        OrvReceiverInfo info{};
        info.receiverNumber = 1;
        info.maxVolume = 255;

        platform::NamedLock other(kOrvSingleInstanceAtom);
        rival = &other;
        rivalBefore = k;
        lockCalls = 0;
        rivalCameIn = false;
        const int32_t started = OrvFrameStart(plugin, 5, &info, &RecordingHost::Callback, &host.flags);
        rival = nullptr;

        if (rivalCameIn) {
            // The rival won: ours did not start, and the user is told why.
            EXPECT_EQ(started, -1);
            ASSERT_EQ(boxes.boxes().size(), 1u);
            EXPECT_EQ(boxes.boxes()[0].caption, kOrvAlreadyRunningCaption);
            EXPECT_EQ(boxes.boxes()[0].text, kOrvAlreadyRunningText);
            EXPECT_TRUE(OrvWindows().empty());
        } else {
            // Ours won: it runs, and the rival could not take the flag from it.
            EXPECT_GT(started, 0);
            EXPECT_TRUE(boxes.boxes().empty());
            EXPECT_FALSE(other.Add());
        }
        if (k == 1) {
            EXPECT_TRUE(rivalCameIn);  // the rival first: ours must give way
        }
        for (TOrvDecoderForm* f : std::vector(OrvWindows()))
            f->Close();
        QCoreApplication::processEvents();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        other.Delete();
        OrvFrameResetForTest();
    }
}

}  // namespace
