#include "cvnsocktcp/server.h"

#include <boost/asio/post.hpp>

#include <stdexcept>

namespace ua::cvnsocktcp {

namespace {

constexpr int socket_buffer_bytes = 67108864;
constexpr auto retry_period = std::chrono::seconds(5);

} // namespace

std::vector<std::string> splitString(const std::string& text, char separator)
{
    std::vector<std::string> pieces;
    std::string::size_type start = 0;
    while (true) {
        const auto at = text.find(separator, start);
        pieces.push_back(text.substr(start, at == std::string::npos ? std::string::npos : at - start));
        if (at == std::string::npos)
            return pieces;
        start = at + 1;
    }
}

std::string trim(const std::string& text)
{
    const char* blanks = " \t\r\n\f\v";
    const auto first = text.find_first_not_of(blanks);
    if (first == std::string::npos)
        return std::string();
    return text.substr(first, text.find_last_not_of(blanks) - first + 1);
}

std::shared_ptr<server> make_server(boost::asio::io_context& io)
{
    return std::make_shared<server>(io);
}

server::server(boost::asio::io_context& io) : m_io(io), m_acceptor(io), m_retry_timer(io) {}

void server::set_subscriber_callback(subscriber_callback callback)
{
    m_subscriber_callback = std::move(callback);
}

void server::set_log_callback(log_callback callback)
{
    m_log_callback = std::move(callback);
}

void server::log(const std::string& text)
{
    if (m_log_callback)
        m_log_callback(text);
}

void server::listen(const std::string& host_port)
{
    // The program's own signal handling stays with the program: the server is ended by stop().
    boost::asio::post(m_io, [self = shared_from_this(), host_port]() {
        self->m_listen_text = host_port;
        self->do_listen();
    });
}

void server::do_listen()
{
    if (m_stopped)
        return;
    if (!try_listen()) {
        m_retry_timer.expires_after(retry_period);
        m_retry_timer.async_wait(
            [self = shared_from_this()](const boost::system::error_code& error) { self->handle_retry_timer(error); });
        return;
    }
    start_accept();
    log("Server listening on: " + m_listen_text);
    boost::system::error_code error;
    m_local_port = m_acceptor.local_endpoint(error).port();
}

bool server::try_listen()
{
    using boost::asio::ip::tcp;
    try {
        const auto pieces = splitString(m_listen_text, ':');
        if (pieces.size() < 2)
            throw std::invalid_argument("listen text without host and port: " + m_listen_text);
        tcp::resolver resolver(m_io);
        const auto endpoints = resolver.resolve(trim(pieces[0]), trim(pieces[1]));
        if (endpoints.empty())
            throw std::runtime_error("resolve: no endpoint for " + m_listen_text);
        const tcp::endpoint endpoint = *endpoints.begin();
        if (!m_acceptor.is_open()) {
            m_acceptor.open(endpoint.protocol());
            close_on_exec(m_acceptor.native_handle());
        }
        m_acceptor.set_option(boost::asio::socket_base::send_buffer_size(socket_buffer_bytes));
        m_acceptor.set_option(boost::asio::socket_base::receive_buffer_size(socket_buffer_bytes));
        m_acceptor.set_option(boost::asio::socket_base::reuse_address(true));
        m_acceptor.set_option(boost::asio::socket_base::keep_alive(true));
        m_acceptor.bind(endpoint);
        m_acceptor.listen(boost::asio::socket_base::max_listen_connections);
        return true;
    } catch (const std::exception& e) {
        log(std::string("Server try to listen: ") + e.what());
        return false;
    }
}

void server::handle_retry_timer(const boost::system::error_code& error)
{
    if (!error)
        do_listen();
}

void server::start_accept()
{
    m_acceptor.async_accept([self = shared_from_this()](const boost::system::error_code& error,
                                                        boost::asio::ip::tcp::socket socket) {
        self->handle_accept(error, std::move(socket));
    });
}

void server::handle_accept(const boost::system::error_code& error, boost::asio::ip::tcp::socket socket)
{
    if (!m_acceptor.is_open()) {
        log("Server: Stopped");
        return;
    }
    if (!error) {
        close_on_exec(socket.native_handle());
        auto station = std::make_shared<client_connection>(std::move(socket), &m_connections, m_listen_text);
        station->set_subscriber_callback(m_subscriber_callback);
        station->set_log_callback(m_log_callback);
        m_connections.start(station);
    }
    start_accept();
}

void server::write(std::string_view frame)
{
    if (frame.empty())
        throw std::runtime_error("Invalid datagram in client_connection::write()");
    try {
        m_connections.write_all(frame, m_write_timeout);
    } catch (const std::exception& e) {
        log(std::string("Exception in write datagram: ") + e.what());
    }
}

void server::stop()
{
    boost::asio::post(m_io, [self = shared_from_this()]() {
        self->m_stopped = true;
        boost::system::error_code ignored;
        self->m_retry_timer.cancel();
        self->m_acceptor.close(ignored);
    });
    m_connections.stop_all();
}

} // namespace ua::cvnsocktcp
