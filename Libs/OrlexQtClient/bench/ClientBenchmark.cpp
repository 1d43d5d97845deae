// Messages per second through a socket pair, in both directions, for small messages and for a
// buffer of 100,000 points; for incoming messages also the read calls per message, batched and one
// message per write. Then the time from a send to the peer's read of its last byte, at 100
// messages/s and at full speed, the memory held after a burst, and the stand-in server's memory
// under a flood (needs Tavrin.Dremm.Orlex.exe in $CORV_BIN_DIR, else that one is skipped).
#include "OrlexProtocol/codec/CompactBinaryWriter.h"
#include "OrlexQtClient/MessageReader.h"
#include "OrlexQtClient/MessageWriterThread.h"
#include "OrlexQtClient/Pipes.h"

#include "platform/socket_io.h"

#include <benchmark/benchmark.h>

#include "OrlexQtClient/MessageClient.h"
#include "OrlexQtClient/MessageDispatcher.h"
#include "orlex_standin/control.h"

#include <QCoreApplication>
#include <QFile>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <thread>
#include <vector>

#include <sys/socket.h>

namespace QC = Dremm::Orlex::QtClient;
namespace O = Tavrin::Dremm::Orlex;
namespace Q = Tavrin::Dremm::Orlex::Extensions::Quennet;

namespace {

struct SocketPair
{
    platform::UniqueFd client;
    platform::UniqueFd peer;
    SocketPair()
    {
        int fds[2];
        if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds) != 0)
            throw std::runtime_error("socketpair");
        client.reset(fds[0]);
        peer.reset(fds[1]);
    }
};

template <typename T>
QByteArray encode(const T& payload)
{
    bond::OutputBuffer buffer;
    QC::CompactBinaryWriter writer(buffer, 1);
    QC::serializeMessage(writer, QC::schemaTypeName<T>(), Dremm::Orlex::Schema::structDef<T>(), &payload);
    return QByteArray(reinterpret_cast<const char*>(buffer.data()), static_cast<int>(buffer.size()));
}

O::MouseMovedMessage smallIncoming()
{
    O::MouseMovedMessage message;
    message.ViewerId = 0;
    message.ObjectId.set() = 1234;
    message.Position.set().X = 512345.25;
    message.Position.value().Y = 6543210.5;
    message.Position.value().Z = -42.0;
    return message;
}

O::QueryTerrainElevationsResponseMessage pointsIncoming()
{
    O::QueryTerrainElevationsResponseMessage message;
    message.Results.resize(100000);
    for (std::size_t n = 0; n < message.Results.size(); ++n)
        message.Results[n] = -20.0 - 0.001 * static_cast<double>(n);
    return message;
}

O::PositionUpdateMessage smallOutgoing()
{
    O::PositionUpdateMessage message;
    message.ObjectIds.push_back(40000);
    O::PositionData position;
    position.X = 512345.25;
    position.Y = 6543210.5;
    message.Positions.push_back(position);
    return message;
}

Q::AddToPointBufferMessage pointsOutgoing()
{
    Q::AddToPointBufferMessage message;
    message.Id = 200;
    message.Positions.resize(3 * 100000);
    for (std::size_t n = 0; n < message.Positions.size(); ++n)
        message.Positions[n] = 0.5 * static_cast<double>(n);
    return message;
}

// Counts what the reader delivers and wakes the benchmark when a target is reached.
class Counter : public QC::IMessageReceiver
{
public:
    void messageReceived(std::shared_ptr<const QC::IMessage>) override
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        ++m_count;
        m_changed.notify_all();
    }
    void waitFor(std::uint64_t count)
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        m_changed.wait(lock, [&] { return m_count >= count; });
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::uint64_t m_count = 0;
};

