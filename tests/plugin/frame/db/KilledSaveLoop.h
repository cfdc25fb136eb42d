#pragma once
// A database saving in a loop in a child process that is killed at a different moment each round,
// for the plug-ins' database tests; the caller checks what the file holds after each kill.
#include <gtest/gtest.h>

#include <csignal>
#include <functional>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

// child runs in a forked process until it is killed and calls ready() once every system it saves is
// in the file. The kill comes 1 ms after that in the first round and 1.7 ms later in each next
// round; check(round) then reads the file.
inline void KillWhileSavingInALoop(int rounds, const std::function<void(const std::function<void()>& ready)>& child,
                                   const std::function<void(int round)>& check)
{
    for (int round = 0; round < rounds; ++round) {
        int pipefd[2];
        ASSERT_EQ(::pipe(pipefd), 0);
        const pid_t pid = ::fork();
        if (pid == 0) {
            ::close(pipefd[0]);
            bool told = false;
            child([&] {
                if (told)
                    return;
                told = true;
                char x = 1;
                (void)!::write(pipefd[1], &x, 1);
            });
            ::_exit(0);
        }
        ::close(pipefd[1]);
        char x = 0;
        ASSERT_EQ(::read(pipefd[0], &x, 1), 1);
        ::close(pipefd[0]);
        ::usleep(useconds_t(1000 + round * 1700));
        ::kill(pid, SIGKILL);
        int status = 0;
        ::waitpid(pid, &status, 0);
        ASSERT_TRUE(WIFSIGNALED(status));
        check(round);
    }
}
