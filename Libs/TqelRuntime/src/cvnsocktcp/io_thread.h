// The I/O context of the remote-station link and the one thread that runs it.
#pragma once

#include <boost/asio/executor_work_guard.hpp>
#include <boost/asio/io_context.hpp>

#include <thread>

namespace ua::cvnsocktcp {

class io_thread {
public:
    io_thread();
    // Stops the context and joins the thread.
    ~io_thread();
    io_thread(const io_thread&) = delete;
    io_thread& operator=(const io_thread&) = delete;

    boost::asio::io_context& context() { return m_io; }
    // Starts the thread once; later calls do nothing.
    void start();
    // Ends the thread; pending handlers are dropped.
    void stop();

private:
    boost::asio::io_context m_io;
    boost::asio::executor_work_guard<boost::asio::io_context::executor_type> m_work;
    std::thread m_thread;
};

} // namespace ua::cvnsocktcp