// The server writes batches of one encoded message; the client's reader thread decodes them.
void receive(benchmark::State& state, const QByteArray& message, int perBatch)
{
    SocketPair events;
    auto pipe = std::make_shared<QC::PipeReader>(std::move(events.client), "benchOut");
    Counter counter;
    QC::MessageReader reader(pipe, 1);
    reader.addMessageReceiver(&counter);

    QByteArray batch;
    for (int n = 0; n < perBatch; ++n)
        batch += message;
    std::uint64_t delivered = 0;
    const std::size_t fillsBefore = pipe->fillCount();
    for (auto _ : state) {
        if (platform::writeAll(events.peer.get(), batch.constData(), static_cast<std::size_t>(batch.size())).status
            != platform::IoStatus::Ok) {
            state.SkipWithError("write failed");
            break;
        }
        delivered += static_cast<std::uint64_t>(perBatch);
        counter.waitFor(delivered);
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(delivered));
    state.SetBytesProcessed(static_cast<std::int64_t>(delivered) * message.size());
    state.counters["reads/msg"] = delivered ? double(pipe->fillCount() - fillsBefore) / double(delivered) : 0.0;
    state.counters["bytes/msg"] = message.size();
}

// Senders queue batches; the writer thread serialises and writes each message with one call; the
// server drains. An iteration ends when the server has every byte of its batch.
template <typename T>
void send(benchmark::State& state, const T& payload, int perBatch)
{
    SocketPair requests;
    std::mutex mutex;
    std::condition_variable changed;
    std::uint64_t drained = 0;
    std::thread drain([&] {
        QByteArray buffer;
        for (;;) {
            buffer.resize(0);
            if (platform::readAvailable(requests.peer.get(), buffer, std::chrono::milliseconds(-1), 1 << 20).status
                != platform::IoStatus::Ok)
                return;
            std::lock_guard<std::mutex> lock(mutex);
            drained += static_cast<std::uint64_t>(buffer.size());
            changed.notify_all();
        }
    });
    const auto messageSize = static_cast<std::uint64_t>(encode(payload).size());
    auto writer = std::make_shared<QC::MessageWriter>(
        std::make_shared<QC::PipeWriter>(std::move(requests.client), "bench"), 1);
    std::uint64_t sent = 0;
    {
        QC::MessageWriterThread thread(writer);
        const std::string name = QC::schemaTypeName<T>();
        for (auto _ : state) {
            for (int n = 0; n < perBatch; ++n)
                thread.post(std::make_unique<QC::OutputMessage<T>>(name, payload));
            sent += static_cast<std::uint64_t>(perBatch);
            std::unique_lock<std::mutex> lock(mutex);
            changed.wait(lock, [&] { return drained >= sent * messageSize; });
        }
    }
    platform::wakeBlockedIo(requests.peer.get());
    drain.join();
    if (writer->hasFailed())
        state.SkipWithError("write failed");
    state.SetItemsProcessed(static_cast<std::int64_t>(sent));
    state.SetBytesProcessed(static_cast<std::int64_t>(sent * messageSize));
    state.counters["bytes/msg"] = static_cast<double>(messageSize);
}

void BM_ReceiveSmall(benchmark::State& state)
{
    receive(state, encode(smallIncoming()), 1000);
}

// One message per write, as events arrive from the server.
void BM_ReceiveSmallOnePerWrite(benchmark::State& state)
{
    receive(state, encode(smallIncoming()), 1);
}

O::PositionUpdateMessage fiveObjects()
{
    O::PositionUpdateMessage message;
    for (int n = 0; n < 5; ++n) {
        message.ObjectIds.push_back(40000 + static_cast<std::uint64_t>(n));
        O::PositionData position;
        position.X = 512345.25 + n;
        position.Y = 6543210.5 - n;
        position.Z = -3.5;
        message.Positions.push_back(position);
    }
    return message;
}

