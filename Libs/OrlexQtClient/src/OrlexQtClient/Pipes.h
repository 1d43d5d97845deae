// The two ends of a viewer connection's pipe pair: PipeWriter on the request pipe and PipeReader
// on the pipe "Out".
#pragma once

#include "OrlexProtocol/codec/BufferedReader.h"
#include "OrlexQtClient/IWriter.h"

#include "platform/socket_io.h"
#include "platform/unique_fd.h"

#include <QByteArray>

#include <atomic>
#include <chrono>
#include <memory>
#include <string>

namespace Dremm::Orlex::QtClient {

class PipeReader : public BufferedReader
{
public:
    // Opens the pipe ("\\.\pipe\<name>Out" or a bare name) in up to ten tries, 200 ms apart.
    // Never throws: isValid() tells whether it opened.
    explicit PipeReader(const std::string& strPath);
    // Reads from a socket that is already connected.
    PipeReader(platform::UniqueFd fd, std::string strPath);

    // Blocks until count bytes have arrived and raises Exception when the stream ends or fails
    // first; each receive takes what has arrived, at most 64 KiB. A count of 0 returns at once.
    using BufferedReader::read;
    bool isValid() const override { return m_fd.valid(); }
    // Always false: the end of the stream shows as a failed read.
    bool atEnd() const override { return false; }

    // Makes a read blocked in another thread, and every later one, fail. For teardown.
    void interrupt();

    // Read calls made on the socket so far; may be read from any thread.
    std::size_t fillCount() const { return m_nFills.load(std::memory_order_relaxed); }

protected:
    Window receive() override;

private:
    static constexpr std::size_t kBufferSize = 64 * 1024;

    std::string m_strPath;
    platform::UniqueFd m_fd;
    std::unique_ptr<std::uint8_t[]> m_pBuffer{new std::uint8_t[kBufferSize]};
    std::atomic<std::size_t> m_nFills{0};
};

class PipeWriter : public IWriter
{
public:
    // Opens the pipe in up to ten tries, 200 ms apart. Never throws: isValid() tells.
    explicit PipeWriter(const std::string& strPath,
                        std::chrono::milliseconds writeLimit = platform::kDefaultWriteLimit);
    // Writes to a socket that is already connected.
    PipeWriter(platform::UniqueFd fd, std::string strPath,
               std::chrono::milliseconds writeLimit = platform::kDefaultWriteLimit);

    // One write of the whole block within the write limit; false when it failed or timed out.
    bool write(const void* pBytes, std::size_t nCount) override;
    std::size_t writeNow(const void* pBytes, std::size_t nCount) override;
    bool isValid() const override { return m_fd.valid(); }

private:
    std::string m_strPath;
    platform::UniqueFd m_fd;
    std::chrono::milliseconds m_writeLimit;
};

} // namespace Dremm::Orlex::QtClient
