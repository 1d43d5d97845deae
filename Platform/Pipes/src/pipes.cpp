#include "platform/pipes.h"

#include <QDir>
#include <QFile>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace platform {

namespace {

const QString kWindowsPipePrefix = QStringLiteral("\\\\.\\pipe\\");

// A socket address for a path. A path longer than a socket address holds is reached through
// its folder's descriptor ("/proc/self/fd/N/name"), which 'folder' keeps open until the caller
// has bound or connected.
bool makeAddress(const QString& path, sockaddr_un& address, UniqueFd& folder, QString* error)
{
    QByteArray encoded = QFile::encodeName(path);
    std::memset(&address, 0, sizeof address);
    address.sun_family = AF_UNIX;
    if (!encoded.isEmpty() && static_cast<std::size_t>(encoded.size()) >= sizeof address.sun_path) {
        const int slash = encoded.lastIndexOf('/');
        const QByteArray dir = slash > 0 ? encoded.left(slash) : QByteArray("/");
        folder.reset(::open(dir.constData(), O_PATH | O_DIRECTORY | O_CLOEXEC));
        if (folder)
            encoded = "/proc/self/fd/" + QByteArray::number(folder.get()) + encoded.mid(slash);
    }
    if (encoded.isEmpty() || static_cast<std::size_t>(encoded.size()) >= sizeof address.sun_path) {
        if (error)
            *error = QStringLiteral("Socket path is empty or too long: %1").arg(path);
        errno = ENAMETOOLONG;
        return false;
    }
    std::memcpy(address.sun_path, encoded.constData(), static_cast<std::size_t>(encoded.size()));
    return true;
}

QString errnoText(const char* what, const QString& path)
{
    return QStringLiteral("%1 %2: %3").arg(QLatin1String(what), path, QString::fromLocal8Bit(std::strerror(errno)));
}

} // namespace

QString pipeDirectory()
{
    const QString explicitDir = qEnvironmentVariable("DREMM_PIPE_DIR");
    if (!explicitDir.isEmpty())
        return QDir::cleanPath(explicitDir);
    const QString runtimeDir = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtimeDir.isEmpty())
        return QDir::cleanPath(runtimeDir + QStringLiteral("/dremm"));
    return QStringLiteral("/tmp/dremm-%1").arg(::getuid());
}

bool ensurePipeDirectory(QString* error)
{
    const QString dir = pipeDirectory();
    const QByteArray encoded = QFile::encodeName(dir);
    if (::mkdir(encoded.constData(), 0700) != 0 && errno != EEXIST) {
        // A missing parent ($XDG_RUNTIME_DIR/dremm below a fresh folder): make the parents too.
        if (errno != ENOENT || !QDir().mkpath(dir)) {
            if (error)
                *error = errnoText("Cannot create the pipe folder", dir);
            return false;
        }
        ::chmod(encoded.constData(), 0700);
    }
    struct stat info = {};
    if (::stat(encoded.constData(), &info) != 0 || !S_ISDIR(info.st_mode)) {
        if (error)
            *error = QStringLiteral("The pipe folder is not a folder: %1").arg(dir);
        return false;
    }
    if (info.st_uid != ::getuid()) {
        if (error)
            *error = QStringLiteral("The pipe folder belongs to another user: %1").arg(dir);
        return false;
    }
    return true;
}

QString pipePath(const QString& pipeName)
{
    QString name = pipeName;
    if (name.startsWith(kWindowsPipePrefix, Qt::CaseInsensitive))
        name = name.mid(kWindowsPipePrefix.size());
    if (name.isEmpty() || name == QLatin1String(".") || name == QLatin1String("..")
        || name.contains(QLatin1Char('/')) || name.contains(QLatin1Char('\\')) || name.contains(QChar(0)))
        return QString();
    return pipeDirectory() + QLatin1Char('/') + name;
}

PipeListener::PipeListener(PipeListener&& other) noexcept
    : m_fd(std::move(other.m_fd)), m_path(std::move(other.m_path)), m_device(other.m_device), m_inode(other.m_inode)
{
    other.m_path.clear();
}

