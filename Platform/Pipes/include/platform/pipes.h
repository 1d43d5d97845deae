// The viewer pipes: named pipes stand as Unix-domain stream sockets in one private folder.
#pragma once

#include "platform/unique_fd.h"

#include <QString>

#include <chrono>
#include <sys/types.h>

namespace platform {

// The folder of the pipes: $DREMM_PIPE_DIR, else $XDG_RUNTIME_DIR/dremm, else /tmp/dremm-<uid>.
QString pipeDirectory();

// Creates the pipe folder with mode 0700 when it is missing; false, with the reason in 'error'
// when given, when it cannot be created or is not a folder.
bool ensurePipeDirectory(QString* error = nullptr);

// The socket path of a pipe, named bare ("dremmCorv") or in the Windows form
// ("\\.\pipe\dremmCorv", prefix without case). Empty for a name that is empty, "." or "..", or
// holds a slash, a backslash or a NUL, so that no name reaches outside the pipe folder.
QString pipePath(const QString& pipeName);

// A listening Unix-domain stream socket; removes its socket file when it goes.
class PipeListener {
public:
    PipeListener() = default;
    PipeListener(PipeListener&& other) noexcept;
    PipeListener& operator=(PipeListener&& other) noexcept;
    PipeListener(const PipeListener&) = delete;
    PipeListener& operator=(const PipeListener&) = delete;
    ~PipeListener();

    // Listens on 'path'. A socket file that nobody listens on (left by a program that died) is
    // replaced; a live one, or any other file, is left alone and the call fails.
    bool listen(const QString& path, QString* error = nullptr);

    // Accepts one client, waiting at most 'timeout' (negative: without limit). The new socket
    // blocks and is closed on exec; it is invalid after a time-out or an error.
    UniqueFd accept(std::chrono::milliseconds timeout);

    // Stops listening and removes the socket file, if it is still the one this listener made.
    void close();

    bool isListening() const { return m_fd.valid(); }
    int fd() const { return m_fd.get(); }
    const QString& path() const { return m_path; }

private:
    UniqueFd m_fd;
    QString m_path;
    dev_t m_device = 0;
    ino_t m_inode = 0;
};

// One attempt to connect to the socket at 'path'. Invalid on failure, with errno telling why
// (ENOENT: no such socket, ECONNREFUSED: nobody listens). The caller decides about more tries.
UniqueFd connectSocket(const QString& path);

// One attempt to connect to the pipe 'pipeName' in the pipe folder (see pipePath).
UniqueFd connectPipe(const QString& pipeName);

} // namespace platform
