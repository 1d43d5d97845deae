// The sending end of the remote-station link: accepts stations and writes frames to them all.
#pragma once

#include "cvnsocktcp/connection.h"

#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/steady_timer.hpp>

#include <atomic>
#include <chrono>
#include <memory>
#include <string>
#include <string_view>

namespace ua::cvnsocktcp {

class server : public std::enable_shared_from_this<server> {
public:
    explicit server(boost::asio::io_context& io);

    // Set both before listen; each accepted station hands them to the connection manager.
    void set_subscriber_callback(subscriber_callback callback);
    void set_log_callback(log_callback callback);
    // How long one station may take a frame before it is dropped (30 s unless set).
    void set_write_timeout(std::chrono::milliseconds timeout) { m_write_timeout = timeout; }

    // Listens on "host:port" from the I/O thread, retrying every 5 s while that fails.
    void listen(const std::string& host_port);
    // Writes one frame (length word and payload) to every station, on the caller's thread.
    // An empty frame throws std::runtime_error.
    void write(std::string_view frame);
    // Stops accepting and drops every station; the server does not listen again.
    void stop();
    void log(const std::string& text);

    // The port listened on, 0 until listening.
    unsigned short local_port() const { return m_local_port; }
    std::size_t connection_count() const { return m_connections.size(); }

private:
    void do_listen();
    bool try_listen();
    void start_accept();
    void handle_accept(const boost::system::error_code& error, boost::asio::ip::tcp::socket socket);
    void handle_retry_timer(const boost::system::error_code& error);

    subscriber_callback m_subscriber_callback;
    log_callback m_log_callback;
    boost::asio::io_context& m_io;
    boost::asio::ip::tcp::acceptor m_acceptor;
    connection_manager m_connections;
    std::string m_listen_text;
    boost::asio::steady_timer m_retry_timer;
    std::chrono::milliseconds m_write_timeout{30000};
    std::atomic<unsigned short> m_local_port{0};
    bool m_stopped = false; // I/O thread only
};

std::shared_ptr<server> make_server(boost::asio::io_context& io);

// Splits at every separator, keeping empty pieces.
std::vector<std::string> splitString(const std::string& text, char separator);
// Without white space at either end.
std::string trim(const std::string& text);

} // namespace ua::cvnsocktcp
