#include "platform/pipes.h"
#include "platform/socket_io.h"

#include <gtest/gtest.h>

#include <future>
#include <sys/socket.h>

using namespace std::chrono_literals;

namespace {

// A connected pair of stream sockets, like one pipe after accept.
struct SocketPair {
    platform::UniqueFd a;
    platform::UniqueFd b;
    SocketPair()
    {
        int fds[2];
        if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds) == 0) {
            a.reset(fds[0]);
            b.reset(fds[1]);
        }
    }
};

TEST(SocketIo, ReadTimesOutWithoutInput)
{
    SocketPair pair;
    QByteArray buffer("kept");
    const auto start = std::chrono::steady_clock::now();
    const platform::IoResult result = platform::readAvailable(pair.b.get(), buffer, 50ms);
    EXPECT_EQ(result.status, platform::IoStatus::TimedOut);
    EXPECT_GE(std::chrono::steady_clock::now() - start, 50ms);
    EXPECT_EQ(buffer, QByteArray("kept"));
}

TEST(SocketIo, ReadTakesWhatIsThereUpToTheLimitAndAppends)
{
    SocketPair pair;
    ASSERT_EQ(platform::writeAll(pair.a.get(), "abcdef", 6).status, platform::IoStatus::Ok);
    QByteArray buffer("x");
    platform::IoResult result = platform::readAvailable(pair.b.get(), buffer, 1000ms, 4);
    EXPECT_EQ(result.status, platform::IoStatus::Ok);
    EXPECT_EQ(result.bytes, 4u);
    result = platform::readAvailable(pair.b.get(), buffer, 1000ms);
    EXPECT_EQ(result.bytes, 2u);
    EXPECT_EQ(buffer, QByteArray("xabcdef"));
}

TEST(SocketIo, ClosedPeerReadsAsEndOfStreamAfterItsLastBytes)
{
    SocketPair pair;
    ASSERT_EQ(platform::writeAll(pair.a.get(), "tail", 4).status, platform::IoStatus::Ok);
    pair.a.reset();
    QByteArray buffer;
    EXPECT_EQ(platform::readAvailable(pair.b.get(), buffer).status, platform::IoStatus::Ok);
    EXPECT_EQ(buffer, QByteArray("tail"));
    EXPECT_EQ(platform::readAvailable(pair.b.get(), buffer).status, platform::IoStatus::Closed);
    EXPECT_EQ(platform::readAvailable(pair.b.get(), buffer, 0ms).status, platform::IoStatus::Closed);
}

TEST(SocketIo, WriteToAClosedPeerFailsWithoutSignal)
{
    SocketPair pair;
    pair.b.reset();
    const platform::IoResult result = platform::writeAll(pair.a.get(), "lost", 4);
    EXPECT_EQ(result.status, platform::IoStatus::Closed);
    EXPECT_EQ(result.bytes, 0u);
}

TEST(SocketIo, WriteTimesOutWhenThePeerNeverReads)
{
    SocketPair pair;
    const QByteArray block(8 * 1024 * 1024, 'z');
    const auto start = std::chrono::steady_clock::now();
    const platform::IoResult result = platform::writeAll(pair.a.get(), block.constData(), block.size(), 200ms);
    const auto waited = std::chrono::steady_clock::now() - start;
    EXPECT_EQ(result.status, platform::IoStatus::TimedOut);
    EXPECT_GT(result.bytes, 0u);
    EXPECT_LT(result.bytes, static_cast<std::size_t>(block.size()));
    EXPECT_GE(waited, 200ms);
    EXPECT_LT(waited, 5000ms);
}

TEST(SocketIo, LargeWriteCompletesWhileThePeerReads)
{
    SocketPair pair;
    const QByteArray block(4 * 1024 * 1024, 'q');
    auto reader = std::async(std::launch::async, [&] {
        QByteArray got;
        while (got.size() < block.size())
            if (platform::readAvailable(pair.b.get(), got, 10000ms).status != platform::IoStatus::Ok)
                break;
        return got;
    });
    EXPECT_EQ(platform::writeAll(pair.a.get(), block.constData(), block.size(), 10000ms).status, platform::IoStatus::Ok);
    EXPECT_EQ(reader.get(), block);
}

TEST(SocketIo, WakeUpEndsABlockedReadAndEveryLaterOne)
{
    SocketPair pair;
    auto reader = std::async(std::launch::async, [&] {
        QByteArray buffer;
        return platform::readAvailable(pair.b.get(), buffer).status; // no time limit
    });
    EXPECT_EQ(reader.wait_for(50ms), std::future_status::timeout);
    platform::wakeBlockedIo(pair.b.get());
    ASSERT_EQ(reader.wait_for(5000ms), std::future_status::ready);
    EXPECT_EQ(reader.get(), platform::IoStatus::Closed);
    QByteArray buffer;
    EXPECT_EQ(platform::readAvailable(pair.b.get(), buffer).status, platform::IoStatus::Closed);
    EXPECT_NE(platform::writeAll(pair.b.get(), "x", 1).status, platform::IoStatus::Ok);
}

} // namespace