std::size_t residentBytes(qint64 pid = 0)
{
    QFile status(pid ? QStringLiteral("/proc/%1/status").arg(pid) : QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return static_cast<std::size_t>(line.mid(6).trimmed().split(' ').front().toULongLong()) * 1024;
    return 0;
}

// The peer side of a request socket: notes when the last byte of each message (all of one size)
// has been read.
class TimedDrain
{
public:
    using Clock = std::chrono::steady_clock;
    TimedDrain(platform::UniqueFd fd, std::size_t messageSize, std::size_t expected)
        : m_fd(std::move(fd)), m_size(messageSize), m_arrived(expected)
    {
        m_thread = std::thread([this] {
            QByteArray buffer;
            std::uint64_t bytes = 0;
            for (;;) {
                buffer.resize(0);
                if (platform::readAvailable(m_fd.get(), buffer, std::chrono::milliseconds(-1), 1 << 20).status
                    != platform::IoStatus::Ok)
                    return;
                const auto now = Clock::now();
                bytes += static_cast<std::uint64_t>(buffer.size());
                const std::size_t complete = std::min<std::size_t>(bytes / m_size, m_arrived.size());
                for (std::size_t n = m_done; n < complete; ++n)
                    m_arrived[n] = now;
                m_done = complete;
                m_count.store(complete);
            }
        });
    }
    ~TimedDrain()
    {
        platform::wakeBlockedIo(m_fd.get());
        m_thread.join();
    }
    bool waitFor(std::size_t count, std::chrono::seconds limit = std::chrono::seconds(30))
    {
        const auto end = Clock::now() + limit;
        while (m_count.load() < count) {
            if (Clock::now() > end)
                return false;
            std::this_thread::sleep_for(std::chrono::microseconds(50));
        }
        return true;
    }
    const std::vector<Clock::time_point>& arrived() const { return m_arrived; }

private:
    platform::UniqueFd m_fd;
    std::size_t m_size;
    std::vector<Clock::time_point> m_arrived;
    std::size_t m_done = 0;
    std::atomic<std::size_t> m_count{0};
    std::thread m_thread;
};

// Counts the calls that reach the socket: writes per message show whether messages were batched.
class CountingWriter : public QC::IWriter
{
public:
    explicit CountingWriter(platform::UniqueFd fd) : m_pipe(std::move(fd), "bench") {}
    bool write(const void* pBytes, std::size_t nCount) override
    {
        m_writes.fetch_add(1, std::memory_order_relaxed);
        return m_pipe.write(pBytes, nCount);
    }
    std::size_t writeNow(const void* pBytes, std::size_t nCount) override
    {
        m_writes.fetch_add(1, std::memory_order_relaxed);
        return m_pipe.writeNow(pBytes, nCount);
    }
    bool isValid() const override { return m_pipe.isValid(); }
    std::size_t writes() const { return m_writes.load(); }

private:
    QC::PipeWriter m_pipe;
    std::atomic<std::size_t> m_writes{0};
};

double percentile(std::vector<double> values, double p)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    return values[std::min(values.size() - 1, static_cast<std::size_t>(p * static_cast<double>(values.size())))];
}

// 100 messages/s of a 5-object position update: send -> the peer has read the last byte.
void BM_LatencyAt100PerSecond(benchmark::State& state)
{
    constexpr std::size_t kMessages = 300;
    const O::PositionUpdateMessage payload = fiveObjects();
    const std::size_t size = static_cast<std::size_t>(encode(payload).size());
    for (auto _ : state) {
        SocketPair requests;
        TimedDrain drain(std::move(requests.peer), size, kMessages);
        auto pipe = std::make_shared<CountingWriter>(std::move(requests.client));
        auto writer = std::make_shared<QC::MessageWriter>(pipe, 1);
        std::vector<TimedDrain::Clock::time_point> sent(kMessages);
        {
            QC::MessageWriterThread thread(writer);
            auto next = TimedDrain::Clock::now();
            for (std::size_t n = 0; n < kMessages; ++n) {
                std::this_thread::sleep_until(next);
                sent[n] = TimedDrain::Clock::now();
                thread.post(std::make_unique<QC::OutputMessage<O::PositionUpdateMessage>>(
                    QC::schemaTypeName<O::PositionUpdateMessage>(), payload));
                next += std::chrono::milliseconds(10);
            }
            drain.waitFor(kMessages);
        }
        std::vector<double> us;
        for (std::size_t n = 0; n < kMessages; ++n)
            us.push_back(std::chrono::duration<double, std::micro>(drain.arrived()[n] - sent[n]).count());
        state.counters["p50_us"] = percentile(us, 0.5);
        state.counters["p99_us"] = percentile(us, 0.99);
        state.counters["max_us"] = percentile(us, 1.0);
        state.counters["writes_per_msg"] = static_cast<double>(pipe->writes()) / static_cast<double>(kMessages);
    }
}

