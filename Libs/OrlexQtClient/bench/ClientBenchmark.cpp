// Messages per second through a socket pair, in both directions, for small messages and for a
// buffer of 100,000 points; for incoming messages also the read calls per message.
#include "OrlexProtocol/codec/CompactBinaryWriter.h"
#include "OrlexQtClient/MessageReader.h"
#include "OrlexQtClient/MessageWriterThread.h"
#include "OrlexQtClient/Pipes.h"

#include "platform/socket_io.h"

#include <benchmark/benchmark.h>

#include <condition_variable>
#include <mutex>
#include <thread>

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
BENCHMARK(BM_ReceivePointBuffer)->UseRealTime();
BENCHMARK(BM_SendSmall)->UseRealTime();
BENCHMARK(BM_SendPointBuffer)->UseRealTime();

BENCHMARK_MAIN();
