// The connection against an in-process peer on socket pairs: the reader and writer threads, the
// dispatcher and its handshakes, awaited replies and the extension loader.
#include "TestPeer.h"

#include "OrlexProtocol/codec/CompactBinaryWriter.h"
#include "OrlexQtClient/Exception.h"
#include "OrlexQtClient/MessageClient.h"
#include "OrlexQtClient/MessageWaitFor.h"
#include "OrlexQtClient/MessageWriterThread.h"

#include "platform/pipes.h"
#include "test_wait.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <mutex>
#include <thread>

using namespace clienttest;
namespace Q = Tavrin::Dremm::Orlex::Extensions::Quennet;

namespace {

using Clock = std::chrono::steady_clock;

long long msSince(Clock::time_point start)
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

template <typename T>
std::shared_ptr<const QC::IMessage> incoming(const T& payload)
{
    return std::make_shared<QC::Message<T>>(payload);
}

// A reader with its receivers on the client ends of a peer.
struct ReaderFixture
{
    TestPeer peer;
    std::shared_ptr<QC::PipeReader> pipe = peer.clientReader();
    CollectingReceiver messages;
    CollectingReceiver errors;
    std::unique_ptr<QC::MessageReader> reader;

    ReaderFixture()
    {
        reader = std::make_unique<QC::MessageReader>(pipe, 1);
        reader->addMessageReceiver(&messages);
        reader->addErrorReceiver(&errors);
    }
};

} // namespace

TEST(MessageDispatcher, VersionMessageIsTheFirstMessageOnTheRequestPipe)
{
    TestPeer peer;
    auto client = peer.connect();
    auto version = peer.waitFor<O::OrlexVersionMessage>();
    ASSERT_TRUE(version);
    EXPECT_EQ(peer.received().front().type, "Tavrin.Dremm.Orlex.OrlexVersionMessage");
    EXPECT_EQ(version->bytes, concat(headerBytes("Tavrin.Dremm.Orlex.OrlexVersionMessage"), hexBytes("01 00")));
}

TEST(MessageDispatcher, QueuedMessagesKeepEachThreadsOrderAndArriveWhole)
{
    TestPeer peer;
    auto client = peer.connect();
    client->dispatcher()->enableWriterThread();

    constexpr int kThreads = 4;
    constexpr int kPerThread = 250;
    std::vector<std::thread> senders;
    for (int t = 0; t < kThreads; ++t) {
        senders.emplace_back([&, t] {
            for (int n = 0; n < kPerThread; ++n) {
                O::DestroyObjectMessage message;
                message.Id = static_cast<std::uint64_t>(t * 100000 + n);
                client->dispatcher()->sendMessage(message);
            }
        });
    }
    for (std::thread& sender : senders)
        sender.join();

    ASSERT_TRUE(peer.waitForCount(1 + kThreads * kPerThread));
    std::vector<int> next(kThreads, 0);
    for (const ReceivedMessage& message : peer.received()) {
        if (message.type != QC::schemaTypeName<O::DestroyObjectMessage>())
            continue;
        const auto id = static_cast<int>(message.as<O::DestroyObjectMessage>().Id);
        const int thread = id / 100000;
        ASSERT_LT(thread, kThreads);
        EXPECT_EQ(id % 100000, next[thread]++) << "thread " << thread;
    }
    for (int t = 0; t < kThreads; ++t)
        EXPECT_EQ(next[t], kPerThread);
}

TEST(MessageDispatcher, PayloadIsCopiedAtTheSend)
{
    TestPeer peer;
    auto client = peer.connect();
    client->dispatcher()->enableWriterThread();
    {
        O::UpdateConfigurationMessage message;
        message.Configuration["NotifyMouseMove"] = "true";
        client->dispatcher()->sendMessage(message);
        message.Configuration["NotifyMouseMove"] = "false";
    }
    auto written = peer.waitFor<O::UpdateConfigurationMessage>();
    ASSERT_TRUE(written);
    EXPECT_EQ(written->as<O::UpdateConfigurationMessage>().Configuration.at("NotifyMouseMove"), "true");
}