// A burst of 1,000,000 small messages from one thread at full speed: messages per second, the
// longest wait of a message against the time the bounded queue takes to drain, and the memory
// held after the burst against before it.
void BM_FullSpeedBurst(benchmark::State& state)
{
    constexpr std::size_t kMessages = 1000000;
    const O::PositionUpdateMessage payload = smallOutgoing();
    const std::size_t size = static_cast<std::size_t>(encode(payload).size());
    for (auto _ : state) {
        SocketPair requests;
        TimedDrain drain(std::move(requests.peer), size, kMessages);
        auto writer = std::make_shared<QC::MessageWriter>(std::make_shared<QC::PipeWriter>(std::move(requests.client), "bench"), 1);
        std::vector<TimedDrain::Clock::time_point> sent(kMessages);
        const std::size_t before = residentBytes();
        double seconds = 0;
        {
            QC::MessageWriterThread thread(writer);
            const auto start = TimedDrain::Clock::now();
            const std::string name = QC::schemaTypeName<O::PositionUpdateMessage>();
            for (std::size_t n = 0; n < kMessages; ++n) {
                sent[n] = TimedDrain::Clock::now();
                thread.post(std::make_unique<QC::OutputMessage<O::PositionUpdateMessage>>(name, payload));
            }
            drain.waitFor(kMessages);
            seconds = std::chrono::duration<double>(drain.arrived().back() - start).count();
        }
        const std::size_t after = residentBytes();
        double longest = 0;
        for (std::size_t n = 0; n < kMessages; ++n)
            longest = std::max(longest, std::chrono::duration<double, std::milli>(drain.arrived()[n] - sent[n]).count());
        const double bytesPerSecond = static_cast<double>(kMessages * size) / seconds;
        state.counters["msgs_per_s"] = static_cast<double>(kMessages) / seconds;
        state.counters["max_wait_ms"] = longest;
        state.counters["queue_drain_ms"] = 1000.0 * static_cast<double>(QC::MessageWriterThread::kQueueBytes) / bytesPerSecond;
        state.counters["rss_growth_MB"] = (static_cast<double>(after) - static_cast<double>(before)) / 1e6;
    }
}

