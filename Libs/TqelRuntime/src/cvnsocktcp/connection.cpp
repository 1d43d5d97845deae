#include "cvnsocktcp/connection.h"

#include <boost/asio/write.hpp>

#include <fcntl.h>
#include <poll.h>

#include <iostream>

namespace ua::cvnsocktcp {

void close_on_exec(int native_handle)
{
    const int flags = ::fcntl(native_handle, F_GETFD);
    if (flags >= 0)
        ::fcntl(native_handle, F_SETFD, flags | FD_CLOEXEC);
}

void connection_manager::start(const std::shared_ptr<connection>& conn)
{
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    m_connections.insert(conn);
    notify_subscribers();
}

void connection_manager::stop_all()
{
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    for (const auto& conn : m_connections)
        conn->stop();
    m_connections.clear();
    notify_subscribers();
}

void connection_manager::write_all(std::string_view frame, std::chrono::milliseconds timeout)
{
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    std::vector<std::shared_ptr<connection>> failed;
    for (const auto& conn : m_connections) {
        auto* station = dynamic_cast<client_connection*>(conn.get());
        if (!station)
            continue;
        try {
            const boost::system::error_code error = station->write(frame, timeout);
            if (error) {
                log("Error in interface write: " + error.message() + ". Code: " + error.category().name() + ":"
                    + std::to_string(error.value()) + "\n");
                failed.push_back(conn);
            }
        } catch (const std::exception& e) {
            log(std::string("Interface write: ") + e.what() + "\n");
        }
    }
    if (failed.empty())
        return;
    for (const auto& conn : failed) {
        m_connections.erase(conn);
        conn->stop();
    }
    notify_subscribers();
}

void connection_manager::notify_subscribers()
{
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    std::vector<std::string> list;
    list.reserve(m_connections.size());
    for (const auto& conn : m_connections)
        list.push_back(conn->remote_address() + ":" + conn->remote_port());
    if (m_subscriber_callback)
        m_subscriber_callback(list);
}

void connection_manager::set_subscriber_callback(subscriber_callback callback)
{
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    m_subscriber_callback = std::move(callback);
}

void connection_manager::set_log_callback(log_callback callback)
{
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    m_log_callback = std::move(callback);
}

std::size_t connection_manager::size() const
{
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    return m_connections.size();
}

void connection_manager::log(const std::string& text)
{
    if (m_log_callback)
        m_log_callback(text);
}

client_connection::client_connection(boost::asio::ip::tcp::socket socket, connection_manager* manager,
                                     std::string name)
    : m_socket(std::move(socket)), m_manager(manager), m_name(std::move(name))
{
    // Kept from the start: a closed socket no longer knows its peer.
    boost::system::error_code error;
    const auto peer = m_socket.remote_endpoint(error);
    if (!error) {
        m_address = peer.address().to_string();
        m_port = std::to_string(peer.port());
    }
}

client_connection::~client_connection()
{
    stop();
}

void client_connection::stop()
{
    if (!m_socket.is_open())
        return;
    boost::system::error_code error;
    m_socket.shutdown(boost::asio::ip::tcp::socket::shutdown_both, error);
    m_socket.close(error);
    if (error)
        std::cerr << error.message() << std::endl;
}

boost::system::error_code client_connection::write(std::string_view frame, std::chrono::milliseconds timeout)
{
    if (!m_socket.is_open())
        return boost::asio::error::not_connected;
    boost::system::error_code error;
    m_socket.non_blocking(true, error);
    if (error)
        return error;
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    std::size_t done = 0;
    while (done < frame.size()) {
        const std::size_t n = m_socket.write_some(boost::asio::buffer(frame.data() + done, frame.size() - done), error);
        done += n;
        if (!error)
            continue;
        if (error != boost::asio::error::would_block && error != boost::asio::error::try_again)
            return error;
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0)
            return boost::asio::error::timed_out;
        pollfd waiting{m_socket.native_handle(), POLLOUT, 0};
        const int ready = ::poll(&waiting, 1, static_cast<int>(left.count()));
        if (ready < 0 && errno != EINTR)
            return boost::system::error_code(errno, boost::system::system_category());
        if (ready == 0)
            return boost::asio::error::timed_out;
    }
    return {};
}

void client_connection::set_subscriber_callback(subscriber_callback callback)
{
    m_manager->set_subscriber_callback(std::move(callback));
}

void client_connection::set_log_callback(log_callback callback)
{
    m_manager->set_log_callback(std::move(callback));
}

} // namespace ua::cvnsocktcp