TEST(MessageDispatcher, CloseHandshakeWritesTheQueueFirstAndEndsAtTheServersAnswer)
{
    TestPeer peer;
    auto client = peer.connect();
    client->dispatcher()->enableWriterThread();
    for (std::uint64_t id : {1, 2, 3}) {
        O::DestroyObjectMessage message;
        message.Id = id;
        client->dispatcher()->sendMessage(message);
    }
    const auto start = Clock::now();
    client.reset();
    EXPECT_LT(msSince(start), 500);

    const std::vector<std::string> expected{
        "Tavrin.Dremm.Orlex.OrlexVersionMessage", "Tavrin.Dremm.Orlex.DestroyObjectMessage",
        "Tavrin.Dremm.Orlex.DestroyObjectMessage", "Tavrin.Dremm.Orlex.DestroyObjectMessage",
        "Tavrin.Dremm.Orlex.TerminateMessage", "Tavrin.Dremm.Orlex.TerminatedMessage"};
    ASSERT_TRUE(peer.waitForClose());
    EXPECT_EQ(peer.receivedTypes(), expected);
}

TEST(MessageDispatcher, CloseHandshakeGivesUpAfterTwoSecondsWithoutAnswer)
{
    TestPeer peer;
    peer.setAnswerTerminate(false);
    auto client = peer.connect();
    const auto start = Clock::now();
    client.reset();
    const long long elapsed = msSince(start);
    EXPECT_GE(elapsed, 1950);
    EXPECT_LT(elapsed, 3000);
    ASSERT_TRUE(peer.waitForClose());
    EXPECT_EQ(peer.receivedTypes().back(), "Tavrin.Dremm.Orlex.TerminatedMessage");
}

TEST(MessageWriter, BrokenPipeIsReportedOnceAndLaterMessagesAreDropped)
{
    TestPeer peer;
    auto writer = std::make_shared<QC::MessageWriter>(peer.clientWriter(), 1);
    CollectingReceiver errors;
    writer->addErrorReceiver(&errors);
    peer.closeRequests();
    {
        QC::MessageWriterThread thread(writer);
        for (std::uint64_t id = 0; id < 5; ++id) {
            O::DestroyObjectMessage message;
            message.Id = id;
            thread.post(std::make_unique<QC::OutputMessage<O::DestroyObjectMessage>>(
                QC::schemaTypeName<O::DestroyObjectMessage>(), message));
        }
    } // joined: all five were tried
    const std::uint8_t byte = 0;
    writer->writeBytes(&byte, 1); // the direct path drops too

    ASSERT_EQ(errors.messages().size(), 1u);
    const auto* error = dynamic_cast<const O::ErrorMessage*>(errors.messages().front().get());
    ASSERT_NE(error, nullptr);
    EXPECT_EQ(error->Message, "Fatal: Failed to write message to server - timeout.");
    EXPECT_EQ(error->Code, 999);
    EXPECT_FALSE(error->Fatal);
    EXPECT_EQ(errors.messages().front()->typeName(), "Tavrin.Dremm.Orlex.ErrorMessage");
    EXPECT_TRUE(writer->hasFailed());
}

TEST(MessageWriter, WriteThatTimesOutTakesTheFailurePath)
{
    TestPeer peer; // never reads
    QC::MessageWriter writer(peer.clientWriter(std::chrono::milliseconds(200)), 1);
    CollectingReceiver errors;
    writer.addErrorReceiver(&errors);
    const std::vector<std::uint8_t> block(16 * 1024 * 1024, 0x55); // more than the socket holds
    const auto start = Clock::now();
    writer.writeBytes(block.data(), block.size());
    EXPECT_GE(msSince(start), 190);
    EXPECT_EQ(errors.errorTexts(), std::vector<std::string>{"Fatal: Failed to write message to server - timeout."});
}

TEST(MessageWriterThread, QueueStaysBoundedAndASenderWaitsForRoomOnlyUntilTheWriteLimit)
{
    TestPeer peer; // never reads
    auto writer = std::make_shared<QC::MessageWriter>(peer.clientWriter(std::chrono::milliseconds(300)), 1);
    CollectingReceiver errors;
    writer->addErrorReceiver(&errors);
    constexpr std::size_t kBound = 64 * 1024;
    Q::AddToPointBufferMessage points;
    points.Id = 1;
    points.Positions.assign(12500, 1.5); // 100 KB
    const auto start = Clock::now();
    std::size_t largestQueue = 0;
    {
        QC::MessageWriterThread thread(writer, std::chrono::milliseconds(200), kBound);
        for (int n = 0; n < 100; ++n) { // 10 MB: far more than the socket and the queue hold
            thread.post(std::make_unique<QC::OutputMessage<Q::AddToPointBufferMessage>>(
                QC::schemaTypeName<Q::AddToPointBufferMessage>(), points));
            largestQueue = std::max(largestQueue, thread.queuedBytes());
        }
    }
    EXPECT_LT(msSince(start), 3000);
    EXPECT_LE(largestQueue, kBound + 100 * 1024);
    EXPECT_EQ(errors.errorTexts(), std::vector<std::string>{"Fatal: Failed to write message to server - timeout."});
}

