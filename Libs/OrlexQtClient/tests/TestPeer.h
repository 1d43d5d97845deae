// An in-process stand-in for the viewer server on two socket pairs: it decodes what the client
// writes, can answer it, and writes messages or raw bytes to the client.
#pragma once

#include "MemoryReader.h" // hexBytes, from the codec tests
#include "OrlexProtocol/Message.h"
#include "OrlexProtocol/codec/StructCodec.h"
#include "OrlexQtClient/IMessageReceiver.h"
#include "OrlexQtClient/MessageClient.h"
#include "OrlexQtClient/Pipes.h"

#include "platform/socket_io.h"
#include "platform/unique_fd.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include <sys/socket.h>

namespace clienttest {

namespace QC = Dremm::Orlex::QtClient;
namespace O = Tavrin::Dremm::Orlex;
using namespace std::chrono_literals;

using Bytes = std::vector<std::uint8_t>;

using codectest::hexBytes; // "01 0A ff" -> bytes

// The bytes of a header naming 'type'.
inline Bytes headerBytes(const std::string& type)
{
    Bytes out(type.size() + 3);
    out[0] = 0x09;
    out[1] = static_cast<std::uint8_t>(type.size());
    std::copy(type.begin(), type.end(), out.begin() + 2);
    out.back() = 0x00;
    return out;
}

inline Bytes concat(Bytes a, const Bytes& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

template <typename T>
Bytes encode(const T& payload, const std::string& name = QC::schemaTypeName<T>())
{
    bond::OutputBuffer buffer;
    QC::CompactBinaryWriter writer(buffer, 1);
    QC::serializeMessage(writer, name, Dremm::Orlex::Schema::structDef<T>(), &payload);
    return Bytes(buffer.data(), buffer.data() + buffer.size());
}

// One message the client wrote, as bytes and decoded.
struct ReceivedMessage
{
    std::string type;
    Bytes bytes; // header and body
    std::shared_ptr<void> payload; // decoded when the schema knows the type

    template <typename T>
    const T& as() const
    {
        if (type != QC::schemaTypeName<T>() || !payload)
            throw std::logic_error("message " + type + " is not " + QC::schemaTypeName<T>());
        return *static_cast<const T*>(payload.get());
    }
};

// Keeps every message delivered to it; waits for them by event.
class CollectingReceiver : public QC::IMessageReceiver
{
public:
    void messageReceived(std::shared_ptr<const QC::IMessage> message) override
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_messages.push_back(std::move(message));
        m_changed.notify_all();
    }

    bool waitForCount(std::size_t count, std::chrono::milliseconds timeout = 5s)
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        return m_changed.wait_for(lock, timeout, [&] { return m_messages.size() >= count; });
    }

    std::vector<std::shared_ptr<const QC::IMessage>> messages()
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_messages;
    }

    std::vector<std::string> errorTexts()
    {
        std::vector<std::string> texts;
        for (const auto& message : messages()) {
            if (const auto* error = dynamic_cast<const O::ErrorMessage*>(message.get()))
                texts.push_back(error->Message);
        }
        return texts;
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::vector<std::shared_ptr<const QC::IMessage>> m_messages;
};

class TestPeer
{
public:
    // Called on the peer's thread for each message the client wrote.
    using Answer = std::function<void(const ReceivedMessage&, TestPeer&)>;

