// Reading and writing a stream socket with time limits, for the pipes and their users.
#pragma once

#include <QByteArray>

#include <chrono>
#include <cstddef>

namespace platform {

enum class IoStatus {
    Ok,        // bytes were transferred
    TimedOut,  // the time limit passed first
    Closed,    // the peer has gone (end of stream, broken pipe, reset)
    Failed,    // any other error; see 'error'
};

struct IoResult {
    IoStatus status = IoStatus::Failed;
    std::size_t bytes = 0; // bytes transferred by this call
    int error = 0;         // errno of a failure
};

constexpr std::chrono::milliseconds kDefaultWriteLimit{30000};

// Writes all 'size' bytes within 'limit' (negative: without limit). Never raises SIGPIPE and
// never blocks beyond the limit; on TimedOut, Closed or Failed 'bytes' tells how much went out.
IoResult writeAll(int fd, const void* data, std::size_t size,
                  std::chrono::milliseconds limit = kDefaultWriteLimit);

// Waits at most 'timeout' (negative: without limit) until input or the end of the stream is
// there, then appends what is available, at most 'maxBytes', to 'buffer' with one read call.
// Closed means end of stream; nothing is appended then.
IoResult readAvailable(int fd, QByteArray& buffer,
                       std::chrono::milliseconds timeout = std::chrono::milliseconds(-1),
                       std::size_t maxBytes = 65536);

// Waits at most 'timeout' (negative: without limit) until input or the end of the stream is
// there, then stores what is available, at most 'room' bytes, at 'into' with one read call
// (bytes already there are taken without waiting). Closed means end of stream.
IoResult readSome(int fd, void* into, std::size_t room,
                  std::chrono::milliseconds timeout = std::chrono::milliseconds(-1));

// Makes reads and writes blocked on 'fd' in other threads return, reads as end of stream, and
// every later one too. For teardown; the descriptor stays open until its owner closes it.
void wakeBlockedIo(int fd);

} // namespace platform
