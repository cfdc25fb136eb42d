#include "platform/instance/NamedLock.h"
#include "platform/instance/RuntimeName.h"

#include "TestSupport.h"

#include <csignal>
#include <set>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;
using platform::NamedLock;

namespace {

class NamedLockTest : public ::testing::Test {
protected:
    testsupport::TempDir dir;
    testsupport::ScopedEnv runtime{"XDG_RUNTIME_DIR", dir.path().string()};
};

// A child process that takes the name, says so through a pipe, and then waits to be killed.
pid_t holdInChild(const std::string& name)
{
    int fds[2];
    if (::pipe(fds) != 0)
        return -1;
    pid_t pid = ::fork();
    if (pid == 0) {
        ::close(fds[0]);
        NamedLock lock(name);
        char ok = lock.Add() ? '1' : '0';
        if (::write(fds[1], &ok, 1) != 1)
            ::_exit(2);
        for (;;)
            ::pause();
    }
    ::close(fds[1]);
    char ok = 0;
    ssize_t n = ::read(fds[0], &ok, 1);
    ::close(fds[0]);
    if (n != 1 || ok != '1') {
        if (pid > 0) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, nullptr, 0);
        }
        return -1;
    }
    return pid;
}

TEST_F(NamedLockTest, SecondProcessIsRefusedUntilTheFirstDies)
{
    pid_t holder = holdInChild("Korvanta Quenda");
    ASSERT_GT(holder, 0);
    EXPECT_TRUE(NamedLock::Exists("Korvanta Quenda"));
    NamedLock mine("Korvanta Quenda");
    EXPECT_FALSE(mine.Add());
    EXPECT_FALSE(mine.Held());

    ::kill(holder, SIGKILL);  // no chance to clean up
    ::waitpid(holder, nullptr, 0);
    EXPECT_FALSE(NamedLock::Exists("Korvanta Quenda"));
    EXPECT_TRUE(mine.Add());
    EXPECT_TRUE(NamedLock::Exists("Korvanta Quenda"));
}

TEST_F(NamedLockTest, TwoHoldersInOneProcessExcludeEachOther)
{
    NamedLock first("Korvanta Quenda Applet"), second("Korvanta Quenda Applet");
    EXPECT_FALSE(NamedLock::Exists("Korvanta Quenda Applet"));
    ASSERT_TRUE(first.Add());
    EXPECT_TRUE(first.Add());  // taking it again is harmless
    EXPECT_FALSE(second.Add());
    EXPECT_TRUE(NamedLock::Exists("korvanta quenda applet"));  // names ignore case
    EXPECT_FALSE(NamedLock::Exists("Korvanta Quenda"));        // and a longer name is another name

    first.Delete();
    EXPECT_FALSE(NamedLock::Exists("Korvanta Quenda Applet"));
    EXPECT_TRUE(second.Add());
    {
        NamedLock scoped("Scoped");
        ASSERT_TRUE(scoped.Add());
    }
    EXPECT_FALSE(NamedLock::Exists("Scoped"));  // destruction releases
}

TEST_F(NamedLockTest, NamesStayInsideTheFolderAndApart)
{
    const std::vector<std::string> names = {"../../etc/passwd", "a/b", "a_b", "a%2Fb", "", "x y", "x_y",
                                            std::string(300, 'n'), std::string(299, 'n') + "m"};
    std::set<fs::path> files;
    for (const auto& n : names) {
        fs::path f = NamedLock::LockFile(n);
        EXPECT_EQ(f.parent_path(), dir.path()) << n;
        EXPECT_LT(f.filename().string().size(), 255u) << n;
        files.insert(f);
    }
    EXPECT_EQ(files.size(), names.size());
    NamedLock odd("../../etc/passwd");
    EXPECT_TRUE(odd.Add());
}