    TestPeer()
    {
        int request[2];
        int events[2];
        if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, request) != 0
            || ::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, events) != 0)
            throw std::runtime_error("socketpair failed");
        m_clientRequest = platform::UniqueFd(request[0]);
        m_peerRequest = platform::UniqueFd(request[1]);
        m_clientEvents = platform::UniqueFd(events[0]);
        m_peerEvents = platform::UniqueFd(events[1]);
    }

    ~TestPeer()
    {
        platform::wakeBlockedIo(m_peerRequest.get());
        if (m_thread.joinable())
            m_thread.join();
    }

    // The client's two ends; call once.
    std::shared_ptr<QC::PipeWriter> clientWriter(std::chrono::milliseconds limit = platform::kDefaultWriteLimit)
    {
        return std::make_shared<QC::PipeWriter>(std::move(m_clientRequest), "peer", limit);
    }
    std::shared_ptr<QC::PipeReader> clientReader()
    {
        return std::make_shared<QC::PipeReader>(std::move(m_clientEvents), "peerOut");
    }
    // A connection over both ends, with the version message already read by the peer.
    std::shared_ptr<QC::MessageClient> connect()
    {
        auto client = std::make_shared<QC::MessageClient>(clientWriter(), clientReader());
        startReading();
        return client;
    }

    // Answers TerminateMessage with TerminatedMessage unless switched off.
    void setAnswerTerminate(bool answer) { m_bAnswerTerminate = answer; }
    void setAnswer(Answer answer)
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_answer = std::move(answer);
    }

    // Decodes what the client writes on a thread of its own.
    void startReading() { m_thread = std::thread(&TestPeer::run, this); }

    // Reads exactly count raw bytes the client wrote (instead of startReading).
    Bytes readRaw(std::size_t count)
    {
        if (!m_rawReader)
            m_rawReader = std::make_unique<QC::PipeReader>(std::move(m_peerRequest), "raw");
        Bytes bytes(count);
        m_rawReader->read(bytes.data(), count);
        return bytes;
    }

    std::optional<ReceivedMessage> waitFor(const std::string& type, std::size_t nth = 0,
                                           std::chrono::milliseconds timeout = 5s)
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        std::optional<ReceivedMessage> found;
        m_changed.wait_for(lock, timeout, [&] {
            std::size_t seen = 0;
            for (const ReceivedMessage& message : m_received) {
                if (message.type == type && seen++ == nth) {
                    found = message;
                    return true;
                }
            }
            return false;
        });
        return found;
    }

    template <typename T>
    std::optional<ReceivedMessage> waitFor(std::size_t nth = 0, std::chrono::milliseconds timeout = 5s)
    {
        return waitFor(QC::schemaTypeName<T>(), nth, timeout);
    }

    bool waitForCount(std::size_t count, std::chrono::milliseconds timeout = 5s)
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        return m_changed.wait_for(lock, timeout, [&] { return m_received.size() >= count; });
    }

    // Waits until the client has closed its request end.
    bool waitForClose(std::chrono::milliseconds timeout = 5s)
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        return m_changed.wait_for(lock, timeout, [&] { return m_bClosed; });
    }

    std::vector<ReceivedMessage> received()
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_received;
    }

    std::vector<std::string> receivedTypes()
    {
        std::vector<std::string> types;
        for (const ReceivedMessage& message : received())
            types.push_back(message.type);
        return types;
    }

    template <typename T>
    void send(const T& payload, const std::string& name = QC::schemaTypeName<T>())
    {
        sendRaw(encode(payload, name));
    }

    void sendRaw(const Bytes& bytes)
    {
        std::lock_guard<std::mutex> lock(m_sendMutex);
        if (platform::writeAll(m_peerEvents.get(), bytes.data(), bytes.size()).status != platform::IoStatus::Ok)
            throw std::runtime_error("peer write failed");
    }

    // Ends the stream to the client / stops reading from it.
    void closeEvents() { m_peerEvents.reset(); }
    void closeRequests()
    {
        platform::wakeBlockedIo(m_peerRequest.get());
        if (m_thread.joinable())
            m_thread.join();
        m_peerRequest.reset();
    }

private:
    // Keeps a copy of every byte it passes on.
    class RecordingReader : public QC::IReader
    {
    public:
        explicit RecordingReader(std::shared_ptr<QC::IReader> inner) : m_inner(std::move(inner)) {}
        void read(void* buffer, std::size_t count) override
        {
            m_inner->read(buffer, count);
            const auto* bytes = static_cast<const std::uint8_t*>(buffer);
            recorded.insert(recorded.end(), bytes, bytes + count);
        }
        bool isValid() const override { return m_inner->isValid(); }
        bool atEnd() const override { return false; }
        Bytes recorded;

    private:
        std::shared_ptr<QC::IReader> m_inner;
    };

    void run()
    {
        auto recording = std::make_shared<RecordingReader>(
            std::make_shared<QC::PipeReader>(platform::UniqueFd(::dup(m_peerRequest.get())), "peer"));
        Dremm::Orlex::Codec::Reader reader(QC::ReaderInputBuffer(recording), 1);
        try {
            for (;;) {
                recording->recorded.clear();
                O::MessageHeader header;
                Dremm::Orlex::Codec::deserialize(reader, header);
                ReceivedMessage message;
                message.type = header.Type;
                if (const auto* def = Dremm::Orlex::Schema::findStruct(header.Type)) {
                    message.payload = std::shared_ptr<void>(def->create(), def->destroy);
                    Dremm::Orlex::Codec::readStruct(reader, *def, message.payload.get());
                } else {
                    reader.skipStructRest();
                }
                message.bytes = recording->recorded;
                Answer answer;
                {
                    std::lock_guard<std::mutex> lock(m_mutex);
                    m_received.push_back(message);
                    answer = m_answer;
                    m_changed.notify_all();
                }
                if (message.type == QC::schemaTypeName<O::TerminateMessage>() && m_bAnswerTerminate)
                    send(O::TerminatedMessage{});
                if (answer)
                    answer(message, *this);
            }
        } catch (const std::exception&) {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_bClosed = true;
            m_changed.notify_all();
        }
    }

    platform::UniqueFd m_clientRequest, m_peerRequest, m_clientEvents, m_peerEvents;
    std::unique_ptr<QC::PipeReader> m_rawReader;
    std::atomic<bool> m_bAnswerTerminate{true};
    std::mutex m_mutex;
    std::mutex m_sendMutex;
    std::condition_variable m_changed;
    std::vector<ReceivedMessage> m_received;
    Answer m_answer;
    bool m_bClosed = false;
    std::thread m_thread;
};

} // namespace clienttest