// A burst of 1,000,000 five-object position updates from one thread at full speed through the
// writer thread, and the peer in the same run: a bare loop writing the same encoded message to the
// same kind of socket, one write a message. Both end when the peer has read the last byte.
void BM_BurstFiveObjects(benchmark::State& state)
{
    constexpr std::size_t kMessages = 1000000;
    const O::PositionUpdateMessage payload = fiveObjects();
    const QByteArray encoded = encode(payload);
    const std::size_t size = static_cast<std::size_t>(encoded.size());
    for (auto _ : state) {
        double bareSeconds = 0;
        {
            SocketPair requests;
            TimedDrain drain(std::move(requests.peer), size, kMessages);
            const auto start = TimedDrain::Clock::now();
            for (std::size_t n = 0; n < kMessages; ++n) {
                if (platform::writeAll(requests.client.get(), encoded.constData(), size).status != platform::IoStatus::Ok) {
                    state.SkipWithError("bare write failed");
                    return;
                }
            }
            drain.waitFor(kMessages);
            bareSeconds = std::chrono::duration<double>(drain.arrived().back() - start).count();
        }
        double seconds = 0;
        std::size_t writes = 0;
        {
            SocketPair requests;
            TimedDrain drain(std::move(requests.peer), size, kMessages);
            auto pipe = std::make_shared<CountingWriter>(std::move(requests.client));
            auto writer = std::make_shared<QC::MessageWriter>(pipe, 1);
            {
                QC::MessageWriterThread thread(writer);
                const auto start = TimedDrain::Clock::now();
                const std::string name = QC::schemaTypeName<O::PositionUpdateMessage>();
                for (std::size_t n = 0; n < kMessages; ++n)
                    thread.post(std::make_unique<QC::OutputMessage<O::PositionUpdateMessage>>(name, payload));
                drain.waitFor(kMessages);
                seconds = std::chrono::duration<double>(drain.arrived().back() - start).count();
            }
            if (writer->hasFailed()) {
                state.SkipWithError("write failed");
                return;
            }
            writes = pipe->writes();
        }
        state.counters["msgs_per_s"] = static_cast<double>(kMessages) / seconds;
        state.counters["bare_msgs_per_s"] = static_cast<double>(kMessages) / bareSeconds;
        state.counters["ratio_to_bare"] = bareSeconds / seconds;
        state.counters["writes_per_msg"] = static_cast<double>(writes) / static_cast<double>(kMessages);
        state.counters["bytes_per_msg"] = static_cast<double>(size);
    }
}

// The stand-in server's resident memory, sampled while a client floods it.
void BM_StandinServerMemory(benchmark::State& state)
{
    for (auto _ : state) {
        orlex_standin::StandinProcess::Options options;
        options.pipeName = QStringLiteral("benchFlood");
        orlex_standin::StandinProcess server(options);
        if (!server.start()) {
            state.SkipWithError("stand-in server did not start (set CORV_BIN_DIR)");
            return;
        }
        std::atomic<bool> done{false};
        std::size_t peak = 0;
        std::thread sampler([&] {
            while (!done) {
                peak = std::max(peak, residentBytes(server.pid()));
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
            }
        });
        {
            QC::MessageClient client("benchFlood");
            client.dispatcher()->enableWriterThread();
            const O::PositionUpdateMessage payload = fiveObjects();
            for (int n = 0; n < 1000000; ++n)
                client.dispatcher()->sendMessage(payload);
            Q::AddToPointBufferMessage points = pointsOutgoing();
            for (int n = 0; n < 20; ++n)
                client.dispatcher()->sendMessage(points);
        } // the close handshake ends after the server has read everything
        done = true;
        sampler.join();
        state.counters["server_peak_MB"] = static_cast<double>(peak) / 1e6;
    }
}

void BM_ReceivePointBuffer(benchmark::State& state)
{
    receive(state, encode(pointsIncoming()), 1);
}

void BM_SendSmall(benchmark::State& state)
{
    send(state, smallOutgoing(), 1000);
}

void BM_SendPointBuffer(benchmark::State& state)
{
    send(state, pointsOutgoing(), 1);
}

} // namespace

BENCHMARK(BM_ReceiveSmall)->UseRealTime();
BENCHMARK(BM_ReceiveSmallOnePerWrite)->UseRealTime();
BENCHMARK(BM_ReceivePointBuffer)->UseRealTime();
BENCHMARK(BM_SendSmall)->UseRealTime();
BENCHMARK(BM_SendPointBuffer)->UseRealTime();
BENCHMARK(BM_LatencyAt100PerSecond)->Iterations(1)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FullSpeedBurst)->Iterations(1)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BurstFiveObjects)->Iterations(1)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_StandinServerMemory)->Iterations(1)->UseRealTime()->Unit(benchmark::kMillisecond);

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
