#include "OrlexQtClient/Pipes.h"

#include "OrlexQtClient/Exception.h"

#include "platform/pipes.h"

#include <QString>

#include <cstring>
#include <thread>
#include <utility>

namespace Dremm::Orlex::QtClient {

namespace {

constexpr int kOpenTries = 10;
constexpr std::chrono::milliseconds kOpenPause{200};
// One read call takes at most this much of what has arrived.
constexpr int kChunk = 64 * 1024;

platform::UniqueFd openPipe(const std::string& strPath)
{
    const QString path = platform::pipePath(QString::fromStdString(strPath));
    for (int nTry = 0; nTry < kOpenTries; ++nTry) {
        if (!path.isEmpty()) {
            platform::UniqueFd fd = platform::connectSocket(path);
            if (fd.valid())
                return fd;
        }
        std::this_thread::sleep_for(kOpenPause);
    }
    return platform::UniqueFd();
}

} // namespace

PipeReader::PipeReader(const std::string& strPath) : m_strPath(strPath), m_fd(openPipe(strPath))
{
    m_buffer.reserve(kChunk); // reserved capacity survives resize(0)
}

PipeReader::PipeReader(platform::UniqueFd fd, std::string strPath)
    : m_strPath(std::move(strPath)), m_fd(std::move(fd))
{
    m_buffer.reserve(kChunk);
}

void PipeReader::read(void* pBuffer, std::size_t nCount)
{
    auto* pOut = static_cast<char*>(pBuffer);
    while (nCount != 0) {
        if (m_nOffset == m_buffer.size())
            fill();
        const std::size_t nTake = std::min<std::size_t>(nCount, static_cast<std::size_t>(m_buffer.size() - m_nOffset));
        std::memcpy(pOut, m_buffer.constData() + m_nOffset, nTake);
        m_nOffset += static_cast<int>(nTake);
        pOut += nTake;
        nCount -= nTake;
    }
}

void PipeReader::fill()
{
    if (!m_fd.valid())
        throw Exception("Pipe " + m_strPath + " is not open");
    m_buffer.resize(0); // keeps the capacity
    m_nOffset = 0;
    m_nFills.fetch_add(1, std::memory_order_relaxed);
    const platform::IoResult result = platform::readAvailable(m_fd.get(), m_buffer, std::chrono::milliseconds(-1), kChunk);
    switch (result.status) {
    case platform::IoStatus::Ok:
        return;
    case platform::IoStatus::Closed:
        throw Exception("Pipe " + m_strPath + " closed by the server");
    default:
        throw Exception("Pipe " + m_strPath + " read failed: " + std::strerror(result.error));
    }
}

void PipeReader::interrupt()
{
    platform::wakeBlockedIo(m_fd.get());
}

PipeWriter::PipeWriter(const std::string& strPath, std::chrono::milliseconds writeLimit)
    : m_strPath(strPath), m_fd(openPipe(strPath)), m_writeLimit(writeLimit)
{
}

PipeWriter::PipeWriter(platform::UniqueFd fd, std::string strPath, std::chrono::milliseconds writeLimit)
    : m_strPath(std::move(strPath)), m_fd(std::move(fd)), m_writeLimit(writeLimit)
{
}

bool PipeWriter::write(const void* pBytes, std::size_t nCount)
{
    if (!m_fd.valid())
        return false;
    return platform::writeAll(m_fd.get(), pBytes, nCount, m_writeLimit).status == platform::IoStatus::Ok;
}

} // namespace Dremm::Orlex::QtClient