TEST(MessageReader, DeliversDecodedMessagesInArrivalOrder)
{
    ReaderFixture f;
    O::ViewerCreatedMessage created;
    created.ViewerId = 3;
    created.StatusCode = 7;
    f.peer.send(O::HandshakeMessage{});
    f.peer.send(created);
    ASSERT_TRUE(f.messages.waitForCount(2));
    const auto messages = f.messages.messages();
    EXPECT_EQ(messages[0]->typeName(), "Tavrin.Dremm.Orlex.HandshakeMessage");
    const auto* received = dynamic_cast<const O::ViewerCreatedMessage*>(messages[1].get());
    ASSERT_NE(received, nullptr);
    EXPECT_EQ(received->ViewerId, 3);
    EXPECT_EQ(received->StatusCode, 7);
    EXPECT_EQ(received, messages[1]->data());
    EXPECT_TRUE(f.errors.messages().empty());
}

// Each case ends the reading with one error report of exactly this text.
struct ReadFailure
{
    const char* name;
    Bytes bytes;
    std::string text;
};

class MessageReaderFailure : public ::testing::TestWithParam<ReadFailure>
{
};

TEST_P(MessageReaderFailure, EndsReadingWithOneErrorReport)
{
    ReaderFixture f;
    f.peer.sendRaw(GetParam().bytes);
    ASSERT_TRUE(f.errors.waitForCount(1));
    f.reader.reset(); // joins the ended thread: no second report
    ASSERT_EQ(f.errors.messages().size(), 1u);
    const auto* error = dynamic_cast<const O::ErrorMessage*>(f.errors.messages().front().get());
    ASSERT_NE(error, nullptr);
    EXPECT_EQ(error->Message, "Fatal: Got exception reading from server: " + GetParam().text);
    EXPECT_EQ(error->Code, 999);
    EXPECT_FALSE(error->Fatal);
    EXPECT_FALSE(error->Viewer.hasvalue());
    EXPECT_FALSE(error->Source.hasvalue());
    EXPECT_TRUE(f.messages.messages().empty());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, MessageReaderFailure,
    ::testing::Values(
        ReadFailure{"TypeWithoutDecoder",
                    concat(headerBytes("Tavrin.Dremm.Orlex.CreateCubeMessage"), hexBytes("01 00")),
                    "Serialization failure. Does not handle message: Tavrin.Dremm.Orlex.CreateCubeMessage"},
        ReadFailure{"LookupIsCaseSensitive",
                    concat(headerBytes("tavrin.dremm.orlex.HandshakeMessage"), hexBytes("01 01 00")),
                    "Serialization failure. Does not handle message: tavrin.dremm.orlex.HandshakeMessage"},
        ReadFailure{"ExtensionMessageBeforeTheLoader",
                    concat(headerBytes("Tavrin.Dremm.Orlex.Extensions.Quennet.SurveyZRangeUpdatedMessage"),
                           hexBytes("01 06 05 00")),
                    "Serialization failure. Does not handle message: "
                    "Tavrin.Dremm.Orlex.Extensions.Quennet.SurveyZRangeUpdatedMessage"},
        ReadFailure{"BasePartClosedByStructStop",
                    concat(headerBytes("Tavrin.Dremm.Orlex.ExtensionLoadedMessage"), hexBytes("00")),
                    "De-serialization failed: unexpected struct stop encountered for "
                    "Tavrin.Dremm.Orlex.ExtensionLoadedMessage"},
        // Refused at the declared size, without waiting for (or allocating) the bytes announced.
        ReadFailure{"TextLongerThanAMessage",
                    concat(headerBytes("Tavrin.Dremm.Orlex.ErrorMessage"), hexBytes("01 09 FF FF FF FF 0F 41")),
                    "De-serialization failed: text of 4294967295 bytes, more than a message may hold"},
        ReadFailure{"ListLongerThanAMessage",
                    concat(headerBytes("Tavrin.Dremm.Orlex.ListObjectsResponseMessage"),
                           hexBytes("01 01 2B 06 FF FF FF FF 0F 01")),
                    "De-serialization failed: 4294967295 list elements, more than a message may hold"}),
    [](const ::testing::TestParamInfo<ReadFailure>& info) { return std::string(info.param.name); });

