#include "cvnsocktcp/client.h"
#include "cvnsocktcp/server.h"

#include <boost/asio/connect.hpp>
#include <boost/asio/post.hpp>

#include <future>
#include <stdexcept>

namespace ua::cvnsocktcp {

namespace {

constexpr int socket_buffer_bytes = 67108864;

} // namespace

client::client(boost::asio::io_context& io, std::shared_ptr<client_callbacks> callbacks,
               std::chrono::steady_clock::duration reconnect_period)
    : m_io(io), m_socket(io), m_callbacks(std::move(callbacks)), m_reconnect_timer(io),
      m_reconnect_period(reconnect_period)
{
}

void client::start()
{
    boost::asio::post(m_io, [self = shared_from_this()]() {
        self->open_socket();
        self->arm_timer();
    });
}

void client::connect(const std::string& host_port)
{
    const auto pieces = splitString(host_port, ':');
    if (pieces.size() < 2)
        throw std::invalid_argument("connect text without host and port: " + host_port);
    boost::asio::ip::tcp::resolver resolver(m_io);
    auto endpoints = resolver.resolve(trim(pieces[0]), trim(pieces[1])); // throws when unknown
    boost::asio::post(m_io, [self = shared_from_this(), host_port, endpoints]() {
        self->m_target = host_port;
        self->m_endpoints = endpoints;
        self->do_connect();
    });
}

void client::set_data_callback(data_callback callback)
{
    std::lock_guard<std::mutex> lock(m_callbacks->mutex);
    m_callbacks->data = std::move(callback);
}

void client::stop()
{
    m_stopped = true;
    boost::system::error_code ignored;
    m_socket.cancel(ignored);
    m_socket.close(ignored);
    m_reconnect_timer.cancel();
}

void client::open_socket()
{
    if (m_stopped || m_socket.is_open())
        return;
    try {
        m_socket.open(boost::asio::ip::tcp::v4());
        close_on_exec(m_socket.native_handle());
        set_options();
    } catch (const std::exception& e) {
        log(std::string("Exception: ") + e.what());
    }
}

void client::set_options()
{
    m_socket.set_option(boost::asio::socket_base::send_buffer_size(socket_buffer_bytes));
    m_socket.set_option(boost::asio::socket_base::receive_buffer_size(socket_buffer_bytes));
    m_socket.set_option(boost::asio::socket_base::reuse_address(true));
    m_socket.set_option(boost::asio::socket_base::keep_alive(true));
}

void client::arm_timer()
{
    if (m_stopped)
        return;
    m_reconnect_timer.expires_after(m_reconnect_period);
    m_reconnect_timer.async_wait(
        [self = shared_from_this()](const boost::system::error_code& error) { self->reconnect(error); });
}

void client::reconnect(const boost::system::error_code& error)
{
    if (error || m_stopped)
        return;
    if (m_disconnected && !m_endpoints.empty()) {
        const auto endpoint = m_endpoints.begin()->endpoint();
        log("Reconnecting to server: " + endpoint.address().to_string() + ":" + std::to_string(endpoint.port()));
        open_socket();
        do_connect();
    }
    arm_timer();
}

void client::do_connect()
{
    if (m_stopped)
        return;
    // A connect attempt is outstanding until it completes; the watchdog waits for its result.
    m_disconnected = false;
    boost::asio::async_connect(m_socket, m_endpoints,
                               [self = shared_from_this()](const boost::system::error_code& error,
                                                           const boost::asio::ip::tcp::endpoint&) {
                                   self->handle_connect(error);
                               });
}

void client::handle_connect(const boost::system::error_code& error)
{
    if (m_stopped)
        return;
    if (error) {
        log("Client: Failed to connect to " + m_target);
        m_disconnected = true;
        boost::system::error_code ignored;
        m_socket.close(ignored);
        return;
    }
    // The connect may have opened the socket anew for another endpoint: set the options again.
    close_on_exec(m_socket.native_handle());
    try {
        set_options();
    } catch (const std::exception& e) {
        log(std::string("Exception: ") + e.what());
    }
    log("Client: Connected to " + m_target);
    m_disconnected = false;
    m_frames.reset();
    start_read();
}

void client::start_read()
{
    const auto place = m_frames.prepare();
    m_socket.async_read_some(boost::asio::buffer(place.first, place.second),
                             [self = shared_from_this()](const boost::system::error_code& error, std::size_t count) {
                                 self->handle_read(error, count);
                             });
}

void client::handle_read(const boost::system::error_code& error, std::size_t count)
{
    if (m_stopped)
        return;
    if (error) {
        fail(m_frames.in_body() ? "Client: Error in do_read_body(): " + error.message()
                                : "Client: Error in do_read_header " + error.message());
        return;
    }
    switch (m_frames.commit(count)) {
    case frame_assembler::result::more:
        break;
    case frame_assembler::result::frame:
        deliver_data();
        break;
    case frame_assembler::result::oversized:
        fail("Client: Error in do_read_header frame length " + std::to_string(m_frames.declared_length())
             + " exceeds " + std::to_string(max_frame_body));
        return;
    }
    start_read();
}

void client::deliver_data()
{
    data_callback callback;
    {
        std::lock_guard<std::mutex> lock(m_callbacks->mutex);
        callback = m_callbacks->data;
    }
    if (!callback)
        return;
    const std::string_view body = m_frames.body();
    callback(new std::string(body.data(), body.size()));
}

void client::fail(const std::string& text)
{
    log(text);
    m_disconnected = true;
    boost::system::error_code ignored;
    m_socket.close(ignored);
}

void client::log(const std::string& text)
{
    log_callback callback;
    {
        std::lock_guard<std::mutex> lock(m_callbacks->mutex);
        callback = m_callbacks->log;
    }
    if (callback)
        callback(text);
}

client_handle::client_handle(boost::asio::io_context& io, std::chrono::steady_clock::duration reconnect_period)
    : m_io(&io), m_work(boost::asio::make_work_guard(io)), m_callbacks(std::make_shared<client_callbacks>()),
      m_client(std::make_shared<client>(io, m_callbacks, reconnect_period))
{
}

std::unique_ptr<client_handle> client_handle::make(boost::asio::io_context& io,
                                                   std::chrono::steady_clock::duration reconnect_period)
{
    std::unique_ptr<client_handle> handle(new client_handle(io, reconnect_period));
    handle->m_client->start();
    return handle;
}

void client_handle::set_log_callback(log_callback callback)
{
    std::lock_guard<std::mutex> lock(m_callbacks->mutex);
    m_callbacks->log = std::move(callback);
}

client_handle::~client_handle()
{
    // No callback may run once the handle is gone: drop them, then stop on the I/O thread.
    {
        std::lock_guard<std::mutex> lock(m_callbacks->mutex);
        m_callbacks->data = nullptr;
        m_callbacks->log = nullptr;
    }
    if (m_io->stopped() || m_io->get_executor().running_in_this_thread()) {
        m_client->stop();
    } else {
        auto done = std::make_shared<std::promise<void>>();
        auto finished = done->get_future();
        boost::asio::post(*m_io, [client = m_client, done]() {
            client->stop();
            done->set_value();
        });
        // A context that is not being run cannot take the stop; the handlers hold their own
        // reference to the client, so it stays valid until they are gone.
        finished.wait_for(std::chrono::seconds(5));
    }
    m_work.reset();
}

} // namespace ua::cvnsocktcp
