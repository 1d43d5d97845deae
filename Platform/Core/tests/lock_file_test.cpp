#include "platform/lock_file.h"

#include <gtest/gtest.h>

#include <QDir>

#include <atomic>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

QString lockPath()
{
    QDir().mkpath(qEnvironmentVariable("CORV_WINROOT"));
    return qEnvironmentVariable("CORV_WINROOT") + QStringLiteral("/token.lck");
}

TEST(LockFile, KeepsTwoHandlesOfOneProcessApart)
{
    platform::LockFile first(lockPath());
    platform::LockFile second(lockPath());
    ASSERT_TRUE(first.isOpen());
    ASSERT_TRUE(second.isOpen());

    ASSERT_TRUE(first.tryLock(0, 1));
    EXPECT_FALSE(second.tryLock(0, 1));
    EXPECT_TRUE(second.tryLock(1, 1)) << "other ranges stay free";
    ASSERT_TRUE(first.unlock(0, 1));
    EXPECT_TRUE(second.tryLock(0, 1));
}

TEST(LockFile, ThreadsTakingTheLockNeverOverlap)
{
    std::atomic<int> inside{0};
    std::atomic<int> overlaps{0};
    std::atomic<int> entries{0};
    auto worker = [&] {
        platform::LockFile lock(lockPath());
        ASSERT_TRUE(lock.isOpen());
        for (int done = 0; done < 200;) {
            if (!lock.tryLock(0, 1)) {
                std::this_thread::yield();
                continue;
            }
            if (inside.fetch_add(1) != 0)
                ++overlaps;
            ++entries;
            inside.fetch_sub(1);
            lock.unlock(0, 1);
            ++done;
        }
    };
    std::thread a(worker), b(worker), c(worker);
    a.join();
    b.join();
    c.join();
    EXPECT_EQ(overlaps.load(), 0);
    EXPECT_EQ(entries.load(), 600);
}

TEST(LockFile, AnotherProcessSeesTheLock)
{
    platform::LockFile lock(lockPath());
    ASSERT_TRUE(lock.tryLock(0, 1));
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        platform::LockFile other(lockPath());
        _exit(other.tryLock(0, 1) ? 1 : 0);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "the child got a lock this process holds";
}

TEST(LockFile, UnopenableFileFailsCleanly)
{
    platform::LockFile lock(QStringLiteral("/nonexistent-folder/token.lck"));
    EXPECT_FALSE(lock.isOpen());
    EXPECT_FALSE(lock.tryLock(0, 1));
    EXPECT_FALSE(lock.unlock(0, 1));
}

} // namespace