TEST(MessageReader, ServerClosingItsPipeIsReportedOnce)
{
    ReaderFixture f;
    f.peer.send(O::HandshakeMessage{});
    f.peer.closeEvents();
    ASSERT_TRUE(f.errors.waitForCount(1));
    f.reader.reset();
    EXPECT_EQ(f.messages.messages().size(), 1u);
    ASSERT_EQ(f.errors.errorTexts().size(), 1u);
    EXPECT_EQ(f.errors.errorTexts().front(),
              "Fatal: Got exception reading from server: Pipe peerOut closed by the server");
}

TEST(MessageReader, TerminatedMessageIsDeliveredAndEndsReadingQuietly)
{
    ReaderFixture f;
    f.peer.send(O::TerminatedMessage{});
    f.peer.send(O::HandshakeMessage{});
    ASSERT_TRUE(f.messages.waitForCount(1));
    f.reader.reset();
    ASSERT_EQ(f.messages.messages().size(), 1u);
    EXPECT_EQ(f.messages.messages().front()->typeName(), "Tavrin.Dremm.Orlex.TerminatedMessage");
    EXPECT_TRUE(f.errors.messages().empty());
}

TEST(MessageReader, ReceiverThatThrowsDoesNotEndReadingOrCostOthersTheirMessages)
{
    struct Throwing : QC::IMessageReceiver
    {
        void messageReceived(std::shared_ptr<const QC::IMessage>) override { throw std::runtime_error("receiver"); }
    } throwing;
    CollectingReceiver messages;
    CollectingReceiver errors;
    TestPeer peer;
    QC::MessageReader reader(peer.clientReader(), 1);
    reader.addMessageReceiver(&throwing);
    reader.addMessageReceiver(&messages);
    reader.addErrorReceiver(&errors);
    peer.send(O::HandshakeMessage{});
    peer.send(O::HandshakeMessage{});
    ASSERT_TRUE(messages.waitForCount(2));
    EXPECT_TRUE(errors.messages().empty());
}

TEST(MessageReader, ReceiverListHoldsEachReceiverOnce)
{
    ReaderFixture f;
    CollectingReceiver never;
    f.reader->addMessageReceiver(&f.messages); // already there
    f.reader->removeMessageReceiver(&never);   // never added
    f.peer.send(O::HandshakeMessage{});
    f.peer.send(O::TerminatedMessage{});
    ASSERT_TRUE(f.messages.waitForCount(2));
    f.reader.reset();
    EXPECT_EQ(f.messages.messages().size(), 2u);
}

TEST(MessageReader, MessageIsDeliveredWhenItsLastByteArrives)
{
    ReaderFixture f;
    O::ViewerCreatedMessage created;
    created.ViewerId = 9;
    const Bytes first = encode(O::HandshakeMessage{});
    const Bytes second = encode(created);
    const std::size_t half = second.size() / 2;

    f.peer.sendRaw(concat(first, Bytes(second.begin(), second.begin() + half)));
    ASSERT_TRUE(f.messages.waitForCount(1)); // not held back by the partial second one
    EXPECT_EQ(f.messages.messages().size(), 1u);
    f.peer.sendRaw(Bytes(second.begin() + half, second.end()));
    ASSERT_TRUE(f.messages.waitForCount(2));
    EXPECT_EQ(dynamic_cast<const O::ViewerCreatedMessage*>(f.messages.messages()[1].get())->ViewerId, 9);
}

TEST(MessageReader, ReadsWhatHasArrivedInOneCallNotByteByByte)
{
    ReaderFixture f;
    Bytes batch;
    for (int n = 0; n < 200; ++n) {
        O::ViewerCreatedMessage created;
        created.ViewerId = n;
        batch = concat(batch, encode(created));
    }
    f.peer.sendRaw(batch); // about 9 KB, one write
    ASSERT_TRUE(f.messages.waitForCount(200));
    EXPECT_LE(f.pipe->fillCount(), 10u);
}