TEST_F(NamedLockTest, AtomCallsByName)
{
    EXPECT_FALSE(platform::FindAtom("Korvanta Quenda"));
    EXPECT_TRUE(platform::AddAtom("Korvanta Quenda"));
    EXPECT_TRUE(platform::FindAtom("Korvanta Quenda"));
    NamedLock other("Korvanta Quenda");
    EXPECT_FALSE(other.Add());
    platform::DeleteAtom("Korvanta Quenda");
    EXPECT_FALSE(platform::FindAtom("Korvanta Quenda"));
    platform::DeleteAtom("Korvanta Quenda");  // deleting what is not held does nothing
    ASSERT_TRUE(other.Add());
    EXPECT_FALSE(platform::AddAtom("Korvanta Quenda"));
}

// Whether path is a folder of this user's, not a link, for this user alone.
bool OwnFolder(const fs::path& path)
{
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == ::getuid() && (st.st_mode & 0777) == 0700;
}

TEST(NamedLockFolder, FallsBackToTheUsersOwnFolderInTmpWithTheUserInTheName)
{
    testsupport::ScopedEnv runtime("XDG_RUNTIME_DIR", "");
    fs::path f = NamedLock::LockFile("Korvanta Quenda");
    EXPECT_EQ(f.parent_path(), fs::path("/tmp/korvanta-" + std::to_string(::getuid())));
    EXPECT_TRUE(OwnFolder(f.parent_path()));
    EXPECT_NE(f.filename().string().find(std::to_string(::getuid())), std::string::npos);
}

// What someone else may have left at the user's folder's name in a shared folder, before the user's
// first program makes it.
struct Planted {
    const char* name;
    void (*plant)(const fs::path& at, const fs::path& elsewhere);
    bool taken;  // the user's own folder after all
};

const Planted kPlanted[] = {
    {"Nothing", [](const fs::path&, const fs::path&) {}, true},
    {"TheUsersOwnFolder", [](const fs::path& at, const fs::path&) { ::mkdir(at.c_str(), 0700); }, true},
    {"ALinkToAFolderOfTheUsers",
     [](const fs::path& at, const fs::path& elsewhere) {
         ::mkdir(elsewhere.c_str(), 0700);
         fs::create_directory_symlink(elsewhere, at);
     },
     false},
    {"AFolderOthersMayWriteIn",
     [](const fs::path& at, const fs::path&) {
         ::mkdir(at.c_str(), 0700);
         ::chmod(at.c_str(), 0777);
     },
     false},
    {"AFolderOfAnotherUser",
     [](const fs::path& at, const fs::path&) {
         ::mkdir(at.c_str(), 0700);
         if (::chown(at.c_str(), 65534, 65534) != 0)
             GTEST_SKIP() << "only the superuser can give a folder away";
     },
     false},
};

class UserFolder : public ::testing::TestWithParam<Planted> {};

TEST_P(UserFolder, IsTheUsersAloneOrAFreshOneOfItsOwn)
{
    testsupport::TempDir base;
    const fs::path name = base / ("korvanta-" + std::to_string(::getuid()));
    const fs::path elsewhere = base / "elsewhere";
    GetParam().plant(name, elsewhere);
    if (::testing::Test::IsSkipped())
        return;
    const fs::path folder = platform::UserFolderIn(base.path());
    EXPECT_TRUE(OwnFolder(folder)) << folder;
    if (GetParam().taken)
        EXPECT_EQ(folder, name);
    else
        EXPECT_NE(folder, name) << "someone else's folder taken";
    EXPECT_EQ(folder.parent_path(), base.path());
    EXPECT_EQ(platform::UserFolderIn(base.path()), folder) << "the same folder for the whole run";
    // Nothing is made in what was planted.
    std::error_code ec;
    if (fs::is_directory(elsewhere, ec))
        EXPECT_TRUE(fs::is_empty(elsewhere));
}

INSTANTIATE_TEST_SUITE_P(Planted, UserFolder, ::testing::ValuesIn(kPlanted),
                         [](const ::testing::TestParamInfo<Planted>& info) { return std::string(info.param.name); });

}  // namespace
