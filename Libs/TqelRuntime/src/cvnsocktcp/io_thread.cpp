#include "cvnsocktcp/io_thread.h"

namespace ua::cvnsocktcp {

io_thread::io_thread() : m_work(boost::asio::make_work_guard(m_io)) {}

io_thread::~io_thread()
{
    stop();
}

void io_thread::start()
{
    if (!m_thread.joinable())
        m_thread = std::thread([this]() { m_io.run(); });
}

void io_thread::stop()
{
    m_work.reset();
    m_io.stop();
    if (m_thread.joinable() && m_thread.get_id() != std::this_thread::get_id())
        m_thread.join();
}

} // namespace ua::cvnsocktcp