TEST(MessageReader, DestructionWakesABlockedReadWithoutAnErrorReport)
{
    ReaderFixture f;
    f.peer.send(O::HandshakeMessage{});
    ASSERT_TRUE(f.messages.waitForCount(1)); // the thread now waits for more
    const auto start = Clock::now();
    f.reader.reset();
    EXPECT_LT(msSince(start), 1000);
    EXPECT_TRUE(f.errors.messages().empty());
}

// Keeps a copy of each list message and the room its list had, not the message itself.
class CopyingReceiver : public QC::IMessageReceiver
{
public:
    void messageReceived(std::shared_ptr<const QC::IMessage> message) override
    {
        const auto* list = dynamic_cast<const O::ListObjectsResponseMessage*>(message.get());
        if (!list)
            return;
        std::lock_guard<std::mutex> lock(m_mutex);
        m_capacities.push_back(list->Objects.capacity());
        m_copies.push_back(*list);
    }
    std::vector<std::size_t> capacities()
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_capacities;
    }
    std::vector<O::ListObjectsResponseMessage> copies()
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_copies;
    }

private:
    std::mutex m_mutex;
    std::vector<std::size_t> m_capacities;
    std::vector<O::ListObjectsResponseMessage> m_copies;
};

TEST(MessageReader, MessageReleasedByEveryReceiverIsReadIntoAgainAndHeldOnesStayIntact)
{
    auto list = [](std::int32_t code, std::size_t count) {
        O::ListObjectsResponseMessage m;
        m.ResponseCode = code;
        for (std::size_t i = 0; i < count; ++i)
            m.Objects.push_back((1ull << 50) + i); // 8 bytes each
        return m;
    };
    const std::vector<O::ListObjectsResponseMessage> sent = {list(1, 40), list(2, 3), list(0, 0), list(4, 20000), list(5, 2)};

    // Only the copying receiver: every message is released once delivered.
    {
        ReaderFixture f;
        CopyingReceiver copying;
        f.reader->removeMessageReceiver(&f.messages);
        f.reader->addMessageReceiver(&copying);
        for (const auto& m : sent)
            f.peer.send(m);
        ASSERT_TRUE(corvtest::waitUntil([&] { return copying.copies().size() == sent.size(); }));
        for (std::size_t i = 0; i < sent.size(); ++i)
            EXPECT_TRUE(copying.copies()[i] == sent[i]) << "message " << i;
        // A list read into a new message has room for its own elements only.
        EXPECT_EQ(copying.capacities(), (std::vector<std::size_t>{40, 40, 40, 20000, 2}))
            << "read into the released message, except after one of 160 KB";
    }
    // A receiver that keeps them: each message has its own object, unchanged by later ones.
    {
        ReaderFixture f;
        for (const auto& m : sent)
            f.peer.send(m);
        ASSERT_TRUE(f.messages.waitForCount(sent.size()));
        const auto messages = f.messages.messages();
        for (std::size_t i = 0; i < sent.size(); ++i) {
            const auto* held = dynamic_cast<const O::ListObjectsResponseMessage*>(messages[i].get());
            ASSERT_NE(held, nullptr);
            EXPECT_TRUE(*held == sent[i]) << "message " << i;
        }
    }
}

TEST(MessageReader, SecondFactoryUnderANameReplacesTheFirst)
{
    struct Counting : QC::MessageReader::IFactory
    {
        std::atomic<int>* created;
        explicit Counting(std::atomic<int>* counter) : created(counter) {}
        std::shared_ptr<QC::IMessage> create(QC::CompactBinaryReader& reader) override
        {
            ++*created;
            return QC::MessageReader::Factory<O::HandshakeMessage>().create(reader);
        }
    };
    std::atomic<int> first{0};
    std::atomic<int> second{0};
    ReaderFixture f;
    const std::string name = QC::schemaTypeName<O::HandshakeMessage>();
    f.reader->registerFactory(name, std::make_unique<Counting>(&first));
    f.reader->registerFactory(name, std::make_unique<Counting>(&second));
    f.peer.send(O::HandshakeMessage{});
    ASSERT_TRUE(f.messages.waitForCount(1));
    EXPECT_EQ(first, 0);
    EXPECT_EQ(second, 1);
}

