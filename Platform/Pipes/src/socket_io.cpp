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

IoResult readSome(int fd, void* into, std::size_t room, std::chrono::milliseconds timeout)
{
    IoResult result;
    const bool limited = timeout.count() >= 0;
    const auto deadline = Clock::now() + timeout;
    room = std::clamp<std::size_t>(room, 1, 1 << 30);
    for (;;) {
        // Bytes already there are taken without waiting; poll only when there are none.
        const ssize_t got = ::recv(fd, into, room, MSG_DONTWAIT);
        if (got > 0) {
            result.bytes = static_cast<std::size_t>(got);
            result.status = IoStatus::Ok;
            return result;
        }
        if (got == 0) {
            result.status = IoStatus::Closed;
            return result;
        }
        if (errno == EINTR)
            continue;
        if (errno != EAGAIN && errno != EWOULDBLOCK) {
            result.error = errno;
            result.status = peerGone(errno) ? IoStatus::Closed : IoStatus::Failed;
            return result;
        }
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
    }
}

IoResult readAvailable(int fd, QByteArray& buffer, std::chrono::milliseconds timeout, std::size_t maxBytes)
{
    maxBytes = std::clamp<std::size_t>(maxBytes, 1, 1 << 30);
    const int oldSize = buffer.size();
    buffer.resize(oldSize + static_cast<int>(maxBytes));
    const IoResult result = readSome(fd, buffer.data() + oldSize, maxBytes, timeout);
    buffer.resize(oldSize + static_cast<int>(result.bytes));
    return result;
}

void wakeBlockedIo(int fd)
{
    if (fd >= 0)
        ::shutdown(fd, SHUT_RDWR);
}

} // namespace platform
