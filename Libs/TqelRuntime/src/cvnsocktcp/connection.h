// The server side of the remote-station link: accepted stations and the set that holds them.
#pragma once

#include <boost/asio/ip/tcp.hpp>

#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

namespace ua::cvnsocktcp {

using subscriber_callback = std::function<void(std::vector<std::string>)>;

// Keeps a socket of the link from the programs this process starts (a companion holding a copy
// would keep the port or the connection open after the program ended).
void close_on_exec(int native_handle);
using log_callback = std::function<void(std::string)>;

// An accepted station.
class connection : public std::enable_shared_from_this<connection> {
public:
    virtual ~connection() = default;
    virtual void stop() = 0;
    virtual std::string remote_address() const = 0;
    virtual std::string remote_port() const = 0;
};

// The accepted stations, written to in turn; a station whose write fails is dropped.
class connection_manager {
public:
    void start(const std::shared_ptr<connection>& conn);
    void stop_all();
    // Writes the whole frame to every station; each write ends after 'timeout' at the latest.
    void write_all(std::string_view frame, std::chrono::milliseconds timeout);
    void notify_subscribers();
    void set_subscriber_callback(subscriber_callback callback);
    void set_log_callback(log_callback callback);
    std::size_t size() const;

private:
    void log(const std::string& text);

    std::set<std::shared_ptr<connection>> m_connections;
    subscriber_callback m_subscriber_callback;
    log_callback m_log_callback;
    mutable std::recursive_mutex m_mutex;
};

// A station accepted by the server. It is only written to, never read.
class client_connection : public connection {
public:
    client_connection(boost::asio::ip::tcp::socket socket, connection_manager* manager, std::string name);
    ~client_connection() override;

    void stop() override;
    std::string remote_address() const override { return m_address; }
    std::string remote_port() const override { return m_port; }

    // Sends the whole frame; a peer that takes nothing for 'timeout' fails with timed_out.
    boost::system::error_code write(std::string_view frame, std::chrono::milliseconds timeout);

    // Both land in the connection manager.
    void set_subscriber_callback(subscriber_callback callback);
    void set_log_callback(log_callback callback);

private:
    boost::asio::ip::tcp::socket m_socket;
    connection_manager* m_manager;
    std::string m_name;
    std::string m_address;
    std::string m_port;
};

} // namespace ua::cvnsocktcp