TEST(MessageWaitFor, KeepsOnlyAwaitedMessagesAndHandsThemOutOldestFirst)
{
    O::TerminatedMessage terminated;
    terminated.Code = 1;
    QC::MessageWaitFor wait(nullptr, std::vector<std::string>{QC::schemaTypeName<O::TerminatedMessage>()});
    wait.messageReceived(incoming(O::HandshakeMessage{}));
    wait.messageReceived(incoming(terminated));
    terminated.Code = 2;
    wait.messageReceived(incoming(terminated));

    const auto start = Clock::now();
    auto first = wait.waitFor(0);
    auto second = wait.waitFor(5000); // stored before the call: no wait
    EXPECT_LT(msSince(start), 100);
    ASSERT_TRUE(first && second);
    EXPECT_EQ(dynamic_cast<const O::TerminatedMessage*>(first.get())->Code, 1);
    EXPECT_EQ(dynamic_cast<const O::TerminatedMessage*>(second.get())->Code, 2);
    EXPECT_EQ(wait.waitFor(0), nullptr);
}

TEST(MessageWaitFor, PredicateFormWaitsForTheMatchingReplyOrTimesOut)
{
    QC::MessageWaitFor wait(nullptr, [](const QC::IMessage* message) {
        const auto* created = dynamic_cast<const O::ViewerCreatedMessage*>(message);
        return created && created->ViewerId == 4;
    });
    O::ViewerCreatedMessage other;
    other.ViewerId = 5;
    wait.messageReceived(incoming(other));

    auto start = Clock::now();
    EXPECT_EQ(wait.waitFor(100), nullptr);
    EXPECT_GE(msSince(start), 95);

    std::thread deliver([&] {
        O::ViewerCreatedMessage mine;
        mine.ViewerId = 4;
        wait.messageReceived(incoming(mine));
    });
    start = Clock::now();
    auto reply = wait.waitFor(5000);
    deliver.join();
    ASSERT_NE(reply, nullptr);
    EXPECT_EQ(dynamic_cast<const O::ViewerCreatedMessage*>(reply.get())->ViewerId, 4);
    EXPECT_LT(msSince(start), 2000);
}

TEST(MessageWaitFor, ReplyThatArrivesBeforeTheWaitIsNotMissed)
{
    TestPeer peer;
    auto client = peer.connect();
    QC::MessageWaitFor wait(client->reader(), std::vector<std::string>{QC::schemaTypeName<O::ViewerCreatedMessage>()});
    peer.send(O::HandshakeMessage{});
    peer.send(O::ViewerCreatedMessage{});
    ASSERT_NE(wait.waitFor(5000), nullptr);
}

TEST(QuennetExtension, RequestGoesOutAndTheExtensionMessagesAreDecoded)
{
    CollectingReceiver messages; // outlive the connection that delivers to them
    CollectingReceiver errors;
    TestPeer peer;
    auto client = peer.connect();
    client->reader()->addMessageReceiver(&messages);
    client->reader()->addErrorReceiver(&errors);
    QC::loadQuennetExtension(*client);

    auto request = peer.waitFor<O::LoadExtensionMessage>();
    ASSERT_TRUE(request);
    EXPECT_EQ(request->bytes, concat(headerBytes("Tavrin.Dremm.Orlex.LoadExtensionMessage"),
                                     concat(hexBytes("01 09 07"), concat(Bytes{'Q', 'u', 'e', 'n', 'n', 'e', 't'},
                                                                          hexBytes("00")))));

    peer.sendRaw(concat(headerBytes("Tavrin.Dremm.Orlex.Extensions.Quennet.SurveyZRangeUpdatedMessage"),
                        hexBytes("01 06 05 2A 07 00 00 48 C1 27 00 00 40 40 00 00")));
    peer.sendRaw(concat(headerBytes("Tavrin.Dremm.Orlex.Extensions.Quennet.SurveyStaticMetaInfoMessage"),
                        hexBytes("01 06 07 00")));
    ASSERT_TRUE(messages.waitForCount(2));
    const auto* range = dynamic_cast<const Q::SurveyZRangeUpdatedMessage*>(messages.messages()[0].get());
    ASSERT_NE(range, nullptr);
    EXPECT_EQ(range->Id, 5u);
    EXPECT_FLOAT_EQ(range->Range.Min, -12.5f);
    EXPECT_FLOAT_EQ(range->Range.Max, 3.0f);
    EXPECT_EQ(messages.messages()[1]->typeName(),
              "Tavrin.Dremm.Orlex.Extensions.Quennet.SurveyStaticMetaInfoMessage");
    EXPECT_TRUE(errors.messages().empty());

}

