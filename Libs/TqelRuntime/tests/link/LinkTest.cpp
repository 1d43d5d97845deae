// The remote-station link on loopback: framing as the client sees it, the server's station set,
// and reconnecting.
#include "cvnsocktcp/client.h"
#include "cvnsocktcp/framing.h"
#include "cvnsocktcp/io_thread.h"
#include "cvnsocktcp/server.h"

#include "test_wait.h"

#include <gtest/gtest.h>

#include <boost/asio/connect.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/write.hpp>

#include <mutex>
#include <thread>

namespace {

namespace link = ua::cvnsocktcp;
using boost::asio::ip::tcp;
using namespace std::chrono_literals;

// Thread-safe record of what the callbacks saw.
struct Seen {
    std::mutex mutex;
    std::vector<std::string> payloads;
    std::vector<std::string> logs;
    std::vector<std::vector<std::string>> subscribers;

    std::size_t payloadCount()
    {
        std::lock_guard<std::mutex> lock(mutex);
        return payloads.size();
    }
    bool logged(const std::string& start)
    {
        std::lock_guard<std::mutex> lock(mutex);
        for (const auto& text : logs)
            if (text.rfind(start, 0) == 0)
                return true;
        return false;
    }
    std::vector<std::string> lastSubscribers()
    {
        std::lock_guard<std::mutex> lock(mutex);
        return subscribers.empty() ? std::vector<std::string>{"none"} : subscribers.back();
    }
};

std::unique_ptr<link::client_handle> makeClient(link::io_thread& io, Seen& seen, unsigned short port,
                                                std::chrono::steady_clock::duration period = 100ms)
{
    auto handle = link::client_handle::make(io.context(), period);
    handle->set_log_callback([&seen](std::string text) {
        std::lock_guard<std::mutex> lock(seen.mutex);
        seen.logs.push_back(std::move(text));
    });
    handle->set_data_callback([&seen](std::string* payload) {
        std::unique_ptr<std::string> owned(payload);
        std::lock_guard<std::mutex> lock(seen.mutex);
        seen.payloads.push_back(*owned);
    });
    handle->connect("127.0.0.1:" + std::to_string(port));
    return handle;
}

// A raw stream on the sending side, so that the test decides every byte and segment.
class RawSender {
public:
    RawSender() : m_acceptor(m_io, tcp::endpoint(boost::asio::ip::address_v4::loopback(), 0)) {}
    unsigned short port() const { return m_acceptor.local_endpoint().port(); }
    tcp::socket accept()
    {
        tcp::socket socket(m_io);
        m_acceptor.accept(socket);
        socket.set_option(tcp::no_delay(true));
        return socket;
    }

private:
    boost::asio::io_context m_io;
    tcp::acceptor m_acceptor;
};

TEST(RemoteLink, ClientDeliversPayloadsExactlyAsFramed)
{
    const std::string frameA = link::make_frame("first payload");
    const std::string frameB = link::make_frame(std::string(100000, 'b'));
    const std::string frameEmpty = link::make_frame("");
    EXPECT_EQ(frameEmpty, std::string(4, '\0'));
    EXPECT_EQ(link::make_frame("abc").substr(0, 4), std::string("\x03\x00\x00\x00", 4));

    struct Case {
        const char* what;
        std::vector<std::string> segments;
        std::vector<std::string> expected;
    } const cases[] = {
        {"two frames in one segment", {frameA + frameB}, {"first payload", std::string(100000, 'b')}},
        {"one frame split byte by byte", [&] {
             std::vector<std::string> bytes;
             for (char c : frameA)
                 bytes.emplace_back(1, c);
             return bytes;
         }(), {"first payload"}},
        {"a frame cut inside its length word", {frameA.substr(0, 2), frameA.substr(2) + frameB.substr(0, 7), frameB.substr(7)},
         {"first payload", std::string(100000, 'b')}},
        {"a zero length frame between two others", {frameA + frameEmpty + frameA}, {"first payload", "", "first payload"}},
    };
    link::io_thread io;
    io.start();
    for (const Case& test : cases) {
        RawSender sender;
        Seen seen;
        auto client = makeClient(io, seen, sender.port());
        tcp::socket socket = sender.accept();
        for (const std::string& segment : test.segments) {
            boost::asio::write(socket, boost::asio::buffer(segment));
            std::this_thread::yield();
        }
        ASSERT_TRUE(corvtest::waitUntil([&] { return seen.payloadCount() >= test.expected.size(); })) << test.what;
        client.reset();
        EXPECT_EQ(seen.payloads, test.expected) << test.what;
    }
}

TEST(RemoteLink, OversizedLengthDropsTheConnectionAndTheWatchdogReconnects)
{
    link::io_thread io;
    io.start();
    RawSender sender;
    Seen seen;
    auto client = makeClient(io, seen, sender.port());
    {
        tcp::socket socket = sender.accept();
        // 10,485,761 bytes announced: one more than the receive buffer holds.
        const std::string tooLong("\x01\x00\xA0\x00", 4);
        boost::asio::write(socket, boost::asio::buffer(tooLong + "some bytes that follow"));
        ASSERT_TRUE(corvtest::waitUntil([&] { return seen.logged("Client: Error in do_read_header"); }));
        // The client closed its end (with unread bytes: a reset or the end of the stream).
        char byte = 0;
        boost::system::error_code error;
        socket.read_some(boost::asio::buffer(&byte, 1), error);
        EXPECT_TRUE(error == boost::asio::error::eof || error == boost::asio::error::connection_reset)
            << error.message();
    }
    // The largest allowed frame still goes through on the next connection.
    tcp::socket again = sender.accept();
    EXPECT_TRUE(seen.logged("Reconnecting to server: 127.0.0.1:" + std::to_string(sender.port())));
    const std::string largest(link::max_frame_body, 'x');
    boost::asio::write(again, boost::asio::buffer(link::make_frame(largest)));
    ASSERT_TRUE(corvtest::waitUntil([&] { return seen.payloadCount() == 1; }));
    std::lock_guard<std::mutex> lock(seen.mutex);
    EXPECT_EQ(seen.payloads[0].size(), link::max_frame_body);
}

std::shared_ptr<link::server> makeServer(link::io_thread& io, Seen& seen, const std::string& listen)
{
    auto server = link::make_server(io.context());
    server->set_log_callback([&seen](std::string text) {
        std::lock_guard<std::mutex> lock(seen.mutex);
        seen.logs.push_back(std::move(text));
    });
    server->set_subscriber_callback([&seen](std::vector<std::string> list) {
        std::lock_guard<std::mutex> lock(seen.mutex);
        seen.subscribers.push_back(std::move(list));
    });
    server->listen(listen);
    return server;
}

TEST(RemoteLink, ServerWritesToEveryStationAndDropsOnesThatWentAway)
{
    link::io_thread io;
    io.start();
    Seen serverSeen;
    auto server = makeServer(io, serverSeen, " 127.0.0.1 : 0 ");
    ASSERT_TRUE(corvtest::waitUntil([&] { return server->local_port() != 0; }));
    EXPECT_TRUE(serverSeen.logged("Server listening on:  127.0.0.1 : 0 "));

    Seen first;
    Seen second;
    auto clientA = makeClient(io, first, server->local_port());
    ASSERT_TRUE(corvtest::waitUntil([&] { return server->connection_count() == 1; }));
    const auto one = serverSeen.lastSubscribers();
    ASSERT_EQ(one.size(), 1u);
    EXPECT_EQ(one[0].rfind("127.0.0.1:", 0), 0u) << one[0];
    auto clientB = makeClient(io, second, server->local_port());
    ASSERT_TRUE(corvtest::waitUntil([&] { return server->connection_count() == 2; }));
    EXPECT_EQ(serverSeen.lastSubscribers().size(), 2u);

    EXPECT_THROW(server->write(std::string()), std::runtime_error);
    server->write(link::make_frame("to all"));
    ASSERT_TRUE(corvtest::waitUntil([&] { return first.payloadCount() == 1 && second.payloadCount() == 1; }));

    // A station that has gone is noticed at the next write that fails.
    clientB.reset();
    ASSERT_TRUE(corvtest::waitUntil([&] {
        server->write(link::make_frame(std::string(70000, 'y')));
        return server->connection_count() == 1;
    }));
    EXPECT_TRUE(serverSeen.logged("Error in interface write: "));
    EXPECT_EQ(serverSeen.lastSubscribers().size(), 1u);

    server->stop();
    ASSERT_TRUE(corvtest::waitUntil([&] { return serverSeen.lastSubscribers().empty(); }));
    EXPECT_EQ(server->connection_count(), 0u);
}

TEST(RemoteLink, AStationThatStopsReadingIsDroppedWithinTheWriteTimeLimit)
{
    link::io_thread io;
    io.start();
    Seen serverSeen;
    auto server = makeServer(io, serverSeen, "127.0.0.1:0");
    server->set_write_timeout(300ms);
    ASSERT_TRUE(corvtest::waitUntil([&] { return server->local_port() != 0; }));
    // Connected, never reading.
    boost::asio::io_context rawIo;
    tcp::socket silent(rawIo);
    silent.open(tcp::v4());
    silent.set_option(boost::asio::socket_base::receive_buffer_size(4096));
    silent.connect(tcp::endpoint(boost::asio::ip::address_v4::loopback(), server->local_port()));
    ASSERT_TRUE(corvtest::waitUntil([&] { return server->connection_count() == 1; }));

    const std::string frame = link::make_frame(std::string(4000000, 'z'));
    const auto start = std::chrono::steady_clock::now();
    for (int n = 0; n < 50 && server->connection_count() == 1; ++n)
        server->write(frame);
    EXPECT_EQ(server->connection_count(), 0u);
    EXPECT_LT(std::chrono::steady_clock::now() - start, 10s);
    EXPECT_TRUE(serverSeen.logged("Error in interface write: "));
}

TEST(RemoteLink, ClientReconnectsAfterAServerRestart)
{
    link::io_thread io;
    io.start();
    Seen serverSeen;
    auto server = makeServer(io, serverSeen, "127.0.0.1:0");
    ASSERT_TRUE(corvtest::waitUntil([&] { return server->local_port() != 0; }));
    const unsigned short port = server->local_port();
    Seen seen;
    auto client = makeClient(io, seen, port);
    ASSERT_TRUE(corvtest::waitUntil([&] { return server->connection_count() == 1; }));
    server->write(link::make_frame("before"));
    ASSERT_TRUE(corvtest::waitUntil([&] { return seen.payloadCount() == 1; }));

    server->stop();
    server.reset();
    ASSERT_TRUE(corvtest::waitUntil([&] { return seen.logged("Client: Error in do_read_header"); }));
    // While nothing listens, attempts fail and are repeated.
    ASSERT_TRUE(corvtest::waitUntil([&] { return seen.logged("Client: Failed to connect to 127.0.0.1:"); }));

    Seen restartSeen;
    auto restarted = makeServer(io, restartSeen, "127.0.0.1:" + std::to_string(port));
    ASSERT_TRUE(corvtest::waitUntil([&] { return restarted->connection_count() == 1; }));
    restarted->write(link::make_frame("after"));
    ASSERT_TRUE(corvtest::waitUntil([&] { return seen.payloadCount() == 2; }));
    std::lock_guard<std::mutex> lock(seen.mutex);
    EXPECT_EQ(seen.payloads[1], "after");
}

TEST(RemoteLink, BadAddressTexts)
{
    link::io_thread io;
    io.start();
    auto handle = link::client_handle::make(io.context());
    EXPECT_THROW(handle->connect("127.0.0.1"), std::exception);
    EXPECT_THROW(handle->connect("no-such-host.invalid:16655"), std::exception);

    Seen serverSeen;
    auto server = makeServer(io, serverSeen, "no port here");
    ASSERT_TRUE(corvtest::waitUntil([&] { return serverSeen.logged("Server try to listen: "); }));
    EXPECT_EQ(server->local_port(), 0);
    server->stop();
}

} // namespace
