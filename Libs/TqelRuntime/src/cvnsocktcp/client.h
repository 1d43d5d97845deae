// The receiving end of the remote-station link: connects to a server, hands over every frame's
// payload, and reconnects by itself after a failure.
#pragma once

#include "cvnsocktcp/connection.h"
#include "cvnsocktcp/framing.h"

#include <boost/asio/executor_work_guard.hpp>
#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/steady_timer.hpp>

#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

namespace ua::cvnsocktcp {

// Takes ownership of the payload it is given.
using data_callback = std::function<void(std::string*)>;

struct client_callbacks {
    std::mutex mutex;
    data_callback data;
    log_callback log;
};

class client : public std::enable_shared_from_this<client> {
public:
    client(boost::asio::io_context& io, std::shared_ptr<client_callbacks> callbacks,
           std::chrono::steady_clock::duration reconnect_period);

    // Opens the socket and arms the reconnect watchdog, on the I/O thread.
    void start();
    // Resolves "host:port" on the caller's thread (throws on a bad text or an unknown host), then
    // connects from the I/O thread.
    void connect(const std::string& host_port);
    void set_data_callback(data_callback callback);
    // Ends every operation; nothing is delivered afterwards. Call on the I/O thread.
    void stop();

private:
    void open_socket();
    void set_options();
    void arm_timer();
    void reconnect(const boost::system::error_code& error);
    void do_connect();
    void handle_connect(const boost::system::error_code& error);
    void start_read();
    void handle_read(const boost::system::error_code& error, std::size_t count);
    void deliver_data();
    void fail(const std::string& text);
    void log(const std::string& text);

    bool m_stopped = false;
    bool m_disconnected = false;
    boost::asio::io_context& m_io;
    boost::asio::ip::tcp::socket m_socket;
    std::shared_ptr<client_callbacks> m_callbacks;
    frame_assembler m_frames;
    boost::asio::ip::tcp::resolver::results_type m_endpoints;
    boost::asio::steady_timer m_reconnect_timer;
    std::chrono::steady_clock::duration m_reconnect_period;
    std::string m_target;
};

// Owns a client and keeps the I/O context running while it lives.
class client_handle {
public:
    static std::unique_ptr<client_handle> make(boost::asio::io_context& io,
                                               std::chrono::steady_clock::duration reconnect_period
                                               = std::chrono::seconds(5));
    // Stops the client on the I/O thread and waits for that before returning.
    ~client_handle();
    client_handle(const client_handle&) = delete;
    client_handle& operator=(const client_handle&) = delete;

    void connect(const std::string& host_port) { m_client->connect(host_port); }
    void set_data_callback(data_callback callback) { m_client->set_data_callback(std::move(callback)); }
    void set_log_callback(log_callback callback);

private:
    client_handle(boost::asio::io_context& io, std::chrono::steady_clock::duration reconnect_period);

    boost::asio::io_context* m_io;
    boost::asio::executor_work_guard<boost::asio::io_context::executor_type> m_work;
    std::shared_ptr<client_callbacks> m_callbacks;
    std::shared_ptr<client> m_client;
};

} // namespace ua::cvnsocktcp
