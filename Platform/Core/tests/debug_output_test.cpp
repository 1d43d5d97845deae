#include "platform/debug_output.h"

#include <gtest/gtest.h>

#include <QStringList>

#include <thread>
#include <vector>

TEST(DebugOutput, InstalledSinkReceivesEveryLineFromAnyThread)
{
    QStringList lines;
    platform::DebugSink previous = platform::setDebugSink([&](const QString& text) { lines << text; });

    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([t] {
            for (int i = 0; i < 100; ++i)
                platform::outputDebugString(QStringLiteral("thread %1 line %2").arg(t).arg(i));
        });
    for (std::thread& thread : threads)
        thread.join();

    platform::setDebugSink(previous);
    platform::outputDebugString(QStringLiteral("after restore")); // goes to the default sink
    EXPECT_EQ(lines.size(), 400);
    EXPECT_TRUE(lines.contains(QStringLiteral("thread 3 line 99")));
    EXPECT_FALSE(lines.contains(QStringLiteral("after restore")));
}
