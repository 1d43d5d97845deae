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

PipeReader::PipeReader(const std::string& strPath) : m_strPath(strPath), m_fd(openPipe(strPath)) {}

PipeReader::PipeReader(platform::UniqueFd fd, std::string strPath)
    : m_strPath(std::move(strPath)), m_fd(std::move(fd))
{
}

BufferedReader::Window PipeReader::receive()
{
    if (!m_fd.valid())
        throw Exception("Pipe " + m_strPath + " is not open");
    m_nFills.fetch_add(1, std::memory_order_relaxed);
    const platform::IoResult result = platform::readSome(m_fd.get(), m_pBuffer.get(), kBufferSize);
    switch (result.status) {
    case platform::IoStatus::Ok:
        return {m_pBuffer.get(), m_pBuffer.get() + result.bytes};
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

std::size_t PipeWriter::writeNow(const void* pBytes, std::size_t nCount)
{
    if (!m_fd.valid())
        return 0;
    return platform::writeAll(m_fd.get(), pBytes, nCount, std::chrono::milliseconds(0)).bytes;
}

} // namespace Dremm::Orlex::QtClient