// A read waits for every byte it asks for, however the peer cuts them; a peer that goes first
// ends the read with the client runtime's exception.
TEST(PipeReader, ReadWaitsForTheWholeCountAndFailsWhenThePeerGoesFirst)
{
    int fds[2];
    ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds), 0);
    platform::UniqueFd peer(fds[1]);
    QC::PipeReader reader(platform::UniqueFd(fds[0]), "pair");
    reader.read(nullptr, 0);

    char buffer[8] = {};
    platform::writeAll(peer.get(), "abc", 3);
    std::thread blocked([&] { reader.read(buffer, 6); });
    // The first receive took "abc"; the second waits for the rest.
    EXPECT_TRUE(corvtest::waitUntil([&] { return reader.fillCount() >= 2; }));
    platform::writeAll(peer.get(), "defg", 4);
    blocked.join();
    EXPECT_EQ(std::string(buffer, 6), "abcdef");

    peer.reset();
    EXPECT_THROW(reader.read(buffer, 2), QC::Exception) << "one byte was left, two were asked for";

    QC::PipeReader closed(platform::UniqueFd(), "never opened");
    EXPECT_NO_THROW(closed.read(buffer, 0));
    EXPECT_THROW(closed.read(buffer, 1), QC::Exception);
}

TEST(MessageClient, WithoutServerTheConnectionStaysEmptyAfterItsTries)
{
    const auto start = Clock::now();
    QC::MessageClient client("nobodyHere");
    const long long elapsed = msSince(start);
    EXPECT_GE(elapsed, 1900);
    EXPECT_LT(elapsed, 4000);
    EXPECT_FALSE(client.writer()->isValid());
    EXPECT_EQ(client.dispatcher(), nullptr);
    EXPECT_EQ(client.reader(), nullptr);
}

TEST(MessageClient, OpensBothPipesOfItsNameAndSendsTheVersion)
{
    ASSERT_TRUE(platform::ensurePipeDirectory());
    platform::PipeListener requests;
    platform::PipeListener events;
    ASSERT_TRUE(requests.listen(platform::pipePath("clientTest")));
    ASSERT_TRUE(events.listen(platform::pipePath("clientTestOut")));

    auto client = std::make_unique<QC::MessageClient>("clientTest");
    ASSERT_TRUE(client->writer()->isValid());
    ASSERT_NE(client->dispatcher(), nullptr);
    platform::UniqueFd request = requests.accept(std::chrono::milliseconds(5000));
    platform::UniqueFd event = events.accept(std::chrono::milliseconds(5000));
    ASSERT_TRUE(request.valid() && event.valid());

    QC::PipeReader serverSide(std::move(request), "server");
    const Bytes expected = concat(headerBytes("Tavrin.Dremm.Orlex.OrlexVersionMessage"), hexBytes("01 00"));
    Bytes first(expected.size());
    serverSide.read(first.data(), first.size());
    EXPECT_EQ(first, expected);

    // The server answers the close handshake at once.
    const Bytes terminated = encode(O::TerminatedMessage{});
    std::thread answer([&] {
        Bytes terminate(encode(O::TerminateMessage{}).size());
        serverSide.read(terminate.data(), terminate.size());
        platform::writeAll(event.get(), terminated.data(), terminated.size());
    });
    client.reset();
    answer.join();
}

namespace {

// Takes 'take' bytes of what is offered at once; write() takes the rest on the caller's thread.
class TakingWriter : public QC::IWriter
{
public:
    explicit TakingWriter(std::size_t nTake) : m_nTake(nTake) {}
    bool write(const void* pBytes, std::size_t nCount) override
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_bytes.append(static_cast<const char*>(pBytes), nCount);
        m_workerWrites.push_back(std::this_thread::get_id());
        return true;
    }
    std::size_t writeNow(const void* pBytes, std::size_t nCount) override
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        const std::size_t nTaken = std::min(nCount, m_nTake);
        m_bytes.append(static_cast<const char*>(pBytes), nTaken);
        m_nowThreads.push_back(std::this_thread::get_id());
        return nTaken;
    }
    bool isValid() const override { return true; }

    std::string bytes()
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_bytes;
    }
    std::vector<std::thread::id> workerWrites()
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_workerWrites;
    }
    std::vector<std::thread::id> nowThreads()
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_nowThreads;
    }