PipeListener& PipeListener::operator=(PipeListener&& other) noexcept
{
    if (this != &other) {
        close();
        m_fd = std::move(other.m_fd);
        m_path = std::move(other.m_path);
        m_device = other.m_device;
        m_inode = other.m_inode;
        other.m_path.clear();
    }
    return *this;
}

PipeListener::~PipeListener()
{
    close();
}

bool PipeListener::listen(const QString& path, QString* error)
{
    close();
    sockaddr_un address;
    UniqueFd folder;
    if (!makeAddress(path, address, folder, error))
        return false;
    const QByteArray fullPath = QFile::encodeName(path);

    UniqueFd fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
    if (!fd) {
        if (error)
            *error = errnoText("Cannot create a socket for", path);
        return false;
    }
    if (::bind(fd.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        if (errno != EADDRINUSE) {
            if (error)
                *error = errnoText("Cannot bind", path);
            return false;
        }
        // Replace the file only when it is a socket nobody listens on.
        struct stat info = {};
        const bool isSocket = ::lstat(fullPath.constData(), &info) == 0 && S_ISSOCK(info.st_mode);
        UniqueFd probe = isSocket ? connectSocket(path) : UniqueFd();
        if (!isSocket || probe.valid() || errno != ECONNREFUSED) {
            if (error)
                *error = QStringLiteral("Another program uses %1").arg(path);
            errno = EADDRINUSE;
            return false;
        }
        ::unlink(fullPath.constData());
        if (::bind(fd.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
            if (error)
                *error = errnoText("Cannot bind", path);
            return false;
        }
    }
    struct stat info = {};
    if (::listen(fd.get(), 4) != 0 || ::lstat(fullPath.constData(), &info) != 0) {
        if (error)
            *error = errnoText("Cannot listen on", path);
        ::unlink(fullPath.constData());
        return false;
    }
    m_fd = std::move(fd);
    m_path = path;
    m_device = info.st_dev;
    m_inode = info.st_ino;
    return true;
}

UniqueFd PipeListener::accept(std::chrono::milliseconds timeout)
{
    if (!m_fd)
        return UniqueFd();
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        int client = ::accept4(m_fd.get(), nullptr, nullptr, SOCK_CLOEXEC);
        if (client >= 0)
            return UniqueFd(client);
        if (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR && errno != ECONNABORTED)
            return UniqueFd();

        int wait = -1;
        if (timeout.count() >= 0) {
            const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
            if (left.count() <= 0) {
                errno = ETIMEDOUT;
                return UniqueFd();
            }
            wait = static_cast<int>(std::min<long long>(left.count(), 1 << 30));
        }
        pollfd entry = {m_fd.get(), POLLIN, 0};
        if (::poll(&entry, 1, wait) < 0 && errno != EINTR)
            return UniqueFd();
    }
}

void PipeListener::close()
{
    if (!m_fd)
        return;
    m_fd.reset();
    const QByteArray encoded = QFile::encodeName(m_path);
    struct stat info = {};
    if (::lstat(encoded.constData(), &info) == 0 && info.st_dev == m_device && info.st_ino == m_inode)
        ::unlink(encoded.constData());
    m_path.clear();
}

UniqueFd connectSocket(const QString& path)
{
    sockaddr_un address;
    UniqueFd folder;
    if (!makeAddress(path, address, folder, nullptr))
        return UniqueFd();
    UniqueFd fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
    if (!fd)
        return UniqueFd();
    int result;
    do {
        result = ::connect(fd.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address);
    } while (result != 0 && errno == EINTR);
    if (result != 0)
        return UniqueFd();
    return fd;
}

UniqueFd connectPipe(const QString& pipeName)
{
    const QString path = pipePath(pipeName);
    if (path.isEmpty()) {
        errno = EINVAL;
        return UniqueFd();
    }
    return connectSocket(path);
}

} // namespace platform
