#include "platform/socket_io.h"

#include <algorithm>
#include <cerrno>
#include <poll.h>
#include <sys/socket.h>

namespace platform {

namespace {

using Clock = std::chrono::steady_clock;

// Milliseconds left until 'deadline' for poll(); -1 without a limit, 0 once it has passed.
int pollWait(bool limited, Clock::time_point deadline)
{
    if (!limited)
        return -1;
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return static_cast<int>(std::clamp<long long>(left, 0, 1 << 30));
}

bool peerGone(int error)
{
    return error == EPIPE || error == ECONNRESET || error == ENOTCONN || error == ESHUTDOWN;
}

} // namespace

IoResult writeAll(int fd, const void* data, std::size_t size, std::chrono::milliseconds limit)
{
    IoResult result;
    const bool limited = limit.count() >= 0;
    const auto deadline = Clock::now() + limit;
    const char* bytes = static_cast<const char*>(data);
    while (result.bytes < size) {
        const ssize_t sent = ::send(fd, bytes + result.bytes, size - result.bytes, MSG_NOSIGNAL | MSG_DONTWAIT);
        if (sent > 0) {
            result.bytes += static_cast<std::size_t>(sent);
            continue;
        }
        if (sent < 0 && errno == EINTR)
            continue;
        if (sent < 0 && errno != EAGAIN && errno != EWOULDBLOCK) {
            result.error = errno;
            result.status = peerGone(errno) ? IoStatus::Closed : IoStatus::Failed;
            return result;
        }
        pollfd entry = {fd, POLLOUT, 0};
        const int ready = ::poll(&entry, 1, pollWait(limited, deadline));
        if (ready < 0 && errno != EINTR) {
            result.error = errno;
            result.status = IoStatus::Failed;
            return result;
        }
        if (ready == 0) {
            result.error = ETIMEDOUT;
            result.status = IoStatus::TimedOut;
            return result;
        }
        // POLLERR or POLLHUP: the next send reports what happened.
    }
    result.status = IoStatus::Ok;
    return result;
}

IoResult readAvailable(int fd, QByteArray& buffer, std::chrono::milliseconds timeout, std::size_t maxBytes)
{
    IoResult result;
    const bool limited = timeout.count() >= 0;
    const auto deadline = Clock::now() + timeout;
    maxBytes = std::clamp<std::size_t>(maxBytes, 1, 1 << 30);
    for (;;) {
        pollfd entry = {fd, POLLIN, 0};
        const int ready = ::poll(&entry, 1, pollWait(limited, deadline));
        if (ready < 0) {
            if (errno == EINTR)
                continue;
            result.error = errno;
            return result;
        }
        if (ready == 0) {
            result.error = ETIMEDOUT;
            result.status = IoStatus::TimedOut;
            return result;
        }
        const int oldSize = buffer.size();
        buffer.resize(oldSize + static_cast<int>(maxBytes));
        const ssize_t got = ::recv(fd, buffer.data() + oldSize, maxBytes, MSG_DONTWAIT);
        const int error = errno;
        buffer.resize(oldSize + std::max<int>(0, static_cast<int>(got)));
        if (got > 0) {
            result.bytes = static_cast<std::size_t>(got);
            result.status = IoStatus::Ok;
            return result;
        }
        if (got == 0) {
            result.status = IoStatus::Closed;
            return result;
        }
        if (error == EINTR || error == EAGAIN || error == EWOULDBLOCK)
            continue; // woken without data (another reader took it): wait again
        result.error = error;
        result.status = peerGone(error) ? IoStatus::Closed : IoStatus::Failed;
        return result;
    }
}

void wakeBlockedIo(int fd)
{
    if (fd >= 0)
        ::shutdown(fd, SHUT_RDWR);
}

} // namespace platform