private:
    const std::size_t m_nTake;
    std::mutex m_mutex;
    std::string m_bytes;
    std::vector<std::thread::id> m_workerWrites;
    std::vector<std::thread::id> m_nowThreads;
};

} // namespace

TEST(MessageWriterThread, MessagePostedWhileIdleGoesOutOnTheSendersThreadAndTheWorkerWritesTheRest)
{
    O::DestroyObjectMessage first;
    first.Id = 7;
    O::DestroyObjectMessage second;
    second.Id = 8;
    ::bond::OutputBuffer expected;
    ::bond::CompactBinaryWriter encoder(expected, 1);
    for (const O::DestroyObjectMessage* message : {&first, &second})
        QC::OutputMessage<O::DestroyObjectMessage>(QC::schemaTypeName<O::DestroyObjectMessage>(), *message).serialize(encoder);
    const std::string strExpected = expected.toString();

    struct Case {
        const char* name;
        std::size_t take;
        bool workerWrites;
    };
    for (const Case& c : {Case{"the pipe takes everything", 1 << 20, false}, Case{"the pipe takes a part", 5, true},
                          Case{"the pipe takes nothing", 0, true}}) {
        SCOPED_TRACE(c.name);
        auto sink = std::make_shared<TakingWriter>(c.take);
        auto writer = std::make_shared<QC::MessageWriter>(sink, 1);
        {
            QC::MessageWriterThread thread(writer);
            for (const O::DestroyObjectMessage* message : {&first, &second})
                thread.post(std::make_unique<QC::OutputMessage<O::DestroyObjectMessage>>(
                    QC::schemaTypeName<O::DestroyObjectMessage>(), *message));
        } // written out
        EXPECT_EQ(sink->bytes(), strExpected);
        ASSERT_FALSE(sink->nowThreads().empty());
        EXPECT_EQ(sink->nowThreads().front(), std::this_thread::get_id());
        EXPECT_EQ(!sink->workerWrites().empty(), c.workerWrites);
        for (std::thread::id id : sink->workerWrites())
            EXPECT_NE(id, std::this_thread::get_id());
    }
}

TEST(MessageWriterThread, BurstGoesToTheWorkerAfterAFewDirectWritesAndALaterLoneMessageIsWrittenDirectly)
{
    constexpr int kBurst = 2000;
    const std::string name = QC::schemaTypeName<O::DestroyObjectMessage>();
    ::bond::OutputBuffer expected;
    ::bond::CompactBinaryWriter encoder(expected, 1);
    int nPosted = 0;
    auto post = [&](QC::MessageWriterThread& thread) {
        O::DestroyObjectMessage payload;
        payload.Id = static_cast<std::uint64_t>(nPosted++);
        QC::OutputMessage<O::DestroyObjectMessage>(name, payload).serialize(encoder);
        thread.post(std::make_unique<QC::OutputMessage<O::DestroyObjectMessage>>(name, payload));
    };

    auto sink = std::make_shared<TakingWriter>(std::size_t(1) << 30);
    auto writer = std::make_shared<QC::MessageWriter>(sink, 1);
    {
        QC::MessageWriterThread thread(writer);
        for (int n = 0; n < kBurst; ++n)
            post(thread);
        // Only a pause longer than the burst gap (a preemption) lets more senders' writes in.
        const std::size_t nDirect = sink->nowThreads().size();
        EXPECT_GE(nDirect, std::size_t(QC::MessageWriterThread::kDirectInBurst));
        EXPECT_LT(nDirect, std::size_t(kBurst / 4));
        ASSERT_TRUE(corvtest::waitUntil([&] { return sink->bytes().size() == expected.size(); }));
        EXPECT_FALSE(sink->workerWrites().empty());

        // After a pause the sender writes again, once the worker has finished its last write.
        bool bDirect = false;
        for (int nTry = 0; nTry < 50 && !bDirect; ++nTry) {
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
            const std::size_t nBefore = sink->nowThreads().size();
            post(thread);
            bDirect = sink->nowThreads().size() == nBefore + 1;
        }
        EXPECT_TRUE(bDirect);
        EXPECT_EQ(sink->nowThreads().back(), std::this_thread::get_id());
    }
    EXPECT_EQ(sink->bytes(), expected.toString());
}
